#include "Messages.h"

#include "Failure.h"
#include "Platform.h"

namespace tvx {

namespace {

constexpr const char* kHelpText =
    "\r\n"
    "<HOW TO USE> TVX [COMMAND] DIRECTORY [OPTIONS]\r\n"
    "- COMMAND\r\n"
    "  H[ELP]  Display this\r\n"
    "  L[IST]  List files\r\n"
    "  D[IR]   Slightly similar to Dir command?\r\n"
    "  S[TAT]  Display directory infomation\r\n"
    "- DIRECTORY  List up root directory\r\n"
    "- OPTIONS\r\n"
    "  /F[ILENAMEONLY]  List up file name only, Not fullpath\r\n"
    "  /[NO]Q[UOTE]  Omit quoting\r\n"
    "  /[NO]D[IR]  Omit directories\r\n"
    "  /L[OWER]  Lower case file or directory name(LOWER has higher priority than UPPER)\r\n"
    "  /U[PPER]  Upper case file or directory name\r\n"
    "  /R[ECURSIVE]  List up sub directories\r\n"
    "  /P(REFIX)=VALUE[%ENV%,$MACRO]  Prefix value\r\n"
    "  /S(UFFIX)=VALUE[%ENV%,$MACRO]  Suffix value\r\n"
    "     %ENV%  System environment variable\r\n"
    "     MACRO\r\n"
    "       $SELF  Listed file or directory name\r\n"
    "       $FULL  Full file or directory name\r\n"
    "       $SHORT  Only file or Directory name\r\n"
    "       $DATETIME  File date and time\r\n"
    "       $DATE  File date\r\n"
    "       $TIME  File time";

}  // namespace

std::string BannerText(const VersionStrings& version) {
  return "\r\nTarvix ver. " + version.ProductVersion + "\r\n " + version.LegalCopyright + " (" +
         version.Comments + ")";
}

std::string UsageText(const VersionStrings& version) {
  return BannerText(version) + "\r\n" + kHelpText;
}

std::string UnknownCommandText(const VersionStrings& version) {
  return "\r\nCommand Unknown.\r\n" + BannerText(version);
}

std::string NotFoundText(const std::string& dir) {
  return "Specified directory [" + dir + "] is not found.";
}

std::string IoFailureText(int code) {
  switch (code) {
    case 2:
      return "ﾌｧｲﾙが見つかりません";
    case 3:
      return "不正なﾌｧｲﾙ名です";
    case 4:
      return "ｵｰﾌﾟﾝしたﾌｧｲﾙが多すぎます";
    case 5:
      return "ﾌｧｲﾙへのｱｸｾｽが拒否されました";
    case 100:
      return "ﾌｧｲﾙの末尾以降を読み込みました";
    case 101:
      return "ﾃﾞｨｽｸがいっぱいです";
    case 106:
      return "入力値が数値ではありません";
    default:
      return "I/O ｴﾗｰ (" + std::to_string(code) + ")";
  }
}

std::string AssertionFailureText(const AssertionFailure& failure) {
  return failure.Text() + " (" + failure.Source() + ", " + std::to_string(failure.Line()) + " 行)";
}

std::string OutOfMemoryText() {
  return "ﾒﾓﾘが足りません";
}

}  // namespace tvx
