#!/usr/bin/env python3
"""Drill 1: kill -9 at random moments while a countdown runs and windows are moved and added, each
time restarting on the file that survived.

After every kill the state file must be a complete property list (Python's reader), the next start
must take it without preserving it as unreadable (the application's own reader), no clock may be
lost, and the file must hold a state at most 1 s old. Age is the time since the application's live
state last equalled the file's state (0 while it still does), measured two ways:
  countdown: the countdown runs from its window's map event on, from the remaining time it was
             loaded with; the file's state stopped being live when the countdown reached the
             whole second below the one the file shows.
  moves:     the file holds the window position of move j; it stopped being live no earlier than
             when move j+1 was sent (an upper bound, since sending precedes handling).
A temporary file left beside the state file marks a kill that landed inside a write.
Usage: kill9_drill.py TAVIX [--kills N] [--max-run SECONDS] [--seed N] [--verbose]"""
import argparse
import math
import os
import random
import signal
import statistics
import sys
import time

import drillsupport as d

COUNTDOWN = "Countdown"
TOP = 300
MAX_CLOCKS = 6


def implied(countdown, at_wall):
    """The remaining time a countdown record stands for at a wall-clock instant: a running countdown
    saved with the instant it was measured counts on from there, whatever happened in between."""
    if countdown.get("isRunning") and "measuredAt" in countdown:
        return countdown["remaining"] - (at_wall - countdown["measuredAt"])
    return countdown["remaining"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tavix")
    parser.add_argument("--kills", type=int, default=200)
    parser.add_argument("--max-run", type=float, default=1.8,
                        help="latest kill, in seconds after the countdown window appeared")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    rng = random.Random(args.seed)

    folder = d.StateFolder()
    folder.write([d.clock(COUNTDOWN, 100, TOP, remaining=86400.5), d.clock("Wall", 900, 600)])
    watch = d.MapWatch()
    ages, countdown_ages, move_ages = [], [], []
    before_map = 0
    moves_sent = 0
    new_windows = 0
    started = time.monotonic()
    kill = 0
    start_up = 0.5  # seconds from launch to the countdown's window, as last seen
    try:
        for kill in range(args.kills):
            state = folder.load()
            ids = {record["id"] for record in state["clocks"]}
            start = d.by_name(state, COUNTDOWN)
            remaining_start = implied(start["countdown"], time.time())
            x = start["windowOrigin"][0]
            moves = [(None, x)]  # (time sent, x); the first is the position loaded

            app = d.App(args.tavix, folder)
            # A fifth of the kills land in start-up (loading, opening windows). Of the rest, some are
            # aimed at the save that follows the last move by the autosave's quiet period, to land
            # inside a write; the others fall anywhere in the run.
            timing = rng.choices(["start-up", "aimed", "anywhere"], weights=[2, 3, 5])[0]
            kill_at = app.launched + rng.uniform(0.0, start_up) if timing == "start-up" else math.inf
            last_move_at = math.inf
            shown = None  # (map time, window) of the countdown
            next_action = 0.0
            while (now := time.monotonic()) < kill_at:
                if shown is None:
                    shown = watch.wait_for(app.launched, COUNTDOWN, 0)
                    if shown is None:
                        d.check(now - app.launched < 60, "no countdown window after 60 s")
                        time.sleep(0.005)
                        continue
                    start_up = shown[0] - app.launched
                    if timing == "anywhere":
                        kill_at = shown[0] + rng.uniform(0.0, args.max_run)
                    elif timing == "aimed":
                        last_move_at = shown[0] + rng.uniform(0.1, args.max_run - 0.3)
                    next_action = shown[0] + rng.uniform(0.0, 0.2)
                    continue
                if now < next_action:
                    time.sleep(min(0.005, next_action - now))
                    continue
                if len(ids) + new_windows < MAX_CLOCKS and now < last_move_at and rng.random() < 0.02:
                    d.xdotool("windowfocus", shown[1])
                    d.xdotool("key", "ctrl+n")
                    new_windows += 1
                else:
                    x = 100 + (moves_sent * 37) % 1000
                    moves_sent += 1
                    moves.append((time.monotonic(), float(x)))
                    d.move_window(shown[1], x, TOP)
                if now >= last_move_at:
                    kill_at = moves[-1][0] + rng.uniform(0.24, 0.32)
                    next_action = math.inf
                    continue
                # Mostly bursts with gaps shorter than the autosave's quiet period, which they
                # keep restarting, now and then a pause longer than it.
                pause = rng.uniform(0.3, 0.6) if rng.random() < 0.15 else rng.uniform(0.03, 0.2)
                next_action = time.monotonic() + pause
            killed = time.monotonic()
            killed_wall = time.time()
            app.signal(signal.SIGKILL)
            app.finish()

            d.check(not app.diagnostics(), f"start-up on the previous file said {app.diagnostics()}")
            d.check(not folder.entries("tavix-corrupt-"), "a state file was preserved as unreadable")
            state = folder.load()
            saved_ids = {record["id"] for record in state["clocks"]}
            d.check(ids <= saved_ids, f"clocks lost: {ids - saved_ids}")
            ids = saved_ids
            new_windows = 0
            saved = d.by_name(state, COUNTDOWN)
            d.check(saved["countdown"]["isRunning"] is True, "the countdown stopped")
            remaining = implied(saved["countdown"], killed_wall)
            d.check(remaining_start - (killed - app.launched) - 0.05 <= remaining <= remaining_start + 0.05,
                    f"remaining {remaining} does not follow {remaining_start} "
                    f"after {killed - app.launched:.3f} s")

            countdown_age = 0.0
            if shown is not None and "measuredAt" not in saved["countdown"]:
                # The shown second changes as the remaining time reaches a whole second (a few ms
                # before it): the file's state lasted until the countdown reached the one below.
                next_second = math.ceil(remaining - 0.02) - 1
                superseded = shown[0] + (remaining_start - next_second) - 0.02
                countdown_age = max(0.0, killed - superseded)
            saved_x = saved["windowOrigin"][0]
            index = max((i for i, (_, mx) in enumerate(moves) if mx == saved_x), default=None)
            d.check(index is not None, f"saved x {saved_x} is no position the window had")
            move_age = killed - moves[index + 1][0] if index + 1 < len(moves) else 0.0
            countdown_ages.append(countdown_age)
            move_ages.append(move_age)
            ages.append(max(countdown_age, move_age))
            if shown is None:
                before_map += 1
            if args.verbose:
                mtime = os.stat(folder.file).st_mtime_ns / 1e9 - (time.time() - time.monotonic())
                print(f"after map {killed - shown[0] if shown else -1:.3f} s, loaded {remaining_start:.3f}, "
                      f"saved {remaining:.3f}, written {killed - mtime:.3f} s before the kill, "
                      f"countdown age {countdown_age:.3f}, move age {move_age:.3f}, "
                      f"moves {[round(killed - t, 3) for t, _ in moves[1:]]} index {index}")
            app.cleanup()

        # The last file too must be taken by the application.
        app = d.App(args.tavix, folder)
        d.check(watch.wait_for(app.launched, COUNTDOWN, 20), "the last start showed no countdown window")
        app.stop()
        d.check(not app.diagnostics() and not folder.entries("tavix-corrupt-"),
                f"the last file was not taken: {app.diagnostics()}")
        app.cleanup()
    except d.DrillFailure as failure:
        print(f"drill 1 FAILED at kill {kill} (seed {args.seed}): {failure}; state kept in {folder.dir}")
        return 1
    finally:
        watch.close()

    worst, median = max(ages), statistics.median(ages)
    stale = [a for a in ages if a > 1.0]
    leftovers = len(folder.entries("tavix.plist.tmp-"))
    print(f"drill 1: {args.kills} kills ({before_map} before the first window), {args.kills} complete files "
          f"taken by both readers, worst age {worst:.2f} s, median {median:.2f} s, "
          f"behind the live state at {sum(a > 0 for a in ages)} kills "
          f"(countdown worst {max(countdown_ages):.2f} s, moves worst {max(move_ages):.2f} s; "
          f"{moves_sent} moves, {len(ids) - 2} clocks added with Ctrl+N), "
          f"temporary files of interrupted writes left: {leftovers}, "
          f"{time.monotonic() - started:.0f} s, seed {args.seed}")
    if stale:
        print(f"drill 1 FAILED: {len(stale)} kills left a state older than 1 s")
        return 1
    folder.remove()
    return 0


if __name__ == "__main__":
    sys.exit(main())
