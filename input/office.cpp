// office.cpp -- the text of Office Open XML and OpenDocument parts: markup removed, runs of a paragraph joined
//
// Word splits a paragraph into runs wherever formatting or editing history
// changes (<w:t>4111 1111</w:t></w:r><w:r><w:t>1111 1111</w:t>), so the
// text of runs is joined without a break; a paragraph, a shared string, a
// row ends a line, a cell a field (tab). Only text elements are kept, so the
// indentation of hand-written XML adds nothing. Entities are decoded by the
// XML reader (expat), which also refuses entity-expansion bombs; its memory
// is capped so that no token, however long, takes more than kParserMemory.
//
// Spreadsheets keep numbers in number cells as doubles: a card number
// typed into one keeps 15 significant digits (4.11111111111111E+15). Such
// values are reported as LostDigits, beside the text.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "input/decoders.h"

#if TESSERA_HAVE_EXPAT
#include <expat.h>
#endif

namespace tessera::input {

OfficePart OfficePartOf(std::string_view name) {
  if (!name.ends_with(".xml")) return OfficePart::kNone;
  if (name.starts_with("word/") || name.starts_with("xl/") || name.starts_with("ppt/") || name == "content.xml" ||
      name == "styles.xml")
    return OfficePart::kDocument;
  if (name.starts_with("docProps/") || name == "meta.xml") return OfficePart::kProperties;
  return OfficePart::kNone;
}

#if TESSERA_HAVE_EXPAT

const bool kHaveOffice = true;

namespace {

constexpr std::size_t kParserMemory = std::size_t{4} << 20;
constexpr std::size_t kStoredMost = 64;  // bytes of a number cell's value kept

// The integer a number cell's value stands for when digits of it were
// lost: 16 to 19 digits, of which at most 15 are significant. Else empty.
std::string LostDigitsOf(std::string_view value) {
  std::size_t i = 0;
  if (i < value.size() && value[i] == '+') ++i;
  std::string mantissa;
  int64_t exponent = 0;
  bool digits = false;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i, digits = true) mantissa += value[i];
  if (i < value.size() && value[i] == '.') {
    for (++i; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i, digits = true) {
      mantissa += value[i];
      --exponent;
    }
  }
  if (!digits) return {};
  if (i < value.size() && (value[i] == 'E' || value[i] == 'e')) {
    ++i;
    const bool negative = i < value.size() && value[i] == '-';
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) ++i;
    int64_t e = 0;
    const std::size_t first = i;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9' && e < 1000; ++i) e = e * 10 + (value[i] - '0');
    if (i == first) return {};
    exponent += negative ? -e : e;
  }
  if (i != value.size()) return {};
  mantissa.erase(0, std::min(mantissa.find_first_not_of('0'), mantissa.size()));
  while (!mantissa.empty() && mantissa.back() == '0') {
    mantissa.pop_back();
    ++exponent;
  }
  if (mantissa.empty() || mantissa.size() > 15 || exponent < 0) return {};
  const int64_t length = static_cast<int64_t>(mantissa.size()) + exponent;
  if (length < 16 || length > 19) return {};
  return mantissa + std::string(static_cast<std::size_t>(exponent), '0');
}

// expat's memory, counted per parser: its allocation functions take no
// context, so the parser being called is named in a thread-local first.
thread_local std::size_t* t_parser_memory = nullptr;

struct Allocation {
  std::size_t size;
  alignas(std::max_align_t) unsigned char bytes[1];
};
constexpr std::size_t kAllocationHeader = offsetof(Allocation, bytes);

void* CountedMalloc(std::size_t size) {
  if (t_parser_memory && *t_parser_memory + size > kParserMemory) return nullptr;
  auto* a = static_cast<Allocation*>(std::malloc(kAllocationHeader + size));
  if (!a) return nullptr;
  a->size = size;
  if (t_parser_memory) *t_parser_memory += size;
  return a->bytes;
}

