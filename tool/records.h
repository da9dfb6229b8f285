// records.h -- records from a byte stream: lines, or CSV fields, read in padded blocks
//
// The reader fills one block buffer and rolls the unfinished record over to
// the front of the next fill, so a record is never lost at a block edge and
// memory stays at the buffer. A field too long for the buffer is handed
// over in pieces as it streams past.
//
// Blocks of 64 bytes are classified at once into bit masks (line feeds,
// carriage returns, delimiters, quotes), and the work per record is one
// pass over the set bits. A block holding a quote, or starting right after
// one, is read a byte at a time instead: quotes are rare in exports, and
// where they are, the byte-wise rules of RFC 4180 decide.
//
// A line ends at LF, at CR LF, or at a CR alone (files from old Mac
// programs), so files of any of the three kinds read alike.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "base/byte_masks.h"
#include "frame/checks.h"
#include "tool/platform.h"

// The work per record is a few nanoseconds: calls to it are inlined into
// the scanning loops, so that a record's parts stay in registers.
#if defined(__GNUC__)
#define TESSERA_INLINE [[gnu::always_inline]] inline
#else
#define TESSERA_INLINE inline
#endif

namespace tessera::tool {

// Bytes read at most at once; a field longer than this is streamed.
inline constexpr std::size_t kReadBlock = std::size_t{256} << 10;
// Whole fields handed over at once.
inline constexpr std::size_t kRecordBatch = 64;

// The fields of a CSV record that are wanted, counted from 0.
struct Columns {
  std::size_t check = 0;          // the field delivered
  std::vector<std::size_t> kept;  // fields carried along with it, by slot; never `check`
};

struct RecordLayout {
  bool csv = false;  // else every line is one record with one field
  char delimiter = ',';
  Columns columns;   // unless the header says otherwise
  bool header = false;  // the first record is a header, not delivered; in CSV, its fields go to the sink
};

struct Field {
  enum Kind : unsigned char {
    kWhole,     // `value` holds it
    kStreamed,  // its pieces went to RecordSink::Piece; `size` bytes in all
    kMissing,   // the record has fewer fields
  };
  // Empty for kStreamed and kMissing.
  PaddedText value;
  uint64_t line;  // where the record starts, from 1
  uint64_t size;
  Kind kind;
};

// What ScanRecords hands the records to (a template parameter, so that the
// work per record is inlined into the scanning loop):
//
//   // Each field of a CSV header in order, unquoted, as it streams by (a
//   // view for the call only, so that no header is held whole); a field
//   // longer than the buffer comes as its first bytes, `whole` false.
//   void HeaderField(Text name, bool whole);
//   // The end of a CSV header of `fields` fields: the columns of this
//   // input, or nothing to skip the rest of it.
//   std::optional<Columns> HeaderEnd(std::size_t fields);
//   // A field to carry along of the record in progress, before its
//   // Record(): whole, or (`whole` false) in pieces in order as it
//   // streams past. A record without the field gives none.
//   void Kept(std::size_t slot, Text value, bool whole);
//   // A streamed field, in order, before its Record().
//   void Piece(Text piece);
//   // One per record after the header; false stops the reading.
//   bool Record(const Field& field);
//   // Whole fields (views of the read buffer) in order, as Record would
//   // get them: n <= kRecordBatch.
//   // Judging them first and showing them after lets the processor work
//   // on several at once.
//   bool Records(const PaddedText* values, const uint64_t* lines, std::size_t n);
//   // Around each read; before it is the time to show what is ready.
//   void BeforeRead();
//   void AfterRead();

struct ScanOutcome {
  int read_error = 0;           // 0, or why the input could not be read
  bool stopped = false;         // the sink asked to stop
  bool header_rejected = false; // HeaderEnd() said to skip the input
  std::optional<uint64_t> unclosed_quote_line;  // a quoted field ran to the end of the input
  uint64_t found = 0;           // CSV records with the field
  uint64_t missing = 0;         // CSV records without it
  uint64_t first_missing_line = 0;
  std::size_t widest_missing = 0;  // the most fields of a record without it
};

// Where a reader's bytes come from, with sys::Read's contract: 0 bytes
// and no error at the end.
class ByteSource {
 public:
  virtual sys::Transfer Read(char* to, std::size_t size) = 0;

