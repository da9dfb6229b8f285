// threads_test.cpp -- many threads calling every check on shared texts at once
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/cases/cards.h"
#include "tests/cases/exports.h"
#include "tests/cases/gpa.h"

namespace {

using tessera::cases::kExports;

TEST(Threads, EveryThreadGetsTheSingleThreadedAnswers) {
  std::vector<std::string> texts;
  for (const auto& row : tessera::cases::kCardCases) texts.push_back(row.text);
  for (const auto& row : tessera::cases::kGpaLayoutCases) texts.push_back(row.text);
  texts.push_back(std::string(40000, '9'));

  std::vector<int32_t> expected;
  for (const std::string& text : texts)
    for (const auto& e : kExports) expected.push_back(e.check(text.c_str()));

  constexpr int kThreads = 4;
  constexpr int kRounds = 300;
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        // Each thread walks the table from its own starting point.
        for (std::size_t k = 0; k < texts.size(); ++k) {
          const std::size_t i = (k + static_cast<std::size_t>(t) * 7) % texts.size();
          for (std::size_t j = 0; j < std::size(kExports); ++j)
            if (kExports[j].check(texts[i].c_str()) != expected[i * std::size(kExports) + j]) ++mismatches;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
