#!/usr/bin/env bash
# Runs a command inside a private network namespace with its own D-Bus system bus and its own
# avahi-daemon, so DNS-SD browse/resolve can be exercised for real without a single mDNS packet on
# the machine's own interfaces.
#
#   tests/netns/netns-run.sh [options] [--] command [args...]
#
# Options:
#   --publish NAME TYPE PORT   announce a service (repeatable), e.g. --publish "Dovrel Nomo 0123" _http._tcp 80
#   --publish-file FILE        announce every service listed in FILE, one per line: TYPE PORT NAME...
#                              (blank lines and lines starting with # are skipped)
#   --host-name NAME           host name of the namespace's avahi-daemon (default: nomocam)
#   --no-wait                  do not wait until every announced service can be browsed
#   -h, --help                 this text
#
# Must run as root. Inside the namespace:
#   lo, and a veth pair vcam0 10.77.0.1/24 <-> vcam1 10.77.0.2/24 (both ends in the namespace, so every
#   service is seen once per interface); the names and the subnet are private to the namespace, so
#   any number of runs can go side by side.
#   A private mount namespace in which /run/avahi-daemon (the daemon's socket and pid file, which
#   libnss-mdns reaches) and /etc/avahi/services are private directories, and /etc/nsswitch.conf is
#   replaced by a private copy only when the machine's copy lacks mdns4_minimal. The machine's own
#   files are never changed.
#   Services are published as static service files of the namespace's daemon rather than with one
#   avahi-publish-service client each: they then survive a daemon restart and scale to hundreds.
#   Every host name the daemon publishes (nomocam.local by default) resolves to 10.77.0.1 or
#   10.77.0.2: a simulated camera inside the namespace listens on 0.0.0.0 (or on both).
#
# Environment given to the command:
#   DBUS_SYSTEM_BUS_ADDRESS      the private system bus (avahi's client library talks to it)
#   NOMO_NETNS_NAME              name of the network namespace
#   NOMO_NETNS_DIR               private state directory (logs, configs)
#   NOMO_NETNS_HOSTNAME          the daemon's host name with ".local", e.g. nomocam.local
#   NOMO_NETNS_AVAHI_STOP        command that stops the namespace's avahi-daemon and waits until it is gone
#   NOMO_NETNS_AVAHI_START       command that starts it again and waits until the services are browsable
#   NOMO_NETNS_AVAHI_PIDFILE     file holding the running daemon's process id
#   NOMO_NETNS_PUBLISH           command "TYPE PORT NAME": announces one more service, waits until browsable
#   NOMO_NETNS_WITHDRAW          command "TYPE NAME": withdraws a service (browsers get a removal) and
#                                waits until it is no longer browsable
#   NOMO_NETNS_SERVICE_COUNT     number of services published
#
# Exit status: the command's own; 125 when the namespace could not be set up; 77 when not run as
# root (CTest treats it as a skip: SKIP_RETURN_CODE 77). Everything it started
# is stopped by process id however the command ends (normal exit, failure, INT or TERM).
set -uo pipefail

self=$(readlink -f "$0")
prefix=nomo-netns

die() {
    echo "netns-run: $*" >&2
    exit 125
}

log() {
    [ -n "${NOMO_NETNS_VERBOSE:-}" ] && echo "netns-run: $*" >&2
    return 0
}

usage() {
    sed -n '2,/^set -uo/p' "$self" | sed '$d' | sed 's/^# \{0,1\}//'
}

# --- helpers used inside the namespace --------------------------------------------------------

# Distinct service names of one type that the daemon currently lists (local and remote).
browse_count() {
    local type=$1
    timeout 20 avahi-browse --parsable --terminate --no-db-lookup "$type" 2>/dev/null |
        awk -F';' '$1 == "+" { print $4 }' | sort -u | wc -l
}

wait_daemon_running() {
    local state i
    for ((i = 0; i < 200; i++)); do
        state=$(dbus-send --system --print-reply=literal --dest=org.freedesktop.Avahi / \
            org.freedesktop.Avahi.Server.GetState 2>/dev/null | awk '{print $2}')
        [ "$state" = "2" ] && return 0
        if ! kill -0 "$(cat "$NOMO_NETNS_AVAHI_PIDFILE" 2>/dev/null)" 2>/dev/null; then
            echo "netns-run: avahi-daemon exited:" >&2
            tail -n 20 "$NOMO_NETNS_DIR/avahi.log" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "netns-run: avahi-daemon did not reach the running state" >&2
    return 1
}

