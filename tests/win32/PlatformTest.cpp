// Tests the Win32 platform layer against the real system calls (run under
// Wine on Linux), on GoogleTest built for the Windows target.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Checks.h"
#include "VerRes.h"
#include "platform/Platform.h"
#include "text/Failure.h"
#include "walk/Scan.h"

using namespace win32check;

namespace {

// Sets a file's last-write time to a local time.
bool SetLocalWriteTime(const std::string& path, WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
  SYSTEMTIME local{};
  local.wYear = y;
  local.wMonth = mo;
  local.wDay = d;
  local.wHour = h;
  local.wMinute = mi;
  local.wSecond = s;
  FILETIME localTime, utc;
  if (!SystemTimeToFileTime(&local, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc)) {
    return false;
  }
  HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = SetFileTime(file, nullptr, nullptr, &utc) != FALSE;
  CloseHandle(file);
  return ok;
}

void MakeTree() {
  char temp[MAX_PATH + 1];
  GetTempPathA(sizeof temp, temp);
  g_root = std::string(temp) + "tvx-platform-" + std::to_string(GetCurrentProcessId()) + "\\";
  CreateDirectoryA(g_root.c_str(), nullptr);
  WriteFileBytes(g_root + "plain.txt", "hello");
  WriteFileBytes(g_root + "a b.txt", "");
  WriteFileBytes(g_root + "hidden.sys", "xy");
  CreateDirectoryA((g_root + "sub").c_str(), nullptr);
  WriteFileBytes(g_root + "sub\\inner.txt", "inner");
  // Only the normal attribute: the old enumeration filter lost such files.
  SetFileAttributesA((g_root + "plain.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA((g_root + "hidden.sys").c_str(),
                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
  SetFileAttributesA((g_root + "sub").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
}

void RemoveTree() {
  SetFileAttributesA((g_root + "hidden.sys").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesA((g_root + "sub").c_str(), FILE_ATTRIBUTE_NORMAL);
  const char* files[] = {"plain.txt",      "a b.txt",     "hidden.sys",   "big.bin",
                         "sub\\inner.txt", "stamped.txt", "readonly.out", "out.bin"};
  for (const char* f : files) DeleteFileA((g_root + f).c_str());
  RemoveDirectoryA((g_root + "link").c_str());
  RemoveDirectoryA((g_root + "sub").c_str());
  RemoveDirectoryA(g_root.c_str());
}

TEST(Win32Platform, ReadDirectoryListsEverything) {
  tvx::Platform& p = ThePlatform();
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Deliver(c);
  EXPECT_TRUE(c.Find(".") == nullptr);
  EXPECT_TRUE(c.Find("..") == nullptr);
  const Entry* plain = c.Find("plain.txt");
  const Entry* blank = c.Find("a b.txt");
  const Entry* hidden = c.Find("hidden.sys");
  const Entry* sub = c.Find("sub");
  EXPECT_TRUE(plain != nullptr);
  EXPECT_TRUE(blank != nullptr);
  EXPECT_TRUE(hidden != nullptr);
  EXPECT_TRUE(sub != nullptr);
  EXPECT_TRUE(c.Find("inner.txt") == nullptr);  // one level only
  if (plain) {
    EXPECT_EQ(plain->Size, 5u);
    EXPECT_TRUE(!plain->IsDir);
    EXPECT_TRUE(!plain->IsLink);
  }
  if (hidden) {
    EXPECT_EQ(hidden->Size, 2u);
  }
  if (blank) {
    EXPECT_EQ(blank->Size, 0u);
  }
  if (sub) {
    EXPECT_TRUE(sub->IsDir);
    EXPECT_TRUE(!sub->IsLink);
    EXPECT_EQ(sub->Size, 0u);
  }
}

TEST(Win32Platform, ReadDirectoryWithoutDetails) {
  tvx::Platform& p = ThePlatform();
  Collect c;
  p.Read(*p.EnterRoot(g_root), false)->Deliver(c);
  const Entry* sub = c.Find("sub");
  EXPECT_TRUE(sub != nullptr && sub->IsDir);
  EXPECT_TRUE(c.Find("plain.txt") != nullptr);
}

TEST(Win32Platform, ReadDirectoryMissing) {
  tvx::Platform& p = ThePlatform();
  // Entered, then removed before it is read. Its entering holds it open for
  // its read, shared as the read by path shares it: the removal waits for
  // the read, which finds it whole, and then succeeds.
  const std::string gone = g_root + "gone\\";
  EXPECT_TRUE(CreateDirectoryA(gone.c_str(), nullptr));
  auto dir = p.EnterRoot(gone);
  const bool removed = RemoveDirectoryA(gone.c_str()) != FALSE;
  if (!removed) {
    EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
  }
  Collect c;
  // Where it could go (read by path), a read failure with the system's
  // reason: the scan adds nothing, or names the directory under /C.
  int code = 0;
  try {
    p.Read(*dir, true)->Deliver(c);
  } catch (const tvx::ReadFailure& failure) {
    code = failure.Code();
  }
  if (removed) {
    EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND);
  } else {
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(RemoveDirectoryA(gone.c_str()));
  }
  EXPECT_TRUE(c.entries.empty());
}

TEST(Win32Platform, TimesAreLocalToTheSecond) {
  tvx::Platform& p = ThePlatform();
  std::string path = g_root + "stamped.txt";
  WriteFileBytes(path, "t");
  EXPECT_TRUE(SetLocalWriteTime(path, 2021, 6, 15, 13, 45, 27));
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Deliver(c);
  const Entry* e = c.Find("stamped.txt");
  EXPECT_TRUE(e != nullptr);
  if (e) {
    EXPECT_EQ(e->Stamp, tvx::MakeDateTime(2021, 6, 15, 13, 45, 27));
  }
  DeleteFileA(path.c_str());
}

TEST(Win32Platform, SizesAre64Bit) {
  tvx::Platform& p = ThePlatform();
  std::string path = g_root + "big.bin";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_TRUE(h != INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size;
  // Above 4 GiB, so that a lost high word shows; sparse where the file
  // system allows it.
  size.QuadPart = 5LL << 30;
  bool sized = SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h);
  CloseHandle(h);
  EXPECT_TRUE(sized);
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Deliver(c);
  const Entry* e = c.Find("big.bin");
  EXPECT_TRUE(e != nullptr);
  if (e) {
    EXPECT_EQ(e->Size, 5368709120ull);
  }
  DeleteFileA(path.c_str());
}

TEST(Win32Platform, DirectoryLinkIsNotToBeEntered) {
  tvx::Platform& p = ThePlatform();
  std::string link = g_root + "link";
  // Some systems (Wine among them) report success without making the link.
  if (!CreateSymbolicLinkA(link.c_str(), (g_root + "sub").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("skipped: this system makes no directory symbolic links\n");
    return;
  }
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Deliver(c);
  const Entry* e = c.Find("link");
  EXPECT_TRUE(e != nullptr);
  if (e) {
    EXPECT_TRUE(e->IsDir);
    EXPECT_TRUE(e->IsLink);
    EXPECT_EQ(e->Size, 0u);
  }
  RemoveDirectoryA(link.c_str());
}

TEST(Win32Platform, EnterRestoresCurrentDirectory) {
  tvx::Platform& p = ThePlatform();
  std::string before = p.CurrentDirectory();
  p.Enter(*p.EnterRoot(g_root), "sub");
  EXPECT_EQ(p.CurrentDirectory(), before);

  int code = IoCodeOf([&] { p.EnterRoot(g_root + "missing\\"); });
  EXPECT_TRUE(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(p.CurrentDirectory(), before);

  // A file cannot be entered either.
  code = IoCodeOf([&] { p.EnterRoot(g_root + "plain.txt\\"); });
  EXPECT_TRUE(code > 0);
  EXPECT_EQ(p.CurrentDirectory(), before);
}

TEST(Win32Platform, FullPath) {
  tvx::Platform& p = ThePlatform();
  std::string before = p.CurrentDirectory();
  std::string root = g_root.substr(0, g_root.size() - 1);
  EXPECT_TRUE(SetCurrentDirectoryA(g_root.c_str()));
  EXPECT_EQ(p.CurrentDirectory(), root);
  EXPECT_EQ(p.FullPath("sub\\..\\x"), root + "\\x");
  EXPECT_EQ(p.FullPath("sub"), root + "\\sub");
  EXPECT_EQ(p.FullPath(""), root);
  // Longer than the classic 260-byte buffers.
  std::string longName =
      std::string(120, 'a') + "\\" + std::string(120, 'b') + "\\" + std::string(120, 'c');
  EXPECT_EQ(p.FullPath(longName), root + "\\" + longName);
  SetCurrentDirectoryA(before.c_str());
  EXPECT_EQ(p.FullPath("C:\\one\\.\\two\\..\\three"), std::string("C:\\one\\three"));
}

TEST(Win32Platform, DirectoryExists) {
  tvx::Platform& p = ThePlatform();
  EXPECT_TRUE(p.DirectoryExists(g_root));
  EXPECT_TRUE(p.DirectoryExists(g_root + "sub"));
  EXPECT_TRUE(!p.DirectoryExists(g_root + "plain.txt"));
  EXPECT_TRUE(!p.DirectoryExists(g_root + "missing"));
}

TEST(Win32Platform, Environment) {
  tvx::Platform& p = ThePlatform();
  SetEnvironmentVariableA("TVX_PLATFORM_TEST", "x=1 y");
  std::vector<std::string> lines = p.Environment();
  bool found = false;
  for (const std::string& line : lines) {
    EXPECT_TRUE(!line.empty());
    if (line == "TVX_PLATFORM_TEST=x=1 y") found = true;
  }
  EXPECT_TRUE(found);
  SetEnvironmentVariableA("TVX_PLATFORM_TEST", nullptr);
  for (const std::string& line : p.Environment())
    EXPECT_TRUE(line.rfind("TVX_PLATFORM_TEST=", 0) != 0);
}

TEST(Win32Platform, SameTextIgnoringCase) {
  tvx::Platform& p = ThePlatform();
  EXPECT_TRUE(p.SameTextIgnoringCase("Path", "PATH"));
  EXPECT_TRUE(p.SameTextIgnoringCase("", ""));
  EXPECT_TRUE(!p.SameTextIgnoringCase("abc", "abd"));
  EXPECT_TRUE(!p.SameTextIgnoringCase("a", ""));
  EXPECT_TRUE(!p.SameTextIgnoringCase("abc", "abcd"));
  // Only the given bytes count, not what follows them in memory.
  std::string_view prefix("TEMPX", 4);
  EXPECT_TRUE(p.SameTextIgnoringCase(prefix, "temp"));
}

TEST(Win32Platform, OwnFileAndParameters) {
  tvx::Platform& p = ThePlatform();
  const std::vector<std::string>& args = g_args;
  std::string own = tvx::OwnFile();
  EXPECT_TRUE(own.size() > 4);
  EXPECT_TRUE(p.SameTextIgnoringCase(own.substr(own.size() - 4), ".exe"));
  EXPECT_TRUE(own.size() > 2 && (own[1] == ':' || own.rfind("\\\\", 0) == 0));
  EXPECT_TRUE(GetFileAttributesA(own.c_str()) != INVALID_FILE_ATTRIBUTES);
  std::vector<std::string> params = p.Parameters();
  // Plain arguments are cut the same way by the C runtime.
  EXPECT_TRUE(params == args);
}

TEST(Win32Platform, Version) {
  tvx::Platform& p = ThePlatform();
  tvx::VersionStrings v = p.ReadVersion();
  EXPECT_EQ(v.ProductVersion, std::string("1.02"));
  EXPECT_EQ(v.LegalCopyright, std::string("Copyright (C) 2026 The tvx developers"));
  EXPECT_EQ(v.Comments, std::string("Directory lister and command-line generator"));

  tvx::TVerRes own(tvx::OwnFile());
  EXPECT_TRUE(own.Handle != nullptr);
  EXPECT_EQ(own.Language, 0x0411);
  EXPECT_EQ(own.CodePage, 932);
  EXPECT_EQ(own.LangCharset, std::string("041103A4"));
  EXPECT_EQ(own.QueryString("ProductName"), std::string("Tarvix"));
  EXPECT_TRUE(own.QueryString("NoSuchValue").empty());

  tvx::TVerRes plain(g_root + "plain.txt");
  EXPECT_TRUE(plain.Handle == nullptr);
  EXPECT_TRUE(plain.ProductVersion().empty());
  tvx::TVerRes missing(g_root + "missing.exe");
  EXPECT_TRUE(missing.Handle == nullptr);
  EXPECT_TRUE(missing.Comments().empty());
}

TEST(Win32Platform, DiskSpace) {
  tvx::Platform& p = ThePlatform();
  tvx::DiskSpace space;
  EXPECT_TRUE(p.GetDiskSpace(g_root, space));
  EXPECT_TRUE(space.Total > 0);
  EXPECT_TRUE(space.FreeForCaller <= space.Total);
  ULARGE_INTEGER caller, total, free;
  EXPECT_TRUE(GetDiskFreeSpaceExA(g_root.c_str(), &caller, &total, &free));
  EXPECT_EQ(space.Total, total.QuadPart);
  // Also without the final separator, as a directory is typed.
  tvx::DiskSpace typed;
  EXPECT_TRUE(p.GetDiskSpace(g_root.substr(0, g_root.size() - 1), typed));
  EXPECT_EQ(typed.Total, space.Total);

  tvx::DiskSpace untouched{7, 9};
  EXPECT_TRUE(!p.GetDiskSpace(g_root + "missing\\", untouched));
  EXPECT_TRUE(untouched.Total == 7 && untouched.FreeForCaller == 9);
}

}  // namespace

namespace win32check {

tvx::Platform& ThePlatform() {
  static const std::unique_ptr<tvx::Platform> platform = tvx::MakePlatform(0, nullptr);
  return *platform;
}

}  // namespace win32check

// The test tree, made before the first test and removed after the last.
class TestTree : public ::testing::Environment {
 public:
  void SetUp() override { MakeTree(); }
  void TearDown() override { RemoveTree(); }
};

int main(int argc, char** argv) {
  // As the process was started: the platform reads its command line itself.
  g_args.assign(argv + 1, argv + argc);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new TestTree);
  return RUN_ALL_TESTS();
}
