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
#include "cards/scan_skip.h"

namespace tessera {
namespace {

using scan_skip::IsSeparator;

}  // namespace

namespace {

constexpr ScanForms kScanForms[] = {
    {ClassifyBytesScalar, SkipPortable},
#if TESSERA_HAVE_SSE2
    {simd::ClassifyBytesSse2, SkipPortable},
#endif
#if TESSERA_HAVE_AVX2
    {simd::ClassifyBytesAvx2, simd::SkipAvx2},
#endif
};

detail::ScanSkipper Skipper(std::size_t longest) {
  const ScanForms& forms = ScanFormsFor(simd::RunningIsa());
  detail::ScanSkipper skipper{};
  skipper.longest = longest;
  skipper.classify = forms.classify;
  skipper.skip = forms.skip;
  return skipper;
}

}  // namespace

const ScanForms& ScanFormsFor(simd::Isa isa) { return simd::FormsFor(kScanForms, isa); }

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

CardScanner::CardScanner(ScanRule rule) : rule_(rule), longest_(LongestRun(rule)), skipper_(Skipper(longest_)) {}

std::span<const CardFinding> CardScanner::Scan(Text block) {
  findings_.clear();
  Run(reinterpret_cast<const unsigned char*>(block.data()), block.size(), false);
  return findings_;
}

std::span<const CardFinding> CardScanner::ScanPadded(PaddedText block) {
  findings_.clear();
  Run(block.bytes(), block.size(), true);
  return findings_;
}

std::span<const CardFinding> CardScanner::Finish() {
  findings_.clear();
  if (phase_ == Phase::InGroup) CloseGroup();
  EndChain();
  phase_ = Phase::Idle;
  skipper_.base = skipper_.lines = skipper_.line_start = 0;
  return findings_;
}

void CardScanner::Run(const unsigned char* p, std::size_t end, bool padded) {
  skipper_.segment_count = 0;
  std::size_t at = phase_ == Phase::Idle ? 0 : Chain(p, 0, end);
  while (at < end) {
    const std::size_t start = skipper_.skip(skipper_, p, at, end, padded);
    if (start >= end) break;
    chain_line_ = skipper_.lines + 1;
    chain_line_start_ = skipper_.line_start;
    phase_ = Phase::InGroup;
    StartGroup(skipper_.base + start);
    at = Chain(p, start, end);
  }
  skipper_.base += end;
}

void detail::ScanSkipper::ClassifySegment(const unsigned char* p, std::size_t chunk, std::size_t end, bool padded) {
  const std::size_t chunks = (end + 63) / 64;
  segment_first = chunk;
  segment_count = std::min(kSegmentChunks, chunks - chunk);
  // Without padding, the bytes past a partial last chunk are not ours to read.
  std::size_t whole = segment_count;
  if (!padded && (chunk + whole) * 64 > end) --whole;
  classify(p + chunk * 64, whole, classes.data());
  if (whole < segment_count) {
    unsigned char tail[64] = {};
    const std::size_t from = (chunk + whole) * 64;
    std::memcpy(tail, p + from, end - from);
    classify(tail, 1, classes.data() + whole);
  }
}

std::size_t SkipPortable(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at, std::size_t end,
                         bool padded) {
  return scan_skip::Skip<scan_skip::PortableBits>(skipper, p, at, end, padded);
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
      StartGroup(skipper_.base + at);
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
    const PaddedText run(digits_.data(), digits);
    if (rule_ == ScanRule::Card) {
      const CardVerdict verdict = JudgeCardPadded(run);
      if (verdict.valid()) {
        best = k + 1;
        brand = verdict.brand;
      }
    } else if (CheckNumberPadded(run)) {
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
