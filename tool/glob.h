// glob.h -- shell patterns for leaving paths out of a scan, matched byte by byte as fnmatch(3) does
#pragma once

#include <string_view>

namespace tessera::tool {

// "*" any run of bytes, "?" any one byte, "[a-z]" and "[!a-z]" (or "[^a-z]")
// one byte of or not of a set, "\" the next byte literally. With
// `whole_path`, none of them matches "/", which must be matched by a "/"
// (fnmatch's FNM_PATHNAME). A leading "." needs no literal match.
bool GlobMatches(std::string_view pattern, std::string_view text, bool whole_path);

}  // namespace tessera::tool
