// scan_input.h -- the bytes of one input in padded blocks, decompressed when they are gzip
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "frame/checks.h"
#include "tool/platform.h"

namespace tessera::tool {

// Reads an input in blocks of at most kBlock bytes. One that begins with the
// gzip magic bytes is decompressed, all its members as one text, as gzip -d
// does; positions are then in the decompressed text.
class ScanInput {
 public:
  static constexpr std::size_t kBlock = std::size_t{256} << 10;

  explicit ScanInput(sys::Handle in);
  ~ScanInput();
  ScanInput(const ScanInput&) = delete;
  ScanInput& operator=(const ScanInput&) = delete;

  // The next block; false at the end of the input or at an error. Valid
  // until the next call.
  bool Next(PaddedText& block);

  // Empty when the input ended normally; else what went wrong.
  const std::string& error() const { return error_; }
  bool compressed() const { return compressed_; }

 private:
  bool Fill(std::size_t at);
  bool NextInflated(PaddedText& block);

  struct Inflater;

  sys::Handle in_;
  std::unique_ptr<char[]> raw_;
  std::unique_ptr<char[]> plain_;
  std::unique_ptr<Inflater> inflater_;
  std::size_t raw_size_ = 0;  // bytes read but not yet handed out or inflated
  bool started_ = false;
  bool at_end_ = false;
  bool compressed_ = false;
  std::string error_;
};

}  // namespace tessera::tool
