#!/bin/sh
# Runs a test in a network namespace of its own with only the loopback interface up, so the kit's
# fixed ports belong to that test alone. As root a plain network namespace suffices; otherwise a
# user namespace provides the right to make one. Where neither can be had, the test is skipped
# (exit status 77).
#   netns.sh <test binary> [arguments...]
if [ "$(id -u)" -eq 0 ]; then
    ns_opts=-n
else
    ns_opts=-rn
fi
if ! unshare $ns_opts true 2>/dev/null; then
    echo "netns.sh: cannot create a network namespace here; skipped" >&2
    exit 77
fi
exec unshare $ns_opts sh -c 'ip link set lo up && exec "$@"' netns "$@"
