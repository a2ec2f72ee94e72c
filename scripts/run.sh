#!/usr/bin/env bash
# Sets everything up and starts KEBODESK on its built-in virtual hardware.
# Without a display the program runs on a virtual X server (Xvfb).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
# Autodetection asks the virtual hardware's responder on loopback.
export KEBO_AUTODETECT_TARGET=${KEBO_AUTODETECT_TARGET:-127.0.0.1:3113}
export ORVEHV_AUTODETECT_PORT=${ORVEHV_AUTODETECT_PORT:-3113}
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: running on Xvfb (:99)."
  exec xvfb-run -n 99 -s "-screen 0 1600x1000x24" "$root/build/app/kebodesk" "$@"
fi
exec "$root/build/app/kebodesk" "$@"
