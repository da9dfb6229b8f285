// scan_command.cpp -- tessera scan: card numbers found inside files, directories and standard input
//
// The walk runs on the main thread and numbers each input in turn; workers
// scan them. Each input's output is gathered on its own and written when
// every input before it is done, so the output is the same for any number
// of workers. An input that finishes before its turn leaves its output to
// be written by whoever writes the one before it, and takes the next input;
// one that gathers much output while an earlier one is still running waits
// for its turn instead of holding more, which bounds memory.
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cards/mask.h"
#include "cards/scan.h"
#include "input/input.h"
#include "tool/allowlist.h"
#include "tool/command.h"
#include "tool/escape.h"
#include "tool/handle_stream.h"
#include "tool/platform.h"
#include "tool/sha256.h"
#include "tool/status.h"
#include "tool/threads.h"
#include "tool/walk.h"
#include "tool/writer.h"

namespace tessera::tool {
namespace {

enum class Format { Text, Tsv, Json };
enum class Report { Findings, Count, Files };

constexpr unsigned kMostJobs = 256;
constexpr unsigned kDefaultMostJobs = 16;
constexpr std::string_view kStandardInputName = "(standard input)";

struct ScanOptions {
  ScanRule rule;
  Report report = Report::Findings;
  Format format = Format::Text;
  bool unmasked = false;
  bool summary = false;
  bool strict = false;
  bool all_numbers = false;   // kept-back findings too
  bool test_numbers = false;  // published test numbers too
  Allowlist ignore;
  Baseline baseline;
  unsigned jobs = 0;
  WalkOptions walk;
  std::vector<std::string> operands;
};

std::optional<std::string> Configure(const ParsedArgs& args, ScanOptions& options) {
  for (const Argument& a : args.in_order) {
    if (a.flag == nullptr) {
      options.operands.push_back(a.value);
      continue;
    }
    switch (a.flag->id) {
      case kCountFlag:
        options.report = Report::Count;
        break;
      case kFilesWithMatchesFlag:
        options.report = Report::Files;
        break;
      case kUnmaskedFlag:
        options.unmasked = true;
        break;
      case kLuhnOnlyFlag:
        options.rule.luhn_only = true;
        break;
      case kScanBrandsFlag:
        if (a.value == "current") options.rule.brands = BrandTable::Current;
        else if (a.value == "seed") options.rule.brands = BrandTable::Seed;
        else return "unknown brand table '" + Escaped(a.value) + "': use current or seed";
        break;
      case kAllNumbersFlag:
        options.all_numbers = true;
        break;
      case kTestNumbersFlag:
        options.test_numbers = true;
        break;
      case kIgnoreFlag:
        if (auto trouble = options.ignore.Read(a.value)) return "--ignore: " + *trouble;
        break;
      case kBaselineFlag:
        if (auto trouble = options.baseline.Read(a.value)) return "--baseline: " + *trouble;
        break;
      case kScanSummaryFlag:
        options.summary = true;
        break;
      case kStrictFlag:
        options.strict = true;
        break;
      case kFollowFlag:
        options.walk.follow = true;
        break;
      case kExcludeFlag:
        options.walk.excludes.push_back(a.value);
        break;
      case kFormatFlag:
        if (a.value == "text") options.format = Format::Text;
        else if (a.value == "tsv") options.format = Format::Tsv;
        else if (a.value == "json") options.format = Format::Json;
        else return "unknown format '" + Escaped(a.value) + "': use text, tsv or json";
        break;
      case kJobsFlag: {
        unsigned jobs = 0;
        const char* end = a.value.data() + a.value.size();
        const auto [stop, error] = std::from_chars(a.value.data(), end, jobs);
        if (error != std::errc() || stop != end || jobs < 1 || jobs > kMostJobs)
          return "--jobs wants a number of files from 1 to " + std::to_string(kMostJobs) + ", not '" +
                 Escaped(a.value) + "'";
        options.jobs = jobs;
        break;
      }
      default:
        break;
    }
  }
  if (options.operands.empty()) {
    // Nobody types card numbers at a scan: at a terminal it is the current
    // directory that is meant, as with grep -r and ripgrep.
    const bool at_terminal = sys::IsTerminal(sys::StandardInput());
    options.operands.push_back(at_terminal ? "." : "-");
    options.walk.bare_dot = at_terminal;
  }
  if (options.jobs == 0) options.jobs = std::clamp(Processors(), 1u, kDefaultMostJobs);
  return std::nullopt;
}

void AppendNumber(std::string& out, uint64_t value) {
  char digits[24];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, end);
}

// How many findings, of which brands, and what went wrong: of one input,
// and added up for --summary.
struct Tally {
  uint64_t files = 0;
  uint64_t bytes = 0;
  uint64_t unreadable = 0;
  std::array<uint64_t, kBrandKinds> findings{};  // reported
  uint64_t track = 0;                            // of them, track data
  uint64_t rounded = 0;  // numbers a spreadsheet rounded, of a card's brand and length
  std::array<uint64_t, 4> kept{};                // by KeptBack, not reported
  uint64_t ignored = 0, baselined = 0;           // left out by --ignore and --baseline
  input::Counts inside;  // decoded, opened, not seen into

