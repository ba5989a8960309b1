"""SiLAService and the Feature Definitions, read by a client that knows only the standard."""

import re
import time
import unittest

import harness
import silaclient
from silatest import (ALL_FEATURES, CANCEL, DOSING, FOREIGN_METADATA, PAUSE, SERVICE, RigTest,
                      connect)


class ServiceTest(RigTest):
    rig_options = {"allow_config": True,
                   "extra": ("--vendor-url", "https://lab3.example/pumps/fluxo")}

    def test_implemented_features(self):
        self.assertEqual(set(self.client.feature(SERVICE).get("ImplementedFeatures")),
                         ALL_FEATURES)

    def test_every_property_meets_the_standards_constraints(self):
        # The constraints come from the standard's definition, not from the server's.
        standard = silaclient.FeatureDefinition(harness.service_fdl())
        service = self.client.feature(SERVICE)
        for name, prop in standard.properties.items():
            with self.subTest(property=name):
                value = service.get(name)
                values = value if prop.data_type.kind == "list" else [value]
                c = (prop.data_type.element if prop.data_type.kind == "list"
                     else prop.data_type).constraints
                for v in values:
                    self.assertIsInstance(v, str)
                    if "Pattern" in c:
                        self.assertRegex(v, "^(" + c["Pattern"] + ")$")
                    if "Length" in c:
                        self.assertEqual(len(v), int(c["Length"]))
                    if "MaximalLength" in c:
                        self.assertLessEqual(len(v), int(c["MaximalLength"]))
                self.assertTrue(values and all(values), f"{name} is empty")

    def test_served_service_definition_matches_the_standard(self):
        standard = silaclient.FeatureDefinition(harness.service_fdl())
        served = self.client.definitions[SERVICE]
        for part in ("commands", "properties", "errors"):
            with self.subTest(part=part):
                self.assertEqual(set(getattr(served, part)), set(getattr(standard, part)))
        for name, command in standard.commands.items():
            with self.subTest(command=name):
                got = served.commands[name]
                self.assertEqual([p.identifier for p in got.parameters],
                                 [p.identifier for p in command.parameters])
                self.assertEqual([r.identifier for r in got.responses],
                                 [r.identifier for r in command.responses])
                self.assertEqual(got.observable, command.observable)
                self.assertEqual(got.errors, command.errors)

    def test_each_feature_definition_names_itself(self):
        for identifier in ALL_FEATURES:
            with self.subTest(feature=identifier):
                text = self.client.feature_definition(identifier)
                fdl = silaclient.FeatureDefinition(text)
                self.assertEqual(fdl.fully_qualified, identifier)
                self.assertIn(fdl.attrib.get("SiLA2Version"), ("1.0", "1.1"))
                # Every error a command names is defined in the feature.
                for c in fdl.commands.values():
                    for e in c.errors:
                        self.assertIn(e, fdl.errors, f"{c.identifier} names {e}")

    def test_dosing_feature_definition(self):
        fdl = self.client.definitions[DOSING]
        self.assertEqual(fdl.feature_version, "1.0")
        expected = {
            # command: (observable, parameters, responses, errors)
            "DoseVolume": (True, ["Volume", "FlowRate"], ["VolumeDelivered"],
                           {"PumpError", "PumpRefused", "LinkLost"}),
            "GenerateFlow": (True, ["FlowRate", "RunTime"], ["VolumeDelivered"],
                             {"PumpError", "PumpRefused", "LinkLost"}),
            "StopDosage": (False, [], [], set()),
            "Prime": (False, [], [], {"PumpRefused", "LinkLost"}),
        }
        self.assertEqual(set(fdl.commands), set(expected))
        for name, (observable, params, responses, errors) in expected.items():
            with self.subTest(command=name):
                c = fdl.commands[name]
                self.assertEqual(c.observable, observable)
                self.assertEqual([p.identifier for p in c.parameters], params)
                self.assertEqual([r.identifier for r in c.responses], responses)
                self.assertEqual(set(c.errors), errors)
                for element in c.parameters + c.responses:
                    self.assertTrue(element.display_name and element.description,
                                    element.identifier)
                    self.assertEqual(element.data_type.basic, "Real")
        units = {("DoseVolume", "Volume"): "ml", ("DoseVolume", "FlowRate"): "ml/min",
                 ("GenerateFlow", "FlowRate"): "ml/min", ("GenerateFlow", "RunTime"): "s"}
        for (command, parameter), unit in units.items():
            with self.subTest(unit=parameter):
                p = next(x for x in fdl.commands[command].parameters
                         if x.identifier == parameter)
                label = dict(p.data_type.constraints.get("Unit", [])).get("Label")
                self.assertEqual(label, unit)
        props = {"VolumeDelivered": ("basic", "Real"), "FlowRate": ("basic", "Real"),
                 "PumpState": ("basic", "String"), "ErrorFlags": ("list", "String")}
        self.assertEqual(set(fdl.properties), set(props))
        for name, (kind, basic) in props.items():
            with self.subTest(property=name):
                p = fdl.properties[name]
                self.assertTrue(p.observable)
                self.assertEqual(p.data_type.kind, kind)
                dt = p.data_type.element if kind == "list" else p.data_type
                self.assertEqual(dt.basic, basic)
        states = [v for _, v in fdl.properties["PumpState"].data_type.constraints["Set"]]
        self.assertEqual(set(states), {"stopped", "running", "paused", "priming", "unknown"})

    def test_vendor_url_is_the_labs(self):
        self.assertEqual(self.client.feature(SERVICE).get("ServerVendorURL"),
                         "https://lab3.example/pumps/fluxo")

    def test_unknown_feature(self):
        long_name = "org.example/none/N" + "o" * 300 + "/v1"
        rows = [
            ("unknown originator", "org.example/none/Nothing/v1", "defined"),
            ("longer than an identifier may be", long_name, "defined"),
            ("long and not qualified", "\x1b[2J" + "x" * 300, "validation"),
            ("our feature in a version not served",
             "org.dosetta/dispensing/DosingPumpController/v2", "defined"),
            ("not a fully qualified identifier", "DosingPumpController", "validation"),
        ]
        fdl = self.client.definitions[SERVICE]
        for name, identifier, kind in rows:
            with self.subTest(name):
                with self.assertRaises(silaclient.SilaError) as ctx:
                    self.client.feature_definition(identifier)
                # The client's text comes back only when short, and never with its escapes.
                self.assertEqual(identifier in ctx.exception.message, len(identifier) <= 255)
                self.assertNotIn("\x1b", ctx.exception.message)
                if kind == "defined":
                    self.assertSilaError(ctx, "defined", identifier=fdl.qualify(
                        "DefinedExecutionError", "UnimplementedFeature"))
                else:
                    self.assertSilaError(ctx, "validation", parameter=fdl.qualify(
                        "Command", "GetFeatureDefinition", "Parameter", "FeatureIdentifier"))

    def test_server_name_too_long_is_refused_and_kept(self):
        service = self.client.feature(SERVICE)
        before = service.get("ServerName")
        with self.assertRaises(silaclient.SilaError) as ctx:
            service.call("SetServerName", ServerName="x" * 256)
        self.assertSilaError(ctx, "validation", parameter=self.client.definitions[SERVICE].qualify(
            "Command", "SetServerName", "Parameter", "ServerName"))
        # A request far beyond any the server takes is cut off by gRPC before it is read.
        with self.assertRaisesRegex(silaclient.ProtocolFault, "RESOURCE_EXHAUSTED"):
            service.call("SetServerName", ServerName="x" * 100_000)
        self.assertEqual(service.get("ServerName"), before)

    def test_rename_takes_printable_names_once_a_second(self):
        service = self.client.feature(SERVICE)
        parameter = self.client.definitions[SERVICE].qualify(
            "Command", "SetServerName", "Parameter", "ServerName")
        before = service.get("ServerName")
        for name, bad in [("terminal escapes", "Bay \x1b[2J\x1b[31m3"),
                          ("zero-width space", "Bay\u200b3"), ("line separator", "Bay\u20283")]:
            with self.subTest(name):
                with self.assertRaises(silaclient.SilaError) as ctx:
                    service.call("SetServerName", ServerName=bad)
                self.assertSilaError(ctx, "validation", parameter=parameter)
        self.assertEqual(service.get("ServerName"), before)
        service.call("SetServerName", ServerName="Bay 5 pump")
        with self.assertRaises(silaclient.SilaError) as ctx:
            service.call("SetServerName", ServerName="Bay 6 pump")
        self.assertSilaError(ctx, "framework", error_type="COMMAND_EXECUTION_NOT_ACCEPTED")
        self.assertEqual(service.get("ServerName"), "Bay 5 pump")
        time.sleep(1.0)
        service.call("SetServerName", ServerName="Bay 6 pump")
        self.assertEqual(service.get("ServerName"), "Bay 6 pump")

    def test_client_metadata_is_refused(self):
        calls = [
            ("property", lambda md: self.client.feature(SERVICE).get("ServerUUID", metadata=md)),
            ("command", lambda md: self.client.feature(SERVICE).call(
                "GetFeatureDefinition", metadata=md, FeatureIdentifier=DOSING)),
            ("dosing property", lambda md: self.client.feature(DOSING).subscribe(
                "PumpState", metadata=md, timeout=5).__next__()),
            ("pause controller", lambda md: self.client.feature(PAUSE).call(
                "Pause", metadata=md, CommandExecutionUUID="00000000-0000-4000-8000-000000000000")),
            ("cancel controller", lambda md: self.client.feature(CANCEL).call(
                "CancelAll", metadata=md)),
        ]
        for name, call in calls:
            with self.subTest(name):
                with self.assertRaises(silaclient.SilaError) as ctx:
                    call([(FOREIGN_METADATA, b"\x0a\x03\x0a\x01x")])
                self.assertSilaError(ctx, "framework", error_type="NO_METADATA_ALLOWED")
        # Without it the same call is answered.
        self.assertTrue(self.client.feature(SERVICE).get("ServerUUID"))


