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
STATES="rect rect_bottom circle polygon browse alarm_grid alarm_one recent_ng ng_record cavity left"
. tools/shotrig.sh
shots_main tools/areashots/mm_area_shots "${AREASHOTS_DISPLAY:-:58}" "$STATES" "$@"
