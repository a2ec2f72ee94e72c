# Sourced by run.sh and vnc-display.sh: helper processes that end with the
# script, however it ends (the program closed, SIGTERM, Ctrl-C, a closed
# terminal). Background processes of a script ignore Ctrl-C, so the script
# ends them itself.
helper_pids=()

# Starts a command in the background as a helper: start_helper cmd args...
start_helper() {
  "$@" &
  helper_pids+=($!)
}

stop_helpers() {
  local pid
  for pid in "${helper_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  # Up to five seconds to end of their own accord, then no choice.
  for _ in $(seq 1 50); do
    local alive=0
    for pid in "${helper_pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ "$alive" -eq 1 ] || break
    sleep 0.1
  done
  for pid in "${helper_pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}

# Runs the main command in the background and waits for it; a signal makes
# the script exit (and so stop every helper) at once instead of after it.
run_main() {
  start_helper "$@"
  local status=0
  wait "${helper_pids[-1]}" || status=$?
  return "$status"
}

trap stop_helpers EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
