// fuzz_input.cpp -- arbitrary bytes through the input layer: every decoder, any nesting, read in any pieces
//
// The first byte picks how many bytes each read hands over (a pipe gives
// few) and whether the layer's limits are tight; the rest is the input.
// Whatever it is, the reader ends, hands out padded blocks no larger than a
// block, maps positions inside the bytes it decoded, and when it decoded nothing and
// reported nothing, its one text is the input itself.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "input/input.h"

namespace {

void Require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "relation broken: %s\n", what);
  std::abort();
}

class Bytes final : public tessera::input::Stream {
 public:
  Bytes(std::string_view data, std::size_t piece) : data_(data), piece_(piece) {}
  std::size_t Read(char* to, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, data_.size() - at_});
    std::memcpy(to, data_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  std::string_view data_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

class Count final : public tessera::input::Listener {
 public:
  void Skipped(std::string_view, tessera::input::Reason, std::string_view detail) override {
    Require(!detail.empty(), "a skip says why");
    ++skips;
  }
  unsigned skips = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned choice = data[0];
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  constexpr std::size_t kPieces[] = {SIZE_MAX, 1, 7, 512};
  Bytes bytes(input, kPieces[choice & 3]);
  tessera::input::Limits limits;
  limits.ratio_floor = 1 << 20;
  if (choice & 4) {
    limits.depth = 3;
    limits.memory = 1 << 20;
  }
  Count count;
  tessera::input::Reader reader(bytes, count, limits);
  std::string where, first;
  unsigned texts = 0;
  while (reader.NextText(where)) {
    ++texts;
    uint64_t offset = 0;
    tessera::PaddedText block;
    while (reader.NextBlock(block)) {
      Require(block.size() <= tessera::input::kBlock, "a block is at most kBlock bytes");
      unsigned char padding = 0;
      for (std::size_t i = 0; i < tessera::input::kBlockPadding; ++i) padding |= static_cast<unsigned char>(block.data()[block.size() + i]);
      (void)padding;
      if (texts == 1 && where.empty()) first.append(block);
      offset += block.size();
      // Findings begin at ASCII digits: the last ASCII byte of the block stands for one.
      std::size_t last = block.size();
      while (last > 0 && static_cast<unsigned char>(block[last - 1]) >= 0x80) --last;
      if (reader.recoded() && last > 0) {
        const uint64_t at = offset - block.size() + last - 1;
        const tessera::input::Place place = reader.Locate(at, offset - block.size());
        // Two bytes of UTF-16 at most for each byte of UTF-8, and a mark.
        Require(place.offset <= 2 * at + 2, "a position maps inside the bytes decoded");
        Require(place.column >= 1, "columns count from 1");
      }
    }
    reader.lost_digits().clear();
  }
  const tessera::input::Counts& counts = reader.counts();
  uint64_t decoded = counts.members;
  for (uint64_t n : counts.decoded) decoded += n;
  if (decoded == 0 && count.skips == 0) {
    Require(texts == 1, "an input that is not decoded is one text");
    Require(first == input, "an input that is not decoded is read as it is");
  }
  return 0;
}
