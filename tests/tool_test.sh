#!/usr/bin/env bash
# Runs the built tool as a user does and checks what they would see: its whole
# output, byte for byte, and its exit status.
#   tool_test.sh CHECK EXPECTED_REPORT STACK PRELOAD -- LAUNCH...
# CHECK is report, small-stack, write-error or heap; STACK is fits-1mib where a
# 1 MiB stack must hold the run, sanitized in a sanitized build, else over-1mib;
# PRELOAD is the library preloaded into the tool
# (the allocation counter for heap, the fault in the sweep for small-stack), or -;
# LAUNCH is the tool, behind its emulator when it is built for another target.
set -uo pipefail
[ $# -ge 6 ] && [ "$5" = -- ] ||
    { echo "usage: tool_test.sh CHECK EXPECTED_REPORT STACK PRELOAD -- LAUNCH..."; exit 2; }
check=$1 expected=$2 stack=$3 preload=$4
shift 5
launch=("$@")
prefix=()  # words run before the launch: env, a dynamic loader
clean=     # non-empty: start with an empty environment, whatever the caller's
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# run SETUP [ARGS...]: runs the tool after the shell commands SETUP, in a
# subshell, behind $prefix, with an empty environment if $clean is set; leaves
# its stdout, stderr and exit status in $work/out, $work/err and $status.
run() {
    local setup=$1
    shift
    # The outer braces keep bash's own notice of a run ended by a signal out of the log.
    { ( eval "$setup" || exit 125; exec ${clean:+-c} "${prefix[@]}" "${launch[@]}" "$@" ) \
        >"$work/out" 2>"$work/err"; status=$?; } 2>/dev/null
}

# preloaded NAME: shell commands that preload $preload into the tool, as NAME.so.
# The loader splits LD_PRELOAD at spaces, and the paths of the library and of this
# test's folder may hold some: preloaded through a link, by a path relative to
# the folder the tool runs in; into the target, not the emulator, where emulated.
preloaded() {
    ln -sf "$preload" "$work/$1.so"
    local variable=LD_PRELOAD
    [ ${#launch[@]} -gt 1 ] && variable="QEMU_SET_ENV=LD_PRELOAD"
    echo "cd $(printf %q "$work") && export $variable=./$1.so"
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
    [ -s "$work/out" ] && { fail "$1" "printed $(wc -c <"$work/out") bytes on stdout"; return 1; }
    [ "$(wc -l <"$work/err")" -eq 1 ] && grep -Eq "$2" "$work/err" ||
        { fail "$1" "stderr is not one line matching '$2': $(head -c 300 "$work/err")"; return 1; }
}

refusal='^hashFunctionTester: the run needs (at least )?([0-9]+) KiB of stack but the limit is ([0-9]+) KiB; raise it with ulimit -s ([0-9]+)$'

# refusal_field N: field N of the last run's refusal (2 need, 3 limit, 4 advice).
refusal_field() { sed -En "s/$refusal/\\$1/p" "$work/err"; }

# under_limits WHAT LIMIT...: under every stack limit the run prints the exact report,
# or refuses in one line that names that limit and a need above it; never a signal.
# Every limit a refusal advises prints the report, on the first try.
under_limits() {
    local what=$1 limit advice
    shift
    for limit in "$@"; do
        run "ulimit -s $limit"
        if [ "$status" -ne 1 ]; then
            expect_report "$what, ulimit -s $limit" quiet
        elif expect_error "$what, ulimit -s $limit" "$refusal"; then
            [ "$(refusal_field 3)" = "$limit" ] && [ "$(refusal_field 2)" -gt "$limit" ] ||
                fail "$what, ulimit -s $limit" "refused with: $(cat "$work/err")"
            advice=$(refusal_field 4)
            if [[ " $advised " != *" $advice "* ]]; then
                advised+=" $advice"
                run "ulimit -s $advice"
                expect_report "$what, ulimit -s $advice as advised at $limit" quiet
            fi
        fi
    done
}

# stack_property WHAT LIMIT...: under_limits over the limits, of which the first must
# be refused, and over the need's surroundings (±16 KiB, in 4 KiB steps where
# emulated, else 1 KiB).
stack_property() {
    local what=$1 step=1 need advised=
    shift
    [ ${#launch[@]} -gt 1 ] && step=4
    run "ulimit -s $1"
    expect_error "$what, ulimit -s $1" "$refusal" || return
    need=$(refusal_field 2)
    under_limits "$what" "$@" $(seq $((need - 16)) "$step" $((need + 16))) 8192 unlimited
}

case $check in
report)  # arguments change nothing; a 1 MiB stack holds the run
    run ''
    expect_report "plain run" quiet
    run '' --help -x 42
    expect_report "with arguments" quiet
    if [ "$stack" = fits-1mib ]; then
        clean=yes  # whatever the caller's environment
        run 'ulimit -s 1024'
        expect_report "ulimit -s 1024" quiet
        clean=
    fi
    ;;
small-stack)  # a stack too small is refused in one line, never met by a signal
    # From an empty environment (or a fixed one): how small a limit still starts
    # any program at all depends on the environment's size.
    clean=yes
    if [ ${#launch[@]} -gt 1 ]; then
        # Emulated: the emulator itself needs more host stack than the smallest limits.
        stack_property "emulated" 128 512 1024
    else
        # The tightest limits ten times over: where the stack starts moves from
        # run to run, and a few hundred bytes decide.
        # shellcheck disable=SC2046 # the limits are words
        stack_property "started directly" $(for _ in {1..10}; do echo 16 17 18 19; done) \
            20 24 32 64 128 256 512 768 1024
        # Started by the dynamic loader, with a large environment above the
        # arguments, two thirds of it GLIBC_TUNABLES, which glibc overwrites in
        # place. Below about the environment's size plus 32 KiB the loader itself
        # cannot start any program.
        loader=$(readelf -l "${launch[0]}" 2>/dev/null |
                 sed -n 's/.*Requesting program interpreter: \(.*\)]$/\1/p')
        if [ -x "$loader" ]; then
            environment=(env --block-signal=SEGV "FILLER=$(printf '%34000s' '')"
                         "GLIBC_TUNABLES=$(printf 'glibc.malloc.check=0:%.0s' {1..3000})")
            prefix=("${environment[@]}" "$loader")
            stack_property "through $loader, 100 kB environment" 144 160 256 512 768 1024
            # The same without /proc, where the stack's top is only estimated, too
            # low, and with SIGSEGV blocked by the parent: the net catches what the
            # check lets through. In a mount namespace, with an empty /proc.
            namespace=
            for option in -m -rm; do
                unshare $option true 2>/dev/null && { namespace=$option; break; }
            done
            if [ "$stack" = sanitized ]; then
                echo "without /proc: skipped, the sanitizers' runtime needs /proc"
            elif [ -z "$namespace" ]; then
                echo "without /proc: skipped, no mount namespace can be made here (unshare -m)"
            else
                prefix=(unshare "$namespace" sh -c 'mount -t tmpfs none /proc && exec "$@"' sh
                        "${environment[@]}" "$loader")
                stack_property "through $loader without /proc, SIGSEGV blocked" 144 512 1024
            fi
            prefix=()
        else
            echo "no dynamic loader found: not started through one"
        fi
    fi
    # A fault in the sweep that is no overflow, at a stack address well within
    # the limit, ends by its signal and is not taken for a refusal.
    if [ "$preload" = - ]; then
        echo "a fault that is no overflow: skipped, nothing to preload in this build"
    else
        clean=
        run "ulimit -c 0 && $(preloaded fault_in_sweep)"
        # An emulator may say on stderr how its target ended; the tool says nothing.
        expect_status "a fault that is no overflow" $((128 + 11)) &&
            { [ -s "$work/out" ] || grep -q '^hashFunctionTester:' "$work/err"; } &&
            fail "a fault that is no overflow" \
                "stdout $(wc -c <"$work/out") bytes, stderr: $(head -c 300 "$work/err")"
    fi
    ;;
write-error)  # a report that cannot be written is a failure
    for redirect in '>/dev/full' '>&-'; do
        run "exec $redirect"
        expect_error "stdout $redirect" '^hashFunctionTester: write error: '
    done
    ;;
heap)  # no allocation of the tool's own; the C library may buffer stdout
    run "$(preloaded alloc_count)"
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
