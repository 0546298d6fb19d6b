#!/usr/bin/env bash
# Runs a built program as a user does and checks what they would see: its whole
# output, byte for byte, and its exit status. Only report, mixed, candidates and
# bad-keys hold it to the known answers, the keys pinned; every other check holds
# for any key function, against a plain run's output.
#   tool_test.sh CHECK PROGRAM EXPECTED BUILD PRELOAD -- LAUNCH...
# CHECK is one of the cases below; PROGRAM is the name its messages start with; EXPECTED is its
# whole output (for bad-keys, when every key is 0, or - if it refuses that), and the diagnosis's
# figures lie in EXPECTED less .txt, plus -figures; BUILD is sanitized in a sanitized build, else
# plain; PRELOAD is the library preloaded into the tool (the allocation counter for heap, a failing
# pthread_create for no-thread, a failing stdout for write-error), or -; LAUNCH is the tool, behind
# its emulator when it is built for another target (for fresh-build, its make target).
# HFT_SHARED_RUN names the folder where the check run leaves one run of the diagnosis, --check
# --data, for the checks that read it (a CTest fixture); HFT_FRESH_BUILD the build folder that
# fresh-build makes anew for the diagnosis and the tester then shares.
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
shared=${HFT_SHARED_RUN:-}
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

# known_only PINNED FILE: the text FILE less what belongs to candidates that PINNED, the pinned text,
# does not list, and that a user added after the known answers were pinned: their columns of the
# reach (a block of theirs alone, with the empty line before it), and each line that starts with
# one's name and then two spaces, " on ", " passes" or " fails", with the lines under it indented
# deeper. Where it drops any, the answer's sentence on who gets the cache key's loss back, which an
# added candidate may take, goes too (without_recovery).
known_only() {
    awk 'function name_of(line) { sub(/^ */, "", line); sub(/[ ,:].*/, "", line); return line }
        function indent(line) { match(line, /^ */); return RLENGTH }
        FNR == 1 { file++; list = 0; reach = 0; block = 0; held = 0; skipping = 0; under = -1 }
        file <= 2 {  # the pinned names, then the names the text lists
            if (/^Candidates, side by side:$/) list = 1
            else if (list && /^  [A-Za-z_][A-Za-z0-9_]*  /) listed[file, name_of($0)]
            else if (list && $0 == "") list = 0
            next
        }
        FNR == 1 { for (pair in listed) { split(pair, at, SUBSEP)
                       if (at[1] == 2 && !((1, at[2]) in listed)) added[at[2]] } }
        /^Reach: / { reach = 1 }
        /^## Keysets beyond/ { reach = 0 }
        reach && $0 == "" { if (held) print ""; held = 1; block = 0; skipping = 0; next }
        reach && /^byte / {  # a block: byte names in 10 columns, a candidate in every 18 after
            block = 1; columns = 0
            for (col = 11; col < length($0); col += 18)
                if (!(name_of(substr($0, col, 18)) in added)) kept[++columns] = col
            if (columns == 0) { skipping = 1; held = 0; next }
        }
        reach && skipping { next }
        held { print ""; held = 0 }
        block {
            line = substr($0, 1, 10); for (c = 1; c <= columns; c++) line = line substr($0, kept[c], 18)
            print line; next
        }
        under >= 0 && $0 != "" && indent($0) > under { next }
        { under = -1 }
        (name_of($0) in added) && match($0, /^ *[A-Za-z0-9_]+(  | on | passes| fails)/) {
            under = indent($0); next
        }
        { print }' <(echo pinned; sed -n '/^Candidates, side by side:$/,/^$/p' "$1") "$2" "$2" |
    if [ -n "$(added_names "$1" "$2")" ]; then without_recovery -; else cat; fi
}

# added_names PINNED FILE: the candidates FILE lists that PINNED does not, a line each.
added_names() { known_names "$2" | grep -vxF -f <(known_names "$1"); }

