"""Drives the built editor from outside, as a user would.

A Session starts its own X server (Xvfb) and session bus, starts the editor
in them and talks to it only through the X server (xdotool: keys, clicks,
window titles) and the accessibility bus (AT-SPI: texts, enabled states,
positions). Every process it starts is ended when the session ends, also
when a step fails or the driver is interrupted.

Needs the Debian packages xvfb, xdotool, x11-utils, dbus-daemon,
at-spi2-core and python3-pyatspi; run it with Debian's /usr/bin/python3.
"""

import ctypes
import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time

STARTUP_TITLE = "Thornwake Level Stat Editor"
VERSIONED_TITLE = "Thornwake Level & Stat Editor (v0.22b)"

# Bound of every wait on a condition. Generous, since a loaded CI machine
# may be slow to map a window; a passing run never waits this long.
WAIT_SECONDS = 20.0
POLL_SECONDS = 0.03

_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36
_libc = ctypes.CDLL(None, use_errno=True)


class StepFailed(AssertionError):
    pass


def check(condition, message):
    if not condition:
        raise StepFailed(message)


def wait_for(what, probe, timeout=WAIT_SECONDS):
    """Polls probe() until it returns something true and returns that.
    `what` is a text, or a function giving it when the wait fails."""
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise StepFailed("timed out after %.0f s waiting for %s"
                             % (timeout, what() if callable(what) else what))
        time.sleep(POLL_SECONDS)


def _die_with_parent():
    # Runs in the child between fork and exec: if the driver is killed
    # outright, the kernel ends this child too.
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def _raise_on_signal(signum, _frame):
    raise SystemExit(128 + signum)


# ---------------------------------------------------------------- the file

def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def describe_differences(before, after, limit=12):
    if len(before) != len(after):
        return "size changed from %d to %d bytes" % (len(before), len(after))
    diffs = [i for i in range(len(before)) if before[i] != after[i]]
    shown = ", ".join("0x%06X: %02X -> %02X" % (i, before[i], after[i]) for i in diffs[:limit])
    more = " ..." if len(diffs) > limit else ""
    return "%d bytes differ: %s%s" % (len(diffs), shown, more)


# ------------------------------------------------------------ the session

