// brands.cpp -- the brand of a card number, looked up in tables generated from the rules
//
// A brand depends only on the length and the first few characters. For the
// seed table, each of those matters only by which prefix character it is,
// if any. So each is mapped to a small class number, and the classes index
// one table filled at compile time from the rules: five independent loads
// and no branch on the data, instead of walking the rules.
//
// The current table's ranges ("622126-622925") make every digit of six
// positions matter, and a product of classes would need millions of cells.
// Its lookup is an automaton instead, generated from the same rows: one
// step per leading character, then the length.
#include "cards/brands.h"

#include <algorithm>
#include <array>
#include <bit>
#include <span>
#include <cstddef>
#include <cstdint>

namespace tessera {
namespace {

constexpr std::size_t kPositions = kLongestBrandPrefix;

static_assert(std::ranges::none_of(kBrandRules, [](const BrandRule& rule) {
  return std::ranges::any_of(rule.prefixes, [](const BrandPrefix& p) { return IsRange(p.text); });
}), "the place-value table reads literal prefixes");

// The classes of the bytes at one position of the prefixes: class 0 is
// "any other byte"; class i > 0 is the byte members[i - 1].
struct PositionClasses {
  std::array<uint8_t, 256> of{};
  std::array<unsigned char, 256> members{};
  std::size_t count = 1;
  unsigned char other = 0;  // a byte of class 0
};

constexpr std::array<PositionClasses, kPositions> MakePositionClasses() {
  std::array<PositionClasses, kPositions> classes{};
  for (std::size_t at = 0; at < kPositions; ++at) {
    PositionClasses& c = classes[at];
    for (const BrandRule& rule : kBrandRules)
      for (const BrandPrefix& prefix : rule.prefixes) {
        if (prefix.text.size() <= at) continue;
        const auto byte = static_cast<unsigned char>(prefix.text[at]);
        if (c.of[byte] != 0) continue;
        c.members[c.count - 1] = byte;
        c.of[byte] = static_cast<uint8_t>(c.count++);
      }
    while (c.of[c.other] != 0) ++c.other;
  }
  return classes;
}

// Lengths: class 0 for every length no rule accepts.
struct LengthClasses {
  std::array<uint8_t, kLongestCard + 2> of{};
  std::size_t count = 1;
};

constexpr LengthClasses MakeLengthClasses() {
  LengthClasses c;
  for (std::size_t length = 1; length <= kLongestCard; ++length)
    for (const BrandRule& rule : kBrandRules)
      if (AcceptsLength(rule, length) && c.of[length] == 0)
        c.of[length] = static_cast<uint8_t>(c.count++);
  return c;
}

constexpr auto kPositionClasses = MakePositionClasses();
constexpr auto kLengthClasses = MakeLengthClasses();

constexpr std::size_t kCells = [] {
  std::size_t cells = kLengthClasses.count;
  for (const PositionClasses& c : kPositionClasses) cells *= c.count;
  return cells;
}();

constexpr std::size_t CellOf(std::size_t length_class, const std::array<std::size_t, kPositions>& byte_class) {
  std::size_t cell = length_class;
  for (std::size_t at = 0; at < kPositions; ++at) cell = cell * kPositionClasses[at].count + byte_class[at];
  return cell;
}

// A text of the given length whose first characters have the given classes.
constexpr std::array<char, kLongestCard> Representative(std::size_t length,
                                                        const std::array<std::size_t, kPositions>& byte_class) {
  std::array<char, kLongestCard> text{};
  for (std::size_t at = 0; at < length; ++at) {
    const PositionClasses& c = kPositionClasses[at < kPositions ? at : 0];
    const std::size_t k = at < kPositions ? byte_class[at] : 0;
    text[at] = static_cast<char>(k == 0 ? c.other : c.members[k - 1]);
  }
  return text;
}

// Each prefix of each rule claims every cell whose first characters are
// that prefix, unless an earlier rule claimed it: the first match answers.
// A prefix with an `unless` asks the rules about the cell's representative.
constexpr std::array<Brand, kCells> MakeBrandTable() {
  std::array<Brand, kCells> table{};
  for (const BrandRule& rule : kBrandRules)
    for (std::size_t length : rule.lengths) {
      if (length == 0) continue;
      for (const BrandPrefix& prefix : rule.prefixes) {
        if (prefix.text.empty()) continue;
        std::array<std::size_t, kPositions> byte_class{};
        std::size_t free_cells = 1;
        for (std::size_t at = 0; at < kPositions; ++at) {
          if (at < prefix.text.size()) byte_class[at] = kPositionClasses[at].of[static_cast<unsigned char>(prefix.text[at])];
          else free_cells *= kPositionClasses[at].count;
        }
        for (std::size_t n = 0; n < free_cells; ++n) {
          std::size_t rest = n;
          for (std::size_t at = kPositions; at-- > prefix.text.size();) {
            byte_class[at] = rest % kPositionClasses[at].count;
            rest /= kPositionClasses[at].count;
          }
          Brand& cell = table[CellOf(kLengthClasses.of[length], byte_class)];
          if (cell != Brand::None) continue;
          if (prefix.unless != Brand::None) {
            const auto text = Representative(length, byte_class);
            if (HasBrand(Text(text.data(), length), prefix.unless)) continue;
          }
          cell = rule.brand;
        }
      }
    }
  return table;
}

constexpr auto kBrandTable = MakeBrandTable();

// CellOf as a sum: each class already multiplied by its place value, so a
// cell takes five loads and four additions. Cells of lengths no rule
// accepts hold Brand::None, so a padded text needs no test of its length.
struct PlaceValues {
  std::array<uint16_t, kLongestCard + 2> length{};
  std::array<std::array<uint16_t, 256>, kPositions> byte{};
};

static_assert(kCells <= 0x10000, "cells are numbered in 16 bits");

constexpr PlaceValues MakePlaceValues() {
  PlaceValues v;
  const std::array<std::size_t, kPositions> none{};
  for (std::size_t length = 0; length < v.length.size(); ++length)
    v.length[length] = static_cast<uint16_t>(CellOf(kLengthClasses.of[length], none));
  for (std::size_t at = 0; at < kPositions; ++at)
    for (std::size_t byte = 0; byte < 256; ++byte) {
      std::array<std::size_t, kPositions> only{};
      only[at] = kPositionClasses[at].of[byte];
      v.byte[at][byte] = static_cast<uint16_t>(CellOf(0, only));
    }
  return v;
}

constexpr auto kPlaceValues = MakePlaceValues();

// Five independent loads: `p` must hold kPositions readable bytes.
inline Brand LookUp(std::size_t length, const unsigned char* p) {
  std::size_t cell = kPlaceValues.length[std::min(length, kLongestCard + 1)];
  for (std::size_t at = 0; at < kPositions; ++at) cell += kPlaceValues.byte[at][p[at]];
  return kBrandTable[cell];
}

}  // namespace

// The automaton. A state says, for every prefix of every rule, how the
// characters read so far stand against it: no longer possible, equal to
// both ends of its range so far, equal to the low or the high end only,
// strictly inside (any digits may follow), or matched in full. A literal
// prefix is the range from itself to itself. The stands are packed three
// bits each, and the prefixes matched kept as a mask, so that making the
// tables stays within what compilers evaluate at compile time.
enum PrefixStand : uint8_t { kOut, kAtBothEnds, kAtLow, kAtHigh, kInside, kMatched };

// Digits are classes 0 to 9, every other byte class 10.
constexpr std::size_t kCharClasses = 11;

constexpr std::size_t ClassOf(unsigned char byte) {
  const unsigned digit = static_cast<unsigned>(byte) - '0';
  return digit < 10 ? digit : 10;
}

template <BrandTable kTable>
struct Automaton {
  static constexpr std::span<const BrandRule> kRules = RulesOf(kTable);
  static constexpr std::size_t kDepth = LongestBrandPrefix(kTable);
  static constexpr std::size_t kLongest = LongestCard(kTable);
  static constexpr std::size_t kEntries = [] {
    std::size_t n = 0;
    for (const BrandRule& rule : kRules)
      for (const BrandPrefix& prefix : rule.prefixes) n += prefix.text.empty() ? 0 : 1;
    return n;
  }();
  static constexpr std::size_t kMaxStates = 255;
  static_assert(kEntries <= 42, "three bits a prefix in two words; a mask of matched prefixes in one");

