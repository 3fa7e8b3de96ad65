# Load and decode time against input size, ours and the peer, from the
# tables bench/run.sh extracts: columns input_bytes, ours_ms, peer_ms, floor_ms.
#   gnuplot -e "models='3ds.dat'; pictures='bmp.dat'; out='benchmarks.png'" bench/plot.gp
set terminal pngcairo size 1100,460 font "DejaVu Sans,10"
set output out
set multiplot layout 1,2
set logscale xy
set grid
set key top left
set xlabel "file size (bytes)"
set ylabel "time per file (ms)"
set format x "10^{%L}"

set title "3DS load (ours: load + normalise, lines to /dev/null)"
plot models using 1:2 with linespoints pt 7 lw 2 title "ours", \
     models using 1:3 with linespoints pt 5 lw 2 title "lib3ds", \
     models using 1:4 with linespoints pt 9 lw 2 dt 2 title "floor"

set title "24-bit BMP decode to RGBA"
plot pictures using 1:2 with linespoints pt 7 lw 2 title "ours", \
     pictures using 1:3 with linespoints pt 5 lw 2 title "stb\\_image", \
     pictures using 1:4 with linespoints pt 9 lw 2 dt 2 title "floor"
unset multiplot
