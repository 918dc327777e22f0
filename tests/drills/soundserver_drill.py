#!/usr/bin/env python3
"""Drill 4: the sound server killed and started again, and the captured device removed and added
again, while a timecode clock shows LTC played into a null sink.

One timecode clock listens to "ltcout.monitor" (its device id worked out with cksum, as the
documentation tells users to). The application is started while no sound server runs, so it must
find its input once the server is up; then the server is killed with SIGKILL and started again with
the same runtime folder and sinks, and the null sink's module is unloaded and loaded again, several
times each, with fresh LTC played after every return. Each time the application must stay alive,
print one "⚠️" line when capture is lost (and no other line until it is back), hold the shown time
while the input is gone, print one "✅" line when capture resumes by itself, and show moving
timecode again. Shown timecode is seen from outside: the screen is grabbed with xwd; it must not
change while the input is gone and must change from one grab to the next once LTC plays again
(the clock window shows nothing else that moves).
Usage: soundserver_drill.py TAVIX LTCPLAY [--restarts N] [--replugs N] [--long]
Two of each by default, which keeps CI short; --long (or TAVIX_DRILL_LONG=1 in the environment)
runs five of each.
Run under tests/support/with-pulse.sh and tests/support/with-xvfb.sh."""
import argparse
import os
import signal
import statistics
import struct
import subprocess
import sys
import time

import drillsupport as d

SINK = "ltcout"
SINK_MODULE_ARGS = "sink_name=ltcout rate=48000 channels=2"
RATE = 48000
FPS = 25
LOST = "⚠️ TimecodeInputManager: capture from deviceID "
NO_SERVER = "⚠️ listInputDevices: couldn't get device list size (-6)"
CAPTURING = "✅ AudioInputDeviceManager: capturing from deviceID "


def pactl(*args):
    return subprocess.run(["pactl", *args], capture_output=True, text=True, timeout=10)


def device_id(source_name):
    """The id a user puts into the state file: the cksum CRC of the source's name."""
    out = subprocess.run(["cksum"], input=source_name.encode(), capture_output=True, check=True).stdout
    return out.split()[0].decode()


class SoundServer:
    """The daemon of with-pulse.sh, and identical ones started after it in the same runtime folder."""

    def __init__(self):
        pid = os.environ.get("TAVIX_TEST_PULSE_PID")
        d.check(pid, "needs tests/support/with-pulse.sh")
        self.pid = int(pid)
        self.child = None  # a daemon this drill started
        with open(f"/proc/{self.pid}/cmdline", "rb") as f:
            self.argv = [part.decode() for part in f.read().split(b"\0") if part]

    @staticmethod
    def answers():
        return pactl("info").returncode == 0

    def kill(self):
        os.kill(self.pid, signal.SIGKILL)
        if self.child is not None:
            self.child.wait()
            self.child = None
        d.check(d.wait_until(lambda: not self.answers(), 10), "the sound server still answers after SIGKILL")

    def start(self):
        self.child = subprocess.Popen(self.argv, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pid = self.child.pid
        d.check(d.wait_until(lambda: self.answers() and SINK in pactl("list", "short", "sinks").stdout, 10),
                "the sound server did not start again")

    def stop(self):
        if self.child is not None:
            self.child.terminate()
            self.child.wait()
            self.child = None


def sink_module():
    for line in pactl("list", "short", "modules").stdout.splitlines():
        fields = line.split("\t")
        if len(fields) >= 3 and fields[1] == "module-null-sink" and fields[2].split()[:1] == [f"sink_name={SINK}"]:
            return fields[0]
    return None


def unplug():
    module = sink_module()
    d.check(module, f"no null sink module named {SINK}")
    d.check(pactl("unload-module", module).returncode == 0, "unload-module failed")


def plug():
    d.check(pactl("load-module", "module-null-sink", *SINK_MODULE_ARGS.split()).returncode == 0,
            "load-module failed")


class Player:
    """LTC from the helper, played into the sink with pacat; it ends with the sink or the server."""

    def __init__(self, ltcplay, hours):
        self.source = subprocess.Popen([ltcplay, str(RATE), str(FPS), str(hours), "120"], stdout=subprocess.PIPE)
        self.pacat = subprocess.Popen(["pacat", "-d", SINK, "--format=float32le", f"--rate={RATE}", "--channels=1"],
                                      stdin=self.source.stdout, stderr=subprocess.DEVNULL)
        self.source.stdout.close()

    def stop(self):
        for process in (self.pacat, self.source):
            if process.poll() is None:
                process.kill()
            process.wait()


def grab():
    """The root window's pixels. Only the pixels: xwd leaves the pad byte of each colour-map entry
    uninitialised, so two dumps of an unchanged screen differ about every second time."""
    dump = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True, timeout=10).stdout
    header_size, = struct.unpack(">I", dump[0:4])
    colours, = struct.unpack(">I", dump[76:80])
    return dump[header_size + 12 * colours:]


def display_moving(timeout):
    def changes():
        first = grab()
        time.sleep(0.3)
        return grab() != first

    return d.wait_until(changes, timeout, step=0.05)


def display_still():
    first = grab()
    time.sleep(1.0)
    return grab() == first


