// scan.h -- finds card numbers inside arbitrary bytes, arriving as a stream of blocks
//
// A group is a maximal run of the digits 0-9, less the hex digits of an
// escape before it (lookalikes.h); two groups are joined when one separator
// stands between them (scan_layout.h), and a chain is a maximal sequence of
// joined groups. A number is a group of 13 to 19 digits, or a number in
// groups: groups joined by one separator that are all the chain's groups
// joined by it there, in a printed layout. In each chain, from its first
// group on, a number starting at the current group whose digits pass the
// brand table and the checksum is a finding, and the search goes on after
// it; where there is none, it goes on with the next group. Each finding is
// then judged by what stands around it (scan_judge.h).
//
// The seed rule is the finder as it was: the seed table, space and hyphen
// as the only separators, no escapes, any run of whole groups of 13 to 16
// digits (the longest that qualifies from each group), no judgement.
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
#include "cards/scan_judge.h"
#include "cards/scan_layout.h"

namespace tessera {

struct ScanRule {
  BrandTable brands = BrandTable::Current;
  bool luhn_only = false;  // any run that passes the checksum, with a brand of the table or none

  constexpr bool seed() const { return brands == BrandTable::Seed; }
  constexpr bool operator==(const ScanRule&) const = default;

  // The rules before today's, by the names they had.
  static const ScanRule Card, LuhnOnly;
};

inline constexpr ScanRule kSeedRule{BrandTable::Seed, false};
inline constexpr ScanRule ScanRule::Card{BrandTable::Seed, false};
inline constexpr ScanRule ScanRule::LuhnOnly{BrandTable::Seed, true};

inline constexpr std::size_t kShortestCard = 13;
static_assert(ShortestCard(BrandTable::Seed) == kShortestCard && ShortestCard(BrandTable::Current) == kShortestCard);

// Issuers use numbers up to 19 digits.
inline constexpr std::size_t kLongestLuhnRun = 19;
static_assert(LongestCard(BrandTable::Current) == kLongestLuhnRun);

constexpr std::size_t LongestRun(ScanRule rule) {
  return rule.seed() && !rule.luhn_only ? kLongestCard : kLongestLuhnRun;
}

// Every digit of the longest run with the longest separator between each two.
inline constexpr std::size_t kLongestFinding = kLongestLuhnRun + (kLongestLuhnRun - 1) * kLongestSeparator;

struct CardFinding {
  uint64_t offset;  // of the first digit, counted in bytes from 0
  uint64_t line;    // from 1, counting "\n"
  uint64_t column;  // from 1, in bytes, of the first digit
  Brand brand;      // Brand::None only for a luhn_only rule
  unsigned char size;
  FindingReason reason;
  KeptBack kept;  // KeptBack::None: reported by default
  uint8_t track;  // 1 or 2 for track data
  bool test;      // a published test number
  unsigned char key_size;
  std::array<char, kLongestFinding> bytes;  // the digits and separators as found
  std::array<char, kLongestKey> key;        // the key it is the value of, if any

  Text number() const { return Text(bytes.data(), size); }
  Text key_name() const { return Text(key.data(), key_size); }
};

// "unknown" where a Luhn-only finding has no brand of the table.
constexpr Text FindingBrandName(Brand brand, BrandTable table = BrandTable::Current) {
  return brand == Brand::None ? Text("unknown") : BrandName(brand, table);
}

// The classes of 64 consecutive bytes, one bit per byte, the first byte in
// the lowest bit.
struct ByteClasses {
  uint64_t digits;
  uint64_t separators;  // space and hyphen-minus; under the current rule '+' and '%' too ("%20")
  uint64_t newlines;
  uint64_t high;        // under the current rule, bytes from 0x80 (the no-break spaces are made of them)
};

// Whether any brand of a table takes a number of length L (13 to 19) that
// begins with the two digits d: possible[L - 13][d], a superset.
using FirstDigits = std::array<std::array<bool, 100>, 7>;

namespace detail {

// The skipper's state: where the block lies in the input, the lines counted
// so far, and the classes of a segment of the block, kept across chains.
struct ScanSkipper {
  static constexpr std::size_t kSegmentChunks = 32;
  using ClassifyFunction = void (*)(const unsigned char*, std::size_t, ByteClasses*);
  using SkipFunction = std::size_t (*)(ScanSkipper&, const unsigned char*, std::size_t, std::size_t, bool);

  ClassifyFunction classify;
  SkipFunction skip;
  std::size_t longest;  // a lone group of more digits holds no finding
  const FirstDigits* possible = nullptr;  // lone groups judged here by the current table, if given
  // The lone group the last skip stopped at because its digits pass the
  // table and the checksum: a number whole, which needs no reader.
  std::size_t lone_start = 0, lone_digits = 0;
  Brand lone_brand = Brand::None;
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
// longest run and kContext bytes around it, so that is all that is carried
// from one block to the next.
class CardScanner {
 public:
  explicit CardScanner(ScanRule rule = ScanRule{});

