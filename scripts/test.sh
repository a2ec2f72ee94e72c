#!/usr/bin/env bash
# Sets everything up and runs the whole test suite.
# KEBO_SANITIZE=address|thread builds into build-<sanitizer> with that sanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
san=${KEBO_SANITIZE:-}
build="$root/build"
[ -z "$san" ] || build="$root/build-$san"
extra=()
# Benchmarks measure the plain build; a sanitizer build only runs the tests.
[ -z "$san" ] || extra=(-DKEBO_BUILD_BENCH=OFF)
"$root/scripts/setup.sh" "$build" -DKEBO_SANITIZE="$san" "${extra[@]}"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" ${KEBO_CTEST_ARGS:-}
