"""Benchmark 10: the SiLA server measured from outside, with the tests' independent client.

One simulated pump (9600 baud, 2 ms turnaround, clock 20 times faster) and `dosetta-cli sila
--insecure --allow-control`. Measured:

- DoseVolume call to its first frame on the wire: from the moment the client hands the call to
  gRPC to the first byte of the first command frame at the pump. The simulator stamps a received
  frame when its last byte has crossed the line and an answer when its last byte has left (local
  time of day, to the millisecond); the first byte is placed one line time per byte earlier. The
  rest of the exchange in flight at the call (a query whose first byte was sent before it, its
  answer's last byte not yet) is taken from each sample before the goal is applied.
- A pump change to the property stream: the pump's own error flag switched on and off on the
  simulator's input, from the write, to the first ErrorFlags value at the client that shows it;
  and the ACK of the dose's flow-rate frame to the first FlowRate value that shows the new rate.

Prints "@bench|..." lines for bench/run.sh. SILA_CALLS (default 40) and SILA_CHANGES (default
30) set the sample counts.
"""

import argparse
import datetime
import os
import random
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "sila"))

import harness  # noqa: E402
import silatest  # noqa: E402

BENCH = "10 SiLA server"
LINE_S = 10 / 9600  # one byte, 8N1


def report(measure, value, goal="", met=""):
    print(f"@bench|{BENCH}|{measure}|{value}|{goal}|{met}", flush=True)


def percentile(values, p):
    ordered = sorted(values)
    if not ordered:
        return float("nan")
    k = (len(ordered) - 1) * p / 100
    low = int(k)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (k - low)


def day_seconds(epoch):
    """Local time of day in seconds, the simulator's clock, for a time.time() value."""
    t = datetime.datetime.fromtimestamp(epoch)
    return t.hour * 3600 + t.minute * 60 + t.second + t.microsecond / 1e6


def frame_bytes(frame):
    # STX, body, ETX and the check character.
    return len(frame.body) + 3


def ms(seconds):
    return f"{seconds * 1000:.1f} ms"


def dose_samples(rig, dosing, count):
    """Per call: (latency, in-flight rest, rate ACK to FlowRate value)."""
    samples = []
    rate_watch = silatest.Watch(dosing, "FlowRate")
    try:
        for i in range(count):
            rate = 20.0 + (i % 2) * 40.0 + i / 100  # a new set-point every time
            mark = rig.sim.mark()
            # Anywhere in the poll cycle.
            time.sleep(random.uniform(0.1, 0.8))
            seen = len(rate_watch.values)
            t0 = time.time()
            execution = dosing.start("DoseVolume", Volume=1.0, FlowRate=rate)
            infos = list(dosing.info("DoseVolume", execution, timeout=30))
            if infos[-1]["status"] != "finishedSuccessfully":
                raise RuntimeError(f"dose {i} ended {infos[-1]}")
            start = day_seconds(t0)
            rx = rig.sim.frames("rx", since=mark)
            tx = rig.sim.frames("tx", since=mark)
            commands = [f for f in rx if f.body and not f.is_query()
                        and f.seconds + 0.0005 >= start]
            if not commands:
                raise RuntimeError(f"dose {i}: no command frame after the call")
            first = commands[0]
            first_byte = first.seconds + 0.0005 - frame_bytes(first) * LINE_S
            # The exchange in flight: the last query begun before the call, and its answer.
            in_flight = 0.0
            begun = [f for f in rx if f.is_query() and
                     f.seconds + 0.0005 - frame_bytes(f) * LINE_S < start]
            if begun:
                answers = [a for a in tx if a.seconds >= begun[-1].seconds]
                if answers and answers[0].seconds + 0.0005 > start:
                    in_flight = answers[0].seconds + 0.0005 - start
            # The rate frame's ACK, then the stream's first value with the new rate.
            rate_frames = [f for f in commands if f.body[2:4] == "RV"]
            change = None
            if rate_frames:
                acks = [a for a in tx if a.seconds >= rate_frames[0].seconds]
                if acks:
                    ack = acks[0].seconds + 0.0005
                    got = harness.wait_for(lambda: next(
                        (at for at, v in rate_watch.values[seen:]
                         if abs(v - rate) < 1e-6), None), 5)
                    if got is not None:
                        change = day_seconds(time.time() - (time.monotonic() - got)) - ack
            samples.append((first_byte - start, in_flight, change))
    finally:
        rate_watch.close()
    return samples


