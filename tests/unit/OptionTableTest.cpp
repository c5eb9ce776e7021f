// The option table: how parameters are read by it, and that the usage text,
// the README and the manual name exactly its options.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/CommandTable.h"
#include "cli/OptionTable.h"
#include "lines/list/Macros.h"
#include "text/Failure.h"
#include "text/Messages.h"

namespace tvx::test {
namespace {

TEST(OptionTableTest, UsesUnknownOptionsAndBareValues) {
  const std::vector<std::string> params = {"LIST",        "/M:x",   "/m=*.c", "/MATCH:a;b",
                                           "/x:gen",      "/Lev=2", "/P=cp",  "/nod",
                                           "/LINE=a:b=c", "/p",     "-x",     "/A:-H"};
  const OptionUses uses(params);
  std::vector<std::pair<std::string, std::string>> matches;
  for (const OptionUse& use : uses.Of("/MATCH")) matches.emplace_back(use.Typed, use.Value);
  // The directory's place (2) is never an option.
  EXPECT_EQ(matches, (std::vector<std::pair<std::string, std::string>>{{"/m=*.c", "*.c"},
                                                                       {"/MATCH:a;b", "a;b"}}));
  EXPECT_EQ(uses.Of("/LINE").at(0).Value, "a:b=c");
  EXPECT_EQ(uses.Of("/PREFIX").size(), 2u);  // a bare /P is an empty prefix
  EXPECT_EQ(uses.Of("/NODIR").at(0).Spelling, 2u);
  EXPECT_EQ(uses.Unexpected(), (std::vector<std::string>{"-x"}));
  struct Row {
    std::string param;
    bool unknown;  // else a bad value
  } rows[] = {{"/RECURSIV", true}, {"/P:cp", true},     {"/R=1", true}, {"/M*.tmp", true},
              {"/MINAGE30", true}, {"/EXLUDE:x", true}, {"/M", false},  {"/LEV", false}};
  for (const Row& row : rows) {
    try {
      OptionUses({"LIST", ".", "/R", row.param});
      ADD_FAILURE() << row.param;
    } catch (const UnknownOptionFailure&) {
      EXPECT_TRUE(row.unknown) << row.param;
    } catch (const InvalidValueFailure&) {
      EXPECT_FALSE(row.unknown) << row.param;
    }
  }
  EXPECT_TRUE(HasOption({"LIST", ".", "/csv"}, "/JSON"));
  EXPECT_FALSE(HasOption({"LIST", "/UTF8"}, "/UTF8"));  // the directory's place
}

// The spellings a usage line stands for: "/F[ILENAMEONLY]" gives /F and
// /FILENAMEONLY, "/[NO]Q[UOTE]" four, "/P(REFIX)=" two, "/NP, /NOPROGRESS" two.
std::set<std::string> SpellingsOf(std::string notation) {
  std::set<std::string> out;
  const std::size_t open = notation.find_first_of("[(");
  if (open == std::string::npos) {
    out.insert(notation);
    return out;
  }
  const std::size_t close = notation.find_first_of("])", open);
  const std::string head = notation.substr(0, open),
                    inner = notation.substr(open + 1, close - open - 1);
  for (const std::string& rest : SpellingsOf(notation.substr(close + 1))) {
    out.insert(head + rest);
    out.insert(head + inner + rest);
  }
  return out;
}

std::set<std::string> UsageSpellings(std::string_view usage) {
  std::set<std::string> out;
  const std::regex option(R"(/[\[A-Z0-9?][A-Z0-9\[\]()?]*)");
  const std::string text(usage);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
       it != std::sregex_iterator(); ++it) {
    for (const std::string& spelling : SpellingsOf(it->str())) out.insert(spelling);
  }
  return out;
}

std::string Read(const std::string& path) {
  std::ifstream in(std::string(TVX_SOURCE_DIR) + "/" + path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Option-like words of a document: a "/" and capitals, not inside a path.
std::set<std::string> Named(const std::string& text) {
  std::set<std::string> out;
  const std::regex option(R"((^|[\s`(\[|'"=>])(/[A-Z][A-Z0-9]*|/0|/\?)(?![A-Za-z0-9/\\]))");
  for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
       it != std::sregex_iterator(); ++it)
    out.insert((*it)[2]);
  return out;
}

