// scan_command.cpp -- tessera scan: card numbers found inside files, directories and standard input
//
// The walk runs on the main thread and numbers each input in turn; workers
// scan them. Each input's output is gathered on its own and written when
// every input before it is done, so the output is the same for any number
// of workers. An input that gathers much output while an earlier one is
// still running waits for its turn instead of holding more, which bounds
// memory.
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cards/scan.h"
#include "tool/allowlist.h"
#include "tool/command.h"
#include "tool/escape.h"
#include "tool/platform.h"
#include "tool/scan_input.h"
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
  if (options.operands.empty()) options.operands.push_back("-");
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
  std::array<uint64_t, 4> kept{};                // by KeptBack, not reported
  uint64_t ignored = 0, baselined = 0;           // left out by --ignore and --baseline

  uint64_t total() const {
    uint64_t sum = 0;
    for (uint64_t n : findings) sum += n;
    return sum;
  }
  void Add(const Tally& other) {
    files += other.files;
    bytes += other.bytes;
    unreadable += other.unreadable;
    for (std::size_t i = 0; i < kBrandKinds; ++i) findings[i] += other.findings[i];
    track += other.track;
    for (std::size_t i = 0; i < kept.size(); ++i) kept[i] += other.kept[i];
    ignored += other.ignored;
    baselined += other.baselined;
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
        progress_(sys::IsTerminal(sys::StandardError())),
        quoting_(options.format == Format::Json ? Quoting::Json : Quoting::Text) {}

  int Run();

 private:
  struct Job {
    uint64_t ticket;
    Found found;
  };

  // One input's output, kept until it is this input's turn to write.
  class Output;

  void Process(const Job& job);
  void ScanInputOf(const Job& job, Output& output, Tally& tally);
  bool Reported(const CardFinding& f, const std::string& json_path, Tally& tally, std::string& digest) const;
  void Finding(const CardFinding& f, const std::string& shown_path, const std::string& digest, std::string& out) const;
  void Worker();
  void Summarize(const WalkCounts& counts, double seconds) const;

  // Waits until every input numbered before `ticket` is written.
  void WaitTurn(uint64_t ticket) {
    Locked lock(mutex_);
    while (turn_ != ticket) changed_.Wait(mutex_);
  }
  bool IsTurn(uint64_t ticket) {
    Locked lock(mutex_);
    return turn_ == ticket;
  }
  void PassTurn() {
    Locked lock(mutex_);
    ++turn_;
    changed_.WakeAll();
  }

  const ScanOptions& options_;
  Writer out_;
  Progress progress_;
  Quoting quoting_;

  Mutex mutex_;
  Condition changed_;
  uint64_t turn_ = 0;             // the input whose output is written next
  std::deque<Job> queue_;         // inputs found and not yet taken by a worker
  bool walk_done_ = false;
  int status_ = kAllValid;
  Tally tally_;
};

class Scan::Output {
 public:
  // Past this, an input waits for its turn rather than gather more.
  static constexpr std::size_t kHold = std::size_t{64} << 10;

  Output(Scan& scan, uint64_t ticket) : scan_(scan), ticket_(ticket) {}

  std::string& text() { return text_; }
  void Complain(std::string message) { complaints_.push_back(std::move(message)); }

  // After each block: writes what gathered when it is this input's turn.
  void Block() {
    if (!writing_) {
      if (text_.size() >= kHold) {
        scan_.WaitTurn(ticket_);
        writing_ = true;
      } else {
        writing_ = scan_.IsTurn(ticket_);
      }
    }
    if (!writing_) return;
    Write();
    scan_.progress_.Show();
  }

  // Writes the rest, then lets the next input write.
  void Finish() {
    if (!writing_) scan_.WaitTurn(ticket_);
    Write();
    for (const std::string& message : complaints_) {
      scan_.progress_.Clear();
      tool::Complain(message);
    }
    scan_.progress_.Show();
    scan_.PassTurn();
  }

 private:
  void Write() {
    if (text_.empty()) return;
    scan_.progress_.Clear();
    scan_.out_.Put(text_);
    scan_.out_.EndRecord();
    text_.clear();
  }

  Scan& scan_;
  uint64_t ticket_;
  bool writing_ = false;
  std::string text_;
  std::vector<std::string> complaints_;
};

