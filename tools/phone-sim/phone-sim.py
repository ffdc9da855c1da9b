#!/usr/bin/python3
"""Simulated phone / desktop streaming app for tests and the demo.

Listens on TCP --bind:--port (37021). A console connects, sends the 23-byte
audio/video request and receives the 0x10000801 reply, then H.264 (Annex B,
key units begin with the SPS) and AAC (ADTS) media-frame messages paced in
real time, plus battery and focus reports. Camera commands from the console
are obeyed and written to --log as hex lines. With --discovery it answers the
multicast probe on UDP 37020 (only ever joined on the loopback interface).

The first line on stdout is "phone-sim listening on IP:PORT".
"""
import argparse
import os
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

MAGIC = 0x87654321
CMD_REQUEST_AV = 0x10000701
CMD_SET_FOCUS = 0x10000702
CMD_FOCUS_POINT = 0x10000703
CMD_WIDE_ANGLE = 0x10000705
CMD_REPLY_AV = 0x10000801
CMD_FOCUS_REPORT = 0x10000802
CMD_BATTERY = 0x10000706
CMD_IGNORED = 0x10000809
CMD_MEDIA = 0x90000001
CMD_UNKNOWN = 0x10000999

FRAME_AAC, FRAME_H264, FRAME_H264_KEY = 8, 9, 10
SAMPLES_PER_AAC = 1024
AUDIO_RATE = 48000
MAX_LENGTH = 2000001


def message(cmd, payload=b"", magic=MAGIC):
    return struct.pack("<III", magic, 12 + len(payload), cmd) + payload


def media_message(frame_type, payload):
    pts = int(time.time() * 1000) * 1000  # microseconds, millisecond resolution
    return message(CMD_MEDIA, struct.pack("<BIq", frame_type, len(payload), pts) + payload)


# ---------------------------------------------------------------- media


def run_ffmpeg(args):
    cmd = ["ffmpeg", "-hide_banner", "-loglevel", "error", "-y"] + args
    subprocess.run(cmd, check=True, stdin=subprocess.DEVNULL)


def encode_media(opts, folder):
    """Makes the raw H.264 and ADTS streams the simulator loops over."""
    h264 = os.path.join(folder, "video.h264")
    aac = os.path.join(folder, "audio.aac")
    size = "%dx%d" % (opts.width, opts.height)
    x264 = ["-c:v", "libx264", "-preset", "veryfast", "-tune", "zerolatency", "-bf", "0",
            "-g", str(opts.fps), "-keyint_min", str(opts.fps), "-x264-params", "scenecut=0",
            "-pix_fmt", "yuv420p", "-b:v", "%dk" % opts.bitrate,
            "-bsf:v", "h264_metadata=aud=insert", "-f", "h264"]
    aac_args = ["-c:a", "aac", "-ac", "2", "-ar", str(AUDIO_RATE), "-b:a", "128k", "-f", "adts"]
    if opts.file:
        scale = ["-vf", "scale=%d:%d,fps=%d" % (opts.width, opts.height, opts.fps)]
        run_ffmpeg(["-i", opts.file, "-t", str(opts.seconds), "-map", "0:v:0", "-an"] + scale +
                   x264 + [h264])
        try:
            run_ffmpeg(["-i", opts.file, "-t", str(opts.seconds), "-map", "0:a:0", "-vn"] +
                       aac_args + [aac])
        except subprocess.CalledProcessError:
            open(aac, "wb").close()  # a file without sound
    else:
        picture = "testsrc2=size=%s:rate=%d" % (size, opts.fps)
        if opts.mark_period:
            # Every mark_period-th picture is plain white: a latency probe
            # that can be found again in the console's programme.
            picture += (",drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:"
                        "enable='eq(mod(n\\,%d)\\,0)'" % opts.mark_period)
        run_ffmpeg(["-f", "lavfi", "-i", picture, "-t", str(opts.seconds)] + x264 + [h264])
        tone = "sine=frequency=440:sample_rate=%d" % AUDIO_RATE
        if opts.click:
            # A loud 2 kHz click of 20 ms at each white picture over a quiet
            # tone: the two can be found again in the recording.
            tone = ("aevalsrc='if(lt(mod(t,%g),0.02),0.8*sin(2*PI*2000*t),"
                    "0.1*sin(2*PI*440*t))':s=%d" % (opts.mark_period / opts.fps, AUDIO_RATE))
        run_ffmpeg(["-f", "lavfi", "-i", tone, "-t", str(opts.seconds)] + aac_args + [aac])
    return h264, aac