void CountedFree(void* p) {
  if (!p) return;
  auto* a = reinterpret_cast<Allocation*>(static_cast<unsigned char*>(p) - kAllocationHeader);
  if (t_parser_memory) *t_parser_memory -= std::min(*t_parser_memory, a->size);
  std::free(a);
}

void* CountedRealloc(void* p, std::size_t size) {
  if (!p) return CountedMalloc(size);
  auto* a = reinterpret_cast<Allocation*>(static_cast<unsigned char*>(p) - kAllocationHeader);
  const std::size_t old = a->size;
  if (t_parser_memory && size > old && *t_parser_memory + (size - old) > kParserMemory) return nullptr;
  auto* b = static_cast<Allocation*>(std::realloc(a, kAllocationHeader + size));
  if (!b) return nullptr;
  b->size = size;
  if (t_parser_memory) *t_parser_memory = *t_parser_memory - std::min(*t_parser_memory, old) + size;
  return b->bytes;
}

const XML_Memory_Handling_Suite kCountedMemory = {CountedMalloc, CountedRealloc, CountedFree};

// Names the parser whose memory the calls inside count.
class MemoryScope {
 public:
  explicit MemoryScope(std::size_t& memory) : saved_(t_parser_memory) { t_parser_memory = &memory; }
  ~MemoryScope() { t_parser_memory = saved_; }
  MemoryScope(const MemoryScope&) = delete;
  MemoryScope& operator=(const MemoryScope&) = delete;

 private:
  std::size_t* saved_;
};

constexpr char kNamespaceSeparator = '\x01';
constexpr std::string_view kOpenDocumentText = "urn:oasis:names:tc:opendocument:xmlns:text:1.0";
constexpr std::string_view kOpenDocumentTable = "urn:oasis:names:tc:opendocument:xmlns:table:1.0";
constexpr std::string_view kOpenDocumentOffice = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";

struct Name {
  std::string_view space, local;
};

Name Split(const XML_Char* name) {
  const std::string_view whole(name);
  const std::size_t at = whole.rfind(kNamespaceSeparator);
  if (at == std::string_view::npos) return {{}, whole};
  return {whole.substr(0, at), whole.substr(at + 1)};
}

const XML_Char* Attribute(const XML_Char** attributes, std::string_view space, std::string_view local) {
  for (const XML_Char** a = attributes; *a; a += 2) {
    const Name n = Split(a[0]);
    if (n.local == local && n.space == space) return a[1];
  }
  return nullptr;
}

