#!/usr/bin/env bash
# Screenshots of the statistics page and the cycle-time page on generated
# days, under Xvfb at each screen size and in each language: the busy
# current day (1 camera and 8 cameras with 8 detections), an archived day,
# an empty day, one camera's tab, and the cycle-time page with its export
# dialog and progress box.
# Usage: tools/statspages/shots.sh OUTDIR [SIZES [LANGS]]   (needs xvfb)
#   e.g. tools/statspages/shots.sh /tmp/shots "1024x600" "0 1"
set -euo pipefail
cd "$(dirname "$0")/../.."
OUT=$(realpath -m "${1:?usage: tools/statspages/shots.sh OUTDIR [SIZES [LANGS]]}")
SIZES=${2:-"1920x1080 1280x800 1024x600"}
LANGS=${3:-"0 1 2"}
DISP=${STATS_SHOTS_DISPLAY:-:57}
TOOL=$(realpath build/tools/statspages/mm_stats_pages)
mkdir -p "$OUT"

for size in $SIZES; do
  Xvfb "$DISP" -screen 0 "${size}x24" >/dev/null 2>&1 &
  xpid=$!
  sleep 1
  for lang in $LANGS; do
    shot() {   # name, then the tool's arguments
      local name=$1; shift
      DISPLAY=$DISP QT_QPA_PLATFORM=xcb "$TOOL" --lang "$lang" --shot "$OUT/${size}-lang${lang}-${name}.png" "$@"
    }
    shot stats-busy-8cam --cameras 8 --detections 8 --mode 4
    shot stats-busy-1cam --cameras 1 --detections 1
    shot stats-archived --cameras 2 --detections 2 --day 1
    shot stats-empty --cameras 2 --detections 2 --day 2
    shot stats-camera1 --cameras 2 --detections 2 --camera-tab 1
    shot cycle --page cycle
    shot cycle-export --page export
    shot cycle-progress --page progress
  done
  kill "$xpid"
  wait "$xpid" 2>/dev/null || true
done
echo "screenshots in $OUT"