// Whether the finding is reported, counting it where it is left out; the
// digest of its digits is computed when something needs it.
bool Scan::Reported(const CardFinding& f, const std::string& json_path, Tally& tally, std::string& digest) const {
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
    if (!options_.baseline.empty() && options_.baseline.Holds(json_path, digest)) {
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
  const std::string key = f.key_size == 0 ? std::string() : Escaped(f.key_name(), quoting_);
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
      out += "{\"path\":\"";
      out += shown_path;
      out += "\",\"line\":";
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

void Scan::ScanInputOf(const Job& job, Output& output, Tally& tally) {
  const bool standard_input = job.found.kind == Found::StandardInput;
  const std::string& path = job.found.path;
  const std::string shown_path = Escaped(standard_input ? kStandardInputName : path, quoting_);
  const std::string named = standard_input ? std::string(kStandardInputName) : Escaped(path);
  const std::string json_path =
      options_.baseline.empty() ? std::string() : Escaped(standard_input ? kStandardInputName : path, Quoting::Json);

  sys::Handle handle = sys::StandardInput();
  if (!standard_input) {
    const sys::Opened opened = sys::OpenForReading(path);
    if (opened.error != 0) {
      output.Complain("cannot open " + named + ": " + sys::ErrorText(opened.error));
      ++tally.unreadable;
      return;
    }
    handle = opened.handle;
  }
  ++tally.files;
  ScanInput input(handle);
  CardScanner scanner(options_.rule);
  std::string& out = output.text();
  std::string digest;
  auto take = [&](std::span<const CardFinding> found) {
    for (const CardFinding& f : found)
      if (Reported(f, json_path, tally, digest) && options_.report == Report::Findings) Finding(f, shown_path, digest, out);
  };
  Text block;
  const bool first_only = options_.report == Report::Files;
  while (!(first_only && tally.total() != 0) && input.Next(block)) {
    tally.bytes += block.size();
    const uint64_t before = tally.total();
    take(scanner.ScanPadded(block));
    progress_.Count(0, block.size(), tally.total() - before);
    output.Block();
  }
  if (!(first_only && tally.total() != 0)) take(scanner.Finish());
  if (!standard_input) sys::Close(handle);
  progress_.Count(1, 0, 0);
  if (!input.error().empty()) {
    output.Complain(named + ": " + input.error());
    ++tally.unreadable;
  }
  const uint64_t findings = tally.total();
  if (findings == 0 || options_.report == Report::Findings) return;
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
      out += "{\"path\":\"" + shown_path + "\"";
      if (options_.report == Report::Count) {
        out += ",\"count\":";
        AppendNumber(out, findings);
      }
      out += '}';
      break;
  }
  out += '\n';
}

void Scan::Process(const Job& job) {
  Output output(*this, job.ticket);
  Tally tally;
  if (job.found.kind == Found::Notice) {
    output.Complain(job.found.message);
    if (job.found.error) ++tally.unreadable;
  } else {
    ScanInputOf(job, output, tally);
  }
  output.Finish();
  Locked lock(mutex_);
  tally_.Add(tally);
  if (tally.total() != 0) status_ = std::max(status_, kSomeInvalid);
  if (tally.unreadable != 0) status_ = kTrouble;
}

void Scan::Worker() {
  for (;;) {
    std::optional<Job> job;
    {
      Locked lock(mutex_);
      while (queue_.empty() && !walk_done_) changed_.Wait(mutex_);
      if (queue_.empty()) return;
      job = std::move(queue_.front());
      queue_.pop_front();
      changed_.WakeAll();
    }
    Process(*job);
  }
}

int Scan::Run() {
  const auto started = std::chrono::steady_clock::now();
  std::vector<std::unique_ptr<Thread>> workers;
  if (options_.jobs > 1) {
    for (unsigned i = 0; i < options_.jobs; ++i) {
      auto worker = std::make_unique<Thread>([this] { Worker(); });
      if (!worker->started()) break;
      workers.push_back(std::move(worker));
    }
  }
  // A few inputs ahead of the workers, so none waits for the walk, and
  // not many more, so a large tree is not held in memory.
  const std::size_t ahead = 4 * workers.size();
  uint64_t tickets = 0;
  WalkCounts counts;
  Walk(options_.operands, options_.walk, [&](Found&& found) {
    Job job{tickets++, std::move(found)};
    if (workers.empty()) return Process(job);
    Locked lock(mutex_);
    while (queue_.size() >= ahead) changed_.Wait(mutex_);
    queue_.push_back(std::move(job));
    changed_.WakeAll();
  }, counts);
  {
    Locked lock(mutex_);
    walk_done_ = true;
    changed_.WakeAll();
  }
  for (auto& worker : workers) worker->Join();
  out_.Flush();
  progress_.Clear();
  if (options_.summary)
    Summarize(counts, std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
  return status_;
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
  if (tally_.unreadable != 0)
    text += "tessera: " + std::to_string(tally_.unreadable) + (tally_.unreadable == 1 ? " input" : " inputs") +
            " could not be read\n";
  if (counts.links_not_followed != 0)
    text += "tessera: " + std::to_string(counts.links_not_followed) + " symbolic links not followed (--follow)\n";
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
