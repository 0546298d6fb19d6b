#!/usr/bin/env bash
# The plot script refuses a report that is not whole or not possible, and an
# output path it cannot write, in one line naming the problem: exit 1, nothing on
# stdout, and the output path left as it was.   plot_test.sh PLOT_SCRIPT EXPECTED_REPORT
set -uo pipefail
plot=$1 report=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
as=()  # how the script is run: as this user, or as another one

# state PATH: what is at PATH: nothing, a folder, or a file's checksum.
state() { if [ -d "$1" ]; then echo folder; elif [ -e "$1" ]; then cksum <"$1"; else echo none; fi; }

# case_ WHAT OUTPUT STDERR_PATTERN: the report, edited by the shell commands on
# stdin (which find it in $REPORT too), handed to the plot script.
case_() {
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

case_ "cut short" "$work/a.png" 'the report has 294 key lines, expected 800' <<<'head -300'
case_ "cut mid-line" "$work/a.png" 'the report ends in the middle of line 688' <<<'head -c 22000'
case_ "pasted twice" "$work/a.png" 'line 1609 repeats a summary line' <<<'cat - "$REPORT"'
case_ "one count changed" "$work/a.png" 'line 811 gives 187 keys with value 2, the key lines 186' \
    <<<"sed 's/^Key: 3 has registered 2 times\$/Key: 3 has registered 4 times/'"
case_ "impossible but consistent figures" "$work/a.png" \
    'line 7 gives key 0 1000000000000 hits, outside the count table 0..799' <<<"sed \
    -e 's/^Key: 0 has registered 8 times\$/Key: 0 has registered 1000000000000 times/' \
    -e 's/\[ 4800 \]/[ 1000000004792 ]/' -e 's/^There were 67 keys with value 8\$/There were 66 keys with value 8/'"
case_ "not text" "$work/a.png" 'the report is not text: it holds NUL bytes' <<<"sed '5s/\$/\\x0/'"
case_ "missing output folder" "$work/none/a.png" "the output folder $work/none does not exist" <<<'cat'
mkdir "$work/folder"
case_ "output path is a folder" "$work/folder" "the output path $work/folder is a folder" <<<'cat'

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
case_ "unwritable output file" "$shared/kept.png" "the output file $shared/kept.png is not writable" <<<'cat'

[ "$failures" -eq 0 ] && echo "plot refusals: passed"
[ "$failures" -eq 0 ]
