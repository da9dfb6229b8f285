// format_csv.cpp -- the columns of TSV as CSV (RFC 4180), after a header row, for spreadsheets and data frames
#include "tool/format_csv.h"

namespace tessera::tool {

void CsvFormat::Begin() {
  out_.Put(HeaderRow(options_, ','));
  out_.Put('\n');
  out_.EndRecord();
}

void CsvFormat::Start(const Where& where, const Shown& number) {
  if (options_.line_numbers) {
    out_.Put(where.input->csv);
    out_.Put(',');
    PutCount(out_, where.line);
    out_.Put(',');
    PutCount(out_, where.record);
    out_.Put(',');
  }
  PutCsvField(out_, number.bytes, number.shortened, number.size);
}

void CsvFormat::End(Verdict verdict, Hint hint, const Where& where) {
  out_.Put(',');
  out_.Put(verdict == Verdict::kEmpty ? "n/a" : HintCode(hint));
  for (const KeptField& field : where.kept) {
    out_.Put(',');
    PutCsvField(out_, field.bytes, field.shortened, field.size);
  }
  out_.Put('\n');
  out_.EndRecord();
}

void CsvFormat::Card(const CardRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put(",empty,n/a,n/a");
  } else {
    out_.Put(r.card.valid() ? ",valid," : ",invalid,");
    out_.Put(BrandName(r.card.brand, options_.brands));
    out_.Put(r.card.checksum ? ",pass" : ",fail");
  }
  End(r.verdict, r.hint, r.where);
}

void CsvFormat::Id(const IdRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put(",empty,n/a,n/a,n/a");
  } else if (!r.id.check_digits) {
    out_.Put(",invalid,fail,n/a,n/a");
  } else {
    out_.Put(r.id.valid() ? ",valid,pass," : ",invalid,pass,");
    out_.Put(r.id.unexpired ? "current," : "expired,");
    PutCount(out_, static_cast<uint64_t>(r.id.age));
  }
  End(r.verdict, r.hint, r.where);
}

}  // namespace tessera::tool
