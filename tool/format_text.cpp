// format_text.cpp -- "NUMBER: valid (Visa, checksum ok)", one record per line
#include "tool/format_text.h"

#include <string>

namespace tessera::tool {

TextFormat::TextFormat(Writer& out, const FormatOptions& options) : out_(out), line_numbers_(options.line_numbers) {
  for (std::size_t brand = 0; brand < kBrandKinds; ++brand)
    for (int checksum = 0; checksum < 2; ++checksum) {
      const CardVerdict v{static_cast<Brand>(brand), checksum == 1};
      const std::string name = v.brand == Brand::None ? "no brand" : std::string(BrandName(v.brand, options.brands));
      card_[EndingIndex(v)] = MakeEnding(std::string(v.valid() ? ": valid (" : ": invalid (") + name +
                                         (v.checksum ? ", checksum ok)\n" : ", checksum fails)\n"));
    }
  card_empty_ = MakeEnding(": empty (brand n/a, checksum n/a)\n");
}

void TextFormat::PutHinted(const Ending& ending, Hint hint) {
  out_.Put(std::string_view(ending.text.data(), ending.size - 2));  // without ")\n"
  out_.Put("; ");
  out_.Put(HintWords(hint));
  out_.Put(")\n");
}

void TextFormat::Id(const IdRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put(": empty (check digits n/a, expiry n/a, age n/a");
  } else if (!r.id.check_digits) {
    out_.Put(": invalid (check digits wrong, expiry n/a, age n/a");
  } else {
    out_.Put(r.id.valid() ? ": valid (check digits ok, " : ": invalid (check digits ok, ");
    out_.Put(r.id.unexpired ? "not expired, age " : "expired, age ");
    PutCount(out_, static_cast<uint64_t>(r.id.age));
  }
  if (r.hint != Hint::kNone) {
    out_.Put("; ");
    out_.Put(HintWords(r.hint));
  }
  out_.Put(")\n");
  out_.EndRecord();
}

}  // namespace tessera::tool
