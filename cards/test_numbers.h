// test_numbers.h -- card numbers the payment companies publish for testing, which no card carries
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/field.h"

namespace tessera {

struct TestNumber {
  Text digits;
  Text source;  // who publishes it (sources in docs/scan.md)
};

// In the order of their digits.
std::span<const TestNumber> TestNumbers();

// Whether `digits` (digits only, no separators) is a published test number.
bool IsTestNumber(Text digits);
// The same for the number of `length` digits whose value is `value`.
bool IsTestNumber(uint64_t value, std::size_t length);

}  // namespace tessera