class Session:
    def __init__(self, editor, sample_maker, keep_dir=False):
        self.editor = os.path.abspath(editor)
        self.sample_maker = os.path.abspath(sample_maker)
        self.keep_dir = keep_dir
        self.dir = tempfile.mkdtemp(prefix="thornwake-e2e-")
        self._log_files = []
        self._started = []      # Popen objects, in start order
        self.env = None
        self.editor_proc = None
        self.main_window = None
        self._registry = None
        self._app = None

    # --- processes

    def _start(self, args, **kwargs):
        proc = subprocess.Popen(args, start_new_session=True, preexec_fn=_die_with_parent,
                                stdin=subprocess.DEVNULL, **kwargs)
        self._started.append(proc)
        return proc

    def _log(self, name):
        f = open(os.path.join(self.dir, name), "wb")
        self._log_files.append(f)
        return f

    def __enter__(self):
        # Orphans of our children (services the bus starts) become ours, so
        # the clean-up below finds them too.
        _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, _raise_on_signal)
        try:
            self._start_display()
            self._start_bus()
        except BaseException:
            self.close(success=False)
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            self._report_failure()
        self.close(success=exc_type is None)
        return False

    def _start_display(self):
        read_end, write_end = os.pipe()
        self._start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
                     "-nolisten", "tcp", "-noreset"],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                    stderr=self._log("xvfb.log"))
        os.close(write_end)
        number = self._read_line(read_end, "the X server's display number")
        self.display = ":" + number

    def _start_bus(self):
        read_end, write_end = os.pipe()
        self._start(["dbus-daemon", "--session", "--nofork", "--nopidfile",
                     "--print-address=%d" % write_end],
                    pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                    stderr=self._log("dbus.log"))
        os.close(write_end)
        address = self._read_line(read_end, "the session bus address")
        runtime = os.path.join(self.dir, "runtime")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ)
        for name in ("QT_QPA_PLATFORM", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                     "QT_ACCESSIBILITY", "SESSION_MANAGER", "WAYLAND_DISPLAY"):
            env.pop(name, None)
        env.update({
            "DISPLAY": self.display,
            "DBUS_SESSION_BUS_ADDRESS": address,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(self.dir, "config"),
            "XDG_CACHE_HOME": os.path.join(self.dir, "cache"),
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            "LC_ALL": "C.UTF-8",
        })
        self.env = env
        # The accessibility library reads these from our own environment.
        os.environ["DISPLAY"] = self.display
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        os.environ["XDG_RUNTIME_DIR"] = runtime

    def _read_line(self, fd, what):
        deadline = time.monotonic() + WAIT_SECONDS
        data = b""
        try:
            while not data.endswith(b"\n"):
                if time.monotonic() >= deadline:
                    raise StepFailed("timed out waiting for " + what)
                ready, _, _ = select.select([fd], [], [], 0.5)
                if ready:
                    chunk = os.read(fd, 256)
                    if not chunk:
                        break
                    data += chunk
        finally:
            os.close(fd)
        text = data.decode().strip()
        check(text, "no answer for " + what)
        return text

    def close(self, success=True):
        for proc in reversed(self._started):
            self._end_group(proc)
        self._end_orphans()
        for f in self._log_files:
            f.close()
        if success and not self.keep_dir:
            shutil.rmtree(self.dir, ignore_errors=True)
        else:
            print("e2e: files of this run kept in", self.dir, file=sys.stderr)

    @staticmethod
    def _end_group(proc):
        if proc.poll() is not None:
            return
        for signum, grace in ((signal.SIGTERM, 3.0), (signal.SIGKILL, 5.0)):
            try:
                os.killpg(proc.pid, signum)
            except ProcessLookupError:
                pass
            try:
                proc.wait(timeout=grace)
                return
            except subprocess.TimeoutExpired:
                continue

    @staticmethod
    def _end_orphans():
        """Ends and reaps whatever is still below this driver."""
        me = os.getpid()
        for _ in range(50):
            children = []
            for entry in os.listdir("/proc"):
                if not entry.isdigit():
                    continue
                try:
                    with open("/proc/%s/stat" % entry) as f:
                        stat = f.read()
                except OSError:
                    continue
                fields = stat[stat.rfind(")") + 2:].split()
                if int(fields[1]) == me and fields[0] != "Z":
                    children.append(int(entry))
            for pid in children:
                try:
                    os.kill(pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            while True:
                try:
                    pid, _ = os.waitpid(-1, os.WNOHANG)
                except ChildProcessError:
                    break
                if pid == 0:
                    break
            if not children:
                return
            time.sleep(0.05)

    def _report_failure(self):
        shot = os.path.join(self.dir, "failure.png")
        try:
            subprocess.run(["import", "-display", self.display, "-window", "root", shot],
                           timeout=10, capture_output=True)
            print("e2e: screen at the failure:", shot, file=sys.stderr)
        except Exception:
            pass
        try:
            print("e2e: windows shown:", self.visible_window_names(), file=sys.stderr)
        except Exception:
            pass
        log = os.path.join(self.dir, "editor.log")
        if os.path.exists(log):
            text = open(log, errors="replace").read().strip()
            if text:
                print("e2e: editor output:\n" + text[-3000:], file=sys.stderr)

    # --- files

    def path(self, name):
        return os.path.join(self.dir, name)

    def make_sample(self, name="sample.sfc"):
        path = self.path(name)
        subprocess.run([self.sample_maker, path], check=True, timeout=60)
        return path

    # --- X

    def xdotool(self, *args, check_status=True):
        done = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env,
                              capture_output=True, text=True, timeout=30)
        if check_status and done.returncode != 0:
            raise StepFailed("xdotool %s failed: %s" % (" ".join(map(str, args)),
                                                        done.stderr.strip()))
        return done.stdout.strip()

    def window_name(self, wid):
        return self.xdotool("getwindowname", wid, check_status=False)

    def visible_windows(self):
        """Visible windows of the editor, as {window id: title}."""
        if self.editor_proc is None:
            return {}
        ids = self.xdotool("search", "--onlyvisible", "--pid", self.editor_proc.pid,
                           "--name", ".", check_status=False).split()
        names = {}
        for wid in ids:
            name = self.window_name(wid)
            if name:
                names[wid] = name
        return names

    def visible_window_names(self):
        return sorted(self.visible_windows().values())

    def find_window(self, title):
        for wid, name in self.visible_windows().items():
            if name == title:
                return wid
        return None

    def wait_window(self, title):
        return wait_for(lambda: "a window titled %r (shown: %r)"
                        % (title, self.visible_window_names()),
                        lambda: self.find_window(title))

    def wait_window_gone(self, title):
        wait_for("the window %r to close" % title, lambda: self.find_window(title) is None)

    def wait_new_window(self, known):
        """The first visible editor window not in `known`."""
        def probe():
            for wid, name in self.visible_windows().items():
                if wid not in known:
                    return wid
            return None
        return wait_for("a new window", probe)

    def focus(self, wid):
        # No window manager runs, so the driver gives the keyboard focus to
        # the window it types into, as a click on the window would.
        self.xdotool("windowfocus", "--sync", wid)

    def keys(self, wid, *keys):
        self.focus(wid)
        self.xdotool("key", "--clearmodifiers", *keys)

    def type_text(self, wid, text):
        self.focus(wid)
        self.xdotool("type", "--delay", "8", "--", text)

    def click_at(self, x, y):
        self.xdotool("mousemove", "--sync", x, y)
        self.xdotool("click", "1")

    def main_title(self):
        return self.window_name(self.main_window)

    def wait_main_title(self, title):
        wait_for(lambda: "the main window's title to be %r (it is %r)"
                 % (title, self.main_title()),
                 lambda: self.main_title() == title)

    def window_size_hints(self, wid):
        return subprocess.run(["xprop", "-id", wid, "WM_NORMAL_HINTS"], env=self.env,
                              capture_output=True, text=True, timeout=10).stdout

    def screenshot(self, wid, path):
        subprocess.run(["import", "-display", self.display, "-window", wid, path],
                       check=True, timeout=30, capture_output=True)

    # --- the editor

    def start_editor(self):
        self.editor_proc = self._start([self.editor], env=self.env, cwd=self.dir,
                                       stdout=self._log("editor.log"),
                                       stderr=subprocess.STDOUT)
        self.main_window = wait_for("the editor's main window",
                                    lambda: self._exited_or(self.find_window(STARTUP_TITLE)))
        self.focus(self.main_window)
        return self.main_window

    def _exited_or(self, value):
        code = self.editor_proc.poll()
        if code is not None:
            raise StepFailed("the editor ended early with status %d" % code)
        return value

    def wait_editor_exit(self):
        try:
            return self.editor_proc.wait(timeout=WAIT_SECONDS)
        except subprocess.TimeoutExpired:
            raise StepFailed("the editor did not end (windows shown: %r)"
                             % self.visible_window_names())

    def editor_running(self):
        return self.editor_proc.poll() is None

    def open_file(self, path):
        """Ctrl+O, the path typed into the open-file dialog, Enter."""
        known = set(self.visible_windows())
        self.keys(self.main_window, "ctrl+o")
        dialog = self.wait_new_window(known)
        # The file-name box may show the last path chosen: replace it.
        self.keys(dialog, "ctrl+a")
        self.type_text(dialog, path)
        self.keys(dialog, "Return")
        wait_for("the open-file dialog to close",
                 lambda: dialog not in self.visible_windows())

    # --- accessibility

    def app(self):
        """The editor's accessible application object."""
        if self._app is not None:
            return self._app
        import pyatspi
        self._registry = pyatspi
        pid = self.editor_proc.pid

        def probe():
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                try:
                    if app is not None and app.get_process_id() == pid:
                        return app
                except Exception:
                    continue
            return None
        self._app = wait_for("the editor on the accessibility bus", probe)
        return self._app

    def states(self, node):
        return node.getState()

    def is_enabled(self, node):
        return self.states(node).contains(self._registry.STATE_SENSITIVE)

    def is_showing(self, node):
        return self.states(node).contains(self._registry.STATE_SHOWING)

    def is_focused(self, node):
        return self.states(node).contains(self._registry.STATE_FOCUSED)

    def nodes(self, root=None, role=None, name=None):
        """All accessible objects below root (the editor), depth first."""
        root = root if root is not None else self.app()
        root.clear_cache()
        found = []
        stack = [root]
        while stack:
            node = stack.pop()
            if node is None:
                continue
            try:
                node_role = node.getRoleName()
                if (role is None or node_role == role) and (name is None or node.name == name):
                    found.append(node)
                if node_role == "list":
                    continue  # its 99 entries are never looked at one by one
                stack.extend(reversed([node.getChildAtIndex(i) for i in range(node.childCount)]))
            except Exception:
                continue
        return found

    def node(self, role, name, root=None, showing=None):
        matches = [n for n in self.nodes(root, role, name)
                   if showing is None or self.is_showing(n) == showing]
        check(matches, "no %s named %r" % (role, name))
        return matches[0]

    def window_node(self, title):
        for node in self.nodes(self.app()):
            try:
                if node.getRoleName() in ("frame", "dialog", "alert", "window") and \
                        node.name == title:
                    return node
            except Exception:
                continue
        return None

    def texts_in(self, root):
        """Names of labels and texts of text objects below root."""
        texts = []
        for node in self.nodes(root):
            role = node.getRoleName()
            if role == "label" and node.name:
                texts.append(node.name)
            elif role in ("text", "paragraph"):
                texts.append(self.text_of(node))
        return texts

    def text_of(self, node):
        node.clear_cache()
        text = node.queryText()
        return text.getText(0, -1)

    def extents(self, node):
        box = node.queryComponent().getExtents(self._registry.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def click(self, node):
        x, y, w, h = self.extents(node)
        check(w > 0 and h > 0, "%r has no area to click" % node.name)
        self.click_at(x + w // 2, y + h // 2)

    def save_button(self):
        """The Save Level button of the panel on show."""
        buttons = [n for n in self.nodes(role="push button")
                   if "Save" in n.name and self.is_showing(n)]
        check(len(buttons) == 1, "expected one Save button on show, found %r"
              % [b.name for b in buttons])
        return buttons[0]

    def menu_item(self, caption):
        return self.node("menu item", caption)

    def stat_fields(self):
        """The text fields of the panel on show, keyed by their row label
        ("HP", "MP", "Strength", ...): each field lies right of its label."""
        labels = [n for n in self.nodes(role="label") if self.is_showing(n)]
        fields = [n for n in self.nodes(role="text") if self.is_showing(n)]
        rows = {}
        for field in fields:
            fx, fy, fw, fh = self.extents(field)
            centre = fy + fh / 2
            best = None
            for label in labels:
                lx, ly, lw, lh = self.extents(label)
                if lx < fx and ly <= centre <= ly + lh:
                    if best is None or lx > self.extents(best)[0]:
                        best = label
            if best is not None:
                rows[best.name.rstrip(":").strip()] = field
        return rows
