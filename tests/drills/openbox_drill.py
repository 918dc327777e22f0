#!/usr/bin/env python3
"""The window settings under a real window manager (openbox) on a private X server.

on-top:   a clock set to float above others stays above an overlapping clock and another
          application through scripted focus changes, checked in the window manager's stacking
          list after each one.
restarts: Tavix is started and ended again and again; every window reopens within 1 px of where
          it was the first time (position and size, read with xwininfo).
Usage: openbox_drill.py TAVIX on-top [--changes N] | restarts [--restarts N]
$TAVIX_DRILL_RESTARTS, when set, takes the place of --restarts (100 by default), so that
`TAVIX_DRILL_RESTARTS=100 ctest -R openbox_restarts` runs the long drill."""
import argparse
import os
import re
import subprocess
import sys
import time

import drillsupport as d

CLOCKS = [("Alpha", 80, 60, (420, 150)), ("Beta", 700, 90, (520, 180)), ("Gamma", 300, 500, (360, 140))]


class WindowManager:
    def __init__(self):
        self.process = subprocess.Popen(["openbox", "--sm-disable"], stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        d.check(d.wait_until(lambda: "window id #" in root_property("_NET_SUPPORTING_WM_CHECK"), 20),
                "openbox did not take over the display")

    def stop(self):
        self.process.terminate()
        self.process.wait()


def root_property(name):
    return subprocess.run(["xprop", "-root", name], capture_output=True, text=True).stdout


def stacking():
    """Client windows from bottom to top, as the window manager stacks them."""
    return [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", root_property("_NET_CLIENT_LIST_STACKING"))]


def geometry(window):
    """(x, y, width, height) of the window's content on the screen."""
    out = subprocess.run(["xwininfo", "-id", str(window)], capture_output=True, text=True).stdout
    values = {key: int(value) for key, value in re.findall(r"(Absolute upper-left [XY]|Width|Height):\s+(-?\d+)", out)}
    return (values["Absolute upper-left X"], values["Absolute upper-left Y"], values["Width"], values["Height"])


def windows_of(app, names, timeout=60):
    found = {}

    def all_shown():
        for name in names:
            if name not in found:
                window = d.visible_window(app.pid, name)
                if window:
                    found[name] = int(window)
        return len(found) == len(names)

    d.check(d.wait_until(all_shown, timeout, step=0.02), f"windows shown: {sorted(found)} of {names}")
    return found


def settled_geometries(windows):
    """{name: geometry} once the window manager has stopped moving the windows (two equal reads)."""
    last = None

    def steady():
        nonlocal last
        now = {name: geometry(window) for name, window in windows.items()}
        same = now == last
        last = now
        return same

    d.wait_until(steady, 5, step=0.05)
    return last


def on_top(args):
    folder = d.StateFolder()
    above = d.clock("Above", 200, 150, size=(420, 150))
    above["alwaysOnTop"] = True
    folder.write([above, d.clock("Below", 260, 180, size=(420, 150))])
    other = subprocess.Popen(["xlogo", "-geometry", "700x500+100+100"])
    app = d.App(args.tavix, folder)
    try:
        windows = windows_of(app, ["Above", "Below"])
        logo = d.wait_until(lambda: d.xdotool("search", "--onlyvisible", "--classname", "xlogo"), 20)
        d.check(logo, "xlogo showed no window")
        targets = [int(logo.split()[0]), windows["Below"], windows["Above"]]
        state = subprocess.run(["xprop", "-id", str(windows["Above"]), "_NET_WM_STATE"], capture_output=True,
                               text=True).stdout
        d.check("_NET_WM_STATE_ABOVE" in state, f"the window does not ask to stay above: {state}")
        for change in range(args.changes):
            target = targets[change % len(targets)]
            d.xdotool("windowactivate", "--sync", target, timeout=10)
            order = stacking()
            d.check(windows["Above"] in order, f"change {change}: the clock left the stacking list")
            below = [w for w in targets if w != windows["Above"]]
            d.check(all(order.index(windows["Above"]) > order.index(w) for w in below if w in order),
                    f"change {change}: activating {target:#x} put it above the on-top clock ({order})")
        app.stop()
    finally:
        app.cleanup()
        other.kill()
        other.wait()
        folder.remove()
    print(f"on top through {args.changes} focus changes")


def restarts(args):
    folder = d.StateFolder()
    folder.write([d.clock(name, x, top, size=size) for name, x, top, size in CLOCKS])
    names = [name for name, *_ in CLOCKS]
    first = None
    worst = 0
    try:
        for run in range(args.restarts):
            app = d.App(args.tavix, folder)
            try:
                windows = windows_of(app, names)
                places = settled_geometries(windows)
                app.stop()
                d.check(not app.diagnostics(), f"run {run}: {app.diagnostics()}")
            finally:
                app.cleanup()
            if first is None:
                first = places
                continue
            for name in names:
                drift = max(abs(a - b) for a, b in zip(places[name], first[name]))
                worst = max(worst, drift)
                d.check(drift <= 1, f"run {run}: {name} reopened at {places[name]}, first at {first[name]}")
    finally:
        folder.remove()
    print(f"{args.restarts} starts, {len(CLOCKS)} windows each, largest drift {worst} px")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tavix")
    sub = parser.add_subparsers(dest="drill", required=True)
    top = sub.add_parser("on-top")
    top.add_argument("--changes", type=int, default=100)
    again = sub.add_parser("restarts")
    again.add_argument("--restarts", type=int, default=100)
    args = parser.parse_args()
    if args.drill == "restarts" and os.environ.get("TAVIX_DRILL_RESTARTS"):
        args.restarts = int(os.environ["TAVIX_DRILL_RESTARTS"])
    wm = WindowManager()
    try:
        (on_top if args.drill == "on-top" else restarts)(args)
    except d.DrillFailure as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        wm.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
