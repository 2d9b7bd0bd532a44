# Drives the built editor as a user would, in its own X server (Xvfb) and
# session bus: keys, typing and clicks through xdotool, window titles from the
# X server, widgets through the accessibility bus (pyatspi, so Debian's
# /usr/bin/python3). The session ends what it started and reaps it, the
# services its bus started included, after a pass, a failure or SIGTERM;
# killed outright, the driver takes the servers and the editor along (the
# kernel's parent-death signal) and the bus's services end with their bus.
#
#     with Session("scenario") as s:  # --editor PATH --sample-maker PATH SCENARIO
#         s.start_editor(); s.open_file(path); s.keys(s.main, "ctrl+q"); s.wait_exit()

import argparse, contextlib, ctypes, os, pathlib, pyatspi, select, shutil, signal, subprocess, sys, tempfile, time

WAIT = 20.0  # seconds: the bound of every wait; a passing run never gets near it


def wait_for(what, probe):
    # Polls probe() until it gives something true and gives that; `what` may
    # be a function, asked only when the wait fails.
    deadline = time.monotonic() + WAIT
    while not (value := probe()):
        assert time.monotonic() < deadline, "timed out waiting for " + (what() if callable(what) else what)
        time.sleep(0.05)
    return value


def read(path):
    return pathlib.Path(path).read_bytes()


def xdotool(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True, timeout=WAIT).stdout.strip()


class Session:
    def __init__(self, positional):
        parser = argparse.ArgumentParser()
        for name in ("--editor", "--sample-maker"):
            parser.add_argument(name, required=True, type=os.path.abspath)
        parser.add_argument(positional)
        self.args, self.dir, self.procs = parser.parse_args(), tempfile.mkdtemp(prefix="thornwake-e2e-"), []
        ctypes.CDLL(None).prctl(36, 1)  # PR_SET_CHILD_SUBREAPER: the bus's services come to the driver when orphaned
        signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))  # so that the session ends as after a failure
        os.mkdir(self.dir + "/runtime", 0o700)  # the accessibility bus's socket goes here
        os.environ.update(XDG_RUNTIME_DIR=self.dir + "/runtime", XDG_CONFIG_HOME=self.dir + "/config",
                          LC_ALL="C.UTF-8", QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        os.environ["DISPLAY"] = ":" + self.server("Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-noreset")
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = self.server("dbus-daemon", "--session", "--nofork", "--print-address")

    def __enter__(self):
        return self

    def __exit__(self, failure, *_):
        for proc in self.procs:
            proc.terminate()
        with contextlib.suppress(ChildProcessError):  # raised once all are reaped
            wait_for("the session's processes to end", lambda: os.waitpid(-1, os.WNOHANG) and False)
        print("e2e: the editor's output and the files are kept in", self.dir) if failure else shutil.rmtree(self.dir)

    def spawn(self, args, **kwargs):
        # PR_SET_PDEATHSIG: the kernel sends it SIGTERM if the driver ends first.
        self.procs.append(subprocess.Popen(args, preexec_fn=lambda: ctypes.CDLL(None).prctl(1, signal.SIGTERM),
                                           **kwargs))
        return self.procs[-1]

    def server(self, *args):
        # Starts a server that writes one line to its output, and gives that line.
        out = self.spawn(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
        assert select.select([out], [], [], WAIT)[0], "no answer from " + args[0]
        return out.readline().decode().strip()

    def start_editor(self, *arguments, title="Thornwake Level Stat Editor"):  # the title at start-up
        self.editor = self.spawn([self.args.editor, *arguments], cwd=self.dir,
                                 stdout=open(self.dir + "/editor.log", "w"), stderr=subprocess.STDOUT)
        self.main = self.window(title)

    def wait_exit(self):
        return self.editor.wait(timeout=WAIT)

    # --- windows, through the X server

    def windows(self):
        return {w: xdotool("getwindowname", w) for w in xdotool("search", "--onlyvisible", "--name", ".").split()}

    def window(self, title):
        return wait_for("a window titled " + title, lambda: {t: w for w, t in self.windows().items()}.get(title))

    def keys(self, window, *keys):
        # No window manager runs: the window typed into gets the focus first.
        xdotool("windowfocus", "--sync", window, "key", "--clearmodifiers", *keys)

    def type(self, window, text):
        xdotool("windowfocus", "--sync", window, "type", "--delay", "8", "--", text)

    def open_file(self, path):
        # Ctrl+O, the path typed into the open-file dialog, Enter.
        known = self.windows()
        self.keys(self.main, "ctrl+o")
        dialog = wait_for("the open-file dialog", lambda: next((w for w in self.windows() if w not in known), None))
        self.type(dialog, path)
        self.keys(dialog, "Return")

    # --- widgets, through the accessibility bus

    def nodes(self, role):
        # The session's (the editor's) accessible objects of a role, by name.
        with contextlib.suppress(Exception):  # not on the bus yet, or a widget gone meanwhile
            return {n.name: n for n in pyatspi.findAllDescendants(pyatspi.Registry.getDesktop(0),
                                                                  lambda n: n.getRoleName() == role)}
        return {}

    def find(self, role, name):
        return wait_for("a %s named %s" % (role, name), lambda: self.nodes(role).get(name))

    def text(self, node):
        return node.queryText().getText(0, -1)

    def click(self, node):
        box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        xdotool("mousemove", "--sync", box.x + box.width // 2, box.y + box.height // 2, "click", "1")
