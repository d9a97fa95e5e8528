"""
+----------------------------------------------------------------------------+
| test_desktop.py — what a desktop user expects of the window                |
|                                                                            |
| Selecting part of the ISO field with Shift+Left and copying it, a double   |
| click and Ctrl+X, and the path that then goes with the download; finding a |
| line among 20 000 in the console and copying the lines selected there, read |
| back from the X clipboard; the window closed and started again where it    |
| was left, with its zoom. With VLR_DOCS_SHOTS set to a folder, the README's  |
| two pictures are written there.                                            |
+----------------------------------------------------------------------------+
"""

import ctypes
import ctypes.util
import json
import os
import subprocess
import sys
import time
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_play import PlayPageTest  # noqa: E402
from vlr_gui import require_tools, wait_for  # noqa: E402


# ---- a drag-and-drop source (XDND), as a file manager is one ----

class _SelectionRequest(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("owner", ctypes.c_ulong), ("requestor", ctypes.c_ulong),
                ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong), ("property", ctypes.c_ulong),
                ("time", ctypes.c_ulong)]


class _Selection(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", ctypes.c_ulong), ("selection", ctypes.c_ulong),
                ("target", ctypes.c_ulong), ("property", ctypes.c_ulong), ("time", ctypes.c_ulong)]


class _Client(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class _Event(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xclient", _Client), ("xselectionrequest", _SelectionRequest),
                ("xselection", _Selection), ("pad", ctypes.c_long * 24)]


def drop_files(display, target, root_x, root_y, paths, timeout=10):
    """Drops files on a window the way a file manager does: enter, position and drop
    messages, then the text/uri-list handed over when the window asks for the selection."""
    x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XCreateSimpleWindow.restype = ctypes.c_ulong
    x11.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x11.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_Event)]
    x11.XChangeProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong,
                                    ctypes.c_int, ctypes.c_int, ctypes.c_char_p, ctypes.c_int]
    x11.XPending.argtypes = [ctypes.c_void_p]
    x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.POINTER(_Event)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    dpy = x11.XOpenDisplay(display.encode())
    atom = lambda name: x11.XInternAtom(dpy, name.encode(), 0)  # noqa: E731
    source = x11.XCreateSimpleWindow(dpy, x11.XDefaultRootWindow(dpy), 0, 0, 1, 1, 0, 0, 0)
    uri_list = atom("text/uri-list")
    payload = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in paths).encode()
    try:
        x11.XSetSelectionOwner(dpy, atom("XdndSelection"), source, 0)

        def send(name, *data):
            event = _Event()
            event.xclient.type = 33                     # ClientMessage
            event.xclient.window = target
            event.xclient.message_type = atom(name)
            event.xclient.format = 32
            for i, value in enumerate(data):
                event.xclient.data[i] = value
            x11.XSendEvent(dpy, target, 0, 0, ctypes.byref(event))
            x11.XFlush(dpy)

        send("XdndEnter", source, 5 << 24, uri_list, 0, 0)
        send("XdndPosition", source, 0, (root_x << 16) | root_y, 0, atom("XdndActionCopy"))
        send("XdndDrop", source, 0, 0)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if not x11.XPending(dpy):
                time.sleep(0.02)
                continue
            event = _Event()
            x11.XNextEvent(dpy, ctypes.byref(event))
            if event.type == 30:                        # SelectionRequest
                request = event.xselectionrequest
                x11.XChangeProperty(dpy, request.requestor, request.property, request.target, 8, 0,
                                    payload, len(payload))
                answer = _Event()
                answer.xselection.type = 31             # SelectionNotify
                answer.xselection.requestor = request.requestor
                answer.xselection.selection = request.selection
                answer.xselection.target = request.target
                answer.xselection.property = request.property
                answer.xselection.time = request.time
                x11.XSendEvent(dpy, request.requestor, 0, 0, ctypes.byref(answer))
                x11.XFlush(dpy)
            elif event.type == 33 and event.xclient.message_type == atom("XdndFinished"):
                return
        raise AssertionError("the window did not take the drop")
    finally:
        x11.XDestroyWindow(dpy, source)
        x11.XCloseDisplay(dpy)

