// gzip.cpp -- gzip members, one after another as gzip -d reads them, with zlib
#include <climits>
#include <cstring>
#include <string>

#include "input/decoders.h"

#if TESSERA_HAVE_ZLIB
#include <zlib.h>
#endif

namespace tessera::input {

#if TESSERA_HAVE_ZLIB

const bool kHaveGzip = true;

namespace {

class GzipStream final : public Stream {
 public:
  GzipStream(std::unique_ptr<Prefixed> source, Shared& shared)
      : source_(std::move(source)), expansion_(shared.limits), in_(new char[kChunk]) {}
  ~GzipStream() override {
    if (ready_) inflateEnd(&z_);
  }

  bool as_it_is() const override { return raw_ && total_ == 0; }

  std::size_t Read(char* to, std::size_t size) override {
    if (fault_) return 0;
    if (raw_) return ReadRaw(to, size);
    if (!ready_) {
      // 16 + the largest window: gzip members only, each checked by its CRC.
      if (inflateInit2(&z_, 16 + MAX_WBITS) != Z_OK) return Fail(Reason::kTooLarge, "no memory to decompress gzip");
      ready_ = true;
    }
    size = std::min<std::size_t>(size, UINT_MAX);
    for (;;) {
      if (z_.avail_in == 0 && !at_end_ && !Fill()) return 0;
      if (!in_member_) {
        // Between members: zero bytes are padding, as gzip -t takes them;
        // another member begins with 1f; anything else is no gzip data.
        while (z_.avail_in > 0 && *z_.next_in == 0) ++z_.next_in, --z_.avail_in;
        if (z_.avail_in == 0) {
          if (at_end_) return 0;
          continue;
        }
        if (*z_.next_in != 0x1f) {
          raw_ = true;
          late_ = "bytes after the end of the gzip data are no gzip data; they are scanned as they are";
          return ReadRaw(to, size);
        }
        inflateReset(&z_);
        in_member_ = true;
      }
      if (z_.avail_in == 0 && at_end_) return Fail(Reason::kDamaged, "the gzip data ends early: the file is cut short");
      z_.next_out = reinterpret_cast<Bytef*>(to);
      z_.avail_out = static_cast<uInt>(size);
      const int result = inflate(&z_, Z_NO_FLUSH);
      const std::size_t produced = size - z_.avail_out;
      if (result == Z_STREAM_END) {
        in_member_ = false;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        if (produced == 0 && total_ == 0 && source_->Rewind()) {
          // A gzip header and then no deflate data: a text that begins like
          // gzip, scanned as the bytes it is.
          raw_ = true;
          at_end_ = false;
          z_.avail_in = 0;
          late_ = "a gzip header without gzip data after it; the bytes are scanned as they are";
          return ReadRaw(to, size);
        }
        Fail(Reason::kDamaged, std::string("damaged gzip data (") + (z_.msg ? z_.msg : "unknown error") + ")");
        return Count(produced);
      }
      if (produced > 0) return Count(produced);
    }
  }

 private:
  bool Fill() {
    const std::size_t n = source_->Read(in_.get(), kChunk);
    if (n == 0) {
      at_end_ = true;
      Inherit(*source_);
      return !fault_;
    }
    read_ += n;
    z_.next_in = reinterpret_cast<Bytef*>(in_.get());
    z_.avail_in = static_cast<uInt>(n);
    return true;
  }

  // Bytes out, and the fault of passing a limit with them.
  std::size_t Count(std::size_t produced) {
    total_ += produced;
    if (std::string why = expansion_.Out(produced, read_ - z_.avail_in); !why.empty()) Fail(Reason::kTooLarge, std::move(why));
    return produced;
  }

  // What is left of the input, as it is.
  std::size_t ReadRaw(char* to, std::size_t size) {
    std::size_t n = 0;
    if (z_.avail_in > 0) {
      n = std::min<std::size_t>(size, z_.avail_in);
      std::memcpy(to, z_.next_in, n);
      z_.next_in += n;
      z_.avail_in -= static_cast<uInt>(n);
    } else if (!at_end_) {
      n = source_->Read(to, size);
    }
    if (n == 0) {
      at_end_ = true;
      Inherit(*source_);
      Fail(Reason::kDamaged, late_);
    }
    return n;
  }

  std::unique_ptr<Prefixed> source_;
  Expansion expansion_;
  std::unique_ptr<char[]> in_;
  z_stream z_{};
  bool ready_ = false;
  bool in_member_ = true;
  bool at_end_ = false;
  bool raw_ = false;
  uint64_t total_ = 0;
  uint64_t read_ = 0;
  std::string late_;  // the fault to report at the end of raw bytes
};

}  // namespace

std::unique_ptr<Stream> MakeGzip(std::unique_ptr<Prefixed> source, Shared& shared) {
  return std::make_unique<GzipStream>(std::move(source), shared);
}

#else

const bool kHaveGzip = false;

std::unique_ptr<Stream> MakeGzip(std::unique_ptr<Prefixed>, Shared&) { return nullptr; }

#endif

}  // namespace tessera::input
