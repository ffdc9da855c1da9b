#!/usr/bin/env bash
# tavrin-cli record end to end: a lesson recorded from a looping MP4 and one
# from a JPEG with MP3 music are read back from the store and decoded by
# FFmpeg; bad sources are refused with a clear message and status.
set -euo pipefail
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)
CLI=$BIN/tavrin-cli
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e-record.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
SECONDS_TO_RECORD=${SECONDS_TO_RECORD:-20}

ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=25 -f lavfi -i sine=f=440:r=48000 \
    -t 7 -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 "$WORK/movie.mp4"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1024x768 -frames:v 1 "$WORK/still.jpg"
ffmpeg -nostdin -v error -y -f lavfi -i sine=f=660:r=44100 -t 5 -c:a libmp3lame "$WORK/music.mp3"

# Refusals first: they must not leave a recording behind.
set +e
"$CLI" record --root "$WORK/root" --lesson 1 --seconds 2 --channel 1=file:"$WORK/none.mp4" \
    2>"$WORK/err"
status=$?
set -e
[ $status -eq 3 ] || fail "missing file: status $status"
grep -q "no such file: $WORK/none.mp4" "$WORK/err" || fail "missing file: $(cat "$WORK/err")"
echo "not a movie" >"$WORK/text.mp4"
set +e
"$CLI" record --root "$WORK/root" --lesson 1 --seconds 2 --channel 1=file:"$WORK/text.mp4" \
    2>"$WORK/err"
status=$?
set -e
[ $status -eq 4 ] || fail "unplayable file: status $status"
grep -q "text.mp4 cannot be opened" "$WORK/err" || fail "unplayable file: $(cat "$WORK/err")"
if "$CLI" record --root "$WORK/root" --lesson 1 --seconds 2 --channel 1=tape:x 2>"$WORK/err"; then
    fail "bad channel accepted"
fi
grep -q "kind must be file, image, device, phone or desktop" "$WORK/err" || fail "bad channel: $(cat "$WORK/err")"

echo "== from an MP4"
"$CLI" record --root "$WORK/root" --user 5 --lesson 101 --seconds "$SECONDS_TO_RECORD" \
    --channel 1=file:"$WORK/movie.mp4" 2>"$WORK/log" | tee "$WORK/out" \
    || { tail "$WORK/log"; fail "record from MP4"; }
[ "$(grep -c '^t=' "$WORK/out")" -eq "$SECONDS_TO_RECORD" ] || fail "one rate line per second"
mkdir "$WORK/a"
/usr/bin/python3 "$HERE/check_store.py" "$CLI" "$WORK/root" 5 101 "$SECONDS_TO_RECORD" "$WORK/a"

echo "== from a JPEG with MP3, combined with the MP4, sound from the image"
"$CLI" record --root "$WORK/root" --user 5 --lesson 102 --seconds "$SECONDS_TO_RECORD" \
    --resolution 1080 --channel 1=file:"$WORK/movie.mp4" \
    --channel 2=image:"$WORK/still.jpg|$WORK/music.mp3" --combine 2,1 --audio 2 \
    2>"$WORK/log" | tee "$WORK/out" || { tail "$WORK/log"; fail "record from JPEG+MP3"; }
mkdir "$WORK/b"
/usr/bin/python3 "$HERE/check_store.py" "$CLI" "$WORK/root" 5 102 "$SECONDS_TO_RECORD" "$WORK/b"
ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$WORK/b/v.h264" | grep -q '^1920,1080$' \
    || fail "programme size"
echo "cli_record: passed"
