#!/usr/bin/env bash
# Screenshots of the maintenance entries of the settings dialog on the
# simulated machine, under Xvfb at each screen size and in each language: the
# simple display of the camera page, the calibration and clock dialogs, the
# update's copy box and the refusals (update package, clock).
# Usage: tools/maintenanceshots/shots.sh OUTDIR [SIZE [LANG [STATE]]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
STATES="simple calibrate clock copying refused clockfailed"
. tools/shotrig.sh
shots_main tools/maintenanceshots/mm_maintenance_shots "${MAINTENANCESHOTS_DISPLAY:-:73}" "$STATES" "$@"
