#!/usr/bin/env bash
# Checks a built glyphwerk .deb: its metadata, its file list, lintian (no errors), the AppStream
# data, the desktop entry, the manual pages, and that no binary names the folder it was built in.
set -euo pipefail
deb=$(realpath "$1")
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "check-package: $*" >&2
    exit 1
}

# Metadata: name, version from the build, and the libraries loaded at run time among Depends.
version=$(sed -n 's/^project(Glyphwerk VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ "$(basename "$deb")" = "glyphwerk_${version}_$(dpkg --print-architecture).deb" ] ||
    fail "unexpected file name $(basename "$deb")"
[ "$(dpkg-deb -f "$deb" Package)" = glyphwerk ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libtiff6 libfreetype6 libfontconfig1 libqt6widgets6 libqt6uitools6 libcurl4 \
    libjpeg62-turbo libpng16-16 libgif7 libisal2 libqt6svg6; do
    [[ ", $depends," == *", $library "* || ", $depends," == *", $library,"* ]] ||
        fail "Depends lacks $library: $depends"
done

# The file list.
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|' | grep -v '/$' | sort >"$work/files"
expected=(
    /usr/bin/glyphwerk /usr/bin/glyphwerk-cli
    /usr/share/glyphwerk/Table.txt /usr/share/glyphwerk/Preview.ui
    /usr/share/glyphwerk/Samples/lighthouse.png
    /usr/share/applications/glyphwerk.desktop
    /usr/share/metainfo/org.glyphwerk.Glyphwerk.metainfo.xml
    /usr/share/icons/hicolor/scalable/apps/glyphwerk.svg
    /usr/share/man/man1/glyphwerk.1.gz /usr/share/man/man1/glyphwerk-cli.1.gz
    /usr/share/bash-completion/completions/glyphwerk-cli
    /usr/share/doc/glyphwerk/copyright /usr/share/doc/glyphwerk/changelog.gz
)
for size in 16 22 24 32 48 64 128 256 512; do
    expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/glyphwerk.png")
done
for file in "${expected[@]}"; do
    grep -qx "$file" "$work/files" || fail "the package lacks $file"
done
if grep -v -e '^/usr/bin/' -e '^/usr/share/' "$work/files"; then fail "files outside /usr"; fi

# Validators.
lintian --fail-on error --display-info --pedantic "$deb" | tee "$work/lintian"
desktop-file-validate "$work/root/usr/share/applications/glyphwerk.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.glyphwerk.Glyphwerk.metainfo.xml"
for page in glyphwerk glyphwerk-cli; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$work/root/usr/share/man/man1/$page.1.gz" \
        2>"$work/man-warnings" >/dev/null
    [ ! -s "$work/man-warnings" ] || fail "$page.1: $(cat "$work/man-warnings")"
done

# The completion offers the program's own options and formats.
complete_words() {
    PATH="$work/root/usr/bin:$PATH" bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1/usr/share/bash-completion/completions/glyphwerk-cli"
        shift
        COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMP_POINT=${#COMP_LINE}
        _glyphwerk_cli glyphwerk-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
        echo "${COMPREPLY[*]}"' sh "$work/root" "$@"
}
[ "$(complete_words glyphwerk-cli --fo)" = "--format --font --font-size" ] ||
    fail "completion of --fo: $(complete_words glyphwerk-cli --fo)"
[[ " $(complete_words glyphwerk-cli -f '') " == *" text "*" tiff "* ]] ||
    fail "completion of -f: $(complete_words glyphwerk-cli -f '')"

# The installed programs name neither this checkout nor any build folder.
for program in "$work/root/usr/bin/"*; do
    if strings "$program" | grep -F -e "$root" -e "/build/"; then
        fail "$program names a build path"
    fi
done
echo "check-package: $(basename "$deb") is sound ($(wc -l <"$work/files") files)"
