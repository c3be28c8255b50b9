#!/usr/bin/env bash
# The PNG and SVG images.
#
# PNG: against a short Pillow script (bench/png/pillow_png.py) that draws the same plain text
# art with DejaVu Sans Mono and saves a PNG. Timed in the same run on two photographs: the
# writer alone drawing the 511 x 142 art (what the script does), and ours converting the
# photograph too. Then the zlib levels, filters and strategies the writer could use, on the
# colour art: time per image and size.
# SVG: glyphwerk-cli writing the colour SVG against writing plain text of the same photograph;
# the difference is what the SVG adds to the conversion, in wall and in processor time (a busy
# machine can make the wall difference meaningless, even negative); both must meet the goal.
#
#   bench/png.sh            (RUNS=5 by default; BUILD_DIR=build/bench-png)
# Goals: the PNG writer <= 0.5 x the script; the SVG adds <= 20 ms.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
RUNS=${RUNS:-5}
BUILD_DIR=${BUILD_DIR:-build/bench-png}
data=bench/data

if ! command -v hyperfine >/dev/null || ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
    scripts/install-deps.sh --bench
fi
mkdir -p "$BUILD_DIR" "$data"
if ! { cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_BENCH=ON \
    -DGLYPHWERK_BUILD_GUI=OFF -DGLYPHWERK_BUILD_TESTS=OFF &&
    cmake --build "$BUILD_DIR" -j2 --target glyphwerk-png-bench glyphwerk-tiff-bench glyphwerk-cli; } \
    >"$BUILD_DIR/bench-build.log" 2>&1; then
    cat "$BUILD_DIR/bench-build.log" >&2
    exit 1
fi
tool=$BUILD_DIR/bench/png/glyphwerk-png-bench
text=$BUILD_DIR/bench/tiff/glyphwerk-tiff-bench
cli=$BUILD_DIR/src/cli/glyphwerk-cli
peer="/usr/bin/python3 bench/png/pillow_png.py"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Two photographs from Debian's plasma-workspace-wallpapers as progressive JPEGs:
# Patak (a brook) and IceCold.
for name in Patak IceCold; do
    jpeg=$data/photo-$name.jpg
    if [ ! -f "$jpeg" ]; then
        convert "/usr/share/wallpapers/$name/contents/images/5120x2880.png" -strip ppm:- |
            cjpeg -quality 90 -progressive >"$jpeg"
    fi
done

# compare LABEL GOAL OURS PEER: mean wall and CPU times, and the ratio ours / peer.
compare() {
    local label=$1 goal=$2 ours=$3 peerCommand=$4 json
    json=$(mktemp)
    hyperfine -N -w 1 -r "$RUNS" --export-json "$json" "$peerCommand" "$ours" >/dev/null
    /usr/bin/python3 - "$json" "$label" "$goal" <<'PY'
import json, sys
peer, ours = json.load(open(sys.argv[1]))["results"]
wall = ours["mean"] / peer["mean"]
cpu = (ours["user"] + ours["system"]) / (peer["user"] + peer["system"])
goal = float(sys.argv[3])
spread = lambda r: f"{min(r['times'])*1000:.0f}-{max(r['times'])*1000:.0f}"
print(f"{sys.argv[2]:<36} peer {peer['mean']*1000:6.0f} ms ({spread(peer)})  "
      f"ours {ours['mean']*1000:6.0f} ms ({spread(ours)})  ratio wall {wall:.2f}, cpu {cpu:.2f} "
      f"(goal <= {goal}: {'meets' if wall <= goal else 'MISSES'})")
PY
    rm -f "$json"
}

echo "mean of $RUNS runs, $(nproc) cores; ratios are ours / Pillow"
for name in Patak IceCold; do
    jpeg=$data/photo-$name.jpg
    "$text" "$jpeg" 513 text "$out/$name.txt" 2>/dev/null
    printf '%s: %s art\n' "$name" "$(awk 'NR == 1 { w = length($0) } END { print w " x " NR }' "$out/$name.txt")"
    compare "$name writer, black and white" 0.5 "$tool art $out/$name.txt 12 bw $out/ours.png" \
        "$peer $out/$name.txt 12 $out/peer.png"
    compare "$name writer, colour" 0.5 "$tool art $out/$name.txt 12 color $out/ours.png" \
        "$peer $out/$name.txt 12 $out/peer.png"
    compare "$name converted and written, colour" 1.0 "$tool $jpeg 513 12 color $out/ours.png" \
        "$peer $out/$name.txt 12 $out/peer.png"
done

# The writer's processor time per image (20 images in one process, so that the start does not
# count; processor time, as a busy machine stretches wall time) and the file's size, on the
# Patak colour art, for zlib levels, PNG filters and zlib strategies.
echo
echo "zlib level, filters and strategy for the Patak colour art at 12 points (CPU per image):"
for setting in "1 0x08 0 level 1, no filter" "1 0x10 0 level 1, sub" "1 0xf8 0 level 1, every filter" \
    "1 0x08 3 level 1, no filter, RLE" "2 0x08 0 level 2, no filter" "3 0x08 0 level 3, no filter" \
    "6 0x08 0 level 6, no filter" "6 0xf8 0 level 6, every filter (libpng's default)"; do
    read -r level filters strategy label <<<"$setting"
    ms=$(/usr/bin/python3 - "$tool" "$out" "$level" "$filters" "$strategy" <<'PY'
import resource, subprocess, sys
tool, out, level, filters, strategy = sys.argv[1:]
args = [tool, "art", f"{out}/Patak.txt", "12", "color", f"{out}/level.png", level, filters, strategy]
def cpu():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime
# 21 images less one: the start and the art's reading cancel out.
start = cpu(); subprocess.run(args + ["21"], check=True); many = cpu() - start
start = cpu(); subprocess.run(args + ["1"], check=True); one = cpu() - start
print(f"{(many - one) / 20 * 1000:.1f}")
PY
)
    printf '  %-46s %6s ms  %7d bytes\n' "$label" "$ms" "$(stat -c %s "$out/level.png")"
done

# The SVG: what writing it adds to the conversion, against plain text of the same art.
echo
for name in Patak IceCold; do
    jpeg=$data/photo-$name.jpg
    json=$(mktemp)
    hyperfine -N -w 1 -r "$RUNS" --export-json "$json" \
        "$cli -w 511 -o $out/art.txt $jpeg" "$cli -w 511 --color -f svg -o $out/art.svg $jpeg" \
        >/dev/null
    /usr/bin/python3 - "$json" "$name" "$(stat -c %s "$out/art.svg")" <<'PY'
import json, sys
text, svg = json.load(open(sys.argv[1]))["results"]
added = (svg["mean"] - text["mean"]) * 1000
cpu = lambda r: (r["user"] + r["system"]) * 1000
print(f"{sys.argv[2]} SVG (colour, {int(sys.argv[3]) // 1024} KiB): text {text['mean']*1000:.0f} ms, "
      f"svg {svg['mean']*1000:.0f} ms, adds {added:.1f} ms wall, "
      f"{cpu(svg) - cpu(text):.1f} ms CPU (goal <= 20 ms: "
      f"{'meets' if max(added, cpu(svg) - cpu(text)) <= 20 else 'MISSES'})")
PY
    rm -f "$json"
done
