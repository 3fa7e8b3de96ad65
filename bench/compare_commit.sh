#!/usr/bin/env bash
# Times the loaders of the working tree against those of another commit, in
# turns on the same inputs, through one harness, and prints the ratio of each
# figure to the other's:
#
#   bash bench/compare_commit.sh COMMIT [ROUNDS] [KINDS]
#
# KINDS is a comma-separated list of 3ds, bmp and tga (default all three).
# The same harness (this tree's bench/formats_bench.cpp and compare.cpp) is
# compiled twice with the same command, once against this tree's formats/ and
# viewer model and once against COMMIT's, each library built by its own
# tree's CMake files (so a change of build flags counts too). Then, ROUNDS
# times (default 5), every input is timed by both, the first to go taking
# turns, REPS repetitions a run (default 3). The figures are the medians of
# the runs' medians; a ratio is the median, over the rounds, of this tree's
# time over COMMIT's in the same round. The peer (lib3ds, stb_image) is the
# same code on both sides: its ratio shows how far the machine's load alone
# moves a ratio. A commit without the TGA decoder is compared on 3DS and BMP.
#
# Builds into build-bench/ (the bench preset) and build-bench/base-COMMIT/;
# writes the inputs and logs under build-bench/compare/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
if [ $# -lt 1 ]; then
    sed -n '2,21s/^# \{0,1\}//p' "$0" >&2
    exit 2
fi
commit=$(git rev-parse --short "$1^{commit}")
rounds=${2:-5}
kinds=${3:-3ds,bmp,tga}
reps=${REPS:-3}
build=$root/build-bench
base=$build/base-$commit
out=$build/compare
testdata=${SZABLON_TESTDATA:-$root/../shared/testdata}

source scripts/lib.sh
install_packages --no-install-recommends cmake g++ make pkg-config freeglut3-dev \
    libglu1-mesa-dev libx11-dev libbenchmark-dev lib3ds-dev libstb-dev

# Each tree's libraries, by its own CMake files; the commit's from its own sources.
cmake --preset bench >/dev/null
cmake --build --preset bench --target formats viewer_model make_bench_inputs >/dev/null
if [ ! -d "$base/src" ]; then
    mkdir -p "$base/src"
    git archive "$commit" | tar -x -C "$base/src"
fi
cmake -S "$base/src" -B "$base/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSZABLON_TESTS=OFF \
    -DSZABLON_BENCH=OFF >/dev/null
cmake --build "$base/build" -j2 --target formats viewer_model >/dev/null

# One harness, compiled the same way against each.
stb_include=$(dirname "$(find /usr/include -name stb_image.h | head -n 1)")
harness() {
    local src=$1 libs=$2 exe=$3
    g++ -std=c++17 -O2 -g -DNDEBUG -I"$src" -I"$src/viewer" -I"$stb_include" \
        bench/formats_bench.cpp bench/compare.cpp \
        "$libs/viewer/libviewer_model.a" "$libs/formats/libformats.a" \
        -lbenchmark -lpthread -l3ds -lstb -o "$exe"
}
rm -rf "$out"
mkdir -p "$out/inputs"
harness "$root" "$build" "$out/bench_head"
if ! harness "$base/src" "$base/build" "$out/bench_base"; then
    echo "the harness does not build against $commit's formats/ (above)" >&2
    exit 1
fi
"$build/bench/make_bench_inputs" "$out/inputs"

inputs=()
case ",$kinds," in *,3ds,*)
    for n in 625 2500 5000; do inputs+=("--3ds=model-$n:$out/inputs/model-$n.3ds"); done
    inputs+=("--3ds=capacity:$out/inputs/model-10000.3ds")
    if largest=$(ls -S "$testdata"/3ds/* 2>/dev/null | head -n 1) && [ -n "$largest" ]; then
        inputs+=("--3ds=$(basename "$largest"):$largest")
    fi
esac
case ",$kinds," in *,bmp,*)
    for size in 256x256 1024x1024 1021x1024 4096x4096; do
        inputs+=("--bmp=$size:$out/inputs/bmp-$size.bmp")
    done
esac
case ",$kinds," in *,tga,*)
    if [ -f "$base/src/formats/tga.h" ]; then
        for name in 4096x4096 rle-4096x4096; do
            inputs+=("--tga=$name:$out/inputs/tga-$name.tga")
        done
    else
        echo "$commit has no TGA decoder: TGA left out" >&2
    fi
esac

# Each run's medians, from its JSON report: name, then real and CPU time in
# milliseconds.
run() {
    local side=$1 round=$2 input=$3 n=$4
    local json=$out/$side-$n-$round.json
    if ! "$out/bench_$side" "$input" --benchmark_repetitions="$reps" \
            --benchmark_out="$json" --benchmark_out_format=json >> "$out/$side.log" 2>&1; then
        echo "$side failed on $input; see $out/$side.log" >&2
        exit 1
    fi
    # One repetition has no median: its one run stands for it.
    awk -F'"' -v side="$side" -v round="$round" -v reps="$reps" '
        $2 == "name" { name = $4 }
        $2 == "real_time" { real = $3; gsub(/[:, ]/, "", real) }
        $2 == "cpu_time" && (reps > 1 ? name ~ /_median$/ : name !~ /_(mean|median|stddev|cv)$/) {
            cpu = $3; gsub(/[:, ]/, "", cpu)
            sub(/_median$/, "", name)
            print side, round, name, real + 0, cpu + 0
        }' "$json" >> "$out/medians.txt"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
: > "$out/medians.txt"
for ((round = 1; round <= rounds; ++round)); do
    echo "round $round of $rounds" >&2
    for ((n = 0; n < ${#inputs[@]}; ++n)); do
        if (( (round + n) % 2 )); then
            run head "$round" "${inputs[n]}" "$n"; run base "$round" "${inputs[n]}" "$n"
        else
            run base "$round" "${inputs[n]}" "$n"; run head "$round" "${inputs[n]}" "$n"
        fi
    done
done
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

echo "this tree ($(git rev-parse --short HEAD)$(git diff --quiet HEAD -- formats viewer bench || echo ', with local changes')) against $commit," \
     "$rounds rounds in turns, $reps repetitions a run; load average before: $load_before; after: $load_after"
awk '
    function median(list, k,   v, n, i, j, t) {
        n = split(list, v, " ")
        for (i = 2; i <= n; ++i)
            for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    # Three significant figures, as the ratio lines give them.
    function ms(v) { return sprintf(v >= 100 ? "%.0f" : v >= 10 ? "%.1f" : v >= 1 ? "%.2f" : "%.3f", v) }
    {
        split($3, part, "/")
        key = part[1] " " part[3]
        who = part[2]
        if (!(key in seen)) { seen[key] = 1; order[++keys] = key }
        # Ours first, then the floor, then the peer.
        if (!((key, who) in has)) {
            has[key, who] = 1
            if (who == "ours") whos[key] = " ours" whos[key]
            else if (who == "floor") whos[key] = whos[key] ~ /^ ours/ ? " ours floor" substr(whos[key], 6) : " floor" whos[key]
            else whos[key] = whos[key] " " who
        }
        real[$1, key, who, $2] = $4
        cpu[$1, key, who, $2] = $5
        rounds[key] = $2 > rounds[key] ? $2 : rounds[key]
    }
    END {
        for (k = 1; k <= keys; ++k) {
            key = order[k]
            line = "ab " key ":"
            nw = split(whos[key], w, " ")
            for (i = 1; i <= nw; ++i) {
                h = b = r = hc = bc = rc = ""
                for (round = 1; round <= rounds[key]; ++round) {
                    if (!(("head", key, w[i], round) in real) || !(("base", key, w[i], round) in real))
                        continue
                    h = h " " real["head", key, w[i], round]
                    b = b " " real["base", key, w[i], round]
                    r = r " " real["head", key, w[i], round] / real["base", key, w[i], round]
                    rc = rc " " cpu["head", key, w[i], round] / cpu["base", key, w[i], round]
                }
                line = line sprintf(" %s %s vs %s ms = %.2f (CPU %.2f);", w[i], ms(median(h)),
                                    ms(median(b)), median(r), median(rc))
                if (w[i] == "ours") { oh = median(h); ob = median(b) }
                if (w[i] == "floor") { fh = median(h); fb = median(b) }
            }
            if (whos[key] ~ / floor/)
                line = line sprintf(" ours/floor %.2f vs %.2f;", oh / fh, ob / fb)
            print line
        }
    }' "$out/medians.txt"
echo "(each: this tree vs $commit, median times; = the median of the rounds' ratios, this tree over $commit)"
