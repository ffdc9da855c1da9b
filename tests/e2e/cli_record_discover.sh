#!/usr/bin/env bash
# tavrin-cli record --discover inside a private network namespace: two
# simulated phones answer the multicast probe and are connected to the free
# channels, next to a file on channel 1. Needs root for the namespace;
# otherwise the test is skipped (status 77).
set -euo pipefail
BIN=$1
if [ "${TAVRIN_IN_NETNS:-}" != 1 ]; then
    if ! unshare -n true 2>/dev/null; then
        echo "skipped: a private network namespace needs root"
        exit 77
    fi
    TAVRIN_IN_NETNS=1 exec unshare -n bash "$0" "$@"
fi
ip link set lo up
ip link set lo multicast on
ip route add 239.0.0.0/8 dev lo

CLI=$BIN/tavrin-cli
SIM=$BIN/../phone-sim/phone-sim.py
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-e2e-discover.XXXXXX")
PIDS=()
cleanup() {
    for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${KEEP:-}" ] && echo "kept $WORK" || rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for i in 1 2; do
    /usr/bin/python3 "$SIM" --bind "127.0.0.$((i + 1))" --id "found-$i" --seconds 2 --discovery \
        --log "$WORK/sim$i.log" >"$WORK/sim$i.out" 2>&1 &
    PIDS+=($!)
done
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=s=1280x720:r=25 -f lavfi -i sine=f=440:r=48000 \
    -t 3 -c:v libx264 -g 25 -pix_fmt yuv420p -c:a aac -ac 2 -ar 48000 "$WORK/movie.mp4"
for i in 1 2; do
    for _ in $(seq 300); do grep -q listening "$WORK/sim$i.out" && break; sleep 0.1; done
    grep -q listening "$WORK/sim$i.out" || { cat "$WORK/sim$i.out"; fail "phone-sim $i"; }
done

"$CLI" record --root "$WORK/root" --lesson 7 --seconds 8 --channel 1=file:"$WORK/movie.mp4" \
    --discover --combine 1,2,3 2>"$WORK/log" | tee "$WORK/out" \
    || { tail -20 "$WORK/log"; fail "record with discovery"; }
# Both phones land on the free channels 2 and 3, in either order, once each.
found=$(grep -o '^ch[23] connected found-[12]' "$WORK/out" | sort)
[ "$(wc -l <<<"$found")" -eq 2 ] || fail "phones not connected: $found"
[ "$(cut -d' ' -f1 <<<"$found" | sort -u | wc -l)" -eq 2 ] || fail "two phones on one channel: $found"
[ "$(cut -d' ' -f3 <<<"$found" | sort -u | wc -l)" -eq 2 ] || fail "one phone twice: $found"
grep -q '^t=8s .*ch2 video [1-9]' "$WORK/out" || fail "no pictures from channel 2"
# The phones heard the console's probe.
grep -q '^probe ' "$WORK/sim1.log" || fail "no probe heard"
echo "cli_record_discover: passed"
