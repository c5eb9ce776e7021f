#!/bin/sh
# Records against DIR's table, paired, warm: LIST /R /JSON and LIST /R /CSV
# each timed in turn with DIR /R on the same generated tree (the aim: within
# 1.3 times DIR's time). Output goes to /dev/null, as the cost asked about is
# making the records, not a terminal.
#   bench/records.sh [TVX] [ENTRIES] [RUNS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
tvx=${1:-$here/../build/native/tvx}
entries=${2:-1000000}
runs=${3:-10}
tree=${TMPDIR:-/tmp}/tvx-bench-records-$entries
[ -d "$tree" ] || python3 "$here/gen_tree.py" "$entries" "$tree"
python3 "$here/paired.py" --runs "$runs" --out "${TMPDIR:-/tmp}/tvx-bench-records.json" \
  --pair json "$tvx LIST $tree /R /JSON > /dev/null" dir "$tvx DIR $tree /R > /dev/null" \
  --pair csv "$tvx LIST $tree /R /CSV > /dev/null" dir "$tvx DIR $tree /R > /dev/null"
