#!/usr/bin/env bash
# Times tvx against find, bfs and du on one tree, in one run; see bench/README.md.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/run.sh [options] TREE

Times tvx LIST/DIR/STAT on TREE against find, bfs and du -a with hyperfine,
measures peak RSS with /usr/bin/time -v and prints each tvx figure as a ratio
to its peer, with the targets and PASS/FAIL.

  -t, --tvx PATH        tvx binary (default: build/native/tvx of this repo)
  -r, --runs N          measured runs per command (default 10)
  -w, --warmup N        warm-up runs per command (default 3)
      --rounds K        time every command in K rounds of N runs, one round
                        after the other, and pool the runs (default 1); on a
                        machine whose speed drifts, every command then sees
                        the drift alike
  -p, --paired N        then time each target's two commands N times in
                        turn and take the median of the paired ratios
                        (default 10; 0 skips it)
  -s, --small TREE      a tree of about a tenth of the entries, for the
                        memory-scaling check (skipped when not given)
  -o, --results DIR     where the JSON and the report go
                        (default: bench/results/<date-time>)
  -g, --generate        make TREE (and the small tree) with gen_tree.py first
                        when missing: --entries and --small-entries entries
      --entries N       entries of TREE for --generate (default 1000000)
      --small-entries N entries of the small tree for --generate (default 100000)
      --commit TEXT     what to record as the tvx commit (default: git HEAD
                        of the repo holding the binary, "+dirty" if modified)
      --wait-load X     before timing, wait (at most 20 minutes) until the
                        1-minute load average is below X (a shared machine)
      --clean           remove TREE and the small tree at the end (only trees
                        made by gen_tree.py, which leaves a stamp beside them)
  -h, --help            this text
EOF
}

HERE=$(cd "$(dirname "$0")" && pwd)
REPO=$(cd "$HERE/.." && pwd)
TVX="$REPO/build/native/tvx"
RUNS=10
WARMUP=3
ROUNDS=1
PAIRED=10
SMALL=""
RESULTS=""
GENERATE=0
ENTRIES=1000000
SMALL_ENTRIES=100000
COMMIT=""
CLEAN=0
WAIT_LOAD=""
TREE=""

while [ $# -gt 0 ]; do
  case "$1" in
    -t|--tvx) TVX=$2; shift 2 ;;
    -r|--runs) RUNS=$2; shift 2 ;;
    -w|--warmup) WARMUP=$2; shift 2 ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    -p|--paired) PAIRED=$2; shift 2 ;;
    -s|--small) SMALL=$2; shift 2 ;;
    -o|--results) RESULTS=$2; shift 2 ;;
    -g|--generate) GENERATE=1; shift ;;
    --entries) ENTRIES=$2; shift 2 ;;
    --small-entries) SMALL_ENTRIES=$2; shift 2 ;;
    --commit) COMMIT=$2; shift 2 ;;
    --clean) CLEAN=1; shift ;;
    --wait-load) WAIT_LOAD=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) [ -z "$TREE" ] || { echo "run.sh: one TREE only" >&2; exit 2; }; TREE=$1; shift ;;
  esac
done
[ -n "$TREE" ] || { usage >&2; exit 2; }

for tool in hyperfine bfs find du python3; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing (apt-get install -y hyperfine bfs time)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "run.sh: /usr/bin/time is missing (apt-get install -y time)" >&2; exit 1; }
[ -x "$TVX" ] || { echo "run.sh: no tvx binary at $TVX (build it, or give --tvx)" >&2; exit 1; }
TVX=$(cd "$(dirname "$TVX")" && pwd)/$(basename "$TVX")

