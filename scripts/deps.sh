#!/usr/bin/env bash
# Installs the Debian packages DOSETTA needs to build, test and run its demo.
# Idempotent: returns at once when everything is present.
set -euo pipefail

packages=(
    cmake g++ make ninja-build pkg-config
    # the linker for the many test executables, and the compiler cache
    lld ccache
    qtbase5-dev libqt5serialport5-dev qttools5-dev qttools5-dev-tools qhelpgenerator-qt5
    # Qt's own dialogs in German (qtbase_de.qm); lupdate and lrelease come with qttools5-dev-tools
    qttranslations5-l10n
    libqt5charts5-dev
    # the journal: Qt SQL's SQLite driver
    libqt5sql5-sqlite
    # the MQTT bridge (libmosquitto, OpenSSL), the fleet benchmark's own client (Paho), and the
    # broker and clients the tests run against
    libmosquitto-dev libssl-dev libpaho-mqttpp-dev libpaho-mqtt-dev mosquitto mosquitto-clients
    openssl
    fonts-liberation
    xvfb xauth
    # clang with its sanitizer and libFuzzer runtimes, for the test command's second stage
    clang libclang-rt-14-dev
    # manual page checks and the Debian package
    groff-base man-db dpkg-dev file lintian
    # the completion check of dosetta-cli
    bash-completion
    # systemd-analyze, which checks the bridge's service unit
    systemd
    # the SiLA 2 server: gRPC and protobuf with their code generators, Avahi for discovery
    libgrpc++-dev protobuf-compiler-grpc libprotobuf-dev protobuf-compiler libavahi-client-dev
    # its tests: an Avahi daemon on its own bus in a network namespace, and a Python client
    avahi-daemon avahi-utils dbus iproute2 python3-grpcio python3-protobuf
    # the certificate's UUID extension, read by the tests' client
    python3-cryptography
)
# Optional extras passed by the caller.
packages+=("$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
        echo "deps: missing packages (${missing[*]}); run as root to install them" >&2
        exit 1
    fi
else
    SUDO=
fi
echo "deps: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
