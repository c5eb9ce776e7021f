// What the Win32 layer gives the walk engine, on the real system calls (run
// under Wine on Linux): threads and locks, and a directory reader that runs
// on several threads at once and fails as a walk one folder at a time does.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../unit/ScanWith.h"
#include "Checks.h"
#include "Win32Threads.h"
#include "platform/Platform.h"
#include "text/Failure.h"
#include "walk/Scan.h"

namespace win32check {

namespace {

// The full paths of a tree in pre-order, read one directory at a time; a
// directory that cannot be entered or read is marked where the walk meets it,
// and the walk goes on.
void WalkInOrder(tvx::Platform& p, tvx::DirHandle& dir, const std::string& path,
                 std::vector<std::string>& out) {
  Collect c;
  try {
    p.Read(dir, false)->Deliver(c);
  } catch (const tvx::ReadFailure& failure) {
    out.push_back(path + " read " + std::to_string(failure.Code()));
  }
  for (const Entry& e : c.entries) {
    out.push_back(path + e.Name);
    if (!e.IsDir || e.IsLink) continue;
    std::unique_ptr<tvx::DirHandle> sub;
    try {
      sub = p.Enter(dir, e.Name);
    } catch (const tvx::IoFailure& failure) {
      out.push_back(path + e.Name + " enter " + std::to_string(failure.Code()));
      continue;
    }
    WalkInOrder(p, *sub, path + e.Name + "\\", out);
  }
}

// g_root's "wide": top folders, each holding inner folders with a file, or a
// file itself when inner is 0; the files' sizes count up from 0. Returns the
// folders, parents first.
std::vector<std::string> MakeFolders(int top, int inner) {
  const std::string root = g_root + "wide\\";
  CreateDirectoryA(root.c_str(), nullptr);
  std::vector<std::string> made{root};
  std::size_t size = 0;
  for (int i = 0; i < top; ++i) {
    made.push_back(root + "d" + std::to_string(i) + "\\");
    CreateDirectoryA(made.back().c_str(), nullptr);
    if (inner == 0) WriteFileBytes(made.back() + "f.txt", std::string(size++, 'x'));
    const std::string a = made.back();
    for (int j = 0; j < inner; ++j) {
      made.push_back(a + "e" + std::to_string(j) + "\\");
      CreateDirectoryA(made.back().c_str(), nullptr);
      WriteFileBytes(made.back() + "f.txt", std::string(size++, 'x'));
    }
  }
  return made;
}

void RemoveFolders(const std::vector<std::string>& made) {
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    DeleteFileA((*it + "f.txt").c_str());
    RemoveDirectoryA(it->c_str());
  }
}

HANDLE HoldOpen(const std::string& dir, DWORD access, DWORD share) {
  return CreateFileA(dir.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

// The scan, whose readers run on threads, against expected (when it has no
// failures: a scan without /C stops at the first).
void CheckScan(const std::string& root, const std::vector<std::string>& expected,
               std::uint64_t total) {
  auto p = tvx::MakePlatform(0, nullptr);
  EXPECT_TRUE(p->Threads() != nullptr);
  tvx::EntryList list;
  EXPECT_EQ(tvx::test::ScanDirectory(*p, root, list, true, true), total);
  std::vector<std::string> got;
  tvx::FullPrefixCache prefixes(list);
  list.ForEach([&](const tvx::TTarvixFileInfo& e) {
    got.push_back(prefixes.For(e.DirIndex()) + std::string(e.Name()));
  });
  EXPECT_TRUE(got == expected);
}

// With the scan going on past failures, each is reported where the walk
// meets it, as the walk one folder at a time marked it.
void CheckScanGoingOn(const std::string& root, const std::vector<std::string>& expected) {
  auto p = tvx::MakePlatform(0, nullptr);
  tvx::EntryList list;
  std::vector<std::string> skipped;
  tvx::test::ScanDirectory(*p, root, list, true, false, [&](const tvx::IoFailure& f) {
    skipped.push_back(std::to_string(f.Code()));
  });
  std::vector<std::string> marks;
  for (const std::string& line : expected) {
    const std::size_t blank = line.rfind(' ');
    if (blank != std::string::npos) marks.push_back(line.substr(blank + 1));
  }
  EXPECT_TRUE(skipped == marks);
  EXPECT_EQ(list.Count() + marks.size(), expected.size());
}

// The system's platform with a budget of 16 handles, the fewest a walk
// keeps: a deeper walk parks handles and opens them again.
class FewHandles final : public tvx::DirectorySource {
 public:
  explicit FewHandles(tvx::Platform& real) : real_(real) {}
  tvx::ReadAheadLimits Limits() override { return {1, 2, 16}; }
  tvx::PathStyle Style() const override { return real_.Style(); }
  const tvx::CodePage& Code() const override { return real_.Code(); }
  std::string FullPath(const std::string& path) override { return real_.FullPath(path); }
  std::unique_ptr<tvx::DirHandle> EnterRoot(const std::string& path) override {
    return real_.EnterRoot(path);
  }
  std::unique_ptr<tvx::DirHandle> Enter(tvx::DirHandle& parent, std::string_view name) override {
    return real_.Enter(parent, name);
  }
  std::unique_ptr<tvx::DirListing> Read(tvx::DirHandle& dir, bool details) override {
    return real_.Read(dir, details);
  }
  tvx::ThreadKit* Threads() override { return real_.Threads(); }

 private:
  tvx::Platform& real_;
};

}  // namespace

// A chain deeper than the handles, each level holding a second folder and a
// file, every folder named outside the code page (Cyrillic, Greek, CJK): the
// walk parks the oldest handles and opens them again on its way back up,
// through parents opened again too, by their UTF-16 names. It lists what a
// walk one folder at a time does, in every code page and with /UTF8.
TEST(Win32Threads, ParkedFoldersOpenAgainByTheirStoredNames) {
  const std::wstring names[] = {L"\u0416\u03a9", L"\u65e5\u0436", L"\u00e4\u0101"};
  std::wstring dir = std::wstring(g_root.begin(), g_root.end()) + L"deep\\";
  std::vector<std::wstring> made{dir};
  CreateDirectoryW(dir.c_str(), nullptr);
  for (int level = 0; level < 30; ++level) {
    const std::wstring& name = names[level % 3];
    made.push_back(dir + name + L"s\\");
    CreateDirectoryW(made.back().c_str(), nullptr);
    dir += name + L"\\";
    made.push_back(dir);
    CreateDirectoryW(dir.c_str(), nullptr);
    CloseHandle(
        CreateFileW((dir + L"f").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  }
  // Wine names a Unix file outside ASCII only where the Unix locale exists.
  if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES) {
    std::printf("skipped: this system cannot name folders outside ASCII here\n");
    return;
  }
  for (const bool utf8 : {false, true}) {
    auto real = tvx::MakePlatform(0, nullptr);
    if (utf8) real->UseUtf8();
    const std::string root = g_root + "deep\\";
    std::vector<std::string> expected;
    WalkInOrder(*real, *real->EnterRoot(root), root, expected);
    EXPECT_EQ(expected.size(), 90u);
    FewHandles few(*real);
    tvx::EntryList list;
    std::vector<std::string> skipped;
    tvx::test::ScanDirectory(few, root, list, true, false,
                             [&](const tvx::IoFailure& f) { skipped.push_back(f.what()); });
    std::vector<std::string> got;
    tvx::FullPrefixCache prefixes(list);
    list.ForEach([&](const tvx::TTarvixFileInfo& e) {
      got.push_back(prefixes.For(e.DirIndex()) + std::string(e.Name()));
    });
    EXPECT_TRUE(skipped.empty());
    EXPECT_TRUE(got == expected);
  }
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    DeleteFileW((*it + L"f").c_str());
    RemoveDirectoryW(it->c_str());
  }
}

TEST(Win32Threads, ReadersMatchAWalkOneFolderAtATime) {
  // Nested folders; a wide folder of leaf folders, which all readers share;
  // the same with d150 held so that it cannot be entered, and d250 so that it
  // is entered but cannot be listed (its listing does not share deletion).
  const struct {
    int top, inner;
    bool failing;
  } rows[] = {{12, 5, false}, {400, 0, false}, {400, 0, true}};
  for (const auto& row : rows) {
    const std::vector<std::string> made = MakeFolders(row.top, row.inner);
    const std::string& root = made[0];
    std::vector<HANDLE> held;
    if (row.failing) {
      held = {
          HoldOpen(root + "d150", GENERIC_READ, 0),
          HoldOpen(root + "d250", DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)};
    }
    const std::uint64_t files = static_cast<std::uint64_t>(row.top) * std::max(row.inner, 1);
    std::vector<std::string> expected;
    auto plain = tvx::MakePlatform(0, nullptr);
    WalkInOrder(*plain, *plain->EnterRoot(root), root, expected);
    // Each failure stands for the file it hides.
    EXPECT_EQ(expected.size(), made.size() - 1 + files);
    const auto marked = [&](const std::string& line) {
      return std::find(expected.begin(), expected.end(), line) != expected.end();
    };
    EXPECT_EQ(marked(root + "d150 enter 32"), row.failing);
    EXPECT_EQ(marked(root + "d250\\ read 32"), row.failing);
    for (int round = 0; round < 3; ++round) {
      if (!row.failing) CheckScan(root, expected, files * (files - 1) / 2);
      if (row.failing) CheckScanGoingOn(root, expected);
    }
    for (HANDLE handle : held) CloseHandle(handle);
    RemoveFolders(made);
  }
}

// The lock and its conditions hand work between threads: each of four
// threads adds to a count under the lock, and the last wakes a waiter.
TEST(Win32Threads, ThreadsAndLocks) {
  tvx::ThreadKit* kit = tvx::Win32ThreadKit::IfSupported();
  EXPECT_TRUE(kit != nullptr);  // Wine is newer than Vista
  if (!kit) return;
  auto mutex = kit->NewMutex();
  auto done = kit->NewCondition();
  int count = 0;
  {
    std::vector<std::unique_ptr<tvx::ThreadKit::Thread>> threads;
    for (int t = 0; t < 4; ++t) {
      threads.push_back(kit->Start([&] {
        for (int i = 0; i < 10000; ++i) {
          mutex->Lock();
          if (++count == 40000) done->WakeAll();
          mutex->Unlock();
        }
      }));
      EXPECT_TRUE(threads.back() != nullptr);
    }
    mutex->Lock();
    while (count < 40000) done->Wait(*mutex);
    EXPECT_EQ(count, 40000);
    mutex->Unlock();
  }  // each thread is waited for here
  EXPECT_EQ(count, 40000);
}

}  // namespace win32check
