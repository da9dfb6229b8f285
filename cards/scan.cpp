// scan.cpp -- finds card numbers inside arbitrary bytes, arriving as a stream of blocks
//
// Three parts. The skipper classes the bytes 64 at a time into bit masks and
// looks, with a few shifts and ands, for chains spanning at least
// kShortestCard bytes: a shorter chain holds fewer digits than any card, and
// in log text nearly every chain is one. Only such a chain is handed to the
// chain reader, which walks its groups byte by byte and decides the runs.
// The reader takes only digits and separators, so the newlines the skipper
// counts on both sides of a chain are all there are. A finding then waits
// until kContext bytes after it have arrived, and is judged by the bytes
// around it, which the scanner keeps from earlier blocks in a ring.
#include "cards/scan.h"

#include <bit>
#include <cstring>

#include "cards/lookalikes.h"
#include "cards/luhn.h"
#include "cards/scan_simd.h"
#include "cards/scan_skip.h"

namespace tessera {
namespace {

using scan_skip::IsSeparator;

// Escape digits before a group are at most seven (a character reference):
// a lone group of more digits than a run and those holds no finding.
constexpr std::size_t kMostEscapeDigits = 7;

// The two-digit beginnings of each length that a brand of the table may
// take: every prefix's range, cut to its first two digits.
constexpr FirstDigits MakeFirstDigits(BrandTable table) {
  FirstDigits possible{};
  for (const BrandRule& rule : RulesOf(table))
    for (const BrandPrefix& prefix : rule.prefixes) {
      if (prefix.text.empty()) continue;
      const std::size_t size = PrefixSize(prefix.text);
      const Text low = prefix.text.substr(0, size), high = IsRange(prefix.text) ? prefix.text.substr(size + 1) : low;
      auto two = [](Text end, char pad) { return (end[0] - '0') * 10 + ((end.size() > 1 ? end[1] : pad) - '0'); };
      for (int d = two(low, '0'); d <= two(high, '9'); ++d)
        for (std::size_t length = kShortestCard; length <= kLongestLuhnRun; ++length)
          if (AcceptsLength(rule, length)) possible[length - kShortestCard][static_cast<std::size_t>(d)] = true;
    }
  return possible;
}

constexpr FirstDigits kFirstDigits = MakeFirstDigits(BrandTable::Current);

constexpr ScanForms kScanForms[] = {
    {ClassifyBytesScalar, ClassifyBytesScalarWide, SkipPortable, SkipPortableWide},
#if TESSERA_HAVE_SSE2
    {simd::ClassifyBytesSse2, simd::ClassifyBytesSse2Wide, SkipPortable, SkipPortableWide},
#endif
#if TESSERA_HAVE_AVX2
    {simd::ClassifyBytesAvx2, simd::ClassifyBytesAvx2Wide, simd::SkipAvx2, simd::SkipAvx2Wide},
#endif
};

detail::ScanSkipper Skipper(ScanRule rule) {
  const ScanForms& forms = ScanFormsFor(simd::RunningIsa());
  detail::ScanSkipper skipper{};
  const bool wide = !rule.seed();
  skipper.longest = LongestRun(rule) + (wide ? kMostEscapeDigits : 0);
  if (wide && !rule.luhn_only) skipper.possible = &kFirstDigits;
  skipper.classify = wide ? forms.classify_wide : forms.classify;
  skipper.skip = wide ? forms.skip_wide : forms.skip;
  return skipper;
}

// The separator `bytes` are, whole, under the rule; Separator::None if not.
Separator SeparatorOf(Text bytes, bool seed) {
  if (bytes.size() == 1) {
    if (bytes[0] == ' ') return Separator::Space;
    if (bytes[0] == '-') return Separator::Hyphen;
    if (bytes[0] == '+' && !seed) return Separator::Plus;
    return Separator::None;
  }
  if (seed) return Separator::None;
  const SeparatorForm form = SeparatorAt(bytes);
  return form.bytes.size() == bytes.size() ? form.kind : Separator::None;
}

template <bool kWide>
void Classify(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  for (std::size_t chunk = 0; chunk < chunks; ++chunk, p += 64) {
    ByteClasses classes{0, 0, 0, 0};
    for (std::size_t i = 0; i < 64; ++i) {
      const uint64_t bit = uint64_t{1} << i;
      if (IsDigit(static_cast<char>(p[i]))) classes.digits |= bit;
      if (IsSeparator(p[i]) || (kWide && scan_skip::IsWide(p[i]))) classes.separators |= bit;
      if (p[i] == '\n') classes.newlines |= bit;
      if (kWide && scan_skip::IsHigh(p[i])) classes.high |= bit;
    }
    out[chunk] = classes;
  }
}

}  // namespace

const ScanForms& ScanFormsFor(simd::Isa isa) { return simd::FormsFor(kScanForms, isa); }

void ClassifyBytesScalar(const unsigned char* p, std::size_t chunks, ByteClasses* out) { Classify<false>(p, chunks, out); }
void ClassifyBytesScalarWide(const unsigned char* p, std::size_t chunks, ByteClasses* out) {
  Classify<true>(p, chunks, out);
}

CardScanner::CardScanner(ScanRule rule) : rule_(rule), longest_(LongestRun(rule)), skipper_(Skipper(rule)) {}

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
  JudgePending(nullptr, 0, true);
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
    // The current rule's skipper may begin a chain at a separator that is
    // near a digit without being joined to it ("7= 4111"): not a chain yet.
    if (!IsDigit(static_cast<char>(p[start]))) {
      at = start + 1;
      continue;
    }
    chain_line_ = skipper_.lines + 1;
    chain_line_start_ = skipper_.line_start;
    if (skipper_.lone_digits != 0 && skipper_.lone_start == start) {
      TakeLone(p, start);
      at = start + skipper_.lone_digits;
      continue;
    }
    StartChain(p, start);
    at = Chain(p, start, end);
  }
  if (!pending_.empty()) JudgePending(p, end, false);
  KeepTail(p, end);
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
  return scan_skip::Skip<scan_skip::PortableBits, false>(skipper, p, at, end, padded);
}

