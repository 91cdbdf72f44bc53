#!/bin/sh
# Builds the Debian package from a build folder and checks what it holds: the programs, the
# desktop entry, the icon, readable manual pages, real package names as dependencies, nothing
# that points into the build folder.
set -eu
build=$1
if ! command -v dpkg-deb >/dev/null 2>&1; then
    echo "SKIPPED: dpkg-deb is missing, so no Debian package can be made here"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*"; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb="$work/brivox_1.4.2.1_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work")"

dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/brivox usr/bin/brivox-cli usr/bin/brivox-devsim usr/bin/brivox-trace \
    usr/share/applications/brivox.desktop usr/share/icons/hicolor/scalable/apps/brivox.svg \
    usr/share/icons/hicolor/48x48/apps/brivox.png; do
    [ -s "$work/root/$file" ] || fail "$file is not in the package"
done
for program in brivox brivox-cli brivox-devsim brivox-trace; do
    [ -x "$work/root/usr/bin/$program" ] || fail "$program is not executable"
    if readelf -d "$work/root/usr/bin/$program" | grep -E 'R(UN)?PATH' | grep -q "$build"; then
        fail "$program looks for libraries in the build folder"
    fi
    page="$work/root/usr/share/man/man1/$program.1.gz"
    [ -s "$page" ] || fail "no manual page for $program"
    MANWIDTH=80 man -l "$page" 2>/dev/null | grep -q "^NAME" || fail "man -l cannot read $page"
done
desktop-file-validate "$work/root/usr/share/applications/brivox.desktop" ||
    fail "the desktop entry does not validate"

depends=$(dpkg-deb -f "$deb" Depends)
[ -n "$depends" ] || fail "no dependencies named"
for name in $(echo "$depends" | tr ',|' '\n\n' | sed 's/(.*)//; s/:.*//' | tr -d ' '); do
    apt-cache show "$name" >/dev/null 2>&1 || dpkg-query -W "$name" >/dev/null 2>&1 ||
        fail "dependency $name is no Debian package"
done
echo "package ok: $(basename "$deb"), depends on: $depends"
