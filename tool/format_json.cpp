// format_json.cpp -- JSON Lines: one object per record, the same keys on every one, null where nothing was judged
#include "tool/format_json.h"

namespace tessera::tool {
namespace {

std::string_view Bool(bool yes) { return yes ? "true" : "false"; }

}  // namespace

void JsonFormat::Start(const Where& where, const Shown& number) {
  out_.Put("{\"file\":\"");
  out_.Put(where.input->json);
  out_.Put("\",\"line\":");
  PutCount(out_, where.line);
  out_.Put(",\"number\":\"");
  PutNumber(out_, number, Quoting::Json);
  out_.Put('"');
}

void JsonFormat::Card(const CardRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put(",\"valid\":null,\"brand\":null,\"checksum\":null}\n");
  } else {
    out_.Put(",\"valid\":");
    out_.Put(Bool(r.card.valid()));
    out_.Put(",\"brand\":\"");
    out_.Put(BrandName(r.card.brand, brands_));
    out_.Put("\",\"checksum\":");
    out_.Put(Bool(r.card.checksum));
    out_.Put("}\n");
  }
  out_.EndRecord();
}

void JsonFormat::Id(const IdRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put(",\"valid\":null,\"check_digits\":null,\"unexpired\":null,\"age\":null}\n");
  } else if (!r.id.check_digits) {
    out_.Put(",\"valid\":false,\"check_digits\":false,\"unexpired\":null,\"age\":null}\n");
  } else {
    out_.Put(",\"valid\":");
    out_.Put(Bool(r.id.valid()));
    out_.Put(",\"check_digits\":true,\"unexpired\":");
    out_.Put(Bool(r.id.unexpired));
    out_.Put(",\"age\":");
    PutCount(out_, static_cast<uint64_t>(r.id.age));
    out_.Put("}\n");
  }
  out_.EndRecord();
}

}  // namespace tessera::tool
