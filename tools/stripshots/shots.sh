#!/usr/bin/env bash
# Screenshots of the main screen with the status strip on the simulated
# machine, under Xvfb at each screen size and in each language: mode 0 with
# every strip option on and mode 4 with eight detections, each logged out
# with the side bar shown, and logged in with a USB disk mounted (the bar
# folded in mode 0, hidden in mode 4).
# Usage: tools/stripshots/shots.sh OUTDIR [SIZE [LANG]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
OUT=$(realpath -m "${1:?usage: tools/stripshots/shots.sh OUTDIR}")
mkdir -p "$OUT"
DISP=:67
BUILD=$(realpath build)

run_case() {   # size lang state name [flags]
  local size=$1 lang=$2 state=$3 name=$4; shift 4
  local dir
  dir=$(mktemp -d)
  "$BUILD/tools/demo/mm_make_demo" "$dir" --cameras 2 --lang "$lang" >/dev/null
  QT_QPA_PLATFORM=offscreen "$BUILD/tools/images/mm_make_images" "$dir/images" >/dev/null
  Xvfb "$DISP" -screen 0 "${size}x24" >/dev/null 2>&1 &
  local xpid=$!
  "$BUILD/tools/boardsim/mm_boardsim" --machine --link "$dir/dev/ttyS0" --left-every 0 --scenes "$dir/scenes" </dev/null \
      >"$dir/board.log" 2>&1 &
  local spid=$!
  for _ in $(seq 100); do [ -L "$dir/dev/ttyS0" ] && break; sleep 0.1; done
  sleep 0.5
  (cd "$dir" && DISPLAY=$DISP MOULDMON_SERIAL="$dir/dev/ttyS0" MOULDMON_CAMSIM="$dir/camsim.json" \
      timeout 60 "$BUILD/tools/stripshots/mm_strip_shots" --state "$state" --lang "$lang" \
      --out "$OUT/$name.png" "$@" >"$OUT/$name.log" 2>&1) || echo "$name failed (see $OUT/$name.log)"
  kill "$spid" 2>/dev/null || true
  wait "$spid" 2>/dev/null || true
  kill "$xpid" 2>/dev/null || true
  wait "$xpid" 2>/dev/null || true
  rm -rf "$dir"
}

for size in ${2:-1280x800 1024x600}; do
  for lang in ${3:-0 1 2}; do
    run_case "$size" "$lang" mode0 "mode0_${size}_lang${lang}_out_bar" --bar unfolded
    run_case "$size" "$lang" mode0 "mode0_${size}_lang${lang}_in_mounted_folded" --login --mount --bar folded
    run_case "$size" "$lang" mode4 "mode4_${size}_lang${lang}_out_bar" --bar unfolded
    run_case "$size" "$lang" mode4 "mode4_${size}_lang${lang}_in_mounted" --login --mount
  done
done
echo "shots in $OUT"
