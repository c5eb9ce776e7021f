// Checks the Win32 platform layer against the real system calls (run under
// Wine on Linux). A plain program rather than GoogleTest, which is not built
// for the Windows target. Exit code 0 when every check holds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Checks.h"
#include "text/Failure.h"
#include "platform/Platform.h"
#include "walk/Scan.h"
#include "VerRes.h"

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

void TestReadDirectoryListsEverything(tvx::Platform& p) {
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Report(c);
  CHECK(c.Find(".") == nullptr);
  CHECK(c.Find("..") == nullptr);
  const Entry* plain = c.Find("plain.txt");
  const Entry* blank = c.Find("a b.txt");
  const Entry* hidden = c.Find("hidden.sys");
  const Entry* sub = c.Find("sub");
  CHECK(plain != nullptr);
  CHECK(blank != nullptr);
  CHECK(hidden != nullptr);
  CHECK(sub != nullptr);
  CHECK(c.Find("inner.txt") == nullptr);  // one level only
  if (plain) {
    CHECK_EQ(plain->Size, 5u);
    CHECK(!plain->IsDir);
    CHECK(!plain->IsLink);
  }
  if (hidden) CHECK_EQ(hidden->Size, 2u);
  if (blank) CHECK_EQ(blank->Size, 0u);
  if (sub) {
    CHECK(sub->IsDir);
    CHECK(!sub->IsLink);
    CHECK_EQ(sub->Size, 0u);
  }
}

void TestReadDirectoryWithoutDetails(tvx::Platform& p) {
  Collect c;
  p.Read(*p.EnterRoot(g_root), false)->Report(c);
  const Entry* sub = c.Find("sub");
  CHECK(sub != nullptr && sub->IsDir);
  CHECK(c.Find("plain.txt") != nullptr);
}

void TestReadDirectoryMissing(tvx::Platform& p) {
  // Entered, then removed before it is read.
  const std::string gone = g_root + "gone\\";
  CHECK(CreateDirectoryA(gone.c_str(), nullptr));
  auto dir = p.EnterRoot(gone);
  CHECK(RemoveDirectoryA(gone.c_str()));
  Collect c;
  // A read failure with the system's reason: the scan adds nothing, or
  // names the directory under /C.
  int code = -1;
  try {
    p.Read(*dir, true)->Report(c);
  } catch (const tvx::ReadFailure& failure) {
    code = failure.Code();
  }
  CHECK(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND);
  CHECK(c.entries.empty());
}

void TestTimesAreLocalToTheSecond(tvx::Platform& p) {
  std::string path = g_root + "stamped.txt";
  WriteFileBytes(path, "t");
  CHECK(SetLocalWriteTime(path, 2021, 6, 15, 13, 45, 27));
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Report(c);
  const Entry* e = c.Find("stamped.txt");
  CHECK(e != nullptr);
  if (e) CHECK_EQ(e->Stamp, tvx::MakeDateTime(2021, 6, 15, 13, 45, 27));
  DeleteFileA(path.c_str());
}

void TestSizesAre64Bit(tvx::Platform& p) {
  std::string path = g_root + "big.bin";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  CHECK(h != INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size;
  // Above 4 GiB, so that a lost high word shows; sparse where the file
  // system allows it.
  size.QuadPart = 5LL << 30;
  bool sized = SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h);
  CloseHandle(h);
  CHECK(sized);
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Report(c);
  const Entry* e = c.Find("big.bin");
  CHECK(e != nullptr);
  if (e) CHECK_EQ(e->Size, 5368709120ull);
  DeleteFileA(path.c_str());
}

void TestDirectoryLinkIsNotToBeEntered(tvx::Platform& p) {
  std::string link = g_root + "link";
  // Some systems (Wine among them) report success without making the link.
  if (!CreateSymbolicLinkA(link.c_str(), (g_root + "sub").c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) ||
      GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("skipped: this system makes no directory symbolic links\n");
    return;
  }
  Collect c;
  p.Read(*p.EnterRoot(g_root), true)->Report(c);
  const Entry* e = c.Find("link");
  CHECK(e != nullptr);
  if (e) {
    CHECK(e->IsDir);
    CHECK(e->IsLink);
    CHECK_EQ(e->Size, 0u);
  }
  RemoveDirectoryA(link.c_str());
}

