// format_json.cpp -- JSON Lines: one object per record, the same keys on every one, null where nothing was judged
#include "tool/format_json.h"

#include "tool/cat.h"

namespace tessera::tool {
namespace {

std::string_view Bool(bool yes) { return yes ? "true" : "false"; }

}  // namespace

JsonFormat::JsonFormat(Writer& out, const FormatOptions& options) : out_(out), brands_(options.brands) {
  for (const std::string& name : options.kept) kept_keys_.push_back(Cat("\"", Escaped(name, Quoting::Json), "\":"));
}

void JsonFormat::Start(const Where& where, const Shown& number) {
  out_.Put("{\"path\":");
  out_.Put(where.input->json);
  out_.Put(",\"line\":");
  PutCount(out_, where.line);
  out_.Put(",\"record\":");
  PutCount(out_, where.record);
  out_.Put(",\"number\":\"");
  PutNumber(out_, number, Quoting::Json);
  out_.Put('"');
}

void JsonFormat::End(Hint hint, const Where& where) {
  if (hint == Hint::kNone) {
    out_.Put(",\"hint\":null");
  } else {
    out_.Put(",\"hint\":\"");
    out_.Put(HintCode(hint));
    out_.Put('"');
  }
  if (!kept_keys_.empty()) {
    out_.Put(",\"keep\":{");
    for (std::size_t i = 0; i < kept_keys_.size(); ++i) {
      if (i > 0) out_.Put(',');
      out_.Put(kept_keys_[i]);
      const KeptField& field = where.kept[i];
      if (!field.present) {
        out_.Put("null");
        continue;
      }
      out_.Put('"');
      PutKept(out_, field, Quoting::Json);
      out_.Put('"');
    }
    out_.Put('}');
  }
  out_.Put("}\n");
  out_.EndRecord();
}

void JsonFormat::Card(const CardRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put(",\"valid\":null,\"brand\":null,\"checksum\":null");
  } else {
    out_.Put(",\"valid\":");
    out_.Put(Bool(r.card.valid()));
    out_.Put(",\"brand\":\"");
    out_.Put(BrandName(r.card.brand, brands_));
    out_.Put("\",\"checksum\":");
    out_.Put(Bool(r.card.checksum));
  }
  End(r.hint, r.where);
}

void JsonFormat::Id(const IdRecord& r) {
  Start(r.where, r.number);
  if (r.verdict == Verdict::kEmpty) {
    out_.Put(",\"valid\":null,\"check_digits\":null,\"unexpired\":null,\"age\":null");
  } else if (!r.id.check_digits) {
    out_.Put(",\"valid\":false,\"check_digits\":false,\"unexpired\":null,\"age\":null");
  } else {
    out_.Put(",\"valid\":");
    out_.Put(Bool(r.id.valid()));
    out_.Put(",\"check_digits\":true,\"unexpired\":");
    out_.Put(Bool(r.id.unexpired));
    out_.Put(",\"age\":");
    PutCount(out_, static_cast<uint64_t>(r.id.age));
  }
  End(r.hint, r.where);
}

}  // namespace tessera::tool
