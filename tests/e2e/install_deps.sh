#!/usr/bin/env bash
# scripts/install-deps with the package tools and the service manager played
# by stand-ins that log their calls: installing nginx-light stops the nginx
# service the install started, leaves one that already ran alone, and never
# kills nginx processes by name (other nginx servers on the machine, the
# tests' own among them, must live on).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$WORK/bin"
stub() { # name body
    printf '#!/usr/bin/env bash\n%s\n' "$2" >"$WORK/bin/$1"
    chmod +x "$WORK/bin/$1"
}
LOG=$WORK/calls
# Every package is present except nginx-light.
stub dpkg-query '[ "${@: -1}" = nginx-light ] && exit 1; echo "install ok installed"'
# Installing starts the service, as the package does.
stub apt-get 'echo "apt-get $*" >>'"$LOG"'; [ "$1" = install ] && touch '"$WORK/active"'; exit 0'
stub systemctl 'echo "systemctl $*" >>'"$LOG"'
case "$*" in
  "is-active --quiet nginx") [ -e '"$WORK/active"' ] ;;
  "disable --now nginx") rm -f '"$WORK/active"' ;;
esac'
stub service 'echo "service $*" >>'"$LOG"
for k in pkill killall; do stub $k 'echo "'$k' $*" >>'"$LOG"; done
stub sudo '"$@"'

PATH=$WORK/bin:$PATH bash "$ROOT/scripts/install-deps" >/dev/null
grep -q '^apt-get install .*nginx-light' "$LOG" || fail "nginx-light not installed"
grep -q '^systemctl disable --now nginx' "$LOG" || fail "the service the install started still runs"
[ ! -e "$WORK/active" ] || fail "the service the install started still runs"
if grep -q '^pkill\|^killall' "$LOG"; then fail "processes killed by name: $(grep '^pkill\|^killall' "$LOG")"; fi

# A service that ran before the install is the machine owner's: left alone.
: >"$LOG"
touch "$WORK/active"
PATH=$WORK/bin:$PATH bash "$ROOT/scripts/install-deps" >/dev/null
if grep -q 'disable\|stop\|^pkill\|^killall' "$LOG"; then fail "a running service was stopped: $(cat "$LOG")"; fi
echo "install_deps: passed"
