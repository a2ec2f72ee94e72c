#!/usr/bin/env bash
# Makes the pictures of the user manual (docs/manual/images/) with the screenshot
# tools of this folder, on the X display in $DISPLAY (Xvfb with a window manager,
# 1920x1080: `Xvfb :N -screen 0 1920x1080x24 & openbox &`), and shrinks them.
# The pictures are committed, so building the manual needs no display.
#   tools/screenshots/manual-screenshots.sh [build folder, default build]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
images=$root/docs/manual/images
[ -n "${DISPLAY:-}" ] || { echo "manual-screenshots: no DISPLAY (start Xvfb and a window manager)" >&2; exit 2; }
command -v convert >/dev/null || { echo "manual-screenshots: needs imagemagick's convert" >&2; exit 2; }

tools=(mainwindow_screenshot connect_screenshots commands_screenshots info_dialog_screenshots
       views_screenshots trip_screenshots script_screenshots log_dialog_screenshot crate_screenshots
       snapshot_screenshots history_screenshots)
cmake --build "$build" -j2 --target "${tools[@]}"
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
bin=$build/tools/screenshots
cd "$shots"
for scene in tabbed tiled floated menu; do
  timeout 120 "$bin/mainwindow_screenshot" "$shots/mw-$scene.png" "$scene" || true
done
for tool in connect_screenshots commands_screenshots info_dialog_screenshots views_screenshots trip_screenshots \
            script_screenshots log_dialog_screenshot crate_screenshots snapshot_screenshots history_screenshots; do
  timeout 300 "$bin/$tool" "$shots" >/dev/null || echo "manual-screenshots: $tool reported a problem" >&2
done

# picture in the manual <- picture made above
pictures=(
  main-window:mw-tabbed tiled:mw-tiled floated:mw-floated context-menu:mw-menu
  connect-mf:h6_connect_mf_autodetect connect-vme:h6_connect_vme_rows
  panel-mf3300:panel-mf3300 dialog-resetflags:dialog-resetflags
  info-cratemap:info-cratemap-mf info-techinfo:info-techinfo-mf
  group-new:group_new group-set-value:group_set_value configure-view:configure_view_parameters
  custom-view:custom_view_channels custom-view-table:custom_view_subwindow load-configuration:load_configuration
  trip-internal:trip_internal trip-external:trip_external disconnect-vme:disconnect_vme_crate
  crate-joined:crate-joined script-dialog:script-dialog script-wizard:script-wizard script-report:script-report
  log-dialog:log_dialog snapshot-compare:snapshot-compare trend:trend
)
mkdir -p "$images"
for pair in "${pictures[@]}"; do
  name=${pair%%:*} made=$shots/${pair#*:}.png
  [ -f "$made" ] || { echo "manual-screenshots: $made was not made" >&2; exit 1; }
  # At most 1280 pixels wide, 256 colours: small enough to commit, sharp enough to read.
  convert "$made" -resize '1280x1280>' -colors 256 "PNG8:$images/$name.png"
done
du -sh "$images"
