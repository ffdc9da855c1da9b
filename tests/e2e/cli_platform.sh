#!/usr/bin/env bash
# tavrin-cli login and schedule against the platform simulator: the demo
# account's schedule is printed, saved, and read back offline; a refused
# account and an unreachable platform end with a non-zero status.
set -euo pipefail
BIN=$1
SIM=$2
CLI=$BIN/tavrin-cli
WORK=$(mktemp -d)
SIM_PID=
cleanup() {
    if [ -n "$SIM_PID" ]; then kill "$SIM_PID" 2>/dev/null || true; wait "$SIM_PID" 2>/dev/null || true; fi
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

/usr/bin/python3 "$SIM/platform-sim.py" --port 0 --quiet --cert "$SIM/platform-cert.pem" \
    --key "$SIM/platform-key.pem" --accounts "$SIM/demo-accounts.json" >"$WORK/sim.out" &
SIM_PID=$!
for _ in $(seq 100); do grep -q listening "$WORK/sim.out" 2>/dev/null && break; sleep 0.1; done
PORT=$(sed -n 's/^platform-sim listening on 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$WORK/sim.out")
[ -n "$PORT" ] || fail "platform-sim did not start"

# Host, port and CA come from vo.ini; a relative CAFile is beside vo.ini.
cp "$SIM/platform-cert.pem" "$WORK/platform-ca.pem"
printf '[Platform]\nHost=127.0.0.1\nPort=%s\nCAFile=platform-ca.pem\n' "$PORT" >"$WORK/vo.ini"
printf 'demo1001\n' >"$WORK/pw"
login=(--ini "$WORK/vo.ini" --cache "$WORK/lesson.dat" --user 1001 --password-file "$WORK/pw")

out=$("$CLI" login "${login[@]}")
echo "$out"
grep -q '^result  *200 成功$' <<<"$out" || fail "sign-in result"
grep -q '^operator  *示范区教育局 王晓梅$' <<<"$out" || fail "operator names"
grep -q '^lessons  *6$' <<<"$out" || fail "lesson count"
grep -q '^30101 .* -1 .*数学 上册 .*王晓梅' <<<"$out" || fail "yesterday's lesson"
grep -q '^30105 .* +7 ' <<<"$out" || fail "next week's lesson"
[ "$(stat -c %a "$WORK/lesson.dat")" = 600 ] || fail "lesson.dat is readable by others"

# The saved list, read without the platform.
offline=$("$CLI" schedule --offline --cache "$WORK/lesson.dat" --user 1001 --password-file "$WORK/pw")
diff <(grep -A7 '^lessons' <<<"$out") <(grep -A7 '^lessons' <<<"$offline") || fail "offline list differs"

# A frozen account is refused.
printf 'frozen1002' >"$WORK/pw2"
if "$CLI" login "${login[@]:0:4}" --user 1002 --password-file "$WORK/pw2" >"$WORK/frozen"; then
    fail "frozen account signed in"
fi
grep -q '^result  *301 本账号已冻结$' "$WORK/frozen" || fail "frozen result: $(cat "$WORK/frozen")"

# Platform gone: the saved list serves only when the operator accepts it.
kill "$SIM_PID"; wait "$SIM_PID" 2>/dev/null || true; SIM_PID=
if "$CLI" login "${login[@]}" >"$WORK/declined" 2>"$WORK/declined.err"; then fail "offline without consent"; fi
grep -q '本机存有您' "$WORK/declined.err" || fail "no offline offer: $(cat "$WORK/declined.err")"
accepted=$("$CLI" login "${login[@]}" --accept-offline 2>/dev/null)
grep -q '^login state  *2 ' <<<"$accepted" || fail "offline sign-in: $accepted"
grep -q '^lessons  *6$' <<<"$accepted" || fail "offline lessons"

# A damaged file is deleted with the message.
printf 'zz' >"$WORK/lesson.dat"
if "$CLI" schedule --offline --cache "$WORK/lesson.dat" --user 1001 --password-file "$WORK/pw" 2>"$WORK/damaged"; then
    fail "damaged list accepted"
fi
grep -q '本地备份的课程列表文件已损坏' "$WORK/damaged" || fail "damaged message: $(cat "$WORK/damaged")"
[ ! -e "$WORK/lesson.dat" ] || fail "damaged file kept"
echo "cli_platform: ok"
