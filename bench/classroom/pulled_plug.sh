#!/usr/bin/env bash
# A pulled plug: a lesson recorded over a logging I/O layer, then a power cut
# replayed at every sync point and just before the next, each with several
# seeded choices of which unsynced sectors reached the disk; every image is
# read back block by block and recorded on. Then what the flushes cost: the
# same frames recorded with and without them, as a ratio. Prints one line.
# Usage: pulled_plug.sh BIN_DIR [seconds] [images-per-cut] [seed]
set -euo pipefail
BIN=$(cd "$1" && pwd)
SECONDS_RECORDED=${2:-120}
IMAGES=${3:-8}
SEED=${4:-1}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-pulled-plug.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
set +e
lab=$("$BIN/store_crash_lab" "$WORK/lab" "$SECONDS_RECORDED" "$IMAGES" "$SEED" 4)
status=$?
cost=$("$BIN/bench_store_sync")
set -e
echo "${lab//$'\n'/; }; ${cost}"
exit $status
