#!/usr/bin/env bash
# Draws a distribution report as a three-panel PNG: hits per key, how many keys
# share each hit count beside a random key function's, and how often the pairs
# of descriptors that differ in one field only share a key, against random.
# Prints a verdict, the diagnosis's figures and causes, then the output path.
# Reads the report on stdin and the diagnosis from a file, so saved ones work
# too:   scripts/plot-distribution.sh out.png diagnosis.txt < report.txt
# Every figure of a random key function is the diagnosis's: none is worked here.
# It draws nothing, exits 1 with one line naming the first problem, prints
# nothing on stdout and leaves the output path as it was when:
# - the output folder does not exist, or the output path is a folder, is not a
#   regular file, or is a file it may not write;
# - stdin or the diagnosis cannot be read, or either is over 1 MB or holds NUL
#   bytes;
# - a line of the report is not the one the tool prints at that place: three
#   summary lines each followed by an empty line, the key lines for keys 0 to 799
#   in order, two empty lines, the count lines for values 0 to 799 in order, and
#   nothing after; or the report ends before its last line;
# - its figures cannot be: a key hit 800 times or more (past the count table), a
#   count line that disagrees with the key lines, key lines that do not add up to
#   the combinations stated, or no combinations at all;
# - the diagnosis lacks a line the picture needs, or is of another key function
#   than the report (other empty keys or another busiest key);
# - any step fails (no gnuplot, which make plot provides, a gnuplot killed by a
#   signal, or a full disk).
# It draws in a temporary folder, by names of its own (no path of the caller's
# becomes gnuplot syntax), and puts the whole picture in place under the output
# name, which may be any name, in one rename. Its work is bounded.
set -uo pipefail
me=plot-distribution.sh
out=${1:-build/distribution.png}
diagnosis=${2:-build/diagnosis.txt}
fail() { echo "$me: $*" >&2; exit 1; }
# first_line FILE: the first line of a command's error output, for a one-line message.
first_line() { head -n 1 "$1" 2>/dev/null | cut -c 1-200 | grep . || echo "no message"; }

folder=$(dirname -- "$out")
[ -d "$folder" ] || fail "the output folder $folder does not exist"
if [ -d "$out" ]; then
    fail "the output path $out is a folder"
elif [ -e "$out" ] && [ ! -f "$out" ]; then
    fail "the output path $out is not a regular file"
elif [ -e "$out" ] && [ ! -w "$out" ]; then
    fail "the output file $out is not writable"
fi
{ [ -f "$diagnosis" ] && [ -r "$diagnosis" ]; } || fail "cannot read the diagnosis $diagnosis"
work=$(mktemp -d 2>/dev/null) || fail "cannot make a temporary folder in ${TMPDIR:-/tmp}"
staged=  # the picture's copy beside its destination, until it takes the destination's name
trap 'rm -rf "$work"; [ -z "$staged" ] || rm -f "$staged"' EXIT

# keep WHAT NAME: stdin, WHAT, kept in $work/NAME. A whole report is about
# 52 kB, a diagnosis 2 kB; more than 1 MB is neither, and is not read on. Read
# through a pipe, so that an input that cannot be read and a copy that cannot be
# kept are told apart.
limit=1000000
keep() {
    head -c $((limit + 1)) 2>"$work/read.err" | cat 2>"$work/err" >"$work/$2"
    local statuses=("${PIPESTATUS[@]}")
    [ "${statuses[1]}" -eq 0 ] || fail "cannot keep $1 in $work: $(first_line "$work/err")"
    [ "${statuses[0]}" -eq 0 ] || fail "cannot read $1: $(first_line "$work/read.err")"
    [ "$(wc -c <"$work/$2")" -le $limit ] || fail "$1 is larger than $limit bytes"
    [ "$(tr -d '\000' <"$work/$2" | wc -c)" -eq "$(wc -c <"$work/$2")" ] ||
        fail "$1 is not text: it holds NUL bytes"
}
keep "the report on stdin" report.txt
keep "the diagnosis $diagnosis" diagnosis.txt <"$diagnosis"
cd "$work" || fail "cannot enter $work"

