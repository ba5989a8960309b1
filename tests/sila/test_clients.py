"""Who may run the pump: client certificates from the lab's authority (made here with openssl),
control for named clients alone, and the refusal to offer control to anyone on a non-loopback
address; the first line names every address bound, as ss sees them."""

import os
import shutil
import subprocess
import tempfile
import unittest

import grpc
from cryptography import x509

import harness
import silaclient
from silatest import DOSING, SERVICE, connect
from test_tls import host_names, served_certificate


EC = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, timeout=30, capture_output=True)


class Authority:
    """A lab authority in a folder, and the client certificates it signs."""

    def __init__(self, folder, name):
        self.folder, self.name = folder, name
        self.pem = os.path.join(folder, f"{name}.pem")
        openssl("req", "-x509", *EC, "-keyout", f"{name}.key", "-out", self.pem, "-days", "2",
                "-subj", f"/CN={name}", cwd=folder)
        with open(os.path.join(folder, "client.ext"), "w", encoding="utf-8") as f:
            f.write("basicConstraints = CA:FALSE\nextendedKeyUsage = clientAuth\n")

    def client(self, common_name):
        """(key, certificate) PEM bytes of a client certificate it signed."""
        stem = os.path.join(self.folder, f"{self.name}-{common_name}")
        openssl("req", *EC, "-keyout", f"{stem}.key", "-out", f"{stem}.csr", "-subj",
                f"/CN={common_name}", cwd=self.folder)
        openssl("x509", "-req", "-in", f"{stem}.csr", "-CA", self.pem, "-CAkey",
                f"{self.name}.key", "-CAcreateserial", "-out", f"{stem}.pem", "-days", "2",
                "-extfile", "client.ext", cwd=self.folder)
        with open(f"{stem}.key", "rb") as k, open(f"{stem}.pem", "rb") as c:
            return k.read(), c.read()


class ClientCertificateTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="sila-clients-")
        cls.lab = Authority(cls.folder, "lab")
        cls.rig = harness.Rig(speed=5, insecure=False, allow_control=False,
                              extra=["--client-ca", cls.lab.pem, "--allow-control-for", "lab-a"])
        cls.server_pem = served_certificate(cls.rig.server.port)

    @classmethod
    def tearDownClass(cls):
        cls.rig.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def channel_options(self):
        names, addresses = host_names(x509.load_pem_x509_certificate(self.server_pem))
        return [] if "127.0.0.1" in addresses else [("grpc.ssl_target_name_override", names[0])]

    def credentials(self, pair):
        key, cert = pair if pair else (None, None)
        return grpc.ssl_channel_credentials(root_certificates=self.server_pem, private_key=key,
                                            certificate_chain=cert)

    def client_for(self, pair):
        return connect(self.rig.server, self.credentials(pair), self.channel_options())

    def test_clients_without_the_authoritys_certificate_are_refused_at_the_handshake(self):
        other = Authority(self.folder, "other")
        rows = [("no certificate", None), ("another authority's", other.client("lab-a"))]
        for name, pair in rows:
            with self.subTest(name):
                channel = grpc.secure_channel(self.rig.server.target, self.credentials(pair),
                                              self.channel_options())
                try:
                    stub = channel.unary_unary(
                        "/sila2.org.silastandard.core.silaservice.v1.SiLAService/"
                        "Get_ServerUUID", request_serializer=lambda m: b"",
                        response_deserializer=lambda b: b)
                    with self.assertRaises(grpc.RpcError) as ctx:
                        stub(object(), timeout=5)
                    self.assertEqual(ctx.exception.code(), grpc.StatusCode.UNAVAILABLE)
                finally:
                    channel.close()

    def test_a_named_client_runs_a_dose_under_its_name(self):
        client = self.client_for(self.lab.client("lab-a"))
        try:
            dosing = client.feature(DOSING)
            execution = dosing.start("DoseVolume", Volume=50.0, FlowRate=10.0)
            started = harness.wait_for(lambda: [
                e for e in self.rig.server.journal_entries("run-start")
                if e["fields"].get("request") == execution], 10)
            dosing.call("StopDosage")
            self.assertTrue(started, self.rig.server.journal_entries("run-start"))
            self.assertEqual((started[0]["origin"], started[0]["who"]), ("sila", "lab-a"))
        finally:
            client.channel.close()

    def test_a_client_not_named_may_read_and_stop_but_not_run(self):
        client = self.client_for(self.lab.client("lab-b"))
        try:
            self.assertTrue(client.feature(SERVICE).get("ServerUUID"))
            dosing = client.feature(DOSING)
            mark = self.rig.sim.mark()
            for command, params in [("DoseVolume", {"Volume": 1.0, "FlowRate": 10.0}),
                                    ("GenerateFlow", {"FlowRate": 10.0, "RunTime": 5.0})]:
                with self.subTest(command):
                    with self.assertRaises(silaclient.SilaError) as ctx:
                        dosing.start(command, **params)
                    self.assertEqual(ctx.exception.kind, "framework", str(ctx.exception))
                    self.assertIn("lab-b", ctx.exception.message)
            # Written by the journal's own thread, a little after the answer.
            self.assertTrue(harness.wait_for(lambda: [
                e for e in self.rig.server.journal_entries("refused") if e.get("who") == "lab-b"],
                5), self.rig.server.journal_entries("refused"))
            self.assertEqual(self.rig.sim.commands(since=mark), [])
            # Stop goes first, whoever asks: it reaches the pump.
            self.assertEqual(dosing.call("StopDosage"), {})
            self.assertTrue(harness.wait_for(
                lambda: any(f.body.endswith("KY0") for f in self.rig.sim.commands(since=mark)),
                5), self.rig.sim.commands(since=mark))
        finally:
            client.channel.close()


