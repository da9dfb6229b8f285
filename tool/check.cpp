// check.cpp -- the card and id commands: records in, one verdict of the core per record, a format out
#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "frame/checks.h"
#include "tool/cat.h"
#include "tool/command.h"
#include "tool/format.h"
#include "tool/format_json.h"
#include "tool/format_text.h"
#include "tool/format_tsv.h"
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

struct Settings {
  Kind kind = Kind::kCard;
  std::vector<Source> sources;
  bool sources_given = false;
  RecordLayout layout;
  std::optional<std::string> column_name;
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

// Returns kAllValid, or the status of a usage error already reported.
int Configure(const Invocation& inv, Kind kind, Settings& s) {
  const CommandDoc* command = &inv.command;
  s.kind = kind;
  s.format_options.id = kind == Kind::kId;
  bool csv = false, tsv = false, delimiter_given = false;
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
      case kColumnFlag: {
        const std::string& v = a.value;
        std::size_t n = 0;
        const auto [end, error] = std::from_chars(v.data(), v.data() + v.size(), n);
        if (!v.empty() && error == std::errc() && end == v.data() + v.size()) {
          if (n == 0) return UsageError(command, "--column counts from 1");
          s.layout.column = n - 1;
          s.column_name.reset();
        } else if (error == std::errc::result_out_of_range) {
          return UsageError(command, Cat("--column ", Escaped(v), " is too large"));
        } else {
          s.column_name = v;
        }
        csv = csv || !tsv;
        break;
      }
      case kHeaderFlag: s.layout.skip_header = true; break;
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
      case kFormatFlag:
        if (a.value != "text" && a.value != "tsv" && a.value != "json")
          return UsageError(command, Cat("unknown format ", Quoted(a.value), ": use text, tsv or json"));
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
  if (s.format_options.header_row && s.format != "tsv") return UsageError(command, "--header-row is for --format tsv");
  s.layout.csv = csv || tsv || delimiter_given;
  if (tsv && !delimiter_given) s.layout.delimiter = '\t';
  if (s.column_name) s.layout.skip_header = s.layout.header_names = true;
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

template <class Format>
class Checker {
 public:
  Checker(const Settings& s, Writer& out)
      : s_(s), out_(out), format_(out, s.format_options), today_(s.today.value_or(Date{0, 0, 0})),
        scratch_(s.mask || s.strip ? new char[2 * kReadBlock + kPadding]() : nullptr),
        plain_cards_(s.kind == Kind::kCard && !s.strip && !s.mask && !s.summary && !s.quiet),
        seed_(s.brands == BrandTable::Seed),
        shows_card_{Shows(Verdict::kInvalid), Shows(Verdict::kValid)} {
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

  void StartInput(const InputName* name) {
    input_ = name;
    card_.where.input = name;
  }

  std::optional<std::size_t> Header(const std::vector<std::string>& names) {
    const auto it = std::ranges::find(names, *s_.column_name);
    if (it != names.end()) return static_cast<std::size_t>(it - names.begin());
    std::string known;
    for (const std::string& n : names) known += Cat(known.empty() ? "" : ", ", Escaped(n));
    Complain(Cat(input_->text, ": no column ", Quoted(*s_.column_name), " in the header (", known, ")"));
    return std::nullopt;
  }

  void Piece(Text piece) {
    if (stream_size_ == 0) blank_so_far_ = true;
    stream_size_ += piece.size();
    if (blank_so_far_) blank_so_far_ = piece.find_first_not_of(" \t") == Text::npos;
    const std::size_t head_room = kShownHead - std::min(kShownHead, head_size_);
    const std::size_t n = std::min(head_room, piece.size());
    std::memcpy(head_.data() + head_size_, piece.data(), n);
    head_size_ += n;
    if (s_.kind == Kind::kId) return;
    if (!s_.strip) return luhn_.Add(piece);
    // Only the characters that remain after --strip count.
    for (std::size_t at = 0; at < piece.size();) {
      const std::size_t next = std::min(piece.find_first_of(" -", at), piece.size());
      const Text kept = piece.substr(at, next - at);
      luhn_.Add(kept);
      const std::size_t m = std::min(stripped_head_.size() - stripped_head_size_, kept.size());
      std::memcpy(stripped_head_.data() + stripped_head_size_, kept.data(), m);
      stripped_head_size_ += m;
      at = next + 1;
    }
  }

  TESSERA_INLINE bool Record(const Field& field) {
    if (s_.kind == Kind::kCard && field.kind == Field::kWhole && !IsBlank(field.value)) [[likely]]
      return WholeCard(field.value, field.line);
    return OtherRecord(field);
  }

  // Lines judged first and shown after: the judgments are independent, so
  // the processor overlaps them.
  bool Records(const Text* values, const uint64_t* lines, std::size_t n) {
    if (s_.kind != Kind::kCard || s_.strip) {
      for (std::size_t i = 0; i < n; ++i)
        if (!Record({values[i], lines[i], values[i].size(), Field::kWhole})) return false;
      return true;
    }
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
      if (plain_cards_) return ShowPlainCards(values, lines, verdicts.data(), n);
    }
    for (std::size_t i = 0; i < n; ++i) {
      if (IsBlank(values[i])) [[unlikely]] {
        if (!OtherRecord({values[i], lines[i], values[i].size(), Field::kWhole})) return false;
      } else if (!ShowCard(values[i], lines[i], verdicts[i])) {
        return false;
      }
    }
    return true;
  }

  // The batch as most runs have it: numbers shown as they are, nothing
  // counted, most of them written straight from the buffer.
  bool ShowPlainCards(const Text* values, const uint64_t* lines, const CardVerdict* verdicts, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      const CardVerdict card = verdicts[i];
      if (IsBlank(values[i])) [[unlikely]] {
        if (!OtherRecord({values[i], lines[i], values[i].size(), Field::kWhole})) return false;
        continue;
      }
      any_invalid_ |= !card.valid();
      if (!shows_card_[card.valid()] || format_.ShortPlainCard(values[i], card)) continue;
      if (!ShowCard(values[i], lines[i], card)) return false;
    }
    return true;
  }

  // The common record, kept apart so that it compiles to straight code.
  TESSERA_INLINE bool WholeCard(Text value, uint64_t line) {
    const Text number = s_.strip ? Stripped(value) : value;
    return ShowCard(value, line, seed_ ? JudgeCardPadded(number) : JudgeCardPadded(number, s_.brands));
  }

  // The record is filled in member by member (and read back so).
  TESSERA_INLINE bool ShowCard(Text value, uint64_t line, const CardVerdict card) {
    const Verdict verdict = card.valid() ? Verdict::kValid : Verdict::kInvalid;
    Count(verdict, card, IdVerdict{false, false, 0});
    if (s_.mask) {
      MaskCardNumber(value, scratch_.get());
      value = Text(scratch_.get(), value.size());
    }
    card_.where.line = line;
    card_.number.bytes = value;
    card_.number.size = value.size();
    card_.number.shortened = false;
    card_.verdict = verdict;
    card_.card = card;
    if (!Shows(verdict)) return !(s_.quiet && verdict == Verdict::kInvalid && !s_.summary);
    format_.Card(card_);
    return true;
  }

  [[gnu::noinline]] bool OtherRecord(const Field& field) {
    Verdict verdict = Verdict::kEmpty;
    CardVerdict card{Brand::None, false};
    IdVerdict id{false, false, 0};
    Shown shown{field.value, field.size, false};
    if (field.kind == Field::kStreamed) {
      shown = {s_.mask ? Text() : Text(head_.data(), head_size_), field.size, true};
      if (!blank_so_far_) {
        if (s_.kind == Kind::kCard) {
          card = JudgeCardStream(s_.strip ? Text(stripped_head_.data(), stripped_head_size_) : shown.bytes, luhn_,
                                 s_.brands);
        } else {
          id = JudgeIdStream(Text(head_.data(), head_size_), field.size, today_);
        }
        verdict = Valid(card, id);
      }
      ResetStream();
    } else if (field.kind == Field::kWhole && !IsBlank(field.value)) {
      if (s_.kind == Kind::kCard) {
        card = JudgeCardPadded(s_.strip ? Stripped(field.value) : field.value, s_.brands);
        if (s_.mask) {
          MaskCardNumber(field.value, scratch_.get());
          shown.bytes = Text(scratch_.get(), field.value.size());
        }
      } else {
        id = JudgeId(field.value, today_);
      }
      verdict = Valid(card, id);
    }
    Count(verdict, card, id);
    if (!Shows(verdict)) return !(s_.quiet && verdict == Verdict::kInvalid && !s_.summary);
    const Where where{input_, field.line};
    if (s_.kind == Kind::kCard) {
      format_.Card({where, shown, verdict, card});
    } else {
      format_.Id({where, shown, verdict, id});
    }
    return true;
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

  static bool IsBlank(Text value) {
    // Most fields begin with a digit: one look decides.
    if (!value.empty() && value[0] != ' ' && value[0] != '\t') return false;
    return value.find_first_not_of(" \t") == Text::npos;
  }

  // Without spaces and dashes, in the padded scratch buffer.
  Text Stripped(Text value) {
    char* out = scratch_.get() + kReadBlock;
    std::size_t n = 0;
    for (char c : value)
      if (c != ' ' && c != '-') out[n++] = c;
    return Text(out, n);
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
  std::unique_ptr<char[]> scratch_;  // masked and stripped copies, padded like the read buffer; for --mask and --strip only
  Counts counts_;
  bool any_invalid_ = false;
  const bool plain_cards_;               // ShowPlainCards serves
  const bool seed_;                      // the seed's brand table: the batch lookups
  const std::array<bool, 2> shows_card_;  // by CardVerdict::valid()
  CardRecord card_{};

  // A field streaming past.
  LuhnStream luhn_;
  uint64_t stream_size_ = 0;
  bool blank_so_far_ = true;
  std::array<char, kShownHead> head_{};
  std::size_t head_size_ = 0;
  std::array<char, LongestCard(BrandTable::Current) + 1> stripped_head_{};
  std::size_t stripped_head_size_ = 0;
};

std::string ColumnShown(const Settings& s) {
  return s.column_name ? Quoted(*s.column_name) : std::to_string(s.layout.column + 1);
}

// Reads one input; returns the status it calls for, leaving the verdicts to the checker.
template <class Checker>
int CheckInput(const Settings& s, Checker& checker, sys::Handle in, const InputName& name, bool& stop) {
  checker.StartInput(&name);
  const ScanOutcome o = ScanRecords(in, s.layout, checker);
  stop = o.stopped;
  int status = kAllValid;
  if (o.read_error != 0) {
    Complain(Cat("cannot read ", name.text, ": ", Escaped(sys::ErrorText(o.read_error))));
    status = kTrouble;
  }
  if (o.header_rejected) status = kTrouble;
  if (o.header_too_long) {
    Complain(Cat(name.text, ": the header is longer than ", std::to_string(kReadBlock >> 10), " KiB"));
    status = kTrouble;
  }
  if (o.unclosed_quote_line) {
    Complain(Cat(name.text, ":", std::to_string(*o.unclosed_quote_line),
                 ": a quoted field runs to the end of the input without its closing quote"));
    status = kTrouble;
  }
  if (o.missing > 0) {
    Complain(Cat(name.text, ": ", std::to_string(o.missing), o.missing == 1 ? " record has" : " records have",
                 " no field ", ColumnShown(s), ", reported empty (the first at line ",
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
  const InputName arguments("(argument)"), standard_input("(standard input)");
  uint64_t argument_count = 0;
  // Numbers from the command line are copied into a padded buffer, as records are.
  std::string padded;
  bool stop = false;
  for (const Source& source : s.sources) {
    if (stop) break;
    switch (source.type) {
      case Source::kNumber: {
        checker.StartInput(&arguments);
        checker.ReadClock();
        padded.assign(source.text).append(kPadding, '\0');
        const Text number(padded.data(), source.text.size());
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
        status = std::max(status, CheckInput(s, checker, sys::StandardInput(), standard_input, stop));
        break;
      case Source::kFile: {
        const InputName name(source.text);
        const sys::Opened file = sys::OpenForReading(source.text);
        if (file.error != 0) {
          Complain(Cat("cannot open ", name.text, ": ", Escaped(sys::ErrorText(file.error))));
          status = kTrouble;
          break;
        }
        status = std::max(status, CheckInput(s, checker, file.handle, name, stop));
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
  if (s.format == "json") return RunWith<JsonFormat>(s);
  return RunWith<TextFormat>(s);
}

}  // namespace

int CardMain(const Invocation& invocation) { return Run(invocation, Kind::kCard); }
int IdMain(const Invocation& invocation) { return Run(invocation, Kind::kId); }

}  // namespace tessera::tool
