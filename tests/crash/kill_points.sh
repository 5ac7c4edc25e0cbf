#!/usr/bin/env bash
# Kills the entries driver at each write-related system call of a save, a replace, a rescan's
# replace, a modify and a delete (strace's fault injection, one run per call), and checks after every kill that each
# index entry names a file holding a whole tree and that the entries are those before or after.
# Prints one line per operation and system call: the kill points tried and the discs lost.
set -uo pipefail
driver=$1
if ! command -v strace >/dev/null; then
    echo "strace is not installed: kill points not tested"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
calls=(openat write fdatasync fsync rename renameat2 link unlink)
# The folder every run starts from, made once: discs A, B and C.
"$driver" setup "$work/seed" || exit 1
fresh() { rm -rf "$work/d" && cp -a "$work/seed" "$work/d"; }
lost_total=0
for op in save replace rescan modify delete; do
    # Where the change begins: the calls before the driver's marker belong to its start-up.
    fresh
    strace -f -qq -o "$work/trace" -e trace="$(IFS=,; echo "${calls[*]}"),access" "$driver" "$op" "$work/d" >/dev/null
    for call in "${calls[@]}"; do
        before=$(sed -n '/entries-driver-change-begins/q;p' "$work/trace" | grep -c "^[0-9]* *$call(")
        tried=0 lost=0
        for ((n = before + 1; ; n++)); do
            fresh
            out=$(strace -f -qq -o /dev/null -e trace="$call" -e inject="$call:signal=KILL:when=$n" \
                "$driver" "$op" "$work/d" 2>/dev/null)
            [ "$out" = done ] && break # the change ran to its end: no call left to kill
            tried=$((tried + 1))
            if ! "$driver" check "$work/d" "$op"; then
                echo "LOST: $op killed at $call number $n"
                lost=$((lost + 1))
            fi
        done
        [ "$tried" -gt 0 ] && printf '%-8s %-10s kill points %3d  lost %d\n' "$op" "$call" "$tried" "$lost"
        lost_total=$((lost_total + lost))
    done
done
[ "$lost_total" -eq 0 ]
