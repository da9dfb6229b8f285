// redact.cpp -- card numbers replaced in a stream of blocks, every other byte written as it came
#include "cards/redact.h"

#include <algorithm>

#include "cards/mask.h"

namespace tessera {
namespace {

constexpr bool IsChainByte(char c) { return IsDigit(c) || c == ' ' || c == '-'; }
constexpr bool IsSeparator(int c) { return c == ' ' || c == '-'; }
constexpr bool IsDigitByte(int c) { return c >= '0' && c <= '9'; }

class StringSink final : public RedactSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  void Put(Text bytes) override { out_ += bytes; }

 private:
  std::string& out_;
};

}  // namespace

void AppendReplacement(const RedactOptions& options, Text number, bool hide_first, bool hide_last, std::string& out) {
  switch (options.form) {
    case RedactForm::Replace:
      out += options.replacement;
      return;
    case RedactForm::Tag: {
      std::array<char, kLongestFinding> digits{};
      std::size_t n = 0;
      for (char c : number)
        if (IsDigit(c)) digits[n++] = c;
      std::array<char, kLongestTag> tag{};
      const std::size_t size = options.tag ? options.tag(options.tag_context, Text(digits.data(), n), tag.data()) : 0;
      out.append(tag.data(), std::min(size, tag.size()));
      return;
    }
    case RedactForm::Mask:
    case RedactForm::First6Last4:
      break;
  }
  const auto digits = static_cast<std::size_t>(std::count_if(number.begin(), number.end(), IsDigit));
  const std::size_t first = options.form == RedactForm::First6Last4 && !hide_first ? kShownFirstDigits : 0;
  const std::size_t last = hide_last ? 0 : kShownLastDigits;
  std::size_t digit = 0;
  for (char c : number) {
    if (IsDigit(c)) {
      out += digit < first || digits - digit <= last ? c : '*';
      ++digit;
    } else {
      out += c;
    }
  }
}

CardRedactor::CardRedactor(const RedactOptions& options) : options_(options), scanner_(options.rule) {}

void CardRedactor::Take(std::span<const CardFinding> findings) {
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(next_pending_));
  next_pending_ = 0;
  for (const CardFinding& f : findings) pending_.push_back({f.offset, f.size, f.bytes});
}

int CardRedactor::At(uint64_t offset, Text block) const {
  if (offset < written_) {
    const uint64_t back = written_ - offset;
    return back <= before_.size() ? static_cast<unsigned char>(before_[before_.size() - back]) : -1;
  }
  const uint64_t in_held = offset - written_;
  if (in_held < held_.size()) return static_cast<unsigned char>(held_[in_held]);
  const uint64_t in_block = in_held - held_.size();
  return in_block < block.size() ? static_cast<unsigned char>(block[in_block]) : -1;
}

void CardRedactor::Copy(uint64_t from, uint64_t to, Text block, RedactSink& out) const {
  if (from >= to) return;
  const uint64_t held_end = written_ + held_.size();
  if (from < held_end) {
    out.Put(Text(held_).substr(from - written_, std::min(to, held_end) - from));
    from = held_end;
  }
  if (from < to) out.Put(block.substr(from - held_end, to - from));
}

void CardRedactor::Settle(Text block, bool finished, RedactSink& out) {
  const uint64_t end = written_ + held_.size() + block.size();
  // The tail of digits and separators may still be part of an undecided
  // number; the finder never keeps more than kRedactHold bytes of it.
  uint64_t limit = end;
  if (!finished) {
    std::size_t tail = 0;
    while (tail < kRedactHold && limit > written_ && IsChainByte(static_cast<char>(At(limit - 1, block)))) {
      --limit;
      ++tail;
    }
  }
  uint64_t at = written_;
  for (; next_pending_ < pending_.size(); ++next_pending_) {
    const Pending& f = pending_[next_pending_];
    if (f.offset >= limit) break;
    const uint64_t f_end = f.offset + f.size;
    // Whether the number chains on with other digits decides what of it
    // may stay: the byte after it, and after a separator one more.
    if (!finished && (f_end >= end || (IsSeparator(At(f_end, block)) && f_end + 1 >= end))) {
      limit = std::max(at, f.offset);
      break;
    }
    const bool hide_first = IsSeparator(At(f.offset - 1, block)) && IsDigitByte(At(f.offset - 2, block));
    const bool hide_last = IsSeparator(At(f_end, block)) && IsDigitByte(At(f_end + 1, block));
    const Text number(f.bytes.data(), f.size);
    if (f.offset >= at) {
      Copy(at, f.offset, block, out);
      replacement_.clear();
      AppendReplacement(options_, number, hide_first, hide_last, replacement_);
      out.Put(replacement_);
    } else if (f_end > at) {
      // Written already in part: cannot happen while the hold covers the
      // finder's undecided tail, but no digit of it goes out regardless.
      replacement_.clear();
      for (std::size_t i = static_cast<std::size_t>(at - f.offset); i < f.size; ++i)
        replacement_ += IsDigit(number[i]) ? '*' : number[i];
      out.Put(replacement_);
    }
    at = std::max(at, f_end);
    limit = std::max(limit, at);
    ++replaced_;
    ++replaced_total_;
  }
  Copy(at, limit, block, out);
  // Keep what is held back, and the two bytes before it for the next decisions.
  std::array<char, 2> before{};
  for (std::size_t i = 0; i < before.size(); ++i) {
    const int c = limit >= before.size() - i ? At(limit - (before.size() - i), block) : -1;
    before[i] = c < 0 ? '\0' : static_cast<char>(c);
  }
  std::string held;
  const uint64_t held_end = written_ + held_.size();
  if (limit < held_end) held.assign(held_, limit - written_, std::string::npos);
  const uint64_t from = std::max(limit, held_end);
  held.append(block.substr(from - held_end));
  held_.swap(held);
  written_ = limit;
  before_ = before;
}

void CardRedactor::Redact(Text block, RedactSink& out) {
  Take(scanner_.Scan(block));
  Settle(block, false, out);
}

void CardRedactor::RedactPadded(PaddedText block, RedactSink& out) {
  Take(scanner_.ScanPadded(block));
  Settle(block, false, out);
}

void CardRedactor::Redact(Text block, std::string& out) {
  StringSink sink(out);
  Redact(block, sink);
}

void CardRedactor::Finish(std::string& out) {
  StringSink sink(out);
  Finish(sink);
}

void CardRedactor::Finish(RedactSink& out) {
  Take(scanner_.Finish());
  Settle(Text(), true, out);
  pending_.clear();
  next_pending_ = 0;
  held_.clear();
  written_ = 0;
  before_ = {};
  replaced_ = 0;
}

std::string RedactCards(Text text, const RedactOptions& options) {
  std::string out;
  out.reserve(text.size());
  CardRedactor redactor(options);
  redactor.Redact(text, out);
  redactor.Finish(out);
  return out;
}

}  // namespace tessera
