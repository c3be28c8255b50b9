#!/usr/bin/env bash
# The TIFF image against a short Pillow script (bench/tiff/pillow_tiff.py) that draws the same
# plain text art with DejaVu Sans Mono and saves an LZW TIFF. Ours converts the photograph and
# writes the image; the script only draws the text it is given. Both are timed in the same run
# on two photographs; then the peak memory of the image writer alone at 12 and 73 points.
#
#   bench/tiff.sh            (RUNS=5 by default; BUILD_DIR=build/bench-tiff)
# Goals: black and white <= 0.5 x the script, colour <= 1.0 x; peak memory <= 32 MB at 12
# points and <= 64 MB for a 511 x 254 grid at 73 points.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
RUNS=${RUNS:-5}
BUILD_DIR=${BUILD_DIR:-build/bench-tiff}
data=bench/data

if ! command -v hyperfine >/dev/null || ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
    scripts/install-deps.sh --bench
fi
mkdir -p "$BUILD_DIR" "$data"
if ! { cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_BENCH=ON \
    -DGLYPHWERK_BUILD_GUI=OFF -DGLYPHWERK_BUILD_TESTS=OFF &&
    cmake --build "$BUILD_DIR" -j2 --target glyphwerk-tiff-bench; } >"$BUILD_DIR/bench-build.log" 2>&1; then
    cat "$BUILD_DIR/bench-build.log" >&2
    exit 1
fi
tool=$BUILD_DIR/bench/tiff/glyphwerk-tiff-bench
peer="/usr/bin/python3 bench/tiff/pillow_tiff.py"
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
print(f"{sys.argv[2]:<30} peer {peer['mean']*1000:6.0f} ms ({spread(peer)})  "
      f"ours {ours['mean']*1000:6.0f} ms ({spread(ours)})  ratio wall {wall:.2f}, cpu {cpu:.2f} "
      f"(goal <= {goal}: {'meets' if wall <= goal else 'MISSES'})")
PY
    rm -f "$json"
}

echo "mean of $RUNS runs, $(nproc) cores; ratios are ours / Pillow"
for name in Patak IceCold; do
    jpeg=$data/photo-$name.jpg
    "$tool" "$jpeg" 513 text "$out/$name.txt" 2>/dev/null
    compare "$name black and white" 0.5 "$tool $jpeg 513 12 bw $out/ours.tif" \
        "$peer $out/$name.txt 12 $out/peer.tif"
    compare "$name colour" 1.0 "$tool $jpeg 513 12 color $out/ours.tif" \
        "$peer $out/$name.txt 12 $out/peer.tif"
done

# peak LIMIT-MB ARGS...: the writer alone, drawing a text file.
peak() {
    local limit=$1 kib
    shift
    kib=$(/usr/bin/time -f "%M" "$tool" art "$@" 2>&1 >/dev/null | tail -1)
    printf '%-42s peak %5.1f MB (goal <= %d MB: %s)\n' "writer, $2 points $3, $(basename "$1")" \
        "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')" "$limit" \
        "$([ "$kib" -le $((limit * 1024)) ] && echo meets || echo MISSES)"
}
peak 32 "$out/Patak.txt" 12 bw "$out/ours.tif"
peak 32 "$out/Patak.txt" 12 color "$out/ours.tif"
# 511 x 254 cells: the Patak art's 142 rows twice over, cut to 254.
cat "$out/Patak.txt" "$out/Patak.txt" | head -254 >"$out/large.txt"
peak 64 "$out/large.txt" 73 color "$out/ours.tif"
kib=$(/usr/bin/time -f "%M" "$tool" "$data/photo-Patak.jpg" 513 12 color "$out/ours.tif" 2>&1 >/dev/null |
    tail -1)
printf 'whole run (decoding included), Patak colour  peak %5.1f MB\n' \
    "$(awk -v k="$kib" 'BEGIN { print k / 1024 }')"
