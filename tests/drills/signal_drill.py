#!/usr/bin/env python3
"""Drill 5: SIGTERM, SIGINT and SIGHUP each save the final state.

Two countdowns run and one is paused. Some time after start-up the paused clock's window is moved
and 50 ms later, well inside the autosave's quiet period, the signal is sent. Then: the process
exits 0; the file is complete and holds the move (so the final save happened, not just an earlier
autosave); each running countdown saved the value it was showing, within one tick of its time
since its window appeared; the paused one is untouched. Each run starts on the file the previous
one left, so the application's own reader takes every file too.
Usage: signal_drill.py TAVIX [--rounds N] [--seed N]"""
import argparse
import random
import signal
import sys
import time

import drillsupport as d

RUNNING = {"First": (100, 40, 5400.5), "Second": (800, 40, 600.25)}  # name: x, top, remaining
PAUSED = ("Paused", 1300, 400, 42.0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tavix")
    parser.add_argument("--rounds", type=int, default=2, help="runs per signal")
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    rng = random.Random(args.seed)

    folder = d.StateFolder()
    folder.write([d.clock(name, x, top, remaining=r) for name, (x, top, r) in RUNNING.items()] +
                 [d.clock(PAUSED[0], PAUSED[1], PAUSED[2], remaining=PAUSED[3], running=False)])
    watch = d.MapWatch()
    lags = []
    runs = 0
    try:
        for number in [signal.SIGTERM, signal.SIGINT, signal.SIGHUP] * args.rounds:
            name = signal.Signals(number).name
            before = folder.load()
            app = d.App(args.tavix, folder)
            shown = {}
            for clock_name in [*RUNNING, PAUSED[0]]:
                shown[clock_name] = watch.wait_for(app.launched, clock_name, 60)
                d.check(shown[clock_name], f"{name}: no window for {clock_name}")
            time.sleep(rng.uniform(0.8, 2.5))
            x = 1000 + runs * 20
            d.move_window(shown[PAUSED[0]][1], x, PAUSED[2])
            time.sleep(0.05)
            sent = time.monotonic()
            app.signal(number)
            status = app.finish()
            ended = time.monotonic()
            d.check(status == 0, f"{name}: exit status {status}")
            d.check(not app.diagnostics(), f"{name}: {app.diagnostics()}")
            after = folder.load()

            paused = d.by_name(after, PAUSED[0])
            d.check(paused["windowOrigin"][0] == x,
                    f"{name}: the move 50 ms before the signal is not saved (x {paused['windowOrigin'][0]})")
            d.check(paused["countdown"]["remaining"] == PAUSED[3] and paused["countdown"]["isRunning"] is False,
                    f"{name}: the paused countdown changed: {paused['countdown']}")
            for clock_name in RUNNING:
                start = d.by_name(before, clock_name)["countdown"]["remaining"]
                saved = d.by_name(after, clock_name)["countdown"]
                d.check(saved["isRunning"] is True, f"{name}: {clock_name} saved as stopped")
                # Running timers count from the moment Tavix loads the file, which is before the
                # window is mapped and after the launch. The window shows the value of its last
                # tick, taken as it reached a whole second: at most one tick above the continuous
                # value from the map to the signal, and never below the continuous value from the
                # launch to the process's end. 0.15 s is left for late timers either way.
                continuous = start - (sent - shown[clock_name][0])
                handled = (app.launched - shown[clock_name][0]) + (sent - ended)
                lag = saved["remaining"] - continuous
                d.check(handled - 0.15 <= lag <= 1.15,
                        f"{name}: {clock_name} saved {saved['remaining']:.3f} while showing about "
                        f"{continuous:.3f} (loaded {start:.3f})")
                lags.append(lag)
            app.cleanup()
            runs += 1

        app = d.App(args.tavix, folder)
        d.check(watch.wait_for(app.launched, PAUSED[0], 60), "the last start showed no window")
        d.check(not app.diagnostics() and not folder.entries("tavix-corrupt-"),
                f"the last file was not taken: {app.diagnostics()}")
        app.stop()
        app.cleanup()
    except d.DrillFailure as failure:
        print(f"drill 5 FAILED (seed {args.seed}): {failure}; state kept in {folder.dir}")
        return 1
    finally:
        watch.close()
    print(f"drill 5: {runs} signals (SIGTERM, SIGINT, SIGHUP x{args.rounds}), {runs} exits with status 0, "
          f"{runs} complete files with the last edit, saved remaining minus shown countdown "
          f"{min(lags):+.3f} to {max(lags):+.3f} s, seed {args.seed}")
    folder.remove()
    return 0


if __name__ == "__main__":
    sys.exit(main())
