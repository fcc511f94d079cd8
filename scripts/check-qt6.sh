#!/usr/bin/env bash
# Proves the tree also builds, warning-free, against Qt 6.
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ORV_ROOT/scripts/lib.sh"

orv_install_packages cmake ninja-build g++ qt6-base-dev
echo "== Build with Qt 6 (build-qt6/)"
orv_build build-qt6 -DORV_QT_MAJOR=6 -DORV_WERROR=ON
