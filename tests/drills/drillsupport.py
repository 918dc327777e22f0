"""Shared pieces of the drills: state files to start from, the real application in a private
state folder, and what the X server sees (run under tests/support/with-xvfb.sh)."""
import os
import plistlib
import re
import shutil
import signal
import subprocess
import tempfile
import threading
import time
import uuid

SAVE_FAILED = "❌ Failed to save app state: "
PRESERVED = "⚠️ Saved app state could not be decoded and was preserved: "
SCREEN_HEIGHT = 1080  # with-xvfb.sh's default screen


class DrillFailure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise DrillFailure(message)


def wait_until(predicate, timeout, step=0.02):
    deadline = time.monotonic() + timeout
    while True:
        result = predicate()
        if result or time.monotonic() >= deadline:
            return result
        time.sleep(step)


def color(red, green, blue, alpha=1.0):
    return {"red": float(red), "green": float(green), "blue": float(blue), "alpha": float(alpha)}


def settings():
    green = color(0.2, 0.84, 0.3)
    red = color(1, 0.27, 0.23)
    return {
        "defaultForegroundColor": green, "defaultBackgroundColor": color(0, 0, 0),
        "defaultOutlineColor": green, "defaultOpacity": 1.0, "defaultAlwaysOnTop": False,
        "defaultCountdownDuration": 1800.0, "defaultTimeUntilAtTargetForegroundColor": red,
        "defaultTimeUntilAtTargetOutlineColor": red, "defaultTimeUntilFlashAtTarget": True,
    }


def clock(name, x, top, remaining=None, running=True, size=(600, 200)):
    """A wall clock, or a countdown when `remaining` is given; placed with its top-left at (x, top)."""
    record = {
        "id": str(uuid.uuid4()).upper(), "name": name, "mode": "clock",
        "foregroundColor": color(0.2, 0.84, 0.3), "backgroundColor": color(0, 0, 0),
        "outlineColor": color(0.2, 0.84, 0.3), "opacity": 1.0, "alwaysOnTop": False,
        "windowOrigin": [float(x), float(SCREEN_HEIGHT - top - size[1])],
        "windowSize": [float(size[0]), float(size[1])],
    }
    if remaining is not None:
        record["mode"] = "countdown"
        record["countdown"] = {"duration": 1800.0, "remaining": float(remaining), "isRunning": running,
                               "warningTime": 60.0, "warningForegroundColor": color(1, 0.84, 0.04),
                               "warningOutlineColor": color(1, 0.84, 0.04), "flashWhenDone": True}
    return record


class StateFolder:
    """A fresh XDG_DATA_HOME; the state file is Tavix/tavix.plist inside it."""

    def __init__(self, root=None):
        self.home = root or tempfile.mkdtemp(prefix="tavix-drill-")
        self.dir = os.path.join(self.home, "Tavix")
        self.file = os.path.join(self.dir, "tavix.plist")

    def write(self, clocks):
        os.makedirs(self.dir, exist_ok=True)
        with open(self.file, "wb") as out:
            plistlib.dump({"clocks": clocks, "settings": settings()}, out, fmt=plistlib.FMT_XML)

    def read_bytes(self):
        with open(self.file, "rb") as f:
            return f.read()

    def load(self):
        """The state file through a standard property-list reader; DrillFailure when it is not one."""
        data = self.read_bytes()
        try:
            state = plistlib.loads(data)
        except Exception as error:  # noqa: BLE001 - any reader error means a damaged file
            raise DrillFailure(f"state file is not a complete property list ({error}): {data[:200]!r}")
        check(isinstance(state, dict) and isinstance(state.get("clocks"), list)
              and isinstance(state.get("settings"), dict), f"state file lacks clocks or settings: {state!r:.200}")
        return state

    def entries(self, prefix):
        return sorted(n for n in os.listdir(self.dir) if n.startswith(prefix))

    def remove(self):
        shutil.rmtree(self.home, ignore_errors=True)


def by_name(state, name):
    for record in state["clocks"]:
        if record.get("name") == name:
            return record
    raise DrillFailure(f"no clock named {name!r} in the state file")


class App:
    """One run of the real application on a state folder, its output kept in a file."""

    def __init__(self, binary, folder, extra_env=None):
        self.folder = folder
        # Outside the state folder, which a drill may turn read-only.
        handle, self.out_path = tempfile.mkstemp(prefix="tavix-stdout-", suffix=".txt")
        os.close(handle)
        # The remote control's servers stay off: another instance may hold their default ports,
        # and its warning would be one diagnostic line too many.
        env = dict(os.environ, XDG_DATA_HOME=folder.home, LANG="C.UTF-8", TAVIX_REMOTE_CONTROL="off")
        env.update(extra_env or {})
        self.launched = time.monotonic()
        self.launched_wall = time.time()
        with open(self.out_path, "wb") as out:
            self.process = subprocess.Popen([binary], env=env, stdout=out, stderr=subprocess.STDOUT)
        self.pid = self.process.pid

    def output(self):
        with open(self.out_path, encoding="utf-8", errors="replace") as f:
            return f.read()

    def lines(self, prefix):
        return [line for line in self.output().splitlines() if line.startswith(prefix)]

    def diagnostics(self):
        return [line for line in self.output().splitlines() if line[:1] in ("❌", "⚠")]

    def signal(self, number):
        os.kill(self.pid, number)

    def finish(self, timeout=15):
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise DrillFailure(f"tavix did not end within {timeout} s")

    def stop(self):
        """SIGTERM and the exit status; anything but 0 fails the drill."""
        self.signal(signal.SIGTERM)
        status = self.finish()
        check(status == 0, f"tavix ended with status {status} on SIGTERM")

    def cleanup(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        os.remove(self.out_path)


def xdotool(*args, timeout=5):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=timeout)
    return result.stdout.strip()


def move_window(window, x, top):
    xdotool("windowmove", window, x, top)


class MapWatch:
    """Times at which top-level windows are mapped, read from `xev` on the root window: a clock
    window's tick timer starts as it is shown, so its map event marks the start of its countdown."""

    def __init__(self):
        self._maps = []
        self._names = {}  # by (map time, window): X reuses the ids of a client that is gone
        self._lock = threading.Lock()
        self._xev = subprocess.Popen(["xev", "-root", "-event", "substructure"], stdout=subprocess.PIPE,
                                     text=True, bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()
        time.sleep(0.2)  # let xev select its events before anything is mapped

    def _read(self):
        pending = None
        for line in self._xev.stdout:
            if line.startswith("MapNotify"):
                pending = time.monotonic()
            elif pending is not None:
                found = re.search(r"\bwindow (0x[0-9a-f]+)", line)
                if found:
                    with self._lock:
                        self._maps.append((pending, int(found.group(1), 16)))
                pending = None

    def maps_since(self, since):
        with self._lock:
            return [(t, w) for t, w in self._maps if t >= since]

    def wait_for(self, since, name, timeout):
        """(map time, window id) of the first window named `name` mapped after `since`, or None."""
        def find():
            for event in self.maps_since(since):
                if event not in self._names:
                    self._names[event] = xdotool("getwindowname", event[1])
                if self._names[event] == name:
                    return event
            return None

        return wait_until(find, timeout, step=0.005)

    def close(self):
        self._xev.kill()
        self._xev.wait()


def visible_window(pid, name):
    ids = xdotool("search", "--all", "--onlyvisible", "--pid", pid, "--name", f"^{re.escape(name)}$")
    return ids.split()[0] if ids else None

