#!/usr/bin/env bash
# The picture pipeline against its peers on two real photographs, each comparison timed in one
# hyperfine call, repeated ROUNDS times (the median ratio and the spread of the rounds are shown):
#   a 5120 x 2880 baseline JPEG into a 513 x 256 canvas    against djpeg -scale 1/8
#   the same picture as a progressive JPEG                 against full djpeg
#   the same picture as PNG                                against jp2a --width=513, and
#                                                          against inflating its image data alone
#   a 16000 x 12000 PNG made from it                       against jp2a, and its peak memory
# Builds Release into build/bench; the pictures are made once into bench/data (git-ignored).
# Needs hyperfine, djpeg/cjpeg, jp2a, ImageMagick's convert, python3 and /usr/bin/time.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
data="$root/bench/data"
runs=${RUNS:-10}
rounds=${ROUNDS:-3}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_BENCH=ON \
    -DGLYPHWERK_BUILD_TESTS=OFF -DGLYPHWERK_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target imaging_bench make_large_png inflate_idat >/dev/null
bench="$build/bench/imaging/imaging_bench"
inflate="$build/bench/imaging/inflate_idat"
wallpapers=/usr/share/wallpapers

# Two photographs from Debian's plasma-workspace-wallpapers: Patak (a brook; the package ships it
# as an RGBA PNG) and Volna (a wave on a beach; shipped as JPEG, saved here as an RGB PNG with
# ImageMagick's default settings). Each is also made into baseline and progressive JPEGs and a
# 16000 x 12000 PNG.
prepare() {
    local name=$1 source=$2
    local png="$data/$name-5120x2880.png"
    if [ ! -f "$png" ]; then
        case "$source" in
        *.png) cp "$source" "$png" ;;
        *) convert "$source" "$png" ;;
        esac
    fi
    if [ ! -f "$data/$name-5120x2880-baseline.jpg" ] ||
        [ ! -f "$data/$name-5120x2880-progressive.jpg" ]; then
        convert "$png" -strip ppm:"$data/$name.ppm"
        cjpeg -quality 90 "$data/$name.ppm" >"$data/$name-5120x2880-baseline.jpg"
        cjpeg -quality 90 -progressive "$data/$name.ppm" >"$data/$name-5120x2880-progressive.jpg"
        rm -f "$data/$name.ppm"
    fi
    if [ ! -f "$data/$name-16000x12000.png" ]; then
        "$build/bench/imaging/make_large_png" "$png" 16000 12000 "$data/$name-16000x12000.png"
    fi
}
mkdir -p "$data"
# bench/cli.sh reads the first photograph's files as photo-*.
prepare photo "${PHOTO:-$wallpapers/Patak/contents/images/5120x2880.png}"
prepare volna "${PHOTO2:-$wallpapers/Volna/contents/images/5120x2880.jpg}"

# compare NAME OURS PEER GOAL [PEER GOAL...]: times the peers and our command in one hyperfine
# call, ROUNDS times, and prints our mean time as a ratio to each peer's mean: the median over
# the rounds and the lowest and highest.
compare() {
    local name=$1 ours=$2
    shift 2
    local commands=() goals=() files=() json
    while [ $# -gt 0 ]; do
        commands+=("$1")
        goals+=("$2")
        shift 2
    done
    for ((round = 0; round < rounds; round++)); do
        json=$(mktemp)
        files+=("$json")
        # hyperfine's warnings about outliers are expected on a shared machine: the spread of
        # the rounds says more. Its errors are shown.
        if ! hyperfine -N -w 1 -r "$runs" --export-json "$json" "${commands[@]}" "$ours" \
            >/dev/null 2>"$json.log"; then
            cat "$json.log" >&2
            exit 1
        fi
        rm -f "$json.log"
    done
    python3 - "$name" "${goals[*]}" "${files[@]}" <<'PY'
import json, statistics, sys
name, goals, files = sys.argv[1], [float(g) for g in sys.argv[2].split()], sys.argv[3:]
rounds = [json.load(open(f))["results"] for f in files]
ours = [r[-1]["mean"] for r in rounds]
print(f"{name}: ours {statistics.median(ours) * 1000:.1f} ms "
      f"(rounds {' '.join(f'{t * 1000:.0f}' for t in ours)})")
for i, goal in enumerate(goals):
    peer = rounds[0][i]["command"].split()[0].rsplit("/", 1)[-1]
    times = [r[i]["mean"] for r in rounds]
    ratios = sorted(o / t for o, t in zip(ours, times))
    median = statistics.median(ratios)
    verdict = "meets" if median <= goal else "MISSES"
    print(f"    vs {peer:<13} {statistics.median(times) * 1000:8.1f} ms   ratio {median:.2f} "
          f"(spread {ratios[0]:.2f}-{ratios[-1]:.2f}; goal <= {goal}: {verdict})")
PY
    rm -f "${files[@]}"
}

echo "$runs runs x $rounds rounds each; load average $(cut -d' ' -f1-3 /proc/loadavg)"
for name in photo volna; do
    label=$name
    [ "$name" = photo ] && label=patak
    png="$data/$name-5120x2880.png"
    baseline="$data/$name-5120x2880-baseline.jpg"
    progressive="$data/$name-5120x2880-progressive.jpg"
    large="$data/$name-16000x12000.png"
    compare "$label baseline JPEG" "$bench $baseline 513 256" \
        "djpeg -scale 1/8 -outfile /dev/null $baseline" 1.1
    compare "$label progressive JPEG" "$bench $progressive 513 256" \
        "djpeg -outfile /dev/null $progressive" 1.05
    compare "$label PNG" "$bench $png 513 256" "jp2a --width=513 $png" 0.45 "$inflate $png" 1.3
    runs=3 rounds=2 compare "$label 16000x12000 PNG" "$bench $large 513 256" \
        "jp2a --width=513 $large" 0.5
    peak=$(/usr/bin/time -f "%M" "$bench" "$large" 513 256 2>&1 >/dev/null | tail -1)
    echo "    peak resident memory: $((peak / 1024)) MB (goal <= 16 MB)"
done
