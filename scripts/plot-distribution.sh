#!/usr/bin/env bash
# Draws a distribution report as a two-panel PNG, hits per key and how many keys
# share each hit count, and prints a verdict beside a uniformly random key
# function. Reads the report on stdin, so a saved one works too:
#   scripts/plot-distribution.sh out.png < report.txt
# On success it prints the verdict and the output path, and exits 0.
#
# It checks every figure it draws or prints before it draws. A report that is
# not whole (cut short, cut mid-line, pasted twice) or not possible (a count that
# disagrees with the key lines, a count outside the count table 0..799, a cache
# that is not 800 slots, no combinations, NUL bytes, over 1 MB) draws nothing.
# It writes nothing but the picture, and that only whole: it draws in a temporary
# folder of its own, by names of its own (no path of the caller's becomes gnuplot
# syntax), checks that the PNG is whole, and puts it in place under the output
# name, which may be any name, in one rename. On any failure (a refused report,
# an output path that is a folder or a file it may not write, a full disk) it
# exits 1 with one line naming the first problem, prints nothing on stdout and
# leaves the output path as it was. Its work is bounded whatever the input.
set -uo pipefail
me=plot-distribution.sh
out=${1:-build/distribution.png}
fail() { echo "$me: $*" >&2; exit 1; }
# first_line FILE: the first line of a command's error output, for a one-line message.
first_line() {
    local line
    line=$(head -n 1 "$1" 2>/dev/null | cut -c 1-200)
    echo "${line:-no message}"
}

folder=$(dirname -- "$out")
[ -d "$folder" ] || fail "the output folder $folder does not exist"
[ -w "$folder" ] || fail "the output folder $folder is not writable"
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
limit=1000000
head -c $((limit + 1)) >"$work/report.txt" 2>"$work/err" ||
    fail "cannot keep the report in $work: $(first_line "$work/err")"
[ "$(wc -c <"$work/report.txt")" -le $limit ] || fail "the report is larger than $limit bytes"
[ "$(tr -d '\000' <"$work/report.txt" | wc -c)" -eq "$(wc -c <"$work/report.txt")" ] ||
    fail "the report is not text: it holds NUL bytes"
[ -z "$(tail -c 1 "$work/report.txt")" ] ||
    fail "the report ends in the middle of line $(($(wc -l <"$work/report.txt") + 1))"

# Nothing is drawn from a report that is not whole and possible: the three
# summary lines, the cache 800 times the slot, the key lines for keys 0 to 799 in
# order, each count within the count table (0 to 799) and all of them adding up
# to the combinations stated, and the count lines for values 0 to 799, each
# agreeing with the key lines and together giving 800 keys. Numbers are plain
# decimals short enough to be exact. Names the first problem.
awk -v keys=800 '
    function bad(message) { if (problem == "") problem = message }
    function summary(n) {
        if (seen[n]++ > 0 || keyLines > 0) bad("line " NR " repeats a summary line")
    }
    BEGIN { N = "(0|[1-9][0-9]*)" }
    { for (i = 1; i <= NF; i++)
          if ($i ~ /^[0-9]+,?$/ && length($i) > 15) bad("line " NR " holds a number too long to be exact") }
    $0 ~ ("^There were ->\\[ " N " \\]<- possibilities$") { summary(1); combinations = $4; next }
    $0 ~ ("^The dimension of each hash_element would be " N "$") { summary(2); slot = $8; next }
    $0 ~ ("^The dimension of the cache would be " N ", with 800 hash keys$") {
        summary(3); cache = $8 + 0; next }
    $0 ~ ("^Key: " N " has registered " N " times$") {
        if (valueLines > 0) bad("line " NR " is a key line after the count lines")
        if ($2 != keyLines) bad("line " NR " is for key " $2 ", expected key " keyLines)
        if ($5 >= keys) bad("line " NR " gives key " $2 " " $5 " hits, outside the count table 0.." keys - 1)
        keyLines++; total += $5; keysWith[$5 + 0]++; next }
    $0 ~ ("^There were " N " keys with value " N "$") {
        if ($7 != valueLines) bad("line " NR " is for value " $7 ", expected value " valueLines)
        if ($3 != keysWith[$7 + 0] + 0)
            bad("line " NR " gives " $3 " keys with value " $7 ", the key lines " keysWith[$7 + 0] + 0)
        valueLines++; countedKeys += $3; next }
    /^$/ { next }
    { bad("line " NR " is not part of a distribution report: " substr($0, 1, 40)) }
    END {
        for (n = 1; n <= 3; n++) if (!(n in seen)) bad("the report lacks summary line " n " of 3")
        if (cache != keys * slot) bad("the cache of " cache " bytes is not " keys " slots of " slot)
        if (keyLines != keys) bad("the report has " keyLines " key lines, expected " keys)
        if (total != combinations) bad("the key lines count " total " combinations, the summary " combinations)
        if (total == 0) bad("the report counts no combinations")
        if (valueLines != keys) bad("the report has " valueLines " count lines, expected " keys)
        if (countedKeys != keys) bad("the count lines give " countedKeys " keys, expected " keys)
        if (problem != "") { print problem; exit 1 }
    }' "$work/report.txt" >"$work/problem" 2>&1 || fail "$(first_line "$work/problem")"

command -v gnuplot >/dev/null || fail "gnuplot is not installed; install the Debian package gnuplot-nox"

