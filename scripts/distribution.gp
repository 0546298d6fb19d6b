# make plot's picture, run by plot-distribution.sh in its folder, from the files figures.awk wrote
# there: candidate c's in *-c.dat, c = 1 .. candidates, the first the cache's own key function.
# Six panels, one above the other: the first's descriptors per key (load); every candidate's keys
# per load; its fields; its reach; its hits in the replay against a random key function, in points;
# the hit ratio over 1 to 16 records per key. A seventh, the owner's distinct descriptors per key
# under the first, where the stream replayed is the owner's requests.
load "figures.gp"; headline = system("cat headline")  # read, never taken as syntax
colours = "#3b6ea8 #e67e22 #27ae60 #8e44ad #c0392b #16a085 #d35400 #2c3e50 #7f8c8d #b8860b " \
    . "#e84393 #00a8a8"
colour(c) = word(colours, (c - 1) % words(colours) + 1)
panels = 6 + owners; s(n) = n == 1 ? "" : "s"
set encoding utf8
set terminal pngcairo noenhanced size 1200, 440 * panels + 160 font "sans,10"
set output "distribution.png"
set multiplot layout panels, 1 title headline font "sans,11"
set grid ytics lc rgb "#ddd"; set style fill solid 0.8 noborder
set title "Descriptors per key (load), ".busiest; set xlabel "key"; set ylabel "load"
set xrange [-5:804]; set yrange [0:highest * 1.1 + 1]
plot "keys.dat" using 1:2 with impulses lc rgb colour(1) notitle, \
     mean with lines lc rgb "#c0392b" lw 2 title sprintf("mean %g", mean)
set title "Keys per load: each candidate, against random key functions' expectations " \
    . "(dashed: one as blind)"
set xlabel "descriptors on a key"; set ylabel "keys"; set xrange [-1:right + 1]; set yrange [0:*]
set boxwidth 0.8; set key top right
plot "random.dat" using 1:2 with boxes lc rgb "#cccccc" \
         title "a uniformly random key function (expected)", \
     for [c=1:candidates] sprintf("counts-%d.dat", c) using 1:2 with linespoints lc rgb colour(c) \
         lw 2 pt 7 ps 0.6 title word(names, c), \
     for [c=1:candidates] (word(blind, c) eq "1" ? sprintf("blind-%d.dat", c) : "counts-1.dat") \
         using 1:(word(blind, c) eq "1" ? $2 : NaN) with lines dt 2 lw 2 lc rgb colour(c) \
         title (word(blind, c) eq "1" ? word(names, c)." as blind" : "")
# A ratio of 0 has no place on a log scale: it stands on the axis, labelled "0x".
set title "Pairs of descriptors that differ in one field only: how often they share a key, " \
    . "against random"
set xlabel "field"; set ylabel "times as often as random"; set key top left
set logscale y; set yrange [0.01:5000]; set xrange [-0.6:*]; load "tics.gp"; set xtics scale 0
bar = 0.8 / candidates; set boxwidth bar; x(field, c) = field - 0.4 + (c - 0.5) * bar
shown(r) = r == 0 ? "0x" : sprintf(r >= 10 ? "%.0fx" : "%.1fx", r)
plot for [c=1:candidates] sprintf("fields-%d.dat", c) using (x($1, c)):($2 > 0 ? $2 : 0.01) \
         with boxes lc rgb colour(c) title word(names, c), \
     for [c=1:candidates] sprintf("fields-%d.dat", c) using (x($1, c)):($2 > 0 ? $2 : 0.01) \
         :(shown($2).($3 > 0 ? "\nnever read" : "")) with labels offset 0,1.2 font "sans,8" \
         notitle, \
     1 with lines dt 2 lw 2 lc rgb "#c0392b" title "a uniformly random key function (1x)"
# Reach: 0 is a byte that never reaches the key; payload, the last, must stay at 0.
set title "Reach: of 256 changes of each byte, the share that change the key " \
    . "(payload must stay at 0)"
