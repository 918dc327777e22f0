#!/usr/bin/env python3
"""tavix_makestate: the one scene's options reach the file, and misplaced options are refused."""
import os
import plistlib
import subprocess
import sys
import tempfile

tool = sys.argv[1]
out = os.path.join(tempfile.mkdtemp(), "tavix.plist")


def make(*args):
    result = subprocess.run([tool, out, *args], capture_output=True, text=True)
    state = None
    if result.returncode == 0:
        with open(out, "rb") as f:
            state = plistlib.load(f)
    return result.returncode, state


code, state = make("one", "--mode", "stopwatch", "--name", "Show", "--time", "3000", "--running", "--tenths",
                   "--origin", "100,100", "--size", "600x200", "--message", "Q&A", "--stage", "--remote", "off")
assert code == 0, code
(clock,) = state["clocks"]
assert (clock["name"], clock["mode"]) == ("Show", "stopwatch"), clock
assert (clock["windowOrigin"], clock["windowSize"]) == ([100, 100], [600, 200]), clock
watch = clock["stopwatch"]
assert (watch["elapsed"], watch["isRunning"], watch.get("showTenths")) == (3000, True, True), watch
assert (clock["stage"]["isActive"], clock["stage"]["caption"], clock["stage"]["message"]) == (True, "message", "Q&A")
assert state["settings"]["remoteControlEnabled"] is False

# A countdown keeps its full duration when given less time left; no stage record without stage options.
code, state = make("one", "--mode", "countdown", "--time", "754")
(clock,) = state["clocks"]
assert (clock["countdown"]["remaining"], clock["countdown"]["duration"]) == (754, 1800), clock["countdown"]
assert not clock["countdown"]["isRunning"] and "stage" not in clock
assert state["settings"]["remoteControlEnabled"] is True

code, state = make("bench20", "--remote", "off")
assert len(state["clocks"]) == 20 and state["settings"]["remoteControlEnabled"] is False

for refused in (["bench20", "--stage"], ["one", "--running"], ["one", "--size", "600"],
                ["one", "--mode", "analogue"], ["one", "--remote", "maybe"], ["nothing"], ["one", "--bogus"]):
    assert make(*refused)[0] == 2, refused