std::size_t SkipPortableWide(detail::ScanSkipper& skipper, const unsigned char* p, std::size_t at, std::size_t end,
                             bool padded) {
  return scan_skip::Skip<scan_skip::PortableBits, true>(skipper, p, at, end, padded);
}

char CardScanner::ByteAt(const unsigned char* p, std::size_t end, uint64_t offset) const {
  if (offset >= skipper_.base && offset - skipper_.base < end) return static_cast<char>(p[offset - skipper_.base]);
  return ring_[offset % kRing];
}

// Bytes [from, to) of the input, from the block where they are in it.
void CardScanner::CopyOut(const unsigned char* p, uint64_t from, uint64_t to, char* out) const {
  const uint64_t base = skipper_.base;
  for (; from < to && from < base; ++from) *out++ = ring_[from % kRing];
  if (from < to) std::memcpy(out, p + (from - base), static_cast<std::size_t>(to - from));
}

void CardScanner::KeepTail(const unsigned char* p, std::size_t end) {
  for (std::size_t i = end - std::min(end, kRing); i < end; ++i) ring_[(skipper_.base + i) % kRing] = static_cast<char>(p[i]);
}

// A chain begins at `start`, a digit: under the current rule its first
// digits may still be an escape's.
void CardScanner::StartChain(const unsigned char* p, std::size_t start) {
  past_count_ = 0;
  separator_ = Separator::None;
  group_first_ = true;
  escaped_ = 0;
  // Only a few bytes can end an escape's introducer or hex digits.
  const uint64_t offset = skipper_.base + start;
  if (!rule_.seed() && offset != 0 && scan_skip::MayEndEscape(static_cast<unsigned char>(ByteAt(p, start, offset - 1)))) {
    std::array<char, 12> before{};
    const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(before.size(), offset));
    CopyOut(p, offset - n, offset, before.data());
    escaped_ = EscapedDigits(Text(before.data(), n));
  }
  if (escaped_ != 0) {
    phase_ = Phase::InEscape;
    return;
  }
  phase_ = Phase::InGroup;
  StartGroup(skipper_.base + start);
}

