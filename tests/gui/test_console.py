"""
+----------------------------------------------------------------------------+
| test_console.py — the Console page driven with the mouse                   |
|                                                                            |
| Output is sent through the demo launcher's test-lines action. Line n of a  |
| test is n letters M, so the length of the text in a row of the log box     |
| tells which line it shows. Following after a click on the tab, a view that |
| stays put while the user has scrolled up, following again at the end;      |
| "Copy all" read back from the X clipboard, "Clear", and "Stop" while a     |
| task runs, with its raw body from the request log.                         |
+----------------------------------------------------------------------------+
"""

import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_play import PlayPageTest  # noqa: E402
from vlr_gui import LOG_BG, PAGE_X, require_tools, runs, tab_underline, wait_for  # noqa: E402

# The log box at 1280 x 720 and scale 1: column 50..1230, page top 129, box from 180 to
# 661; text from x 67 and y 195, 451 high, lines of 18; mono 12 advances 7 per character.
LEFT, TEXT_TOP, TEXT_BOTTOM, LINE = 67, 195, 646, 18
ADVANCE = 7.0


def text_pixel(p):
    return max(p) >= 90


def row_length(picture, centre):
    """Characters of the text drawn around a row's centre (0 when none)."""
    right = None
    for y in range(centre - 5, centre + 5):
        found = runs(picture.row(y, LEFT - 2, 1215), text_pixel)
        if found:
            right = max(right or 0, found[-1][1] + LEFT - 2)
    if right is None:
        return 0
    return round((right - LEFT) / ADVANCE)


