"""Runs in the journal against the server's end: a server killed mid-run leaves its run to the
next one on the pump, which stops the pump and closes the run with the pump's count; a server
told to end closes its run itself."""

import json
import os
import signal
import subprocess
import unittest

import harness
from silatest import DOSING, Watch, connect

SPEED = 5


class OrphanTest(unittest.TestCase):
    def setUp(self):
        self.journal_dir = harness.tempfile.mkdtemp(prefix="sila-journal-")
        self.env = {"DOSETTA_JOURNAL": os.path.join(self.journal_dir, "journal.sqlite")}
        self.rig = harness.Rig(speed=SPEED, env=self.env)
        self.watches = []

    def tearDown(self):
        for w in self.watches:
            w.close()
        self.rig.close()
        harness.shutil.rmtree(self.journal_dir, ignore_errors=True)

    def watch(self, server, prop):
        w = Watch(connect(server).feature(DOSING), prop)
        self.watches.append(w)
        return w

    def runs(self):
        out = subprocess.run([harness.program("DOSETTA_CLI"), "journal", "--runs", "--json"],
                             env=dict(os.environ, **self.env), capture_output=True, timeout=20)
        return [json.loads(line) for line in out.stdout.decode().splitlines() if line.strip()]

    def closed_run(self):
        """The one run, once the journal holds its end."""
        def ended():
            runs = self.runs()
            return runs if runs and not runs[-1]["open"] else None
        runs = harness.wait_for(ended, 15, step=0.3)
        self.assertTrue(runs, f"the run was never closed: {self.runs()} {self.rig.server.errors}")
        self.assertEqual(len(runs), 1, runs)
        return runs[0]

    def flow_until_stopped(self):
        state = self.watch(self.rig.server, "PumpState")
        delivered = self.watch(self.rig.server, "VolumeDelivered")
        connect(self.rig.server).feature(DOSING).start("GenerateFlow", FlowRate=60.0,
                                                       RunTime=0.0)
        self.assertTrue(state.wait_latest(lambda s: s == "running", 10), state.values)
        self.assertTrue(delivered.wait(lambda v: v > 0.2, 10), delivered.values)
        self.assertTrue(self.runs()[0]["open"])

    def test_a_killed_servers_run_is_stopped_and_closed_by_the_next(self):
        self.flow_until_stopped()
        pid = self.rig.server.process.pid
        self.rig.server.process.send_signal(signal.SIGKILL)
        self.rig.server.process.wait(5)
        mark = self.rig.sim.mark()
        server = self.rig.restart(env=self.env)
        run = self.closed_run()
        self.assertEqual(run["cause"], "owner-gone", run)
        state = self.watch(server, "PumpState")
        self.assertTrue(state.wait_latest(lambda s: s == "stopped", 10), state.values)
        stops = [f for f in self.rig.sim.commands(since=mark) if f.body.endswith("KY0")]
        self.assertTrue(stops, "the new server sent no Stop")
        delivered = self.watch(server, "VolumeDelivered")
        self.assertTrue(delivered.wait(lambda v: v > 0, 5), delivered.values)
        self.assertAlmostEqual(run["volume_ml"], delivered.latest(), delta=0.001)
        said = [line for line in server.errors if "owner-gone" in line]
        self.assertEqual(len(said), 1, server.errors)
        self.assertIn(f"the process {pid} that owned the run is gone", said[0])
        self.assertIn("still running and was stopped", said[0])

    def test_a_server_told_to_end_closes_its_own_run(self):
        self.flow_until_stopped()
        self.assertEqual(self.rig.server.stop(), 0)
        # No waiting: the run's end is in the file when the server has gone.
        runs = self.runs()
        self.assertFalse(runs[0]["open"], runs)
        self.assertNotEqual(runs[0]["cause"], "owner-gone", runs)
        self.assertIn("stop", runs[0]["cause"])
        self.assertGreater(runs[0]["volume_ml"], 0.2, runs)


if __name__ == "__main__":
    unittest.main()
