// escape.cpp -- bytes from the input shown so that none can act on a terminal or break a line
#include "tool/escape.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessera::tool {
namespace {

constexpr char kHex[] = "0123456789abcdef";

bool PlainByte(unsigned char byte, Quoting quoting) {
  return byte >= 0x20 && byte < 0x7f && byte != '\\' && !(quoting == Quoting::Json && byte == '"');
}

// Code points that are valid text yet steer a terminal or reorder a line:
// the C1 controls, and the bidirectional marks, embeddings, overrides and
// isolates, with the line and paragraph separators.
bool Steers(uint32_t cp) {
  return (cp >= 0x80 && cp <= 0x9f) || cp == 0x61c || cp == 0x200e || cp == 0x200f ||
         (cp >= 0x2028 && cp <= 0x202e) || (cp >= 0x2066 && cp <= 0x2069);
}

// The length of the valid UTF-8 sequence at the start of `bytes` and its
// code point; 0 when it is not one (overlong forms, surrogates and code
// points past U+10FFFF are not).
std::size_t Decode(std::string_view bytes, uint32_t& cp) {
  const auto at = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = at(0);
  std::size_t length = 0;
  uint32_t least = 0;
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2, cp = lead & 0x1fu, least = 0x80;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3, cp = lead & 0x0fu, least = 0x800;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4, cp = lead & 0x07u, least = 0x10000;
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((at(i) & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (at(i) & 0x3fu);
  }
  if (cp < least || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return length;
}

char* Hex(char* out, unsigned value, int digits) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) *out++ = kHex[(value >> shift) & 15];
  return out;
}

char* EscapedByte(char* out, unsigned char byte, Quoting quoting) {
  if (quoting == Quoting::Json) {
    *out++ = '\\', *out++ = 'u', *out++ = '0', *out++ = '0';
  } else {
    *out++ = '\\', *out++ = 'x';
  }
  return Hex(out, byte, 2);
}

}  // namespace

bool IsPlain(std::string_view bytes, Quoting quoting) {
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i space = _mm_set1_epi8(0x20), rubout = _mm_set1_epi8(0x7f), backslash = _mm_set1_epi8('\\');
  const __m128i quote = _mm_set1_epi8(quoting == Quoting::Json ? '"' : '\\');
  for (; i + 16 <= bytes.size(); i += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes.data() + i));
    // Signed: bytes from 0x80 on are negative, so below the space too.
    const __m128i odd = _mm_or_si128(_mm_or_si128(_mm_cmplt_epi8(b, space), _mm_cmpeq_epi8(b, rubout)),
                                     _mm_or_si128(_mm_cmpeq_epi8(b, backslash), _mm_cmpeq_epi8(b, quote)));
    if (_mm_movemask_epi8(odd) != 0) return false;
  }
#endif
  for (; i < bytes.size(); ++i)
    if (!PlainByte(static_cast<unsigned char>(bytes[i]), quoting)) return false;
  return true;
}

char* EscapeTo(std::string_view bytes, Quoting quoting, char* out) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (PlainByte(byte, quoting)) {
      *out++ = static_cast<char>(byte);
      ++i;
    } else if (byte == '\\' || byte == '"') {
      *out++ = '\\', *out++ = static_cast<char>(byte);
      ++i;
    } else if (byte < 0x80) {
      out = EscapedByte(out, byte, quoting);
      ++i;
    } else {
      uint32_t cp = 0;
      const std::size_t length = Decode(bytes.substr(i), cp);
      if (length == 0) {
        out = EscapedByte(out, byte, quoting);
        ++i;
      } else if (!Steers(cp)) {
        for (std::size_t k = 0; k < length; ++k) *out++ = bytes[i + k];
        i += length;
      } else if (quoting == Quoting::Json) {
        *out++ = '\\', *out++ = 'u';
        out = Hex(out, cp, 4);
        i += length;
      } else {
        for (std::size_t k = 0; k < length; ++k) out = EscapedByte(out, static_cast<unsigned char>(bytes[i + k]), quoting);
        i += length;
      }
    }
  }
  return out;
}

std::size_t WholeSequencesIn(std::string_view bytes) {
  std::size_t end = bytes.size();
  // A sequence is at most four bytes: look back over at most three
  // continuation bytes for the lead that starts it.
  for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
    const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
    if ((byte & 0xc0) == 0x80) continue;
    const std::size_t wants = byte >= 0xf0 ? 4 : byte >= 0xe0 ? 3 : byte >= 0xc0 ? 2 : 1;
    if (wants > back) end = bytes.size() - back;
    break;
  }
  return end;
}

std::string Escaped(std::string_view bytes, Quoting quoting) {
  if (IsPlain(bytes, quoting)) return std::string(bytes);
  std::string shown(bytes.size() * kEscapeGrowth, '\0');
  shown.resize(static_cast<std::size_t>(EscapeTo(bytes, quoting, shown.data()) - shown.data()));
  return shown;
}

std::string Quoted(std::string_view bytes) {
  std::string quoted(1, '\'');
  quoted += Escaped(bytes);
  quoted += '\'';
  return quoted;
}

bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    if (static_cast<unsigned char>(bytes[i]) < 0x80) {
      ++i;
      continue;
    }
    uint32_t cp = 0;
    const std::size_t length = Decode(bytes.substr(i), cp);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string JsonPath(std::string_view path) {
  if (IsUtf8(path)) return '"' + Escaped(path, Quoting::Json) + '"';
  static constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string value = "{\"bytes\":\"";
  for (std::size_t i = 0; i < path.size(); i += 3) {
    const std::size_t n = std::min<std::size_t>(3, path.size() - i);
    uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k)
      group = (group << 8) | (k < n ? static_cast<unsigned char>(path[i + k]) : 0u);
    for (std::size_t k = 0; k < 4; ++k) value += k <= n ? kBase64[(group >> (18 - 6 * k)) & 63] : '=';
  }
  value += "\"}";
  return value;
}

}  // namespace tessera::tool
