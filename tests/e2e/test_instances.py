"""
+----------------------------------------------------------------------------+
| test_instances.py — the whole program against the demo launcher            |
|                                                                            |
| One window per script path (a second start hands over and ends), the       |
| launcher outliving its window and being reused by the next one, and the    |
| launcher's exit code 2 closing the window with a clean exit.               |
+----------------------------------------------------------------------------+
"""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gui"))
from vlr_gui import WindowTest, pid_alive, wait_for  # noqa: E402


class InstanceTest(WindowTest):
    def test_second_start_brings_the_first_window_forward_and_ends(self):
        box, first, window = self.start_window()
        front = box.post("state")["front"]
        started = time.monotonic()
        second = self.start_program(box)
        self.assertEqual(second.wait(10), 0, second.output())
        self.assertLess(time.monotonic() - started, 3.0, "one request, no waiting")
        self.assertEqual(box.post("state")["front"], front + 1)
        self.assertEqual(second.frames(), 0, "the second start draws nothing")
        self.assertEqual(self.x.windows(), [window])
        self.assertEqual(len(box.launcher_pids()), 1)
        self.assertIsNone(first.exit_code())

    def test_closing_leaves_the_launcher_for_the_next_window(self):
        box, first, window = self.start_window()
        session = box.session()
        self.assertEqual(box.launcher_pids(), [session["pid"]])
        self.x.close_window(window)
        self.assertEqual(first.wait(10), 0, first.output())
        wait_for(lambda: not self.x.windows(), 5, "the window to go")
        self.assertTrue(pid_alive(session["pid"]), "the launcher keeps running")

        asked = box.requests().count("state")
        second = self.start_program(box)
        self.wait_window(second)
        wait_for(lambda: box.requests().count("state") >= asked + 2, 15,
                 "the liveness check and the new window's state request")
        self.assertEqual(box.session(), session, "same port, token and process")
        self.assertEqual(box.launcher_pids(), [session["pid"]], "no second launcher")
        self.assertIsNone(second.exit_code())

    def test_launcher_exit_code_2_closes_the_window(self):
        box, program, window = self.start_window()
        box.post("test-exit", {"code": 2})
        self.assertEqual(program.wait(10), 0, program.output())
        self.assertEqual(self.x.windows(), [])


if __name__ == "__main__":
    unittest.main()
