#!/bin/bash
# Mutation check: does the test suite catch plausible mistakes in the product code?
#
# usage: tools/mutants/run.sh [-b BUILD_DIR] [-R REGEX] [-F REGEX] [-f FAULTS_FILE] [-l|-n] [NAME...]
#   -b DIR    configured build dir to rebuild and test (default: build)
#   -R REGEX  run only the tests matching REGEX (default: every test but the fuzz and package ones)
#   -F REGEX  run the tests matching REGEX before the others (those of the area under check)
#   -f FILE   fault list (default: tools/mutants/faults.txt)
#   -l        list the fault names and exit
#   -n        dry run: only check that every fault still applies (no build, no tests)
#   NAME...   check only these faults; a name ending in "-" is a prefix ("pages-" = all page faults)
#
# For each fault: put it into the source (one exact text replaced), rebuild, run the tests one by
# one, fastest first (as timed by CTest's earlier runs), up to the first failure, put the source
# back byte for byte. A fault whose text is no longer in the file is reported as not applied, one
# that does not build as a build error; neither counts as killed. The build dir is rebuilt from
# the clean sources at the end. Run as root: the tests run in a private network namespace, away
# from other programs' loopback ports. Logs of the last run: BUILD_DIR/mutants/.
#
# Fault list: blocks separated by blank lines; "#" lines are comments.
#   name: agent-poll-count-off-by-one
#   file: agent/myhttpsagent.cpp
#   nth: 1                      (optional: which occurrence of the text, default 1)
#   find: if (polls > 9)
#   replace: if (polls > 10)
# Texts run to the end of the line, trailing blanks included; <NL> stands for a line break.
set -u
# One block, read whole before it runs: editing or checking out this file during a run is harmless.
{

root=$(cd "$(dirname "$0")/../.." && pwd)
build=build
regex=
first=
faults="$root/tools/mutants/faults.txt"
list_only=0
dry=0
while getopts "b:R:F:f:lnh" opt; do
    case $opt in
    b) build=$OPTARG ;;
    R) regex=$OPTARG ;;
    F) first=$OPTARG ;;
    f) faults=$OPTARG ;;
    l) list_only=1 ;;
    n) dry=1 ;;
    *) sed -n '2,/^set -u/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
build=$(cd "$build" 2>/dev/null && pwd) || { echo "no build dir: $build" >&2; exit 2; }

# Parses the list into records "name<TAB>file<TAB>nth<TAB>find<TAB>replace" (texts hold no tabs).
parse() {
    awk 'function flush() { if (n != "") print n "\t" f "\t" (k == "" ? 1 : k) "\t" a "\t" r; n = f = k = a = r = "" }
         /^#/ { next }
         /^[ \t]*$/ { flush(); next }
         /^name: / { n = substr($0, 7); next }
         /^file: / { f = substr($0, 7); next }
         /^nth: / { k = substr($0, 6); next }
         /^find: / { a = substr($0, 7); next }
         /^replace:/ { r = substr($0, 10); sub(/^ /, "", r); next }
         { print "bad line: " $0 > "/dev/stderr"; bad = 1 }
         END { flush(); exit bad }' "$faults"
}
records=$(parse) || exit 2

