// output.cpp -- buffered standard output and the three report formats
#include "tool/output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tessera::tool {
namespace {

constexpr char kHex[] = "0123456789abcdef";

std::string_view Bool(bool yes) { return yes ? "true" : "false"; }

// The bytes a number may show unescaped, per format.
struct ShownAsIs {
  std::array<bool, 256> text{}, json{};
};

constexpr ShownAsIs MakeShownAsIs() {
  ShownAsIs shown;
  for (int byte = 0; byte < 256; ++byte) {
    const bool printable = byte >= 0x20 && byte != 0x7f && byte != '\\';
    shown.text[static_cast<std::size_t>(byte)] = printable;
    shown.json[static_cast<std::size_t>(byte)] = printable && byte < 0x80 && byte != '"';
  }
  return shown;
}

constexpr ShownAsIs kShownAsIs = MakeShownAsIs();

bool ShowsAsIs(std::string_view number, bool json) {
  const auto& table = json ? kShownAsIs.json : kShownAsIs.text;
  return std::all_of(number.begin(), number.end(), [&table](char c) { return table[static_cast<unsigned char>(c)]; });
}

// The same test on a copy of the number in the output buffer, whose slack
// lets it read whole 16-byte blocks past the number's end.
bool CopyShowsAsIs(const char* copy, std::size_t n, bool json) {
#if defined(__SSE2__)
  const __m128i controls = _mm_set1_epi8(0x1f), rubout = _mm_set1_epi8(0x7f), backslash = _mm_set1_epi8('\\');
  const __m128i quote = _mm_set1_epi8('"');
  for (std::size_t at = 0; at < n; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(copy + at));
    __m128i escaped = _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(bytes, controls), bytes),
                                   _mm_or_si128(_mm_cmpeq_epi8(bytes, rubout), _mm_cmpeq_epi8(bytes, backslash)));
    if (json) escaped = _mm_or_si128(_mm_or_si128(escaped, bytes), _mm_cmpeq_epi8(bytes, quote));
    auto lanes = static_cast<unsigned>(_mm_movemask_epi8(escaped));
    if (n - at < 16) lanes &= (1u << (n - at)) - 1;
    if (lanes != 0) return false;
  }
  return true;
#else
  return ShowsAsIs(std::string_view(copy, n), json);
#endif
}

}  // namespace

Output::Output(Format format) : format_(format), buffer_(new char[kCapacity]()) {
  for (std::size_t brand = 0; brand < kBrandCount; ++brand) {
    for (int checksum = 0; checksum < 2; ++checksum) {
      const std::string text = CardEnding(static_cast<Brand>(brand), checksum);
      Ending& ending = card_endings_[brand * 2 + static_cast<std::size_t>(checksum)];
      ending.size = text.copy(ending.text.data(), ending.text.size());
    }
  }
}

std::string Output::CardEnding(Brand brand, bool checksum) const {
  const bool valid = brand != Brand::None && checksum;
  const std::string name(BrandName(brand));
  switch (format_) {
    case Format::Text:
      return std::string(valid ? ": valid (" : ": invalid (") + (brand == Brand::None ? "no brand" : name) +
             (checksum ? ", checksum ok)\n" : ", checksum fails)\n");
    case Format::Tsv:
      return std::string(valid ? "\tvalid\t" : "\tinvalid\t") + name + (checksum ? "\tpass\n" : "\tfail\n");
    case Format::Json:
      return std::string(",\"valid\":") + (valid ? "true" : "false") + ",\"brand\":" +
             (brand == Brand::None ? "null" : '"' + name + '"') + ",\"checksum\":" + (checksum ? "true" : "false") +
             "}\n";
  }
  return {};
}

// Text and TSV show control bytes and the backslash escaped so that every
// number stays on its one line; JSON escapes every byte that is not
// printable ASCII, reading the 8-bit text as Latin-1, so output is always
// valid UTF-8.
void Output::Number(std::string_view number) {
  const bool json = format_ == Format::Json;
  if (json) Put('"');
  if (number.size() + kBlock <= kSlack) {
    if (used_ + number.size() + kBlock > kCapacity) Flush();
    char* copy = buffer_.get() + used_;
    std::memcpy(copy, number.data(), number.size());
    if (CopyShowsAsIs(copy, number.size(), json)) {
      used_ += number.size();
    } else {
      Escaped(number);
    }
  } else if (ShowsAsIs(number, json)) {
    Put(number);
  } else {
    Escaped(number);
  }
  if (json) Put('"');
}

