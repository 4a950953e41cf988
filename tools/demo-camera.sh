#!/usr/bin/env bash
# Inside the demo's network namespace: starts the simulated camera on port 80, runs the given
# command (the tool, or the screenshot driver), and stops the camera again by its process id.
#   tools/demo-camera.sh BUILD_DIR command [args...]
set -uo pipefail
build=$1
shift
"$build/tools/camerasim/nomo-camera-sim" --listen 0.0.0.0 --port 80 --scenario password \
    2>"${NOMO_NETNS_DIR:-/tmp}/camera.log" &
camera=$!
trap 'kill "$camera" 2>/dev/null; wait "$camera" 2>/dev/null' EXIT
# The camera is up once its port answers.
for _ in $(seq 50); do
    (exec 3<>/dev/tcp/127.0.0.1/80) 2>/dev/null && break
    sleep 0.1
done
"$@"
