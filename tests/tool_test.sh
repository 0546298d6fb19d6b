#!/usr/bin/env bash
# Runs the built tool as a user does and checks what they would see: its whole
# output, byte for byte, and its exit status.
#   tool_test.sh CHECK EXPECTED_REPORT BUILD_KIND PRELOAD -- LAUNCH...
# CHECK is report, small-stack, write-error or heap; BUILD_KIND is optimised or
# unoptimised; PRELOAD is the allocation counter for the heap check, or -;
# LAUNCH is the tool, behind its emulator when it is built for another target.
set -uo pipefail
[ $# -ge 6 ] && [ "$5" = -- ] ||
    { echo "usage: tool_test.sh CHECK EXPECTED_REPORT BUILD_KIND PRELOAD -- LAUNCH..."; exit 2; }
check=$1 expected=$2 kind=$3 preload=$4
shift 5
launch=("$@")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# run SETUP [ARGS...]: runs the tool after the shell commands SETUP, in a subshell;
# leaves its stdout, stderr and exit status in $work/out, $work/err and $status.
run() {
    local setup=$1
    shift
    ( eval "$setup" || exit 125; exec "${launch[@]}" "$@" ) >"$work/out" 2>"$work/err"
    status=$?
}

fail() {
    echo "FAIL [$1]: $2"
    failures=$((failures + 1))
}

# expect WHAT STATUS: the last run ended with STATUS, naming a signal if one ended it.
expect_status() {
    if [ "$status" -ne "$2" ]; then
        local how="exit status $status"
        [ "$status" -gt 128 ] && how="killed by SIG$(kill -l $((status - 128)) 2>/dev/null)"
        fail "$1" "$how, expected exit status $2; stderr: $(head -c 300 "$work/err")"
        return 1
    fi
}

# expect_report WHAT: the last run printed exactly the expected report and nothing on stderr.
expect_report() {
    expect_status "$1" 0 || return
    cmp -s "$expected" "$work/out" ||
        fail "$1" "report differs from $expected:$(diff "$expected" "$work/out" | head -8)"
    [ "$2" = quiet ] && [ -s "$work/err" ] && fail "$1" "stderr: $(head -c 300 "$work/err")"
}

# expect_error WHAT PATTERN: exit 1, nothing on stdout, one stderr line matching PATTERN.
expect_error() {
    expect_status "$1" 1 || return
    [ -s "$work/out" ] && fail "$1" "printed $(wc -c <"$work/out") bytes on stdout"
    [ "$(wc -l <"$work/err")" -eq 1 ] && grep -Eq "$2" "$work/err" ||
        fail "$1" "stderr is not one line matching '$2': $(head -c 300 "$work/err")"
}

case $check in
report)  # arguments change nothing; an optimised build fits a 1 MiB stack
    run ''
    expect_report "plain run" quiet
    run '' --help -x 42
    expect_report "with arguments" quiet
    if [ "$kind" = optimised ]; then
        run 'ulimit -s 1024'
        expect_report "ulimit -s 1024" quiet
    fi
    ;;
small-stack)  # refused with a clear word, never where the run fits
    run 'ulimit -s 790'
    expect_error "ulimit -s 790" \
        '^hashFunctionTester: the run needs [0-9]+ KiB of stack but the limit is 790 KiB; raise it with ulimit -s [0-9]+$'
    for limit in 8192 unlimited; do
        run "ulimit -s $limit"
        expect_report "ulimit -s $limit" quiet
    done
    ;;
write-error)  # a report that cannot be written is a failure
    for redirect in '>/dev/full' '>&-'; do
        run "exec $redirect"
        expect_error "stdout $redirect" '^hashFunctionTester: write error: '
    done
    ;;
heap)  # no allocation of the tool's own; the C library may buffer stdout
    if [ ${#launch[@]} -gt 1 ]; then  # emulated: preload into the target, not the emulator
        run "export QEMU_SET_ENV=LD_PRELOAD=$preload"
    else
        run "export LD_PRELOAD=$preload"
    fi
    expect_report "counted run" noisy
    allocations=$(sed -n 's/^heap allocations: \([0-9]*\)$/\1/p' "$work/err")
    if [ -z "$allocations" ]; then
        fail "heap" "the allocation counter reported nothing: $(head -c 300 "$work/err")"
    elif [ "$allocations" -gt 1 ]; then
        fail "heap" "$allocations heap allocations after start, at most 1 (the stdout buffer) allowed"
    else
        echo "heap allocations after start: $allocations"
    fi
    ;;
*)
    echo "tool_test.sh: unknown check $check"
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] && echo "tool.$check: passed"
[ "$failures" -eq 0 ]
