#!/usr/bin/env bash
# Runs every benchmark and writes bench/results.md: the figures, the goals, the machine and the
# date, followed by the notes in bench/notes.md. Root only (network namespaces, port 80).
#   bench/run-all.sh [build-dir]     default build dir: build (configured as Release if new)
# For steady figures run it on an otherwise idle machine.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

if [ "$(id -u)" -ne 0 ]; then
    echo "run-all: needs root (network namespaces, port 80)" >&2
    exit 1
fi
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target startupbench startupwizard startupbaseline sessionbench \
    discoverybench fleetbench lumetra-wifi-cli nomo-roaddriver nomo-camera-sim >/dev/null

lines=()
run() {
    local line
    echo "run-all: $*" >&2
    line=$("$@" | grep '=' | tail -n 1)
    echo "  $line" >&2
    lines+=("$line")
}
run env QT_QPA_PLATFORM=offscreen "$build/bench/startupbench" 20
run xvfb-run -a -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb "$build/bench/startupbench" 20
run env QT_LOGGING_RULES='lumetra.*.debug=false' "$build/bench/sessionbench"
run bench/roadrss.sh "$build"
run bench/discovery.sh "$build"
run unshare -n -- sh -c "ip link set lo up && exec env QT_LOGGING_RULES='lumetra.*.debug=false' $build/bench/fleetbench 20"

# value KEY LINE-PATTERN: the value of KEY in the first figure line matching the pattern.
value() {
    printf '%s\n' "${lines[@]}" | grep -- "$2" | head -n 1 | tr ' ' '\n' | sed -n "s/^$1=//p"
}
verdict() { awk -v v="$1" -v g="$2" -v op="$3" 'BEGIN {
    ok = (op == "le") ? (v + 0 <= g + 0) : (v + 0 >= g + 0); print (v == "" ? "no figure" : ok ? "met" : "NOT met") }'; }

startup_off=$(value startup_ratio 'platform=offscreen')
startup_x=$(value startup_ratio 'platform=xcb')
cpu=$(value cpu_percent 'bench=session')
rss=$(value peak_rss_mb 'bench=road')
found=$(value found 'found=')
alive=$(value resolvers_alive 'found=')
fleet=$(value fleet_ratio 'bench=fleet')
fleet_one=$(value wall_one_ms 'bench=fleet')
fleet_all=$(value wall_fleet_ms 'bench=fleet')
cpu_model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
mem_mb=$(awk '/^MemTotal:/ { printf "%d", $2 / 1024 }' /proc/meminfo)
qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)

{
    echo "# Benchmark results"
    echo
    echo "Written by \`bench/run-all.sh\` on $(date -u '+%Y-%m-%d %H:%M UTC')."
    echo "Machine: $(nproc) CPUs ($cpu_model), ${mem_mb} MB memory, $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r), Qt $qt; load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
    echo
    echo "| Figure | Value | Goal | |"
    echo "|---|---|---|---|"
    echo "| Start-up, offscreen: wizard / bare dialog (\`startup_ratio\`, medians of 20) | $startup_off | at most 1.5 | $(verdict "$startup_off" 1.5 le) |"
    echo "| Start-up, Xvfb: wizard / bare dialog (\`startup_ratio\`, medians of 20) | $startup_x | at most 1.5 | $(verdict "$startup_x" 1.5 le) |"
    echo "| Session at real timings: CPU as % of wall (\`cpu_percent\`) | $cpu | at most 2 | $(verdict "$cpu" 2 le) |"
    echo "| Whole road: peak resident memory in MB (\`peak_rss_mb\`) | $rss | at most 60 | $(verdict "$rss" 60 le) |"
    echo "| Discovery, 200 services: cameras listed (\`found\`) | $found | 20 | $(verdict "$found" 20 ge) |"
    echo "| Discovery: resolvers alive after the scan (\`resolvers_alive\`) | $alive | 0 | $(verdict "$alive" 0 le) |"
    echo "| Command line, 20 cameras with \`--jobs 20\` ($fleet_all ms) / one camera ($fleet_one ms) (\`fleet_ratio\`) | $fleet | at most 1.5 | $(verdict "$fleet" 1.5 le) |"
    echo
    echo "Figure lines as printed:"
    echo
    echo '```'
    printf '%s\n' "${lines[@]}"
    echo '```'
    echo
    cat bench/notes.md
} >bench/results.md
echo "run-all: wrote bench/results.md" >&2