# Waits until every published service can be browsed; with "exact", also until no withdrawn one
# still can (names of a type listed in services.tsv, counted per type).
wait_services() {
    [ "${NOMO_NETNS_NO_WAIT:-0}" = 1 ] && return 0
    local exact=${1:-} type want have i
    while read -r want type; do
        for ((i = 0; i < 60; i++)); do
            have=$(browse_count "$type")
            if [ -n "$exact" ]; then
                [ "$have" -eq "$want" ] && break
            else
                [ "$have" -ge "$want" ] && break
            fi
            sleep 0.5
        done
        if [ "$have" -lt "$want" ] || { [ -n "$exact" ] && [ "$have" -ne "$want" ]; }; then
            echo "netns-run: $have $type services browsable, $want expected" >&2
            return 1
        fi
    done < <({ cut -f1 "$NOMO_NETNS_DIR/services.tsv"; echo "${2:-}"; } | sed '/^$/d' |
        sort | uniq -c | awk -v t="${2:-}" '{ if ($2 == t) $1 -= 1; print }')
    return 0
}

avahi_start() {
    local pid
    [ -s "$NOMO_NETNS_AVAHI_PIDFILE" ] && kill -0 "$(cat "$NOMO_NETNS_AVAHI_PIDFILE")" 2>/dev/null &&
        return 0
    avahi-daemon --file="$NOMO_NETNS_DIR/avahi-daemon.conf" --no-drop-root --no-chroot \
        --no-rlimits --no-proc-title >>"$NOMO_NETNS_DIR/avahi.log" 2>&1 </dev/null &
    pid=$!
    echo "$pid" >"$NOMO_NETNS_AVAHI_PIDFILE"
    wait_daemon_running && wait_services
}

# Alive and not merely a zombie waiting for its parent to reap it.
running() {
    [ -r "/proc/$1/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status" 2>/dev/null
}

avahi_stop() {
    local pid i
    pid=$(cat "$NOMO_NETNS_AVAHI_PIDFILE" 2>/dev/null) || return 0
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null
    for ((i = 0; i < 100; i++)); do
        running "$pid" || break
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null # reaps it when this shell started it
    : >"$NOMO_NETNS_AVAHI_PIDFILE"
    return 0
}

xml_escape() {
    sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' <<<"$1"
}

# One file per service, named after its line, so that a reload leaves the unchanged ones alone
# (the daemon re-announces a service whose file changed).
write_service_files() {
    local n=0 type port name file
    local -A wanted=()
    while IFS=$'\t' read -r type port name; do
        n=$((n + 1))
        file=svc-$(printf '%s\t%s\t%s' "$type" "$port" "$name" | md5sum | cut -c1-16).service
        wanted[$file]=1
        [ -e "$NOMO_NETNS_DIR/services/$file" ] && continue
        cat >"$NOMO_NETNS_DIR/services/$file" <<XML
<?xml version="1.0" standalone='no'?>
<!DOCTYPE service-group SYSTEM "avahi-service.dtd">
<service-group>
  <name replace-wildcards="no">$(xml_escape "$name")</name>
  <service><type>$type</type><port>$port</port></service>
</service-group>
XML
    done <"$NOMO_NETNS_DIR/services.tsv"
    for file in "$NOMO_NETNS_DIR"/services/*.service; do
        [ -e "$file" ] && [ -z "${wanted[${file##*/}]:-}" ] && rm -f "$file"
    done
    echo "$n"
}

# The daemon rereads its static service files on SIGHUP.
reload_services() {
    write_service_files >/dev/null
    kill -HUP "$(cat "$NOMO_NETNS_AVAHI_PIDFILE")" 2>/dev/null || return 1
}

