// utf16.cpp -- UTF-16 (either byte order) to UTF-8, with positions mapped back to the original bytes
//
// Text of the Latin script has every other byte 0, so it is converted eight
// code units at a time while they are ASCII. Unpaired surrogates and an odd
// last byte become U+FFFD.
//
// Findings are reported after the block that ends them, in offsets of the
// UTF-8 text; Locate maps an offset back. It keeps the last kHistory bytes
// of the previous block in front of the current one (every finding begins
// there or later) and, for lines that began before them, where the line
// open at that point began in the original.
#include <cstring>

#include "base/simd.h"
#include "input/decoders.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if TESSERA_HAVE_AVX2
#include <immintrin.h>
#endif

namespace tessera::input {
namespace {

#if TESSERA_HAVE_AVX2
// Thirty-two code units at a time while all are ASCII; returns how many
// were converted.
__attribute__((target("avx2"))) std::size_t AsciiAvx2(const unsigned char* in, std::size_t units, unsigned char* out,
                                                      bool big_endian) {
  const __m256i high = _mm256_set1_epi16(static_cast<short>(big_endian ? 0x80ff : 0xff80));
  std::size_t i = 0;
  for (; i + 32 <= units; i += 32) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i + 32));
    if (!_mm256_testz_si256(_mm256_or_si256(a, b), high)) break;
    if (big_endian) {
      a = _mm256_srli_epi16(a, 8);
      b = _mm256_srli_epi16(b, 8);
    }
    // packus works within each half: the quarters come out as a0 b0 a1 b1.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xd8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), packed);
  }
  return i;
}

const bool kAvx2 = simd::RunningIsa() == simd::Isa::Avx2;
#endif

constexpr std::size_t kHistory = 128;
// Raw bytes per block: at most 3 bytes of UTF-8 per 2 bytes of UTF-16, so
// the output of one fits a block.
constexpr std::size_t kRaw = kBlock / 2;

// Bytes of UTF-16 that the UTF-8 bytes at p stand for: 2 for each
// character, 4 for those of 4 bytes (surrogate pairs). U+FFFD for a lone
// surrogate stands for its 2.
uint64_t OriginalBytes(const unsigned char* p, std::size_t n) {
  uint64_t sum = 0;
  for (std::size_t i = 0; i < n; ++i) sum += ((p[i] & 0xc0) != 0x80 ? 2 : 0) + (p[i] >= 0xf0 ? 2 : 0);
  return sum;
}

class Utf16Text final : public TextSource {
 public:
  Utf16Text(std::unique_ptr<Stream> source, bool big_endian, bool byte_order_mark)
      : source_(std::move(source)),
        big_endian_(big_endian),
        raw_(new char[kRaw + 4]),
        out_(new char[kHistory + kBlock + kBlockPadding]),
        skip_(byte_order_mark ? 2 : 0),
        orig_end_(skip_),
        open_line_orig_(skip_),
        window_orig_(skip_) {}

  bool Next(std::string_view& block) override {
    for (;;) {
      if (ended_) return false;
      const std::size_t n = source_->Read(raw_.get() + carry_, kRaw - carry_);
      const bool final = n == 0;
      std::size_t size = carry_ + n;
      std::size_t from = 0;
      if (skip_ > 0) {
        from = std::min(skip_, size);
        skip_ -= from;
      }
      if (final && size == from) {
        ended_ = true;
        return false;
      }
      Slide();
      char* const out = out_.get() + kHistory;
      std::size_t used = 0;
      const std::size_t written = Convert(reinterpret_cast<const unsigned char*>(raw_.get() + from), size - from,
                                          reinterpret_cast<unsigned char*>(out), final, used);
      orig_end_ += used;
      carry_ = size - from - used;
      std::memmove(raw_.get(), raw_.get() + from + used, carry_);
      if (final) ended_ = true;
      if (written == 0) continue;
      block_size_ = written;
      decoded_end_ += written;
      std::memset(out + written, 0, kBlockPadding);
      block = std::string_view(out, written);
      return true;
    }
  }

  const Fault& fault() const override { return source_->fault(); }
  bool recoded() const override { return true; }

  Place Locate(uint64_t offset, uint64_t line_start) override {
    const uint64_t at = OriginalAt(offset, offset_cursor_);
    const uint64_t line = line_start < window_start_ ? open_line_orig_ : OriginalAt(line_start, line_cursor_);
    return {at, at >= line ? (at - line) / 2 + 1 : 1};
  }

 private:
  struct Cursor {
    uint64_t decoded = UINT64_MAX, original = 0;  // none yet
  };

  unsigned Unit(const unsigned char* p) const {
    return big_endian_ ? (unsigned{p[0]} << 8 | p[1]) : (unsigned{p[1]} << 8 | p[0]);
  }

  // Converts whole code units of `in`; `used` tells the bytes taken. The
  // last unit is kept back when it is a high surrogate and more may come.
  std::size_t Convert(const unsigned char* in, std::size_t size, unsigned char* out, bool final, std::size_t& used) const {
    const std::size_t units = size / 2;
    unsigned char* o = out;
    std::size_t i = 0;
    while (i < units) {
#if TESSERA_HAVE_AVX2
      if (kAvx2) {
        const std::size_t n = AsciiAvx2(in + 2 * i, units - i, o, big_endian_);
        i += n;
        o += n;
      }
#endif
#if defined(__SSE2__)
      // Eight units at a time while all are ASCII.
      const __m128i high = _mm_set1_epi16(static_cast<short>(0xff80));
      while (i + 8 <= units) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 2 * i));
        if (big_endian_) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), _mm_setzero_si128())) != 0xffff) break;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
        o += 8;
        i += 8;
      }
      // The rest of a group of eight (or less at the end), one at a time.
      const std::size_t stop = std::min(units, i + 8);
