// format_json.h -- JSON Lines: one object per record, the same keys on every one, null where nothing was judged
#pragma once

#include <string>
#include <vector>

#include "tool/format.h"

namespace tessera::tool {

class JsonFormat {
 public:
  JsonFormat(Writer& out, const FormatOptions& options);

  void Begin() {}
  void Card(const CardRecord& r);
  void Id(const IdRecord& r);

 private:
  void Start(const Where& where, const Shown& number);
  // The hint, the fields kept and the end of the object.
  void End(Hint hint, const Where& where);

  Writer& out_;
  std::vector<std::string> kept_keys_;  // "\"NAME\":", escaped
  BrandTable brands_;
};

}  // namespace tessera::tool
