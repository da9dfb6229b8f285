// detect.cpp -- what a stream's first bytes say it is: magic numbers, byte-order marks, UTF-16's zero bytes, mail headers
#include "input/detect.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace tessera::input {
namespace {

using namespace std::string_view_literals;

struct Magic {
  std::string_view bytes;
  Format format;
  std::string_view name;
};

// At offset 0. Longer checks (the gzip header, the bzip2 block) follow.
constexpr Magic kMagics[] = {
    {"\x1f\x8b\x08"sv, Format::kGzip, "gzip"},
    {"BZh"sv, Format::kBzip2, "bzip2"},
    {"\xfd" "7zXZ\0"sv, Format::kXz, "xz"},
    {"\x28\xb5\x2f\xfd"sv, Format::kZstd, "zstd"},
    {"PK\x03\x04"sv, Format::kZip, "zip"},
    {"PK\x05\x06"sv, Format::kZip, "zip"},
    {"PK\x07\x08PK\x03\x04"sv, Format::kZip, "zip"},
    {"7z\xbc\xaf\x27\x1c"sv, Format::kArchive, "7z"},
    {"Rar!\x1a\x07"sv, Format::kArchive, "rar"},
    {"MSCF\0\0\0\0"sv, Format::kArchive, "cab"},
    {"!<arch>\n"sv, Format::kArchive, "ar"},
    {"070701"sv, Format::kArchive, "cpio"},
    {"070702"sv, Format::kArchive, "cpio"},
    {"070707"sv, Format::kArchive, "cpio"},
    {"%PDF-"sv, Format::kPdf, "pdf"},
    {"\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"sv, Format::kCompoundFile, "OLE2 compound file"},
    {"\x1f\x9d"sv, Format::kOtherCompressed, "compress (.Z)"},
    {"\x04\x22\x4d\x18"sv, Format::kOtherCompressed, "lz4"},
    {"LZIP\x01"sv, Format::kOtherCompressed, "lzip"},
};

constexpr Detection Is(Format format, bool byte_order_mark = false) { return {format, byte_order_mark, false, {}}; }
constexpr Detection More() { return {Format::kPlain, false, true, {}}; }
constexpr Detection Plain() { return Is(Format::kPlain); }

bool Byte(std::string_view s, std::size_t i, unsigned char c) { return static_cast<unsigned char>(s[i]) == c; }

// The fields of a gzip header that a text beginning with 1f 8b 08 would
// hardly get right: no reserved flag, and a known XFL.
bool GzipHeaderValid(std::string_view h) {
  const auto flags = static_cast<unsigned char>(h[3]);
  const auto xfl = static_cast<unsigned char>(h[8]);
  return (flags & 0xe0) == 0 && (xfl == 0 || xfl == 2 || xfl == 4);
}

// "BZh" and a block size 1-9, then a block's or the end's magic number.
bool Bzip2HeaderValid(std::string_view h) {
  if (h[3] < '1' || h[3] > '9') return false;
  const std::string_view next = h.substr(4, 6);
  return next == "\x31\x41\x59\x26\x53\x59"sv || next == "\x17\x72\x45\x38\x50\x90"sv;
}

// A tar header: ustar's magic, or the checksum of an old one.
bool TarHeader(std::string_view h) {
  if (h.substr(257, 5) == "ustar") return true;
  if (h[0] == '\0') return false;
  unsigned stored = 0;
  std::size_t i = 148;
  while (i < 156 && h[i] == ' ') ++i;
  std::size_t digits = 0;
  for (; i < 156 && h[i] >= '0' && h[i] <= '7'; ++i, ++digits) stored = stored * 8 + static_cast<unsigned>(h[i] - '0');
  if (digits == 0) return false;
  unsigned sum = 0;
  for (std::size_t k = 0; k < 512; ++k) sum += k >= 148 && k < 156 ? ' ' : static_cast<unsigned char>(h[k]);
  return sum == stored;
}

// Until a header would be complete: a text whose first line ends before a
// tar name field could is no tar.
bool MaybeTar(std::string_view h) {
  const std::size_t n = std::min<std::size_t>(h.size(), 100);
  return h.substr(0, n).find('\n') == std::string_view::npos;
}

bool TextByte(unsigned char c) { return c >= 0x20 || c == '\t' || c == '\n' || c == '\r'; }

// UTF-16 without a byte-order mark, by its zero bytes: in text of the
// Latin script every other byte is 0. Nine pairs in ten must look so.
Detection Utf16ByZeros(std::string_view h, bool final) {
  const std::size_t pairs = std::min(h.size(), kSniffMost) / 2;
  if (pairs < 8) return !final && pairs > 0 && (h[0] == '\0' || h[1] == '\0') ? More() : Plain();
  std::size_t le = 0, be = 0;
  for (std::size_t i = 0; i < pairs; ++i) {
    const auto a = static_cast<unsigned char>(h[2 * i]), b = static_cast<unsigned char>(h[2 * i + 1]);
    le += b == 0 && a != 0 && TextByte(a);
    be += a == 0 && b != 0 && TextByte(b);
  }
  if (le * 10 >= pairs * 9) return Is(Format::kUtf16Le);
  if (be * 10 >= pairs * 9) return Is(Format::kUtf16Be);
  return Plain();
}

// The header fields that mark a message, written as mail programs write them.
constexpr std::string_view kMailFields[] = {
    "From", "To", "Cc", "Subject", "Date", "Received", "Return-Path", "Message-ID", "Message-Id",
    "MIME-Version", "Mime-Version", "Delivered-To", "Reply-To", "X-Mailer", "DKIM-Signature",
};

// A header block of at least two fields that mark a message, ended by an
// empty line or by the end of what was looked at; mbox files begin with a
// "From " line first.
Detection Mail(std::string_view h, bool final) {
  const bool mbox = h.starts_with("From ");
  std::size_t at = 0;
  if (mbox) {
    const std::size_t end = h.find('\n');
    if (end == std::string_view::npos) return final ? Plain() : More();
    at = end + 1;
  }
  std::size_t fields = 0, marks = 0;
  bool first = true;
  for (;;) {
    const std::size_t end = h.find('\n', at);
    if (end == std::string_view::npos) {
      // A line cut off by the end of what was read.
      if (!final) return More();
      break;
    }
    std::string_view line = h.substr(at, end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    at = end + 1;
    if (line.empty()) break;
    if (line[0] == ' ' || line[0] == '\t') {
      if (first) return Plain();
      continue;
    }
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos) return Plain();
    const std::string_view name = line.substr(0, colon);
    for (char c : name)
      if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7f) return Plain();
    ++fields;
    marks += std::find(std::begin(kMailFields), std::end(kMailFields), name) != std::end(kMailFields);
    first = false;
  }
  if (fields >= 2 && marks >= 2) return Is(mbox ? Format::kMbox : Format::kMail);
  return Plain();
}

}  // namespace

