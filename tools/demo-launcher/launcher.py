#!/usr/bin/env python3
"""
+----------------------------------------------------------------------------+
| launcher.py — the demo launcher of Velocrash Rebuilt                       |
|                                                                            |
| A stand-in for the real launcher, standard library only: it serves the     |
| launcher's HTTP interface on 127.0.0.1 (commands as POST /api/<action>,    |
| the event stream as GET /events), writes the session file, and simulates   |
| the launcher's work so that the window can be run, shown and tested        |
| without a real installation. A few test-only actions misbehave on purpose. |
|                                                                            |
|   python launcher.py --port N --token T --session PATH   (as the window)   |
|   python launcher.py                                     (by hand)         |
+----------------------------------------------------------------------------+

Sections: settings from the environment · Windows paths · event hub · HTTP · actions · main
Environment: VLR_DEMO_SPEED, VLR_DEMO_KEEPALIVE, VLR_DEMO_LOG, VLR_DEMO_BROWSE,
VLR_DEMO_BROWSE_SAVES, VLR_DEMO_BROWSE_DELAY, VLR_PORTABLE (see --help).
"""

import argparse
import hmac
import http
import json
import os
import queue
import re
import secrets
import signal
import socketserver
import string
import sys
import tempfile
import threading
import time
from urllib.parse import parse_qs, urlsplit

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import demo_model  # noqa: E402  (found beside this file)
from demo_model import ActionError, body_text, warn, write_atomic  # noqa: E402

MAX_HEAD = 65536
MAX_BODY = 4 * 1024 * 1024
REQUEST_TIMEOUT = 30.0      # a client that stops sending mid-request is dropped


# ---- settings from the environment ----

def env_float(name, default, minimum, maximum=1e9):
    text = os.environ.get(name, "").strip()
    if not text:
        return default
    try:
        value = float(text)
    except ValueError:
        value = None
    if value is None or not minimum <= value <= maximum:
        warn("%s=%r is not a number from %g to %g; using %g" % (name, text, minimum, maximum,
                                                                 default))
        return default
    return value


# ---- Windows paths (the window under Wine starts this as a native program) ----

def host_path(path, prefix=None):
    """A path as this system can open it. The window under Wine hands a native
    interpreter Windows paths ("C:\\users\\...\\Temp\\x.json"); on POSIX they are
    mapped the way Wine maps them: Z: is the root, other drive letters go
    through the prefix's dosdevices links. Anything else stays as it is."""
    if os.name == "nt":
        return path
    if path.startswith("\\\\?\\") or path.startswith("\\\\.\\"):
        path = path[4:]
    if len(path) < 3 or path[0] not in string.ascii_letters or path[1] != ":" \
            or path[2] not in "\\/":
        return path
    rest = [part for part in re.split(r"[\\/]+", path[3:]) if part]
    drive = path[0].lower()
    if drive == "z":
        return "/" + "/".join(rest)
    if prefix is None:
        prefix = os.environ.get("WINEPREFIX") or os.path.join(os.path.expanduser("~"), ".wine")
    root = os.path.realpath(os.path.join(prefix, "dosdevices", drive + ":"))
    return os.path.join(root, *rest)


def default_work():
    portable = host_path(os.environ.get("VLR_PORTABLE", ""))
    if portable:
        return os.path.join(portable, "work")
    return os.path.join(tempfile.gettempdir(), "vlr-demo-work")


# ---- event hub ----

class EventHub:
    """Fans every event out to the open event streams, each with its own queue."""

    def __init__(self):
        self._lock = threading.Lock()
        self._queues = []

    def subscribe(self):
        q = queue.SimpleQueue()
        with self._lock:
            self._queues.append(q)
        return q

    def unsubscribe(self, q):
        with self._lock:
            if q in self._queues:
                self._queues.remove(q)

    def emit(self, message):
        data = b"data: " + json.dumps(message, ensure_ascii=False).encode("utf-8", "replace")
        data += b"\n\n"
        with self._lock:
            for q in self._queues:
                q.put(data)

    def emit_raw(self, data):
        """Bytes for every open stream exactly as given, framing or not."""
        with self._lock:
            for q in self._queues:
                q.put(data)

    def wait_for_readers(self, backlog, deadline):
        """Wait while some stream has more than `backlog` events not yet sent
        (a flood goes as fast as the window reads, not faster)."""
        while time.monotonic() < deadline:
            with self._lock:
                longest = max((q.qsize() for q in self._queues), default=0)
            if longest <= backlog:
                return
            time.sleep(0.002)

    def drop_all(self):
        """Ask every stream to close; returns how many were open."""
        with self._lock:
            queues, self._queues = self._queues, []
        for q in queues:
            q.put(None)
        return len(queues)


