#!/usr/bin/env bash
# Times the desktop program's preview window and exports, driven offscreen, against
# glyphwerk-cli doing the same conversion in the same run, on two photographs. Prints the best
# of several wall times and the difference from the command line's.
#
#   bench/preview.sh        (RUNS=5 by default; BUILD_DIR=build/bench-preview)
set -euo pipefail
cd "$(dirname "$0")/.."

RUNS=${RUNS:-5}
BUILD_DIR=${BUILD_DIR:-build/bench-preview}
DATA_DIR=$BUILD_DIR/pictures
OUT=$BUILD_DIR/out

mkdir -p "$BUILD_DIR" "$DATA_DIR" "$OUT"
if ! { cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLYPHWERK_BUILD_BENCH=ON \
    -DGLYPHWERK_BUILD_TESTS=OFF ${CMAKE_ARGS:-} &&
    cmake --build "$BUILD_DIR" -j2 --target glyphwerk-cli glyphwerk-cli-bench preview_bench; } \
    >"$BUILD_DIR/bench-build.log" 2>&1; then
    cat "$BUILD_DIR/bench-build.log" >&2
    exit 1
fi
CLI=$BUILD_DIR/src/cli/glyphwerk-cli
TIMER=$BUILD_DIR/bench/cli/glyphwerk-cli-bench
WINDOW=$BUILD_DIR/bench/preview/preview_bench
RESOURCES=$PWD/resources

# Two photographs from Debian's plasma-workspace-wallpapers, as JPEG, whole (5120 x 2880: a
# 511 x 142 grid at width 513) and cut square (a 511 x 254 grid).
pictures=()
for name in Patak Altai; do
    source=/usr/share/wallpapers/$name/contents/images/5120x2880.png
    [ -f "$source" ] || { echo "missing $source (scripts/install-deps.sh --bench)" >&2; exit 1; }
    [ -f "$DATA_DIR/$name.jpg" ] || convert "$source" -quality 90 "$DATA_DIR/$name.jpg"
    [ -f "$DATA_DIR/$name-square.jpg" ] ||
        convert "$source" -gravity center -crop 2880x2880+0+0 +repage -quality 90 \
            "$DATA_DIR/$name-square.jpg"
    pictures+=("$DATA_DIR/$name.jpg" "$DATA_DIR/$name-square.jpg")
done

cli() { "$TIMER" time "$RUNS" "$CLI" -w 513 --font-size 12 "$@" | awk '{ print $1 }'; }
window() { "$WINDOW" "$RESOURCES" "$1" 513 "$RUNS" "${@:2}" 2>/dev/null; }
report() { # LABEL WINDOW-SECONDS CLI-SECONDS GOAL-SECONDS [PEAK-KiB PEAK-KiB-BEFORE]
    awk -v l="$1" -v w="$2" -v c="$3" -v g="$4" -v p="${5:-}" -v b="${6:-}" 'BEGIN {
        d = w - c
        printf "  %-34s window %.3fs  cli %.3fs  difference %+.3fs (goal <= +%.2fs: %s)%s\n",
            l, w, c, d, g, d <= g ? "meets" : "MISSES",
            p == "" ? "" : sprintf("  peak %d MB, %d MB before", p / 1024, b / 1024)
    }'
}

echo "best of $RUNS runs, $(nproc) cores"
for picture in "${pictures[@]}"; do
    echo "$(basename "$picture")"
    text=$(cli "$picture")
    read -r bw _ _ _ < <(window "$picture")
    read -r color _ peak before < <(window "$picture" --color)
    report "preview, black and white" "$bw" "$text" 0.05
    case $picture in
    *-square.jpg) report "preview, colour" "$color" "$text" 0.4 "$peak" "$before" ;;
    *) report "preview, colour" "$color" "$text" 0.2 "$peak" "$before" ;;
    esac
    for format in txt rtf html tif; do
        case $format in
        txt) options=(-f text) color=() ;;
        rtf) options=(-f rtf --color) color=(--color) ;;
        html) options=(-f html --color) color=(--color) ;;
        tif) options=(-f tiff --color) color=(--color) ;;
        esac
        ours=$(cli "${options[@]}" -o "$OUT/cli.$format" "$picture")
        read -r exported _ _ _ < <(window "$picture" "${color[@]}" --export "$OUT/window.$format")
        report "export $format" "$exported" "$ours" 0.1
    done
done
