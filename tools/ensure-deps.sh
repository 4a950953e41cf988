#!/usr/bin/env bash
# Installs the Debian packages the project needs, when they are missing.
#   tools/ensure-deps.sh build   what building and running the tool needs
#   tools/ensure-deps.sh test    that, plus what the test suite needs (avahi, dbus, Xvfb...)
# As root it runs apt-get; otherwise it prints the one apt-get line to run and fails.
set -euo pipefail

build_pkgs=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev
            libavahi-compat-libdnssd-dev fonts-liberation openssl)
test_pkgs=(avahi-daemon avahi-utils dbus libnss-mdns iproute2 util-linux xvfb xauth x11-utils procps curl
           dpkg-dev lintian desktop-file-utils appstream file clang libclang-rt-14-dev)

case "${1:-build}" in
    build) wanted=("${build_pkgs[@]}") ;;
    test) wanted=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
    *) echo "usage: $0 build|test" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Please run: sudo apt-get install -y ${missing[*]}" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