# ---- HTTP ----

class BadRequest(Exception):
    def __init__(self, status, text):
        super().__init__(text)
        self.status = status


class Raw:
    """Bytes written as the whole response, then the connection closes and
    `after` (if any) runs."""

    def __init__(self, data, after=None):
        self.data = data
        self.after = after


def http_answer(status, body, content_type="application/json"):
    if not isinstance(body, bytes):
        body = json.dumps(body, ensure_ascii=False).encode("utf-8", "replace")
    try:
        reason = http.HTTPStatus(status).phrase
    except ValueError:
        reason = "Status"
    head = ("HTTP/1.1 %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\n"
            "Connection: close\r\n\r\n" % (status, reason, content_type, len(body)))
    return head.encode("latin-1") + body


def read_request(conn):
    """(method, target, headers, body) of one request, or None when the peer
    closed before sending a whole head."""
    data = b""
    while b"\r\n\r\n" not in data:
        if len(data) > MAX_HEAD:
            raise BadRequest(431, "The request head is too long.")
        chunk = conn.recv(65536)
        if not chunk:
            return None
        data += chunk
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    parts = lines[0].split(" ")
    if len(parts) != 3 or not parts[2].startswith("HTTP/"):
        raise BadRequest(400, "Not an HTTP request.")
    headers = {}
    for line in lines[1:]:
        name, sep, value = line.partition(":")
        if sep:
            headers[name.strip().lower()] = value.strip()
    if "transfer-encoding" in headers:
        raise BadRequest(411, "Send the body with a Content-Length.")
    try:
        length = int(headers.get("content-length", "0"))
    except ValueError:
        raise BadRequest(400, "The Content-Length is not a number.")
    if length < 0 or length > MAX_BODY:
        raise BadRequest(413, "The request body is too large.")
    while len(body) < length:
        chunk = conn.recv(min(65536, length - len(body)))
        if not chunk:
            return None
        body += chunk
    return parts[0], parts[1], headers, body[:length]


class Handler(socketserver.BaseRequestHandler):
    def handle(self):
        conn = self.request
        conn.settimeout(REQUEST_TIMEOUT)
        try:
            request = read_request(conn)
        except BadRequest as e:
            conn.sendall(http_answer(e.status, {"error": str(e)}))
            return
        if request is not None:
            self.server.app.serve(conn, *request)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    block_on_close = False
    allow_reuse_address = os.name != "nt"   # on Windows it would let others share the port
    request_queue_size = 128

    def __init__(self, port, app):
        self.app = app
        super().__init__(("127.0.0.1", port), Handler)

    def handle_error(self, request, client_address):
        # A peer that went away mid-answer is its own business.
        error = sys.exc_info()[1]
        if not isinstance(error, OSError):
            warn("request failed: %r" % (error,))


# ---- actions ----

def int_member(body, name, lo, hi):
    value = body.get(name)
    if isinstance(value, bool) or not isinstance(value, (int, float)) or not lo <= value <= hi:
        raise ActionError('"%s" must be a number from %d to %d.' % (name, lo, hi))
    return value


def crash():
    try:
        import resource
        resource.setrlimit(resource.RLIMIT_CORE, (0, 0))   # no core file for a planned crash
    except (ImportError, ValueError, OSError):
        pass
    if hasattr(signal, "SIGSEGV") and os.name != "nt":
        os.kill(os.getpid(), signal.SIGSEGV)
    os.abort()


