#!/usr/bin/env bash
# Runs a built program as a user does and checks what they would see: its whole
# output, byte for byte, and its exit status. Only report, mixed and bad-keys
# hold it to the known answers, the keys pinned; every other check holds for any
# key function, against a plain run's output.
#   tool_test.sh CHECK PROGRAM EXPECTED BUILD PRELOAD -- LAUNCH...
# CHECK is report, small-stack, write-error, no-thread, heap, bad-keys (for a copy of the program
# whose every key is $HFT_FIXED_KEY), mixed (the well-mixed copy's report), reach (a copy whose key
# reads two bytes of the name), options or
# fresh-build (LAUNCH is the program's make target); PROGRAM is the name its messages start with;
# EXPECTED is its whole output (for bad-keys, when every key is 0, or - if it refuses that), and
# the diagnosis's figures lie in EXPECTED less .txt, plus -figures; BUILD is sanitized in a
# sanitized build, else plain; PRELOAD is the library preloaded into the tool
# (the allocation counter for heap, a failing pthread_create for no-thread, a
# failing stdout for write-error), or -; LAUNCH is the tool, behind its emulator
# when it is built for another target.
set -uo pipefail
if [ $# -lt 7 ] || [ "$6" != -- ]; then
    echo "usage: tool_test.sh CHECK PROGRAM EXPECTED BUILD PRELOAD -- LAUNCH..."
    exit 2
fi
check=$1 program=$2 expected=$3 build=$4 preload=$5
shift 6
launch=("$@")
prefix=()  # words run before the launch: a dynamic loader, or another user's setpriv
as=()      # the words that run the launch as a user who may not write another's files
clean=     # non-empty: start with an empty environment, whatever the caller's
emulated=  # non-empty: the launch is the tool behind its emulator
[ ${#launch[@]} -gt 1 ] && emulated=yes
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
# The sanitizers' runtime refuses a library loaded before its own unless told not to.
preloaded() {
    ln -sf "$preload" "$work/$1.so"
    local variable=LD_PRELOAD
    [ -n "$emulated" ] && variable="QEMU_SET_ENV=LD_PRELOAD"
    [ "$build" = sanitized ] && echo "export ASAN_OPTIONS=verify_asan_link_order=0 &&"
    echo "cd $(printf %q "$work") && export $variable=./$1.so"
}

fail() {
    echo "FAIL [$1]: ${*:2}"
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

# known_only PINNED FILE: FILE less what it holds of candidates PINNED does not know, that a user
# added after the known answers were pinned: their rows of the diagnosis's table and list, their
# verdicts in a headline, their rows in a CSV file. A name is the first word or CSV field of a row.
known_only() {
    awk 'FNR == 1 { pinned = FNR == NR; list = 0 }
        /^Candidates over the/ { list = 1 }
        { name = $0; sub(/^ */, "", name); sub(/[ ,].*/, "", name) }
        pinned { if (list && name != "" || FILENAME ~ /[.]csv$/ || $2 ~ /^(passes|fails)/) known[name] = 1; next }
        !(name in known) && (list && name != "" || FILENAME ~ /[.]csv$/ && FNR > 1 || $2 ~ /^(passes|fails)/) { next }
        { print }' "$1" "$2"
}

# expect_report WHAT quiet|noisy [STATUS]: the last run ended with STATUS (0) and printed exactly the
# output $reference holds, nothing on stderr if quiet. Where that is the known answers, it says so.
reference=$expected
changed="hashFunction or a candidate in src/candidates.cpp" also=
[ "$program" = hashFunctionTester ] && changed=hashFunction also=", and tests/expected_report_test.cpp, which checks them"
expect_report() {
    expect_status "$1" "${3:-0}" || return
    if [ "$reference" != "$expected" ]; then
        cmp -s "$reference" "$work/out" ||
            fail "$1" "the output differs from a plain run's:$(diff "$reference" "$work/out" | head -8)"
    elif ! known_only "$expected" "$work/out" | cmp -s "$expected" -; then
        fail "$1" "the output differs from the known answers in $expected: if you changed $changed on" \
            "purpose, update them$also:$(diff "$expected" <(known_only "$expected" "$work/out") | head -8)"
    fi
    [ "$2" = quiet ] && [ -s "$work/err" ] && fail "$1" "stderr: $(head -c 300 "$work/err")"
}

# own_output: a plain run's output, the reference of every check whose property holds for any key function.
own_output() {
    run ''
    expect_status "plain run" 0 && cp "$work/out" "$work/own" && reference=$work/own
}

# expect_error WHAT PATTERN [STATUS]: exit STATUS (1), nothing on stdout, one stderr line matching PATTERN.
expect_error() {
    expect_status "$1" "${3:-1}" || return
    [ -s "$work/out" ] && { fail "$1" "printed $(wc -c <"$work/out") bytes on stdout"; return 1; }
    if [ "$(wc -l <"$work/err")" -ne 1 ] || ! grep -Eq "$2" "$work/err"; then
        fail "$1" "stderr is not one line matching '$2': $(head -c 300 "$work/err")"
        return 1
    fi
}

# same_figures PINNED DIR: DIR holds PINNED's files (and notes.txt), line for line, field for field.
# Reals may differ in their last digits, as one libm's logarithms do from another's: by 1e-9 at most.
same_figures() {
    [ "$(ls "$1")" = "$(ls -I notes.txt "$2")" ] || return 1
    for file in "$1"/*; do
        known_only "$file" "$2/${file##*/}" | awk -F, -v real='^-?[0-9.]+(e[-+][0-9]+)?$' 'NR == FNR { line[FNR] = $0; lines = FNR; next }
            { bad += split(line[FNR], pinned, ",") != NF; for (i = 1; i <= NF; i++) bad += $i != pinned[i] &&
              !($i ~ real && pinned[i] ~ real && ($i - pinned[i]) ^ 2 <= 1e-18 * pinned[i] ^ 2) }
            END { exit bad || FNR != lines }' "$file" - || return 1
    done
}

case $check in
report | mixed)  # the output as pinned; the tester's arguments change nothing; the diagnosis's options
    run ''
    expect_report "plain run" quiet
    if [ "$program" = hashFunctionTester ]; then
        run '' --help -x 42
        expect_report "with arguments" quiet
    else  # --check: the same output, and exit 1 where the cache's key function fails its verdict
        verdict=$(awk '/^candidate +never read/ { getline; print; exit }' "$expected")
        run '' --check
        expect_report "--check, where the known answers' ${verdict%%  *} ${verdict##*  }" quiet \
            "$([[ $verdict == *"  fails: "* ]] && echo 1 || echo 0)"
        # --data DIR: the same text, and the files as pinned, in a new folder or over them
        for row in "a new folder" "its own files, beside a file of the user's"; do
            run '' --data "$work/figures"
            expect_report "$row" quiet
            same_figures "${expected%.txt}-figures" "$work/figures" || fail "$row" "the figures differ from the" \
                "known answers in ${expected%.txt}-figures: if you changed hashFunction or a candidate on purpose, update them"
            [ "$(cat "$work/figures/notes.txt" 2>/dev/null)" = "${notes-}" ] || fail "$row" "the user's file was not kept"
            notes="the user's" && echo "$notes" >"$work/figures/notes.txt"
        done
    fi
    ;;
options)  # anything else is refused in one line, exit 2, with nothing written or removed
    usage='; usage: hashFunctionDiagnosis \[--data DIR\] \[--check\] \[--threads N\]$'
    mkdir -m 755 "$work/kept" && echo "the user's" >"$work/kept/keys.csv" && chmod 555 "$work/kept" && touch "$work/file"
    # A folder it may not write, as a user who may not: root may write any folder.
    [ "$(id -u)" -eq 0 ] && chmod 755 "$work" && as=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
    for row in "-x:unknown option -x$usage" "--data:no folder after --data$usage" "--check --check:a second --check$usage" \
        "--data $work/a --data $work/b:a second --data$usage" \
        "--data $work/file:cannot use the folder $work/file: Not a directory\$" \
        "--data $work/none/figures:cannot use the folder $work/none/figures: No such file or directory\$" \
        "--data $work/cut:cannot write the figures in $work/cut: File too large\$" \
        "--data $work/kept:cannot write the figures in $work/kept: Permission denied\$"; do
        prefix=() && [[ $row == *kept:* ]] && prefix=("${as[@]}")
        # shellcheck disable=SC2086 # the row's words are the arguments; files of 4 KiB at most
        run "trap '' XFSZ; ulimit -f 4" ${row%%:*}
        expect_error "${row%%:*}" "^$program: ${row#*:}" 2
    done
    [ "$(ls -A "$work" "$work/kept" && cat "$work/kept/keys.csv")" = "$(printf '%s\n' \
        "$work:" err file kept out '' "$work/kept:" keys.csv "the user's")" ] || fail "refusals" "$(ls -AR "$work")"
    ;;
reach)  # a key that reads name[0] and name[1] alone is not said to read every field
    run ''
    causes="Causes: none found over the sweep, but name\[2..18\], length never reach the key; no field shares keys"
    if expect_status "two bytes of the name" 0 && ! grep -qx "$causes markedly more often than random" "$work/out"; then
        fail "two bytes of the name" "$(grep '^Causes' "$work/out")"
    fi
    ;;
fresh-build)  # the program's make target, into a build folder of its own, prints its output
    run '' BUILD="$work/build"
    cp "$work/out" "$work/made" && launch=("$work/build/$program") && own_output && cp "$work/made" "$work/out"
    expect_report "make into a fresh build folder" noisy
    ;;