# One pass over the report, then the diagnosis: each report line checked
# against the one the tool prints there, the diagnosis's figures gathered; the
# data files and the verdict written only if every check held.
awk -v keys=800 '
    function bad(message) { if (problem == "") problem = message }
    function expect(pattern, what) { if ($0 !~ ("^" pattern "$")) bad("line " FNR " is not " what) }
    function lacks(what) { bad("the diagnosis has no " what) }
    BEGIN { N = "(0|[1-9][0-9]*)"; keyLine = 7; valueLine = keyLine + keys + 2; last = valueLine + keys - 1 }
    FNR == 1 { file++ }
    file == 1 && FNR == 1 { expect("There were ->\\[ " N " \\]<- possibilities", "the combinations"); combinations = $4 }
    file == 1 && FNR == 3 { expect("The dimension of each hash_element would be " N, "the slot size") }
    file == 1 && FNR == 5 { expect("The dimension of the cache would be " N ", with " keys " hash keys", "the cache size") }
    file == 1 && (FNR == 2 || FNR == 4 || FNR == 6 || FNR == valueLine - 2 || FNR == valueLine - 1) { expect("", "empty") }
    file == 1 && FNR >= keyLine && FNR < keyLine + keys {
        key = FNR - keyLine; hits[key] = $5 + 0
        expect("Key: " key " has registered " N " times", "the line of key " key)
        if (hits[key] >= keys) bad("line " FNR " gives key " key " " $5 " hits, outside the count table 0.." keys - 1)
        keysWith[hits[key]]++; total += hits[key] }
    file == 1 && FNR >= valueLine && FNR <= last {
        value = FNR - valueLine
        expect("There were " N " keys with value " value, "the count line of value " value)
        if ($3 != keysWith[value] + 0) bad("line " FNR " gives " $3 " keys with value " value ", the key lines " keysWith[value] + 0) }
    file == 1 && FNR > last { bad("line " FNR " is past the end of a report"); nextfile }
    file == 1 { reportLines = FNR }

    file == 2 && /^This key: [0-9]+ empty keys, the busiest holds [0-9]+ hits, chi-square [0-9.]+ with / {
        thisEmpty = $3; thisBusiest = $9; thisChi = $12 }
    file == 2 && /^A uniformly random key function, over / { block = 1 }
    file == 2 && /^A random key function as blind as this one, / { block = 2 }
    file == 2 && block && /^  empty keys +[0-9.]+ / { emptyMean[block] = $3 }
    file == 2 && block && /^  busiest key +median [0-9]+ / { median[block] = $4 }
    file == 2 && block && /^  chi-square +[0-9.]+ / { chiMean[block] = $2 }
    file == 2 && block && /^  keys per hit count, expected:/ {
        for (i = 6; i <= NF; i++) { split($i, pair, ":"); print pair[1], pair[2] > (block == 1 ? "random.dat" : "blind.dat") }
        curve[block] = 1 }
    file == 2 && /^(name|param|width|height|flag) +[0-9]+ / {
        print fields++, $1, $6 + 0, ($7 == "never") > "fields.dat" }
    file == 2 && /^Causes/ { causes = $0 }
    END {
        if (reportLines < last) bad("the report ends at line " reportLines ", before its last line " last)
        if (total != combinations) bad("the key lines count " total " combinations, the summary " combinations)
        if (total == 0) bad("the report counts no combinations")
        for (key = 0; key < keys; key++) { used += (hits[key] > 0); if (hits[key] > highest) highest = hits[key] }
        if (thisChi == "") lacks("line of this key'"'"'s figures")
        for (b = 1; b <= (block > 1 ? 2 : 1); b++)
            if (emptyMean[b] == "" || median[b] == "" || chiMean[b] == "" || !curve[b])
                lacks("whole figures of " (b == 1 ? "a uniformly random key function" : "the blind one"))
        if (fields != 5) lacks("five field rows")
        if (causes == "") lacks("line of causes")
        if (problem == "" && (thisEmpty != keys - used || thisBusiest != highest))
            bad("the diagnosis is of another key function than the report: it leaves " thisEmpty " keys empty and " \
                "its busiest holds " thisBusiest ", the report " keys - used " and " highest)
        if (problem != "") { print problem; exit 1 }

        for (key = 0; key < keys; key++) print key, hits[key] > "keys.dat"
        for (value = 0; value < keys; value++) print value, keysWith[value] + 0 > "values.dat"
        # The verdict, a sentence a line; the picture takes the same lines as its
        # headline, the sentences of figures split at their semicolons.
        verdict[1] = sprintf("A uniformly random key function would leave about %.0f of the %d keys empty, reach a highest count of about %d and score a chi-square of about %.0f; this one leaves %d empty, reaches %d and scores %.0f, %.1f times the random figure.", \
            emptyMean[1], keys, median[1], chiMean[1], keys - used, highest, thisChi, thisChi / chiMean[1])
        lines = 1
        if (block == 2)
            verdict[++lines] = sprintf("One as blind as this one would leave about %.0f empty, reach about %d and score about %.0f; this one scores %.1f times that.", \
                emptyMean[2], median[2], chiMean[2], thisChi / chiMean[2])
        verdict[++lines] = causes
        headline = ""
        for (i = 1; i <= lines; i++) {
            print verdict[i] > "verdict.txt"
            text = verdict[i]; if (i < lines) sub(/; /, ";\\n", text); headline = headline (i > 1 ? "\\n" : "") text }
        printf "mean = %g; highest = %d; randomHighest = %d; blindHighest = %d; blind = %d\n", \
            total / keys, highest, median[1], (block == 2 ? median[2] : 0), (block == 2) > "figures.gp"
        printf "headline = \"%s\"\n", headline > "figures.gp"
    }' report.txt diagnosis.txt >problem 2>&1 || fail "$(first_line problem)"
[ -e blind.dat ] || : >blind.dat

cat >plot.gp <<'GP'
load "figures.gp"
set terminal pngcairo size 1200,1200 font "sans,10"; set output "distribution.png"
set multiplot layout 3,1 title headline font "sans,11"
set style fill solid 0.8 noborder; set grid ytics lc rgb "#dddddd"

set title "Hits per key"; set xlabel "key"; set ylabel "hits"
set xrange [-5:804]; set yrange [0:highest * 1.15]
plot "keys.dat" using 1:2 with impulses lc rgb "#3b6ea8" notitle, \
     mean with lines lc rgb "#c0392b" lw 2 title sprintf("mean %g", mean), \
     "keys.dat" using 1:($2 == highest ? $2 : NaN):(sprintf("key %d", $1)) \
         with labels offset 0,0.8 font "sans,9" notitle

set title "Keys per hit count"; set xlabel "hits on a key"; set ylabel "keys"
right = highest > randomHighest ? highest : randomHighest
right = right > blindHighest ? right : blindHighest
set xrange [-1:right + 2]; set yrange [0:*]
set boxwidth 0.8; set key top right
plot "values.dat" using 1:2 with boxes lc rgb "#3b6ea8" title "this key function", \
     "random.dat" using 1:2 with linespoints lc rgb "#e67e22" lw 2 pt 7 ps 0.6 \
         title "a uniformly random key function (expected)", \
     "blind.dat" using 1:(blind ? $2 : NaN) with linespoints lc rgb "#8e44ad" lw 2 pt 5 ps 0.6 \
         title (blind ? "a random one as blind as this one (expected)" : "")

set title "Pairs of descriptors that differ in one field only: how often they share a key, against random"
set xlabel "field"; set ylabel "times as often as random"
set logscale y; set yrange [0.1:3000]; set xrange [-0.6:4.6]; set xtics scale 0
set boxwidth 0.6; set key top left
plot "fields.dat" using 1:($3 > 0 ? $3 : NaN):xtic(2) with boxes lc rgb "#3b6ea8" notitle, \
     "fields.dat" using 1:($3 > 0 ? $3 : 0.1):(sprintf($4 > 0 ? "%gx, never read" : "%gx", $3)) \
         with labels offset 0,0.8 font "sans,9" notitle, \
     1 with lines dt 2 lw 2 lc rgb "#c0392b" title "a uniformly random key function (1x)"
unset multiplot
GP
# The braces keep bash's own notice of a gnuplot ended by a signal off stderr.
{ gnuplot plot.gp >gnuplot.out 2>gnuplot.err; status=$?; } 2>/dev/null
if [ "$status" -gt 128 ]; then
    fail "gnuplot was killed by signal $(kill -l $((status - 128)))"
elif [ "$status" -ne 0 ]; then
    fail "gnuplot could not draw: $(first_line gnuplot.err)"
fi
whole=89504e470d0a1a0a0000000049454e44ae426082  # a PNG's signature, and its closing IEND chunk
[ "$({ head -c 8 distribution.png; tail -c 12 distribution.png; } | od -An -tx1 | tr -d ' \n')" = $whole ] ||
    fail "gnuplot wrote no whole picture in $work: $(first_line gnuplot.err)"
cd - >/dev/null || fail "cannot go back to the folder it started in"

# Into place only as a whole file: copied beside the destination, checked, and
# then renamed over it, which replaces it at once or not at all.
staged=$(mktemp -- "$folder/.distribution.png.XXXXXX" 2>"$work/err") ||
    fail "cannot write in $folder: $(first_line "$work/err")"
cat "$work/distribution.png" >"$staged" 2>"$work/err" ||
    fail "cannot write the picture in $folder: $(first_line "$work/err")"
chmod -- "$(printf '%o' $((0666 & ~$(umask))))" "$staged" 2>/dev/null || true
mv -fT -- "$staged" "$out" 2>"$work/err" || fail "cannot name the picture $out: $(first_line "$work/err")"
staged=
cat "$work/verdict.txt"
echo "$out"