#else
      const std::size_t stop = units;
#endif
      while (i < stop) {
        unsigned u = Unit(in + 2 * i);
        if (u < 0x80) {
          *o++ = static_cast<unsigned char>(u);
          ++i;
          continue;
        }
        if (u < 0x800) {
          *o++ = static_cast<unsigned char>(0xc0 | u >> 6);
          *o++ = static_cast<unsigned char>(0x80 | (u & 0x3f));
          ++i;
          continue;
        }
        if (u >= 0xd800 && u < 0xdc00) {
          if (i + 1 == units && !final) {
            used = 2 * i;
            return static_cast<std::size_t>(o - out);
          }
          const unsigned low = i + 1 < units ? Unit(in + 2 * i + 2) : 0;
          if (low >= 0xdc00 && low < 0xe000) {
            const unsigned c = 0x10000 + ((u - 0xd800) << 10) + (low - 0xdc00);
            *o++ = static_cast<unsigned char>(0xf0 | c >> 18);
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3f));
            *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3f));
            *o++ = static_cast<unsigned char>(0x80 | (c & 0x3f));
            i += 2;
            continue;
          }
          u = 0xfffd;
        } else if (u >= 0xdc00 && u < 0xe000) {
          u = 0xfffd;
        }
        *o++ = static_cast<unsigned char>(0xe0 | u >> 12);
        *o++ = static_cast<unsigned char>(0x80 | ((u >> 6) & 0x3f));
        *o++ = static_cast<unsigned char>(0x80 | (u & 0x3f));
        ++i;
      }
    }
    used = 2 * units;
    if (final && size % 2 == 1) {
      // An odd last byte.
      *o++ = 0xef, *o++ = 0xbf, *o++ = 0xbd;
      used = size;
    }
    return static_cast<std::size_t>(o - out);
  }

  // Before a new block: the last kHistory bytes so far move in front of it.
  void Slide() {
    unsigned char* const base = reinterpret_cast<unsigned char*>(out_.get());
    const std::size_t have = history_ + block_size_;  // bytes at base + kHistory - history_
    const std::size_t keep = std::min(kHistory, have);
    const unsigned char* const old_start = base + kHistory - history_;
    const unsigned char* const new_start = old_start + (have - keep);
    const uint64_t new_orig = orig_end_ - OriginalBytes(new_start, keep);
    // The line open at the new start began after the last line feed dropped, if any.
    for (const unsigned char* p = new_start; p > old_start;) {
      if (*--p == '\n') {
        open_line_orig_ = new_orig - OriginalBytes(p + 1, static_cast<std::size_t>(new_start - p - 1));
        break;
      }
    }
    window_start_ = decoded_end_ - keep;
    window_orig_ = new_orig;
    std::memmove(base + kHistory - keep, new_start, keep);
    history_ = keep;
    block_size_ = 0;
  }

  // The original offset of a decoded offset in the window, walking on from
  // the cursor when it is not past it.
  uint64_t OriginalAt(uint64_t decoded, Cursor& cursor) const {
    if (decoded < window_start_) return window_orig_;
    if (cursor.decoded < window_start_ || cursor.decoded > decoded) cursor = {window_start_, window_orig_};
    const unsigned char* const base = reinterpret_cast<const unsigned char*>(out_.get()) + kHistory - history_;
    const std::size_t from = static_cast<std::size_t>(cursor.decoded - window_start_);
    const std::size_t to = static_cast<std::size_t>(std::min(decoded, decoded_end_) - window_start_);
    cursor.original += OriginalBytes(base + from, to - from);
    cursor.decoded = window_start_ + to;
    return cursor.original;
  }

  std::unique_ptr<Stream> source_;
  bool big_endian_;
  std::unique_ptr<char[]> raw_;  // kRaw bytes and up to 3 carried over
  std::unique_ptr<char[]> out_;  // kHistory, then the block and its padding
  std::size_t carry_ = 0;        // raw bytes left for the next conversion
  std::size_t skip_;             // of the byte-order mark, not yet passed
  bool ended_ = false;

  std::size_t history_ = 0;      // bytes kept in front of the block
  std::size_t block_size_ = 0;
  uint64_t decoded_end_ = 0;     // decoded offset after the block
  uint64_t orig_end_;            // original offset after the bytes converted
  uint64_t open_line_orig_;      // where the line open at window_start_ began
  uint64_t window_start_ = 0;    // decoded offset of the first byte kept
  uint64_t window_orig_;         // ... and its original offset
  Cursor offset_cursor_, line_cursor_;
};

}  // namespace

std::unique_ptr<TextSource> MakeUtf16(std::unique_ptr<Stream> source, bool big_endian, bool byte_order_mark) {
  return std::make_unique<Utf16Text>(std::move(source), big_endian, byte_order_mark);
}

}  // namespace tessera::input
