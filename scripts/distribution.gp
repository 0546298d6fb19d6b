# make plot's five panels, run by plot-distribution.sh in its folder, from the files it wrote there:
# candidate c's in *-c.dat, c = 1 .. candidates, the first the cache's own key function.
load "figures.gp"; headline = system("cat headline")  # read, never taken as syntax
colours = "#3b6ea8 #e67e22 #27ae60 #8e44ad #c0392b #16a085 #d35400 #2c3e50 #7f8c8d #b8860b #e84393 #00a8a8"
colour(c) = word(colours, (c - 1) % words(colours) + 1)
set terminal pngcairo size 1200,2250 font "sans,10"; set output "distribution.png"; set grid ytics lc rgb "#ddd"
set multiplot layout 5,1 title headline font "sans,11"; set style fill solid 0.8 noborder
set title "Hits per key, ".busiest; set xlabel "key"; set ylabel "hits"; set xrange [-5:804]
set yrange [0:highest * 1.1 + 1]
plot "keys.dat" using 1:2 with impulses lc rgb colour(1) notitle, \
     mean with lines lc rgb "#c0392b" lw 2 title sprintf("mean %g", mean)
set title "Keys per hit count: each candidate, against random key functions' expectations (dashed: one as blind)"
set xlabel "hits on a key"; set ylabel "keys"; set xrange [-1:right + 1]; set yrange [0:*]; set boxwidth 0.8
set key top right
plot "random.dat" using 1:2 with boxes lc rgb "#cccccc" title "a uniformly random key function (expected)", \
     for [c=1:candidates] sprintf("counts-%d.dat", c) using 1:2 with linespoints lc rgb colour(c) lw 2 pt 7 \
         ps 0.6 title word(names, c), \
     for [c=1:candidates] (word(blind, c) eq "1" ? sprintf("blind-%d.dat", c) : "counts-1.dat") \
         using 1:(word(blind, c) eq "1" ? $2 : NaN) with lines dt 2 lw 2 lc rgb colour(c) \
         title (word(blind, c) eq "1" ? word(names, c)." as blind" : "")
# A ratio of 0 has no place on a log scale: it stands on the axis, labelled "0x".
set title "Pairs of descriptors that differ in one field only: how often they share a key, against random"
set xlabel "field"; set ylabel "times as often as random"; set key top left
set logscale y; set yrange [0.01:5000]; set xrange [-0.6:*]; load "tics.gp"; set xtics scale 0
bar = 0.8 / candidates; set boxwidth bar; x(field, c) = field - 0.4 + (c - 0.5) * bar
shown(r) = r == 0 ? "0x" : sprintf(r >= 10 ? "%.0fx" : "%.1fx", r)
plot for [c=1:candidates] sprintf("fields-%d.dat", c) using (x($1, c)):($2 > 0 ? $2 : 0.01) with boxes \
         lc rgb colour(c) title word(names, c), \
     for [c=1:candidates] sprintf("fields-%d.dat", c) using (x($1, c)):($2 > 0 ? $2 : 0.01):(shown($2).($3 > 0 ? \
         "\nnever read" : "")) with labels offset 0,1.2 font "sans,8" notitle, \
     1 with lines dt 2 lw 2 lc rgb "#c0392b" title "a uniformly random key function (1x)"
# Reach: 0 is a byte that never reaches the key; payload, the last, must stay at 0.
set title "Reach: of 256 changes of each byte, the share that change the key (payload must stay at 0)"
set xlabel "byte"; set ylabel "share of changes"; unset logscale y; set yrange [-0.05:1.1]
set xrange [-0.6:*]; load "bytetics.gp"; set xtics rotate by -45 scale 0; set key center center
plot for [c=1:candidates] sprintf("reach-%d.dat", c) using 1:2 with linespoints lc rgb colour(c) \
         lw 2 pt 7 ps 0.7 title word(names, c)
# The replay: each candidate's hit ratio; a random key function's expectation with its sd, LRU's
# over as many records in one set, and the limit, Belady's.
set title sprintf("Replay of %s: hit ratio in a cache of 800 keys of %d record%s each", replayed, ways, \
    ways == 1 ? "" : "s")
set xlabel ""; set ylabel "hit ratio"; set yrange [0:1.05]; set xrange [-0.6:candidates + 2.6]
load "replaytics.gp"; set xtics norotate scale 0; set key top left; set boxwidth 0.7
set style fill solid 0.8 noborder
plot for [c=1:candidates] "replay.dat" every ::c-1::c-1 using 1:2 with boxes lc rgb colour(c) notitle, \
     "baselines.dat" using ($1 + candidates):2 with boxes lc rgb "#999999" notitle, \
     "baselines.dat" every ::0::0 using ($1 + candidates):2:3 with yerrorbars lc rgb "#333333" pt 0 \
         title "a random key function's expectation, +/- sd over 30 random tables", \
     "replay.dat" using 1:2:(sprintf("%.1f%%", 100 * $2)) with labels offset 0,0.8 notitle, \
     "baselines.dat" using ($1 + candidates):2:(sprintf("%.1f%%", 100 * $2)) with labels offset 0,0.8 \
         notitle
unset multiplot
