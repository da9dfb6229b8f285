// card.cpp -- card verdicts of a batch of numbers
#include "cards/card.h"

namespace tessera {

void JudgeCardsPadded(const PaddedText* numbers, std::size_t n, CardVerdict* verdicts) {
  constexpr std::size_t kChunk = 64;
  std::array<Brand, kChunk> brands;
  std::array<bool, kChunk> passes;
  for (std::size_t from = 0; from < n; from += kChunk) {
    const std::size_t m = std::min(kChunk, n - from);
    BrandsOfPadded(numbers + from, m, brands.data());
    LuhnChecksPadded(numbers + from, m, passes.data());
    for (std::size_t i = 0; i < m; ++i) verdicts[from + i] = {brands[i], passes[i]};
  }
}

void JudgeCardsPadded(const PaddedText* numbers, std::size_t n, CardVerdict* verdicts, BrandTable table) {
  if (table == BrandTable::Seed) return JudgeCardsPadded(numbers, n, verdicts);
  for (std::size_t i = 0; i < n; ++i) verdicts[i] = JudgeCardPadded(numbers[i], table);
}

}  // namespace tessera
