// Checks of the Win32 layer's texts and output: the standard-handle sinks,
// the locale settings, the code page and the messages' conversions.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Checks.h"
#include "platform/Platform.h"
#include "text/Failure.h"

namespace win32check {

namespace {

// Whether byte leads a double-byte character in code: it joins a trail byte.
bool LeadByte(const tvx::CodePage& code, unsigned char byte) {
  const char text[] = {static_cast<char>(byte), 'A'};
  return code.CharLength(std::string_view(text, 2), 0) == 2;
}

std::string LocaleText(LCTYPE type) {
  char buffer[256] = {};
  if (GetLocaleInfoA(GetThreadLocale(), type, buffer, sizeof buffer) <= 0) return {};
  return buffer;
}

// Runs fn with standard output pointing at handle, on a fresh platform (the
// sink takes the handle when it is first asked for).
void WithStdOut(HANDLE handle, const std::function<void(tvx::OutputSink&)>& fn) {
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, handle);
  auto platform = tvx::MakePlatform(0, nullptr);
  tvx::OutputSink& sink = platform->StandardOutput();
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  fn(sink);
}

}  // namespace

TEST(Win32Texts, OutputToFile) {
  std::string path = g_root + "out.bin";
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_TRUE(h != INVALID_HANDLE_VALUE);
  // Bytes go out unchanged: no line-end or code-page conversion, and a large
  // block arrives whole.
  std::string bytes = "line\r\n\x83\x5C\n";
  for (int i = 0; bytes.size() < 3u << 20; ++i) bytes += static_cast<char>(i * 7);
  WithStdOut(h, [&](tvx::OutputSink& sink) {
    EXPECT_TRUE(!sink.IsInteractive());
    sink.Write(bytes.data(), bytes.size());
    sink.Write("", 0);
  });
  CloseHandle(h);
  EXPECT_TRUE(ReadFileBytes(path) == bytes);
  DeleteFileA(path.c_str());
}

TEST(Win32Texts, OutputFailures) {
  WithStdOut(INVALID_HANDLE_VALUE,
             [](tvx::OutputSink& sink) { EXPECT_EQ(IoCodeOf([&] { sink.Write("x", 1); }), 6); });
  WithStdOut(nullptr,
             [](tvx::OutputSink& sink) { EXPECT_EQ(IoCodeOf([&] { sink.Write("x", 1); }), 6); });

  HANDLE readEnd, writeEnd;
  EXPECT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  CloseHandle(readEnd);
  WithStdOut(writeEnd, [](tvx::OutputSink& sink) {
    // The reader has gone: the failure the sink raises ends the run quietly.
    bool quiet = false;
    try {
      sink.Write("lost\r\n", 6);
    } catch (const tvx::IoFailure& failure) {
      quiet = failure.IsClosedOutput();
    }
    EXPECT_TRUE(quiet);
  });
  CloseHandle(writeEnd);

  std::string path = g_root + "readonly.out";
  WriteFileBytes(path, "");
  HANDLE readOnly =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  WithStdOut(readOnly, [](tvx::OutputSink& sink) {
    EXPECT_EQ(IoCodeOf([&] { sink.Write("x", 1); }), ERROR_ACCESS_DENIED);
  });
  CloseHandle(readOnly);
  DeleteFileA(path.c_str());
}

