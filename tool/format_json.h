// format_json.h -- JSON Lines: one object per record, the same keys on every one, null where nothing was judged
#pragma once

#include "tool/format.h"

namespace tessera::tool {

class JsonFormat {
 public:
  JsonFormat(Writer& out, const FormatOptions& options) : out_(out), brands_(options.brands) {}

  void Begin() {}
  void Card(const CardRecord& r);
  void Id(const IdRecord& r);

 private:
  void Start(const Where& where, const Shown& number);

  Writer& out_;
  BrandTable brands_;
};

}  // namespace tessera::tool
