// Cuts a fuzzer's bytes into the several texts a routine takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tvx::fuzz {

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}
  // The next text up to a zero byte (or the end).
  std::string Next() {
    std::size_t end = rest_.find('\0');
    std::string text(rest_.substr(0, end));
    rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
    return text;
  }
  std::uint8_t Byte() {
    if (rest_.empty()) return 0;
    std::uint8_t b = static_cast<std::uint8_t>(rest_[0]);
    rest_.remove_prefix(1);
    return b;
  }
  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};

}  // namespace tvx::fuzz
