#!/usr/bin/python3
"""Plays a lesson on the running console the way a person would: only
through the X server, with xdotool's pointer and keys, finding windows by
their titles and sizes and image buttons by their pictures on the screen.

Each step keeps a screenshot NN-step.png in --out and prints one line; the
first step that fails prints why, keeps a screenshot of the screen as it was
and ends the run with status 1. The demo and the whole-lesson test run the
same steps; --steps chooses which.
"""

import argparse
import os
import re
import subprocess
import sys
import time

BAR_HEIGHT = 49


class StepFailed(Exception):
    pass


# --- the X server ------------------------------------------------------------


class Screen:
    def __init__(self, buttons_dir):
        self.buttons_dir = buttons_dir
        self.pictures = {}

    @staticmethod
    def xdo(*args, check=True):
        r = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True,
                           timeout=30)
        if check and r.returncode != 0:
            raise StepFailed("xdotool %s: %s" % (" ".join(map(str, args)), r.stderr.strip()))
        return r.stdout

    def windows(self):
        """Visible top-level windows as (id, title, x, y, w, h)."""
        out = []
        ids = self.xdo("search", "--onlyvisible", "--maxdepth", "1", "--name", "", check=False)
        for wid in ids.split():
            name = self.xdo("getwindowname", wid, check=False).rstrip("\n")
            geo = self.xdo("getwindowgeometry", "--shell", wid, check=False)
            g = dict(re.findall(r"^(\w+)=(-?\d+)$", geo, re.M))
            if "WIDTH" in g and name:
                out.append((wid, name, int(g["X"]), int(g["Y"]), int(g["WIDTH"]),
                            int(g["HEIGHT"])))
        return out

    def wait_window(self, what, match, timeout=20.0):
        deadline = time.monotonic() + timeout
        while True:
            for w in self.windows():
                if match(w):
                    return w
            if time.monotonic() > deadline:
                seen = ", ".join("'%s' %dx%d" % (w[1], w[4], w[5]) for w in self.windows())
                raise StepFailed("%s did not show up (windows: %s)" % (what, seen or "none"))
            time.sleep(0.2)

    def wait_gone(self, what, wid, timeout=20.0):
        deadline = time.monotonic() + timeout
        while any(w[0] == wid for w in self.windows()):
            if time.monotonic() > deadline:
                raise StepFailed("%s is still open" % what)
            time.sleep(0.2)

    def focus(self, wid):
        self.xdo("windowraise", wid, check=False)
        self.xdo("windowfocus", "--sync", wid)
        time.sleep(0.2)

    def move(self, x, y):
        self.xdo("mousemove", "--sync", int(x), int(y), check=False)
        time.sleep(0.05)

    def click(self, x, y, repeat=1):
        # A pointer already on the spot moves off first: synchronous moves
        # wait for a motion event.
        self.move(x + 3, y + 3)
        self.move(x, y)
        self.xdo("click", "--repeat", repeat, "--delay", 80, 1)
        time.sleep(0.3)

    def drag(self, x0, y0, x1, y1):
        self.move(x0, y0)
        self.xdo("mousedown", 1)
        for k in range(1, 6):
            self.move(x0 + (x1 - x0) * k / 5, y0 + (y1 - y0) * k / 5)
        self.xdo("mouseup", 1)
        time.sleep(0.3)

    def key(self, *keys):
        self.xdo("key", "--delay", 120, *keys)
        time.sleep(0.3)

    def type(self, text):
        self.xdo("type", "--delay", 40, "--", text)
        time.sleep(0.2)

    def shot(self, path):
        subprocess.run(["import", "-window", "root", path], check=True, timeout=30,
                       stderr=subprocess.DEVNULL)

    def grab(self):
        size = self.xdo("getdisplaygeometry").split()
        w, h = int(size[0]), int(size[1])
        data = subprocess.run(["import", "-window", "root", "-depth", "8", "rgb:-"],
                              capture_output=True, check=True, timeout=30).stdout
        return w, h, data

    def picture(self, name):
        """An image button's picture: size and a few opaque row pieces."""
        if name not in self.pictures:
            path = os.path.join(self.buttons_dir, name)
            if not os.path.exists(path):
                return None  # a look this button does not have
            w, h = map(int, subprocess.run(["identify", "-format", "%w %h", path],
                                           capture_output=True, text=True,
                                           check=True).stdout.split())
            rgba = subprocess.run(["convert", path, "-depth", "8", "rgba:-"],
                                  capture_output=True, check=True).stdout
            rows = []
            for y in (h // 2, h // 3, 2 * h // 3, h // 4):
                line = rgba[y * w * 4:(y + 1) * w * 4]
                x0 = next((x for x in range(w) if line[4 * x + 3] == 255), w)
                x1 = x0
                while x1 < w and line[4 * x1 + 3] == 255:
                    x1 += 1
                rgb = bytes(b for x in range(x0, x1) for b in line[4 * x:4 * x + 3])
                rows.append((y, x0, rgb))
            self.pictures[name] = (w, h, rows)
        return self.pictures.get(name)

    def find_picture(self, names):
        """Centre of the first of the pictures found on the screen, or None."""
        self.move(1, 1)  # no hover look
        time.sleep(0.2)
        sw, sh, data = self.grab()
        stride = sw * 3
        if not any(self.picture(n) for n in names):
            raise StepFailed("no button pictures %s in %s" % (names, self.buttons_dir))
        for name in names:
            if self.picture(name) is None:
                continue
            w, h, rows = self.picture(name)
            y0, x0, first = rows[0]
            if len(first) < 8:
                continue
            for sy in range(y0, sh - (h - y0)):
                start = sy * stride
                at = data.find(first, start, start + stride)
                while at >= 0:
                    left = (at - start) // 3 - x0
                    top = sy - y0
                    if all(data[(top + ry) * stride + (left + rx) * 3:
                                (top + ry) * stride + (left + rx) * 3 + len(piece)] == piece
                           for ry, rx, piece in rows[1:]):
                        return left + w // 2, top + h // 2
                    at = data.find(first, at + 3, start + stride)
        return None

    def click_button(self, tag, what):
        names = ["PNG_%d%d.png" % (tag, s) for s in (1, 4, 3, 6)]
        pos = self.find_picture(names)
        if pos is None:
            raise StepFailed("the %s button is not on the screen" % what)
        self.click(*pos)


# --- the console ---------------------------------------------------------------


def box_pixels(grab, x, y, w, h):
    """The screen's pixels in a rectangle, row by row."""
    sw, _, data = grab
    return b"".join(data[((y + r) * sw + x) * 3:((y + r) * sw + x + w) * 3] for r in range(h))


def grid_panes(w, h, channels=3):
    """The capture panes of a client area, as the window lays them out."""
    H = h - (BAR_HEIGHT + 125)
    W = w
    if H * 16 < W * 9:
        ph, pw = H, H * 16 // 9
        x, y = (W - pw) // 2, 61
    else:
        pw, ph = W, W * 9 // 16
        x, y = 0, (H - ph) // 2 + 61
    panes = []
    if channels == 5:
        # The programme large at the top left, channels 1-3 down the right,
        # 5 and 4 along the bottom.
        c, r = pw // 3, ph // 3
        panes.append((x + 1, y, 2 * c - 1, 2 * r - 1))
        for i in range(1, 4):
            panes.append((x + 2 * c + 1, y + r * (i - 1), c - 2, r - 1))
        panes.append((x + c + 1, y + 2 * r, c - 1, r - 1))
        panes.append((x + 1, y + 2 * r, c - 1, r - 1))
        return panes
    for i in range(4):
        panes.append((x + (i % 2) * (pw // 2) + 1, y + (i // 2) * (ph // 2),
                      pw // 2 - 1 - (1 if i % 2 else 0), ph // 2 - 1))
    return panes


def lit_share(grab, rect):
    """Share of a rectangle's sampled pixels that are not near black."""
    x, y, w, h = rect
    px = box_pixels(grab, x + w // 8, y + h // 8, w * 3 // 4, h * 3 // 4)
    step = 3 * 7
    lit = sum(1 for i in range(0, len(px) - 2, step) if max(px[i], px[i + 1], px[i + 2]) > 48)
    return lit / max(1, len(px) // step)


class Lesson:
    def __init__(self, args):
        self.a = args
        self.x = Screen(args.buttons)
        self.n = 0
        self.main = None
        self.made = []
        self.msg = 0
        self.sub = 0

    # Windows of the console.
    def is_main(self, w):
        return w[4] >= 1000 and w[5] >= 700

    def main_window(self):
        self.main = self.x.wait_window("the console window", self.is_main)
        return self.main

    def at(self, px, py):
        m = self.main
        return m[2] + px, m[3] + py

    def focus_main(self):
        self.main_window()
        self.x.focus(self.main[0])

    def message_box(self):
        """A message box of the console: small, titled with the program's name.
        When boxes stand on each other (a limit's stop over its warning) the
        top one, the only one that takes input: the server lists windows
        bottom first."""
        boxes = [w for w in self.x.windows()
                 if w[1] == "Tavrin" and w[4] < 700 and w[5] < 300 and (w[4], w[5]) != (360, 210)]
        return boxes[-1] if boxes else None

    def answer_message(self, note):
        """Answers an open message box with its default button, keeping a
        screenshot of it; false when none is open."""
        box = self.message_box()
        if box is None:
            return False
        self.msg += 1
        shot = os.path.join(self.a.out, "%02d-%s-message-%d.png" % (self.n, note, self.msg))
        self.x.shot(shot)
        print("  message box answered, screen: %s" % shot, flush=True)
        self.x.focus(box[0])
        self.x.key("Return")
        self.x.wait_gone("the message box", box[0], timeout=5)
        return True

    def wait_gone_answering(self, what, wid, note, timeout=30.0):
        """Waits for a window to close, answering the messages it shows."""
        deadline = time.monotonic() + timeout
        while any(w[0] == wid for w in self.x.windows()):
            if not self.answer_message(note):
                time.sleep(0.3)
            if time.monotonic() > deadline:
                raise StepFailed("%s is still open" % what)

    def no_message(self, what):
        box = self.message_box()
        if box is not None:
            raise StepFailed("%s: a message box is open" % what)

    def click_pane(self, ch):
        self.main_window()
        panes = grid_panes(self.main[4], self.main[5], self.a.channels)
        px, py, pw, ph = panes[ch]
        self.x.click(*self.at(px + pw // 2, py + ph // 2))

    def snap(self, what):
        """A screenshot inside a step, beside the step's own."""
        self.sub += 1
        self.x.shot(os.path.join(self.a.out, "%02d-%s-%d.png" % (self.n, what, self.sub)))

    # Steps.
    def step_signin(self):
        login = self.x.wait_window("the sign-in window",
                                   lambda w: (w[4], w[5]) == (360, 210), timeout=60)
        self.x.focus(login[0])
        self.x.type(self.a.password)
        self.x.key("Return")
        # The platform's greeting is a message box over the sign-in window.
        self.wait_gone_answering("the sign-in window", login[0], "signin")

    def chooser(self):
        return self.x.wait_window("the lesson chooser",
                                  lambda w: w[4] >= 1000 and 400 <= w[5] < 700, timeout=30)

    def step_choose_record(self):
        c = self.chooser()
        self.x.focus(c[0])
        # The first lesson of today's list: its row lies under the filters
        # and the column header.
        self.x.click(c[2] + 200, c[3] + 76)
        self.x.click_button(60, "record")
        self.x.wait_gone("the lesson chooser", c[0])
        self.main_window()
        time.sleep(2)
        self.no_message("entering capture mode")

    def step_choose_record_again(self):
        """The same lesson after the console ended without closing: it offers
        to connect the last run's channels again; yes, and they show."""
        c = self.chooser()
        self.x.focus(c[0])
        self.x.click(c[2] + 200, c[3] + 76)
        self.x.click_button(60, "record")
        self.x.wait_gone("the lesson chooser", c[0])
        deadline = time.monotonic() + 15
        while self.message_box() is None:
            if time.monotonic() > deadline:
                raise StepFailed("no offer to connect the last run's channels")
            time.sleep(0.3)
        self.answer_message("reconnect")
        self.main_window()
        self.step_channels_showing()

    def step_channels_showing(self):
        """Every channel in --showing (default all) shows a picture."""
        chans = [int(c) for c in self.a.showing.split(",")] if self.a.showing else \
            list(range(1, self.a.channels + 1))
        deadline = time.monotonic() + 30
        while True:
            m = self.main_window()
            grab = self.x.grab()
            panes = grid_panes(m[4], m[5], self.a.channels)
            dark = [ch for ch in chans
                    if lit_share(grab, (m[2] + panes[ch][0], m[3] + panes[ch][1],
                                        panes[ch][2], panes[ch][3])) < 0.2]
            if not dark:
                return
            if time.monotonic() > deadline:
                raise StepFailed("channels %s stay black" % dark)
            time.sleep(1)

    def step_combine_four(self):
        for ch in range(1, 5):
            self.click_pane(ch)
        self.focus_main()
        self.x.key("s")

    def channel_dialog(self, ch):
        self.click_pane(ch)
        self.x.click_button(54, "channel dialog")
        d = self.x.wait_window("the channel dialog", lambda w: w[1] == "连接")
        self.x.focus(d[0])
        return d

    def choose_kind(self, d, kind):
        # The kind list opens on a click; its entries are stepped through
        # from the first with the arrow keys. Then "选择..." beside it.
        self.x.click(d[2] + 150, d[3] + 91)
        self.x.key("Home", *(["Down"] * kind), "Return")
        self.snap("kind")
        self.x.click(d[2] + 354, d[3] + 91)

    def step_connect_phone(self):
        before = self.connects() if self.a.phone_log else 0
        d = self.channel_dialog(1)
        self.choose_kind(d, 1)
        ip = self.x.wait_window("the address window",
                                lambda w: w[1] == "Tavrin" and w[4] < 600 and w[5] < 300)
        self.x.focus(ip[0])
        self.x.key("ctrl+a")  # the box may hold this network's prefix
        self.x.type(self.a.phone)
        self.x.key("Return")
        self.x.wait_gone("the address window", ip[0])
        if self.a.phone_log:
            deadline = time.monotonic() + 15
            while self.connects() <= before:
                if time.monotonic() > deadline:
                    raise StepFailed("the phone at %s was not asked to stream" % self.a.phone)
                time.sleep(0.3)
        self.close_dialog(d)

    def connects(self):
        """Connections the phone has logged so far."""
        try:
            with open(self.a.phone_log) as log:
                return sum(1 for line in log if line.startswith("connect "))
        except OSError:
            return 0

    def step_connect_camera(self):
        d = self.channel_dialog(2)
        self.choose_kind(d, 2)
        n = self.x.wait_window("the device window", lambda w: w[1] == "本机设备检测")
        self.x.focus(n[0])
        time.sleep(1)
        self.x.key("Return")
        self.x.wait_gone("the device window", n[0])
        self.close_dialog(d)

    def step_connect_mp4(self):
        d = self.channel_dialog(3)
        self.choose_kind(d, 3)
        f = self.x.wait_window("the file window",
                               lambda w: w[0] != d[0] and not self.is_main(w) and w[4] >= 400
                               and w[1] not in ("连接", ""))
        # The file name box completes as it is typed and now and then takes a
        # key twice; a person would read the complaint and type again, slower.
        for attempt in range(3):
            self.x.focus(f[0])
            self.x.key("ctrl+a")
            self.x.xdo("type", "--delay", 60 + 60 * attempt, "--", self.a.mp4)
            time.sleep(0.5)
            self.x.key("Return")
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline:
                shown = self.x.windows()
                if not any(w[0] == f[0] for w in shown):
                    self.close_dialog(d)
                    return
                other = [w for w in shown if w[0] not in (f[0], d[0]) and not self.is_main(w)]
                if other:
                    self.snap("file-complaint")
                    self.x.focus(other[0][0])
                    self.x.key("Return")
                    break
                time.sleep(0.3)
        raise StepFailed("the file window did not take %s" % self.a.mp4)

    def step_loop_mp4(self):
        # A connected MP4 plays once. Its channel menu's last entry,
        # "设置播放进度", opens the position window, whose loop box has the
        # focus when it opens: space ticks it.
        self.main_window()
        px, py, pw, ph = grid_panes(self.main[4], self.main[5])[3]
        self.x.move(*self.at(px + pw // 2, py + ph // 2))
        self.x.xdo("click", 3)
        time.sleep(0.5)
        self.x.key("Up", "Return")
        d = self.x.wait_window("the MP4 position window", lambda w: w[1] == "MP4播放位置调整")
        self.x.focus(d[0])
        box = lambda: box_pixels(self.x.grab(), d[2], d[3] + d[5] - 45, d[4] // 2, 45)
        before = box()
        self.x.key("space")
        if box() == before:
            raise StepFailed("the loop box did not change")
        self.snap("looping")
        self.x.key("Escape")
        self.x.wait_gone("the MP4 position window", d[0])

    def close_dialog(self, d):
        time.sleep(1.5)
        self.no_message("connecting")
        self.snap("dialog")
        self.x.focus(d[0])
        self.x.key("Escape")
        self.x.wait_gone("the channel dialog", d[0])

    def step_push_address(self):
        self.click_pane(0)
        self.x.click_button(54, "channel dialog")
        d = self.x.wait_window("the channel dialog", lambda w: w[1] == "连接")
        self.x.focus(d[0])
        # The push page: its tab, the address box, "使用以下推流地址".
        self.x.click(d[2] + 148, d[3] + 24)
        self.x.click(d[2] + 203, d[3] + 230)
        self.x.key("ctrl+a")
        self.x.type(self.a.rtmp)
        self.x.click(d[2] + 339, d[3] + 71)
        time.sleep(1)
        self.no_message("setting the push address")
        # The push button shows whether the programme goes out; start it if not.
        if self.x.find_picture(["PNG_10%d.png" % s for s in (4, 5, 6)]) is None:
            self.x.click_button(10, "push")
            time.sleep(1)
            if self.x.find_picture(["PNG_10%d.png" % s for s in (4, 5, 6)]) is None:
                raise StepFailed("the push button does not show the push running")
        self.close_dialog(d)

    def step_combine_two(self):
        # By the layout button, then by its key (the same programme again).
        self.click_pane(1)
        self.click_pane(2)
        self.x.click_button(2, "two-video layout")
        self.focus_main()
        self.x.key("f")

    def step_combine_three(self):
        self.click_pane(3)
        self.x.click_button(3, "three-video layout")
        self.focus_main()
        self.x.key("d")

    def running(self, tag):
        """True when the button shows its running look."""
        return self.x.find_picture(["PNG_%d%d.png" % (tag, s) for s in (4, 5, 6)]) is not None

    def step_record(self):
        self.x.click_button(4, "record")
        time.sleep(1)
        if not self.running(4):
            raise StepFailed("the record button does not show the recording")
        time.sleep(self.a.seconds)

    def step_phone_outage(self):
        if not self.a.outage:
            raise StepFailed("no way to interrupt the phone was given")
        subprocess.run(["bash", self.a.outage], check=True, timeout=60)
        time.sleep(5)

    def step_error_mark(self):
        self.focus_main()
        self.x.key("3")
        time.sleep(2)

    def step_stop_record(self):
        self.x.click_button(4, "record")
        time.sleep(1)
        if self.running(4):
            raise StepFailed("the record button still shows the recording")

    def step_end_record(self):
        """Ends a long recording as a teacher would: answers the limits'
        warnings and their stop, then stops the recording unless the limit
        already did."""
        while self.answer_message("end-record"):
            time.sleep(1)
        if self.running(4):
            self.step_stop_record()

    def step_choose_replay(self):
        self.x.click_button(52, "lesson chooser")
        c = self.chooser()
        self.x.focus(c[0])
        self.x.click(c[2] + 200, c[3] + 76)
        self.x.click_button(50, "replay")
        self.x.wait_gone("the lesson chooser", c[0])
        time.sleep(2)
        self.no_message("entering replay mode")

    def ruler_blocks(self):
        """The second blocks on the replay ruler: (left, width, colour) each."""
        self.x.move(1, 1)
        sw, _, data = self.x.grab()
        m = self.main
        y = m[3] + m[5] - BAR_HEIGHT - 40
        row = data[y * sw * 3:(y + 1) * sw * 3]
        end = m[2] + m[4] - 2  # the ruler's right end lies beyond any lesson's blocks
        background = row[3 * end:3 * end + 3]
        blocks = []
        x = m[2]
        while x < m[2] + m[4]:
            colour = row[3 * x:3 * x + 3]
            if colour == background:
                x += 1
                continue
            left = x
            while x < m[2] + m[4] and row[3 * x:3 * x + 3] == colour:
                x += 1
            if x - left >= 8:
                blocks.append((left, x - left, bytes(colour)))
        return y, blocks

    def step_ruler_count(self):
        self.main_window()
        _, blocks = self.ruler_blocks()
        print("  ruler: %d blocks" % len(blocks), flush=True)

    def step_mark_deleted(self):
        self.main_window()
        y, blocks = self.ruler_blocks()
        if len(blocks) < 2 * self.a.deletions:
            raise StepFailed("the ruler shows %d blocks" % len(blocks))
        self.x.click_button(20, "delete marks")
        picked = [len(blocks) * (k + 1) // (self.a.deletions + 1) for k in range(self.a.deletions)]
        for i in picked:
            left, width, _ = blocks[i]
            self.x.drag(left + 3, y, left + width - 3, y)
        self.x.click_button(20, "delete marks")
        # Deleted blocks turn red; the ruler is redrawn a moment later.
        deadline = time.monotonic() + 5
        while True:
            _, after = self.ruler_blocks()
            changed = [i for i in picked if i < len(after) and after[i][2][0] > 120
                       and after[i][2][1] < 60 and after[i][2][2] < 60]
            if len(changed) == len(picked) or time.monotonic() > deadline:
                break
            time.sleep(0.3)
        if len(changed) != len(picked):
            raise StepFailed("blocks %s were marked, the ruler shows %s changed" %
                             (picked, changed))

    def step_save(self):
        self.x.click_button(21, "save")
        time.sleep(1)
        box = self.message_box()
        if box is not None:
            self.x.focus(box[0])
            self.x.key("Return")

    def step_make_mp4(self):
        before = set(self.mp4_files())
        self.x.click_button(23, "make MP4")
        s = self.x.wait_window("the stream settings", lambda w: "设置码流参数" in w[1])
        self.x.focus(s[0])
        self.x.key("Return")
        self.x.wait_gone("the stream settings", s[0])
        d = self.x.wait_window("the production window", lambda w: w[1] == "生成MP4")
        self.x.focus(d[0])
        # Standard cards are the first page. "生成后上传平台" sits at the
        # bottom left, "生成" at the bottom right.
        if self.a.upload:
            self.x.click(d[2] + 18, d[3] + d[5] - 58)
        self.snap("production")
        self.x.click(d[2] + d[4] - 52, d[3] + d[5] - 58)
        deadline = time.monotonic() + self.a.mp4_timeout
        while any(w[0] == d[0] for w in self.x.windows()):
            if time.monotonic() > deadline:
                raise StepFailed("the production window did not finish")
            if not self.answer_message("mp4"):
                time.sleep(1)
        made = [f for f in self.mp4_files() if f not in before]
        if not made:
            raise StepFailed("no MP4 was made")
        self.made += made

    def mp4_files(self):
        out = []
        for top, _, files in os.walk(self.a.store):
            out += [os.path.join(top, f) for f in files if f.endswith(".mp4")]
        return out

    STEPS = ["signin", "choose-record", "connect-phone", "connect-camera", "connect-mp4",
             "loop-mp4", "push-address", "combine-two", "combine-three", "record", "error-mark",
             "phone-outage", "stop-record", "end-record", "choose-replay", "mark-deleted", "save", "make-mp4",
             "choose-record-again", "channels-showing", "combine-four", "ruler-count"]

    def run(self, steps):
        for name in steps:
            self.n += 1
            shot = os.path.join(self.a.out, "%02d-%s.png" % (self.n, name))
            print("step %d: %s" % (self.n, name), flush=True)
            try:
                getattr(self, "step_" + name.replace("-", "_"))()
                time.sleep(0.5)
                self.x.shot(shot)
            except (StepFailed, subprocess.SubprocessError, OSError) as e:
                try:
                    self.x.shot(shot)
                except (subprocess.SubprocessError, OSError):
                    pass
                print("FAILED at step %d (%s): %s\n  screen: %s" % (self.n, name, e, shot),
                      flush=True)
                return 1
            print("  ok, screen: %s" % shot, flush=True)
        for f in self.made:
            print("made %s" % f)
        return 0


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--buttons", required=True, help="folder of the button pictures")
    p.add_argument("--out", required=True, help="folder for the screenshots")
    p.add_argument("--store", required=True, help="storage root, where the MP4 appears")
    p.add_argument("--password", default="demo1001")
    p.add_argument("--phone", default="127.0.0.2")
    p.add_argument("--phone-log", default="", help="the phone's log, to see it connected")
    p.add_argument("--mp4", default="")
    p.add_argument("--rtmp", default="")
    p.add_argument("--seconds", type=float, default=20)
    p.add_argument("--deletions", type=int, default=2)
    p.add_argument("--outage", default="", help="script that interrupts a phone for a while")
    p.add_argument("--mp4-timeout", type=float, default=180)
    p.add_argument("--upload", action="store_true", help="upload the MP4 once made")
    p.add_argument("--channels", type=int, default=3, help="the console's channel count")
    p.add_argument("--showing", default="", help="channels that must show pictures: 1,3")
    p.add_argument("--steps", default=",".join(Lesson.STEPS[:17]))
    a = p.parse_args()
    os.makedirs(a.out, exist_ok=True)
    steps = [s for s in a.steps.split(",") if s]
    unknown = [s for s in steps if s not in Lesson.STEPS]
    if unknown:
        p.error("unknown steps: %s" % ", ".join(unknown))
    return Lesson(a).run(steps)


if __name__ == "__main__":
    sys.exit(main())