 protected:
  ~ByteSource() = default;
};

// Spaces and tabs: what a field of nothing else holds is no value.
TESSERA_INLINE bool IsBlankByte(char c) { return c == ' ' || c == '\t'; }
TESSERA_INLINE bool IsBlank(Text value) {
  // Most fields begin with a digit: one look decides.
  if (!value.empty() && !IsBlankByte(value[0])) return false;
  return value.find_first_not_of(" \t") == Text::npos;
}

// The line-end rule, byte by byte: a CR, or an LF that is not the second
// byte of a CR LF. The masks of a block apply the same rule in LineEnds().
TESSERA_INLINE bool IsLineEnd(char c, bool after_cr) { return c == '\r' || (c == '\n' && !after_cr); }

namespace records {

inline constexpr std::size_t kBlock = 64;
static_assert(kPadding >= kBlock, "a block is loaded whole at any position before the end of the data");

struct Masks {
  uint64_t lf, cr, delimiter, quote;
};

// One bit per byte of the 64 at `p`; lines need only the line ends.
template <bool kCsv>
TESSERA_INLINE Masks Classify(const char* p, char delimiter) {
#if TESSERA_HAVE_SSE2
  const simd::sse2::Chunk bytes = simd::sse2::Chunk::Load(p);
  if (!kCsv) return {bytes.Byte('\n'), bytes.Byte('\r'), 0, 0};
  return {bytes.Byte('\n'), bytes.Byte('\r'), bytes.Byte(delimiter), bytes.Byte('"')};
#else
  Masks m{0, 0, 0, 0};
  for (std::size_t i = 0; i < kBlock; ++i) {
    const uint64_t bit = uint64_t{1} << i;
    m.lf |= p[i] == '\n' ? bit : 0;
    m.cr |= p[i] == '\r' ? bit : 0;
    m.delimiter |= p[i] == delimiter ? bit : 0;
    m.quote |= p[i] == '"' ? bit : 0;
  }
  return m;
#endif
}

#if TESSERA_HAVE_AVX2
// Classify in two 32-byte halves, for processors with AVX2: half the
// instructions of SSE2.
Masks ClassifyCsvAvx2(const char* p, char delimiter);
Masks ClassifyLinesAvx2(const char* p);
#endif

// The value of a CSV field from its bytes as they stand, in pieces: a
// field that begins with a quote loses it, a doubled quote inside stands
// for one, and the closing quote ends the quoted part. Bytes after the
// closing quote are kept as they are, as spreadsheets read them.
class Unquoter {
 public:
  template <class Emit>
  void Feed(Text raw, Emit&& emit) {
    std::size_t run = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const char c = raw[i];
      switch (state_) {
        case kStart:
          if (c == '"') {
            state_ = kQuoted;
            run = i + 1;
          } else {
            state_ = kPlain;
          }
          break;
        case kPlain:
          break;
        case kQuoted:
          if (c == '"') {
            if (i > run) emit(raw.substr(run, i - run));
            state_ = kQuoteSeen;
            run = i + 1;
          }
          break;
        case kQuoteSeen:
          state_ = c == '"' ? kQuoted : kPlain;
          run = i;
          break;
      }
    }
    if (run < raw.size()) emit(raw.substr(run));
  }

 private:
  enum { kStart, kPlain, kQuoted, kQuoteSeen } state_ = kStart;
};

// The value of a whole field: a view of the buffer where it needs no
// change, else a copy in `scratch` (padded like the buffer).
PaddedText UnquoteQuoted(PaddedText raw, char* scratch);
inline PaddedText Unquote(PaddedText raw, char* scratch) {
  return raw.empty() || raw[0] != '"' ? raw : UnquoteQuoted(raw, scratch);
}

template <class Sink>
class Scanner {
 public:
  Scanner(ByteSource& in, const RecordLayout& layout, Sink& sink, std::size_t capacity)
      : in_(in), layout_(layout), sink_(sink), column_(layout.columns.check), kept_(layout.columns.kept),
        capacity_(capacity), buffer_(new char[capacity + kPadding]), in_header_(layout.header) {
    ClearPadding();
  }