# Split the report into data files and work out the headline figures, with what a
# uniformly random key function would give for the same variants: the number of
# keys hit k times is then keys x Binomial(total, 1/keys) at k. Chi-square is taken
# against a perfectly even spread, every key holding total/keys hits.
cd "$work" || fail "cannot enter $work"
awk '
    /possibilities$/ { combinations = $4 }
    /^Key: / { print $2, $5 > "keys.dat"
               keys++; total += $5; squares += $5 * $5; used += ($5 > 0)
               if ($5 > highest) highest = $5 }
    /^There were [0-9]+ keys with value/ { print $7, $3 > "values.dat" }
    END {
        mean = total / keys
        chi = squares / mean - total  # sum of (hits - mean)^2 / mean over all keys

        # The random key function: expected keys per count, its chi-square, and the
        # highest count it reaches in at least half of all runs. The binomial
        # terms go by their logarithms, which do not underflow however many
        # combinations. The sums go on past the mean until their terms vanish,
        # whatever the highest count in the report; the counts stop by 4000, far past
        # any the table can hold.
        q = 1 / keys; logP = total * log(1 - q); cdf = 0; randomHighest = -1; randomChi = 0
        term = 1
        for (k = 0; k <= total && k < 4000 && (k <= mean || randomHighest < 0 || term > 1e-12 * randomChi); k++) {
            p = exp(logP)
            print k, keys * p > "random.dat"
            term = keys * p * (k - mean) ^ 2 / mean
            randomChi += term
            cdf += p
            if (randomHighest < 0 && cdf ^ keys >= 0.5) randomHighest = k
            logP += log((total - k) / (k + 1) * q / (1 - q))
        }
        randomEmpty = keys * (1 - q) ^ total

        verdict = sprintf("A uniformly random key function would leave about %.0f of the %d keys empty, reach a highest count of about %d and score a chi-square of about %.0f; this one leaves %d empty, reaches %d and scores %.0f, %.1f times the random figure.", \
            randomEmpty, keys, randomHighest, randomChi, keys - used, highest, chi, chi / randomChi)
        print verdict > "verdict.txt"
        printf "mean = %g; highest = %d; randomHighest = %d\n", mean, highest, randomHighest > "figures.gp"
        printf "headline = \"%d combinations   %d of %d keys used   %d empty   highest count %d   chi-square %.0f with %d degrees of freedom\\n", \
            combinations, used, keys, keys - used, highest, chi, keys - 1 > "figures.gp"
        printf "a uniformly random key function: about %.0f empty, highest count about %d, chi-square about %.0f\"\n", \
            randomEmpty, randomHighest, randomChi > "figures.gp"
    }' report.txt 2>err || fail "cannot write the plot's data in $work: $(first_line err)"

# Drawn in the temporary folder, by names of its own: no path of the caller's
# ever becomes gnuplot syntax.
gnuplot >gnuplot.out 2>gnuplot.err <<'GP'
load "figures.gp"
set terminal pngcairo size 1200,800 font "sans,10"
set output "distribution.png"
set multiplot layout 2,1 title headline font "sans,11"
set style fill solid 0.8 noborder
set grid ytics lc rgb "#dddddd"

set title "Hits per key"
set xlabel "key"
set ylabel "hits"
set xrange [-5:804]
set yrange [0:highest * 1.15]
plot "keys.dat" using 1:2 with impulses lc rgb "#3b6ea8" notitle, \
     mean with lines lc rgb "#c0392b" lw 2 title sprintf("mean %g", mean), \
     "keys.dat" using 1:($2 == highest ? $2 : NaN):(sprintf("key %d", $1)) \
         with labels offset 0,0.8 font "sans,9" notitle

set title "Keys per hit count"
set xlabel "hits on a key"
set ylabel "keys"
set xrange [-1:(highest > randomHighest ? highest : randomHighest) + 2]
set yrange [0:*]
set boxwidth 0.8
set key top right
plot "values.dat" using 1:2 with boxes lc rgb "#3b6ea8" title "this key function", \
     "random.dat" using 1:2 with linespoints lc rgb "#e67e22" lw 2 pt 7 ps 0.6 \
         title "a uniformly random key function (expected)"
unset multiplot
GP
[ $? -eq 0 ] || fail "gnuplot could not draw: $(first_line gnuplot.err)"
# Whole: a PNG signature at the start and the closing IEND chunk at the end.
[ "$(head -c 8 distribution.png | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] &&
    [ "$(tail -c 12 distribution.png | od -An -tx1 | tr -d ' \n')" = 0000000049454e44ae426082 ] ||
    fail "gnuplot wrote no whole picture in $work: $(first_line gnuplot.err)"
cd - >/dev/null || fail "cannot go back to the folder it started in"

# Into place only as a whole file: copied beside the destination, checked, and
# then renamed over it, which replaces it at once or not at all.
staged=$(mktemp -- "$folder/.distribution.png.XXXXXX" 2>"$work/err") ||
    fail "cannot write in $folder: $(first_line "$work/err")"
cat "$work/distribution.png" >"$staged" 2>"$work/err" ||
    fail "cannot write the picture in $folder: $(first_line "$work/err")"
cmp -s -- "$work/distribution.png" "$staged" || fail "the picture written in $folder is not whole"
chmod -- "$(printf '%o' $((0666 & ~$(umask))))" "$staged" 2>/dev/null || true
mv -fT -- "$staged" "$out" 2>"$work/err" || fail "cannot name the picture $out: $(first_line "$work/err")"
staged=
cat "$work/verdict.txt"
echo "$out"
