# make plot's three panels, run by plot-distribution.sh in its folder, from the files it wrote there.
load "figures.gp"; headline = system("cat headline")  # read, never taken as syntax
set terminal pngcairo size 1200,1200 font "sans,10"; set output "distribution.png"; set grid ytics lc rgb "#ddd"
set multiplot layout 3,1 title headline font "sans,11"; set style fill solid 0.8 noborder
set title "Hits per key; ".busiest; set xlabel "key"; set ylabel "hits"; set xrange [-5:804]
set yrange [0:highest * 1.1 + 1]
plot "keys.dat" using 1:2 with impulses lc rgb "#3b6ea8" notitle, \
     mean with lines lc rgb "#c0392b" lw 2 title sprintf("mean %g", mean)
set title "Keys per hit count"; set xlabel "hits on a key"; set ylabel "keys"
set xrange [-1:right + 1]; set yrange [0:*]; set boxwidth 0.8; set key top right
plot "counts.dat" using 1:2 with boxes lc rgb "#3b6ea8" title "this key function", \
     "random.dat" using 1:2 with linespoints lc rgb "#e67e22" lw 2 pt 7 ps 0.6 \
         title "a uniformly random key function (expected)", \
     "blind.dat" using 1:2 with linespoints lc rgb "#8e44ad" lw 2 pt 5 ps 0.6 \
         title (blind ? "a random one as blind as this one (expected)" : "")
# A ratio of 0 has no place on a log scale: it stands on the axis, labelled "0x".
set title "Pairs of descriptors that differ in one field only: how often they share a key, against random"
set xlabel "field"; set ylabel "times as often as random"; set key top left
set logscale y; set yrange [0.01:3000]; set xrange [-0.6:fields - 0.4]; set xtics scale 0; set boxwidth 0.6
shown(r) = r == 0 ? "0x" : sprintf(r >= 10 ? "%.0fx" : "%.1fx", r)
plot "fields.dat" using 1:($3 > 0 ? $3 : 0.01):xtic(2) with boxes lc rgb "#3b6ea8" notitle, \
     "" using 1:($3 > 0 ? $3 : 0.01):(shown($3).($4 > 0 ? ", never read" : "")) \
         with labels offset 0,0.8 font "sans,9" notitle, \
     1 with lines dt 2 lw 2 lc rgb "#c0392b" title "a uniformly random key function (1x)"
unset multiplot
