#!/usr/bin/env bash
# Classroom scenario 1, phones on a busy Wi-Fi: simulated phones in one
# namespace reach tavrin-cli record in another over the impaired link
# (tools/netlink-sim): 2 % loss, 20 ms +- 30 ms delay and a 6 Mbit/s cap per
# phone, then a 5-s burst of 30 % loss, then the Wi-Fi as before. The
# programme is recorded and pushed to nginx-rtmp beside the console. Prints
# one line: per channel pictures received vs sent, reconnects and whether it
# moves again after the burst; pictures dropped; the recording's blocks vs
# seconds and missed ticks. CLEAR=1 runs the same with the link unimpaired.
# TCP=1 also samples the phones' sending sockets every second (ss -ti inside
# the phones' namespace) and prints a second line: retransmitted segments,
# timeouts, the retransmission timeout and the round trip TCP measured.
# LOSS=, JITTER= override the Wi-Fi's loss (percent) and jitter (ms).
# Usage: wifi.sh BIN_DIR [short]   (as root; short takes under 3 minutes)
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=$(cd "$1" && pwd)
CLI=$BIN/tavrin-cli
SIM=$BIN/../phone-sim/phone-sim.py
# Four phones at least: the programme shows channels 1-4 in quadrants, where
# the latency probe looks for the marked pictures.
if [ "${2:-}" = short ]; then
    PHONES=4 WIFI=60 AFTER=20
else
    PHONES=5 WIFI=300 AFTER=30
fi
BURST=5
T_BURST=$WIFI
T_AFTER=$((WIFI + BURST))
TOTAL=$((T_AFTER + AFTER))
MARK=25 # every 25th picture a phone sends is logged with its send time

source "$HERE/link.sh"
scenario_begin wifi

addrs=""
for i in $(seq "$PHONES"); do addrs+="127.0.0.$((i + 1)) "; done
link_up "${addrs% }" "127.0.1.1" 17 "$WORK"
# CLEAR=1 leaves the link unimpaired: the reference of the same machine.
WIFI_LOSS=${LOSS:-2} BURST_LOSS=30
if [ -n "${CLEAR:-}" ]; then
    WIFI_LOSS=0 BURST_LOSS=0
else
    link_set to_far delay=20 jitter="${JITTER:-30}" rate=6000
    link_set to_near delay=20 jitter="${JITTER:-30}" rate=6000
fi
link_set both loss=$WIFI_LOSS

mkdir -p "$WORK/nginx/logs"
cat >"$WORK/nginx/nginx.conf" <<CONF
load_module /usr/lib/nginx/modules/ngx_rtmp_module.so;
daemon off;
master_process off;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log info;
events { worker_connections 64; }
rtmp { server { listen 127.0.0.1:1935; application live { live on; } } }
CONF
ip netns exec "$LINK_FAR" nginx -p "$WORK/nginx" -c "$WORK/nginx/nginx.conf" &
PIDS+=($!)
channels=()
combine=""
for i in $(seq "$PHONES"); do
    ip netns exec "$LINK_NEAR" /usr/bin/python3 "$SIM" --bind "127.0.0.$((i + 1))" --id "pad-$i" \
        --width 1280 --height 720 --bitrate 2000 --mark-period "$MARK" --log "$WORK/sim$i.log" \
        >"$WORK/sim$i.out" 2>&1 &
    PIDS+=($!)
    channels+=(--channel "$i=phone:127.0.0.$((i + 1))")
    [ "$i" -le 4 ] && combine+="$i,"
done
for i in $(seq "$PHONES"); do
    for _ in $(seq 600); do grep -q listening "$WORK/sim$i.out" && break; sleep 0.1; done
    grep -q listening "$WORK/sim$i.out" || fail "phone-sim $i: $(cat "$WORK/sim$i.out")"
done

ip netns exec "$LINK_FAR" "$CLI" record --root "$WORK/root" --user 3 --lesson 301 \
    --seconds "$TOTAL" "${channels[@]}" --combine "${combine%,}" --audio 1 \
    --rtmp "rtmp://127.0.0.1:1935/live/lesson" --marks "$WORK/marks" >"$WORK/out" 2>"$WORK/log" &
CLI_PID=$!
PIDS+=($CLI_PID)
recorded() { sed -n 's/^t=\([0-9]*\)s .*programme.*/\1/p' "$WORK/out" | tail -1; }
wait_until() {
    while kill -0 "$CLI_PID" 2>/dev/null; do
        [ "$(recorded)" -ge "$1" ] 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}