  ScanOutcome Run() {
    SkipByteOrderMark();
    if (layout_.csv) {
      ScanCsv();
    } else {
      ScanLines();
    }
    return outcome_;
  }

 private:
  enum Quote { kFieldStart, kPlain, kQuoted, kQuoteSeen };
  enum Target { kNone, kDone, kStreaming, kStreamDone };

  char* at(std::size_t i) { return buffer_.get() + i; }

  bool Read() {
    if (eof_ || size_ == capacity_) return false;
    sink_.BeforeRead();
    const sys::Transfer t = in_.Read(at(size_), capacity_ - size_);
    sink_.AfterRead();
    if (t.error != 0) outcome_.read_error = t.error;
    if (t.bytes == 0) eof_ = true;
    size_ += t.bytes;
    ClearPadding();
    return t.bytes > 0;
  }

  // The bytes past the input are loaded whole with it, and masked out: they
  // are given a value so that no load reads memory never written. The rest
  // of the buffer is left as it comes, rather than clearing it all at start.
  void ClearPadding() { std::memset(at(size_), 0, kPadding); }

  void SkipByteOrderMark() {
    while (size_ < 3 && !eof_) Read();
    if (size_ >= 3 && std::memcmp(at(0), "\xef\xbb\xbf", 3) == 0) begin_ = pos_ = 3;
  }

  // Where the record after a line end at p begins: past the LF of a CR LF,
  // which is no line end of its own. When it may still come, the next read
  // decides (AfterRead).
  TESSERA_INLINE static std::size_t PastLineEnd(const char* base, std::size_t p, std::size_t size, bool& lf_may_follow) {
    if (base[p] != '\r') return p + 1;
    if (p + 1 < size) return base[p + 1] == '\n' ? p + 2 : p + 1;
    lf_may_follow = true;
    return p + 1;
  }

  void AfterLineEnd(std::size_t p) {
    begin_ = PastLineEnd(buffer_.get(), p, size_, lf_may_follow_);
    ++line_;
  }

  void AfterRead() {
    if (!lf_may_follow_ || pos_ >= size_) return;
    if (*at(pos_) == '\n' && begin_ == pos_) ++begin_;
    lf_may_follow_ = false;
  }

  // Bits of the line ends among the n bytes classified in m.
  uint64_t LineEnds(const Masks& m, std::size_t n) {
    const uint64_t valid = n == kBlock ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
    const uint64_t lf = m.lf & valid, cr = m.cr & valid;
    const uint64_t lf_after_cr = lf & ((cr << 1) | (prev_cr_ ? 1 : 0));
    prev_cr_ = (cr >> (n - 1)) & 1;
    return (lf | cr) & ~lf_after_cr;
  }

  // ---- lines ----

  TESSERA_INLINE bool EndLine(std::size_t p) {
    const uint64_t line = line_;
    const std::size_t from = begin_;
    AfterLineEnd(p);
    if (in_header_) {
      in_header_ = false;
      streamed_ = 0;
      return true;
    }
    if (streamed_ > 0) {
      if (!Deliver()) return false;
      sink_.Piece(Text(at(from), p - from));
      const Field field{PaddedText(), line, streamed_ + (p - from), Field::kStreamed};
      streamed_ = 0;
      return sink_.Record(field);
    }
    batch_values_[batch_size_] = PaddedText(at(from), p - from);
    batch_lines_[batch_size_] = line;
    return ++batch_size_ < kRecordBatch || Deliver();
  }

  // The gathered lines, before the buffer they point into changes.
  bool Deliver() {
    const std::size_t n = batch_size_;
    batch_size_ = 0;
    return n == 0 || sink_.Records(batch_values_.data(), batch_lines_.data(), n);
  }

