"""
+----------------------------------------------------------------------------+
| test_input.py — input that arrives between two frames                      |
|                                                                            |
| xdotool sends a burst of key presses, or typing followed at once by a       |
| click or a Tab, faster than the window draws: every press must count, and  |
| text typed before a click or a Tab must stay in the field that had the     |
| focus.                                                                     |
+----------------------------------------------------------------------------+
"""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_play import PlayPageTest  # noqa: E402

SEED = {"iso": "/discs/" + "x" * 38}   # 45 characters


class InputBetweenFramesTest(PlayPageTest):
    def burst(self, window, *commands):
        """One xdotool run: the events reach the window a few milliseconds apart, many to a
        frame. (Not 0 ms: the X input method drops a second press of a key that carries the
        same time stamp as the one before, as no real keyboard sends them.)"""
        self.x.run(["xdotool", "windowfocus", "--sync", str(window)])
        self.x.run(["xdotool"] + list(commands), timeout=30)

    def focus_iso_end(self, program, window):
        top, bottom, right = self.iso_field(program, window)
        self.click(right - 20, (top + bottom) // 2)   # past the text: the caret goes to its end
        program.wait_quiet(0.3)

    def download(self, box, program, window, *typed_then):
        left, top, right, bottom = self.download_button(program, window)
        x, y = self.origin[0] + (left + right) // 2, self.origin[1] + (top + bottom) // 2
        self.burst(window, *typed_then, "mousemove", str(x), str(y), "click", "1")
        self.wait_request(box, "download-compiler")
        return box.bodies("download-compiler")

    def test_every_backspace_of_a_burst_counts(self):
        box, program, window = self.open(seed=SEED)
        self.focus_iso_end(program, window)
        self.burst(window, "key", "--delay", "3", *["BackSpace"] * 40)
        program.wait_quiet(0.5)
        self.assertEqual(self.download(box, program, window),
                         [json.dumps({"iso": SEED["iso"][:5]})])

    def test_text_typed_just_before_a_click_stays_in_its_field(self):
        box, program, window = self.open(seed=SEED)
        self.focus_iso_end(program, window)
        bodies = self.download(box, program, window, "key", "--delay", "1", "a", "b")
        self.assertEqual(bodies, [json.dumps({"iso": SEED["iso"] + "ab"})])

    def test_text_typed_just_before_tab_stays_in_its_field(self):
        box, program, window = self.open(seed=SEED)
        left, top, right, bottom = self.download_button(program, window)   # found before a ring shows
        self.focus_iso_end(program, window)
        self.burst(window, "key", "--delay", "1", "a", "b", "Tab")
        program.wait_quiet(0.5)
        self.click((left + right) // 2, (top + bottom) // 2)
        self.wait_request(box, "download-compiler")
        self.assertEqual(box.bodies("download-compiler"), [json.dumps({"iso": SEED["iso"] + "ab"})])


if __name__ == "__main__":
    unittest.main()