# without_recovery FILE: FILE less the answer's sentence on who gets the cache key's loss back, from
# its first line to the line before "The verdict says".
without_recovery() {
    awk '/^([A-Za-z_][A-Za-z0-9_]* gets back |[A-Za-z_][A-Za-z0-9_]* hits [0-9.]+ points more|No candidate hits)/ { drop = 1 }
        /^The verdict says/ { drop = 0 }
        !drop' "$1"
}

# The names of the candidates PINNED lists, for the figures' files: the known ones.
known_names() { sed -n '/^Candidates, side by side:$/,/^$/s/^  \([A-Za-z_][A-Za-z0-9_]*\)  .*/\1/p' "$1"; }

# expect_report WHAT quiet|noisy [STATUS]: the last run ended with STATUS (0) and printed exactly the
# output $reference holds, nothing on stderr if quiet. Where that is the known answers, it says so.
# No line of the diagnosis's text is wider than 100 columns but one that quotes a descriptor.
reference=$expected
changed="hashFunction or a candidate in src/candidates.cpp" also=
[ "$program" = hashFunctionTester ] && changed=hashFunction also=", and tests/expected_report_test.cpp, which checks them"
expect_report() {
    expect_status "$1" "${3:-0}" || return
    if [ "$reference" != "$expected" ]; then
        cmp -s "$reference" "$work/out" ||
            fail "$1" "the output differs from a plain run's:$(diff "$reference" "$work/out" | head -8)"
    elif ! cmp -s <(pinned_text) <(known_only "$expected" "$work/out"); then
        fail "$1" "the output differs from the known answers in $expected: if you changed $changed on" \
            "purpose, update them$also:$(diff <(pinned_text) <(known_only "$expected" "$work/out") | head -8)"
    fi
    [ "$2" = quiet ] && [ -s "$work/err" ] && fail "$1" "stderr: $(head -c 300 "$work/err")"
    if [ "$program" = hashFunctionDiagnosis ] && awk 'length($0) > 100 && !/name "/ { exit 1 }' "$work/out"; then
        :
    elif [ "$program" = hashFunctionDiagnosis ]; then
        fail "$1" "a line wider than 100 columns: $(awk 'length($0) > 100 && !/name "/' "$work/out" | head -2)"
    fi
}

# pinned_text: the known answers as the output is held to them: without the answer's recovery
# sentence where the output lists candidates added since (known_only).
pinned_text() {
    if [ -n "$(added_names "$expected" "$work/out")" ]; then without_recovery "$expected"; else cat "$expected"; fi
}

# split_check: the lines of --check's outcome, "--check passes" or "--check fails: WHY" a line each,
# moved from the last run's output to $work/check; there is one at least, and one that fails exactly
# where the run exited 1.
split_check() {
    grep '^--check ' "$work/out" >"$work/check"
    grep -v '^--check ' "$work/out" >"$work/text" && mv "$work/text" "$work/out"
    if ! grep -q . "$work/check" || { grep -q '^--check fails: ' "$work/check"; [ $? -ne $((status == 1 ? 0 : 1)) ]; } ||
        { [ "$status" -ne 1 ] && ! grep -qx -- '--check passes' "$work/check"; }; then
        fail "--check" "exit $status, its outcome: $(cat "$work/check")"
    fi
}

# own_output: a plain run's output, the reference of every check whose property holds for any key
# function: the shared run's, where there is one.
own_output() {
    if [ -n "$shared" ]; then
        cp "$shared/text" "$work/own" && reference=$work/own
        return
    fi
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

# same_figures PINNED DIR: DIR holds PINNED's files (and notes.txt), line for line, field for field,
# but the rows of candidates the pinned text does not list. Reals may differ in their last digits,
# as one libm's logarithms do from another's: by 1e-9 at most.
same_figures() {
    [ "$(ls "$1")" = "$(ls -I notes.txt "$2")" ] || return 1
    known_names "$expected" >"$work/known"
    for file in "$1"/*; do
        awk 'NR == FNR { known[$0]; next } FNR == 1 { print; next }
            FILENAME ~ /[.]csv$/ { name = $0; sub(/,.*/, "", name); if (name in known) print; next }
            /^[A-Za-z_][A-Za-z0-9_]* (passes|fails)/ { if ($1 in known) print; next }
            { print }' "$work/known" "$2/${file##*/}" |
        same_figures_file "$file" - || return 1
    done
}