  void ScanLines() {
    for (;;) {
      while (pos_ < size_) {
        const std::size_t n = std::min(kBlock, size_ - pos_);
#if TESSERA_HAVE_AVX2
        const Masks m = avx2_ ? ClassifyLinesAvx2(at(pos_)) : Classify<false>(at(pos_), '\n');
#else
        const Masks m = Classify<false>(at(pos_), '\n');
#endif
        uint64_t ends = LineEnds(m, n);
        // The header, or the end of a line that streamed past, first.
        if (ends != 0 && (in_header_ || streamed_ > 0)) {
          if (!EndLine(pos_ + static_cast<std::size_t>(std::countr_zero(ends)))) {
            outcome_.stopped = true;
            return;
          }
          ends &= ends - 1;
        }
        // The common case, on locals: a whole line into the batch.
        const char* const base = buffer_.get();
        const std::size_t size = size_;
        std::size_t begin = begin_, count = batch_size_;
        uint64_t line = line_;
        for (; ends != 0; ends &= ends - 1) {
          const auto bit = static_cast<unsigned>(std::countr_zero(ends));
          const std::size_t p = pos_ + bit;
          batch_values_[count] = PaddedText(base + begin, p - begin);
          batch_lines_[count] = line++;
          begin = PastLineEnd(base, p, size, lf_may_follow_);
          if (++count == kRecordBatch) {
            batch_size_ = count;
            count = 0;
            if (!Deliver()) {
              outcome_.stopped = true;
              return;
            }
          }
        }
        batch_size_ = count;
        begin_ = begin;
        line_ = line;
        pos_ += n;
      }
      if (!Deliver()) {
        outcome_.stopped = true;
        return;
      }
      if (eof_) break;
      if (begin_ == 0 && size_ == capacity_) {
        // A line longer than the buffer streams past.
        if (!in_header_) sink_.Piece(Text(at(0), size_));
        streamed_ += size_;
        begin_ = pos_ = size_ = 0;
      } else {
        Compact(begin_, size_, 0, 0);
      }
      Read();
      AfterRead();
    }
    if (outcome_.read_error != 0) return;
    if (begin_ < size_ || streamed_ > 0) {
      if (!EndLine(size_) || !Deliver()) outcome_.stopped = true;
    }
  }

  // Keeps [a_from, a_to) and then [b_from, b_to) at the front of the
  // buffer; positions inside them move along.
  void Compact(std::size_t b_from, std::size_t b_to, std::size_t a_from, std::size_t a_to) {
    const std::size_t a = a_to - a_from;
    if (a > 0) std::memmove(at(0), at(a_from), a);
    if (b_to > b_from) std::memmove(at(a), at(b_from), b_to - b_from);
    if (target_ == kDone) target_begin_ = 0, target_end_ = a;
    begin_ = a + (begin_ >= b_from ? begin_ - b_from : 0);
    size_ = a + (b_to - b_from);
    pos_ = size_;
  }

  // ---- CSV ----

  void EndField(std::size_t p) {
    if (in_header_) {
      if (!header_field_long_) sink_.HeaderField(Unquote(PaddedText(at(begin_), p - begin_), scratch()), true);
      header_field_long_ = false;
    } else if (field_ == column_) {
      if (target_ == kStreaming) {
        Stream(Text(at(begin_), p - begin_));
        target_ = kStreamDone;
      } else {
        target_ = kDone;
        target_begin_ = begin_;
        target_end_ = p;
      }
    } else if (!kept_.empty()) [[unlikely]] {
      Keep(PaddedText(at(begin_), p - begin_));
      kept_streaming_ = false;
    }
    ++field_;
  }

  bool IsKept(std::size_t field) const { return std::ranges::find(kept_, field) != kept_.end(); }

