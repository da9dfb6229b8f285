// pdf.cpp -- a PDF file with its FlateDecode streams inflated in place, the rest as it is, with zlib
//
// The file is read front to back, without its cross-reference table: each
// dictionary is kept (its first kDictionaryMost bytes) until the keyword
// after it shows whether a stream follows. A stream whose only filter is
// FlateDecode is replaced by what it inflates to (content streams draw text
// with its bytes: "(4111 1111 1111 1111) Tj"; object streams hold more
// dictionaries); other streams pass as they are. What cannot be read so is
// the fault at the end: an encrypted file, streams that do not inflate,
// filters not decoded, and text drawn in composite fonts (Identity-H), whose
// bytes are glyph numbers rather than characters.
#include <cstring>
#include <string>

#include "input/decoders.h"

#if TESSERA_HAVE_ZLIB
#include <zlib.h>
#endif

namespace tessera::input {

#if TESSERA_HAVE_ZLIB

namespace {

constexpr std::size_t kDictionaryMost = 4096;
constexpr std::string_view kEndStream = "endstream";

bool Blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\0'; }
bool Delimiter(char c) { return Blank(c) || c == '/' || c == '<' || c == '>' || c == '[' || c == ']' || c == '(' || c == ')'; }

// The names after /Filter in a dictionary: "FlateDecode", or several.
std::string FiltersOf(std::string_view dictionary) {
  const std::size_t at = dictionary.find("/Filter");
  if (at == std::string_view::npos) return {};
  std::string_view rest = dictionary.substr(at + 7);
  while (!rest.empty() && Blank(rest[0])) rest.remove_prefix(1);
  std::string names;
  const bool array = !rest.empty() && rest[0] == '[';
  if (array) rest.remove_prefix(1);
  for (;;) {
    while (!rest.empty() && Blank(rest[0])) rest.remove_prefix(1);
    if (rest.empty() || rest[0] != '/') break;
    std::size_t end = 1;
    while (end < rest.size() && !Delimiter(rest[end])) ++end;
    if (!names.empty()) names += ' ';
    names.append(rest.substr(1, end - 1));
    rest.remove_prefix(end);
    if (!array) break;
  }
  return names;
}

bool ImageFilter(std::string_view name) {
  return name == "DCTDecode" || name == "JPXDecode" || name == "CCITTFaxDecode" || name == "JBIG2Decode" ||
         name == "DCT" || name == "CCF";
}

class PdfStream final : public Stream {
 public:
  PdfStream(std::unique_ptr<Stream> source, Shared& shared)
      : source_(std::move(source)), expansion_(shared.limits), in_(new char[kChunk]) {}
  ~PdfStream() override {
    if (inflating_) inflateEnd(&z_);
  }

  std::size_t Read(char* to, std::size_t size) override {
    if (fault_) return 0;
    size = std::min<std::size_t>(size, UINT32_MAX);
    std::size_t written = 0;
    while (written == 0) {
      if (at_ == available_) {
        if (at_end_) return Finish();
        available_ = source_->Read(in_.get(), kChunk);
        at_ = 0;
        if (available_ == 0) {
          at_end_ = true;
          Inherit(*source_);
          if (fault_) return 0;
          if (inflating_) Broken();
          continue;
        }
        read_ += available_;
      }
      switch (mode_) {
        case kObjects:
          written = Objects(to, size);
          break;
        case kInflating:
          written = Inflate(to, size);
          break;
        case kRawStream:
          written = ToEndStream(to, size, true);
          break;
        case kSkipStream:
          ToEndStream(to, size, false);
          break;
      }
    }
    return written;
  }

 private:
  enum Mode { kObjects, kInflating, kRawStream, kSkipStream };

  // The bytes between streams, passed on while their syntax is followed.
  std::size_t Objects(char* to, std::size_t size) {
    std::size_t n = 0;
    while (at_ < available_ && n < size) {
      const char c = in_[at_++];
      to[n++] = c;
      if (after_keyword_ > 0) {
        // "stream" then CR LF or LF; the data begin after it.
        if (after_keyword_ == 1 && c == '\r') {
          after_keyword_ = 2;
          continue;
        }
        after_keyword_ = 0;
        if (c == '\n') {
          BeginStream();
          return n;
        }
        dictionary_.clear();
      }
      if (in_string_ > 0) {
        if (escaped_) escaped_ = false;
        else if (c == '\\') escaped_ = true;
        else if (c == '(') ++in_string_;
        else if (c == ')') --in_string_;
        if (depth_ > 0 && dictionary_.size() < kDictionaryMost) dictionary_ += c;
        continue;
      }
      if (in_comment_) {
        in_comment_ = c != '\n' && c != '\r';
        continue;
      }
      if (depth_ > 0 && dictionary_.size() < kDictionaryMost) dictionary_ += c;
      switch (c) {
        case '(':
          in_string_ = 1;
          break;
        case '%':
          in_comment_ = true;
          break;
        case '<':
          if (previous_ == '<') {
            ++depth_;
            if (depth_ == 1) dictionary_ = "<<";
            previous_ = '\0';
            continue;
          }
          break;
        case '>':
          if (previous_ == '>' && depth_ > 0) {
            if (--depth_ == 0) Dictionary();
            previous_ = '\0';
            continue;
          }
          break;
        default:
          break;
      }
      previous_ = c;
      // The keyword "stream", right after a dictionary.
      word_ = Delimiter(c) ? std::string() : (word_.size() < 9 ? word_ + c : word_);
      if (word_ == "stream" && depth_ == 0 && dictionary_ready_) after_keyword_ = 1;
      if (!Delimiter(c) && word_ != std::string_view("stream").substr(0, word_.size())) dictionary_ready_ = false;
    }
    return n;
  }

