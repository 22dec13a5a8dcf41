#!/usr/bin/env bash
# Screenshots of the settings dialog on the simulated machine, under Xvfb at each
# screen size and in each language: every page (the camera page with and
# without the factory fields, the I/O page in mode 0 and in mode 4 with
# eight steps) and the boxes of Confirm over the dialog (refusal 232, question
# 234, failure 160, restart 418, the notes 276, 309 and 277, the progress), the record page and the data export's box, the parameter groups and a backup's box.
# Usage: tools/settingsshots/shots.sh OUTDIR [SIZE [LANG [STATE]]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
STATES="common common_multi camera camera_factory io io_multi advanced refusal question failed restart note276 note309 note277 progress record export network groups groupbox"
. tools/shotrig.sh
shots_main tools/settingsshots/mm_settings_shots "${SETTINGSSHOTS_DISPLAY:-:71}" "$STATES" "$@"
