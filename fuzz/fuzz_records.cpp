// fuzz_records.cpp -- arbitrary bytes through the record reader in arbitrary
// reads, held against the plain reference reader of the tests
//
// The first byte picks the layout (lines or CSV, delimiter, header, the
// column and a kept column), the next three the sizes of the reads; the
// rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "tests/records_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tessera;
  if (size < 4) return 0;
  const uint8_t pick = data[0];
  tool::RecordLayout layout;
  layout.csv = (pick & 1) != 0;
  layout.delimiter = (pick & 2) != 0 ? '\t' : ',';
  layout.header = (pick & 4) != 0;
  layout.columns.check = (pick >> 3) & 3;
  // A kept column is never the one checked: the tool refuses that.
  if ((pick & 0x20) != 0) layout.columns.kept = {(layout.columns.check + 1 + (pick >> 6)) % 5};
  const std::string_view text(reinterpret_cast<const char*>(data) + 4, size - 4);
  const reference::Records want = reference::ReadRecords(text, layout);
  const reference::Records got = testing::FastRecords(text, layout, {data[1], data[2], data[3]});
  if (!(got == want)) {
    std::fprintf(stderr, "the reader and its reference differ: %zu records against %zu\n", got.records.size(),
                 want.records.size());
    std::abort();
  }
  return 0;
}
