#include "Failure.h"

namespace tvx {

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
