#!/usr/bin/env bash
# Sets everything up and starts KEBODESK on its built-in virtual hardware.
# Without a display the program runs on a VNC display that listens on
# loopback only and asks a one-time password; the script prints how to reach it.
# Ending the script (the program closed, SIGTERM, Ctrl-C) ends every helper.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"
. "$root/scripts/helpers.sh"

# Autodetection asks the virtual hardware's responder on loopback, never the
# real network.
port=${ORVEHV_AUTODETECT_PORT:-3113}
export KEBO_AUTODETECT_TARGET=${KEBO_AUTODETECT_TARGET:-127.0.0.1:$port}
start_helper "$root/build/virtualhw/vhw-autodetect-responder" --port "$port"
# The mainframes' web pages, on their loopback addresses at an unprivileged port.
webport=${ORVEHV_WEBADMIN_PORT:-8080}
export KEBO_WEBADMIN_PORT=$webport
start_helper "$root/build/virtualhw/vhw-webadmin" --port "$webport"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  run_main "$root/build/app/kebodesk" "$@"
else
  run_main "$root/scripts/vnc-display.sh" "$root/build/app/kebodesk" "$@"
fi