def nal_units(data):
    """Yields (nal_type, nal bytes without start code) of an Annex B stream."""
    starts = []
    i, n = 0, len(data)
    while True:
        j = data.find(b"\x00\x00\x01", i)
        if j < 0:
            break
        starts.append(j + 3)
        i = j + 3
    for k, s in enumerate(starts):
        end = starts[k + 1] - 3 if k + 1 < len(starts) else n
        if k + 1 < len(starts) and end > s and data[end - 1] == 0:
            end -= 1  # the zero byte of a 4-byte start code
        if s < end:
            yield data[s] & 0x1F, data[s:end]


def access_units(data):
    """Splits the stream at its access unit delimiters; drops the delimiters."""
    units, current = [], []
    for nal_type, nal in nal_units(data):
        if nal_type == 9:
            if current:
                units.append(current)
            current = []
            continue
        current.append((nal_type, nal))
    if current:
        units.append(current)
    out = []
    for unit in units:
        key = any(t == 7 for t, _ in unit)
        if key:  # a key unit must begin with its SPS
            unit.sort(key=lambda tn: {7: 0, 8: 1}.get(tn[0], 2))
        payload = b"".join(b"\x00\x00\x00\x01" + nal for _, nal in unit)
        out.append((FRAME_H264_KEY if key else FRAME_H264, payload))
    return out


def adts_frames(data):
    frames, i = [], 0
    while i + 7 <= len(data):
        if data[i] != 0xFF or (data[i + 1] & 0xF0) != 0xF0:
            break
        length = ((data[i + 3] & 3) << 11) | (data[i + 4] << 3) | (data[i + 5] >> 5)
        if length < 7 or i + length > len(data):
            break
        frames.append(data[i:i + length])
        i += length
    return frames


# ---------------------------------------------------------------- connection


