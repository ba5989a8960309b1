"""dosetta-cli serve with MQTT and SiLA on one pump core, against a real mosquitto and the
simulated pump: a SiLA dose shows in the MQTT state, an MQTT Stop ends it with its cause, and a
port another DOSETTA process holds is named in the SiLA error and the log."""

import json
import os
import shutil
import socket
import subprocess
import tempfile
import threading
import time
import unittest

import harness
import silaclient
from silatest import DOSING, Watch, connect

SPEED = 5


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Broker:
    """mosquitto on a free port of 127.0.0.1, anonymous, with its command-line clients."""

    def __init__(self, folder):
        self.port = free_port()
        conf = os.path.join(folder, "mosquitto.conf")
        with open(conf, "w", encoding="utf-8") as f:
            f.write(f"listener {self.port} 127.0.0.1\nallow_anonymous true\n")
        self.process = subprocess.Popen(["mosquitto", "-c", conf], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)

        def reachable():
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                return True
            except OSError:
                return False
        if not harness.wait_for(reachable, 10):
            self.close()
            raise RuntimeError("mosquitto does not listen")

    def url(self):
        return f"mqtt://127.0.0.1:{self.port}"

    def publish(self, topic, payload):
        subprocess.run(["mosquitto_pub", "-h", "127.0.0.1", "-p", str(self.port), "-V", "mqttv5",
                        "-q", "1", "-t", topic, "-m", payload], check=True, timeout=30)

    def close(self):
        harness._stop(self.process)


class Subscription:
    """mosquitto_sub on one topic; every payload with its arrival, read in the background."""

    def __init__(self, broker, topic):
        self.payloads = []
        self.process = subprocess.Popen(
            ["mosquitto_sub", "-h", "127.0.0.1", "-p", str(broker.port), "-V", "mqttv5", "-t",
             topic], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.reader = threading.Thread(target=self._read, daemon=True)
        self.reader.start()

    def _read(self):
        for raw in self.process.stdout:
            self.payloads.append(raw.decode(errors="replace").strip())

    def objects(self, since=0):
        out = []
        for payload in self.payloads[since:]:
            try:
                out.append(json.loads(payload))
            except ValueError:
                pass
        return out

    def close(self):
        harness._stop(self.process)
        harness._close_pipes(self.process, [self.reader])


class ServeBothTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="serve-test-")
        self.config = os.path.join(self.folder, "config")
        os.makedirs(self.config)
        self.sim = harness.Simulator(self.folder, speed=SPEED)
        self.broker = None
        self.servers = []
        self.client = None
        self.broker = Broker(self.folder)

    def tearDown(self):
        if self.client:
            self.client.channel.close()
        for server in self.servers:
            server.stop()
        if self.broker:
            self.broker.close()
        self.sim.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def serve(self, *extra, pump_id="both"):
        server = harness.Server(self.sim, self.config, command=[
            "--port", self.sim.link, "--address", "1", "serve", "--broker", self.broker.url(),
            "--id", pump_id, "--allow-control", "--sila", "127.0.0.1:0", "--sila-insecure",
            "--sila-allow-control", "--sila-no-discovery", *extra])
        self.servers.append(server)
        return server

    def test_sila_dose_shows_over_mqtt_and_an_mqtt_stop_ends_it(self):
        server = self.serve()
        self.assertIn("serving SiLA 2 (plain text", server.first_line)
        state = Subscription(self.broker, "dosetta/both/state")
        try:
            self.client = connect(server)
            dosing = self.client.feature(DOSING)
            pump_state = Watch(dosing, "PumpState")
            try:
                self.assertTrue(pump_state.wait_latest(lambda s: s == "stopped", 10),
                                pump_state.values)
            finally:
                pump_state.close()
            self.assertTrue(harness.wait_for(lambda: state.objects(), 10),
                            "the bridge published no state")
            mark = len(state.payloads)
            execution = dosing.start("DoseVolume", Volume=50.0, FlowRate=10.0)
            running = harness.wait_for(
                lambda: [o for o in state.objects(mark) if o.get("run_state") == "running"], 15)
            self.assertTrue(running, f"the MQTT state never showed the dose: "
                                     f"{state.payloads[mark:][-3:]}")
            sim_mark = self.sim.mark()
            self.broker.publish("dosetta/both/cmd", "stop")
            list(dosing.info("DoseVolume", execution, timeout=30))
            with self.assertRaises(silaclient.SilaError) as ctx:
                dosing.result("DoseVolume", execution, timeout=20)
            error = ctx.exception
            # Whose Stop it was, and what the pump counted.
            self.assertIn("stopped before its end by a Stop from bridge both", error.message)
            self.assertIn("ml delivered", error.message)
            self.assertTrue([f for f in self.sim.commands(since=sim_mark)
                             if f.body.endswith("KY0")], "no Stop reached the pump")
        finally:
            state.close()

    def test_a_port_held_by_another_process_is_named(self):
        holder = harness.Server(self.sim, os.path.join(self.folder, "holder"))
        self.servers.append(holder)
        # The holder has the port once its pump answered.
        self.assertTrue(harness.wait_for(lambda: self.sim.frames(), 10))
        server = self.serve(pump_id="second")
        self.client = connect(server)
        dosing = self.client.feature(DOSING)
        held = f"in use by dosetta-cli, pid {holder.process.pid}"
        execution = dosing.start("DoseVolume", Volume=1.0, FlowRate=10.0)
        with self.assertRaises(silaclient.SilaError) as ctx:
            dosing.result("DoseVolume", execution)
        self.assertEqual(ctx.exception.identifier,
                         self.client.definitions[DOSING].qualify("DefinedExecutionError",
                                                                 "LinkLost"))
        self.assertIn(held, ctx.exception.message)
        self.assertTrue(harness.wait_for(lambda: any(held in line for line in server.errors), 10),
                        server.errors)
        # Once the holder is gone, the port is taken at the next attempt and said so.
        holder.stop()
        self.servers.remove(holder)
        self.assertTrue(harness.wait_for(
            lambda: any("can be used again" in line for line in server.errors), 15),
            server.errors)


if __name__ == "__main__":
    unittest.main()
