#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ShiftJis.h"
#include "lines/quoting/Quoting.h"

namespace tvx {
namespace {

TEST(QuotingTest, NamesQuotedForTheShell) {
  constexpr QuoteRule kCmd = QuoteRule::CommandPrompt, kSh = QuoteRule::PosixShell;
  struct Row {
    QuoteRule rule;
    bool shiftJis;
    std::string name;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {kCmd, false, "C:\\data\\a.txt", "C:\\data\\a.txt"},
      {kCmd, false, "C:\\my data\\a.txt", "\"C:\\my data\\a.txt\""},
      {kCmd, false, "a b\"c", "\"a b\"\"c\""},
      {kCmd, false, "\"a b\"", "\"\"\"a b\"\"\""},
      {kCmd, false, "a\"b", "a\"b"},
      {kCmd, false, " ", "\" \""},
      {kCmd, false, "", ""},
      // Every character cmd treats specially outside quotes, and some it does not.
      {kCmd, false, "R&D.txt", "\"R&D.txt\""},
      {kCmd, false, "a,b.txt", "\"a,b.txt\""},
      {kCmd, false, "(x)[y]{z}", "\"(x)[y]{z}\""},
      {kCmd, false, "^=;!'+`~", "\"^=;!'+`~\""},
      {kCmd, false, "$HOME%x%@#-_.txt", "$HOME%x%@#-_.txt"},
      // Shift-JIS trail bytes that equal [ ] ^ ` { } ~ are no characters of their own.
      {kCmd, true, "\x83\x5B\x83\x5D\x83\x5E\x83\x60\x83\x7B\x83\x7D\x83\x7E",
       "\x83\x5B\x83\x5D\x83\x5E\x83\x60\x83\x7B\x83\x7D\x83\x7E"},
      {kCmd, false, "\x83\x5B", "\"\x83\x5B\""},
      {kCmd, true, "\x83\x41[", "\"\x83\x41[\""},
      {kSh, false, "/home/u/a_b@c%d+e=f:g,h.i-j", "/home/u/a_b@c%d+e=f:g,h.i-j"},
      {kSh, false, "caf\xC3\xA9\xFF.txt", "caf\xC3\xA9\xFF.txt"},
      {kSh, false, "a b.txt", "'a b.txt'"},
      {kSh, false, "it's.txt", "'it'\\''s.txt'"},
      {kSh, false, "$(x)", "'$(x)'"},
      {kSh, false, "say \"hi\".txt", "'say \"hi\".txt'"},
      {kSh, false, "back`id`tick", "'back`id`tick'"},
      {kSh, false, "star*?[x]~!#&;|<>\\{}^", "'star*?[x]~!#&;|<>\\{}^'"},
      {kSh, false, "ctl?", "'ctl?'"},
      {kSh, false, "''", "''\\'''\\'''"},
  };
  for (const Row& row : rows) {
    const CodePage code = row.shiftJis ? fixtures::ShiftJis() : CodePage::SingleByte();
    std::string name = row.name;
    if (NeedsQuotes(row.name, row.rule, code)) {
      name.clear();
      AppendQuoted(name, row.name, row.rule);
    }
    EXPECT_EQ(name, row.expected) << row.name;
    EXPECT_EQ(NeedsQuotes(row.name, row.rule, code), name != row.name) << row.name;
  }
}

}  // namespace
}  // namespace tvx