if [ -n "${TCP:-}" ]; then
    # The phones send the pictures: their sockets hold the retransmission
    # counters. One snapshot a second, until the burst.
    (while kill -0 "$CLI_PID" 2>/dev/null; do
        echo "at $(date +%s.%N)"
        in_near ss -tinH state established '( sport = :37021 )' || true
        sleep 1
    done) >"$WORK/tcp" 2>/dev/null &
    PIDS+=($!)
fi
wait_until "$T_BURST" || fail "recording ended early: $(tail -3 "$WORK/log")"
[ -z "${TCP:-}" ] || cp "$WORK/tcp" "$WORK/tcp.before_burst"
burst_start=$(date +%s.%N)
link_set both loss=$BURST_LOSS
wait_until "$T_AFTER" || fail "recording ended early: $(tail -3 "$WORK/log")"
link_set both loss=$WIFI_LOSS
burst_end=$(date +%s.%N)
wait "$CLI_PID" || fail "tavrin-cli record failed: $(tail -3 "$WORK/log")"

# Blocks as the store reader counts them (the line above gives closed seconds).
blocks=$("$CLI" info --root "$WORK/root" --user 3 --lesson 301 | awk '$1 == "blocks" { print $2 }')
dropped=$(sed -n 's/.*, \([0-9]*\) queued pictures dropped.*/\1/p' "$WORK/out")
missed=$(sed -n 's/^programme: [0-9]* ticks, \([0-9]*\) missed/\1/p' "$WORK/out")
# Phone-to-programme latency: each sighting of a white quadrant belongs to
# the latest mark its phone logged before it (as bench/phones.sh matches).
latency=$(/usr/bin/python3 - "$WORK" "$burst_start" "$burst_end" <<'PY'
import bisect, statistics, sys
work, b0, b1 = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
marks = {}
for slot in range(1, 5):
    marks[slot] = sorted(float(l.split()[2]) for l in open(f"{work}/sim{slot}.log") if l.startswith("mark "))
before, after = [], []
# When the marked picture reached the channel's queue: its stamp is its send time.
queued, played = {}, {}
for line in open(f"{work}/marks"):
    f = line.split()
    if f[0] in ("queued", "played"):
        (queued if f[0] == "queued" else played).setdefault(int(f[1]), []).append((float(f[2]), float(f[3])))
for stage in (queued, played):
    for slot in stage:
        stage[slot].sort()
def stage_at(stage, slot, sent):
    v = stage.get(slot, [])
    k = bisect.bisect_left(v, (sent - 0.005, 0.0))
    return v[k][1] if k < len(v) and abs(v[k][0] - sent) < 0.005 else None
network, waiting, console = [], [], []
for line in open(f"{work}/marks"):
    f = line.split()
    if f[0] != "seen":
        continue
    slot, t = int(f[1]), float(f[2])
    i = bisect.bisect_right(marks[slot], t)
    if i == 0 or t - marks[slot][i - 1] > 1.5:
        continue
    sent = marks[slot][i - 1]
    lat = t - sent
    if t < b0:
        before.append(lat)
        at_queue, taken = stage_at(queued, slot, sent), stage_at(played, slot, sent)
        if at_queue is not None and taken is not None:
            network.append(at_queue - sent)
            waiting.append(taken - at_queue)
            console.append(t - taken)
    elif t > b1:
        after.append((t - b1, lat))
def q(v, p):
    v = sorted(v)
    return v[min(len(v) - 1, int(p * len(v)))] if v else float("nan")
# Back under 100 ms: the first second after the burst whose median is.
back = "never"
for sec in range(0, 60):
    inside = [lat for (d, lat) in after if sec <= d < sec + 1]
    if inside and statistics.median(inside) < 0.1:
        back = f"{sec + 1} s"
        break
split = ""
if network:
    ms = lambda v: f"{1000 * q(v, 0.5):.0f}/{1000 * q(v, 0.95):.0f} ms"
    split = (f" [median/p95: network to our queue {ms(network)}, waiting in the queue {ms(waiting)}, "
             f"decoding to the programme {ms(console)}]")
print(f"latency median {1000 * q(before, 0.5):.0f} ms p95 {1000 * q(before, 0.95):.0f} ms "
      f"({len(before)} marks){split}, under 100 ms again {back} after the burst")
PY
)
per=""
stuck=0
for i in $(seq "$PHONES"); do
    got=$(awk -v ch="ch$i" '/^t=[0-9]+s / { for (k = 1; k < NF; ++k) if ($k == ch && $(k + 1) == "video") s += $(k + 2) } END { print s + 0 }' "$WORK/out")
    # Moving again: pictures in at least four of the five seconds before the
    # last (the last one ends with the recording). One empty second is no
    # stuck channel: a CI run saw one on a channel that received as many
    # pictures in all as the others (2105 of ~2125; TCP's retransmission
    # backoff on the lossy link can hold a second's pictures back).
    moving=$(awk -v ch="ch$i" -v a=$((TOTAL - 6)) -v b=$((TOTAL - 1)) '/ live / { next } /^t=[0-9]+s / { t = $1; sub("t=", "", t); sub("s", "", t)
        if (t + 0 <= a || t + 0 > b) next; v = 0; for (k = 1; k < NF; ++k) if ($k == ch && $(k + 1) == "video") v = $(k + 2)
        if (v == 0) ++empty } END { print (empty > 1 ? "stuck" : "moving") }' "$WORK/out")
    [ "$moving" = moving ] || stuck=$((stuck + 1))
    sent=$(($(grep -c '^mark ' "$WORK/sim$i.log" || true) * MARK))
    reconnects=$(grep -c "^ch$i reconnecting" "$WORK/out" || true)
    per+=" ch$i $got/~$sent $moving, $reconnects reconnects;"
