"""
+----------------------------------------------------------------------------+
| vlr_gui.py — drives the real launcher window for the gui and e2e tests     |
|                                                                            |
| Each test class gets a private Xvfb (found with -displayfd), each test a   |
| private copy of the demo launcher in a fresh temporary folder (its work    |
| folder, session file and request log stay there). The program is started   |
| with VLR_TRACE_FRAMES so that its "frame <n>" lines can be counted; the    |
| window is found and driven with xdotool, read back with ImageMagick's      |
| import (a PPM of the root window, decoded here), closed with a             |
| WM_DELETE_WINDOW message sent through libX11. Every wait polls against a   |
| deadline. Every click, key and typed text returns only once the window     |
| drew the frame that took it, so two steps never reach one frame together.  |
| Whatever a test started is killed by its pid when it ends.                 |
|                                                                            |
| Environment: VLR_PROGRAM (the Linux program), VLR_WINDOWS_EXE,             |
| VLR_SOURCE_DIR, VLR_ARTIFACTS (failure screenshots go there).              |
+----------------------------------------------------------------------------+

Sections: paths and tools · pictures · Xvfb · sandbox · program · test case
"""

import ctypes
import ctypes.util
import functools
import json
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.request
import zlib

TITLE = "Velocrash Rebuilt"
HERE = os.path.dirname(os.path.abspath(__file__))



# ---- paths and tools ----

def source_dir():
    return os.environ.get("VLR_SOURCE_DIR") or os.path.normpath(os.path.join(HERE, "..", ".."))


# ---- layout: the window's palette and lengths, read from the program's own header ----

LAYOUT_HEADER = os.path.join("src", "ui", "layout.h")
PALETTE_HEADER = os.path.join("src", "platform", "palette.h")


class Layout(dict):
    """Values of layout.h by their C++ names; a name it lacks fails at once, naming the
    header, so a renamed constant cannot leave a test looking at the wrong place."""

    def __missing__(self, name):
        raise AssertionError("%s has no %s (renamed or removed?)" % (LAYOUT_HEADER, name))


def read_layout(path=None):
    """Colours as (r, g, b) (alpha dropped: the tests compare screen pixels), lengths as
    numbers (int where the value is whole). Every `inline constexpr` line must be in one of
    the header's stated forms. The colours the platform's own windows share come first, from
    platform/palette.h."""
    path = path or os.path.join(source_dir(), LAYOUT_HEADER)
    value = r"(-?\d+(?:\.\d*)?)f?"
    forms = [
        (re.compile(r"Color (k\w+)\{(\d+), (\d+), (\d+), (\d+)\};"),
         lambda m: tuple(int(m.group(i)) for i in (2, 3, 4))),
        (re.compile(r"Color (k\w+) = (k\w+);"), lambda m: layout[m.group(2)]),
        (re.compile(r"Color (k\w+) = fromRgb\((k\w+), (\d+)\);"), lambda m: layout[m.group(2)]),
        (re.compile(r"Rgb (k\w+)\{(\d+), (\d+), (\d+)\};"), lambda m: tuple(int(m.group(i)) for i in (2, 3, 4))),
        (re.compile(r"(?:float|int) (k\w+) = %s;" % value),
         lambda m: float(m.group(2)) if "." in m.group(2) else int(m.group(2))),
    ]
    layout = Layout()
    for path in (os.path.join(source_dir(), PALETTE_HEADER), path):
        read_constants(path, forms, layout)
    return layout


def read_constants(path, forms, layout):
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.split("//")[0].strip()
            if not line.startswith("inline constexpr "):
                continue
            text = line[len("inline constexpr "):]
            for form, read in forms:
                match = form.fullmatch(text)
                if match:
                    layout[match.group(1)] = read(match)
                    break
            else:
                raise AssertionError("%s:%d: not a form the tests read: %s" % (path, number, line))


LAYOUT = read_layout()

