// An in-memory platform for unit tests: a scripted directory tree in a fixed
// order, either path syntax, scripted failures, and counters of what the
// logic asked for.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "Failure.h"
#include "Platform.h"

namespace tvx::test {

struct FakeEntry {
  std::string Name;
  bool IsDir = false;
  bool IsLink = false;
  std::uint64_t Size = 0;
  TDateTime Time = 0;
  bool Inexact = false;
  bool Hidden = false;
  bool ReadOnly = false;
  std::string LongName;  // when Name is a short name
};

class CaptureSink : public OutputSink {
 public:
  bool IsInteractive() const override { return interactive; }
  std::size_t TerminalColumns() const override { return columns; }
  void Write(const char* data, std::size_t size) override {
    ++writes;
    if (failWithCode != 0) throw OutputFailure(failWithCode);
    text.append(data, size);
  }
  std::string text;
  bool interactive = false;
  std::size_t columns = 0;  // a terminal's width; 0 for a file
  int writes = 0;
  int failWithCode = 0;
};

class FakePlatform : public Platform {
 public:
  explicit FakePlatform(PathStyle style = PathStyle::Posix)
      : style_(style), cwd_(style == PathStyle::Posix ? "/work" : "C:\\work") {}

  // Directories are keyed by their full path ending in the separator.
  void AddDir(const std::string& dir, std::vector<FakeEntry> entries) {
    tree[dir] = std::move(entries);
  }

  PathStyle Style() const override { return style_; }
  const CodePage& Code() const override { return code; }
  std::string_view LineBreak() const override { return style_ == PathStyle::Posix ? "\n" : "\r\n"; }
  std::vector<std::string> Parameters() override { return params; }
  std::vector<std::string> Environment() override {
    ++environmentReads;
    return environment;
  }
  bool SameTextIgnoringCase(std::string_view a, std::string_view b) override {
    return EqualIgnoringAsciiCase(a, b);
  }
  std::string CurrentDirectory() override { return cwd_; }
  std::string FullPath(const std::string& path) override {
    return LexicalFullPath(path, cwd_, style_, code);
  }
  bool DirectoryExists(const std::string& path) override {
    return tree.count(WithSeparator(FullPath(path), style_, code)) > 0;
  }
  struct Handle : DirHandle {
    std::string path;
  };
  std::unique_ptr<DirHandle> EnterRoot(const std::string& dir) override { return EnterPath(dir); }
  // A subdirectory's full path is its parent's and its name.
  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) override {
    return EnterPath(static_cast<Handle&>(parent).path + std::string(name) + Separator(style_));
  }
  std::unique_ptr<DirHandle> EnterPath(const std::string& dir) {
    entered.push_back(dir);
    if (auto it = enterFailures.find(dir); it != enterFailures.end()) throw IoFailure(it->second);
    auto handle = std::make_unique<Handle>();
    handle->path = dir;
    return handle;
  }
  void ReadDirectory(DirHandle& handle, bool withDetails, EntrySink& sink) override {
    const std::string& dir = static_cast<Handle&>(handle).path;
    reads.push_back(dir);
    outputAtRead.push_back(out.text);
    if (auto it = readFailures.find(dir); it != readFailures.end()) {
      sink.Add(RawEntry{"read before the failure"});
      throw ReadFailure(it->second);
    }
    if (withDetails) ++detailedReads;
    auto it = tree.find(dir);
    if (it == tree.end()) return;
    for (const FakeEntry& e : it->second) {
      RawEntry raw;
      raw.Name = e.Name;
      raw.IsDir = e.IsDir;
      raw.IsLink = e.IsLink;
      raw.Inexact = e.Inexact;
      raw.Hidden = e.Hidden;
      raw.ReadOnly = e.ReadOnly;
      raw.LongName = e.LongName;
      raw.Size = withDetails ? e.Size : 0;
      raw.DateTime = withDetails ? e.Time : 0;
      sink.Add(raw);
    }
  }
  VersionStrings ReadVersion() override { return version; }
  bool GetDiskSpace(const std::string&, DiskSpace& space) override {
    if (!diskKnown) return false;
    space = disk;
    return true;
  }
  LocaleSettings ReadLocale() override {
    ++localeReads;
    return locale;
  }
  // Each reading of the clock moves it on by clockStep.
  std::uint64_t Milliseconds() override { return clock += clockStep; }
  TDateTime Now() override { return now; }
  void ExpectRecursion(EntersSubdirectory filter = {}) override {
    ++recursionExpected;
    enters = std::move(filter);
  }
  void UseUtf8() override {
    ++utf8Switches;
    if (!utf8Params.empty()) params = utf8Params;
  }
  OutputSink& StandardOutput() override { return out; }
  OutputSink& StandardError() override { return err; }
  bool FailuresToStandardError() const override { return style_ == PathStyle::Posix; }
  Language MessageLanguage() override { return language; }
  std::string FromUtf8(std::string_view text) override { return "<" + std::string(text) + ">"; }

  std::map<std::string, std::vector<FakeEntry>> tree;
  std::map<std::string, int> enterFailures, readFailures;
  std::vector<std::string> params;
  std::vector<std::string> utf8Params;  // what the command line reads as after UseUtf8
  int utf8Switches = 0;
  int recursionExpected = 0;
  EntersSubdirectory enters;  // what reading ahead was told the scan enters
  std::vector<std::string> environment;
  std::vector<std::string> entered, reads;
  std::vector<std::string> outputAtRead;  // what standard output held at each read
  int detailedReads = 0, environmentReads = 0, localeReads = 0;
  VersionStrings version{"1.02", "(C) us", "tests"};
  DiskSpace disk{};
  bool diskKnown = true;
  LocaleSettings locale;
  std::uint64_t clock = 0, clockStep = 0;
  TDateTime now = MakeDateTime(2026, 12, 7, 12, 0, 0);
  CodePage code;
  CaptureSink out, err;
  Language language = Language::English;

 private:
  PathStyle style_;
  std::string cwd_;
};

}  // namespace tvx::test
