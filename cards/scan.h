// scan.h -- finds card numbers inside arbitrary bytes, arriving as a stream of blocks
//
// A group is a maximal run of the digits 0-9; two groups are joined when
// exactly one space or hyphen-minus stands between them, and a chain is a
// maximal sequence of joined groups. In each chain, from its first group
// on, the longest run of whole groups starting at the current group whose
// digits pass the card check is a finding, and the search goes on after
// it; where no run qualifies, it goes on with the next group.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "base/padded.h"
#include "cards/brands.h"
#include "cards/card.h"

namespace tessera {

enum class ScanRule : unsigned char {
  Card,      // a run of 13 to 16 digits that CheckCard accepts
  LuhnOnly,  // a run of 13 to 19 digits that passes the Luhn check, brand or none
};

inline constexpr std::size_t kShortestCard = [] {
  std::size_t shortest = kLongestCard;
  for (const BrandRule& rule : kBrandRules)
    for (std::size_t length : rule.lengths)
      if (length != 0) shortest = std::min(shortest, length);
  return shortest;
}();

// Issuers use numbers up to 19 digits that the brand table does not know.
inline constexpr std::size_t kLongestLuhnRun = 19;

constexpr std::size_t LongestRun(ScanRule rule) { return rule == ScanRule::Card ? kLongestCard : kLongestLuhnRun; }

// Every digit of the longest run with a separator between each two.
inline constexpr std::size_t kLongestFinding = 2 * kLongestLuhnRun - 1;

struct CardFinding {
  uint64_t offset;  // of the first digit, counted in bytes from 0
  uint64_t line;    // from 1, counting "\n"
  uint64_t column;  // from 1, in bytes, of the first digit
  Brand brand;      // Brand::None only under ScanRule::LuhnOnly
  unsigned char size;
  std::array<char, kLongestFinding> bytes;  // the digits and separators as found

  Text number() const { return Text(bytes.data(), size); }
};

// "unknown" where a Luhn-only finding has no brand of the table.
constexpr Text FindingBrandName(Brand brand) { return brand == Brand::None ? Text("unknown") : BrandName(brand); }

// The classes of 64 consecutive bytes, one bit per byte, the first byte in
// the lowest bit.
struct ByteClasses {
  uint64_t digits;
  uint64_t separators;  // space and hyphen-minus
  uint64_t newlines;
};

namespace detail {

// The skipper's state: where the block lies in the input, the lines counted
// so far, and the classes of a segment of the block, kept across chains.
struct ScanSkipper {
  static constexpr std::size_t kSegmentChunks = 32;
  using ClassifyFunction = void (*)(const unsigned char*, std::size_t, ByteClasses*);
  using SkipFunction = std::size_t (*)(ScanSkipper&, const unsigned char*, std::size_t, std::size_t, bool);

  ClassifyFunction classify;
  SkipFunction skip;
  std::size_t longest;
  uint64_t base = 0;
  uint64_t lines = 0;
  uint64_t line_start = 0;  // offset of the first byte of the current line
  std::size_t segment_first = 0;
  std::size_t segment_count = 0;
  std::array<ByteClasses, kSegmentChunks> classes{};

  void ClassifySegment(const unsigned char* p, std::size_t chunk, std::size_t end, bool padded);
};

}  // namespace detail

// Feeds blocks of one input in order and reports each finding once, whatever
// the block boundaries, from a fixed amount of memory: a chain may be any
// length, but a decision never needs more than the groups that fit in the
// longest run, so that is all that is carried from one block to the next.
class CardScanner {
 public:
  explicit CardScanner(ScanRule rule = ScanRule::Card);

  // The findings this block completes, in input order, valid until the next
  // call. A number still open at the end of the block comes with a later call.
  std::span<const CardFinding> Scan(Text block);
  std::span<const CardFinding> ScanPadded(PaddedText block);
  // Ends the input: reports what the last block left open, and starts the
  // scanner afresh for another input.
  std::span<const CardFinding> Finish();

  // Bytes scanned of the current input.
  uint64_t bytes() const { return skipper_.base; }

 private:
  enum class Phase : unsigned char { Idle, InGroup, AfterSeparator };

  struct Group {
    unsigned char begin;   // in text_
    unsigned char digits;
  };

  void Run(const unsigned char* p, std::size_t end, bool padded);
  std::size_t Chain(const unsigned char* p, std::size_t at, std::size_t end);
  void StartGroup(uint64_t offset);
  void AddDigits(const unsigned char* digits, std::size_t n);
  void CloseGroup();
  void EndChain();
  void ResolveHead();
  void Drop(std::size_t groups);

  ScanRule rule_;
  std::size_t longest_;
  std::vector<CardFinding> findings_;
  detail::ScanSkipper skipper_;

  // The open chain: its undecided groups, from the first one whose runs are
  // not decided yet, and the group being read.
  Phase phase_ = Phase::Idle;
  char separator_ = ' ';
  bool too_long_ = false;  // the group being read is longer than any run
  uint64_t chain_line_ = 0;
  uint64_t chain_line_start_ = 0;
  uint64_t origin_ = 0;          // offset of text_[0]
  std::size_t size_ = 0;         // bytes in text_
  std::size_t count_ = 0;        // undecided groups
  std::size_t total_ = 0;        // their digits
  std::size_t group_begin_ = 0;  // the group being read, in text_
  std::size_t group_digits_ = 0;
  std::array<Group, kLongestLuhnRun + 1> groups_{};
  std::array<char, 2 * kLongestLuhnRun + kLongestLuhnRun + 1> text_{};
  // The digits of a run without separators, padded for the padded checks.
  std::array<char, kLongestLuhnRun + kPadding> digits_{};
};

// All findings of a whole text.
std::vector<CardFinding> FindCards(Text text, ScanRule rule = ScanRule::Card);

}  // namespace tessera
