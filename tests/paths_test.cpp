// paths_test.cpp -- the generated and vector paths give the rules' own answers
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "cards/luhn.h"
#include "frame/checks.h"
#include "iddoc/gpa.h"
#include "tests/cases/gpa.h"
#include "tests/isas.h"

namespace tessera {
namespace {

std::string RandomText(std::mt19937& random, std::size_t length) {
  static const std::string alphabet = std::string("0123456789") + "0123456789 -A\xff\x80";
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % alphabet.size()];
  return text;
}

// Both sides of every vector width, and long texts for the wide path, in
// every form this processor runs.
TEST(Paths, LuhnSumsAgreeAtEveryLength) {
  std::mt19937 random(7);
  for (std::size_t length = 0; length <= 300; ++length) {
    for (int round = 0; round < 20; ++round) {
      const std::string text = RandomText(random, length);
      const int16_t scalar = ScalarLuhnSum(text);
      ASSERT_EQ(LuhnSum(text), scalar) << "length " << length << ": " << text;
      const PaddedCopy padded(text, '9');
      ASSERT_EQ(LuhnSumPadded(padded.text()), scalar) << "padded, length " << length;
      for (const simd::Isa isa : kRunningIsas) {
        const LuhnForms& forms = LuhnFormsFor(isa);
        ASSERT_EQ(forms.sum(padded.text().bytes(), length), scalar) << IsaName(isa) << ", length " << length;
        // Batches of one to five, so that every lane of a batch form gets a turn.
        const std::vector<PaddedText> batch(static_cast<std::size_t>(1 + round % 5), padded.text());
        bool passes[5];
        forms.checks(batch.data(), batch.size(), passes);
        for (std::size_t i = 0; i < batch.size(); ++i)
          ASSERT_EQ(passes[i], scalar % 10 == 0) << IsaName(isa) << " batch, length " << length;
      }
      LuhnStream stream;
      for (std::size_t at = 0; at < length; at += 5) stream.Add(std::string_view(text).substr(at, 5));
      ASSERT_EQ(stream.Sum(), scalar) << "in pieces, length " << length;
    }
  }
  for (std::size_t length : {32767u, 65536u, 1u << 20}) {
    const std::string text = RandomText(random, length);
    EXPECT_EQ(LuhnSum(text), ScalarLuhnSum(text)) << length;
    for (const simd::Isa isa : kRunningIsas)
      EXPECT_EQ(LuhnFormsFor(isa).sum(reinterpret_cast<const unsigned char*>(text.data()), length), ScalarLuhnSum(text))
          << IsaName(isa) << ", length " << length;
  }
}

// Every combination of the characters the rules name, and others, in the
// first four places, at every length a brand takes and around it.
TEST(Paths, BrandLookupAgreesWithTheRules) {
  const std::string bytes = "0123456789A -\x80\xff";
  for (std::size_t length = 0; length <= 18; ++length) {
    for (char a : bytes)
      for (char b : bytes)
        for (char c : std::string("01356X"))
          for (char d : std::string("01X")) {
            std::string text(length, '0');
            const char start[] = {a, b, c, d};
            for (std::size_t i = 0; i < length && i < 4; ++i) text[i] = start[i];
            ASSERT_EQ(BrandOf(text), RuleBrandOf(text)) << "length " << length << ": " << text.substr(0, 4);
          }
  }
}

// The current table's automaton against its rules: every pair of leading
// characters, then every end of every range and the digits beside it in
// the places after, at every length around the brands' lengths.
TEST(Paths, CurrentBrandLookupAgreesWithTheRules) {
  std::string later = "0:";
  for (const BrandRule& rule : kCurrentBrandRules)
    for (const BrandPrefix& prefix : rule.prefixes)
      for (char c : prefix.text)
        for (int step : {-1, 0, 1})
          if (IsDigit(c) && IsDigit(static_cast<char>(c + step)) && later.find(static_cast<char>(c + step)) == std::string::npos)
            later += static_cast<char>(c + step);
  const std::string first = "0123456789:";
  for (std::size_t length : {12u, 13u, 14u, 15u, 16u, 17u, 19u, 20u})
    for (char a : first)
      for (char b : first)
        for (char c : later)
          for (char d : later)
            for (char e : std::string("0125679")) {
              std::string text(length, '9');
              text[0] = a, text[1] = b, text[2] = c, text[3] = d, text[4] = e, text[5] = e;
              ASSERT_EQ(BrandOf(text, BrandTable::Current), RuleBrandOf(text, BrandTable::Current)) << text;
            }
}

// Every single-byte change of the worked example at every position.
TEST(Paths, GpaVectorCheckAgrees) {
  for (std::size_t at = 0; at < kGpaLength; ++at) {
    for (int byte = 0; byte < 256; ++byte) {
      std::string text = cases::kWorkedGpa;
      text[at] = static_cast<char>(byte);
      ASSERT_EQ(CheckGPANo(text), ScalarCheckGPANo(text)) << "position " << at + 1 << " byte " << byte;
    }
  }
  for (const auto& row : cases::kGpaLayoutCases) EXPECT_EQ(CheckGPANo(row.text), ScalarCheckGPANo(row.text));
}

}  // namespace
}  // namespace tessera
