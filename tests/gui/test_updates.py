"""
+----------------------------------------------------------------------------+
| test_updates.py — the Updates page driven with the mouse                   |
|                                                                            |
| The change log while current; "Check for updates" shows "Checking..." until|
| the next state update, then the launcher's note; the demo launcher finds   |
| an update on its second check: the tab gets its red dot, "What the update  |
| brings" lists the new entries and "Update now" (a primary button, enabled) |
| starts it and switches to the Console page. Texts are told apart by the    |
| extent of their pixels; commands are read back from the request log.       |
+----------------------------------------------------------------------------+
"""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_play import PlayPageTest  # noqa: E402
from vlr_gui import (ACCENT, CARD, LAYOUT, PAGE_TOP, PAGE_WIDTH, PAGE_X, PANEL,  # noqa: E402
                     column, near, reddish, runs, tab_underline, wait_for)

HOVERED = LAYOUT["kButtonHover"]    # a secondary button under the mouse
ROW = PAGE_TOP + 19                 # centre of the button row


def status_extent(picture, x0):
    """(start, end) of the status text right of the buttons, or None."""
    found = runs(picture.row(ROW, x0, PAGE_X + PAGE_WIDTH), lambda p: max(p) >= 60)
    found += runs(picture.row(ROW - 3, x0, PAGE_X + PAGE_WIDTH), lambda p: max(p) >= 60)
    if not found:
        return None
    return min(a for a, _ in found) + x0, max(b for _, b in found) + x0


def card_tops(picture):
    """Tops of the entry cards: card fill starting below the buttons at x 60."""
    col = column(picture, 60, PAGE_TOP + 45, 687)
    return [PAGE_TOP + 45 + a for a, b in runs(col, CARD, 2) if b - a > 30]


def tab_dot(picture):
    """Reddish pixels on the tab row's centre line right of the Settings tab."""
    return [r for r in runs(picture.row(82, 240, 400), reddish) if r[1] - r[0] >= 3]


def buttons(picture):
    """(check, update) spans of the two buttons on a row below their labels: the
    secondary button's panel fill, then the primary button's fill, full or faded."""
    y = ROW + 13
    check = [r for r in runs(picture.row(y, PAGE_X, 700), lambda p: near(p, PANEL, 2) or near(p, HOVERED, 2))
             if r[1] - r[0] > 60]
    update = [r for r in runs(picture.row(y, PAGE_X, 700), reddish) if r[1] - r[0] > 40]
    if not check or not update:
        return None
    return ((check[0][0] + PAGE_X, check[0][1] + PAGE_X),
            (update[0][0] + PAGE_X, update[0][1] + PAGE_X))


class UpdatesPageTest(PlayPageTest):
    def test_check_then_update_available_then_update_now(self):
        box, program, self.window = self.open(env={"VLR_DEMO_SPEED": "4"})
        self.click(280, 85)     # the Updates tab
        program.wait_quiet(0.4)
        picture = self.picture(self.window)
        self.assertGreater(tab_underline(picture)[0], 240, "the Updates tab is current")
        self.assertEqual(tab_dot(picture), [], "no dot while current")
        current_cards = card_tops(picture)
        self.assertGreaterEqual(len(current_cards), 2, "the change log's cards")
        check, update = buttons(picture)
        middle = ((update[0] + update[1]) // 2, ROW + 13)
        self.assertFalse(near(picture.pixel(*middle), ACCENT, 6), "Update now is disabled")
        note = status_extent(picture, update[1] + 5)
        self.assertIsNotNone(note)

        # Checking...: from the click until the next state update, then the launcher's note.
        states = box.requests().count("state")
        self.click((check[0] + check[1]) // 2, ROW)

        def pending():
            requested = box.requests().count("state")   # before the picture is taken
            extent = status_extent(self.picture(self.window), update[1] + 5)
            return extent != note and extent and (extent, requested)
        checking, requested = wait_for(pending, 10, "the pending status", interval=0.1)
        self.assertEqual(box.bodies("check-updates"), ["{}"])
        self.assertEqual(requested, states, "shown before any state update")
        wait_for(lambda: box.requests().count("state") > states, 10, "the state update after the check")
        def status(picture):
            return status_extent(picture, update[1] + 5)
        first_note = self.settled(program, self.window, lambda p: status(p) not in (checking, None) and status(p),
                                  "the launcher's note")
        self.assertEqual(tab_dot(self.last_picture), [], "still current after one check")

        # The second check finds the update: the dot, the enabled button, what it brings.
        self.click((check[0] + check[1]) // 2, ROW)
        again = self.settled(program, self.window, lambda p: status(p) != first_note and status(p),
                             "Checking... again")
        self.assertEqual(again, checking)
        picture = self.settled(program, self.window, lambda p: tab_dot(p) and p, "the dot on the Updates tab")
        program.wait_quiet(0.4)
        picture = self.picture(self.window)
        self.assertEqual(box.bodies("check-updates"), ["{}", "{}"])
        check, update = buttons(picture)
        self.assertColour(picture, (update[0] + update[1]) // 2, ROW + 13, ACCENT, what="Update now, enabled")
        new_cards = card_tops(picture)
        self.assertGreater(new_cards[0], current_cards[0] + 25, "\"What the update brings\" above the entries")

        self.click((update[0] + update[1]) // 2, ROW)
        wait_for(lambda: box.bodies("update"), 10, "the update command")
        self.assertEqual(box.bodies("update"), ["{}"])
        self.settled(program, self.window, lambda p: 60 < (tab_underline(p) or (0,))[0] < 150,
                     "the Console tab after the update started")


if __name__ == "__main__":
    unittest.main()
