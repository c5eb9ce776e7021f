// What the Win32 layer's tests share: a sink that collects entries, the
// test tree's root and a file writer.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "text/Failure.h"

namespace win32check {

struct Entry {
  std::string Name;
  bool IsDir;
  bool IsLink;
  std::uint64_t Size;
  tvx::TDateTime Stamp;
};

class Collect : public tvx::EntrySink {
 public:
  void Add(const tvx::RawEntry& e) override {
    entries.push_back({std::string(e.Name), e.IsDir, e.IsLink, e.Size, e.DateTime});
  }
  const Entry* Find(const std::string& name) const {
    for (const Entry& e : entries) {
      if (e.Name == name) return &e;
    }
    return nullptr;
  }
  std::vector<Entry> entries;
};

inline std::string g_root;  // the test tree, a full path ending in "\"

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  if (h == INVALID_HANDLE_VALUE) return;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

inline std::string ReadFileBytes(const std::string& path) {
  HANDLE h =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(h);
  return bytes;
}

// The error number of the IoFailure fn raises; -1 when it raises none.
inline int IoCodeOf(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const tvx::IoFailure& failure) {
    return failure.Code();
  }
  return -1;
}

// The platform the tests share, made with the first that asks for it.
tvx::Platform& ThePlatform();
// The parameters the tests were started with, GoogleTest's own included.
inline std::vector<std::string> g_args;

}  // namespace win32check
