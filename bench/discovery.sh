#!/usr/bin/env bash
# Discovery benchmark: one scan of the scan page on a busy network. Publishes 200 web services
# (_http._tcp) inside a private network namespace, 20 of them with a brand word, and prints the
# figures of one scan (see bench/discoverybench.cpp). Root only (network namespaces).
#   bench/discovery.sh [build-dir]     default build dir: build
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
if [ ! -x "$build_dir/bench/discoverybench" ]; then
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$build_dir" --target discoverybench >/dev/null
fi

list=$(mktemp /tmp/nomo-bench-services.XXXXXX)
trap 'rm -f "$list"' EXIT
kinds=("Office Printer" "NAS Box" "Router Admin" "Smart Plug" "Media Server" "IP Phone")
for i in $(seq 1 200); do
    if [ $((i % 10)) -eq 0 ]; then
        # 20 cameras, the maker word and the brand word in varying case.
        if [ $((i % 20)) -eq 0 ]; then
            name=$(printf 'Dovrel Nomo %04d' "$i")
        else
            name=$(printf 'lumetra-cam-%03d' "$i")
        fi
    else
        name=$(printf '%s %03d' "${kinds[$((i % ${#kinds[@]}))]}" "$i")
    fi
    printf '_http._tcp 80 %s\n' "$name" >>"$list"
done

exec tests/netns/netns-run.sh --publish-file "$list" -- \
    env QT_QPA_PLATFORM=offscreen "$build_dir/bench/discoverybench" --expect 20
