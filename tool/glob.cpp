// glob.cpp -- shell patterns for leaving paths out of a scan, matched byte by byte as fnmatch(3) does
#include "tool/glob.h"

#include <cstddef>

namespace tessera::tool {
namespace {

// Matches the bracket expression at pattern[p] (just after "[") against
// `c`. Returns where the expression ends (after "]"), or 0 when it has no
// end, and then "[" stands for itself.
std::size_t Bracket(std::string_view pattern, std::size_t p, unsigned char c, bool whole_path, bool& matched) {
  bool negate = false;
  if (p < pattern.size() && (pattern[p] == '!' || pattern[p] == '^')) {
    negate = true;
    ++p;
  }
  bool in_set = false;
  for (bool first = true; p < pattern.size(); first = false) {
    if (pattern[p] == ']' && !first) {
      matched = (in_set != negate) && !(whole_path && c == '/');
      return p + 1;
    }
    auto take = [&]() -> unsigned char {
      if (pattern[p] == '\\' && p + 1 < pattern.size()) ++p;
      return static_cast<unsigned char>(pattern[p++]);
    };
    const unsigned char low = take();
    unsigned char high = low;
    if (p + 1 < pattern.size() && pattern[p] == '-' && pattern[p + 1] != ']') {
      ++p;
      high = take();
    }
    if (low <= c && c <= high) in_set = true;
  }
  return 0;
}

}  // namespace

// The usual walk with one point to return to: the last "*" and where its
// match ended. A later "*" can do all an earlier one could, so only the
// last needs trying again; with whole_path none may take a "/".
bool GlobMatches(std::string_view pattern, std::string_view text, bool whole_path) {
  std::size_t p = 0, t = 0;
  std::size_t star = std::string_view::npos, star_text = 0;
  while (t < text.size()) {
    const auto c = static_cast<unsigned char>(text[t]);
    if (p < pattern.size()) {
      const char op = pattern[p];
      if (op == '*') {
        star = ++p;
        star_text = t;
        continue;
      }
      if (op == '?' && !(whole_path && c == '/')) {
        ++p, ++t;
        continue;
      }
      if (op == '[') {
        bool matched = false;
        const std::size_t after = Bracket(pattern, p + 1, c, whole_path, matched);
        if (after != 0) {
          if (matched) {
            p = after, ++t;
            continue;
          }
        } else if (c == '[') {
          ++p, ++t;
          continue;
        }
      } else if (op != '?') {
        std::size_t literal = p;
        if (op == '\\' && p + 1 < pattern.size()) ++literal;
        if (static_cast<unsigned char>(pattern[literal]) == c) {
          p = literal + 1, ++t;
          continue;
        }
      }
    }
    // No match here: let the last "*" take one more byte, if it may.
    if (star == std::string_view::npos || (whole_path && text[star_text] == '/')) return false;
    p = star;
    t = ++star_text;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace tessera::tool
