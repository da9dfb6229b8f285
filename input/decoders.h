// decoders.h -- what the reader builds its layers from: texts, containers, and one maker per decoder
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "input/input.h"
#include "input/stream.h"

namespace tessera::input {

// Bytes read from below at once by decoders.
inline constexpr std::size_t kChunk = std::size_t{64} << 10;

// Memory for decoders' windows and tables, shared by the layers of one
// input, so that nesting cannot multiply it.
class Budget {
 public:
  explicit Budget(std::size_t bytes) : left_(bytes) {}
  std::size_t left() const { return left_; }
  bool Take(std::size_t bytes) {
    if (bytes > left_) return false;
    left_ -= bytes;
    return true;
  }
  void Give(std::size_t bytes) { left_ += bytes; }

 private:
  std::size_t left_;
};

// Memory taken from a budget for as long as a decoder lives.
class Reservation {
 public:
  Reservation() = default;
  ~Reservation() { Release(); }
  Reservation(const Reservation&) = delete;
  Reservation& operator=(const Reservation&) = delete;
  bool Take(Budget& budget, std::size_t bytes) {
    if (!budget.Take(bytes)) return false;
    Release();
    budget_ = &budget;
    bytes_ = bytes;
    return true;
  }
  void Release() {
    if (budget_) budget_->Give(bytes_);
    budget_ = nullptr;
    bytes_ = 0;
  }

 private:
  Budget* budget_ = nullptr;
  std::size_t bytes_ = 0;
};

// Bytes in and out of one decoder, against the limits of size and expansion.
// Input is counted as the decoder consumed it, not as it was read ahead:
// deflate reaches 1032 to 1, so a chunk read ahead would hide a bomb for
// gigabytes.
class Expansion {
 public:
  explicit Expansion(const Limits& limits) : limits_(limits) {}
  // Empty while within the limits after `bytes` more came out of `consumed`
  // bytes in all; else why not.
  std::string Out(uint64_t bytes, uint64_t consumed);

 private:
  const Limits& limits_;
  uint64_t out_ = 0;
};

// What every decoder of one input shares.
struct Shared {
  const Limits& limits;
  Budget budget;
};

// What the decompressors share: chunks read from below, counted against the limits.
class Decompressor : public Stream {
 public:
  Decompressor(std::unique_ptr<Stream> source, Shared& shared)
      : source_(std::move(source)), shared_(shared), expansion_(shared.limits), in_(new char[kChunk]) {}

 protected:
  // The next chunk, once the last is used up: false at a fault; at the end
  // of the input, at_end_ is set and nothing is available.
  bool Fill();
  // Bytes out, and the fault of passing a limit with them.
  std::size_t Count(std::size_t produced);

  std::unique_ptr<Stream> source_;
  Shared& shared_;
  Expansion expansion_;
  std::unique_ptr<char[]> in_;
  const char* next_ = nullptr;  // input not yet decoded
  std::size_t available_ = 0;
  uint64_t read_ = 0;  // bytes read from below
  bool at_end_ = false;
};

// A stream read through a reference: the reader's input, or a container's
// current member, owned elsewhere.
class Borrowed final : public Stream {
 public:
  explicit Borrowed(Stream& below) : below_(below) {}
  std::size_t Read(char* to, std::size_t size) override;

 private:
  Stream& below_;
};

// The first bytes of a stream, read to recognise it, then the rest.
class Prefixed final : public Stream {
 public:
  Prefixed(std::unique_ptr<Stream> below, std::unique_ptr<char[]> head, std::size_t size)
      : below_(std::move(below)), head_(std::move(head)), size_(size) {}
  std::size_t Read(char* to, std::size_t size) override;
  // Back to the first byte: possible while nothing past the head was read.
  bool Rewind();
  // The head's bytes not read yet, without copying them.
  std::string_view Unread() const { return std::string_view(head_.get() + at_, size_ - at_); }
  void Skip(std::size_t n) { at_ += n; }

 private:
  std::unique_ptr<Stream> below_;
  std::unique_ptr<char[]> head_;
  std::size_t size_;
  std::size_t at_ = 0;
  bool past_head_ = false;
};

// A text handed out in padded blocks.
class TextSource {
 public:
  virtual ~TextSource() = default;
  // False at the end of the text, or at a fault.
  virtual bool Next(std::string_view& block) = 0;
  virtual std::size_t Read(char* to, std::size_t size);
  virtual const Fault& fault() const = 0;
  virtual bool recoded() const { return false; }
  virtual Place Locate(uint64_t offset, uint64_t line_start) { return {offset, offset - line_start + 1}; }

 private:
  std::string_view rest_;  // of the last block, for Read
};

// Bytes as they are; the first block is the head the reader looked at.
std::unique_ptr<TextSource> MakePlain(std::unique_ptr<Stream> stream, std::unique_ptr<char[]> head, std::size_t size);

// Members of an archive or parts of a mail, one after another.
struct Member {
  std::string name;        // the path inside; "" for the container's own text
  Stream* stream = nullptr;  // valid until the next call; null when skipped
  Fault skipped;           // why, when it has no stream
  bool plain = false;      // text as it is, not looked into (a mail's headers)
};

class Container {
 public:
  virtual ~Container() = default;
  // False at the end, or at a fault.
  virtual bool Next(Member& member) = 0;
  const Fault& fault() const { return fault_; }

 protected:
  Fault fault_;
};

// The decoders. Each Make*'s source begins with the bytes that told its kind.
std::unique_ptr<Stream> MakeGzip(std::unique_ptr<Prefixed> source, Shared& shared);
std::unique_ptr<Stream> MakeBzip2(std::unique_ptr<Stream> source, Shared& shared);
std::unique_ptr<Stream> MakeXz(std::unique_ptr<Stream> source, Shared& shared);
std::unique_ptr<Stream> MakeZstd(std::unique_ptr<Stream> source, Shared& shared);
std::unique_ptr<Stream> MakePdf(std::unique_ptr<Stream> source, Shared& shared);
std::unique_ptr<Container> MakeArchive(std::unique_ptr<Stream> source, Shared& shared);
std::unique_ptr<Container> MakeMail(std::unique_ptr<Stream> source, Shared& shared, bool mbox);
std::unique_ptr<TextSource> MakeUtf16(std::unique_ptr<Stream> source, bool big_endian, bool byte_order_mark);

// The XML parts of Office Open XML and OpenDocument files that hold text.
enum class OfficePart : unsigned char { kNone, kDocument, kProperties };
OfficePart OfficePartOf(std::string_view member_name);
std::unique_ptr<TextSource> MakeOfficeText(std::unique_ptr<Stream> source, OfficePart part, Shared& shared,
                                           std::vector<LostDigits>& lost);

// Whether this build has each decoder; the reader names what it lacks.
extern const bool kHaveGzip, kHaveBzip2, kHaveXz, kHaveZstd, kHaveArchive, kHaveOffice;
// The library a build without a decoder lacks, for messages.
std::string_view MissingLibrary(Kind kind);

}  // namespace tessera::input