# The console at 1280 x 720 and scale 1: text from y 195 in rows of 18, 451 high. A match
# out of view is brought to the middle row (offset = its row - (451 - 18) // 2); one already
# in view stays where it is.
TEXT_TOP, LINE = 195, 18
MIDDLE_ROW = TEXT_TOP + (451 - LINE) // 2 + LINE // 2
NEEDLES = (12345, 12347, 12350)


class DesktopTest(PlayPageTest):
    def clipboard(self):
        done = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.x.env(),
                              capture_output=True, timeout=10)
        return done.stdout.decode("utf-8")

    def shot(self, window, name, x, y, width, height):
        folder = os.environ.get("VLR_DOCS_SHOTS")
        if folder:
            self.picture(window).crop(x, y, width, height).save_png(os.path.join(folder, name))

    def xdotool(self, program, *args):
        self.x.run(["xdotool"] + list(args))
        program.wait_quiet(0.4)

    def test_selecting_copying_and_cutting_in_the_iso_field(self):
        require_tools("xclip")
        box, program, window = self.open(seed={"iso": "/discs/velocrash-eu.iso"})
        top, bottom, right = self.iso_field(program, window)
        middle = (top + bottom) // 2
        self.click(right - 20, middle)            # past the text: the caret at its end
        program.wait_quiet(0.3)
        self.x.key(window, "shift+Left", "shift+Left", "shift+Left", "ctrl+c")
        program.wait_quiet(0.3)
        self.assertEqual(self.clipboard(), "iso")
        self.shot(window, "selection.png", 30, top - 56, right + 80, bottom - top + 110)

        # A double click in "velocrash" takes the word (the text starts 11 in from the field,
        # "/discs/" is about 45 wide); Ctrl+X cuts it.
        x, y = self.origin[0] + 88 + 75, self.origin[1] + middle
        self.xdotool(program, "mousemove", str(x), str(y), "click", "--repeat", "2", "--delay", "80", "1")
        self.x.key(window, "ctrl+x")
        program.wait_quiet(0.3)
        self.assertEqual(self.clipboard(), "velocrash")
        left, btop, bright, bbottom = self.download_button(program, window)
        self.click((left + bright) // 2, (btop + bbottom) // 2)
        self.wait_request(box, "download-compiler")
        self.assertEqual(box.bodies("download-compiler"), [json.dumps({"iso": "/discs/-eu.iso"})])

    def test_finding_a_line_among_twenty_thousand_and_copying_selected_lines(self):
        require_tools("xclip")
        box, program, window = self.open()
        self.click(123, 85)                       # the Console tab: following the tail
        program.wait_quiet(0.4)
        lines = ["build step %05d done\n" % n for n in range(20000)]
        for n in NEEDLES:
            lines[n] = "build step %05d: Needle found\n" % n
        for start in range(0, 20000, 5000):
            box.post("test-lines", {"lines": lines[start:start + 5000]})
        # VLR_TRACE_FRAMES: every frame line tells the console's length.
        wait_for(lambda: any(" console 20000 " in text + " " for _, _, text in list(program.lines)),
                 30, "the lines to arrive")
        program.wait_quiet(0.5)

        self.x.key(window, "ctrl+f")
        self.x.type_text(window, "NEEDLE")        # the first match from the view's top (wrapping),
        program.wait_quiet(0.4)                   # 12345, in the middle row
        self.x.key(window, "Return")              # on to 12347, two rows below it
        program.wait_quiet(0.4)
        self.shot(window, "console-search.png", 30, 120, 1220, 560)
        row = MIDDLE_ROW + 2 * LINE

        # A click selects the line under it (and takes the focus from the search field).
        self.click(300, row)
        program.wait_quiet(0.3)
        self.x.key(window, "ctrl+c")
        program.wait_quiet(0.3)
        self.assertEqual(self.clipboard(), "build step 12347: Needle found\n")

        # A drag over four rows selects those four lines.
        x0, y0 = self.origin[0] + 300, self.origin[1] + row
        self.xdotool(program, "mousemove", str(x0), str(y0), "mousedown", "1")
        self.xdotool(program, "mousemove", str(x0), str(y0 + 3 * LINE))
        self.xdotool(program, "mouseup", "1")
        self.x.key(window, "ctrl+c")
        program.wait_quiet(0.3)
        self.assertEqual(self.clipboard(), "".join(lines[12347:12351]))

    def test_a_dropped_iso_fills_the_field_and_goes_with_the_download(self):
        box, program, window = self.open()
        path = "/media/j\u00e9r\u00f4me/\"Velocrash\" 100% (Europe).iso"
        x, y = self.origin[0] + 400, self.origin[1] + 400
        drop_files(self.x.display, window, x, y, [path])
        program.wait_quiet(0.4)
        other = "/tmp/other.iso"
        drop_files(self.x.display, window, x, y, [other, other])   # two files: only a notice
        program.wait_quiet(0.4)
        left, btop, bright, bbottom = self.download_button(program, window)
        self.click((left + bright) // 2, (btop + bbottom) // 2)
        self.wait_request(box, "download-compiler")
        self.assertEqual([json.loads(body) for body in box.bodies("download-compiler")], [{"iso": path}])

    def test_the_window_comes_back_where_it_was_left_with_its_zoom(self):
        box, program, window = self.open()
        self.x.run(["xdotool", "windowmove", "--sync", str(window), "90", "70"])
        self.x.resize(window, 1000, 650)
        self.x.key(window, "ctrl+equal", "ctrl+equal")   # 110 %, then 125 %
        program.wait_quiet(0.5)
        before = self.x.geometry(window)
        self.assertEqual(before, (90, 70, 1000, 650))
        self.x.close_window(window)
        self.assertEqual(program.wait(15), 0)
        wait_for(lambda: not self.x.windows(), 10, "the window to go")
        with open(os.path.join(box.root, "window-placement.json"), encoding="utf-8") as f:
            saved = json.load(f)
        self.assertEqual((saved["x"], saved["y"], saved["width"], saved["height"]), (90, 70, 1000, 650))
        self.assertAlmostEqual(saved["zoom"], 1.25)

        # Started again: the same place and size, the same zoom (the file is written anew
        # at the next close with what the window then had).
        again = self.start_program(box)
        window = self.wait_window(again)
        again.wait_quiet(0.5)
        self.assertEqual(self.x.geometry(window), before)
        self.x.close_window(window)
        self.assertEqual(again.wait(15), 0)
        with open(os.path.join(box.root, "window-placement.json"), encoding="utf-8") as f:
            self.assertAlmostEqual(json.load(f)["zoom"], 1.25)

        # A file of another kind: the computed placement, centred on the 1600 x 1000 screen.
        with open(os.path.join(box.root, "window-placement.json"), "w", encoding="utf-8") as f:
            f.write('{"x": 5, "y": 5, "width": 700, "height": 500}')
        third = self.start_program(box)
        window = self.wait_window(third)
        third.wait_quiet(0.5)
        self.assertEqual(self.x.geometry(window), (160, 140, 1280, 720))
        self.x.close_window(window)
        self.assertEqual(third.wait(15), 0)

        # A pipe nobody writes to, or a link to an endless device, under the file's name: the
        # window opens all the same, placed as if there were no file.
        placement = os.path.join(box.root, "window-placement.json")
        for plant in (os.mkfifo, lambda path: os.symlink("/dev/zero", path)):
            os.remove(placement)
            plant(placement)
            started = self.start_program(box)
            window = self.wait_window(started)
            started.wait_quiet(0.5)
            self.assertEqual(self.x.geometry(window), (160, 140, 1280, 720))
            self.x.close_window(window)
            self.assertEqual(started.wait(15), 0)


if __name__ == "__main__":
    unittest.main()