abspath() { case "$1" in /*) printf '%s\n' "${1%/}" ;; *) printf '%s\n' "$PWD/${1%/}" ;; esac; }
TREE=$(abspath "$TREE")
[ -z "$SMALL" ] || SMALL=$(abspath "$SMALL")

if [ "$GENERATE" = 1 ]; then
  python3 "$HERE/gen_tree.py" "$ENTRIES" "$TREE"
  [ -z "$SMALL" ] || python3 "$HERE/gen_tree.py" "$SMALL_ENTRIES" "$SMALL"
fi
[ -d "$TREE" ] || { echo "run.sh: $TREE is not a directory (make it with bench/gen_tree.py, or give --generate)" >&2; exit 1; }
[ -z "$SMALL" ] || [ -d "$SMALL" ] || { echo "run.sh: $SMALL is not a directory" >&2; exit 1; }

cleanup() {
  if [ "$CLEAN" = 1 ]; then
    python3 "$HERE/gen_tree.py" --remove "$TREE" || true
    [ -z "$SMALL" ] || python3 "$HERE/gen_tree.py" --remove "$SMALL" || true
  fi
}
trap cleanup EXIT

[ -n "$RESULTS" ] || RESULTS="$HERE/results/$(date +%Y%m%d-%H%M%S)"
mkdir -p "$RESULTS"
RESULTS=$(cd "$RESULTS" && pwd)

if [ -z "$COMMIT" ]; then
  bindir=$(dirname "$TVX")
  if git -C "$bindir" rev-parse --git-dir >/dev/null 2>&1; then
    COMMIT=$(git -C "$bindir" rev-parse --short HEAD)
    git -C "$bindir" diff --quiet HEAD -- 2>/dev/null || COMMIT="$COMMIT+dirty"
  else
    COMMIT=unknown
  fi
fi

FMT='%TY/%Tm/%Td %TH:%TM:%TS %s %p\n'
q() { printf '%q' "$1"; }

# The machine's limit: the floor walker, built for this run.
FLOOR="$RESULTS/floor"
"${CC:-cc}" -O2 -pthread -o "$FLOOR" "$HERE/floor.c" || { echo "run.sh: cannot build bench/floor.c" >&2; exit 1; }
QT=$(q "$TREE"); QX=$(q "$TVX"); QF=$(q "$FMT"); QL=$(q "$FLOOR")

# name|command (run by hyperfine through sh -c)
COMMANDS=(
  "tvx LIST /R|$QX LIST $QT /R > /dev/null"
  "tvx DIR /R|$QX DIR $QT /R > /dev/null"
  "tvx STAT /R|$QX STAT $QT /R > /dev/null"
  "tvx LIST /R \$DATETIME|$QX LIST $QT /R '/P=\$DATETIME' > /dev/null"
  "tvx LIST /R /O:N|$QX LIST $QT /R /O:N > /dev/null"
  "find|find $QT > /dev/null"
  "bfs|bfs $QT > /dev/null"
  "find -printf|find $QT -printf $QF > /dev/null"
  "bfs -printf|bfs $QT -printf $QF > /dev/null"
  "du -a|du -a $QT > /dev/null"
  "floor names|$QL names $QT"
  "floor stat|$QL stat $QT"
  "floor names -j2|$QL -j 2 names $QT"
  "floor stat -j2|$QL -j 2 stat $QT"
  "tvx LIST /R (pipe)|$QX LIST $QT /R | cat > /dev/null"
  "find (pipe)|find $QT | cat > /dev/null"
  "tvx DIR /R (pipe)|$QX DIR $QT /R | cat > /dev/null"
  "bfs -printf (pipe)|bfs $QT -printf $QF | cat > /dev/null"
)

if [ -n "$WAIT_LOAD" ]; then
  for _ in $(seq 120); do
    awk -v max="$WAIT_LOAD" '{ exit !($1 < max) }' /proc/loadavg && break
    echo "waiting: load average $(cut -d' ' -f1 /proc/loadavg), want below $WAIT_LOAD"
    sleep 10
  done
fi

# Machine and run description.
{
  echo "date=$(date -u +%Y-%m-%dT%H:%M:%SZ)"
  echo "tree=$TREE"
  echo "small=$SMALL"
  echo "tvx=$TVX"
  echo "commit=$COMMIT"
  echo "runs=$RUNS"
  echo "warmup=$WARMUP"
  echo "rounds=$ROUNDS"
  echo "paired=$PAIRED"
  echo "nproc=$(nproc)"
  echo "cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
    "$(sed -n 's/^cpu MHz[[:space:]]*: //p' /proc/cpuinfo | head -1) MHz" \
    "$(lscpu 2>/dev/null | sed -n 's/^Hypervisor vendor:[[:space:]]*/(virtual machine, /p' | sed 's/$/)/')"
  echo "mem=$(awk '/^MemTotal/ {printf "%.1f GiB", $2/1048576}' /proc/meminfo)"
  echo "fs=$(df -PT "$TREE" | awk 'NR==2 {print $2}')"
  echo "kernel=$(uname -srm)"
  echo "locale=${LC_ALL:-${LC_TIME:-${LANG:-C}}}"
  echo "versions=$(find --version | head -1); $(bfs --version | head -1); $(du --version | head -1); $(hyperfine --version)"
  echo "load_before=$(cut -d' ' -f1-3 /proc/loadavg)"
} > "$RESULTS/meta.txt"

