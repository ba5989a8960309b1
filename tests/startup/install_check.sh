#!/usr/bin/env bash
# Installs the build into a staging directory (DESTDIR) and checks what a package would hold:
# the program, the command-line tool with its completion, the simulator, the help collection
# where the program looks for it, the desktop entry and its icon. Then starts the staged programs
# from another working directory.
#
#   install_check.sh <cmake> <build dir> <install prefix> <bin dir> <help dir>
# <bin dir> is relative to the prefix; <help dir> is the absolute directory the program was
# built to look in for an installed collection.
set -euo pipefail
cmake=$1 build=$2 prefix=$3 bindir=$4 helpdir=$5

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage/root" timeout 60 "$cmake" --install "$build" >"$stage/install.log" ||
    fail "cmake --install failed: $(tail -n 5 "$stage/install.log")"
root="$stage/root$prefix"
share="$root/share"

for program in dosetta dosetta-cli fluxo-sim; do
    [ -x "$root/$bindir/$program" ] || fail "$program is not installed as a program"
done
for file in "$stage/root$helpdir/HelpContentCol.qhc" "$stage/root$helpdir/dosetta.qch" \
    "$share/applications/dosetta.desktop" "$share/icons/hicolor/256x256/apps/dosetta.png" \
    "$share/bash-completion/completions/dosetta-cli" \
    "$share/dosetta/translations/dosetta_de.qm"; do
    [ -s "$file" ] || fail "missing or empty: ${file#"$stage/root"}"
done
[ "$helpdir" = "$prefix/share/dosetta/doc" ] || fail "help goes to $helpdir, not share/dosetta/doc"
# The installed program carries the directory it looks in once ./doc and its own doc/ are absent.
# The path is kept as a UTF-16 string literal.
# grep reads to the end: with -q it would stop early, and strings, cut off, fails the pipe.
strings -el "$root/$bindir/dosetta" | grep -xF "$helpdir" >/dev/null ||
    fail "the program does not look in $helpdir"

# The desktop entry launches the installed program by name with the themed icon.
desktop="$share/applications/dosetta.desktop"
[ "$(head -n 1 "$desktop")" = "[Desktop Entry]" ] || fail "desktop entry has no [Desktop Entry]"
for line in "Type=Application" "Exec=dosetta" "Icon=dosetta" "Terminal=false"; do
    grep -qx "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -q "^Name=." "$desktop" || fail "desktop entry has no name"
if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
fi

# A 256 x 256 PNG: the signature, then IHDR's width and height as big-endian words.
icon="$share/icons/hicolor/256x256/apps/dosetta.png"
[ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ] || fail "icon is no PNG"
[ "$(od -An -tx1 -j16 -N8 "$icon" | tr -d ' \n')" = "0000010000000100" ] || fail "icon is not 256x256"

# The staged programs start from elsewhere: the simulator reports its device, the program keeps
# running headless until stopped.
mkdir -p "$stage/elsewhere" "$stage/config" "$stage/run"
chmod 700 "$stage/run"
cd "$stage/elsewhere"
"$root/$bindir/fluxo-sim" --help >/dev/null || fail "the installed fluxo-sim does not run"
"$root/$bindir/dosetta-cli" --help >/dev/null || fail "the installed dosetta-cli does not run"
status=0
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$stage/config" XDG_RUNTIME_DIR="$stage/run" \
    DOSETTA_PORTS= timeout 3 "$root/$bindir/dosetta" >/dev/null 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the installed dosetta ended by itself with status $status"
echo "install check passed"