  // The open field, or a piece of it, to every slot that keeps it; once a
  // field streams, its pieces are unquoted by one state to its end.
  void Keep(PaddedText raw) {
    if (!IsKept(field_)) return;
    auto give = [this](Text value, bool whole) {
      for (std::size_t slot = 0; slot < kept_.size(); ++slot)
        if (kept_[slot] == field_) sink_.Kept(slot, value, whole);
    };
    if (!kept_streaming_) return give(Unquote(raw, scratch()), true);
    // The field is there even when its pieces unquote to nothing (a lone
    // opening quote at the end of the input).
    if (!kept_started_) give(Text(), false), kept_started_ = true;
    kept_unquoter_.Feed(raw, [&](Text piece) { give(piece, false); });
  }

  bool EndRecord(std::size_t p) {
    const uint64_t line = record_line_;
    const bool lone_blank_field =
        field_ == 0 && column_ > 0 && !first_field_long_ && !in_header_ && IsBlank(Unquote(PaddedText(at(begin_), p - begin_), scratch()));
    EndField(p);
    bool go_on = true;
    if (in_header_) {
      in_header_ = false;
      const std::optional<Columns> columns = sink_.HeaderEnd(field_);
      if (!columns) {
        outcome_.header_rejected = true;
        go_on = false;
      } else {
        column_ = columns->check;
        kept_ = columns->kept;
      }
    } else if (target_ == kDone) {
      ++outcome_.found;
      const PaddedText value = Unquote(PaddedText(at(target_begin_), target_end_ - target_begin_), scratch());
      if (value.data() != scratch_.get() && kept_.empty()) {
        // A view of the buffer: it waits in the batch until the buffer changes.
        batch_values_[batch_size_] = value;
        batch_lines_[batch_size_] = line;
        go_on = ++batch_size_ < kRecordBatch || Deliver();
      } else {
        go_on = Deliver() && sink_.Record({value, line, value.size(), Field::kWhole});
      }
    } else if (target_ == kStreamDone) {
      ++outcome_.found;
      go_on = Deliver() && sink_.Record({PaddedText(), line, streamed_, Field::kStreamed});
    } else if (lone_blank_field) {
      go_on = Deliver() && sink_.Record({PaddedText(at(p), 0), line, 0, Field::kWhole});
    } else {
      if (outcome_.missing++ == 0) outcome_.first_missing_line = line;
      outcome_.widest_missing = std::max(outcome_.widest_missing, field_);
      go_on = Deliver() && sink_.Record({PaddedText(at(p), 0), line, 0, Field::kMissing});
    }
    field_ = 0;
    target_ = kNone;
    streamed_ = 0;
    first_field_long_ = false;
    quote_ = kFieldStart;
    return go_on;
  }

  void Stream(Text raw) {
    unquoter_.Feed(raw, [this](Text piece) {
      streamed_ += piece.size();
      sink_.Piece(piece);
    });
  }

  // A structural byte at p outside quotes: a delimiter or a line end.
  bool Structural(std::size_t p) {
    if (*at(p) == layout_.delimiter) {
      EndField(p);
      begin_ = p + 1;
      quote_ = kFieldStart;
      return true;
    }
    const bool go_on = EndRecord(p);
    AfterLineEnd(p);
    record_line_ = line_;
    return go_on;
  }

  // The n bytes at pos_, one at a time.
  bool ScanBytes(std::size_t n) {
    for (std::size_t i = pos_; i < pos_ + n; ++i) {
      const char c = *at(i);
      const bool after_cr = prev_cr_;
      prev_cr_ = c == '\r';
      const bool line_end = IsLineEnd(c, after_cr);
      switch (quote_) {
        case kFieldStart:
          if (c == '"') {
            quote_ = kQuoted;
            break;
          }
          if (c == '\n' && after_cr) break;  // the LF of a CR LF: begin_ is past it already
          [[fallthrough]];
        case kPlain:
        case kQuoteSeen:
          if (c == layout_.delimiter || line_end) {
            if (!Structural(i)) return false;
          } else if (c == '"' && quote_ == kQuoteSeen) {
            quote_ = kQuoted;
          } else {
            quote_ = kPlain;
          }
          break;
        case kQuoted:
          if (c == '"') quote_ = kQuoteSeen;
          else if (line_end) ++line_;
          break;
      }
    }
    return true;
  }

