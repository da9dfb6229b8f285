// format_tsv.cpp -- tab-separated columns, one record per line, n/a where nothing was judged
#include "tool/format_tsv.h"

#include <string>

namespace tessera::tool {

TsvFormat::TsvFormat(Writer& out, const FormatOptions& options) : out_(out), options_(options) {
  for (std::size_t brand = 0; brand < kBrandKinds; ++brand)
    for (int checksum = 0; checksum < 2; ++checksum) {
      const CardVerdict v{static_cast<Brand>(brand), checksum == 1};
      card_[EndingIndex(v)] =
          MakeEnding(std::string(v.valid() ? "\tvalid\t" : "\tinvalid\t") + std::string(BrandName(v.brand, options.brands)) +
                     (v.checksum ? "\tpass\n" : "\tfail\n"));
    }
  card_empty_ = MakeEnding("\tempty\tn/a\tn/a\n");
}

void TsvFormat::Begin() {
  if (!options_.header_row) return;
  if (options_.line_numbers) out_.Put("file\tline\t");
  out_.Put(options_.id ? "number\tverdict\tcheck_digits\texpiry\tage\n" : "number\tverdict\tbrand\tchecksum\n");
  out_.EndRecord();
}

void TsvFormat::Id(const IdRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put("\tempty\tn/a\tn/a\tn/a\n");
  } else if (!r.id.check_digits) {
    out_.Put("\tinvalid\tfail\tn/a\tn/a\n");
  } else {
    out_.Put(r.id.valid() ? "\tvalid\tpass\t" : "\tinvalid\tpass\t");
    out_.Put(r.id.unexpired ? "current\t" : "expired\t");
    PutCount(out_, static_cast<uint64_t>(r.id.age));
    out_.Put('\n');
  }
  out_.EndRecord();
}

}  // namespace tessera::tool
