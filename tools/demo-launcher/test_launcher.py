"""
+----------------------------------------------------------------------------+
| test_launcher.py — the demo launcher as the window sees it                 |
|                                                                            |
| Starts launcher.py as a real process on a free port in a temporary folder  |
| and talks to it with the exact bytes the window sends: session file,       |
| token rule, answer shapes, event stream, simulated jobs, persistence and   |
| the test-only actions.                                                     |
|   python3 -m unittest discover -s tools/demo-launcher -p 'test_*.py'       |
+----------------------------------------------------------------------------+
"""

import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
LAUNCHER = os.path.join(HERE, "launcher.py")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def exchange(port, request, timeout=10.0):
    """Send one request and read until the launcher closes the connection."""
    with socket.create_connection(("127.0.0.1", port), timeout=timeout) as s:
        s.sendall(request)
        data = b""
        while True:
            chunk = s.recv(16384)
            if not chunk:
                return data
            data += chunk


class Launcher:
    """One launcher process in a temporary folder of its own."""

    def __init__(self, env=None, work=None):
        self.tmp = tempfile.mkdtemp(prefix="vlr-demo-test-")
        self.work = work or os.path.join(self.tmp, "work")
        self.session = os.path.join(self.tmp, "session.json")
        self.log = os.path.join(self.tmp, "requests.log")
        self.port = free_port()
        self.token = os.urandom(16).hex()
        self.env = dict(os.environ, VLR_DEMO_SPEED="0.02", VLR_DEMO_KEEPALIVE="0.3",
                        VLR_DEMO_LOG=self.log)
        for name in ("VLR_PORTABLE", "VLR_DEMO_BROWSE", "VLR_DEMO_BROWSE_SAVES",
                     "VLR_DEMO_BROWSE_DELAY"):
            self.env.pop(name, None)
        self.env.update(env or {})
        self.proc = None
        self.start()

    def start(self):
        if os.path.exists(self.session):
            os.remove(self.session)     # left by a launcher that did not stop cleanly
        if self.proc:
            self.stderr.close()
        self.stderr = open(os.path.join(self.tmp, "stderr.txt"), "wb")
        self.proc = subprocess.Popen(
            [sys.executable, LAUNCHER, "--port", str(self.port), "--token", self.token,
             "--session", self.session, "--work", self.work],
            env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=self.stderr)
        deadline = time.monotonic() + 10
        while not os.path.exists(self.session):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise AssertionError("the launcher did not start: " + self.stderr_text())
            time.sleep(0.02)

    def stderr_text(self):
        with open(os.path.join(self.tmp, "stderr.txt"), encoding="utf-8", errors="replace") as f:
            return f.read()

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.stderr.close()

    def close(self):
        self.stop()
        shutil.rmtree(self.tmp, ignore_errors=True)

    def post_raw(self, action, body="{}", token=None, timeout=10.0):
        """The request exactly as the window builds it; returns the raw answer."""
        data = body.encode("utf-8") if isinstance(body, str) else body
        request = ("POST /api/%s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nX-VLR-Token: %s\r\n"
                   "Content-Type: application/json\r\nContent-Length: %d\r\n"
                   "Connection: close\r\n\r\n"
                   % (action, self.port, self.token if token is None else token, len(data)))
        return exchange(self.port, request.encode("utf-8") + data, timeout)

    def call(self, action, body=None, **kw):
        answer = self.post_raw(action, json.dumps(body if body is not None else {}), **kw)
        head, sep, payload = answer.partition(b"\r\n\r\n")
        assert sep and head.startswith(b"HTTP/1.1 200 "), answer[:200]
        return json.loads(payload)

    def wait_state(self, test, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            state = self.call("state")
            if test(state):
                return state
            time.sleep(0.02)
        raise AssertionError("the state did not come: %r" % {
            k: state.get(k) for k in ("running", "phase", "steps", "updates")})


class Events:
    """An event stream reader on a thread: keeps every event in arrival order."""

    def __init__(self, launcher, token=None):
        self.sock = socket.create_connection(("127.0.0.1", launcher.port), timeout=10)
        self.sock.sendall(("GET /events?t=%s HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n"
                           % (launcher.token if token is None else token, launcher.port)).encode())
        self.head = None
        self.events = []
        self.closed = False
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        buf = b""
        try:
            while True:
                chunk = self.sock.recv(16384)
                if not chunk:
                    break
                buf += chunk
                with self.cond:
                    if self.head is None and b"\r\n\r\n" in buf:
                        self.head, _, buf = buf.partition(b"\r\n\r\n")
                    while self.head is not None and b"\n\n" in buf:
                        event, _, buf = buf.partition(b"\n\n")
                        self.events.append(event)
                    self.cond.notify_all()
        except OSError:
            pass
        with self.cond:
            self.closed = True
            self.cond.notify_all()

    def messages(self):
        with self.cond:
            return [json.loads(e[6:]) for e in self.events if e.startswith(b"data: ")]

    def wait(self, test, timeout=10.0):
        with self.cond:
            if not self.cond.wait_for(lambda: test(self), timeout):
                raise AssertionError("events: %r" % self.events[-5:])

    def lines(self):
        return [line for m in self.messages() for line in m.get("lines", [])]

    def close(self):
        self.sock.close()


class LauncherTest(unittest.TestCase):
    def launcher(self, **kw):
        launcher = Launcher(**kw)
        self.addCleanup(launcher.close)
        return launcher

    def events(self, launcher, **kw):
        events = Events(launcher, **kw)
        self.addCleanup(events.close)
        events.wait(lambda e: e.head is not None or e.closed, 5)
        return events


class ProtocolTest(LauncherTest):
    def test_session_file_answer_shape_and_token_rule(self):
        l = self.launcher()
        with open(l.session, encoding="utf-8") as f:
            session = json.load(f)
        self.assertEqual((session["port"], session["token"]), (l.port, l.token))
        self.assertIn("listening", l.stderr_text())

        answer = l.post_raw("state")
        head, _, body = answer.partition(b"\r\n\r\n")
        lines = head.decode().split("\r\n")
        self.assertEqual(lines[0], "HTTP/1.1 200 OK")
        self.assertIn("Content-Type: application/json", lines)
        self.assertIn("Connection: close", lines)
        self.assertIn("Content-Length: %d" % len(body), lines)
        self.assertIsInstance(json.loads(body)["steps"], dict)

        for token in ("", "0" * 32, l.token.upper()):
            wrong = l.call("front", {}, token=token)
            self.assertIn("token", wrong["error"])
        self.assertEqual(l.call("state")["front"], 0, "a refused command must not act")
        with open(l.log, encoding="utf-8") as f:
            log = [json.loads(line) for line in f]
        self.assertEqual(log[0], {"action": "state", "body": "{}", "token_ok": True})
        self.assertEqual([e["token_ok"] for e in log[1:4]], [False, False, False])

        refused = exchange(l.port, b"GET /events?t=nope HTTP/1.1\r\nHost: x\r\n\r\n")
        self.assertFalse(refused.startswith(b"HTTP/1.1 200"))

    def test_bad_input_gets_an_error_text(self):
        l = self.launcher()
        for body in ('{"iso": ', "[1, 2]", b"\xff\xfe{}", '"text"'):
            answer = l.post_raw("install", body)
            self.assertTrue(answer.startswith(b"HTTP/1.1 200 OK"), answer)
            self.assertTrue(json.loads(answer.partition(b"\r\n\r\n")[2])["error"])
        self.assertIn("error", l.call("no-such-action"))
        self.assertIn("steps", l.call("state", None), "an empty body reads as {}")
        self.assertIn("steps", l.post_raw("state", "").partition(b"\r\n\r\n")[2].decode())
        with open(l.log, encoding="utf-8") as f:
            bodies = [json.loads(line)["body"] for line in f]
        self.assertEqual(bodies[0], '{"iso": ', "the log keeps the body as received")
        self.assertTrue(l.proc.poll() is None, "bad input must not end the launcher")

    def test_state_document_is_complete(self):
        l = self.launcher()
        raw = l.post_raw("state").partition(b"\r\n\r\n")[2]
        self.assertTrue(20000 <= len(raw) <= 60000, len(raw))
        s = json.loads(raw)
        types = {"steps": dict, "build": str, "front": int, "iso": str, "profile": str,
                 "profiles": list, "saves": str, "settings_stamp": int, "settings": list,
                 "table": dict, "version": str, "work": str, "running": str, "phase": str,
                 "ready": bool, "missing": str, "compiler": dict, "purge": str,
                 "updates": dict, "changelog": list}
        for key, kind in types.items():
            self.assertIsInstance(s.get(key), kind, key)
        self.assertGreater(s["settings_stamp"], 0, "the window loads only a stamp above 0")
        self.assertEqual(set(s["compiler"]), {"text", "licence", "hint"})
        self.assertEqual(set(s["updates"]), {"behind", "note", "new"})
        self.assertIn(s["profile"], s["profiles"])
        self.assertTrue(s["missing"] and s["compiler"]["text"] and s["compiler"]["licence"])

        values = {e["key"]: e["value"] for e in s["settings"]}
        self.assertTrue(all(isinstance(v, str) for v in values.values()))
        kinds = set()
        for column in s["table"]["columns"]:
            for section in column:
                self.assertIsInstance(section["title"], str)
                for row in section["rows"]:
                    kind = next((k for k in ("choice", "range", "select", "number")
                                 if isinstance(row.get(k), list)),
                                "text" if row.get("text") is True else "toggle")
                    kinds.add(kind + ("+and" if "and" in row else "")
                              + ("+unit" if "unit" in row else ""))
                    if kind == "toggle" and row["key"] in values:
                        self.assertIn(values[row["key"]], ("true", "false"), row["key"])
        for kind in ("choice", "range+unit", "select", "select+unit", "number",
                     "number+and", "text", "toggle"):
            self.assertIn(kind, kinds)

        buttons = s["table"]["buttons"]
        self.assertGreaterEqual(len(buttons), 12)
        name = re.compile(r"^[A-Z0-9_]+$")
        for button in buttons:
            binding = values["key_" + button[0]]
            self.assertTrue(all(name.match(n) for n in binding.split(" ")), binding)
        self.assertIn("NONE", [values["key_" + b[0]] for b in buttons])
        bodies = " ".join(entry[1] for entry in s["changelog"])
        self.assertIn("**", bodies)
        self.assertIn("`", bodies)


class EventStreamTest(LauncherTest):
    def test_state_events_keepalive_and_drop(self):
        l = self.launcher()
        first, second = self.events(l), self.events(l)
        self.assertTrue(first.head.startswith(b"HTTP/1.1 200"))
        first.wait(lambda e: b": keep-alive" in e.events, 3)

        self.assertEqual(l.call("front")["front"], 1)
        for events in (first, second):
            events.wait(lambda e: {"state": True} in e.messages(), 3)

        sent = {"lines": ["tab\there\n", "open"], "state": False}
        self.assertEqual(l.call("test-lines", sent), {"ok": True})
        second.wait(lambda e: sent in e.messages(), 3)

        self.assertEqual(l.call("test-drop-events")["dropped"], 2)
        first.wait(lambda e: e.closed, 3)
        second.wait(lambda e: e.closed, 3)
        third = self.events(l)
        l.call("front")
        third.wait(lambda e: {"state": True} in e.messages(), 3)


class SimulatedWorkTest(LauncherTest):
    def test_install_build_play_and_purge(self):
        l = self.launcher(env={"VLR_DEMO_SPEED": "0.2"})     # slow enough to catch it running
        events = self.events(l)
        self.assertIn("compiler", l.call("install", {"iso": "/discs/v.iso"})["error"])
        started = l.call("download-compiler", {"iso": "/discs/v.iso"})
        self.assertEqual((started["running"], started["iso"]),
                         ("Compiler download", "/discs/v.iso"))
        self.assertIn("running", l.call("purge")["error"] + l.call("install")["error"])
        s = l.wait_state(lambda s: not s["running"])
        self.assertTrue(s["steps"]["Compiler downloaded"])
        self.assertEqual(s["compiler"]["text"], "")

        self.assertIn("ISO", l.call("install", {"iso": "/discs/v.bin"})["error"])
        self.assertEqual(l.call("install", {"iso": ""})["running"], "Build")
        s = l.wait_state(lambda s: not s["running"])
        self.assertEqual(set(s["steps"].values()), {True})
        self.assertTrue(s["ready"] and s["purge"])
        self.assertEqual(s["missing"], "")
        lines = events.lines()
        self.assertTrue(all(line.endswith("\n") for line in lines))
        self.assertTrue(any(len(line) > 300 for line in lines))
        self.assertTrue(any("\t" in line for line in lines))
        phases = [m for m in events.messages() if m.get("state")]
        self.assertGreater(len(phases), 6, "every phase change is news")

        self.assertEqual(l.call("purge")["running"], "Clean-up")
        s = l.wait_state(lambda s: not s["running"])
        self.assertEqual((s["purge"], s["ready"]), ("", True))
        self.assertIn("error", l.call("purge"))

        playing = l.call("play", {"profile": ""})
        self.assertEqual(playing["running"], "Game")
        self.assertIn("Default", playing["phase"])
        count = len(events.lines())
        events.wait(lambda e: len(e.lines()) > count + 2, 5)
        stopped = l.call("stop")
        self.assertEqual(stopped["running"], "")
        self.assertGreater(stopped["settings_stamp"], s["settings_stamp"],
                           "the game writes its settings file when it ends")
        self.assertIn("error", l.call("play", {"profile": "Nobody"}))

    def test_profiles_and_save_import(self):
        l = self.launcher()
        saves = os.path.join(l.tmp, "old-install", "save", "Default")
        for name in ("BESLES-1", "BESLES-2"):
            os.makedirs(os.path.join(saves, "memcard", name))
            open(os.path.join(saves, "memcard", name, "icon.sys"), "wb").close()
        empty = os.path.join(l.tmp, "empty")
        os.makedirs(empty)

        for body in ({"name": "", "saves": ""}, {"name": "a/b", "saves": ""},
                     {"name": "default", "saves": ""}, {"name": "Kim", "saves": empty},
                     {"name": "Kim", "saves": os.path.join(l.tmp, "missing")}):
            self.assertIn("error", l.call("new-profile", body), body)
        self.assertEqual(l.call("state")["profiles"], ["Default"],
                         "a refused profile leaves nothing behind")

        made = l.call("new-profile", {"name": " Kim ", "saves": saves})
        self.assertEqual((made["profile"], made["profiles"], made["copied"]),
                         ("Kim", ["Default", "Kim"], 2))
        self.assertTrue(os.path.isfile(os.path.join(made["saves"], "memcard", "BESLES-2",
                                                     "icon.sys")))
        self.assertEqual(l.call("new-profile", {"name": "Lee", "saves": "  "})["copied"], 0)
        self.assertEqual(l.call("select", {"profile": "Default"})["profile"], "Default")
        self.assertIn("error", l.call("select", {"profile": "Nobody"}))
        self.assertEqual(l.call("open-profile", {"profile": "Kim"}), {"ok": True})
        self.assertIn("error", l.call("open-profile", {"profile": "Nobody"}))

    def test_settings_and_restart_keep_state(self):
        l = self.launcher()
        stamp = l.call("state")["settings_stamp"]
        saved = l.call("settings", {"values": {"vsync": "false", "key_CROSS": "K MOUSE_LEFT"}})
        self.assertEqual(saved["settings_stamp"], stamp + 1)
        values = {e["key"]: e["value"] for e in saved["settings"]}
        self.assertEqual((values["vsync"], values["key_CROSS"]), ("false", "K MOUSE_LEFT"))
        for bad in ({"vsync": "maybe"}, {"render_scale": "9"}, {"unknown": "1"},
                    {"player_name": "two\nlines"}, {"vsync": True}):
            self.assertIn("error", l.call("settings", {"values": bad}), bad)
        self.assertIn("error", l.call("settings", {"values": {"vsync": "true", "nope": "1"}}))
        self.assertEqual(l.call("state")["settings_stamp"], stamp + 1,
                         "a refused change stores nothing")
        l.call("new-profile", {"name": "Kim", "saves": ""})

        l.stop()
        self.assertFalse(os.path.exists(l.session), "a clean stop removes its session file")
        l.port = free_port()
        l.start()
        s = l.call("state")
        values = {e["key"]: e["value"] for e in s["settings"]}
        self.assertEqual((values["vsync"], s["settings_stamp"]), ("false", stamp + 1))
        self.assertEqual((s["profile"], s["profiles"]), ("Kim", ["Default", "Kim"]))

    def test_settings_table_has_every_case_the_page_handles(self):
        s = self.launcher().call("state")
        values = {e["key"]: e["value"] for e in s["settings"]}
        rows = [row for column in s["table"]["columns"] for section in column
                for row in section["rows"]]
        partners = [row["and"] for row in rows if "and" in row]
        self.assertTrue(any(p in values for p in partners), "a row with both keys")
        self.assertTrue(any(p not in values for p in partners), "a row whose partner is missing")
        self.assertTrue(any(row["key"] not in values for row in rows), "a row the file lacks")
        buttons = s["table"]["buttons"]
        mentioned = {row["key"] for row in rows} | set(partners) | {"key_" + b[0] for b in buttons}
        self.assertTrue(set(values) - mentioned, "settings the table does not mention")
        self.assertTrue(any(len(b) < 3 or not b[2] for b in buttons), "buttons without help")
        self.assertTrue(any(len(values["key_" + b[0]].split()) > 3 for b in buttons),
                        "a binding with more than three names")
        self.assertGreaterEqual(sum(1 for row in rows if row["key"] in values
                                    and row.get("and", row["key"]) in values), 40)

    def test_refused_save_changes_nothing(self):
        l = self.launcher()
        before = l.call("state")
        l.call("test-fail-next", {"action": "settings", "error": "Locked."})
        self.assertEqual(l.call("settings", {"values": {"vsync": "false"}}), {"error": "Locked."})
        after = l.call("state")
        self.assertEqual((after["settings_stamp"], after["settings"]),
                         (before["settings_stamp"], before["settings"]))

    def test_updates_come_on_the_second_check(self):
        l = self.launcher()
        events = self.events(l)
        before = l.call("state")
        self.assertIn("error", l.call("update"))
        for _ in range(2):
            count = len(events.messages())
            self.assertEqual(l.call("check-updates"), {"ok": True})
            events.wait(lambda e: {"state": True} in e.messages()[count:], 5)
        s = l.call("state")
        self.assertTrue(s["updates"]["behind"])
        self.assertTrue(s["updates"]["new"])
        self.assertEqual(l.call("update")["running"], "Update")
        s = l.wait_state(lambda s: not s["running"])
        self.assertFalse(s["updates"]["behind"])
        self.assertNotEqual((s["version"], s["build"]), (before["version"], before["build"]))
        self.assertEqual(len(s["changelog"]), len(before["changelog"]) + 1)


class TestOnlyActionsTest(LauncherTest):
    def test_misbehaving_answers(self):
        l = self.launcher(env={"VLR_DEMO_BROWSE": "/d/Velocrash \u00e9.iso",
                               "VLR_DEMO_BROWSE_SAVES": ""})
        raw = "HTTP/1.0 200 OK\r\n\r\n{\"ok\": true}"
        self.assertEqual(l.post_raw("test-raw", json.dumps({"raw": raw})), raw.encode())
        self.assertTrue(l.post_raw("test-status", '{"status": 404}')
                        .startswith(b"HTTP/1.1 404 Not Found\r\n"))
        malformed = l.post_raw("test-malformed").partition(b"\r\n\r\n")
        self.assertTrue(malformed[0].startswith(b"HTTP/1.1 200"))
        self.assertRaises(ValueError, json.loads, malformed[2])
        t = time.monotonic()
        self.assertEqual(l.call("test-stall", {"seconds": 0.4}), {"ok": True})
        self.assertGreaterEqual(time.monotonic() - t, 0.4)
        self.assertIn("error", l.call("test-status", {"status": "x"}))
        self.assertEqual(l.call("browse"), {"path": "/d/Velocrash \u00e9.iso"})
        self.assertEqual(l.call("browse-saves"), {"path": ""})
        self.assertEqual(l.call("licence"), {"ok": True})

    def test_fail_next_fails_one_answer_of_that_action(self):
        l = self.launcher()
        self.assertIn("error", l.call("test-fail-next", {"action": "state"}))
        self.assertEqual(l.call("test-fail-next", {"action": "state", "error": "Disc gone."}),
                         {"ok": True})
        self.assertIn("steps", l.call("front"), "other actions are not touched")
        self.assertEqual(l.call("state"), {"error": "Disc gone."})
        self.assertIn("steps", l.call("state"), "only the next answer fails")

    def test_slow_browse_does_not_block_commands(self):
        l = self.launcher(env={"VLR_DEMO_BROWSE_DELAY": "1"})
        answers = []
        browse = threading.Thread(target=lambda: answers.append(l.call("browse-saves")))
        t = time.monotonic()
        browse.start()
        time.sleep(0.1)
        self.assertIn("steps", l.call("state"))
        self.assertLess(time.monotonic() - t, 0.8)
        browse.join(5)
        self.assertTrue(os.path.isdir(answers[0]["path"]), "the sample saves exist")

    def test_exit_and_crash(self):
        l = self.launcher()
        self.assertEqual(l.call("test-exit", {"code": 3}), {"ok": True})
        self.assertEqual(l.proc.wait(5), 3)
        l.start()
        self.assertEqual(l.call("test-crash"), {"ok": True})
        code = l.proc.wait(5)
        self.assertTrue(code < 0 if os.name != "nt" else code != 0, code)


class HostPathTest(unittest.TestCase):
    """Windows paths that the window passes when it runs under Wine."""

    def setUp(self):
        if os.name == "nt":
            self.skipTest("Windows opens these paths itself")
        sys.path.insert(0, HERE)
        import launcher
        self.host_path = launcher.host_path

    def test_drives_map_like_wine(self):
        prefix = tempfile.mkdtemp(prefix="vlr-demo-prefix-")
        self.addCleanup(shutil.rmtree, prefix, True)
        drive_c = os.path.join(prefix, "drive_c")
        os.makedirs(os.path.join(prefix, "dosdevices"))
        os.makedirs(drive_c)
        os.symlink("../drive_c", os.path.join(prefix, "dosdevices", "c:"))
        self.assertEqual(self.host_path("Z:\\tmp\\vlr x\\launcher.py", prefix),
                         "/tmp/vlr x/launcher.py")
        self.assertEqual(self.host_path("z:/tmp//a\\", prefix), "/tmp/a")
        self.assertEqual(self.host_path("Z:\\", prefix), "/")
        self.assertEqual(self.host_path("C:\\users\\me\\Temp\\s.json", prefix),
                         os.path.join(os.path.realpath(drive_c), "users", "me", "Temp", "s.json"))
        self.assertEqual(self.host_path("\\\\?\\Z:\\tmp\\s.json", prefix), "/tmp/s.json")

    def test_other_paths_stay(self):
        for path in ("/tmp/a:b/s.json", "relative\\name.json", "", "C:", "C:name", "\u00e9:\\x",
                     "1:\\x"):
            self.assertEqual(self.host_path(path, "/nonexistent"), path)

    def test_session_and_work_given_as_windows_paths(self):
        tmp = tempfile.mkdtemp(prefix="vlr-demo-test-")
        self.addCleanup(shutil.rmtree, tmp, True)
        windows = "Z:" + tmp.replace("/", "\\")
        proc = subprocess.Popen([sys.executable, LAUNCHER, "--session", windows + "\\s.json",
                                 "--work", windows + "\\work"],
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        try:
            deadline = time.monotonic() + 10
            session = os.path.join(tmp, "s.json")
            while not os.path.exists(session) and proc.poll() is None \
                    and time.monotonic() < deadline:
                time.sleep(0.02)
            with open(session, encoding="utf-8") as f:
                self.assertEqual(json.load(f)["pid"], proc.pid)
            self.assertTrue(os.path.isdir(os.path.join(tmp, "work")))
        finally:
            proc.terminate()
            proc.wait(5)


class ByHandTest(unittest.TestCase):
    def test_alone_and_help(self):
        work = tempfile.mkdtemp(prefix="vlr-demo-test-")
        self.addCleanup(shutil.rmtree, work, True)
        proc = subprocess.Popen([sys.executable, LAUNCHER, "--work", work],
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            url = proc.stdout.readline()
            token = proc.stdout.readline().split()[-1]
            port = int(re.search(r":(\d+)/", url).group(1))
            answer = exchange(port, ("POST /api/state HTTP/1.1\r\nX-VLR-Token: %s\r\n"
                                     "Content-Length: 0\r\n\r\n" % token).encode())
            self.assertEqual(json.loads(answer.partition(b"\r\n\r\n")[2])["work"], work)
        finally:
            proc.terminate()
            proc.wait(5)
            proc.stdout.close()
        self.assertEqual(proc.returncode, 0, "a terminate is a clean stop")
        shown = subprocess.run([sys.executable, LAUNCHER, "--help"], capture_output=True,
                               text=True, timeout=10)
        self.assertEqual(shown.returncode, 0)
        self.assertIn("VLR_DEMO_SPEED", shown.stdout)
        wrong = subprocess.run([sys.executable, LAUNCHER, "--port", "x"], capture_output=True,
                               text=True, timeout=10)
        self.assertEqual(wrong.returncode, 1, "exit code 2 would close the window quietly")
        self.assertNotIn("Traceback", wrong.stderr)


if __name__ == "__main__":
    unittest.main()
