#!/usr/bin/env bash
# The manual page is clean roff: groff reports no warning at all (-ww) and
# every section a reader looks for is there.
#   man_page.sh <path of tvx.1>
set -uo pipefail

page=${1:?usage: man_page.sh <tvx.1>}
fail() { echo "FAIL: $*"; exit 1; }

command -v groff >/dev/null || fail "groff not found: install the package groff (or groff-base)"
[ -f "$page" ] || fail "no manual page at $page"

out=$(groff -man -ww -z "$page" 2>&1)
rc=$?
[ $rc -eq 0 ] || fail "groff -man -ww -z $page ended with $rc: $out"
[ -z "$out" ] || fail "groff -man -ww -z $page reports:"$'\n'"$out"

sections=("NAME" "SYNOPSIS" "DESCRIPTION" "COMMANDS" "OPTIONS" "MACROS" "ENVIRONMENT"
          "EXIT STATUS" "EXAMPLES" "DIFFERENCES BETWEEN THE WINDOWS AND POSIX BUILDS" "SEE ALSO")
for section in "${sections[@]}"; do
  grep -qx "\.SH \"\{0,1\}$section\"\{0,1\}" "$page" || fail "section $section is missing"
done

# Every option and macro is documented: the unit test of the option table
# reads this page against the table.
echo "man page: groff reports nothing; all sections present"
