// The Win32 side of the platform boundary. Texts are in the system's ANSI
// code page, as the output is, or in UTF-8 under /UTF8; the system is asked
// in UTF-16 wherever a text may hold any character (names, paths, settings).
#include <windows.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "RealFileSystem.h"
#include "VerRes.h"
#include "WideText.h"
#include "Win32Dirs.h"
#include "Win32DiskSpace.h"
#include "Win32Listing.h"
#include "Win32Locale.h"
#include "Win32StdSink.h"
#include "Win32Threads.h"
#include "platform/Platform.h"
#include "text/CommandLine.h"
#include "text/Failure.h"

namespace tvx {

namespace {

constexpr UINT kJapaneseCodePage = 932;

struct EnvironmentFreer {
  void operator()(char* block) const { FreeEnvironmentStringsA(block); }
  void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};
template <typename Char>
using EnvironmentBlock = std::unique_ptr<Char, EnvironmentFreer>;

class Win32Platform final : public Platform {
 public:
  Win32Platform() {
    std::array<bool, 256> lead{};
    for (int b = 0; b < 256; ++b) lead[b] = IsDBCSLeadByte(static_cast<BYTE>(b)) != FALSE;
    code_ = CodePage(lead);
    // Where the system's ANSI code page is UTF-8 itself, the ANSI texts are
    // UTF-8: take the UTF-8 path, whose conversions know that code page.
    if (GetACP() == CP_UTF8) UseUtf8();
  }

  PathStyle Style() const override { return PathStyle::Windows; }
  const CodePage& Code() const override { return code_; }
  std::string_view LineBreak() const override { return "\r\n"; }

  void UseUtf8() override {
    codec_.UseUtf8();
    code_ = CodePage::Utf8();
    locale_.reset();
  }
  void UseWtf8() override {
    UseUtf8();
    codec_.UseWtf8();
  }

  // cmd reads a batch file in the console's output code page; a program
  // without a console is started with the OEM one.
  bool UseConsoleCodePage() override {
    UINT page = GetConsoleOutputCP();
    if (page == 0) page = GetOEMCP();
    if (page == CP_UTF8) {
      UseUtf8();
      return true;
    }
    if (page == GetACP() || !IsValidCodePage(page)) return false;
    codec_.UsePage(page);
    std::array<bool, 256> lead{};
    for (int b = 0; b < 256; ++b) lead[b] = IsDBCSLeadByteEx(page, static_cast<BYTE>(b)) != FALSE;
    code_ = CodePage(lead);
    locale_.reset();
    return true;
  }

  std::vector<std::string> Parameters() override {
    if (!codec_.IsAnsi()) {
      const wchar_t* line = GetCommandLineW();
      return CutParameters(line != nullptr ? codec_.FromWide(line) : std::string());
    }
    const char* line = GetCommandLineA();
    return CutParameters(line != nullptr ? line : "");
  }

  std::vector<std::string> Environment() override {
    // NAME=VALUE\0NAME=VALUE\0...\0
    std::vector<std::string> lines;
    if (!codec_.IsAnsi()) {
      EnvironmentBlock<wchar_t> block(GetEnvironmentStringsW());
      for (const wchar_t* p = block.get(); p != nullptr && *p != L'\0';) {
        const std::wstring_view line(p);
        p += line.size() + 1;
        lines.push_back(codec_.FromWide(line));
      }
      return lines;
    }
    EnvironmentBlock<char> block(GetEnvironmentStringsA());
    for (const char* p = block.get(); p != nullptr && *p != '\0';) {
      std::string line(p);
      p += line.size() + 1;
      lines.push_back(std::move(line));
    }
    return lines;
  }

  bool SameTextIgnoringCase(std::string_view a, std::string_view b) override {
    if (a.size() > INT_MAX || b.size() > INT_MAX) return false;
    if (!codec_.IsAnsi()) {
      const std::wstring wa = codec_.ToWide(a), wb = codec_.ToWide(b);
      return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wa.c_str(),
                            static_cast<int>(wa.size()), wb.c_str(),
                            static_cast<int>(wb.size())) == CSTR_EQUAL;
    }
    // An empty text is given as a zero count; a null pointer would be refused.
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.empty() ? "" : a.data(),
                          static_cast<int>(a.size()), b.empty() ? "" : b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
  }

