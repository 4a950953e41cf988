#!/usr/bin/env bash
# Checks the namespace harness itself: what the command sees inside, that its exit status comes
# back, and that nothing it started outlives it, whether the command ends or the harness is
# terminated.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
harness=$here/netns-run.sh
if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the harness needs root"
    exit 77
fi
work=$(mktemp -d /tmp/nomo-netns-selftest.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0

# Gone, or a zombie that only waits for init to reap it.
gone() {
    local i
    for ((i = 0; i < 40; i++)); do
        { [ -r "/proc/$1/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status"; } || return 0
        sleep 0.05
    done
    return 1
}

check() {
    if eval "$2"; then
        echo "PASS: $1"
    else
        echo "FAIL: $1"
        failures=$((failures + 1))
    fi
}

# Inside: records what it sees, then exits 7.
cat >"$work/inside.sh" <<'INSIDE'
#!/usr/bin/env bash
out=$1
{
    echo "name=$NOMO_NETNS_NAME"
    echo "dir=$NOMO_NETNS_DIR"
    echo "avahi=$(cat "$NOMO_NETNS_AVAHI_PIDFILE")"
    echo "links=$(ip -o link show | awk -F': ' '{print $2}' | cut -d@ -f1 | sort | tr '\n' ' ')"
    echo "browse=$(avahi-browse -pt _http._tcp | awk -F';' '$1 == "+" {print $2 "/" $4}' | sort | tr '\n' ' ')"
    echo "host=$(getent hosts "$NOMO_NETNS_HOSTNAME" | awk '{print $1}' | head -1)"
    "$NOMO_NETNS_AVAHI_STOP"
    pid=$(awk -F= '/^avahi=/{print $2}' "$out")
    echo "stopped=$(grep -qs '^State:[[:space:]]*[^Z]' "/proc/$pid/status" && echo no || echo yes)"
    "$NOMO_NETNS_AVAHI_START"
    echo "browse_again=$(avahi-browse -pt _http._tcp | awk -F';' '$1 == "+" {print $4}' | sort -u | tr '\n' ' ')"
    echo "avahi_again=$(cat "$NOMO_NETNS_AVAHI_PIDFILE")"
} >"$out"
exit 7
INSIDE
chmod +x "$work/inside.sh"

"$harness" --publish "Dovrel Nomo 0123" _http._tcp 80 --host-name selftestcam -- "$work/inside.sh" "$work/seen"
status=$?
value() { awk -F= -v k="$1" '$1 == k {sub(/^[^=]*=/, ""); print}' "$work/seen"; }
check "exit status of the command comes back" '[ "$status" = 7 ]'
check "only lo and the veth pair inside" '[ "$(value links)" = "lo vcam0 vcam1 " ]'
check "service seen once per interface" \
    '[ "$(value browse)" = "vcam0/Dovrel\\032Nomo\\0320123 vcam1/Dovrel\\032Nomo\\0320123 " ]'
check "host name resolves to the namespace" '[[ "$(value host)" == 10.77.0.* ]]'
check "stop helper stops the daemon" '[ "$(value stopped)" = yes ]'
check "start helper brings the services back" '[ "$(value browse_again)" = "Dovrel\\032Nomo\\0320123 " ]'
check "namespace removed" '! ip netns list | grep -qw "$(value name)"'
check "state directory removed" '[ ! -e "$(value dir)" ]'
check "daemons stopped" 'gone "$(value avahi)" && gone "$(value avahi_again)"'

# Terminated from outside while the command still runs.
"$harness" -- sh -c 'echo "$NOMO_NETNS_NAME $(cat "$NOMO_NETNS_AVAHI_PIDFILE")" >"$0"; exec sleep 600' \
    "$work/running" &
pid=$!
for _ in $(seq 1 200); do
    [ -s "$work/running" ] && break
    sleep 0.1
done
read -r name avahi <"$work/running"
kill -TERM "$pid"
wait "$pid"
status=$?
check "terminated harness reports the signal" '[ "$status" = 143 ]'
check "terminated harness removes its namespace" '! ip netns list | grep -qw "$name"'
check "terminated harness stops its daemon" 'gone "$avahi"'

[ "$failures" = 0 ]