# publish TYPE PORT NAME...: announces one more service and waits until it can be browsed.
publish() {
    [ $# -ge 3 ] || { echo "usage: publish TYPE PORT NAME" >&2; return 2; }
    local type=$1 port=$2
    shift 2
    printf '%s\t%s\t%s\n' "$type" "$port" "$*" >>"$NOMO_NETNS_DIR/services.tsv"
    reload_services && wait_services
}

# withdraw TYPE NAME...: withdraws a service (goodbye packets, so browsers see a removal) and waits
# until it can no longer be browsed.
withdraw() {
    [ $# -ge 2 ] || { echo "usage: withdraw TYPE NAME" >&2; return 2; }
    local type=$1
    shift
    awk -F'\t' -v t="$type" -v n="$*" '!($1 == t && $3 == n)' "$NOMO_NETNS_DIR/services.tsv" \
        >"$NOMO_NETNS_DIR/services.tsv.new" && mv "$NOMO_NETNS_DIR/services.tsv.new" "$NOMO_NETNS_DIR/services.tsv"
    reload_services && wait_services exact "$type"
}

# Stage 2: runs inside the network namespace, in a private mount namespace of its own.
inner() {
    local dir=$1
    shift
    export NOMO_NETNS_DIR=$dir
    export NOMO_NETNS_AVAHI_PIDFILE=$dir/avahi.pid
    export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$dir/dbus/system_bus_socket
    dbus_pid='' cmd_pid='' status=0

    cleanup_inner() {
        trap - EXIT INT TERM
        [ -n "$cmd_pid" ] && kill -TERM "$cmd_pid" 2>/dev/null && wait "$cmd_pid" 2>/dev/null
        avahi_stop
        [ -n "$dbus_pid" ] && kill -TERM "$dbus_pid" 2>/dev/null && wait "$dbus_pid" 2>/dev/null
    }
    on_signal() {
        cleanup_inner
        exit $((128 + $1))
    }
    trap cleanup_inner EXIT
    trap 'on_signal 2' INT
    trap 'on_signal 15' TERM

    # Private runtime and service directories; the machine's own stay untouched.
    mount --make-rprivate / || return 125
    mkdir -p /run/avahi-daemon || return 125
    mount --bind "$dir/avahi-run" /run/avahi-daemon || return 125
    mount --bind "$dir/services" /etc/avahi/services || return 125
    if ! grep -Eq '^hosts:.*mdns4?(_minimal)?' /etc/nsswitch.conf; then
        sed -E 's/^(hosts:[[:space:]]*files)/\1 mdns4_minimal [NOTFOUND=return]/' \
            /etc/nsswitch.conf >"$dir/nsswitch.conf"
        grep -q '^hosts:' "$dir/nsswitch.conf" ||
            echo 'hosts: files mdns4_minimal [NOTFOUND=return] dns' >>"$dir/nsswitch.conf"
        mount --bind "$dir/nsswitch.conf" /etc/nsswitch.conf || return 125
    fi

    ip link set lo up && ip link set vcam0 up && ip link set vcam1 up || return 125
    ip addr add 10.77.0.1/24 dev vcam0 && ip addr add 10.77.0.2/24 dev vcam1 || return 125

    dbus-daemon --config-file="$dir/dbus.conf" --nofork --nosyslog >>"$dir/dbus.log" 2>&1 </dev/null &
    dbus_pid=$!
    local i
    for ((i = 0; i < 100; i++)); do
        [ -S "$dir/dbus/system_bus_socket" ] && break
        sleep 0.05
    done
    [ -S "$dir/dbus/system_bus_socket" ] || { echo "netns-run: dbus-daemon did not start" >&2; return 125; }

    export NOMO_NETNS_SERVICE_COUNT
    NOMO_NETNS_SERVICE_COUNT=$(write_service_files)
    avahi_start || return 125
    log "namespace $NOMO_NETNS_NAME ready: $NOMO_NETNS_SERVICE_COUNT services on $NOMO_NETNS_HOSTNAME"

    "$@" &
    cmd_pid=$!
    wait "$cmd_pid"
    status=$?
    cmd_pid=''
    return "$status"
}

# --- helper entry points ------------------------------------------------------------------------
case "${1:-}" in
--inner)
    shift
    inner "$@"
    exit $?
    ;;
--avahi-stop)
    avahi_stop
    exit 0
    ;;
--avahi-start)
    avahi_start
    exit $?
    ;;
--publish-now)
    shift
    publish "$@"
    exit $?
    ;;
--withdraw-now)
    shift
    withdraw "$@"
    exit $?
    ;;
esac