class App:
    def __init__(self, model, hub, token, keepalive):
        self.model = model
        self.hub = hub
        self.token = token.encode("utf-8")
        self.keepalive = keepalive
        self.log_lock = threading.Lock()
        self.fail_lock = threading.Lock()
        self.fail_next = {}         # action -> error text of its next answer (test-fail-next)
        self.stall_next = 0         # commands still to be held unanswered (test-stall-next)
        self.answer_next = {}       # action -> raw bytes of its next answer (test-answer-next)
        self.tests = {
            "test-fail-next": self.test_fail_next,
            "test-exit": self.test_exit,
            "test-crash": self.test_crash,
            "test-stall": self.test_stall,
            "test-raw": self.test_raw,
            "test-drop-events": self.test_drop_events,
            "test-malformed": self.test_malformed,
            "test-status": self.test_status,
            "test-lines": self.test_lines,
            "test-flood": self.test_flood,
            "test-stall-next": self.test_stall_next,
            "test-answer-next": self.test_answer_next,
            "test-raw-event": self.test_raw_event,
            "browse": self.browse,
            "browse-saves": self.browse_saves,
        }

    def serve(self, conn, method, target, headers, body):
        url = urlsplit(target)
        if url.path == "/events" and method == "GET":
            given = parse_qs(url.query).get("t", [""])[0].encode("utf-8", "replace")
            if not hmac.compare_digest(given, self.token):
                conn.sendall(http_answer(403, {"error": "Wrong or missing token."}))
            else:
                self.stream(conn)
        elif url.path.startswith("/api/"):
            if method != "POST":
                conn.sendall(http_answer(405, {"error": "Send commands with POST."}))
                return
            action = url.path[len("/api/"):]
            token = headers.get("x-vlr-token", "").encode("latin-1")
            token_ok = hmac.compare_digest(token, self.token)
            self.log(action, body, token_ok)
            if token_ok and self.misbehave(conn, action):
                return
            if not token_ok:
                answer = {"error": "This launcher refused the command: the access token is "
                                   "missing or wrong (the launcher serves another window)."}
            else:
                answer = self.run(action, body)
            if isinstance(answer, Raw):
                conn.sendall(answer.data)
                conn.close()
                if answer.after:
                    answer.after()
            else:
                conn.sendall(http_answer(200, answer))
        elif url.path == "/" and method == "GET":
            conn.sendall(http_answer(200, self.about().encode("utf-8"),
                                     "text/plain; charset=utf-8"))
        else:
            conn.sendall(http_answer(404, {"error": "Nothing here: %s %s" % (method, url.path)}))

    def run(self, action, raw):
        try:
            try:
                text = raw.decode("utf-8")
            except UnicodeDecodeError:
                raise ActionError("The request body is not valid UTF-8.")
            try:
                body = json.loads(text) if text.strip() else {}
            except ValueError as e:
                raise ActionError("The request body is not valid JSON: %s." % e)
            if not isinstance(body, dict):
                raise ActionError("The request body must be a JSON object.")
            with self.fail_lock:
                failure = self.fail_next.pop(action, None)
            if failure is not None:
                return {"error": failure}
            if action in self.tests:
                return self.tests[action](body)
            act = demo_model.Model.ACTIONS.get(action)
            if act is None:
                raise ActionError("The launcher knows no action \u201c%s\u201d." % action)
            return act(self.model, body)
        except ActionError as e:
            return {"error": str(e)}
        except Exception as e:  # a bug in the demo still gets an answer
            warn("%s failed: %r" % (action, e))
            return {"error": "The demo launcher failed on %s: %s" % (action, e)}

    def stream(self, conn):
        q = self.hub.subscribe()
        try:
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\n"
                         b"Cache-Control: no-cache\r\nConnection: close\r\n\r\n")
            while True:
                try:
                    item = q.get(timeout=self.keepalive)
                except queue.Empty:
                    item = b": keep-alive\n\n"
                if item is None:
                    break
                conn.sendall(item)
        except OSError:
            pass    # the window went away; it reconnects on its own
        finally:
            self.hub.unsubscribe(q)

    def log(self, action, body, token_ok):
        path = os.environ.get("VLR_DEMO_LOG", "")
        if not path:
            return
        line = json.dumps({"action": action, "body": body.decode("utf-8", "surrogateescape"),
                           "token_ok": token_ok}) + "\n"
        with self.log_lock:
            try:
                with open(path, "a", encoding="utf-8") as f:
                    f.write(line)
            except OSError as e:
                warn("cannot write the request log %s: %s" % (path, e))

    def about(self):
        names = sorted(demo_model.Model.ACTIONS) + sorted(self.tests)
        return ("Velocrash Rebuilt demo launcher\n\n"
                "Commands: POST /api/<action> with the header X-VLR-Token and a JSON body.\n"
                "Events:   GET /events?t=<token>\n"
                "Work folder: %s\n\nActions: %s\n" % (self.model.work, ", ".join(names)))

    # ---- dialogs without a dialog ----

    def _browse(self, variable, default):
        time.sleep(env_float("VLR_DEMO_BROWSE_DELAY", 0.0, 0.0, 86400.0))
        return {"path": os.environ.get(variable, default)}

    def browse(self, body):
        home = os.path.expanduser("~")
        return self._browse("VLR_DEMO_BROWSE",
                            os.path.join(home, "Games", "Velocrash (Europe).iso"))

    def browse_saves(self, body):
        return self._browse("VLR_DEMO_BROWSE_SAVES", self.model.sample_saves())

    # ---- test-only actions: misbehave on purpose ----

    def test_exit(self, body):
        code = int(int_member(body, "code", 0, 255))

        def leave():
            time.sleep(0.05)
            os._exit(code)
        return Raw(http_answer(200, {"ok": True}), after=leave)

    def test_crash(self, body):
        def die():
            time.sleep(0.05)
            crash()
        return Raw(http_answer(200, {"ok": True}), after=die)

    def test_fail_next(self, body):
        """The next command of that action answers this error instead of
        running (a command failure on demand, for the window's notice)."""
        action = body_text(body, "action")
        error = body_text(body, "error")
        if not action or not error:
            raise ActionError('"action" and "error" must be non-empty texts.')
        with self.fail_lock:
            self.fail_next[action] = error
        return {"ok": True}

    def test_stall(self, body):
        time.sleep(int_member(body, "seconds", 0, 3600))
        return {"ok": True}

    def test_raw(self, body):
        raw = body.get("raw")
        if not isinstance(raw, str):
            raise ActionError('"raw" must be a text.')
        return Raw(raw.encode("utf-8", "replace"))

    def test_drop_events(self, body):
        return {"ok": True, "dropped": self.hub.drop_all()}

    def test_malformed(self, body):
        return Raw(http_answer(200, b'{"steps": {"Game built": tru, "error": '))

    def test_status(self, body):
        status = int(int_member(body, "status", 100, 999))
        return Raw(http_answer(status, {"error": "Test answer with status %d." % status}))

    def test_lines(self, body):
        event = {}
        if "lines" in body:
            lines = body["lines"]
            if not isinstance(lines, list) or not all(isinstance(x, str) for x in lines):
                raise ActionError('"lines" must be a list of texts.')
            event["lines"] = lines
        if "state" in body:
            if not isinstance(body["state"], bool):
                raise ActionError('"state" must be true or false.')
            event["state"] = body["state"]
        self.hub.emit(event)
        return {"ok": True}


    # ---- test-only actions for a window that must survive its launcher ----

    def misbehave(self, conn, action):
        """Holds or garbles a command of the window as test-stall-next and
        test-answer-next asked; True when the command got no ordinary answer."""
        if action.startswith("test-"):
            return False
        with self.fail_lock:
            stall = self.stall_next > 0
            if stall:
                self.stall_next -= 1
            raw = None if stall else self.answer_next.pop(action, None)
        if stall:
            # Accepted and read, never answered: wait for the window to give up.
            conn.settimeout(None)
            try:
                while conn.recv(4096):
                    pass
            except OSError:
                pass
            return True
        if raw is not None:
            conn.sendall(raw)
            return True
        return False

    def test_flood(self, body):
        """Console output as fast as the window takes it: "megabytes" of
        numbered lines ("flood 00000001 xxx..."), "line_bytes" each, in events
        of about "event_bytes" (default 64 KiB; more than the megabytes: all in
        one event), then the line "flood done"."""
        total = int(int_member(body, "megabytes", 1, 4096)) * 1000 * 1000
        width = int(body.get("line_bytes", 100)) if isinstance(body.get("line_bytes", 100), int) else 100
        width = max(16, min(width, 60000))
        event_bytes = int(int_member(body, "event_bytes", 1024, 1 << 40)) if "event_bytes" in body else 65536

        def pour():
            sent, number = 0, 0
            deadline = time.monotonic() + 600
            while sent < total and time.monotonic() < deadline:
                lines, size = [], 0
                while size < event_bytes and sent + size < total:
                    number += 1
                    line = ("flood %08d " % number).ljust(width - 1, "x") + "\n"
                    lines.append(line)
                    size += len(line)
                self.hub.wait_for_readers(8, deadline)
                self.hub.emit({"lines": lines})
                sent += size
            self.hub.emit({"lines": ["flood done %d\n" % number]})
        threading.Thread(target=pour, daemon=True).start()
        return {"ok": True}

    def test_stall_next(self, body):
        """The next "count" commands of the window are accepted and read but
        never answered."""
        with self.fail_lock:
            self.stall_next = int(int_member(body, "count", 0, 1000))
        return {"ok": True}

    def test_answer_next(self, body):
        """The next command "action" is answered with the bytes "hex" (any
        bytes at all: garbage, a cut head, bare line feeds) and closed."""
        action = body_text(body, "action")
        try:
            raw = bytes.fromhex(body_text(body, "hex"))
        except ValueError:
            raise ActionError('"hex" must be hexadecimal digits.')
        if not action:
            raise ActionError('"action" must be a non-empty text.')
        with self.fail_lock:
            self.answer_next[action] = raw
        return {"ok": True}

    def test_raw_event(self, body):
        """The bytes "hex" on every open event stream, exactly as given."""
        try:
            raw = bytes.fromhex(body_text(body, "hex"))
        except ValueError:
            raise ActionError('"hex" must be hexadecimal digits.')
        self.hub.emit_raw(raw)
        return {"ok": True}


