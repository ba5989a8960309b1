"""Who may run the pump: client certificates from the lab's authority (made here with openssl),
control for named clients alone, and the refusal to offer control to anyone on a non-loopback
address; the first line names every address bound, as ss sees them."""

import os
import shutil
import socket
import ssl
import subprocess
import tempfile
import unittest

import grpc
from cryptography import x509

import harness
import silaclient
from silatest import DOSING, SERVICE, Watch, connect
from test_tls import host_names


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, timeout=30, capture_output=True)


class Authority:
    """A lab authority and the client certificates it signs, in a folder."""

    def __init__(self, folder, name):
        self.folder = folder
        self.name = name
        openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.pem", "-days", "2", "-subj",
                f"/CN={name}", cwd=folder)
        with open(os.path.join(folder, "client.ext"), "w", encoding="utf-8") as f:
            f.write("basicConstraints = CA:FALSE\nextendedKeyUsage = clientAuth\n")

    @property
    def pem(self):
        return os.path.join(self.folder, f"{self.name}.pem")

    def client(self, common_name):
        """(key, certificate) PEM bytes of a client certificate it signed."""
        stem = f"{self.name}-{common_name}"
        openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                "-keyout", f"{stem}.key", "-out", f"{stem}.csr", "-subj", f"/CN={common_name}",
                cwd=self.folder)
        openssl("x509", "-req", "-in", f"{stem}.csr", "-CA", f"{self.name}.pem", "-CAkey",
                f"{self.name}.key", "-CAcreateserial", "-out", f"{stem}.pem", "-days", "2",
                "-extfile", "client.ext", cwd=self.folder)
        with open(os.path.join(self.folder, f"{stem}.key"), "rb") as k, \
                open(os.path.join(self.folder, f"{stem}.pem"), "rb") as c:
            return k.read(), c.read()


class ClientCertificateTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="sila-clients-")
        cls.lab = Authority(cls.folder, "lab")
        cls.rig = harness.Rig(speed=5, insecure=False, allow_control=False,
                              extra=["--client-ca", cls.lab.pem, "--allow-control-for", "lab-a"])
        cls.server_pem = served_certificate_with(cls.rig, cls.lab.client("probe"))

    @classmethod
    def tearDownClass(cls):
        cls.rig.close()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def channel_options(self):
        names, addresses = host_names(x509.load_pem_x509_certificate(self.server_pem))
        return [] if "127.0.0.1" in addresses else [("grpc.ssl_target_name_override", names[0])]

    def client_for(self, key_and_cert):
        key, cert = key_and_cert if key_and_cert else (None, None)
        credentials = grpc.ssl_channel_credentials(root_certificates=self.server_pem,
                                                   private_key=key, certificate_chain=cert)
        return connect(self.rig.server, credentials, self.channel_options())

    def test_clients_without_the_authoritys_certificate_are_refused_at_the_handshake(self):
        other = Authority(self.folder, "other")
        rows = [("no certificate", None), ("another authority's", other.client("lab-a"))]
        for name, pair in rows:
            with self.subTest(name):
                key, cert = pair if pair else (None, None)
                credentials = grpc.ssl_channel_credentials(
                    root_certificates=self.server_pem, private_key=key, certificate_chain=cert)
                channel = grpc.secure_channel(self.rig.server.target, credentials,
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
            state = Watch(dosing, "PumpState")
            try:
                execution = dosing.start("DoseVolume", Volume=50.0, FlowRate=10.0)
                self.assertTrue(state.wait_latest(lambda s: s == "running", 10), state.values)
                started = self.rig.server.journal_entries("run-start")[-1]
                self.assertEqual((started["origin"], started["who"]), ("sila", "lab-a"), started)
                self.assertEqual(started["fields"]["request"], execution, started)
                dosing.call("StopDosage")
                self.assertTrue(state.wait_latest(lambda s: s == "stopped", 10), state.values)
            finally:
                state.close()
        finally:
            client.channel.close()

    def test_a_client_not_named_may_read_and_stop_but_not_run(self):
        client = self.client_for(self.lab.client("lab-b"))
        try:
            self.assertTrue(client.feature(SERVICE).get("ServerUUID"))
            dosing = client.feature(DOSING)
            mark = self.rig.sim.mark()
            for command, params in [("DoseVolume", {"Volume": 1.0, "FlowRate": 10.0}),
                                    ("GenerateFlow", {"FlowRate": 10.0, "RunTime": 5.0}),
                                    ("Prime", None)]:
                with self.subTest(command):
                    with self.assertRaises(silaclient.SilaError) as ctx:
                        if params is None:
                            dosing.call(command)
                        else:
                            dosing.start(command, **params)
                    self.assertEqual(ctx.exception.kind, "framework", str(ctx.exception))
                    self.assertIn("lab-b", ctx.exception.message)
            refused = self.rig.server.journal_entries("refused")[-1]
            self.assertEqual(refused["who"], "lab-b", refused)
            self.assertEqual(self.rig.sim.commands(since=mark), [])
            # Stop goes first, whoever asks: it reaches the pump.
            self.assertEqual(dosing.call("StopDosage"), {})
            self.assertTrue(harness.wait_for(
                lambda: any(f.body.endswith("KY0") for f in self.rig.sim.commands(since=mark)),
                5), self.rig.sim.commands(since=mark))
        finally:
            client.channel.close()


def served_certificate_with(rig, pair):
    """The server's certificate, read with a client certificate since the server asks for one."""
    folder = tempfile.mkdtemp(prefix="sila-probe-")
    try:
        key, cert = pair
        paths = [os.path.join(folder, n) for n in ("k.pem", "c.pem")]
        for path, data in zip(paths, (key, cert)):
            with open(path, "wb") as f:
                f.write(data)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
        context.check_hostname = False
        context.verify_mode = ssl.CERT_NONE
        context.set_alpn_protocols(["h2"])
        context.load_cert_chain(paths[1], paths[0])
        with socket.create_connection(("127.0.0.1", rig.server.port), timeout=5) as raw:
            with context.wrap_socket(raw) as tls:
                return ssl.DER_cert_to_PEM_cert(tls.getpeercert(binary_form=True)).encode()
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def listening(port):
    """What ss sees listening on the port: "127.0.0.1:P", "[::1]:P", "[::]:P (IPv6 and IPv4)"
    for a wildcard that takes both (ss writes it "*")."""
    out = subprocess.run(["ss", "-Hltn", f"sport = :{port}"], capture_output=True, text=True,
                         timeout=10, check=True).stdout
    found = set()
    for line in out.splitlines():
        local = line.split()[3]
        host, _, p = local.rpartition(":")
        if host == "*":
            found.add(f"[::]:{p} (IPv6 and IPv4)")
        elif host.startswith("[::ffff:") and "." in host:
            found.add(f"{host[8:-1]}:{p}")
        elif host.startswith("[") or host.count(":") == 0:
            found.add(f"{host}:{p}")
        else:
            found.add(f"[{host}]:{p}")
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
        ca = Authority(self.folder, "lab").pem
        rows = [
            ("IPv4 wildcard", ["--listen", "0.0.0.0:0", "--allow-control"], "--allow-anyone"),
            ("IPv6 wildcard, plain text",
             ["--listen", "[::]:0", "--insecure", "--allow-control"], "--allow-anyone"),
            ("a host name", ["--listen", "pump.lab.example:0", "--allow-control"],
             "--allow-anyone"),
            ("names without an authority", ["--listen", "127.0.0.1:0", "--allow-control-for",
                                            "lab-a"], "client authority"),
            ("an authority without TLS", ["--listen", "127.0.0.1:0", "--insecure",
                                          "--client-ca", ca], "TLS"),
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
