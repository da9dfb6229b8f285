// field.h -- the text primitives every check is written in
//
// Positions are 1-based and out-of-range requests shrink to what the text
// holds instead of failing: that is what makes every malformed argument a
// plain "no" further up.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessera {

using Text = std::string_view;

// Byte comparisons only: no locale, no sign trouble with high-bit chars.
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Anything but "0" to "9" is worth 0, yet still occupies its position.
constexpr int32_t DigitValue(char c) { return IsDigit(c) ? c - '0' : 0; }

constexpr Text Substring(Text text, std::ptrdiff_t start, std::ptrdiff_t count) {
  if (count <= 0) return {};
  const std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start - 1);
  if (from >= text.size()) return {};
  const std::size_t n = std::min(static_cast<std::size_t>(count), text.size() - from);
  return Text(text.data() + from, n);
}

constexpr Text Prefix(Text text, std::ptrdiff_t count) { return Substring(text, 1, count); }

constexpr Text Suffix(Text text, std::ptrdiff_t count) {
  if (count <= 0) return {};
  const std::size_t n = std::min(static_cast<std::size_t>(count), text.size());
  return Text(text.data() + text.size() - n, n);
}

// Leading spaces, one optional sign, then the longest run of digits; the
// run is read modulo 2^32 so that no length of digits can overflow.
constexpr int32_t FieldValue(Text text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  uint32_t value = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  return static_cast<int32_t>(negative ? 0u - value : value);
}

}  // namespace tessera
