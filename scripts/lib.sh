# Shared by the scripts: installs what the build needs when it is missing.
# shellcheck shell=bash

ORV_PACKAGES=(cmake ninja-build g++ qtbase5-dev)

orv_missing_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    echo "${missing[@]}"
}

orv_install_packages() {
    local missing
    missing=$(orv_missing_packages "$@")
    [ -z "$missing" ] && return 0
    if ! command -v apt-get >/dev/null 2>&1; then
        echo "Missing packages: $missing (install them with your package manager)" >&2
        return 1
    fi
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        sudo="sudo"
    fi
    echo "Installing: $missing"
    # shellcheck disable=SC2086
    $sudo apt-get update -qq &&
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing
}

# orv_build DIR [cmake options...]
orv_build() {
    local dir=$1
    shift
    cmake -S "$ORV_ROOT" -B "$ORV_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" &&
        cmake --build "$ORV_ROOT/$dir" -j2
}