  uint64_t total() const {
    uint64_t sum = rounded;
    for (uint64_t n : findings) sum += n;
    return sum;
  }
  uint64_t not_seen() const {
    uint64_t sum = 0;
    for (uint64_t n : inside.skipped) sum += n;
    return sum;
  }
  void Add(const Tally& other) {
    files += other.files;
    bytes += other.bytes;
    unreadable += other.unreadable;
    rounded += other.rounded;
    for (std::size_t i = 0; i < kBrandKinds; ++i) findings[i] += other.findings[i];
    track += other.track;
    for (std::size_t i = 0; i < kept.size(); ++i) kept[i] += other.kept[i];
    ignored += other.ignored;
    baselined += other.baselined;
    for (std::size_t i = 0; i < input::kKindCount; ++i) inside.decoded[i] += other.inside.decoded[i];
    for (std::size_t i = 0; i < input::kReasonCount; ++i) inside.skipped[i] += other.inside.skipped[i];
    inside.members += other.inside.members;
  }
};

// The line on standard error that shows how far the scan is, when that is
// a terminal. Only the thread whose turn it is to write shows or clears it.
class Progress {
 public:
  explicit Progress(bool shown) : shown_(shown), last_(std::chrono::steady_clock::now()) {}

  void Count(uint64_t files, uint64_t bytes, uint64_t findings) {
    files_ += files;
    bytes_ += bytes;
    findings_ += findings;
  }
  // At most five times a second.
  void Show() {
    if (!shown_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(200)) return;
    last_ = now;
    char line[160];
    const int n = std::snprintf(line, sizeof line, "\rtessera: %llu files, %.1f MB, %llu findings\x1b[K",
                                static_cast<unsigned long long>(files_.load()), static_cast<double>(bytes_.load()) / 1e6,
                                static_cast<unsigned long long>(findings_.load()));
    if (n > 0) WriteAll(sys::StandardError(), std::string_view(line, static_cast<std::size_t>(n)));
    visible_ = true;
  }
  void Clear() {
    if (!visible_) return;
    WriteAll(sys::StandardError(), "\r\x1b[K");
    visible_ = false;
  }

 private:
  bool shown_;
  bool visible_ = false;
  std::chrono::steady_clock::time_point last_;
  std::atomic<uint64_t> files_{0}, bytes_{0}, findings_{0};
};

class Scan {
 public:
  explicit Scan(const ScanOptions& options)
      : options_(options),
        out_(sys::StandardOutput()),
        progress_(sys::IsTerminal(sys::StandardError())) {}

  int Run();

 private:
  struct Job {
    uint64_t ticket = 0;
    Found found;
  };

  // What an input has to show, kept until its turn.
  struct Result {
    std::string text;
    std::vector<std::string> complaints;
  };

  // One input's output as it gathers, written as soon as it is its turn.
  class Output;

  using Batch = std::vector<Job>;
  static constexpr std::size_t kBatch = 16;
  static constexpr uint64_t kBatchBytes = uint64_t{1} << 20;

  void Process(const Job& job, Tally& sum);
  void ScanInputOf(const Job& job, Output& output, Tally& tally);
  class Skips;

