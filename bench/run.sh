#!/usr/bin/env bash
# Runs every benchmark script under bench/ in one go; each prints its own ratios.
set -euo pipefail
cd "$(dirname "$0")"
for script in imaging.sh cli.sh outputs.sh tone.sh tiff.sh png.sh preview.sh fidelity.sh; do
    if [ -x "$script" ]; then
        echo "== $script"
        ./"$script"
    fi
done
