#!/usr/bin/env bash
# Screenshots of the area page on the simulated machine, under Xvfb at each
# screen size and in each language: the template source with the area tools
# (a selected rectangle with the full panel, one at the bottom margin, a
# selected circle, a polygon being drawn), the template-browsing tools, the
# alarm on live over the grid and over one camera, the recent NG frames, the
# NG-record browser, the cavity boxes and the page docked left.
# Usage: tools/areashots/shots.sh OUTDIR [SIZE [LANG [STATE]]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
OUT=$(realpath -m "${1:?usage: tools/areashots/shots.sh OUTDIR}")
mkdir -p "$OUT"
DISP=${AREASHOTS_DISPLAY:-:58}
BUILD=$(realpath build)
STATES="rect rect_bottom circle polygon browse alarm_grid alarm_one recent_ng ng_record cavity left"

run_case() {   # size lang state
  local size=$1 lang=$2 state=$3
  local name="${state}_${size}_lang${lang}"
  local dir
  dir=$(mktemp -d)
  "$BUILD/tools/demo/mm_make_demo" "$dir" --cameras 2 --lang "$lang" >/dev/null
  QT_QPA_PLATFORM=offscreen "$BUILD/tools/images/mm_make_images" "$dir/images" >/dev/null
  Xvfb "$DISP" -screen 0 "${size}x24" >/dev/null 2>&1 &
  local xpid=$!
  # The board only answers; the shots swap the scenes themselves.
  "$BUILD/tools/boardsim/mm_boardsim" --link "$dir/dev/ttyS0" </dev/null >"$dir/board.log" 2>&1 &
  local spid=$!
  for _ in $(seq 100); do [ -L "$dir/dev/ttyS0" ] && break; sleep 0.1; done
  sleep 0.5
  (cd "$dir" && DISPLAY=$DISP MOULDMON_SERIAL="$dir/dev/ttyS0" MOULDMON_CAMSIM="$dir/camsim.json" \
      timeout 90 "$BUILD/tools/areashots/mm_area_shots" --state "$state" --lang "$lang" \
      --out "$OUT/$name.png" >"$OUT/$name.log" 2>&1) || echo "$name failed (see $OUT/$name.log)"
  kill "$spid" 2>/dev/null || true
  wait "$spid" 2>/dev/null || true
  kill "$xpid" 2>/dev/null || true
  wait "$xpid" 2>/dev/null || true
  rm -rf "$dir"
}

for size in ${2:-1280x800 1024x600}; do
  for lang in ${3:-0 1 2}; do
    for state in ${4:-$STATES}; do
      run_case "$size" "$lang" "$state"
    done
  done
done
echo "shots in $OUT"
