"""The dosing feature, PauseController and CancelController against the simulated pump."""

import math
import re
import time
import unittest
import uuid as uuidlib

import harness
import silaclient
from silatest import CANCEL, DOSING, PAUSE, RigTest, Watch, connect

STATES = {"stopped", "running", "paused", "priming", "unknown"}
# The simulator's clock runs this many times faster: a 10 s dose takes 2 s.
SPEED = 5


def follow(feature, command, execution, timeout=60):
    """Every ExecutionInfo of an execution until its stream ends."""
    return list(feature.info(command, execution, timeout=timeout))


def started_frames(frames):
    return [f for f in frames if f.body.endswith("KY1")]


def stop_frames(frames):
    return [f for f in frames if f.body.endswith("KY0")]


class DosingTest(RigTest):
    rig_options = {"speed": SPEED}

    def setUp(self):
        self.dosing = self.client.feature(DOSING)
        self.fdl = self.client.definitions[DOSING]
        self.state = Watch(self.dosing, "PumpState")
        self.assertTrue(self.state.wait_latest(lambda s: s == "stopped", 10),
                        f"the pump is not stopped: {self.state.values}")

    def tearDown(self):
        mark = self.rig.sim.mark()
        self.dosing.call("StopDosage")
        # The Stop goes out after the call returns: on the wire before the next test marks the log.
        harness.wait_for(lambda: stop_frames(self.rig.sim.commands(since=mark)), 5)
        self.state.wait_latest(lambda s: s == "stopped", 5)
        self.state.close()

    def run_until_running(self, command, **params):
        return self.start_going(
            command, lambda e: self.state.wait_latest(lambda s: s == "running", 10), **params)

    def test_validation_errors_send_nothing(self):
        nan, inf = float("nan"), float("inf")
        rows = [
            ("volume 0", "DoseVolume", {"Volume": 0.0, "FlowRate": 10.0}, "Volume"),
            ("volume above the range", "DoseVolume", {"Volume": 1000.0, "FlowRate": 10.0},
             "Volume"),
            ("volume not sent", "DoseVolume", {"FlowRate": 10.0}, "Volume"),
            ("volume NaN", "DoseVolume", {"Volume": nan, "FlowRate": 10.0}, "Volume"),
            ("flow 150", "DoseVolume", {"Volume": 1.0, "FlowRate": 150.0}, "FlowRate"),
            ("flow 0.5", "GenerateFlow", {"FlowRate": 0.5, "RunTime": 10.0}, "FlowRate"),
            ("flow infinite", "GenerateFlow", {"FlowRate": inf, "RunTime": 10.0}, "FlowRate"),
            ("run time 0.5", "GenerateFlow", {"FlowRate": 10.0, "RunTime": 0.5}, "RunTime"),
            ("run time negative", "GenerateFlow", {"FlowRate": 10.0, "RunTime": -1.0},
             "RunTime"),
            ("run time 6000", "GenerateFlow", {"FlowRate": 10.0, "RunTime": 6000.0}, "RunTime"),
            ("run time NaN", "GenerateFlow", {"FlowRate": 10.0, "RunTime": nan}, "RunTime"),
        ]
        mark = self.rig.sim.mark()
        for name, command, params, parameter in rows:
            with self.subTest(name):
                with self.assertRaises(silaclient.SilaError) as ctx:
                    self.dosing.start(command, **params)
                error = self.assertSilaError(ctx, "validation", parameter=self.fdl.qualify(
                    "Command", command, "Parameter", parameter))
                self.assertTrue(error.message)
        # Long enough for a stray frame to reach the wire behind the polls.
        time.sleep(1.0)
        self.assertEqual(self.rig.sim.commands(since=mark), [])

    def test_calls_are_journaled_with_their_origin(self):
        # A refusal before the pump, one by the pump's state, and a run that starts.
        rows = [
            ("validation", "DoseVolume", {"Volume": 0.0, "FlowRate": 10.0}, "refused", "Volume"),
            ("started", "DoseVolume", {"Volume": 50.0, "FlowRate": 10.0}, "run-start", None),
            ("another run", "GenerateFlow", {"FlowRate": 10.0, "RunTime": 0.0}, "refused", ""),
        ]
        for name, command, params, kind, key in rows:
            with self.subTest(name):
                before = len(self.rig.server.journal_entries(kind))
                execution = None
                try:
                    execution = self.dosing.start(command, **params)
                except silaclient.SilaError:
                    pass
                self.assertTrue(harness.wait_for(
                    lambda: len(self.rig.server.journal_entries(kind)) > before, 5))
                entry = self.rig.server.journal_entries(kind)[-1]
                self.assertEqual(entry["origin"], "sila", entry)
                # gRPC's name of the peer: the client's address and port.
                self.assertIn("127.0.0.1", entry["who"], entry)
                if key is not None:
                    self.assertEqual(entry["fields"]["key"], key, entry)
                    self.assertEqual(entry["fields"]["topic"], command, entry)
                if execution is not None:
                    self.assertEqual(entry["fields"]["request"], execution, entry)
                if name == "started":
                    # Still running for the row after it, which is refused for it.
                    self.assertTrue(self.state.wait_latest(lambda s: s == "running", 10))
                    started = execution
        # Over, its count read, before the next test starts one.
        self.dosing.call("StopDosage")
        follow(self.dosing, "DoseVolume", started, timeout=10)

    def test_properties_are_sent_at_subscribe(self):
        checks = {
            "VolumeDelivered": lambda v: isinstance(v, float) and (math.isnan(v) or v >= 0),
            "FlowRate": lambda v: isinstance(v, float),
            "PumpState": lambda v: v in STATES,
            "ErrorFlags": lambda v: isinstance(v, list) and all(isinstance(x, str) for x in v),
        }
        for prop, check in checks.items():
            with self.subTest(prop):
                w = Watch(self.dosing, prop)
                try:
                    self.assertTrue(w.wait(lambda v: True, 5), f"nothing at subscribe {w.error}")
                    self.assertTrue(check(w.latest()), repr(w.latest()))
                finally:
                    w.close()

    def test_dose_reports_progress_to_the_end(self):
        rate = Watch(self.dosing, "FlowRate")
        delivered = Watch(self.dosing, "VolumeDelivered")
        mark = self.rig.sim.mark()
        try:
            execution = self.dosing.start("DoseVolume", Volume=5.0, FlowRate=30.0)
            infos = follow(self.dosing, "DoseVolume", execution)
            self.assertEqual(infos[-1]["status"], "finishedSuccessfully", infos)
            self.assertNotIn("finishedWithError", [i["status"] for i in infos])
            progress = [i["progress"] for i in infos if i["progress"] is not None]
            self.assertEqual(progress, sorted(progress), "progress went back")
            self.assertTrue(all(0 <= p <= 1 for p in progress), progress)
            self.assertAlmostEqual(progress[-1], 1.0, places=3)
            self.assertTrue(any(0 < p < 1 for p in progress), f"no progress on the way: {infos}")
            remaining = [i["remaining"] for i in infos
                         if i["status"] == "running" and i["remaining"] is not None]
            self.assertTrue(remaining, "no remaining time while running")
            self.assertLess(remaining[-1], remaining[0] + 0.5, remaining)
            result = self.dosing.result("DoseVolume", execution)
            self.assertAlmostEqual(result["VolumeDelivered"], 5.0, delta=0.05)
            # The result stays for a second look.
            self.assertEqual(self.dosing.result("DoseVolume", execution), result)
            self.assertTrue(rate.wait(lambda v: abs(v - 30.0) < 1e-6, 5), rate.values)
            self.assertTrue(delivered.wait(lambda v: abs(v - 5.0) < 0.05, 5), delivered.values)
            self.assertEqual(len(started_frames(self.rig.sim.commands(since=mark))), 1)
            self.assertTrue(self.state.wait_latest(lambda s: s == "stopped", 5))
        finally:
            rate.close()
            delivered.close()

    def test_generate_flow_for_a_run_time(self):
        execution = self.dosing.start("GenerateFlow", FlowRate=60.0, RunTime=5.0)
        infos = follow(self.dosing, "GenerateFlow", execution)
        self.assertEqual(infos[-1]["status"], "finishedSuccessfully", infos)
        self.assertAlmostEqual(infos[-1]["progress"], 1.0, places=3)
        # 60 ml/min for 5 s of the pump's clock.
        self.assertAlmostEqual(
            self.dosing.result("GenerateFlow", execution)["VolumeDelivered"], 5.0, delta=0.3)

    def test_stop_dosage_ends_the_run_with_an_error(self):
        rows = [("dose", "DoseVolume", {"Volume": 50.0, "FlowRate": 10.0}),
                ("flow until stopped", "GenerateFlow", {"FlowRate": 10.0, "RunTime": 0.0})]
        for name, command, params in rows:
            with self.subTest(name):
                execution = self.run_until_running(command, **params)
                # After the start: a start made twice leaves a Stop of its own.
                mark = self.rig.sim.mark()
                stream = self.dosing.info(command, execution, timeout=30)
                self.assertEqual(self.dosing.call("StopDosage"), {})
                infos = list(stream)
                self.assertEqual(infos[-1]["status"], "finishedWithError", infos)
                with self.assertRaises(silaclient.SilaError) as ctx:
                    self.dosing.result(command, execution)
                self.assertSilaError(ctx, "undefined")
                self.assertIn("stop", ctx.exception.message.lower())
                self.assertTrue(self.state.wait_latest(lambda s: s == "stopped", 5))
                # The simulator's log is read by a thread of its own, a little behind the server.
                self.assertTrue(harness.wait_for(
                    lambda: stop_frames(self.rig.sim.commands(since=mark)), 5))

    def test_a_second_run_is_refused_while_one_runs(self):
        self.run_until_running("DoseVolume", Volume=50.0, FlowRate=10.0)
        since = len(self.state.values)
        refused = self.fdl.qualify("DefinedExecutionError", "PumpRefused")
        for command, params in (("DoseVolume", {"Volume": 1.0, "FlowRate": 10.0}),
                                ("GenerateFlow", {"FlowRate": 10.0, "RunTime": 0.0})):
            with self.subTest(command):
                try:
                    second = self.dosing.start(command, **params)
                    with self.assertRaises(silaclient.SilaError) as ctx:
                        follow(self.dosing, command, second, timeout=10)
                        self.dosing.result(command, second)
                except silaclient.SilaError as e:
                    error = e
                else:
                    error = ctx.exception
                self.assertEqual((error.kind, error.identifier), ("defined", refused), str(error))
        with self.assertRaises(silaclient.SilaError) as ctx:
            self.dosing.call("Prime")
        self.assertSilaError(ctx, "defined", identifier=refused)
        # The first run goes on, and is never shown as anything else.
        time.sleep(1.0)
        self.assertEqual({v for _, v in self.state.values[since - 1:]}, {"running"},
                         self.state.values)

    def test_pump_error_ends_the_dose(self):
        flags = Watch(self.dosing, "ErrorFlags")
        try:
            execution = self.run_until_running("DoseVolume", Volume=50.0, FlowRate=10.0)
            self.rig.sim.control("error overpressure on")
            infos = follow(self.dosing, "DoseVolume", execution, timeout=15)
            self.assertEqual(infos[-1]["status"], "finishedWithError", infos)
            with self.assertRaises(silaclient.SilaError) as ctx:
                self.dosing.result("DoseVolume", execution)
            self.assertSilaError(ctx, "defined",
                                 identifier=self.fdl.qualify("DefinedExecutionError", "PumpError"))
            self.assertTrue(flags.wait(lambda v: len(v) == 1, 5), flags.values)
            lit = [v for _, v in flags.values if v][-1]
            self.assertIn(lit[0].lower(), ctx.exception.message.lower())
            self.rig.sim.control("error overpressure off")
            self.assertTrue(flags.wait_latest(lambda v: v == [], 5), flags.values)
        finally:
            self.rig.sim.control("error overpressure off")
            flags.close()

    def test_prime(self):
        mark = self.rig.sim.mark()
        self.assertEqual(self.dosing.call("Prime"), {})
        self.assertTrue(self.state.wait(lambda s: s == "priming", 10), self.state.values)
        # The simulator's log is read by a thread of its own, a little behind the server.
        self.assertTrue(harness.wait_for(lambda: self.rig.sim.commands(since=mark), 5))
        # A run of the runner's, the caller's.
        started = self.rig.server.journal_entries("run-start")[-1]
        self.assertEqual((started["origin"], started["fields"]["program"]), ("sila", "SiLA Prime"))

    def test_pause_and_resume(self):
        pause = self.client.feature(PAUSE)
        execution = self.run_until_running("DoseVolume", Volume=5.0, FlowRate=10.0)
        self.assertEqual(pause.call("Pause", CommandExecutionUUID=execution), {})
        self.assertTrue(self.state.wait_latest(lambda s: s == "paused", 5), self.state.values)
        self.assertTrue(pause.get("Paused"))
        # Paused is not an end: the execution still runs.
        info = next(iter(self.dosing.info("DoseVolume", execution, timeout=5)))
        self.assertEqual(info["status"], "running")
        with self.assertRaises(silaclient.SilaError) as ctx:
            pause.call("Pause", CommandExecutionUUID=execution)
        self.assertSilaError(ctx, "defined", identifier=self.client.definitions[PAUSE].qualify(
            "DefinedExecutionError", "InvalidCommandState"))
        self.assertEqual(pause.call("Resume", CommandExecutionUUID=execution), {})
        self.assertTrue(self.state.wait(lambda s: s == "running", 5))
        infos = follow(self.dosing, "DoseVolume", execution)
        self.assertEqual(infos[-1]["status"], "finishedSuccessfully", infos)
        self.assertAlmostEqual(self.dosing.result("DoseVolume", execution)["VolumeDelivered"],
                               5.0, delta=0.05)
        self.assertFalse(pause.get("Paused"))

    def test_cancel(self):
        cancel = self.client.feature(CANCEL)
        rows = [("CancelCommand", lambda e: cancel.call("CancelCommand", CommandExecutionUUID=e)),
                ("CancelAll", lambda e: cancel.call("CancelAll"))]
        for name, call in rows:
            with self.subTest(name):
                execution = self.run_until_running("DoseVolume", Volume=50.0, FlowRate=10.0)
                mark = self.rig.sim.mark()
                self.assertEqual(call(execution), {})
                infos = follow(self.dosing, "DoseVolume", execution, timeout=10)
                self.assertEqual(infos[-1]["status"], "finishedWithError", infos)
                self.assertTrue(self.state.wait_latest(lambda s: s == "stopped", 5))
                # The simulator's log is read by a thread of its own, a little behind the server.
                self.assertTrue(harness.wait_for(
                    lambda: stop_frames(self.rig.sim.commands(since=mark)), 5))

    def test_unknown_execution(self):
        unknown = str(uuidlib.uuid4())
        done = self.dosing.start("GenerateFlow", FlowRate=60.0, RunTime=1.0)
        follow(self.dosing, "GenerateFlow", done)
        invalid = {"kind": "framework", "error_type": "INVALID_COMMAND_EXECUTION_UUID"}
        rows = [
            ("info of an unknown execution",
             lambda: follow(self.dosing, "DoseVolume", unknown, timeout=5), invalid),
            ("result of an unknown execution",
             lambda: self.dosing.result("DoseVolume", unknown), invalid),
            ("another command's execution",
             lambda: self.dosing.result("DoseVolume", done), invalid),
            ("not a UUID", lambda: self.dosing.result("GenerateFlow", "pump-1"), invalid),
            ("pause of an unknown execution",
             lambda: self.client.feature(PAUSE).call("Pause", CommandExecutionUUID=unknown),
             {"kind": "defined", "identifier": self.client.definitions[PAUSE].qualify(
                 "DefinedExecutionError", "InvalidCommandExecutionUUID")}),
            ("cancel of an unknown execution",
             lambda: self.client.feature(CANCEL).call("CancelCommand",
                                                      CommandExecutionUUID=unknown),
             {"kind": "defined", "identifier": self.client.definitions[CANCEL].qualify(
                 "DefinedExecutionError", "InvalidCommandExecutionUUID")}),
        ]
        for name, call, expected in rows:
            with self.subTest(name):
                with self.assertRaises(silaclient.SilaError) as ctx:
                    call()
                self.assertSilaError(ctx, **expected)

    def test_result_before_the_end(self):
        execution = self.run_until_running("DoseVolume", Volume=50.0, FlowRate=10.0)
        with self.assertRaises(silaclient.SilaError) as ctx:
            self.dosing.result("DoseVolume", execution)
        self.assertSilaError(ctx, "framework", error_type="COMMAND_EXECUTION_NOT_FINISHED")


