// make_corpus.cpp -- writes generated card numbers for timing the tool: lines, or a payments CSV
//
// usage: tessera_corpus [COUNT] [cards|valid|csv]
//   cards  one number per line, about half passing the checksum (the default)
//   valid  one number per line, every one valid
//   csv    a payments export of five columns, the numbers in the third;
//          one name in ten is quoted and holds a comma
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "bench/corpus.h"

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const std::string_view kind = argc > 2 ? argv[2] : "cards";
  if (kind != "cards" && kind != "valid" && kind != "csv") {
    std::fputs("usage: tessera_corpus [COUNT] [cards|valid|csv]\n", stderr);
    return 2;
  }
  const auto numbers = tessera::bench::CardNumbers(count);
  if (kind == "csv") std::fputs("id,name,card,amount,date\r\n", stdout);
  tessera::bench::Random random(3);
  for (std::size_t n = 0; n < numbers.size(); ++n) {
    std::string number = numbers[n];
    if (kind == "valid") {
      number.pop_back();
      number += tessera::bench::LuhnCheckDigit(number);
    }
    if (kind != "csv") {
      std::printf("%s\n", number.c_str());
      continue;
    }
    const unsigned cents = random.Below(100000);
    if (random.Below(10) == 0) {
      std::printf("%zu,\"Customer, %u\",%s,%u.%02u,2024-%02u-%02u\r\n", n + 1, random.Below(1000), number.c_str(),
                  cents / 100, cents % 100, 1 + random.Below(12), 1 + random.Below(28));
    } else {
      std::printf("%zu,Customer %u,%s,%u.%02u,2024-%02u-%02u\r\n", n + 1, random.Below(1000), number.c_str(),
                  cents / 100, cents % 100, 1 + random.Below(12), 1 + random.Below(28));
    }
  }
  return 0;
}
