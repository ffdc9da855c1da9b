#!/usr/bin/env bash
# The private X server of the lesson runs (scripts/lib/lesson-peers.sh), in a
# machine of its own: private namespaces with an empty /tmp, as on a machine
# where no X server ever ran. A lesson run there gets a socket folder of its
# own; beside an unrelated server on :0 (and DISPLAY=:0 handed down) its
# display is served by its own server, :0 is not touched, and a server that
# is gone is reported with its own log.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
LIB=$HERE/../../scripts/lib/lesson-peers.sh
if [ "$(id -u)" != 0 ] || ! command -v unshare >/dev/null; then
    echo "needs root for private namespaces" >&2
    exit 77
fi
if [ -z "${X_TEST_MACHINE:-}" ]; then
    exec env X_TEST_MACHINE=1 unshare -nm bash "$0" "$@"
fi
# A checkout under /tmp stays where it is beneath the empty /tmp.
ROOT=$(cd "$HERE/../.." && pwd)
[[ $ROOT != /tmp/* ]] || mount --bind "$ROOT" /mnt
mount -t tmpfs x-test-tmp /tmp
if [[ $ROOT == /tmp/* ]]; then
    mkdir -p "$ROOT"
    mount --move /mnt "$ROOT"
fi
ip link set lo up
OUT=$(mktemp -d)
fail() { echo "FAIL: $*" >&2; exit 1; }

# One lesson run: the script below in the lessons' own namespaces.
cat >"$OUT/run.sh" <<'RUN'
set -euo pipefail
source "$1"
enter_private_netns "$0" "$@"
out=$2
trap stop_peers EXIT
[ "$(findmnt -n -o SOURCE /tmp/.X11-unix)" = tavrin-x11 ] || { echo "shared socket folder"; exit 1; }
start_xvfb "$out"
echo "$DISPLAY" >"$out/display"
xdotool sleep 1000 & # a client that stays keeps the server from resetting
PEER_PIDS+=($!)
xprop -root -f TAVRIN_RUN 8s -set TAVRIN_RUN "$out"
# The console's side: the display it is handed answers with this run's server.
xprop -root TAVRIN_RUN | grep -qF "\"$out\"" || { echo "another server on $DISPLAY"; exit 1; }
kill -KILL "$XVFB_PID"
while x_server_alive; do sleep 0.1; done
report_x_server 2>"$out/report"
# A server that cannot start: the run fails with the server's own words.
if start_xvfb "$out" ax1 2>"$out/start-report"; then
    echo "a server of a screen ax1x24 started"
    exit 1
fi
RUN

# A machine where no X server ran: there is no socket folder yet.
[ ! -e /tmp/.X11-unix ] || fail "the test machine is not fresh"
mkdir "$OUT/fresh"
bash "$OUT/run.sh" "$LIB" "$OUT/fresh" >"$OUT/fresh.log" 2>&1 ||
    fail "a run on a fresh machine: $(cat "$OUT/fresh.log")"
[ ! -e /tmp/.X11-unix ] || [ -z "$(ls -A /tmp/.X11-unix)" ] ||
    fail "the run's X socket is in the machine's folder: $(ls /tmp/.X11-unix)"

# Beside an unrelated server on :0, with DISPLAY=:0 handed down.
Xvfb :0 -nolisten tcp -screen 0 640x480x24 >"$OUT/xvfb-0.log" 2>&1 &
X0=$!
trap 'kill $X0 ${PARKED:-} 2>/dev/null; wait 2>/dev/null || true' EXIT
for _ in $(seq 100); do DISPLAY=:0 xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=:0 xdotool sleep 1000 & # keeps :0 from resetting
PARKED=$!
mkdir "$OUT/beside"
DISPLAY=:0 bash "$OUT/run.sh" "$LIB" "$OUT/beside" >"$OUT/beside.log" 2>&1 ||
    fail "a run beside :0: $(cat "$OUT/beside.log" "$OUT/beside/xvfb.log")"
DISPLAY=:0 xprop -root TAVRIN_RUN 2>&1 | grep -q 'not found\|no such atom' ||
    fail "the run wrote to the unrelated :0"
[ -S /tmp/.X11-unix/X0 ] || fail "the socket of :0 was taken away"
kill -0 "$X0" || fail ":0 ended"
kill "$PARKED" 2>/dev/null || true

# A server that ended is reported, with its own log.
for run in fresh beside; do
    grep -q "private X server (pid [0-9]*, :[0-9]*) is gone; its log:" "$OUT/$run/report" ||
        fail "$run: the ended server was not reported: $(cat "$OUT/$run/report")"
    grep -q "private X server (pid [0-9]*, .*) is gone; its log:" "$OUT/$run/start-report" &&
        grep -q "  Xvfb: Invalid screen configuration" "$OUT/$run/start-report" ||
        fail "$run: a server that could not start: $(cat "$OUT/$run/start-report")"
done
echo "x_server_start: passed (runs on $(cat "$OUT/fresh/display") and $(cat "$OUT/beside/display"))"
