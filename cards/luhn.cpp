// luhn.cpp -- the Luhn (mod 10) checksum of card numbers
#include "cards/luhn.h"

#include <array>
#include <cstddef>

namespace tessera {
namespace {

using ByteTable = std::array<uint8_t, 256>;

constexpr ByteTable MakeTable(bool doubled) {
  ByteTable table{};
  for (int byte = 0; byte < 256; ++byte) {
    int d = DigitValue(static_cast<char>(byte));
    if (doubled) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    table[static_cast<std::size_t>(byte)] = static_cast<uint8_t>(d);
  }
  return table;
}

constexpr ByteTable kUndoubled = MakeTable(false);
constexpr ByteTable kDoubled = MakeTable(true);

}  // namespace

// The sum is a signed 16-bit quantity and wraps past 32,767 (texts of more
// than 3,640 characters reach that), and answers depend on the wrap. Since
// wrapping addition is associative it is summed wide and wrapped once.
// Positions are counted in size_t, so texts of any length end.
int16_t LuhnSum(Text text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t i = text.size();
  uint32_t sum = 0;
  for (; i >= 2; i -= 2) sum += kUndoubled[bytes[i - 1]] + kDoubled[bytes[i - 2]];
  if (i == 1) sum += kUndoubled[bytes[0]];
  return static_cast<int16_t>(static_cast<uint16_t>(sum));
}

// The remainder takes the sign of the sum; only whether it is 0 matters.
bool CheckNumber(Text text) { return LuhnSum(text) % 10 == 0; }

}  // namespace tessera