  bool Reported(const CardFinding& f, const std::string& path, Tally& tally, std::string& digest) const;
  void Finding(const CardFinding& f, const std::string& shown_path, const std::string& digest, std::string& out) const;
  void Rounded(const input::LostDigits& lost, Brand brand, const std::string& shown_path, std::string& out) const;
  void Counted(const std::string& shown_path, uint64_t findings, std::string& out) const;
  // JSON names a path by a value of its own (JsonPath); the other formats escape it.
  std::string ShownPath(std::string_view path) const {
    return options_.format == Format::Json ? JsonPath(path) : Escaped(path);
  }
  Quoting quoting() const { return options_.format == Format::Json ? Quoting::Json : Quoting::Text; }
  // By the thread whose turn it is.
  void Write(const Result& result);
  void Summarize(const WalkCounts& counts, double seconds) const;

  const ScanOptions& options_;
  Writer out_;
  Progress progress_;

  // A batch or so per worker ahead of the writing, so that none waits for
  // the walk, and not many more, so that neither the files the walk opened
  // nor the outputs kept for their turn pile up.
  InOrder<Result> order_{std::clamp<std::size_t>(kBatch * std::size_t{options_.jobs}, 4 * kBatch, 256)};
  WorkQueue<Batch> queue_;
  Tally tally_;
};

class Scan::Output {
 public:
  // Past this, an input waits for its turn rather than gather more.
  static constexpr std::size_t kHold = std::size_t{64} << 10;

  Output(Scan& scan, uint64_t ticket) : scan_(scan), ticket_(ticket) {}

  std::string& text() { return result_.text; }
  void Complain(std::string message) { result_.complaints.push_back(std::move(message)); }

  // After each block: writes what gathered when it is this input's turn.
  void Block() {
    if (!writing_) {
      if (result_.text.size() >= kHold) {
        scan_.order_.WaitTurn(ticket_);
        writing_ = true;
      } else {
        writing_ = scan_.order_.IsTurn(ticket_);
      }
    }
    if (!writing_) return;
    WriteText();
    scan_.progress_.Show();
  }

  // Before a read that may wait for a writer (a pipe, `tail -f`): what
  // can be shown leaves now instead of when the input ends.
  void BeforeWait() {
    if (!writing_) writing_ = scan_.order_.IsTurn(ticket_);
    if (!writing_) return;
    WriteText();
    scan_.out_.Flush();
  }

  // Hands over the rest: written now, or kept for the turn if it is small.
  void Finish() {
    if (!writing_ && result_.text.size() >= kHold) scan_.order_.WaitTurn(ticket_);
    scan_.order_.Finish(ticket_, std::move(result_), [this](const Result& result) { scan_.Write(result); });
  }

 private:
  void WriteText() {
    if (result_.text.empty()) return;
    scan_.progress_.Clear();
    scan_.out_.Put(result_.text);
    scan_.out_.EndRecord();
    result_.text.clear();
  }