class Connection:
    def __init__(self, sim, sock, peer):
        self.sim = sim
        self.opts = sim.opts
        self.sock = sock
        self.peer = peer
        self.send_lock = threading.Lock()
        self.requested = threading.Event()
        self.closed = threading.Event()

    def send(self, data):
        with self.send_lock:
            self.sock.sendall(data)

    def close(self):
        if not self.closed.is_set():
            self.closed.set()
            try:
                self.sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            self.sock.close()

    def reply(self):
        o = self.opts
        ident = o.id.encode("utf-8")
        payload = struct.pack("<HBIBBHHBHHBH", o.status, o.device_type, o.bitrate, 1, o.fps,
                              o.width, o.height, 0 if o.no_audio else 1, o.max_focus,
                              self.sim.focus, 1 if o.wide_angle else 0, len(ident)) + ident
        magic = 0x12345678 if o.bad_magic else MAGIC
        self.send(message(CMD_REPLY_AV, payload, magic))

    def reports(self):
        self.send(message(CMD_BATTERY, struct.pack("<H", self.opts.battery)))
        self.send(message(CMD_FOCUS_REPORT, struct.pack("<H", self.sim.focus)))
        self.send(message(CMD_IGNORED))

    def reader(self):
        buf = b""
        try:
            while True:
                chunk = self.sock.recv(65536)
                if not chunk:
                    break
                buf += chunk
                while len(buf) >= 12:
                    magic, length, cmd = struct.unpack_from("<III", buf)
                    if magic != MAGIC or length < 12:
                        self.sim.log("bad %s" % buf.hex())
                        buf = b""
                        break
                    if len(buf) < length:
                        break
                    msg, buf = buf[:length], buf[length:]
                    self.command(cmd, msg)
        except OSError:
            pass
        self.close()

    def command(self, cmd, msg):
        self.sim.log("recv 0x%08X %s" % (cmd, msg.hex()))
        if cmd == CMD_REQUEST_AV:
            if self.opts.reply_delay:
                time.sleep(self.opts.reply_delay / 1000.0)  # a slow phone
            self.reply()
            self.reports()
            self.requested.set()
        elif cmd == CMD_SET_FOCUS and len(msg) >= 14:
            self.sim.focus = min(struct.unpack_from("<H", msg, 12)[0], self.opts.max_focus)
            self.send(message(CMD_FOCUS_REPORT, struct.pack("<H", self.sim.focus)))
        elif cmd == CMD_FOCUS_POINT and len(msg) >= 16:
            pass  # the point is logged; a simulated lens has nothing to move
        elif cmd == CMD_WIDE_ANGLE:
            self.sim.wide = not self.sim.wide

    def stream(self):
        if not self.requested.wait(30) or self.closed.is_set():
            return
        o = self.opts
        video, audio = self.sim.video, self.sim.audio
        try:
            if o.unknown_command:
                self.send(message(CMD_UNKNOWN, b"\0\0\0\0"))
            if o.oversize:
                # A message longer than any console buffer, sent in full.
                length = MAX_LENGTH + 100000
                self.send(struct.pack("<III", MAGIC, length, CMD_MEDIA))
                block = b"\0" * 65536
                left = length - 12
                while left > 0 and not self.closed.is_set():
                    self.send(block[:min(left, len(block))])
                    left -= len(block)
            start = time.monotonic()
            vi = ai = sent = 0
            next_battery = start + 5
            audio_step = SAMPLES_PER_AAC / AUDIO_RATE
            while not self.closed.is_set():
                v_due = start + vi / o.fps if video else float("inf")
                a_due = start + ai * audio_step if audio and not o.no_audio else float("inf")
                due = min(v_due, a_due)
                if due == float("inf"):
                    return
                delay = due - time.monotonic()
                if delay > 0:
                    time.sleep(delay)
                if v_due <= a_due:
                    frame_type, payload = video[vi % len(video)]
                    marked = o.mark_period and (vi % len(video)) % o.mark_period == 0
                    vi += 1
                else:
                    frame_type, payload = FRAME_AAC, audio[ai % len(audio)]
                    marked = False
                    ai += 1
                self.send(media_message(frame_type, payload))
                if marked:
                    self.sim.log("mark %d %.6f" % (vi - 1, time.time()))
                sent += 1
                if o.drop_after and sent >= o.drop_after:
                    self.sim.log("drop after %d frames" % sent)
                    self.close()
                    return
                if time.monotonic() >= next_battery:
                    next_battery += 5
                    self.send(message(CMD_BATTERY, struct.pack("<H", o.battery)))
        except OSError:
            self.close()

    def run(self):
        self.sim.log("connect %s:%d" % self.peer)
        threading.Thread(target=self.reader, daemon=True).start()
        self.stream()
        self.closed.wait()
        self.sim.log("close %s:%d" % self.peer)


