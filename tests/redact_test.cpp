// redact_test.cpp -- card numbers replaced in text: each form, block edges, the bytes around, fixed points
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cards/redact.h"

namespace tessera {
namespace {

using namespace std::string_literals;

// A stand-in for a keyed hash: the number of digits, so tests can see what it was given.
std::size_t CountTag(void*, Text digits, char* out) {
  const std::string tag = "[card:" + std::to_string(digits.size()) + "]";
  tag.copy(out, tag.size());
  return tag.size();
}

RedactOptions Form(RedactForm form) {
  RedactOptions options;
  options.form = form;
  options.replacement = "[card]";
  options.tag = CountTag;
  return options;
}

struct RedactCase {
  RedactForm form;
  std::string text;
  std::string redacted;
  const char* why;
};

const std::vector<RedactCase>& Cases() {
  static const std::vector<RedactCase> rows = {
      {RedactForm::Mask, "card 4111111111111111 ok", "card ************1111 ok", "the last four stay"},
      {RedactForm::Mask, "4111 1111 1111 1111", "**** **** **** 1111", "spaces kept"},
      {RedactForm::Mask, "4111-1111-1111-1111\n", "****-****-****-1111\n", "hyphens kept"},
      {RedactForm::Mask, "amex 378282246310005.", "amex ***********0005.", "fifteen digits"},
      {RedactForm::Mask, "4111111111111112", "4111111111111112", "failing the Luhn check: no card"},
      {RedactForm::Mask, "order 4111 1111 1111 111", "order 4111 1111 1111 111", "fifteen digits: no Visa"},
      {RedactForm::Mask, "\xff\0 4111111111111111\r\n\xfe"s, "\xff\0 ************1111\r\n\xfe"s,
       "invalid UTF-8, NUL and CR LF untouched"},
      {RedactForm::Mask, "4111111111111111 5555555555554444", "**************** ************4444",
       "two numbers joined: the first hides its last four"},
      {RedactForm::Mask, "12 4111111111111111 5", "12 **************** 5", "digits joined after it: all hidden"},
      {RedactForm::Mask, "4111111111111111", "************1111", "the input ends inside the number"},
      {RedactForm::First6Last4, "4111-1111-1111-1111", "4111-11**-****-1111", "first six, last four"},
      {RedactForm::First6Last4, "x378282246310005x", "x378282*****0005x", "amex"},
      {RedactForm::First6Last4, "12 4111111111111111;", "12 ************1111;", "digits joined before it"},
      {RedactForm::Replace, "a 4111111111111111\nb 4111 1111 1111 1111", "a [card]\nb [card]", "the text"},
      {RedactForm::Replace, "5555-5555-5555-4444", "[card]", "separators go with the number"},
      {RedactForm::Tag, "pan=4111 1111 1111 1111&x=1", "pan=[card:16]&x=1", "the tag gets the digits alone"},
      {RedactForm::Tag, "no number here 1234", "no number here 1234", "nothing to tag"},
  };
  return rows;
}

std::string Streamed(const std::string& text, const RedactOptions& options, const std::vector<std::size_t>& cuts) {
  CardRedactor redactor(options);
  std::string out;
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    redactor.Redact(Text(text).substr(from, cut - from), out);
    from = cut;
  }
  redactor.Redact(Text(text).substr(from), out);
  redactor.Finish(out);
  return out;
}

TEST(Redact, EachForm) {
  for (const RedactCase& row : Cases())
    EXPECT_EQ(RedactCards(row.text, Form(row.form)), row.redacted) << row.why;
}

TEST(Redact, EveryBlockEdge) {
  for (const RedactCase& row : Cases()) {
    for (std::size_t cut = 0; cut <= row.text.size(); ++cut)
      EXPECT_EQ(Streamed(row.text, Form(row.form), {cut}), row.redacted) << row.why << " cut at " << cut;
    std::vector<std::size_t> bytes;
    for (std::size_t cut = 1; cut < row.text.size(); ++cut) bytes.push_back(cut);
    EXPECT_EQ(Streamed(row.text, Form(row.form), bytes), row.redacted) << row.why << " a byte at a time";
  }
}

TEST(Redact, FixedPoint) {
  for (const RedactCase& row : Cases())
    EXPECT_EQ(RedactCards(row.redacted, Form(row.form)), row.redacted) << row.why;
}

TEST(Redact, OneRedactorManyInputs) {
  CardRedactor redactor(Form(RedactForm::Mask));
  for (int input = 0; input < 2; ++input) {
    std::string out;
    redactor.Redact("x 4111 1111 ", out);
    redactor.Redact("1111 1111", out);
    redactor.Finish(out);
    EXPECT_EQ(out, "x **** **** **** 1111") << "input " << input;
    EXPECT_EQ(redactor.replaced_total(), static_cast<uint64_t>(input + 1));
  }
}

// Text of digits, separators and other bytes with card numbers among them.
std::string Noise(std::mt19937& random, std::size_t size) {
  static const std::string kNumbers[] = {"4111111111111111", "5555 5555 5555 4444", "378282246310005",
                                         "4012-8888-8888-1881", "6011111111111117"};
  static const std::string kBytes = "0123456789  --ab\n\0\xff"s;
  std::string text;
  while (text.size() < size) {
    if (random() % 8 == 0)
      text += kNumbers[random() % std::size(kNumbers)];
    else
      text += kBytes[random() % kBytes.size()];
  }
  return text;
}

// The rules, not the code: outside the findings every byte is the input's;
// inside, separators stay, and no more than four digits are shown.
TEST(Redact, MaskKeepsEveryOtherByte) {
  std::mt19937 random(22);
  for (int round = 0; round < 200; ++round) {
    const std::string text = Noise(random, 300 + random() % 300);
    std::vector<std::size_t> cuts;
    for (std::size_t at = random() % 40; at < text.size(); at += 1 + random() % 70) cuts.push_back(at);
    const std::string out = Streamed(text, Form(RedactForm::Mask), cuts);
    ASSERT_EQ(out.size(), text.size());
    std::vector<bool> inside(text.size(), false);
    for (const CardFinding& f : FindCards(text, ScanRule::Card)) {
      std::size_t shown = 0;
      for (std::size_t i = f.offset; i < f.offset + f.size; ++i) {
        inside[i] = true;
        if (IsDigit(text[i])) {
          shown += out[i] == text[i];
          EXPECT_TRUE(out[i] == text[i] || out[i] == '*');
        } else {
          EXPECT_EQ(out[i], text[i]);
        }
      }
      EXPECT_LE(shown, 4u) << f.number();
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (!inside[i]) {
        ASSERT_EQ(out[i], text[i]) << "round " << round << " byte " << i;
      }
    }
    EXPECT_TRUE(FindCards(out, ScanRule::Card).empty()) << "round " << round;
    EXPECT_EQ(RedactCards(out), out) << "round " << round;
  }
}

TEST(Redact, LongChainsStayBounded) {
  // A chain far longer than any number: held back only up to the bound.
  std::string digits(10000, '1');
  CardRedactor redactor;
  std::string out;
  redactor.Redact(digits, out);
  EXPECT_GE(out.size(), digits.size() - kRedactHold);
  redactor.Finish(out);
  EXPECT_EQ(out, digits);
}

}  // namespace
}  // namespace tessera
