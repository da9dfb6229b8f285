// walk.h -- the inputs of a scan: files, standard input, and directories walked in a fixed order
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace tessera::tool {

struct WalkOptions {
  bool follow = false;                // follow symbolic links found in directories
  std::vector<std::string> excludes;  // globs for what the walk finds
};

struct Found {
  enum Kind { File, StandardInput, Notice } kind;
  std::string path;     // UTF-8 on Windows, the system's bytes elsewhere
  std::string message;  // for a notice, with the path already shown escaped
  bool error = false;   // a notice of something that could not be scanned
};

struct WalkCounts {
  uint64_t links_not_followed = 0;
  uint64_t excluded = 0;
};

// Calls `found` for each input, in the order of the operands and, in a
// directory, of the names' bytes. "-" is standard input. A path given is
// followed even when it is a symbolic link; what it holds is walked.
void Walk(std::span<const std::string> operands, const WalkOptions& options,
          const std::function<void(Found&&)>& found, WalkCounts& counts);

}  // namespace tessera::tool