def flag_samples(rig, dosing, count):
    """Per change: its stamp at the simulator to the value at the client; and the intervals
    between the queries of the error status group, which bound it."""
    samples = []
    missed = []  # (switched on, answers that told it, values seen meanwhile)
    mark = rig.sim.mark()
    flags = silatest.Watch(dosing, "ErrorFlags")
    try:
        if not harness.wait_for(lambda: flags.values, 5):
            raise RuntimeError("no ErrorFlags value at subscribe")
        pump_on = False
        for _ in range(count):
            on = not pump_on
            time.sleep(random.uniform(0.2, 0.9))
            seen = len(flags.values)
            change = rig.sim.mark()
            t0 = time.time()
            rig.sim.control("error overpressure " + ("on" if on else "off"))
            pump_on = on
            got = harness.wait_for(lambda: next(
                (at for at, v in flags.values[seen:] if bool(v) == on), None), 10)
            if got is not None:
                samples.append(day_seconds(time.time() - (time.monotonic() - got))
                               - day_seconds(t0))
                continue
            # Never shown: did the pump tell it? Bit 0 of the error group is overpressure.
            told = [f for f in rig.sim.frames("rx", since=change) if f.body[2:] == "?SS6"
                    and re.search(r"= (\d+)", f.line)
                    and (int(re.search(r"= (\d+)", f.line).group(1)) & 1) == on]
            missed.append((on, len(told), flags.values[seen:]))
            # The stream still shows the state before: the pump goes back to it, unmeasured,
            # so that the next change is one the stream has to show.
            rig.sim.control("error overpressure " + ("off" if on else "on"))
            pump_on = not on
            time.sleep(1.0)
    finally:
        rig.sim.control("error overpressure off")
        flags.close()
    polls = [f.seconds for f in rig.sim.frames("rx", since=mark) if f.body[2:] == "?SS6"]
    return samples, [b - a for a, b in zip(polls, polls[1:])], missed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    args = parser.parse_args()
    os.environ["DOSETTA_CLI"] = args.cli
    os.environ["FLUXO_SIM"] = args.sim
    calls = int(os.environ.get("SILA_CALLS", "40"))
    changes = int(os.environ.get("SILA_CHANGES", "30"))
    random.seed(1)

    rig = harness.Rig(speed=20, sim_extra=("--baud", "9600", "--turnaround", "2"))
    try:
        client = silatest.connect(rig.server)
        dosing = client.feature(silatest.DOSING)
        time.sleep(2)  # the first polls after the link came up
        doses = dose_samples(rig, dosing, calls)
        latency = [d[0] for d in doses]
        beyond = [d[0] - d[1] for d in doses]
        report("DoseVolume calls measured", str(len(doses)))
        report("call to first frame, median", ms(percentile(latency, 50)))
        report("call to first frame, 99th percentile", ms(percentile(latency, 99)))
        report("exchange in flight at the call (samples with one)",
               str(sum(1 for d in doses if d[1] > 0)))
        report("call to first frame beyond the exchange in flight, median",
               ms(percentile(beyond, 50)))
        p99 = percentile(beyond, 99)
        report("call to first frame beyond the exchange in flight, 99th percentile", ms(p99),
               "<= 30.0 ms", "yes" if p99 <= 0.030 else "NO")
        rates = [d[2] for d in doses if d[2] is not None]
        report("rate frame ACK to FlowRate at the client, samples", str(len(rates)))
        if rates:
            report("rate frame ACK to FlowRate at the client, median", ms(percentile(rates, 50)))
            p = percentile(rates, 99)
            report("rate frame ACK to FlowRate at the client, 99th percentile", ms(p),
                   "<= 750.0 ms", "yes" if p <= 0.750 else "NO")
        flags, polls, missed = flag_samples(rig, dosing, changes)
        report("pump error flag to ErrorFlags at the client, samples", str(len(flags)))
        report("pump error flag never at the client within 10 s", str(len(missed)), "0",
               "yes" if not missed else "NO")
        for on, told, seen in missed:
            print(f"missed: switched {'on' if on else 'off'}, the pump told it {told} times, "
                  f"the stream showed {seen}", file=sys.stderr)
        if flags:
            report("pump error flag to ErrorFlags at the client, median",
                   ms(percentile(flags, 50)))
            p = percentile(flags, 99)
            report("pump error flag to ErrorFlags at the client, 99th percentile", ms(p),
                   "<= 750.0 ms", "yes" if p <= 0.750 else "NO")
            report("pump error flag to ErrorFlags at the client, max", ms(max(flags)))
        if polls:
            report("error status query (?SS6) to the next, median", ms(percentile(polls, 50)))
            report("error status query (?SS6) to the next, max", ms(max(polls)))
        client.channel.close()
    except Exception as e:
        report("FAILED", str(e).replace("|", "/"), "", "NO")
        raise
    finally:
        rig.close()


if __name__ == "__main__":
    main()