  // The parity of the quotes up to and including each byte.
  static uint64_t PrefixXor(uint64_t x) {
    for (unsigned shift = 1; shift < 64; shift *= 2) x ^= x << shift;
    return x;
  }

  bool ScanCsvBlock() {
    const std::size_t n = std::min(kBlock, size_ - pos_);
#if TESSERA_HAVE_AVX2
    const Masks m = avx2_ ? ClassifyCsvAvx2(at(pos_), layout_.delimiter) : Classify<true>(at(pos_), layout_.delimiter);
#else
    const Masks m = Classify<true>(at(pos_), layout_.delimiter);
#endif
    const uint64_t valid = n == kBlock ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
    const uint64_t quotes = m.quote & valid;
    const bool was_cr = prev_cr_;
    if (quotes == 0 && quote_ == kQuoted) {
      line_ += static_cast<uint64_t>(std::popcount(LineEnds(m, n)));
      return true;
    }
    const uint64_t ends = LineEnds(m, n);
    // Inside quotes, from the parity of the quotes so far: a quote that
    // makes it odd opens a quoted part, one that makes it even closes it.
    const uint64_t inside = PrefixXor(quotes) ^ (quote_ == kQuoted ? ~uint64_t{0} : 0);
    const uint64_t open = quotes & inside, close = quotes & ~inside;
    const uint64_t lf_outside = m.lf & valid & ~inside;
    const uint64_t structural = (ends | (m.delimiter & valid)) & ~inside;
    if (quotes != 0 || quote_ == kQuoteSeen) {
      // As RFC 4180 has it, a quote opens a field or doubles a quote, and a
      // closing quote ends its field. Other quotes, as in 'a"b', are read
      // byte by byte, the way spreadsheets read them.
      const uint64_t field_starts = ((structural | lf_outside) << 1) | (quote_ == kFieldStart ? 1 : 0);
      const uint64_t after_close = (close << 1) | (quote_ == kQuoteSeen ? 1 : 0);
      if ((open & ~(field_starts | after_close)) != 0 || (after_close & valid & ~(structural | quotes)) != 0) {
        prev_cr_ = was_cr;
        return ScanBytes(n);
      }
    }
    // Line ends inside quotes count as lines, before the records after them.
    uint64_t quoted_ends = ends & inside;
    for (uint64_t bits = structural; bits != 0; bits &= bits - 1) {
      const auto bit = static_cast<unsigned>(std::countr_zero(bits));
      if (quoted_ends != 0) {
        const uint64_t below = (uint64_t{1} << bit) - 1;
        line_ += static_cast<uint64_t>(std::popcount(quoted_ends & below));
        quoted_ends &= ~below;
      }
      if (!Structural(pos_ + bit)) return false;
    }
    if (quoted_ends != 0) line_ += static_cast<uint64_t>(std::popcount(quoted_ends));
    // What the next block's first byte follows.
    const uint64_t last = uint64_t{1} << (n - 1);
    if (inside & last) {
      quote_ = kQuoted;
    } else if (close & last) {
      quote_ = kQuoteSeen;
    } else if ((structural | lf_outside) & last) {
      quote_ = kFieldStart;
    } else {
      quote_ = kPlain;
    }
    return true;
  }

  void ScanCsv() {
    record_line_ = line_;
    for (;;) {
      while (pos_ < size_) {
        const std::size_t n = std::min(kBlock, size_ - pos_);
        if (!ScanCsvBlock()) {
          outcome_.stopped = true;
          return;
        }
        pos_ += n;
      }
      if (!Deliver()) {
        outcome_.stopped = true;
        return;
      }
      if (eof_) break;
      MakeRoom();
      Read();
      AfterRead();
    }
    if (outcome_.read_error != 0) return;
    if (quote_ == kQuoted) outcome_.unclosed_quote_line = record_line_;
    if (begin_ < size_ || field_ > 0 || target_ == kStreaming || quote_ != kFieldStart) {
      if (!EndRecord(size_) || !Deliver()) outcome_.stopped = true;
    }
  }

