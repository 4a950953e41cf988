#!/usr/bin/env bash
# Installs what is missing, builds the tool (Release, into build/) and starts it.
#   ./run.sh                              the tool, for your real cameras
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
        -h|--help) sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "unknown option: $1 (see ./run.sh --help)" >&2; exit 2 ;;
    esac
    shift
done
if [ -n "$shots" ] && [ $demo -eq 0 ]; then
    echo "--screenshots works with --demo only" >&2
    exit 2
fi

if [ $demo -eq 0 ]; then
    tools/ensure-deps.sh build
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DNOMO_BUILD_TESTS=OFF >/dev/null
    cmake --build build --target lumetra-wifi-setup
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

if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: run the demo from a desktop session (or try --screenshots DIR)." >&2
    exit 1
fi
echo "Demo: the simulated camera's setup password is Nomo-1234."
"${harness[@]}" tools/demo-camera.sh "$build" "$build/lumetra-wifi-setup"
