#!/usr/bin/env bash
# Runs one fuzz target for a bounded time, starting from its seed corpus.
#   tests/fuzz/run-target.sh <target binary> <seed dir> <work dir> <seconds> <max input bytes> [libFuzzer options...]
# Inputs the fuzzer finds go to <work dir>/corpus (never into the seed dir), a crashing or hanging
# input to <work dir>/artifacts. Exit status 0 means no finding; any finding fails, and the
# input to reproduce it is named in the output.
set -euo pipefail
target=${1:?usage: run-target.sh <target> <seeds> <work dir> <seconds> <max len> [options...]}
seeds=${2:?}
work=${3:?}
seconds=${4:?}
maxlen=${5:?}
shift 5

rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cd "$work"

# Leak reports are off: Qt, fontconfig and the platform plugin keep caches for the life of the
# process, and the fault-injection suite watches for real growth. Everything else reports.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0:handle_abort=1:allocator_may_return_null=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
export QT_LOGGING_RULES='*=false'
export XDG_RUNTIME_DIR="$work"
unset DISPLAY WAYLAND_DISPLAY

# -timeout: a linear pass over the largest input (1 MiB) takes milliseconds, a quadratic one
# minutes; 25 s leaves a slow, busy machine a margin of a thousand times.
# -rss_limit_mb: Qt with the sanitizers and a few 1 MiB inputs needs some hundred MB.
# -entropic_scale_per_exec_time: slow (1 MiB) inputs are mutated less often than quick ones.
status=0
"$target" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 -max_len="$maxlen" \
    -detect_leaks=0 -entropic_scale_per_exec_time=1 -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$@" \
    "$work/corpus" "$seeds" || status=$?

if [ "$status" -ne 0 ] || [ -n "$(ls -A "$work/artifacts")" ]; then
    echo "run-target: FINDING in $(basename "$target") (exit status $status); inputs:" >&2
    ls -l "$work/artifacts" >&2
    exit 1
fi
