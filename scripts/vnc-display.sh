#!/usr/bin/env bash
# Runs a program on a VNC X server that listens on loopback only and lets in
# only the user who started it, and says how to view it. The first free port
# from KEBO_VNC_PORT (5900) up is taken.
#
# Two secrets, both in a folder only this user can open, removed at the end:
# - a one-time VNC password (8 random characters, VNC authentication), printed
#   once with the viewer command; the viewer on this machine reads it from the
#   password file, one elsewhere is given it by the user;
# - an X authorisation cookie, so other local accounts cannot reach the
#   program through the X display itself either.
# Usage: scripts/vnc-display.sh program [arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# TigerVNC's own binaries: "Xvnc" and "vncpasswd" are whatever Debian's
# alternatives point at, and another VNC server's lack -displayfd.
server=/usr/bin/Xtigervnc
vncpasswd=/usr/bin/tigervncpasswd
if [ ! -x "$server" ] || [ ! -x "$vncpasswd" ] || ! command -v xauth >/dev/null 2>&1; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    tigervnc-standalone-server tigervnc-tools xauth >/dev/null
fi

. "$root/scripts/helpers.sh"
umask_before=$(umask)
umask 077
secrets=$(mktemp -d "${XDG_RUNTIME_DIR:-/tmp}/kebodesk-vnc.XXXXXX")
trap 'stop_helpers; rm -rf "$secrets"' EXIT
password=$(head -c 6 /dev/urandom | base64 | tr '+/' 'kq')
printf '%s\n' "$password" | "$vncpasswd" -f >"$secrets/passwd"
# The server takes every cookie of its -auth file whatever display it names;
# clients look it up under the display number, added once that is known.
cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
: >"$secrets/Xauthority"
xauth -q -f "$secrets/Xauthority" add :0 . "$cookie"

port=${KEBO_VNC_PORT:-5900}
in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
while in_use "$port"; do port=$((port + 1)); done

# Xvnc picks a free display number and writes it to the pipe (opened both
# ways, so that opening it waits for nobody).
fifo="$secrets/displayfd"; mkfifo "$fifo"
exec 4<>"$fifo"
start_helper "$server" -displayfd 3 -localhost -nolisten tcp -rfbport "$port" \
     -SecurityTypes VncAuth -PasswordFile "$secrets/passwd" -auth "$secrets/Xauthority" \
     -geometry "${KEBO_VNC_GEOMETRY:-1600x1000}" -depth 24 3>&4 4>&- >/dev/null 2>&1
read -r -t 20 display <&4 || { echo "The VNC display did not start." >&2; exit 1; }
exec 4>&-
xauth -q -f "$secrets/Xauthority" add ":$display" . "$cookie"

host=$(hostname)
cat <<MSG
No display here: KEBODESK runs on a VNC display at 127.0.0.1:$port (loopback only).
  One-time password: $password  (also in $secrets/passwd, readable by you alone)
  On this machine:   vncviewer -passwd $secrets/passwd 127.0.0.1::$port
  From another one:  ssh -N -L $port:127.0.0.1:$port ${USER:-$(id -un)}@$host
                     then, there: vncviewer 127.0.0.1::$port  (it asks the password)
  X display :$display, for X clients: XAUTHORITY=$secrets/Xauthority
MSG
umask "$umask_before"
export DISPLAY=":$display" XAUTHORITY="$secrets/Xauthority"
run_main "$@"