  struct Entry {
    std::size_t rule;
    Text low, high;
    Brand unless;
  };

  static constexpr std::array<Entry, kEntries> kTableEntries = [] {
    std::array<Entry, kEntries> entries{};
    std::size_t n = 0;
    for (std::size_t r = 0; r < kRules.size(); ++r)
      for (const BrandPrefix& prefix : kRules[r].prefixes) {
        if (prefix.text.empty()) continue;
        const std::size_t size = PrefixSize(prefix.text);
        const Text high = IsRange(prefix.text) ? prefix.text.substr(size + 1) : prefix.text;
        entries[n++] = {r, prefix.text.substr(0, size), high, prefix.unless};
      }
    return entries;
  }();

  static_assert([] {
    for (const Entry& e : kTableEntries)
      for (Text end : {e.low, e.high})
        if (end.size() != e.low.size() || !std::all_of(end.begin(), end.end(), IsDigit)) return false;
    return true;
  }(), "the automaton reads prefixes of digits, both ends of a range of one length");

  // Prefixes still open (neither out nor matched) and their stands, three
  // bits each; prefixes matched. A prefix out is in neither mask.
  struct State {
    uint64_t open = 0;
    std::array<uint64_t, 2> stands{};
    uint64_t matched = 0;

    constexpr uint8_t Of(std::size_t k) const {
      if ((matched >> k & 1) != 0) return kMatched;
      if ((open >> k & 1) == 0) return kOut;
      return static_cast<uint8_t>(stands[k / 21] >> (3 * (k % 21)) & 7);
    }
    constexpr void Set(std::size_t k, uint8_t stand) {
      const uint64_t bit = uint64_t{1} << k;
      uint64_t& word = stands[k / 21];
      word &= ~(uint64_t{7} << (3 * (k % 21)));
      open &= ~bit;
      if (stand == kMatched) matched |= bit;
      if (stand == kOut || stand == kMatched) return;
      open |= bit;
      word |= uint64_t{stand} << (3 * (k % 21));
    }
    constexpr bool operator==(const State&) const = default;
  };

