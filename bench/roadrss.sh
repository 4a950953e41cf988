#!/usr/bin/env bash
# Memory benchmark: peak resident memory of one whole road through the real wizard (scan,
# selection, password, change password, Wi-Fi, session, results), driven by the screenshot driver
# (tools/roaddriver) in a private network namespace with a simulated camera announced and
# listening, as the demo does. Root only. Prints one line: bench=road peak_rss_mb=... status=...
#   bench/roadrss.sh [build-dir]     default build dir: build
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
shots=$(mktemp -d /tmp/nomo-bench-road.XXXXXX)
trap 'rm -rf "$shots"' EXIT

status=0
tests/netns/netns-run.sh \
    --publish "Dovrel Nomo 0001" _http._tcp 80 \
    --publish "Dovrel_Nomo_0002" _http._tcp 80 \
    --publish "Office Printer" _http._tcp 80 -- \
    tools/demo-camera.sh "$build" \
    /usr/bin/time -f "%M" -o "$shots/maxrss" \
    env QT_QPA_PLATFORM=offscreen "$build/tools/roaddriver/nomo-roaddriver" "$shots/png" \
    >"$shots/road.log" 2>&1 || status=$?
kb=$(tail -n 1 "$shots/maxrss" 2>/dev/null || echo 0)
awk -v kb="$kb" -v st="$status" 'BEGIN { printf "bench=road peak_rss_mb=%.1f peak_rss_kb=%d status=%d\n", kb / 1024, kb, st }'
[ "$status" -eq 0 ] || { tail -n 20 "$shots/road.log" >&2; exit "$status"; }
