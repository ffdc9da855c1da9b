#!/usr/bin/env bash
# tavrin-cli record from a local camera and microphone: a lesson recorded from
# the virtual devices is read back from the store and decoded by FFmpeg; a
# camera that is not listed is refused.
set -euo pipefail
BIN=$1
HERE=$(cd "$(dirname "$0")" && pwd)
CLI=$BIN/tavrin-cli
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e-devices.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
SECONDS_TO_RECORD=${SECONDS_TO_RECORD:-20}
export TAVRIN_VIRTUAL_DEVICES=1

set +e
"$CLI" record --root "$WORK/root" --lesson 1 --seconds 2 --channel '1=device:No Camera|No Mic' \
    2>"$WORK/err"
status=$?
set -e
[ $status -eq 4 ] || fail "unlisted devices: status $status"
grep -q "names no listed camera or microphone" "$WORK/err" || fail "unlisted: $(cat "$WORK/err")"

echo "== from the virtual camera and microphone"
"$CLI" record --root "$WORK/root" --user 7 --lesson 201 --seconds "$SECONDS_TO_RECORD" \
    --channel '1=device:Virtual Camera|Virtual Microphone' 2>"$WORK/log" | tee "$WORK/out" \
    || { tail "$WORK/log"; fail "record from devices"; }
[ "$(grep -c '^t=' "$WORK/out")" -eq "$SECONDS_TO_RECORD" ] || fail "one rate line per second"
mkdir "$WORK/a"
/usr/bin/python3 "$HERE/check_store.py" "$CLI" "$WORK/root" 7 201 "$SECONDS_TO_RECORD" "$WORK/a"
echo "cli_record_devices: passed"
