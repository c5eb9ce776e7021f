#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ShiftJis.h"
#include "text/Paths.h"

namespace tvx {
namespace {

constexpr PathStyle kWin = PathStyle::Windows;
constexpr PathStyle kPosix = PathStyle::Posix;

CodePage CodeFor(bool shiftJis) {
  return shiftJis ? fixtures::ShiftJis() : CodePage::SingleByte();
}

TEST(PathsTest, WithSeparator) {
  struct Row {
    const char* what;
    PathStyle style;
    bool shiftJis;
    std::string path;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"bare drive", kWin, false, "C:", "C:\\"},
      {"drive root kept", kWin, false, "C:\\", "C:\\"},
      {"directory", kWin, false, "C:\\data", "C:\\data\\"},
      {"already ends in separator", kWin, false, "C:\\data\\", "C:\\data\\"},
      {"relative", kWin, false, "sub", "sub\\"},
      {"UNC", kWin, false, "\\\\srv\\share", "\\\\srv\\share\\"},
      {"trail byte 0x5C is not a separator", kWin, true, "C:\\\x83\x5C", "C:\\\x83\x5C\\"},
      {"separator after a double-byte char", kWin, true, "C:\\\x83\x5C\\", "C:\\\x83\x5C\\"},
      {"POSIX root kept", kPosix, false, "/", "/"},
      {"POSIX directory", kPosix, false, "/home/u", "/home/u/"},
      {"POSIX backslash is a name byte", kPosix, false, "/a\\", "/a\\/"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WithSeparator(row.path, row.style, CodeFor(row.shiftJis)), row.expected) << row.what;
  }
}

TEST(PathsTest, Win32RewritesName) {
  for (const char* name : {"keep ", "x.", "x..", "x. .", "nul.txt", "aux.c", "COM1.log", "CON",
                           "conin$", "CONOUT$.x", "lpt1", "prn.x", "Nul .txt", "com9", "..."})
    EXPECT_TRUE(Win32RewritesName(name)) << name;
  for (const char* name : {"keep", ".x", " x", "a.b", "console", "nul_", "xnul.txt", "com10",
                           "com0", "lpt", "conin", "con$", "a .b"})
    EXPECT_FALSE(Win32RewritesName(name)) << name;
}

TEST(PathsTest, RootPrefix) {
  struct Row {
    const char* what;
    PathStyle style;
    bool shiftJis;
    std::string path;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"drive path", kWin, false, "C:\\data", "C:"},
      {"bare drive", kWin, false, "c:", "c:"},
      {"drive-relative", kWin, false, "C:sub", "C:"},
      {"UNC with directory", kWin, false, "\\\\srv\\share\\dir\\", "\\\\srv\\share"},
      {"UNC share root", kWin, false, "\\\\srv\\share\\", "\\\\srv\\share"},
      {"UNC share without separator", kWin, false, "\\\\srv\\share", "\\\\srv\\share"},
      {"UNC server 0x5C trail byte", kWin, true, "\\\\\x83\x5C\\share\\dir", "\\\\\x83\x5C\\share"},
      {"rooted without drive", kWin, false, "\\data", ""},
      {"relative", kWin, false, "sub\\dir", ""},
      {"POSIX absolute", kPosix, false, "/home/u", "/"},
      {"POSIX relative", kPosix, false, "home/u", ""},
      {"POSIX double slash is no share", kPosix, false, "//srv/share", "/"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(RootPrefix(row.path, row.style, CodeFor(row.shiftJis)), row.expected) << row.what;
  }
}

TEST(PathsTest, LexicalFullPath) {
  struct Row {
    const char* what;
    PathStyle style;
    bool shiftJis;
    std::string path;
    std::string cwd;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"absolute kept", kWin, false, "C:\\data\\logs", "D:\\x", "C:\\data\\logs"},
      {"final separator dropped", kWin, false, "C:\\data\\", "D:\\x", "C:\\data"},
      {"drive root", kWin, false, "C:\\", "D:\\x", "C:\\"},
      {"bare drive after separator appended", kWin, false, "C:\\", "C:\\work", "C:\\"},
      {"relative", kWin, false, "sub", "C:\\work", "C:\\work\\sub"},
      {"relative with separator", kWin, false, "sub\\", "C:\\work", "C:\\work\\sub"},
      {"relative against a root cwd", kWin, false, "sub", "C:\\", "C:\\sub"},
      {"climbing", kWin, false, "..\\x", "C:\\work\\a", "C:\\work\\x"},
      {"dot", kWin, false, ".", "C:\\work", "C:\\work"},
      {"never above the root", kWin, false, "..\\..\\..\\x", "C:\\work", "C:\\x"},
      {"dot-dot at the root", kWin, false, "C:\\..", "D:\\x", "C:\\"},
      {"rooted without drive", kWin, false, "\\data", "D:\\work", "D:\\data"},
      {"drive letter case kept", kWin, false, "c:\\data", "C:\\work", "c:\\data"},
      {"doubled separators and dots", kWin, false, "C:\\a\\\\b\\.\\c\\..\\d", "D:\\",
       "C:\\a\\b\\d"},
      {"forward slashes", kWin, false, "C:/data/logs/", "D:\\", "C:\\data\\logs"},
      {"forward slashes relative", kWin, false, "a/b", "C:\\work", "C:\\work\\a\\b"},
      {"UNC", kWin, false, "\\\\srv\\share\\dir\\", "C:\\work", "\\\\srv\\share\\dir"},
      {"UNC climbing stays in share", kWin, false, "\\\\srv\\share\\dir\\..\\..\\x", "C:\\work",
       "\\\\srv\\share\\x"},
      {"UNC with forward slashes", kWin, false, "//srv/share/dir", "C:\\work",
       "\\\\srv\\share\\dir"},
      {"relative against a UNC cwd", kWin, false, "sub", "\\\\srv\\share\\dir",
       "\\\\srv\\share\\dir\\sub"},
      {"trail byte 0x5C after separator appended", kWin, true, "C:\\\x83\x5C\\", "D:\\",
       "C:\\\x83\x5C"},
      {"trail byte 0x5C in the cwd", kWin, true, "sub", "C:\\\x83\x5C", "C:\\\x83\x5C\\sub"},
      {"trail byte 0x5C then dot-dot", kWin, true, "C:\\\x83\x5C\\..", "D:\\", "C:\\"},
      {"POSIX root", kPosix, false, "/", "/home", "/"},
      {"POSIX doubled, dot and dot-dot", kPosix, false, "/a//b/./c/../d", "/", "/a/b/d"},
      {"POSIX final separator dropped", kPosix, false, "/a/b/", "/", "/a/b"},
      {"POSIX relative", kPosix, false, "sub", "/home/u", "/home/u/sub"},
      {"POSIX relative against root", kPosix, false, "sub", "/", "/sub"},
      {"POSIX climbing", kPosix, false, "../x", "/home/u", "/home/x"},
      {"POSIX never above the root", kPosix, false, "../../../x", "/home", "/x"},
      {"POSIX backslash is a name byte", kPosix, false, "a\\b", "/t", "/t/a\\b"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LexicalFullPath(row.path, row.cwd, row.style, CodeFor(row.shiftJis)), row.expected)
        << row.what;
  }
}

