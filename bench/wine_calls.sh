#!/bin/sh
# The Windows build's calls per folder under Wine: the calls tvx.exe makes
# into the system's DLLs, and the kernel calls (ntdll Nt*) on its threads,
# for LIST /R of a small tree and of the same tree with 100 empty folders
# more; the difference over 100 is the cost of one folder.
# usage: bench/wine_calls.sh build/windows/tvx.exe [wine]
set -eu
exe=$1
wine=${2:-wine}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for tree in small large; do
  for d in 1 2 3 4; do
    mkdir -p "$work/$tree/d$d/e"
    touch "$work/$tree/d$d/f1" "$work/$tree/d$d/f2" "$work/$tree/d$d/e/g"
  done
done
mkdir "$work/large/many"
for i in $(seq 1 99); do mkdir "$work/large/many/m$i"; done
for tree in small large; do
  WINEDEBUG=+relay "$wine" "$exe" LIST "Z:$(echo "$work/$tree" | tr / '\\')" /R \
    >"$work/$tree.out" 2>"$work/$tree.relay"
done
cmp -s "$work/small.out" /dev/null && { echo "no output: is $exe a tvx.exe?" >&2; exit 1; }
python3 - "$work" <<'PY'
import collections, re, sys
work = sys.argv[1]
own = re.compile(r"^(\w{4}):Call (\w+\.\w+)\(.*ret=00[4-5][0-9a-f]{5}$")
nt = re.compile(r"^(\w{4}):Call ntdll\.(Nt\w+)\(")
def count(tree):
    lines = open(f"{work}/{tree}.relay", errors="replace").read().splitlines()
    calls, threads = collections.Counter(), set()
    for line in lines:
        m = own.match(line)
        if m:
            threads.add(m.group(1))
            calls[m.group(2)] += 1
    for line in lines:
        m = nt.match(line)
        if m and m.group(1) in threads:
            calls["kernel " + m.group(2)] += 1
    return calls
small, large = count("small"), count("large")
for name in sorted(set(small) | set(large)):
    per = (large[name] - small[name]) / 100
    if abs(per) >= 0.05 and not name.startswith("msvcrt."):
        print(f"{per:6.2f}  {name}")
PY