  std::string CurrentDirectory() override {
    return PathForOutput(
        ReadGrowing([](wchar_t* buf, DWORD n) { return GetCurrentDirectoryW(n, buf); }), codec_);
  }

  std::string FullPath(const std::string& path) override {
    const std::wstring wide = codec_.ToWide(path);
    std::wstring full = ReadGrowing(
        [&wide](wchar_t* buf, DWORD n) { return GetFullPathNameW(wide.c_str(), n, buf, nullptr); });
    // The system refuses some texts (an empty one, for instance); the lexical
    // rule it follows gives an answer for every text.
    if (full.empty()) return LexicalFullPath(path, CurrentDirectory(), PathStyle::Windows, code_);
    return PathForOutput(full, codec_);
  }

  bool DirectoryExists(const std::string& path) override {
    const std::wstring wide = codec_.ToWide(path);
    const std::wstring full = ReadGrowing(
        [&wide](wchar_t* buf, DWORD n) { return GetFullPathNameW(wide.c_str(), n, buf, nullptr); });
    if (full.empty()) return false;
    const RealFileSystem real;
    DWORD attributes = GetFileAttributesW(ExtendedPath(full).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  std::unique_ptr<DirHandle> EnterRoot(const std::string& fullPath) override {
    return EnterWin32Root(fullPath, codec_);
  }
  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) override {
    return EnterWin32Child(parent, name, codec_);
  }
  std::unique_ptr<DirListing> Read(DirHandle& dir, bool withDetails) override {
    return ReadWin32Dir(dir, withDetails, codec_);
  }
  ThreadKit* Threads() override { return Win32ThreadKit::IfSupported(); }
  // Four readers keep a network share busy. A handle holds no system
  // resource here, only a path: there is no need to close one for room.
  ReadAheadLimits Limits() override { return {4, 4, 1 << 16}; }

  VersionStrings ReadVersion() override {
    TVerRes info(OwnFile());
    return {info.ProductVersion(), info.LegalCopyright(), info.Comments()};
  }

  bool GetDiskSpace(const std::string& path, DiskSpace& space) override {
    return QueryDiskSpace(path, codec_, code_, space);
  }

  TDateTime Now() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return MakeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  }

  // The listing's local times come from FileTimeToLocalFileTime, which
  // applies today's bias to every date: that bias turns them back into
  // the instant.
  int UtcOffsetAt(TDateTime) override {
    TIME_ZONE_INFORMATION zone;
    const DWORD which = GetTimeZoneInformation(&zone);
    LONG bias = zone.Bias;
    if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
    if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
    return which == TIME_ZONE_ID_INVALID ? 0 : static_cast<int>(-bias * 60);
  }

  LocaleSettings ReadLocale() override {
    if (!locale_) locale_ = ReadLocaleSettings(codec_, code_);
    return *locale_;
  }

  // GetTickCount, which every system has; its wrap after 49 days only makes
  // one line early.
  std::uint64_t Milliseconds() override { return GetTickCount(); }

  OutputSink& StandardOutput() override {
    if (!output_) output_ = std::make_unique<StandardOutputSink>(STD_OUTPUT_HANDLE);
    return *output_;
  }

  OutputSink& StandardError() override {
    if (!error_) error_ = std::make_unique<StandardOutputSink>(STD_ERROR_HANDLE);
    return *error_;
  }

  // Japanese where the ANSI code page can write it.
  Language MessageLanguage() override {
    return GetACP() == kJapaneseCodePage ? Language::Japanese : Language::English;
  }

  std::string FromUtf8(std::string_view text) override { return codec_.FromUtf8(text); }

 private:
  TextCodec codec_;
  CodePage code_;
  std::optional<LocaleSettings> locale_;
  std::unique_ptr<StandardOutputSink> output_;
  std::unique_ptr<StandardOutputSink> error_;
};

}  // namespace

std::unique_ptr<Platform> MakePlatform(int, char**) {
  return std::make_unique<Win32Platform>();
}

}  // namespace tvx