# The palette colours the tests look for, by their old names here.
BACKGROUND = LAYOUT["kWindowBg"]
LINE = LAYOUT["kLine"]
PANEL = LAYOUT["kPanelFill"]
ACCENT = LAYOUT["kAccent"]
PRIMARY = LAYOUT["kTextPrimary"]
SECONDARY = LAYOUT["kTextSecondary"]
CARD = LAYOUT["kCardFill"]
LOG_BG = LAYOUT["kLogBg"]

# Where things are in a window at scale 1.
BASE_SIZE = (LAYOUT["kBaseWidth"], LAYOUT["kBaseHeight"])
VIEW_TOP = LAYOUT["kHeaderHeight"]                  # the page viewport's top, below the separator
SEPARATOR = VIEW_TOP - LAYOUT["kHeaderLine"]        # the separator's first row
FOOTER = LAYOUT["kFooterHeight"]                    # window bottom to the footer's line
PAGE_TOP = VIEW_TOP + LAYOUT["kPageTopPad"]         # a page's first card, not scrolled
TAB_Y = LAYOUT["kTabTop"] + LAYOUT["kTabHeight"] // 2   # a line through the middle of the tabs
INSET = LAYOUT["kWindowInset"]                      # header and footer content from the sides
UNDERLINE_ROW = LAYOUT["kTabTop"] + LAYOUT["kTabHeight"] - 2   # the current tab's 2-high underline


def page_column(width):
    """(x, width) of the page column in a window that wide."""
    col_w = min(LAYOUT["kPageMaxWidth"], width - 2 * INSET)
    return round((width - col_w) / 2), col_w


PAGE_X, PAGE_WIDTH = page_column(BASE_SIZE[0])      # the column at the base size


def program_path():
    return os.environ.get("VLR_PROGRAM") or os.path.join(source_dir(), "build", "linux",
                                                         "velocrash")


def artifacts_dir():
    path = os.environ.get("VLR_ARTIFACTS") or os.path.join(tempfile.gettempdir(),
                                                          "vlr-gui-artifacts")
    os.makedirs(path, exist_ok=True)
    return path


def require_tools(*names):
    missing = [n for n in names if not shutil.which(n)]
    if missing:
        raise unittest.SkipTest("needs %s (not installed)" % ", ".join(missing))


def require_program(path=None):
    path = path or program_path()
    if not os.access(path, os.X_OK):
        raise unittest.SkipTest("the program is not built: %s" % path)
    return path