def listening(port):
    """What ss sees listening on the port: "127.0.0.1:P", "[::1]:P", "[::]:P (IPv6 and IPv4)"
    for a wildcard that takes both (ss writes it "*")."""
    out = subprocess.run(["ss", "-Hltn", f"sport = :{port}"], capture_output=True, text=True,
                         timeout=10, check=True).stdout
    found = set()
    for line in out.splitlines():
        host, _, p = line.split()[3].rpartition(":")
        host = host.replace("[::ffff:", "").rstrip("]") if "." in host else host
        found.add(f"[::]:{p} (IPv6 and IPv4)" if host == "*" else f"{host}:{p}")
    return found


class ListenTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="sila-listen-")
        self.config = os.path.join(self.folder, "config")
        os.makedirs(self.config)
        self.sim = harness.Simulator(self.folder)

    def tearDown(self):
        self.sim.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def run_server(self, args):
        env = dict(os.environ, XDG_CONFIG_HOME=self.config,
                   DOSETTA_JOURNAL=os.path.join(self.folder, "journal.sqlite"))
        return subprocess.run([harness.program("DOSETTA_CLI"), "--port", self.sim.link,
                               "--address", "1", "sila", "--no-discovery", *args], env=env,
                              capture_output=True, text=True, timeout=20, check=False)

    def test_control_for_anyone_on_a_non_loopback_address_is_refused_at_start(self):
        rows = [
            ("IPv4 wildcard", ["--listen", "0.0.0.0:0", "--allow-control"], "--allow-anyone"),
            ("IPv6 wildcard, plain text",
             ["--listen", "[::]:0", "--insecure", "--allow-control"], "--allow-anyone"),
        ]
        for name, args, reason in rows:
            with self.subTest(name):
                done = self.run_server(args)
                self.assertEqual(done.returncode, 2, done.stderr)
                self.assertIn(reason, done.stderr)
                self.assertEqual(done.stdout, "")

    def test_the_first_line_names_every_address_bound(self):
        rows = [("loopback by name", ["--listen", "localhost:0", "--allow-control"]),
                ("IPv6 loopback", ["--listen", "[::1]:0", "--allow-control"]),
                ("every address, said so", ["--listen", "0.0.0.0:0", "--allow-control",
                                            "--allow-anyone"])]
        for name, args in rows:
            with self.subTest(name):
                server = harness.Server(self.sim, self.config, insecure=True,
                                        allow_control=False, command=[
                                            "--port", self.sim.link, "--address", "1", "sila",
                                            "--no-discovery", "--insecure", *args])
                try:
                    line = server.first_line
                    bound = set(line.split(") on ", 1)[1].split(", "))
                    self.assertEqual(bound, listening(server.port), line)
                    if "--allow-anyone" in args:
                        self.assertIn("anyone", line)
                        self.assertTrue(harness.wait_for(
                            lambda: any("--allow-anyone" in e for e in server.errors), 5),
                            server.errors)
                finally:
                    server.stop()


if __name__ == "__main__":
    unittest.main()
