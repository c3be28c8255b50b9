#!/usr/bin/env bash
# What the tone options cost glyphwerk-cli: the same conversion with and without
# --auto-contrast --contrast 20 --brightness 10 --invert, on two photographs, in one run (only
# ratios mean anything on a shared machine). Goal: at most 1.05 times the plain conversion.
# The photographs are Debian wallpapers (plasma-workspace-wallpapers), 5120 x 2880: Patak, a
# brook, and Altai, mountains, as progressive JPEGs made once into bench/data; converted to
# text at width 513, once in darkness match and once with --match shape --dither.
# Two measures: the CLI's runs with hyperfine, and tone_bench, which alternates the two
# conversions in one process and takes the best processor time of each, so that a busy
# machine's load, which moves single runs by far more than 5 %, stays out of the difference.
# Builds Release into build/bench-tone.
#
#   bench/tone.sh        (RUNS=20 and ROUNDS=10 by default; PHOTOS="a.png b.png" to choose others)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench-tone}
data="$root/bench/data"
runs=${RUNS:-20}
wallpapers=/usr/share/wallpapers
photos=${PHOTOS:-"$wallpapers/Patak/contents/images/5120x2880.png $wallpapers/Altai/contents/images/5120x2880.png"}

for tool in hyperfine cjpeg convert python3; do
    command -v "$tool" >/dev/null || "$root/scripts/install-deps.sh" --bench
done
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_GUI=OFF \
    -DGLYPHWERK_BUILD_TESTS=OFF -DGLYPHWERK_BUILD_BENCH=ON "${launcher[@]}" &&
    cmake --build "$build" -j2 --target glyphwerk-cli tone_bench; } \
    >"$build.log" 2>&1; then
    cat "$build.log" >&2
    exit 1
fi
cli="$build/src/cli/glyphwerk-cli"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# hyperfine's best and median wall time and mean processor time for the plain and the toned
# command, and their ratios. Judged on the best times: on a shared machine a passing load moves
# the median by far more than the tone options cost; processor time is shown beside them.
compare() {
    local name=$1 plain=$2 toned=$3 json="$out/result.json"
    hyperfine -N -w 2 -r "$runs" --export-json "$json" "$plain" "$toned" >/dev/null
    python3 - "$json" "$name" <<'PY'
import json, sys
plain, toned = json.load(open(sys.argv[1]))["results"]
def cpu(r):
    return r["user"] + r["system"]
def show(r):
    return f"best {r['min']*1000:6.1f} ms, median {r['median']*1000:6.1f} (cpu {cpu(r)*1000:6.1f})"
ratio = toned["min"] / plain["min"]
verdict = "meets" if ratio <= 1.05 else "misses"
print(f"{sys.argv[2]:<20} plain {show(plain)}  toned {show(toned)}  ratio best {ratio:.3f}, "
      f"median {toned['median'] / plain['median']:.3f}, cpu {cpu(toned) / cpu(plain):.3f} "
      f"(goal <= 1.05: {verdict})")
PY
}

# In process: the best processor times of the plain and the toned conversion, and what the
# difference adds to the plain conversion.
inProcess() {
    local name=$1 jpeg=$2 mode=${3:-}
    read -r plain toned step _ < <("$build/bench/tone/tone_bench" "$jpeg" "$root/resources/Table.txt" \
        515 "${ROUNDS:-10}" $mode 2>/dev/null)
    awk -v n="$name" -v p="$plain" -v t="$toned" -v s="$step" 'BEGIN {
        r = t / p
        printf "%-20s in process: plain %.1f ms, toned %.1f ms of cpu: adds %.1f ms, ratio %.3f (goal <= 1.05: %s); the tone step alone %.2f ms (%.1f %%)\n",
            n, p, t, t - p, r, r <= 1.05 ? "meets" : "misses", s, 100 * s / p }'
}

tone=(--auto-contrast --contrast 20 --brightness 10 --invert)
mkdir -p "$data"
echo "$runs runs each, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
for photo in $photos; do
    name=$(basename "$(dirname "$(dirname "$(dirname "$photo")")")")
    jpeg="$data/tone-$name-5120x2880-progressive.jpg"
    if [ ! -f "$jpeg" ]; then
        convert "$photo" -strip ppm:"$out/photo.ppm"
        cjpeg -quality 90 -progressive "$out/photo.ppm" >"$jpeg"
        rm -f "$out/photo.ppm"
    fi
    echo "== $name"
    compare "darkness match" "$cli -w 513 -o $out/plain.txt $jpeg" \
        "$cli -w 513 ${tone[*]} -o $out/toned.txt $jpeg"
    inProcess "darkness match" "$jpeg"
    compare "shape match, dither" "$cli -w 513 --match shape --dither -o $out/plain.txt $jpeg" \
        "$cli -w 513 --match shape --dither ${tone[*]} -o $out/toned.txt $jpeg"
    inProcess "shape match, dither" "$jpeg" shape
done