  Scan& scan_;
  uint64_t ticket_;
  bool writing_ = false;
  Result result_;
};

void Scan::Write(const Result& result) {
  if (!result.text.empty()) {
    progress_.Clear();
    out_.Put(result.text);
    out_.EndRecord();
  }
  for (const std::string& message : result.complaints) {
    progress_.Clear();
    tool::Complain(message);
  }
  progress_.Show();
}

// Whether the finding is reported, counting it where it is left out; the
// digest of its digits is computed when something needs it.
bool Scan::Reported(const CardFinding& f, const std::string& path, Tally& tally, std::string& digest) const {
  const bool shown = f.kept == KeptBack::None || options_.all_numbers ||
                     (f.kept == KeptBack::Test && options_.test_numbers);
  if (!shown) {
    ++tally.kept[static_cast<std::size_t>(f.kept)];
    return false;
  }
  digest.clear();
  if (options_.format == Format::Json || !options_.ignore.empty() || !options_.baseline.empty()) {
    std::string digits;
    for (char c : f.number())
      if (IsDigit(c)) digits += c;
    digest = Hex(Sha256(digits));
    if (options_.ignore.Lists(digits, digest)) {
      ++tally.ignored;
      return false;
    }
    if (!options_.baseline.empty() && options_.baseline.Holds(path, digest)) {
      ++tally.baselined;
      return false;
    }
  }
  ++tally.findings[static_cast<std::size_t>(f.brand)];
  if (f.track != 0) ++tally.track;
  return true;
}

void Scan::Finding(const CardFinding& f, const std::string& shown_path, const std::string& digest,
                   std::string& out) const {
  char masked[kLongestFinding];
  const Text number = f.number();
  Text shown = number;
  if (!options_.unmasked) {
    MaskCardNumber(number, masked);
    shown = Text(masked, number.size());
  }
  const Text brand = FindingBrandName(f.brand, options_.rule.brands);
  const std::string key = f.key_size == 0 ? std::string() : Escaped(f.key_name(), quoting());
  switch (options_.format) {
    case Format::Text: {
      out += shown_path;
      out += ':';
      AppendNumber(out, f.line);
      out += ':';
      AppendNumber(out, f.column);
      out += ": ";
      out += brand;
      out += ' ';
      out += shown;
      // What sets it apart from a plain finding, in parentheses.
      std::string notes;
      auto note = [&notes](const std::string& text) { notes += (notes.empty() ? " (" : ", ") + text; };
      if (f.track != 0) note("track " + std::to_string(f.track));
      if (f.test) note("test number");
      if (f.kept == KeptBack::Iban) note("kept back: part of an IBAN");
      if (f.kept == KeptBack::Key) note("kept back: value of " + key);
      if (f.kept == KeptBack::Test && !options_.test_numbers) note("kept back");
      if (!notes.empty()) out += notes + ")";
      break;
    }
    case Format::Tsv:
      out += shown_path;
      for (uint64_t value : {f.line, f.column, f.offset, uint64_t{f.size}}) {
        out += '\t';
        AppendNumber(out, value);
      }
      out += '\t';
      out += brand;
      out += '\t';
      out += shown;
      out += '\t';
      out += ReasonName(f.reason);
      out += '\t';
      out += key;
      out += '\t';
      if (f.track != 0) AppendNumber(out, f.track);
      out += f.test ? "\ttest\t" : "\t\t";
      out += KeptName(f.kept);
      break;
    case Format::Json:
      out += "{\"type\":\"card\",\"path\":";
      out += shown_path;
      out += ",\"line\":";
      AppendNumber(out, f.line);
      out += ",\"column\":";
      AppendNumber(out, f.column);
      out += ",\"offset\":";
      AppendNumber(out, f.offset);
      out += ",\"length\":";
      AppendNumber(out, f.size);
      out += ",\"brand\":\"";
      out += brand;
      out += "\",\"number\":\"";
      out += shown;
      out += "\",\"reason\":\"";
      out += ReasonName(f.reason);
      out += f.key_size == 0 ? "\",\"key\":null" : "\",\"key\":\"" + key + "\"";
      out += ",\"track\":";
      if (f.track != 0) AppendNumber(out, f.track);
      else out += "null";
      out += f.test ? ",\"test\":true" : ",\"test\":false";
      out += f.kept == KeptBack::None ? ",\"kept\":null" : ",\"kept\":\"" + std::string(KeptName(f.kept)) + "\"";
      out += ",\"sha256\":\"";
      out += digest;
      out += "\"}";
      break;
  }
  out += '\n';
}

// A number cell of a spreadsheet whose digits after the 15th were lost:
// shown as stored, its mantissa's digits after the sixth masked.
void Scan::Rounded(const input::LostDigits& lost, Brand brand, const std::string& shown_path, std::string& out) const {
  std::string stored = lost.stored;
  if (!options_.unmasked) {
    int digits = 0;
    for (char& c : stored) {
      if (c == 'E' || c == 'e') break;
      if (c >= '0' && c <= '9' && ++digits > 6) c = '*';
    }
  }
  const std::string number = Escaped(stored, quoting());
  const Text name = FindingBrandName(brand, options_.rule.brands);
  switch (options_.format) {
    case Format::Text:
      out += shown_path;
      out += ':';
      AppendNumber(out, lost.line);
      out += ':';
      AppendNumber(out, lost.column);
      out += ": ";
      out += name;
      out += " (rounded) ";
      out += number;
      break;
    case Format::Tsv:
      out += shown_path;
      for (uint64_t value : {lost.line, lost.column, lost.offset, uint64_t{stored.size()}}) {
        out += '\t';
        AppendNumber(out, value);
      }
      out += '\t';
      out += name;
      out += " (rounded)\t";
      out += number;
      break;
    case Format::Json:
      out += "{\"type\":\"rounded\",\"path\":";
      out += shown_path;
      out += ",\"line\":";
      AppendNumber(out, lost.line);
      out += ",\"column\":";
      AppendNumber(out, lost.column);
      out += ",\"offset\":";
      AppendNumber(out, lost.offset);
      out += ",\"length\":";
      AppendNumber(out, stored.size());
      out += ",\"brand\":\"";
      out += name;
      out += "\",\"number\":\"";
      out += number;
      out += "\"}";
      break;
  }
  out += '\n';
}

void Scan::Counted(const std::string& shown_path, uint64_t findings, std::string& out) const {
  switch (options_.format) {
    case Format::Text:
      out += shown_path;
      if (options_.report == Report::Count) {
        out += ':';
        AppendNumber(out, findings);
      }
      break;
    case Format::Tsv:
      out += shown_path;
      if (options_.report == Report::Count) {
        out += '\t';
        AppendNumber(out, findings);
      }
      break;
    case Format::Json:
      out += "{\"path\":" + shown_path;
      if (options_.report == Report::Count) {
        out += ",\"count\":";
        AppendNumber(out, findings);
      }
      out += '}';
      break;
  }
  out += '\n';
}

// What the input layer could not see into: a line on standard error, and
// in JSON an object of its own among the findings.
class Scan::Skips final : public input::Listener {
 public:
  Skips(const Scan& scan, Output& output, const std::string& path) : scan_(scan), output_(output), path_(path) {}

