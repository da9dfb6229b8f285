// output.cpp -- buffered standard output and the three report formats
#include "tool/output.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Eight bytes at a time: whether any of them is one a format escapes.
constexpr uint64_t kOnes = 0x0101010101010101u;
constexpr uint64_t kHighBits = 0x8080808080808080u;
constexpr bool HasByteBelow(uint64_t word, uint64_t limit) { return ((word - kOnes * limit) & ~word & kHighBits) != 0; }
constexpr bool HasByte(uint64_t word, uint64_t byte) { return HasByteBelow(word ^ (kOnes * byte), 1); }

constexpr bool NeedsEscape(uint64_t word, bool json) {
  const bool control = HasByteBelow(word, 0x20) || HasByte(word, 0x7f) || HasByte(word, '\\');
  return control || (json && ((word & kHighBits) != 0 || HasByte(word, '"')));
}

bool ShowsAsIs(std::string_view number, bool json) {
  if (number.size() < 8) {
    const auto& table = json ? kShownAsIs.json : kShownAsIs.text;
    return std::all_of(number.begin(), number.end(), [&table](char c) { return table[static_cast<unsigned char>(c)]; });
  }
  // Whole words, the last one overlapping the one before: no byte outside the number is read.
  uint64_t word;
  for (std::size_t at = 0; at + 8 < number.size(); at += 8) {
    std::memcpy(&word, number.data() + at, 8);
    if (NeedsEscape(word, json)) return false;
  }
  std::memcpy(&word, number.data() + number.size() - 8, 8);
  return !NeedsEscape(word, json);
}

}  // namespace

Output::Output(Format format) : format_(format) {
  buffer_.reserve(kFlushAt + 4096);
  for (std::size_t brand = 0; brand < kBrandCount; ++brand) {
    for (int checksum = 0; checksum < 2; ++checksum) {
      card_endings_[brand * 2 + static_cast<std::size_t>(checksum)] = CardEnding(static_cast<Brand>(brand), checksum);
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
  if (json) buffer_ += '"';
  if (ShowsAsIs(number, json)) {
    buffer_ += number;
  } else {
    Escaped(number);
  }
  if (json) buffer_ += '"';
}

void Output::Escaped(std::string_view number) {
  const bool json = format_ == Format::Json;
  for (char c : number) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\' || (json && c == '"')) {
      buffer_ += '\\';
      buffer_ += c;
    } else if (byte < 0x20 || byte == 0x7f || (json && byte >= 0x80)) {
      buffer_ += json ? "\\u00" : "\\x";
      buffer_ += kHex[byte >> 4];
      buffer_ += kHex[byte & 15];
    } else {
      buffer_ += c;
    }
  }
}

void Output::Field(std::string_view key, std::string_view json_value) {
  buffer_ += ",\"";
  buffer_ += key;
  buffer_ += "\":";
  buffer_ += json_value;
}

void Output::EndLine() {
  buffer_ += format_ == Format::Json ? "}\n" : "\n";
  if (buffer_.size() >= kFlushAt) Flush();
}

void Output::Card(std::string_view number, const CardVerdict& v) {
  if (format_ == Format::Json) buffer_ += "{\"number\":";
  Number(number);
  buffer_ += card_endings_[static_cast<std::size_t>(v.brand) * 2 + (v.checksum ? 1 : 0)];
  if (buffer_.size() >= kFlushAt) Flush();
}

void Output::Id(std::string_view number, const IdVerdict& v) {
  const std::string_view verdict = v.valid() ? "valid" : "invalid";
  const std::string age = std::to_string(v.age);
  switch (format_) {
    case Format::Text:
      Number(number);
      buffer_ += ": ";
      buffer_ += verdict;
      if (!v.check_digits) {
        buffer_ += " (check digits wrong)";
        break;
      }
      buffer_ += v.unexpired ? " (check digits ok, not expired, age " : " (check digits ok, expired, age ";
      buffer_ += age;
      buffer_ += ')';
      break;
    case Format::Tsv:
      Number(number);
      buffer_ += '\t';
      buffer_ += verdict;
      buffer_ += v.check_digits ? "\tpass" : "\tfail";
      buffer_ += v.unexpired ? "\tcurrent\t" : "\texpired\t";
      buffer_ += age;
      break;
    case Format::Json:
      buffer_ += "{\"number\":";
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
      buffer_ += ": invalid (";
      buffer_ += reason;
      buffer_ += ')';
      break;
    case Format::Tsv:
      Number(number);
      buffer_ += "\tinvalid\t";
      buffer_ += reason;
      break;
    case Format::Json:
      buffer_ += "{\"number\":";
      Number(number);
      Field("valid", "false");
      buffer_ += ",\"error\":\"";
      buffer_ += reason;
      buffer_ += '"';
      break;
  }
  EndLine();
}

void Output::Flush() {
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t wrote = ::write(STDOUT_FILENO, buffer_.data() + done, buffer_.size() - done);
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
  buffer_.clear();
}

}  // namespace tessera::tool
