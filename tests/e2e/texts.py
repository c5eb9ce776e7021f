"""What tvx prints of its own that the cases expect: its banner, help and
messages, in both languages."""

from __future__ import annotations

# What the banner is built from on both builds.
PRODUCT_VERSION = "1.02"
COPYRIGHT = "Copyright (C) 2026 The tvx developers"
COMMENTS = "Directory lister and command-line generator"

BANNER = "\nTarvix ver. %s\n %s (%s)" % (PRODUCT_VERSION, COPYRIGHT, COMMENTS)

HELP_LINES = [
    "",
    "<HOW TO USE> TVX [COMMAND] DIRECTORY [OPTIONS]",
    "- COMMAND",
    "  H[ELP]  Display this",
    "  L[IST]  List files",
    "  D[IR]   Slightly similar to Dir command?",
    "  S[TAT]  Display directory infomation",
    "  DU      Total size of each directory, after its contents",
    "- DIRECTORY  List up root directory",
    "- OPTIONS",
    "  /F[ILENAMEONLY]  List up file name only, Not fullpath",
    "  /Q, /NOQ[UOTE]  Omit quoting",
    "  /D, /NOD[IR]  Omit directories",
    "  /L[OWER]  Lower case file or directory name(LOWER has higher priority than UPPER)",
    "  /U[PPER]  Upper case file or directory name",
    "  /R[ECURSIVE]  List up sub directories",
    "  /C[ONTINUE]  Continue past directories that cannot be read",
    "  /UTF8  Write file names and every text in UTF-8",
    "  /BAT[CH]  LIST lines for a batch file: % doubled, the console's code page",
    "  /NP, /NOPROGRESS  No progress line on a terminal while scanning",
    "  /O[RDER]:N|E|S|D|G  Sort each directory by Name, Ext, Size, Date; G directories first;",
    "     - before a letter reverses it; letters combine (/O:G-D)",
    "  /TOP:N  Only the first N entries; with /O the first N of the whole tree in that order",
    "  /I[GNORECASE]  /M, /X and /O:N ignore letter case (as they always do on Windows)",
    "  /0, /NUL  End LIST lines with NUL; names exactly as stored, not quoted",
    "  /JSON  LIST and DIR as JSON Lines, one object per entry (path rel name ext type size",
    "     mtime attr depth, raw: the path in base64 when not UTF-8); STAT as one object",
    "  /CSV  The same fields as CSV columns under a header row (not with DIR /P /S /LINE /0)",
    "  /H[UMAN]  DU sizes as people read them (1.2 GiB)",
    "  /ALLOC  DU counts allocated size (blocks) instead of apparent size",
    "  /XDEV  DU stays on the file system of DIRECTORY",
    "  /TREE  DU draws the directories down to /LEV (2 by default) as a tree, largest first",
    "  /NCDU  DU as ncdu's JSON export, which ncdu -f and gdu -f load",
    "  /P(REFIX)=VALUE[%ENV%,$MACRO]  Prefix value",
    "  /S(UFFIX)=VALUE[%ENV%,$MACRO]  Suffix value",
    "  /LINE=VALUE[%ENV%,$MACRO]  The whole LIST line (not with /P or /S)",
    "     %ENV%  System environment variable",
    "     MACRO",
    "       $SELF  Listed file or directory name",
    "       $FULL  Full file or directory name",
    "       $SHORT  Only file or Directory name",
    "       $DATETIME  File date and time",
    "       $DATE  File date",
    "       $TIME  File time",
    "       $ISODATE  File date as 2026-12-07",
    "       $ISOTIME  File time as 16:44:40",
    "       $STAMP  File date and time as 20261207-164440",
    "       $REL  Path from the listed directory",
    "       $PARENT  Directory holding the file or directory",
    "       $NAME  Name without its extension",
    "       $EXT  Extension with its dot",
    "       $SIZE  Size in bytes",
    "- CHOOSING ENTRIES  (value after : or =, options may repeat)",
    "  /M[ATCH]:PATTERN[;...]  List only names matching a pattern (* any run, ? one character)",
    "  /X|/EXCLUDE:PATTERN[;...]  Omit matching names, never entering them (a\\b: a path)",
    "  /LEV[ELS]:N  List N levels (1 = DIRECTORY's own entries), implies /R",
    "  /MAXAGE:N  Only entries written in the last N days, or since date YYYYMMDD",
    "  /MINAGE:N  Only entries written before N days ago, or before date YYYYMMDD",
    "  /MIN:N[K|M|G|T[B|iB]]  Only entries of at least N bytes (K, KiB 1024; KB 1000;",
    "     directories count 0)",
    "  /MAX:N[K|M|G|T[B|iB]]  Only entries of at most N bytes",
    "  /A:[-]DHSRALE  Only with attributes (- without): Dir Hidden System Readonly Archive Link",
    "     Empty (a file of 0 bytes, a directory of no entries)",
]
USAGE = BANNER + "\n" + "\n".join(HELP_LINES)
UNKNOWN = "\nCommand Unknown.\n" + BANNER

# I/O failure messages as the program words them, by language: Japanese under
# a Japanese locale natively and code page 932 under Wine, English elsewhere.
MESSAGES = {
    "en": {2: "File not found", 3: "Invalid file name", 4: "Too many open files",
           5: "File access denied", 101: "Disk full", "io": "I/O error ({})"},
    "ja": {2: "ﾌｧｲﾙが見つかりません", 3: "不正なﾌｧｲﾙ名です", 4: "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます",
           5: "ﾌｧｲﾙへのｱｸｾｽが拒否されました", 101: "ﾃﾞｨｽｸがいっぱいです", "io": "I/O ｴﾗｰ ({})"},
}


def message(code: int, lang: str = "en") -> str:
    """The text of an error number; one below zero is a POSIX errno value,
    which has no text of its own and is shown as the system numbers it."""
    texts = MESSAGES[lang]
    return texts[code] if code in texts else texts["io"].format(abs(code))
