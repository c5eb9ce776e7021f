// Checks of the reader that lists a directory through its handle: the
// records the system fills a buffer with, turned into the listing's entries
// as the find calls' records are.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "Checks.h"
#include "Win32Listing.h"

namespace win32check {

namespace {

struct Record {
  std::wstring name;
  DWORD attributes;
  LONGLONG size;
  LONGLONG written;  // 100 ns ticks since 1601, UTC
};

// The records chained as the system chains them: 8-byte aligned, each name
// counted in bytes and followed by no null (here by garbage, which a reader
// relying on a terminator would take in).
std::vector<ULONGLONG> Chain(const std::vector<Record>& records) {
  std::vector<unsigned char> bytes;
  std::size_t last = 0;
  for (const Record& from : records) {
    const std::size_t at = (bytes.size() + 7) & ~std::size_t{7};
    const std::size_t nameBytes = from.name.size() * sizeof(wchar_t);
    const std::size_t fixed = offsetof(FILE_FULL_DIR_INFO, FileName);
    bytes.resize(at + fixed + nameBytes + 4, 0x41);
    FILE_FULL_DIR_INFO record{};
    record.FileAttributes = from.attributes;
    record.EndOfFile.QuadPart = from.size;
    record.AllocationSize.QuadPart = from.size + 4096;
    record.LastWriteTime.QuadPart = from.written;
    record.FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(bytes.data() + at, &record, fixed);
    std::memcpy(bytes.data() + at + fixed, from.name.data(), nameBytes);
    if (at != 0) {
      const DWORD offset = static_cast<DWORD>(at - last);
      std::memcpy(bytes.data() + last, &offset, sizeof offset);
    }
    last = at;
  }
  std::vector<ULONGLONG> aligned((bytes.size() + 7) / 8);
  std::memcpy(aligned.data(), bytes.data(), bytes.size());
  return aligned;
}

LONGLONG Ticks(WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s) {
  SYSTEMTIME local{};
  local.wYear = y;
  local.wMonth = mo;
  local.wDay = d;
  local.wHour = h;
  local.wMinute = mi;
  local.wSecond = s;
  FILETIME localTime{}, utc{};
  SystemTimeToFileTime(&local, &localTime);
  LocalFileTimeToFileTime(&localTime, &utc);
  return static_cast<LONGLONG>(static_cast<ULONGLONG>(utc.dwHighDateTime) << 32 |
                               utc.dwLowDateTime);
}

std::optional<tvx::RawEntry> Find(const tvx::Listing& listing, std::string_view name) {
  for (std::size_t i = 0; i < listing.Count(); ++i) {
    if (listing.At(i).Name == name) return listing.At(i);
  }
  return std::nullopt;
}

tvx::Listing Added(const std::vector<Record>& records, bool withDetails, UINT page = 1252) {
  tvx::TextCodec codec;
  codec.UsePage(page);
  tvx::Listing listing;
  const std::vector<ULONGLONG> chain = Chain(records);
  tvx::AddRecords(L"\\\\?\\Z:\\no such folder\\", chain.data(), withDetails, codec, listing);
  return listing;
}

}  // namespace

TEST(Win32Listing, RecordsBecomeEntries) {
  const LONGLONG noon = Ticks(2021, 6, 15, 13, 45, 27);
  const std::vector<Record> records = {
      {L".", FILE_ATTRIBUTE_DIRECTORY, 0, noon},
      {L"..", FILE_ATTRIBUTE_DIRECTORY, 0, noon},
      {L"plain.txt", FILE_ATTRIBUTE_ARCHIVE, 5, noon},
      {L"Sub", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN, 4096, noon},
      {L"big.bin", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM, 5LL << 30, noon},
      {L"junction", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 77, noon},
  };
  const tvx::Listing listing = Added(records, true);
  ASSERT_EQ(listing.Count(), 4u);  // "." and ".." left out
  EXPECT_EQ(listing.failure, 0);
  const auto plain = Find(listing, "plain.txt");
  const auto sub = Find(listing, "Sub");
  const auto big = Find(listing, "big.bin");
  const auto link = Find(listing, "junction");
  ASSERT_TRUE(plain && sub && big && link);
  EXPECT_EQ(plain->Size, 5u);
  EXPECT_TRUE(plain->Archive && !plain->IsDir && !plain->Hidden && !plain->ReadOnly);
  EXPECT_EQ(plain->DateTime, tvx::MakeDateTime(2021, 6, 15, 13, 45, 27));
  EXPECT_NE(plain->UtcOffset, tvx::kUnknownUtcOffset);
  // A directory's and a link's records may carry a size: never shown.
  EXPECT_EQ(sub->Size, 0u);
  EXPECT_TRUE(sub->IsDir && sub->Hidden && !sub->IsLink);
  EXPECT_EQ(big->Size, 5368709120ull);
  EXPECT_TRUE(big->ReadOnly && big->System && !big->Archive);
  EXPECT_EQ(link->Size, 0u);
  EXPECT_TRUE(link->IsDir && link->IsLink);
  // Only real directories are entered, by their UTF-16 names.
  ASSERT_EQ(listing.subdirectories.size(), 1u);
  EXPECT_EQ(listing.subdirectories.at("Sub"), L"Sub");
  const tvx::Listing plainly = Added(records, false);
  EXPECT_EQ(plainly.At(0).Size + plainly.At(2).Size, 0u);
  EXPECT_EQ(plainly.At(0).DateTime, 0);
}

TEST(Win32Listing, NamesTheCodePageCannotHold) {
  // No short name to stand in (the folder does not exist): "?" marks the
  // name inexact, and the directory is still entered by its own name.
  const tvx::Listing listing =
      Added({{L"a\x4E00.txt", 0, 1, 1}, {L"d\x4E00", FILE_ATTRIBUTE_DIRECTORY, 0, 1}}, true);
  const auto file = Find(listing, "a?.txt");
  const auto dir = Find(listing, "d?");
  ASSERT_TRUE(file && dir);
  EXPECT_TRUE(file->Inexact && dir->Inexact);
  EXPECT_EQ(listing.subdirectories.at("d?"), L"d\x4E00");
  // Written exactly in UTF-8.
  const tvx::Listing utf8 = Added({{L"a\x4E00.txt", 0, 1, 1}}, true, CP_UTF8);
  ASSERT_EQ(utf8.Count(), 1u);
  EXPECT_EQ(utf8.At(0).Name, "a\xE4\xB8\x80.txt");
  EXPECT_FALSE(utf8.At(0).Inexact);
}

// A real folder reads through its handle as by the find calls; what cannot
// be entered fails as the check of entering alone fails.
TEST(Win32Listing, HandleReadMatchesFindRead) {
  tvx::TextCodec codec;
  const std::wstring dir = tvx::ExtendedPath(codec.ToWide(g_root));
  tvx::DirectoryHandle opened;
  EXPECT_EQ(tvx::OpenToList(dir, false, opened), 0u);
  tvx::Listing byHandle, byFind;
  EXPECT_TRUE(opened && tvx::ReadThroughHandle(opened.get(), dir, true, codec, byHandle));
  tvx::ReadListing(dir, true, codec, byFind);
  ASSERT_EQ(byHandle.Count(), byFind.Count());
  for (std::size_t i = 0; i < byFind.Count(); ++i) {
    const tvx::RawEntry found = byFind.At(i);
    const auto same = Find(byHandle, found.Name);
    ASSERT_TRUE(same.has_value());
    EXPECT_TRUE(same->Size == found.Size && same->DateTime == found.DateTime);
    EXPECT_TRUE(same->IsDir == found.IsDir && same->ReadOnly == found.ReadOnly);
  }
  EXPECT_EQ(byHandle.subdirectories, byFind.subdirectories);
  for (const wchar_t* name : {L"plain.txt", L"plain.txt\\", L"missing\\"}) {
    tvx::DirectoryHandle none;
    EXPECT_EQ(tvx::OpenToList(dir + name, false, none), tvx::EnterError(dir + name));
    EXPECT_NE(tvx::EnterError(dir + name), 0u);
    EXPECT_FALSE(none);
  }
}

}  // namespace win32check
