#!/usr/bin/env bash
# The server's announcement read back by Avahi's own browser, in a network namespace of the
# test's own with its own system bus and Avahi daemon: multicast never leaves it, and the
# machine's daemon (if any) is not involved.
# Usage: discovery_check.sh <sila_announce program>
set -euo pipefail
announce=$1

if [ "${2:-}" != --inside ]; then
    for tool in unshare ip dbus-daemon avahi-daemon avahi-browse; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
    if ! unshare --net --mount true 2>/dev/null; then
        echo "SKIP: creating a network namespace is not permitted here"
        exit 77
    fi
    exec timeout 30 unshare --net --mount --propagation private bash "$0" "$announce" --inside
fi

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- announcer"; cat "$work/announce.out" || true
    echo "--- avahi-daemon"; cat "$work/avahi.log" || true
    exit 1
}

ip link set lo up multicast on
# Avahi keeps its pid file and socket in /run/avahi-daemon: a /run of this namespace's own.
mount -t tmpfs tmpfs /run
mkdir -p /run/avahi-daemon

cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
cat >"$work/avahi.conf" <<CONF
[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=lo
enable-dbus=yes
[wide-area]
enable-wide-area=no
[publish]
publish-workstation=no
publish-hinfo=no
CONF

export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/bus

start_avahi() {
    avahi-daemon -f "$work/avahi.conf" --no-drop-root --no-chroot --no-rlimits --no-proc-title \
        >>"$work/avahi.log" 2>&1 &
    avahi=$!
    pids+=($avahi)
    for _ in $(seq 50); do
        avahi-browse -at >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "avahi-daemon did not start"
}

# waits for a line matching $1 in the announcer's output, after line $2
wait_for() {
    for _ in $(seq 100); do
        tail -n +"$(($2 + 1))" "$work/announce.out" | grep -q -- "$1" && return 0
        sleep 0.1
    done
    fail "no \"$1\" from the announcer"
}

uuid=2c6d5a4e-8f1b-4b7e-9c3d-5e6f7a8b9c0d
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=SiLA2 -days 2 \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
long_name=$(printf 'N%.0s' $(seq 300))

# Started before even the bus is there: it says so once and announces when the daemon comes.
mkfifo "$work/in"
"$announce" "$uuid" 50052 1.0.1 "$long_name" "a dosing pump" "$work/cert.pem" \
    <"$work/in" >"$work/announce.out" 2>&1 &
pids+=($!)
exec 3>"$work/in"
wait_for "^problem no Avahi daemon" 0
dbus-daemon --config-file="$work/bus.conf" --nofork 2>/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -S "$work/bus" ] && break; sleep 0.1; done
start_avahi
wait_for "^announced $uuid\$" 0
[ "$(grep -c '^problem' "$work/announce.out")" -eq 1 ] || fail "the missing daemon was not said once"

browse() { avahi-browse -rpt _sila._tcp | grep "^=;lo;IPv4;$uuid;" || true; }
record=$(browse)
[ -n "$record" ] || fail "avahi-browse does not see $uuid"
# The TXT strings, one per line, without their quotes.
txt=$(echo "$record" | cut -d';' -f10- | grep -o '"[^"]*"' | tr -d '"')
echo "$txt" | grep -qx "version=1.0.1" || fail "no version in: $txt"
echo "$txt" | grep -qx "description=a dosing pump" || fail "no description in: $txt"
echo "$record" | cut -d';' -f9 | grep -qx 50052 || fail "wrong port in: $record"
# A name longer than a TXT string may hold is cut to 255 bytes with its key.
name_line=$(echo "$txt" | grep '^server_name=')
[ ${#name_line} -eq 255 ] || fail "server_name string is ${#name_line} bytes, not 255"
# The certificate comes back line by line as ca0, ca1, ... and is the one given.
n=$(echo "$txt" | grep -c '^ca[0-9]*=')
for i in $(seq 0 $((n - 1))); do
    echo "$txt" | grep "^ca$i=" | cut -d= -f2-
done >"$work/back.pem"
cmp -s <(grep -v '^$' "$work/cert.pem") "$work/back.pem" || fail "ca0..ca$((n - 1)) are not the certificate"

# A new name changes the record in place.
lines=$(wc -l <"$work/announce.out")
echo "Bench 7" >&3
for _ in $(seq 50); do
    browse | grep -q '"server_name=Bench 7"' && break
    sleep 0.1
done
browse | grep -q '"server_name=Bench 7"' || fail "the new name was not announced: $(browse)"

# The daemon goes away and comes back: reported, then announced again.
lines=$(wc -l <"$work/announce.out")
kill "$avahi"
wait "$avahi" 2>/dev/null || true
wait_for "^problem lost the Avahi daemon" "$lines"
start_avahi
wait_for "^announced $uuid\$" "$lines"
[ "$(tail -n +"$((lines + 1))" "$work/announce.out" | grep -c '^problem')" -eq 1 ] ||
    fail "the lost daemon was not said once"
browse | grep -q '"server_name=Bench 7"' || fail "not announced again after the restart"

# A second server with the same UUID: Avahi's alternative name, not a failure.
mkfifo "$work/in2"
"$announce" "$uuid" 50053 1.0.1 "second" "" <"$work/in2" >"$work/second.out" 2>&1 &
second=$!
pids+=($second)
exec 4>"$work/in2"
for _ in $(seq 50); do
    [ "$(avahi-browse -pt _sila._tcp | grep -c "^+;lo;IPv4;$uuid")" -ge 2 ] && break
    sleep 0.1
done
[ "$(avahi-browse -pt _sila._tcp | grep -c "^+;lo;IPv4;$uuid")" -ge 2 ] ||
    fail "the second server was not announced beside the first: $(cat "$work/second.out")"
echo "discovery: announced, read back, renamed, re-announced and kept apart from a namesake"