def session_name(script):
    """The window's session name: FNV-1a 64 over the script path's bytes."""
    value = 0xcbf29ce484222325
    for byte in script.encode("utf-8"):
        value = ((value ^ byte) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return "vlr-launcher-window-%016x" % value


def wait_for(test, timeout, what, interval=0.05):
    """Poll test() until it gives something true; fail with `what` at the deadline."""
    deadline = time.monotonic() + timeout
    while True:
        value = test()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError("waited %.1f s for %s" % (timeout, what))
        time.sleep(interval)


def pid_alive(pid):
    """True while the process exists and is not a zombie."""
    try:
        with open("/proc/%d/stat" % pid, encoding="ascii", errors="replace") as f:
            return f.read().rpartition(")")[2].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def kill_pid(pid, grace=2.0):
    """SIGTERM, then SIGKILL after `grace` seconds; only the given pid."""
    for sig, wait in ((signal.SIGTERM, grace), (signal.SIGKILL, 2.0)):
        if not pid_alive(pid):
            return
        try:
            os.kill(pid, sig)
        except OSError:
            return
        deadline = time.monotonic() + wait
        while pid_alive(pid) and time.monotonic() < deadline:
            time.sleep(0.02)


# ---- pictures ----

class Picture:
    """An RGB image of the screen, read from ImageMagick's PPM."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    @classmethod
    def from_ppm(cls, data):
        fields, pos = [], 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos)
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6" or fields[3] != b"255":
            raise ValueError("not an 8-bit PPM: %r" % fields)
        width, height = int(fields[1]), int(fields[2])
        rgb = data[pos + 1:pos + 1 + width * height * 3]
        if len(rgb) != width * height * 3:
            raise ValueError("short PPM")
        return cls(width, height, rgb)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def row(self, y, x0=0, x1=None):
        x1 = self.width if x1 is None else x1
        return [self.pixel(x, y) for x in range(x0, x1)]

    def crop(self, x, y, width, height):
        rows = [self.rgb[((y + r) * self.width + x) * 3:((y + r) * self.width + x + width) * 3]
                for r in range(height)]
        return Picture(width, height, b"".join(rows))

    def save_png(self, path):
        raw = b"".join(b"\0" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3]
                       for y in range(self.height))

        def chunk(kind, data):
            return (struct.pack(">I", len(data)) + kind + data
                    + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n"
                    + chunk(b"IHDR", struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0,
                                                 0))
                    + chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def near(colour, expected, tolerance=3):
    return all(abs(a - b) <= tolerance for a, b in zip(colour, expected))


def reddish(colour):
    """Accent, or accent blended into the dark background (anti-aliased edges)."""
    return colour[0] >= 40 and colour[0] > 3 * max(colour[1], colour[2])


def column(picture, x, y0=0, y1=None):
    y1 = picture.height if y1 is None else y1
    return [picture.pixel(x, y) for y in range(y0, y1)]


def boxes(picture, colour, x0, x1, y0, y1, min_width=1, min_height=1, tolerance=2):
    """Rectangles [x0, x1) x [y0, y1) filled with one colour inside an area: rows
    whose runs of the colour overlap are joined. Text drawn inside a box splits its
    runs, so a box is reported with the extent of all its rows."""
    found = []      # [left, top, right, bottom]
    open_boxes = []
    for y in range(y0, y1):
        row_runs = [(x0 + a, x0 + b) for a, b in runs(picture.row(y, x0, x1), colour, tolerance)]
        still = []
        for a, b in row_runs:
            for box in open_boxes:
                if a < box[2] and box[0] < b and box[3] >= y:
                    box[0], box[2], box[3] = min(box[0], a), max(box[2], b), y + 1
                    break
            else:
                box = [a, y, b, y + 1]
                found.append(box)
            if box not in still:
                still.append(box)
        open_boxes = still
    return [tuple(b) for b in found if b[3] - b[1] >= min_height and b[2] - b[0] >= min_width]


def runs(pixels, expected, tolerance=3):
    """[(start, end)) index runs of the pixels that match a colour (or a test)."""
    test = expected if callable(expected) else (lambda p: near(p, expected, tolerance))
    found, start = [], None
    for i, p in enumerate(pixels + [None]):
        hit = p is not None and test(p)
        if hit and start is None:
            start = i
        elif not hit and start is not None:
            found.append((start, i))
            start = None
    return found


def tab_underline(picture, left=0, top=0):
    """(start, end) of the accent underline under the current tab, or None; `left` and `top`
    place the window in a picture of the whole screen."""
    found = [r for r in runs(picture.row(top + UNDERLINE_ROW, left, left + 900), reddish) if r[1] - r[0] > 4]
    return found[0] if len(found) == 1 else None


# ---- Xvfb ----

class Xvfb:
    """A private X server; `dpi` is written as Xft.dpi before any window starts."""

    def __init__(self, width, height, dpi=None):
        require_tools("Xvfb", "xdotool", "import")
        self.log = tempfile.NamedTemporaryFile(prefix="vlr-xvfb-", suffix=".log", delete=False)
        read_end, write_end = os.pipe()
        try:
            # -noreset: the server would drop the Xft.dpi resource when its last client leaves.
            self.proc = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 "%dx%dx24" % (width, height), "-nolisten", "tcp", "-noreset"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=self.log,
                stderr=self.log)
        finally:
            os.close(write_end)
        try:
            number = b""
            deadline = time.monotonic() + 15
            while not number.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([read_end], [], [], left)[0]:
                    break
                chunk = os.read(read_end, 64)
                if not chunk:
                    break
                number += chunk
        finally:
            os.close(read_end)
        if not number.strip().isdigit():
            self.stop()
            raise unittest.SkipTest("Xvfb did not start: " + self.log_text()[-500:])
        self.display = ":" + number.strip().decode()
        self.width, self.height = width, height
        # Called with the time an input was sent; the test case waits there for the frame
        # that took it.
        self.after_input = None
        if dpi:
            require_tools("xrdb")
            self.run(["xrdb", "-merge"], input=b"Xft.dpi: %d\n" % dpi)

    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        env.pop("WAYLAND_DISPLAY", None)
        env["DISPLAY"] = self.display
        return env

    def run(self, args, timeout=10, input=None):
        done = subprocess.run(args, env=self.env(), input=input, capture_output=True,
                              timeout=timeout)
        if done.returncode != 0:
            raise AssertionError("%s failed (%d): %s" % (" ".join(args), done.returncode,
                                                         done.stderr.decode(errors="replace")))
        return done.stdout.decode(errors="replace")

    def log_text(self):
        with open(self.log.name, encoding="utf-8", errors="replace") as f:
            return f.read()

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.log.close()
        os.unlink(self.log.name)

    # ---- screen ----

    def screenshot(self):
        data = subprocess.run(["import", "-display", self.display, "-window", "root",
                               "-depth", "8", "ppm:-"], capture_output=True, timeout=20,
                              check=True).stdout
        return Picture.from_ppm(data)

    def windows(self, title=TITLE):
        """Ids of the visible top-level windows with that title."""
        done = subprocess.run(["xdotool", "search", "--onlyvisible", "--name",
                               "^%s$" % title],
                              env=self.env(), capture_output=True, timeout=10)
        return [int(w) for w in done.stdout.split()]

    def geometry(self, window):
        out = self.run(["xdotool", "getwindowgeometry", "--shell", str(window)])
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))

    def input_sent(self):
        if self.after_input:
            self.after_input(time.monotonic())

    def click(self, x, y, button=1):
        self.run(["xdotool", "mousemove", str(x), str(y), "click", str(button)])
        self.input_sent()

    def move_mouse(self, x, y):
        """Not followed by a wait: a move draws at most one frame, and none off the window."""
        self.run(["xdotool", "mousemove", str(x), str(y)])

    def key(self, window, *keys):
        """Presses keys one after the other, each taken in a frame before the next (bursts
        of input between two frames are test_input's subject, not every test's)."""
        self.run(["xdotool", "windowfocus", "--sync", str(window)])
        for key in keys:
            self.run(["xdotool", "key", key])
            self.input_sent()

    def close_window(self, window):
        """Asks the window to close the way a window manager does (WM_DELETE_WINDOW)."""
        send_delete_window(self.display, window)

    def type_text(self, window, text):
        """Types text into the focused window, one key event pair per character."""
        self.run(["xdotool", "windowfocus", "--sync", str(window)])
        self.run(["xdotool", "type", "--delay", "40", "--", text], timeout=30)
        self.input_sent()

    def resize(self, window, width, height):
        """Resizes the window (no window manager: the request is granted as asked)."""
        self.run(["xdotool", "windowsize", "--sync", str(window), str(width), str(height)])


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def send_delete_window(display, window):
    name = ctypes.util.find_library("X11")
    if not name:
        raise unittest.SkipTest("libX11 is missing: cannot ask the window to close")
    x11 = ctypes.CDLL(name)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    if not dpy:
        raise AssertionError("cannot open display " + display)
    try:
        event = _XEvent()
        event.xclient.type = 33                     # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0                   # CurrentTime
        x11.XSendEvent(dpy, window, 0, 0, ctypes.byref(event))
        x11.XFlush(dpy)
    finally:
        x11.XCloseDisplay(dpy)


# ---- sandbox: a private copy of the demo launcher ----

class Sandbox:
    """A temporary folder holding source/tools/launcher.py (and its modules and
    logo); it is also the program's TMPDIR, so the session file lands in the
    program's private folder here (XDG_RUNTIME_DIR is taken away), and
    the launcher's portable folder, so its work folder is <folder>/work."""

    def __init__(self, script_dir=None):
        self.root = tempfile.mkdtemp(prefix="vlr-gui-")
        tools = os.path.join(self.root, "source", "tools")
        os.makedirs(tools)
        demo = os.path.join(source_dir(), "tools", "demo-launcher")
        for name in os.listdir(demo):
            if (name.endswith(".py") and not name.startswith("test_")) or name == "launcher.png":
                shutil.copy2(os.path.join(demo, name), tools)
        self.script = os.path.join(tools, "launcher.py")
        self.log = os.path.join(self.root, "requests.log")
        self.pids = set()

    def env(self, base):
        env = dict(base)
        env.update(TMPDIR=self.root, VLR_PORTABLE=self.root, VLR_DEMO_LOG=self.log,
                   VLR_TRACE_FRAMES="1")
        for name in ("VLR_DEMO_BROWSE", "VLR_DEMO_BROWSE_SAVES", "VLR_DEMO_BROWSE_DELAY",
                     "PYTHONHOME", "PYTHONPATH", "XDG_RUNTIME_DIR"):
            env.pop(name, None)
        return env

    def session_path(self, script=None):
        # The program's private folder; made here as the program makes it, for tests that
        # start a launcher before the program.
        folder = os.path.join(self.root, "velocrash-rebuilt-%d" % os.geteuid())
        os.makedirs(folder, mode=0o700, exist_ok=True)
        return os.path.join(folder, session_name(script or self.script) + ".json")

    def session(self, path=None):
        """The session file's content, or None while there is none."""
        try:
            with open(path or self.session_path(), encoding="utf-8") as f:
                data = json.load(f)
        except (OSError, ValueError):
            return None
        if isinstance(data, dict) and "pid" in data:
            self.pids.add(data["pid"])
        return data

    def wait_session(self, timeout=15, path=None):
        return wait_for(lambda: self.session(path), timeout, "the session file")

    def post(self, action, body=None, timeout=10, session=None):
        """A command to the demo launcher, the way the window sends it."""
        session = session or self.session()
        if not session:
            raise AssertionError("no session file: the launcher is not running")
        request = urllib.request.Request(
            "http://127.0.0.1:%d/api/%s" % (session["port"], action),
            data=json.dumps(body or {}).encode(), method="POST",
            headers={"X-VLR-Token": session["token"], "Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=timeout) as answer:
            return json.loads(answer.read())

    def requests(self):
        """Actions the launcher received, in order (from VLR_DEMO_LOG)."""
        try:
            with open(self.log, encoding="utf-8") as f:
                return [json.loads(line)["action"] for line in f if line.strip()]
        except OSError:
            return []

    def request_log(self):
        """(action, raw body) of every command the launcher received, in order."""
        try:
            with open(self.log, encoding="utf-8") as f:
                entries = [json.loads(line) for line in f if line.strip()]
        except OSError:
            return []
        return [(e["action"], e["body"]) for e in entries]

    def bodies(self, action):
        """Raw bodies of the commands of one action, in order."""
        return [body for name, body in self.request_log() if name == action]

    def seed_state(self, data):
        """Writes the demo launcher's saved state before it starts (its work folder)."""
        work = os.path.join(self.root, "work")
        os.makedirs(work, exist_ok=True)
        with open(os.path.join(work, "launcher-state.json"), "w", encoding="utf-8") as f:
            json.dump(data, f)

    def launcher_pids(self):
        """Processes running this sandbox's launcher script."""
        found = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % entry, "rb") as f:
                    args = f.read().split(b"\0")
            except OSError:
                continue
            # An interpreter whose first argument is the script (not the program itself).
            if args[1:2] == [self.script.encode()] and pid_alive(int(entry)):
                found.append(int(entry))
        return found

    def close(self):
        for pid in set(self.launcher_pids()) | self.pids:
            kill_pid(pid)
        shutil.rmtree(self.root, ignore_errors=True)


# ---- program ----

class Program:
    """The program in window mode; standard output and error are read on
    threads, each line kept with its arrival time."""

    FRAME = re.compile(r"^frame \d+(\s|$)")
    STATE_DRAWN = re.compile(r"^frame \d+ .*\bstate 1\b")

    def __init__(self, args, env, cwd=None):
        self.lines = []         # (monotonic time, stream name, text)
        self.lock = threading.Lock()
        self.started = time.monotonic()
        self.proc = subprocess.Popen(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        for name, stream in (("out", self.proc.stdout), ("err", self.proc.stderr)):
            threading.Thread(target=self._read, args=(name, stream), daemon=True).start()

    def _read(self, name, stream):
        # The launcher inherits these pipes and may hold them open after the program ends.
        for raw in iter(stream.readline, b""):
            with self.lock:
                self.lines.append((time.monotonic(), name, raw.decode(errors="replace")
                                   .rstrip("\r\n")))
        stream.close()

    def frame_times(self):
        with self.lock:
            return [t for t, name, text in self.lines if name == "err" and self.FRAME.match(text)]

    def frames(self, since=None, until=None):
        since = self.started if since is None else since
        until = float("inf") if until is None else until
        return sum(1 for t in self.frame_times() if since <= t < until)

    def took_input(self, sent, quiet=0.15, idle=0.3, timeout=10):
        """Waits until the window drew the frame that took an input whose last event was sent
        at `sent`. The first frame line after `sent` may come from a frame already under way
        that never saw it; that frame then finds the event waiting and draws again at once.
        So two lines after `sent` (a frame with input asks for one more), or one followed by
        `quiet` seconds without a frame, mean the input was taken. An input taken while
        xdotool still ran may leave no line at all: then `idle` seconds without a frame."""
        def taken():
            if self.exit_code() is not None:
                return True
            times = [t for t in self.frame_times() if t >= sent]
            if len(times) >= 2:
                return True
            since = time.monotonic() - (times[-1] if times else sent)
            return since >= (quiet if times else idle)
        wait_for(taken, timeout, "the frame that took the input", interval=0.02)

    def state_drawn(self):
        """Whether a frame has drawn a state document (the page, not the start-up line)."""
        with self.lock:
            return any(name == "err" and self.STATE_DRAWN.match(text) for _, name, text in self.lines)

    def last_frame(self):
        times = self.frame_times()
        return times[-1] if times else None

    def wait_quiet(self, quiet=1.0, timeout=15):
        """Waits until no frame was drawn for `quiet` seconds."""
        def calm():
            last = self.last_frame()
            return last is not None and time.monotonic() - last >= quiet
        wait_for(calm, timeout, "the window to stop drawing")

    def output(self):
        with self.lock:
            return "\n".join("%s: %s" % (name, text) for _, name, text in self.lines
                             if not self.FRAME.match(text))

    def exit_code(self):
        return self.proc.poll()

    def wait(self, timeout):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the program did not end within %.1f s" % timeout)

    def kill(self):
        if self.proc.poll() is None:
            kill_pid(self.proc.pid, grace=1.0)
            try:
                self.proc.wait(2)
            except subprocess.TimeoutExpired:
                pass


# ---- test case ----

def _keeps_failure_screenshots(method):
    @functools.wraps(method)
    def run(self, *args, **kw):
        try:
            return method(self, *args, **kw)
        except BaseException as e:
            if not isinstance(e, unittest.SkipTest):
                self.save_failure_screenshot()
            raise
    return run


class WindowTest(unittest.TestCase):
    """Base of the window tests: one Xvfb per class, one sandbox per program."""

    SCREEN = (1600, 1000)
    DPI = None

    def __init_subclass__(cls, **kw):
        super().__init_subclass__(**kw)
        for name, value in list(vars(cls).items()):
            if name.startswith("test") and callable(value):
                setattr(cls, name, _keeps_failure_screenshots(value))

    @classmethod
    def setUpClass(cls):
        cls.program = require_program(cls.program_under_test())
        cls.x = Xvfb(*cls.SCREEN, dpi=cls.DPI)

    @classmethod
    def tearDownClass(cls):
        cls.x.stop()

    @classmethod
    def program_under_test(cls):
        return program_path()

    def setUp(self):
        self.programs = []
        self.sandboxes = []
        self.last_picture = None
        self.x.move_mouse(1, 1)     # off the window: hovering would draw frames
        self.x.after_input = self.input_taken

    def input_taken(self, sent):
        """The window under test (the last one started that still runs and draws) takes
        every input in a frame of its own before the next step."""
        drawing = [p for p in self.programs if p.exit_code() is None and p.frame_times()]
        if drawing:
            drawing[-1].took_input(sent)

    def tearDown(self):
        self.x.after_input = None
        for program in self.programs:
            program.kill()
        for sandbox in self.sandboxes:
            sandbox.close()
        # The server unmaps a killed program's window a moment later; the next test must not
        # find it and take it for its own.
        if self.programs:
            wait_for(lambda: not self.x.windows(), 10, "the windows of this test to go")

    def save_failure_screenshot(self):
        base = os.path.join(artifacts_dir(), self.id().rsplit(".", 2)[-2] + "."
                            + self._testMethodName)
        try:
            self.x.screenshot().save_png(base + ".png")
            note = "screenshot of the failure: %s.png" % base
        except Exception as e:  # the screenshot must not hide the failure itself
            note = "no failure screenshot: %r" % e
        if self.last_picture is not None:
            self.last_picture.save_png(base + ".checked.png")
            note += " (the picture checked: %s.checked.png)" % base
        output = "".join("--- program output ---\n%s\n" % p.output() for p in self.programs)
        sys.stderr.write("%s\n%s" % (note, output[-6000:]))

    # ---- starting ----

    def sandbox(self):
        box = Sandbox()
        self.sandboxes.append(box)
        return box

    def start_program(self, box, env=None, args=None):
        environment = box.env(self.x.env())
        environment.update(env or {})
        argv = args or [self.program, "--python", sys.executable, "--script", box.script]
        program = Program(argv, environment, cwd=box.root)
        self.programs.append(program)
        return program

    def wait_window(self, program, timeout=20):
        """The visible window's id, once it is mapped."""
        def shown():
            if program.exit_code() is not None:
                raise AssertionError("the program ended with %s before showing its window:\n%s"
                                     % (program.exit_code(), program.output()))
            return self.x.windows()
        return wait_for(shown, timeout, "the window to show")[0]

    def start_window(self, env=None, box=None):
        """(sandbox, program, window id): the window showing, its first state
        document applied and drawn."""
        box = box or self.sandbox()
        program = self.start_program(box, env)
        window = self.wait_window(program)
        wait_for(lambda: "state" in box.requests(), 20, "the window's first state request")
        box.wait_session()
        # The request is logged before its answer is drawn, and the window may have been
        # quiet for long before it: a picture taken now could still show the start-up line.
        wait_for(program.state_drawn, 20, "the frame that drew the first state document")
        program.wait_quiet(0.5)
        return box, program, window

    # ---- looking ----

    def picture(self, window):
        """The window's own pixels (a crop of the root window)."""
        x, y, width, height = self.x.geometry(window)
        self.last_picture = self.x.screenshot().crop(x, y, width, height)
        return self.last_picture

    def assertColour(self, picture, x, y, expected, tolerance=3, what=""):
        got = picture.pixel(x, y)
        if not near(got, expected, tolerance):
            self.fail("pixel (%d, %d)%s is %r, expected %r" % (x, y, " " + what if what else "",
                                                               got, expected))
