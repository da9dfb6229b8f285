// make_corpus.cpp -- writes generated card numbers, one per line, for timing the tool
#include <cstdio>
#include <cstdlib>

#include "bench/corpus.h"

int main(int argc, char** argv) {
  const std::size_t count = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  for (const std::string& number : tessera::bench::CardNumbers(count)) std::printf("%s\n", number.c_str());
  return 0;
}
