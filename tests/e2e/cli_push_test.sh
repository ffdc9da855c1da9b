#!/usr/bin/env bash
# tavrin-cli push-test against real RTMP servers on 127.0.0.1: nginx with its
# RTMP module (recording what it receives) and the one-shot ffmpeg listener.
# What arrived is read back with ffprobe and decoded with ffmpeg.
set -euo pipefail
BIN=$1
CLI=$BIN/tavrin-cli
WORK=$(mktemp -d)
NGINX_PID=
LISTEN_PID=
cleanup() {
    [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null || true
    [ -n "$LISTEN_PID" ] && kill -9 "$LISTEN_PID" 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
HERE=$(cd "$(dirname "$0")" && pwd)
source "$HERE/../../scripts/lib/rtmp-server.sh"

# Checks a received FLV: both tracks, about $2 seconds, 25 fps, rising stamps,
# audio and video starting together, and every frame decodes.
check_flv() {
    local flv=$1 seconds=$2
    local streams
    streams=$(ffprobe -v error -show_entries stream=codec_name,width,height,sample_rate,channels,avg_frame_rate,start_time -of csv=p=0 "$flv")
    echo "$streams"
    grep -q '^h264,1280,720,25/1,' <<<"$streams" || fail "video track: $streams"
    grep -q '^aac,48000,2,' <<<"$streams" || fail "audio track: $streams"
    local duration
    duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$flv")
    awk -v d="$duration" -v s="$seconds" 'BEGIN { exit !(d > s - 1.5 && d < s + 1) }' || fail "duration $duration"
    for kind in v a; do
        ffprobe -v error -select_streams $kind -show_entries packet=pts -of csv=p=0 "$flv" |
            awk -F, '$1 == "" { next } n++ && $1 <= p { bad = 1 } { p = $1 } END { exit bad || n < 50 }' ||
            fail "$kind stamps not rising"
    done
    local vstart astart
    vstart=$(ffprobe -v error -select_streams v -show_entries stream=start_time -of csv=p=0 "$flv")
    astart=$(ffprobe -v error -select_streams a -show_entries stream=start_time -of csv=p=0 "$flv")
    awk -v v="$vstart" -v a="$astart" 'BEGIN { d = v - a; if (d < 0) d = -d; exit !(d < 0.1) }' ||
        fail "audio $astart and video $vstart start apart"
    # Raw outputs take any stamps, so only decoder complaints can appear.
    local errors
    errors=$(ffmpeg -nostdin -v error -i "$flv" -map 0:v -f rawvideo -y /dev/null -map 0:a -f s16le -y /dev/null 2>&1)
    [ -z "$errors" ] || fail "decode errors: $errors"
}

# nginx with the RTMP module, recording into $WORK/rec.
start_rtmp_server "$WORK" "$WORK/rec"
NGINX_PID=$RTMP_PID
PORT=$RTMP_PORT

out=$("$CLI" push-test --rtmp "rtmp://127.0.0.1:$PORT/live/lesson" --seconds 10 --name '第1课:推流' 2>"$WORK/err")
echo "$out"
# The encoders' own log lines stay off the terminal.
if grep -q 'x264\|@ 0x' "$WORK/err"; then fail "FFmpeg's log reached the terminal: $(head -3 "$WORK/err")"; fi
grep -q '^done: [0-9]* frames sent, 0 dropped' <<<"$out" || fail "push-test summary"
grep -q 'connected' <<<"$out" || fail "never connected"
sleep 1 # nginx closes the recording when the publisher leaves
check_flv "$WORK/rec/lesson.flv" 10

# The one-shot ffmpeg listener as the server.
PORT=$(free_port)
ffmpeg -nostdin -v error -listen 1 -i "rtmp://127.0.0.1:$PORT/live/x" -c copy -f flv -y "$WORK/listen.flv" &
LISTEN_PID=$!
sleep 1
TAVRIN_TRACE=1 "$CLI" push-test --rtmp "rtmp://127.0.0.1:$PORT/live/x" --seconds 5 >/dev/null 2>"$WORK/trace" ||
    fail "push to the ffmpeg listener"
# ... but they are part of the trace.
grep -q '^----ss---ffmpeg: \[libx264 @ 0x[0-9a-f]*\] profile High' "$WORK/trace" || fail "no x264 lines in the trace"
for _ in $(seq 150); do kill -0 "$LISTEN_PID" 2>/dev/null || break; sleep 0.1; done
packets=$(ffprobe -v error -count_packets -select_streams v -show_entries stream=nb_read_packets -of csv=p=0 "$WORK/listen.flv")
[ "${packets:-0}" -ge 100 ] || fail "ffmpeg listener got $packets pictures"
echo "cli push-test: ok"
