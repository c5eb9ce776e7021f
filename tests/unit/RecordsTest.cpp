#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RunFixture.h"
#include "lines/RecordText.h"
#include "text/Text.h"
#include "text/WideNames.h"

namespace tvx {
namespace {

struct TextRow {
  const char* what;
  std::string text;
  std::string expected;
  bool exact;
};

const std::string kFffd = "\xEF\xBF\xBD";

TEST(RecordsTest, JsonTextEscapesAndReplaces) {
  const std::vector<TextRow> rows = {
      {"plain", "a b.txt", "a b.txt", true},
      {"quote and backslash", "say \"hi\\", "say \\\"hi\\\\", true},
      {"control characters", std::string("a\x01\n\t\x1f\x7f", 6),
       "a\\u0001\\u000a\\u0009\\u001f\\u007f", true},
      {"NUL", std::string("a\0b", 3), "a\\u0000b", true},
      {"UTF-8 kept", "caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80", true},
      {"a stray byte", "a\xFF.b", "a" + kFffd + ".b", false},
      {"a cut sequence is one", "\xE2\x82x", kFffd + "x", false},
      {"cut at the end", "x\xF0\x9F\x98", "x" + kFffd, false},
      {"overlong form", "\xC0\xAF", kFffd + kFffd, false},
      {"surrogate (WTF-8)", "\xED\xA0\x80", kFffd + kFffd + kFffd, false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", kFffd + kFffd + kFffd + kFffd, false},
      {"largest code point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF", true},
      // Past the first eight bytes, which are looked at a word at a time.
      {"late quote", "abcdefghij\"k", "abcdefghij\\\"k", true},
      {"late control", "abcdefgh\x7f", "abcdefgh\\u007f", true},
      {"late stray byte", "abcdefgh-\xFF", "abcdefgh-" + kFffd, false},
      {"UTF-8 beside a backslash", "caf\xC3\xA9-x\\y", "caf\xC3\xA9-x\\\\y", true},
  };
  for (const TextRow& row : rows) {
    std::string out;
    EXPECT_EQ(AppendJsonText(out, row.text), row.exact) << row.what;
    EXPECT_EQ(out, row.expected) << row.what;
    EXPECT_EQ(IsValidUtf8(row.text), row.exact) << row.what;
  }
}

TEST(RecordsTest, CsvFieldQuotesWhatItMust) {
  const std::vector<TextRow> rows = {
      {"plain", "a.txt", "a.txt", true},
      {"empty", "", "", true},
      {"blank inside", "a b", "a b", true},
      {"comma", "a,b", "\"a,b\"", true},
      {"quotes doubled", "say \"hi\"", "\"say \"\"hi\"\"\"", true},
      {"leading blank", " a", "\" a\"", true},
      {"trailing blank", "a ", "\"a \"", true},
      {"line feed", "a\nb", "\"a\nb\"", true},
      {"carriage return", "a\rb", "\"a\rb\"", true},
      {"other control", "a\x1b", "\"a\x1b\"", true},
      {"formula start stays", "=1+1", "=1+1", true},
      {"not UTF-8", "a\xFE", "a" + kFffd, false},
      {"not UTF-8, quoted", "\"\xFE", "\"\"\"" + kFffd + "\"", false},
      // Past the first eight bytes, and beside bytes of 0x80 and above.
      {"late comma", "abcdefghij,k", "\"abcdefghij,k\"", true},
      {"comma beside UTF-8", "caf\xC3\xA9 \xC3\xA9,x", "\"caf\xC3\xA9 \xC3\xA9,x\"", true},
      {"late line feed", "abcdefgh\n", "\"abcdefgh\n\"", true},
      {"long and plain", "caf\xC3\xA9 \xC3\xA9 abcdefgh.txt", "caf\xC3\xA9 \xC3\xA9 abcdefgh.txt",
       true},
  };
  for (const TextRow& row : rows) {
    std::string out;
    EXPECT_EQ(AppendCsvField(out, row.text), row.exact) << row.what;
    EXPECT_EQ(out, row.expected) << row.what;
    // A path made of a directory found plain once and this name is the same field.
    for (const std::string dir : {"/d/", "/a,b/", " /x/", "\xFE/", ""}) {
      std::string whole, parts, scratch;
      EXPECT_EQ(AppendCsvPath(parts, dir, IsPlainCsv(dir), row.text, scratch),
                AppendCsvField(whole, dir + row.text))
          << row.what << dir;
      EXPECT_EQ(parts, whole) << row.what << dir;
    }
  }
}

// What the record writer takes as a plain name by its facts (a CSV entry
// then copies it as it is) is one that CSV and JSON leave as it is, wherever
// the byte stands.
TEST(RecordsTest, APlainNameNeedsNoQuotesNorEscapes) {
  int plain = 0;
  for (int c = 1; c < 0x80; ++c) {
    for (const std::string& name :
         {std::string(1, static_cast<char>(c)), std::string("a") + static_cast<char>(c) + "b"}) {
      const NameFacts facts = NameFactsOf(name);
      if (facts.Special() || facts.Control() || !facts.Ascii()) continue;
      ++plain;
      std::string csv, json;
      EXPECT_TRUE(AppendCsvField(csv, name));
      EXPECT_EQ(csv, name) << c;
      EXPECT_TRUE(AppendJsonText(json, name));
      EXPECT_EQ(json, name) << c;
    }
  }
  EXPECT_GT(plain, 2 * 62);  // letters and digits at least
}

TEST(RecordsTest, Base64AndStamps) {
  const std::vector<std::pair<std::string, std::string>> base64 = {
      {"", ""},        {"f", "Zg=="},        {"fo", "Zm8="},
      {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"\xFF\xFE\x00", "//4A"}};
  for (const auto& [bytes, expected] : base64) {
    std::string out;
    AppendBase64(out, std::string_view(bytes.data(), bytes == "\xFF\xFE" ? 3 : bytes.size()));
    EXPECT_EQ(out, expected);
  }
  const TDateTime odd = MakeDateTime(2026, 12, 7, 16, 44, 40) + 1;
  const std::vector<std::pair<TDateTime, std::string>> stamps = {
      {odd, "2026-12-07T16:44:41Z"},
      {MakeDateTime(1980, 1, 1, 0, 0, 0), "1980-01-01T00:00:00Z"},
      {0, "1899-12-30T00:00:00Z"},
      {-3600, "1899-12-29T23:00:00Z"},  // the earliest local time, east of UTC
      {MakeDateTime(9999, 12, 31, 23, 59, 58) + 1, "9999-12-31T23:59:59Z"},
  };
  for (const auto& [time, expected] : stamps) {
    std::string out;
    AppendUtcStamp(out, time);
    EXPECT_EQ(out, expected);
  }
}

TEST(RecordsTest, LoneSurrogateIsKeptInWtf8) {
  std::string out;
  EXPECT_TRUE(AppendUtf8(std::u16string_view(u"a\xD800z"), out, true));
  EXPECT_EQ(out, "a\xED\xA0\x80z");
  out.clear();
  EXPECT_FALSE(AppendUtf8(std::u16string_view(u"a\xD800z"), out));
  EXPECT_EQ(out, "a?z");
}

using test::FakePlatform;
using test::RunWith;

FakePlatform RecordTree(PathStyle style = PathStyle::Posix) {
  FakePlatform p(style);
  const std::string top = style == PathStyle::Posix ? "/top/" : "C:\\top\\";
  const char sep = style == PathStyle::Posix ? '/' : '\\';
  const TDateTime summer = MakeDateTime(2026, 7, 1, 10, 0, 0) + 1;
  const TDateTime winter = MakeDateTime(2026, 12, 7, 16, 44, 40);
  p.AddDir(top, {{"a,b.txt", false, false, 3, summer},
                 {"s", true, false, 0, winter},
                 {".h", false, false, 0, winter, false, true, true}});
  p.AddDir(top + "s" + sep, {{"bad\xFF", false, false, 5, winter}, {"l", false, true, 0, winter}});
  // A zone an hour further east in summer.
  p.utcOffset = [](TDateTime local) {
    return local < MakeDateTime(2026, 10, 1, 0, 0, 0) ? 7200 : 3600;
  };
  return p;
}

TEST(RecordsTest, ListAndDirAsJsonLines) {
  const std::string expected =
      R"({"path":"/top/a,b.txt","rel":"a,b.txt","name":"a,b.txt","ext":".txt","type":"file","size":3,"mtime":"2026-07-01T08:00:01Z","attr":"","depth":1})"
      "\n"
      R"({"path":"/top/s","rel":"s","name":"s","ext":"","type":"dir","size":0,"mtime":"2026-12-07T15:44:40Z","attr":"D","depth":1})"
      "\n"

      "{\"path\":\"/top/s/bad" +
      kFffd + "\",\"rel\":\"s/bad" + kFffd + "\",\"name\":\"bad" + kFffd +
      R"(","ext":"","type":"file","size":5,"mtime":"2026-12-07T15:44:40Z","attr":"","depth":2,"raw":"L3RvcC9zL2JhZP8="})"
      "\n"
      R"({"path":"/top/s/l","rel":"s/l","name":"l","ext":"","type":"link","size":0,"mtime":"2026-12-07T15:44:40Z","attr":"L","depth":2})"
      "\n"
      R"({"path":"/top/.h","rel":".h","name":".h","ext":"","type":"file","size":0,"mtime":"2026-12-07T15:44:40Z","attr":"HR","depth":1})"
      "\n";
  for (const char* extra : {"/R", "/C", "/F", "/Q", "/U", "/L"}) {
    FakePlatform p = RecordTree();
    const test::Outcome got = RunWith(p, {"LIST", "/top", "/R", "/json", extra});
    EXPECT_EQ(got.exitCode, 0) << extra;
    EXPECT_EQ(got.output, expected) << extra;
  }
  FakePlatform p = RecordTree();
  p.disk = {1000, 400};
  const test::Outcome dir = RunWith(p, {"DIR", "/top", "/JSON", "/C"});
  EXPECT_EQ(dir.output.substr(dir.output.rfind('\n', dir.output.size() - 2) + 1),
            R"({"total":{"root":"/top","entries":3,"files":2,"dirs":1,"bytes":3,)"
            R"("drive_bytes":1000,"drive_free":400}})"
            "\n");
  FakePlatform q = RecordTree();
  EXPECT_EQ(RunWith(q, {"LIST", "/top", "/R", "/D", "/JSON"}).output.find("\"type\":\"dir\""),
            std::string::npos);
}

TEST(RecordsTest, CsvStatAndWindowsForm) {
  FakePlatform p = RecordTree(PathStyle::Windows);
  const test::Outcome csv = RunWith(p, {"LIST", "C:\\top", "/CSV"});
  EXPECT_EQ(csv.output,
            "\xEF\xBB\xBFpath,rel,name,ext,type,size,mtime,attr,depth,raw\r\n"
            "\"C:\\top\\a,b.txt\",\"a,b.txt\",\"a,b.txt\",.txt,file,3,2026-07-01T08:00:01Z,,1,\r\n"
            "C:\\top\\s,s,s,,dir,0,2026-12-07T15:44:40Z,D,1,\r\n"
            "C:\\top\\.h,.h,.h,,file,0,2026-12-07T15:44:40Z,HR,1,\r\n");
  EXPECT_EQ(p.utf8Switches, 1);  // records are UTF-8 whatever the code page
  FakePlatform q = RecordTree();
  EXPECT_EQ(RunWith(q, {"STAT", "/top", "/R", "/JSON"}).output,
            R"({"root":"/top","count":5,"files":4,"dirs":1,"bytes":8})"
            "\n");
  FakePlatform r = RecordTree();
  EXPECT_EQ(RunWith(r, {"STAT", "/top/", "/CSV"}).output,
            "root,count,files,dirs,bytes,raw\n/top/,3,2,1,3,\n");
}

// The offset a reader converted a time at gives the instant back, even in
// the hour repeated when clocks go back; the zone's rules are asked only
// where no reader told one.
TEST(RecordsTest, MtimeIsTheInstantTheReaderTold) {
  const TDateTime twice = MakeDateTime(2026, 10, 25, 2, 30, 0);  // Berlin, clocks going back
  struct Row {
    const char* name;
    std::int32_t told;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"first", 7200, "2026-10-25T00:30:00Z"},
      {"second", 3600, "2026-10-25T01:30:00Z"},
      {"west", -(3 * 3600 + 1800), "2026-10-25T06:00:00Z"},
      {"untold", kUnknownUtcOffset, "2026-10-25T02:30:00Z"},  // the fake zone is UTC
  };
  for (const Row& row : rows) {
    FakePlatform p;
    test::FakeEntry entry{row.name, false, false, 1, twice};
    entry.UtcOffset = row.told;
    p.AddDir("/top/", {entry});
    const std::string got = RunWith(p, {"LIST", "/top", "/JSON"}).output;
    EXPECT_NE(got.find("\"mtime\":\"" + row.expected + "\""), std::string::npos) << got;
  }
  // All in one directory, one after another: the same time told otherwise
  // is another instant, never the stamp of the record before.
  FakePlatform p;
  std::vector<test::FakeEntry> entries;
  for (const Row& row : rows) {
    entries.push_back({row.name, false, false, 1, twice});
    entries.back().UtcOffset = row.told;
  }
  p.AddDir("/top/", entries);
  const std::string got = RunWith(p, {"LIST", "/top", "/JSON"}).output;
  for (const Row& row : rows) {
    const std::string record = got.substr(got.find(std::string("/top/") + row.name));
    EXPECT_EQ(record.substr(record.find("mtime") + 8, 20), row.expected) << row.name;
  }
}

