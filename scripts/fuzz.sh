#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang (into build-fuzz/) and
# runs each from its seed corpus for ORV_FUZZ_SECONDS (default 30), two at
# a time, with a fixed seed. What a run finds goes to build-fuzz/findings/
# and the script exits non-zero. New inputs stay out of the tree.
# usage: scripts/fuzz.sh [harness...]      (default: all of them)
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

seconds=${ORV_FUZZ_SECONDS:-30}
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
    harnesses=(fuzz_devices fuzz_profile_files fuzz_bus_info fuzz_hidraw_sysfs)
fi
build="$ORV_ROOT/build-fuzz"

CC=clang CXX=clang++ cmake -S "$ORV_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORV_FUZZ=ON -DORV_WERROR=ON -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target "${harnesses[@]}"

mkdir -p "$build/findings" "$build/logs"
run() {
    local h=$1 work
    work=$(mktemp -d)
    if "$build/fuzz/$h" -max_total_time="$seconds" -seed=1 -timeout=10 \
        -artifact_prefix="$build/findings/$h-" "$work" "$ORV_ROOT/fuzz/corpus/$h" \
        >"$build/logs/$h.log" 2>&1; then
        echo "$h: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$build/logs/$h.log" | tail -1)"
        rm -f "$build/logs/$h.failed"
    else
        echo "$h: FAILED, see $build/logs/$h.log and $build/findings/" >&2
        touch "$build/logs/$h.failed"
    fi
    rm -rf "$work"
}
# Two at a time: one per core.
for h in "${harnesses[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do
        wait -n || true
    done
    run "$h" &
done
wait
for h in "${harnesses[@]}"; do
    [ ! -e "$build/logs/$h.failed" ] || exit 1
done
