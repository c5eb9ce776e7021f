#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ShiftJis.h"
#include "text/CommandLine.h"

namespace tvx {
namespace {

using Params = std::vector<std::string>;

bool ExactEqual(std::string_view a, std::string_view b) {
  return a == b;
}

TEST(CommandLineTest, CutParametersWindowsRules) {
  struct Row {
    const char* what;
    std::string line;
    Params expected;
  };
  const std::vector<Row> rows = {
      {"program name alone", "tvx.exe", {}},
      {"empty line", "", {}},
      {"program name dropped", "tvx.exe LIST C:\\data", {"LIST", "C:\\data"}},
      {"quoted program name with blank", "\"C:\\Program Files\\tvx.exe\" LIST", {"LIST"}},
      {"runs of separators", "tvx   LIST \t  /R  ", {"LIST", "/R"}},
      {"control bytes separate",
       "tvx a\x01"
       "b\x1F"
       "c\x0D\x0A"
       "d",
       {"a", "b", "c", "d"}},
      {"DEL is ordinary",
       "tvx a\x7F"
       "b",
       {"a\x7F"
        "b"}},
      {"quotes group and vanish", "tvx \"my data\" x", {"my data", "x"}},
      {"quoted runs keep tabs", "tvx \"a\tb\"", {"a\tb"}},
      {"mixed runs join", "tvx a\"b c\"d\"e\"", {"ab cde"}},
      {"option value quoted inside", "tvx /P=\"echo $SHORT\"", {"/P=echo $SHORT"}},
      {"leading empty pair skipped", "tvx \"\" LIST", {"LIST"}},
      {"several empty pairs skipped", "tvx \"\" \"\"\"\" LIST", {"LIST"}},
      {"leading pair before text", "tvx \"\"abc", {"abc"}},
      {"leading pair then quoted run", "tvx \"\"\"a b\"", {"a b"}},
      {"inner empty pair vanishes", "tvx a\"\"b", {"ab"}},
      {"trailing empty pair", "tvx LIST \"\"", {"LIST"}},
      {"lone quote at the end is empty", "tvx LIST \"", {"LIST"}},
      {"no escape for quotes", "tvx \"a\\\" b\"", {"a\\", "b"}},
      {"backslash ordinary", "tvx C:\\dir\\ \\\\srv\\share", {"C:\\dir\\", "\\\\srv\\share"}},
      {"high bytes ordinary", "tvx \x83\x5C \xA0x \xFF", {"\x83\x5C", "\xA0x", "\xFF"}},
      {"lead byte before blank", "tvx \x81 x", {"\x81", "x"}},
      {"unterminated quote runs to the end", "tvx \"a b  c", {"a b  c"}},
      {"unterminated quote after text", "tvx LIST \"C:\\my dir", {"LIST", "C:\\my dir"}},
      {"blank quoted parameter kept", "tvx \" \" x", {" ", "x"}},
      {"text after NUL ignored", std::string("tvx a\0b c", 9), {"a"}},
  };
  for (const Row& row : rows) EXPECT_EQ(CutParameters(row.line), row.expected) << row.what;
}

TEST(CommandLineTest, CutParametersKeepsLongParameterWhole) {
  const std::string longName = "C:\\" + std::string(300, 'x');
  EXPECT_EQ(CutParameters("tvx LIST " + longName + " /R"), (Params{"LIST", longName, "/R"}));
  const std::string longQuoted(400, ' ');
  EXPECT_EQ(CutParameters("tvx \"" + longQuoted + "\""), (Params{longQuoted}));
}

TEST(CommandLineTest, FindSwitch) {
  struct Row {
    const char* what;
    Params params;
    std::size_t expected;
  };
  // Spellings "/R" and "/RECURSIVE".
  const std::vector<Row> rows = {
      {"none", {}, 0},
      {"absent", {"LIST", "C:\\data"}, 0},
      {"exact", {"LIST", "C:\\data", "/R"}, 3},
      {"lower case", {"LIST", "C:\\data", "/r"}, 3},
      {"long spelling mixed case", {"LIST", "/Recursive"}, 2},
      {"highest position", {"/R", "x", "/RECURSIVE", "y"}, 3},
      {"abbreviation does not match", {"LIST", "/REC"}, 0},
      {"dash does not match", {"LIST", "-R"}, 0},
      {"whole parameter only", {"LIST", "/R=1", "/RR", " /R"}, 0},
      {"empty parameter skipped", {"", "/R", ""}, 2},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(FindSwitch(row.params, {"/R", "/RECURSIVE"}), row.expected) << row.what;
  }
  // A command word counts by its position, so the caller sees it.
  EXPECT_EQ(FindSwitch({"list", "C:\\data"}, {"L", "LIST"}), 1u);
  EXPECT_EQ(FindSwitch({"LIST", "C:\\data", "LIST"}, {"L", "LIST"}), 3u);
  EXPECT_EQ(FindSwitch({"\xE0"}, {"\xC0"}), 0u);
}

TEST(CommandLineTest, LookupValue) {
  struct Row {
    const char* what;
    Params lines;
    std::string name;
    bool ignoreCase;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"found", {"A=1", "B=2"}, "B", false, "2"},
      {"missing", {"A=1", "B=2"}, "C", false, ""},
      {"first in order", {"B=1", "B=2"}, "B", false, "1"},
      {"equality decides case", {"a=1", "A=2"}, "A", false, "2"},
      {"ignoring case takes the first", {"a=1", "A=2"}, "A", true, "1"},
      {"value keeps further =", {"X=a=b=c"}, "X", false, "a=b=c"},
      {"empty value", {"X=", "X=later"}, "X", false, ""},
      {"line without = never matches", {"X", "X=1"}, "X", false, "1"},
      {"name is the text before the first =", {"X=Y=1"}, "X=Y", false, ""},
      {"prefix of a name does not match", {"/PREFIX=a"}, "/P", true, ""},
      {"empty list", {}, "X", false, ""},
  };
  const TextEquality ignoring = [](std::string_view a, std::string_view b) {
    return EqualIgnoringAsciiCase(a, b);
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LookupValue(row.lines, row.name, row.ignoreCase ? ignoring : ExactEqual),
              row.expected)
        << row.what;
  }
}