set xlabel "byte"; set ylabel "share of changes"; unset logscale y; set yrange [-0.05:1.1]
set xrange [-0.6:*]; load "bytetics.gp"; set xtics rotate by -45 scale 0; set key center center
plot for [c=1:candidates] sprintf("reach-%d.dat", c) using 1:2 with linespoints lc rgb colour(c) \
         lw 2 pt 7 ps 0.7 title word(names, c)
# The replay: each candidate's hits less a random key function's expected hits, in points
# (hundredths of the requests), its hit ratio under its name; the random key tables' sd a band
# around 0, and thrice it a lighter one.
set title sprintf("Replay of %s, 800 keys of %d record%s: hits against a random key function's " \
    . "expected %.2f%%, in points", replayed, ways, s(ways), expected)
set xlabel ""; set ylabel "points of hit ratio against random"; set xrange [-0.6:candidates - 0.4]
set yrange [low:high]; load "replaytics.gp"; set xtics norotate scale 0
set key inside top left horizontal opaque reverse Left samplen 2
set boxwidth 0.6; mark(p) = p + (p >= 0 ? 1 : -1) * (high - low) * 0.06
plot "+" using 1:(-3 * sd):(3 * sd) with filledcurves fs solid 1 fc rgb "#ececec" \
         title sprintf("± 3 sd, %.2f points", 3 * sd), \
     "+" using 1:(-sd):(sd) with filledcurves fs solid 1 fc rgb "#cccccc" \
         title sprintf("± sd of 30 random key tables, %.2f points", sd), \
     0 with lines lc rgb "#333333" lw 1.5 title "a random key function", \
     for [c=1:candidates] "replay.dat" every ::c-1::c-1 using 1:2 with boxes lc rgb colour(c) \
         notitle, \
     "replay.dat" using 1:(mark($2)):(sprintf("%+.2f", $2)) with labels font "sans,10" notitle
# The curve: hit ratio over the records per key, the cache's own number marked.
set title sprintf("Hit ratio over records per key, on %s: 800 keys of 1 to 16 records each", \
    replayed)
set xlabel "records per key"; set ylabel "hit ratio (%)"; set xrange [0.5:16.5]; set xtics 1, 1, 16
set yrange [*:*]; set grid xtics ytics
set arrow 1 from ways, graph 0 to ways, graph 1 nohead dt 2 lw 1.5 lc rgb "#c0392b"
set label 1 sprintf("this cache: %d record%s per key", ways, s(ways)) at ways, graph 0.06 \
    offset 0.8, 0 left textcolor rgb "#c0392b"
set key outside right top vertical samplen 4; set offsets 0, 0, graph 0.1, 0  # room for the limit
plot "curve.dat" using 1:2 with lines dt 2 lw 2 lc rgb "#333333" title "random key (expected)", \
     "curve.dat" using 1:3 with lines lw 2 lc rgb "#aaaaaa" title "LRU, as many records", \
     for [c=1:candidates] sprintf("curve-%d.dat", c) using 1:2 with linespoints lc rgb colour(c) \
         lw 1.5 pt 7 ps 0.8 title word(names, c), \
     "limit.dat" using 1:2 with points pt 9 ps 1.5 lc rgb "#000000" title "Belady's limit", \
     "limit.dat" using 1:2:(sprintf("limit %.1f%%", $2)) with labels left offset 0.8, 0.8 notitle
unset arrow 1; unset label 1; set grid noxtics; set offsets 0, 0, 0, 0
if (owners) {
    set title sprintf("The owner's distinct descriptors per key under %s, %d on the 800 keys; %s", \
        word(names, 1), described, crowded)
    set xlabel "key"; set ylabel "load"; set xrange [-5:804]; set xtics autofreq
    set yrange [0:top * 1.1 + 1]; set key inside top right
    plot "requests.dat" using 1:2 with impulses lc rgb colour(1) notitle, \
         described / 800.0 with lines lc rgb "#c0392b" lw 2 \
         title sprintf("mean %.2f", described / 800.0)
}
unset multiplot
