"""
+----------------------------------------------------------------------------+
| test_wine_access.py — the Windows build's window read by a UI Automation    |
| client under Wine                                                          |
|                                                                            |
| Velocrash.exe runs against the demo launcher as in test_wine.py; the       |
| project's small client (tools/uia-client) lists the window's elements by   |
| control type and name, as a screen reader would find them. Wine 8 has no   |
| COM client object (CUIAutomation), so the client goes through the flat     |
| calls (UiaNodeFromHandle, UiaFind), which reach the same providers. Wine 8 |
| answers no pattern property (selected, toggle state) through them and has  |
| no pattern calls (UiaGetPatternProvider is a stub that aborts): patterns   |
| and actions are checked by the provider unit tests instead.                |
+----------------------------------------------------------------------------+
"""

import glob
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_wine  # noqa: E402
from test_wine import UnderWine, windows_path  # noqa: E402
from vlr_gui import TITLE, WindowTest, session_name, wait_for  # noqa: E402


class WineAccessTest(UnderWine, WindowTest):
    remove_sessions = test_wine.WineTest.remove_sessions

    def client(self):
        path = os.path.join(os.path.dirname(self.exe), "vlr_uia_client.exe")
        if not os.path.isfile(path):
            self.skipTest("the UI Automation client is missing: %s" % path)
        return path

    def elements(self, box, client):
        """(control type, name) of every element the client finds, the window's first."""
        out, err = os.path.join(box.root, "uia.txt"), os.path.join(box.root, "uia.err")
        with open(out, "wb") as stdout, open(err, "wb") as stderr:
            # The program's own environment: its TMPDIR picks the wineserver it talks to.
            done = subprocess.run([self.wine, client, TITLE, "10"], env=dict(box.env(self.x.env()), **self.wine_env()),
                                  stdin=subprocess.DEVNULL, stdout=stdout, stderr=stderr, timeout=120)
        with open(out, encoding="utf-8") as f:
            lines = [tuple(line.rstrip("\n").split("\t", 1)) for line in f if "\t" in line]
        with open(err, encoding="utf-8", errors="replace") as f:
            self.client_log = f.read()
        return lines if done.returncode == 0 else None

    def test_a_client_lists_the_page_tabs_and_the_play_page(self):
        client = self.client()
        box = self.sandbox()
        session = session_name(windows_path(box.script)) + ".json"
        self.addCleanup(self.remove_sessions, session)
        program = self.start_program(box, env=self.wine_env(), args=self.wine_args(box))
        window = self.wait_window(program, timeout=60)
        wait_for(lambda: "state" in box.requests(), 30, "the window's state request")

        # The first question wakes the frame to build its tree; a reader asks again on the
        # structure event that follows, and so does this test.
        def listed():
            found = self.elements(box, client)
            return found if found and ("TabItem", "Updates") in found and ("Button", "Play") in found else None
        try:
            found = wait_for(listed, 60, "the tabs and the Play page in the client's list", interval=1)
        finally:
            with open(os.path.join(box.root, "uia.txt"), encoding="utf-8") as f:
                sys.stderr.write("UI Automation client's list:\n%s%s" % (f.read(), self.client_log))

        self.assertEqual([name for kind, name in found if kind == "TabItem"],
                         ["Play", "Console", "Settings", "Updates"])
        kinds = [kind for kind, name in found]
        self.assertLess(kinds.index("Tab"), kinds.index("TabItem"), "the tab row, then its tabs")
        # The Play page: the ISO field, the profile's select box, its buttons and card titles.
        self.assertTrue([name for kind, name in found if kind == "Edit" and name], "a named field")
        self.assertIn("ComboBox", kinds)
        for expected in [("Button", "Browse"), ("Button", "Play"), ("Button", "Stop"),
                         ("Button", "Accept the licence and download"), ("Text", "Game disc")]:
            self.assertIn(expected, found)

        # Two pages on (Ctrl+Page Down), the Settings page: its switches, choice rows, sliders
        # and binding chips; a Tab press puts the keyboard focus, and the reader's, on one.
        self.x.key(window, "ctrl+Next", "ctrl+Next", "Tab")

        def settings():
            found = self.elements(box, client)
            kinds = [kind for kind, name in found or []]
            return found if all(k in kinds for k in ("Slider", "RadioButton", "ListItem", "Group")) else None
        try:
            found = wait_for(settings, 30, "the Settings page in the client's list", interval=1)
        finally:
            with open(os.path.join(box.root, "uia.txt"), encoding="utf-8") as f:
                sys.stderr.write("UI Automation client's list on the Settings page:\n%s%s" % (f.read(), self.client_log))
        self.assertEqual([name for kind, name in found if kind == "TabItem"][2], "Settings")
        self.assertEqual(len([name for kind, name in found if name.endswith(" [focused]")]), 1, "one focused")
        program.kill()


if __name__ == "__main__":
    unittest.main()
