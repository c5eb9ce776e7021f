// Full-path and final-separator rules for both path syntaxes.
#include <cstdlib>

#include "FuzzInput.h"
#include "text/Paths.h"
#include "ShiftJis.h"

namespace {

void Check(const std::string& path, const std::string& cwd, tvx::PathStyle style,
           const tvx::CodePage& code) {
  std::string full = tvx::LexicalFullPath(path, cwd, style, code);
  if (full.empty()) std::abort();
  if (style == tvx::PathStyle::Posix) {
    if (full[0] != '/' || full.find("//") != std::string::npos) std::abort();
    if (full.find("/./") != std::string::npos || full.find("/../") != std::string::npos)
      std::abort();
  }
  std::string dir = tvx::WithSeparator(full, style, code);
  // A text that ends in a lone lead byte is not valid in its code page: the
  // separator then becomes its trail byte, as the system itself would read it.
  const bool danglingLead =
      code.IsMultiByte() && tvx::fixtures::IsShiftJisLead(static_cast<unsigned char>(full.back()));
  if (!danglingLead && !tvx::EndsWithChar(dir, tvx::Separator(style), code)) std::abort();
  tvx::WithoutFinalSeparator(dir, style, code);
  tvx::RootPrefix(path, style, code);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tvx::fuzz::Input in(data, size);
  const std::uint8_t mode = in.Byte();
  const std::string path = in.Next();
  const tvx::CodePage code = mode & 2 ? tvx::fixtures::ShiftJis() : tvx::CodePage::SingleByte();
  if (mode & 1) {
    Check(path, "C:\\work\\dir", tvx::PathStyle::Windows, code);
    Check(path, "\\\\srv\\share\\dir", tvx::PathStyle::Windows, code);
  } else {
    // POSIX systems have no double-byte code page.
    Check(path, "/work/dir", tvx::PathStyle::Posix, tvx::CodePage::SingleByte());
  }
  return 0;
}
