#!/usr/bin/env bash
# The picture pipeline against its peers on real photographs, each pair timed in the same run:
#   a 5120 x 2880 baseline JPEG into a 513 x 256 canvas    against djpeg -scale 1/8
#   the same picture as a progressive JPEG                 against full djpeg
#   the same picture as PNG                                against jp2a --width=513
#   a 16000 x 12000 PNG                                    against jp2a, and its peak memory
# Builds Release into build/bench; the pictures are made once into bench/data (git-ignored).
# Needs hyperfine, djpeg/cjpeg, jp2a, ImageMagick's convert, python3 and /usr/bin/time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
data="$root/bench/data"
runs=${RUNS:-10}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_BENCH=ON \
    -DGLYPHWERK_BUILD_TESTS=OFF -DGLYPHWERK_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target imaging_bench make_large_png >/dev/null
bench="$build/bench/imaging/imaging_bench"

# A photograph from Debian's plasma-workspace-wallpapers (Patak is a photograph of a brook).
source=${PHOTO:-/usr/share/wallpapers/Patak/contents/images/5120x2880.png}
mkdir -p "$data"
png="$data/photo-5120x2880.png"
baseline="$data/photo-5120x2880-baseline.jpg"
progressive="$data/photo-5120x2880-progressive.jpg"
large="$data/photo-16000x12000.png"
if [ ! -f "$png" ]; then cp "$source" "$png"; fi
if [ ! -f "$baseline" ] || [ ! -f "$progressive" ]; then
    convert "$png" -strip ppm:"$data/photo.ppm"
    cjpeg -quality 90 "$data/photo.ppm" >"$baseline"
    cjpeg -quality 90 -progressive "$data/photo.ppm" >"$progressive"
    rm -f "$data/photo.ppm"
fi
if [ ! -f "$large" ]; then "$build/bench/imaging/make_large_png" "$png" 16000 12000 "$large"; fi

# compare NAME GOAL PEER-COMMAND OUR-COMMAND: prints the mean times and our/peer ratio.
compare() {
    local name=$1 goal=$2 peer=$3 ours=$4 json
    json=$(mktemp)
    hyperfine -N -w 1 -r "$runs" --export-json "$json" "$peer" "$ours" >/dev/null
    python3 - "$json" "$name" "$goal" <<'PY'
import json, sys
results = json.load(open(sys.argv[1]))["results"]
peer, ours = results[0], results[1]
ratio = ours["mean"] / peer["mean"]
goal = float(sys.argv[3])
verdict = "meets" if ratio <= goal else "misses"
print(f"{sys.argv[2]:<34} peer {peer['mean']*1000:8.1f} ms (user {peer['user']*1000:7.1f})  "
      f"ours {ours['mean']*1000:8.1f} ms (user {ours['user']*1000:7.1f})  "
      f"ratio {ratio:.2f} (goal <= {goal}: {verdict})")
PY
    rm -f "$json"
}

compare "baseline JPEG vs djpeg -scale 1/8" 1.25 "djpeg -scale 1/8 -outfile /dev/null $baseline" "$bench $baseline 513 256"
compare "progressive JPEG vs djpeg" 1.05 "djpeg -outfile /dev/null $progressive" "$bench $progressive 513 256"
compare "PNG vs jp2a --width=513" 0.7 "jp2a --width=513 $png" "$bench $png 513 256"
runs=3 compare "16000x12000 PNG vs jp2a" 0.8 "jp2a --width=513 $large" "$bench $large 513 256"
peak=$(/usr/bin/time -f "%M" "$bench" "$large" 513 256 2>&1 >/dev/null | tail -1)
echo "16000x12000 PNG peak resident memory: $((peak / 1024)) MB (goal <= 16 MB)"
