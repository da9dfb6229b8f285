// format_text.h -- "NUMBER: valid (Visa, checksum ok)", one record per line
#pragma once

#include "tool/format.h"

namespace tessera::tool {

class TextFormat {
 public:
  TextFormat(Writer& out, const FormatOptions& options);

  void Begin() {}

  TESSERA_INLINE void Card(const CardRecord& r) {
    if (!line_numbers_ && PutShortPlainCard(out_, r, card_)) return;
    Start(r.where, r.number);
    const Ending& ending = r.verdict == Verdict::kEmpty ? card_empty_ : card_[EndingIndex(r.card)];
    if (r.hint == Hint::kNone) [[likely]] {
      PutEnding(out_, ending);
    } else {
      PutHinted(ending, r.hint);
    }
    out_.EndRecord();
  }

  // A judged number of a padded buffer, shown as it is, when it is short
  // and plain and no line numbers are shown; false for any other.
  TESSERA_INLINE bool ShortPlainCard(Text number, const CardVerdict& card) {
    return !line_numbers_ && PutShortPlainCard(out_, number, card, card_);
  }

  void Id(const IdRecord& r);

 private:
  TESSERA_INLINE void Start(const Where& where, const Shown& number) {
    if (line_numbers_) {
      out_.Put(where.input->text);
      out_.Put(':');
      PutCount(out_, where.line);
      out_.Put(": ");
    }
    PutNumber(out_, number, Quoting::Text);
  }

  // The ending with the hint inside its parentheses.
  void PutHinted(const Ending& ending, Hint hint);

  Writer& out_;
  bool line_numbers_;
  std::array<Ending, 2 * kBrandKinds> card_;
  Ending card_empty_;
};

}  // namespace tessera::tool
