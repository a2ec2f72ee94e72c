#!/usr/bin/env bash
# Starts ./scripts/run.sh as on a machine without a display, reads the VNC
# address it prints and takes a picture through it with a VNC client.
# Usage: scripts/vnc-check.sh [picture.jpg]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
picture=${1:-$(mktemp -u /tmp/kebodesk-vnc.XXXXXX).jpg}
command -v vncsnapshot >/dev/null 2>&1 || apt-get install -y -qq --no-install-recommends vncsnapshot >/dev/null
log=$(mktemp)
env -u DISPLAY -u WAYLAND_DISPLAY setsid "$root/scripts/run.sh" >"$log" 2>&1 &
run=$!
trap 'kill -- -"$run" 2>/dev/null || true; rm -f "$log"' EXIT

port=""
for _ in $(seq 1 1800); do   # the first run also builds
    port=$(sed -n 's/.*VNC display at 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log" | head -n 1)
    [ -n "$port" ] && break
    kill -0 "$run" 2>/dev/null || { cat "$log"; echo "run.sh ended early"; exit 1; }
    sleep 1
done
[ -n "$port" ] || { cat "$log"; echo "no VNC address printed"; exit 1; }
grep -A3 'VNC display' "$log"
sleep 8   # splash, then the main window with the connect dialog
timeout 60 vncsnapshot -quiet -encodings raw "127.0.0.1::$port" "$picture" >/dev/null 2>&1
# A blank screen of this size compresses to a few kilobytes; the main window
# with the connect dialog to hundreds.
size=$(stat -c %s "$picture" 2>/dev/null || echo 0)
if [ "$size" -lt 60000 ]; then
    echo "no picture, or a blank one, came through the VNC display ($size bytes)"; exit 1
fi
echo "picture through VNC: $picture ($size bytes)"
