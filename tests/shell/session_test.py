#!/usr/bin/env python3
"""The real application as a desktop session meets it; run under tests/support/with-xvfb.sh, which
gives it a private runtime directory and no session bus.

instances           two launches on one state folder: the second hands over to the first and exits 0
                    without writing; a Tavix on another folder runs alongside; a killed instance
                    leaves no lock that blocks the next start
instances-with-bus  the same on a private session bus, where the first Tavix also owns
                    org.tavix.Tavix and answers org.freedesktop.Application.Activate
session-end         the X server going away (how an X11 session ends) right after a move still
                    saves the move; a closed standard output does not stop Tavix
files               on a private bus with a notification service: a binary state file with keys of
                    a newer Tavix and a pasted control character, then replaced behind Tavix's back,
                    then made read-only. Every file Tavix writes must read with plistlib and xmllint.
Usage: session_test.py THEME TAVIX FAKE_NOTIFICATIONS"""
import datetime
import os
import plistlib
import re
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "drills"))
import drillsupport as d  # noqa: E402

KEPT_ASIDE = "⚠️ Saved app state was changed outside Tavix and was kept aside: "
READ_ONLY = d.SAVE_FAILED + "refusing to replace the read-only file"


class PrivateBus:
    """A session bus of our own; DBUS_SESSION_BUS_ADDRESS points at it for everything started
    from here on."""

    def __enter__(self):
        out = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"],
                             capture_output=True, text=True, check=True, timeout=30).stdout.split()
        self.address, self.pid = out[0], int(out[1])
        self.before = os.environ.get("DBUS_SESSION_BUS_ADDRESS")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.address
        return self

    def __exit__(self, *exc):
        if self.before is None:
            os.environ.pop("DBUS_SESSION_BUS_ADDRESS", None)
        else:
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.before
        os.kill(self.pid, signal.SIGTERM)

    def owner_pid(self, name):
        result = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                 "/org/freedesktop/DBus", "org.freedesktop.DBus.GetConnectionUnixProcessID",
                                 f"string:{name}"], capture_output=True, text=True, timeout=10)
        found = re.search(r"uint32 (\d+)", result.stdout)
        return int(found.group(1)) if found else None


def stacking():
    """Top-level windows, bottom first: X keeps siblings in stacking order."""
    out = d.xdotool("search", "--all", "--onlyvisible", "--name", ".")
    visible = {int(w) for w in out.split()}
    tree = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout
    order = [int(w, 16) for w in re.findall(r"^\s+(0x[0-9a-f]+)", tree, re.M)]
    order.reverse()  # xwininfo lists the top first
    return [w for w in order if w in visible]


def windows_of(pid):
    return {int(w) for w in d.xdotool("search", "--all", "--onlyvisible", "--pid", pid, "--name", ".").split()}


def on_top(pid):
    """Whether the windows of `pid` are all above every other visible window."""
    order = stacking()
    own = windows_of(pid)
    if not own:
        return False
    lowest_own = min(order.index(w) for w in own if w in order)
    return all(w in own for w in order[lowest_own:])


def snapshot(folder):
    """Every file in the state folder with its bytes and times: what "writes nothing" must keep."""
    result = {}
    for name in os.listdir(folder.dir):
        path = os.path.join(folder.dir, name)
        info = os.lstat(path)
        with open(path, "rb") as f:
            result[name] = (f.read(), info.st_mtime_ns, info.st_ino)
    return result


def start(binary, folder, names, env=None):
    app = d.App(binary, folder, env)
    d.check(d.wait_until(lambda: all(d.visible_window(app.pid, n) for n in names), 60),
            f"no windows {names}: {app.output()}")
    return app


