// format.cpp -- what the output formats share
#include "tool/format.h"

namespace tessera::tool {

InputName::InputName(std::string_view name) : text(Escaped(name, Quoting::Text)), json(JsonPath(name)) {}

void PutLongNumber(Writer& out, const Shown& number, Quoting quoting) {
  out.PutShown(number.bytes, quoting);
  if (number.shortened) {
    out.Put(quoting == Quoting::Json ? "\\\\[..." : "\\[...");
    PutCount(out, number.size);
    out.Put(" bytes]");
  }
}

Ending MakeEnding(std::string_view text) {
  Ending ending;
  ending.size = text.copy(ending.text.data(), ending.text.size());
  return ending;
}

}  // namespace tessera::tool
