#!/usr/bin/python3
"""Simulator of the education platform's HTTPS service, as far as the console
uses it: the sign-in with the lesson schedule and the installer download.

Accounts, passwords and schedules come from a JSON file (see
demo-accounts.json). Texts are written there in plain UTF-8; the simulator
sends them Base64-encoded as the platform does. A lesson's "day" (days from
today, the real one or the one --today fixes) and "time" give its start; "LessionTime" given as text is sent as it
is, and the members of a lesson's "raw" object are sent verbatim (to play
odd answers). An account may override "version", force a "resultCode", or
switch on "delay" (seconds), "broken" (truncated JSON) or "drop" (close the
connection without an answer) for its own sign-ins.

It listens on 127.0.0.0/8 only and prints "platform-sim listening on
HOST:PORT" once it accepts connections (port 0 picks a free port).
"""

import argparse
import base64
import datetime
import ipaddress
import json
import os
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOGIN_PATH = "/web/voPerson/login-vo"
DOWNLOAD_PREFIX = "/download/"


def b64(text):
    return base64.b64encode(str(text).encode("utf-8")).decode("ascii")


def now_text(moment):
    return moment.strftime("%Y-%m-%d %H:%M:%S")


class Platform:
    """What the simulator answers; read once from the accounts file."""

    def __init__(self, args):
        with open(args.accounts, encoding="utf-8") as f:
            self.config = json.load(f)
        self.args = args
        self.version = args.version or self.config.get("version", "0.1.0.1")
        self.server_ip = self.config.get("serverIp", "127.0.0.1")
        self.server_port = self.config.get("serverPort", 8202)
        self.accounts = {}
        for account in self.config.get("accounts", []):
            self.accounts[int(account["userID"])] = account
        if args.installer:
            with open(args.installer, "rb") as f:
                self.installer = f.read()
        else:
            # A recognisable stand-in of the requested size.
            pattern = b"setupVO stand-in installer\n"
            size = args.installer_size
            self.installer = (pattern * (size // len(pattern) + 1))[:size]
        self.url = args.url or self.config.get("url", "")
        self.requests = 0
        self.lock = threading.Lock()

    def now(self):
        """The platform's clock: the fixed moment of --today, else the real one."""
        if self.args.today:
            return datetime.datetime.strptime(self.args.today, "%Y-%m-%d %H:%M:%S")
        return datetime.datetime.now()

    def installer_url(self, host, port):
        return self.url or "https://%s:%d%ssetupVO.exe" % (host, port, DOWNLOAD_PREFIX)

    def lesson(self, entry, today):
        out = {}
        if "LessionTime" in entry:
            out["LessionTime"] = entry["LessionTime"]
        else:
            day = today + datetime.timedelta(days=int(entry.get("day", 0)))
            out["LessionTime"] = "%s %s" % (day.strftime("%Y-%m-%d"), entry.get("time", "08:00:00"))
        out["CreateTime"] = entry.get("CreateTime", now_text(self.now()))
        for key in ("ID", "LessionNO", "continueMinutes", "allowLive", "allowUpload", "liveToken"):
            if key in entry:
                out[key] = entry[key]
        for key in ("Subject", "Volume", "TeacherName", "LessionName", "Grade", "Version",
                    "SchoolName"):
            if key in entry:
                out[key] = b64(entry[key])
        out.update(entry.get("raw", {}))
        return out

    def login(self, request, host, port):
        """(behaviour, answer object): behaviour is None, "broken" or "drop"."""
        try:
            body = json.loads(request)
            user_id = int(body["userID"])
            password = str(body["password"])
        except (ValueError, KeyError, TypeError):
            return None, {"resultCode": "201", "resultMsg": "失败"}
        account = self.accounts.get(user_id)
        if account is None or str(account.get("password", "")) != password:
            return None, {"resultCode": "302", "resultMsg": "账号错误"}
        behaviour = None
        if account.get("broken") or self.args.broken_json:
            behaviour = "broken"
        if account.get("drop") or self.args.drop:
            behaviour = "drop"
        delay = float(account.get("delay", self.args.delay))
        if delay > 0:
            time.sleep(delay)
        state = account.get("state", "ok")
        forced = account.get("resultCode")
        if forced is not None and str(forced) != "200":
            return behaviour, {"resultCode": str(forced), "resultMsg": ""}
        if state == "frozen":
            return behaviour, {"resultCode": "301", "resultMsg": "本账号已冻结"}
        if state == "noServer":
            return behaviour, {"resultCode": "400", "resultMsg": "没有相匹配的服务器"}
        if state == "noPermission":
            return behaviour, {"resultCode": "500", "resultMsg": "本账号无此权限"}
        moment = self.now()
        today = moment.date()
        answer = {
            "resultCode": "200",
            "resultMsg": "成功",
            "currentDate": now_text(moment),
            "version": str(account.get("version", self.version)),
            "url": self.installer_url(host, port),
            "serverIp": account.get("serverIp", self.server_ip),
            "serverPort": account.get("serverPort", self.server_port),
            "name": b64(account.get("name", "")),
            "areaName": b64(account.get("areaName", "")),
        }
        if not account.get("noData"):
            answer["data"] = [self.lesson(entry, today) for entry in account.get("lessons", [])]
        return behaviour, answer


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "platform-sim"

    def log_message(self, fmt, *args):
        if not self.server.quiet:
            sys.stderr.write("platform-sim: %s\n" % (fmt % args))

    def send_body(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_POST(self):
        platform = self.server.platform
        length = int(self.headers.get("Content-Length", "0") or "0")
        request = self.rfile.read(length).decode("utf-8", "replace")
        with platform.lock:
            platform.requests += 1
        if self.path != LOGIN_PATH:
            self.send_body(404, b"not found", "text/plain")
            return
        host, port = self.server.server_address[:2]
        behaviour, answer = platform.login(request, host, port)
        if behaviour == "drop":
            self.close_connection = True
            self.connection.close()
            return
        body = json.dumps(answer, ensure_ascii=True, separators=(",", ":")).encode("ascii")
        if behaviour == "broken":
            body = body[: max(1, len(body) // 2)]
        self.send_body(200, body, "application/json")

    def do_GET(self):
        platform = self.server.platform
        if not self.path.startswith(DOWNLOAD_PREFIX):
            self.send_body(404, b"not found", "text/plain")
            return
        if platform.args.delay > 0:
            time.sleep(platform.args.delay)
        if platform.args.drop:
            self.close_connection = True
            self.connection.close()
            return
        self.send_body(200, platform.installer, "application/octet-stream")


class TlsServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, context, platform, quiet):
        self.context = context
        self.platform = platform
        self.quiet = quiet
        super().__init__(address, Handler)

    def finish_request(self, request, client_address):
        # The handshake runs in the connection's own thread, so a client that
        # stalls or refuses the certificate never blocks the others.
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            if not self.quiet:
                sys.stderr.write("platform-sim: handshake failed: %s\n" % error)
            return
        try:
            Handler(tls, client_address, self)
        finally:
            try:
                tls.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        if not self.quiet:
            super().handle_error(request, client_address)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description="education platform simulator (HTTPS)")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8201, help="0 picks a free port")
    parser.add_argument("--cert", required=True, help="PEM certificate")
    parser.add_argument("--key", required=True, help="PEM private key")
    parser.add_argument("--accounts", default=os.path.join(here, "demo-accounts.json"))
    parser.add_argument("--version", default="", help="newest console version announced")
    parser.add_argument("--url", default="", help="installer address announced")
    parser.add_argument("--installer", default="", help="file served as the installer")
    parser.add_argument("--installer-size", type=int, default=262144)
    parser.add_argument("--today", default="",
                        help='the platform\'s current moment, "YYYY-MM-DD HH:MM:SS"')
    parser.add_argument("--delay", type=float, default=0.0, help="seconds before every answer")
    parser.add_argument("--broken-json", action="store_true", help="send truncated JSON")
    parser.add_argument("--drop", action="store_true", help="close connections unanswered")
    parser.add_argument("--quiet", action="store_true")
    args = parser.parse_args()

    if not ipaddress.ip_address(args.host).is_loopback or ":" in args.host:
        parser.error("--host must be an address in 127.0.0.0/8")

    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server = TlsServer((args.host, args.port), context, Platform(args), args.quiet)
    host, port = server.server_address[:2]
    print("platform-sim listening on %s:%d" % (host, port), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
