// reader.cpp -- the layers of one input, opened one inside another, and the texts they hold, in order
#include <string>
#include <utility>

#include "input/decoders.h"
#include "input/detect.h"
#include "input/input.h"

namespace tessera::input {

std::string_view KindName(Kind kind) {
  switch (kind) {
    case Kind::kGzip: return "gzip";
    case Kind::kBzip2: return "bzip2";
    case Kind::kXz: return "xz";
    case Kind::kZstd: return "zstd";
    case Kind::kZip: return "zip";
    case Kind::kTar: return "tar";
    case Kind::kArchive: return "archive";
    case Kind::kUtf16: return "utf-16";
    case Kind::kOffice: return "office";
    case Kind::kMail: return "mail";
    case Kind::kPdf: return "pdf";
  }
  return "?";
}

bool Decodes(Kind kind) {
  switch (kind) {
    case Kind::kGzip:
    case Kind::kPdf: return kHaveGzip;
    case Kind::kBzip2: return kHaveBzip2;
    case Kind::kXz: return kHaveXz;
    case Kind::kZstd: return kHaveZstd;
    case Kind::kZip:
    case Kind::kTar:
    case Kind::kArchive: return kHaveArchive;
    case Kind::kOffice: return kHaveOffice && kHaveArchive;
    case Kind::kUtf16:
    case Kind::kMail: return true;
  }
  return false;
}

std::string_view MissingLibrary(Kind kind) {
  switch (kind) {
    case Kind::kGzip:
    case Kind::kPdf: return "zlib";
    case Kind::kBzip2: return "libbz2";
    case Kind::kXz: return "liblzma";
    case Kind::kZstd: return "libzstd";
    case Kind::kOffice: return "expat";
    default: return "libarchive";
  }
}

namespace {

Kind KindOf(Format format) {
  switch (format) {
    case Format::kGzip: return Kind::kGzip;
    case Format::kBzip2: return Kind::kBzip2;
    case Format::kXz: return Kind::kXz;
    case Format::kZstd: return Kind::kZstd;
    case Format::kZip: return Kind::kZip;
    case Format::kTar: return Kind::kTar;
    case Format::kUtf16Le:
    case Format::kUtf16Be: return Kind::kUtf16;
    case Format::kMail:
    case Format::kMbox: return Kind::kMail;
    case Format::kPdf: return Kind::kPdf;
    default: return Kind::kArchive;
  }
}

Fault Skip(Reason reason, std::string detail) { return Fault{Fault::kSkipped, 0, reason, std::move(detail)}; }

// The first bytes of a stream, read until they tell what it is, in a
// buffer that becomes the first block when it is plain text.
struct Head {
  std::unique_ptr<char[]> bytes;
  std::size_t size = 0;
  Detection detection;
};

Head Sniff(Stream& stream) {
  Head head{std::unique_ptr<char[]>(new char[kBlock + kBlockPadding]), 0, {}};
  for (;;) {
    const std::size_t n = stream.Read(head.bytes.get() + head.size, kBlock - head.size);
    head.size += n;
    head.detection = Detect(std::string_view(head.bytes.get(), head.size), n == 0 || head.size == kBlock);
    if (!head.detection.more) return head;
  }
}

}  // namespace

struct Reader::Level {
  std::unique_ptr<Container> container;
  std::string where;
  unsigned depth;
  bool zip;
  bool office = false;  // a zip that holds Office parts: counted as an Office file
};

Reader::Reader(Stream& input, Listener& listener, const Limits& limits)
    : input_(input), listener_(listener), limits_(limits), shared_(new Shared{limits_, Budget(limits_.memory)}) {}

Reader::~Reader() {
  // Texts and containers give their memory back to the budget they hold.
  text_.reset();
  stack_.clear();
}

void Reader::Report(const std::string& where, const Fault& fault) {
  if (fault.kind == Fault::kReadError) {
    read_error_ = fault.error;
    text_.reset();
    stack_.clear();
    return;
  }
  if (fault.kind != Fault::kSkipped) return;
  ++counts_.skipped[static_cast<std::size_t>(fault.reason)];
  listener_.Skipped(where, fault.reason, fault.detail);
}

void Reader::CloseText() {
  if (!text_) return;
  const Fault fault = text_->fault();
  text_.reset();
  Report(text_where_, fault);
}

bool Reader::NextText(std::string& where) {
  CloseText();
  lost_.clear();
  for (;;) {
    if (read_error_ != 0) return false;
    if (!started_) {
      started_ = true;
      Open(std::make_unique<Borrowed>(input_), "", 0, OfficePart::kNone, false);
    } else if (stack_.empty()) {
      return false;
    } else {
      Level& level = stack_.back();
      Member member;
      if (!level.container->Next(member)) {
        const Fault fault = level.container->fault();
        const std::string at = level.where;
        stack_.pop_back();
        Report(at, fault);
        continue;
      }
      ++counts_.members;
      std::string inside = member.name.empty() ? level.where : level.where + "!/" + member.name;
      if (!member.stream) {
        Report(inside, member.skipped);
        continue;
      }
      OfficePart part = level.zip ? OfficePartOf(member.name) : OfficePart::kNone;
      if (part != OfficePart::kNone && !level.office) {
        level.office = true;
        --counts_.decoded[static_cast<std::size_t>(Kind::kZip)];
        ++counts_.decoded[static_cast<std::size_t>(Kind::kOffice)];
      }
      if (part != OfficePart::kNone && !Decodes(Kind::kOffice)) {
        Report(inside, Skip(Reason::kUnsupported, "an Office part, and this tessera was built without expat to read it"));
        continue;
      }
      Open(std::make_unique<Borrowed>(*member.stream), std::move(inside), level.depth, part, member.plain);
    }
    if (text_) {
      where = text_where_;
      return true;
    }
  }
}

void Reader::Open(std::unique_ptr<Stream> stream, std::string where, unsigned depth, OfficePart part, bool plain) {
  if (part != OfficePart::kNone || plain) {
    text_ = plain ? MakePlain(std::move(stream), std::unique_ptr<char[]>(new char[kBlock + kBlockPadding]), 0)
                  : MakeOfficeText(std::move(stream), part, *shared_, lost_);
    text_where_ = std::move(where);
    return;
  }
  for (;;) {
    Head head = Sniff(*stream);
    if (stream->fault().kind == Fault::kReadError || (head.size == 0 && stream->fault()))
      return Report(where, stream->fault());
    Detection& d = head.detection;
    if (stream->as_it_is()) d = Detection{};
    if (d.format == Format::kPlain || d.format == Format::kCompoundFile) {
      if (d.format == Format::kCompoundFile)
        Report(where, Skip(Reason::kUnsupported,
                           "an OLE2 compound file (Office 97-2003, an Outlook message, or an encrypted Office file): "
                           "its text is not decoded; its bytes are scanned as they are"));
      text_ = MakePlain(std::move(stream), std::move(head.bytes), head.size);
      text_where_ = std::move(where);
      return;
    }
    if (d.format == Format::kOtherCompressed || (d.format == Format::kArchive && d.name != "ar" && d.name != "cpio"))
      return Report(where, Skip(Reason::kUnsupported, std::string(d.name) + " data: not opened"));
    const Kind kind = KindOf(d.format);
    if (depth >= limits_.depth)
      return Report(where, Skip(Reason::kTooDeep, std::string(KindName(kind)) + " data nested more than " +
                                                      std::to_string(limits_.depth) + " layers deep: not opened"));
    if (!Decodes(kind))
      return Report(where, Skip(Reason::kUnsupported, std::string(KindName(kind)) + " data, and this tessera was built without " +
                                                          std::string(MissingLibrary(kind)) + " to read it"));
    ++counts_.decoded[static_cast<std::size_t>(kind)];
    auto prefixed = std::make_unique<Prefixed>(std::move(stream), std::move(head.bytes), head.size);
    ++depth;
    switch (d.format) {
      case Format::kGzip:
        stream = MakeGzip(std::move(prefixed), *shared_);
        continue;
      case Format::kBzip2:
        stream = MakeBzip2(std::move(prefixed), *shared_);
        continue;
      case Format::kXz:
        stream = MakeXz(std::move(prefixed), *shared_);
        continue;
      case Format::kZstd:
        stream = MakeZstd(std::move(prefixed), *shared_);
        continue;
      case Format::kPdf:
        // What a PDF inflates to is not looked into again.
        text_ = MakePlain(MakePdf(std::move(prefixed), *shared_), std::unique_ptr<char[]>(new char[kBlock + kBlockPadding]), 0);
        text_where_ = std::move(where);
        return;
      case Format::kUtf16Le:
      case Format::kUtf16Be:
        text_ = MakeUtf16(std::move(prefixed), d.format == Format::kUtf16Be, d.byte_order_mark);
        text_where_ = std::move(where);
        return;
      case Format::kMail:
      case Format::kMbox:
        stack_.push_back({MakeMail(std::move(prefixed), *shared_, d.format == Format::kMbox), std::move(where), depth, false});
        return;
      default:
        stack_.push_back({MakeArchive(std::move(prefixed), *shared_), std::move(where), depth, d.format == Format::kZip});
        return;
    }
  }
}

bool Reader::NextBlock(PaddedText& block) {
  std::string_view text;
  if (!text_ || !text_->Next(text)) return false;
  block = PaddedText(text.data(), text.size());
  return true;
}

std::size_t Reader::Read(char* to, std::size_t size) { return text_ ? text_->Read(to, size) : 0; }

bool Reader::recoded() const { return text_ && text_->recoded(); }

Place Reader::Locate(uint64_t offset, uint64_t line_start) {
  if (!text_) return {offset, offset - line_start + 1};
  return text_->Locate(offset, line_start);
}

}  // namespace tessera::input
