// lines.cpp -- reads a file one line at a time in large blocks
#include "tool/lines.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessera::tool {

namespace {
constexpr std::size_t kBlockSize = 1 << 20;
}

LineReader::LineReader(int fd) : fd_(fd), buffer_(kBlockSize) {}

bool LineReader::Fill() {
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (got > 0) {
      end_ += static_cast<std::size_t>(got);
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error_ = errno;
    at_end_ = true;
    return false;
  }
}

bool LineReader::Next(std::string_view& line) {
  std::size_t searched = begin_;
  for (;;) {
    const char* start = buffer_.data() + begin_;
    const auto* newline = static_cast<const char*>(
        std::memchr(buffer_.data() + searched, '\n', end_ - searched));
    if (newline) {
      std::size_t length = static_cast<std::size_t>(newline - start);
      begin_ += length + 1;
      if (length > 0 && start[length - 1] == '\r') --length;
      line = std::string_view(start, length);
      return true;
    }
    const std::size_t pending = end_ - begin_;
    if (at_end_ || !Fill()) {
      if (begin_ == end_ || error_ != 0) return false;
      line = std::string_view(buffer_.data() + begin_, end_ - begin_);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      begin_ = end_;
      return true;
    }
    searched = pending;  // Fill moved the pending text to the front
  }
}

}  // namespace tessera::tool
