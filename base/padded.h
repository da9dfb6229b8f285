// padded.h -- text followed by bytes that may be read, so vector code can load past its end
#pragma once

#include <cstddef>
#include <string>

#include "base/field.h"

namespace tessera {

// How many bytes past the end of a PaddedText may be read; whatever they
// hold, no answer depends on them.
inline constexpr std::size_t kPadding = 64;

namespace detail {
inline constexpr char kNoBytes[kPadding] = {};
}  // namespace detail

// A view of text that is followed by kPadding readable bytes. Only the owner
// of a buffer allocated with that room can say so, which is why a Text never
// turns into one by itself; the other way round is free. A view that ends no
// later than this one keeps the promise.
class PaddedText {
 public:
  constexpr PaddedText() = default;
  // The caller vouches that data[size, size + kPadding) is readable.
  explicit constexpr PaddedText(const char* data, std::size_t size) : text_(data, size) {}

  constexpr Text text() const { return text_; }
  constexpr operator Text() const { return text_; }
  constexpr const char* data() const { return text_.data(); }
  constexpr std::size_t size() const { return text_.size(); }
  constexpr bool empty() const { return text_.empty(); }
  constexpr char operator[](std::size_t i) const { return text_[i]; }
  const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(text_.data()); }

  // Like Text::substr: the part ends no later than the whole.
  constexpr PaddedText substr(std::size_t from, std::size_t count = Text::npos) const {
    const Text part = text_.substr(from, count);
    return PaddedText(part.data(), part.size());
  }

 private:
  Text text_{detail::kNoBytes, 0};
};

// A copy of a text in storage of its own, followed by kPadding bytes of `fill`.
class PaddedCopy {
 public:
  explicit PaddedCopy(Text text, char fill = '\0') : bytes_(text), size_(text.size()) { bytes_.append(kPadding, fill); }
  PaddedText text() const { return PaddedText(bytes_.data(), size_); }

 private:
  std::string bytes_;
  std::size_t size_;
};

}  // namespace tessera