small-stack)  # the run has a stack of its own: the main thread's limit does not matter
    # From an empty environment: the kernel gives the arguments and the
    # environment a quarter of the stack limit at most. The sanitizers' runtime
    # and the emulator need more than 16 KiB before the tool's code runs.
    clean=yes
    own_output
    smallest=16 ways=(directly)
    loader=$(readelf -l "${launch[0]}" 2>/dev/null |
             sed -n 's/.*Requesting program interpreter: \(.*\)]$/\1/p')
    if [ "$build" = sanitized ] || [ -n "$emulated" ]; then
        smallest=32
        echo "through the dynamic loader: not run in sanitized or emulated builds"
    elif [ -x "$loader" ]; then
        ways+=("$loader")
    else
        echo "through the dynamic loader: skipped, no loader found"
    fi
    for way in "${ways[@]}"; do
        prefix=()
        [ "$way" = directly ] || prefix=("$way")
        for limit in "-Ss $smallest" "-s $smallest"; do  # the soft limit; soft and hard
            run "ulimit $limit"
            expect_report "$way, ulimit $limit" quiet
        done
    done
    ;;
write-error)  # an output not wholly written is a failure, even if only one block is lost
    # A file-size limit, in KiB, that falls within the output's last 4 KiB; a
    # stdout that loses its third block alone, which a final fflush cannot see,
    # where the output takes three of the stream's blocks (BUFSIZ, 8 KiB).
    own_output
    limit=$((($(wc -c <"$reference") - 1) / 1024))
    rows=('exec >/dev/full:No space left on device' 'exec >&-:Bad file descriptor'
        "trap '' XFSZ; ulimit -f $limit; exec >$(printf %q "$work/cut"):File too large")
    [ "$(wc -c <"$reference")" -gt 16384 ] &&
        rows+=("$(preloaded fail_third_write) && exec >/dev/null:Input/output error")
    for row in "${rows[@]}"; do
        run "${row%:*}"
        expect_error "${row%:*}" "^$program: write error: ${row##*:}\$"
    done
    ;;
