"""
+----------------------------------------------------------------------------+
| test_settings.py — the Settings page driven with the mouse and keyboard    |
|                                                                            |
| The demo launcher starts with a small settings file, so only a few rows of |
| its table show: one of each editor kind and three PS2 buttons. Editors are |
| found in screenshots by their fills (field fill inside card fill, the      |
| toggle's accent, the slider's track, the chips' panel fill) at the right   |
| edge of their column, where every editor ends. Every save is read back     |
| from the demo launcher's request log with its raw body.                    |
+----------------------------------------------------------------------------+
"""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vlr_gui import (BACKGROUND, BASE_SIZE, CARD, FOOTER, LAYOUT, TAB_Y,  # noqa: E402
                     VIEW_TOP, WindowTest, column, near, page_column, reddish, runs,
                     wait_for)

W, H = BASE_SIZE
RAISED = LAYOUT["kRowHover"]
SETTINGS_TAB = (202, TAB_Y)

SETTINGS = [
    ("display_mode", "windowed"),       # choice
    ("resolution", "1920x1080"),        # select
    ("render_scale", "3"),              # range 1..8
    ("vsync", "true"),                  # toggle
    ("player_name", "Player"),          # text
    ("trial_countdown", "3"),           # number 0..10
    ("key_CROSS", "K"),
    ("key_L3", "NONE"),
    ("key_R3", "MOUSE_MIDDLE"),
]


def geometry(width):
    """(right edges of the two columns' editors, right edges of the binding lines) at
    scale 1; one column (and one binding line per row) up to 940 wide."""
    col_x, col_w = page_column(width)
    if width <= LAYOUT["kOneColumnMaxWidth"]:
        edge = col_x + col_w - 19
        return [edge], [edge]
    cw = (col_w - 14) / 2
    m = (col_w - 38 - 36) / 2
    return ([round(col_x + cw - 19), round(col_x + 2 * cw + 14 - 19)],
            [round(col_x + 19 + m), round(col_x + 19 + 2 * m + 36)])


def bands(picture, x, test, heights, top=VIEW_TOP, bottom=H - FOOTER):
    """(top, bottom) runs down the column x whose pixels pass test, of a height in range."""
    return [(top + a, top + b) for a, b in runs(column(picture, x, top, bottom), test)
            if b - a in heights]


def filled(p):
    """Neither card fill nor window background: an editor, a chip, a track."""
    return not near(p, CARD, 2) and not near(p, BACKGROUND, 2)


def not_card(p):
    return not near(p, CARD, 2)


EDITOR_HEIGHTS = set(range(21, 25)) | set(range(34, 37))   # toggle; fields, choices, selects
# Below the page's top row (the intro and the filter field), where the first cards begin.
CARDS_TOP = VIEW_TOP + LAYOUT["kPageTopPad"] + LAYOUT["kControlHeight"] + 2
CHIP_HEIGHTS = range(27, 30)


def settings_sandbox(test, changes=()):
    """A sandbox whose work folder holds the settings file written from SETTINGS, with
    `changes` (key, value) in place of their keys' values."""
    box = test.sandbox()
    work = os.path.join(box.root, "work")
    os.makedirs(work, exist_ok=True)
    values = dict(SETTINGS)
    values.update(changes)
    with open(os.path.join(work, "settings.ini"), "w", encoding="utf-8") as f:
        f.write("".join("%s = %s\n" % kv for kv in values.items()))
    return box


