"""
+----------------------------------------------------------------------------+
| test_window.py — the launcher window at scale 1 on a 1600 x 1000 screen    |
|                                                                            |
| Size and place, header separator and tab underline, tab clicks, Escape,    |
| the timed notice, the running bar and idle frames, and what the window     |
| shows when its launcher goes away. Pixels are read at the positions the    |
| layout fixes (window coordinates; 1 unit = 1 pixel here).                  |
+----------------------------------------------------------------------------+
"""

import os
import socket
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vlr_gui import (ACCENT, BACKGROUND, BASE_SIZE, FOOTER, INSET, LINE, PANEL,  # noqa: E402
                     PRIMARY, SECONDARY, SEPARATOR, TAB_Y, VIEW_TOP, WindowTest, near,
                     pid_alive, reddish, runs, tab_underline, wait_for)

W, H = BASE_SIZE
FOOTER_TOP = H - FOOTER
STATUS_RIGHT = W - INSET


def text_extent(picture, y0, y1, colour, x0=0, x1=None, tolerance=40):
    """Leftmost and rightmost x with text of roughly that colour in rows y0..y1."""
    xs = [x for y in range(y0, y1) for x, p in enumerate(picture.row(y, x0, x1), x0)
          if near(p, colour, tolerance) and not near(p, BACKGROUND, 20)]
    return (min(xs), max(xs)) if xs else None


