// The read-ahead walk against a walk one folder at a time, and the pool's
// budget, on the real system calls (run under Wine on Linux).
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Checks.h"
#include "Failure.h"
#include "Platform.h"
#include "Scan.h"
#include "Win32ReadAhead.h"

namespace win32check {

namespace {

// The full paths of a tree in pre-order, read one directory at a time; a
// directory that cannot be entered or read is marked where the walk meets it,
// and the walk goes on.
void WalkInOrder(tvx::Platform& p, tvx::DirHandle& dir, const std::string& path,
                 std::vector<std::string>& out) {
  Collect c;
  try {
    p.ReadDirectory(dir, false, c);
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

// Polls until done() holds; false when it still does not after a long while
// (a worker that never comes).
bool Eventually(const std::function<bool()>& done) {
  for (int waited = 0; !done(); ++waited) {
    if (waited == 20000) return false;
    Sleep(1);
  }
  return true;
}

HANDLE HoldOpen(const std::string& dir, DWORD access, DWORD share) {
  return CreateFileA(dir.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                     nullptr);
}

// The walk with workers against expected, by hand and, when scanned, through
// the scan (whose files' sizes add up to total).
void CheckWalkWithWorkers(const std::string& root, const std::vector<std::string>& expected,
                          bool scanned, std::uint64_t total) {
  auto p = tvx::MakePlatform(0, nullptr);
  p->ExpectRecursion();
  std::vector<std::string> got;
  WalkInOrder(*p, *p->EnterRoot(root), root, got);
  CHECK(got == expected);
  if (!scanned) return;
  tvx::EntryList list;
  CHECK_EQ(tvx::ScanDirectory(*p, root, list, true, true), total);
  got.clear();
  tvx::FullPrefixCache prefixes(list);
  list.ForEach([&](const tvx::TTarvixFileInfo& e) {
    got.push_back(prefixes.For(e.DirIndex()) + std::string(e.Name()));
  });
  CHECK(got == expected);
}

// Stopped early: the walk goes while its workers are busy with the rest.
void StopWalkEarly(const std::string& root, std::size_t after) {
  auto p = tvx::MakePlatform(0, nullptr);
  p->ExpectRecursion();
  auto top = p->EnterRoot(root);
  Collect c;
  p->ReadDirectory(*top, false, c);
  p->ReadDirectory(*p->Enter(*top, c.entries.at(after).Name), false, c);
}

}  // namespace

void TestReadAheadKeepsTheWalksOrder() {
  // Nested folders; a wide folder of leaf folders, which all workers share;
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
    CHECK_EQ(expected.size(), made.size() - 1 + files);
    const auto marked = [&](const std::string& line) {
      return std::find(expected.begin(), expected.end(), line) != expected.end();
    };
    CHECK_EQ(marked(root + "d150 enter 32"), row.failing);
    CHECK_EQ(marked(root + "d250\\ read 32"), row.failing);
    for (int round = 0; round < 3; ++round) {
      CheckWalkWithWorkers(root, expected, !row.failing, files * (files - 1) / 2);
    }
    for (std::size_t round = 0; round < 3; ++round) StopWalkEarly(root, round);
    for (HANDLE handle : held) CloseHandle(handle);
    RemoveFolders(made);
  }
}

// The pool's budget on its own, with room for 8 entries: a wide folder has
// 400, one in each leaf folder.
void TestReadAheadGivesTheBudgetBack() {
  const std::vector<std::string> made = MakeFolders(400, 0);
  tvx::TextCodec codec;
  std::vector<std::wstring> paths;
  for (std::size_t i = 1; i < made.size(); ++i) {
    paths.push_back(tvx::ExtendedPath(codec.ToWide(made[i])));
  }
  std::weak_ptr<tvx::ReadAhead::Job> stopped;
  {
    tvx::ReadAhead ahead(codec, 8);
    // A walk that stops early gives back what was read ahead for it.
    auto job = ahead.Post(paths, false);
    CHECK(job != nullptr);
    if (!job) return;
    CHECK(Eventually([&] { return ahead.Buffered() >= 8; }));
    ahead.Close(*job);
    CHECK_EQ(ahead.Buffered(), 0);
    stopped = job;
    // The walk keeps slots 100 to 199 for itself before the workers reach
    // them; every other slot is read by a worker, once. The workers go on only
    // as the walk gives entries back: a slot read twice, or one the walk kept,
    // would hold its count for good and stop them.
    job = ahead.Post(paths, false);
    int kept = 0, byWorkers = 0, same = 0;
    for (std::size_t i = 100; i < 200; ++i) kept += ahead.Claim(*job, i) == nullptr ? 1 : 0;
    for (std::size_t i = 0; i < paths.size(); i = i == 99 ? 200 : i + 1) {
      tvx::ReadAhead::Slot& slot = job->slots[i];
      if (!Eventually([&] { return slot.state == tvx::ReadAhead::Slot::kDone; })) break;
      byWorkers += slot.byWorker ? 1 : 0;
      const bool handed = ahead.Claim(*job, i) == &slot;
      same += handed && slot.listing.names == "f.txt" && slot.listing.items.size() == 1 ? 1 : 0;
      ahead.Taken(slot);
    }
    CHECK_EQ(kept, 100);
    CHECK_EQ(byWorkers, 300);
    CHECK_EQ(same, 300);
    CHECK_EQ(ahead.Buffered(), 0);
  }
  CHECK(stopped.expired());
  RemoveFolders(made);
}

}  // namespace win32check
