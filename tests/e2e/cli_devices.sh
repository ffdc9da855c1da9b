#!/usr/bin/env bash
# tavrin-cli devices: without hardware nothing is listed and nothing fails;
# the virtual devices are listed with unique names and open as a channel
# would open them.
set -euo pipefail
BIN=$1
CLI=$BIN/tavrin-cli
fail() { echo "FAIL: $*" >&2; exit 1; }

out=$(TAVRIN_VIRTUAL_DEVICES=0 "$CLI" devices)
echo "$out"
grep -q '^cameras: [0-9]*$' <<<"$out" || fail "camera count missing"
grep -q '^microphones: [0-9]*$' <<<"$out" || fail "microphone count missing"

out=$(TAVRIN_VIRTUAL_DEVICES=1 "$CLI" devices)
echo "$out"
grep -q '^cameras: 2$' <<<"$out" || fail "virtual cameras"
grep -qP '^  Virtual Camera\t' <<<"$out" || fail "first camera name"
grep -qP '^  Virtual Camera_1\t' <<<"$out" || fail "second camera not made unique"
[ "$(grep -c '1280x720' <<<"$out")" = 1 ] || fail "1280x720 listed more than once"
grep -q '^    1280x720 30 fps' <<<"$out" || fail "1280x720 not listed with 30 fps"
grep -q '^microphones: 1$' <<<"$out" || fail "virtual microphone"

out=$(TAVRIN_VIRTUAL_DEVICES=1 "$CLI" devices --try 'Virtual Camera_1|Virtual Microphone' --seconds 2 2>/dev/null)
echo "$out"
grep -q 'camera: .* passed on, 640x360$' <<<"$out" || fail "640x480 camera not cut to 640x360"
grep -q '^microphone: peak level 1[0-9]$' <<<"$out" || fail "microphone level"

if TAVRIN_VIRTUAL_DEVICES=1 "$CLI" devices --try 'Nobody|Nothing' 2>/dev/null; then
    fail "unknown devices reported as success"
fi
echo PASS