  void Skipped(std::string_view where, input::Reason reason, std::string_view detail) override {
    const std::string path = path_ + std::string(where);
    output_.Complain(Escaped(path) + ": not seen into (" + std::string(input::ReasonName(reason)) + "): " + Escaped(detail));
    if (scan_.options_.format != Format::Json) return;
    std::string& out = output_.text();
    out += "{\"type\":\"skipped\",\"path\":";
    out += JsonPath(path);
    out += ",\"reason\":\"";
    out += input::ReasonName(reason);
    out += "\",\"detail\":\"";
    out += Escaped(detail, Quoting::Json);
    out += "\"}\n";
  }

 private:
  const Scan& scan_;
  Output& output_;
  const std::string& path_;
};

void Scan::ScanInputOf(const Job& job, Output& output, Tally& tally) {
  const bool standard_input = job.found.kind == Found::StandardInput;
  const std::string path = standard_input ? std::string(kStandardInputName) : job.found.path;

  // The walk opened the file, as what it saw there.
  const sys::Handle handle = standard_input ? sys::StandardInput() : job.found.handle;
  const bool may_wait = standard_input ? sys::MayWait(handle) : job.found.may_wait;
  ++tally.files;
  HandleStream stream(handle);
  Skips skips(*this, output, path);
  input::Reader reader(stream, skips);
  CardScanner scanner(options_.rule);
  const bool first_only = options_.report == Report::Files;
  std::string where;
  // Each text (the input, or a member inside it) is scanned on its own.
  while (reader.NextText(where)) {
    const std::string text_path = path + where;
    const std::string shown_path = ShownPath(text_path);
    std::string& out = output.text();
    std::string digest;
    uint64_t found = 0;
    // Spreadsheet cells that held a card's number before rounding.
    auto rounded = [&](const input::LostDigits& lost) {
      const Brand brand = RuleBrandOf(lost.digits, options_.rule.brands);
      if (brand == Brand::None) return;
      ++found;
      ++tally.rounded;
      if (options_.report == Report::Findings) Rounded(lost, brand, shown_path, out);
    };
    // Findings and rounded numbers, in the order of their offsets.
    auto take = [&](std::span<const CardFinding> findings) {
      std::vector<input::LostDigits>& lost = reader.lost_digits();
      std::size_t next = 0;
      for (CardFinding f : findings) {
        for (; next < lost.size() && lost[next].offset < f.offset; ++next) rounded(lost[next]);
        if (!Reported(f, text_path, tally, digest)) continue;
        ++found;
        if (options_.report != Report::Findings) continue;
        if (reader.recoded()) {
          const input::Place place = reader.Locate(f.offset, f.offset - (f.column - 1));
          f.offset = place.offset;
          f.column = place.column;
        }
        Finding(f, shown_path, digest, out);
      }
      for (; next < lost.size(); ++next) rounded(lost[next]);
      lost.clear();
    };
    PaddedText block;
    while (!(first_only && found != 0)) {
      if (may_wait) output.BeforeWait();
      if (!reader.NextBlock(block)) break;
      tally.bytes += block.size();
      const uint64_t before = found;
      take(scanner.ScanPadded(block));
      progress_.Count(0, block.size(), found - before);
      output.Block();
    }
    const std::span<const CardFinding> last = scanner.Finish();
    if (!(first_only && found != 0)) take(last);
    if (found != 0 && options_.report != Report::Findings) Counted(shown_path, found, out);
  }
  if (!standard_input) sys::Close(handle);
  progress_.Count(1, 0, 0);
  const input::Counts& counts = reader.counts();
  tally.inside.members += counts.members;
  for (std::size_t i = 0; i < input::kKindCount; ++i) tally.inside.decoded[i] += counts.decoded[i];
  for (std::size_t i = 0; i < input::kReasonCount; ++i) tally.inside.skipped[i] += counts.skipped[i];
  if (reader.read_error() != 0) {
    output.Complain("cannot read " + Escaped(path) + ": " + sys::ErrorText(reader.read_error()));
    ++tally.unreadable;
  }
}

void Scan::Process(const Job& job, Tally& sum) {
  Output output(*this, job.ticket);
  Tally tally;
  if (job.found.kind == Found::Notice) {
    output.Complain(job.found.message);
    if (job.found.error) ++tally.unreadable;
  } else {
    ScanInputOf(job, output, tally);
  }
  output.Finish();
  sum.Add(tally);
}

int Scan::Run() {
  const auto started = std::chrono::steady_clock::now();
  // The walk's own, for -j1, then one per worker: added up at the end.
  std::vector<Tally> sums(options_.jobs > 1 ? options_.jobs + 1 : 1);
  std::vector<std::unique_ptr<Thread>> workers;
  if (options_.jobs > 1) {
    for (unsigned i = 0; i < options_.jobs; ++i) {
      auto worker = std::make_unique<Thread>([this, &sum = sums[i + 1]] {
        Batch batch;
        while (queue_.Pop(batch))
          for (const Job& job : batch) Process(job, sum);
      });
      if (!worker->started()) break;
      workers.push_back(std::move(worker));
    }
  }
  // Inputs go to the workers a few at a time: handing over each small file
  // on its own would cost more than scanning it.
  Batch batch;
  uint64_t batch_bytes = 0;
  auto hand_over = [&] {
    if (batch.empty()) return;
    queue_.Push(std::move(batch));
    batch.clear();
    batch_bytes = 0;
  };
  uint64_t tickets = 0;
  WalkCounts counts;
  Walk(options_.operands, options_.walk, [&](Found&& found) {
    Job job{tickets++, std::move(found)};
    if (workers.empty()) return Process(job, sums[0]);
    if (!order_.HasRoom(job.ticket)) {
      hand_over();
      order_.WaitForRoom(job.ticket, kBatch);
    }
    // A large file, or one that may wait for a writer, goes on its own.
    const bool alone = job.found.kind == Found::StandardInput || job.found.size > kBatchBytes;
    if (alone) hand_over();
    batch_bytes += job.found.size;
    batch.push_back(std::move(job));
    if (alone || batch.size() >= kBatch || batch_bytes > kBatchBytes) hand_over();
  }, counts);
  hand_over();
  queue_.Close();
  for (auto& worker : workers) worker->Join();
  for (const Tally& sum : sums) tally_.Add(sum);
  const int status = tally_.unreadable != 0 || (options_.strict && tally_.not_seen() != 0) ? kTrouble : tally_.total() != 0 ? kSomeInvalid : kAllValid;
  out_.Flush();
  progress_.Clear();
  if (options_.summary)
    Summarize(counts, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  return status;
}

void Scan::Summarize(const WalkCounts& counts, double seconds) const {
  std::string text = "tessera: scanned " + std::to_string(tally_.files) + (tally_.files == 1 ? " file, " : " files, ") +
                     std::to_string(tally_.bytes) + " bytes in ";
  char timing[64];
  std::snprintf(timing, sizeof timing, "%.2f s (%.2f GB/s)\n", seconds,
                seconds > 0 ? static_cast<double>(tally_.bytes) / seconds / 1e9 : 0.0);
  text += timing;
  text += "tessera: " + std::to_string(tally_.total()) + (tally_.total() == 1 ? " finding" : " findings");
  std::string brands;
  for (std::size_t brand = 0; brand < kBrandKinds; ++brand) {
    if (tally_.findings[brand] == 0) continue;
    brands += (brands.empty() ? "" : ", ") +
              std::string(FindingBrandName(static_cast<Brand>(brand), options_.rule.brands)) + " " +
              std::to_string(tally_.findings[brand]);
  }
  if (tally_.rounded != 0) brands += (brands.empty() ? "" : ", ") + std::string("rounded by a spreadsheet ") + std::to_string(tally_.rounded);
  text += brands.empty() ? "\n" : ": " + brands + "\n";
  if (tally_.track != 0)
    text += "tessera: " + std::to_string(tally_.track) + " of them track data, which may never be stored\n";
  std::string kept;
  auto add = [](std::string& list, uint64_t n, const std::string& what) {
    if (n != 0) list += (list.empty() ? "" : ", ") + std::to_string(n) + " " + what;
  };
  add(kept, tally_.kept[static_cast<std::size_t>(KeptBack::Test)], "test numbers (--test-numbers)");
  add(kept, tally_.kept[static_cast<std::size_t>(KeptBack::Key)], "values of keys that name other numbers");
  add(kept, tally_.kept[static_cast<std::size_t>(KeptBack::Iban)], "parts of IBANs");
  if (!kept.empty()) text += "tessera: not reported: " + kept + " (--all-numbers shows them)\n";
  std::string suppressed;
  add(suppressed, tally_.ignored, "by --ignore");
  add(suppressed, tally_.baselined, "by --baseline");
  if (!suppressed.empty()) text += "tessera: suppressed: " + suppressed + "\n";
  std::string decoded;
  for (std::size_t kind = 0; kind < input::kKindCount; ++kind) {
    if (tally_.inside.decoded[kind] == 0) continue;
    decoded += (decoded.empty() ? "" : ", ") + std::string(input::KindName(static_cast<input::Kind>(kind))) + " " +
               std::to_string(tally_.inside.decoded[kind]);
  }
  if (!decoded.empty() || tally_.inside.members != 0)
    text += "tessera: decoded: " + (decoded.empty() ? std::string("nothing") : decoded) + "; " +
            std::to_string(tally_.inside.members) + (tally_.inside.members == 1 ? " member" : " members") + " opened\n";
  if (tally_.not_seen() != 0) {
    std::string reasons;
    for (std::size_t reason = 0; reason < input::kReasonCount; ++reason) {
      if (tally_.inside.skipped[reason] == 0) continue;
      reasons += (reasons.empty() ? "" : ", ") + std::string(input::ReasonName(static_cast<input::Reason>(reason))) +
                 " " + std::to_string(tally_.inside.skipped[reason]);
    }
    text += "tessera: not seen into: " + std::to_string(tally_.not_seen()) + " (" + reasons + ")\n";
  }
  if (tally_.unreadable != 0)
    text += "tessera: " + std::to_string(tally_.unreadable) + (tally_.unreadable == 1 ? " input" : " inputs") +
            " could not be read\n";
  if (counts.links_not_followed != 0)
    text += "tessera: " + std::to_string(counts.links_not_followed) + " symbolic links not followed (--follow)\n";
  if (counts.walked_already != 0)
    text += "tessera: " + std::to_string(counts.walked_already) +
            " directories reached again through links, not walked again\n";
  if (counts.excluded != 0) text += "tessera: " + std::to_string(counts.excluded) + " left out by --exclude\n";
  WriteAll(sys::StandardError(), text);
}

}  // namespace

int ScanMain(const Invocation& invocation) {
  ScanOptions options;
  if (auto error = Configure(invocation.args, options)) return UsageError(&invocation.command, *error);
  Scan scan(options);
  return scan.Run();
}

}  // namespace tessera::tool
