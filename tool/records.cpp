// records.cpp -- the rarely taken paths of the record scanner
#include "tool/records.h"

namespace tessera::tool::records {

// The value of a whole field: a view of the buffer where it needs no
// change, else a copy in `scratch` (padded like the buffer).
PaddedText UnquoteQuoted(PaddedText raw, char* scratch) {
  if (raw.size() >= 2 && raw.text().back() == '"' && raw.text().substr(1, raw.size() - 2).find('"') == Text::npos)
    return raw.substr(1, raw.size() - 2);
  std::size_t n = 0;
  Unquoter().Feed(raw, [&](Text piece) {
    std::memcpy(scratch + n, piece.data(), piece.size());
    n += piece.size();
  });
  return PaddedText(scratch, n);
}

#if TESSERA_HAVE_AVX2
TESSERA_AVX2 Masks ClassifyCsvAvx2(const char* p, char delimiter) {
  const simd::avx2::Chunk bytes = simd::avx2::Chunk::Load(p);
  return {bytes.Byte('\n'), bytes.Byte('\r'), bytes.Byte(delimiter), bytes.Byte('"')};
}

TESSERA_AVX2 Masks ClassifyLinesAvx2(const char* p) {
  const simd::avx2::Chunk bytes = simd::avx2::Chunk::Load(p);
  return {bytes.Byte('\n'), bytes.Byte('\r'), 0, 0};
}
#endif

}  // namespace tessera::tool::records