TEST(OptionTableTest, PrefixIsTheFirstValueSpellingBySpelling) {
  struct Row {
    const char* what;
    std::vector<std::string> options;  // after "LIST C:\"
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"short spelling first", {"/P=a", "/PREFIX=b"}, "a"},
      {"empty short value falls to long", {"/P=", "/PREFIX=b"}, "b"},
      {"spelling order beats position", {"/PREFIX=b", "/P=a"}, "a"},
      {"bare switch has no value", {"/P"}, ""},
      {"absent", {}, ""},
      {"first of two equal spellings", {"/P=a", "/P=b"}, "a"},
      {"letter case of the name ignored", {"/prefix=copy"}, "copy"},
      {"value keeps =", {"/P=set X=1"}, "set X=1"},
      {"value keeps blanks and case", {"/P=Echo  $SELF"}, "Echo  $SELF"},
      {"both empty", {"/P=", "/PREFIX="}, ""},
      // The first use of a spelling counts even when empty; a later one does not.
      {"empty first use of a spelling", {"/P=", "/P=a"}, ""},
      {"then the next spelling's first", {"/P=", "/PREFIX=b", "/P=c"}, "b"},
      {"long spelling's later use ignored", {"/PREFIX=", "/PREFIX=b"}, ""},
  };
  for (const Row& row : rows) {
    std::vector<std::string> params = {"LIST", "C:\\"};
    params.insert(params.end(), row.options.begin(), row.options.end());
    ListOptions options;
    ReadOptions(params,
                {0, PathStyle::Windows, CodePage::SingleByte(),
                 [](std::string_view) { return std::string(); }},
                options);
    EXPECT_EQ(options.Prefix, row.expected) << row.what;
    // The suffix reads alike.
    for (std::string& param : params) {
      if (param[1] != 'P' && param[1] != 'p') continue;
      const bool longSpelling = param.find('=') == 7 || param.size() == 7;
      param.replace(0, longSpelling ? 7 : 2, longSpelling ? "/SUFFIX" : "/S");
    }
    ListOptions suffixed;
    ReadOptions(params,
                {0, PathStyle::Windows, CodePage::SingleByte(),
                 [](std::string_view) { return std::string(); }},
                suffixed);
    EXPECT_EQ(suffixed.Suffix, row.expected) << row.what;
  }
}

// Every option of one value given more than once follows the same rule: its
// first use counts; each is still checked.
TEST(OptionTableTest, AnOptionOfOneValueGivenTwiceTakesTheFirst) {
  const OptionContext context{0, PathStyle::Posix, CodePage::SingleByte(),
                              [](std::string_view) { return std::string(); }};
  ListOptions options;
  ReadOptions({"LIST", "/d", "/TOP:5", "/TOP:2", "/O:N", "/ORDER:-S", "/O:D", "/LINE:a", "/LINE:b"},
              context, options);
  EXPECT_EQ(options.Top, 5u);
  ASSERT_EQ(options.Order.size(), 1u);
  EXPECT_EQ(options.Order[0].By, SortBy::Name);
  EXPECT_EQ(options.Line, "a");
  ListOptions checked;
  EXPECT_THROW(ReadOptions({"LIST", "/d", "/TOP:5", "/TOP:x"}, context, checked),
               InvalidValueFailure);
}

