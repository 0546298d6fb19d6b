#!/usr/bin/env bash
# Draws a distribution report as a two-panel PNG: hits per key, and how many keys
# share each hit count. Reads the report on stdin, so a saved one works too:
#   scripts/plot-distribution.sh out.png < report.txt
set -euo pipefail
me=plot-distribution.sh
out=${1:-build/distribution.png}
fail() { echo "$me: $*" >&2; exit 1; }

folder=$(dirname -- "$out")
[ -d "$folder" ] || fail "the output folder $folder does not exist"
[ -w "$folder" ] || fail "the output folder $folder is not writable"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/report.txt"
[ -z "$(tail -c 1 "$work/report.txt")" ] ||
    fail "the report ends in the middle of line $(($(wc -l <"$work/report.txt") + 1))"

# Nothing is drawn from a report that is not whole: the three summary lines, the
# key lines for keys 0 to 799 in order, counting up to the combinations stated,
# and the count lines for values 0 to 799, each agreeing with the key lines.
# Names the first problem.
awk -v keys=800 '
    function bad(message) { if (problem == "") problem = message }
    function summary(n) {
        if (seen[n]++ > 0 || keyLines > 0) bad("line " NR " repeats a summary line")
    }
    /^There were ->\[ [0-9]+ \]<- possibilities$/ { summary(1); combinations = $4; next }
    /^The dimension of each hash_element would be [0-9]+$/ { summary(2); next }
    /^The dimension of the cache would be [0-9]+, with 800 hash keys$/ { summary(3); next }
    /^Key: [0-9]+ has registered [0-9]+ times$/ {
        if (valueLines > 0) bad("line " NR " is a key line after the count lines")
        if ($2 != keyLines) bad("line " NR " is for key " $2 ", expected key " keyLines)
        keyLines++; total += $5; keysWith[$5 + 0]++; next }
    /^There were [0-9]+ keys with value [0-9]+$/ {
        if ($7 != valueLines) bad("line " NR " is for value " $7 ", expected value " valueLines)
        if ($3 != keysWith[$7 + 0] + 0)
            bad("line " NR " gives " $3 " keys with value " $7 ", the key lines " keysWith[$7 + 0] + 0)
        valueLines++; next }
    /^$/ { next }
    { bad("line " NR " is not part of a distribution report: " substr($0, 1, 40)) }
    END {
        for (n = 1; n <= 3; n++) if (!(n in seen)) bad("the report lacks summary line " n " of 3")
        if (keyLines != keys) bad("the report has " keyLines " key lines, expected " keys)
        if (total != combinations) bad("the key lines count " total " combinations, the summary " combinations)
        if (valueLines != keys) bad("the report has " valueLines " count lines, expected " keys)
        if (problem != "") { print problem; exit 1 }
    }' "$work/report.txt" >"$work/problem" || fail "$(cat "$work/problem")"

command -v gnuplot >/dev/null || fail "gnuplot is not installed; install the Debian package gnuplot-nox"

# Split the report into data files and work out the headline figures, with what a
# uniformly random key function would give for the same variants: the number of
# keys hit k times is then keys x Binomial(total, 1/keys) at k. Chi-square is taken
# against a perfectly even spread, every key holding total/keys hits.
awk -v dir="$work" '
    /possibilities$/ { combinations = $4 }
    /^Key: / { print $2, $5 > (dir "/keys.dat")
               keys++; total += $5; squares += $5 * $5; used += ($5 > 0)
               if ($5 > highest) highest = $5 }
    /^There were [0-9]+ keys with value/ { print $7, $3 > (dir "/values.dat") }
    END {
        mean = total / keys
        chi = squares / mean - total  # sum of (hits - mean)^2 / mean over all keys

        # The random key function: expected keys per count, its chi-square, and the
        # highest count it reaches in at least half of all runs.
        q = 1 / keys; p = (1 - q) ^ total; cdf = 0; randomHighest = -1; randomChi = 0
        for (k = 0; k <= total && (k <= highest || randomHighest < 0); k++) {
            print k, keys * p > (dir "/random.dat")
            randomChi += keys * p * (k - mean) ^ 2 / mean
            cdf += p
            if (randomHighest < 0 && cdf ^ keys >= 0.5) randomHighest = k
            p *= (total - k) / (k + 1) * q / (1 - q)
        }
        randomEmpty = keys * (1 - q) ^ total

        verdict = sprintf("A uniformly random key function would leave about %.0f of the %d keys empty, reach a highest count of about %d and score a chi-square of about %.0f; this one leaves %d empty, reaches %d and scores %.0f, %.1f times the random figure.", \
            randomEmpty, keys, randomHighest, randomChi, keys - used, highest, chi, chi / randomChi)
        print verdict > (dir "/verdict.txt")
        printf "mean = %g; highest = %d; randomHighest = %d\n", mean, highest, randomHighest > (dir "/figures.gp")
        printf "headline = \"%d combinations   %d of %d keys used   %d empty   highest count %d   chi-square %.0f with %d degrees of freedom\\n", \
            combinations, used, keys, keys - used, highest, chi, keys - 1 > (dir "/figures.gp")
        printf "a uniformly random key function: about %.0f empty, highest count about %d, chi-square about %.0f\"\n", \
            randomEmpty, randomHighest, randomChi > (dir "/figures.gp")
    }' "$work/report.txt"

gnuplot <<GP
load "$work/figures.gp"
set terminal pngcairo size 1200,800 font "sans,10"
set output "$out"
set multiplot layout 2,1 title headline font "sans,11"
set style fill solid 0.8 noborder
set grid ytics lc rgb "#dddddd"

set title "Hits per key"
set xlabel "key"
set ylabel "hits"
set xrange [-5:804]
set yrange [0:highest * 1.15]
plot "$work/keys.dat" using 1:2 with impulses lc rgb "#3b6ea8" notitle, \
     mean with lines lc rgb "#c0392b" lw 2 title sprintf("mean %g", mean), \
     "$work/keys.dat" using 1:(\$2 == highest ? \$2 : NaN):(sprintf("key %d", \$1)) \\
         with labels offset 0,0.8 font "sans,9" notitle

set title "Keys per hit count"
set xlabel "hits on a key"
set ylabel "keys"
set xrange [-1:(highest > randomHighest ? highest : randomHighest) + 2]
set yrange [0:*]
set boxwidth 0.8
set key top right
plot "$work/values.dat" using 1:2 with boxes lc rgb "#3b6ea8" title "this key function", \
     "$work/random.dat" using 1:2 with linespoints lc rgb "#e67e22" lw 2 pt 7 ps 0.6 \
         title "a uniformly random key function (expected)"
unset multiplot
GP
cat "$work/verdict.txt"
echo "$out"
