#!/usr/bin/env bash
# Screenshots of the other-network dialog on the simulated machine, under Xvfb
# at each screen size and in each language: the alarm notice (page 1), the
# device data with a product list (3), Wi-Fi (4), the servers (5), the memo
# list (6) and the network ports with canned readings (7).
# Usage: tools/othernetshots/shots.sh OUTDIR [SIZE [LANG [STATE]]]   (needs xvfb)
set -euo pipefail
cd "$(dirname "$0")/../.."
STATES="sms product wifi server memo ports"
. tools/shotrig.sh
shots_main tools/othernetshots/mm_othernet_shots "${OTHERNETSHOTS_DISPLAY:-:72}" "$STATES" "$@"
