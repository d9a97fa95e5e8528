"""
+----------------------------------------------------------------------------+
| access_client.py — a screen reader's view of the window, for test_access   |
|                                                                            |
| Runs under the system's Python (pyatspi lives there) on the test's private |
| session bus; its argument is the window's process id. Reads one JSON command per line on standard input and writes  |
| one JSON line per answer, and one per event a reader hears (focus,         |
| announcements) as they come:                                               |
|   {"do": "applications"}              -> {"applications": [[name, pid]..]} |
|   {"do": "tree"}                      -> {"tree": {role, name, ...}}       |
|   {"do": "act", "role", "name", "action"} -> {"acted": true|false}         |
|   {"do": "focus", "role", "name"}     -> {"focused": true|false}           |
|   events                              -> {"event": type, "role", "name",   |
|                                           "text"}                          |
+----------------------------------------------------------------------------+
"""

import json
import sys

import pyatspi
from gi.repository import GLib

TITLE = "Velocrash Rebuilt"
PROGRAM = int(sys.argv[1])      # the pid of the window's process


def say(message):
    sys.stdout.write(json.dumps(message) + "\n")
    sys.stdout.flush()


def window():
    """The window of the program under test (by its pid: a window of an earlier test may still
    be listed for a moment)."""
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name == TITLE and app.get_process_id() == PROGRAM and app.childCount:
            return app.getChildAtIndex(0)
    return None


def node(o):
    """Everything a reader reads of one object, with its children."""
    entry = {"role": o.getRoleName(), "name": o.name,
             "states": sorted(pyatspi.stateToString(s) for s in o.getState().getStates())}
    for query, read in (("queryText", lambda t: {"text": t.getText(0, -1)}),
                        ("queryValue", lambda v: {"value": v.currentValue, "minimum": v.minimumValue,
                                                  "maximum": v.maximumValue}),
                        ("queryAction", lambda a: {"actions": [a.getName(i) for i in range(a.nActions)]})):
        try:
            entry.update(read(getattr(o, query)()))
        except NotImplementedError:
            pass
    entry["children"] = [node(o.getChildAtIndex(i)) for i in range(o.childCount)]
    return entry


def find(o, role, name):
    if o.getRoleName() == role and o.name == name:
        return o
    for i in range(o.childCount):
        found = find(o.getChildAtIndex(i), role, name)
        if found is not None:
            return found
    return None


def command(line):
    request = json.loads(line)
    frame = window()
    if request["do"] == "applications":
        say({"applications": [[app.name, app.get_process_id()]
                              for app in pyatspi.Registry.getDesktop(0) if app is not None]})
        return
    if request["do"] == "tree":
        say({"tree": node(frame) if frame is not None else None})
        return
    target = find(frame, request["role"], request["name"]) if frame is not None else None
    if request["do"] == "act":
        done = False
        if target is not None:
            action = target.queryAction()
            names = [action.getName(i) for i in range(action.nActions)]
            if request["action"] in names:
                done = bool(action.doAction(names.index(request["action"])))
        say({"acted": done})
    elif request["do"] == "focus":
        say({"focused": bool(target is not None and target.queryComponent().grabFocus())})


def heard(event):
    try:
        role, name = event.source.getRoleName(), event.source.name
    except Exception:  # a source gone by now: the event still counts
        role, name = None, None
    if event.type.startswith("object:state-changed:focused") and not event.detail1:
        return
    say({"event": event.type, "role": role, "name": name,
         "text": event.any_data if isinstance(event.any_data, str) else None})


def stdin_ready(source, condition):
    line = sys.stdin.readline()
    if not line:
        pyatspi.Registry.stop()
        return False
    try:
        command(line)
    except Exception as e:  # the test reads the failure as an answer
        say({"error": repr(e)})
    return True


def main():
    for kind in ("focus:", "object:state-changed:focused", "object:announcement"):
        pyatspi.Registry.registerEventListener(heard, kind)
    GLib.io_add_watch(sys.stdin, GLib.IO_IN | GLib.IO_HUP, stdin_ready)
    say({"ready": True})
    pyatspi.Registry.start()


if __name__ == "__main__":
    main()
