// scan_layout.h -- how card numbers are printed and typed: the separators between groups and the group sizes
//
// A number written without separators counts by its length alone. One
// written in groups counts only when the groups are one of these layouts,
// all joined by the same separator.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/field.h"

namespace tessera {

enum class Separator : unsigned char { None, Space, Hyphen, NoBreakSpace, NarrowNoBreakSpace, Plus, PercentTwenty };

struct SeparatorForm {
  Separator kind;
  Text bytes;
};

// U+00A0 and U+202F in UTF-8, as word processors and locale formatting
// group digits; + and %20 are a space in form-encoded text.
inline constexpr SeparatorForm kSeparators[] = {
    {Separator::Space, " "},
    {Separator::Hyphen, "-"},
    {Separator::NoBreakSpace, "\xC2\xA0"},
    {Separator::NarrowNoBreakSpace, "\xE2\x80\xAF"},
    {Separator::Plus, "+"},
    {Separator::PercentTwenty, "%20"},
};

inline constexpr std::size_t kLongestSeparator = 3;

// The separator `text` begins with, or Separator::None.
constexpr SeparatorForm SeparatorAt(Text text) {
  for (const SeparatorForm& form : kSeparators)
    if (text.starts_with(form.bytes)) return form;
  return {Separator::None, {}};
}

// Whether `bytes` (fewer than kLongestSeparator) may still grow into a separator.
constexpr bool MayBeSeparator(Text bytes) {
  for (const SeparatorForm& form : kSeparators)
    if (form.bytes.size() > bytes.size() && form.bytes.starts_with(bytes)) return true;
  return false;
}

inline constexpr std::size_t kMostGroups = 5;

struct Layout {
  std::array<uint8_t, kMostGroups> groups;  // sizes, 0 after the last
};

// Group sizes cards are printed and typed in: 4-4-5 and 4-3-3-3 for 13
// digits, 4-6-4 for 14, 4-6-5 for 15, 4-4-4-4 for 16, 4-4-4 and the rest
// for 17 to 19 as payment forms group them, 4-4-4-4-3 and 6-13 for 19.
inline constexpr Layout kLayouts[] = {
    {{4, 4, 5}},    {{4, 3, 3, 3}}, {{4, 6, 4}},       {{4, 6, 5}},  {{4, 4, 4, 4}},
    {{4, 4, 4, 5}}, {{4, 4, 4, 6}}, {{4, 4, 4, 7}}, {{4, 4, 4, 4, 3}}, {{6, 13}},
};

// Whether the sizes of two or more groups are a layout.
constexpr bool IsLayout(std::span<const uint8_t> sizes) {
  if (sizes.size() < 2 || sizes.size() > kMostGroups) return false;
  for (const Layout& layout : kLayouts) {
    std::size_t n = 0;
    while (n < kMostGroups && layout.groups[n] != 0) ++n;
    if (n != sizes.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < n; ++i) same = same && layout.groups[i] == sizes[i];
    if (same) return true;
  }
  return false;
}

// The largest group of any layout: a longer group joins none.
inline constexpr std::size_t kLargestLayoutGroup = 13;

}  // namespace tessera
