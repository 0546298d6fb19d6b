#!/usr/bin/env bash
# The plot script refuses a report that is not whole, and an output folder it
# cannot write to, in one line naming the problem: exit 1, nothing on stdout, no
# picture.   plot_test.sh PLOT_SCRIPT EXPECTED_REPORT
set -uo pipefail
plot=$1 report=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# case_ WHAT OUTPUT STDERR_PATTERN: the report, edited by the shell commands on
# stdin (which find it in $REPORT too), handed to the plot script.
case_() {
    local what=$1 output=$2 pattern=$3
    rm -f "$output"
    REPORT=$report bash -c "$(cat)" <"$report" | bash "$plot" "$output" >"$work/out" 2>"$work/err"
    local status=$?
    if [ "$status" -ne 1 ] || [ -s "$work/out" ] || [ -e "$output" ] ||
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
case_ "missing output folder" "$work/none/a.png" "the output folder $work/none does not exist" <<<'cat'

[ "$failures" -eq 0 ] && echo "plot refusals: passed"
[ "$failures" -eq 0 ]
