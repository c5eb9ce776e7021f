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

# Every switch spelling the program accepts is documented.
for word in /R /RECURSIVE /C /CONTINUE /F /FILENAMEONLY /D /NODIR /NOD /Q /NOQUOTE /NOQ /NP /NOPROGRESS \
            /U /UPPER /L /LOWER /UTF8 /P= /PREFIX= /S= /SUFFIX= /M: /MATCH: /X: /EXCLUDE: /LEV: \
            /LEVELS: /MAXAGE: /MINAGE: /MIN: /MAX: /A: /LINE /O: /ORDER: /0 /NUL /BAT /BATCH /JSON /CSV \
            /TOP: /I /IGNORECASE \
            '$SELF' '$FULL' '$SHORT' '$DATETIME' '$DATE' '$TIME' '$ISODATE' '$ISOTIME' '$STAMP' \
            '$REL' '$PARENT' '$NAME' '$EXT' '$SIZE'; do
  grep -qF -- "$word" "$page" || fail "$word is not documented"
done
echo "man page: groff reports nothing; all sections, switches and macros present"
