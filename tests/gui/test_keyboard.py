"""
+----------------------------------------------------------------------------+
| test_keyboard.py — the window driven with the keyboard alone               |
|                                                                            |
| No click anywhere: Tab, arrows, Enter and Ctrl+Tab reach every control.    |
| The focused widget is read from the frame trace ("focus <id>" ends each    |
| frame line), so the tests step with Tab until the control they want holds  |
| the focus, whatever else the page shows; what each step sent is read back  |
| from the demo launcher's request log with its raw body, which must be the  |
| body a mouse user's clicks send.                                           |
+----------------------------------------------------------------------------+
"""

import json
import re
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from vlr_gui import WindowTest, tab_underline, wait_for  # noqa: E402
from test_play import ISO, READY  # noqa: E402
from test_settings import settings_sandbox  # noqa: E402


class KeyboardTest(WindowTest):
    def focus(self, program):
        """The focused widget's id in the last frame drawn."""
        with program.lock:
            frames = [text for _, name, text in program.lines if name == "err" and program.FRAME.match(text)]
        found = re.search(r" focus (.*) console \d+$", frames[-1]) if frames else None
        return found.group(1) if found else ""

    def keys(self, *keys):
        self.x.key(self.window, *keys)

    def tab_to(self, program, wanted, key="Tab", most=30):
        """Presses `key` until the focus is on `wanted` (an id, or its start ending in ":")."""
        for _ in range(most):
            self.keys(key)
            got = self.focus(program)
            if got == wanted or (wanted.endswith(":") and got.startswith(wanted)):
                return got
        self.fail("%s never reached %r (last %r)" % (key, wanted, self.focus(program)))

    def bodies(self, box, action, count):
        return wait_for(lambda: len(box.bodies(action)) >= count and box.bodies(action), 10,
                        "%d %r command(s)" % (count, action))

    def test_play_page_with_the_keyboard_only(self):
        box = self.sandbox()
        box.seed_state(READY)
        box, program, window = self.start_window(env={"VLR_DEMO_SPEED": "0.05"}, box=box)
        self.window = window

        # The first Tab goes to the page's first control, the ISO field, which takes typing.
        self.tab_to(program, "field:Play/Game disc", most=1)
        self.keys("ctrl+a")
        self.x.type_text(window, ISO)
        self.keys("Return")
        self.tab_to(program, "button:Play/Installation/Accept the licence and download")
        self.keys("Return")
        self.assertEqual(self.bodies(box, "download-compiler", 1), [json.dumps({"iso": ISO})])
        program.wait_quiet(1.0)     # the download ran and showed the console
        self.tab_to(program, "tab:0", key="ctrl+shift+Tab", most=3)

        self.tab_to(program, "select:Play/Save profile/profile")
        self.keys("Return", "Down", "Return")
        self.assertEqual(self.bodies(box, "select", 1), [json.dumps({"profile": "Career"})])
        self.tab_to(program, "button:Play/Play")
        self.keys("Return")
        self.assertEqual(self.bodies(box, "play", 1), [json.dumps({"profile": "Career"})])

    def test_settings_and_the_four_pages_with_the_keyboard_only(self):
        box, program, window = self.start_window(box=settings_sandbox(self))
        self.window = window
        play_tab = tab_underline(self.picture(window))

        # Ctrl+Tab goes round the four pages and back, each tab taking the focus.
        for page in (1, 2, 3, 0):
            self.keys("ctrl+Tab")
            self.assertEqual(self.focus(program), "tab:%d" % page)
        wait_for(lambda: tab_underline(self.picture(window)) == play_tab, 5, "the Play tab's underline")
        self.keys("ctrl+Prior", "ctrl+Prior")     # Ctrl+PageUp: Updates, then Settings
        self.assertEqual(self.focus(program), "tab:2")

        self.tab_to(program, "switch:Settings/Display/vsync")
        self.keys("space")                          # on -> off
        self.tab_to(program, "choice:Settings/Display/display_mode", key="shift+Tab")
        self.keys("Right")                          # windowed -> borderless
        self.tab_to(program, "slider:Settings/Display/render_scale")
        self.keys("Right", "Prior")                 # 3 -> 4, then a tenth of 1..8 up: 5
        self.bodies(box, "settings", 4)
        self.assertEqual(box.bodies("settings"),
                         [json.dumps({"values": {k: v}}) for k, v in
                          (("vsync", "false"), ("display_mode", "borderless"),
                           ("render_scale", "4"), ("render_scale", "5"))])

    def test_focus_passing_over_settings_fields_saves_nothing(self):
        box, program, window = self.start_window(box=settings_sandbox(self))
        self.window = window
        self.keys("ctrl+Prior", "ctrl+Prior")       # Updates, then Settings
        self.assertEqual(self.focus(program), "tab:2")

        # Once round the whole page and its two fields (name, then countdown) with nothing typed.
        self.tab_to(program, "tab:2", most=60)
        self.tab_to(program, "switch:Settings/Display/vsync")
        self.keys("space")                          # on -> off: what went before has arrived
        self.tab_to(program, "field:", most=1)      # the name: typed into, so leaving saves it
        self.x.type_text(window, "X")
        self.tab_to(program, "field:", most=1)      # the countdown: Enter saves it unchanged,
        self.keys("Return")                         # and leaving it commits once more
        self.tab_to(program, "switch:Settings/Display/vsync", key="shift+Tab", most=3)   # back over the name
        self.keys("space")
        self.bodies(box, "settings", 5)
        self.assertEqual(box.bodies("settings"),
                         [json.dumps({"values": {k: v}}) for k, v in
                          (("vsync", "false"), ("player_name", "PlayerX"), ("trial_countdown", "3"),
                           ("trial_countdown", "3"), ("vsync", "true"))])


if __name__ == "__main__":
    unittest.main()
