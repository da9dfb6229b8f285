// format_csv.h -- the columns of TSV as CSV (RFC 4180), after a header row, for spreadsheets and data frames
#pragma once

#include "tool/format.h"

namespace tessera::tool {

class CsvFormat {
 public:
  CsvFormat(Writer& out, const FormatOptions& options) : out_(out), options_(options) {}

  void Begin();
  void Card(const CardRecord& r);
  void Id(const IdRecord& r);

 private:
  void Start(const Where& where, const Shown& number);
  // The hint, the fields kept and the line end.
  void End(Verdict verdict, Hint hint, const Where& where);

  Writer& out_;
  FormatOptions options_;
};

}  // namespace tessera::tool
