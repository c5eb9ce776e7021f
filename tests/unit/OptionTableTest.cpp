// The option table: how parameters are read by it, and that the usage text,
// the README and the manual name exactly its options.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "cli/OptionTable.h"
#include "lines/Macros.h"
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
  }
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
  const std::string usage = UsageText({"1", "c", "x"}, OptionsUsage());
  EXPECT_NE(usage.find("- CHOOSING ENTRIES"), std::string::npos);
  EXPECT_NE(usage.find("       $SIZE  Size in bytes\r\n- CHOOSING"), std::string::npos);
}

}  // namespace
}  // namespace tvx::test
