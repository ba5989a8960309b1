"""TLS with the server's self-signed certificate, trusted the way a lab client would: the
certificate it serves (or finds in the server's folder) is checked against the UUID it
carries and then pinned as the only root."""

import glob
import os
import socket
import ssl
import stat
import unittest

import grpc
from cryptography import x509
from cryptography.x509.oid import ExtensionOID, NameOID

import harness
from silatest import DOSING, SERVICE, connect

# The private enterprise number the standard uses for the server UUID extension.
UUID_EXTENSION = x509.ObjectIdentifier("1.3.6.1.4.1.58583")


def served_certificate(port):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname = False
    context.verify_mode = ssl.CERT_NONE
    context.set_alpn_protocols(["h2"])
    with socket.create_connection(("127.0.0.1", port), timeout=5) as raw:
        with context.wrap_socket(raw) as tls:
            return ssl.DER_cert_to_PEM_cert(tls.getpeercert(binary_form=True)).encode()


def uuid_in(certificate):
    """The UUID text in the extension, unwrapped from a DER string if it is one."""
    value = certificate.extensions.get_extension_for_oid(UUID_EXTENSION).value.value
    # UTF8String, IA5String, PrintableString or OCTET STRING with a short length.
    if len(value) > 2 and value[0] in (0x0C, 0x16, 0x13, 0x04) and value[1] == len(value) - 2:
        value = value[2:]
    return value.decode("ascii")


def host_names(certificate):
    try:
        san = certificate.extensions.get_extension_for_oid(
            ExtensionOID.SUBJECT_ALTERNATIVE_NAME).value
        names = san.get_values_for_type(x509.DNSName)
        addresses = [str(a) for a in san.get_values_for_type(x509.IPAddress)]
    except x509.ExtensionNotFound:
        names, addresses = [], []
    common = [a.value for a in certificate.subject.get_attributes_for_oid(NameOID.COMMON_NAME)]
    return names + common, addresses


class TlsTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.rig = harness.Rig(insecure=False)

    @classmethod
    def tearDownClass(cls):
        cls.rig.close()

    def credentials(self, pem):
        names, addresses = host_names(x509.load_pem_x509_certificate(pem))
        options = []
        if "127.0.0.1" not in addresses:
            self.assertTrue(names, "the certificate names no host")
            options.append(("grpc.ssl_target_name_override", names[0]))
        return grpc.ssl_channel_credentials(root_certificates=pem), options

    def test_pinned_self_signed_certificate(self):
        pem = served_certificate(self.rig.server.port)
        certificate = x509.load_pem_x509_certificate(pem)
        self.assertEqual(certificate.issuer, certificate.subject, "not self-signed")
        credentials, options = self.credentials(pem)
        client = connect(self.rig.server, credentials, options)
        try:
            self.assertEqual(uuid_in(certificate), client.feature(SERVICE).get("ServerUUID"))
            # The dosing feature is served over the same channel.
            self.assertIn(client.feature(DOSING).subscribe("PumpState", timeout=5).__next__(),
                          {"stopped", "running", "paused", "priming", "unknown"})
        finally:
            client.channel.close()

    def test_certificate_and_key_are_kept_with_the_settings(self):
        pem = served_certificate(self.rig.server.port)
        kept = {}
        for path in glob.glob(os.path.join(self.rig.config, "**", "*"), recursive=True):
            if os.path.isfile(path):
                with open(path, "rb") as f:
                    kept[path] = f.read()
        certificates = [p for p, text in kept.items() if b"BEGIN CERTIFICATE" in text]
        keys = [p for p, text in kept.items() if b"PRIVATE KEY" in text]
        self.assertEqual(len(certificates), 1, sorted(kept))
        self.assertEqual(len(keys), 1, sorted(kept))
        self.assertEqual(x509.load_pem_x509_certificate(kept[certificates[0]]),
                         x509.load_pem_x509_certificate(pem))
        mode = stat.S_IMODE(os.stat(keys[0]).st_mode)
        self.assertEqual(mode & 0o077, 0, f"key mode {oct(mode)}")

        # The next start serves the same certificate.
        self.rig.restart(insecure=False)
        self.assertEqual(served_certificate(self.rig.server.port), pem)

    def test_untrusted_or_plain_clients_get_nothing(self):
        other = harness.Rig(insecure=False)
        try:
            foreign, options = self.credentials(served_certificate(other.server.port))
        finally:
            other.close()
        rows = [("another server's certificate",
                 grpc.secure_channel(self.rig.server.target, foreign, options)),
                ("plain text", grpc.insecure_channel(self.rig.server.target))]
        for name, channel in rows:
            with self.subTest(name):
                with self.assertRaises(grpc.FutureTimeoutError):
                    grpc.channel_ready_future(channel).result(timeout=3)
                channel.close()


if __name__ == "__main__":
    unittest.main()
