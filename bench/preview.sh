#!/usr/bin/env bash
# Times the desktop program's preview window and exports, driven offscreen, against
# glyphwerk-cli doing the same conversion in the same run, on two photographs. Prints the best
# of several wall times and the difference from the command line's.
#
#   bench/preview.sh [live]   (RUNS=5 by default; BUILD_DIR=build/bench-preview)
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

echo "best of $RUNS runs, $(nproc) cores, load average $(cut -d' ' -f1 /proc/loadavg)"
# `bench/preview.sh live` runs only the live preview's part (the last).
for picture in "${pictures[@]}"; do
    [ "${1:-}" = live ] && break
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

# The live preview, in colour at a maximum width of 513 (511 x 142 cells on the whole
# photographs): from the change (the key, slider step or width typed) to the repainted view,
# the median, against the command line's whole conversion of the same picture to plain text (goal
# <= 0.25x); and the longest stall of the window's event loop while keys are typed into the
# width and size fields (goal <= 50 ms).
echo "live preview, colour, max width 513"
for picture in "${pictures[@]}"; do
    case $picture in *-square.jpg) continue ;; esac
    echo "$(basename "$picture")"
    text=$("$TIMER" time "$RUNS" "$CLI" --max-width 513 -f text "$picture" | awk '{ print $1 }')
    "$WINDOW" "$RESOURCES" "$picture" 513 "$RUNS" --color --live 2>/dev/null |
        awk -v c="$text" '
            $1 == "fill" { printf "  %-22s %.1f ms (median %.1f ms)\n", "fill the view", $2 * 1000, $3 * 1000 }
            $1 == "charset" || $1 == "brightness" || $1 == "width" {
                r = $4 / c
                printf "  %-22s from the change %.1f ms = %.2fx cli %.1f ms (goal <= 0.25x: %s); from the timer %.1f ms (best %.1f), exact view %.1f ms\n",
                    $1, $4 * 1000, r, c * 1000, r <= 0.25 ? "meets" : "MISSES", $3 * 1000, $2 * 1000, $5 * 1000
            }
            $1 ~ /^stall/ { printf "  %-22s longest stall %.1f ms (goal <= 50 ms: %s)\n", $1, $2 * 1000, $2 <= 0.05 ? "meets" : "MISSES" }'
done