class ControlRefusedTest(RigTest):
    rig_options = {"speed": SPEED, "allow_control": False}

    def test_moving_commands_are_refused_and_nothing_is_sent(self):
        dosing = self.client.feature(DOSING)
        mark = self.rig.sim.mark()
        rows = [
            ("DoseVolume", lambda: dosing.start("DoseVolume", Volume=1.0, FlowRate=10.0)),
            ("GenerateFlow", lambda: dosing.start("GenerateFlow", FlowRate=10.0, RunTime=0.0)),
            ("Prime", lambda: dosing.call("Prime")),
            ("Pause", lambda: self.client.feature(PAUSE).call(
                "Pause", CommandExecutionUUID=str(uuidlib.uuid4()))),
        ]
        for name, call in rows:
            with self.subTest(name):
                with self.assertRaises(silaclient.SilaError) as ctx:
                    call()
                error = self.assertSilaError(ctx, "framework",
                                             error_type="COMMAND_EXECUTION_NOT_ACCEPTED")
                self.assertTrue(error.message.startswith(name + " is refused"), error.message)
        # Stop is never refused, and a cancel is a Stop: each goes to the pump.
        cancel = self.client.feature(CANCEL)
        stops = [("StopDosage", lambda: dosing.call("StopDosage")),
                 ("CancelAll", lambda: cancel.call("CancelAll"))]
        for name, call in stops:
            with self.subTest(name):
                before = self.rig.sim.mark()
                self.assertEqual(call(), {})
                self.assertTrue(harness.wait_for(
                    lambda: stop_frames(self.rig.sim.commands(since=before)), 5))
        # Cancelling an execution is looked at, not refused: an unknown one is named so.
        with self.assertRaises(silaclient.SilaError) as ctx:
            cancel.call("CancelCommand", CommandExecutionUUID=str(uuidlib.uuid4()))
        self.assertSilaError(ctx, "defined", identifier=self.client.definitions[CANCEL].qualify(
            "DefinedExecutionError", "InvalidCommandExecutionUUID"))
        time.sleep(1.0)
        self.assertEqual([f.body for f in self.rig.sim.commands(since=mark)
                          if not f.body.endswith("KY0")], [])

    def test_properties_still_stream(self):
        dosing = self.client.feature(DOSING)
        state = Watch(dosing, "PumpState")
        try:
            self.assertTrue(state.wait(lambda s: s in STATES, 5), state.values)
            # A change made at the pump itself still reaches the client.
            self.rig.sim.control("error temperature on")
            flags = Watch(dosing, "ErrorFlags")
            try:
                self.assertTrue(flags.wait(lambda v: len(v) == 1, 5), flags.values)
            finally:
                self.rig.sim.control("error temperature off")
                flags.close()
        finally:
            state.close()


