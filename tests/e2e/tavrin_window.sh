#!/usr/bin/env bash
# The console as an operator runs it, on a private X server inside a private
# network namespace (its discovery probe never leaves it): a second start ends
# silently while the first runs; sign-in against the platform simulator; the
# lesson chooser; capture with two phones found by discovery; recording with
# the record button; replay through the chooser with a delete-mark drag on the
# ruler and "save"; the store then shows the recorded and deleted blocks.
# All input goes through the X server with xdotool. Screenshots land in
# test-output/tavrin_window.
set -euo pipefail
BIN=$1
SIM=$2
OUT=$3
if [ "$(id -u)" != 0 ] || ! command -v unshare >/dev/null; then
    echo "needs root for a private network namespace" >&2
    exit 77
fi
source "$(dirname "$0")/../../scripts/lib/lesson-peers.sh"
enter_private_netns "$0" "$@"

WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    [ -f "$WORK/tavrin.err" ] && tail -20 "$WORK/tavrin.err" >&2
    report_x_server
    exit 1
}
mkdir -p "$OUT"
shot() { import -window root "$OUT/$1.png"; }

# The program folder holds vo.ini, so the console gets one of its own.
PROG=$WORK/prog
mkdir -p "$PROG" "$WORK/store" "$WORK/run"
chmod 700 "$WORK/run"
cp "$BIN/tavrin" "$BIN/tavrin-cli" "$BIN/sy.otf" "$BIN"/*.yuv "$PROG/"
cp -r "$BIN/buttons" "$PROG/"

# A private X server; the console below meets the very display checked here.
start_xvfb "$WORK" 1600x1000 || fail "no private X server"
PIDS+=("$XVFB_PID")
export XDG_RUNTIME_DIR=$WORK/run SDL_AUDIODRIVER=dummy

/usr/bin/python3 "$SIM/platform-sim.py" --port 0 --quiet --cert "$SIM/platform-cert.pem" \
    --key "$SIM/platform-key.pem" --accounts "$SIM/demo-accounts.json" >"$WORK/sim.out" &
PIDS+=($!)
for _ in $(seq 100); do grep -q listening "$WORK/sim.out" 2>/dev/null && break; sleep 0.1; done
PORT=$(sed -n 's/^platform-sim listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$WORK/sim.out")
[ -n "$PORT" ] || fail "platform-sim did not start"
cp "$SIM/platform-cert.pem" "$PROG/platform-ca.pem"
printf '[Platform]\nHost=127.0.0.1\nPort=%s\nCAFile=platform-ca.pem\n[StorePath]\nRootPath=%s\n[ClientCount]\nCount=3\n[WindowSize]\nwidth=1150\nheight=815\n' \
    "$PORT" "$WORK/store" >"$PROG/vo.ini"

PHONE=$BIN/../phone-sim/phone-sim.py
for i in 1 2; do
    /usr/bin/python3 "$PHONE" --bind "127.0.0.$((i + 1))" --id "pad-$i" --discovery \
        >"$WORK/phone$i.out" 2>&1 &
    PIDS+=($!)
done

TAVRIN_TRACE=1 "$PROG/tavrin" >"$WORK/tavrin.out" 2>"$WORK/tavrin.err" &
TAVRIN=$!
PIDS+=($TAVRIN)
wait_window() { # title regex -> window id
    for _ in $(seq 150); do
        local w
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
        [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    return 1
}
LOGIN=$(wait_window '^Tavrin$') || fail "no sign-in window"

# A second console ends at once, silently, without a window.
windows_before=$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)
timeout 10 "$PROG/tavrin" >"$WORK/second.out" 2>&1 || fail "the second start did not end cleanly ($?)"
[ ! -s "$WORK/second.out" ] || fail "the second start said: $(cat "$WORK/second.out")"
windows_after=$(xdotool search --onlyvisible --name . 2>/dev/null | wc -l)
[ "$windows_before" = "$windows_after" ] || fail "the second start showed a window"
kill -0 "$TAVRIN" || fail "the first console ended"

# Sign in: the focus starts in the password field.
xdotool windowfocus --sync "$LOGIN"
xdotool key shift+Tab
xdotool type 1001
xdotool key Tab
xdotool type demo1001
shot 01-sign-in
xdotool key Return
sleep 2
shot 02-greeting
xdotool key Return # the greeting

# The chooser opens on the first tick; a double-click on today's first lesson records it.
sleep 2
CHOOSER=$(xdotool getwindowfocus)
shot 03-chooser
xdotool mousemove --window "$CHOOSER" 60 79 click --repeat 2 --delay 80 1
MAIN=$(wait_window '^Tavrin    ') || fail "no lesson entered"
eval "$(xdotool getwindowgeometry --shell "$MAIN")"
MX=$X MY=$Y MH=$HEIGHT
click_bar() { xdotool mousemove $((MX + $1)) $((MY + MH - 25)) click 1; sleep 0.5; }
# Discovery connects the phones; the connect button (the ninth) probes again
# when an answer was missed.
connected() { grep -q -- '----ss--- con= ' "$WORK/tavrin.err"; }
for _ in 1 2 3 4; do
    for _ in $(seq 30); do connected && break; sleep 0.1; done
    connected && break
    click_bar 359
done
connected || fail "no phone was found"
sleep 3
shot 04-capture
# Channel 1 alone into the programme (the first layout button), then the
# record button (the fifth).
click_bar 23
click_bar 191
sleep 6
shot 05-recording
click_bar 190 # recording off
LESSON_DIR=$(ls -d "$WORK"/store/1001/*/ | head -1)
[ -s "$LESSON_DIR/index.dat" ] || fail "no store was written"
LESSON=$(basename "$LESSON_DIR")

# The chooser from the bar (its button is the second from the right), then replay.
xdotool mousemove $((MX + WIDTH - 66)) $((MY + MH - 25)) click 1
sleep 2
CHOOSER=$(xdotool getwindowfocus)
xdotool mousemove --window "$CHOOSER" 60 79 click 1
sleep 0.5
shot 06-chooser-again
xdotool mousemove --window "$CHOOSER" 160 526 click 1 # replay
sleep 4
shot 07-replay
# Delete-mark mode (third button), a drag along the block row, save (fourth).
click_bar 108
RY=$((MY + MH - 49 - 36))
xdotool mousemove $((MX + 3)) $RY mousedown 1 mousemove $((MX + 500)) $RY \
    mousemove $((MX + WIDTH - 4)) $RY mouseup 1
sleep 1
shot 08-delete-marks
click_bar 150
sleep 1
kill -0 "$TAVRIN" || fail "the console ended"
# The store is the console's while it runs.
kill "$TAVRIN"
wait "$TAVRIN" 2>/dev/null || true
"$PROG/tavrin-cli" info --root "$WORK/store" --user 1001 --lesson "$LESSON" >"$WORK/info2" ||
    fail "store unreadable after the cut"
grep -q '^blocks  *\([3-9]\|[1-9][0-9]\+\) ([1-9][0-9]* deleted)$' "$WORK/info2" ||
    fail "recorded and deleted blocks: $(grep blocks "$WORK/info2")"
echo "ok: $(grep blocks "$WORK/info2")"
