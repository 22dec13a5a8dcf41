#!/usr/bin/env bash
# Screenshots of the running monitor on the simulated machine, as a person
# sees them: under Xvfb at each screen size and in each language, one camera
# with the zoom column unfolded, four cameras in the grid, and two cameras in
# an NG alarm.  Also copies one NG picture and one re-detected pair.
# Usage: tools/demo/shots.sh OUTDIR [SIZE [LANG [CASE]]]   (needs xvfb, xdotool,
# imagemagick); SIZE e.g. 1024x600, LANG 0-2, CASE zoom, grid or alarm.
set -euo pipefail
cd "$(dirname "$0")/../.."
OUT=$(realpath -m "${1:?usage: tools/demo/shots.sh OUTDIR}")
mkdir -p "$OUT"
DISP=:61
BUILD=$(realpath build)

run_case() {   # size lang cameras left-every name action
  local size=$1 lang=$2 cams=$3 left=$4 name=$5 action=$6
  local w=${size%x*} h=${size#*x}
  Xvfb "$DISP" -screen 0 "${size}x24" >/dev/null 2>&1 &
  local xpid=$!
  sleep 1
  DISPLAY=$DISP setsid scripts/run --fresh --cameras "$cams" --lang "$lang" --left-every "$left" \
      >"$OUT/$name.trace" 2>&1 &
  local rpid=$!
  case $action in
    zoom)
      sleep 9
      # The enlarge button: x 5, 70 high, its column ending on screen.
      local top=300; [ "$h" -lt 820 ] && top=$((300 - (820 - h)))
      DISPLAY=$DISP xdotool mousemove 40 $((top + 35)) click 1
      sleep 1 ;;
    grid) sleep 9 ;;
    alarm)
      for _ in $(seq 120); do grep -q "alarm on" "$OUT/$name.trace" && break; sleep 0.25; done
      sleep 0.6 ;;
  esac
  DISPLAY=$DISP import -window root "$OUT/$name.png"
  if [ "$action" = alarm ]; then
    # The NG areas blink once a second: the other phase too.
    sleep 1
    DISPLAY=$DISP import -window root "$OUT/${name}_blink.png"
  fi
  if [ "$action" = alarm ]; then
    # Wait for the release so that the re-detected pair is written.
    for _ in $(seq 120); do [ "$(grep -c 'alarm off' "$OUT/$name.trace")" -ge 2 ] && break; sleep 0.25; done
    sleep 3
    local ng="$BUILD/demo/alarmimage/camera1/detect2/NG"
    ls -1 "$ng"/*.jpg 2>/dev/null | sort -V | tail -2 | while read -r f; do cp "$f" "$OUT/${name}_$(basename "$f")"; done
  fi
  kill -- -"$rpid" 2>/dev/null || true
  wait "$rpid" 2>/dev/null || true
  kill "$xpid" 2>/dev/null || true
  wait "$xpid" 2>/dev/null || true
}

CASE=${4:-}
want() { [ -z "$CASE" ] || [ "$CASE" = "$1" ]; }
for size in ${2:-1280x800 1024x600}; do
  for lang in ${3:-0 1 2}; do
    if want zoom; then run_case "$size" "$lang" 1 0 "zoom_${size}_lang${lang}" zoom; fi
    if want grid; then run_case "$size" "$lang" 4 0 "grid_${size}_lang${lang}" grid; fi
    if want alarm; then run_case "$size" "$lang" 2 1 "alarm_${size}_lang${lang}" alarm; fi
  done
done
echo "shots in $OUT"