TEST(RecordsTest, DirAsCsvIsABadValue) {
  FakePlatform p = RecordTree();
  const test::Outcome got = RunWith(p, {"DIR", "/top", "/csv"});
  EXPECT_EQ(got.exitCode, 1);
  EXPECT_NE(got.error.find("<Invalid value> [/csv]"), std::string::npos) << got.error;
  EXPECT_EQ(got.output, "");
}

TEST(RecordsTest, LineOptionsBesideRecordsAreBadValues) {
  const std::vector<std::vector<std::string>> rows = {
      {"/JSON", "/P=rm"}, {"/S=x", "/CSV"},  {"/JSON", "/LINE=$SELF"}, {"/csv", "/0"},
      {"/JSON", "/NUL"},  {"/JSON", "/CSV"}, {"/JSON", "/prefix=x"},   {"/P", "/JSON"}};
  for (const auto& row : rows) {
    FakePlatform p = RecordTree();
    std::vector<std::string> params = {"LIST", "/top"};
    params.insert(params.end(), row.begin(), row.end());
    const test::Outcome got = RunWith(p, params);
    const std::string bad = row[0] == "/JSON" || row[0] == "/csv" ? row[1] : row[0];
    EXPECT_EQ(got.exitCode, 1) << bad;
    EXPECT_NE(got.error.find("<Invalid value> [" + bad + "]"), std::string::npos) << got.error;
    EXPECT_EQ(got.output, "") << bad;
  }
  // The same form twice is that form.
  FakePlatform once = RecordTree(), twice = RecordTree();
  EXPECT_EQ(RunWith(twice, {"LIST", "/top", "/JSON", "/json"}).output,
            RunWith(once, {"LIST", "/top", "/JSON"}).output);
}

}  // namespace
}  // namespace tvx
