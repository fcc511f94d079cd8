#!/usr/bin/env bash
# Builds the tool and runs every test, then again under AddressSanitizer and
# UndefinedBehaviorSanitizer, then (when clang is there) a short run of each
# fuzzing harness. Exits non-zero on any failure.
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ORV_ROOT/scripts/lib.sh"

orv_install_packages "${ORV_PACKAGES[@]}"

export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

echo "== Build and test (build/)"
orv_build build -DORV_WERROR=ON
ctest --test-dir "$ORV_ROOT/build" -j2 --timeout 300

echo "== Build and test with address,undefined sanitizers (build-asan/)"
orv_build build-asan -DORV_WERROR=ON -DORV_SANITIZE=address,undefined -DORV_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$ORV_ROOT/build-asan" -j2 --timeout 600

echo "== Windows-only code: cross-compiled with mingw-w64, tested under Wine (build-windows/)"
orv_install_packages mingw-w64 wine
"$ORV_ROOT/scripts/test-windows.sh"

echo "== Short fuzzing runs (build-fuzz/)"
# libFuzzer comes with clang's runtime libraries, packaged per clang version.
orv_install_packages clang
orv_install_packages "libclang-rt-$(clang++ -dumpversion | cut -d. -f1)-dev"
"$ORV_ROOT/scripts/fuzz.sh"
