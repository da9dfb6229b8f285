// input.h -- one input in, padded blocks of text out, whatever layers of compression, archive or encoding it had
//
// A Reader takes the bytes of a file or of standard input and recognises
// what they are by their content, never by a name: magic numbers, byte-order
// marks, the zero bytes of UTF-16 without one. It opens what it can (gzip,
// bzip2, xz, zstd; zip, tar and other archives; UTF-16; the text of Office
// and OpenDocument files; mail; the compressed streams of PDF), one inside
// another, and hands out texts: the input itself, or a member, named after
// it as Java names a member of a jar, `!/path/inside`, nested as deep as
// the members are (`a.zip!/logs.tar.gz!/app.log`). What it cannot see into
// it reports to a Listener, with the reason, and goes on.
//
// Memory stays bounded whatever the input: blocks of kBlock bytes, decoders
// within Limits::memory, nesting within Limits::depth; an expansion past
// Limits::ratio or Limits::most_decoded (a bomb) is stopped and reported.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/padded.h"
#include "input/stream.h"

namespace tessera::input {

// The largest block a text is handed out in.
inline constexpr std::size_t kBlock = std::size_t{256} << 10;
// Readable bytes after every block (tessera::kPadding, the promise the
// padded checks and scanners rely on).
inline constexpr std::size_t kBlockPadding = kPadding;

// What was decoded, for counting.
enum class Kind : unsigned char { kGzip, kBzip2, kXz, kZstd, kZip, kTar, kArchive, kUtf16, kOffice, kMail, kPdf };
inline constexpr std::size_t kKindCount = 11;
// "gzip", "bzip2", "xz", "zstd", "zip", "tar", "archive", "utf-16", "office", "mail", "pdf".
std::string_view KindName(Kind kind);

struct Counts {
  std::array<uint64_t, kKindCount> decoded{};
  uint64_t members = 0;  // members of archives and parts of mail opened
  std::array<uint64_t, kReasonCount> skipped{};
};

// Where a text's position lies in the bytes it was decoded from.
struct Place {
  uint64_t offset;  // in bytes from 0
  uint64_t column;  // from 1
};

// A number a spreadsheet kept in a number cell with fewer significant
// digits than it has (4.11111111111111E+15): the digits after the 15th are
// lost. Where the cell's text begins in the decoded text.
struct LostDigits {
  uint64_t offset;
  uint64_t line;    // from 1
  uint64_t column;  // from 1
  std::string stored;  // the cell's value as stored, at most 64 bytes
  std::string digits;  // the integer it stands for, the lost digits as zeros
};

class TextSource;
struct Shared;
enum class OfficePart : unsigned char;

class Listener {
 public:
  // `where` is "" for the input itself, else the path of the member
  // ("!/a.zip!/b.txt"). `detail` is words for a person.
  virtual void Skipped(std::string_view where, Reason reason, std::string_view detail) = 0;

 protected:
  ~Listener() = default;
};

// Which decoders this build has: for the README and for messages.
bool Decodes(Kind kind);

class Reader {
 public:
  // `input` must outlive the reader; it is read from the current position.
  Reader(Stream& input, Listener& listener, const Limits& limits = {});
  ~Reader();
  Reader(const Reader&) = delete;
  Reader& operator=(const Reader&) = delete;

  // Moves to the next text: the input itself, or the next member inside it
  // (what is left of the current text is passed over). False when there is
  // none left. `where` is "" or a member's path, as for Listener.
  bool NextText(std::string& where);

  // The next block of the current text, of at most kBlock bytes, followed
  // by kBlockPadding readable bytes; valid until the next call. False at the
  // end of the text.
  bool NextBlock(PaddedText& block);

  // The same bytes copied into `to` instead, for readers with a buffer of
  // their own: plain files are read straight into it. 0 at the end of the text.
  std::size_t Read(char* to, std::size_t size);

  // Whether positions in the text differ from positions in the bytes it
  // came from (UTF-16); then Locate maps them.
  bool recoded() const;
  // For the text's offset `offset` on the line that begins at `line_start`:
  // the offset in the original bytes and the column in UTF-16 code units.
  // Both at most a block and 128 bytes back from the end of the last block.
  Place Locate(uint64_t offset, uint64_t line_start);

  // Numbers with lost digits met so far in the current text; the caller
  // takes them and clears the vector.
  std::vector<LostDigits>& lost_digits() { return lost_; }

  // Not 0 when the input itself could not be read: the system's error code.
  // Nothing more is read then.
  int read_error() const { return read_error_; }
  const Counts& counts() const { return counts_; }

 private:
  struct Level;

  void Open(std::unique_ptr<Stream> stream, std::string where, unsigned depth, OfficePart part, bool plain);
  void CloseText();
  void Report(const std::string& where, const Fault& fault);

  Stream& input_;
  Listener& listener_;
  Limits limits_;
  std::unique_ptr<Shared> shared_;
  std::vector<Level> stack_;
  std::unique_ptr<TextSource> text_;
  std::string text_where_;
  std::vector<LostDigits> lost_;
  Counts counts_;
  int read_error_ = 0;
  bool started_ = false;
};

}  // namespace tessera::input
