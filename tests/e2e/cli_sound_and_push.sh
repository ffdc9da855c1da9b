#!/usr/bin/env bash
# What tavrin-cli record tells the operator on the terminal:
# - on a machine without a sound card, SDL's ALSA driver finds no device: the
#   sound library's own complaints go to the trace only, and one line says
#   that the lesson is recorded without sound output;
# - the live push: one line each when it connects, is lost (the RTMP server
#   killed) and is back (the server started again at the same address).
set -euo pipefail
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)
CLI=$BIN/tavrin-cli
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e-sound-push.XXXXXX")
RECORD_PID=
cleanup() {
    [ -n "$RECORD_PID" ] && kill "$RECORD_PID" 2>/dev/null
    [ -n "${RTMP_PID:-}" ] && kill "$RTMP_PID" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$HERE/../../scripts/lib/rtmp-server.sh"

ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=25 -f lavfi -i sine=f=440:r=48000 \
    -t 5 -c:v libx264 -preset superfast -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 \
    "$WORK/movie.mp4"

# --- no sound card ---------------------------------------------------------
if [ -e /proc/asound/cards ] && grep -q '^ *[0-9]' /proc/asound/cards; then
    echo "this machine has a sound card: the no-card case is not played here"
else
    SDL_AUDIODRIVER=alsa "$CLI" record --root "$WORK/root" --lesson 1 --seconds 2 \
        --channel 1=file:"$WORK/movie.mp4" >"$WORK/alsa.out" 2>&1 ||
        fail "record without a sound card: $(tail -3 "$WORK/alsa.out")"
    if grep -q 'ALSA lib' "$WORK/alsa.out"; then
        fail "the sound library's errors reached the terminal: $(grep -m2 'ALSA lib' "$WORK/alsa.out")"
    fi
    notices=$(grep -c '^tavrin-cli: no sound output device (.*): playing without sound$' \
        "$WORK/alsa.out" || true)
    [ "$notices" = 1 ] || fail "$notices lines about the missing sound output: $(cat "$WORK/alsa.out")"
    grep -q '^lesson 1 recorded' "$WORK/alsa.out" || fail "no recording: $(tail -3 "$WORK/alsa.out")"
    # The complaints are in the trace, not lost.
    TAVRIN_TRACE=1 SDL_AUDIODRIVER=alsa "$CLI" record --root "$WORK/root" --lesson 2 --seconds 1 \
        --channel 1=file:"$WORK/movie.mp4" >"$WORK/trace.out" 2>&1 || fail "record with the trace"
    grep -q "^----ss---alsa: .*cannot find card" "$WORK/trace.out" ||
        fail "the sound library's errors are not in the trace"
    grep -q 'ALSA lib' "$WORK/trace.out" && fail "ALSA's own lines with the trace on"
    echo "no sound card: $(grep 'no sound output' "$WORK/alsa.out")"
fi

# --- the live push: connected, lost, back ------------------------------------
start_rtmp_server "$WORK/nginx" "$WORK/rec"
URL=rtmp://127.0.0.1:$RTMP_PORT/live/lesson
SDL_AUDIODRIVER=dummy "$CLI" record --root "$WORK/root" --lesson 3 --seconds 120 \
    --channel 1=file:"$WORK/movie.mp4" --rtmp "$URL" >"$WORK/push.out" 2>&1 &
RECORD_PID=$!
# wait_line TEXT: up to 40 s for the record command to print TEXT.
wait_line() {
    local _
    for _ in $(seq 400); do
        grep -q -- "$1" "$WORK/push.out" && return 0
        kill -0 "$RECORD_PID" 2>/dev/null || break
        sleep 0.1
    done
    fail "no line '$1': $(cat "$WORK/push.out")"
}
wait_line "^live: 直播连通: 是  connected to $URL$"
wait_line '^t=3s'
kill -9 "$RTMP_PID"
wait "$RTMP_PID" 2>/dev/null || true
wait_line '^live: 直播连通: 否  connection lost, retrying$'
nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" &
RTMP_PID=$!
wait_line '^live: 直播连通: 是  back after [0-9]* attempts  连接: [0-9]*次$'
kill -INT "$RECORD_PID"
wait "$RECORD_PID" || fail "record ended with status $?: $(tail -3 "$WORK/push.out")"
RECORD_PID=
kill "$RTMP_PID"
wait "$RTMP_PID" 2>/dev/null || true
RTMP_PID=

grep '^live: ' "$WORK/push.out"
# Each state once, in the order it happened.
states=$(sed -n 's/^live: \(直播连通: 是  connected\|直播连通: 否  connection lost\|直播连通: 是  back\).*/\1/p' \
    "$WORK/push.out" | paste -sd'|')
[ "$states" = "直播连通: 是  connected|直播连通: 否  connection lost|直播连通: 是  back" ] ||
    fail "live lines: $states"
# The server started again received the push.
[ -s "$WORK/rec/lesson.flv" ] || fail "nothing reached the restarted server"
echo "cli_sound_and_push: passed"
