#!/usr/bin/env bash
# Kills the entries driver at each write-related system call of a save, a replace, a rescan's
# replace, a modify and a delete (strace's fault injection, one run per call), and checks after every kill that each
# index entry names a file holding a whole tree and that the entries are those before or after.
# Prints one line per operation and system call: the kill points tried, the discs lost, and the
# longest time the next save took after such a kill (what the kill left, such as a lock file
# naming no one, must not hold it up for long). Fails when a disc is lost or a save after a kill
# fails or waits 20 seconds or more.
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
points_total=0
for op in save replace rescan modify delete; do
    # Where the change begins: the calls before the driver's marker belong to its start-up.
    fresh
    strace -f -qq -o "$work/trace" -e trace="$(IFS=,; echo "${calls[*]}"),access" "$driver" "$op" "$work/d" >/dev/null
    for call in "${calls[@]}"; do
        before=$(sed -n '/entries-driver-change-begins/q;p' "$work/trace" | grep -c "^[0-9]* *$call(")
        tried=0 lost=0 slowest=0
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
            # The next save, as the user's next click would make it.
            start=$(date +%s%N)
            if ! "$driver" save "$work/d" AFTER 1 >/dev/null; then
                echo "FAILED: the save after $op killed at $call number $n"
                lost=$((lost + 1))
            fi
            took=$((($(date +%s%N) - start) / 1000000))
            ((took > slowest)) && slowest=$took
        done
        if [ "$tried" -gt 0 ]; then
            printf '%-8s %-10s kill points %3d  lost %d  next save at most %d.%03d s\n' "$op" "$call" "$tried" \
                "$lost" $((slowest / 1000)) $((slowest % 1000))
        fi
        ((slowest >= 20000)) && lost=$((lost + 1))
        lost_total=$((lost_total + lost))
        points_total=$((points_total + tried))
    done
done
echo "kill points $points_total, discs lost or saves failed $lost_total"
[ "$lost_total" -eq 0 ]