# ---- main ----

class Parser(argparse.ArgumentParser):
    def error(self, message):
        # Exit code 2 would tell the window to close quietly; a bad start is 1.
        self.print_usage(sys.stderr)
        self.exit(1, "%s: error: %s\n" % (self.prog, message))


def parse_args(argv):
    p = Parser(
        prog="launcher.py",
        description="Demo launcher of Velocrash Rebuilt: serves the launcher interface on "
                    "127.0.0.1 and simulates the installation, the game and updates.",
        epilog="Environment: VLR_DEMO_SPEED (time factor of the simulated jobs, default 1; "
               "0.05 is twenty times faster), VLR_DEMO_KEEPALIVE (seconds between keep-alive "
               "comments, default 5), VLR_DEMO_LOG (file that gets one JSON line per command), "
               "VLR_DEMO_BROWSE / VLR_DEMO_BROWSE_SAVES (path that the file dialogs answer; "
               "empty = cancelled), VLR_DEMO_BROWSE_DELAY (seconds the dialogs stay open), "
               "VLR_PORTABLE (its work subfolder is the default work folder).")
    p.add_argument("--port", type=int, default=0,
                   help="TCP port on 127.0.0.1 (default: any free port)")
    p.add_argument("--token", default="", help="access token (default: a random one)")
    p.add_argument("--session", default="",
                   help="session file to write with the port and the token")
    p.add_argument("--work", default="", help="work folder (default: %s)" % default_work())
    p.add_argument("--echo", action="store_true", help="also print the console output")
    args = p.parse_args(argv)
    args.session, args.work = host_path(args.session), host_path(args.work)
    if not 0 <= args.port <= 65535:
        p.error("--port must be from 0 to 65535")
    return args


