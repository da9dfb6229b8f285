// corpus.h -- generated card and GPA numbers of a realistic mix, for the
// benchmarks and the tool's timing
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessera::bench {

// A fixed-seed generator, so that every run measures the same numbers.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint32_t Next() {
    state_ = state_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<uint32_t>(state_ >> 33);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }

 private:
  uint64_t state_;
};

inline char LuhnCheckDigit(const std::string& body) {
  // Doubling from the right of the body, whose last digit is doubled once
  // the check digit follows it.
  int sum = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    int d = body[body.size() - 1 - i] - '0';
    if (i % 2 == 0) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

// Visa 50%, MasterCard 30%, Amex 10%, Discover 5%, JCB 3%, Diners Club 2%;
// about half pass the checksum.
inline std::vector<std::string> CardNumbers(std::size_t count, uint64_t seed = 1) {
  struct Kind {
    uint32_t weight;
    const char* prefix;
    std::size_t length;
  };
  const Kind kinds[] = {{40, "4", 16}, {10, "4", 13}, {30, "5", 16}, {10, "37", 15},
                        {5, "6011", 16}, {3, "35", 16}, {2, "36", 14}};
  Random random(seed);
  std::vector<std::string> numbers;
  numbers.reserve(count);
  for (std::size_t n = 0; n < count; ++n) {
    uint32_t pick = random.Below(100);
    const Kind* kind = kinds;
    while (pick >= kind->weight) pick -= kind++->weight;
    std::string number = kind->prefix;
    if (kind->prefix[0] == '5') number += static_cast<char>('1' + random.Below(5));
    while (number.size() + 1 < kind->length) number += static_cast<char>('0' + random.Below(10));
    const char check = LuhnCheckDigit(number);
    number += random.Below(2) ? check : static_cast<char>('0' + (check - '0' + 1 + static_cast<int>(random.Below(9))) % 10);
    numbers.push_back(std::move(number));
  }
  return numbers;
}

inline char Check731(const std::string& field) {
  static constexpr int kWeights[3] = {7, 3, 1};
  int sum = 0;
  for (std::size_t i = 0; i < field.size(); ++i) sum += (field[i] - '0') * kWeights[i % 3];
  return static_cast<char>('0' + sum % 10);
}

// 29-character GPA numbers; about half have a wrong check digit somewhere.
inline std::vector<std::string> GpaNumbers(std::size_t count, uint64_t seed = 2) {
  Random random(seed);
  auto digits = [&random](std::size_t n) {
    std::string text;
    for (std::size_t i = 0; i < n; ++i) text += static_cast<char>('0' + random.Below(10));
    return text;
  };
  std::vector<std::string> numbers;
  numbers.reserve(count);
  for (std::size_t n = 0; n < count; ++n) {
    std::string document = digits(9), birth = digits(6), expiry = digits(6);
    document += Check731(document);
    birth += Check731(birth);
    expiry += Check731(expiry);
    std::string number = document + "<-" + birth + '-' + expiry + '-' + Check731(document + birth + expiry);
    if (random.Below(2)) {
      const std::size_t at = random.Below(4) == 0 ? 28 : random.Below(10);
      number[at] = static_cast<char>('0' + (number[at] - '0' + 1) % 10);
    }
    numbers.push_back(std::move(number));
  }
  return numbers;
}

}  // namespace tessera::bench
