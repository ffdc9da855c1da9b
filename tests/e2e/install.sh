#!/usr/bin/env bash
# Installation: everything the programs open beside themselves lands in the
# program folder, with a desktop entry; a user who may not write to that
# folder keeps vo.ini (and the saved lesson list) under $XDG_CONFIG_HOME.
set -euo pipefail
BUILD=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
PREFIX=$WORK/opt/tavrin

cmake --install "$BUILD" --prefix "$PREFIX" >"$WORK/install.log" || fail "install: $(cat "$WORK/install.log")"
for f in tavrin-cli sy.otf "ShortcutKey .txt" version.txt coverYUV_720.yuv backcoverYUV_1080.yuv; do
    [ -s "$PREFIX/bin/$f" ] || fail "$f not in the program folder"
done
ls "$PREFIX/bin/buttons/"PNG_*.png >/dev/null 2>&1 || fail "button pictures not installed"
if [ -x "$BUILD/bin/tavrin" ]; then [ -x "$PREFIX/bin/tavrin" ] || fail "tavrin not installed"; fi
grep -qx "Exec=$PREFIX/bin/tavrin" "$PREFIX/share/applications/tavrin.desktop" || fail "desktop entry"
[ -s "$PREFIX/share/icons/hicolor/scalable/apps/tavrin.svg" ] || fail "icon"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in the build"
grep -q "Tavrin $version " "$PREFIX/bin/version.txt" || fail "version.txt without version $version"

# The installer's defaults, left in the program folder by an administrator.
printf '[Platform]\nHost=platform.example.invalid\n' >"$PREFIX/bin/vo.ini"
chmod 755 "$WORK" "$WORK/opt" "$PREFIX" "$PREFIX/bin"

# A user who may write to the program folder (root here) uses vo.ini there.
out=$(HOME="$WORK" "$PREFIX/bin/tavrin-cli" settings)
grep -q "^settings file  *$PREFIX/bin/vo.ini$" <<<"$out" || fail "writable folder: $out"

# Anybody else reads and writes their own copy, seeded from the installed one.
mkdir -m 777 "$WORK/home" "$WORK/config"
out=$(setpriv --reuid=65534 --regid=65534 --clear-groups \
      env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" "$PREFIX/bin/tavrin-cli" settings)
grep -q "^settings file  *$WORK/config/tavrin/vo.ini$" <<<"$out" || fail "read-only folder: $out"
grep -q '^Host=platform.example.invalid$' "$WORK/config/tavrin/vo.ini" || fail "not seeded from the installed vo.ini"
grep -q '^Count=5$' "$WORK/config/tavrin/vo.ini" || fail "defaults not written to the user's copy"
echo "install: ok"