def remove_session(path, port, token):
    """Remove the session file, unless a newer launcher has taken it over."""
    try:
        with open(path, encoding="utf-8") as f:
            saved = json.load(f)
        if saved.get("port") == port and saved.get("token") == token:
            os.remove(path)
    except (OSError, ValueError, AttributeError):
        pass


def main(argv=None):
    args = parse_args(argv)
    token = args.token or secrets.token_hex(16)
    work = os.path.abspath(args.work or default_work())
    hub = EventHub()
    try:
        model = demo_model.Model(work, hub, env_float("VLR_DEMO_SPEED", 1.0, 0.0, 1000.0),
                                 args.echo)
    except OSError as e:
        warn("cannot use the work folder %s: %s" % (work, e))
        return 1
    app = App(model, hub, token, env_float("VLR_DEMO_KEEPALIVE", 5.0, 0.01, 3600.0))
    try:
        server = Server(args.port, app)
    except OSError as e:
        warn("cannot listen on 127.0.0.1:%d: %s" % (args.port, e))
        return 1
    port = server.server_address[1]
    if args.session:
        try:
            write_atomic(args.session, json.dumps({"port": port, "token": token,
                                                   "pid": os.getpid()}))
        except OSError as e:
            warn("cannot write the session file %s: %s" % (args.session, e.strerror or e))
            server.server_close()
            return 1
    warn("listening on http://127.0.0.1:%d/ (work folder %s); Ctrl+C stops it" % (port, work))
    if not args.session and sys.stdout:
        print("URL:      http://127.0.0.1:%d/\nToken:    %s\n"
              "Events:   curl -N 'http://127.0.0.1:%d/events?t=%s'\n"
              "Command:  curl -s -H 'X-VLR-Token: %s' -d '{}' http://127.0.0.1:%d/api/state"
              % (port, token, port, token, token, port), flush=True)

    def on_term(signum, frame):
        raise KeyboardInterrupt
    if hasattr(signal, "SIGTERM"):
        signal.signal(signal.SIGTERM, on_term)
    try:
        server.serve_forever(poll_interval=0.5)
    except KeyboardInterrupt:
        pass
    finally:
        hub.drop_all()
        server.server_close()
        if args.session:
            remove_session(args.session, port, token)
    warn("stopped")
    return 0


if __name__ == "__main__":
    sys.exit(main())