class Drill:
    def __init__(self, args):
        self.args = args
        self.server = SoundServer()
        self.folder = d.StateFolder()
        self.app = None
        self.player = None
        self.resumes = 0
        self.moving_again = 0
        self.resume_seconds = {}  # kind of outage -> seconds from the return to the "✅" line
        self.hours = 0

    def count(self, prefix):
        return len(self.app.lines(prefix))

    def alive(self):
        return self.app.process.poll() is None

    def play(self):
        if self.player is not None:
            self.player.stop()
        self.hours = (self.hours + 1) % 24
        self.player = Player(self.args.ltcplay, self.hours)

    def expect_resume(self, what, restored_at, warnings_before, warnings_expected):
        resumed = d.wait_until(lambda: self.count(CAPTURING) > self.resumes, 15)
        d.check(self.alive(), f"{what}: tavix is gone")
        d.check(resumed, f"{what}: capture did not resume")
        self.resume_seconds.setdefault(what.rstrip(" 0123456789"), []).append(time.monotonic() - restored_at)
        self.resumes += 1
        self.play()
        d.check(display_moving(10), f"{what}: the display does not show moving timecode after the resume")
        self.moving_again += 1
        d.check(self.count("⚠") - warnings_before == warnings_expected,
                f"{what}: expected {warnings_expected} warning line(s), got:\n" + "\n".join(self.app.lines("⚠")))
        d.check(self.count(CAPTURING) == self.resumes, f"{what}: more than one resume line")
        d.check(not self.app.lines("❌"), f"{what}: failure lines:\n" + "\n".join(self.app.lines("❌")))

    def late_server(self):
        """The application starts before the sound server and finds its input once it runs."""
        self.server.kill()
        clock = d.clock("Timecode", 100, 100, size=(640, 200))
        clock["mode"] = "timecode"
        clock["timecode"] = {"frameRate": str(FPS), "audioInputDeviceID": device_id(f"{SINK}.monitor"),
                             "audioChannelIndex": 0}
        self.folder.write([clock])
        self.app = d.App(self.args.tavix, self.folder)
        d.check(d.wait_until(lambda: self.count(NO_SERVER) == 1, 15), "no line about the missing sound server")
        time.sleep(2.5)  # a retry and several reconnection attempts against no server
        d.check(self.alive(), "tavix is gone")
        d.check(self.count("⚠") == 1, "retries without a server printed:\n" + "\n".join(self.app.lines("⚠")))
        self.server.start()
        self.expect_resume("late server", time.monotonic(), 0, 1)

    def outage(self, what, disrupt, restore):
        warnings_before = self.count("⚠")
        lost_before = self.count(LOST)
        disrupt()
        lost = d.wait_until(lambda: self.count(LOST) > lost_before, 10)
        d.check(self.alive(), f"{what}: tavix is gone")
        d.check(lost, f"{what}: no line about the lost capture")
        # The face turns to NO LTC within 10 frames of the last one; from then on it stays put.
        d.check(d.wait_until(display_still, 5), f"{what}: the shown time changes while the input is gone")
        restore()
        self.expect_resume(what, time.monotonic(), warnings_before, 1)

    def run(self):
        started = time.monotonic()
        self.late_server()
        for i in range(self.args.restarts):
            self.outage(f"server restart {i + 1}", self.server.kill, self.server.start)
        for i in range(self.args.replugs):
            self.outage(f"device re-plug {i + 1}", unplug, plug)
        self.player.stop()
        self.app.stop()
        saved = d.by_name(self.folder.load(), "Timecode").get("timecode", {})
        d.check(saved.get("audioInputDeviceID") == device_id(f"{SINK}.monitor"),
                f"the clock's timecode settings were not kept: {saved!r}")
        every = [t for times in self.resume_seconds.values() for t in times]
        kinds = "; ".join(f"{kind}: " + ", ".join(f"{t:.2f}" for t in times) + " s"
                          for kind, times in self.resume_seconds.items())
        print(f"drill 4: 1 late server start, {self.args.restarts} server restarts, "
              f"{self.args.replugs} device re-plugs, {self.resumes} resumes "
              f"({self.moving_again} showing moving timecode again), 0 crashes; "
              f"resume after return median {statistics.median(every):.2f} s, max {max(every):.2f} s "
              f"({kinds}); {time.monotonic() - started:.0f} s")

    def cleanup(self):
        if self.player is not None:
            self.player.stop()
        if self.app is not None:
            self.app.cleanup()
        self.server.stop()
        self.folder.remove()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tavix")
    parser.add_argument("ltcplay")
    parser.add_argument("--restarts", type=int)
    parser.add_argument("--replugs", type=int)
    parser.add_argument("--long", action="store_true", help="five of each instead of two")
    args = parser.parse_args()
    rounds = 5 if args.long or os.environ.get("TAVIX_DRILL_LONG") == "1" else 2
    args.restarts = rounds if args.restarts is None else args.restarts
    args.replugs = rounds if args.replugs is None else args.replugs
    drill = Drill(args)
    try:
        drill.run()
    except d.DrillFailure as failure:
        crashed = drill.app is not None and not drill.alive()
        print(f"drill 4 FAILED: {failure}" + (f" (tavix ended with {drill.app.process.returncode})" if crashed else ""))
        if drill.app is not None:
            print("--- tavix output ---\n" + drill.app.output())
        return 1
    finally:
        drill.cleanup()
    return 0


if __name__ == "__main__":
    sys.exit(main())
