// fuzz_records.cpp -- arbitrary bytes through the record reader in arbitrary
// reads, held against the plain reference reader of the tests
//
// The first byte picks the layout (lines or CSV, delimiter, header, the
// column and a kept column), the next three the sizes of the reads, the
// fourth the buffer's size (small, so that fields longer than it stream);
// the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "tests/records_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  using namespace tessera;
  if (size < 5) return 0;
  const uint8_t pick = data[0];
  tool::RecordLayout layout;
  layout.csv = (pick & 1) != 0;
  layout.delimiter = (pick & 2) != 0 ? '\t' : ',';
  layout.header = (pick & 4) != 0;
  layout.columns.check = (pick >> 3) & 3;
  // A kept column is never the one checked: the tool refuses that.
  if ((pick & 0x20) != 0) layout.columns.kept = {(layout.columns.check + 1 + (pick >> 6)) % 5};
  // Not where a record's one blank field may be longer than the buffer: the
  // reader, seeing only its last bytes, calls that record one without the
  // field, where the rule says an empty record (fields of 256 KiB of blanks
  // are left to that).
  const bool blank_rule = layout.csv && layout.columns.check > 0;
  const std::size_t capacity = data[4] < 128 && !blank_rule ? 4 + data[4] : tool::kReadBlock;
  const std::string_view text(reinterpret_cast<const char*>(data) + 5, size - 5);
  const reference::Records want = reference::ReadRecords(text, layout);
  std::vector<std::size_t> cut;
  reference::Records got = testing::FastRecords(text, layout, {data[1], data[2], data[3]}, capacity, &cut);
  // A header name longer than the buffer is given by its first bytes.
  for (std::size_t i : cut) {
    if (i >= want.header.size() || !want.header[i].starts_with(got.header[i])) std::abort();
    got.header[i] = want.header[i];
  }
  if (!(got == want)) {
    std::fprintf(stderr, "the reader and its reference differ: %zu records against %zu\n", got.records.size(),
                 want.records.size());
    std::abort();
  }
  return 0;
}