  static constexpr uint8_t Step(const Entry& e, uint8_t stand, std::size_t at, std::size_t c) {
    if (stand == kOut || stand == kMatched) return stand;
    if (c == 10) return kOut;
    const auto low = static_cast<std::size_t>(e.low[at] - '0'), high = static_cast<std::size_t>(e.high[at] - '0');
    const bool low_bound = stand == kAtBothEnds || stand == kAtLow, high_bound = stand == kAtBothEnds || stand == kAtHigh;
    if ((low_bound && c < low) || (high_bound && c > high)) return kOut;
    if (at + 1 == e.low.size()) return kMatched;
    const bool at_low = low_bound && c == low, at_high = high_bound && c == high;
    return at_low && at_high ? kAtBothEnds : at_low ? kAtLow : at_high ? kAtHigh : kInside;
  }

  // Per rule: its prefixes that count without condition, as a mask.
  static constexpr std::array<uint64_t, 16> kPlainMasks = [] {
    std::array<uint64_t, 16> masks{};
    for (std::size_t k = 0; k < kEntries; ++k)
      if (kTableEntries[k].unless == Brand::None) masks[kTableEntries[k].rule] |= uint64_t{1} << k;
    return masks;
  }();
  static constexpr std::array<uint64_t, 16> kRuleMasks = [] {
    std::array<uint64_t, 16> masks{};
    for (std::size_t k = 0; k < kEntries; ++k) masks[kTableEntries[k].rule] |= uint64_t{1} << k;
    return masks;
  }();
  static_assert(std::size(kBrandRules) <= 16 && std::size(kCurrentBrandRules) <= 16);

  // Per rule: the lengths it accepts, one bit each.
  static constexpr std::array<uint32_t, 16> kLengthMasks = [] {
    std::array<uint32_t, 16> masks{};
    for (std::size_t r = 0; r < kRules.size(); ++r)
      for (std::size_t length : kRules[r].lengths)
        if (length != 0) masks[r] |= uint32_t{1} << length;
    return masks;
  }();
  static_assert(kLongest < 32);

  // Whether rule r accepts a text of `length` whose prefixes matched are `matched`.
  static constexpr bool RuleAccepts(std::size_t r, uint64_t matched, std::size_t length, int depth = 0) {
    if ((kLengthMasks[r] >> length & 1) == 0 || depth > 4) return false;
    if ((matched & kPlainMasks[r]) != 0) return true;
    for (std::size_t k = 0; k < kEntries; ++k) {
      const Entry& e = kTableEntries[k];
      if (e.rule != r || e.unless == Brand::None || (matched >> k & 1) == 0) continue;
      bool other = false;
      for (std::size_t u = 0; u < kRules.size(); ++u)
        if (kRules[u].brand == e.unless) other = RuleAccepts(u, matched, length, depth + 1);
      if (!other) return true;
    }
    return false;
  }