def rows_from_bottom(picture, count):
    """Lengths of the last `count` whole rows, the bottom one first (a following log
    ends exactly on the text area's bottom)."""
    return [row_length(picture, TEXT_BOTTOM - LINE // 2 - LINE * i) for i in range(count)]


def rows_from_top(picture, count):
    return [row_length(picture, TEXT_TOP + LINE // 2 + LINE * i) for i in range(count)]


def labels(picture, y=148, x0=PAGE_X, x1=1000):
    """(start, end) of the texts in the button row, gaps of 20 or more apart."""
    found = []
    for a, b in runs(picture.row(y, x0, x1), lambda p: max(p) >= 60):
        if found and a + x0 - found[-1][1] < 20:
            found[-1] = (found[-1][0], b + x0)
        else:
            found.append((a + x0, b + x0))
    return found


class ConsolePageTest(PlayPageTest):
    """Opens and clicks in window coordinates like the Play page's tests."""

    def lines(self, box, program, first, last, text=None):
        """Sends lines first..last (n letters M each) and waits until they are drawn."""
        before = program.last_frame()
        box.post("test-lines", {"lines": [(text or "M" * n) + "\n" for n in range(first, last + 1)]})
        wait_for(lambda: program.last_frame() != before, 10, "a frame after the output")
        program.wait_quiet(0.4)

    def console_tab(self, program):
        self.click(123, 85)
        wait_for(lambda: self.underline(self.x.screenshot()) == 99, 10, "the Console tab's underline",
                 interval=0.2)
        program.wait_quiet(0.4)

    def underline(self, screen):
        """Start of the accent underline under the current tab, in window pixels."""
        found = tab_underline(screen, *self.origin)
        return found[0] if found else None

    def wheel(self, program, button, notches):
        for _ in range(notches):
            self.click(640, 400, button)
        program.wait_quiet(0.4)

    def test_follows_after_the_tab_stays_put_when_scrolled_up_and_follows_again(self):
        box, program, window = self.open()
        self.lines(box, program, 1, 40)
        self.console_tab(program)
        self.assertEqual(rows_from_bottom(self.picture(window), 3), [40, 39, 38])
        self.assertColour(self.last_picture, 640, 300, LOG_BG, what="inside the log box")

        self.lines(box, program, 41, 50)
        self.assertEqual(rows_from_bottom(self.picture(window), 2), [50, 49], "following the output")

        self.wheel(program, 4, 2)   # up six lines: more than 30 away from the end
        self.assertEqual(rows_from_bottom(self.picture(window), 2), [44, 43])
        self.lines(box, program, 51, 60)
        self.assertEqual(rows_from_bottom(self.picture(window), 2), [44, 43], "the view stays put")

        self.wheel(program, 5, 6)   # back down past the end
        self.assertEqual(rows_from_bottom(self.picture(window), 1), [60])
        self.lines(box, program, 61, 65)
        self.assertEqual(rows_from_bottom(self.picture(window), 1), [65], "following again")

    def test_other_scripts_draw_as_themselves_and_wide_characters_wrap_inside_the_log(self):
        if not subprocess.run(["fc-list", ":lang=ja"], capture_output=True, text=True).stdout.strip():
            self.skipTest("no font with Japanese characters is installed")
        box, program, window = self.open()
        self.console_tab(program)
        cjk = "東京の夜景" * 20   # 100 wide characters: 200 columns, wrapped after 162
        before = program.last_frame()
        box.post("test-lines", {"lines": ["Дмитрий\n", "???????\n", "東京の夜景 서울\n", cjk + "\n"]})
        wait_for(lambda: program.last_frame() != before, 10, "a frame after the output")
        program.wait_quiet(0.4)
        picture = self.picture(window)
        rows = rows_from_top(picture, 6)
        self.assertEqual(rows[0], 7)
        self.assertEqual(rows[1], 7)
        # Drawn from a CJK font: each character one and a half to two mono columns wide, not
        # one '?'; the long line's 100 split 81 + 19, the first piece inside the log.
        self.assertGreaterEqual(rows[2], 11, rows)
        self.assertGreaterEqual(rows[3], 81 * 1.4, rows)
        self.assertLessEqual(rows[3], 162, rows)
        self.assertGreaterEqual(rows[4], 19 * 1.4, rows)
        self.assertEqual(rows[5], 0, rows)

        def band(row):
            y = TEXT_TOP + LINE * row
            return [picture.row(y + d, LEFT, LEFT + 7 * 7) for d in range(LINE)]
        self.assertNotEqual(band(0), band(1), "Cyrillic drawn as question marks")

    def test_copy_all_puts_exactly_the_lines_on_the_clipboard_and_clear_empties(self):
        require_tools("xclip")
        box, program, window = self.open()
        self.console_tab(program)
        sent = ["first line", "tab\there", "", "multi-byte: h\u00e9llo \u2014 \u00ab\u00a0ok\u00a0\u00bb \u2713",
                "x" * 300]
        box.post("test-lines", {"lines": [line + "\n" for line in sent[:2]]})
        box.post("test-lines", {"lines": ["\n".join(sent[2:]) + "\n"]})
        wait_for(lambda: row_length(self.picture(window), TEXT_TOP + 9) == len("first line"), 10,
                 "the first line in the log")
        program.wait_quiet(0.4)
        copy, clear = labels(self.picture(window))[1:3]

        self.click((copy[0] + copy[1]) // 2, 148)
        program.wait_quiet(0.3)
        expected = "".join(line.replace("\t", "    ") + "\n" for line in sent)
        self.assertEqual(self.clipboard(), expected.encode("utf-8"))

        self.click((clear[0] + clear[1]) // 2, 148)
        program.wait_quiet(0.4)
        self.assertEqual(rows_from_top(self.picture(window), 5), [0] * 5, "the log is empty")
        self.click((copy[0] + copy[1]) // 2, 148)
        program.wait_quiet(0.3)
        self.assertEqual(self.clipboard(), b"", "an empty console copies an empty text")

        self.lines(box, program, 3, 3)
        self.assertEqual(rows_from_top(self.picture(window), 2), [3, 0], "a new first line")

    def test_stop_is_enabled_while_a_task_runs(self):
        ready = {"iso": "/games/velocrash.iso", "profile": "Default", "profiles": ["Default"],
                 "steps": {"compiler": True, "disc": True, "code": True, "game": True}}
        box, program, window = self.open(seed=ready)
        self.console_tab(program)
        idle = labels(self.picture(window))
        self.assertEqual(len(idle), 3, "Stop, Copy all, Clear and no status")
        stop = idle[0]
        self.click((stop[0] + stop[1]) // 2, 148)
        program.wait_quiet(0.3)
        self.assertEqual(box.bodies("stop"), [], "a disabled Stop sends nothing")

        box.post("play", {"profile": "Default"})
        wait_for(lambda: len(labels(self.picture(window))) == 4, 10, "the running task's status")
        self.click((stop[0] + stop[1]) // 2, 148)
        wait_for(lambda: box.bodies("stop"), 10, "the stop command")
        self.assertEqual(box.bodies("stop"), ["{}"])
        wait_for(lambda: len(labels(self.picture(window))) == 3, 10, "the status to go")

    def clipboard(self):
        done = subprocess.run(["xclip", "-o", "-selection", "clipboard"], env=self.x.env(),
                              capture_output=True, timeout=10)
        return done.stdout


if __name__ == "__main__":
    unittest.main()