TEST(CommandLineTest, ExpandEnvRefs) {
  const std::map<std::string, std::string, std::less<>> env = {
      {"USERNAME", "alice"},
      {"A", "1"},
      {"B", "2"},
      {"MID", "M"},
      {"SELFREF", "x%SELFREF%y"},
      {"EMPTY", ""},
      {"TOA", "%A%"},
      {"PCT", "%"},
      {"ab", "lower"},
  };
  const auto getEnv = [&](std::string_view name) -> std::string {
    auto it = env.find(name);
    return it == env.end() ? std::string() : it->second;
  };
  struct Row {
    const char* what;
    std::string text;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"no percent", "copy", "copy"},
      {"single percent", "%", "%"},
      {"trailing percent", "100%", "100%"},
      {"set variable", "%USERNAME%:", "alice:"},
      {"unset variable stays as typed", "%NOBODY%:", "%NOBODY%:"},
      {"empty variable stays as typed", "[%EMPTY%]", "[%EMPTY%]"},
      {"two adjacent references", "%A%%B%", "12"},
      {"same reference twice", "%A%-%A%", "1-1"},
      {"references with text around", "x%A%y%B%z", "x1y2z"},
      {"stretch between references is a name too", "%NOPE%MID%NOPE2%", "%NOPEMNOPE2%"},
      {"stretch skipped once its neighbours are replaced", "%A%MID%B%", "1MID2"},
      {"odd count leaves last percent", "%A%%", "1%"},
      {"value holding its own reference", "%SELFREF%", "x%SELFREF%y"},
      {"inserted value not expanded again", "%TOA%", "%A%"},
      {"inserted percent joins no name", "%PCT%A%", "%A%"},
      {"inserted reference before a reference stays", "%TOA%%B%", "%A%2"},
      {"name case passed through", "%ab%", "lower"},
      {"empty name between percents", "%%", "%%"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ExpandEnvRefs(row.text, getEnv, CodePage::SingleByte()), row.expected) << row.what;
  }
}

TEST(CommandLineTest, ExpandEnvRefsStaysBoundedWhenValuesMultiplyReferences) {
  // Each pass turns every "%%" into ten of them: unbounded, it would grow
  // tenfold per remaining "%" (Windows keeps such empty-named variables).
  const auto getEnv = [](std::string_view name) -> std::string {
    return name.empty() ? std::string(20, '%') : std::string();
  };
  const std::string result = ExpandEnvRefs(std::string(60, '%'), getEnv, CodePage::SingleByte());
  EXPECT_GT(result.size(), 60u);
  EXPECT_LE(result.size(), kMaxReplacedSize * 11);
}

TEST(CommandLineTest, ExpandEnvRefsUnderShiftJis) {
  const auto getEnv = [](std::string_view name) -> std::string {
    return name == "D" ? "C:\\\x83\x5C" : std::string();
  };
  EXPECT_EQ(ExpandEnvRefs("%D%\\x", getEnv, fixtures::ShiftJis()), "C:\\\x83\x5C\\x");
  EXPECT_EQ(ExpandEnvRefs("\x83\x5C%D%", getEnv, fixtures::ShiftJis()),
            "\x83\x5C"
            "C:\\\x83\x5C");
}

}  // namespace
}  // namespace tvx

namespace tvx::test {
namespace {

TEST(TextTest, SplitListKeepsEmptyPieces) {
  EXPECT_EQ(SplitList("*.c;*.h"), (std::vector<std::string>{"*.c", "*.h"}));
  EXPECT_EQ(SplitList("a;;"), (std::vector<std::string>{"a", "", ""}));
}

}  // namespace
}  // namespace tvx::test
