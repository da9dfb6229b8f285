// check.cpp -- the card and id commands (to be rebuilt on the block reader)
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "frame/checks.h"
#include "tool/command.h"
#include "tool/lines.h"
#include "tool/output.h"
#include "tool/status.h"
#include "tool/writer.h"

namespace tessera::tool {
namespace {

enum class Kind { Card, Id };

struct Source {
  std::string text;
  enum { Number, StandardInput, File } type;
};

struct Options {
  Kind kind = Kind::Card;
  Format format = Format::Text;
  bool strip = false;
  bool today_given = false;
  Date today{};
  std::vector<Source> sources;
};

constexpr bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool ParseDate(std::string_view text, Date& date) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return false;
  auto number = [&](std::size_t at, std::size_t width, int32_t& out) {
    const char* first = text.data() + at;
    const auto [end, error] = std::from_chars(first, first + width, out);
    return error == std::errc() && end == first + width;
  };
  if (!number(0, 4, date.year) || !number(5, 2, date.month) || !number(8, 2, date.day)) return false;
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (date.month < 1 || date.month > 12 || date.day < 1) return false;
  const int days = kDays[date.month - 1] + (date.month == 2 && IsLeapYear(date.year) ? 1 : 0);
  return date.day <= days;
}

int Configure(const Invocation& inv, Kind kind, Options& options) {
  options.kind = kind;
  for (const Argument& a : inv.args.in_order) {
    if (a.flag == nullptr) {
      options.sources.push_back({a.value, a.value == "-" ? Source::StandardInput : Source::Number});
      continue;
    }
    switch (a.flag->id) {
      case kFileFlag: options.sources.push_back({a.value, a.value == "-" ? Source::StandardInput : Source::File}); break;
      case kStripFlag: options.strip = true; break;
      case kFormatFlag:
        if (a.value == "text") options.format = Format::Text;
        else if (a.value == "tsv") options.format = Format::Tsv;
        else if (a.value == "json") options.format = Format::Json;
        else return UsageError(&inv.command, "unknown format '" + Escaped(a.value) + "': use text, tsv or json");
        break;
      case kTodayFlag:
        if (!ParseDate(a.value, options.today))
          return UsageError(&inv.command, "--today wants a calendar date YYYY-MM-DD, not '" + Escaped(a.value) + "'");
        options.today_given = true;
        break;
      default: break;
    }
  }
  if (options.sources.empty()) options.sources.push_back({"-", Source::StandardInput});
  return kAllValid;
}

class Checker {
 public:
  explicit Checker(const Options& options)
      : options_(options), output_(options.format), today_(options.today_given ? options.today : LocalToday().value_or(Date{0, 0, 0})) {}

  bool Check(std::string_view number) {
    if (options_.kind == Kind::Card) {
      const Text text = options_.strip ? Stripped(number) : number;
      const CardVerdict verdict = JudgeCard(text);
      output_.Card(number, verdict);
      return verdict.valid();
    }
    const IdVerdict verdict = JudgeId(number, today_);
    output_.Id(number, verdict);
    return verdict.valid();
  }

  int CheckLines(int fd, std::string_view name) {
    LineReader reader(fd);
    unsigned long invalid = 0;
    std::string_view line;
    while (reader.Next(line)) invalid += !Check(line);
    const int status = invalid ? kSomeInvalid : kAllValid;
    if (reader.error() != 0) {
      output_.Flush();
      Complain("cannot read " + Escaped(name) + ": " + std::strerror(reader.error()));
      return kTrouble;
    }
    return status;
  }

  void Flush() { output_.Flush(); }

 private:
  Text Stripped(std::string_view number) {
    stripped_.clear();
    for (char c : number)
      if (c != ' ' && c != '-') stripped_ += c;
    return stripped_;
  }

  const Options& options_;
  Output output_;
  Date today_;
  std::string stripped_;
};

int Run(const Invocation& inv, Kind kind) {
  Options options;
  if (const int status = Configure(inv, kind, options); status != kAllValid) return status;
  Checker checker(options);
  int status = kAllValid;
  auto worse = [&status](int other) { status = std::max(status, other); };
  for (const Source& source : options.sources) {
    switch (source.type) {
      case Source::Number: worse(checker.Check(source.text) ? kAllValid : kSomeInvalid); break;
      case Source::StandardInput: worse(checker.CheckLines(STDIN_FILENO, "standard input")); break;
      case Source::File: {
        const int fd = ::open(source.text.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
          checker.Flush();
          Complain("cannot open " + Escaped(source.text) + ": " + std::strerror(errno));
          worse(kTrouble);
          break;
        }
        worse(checker.CheckLines(fd, source.text));
        ::close(fd);
        break;
      }
    }
  }
  return status;
}

}  // namespace

int CardMain(const Invocation& invocation) { return Run(invocation, Kind::Card); }
int IdMain(const Invocation& invocation) { return Run(invocation, Kind::Id); }

}  // namespace tessera::tool