  void Dictionary() {
    if (dictionary_.find("/Encrypt") != std::string::npos) encrypted_ = true;
    NoteFonts(dictionary_);
    dictionary_ready_ = true;
    word_.clear();
  }

  void NoteFonts(std::string_view text) {
    if (text.find("/Identity-H") != std::string_view::npos || text.find("/Identity-V") != std::string_view::npos)
      composite_fonts_ = true;
  }

  void BeginStream() {
    dictionary_ready_ = false;
    const std::string filters = FiltersOf(dictionary_);
    dictionary_.clear();
    ended_match_ = 0;
    if (filters == "FlateDecode" || filters == "Fl") {
      z_ = z_stream{};
      // 32: zlib or gzip headers alike.
      if (inflateInit2(&z_, 32 + MAX_WBITS) != Z_OK) {
        Broken();
        mode_ = kSkipStream;
        return;
      }
      inflating_ = true;
      mode_ = kInflating;
      return;
    }
    if (!filters.empty() && !ImageFilter(filters)) ++other_filters_;
    mode_ = kRawStream;
  }

  std::size_t Inflate(char* to, std::size_t size) {
    z_.next_in = reinterpret_cast<Bytef*>(in_.get() + at_);
    z_.avail_in = static_cast<uInt>(available_ - at_);
    z_.next_out = reinterpret_cast<Bytef*>(to);
    z_.avail_out = static_cast<uInt>(size - 1);
    const int result = inflate(&z_, Z_NO_FLUSH);
    at_ = available_ - z_.avail_in;
    std::size_t produced = size - 1 - z_.avail_out;
    if (produced > 0) NoteFonts(std::string_view(to, produced));
    if (result == Z_STREAM_END || (result != Z_OK && result != Z_BUF_ERROR)) {
      if (result != Z_STREAM_END) Broken();
      inflateEnd(&z_);
      inflating_ = false;
      mode_ = kSkipStream;
      // A line break between what a stream held and what follows it.
      to[produced++] = '\n';
    }
    if (std::string why = expansion_.Out(produced, read_ - (available_ - at_)); !why.empty()) Fail(Reason::kTooLarge, std::move(why));
    return produced;
  }

  // Up to and with "endstream", passed on or not.
  std::size_t ToEndStream(char* to, std::size_t size, bool pass) {
    std::size_t n = 0;
    while (at_ < available_ && (!pass || n < size)) {
      const char c = in_[at_++];
      if (pass) to[n++] = c;
      if (c == kEndStream[ended_match_]) {
        if (++ended_match_ == kEndStream.size()) {
          mode_ = kObjects;
          ended_match_ = 0;
          word_.clear();
          return n;
        }
      } else {
        ended_match_ = c == kEndStream[0] ? 1 : 0;
      }
    }
    return n;
  }

  void Broken() { ++broken_; }

  std::size_t Finish() {
    if (encrypted_) return Fail(Reason::kEncrypted, "an encrypted PDF: its streams cannot be read without the key");
    if (broken_ > 0) return Fail(Reason::kDamaged, std::to_string(broken_) + " PDF streams do not inflate");
    if (other_filters_ > 0)
      return Fail(Reason::kUnsupported, std::to_string(other_filters_) +
                                            " PDF streams in filters that are not decoded (LZW, ASCII85, chains)");
    if (composite_fonts_)
      return Fail(Reason::kUnsupported,
                  "text drawn in composite fonts (Identity-H): its bytes are glyph numbers, not characters");
    return 0;
  }

  std::unique_ptr<Stream> source_;
  Expansion expansion_;
  std::unique_ptr<char[]> in_;
  std::size_t at_ = 0, available_ = 0;
  uint64_t read_ = 0;
  bool at_end_ = false;
  Mode mode_ = kObjects;
  z_stream z_{};
  bool inflating_ = false;

  // Following the syntax between streams.
  int in_string_ = 0;  // depth of parentheses
  bool escaped_ = false;
  bool in_comment_ = false;
  int depth_ = 0;      // of dictionaries
  char previous_ = '\0';
  std::string dictionary_;
  bool dictionary_ready_ = false;  // a dictionary ended, and only "stream" may follow
  std::string word_;
  int after_keyword_ = 0;  // 1: after "stream"; 2: after its CR
  std::size_t ended_match_ = 0;

  bool encrypted_ = false;
  bool composite_fonts_ = false;
  unsigned broken_ = 0;
  unsigned other_filters_ = 0;
};

}  // namespace

std::unique_ptr<Stream> MakePdf(std::unique_ptr<Stream> source, Shared& shared) {
  return std::make_unique<PdfStream>(std::move(source), shared);
}

#else

std::unique_ptr<Stream> MakePdf(std::unique_ptr<Stream>, Shared&) { return nullptr; }

#endif

}  // namespace tessera::input