def instances(tavix, bus=None):
    folder, other = d.StateFolder(), d.StateFolder()
    folder.write([d.clock("First", 100, 100), d.clock("Second", 800, 100)])
    other.write([d.clock("Elsewhere", 300, 200)])
    apps = []
    try:
        first = start(tavix, folder, ["First", "Second"])
        apps.append(first)
        # Another state folder is another Tavix: it runs, and its windows open on top.
        alongside = start(tavix, other, ["Elsewhere"])
        apps.append(alongside)
        d.check(d.wait_until(lambda: on_top(alongside.pid), 10), "the later Tavix is not in front")
        if bus:
            d.check(bus.owner_pid("org.tavix.Tavix") == first.pid, "the first Tavix does not own org.tavix.Tavix")

        before = snapshot(folder)
        second = d.App(tavix, folder)
        apps.append(second)
        status = second.finish(60)
        d.check(status == 0, f"the second launch ended with {status}: {second.output()}")
        d.check(second.output() == "", f"the second launch printed {second.output()!r}")
        d.check(d.wait_until(lambda: on_top(first.pid), 10), "the first Tavix did not come to the front")
        d.check(first.process.poll() is None, "the first Tavix ended")
        time.sleep(1)  # a write would have happened by now
        d.check(snapshot(folder) == before, "the state folder changed")

        if bus:
            for window in windows_of(alongside.pid):
                d.xdotool("windowraise", window)
            d.check(d.wait_until(lambda: on_top(alongside.pid), 10), "could not raise the other Tavix")
            subprocess.run(["gdbus", "call", "--session", "--dest", "org.tavix.Tavix", "--object-path",
                            "/org/tavix/Tavix", "--method", "org.freedesktop.Application.Activate", "{}"],
                           check=True, capture_output=True, timeout=10)
            d.check(d.wait_until(lambda: on_top(first.pid), 10), "Activate on the bus did not raise Tavix")

        # Killed: its lock goes with it, and the next start on the folder runs.
        first.signal(signal.SIGKILL)
        first.finish()
        third = start(tavix, folder, ["First", "Second"])
        apps.append(third)
        if bus:
            d.check(d.wait_until(lambda: bus.owner_pid("org.tavix.Tavix") == third.pid, 10),
                    "the name did not pass on to the next Tavix")
        for app in (third, alongside):
            app.stop()
            d.check(not app.diagnostics(), f"unexpected lines: {app.diagnostics()}")
    finally:
        for app in apps:
            app.cleanup()
    folder.remove()
    other.remove()
    return "a second launch on one folder handed over and exited 0 without writing; another folder ran " \
           "alongside; a killed instance did not block the next" + (", Activate on the bus raised it" if bus else "")


def own_xvfb():
    read, write = os.pipe()
    # -noreset: without it the server resets whenever its last client leaves (each look with
    # xdotool), and a Tavix that connects in that moment is refused.
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1920x1080x24", "-nolisten",
                               "tcp", "-noreset"], pass_fds=(write,), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
    os.close(write)
    with os.fdopen(read) as f:
        display = ":" + f.readline().strip()
    return server, display