TEST(PathsTest, BareDriveNamesItsRoot) {
  // The separator goes on before the path is resolved, so "C:" is the root
  // of C: even while the current directory lies elsewhere on that drive.
  const CodePage code = CodePage::SingleByte();
  EXPECT_EQ(LexicalFullPath(WithSeparator("C:", kWin, code), "C:\\work", kWin, code), "C:\\");
  EXPECT_EQ(LexicalFullPath(WithSeparator("d:", kWin, code), "C:\\work", kWin, code), "d:\\");
}

TEST(PathsTest, TypedDirectoryBecomesEntryPrefix) {
  // The way a typed directory becomes the prefix of its entries' full names:
  // separator appended, made full, separator appended again.
  struct Row {
    const char* what;
    PathStyle style;
    bool shiftJis;
    std::string typed;
    std::string cwd;
    std::string fullPrefix;
  };
  const std::vector<Row> rows = {
      {"bare drive", kWin, false, "C:", "C:\\work", "C:\\"},
      {"relative never drive + colon + name", kWin, false, "sub", "S:\\work", "S:\\work\\sub\\"},
      {"lower-case drive", kWin, false, "c:\\data", "D:\\", "c:\\data\\"},
      {"UNC", kWin, false, "\\\\srv\\share\\dir", "C:\\", "\\\\srv\\share\\dir\\"},
      {"Shift-JIS name ending in 0x5C", kWin, true, "C:\\\x83\x5C", "D:\\", "C:\\\x83\x5C\\"},
      {"POSIX root", kPosix, false, "/", "/home", "/"},
      {"POSIX relative", kPosix, false, "sub", "/home/u", "/home/u/sub/"},
  };
  for (const Row& row : rows) {
    const CodePage code = CodeFor(row.shiftJis);
    const std::string full = WithSeparator(
        LexicalFullPath(WithSeparator(row.typed, row.style, code), row.cwd, row.style, code),
        row.style, code);
    EXPECT_EQ(full, row.fullPrefix) << row.what;
  }
}

TEST(PathsTest, WithoutFinalSeparator) {
  struct Row {
    const char* what;
    PathStyle style;
    bool shiftJis;
    std::string dir;
    std::string expected;
  };
  const std::vector<Row> rows = {
      {"drive root kept", kWin, false, "C:\\", "C:\\"},
      {"directory", kWin, false, "C:\\data\\", "C:\\data"},
      {"no separator", kWin, false, "C:\\data", "C:\\data"},
      {"UNC share root kept", kWin, false, "\\\\srv\\share\\", "\\\\srv\\share\\"},
      {"UNC directory", kWin, false, "\\\\srv\\share\\dir\\", "\\\\srv\\share\\dir"},
      {"trail byte 0x5C kept", kWin, true, "C:\\\x83\x5C", "C:\\\x83\x5C"},
      {"separator after trail byte 0x5C", kWin, true, "C:\\\x83\x5C\\", "C:\\\x83\x5C"},
      {"POSIX root kept", kPosix, false, "/", "/"},
      {"POSIX directory", kPosix, false, "/home/u/", "/home/u"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WithoutFinalSeparator(row.dir, row.style, CodeFor(row.shiftJis)), row.expected)
        << row.what;
  }
}

}  // namespace
}  // namespace tvx
