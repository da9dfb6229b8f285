// glob.cpp -- shell patterns for leaving paths out of a scan, matched byte by byte as fnmatch(3) does
#include "tool/glob.h"

#include <cstddef>
#include <vector>

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

namespace {

std::vector<std::string_view> Parts(std::string_view path) {
  std::vector<std::string_view> parts;
  for (std::size_t at = 0;;) {
    const std::size_t end = path.find('/', at);
    if (end == std::string_view::npos) {
      parts.push_back(path.substr(at));
      return parts;
    }
    parts.push_back(path.substr(at, end - at));
    at = end + 1;
  }
}

}  // namespace

// The walk of GlobMatches over parts instead of bytes: "**" is the star,
// and every other part matches exactly one part of the path.
bool PathGlobMatches(std::string_view pattern, std::string_view path) {
  std::vector<std::string_view> want = Parts(pattern);
  // "a/**" is "a/*/**": something inside a, not a.
  if (want.size() > 1 && want.back() == "**") want.insert(want.end() - 1, "*");
  const std::vector<std::string_view> have = Parts(path);
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t p = 0, t = 0, star = kNone, star_text = 0;
  while (t < have.size()) {
    if (p < want.size() && want[p] == "**") {
      star = ++p;
      star_text = t;
      continue;
    }
    if (p < want.size() && GlobMatches(want[p], have[t], true)) {
      ++p, ++t;
      continue;
    }
    if (star == kNone) return false;
    p = star;
    t = ++star_text;
  }
  while (p < want.size() && want[p] == "**") ++p;
  return p == want.size();
}

ExcludeGlob::ExcludeGlob(std::string_view glob) {
  while (glob.size() > 1 && glob.back() == '/') {
    glob.remove_suffix(1);
    directories_only_ = true;
  }
  glob_ = glob;
  anchored_ = glob_.find('/') != std::string::npos;
}

bool ExcludeGlob::Matches(std::string_view name, std::string_view below, std::string_view shown, bool directory) const {
  if (directories_only_ && !directory) return false;
  if (!anchored_) return GlobMatches(glob_, name, false);
  const std::string_view from_top = glob_.front() == '/' ? std::string_view(glob_).substr(1) : std::string_view(glob_);
  return PathGlobMatches(from_top, below) || PathGlobMatches(glob_, shown);
}

}  // namespace tessera::tool
