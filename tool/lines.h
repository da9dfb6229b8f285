// lines.h -- reads a file one line at a time in large blocks
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace tessera::tool {

// Memory stays at one buffer, which grows only to hold the longest line.
class LineReader {
 public:
  explicit LineReader(int fd);

  // The next line without its "\n" or "\r\n"; false at the end of the input
  // or on a read error. A last line without a final newline still counts.
  bool Next(std::string_view& line);

  // errno of the read that failed, 0 when the input ended normally.
  int error() const { return error_; }

 private:
  bool Fill();

  int fd_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_end_ = false;
  int error_ = 0;
};

}  // namespace tessera::tool