class RestartTest(unittest.TestCase):
    def test_uuid_and_name_survive_a_restart(self):
        rig = harness.Rig(allow_config=True)
        try:
            client = connect(rig.server)
            service = client.feature(SERVICE)
            uuid = service.get("ServerUUID")
            service.call("SetServerName", ServerName="Pump in bay 3")
            self.assertEqual(service.get("ServerName"), "Pump in bay 3")
            client.channel.close()
            self.assertEqual(rig.server.stop(), 0)

            client = connect(rig.restart(allow_config=True))
            service = client.feature(SERVICE)
            self.assertEqual(service.get("ServerUUID"), uuid)
            self.assertEqual(service.get("ServerName"), "Pump in bay 3")
            client.channel.close()

            # --name wins over the kept name; without --allow-config no client renames it.
            rig.restart(extra=["--name", "Bay 4"])
            client = connect(rig.server)
            self.assertEqual(client.feature(SERVICE).get("ServerName"), "Bay 4")
            self.assertEqual(client.feature(SERVICE).get("ServerUUID"), uuid)
            with self.assertRaises(silaclient.SilaError) as ctx:
                client.feature(SERVICE).call("SetServerName", ServerName="Bay 9")
            self.assertEqual(ctx.exception.error_type, "COMMAND_EXECUTION_NOT_ACCEPTED")
            self.assertEqual(client.feature(SERVICE).get("ServerName"), "Bay 4")
            client.channel.close()
        finally:
            rig.close()

    def test_two_settings_folders_are_two_servers(self):
        first, second = harness.Rig(), None
        try:
            second = harness.Rig()
            a, b = connect(first.server), connect(second.server)
            ua = a.feature(SERVICE).get("ServerUUID")
            ub = b.feature(SERVICE).get("ServerUUID")
            self.assertNotEqual(ua, ub)
            self.assertTrue(re.fullmatch(r"[0-9a-f-]{36}", ua), ua)
            a.channel.close()
            b.channel.close()
        finally:
            first.close()
            if second:
                second.close()


if __name__ == "__main__":
    unittest.main()
