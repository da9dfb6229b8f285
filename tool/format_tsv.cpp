// format_tsv.cpp -- tab-separated columns, one record per line, n/a where nothing was judged
#include "tool/format_tsv.h"

#include <string>

namespace tessera::tool {

TsvFormat::TsvFormat(Writer& out, const FormatOptions& options)
    : out_(out), options_(options), plain_(!options.line_numbers && options.kept.empty()) {
  for (std::size_t brand = 0; brand < kBrandKinds; ++brand)
    for (int checksum = 0; checksum < 2; ++checksum) {
      const CardVerdict v{static_cast<Brand>(brand), checksum == 1};
      card_[EndingIndex(v)] = MakeEnding(std::string(v.valid() ? "\tvalid\t" : "\tinvalid\t") +
                                         std::string(BrandName(v.brand, options.brands)) +
                                         (v.checksum ? "\tpass\tnone\n" : "\tfail\tnone\n"));
    }
  card_empty_ = MakeEnding("\tempty\tn/a\tn/a\tn/a\n");
}

void TsvFormat::Begin() {
  if (!options_.header_row) return;
  out_.Put(HeaderRow(options_, '\t'));
  out_.Put('\n');
  out_.EndRecord();
}

void TsvFormat::PutLastColumns(const Ending& ending, Verdict verdict, Hint hint, const Where& where) {
  const std::string_view columns(ending.text.data(), ending.size);
  out_.Put(columns.substr(0, columns.rfind('\t') + 1));
  out_.Put(verdict == Verdict::kEmpty ? "n/a" : HintCode(hint));
  for (const KeptField& field : where.kept) {
    out_.Put('\t');
    PutKept(out_, field, Quoting::Text);
  }
  out_.Put('\n');
}

void TsvFormat::Id(const IdRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put("\tempty\tn/a\tn/a\tn/a\tn/a");
  } else if (!r.id.check_digits) {
    out_.Put("\tinvalid\tfail\tn/a\tn/a\t");
    out_.Put(HintCode(r.hint));
  } else {
    out_.Put(r.id.valid() ? "\tvalid\tpass\t" : "\tinvalid\tpass\t");
    out_.Put(r.id.unexpired ? "current\t" : "expired\t");
    PutCount(out_, static_cast<uint64_t>(r.id.age));
    out_.Put('\t');
    out_.Put(HintCode(r.hint));
  }
  for (const KeptField& field : r.where.kept) {
    out_.Put('\t');
    PutKept(out_, field, Quoting::Text);
  }
  out_.Put('\n');
  out_.EndRecord();
}

}  // namespace tessera::tool
