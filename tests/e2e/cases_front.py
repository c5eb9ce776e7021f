"""Command front end: help, command words, directory parameter, switches, prefix and suffix."""

from __future__ import annotations

from e2e_base import E2E, only
from texts import BANNER, UNKNOWN, USAGE
from trees import BASIC_ALL, BASIC_TOP


class Help(E2E):
    def test_no_parameters_prints_usage(self):
        self.assert_output([], USAGE + "\n", rc=1)

    def test_help_words_at_position_one(self):
        for args in (["HELP"], ["help"], ["h"], ["H", self.c.abs("basic")], ["h", "anything", "/R"],
                     ["HELP", "no-such-dir"]):
            with self.subTest(args=args):
                self.assert_output(args, USAGE + "\n", rc=1)

    def test_platform_help_spellings(self):
        # The POSIX spellings end as POSIX tools' do, with 0.
        for word, rc in (("/?", 1), ("-?", 1), ("-h", 0), ("--help", 0)):
            with self.subTest(word=word):
                self.assert_output([word], USAGE + "\n", rc=rc)
                self.assert_output([word, self.c.abs("basic")], USAGE + "\n", rc=rc)

    def test_version_prints_the_banner_without_scanning(self):
        # No directory is needed; the usage and banner go to standard output.
        self.assert_output(["--version"], BANNER + "\n")
        self.assert_output(["--version", "no-such-dir", "/R"], BANNER + "\n")

    def test_help_word_elsewhere_is_no_help(self):
        # Only position 1 asks for help; at position 3 "H" is an unexpected parameter.
        self.assert_listing(["LIST", self.c.abs("basic"), "H"], "basic", BASIC_TOP,
                            err="Unexpected parameter ignored [H]\n")
        # "/?" asks for it anywhere.
        res = self.c.run(["LIST", self.c.abs("basic"), "/R", "/?"])
        self.c.check_status(res, 1)
        self.assertIn(b"<HOW TO USE>", res.out, res.describe())


class CommandWords(E2E):
    def test_unknown_command_with_existing_directory(self):
        # Nothing is scanned, and the run fails.
        self.assert_failure(["FOO", self.c.abs("basic")], UNKNOWN)
        self.assert_failure(["LST", "/", "/R"], UNKNOWN)

    def test_unknown_command_with_missing_directory(self):
        self.assert_failure(["FOO", "no-such-dir"], "Specified directory [no-such-dir] is not found.")

    def test_command_word_repeated_later_cancels_it(self):
        # The highest position of LIST is 3, so no command is selected.
        self.assert_failure(["LIST", self.c.abs("basic"), "LIST"], UNKNOWN)
        self.assert_failure(["STAT", self.c.abs("basic"), "s"], UNKNOWN)

    def test_short_and_lower_case_command_words(self):
        self.assert_listing(["l", self.c.abs("basic")], "basic", BASIC_TOP)
        self.assert_listing(["List", self.c.abs("basic")], "basic", BASIC_TOP)

    def test_partial_command_word_is_unknown(self):
        self.assert_failure(["LI", self.c.abs("basic")], UNKNOWN)
        self.assert_failure(["LISTS", self.c.abs("basic")], UNKNOWN)


