"""
+----------------------------------------------------------------------------+
| serve_files.py — a local download server for the first start              |
|                                                                            |
| Serves the files of one folder on 127.0.0.1 (a free port, written to       |
| --port-file) with their length, so the program's first start can fetch    |
| source.zip from it through VLR_SOURCE_URL. --delay spreads each download   |
| over that many seconds, so the progress window can be watched. Stdlib     |
| only; used by scripts/run and the end-to-end tests.                        |
+----------------------------------------------------------------------------+
"""

import argparse
import http.server
import os
import socketserver
import sys
import time


def make_handler(folder, delay):
    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            name = os.path.basename(self.path.split("?", 1)[0])
            path = os.path.join(folder, name)
            if not name or not os.path.isfile(path):
                body = b"<html><body><h1>404 Not Found</h1></body></html>"
                self.send_response(404)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                return
            with open(path, "rb") as f:
                data = f.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/zip")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            pieces = 20 if delay > 0 else 1
            step = (len(data) + pieces - 1) // pieces or 1
            for start in range(0, len(data), step):
                self.wfile.write(data[start:start + step])
                self.wfile.flush()
                if delay > 0:
                    time.sleep(delay / pieces)

        def log_message(self, *args):
            pass

    return Handler


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main(argv=None):
    p = argparse.ArgumentParser(description="Serve a folder's files on 127.0.0.1.")
    p.add_argument("--folder", required=True)
    p.add_argument("--port-file", required=True, help="where to write the port")
    p.add_argument("--delay", type=float, default=0.0, help="seconds per download")
    args = p.parse_args(argv)
    server = Server(("127.0.0.1", 0), make_handler(os.path.abspath(args.folder), args.delay))
    with open(args.port_file + ".tmp", "w", encoding="ascii") as f:
        f.write(str(server.server_address[1]))
    os.replace(args.port_file + ".tmp", args.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