// Reads the open chain from `at` until it ends; returns the first byte after
// it that the reader did not take, or `end` when the chain may go on in the
// next block.
std::size_t CardScanner::Chain(const unsigned char* p, std::size_t at, std::size_t end) {
  while (at < end) {
    switch (phase_) {
      case Phase::InEscape:
        while (at < end && escaped_ != 0 && IsDigit(static_cast<char>(p[at]))) {
          ++at;
          --escaped_;
        }
        if (at == end) return end;
        if (!IsDigit(static_cast<char>(p[at]))) {
          phase_ = Phase::Idle;
          return at;
        }
        phase_ = Phase::InGroup;
        StartGroup(skipper_.base + at);
        break;
      case Phase::InGroup: {
        std::size_t stop = at;
        while (stop < end && IsDigit(static_cast<char>(p[stop]))) ++stop;
        AddDigits(p + at, stop - at);
        at = stop;
        if (at == end) return end;
        CloseGroup();
        separator_size_ = 0;
        phase_ = Phase::InSeparator;
        break;
      }
      case Phase::InSeparator: {
        const std::size_t next = Separate(p, at, end);
        if (phase_ == Phase::Idle) return next;
        at = next;
        break;
      }
      case Phase::Idle:
        return at;
    }
  }
  return end;
}

// The bytes after a group: a separator and a digit start the next group of
// the chain; anything else ends it.
std::size_t CardScanner::Separate(const unsigned char* p, std::size_t at, std::size_t end) {
  while (at < end) {
    const Text so_far(separator_bytes_.data(), separator_size_);
    const Separator whole = separator_size_ == 0 ? Separator::None : SeparatorOf(so_far, rule_.seed());
    if (whole != Separator::None) {
      if (IsDigit(static_cast<char>(p[at]))) {
        separator_ = whole;
        group_first_ = false;
        phase_ = Phase::InGroup;
        StartGroup(skipper_.base + at);
        return at;
      }
    } else if (separator_size_ < kLongestSeparator) {
      separator_bytes_[separator_size_] = static_cast<char>(p[at]);
      const Text grown(separator_bytes_.data(), separator_size_ + 1);
      if (SeparatorOf(grown, rule_.seed()) != Separator::None || (!rule_.seed() && MayBeSeparator(grown))) {
        ++separator_size_;
        ++at;
        continue;
      }
    }
    EndChain();
    phase_ = Phase::Idle;
    return at;
  }
  return end;
}

