#!/bin/sh
# Records against DIR's table, paired, warm: LIST /R /JSON and LIST /R /CSV
# each timed in turn with DIR /R on the same generated tree (the aim: within
# 1.1 times DIR's time). Output goes to /dev/null, as the cost asked about is
# making the records, not a terminal. TZ is unset, as on most systems: set,
# it hides any time-zone work done per entry (the C library reads the zone
# file again for some calls when it is not). With STRACE=1, the system calls
# of one run of each are counted instead of timed (strace -c -f), which
# shows such work where timings on a busy machine cannot.
#   bench/records.sh [TVX] [ENTRIES] [RUNS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tvx=${1:-$here/../build/native/tvx}
entries=${2:-1000000}
runs=${3:-10}
tree=${TMPDIR:-/tmp}/tvx-bench-records-$entries
unset TZ
[ -d "$tree" ] || python3 "$here/gen_tree.py" "$entries" "$tree"
if [ "${STRACE:-0}" = 1 ]; then
  counts=${TMPDIR:-/tmp}/tvx-bench-records-strace.txt
  for form in "DIR $tree /R" "LIST $tree /R /JSON" "LIST $tree /R /CSV"; do
    echo "== strace -c tvx $form"
    strace -c -f -o "$counts" $tvx $form > /dev/null
    cat "$counts"
  done
  exit 0
fi
python3 "$here/paired.py" --runs "$runs" --out "${TMPDIR:-/tmp}/tvx-bench-records.json" \
  --pair json "$tvx LIST $tree /R /JSON > /dev/null" dir "$tvx DIR $tree /R > /dev/null" \
  --pair csv "$tvx LIST $tree /R /CSV > /dev/null" dir "$tvx DIR $tree /R > /dev/null"
