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

#include "CommandLine.h"
#include "Failure.h"
#include "Platform.h"
#include "VerRes.h"
#include "WideText.h"
#include "Win32Walk.h"

namespace tvx {

namespace {

// Where GetDiskSpace's assertion failures say they come from. The unit name
// and the line numbers 309, 322 and 327 are fixed parts of the assertion
// texts users see, not positions in this file.
constexpr const char* kDriveQuerySource = "Utils";
constexpr int kVersionQueryLine = 309;
constexpr int kLoadLibraryLine = 322;
constexpr int kGetProcAddressLine = 327;

// Not named by every header set; the marker position of the time format.
constexpr LCTYPE kTimeMarkerPosition = 0x1005;

constexpr DWORD kErrorDiskFull = 101;
constexpr UINT kJapaneseCodePage = 932;
constexpr DWORD kErrorInvalidHandle = 6;

struct LibraryFreer {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using LibraryHandle = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

struct EnvironmentFreer {
  void operator()(char* block) const { FreeEnvironmentStringsA(block); }
  void operator()(wchar_t* block) const { FreeEnvironmentStringsW(block); }
};
template <typename Char>
using EnvironmentBlock = std::unique_ptr<Char, EnvironmentFreer>;

// Calls a Win32 function of the shape "fill buf of size n, return the length
// written, or the size needed including the zero when n is too small".
template <typename Fill>
std::wstring ReadGrowing(Fill fill) {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = fill(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) {
      buffer.resize(n);
      return buffer;
    }
    buffer.resize(std::max<std::size_t>(n, buffer.size() * 2));
  }
}

std::string LocaleText(const TextCodec& codec, LCID locale, LCTYPE type) {
  int needed = GetLocaleInfoW(locale, type, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring text(static_cast<std::size_t>(needed), L'\0');
  int got = GetLocaleInfoW(locale, type, text.data(), needed);
  if (got <= 0) return {};
  text.resize(static_cast<std::size_t>(got));
  // The count includes the terminating zero.
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return codec.FromWide(text);
}

bool LocaleFlag(const TextCodec& codec, LCID locale, LCTYPE type, bool fallback) {
  std::string text = LocaleText(codec, locale, type);
  if (text.empty()) return fallback;
  return text[0] != '0';
}

void ReadNames(const TextCodec& codec, LCID locale, const LCTYPE* types, std::string* names,
               std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::string text = LocaleText(codec, locale, types[i]);
    if (!text.empty()) names[i] = std::move(text);
  }
}

// Month and day names, where the locale has them.
void ReadCalendarNames(const TextCodec& codec, LCID locale, LocaleSettings& settings) {
  static constexpr LCTYPE kShortMonths[12] = {
      LOCALE_SABBREVMONTHNAME1,  LOCALE_SABBREVMONTHNAME2,  LOCALE_SABBREVMONTHNAME3,
      LOCALE_SABBREVMONTHNAME4,  LOCALE_SABBREVMONTHNAME5,  LOCALE_SABBREVMONTHNAME6,
      LOCALE_SABBREVMONTHNAME7,  LOCALE_SABBREVMONTHNAME8,  LOCALE_SABBREVMONTHNAME9,
      LOCALE_SABBREVMONTHNAME10, LOCALE_SABBREVMONTHNAME11, LOCALE_SABBREVMONTHNAME12};
  static constexpr LCTYPE kLongMonths[12] = {
      LOCALE_SMONTHNAME1, LOCALE_SMONTHNAME2,  LOCALE_SMONTHNAME3,  LOCALE_SMONTHNAME4,
      LOCALE_SMONTHNAME5, LOCALE_SMONTHNAME6,  LOCALE_SMONTHNAME7,  LOCALE_SMONTHNAME8,
      LOCALE_SMONTHNAME9, LOCALE_SMONTHNAME10, LOCALE_SMONTHNAME11, LOCALE_SMONTHNAME12};
  // Our arrays start on Sunday; Windows numbers the days from Monday.
  static constexpr LCTYPE kShortDays[7] = {LOCALE_SABBREVDAYNAME7, LOCALE_SABBREVDAYNAME1,
                                           LOCALE_SABBREVDAYNAME2, LOCALE_SABBREVDAYNAME3,
                                           LOCALE_SABBREVDAYNAME4, LOCALE_SABBREVDAYNAME5,
                                           LOCALE_SABBREVDAYNAME6};
  static constexpr LCTYPE kLongDays[7] = {LOCALE_SDAYNAME7, LOCALE_SDAYNAME1, LOCALE_SDAYNAME2,
                                          LOCALE_SDAYNAME3, LOCALE_SDAYNAME4, LOCALE_SDAYNAME5,
                                          LOCALE_SDAYNAME6};
  ReadNames(codec, locale, kShortMonths, settings.ShortMonthNames.data(), 12);
  ReadNames(codec, locale, kLongMonths, settings.LongMonthNames.data(), 12);
  ReadNames(codec, locale, kShortDays, settings.ShortDayNames.data(), 7);
  ReadNames(codec, locale, kLongDays, settings.LongDayNames.data(), 7);
}

LocaleSettings ReadLocaleSettings(const TextCodec& codec, const CodePage& code) {
  LCID locale = GetThreadLocale();
  LocaleSettings settings;
  // Pictures and names are in the output's code page, multi-byte or not.
  settings.Code = code;
  settings.DateSeparator = OneCharSetting(LocaleText(codec, locale, LOCALE_SDATE), '/');
  settings.TimeSeparator = OneCharSetting(LocaleText(codec, locale, LOCALE_STIME), ':');
  settings.ThousandSeparator = OneCharSetting(LocaleText(codec, locale, LOCALE_STHOUSAND), ',');

  std::string shortDate = LocaleText(codec, locale, LOCALE_SSHORTDATE);
  settings.ShortDateFormat = shortDate.empty() ? "m/d/yy" : shortDate;

  // Built from the three clock settings; the locale's own time format is
  // deliberately not used. Missing settings give the default form "h:mm:ss AMPM".
  bool hourLeadingZero = LocaleFlag(codec, locale, LOCALE_ITLZERO, false);
  bool twentyFourHour = LocaleFlag(codec, locale, LOCALE_ITIME, false);
  bool markerInFront = LocaleText(codec, locale, kTimeMarkerPosition) == "1";
  settings.LongTimeFormat = BuildLongTimeFormat(hourLeadingZero, !twentyFourHour, markerInFront);

  std::string am = LocaleText(codec, locale, LOCALE_S1159);
  std::string pm = LocaleText(codec, locale, LOCALE_S2359);
  settings.TimeAmString = am.empty() ? "am" : am;
  settings.TimePmString = pm.empty() ? "pm" : pm;
  ReadCalendarNames(codec, locale, settings);
  return settings;
}

// Standard output (which, STD_OUTPUT_HANDLE) or standard error; lines go out
// one by one to a console, and always to standard error.
class StandardOutputSink final : public OutputSink {
 public:
  explicit StandardOutputSink(DWORD which) : handle_(GetStdHandle(which)) {
    interactive_ =
        IsValid() && (which == STD_ERROR_HANDLE || GetFileType(handle_) == FILE_TYPE_CHAR);
  }

