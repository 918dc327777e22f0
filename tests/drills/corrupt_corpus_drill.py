#!/usr/bin/env python3
"""Drill 3: the application started on each malformed state file of tests/data/corrupt.

Each time: one "⚠️ Saved app state could not be decoded and was preserved: " line and no failure
line, the bytes kept whole as tavix-corrupt-<unix seconds>-<UUID>.plist (with the time of this
start), a window titled "Clock 1", a new state file holding just that clock, and exit status 0
on SIGTERM.
Usage: corrupt_corpus_drill.py TAVIX CORPUS_FOLDER"""
import os
import re
import sys
import time

import drillsupport as d

PRESERVED_NAME = re.compile(r"tavix-corrupt-(\d+)-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\.plist")


def start_on(tavix, data):
    folder = d.StateFolder()
    os.makedirs(folder.dir)
    with open(folder.file, "wb") as out:
        out.write(data)
    app = d.App(tavix, folder)
    try:
        window = d.wait_until(lambda: d.visible_window(app.pid, "Clock 1"), 30, step=0.05)
        d.check(window, "no window titled \"Clock 1\"")
        app.stop()
        lines = app.diagnostics()
        d.check(len(lines) == 1 and lines[0].startswith(d.PRESERVED), f"messages: {lines}")
        kept = folder.entries("tavix-corrupt-")
        d.check(len(kept) == 1, f"preserved files: {kept}")
        found = PRESERVED_NAME.fullmatch(kept[0])
        d.check(found and int(app.launched_wall) - 1 <= int(found.group(1)) <= time.time() + 1,
                f"preserved name {kept[0]}")
        with open(os.path.join(folder.dir, kept[0]), "rb") as f:
            d.check(f.read() == data, "the preserved bytes differ from the original")
        names = [record.get("name") for record in folder.load()["clocks"]]
        d.check(names == ["Clock 1"], f"new state holds {names}")
    finally:
        app.cleanup()
    folder.remove()


def main():
    tavix, corpus = sys.argv[1], sys.argv[2]
    files = sorted(os.listdir(corpus))
    started = time.monotonic()
    failures = []
    for name in files:
        with open(os.path.join(corpus, name), "rb") as f:
            data = f.read()
        try:
            start_on(tavix, data)
        except d.DrillFailure as failure:
            failures.append(f"{name}: {failure}")
    for failure in failures:
        print(f"drill 3 FAILED: {failure}")
    print(f"drill 3: {len(files)} malformed files, {len(files) - len(failures)} preserved byte for byte "
          f"with Clock 1 started, {time.monotonic() - started:.0f} s")
    return 1 if failures or len(files) < 50 else 0


if __name__ == "__main__":
    sys.exit(main())
