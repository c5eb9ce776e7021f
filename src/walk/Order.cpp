#include "Order.h"

#include "text/Failure.h"

namespace tvx {

std::vector<SortKey> ParseOrder(std::string_view value, const std::string& typed) {
  std::vector<SortKey> keys;
  bool reversed = false;
  for (char c : value) {
    if (c == '-' && !reversed) {
      reversed = true;
      continue;
    }
    // The letters in SortBy's order, either case.
    constexpr std::string_view kLetters = "NESDGnesdg";
    static_assert(static_cast<int>(SortBy::DirectoriesFirst) == 4);
    const std::size_t at = kLetters.find(c);
    if (at == std::string_view::npos) throw InvalidValueFailure(typed);
    const SortKey key{static_cast<SortBy>(at % 5), reversed};
    keys.push_back(key);
    reversed = false;
  }
  // A "-" must stand before a letter.
  if (keys.empty() || reversed) throw InvalidValueFailure(typed);
  return keys;
}

bool OrderNeedsDetails(const std::vector<SortKey>& keys) {
  return std::any_of(keys.begin(), keys.end(), [](const SortKey& key) {
    return key.By == SortBy::Size || key.By == SortBy::Date;
  });
}

EntryOrder::EntryOrder(std::vector<SortKey> keys, PathStyle style, const CodePage& code,
                       LetterCase nameCase)
    : keys_(std::move(keys)),
      foldCase_(style == PathStyle::Windows),
      foldUnicode_(!foldCase_ && nameCase == LetterCase::Unicode),
      bytesOnly_(!foldCase_ && !foldUnicode_ && keys_.size() == 1 &&
                 keys_.front().By == SortBy::Name),
      code_(code) {}

namespace {

// The bytes of a name as /U maps them: the ASCII letters of single-byte
// characters in upper case, trail bytes as they are.
class FoldedBytes {
 public:
  FoldedBytes(std::string_view text, const CodePage& code) : text_(text), code_(code) {}
  bool Done() const { return pos_ == text_.size(); }
  unsigned char Next() {
    unsigned char byte = static_cast<unsigned char>(text_[pos_]);
    if (trail_ > 0) {
      --trail_;
    } else {
      trail_ = code_.CharLength(text_, pos_) - 1;
      if (trail_ == 0 && byte >= 'a' && byte <= 'z') byte = static_cast<unsigned char>(byte - 32);
    }
    ++pos_;
    return byte;
  }

 private:
  std::string_view text_;
  const CodePage& code_;
  std::size_t pos_ = 0, trail_ = 0;
};

template <typename T>
int Sign(const T& a, const T& b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

int EntryOrder::CompareNames(std::string_view a, std::string_view b) const {
  if (foldUnicode_) {
    FoldedUnits x(a), y(b);
    while (!x.Done() && !y.Done()) {
      const char32_t p = x.Next(), q = y.Next();
      if (p != q) return p < q ? -1 : 1;
    }
    return Sign(x.Done() ? 0 : 1, y.Done() ? 0 : 1);
  }
  if (!foldCase_) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
  FoldedBytes x(a, code_), y(b, code_);
  while (!x.Done() && !y.Done()) {
    const unsigned char p = x.Next(), q = y.Next();
    if (p != q) return p < q ? -1 : 1;
  }
  return Sign(x.Done() ? 0 : 1, y.Done() ? 0 : 1);
}

int EntryOrder::Compare(const SortKey& key, const TTarvixFileInfo& a,
                        const TTarvixFileInfo& b) const {
  switch (key.By) {
    case SortBy::Name:
      return CompareNames(a.Name(), b.Name());
    case SortBy::Extension:
      return CompareNames(ExtensionOf(a.Name()), ExtensionOf(b.Name()));
    case SortBy::Size:
      return Sign(a.Size(), b.Size());
    case SortBy::Date:
      return Sign(a.ExactDateTime(), b.ExactDateTime());
    case SortBy::DirectoriesFirst:
      break;
  }
  return Sign(!a.IsDir(), !b.IsDir());
}

int EntryOrder::CompareKeys(const TTarvixFileInfo& a, const TTarvixFileInfo& b) const {
  for (const SortKey& key : keys_) {
    const int order = Compare(key, a, b);
    if (order != 0) return key.Reversed ? -order : order;
  }
  return 0;
}

bool EntryOrder::Before(const TTarvixFileInfo& a, const TTarvixFileInfo& b) const {
  if (const int order = CompareKeys(a, b); order != 0) return order < 0;
  // The name last; names equal but for letter case by their bytes, so
  // that two runs give one order.
  const int byName = CompareNames(a.Name(), b.Name());
  return byName != 0 ? byName < 0 : std::strcmp(a.NameText(), b.NameText()) < 0;
}

}  // namespace tvx
