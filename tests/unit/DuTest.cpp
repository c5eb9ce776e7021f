#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "ScanWith.h"
#include "ShiftJis.h"
#include "lines/Output.h"
#include "lines/du/DuTotals.h"
#include "lines/du/DuWriter.h"
#include "walk/Scan.h"

namespace tvx::test {
namespace {

FakePlatform ShapedTree() {
  FakePlatform p;
  p.AddDir("/d/", {{"f", false, false, 10}, {"s", true}, {"t", false, false, 20}});
  p.AddDir("/d/s/", {{"g", false, false, 5}, {"u", true}});
  p.AddDir("/d/s/u/", {{"h", false, false, 1}});
  return p;
}

// Writes down what the walk tells it, in order.
struct ShapeTrace : EntryConsumer {
  void Take(const EntryList&, const TTarvixFileInfo& e) override {
    trace += std::string(e.Name()) + " ";
  }
  void Entered(const EntryList& list, std::uint32_t dir, const StorageFacts&) override {
    trace += "[" + FullPrefixCache(list).For(dir) + " ";
  }
  void Left(const EntryList& list, std::uint32_t dir) override {
    trace += FullPrefixCache(list).For(dir) + "] ";
  }
  std::string trace;
};

TEST(DuTest, TheWalkTellsWhenItEntersAndLeavesEachDirectory) {
  FakePlatform p = ShapedTree();
  ShapeTrace shape;
  EntryList list;
  list.StreamTo(&shape);
  ScanDirectory(p, "/d", list, true, false);
  EXPECT_EQ(shape.trace, "[/d/ f s [/d/s/ g u [/d/s/u/ h /d/s/u/] /d/s/] t /d/] ");
}

TEST(DuTest, ADirectoryThatFailsIsEnteredAndLeftAroundItsFailure) {
  FakePlatform p = ShapedTree();
  p.enterFailures["/d/s/u/"] = 5;
  p.AddDir("/d/r/", {{"in", false, false, 7}});
  p.tree["/d/"].push_back({"r", true});
  p.readFailures["/d/r/"] = 2;
  ShapeTrace shape;
  EntryList list;
  list.StreamTo(&shape);
  ScanDirectory(p, "/d", list, true, false, [&](const IoFailure&) { shape.trace += "! "; });
  EXPECT_EQ(shape.trace,
            "[/d/ f s [/d/s/ g u [/d/s/u/ ! /d/s/u/] /d/s/] t r [/d/r/ ! /d/r/] /d/] ");
}

TEST(DuTest, HardLinksCountOnceAndPartialTotalsReachTheRoot) {
  DuCounter counter;
  const auto facts = [](std::uint64_t size, std::uint64_t inode, std::uint32_t links) {
    return StorageFacts{size, size * 2, 1, inode, links, true};
  };
  counter.Enter(facts(100, 1, 3));
  counter.AddFile(facts(10, 2, 2), 0);
  counter.Enter(facts(100, 3, 2));
  counter.AddFile(facts(10, 2, 2), 0);  // the same file by another name
  counter.AddFile(facts(5, 4, 1), 0);
  counter.AddFile(facts(5, 4, 1), 0);  // one link: never taken for a second name
  counter.MarkPartial();
  const DirTotal inner = counter.Leave();
  EXPECT_EQ(inner.Size, 110u);
  EXPECT_EQ(inner.Alloc, 220u);
  EXPECT_EQ(inner.Files, 3u);
  EXPECT_EQ(inner.Depth, 1u);
  EXPECT_TRUE(inner.Partial);
  counter.AddFile({}, 7);  // no facts: the listed size for both
  const DirTotal root = counter.Leave();
  EXPECT_EQ(root.Size, 227u);
  EXPECT_EQ(root.Alloc, 447u);
  EXPECT_EQ(root.Files, 5u);
  EXPECT_EQ(root.Dirs, 1u);
  EXPECT_TRUE(root.Partial);
}

TEST(DuTest, LargestDirsKeepsTheBestNInWalkOrderOnTies) {
  const auto ranked = [](std::uint64_t n, bool smallest, std::vector<std::uint64_t> keys) {
    LargestDirs dirs(n, smallest);
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (dirs.Wants(keys[i])) {
        dirs.Add({{}, keys[i], 0, std::to_string(i), {}});
      } else {
        dirs.Add({{}, keys[i], 0, "skipped", {}});
      }
    }
    std::string order;
    for (const auto& kept : dirs.Take()) order += kept.Path + " ";
    return order;
  };
  EXPECT_EQ(ranked(2, false, {5, 9, 1, 9, 7}), "1 3 ");
  EXPECT_EQ(ranked(2, true, {5, 9, 1, 9, 1}), "2 4 ");
  EXPECT_EQ(ranked(0, false, {1, 3, 2}), "1 2 0 ");
}

TEST(DuTest, HumanSizesAreRoundedUp) {
  const struct {
    std::uint64_t bytes;
    const char* text;
  } rows[] = {{0, "0 B"},
              {1023, "1023 B"},
              {1024, "1.0 KiB"},
              {1025, "1.1 KiB"},
              {1536, "1.5 KiB"},
              {10 * 1024, "10 KiB"},
              {10 * 1024 + 1, "11 KiB"},
              {1024 * 1024 - 1, "1.0 MiB"},
              {std::uint64_t{1288490189}, "1.3 GiB"},
              {std::uint64_t{1} << 40, "1.0 TiB"}};
  for (const auto& row : rows) EXPECT_EQ(HumanSize(row.bytes), row.text) << row.bytes;
}

TEST(DuTest, NcduNamesKeepTheirBytes) {
  std::string out;
  AppendNcduName(out, std::string("a\"b\\c\x01\xff", 7));
  EXPECT_EQ(out, std::string("a\\\"b\\\\c\\u0001\xff"));
}

// A tree as each system reads it. POSIX: every entry's device, inode, links
// and blocks (f and s/g one file of two names, sp a sparse file, s/m another
// file system). Windows: the directory read's sizes only.
FakePlatform StoredTree(bool posix) {
  const auto facts = [](std::uint64_t apparent, std::uint64_t alloc, std::uint64_t device,
                        std::uint64_t inode, std::uint32_t links = 1) {
    return StorageFacts{apparent, alloc, device, inode, links, true};
  };
  FakePlatform p(posix ? PathStyle::Posix : PathStyle::Windows);
  const std::string d = posix ? "/d/" : "C:\\d\\";
  const char sep = posix ? '/' : '\\';
  FakeEntry f{"f", false, false, 10}, s{"s", true}, sp{"sp", false, false, 1000000};
  FakeEntry g{"g", false, false, 10}, m{"m", true}, x{"x", false, false, 50};
  if (posix) {
    f.Storage = facts(10, 4096, 1, 2, 2);
    g.Storage = f.Storage;
    s.Storage = facts(4096, 4096, 1, 3, 3);
    sp.Storage = facts(1000000, 0, 1, 5);
    m.Storage = facts(4096, 4096, 9, 1, 2);
    x.Storage = facts(50, 4096, 9, 7);
    p.storageOf[d] = facts(4096, 4096, 1, 1, 3);
  }
  p.AddDir(d, {f, s, sp});
  p.AddDir(d + "s" + sep, {g, m});
  p.AddDir(d + "s" + sep + "m" + sep, {x});
  return p;
}

std::string DuOver(FakePlatform& p, const ListOptions& options) {
  CaptureSink sink;
  LineWriter out(sink, "\n");
  const LocaleSettings locale;
  DuWriter writer(options, p.Style(), locale, out);
  EntryList list;
  list.StreamTo(&writer);
  ScanDirectory(p, p.Style() == PathStyle::Posix ? "/d" : "C:\\d", list, true, true);
  writer.Finish(list, {});
  out.Flush();
  return sink.text;
}

std::string Record(const char* path, const char* rel, int depth, std::uint64_t size,
                   std::uint64_t alloc, int files, int dirs) {
  return std::string("{\"path\":\"") + path + "\",\"rel\":\"" + rel +
         "\",\"depth\":" + std::to_string(depth) + ",\"size\":" + std::to_string(size) +
         ",\"alloc\":" + std::to_string(alloc) + ",\"files\":" + std::to_string(files) +
         ",\"dirs\":" + std::to_string(dirs) + "}\n";
}

TEST(DuTest, StorageFactsCountASecondNameOnceAndAllocatedBlocks) {
  FakePlatform p = StoredTree(true);
  ListOptions options;
  options.Records = RecordForm::Json;
  EXPECT_EQ(DuOver(p, options), Record("/d/s/m", "s/m", 2, 4146, 8192, 1, 0) +
                                    Record("/d/s", "s", 1, 8242, 12288, 2, 1) +
                                    Record("/d", "", 0, 1012348, 20480, 4, 2));
  options.Xdev = true;
  EXPECT_EQ(DuOver(p, options),
            Record("/d/s", "s", 1, 4096, 4096, 1, 0) + Record("/d", "", 0, 1008202, 12288, 3, 1));
  options.Records = RecordForm::None;
  options.Alloc = true;
  EXPECT_EQ(DuOver(p, options), std::string(15, ' ') + "4,096             1   /d/s\n" +
                                    std::string(14, ' ') + "12,288             3   /d\n");
}

TEST(DuTest, WithoutStorageFactsTheListedSizesCountForBoth) {
  // What a Windows directory read tells: no directory's own size, no second
  // names, the listed size as the allocated one.
  FakePlatform p = StoredTree(false);
  ListOptions options;
  options.Records = RecordForm::Json;
  options.Xdev = true;
  EXPECT_EQ(DuOver(p, options), Record("C:\\\\d\\\\s\\\\m", "s\\\\m", 2, 50, 50, 1, 0) +
                                    Record("C:\\\\d\\\\s", "s", 1, 60, 60, 2, 1) +
                                    Record("C:\\\\d", "", 0, 1000070, 1000070, 4, 2));
}

TEST(DuTest, TheNcduExportWritesWhatIsLeftOut) {
  FakePlatform p = StoredTree(true);
  p.tree["/d/"].push_back({"skip.log", false, false, 3});
  ListOptions options;
  options.Xdev = true;
  options.Chosen.AddExclude("*.log", "/X:*.log");
  CaptureSink sink;
  LineWriter out(sink, "\n");
  NcduWriter writer(options, out, "[1,2,{}");
  EntryList list;
  list.StreamTo(&writer);
  ScanDirectory(p, "/d", list, true, true, nullptr, options.Chosen);
  writer.Finish(list, {});
  out.Flush();
  EXPECT_NE(sink.text.find(",{\"name\":\"skip.log\",\"excluded\":\"pattern\"}\n"),
            std::string::npos)
      << sink.text;
  EXPECT_NE(sink.text.find(",[{\"name\":\"m\",\"dev\":9,\"excluded\":\"otherfs\"}]\n"),
            std::string::npos)
      << sink.text;
  // The second name of f: both carry the link count, for ncdu to count it once.
  EXPECT_NE(sink.text.find("\"name\":\"g\",\"asize\":10,\"dsize\":4096,\"ino\":2,\"hlnkc\":true"),
            std::string::npos)
      << sink.text;
}

// A directory's name in the export is its own, whole: a Shift-JIS trail
// byte equal to "\\" in it cuts nothing off.
TEST(DuTest, TheNcduExportNamesADirectoryWhole) {
  FakePlatform p(PathStyle::Windows);
  p.code = fixtures::ShiftJis();
  p.AddDir("C:\\d\\", {{"\x83\x5C", true}});
  p.AddDir("C:\\d\\\x83\x5C\\", {{"f", false, false, 5}});
  ListOptions options;
  CaptureSink sink;
  LineWriter out(sink, "\n");
  NcduWriter writer(options, out, "[1,2,{}");
  EntryList list;
  list.StreamTo(&writer);
  ScanDirectory(p, "C:\\d", list, true, true);
  writer.Finish(list, {});
  out.Flush();
  EXPECT_NE(sink.text.find(",[{\"name\":\"\x83\\\\\"}\n"), std::string::npos) << sink.text;
}

TEST(DuTest, LinesComeAfterTheirContentsDownToTheLevels) {
  FakePlatform p = ShapedTree();
  CaptureSink sink;
  LineWriter out(sink, "\n");
  ListOptions options;
  options.Chosen.AddLevels("1", "/LEV:1");
  const LocaleSettings locale;
  DuWriter writer(options, PathStyle::Posix, locale, out);
  EntryList list;
  list.StreamTo(&writer);
  ScanDirectory(p, "/d", list, true, true, nullptr, options.Chosen.WithoutLevels());
  writer.Finish(list, {});
  out.Flush();
  EXPECT_EQ(sink.text, std::string(19, ' ') + "6             2   /d/s\n" + std::string(18, ' ') +
                           "36             4   /d\n");
}

}  // namespace
}  // namespace tvx::test
