"""Drives the built editor from outside, as a user would: a Session starts
its own X server and session bus, starts the editor in them and talks to it
only through xdotool (keys, clicks, window titles) and AT-SPI (texts,
states, positions). Every process it starts is ended with the session, also
when a step fails or the driver is interrupted. Needs /usr/bin/python3.
"""

import argparse
import contextlib
import ctypes
import os
import re
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

STARTUP_TITLE = "Thornwake Level Stat Editor"
VERSIONED_TITLE = "Thornwake Level & Stat Editor (v0.22b)"
WAIT_SECONDS = 20.0  # bound of every wait; a passing run never gets near it

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG, _PR_SET_CHILD_SUBREAPER = 1, 36
pyatspi = None  # imported once the session's buses are up


class StepFailed(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise StepFailed(message)


def wait_for(what, probe):
    """Polls probe() until it gives something true and returns that. `what`
    is a text, or a function giving it when the wait fails."""
    deadline = time.monotonic() + WAIT_SECONDS
    while not (value := probe()):
        if time.monotonic() >= deadline:
            raise StepFailed("timed out waiting for " + (what() if callable(what) else what))
        time.sleep(0.03)
    return value


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def differences(expected, actual):
    if len(expected) != len(actual):
        return "size %d instead of %d" % (len(actual), len(expected))
    diffs = [i for i in range(len(expected)) if expected[i] != actual[i]]
    return "%d bytes differ: %s" % (len(diffs), ", ".join(
        "0x%06X: %02X not %02X" % (i, actual[i], expected[i]) for i in diffs[:12]))


def session_from_arguments(doc, *positional):
    parser = argparse.ArgumentParser(description=doc)
    parser.add_argument("--editor", required=True)
    parser.add_argument("--sample-maker", required=True)
    for name, choices in positional:
        parser.add_argument(name, choices=choices)
    args = parser.parse_args()
    return Session(args.editor, args.sample_maker), args


def _raise_on_signal(signum, _frame):
    raise SystemExit(128 + signum)


def _children():
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError):
            stat = open("/proc/%s/stat" % pid).read()
            state, ppid = stat[stat.rfind(")") + 2:].split()[:2]
            if int(ppid) == os.getpid() and state != "Z":
                found.append(int(pid))
    return found


