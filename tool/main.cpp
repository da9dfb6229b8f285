// main.cpp -- tessera: check card and GPA numbers from the command line
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame/checks.h"
#include "tool/lines.h"
#include "tool/output.h"

namespace tessera::tool {
namespace {

constexpr std::string_view kUsage =
    "usage: tessera card [options] [NUMBER | - ]...\n"
    "       tessera id   [options] [NUMBER | - ]...\n"
    "\n"
    "Checks payment card numbers (card) or 29-character GPA identity-document\n"
    "numbers (id). With no NUMBER, or with -, numbers are read from standard\n"
    "input, one per line.\n"
    "\n"
    "options:\n"
    "  --file PATH          read numbers from PATH, one per line (repeatable)\n"
    "  --format FORMAT      text (default), tsv or json (one object per line)\n"
    "  --today YYYY-MM-DD   judge expiry and age as of this date, not today\n"
    "  --strip              card only: remove spaces and dashes before checking\n"
    "  --help               show this help\n"
    "  --version            show the version\n"
    "\n"
    "exit status: 0 every number valid, 1 some number invalid, 2 usage or input error\n";

constexpr int kAllValid = 0;
constexpr int kSomeInvalid = 1;
constexpr int kTrouble = 2;

enum class Kind { Card, Id };

struct Source {
  std::string_view text;  // the number itself, or a path
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

int UsageError(const std::string& message) {
  std::fprintf(stderr, "tessera: %s\ntry 'tessera --help'\n", message.c_str());
  return kTrouble;
}

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

// --help and --version answer at once, wherever they stand.
bool AnsweredAtOnce(std::string_view arg) {
  if (arg == "--help" || arg == "-h") {
    std::fputs(kUsage.data(), stdout);
    return true;
  }
  if (arg == "--version") {
    std::printf("tessera %s\n", TESSERA_VERSION);
    return true;
  }
  return false;
}

constexpr std::string_view kOptionsWithValue[] = {"--file", "--format", "--today"};

// Returns kAllValid when the options are sound, else the exit status to end with.
int ParseOptions(int argc, char** argv, Options& options, bool& done) {
  done = false;
  if (argc < 2) return UsageError("missing command: card or id");
  const std::string_view command = argv[1];
  if (AnsweredAtOnce(command)) {
    done = true;
    return kAllValid;
  }
  if (command == "card") {
    options.kind = Kind::Card;
  } else if (command == "id") {
    options.kind = Kind::Id;
  } else {
    return UsageError("unknown command '" + std::string(command) + "': use card or id");
  }

  bool only_numbers = false;
  for (int i = 2; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (only_numbers || arg == "-" || !arg.starts_with("--")) {
      options.sources.push_back({arg, arg == "-" && !only_numbers ? Source::StandardInput : Source::Number});
      continue;
    }
    if (arg == "--") {
      only_numbers = true;
      continue;
    }
    if (AnsweredAtOnce(arg)) {
      done = true;
      return kAllValid;
    }
    std::optional<std::string_view> value;
    if (const auto equals = arg.find('='); equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
      arg = arg.substr(0, equals);
    }
    const bool wants_value = std::ranges::find(kOptionsWithValue, arg) != std::end(kOptionsWithValue);
    if (!wants_value && arg != "--strip") return UsageError("unknown option '" + std::string(arg) + "'");
    if (wants_value && !value) {
      if (i + 1 == argc) return UsageError("option " + std::string(arg) + " needs a value");
      value = argv[++i];
    }
    if (!wants_value && value) return UsageError("option " + std::string(arg) + " takes no value");
    if (arg == "--strip") {
      options.strip = true;
    } else if (arg == "--file") {
      options.sources.push_back({*value, Source::File});
    } else if (arg == "--format") {
      if (value == "text") options.format = Format::Text;
      else if (value == "tsv") options.format = Format::Tsv;
      else if (value == "json") options.format = Format::Json;
      else return UsageError("unknown format '" + std::string(*value) + "': use text, tsv or json");
    } else {
      if (!ParseDate(*value, options.today)) {
        return UsageError("--today wants a calendar date YYYY-MM-DD, not '" + std::string(*value) + "'");
      }
      options.today_given = true;
    }
  }
  if (options.strip && options.kind == Kind::Id) {
    return UsageError("--strip is for card numbers: the dashes of a GPA number are part of it");
  }
  if (options.sources.empty()) options.sources.push_back({"-", Source::StandardInput});
  return kAllValid;
}

class Checker {
 public:
  explicit Checker(const Options& options)
      : options_(options), output_(options.format), today_(options.today_given ? options.today : LocalToday().value_or(Date{0, 0, 0})) {}

  // Returns whether the number was valid.
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

  // Checks every line; returns the exit status this input alone calls for.
  int CheckLines(int fd, std::string_view name) {
    LineReader reader(fd);
    // Counted, not branched on: in a batch of which half is invalid, a
    // branch on each verdict would be mispredicted every other line.
    unsigned long invalid = 0;
    std::string_view line;
    for (unsigned long number = 1; reader.Next(line); ++number) {
      if (line.find('\0') != std::string_view::npos) {
        output_.Flush();
        std::fprintf(stderr, "tessera: %.*s:%lu: line holds a NUL byte; reported invalid\n",
                     static_cast<int>(name.size()), name.data(), number);
        output_.Unreadable(line, "contains a NUL byte");
        ++invalid;
      } else {
        invalid += !Check(line);
      }
    }
    const int status = invalid ? kSomeInvalid : kAllValid;
    if (reader.error() != 0) {
      output_.Flush();
      std::fprintf(stderr, "tessera: cannot read %.*s: %s\n", static_cast<int>(name.size()), name.data(),
                   std::strerror(reader.error()));
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

int Run(const Options& options) {
  Checker checker(options);
  int status = kAllValid;
  auto worse = [&status](int other) { status = std::max(status, other); };
  for (const Source& source : options.sources) {
    switch (source.type) {
      case Source::Number:
        worse(checker.Check(source.text) ? kAllValid : kSomeInvalid);
        break;
      case Source::StandardInput:
        worse(checker.CheckLines(STDIN_FILENO, "standard input"));
        break;
      case Source::File: {
        const std::string path(source.text);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
          checker.Flush();
          std::fprintf(stderr, "tessera: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
          worse(kTrouble);
          break;
        }
        worse(checker.CheckLines(fd, path));
        ::close(fd);
        break;
      }
    }
  }
  return status;
}

}  // namespace
}  // namespace tessera::tool

int main(int argc, char** argv) {
  tessera::tool::Options options;
  bool done = false;
  if (const int status = tessera::tool::ParseOptions(argc, argv, options, done); status != 0 || done) return status;
  return tessera::tool::Run(options);
}