void Output::Escaped(std::string_view number) {
  const bool json = format_ == Format::Json;
  for (char c : number) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || (json && c == '"')) {
      Put('\\');
      Put(c);
    } else if (byte < 0x20 || byte == 0x7f || (json && byte >= 0x80)) {
      Put(json ? "\\u00" : "\\x");
      Put(kHex[byte >> 4]);
      Put(kHex[byte & 15]);
    } else {
      Put(c);
    }
  }
}

void Output::Field(std::string_view key, std::string_view json_value) {
  Put(",\"");
  Put(key);
  Put("\":");
  Put(json_value);
}

void Output::EndLine() {
  Put(format_ == Format::Json ? "}\n" : "\n");
  if (used_ >= kFlushAt) Flush();
}

void Output::Card(std::string_view number, const CardVerdict& v) {
  if (format_ == Format::Json) Put("{\"number\":");
  Number(number);
  const Ending& ending = card_endings_[static_cast<std::size_t>(v.brand) * 2 + (v.checksum ? 1 : 0)];
  if (used_ + ending.text.size() > kCapacity) Flush();
  std::memcpy(buffer_.get() + used_, ending.text.data(), ending.text.size());
  used_ += ending.size;
  if (used_ >= kFlushAt) Flush();
}

void Output::Id(std::string_view number, const IdVerdict& v) {
  const std::string_view verdict = v.valid() ? "valid" : "invalid";
  const std::string age = std::to_string(v.age);
  switch (format_) {
    case Format::Text:
      Number(number);
      Put(": ");
      Put(verdict);
      if (!v.check_digits) {
        Put(" (check digits wrong)");
        break;
      }
      Put(v.unexpired ? " (check digits ok, not expired, age " : " (check digits ok, expired, age ");
      Put(age);
      Put(')');
      break;
    case Format::Tsv:
      Number(number);
      Put('\t');
      Put(verdict);
      Put(v.check_digits ? "\tpass" : "\tfail");
      Put(v.unexpired ? "\tcurrent\t" : "\texpired\t");
      Put(age);
      break;
    case Format::Json:
      Put("{\"number\":");
      Number(number);
      Field("valid", Bool(v.valid()));
      Field("check_digits", Bool(v.check_digits));
      Field("unexpired", Bool(v.unexpired));
      Field("age", age);
      break;
  }
  EndLine();
}

void Output::Unreadable(std::string_view number, std::string_view reason) {
  switch (format_) {
    case Format::Text:
      Number(number);
      Put(": invalid (");
      Put(reason);
      Put(')');
      break;
    case Format::Tsv:
      Number(number);
      Put("\tinvalid\t");
      Put(reason);
      break;
    case Format::Json:
      Put("{\"number\":");
      Number(number);
      Field("valid", "false");
      Put(",\"error\":\"");
      Put(reason);
      Put('"');
      break;
  }
  EndLine();
}

void Output::Put(std::string_view text) {
  if (text.size() > kCapacity - used_) {
    Flush();
    if (text.size() > kCapacity) {
      WriteAll(text);
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, text.data(), text.size());
  used_ += text.size();
}

void Output::Flush() {
  WriteAll(std::string_view(buffer_.get(), used_));
  used_ = 0;
}

void Output::WriteAll(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t wrote = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (wrote >= 0) {
      done += static_cast<std::size_t>(wrote);
      continue;
    }
    if (errno == EINTR) continue;
    // Nobody reads any more (`tessera ... | head`): stop without a word.
    if (errno == EPIPE) std::_Exit(2);
    std::fprintf(stderr, "tessera: cannot write the output: %s\n", std::strerror(errno));
    std::_Exit(2);
  }
}

}  // namespace tessera::tool
