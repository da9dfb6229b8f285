// mail.cpp -- the parts of mail (RFC 5322 messages and mbox files): headers, bodies decoded, attachments
//
// Each message's header block is a text of its own (encoded words such as
// =?UTF-8?B?...?= decoded); each part of its body is a member, its bytes
// decoded from base64 or quoted-printable, named by its file name or else
// by its part number as IMAP numbers them (1, 2, 2.1). In an mbox file the
// messages are numbered from 1 and their parts named under them
// (inbox.mbox!/3 is the third message's headers, inbox.mbox!/3/2 a part).
// Parts go through the whole input layer: an attached docx is opened.
#include <cstring>
#include <string>
#include <vector>

#include "input/decoders.h"

namespace tessera::input {
namespace {

constexpr std::size_t kLineBuffer = std::size_t{64} << 10;
constexpr std::size_t kHeadersMost = std::size_t{256} << 10;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string Lowered(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
  return s;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 across lines: four letters make three bytes; others are passed over.
class Base64 {
 public:
  void Decode(std::string_view in, std::string& out) {
    for (char c : in) {
      const int v = Base64Value(c);
      if (v < 0) continue;
      bits_ = bits_ << 6 | static_cast<uint32_t>(v);
      if (++count_ == 4) {
        out += static_cast<char>(bits_ >> 16 & 0xff);
        out += static_cast<char>(bits_ >> 8 & 0xff);
        out += static_cast<char>(bits_ & 0xff);
        bits_ = 0;
        count_ = 0;
      }
    }
  }
  // The bytes of a last group cut short by padding.
  void Finish(std::string& out) {
    if (count_ == 2) out += static_cast<char>(bits_ >> 4 & 0xff);
    if (count_ == 3) {
      out += static_cast<char>(bits_ >> 10 & 0xff);
      out += static_cast<char>(bits_ >> 2 & 0xff);
    }
    bits_ = 0;
    count_ = 0;
  }

 private:
  uint32_t bits_ = 0;
  int count_ = 0;
};

// One line of quoted-printable: =XX is a byte, a final = joins the next line.
void DecodeQuotedPrintable(std::string_view in, std::string& out) {
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '=') {
      out += in[i];
      continue;
    }
    const std::string_view rest = in.substr(i + 1);
    if (rest == "\n" || rest == "\r\n" || Trimmed(rest).empty()) return;
    if (rest.size() >= 2 && HexValue(rest[0]) >= 0 && HexValue(rest[1]) >= 0) {
      out += static_cast<char>(HexValue(rest[0]) * 16 + HexValue(rest[1]));
      i += 2;
    } else {
      out += '=';
    }
  }
}

// Encoded words of header fields (=?charset?B?...?= and =?charset?Q?...?=)
// as the bytes they stand for; the charset is left as it is.
std::string DecodeEncodedWords(std::string_view text) {
  std::string out;
  std::size_t at = 0;
  for (;;) {
    const std::size_t begin = text.find("=?", at);
    if (begin == std::string_view::npos) break;
    const std::size_t q1 = text.find('?', begin + 2);
    const std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('?', q1 + 1);
    const std::size_t end = q2 == std::string_view::npos ? q2 : text.find("?=", q2 + 1);
    if (end == std::string_view::npos || q2 != q1 + 2) {
      out.append(text.substr(at, begin + 2 - at));
      at = begin + 2;
      continue;
    }
    out.append(text.substr(at, begin - at));
    const char kind = Lower(text[q1 + 1]);
    const std::string_view word = text.substr(q2 + 1, end - q2 - 1);
    if (kind == 'b') {
      Base64 b;
      b.Decode(word, out);
      b.Finish(out);
    } else if (kind == 'q') {
      for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '_') out += ' ';
        else if (word[i] == '=' && i + 2 < word.size() && HexValue(word[i + 1]) >= 0 && HexValue(word[i + 2]) >= 0) {
          out += static_cast<char>(HexValue(word[i + 1]) * 16 + HexValue(word[i + 2]));
          i += 2;
        } else {
          out += word[i];
        }
      }
    } else {
      out.append(text.substr(begin, end + 2 - begin));
    }
    at = end + 2;
  }
  out.append(text.substr(at));
  return out;
}

