#!/usr/bin/env bash
# Builds the Debian package (build-package/orv-config-tool_*.deb) and prints
# its path on the last line.
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ORV_ROOT/scripts/lib.sh"

# dpkg-shlibdeps (dpkg-dev) derives the package's runtime dependencies.
orv_install_packages "${ORV_PACKAGES[@]}" dpkg-dev file
orv_build build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DORV_WERROR=ON -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF
(cd "$ORV_ROOT/build-package" && rm -f ./*.deb && cpack -G DEB >/dev/null)
ls "$ORV_ROOT"/build-package/orv-config-tool_*.deb
