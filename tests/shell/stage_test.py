#!/usr/bin/env python3
"""Stage Mode of the real application on two monitors of one X screen, under a real window manager
(openbox); run under tests/support/with-xvfb.sh with a 3840x1080 screen.

A clock goes full screen on the right-hand monitor by its key (F11) and by the remote control, leaves
by Escape and by the remote control, and comes back on its stage after a restart; each time the
window's geometry is read with xwininfo, and leaving gives back exactly the frame it had.
Usage: stage_test.py TAVIX"""
import json
import os
import plistlib
import re
import shutil
import socket
import subprocess
import sys
import time
import urllib.request

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "drills"))
import drillsupport as d  # noqa: E402

RIGHT = (1920, 0, 1920, 1080)  # x, y, width, height of the second monitor


def top_level(window):
    """The window manager's frame around `window`: its ancestor just below the root."""
    while True:
        out = subprocess.run(["xwininfo", "-tree", "-id", str(window)], capture_output=True, text=True,
                             timeout=5).stdout
        root = int(re.search(r"Root window id: (0x[0-9a-f]+)", out).group(1), 16)
        parent = int(re.search(r"Parent window id: (0x[0-9a-f]+)", out).group(1), 16)
        if parent == root:
            return window
        window = parent


def geometry(window, frame=False):
    """(x, y, width, height) of the window, or of the window manager's frame around it."""
    out = subprocess.run(["xwininfo", "-id", str(top_level(window) if frame else window)],
                         capture_output=True, text=True, timeout=5).stdout
    values = [int(re.search(rf"{label}:\s+(-?\d+)", out).group(1))
              for label in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
    return tuple(values)


def settle(window, want=None, timeout=30):
    """Waits until the geometry stays put (and equals `want` when given); returns it."""
    last = [None, time.monotonic()]

    def steady():
        now = (geometry(window), geometry(window, frame=True))
        if now != last[0]:
            last[0], last[1] = now, time.monotonic()
            return None
        if time.monotonic() - last[1] < 0.4 or (want and now[0] != want):
            return None
        return now

    result = d.wait_until(steady, timeout, step=0.05)
    d.check(result, f"window settled at {last[0]}, expected {want}")
    return result


def press(window, key):
    """A key as the user types it, into the window once it has the focus."""
    d.xdotool("windowactivate", "--sync", window, timeout=10)
    d.xdotool("key", key)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def remote(port, action, body):
    request = urllib.request.Request(f"http://127.0.0.1:{port}/api/v1/clocks/Stage/{action}",
                                     data=json.dumps(body).encode(), method="POST",
                                     headers={"Content-Type": "application/json"})
    with urllib.request.urlopen(request, timeout=10) as answer:
        return json.load(answer)


def stage_saved(folder, on):
    def saved():
        try:
            return d.by_name(folder.load(), "Stage").get("stage", {}).get("isActive") == on
        except (d.DrillFailure, OSError):
            return False
    d.check(d.wait_until(saved, 10), f"the state file does not say isActive={on}")


def start(binary, folder):
    app = d.App(binary, folder, {"TAVIX_REMOTE_CONTROL": "on"})
    window = d.wait_until(lambda: d.visible_window(app.pid, "Stage"), 60, step=0.05)
    d.check(window, "the clock window did not appear")
    return app, window


def main():
    binary = sys.argv[1]
    for name, geometry_text, output in (("LEFT", "1920/508x1080/286+0+0", "screen"),
                                        ("RIGHT", "1920/508x1080/286+1920+0", "none")):
        subprocess.run(["xrandr", "--setmonitor", name, geometry_text, output], check=True, timeout=10,
                       stdout=subprocess.DEVNULL)
    wm = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    folder = d.StateFolder()
    app = None
    try:
        d.check(d.wait_until(lambda: "_NET_SUPPORTING_WM_CHECK(WINDOW)" in subprocess.run(
            ["xprop", "-root", "_NET_SUPPORTING_WM_CHECK"], capture_output=True, text=True).stdout, 10),
            "openbox did not start")
        port = free_port()
        record = d.clock("Stage", 300, 200, remaining=600, running=False)
        record["stage"] = {"isActive": False, "screenName": "RIGHT", "caption": "message",
                           "message": "Act 2", "clickThrough": False}
        folder.write([record])
        state = folder.load()
        state["settings"].update({"remoteHttpPort": port, "remoteOscPort": free_port()})
        with open(folder.file, "wb") as out:
            plistlib.dump(state, out, fmt=plistlib.FMT_XML)

        app, window = start(binary, folder)
        floating = settle(window)
        d.check(floating[1][2] > floating[0][2], f"no window-manager frame around {floating}")

        # By the key, in the window.
        press(window, "F11")
        settle(window, RIGHT)
        stage_saved(folder, True)
        press(window, "Escape")
        left = settle(window)
        d.check(left == floating, f"Escape gave {left}, not the floating frame {floating}")
        stage_saved(folder, False)

        # By the remote control; the stage comes back after a restart.
        answer = remote(port, "stage", {"on": True, "screen": "RIGHT"})
        d.check(answer["stage"]["on"] is True, f"the answer does not show the stage: {answer}")
        settle(window, RIGHT)
        stage_saved(folder, True)
        app.stop()
        app.cleanup()
        app, window = start(binary, folder)
        settle(window, RIGHT)
        remote(port, "stage", {"on": False})
        left = settle(window)
        d.check(left == floating, f"leaving after a restart gave {left}, not the stored frame {floating}")
        app.stop()
        d.check(not app.diagnostics(), f"unexpected diagnostics: {app.diagnostics()}")
        print("stage: F11, Escape, remote control and restart on the second monitor: ok")
        return 0
    except d.DrillFailure as failure:
        print(f"FAILED: {failure}")
        if app:
            print(app.output())
        return 1
    finally:
        if app:
            app.cleanup()
        wm.terminate()
        wm.wait()
        shutil.rmtree(folder.home, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