void TestEnterRestoresCurrentDirectory(tvx::Platform& p) {
  std::string before = p.CurrentDirectory();
  p.Enter(*p.EnterRoot(g_root), "sub");
  CHECK_EQ(p.CurrentDirectory(), before);

  int code = IoCodeOf([&] { p.EnterRoot(g_root + "missing\\"); });
  CHECK(code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND);
  CHECK_EQ(p.CurrentDirectory(), before);

  // A file cannot be entered either.
  code = IoCodeOf([&] { p.EnterRoot(g_root + "plain.txt\\"); });
  CHECK(code > 0);
  CHECK_EQ(p.CurrentDirectory(), before);
}

void TestFullPath(tvx::Platform& p) {
  std::string before = p.CurrentDirectory();
  std::string root = g_root.substr(0, g_root.size() - 1);
  CHECK(SetCurrentDirectoryA(g_root.c_str()));
  CHECK_EQ(p.CurrentDirectory(), root);
  CHECK_EQ(p.FullPath("sub\\..\\x"), root + "\\x");
  CHECK_EQ(p.FullPath("sub"), root + "\\sub");
  CHECK_EQ(p.FullPath(""), root);
  // Longer than the classic 260-byte buffers.
  std::string longName =
      std::string(120, 'a') + "\\" + std::string(120, 'b') + "\\" + std::string(120, 'c');
  CHECK_EQ(p.FullPath(longName), root + "\\" + longName);
  SetCurrentDirectoryA(before.c_str());
  CHECK_EQ(p.FullPath("C:\\one\\.\\two\\..\\three"), std::string("C:\\one\\three"));
}

void TestDirectoryExists(tvx::Platform& p) {
  CHECK(p.DirectoryExists(g_root));
  CHECK(p.DirectoryExists(g_root + "sub"));
  CHECK(!p.DirectoryExists(g_root + "plain.txt"));
  CHECK(!p.DirectoryExists(g_root + "missing"));
}

void TestEnvironment(tvx::Platform& p) {
  SetEnvironmentVariableA("TVX_PLATFORM_TEST", "x=1 y");
  std::vector<std::string> lines = p.Environment();
  bool found = false;
  for (const std::string& line : lines) {
    CHECK(!line.empty());
    if (line == "TVX_PLATFORM_TEST=x=1 y") found = true;
  }
  CHECK(found);
  SetEnvironmentVariableA("TVX_PLATFORM_TEST", nullptr);
  for (const std::string& line : p.Environment()) CHECK(line.rfind("TVX_PLATFORM_TEST=", 0) != 0);
}

void TestSameTextIgnoringCase(tvx::Platform& p) {
  CHECK(p.SameTextIgnoringCase("Path", "PATH"));
  CHECK(p.SameTextIgnoringCase("", ""));
  CHECK(!p.SameTextIgnoringCase("abc", "abd"));
  CHECK(!p.SameTextIgnoringCase("a", ""));
  CHECK(!p.SameTextIgnoringCase("abc", "abcd"));
  // Only the given bytes count, not what follows them in memory.
  std::string_view prefix("TEMPX", 4);
  CHECK(p.SameTextIgnoringCase(prefix, "temp"));
}

void TestOwnFileAndParameters(tvx::Platform& p, const std::vector<std::string>& args) {
  std::string own = tvx::OwnFile();
  CHECK(own.size() > 4);
  CHECK(p.SameTextIgnoringCase(own.substr(own.size() - 4), ".exe"));
  CHECK(own.size() > 2 && (own[1] == ':' || own.rfind("\\\\", 0) == 0));
  CHECK(GetFileAttributesA(own.c_str()) != INVALID_FILE_ATTRIBUTES);
  std::vector<std::string> params = p.Parameters();
  // Plain arguments are cut the same way by the C runtime.
  CHECK(params == args);
}