class Session:
    def __init__(self, editor, sample_maker):
        self.editor, self.sample_maker = os.path.abspath(editor), os.path.abspath(sample_maker)
        self.dir = tempfile.mkdtemp(prefix="thornwake-e2e-")
        self.started = []  # in start order
        self.editor_proc = self.main_window = self._app = None

    def path(self, name):
        return os.path.join(self.dir, name)

    def make_sample(self):
        subprocess.run([self.sample_maker, self.path("sample.sfc")], check=True, timeout=60)
        return self.path("sample.sfc")

    # --- processes

    def _start(self, args, **kwargs):
        # The kernel ends the child too if the driver is killed outright.
        proc = subprocess.Popen(args, start_new_session=True, stdin=subprocess.DEVNULL,
                                preexec_fn=lambda: _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL),
                                **kwargs)
        self.started.append(proc)
        return proc

    def _start_server(self, what, *args):
        """Starts a server that writes one line (what) to the fd named FD."""
        read_end, write_end = os.pipe()
        self._start([a.replace("FD", str(write_end)) for a in args], pass_fds=(write_end,),
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        # Xvfb writes the number and the newline apart and fails if the
        # pipe is closed in between.
        data, deadline = b"", time.monotonic() + WAIT_SECONDS
        while not data.endswith(b"\n") and select.select(
                [read_end], [], [], max(0, deadline - time.monotonic()))[0]:
            data += os.read(read_end, 512) or b"\n"  # or the end of the pipe
        os.close(read_end)
        check(data.strip(), "no answer for " + what)
        return data.decode().strip()

    def __enter__(self):
        # Orphans of our children (services the bus starts) become ours, so
        # close() finds them too.
        _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1)
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, _raise_on_signal)
        # The buses and the accessibility library read these from our own
        # environment; the accessibility bus puts its socket in the runtime
        # folder, apart from other sessions'.
        os.mkdir(self.path("runtime"), 0o700)
        os.environ.update(XDG_RUNTIME_DIR=self.path("runtime"), XDG_CACHE_HOME=self.path("cache"))
        try:
            self.display = ":" + self._start_server(
                "the X server's display number", "Xvfb", "-displayfd", "FD", "-screen", "0",
                "1024x768x24", "-nolisten", "tcp", "-noreset")
            bus = self._start_server("the session bus address", "dbus-daemon", "--session",
                                     "--nofork", "--nopidfile", "--print-address=FD")
        except BaseException:
            self.close(success=False)
            raise
        os.environ.update(DISPLAY=self.display, DBUS_SESSION_BUS_ADDRESS=bus)
        self.env = dict(os.environ, XDG_CONFIG_HOME=self.path("config"), LC_ALL="C.UTF-8",
                        QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        for name in ("QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "WAYLAND_DISPLAY"):
            self.env.pop(name, None)
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            with contextlib.suppress(Exception):
                subprocess.run(["import", "-display", self.display, "-window", "root",
                                self.path("failure.png")], timeout=10, capture_output=True)
                print("e2e: screen at the failure: %s\ne2e: editor output:\n%s" % (
                      self.path("failure.png"), read_bytes(self.path("editor.log"))[-3000:]
                      .decode(errors="replace")), file=sys.stderr)
        self.close(success=exc_type is None)

    def close(self, success):
        # Asked first, so that Xvfb removes its lock file; then whatever is
        # left below this driver is killed and reaped.
        for proc in reversed(self.started):
            with contextlib.suppress(ProcessLookupError, subprocess.TimeoutExpired):
                if proc.poll() is None:
                    os.killpg(proc.pid, signal.SIGTERM)
                    proc.wait(timeout=3)
        for _ in range(50):
            children = _children()
            for pid in children:
                with contextlib.suppress(ProcessLookupError):
                    os.kill(pid, signal.SIGKILL)
            with contextlib.suppress(ChildProcessError):
                while os.waitpid(-1, os.WNOHANG)[0]:
                    pass
            if not children:
                break
            time.sleep(0.05)
        if success:
            shutil.rmtree(self.dir, ignore_errors=True)
        else:
            print("e2e: files of this run kept in", self.dir, file=sys.stderr)

    # --- windows

    def xdotool(self, *args, may_fail=False):
        done = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                              capture_output=True, text=True, timeout=30)
        check(may_fail or done.returncode == 0, "xdotool %s: %s" % (args, done.stderr.strip()))
        return done.stdout.strip()

    def windows(self):
        """The editor's visible windows, as {window id: title}."""
        ids = self.xdotool("search", "--onlyvisible", "--pid", self.editor_proc.pid,
                           "--name", ".", may_fail=True)
        return {wid: self.xdotool("getwindowname", wid, may_fail=True) for wid in ids.split()}

    def find_window(self, title):
        return next((wid for wid, name in self.windows().items() if name == title), None)

    def wait_window(self, title):
        return wait_for("a window titled %r" % title, lambda: self.find_window(title))

    def wait_window_gone(self, title):
        wait_for("the window %r to close" % title, lambda: self.find_window(title) is None)

    def focus(self, wid):
        # No window manager runs: the driver gives the focus to the window
        # it types into, as a click on it would.
        self.xdotool("windowfocus", "--sync", wid)

    def keys(self, wid, *keys):
        self.focus(wid)
        self.xdotool("key", "--clearmodifiers", *keys)

    def type_text(self, wid, text):
        self.focus(wid)
        self.xdotool("type", "--delay", "8", "--", text)

    def size_limits(self, wid):
        """The window's minimum and maximum size, as its size hints give them."""
        hints = subprocess.run(["xprop", "-id", wid, "WM_NORMAL_HINTS"], env=self.env,
                               capture_output=True, text=True, timeout=10).stdout
        return re.findall(r"(?:minimum|maximum) size: (\d+ by \d+)", hints)

    def screenshot(self, wid, path):
        self.focus(wid)  # the round trip lets the editor finish drawing
        subprocess.run(["import", "-display", self.display, "-window", wid, path],
                       check=True, timeout=30, capture_output=True)

    # --- the editor

    def start_editor(self):
        self.editor_proc = self._start([self.editor], env=self.env, cwd=self.dir,
                                       stdout=open(self.path("editor.log"), "wb"),
                                       stderr=subprocess.STDOUT)

        def probe():
            check(self.editor_proc.poll() is None, "the editor ended early with status %s"
                  % self.editor_proc.poll())
            return self.find_window(STARTUP_TITLE)
        self.main_window = wait_for("the editor's main window", probe)
        self.focus(self.main_window)
        return self.main_window

    def main_title(self):
        return self.xdotool("getwindowname", self.main_window, may_fail=True)

    def wait_exit(self):
        try:
            return self.editor_proc.wait(timeout=WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            raise StepFailed("the editor did not end (windows: %r)" % self.windows())

    def open_file(self, path):
        """Ctrl+O, the path typed into the open-file dialog, Enter."""
        known = set(self.windows())
        self.keys(self.main_window, "ctrl+o")
        dialog = wait_for("the open-file dialog",
                          lambda: next((w for w in self.windows() if w not in known), None))
        self.keys(dialog, "ctrl+a")  # it may show the last path chosen
        self.type_text(dialog, path)
        self.keys(dialog, "Return")
        wait_for("the open-file dialog to close", lambda: dialog not in self.windows())

    # --- accessibility

    def app(self):
        global pyatspi
        import pyatspi  # it reads the buses from our environment

        def probe():
            desktop = pyatspi.Registry.getDesktop(0)
            for app in (desktop.getChildAtIndex(i) for i in range(desktop.childCount)):
                with contextlib.suppress(Exception):
                    if app.get_process_id() == self.editor_proc.pid:
                        return app
        self._app = self._app or wait_for("the editor on the accessibility bus", probe)
        return self._app

    def nodes(self, role, showing=True):
        """The editor's accessible objects of a role (that are on show)."""
        found, stack = [], [self.app()]
        self.app().clear_cache()
        while stack:
            node = stack.pop()
            with contextlib.suppress(Exception):
                if node.getRoleName() == role and (not showing or self.has(node, "SHOWING")):
                    found.append(node)
                if node.getRoleName() != "list":  # its 99 entries are never looked at
                    stack.extend(node.getChildAtIndex(i) for i in range(node.childCount))
        return found

    def node(self, role, name, showing=True):
        matches = [n for n in self.nodes(role, showing) if n.name == name]
        check(matches, "no %s named %r" % (role, name))
        return matches[0]

    @staticmethod
    def has(node, state):
        return node.getState().contains(getattr(pyatspi, "STATE_" + state))

    @staticmethod
    def text_of(node):
        node.clear_cache()
        return node.queryText().getText(0, -1)

    @staticmethod
    def extents(node):
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def click(self, node):
        x, y, w, h = self.extents(node)
        check(w > 0 and h > 0, "%r has no area to click" % node.name)
        self.xdotool("mousemove", "--sync", x + w // 2, y + h // 2)
        self.xdotool("click", "1")

    def stat_fields(self):
        """The text fields on show, keyed by the label left of each ("HP",
        "Strength", ...), as a user reads them."""
        labels = [(self.extents(n), n.name.rstrip(":")) for n in self.nodes("label")]
        rows = {}
        for field in self.nodes("text"):
            fx, fy, _, fh = self.extents(field)
            beside = [(lx, name) for (lx, ly, _, lh), name in labels
                      if lx < fx and ly <= fy + fh / 2 <= ly + lh]
            if beside:
                rows[max(beside)[1]] = field
        return rows
