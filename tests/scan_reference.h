// scan_reference.h -- card numbers inside text, found the plain way: whole text, every group, every run
//
// The scanner's rules written as directly as they read, for the tests and the
// fuzzer to hold the streaming scanner against. Whether a run's digits
// qualify is the library's brand table and Luhn check by definition, and a
// finding's judgement is the library's JudgeFinding of the bytes around it;
// what is written out here is which digits are digits, the groups, chains,
// runs, layouts and the search through a chain.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cards/scan.h"
#include "frame/checks.h"

namespace tessera::reference {

struct Finding {
  uint64_t offset;
  uint64_t line;
  uint64_t column;
  std::string number;
  Brand brand;
  Judgement judgement;
  std::string key;
};

namespace detail {

inline bool IsDigitByte(char c) { return c >= '0' && c <= '9'; }
inline bool IsHexByte(char c) { return IsDigitByte(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Which bytes are hex digits of an escape, going forwards through the text.
inline std::vector<bool> EscapeBytes(std::string_view text) {
  std::vector<bool> escape(text.size());
  auto mark = [&](std::size_t from, std::size_t most, bool (*what)(char)) {
    for (std::size_t i = from; i < text.size() && i < from + most && what(text[i]); ++i) escape[i] = true;
  };
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    const char a = text[i], b = text[i + 1];
    if (a == '\\' && b == 'u') mark(i + 2, 4, IsHexByte);
    if (a == '\\' && b == 'x') mark(i + 2, 2, IsHexByte);
    if (a == '%' && !((b == 'B' || b == 'b') && i + 2 < text.size() && IsDigitByte(text[i + 2]))) mark(i + 1, 2, IsHexByte);
    if (a == '&' && b == '#') {
      if (i + 2 < text.size() && (text[i + 2] == 'x' || text[i + 2] == 'X')) mark(i + 3, 6, IsHexByte);
      else mark(i + 2, 7, IsDigitByte);
    }
  }
  return escape;
}

inline void Place(std::string_view text, Finding& f) {
  f.line = 1;
  std::size_t line_begin = 0;
  for (std::size_t i = 0; i < f.offset; ++i)
    if (text[i] == '\n') {
      ++f.line;
      line_begin = i + 1;
    }
  f.column = f.offset - line_begin + 1;
}

struct Group {
  std::size_t begin, end;
  Separator joint;  // to the group before, None if it starts a chain
};

// The rule before today's: space and hyphen join, any run of whole groups
// of 13 to 16 digits (19 for Luhn only), the longest from each group.
inline std::vector<Finding> FindSeed(std::string_view text, bool luhn_only) {
  const std::size_t shortest = 13, longest = luhn_only ? 19 : 16;
  std::vector<Group> groups;
  for (std::size_t i = 0; i < text.size();) {
    if (!IsDigitByte(text[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && IsDigitByte(text[j])) ++j;
    const bool joined = !groups.empty() && i == groups.back().end + 1 && (text[i - 1] == ' ' || text[i - 1] == '-');
    groups.push_back({i, j, joined ? Separator::Space : Separator::None});
    i = j;
  }
  std::vector<Finding> findings;
  for (std::size_t chain_first = 0; chain_first < groups.size();) {
    std::size_t chain_end = chain_first + 1;
    while (chain_end < groups.size() && groups[chain_end].joint != Separator::None) ++chain_end;
    for (std::size_t g = chain_first; g < chain_end;) {
      std::string digits;
      std::size_t best = 0;
      Brand best_brand = Brand::None;
      for (std::size_t k = g; k < chain_end; ++k) {
        digits += text.substr(groups[k].begin, groups[k].end - groups[k].begin);
        if (digits.size() > longest) break;
        if (digits.size() < shortest) continue;
        if (luhn_only ? CheckNumber(digits) : CheckCard(digits)) {
          best = k - g + 1;
          best_brand = BrandOf(digits);
        }
      }
      if (best == 0) {
        ++g;
        continue;
      }
      Finding f{};
      f.offset = groups[g].begin;
      f.number = std::string(text.substr(groups[g].begin, groups[g + best - 1].end - groups[g].begin));
      f.brand = best_brand;
      f.judgement.reason = best > 1 ? FindingReason::Layout : FindingReason::Plain;
      Place(text, f);
      findings.push_back(f);
      g += best;
    }
    chain_first = chain_end;
  }
  return findings;
}

}  // namespace detail

inline std::vector<Finding> FindCards(std::string_view text, ScanRule rule = ScanRule{}) {
  using namespace detail;
  if (rule.seed()) return FindSeed(text, rule.luhn_only);

  // Groups: maximal runs of digits that are no escape's.
  const std::vector<bool> escape = EscapeBytes(text);
  auto is_digit = [&](std::size_t i) { return IsDigitByte(text[i]) && !escape[i]; };
  std::vector<Group> groups;
  for (std::size_t i = 0; i < text.size();) {
    if (!is_digit(i)) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && is_digit(j)) ++j;
    // Joined: exactly the bytes of one separator between the two groups.
    Separator joint = Separator::None;
    if (!groups.empty()) {
      const std::string_view between = text.substr(groups.back().end, i - groups.back().end);
      for (const SeparatorForm& form : kSeparators)
        if (between == form.bytes) joint = form.kind;
    }
    groups.push_back({i, j, joint});
    i = j;
  }

  auto digits_of = [&](std::size_t first, std::size_t last) {
    std::size_t n = 0;
    for (std::size_t k = first; k <= last; ++k) n += groups[k].end - groups[k].begin;
    return n;
  };
  std::vector<Finding> findings;
  for (std::size_t chain_first = 0; chain_first < groups.size();) {
    std::size_t chain_end = chain_first + 1;
    while (chain_end < groups.size() && groups[chain_end].joint != Separator::None) ++chain_end;
    // A number in groups: groups joined by one separator, and by no more
    // groups with it on either side, in a layout.
    auto in_groups = [&](std::size_t first, std::size_t last) {
      const Separator joint = groups[first + 1].joint;
      if (groups[first].joint == joint || (last + 1 < chain_end && groups[last + 1].joint == joint)) return false;
      std::vector<uint8_t> sizes;
      for (std::size_t k = first; k <= last; ++k) {
        if (k > first && groups[k].joint != joint) return false;
        sizes.push_back(static_cast<uint8_t>(std::min<std::size_t>(255, groups[k].end - groups[k].begin)));
      }
      return digits_of(first, last) <= 19 && IsLayout(sizes);
    };
    // From each group: a number in groups that begins with it, or the group
    // alone by its length unless it is part of a number in groups. (No
    // layout has more than kMostGroups groups.)
    auto candidate = [&](std::size_t g) -> std::size_t {
      for (std::size_t k = g + 1; k < chain_end && k < g + kMostGroups; ++k)
        if (in_groups(g, k)) return k;
      const std::size_t length = digits_of(g, g);
      if (length < 13 || length > 19) return chain_end;
      for (std::size_t first = std::max(chain_first + kMostGroups, g + 1) - kMostGroups; first <= g; ++first)
        for (std::size_t last = std::max(first + 1, g); last < chain_end && last < first + kMostGroups; ++last)
          if (in_groups(first, last)) return chain_end;
      return g;
    };
    for (std::size_t g = chain_first; g < chain_end;) {
      const std::size_t last = candidate(g);
      std::string digits;
      for (std::size_t k = g; last != chain_end && k <= last; ++k)
        digits += text.substr(groups[k].begin, groups[k].end - groups[k].begin);
      const Brand brand = BrandOf(digits, rule.brands);
      if (last == chain_end || !CheckNumber(digits) || (brand == Brand::None && !rule.luhn_only)) {
        ++g;
        continue;
      }
      Finding f{};
      f.offset = groups[g].begin;
      const std::size_t end = groups[last].end;
      f.number = std::string(text.substr(f.offset, end - f.offset));
      f.brand = brand;
      const std::size_t from = f.offset > kContext ? f.offset - kContext : 0;
      const std::string_view before = text.substr(from, f.offset - from), after = text.substr(end, kContext);
      f.judgement = JudgeFinding(before, f.number, after, last > g, g == chain_first);
      f.key = std::string(f.judgement.key.name);
      f.judgement.key = {};
      Place(text, f);
      findings.push_back(f);
      g = last + 1;
    }
    chain_first = chain_end;
  }
  return findings;
}

}  // namespace tessera::reference