  bool IsInteractive() const override { return interactive_; }

  void Write(const char* data, std::size_t size) override {
    if (!IsValid()) throw OutputFailure(kErrorInvalidHandle);
    // Old consoles refuse large single writes; files and pipes take big ones.
    const std::size_t maxChunk = interactive_ ? (8u << 10) : (1u << 20);
    while (size > 0) {
      DWORD chunk = static_cast<DWORD>(std::min(size, maxChunk));
      DWORD written = 0;
      if (!WriteFile(handle_, data, chunk, &written, nullptr)) throw OutputFailure(GetLastError());
      if (written == 0) throw OutputFailure(kErrorDiskFull);
      data += written;
      size -= written;
    }
  }

 private:
  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

  HANDLE handle_;
  bool interactive_ = false;
};

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

  std::vector<std::string> Parameters() override {
    if (codec_.IsUtf8()) {
      const wchar_t* line = GetCommandLineW();
      return CutParameters(line != nullptr ? codec_.FromWide(line) : std::string());
    }
    const char* line = GetCommandLineA();
    return CutParameters(line != nullptr ? line : "");
  }

  std::vector<std::string> Environment() override {
    // NAME=VALUE\0NAME=VALUE\0...\0
    std::vector<std::string> lines;
    if (codec_.IsUtf8()) {
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
    if (codec_.IsUtf8()) {
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
    DWORD attributes = GetFileAttributesW(ExtendedPath(full).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  }

  void ExpectRecursion(EntersSubdirectory enters = {}) override {
    walk_.ExpectRecursion(std::move(enters));
  }
  std::unique_ptr<DirHandle> EnterRoot(const std::string& fullPath) override {
    return walk_.EnterRoot(fullPath);
  }
  std::unique_ptr<DirHandle> Enter(DirHandle& parent, std::string_view name) override {
    return walk_.Enter(parent, name);
  }
  void ReadDirectory(DirHandle& dir, bool withDetails, EntrySink& sink) override {
    walk_.ReadDirectory(dir, withDetails, sink);
  }

  VersionStrings ReadVersion() override {
    TVerRes info(OwnFile());
    return {info.ProductVersion(), info.LegalCopyright(), info.Comments()};
  }

  bool GetDiskSpace(const std::string& path, DiskSpace& space) override {
    OSVERSIONINFOA version{};
    static_assert(sizeof version == 148,
                  "the record without service-pack fields, which every system takes");
    version.dwOSVersionInfoSize = sizeof version;
    if (!GetVersionExA(&version)) {
      throw AssertionFailure("GetVersionEx() Error!", kDriveQuerySource, kVersionQueryLine);
    }
    bool nt = version.dwPlatformId == VER_PLATFORM_WIN32_NT;
    bool win9x = version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    bool hasExtendedQuery = (nt && version.dwMajorVersion >= 4) ||
                            (win9x && version.dwMajorVersion > 4) ||
                            (win9x && (version.dwBuildNumber & 0xFFFF) > 1000);
    // A share is only accepted with its final separator ("\\srv\share\").
    const std::string dir = WithSeparator(path, PathStyle::Windows, code_);
    if (codec_.IsUtf8()) return QueryWide(codec_.ToWide(dir), space);
    if (hasExtendedQuery) return QueryExtended(dir, space);

    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpaceA(dir.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &totalClusters)) {
      return false;
    }
    std::uint64_t clusterBytes = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
    space.Total = totalClusters * clusterBytes;
    space.FreeForCaller = freeClusters * clusterBytes;
    return true;
  }

  TDateTime Now() override {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return MakeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
  }

  LocaleSettings ReadLocale() override {
    if (!locale_) locale_ = ReadLocaleSettings(codec_, code_);
    return *locale_;
  }

  OutputSink& StandardOutput() override {
    if (!output_) output_ = std::make_unique<StandardOutputSink>(STD_OUTPUT_HANDLE);
    return *output_;
  }

  OutputSink& StandardError() override {
    if (!error_) error_ = std::make_unique<StandardOutputSink>(STD_ERROR_HANDLE);
    return *error_;
  }

  // A failure that ends the run is written with the output, where the
  // program's users have always looked for it.
  bool FailuresToStandardError() const override { return false; }

  // Japanese where the ANSI code page can write it.
  Language MessageLanguage() override {
    return GetACP() == kJapaneseCodePage ? Language::Japanese : Language::English;
  }

  std::string FromUtf8(std::string_view text) override {
    if (codec_.IsUtf8() || text.empty() || text.size() > INT_MAX) return std::string(text);
    int size = static_cast<int>(text.size());
    int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (wide <= 0) return std::string(text);
    std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, utf16.data(), wide);
    int ansi = WideCharToMultiByte(CP_ACP, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (ansi <= 0) return std::string(text);
    std::string result(static_cast<std::size_t>(ansi), '\0');
    WideCharToMultiByte(CP_ACP, 0, utf16.data(), wide, result.data(), ansi, nullptr, nullptr);
    return result;
  }

 private:
  // GetDiskFreeSpaceExA is looked up at run time: the first Windows 95
  // releases do not have it.
  static bool QueryExtended(const std::string& path, DiskSpace& space) {
    using Query = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    LibraryHandle kernel(LoadLibraryA("KERNEL32.DLL"));
    if (!kernel) {
      throw AssertionFailure("LoadLibrary(\"KERNEL32.DLL\") Error!", kDriveQuerySource,
                             kLoadLibraryLine);
    }
    FARPROC entry = GetProcAddress(kernel.get(), "GetDiskFreeSpaceExA");
    if (entry == nullptr) {
      throw AssertionFailure("GetProcAddress(\"GetDiskFreeSpaceExA\") Error", kDriveQuerySource,
                             kGetProcAddressLine);
    }
    // Through the generic function type, which the compiler accepts as a
    // stand-in for any other.
    auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(entry));
    ULARGE_INTEGER freeForCaller{}, total{}, totalFree{};
    if (!query(path.c_str(), &freeForCaller, &total, &totalFree)) return false;
    space.Total = total.QuadPart;
    space.FreeForCaller = freeForCaller.QuadPart;
    return true;
  }

  // Under /UTF8 the path may hold any character; such runs are on systems
  // that have the UTF-16 query.
  static bool QueryWide(const std::wstring& path, DiskSpace& space) {
    ULARGE_INTEGER freeForCaller{}, total{}, totalFree{};
    if (!GetDiskFreeSpaceExW(path.c_str(), &freeForCaller, &total, &totalFree)) return false;
    space.Total = total.QuadPart;
    space.FreeForCaller = freeForCaller.QuadPart;
    return true;
  }

  TextCodec codec_;
  CodePage code_;
  Win32Walk walk_{codec_};
  std::optional<LocaleSettings> locale_;
  std::unique_ptr<StandardOutputSink> output_;
  std::unique_ptr<StandardOutputSink> error_;
};

}  // namespace

std::string OwnFile() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    // A full buffer means the name may have been cut (and, on old systems,
    // left without its zero): try again with more room.
    if (n < buffer.size() || buffer.size() >= (1u << 16)) {
      // The version calls take an ANSI name: where a folder's name does not
      // fit the code page, its short name still reaches the file.
      return PathForOutput(std::wstring_view(buffer.data(), n), TextCodec());
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::unique_ptr<Platform> MakePlatform(int, char**) {
  return std::make_unique<Win32Platform>();
}

}  // namespace tvx
