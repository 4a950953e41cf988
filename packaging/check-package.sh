#!/usr/bin/env bash
# Builds the .deb from a build tree, checks it the way Debian would, installs it, starts the
# installed tool once, and removes it again.   Usage: packaging/check-package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
src=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
xvfb_pid=
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    if dpkg-query -W -f='${Status}' lumetra-wifi-setup 2>/dev/null | grep -q 'install ok'; then
        dpkg -r lumetra-wifi-setup >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work" >/dev/null)
deb="$work/lumetra-wifi-setup_1.5.3.0_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb") built"
echo "built $(basename "$deb")"

echo "--- contents"
dpkg -c "$deb" | awk '{print $6}' | tee "$work/contents"
for f in ./usr/bin/lumetra-wifi-setup \
         ./usr/bin/lumetra-wifi-cli \
         ./usr/share/man/man1/lumetra-wifi-cli.1.gz \
         ./usr/share/bash-completion/completions/lumetra-wifi-cli \
         ./usr/share/applications/lumetra-wifi-setup.desktop \
         ./usr/share/metainfo/example.lumetra.wifisetup.metainfo.xml \
         ./usr/share/man/man1/lumetra-wifi-setup.1.gz \
         ./usr/share/doc/lumetra-wifi-setup/copyright \
         ./usr/share/icons/hicolor/48x48/apps/lumetra-wifi-setup.png \
         ./usr/share/icons/hicolor/128x128/apps/lumetra-wifi-setup.png \
         ./usr/share/icons/hicolor/256x256/apps/lumetra-wifi-setup.png \
         ./usr/share/icons/hicolor/scalable/apps/lumetra-wifi-setup.svg; do
    grep -qxF "$f" "$work/contents" || fail "package lacks $f"
done
if grep -E 'sim|tst_|bench|/include/|\.a$' "$work/contents"; then
    fail "package carries test or developer files"
fi

echo "--- control"
dpkg-deb -f "$deb" Package Version Section Maintainer Depends Recommends | tee "$work/control"
grep -q '^Section: net$' "$work/control" || fail "section is not net"
grep -q '^Depends: .*libqt6widgets6' "$work/control" || fail "Depends not computed from the binary"
grep -q '^Recommends: avahi-daemon, libnss-mdns, fonts-liberation$' "$work/control" || fail "Recommends"
if grep -q 'libasan\|libubsan' "$work/control"; then
    fail "a sanitizer build must not be packaged"
fi

echo "--- lintian"
lintian --tag-display-limit 0 "$deb" | tee "$work/lintian" || true
if grep -q '^E:' "$work/lintian"; then
    fail "lintian reports errors"
fi

echo "--- desktop entry and metainfo"
desktop-file-validate "$src/packaging/lumetra-wifi-setup.desktop" | grep -v 'hint:' || true
appstreamcli validate --no-net "$src/packaging/example.lumetra.wifisetup.metainfo.xml"

echo "--- install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
[ -x /usr/bin/lumetra-wifi-setup ] || fail "binary not installed"

echo "--- smoke"
# A real X server, so that the window title can be read from outside the process.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do xwininfo -display "$display" -root >/dev/null 2>&1 && break; sleep 0.1; done
(cd "$work" && env -u QT_QPA_PLATFORM DISPLAY="$display" /usr/bin/lumetra-wifi-setup >/dev/null 2>&1) &
tool_pid=$!
title=
for _ in $(seq 100); do
    title=$(xwininfo -display "$display" -root -tree 2>/dev/null | grep -o '"Lumetra - Wi-Fi Setup Tool - v1.5.3.0"' | head -1 || true)
    [ -n "$title" ] && break
    sleep 0.1
done
kill "$tool_pid" 2>/dev/null || true
wait "$tool_pid" 2>/dev/null || true
[ -n "$title" ] || fail "installed tool showed no window titled 'Lumetra - Wi-Fi Setup Tool - v1.5.3.0'"
echo "window: $title"

echo "--- command line, without a display"
help=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/lumetra-wifi-cli configure --help) ||
    fail "lumetra-wifi-cli configure --help failed"
grep -q -- '--key-file FILE' <<<"$help" || fail "lumetra-wifi-cli --help lacks --key-file"
status=0
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/lumetra-wifi-cli configure --password x \
    >/dev/null 2>&1) || status=$?
[ "$status" -eq 2 ] || fail "a secret given as an argument was not refused with status 2 ($status)"
bash -c 'source /usr/share/bash-completion/completions/lumetra-wifi-cli && complete -p lumetra-wifi-cli' ||
    fail "bash completion not loadable"
echo "command line ok"

echo "--- remove"
dpkg -r lumetra-wifi-setup >/dev/null
[ ! -e /usr/bin/lumetra-wifi-setup ] || fail "binary left after removal"
[ ! -e /usr/bin/lumetra-wifi-cli ] || fail "command line left after removal"
echo "package check passed"