echo "== tree: $TREE"
sync
nfind=$(find "$TREE" | wc -l)
ntvx=$("$TVX" LIST "$TREE" /R | wc -l)
echo "entries: find $((nfind - 1)) (+ the root), tvx LIST /R $ntvx"
echo "entries=$((nfind - 1))" >> "$RESULTS/meta.txt"
echo "tvx_lines=$ntvx" >> "$RESULTS/meta.txt"
[ "$ntvx" = $((nfind - 1)) ] || echo "run.sh: WARNING: tvx LIST /R printed $ntvx lines, find $((nfind - 1)) entries" >&2

# Timing: all commands in one hyperfine run per round.
args=()
for c in "${COMMANDS[@]}"; do args+=(--command-name "${c%%|*}" "${c#*|}"); done
rm -f "$RESULTS"/times*.json
for round in $(seq "$ROUNDS"); do
  echo "== timing, round $round of $ROUNDS ($WARMUP warm-up runs, $RUNS runs each)"
  json="$RESULTS/times.json"
  [ "$ROUNDS" = 1 ] || json="$RESULTS/times-$round.json"
  hyperfine --warmup "$WARMUP" --runs "$RUNS" --style basic --export-json "$json" "${args[@]}"
done

# The targets again, each pair of commands run in turn.
cmd_of() {
  local c
  for c in "${COMMANDS[@]}"; do
    [ "${c%%|*}" = "$1" ] && { printf '%s\n' "${c#*|}"; return; }
  done
  echo "run.sh: no command named $1" >&2
  exit 1
}
rm -f "$RESULTS/paired.json"
if [ "$PAIRED" -gt 0 ]; then
  pargs=()
  for p in "tvx LIST /R|find" "tvx DIR /R|bfs -printf" "tvx DIR /R|du -a" "tvx STAT /R|find" \
    "tvx LIST /R \$DATETIME|tvx DIR /R" "tvx LIST /R /O:N|tvx LIST /R" "tvx LIST /R (pipe)|tvx LIST /R" \
    "tvx DIR /R (pipe)|tvx DIR /R" "tvx LIST /R|floor names" "tvx DIR /R|floor stat" \
    "tvx STAT /R|floor names"; do
    a=${p%%|*} b=${p#*|}
    pargs+=(--pair "$a" "$(cmd_of "$a")" "$b" "$(cmd_of "$b")")
  done
  echo "== paired ($PAIRED turns per target)"
  python3 "$HERE/paired.py" --runs "$PAIRED" --out "$RESULTS/paired.json" "${pargs[@]}"
fi

# Peak RSS (median of 3) of each command printing to /dev/null.
peak_rss() {  # label tree command... ; prints "label<TAB>tree<TAB>KiB"
  local label=$1 tree=$2; shift 2
  local v=()
  for _ in 1 2 3; do
    /usr/bin/time -v -o "$RESULTS/time-v.txt" "$@" > /dev/null
    v+=("$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$RESULTS/time-v.txt")")
  done
  printf '%s\t%s\t%s\n' "$label" "$tree" "$(printf '%s\n' "${v[@]}" | sort -n | sed -n 2p)"
}
echo "== peak RSS (median of 3 runs each)"
{
  peak_rss "tvx LIST /R" big "$TVX" LIST "$TREE" /R
  peak_rss "tvx DIR /R" big "$TVX" DIR "$TREE" /R
  peak_rss "tvx STAT /R" big "$TVX" STAT "$TREE" /R
  peak_rss "tvx LIST /R \$DATETIME" big "$TVX" LIST "$TREE" /R '/P=$DATETIME'
  peak_rss "find" big find "$TREE"
  peak_rss "bfs" big bfs "$TREE"
  peak_rss "find -printf" big find "$TREE" -printf "$FMT"
  peak_rss "bfs -printf" big bfs "$TREE" -printf "$FMT"
  peak_rss "du -a" big du -a "$TREE"
  if [ -n "$SMALL" ]; then
    peak_rss "tvx LIST /R" small "$TVX" LIST "$SMALL" /R
    peak_rss "tvx DIR /R" small "$TVX" DIR "$SMALL" /R
  fi
} > "$RESULTS/rss.tsv"
rm -f "$RESULTS/time-v.txt"
if [ -n "$SMALL" ]; then
  echo "small_entries=$(( $(find "$SMALL" | wc -l) - 1 ))" >> "$RESULTS/meta.txt"
fi
echo "load_after=$(cut -d' ' -f1-3 /proc/loadavg)" >> "$RESULTS/meta.txt"

echo
python3 "$HERE/report.py" "$RESULTS" | tee "$RESULTS/report.md"
echo "(results in $RESULTS)"
