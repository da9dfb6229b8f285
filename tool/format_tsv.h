// format_tsv.h -- tab-separated columns, one record per line, n/a where nothing was judged
#pragma once

#include "tool/format.h"

namespace tessera::tool {

class TsvFormat {
 public:
  TsvFormat(Writer& out, const FormatOptions& options);

  void Begin();

  TESSERA_INLINE void Card(const CardRecord& r) {
    if (plain_ && PutShortPlainCard(out_, r, card_)) return;
    Start(r.where, r.number);
    const Ending& ending = r.verdict == Verdict::kEmpty ? card_empty_ : card_[EndingIndex(r.card)];
    if (r.hint == Hint::kNone && options_.kept.empty()) [[likely]] {
      PutEnding(out_, ending);
    } else {
      PutLastColumns(ending, r.verdict, r.hint, r.where);
    }
    out_.EndRecord();
  }

  // A judged number of a padded buffer, shown as it is, when it is short
  // and plain and nothing more than the verdict is shown; false for any other.
  TESSERA_INLINE bool ShortPlainCard(Text number, const CardVerdict& card) {
    return plain_ && PutShortPlainCard(out_, number, card, card_);
  }

  void Id(const IdRecord& r);

 private:
  TESSERA_INLINE void Start(const Where& where, const Shown& number) {
    if (options_.line_numbers) {
      out_.Put(where.input->text);
      out_.Put('\t');
      PutCount(out_, where.line);
      out_.Put('\t');
      PutCount(out_, where.record);
      out_.Put('\t');
    }
    PutNumber(out_, number, Quoting::Text);
  }

  // The verdict's columns of `ending`, then the hint and the fields kept.
  void PutLastColumns(const Ending& ending, Verdict verdict, Hint hint, const Where& where);

  Writer& out_;
  FormatOptions options_;
  bool plain_;  // no line numbers and no fields kept
  std::array<Ending, 2 * kBrandKinds> card_;
  Ending card_empty_;
};

}  // namespace tessera::tool