TEST(OptionTableTest, UsageReadmeAndManualNameTheTableExactly) {
  std::set<std::string> table;
  for (const OptionRow& row : OptionTable()) {
    const std::set<std::string> usage = UsageSpellings(row.Usage);
    for (std::string_view spelling : row.Spellings) {
      if (spelling.empty()) continue;
      table.insert(std::string(spelling));
      if (row.Group != OptionGroup::Hidden) {
        EXPECT_TRUE(usage.count(std::string(spelling))) << spelling << " in " << row.Usage;
      }
    }
  }
  // And the usage shows no spelling the program refuses (as "/[NO]Q[UOTE]"
  // showed /QUOTE).
  for (const OptionRow& row : OptionTable()) {
    const std::string_view usage(row.Usage);
    const std::size_t start = std::min(usage.find_first_not_of(' '), usage.size());
    for (const std::string& shown : UsageSpellings(usage.substr(start, usage.find("  ", start))))
      EXPECT_TRUE(table.count(shown)) << shown << " in " << row.Usage;
  }
  // The words the documents name that are no option of ours on purpose: the
  // typos they warn about, and cmd's own copy /Y.
  const std::set<std::string> notOurs = {"/RECURSIV", "/REC",    "/DIR", "/QUOTE",
                                         "/MINAGE30", "/EXLUDE", "/PR",  "/RE",
                                         "/UTF",      "/Y",      "/M*"};
  for (const char* document : {"README.md", "doc/tvx.1"}) {
    const std::set<std::string> named = Named(Read(document));
    for (const std::string& spelling : table) {
      EXPECT_TRUE(named.count(spelling)) << spelling << " is not in " << document;
    }
    for (const std::string& word : named) {
      EXPECT_TRUE(table.count(word) || notOurs.count(word)) << document << " names " << word;
    }
    for (const MacroRow& macro : MacroTable()) {
      EXPECT_NE(Read(document).find(macro.Name), std::string::npos) << macro.Name << document;
    }
  }
  // The manual's SYNOPSIS names each option by its first spelling.
  const std::string manual = Read("doc/tvx.1");
  const std::size_t synopsis = manual.find(".SH SYNOPSIS");
  const std::set<std::string> synopsisNames =
      Named(manual.substr(synopsis, manual.find(".SH DESCRIPTION") - synopsis));
  for (const OptionRow& row : OptionTable()) {
    if (row.Group != OptionGroup::Hidden) {
      EXPECT_TRUE(synopsisNames.count(std::string(row.Spellings[0]))) << row.Spellings[0];
    }
  }
  const std::string usage = UsageText({"1", "c", "x"}, CommandsUsage(), OptionsUsage());
  EXPECT_NE(usage.find("- CHOOSING ENTRIES"), std::string::npos);
  EXPECT_NE(usage.find("       $SIZE  Size in bytes\r\n- CHOOSING"), std::string::npos);
}

// The command table, as the option table: the usage text shows every row,
// and the README and the manual name both spellings of every command.
TEST(OptionTableTest, UsageReadmeAndManualNameEveryCommand) {
  const std::string usage = UsageText({"1", "c", "x"}, CommandsUsage(), OptionsUsage());
  for (const CommandRow& row : CommandTable()) {
    const std::string word(row.Spellings[1]), letter(row.Spellings[0]);
    EXPECT_NE(usage.find("\r\n" + std::string(row.Usage) + "\r\n"), std::string::npos) << word;
    EXPECT_EQ(&RowOf(row.Kind), &row);
    if (word == letter) {  // one spelling alone
      EXPECT_EQ(row.Usage.find("  " + word + " "), 0u) << row.Usage;
      EXPECT_NE(Read("README.md").find("| `" + word + "` |"), std::string::npos) << word;
      EXPECT_NE(Read("doc/tvx.1").find(".B " + word + "\n"), std::string::npos) << word;
      continue;
    }
    EXPECT_NE(row.Usage.find(letter + "[" + word.substr(letter.size()) + "]"), std::string::npos)
        << row.Usage;
    EXPECT_NE(Read("README.md").find("| `" + word + "` (`" + letter + "`"), std::string::npos)
        << word;
    EXPECT_NE(Read("doc/tvx.1").find(".BR " + word + " \", \" " + letter), std::string::npos)
        << word;
  }
  EXPECT_NE(usage.find("- COMMAND\r\n  H[ELP]  Display this\r\n  L[IST]"), std::string::npos);
  EXPECT_NE(usage.find("contents\r\n- DIRECTORY  List up root directory\r\n- OPTIONS"),
            std::string::npos);
}

// The command is the first parameter, by either spelling in any letter
// case; typed again later it is none.
TEST(OptionTableTest, TheCommandIsTheFirstParameterAlone) {
  struct Row {
    std::vector<std::string> params;
    CommandKind expected;  // None: no command
  } rows[] = {{{"list", "."}, CommandKind::List}, {{"D", "/d"}, CommandKind::Dir},
              {{"Stat"}, CommandKind::Stat},      {{"LIST", ".", "L"}, CommandKind::None},
              {{".", "LIST"}, CommandKind::None}, {{"LISTS", "."}, CommandKind::None}};
  for (const Row& row : rows) {
    const CommandRow* found = FindCommand(row.params);
    EXPECT_EQ(found ? found->Kind : CommandKind::None, row.expected) << row.params[0];
  }
}

}  // namespace
}  // namespace tvx::test