wanted() {
    [ $# -eq 1 ] && return 0
    local name=$1 w
    shift
    for w in "$@"; do
        [ "$name" = "$w" ] && return 0
        [ "${w%-}" != "$w" ] && [ "${name#"$w"}" != "$name" ] && return 0
    done
    return 1
}

if [ $list_only = 1 ]; then
    cut -f1,2 <<<"$records" | column -t
    exit 0
fi

# Test order: fastest first by CTest's recorded average times (unknown ones last).
mapfile -t all_tests < <(cd "$build" && ctest -N ${regex:+-R "$regex"} -LE 'fuzz|package' |
    sed -n 's/^ *Test *#[0-9]*: //p')
costs="$build/Testing/Temporary/CTestCostData.txt"
# A fault may make a test hang: each test gets four times its usual time plus a minute (its own
# CTest timeout when it has no record yet); running out counts as a failure.
mapfile -t tests < <(for t in "${all_tests[@]}"; do
    c=$(awk -v t="$t" '$1 == t { print $3 }' "$costs" 2>/dev/null)
    echo "${c:-99999} $t"
done | sort -g | awk -v first="$first" '{ print (first != "" && $2 ~ first ? 0 : 1), NR, $0 }' |
    sort -k1,1n -k2,2n | awk '{ print $4 ":" ($3 == 99999 ? 1800 : int(4 * $3 + 60)) }')
[ ${#tests[@]} -gt 0 ] || { echo "no tests selected" >&2; exit 2; }

# Test programs are built only when their turn comes: a fault that an early test kills costs only
# the programs before it.
mapfile -t targets < <(cmake --build "$build" --target help 2>/dev/null | sed -n 's/: phony$//p')
is_target() { printf '%s\n' "${targets[@]}" | grep -qxF "$1"; }
for i in "${!tests[@]}"; do
    is_target "${tests[$i]%%:*}" && tests[$i]="${tests[$i]}:build"
done

logs="$build/mutants"
mkdir -p "$logs"
backup=
target=
restore() {
    [ -n "$backup" ] && cp "$backup" "$target" && rm -f "$backup"
    backup=
}
trap 'restore; echo; echo "interrupted: source restored; rebuild $build before using it"; exit 130' INT TERM
trap restore EXIT

# Replaces the nth occurrence of find by replace in file; fails if there is none.
apply() {
    FIND=$3 REPL=$4 python3 - "$1" "$2" <<'EOF'
import os, sys
path, nth = sys.argv[1], int(sys.argv[2])
find = os.environ["FIND"].replace("<NL>", "\n")
repl = os.environ["REPL"].replace("<NL>", "\n")
data = open(path, encoding="utf-8", newline="").read()
pos = -1
for _ in range(nth):
    pos = data.find(find, pos + 1)
    if pos < 0:
        sys.exit(1)
open(path, "w", encoding="utf-8", newline="").write(data[:pos] + repl + data[pos + len(find):])
EOF
}

# Builds and runs the tests in order inside a private network namespace; prints the first one
# that fails, "build <name>" if a test program no longer builds.
run_tests() {
    unshare -n -- sh -c 'ip link set lo up || { echo "build (no private network)"; exit 3; }
        build=$1; log=$2; shift 2
        for entry in "$@"; do
            t=${entry%%:*}; limit=${entry#*:}; limit=${limit%%:*}
            if [ "${entry##*:}" = build ] && ! cmake --build "$build" -j2 --target "$t" >>"$log" 2>&1; then
                echo "build $t"; exit 1
            fi
            timeout -k 10 "$limit" ctest --test-dir "$build" -R "^$t\$" -LE "fuzz|package" \
                --output-on-failure >>"$log" 2>&1 && continue
            [ $? = 124 ] && echo "$t (timed out)" || echo "$t"
            exit 1
        done' sh "$build" "$1" "${tests[@]}"
}

killed=() survived=() missing=() broken=()
start_all=$(date +%s)
echo "tests, fastest first: ${tests[*]%%:*}"
while IFS=$'\t' read -r -u 3 name file nth find repl; do
    wanted "$name" "$@" || continue
    t0=$(date +%s)
    target="$root/$file"
    if [ $dry = 1 ]; then
        scratch=$(mktemp)
        cp "$target" "$scratch"
        if apply "$scratch" "$nth" "$find" "$repl"; then
            echo "applies      $name"
        else
            echo "NOT APPLIED  $name"
            missing+=("$name")
        fi
        rm -f "$scratch"
        continue
    fi
    backup=$(mktemp)
    cp "$target" "$backup"
    if ! apply "$target" "$nth" "$find" "$repl"; then
        restore
        missing+=("$name")
        printf '%-48s not applied (text not found in %s)\n' "$name" "$file"
        continue
    fi
    log="$logs/$name.log"
    if ! cmake --build "$build" -j2 --target nomoui >"$log" 2>&1; then
        restore
        broken+=("$name")
        printf '%-48s build error (see %s)\n' "$name" "$log"
        continue
    fi
    failed=$(run_tests "$log")
    secs=$(($(date +%s) - t0))
    case $failed in
    "") survived+=("$name") && printf '%-48s SURVIVED (%ss)\n' "$name" $secs ;;
    "build "*) broken+=("$name") && printf '%-48s %s failed (see %s)\n' "$name" "$failed" "$log" ;;
    *) killed+=("$name") && printf '%-48s killed by %s (%ss)\n' "$name" "$failed" $secs ;;
    esac
    restore
done 3<<<"$records"
trap - INT TERM EXIT
if [ $dry = 1 ]; then
    [ ${#missing[@]} -eq 0 ]
    exit
fi

echo "rebuilding $build from the clean sources"
cmake --build "$build" -j2 >"$logs/clean-rebuild.log" 2>&1 || echo "clean rebuild FAILED" >&2
total=$((${#killed[@]} + ${#survived[@]} + ${#missing[@]} + ${#broken[@]}))
echo "killed ${#killed[@]} / survived ${#survived[@]} / not applied ${#missing[@]} / build errors ${#broken[@]} (of $total, $(($(date +%s) - start_all))s)"
[ ${#survived[@]} -eq 0 ] || echo "survivors: ${survived[*]}"
[ ${#missing[@]} -eq 0 ] || echo "not applied: ${missing[*]}"
[ ${#broken[@]} -eq 0 ] || echo "build errors: ${broken[*]}"
[ ${#survived[@]} -eq 0 ] && [ ${#missing[@]} -eq 0 ] && [ ${#broken[@]} -eq 0 ]
exit
}
