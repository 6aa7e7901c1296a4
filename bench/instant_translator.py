#!/usr/bin/env python3
"""An instantly answering imitation of a LibreTranslate server for the benchmarks.

GET  /languages -> [{"code": "en", "targets": ["zh-Hans"]}]
POST /translate -> {"translatedText": [...]}  (one "译:<text>" per input text)

Usage: instant_translator.py [PORT]   (0 or nothing: a free port)
Prints "PORT <n>" on its first line, then serves until killed.
Every request is counted in the file named by $INSTANT_TRANSLATOR_LOG (if set):
one line "<unix time> <path> <number of texts>".
"""
import json
import os
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOG = os.environ.get("INSTANT_TRANSLATOR_LOG")


def log(path, n):
    if LOG:
        with open(LOG, "a") as f:
            f.write(f"{time.time():.6f} {path} {n}\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def _reply(self, obj, code=200):
        body = json.dumps(obj, ensure_ascii=False).encode("utf-8")
        self.send_response(code)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        if self.path.split("?")[0] == "/languages":
            log("/languages", 0)
            self._reply([{"code": "en", "name": "English", "targets": ["zh-Hans"]},
                         {"code": "zh-Hans", "name": "Chinese", "targets": ["en"]}])
        else:
            self._reply({"error": "not found"}, 404)

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        raw = self.rfile.read(length) if length else b""
        if self.path.split("?")[0] != "/translate":
            self._reply({"error": "not found"}, 404)
            return
        try:
            q = json.loads(raw.decode("utf-8") or "{}").get("q", "")
        except ValueError:
            self._reply({"error": "bad json"}, 400)
            return
        if isinstance(q, list):
            log("/translate", len(q))
            self._reply({"translatedText": ["译:" + str(t) for t in q]})
        else:
            log("/translate", 1)
            self._reply({"translatedText": "译:" + str(q)})

    def log_message(self, *args):
        pass


def main():
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 0
    server = ThreadingHTTPServer(("127.0.0.1", port), Handler)
    server.daemon_threads = True
    print(f"PORT {server.server_address[1]}", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
