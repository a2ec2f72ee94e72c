#!/usr/bin/env bash
# Runs a program on a VNC X server that listens on loopback only, without a
# password (only local users and SSH tunnels reach it), and says how to view
# it. The first free port from KEBO_VNC_PORT (5900) up is taken.
# Usage: scripts/vnc-display.sh program [arguments...]
set -euo pipefail
command -v Xvnc >/dev/null 2>&1 || {
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get install -y -qq --no-install-recommends tigervnc-standalone-server >/dev/null
}

port=${KEBO_VNC_PORT:-5900}
in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
while in_use "$port"; do port=$((port + 1)); done

# Xvnc picks a free display number and writes it to the pipe.
fifo=$(mktemp -u); mkfifo "$fifo"
Xvnc -displayfd 3 -localhost -rfbport "$port" -SecurityTypes None \
     -geometry "${KEBO_VNC_GEOMETRY:-1600x1000}" -depth 24 3>"$fifo" >/dev/null 2>&1 &
server=$!
read -r -t 20 display <"$fifo" || { echo "The VNC display did not start." >&2; kill "$server" 2>/dev/null; exit 1; }
rm -f "$fifo"
trap 'kill "$server" 2>/dev/null || true' EXIT

host=$(hostname)
cat <<MSG
No display here: KEBODESK runs on a VNC display at 127.0.0.1:$port (loopback only).
  On this machine:   vncviewer 127.0.0.1::$port
  From another one:  ssh -N -L $port:127.0.0.1:$port ${USER:-$(id -un)}@$host
                     then, there: vncviewer 127.0.0.1::$port
MSG
DISPLAY=":$display" "$@"
