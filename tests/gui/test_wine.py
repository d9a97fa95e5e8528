"""
+----------------------------------------------------------------------------+
| test_wine.py — the Windows build's window under Wine, on Xvfb              |
|                                                                            |
| Velocrash.exe starts against the demo launcher and draws its frame and the |
| Play, Console and Updates pages (a screenshot of each is kept). Under      |
| Wine the program runs a native Python (Wine starts Unix programs), so the  |
| launcher is handed Windows paths: the demo launcher maps the session path  |
| itself; the script path is mapped by a tiny wrapper that stands in for the |
| interpreter, as Python opens the script before any of its code runs. The   |
| prefix needs the four font files the program loads from the Fonts folder.  |
|                                                                            |
| Environment: VLR_WINDOWS_EXE, VLR_WINE (the wine64 loader), WINEPREFIX.    |
+----------------------------------------------------------------------------+
"""

import glob
import os
import shlex
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vlr_gui import (ACCENT, BACKGROUND, BASE_SIZE, CARD, LAYOUT, LINE, LOG_BG,  # noqa: E402
                     PAGE_X, PANEL, SEPARATOR, TAB_Y, VIEW_TOP, WindowTest, artifacts_dir,
                     kill_pid, near, reddish, runs, session_name, source_dir, wait_for)

W, H = BASE_SIZE

# Windows font file -> the Debian font standing in for it.
FONTS = {
    "segoeui.ttf": "/usr/share/fonts/truetype/open-sans/OpenSans-Regular.ttf",
    "seguisb.ttf": "/usr/share/fonts/truetype/open-sans/OpenSans-Semibold.ttf",
    "consola.ttf": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "seguisym.ttf": "/usr/share/fonts/truetype/noto/NotoSansSymbols2-Regular.ttf",
}

WRAPPER = """#!/bin/sh
# Stands in for the interpreter: the window passes the script as a Windows path.
script=$(printf '%%s' "$1" | sed -e 's|^[Zz]:||' -e 's|\\\\|/|g')
shift
exec %s "$script" "$@"
"""


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def wineserver_running(prefix):
    """Whether a wineserver serves this prefix (its working folder is named after it)."""
    info = os.stat(prefix)
    wanted = "server-%x-%x" % (info.st_dev, info.st_ino)
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % entry, encoding="ascii", errors="replace") as f:
                if not f.read().startswith("wineserver"):
                    continue
            if os.path.basename(os.readlink("/proc/%s/cwd" % entry)) == wanted:
                return True
        except OSError:
            continue
    return False


def install_fonts(prefix):
    folder = os.path.join(prefix, "drive_c", "windows", "Fonts")
    os.makedirs(folder, exist_ok=True)
    for name, source in FONTS.items():
        target = os.path.join(folder, name)
        if not os.path.exists(target):
            if not os.path.exists(source):
                raise unittest.SkipTest("font %s is missing (for %s)" % (source, name))
            shutil.copyfile(source, target)


