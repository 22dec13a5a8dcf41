#!/usr/bin/env bash
# Screenshots of the settings dialog on the simulated machine, under Xvfb at each
# screen size and in each language: every page (the camera page with and
# without the factory fields, the I/O page in mode 0 and in mode 4 with
# eight steps) and the boxes of Confirm over the dialog (refusal 232, question
# 234, failure 160, restart 418, the notes 276, 309 and 277, the progress).
# Usage: tools/settingsshots/shots.sh OUTDIR [SIZE [LANG [STATE]]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
OUT=$(realpath -m "${1:?usage: tools/settingsshots/shots.sh OUTDIR}")
mkdir -p "$OUT"
DISP=${SETTINGSSHOTS_DISPLAY:-:71}
BUILD=$(realpath build)
STATES="common common_multi camera camera_factory io io_multi advanced refusal question failed restart note276 note309 note277 progress"

run_case() {   # size lang state
  local size=$1 lang=$2 state=$3
  local name="${state}_${size}_lang${lang}"
  local dir
  dir=$(mktemp -d)
  "$BUILD/tools/demo/mm_make_demo" "$dir" --cameras 2 --lang "$lang" >/dev/null
  QT_QPA_PLATFORM=offscreen "$BUILD/tools/images/mm_make_images" "$dir/images" >/dev/null
  Xvfb "$DISP" -screen 0 "${size}x24" >/dev/null 2>&1 &
  local xpid=$!
  "$BUILD/tools/boardsim/mm_boardsim" --link "$dir/dev/ttyS0" </dev/null >"$dir/board.log" 2>&1 &
  local spid=$!
  for _ in $(seq 100); do [ -L "$dir/dev/ttyS0" ] && break; sleep 0.1; done
  sleep 0.5
  (cd "$dir" && DISPLAY=$DISP MOULDMON_SERIAL="$dir/dev/ttyS0" MOULDMON_CAMSIM="$dir/camsim.json" \
      timeout 90 "$BUILD/tools/settingsshots/mm_settings_shots" --state "$state" --lang "$lang" \
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
