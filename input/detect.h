// detect.h -- what a stream's first bytes say it is: magic numbers, byte-order marks, UTF-16's zero bytes, mail headers
#pragma once

#include <cstddef>
#include <string_view>

namespace tessera::input {

enum class Format : unsigned char {
  kPlain,
  kGzip,
  kBzip2,
  kXz,
  kZstd,
  kZip,
  kTar,
  kArchive,       // 7z, rar, cab, ar, cpio: libarchive's other formats
  kUtf16Le,
  kUtf16Be,
  kMail,          // an RFC 5322 message
  kMbox,          // messages each after a "From " line
  kPdf,
  kCompoundFile,  // OLE2: Office 97-2003, Outlook .msg, or an encrypted Office Open XML file
  kOtherCompressed,  // compress (.Z), lz4, lzip, lzma: recognised, not decoded
};

struct Detection {
  Format format = Format::kPlain;
  bool byte_order_mark = false;  // UTF-16 that begins with one (2 bytes)
  bool more = false;             // more bytes could change the answer
  std::string_view name;         // of kArchive and kOtherCompressed, for messages
};

// Bytes looked at, at most, before deciding: a pipe that sends less is not
// waited for any longer.
inline constexpr std::size_t kSniffMost = 4096;

// What `head` (the first bytes of a stream) is. Unless `final` (no more
// bytes will come, or kSniffMost are there), the answer may be "more": a
// magic number or a header block has begun but is not complete.
Detection Detect(std::string_view head, bool final);

}  // namespace tessera::input
