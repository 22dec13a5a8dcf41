#!/usr/bin/env bash
# Screenshots of the multi-detection I/O page (five steps, a gap in row 0,
# locked boxes grey) and of the I/O-name dialog, under Xvfb at each screen
# size and in each language.
# Usage: tools/multidetectshots/shots.sh OUTDIR [SIZE [LANG [STATE]]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
STATES="page names"
. tools/shotrig.sh
shots_main tools/multidetectshots/mm_multidetect_shots "${MULTIDETECTSHOTS_DISPLAY:-:87}" "$STATES" "$@"
