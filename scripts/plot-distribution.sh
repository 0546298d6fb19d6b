#!/usr/bin/env bash
# Draws a distribution report as a two-panel PNG: hits per key, and how many keys
# share each hit count. Reads the report on stdin, so a saved one works too:
#   scripts/plot-distribution.sh out.png < report.txt
set -euo pipefail
out=${1:-build/distribution.png}
command -v gnuplot >/dev/null ||
    { echo "plot: gnuplot is not installed; install the Debian package gnuplot-nox" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Split the report into data files and work out the headline figures. Chi-square
# is taken against a perfectly even spread: every key holding total/keys hits.
awk -v dir="$work" '
    /possibilities$/ { combinations = $4 }
    /^Key: / { print $2, $5 > (dir "/keys.dat")
               keys++; total += $5; squares += $5 * $5; used += ($5 > 0)
               if ($5 > highest) highest = $5 }
    /^There were [0-9]+ keys with value/ { print $7, $3 > (dir "/values.dat") }
    END {
        if (keys == 0) { print "plot: no key lines: not a distribution report" > "/dev/stderr"; exit 1 }
        mean = total / keys
        chi = squares / mean - total  # sum of (hits - mean)^2 / mean over all keys
        printf "mean = %g; highest = %d\n", mean, highest > (dir "/figures.gp")
        printf "headline = \"%d combinations   %d of %d keys used   %d empty   highest count %d   chi-square %.0f with %d degrees of freedom (an even spread gives about %d)\"\n",
            combinations, used, keys, keys - used, highest, chi, keys - 1, keys - 1 > (dir "/figures.gp")
    }'

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
set xrange [-1:highest + 1]
set yrange [0:*]
set boxwidth 0.8
plot "$work/values.dat" using 1:2 with boxes lc rgb "#3b6ea8" notitle
unset multiplot
GP
echo "$out"
