#!/usr/bin/python3
"""Media-server simulator: the platform's media server as far as the console
relies on it. It accepts the console's TCP connection, answers the login, the
keep-alives and the end of the live, and stores every media frame it
receives so tests can compare them with the file that was uploaded.

Every message in both directions: magic 0x87654321, total length, command
(little-endian 32-bit words), then the body. Answers carry a status word.

Written to --log DIR:
  frames.bin  every received frame block (13-byte head + payload), in order
  events.txt  one line per event: "connect N", "login HEX", "keepalive",
              "frame TYPE SIZE PTS", "end", "closed N", "bad HEX"
"""
import argparse
import os
import socket
import struct
import sys
import threading
import time

MAGIC = 0x87654321
CMD_LOGIN = 0x30000001
CMD_END = 0x30000013
CMD_KEEPALIVE = 0x20000010
CMD_FRAME = 0x90000001
ANS_LOGIN = 0x10000001
ANS_KEEPALIVE = 0x10000010
ANS_END = 0x10000013


def answer(command, status=None):
    if status is None:
        return struct.pack("<III", MAGIC, 12, command)
    return struct.pack("<IIII", MAGIC, 16, command, status & 0xFFFFFFFF)


class Log:
    def __init__(self, folder):
        self.lock = threading.Lock()
        os.makedirs(folder, exist_ok=True)
        self.events = open(os.path.join(folder, "events.txt"), "a", buffering=1)
        self.frames = open(os.path.join(folder, "frames.bin"), "ab", buffering=0)

    def event(self, text):
        with self.lock:
            self.events.write(text + "\n")
            self.events.flush()

    def frame(self, block):
        with self.lock:
            self.frames.write(block)


def read_exact(conn, size):
    data = b""
    while len(data) < size:
        part = conn.recv(size - len(data))
        if not part:
            return None
        data += part
    return data


def serve(conn, number, opts, log):
    log.event("connect %d" % number)
    frames = 0
    try:
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        while True:
            header = read_exact(conn, 12)
            if header is None:
                break
            magic, length, command = struct.unpack("<III", header)
            if magic != MAGIC or length < 12 or length > 64 * 1024 * 1024:
                log.event("bad " + header.hex())
                break
            body = read_exact(conn, length - 12)
            if body is None:
                break
            if opts.read_delay_ms > 0:
                time.sleep(opts.read_delay_ms / 1000.0)
            if command == CMD_LOGIN:
                log.event("login " + (header + body).hex())
                if opts.login_status < 0:
                    continue
                reply = answer(ANS_LOGIN, opts.login_status)
                if opts.answers == "combined":
                    conn.sendall(reply + answer(ANS_KEEPALIVE))
                elif opts.answers == "split":
                    conn.sendall(reply[:7])
                    time.sleep(0.3)
                    conn.sendall(reply[7:])
                else:
                    conn.sendall(reply)
                if opts.garbage_after_login:
                    conn.sendall(answer(0x10000099, 200))
            elif command == CMD_KEEPALIVE:
                log.event("keepalive")
                conn.sendall(answer(ANS_KEEPALIVE))
            elif command == CMD_FRAME:
                if len(body) < 13:
                    log.event("bad " + (header + body).hex())
                    break
                ftype, fsize, pts = struct.unpack("<BIq", body[:13])
                if fsize != len(body) - 13:
                    log.event("bad " + (header + body[:13]).hex())
                    break
                log.frame(body)
                log.event("frame %d %d %d" % (ftype, fsize, pts))
                frames += 1
                if opts.drop_after_frames and frames >= opts.drop_after_frames:
                    break
            elif command == CMD_END:
                log.event("end")
                if opts.end_status >= 0:
                    conn.sendall(answer(ANS_END, opts.end_status))
                if opts.close_after_end:
                    time.sleep(0.1)
                    break
            else:
                log.event("bad " + header.hex())
                break
    except OSError:
        pass
    finally:
        log.event("closed %d" % number)
        try:
            conn.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        conn.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--log", required=True, help="folder for frames.bin and events.txt")
    parser.add_argument("--login-status", type=int, default=200,
                        help="status of the login answer (200, 201, 700 ...); -1: no answer")
    parser.add_argument("--end-status", type=int, default=200,
                        help="status of the end answer; -1: no answer")
    parser.add_argument("--answers", choices=["plain", "combined", "split"], default="plain",
                        help="combined: login and keep-alive answers in one write; "
                             "split: the login answer in two writes 300 ms apart")
    parser.add_argument("--garbage-after-login", action="store_true",
                        help="send an unknown command after the login answer")
    parser.add_argument("--drop-after-frames", type=int, default=0,
                        help="close the connection after this many frames")
    parser.add_argument("--read-delay-ms", type=int, default=0,
                        help="pause after every message (a slow server)")
    parser.add_argument("--keep-open-after-end", dest="close_after_end", action="store_false")
    opts = parser.parse_args()
    if not opts.host.startswith("127."):
        sys.exit("mediaserver-sim listens on 127.0.0.0/8 only")

    log = Log(opts.log)
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((opts.host, opts.port))
    server.listen(8)
    print("mediaserver-sim listening on %s:%d" % server.getsockname(), flush=True)
    number = 0
    try:
        while True:
            conn, _ = server.accept()
            number += 1
            threading.Thread(target=serve, args=(conn, number, opts, log), daemon=True).start()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
