// bench_checks.cpp -- ns per call of every export, through the C interface of
// the dlopen'ed shared library, each beside strlen of the same texts; the
// length-known checks of the front ends beside them; and, when
// TESSERA_BASELINE_LIBRARY names an earlier build, its exports in the same run
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bench/corpus.h"
#include "frame/checks.h"
#include "tessera_text.h"

namespace {

using Check = int32_t (*)(const char*);

void* Load(const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    std::fprintf(stderr, "cannot load %s: %s\n", path, dlerror());
    std::exit(1);
  }
  return handle;
}

const char* Baseline() { return std::getenv("TESSERA_BASELINE_LIBRARY"); }

Check Resolve(const char* name, bool baseline = false) {
  static void* library = Load(TESSERA_LIBRARY);
  static void* earlier = Baseline() ? Load(Baseline()) : nullptr;
  auto check = reinterpret_cast<Check>(dlsym(baseline ? earlier : library, name));
  if (!check) std::exit(1);
  return check;
}

// strlen behind the same kind of call, as the floor a check cannot beat.
int32_t StrlenFloor(const char* text) { return static_cast<int32_t>(std::strlen(text)); }
Check Floor() {
  static volatile Check floor = StrlenFloor;  // keeps the call out of line
  return floor;
}

// Texts stored end to end, each with its NUL, the way a host hands over a column.
struct Texts {
  std::vector<char> bytes;
  std::vector<const char*> starts;
  explicit Texts(const std::vector<std::string>& texts) {
    std::size_t total = 0;
    for (const auto& t : texts) total += t.size() + 1;
    bytes.reserve(total + tessera::kPadding);
    for (const auto& t : texts) bytes.insert(bytes.end(), t.c_str(), t.c_str() + t.size() + 1);
    // A reader's buffer is padded past its last text.
    bytes.insert(bytes.end(), tessera::kPadding, '\0');
    const char* p = bytes.data();
    for (const auto& t : texts) {
      starts.push_back(p);
      views.emplace_back(p, t.size());
      p += t.size() + 1;
    }
  }
  // Each followed by the texts after it and the padding.
  std::vector<tessera::PaddedText> views;
};

