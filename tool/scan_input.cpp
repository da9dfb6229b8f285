// scan_input.cpp -- the bytes of one input in padded blocks, decompressed when they are gzip
#include "tool/scan_input.h"

#include <cstring>

#if TESSERA_HAVE_ZLIB
#include <zlib.h>
#endif

namespace tessera::tool {

#if TESSERA_HAVE_ZLIB
struct ScanInput::Inflater {
  z_stream stream{};
  bool in_member = false;
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};
#else
struct ScanInput::Inflater {};
#endif

ScanInput::ScanInput(sys::Handle in) : in_(in), raw_(new char[kBlock + kPadding]()) {}

ScanInput::~ScanInput() = default;

// Reads once into raw_ from `at`; false at the end of the input or an error.
bool ScanInput::Fill(std::size_t at) {
  const sys::Transfer t = sys::Read(in_, raw_.get() + at, kBlock - at);
  if (t.error != 0) {
    error_ = "cannot read: " + sys::ErrorText(t.error);
    at_end_ = true;
    return false;
  }
  if (t.bytes == 0) {
    at_end_ = true;
    return false;
  }
  raw_size_ = at + t.bytes;
  return true;
}

bool ScanInput::Next(PaddedText& block) {
  if (!started_) {
    started_ = true;
    // Two bytes tell gzip; a pipe may hand them over one at a time.
    while (raw_size_ < 2 && Fill(raw_size_)) {
    }
    if (!error_.empty()) return false;
    compressed_ = raw_size_ >= 2 && static_cast<unsigned char>(raw_[0]) == 0x1f &&
                  static_cast<unsigned char>(raw_[1]) == 0x8b;
    if (compressed_) {
#if TESSERA_HAVE_ZLIB
      plain_.reset(new char[kBlock + kPadding]());
      inflater_ = std::make_unique<Inflater>();
      z_stream& z = inflater_->stream;
      // 16 + the largest window: gzip members only, checked by their CRC.
      if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        error_ = "cannot decompress: out of memory";
        return false;
      }
      inflater_->ready = true;
      z.next_in = reinterpret_cast<Bytef*>(raw_.get());
      z.avail_in = static_cast<uInt>(raw_size_);
      inflater_->in_member = true;
#else
      error_ = "gzip data, and this tessera was built without zlib to read it";
      return false;
#endif
    }
  }
  if (compressed_) return NextInflated(block);
  if (raw_size_ == 0 && (at_end_ || !Fill(0))) return false;
  // The padding after the bytes stays as it was: the scanner only needs it readable.
  block = PaddedText(raw_.get(), raw_size_);
  raw_size_ = 0;
  return true;
}

#if TESSERA_HAVE_ZLIB

bool ScanInput::NextInflated(PaddedText& block) {
  z_stream& z = inflater_->stream;
  for (;;) {
    if (z.avail_in == 0 && !at_end_) {
      if (Fill(0)) {
        z.next_in = reinterpret_cast<Bytef*>(raw_.get());
        z.avail_in = static_cast<uInt>(raw_size_);
      } else if (!error_.empty()) {
        return false;
      }
    }
    if (z.avail_in == 0 && at_end_) {
      if (inflater_->in_member) error_ = "the gzip data ends early: the file is cut short";
      return false;
    }
    if (!inflater_->in_member) {
      // More bytes after a member: the next member, as gzip -d reads them.
      inflateReset(&z);
      inflater_->in_member = true;
    }
    z.next_out = reinterpret_cast<Bytef*>(plain_.get());
    z.avail_out = static_cast<uInt>(kBlock);
    const int result = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = kBlock - z.avail_out;
    if (result == Z_STREAM_END) {
      inflater_->in_member = false;
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      error_ = std::string("damaged gzip data (") + (z.msg ? z.msg : "unknown error") + ")";
      // What came out before the damage is still scanned.
      if (produced == 0) return false;
      at_end_ = true;
      z.avail_in = 0;
      inflater_->in_member = false;
    }
    if (produced > 0) {
      block = PaddedText(plain_.get(), produced);
      return true;
    }
    if (!error_.empty()) return false;
  }
}

#else

bool ScanInput::NextInflated(Text&) { return false; }

#endif

}  // namespace tessera::tool
