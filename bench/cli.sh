#!/usr/bin/env bash
# Builds glyphwerk-cli in Release and compares it with jp2a and chafa on the same pictures in
# one run. Prints the best of several wall times per tool and the ratios against jp2a, and the
# peak memory of a 16000 x 12000 PNG conversion.
#
#   bench/cli.sh            (RUNS=5 by default; BUILD_DIR=build/bench-cli)
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
BUILD_DIR=${BUILD_DIR:-build/bench-cli}
DATA_DIR=$BUILD_DIR/pictures

if ! command -v jp2a >/dev/null || ! command -v chafa >/dev/null; then
    scripts/install-deps.sh --bench
fi

mkdir -p "$BUILD_DIR"
if ! { cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_BENCH=ON \
    -DGLYPHWERK_BUILD_GUI=OFF -DGLYPHWERK_BUILD_TESTS=OFF &&
    cmake --build "$BUILD_DIR" -j2 --target glyphwerk-cli glyphwerk-cli-bench; } \
    >"$BUILD_DIR/bench-build.log" 2>&1; then
    cat "$BUILD_DIR/bench-build.log" >&2
    exit 1
fi

CLI=$BUILD_DIR/src/cli/glyphwerk-cli
BENCH=$BUILD_DIR/bench/cli/glyphwerk-cli-bench
"$BENCH" pictures "$DATA_DIR"

# Prints "wallSeconds cpuSeconds peakKiB" for one command.
measure() { "$BENCH" time "$RUNS" "$@"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

# compare LABEL PICTURE WIDTH GOAL: glyphwerk-cli against jp2a (chafa for reference). The goal
# is judged on wall time; CPU time is shown too, as it suffers less from a busy machine.
compare() {
    local label=$1 picture=$2 width=$3 goal=$4
    local ours jp2a chafa
    read -r ours oursCpu _ < <(measure "$CLI" -w "$width" "$picture")
    read -r jp2a jp2aCpu _ < <(measure jp2a --width="$width" "$picture")
    read -r chafa _ < <(measure chafa --format=symbols --colors=none --animate=off \
        --size="${width}x" "$picture")
    local r verdict="meets"
    r=$(ratio "$ours" "$jp2a")
    awk -v r="$r" -v g="$goal" 'BEGIN { exit !(r > g) }' && verdict="MISSES"
    printf '%s\n    glyphwerk-cli %.3fs (cpu %.3fs)  jp2a %.3fs (cpu %.3fs)  chafa %.3fs\n' \
        "$label" "$ours" "$oursCpu" "$jp2a" "$jp2aCpu" "$chafa"
    printf '    ratio to jp2a: wall %s, cpu %s (goal <= %s: %s)\n' \
        "$r" "$(ratio "$oursCpu" "$jp2aCpu")" "$goal" "$verdict"
}

# A real photograph where bench/imaging.sh has made it into bench/data (Debian's Patak
# wallpaper); the generated pictures stand in otherwise.
baseline=$DATA_DIR/photo-5120.jpg
progressive=$DATA_DIR/photo-5120-progressive.jpg
png=$DATA_DIR/photo-5120.png
small=$DATA_DIR/photo-512.jpg
large=$DATA_DIR/photo-16000.png
real=bench/data
if [ -f "$real/photo-5120x2880-baseline.jpg" ] && [ -f "$real/photo-5120x2880-progressive.jpg" ]; then
    baseline=$real/photo-5120x2880-baseline.jpg
    progressive=$real/photo-5120x2880-progressive.jpg
    png=$real/photo-5120x2880.png
    [ -f "$real/photo-512x512.jpg" ] ||
        convert "$png" -resize '512x512!' -quality 90 "$real/photo-512x512.jpg"
    small=$real/photo-512x512.jpg
    [ -f "$real/photo-16000x12000.png" ] && large=$real/photo-16000x12000.png
    echo "pictures: a photograph (bench/data)"
else
    echo "pictures: generated (run bench/imaging.sh first to use a photograph)"
fi

echo "best of $RUNS runs, $(nproc) cores"
compare "5120x2880 baseline JPEG, width 513" "$baseline" 513 0.5
compare "5120x2880 progressive JPEG, width 513" "$progressive" 513 0.85
compare "5120x2880 PNG, width 513" "$png" 513 0.7
compare "512x512 JPEG, width 80" "$small" 80 1.0

read -r seconds _ peak < <(measure "$CLI" -w 513 "$large")
verdict="meets"
[ "$peak" -gt 16384 ] && verdict="MISSES"
printf '16000x12000 PNG, width 513\n    glyphwerk-cli %.3fs, peak memory %d KiB (goal <= 16384 KiB: %s)\n' \
    "$seconds" "$peak" "$verdict"
