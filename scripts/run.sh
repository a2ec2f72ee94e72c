#!/usr/bin/env bash
# Sets everything up and starts KEBODESK on its built-in virtual hardware.
# Without a display the program runs on a VNC display that listens on
# loopback only; the script prints how to reach it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"

# Autodetection asks the virtual hardware's responder on loopback, never the
# real network.
port=${ORVEHV_AUTODETECT_PORT:-3113}
export KEBO_AUTODETECT_TARGET=${KEBO_AUTODETECT_TARGET:-127.0.0.1:$port}
"$root/build/virtualhw/vhw-autodetect-responder" --port "$port" &
responder=$!
# The mainframes' web pages, on their loopback addresses at an unprivileged port.
webport=${ORVEHV_WEBADMIN_PORT:-8080}
export KEBO_WEBADMIN_PORT=$webport
"$root/build/virtualhw/vhw-webadmin" --port "$webport" &
webadmin=$!
trap 'kill "$responder" "$webadmin" 2>/dev/null || true' EXIT

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  "$root/build/app/kebodesk" "$@"
else
  "$root/scripts/vnc-display.sh" "$root/build/app/kebodesk" "$@"
fi
