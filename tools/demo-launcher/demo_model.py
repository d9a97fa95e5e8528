"""
+----------------------------------------------------------------------------+
| demo_model.py — what the demo launcher knows and does                      |
|                                                                            |
| The launcher's state (disc, installation steps, profiles, game settings,   |
| updates), its persistence in the work folder, the state document that the  |
| window draws from, and the actions of the window's command table. Long     |
| jobs (compiler download, build, update, the running game) are simulated on |
| a background thread that streams console output and state news.           |
+----------------------------------------------------------------------------+

Sections: helpers · persistence · state document · tasks · actions
"""

import json
import os
import shutil
import sys
import threading
import time

import demo_content as content


class ActionError(Exception):
    """A failed action; the text is shown to the user as it stands."""


class Stopped(Exception):
    """Raised inside a simulated job when the user pressed Stop."""


# ---- helpers ----

def write_atomic(path, text):
    """Write a whole file so that readers never see half of it."""
    tmp = "%s.%d-%d.tmp" % (path, os.getpid(), threading.get_ident())
    try:
        with open(tmp, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
            f.flush()
            os.fsync(f.fileno())
        os.replace(tmp, path)
    except BaseException:
        try:
            os.remove(tmp)
        except OSError:
            pass
        raise


def warn(text):
    print("demo launcher: " + text, file=sys.stderr, flush=True)


def body_text(body, name):
    """A member of a request body that must be a text (absent reads as empty)."""
    value = body.get(name, "")
    if not isinstance(value, str):
        raise ActionError('"%s" must be a text.' % name)
    return value


_BAD_NAME_CHARS = set('<>:"/\\|?*')


def check_profile_name(name):
    if not name:
        raise ActionError("Give the new profile a name.")
    if len(name) > 40:
        raise ActionError("A profile name has at most 40 characters.")
    if name in (".", "..") or name.endswith("."):
        raise ActionError('A profile name cannot end with a full stop.')
    if any(c in _BAD_NAME_CHARS or ord(c) < 32 for c in name):
        raise ActionError('A profile name cannot hold any of < > : " / \\ | ? * '
                          'or control characters.')


def valid_profile_name(name):
    """Names from a hand-edited state file become folder names: no escapes."""
    try:
        check_profile_name(name)
    except ActionError:
        return False
    return True


def find_saves(folder):
    """PS2 save folders (folders holding icon.sys): the folder itself, its
    subfolders, or theirs, whichever level first holds any."""
    level = [folder]
    for _ in range(3):
        found = [p for p in level if os.path.isfile(os.path.join(p, "icon.sys"))]
        if found:
            return found
        below = []
        for parent in level:
            try:
                names = sorted(os.listdir(parent))
            except OSError:
                continue
            below += [os.path.join(parent, n) for n in names
                      if os.path.isdir(os.path.join(parent, n))]
        level = below
    return []


# ---- the model ----

class Model:
    def __init__(self, work, hub, speed=1.0, echo=False):
        self.lock = threading.RLock()
        self.work = work
        self.hub = hub
        self.speed = speed
        self.echo = echo
        self.front = 0
        self.running = ""
        self.phase = ""
        self.task = None            # (thread, stop event) of the job in progress
        self.checks = 0             # update checks made by this process
        self.behind = False
        self.note = "Not checked yet."
        self.state_path = os.path.join(work, "launcher-state.json")
        self.settings_path = os.path.join(work, "settings.ini")
        os.makedirs(work, exist_ok=True)
        self._load()
        self._make_sample_saves()

    # ---- persistence ----

    def _defaults(self):
        return {
            "iso": "",
            "profile": "Default",
            "profiles": ["Default"],
            "steps": {name: False for name, _ in content.STEPS},
            "build_files": False,
            "version": content.VERSION_INSTALLED,
            "build": content.BUILD_INSTALLED,
            "settings_stamp": 1,
        }

    def _load(self):
        data = self._defaults()
        try:
            with open(self.state_path, encoding="utf-8") as f:
                saved = json.load(f)
            if not isinstance(saved, dict):
                raise ValueError("not an object")
        except FileNotFoundError:
            saved = {}
        except (OSError, ValueError) as e:
            warn("%s is unreadable (%s); starting afresh, the old file is kept as .broken"
                 % (self.state_path, e))
            try:
                os.replace(self.state_path, self.state_path + ".broken")
            except OSError:
                pass
            saved = {}
        # Take each member only when it has the right shape; a hand-edited file
        # must not take the launcher down.
        for key in ("iso", "profile", "version", "build"):
            if isinstance(saved.get(key), str):
                data[key] = saved[key]
        if isinstance(saved.get("build_files"), bool):
            data["build_files"] = saved["build_files"]
        stamp = saved.get("settings_stamp")
        if isinstance(stamp, int) and not isinstance(stamp, bool) and stamp > 0:
            data["settings_stamp"] = stamp
        profiles = saved.get("profiles")
        if isinstance(profiles, list):
            names = [p for p in profiles if isinstance(p, str) and valid_profile_name(p)]
            if names:
                data["profiles"] = names
        steps = saved.get("steps")
        if isinstance(steps, dict):
            for name, _ in content.STEPS:
                data["steps"][name] = steps.get(name) is True
        if data["profile"] not in data["profiles"]:
            data["profile"] = data["profiles"][0]
        self.data = data
        self.settings = self._load_settings()
        for name in data["profiles"]:
            os.makedirs(self._profile_dir(name), exist_ok=True)

    def _load_settings(self):
        try:
            with open(self.settings_path, encoding="utf-8", errors="replace") as f:
                lines = f.read().splitlines()
        except FileNotFoundError:
            settings = list(content.DEFAULT_SETTINGS)
            self._write_settings(settings)
            return settings
        except OSError as e:
            warn("cannot read %s (%s); using the defaults" % (self.settings_path, e))
            return list(content.DEFAULT_SETTINGS)
        settings, seen = [], set()
        for line in lines:
            line = line.strip()
            if not line or line[0] in "#;[":
                continue
            key, sep, value = line.partition("=")
            key = key.strip()
            if sep and key and key not in seen:
                seen.add(key)
                settings.append((key, value.strip()))
        return settings

    def _write_settings(self, settings):
        lines = ["# Velocrash settings: written by the game and by its launcher."]
        lines += ["%s = %s" % kv for kv in settings]
        write_atomic(self.settings_path, "\n".join(lines) + "\n")

    def save(self):
        write_atomic(self.state_path, json.dumps(self.data, indent=2) + "\n")

    def _profile_dir(self, name):
        return os.path.join(self.work, "profiles", name)

    def _make_sample_saves(self):
        # A folder of saves to import, so that "new profile" can be tried by hand.
        root = os.path.join(self.work, "sample-saves")
        for name in ("BESLES-58013VC1", "BESLES-58013VC2", "BESLES-58013OPT"):
            folder = os.path.join(root, name)
            if not os.path.isdir(folder):
                os.makedirs(folder)
                with open(os.path.join(folder, "icon.sys"), "wb") as f:
                    f.write(b"PS2D" + bytes(60))
                with open(os.path.join(folder, name), "wb") as f:
                    f.write(bytes(8192))

    def sample_saves(self):
        return os.path.join(self.work, "sample-saves")

    # ---- news for the window ----

    def say(self, *lines):
        """Console output: one event holding the lines, each ended by a line feed."""
        if self.echo:
            for line in lines:
                print(line, flush=True)
        self.hub.emit({"lines": [line + "\n" for line in lines]})

    def changed(self):
        self.hub.emit({"state": True})

    # ---- state document ----

    def ready(self):
        return self.data["steps"]["game"] and bool(self.data["iso"])

    def state(self):
        with self.lock:
            d = self.data
            steps = {label: d["steps"][name] for name, label in content.STEPS}
            built = d["steps"]["game"]
            updated = d["version"] != content.VERSION_INSTALLED
            return {
                "steps": steps,
                "build": d["build"],
                "front": self.front,
                "iso": d["iso"],
                "profile": d["profile"],
                "profiles": list(d["profiles"]),
                "saves": self._profile_dir(d["profile"]),
                "settings_stamp": d["settings_stamp"],
                "settings": self.settings_json(),
                "table": content.TABLE,
                "version": d["version"],
                "work": self.work,
                "running": self.running,
                "phase": self.phase,
                "ready": self.ready(),
                "missing": "" if built else content.MISSING,
                "compiler": dict(content.COMPILER_PRESENT if d["steps"]["compiler"]
                                 else content.COMPILER_OFFER),
                "purge": content.PURGE if d["build_files"] and built else "",
                "updates": {
                    "behind": self.behind,
                    "note": self.note,
                    "new": content.NEXT_ENTRIES if self.behind else [],
                },
                "changelog": (content.NEXT_ENTRIES[:1] if updated else []) + content.CHANGELOG,
            }

    def settings_json(self):
        return [{"key": k, "value": v} for k, v in self.settings]

    # ---- tasks ----

    def wait(self, stop, seconds):
        """Sleep a simulated duration; Stop ends the job at once."""
        if stop.wait(max(0.0, seconds * self.speed)):
            raise Stopped()

    def set_phase(self, text):
        with self.lock:
            self.phase = text
        self.changed()

    def check_idle(self):
        """One job at a time; checked first, as it is the likeliest reason."""
        if self.task:
            raise ActionError("%s is running; wait for it or press Stop." % self.running)

    def start_task(self, running, phase, job):
        """Run job(stop) on a thread of its own; the answer already shows it
        running, in its first phase."""
        with self.lock:
            self.check_idle()
            stop = threading.Event()
            self.running, self.phase = running, phase
            thread = threading.Thread(target=self._run_task, args=(job, stop),
                                      name="task-" + running, daemon=True)
            self.task = (thread, stop)
        self.changed()
        thread.start()

    def _run_task(self, job, stop):
        try:
            job(stop)
        except Stopped:
            self.say("Stopped.")
        except Exception as e:  # a bug here must not leave the launcher "running"
            self.say("The demo launcher failed: %s" % e)
            warn("task failed: %r" % e)
        finally:
            with self.lock:
                self.task = None
                self.running = self.phase = ""
            self.changed()

    def stop_task(self):
        with self.lock:
            task = self.task
        if task:
            task[1].set()
            task[0].join(timeout=5)

    # ---- actions ----

    def act_state(self, body):
        return self.state()

    def act_front(self, body):
        with self.lock:
            self.front += 1
        self.changed()
        return self.state()

    def act_licence(self, body):
        self.say("Licence terms: %s. The demo launcher opens nothing; a real launcher "
                 "shows them in the browser." % content.COMPILER_OFFER["licence"])
        return {"ok": True}

    def _take_iso(self, body, required):
        """Accept the disc path sent with a command. It is stored before the
        answer, so that the window's field shows it when the answer arrives."""
        iso = body_text(body, "iso").strip()
        if iso and not iso.lower().endswith(".iso"):
            raise ActionError("That does not look like an ISO image: %s" % iso)
        if required and not iso and not self.data["iso"]:
            raise ActionError("Give the path of your Velocrash ISO first.")
        return iso

    def _store_iso(self, iso):
        if iso and iso != self.data["iso"]:
            self.data["iso"] = iso
            self.data["steps"]["disc"] = False     # a new disc must be checked again
            self.save()

    def act_download_compiler(self, body):
        with self.lock:
            self.check_idle()
            iso = self._take_iso(body, required=False)
            if self.data["steps"]["compiler"]:
                raise ActionError("The compiler toolchain is already installed.")
            self.start_task("Compiler download", "Downloading the compiler toolchain",
                            self._download)
            self._store_iso(iso)
        return self.state()

    def act_install(self, body):
        with self.lock:
            self.check_idle()
            iso = self._take_iso(body, required=True)
            if not self.data["steps"]["compiler"]:
                raise ActionError("Download the compiler toolchain first.")
            self.start_task("Build", "Checking the game disc", self._build)
            self._store_iso(iso)
        return self.state()

    def act_purge(self, body):
        with self.lock:
            self.check_idle()
            if not (self.data["build_files"] and self.data["steps"]["game"]):
                raise ActionError("There are no build files to delete.")
            self.start_task("Clean-up", "Deleting the build files", self._purge)
        return self.state()

    def act_select(self, body):
        name = body_text(body, "profile")
        with self.lock:
            if name not in self.data["profiles"]:
                raise ActionError("There is no profile named \u201c%s\u201d." % name)
            self.data["profile"] = name
            self.save()
        self.changed()
        return self.state()

    def act_open_profile(self, body):
        name = body_text(body, "profile")
        with self.lock:
            if name not in self.data["profiles"]:
                raise ActionError("There is no profile named \u201c%s\u201d." % name)
        self.say("Opening %s (the demo launcher opens no file manager)."
                 % self._profile_dir(name))
        return {"ok": True}

    def act_new_profile(self, body):
        name = body_text(body, "name").strip()
        saves = body_text(body, "saves")
        check_profile_name(name)
        with self.lock:
            if any(p.lower() == name.lower() for p in self.data["profiles"]):
                raise ActionError("A profile named \u201c%s\u201d already exists." % name)
            found = []
            if saves.strip():
                # Check the saves before anything is created: the window reports a
                # success as "the saves were copied", so none copied must be an error.
                folder = saves.strip()
                if not os.path.isdir(folder):
                    raise ActionError("The saves folder does not exist: %s" % folder)
                found = find_saves(folder)
                if not found:
                    raise ActionError(
                        "No saves were found in %s. Give a save folder (it holds icon.sys), "
                        "the folder above it, or a profile's folder." % folder)
            target = os.path.join(self._profile_dir(name), "memcard")
            fresh = not os.path.exists(self._profile_dir(name))
            try:
                os.makedirs(target, exist_ok=True)
                for src in found:
                    shutil.copytree(src, os.path.join(target, os.path.basename(src)),
                                    dirs_exist_ok=True)
            except OSError as e:
                if fresh:
                    shutil.rmtree(self._profile_dir(name), ignore_errors=True)
                raise ActionError("The profile could not be created: %s" % e)
            self.data["profiles"].append(name)
            self.data["profile"] = name
            self.save()
        if found:
            self.say("Profile \u201c%s\u201d created; %d save%s copied from %s."
                     % (name, len(found), "" if len(found) == 1 else "s", saves.strip()))
        else:
            self.say("Profile \u201c%s\u201d created." % name)
        self.changed()
        answer = self.state()
        answer["copied"] = len(found)
        return answer

    def act_play(self, body):
        name = body_text(body, "profile")
        with self.lock:
            self.check_idle()
            if not self.ready():
                raise ActionError("Build the game first: give the ISO, then generate "
                                  "the code and build the game.")
            name = name or self.data["profile"]
            if name not in self.data["profiles"]:
                raise ActionError("There is no profile named \u201c%s\u201d." % name)
            self.data["profile"] = name
            self.save()
            self.start_task("Game", "Velocrash is running with the profile \u201c%s\u201d." % name,
                            lambda stop: self._game(stop, name))
        return self.state()

    def act_stop(self, body):
        self.stop_task()
        return self.state()

    def act_check_updates(self, body):
        threading.Thread(target=self._check, name="check-updates", daemon=True).start()
        return {"ok": True}

    def act_update(self, body):
        with self.lock:
            self.check_idle()
            if not self.behind:
                raise ActionError("There is no update to apply; check for updates first.")
            self.start_task("Update", "Fetching the sources", self._update)
        return self.state()

    def act_settings(self, body):
        values = body.get("values")
        if not isinstance(values, dict) or not values:
            raise ActionError('"values" must be an object of setting names and texts.')
        with self.lock:
            current = dict(self.settings)
            for key, value in values.items():
                self._check_setting(key, value, current)
            self.settings = [(k, values.get(k, v)) for k, v in self.settings]
            self.data["settings_stamp"] += 1
            self._write_settings(self.settings)
            self.save()
            answer = {"settings_stamp": self.data["settings_stamp"],
                      "settings": self.settings_json()}
        self.changed()
        return answer

    def _check_setting(self, key, value, current):
        if key not in current:
            raise ActionError("The settings file has no setting named \u201c%s\u201d." % key)
        if not isinstance(value, str):
            raise ActionError("The value of %s must be a text." % key)
        if "\n" in value or "\r" in value:
            raise ActionError("The value of %s cannot hold a line break." % key)
        for row in content.table_rows():
            if key not in (row["key"], row.get("and")):
                continue
            bounds = row.get("range") or row.get("number")
            if bounds:
                lo, hi = bounds
                try:
                    n = int(value)
                except ValueError:
                    n = None
                if n is None or not lo <= n <= hi:
                    raise ActionError("%s takes a whole number from %d to %d, not \u201c%s\u201d."
                                      % (row["label"], lo, hi, value))
            elif "choice" in row or "select" in row:
                options = [str(o) for o in row.get("choice") or row.get("select")]
                if value not in options and value != current[key]:
                    raise ActionError("%s takes one of: %s." % (row["label"], ", ".join(options)))
            elif not row.get("text") and value not in ("true", "false"):
                raise ActionError("%s is a switch: true or false." % row["label"])

    # ---- simulated jobs ----

    def _finish(self, **changes):
        with self.lock:
            for name, value in changes.items():
                if name in self.data["steps"]:
                    self.data["steps"][name] = value
                else:
                    self.data[name] = value
            self.save()

    def _download(self, stop):
        total = 1146.0
        self.say("Downloading vlr-toolchain-2025.1-win64.zip (%.1f MB) into %s"
                 % (total, os.path.join(self.work, "compiler")))
        for i in range(1, 11):
            self.wait(stop, 0.25)
            done = total * i / 10
            self.say("  %7.1f MB of %.1f MB\t%3d%%\t%.1f MB/s" % (done, total, i * 10, 38.2 + i))
        self.set_phase("Unpacking the toolchain")
        for part in ("bin", "include", "lib", "share"):
            self.wait(stop, 0.2)
            self.say("Unpacking\t%s/\t%d files" % (part, 1200 + 731 * len(part)))
        self.set_phase("Checking the toolchain")
        self.wait(stop, 0.3)
        self.say("The compiler works: C++20, 64-bit target, 12 threads.",
                 "The compiler toolchain is ready.")
        self._finish(compiler=True)

    def _build(self, stop):
        with self.lock:
            iso = self.data["iso"]
        build = os.path.join(self.work, "build")
        self.say("Reading %s" % iso)
        self.wait(stop, 0.5)
        self.say("Volume VELOCRASH\t3 412 MB\t1 841 files",
                 "Boot file cdrom0:\\SLES_580.13;1: European version (SLES-58013), as expected.")
        self._finish(disc=True)
        self.set_phase("Generating the code")
        self.say("Analysing SLES_580.13: 9 412 functions, 2.1 MB of code.")
        self._say_function_map(stop)
        for i in range(1, 9):
            self.wait(stop, 0.3)
            self.say("\t[%3d%%]\tgenerated %d of 9412 functions\t(sub_%08x ... sub_%08x)"
                     % (i * 12, i * 1176, 0x104a20 + i * 0x4000, 0x104a20 + i * 0x4000 + 0x3ff8))
            if i == 4:
                self.say("warning: function sub_0023a1f0 reads the VU0 control register 31 "
                         "through an indirect jump table at 0x0023a2c4 (case 7 of 14); the "
                         "generated code falls back to the interpreter for this block, which is "
                         "slower but exact. This happens in three places of the original game "
                         "and does not affect play: the blocks belong to the debug menu, which "
                         "the retail build never enters.")
        self._finish(code=True)
        self.set_phase("Building the game")
        for i in range(1, 13):
            self.wait(stop, 0.3)
            unit = "gen_%04d" % (i * 20)
            self.say("[%3d/240]\t%s.cpp\t%d functions\t%.1f s"
                     % (i * 20, unit, 380 + 7 * i, 2.1 + i / 10))
            if i in (1, 7):
                self.say("c++ -std=c++20 -O2 -g0 -fno-strict-aliasing -fwrapv -ffp-contract=off "
                         "-DVLR_RETAIL=1 -DVLR_REGION_EU=1 -I%(b)s/include -I%(b)s/generated "
                         "-I%(w)s/source/runtime/include -include %(b)s/include/prelude.h "
                         "-MD -MF %(b)s/obj/%(u)s.d -c %(b)s/generated/%(u)s.cpp "
                         "-o %(b)s/obj/%(u)s.o"
                         % {"b": build, "w": self.work, "u": unit})
        self.set_phase("Linking")
        self.wait(stop, 0.4)
        self.say("Linking velocrash.exe (48.2 MB)",
                 "The game is built. Choose a save profile and press Play.")
        self._finish(game=True, build_files=True)

    def _purge(self, stop):
        self.say("Deleting %s ..." % os.path.join(self.work, "build", "obj"))
        self.wait(stop, 0.6)
        self.say("Deleted 18 432 files; 4.2 GB freed. The game stays playable.")
        self._finish(build_files=False)

    def _game(self, stop, profile):
        with self.lock:
            if not self.settings:
                # First launch: the game writes its settings file.
                self.settings = list(content.DEFAULT_SETTINGS)
                self.data["settings_stamp"] += 1
                self._write_settings(self.settings)
                self.save()
            settings = dict(self.settings)
        memcard = os.path.join(self._profile_dir(profile), "memcard", "Mcd001.ps2")
        self.say("[boot]\tSLES_580.13 (Europe), build %s" % self.data["build"],
                 "[gs]\t%s, %s\u00d7 internal resolution, vsync %s"
                 % (settings.get("resolution", "?"), settings.get("render_scale", "?"),
                    "on" if settings.get("vsync") == "true" else "off"),
                 "[spu]\t48000 Hz, %s, %s ms" % (settings.get("speakers", "stereo"),
                                                 settings.get("audio_latency", "60")),
                 "[mc]\tmemory card %s (%s MB)" % (memcard, settings.get("memcard_size", "8")))
        self.say(*content.GAME_TEXT_CHECK)
        levels = ["1-1 Sunken Pier", "1-2 Lantern Docks", "1-3 Rolling Barrels", "2-1 Ice Caves"]
        level, ticks = levels[0], 0
        while True:
            if stop.wait(max(0.05, 0.8 * self.speed)):
                break
            ticks += 1
            if ticks % 6 == 1:
                level = levels[(ticks // 6) % len(levels)]
                self.say("[game]\tlevel %s loaded in %.2f s" % (level, 0.6 + (ticks % 5) / 10))
            else:
                self.say("[perf]\t%.1f fps\t%.1f ms cpu\t%.1f ms gpu\t%s"
                         % (60.0 - (ticks % 3) * 0.1, 3.1 + (ticks % 4) / 10,
                            4.4 + (ticks % 7) / 10, level))
        self.say("[game]\tsaving to the memory card", "Velocrash closed (exit code 0).")
        # The game writes its settings file on exit, which the window sees as a newer stamp.
        with self.lock:
            self.settings = [(k, level.split(" ")[0] if k == "last_level" else v)
                             for k, v in self.settings]
            self.data["settings_stamp"] += 1
            self._write_settings(self.settings)
            self.save()

    def _check(self):
        self.say("Checking for updates ...")
        time.sleep(max(0.0, 0.8 * self.speed))
        with self.lock:
            self.checks += 1
            current = self.data["version"]
            stamp = time.strftime("%H:%M")
            if current == content.VERSION_INSTALLED and self.checks >= 2:
                self.behind = True
                self.note = "Version %s is available." % content.VERSION_NEXT
            else:
                self.behind = False
                self.note = "Up to date: version %s (checked at %s)." % (current, stamp)
            note = self.note
        self.say(note)
        self.changed()

    def _update(self, stop):
        self.say("Fetching version %s: 14 changes since %s."
                 % (content.VERSION_NEXT, self.data["version"]))
        self.wait(stop, 0.8)
        self.say(" 37 files changed, 1204 insertions(+), 388 deletions(-)")
        if self.data["steps"]["game"]:
            self.set_phase("Regenerating the code")
            for i in range(1, 4):
                self.wait(stop, 0.3)
                self.say("\t[%3d%%]\tregenerated %d of 212 changed functions" % (i * 33, i * 70))
            self.set_phase("Rebuilding the game")
            for i in range(1, 5):
                self.wait(stop, 0.3)
                self.say("[%2d/12]\tgen_%04d.cpp" % (i * 3, i * 17))
            self.say("Linking velocrash.exe (48.3 MB)")
        self.wait(stop, 0.2)
        with self.lock:
            self.behind = False
            self.note = "Updated to version %s." % content.VERSION_NEXT
        self._finish(version=content.VERSION_NEXT, build=content.BUILD_NEXT,
                     build_files=self.data["build_files"] or self.data["steps"]["game"])
        self.say("Updated to version %s." % content.VERSION_NEXT)

    # ---- bursts of output ----

    def _say_function_map(self, stop):
        """The code generator's map of every function: thousands of lines in a
        few events, as a real build prints them, for the console to keep up with."""
        batch = []
        for i in range(content.FUNCTION_COUNT):
            address = 0x104a20 + i * 0x38
            batch.append("  sub_%08x \u2192 gen_%04d.cpp\t%3d blocks\t%s"
                         % (address, i // 40, 3 + i % 29, content.FUNCTION_NOTES[i % len(content.FUNCTION_NOTES)]))
            if len(batch) == 500:
                self.say(*batch)
                batch = []
                if stop.is_set():
                    raise Stopped()
        if batch:
            self.say(*batch)

    ACTIONS = {
        "state": act_state,
        "front": act_front,
        "licence": act_licence,
        "download-compiler": act_download_compiler,
        "install": act_install,
        "purge": act_purge,
        "select": act_select,
        "open-profile": act_open_profile,
        "new-profile": act_new_profile,
        "play": act_play,
        "stop": act_stop,
        "check-updates": act_check_updates,
        "update": act_update,
        "settings": act_settings,
    }
