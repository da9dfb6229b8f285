// records_dump.cpp -- the record reader's view of a CSV file, for the test
// that holds it against Python's csv module
//
// records_dump FILE COLUMNS: for each column from 0 below COLUMNS, a line
// per record: column, line, "w" or "m" (missing), and the value in hex.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/records_support.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: records_dump FILE COLUMNS\n");
    return 2;
  }
  std::ifstream file(argv[1], std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const std::size_t columns = std::strtoul(argv[2], nullptr, 10);
  for (std::size_t column = 0; column < columns; ++column) {
    const tessera::tool::RecordLayout layout{true, ',', {column, {}}, false};
    for (const auto& r : tessera::testing::FastRecords(text, layout, {7, 64, 3}).records) {
      std::printf("%zu %llu %c ", column, static_cast<unsigned long long>(r.line),
                  r.kind == tessera::tool::Field::kMissing ? 'm' : 'w');
      for (unsigned char c : r.value) std::printf("%02x", c);
      std::printf("\n");
    }
  }
  return 0;
}