// The length-known checks over views into one buffer, as the front ends call them.
template <class Judge>
void RunViews(benchmark::State& state, Judge judge, const Texts& texts) {
  for (auto _ : state) {
    int32_t total = 0;
    for (const tessera::PaddedText text : texts.views) total += judge(text);
    benchmark::DoNotOptimize(total);
  }
  const double calls = static_cast<double>(state.iterations()) * static_cast<double>(texts.views.size());
  state.counters["ns/number"] = benchmark::Counter(calls, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void Run(benchmark::State& state, Check check, const Texts& texts) {
  for (auto _ : state) {
    int32_t total = 0;
    for (const char* text : texts.starts) total += check(text);
    benchmark::DoNotOptimize(total);
  }
  const double calls = static_cast<double>(state.iterations()) * static_cast<double>(texts.starts.size());
  state.counters["ns/number"] = benchmark::Counter(calls, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// The same texts as an Arrow column: end to end, without the NULs, and n + 1 offsets.
struct ArrowColumn {
  std::string data;
  std::vector<int64_t> offsets{0};
  explicit ArrowColumn(const Texts& texts) {
    for (const tessera::PaddedText text : texts.views) {
      data += text.text();
      offsets.push_back(static_cast<int64_t>(data.size()));
    }
  }
  std::size_t count() const { return offsets.size() - 1; }
};

template <class Answer, class... Day>
void RunColumn(benchmark::State& state, const char* name, const ArrowColumn& column, Day... day) {
  using Judge = void (*)(const char*, const int64_t*, std::size_t, Day..., Answer*);
  static void* library = Load(TESSERA_LIBRARY);
  const auto judge = reinterpret_cast<Judge>(dlsym(library, name));
  if (!judge) std::exit(1);
  const std::unique_ptr<Answer[]> answers(new Answer[column.count()]);
  for (auto _ : state) {
    judge(column.data.data(), column.offsets.data(), column.count(), day..., answers.get());
    benchmark::DoNotOptimize(answers.get());
  }
  const double calls = static_cast<double>(state.iterations()) * static_cast<double>(column.count());
  state.counters["ns/number"] = benchmark::Counter(calls, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

const Texts& Cards() {
  static const Texts texts(tessera::bench::CardNumbers(1000000));
  return texts;
}
const Texts& Gpas() {
  static const Texts texts(tessera::bench::GpaNumbers(200000));
  return texts;
}

// A typical text and the checks a host would ask of it.
struct Typical {
  const char* label;
  std::string text;
  std::vector<const char*> checks;
};

const std::vector<Typical>& TypicalTexts() {
  const std::vector<const char*> card = {"CheckOrganization", "CheckNumber", "CheckCard"};
  const std::vector<const char*> gpa = {"CheckGPANo", "CheckGPANoExpired", "CheckGPANoAge"};
  static const std::vector<Typical> texts = {
      {"visa16_valid", "4111111111111111", card},
      {"visa16_invalid", "4111111111111112", card},
      {"amex15", "378282246310005", card},
      {"diners14", "30569309025904", card},
      {"empty", "", {"CheckOrganization", "CheckNumber", "CheckCard", "CheckGPANo"}},
      {"gpa_valid", "12345678970-7506154-0909309-0", gpa},
      {"gpa_invalid", "12345678970-7506154-0909309-5", gpa},
      {"1KiB", std::string(1024, '7'), {"CheckNumber", "CheckCard", "CheckGPANo"}},
      {"1MiB", std::string(1 << 20, '7'), {"CheckNumber", "CheckCard", "CheckGPANo"}},
  };
  return texts;
}

const char* const kExports[] = {"IsAmex", "IsDC", "IsDisc", "IsJCB", "IsMC", "IsVisa",
                                "CheckOrganization", "CheckNumber", "CheckCard",
                                "CheckGPANo", "CheckGPANoExpired", "CheckGPANoAge"};

void RegisterAll() {
  for (const char* name : kExports) {
    benchmark::RegisterBenchmark((std::string("cards/") + name).c_str(),
                                 [name](benchmark::State& s) { Run(s, Resolve(name), Cards()); });
    benchmark::RegisterBenchmark((std::string("gpa/") + name).c_str(),
                                 [name](benchmark::State& s) { Run(s, Resolve(name), Gpas()); });
  }
  if (Baseline()) {
    for (const char* name : kExports) {
      benchmark::RegisterBenchmark((std::string("cards/") + name + " (baseline)").c_str(),
                                   [name](benchmark::State& s) { Run(s, Resolve(name, true), Cards()); });
      benchmark::RegisterBenchmark((std::string("gpa/") + name + " (baseline)").c_str(),
                                   [name](benchmark::State& s) { Run(s, Resolve(name, true), Gpas()); });
    }
  }
  benchmark::RegisterBenchmark("cards/JudgeCard (length known)", [](benchmark::State& s) {
    RunViews(s, [](std::string_view t) { return static_cast<int32_t>(tessera::JudgeCard(t).valid()); }, Cards());
  });
  benchmark::RegisterBenchmark("cards/JudgeCardPadded (length known)", [](benchmark::State& s) {
    RunViews(s, [](tessera::PaddedText t) { return static_cast<int32_t>(tessera::JudgeCardPadded(t).valid()); }, Cards());
  });
  benchmark::RegisterBenchmark("gpa/JudgeId (length known)", [](benchmark::State& s) {
    const tessera::Date today{2026, 12, 8};
    RunViews(s, [today](std::string_view t) { return tessera::JudgeId(t, today).age; }, Gpas());
  });
  // Whole columns through the length-aware C interface, one call each.
  benchmark::RegisterBenchmark("cards/tessera_large_strings_check_card (column)", [](benchmark::State& s) {
    static const ArrowColumn column(Cards());
    RunColumn<bool>(s, "tessera_large_strings_check_card", column);
  });
  benchmark::RegisterBenchmark("cards/tessera_large_strings_card_verdict (column)", [](benchmark::State& s) {
    static const ArrowColumn column(Cards());
    RunColumn<tessera_card_verdict>(s, "tessera_large_strings_card_verdict", column);
  });
  benchmark::RegisterBenchmark("gpa/tessera_large_strings_id_verdict (column)", [](benchmark::State& s) {
    static const ArrowColumn column(Gpas());
    const tessera_date today{2026, 12, 8};
    RunColumn<tessera_id_verdict, const tessera_date*>(s, "tessera_large_strings_id_verdict", column, &today);
  });
  benchmark::RegisterBenchmark("cards/strlen", [](benchmark::State& s) { Run(s, Floor(), Cards()); });
  benchmark::RegisterBenchmark("gpa/strlen", [](benchmark::State& s) { Run(s, Floor(), Gpas()); });

  for (const Typical& typical : TypicalTexts()) {
    for (const char* name : typical.checks) {
      benchmark::RegisterBenchmark((std::string(typical.label) + "/" + name).c_str(),
                                   [name, &typical](benchmark::State& s) {
                                     const Texts one(std::vector<std::string>{typical.text});
                                     Run(s, Resolve(name), one);
                                   });
    }
    benchmark::RegisterBenchmark((std::string(typical.label) + "/strlen").c_str(), [&typical](benchmark::State& s) {
      const Texts one(std::vector<std::string>{typical.text});
      Run(s, Floor(), one);
    });
  }
}

}  // namespace

int main(int argc, char** argv) {
  RegisterAll();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
