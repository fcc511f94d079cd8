#!/usr/bin/env bash
# Builds the tool and opens it on simulated devices (a wheel base and pedals).
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ORV_ROOT/scripts/lib.sh"

orv_install_packages "${ORV_PACKAGES[@]}"
orv_build build -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF

ORV_HID_BACKEND=sim exec "$ORV_ROOT/build/orv-config-tool" "$@"
