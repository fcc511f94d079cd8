#!/usr/bin/env bash
# Builds the tool and opens it on simulated devices (a wheel base and pedals).
# Run from a terminal, the devices are served by orv-devsim in that terminal,
# whose keys drive the pedals (x, y, z press and release a channel; X, Y, Z
# connect or disconnect it), so the calibration can be done by hand.
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ORV_ROOT/scripts/lib.sh"

orv_install_packages "${ORV_PACKAGES[@]}"
orv_build build -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF

if [ ! -t 0 ]; then
    # No terminal to take keys from: the devices run inside the tool.
    ORV_HID_BACKEND=sim exec "$ORV_ROOT/build/orv-config-tool" "$@"
fi

bus=$(mktemp -d "${TMPDIR:-/tmp}/orv-demo-XXXXXX")
"$ORV_ROOT/build/orv-devsim" --bus "$bus" --keys </dev/tty &
devsim=$!
# orv-devsim puts the terminal back as it found it when it stops.
trap 'kill "$devsim" 2>/dev/null; wait "$devsim" 2>/dev/null; rm -rf "$bus"' EXIT
ORV_HID_BACKEND="vhid:$bus" "$ORV_ROOT/build/orv-config-tool" "$@"
