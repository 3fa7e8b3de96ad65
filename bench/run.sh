#!/usr/bin/env bash
# Runs every comparison against the peers, each in one process of its own,
# prints each ratio, and rewrites the results part of docs/benchmarks.md and
# the plot docs/benchmarks.png from this run's figures.
#
#   bash bench/run.sh
#
# Installs what it needs with apt-get (sudo only when not root), builds the
# bench preset into build-bench/, and writes its inputs and logs there. The
# shared models are read from ../shared/testdata unless SZABLON_TESTDATA says
# otherwise. The frame and start-up comparisons run on a private Xvfb with
# Mesa's llvmpipe; the browser's frame in Debian's headless Chromium, with
# the page built by Emscripten (bench/web/run.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-bench
testdata=${SZABLON_TESTDATA:-$root/../shared/testdata}

source scripts/lib.sh
install_packages --no-install-recommends cmake g++ make pkg-config freeglut3-dev \
    libglu1-mesa-dev libgl1-mesa-dri libx11-dev xvfb xauth libbenchmark-dev lib3ds-dev \
    libstb-dev gnuplot-nox
cmake --workflow --preset bench

bin=$build/bench
inputs=$build/bench-inputs
results=$build/bench-results
rm -rf "$inputs" "$results"
mkdir -p "$inputs/demo" "$inputs/capacity" "$results"
"$bin/make_bench_inputs" "$inputs"
"$build/tools/make_demo_assets" "$inputs/demo" >/dev/null
cp "$inputs/model-10000.3ds" "$inputs/capacity/szablon.3ds"
cp "$inputs/demo/szablon.bmp" "$inputs/capacity/szablon.bmp"
largest=$(ls -S "$testdata"/3ds/* | head -n 1)

tsv=$results/results.tsv
steps_tsv=$results/startup-steps.tsv
: > "$tsv"
: > "$steps_tsv"
failed=0
load_before=$(cut -d' ' -f1-3 /proc/loadavg)

# One comparison: its own process, its full report in a log, its ratio line here.
compare() {
    local name=$1
    shift
    echo "== $name" >&2
    if "$@" --tsv="$tsv" > "$results/$name.log" 2> "$results/$name.err"; then
        grep -E '^(ratio|steps)' "$results/$name.log"
    else
        grep -E '^(ratio|steps)' "$results/$name.log" || true
        echo "$name failed; see $results/$name.log and $results/$name.err" >&2
        failed=1
    fi
}

for n in 625 2500 5000; do
    compare "3ds-$n" "$bin/bench_formats" --3ds="model-$n:$inputs/model-$n.3ds"
done
compare 3ds-capacity "$bin/bench_formats" --3ds="capacity:$inputs/model-10000.3ds"
compare 3ds-largest "$bin/bench_formats" --3ds="$(basename "$largest"):$largest"
for size in 256x256 1024x1024 1021x1024 4096x4096; do
    compare "bmp-$size" "$bin/bench_formats" --bmp="$size:$inputs/bmp-$size.bmp"
done
for name in tga-4096x4096 tga-rle-4096x4096; do
    compare "$name" "$bin/bench_formats" --tga="${name#tga-}:$inputs/$name.tga"
done

start_xvfb
# llvmpipe draws on threads that compete with whatever else the machine runs:
# more and shorter repetitions here, so that both sides see the same load.
compare frame "$bin/bench_frame" --model="$inputs/capacity/szablon.3ds" \
    --texture="$inputs/capacity/szablon.bmp" --benchmark_repetitions=21 --benchmark_min_time=0.2
compare web-frame bash bench/web/run.sh --assets="$inputs/capacity"
# The viewer page's and spheres_add.html's first frames, on the site as it
# is built for release.
bash tools/build_web.sh >/dev/null
compare web-first-frame node bench/web/first_frame.mjs --site="$root/build-web/site"
compare startup-demo "$bin/bench_startup" --assets="demo:$inputs/demo" --benchmark_repetitions=15 \
    --steps-tsv="$steps_tsv"
compare startup-capacity "$bin/bench_startup" --assets="capacity:$inputs/capacity" \
    --benchmark_repetitions=15 --steps-tsv="$steps_tsv"
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

if [ "$failed" -ne 0 ]; then
    echo "some comparisons failed; docs/benchmarks.md left as it was" >&2
    exit 1
fi

# ---- the plot -------------------------------------------------------------
awk -F'\t' '$1 == "3ds_load" && $2 ~ /^(model-|capacity)/ { print $3, $5, $6, $14 }' "$tsv" \
    | sort -n > "$results/3ds.dat"
awk -F'\t' '$1 == "bmp_decode" { print $3, $5, $6, $14 }' "$tsv" | sort -n > "$results/bmp.dat"
gnuplot -e "models='$results/3ds.dat'; pictures='$results/bmp.dat'; out='$root/docs/benchmarks.png'" \
    bench/plot.gp

# ---- the table ------------------------------------------------------------
renderer=$(sed -n 's/^renderer: \([^;]*\);.*/\1/p' "$results/frame.err" | head -n 1)
browser=$(sed -n 's/^browser: \(.*\)/\1/p' "$results/web-frame.err" | head -n 1)
emscripten=$(emcc --version | sed -n 's/.*emcc ([^)]*) \([0-9.]*\).*/\1/p' | head -n 1)
commit=$(git rev-parse --short HEAD)
git diff --quiet HEAD -- formats viewer web bench || commit="$commit with local changes"
table=$results/table.md
{
    echo "Run of $(date -u '+%Y-%m-%d %H:%M UTC') on commit $commit:"
    echo
    echo "- machine: $(lscpu | sed -n 's/^Model name: *//p' | head -n 1), $(nproc) cores," \
         "$(free -g | awk '/^Mem:/ { print $2 }') GiB; $(. /etc/os-release && echo "$PRETTY_NAME"), Linux $(uname -r)"
    echo "- compiler: $(g++ --version | head -n 1), CMake build type RelWithDebInfo (-O2 -g)"
    echo "- renderer: $renderer on Xvfb, 640 × 480 window"
    echo "- browser: $browser, 640 × 480 canvas; the page built by Emscripten $emscripten with -O2"
    echo "- load average (1, 5, 15 min) before: $load_before; after: $load_after"
    echo "- each time is the median of $(cut -f11 "$tsv" | sort -n | head -n 1) or more repetitions," \
         "ours, the peer's and the floor's (where there is one) shuffled together in one process"
    echo
    echo "| comparison | input | ours | peer | peer's time | floor | ours / peer | goal | ours / floor | goal | throughput, ours vs peer |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|"
    awk -F'\t' '
        function peer_goal(what, input) {
            if (what == "bmp_decode") return "0.25"
            if (what == "tga_decode") return "0.50"
            if (what == "3ds_load") return input == "capacity" ? "0.15" : "0.50"
            if (what == "web_first_frame") return input == "demo" ? "1.6" : "1.3"
            if (what == "web_frame") return "1.3"
            return ""
        }
        function floor_goal(what, input) {
            if (what == "bmp_decode" && (input == "1024x1024" || input == "4096x4096")) return "1.3"
            if (what == "tga_decode" && input == "4096x4096") return "1.3"
            if (what == "3ds_load" && input == "capacity") return "1.5"
            return ""
        }
        function mark(ratio, g) {
            if (g == "") return "—"
            return ratio + 0 <= g + 0 ? "≤ " g ", met" : "≤ " g ", **not met**"
        }
        {
            what = $1 == "3ds_load" ? "3DS load + normalise" : $1 == "bmp_decode" ? "BMP decode" : \
                   $1 == "tga_decode" ? "TGA decode" : \
                   $1 == "frame" ? "one frame" : $1 == "web_frame" ? "one frame in the browser" : \
                   $1 == "web_first_frame" ? ($2 == "demo" ? "the viewer page to its first frame" : \
                                             $2 ".html to its first frame") : \
                   "start-up to first swap"
            rate = $8 == "" ? "" : $9 " vs " $10 " " $8
            if ($12 != "") rate = rate "; calling thread " $12 " vs " $13 " ms CPU"
            floor_ms = $14 == "" ? "—" : $14 " ms"
            floor_ratio = $15 == "" ? "—" : $15
            printf "| %s | %s (%s bytes) | %s ms | %s | %s ms | %s | %s | %s | %s | %s | %s |\n", \
                what, $2, $3, $5, $4, $6, floor_ms, $7, mark($7, peer_goal($1, $2)), \
                floor_ratio, mark($15, floor_goal($1, $2)), rate
        }' "$tsv"
    echo
    echo "Start-up in its parts, from the same launches: the median of each step on its own"
    echo "(so the steps need not add up to the total), ours beside the bare window's."
    echo
    echo "| step | whose | demo: ours | demo: bare window | capacity: ours | capacity: bare window |"
    echo "|---|---|---|---|---|---|"
    awk -F'\t' '
        BEGIN {
            name["window"] = "launch to window (libraries, GLUT, GLX context)"
            whose["window"] = "driver and libraries"
            name["gl_state"] = "OpenGL state set-up"
            whose["gl_state"] = "driver (our calls)"
            name["model"] = "model load + normalise"
            whose["model"] = "ours"
            name["decode"] = "BMP decode (+ texture name and parameters)"
            whose["decode"] = "ours"
            name["upload"] = "texture upload with mipmaps"
            whose["upload"] = "GLU and driver"
            name["first_frame"] = "main loop to first swap (reshape, first frame)"
            whose["first_frame"] = "driver (llvmpipe compiles and draws)"
            name["total"] = "total, launch to first swap"
            whose["total"] = ""
        }
        {
            if (!($2 in seen)) { seen[$2] = 1; order[++n] = $2 }
            ours[$1, $2] = $3 " ms"
            bare[$1, $2] = $4 == "" ? "—" : $4 " ms"
        }
        END {
            for (i = 1; i <= n; ++i) {
                s = order[i]
                printf "| %s | %s | %s | %s | %s | %s |\n", name[s], whose[s], ours["demo", s], \
                    bare["demo", s], ours["capacity", s], bare["capacity", s]
            }
        }' "$steps_tsv"
    echo
    echo "![load and decode time against file size](benchmarks.png)"
} > "$table"

doc=docs/benchmarks.md
begin='<!-- results: written by bench/run.sh -->'
end='<!-- end of results -->'
if ! grep -qF "$begin" "$doc" 2>/dev/null; then
    echo "$doc has no results markers; the table is in $table" >&2
    exit 1
fi
awk -v begin="$begin" -v end="$end" -v table="$table" '
    $0 == begin { print; while ((getline line < table) > 0) print line; skipping = 1; next }
    $0 == end { skipping = 0 }
    !skipping { print }' "$doc" > "$results/benchmarks.md"
mv "$results/benchmarks.md" "$doc"
echo
cat "$table"
echo
echo "wrote $doc and docs/benchmarks.png"