bad-keys)  # keys the tables cannot hold: one line naming the key, exit 1
    first='\(name "a", param 0, width 0, height 0, flag 0\)'  # the copy's first descriptor
    rows=("800:key 800 is outside 0..799 $first" "-1:key -1 is outside 0..799 $first")
    [ "$expected" = - ] && rows+=("0:key 0 was hit 4800 times, outside the count table 0..799")
    for row in "${rows[@]}"; do
        run "export HFT_FIXED_KEY=${row%%:*}"
        expect_error "every key ${row%%:*}" "^$program: ${row#*:}\$"
    done
    if [ "$expected" != - ]; then
        run "export HFT_FIXED_KEY=0"
        expect_report "every key 0" quiet
        # It reads no byte, and no random key function puts every input on one key, over the sweep
        # (4800 inputs: chi-square 4800 x 799) or a keyset (24000); the reasons hold commas, so
        # they are quoted.
        run "export HFT_FIXED_KEY=0" --data "$work/figures"
        verdict='hashFunction,fails,"never reads name, param, width, height, flag; bytes never reaching the key:'\
' name[0..18], length, param, width[0], width[1], height[0], height[1], flag; P(empty >= 799) < 1e-300;'\
' P(busiest >= 4800) < 1e-300; P(chi-square >= 3835200.0) < 1e-300'
        for keyset in names near domain; do
            verdict+="; $keyset: P(empty >= 799) < 1e-300; $keyset: P(busiest >= 24000) < 1e-300;"
            verdict+=" $keyset: P(chi-square >= 19176000.0) < 1e-300"
        done
        grep -qxF "$verdict\"" "$work/figures/verdicts.csv" ||
            fail "every key 0, its verdict" "$(head -c 300 "$work/figures/verdicts.csv" 2>&1)"
    fi
    ;;
no-thread)  # a run that cannot start says why in one line, and does not pass
    run "$(preloaded refuse_thread)"
    expect_error "no thread" "^$program: cannot start the run: Resource temporarily unavailable\$"
    ;;
heap)  # no allocation of the tool's own: the C library's stdout buffer and the thread's TLS
    own_output
    run "$(preloaded alloc_count)"
    expect_report "counted run" noisy
    allocations=$(sed -n 's/^heap allocations: \([0-9]*\)$/\1/p' "$work/err")
    if [ -z "$allocations" ]; then
        fail "heap" "the allocation counter reported nothing: $(head -c 300 "$work/err")"
    elif [ "$allocations" -gt 2 ]; then
        fail "heap" "$allocations heap allocations after start; at most 2 allowed:" \
            "the stdout buffer and the run's thread's TLS"
    else
        echo "heap allocations after start: $allocations"
    fi
    ;;
*)
    echo "tool_test.sh: unknown check $check"
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] && echo "$program $check: passed"
[ "$failures" -eq 0 ]