class OfficeText final : public TextSource {
 public:
  OfficeText(std::unique_ptr<Stream> source, OfficePart part, Shared& shared, std::vector<LostDigits>& lost)
      : source_(std::move(source)), part_(part), lost_(lost), block_(new char[kBlock + kBlockPadding]) {
    if (!reserved_.Take(shared.budget, kParserMemory)) return;
    MemoryScope scope(memory_);
    const XML_Char separator[] = {kNamespaceSeparator, '\0'};
    parser_ = XML_ParserCreate_MM(nullptr, &kCountedMemory, separator);
    if (!parser_) return;
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, Start, End);
    XML_SetCharacterDataHandler(parser_, Characters);
  }
  ~OfficeText() override {
    MemoryScope scope(memory_);
    if (parser_) XML_ParserFree(parser_);
  }

  bool Next(std::string_view& block) override {
    MemoryScope scope(memory_);
    while (pending_.size() < kBlock && !done_) Parse();
    if (pending_.empty()) return false;
    const std::size_t n = std::min(kBlock, pending_.size());
    std::memcpy(block_.get(), pending_.data(), n);
    std::memset(block_.get() + n, 0, kBlockPadding);
    pending_.erase(0, n);
    block = std::string_view(block_.get(), n);
    return true;
  }

  const Fault& fault() const override { return fault_ ? fault_ : source_->fault(); }

 private:
  void Fail(Reason reason, std::string detail) {
    if (!fault_) fault_ = Fault{Fault::kSkipped, 0, reason, std::move(detail)};
    done_ = true;
  }

  // Feeds the parser until it has text, the input ends or it fails.
  void Parse() {
    if (!parser_) return Fail(Reason::kTooLarge, "no memory left within the limit for the XML reader");
    XML_Status status;
    if (suspended_) {
      suspended_ = false;
      status = XML_ResumeParser(parser_);
    } else {
      void* buffer = XML_GetBuffer(parser_, static_cast<int>(kChunk));
      if (!buffer) return Fail(Reason::kTooLarge, "an XML token longer than the reader's memory limit");
      const std::size_t n = source_->Read(static_cast<char*>(buffer), kChunk);
      if (n == 0 && source_->fault()) {
        done_ = true;
        return;
      }
      final_ = n == 0;
      status = XML_ParseBuffer(parser_, static_cast<int>(n), final_);
    }
    if (status == XML_STATUS_OK && final_) {
      done_ = true;
    } else if (status == XML_STATUS_SUSPENDED) {
      suspended_ = true;
    } else if (status == XML_STATUS_ERROR) {
      const XML_Error error = XML_GetErrorCode(parser_);
      if (error == XML_ERROR_NO_MEMORY) return Fail(Reason::kTooLarge, "an XML token longer than the reader's memory limit");
      if (error == XML_ERROR_AMPLIFICATION_LIMIT_BREACH)
        return Fail(Reason::kTooLarge, "XML entities that expand too much: an entity bomb");
      Fail(Reason::kDamaged, "damaged XML (line " + std::to_string(XML_GetCurrentLineNumber(parser_)) + ": " +
                                 XML_ErrorString(error) + ")");
    }
  }

  void Emit(std::string_view text) {
    if (text.empty()) return;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', at + 1)) {
      ++lines_;
      line_start_ = emitted_ + at + 1;
    }
    emitted_ += text.size();
    pending_.append(text);
    // A block's worth: the parser stops where it is, and resumes for the next.
    if (pending_.size() >= kBlock) XML_StopParser(parser_, XML_TRUE);
  }

  void NoteNumber(std::string_view value, uint64_t offset, uint64_t line, uint64_t line_start) {
    std::string digits = LostDigitsOf(value);
    if (digits.empty()) return;
    lost_.push_back({offset, line + 1, offset - line_start + 1, std::string(value.substr(0, kStoredMost)), std::move(digits)});
  }

  void OnStart(const XML_Char* element, const XML_Char** attributes) {
    const Name n = Split(element);
    if (part_ == OfficePart::kProperties) return;
    if (n.space == kOpenDocumentText) {
      if (n.local == "p" || n.local == "h") ++capture_;
      else if (n.local == "tab") Emit("\t");
      else if (n.local == "line-break") Emit("\n");
      else if (n.local == "s") {
        const XML_Char* c = Attribute(attributes, kOpenDocumentText, "c");
        Emit(std::string(std::min<std::size_t>(c ? std::strtoul(c, nullptr, 10) : 1, 64), ' '));
      }
      return;
    }
    if (n.space == kOpenDocumentTable) {
      if (n.local == "table-cell") {
        const XML_Char* type = Attribute(attributes, kOpenDocumentOffice, "value-type");
        const XML_Char* value = Attribute(attributes, kOpenDocumentOffice, "value");
        if (type && value && std::string_view(type) != "string") NoteNumber(value, emitted_, lines_, line_start_);
      }
      return;
    }
    if (n.local == "t" || n.local == "delText") {
      ++capture_;
    } else if (n.local == "c") {
      const XML_Char* type = Attribute(attributes, {}, "t");
      cell_type_ = type ? type : "";
    } else if (n.local == "v") {
      // A shared string's number is no text; the string is in sharedStrings.xml.
      if (cell_type_ != "s") {
        ++capture_;
        in_number_ = cell_type_.empty() || cell_type_ == "n";
        number_.clear();
        number_at_ = emitted_, number_line_ = lines_, number_line_start_ = line_start_;
      }
    } else if (n.local == "tab") {
      Emit("\t");
    } else if (n.local == "br" || n.local == "cr") {
      Emit("\n");
    } else if ((n.local == "n" || n.local == "s") && !n.space.empty()) {
      // The cached records of a pivot table: values in attributes.
      if (const XML_Char* v = Attribute(attributes, {}, "v")) {
        if (n.local == "n") NoteNumber(v, emitted_, lines_, line_start_);
        Emit(v);
        Emit("\t");
      }
    }
  }

  void OnEnd(const XML_Char* element) {
    const Name n = Split(element);
    if (part_ == OfficePart::kProperties) return Emit("\n");
    if (n.space == kOpenDocumentText) {
      if (n.local == "p" || n.local == "h") {
        capture_ = capture_ > 0 ? capture_ - 1 : 0;
        Emit("\n");
      }
      return;
    }
    if (n.space == kOpenDocumentTable) {
      if (n.local == "table-cell") Emit("\t");
      else if (n.local == "table-row") Emit("\n");
      return;
    }
    if (n.local == "t" || n.local == "delText") {
      capture_ = capture_ > 0 ? capture_ - 1 : 0;
    } else if (n.local == "v") {
      if (cell_type_ != "s") capture_ = capture_ > 0 ? capture_ - 1 : 0;
      if (in_number_) NoteNumber(number_, number_at_, number_line_, number_line_start_);
      in_number_ = false;
    } else if (n.local == "p" || n.local == "si" || n.local == "row") {
      Emit("\n");
    } else if (n.local == "c") {
      Emit("\t");
      cell_type_.clear();
    }
  }

  void OnCharacters(std::string_view text) {
    if (capture_ == 0 && part_ != OfficePart::kProperties) return;
    if (in_number_ && number_.size() < kStoredMost) number_.append(text.substr(0, kStoredMost - number_.size()));
    Emit(text);
  }

  static void XMLCALL Start(void* self, const XML_Char* element, const XML_Char** attributes) {
    static_cast<OfficeText*>(self)->OnStart(element, attributes);
  }
  static void XMLCALL End(void* self, const XML_Char* element) { static_cast<OfficeText*>(self)->OnEnd(element); }
  static void XMLCALL Characters(void* self, const XML_Char* text, int size) {
    static_cast<OfficeText*>(self)->OnCharacters(std::string_view(text, static_cast<std::size_t>(size)));
  }

  std::unique_ptr<Stream> source_;
  OfficePart part_;
  std::vector<LostDigits>& lost_;
  std::unique_ptr<char[]> block_;
  Reservation reserved_;
  std::size_t memory_ = 0;
  XML_Parser parser_ = nullptr;
  Fault fault_;
  bool suspended_ = false;
  bool final_ = false;  // the parser was given the end of the input
  bool done_ = false;
  std::string pending_;  // text not handed out yet

  int capture_ = 0;        // inside text elements
  std::string cell_type_;  // of the spreadsheet cell being read
  bool in_number_ = false;
  std::string number_;
  uint64_t number_at_ = 0, number_line_ = 0, number_line_start_ = 0;
  uint64_t emitted_ = 0;     // bytes of text so far
  uint64_t lines_ = 0;       // line feeds among them
  uint64_t line_start_ = 0;  // offset after the last
};

}  // namespace

std::unique_ptr<TextSource> MakeOfficeText(std::unique_ptr<Stream> source, OfficePart part, Shared& shared,
                                           std::vector<LostDigits>& lost) {
  return std::make_unique<OfficeText>(std::move(source), part, shared, lost);
}

#else

const bool kHaveOffice = false;

std::unique_ptr<TextSource> MakeOfficeText(std::unique_ptr<Stream>, OfficePart, Shared&, std::vector<LostDigits>&) {
  return nullptr;
}

#endif

}  // namespace tessera::input