// What the header fields of a message or part say about its body.
struct Entity {
  std::string type = "text/plain";
  std::string boundary;
  std::string encoding;
  std::string filename;
};

// The value of parameter `name` (a="b"; name*=utf-8''x%20y as RFC 2231 has it).
std::string Parameter(std::string_view field, std::string_view name) {
  std::size_t at = 0;
  while ((at = field.find(';', at)) != std::string_view::npos) {
    ++at;
    std::string_view rest = Trimmed(field.substr(at));
    const std::size_t eq = rest.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = Trimmed(rest.substr(0, eq));
    const bool extended = key.ends_with('*') || key.ends_with("*0*");
    if (key.ends_with("*0*")) key.remove_suffix(3);
    else if (key.ends_with("*0") || key.ends_with('*')) key.remove_suffix(key.ends_with('*') ? 1 : 2);
    if (!SameWord(key, name)) continue;
    std::string_view value = Trimmed(rest.substr(eq + 1));
    std::string out;
    if (!value.empty() && value[0] == '"') {
      for (std::size_t i = 1; i < value.size() && value[i] != '"'; ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) ++i;
        out += value[i];
      }
      return out;
    }
    value = value.substr(0, value.find(';'));
    value = Trimmed(value);
    if (extended) {
      const std::size_t quote = value.find('\'', value.find('\'') + 1);
      if (quote != std::string_view::npos) value.remove_prefix(quote + 1);
      for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && HexValue(value[i + 1]) >= 0 && HexValue(value[i + 2]) >= 0) {
          out += static_cast<char>(HexValue(value[i + 1]) * 16 + HexValue(value[i + 2]));
          i += 2;
        } else {
          out += value[i];
        }
      }
      return out;
    }
    return std::string(value);
  }
  return {};
}

Entity EntityOf(std::string_view headers) {
  Entity e;
  // Fields unfolded: a line that begins with a blank goes on the field before.
  std::string field;
  auto take = [&e](std::string_view f) {
    const std::size_t colon = f.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view name = Trimmed(f.substr(0, colon)), value = Trimmed(f.substr(colon + 1));
    if (SameWord(name, "Content-Type")) {
      e.type = Lowered(Trimmed(value.substr(0, value.find(';'))));
      e.boundary = Parameter(value, "boundary");
      if (e.filename.empty()) e.filename = DecodeEncodedWords(Parameter(value, "name"));
    } else if (SameWord(name, "Content-Transfer-Encoding")) {
      e.encoding = Lowered(value);
    } else if (SameWord(name, "Content-Disposition")) {
      const std::string filename = DecodeEncodedWords(Parameter(value, "filename"));
      if (!filename.empty()) e.filename = filename;
    }
  };
  std::size_t at = 0;
  while (at < headers.size()) {
    std::size_t end = headers.find('\n', at);
    if (end == std::string_view::npos) end = headers.size();
    const std::string_view line = headers.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
      field.append(line);
      continue;
    }
    take(field);
    field.assign(line);
  }
  take(field);
  return e;
}

// Lines of a stream, with their line feeds; a line longer than the buffer
// comes in pieces.
class LineReader {
 public:
  explicit LineReader(Stream& source) : source_(source), buffer_(new char[kLineBuffer]) {}

