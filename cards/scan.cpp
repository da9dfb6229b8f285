// scan.cpp -- finds card numbers inside arbitrary bytes, arriving as a stream of blocks
//
// Two parts. The skipper classes the bytes 64 at a time into bit masks and
// looks, with a few shifts and ands, for chains spanning at least
// kShortestCard bytes: a shorter chain holds fewer digits than any card, and
// in log text nearly every chain is one. Only such a chain is handed to the
// chain reader, which walks its groups byte by byte and decides the runs.
// The reader takes only digits and separators, so the newlines the skipper
// counts on both sides of a chain are all there are.
#include "cards/scan.h"

#include <bit>
#include <cstring>

#include "cards/luhn.h"
#include "cards/scan_simd.h"

namespace tessera {
namespace {

constexpr uint64_t Below(std::size_t bit) { return bit >= 64 ? ~uint64_t{0} : (uint64_t{1} << bit) - 1; }

// Without a popcnt instruction in the baseline the compiler would call a
// library routine; this is a handful of instructions.
constexpr uint64_t CountBits(uint64_t x) {
  x = x - ((x >> 1) & 0x5555555555555555u);
  x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
  x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0fu;
  return (x * 0x0101010101010101u) >> 56;
}

constexpr bool IsSeparator(unsigned char c) { return c == ' ' || c == '-'; }

}  // namespace

CardScanner::ClassifyFunction CardScanner::ChooseClassify() {
#if TESSERA_HAVE_AVX2
  if (simd::HaveAvx2()) return simd::ClassifyBytesAvx2;
#endif
#if TESSERA_HAVE_SSE2
  return simd::ClassifyBytesSse2;
#else
  return ClassifyBytesScalar;
#endif
}

void ClassifyBytesScalar(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, p += 64) {
    ByteClasses classes{0, 0, 0};
    for (std::size_t i = 0; i < 64; ++i) {
      const uint64_t bit = uint64_t{1} << i;
      if (IsDigit(static_cast<char>(p[i]))) classes.digits |= bit;
      if (IsSeparator(p[i])) classes.separators |= bit;
      if (p[i] == '\n') classes.newlines |= bit;
    }
    out[chunk] = classes;
  }
}

CardScanner::CardScanner(ScanRule rule) : rule_(rule), longest_(LongestRun(rule)), classify_(ChooseClassify()) {}

std::span<const CardFinding> CardScanner::Scan(Text block) {
  findings_.clear();
  Run(reinterpret_cast<const unsigned char*>(block.data()), block.size(), false);
  return findings_;
}

std::span<const CardFinding> CardScanner::ScanPadded(Text block) {
  findings_.clear();
  Run(reinterpret_cast<const unsigned char*>(block.data()), block.size(), true);
  return findings_;
}

std::span<const CardFinding> CardScanner::Finish() {
  findings_.clear();
  if (phase_ == Phase::InGroup) CloseGroup();
  EndChain();
  phase_ = Phase::Idle;
  base_ = lines_ = line_start_ = 0;
  return findings_;
}

void CardScanner::Run(const unsigned char* p, std::size_t end, bool padded) {
  segment_count_ = 0;
  std::size_t at = phase_ == Phase::Idle ? 0 : Chain(p, 0, end);
  while (at < end) {
    const std::size_t start = Skip(p, at, end, padded);
    if (start >= end) break;
    chain_line_ = lines_ + 1;
    chain_line_start_ = line_start_;
    phase_ = Phase::InGroup;
    StartGroup(base_ + start);
    at = Chain(p, start, end);
  }
  base_ += end;
}

void CardScanner::Classify(const unsigned char* p, std::size_t chunk, std::size_t end, bool padded) {
  const std::size_t chunks = (end + 63) / 64;
  segment_first_ = chunk;
  segment_count_ = std::min(kSegmentChunks, chunks - chunk);
  // Without padding, the bytes past a partial last chunk are not ours to read.
  std::size_t whole = segment_count_;
  if (!padded && (chunk + whole) * 64 > end) --whole;
  classify_(p + chunk * 64, whole, classes_.data());
  if (whole < segment_count_) {
    unsigned char tail[64] = {};
    const std::size_t from = (chunk + whole) * 64;
    std::memcpy(tail, p + from, end - from);
    classify_(tail, 1, classes_.data() + whole);
  }
}

