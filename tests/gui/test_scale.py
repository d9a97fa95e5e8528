"""
+----------------------------------------------------------------------------+
| test_scale.py — the launcher window at display scale 1.5 (Xft.dpi 144)     |
|                                                                            |
| The screen (2000 x 1300) is chosen so that both halves of the size rule    |
| show: the height is the scaled 720 (1080), the width is capped at nine     |
| tenths of the screen (1800, not 1920). Every length is 1.5 times larger,   |
| snapped edge by edge to whole pixels.                                      |
+----------------------------------------------------------------------------+
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vlr_gui import ACCENT, BACKGROUND, LINE, WindowTest, near, reddish, runs, wait_for  # noqa: E402


class ScaleTest(WindowTest):
    SCREEN = (2000, 1300)
    DPI = 144

    def test_window_and_layout_at_one_and_a_half(self):
        box, program, window = self.start_window()
        x, y, width, height = self.x.geometry(window)
        self.assertEqual((width, height), (1800, 1080), "min(2000 * 9/10, 1.5 * 1280) x 1.5 * 720")
        self.assertEqual((x, y), (100, 110), "centred")

        # A window just resized to its scaled size shows black until its next frame lands.
        def drawn():
            picture = self.picture(window)
            return picture if near(picture.pixel(300, 159), LINE) else None
        picture = wait_for(drawn, 10, "a frame at the scaled size")
        # The separator spans 105..107 units: edges 157.5 and 160.5 round to 158 and 161.
        for px in (0, 300, 900, width - 1):
            for py in (158, 159, 160):
                self.assertColour(picture, px, py, LINE, what="header separator")
        self.assertColour(picture, width - 10, 157, BACKGROUND, what="above the separator")
        self.assertColour(picture, width - 10, 161, BACKGROUND, what="below the separator")

        # The underline: 2 units high at 103 (154.5 .. 157.5), from x 42 units (63 pixels).
        underline = [r for r in runs(picture.row(156, 0, 900), reddish) if r[1] - r[0] > 4]
        self.assertEqual(len(underline), 1, underline)
        self.assertEqual(underline[0][0], 63)
        for py in (155, 157):          # rounded ends: the outer rows may be a pixel shorter
            start, end = runs(picture.row(py, 0, 900), reddish)[0]
            self.assertEqual(start, 63)
            self.assertLessEqual(underline[0][1] - end, 1)
        self.assertFalse(runs(picture.row(154, 0, 900), reddish))
        self.assertColour(picture, underline[0][0] + 3, 156, ACCENT)

        # The footer line: round(1.5) = 2 pixels at H - round(33 * 1.5).
        for py in (height - 50, height - 49):
            self.assertColour(picture, width // 2, py, LINE, what="footer line")
        self.assertColour(picture, width // 2, height - 48, BACKGROUND, what="inside the footer")


if __name__ == "__main__":
    unittest.main()