  // The next line or piece, not yet consumed; false at the end.
  bool Peek(std::string_view& line) {
    if (peeked_ > 0) {
      line = std::string_view(buffer_.get() + begin_, peeked_);
      return true;
    }
    for (;;) {
      const void* lf = std::memchr(buffer_.get() + begin_, '\n', end_ - begin_);
      if (lf) {
        peeked_ = static_cast<std::size_t>(static_cast<const char*>(lf) - (buffer_.get() + begin_)) + 1;
      } else if (at_end_ || (begin_ == 0 && end_ == kLineBuffer)) {
        if (begin_ == end_) return false;
        peeked_ = end_ - begin_;
      } else {
        std::memmove(buffer_.get(), buffer_.get() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        const std::size_t n = source_.Read(buffer_.get() + end_, kLineBuffer - end_);
        if (n == 0) at_end_ = true;
        end_ += n;
        continue;
      }
      line = std::string_view(buffer_.get() + begin_, peeked_);
      return true;
    }
  }

  // Whether the line peeked begins a line (the piece before it ended one).
  bool starts_line() const { return starts_line_; }

  void Consume() {
    starts_line_ = buffer_[begin_ + peeked_ - 1] == '\n';
    begin_ += peeked_;
    peeked_ = 0;
  }

 private:
  Stream& source_;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0, end_ = 0, peeked_ = 0;
  bool at_end_ = false;
  bool starts_line_ = true;
};

class TextStream final : public Stream {
 public:
  void Reset(std::string text) {
    text_ = std::move(text);
    at_ = 0;
  }
  std::size_t Read(char* to, std::size_t size) override {
    const std::size_t n = std::min(size, text_.size() - at_);
    std::memcpy(to, text_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t at_ = 0;
};

class MailContainer final : public Container {
 public:
  MailContainer(std::unique_ptr<Stream> source, bool mbox)
      : source_(std::move(source)), lines_(*source_), mbox_(mbox), body_(*this) {}

  bool Next(Member& member) override {
    for (;;) {
      switch (state_) {
        case kMessage:
          return ReadMessage(member);
        case kBody:
          if (Body(member)) return true;
          break;
        case kAfterLeaf:
          body_.Drain();
          AfterTerminator(SkipToTerminator());
          break;
        case kPart: {
          Frame& frame = frames_.back();
          const std::string section = Sub(frame.section, ++frame.parts);
          entity_ = EntityOf(ReadHeaders());
          section_ = section;
          state_ = kBody;
          break;
        }
        case kDone:
          if (source_->fault()) fault_ = source_->fault();
          return false;
      }
    }
  }

 private:
  enum State { kMessage, kBody, kAfterLeaf, kPart, kDone };
  enum class Terminator { kEnd, kFrom, kBoundary, kCloseBoundary };

  struct Frame {
    std::string boundary;
    std::string section;
    int parts = 0;
  };

  // A leaf part's body, decoded, up to the line that ends it.
  class BodyStream final : public Stream {
   public:
    explicit BodyStream(MailContainer& owner) : owner_(owner) {}
    void Begin(std::string_view encoding) {
      base64_ = encoding == "base64";
      quoted_ = encoding == "quoted-printable";
      decoder_ = Base64();
      pending_.clear();
      at_ = 0;
      ended_ = false;
    }
    std::size_t Read(char* to, std::size_t size) override {
      while (at_ == pending_.size()) {
        pending_.clear();
        at_ = 0;
        if (ended_) return 0;
        std::string_view line;
        if (!owner_.lines_.Peek(line) || owner_.Ends(line)) {
          ended_ = true;
          if (base64_) decoder_.Finish(pending_);
          continue;
        }
        if (base64_) decoder_.Decode(line, pending_);
        else if (quoted_) DecodeQuotedPrintable(line, pending_);
        else pending_.assign(line);
        owner_.lines_.Consume();
      }
      const std::size_t n = std::min(size, pending_.size() - at_);
      std::memcpy(to, pending_.data() + at_, n);
      at_ += n;
      return n;
    }
    // What the reader left unread.
    void Drain() {
      char sink[4096];
      while (Read(sink, sizeof sink) > 0) {
      }
    }

   private:
    MailContainer& owner_;
    Base64 decoder_;
    bool base64_ = false, quoted_ = false, ended_ = false;
    std::string pending_;
    std::size_t at_ = 0;
  };

  static std::string Sub(const std::string& section, int n) {
    return section.empty() ? std::to_string(n) : section + "." + std::to_string(n);
  }

  std::string Named(const std::string& name) const {
    if (!mbox_) return name;
    return name.empty() ? std::to_string(message_) : std::to_string(message_) + "/" + name;
  }

  // A line that ends the part being read: a boundary of an open multipart,
  // or in an mbox file the next message's "From " line.
  bool Ends(std::string_view line) const { return lines_.starts_line() && TerminatorOf(line).first != Terminator::kEnd; }

  std::pair<Terminator, std::size_t> TerminatorOf(std::string_view line) const {
    if (mbox_ && line.starts_with("From ")) return {Terminator::kFrom, 0};
    if (!line.starts_with("--")) return {Terminator::kEnd, 0};
    for (std::size_t i = frames_.size(); i-- > 0;) {
      const std::string& b = frames_[i].boundary;
      if (b.empty() || line.substr(2, b.size()) != b) continue;
      const std::string_view rest = line.substr(2 + b.size());
      if (rest.starts_with("--")) return {Terminator::kCloseBoundary, i};
      if (Trimmed(rest).empty()) return {Terminator::kBoundary, i};
    }
    return {Terminator::kEnd, 0};
  }

  // Consumes lines up to and with the next terminator (a "From " line is
  // left for the message it begins).
  std::pair<Terminator, std::size_t> SkipToTerminator() {
    std::string_view line;
    while (lines_.Peek(line)) {
      if (lines_.starts_line()) {
        const auto t = TerminatorOf(line);
        if (t.first != Terminator::kEnd) {
          if (t.first != Terminator::kFrom) lines_.Consume();
          return t;
        }
      }
      lines_.Consume();
    }
    return {Terminator::kEnd, 0};
  }

  void AfterTerminator(std::pair<Terminator, std::size_t> t) {
    switch (t.first) {
      case Terminator::kEnd:
        state_ = kDone;
        return;
      case Terminator::kFrom:
        frames_.clear();
        state_ = kMessage;
        return;
      case Terminator::kBoundary:
        frames_.resize(t.second + 1);
        state_ = kPart;
        return;
      case Terminator::kCloseBoundary:
        // The epilogue, up to the next boundary of a multipart around it.
        frames_.resize(t.second);
        if (frames_.empty() && !mbox_) {
          state_ = kDone;
          return;
        }
        AfterTerminator(SkipToTerminator());
        return;
    }
  }

  // The lines of a header block, up to the empty line that ends it.
  std::string ReadHeaders() {
    std::string headers;
    std::string_view line;
    while (lines_.Peek(line)) {
      if (lines_.starts_line() && (line == "\n" || line == "\r\n")) {
        lines_.Consume();
        break;
      }
      if (lines_.starts_line() && TerminatorOf(line).first != Terminator::kEnd) break;
      if (headers.size() < kHeadersMost) headers.append(line.substr(0, kHeadersMost - headers.size()));
      lines_.Consume();
    }
    return headers;
  }

  bool ReadMessage(Member& member) {
    std::string_view line;
    if (!lines_.Peek(line)) {
      state_ = kDone;
      return false;
    }
    if (mbox_ && line.starts_with("From ") && lines_.starts_line()) {
      lines_.Consume();
      ++message_;
    }
    const std::string headers = ReadHeaders();
    entity_ = EntityOf(headers);
    section_.clear();
    state_ = kBody;
    text_.Reset(DecodeEncodedWords(headers));
    member = Member{Named(message_section_), &text_, {}, true};
    message_section_.clear();
    return true;
  }

  // What follows a header block; true when a member is handed out.
  bool Body(Member& member) {
    if (entity_.type.starts_with("multipart/") && !entity_.boundary.empty()) {
      frames_.push_back({entity_.boundary, section_, 0});
      // The preamble, up to the first boundary.
      AfterTerminator(SkipToTerminator());
      return false;
    }
    if (entity_.type == "message/rfc822") {
      // A message inside: its headers are a text named by its part number.
      message_section_ = section_.empty() ? "1" : section_;
      const std::string headers = ReadHeaders();
      entity_ = EntityOf(headers);
      section_ = message_section_;
      text_.Reset(DecodeEncodedWords(headers));
      member = Member{Named(message_section_), &text_, {}, true};
      // Its body's parts are numbered under it.
      if (!entity_.type.starts_with("multipart/")) section_ = Sub(section_, 1);
      message_section_.clear();
      return true;
    }
    const std::string section = section_.empty() ? "1" : section_;
    body_.Begin(entity_.encoding);
    member = Member{Named(entity_.filename.empty() ? section : entity_.filename), &body_, {}};
    state_ = kAfterLeaf;
    return true;
  }

  std::unique_ptr<Stream> source_;
  LineReader lines_;
  bool mbox_;
  State state_ = kMessage;
  unsigned message_ = 0;
  std::vector<Frame> frames_;
  Entity entity_;
  std::string section_;          // of the entity whose body comes next
  std::string message_section_;  // of a message inside a message
  TextStream text_;
  BodyStream body_;
};

}  // namespace

std::unique_ptr<Container> MakeMail(std::unique_ptr<Stream> source, Shared&, bool mbox) {
  return std::make_unique<MailContainer>(std::move(source), mbox);
}

}  // namespace tessera::input