  // The findings this block completes, in input order, valid until the next
  // call; kept-back ones too (CardFinding::kept). A number still open at the
  // end of the block, or whose context after it is still to come, comes with
  // a later call.
  std::span<const CardFinding> Scan(Text block);
  std::span<const CardFinding> ScanPadded(PaddedText block);
  // Ends the input: reports what the last block left open, and starts the
  // scanner afresh for another input.
  std::span<const CardFinding> Finish();

  // Bytes scanned of the current input.
  uint64_t bytes() const { return skipper_.base; }

 private:
  enum class Phase : unsigned char { Idle, InEscape, InGroup, InSeparator };

  struct Group {
    unsigned char begin;   // in text_
    unsigned char digits;
    Separator separator;   // joining it to the group before
    bool first;            // of its chain
  };
  // Groups already passed, for the layouts a later run may sit inside.
  struct PastGroup {
    unsigned char digits;
    Separator separator;
  };
  // The groups around the head, for the judgement of a number in groups.
  struct ChainView {
    std::array<uint8_t, kMostGroups + kLongestLuhnRun + 2> digits{};
    std::array<Separator, kMostGroups + kLongestLuhnRun + 2> joints{};
    std::size_t size = 0;

    bool IsNumberInGroups(std::size_t first, std::size_t last) const;
    bool InNumberInGroups(std::size_t group) const;
  };
  ChainView View() const;
  // A finding waiting for the bytes after it.
  struct Pending {
    CardFinding finding;
    uint64_t end;
    bool grouped;
    bool starts_chain;
  };

  static constexpr std::size_t kRing = 512;  // input bytes kept from before the current block
  static constexpr std::size_t kMostPast = kMostGroups - 1;

  void Run(const unsigned char* p, std::size_t end, bool padded);
  std::size_t Chain(const unsigned char* p, std::size_t at, std::size_t end);
  std::size_t Separate(const unsigned char* p, std::size_t at, std::size_t end);
  void StartChain(const unsigned char* p, std::size_t start);
  void StartGroup(uint64_t offset);
  void AddDigits(const unsigned char* digits, std::size_t n);
  void CloseGroup();
  void EndChain();
  void ResolveHead();
  void ResolveSeedHead();
  void Take(std::size_t groups, Brand brand);
  void TakeLone(const unsigned char* p, std::size_t start);
  void Drop(std::size_t groups);
  void JudgePending(const unsigned char* p, std::size_t end, bool finished);
  char ByteAt(const unsigned char* p, std::size_t end, uint64_t offset) const;
  void CopyOut(const unsigned char* p, uint64_t from, uint64_t to, char* out) const;
  void KeepTail(const unsigned char* p, std::size_t end);

  ScanRule rule_;
  std::size_t longest_;
  std::vector<CardFinding> findings_;
  std::vector<Pending> pending_;
  Pending seed_pending_{};  // the seed rule's findings need no waiting
  detail::ScanSkipper skipper_;

  // The open chain: its undecided groups, from the first one whose runs are
  // not decided yet, and the group being read.
  Phase phase_ = Phase::Idle;
  Separator separator_ = Separator::None;  // before the group being read
  std::array<char, kLongestSeparator> separator_bytes_{};
  std::size_t separator_size_ = 0;
  bool too_long_ = false;  // the group being read is longer than any run
  Separator joined_on_ = Separator::None;  // joining such a group to the undecided ones
  bool group_first_ = false;
  std::size_t escaped_ = 0;  // escape digits still to pass before the chain's first group
  uint64_t chain_line_ = 0;
  uint64_t chain_line_start_ = 0;
  uint64_t origin_ = 0;          // offset of text_[0]
  std::size_t size_ = 0;         // bytes in text_
  std::size_t count_ = 0;        // undecided groups
  std::size_t total_ = 0;        // their digits
  std::size_t group_begin_ = 0;  // the group being read, in text_
  std::size_t group_digits_ = 0;
  std::array<Group, kLongestLuhnRun + 1> groups_{};
  std::array<PastGroup, kMostPast> past_{};  // the last first
  std::size_t past_count_ = 0;
  std::array<char, 2 * kLongestLuhnRun + kLongestLuhnRun * kLongestSeparator + 8> text_{};
  // The digits of a run without separators, padded for the padded checks.
  std::array<char, kLongestLuhnRun + kPadding> digits_{};
  std::array<char, kRing> ring_{};
};

// All findings of a whole text, kept-back ones too.
std::vector<CardFinding> FindCards(Text text, ScanRule rule = ScanRule{});

}  // namespace tessera