// Returns where the first chain that may hold a finding begins: at least
// kShortestCard digits, and not a lone group longer than any run. Or the
// chain that reaches the end of the block and may go on in the next; `end`
// when there is neither. Bit i of a mask stands for byte base + i; the
// masks of the chunk before carry runs over the chunk boundary. The byte
// before `at` is never a digit: `at` is the start of a block with no chain
// open, or the first byte after a chain.
std::size_t CardScanner::Skip(const unsigned char* p, std::size_t at, std::size_t end, bool padded) {
  static_assert(kShortestCard == 13, "the run test below ands together 13 consecutive bits");
  uint64_t last_digits = 0, last_joined = 0, last_chain = 0, last_run2 = 0, last_run4 = 0, last_run8 = 0;
  std::size_t last_start = end;
  uint64_t lines = lines_, line_start = line_start_;
  auto count_lines = [&](uint64_t newlines, std::size_t base) {
    lines += CountBits(newlines);
    if (newlines != 0) line_start = base_ + base + 64 - static_cast<std::size_t>(std::countl_zero(newlines));
  };
  for (std::size_t chunk = at / 64;; ++chunk) {
    if (chunk - segment_first_ >= segment_count_) Classify(p, chunk, end, padded);
    const ByteClasses& classes = classes_[chunk - segment_first_];
    const std::size_t base = chunk * 64;
    uint64_t valid = Below(end - base);
    if (at > base) valid &= ~Below(at - base);
    const uint64_t digits = classes.digits & valid;
    const uint64_t separators = classes.separators & valid;
    const uint64_t newlines = classes.newlines & valid;
    // What follows the block is unknown: taken as a digit, so that a
    // separator at its end keeps the chain open.
    const uint64_t next_digit = base + 64 < end ? IsDigit(static_cast<char>(p[base + 64])) : 1;
    const uint64_t digits_ahead = ((digits | ~Below(end - base)) >> 1) | (next_digit << 63);
    const uint64_t joined = separators & ((digits << 1) | (last_digits >> 63)) & digits_ahead;
    const uint64_t chain = digits | joined;
    const uint64_t chain_before = (chain << 1) | (last_chain >> 63);
    const uint64_t starts = chain & ~chain_before;
    // Bit i of runK: bytes i-K+1 to i all belong to a chain.
    const uint64_t run2 = chain & chain_before;
    const uint64_t run4 = run2 & ((run2 << 2) | (last_run2 >> 62));
    const uint64_t run8 = run4 & ((run4 << 4) | (last_run4 >> 60));
    uint64_t run13 = run8 & ((run8 << 5) | (last_run8 >> 59));
    while (run13 != 0) {
      const auto i = static_cast<std::size_t>(std::countr_zero(run13));
      const uint64_t own_starts = starts & Below(i + 1);
      const std::size_t start = own_starts != 0 ? base + 63 - static_cast<std::size_t>(std::countl_zero(own_starts)) : last_start;
      // The chain ends at `stop`, or goes on into the next chunk, where it
      // is looked at again.
      const uint64_t beyond = ~chain & ~Below(i);
      std::size_t stop = base + 64;
      if (beyond != 0) {
        stop = base + static_cast<std::size_t>(std::countr_zero(beyond));
      } else if (next_digit != 0 || ((digits >> 63) != 0 && IsSeparator(p[base + 64]) &&
                                     (base + 65 >= end || IsDigit(static_cast<char>(p[base + 65]))))) {
        break;
      }
      // A chain within this chunk and the one before is judged here by its
      // digits; a longer one, or one that may go on, goes to the reader.
      if (stop < end && start + 64 >= base) {
        const uint64_t here = Below(stop - base) & ~Below(start > base ? start - base : 0);
        const uint64_t before = start < base ? ~Below(start + 64 - base) : 0;
        const uint64_t chain_digits = CountBits(digits & here) + CountBits(last_digits & before);
        const bool single_group = ((joined & here) | (last_joined & before)) == 0;
        if (chain_digits < kShortestCard || (single_group && chain_digits > longest_)) {
          run13 &= ~Below(stop - base);
          continue;
        }
      }
      count_lines(newlines & Below(i), base);
      lines_ = lines;
      line_start_ = line_start;
      return start;
    }
    count_lines(newlines, base);
    if (starts != 0) last_start = base + 63 - static_cast<std::size_t>(std::countl_zero(starts));
    if (base + 64 >= end) {
      lines_ = lines;
      line_start_ = line_start;
      return (chain >> (end - 1 - base)) & 1 ? last_start : end;
    }
    last_digits = digits;
    last_joined = joined;
    last_chain = chain;
    last_run2 = run2;
    last_run4 = run4;
    last_run8 = run8;
  }
}