class SettingsPageTest(WindowTest):
    def open(self, changes=()):
        box, program, window = self.start_window(box=settings_sandbox(self, changes))
        self.box, self.program, self.window = box, program, window
        self.origin = self.x.geometry(window)[:2]
        # Without a window manager a click gives no focus, and a capture ends without it.
        self.x.run(["xdotool", "windowfocus", "--sync", str(window)])
        self.click(*SETTINGS_TAB)
        self.editors(W)
        return box

    def scroll_down(self):
        """To the end of the page: the wheel over the content."""
        for _ in range(15):
            self.x.click(self.origin[0] + 450, self.origin[1] + 400, button=5)
        self.program.wait_quiet(0.5)
        self.x.move_mouse(1, 1)
        self.program.wait_quiet(0.3)

    def click(self, x, y, button=1):
        self.x.click(self.origin[0] + x, self.origin[1] + y, button)
        self.program.wait_quiet(0.3)

    def pointer(self, *command):
        """One xdotool pointer step, taken by a frame before the next one."""
        self.x.run(["xdotool"] + [str(part) for part in command])
        self.x.input_sent()

    def shot(self):
        return self.picture(self.window)

    def settled(self, test, what, timeout=8):
        return wait_for(lambda: test(self.shot()), timeout, what, interval=0.15)

    def saves(self, count):
        """The first `count` bodies of "settings" commands, once they arrived."""
        return wait_for(lambda: len(self.box.bodies("settings")) >= count
                        and self.box.bodies("settings")[:count], 10,
                        "%d settings command(s)" % count)

    def expect_saves(self, *changes):
        bodies = self.saves(len(changes))
        self.assertEqual(bodies, [json.dumps({"values": {k: v}}, ensure_ascii=False)
                                  for k, v in changes])

    def editors(self, width, count=5):
        """Editor bands (top, bottom) near the right edge of each column, where every
        editor ends (12 in: inside the toggle's knob, the select's chevron)."""
        edges, _ = geometry(width)

        def found(picture):
            cols = [bands(picture, edge - 12, not_card, EDITOR_HEIGHTS, CARDS_TOP) for edge in edges]
            return cols if sum(len(c) for c in cols) >= count else None
        return self.settled(found, "the Settings page's editors")

    def chips(self, right, count=1):
        """(top, bottom) of the binding lines' last chips ("+" or an input)."""
        def found(picture):
            rows = bands(picture, right - 12, filled, CHIP_HEIGHTS)   # clear of the corners
            return rows if len(rows) >= count else None
        return self.settled(found, "the binding chips")

    def chip_runs(self, right, y, picture=None):
        """(left, right) of the chips on the line ending at `right`, left to right."""
        picture = picture or self.shot()
        x0 = right - 400
        return [(x0 + a, x0 + b) for a, b in runs(picture.row(y, x0, right + 1), filled) if b - a >= 18]


