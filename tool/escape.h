// escape.h -- bytes from the input shown so that none can act on a terminal or break a line
//
// Numbers, fields and file names come from people's files and are shown to
// people. Nothing in them may reach a terminal or a log as a control
// sequence, nor split a record over lines: C0 controls, DEL, C1 controls (as
// raw bytes and as UTF-8) and the Unicode bidirectional controls (which
// reorder what a reader sees) are escaped. Other valid UTF-8 is shown as it
// is; a byte that is not part of valid UTF-8 is escaped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessera::tool {

enum class Quoting {
  // Text and TSV: "\\" for the backslash and "\xhh" for each escaped byte,
  // so a tab never splits a TSV column.
  Text,
  // The inside of a JSON string: "\"", "\\", and "\u00hh" or the code point
  // "\uhhhh"; a byte outside valid UTF-8 is read as Latin-1 ("\u00hh") so
  // that the output is always valid UTF-8.
  Json,
};

// The most bytes one input byte can become.
inline constexpr std::size_t kEscapeGrowth = 6;

// Yes when every byte is printable ASCII that needs no escape: the common
// case, tested without decoding.
bool IsPlain(std::string_view bytes, Quoting quoting);

// The same for bytes followed by at least 16 readable bytes (the tool's
// padded buffers), for the short numbers of most records: one load.
#if defined(__GNUC__)
[[gnu::always_inline]]
#endif
inline bool IsPlainPadded(std::string_view bytes, Quoting quoting) {
#if defined(__SSE2__)
  if (bytes.size() <= 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data()));
    const __m128i quote = _mm_set1_epi8(quoting == Quoting::Json ? '"' : '\\');
    const __m128i odd = _mm_or_si128(
        _mm_or_si128(_mm_cmplt_epi8(b, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(b, _mm_set1_epi8(0x7f))),
        _mm_or_si128(_mm_cmpeq_epi8(b, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(b, quote)));
    const unsigned in_bytes = (1u << bytes.size()) - 1;
    return (static_cast<unsigned>(_mm_movemask_epi8(odd)) & in_bytes) == 0;
  }
#endif
  return IsPlain(bytes, quoting);
}

// Writes the shown form of `bytes` at `out`, which has room for
// kEscapeGrowth * bytes.size() bytes, and returns its end.
char* EscapeTo(std::string_view bytes, Quoting quoting, char* out);

// The longest start of `bytes` that does not end inside a UTF-8 sequence,
// given that the rest follows: for escaping a long text in pieces.
std::size_t WholeSequencesIn(std::string_view bytes);

std::string Escaped(std::string_view bytes, Quoting quoting = Quoting::Text);

// 'bytes', escaped: how messages show a word from the command line or a file.
std::string Quoted(std::string_view bytes);

bool IsUtf8(std::string_view bytes);

// A path as the JSON value that names it exactly: a string when the path is
// UTF-8, else {"bytes":"..."} with its bytes in base64 (as ripgrep writes
// such paths), since "\u00e9" would read back as the UTF-8 name "é".
std::string JsonPath(std::string_view path);

}  // namespace tessera::tool
