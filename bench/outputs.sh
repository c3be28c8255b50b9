#!/usr/bin/env bash
# The document outputs of glyphwerk-cli on two photographs, each timed against its peer in the
# same run (only ratios mean anything on a shared machine):
#   colour HTML at width 513 of a 5120 x 2880 progressive JPEG   against jp2a --colors --html
#   the RTF document of the same art                              against the plain text file
#     (building and writing it should add at most 50 ms to the conversion; judged on processor
#     time, as wall time on a loaded machine varies by more than that)
# The photographs are Debian wallpapers (plasma-workspace-wallpapers): Patak, a brook, and Altai,
# mountains. Builds Release into build/bench-outputs; pictures are made once into bench/data.
#
#   bench/outputs.sh        (RUNS=10 by default; PHOTOS="a.png b.png" to choose others)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench-outputs}
data="$root/bench/data"
runs=${RUNS:-10}
wallpapers=/usr/share/wallpapers
photos=${PHOTOS:-"$wallpapers/Patak/contents/images/5120x2880.png $wallpapers/Altai/contents/images/5120x2880.png"}

for tool in hyperfine jp2a cjpeg convert python3; do
    command -v "$tool" >/dev/null || "$root/scripts/install-deps.sh" --bench
done
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if ! { cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_GUI=OFF \
    -DGLYPHWERK_BUILD_TESTS=OFF "${launcher[@]}" && cmake --build "$build" -j2 --target glyphwerk-cli; } \
    >"$build.log" 2>&1; then
    cat "$build.log" >&2
    exit 1
fi
cli="$build/src/cli/glyphwerk-cli"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# hyperfine's mean, user time and spread for each command, and the ratio of the second to the
# first; with DIFF set, the difference of the means in milliseconds instead of the ratio.
compare() {
    local name=$1 goal=$2 first=$3 second=$4 json
    json="$out/result.json"
    hyperfine -N -w 1 -r "$runs" --export-json "$json" "$first" "$second" >/dev/null
    python3 - "$json" "$name" "$goal" "${DIFF:-}" <<'PY'
import json, sys
first, second = json.load(open(sys.argv[1]))["results"]
name, goal, diff = sys.argv[2], float(sys.argv[3]), sys.argv[4] == "1"
def show(r):
    return f"{r['median']*1000:7.1f} ms ±{r['stddev']*1000:5.1f} (cpu {cpu(r)*1000:7.1f})"
def cpu(r):
    return r["user"] + r["system"]
if diff:
    # Judged on processor time (user + system), which a busy machine stretches far less than
    # wall time; the wall-time difference is shown beside it.
    wall = (second["median"] - first["median"]) * 1000
    spread = (first["stddev"] ** 2 + second["stddev"] ** 2) ** 0.5 * 1000
    added = (cpu(second) - cpu(first)) * 1000
    verdict = "meets" if added <= goal else "misses"
    print(f"{name:<28} without {show(first)}  with {show(second)}  "
          f"adds cpu {added:5.1f} ms, wall {wall:6.1f} ms ±{spread:4.1f} "
          f"(goal <= {goal:g} ms: {verdict})")
else:
    # Judged on the median wall time, which a passing load spike moves less than the mean.
    ratio = second["median"] / first["median"]
    verdict = "meets" if ratio <= goal else "misses"
    print(f"{name:<28} peer {show(first)}  ours {show(second)}  "
          f"ratio {ratio:.2f}, cpu {cpu(second) / cpu(first):.2f} (goal <= {goal:g}: {verdict})")
PY
}

mkdir -p "$data"
echo "median of $runs runs each, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
for photo in $photos; do
    name=$(basename "$(dirname "$(dirname "$(dirname "$photo")")")")
    jpeg="$data/outputs-$name-5120x2880-progressive.jpg"
    if [ ! -f "$jpeg" ]; then
        convert "$photo" -strip ppm:"$out/photo.ppm"
        cjpeg -quality 90 -progressive "$out/photo.ppm" >"$jpeg"
        rm -f "$out/photo.ppm"
    fi
    echo "== $name"
    compare "colour HTML vs jp2a" 0.6 "jp2a --colors --html --width=513 $jpeg" \
        "$cli -w 513 -f html --color $jpeg"
    DIFF=1 compare "RTF over the text file" 50 "$cli -w 513 -o $out/art.txt $jpeg" \
        "$cli -w 513 -f rtf --color -o $out/art.rtf $jpeg"
done