# same_figures_file PINNED FILE: FILE holds PINNED's lines, field for field, reals within 1e-9.
same_figures_file() {
    awk -F, -v real='^-?[0-9.]+(e[-+][0-9]+)?$' 'NR == FNR { line[FNR] = $0; lines = FNR; next }
        { bad += split(line[FNR], pinned, ",") != NF; for (i = 1; i <= NF; i++) bad += $i != pinned[i] &&
          !($i ~ real && pinned[i] ~ real && ($i - pinned[i]) ^ 2 <= 1e-18 * pinned[i] ^ 2) }
        END { exit bad || FNR != lines }' "$1" "$2"
}

# answer_agrees TEXT FIGURES: the answer that opens TEXT says what FIGURES (replay.csv and
# verdicts.csv) hold: each candidate's row (its hit ratio, its hits against the random key
# function's exact expectation in points and in the random tables' sd, its requests outside the
# table with their share, its verdict and first reason, cut to its 35 columns), the cache key's
# cost, and which candidate gets the most of it back. Prints what differs, and fails, where it does.
answer_agrees() {
    awk -F, 'function sign(x) { return x >= 0 ? "+" : "" }
        FILENAME ~ /replay.csv$/ && FNR == 1 { for (i = 1; i <= NF; i++) col[$i] = i; next }
        FILENAME ~ /replay.csv$/ {
            name = $1; order[++n] = name; hits[name] = $col["hits"]; out[name] = $col["outside"]
            requests = $col["requests"]; random = $col["random_hits"]; sd = $col["random_sd"]; next
        }
        FILENAME ~ /verdicts.csv$/ && FNR > 1 {
            name = $1; reason = substr($0, length($1 $2) + 3)
            if (reason ~ /^"/) { reason = substr(reason, 2, length(reason) - 2); gsub(/""/, "\"", reason) }
            sub(/; .*/, "", reason)
            cell[name] = $2 == "passes" ? "passes" : "fails: " reason
            if (length(cell[name]) > 35) cell[name] = substr(cell[name], 1, 32) "..."
            next
        }
        FILENAME ~ /verdicts.csv$/ { next }
        /^candidate +hit ratio +vs random/ { table = 1; next }
        table && /^hit ratio: / { table = 0 }
        table {
            name = $0; sub(/ .*/, "", name); row = $0; sub(/^[^ ]+ +/, "", row)
            h = hits[name]; points = 100 * (h - random) / requests
            want = sprintf("%.2f%%  %9s  %7s  %14s  %s", 100 * h / requests, sprintf("%s%.2f", sign(points), points),
                sd > 0 ? sprintf("%s%.1f", sign((h - random) / sd), (h - random) / sd) : "-",
                sprintf("%d (%.1f%%)", out[name], 100 * out[name] / requests), cell[name])
            gsub(/  +/, " ", row); gsub(/  +/, " ", want)
            if (row != want) { print "the row of " name ": " row ", where the figures say " want; bad = 1 }
            shown++
        }
        { text = text " " $0 }
        END {
            if (shown != n) { print shown " rows for " n " candidates"; bad = 1 }
            first = order[1]; loss = 100 * (random - hits[first]) / requests
            want = sprintf("%s %s %.1f points against a random key function", first, loss >= 0 ? "costs" : "gains",
                loss >= 0 ? loss : -loss)
            if (index(text, want) == 0) { print "no sentence \"" want "\""; bad = 1 }
            best = ""; for (i = 2; i <= n; i++) if (best == "" || hits[order[i]] > hits[best]) best = order[i]
            if (best != "") {
                back = 100 * (hits[best] - hits[first]) / requests
                if (back <= 0) want = "No candidate hits more often than " first
                else if (loss <= 0) want = sprintf("%s hits %.1f points more often than %s", best, back, first)
                else if (back >= loss) want = sprintf("%s gets back all %.1f of %s\047s points", best, loss, first)
                else want = sprintf("%s gets back %.1f of %s\047s %.1f points", best, back, first, loss)
                gsub(/  +/, " ", text)
                if (index(text, want) == 0) { print "no sentence \"" want "\""; bad = 1 }
            }
            exit bad
        }' "$2/replay.csv" "$2/verdicts.csv" "$1"
}