class DirectoryParameter(E2E):
    def test_missing_directory_shown_as_typed(self):
        missing = self.c.abs("basic/nothing-here")
        self.assert_failure(["LIST", missing], f"Specified directory [{missing}] is not found.")
        rel = self.c.rel("sub/nothing-here")
        self.assert_failure(["LIST", rel], f"Specified directory [{rel}] is not found.",
                            cwd=self.c.unix("basic"))

    def test_a_file_is_not_a_directory(self):
        f = self.c.abs("basic/a.txt")
        self.assert_failure(["LIST", f], f"Specified directory [{f}] is not found.")

    def test_switch_in_directory_position(self):
        # The directory parameter is "/R" itself.
        self.assert_failure(["LIST", "/R"], "Specified directory [/R] is not found.",
                            cwd=self.c.unix("basic"))

    def test_no_directory_or_dot_means_current_directory(self):
        cwd = self.c.unix("basic")
        self.assert_listing(["LIST"], "basic", BASIC_TOP, cwd=cwd)
        self.assert_listing(["LIST", "."], "basic", BASIC_TOP, cwd=cwd)
        self.assert_listing(["LIST", ".", "/R"], "basic", BASIC_ALL, cwd=cwd)

    def test_directory_with_blanks(self):
        self.assert_listing(["LIST", self.c.abs("blanks/blank dir")], "blanks/blank dir", ["in.txt"],
                            fmt=lambda p: self.c.quoted(self.c.full(p)))


class WindowsCommandLine(E2E):
    """The parameters as the Windows build cuts them from its command line.

    Natively the same parameters arrive as argv; under Wine the command line
    goes through a batch file so that its quotes reach the program as typed.
    """

    def test_quoted_parameters_keep_blanks(self):
        d = self.c.abs("blanks/blank dir")
        res = self.c.run(["LIST", d, "/P=echo it"], wincmd=f'LIST "{d}" /P="echo it"')
        self.c.check_exact(res, "echo it %s\n" % self.c.quoted(self.c.full("blanks/blank dir/in.txt")))

    def test_quoted_and_unquoted_runs_join(self):
        d = self.c.abs("one")
        res = self.c.run(["LIST", d, "/P=echo  xy"], wincmd=f'LIST {d} /P=ec"ho  x"y')
        self.c.check_exact(res, "echo  xy %s\n" % self.c.full("one/only.txt"))

    def test_unclosed_quote_runs_to_the_end(self):
        d = self.c.abs("one")
        res = self.c.run(["LIST", d, "/P=abc def"], wincmd=f'LIST {d} /P="abc def')
        self.c.check_exact(res, "abc def %s\n" % self.c.full("one/only.txt"))

    def test_empty_quoted_parameter_vanishes(self):
        cwd = self.c.unix("basic")
        # The parameter after LIST is then /R, taken as the directory.
        res = self.c.run(["LIST", "", "/R"], wincmd='LIST "" /R', cwd=cwd)
        self.c.check_failure(res, "Specified directory [/R] is not found.")
        res = self.c.run(["LIST", ""], wincmd='LIST ""', cwd=cwd)
        self.c.check_entries(res, self.lines_of("basic", BASIC_TOP))

    def test_quoted_command_word(self):
        d = self.c.abs("one")
        res = self.c.run(["LIST", d], wincmd=f'"LIST" "{d}"')
        self.c.check_exact(res, self.c.full("one/only.txt") + "\n")


class Switches(E2E):
    def test_recursive_spellings(self):
        d = self.c.abs("basic")
        for sw in ("/R", "/r", "/RECURSIVE", "/Recursive", "/recursive"):
            with self.subTest(switch=sw):
                self.assert_listing(["LIST", d, sw], "basic", BASIC_ALL)
        # A switch must match a whole parameter: what looks like one and is
        # none stops the run before the scan; what is no option at all is
        # warned about, then ignored.
        for sw in ("/REC", "/RE", "/R=1", "//R", "/M*.tmp", "/MINAGE30", "/EXLUDE:.git", "/PR=x"):
            with self.subTest(switch=sw):
                self.assert_failure(["LIST", d, sw, "/P=rm"], f"Unknown option [{sw}]")
        for sw in ("-R", "R"):
            with self.subTest(switch=sw):
                self.assert_listing(["LIST", d, sw], "basic", BASIC_TOP,
                                    err=f"Unexpected parameter ignored [{sw}]\n")

    def test_options_in_any_position(self):
        d = self.c.abs("basic")
        self.assert_listing(["LIST", d, "/U", "/R"], "basic", BASIC_ALL,
                            fmt=lambda p: self.c.full(p).upper())
        self.assert_listing(["LIST", d, "/R", "/NODIR", "/Lower", "/F"], "basic",
                            [r for r in BASIC_ALL if r not in ("sub", "sub/deeper")],
                            fmt=lambda p: p.rsplit("/", 1)[1].lower())