Detection Detect(std::string_view head, bool final) {
  final = final || head.size() >= kSniffMost;
  bool more = false;
  for (const Magic& magic : kMagics) {
    const std::size_t n = std::min(head.size(), magic.bytes.size());
    if (head.substr(0, n) != magic.bytes.substr(0, n)) continue;
    if (n < magic.bytes.size()) {
      more = true;
      continue;
    }
    switch (magic.format) {
      case Format::kGzip:
        if (head.size() < 10) {
          more = true;
          continue;
        }
        if (!GzipHeaderValid(head)) continue;
        break;
      case Format::kBzip2:
        if (head.size() < 10) {
          more = true;
          continue;
        }
        if (!Bzip2HeaderValid(head)) continue;
        break;
      default:
        break;
    }
    return {magic.format, false, false, magic.name};
  }
  // Skippable zstd frames: 50-5f 2a 4d 18.
  if (head.size() >= 4 && (static_cast<unsigned char>(head[0]) & 0xf0) == 0x50 && Byte(head, 1, 0x2a) &&
      Byte(head, 2, 0x4d) && Byte(head, 3, 0x18))
    return {Format::kZstd, false, false, "zstd"};
  if (head.size() >= 2 && Byte(head, 0, 0xff) && Byte(head, 1, 0xfe)) return Is(Format::kUtf16Le, true);
  if (head.size() >= 2 && Byte(head, 0, 0xfe) && Byte(head, 1, 0xff)) return Is(Format::kUtf16Be, true);
  if (head.size() >= 512) {
    if (TarHeader(head)) return {Format::kTar, false, false, "tar"};
  } else if (!final && MaybeTar(head)) {
    more = true;
  }
  if (more && !final) return More();
  const Detection utf16 = Utf16ByZeros(head, final);
  if (utf16.format != Format::kPlain || utf16.more) return utf16;
  return Mail(head, final);
}

}  // namespace tessera::input
