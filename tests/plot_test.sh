#!/usr/bin/env bash
# The plot script draws the expected report and prints its verdict's figures; it
# refuses a report that is not whole or not possible, and an output path it
# cannot write, in one line naming the problem: exit 1, nothing on stdout, and
# the output path left as it was.   plot_test.sh PLOT_SCRIPT EXPECTED_REPORT
set -uo pipefail
plot=$1 report=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
as=()  # how the script is run: as this user, or as another one

# state PATH: what is at PATH: nothing, a folder, or a file's checksum.
state() {
    if [ -d "$1" ]; then echo folder; elif [ -p "$1" ]; then echo fifo
    elif [ -e "$1" ]; then cksum <"$1"; else echo none; fi
}

# refused WHAT OUTPUT STDERR_PATTERN: the report, edited by the shell commands on
# stdin (which find it in $REPORT too), handed to the plot script, is refused.
refused() {
    local what=$1 output=$2 pattern=$3 before status
    before=$(state "$output")
    REPORT=$report bash -c "$(cat)" <"$report" | "${as[@]}" timeout 10 bash "$plot" "$output" >"$work/out" 2>"$work/err"
    status=$?
    if [ "$status" -ne 1 ] || [ -s "$work/out" ] || [ "$(state "$output")" != "$before" ] ||
        [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -Eq "^plot-distribution.sh: $pattern\$" "$work/err"; then
        echo "FAIL [$what]: exit $status, stdout $(wc -c <"$work/out") bytes, stderr: $(head -c 300 "$work/err")"
        failures=$((failures + 1))
    fi
}

# Drawn, under a name that starts with "-". The figures, worked by hand: the
# counts' squares sum to 57080, so chi-square = 57080 / 6 - 4800 = 4713; a random
# key function leaves 800 x (799/800)^4800 = 2 keys empty and scores
# 800 x (1 - 1/800) = 799.
drawn='leave about 2 of the 800 keys empty, reach a highest count of about 15 and score a chi-square of about 799; this one leaves 88 empty, reaches 38 and scores 4713,'
(cd "$work" && timeout 60 bash "$plot" -distribution.png) <"$report" >"$work/out" 2>"$work/err"
status=$?
if [ "$status" -ne 0 ] || ! grep -qF -- "$drawn" "$work/out" ||
    [ "$(head -c 8 "$work/-distribution.png" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "FAIL [drawn]: exit $status, stdout: $(head -c 400 "$work/out"), stderr: $(head -c 300 "$work/err")"
    failures=$((failures + 1))
fi

refused "cut short" "$work/a.png" 'the report ends at line 300, before its last line 1608' <<<'head -300'
refused "cut mid-line" "$work/a.png" 'line 688 is not the line of key 681' <<<'head -c 22000'
refused "pasted twice" "$work/a.png" 'line 1609 is past the end of a report' <<<"cat - \"\$REPORT\""
refused "one count changed" "$work/a.png" 'line 811 gives 187 keys with value 2, the key lines 186' \
    <<<"sed 's/^Key: 3 has registered 2 times\$/Key: 3 has registered 4 times/'"
refused "impossible but consistent figures" "$work/a.png" \
    'line 7 gives key 0 1000000000000 hits, outside the count table 0..799' <<<"sed \
    -e 's/^Key: 0 has registered 8 times\$/Key: 0 has registered 1000000000000 times/' \
    -e 's/\[ 4800 \]/[ 1000000004792 ]/' -e 's/^There were 67 keys with value 8\$/There were 66 keys with value 8/'"
refused "combinations not the key lines' sum" "$work/a.png" \
    'the key lines count 4800 combinations, the summary 4801' <<<"sed 's/\[ 4800 \]/[ 4801 ]/'"
refused "no combinations" "$work/a.png" 'the report counts no combinations' <<<"sed -E \
    -e 's/^(Key: [0-9]+ has registered )[0-9]+ times\$/\10 times/' -e 's/\[ 4800 \]/[ 0 ]/' \
    -e 's/^There were [0-9]+ keys with value /There were 0 keys with value /' \
    -e 's/^There were 0 keys with value 0\$/There were 800 keys with value 0/'"
refused "not text" "$work/a.png" 'the report is not text: it holds NUL bytes' <<<"sed '5s/\$/\\x0/'"
refused "over 1 MB" "$work/a.png" 'the report is larger than 1000000 bytes' <<<'cat; yes | head -c 1000000'
refused "missing output folder" "$work/none/a.png" "the output folder $work/none does not exist" <<<'cat'
mkfifo "$work/fifo"
refused "output path not a regular file" "$work/fifo" "the output path $work/fifo is not a regular file" \
    <<<'cat'
mkdir "$work/folder"
refused "output path is a folder" "$work/folder" "the output path $work/folder is a folder" <<<'cat'

# A file it may not write, as a user who may not: root may write any file.
shared=$work/shared
mkdir -m 1777 "$shared"
echo earlier >"$shared/kept.png"
chmod 444 "$shared/kept.png"
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    cp "$plot" "$work/plot.sh" && chmod 644 "$work/plot.sh" && plot=$work/plot.sh
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
refused "unwritable output file" "$shared/kept.png" "the output file $shared/kept.png is not writable" <<<'cat'

[ "$failures" -eq 0 ] && echo "plot: passed"
[ "$failures" -eq 0 ]
