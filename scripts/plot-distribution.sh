#!/usr/bin/env bash
# Draws a distribution report as a two-panel PNG, hits per key and how many keys
# share each hit count, and prints a verdict beside a uniformly random key
# function, then the output path. Reads the report on stdin, so a saved one works
# too:   scripts/plot-distribution.sh out.png < report.txt
# It draws nothing, exits 1 with one line naming the first problem, prints
# nothing on stdout and leaves the output path as it was when:
# - the output folder does not exist, or the output path is a folder, is not a
#   regular file, or is a file it may not write;
# - the report is over 1 MB or holds NUL bytes;
# - a line of the report is not the one the tool prints at that place: three
#   summary lines each followed by an empty line, the key lines for keys 0 to 799
#   in order, two empty lines, the count lines for values 0 to 799 in order, and
#   nothing after; or the report ends before its last line;
# - its figures cannot be: a key hit 800 times or more (past the count table), a
#   count line that disagrees with the key lines, key lines that do not add up to
#   the combinations stated, or no combinations at all;
# - stdin cannot be read, or any step fails (no gnuplot, which make plot
#   provides, a gnuplot killed by a signal, or a full disk).
# It draws in a temporary folder, by names of its own (no path of the caller's
# becomes gnuplot syntax), and puts the whole picture in place under the output
# name, which may be any name, in one rename. Its work is bounded.
set -uo pipefail
me=plot-distribution.sh
out=${1:-build/distribution.png}
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
work=$(mktemp -d 2>/dev/null) || fail "cannot make a temporary folder in ${TMPDIR:-/tmp}"
staged=  # the picture's copy beside its destination, until it takes the destination's name
trap 'rm -rf "$work"; [ -z "$staged" ] || rm -f "$staged"' EXIT

# A whole report is about 52 kB; more than 1 MB is not one, and is not read on.
# Read through a pipe, so that a stdin that cannot be read and a copy that
# cannot be kept are told apart.
limit=1000000
head -c $((limit + 1)) 2>"$work/read.err" | cat 2>"$work/err" >"$work/report.txt"
statuses=("${PIPESTATUS[@]}")
[ "${statuses[1]}" -eq 0 ] || fail "cannot keep the report in $work: $(first_line "$work/err")"
[ "${statuses[0]}" -eq 0 ] || fail "cannot read the report on stdin: $(first_line "$work/read.err")"
[ "$(wc -c <"$work/report.txt")" -le $limit ] || fail "the report is larger than $limit bytes"
[ "$(tr -d '\000' <"$work/report.txt" | wc -c)" -eq "$(wc -c <"$work/report.txt")" ] ||
    fail "the report is not text: it holds NUL bytes"
cd "$work" || fail "cannot enter $work"