def session_end(tavix):
    # The X server goes away 0.1 s after a window was moved: the move is not lost.
    folder = d.StateFolder()
    folder.write([d.clock("Moved", 100, 100)])
    server, display = own_xvfb()
    saved_display = os.environ["DISPLAY"]
    os.environ["DISPLAY"] = display
    app = None
    try:
        app = start(tavix, folder, ["Moved"])
        time.sleep(1)
        d.move_window(d.visible_window(app.pid, "Moved"), 555, 300)
        time.sleep(0.1)
        server.terminate()
        server.wait()
        status = app.finish(30)
        d.check(status != 0, "Tavix ended normally although its display went away")
        origin = d.by_name(folder.load(), "Moved")["windowOrigin"]
        d.check(origin[0] == 555, f"the move before the session ended is lost: {origin}")
    finally:
        os.environ["DISPLAY"] = saved_display
        if server.poll() is None:
            server.kill()
        if app:
            app.cleanup()

    # Standard output is a pipe that nobody reads any more (`tavix | head -1`); the start-up
    # line about the unreadable file is written into it.
    os.makedirs(folder.dir, exist_ok=True)
    with open(folder.file, "wb") as f:
        f.write(b"not a property list")
    env = dict(os.environ, XDG_DATA_HOME=folder.home, LANG="C.UTF-8")
    process = subprocess.Popen([tavix], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    process.stdout.close()
    try:
        d.check(d.wait_until(lambda: d.visible_window(process.pid, "Clock 1") or process.poll() is not None, 60)
                and process.poll() is None, f"Tavix ended with {process.poll()} when its output was closed")
        time.sleep(1)
        d.check(process.poll() is None, f"Tavix ended with {process.poll()} when its output was closed")
        process.send_signal(signal.SIGTERM)
        d.check(process.wait(30) == 0, "SIGTERM did not end Tavix with status 0")
        d.by_name(folder.load(), "Clock 1")
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    folder.remove()
    return f"the display went away 0.1 s after a move and the move was saved (exit {status}); " \
           "a closed standard output did not stop Tavix"


def newer(tag):
    return {"newerText": f"{tag} a<b&c", "newerDate": datetime.datetime(2030, 1, 2, 3, 4, 5),
            "newerData": b"\0\1\xff", "newerBig": 2 ** 64 - 1, "newerNegative": -5, "newerFlag": False,
            "newerList": [1, {"x": 2.5, "y": []}]}


def standard_readers_take(path):
    with open(path, "rb") as f:
        state = plistlib.load(f)
    lint = subprocess.run(["xmllint", "--noout", path], capture_output=True, text=True)
    d.check(lint.returncode == 0, f"xmllint refuses {path}: {lint.stderr}")
    return state


class Notifications:
    def __init__(self, binary):
        self.out = tempfile.TemporaryFile()
        self.process = subprocess.Popen([binary], stdout=self.out, stderr=subprocess.STDOUT)
        d.check(d.wait_until(lambda: b"ready" in self.read().encode(), 30), "no notification service")

    def read(self):
        self.out.seek(0)
        return self.out.read().decode("utf-8", "replace")

    def calls(self):
        return [line.split("\t") for line in self.read().splitlines() if line.startswith("Notify\t")]

    def close(self):
        self.process.terminate()
        self.process.wait()


def files(tavix, notifications_binary):
    # What a newer Tavix wrote, in binary form, with a name pasted from a word processor.
    folder = d.StateFolder()
    countdown = d.clock("Countdown", 100, 100, remaining=3600.5)
    countdown["newer"] = newer("clock")
    countdown["countdown"]["newer"] = newer("countdown")
    settings = dict(d.settings(), newer=newer("settings"))
    original = {"clocks": [countdown, d.clock("Pasted\x0bline", 800, 100)], "settings": settings,
                "newer": newer("root")}
    os.makedirs(folder.dir)
    with open(folder.file, "wb") as f:
        plistlib.dump(original, f, fmt=plistlib.FMT_BINARY)
    service = Notifications(notifications_binary)
    app = None
    try:
        app = start(tavix, folder, ["Countdown", "Pastedline"])
        moves = iter(range(10**6))

        def saved_after_a_move(predicate, timeout=10):
            # A moved window is saved within a second; a running countdown alone only every 10 s.
            def moved_then_check():
                window = d.visible_window(app.pid, "Pastedline")
                if window:
                    d.move_window(window, 800 + next(moves) % 2 * 8, 100)
                return predicate()
            return d.wait_until(moved_then_check, timeout, step=0.4)

        d.check(saved_after_a_move(lambda: folder.read_bytes()[:6] == b"<?xml "), "the running countdown is never saved")
        state = standard_readers_take(folder.file)
        saved = d.by_name(state, "Countdown")
        d.check((state["newer"], state["settings"]["newer"], saved["newer"], saved["countdown"]["newer"]) ==
                (original["newer"], settings["newer"], countdown["newer"], countdown["countdown"]["newer"]),
                f"keys of a newer Tavix changed: {state['newer']}")

        # A backup restored behind Tavix's back, with the old modification time, as sync tools do.
        stamp = os.stat(folder.file)
        with open(folder.file, "wb") as f:
            plistlib.dump({"clocks": [d.clock("From backup", 0, 0)], "settings": d.settings()}, f)
        os.utime(folder.file, ns=(stamp.st_atime_ns, stamp.st_mtime_ns))
        d.check(saved_after_a_move(lambda: app.lines(KEPT_ASIDE)), "the replaced file was not kept aside")
        kept = folder.entries("tavix-replaced-")
        d.check(len(kept) == 1, f"kept aside: {kept}")
        # The line comes before the write that follows it.
        d.check(d.wait_until(lambda: b"<string>Countdown</string>" in folder.read_bytes(), 10),
                "Tavix did not write its own state after keeping the other version")
        d.by_name(standard_readers_take(folder.file), "Countdown")
        d.check(d.wait_until(lambda: any(c[1] == "Tavix kept a copy of your clocks file" and kept[0] in c[2]
                                         for c in service.calls()), 10),
                f"no notification of the kept copy: {service.calls()}")

        # Made read-only by its owner: not replaced, and said once on the desktop while it lasts.
        os.chmod(folder.file, 0o400)
        d.check(saved_after_a_move(lambda: app.lines(READ_ONLY)), f"no \"{READ_ONLY}\" line")
        d.check(saved_after_a_move(lambda: len(app.lines(READ_ONLY)) >= 3), "no more failed saves")
        failures = [c for c in service.calls() if c[1] == "Tavix cannot save your clocks"]
        d.check(len(failures) == 1 and failures[0][3] == "2", f"notifications of the failure: {failures}")
        os.chmod(folder.file, 0o600)
        locked = folder.read_bytes()
        d.check(saved_after_a_move(lambda: folder.read_bytes() != locked), "saving did not resume")

        app.stop()
        d.by_name(standard_readers_take(folder.file), "Pastedline")
        unexpected = [line for line in app.diagnostics() if not line.startswith((KEPT_ASIDE, READ_ONLY))]
        d.check(not unexpected, f"unexpected lines: {unexpected}")
    finally:
        service.close()
        if app:
            app.cleanup()
    folder.remove()
    return "a binary file with keys of a newer Tavix and a control character in a name was written " \
           "back as XML that plistlib and xmllint read, keys kept; a replaced file was kept aside and " \
           "notified; a read-only file was notified once"


def main():
    theme, tavix, notifications = sys.argv[1:4]
    try:
        if theme == "instances":
            report = instances(tavix)
        elif theme == "instances-with-bus":
            with PrivateBus() as bus:
                report = instances(tavix, bus)
        elif theme == "session-end":
            report = session_end(tavix)
        elif theme == "files":
            with PrivateBus():
                report = files(tavix, notifications)
        else:
            raise SystemExit(f"unknown theme {theme}")
    except d.DrillFailure as failure:
        print(f"{theme} FAILED: {failure}")
        return 1
    print(f"{theme}: {report}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