  static constexpr Brand Answer(uint64_t matched, std::size_t length) {
    for (std::size_t r = 0; r < kRules.size(); ++r)
      if (RuleAccepts(r, matched, length)) return kRules[r].brand;
    return Brand::None;
  }

  // Once a rule has a prefix matched that holds without condition, its
  // other prefixes cannot change an answer: forgetting them lets more
  // states be shared.
  static constexpr void Settle(State& s) {
    for (std::size_t r = 0; r < kRules.size(); ++r) {
      if ((s.matched & kPlainMasks[r]) == 0) continue;
      for (uint64_t rest = s.open & kRuleMasks[r]; rest != 0; rest &= rest - 1)
        s.Set(static_cast<std::size_t>(std::countr_zero(rest)), kOut);
    }
  }

  struct Tables {
    std::array<std::array<uint8_t, kCharClasses>, kMaxStates> next{};
    std::array<std::array<Brand, kLongest + 2>, kMaxStates> answer{};
    std::size_t states = 0;
  };

  // Breadth first from the start, one layer per leading character; a state
  // met again in its layer is shared. A settled state (every prefix out or
  // matched) leads to itself, and is shared with any other that matched the
  // same prefixes, whatever its layer.
  static constexpr Tables Make() {
    Tables t;
    std::array<State, kMaxStates> states{};
    std::array<std::size_t, kMaxStates> depth{};
    std::array<bool, kMaxStates> settled{};
    for (std::size_t k = 0; k < kEntries; ++k) states[0].Set(k, kAtBothEnds);
    t.states = 1;
    std::size_t layer_end = 1;  // the first state of the next layer
    for (std::size_t i = 0; i < t.states; ++i) {
      // Only the states the last character leads to are asked for answers.
      if (settled[i] || depth[i] == kDepth)
        for (std::size_t length = 0; length < kLongest + 2; ++length) t.answer[i][length] = Answer(states[i].matched, length);
      if (i == layer_end) layer_end = t.states;
      for (std::size_t c = 0; c < kCharClasses; ++c) {
        if (settled[i] || depth[i] == kDepth) {
          t.next[i][c] = static_cast<uint8_t>(i);
          continue;
        }
        State to = states[i];
        for (uint64_t open = states[i].open; open != 0; open &= open - 1) {
          const auto k = static_cast<std::size_t>(std::countr_zero(open));
          to.Set(k, Step(kTableEntries[k], states[i].Of(k), depth[i], c));
        }
        Settle(to);
        const bool to_settled = to.open == 0;
        std::size_t j = to_settled ? 0 : layer_end;
        for (; j < t.states; ++j) {
          if (to_settled ? settled[j] && states[j].matched == to.matched : depth[j] == depth[i] + 1 && states[j] == to)
            break;
        }
        if (j == t.states) {
          if (t.states == kMaxStates) return Tables{};  // caught below
          states[j] = to;
          depth[j] = depth[i] + 1;
          settled[j] = to_settled;
          ++t.states;
        }
        t.next[i][c] = static_cast<uint8_t>(j);
      }
    }
    return t;
  }

  static constexpr Tables kTables = Make();
  static_assert(kTables.states != 0, "more states than the tables hold");

  // `p` must hold kDepth readable bytes.
  static Brand LookUp(std::size_t length, const unsigned char* p) {
    std::size_t s = 0;
    for (std::size_t at = 0; at < kDepth; ++at) s = kTables.next[s][ClassOf(p[at])];
    return kTables.answer[s][std::min(length, kLongest + 1)];
  }
};

// A text shorter than the rules' prefixes has no brand, and may not be read that far.
Brand BrandOf(Text text) {
  if (kLengthClasses.of[std::min(text.size(), kLongestCard + 1)] == 0) return Brand::None;
  return LookUp(text.size(), reinterpret_cast<const unsigned char*>(text.data()));
}

Brand BrandOf(Text text, BrandTable table) {
  if (table == BrandTable::Seed) return BrandOf(text);
  using Current = Automaton<BrandTable::Current>;
  constexpr std::size_t kShortest = ShortestCard(BrandTable::Current);
  if (text.size() < kShortest || text.size() > Current::kLongest) return Brand::None;
  return Current::LookUp(text.size(), reinterpret_cast<const unsigned char*>(text.data()));
}

void BrandsOfPadded(const PaddedText* texts, std::size_t n, Brand* brands) {
  for (std::size_t i = 0; i < n; ++i) brands[i] = LookUp(texts[i].size(), texts[i].bytes());
}

}  // namespace tessera