# --- stage 1: in the machine's namespace ----------------------------------------------------------
host_name=nomocam
services=()
NOMO_NETNS_NO_WAIT=0
while [ $# -gt 0 ]; do
    case "$1" in
    --publish)
        [ $# -ge 4 ] || die "--publish needs NAME TYPE PORT"
        services+=("$3"$'\t'"$4"$'\t'"$2")
        shift 4
        ;;
    --publish-file)
        [ $# -ge 2 ] && [ -r "$2" ] || die "--publish-file needs a readable file"
        while read -r type port name; do
            [ -z "$type" ] || [ "${type:0:1}" = "#" ] && continue
            [ -n "$name" ] || die "bad line in $2: $type $port"
            services+=("$type"$'\t'"$port"$'\t'"$name")
        done <"$2"
        shift 2
        ;;
    --host-name)
        [ $# -ge 2 ] || die "--host-name needs a name"
        host_name=$2
        shift 2
        ;;
    --no-wait)
        NOMO_NETNS_NO_WAIT=1
        shift
        ;;
    -h | --help)
        usage
        exit 0
        ;;
    --)
        shift
        break
        ;;
    -*) die "unknown option $1 (see --help)" ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || die "no command given (see --help)"
if [ "$(id -u)" -ne 0 ]; then
    echo "netns-run: must run as root (network namespaces); skipped" >&2
    exit 77
fi
for tool in ip avahi-daemon avahi-browse dbus-daemon dbus-send mount timeout; do
    command -v "$tool" >/dev/null || die "$tool is missing (tools/ensure-deps.sh test installs it)"
done

# Namespaces left by a run that was killed outright (SIGKILL) are removed here, by the process id
# kept in their name, once that process is gone.
for stale in /run/netns/$prefix-*; do
    [ -e "$stale" ] || continue
    owner=${stale##*/$prefix-}
    owner=${owner%%-*}
    if ! kill -0 "$owner" 2>/dev/null; then
        for pid in $(ip netns pids "${stale##*/}" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
        ip netns del "${stale##*/}" 2>/dev/null
    fi
done

export NOMO_NETNS_NAME=$prefix-$$-$(date +%s%N | tail -c 7)
export NOMO_NETNS_HOSTNAME=$host_name.local
export NOMO_NETNS_NO_WAIT
dir=$(mktemp -d "/tmp/$NOMO_NETNS_NAME.XXXXXX") || die "cannot create a state directory"
inner_pid=''

cleanup() {
    trap - EXIT INT TERM
    if [ -n "$inner_pid" ]; then
        kill -TERM "$inner_pid" 2>/dev/null
        wait "$inner_pid" 2>/dev/null
    fi
    # Whatever still runs in the namespace was started by this run.
    local pid
    for pid in $(ip netns pids "$NOMO_NETNS_NAME" 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
    ip netns del "$NOMO_NETNS_NAME" 2>/dev/null
    [ -n "${NOMO_NETNS_KEEP_DIR:-}" ] || rm -rf "$dir"
}
trap cleanup EXIT
trap 'cleanup; exit 130' INT
trap 'cleanup; exit 143' TERM

mkdir -p "$dir/avahi-run" "$dir/services" "$dir/dbus" "$dir/bin"
printf '%s\n' "${services[@]+"${services[@]}"}" | sed '/^$/d' >"$dir/services.tsv"

cat >"$dir/dbus.conf" <<XML
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=$dir/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
XML

cat >"$dir/avahi-daemon.conf" <<CONF
[server]
host-name=$host_name
use-ipv4=yes
use-ipv6=no
allow-interfaces=vcam0,vcam1
enable-dbus=yes

[wide-area]
enable-wide-area=no

[publish]
publish-workstation=no
publish-hinfo=no
publish-addresses=yes
publish-domain=no

[reflector]
enable-reflector=no
CONF

for action in avahi-stop avahi-start publish-now withdraw-now; do
    printf '#!/bin/sh\nexec "%s" --%s "$@"\n' "$self" "$action" >"$dir/bin/$action"
    chmod +x "$dir/bin/$action"
done
export NOMO_NETNS_AVAHI_STOP=$dir/bin/avahi-stop
export NOMO_NETNS_AVAHI_START=$dir/bin/avahi-start
export NOMO_NETNS_PUBLISH=$dir/bin/publish-now
export NOMO_NETNS_WITHDRAW=$dir/bin/withdraw-now

ip netns add "$NOMO_NETNS_NAME" || die "cannot create network namespace $NOMO_NETNS_NAME"
ip -n "$NOMO_NETNS_NAME" link add vcam0 type veth peer name vcam1 || die "cannot create the veth pair"

ip netns exec "$NOMO_NETNS_NAME" "$self" --inner "$dir" "$@" &
inner_pid=$!
wait "$inner_pid"
status=$?
inner_pid=''
exit $status