# pinned_run WHAT FIGURES: the last run, --check --data FIGURES, against the known answers: its text,
# its exit status (1 where the pinned table says the cache's key function fails), its figures.
pinned_run() {
    local verdict
    verdict=$(awk '/^candidate +never read/ { getline; print; exit }' "$expected")
    split_check
    expect_report "$1, where the known answers' ${verdict%%  *} ${verdict##*  }" quiet \
        "$([[ $verdict == *"  fails ("* ]] && echo 1 || echo 0)"
    same_figures "${expected%.txt}-figures" "$2" || fail "$1" "the figures differ from the known answers" \
        "in ${expected%.txt}-figures: if you changed hashFunction or a candidate on purpose, update them"
    answer_agrees "$work/out" "$2" >"$work/agrees" || fail "$1" "the answer and the figures disagree: $(head -3 "$work/agrees")"
}

# replay_pinned: the sample request file replayed at 2 records per key, as pinned: the text names the
# file, its requests and its descriptors; replay.csv holds the known candidates' rows of
# tests/expected-requests-replay.csv.
replay_pinned() {
    local file=${expected%/*}/requests-photos.csv pinned=${expected%/*}/expected-requests-replay.csv
    run '' --requests "$file" --ways 2 --data "$work/figures"
    expect_status "--requests FILE --ways 2" 0 || return
    grep -qF "on the requests of $file: 3000 requests of 925 distinct descriptors" <(tr '\n' ' ' <"$work/out") ||
        fail "--requests FILE" "the replay does not name the file, its requests and its descriptors"
    known_names "$expected" >"$work/known"
    awk -F, 'NR == FNR { known[$0]; next } FNR == 1 || $1 in known' "$work/known" "$work/figures/replay.csv" |
        same_figures_file "$pinned" - ||
        fail "--requests FILE" "replay.csv differs from $pinned:" \
            "$(diff "$pinned" "$work/figures/replay.csv" | head -6)"
}

case $check in
run)  # the diagnosis's shared run, --check --data, into a folder with a file of the user's and a
      # figures' file of an earlier run beside it
    rm -rf "$shared" && mkdir -p "$shared/figures" || exit 1
    echo "the user's" >"$shared/figures/notes.txt" && echo "an earlier run's" >"$shared/figures/keys.csv"
    run '' --check --data "$shared/figures"
    cp "$work/out" "$shared/out" && cp "$work/err" "$shared/err" && echo "$status" >"$shared/status"
    grep -v '^--check ' "$work/out" >"$shared/text"  # what a run without --check prints
    grep '^--check ' "$work/out" >"$shared/check"
    { [ "$status" -le 1 ] && [ -s "$work/out" ]; } || fail "the shared run" "exit $status: $(head -c 300 "$work/err")"
    ;;
report)  # the output as pinned; the tester's arguments change nothing; the diagnosis's shared run
    if [ "$program" = hashFunctionTester ]; then
        run ''
        expect_report "plain run" quiet
        run '' --help -x 42
        expect_report "with arguments" quiet
    else  # its files over an earlier run's, beside the user's, which is kept
        cp "$shared/out" "$work/out" && cp "$shared/err" "$work/err" && status=$(cat "$shared/status")
        pinned_run "--check --data over an earlier run's files" "$shared/figures"
        [ "$(cat "$shared/figures/notes.txt")" = "the user's" ] || fail "--data" "the user's file was not kept"
    fi
    ;;
mixed | candidates)  # a copy's output as pinned, its figures into a new folder; with candidates
                     # added, the sample request file's replay as pinned too
    run '' --check --data "$work/figures"
    pinned_run "--check --data into a new folder" "$work/figures"
    [ "$check" = candidates ] && rm -rf "$work/figures" && replay_pinned
    ;;
threads)  # the same text and files, byte for byte, at any number of threads; on a terminal, a run
          # that lasts over a second (one thread) shows its progress on one line, cleared at the end
    for threads in 1 3; do
        if [ "$threads" = 1 ]; then  # stderr a terminal, through script(1)
            command=$(printf '%q ' "${launch[@]}" --threads 1 --data "$work/figures-1")
            script -qec "$command >$(printf %q "$work/out")" "$work/terminal" >/dev/null 2>&1
            status=$? && : >"$work/err"
            # What reached the terminal, script's own first and last lines aside, split at each return.
            tr '\r' '\n' <"$work/terminal" | grep -v '^Script ' >"$work/shown"
            if ! grep -q "^.\[K$program: keyed parts [0-9]* of [0-9]*\$" "$work/shown" ||
                [ "$(tail -n 1 "$work/shown")" != $'\e[K' ]; then
                fail "--threads 1 on a terminal" "no progress, or not cleared: $(tail -c 200 "$work/shown" | od -c | head -4)"
            fi
        else
            run '' --threads "$threads" --data "$work/figures-$threads"
        fi
        reference=$shared/text && expect_report "--threads $threads" quiet
        for file in "$shared/figures"/*; do
            [ "${file##*/}" = notes.txt ] || cmp -s "$file" "$work/figures-$threads/${file##*/}" ||
                fail "--threads $threads" "${file##*/} differs from the shared run's"
        done
    done
    ;;
requests)  # the owner's requests, replayed as pinned, from a file and from a pipe; a bad file is
           # refused before any work, in one line, exit 2, nothing on stdout, no figures' file touched
    file=${expected%/*}/requests-photos.csv
    replay_pinned
    cp "$work/out" "$work/photos.out"
    run "exec <$(printf %q "$file")" --requests - --ways 2 --data "$work/piped"
    if expect_status "--requests - from a pipe" 0; then
        # The same figures; the headline names its stream, the file or standard input.
        for figures in "$work/figures"/*; do
            cmp -s <(sed "s|on $file|on standard input|" "$figures") "$work/piped/${figures##*/}" ||
                fail "--requests -" "${figures##*/} differs from the file's"
        done
    fi
    mkdir "$work/kept" && echo "the user's" >"$work/kept/replay.csv"
    printf 'name,param,width,height,flag\nfaro,1,2,3,0\nfaro,1,2,3\n' >"$work/bad.csv"
    # A path of over 400 characters: its refusal whole.
    long=$work/$(printf 'd%.0s' {1..250})/$(printf 'e%.0s' {1..150})
    mkdir -p "$long" && cp "$work/bad.csv" "$long/bad.csv"
    for row in "$work/bad.csv:$work/bad.csv:3: a row of 4 fields; the header has 5 \(1 line of the file has this fault\)" \
        "$long/bad.csv:$long/bad.csv:3: a row of 4 fields; the header has 5 \(1 line of the file has this fault\)" \
        "$work/none.csv:$work/none.csv: cannot read it: No such file or directory" \
        "$work/kept:$work/kept: cannot read it: Is a directory"; do
        for folder in "$work/kept" "$work/new"; do
            run '' --requests "${row%%:*}" --data "$folder"
            expect_error "--requests ${row%%:*} --data ${folder##*/}" "^$program: ${row#*:}\$" 2
        done
    done
    { [ "$(ls "$work/kept")" = replay.csv ] && [ "$(cat "$work/kept/replay.csv")" = "the user's" ] && [ ! -e "$work/new" ]; } ||
        fail "a refused file" "changed the figures' folders: $(ls -R "$work/kept" "$work/new" 2>&1)"
    # The file's widths and heights are pixels, past the catalogue's selectors: said, and replayed.
    for field in "width past the selectors 0..5, up to 3840" "height past the selectors 0..4, up to 2160"; do
        grep -qx "3000 requests have a $field: a selector, not pixels" "$work/photos.out" ||
            fail "--requests FILE" "no line says the file's ${field%% *}s pass the selectors"
    done
    # The diagnosis's own crowd.csv is a request file; a file of one request, and of one
    # descriptor, leave no nan, no inf and no plural of one.
    run '' --requests "$work/figures/crowd.csv"
    if expect_status "--requests crowd.csv" 0 &&
        ! grep -qF "on the requests of $work/figures/crowd.csv:" <(tr '\n' ' ' <"$work/out"); then
        fail "--requests crowd.csv" "the replay does not name the file"
    fi
    header='name,param,width,height,flag'
    singular='-?(nan|inf)|1 (requests|descriptors|keys|lines|records)'
    for rows in 1 3; do
        { echo "$header"; yes faro,1,2,3,0 | head -n "$rows"; } >"$work/one.csv"
        run '' --requests "$work/one.csv"
        if expect_status "--requests with $rows of one descriptor" 0 &&
            grep -Eiwq -- "$singular" <(tr '\n' ' ' <"$work/out"); then
            fail "--requests with $rows of one descriptor" "$(grep -Eiw -- "$singular" "$work/out" | head -3)"
        fi
    done
    # A name past the record's field: refused, naming the option, or with it cut and counted.
    printf '%s\n' "$header" 'abcdefghijklmnopqrstuvw,1,2,3,0' 'abcdefghijklmnopqrsXYZ,1,2,3,0' >"$work/long.csv"
    run '' --requests "$work/long.csv"
    expect_error "a long name" "^$program: $work/long.csv:2: name holds 23 bytes, past the 19 a name holds: --cut-names keeps its first 19 \\(2 lines of the file have this fault\\)\$" 2
    # A file where param -1 crowds under hashFunction: its key is then ((name[0] + name[1]) x
    # width) mod 7 + 1 + the name's length, 4 to 12, so 5 to 19, 15 keys at most. And a request
    # whose key lies outside the table (name 0xff: -11 + 1 + 1 = -9), and the two long names, cut.
    awk 'BEGIN { print "name,param,width,height,flag"; s = 12345
        letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
        for (i = 0; i < 3000; i++) {
            for (j = 0; j < 6; j++) { s = (s * 1103515245 + 12345) % 2147483648; r[j] = int(s / 65536) }
            print substr(letters, r[0] % 52 + 1, 1) substr(letters, r[1] % 52 + 1, 1) \
                substr("xxxxxxxxxx", 1, 2 + r[2] % 9) "," r[3] % 11 - 1 "," 1 + r[4] % 5 "," 1 + r[5] % 4 ",0"
        }
        print "\"\"\"\\xff\"\"\",0,0,0,0" }' >"$work/crowd.csv"
    tail -n 2 "$work/long.csv" >>"$work/crowd.csv"
    crowded=$(grep -c '^[A-Za-z]*x*,-1,' "$work/crowd.csv")
    share=$(awk -v part="$crowded" 'END { printf "%.1f%%", 100 * part / (NR - 1) }' "$work/crowd.csv")
    run '' --requests="$work/crowd.csv" --cut-names --check
    if expect_status "--check --requests, param -1 crowding" 1; then
        for line in "--cut-names cut the names of 2 requests to their first 19 bytes: 1 distinct name as kept" \
            "--check fails: 1 request (0.0%) has a key outside 0..799"; do
            grep -qxF -- "$line" "$work/out" || fail "--check --requests" "no line \"$line\""
        done
        grep -qF "Causes on $work/crowd.csv, worst first: param -1 puts $crowded descriptors, $share of the requests, on 15 keys;" \
            <(tr '\n' ' ' <"$work/out" | tr -s ' ') ||
            fail "--check --requests" "the causes do not name param -1: $(grep -A2 '^Causes on' "$work/out")"
    fi
    # Hostile input, refused in one line at the row that runs past 64 KiB, in 1 s and, where the
    # build has no sanitizers (whose shadow memory needs terabytes of address space), 64 MiB.
    limit='ulimit -v 65536;'
    [ "$build" = sanitized ] && limit=
    past='a row runs past 65536 bytes, the most a row holds; the file was read no further$'
    truncate -s 2G "$work/zeros.csv"
    prefix=(timeout 1)
    for row in "exec </dev/zero:standard input:1" "exec < <(head -c 2000000000 /dev/zero):standard input:1" \
        "exec <$(printf %q "$work/zeros.csv"):$work/zeros.csv:1" \
        "exec < <(echo $header; head -c 20000000 /dev/zero | tr '\\0' ,):standard input:2"; do
        run "$limit ${row%%:*}" --requests "$([[ $row == *zeros.csv* ]] && echo "$work/zeros.csv" || echo -)"
        expect_error "hostile: ${row%%:*}" "^$program: ${row#*:}: $past" 2
    done
    prefix=()
    ;;
options)  # anything else is refused in one line, exit 2, with nothing written or removed; a value
         # after its option or an =, -h as --help
    usage='; see hashFunctionDiagnosis --help$'
    mkdir -m 755 "$work/kept" && echo "the user's" >"$work/kept/keys.csv" && chmod 555 "$work/kept" && touch "$work/file"
    # A folder it may not write, as a user who may not: root may write any folder.
    [ "$(id -u)" -eq 0 ] && chmod 755 "$work" && as=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
    for row in "-x:unknown option -x$usage" "--data:no folder after --data$usage" "--check --check:a second --check$usage" \
        "--data $work/a --data $work/b:a second --data$usage" "--threads 0:--threads 0 is outside 1..256$usage" \
        "--threads 2 --threads=2:a second --threads$usage" "--threads 2x:--threads 2x is not a whole number$usage" \
        "--ways 17:--ways 17 is outside 1..16$usage" "--ways=-1:--ways -1 is outside 1..16$usage" \
        "--ways=99999999999999999999:--ways 99999999999999999999 is outside 1..16$usage" \
        "--requests:no file after --requests$usage" "--check --requests x --ways:no count after --ways$usage" \
        "--ways=:no count after --ways$usage" "--check=yes:--check takes no value$usage" \
        "--data $work/file:cannot use the folder $work/file: Not a directory\$" \
        "--data=$work/none/figures:cannot use the folder $work/none/figures: No such file or directory\$" \
        "--data $work/cut:cannot write the figures in $work/cut: File too large\$" \
        "--data $work/kept:cannot write the figures in $work/kept: Permission denied\$"; do
        prefix=() && [[ $row == *kept:* ]] && prefix=("${as[@]}")
        # shellcheck disable=SC2086 # the row's words are the arguments; files of 4 KiB at most
        run "trap '' XFSZ; ulimit -f 4" ${row%%:*}
        expect_error "${row%%:*}" "^$program: ${row#*:}" 2
    done
    [ "$(ls -A "$work" "$work/kept" && cat "$work/kept/keys.csv")" = "$(printf '%s\n' \
        "$work:" err file kept out '' "$work/kept:" keys.csv "the user's")" ] || fail "refusals" "$(ls -AR "$work")"
    # --help, -h and --version, as GNU tools give them: on stdout, exit 0, within 100 columns
    prefix=()
    for help in --help -h; do
        run '' --data="$work/unused" "$help"
        expect_status "$help" 0
        if [ -s "$work/err" ] || ! head -1 "$work/out" | grep -q "^usage: $program \[--brief\] " ||
            [ "$(grep -c '^  --[a-z]' "$work/out")" -ne 10 ] || [ -e "$work/unused" ] ||
            ! grep -q 'selectors (indices into commonWidth and commonHeight), not pixels' <(tr '\n' ' ' <"$work/out" | tr -s ' ') ||
            ! awk 'length($0) > 100 { exit 1 }' "$work/out"; then
            fail "$help" "not the usage and a line per option, within 100 columns: $(head -c 300 "$work/out")"
        fi
    done
    run '' --version
    { [ "$status" -eq 0 ] && grep -qx "$program [0-9]*\.[0-9]*\.[0-9]*" "$work/out"; } ||
        fail "--version" "exit $status: $(head -c 100 "$work/out")"
    # --brief: the answer alone, up to the shared run's first section's heading, and --check's outcome.
    run '' --brief --check
    awk '/^## / { exit } { line[++n] = $0 } END { if (line[n] == "") n--; for (i = 1; i <= n; i++) print line[i] }' \
        "$shared/text" >"$work/answer"
    if expect_status "--brief --check" "$(cat "$shared/status")" && { ! cmp -s "$work/answer" <(grep -v '^--check ' "$work/out") ||
        ! cmp -s "$shared/check" <(grep '^--check ' "$work/out"); }; then
        fail "--brief" "not the answer alone: $(diff "$work/answer" "$work/out" | head -5)"
    fi
    ;;
reach)  # a key that reads name[0] and name[1] alone is not said to read every field
    run ''
    causes="Causes: none found over the sweep, but name\[2..18\], length never reach the key; no field shares"
    if expect_status "two bytes of the name" 0 && ! grep -qx "$causes keys markedly more often than random" \
        <(awk '/^Causes/ { line = $0; while ((getline next_line) > 0 && next_line ~ /^  /) { sub(/^ +/, " ", next_line)
              line = line next_line }; print line }' "$work/out"); then
        fail "two bytes of the name" "$(grep -A1 '^Causes' "$work/out")"
    fi
    ;;
