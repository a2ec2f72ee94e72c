#!/usr/bin/env bash
# Installs what is missing (Debian 12, as root or with sudo), configures and
# builds. Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
#        scripts/setup.sh --packages-only [more packages...]   (installs, no build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# Build and tests; the VNC display of a run without a display (TigerVNC's own
# server and password tool, and a client for scripts/vnc-check.sh); the MQTT
# client library, and the broker, its clients and openssl the tests use; the
# shared archive's tests start a PostgreSQL server of their own (postgresql;
# its cluster service is not needed).
packages=(build-essential cmake ninja-build pkg-config
          qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-svg-dev libgl-dev
          qt6-webengine-dev libqt6webenginecore6-bin
          qt6-charts-dev libqt6sql6-sqlite libsqlite3-dev
          libqt6sql6-psql postgresql
          xvfb xauth x11-apps fonts-dejavu-core
          tigervnc-standalone-server tigervnc-tools vncsnapshot
          libmosquitto-dev mosquitto mosquitto-clients openssl)
packages_only=0
if [ "${1:-}" = --packages-only ]; then
  packages_only=1
  shift
  packages+=("$@")
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
[ "$packages_only" -eq 0 ] || exit 0
build=${1:-$root/build}
shift || true

# A compiler cache, where one is installed, makes rebuilds in other trees cheap.
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" "$@"
cmake --build "$build" -j"$(nproc)"
