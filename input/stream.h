// stream.h -- bytes pulled from below (a file, or what a decoder makes of other bytes) and why they stopped
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tessera::input {

// Why something inside an input could not be seen into.
enum class Reason : unsigned char {
  kEncrypted,    // a password or key is needed
  kDamaged,      // the data breaks its format's rules, or ends early
  kUnsupported,  // a format recognised but not decoded, by this build or at all
  kTooDeep,      // nested deeper than Limits::depth
  kTooLarge,     // past a limit of size, expansion or memory: a bomb, or too big to decode here
};
inline constexpr std::size_t kReasonCount = 5;

// "encrypted", "damaged", "unsupported", "too-deep", "too-large".
std::string_view ReasonName(Reason reason);

struct Fault {
  enum Kind : unsigned char { kNone, kReadError, kSkipped };
  Kind kind = kNone;
  int error = 0;                     // kReadError: the system's error code
  Reason reason = Reason::kDamaged;  // kSkipped
  std::string detail;                // kSkipped: words for a person, no final period

  explicit operator bool() const { return kind != kNone; }
};

class Stream {
 public:
  virtual ~Stream() = default;
  // Up to `size` (at least 1) bytes into `to`; 0 at the end or at a fault,
  // and 0 from then on.
  virtual std::size_t Read(char* to, std::size_t size) = 0;
  const Fault& fault() const { return fault_; }
  // The bytes come out as they went in: a decoder that found its data was
  // not of its format after all. They are not looked into again.
  virtual bool as_it_is() const { return false; }

 protected:
  // The first fault is kept. They return 0, for `return Fail(...)`.
  std::size_t Fail(Reason reason, std::string detail);
  std::size_t FailRead(int error);
  // Takes over the fault of a stream read from, if it has one.
  std::size_t Inherit(const Stream& below);

  Fault fault_;
};

// How far the input layer goes into one input.
struct Limits {
  unsigned depth = 12;                             // decoders inside one another
  uint64_t ratio = 1000;                           // bytes out per byte in, once past ratio_floor
  uint64_t ratio_floor = uint64_t{16} << 20;
  uint64_t most_decoded = uint64_t{64} << 30;      // bytes out of one decoder
  std::size_t memory = std::size_t{20} << 20;      // for the decoders of one input (windows, tables)
};

}  // namespace tessera::input
