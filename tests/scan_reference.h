// scan_reference.h -- card numbers inside text, found the plain way: whole text, every group, every run
//
// The scanner's rule written as directly as it reads, for the tests and the
// fuzzer to hold the streaming scanner against. Whether a run's digits
// qualify is the library's card check (or Luhn check) by definition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "frame/checks.h"

namespace tessera::reference {

struct Finding {
  uint64_t offset;
  uint64_t line;
  uint64_t column;
  std::string number;
  Brand brand;

  bool operator==(const Finding&) const = default;
};

inline std::vector<Finding> FindCards(std::string_view text, bool luhn_only) {
  const std::size_t shortest = 13, longest = luhn_only ? 19 : 16;
  auto is_digit = [](char c) { return c >= '0' && c <= '9'; };

  // Groups: maximal runs of digits, as [begin, end).
  struct Group {
    std::size_t begin, end;
  };
  std::vector<Group> groups;
  for (std::size_t i = 0; i < text.size();) {
    if (!is_digit(text[i])) {
      ++i;
      continue;
    }
    std::size_t j = i;
    while (j < text.size() && is_digit(text[j])) ++j;
    groups.push_back({i, j});
    i = j;
  }
  // Joined: exactly one space or hyphen-minus between two groups.
  auto joined = [&](std::size_t g) {
    const Group &a = groups[g], &b = groups[g + 1];
    return b.begin == a.end + 1 && (text[a.end] == ' ' || text[a.end] == '-');
  };

  std::vector<Finding> findings;
  auto report = [&](std::size_t first, std::size_t last, Brand brand) {
    Finding f;
    f.offset = groups[first].begin;
    f.number = std::string(text.substr(groups[first].begin, groups[last].end - groups[first].begin));
    f.brand = brand;
    f.line = 1;
    std::size_t line_begin = 0;
    for (std::size_t i = 0; i < f.offset; ++i)
      if (text[i] == '\n') {
        ++f.line;
        line_begin = i + 1;
      }
    f.column = f.offset - line_begin + 1;
    findings.push_back(f);
  };

  for (std::size_t chain_first = 0; chain_first < groups.size();) {
    std::size_t chain_end = chain_first + 1;
    while (chain_end < groups.size() && joined(chain_end - 1)) ++chain_end;
    // From each group on: the longest qualifying run, then the group after it.
    for (std::size_t g = chain_first; g < chain_end;) {
      std::string digits;
      std::size_t best = 0;
      Brand best_brand = Brand::None;
      for (std::size_t k = g; k < chain_end; ++k) {
        digits += text.substr(groups[k].begin, groups[k].end - groups[k].begin);
        if (digits.size() > longest) break;  // longer runs only grow
        if (digits.size() < shortest) continue;
        const bool qualifies = luhn_only ? CheckNumber(digits) : CheckCard(digits);
        if (qualifies) {
          best = k - g + 1;
          best_brand = BrandOf(digits);
        }
      }
      if (best == 0) {
        ++g;
      } else {
        report(g, g + best - 1, best_brand);
        g += best;
      }
    }
    chain_first = chain_end;
  }
  return findings;
}

}  // namespace tessera::reference
