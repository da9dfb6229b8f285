// stream.cpp -- the pieces every layer is made of: faults, borrowed and prefixed streams, limits, plain text
#include <algorithm>
#include <cstring>
#include <string>

#include "input/decoders.h"
#include "input/stream.h"

namespace tessera::input {

std::string_view ReasonName(Reason reason) {
  switch (reason) {
    case Reason::kEncrypted: return "encrypted";
    case Reason::kDamaged: return "damaged";
    case Reason::kUnsupported: return "unsupported";
    case Reason::kTooDeep: return "too-deep";
    case Reason::kTooLarge: return "too-large";
  }
  return "damaged";
}

std::size_t Stream::Fail(Reason reason, std::string detail) {
  if (!fault_) {
    fault_.kind = Fault::kSkipped;
    fault_.reason = reason;
    fault_.detail = std::move(detail);
  }
  return 0;
}

std::size_t Stream::FailRead(int error) {
  if (!fault_) {
    fault_.kind = Fault::kReadError;
    fault_.error = error;
  }
  return 0;
}

std::size_t Stream::Inherit(const Stream& below) {
  if (!fault_ && below.fault()) fault_ = below.fault();
  return 0;
}

std::string Expansion::Out(uint64_t bytes, uint64_t consumed) {
  out_ += bytes;
  if (out_ > limits_.most_decoded)
    return "more than " + std::to_string(limits_.most_decoded >> 30) + " GiB decoded: the rest is not read";
  if (out_ > limits_.ratio_floor && out_ / limits_.ratio > consumed)
    return "expands more than " + std::to_string(limits_.ratio) + " times (" + std::to_string(out_ >> 20) +
           " MiB from " + std::to_string(consumed >> 10) + " KiB): a decompression bomb, not read further";
  return {};
}

bool Decompressor::Fill() {
  if (available_ > 0 || at_end_) return true;
  const std::size_t n = source_->Read(in_.get(), kChunk);
  if (n == 0) {
    at_end_ = true;
    Inherit(*source_);
    return !fault_;
  }
  read_ += n;
  next_ = in_.get();
  available_ = n;
  return true;
}

std::size_t Decompressor::Count(std::size_t produced) {
  if (std::string why = expansion_.Out(produced, read_ - available_); !why.empty()) Fail(Reason::kTooLarge, std::move(why));
  return produced;
}

std::size_t Borrowed::Read(char* to, std::size_t size) {
  if (fault_) return 0;
  const std::size_t n = below_.Read(to, size);
  if (n == 0) Inherit(below_);
  return n;
}

std::size_t Prefixed::Read(char* to, std::size_t size) {
  if (at_ < size_) {
    const std::size_t n = std::min(size, size_ - at_);
    std::memcpy(to, head_.get() + at_, n);
    at_ += n;
    return n;
  }
  // The head is no longer needed once read.
  if (head_) {
    head_.reset();
    size_ = at_ = 0;
  }
  if (fault_) return 0;
  past_head_ = true;
  const std::size_t n = below_->Read(to, size);
  if (n == 0) Inherit(*below_);
  return n;
}

bool Prefixed::Rewind() {
  if (past_head_ || !head_) return false;
  at_ = 0;
  return true;
}

std::size_t TextSource::Read(char* to, std::size_t size) {
  if (rest_.empty() && !Next(rest_)) return 0;
  const std::size_t n = std::min(size, rest_.size());
  std::memcpy(to, rest_.data(), n);
  rest_.remove_prefix(n);
  return n;
}

namespace {

class PlainText final : public TextSource {
 public:
  PlainText(std::unique_ptr<Stream> stream, std::unique_ptr<char[]> head, std::size_t size)
      : stream_(std::move(stream)), buffer_(std::move(head)), size_(size) {}

  bool Next(std::string_view& block) override {
    if (size_ == 0) {
      size_ = stream_->Read(buffer_.get(), kBlock);
      if (size_ == 0) return false;
    }
    // Only the padding is given a value: the rest of the buffer is left as it comes.
    std::memset(buffer_.get() + size_, 0, kBlockPadding);
    block = std::string_view(buffer_.get(), size_);
    size_ = 0;
    return true;
  }

  // The head first, then straight into the reader's buffer.
  std::size_t Read(char* to, std::size_t size) override {
    if (size_ > at_) {
      const std::size_t n = std::min(size, size_ - at_);
      std::memcpy(to, buffer_.get() + at_, n);
      at_ += n;
      return n;
    }
    return stream_->Read(to, size);
  }

  const Fault& fault() const override { return stream_->fault(); }

 private:
  std::unique_ptr<Stream> stream_;
  std::unique_ptr<char[]> buffer_;  // kBlock + kBlockPadding
  std::size_t size_;                // bytes of the next block already read
  std::size_t at_ = 0;              // of them handed out by Read
};

}  // namespace

std::unique_ptr<TextSource> MakePlain(std::unique_ptr<Stream> stream, std::unique_ptr<char[]> head, std::size_t size) {
  return std::make_unique<PlainText>(std::move(stream), std::move(head), size);
}

}  // namespace tessera::input