class EditorsTest(SettingsPageTest):
    def test_each_editor_kind_saves_what_the_user_did(self):
        self.open()
        (left, right), _ = geometry(W)
        (choice, select, toggle), (text, number) = self.editors(W)

        # Choice: the last segment, "fullscreen".
        self.click(left - 3 - 12, (choice[0] + choice[1]) // 2)
        # Select: open the list, pick its second row.
        self.click(left - 20, (select[0] + select[1]) // 2)
        self.click(left - 20, select[1] + 4 + 4 + 30 + 15)
        # Slider: between the select and the toggle; dragged from its track, released at 5/7.
        track_x = left - 226
        track = bands(self.shot(), track_x + 40, lambda c: near(c, RAISED, 3) or reddish(c),
                      range(2, 20), select[1], toggle[0])
        self.assertTrue(track, "the slider's track")
        y = (track[0][0] + track[0][1]) // 2
        self.pointer("mousemove", self.origin[0] + track_x + 20, self.origin[1] + y)
        self.pointer("mousedown", 1)
        for dx, dy in ((150, 30), (121, 5)):
            self.pointer("mousemove", self.origin[0] + track_x + dx, self.origin[1] + y + dy)
        self.assertEqual(len(self.box.bodies("settings")), 2, "nothing is sent during the drag")
        self.pointer("mouseup", 1)
        # Toggle: on -> off.
        self.click(left - 19, (toggle[0] + toggle[1]) // 2)
        # Number: replaced by 25, committed with Enter: clamped to 10.
        self.click(right - 10, (number[0] + number[1]) // 2)
        self.x.key(self.window, "End", "BackSpace")
        self.x.type_text(self.window, "25")
        self.x.key(self.window, "Return")
        self.program.wait_quiet(0.3)
        # Text: spaces around the name, left by a click on the card's margin.
        self.click(right - 10, (text[0] + text[1]) // 2)
        self.x.key(self.window, "End")
        self.x.type_text(self.window, " Jr  ")
        self.click(right + 10, (text[0] + text[1]) // 2)
        # Enter commits, and so does the click that leaves the field: each commit saves.
        self.expect_saves(("display_mode", "fullscreen"), ("resolution", "1600x900"),
                          ("render_scale", "6"), ("vsync", "false"), ("trial_countdown", "10"),
                          ("trial_countdown", "10"), ("player_name", "Player Jr"))

        # The launcher changes a setting on its side: the stamp grows and the page shows it.
        pill = (left - 19, toggle[0] + 3)      # the pill beside either knob position
        self.assertTrue(near(self.shot().pixel(*pill), RAISED, 8))
        self.box.post("settings", {"values": {"vsync": "true"}})
        self.settled(lambda p: reddish(p.pixel(*pill)), "the toggle on again after the launcher's change")


class BindingsTest(SettingsPageTest):
    def test_keys_buttons_and_the_wheel_bind_and_chips_remove(self):
        box = self.open()
        self.scroll_down()
        _, (line_left, line_right) = geometry(W)
        rows = self.chips(line_left, 2)
        self.assertEqual(len(rows), 2, rows)   # CROSS | L3, then R3
        first = (rows[0][0] + rows[0][1]) // 2
        second = (rows[1][0] + rows[1][1]) // 2

        def capturing(right, y):
            return [r for r in self.chip_runs(right, y) if r[1] - r[0] > 160]   # no key name is as long

        # "+" of L3, then a key.
        self.click(line_right - 8, first)
        self.assertTrue(capturing(line_right, first), "the capture chip")
        self.x.key(self.window, "x")
        self.expect_saves(("key_L3", "X"))
        # "+" of L3 again, then the right mouse button (anywhere).
        self.settled(lambda p: not capturing(line_right, first), "the capture ended")
        self.click(line_right - 8, first)
        self.click(line_right - 300, first, button=3)
        self.expect_saves(("key_L3", "X"), ("key_L3", "X MOUSE_RIGHT"))
        # "+" of CROSS, then the wheel away from the user.
        self.click(line_left - 8, first)
        self.click(line_left - 300, first, button=4)
        self.expect_saves(("key_L3", "X"), ("key_L3", "X MOUSE_RIGHT"), ("key_CROSS", "K MOUSE_WHEEL_UP"))

        # A click on a chip removes it: the leftmost of CROSS's line is "K".
        program = self.program
        program.wait_quiet(0.5)
        chips = self.chip_runs(line_left, first)
        self.assertEqual(len(chips), 3, chips)     # K, Wheel Up, +
        self.click((chips[0][0] + chips[0][1]) // 2, first)
        self.expect_saves(("key_L3", "X"), ("key_L3", "X MOUSE_RIGHT"), ("key_CROSS", "K MOUSE_WHEEL_UP"),
                          ("key_CROSS", "MOUSE_WHEEL_UP"))

        # A second click on the capturing chip cancels: the key pressed after binds nothing.
        self.click(line_left - 8, second)
        capture = capturing(line_left, second)
        self.assertTrue(capture, "the capture chip of R3")
        self.click(capture[0][0] + 10, second)
        self.assertFalse(capturing(line_left, second), "the capture cancelled")
        self.x.key(self.window, "y")
        program.wait_quiet(0.5)
        self.assertEqual(len(box.bodies("settings")), 4, box.bodies("settings"))


class FilterTest(SettingsPageTest):
    def test_typing_folds_what_does_not_match_and_clearing_restores_the_page(self):
        self.open()
        edges, (line_left, _) = geometry(W)
        # From the end of the page: Ctrl+F scrolls back up to the field.
        self.scroll_down()
        self.x.key(self.window, "ctrl+f")
        self.x.move_mouse(1, 1)
        self.program.wait_quiet(0.5)
        page = self.shot()

        def counts(picture):
            return [len(bands(picture, edge - 12, not_card, EDITOR_HEIGHTS, CARDS_TOP)) for edge in edges]

        def chips(picture):
            return bands(picture, line_left - 12, filled, CHIP_HEIGHTS)

        # "sync": Display keeps its switch alone, Game and the key bindings fold away.
        self.x.type_text(self.window, "sync")
        self.settled(lambda p: counts(p) == [1, 0] and not chips(p), "only the switch left")
        # "+ x": nothing matches, and one untitled card says so.
        col_x, _ = page_column(W)
        self.x.type_text(self.window, " x")

        def message(p):
            return (counts(p) == [0, 0] and not chips(p)
                    and bands(p, col_x + 8, lambda c: near(c, CARD, 2), range(50, 60)))
        self.settled(message, "the card saying nothing matches")
        self.x.key(self.window, "Return")
        # Cleared: the page as it was, to the pixel; the filter was never sent.
        self.x.key(self.window, "ctrl+a", "BackSpace")
        self.settled(lambda p: p.rgb == page.rgb, "the page as before the filter")
        self.program.wait_quiet(0.3)
        self.assertEqual(self.box.requests().count("settings"), 0, self.box.requests())


class ChipsTest(SettingsPageTest):
    def test_double_clicks_on_chips_act_once_and_shared_inputs_are_marked(self):
        self.open([("key_CROSS", "K SPACE"), ("key_L3", "K")])
        self.scroll_down()
        _, (cross_right, l3_right) = geometry(W)
        y = sum(self.chips(cross_right, 2)[0]) // 2
        chips = self.chip_runs(cross_right, y)
        self.assertEqual(len(chips), 3, chips)          # K, Space, +

        def marked(picture, chip):
            r, g, _ = picture.pixel(chip[0] + 3, y)     # the fill, inside the outline
            return r > g + 15
        picture = self.shot()
        (k, space, _), l3_k = chips, self.chip_runs(l3_right, y, picture)[0]
        self.assertEqual([marked(picture, c) for c in (k, space, l3_k)], [True, False, True])

        # A double click on Space's right end, where K would stand once Space is gone.
        self.pointer("mousemove", self.origin[0] + space[1] - 12, self.origin[1] + y,
                     "click", "--repeat", "2", "--delay", "120", "1")
        self.expect_saves(("key_CROSS", "K"))
        self.program.wait_quiet(0.5)
        self.assertEqual(len(self.box.bodies("settings")), 1, self.box.bodies("settings"))
        # The pointer gone, the line closes up.
        self.x.move_mouse(self.origin[0] + 300, self.origin[1] + y)

        def closed(p):
            now = self.chip_runs(cross_right, y, p)
            return len(now) == 2 and now[0][0] > k[0]
        self.settled(closed, "the line closed up")

        # A double click on L3's "+": one capture, which the next key ends.
        self.pointer("mousemove", self.origin[0] + l3_right - 8, self.origin[1] + y,
                     "click", "--repeat", "2", "--delay", "120", "1")
        self.x.key(self.window, "j")
        self.expect_saves(("key_CROSS", "K"), ("key_L3", "K J"))


class LayoutTest(SettingsPageTest):
    def test_columns_side_by_side_when_wide_and_stacked_when_narrow(self):
        self.open()
        wide = self.editors(W)
        self.assertEqual([len(c) for c in wide], [3, 2])   # choice, select, toggle | text, number
        _, lines = geometry(W)
        self.assertEqual(len(self.chips(lines[1])), 1)     # L3 beside CROSS

        self.x.resize(self.window, 900, H)
        self.program.wait_quiet(0.5)
        narrow = self.editors(900, count=4)[0]
        # One column of full width: Game's text field under Display's toggle.
        self.assertEqual([b - a for a, b in narrow[:4]][2:], [22, 35])
        _, (line,) = geometry(900)
        self.scroll_down()
        self.assertEqual(len(self.chips(line, 3)), 3)      # one binding line per row


if __name__ == "__main__":
    unittest.main()