TEST(Win32Texts, Locale) {
  tvx::Platform& p = ThePlatform();
  tvx::LocaleSettings s = p.ReadLocale();
  // Our arrays begin on Sunday, the system's on Monday.
  EXPECT_EQ(s.LongDayNames[0], LocaleText(LOCALE_SDAYNAME7));
  EXPECT_EQ(s.LongDayNames[1], LocaleText(LOCALE_SDAYNAME1));
  EXPECT_EQ(s.ShortDayNames[6], LocaleText(LOCALE_SABBREVDAYNAME6));
  EXPECT_EQ(s.LongMonthNames[0], LocaleText(LOCALE_SMONTHNAME1));
  EXPECT_EQ(s.ShortMonthNames[11], LocaleText(LOCALE_SABBREVMONTHNAME12));
  EXPECT_TRUE(!s.ShortDateFormat.empty());
  // The forms must know the multi-byte characters of the code page.
  EXPECT_EQ(s.Code.IsMultiByte(), p.Code().IsMultiByte());
  EXPECT_EQ(LeadByte(s.Code, 0x83), LeadByte(p.Code(), 0x83));
  EXPECT_TRUE(!s.TimeAmString.empty() && !s.TimePmString.empty());

  switch (PRIMARYLANGID(LANGIDFROMLCID(GetThreadLocale()))) {
    case LANG_ENGLISH:
      EXPECT_EQ(s.LongDayNames[0], std::string("Sunday"));
      EXPECT_EQ(s.ShortMonthNames[0], std::string("Jan"));
      EXPECT_EQ(s.LongTimeFormat, std::string("h:mm:ss AMPM"));
      EXPECT_EQ(s.DateSeparator, '/');
      EXPECT_EQ(s.ThousandSeparator, ',');
      EXPECT_EQ(s.TimeAmString, std::string("AM"));
      break;
    case LANG_GERMAN:
      EXPECT_EQ(s.LongDayNames[0], std::string("Sonntag"));
      EXPECT_EQ(s.LongTimeFormat, std::string("hh:mm:ss"));
      EXPECT_EQ(s.DateSeparator, '.');
      EXPECT_EQ(s.ThousandSeparator, '.');
      break;
    case LANG_JAPANESE:
      // The 24-hour clock without a leading zero.
      EXPECT_EQ(s.LongTimeFormat, std::string("h:mm:ss"));
      EXPECT_EQ(s.DateSeparator, '/');
      break;
    default:
      std::printf("note: no fixed expectations for locale %04lx\n", GetThreadLocale());
  }
  tvx::LocaleSettings again = p.ReadLocale();
  EXPECT_EQ(again.LongTimeFormat, s.LongTimeFormat);
}

TEST(Win32Texts, Utf8Texts) {
  auto p = tvx::MakePlatform(0, nullptr);
  p->UseUtf8();
  EXPECT_TRUE(p->Code().IsMultiByte());
  EXPECT_EQ(p->Code().CharLength("\xE6\x97\xA5", 0), 3u);
  EXPECT_EQ(p->FromUtf8("I/O \xEF\xBD\xB4"), std::string("I/O \xEF\xBD\xB4"));
  EXPECT_TRUE(p->SameTextIgnoringCase("\xC3\xA4x", "\xC3\x84X"));
  SetEnvironmentVariableW(L"TVX_PLATFORM_TEST", L"\u015D\U0001D11E");
  bool found = false;
  for (const std::string& line : p->Environment()) {
    found = found || line == "TVX_PLATFORM_TEST=\xC5\x9D\xF0\x9D\x84\x9E";
  }
  EXPECT_TRUE(found);
  SetEnvironmentVariableW(L"TVX_PLATFORM_TEST", nullptr);
  const std::string here = p->CurrentDirectory();
  EXPECT_TRUE(p->DirectoryExists(here));
  EXPECT_EQ(p->FullPath(here + "\\\xC3\xA4"), here + "\\\xC3\xA4");
}

TEST(Win32Texts, CodePageAndMessages) {
  tvx::Platform& p = ThePlatform();
  EXPECT_TRUE(p.Style() == tvx::PathStyle::Windows);
  EXPECT_EQ(p.LineBreak(), std::string_view("\r\n"));
  EXPECT_EQ(p.FromUtf8("Specified directory [x] is not found."),
            std::string("Specified directory [x] is not found."));
  EXPECT_TRUE(p.FromUtf8("").empty());
  const tvx::CodePage& code = p.Code();
  EXPECT_TRUE(!LeadByte(code, 'A'));
  EXPECT_TRUE(!LeadByte(code, 0x5C));
  switch (GetACP()) {
    case 932:
      EXPECT_TRUE(code.IsMultiByte());
      EXPECT_TRUE(LeadByte(code, 0x81));
      EXPECT_TRUE(LeadByte(code, 0x83));
      EXPECT_TRUE(LeadByte(code, 0xE0));
      EXPECT_TRUE(!LeadByte(code, 0xA1));  // half-width katakana are single bytes
      EXPECT_EQ(p.FromUtf8("I/O ｴﾗｰ"), std::string("I/O \xB4\xD7\xB0"));
      EXPECT_EQ(p.FromUtf8("ソ 行"), std::string("\x83\x5C \x8D\x73"));
      EXPECT_TRUE(p.MessageLanguage() == tvx::Language::Japanese);
      break;
    case 1252:
      EXPECT_TRUE(!code.IsMultiByte());
      EXPECT_EQ(p.FromUtf8("caf\xC3\xA9"), std::string("caf\xE9"));
      EXPECT_TRUE(p.MessageLanguage() == tvx::Language::English);
      break;
    default:
      std::printf("note: no fixed expectations for code page %u\n", GetACP());
  }
}

}  // namespace win32check
