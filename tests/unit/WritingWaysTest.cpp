#include "CommandsFixture.h"

namespace tvx::test {
namespace {

// One writer, two ways: handed each entry as the walk reaches it, or
// replaying the kept list after the scan. Both give the same bytes.
TEST_F(CommandsTest, EachWriterGivesTheSameOutputStreamedAndKept) {
  const std::string drive = "\n - DRIVE INFO\n 0 KB (0 bytes)\n 0 KB (0 bytes) free\n";
  struct Row {
    ListOptions options;
    std::string ending;  // of the output
  } rows[] = {
      {{.Command = CommandKind::List},
       "/d/f\n'/d/s t'\n'/d/s t/g'\n'/d/s t/u'\n'/d/s t/u/h'\n/d/t\n"},
      {{.Command = CommandKind::List, .NoDir = true}, "/d/f\n'/d/s t/g'\n'/d/s t/u/h'\n/d/t\n"},
      {{.Command = CommandKind::Dir}, "\n 6 files exists. 0 KB (35 bytes)\n" + drive + "<b>\n"},
      {{.Command = CommandKind::Stat}, "<b>\nROOT /d/ FileCount=6\n"},
      {{.Command = CommandKind::List, .NoDir = true, .Records = RecordForm::Json},
       "\"depth\":1}\n"},
      {{.Command = CommandKind::Dir, .Records = RecordForm::Json},
       R"({"total":{"root":"/d/","entries":6,"files":4,"dirs":2,"bytes":35,"drive_bytes":0,)"
       R"("drive_free":0}})"
       "\n"},
      {{.Command = CommandKind::Stat, .Records = RecordForm::Csv},
       "root,count,files,dirs,bytes,raw\n/d/,6,4,2,35,\n"},
  };
  for (const Row& row : rows) {
    std::string outputs[2];
    for (const bool streamed : {true, false}) {
      FakePlatform p;
      p.AddDir("/d/", {{"f", false, false, 10}, {"s t", true}, {"t", false, false, 20}});
      p.AddDir("/d/s t/", {{"g", false, false, 5}, {"u", true}});
      p.AddDir("/d/s t/u/", {{"h"}});
      LineWriter out(p.out, p.LineBreak());
      const std::unique_ptr<CommandWriter> writer =
          WriterFor(row.options, row.options.Command, p, out);
      EntryList list;
      if (streamed) list.StreamTo(writer.get());
      const std::uint64_t total = ScanDirectory(p, "/d", list, true, true);
      if (!streamed) HandKeptList(list, *writer);
      writer->Finish(list, {total, nullptr, list.Root(), "<b>"});
      out.Flush();
      outputs[streamed] = p.out.text;
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_TRUE(outputs[1].ends_with(row.ending)) << outputs[1];
  }
}

// Kept, the whole list is checked first: a name that cannot be written
// stops LIST before the lines of the names that could.
TEST_F(CommandsTest, AKeptListStopsBeforeItsFirstLine) {
  FakePlatform p;
  p.AddDir("/d/", {{"a"}, {"b\x01"}});
  EntryList list;
  ScanDirectory(p, "/d", list, false, false);
  LineWriter out(p.out, p.LineBreak());
  const ListOptions options{.Command = CommandKind::List};
  const std::unique_ptr<CommandWriter> writer = WriterFor(options, CommandKind::List, p, out);
  EXPECT_THROW(HandKeptList(list, *writer), UnwritableNamesFailure);
  out.Flush();
  EXPECT_EQ(p.out.text, "");
}

// Writes each entry's name; fails at the entry named failAt, forked or not.
class NameLines final : public CommandWriter {
 public:
  NameLines(LineWriter& out, std::string failAt) : out_(out), failAt_(std::move(failAt)) {}
  void Take(const EntryList&, const TTarvixFileInfo& entry) override {
    if (entry.Name() == failAt_) throw LimitFailure();
    out_.Append(entry.Name());
    out_.EndLine();
  }
  void Finish(const EntryList&, const RunSummary&) override {}
  std::unique_ptr<CommandWriter> Fork(LineWriter& out) const override {
    return std::make_unique<NameLines>(out, failAt_);
  }

 private:
  LineWriter& out_;
  const std::string failAt_;
};

// Long enough for runs in turns, a kept list is written by two threads: in
// the plain loop's order, and a failure in either thread's run (the helper's
// at e5000, this thread's at e9000) ends it there, with nothing after.
TEST_F(CommandsTest, AKeptListWrittenInTurnsKeepsItsOrder) {
  std::vector<FakeEntry> entries;
  for (int i = 0; i < 3 * 4096 + 5; ++i) entries.push_back({"e" + std::to_string(i)});
  std::string whole;
  for (const std::string failAt : {"", "e5000", "e9000"}) {
    for (const bool inTurns : {false, true}) {
      FakePlatform p;
      p.AddDir("/d/", entries);
      EntryList list;
      ScanDirectory(p, "/d", list, false, false);
      LineWriter out(p.out, p.LineBreak());
      NameLines writer(out, failAt);
      TestThreadKit kit;
      bool failed = false;
      try {
        WriteKeptInTurns(list, writer, out, inTurns ? &kit : nullptr);
        out.Flush();
      } catch (const LimitFailure&) {
        failed = true;
        out.Discard();
      }
      EXPECT_EQ(kit.started, inTurns ? 1 : 0);
      EXPECT_EQ(failed, !failAt.empty());
      if (failAt.empty() && !inTurns) whole = p.out.text;
      if (failAt.empty()) {
        EXPECT_EQ(p.out.text, whole);
      } else {
        EXPECT_EQ(p.out.text.find(failAt + "\n"), std::string::npos);
      }
      EXPECT_TRUE(whole.starts_with(p.out.text));
    }
  }
  EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 3 * 4096 + 5);
}

// Each writer that forks, kept and written in turns: the plain loop's bytes,
// the totals after the records included.
TEST_F(CommandsTest, EachWriterGivesTheSameOutputInTurns) {
  std::vector<FakeEntry> entries;
  // Names with a blank and quiet ones, in a directory whose part of a line is quoted.
  for (int i = 0; i < 2 * 4096 + 7; ++i) {
    entries.push_back(
        {(i % 3 == 0 ? "n " : "n") + std::to_string(i), i % 5 == 0, false, std::uint64_t(i)});
  }
  const ListOptions rows[] = {
      {.Command = CommandKind::List},
      {.Command = CommandKind::Dir},
      {.Command = CommandKind::Dir, .Records = RecordForm::Json},
      {.Command = CommandKind::List, .Records = RecordForm::Csv},
  };
  for (const ListOptions& options : rows) {
    std::string outputs[2];
    for (const bool inTurns : {false, true}) {
      FakePlatform p;
      p.AddDir("/d e/", entries);
      TestThreadKit kit;
      LineWriter out(p.out, p.LineBreak());
      const auto writer = WriterFor(options, options.Command, p, out, inTurns ? &kit : nullptr);
      EntryList list;
      const std::uint64_t total = ScanDirectory(p, "/d e", list, false, true);
      HandKeptList(list, *writer);
      writer->Finish(list, {total, nullptr, list.Root(), "<b>"});
      out.Flush();
      outputs[inTurns] = p.out.text;
      EXPECT_EQ(kit.started, inTurns ? 1 : 0);
    }
    EXPECT_EQ(outputs[0], outputs[1]);
  }
}

}  // namespace
}  // namespace tvx::test
