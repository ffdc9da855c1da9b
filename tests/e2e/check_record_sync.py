"""Checks that a recording kept its pictures and sound together: every
closed block of the store holds one second (25 pictures, the first a key
picture) and 46 or 47 audio frames, there are about as many blocks as
seconds recorded, and, when an MP4 of the lesson is given, each click of
the sound phone's tone lies within one picture of the white picture the
phone sent with it.

usage: check_record_sync.py CLI ROOT USER LESSON SECONDS [MP4]
"""
import array
import json
import subprocess
import sys


def fail(text):
    print("FAIL: " + text, file=sys.stderr)
    sys.exit(1)


def check_blocks(cli, root, user, lesson, seconds):
    info = json.loads(subprocess.run(
        [cli, "info", "--root", root, "--user", user, "--lesson", lesson, "--json"],
        check=True, capture_output=True, text=True).stdout)
    blocks = info["blocks"]
    counts = [(b["video"], b["audio"]) for b in blocks]
    print(f"{len(blocks)} blocks for {seconds} s: {counts}")
    if abs(len(blocks) - seconds) > 1:
        fail(f"{len(blocks)} blocks for {seconds} s")
    for b in blocks[:-1]:
        if b["video"] != 25 or b["audio"] not in (46, 47):
            fail(f"block {b['index']} holds {b['video']} pictures and {b['audio']} audio frames")
    if blocks[-1]["video"] > 25:
        fail(f"the last block holds {blocks[-1]['video']} pictures")
    with open(f"{root}/{user}/{lesson}/av.dat", "rb") as data:
        for b in blocks:
            data.seek(b["pos"])
            if data.read(1) != b"\x0a":
                fail(f"block {b['index']} does not start with a key picture")
    return sum(b["video"] for b in blocks)


def flashes(mp4):
    """Times of the pictures where the programme turns white (the phone's marks)."""
    times = [float(t) for t in subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=pts_time",
         "-of", "csv=p=0", mp4], check=True, capture_output=True, text=True).stdout.split()]
    raw = subprocess.run(
        ["ffmpeg", "-nostdin", "-v", "error", "-i", mp4, "-map", "0:v", "-vf",
         "scale=32:18,format=gray", "-f", "rawvideo", "-"], check=True, capture_output=True).stdout
    n = len(raw) // (32 * 18)
    means = [sum(raw[i * 576:(i + 1) * 576]) / 576 for i in range(n)]
    ordered = sorted(means)
    median, top = ordered[len(ordered) // 2], ordered[-1]
    if top - median < 40:
        fail(f"no white pictures in the MP4 (median {median:.0f}, brightest {top:.0f})")
    bright = [m > median + (top - median) / 2 for m in means]
    return [times[i] for i in range(min(n, len(times))) if bright[i] and (i == 0 or not bright[i - 1])]


def clicks(mp4):
    """Times where the sound phone's click begins."""
    pcm = subprocess.run(
        ["ffmpeg", "-nostdin", "-v", "error", "-i", mp4, "-map", "0:a", "-ac", "1", "-ar", "48000",
         "-f", "s16le", "-"], check=True, capture_output=True).stdout
    # The decoded samples begin at the sound's first time stamp.
    start = float(subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=start_time",
         "-of", "csv=p=0", mp4], check=True, capture_output=True, text=True).stdout.split()[0])
    samples = array.array("h")
    samples.frombytes(pcm[:len(pcm) // 2 * 2])
    onsets, last = [], -48000
    for i, s in enumerate(samples):
        if abs(s) > 13000:
            if i - last > 24000:
                onsets.append(start + i / 48000)
            last = i
    return onsets


def check_sync(mp4):
    f, c = flashes(mp4), clicks(mp4)
    pairs = []
    for tc in c:
        near = min(f, key=lambda tf: abs(tf - tc), default=None)
        if near is not None and abs(near - tc) < 0.3:
            pairs.append((near, tc))
    print(f"{len(f)} white pictures, {len(c)} clicks, click - picture in ms: "
          f"{[round((tc - tf) * 1000) for tf, tc in pairs]}")
    return [round((tc - tf) * 25) for tf, tc in pairs]


def main():
    cli, root, user, lesson, seconds = sys.argv[1:6]
    seconds = int(seconds)
    check_blocks(cli, root, user, lesson, seconds)
    if len(sys.argv) > 6:
        offsets = check_sync(sys.argv[6])
        # The sound phone clicks once a second; the seconds of its stall
        # (and the start) have no pair.
        if len(offsets) < seconds - 9:
            fail(f"only {len(offsets)} clicks met a white picture")
        off = [o for o in offsets if abs(o) > 1]
        if off:
            fail(f"clicks off their white pictures by {off} pictures")


if __name__ == "__main__":
    main()