class StopFloodTest(RigTest):
    """StopDosage from many clients at once, burst after burst for a few seconds."""

    rig_options = {"speed": SPEED, "allow_control": False}
    CLIENTS, PER_CLIENT, SECONDS, MOST_CALLS = 8, 25, 3.0, 12000
    TICK = 0.7  # the poller's interval

    def test_a_stop_flood_sends_one_stop_at_a_time_and_polls_go_on(self):
        clients = [connect(self.rig.server) for _ in range(self.CLIENTS)]
        try:
            features = [c.feature(DOSING) for c in clients]
            mark, logged = self.rig.sim.mark(), len(self.rig.server.errors)
            start, began = harness.now_seconds(), time.monotonic()
            calls = 0
            while calls < self.MOST_CALLS and time.monotonic() - began < self.SECONDS:
                burst = [f.call_future("StopDosage") for f in features
                         for _ in range(self.PER_CLIENT)]
                for call in burst:
                    self.assertEqual(silaclient.from_message(call.result()), {})
                calls += len(burst)
            end = harness.now_seconds()
            time.sleep(1.2)  # the journal's count of the last second
        finally:
            for c in clients:
                c.channel.close()
        frames = self.rig.sim.frames(since=mark)
        # Every call was taken before its answer: what is still to come at the end is the Stop
        # on the wire and the one all later calls joined.
        late = stop_frames(f for f in frames if f.seconds >= end)
        self.assertLessEqual(len(late), 2, f"{calls} calls; after them: {late}")
        self.assertTrue(stop_frames(frames))
        # The volume is asked at least every two ticks throughout.
        asked = [f.seconds for f in frames
                 if f.is_query() and f.body.endswith("?TV") and start <= f.seconds <= end]
        gaps = [b - a for a, b in zip([start] + asked, asked + [end])]
        self.assertLess(max(gaps), 2 * self.TICK + 0.35, gaps)
        # One journal line a second, with the count of the calls it stands for.
        lines = [x for x in self.rig.server.errors[logged:] if "StopDosage" in x]
        self.assertLessEqual(len(lines), self.SECONDS + 3, lines)
        counted = [re.search(r"\((\d+) more in the last second\)$", x) for x in lines]
        self.assertEqual(sum(int(m.group(1)) if m else 1 for m in counted), calls, lines)