  // Keeps what the record in progress still needs: the field to check,
  // once read, and the open field when it is that field, a field kept, a
  // header name or the first field (a record of one blank field is an
  // empty record).
  void MakeRoom() {
    const bool open_needed = in_header_ ? !header_field_long_
                                        : field_ == column_ || (field_ == 0 && column_ > 0 && !first_field_long_) ||
                                              IsKept(field_);
    std::size_t keep_from = open_needed ? begin_ : size_;
    if (target_ == kDone) {
      Compact(keep_from, size_, target_begin_, target_end_);
    } else {
      Compact(keep_from, size_, 0, 0);
    }
    if (size_ < capacity_) return;
    if (in_header_) {
      // A header name longer than the buffer: its first bytes tell enough.
      sink_.HeaderField(Unquote(PaddedText(at(begin_), size_ - begin_), scratch()), false);
      header_field_long_ = true;
    } else if (field_ == column_) {
      // The field to check is longer than the buffer: it streams past,
      // unquoted by one state from its first piece to its last.
      if (target_ != kStreaming) unquoter_ = Unquoter();
      Stream(Text(at(begin_), size_ - begin_));
      target_ = kStreaming;
    } else if (IsKept(field_)) {
      // So does a field to carry along.
      if (!kept_streaming_) kept_unquoter_ = Unquoter(), kept_started_ = false;
      kept_streaming_ = true;
      Keep(PaddedText(at(begin_), size_ - begin_));
      first_field_long_ = true;
    } else {
      first_field_long_ = true;
    }
    // The field to check, once read, stays at the front.
    begin_ = pos_ = size_ = target_ == kDone ? target_end_ : 0;
  }

  char* scratch() {
    if (!scratch_) scratch_.reset(new char[capacity_ + kPadding]());
    return scratch_.get();
  }

  ByteSource& in_;
  const RecordLayout& layout_;
  Sink& sink_;
  std::size_t column_;
  std::vector<std::size_t> kept_;
  const std::size_t capacity_;  // bytes of input the buffer holds
  std::unique_ptr<char[]> buffer_;
  std::unique_ptr<char[]> scratch_;
  std::size_t size_ = 0;   // bytes of input in the buffer
  std::size_t pos_ = 0;    // the next byte to classify
  std::size_t begin_ = 0;  // where the open record (lines) or field (CSV) begins
  bool eof_ = false;
  bool prev_cr_ = false;   // the byte before pos_ is a CR
  bool lf_may_follow_ = false;
  uint64_t line_ = 1;      // the line of pos_
  uint64_t streamed_ = 0;  // bytes of the field that went by in pieces
  std::array<PaddedText, kRecordBatch> batch_values_;
  std::array<uint64_t, kRecordBatch> batch_lines_;
  std::size_t batch_size_ = 0;
  bool in_header_;
  ScanOutcome outcome_;

  // CSV
  uint64_t record_line_ = 1;
  std::size_t field_ = 0;
  Quote quote_ = kFieldStart;
  Target target_ = kNone;
  std::size_t target_begin_ = 0, target_end_ = 0;
  bool first_field_long_ = false;
  bool header_field_long_ = false;  // its first bytes went to the sink
  Unquoter unquoter_;
  bool kept_streaming_ = false;  // the open field is kept, and longer than the buffer
  bool kept_started_ = false;    // its first piece went to the sink
  Unquoter kept_unquoter_;
#if TESSERA_HAVE_AVX2
  const bool avx2_ = simd::RunningIsa() == simd::Isa::Avx2;
#endif
};

}  // namespace records

// `capacity` is the bytes read at most at once; tests make it small, so
// that fields longer than the buffer are short enough to try in numbers.
template <class Sink>
ScanOutcome ScanRecords(ByteSource& in, const RecordLayout& layout, Sink& sink, std::size_t capacity = kReadBlock) {
  return records::Scanner<Sink>(in, layout, sink, capacity).Run();
}

}  // namespace tessera::tool
