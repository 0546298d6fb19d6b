#!/usr/bin/env bash
# The plot script draws the expected report with its diagnosis and prints its
# verdict; it refuses a report that is not whole or not possible, a diagnosis
# that lacks a figure or is of another key function, and an output path it
# cannot write, in one line naming the problem: exit 1, nothing on stdout, and
# the output path left as it was.
#   plot_test.sh PLOT_SCRIPT EXPECTED_REPORT EXPECTED_DIAGNOSIS CONSTANT_KEY_DIAGNOSIS
set -uo pipefail
plot=$1 report=$2 diagnosis=$3 constant=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
as=()        # how the script is run: as this user, or as another one
path=$PATH   # the script's PATH
input=       # if set, the script's stdin instead of the edited report
pics=$work/pics
mkdir "$pics"
echo earlier >"$pics/a.png"  # an earlier picture, writable: the common case

# state PATH: what is at PATH (nothing, a folder, or a file's checksum), and
# what else is beside it.
state() {
    if [ -d "$1" ]; then echo folder; elif [ -p "$1" ]; then echo fifo
    elif [ -e "$1" ]; then cksum <"$1"; else echo none; fi
    ls -A "$(dirname "$1")" 2>/dev/null
}

# refused WHAT OUTPUT STDERR_PATTERN: the report, edited by the shell commands on
# stdin (which find it in $REPORT too), handed to the plot script, is refused.
refused() {
    local what=$1 output=$2 pattern=$3 before status
    before=$(state "$output")
    if [ -n "$input" ]; then
        "${as[@]}" env PATH="$path" timeout 10 bash "$plot" "$output" "$diagnosis" <"$input"
    else
        REPORT=$report bash -c "$(cat)" <"$report" |
            "${as[@]}" env PATH="$path" timeout 10 bash "$plot" "$output" "$diagnosis"
    fi >"$work/out" 2>"$work/err"
    status=$?
    if [ "$status" -ne 1 ] || [ -s "$work/out" ] || [ "$(state "$output")" != "$before" ] ||
        [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -Eq "^plot-distribution.sh: $pattern\$" "$work/err"; then
        echo "FAIL [$what]: exit $status, stdout $(wc -c <"$work/out") bytes, stderr: $(head -c 300 "$work/err")"
        failures=$((failures + 1))
    fi
}

# Drawn, under a name that starts with "-", with the mode the umask leaves. The
# figures, worked by hand: the counts' squares sum to 57080, so chi-square =
# 57080 / 6 - 4800 = 4713, 5.9 times a random key function's 800 x (1 - 1/800)
# = 799, which leaves 800 x (799/800)^4800 = 2 keys empty; as blind, 2400
# inputs twice: 2 x 799 = 1598, 800 x (799/800)^2400 = 40 empty.
drawn="A uniformly random key function would leave about 2 of the 800 keys empty, reach a highest count\
 of about 15 and score a chi-square of about 799; this one leaves 88 empty, reaches 38 and scores 4713,\
 5.9 times the random figure.
One as blind as this one would leave about 40 empty, reach about 20 and score about 1598; this one\
 scores 2.9 times that.
Causes, worst first: never reads flag; height shares keys 133x as often as random, width 45x, name 5.2x,\
 param 3.5x
-distribution.png"
(cd "$work" && umask 027 && timeout 60 bash "$plot" -distribution.png "$diagnosis") <"$report" \
    >"$work/out" 2>"$work/err"
status=$?
if [ "$status" -ne 0 ] || [ "$(cat "$work/out")" != "$drawn" ] ||
    [ "$(stat -c %a "$work/-distribution.png")" != 640 ] ||
    [ "$(head -c 8 "$work/-distribution.png" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    echo "FAIL [drawn]: exit $status, stdout: $(head -c 400 "$work/out"), stderr: $(head -c 300 "$work/err")"
    failures=$((failures + 1))
fi

refused "one line short" "$pics/a.png" 'the report ends at line 1607, before its last line 1608' <<<'head -n -1'
refused "cut mid-line" "$pics/a.png" 'line 688 is not the line of key 681' <<<'head -c 22000'
refused "pasted twice" "$pics/a.png" 'line 1609 is past the end of a report' <<<"cat - \"\$REPORT\""
refused "one count changed" "$pics/a.png" 'line 811 gives 187 keys with value 2, the key lines 186' \
    <<<"sed 's/^Key: 3 has registered 2 times\$/Key: 3 has registered 4 times/'"
refused "a key at 800 hits, consistent figures" "$pics/a.png" \
    'line 7 gives key 0 800 hits, outside the count table 0..799' <<<"sed \
    -e 's/^Key: 0 has registered 8 times\$/Key: 0 has registered 800 times/' \
    -e 's/\[ 4800 \]/[ 5592 ]/' -e 's/^There were 67 keys with value 8\$/There were 66 keys with value 8/'"
refused "combinations not the key lines' sum" "$pics/a.png" \
    'the key lines count 4800 combinations, the summary 4801' <<<"sed 's/\[ 4800 \]/[ 4801 ]/'"
refused "no combinations" "$pics/a.png" 'the report counts no combinations' <<<"sed -E \
    -e 's/^(Key: [0-9]+ has registered )[0-9]+ times\$/\10 times/' -e 's/\[ 4800 \]/[ 0 ]/' \
    -e 's/^There were [0-9]+ keys with value /There were 0 keys with value /' \
    -e 's/^There were 0 keys with value 0\$/There were 800 keys with value 0/'"
refused "not text" "$pics/a.png" 'the report on stdin is not text: it holds NUL bytes' <<<"sed '5s/\$/\\x0/'"
refused "over 1 MB" "$pics/a.png" 'the report on stdin is larger than 1000000 bytes' <<<'cat; yes | head -c 1000000'
refused "missing output folder" "$work/none/a.png" "the output folder $work/none does not exist" <<<'cat'
mkfifo "$pics/fifo"
refused "output path not a regular file" "$pics/fifo" "the output path $pics/fifo is not a regular file" \
    <<<'cat'
mkdir "$pics/folder"
refused "output path is a folder" "$pics/folder" "the output path $pics/folder is a folder" <<<'cat'
input=$pics/folder
refused "stdin a folder" "$pics/a.png" \
    "cannot read the report on stdin: head: error reading 'standard input': Is a directory" <<<''
input=
diagnosis=$constant
refused "diagnosis of another key function" "$pics/a.png" "the diagnosis is of another key function\
 than the report: it leaves 799 keys empty and its busiest holds 4800, the report 88 and 38" <<<'cat'
grep -v '^Causes' "$3" >"$work/no-causes.txt" && diagnosis=$work/no-causes.txt
refused "diagnosis without causes" "$pics/a.png" 'the diagnosis has no line of causes' <<<'cat'
diagnosis=$work/none.txt
refused "no diagnosis" "$pics/a.png" "cannot read the diagnosis $work/none.txt" <<<'cat'
diagnosis=$3
# Fails after the picture was staged beside it: the name is too long to rename to.
refused "no staged copy left" "$pics/$(printf '%0300d' 0)" 'cannot name the picture .*' <<<'cat'
mkdir "$work/stub" && printf '#!/bin/sh\nkill -SEGV $$\n' >"$work/stub/gnuplot" && chmod +x "$work/stub/gnuplot"
path=$work/stub:$PATH
refused "gnuplot killed" "$pics/a.png" 'gnuplot was killed by signal SEGV' <<<'cat'
path=$PATH

# A file it may not write, as a user who may not: root may write any file.
shared=$work/shared
mkdir -m 1777 "$shared"
echo earlier >"$shared/kept.png"
chmod 444 "$shared/kept.png"
if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$work"
    cp "$plot" "$work/plot.sh" && chmod 644 "$work/plot.sh" && plot=$work/plot.sh
    cp "$diagnosis" "$work/diagnosis.txt" && chmod 644 "$work/diagnosis.txt" && diagnosis=$work/diagnosis.txt
    as=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
refused "unwritable output file" "$shared/kept.png" "the output file $shared/kept.png is not writable" <<<'cat'

[ "$failures" -eq 0 ] && echo "plot: passed"
[ "$failures" -eq 0 ]