class Simulator:
    def __init__(self, opts):
        self.opts = opts
        self.focus = opts.focus
        self.wide = False
        self.log_lock = threading.Lock()
        self.log_file = open(opts.log, "a", buffering=1) if opts.log else None
        self.video, self.audio = [], []

    def log(self, text):
        if self.log_file:
            with self.log_lock:
                self.log_file.write(text + "\n")

    def load_media(self):
        with tempfile.TemporaryDirectory(prefix="phone-sim-") as folder:
            h264, aac = encode_media(self.opts, folder)
            with open(h264, "rb") as f:
                self.video = access_units(f.read())
            with open(aac, "rb") as f:
                self.audio = adts_frames(f.read())
        if self.opts.click:
            # The encoder's first frame is its start-up delay: without it,
            # frame i holds the sound of the time it is sent at, and the
            # loop is exactly as long as the pictures'.
            frames = self.opts.seconds * AUDIO_RATE // SAMPLES_PER_AAC
            self.audio = self.audio[1:frames + 1]
        if not self.video or self.video[0][0] != FRAME_H264_KEY:
            raise SystemExit("phone-sim: no usable video")

    def discovery(self):
        o = self.opts
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM, socket.IPPROTO_UDP)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind(("", o.discovery_port))
        # Joined on loopback only: membership reports never leave the host.
        mreq = socket.inet_aton(o.group) + socket.inet_aton("127.0.0.1")
        sock.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, mreq)
        answer_sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        answer_sock.bind((o.bind, 0))
        answer = ("<kvxpptliveanswer>%s%s/%s</kvxpptliveanswer>" %
                  (o.discovery_scheme, o.bind, o.id)).encode("utf-8")
        while True:
            data, sender = sock.recvfrom(4096)
            if b"<kvxpptliveask>" not in data:
                continue
            self.log("probe %s:%d %s" % (sender[0], sender[1], data.hex()))
            answer_sock.sendto(answer, sender)

    def serve(self):
        o = self.opts
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind((o.bind, o.port))
        listener.listen(8)
        if o.discovery:
            ready = threading.Event()
            t = threading.Thread(target=self.discovery_guard, args=(ready,), daemon=True)
            t.start()
            ready.wait(5)
        print("phone-sim listening on %s:%d" % listener.getsockname(), flush=True)
        while True:
            sock, peer = listener.accept()
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            conn = Connection(self, sock, peer)
            threading.Thread(target=conn.run, daemon=True).start()

    def discovery_guard(self, ready):
        try:
            threading.Timer(0.2, ready.set).start()
            self.discovery()
        except OSError as e:
            print("phone-sim: discovery failed: %s" % e, file=sys.stderr, flush=True)
            ready.set()


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--bind", default="127.0.0.2")
    p.add_argument("--port", type=int, default=37021)
    p.add_argument("--file", help="MP4 or MKV file to stream (default: test picture and tone)")
    p.add_argument("--seconds", type=int, default=10, help="length of the looped media")
    p.add_argument("--width", type=int, default=1280)
    p.add_argument("--height", type=int, default=720)
    p.add_argument("--fps", type=int, default=25)
    p.add_argument("--bitrate", type=int, default=2048, help="video kbit/s")
    p.add_argument("--id", default="sim-phone")
    p.add_argument("--device-type", type=int, default=2, help="1 desktop, 2/3 phone")
    p.add_argument("--status", type=int, default=200)
    p.add_argument("--max-focus", type=int, default=100)
    p.add_argument("--focus", type=int, default=50)
    p.add_argument("--wide-angle", action="store_true")
    p.add_argument("--battery", type=int, default=80)
    p.add_argument("--no-audio", action="store_true")
    p.add_argument("--log", help="file that receives every command as a hex line")
    p.add_argument("--mark-period", type=int, default=0,
                   help="make every Nth generated picture white and log its send time")
    p.add_argument("--click", action="store_true",
                   help="with --mark-period: a click in the tone at every white picture")
    p.add_argument("--discovery", action="store_true", help="answer the multicast probe")
    p.add_argument("--discovery-port", type=int, default=37020)
    p.add_argument("--group", default="239.255.255.250")
    p.add_argument("--discovery-scheme", default="kvxandroidlive://",
                   choices=["kvxpptlive://", "kvxandroidlive://", "kvxapplelive://"])
    # Misbehaviour for tests.
    p.add_argument("--bad-magic", action="store_true", help="reply with a wrong magic")
    p.add_argument("--unknown-command", action="store_true")
    p.add_argument("--oversize", action="store_true", help="send a message above 2,000,001 bytes")
    p.add_argument("--reply-delay", type=int, default=0,
                   help="milliseconds between the request and the reply")
    p.add_argument("--drop-after", type=int, default=0, help="close after N media frames")
    opts = p.parse_args()
    if opts.mark_period and opts.file:
        raise SystemExit("phone-sim: --mark-period needs the generated test picture")
    if opts.click and (not opts.mark_period or
                       (opts.seconds * AUDIO_RATE) % (SAMPLES_PER_AAC * opts.fps) != 0):
        raise SystemExit("phone-sim: --click needs --mark-period and --seconds a multiple of 8")
    if not opts.bind.startswith("127."):
        raise SystemExit("phone-sim: only loopback addresses (127.0.0.0/8) are allowed")
    sim = Simulator(opts)
    sim.load_media()
    try:
        sim.serve()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
