// walk.h -- the inputs of a scan: files, standard input, and directories walked in a fixed order
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "tool/platform.h"

namespace tessera::tool {

struct WalkOptions {
  bool follow = false;                // follow symbolic links found in directories
  std::vector<std::string> excludes;  // .gitignore globs for what the walk finds (glob.h)
  bool bare_dot = false;              // the operand "." shows its paths as "a/b", not "./a/b"
};

struct Found {
  enum Kind { File, StandardInput, Notice } kind;
  std::string path;     // UTF-8 on Windows, the system's bytes elsewhere
  std::string message;  // for a notice, with the path already shown escaped
  bool error = false;   // a notice of something that could not be scanned
  sys::Handle handle{};  // a file's, open for reading: whoever takes it closes it
  uint64_t size = 0;     // of a file on disk, as opened
  bool may_wait = false;  // a pipe, terminal or device given: reads may wait for a writer
};

struct WalkCounts {
  uint64_t links_not_followed = 0;
  uint64_t excluded = 0;
  uint64_t walked_already = 0;  // with --follow: directories reached again and not entered
};

// Calls `found` for each input, in the order of the operands and, in a
// directory, of the names' bytes. "-" is standard input. A path given is
// opened as it is, following a symbolic link, and may be a pipe or a device;
// what a directory holds is opened without following links (unless
// `follow`), and only when it is still the regular file or directory that
// the walk saw there. No file or directory on a pseudo file system (proc,
// sysfs, ...) is read during a walk. With `follow`, each directory is walked
// once, however many links lead to it.
void Walk(std::span<const std::string> operands, const WalkOptions& options,
          const std::function<void(Found&&)>& found, WalkCounts& counts);

}  // namespace tessera::tool
