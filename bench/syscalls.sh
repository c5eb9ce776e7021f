#!/usr/bin/env bash
# System calls per directory of tvx LIST/DIR/STAT /R against the floor walker
# (bench/floor.c) on one tree, and their CPU times; see bench/README.md.
#
#   bench/syscalls.sh [-t TVX] [-r RUNS] TREE
#
# Counts with perf's system call tracepoints, which do not slow the walk
# (strace -c -f does, so much that tvx then reads ahead as on a slow disk);
# without perf, strace -c -f. Each figure is the median of RUNS runs.
set -euo pipefail

HERE=$(cd "$(dirname "$0")" && pwd)
TVX="$HERE/../build/native/tvx"
RUNS=5
while [ $# -gt 1 ]; do
  case "$1" in
    -t) TVX=$2; shift 2 ;;
    -r) RUNS=$2; shift 2 ;;
    *) echo "usage: bench/syscalls.sh [-t TVX] [-r RUNS] TREE" >&2; exit 2 ;;
  esac
done
[ $# = 1 ] && [ -d "$1" ] || { echo "usage: bench/syscalls.sh [-t TVX] [-r RUNS] TREE" >&2; exit 2; }
TREE=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
"${CC:-cc}" -O2 -pthread -o "$WORK/floor" "$HERE/floor.c"
DIRS=$(find "$TREE" -type d | wc -l)

CALLS="openat openat2 getdents64 close newfstatat statx faccessat2 getrusage futex write"
EVENTS=raw_syscalls:sys_enter
for c in $CALLS; do EVENTS="$EVENTS,syscalls:sys_enter_$c"; done
use_perf=0
perf stat -e "$EVENTS" true >/dev/null 2>&1 && use_perf=1

count() {  # prints "call count" lines, then "cpu user+system"
  if [ "$use_perf" = 1 ]; then
    perf stat -x, -e "$EVENTS" "$@" 2>"$WORK/stat" >/dev/null
    awk -F, '{ n = $3; sub(/^(raw_)?syscalls:sys_enter_?/, "", n); if (n == "") n = "all"; print n, $1 }' "$WORK/stat"
  else
    strace -c -f -o "$WORK/stat" "$@" >/dev/null
    awk '$NF ~ /^[a-z_0-9]+$/ && $4 ~ /^[0-9]+$/ { print $NF, $4 } $NF == "total" { print "all", $3 }' "$WORK/stat"
  fi
  /usr/bin/time -f "cpu %U %S" -o "$WORK/time" "$@" >/dev/null
  awk '{ print $1, $2 + $3 }' "$WORK/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "tree $TREE: $DIRS directories; median of $RUNS runs; $([ "$use_perf" = 1 ] && echo perf || echo strace) counts"
printf '%-14s %8s' command cpu-s
for c in all $CALLS; do printf ' %9s' "$c"; done
echo "   (system calls per directory)"
run() {
  local label=$1; shift
  : > "$WORK/all"
  for _ in $(seq "$RUNS"); do count "$@" >> "$WORK/all"; done
  printf '%-14s %8.3f' "$label" "$(awk '$1 == "cpu" { print $2 }' "$WORK/all" | median)"
  for c in all $CALLS; do
    v=$(awk -v c="$c" '$1 == c { print $2 }' "$WORK/all" | median)
    printf ' %9.2f' "$(awk -v v="${v:-0}" -v d="$DIRS" 'BEGIN { print v / d }')"
  done
  echo
}
run "floor names" "$WORK/floor" names "$TREE"
run "floor stat" "$WORK/floor" stat "$TREE"
run "tvx LIST /R" "$TVX" LIST "$TREE" /R
run "tvx DIR /R" "$TVX" DIR "$TREE" /R
run "tvx STAT /R" "$TVX" STAT "$TREE" /R
