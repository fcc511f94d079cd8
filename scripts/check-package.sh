#!/usr/bin/env bash
# Checks what a user installs: the install tree in a temporary prefix, the
# desktop entry and AppStream validators, and the Debian package installed,
# run (the probe, against simulated devices) and removed again. Needs root
# (or sudo) for apt-get; CI runs it after scripts/test.sh.
set -euo pipefail
ORV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib.sh
source "$ORV_ROOT/scripts/lib.sh"

orv_install_packages desktop-file-utils appstream
deb=$("$ORV_ROOT/scripts/package.sh" | tail -n 1)
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
work=$(mktemp -d)
devsim_pid=""
cleanup() {
    [ -n "$devsim_pid" ] && kill "$devsim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

echo "== Install tree"
DESTDIR="$work/root" cmake --install "$ORV_ROOT/build-package" >/dev/null
(cd "$work/root" && find . -type f | sort) >"$work/files"
cat >"$work/expected" <<'LIST'
./usr/bin/orv-config-tool
./usr/bin/orv-devsim
./usr/bin/orvctl
./usr/lib/udev/rules.d/70-orv-devices.rules
./usr/share/applications/org.orv.ConfigTool.desktop
./usr/share/icons/hicolor/128x128/apps/orv-config-tool.png
./usr/share/icons/hicolor/256x256/apps/orv-config-tool.png
./usr/share/icons/hicolor/48x48/apps/orv-config-tool.png
./usr/share/metainfo/org.orv.ConfigTool.metainfo.xml
LIST
diff -u "$work/expected" "$work/files"

echo "== Validators"
desktop-file-validate "$work/root/usr/share/applications/org.orv.ConfigTool.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/org.orv.ConfigTool.metainfo.xml"

echo "== Package: $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Depends
$sudo apt-get install -y -qq "$deb" >/dev/null
bus="$work/bus"
mkdir -p "$bus"
/usr/bin/orv-devsim --bus "$bus" --no-pedals &
devsim_pid=$!
for _ in $(seq 50); do
    [ -e "$bus/wheelbase.info" ] && break
    sleep 0.1
done
answer=$(ORV_HID_BACKEND="vhid:$bus" /usr/bin/orv-config-tool --has-usb-device)
echo "probe: $answer"
[ "$answer" = "Found ORV USB device." ]
kill "$devsim_pid"
wait "$devsim_pid" 2>/dev/null || true
devsim_pid=""
answer=$(ORV_HID_BACKEND="vhid:$bus" /usr/bin/orv-config-tool --has-usb-device) && exit 1
[ "$answer" = "No ORV USB device found." ]
$sudo apt-get remove -y -qq orv-config-tool >/dev/null
[ ! -e /usr/bin/orv-config-tool ] && [ ! -e /usr/lib/udev/rules.d/70-orv-devices.rules ]
echo "package installs, answers the probe and uninstalls cleanly"