class PrefixAndSuffix(E2E):
    def line(self, prefix="", suffix=""):
        return prefix + self.c.full("one/only.txt") + suffix + "\n"

    def check(self, args, expected, env=None, err=""):
        res = self.c.run(["LIST", self.c.abs("one")] + args, env=env)
        self.c.check_exact(res, expected, err=err)

    def test_prefix_and_suffix(self):
        dest = self.c.abs("basic")
        self.check(["/P=copy", "/S=" + dest], self.line("copy ", " " + dest))
        self.check(["/PREFIX=echo", "/SUFFIX=done"], self.line("echo ", " done"))
        self.check(["/p=lower", "/s=case"], self.line("lower ", " case"))

    def test_first_spelling_with_a_value_wins(self):
        self.check(["/P=a", "/PREFIX=b"], self.line("a "))
        self.check(["/PREFIX=b", "/P=a"], self.line("a "))
        self.check(["/P=", "/PREFIX=b"], self.line("b "))
        self.check(["/P=x", "/P=y"], self.line("x "))
        # The first use of a spelling counts even when empty; then the next spelling's first.
        self.check(["/P=", "/P=a"], self.line())
        self.check(["/S=", "/SUFFIX=b", "/S=c"], self.line("", " b"))

    def test_bare_or_empty_switch_gives_nothing(self):
        self.check(["/P"], self.line())
        self.check(["/P="], self.line())
        self.check(["/S", "/SUFFIX="], self.line())
        self.check(["/PREFIX", "/suffix"], self.line())

    def test_value_keeps_further_equal_signs(self):
        self.check(["/P=set X=1"], self.line("set X=1 "))

    def test_environment_references(self):
        env = {"TVX_E2E_VAR": "hello", "TVX_E2E_A": "1", "TVX_E2E_B": "2"}
        self.check(["/P=%TVX_E2E_VAR%:"], self.line("hello: "), env=env)
        self.check(["/S=[%TVX_E2E_A%-%TVX_E2E_B%]"], self.line("", " [1-2]"), env=env)
        # Names are looked up without regard to letter case.
        self.check(["/P=%tvx_e2e_var%"], self.line("hello "), env=env)

    def test_unresolved_references_stay(self):
        self.check(["/P=%TVX_E2E_VAR%:"], self.line("%TVX_E2E_VAR%: "), env={"TVX_E2E_VAR": None})
        self.check(["/P=%TVX_E2E_VAR%:"], self.line("%TVX_E2E_VAR%: "), env={"TVX_E2E_VAR": ""})
        self.check(["/P=100%"], self.line("100% "))

    def test_value_holding_its_own_reference_ends(self):
        self.check(["/P=%TVX_E2E_VAR%"], self.line("%TVX_E2E_VAR%x "),
                   env={"TVX_E2E_VAR": "%TVX_E2E_VAR%x"})

    def test_environment_values_may_hold_macros(self):
        # References are expanded once, before the per-entry macros.
        self.check(["/P=%TVX_E2E_VAR%-$SHORT"], self.line("only.txt-only.txt "),
                   env={"TVX_E2E_VAR": "$SHORT"})

    def test_references_in_names_are_not_expanded(self):
        res = self.c.run(["LIST", self.c.abs("onepct"), "/P=$SHORT"], env={"TVX_E2E_VAR": "hello"})
        self.c.check_exact(res, "%TVX_E2E_VAR%.txt " + self.c.full("onepct/%TVX_E2E_VAR%.txt") + "\n")

    @only("wine", "drive letters exist only on Windows")
    def test_prefix_may_name_a_drive_path(self):
        self.check(["/S=D:\\backup"], self.line("", " D:\\backup"))
