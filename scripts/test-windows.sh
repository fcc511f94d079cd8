#!/usr/bin/env bash
# Cross-compiles the Windows-only code (the HID backend and the platform
# layer) with mingw-w64 and runs its test program under Wine, in a private
# Wine prefix under build-windows/. Needs the packages mingw-w64 and wine.
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out="$ORV_ROOT/build-windows"
mkdir -p "$out"

# The posix-threads flavour of the cross compiler has std::mutex and
# std::thread; -static leaves no runtime DLL to find at run time.
CXX=x86_64-w64-mingw32-g++-posix
sources=(
    src/hid/hid.cpp
    src/hid/hid_windows.cpp
    src/hid/hid_write_queue.cpp
    src/platform/GamesKey.cpp
    src/platform/Platform.cpp
    src/platform/WindowsPlatform.cpp
    tests/windows/tst_windows.cpp
)
echo "== Cross-compile the Windows-only code (build-windows/)"
(cd "$ORV_ROOT" && "$CXX" -std=c++17 -O2 -Wall -Wextra -Wpedantic -Werror -Isrc "${sources[@]}" \
    -static -lsetupapi -ladvapi32 -lshell32 -o "$out/tst_windows.exe")

echo "== Windows tests under Wine"
export WINEPREFIX="$out/wine" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    timeout 120 wine wineboot --init >/dev/null 2>&1 || true
fi
status=0
(cd "$out" && timeout 120 wine tst_windows.exe) || status=$?
wineserver -w || true
exit "$status"
