"""
+----------------------------------------------------------------------------+
| test_access.py — the window as a screen reader on Linux finds it           |
|                                                                            |
| A private session bus (dbus-run-session) holds the accessibility bus       |
| launcher with assistive technology switched on; the window starts on it    |
| against the demo launcher, and access_client.py (pyatspi, under the        |
| system's Python) reads the window's objects, runs their actions and hears  |
| its events. What a reader's action sends is read back from the demo        |
| launcher's request log and must be what a click sends.                     |
+----------------------------------------------------------------------------+
"""

import json
import os
import queue
import select
import subprocess
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_play import READY  # noqa: E402
from test_settings import settings_sandbox  # noqa: E402
from vlr_gui import HERE, WindowTest, kill_pid, require_tools, wait_for  # noqa: E402

SYSTEM_PYTHON = os.environ.get("VLR_SYSTEM_PYTHON", "/usr/bin/python3")
BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"
TABS = ["Play", "Console", "Settings", "Updates"]


def require_reader_tools():
    require_tools("dbus-run-session", "dbus-send")
    if not os.access(BUS_LAUNCHER, os.X_OK):
        raise unittest.SkipTest("needs at-spi2-core (%s)" % BUS_LAUNCHER)
    probe = subprocess.run([SYSTEM_PYTHON, "-c", "import pyatspi"], capture_output=True)
    if probe.returncode != 0:
        raise unittest.SkipTest("needs python3-pyatspi for %s" % SYSTEM_PYTHON)


class AccessibilityBus:
    """A private session bus running the accessibility bus launcher, assistive technology on."""

    def __init__(self, env):
        script = 'echo "$$ $DBUS_SESSION_BUS_ADDRESS"; exec %s --launch-immediately' % BUS_LAUNCHER
        # The launcher keeps the switch in the desktop's settings: in memory here, so that the
        # test neither reads nor changes the user's.
        env = dict(env, GSETTINGS_BACKEND="memory")
        self.proc = subprocess.Popen(["dbus-run-session", "--", "sh", "-c", script], env=env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL)
        ready = select.select([self.proc.stdout], [], [], 15)[0]
        line = self.proc.stdout.readline().decode().strip() if ready else ""
        if " " not in line:
            self.stop()
            raise AssertionError("dbus-run-session gave no bus address")
        pid, self.address = line.split(" ", 1)
        self.launcher = int(pid)
        self.base = env
        wait_for(lambda: "true" in self.send("org.freedesktop.DBus", "/",
                                             "org.freedesktop.DBus.NameHasOwner",
                                             "string:org.a11y.Bus"),
                 15, "the accessibility bus launcher", interval=0.1)
        self.switch(True)

    def switch(self, on):
        """Assistive technology on or off, as the desktop's setting does."""
        self.send("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties.Set",
                  "string:org.a11y.Status", "string:IsEnabled", "variant:boolean:%s" % str(on).lower())

    def env(self, base=None):
        env = dict(self.base if base is None else base)
        env["DBUS_SESSION_BUS_ADDRESS"] = self.address
        env["NO_AT_BRIDGE"] = "0"
        return env

    def send(self, destination, path, method, *args):
        done = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=" + destination,
                               path, method] + list(args), env=self.env(), capture_output=True,
                              timeout=10)
        return done.stdout.decode(errors="replace")

    def stop(self):
        if getattr(self, "launcher", None):
            kill_pid(self.launcher)      # dbus-run-session then ends its bus and itself
        try:
            self.proc.wait(5)
        except subprocess.TimeoutExpired:
            kill_pid(self.proc.pid)
            self.proc.wait(5)
        self.proc.stdout.close()