// Reads the open chain from `at` until it ends; returns the first byte after
// it that the reader did not take, or `end` when the chain may go on in the
// next block.
std::size_t CardScanner::Chain(const unsigned char* p, std::size_t at, std::size_t end) {
  while (at < end) {
    if (phase_ == Phase::InGroup) {
      std::size_t stop = at;
      while (stop < end && IsDigit(static_cast<char>(p[stop]))) ++stop;
      AddDigits(p + at, stop - at);
      at = stop;
      if (at == end) return end;
      CloseGroup();
      if (!IsSeparator(p[at])) {
        EndChain();
        phase_ = Phase::Idle;
        return at;
      }
      separator_ = static_cast<char>(p[at++]);
      phase_ = Phase::AfterSeparator;
    } else {
      if (!IsDigit(static_cast<char>(p[at]))) {
        EndChain();
        phase_ = Phase::Idle;
        return at;
      }
      phase_ = Phase::InGroup;
      StartGroup(base_ + at);
    }
  }
  return end;
}

void CardScanner::StartGroup(uint64_t offset) {
  if (count_ == 0) {
    origin_ = offset;
    size_ = 0;
  } else {
    text_[size_++] = separator_;
  }
  group_begin_ = size_;
  group_digits_ = 0;
  too_long_ = false;
}

void CardScanner::AddDigits(const unsigned char* digits, std::size_t n) {
  if (too_long_) return;
  if (group_digits_ + n > longest_) {
    // No run can hold this group, so nothing after it can join the runs
    // before it: those are decided now, and the chain starts afresh after it.
    too_long_ = true;
    size_ = count_ == 0 ? 0 : group_begin_ - 1;
    EndChain();
    return;
  }
  std::memcpy(text_.data() + size_, digits, n);
  size_ += n;
  group_digits_ += n;
}

void CardScanner::CloseGroup() {
  if (too_long_) {
    too_long_ = false;
    return;
  }
  groups_[count_++] = {static_cast<unsigned char>(group_begin_), static_cast<unsigned char>(group_digits_)};
  total_ += group_digits_;
  // The runs from the first group are all known once the groups hold more
  // digits than the longest run.
  while (total_ > longest_) ResolveHead();
}

void CardScanner::EndChain() {
  while (count_ != 0) ResolveHead();
}

// Decides the runs starting at the first undecided group: reports the
// longest that qualifies and drops its groups, or drops the first group.
void CardScanner::ResolveHead() {
  if (total_ < kShortestCard) {
    Drop(count_);
    return;
  }
  std::size_t digits = 0, best = 0;
  Brand brand = Brand::None;
  for (std::size_t k = 0; k < count_ && digits + groups_[k].digits <= longest_; ++k) {
    std::memcpy(digits_.data() + digits, text_.data() + groups_[k].begin, groups_[k].digits);
    digits += groups_[k].digits;
    if (digits < kShortestCard) continue;
    const Text run(digits_.data(), digits);
    if (rule_ == ScanRule::Card) {
      const CardVerdict verdict = JudgeCardPadded(run);
      if (verdict.valid()) {
        best = k + 1;
        brand = verdict.brand;
      }
    } else if (LuhnSumPadded(run) % 10 == 0) {
      best = k + 1;
      brand = BrandOf(run);
    }
  }
  if (best == 0) {
    Drop(1);
    return;
  }
  const Group& last = groups_[best - 1];
  CardFinding& finding = findings_.emplace_back();
  finding.offset = origin_;
  finding.line = chain_line_;
  finding.column = origin_ - chain_line_start_ + 1;
  finding.brand = brand;
  finding.size = static_cast<unsigned char>(last.begin + last.digits);
  std::memcpy(finding.bytes.data(), text_.data(), finding.size);
  Drop(best);
}

// Drops the first `groups` undecided groups; the next one, if any, moves to
// the front of text_.
void CardScanner::Drop(std::size_t groups) {
  if (groups == count_) {
    count_ = total_ = size_ = 0;
    return;
  }
  const std::size_t shift = groups_[groups].begin;
  for (std::size_t k = 0; k < groups; ++k) total_ -= groups_[k].digits;
  for (std::size_t k = groups; k < count_; ++k)
    groups_[k - groups] = {static_cast<unsigned char>(groups_[k].begin - shift), groups_[k].digits};
  count_ -= groups;
  std::memmove(text_.data(), text_.data() + shift, size_ - shift);
  size_ -= shift;
  origin_ += shift;
}

std::vector<CardFinding> FindCards(Text text, ScanRule rule) {
  CardScanner scanner(rule);
  const std::span<const CardFinding> found = scanner.Scan(text);
  std::vector<CardFinding> findings(found.begin(), found.end());
  const std::span<const CardFinding> rest = scanner.Finish();
  findings.insert(findings.end(), rest.begin(), rest.end());
  return findings;
}

}  // namespace tessera
