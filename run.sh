#!/usr/bin/env bash
# Installs what is missing, builds the tool (Release, into build/) and starts it.
#   ./run.sh                              the tool, for your real cameras (needs a display;
#                                         without one it points to build/lumetra-wifi-cli)
#   sudo ./run.sh --demo                  the tool against a simulated camera, no hardware needed
#   sudo ./run.sh --demo --screenshots D  walk the whole road headless, one screenshot per step in D
set -euo pipefail
cd "$(dirname "$0")"

demo=0
shots=
while [ $# -gt 0 ]; do
    case "$1" in
        --demo) demo=1 ;;
        --screenshots) shots=${2:?--screenshots needs a folder}; shift ;;
        -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown option: $1 (see ./run.sh --help)" >&2; exit 2 ;;
    esac
    shift
done
if [ -n "$shots" ] && [ $demo -eq 0 ]; then
    echo "--screenshots works with --demo only" >&2
    exit 2
fi

# What to say instead of Qt's own abort when there is no screen to show the wizard on.
no_display() {
    cat >&2 <<EOT
No display found: the wizard needs a desktop session (DISPLAY or WAYLAND_DISPLAY).
Without a display, use the command-line companion, which does the same from a terminal:
    ./build/lumetra-wifi-cli scan
    ./build/lumetra-wifi-cli configure HOST --ssid NAME --key-type WPA2-AES --key-file FILE
    ./build/lumetra-wifi-cli --help
or walk the wizard headless against a simulated camera, one screenshot per step:
    sudo ./run.sh --demo --screenshots DIR
EOT
    exit 1
}

if [ $demo -eq 0 ]; then
    tools/ensure-deps.sh build
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOMO_BUILD_TESTS=OFF >/dev/null
    cmake --build build --target lumetra-wifi-setup lumetra-wifi-cli
    [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || no_display
    exec ./build/lumetra-wifi-setup
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "The demo needs root to set up a private network for its simulated camera: sudo ./run.sh --demo" >&2
    exit 1
fi
tools/ensure-deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
targets=(lumetra-wifi-setup nomo-camera-sim)
[ -n "$shots" ] && targets+=(nomo-roaddriver)
cmake --build build --target "${targets[@]}"
build=$(pwd)/build

# Two cameras on one simulated device, and a printer that the tool must not list.
harness=(tests/netns/netns-run.sh
         --publish "Dovrel Nomo 0001" _http._tcp 80
         --publish "Dovrel_Nomo_0002" _http._tcp 80
         --publish "Office Printer" _http._tcp 80 --)

if [ -n "$shots" ]; then
    mkdir -p "$shots"
    shots=$(cd "$shots" && pwd)
    exec xvfb-run -a -s "-screen 0 1280x1024x24" \
        "${harness[@]}" tools/demo-camera.sh "$build" \
        env QT_QPA_PLATFORM=xcb "$build/tools/roaddriver/nomo-roaddriver" "$shots"
fi

[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] || no_display
echo "Demo: the simulated camera's setup password is Nomo-1234."
"${harness[@]}" tools/demo-camera.sh "$build" "$build/lumetra-wifi-setup"
