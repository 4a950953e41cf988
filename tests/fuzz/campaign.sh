#!/usr/bin/env bash
# A long fuzzing campaign: every target until it has run the given number of inputs (or the time
# limit per target is up), one after the other, each starting from its seeds.
#   tests/fuzz/campaign.sh <fuzz tree> <work dir> [runs per target] [seconds per target] [targets...]
# The fuzz tree is built by tests/fuzz/build-tree.sh. Prints each target's final statistics;
# exits non-zero on the first finding. Amplified inputs are 1 MiB unless NOMO_FUZZ_AMPLIFIED_BYTES
# asks for less (the CTest runs always use 1 MiB, where a quadratic cost shows).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tree=${1:?usage: campaign.sh <fuzz tree> <work dir> [runs] [seconds] [targets...]}
work=${2:?}
runs=${3:-1000000}
seconds=${4:-7200}
shift $(($# < 4 ? $# : 4))
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(replyparsing agentreplies framedecoder devicelist)

for t in "${targets[@]}"; do
    max_len=1048585
    [ "$t" = devicelist ] && max_len=8192
    echo "== fuzz_$t: up to $runs runs or $seconds s"
    "$here/run-target.sh" "$tree/fuzz_$t" "$here/corpus/$t" "$work/$t" "$seconds" "$max_len" \
        -runs="$runs" 2>&1 | grep -E '^stat::|^Done|FINDING|ERROR|SUMMARY|^==[0-9]+=='
    status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] || exit "$status"
done
