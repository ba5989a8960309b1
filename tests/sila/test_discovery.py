"""Discovery by multicast DNS, inside a network namespace of the test's own so that nothing is
announced beyond it: loopback with multicast, a private system bus and an Avahi daemon of its
own. The client finds the server by browsing, trusts the certificate the TXT record carries and
reads the server's UUID through it.

Run as a script: it enters the namespace (unshare) and runs its tests there.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import grpc
from cryptography import x509

import harness
import test_tls
from silatest import SERVICE, connect

INSIDE = "SILA_DISCOVERY_NAMESPACE"

AVAHI_CONF = """[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=lo
[publish]
publish-hinfo=no
publish-workstation=no
"""


def unescape(text):
    # avahi-browse writes bytes it will not print as \DDD (decimal) and escapes . and \.
    return re.sub(r"\\(\d{3}|.)", lambda m: chr(int(m.group(1))) if m.group(1).isdigit()
                  else m.group(1), text)


def browse(timeout=8):
    """Every resolved _sila._tcp service: {instance: (port, {key: value})}."""
    out = subprocess.run(["avahi-browse", "--resolve", "--terminate", "--parsable",
                          "--no-db-lookup", "_sila._tcp"],
                         capture_output=True, text=True, timeout=timeout).stdout
    found = {}
    for line in out.splitlines():
        fields = line.split(";")
        if fields[0] != "=" or len(fields) < 10:
            continue
        txt = {}
        for entry in re.findall(r'"((?:[^"\\]|\\.)*)"', ";".join(fields[9:])):
            key, _, value = unescape(entry).partition("=")
            txt[key] = value
        found[unescape(fields[3])] = (int(fields[8]), txt)
    return found


def browse_until(predicate, timeout=15):
    """Browses again until predicate(services) holds; returns the last services seen."""
    deadline = time.monotonic() + timeout
    while True:
        services = browse()
        if predicate(services) or time.monotonic() >= deadline:
            return services
        time.sleep(0.3)


def ca_of(txt):
    """The certificate the TXT entries carry, one line of it in each of ca0, ca1, ..."""
    parts = sorted((int(k[2:] or 0), v) for k, v in txt.items() if re.fullmatch(r"ca\d*", k))
    return "".join(v for _, v in parts)


def pem_body(pem):
    return re.sub(r"-----[A-Z ]+-----|\s", "", pem)


def pem_of(text):
    """The certificate as PEM with its lines, however the record wrapped it."""
    body = pem_body(text)
    lines = [body[i:i + 64] for i in range(0, len(body), 64)]
    return "-----BEGIN CERTIFICATE-----\n" + "\n".join(lines) + "\n-----END CERTIFICATE-----\n"


class DiscoveryTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if os.environ.get(INSIDE) != "1":
            raise unittest.SkipTest("runs only inside its network namespace (run the file)")
        cls.children = []
        cls.folder = tempfile.mkdtemp(prefix="sila-mdns-")
        subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
        subprocess.run(["ip", "link", "set", "lo", "multicast", "on"], check=True)
        for path in ("/run/dbus", "/run/avahi-daemon"):
            os.makedirs(path, exist_ok=True)
            subprocess.run(["mount", "-t", "tmpfs", "tmpfs", path], check=True)
        cls.children.append(subprocess.Popen(["dbus-daemon", "--system", "--nofork",
                                              "--nopidfile"]))
        harness.wait_for(lambda: os.path.exists("/run/dbus/system_bus_socket"), 5)
        conf = os.path.join(cls.folder, "avahi-daemon.conf")
        with open(conf, "w") as f:
            f.write(AVAHI_CONF)
        cls.avahi_log = open(os.path.join(cls.folder, "avahi.log"), "w")
        cls.children.append(subprocess.Popen(
            ["avahi-daemon", "--no-drop-root", "--no-chroot", "--no-rlimits", "-f", conf],
            stdout=cls.avahi_log, stderr=subprocess.STDOUT))
        ready = harness.wait_for(lambda: subprocess.run(
            ["avahi-browse", "--all", "--terminate"], capture_output=True, timeout=5
        ).returncode == 0, 10, step=0.2)
        if not ready:
            cls.tearDownClass()
            raise RuntimeError("the namespace's Avahi daemon did not start")

    @classmethod
    def tearDownClass(cls):
        for child in reversed(cls.children):
            child.terminate()
            try:
                child.wait(5)
            except subprocess.TimeoutExpired:
                child.kill()
                child.wait(5)
        cls.avahi_log.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_found_by_browsing_and_reached_with_the_announced_certificate(self):
        rig = harness.Rig(insecure=False, discovery=True, allow_config=True)
        try:
            port = rig.server.port
            services = browse_until(lambda s: any(p == port for p, _ in s.values()))
            mine = {k: v for k, v in services.items() if v[0] == port}
            self.assertEqual(len(mine), 1, services)
            (instance, (_, txt)), = mine.items()

            pem = ca_of(txt)
            self.assertTrue(pem, f"no certificate in {sorted(txt)}")
            self.assertEqual(pem_body(pem), pem_body(test_tls.served_certificate(port).decode()))
            full = pem_of(pem)
            certificate = x509.load_pem_x509_certificate(full.encode())
            names, addresses = test_tls.host_names(certificate)
            options = [] if "127.0.0.1" in addresses else [
                ("grpc.ssl_target_name_override", names[0])]
            client = connect(rig.server, grpc.ssl_channel_credentials(full.encode()), options)
            try:
                service = client.feature(SERVICE)
                self.assertEqual(instance, service.get("ServerUUID"))
                self.assertEqual(txt.get("server_name"), service.get("ServerName"))
                self.assertEqual(txt.get("description"), service.get("ServerDescription"))
                self.assertEqual(txt.get("version"), service.get("ServerVersion"))

                # A new name is announced.
                service.call("SetServerName", ServerName="Bay 7 pump")
                services = browse_until(
                    lambda s: s.get(instance, (0, {}))[1].get("server_name") == "Bay 7 pump")
                self.assertEqual(services.get(instance, (0, {}))[1].get("server_name"),
                                 "Bay 7 pump", services)
            finally:
                client.channel.close()

            # Plain text announces no certificate; --no-discovery announces nothing.
            rig.restart(insecure=True, discovery=True)
            services = browse_until(lambda s: s.get(instance, (0, {}))[0] == rig.server.port)
            self.assertIn(instance, services)
            self.assertEqual(ca_of(services[instance][1]), "", services[instance])

            rig.restart(insecure=True, discovery=False)
            services = browse_until(lambda s: instance not in s, timeout=10)
            self.assertNotIn(instance, services)
        finally:
            rig.close()


def main():
    if os.environ.get(INSIDE) == "1":
        unittest.main(module="test_discovery", argv=[sys.argv[0], "-v"])
        return
    command = ["unshare", "--net", "--mount"]
    if os.getuid() != 0:
        command.append("--map-root-user")
    env = dict(os.environ, **{INSIDE: "1"})
    sys.exit(subprocess.run(command + [sys.executable, os.path.abspath(__file__)],
                            env=env, timeout=110).returncode)


if __name__ == "__main__":
    main()
