#include "WideText.h"

#include <climits>

#include "text/WideNames.h"

namespace tvx {

namespace {

int Count(std::size_t size) {
  return size > INT_MAX ? INT_MAX : static_cast<int>(size);
}

}  // namespace

std::wstring TextCodec::ToWide(std::string_view text) const {
  const UINT code = page_;
  const int size = Count(text.size());
  if (size == 0) return {};
  const int wide = MultiByteToWideChar(code, 0, text.data(), size, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring result(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(code, 0, text.data(), size, result.data(), wide);
  return result;
}

bool TextCodec::AppendExact(std::wstring_view text, std::string& out) const {
  if (IsUtf8()) return AppendUtf8(text, out, wtf8_);
  const int size = Count(text.size());
  if (size == 0) return true;
  // Without the flag the system writes look-alikes ("a" for "ä"); some code
  // pages refuse the flag, and the check below catches their look-alikes too.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  int bytes = WideCharToMultiByte(page_, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) {
    flags = 0;
    bytes = WideCharToMultiByte(page_, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
  }
  if (bytes <= 0) {
    out.append(text.size(), '?');
    return false;
  }
  const std::size_t start = out.size();
  out.resize(start + static_cast<std::size_t>(bytes));
  if (WideCharToMultiByte(page_, flags, text.data(), size, out.data() + start, bytes, nullptr,
                          &usedDefault) != bytes) {
    out.resize(start);
    out.append(text.size(), '?');
    return false;
  }
  if (usedDefault) return false;
  // Exact means it reads back as the same name.
  const int back = MultiByteToWideChar(page_, 0, out.data() + start, bytes, nullptr, 0);
  if (back != size) return false;
  std::wstring again(static_cast<std::size_t>(back), L'\0');
  MultiByteToWideChar(page_, 0, out.data() + start, bytes, again.data(), back);
  return again == text;
}

std::string TextCodec::FromWide(std::wstring_view text) const {
  std::string out;
  if (IsUtf8()) {
    AppendUtf8(text, out);
    return out;
  }
  const int size = Count(text.size());
  if (size == 0) return out;
  const int bytes = WideCharToMultiByte(page_, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return out;
  out.resize(static_cast<std::size_t>(bytes));
  WideCharToMultiByte(page_, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

std::string TextCodec::FromUtf8(std::string_view text) const {
  if (IsUtf8() || text.empty() || text.size() > INT_MAX) return std::string(text);
  int size = static_cast<int>(text.size());
  int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  if (wide <= 0) return std::string(text);
  std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, utf16.data(), wide);
  int ansi = WideCharToMultiByte(page_, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
  if (ansi <= 0) return std::string(text);
  std::string result(static_cast<std::size_t>(ansi), '\0');
  WideCharToMultiByte(page_, 0, utf16.data(), wide, result.data(), ansi, nullptr, nullptr);
  return result;
}

}  // namespace tvx
