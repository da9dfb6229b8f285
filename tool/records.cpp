// records.cpp -- the rarely taken paths of the record scanner
#include "tool/records.h"

namespace tessera::tool::records {

// The value of a whole field: a view of the buffer where it needs no
// change, else a copy in `scratch` (padded like the buffer).
Text UnquoteQuoted(Text raw, char* scratch) {
  if (raw.size() >= 2 && raw.back() == '"' && raw.substr(1, raw.size() - 2).find('"') == Text::npos)
    return raw.substr(1, raw.size() - 2);
  std::size_t n = 0;
  Unquoter().Feed(raw, [&](Text piece) {
    std::memcpy(scratch + n, piece.data(), piece.size());
    n += piece.size();
  });
  return Text(scratch, n);
}

}  // namespace tessera::tool::records