fresh-build)  # the program's make target, into a build folder of its own, prints its output
    fresh=${HFT_FRESH_BUILD:?fresh-build needs HFT_FRESH_BUILD}
    [ "$program" = hashFunctionDiagnosis ] && rm -rf "$fresh"
    run '' BUILD="$fresh"
    cp "$work/out" "$work/made" && launch=("$fresh/$program") && shared= && own_output && cp "$work/made" "$work/out"
    expect_report "make into a fresh build folder" noisy
    ;;
small-stack)  # the run has a stack of its own: the main thread's limit, soft and hard, does not matter
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
        run "ulimit -s $smallest"
        expect_report "$way, ulimit -s $smallest" quiet
    done
    ;;
write-error)  # an output not wholly written is a failure, even if only one block is lost
    # A stdout that loses its third block alone, which a final fflush cannot see,
    # where the output takes three of the stream's blocks (BUFSIZ, 8 KiB); and the
    # tester's, cheap to run, also with no room left, closed, or cut by a file-size limit.
    own_output
    limit=$((($(wc -c <"$reference") - 1) / 1024))
    rows=('exec >/dev/full:No space left on device')
    [ "$program" = hashFunctionTester ] && rows+=('exec >&-:Bad file descriptor'
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
        # It reads no byte, and no random key function puts every input on one key, over the sweep
        # (4800 inputs: chi-square 4800 x 799) or a keyset (24000); the reasons hold commas, so
        # they are quoted.
        run "export HFT_FIXED_KEY=0" --data "$work/figures"
        expect_report "every key 0" quiet
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