void CardScanner::StartGroup(uint64_t offset) {
  if (count_ == 0) {
    origin_ = offset;
    size_ = 0;
  } else {
    std::memcpy(text_.data() + size_, separator_bytes_.data(), separator_size_);
    size_ += separator_size_;
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
    size_ = count_ == 0 ? 0 : group_begin_ - separator_size_;
    // The groups before it are joined to it: no number in groups ends there.
    joined_on_ = separator_;
    EndChain();
    joined_on_ = Separator::None;
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
  groups_[count_++] = {static_cast<unsigned char>(group_begin_), static_cast<unsigned char>(group_digits_), separator_,
                       group_first_};
  total_ += group_digits_;
  // The runs from the first group are all known once the groups hold more
  // digits than the longest run.
  while (total_ > longest_) ResolveHead();
}

void CardScanner::EndChain() {
  while (count_ != 0) ResolveHead();
  past_count_ = 0;
}

// Decides the run starting at the first undecided group: reports it and
// drops its groups, or drops the first group.
void CardScanner::ResolveHead() {
  if (total_ < kShortestCard) {
    Drop(count_);
    return;
  }
  if (rule_.seed()) return ResolveSeedHead();
  std::size_t groups = 0;
  if (count_ == 1 && past_count_ == 0 && joined_on_ == Separator::None) {
    // A chain of one group, as most are: a number by its length or none.
    groups = groups_[0].digits >= kShortestCard ? 1 : 0;
  } else {
    const ChainView view = View();
    const std::size_t head = past_count_;
    // A number in groups from the head, or the head alone by its length
    // unless it is a group of such a number.
    std::size_t last = view.size;
    for (std::size_t k = head + 1; k < view.size && k < head + kMostGroups; ++k)
      if (view.IsNumberInGroups(head, k)) last = k;
    if (last == view.size && view.digits[head] >= kShortestCard && !view.InNumberInGroups(head)) last = head;
    groups = last == view.size ? 0 : last - head + 1;
  }
  if (groups == 0) {
    Drop(1);
    return;
  }
  std::size_t n = 0;
  for (std::size_t k = 0; k < groups; ++k) {
    std::memcpy(digits_.data() + n, text_.data() + groups_[k].begin, groups_[k].digits);
    n += groups_[k].digits;
  }
  const PaddedText run(digits_.data(), n);
  const Brand brand = BrandOf(run, rule_.brands);
  if ((brand == Brand::None && !rule_.luhn_only) || !CheckNumberPadded(run)) {
    Drop(1);
    return;
  }
  Take(groups, brand);
}

// The past groups, oldest first, then the undecided ones: their sizes and
// the separator joining each to the one before it.
CardScanner::ChainView CardScanner::View() const {
  ChainView view;
  for (std::size_t i = past_count_; i-- > 0;) {
    view.digits[view.size] = past_[i].digits;
    view.joints[view.size++] = past_[i].separator;
  }
  for (std::size_t k = 0; k < count_; ++k) {
    view.digits[view.size] = groups_[k].digits;
    view.joints[view.size++] = groups_[k].separator;
  }
  // A group too long for any run, joined after the last: its size counts as
  // more digits than any run holds.
  if (joined_on_ != Separator::None) {
    view.digits[view.size] = UINT8_MAX;
    view.joints[view.size++] = joined_on_;
  }
  return view;
}

// Groups first to last joined by one separator, and by no more groups with
// it on either side, in a layout.
bool CardScanner::ChainView::IsNumberInGroups(std::size_t first, std::size_t last) const {
  const Separator joint = joints[first + 1];
  if (joints[first] == joint || (last + 1 < size && joints[last + 1] == joint)) return false;
  std::array<uint8_t, kMostGroups> sizes{};
  std::size_t n = 0, sum = 0;
  for (std::size_t k = first; k <= last; ++k) {
    if (k > first && joints[k] != joint) return false;
    if (n == kMostGroups) return false;
    sizes[n++] = digits[k];
    sum += digits[k];
  }
  return sum <= kLongestLuhnRun && IsLayout(std::span(sizes.data(), n));
}

bool CardScanner::ChainView::InNumberInGroups(std::size_t group) const {
  for (std::size_t first = group >= kMostGroups ? group - kMostGroups + 1 : 0; first <= group; ++first)
    for (std::size_t last = std::max(first + 1, group); last < size && last < first + kMostGroups; ++last)
      if (IsNumberInGroups(first, last)) return true;
  return false;
}

// The seed rule: the longest run of whole groups, of any sizes and either
// separator, that passes the card check.
void CardScanner::ResolveSeedHead() {
  std::size_t digits = 0, best = 0;
  Brand brand = Brand::None;
  for (std::size_t k = 0; k < count_ && digits + groups_[k].digits <= longest_; ++k) {
    std::memcpy(digits_.data() + digits, text_.data() + groups_[k].begin, groups_[k].digits);
    digits += groups_[k].digits;
    if (digits < kShortestCard) continue;
    const PaddedText run(digits_.data(), digits);
    if (!rule_.luhn_only) {
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
  Take(best, brand);
}

// Reports the first `groups` undecided groups as a finding, to be judged
// once the bytes after it have come (under the seed rule, at once).
void CardScanner::Take(std::size_t groups, Brand brand) {
  const Group& last = groups_[groups - 1];
  Pending& pending = rule_.seed() ? seed_pending_ : pending_.emplace_back();
  pending = Pending{};
  CardFinding& f = pending.finding;
  f.offset = origin_;
  f.line = chain_line_;
  f.column = origin_ - chain_line_start_ + 1;
  f.brand = brand;
  f.size = static_cast<unsigned char>(last.begin + last.digits);
  f.reason = groups > 1 ? FindingReason::Layout : FindingReason::Plain;
  f.kept = KeptBack::None;
  std::memcpy(f.bytes.data(), text_.data(), f.size);
  pending.end = origin_ + f.size;
  pending.grouped = groups > 1;
  pending.starts_chain = groups_[0].first;
  if (rule_.seed()) findings_.push_back(f);
  Drop(groups);
}

// A lone group the skipper found whole, its digits passing the table and
// the checksum: the finding the reader would make of it.
void CardScanner::TakeLone(const unsigned char* p, std::size_t start) {
  Pending& pending = pending_.emplace_back();
  CardFinding& f = pending.finding;
  f.offset = skipper_.base + start;
  f.line = chain_line_;
  f.column = f.offset - chain_line_start_ + 1;
  f.brand = skipper_.lone_brand;
  f.size = static_cast<unsigned char>(skipper_.lone_digits);
  std::memcpy(f.bytes.data(), p + start, f.size);
  pending.end = f.offset + f.size;
  pending.grouped = false;
  pending.starts_chain = true;
}

// Drops the first `groups` undecided groups, keeping the last few as past
// groups; the next one, if any, moves to the front of text_.
void CardScanner::Drop(std::size_t groups) {
  for (std::size_t k = 0; k < groups; ++k) {
    for (std::size_t i = std::min(past_count_, kMostPast - 1); i > 0; --i) past_[i] = past_[i - 1];
    past_[0] = {groups_[k].digits, groups_[k].separator};
    past_count_ = std::min(past_count_ + 1, kMostPast);
  }
  if (groups == count_) {
    count_ = total_ = size_ = 0;
    return;
  }
  const std::size_t shift = groups_[groups].begin;
  for (std::size_t k = 0; k < groups; ++k) total_ -= groups_[k].digits;
  for (std::size_t k = groups; k < count_; ++k) {
    groups_[k - groups] = groups_[k];
    groups_[k - groups].begin = static_cast<unsigned char>(groups_[k].begin - shift);
  }
  count_ -= groups;
  std::memmove(text_.data(), text_.data() + shift, size_ - shift);
  size_ -= shift;
  group_begin_ -= std::min(group_begin_, shift);
  origin_ += shift;
}

// Judges the waiting findings whose kContext bytes after them have come (all
// of them when the input is `finished`), in input order.
void CardScanner::JudgePending(const unsigned char* p, std::size_t end, bool finished) {
  const uint64_t known = skipper_.base + end;
  std::size_t judged = 0;
  for (Pending& pending : pending_) {
    if (!finished && pending.end + kContext > known) break;
    CardFinding& f = pending.finding;
    std::array<char, kContext> before, after;
    const uint64_t from = f.offset - std::min<uint64_t>(f.offset, kContext);
    const uint64_t to = std::min(pending.end + kContext, known);
    CopyOut(p, from, f.offset, before.data());
    CopyOut(p, pending.end, to, after.data());
    const Judgement j = JudgeFinding(Text(before.data(), f.offset - from), f.number(),
                                     Text(after.data(), to - pending.end), pending.grouped, pending.starts_chain);
    f.reason = j.reason;
    f.kept = j.kept;
    f.track = j.track;
    f.test = j.test;
    f.key_size = static_cast<unsigned char>(j.key.name.size());
    j.key.name.copy(f.key.data(), j.key.name.size());
    findings_.push_back(f);
    ++judged;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(judged));
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
