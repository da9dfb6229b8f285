// glob.h -- shell patterns for leaving paths out of a scan, matched byte by byte as fnmatch(3) does
#pragma once

#include <string>
#include <string_view>

namespace tessera::tool {

// "*" any run of bytes, "?" any one byte, "[a-z]" and "[!a-z]" (or "[^a-z]")
// one byte of or not of a set, "\" the next byte literally. With
// `whole_path`, none of them matches "/", which must be matched by a "/"
// (fnmatch's FNM_PATHNAME). A leading "." needs no literal match.
bool GlobMatches(std::string_view pattern, std::string_view text, bool whole_path);

// A path pattern matched part by part between "/": each part as above, and
// a part "**" for any number of parts, none included.
bool PathGlobMatches(std::string_view pattern, std::string_view path);

// One --exclude GLOB, read as a line of .gitignore: a final "/" matches
// directories only ("node_modules/"); a GLOB with no other "/" matches the
// name of what is found, at any depth ("*.png"); one with a "/" elsewhere
// matches the path below the directory given, from its start ("build/*",
// "/build", "**/cache/*"), or else the whole path as shown. A final "/**"
// matches everything inside, not the directory itself.
class ExcludeGlob {
 public:
  explicit ExcludeGlob(std::string_view glob);

  // `below`: the path from the directory given ("a/b"); `shown`: the whole
  // path as shown, "/" between its parts.
  bool Matches(std::string_view name, std::string_view below, std::string_view shown, bool directory) const;

 private:
  std::string glob_;
  bool directories_only_ = false;
  bool anchored_ = false;
};

}  // namespace tessera::tool
