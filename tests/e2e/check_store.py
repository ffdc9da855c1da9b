"""Reads a recorded lesson back from its store and checks what a viewer
relies on: every block starts with a key picture and holds about one second
of pictures, the sound runs at about 46.9 AAC frames a second, and FFmpeg
decodes every stored frame without an error.

usage: check_store.py CLI ROOT USER LESSON SECONDS WORKDIR
"""
import json
import struct
import subprocess
import sys


def fail(text):
    print("FAIL: " + text, file=sys.stderr)
    sys.exit(1)


def main():
    cli, root, user, lesson, seconds, work = sys.argv[1:7]
    seconds = int(seconds)
    info = json.loads(subprocess.run(
        [cli, "info", "--root", root, "--user", user, "--lesson", lesson, "--json"],
        check=True, capture_output=True, text=True).stdout)
    blocks = info["blocks"]
    if not blocks:
        fail("no blocks recorded")
    h264 = bytearray()
    aac = bytearray()
    videos = audios = 0
    stamps = []  # wall-clock stamps of the audio frames, microseconds
    with open(f"{root}/{user}/{lesson}/av.dat", "rb") as data:
        for block in blocks:
            data.seek(block["pos"])
            raw = data.read(block["length"])
            offset = 0
            types = []
            while offset < len(raw):
                ftype, size, pts = struct.unpack_from("<BIq", raw, offset)
                if ftype == 8:
                    stamps.append(pts)
                payload = raw[offset + 13: offset + 13 + size]
                if len(payload) != size:
                    fail(f"block {block['index']}: frame runs past the block")
                types.append(ftype)
                if ftype in (9, 10):
                    h264 += payload
                elif ftype == 8:
                    aac += payload
                else:
                    fail(f"block {block['index']}: frame type {ftype}")
                offset += 13 + size
            video = [t for t in types if t in (9, 10)]
            if not video or video[0] != 10 or types[0] != 10:
                fail(f"block {block['index']} does not start with a key picture: {types[:3]}")
            if video.count(10) != 1:
                fail(f"block {block['index']} holds {video.count(10)} key pictures")
            if len(video) != block["video"]:
                fail(f"block {block['index']}: index says {block['video']} pictures, "
                     f"data holds {len(video)}")
            videos += len(video)
            audios += len(types) - len(video)
    # Every block but the last is one group of 25 pictures.
    for block in blocks[:-1]:
        if block["video"] != 25:
            fail(f"block {block['index']} holds {block['video']} pictures")
    if not seconds - 3 <= len(blocks) <= seconds + 1:
        fail(f"{len(blocks)} blocks for {seconds} s")
    # The sound's rate over the wall-clock time it was recorded in.
    # The first two seconds are left out: sources start with a short backlog.
    settled = [t for t in stamps if t >= min(stamps) + 2_000_000]
    span = (max(settled) - min(settled)) / 1e6 if len(settled) > 1 else 0.0
    rate = (len(settled) - 1) / span if span > 0 else 0.0
    print(f"{len(blocks)} blocks, {videos} pictures, {audios} audio frames in {span:.1f} s, "
          f"{rate:.2f} audio frames per second")
    if abs(rate - 46.875) > 2.0:
        fail(f"audio runs at {rate:.2f} frames per second")
    open(f"{work}/v.h264", "wb").write(h264)
    open(f"{work}/a.aac", "wb").write(aac)
    for name, count in (("v.h264", videos), ("a.aac", audios)):
        probe = subprocess.run(
            ["ffmpeg", "-nostdin", "-v", "error", "-i", f"{work}/{name}", "-f", "framemd5", "-"],
            capture_output=True, text=True)
        if probe.returncode != 0 or probe.stderr.strip():
            fail(f"ffmpeg could not decode {name}: {probe.stderr[:500]}")
        decoded = sum(1 for line in probe.stdout.splitlines() if line and not line.startswith("#"))
        if decoded != count:
            fail(f"{name}: {count} frames stored, {decoded} decoded")


main()
