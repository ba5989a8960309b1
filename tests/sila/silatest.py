"""What the SiLA test files share: a rig with a connected client, and the identifiers."""

import unittest

import harness
import silaclient

SERVICE = silaclient.SILA_SERVICE
DOSING = "org.dosetta/dispensing/DosingPumpController/v1"
PAUSE = "org.silastandard/core.commands/PauseController/v1"
CANCEL = "org.silastandard/core.commands/CancelController/v1"
ALL_FEATURES = {SERVICE, DOSING, PAUSE, CANCEL}

# A piece of client metadata from a feature we do not serve; any is refused.
FOREIGN_METADATA = silaclient.metadata_key(
    "org.silastandard/core/AuthorizationService/v1/Metadata/AccessToken")


def connect(server, credentials=None, options=()):
    client = silaclient.Client(server.channel(credentials, options), harness.service_fdl())
    client.discover()
    return client


class RigTest(unittest.TestCase):
    """One simulator and one server for the whole class; control allowed unless the class
    says otherwise."""

    rig_options = {}

    @classmethod
    def setUpClass(cls):
        cls.rig = harness.Rig(**cls.rig_options)
        try:
            cls.client = connect(cls.rig.server)
        except Exception:
            cls.rig.close()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.client.channel.close()
        cls.rig.close()

    def assertSilaError(self, context, kind, **fields):
        """The error the with-block raised is a SiLA error of this kind with these fields."""
        error = context.exception
        self.assertIsInstance(error, silaclient.SilaError)
        self.assertEqual(error.kind, kind, str(error))
        for name, value in fields.items():
            self.assertEqual(getattr(error, name), value, str(error))
        return error
