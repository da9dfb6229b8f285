// check.cpp -- the card and id commands: records in, one verdict of the core per record, a format out
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/checks.h"
#include "input/input.h"
#include "tool/cat.h"
#include "tool/command.h"
#include "tool/format.h"
#include "tool/format_csv.h"
#include "tool/format_json.h"
#include "tool/format_text.h"
#include "tool/format_tsv.h"
#include "tool/handle_stream.h"
#include "tool/records.h"
#include "tool/status.h"
#include "tool/writer.h"

namespace tessera::tool {
namespace {

enum class Kind { kCard, kId };
enum class Show { kAll, kValid, kInvalid };

struct Source {
  enum Type { kNumber, kStandardInput, kFile } type;
  std::string text;  // the number, or the path
};

// A column as given: a number counted from 1, or a name of the header.
struct ColumnChoice {
  std::string given;
  std::optional<std::size_t> index;  // from 0, when given as a number

  std::string Shown() const { return index ? given : Quoted(given); }
};

struct Settings {
  Kind kind = Kind::kCard;
  std::vector<Source> sources;
  bool sources_given = false;
  RecordLayout layout;
  ColumnChoice column{"1", 0};
  std::vector<ColumnChoice> kept;
  bool named_columns = false;  // some column is given by name
  std::string format = "text";
  FormatOptions format_options;
  Show show = Show::kAll;
  bool quiet = false;
  bool summary = false;
  bool mask = false;
  bool strip = false;
  BrandTable brands = BrandTable::Seed;
  std::optional<Date> today;
};

constexpr bool IsLeapYear(int32_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// YYYY-MM-DD, digits only, a day of the years 1 to 9999.
std::optional<Date> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  auto number = [&](std::size_t at, std::size_t width) -> std::optional<int32_t> {
    int32_t value = 0;
    for (std::size_t i = at; i < at + width; ++i) {
      if (text[i] < '0' || text[i] > '9') return std::nullopt;
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  const auto year = number(0, 4), month = number(5, 2), day = number(8, 2);
  if (!year || !month || !day || *year < 1 || *month < 1 || *month > 12 || *day < 1) return std::nullopt;
  constexpr int32_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (*day > kDays[*month - 1] + (*month == 2 && IsLeapYear(*year) ? 1 : 0)) return std::nullopt;
  return Date{*year, *month, *day};
}

// The error in `value` as a column of `flag`, if any.
std::optional<std::string> ParseColumn(std::string_view flag, const std::string& value, ColumnChoice& column) {
  std::size_t n = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
  column = {value, std::nullopt};
  if (!value.empty() && error == std::errc() && end == value.data() + value.size()) {
    if (n == 0) return Cat(flag, " counts from 1");
    column.index = n - 1;
  } else if (error == std::errc::result_out_of_range) {
    return Cat(flag, " ", Escaped(value), " is too large");
  }
  return std::nullopt;
}

// Returns kAllValid, or the status of a usage error already reported.
int Configure(const Invocation& inv, Kind kind, Settings& s) {
  const CommandDoc* command = &inv.command;
  s.kind = kind;
  s.format_options.id = kind == Kind::kId;
  bool csv = false, tsv = false, delimiter_given = false, header = false, no_header = false, column_given = false;
  for (const Argument& a : inv.args.in_order) {
    if (a.flag == nullptr) {
      s.sources.push_back({a.value == "-" ? Source::kStandardInput : Source::kNumber, a.value});
      s.sources_given = true;
      continue;
    }
    switch (a.flag->id) {
      case kFileFlag:
        s.sources.push_back({a.value == "-" ? Source::kStandardInput : Source::kFile, a.value});
        s.sources_given = true;
        break;
      case kCsvFlag: csv = true; break;
      case kTsvFlag: tsv = true; break;
      case kDelimiterFlag: {
        const std::string& d = a.value;
        const char c = d == "\\t" || d == "tab" ? '\t' : d.size() == 1 ? d[0] : '\0';
        if (c == '\0' || c == '"' || c == '\n' || c == '\r')
          return UsageError(command, Cat("--delimiter wants one character other than a quote or a line break, not ", Quoted(d)));
        s.layout.delimiter = c;
        delimiter_given = true;
        break;
      }
      case kColumnFlag:
        if (column_given)
          return UsageError(command, Cat("--column is given twice, ", Quoted(s.column.given), " and ", Quoted(a.value),
                                         ": one field is checked"));
        column_given = true;
        if (auto error = ParseColumn("--column", a.value, s.column)) return UsageError(command, *error);
        csv = true;
        break;
      case kKeepFlag: {
        ColumnChoice kept;
        if (auto error = ParseColumn("--keep", a.value, kept)) return UsageError(command, *error);
        if (std::ranges::find(s.kept, a.value, &ColumnChoice::given) != s.kept.end())
          return UsageError(command, Cat("--keep ", Quoted(a.value), " is given twice"));
        s.kept.push_back(kept);
        s.format_options.kept.push_back(a.value);
        csv = true;
        break;
      }
      case kHeaderFlag: header = true; break;
      case kNoHeaderFlag: no_header = true; break;
      case kStripFlag: s.strip = true; break;
      case kBrandsFlag:
        if (a.value == "seed") s.brands = BrandTable::Seed;
        else if (a.value == "current") s.brands = BrandTable::Current;
        else return UsageError(command, Cat("unknown brand table ", Quoted(a.value), ": use seed or current"));
        s.format_options.brands = s.brands;
        break;
      case kTodayFlag:
        s.today = ParseDate(a.value);
        if (!s.today)
          return UsageError(command, Cat("--today wants a day YYYY-MM-DD of the years 1 to 9999, not ", Quoted(a.value)));
        break;
      case kCheckFormatFlag:
        if (a.value != "text" && a.value != "tsv" && a.value != "csv" && a.value != "json")
          return UsageError(command, Cat("unknown format ", Quoted(a.value), ": use text, tsv, csv or json"));
        s.format = a.value;
        break;
      case kHeaderRowFlag: s.format_options.header_row = true; break;
      case kLineNumberFlag: s.format_options.line_numbers = true; break;
      case kInvalidFlag:
      case kValidFlag: {
        const Show wanted = a.flag->id == kValidFlag ? Show::kValid : Show::kInvalid;
        if (s.show != Show::kAll && s.show != wanted) return UsageError(command, "--valid and --invalid exclude each other");
        s.show = wanted;
        break;
      }
      case kQuietFlag: s.quiet = true; break;
      case kSummaryFlag: s.summary = true; break;
      case kMaskFlag: s.mask = true; break;
      default: break;
    }
  }
  if (s.format_options.header_row && s.format != "tsv" && s.format != "csv")
    return UsageError(command, "--header-row is for --format tsv or csv");
  if (s.format == "csv") s.format_options.header_row = true;
  if (!s.kept.empty() && s.format == "text") return UsageError(command, "--keep is for --format tsv, csv or json");
  if (header && no_header) return UsageError(command, "--header and --no-header exclude each other");
  s.layout.csv = csv || tsv || delimiter_given;
  if (tsv && !delimiter_given) s.layout.delimiter = '\t';
  // CSV has a header unless told otherwise, as csvkit has it; lines have none.
  s.layout.header = s.layout.csv ? !no_header : header;
  auto by_name = [&](std::string_view flag, const ColumnChoice& c) -> int {
    if (c.index) return kAllValid;
    s.named_columns = true;
    if (!no_header) return kAllValid;
    return UsageError(command, Cat(flag, " ", Quoted(c.given), " is a name of the header, and --no-header says there is none"));
  };
  if (const int status = by_name("--column", s.column); status != kAllValid) return status;
  s.layout.columns.check = s.column.index.value_or(0);
  for (const ColumnChoice& kept : s.kept) {
    if (kept.given == s.column.given || (kept.index && kept.index == s.column.index))
      return UsageError(command, Cat("--keep ", Quoted(kept.given), " is the column checked"));
    if (const int status = by_name("--keep", kept); status != kAllValid) return status;
    s.layout.columns.kept.push_back(kept.index.value_or(0));
  }
  if (s.sources.empty()) s.sources.push_back({Source::kStandardInput, "-"});
  return kAllValid;
}

// The number of records of each kind, for --summary.
struct Counts {
  uint64_t records = 0;
  std::array<uint64_t, 3> verdicts{};  // by Verdict
  std::array<uint64_t, kBrandKinds> brands{};
  uint64_t checksum_fails = 0;
  uint64_t wrong_check_digits = 0;
  uint64_t expired = 0;
};

constexpr std::size_t kShownHead = 32;  // bytes shown of a field too long to hold

// "4.11111E+15", as a spreadsheet shows a long number it took for one: a
// mantissa, an exponent mark, and an exponent of at most three digits.
bool IsScientific(Text text) {
  std::size_t i = 0;
  auto digits = [&](std::size_t most) {
    const std::size_t from = i;
    while (i < text.size() && i - from < most && IsDigit(text[i])) ++i;
    return i > from;
  };
  if (!digits(text.size())) return false;
  if (i < text.size() && (text[i] == '.' || text[i] == ',') && (++i, !digits(text.size()))) return false;
  if (i == text.size() || (text[i] != 'E' && text[i] != 'e')) return false;
  ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  return digits(3) && i == text.size();
}

[[gnu::noinline]] Hint HintOfUnusualText(Text judged) {
  const std::size_t first = judged.find_first_not_of(" \t");
  if (first == Text::npos) return Hint::kNone;
  const std::size_t last = judged.find_last_not_of(" \t");
  const Text trimmed = judged.substr(first, last + 1 - first);
  if (IsScientific(trimmed)) return Hint::kScientific;
  return trimmed.size() < judged.size() ? Hint::kBlanks : Hint::kNone;
}

// What the text of an invalid number says about why, as it was judged.
TESSERA_INLINE Hint HintFor(Text judged) {
  // Most invalid numbers are digits only: their ends tell at a look (an
  // exponent mark stands two to five bytes from the end).
  const std::size_t n = judged.size();
  auto at = [&](std::size_t back) { return n > back ? judged[n - 1 - back] : '0'; };
  const bool blank = n > 0 && (IsBlankByte(judged[0]) || IsBlankByte(at(0)));
  int marks = 0;
  for (std::size_t back = 1; back <= 4; ++back) marks += (at(back) | 0x20) == 'e' ? 1 : 0;
  return blank || marks > 0 ? HintOfUnusualText(judged) : Hint::kNone;
}

template <class Format>
class Checker {
 public:
  Checker(const Settings& s, Writer& out)
      : s_(s), out_(out), format_(out, s.format_options), today_(s.today.value_or(Date{0, 0, 0})),
        scratch_(s.mask || s.strip ? new char[2 * kReadBlock + kPadding]() : nullptr),
        plain_cards_(s.kind == Kind::kCard && !s.strip && !s.mask && !s.summary && !s.quiet),
        seed_(s.brands == BrandTable::Seed),
        shows_card_{Shows(Verdict::kInvalid), Shows(Verdict::kValid)}, kept_(s.kept.size()) {
    choices_.push_back(&s.column);
    for (const ColumnChoice& kept : s.kept) choices_.push_back(&kept);
    card_.where.kept = kept_;
    if (!s.quiet) format_.Begin();
  }

  // False when the clock cannot be read and no --today was given.
  bool ReadClock() {
    if (s_.today || s_.kind != Kind::kId) return true;
    const auto now = std::chrono::steady_clock::now();
    if (clock_read_ && now - last_clock_read_ < std::chrono::seconds(1)) return true;
    const std::optional<Date> today = LocalToday();
    if (!today) return false;
    today_ = *today;
    clock_read_ = true;
    last_clock_read_ = now;
    return true;
  }

  // Records are counted from `records_before` + 1.
  void StartInput(const InputName* name, uint64_t records_before = 0) {
    input_ = name;
    card_.where.input = name;
    record_ = records_before;
    header_ = HeaderSeen(choices_.size());
  }

  // The header streams by: the names wanted are looked for as it passes,
  // and only the first few names are kept, for the message that one is
  // not there.
  void HeaderField(Text name, bool whole) {
    const std::size_t index = header_.fields++;
    if (!s_.named_columns) return;
    for (std::size_t i = 0; i < choices_.size(); ++i) {
      if (choices_[i]->index || !whole || name != choices_[i]->given) continue;
      if (header_.matches[i]++ == 0) header_.first[i] = index;
    }
    if (index < kHeaderNamesShown) header_.names += Cat(index == 0 ? "" : ", ", ShownName(name, whole));
  }

  std::optional<Columns> HeaderEnd(std::size_t fields) {
    const HeaderSeen seen = std::exchange(header_, HeaderSeen(choices_.size()));
    Columns columns;
    for (std::size_t i = 0; i < choices_.size(); ++i) {
      const ColumnChoice& c = *choices_[i];
      std::size_t field = 0;
      if (c.index) {
        field = *c.index;
        if (field >= fields) {
          Complain(Cat(input_->text, ": column ", c.given, " is invalid: the header has ", std::to_string(fields),
                       fields == 1 ? " field" : " fields"));
          return std::nullopt;
        }
      } else if (seen.matches[i] == 0) {
        const std::string more = fields > kHeaderNamesShown ? Cat(" and ", std::to_string(fields - kHeaderNamesShown), " more") : "";
        Complain(Cat(input_->text, ": no column ", Quoted(c.given), " in the header (", seen.names, more, ")"));
        return std::nullopt;
      } else {
        field = seen.first[i];
        if (seen.matches[i] > 1) {
          Complain(Cat(input_->text, ": the header names ", Quoted(c.given), " ", std::to_string(seen.matches[i]),
                       " times: the first, field ", std::to_string(field + 1), i == 0 ? ", is checked" : ", is kept"));
        }
      }
      if (i == 0) {
        columns.check = field;
      } else if (field == columns.check) {
        Complain(Cat(input_->text, ": --keep ", c.Shown(), " is the column checked"));
        return std::nullopt;
      } else {
        columns.kept.push_back(field);
      }
    }
    return columns;
  }

  void Kept(std::size_t slot, Text value, bool whole) {
    KeptField& field = kept_[slot];
    if (whole) {
      field.bytes.assign(value);
      field.size = value.size();
      field.shortened = false;
    } else {
      // Longer than the buffer: shown by its first bytes and its length, as a number is.
      if (!field.present) field.bytes.clear(), field.size = 0, field.shortened = true;
      field.bytes.append(value.substr(0, kShownHead - std::min(kShownHead, field.bytes.size())));
      field.size += value.size();
    }
    field.present = true;
  }

  void Piece(Text piece) {
    if (stream_size_ == 0) blank_so_far_ = true;
    stream_size_ += piece.size();
    if (blank_so_far_) blank_so_far_ = piece.find_first_not_of(" \t") == Text::npos;
    const std::size_t head_room = kShownHead - std::min(kShownHead, head_size_);
    const std::size_t n = std::min(head_room, piece.size());
    std::memcpy(head_.data() + head_size_, piece.data(), n);
    head_size_ += n;
    if (s_.kind == Kind::kId || !s_.strip) {
      if (!piece.empty()) stream_last_ = piece.back();
      if (s_.kind == Kind::kCard) luhn_.Add(piece);
      return;
    }
    // Only the characters that remain after --strip count.
    for (std::size_t at = 0; at < piece.size();) {
      const std::size_t next = std::min(piece.find_first_of(" -", at), piece.size());
      const Text kept = piece.substr(at, next - at);
      luhn_.Add(kept);
      if (!kept.empty()) stream_last_ = kept.back();
      const std::size_t m = std::min(stripped_head_.size() - stripped_head_size_, kept.size());
      std::memcpy(stripped_head_.data() + stripped_head_size_, kept.data(), m);
      stripped_head_size_ += m;
      at = next + 1;
    }
  }

  TESSERA_INLINE bool Record(const Field& field) {
    const uint64_t record = ++record_;
    if (!kept_.empty()) [[unlikely]] return KeptRecord(field, record);
    if (s_.kind == Kind::kCard && field.kind == Field::kWhole && !IsBlank(field.value)) [[likely]]
      return WholeCard(field.value, field.line, record);
    return OtherRecord(field, record);
  }

  // Lines judged first and shown after: the judgments are independent, so
  // the processor overlaps them.
  bool Records(const PaddedText* values, const uint64_t* lines, std::size_t n) {
    if (s_.kind != Kind::kCard || s_.strip) {
      for (std::size_t i = 0; i < n; ++i)
        if (!Record({values[i], lines[i], values[i].size(), Field::kWhole})) return false;
      return true;
    }
    const uint64_t first = record_ + 1;
    record_ += n;
    std::array<CardVerdict, kRecordBatch> verdicts;
    if (seed_) {
      JudgeCardsPadded(values, n, verdicts.data());
    } else {
      JudgeCardsPadded(values, n, verdicts.data(), s_.brands);
    }
    if (s_.quiet && !s_.summary) {
      // Only whether some record is invalid matters, and the first one ends the run.
      for (std::size_t i = 0; i < n; ++i) {
        if (!verdicts[i].valid() && !IsBlank(values[i])) {
          any_invalid_ = true;
          return false;
        }
      }
      return true;
    }
    if constexpr (kHasShortPlainCards) {
      if (plain_cards_) return ShowPlainCards(values, lines, first, verdicts.data(), n);
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (IsBlank(values[i])) [[unlikely]] {
        if (!OtherRecord({values[i], lines[i], values[i].size(), Field::kWhole}, first + i)) return false;
      } else if (!ShowCard(values[i], lines[i], first + i, verdicts[i])) {
        return false;
      }
    }
    return true;
  }

  // The batch as most runs have it: numbers shown as they are, nothing
  // counted, most of them written straight from the buffer.
  bool ShowPlainCards(const PaddedText* values, const uint64_t* lines, uint64_t first, const CardVerdict* verdicts, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const CardVerdict card = verdicts[i];
      if (IsBlank(values[i])) [[unlikely]] {
        if (!OtherRecord({values[i], lines[i], values[i].size(), Field::kWhole}, first + i)) return false;
        continue;
      }
      any_invalid_ |= !card.valid();
      if (!shows_card_[card.valid()]) continue;
      if ((card.valid() || HintFor(values[i]) == Hint::kNone) && format_.ShortPlainCard(values[i], card)) continue;
      if (!ShowCard(values[i], lines[i], first + i, card)) return false;
    }
    return true;
  }

  // The common record, kept apart so that it compiles to straight code.
  TESSERA_INLINE bool WholeCard(PaddedText value, uint64_t line, uint64_t record) {
    const PaddedText number = s_.strip ? Stripped(value) : value;
    return ShowCard(value, line, record, seed_ ? JudgeCardPadded(number) : JudgeCardPadded(number, s_.brands));
  }

  // The record is filled in member by member (and read back so).
  TESSERA_INLINE bool ShowCard(Text value, uint64_t line, uint64_t record, const CardVerdict card) {
    const Verdict verdict = card.valid() ? Verdict::kValid : Verdict::kInvalid;
    Count(verdict, card, IdVerdict{false, false, 0});
    if (!Shows(verdict)) return !(s_.quiet && verdict == Verdict::kInvalid && !s_.summary);
    card_.hint = card.valid() ? Hint::kNone : HintFor(s_.strip ? Stripped(value) : value);
    if (s_.mask) {
      MaskCardNumber(value, scratch_.get());
      value = Text(scratch_.get(), value.size());
    }
    card_.where.line = line;
    card_.where.record = record;
    card_.number.bytes = value;
    card_.number.size = value.size();
    card_.number.shortened = false;
    card_.verdict = verdict;
    card_.card = card;
    format_.Card(card_);
    return true;
  }

  [[gnu::noinline]] bool OtherRecord(const Field& field, uint64_t record) {
    Verdict verdict = Verdict::kEmpty;
    CardVerdict card{Brand::None, false};
    IdVerdict id{false, false, 0};
    Shown shown{field.value, field.size, false};
    Hint hint = Hint::kNone;
    if (field.kind == Field::kStreamed) {
      shown = {s_.mask ? Text() : Text(head_.data(), head_size_), field.size, true};
      if (!blank_so_far_) {
        const Text judged_head = s_.kind == Kind::kCard && s_.strip ? Text(stripped_head_.data(), stripped_head_size_)
                                                                    : Text(head_.data(), head_size_);
        if (s_.kind == Kind::kCard) {
          card = JudgeCardStream(judged_head, luhn_, s_.brands);
        } else {
          id = JudgeIdStream(judged_head, field.size, today_);
        }
        verdict = Valid(card, id);
        if (verdict == Verdict::kInvalid && !judged_head.empty() && (IsBlankByte(judged_head[0]) || IsBlankByte(stream_last_)))
          hint = Hint::kBlanks;
      }
      ResetStream();
    } else if (field.kind == Field::kWhole && !IsBlank(field.value)) {
      const PaddedText judged = s_.kind == Kind::kCard && s_.strip ? Stripped(field.value) : field.value;
      if (s_.kind == Kind::kCard) {
        card = JudgeCardPadded(judged, s_.brands);
        if (s_.mask) {
          MaskCardNumber(field.value, scratch_.get());
          shown.bytes = Text(scratch_.get(), field.value.size());
        }
      } else {
        id = JudgeId(judged, today_);
      }
      verdict = Valid(card, id);
      if (verdict == Verdict::kInvalid) hint = HintFor(judged);
    }
    Count(verdict, card, id);
    if (!Shows(verdict)) return !(s_.quiet && verdict == Verdict::kInvalid && !s_.summary);
    const Where where{input_, field.line, record, kept_};
    if (s_.kind == Kind::kCard) {
      format_.Card({where, shown, verdict, card, hint});
    } else {
      format_.Id({where, shown, verdict, id, hint});
    }
    return true;
  }

  // A record with fields carried along; they are forgotten after it.
  [[gnu::noinline]] bool KeptRecord(const Field& field, uint64_t record) {
    const bool go_on = s_.kind == Kind::kCard && field.kind == Field::kWhole && !IsBlank(field.value)
                           ? WholeCard(field.value, field.line, record)
                           : OtherRecord(field, record);
    for (KeptField& kept : kept_) kept.present = false, kept.bytes.clear();
    return go_on;
  }

  void BeforeRead() { out_.Flush(); }
  void AfterRead() { ReadClock(); }

  bool any_invalid() const { return any_invalid_; }
  const Counts& counts() const { return counts_; }

 private:
  bool Shows(Verdict verdict) const {
    switch (s_.show) {
      case Show::kAll: return !s_.quiet;
      case Show::kValid: return !s_.quiet && verdict == Verdict::kValid;
      case Show::kInvalid: return !s_.quiet && verdict == Verdict::kInvalid;
    }
    return false;
  }

  Verdict Valid(const CardVerdict& card, const IdVerdict& id) const {
    const bool valid = s_.kind == Kind::kCard ? card.valid() : id.valid();
    return valid ? Verdict::kValid : Verdict::kInvalid;
  }

  // Without spaces and dashes, in the padded scratch buffer.
  PaddedText Stripped(Text value) {
    char* out = scratch_.get() + kReadBlock;
    std::size_t n = 0;
    for (char c : value)
      if (c != ' ' && c != '-') out[n++] = c;
    return PaddedText(out, n);
  }

  void Count(Verdict verdict, const CardVerdict& card, const IdVerdict& id) {
    any_invalid_ |= verdict == Verdict::kInvalid;
    if (!s_.summary) return;
    ++counts_.records;
    ++counts_.verdicts[static_cast<std::size_t>(verdict)];
    if (verdict == Verdict::kEmpty) return;
    if (s_.kind == Kind::kCard) {
      ++counts_.brands[static_cast<std::size_t>(card.brand)];
      counts_.checksum_fails += card.checksum ? 0 : 1;
    } else {
      counts_.wrong_check_digits += id.check_digits ? 0 : 1;
      counts_.expired += id.check_digits && !id.unexpired ? 1 : 0;
    }
  }

  void ResetStream() {
    luhn_ = LuhnStream();
    stream_size_ = head_size_ = stripped_head_size_ = 0;
    blank_so_far_ = true;
    stream_last_ = 0;
  }

  // A header name as messages show it: masked as a card number would be,
  // for the header may be a record of numbers, and cut short.
  static std::string ShownName(Text name, bool whole) {
    const std::string masked = MaskedCardNumber(name.substr(0, kShownHead));
    return name.size() > kShownHead || !whole ? Cat("'", Escaped(masked), "...'") : Quoted(masked);
  }

  static constexpr bool kHasShortPlainCards = requires(Format& f, Text number, CardVerdict card) {
    f.ShortPlainCard(number, card);
  };

  const Settings& s_;
  Writer& out_;
  Format format_;
  Date today_;
  bool clock_read_ = false;
  std::chrono::steady_clock::time_point last_clock_read_{};
  const InputName* input_ = nullptr;
  uint64_t record_ = 0;  // records of the input so far
  std::unique_ptr<char[]> scratch_;  // masked and stripped copies, padded like the read buffer; for --mask and --strip only
  Counts counts_;
  bool any_invalid_ = false;
  const bool plain_cards_;               // ShowPlainCards serves
  const bool seed_;                      // the seed's brand table: the batch lookups
  const std::array<bool, 2> shows_card_;  // by CardVerdict::valid()
  CardRecord card_{};
  std::vector<KeptField> kept_;  // by slot, of the record in progress

  // The columns wanted, the checked one first, and what the header of the
  // input being read has shown of them.
  std::vector<const ColumnChoice*> choices_;
  struct HeaderSeen {
    explicit HeaderSeen(std::size_t choices) : matches(choices), first(choices) {}
    std::size_t fields = 0;
    std::vector<uint64_t> matches;   // by choice
    std::vector<std::size_t> first;  // the first field of each
    std::string names;               // the first few, as shown
  };
  static constexpr std::size_t kHeaderNamesShown = 8;
  HeaderSeen header_{0};

  // A field streaming past.
  LuhnStream luhn_;
  uint64_t stream_size_ = 0;
  bool blank_so_far_ = true;
  std::array<char, kShownHead> head_{};
  std::size_t head_size_ = 0;
  std::array<char, LongestCard(BrandTable::Current) + 1> stripped_head_{};
  std::size_t stripped_head_size_ = 0;
  char stream_last_ = 0;  // the last byte judged
};

// The texts of the input layer as the bytes records are read from.
class TextBytes final : public ByteSource {
 public:
  explicit TextBytes(input::Reader& reader) : reader_(reader) {}
  sys::Transfer Read(char* to, std::size_t size) override { return {reader_.Read(to, size), 0}; }

 private:
  input::Reader& reader_;
};

// What the input layer could not see into: records that were not read.
class Unseen final : public input::Listener {
 public:
  explicit Unseen(const std::string& path) : path_(path) {}
  void Skipped(std::string_view where, input::Reason reason, std::string_view detail) override {
    Complain(Cat(Escaped(path_ + std::string(where)), ": not seen into (", std::string(input::ReasonName(reason)), "): ",
                 Escaped(detail)));
    any_ = true;
  }
  bool any() const { return any_; }

 private:
  const std::string& path_;
  bool any_ = false;
};

template <class Checker>
int CheckText(const Settings& s, Checker& checker, ByteSource& in, const InputName& name, bool& stop);

// Reads one input, each text inside it (a member of an archive, say) on
// its own; returns the status it calls for, leaving the verdicts to the checker.
template <class Checker>
int CheckInput(const Settings& s, Checker& checker, sys::Handle in, const std::string& path, bool& stop) {
  HandleStream stream(in);
  Unseen unseen(path);
  input::Reader reader(stream, unseen);
  TextBytes bytes(reader);
  int status = kAllValid;
  std::string where;
  while (!stop && reader.NextText(where)) {
    const InputName name(path + where);
    status = std::max(status, CheckText(s, checker, bytes, name, stop));
  }
  if (reader.read_error() != 0) {
    Complain(Cat("cannot read ", Escaped(path), ": ", Escaped(sys::ErrorText(reader.read_error()))));
    status = kTrouble;
  }
  return unseen.any() ? kTrouble : status;
}

template <class Checker>
int CheckText(const Settings& s, Checker& checker, ByteSource& in, const InputName& name, bool& stop) {
  checker.StartInput(&name);
  const ScanOutcome o = ScanRecords(in, s.layout, checker);
  stop = o.stopped && !o.header_rejected;
  int status = kAllValid;
  if (o.read_error != 0) {
    Complain(Cat("cannot read ", name.text, ": ", Escaped(sys::ErrorText(o.read_error))));
    status = kTrouble;
  }
  if (o.header_rejected) status = kTrouble;
  if (o.unclosed_quote_line) {
    Complain(Cat(name.text, ":", std::to_string(*o.unclosed_quote_line),
                 ": a quoted field runs to the end of the input without its closing quote"));
    status = kTrouble;
  }
  if (o.missing > 0 && o.found == 0 && !s.layout.header) {
    Complain(Cat(name.text, ": column ", s.column.Shown(), " is invalid: no record has more than ",
                 std::to_string(o.widest_missing), o.widest_missing == 1 ? " field" : " fields"));
    status = kTrouble;
  } else if (o.missing > 0) {
    Complain(Cat(name.text, ": ", std::to_string(o.missing), o.missing == 1 ? " record has" : " records have",
                 " no field ", s.column.Shown(), ", reported empty (the first at line ",
                 std::to_string(o.first_missing_line), ")"));
  }
  return status;
}

void WriteSummary(const Settings& s, const Counts& c) {
  std::string text;
  auto row = [&text](std::string_view label, uint64_t n) {
    text += Cat(label, std::string(label.size() < 20 ? 20 - label.size() : 1, ' '), std::to_string(n), "\n");
  };
  row("records", c.records);
  row("valid", c.verdicts[static_cast<std::size_t>(Verdict::kValid)]);
  row("invalid", c.verdicts[static_cast<std::size_t>(Verdict::kInvalid)]);
  row("empty", c.verdicts[static_cast<std::size_t>(Verdict::kEmpty)]);
  if (s.kind == Kind::kCard) {
    for (std::size_t b = 1; b < kBrandKinds; ++b)
      if (c.brands[b] > 0) row(BrandName(static_cast<Brand>(b), s.brands), c.brands[b]);
    row("no brand", c.brands[0]);
    row("checksum fails", c.checksum_fails);
  } else {
    row("check digits wrong", c.wrong_check_digits);
    row("expired", c.expired);
  }
  WriteAll(sys::StandardError(), text);
}

template <class Format>
int RunWith(const Settings& s) {
  Writer out(sys::StandardOutput());
  Checker<Format> checker(s, out);
  if (!checker.ReadClock()) {
    Complain("cannot read today's date from the clock; give it with --today");
    return kTrouble;
  }
  int status = kAllValid;
  const InputName arguments("(argument)");
  uint64_t argument_count = 0;
  // Numbers from the command line are copied into a padded buffer, as records are.
  std::string padded;
  bool stop = false;
  for (const Source& source : s.sources) {
    if (stop) break;
    switch (source.type) {
      case Source::kNumber: {
        checker.StartInput(&arguments, argument_count);
        checker.ReadClock();
        padded.assign(source.text).append(kPadding, '\0');
        const PaddedText number(padded.data(), source.text.size());
        stop = !checker.Record({number, ++argument_count, number.size(), Field::kWhole});
        break;
      }
      case Source::kStandardInput:
        if (!s.sources_given && sys::IsTerminal(sys::StandardInput())) {
#if defined(_WIN32)
          Complain("reading numbers from the terminal, one per line; end with Ctrl-Z and Enter (see --help)");
#else
          Complain("reading numbers from the terminal, one per line; end with Ctrl-D (see --help)");
#endif
        }
        status = std::max(status, CheckInput(s, checker, sys::StandardInput(), std::string("(standard input)"), stop));
        break;
      case Source::kFile: {
        const InputName name(source.text);
        const sys::Opened file = sys::OpenForReading(source.text);
        if (file.error != 0) {
          Complain(Cat("cannot open ", name.text, ": ", Escaped(sys::ErrorText(file.error))));
          status = kTrouble;
          break;
        }
        status = std::max(status, CheckInput(s, checker, file.handle, source.text, stop));
        sys::Close(file.handle);
        break;
      }
    }
  }
  out.Flush();
  if (s.summary) WriteSummary(s, checker.counts());
  if (checker.any_invalid()) status = std::max(status, kSomeInvalid);
  return status;
}

int Run(const Invocation& inv, Kind kind) {
  Settings s;
  if (const int status = Configure(inv, kind, s); status != kAllValid) return status;
  if (s.format == "tsv") return RunWith<TsvFormat>(s);
  if (s.format == "csv") return RunWith<CsvFormat>(s);
  if (s.format == "json") return RunWith<JsonFormat>(s);
  return RunWith<TextFormat>(s);
}

}  // namespace

int CardMain(const Invocation& invocation) { return Run(invocation, Kind::kCard); }
int IdMain(const Invocation& invocation) { return Run(invocation, Kind::kId); }

}  // namespace tessera::tool
