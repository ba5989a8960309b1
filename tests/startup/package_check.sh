#!/usr/bin/env bash
# Builds the Debian package of this build tree into a scratch folder, checks its control fields
# and contents, unpacks it (dpkg-deb -x, nothing is installed) and runs the unpacked programs.
#
#   package_check.sh <cpack> <build dir> <version>
set -euo pipefail
cpack=$1 build=$2 version=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$build" && "$cpack" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1) ||
    fail "cpack failed: $(tail -n 20 "$scratch/cpack.log")"
arch=$(dpkg --print-architecture)
deb="$scratch/out/dosetta_${version}_${arch}.deb"
[ -s "$deb" ] || fail "no $(basename "$deb"): $(ls "$scratch/out")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = dosetta ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
# Computed from the programs' libraries, plus the fonts named by hand.
for package in libc6 libstdc++6 libqt5core5a libqt5widgets5 libqt5serialport5 libqt5help5 \
    libmosquitto1 libavahi-client3 fonts-liberation qttranslations5-l10n; do
    tr ',|' '\n\n' <<<"$depends" | awk '{print $1}' | grep -xF "$package" >/dev/null ||
        fail "Depends lacks $package: $depends"
done
# The SiLA server's announcement needs the Avahi daemon, and runs without it.
field Recommends | tr ',' '\n' | awk '{print $1}' | grep -qx avahi-daemon ||
    fail "Recommends lacks avahi-daemon: $(field Recommends)"

dpkg-deb -x "$deb" "$scratch/root"
for file in usr/bin/dosetta usr/bin/dosetta-cli usr/bin/fluxo-sim \
    usr/share/dosetta/doc/HelpContentCol.qhc usr/share/dosetta/doc/dosetta.qch \
    usr/share/dosetta/doc/de/HelpContentCol.qhc usr/share/dosetta/doc/de/dosetta.qch \
    usr/share/dosetta/translations/dosetta_de.qm usr/share/applications/dosetta.desktop \
    usr/share/icons/hicolor/256x256/apps/dosetta.png \
    usr/share/man/man1/dosetta.1.gz usr/share/man/man1/dosetta-cli.1.gz \
    usr/share/man/man1/fluxo-sim.1.gz usr/share/bash-completion/completions/dosetta-cli \
    usr/lib/systemd/system/dosetta.service usr/lib/systemd/system/dosetta-bridge@.service \
    usr/lib/systemd/system/dosetta-sila@.service \
    usr/share/doc/dosetta/examples/rinse-and-dose.json \
    usr/share/doc/dosetta/examples/one-pump.conf usr/share/doc/dosetta/examples/two-pumps.conf \
    usr/share/doc/dosetta/copyright usr/share/doc/dosetta/changelog.gz; do
    [ -s "$scratch/root/$file" ] || fail "the package lacks /$file"
done
# Nothing of the build or the tests.
extra=$(cd "$scratch/root" && find . -type f |
    grep -vE '^\./usr/(bin/(dosetta|dosetta-cli|fluxo-sim)$|share/(dosetta/(doc|translations)|applications|icons|man|doc/dosetta/examples)/|share/doc/dosetta/(copyright|changelog\.gz)$|share/bash-completion/completions/dosetta-cli$|lib/systemd/system/dosetta(-(bridge|sila)@)?\.service$)' ||
    true)
[ -z "$extra" ] || fail "the package holds more: $extra"

# The changelog's latest entry is this version: a release that forgot it is caught here.
latest=$(gzip -dc "$scratch/root/usr/share/doc/dosetta/changelog.gz" | sed -n 1p)
[[ "$latest" == "dosetta ($version) "* ]] || fail "the changelog begins with '$latest'"

# Debian's own checks: an error fails; warnings are shown.
if ! command -v lintian >/dev/null; then
    fail "lintian is missing (scripts/deps.sh installs it)"
fi
lintian --tag-display-limit 0 "$deb" >"$scratch/lintian.log" 2>&1 || true
if grep -q '^E: ' "$scratch/lintian.log"; then
    fail "lintian: $(grep '^E: ' "$scratch/lintian.log")"
fi
grep '^W: ' "$scratch/lintian.log" || true

for program in dosetta dosetta-cli fluxo-sim; do
    shown=$(env -u DISPLAY -u QT_QPA_PLATFORM "$scratch/root/usr/bin/$program" --version) ||
        fail "the unpacked $program --version failed"
    [ "$shown" = "$program $version" ] || fail "the unpacked $program says '$shown'"
done
echo "package $(basename "$deb") checked; Depends: $depends"
