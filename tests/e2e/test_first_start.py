"""
+----------------------------------------------------------------------------+
| test_first_start.py — the program started as a user starts it              |
|                                                                            |
| The program file is copied into an empty folder and started without       |
| arguments. Its first start fetches source.zip (made from the demo          |
| launcher) from a local server through VLR_SOURCE_URL, shows the progress   |
| window, and opens the launcher window. Also: a second start without a      |
| progress window, the result codes 3 (program file replaced) and 2 (no      |
| display), a failed first start (error window, exit code 1), two starts     |
| close together (one window), and first starts killed at 20 moments, each   |
| started again to a complete installation.                                  |
+----------------------------------------------------------------------------+
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "gui"))
from vlr_gui import (ACCENT, BACKGROUND, BASE_SIZE, PRIMARY, SECONDARY, Sandbox,  # noqa: E402
                     WindowTest, artifacts_dir, kill_pid, near, pid_alive, runs, session_name,
                     source_dir, wait_for)

PROGRESS_SIZE = (640, 170)


def make_source_zip(path, with_launcher=True):
    demo = os.path.join(source_dir(), "tools", "demo-launcher")
    with zipfile.ZipFile(path, "w") as z:
        for name in os.listdir(demo):
            if name.startswith("test_") or not (name.endswith(".py") or name == "launcher.png"):
                continue
            if name == "launcher.py" and not with_launcher:
                continue
            z.write(os.path.join(demo, name), "tools/" + name)


def make_slow_source_zip(path, padding=800):
    """source.zip with the marker first and many entries after it, so the unpacking takes
    long enough to be caught half-way (a folder that counted as installed once its marker is
    there would be incomplete), and a last entry large enough to be caught while it is
    written, right before the folder is moved. Returns {name: bytes} of every file."""
    demo = os.path.join(source_dir(), "tools", "demo-launcher")
    files = {}
    names = sorted(os.listdir(demo), key=lambda n: n != "launcher.py")
    for name in names:
        if name.startswith("test_") or not (name.endswith(".py") or name == "launcher.png"):
            continue
        with open(os.path.join(demo, name), "rb") as f:
            files["tools/" + name] = f.read()
    for i in range(padding):
        files["assets/%04d.txt" % i] = (b"asset %d\n" % i) * 40
    files["zz-last.bin"] = os.urandom(16 << 20)
    with zipfile.ZipFile(path, "w") as z:
        for name, data in files.items():
            z.writestr(name, data, zipfile.ZIP_STORED if name == "zz-last.bin" else zipfile.ZIP_DEFLATED)
    return files


def process_tree(root):
    """`root` and every process below it, children before parents are asked."""
    children = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open("/proc/%s/stat" % entry, encoding="ascii", errors="replace") as f:
                    parent = int(f.read().rpartition(")")[2].split()[1])
            except (OSError, IndexError, ValueError):
                continue
            children.setdefault(parent, []).append(int(entry))
    tree, todo = [], [root]
    while todo:
        pid = todo.pop()
        tree.append(pid)
        todo.extend(children.get(pid, []))
    return tree


def power_cut(root):
    """Kills `root` and everything it started (the archive tool runs in a session of its
    own, so a process group would miss it) at once: frozen first, so that none of them
    finishes a step while the others die."""
    tree = process_tree(root)
    for sig in (signal.SIGSTOP, signal.SIGKILL):
        for pid in tree:
            try:
                os.kill(pid, sig)
            except OSError:
                pass


class FileServer:
    """tools/demo-launcher/serve_files.py on a free port, serving one folder."""

    def __init__(self, folder, delay=0.0):
        self.folder = folder
        port_file = os.path.join(folder, "port")
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(source_dir(), "tools", "demo-launcher", "serve_files.py"),
             "--folder", folder, "--port-file", port_file, "--delay", str(delay)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for(lambda: os.path.exists(port_file), 10, "the file server")
        with open(port_file, encoding="ascii") as f:
            self.port = int(f.read())

    def url(self, name):
        return "http://127.0.0.1:%d/%s" % (self.port, name)

    def stop(self):
        kill_pid(self.proc.pid)
        self.proc.wait(5)


class Portable(Sandbox):
    """A sandbox whose sources are not there yet: an empty folder `folder` holding only
    the program file. The launcher script lands in <folder>/source/tools on first start."""

    def __init__(self, program, folder="app"):
        super().__init__()
        shutil.rmtree(os.path.join(self.root, "source"))
        self.portable = os.path.join(self.root, folder)
        os.makedirs(self.portable)
        self.program = os.path.join(self.portable, os.path.basename(program))
        shutil.copy2(program, self.program)
        self.script = os.path.join(self.portable, "source", "tools", "launcher.py")

    def leftovers(self):
        return [n for n in os.listdir(self.portable) if n.endswith(".zip.part")]


def program_pids(path):
    """Running processes whose program file is `path`."""
    found = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.readlink("/proc/%s/exe" % entry) == path and pid_alive(int(entry)):
                    found.append(int(entry))
            except OSError:
                pass
    return found


def environ_of(pid):
    with open("/proc/%d/environ" % pid, "rb") as f:
        return dict(item.split(b"=", 1) for item in f.read().split(b"\0") if b"=" in item)


def download_bar_part_way(test, progress, timeout):
    """A screenshot of the progress window once its download bar is neither empty nor full."""
    def bar_moving():
        shot = test.picture(progress)
        filled = runs(shot.row(168), ACCENT, 4)
        return shot if filled and filled[0][0] == 0 and 0 < filled[0][1] < 640 else None
    return wait_for(bar_moving, timeout, "the download bar part-way", interval=0.2)


class FirstStartTest(WindowTest):
    def setUp(self):
        super().setUp()
        self.serve_dir = tempfile.mkdtemp(prefix="vlr-serve-")
        self.addCleanup(shutil.rmtree, self.serve_dir, True)
        make_source_zip(os.path.join(self.serve_dir, "source.zip"))
        self.extra_pids = []

    def tearDown(self):
        # Programs the test did not start itself (result 3 starts one anew) go first: the
        # common tear-down waits for every window of the test to disappear.
        for pid in self.extra_pids:
            kill_pid(pid)
        super().tearDown()

    def server(self, delay=0.0):
        server = FileServer(self.serve_dir, delay)
        self.addCleanup(server.stop)
        return server

    def portable(self):
        box = Portable(self.program)
        self.sandboxes.append(box)
        return box

    def start_plain(self, box, server, env=None, name="source.zip"):
        environment = dict(VLR_SOURCE_URL=server.url(name), VLR_DEMO_SPEED="0.05")
        environment.update(env or {})
        return self.start_program(box, environment, args=[box.program])

    def sized_windows(self, size, width_only=False):
        found = []
        for window in self.x.windows():
            try:
                geometry = self.x.geometry(window)
            except AssertionError:
                continue    # gone between the search and the question
            if geometry[2:] == size or (width_only and geometry[2] == size[0]):
                found.append(window)
        return found

    def test_first_start_progress_window_then_launcher_window(self):
        server = self.server(delay=6.0)
        box = self.portable()
        program = self.start_plain(box, server, env={"PYTHONHOME": "/nowhere",
                                                     "PYTHONPATH": "/nowhere/lib"})
        progress = wait_for(lambda: self.sized_windows(PROGRESS_SIZE), 20,
                            "the progress window")[0]
        x, y, _, _ = self.x.geometry(progress)
        self.assertEqual((x, y), ((self.x.width - 640) // 2, (self.x.height - 170) // 2))

        shot = download_bar_part_way(self, progress, 15)
        shot.save_png(os.path.join(artifacts_dir(), "first-start-progress.png"))
        for px in (0, 320, 639):
            self.assertColour(shot, px, 0, ACCENT, what="accent band")
            self.assertColour(shot, px, 1, ACCENT, what="accent band")
            self.assertColour(shot, px, 2, BACKGROUND, what="below the band")
        self.assertColour(shot, 5, 60, BACKGROUND)
        title = [p for p in shot.row(50, 200, 440) if near(p, PRIMARY, 40)]
        self.assertTrue(title, "title text in the middle at its line")
        self.assertFalse([p for p in shot.row(50, 0, 150) if not near(p, BACKGROUND, 3)],
                         "the title is centred, nothing at the left")
        status = [p for p in shot.row(96, 150, 490) if near(p, PRIMARY, 60)]
        self.assertTrue(status, "the status line")
        note = [p for p in shot.row(124, 20, 620) if near(p, SECONDARY, 30)]
        self.assertTrue(note, "the explanation in the secondary colour")

        # Neither Alt+F4 nor a close request ends it.
        self.x.key(progress, "alt+F4")
        self.x.close_window(progress)
        time.sleep(0.5)
        self.assertIn(progress, self.x.windows())
        self.assertIsNone(program.exit_code())

        window = wait_for(lambda: self.sized_windows(BASE_SIZE), 40, "the launcher window")[0]
        self.assertNotIn(progress, self.x.windows())
        wait_for(lambda: "state" in box.requests(), 20, "the window's state request")
        self.assertTrue(os.path.isfile(box.script))
        self.assertEqual(box.leftovers(), [])

        launcher = box.wait_session()["pid"]
        env = environ_of(launcher)
        self.assertNotIn(b"PYTHONHOME", env)
        self.assertNotIn(b"PYTHONPATH", env)
        self.assertEqual(env[b"VLR_PORTABLE"], box.portable.encode())
        self.assertEqual(env[b"VLR_LAUNCHER_EXE"], box.program.encode())

        # A second start of the same folder: no progress window, no download.
        self.x.close_window(window)
        self.assertEqual(program.wait(10), 0, program.output())
        server.stop()
        again = self.start_plain(box, server)
        seen = []

        def launcher_window():
            seen.extend(self.sized_windows(PROGRESS_SIZE))
            return self.sized_windows(BASE_SIZE)
        wait_for(launcher_window, 20, "the launcher window of the second start", interval=0.02)
        self.assertEqual(seen, [], "no progress window on the second start")
        self.assertIsNone(again.exit_code())

    def test_two_starts_close_together_end_with_one_window(self):
        # A double-click repeated while the first start is downloading.
        server = self.server(delay=1.0)
        box = self.portable()
        first = self.start_plain(box, server)
        time.sleep(0.3)
        second = self.start_plain(box, server)
        wait_for(lambda: self.sized_windows(BASE_SIZE), 60, "the launcher window")
        ended = wait_for(lambda: [p for p in (first, second) if p.exit_code() is not None], 30,
                         "one of the starts to hand over and end")
        self.assertEqual([p.exit_code() for p in ended], [0], "\n".join(p.output() for p in ended))
        wait_for(lambda: "state" in box.requests(), 20, "the window's state request")
        self.assertEqual(len(self.sized_windows(BASE_SIZE)), 1)
        self.assertEqual(self.sized_windows((640, 0), width_only=True), [], "no progress or error window")
        self.assertTrue(os.path.isfile(box.script))
        self.assertEqual([n for n in os.listdir(box.portable) if n.startswith("source.")], [])
        self.assertEqual(len(box.launcher_pids()), 1)

    def test_replaced_program_file_starts_anew(self):
        box = self.portable()
        program = self.start_plain(box, self.server())
        wait_for(lambda: self.sized_windows(BASE_SIZE), 40, "the launcher window")
        wait_for(lambda: "state" in box.requests(), 20, "the window's state request")
        box.wait_session()
        time.sleep(1.1)   # a modification time that differs from the running one
        shutil.copy2(self.program, box.program + ".new")
        os.replace(box.program + ".new", box.program)
        os.utime(box.program)
        def behind():   # the demo launcher finds the update on its second check
            if box.post("state").get("updates", {}).get("behind"):
                return True
            box.post("check-updates")
            return False
        wait_for(behind, 20, "the demo launcher to find an update", interval=0.3)
        box.post("update")
        self.assertEqual(program.wait(30), 0, program.output())
        fresh = wait_for(lambda: [p for p in program_pids(box.program) if p != program.proc.pid],
                         20, "the new program to start")
        self.extra_pids.extend(fresh)
        wait_for(lambda: self.sized_windows(BASE_SIZE), 30, "the new program's window")

    def test_without_display_the_launcher_runs_alone(self):
        box = self.portable()
        server = self.server()
        environment = box.env(self.x.env())
        environment.pop("DISPLAY")
        environment.update(VLR_SOURCE_URL=server.url("source.zip"))
        # Output to a file: the launcher it leaves running would hold a pipe open.
        with tempfile.TemporaryFile() as errors:
            done = subprocess.run([box.program], env=environment, cwd=box.root, timeout=60,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                  stderr=errors)
            errors.seek(0)
            self.assertEqual(done.returncode, 0, errors.read())
        alone = wait_for(box.launcher_pids, 15, "the launcher started alone")
        with open("/proc/%d/cmdline" % alone[0], "rb") as f:
            args = f.read().split(b"\0")
        self.assertNotIn(b"--port", args)
        self.assertEqual(len(alone), 1)

    def test_failed_first_start_shows_the_error_and_ends_with_1(self):
        box = self.portable()
        server = self.server()
        program = self.start_plain(box, server, name="missing.zip")

        # The progress window is as wide and may still be going away: the error window is the
        # one with the OK button.
        def error_window():
            for window in self.sized_windows((640, 0), width_only=True):
                try:
                    shot = self.picture(window)
                except AssertionError:
                    continue
                if [r for r in runs(shot.row(shot.height - 52, 0, 640), ACCENT, 3) if r[1] - r[0] > 60]:
                    return window, shot
            return None
        error, shot = wait_for(error_window, 20, "the error window with its OK button")
        shot.save_png(os.path.join(artifacts_dir(), "first-start-error.png"))
        self.assertColour(shot, 320, 0, ACCENT)
        self.assertIsNone(program.exit_code(), "the message waits for the user")
        self.x.key(error, "Return")
        self.assertEqual(program.wait(10), 1)
        self.assertIn("Could not download Velocrash Rebuilt.", program.output())
        self.assertIn(server.url("missing.zip"), program.output())
        self.assertEqual(os.listdir(box.portable), [os.path.basename(box.program)])

    def test_first_starts_killed_at_any_moment_end_complete(self):
        files = make_slow_source_zip(os.path.join(self.serve_dir, "slow.zip"))
        server = self.server(delay=0.6)

        def complete(folder):
            for name, data in files.items():
                try:
                    with open(os.path.join(folder, name), "rb") as f:
                        if f.read() != data:
                            return False
                except OSError:
                    return False
            return True

        def run_to_window(box):
            program = self.start_plain(box, server, name="slow.zip")
            wait_for(lambda: self.sized_windows(BASE_SIZE), 60, "the launcher window")
            wait_for(lambda: "state" in box.requests(), 20, "the window's state request")
            return program

        def finish(box, program):
            power_cut(program.proc.pid)
            program.proc.wait(10)
            for pid in box.launcher_pids():
                kill_pid(pid)
            wait_for(lambda: not self.sized_windows(BASE_SIZE), 10, "the window to go")

        # One whole first start, to place the moments: when the unpacking starts and ends.
        # Unpacked in place or beside it: both are watched, so the test tells either way.
        def where(box):
            return [os.path.join(box.portable, n) for n in ("source.unpacking", "source")]

        def unpacking(box):
            # The staging folder is made and tagged before the download: the unpacking has
            # begun once it holds more than the tag.
            try:
                return any(os.path.isdir(f) and len(os.listdir(f)) > 1 for f in where(box))
            except OSError:
                return False

        box = self.portable()
        started = time.monotonic()
        program = self.start_plain(box, server, name="slow.zip")
        wait_for(lambda: unpacking(box), 30, "the unpacking", interval=0.005)
        unpack_start = time.monotonic()
        part = os.path.join(box.portable, "source.zip.part")
        wait_for(lambda: os.path.isdir(where(box)[1]) and not os.path.exists(part), 30, "the end",
                 interval=0.005)
        unpack_time = time.monotonic() - unpack_start
        download_time = unpack_start - started
        wait_for(lambda: self.sized_windows(BASE_SIZE), 60, "the launcher window")
        finish(box, program)

        # (what is awaited, then how long after it the power goes)
        moments = [("start", 0.0), ("start", 0.2)]
        moments += [("download", download_time * f) for f in (0.0, 0.3, 0.6, 0.85)]
        moments += [("unpacking", unpack_time * f / 10) for f in range(10)]
        moments += [("last entry", 0.0)] * 4
        self.assertEqual(len(moments), 20)
        report = []
        begun = time.monotonic()
        for phase, after in moments:
            box = self.portable()
            final = os.path.join(box.portable, "source")
            part = os.path.join(box.portable, "source.zip.part")
            awaited = {"start": lambda: True,
                       "download": lambda: os.path.exists(part),
                       "unpacking": lambda: unpacking(box),
                       "last entry": lambda: any(os.path.exists(os.path.join(f, "zz-last.bin"))
                                                 for f in where(box))}[phase]
            program = self.start_plain(box, server, name="slow.zip")
            wait_for(awaited, 30, phase, interval=0.002)
            time.sleep(after)
            power_cut(program.proc.pid)
            program.proc.wait(10)
            state = sorted(n for n in os.listdir(box.portable) if n != os.path.basename(box.program))
            report.append("%s+%.2fs: %s" % (phase, after, state))
            if os.path.exists(final):
                self.assertTrue(complete(final), "a killed run left an incomplete source folder")

            program = run_to_window(box)
            self.assertTrue(complete(final), "the next start took an incomplete folder")
            self.assertEqual([n for n in os.listdir(box.portable) if n.startswith("source.")], [],
                             "leftovers cleared")
            finish(box, program)
            self.sandboxes.remove(box)
            box.close()
        sys.stderr.write("\nkilled first starts (download %.2fs, unpacking %.2fs), %.0fs for 20:\n  %s\n"
                         % (download_time, unpack_time, time.monotonic() - begun, "\n  ".join(report)))


# ---- the Windows build under Wine ----

import test_wine  # noqa: E402  (the module, so its own test class is not collected again here)


class WineFirstStartTest(test_wine.WineTest):
    """Velocrash.exe started without arguments in an empty folder under Wine (one whose
    name the ANSI code page cannot hold, as a user's Downloads folder may be). The sources
    come through WinINet and CNG from a local server; tar.exe and the
    Windows Python and Git are the project's stand-ins (scripts/wine-standins)."""

    test_exe_shows_its_frame_against_the_demo_launcher = None   # runs in test_wine already

    def setUp(self):
        super().setUp()
        self.serve_dir = tempfile.mkdtemp(prefix="vlr-serve-")
        self.addCleanup(shutil.rmtree, self.serve_dir, True)
        make_source_zip(os.path.join(self.serve_dir, "source.zip"))

    PLANTED = ("bcrypt", "dwmapi", "wininet", "winmm")

    def start_exe(self, delay=0.0, name="source.zip", plant=False, folder="app"):
        server = FileServer(self.serve_dir, delay)
        self.addCleanup(server.stop)
        box = Portable(self.exe, folder)
        self.sandboxes.append(box)
        if plant:
            # DLLs of the names the program uses that are not known DLLs, beside it as in a
            # Downloads folder: each leaves "<name>.dll.loaded" if it is ever loaded.
            planted = os.path.join(os.path.dirname(self.exe), "tests", "planted.dll")
            if not os.path.isfile(planted):
                self.skipTest("the planted stand-in is not built: %s" % planted)
            for dll in self.PLANTED:
                shutil.copy2(planted, os.path.join(box.portable, dll + ".dll"))
        env = dict(os.environ, WINEPREFIX=self.prefix)
        subprocess.run(["bash", os.path.join(source_dir(), "scripts", "wine-standins"), box.portable],
                       env=env, check=True, cwd=source_dir(), timeout=60)
        script = test_wine.windows_path(box.script)
        self.addCleanup(self.remove_sessions, session_name(script) + ".json")
        program = self.start_program(
            box, env={"WINEPREFIX": self.prefix, "WINEDEBUG": "-all",
                      "WINEDLLOVERRIDES": "mscoree,mshtml=", "VLR_SOURCE_URL": server.url(name)},
            args=[self.wine, box.program])
        return box, program, server

    def sized(self, test):
        found = []
        for window in self.x.windows():
            try:
                if test(self.x.geometry(window)[2:]):
                    found.append(window)
            except AssertionError:
                continue
        return found

    # Outside Wine's ANSI code page (1252 here, as on a Western Windows): "Ł" turns into "L"
    # and the Cyrillic letters into "?" on the archive tool's command line; "ü" survives.
    NON_ANSI_FOLDER = "\u0141ukasz \u0414\u043c\u0438\u0442\u0440\u0438\u0439 J\u00fcrgen"

    def test_first_start_under_wine(self):
        box, program, server = self.start_exe(delay=6.0, plant=True, folder=self.NON_ANSI_FOLDER)
        progress = wait_for(lambda: self.sized(lambda size: size == PROGRESS_SIZE), 60,
                            "the progress window")[0]

        shot = download_bar_part_way(self, progress, 20)
        shot.save_png(os.path.join(artifacts_dir(), "wine-first-start-progress.png"))
        for px in (0, 320, 639):
            self.assertColour(shot, px, 0, ACCENT, what="accent band")
            self.assertColour(shot, px, 2, BACKGROUND, what="below the band")
        self.assertTrue([p for p in shot.row(50, 200, 440) if near(p, PRIMARY, 40)], "the title")
        self.x.key(progress, "alt+F4")
        time.sleep(0.3)
        self.assertIn(progress, self.x.windows())

        wait_for(lambda: self.sized(lambda size: size[0] >= BASE_SIZE[0]), 60, "the launcher window")
        wait_for(lambda: "state" in box.requests(), 30, "the window's state request")
        self.assertTrue(os.path.isfile(box.script))
        self.assertEqual(box.leftovers(), [])
        program.kill()
        self.assertEqual([n for n in os.listdir(box.portable) if n.endswith(".loaded")], [],
                         "a DLL planted beside the program was loaded")

    def test_failed_first_start_under_wine(self):
        box, program, server = self.start_exe(name="missing.zip")
        box_window = wait_for(lambda: self.sized(lambda size: size != PROGRESS_SIZE), 60,
                              "the message box")[0]
        self.picture(box_window).save_png(os.path.join(artifacts_dir(), "wine-first-start-error.png"))
        self.assertIsNone(program.exit_code(), "the message waits for the user")
        self.x.key(box_window, "Return")
        self.assertEqual(program.wait(20), 1, program.output())
        self.assertFalse(os.path.exists(os.path.join(box.portable, "source")))
        self.assertEqual(box.leftovers(), [])


if __name__ == "__main__":
    unittest.main()