done
what="${WIFI_LOSS}% loss, 20+-${JITTER:-30} ms, 6 Mbit/s each, ${BURST}s of 30% loss at ${T_BURST}s"
[ -z "${CLEAR:-}" ] || what="reference: the link unimpaired"
echo "wifi ${PHONES} phones ${TOTAL}s (${what}):${per} ${latency}; pictures dropped ${dropped:-?}, blocks ${blocks:-?} vs ${TOTAL} s, missed ticks ${missed}, channels stuck after the burst ${stuck}"

if [ -n "${TCP:-}" ]; then
    /usr/bin/python3 - "$WORK/tcp.before_burst" <<'PY'
import re, sys
# A connection's last snapshot before the burst holds its totals; every
# snapshot gives an rto and an rtt sample.
last, rto, rtt = {}, [], []
key = None
for line in open(sys.argv[1]):
    if not line.startswith((" ", "\t")):
        addrs = [f for f in line.split() if ":" in f]
        key = ">".join(addrs[:2]) if len(addrs) >= 2 else None
        continue
    if key is None or "rto:" not in line:
        continue
    num = lambda pattern: float(m.group(1)) if (m := re.search(pattern, line)) else 0.0
    last[key] = (num(r"retrans:\d+/(\d+)"), num(r"\bdata_segs_out:(\d+)"), num(r"\breord_seen:(\d+)"))
    rto.append(num(r"\brto:([0-9.]+)"))
    rtt.append(num(r"\brtt:([0-9.]+)"))
    key = None
retrans, segs, reord = (sum(v[i] for v in last.values()) for i in range(3))
def q(v, p):
    v = sorted(v)
    return v[min(len(v) - 1, int(p * len(v)))] if v else float("nan")
print(f"wifi tcp (phones' sending sockets, until the burst): {len(last)} connections, "
      f"{retrans:.0f} of {segs:.0f} data segments retransmitted ({100.0 * retrans / max(segs, 1):.1f} %), "
      f"reordering seen {reord:.0f} times, rto median {q(rto, 0.5):.0f} ms p95 {q(rto, 0.95):.0f} ms, "
      f"smoothed rtt median {q(rtt, 0.5):.0f} ms p95 {q(rtt, 0.95):.0f} ms")
PY
fi

# As a test (the short version in the suite): what must hold whatever the
# machine's load; the timing goals are judged from the printed line.
if [ -n "${CLASSROOM_CHECK:-}" ]; then
    [ "$stuck" -eq 0 ] || fail "$stuck channels did not resume moving pictures after the burst"
    for i in $(seq "$PHONES"); do
        grep -q "^ch$i connected pad-$i" "$WORK/out" || fail "phone $i never connected"
    done
    [ "${blocks:-0}" -gt 0 ] || fail "nothing was recorded"
    [ -s "$WORK/link.control" ] || fail "the link was never impaired"
fi