def status_line(picture, colour=ACCENT):
    """Extent of the footer's right-hand status text in that colour."""
    return text_extent(picture, FOOTER_TOP + 6, H - 5, colour, W // 3, W)


class LayoutTest(WindowTest):
    def test_size_place_separator_and_tab_switching(self):
        box, program, window = self.start_window()
        x, y, width, height = self.x.geometry(window)
        self.assertEqual((width, height), (W, H), "min(0.9 screen, 1280 x 720)")
        self.assertEqual((x, y), ((1600 - W) // 2, (1000 - H) // 2), "centred")

        picture = self.picture(window)
        for px in (0, 1, 200, 640, 1100, W - 1):
            self.assertColour(picture, px, SEPARATOR, LINE, what="header separator")
            self.assertColour(picture, px, SEPARATOR + 1, LINE, what="header separator")
        self.assertColour(picture, W - 10, SEPARATOR - 1, BACKGROUND, what="above the separator")
        self.assertColour(picture, W - 10, VIEW_TOP, BACKGROUND, what="below the separator")

        play = tab_underline(picture)
        self.assertIsNotNone(play, "one underline under the current tab")
        self.assertEqual(play[0], INSET + 14, "the window opens on Play")
        self.assertEqual(runs(picture.row(104, 0, 900), reddish)[0], play, "2 pixels high")
        self.assertFalse(runs(picture.row(102, 0, 900), reddish))
        self.assertColour(picture, play[0] + 2, 103, ACCENT)

        def click_next_tab(current):
            # The next tab starts 4 after this one's right edge (underline end + 14);
            # its underline starts 14 into it.
            tab_x = current[1] + 14 + 4
            self.x.click(x + tab_x + 12, y + TAB_Y)

            def moved():
                found = tab_underline(self.picture(window))
                return found if found and found[0] == tab_x + 14 else None
            try:
                return wait_for(moved, 5, "the underline under the clicked tab")
            except AssertionError:
                self.x.move_mouse(x + tab_x + 13, y + TAB_Y)
                time.sleep(0.5)
                self.fail("a quick click on the tab at x %d was not drawn without further input%s"
                          % (tab_x, "; the next input event drew it" if moved() else ""))

        console = click_next_tab(play)
        settings = click_next_tab(console)
        self.assertGreater(settings[0], console[1])
        self.x.click(x + 40, y + TAB_Y)
        wait_for(lambda: tab_underline(self.picture(window)) == play, 5, "Play again")
        self.assertEqual(program.exit_code(), None)

    def test_escape_does_not_close_the_window(self):
        box, program, window = self.start_window()
        x, y, _, _ = self.x.geometry(window)
        before = time.monotonic()
        self.x.key(window, "Escape")
        program.took_input(before)
        # A loop that took Escape for a close request ends with that frame: the next input
        # would find no one to draw it.
        after = time.monotonic()
        self.x.move_mouse(x + 100, y + 300)
        wait_for(lambda: program.frames(after), 5, "a frame for the pointer moved after Escape")
        self.assertIsNone(program.exit_code(), program.output())
        self.assertEqual(self.x.windows(), [window])


class NoticeAndFramesTest(WindowTest):
    def notice_stripe(self, window):
        """x of the notice's accent stripe, in the row through the one-line box."""
        picture = self.picture(window)
        found = [r for r in runs(picture.row(H - 44 - 21, 0, W), ACCENT) if r[1] - r[0] == 3]
        return (found[0][0], picture) if found else None

    def test_notice_from_a_failed_command_comes_and_goes_by_itself(self):
        box, program, window = self.start_window(env={"VLR_DEMO_KEEPALIVE": "0.3"})
        page = self.picture(window)        # what lies under the notice once it is gone
        box.post("test-fail-next", {"action": "state", "error": "The disc drive is not ready."})
        asked = time.monotonic()
        box.post("test-lines", {"state": True})
        stripe, picture = wait_for(lambda: self.notice_stripe(window), 4, "the notice")
        seen = time.monotonic()

        bottom = H - 44                    # 44 above the window's bottom, one line high
        self.assertColour(picture, stripe + 14, bottom - 4, PANEL, what="notice fill")
        self.assertColour(picture, W // 2, bottom - 1, LINE, what="notice outline")
        self.assertColour(picture, W // 2, bottom + 2, page.pixel(W // 2, bottom + 2),
                          what="below the notice (the page itself)")
        self.assertColour(picture, stripe, bottom - 43 + 5, ACCENT, what="stripe top")
        self.assertFalse(near(picture.pixel(stripe, bottom - 43 + 4), ACCENT), "stripe inset")
        # The notice's bottom edge; the page's card outlines cross this row only as dots.
        edge = [r for r in runs(picture.row(bottom - 1, 0, W), LINE) if r[1] - r[0] > 20]
        self.assertTrue(edge)
        left, right = edge[0][0], edge[-1][1]
        self.assertLessEqual(abs((left + right) - W), 24, "centred: %r" % edge)
        text = text_extent(picture, bottom - 43 + 8, bottom - 8, PRIMARY, stripe + 4, W)
        self.assertIsNotNone(text, "the notice's text")

        shown = [t for t in program.frame_times() if asked <= t <= seen]
        self.assertTrue(shown)
        drawn = shown[-1]                 # the frame that put the notice up
        wait_for(lambda: program.frames(drawn + 4.5), drawn + 7 - time.monotonic(),
                 "a frame when the notice expires")
        time.sleep(0.3)
        self.assertIsNone(self.notice_stripe(window), "the notice went away")
        expiry = [t - drawn for t in program.frame_times() if t > drawn + 0.3]
        self.assertTrue(4.9 <= expiry[0] <= 6.0, "frames after the notice: %r" % expiry)
        self.assertEqual(len(expiry), len([t for t in expiry if t < expiry[0] + 0.3]),
                         "nothing drawn between showing and hiding, nor after: %r" % expiry)

    def test_running_bar_moves_and_idle_draws_nothing(self):
        box, program, window = self.start_window(env={"VLR_DEMO_KEEPALIVE": "0.3",
                                                      "VLR_DEMO_SPEED": "2"})
        quiet = time.monotonic()
        time.sleep(5)
        self.assertEqual(program.frames(quiet), 0,
                         "a connected, quiet launcher (keep-alive comments only) draws nothing")

        self.assertTrue(box.post("download-compiler")["running"])
        segments, status = [], None
        busy = time.monotonic()
        # Sampled until the bar was seen in four places (at least 3 s): a busy machine takes
        # its screenshots slowly.
        while time.monotonic() < busy + 3 or (len(set(segments)) < 4
                                             and time.monotonic() < busy + 15):
            picture = self.picture(window)
            bar = runs(picture.row(SEPARATOR, 0, W), reddish)
            self.assertEqual(runs(picture.row(SEPARATOR + 1, 0, W), reddish), bar, "both separator rows")
            self.assertLessEqual(len(bar), 1)
            if bar:
                self.assertLessEqual(bar[0][1] - bar[0][0], round(0.3 * W) + 1)
                segments.append(bar[0])
            status = status or status_line(picture, SECONDARY)
            time.sleep(0.07)
        sampled = time.monotonic()
        rate = program.frames(busy + 0.5, sampled) / (sampled - busy - 0.5)
        # Without any input the bar stands in new places: the loop draws by itself. How often
        # depends on how busy the machine is; it is throttled (about 30 a second) all the same.
        self.assertGreaterEqual(len(set(segments)), 4, "the bar moves: %r" % segments)
        self.assertLessEqual(rate, 45, "frames a second while running: %g" % rate)
        self.assertIsNotNone(status, "'... running' in the footer")
        self.assertLessEqual(abs(status[1] - STATUS_RIGHT), 2, "right-aligned: %r" % (status,))

        wait_for(lambda: not box.post("state")["running"], 20, "the task to end")
        program.wait_quiet(1.0)
        after = time.monotonic()
        time.sleep(1.5)
        self.assertEqual(program.frames(after), 0, "no frames once the task ended")
        self.assertFalse(runs(self.picture(window).row(SEPARATOR, 0, W), reddish))


class LauncherGoneTest(WindowTest):
    def stopped_line(self, program, window):
        """Waits for the accent status line to settle; returns its extent."""
        def settled():
            line = status_line(self.picture(window))
            return line if line and STATUS_RIGHT - line[0] > 300 else None
        return wait_for(settled, 10, "the stopped line in the footer", interval=0.2)

    def test_exit_code_and_crash_show_the_stopped_line(self):
        box, program, window = self.start_window()
        launcher = box.session()["pid"]
        box.post("test-exit", {"code": 1})
        exited = self.stopped_line(program, window)
        self.assertFalse(pid_alive(launcher))
        # It ends where the button that starts a launcher again begins.
        self.assertLess(STATUS_RIGHT - exited[1], 200, "right-aligned: %r" % (exited,))
        self.assertGreater(STATUS_RIGHT - exited[1], 100, "beside the button: %r" % (exited,))
        self.assertIsNone(program.exit_code(), "the window stays open")
        program.kill()

        box, program, window = self.start_window()
        box.post("test-crash")
        crashed = self.stopped_line(program, window)
        self.assertLessEqual(abs(crashed[1] - exited[1]), 2)
        # "exit code 139" against "exit code 1": two more digits, the same sentence.
        self.assertTrue(8 <= exited[0] - crashed[0] <= 24, "%r vs %r" % (exited, crashed))
        self.assertIsNone(program.exit_code())

    def test_reused_launcher_that_exits_shows_the_stopped_line(self):
        # A launcher this window did not start has no exit code to show, but the process it
        # published is gone: stopped, without a code.
        box = self.sandbox()
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            port = s.getsockname()[1]
        launcher = subprocess.Popen(
            [sys.executable, box.script, "--port", str(port), "--token", "ab" * 16,
             "--session", box.session_path()], env=box.env(os.environ),
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        box.pids.add(launcher.pid)
        box.wait_session()
        box, program, window = self.start_window(box=box)
        self.assertEqual(box.launcher_pids(), [launcher.pid], "reused, none started")
        box.post("test-exit", {"code": 1})
        self.assertEqual(launcher.wait(5), 1)
        line = self.stopped_line(program, window)
        time.sleep(2)
        self.assertEqual(status_line(self.picture(window)), line, "and it stays")

    def test_launcher_that_dies_before_any_state_shows_it_in_the_content(self):
        box = self.sandbox()
        blocker = os.path.join(box.root, "not-a-folder")
        open(blocker, "w").close()      # the work folder cannot be made: exit code 1
        program = self.start_program(box, env={"VLR_PORTABLE": blocker})
        window = self.wait_window(program)
        middle = (VIEW_TOP + FOOTER_TOP) // 2

        def message():
            found = text_extent(self.picture(window), middle - 10, middle + 12, SECONDARY)
            return found if found and found[1] - found[0] > 300 else None
        left, right = wait_for(message, 10, "the stopped message in the content area",
                               interval=0.2)
        self.assertLessEqual(abs((left + right) / 2 - W / 2), 6, "centred: %r" % ((left, right),))
        self.assertIsNone(status_line(self.picture(window)), "no status line before a state")


if __name__ == "__main__":
    unittest.main()
