"""What the SiLA test files share: a rig with a connected client, a property watcher, and the
identifiers."""

import sys
import threading
import time
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


class Watch:
    """Collects an observable property's values in the background, with their arrival times."""

    def __init__(self, feature, prop):
        self.stream = feature.subscribe(prop, timeout=120)
        self.values = []
        self.error = None
        self.thread = threading.Thread(target=self._run, daemon=True)
        self.thread.start()

    def _run(self):
        try:
            for value in self.stream:
                self.values.append((time.monotonic(), value))
        except Exception as e:  # kept for the test to report
            self.error = e

    def latest(self):
        return self.values[-1][1] if self.values else None

    def wait(self, predicate, timeout):
        return harness.wait_for(lambda: any(predicate(v) for _, v in self.values), timeout)

    def wait_latest(self, predicate, timeout):
        return harness.wait_for(lambda: self.values and predicate(self.values[-1][1]), timeout)

    def close(self):
        self.stream.cancel()
        self.thread.join(5)


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

    def start_going(self, command, going, **params):
        """Starts a dosing run and returns its execution once going(execution) holds; otherwise
        fails with how the run ended and the commands the pump took. A setup exchange that the
        simulator took in too late for the server's answer window ends the run as a lost link, as
        it must: a busy machine starved the pump, not the server. That run, and only that, is
        started once more, and the output says so."""
        dosing = self.client.feature(DOSING)
        lost = self.client.definitions[DOSING].qualify("DefinedExecutionError", "LinkLost")
        for attempt in range(2):
            mark = self.rig.sim.mark()
            execution = dosing.start(command, **params)
            if going(execution):
                return execution
            try:
                outcome = dosing.result(command, execution)
            except silaclient.SilaError as error:
                outcome = error
            late = None
            if getattr(outcome, "identifier", None) == lost and \
                    outcome.message.startswith("no answer to"):
                # A starved simulator logs that frame and the Stop after it late as well.
                late = harness.wait_for(lambda: self.rig.sim.late_before_stop(since=mark), 2)
            if attempt or not late:
                self.fail(f"{command} never got going: {outcome}; the pump took "
                          f"{self.rig.sim.commands(since=mark)[:10]}")
            print(f"{command} started again: {outcome.message}, and the simulator took "
                  f"{late[0].body} in only {late[1]} ms before the Stop", file=sys.stderr)
            state = Watch(dosing, "PumpState")
            try:
                state.wait_latest(lambda s: s == "stopped", 10)
            finally:
                state.close()

    def assertSilaError(self, context, kind, **fields):
        """The error the with-block raised is a SiLA error of this kind with these fields."""
        error = context.exception
        self.assertIsInstance(error, silaclient.SilaError)
        self.assertEqual(error.kind, kind, str(error))
        for name, value in fields.items():
            self.assertEqual(getattr(error, name), value, str(error))
        return error