class LinkLostTest(RigTest):
    rig_options = {"speed": SPEED}

    def test_lost_link_during_a_dose(self):
        dosing = self.client.feature(DOSING)
        fdl = self.client.definitions[DOSING]
        sim = self.rig.sim

        def delivering(mark, execution):
            stream = dosing.info("DoseVolume", execution, timeout=10)
            try:
                for info in stream:
                    if (info["progress"] or 0) > 0:
                        return True
                    if info["status"] not in ("waiting", "running"):
                        return False
                return False
            finally:
                stream.cancel()

        # (row, when the fault comes, the fault, what ends it, times). A link lost for longer
        # than the runner's 3 s grace ends the run; a shorter one is ridden through by design.
        rows = [("hang-up of 5 s mid-dose", delivering, "hangup 5", None, 1),
                ("silence mid-dose", delivering, "silent on", "silent off", 1)]
        for name, when, fault, repair, times in rows:
            for attempt in range(times):
                with self.subTest(name, attempt=attempt):
                    state = Watch(dosing, "PumpState")
                    try:
                        # Before the first answer the pump is not known; a run then is LinkLost.
                        self.assertTrue(state.wait_latest(lambda s: s == "stopped", 15),
                                        state.values)
                        execution = self.start_going("DoseVolume", lambda e: when(sim.mark(), e),
                                                     Volume=50.0, FlowRate=10.0)
                        mark = sim.mark()
                        sim.control(fault)
                        try:
                            infos = follow(dosing, "DoseVolume", execution, timeout=10)
                        except silaclient.ProtocolFault:
                            self.fail(f"the run went on after the link was lost: {state.values}")
                        self.assertEqual(infos[-1]["status"], "finishedWithError", infos)
                        with self.assertRaises(silaclient.SilaError) as ctx:
                            dosing.result("DoseVolume", execution)
                        self.assertSilaError(ctx, "defined", identifier=fdl.qualify(
                            "DefinedExecutionError", "LinkLost"))
                        self.assertTrue(state.wait(lambda s: s == "unknown", 5), state.values)
                        if repair:
                            sim.control(repair)
                        # Back on the line, the pump is stopped first and not started again.
                        self.assertTrue(harness.wait_for(
                            lambda: stop_frames(sim.commands(since=mark)), 15),
                            "no stop after the link came back")
                        self.assertTrue(state.wait_latest(lambda s: s == "stopped", 10),
                                        state.values)
                        self.assertEqual(started_frames(sim.commands(since=mark)), [])
                    finally:
                        state.close()
                        # A row that failed leaves the pump stopped for the next.
                        sim.control("silent off")
                        harness.wait_for(lambda: self._stopped(dosing), 10, step=0.2)

    @staticmethod
    def _stopped(dosing):
        try:
            dosing.call("StopDosage")
            return True
        except silaclient.SilaError:
            return False


if __name__ == "__main__":
    unittest.main()
