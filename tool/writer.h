// writer.h -- buffered output that waits on a full pipe and ends quietly when its reader leaves
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "tool/escape.h"
#include "tool/platform.h"

namespace tessera::tool {

// Collects output and writes it in large blocks, or after every record when
// the output is a terminal. A stream a parent left non-blocking is waited
// on, never given up. When the reader has gone away (`tessera ... | head`)
// the program ends at once with status kTrouble and no message; any other
// write error ends it with a message.
class Writer {
 public:
  explicit Writer(sys::Handle out);
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // The most Room() may be asked for.
  static constexpr std::size_t kMaxRoom = std::size_t{1} << 16;

  // A place for up to `size` bytes (at most kMaxRoom), to be written in
  // place and then kept with Advance.
  char* Room(std::size_t size) {
    if (size > kCapacity - used_) Drain();
    return buffer_.get() + used_;
  }
  void Advance(std::size_t size) { used_ += size; }

  void Put(std::string_view bytes);
  void Put(char c) {
    if (used_ == kCapacity) Drain();
    buffer_[used_++] = c;
  }
  // The shown form of bytes from the input (escape.h), of any length.
  void PutShown(std::string_view bytes, Quoting quoting);

  // After each record: writes when the output is a terminal, or when enough
  // has gathered.
  void EndRecord() {
    if (line_buffered_ || used_ >= kFlushAt) Drain();
  }
  // Writes everything gathered so far, e.g. before waiting for input.
  void Flush() { Drain(); }

 private:
  static constexpr std::size_t kFlushAt = std::size_t{1} << 17;
  static constexpr std::size_t kCapacity = kFlushAt + kMaxRoom;

  void Drain();

  sys::Handle out_;
  bool line_buffered_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
};

// Writes all of `bytes`, waiting while a non-blocking stream is full.
// Returns 0, or the error that stopped it.
int WriteAll(sys::Handle out, std::string_view bytes);

// "tessera: MESSAGE" as one line on standard error, after what the writer on
// standard output holds, so that both appear in order on a terminal. The
// message must already show input bytes escaped (Escaped()); runs of
// digits in it are shown masked, as card numbers are by --mask.
void Complain(std::string_view message);

}  // namespace tessera::tool
