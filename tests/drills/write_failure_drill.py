#!/usr/bin/env python3
"""Drill 2: the state folder turns read-only, then the disk fills up, while a running countdown and
a window moved twice a second keep the application saving.

Where this process may mount file systems, the state folder is a 256 KiB tmpfs that is remounted
read-only and then filled; elsewhere a preloaded library (failwrite.c) makes the state file's
writes fail as they would there. For each fault: "❌ Failed to save app state: " is printed, the
file stays byte for byte the last state saved before the fault and loads, no temporary file is
left behind, and saving resumes once the fault is gone.
Usage: write_failure_drill.py TAVIX --shim FAILWRITE.so [--mode auto|tmpfs|inject]"""
import argparse
import errno
import os
import plistlib
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import drillsupport as d

COUNTDOWN = "Countdown"


def run(*command):
    return subprocess.run(command, capture_output=True, text=True).returncode == 0


class Tmpfs:
    name = "tmpfs of 256 KiB"

    def __init__(self, home):
        self.home = home
        if not run("mount", "-t", "tmpfs", "-o", "size=256k,mode=0755", "tavix-drill", home):
            raise OSError("mount not permitted")
        if not (run("mount", "-o", "remount,ro", home) and run("mount", "-o", "remount,rw", home)):
            self.close()
            raise OSError("remount not permitted")
        self.env = {}

    def remount(self, option):
        # A remount to read-only is refused while a file is open for writing, as during a save.
        d.check(d.wait_until(lambda: run("mount", "-o", f"remount,{option}", self.home), 5, step=0.01),
                f"could not remount {option}")

    def read_only(self, on):
        self.remount("ro" if on else "rw")

    def full(self, on):
        filler = os.path.join(self.home, "filler")
        if not on:
            os.remove(filler)
            return
        with open(filler, "wb", buffering=0) as out:
            for size in (65536, 4096, 1):
                try:
                    while True:
                        out.write(b"\0" * size)
                except OSError as error:
                    d.check(error.errno == errno.ENOSPC, f"filling the disk: {error}")

    def close(self):
        run("umount", "-l", self.home)


class Injected:
    name = "injected write failures"

    def __init__(self, home, shim):
        self.faults = tempfile.mkdtemp(prefix="tavix-faults-")
        # A sanitizer runtime must otherwise come first among the loaded libraries.
        self.env = {"LD_PRELOAD": shim, "TAVIX_DRILL_FAULTS": self.faults,
                    "ASAN_OPTIONS": "verify_asan_link_order=0:" + os.environ.get("ASAN_OPTIONS", "")}

    def _set(self, fault, on):
        path = os.path.join(self.faults, fault)
        if on:
            open(path, "w").close()
        else:
            os.remove(path)

    def read_only(self, on):
        self._set("erofs", on)

    def full(self, on):
        self._set("enospc", on)

    def close(self):
        shutil.rmtree(self.faults)


class Mover:
    """Moves a window back and forth twice a second: each move is a user's change, saved at once
    (a running countdown alone is saved only every few seconds)."""

    def __init__(self, window):
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, args=(window,), daemon=True)
        self._thread.start()

    def _run(self, window):
        x = 800
        while not self._stop.wait(0.5):
            x = 820 if x == 800 else 800
            d.move_window(window, x, 100)

    def close(self):
        self._stop.set()
        self._thread.join()


def remaining(state):
    return d.by_name(state, COUNTDOWN)["countdown"]["remaining"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tavix")
    parser.add_argument("--shim", required=True)
    parser.add_argument("--mode", choices=["auto", "tmpfs", "inject"], default="auto")
    args = parser.parse_args()

    folder = d.StateFolder()
    fs = None
    if args.mode in ("auto", "tmpfs"):
        try:
            fs = Tmpfs(folder.home)
        except OSError:
            if args.mode == "tmpfs":
                raise
    if fs is None:
        fs = Injected(folder.home, args.shim)
    started = time.monotonic()
    app = None
    mover = None
    report = []
    try:
        folder.write([d.clock(COUNTDOWN, 100, 100, remaining=3600.5), d.clock("Wall", 800, 100)])
        app = d.App(args.tavix, folder, fs.env)
        window = d.wait_until(lambda: d.visible_window(app.pid, "Wall"), 60)
        d.check(window, "no window for the wall clock")
        mover = Mover(window)
        last = remaining(folder.load())
        d.check(d.wait_until(lambda: remaining(folder.load()) < last, 20), "the running countdown is never saved")

        for fault, apply in (("read-only folder", fs.read_only), ("full disk", fs.full)):
            failures_before = len(app.lines(d.SAVE_FAILED))
            good = folder.read_bytes()
            apply(True)
            # A save that began before the fault may still land; the one after it must fail.
            d.check(d.wait_until(lambda: len(app.lines(d.SAVE_FAILED)) > failures_before, 5),
                    f"{fault}: no \"{d.SAVE_FAILED}\" line")
            kept = folder.read_bytes()
            d.check(remaining(folder.load()) >= remaining(plistlib.loads(good)) - 1.5,
                    f"{fault}: the file does not hold the last state saved before the fault")
            time.sleep(2.2)  # four more moves, more failed saves
            d.check(folder.read_bytes() == kept, f"{fault}: the file changed while saving failed")
            folder.load()
            d.check(not folder.entries("tavix.plist.tmp-"),
                    f"{fault}: temporary files left behind: {folder.entries('tavix.plist.tmp-')}")
            failed = len(app.lines(d.SAVE_FAILED)) - failures_before
            d.check(failed >= 2, f"{fault}: only {failed} failed saves reported in 2 s")
            apply(False)
            last = remaining(folder.load())
            d.check(d.wait_until(lambda: remaining(folder.load()) < last, 5),
                    f"{fault}: saving did not resume")
            reason = app.lines(d.SAVE_FAILED)[failures_before].rsplit(": ", 1)[-1]
            report.append(f"{fault}: {failed} failures reported (\"{reason}\"), file kept, saving resumed")

        mover.close()
        mover = None
        app.stop()
        d.check(remaining(folder.load()) < last, "the final state was not saved")
        d.check(not [line for line in app.diagnostics() if not line.startswith(d.SAVE_FAILED)],
                f"unexpected messages: {app.diagnostics()}")
    except d.DrillFailure as failure:
        print(f"drill 2 FAILED ({fs.name}): {failure}")
        if app:
            print(app.output())
        return 1
    finally:
        if mover:
            mover.close()
        if app:
            app.cleanup()
        fs.close()
    print(f"drill 2 ({fs.name}): " + "; ".join(report) + f"; {time.monotonic() - started:.0f} s")
    folder.remove()
    return 0


if __name__ == "__main__":
    sys.exit(main())
