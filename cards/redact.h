// redact.h -- card numbers replaced in a stream of blocks, every other byte written as it came
//
// The redactor runs the finder over its input and writes the input back with
// each finding replaced. It holds back only the bytes that could still
// belong to a number the finder has not decided yet (a tail of digits,
// spaces and hyphens, never more than kRedactHold bytes), so its memory is
// bounded whatever the input and however the blocks fall.
//
// Output is a fixed point: redacting it again changes nothing. Where a number
// is joined to other digits by one space or hyphen, the digits that would
// otherwise stay in view on that side are hidden as well, so that what is
// left of it cannot chain with its neighbours into a new number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/padded.h"
#include "cards/scan.h"

namespace tessera {

enum class RedactForm : unsigned char {
  Mask,         // every digit but the last four as '*', separators kept
  First6Last4,  // every digit but the first six and the last four as '*'
  Replace,      // a fixed text instead of the whole number
  Tag,          // the text a TagFunction makes of the number's digits
};

// The longest text a TagFunction may write.
inline constexpr std::size_t kLongestTag = 64;
// Writes the replacement for a number, given its digits alone, to `out`
// (room for kLongestTag bytes) and returns its size.
using TagFunction = std::size_t (*)(void* context, Text digits, char* out);

struct RedactOptions {
  RedactForm form = RedactForm::Mask;
  Text replacement;  // RedactForm::Replace; must outlive the redactor
  TagFunction tag = nullptr;  // RedactForm::Tag
  void* tag_context = nullptr;
  ScanRule rule = ScanRule::Card;
};

// More than the finder ever keeps of an undecided chain.
inline constexpr std::size_t kRedactHold = 128;

// Writes the replacement of `number` (digits and separators as found).
// `hide_first` and `hide_last`: the number is joined to other digits on that
// side, so none of its digits there may stay in view.
void AppendReplacement(const RedactOptions& options, Text number, bool hide_first, bool hide_last, std::string& out);

// Where a redactor's output goes, in pieces: the input's own bytes are
// handed over as views of the block, not copied, so a sink that writes them
// out costs no copy of its own.
class RedactSink {
 public:
  virtual void Put(Text bytes) = 0;

 protected:
  ~RedactSink() = default;
};

class CardRedactor {
 public:
  explicit CardRedactor(const RedactOptions& options = {});

  // Hands `out` what this block settles of the output.
  void Redact(Text block, RedactSink& out);
  void RedactPadded(PaddedText block, RedactSink& out);
  // Ends the input: hands over the rest, and starts afresh for another input.
  void Finish(RedactSink& out);

  // The same, appended to a string.
  void Redact(Text block, std::string& out);
  void Finish(std::string& out);

  // Numbers replaced in the current input so far, and in all inputs.
  uint64_t replaced() const { return replaced_; }
  uint64_t replaced_total() const { return replaced_total_; }

 private:
  struct Pending {
    uint64_t offset;
    std::size_t size;
    std::array<char, kLongestFinding> bytes;
  };

  void Take(std::span<const CardFinding> findings);
  void Settle(Text block, bool finished, RedactSink& out);
  int At(uint64_t offset, Text block) const;
  void Copy(uint64_t from, uint64_t to, Text block, RedactSink& out) const;

  RedactOptions options_;
  CardScanner scanner_;
  std::vector<Pending> pending_;  // found, not written yet, in input order
  std::size_t next_pending_ = 0;
  std::string held_;     // input bytes from written_ on, not written yet
  uint64_t written_ = 0;  // offset of held_[0]
  std::array<char, 2> before_{};  // the two input bytes before written_
  std::string replacement_;
  uint64_t replaced_ = 0;
  uint64_t replaced_total_ = 0;
};

// The whole of `text`, redacted.
std::string RedactCards(Text text, const RedactOptions& options = {});

}  // namespace tessera
