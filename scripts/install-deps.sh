#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing need, when any is missing.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-tools-dev libqt6opengl6-dev libgl-dev libqt6svg6
    libjpeg62-turbo-dev libpng-dev zlib1g-dev libisal-dev libgif-dev libtiff-dev
    libfreetype-dev libfontconfig-dev fonts-dejavu-core fonts-liberation
    libcurl4-openssl-dev ca-certificates
    libgtest-dev libgmock-dev
)
case "${1:-}" in
--test)
    # The second compiler of `make test`, the readers the RTF tests check documents with, the
    # locale sources the table test compiles a decimal-comma locale from, Noto Sans Mono (the
    # monospace font of many desktops, whose files carry no spacing property), and the checkers
    # of the package that `make test` builds.
    packages+=(clang unrtf libreoffice-writer-nogui locales fonts-noto-mono lintian appstream
        desktop-file-utils man-db bash-completion)
    ;;
--fuzz) packages+=(clang libclang-rt-dev) ;; # libFuzzer builds
--bench)
    # The peers the benchmarks compare against, the tools that time them, and the photographs
    # they run on.
    # bench/fidelity scores drawings with scikit-image's SSIM and takes its portraits from
    # scikit-image's sample pictures.
    packages+=(jp2a chafa libjpeg-turbo-progs hyperfine imagemagick time python3 python3-pil
        plasma-workspace-wallpapers python3-numpy python3-scipy python3-skimage fontconfig)
    ;;
esac

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
