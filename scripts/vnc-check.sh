#!/usr/bin/env bash
# Starts ./scripts/run.sh as on a machine without a display and checks its
# VNC display from outside:
# - it starts whatever "Xvnc" and "vncpasswd" the path offers (here ones that fail);
# - its password file and X cookie are the user's alone;
# - a VNC client without the password, or with a wrong one, is refused, and an
#   X client without the cookie too; with the password the picture (the main
#   window with the connect dialog) comes through;
# - SIGTERM to run.sh, and Ctrl-C (SIGINT to its process group), leave no
#   helper process (program, VNC server, responder, web admin) behind.
# Usage: scripts/vnc-check.sh [picture.jpg]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
picture=${1:-$(mktemp -u /tmp/kebodesk-vnc.XXXXXX).jpg}
command -v vncsnapshot >/dev/null 2>&1 || "$root/scripts/setup.sh" --packages-only
work=$(mktemp -d)
run=""
trap '[ -z "$run" ] || kill -KILL -- -"$run" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "vnc-check: $*" >&2; [ ! -f "$work/log" ] || cat "$work/log" >&2; exit 1; }

# Another VNC server's "Xvnc" first on the path, as Debian's alternatives may have it.
mkdir "$work/other-vnc"
for tool in Xvnc vncpasswd; do
  printf '#!/bin/sh\necho "not the server run.sh was written for" >&2\nexit 1\n' >"$work/other-vnc/$tool"
  chmod +x "$work/other-vnc/$tool"
done

# Starts run.sh in a process group of its own; sets run, port, secret, display.
start_run() {
  : >"$work/log"
  env -u DISPLAY -u WAYLAND_DISPLAY PATH="$work/other-vnc:$PATH" setsid "$root/scripts/run.sh" >"$work/log" 2>&1 &
  run=$!
  port=""
  for _ in $(seq 1 1800); do   # the first run also builds
    port=$(sed -n 's/.*VNC display at 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$work/log" | head -n 1)
    [ -n "$port" ] && break
    kill -0 "$run" 2>/dev/null || fail "run.sh ended early"
    sleep 1
  done
  [ -n "$port" ] || fail "no VNC address printed"
  secret=$(sed -n 's/.*vncviewer -passwd \([^ ]*\) .*/\1/p' "$work/log" | head -n 1)
  display=$(sed -n 's/.*X display \(:[0-9]*\),.*/\1/p' "$work/log" | head -n 1)
  [ -n "$secret" ] && [ -n "$display" ] || fail "no password file or X display printed"
}

# Ends run.sh by signal and checks that every process it started is gone.
stop_run() {
  local how=$1 pids
  pids=$(pgrep -g "$run" | tr '\n' ' ')
  [ "$(echo "$pids" | wc -w)" -ge 5 ] || fail "expected run.sh, the program, the VNC server and two helpers; found: $pids"
  case $how in
    TERM) kill -TERM "$run" ;;              # run.sh alone, as a service manager does
    INT) kill -INT -- -"$run" ;;            # the whole foreground group, as Ctrl-C does
  esac
  for _ in $(seq 1 100); do
    local left=""
    for pid in $pids; do kill -0 "$pid" 2>/dev/null && left="$left $pid"; done
    [ -z "$left" ] && break
    sleep 0.1
  done
  [ -z "$left" ] || fail "after SIG$how these were left:$(ps -o pid=,args= -p "${left// /,}" 2>/dev/null | tr '\n' ';')"
  [ ! -e "$(dirname "$secret")" ] || fail "after SIG$how the secrets were left in $(dirname "$secret")"
  echo "SIG$how to run.sh: all of its $(echo "$pids" | wc -w) processes ended, secrets removed"
  run=""
}

start_run
grep -A5 'VNC display' "$work/log"
[ "$(stat -c '%a %U' "$secret")" = "600 $(id -un)" ] || fail "password file $(stat -c '%a %U' "$secret")"
[ "$(stat -c '%a' "$(dirname "$secret")")" = 700 ] || fail "secrets folder not private"
sleep 8   # splash, then the main window with the connect dialog

# Without a terminal: a client that would ask for the password cannot.
snapshot() { timeout 60 setsid -w vncsnapshot -quiet -encodings raw "$@" "127.0.0.1::$port" "$picture" </dev/null >/dev/null 2>&1; }
rm -f "$picture"
! snapshot || fail "a VNC client without the password got in"
printf 'wrong!\n' | /usr/bin/tigervncpasswd -f >"$work/wrong"
! snapshot -passwd "$work/wrong" || fail "a VNC client with a wrong password got in"
[ ! -s "$picture" ] || fail "a picture came through without the password"
echo "refused: a VNC client without the password, and one with a wrong password"
! DISPLAY=$display XAUTHORITY=/dev/null xwd -root -silent >/dev/null 2>&1 || fail "an X client without the cookie got in"
echo "refused: an X client without the cookie"

snapshot -passwd "$secret" || fail "the VNC client with the password got nothing"
# A blank screen of this size compresses to a few kilobytes; the main window
# with the connect dialog to hundreds.
size=$(stat -c %s "$picture" 2>/dev/null || echo 0)
[ "$size" -ge 60000 ] || fail "no picture, or a blank one, came through the VNC display ($size bytes)"
echo "picture through VNC with the password: $picture ($size bytes)"
stop_run TERM

start_run
sleep 3
stop_run INT
