#!/usr/bin/env bash
# Builds the Debian package, installs it with apt into a clean Debian 12 root
# (debootstrap) and starts the installed program there: --version, then on a
# virtual X server until its main window is up. Where no root can be made
# (no debootstrap, no mirror), it installs on this machine instead, with the
# build tree moved away so nothing of it can be used. Needs root.
# Usage: scripts/package-check.sh [work-dir]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d /tmp/kebodesk-package.XXXXXX)}
build="$work/build"
mkdir -p "$work"

"$root/scripts/setup.sh" "$build" -DKEBO_BUILD_TESTS=OFF -DKEBO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Release
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dpkg-dev desktop-file-utils debootstrap >/dev/null
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kebodesk_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb --info "$deb" | sed -n 's/^ *\(Depends\|Version\|Installed-Size\):/  &/p'
desktop-file-validate "$root/dist/kebodesk.desktop" && echo "desktop entry: valid"

# The installed program: its version, then its main window on Xvfb (the
# X server's window list names it).
cat > "$work/window-check.sh" <<'CHECK'
#!/bin/sh
kebodesk & pid=$!
for i in $(seq 1 60); do
    sleep 1
    if xwininfo -root -tree | grep -q '"KEBODESK"'; then
        echo "main window: up after $i s"; kill $pid; exit 0
    fi
done
kill $pid; echo "main window: not seen"; exit 1
CHECK
chmod +x "$work/window-check.sh"
check_installed() {  # run-prefix... ; the check script at $1/tmp or $work
    local script=$1; shift
    "$@" kebodesk --version
    "$@" xvfb-run -a -s "-screen 0 1600x1000x24" "$script"
}

mirror=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
mirror=${mirror:-http://deb.debian.org/debian}
chroot_dir="$work/debian12"
if [ ! -x "$chroot_dir/bin/sh" ] && ! debootstrap --variant=minbase bookworm "$chroot_dir" "$mirror" >"$work/debootstrap.log" 2>&1; then
    echo "no clean root could be made (see $work/debootstrap.log): installing on this machine"
    mv "$build" "$build.away"
    trap 'mv "$build.away" "$build" 2>/dev/null || true' EXIT
    cp "$build.away/$(basename "$deb")" "$work/"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$work/$(basename "$deb")" xvfb xauth x11-utils >/dev/null
    check_installed "$work/window-check.sh" env
    exit 0
fi

echo "clean Debian 12 root: $chroot_dir"
cp "$deb" "$work/window-check.sh" "$chroot_dir/tmp/"
mount -t proc proc "$chroot_dir/proc"
trap 'umount "$chroot_dir/proc" 2>/dev/null || true' EXIT
chroot "$chroot_dir" sh -c "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq /tmp/$(basename "$deb") xvfb xauth x11-utils >/dev/null"
check_installed /tmp/window-check.sh chroot "$chroot_dir"
