#!/usr/bin/env bash
# Art fidelity: builds glyphwerk-cli in Release and scores its drawings against jp2a's and
# chafa's with bench/fidelity/fidelity.py (the method is in that file's header). Then times the
# dithered shape match against the default conversion on the 5120 x 2880 photographs.
#
#   bench/fidelity.sh            (BUILD_DIR=build/bench-fidelity; RUNS=5; SHOTS=astronaut;
#                                 WIDTHS=80,160)
#   TABLES=1 bench/fidelity.sh   also scores tables measured through gamma and as lightness
set -euo pipefail
cd "$(dirname "$0")/.."

BUILD_DIR=${BUILD_DIR:-build/bench-fidelity}
RUNS=${RUNS:-5}
OUT=$BUILD_DIR/fidelity

if ! command -v jp2a >/dev/null || ! command -v chafa >/dev/null ||
    ! /usr/bin/python3 -c 'import skimage, scipy, numpy, PIL' 2>/dev/null; then
    scripts/install-deps.sh --bench
fi

mkdir -p "$BUILD_DIR"
if ! { cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DGLYPHWERK_BUILD_GUI=OFF -DGLYPHWERK_BUILD_TESTS=OFF &&
    cmake --build "$BUILD_DIR" -j2 --target glyphwerk-cli glyph-darkness; } \
    >"$BUILD_DIR/bench-build.log" 2>&1; then
    cat "$BUILD_DIR/bench-build.log" >&2
    exit 1
fi
CLI=$BUILD_DIR/src/cli/glyphwerk-cli

configs=(
    --config "default="
    --config "dither=--dither"
    --config "shape=--match shape"
    --config "shape+dither=--match shape --dither"
)
# The program's own automatic contrast when it has one; the benchmark's estimate otherwise.
if "$CLI" --help 2>&1 | grep -q -- --auto-contrast; then
    configs+=(
        --config "auto-contrast=--auto-contrast"
        --config "shape+auto-contrast=--match shape --auto-contrast"
        --config "shape+dither+auto-contrast=--match shape --dither --auto-contrast"
    )
fi
configs+=(
    --config "stretched (estimate)="
    --config "stretched shape+dither (estimate)=--match shape --dither"
)
if [ -n "${TABLES:-}" ]; then
    mkdir -p "$OUT/tables"
    for measure in gamma lightness; do
        "$BUILD_DIR/tools/glyph-darkness" --measure "$measure" "$OUT/tables/$measure.txt"
        configs+=(--config "$measure table=--table $OUT/tables/$measure.txt")
    done
fi
/usr/bin/python3 bench/fidelity/fidelity.py "$CLI" "$OUT" --shots "${SHOTS:-astronaut}" \
    ${WIDTHS:+--widths "$WIDTHS"} "${configs[@]}"
echo "drawings of ${SHOTS:-astronaut}: $OUT/shots"

# Best CPU seconds (user + system) of RUNS runs: steadier than wall time on a shared machine.
cpu() {
    local best=""
    for _ in $(seq "$RUNS"); do
        local t
        t=$({ /usr/bin/time -f '%U %S' "$CLI" -w 513 "$@" >/dev/null; } 2>&1 | tail -n 1 |
            awk '{ print $1 + $2 }')
        best=$(awk -v a="$t" -v b="${best:-$t}" 'BEGIN { print (a < b ? a : b) }')
    done
    echo "$best"
}
wallpapers=/usr/share/wallpapers
echo
echo "conversion time, width 513, best CPU seconds of $RUNS" \
    "(goal: --match shape --dither <= 1.5 x the default)"
for photo in "$wallpapers/Patak/contents/images/5120x2880.png" \
    "$wallpapers/Volna/contents/images/5120x2880.jpg"; do
    [ -f "$photo" ] || continue
    darkness=$(cpu "$photo")
    shape=$(cpu --match shape --dither "$photo")
    printf '%s\n    default %ss  --match shape --dither %ss  ratio %s\n' "$photo" "$darkness" \
        "$shape" "$(awk -v a="$shape" -v b="$darkness" 'BEGIN { printf "%.2f", a / b }')"
done