void TestVersion(tvx::Platform& p) {
  tvx::VersionStrings v = p.ReadVersion();
  CHECK_EQ(v.ProductVersion, std::string("1.02"));
  CHECK_EQ(v.LegalCopyright, std::string("Copyright (C) 2026 The tvx developers"));
  CHECK_EQ(v.Comments, std::string("Directory lister and command-line generator"));

  tvx::TVerRes own(tvx::OwnFile());
  CHECK(own.Handle != nullptr);
  CHECK_EQ(own.Language, 0x0411);
  CHECK_EQ(own.CodePage, 932);
  CHECK_EQ(own.LangCharset, std::string("041103A4"));
  CHECK_EQ(own.QueryString("ProductName"), std::string("Tarvix"));
  CHECK(own.QueryString("NoSuchValue").empty());

  tvx::TVerRes plain(g_root + "plain.txt");
  CHECK(plain.Handle == nullptr);
  CHECK(plain.ProductVersion().empty());
  tvx::TVerRes missing(g_root + "missing.exe");
  CHECK(missing.Handle == nullptr);
  CHECK(missing.Comments().empty());
}

void TestDiskSpace(tvx::Platform& p) {
  tvx::DiskSpace space;
  CHECK(p.GetDiskSpace(g_root, space));
  CHECK(space.Total > 0);
  CHECK(space.FreeForCaller <= space.Total);
  ULARGE_INTEGER caller, total, free;
  CHECK(GetDiskFreeSpaceExA(g_root.c_str(), &caller, &total, &free));
  CHECK_EQ(space.Total, total.QuadPart);
  // Also without the final separator, as a directory is typed.
  tvx::DiskSpace typed;
  CHECK(p.GetDiskSpace(g_root.substr(0, g_root.size() - 1), typed));
  CHECK_EQ(typed.Total, space.Total);

  tvx::DiskSpace untouched{7, 9};
  CHECK(!p.GetDiskSpace(g_root + "missing\\", untouched));
  CHECK(untouched.Total == 7 && untouched.FreeForCaller == 9);
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  auto platform = tvx::MakePlatform(0, nullptr);
  tvx::Platform& p = *platform;
  MakeTree();
  const std::pair<const char*, std::function<void()>> tests[] = {
      {"ReadDirectoryListsEverything", [&] { TestReadDirectoryListsEverything(p); }},
      {"ReadDirectoryWithoutDetails", [&] { TestReadDirectoryWithoutDetails(p); }},
      {"ReadDirectoryMissing", [&] { TestReadDirectoryMissing(p); }},
      {"TimesAreLocalToTheSecond", [&] { TestTimesAreLocalToTheSecond(p); }},
      {"SizesAre64Bit", [&] { TestSizesAre64Bit(p); }},
      {"DirectoryLinkIsNotToBeEntered", [&] { TestDirectoryLinkIsNotToBeEntered(p); }},
      {"CheckEnterRestoresCurrentDirectory", [&] { TestEnterRestoresCurrentDirectory(p); }},
      {"FullPath", [&] { TestFullPath(p); }},
      {"DirectoryExists", [&] { TestDirectoryExists(p); }},
      {"Environment", [&] { TestEnvironment(p); }},
      {"SameTextIgnoringCase", [&] { TestSameTextIgnoringCase(p); }},
      {"OwnFileAndParameters", [&] { TestOwnFileAndParameters(p, args); }},
      {"Version", [&] { TestVersion(p); }},
      {"DiskSpace", [&] { TestDiskSpace(p); }},
      {"OutputToFile", [] { TestOutputToFile(); }},
      {"OutputFailures", [] { TestOutputFailures(); }},
      {"Locale", [&] { TestLocale(p); }},
      {"CodePageAndMessages", [&] { TestCodePageAndMessages(p); }},
      {"Utf8Texts", [] { TestUtf8Texts(); }},
      {"ReadersMatchAWalkOneFolderAtATime", [] { TestReadersMatchAWalkOneFolderAtATime(); }},
      {"ParkedFoldersOpenAgainByTheirStoredNames",
       [] { TestParkedFoldersOpenAgainByTheirStoredNames(); }},
      {"ThreadsAndLocks", [] { TestThreadsAndLocks(); }},
  };
  for (const auto& [name, run] : tests) {
    int before = g_failures;
    try {
      run();
    } catch (const std::exception& e) {
      ++g_failures;
      std::printf("FAIL %s: unexpected exception: %s\n", name, e.what());
    }
    std::printf("%s %s\n", g_failures == before ? "ok  " : "FAIL", name);
  }
  RemoveTree();
  std::printf("%d checks, %d failed\n", g_checks, g_failures);
  return g_failures == 0 ? 0 : 1;
}
