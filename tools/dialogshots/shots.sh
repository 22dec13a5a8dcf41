#!/usr/bin/env bash
# Screenshots of the side dialogs on the simulated machine, under Xvfb at each
# screen size and in each language: the cavity names, the configuration
# viewer on both pages, a help picture with its buttons, and the camera
# renumbering with three and with eight cameras.
# Usage: tools/dialogshots/shots.sh OUTDIR [SIZE [LANG [STATE]]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
STATES="cavity viewer1 viewer2 help renumber3 renumber8"
. tools/shotrig.sh
# As shotrig's case, with the demo's camera count taken from the state
# ("renumber8": eight cameras; two otherwise).
shots_case() {   # build program display out size lang state
  local build=$1 program=$2 disp=$3 out=$4 size=$5 lang=$6 state=$7
  local name="${state}_${size}_lang${lang}"
  local cameras=2
  case "$state" in renumber[0-9]) cameras=${state#renumber} ;; esac
  local dir
  dir=$(mktemp -d)
  "$build/tools/demo/mm_make_demo" "$dir" --cameras "$cameras" --lang "$lang" >/dev/null
  QT_QPA_PLATFORM=offscreen "$build/tools/images/mm_make_images" "$dir/images" >/dev/null
  Xvfb "$disp" -screen 0 "${size}x24" >/dev/null 2>&1 &
  local xpid=$!
  "$build/tools/boardsim/mm_boardsim" --link "$dir/dev/ttyS0" </dev/null >"$dir/board.log" 2>&1 &
  local spid=$!
  for _ in $(seq 100); do [ -L "$dir/dev/ttyS0" ] && break; sleep 0.1; done
  sleep 0.5
  (cd "$dir" && DISPLAY=$disp MOULDMON_SERIAL="$dir/dev/ttyS0" MOULDMON_CAMSIM="$dir/camsim.json" \
      timeout 90 "$build/$program" --state "$state" --lang "$lang" \
      --out "$out/$name.png" >"$out/$name.log" 2>&1) || echo "$name failed (see $out/$name.log)"
  kill "$spid" 2>/dev/null || true
  wait "$spid" 2>/dev/null || true
  kill "$xpid" 2>/dev/null || true
  wait "$xpid" 2>/dev/null || true
  rm -rf "$dir"
}
shots_main tools/dialogshots/mm_dialog_shots "${DIALOGSHOTS_DISPLAY:-:73}" "$STATES" "$@"
