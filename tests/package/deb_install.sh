#!/usr/bin/env bash
# Builds the Debian package of this build with CPack, unpacks it into a
# temporary root (dpkg -x) and checks what a user gets: the control fields,
# a program that lists a tree, and a manual page that man finds and renders
# without warnings.
#   deb_install.sh <cpack> <build folder>/CPackConfig.cmake
set -uo pipefail

cpack=${1:?usage: deb_install.sh <cpack> <CPackConfig.cmake>}
config=${2:?usage: deb_install.sh <cpack> <CPackConfig.cmake>}

fail() { echo "FAIL: $*"; exit 1; }
for tool in dpkg dpkg-deb gzip groff; do
  command -v "$tool" >/dev/null || fail "$tool not found (packages dpkg, gzip, groff)"
done
[ -f "$config" ] || fail "no $config: configure and build the native program first"

tmp=$(mktemp -d "${TMPDIR:-/tmp}/tvx-deb.XXXXXX") || fail "cannot make a temporary folder"
trap 'rm -rf "$tmp"' EXIT

# ---- the package ----
if ! "$cpack" --config "$config" -B "$tmp/pkg" >"$tmp/cpack.log" 2>&1; then
  cat "$tmp/cpack.log"
  fail "cpack could not make the package"
fi
shopt -s nullglob
debs=("$tmp"/pkg/*.deb)
[ ${#debs[@]} -eq 1 ] || { cat "$tmp/cpack.log"; fail "expected one .deb, found ${#debs[@]}"; }
deb=${debs[0]}
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "tvx" ] || fail "Package is '$(field Package)', not tvx"
arch=$(dpkg --print-architecture)
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', not $arch"
[ -n "$(field Version)" ] || fail "the package has no Version"
[ -n "$(field Maintainer)" ] || fail "the package has no Maintainer"
description=$(field Description)
[ "$(printf '%s\n' "$description" | wc -l)" -ge 2 ] \
  || fail "the Description has no long text: '$description'"
if command -v dpkg-shlibdeps >/dev/null; then
  field Depends | grep -q 'libc6' || fail "Depends does not name libc6: '$(field Depends)'"
fi

contents=$(dpkg-deb -c "$deb") || fail "dpkg-deb cannot read $deb"
for path in ./usr/bin/tvx ./usr/share/man/man1/tvx.1.gz; do
  grep -q " $path\$" <<<"$contents" || fail "$path is not in the package:"$'\n'"$contents"
done

# ---- unpacked into a root of its own ----
root=$tmp/root
dpkg -x "$deb" "$root" || fail "dpkg -x could not unpack $deb"
tvx=$root/usr/bin/tvx
[ -x "$tvx" ] || fail "usr/bin/tvx is not executable after dpkg -x"

# A small tree; directory order is not sorted, so lines are compared sorted.
tree=$tmp/tree
mkdir -p "$tree/sub" && printf 'abc' >"$tree/a.txt" && printf 'de' >"$tree/sub/b c.txt" \
  || fail "cannot make the test tree"

expect_list() {  # expect_list <expected lines, sorted> <args...>
  local expected=$1; shift
  local out rc
  out=$("$tvx" "$@" 2>"$tmp/stderr"); rc=$?
  [ $rc -eq 0 ] || fail "tvx $* ended with $rc: $out"
  [ -s "$tmp/stderr" ] && fail "tvx $* wrote to standard error: $(cat "$tmp/stderr")"
  local got
  got=$(printf '%s\n' "$out" | LC_ALL=C sort)
  [ "$got" = "$expected" ] \
    || fail "tvx $* printed:"$'\n'"$out"$'\n'"expected (in any order):"$'\n'"$expected"
}
expect_list "$(printf '%s\n' "'$tree/sub/b c.txt'" "$tree/a.txt" "$tree/sub" | LC_ALL=C sort)" \
  LIST "$tree" /R
expect_list "$(printf '%s\n' "cp a.txt $tree/a.txt /backup" "cp b c.txt $tree/sub/b c.txt /backup" \
                 | LC_ALL=C sort)" \
  LIST "$tree" /R /D /Q '/P=cp $SHORT' /S=/backup

stat=$("$tvx" STAT "$tree" /R) || fail "tvx STAT ended with $?: $stat"
grep -q '^Tarvix ver\. 1\.02$' <<<"$stat" || fail "tvx STAT shows no banner with 1.02:"$'\n'"$stat"
grep -qx "ROOT $tree FileCount=3" <<<"$stat" || fail "tvx STAT printed:"$'\n'"$stat"

"$tvx" LIST "$tmp/missing" >"$tmp/missing.out" 2>"$tmp/missing.err"; rc=$?
[ $rc -eq 1 ] || fail "tvx LIST of a missing directory ended with $rc, not 1"
[ -s "$tmp/missing.out" ] && fail "tvx LIST of a missing directory printed: $(cat "$tmp/missing.out")"
grep -qx "Specified directory \[$tmp/missing\] is not found\." "$tmp/missing.err" \
  || fail "tvx LIST of a missing directory reported: $(cat "$tmp/missing.err")"

# ---- the manual page ----
man_gz=$root/usr/share/man/man1/tvx.1.gz
gzip -t "$man_gz" 2>/dev/null || fail "usr/share/man/man1/tvx.1.gz is not a gzip file"
warnings=$(gzip -dc "$man_gz" | groff -man -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff reports on the packaged manual page:"$'\n'"$warnings"
if command -v man >/dev/null; then
  found=$(MANPATH=$root/usr/share/man man -w tvx 2>&1) \
    || fail "man -w tvx does not find the page under $root/usr/share/man: $found"
  [ "$found" = "$man_gz" ] || fail "man -w tvx finds '$found', not $man_gz"
  page=$(LC_ALL=C MANWIDTH=80 man --warnings=w -l "$man_gz" 2>"$tmp/man.err" </dev/null)
  [ -s "$tmp/man.err" ] && fail "man -l reports on the packaged page:"$'\n'"$(cat "$tmp/man.err")"
  grep -q '^NAME' <<<"$page" && grep -q 'tvx - list a directory tree' <<<"$page" \
    || fail "man -l renders no NAME section:"$'\n'"$page"
else
  echo "note: man (man-db) not installed; the page was checked with groff only"
fi

echo "deb_install: $(basename "$deb") unpacks, runs and carries its manual page"
