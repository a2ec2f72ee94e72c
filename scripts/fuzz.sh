#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (in build-fuzz/) and runs each in
# turn, one job at a time, on its seed corpus fuzz/corpus/<target>/ (kept
# unchanged: new inputs go to build-fuzz/corpus/<target>/).
# Usage: scripts/fuzz.sh [seconds per target, default 60] [target...]
#   KEBO_FUZZ_RUNS=N  stop each target after N executions (or the seconds, if sooner)
# Prints, per target: executions, coverage (edges), corpus size and findings;
# a finding (crash, leak, timeout) is left in build-fuzz/findings/<target>/
# and makes the script end with 1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
seconds=${1:-60}
shift || true
all=(fuzz_event_stream fuzz_autodetect_reply fuzz_view_file fuzz_world_file
     fuzz_info_texts fuzz_script_parser fuzz_connection_settings)
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

# clang and its fuzzer runtime (with every package the plain build needs).
"$root/scripts/setup.sh" --packages-only clang libclang-rt-14-dev

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja "${launcher[@]}" -DKEBO_BUILD_FUZZ=ON \
    -DKEBO_BUILD_TESTS=OFF -DKEBO_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target "${targets[@]}"

# Per target: the longest input worth trying. The text parsers do the same
# for every line: longer inputs only cost time.
max_len() {
    case $1 in
        fuzz_autodetect_reply) echo 1024 ;;
        fuzz_info_texts|fuzz_script_parser|fuzz_connection_settings) echo 4096 ;;
        *) echo 65536 ;;
    esac
}

limit=(-max_total_time="$seconds")
[ -z "${KEBO_FUZZ_RUNS:-}" ] || limit+=(-runs="$KEBO_FUZZ_RUNS")
failed=0
printf '%-26s %12s %8s %8s %s\n' target executions edges corpus findings
for t in "${targets[@]}"; do
    name=${t#fuzz_}
    work="$build/corpus/$name"; findings="$build/findings/$name"; log="$build/$t.log"
    mkdir -p "$work" "$findings"
    "$build/fuzz/$t" "${limit[@]}" -max_len="$(max_len "$t")" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "$root/fuzz/corpus/$name" >"$log" 2>&1 || true
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    edges=$(grep -o 'cov: [0-9]*' "$log" | tail -n 1 | cut -d' ' -f2)
    found=$(find "$findings" -type f | wc -l)
    printf '%-26s %12s %8s %8s %s\n' "$t" "${runs:-?}" "${edges:-?}" "$(find "$work" -type f | wc -l)" "$found"
    if [ "$found" -gt 0 ] || [ -z "$runs" ]; then
        failed=1
        tail -n 30 "$log"
    fi
done
exit "$failed"