class AccessClient:
    """access_client.py: answers in order, events kept as they come (with their arrival)."""

    def __init__(self, env, program):
        self.proc = subprocess.Popen([SYSTEM_PYTHON, os.path.join(HERE, "access_client.py"),
                                      str(program)],
                                     env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE)
        self.answers = queue.Queue()
        self.events = []
        self.lock = threading.Lock()
        threading.Thread(target=self._read, daemon=True).start()
        if "ready" not in self.answers.get(timeout=20):
            raise AssertionError("the reader's client did not start")

    def _read(self):
        for raw in iter(self.proc.stdout.readline, b""):
            message = json.loads(raw)
            if "event" in message:
                with self.lock:
                    self.events.append(message)
            else:
                self.answers.put(message)

    def ask(self, **request):
        self.proc.stdin.write((json.dumps(request) + "\n").encode())
        self.proc.stdin.flush()
        try:
            answer = self.answers.get(timeout=30)
        except queue.Empty:
            raise AssertionError("no answer from the reader's client to %r: %s"
                                 % (request, self.proc.stderr.read1(4000)))
        if "error" in answer:
            raise AssertionError("the reader's client failed on %r: %s" % (request, answer["error"]))
        return answer

    def tree(self):
        return self.ask(do="tree")["tree"]

    def applications(self):
        """The processes whose objects readers find."""
        return [pid for name, pid in self.ask(do="applications")["applications"]]

    def act(self, role, name, action):
        return self.ask(do="act", role=role, name=name, action=action)["acted"]

    def heard(self, since, kind, test=lambda e: True):
        with self.lock:
            return [e for e in self.events[since:] if e["event"].startswith(kind) and test(e)]

    def mark(self):
        with self.lock:
            return len(self.events)

    def close(self):
        kill_pid(self.proc.pid, grace=0.5)
        self.proc.wait(5)
        for stream in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            stream.close()


def walk(node):
    yield node
    for child in node["children"]:
        yield from walk(child)


def having(tree, role):
    return [n for n in walk(tree) if n["role"] == role]


def named(tree, role, name):
    found = [n for n in having(tree, role) if n["name"] == name]
    if len(found) != 1:
        raise AssertionError("%d %s named %r in the tree" % (len(found), role, name))
    return found[0]