class UnderWine:
    """Put before WindowTest (or a test class built on it): the class runs Velocrash.exe
    under Wine in the prepared prefix instead of the Linux program, and skips when either
    is missing."""

    @classmethod
    def program_under_test(cls):
        exe = os.environ.get("VLR_WINDOWS_EXE") or os.path.join(source_dir(), "build",
                                                                "windows", "Velocrash.exe")
        if not os.path.isfile(exe):
            raise unittest.SkipTest("the Windows build is missing: %s" % exe)
        return exe

    @classmethod
    def setUpClass(cls):
        cls.exe = cls.program_under_test()
        cls.wine = os.environ.get("VLR_WINE") or "/usr/lib/wine/wine64"
        cls.prefix = os.environ.get("WINEPREFIX") or os.path.join(
            os.path.expanduser("~"), ".cache", "velocrash-rebuilt", "wine")
        if not os.access(cls.wine, os.X_OK):
            raise unittest.SkipTest("Wine is missing: %s" % cls.wine)
        if not os.path.isfile(os.path.join(cls.prefix, "user.reg")):
            raise unittest.SkipTest("no prepared Wine prefix at %s (scripts/setup)" % cls.prefix)
        install_fonts(cls.prefix)
        cls.own_server = not wineserver_running(cls.prefix)
        super().setUpClass()
        cls.program = cls.exe

    @classmethod
    def tearDownClass(cls):
        if cls.own_server:
            # Only this prefix's processes, and only when this test brought its server up.
            subprocess.run([os.path.join(os.path.dirname(cls.wine), "wineserver"), "-k"],
                           env=dict(os.environ, WINEPREFIX=cls.prefix), timeout=30,
                           stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        super().tearDownClass()

    def wine_env(self):
        return {"WINEPREFIX": self.prefix, "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}

    def wine_args(self, box):
        """The command line that starts the exe against the sandbox's launcher."""
        wrapper = os.path.join(box.root, "python.sh")
        with open(wrapper, "w", encoding="utf-8") as f:
            f.write(WRAPPER % shlex.quote(sys.executable))
        os.chmod(wrapper, 0o755)
        return [self.wine, self.exe, "--python", windows_path(wrapper), "--script", windows_path(box.script)]


class WineTest(UnderWine, WindowTest):
    def test_exe_shows_its_frame_against_the_demo_launcher(self):
        box = self.sandbox()
        session = session_name(windows_path(box.script)) + ".json"
        self.addCleanup(self.remove_sessions, session)

        program = self.start_program(box, env=self.wine_env(), args=self.wine_args(box))
        window = self.wait_window(program, timeout=60)

        def session_file():
            found = glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "Temp", session))
            return found[0] if found and box.session(found[0]) else None
        path = wait_for(session_file, 30, "the launcher's session file in the Wine temp folder")
        wait_for(lambda: "state" in box.requests(), 30, "the window's state request")
        self.assertEqual(box.post("state", session=box.session(path))["work"],
                         os.path.join(box.root, "work"))

        # Unmanaged, Wine draws the caption and borders itself: find the client area by its
        # header separator, a 2-pixel line across exactly the client's 1280 pixels.
        def client():
            picture = self.picture(window)
            for row in range(picture.height - 1):
                line = [r for r in runs(picture.row(row), LINE) if r[1] - r[0] == W]
                if line and runs(picture.row(row + 1), LINE) == line:
                    return picture, line[0][0], row - SEPARATOR
            return None
        picture, left, top = wait_for(client, 20, "the header separator", interval=0.3)
        self.assertLessEqual(picture.width - W, 24, "no more than a thin frame around it")
        self.assertFalse(runs(picture.row(top + SEPARATOR - 1, left, left + W), LINE) == [(0, W)])
        self.assertColour(picture, left + W - 10, top + VIEW_TOP, BACKGROUND)
        underline = [r for r in runs(picture.row(top + 103, left, left + 900), reddish)
                     if r[1] - r[0] > 4]
        self.assertEqual(underline and underline[0][0], 42, underline)
        self.assertColour(picture, left + 45, top + 103, ACCENT)
        self.assertColour(picture, left + 45, top + 104, ACCENT)

        # The Play page renders too: wide cards, and the primary button of the compiler offer.
        def play_page():
            shot = self.picture(window)
            rows = range(top + 130, min(top + 700, shot.height))
            cards = [y for y in rows if any(b - a >= 700 for a, b in runs(shot.row(y, left, left + W), CARD))]
            buttons = [y for y in rows
                       if any(b - a >= 150 for a, b in runs(shot.row(y, left, left + W), ACCENT, 0))]
            return (shot, cards, buttons) if cards and buttons else None
        shot, cards, buttons = wait_for(play_page, 20, "the Play page's cards and primary button", interval=0.3)
        shot.crop(left, top, W, H).save_png(os.path.join(artifacts_dir(), "wine-play-page.png"))
        self.assertLess(cards[0], buttons[0], "the button sits inside a card below the first card's top")
        self.check_focus_ring(window, left, top)
        self.check_selection(window, left, top)
        self.check_settings_page(window, left, top)
        self.check_console_page(box, path, window, left, top)
        self.check_console_lines(window, left, top)
        self.check_updates_page(window, left, top)
        self.check_drop(box, path, window, left, top)
        program.kill()

    def clipboard(self):
        done = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.x.env(),
                              capture_output=True, timeout=10)
        return done.stdout.decode("utf-8", errors="replace")

    def check_focus_ring(self, window, left, top):
        """Tab puts the focus on the ISO field, the page's first control: the ring shows in
        the accent outside the field's outline, left of it and above it; none before."""
        from test_play import fields
        from vlr_gui import FOOTER
        field = wait_for(lambda: fields(self.picture(window).crop(left, top, W, H), PAGE_X, H - FOOTER),
                         20, "the ISO field", interval=0.3)[0]
        middle = (field[0] + field[1]) // 2

        def ring(shot):
            # Between the card's edge and the field's own outline (19 in), and the same
            # height above the field's top.
            beside = [x for x in range(PAGE_X + 8, PAGE_X + 18) if near(shot.pixel(left + x, top + middle), ACCENT, 30)]
            above = [y for y in range(field[0] - 10, field[0] - 1) if near(shot.pixel(left + PAGE_X + 200, top + y), ACCENT, 30)]
            return beside and above
        self.assertFalse(ring(self.picture(window)), "no ring before a key was used")
        self.x.key(window, "Tab")
        shot = wait_for(lambda: ring(self.picture(window)) and self.last_picture, 10,
                        "the focus ring round the ISO field", interval=0.3)
        shot.crop(left, top, W, H).save_png(os.path.join(artifacts_dir(), "wine-focus-ring.png"))
        self.x.key(window, "Escape")    # out of the field again, as a click outside would

    def check_selection(self, window, left, top):
        """Typed into the ISO field, a word selected with Ctrl+Shift+Left and copied: Wine
        hands the program's clipboard text to the X clipboard."""
        from test_play import fields
        from vlr_gui import FOOTER
        field = wait_for(lambda: fields(self.picture(window).crop(left, top, W, H), PAGE_X, H - FOOTER),
                         20, "the ISO field", interval=0.3)[0]
        self.click_client(window, left, top, field[2] - 20, (field[0] + field[1]) // 2)
        self.x.type_text(window, "abc def")
        self.x.key(window, "ctrl+shift+Left", "ctrl+c")
        wait_for(lambda: self.clipboard() == "def", 10, "the selected word on the clipboard")

    def check_drop(self, box, session_path, window, left, top):
        """A file dropped through X drag and drop reaches the program as a Windows path."""
        from test_desktop import drop_files
        from test_play import accent_boxes
        self.click_client(window, left, top, 40, TAB_Y)    # back to Play
        wx, wy = self.x.geometry(window)[:2]
        drop_files(self.x.display, window, wx + left + 400, wy + top + 400, ["/tmp/dropped disc.iso"])
        button = wait_for(lambda: accent_boxes(self.picture(window).crop(left, top, W, H), PAGE_X,
                                               PAGE_X + 822, H - 33), 10, "the download button")[0]
        self.click_client(window, left, top, (button[0] + button[2]) // 2, (button[1] + button[3]) // 2)
        wait_for(lambda: box.bodies("download-compiler"), 10, "the download command")
        self.assertEqual(box.bodies("download-compiler"), ['{"iso": "Z:\\\\tmp\\\\dropped disc.iso"}'])

    def check_console_lines(self, window, left, top):
        """The first log line clicked and copied with Ctrl+C, its tab turned into spaces."""
        self.click_client(window, left, top, 300, 204)
        self.x.key(window, "ctrl+c")
        expected = "Console under Wine: tab    here, h\u00e9llo \u2014 \u00ab ok \u00bb \u2713\n"
        wait_for(lambda: self.clipboard() == expected, 10, "the clicked log line on the clipboard")

    def check_settings_page(self, window, left, top):
        """The Settings tab: its underline, two columns of cards, the switches that are on
        (accent, right-aligned at the second column's edge) and the choice segments."""
        self.x.click(self.x.geometry(window)[0] + left + 202, self.x.geometry(window)[1] + top + TAB_Y)

        def settings_page():
            shot = self.picture(window)
            line = [r for r in runs(shot.row(top + 103, left, left + 900), reddish) if r[1] - r[0] > 4]
            if not line or line[0][0] != 179:
                return None
            # A switch that is on: accent between its left end and its knob (right-aligned
            # at the column's edge, 1211: knob from 1192).
            switches = runs([shot.pixel(left + 1189, y) for y in range(top + 150, top + 680)],
                            ACCENT, 3)
            return (shot, switches) if any(b - a >= 12 for a, b in switches) else None
        shot, switches = wait_for(settings_page, 20, "the Settings page with its switches", interval=0.3)
        shot.crop(left, top, W, H).save_png(os.path.join(artifacts_dir(), "wine-settings-page.png"))
        for x in (PAGE_X + 8, 647 + 8):     # both columns' cards, beside the first card's title
            self.assertColour(shot, left + x, top + 190, CARD, what="card fill")
        selected = [a for a, b in runs(shot.row(top + 257, left + 340, left + 614), LAYOUT["kRowHover"], 1)
                    if b - a >= 40]
        self.assertTrue(selected, "the selected segment of the first choice row")

    def click_client(self, window, left, top, x, y):
        wx, wy = self.x.geometry(window)[:2]
        self.x.click(wx + left + x, wy + top + y)
        self.x.move_mouse(1, 1)

    def check_console_page(self, box, session_path, window, left, top):
        """The log box with its multi-byte and wrapped output, under the Console tab."""
        lines = ["Console under Wine: tab\there, h\u00e9llo \u2014 \u00ab ok \u00bb \u2713", "x" * 250]
        box.post("test-lines", {"lines": [line + "\n" for line in lines]}, session=box.session(session_path))
        self.click_client(window, left, top, 123, 85)

        def console():
            shot = self.picture(window)
            # Log background inside the box, text in the log colour on its first two rows
            # and on the wrapped third.
            texts = [runs(shot.row(top + y, left + 60, left + 1220), lambda p: max(p) >= 120)
                     for y in (204, 222, 240)]
            return shot if all(texts) and near(shot.pixel(left + 640, top + 400), LOG_BG) else None
        shot = wait_for(console, 20, "the Console page's log", interval=0.3)
        shot.crop(left, top, W, H).save_png(os.path.join(artifacts_dir(), "wine-console-page.png"))
        self.assertColour(shot, left + PAGE_X, top + 400, LINE, tolerance=8, what="the log box's outline")
        underline = [r for r in runs(shot.row(top + 103, left, left + 900), reddish) if r[1] - r[0] > 4]
        self.assertEqual(underline and underline[0][0], 99, underline)

    def check_updates_page(self, window, left, top):
        """The change log's cards and the two buttons under the Updates tab."""
        self.click_client(window, left, top, 280, 85)

        def updates():
            shot = self.picture(window)
            cards = [y for y in range(top + 190, top + 680)
                     if any(b - a >= 1100 for a, b in runs(shot.row(y, left, left + W), CARD))]
            panel = runs(shot.row(top + 161, left + PAGE_X, left + 700), PANEL, 2)
            return (shot, cards) if cards and panel and panel[0][0] <= 2 else None
        shot, cards = wait_for(updates, 20, "the Updates page's cards", interval=0.3)
        shot.crop(left, top, W, H).save_png(os.path.join(artifacts_dir(), "wine-updates-page.png"))
        self.assertFalse(near(shot.pixel(left + 1000, top + 161), PANEL), "the buttons end well before")
        self.assertGreater(len(cards), 100, "several cards of the change log")

    def remove_sessions(self, name):
        for path in glob.glob(os.path.join(self.prefix, "drive_c", "users", "*", "Temp", name)):
            for box in self.sandboxes:
                data = box.session(path)
                if data and "pid" in data:
                    kill_pid(data["pid"])
            try:
                os.remove(path)
            except OSError:
                pass


if __name__ == "__main__":
    unittest.main()
