# Sourced by the page screenshot scripts: each case lays out a fresh demo
# directory, starts Xvfb and an answering board simulator, runs the shot
# program for one state and ends both again.
# shots_main PROGRAM DISPLAY "STATES" OUTDIR [SIZE [LANG [STATE]]]
# (run from the repository root).
shots_main() {
  local program=$1 disp=$2 states=$3
  local out
  out=$(realpath -m "${4:?usage: shots.sh OUTDIR [SIZE [LANG [STATE]]]}")
  mkdir -p "$out"
  local build
  build=$(realpath build)
  local size lang state
  for size in ${5:-1280x800 1024x600}; do
    for lang in ${6:-0 1 2}; do
      for state in ${7:-$states}; do
        shots_case "$build" "$program" "$disp" "$out" "$size" "$lang" "$state"
      done
    done
  done
  echo "shots in $out"
}

shots_case() {   # build program display out size lang state
  local build=$1 program=$2 disp=$3 out=$4 size=$5 lang=$6 state=$7
  local name="${state}_${size}_lang${lang}"
  local dir
  dir=$(mktemp -d)
  "$build/tools/demo/mm_make_demo" "$dir" --cameras 2 --lang "$lang" >/dev/null
  QT_QPA_PLATFORM=offscreen "$build/tools/images/mm_make_images" "$dir/images" >/dev/null
  Xvfb "$disp" -screen 0 "${size}x24" >/dev/null 2>&1 &
  local xpid=$!
  # The board only answers; the shot programs set their scenes themselves.
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