class ScreenReaderTest(WindowTest):
    @classmethod
    def setUpClass(cls):
        require_reader_tools()
        super().setUpClass()
        try:
            cls.bus = AccessibilityBus(cls.x.env())
        except BaseException:
            super().tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        cls.bus.stop()
        super().tearDownClass()

    def open(self, box):
        box, program, window = self.start_window(env=self.bus.env({}), box=box)
        self.box, self.program, self.window = box, program, window
        self.client = AccessClient(self.bus.env(self.x.env()), program.proc.pid)
        self.addCleanup(self.client.close)

    def tree_where(self, test, what):
        """The first tree the reader reads in which test(tree) holds. A walk that meets an
        object whose widget went meanwhile (a page switched under it) is read again."""
        def read():
            try:
                tree = self.client.tree()
            except AssertionError as e:
                if "does not exist" in str(e):
                    return None
                raise
            return tree if tree is not None and test(tree) else None
        return wait_for(read, 15, what, interval=0.2)

    def test_with_assistive_technology_off_readers_get_nothing_until_it_is_turned_on(self):
        self.bus.switch(False)
        try:
            self.open(self.sandbox())
            self.x.key(self.window, "Tab")
            # (A window of an earlier test may still be listed a moment after it ended.)
            self.assertNotIn(self.program.proc.pid, self.client.applications())
            self.assertEqual([e for e in self.client.heard(0, "") if e["name"]], [])
        finally:
            self.bus.switch(True)
        wait_for(lambda: self.program.proc.pid in self.client.applications(), 10,
                 "the window on the accessibility bus once a reader was turned on")
        self.tree_where(lambda t: len(having(t, "page tab")) == 4, "the page tabs")

    def test_tabs_and_the_play_page_read_and_play_sends_what_a_click_sends(self):
        box = self.sandbox()
        box.seed_state(dict(READY, profile="Career"))
        self.open(box)
        tree = self.tree_where(lambda t: len(having(t, "page tab")) == 4, "the four page tabs")
        tabs = having(tree, "page tab")
        self.assertEqual([t["name"] for t in tabs], TABS)
        self.assertEqual(["selected" in t["states"] for t in tabs], [True, False, False, False])
        self.assertEqual(len(having(tree, "page tab list")), 1)

        # The disc's field, the profile's select box and the buttons, each with its name.
        field = [n for n in having(tree, "entry") if n.get("text") == READY["iso"]]
        self.assertEqual(len(field), 1, having(tree, "entry"))
        self.assertTrue(field[0]["name"] and "editable" in field[0]["states"])
        profile = [n for n in having(tree, "combo box") if n.get("text") == "Career"]
        self.assertEqual(len(profile), 1, having(tree, "combo box"))
        self.assertTrue(profile[0]["name"] and "expand" in profile[0]["actions"])
        buttons = {n["name"] for n in having(tree, "push button")}
        self.assertLessEqual({"Play", "Browse", "New"}, buttons)
        play = named(tree, "push button", "Play")
        self.assertIn("enabled", play["states"])
        self.assertEqual(play["actions"], ["click"])

        self.assertTrue(self.client.act("push button", "Play", "click"))
        wait_for(lambda: box.bodies("play"), 10, "the play command")
        time.sleep(1)       # a second command would have come by now (the game runs: no quiet)
        self.assertEqual(box.bodies("play"), [json.dumps({"profile": "Career"})])

    def test_settings_read_with_values_a_switch_toggles_tab_moves_the_reader_notices_speak(self):
        self.open(settings_sandbox(self))
        self.assertTrue(self.client.act("page tab", "Settings", "click"))
        tree = self.tree_where(lambda t: "selected" in named(t, "page tab", "Settings")["states"]
                               and having(t, "slider"), "the Settings page")

        vsync = named(tree, "toggle button", "Vertical sync")
        self.assertIn("checked", vsync["states"])
        self.assertIn("toggle", vsync["actions"])
        groups = [g for g in having(tree, "panel") if having(g, "radio button")]
        self.assertTrue(groups, "rows of choices")
        for group in groups:
            on = [r["name"] for r in having(group, "radio button") if "checked" in r["states"]]
            self.assertEqual(len(on), 1, (group["name"], on))
        display = [g for g in groups if {r["name"] for r in having(g, "radio button")} >=
                   {"Windowed", "Fullscreen"}]
        self.assertEqual([r["name"] for r in having(display[0], "radio button")
                          if "checked" in r["states"]], ["Windowed"])
        scale = [s for s in having(tree, "slider") if (s["minimum"], s["maximum"]) == (1, 8)]
        self.assertEqual([s["value"] for s in scale], [3])
        chips = {n["name"] for n in having(tree, "list item")}
        self.assertLessEqual({"Cross: K", "R3: Mouse Middle"}, chips)

        self.assertTrue(self.client.act("toggle button", "Vertical sync", "toggle"))
        wait_for(lambda: self.box.bodies("settings"), 10, "the settings command")
        self.program.wait_quiet(0.5)
        self.assertEqual(self.box.bodies("settings"),
                         [json.dumps({"values": {"vsync": "false"}}, ensure_ascii=False)])
        self.tree_where(lambda t: "checked" not in named(t, "toggle button", "Vertical sync")["states"],
                        "the switch off")

        # Tab: the reader hears the focus land on the widget that has it now.
        mark = self.client.mark()
        self.x.key(self.window, "Tab")
        event = wait_for(lambda: self.client.heard(mark, "focus", lambda e: e["name"]), 10,
                         "a focus event after Tab")[-1]
        focused = [n for n in walk(self.client.tree()) if "focused" in n["states"]]
        self.assertEqual([(n["role"], n["name"]) for n in focused], [(event["role"], event["name"])])
        self.assertNotEqual(event["name"], "Vertical sync")
        # And the reader moves the keyboard's focus.
        self.assertTrue(self.client.ask(do="focus", role="entry", name="Player name")["focused"])
        self.tree_where(lambda t: "focused" in named(t, "entry", "Player name")["states"],
                        "the focus on the field the reader chose")

        # A command the launcher refuses: its notice is announced.
        self.box.post("test-fail-next", {"action": "settings", "error": "The disk is full."})
        mark = self.client.mark()
        self.assertTrue(self.client.act("toggle button", "Vertical sync", "toggle"))
        wait_for(lambda: self.client.heard(mark, "object:announcement",
                                           lambda e: "The disk is full." in (e["text"] or "")),
                 10, "the notice announced")


if __name__ == "__main__":
    unittest.main()