# One pass: each line checked against the one the tool prints there, the figures
# gathered; the data files and the verdict written only if every check held. A
# uniformly random key function puts keys x Binomial(total, 1/keys) keys at each
# count k; chi-square is taken against every key holding total/keys hits.
awk -v keys=800 '
    function bad(message) { if (problem == "") problem = message }
    function expect(pattern, what) { if ($0 !~ ("^" pattern "$")) bad("line " NR " is not " what) }
    BEGIN { N = "(0|[1-9][0-9]*)"; keyLine = 7; valueLine = keyLine + keys + 2; last = valueLine + keys - 1 }
    NR == 1 { expect("There were ->\\[ " N " \\]<- possibilities", "the combinations"); combinations = $4 }
    NR == 3 { expect("The dimension of each hash_element would be " N, "the slot size") }
    NR == 5 { expect("The dimension of the cache would be " N ", with " keys " hash keys", "the cache size") }
    NR == 2 || NR == 4 || NR == 6 || NR == valueLine - 2 || NR == valueLine - 1 { expect("", "empty") }
    NR >= keyLine && NR < keyLine + keys {
        key = NR - keyLine; hits[key] = $5 + 0
        expect("Key: " key " has registered " N " times", "the line of key " key)
        if (hits[key] >= keys) bad("line " NR " gives key " key " " $5 " hits, outside the count table 0.." keys - 1)
        keysWith[hits[key]]++; total += hits[key] }
    NR >= valueLine && NR <= last {
        value = NR - valueLine
        expect("There were " N " keys with value " value, "the count line of value " value)
        if ($3 != keysWith[value] + 0) bad("line " NR " gives " $3 " keys with value " value ", the key lines " keysWith[value] + 0) }
    NR > last { bad("line " NR " is past the end of a report"); exit }
    END {
        if (NR < last) bad("the report ends at line " NR ", before its last line " last)
        if (total != combinations) bad("the key lines count " total " combinations, the summary " combinations)
        if (total == 0) bad("the report counts no combinations")
        if (problem != "") { print problem; exit 1 }

        mean = total / keys
        for (key = 0; key < keys; key++) {
            print key, hits[key] > "keys.dat"
            squares += hits[key] ^ 2; used += (hits[key] > 0); if (hits[key] > highest) highest = hits[key] }
        for (value = 0; value < keys; value++) print value, keysWith[value] + 0 > "values.dat"
        chi = squares / mean - total  # sum of (hits - mean)^2 / mean over all keys

        # The random key function: expected keys per count, its chi-square, and the
        # highest count it reaches in at least half of all runs. The binomial terms
        # go by their logarithms, which do not underflow; the sums go on past the
        # mean until their terms vanish, and stop by 4000 whatever the figures.
        q = 1 / keys; logP = total * log(1 - q); randomHighest = -1; term = 1
        for (k = 0; k <= total && k < 4000 && (k <= mean || randomHighest < 0 || term > 1e-12 * randomChi); k++) {
            p = exp(logP)
            print k, keys * p > "random.dat"
            term = keys * p * (k - mean) ^ 2 / mean
            randomChi += term; cdf += p
            if (randomHighest < 0 && cdf ^ keys >= 0.5) randomHighest = k
            logP += log((total - k) / (k + 1) * q / (1 - q))
        }
        randomEmpty = keys * (1 - q) ^ total

        printf "A uniformly random key function would leave about %.0f of the %d keys empty, reach a highest count of about %d and score a chi-square of about %.0f; this one leaves %d empty, reaches %d and scores %.0f, %.1f times the random figure.\n", \
            randomEmpty, keys, randomHighest, randomChi, keys - used, highest, chi, chi / randomChi > "verdict.txt"
        printf "mean = %g; highest = %d; randomHighest = %d\n", mean, highest, randomHighest > "figures.gp"
        printf "headline = \"%d combinations   %d of %d keys used   %d empty   highest count %d   chi-square %.0f with %d degrees of freedom\\n", \
            combinations, used, keys, keys - used, highest, chi, keys - 1 > "figures.gp"
        printf "a uniformly random key function: about %.0f empty, highest count about %d, chi-square about %.0f\"\n", \
            randomEmpty, randomHighest, randomChi > "figures.gp"
    }' report.txt >problem 2>&1 || fail "$(first_line problem)"

cat >plot.gp <<'GP'
load "figures.gp"
set terminal pngcairo size 1200,800 font "sans,10"; set output "distribution.png"
set multiplot layout 2,1 title headline font "sans,11"
set style fill solid 0.8 noborder; set grid ytics lc rgb "#dddddd"

set title "Hits per key"; set xlabel "key"; set ylabel "hits"
set xrange [-5:804]; set yrange [0:highest * 1.15]
plot "keys.dat" using 1:2 with impulses lc rgb "#3b6ea8" notitle, \
     mean with lines lc rgb "#c0392b" lw 2 title sprintf("mean %g", mean), \
     "keys.dat" using 1:($2 == highest ? $2 : NaN):(sprintf("key %d", $1)) \
         with labels offset 0,0.8 font "sans,9" notitle

set title "Keys per hit count"; set xlabel "hits on a key"; set ylabel "keys"
set xrange [-1:(highest > randomHighest ? highest : randomHighest) + 2]; set yrange [0:*]
set boxwidth 0.8; set key top right
plot "values.dat" using 1:2 with boxes lc rgb "#3b6ea8" title "this key function", \
     "random.dat" using 1:2 with linespoints lc rgb "#e67e22" lw 2 pt 7 ps 0.6 \
         title "a uniformly random key function (expected)"
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
