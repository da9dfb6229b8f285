// records.cpp -- the rarely taken paths of the record scanner
#include "tool/records.h"

#if TESSERA_HAVE_AVX2
#include <immintrin.h>
#endif

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

#if TESSERA_HAVE_AVX2
namespace {

__attribute__((target("avx2"))) inline uint64_t BitsOf(__m256i low, __m256i high, char c) {
  const __m256i wanted = _mm256_set1_epi8(c);
  const auto low_bits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, wanted)));
  const auto high_bits = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, wanted)));
  return low_bits | uint64_t{high_bits} << 32;
}

}  // namespace

__attribute__((target("avx2"))) Masks ClassifyCsvAvx2(const char* p, char delimiter) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  return {BitsOf(low, high, '\n'), BitsOf(low, high, '\r'), BitsOf(low, high, delimiter), BitsOf(low, high, '"')};
}

__attribute__((target("avx2"))) Masks ClassifyLinesAvx2(const char* p) {
  const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
  return {BitsOf(low, high, '\n'), BitsOf(low, high, '\r'), 0, 0};
}
#endif

}  // namespace tessera::tool::records
