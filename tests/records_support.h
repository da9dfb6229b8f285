// records_support.h -- the fast record reader run over text in chosen reads,
// its records gathered in the reference's form
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tests/records_reference.h"
#include "tool/records.h"

namespace tessera::testing {

// Hands out the text in reads of the sizes given, in turn (all of what is
// asked when none are).
class SplitSource final : public tool::ByteSource {
 public:
  SplitSource(std::string_view text, std::vector<std::size_t> sizes) : text_(text), sizes_(std::move(sizes)) {}
  tool::sys::Transfer Read(char* to, std::size_t size) override {
    std::size_t n = std::min(size, text_.size());
    if (!sizes_.empty()) n = std::min(n, std::max<std::size_t>(1, sizes_[next_++ % sizes_.size()]));
    std::memcpy(to, text_.data(), n);
    text_.remove_prefix(n);
    return {n, 0};
  }

 private:
  std::string_view text_;
  std::vector<std::size_t> sizes_;
  std::size_t next_ = 0;
};

class Gatherer {
 public:
  explicit Gatherer(const tool::RecordLayout& layout) : layout_(layout) {}

  void HeaderField(Text name, bool whole) {
    if (!whole) cut.push_back(out.header.size());
    out.header.emplace_back(name);
  }
  std::optional<tool::Columns> HeaderEnd(std::size_t) { return layout_.columns; }
  void Kept(std::size_t slot, Text value, bool whole) {
    if (kept_.empty()) kept_.resize(layout_.columns.kept.size());
    if (!kept_[slot] || whole) kept_[slot] = std::string();
    *kept_[slot] += value;
  }
  void Piece(Text piece) { pieces_ += piece; }
  bool Record(const tool::Field& f) {
    reference::Record r{f.line, f.kind == tool::Field::kMissing ? tool::Field::kMissing : tool::Field::kWhole,
                        f.kind == tool::Field::kStreamed ? pieces_ : std::string(f.value.text()), {}};
    if (layout_.csv) {
      kept_.resize(layout_.columns.kept.size());
      r.kept = std::move(kept_);
    }
    kept_.clear();
    pieces_.clear();
    out.records.push_back(std::move(r));
    return true;
  }
  bool Records(const PaddedText* values, const uint64_t* lines, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) Record({values[i], lines[i], values[i].size(), tool::Field::kWhole});
    return true;
  }
  void BeforeRead() {}
  void AfterRead() {}

  reference::Records out;
  std::vector<std::size_t> cut;  // header names longer than the buffer, given by their first bytes

 private:
  const tool::RecordLayout& layout_;
  std::vector<std::optional<std::string>> kept_;
  std::string pieces_;
};

// What the fast reader makes of `text` read in pieces of `sizes` into a
// buffer of `capacity` bytes; `cut` gets the header names it gave in part.
inline reference::Records FastRecords(std::string_view text, const tool::RecordLayout& layout,
                                      std::vector<std::size_t> sizes = {},
                                      std::size_t capacity = tool::kReadBlock,
                                      std::vector<std::size_t>* cut = nullptr) {
  SplitSource source(text, std::move(sizes));
  Gatherer sink(layout);
  const tool::ScanOutcome o = tool::ScanRecords(source, layout, sink, capacity);
  sink.out.unclosed_quote_line = o.unclosed_quote_line;
  if (cut) *cut = sink.cut;
  if (layout.csv) {
    sink.out.found = o.found;
    sink.out.missing = o.missing;
    sink.out.first_missing_line = o.first_missing_line;
    sink.out.widest_missing = o.widest_missing;
  }
  return sink.out;
}

}  // namespace tessera::testing
