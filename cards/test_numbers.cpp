// test_numbers.cpp -- the published test numbers, in the order of their digits
#include "cards/test_numbers.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace tessera {
namespace {

// Stripe: "Testing" (docs.stripe.com/testing). PayPal: "Test Credit Card
// Account Numbers" of Payflow. Braintree: "Testing and Go Live". MPGS:
// Mastercard Payment Gateway Services test cards. Authorize.net: its
// testing guide.
constexpr TestNumber kTestNumbers[] = {
    {"2223000000000007", "MPGS"},          {"2223000048400011", "Braintree"},   {"2223003122003222", "Stripe"},
    {"3056930009020004", "Stripe"},        {"30569309025904", "PayPal"},        {"3088000000000017", "Authorize.net"},
    {"3530111333300000", "PayPal"},        {"3566002020360505", "Stripe"},      {"36227206271667", "Stripe"},
    {"370000000000002", "Authorize.net"},  {"371449635398431", "Stripe"},       {"378282246310005", "Stripe"},
    {"378734493671000", "PayPal"},         {"38000000000006", "Authorize.net"}, {"38520000023237", "PayPal"},
    {"4000000000000002", "Stripe"},        {"4000000000000010", "Stripe"},      {"4000000000000028", "Stripe"},
    {"4000000000000036", "Stripe"},        {"4000000000000044", "Stripe"},      {"4000000000000069", "Stripe"},
    {"4000000000000077", "Stripe"},        {"4000000000000093", "Stripe"},      {"4000000000000101", "Stripe"},
    {"4000000000000119", "Stripe"},        {"4000000000000127", "Stripe"},      {"4000000000000341", "Stripe"},
    {"4000000000003220", "Stripe"},        {"4000000000009995", "Stripe"},      {"4000056655665556", "Stripe"},
    {"4005519200000004", "Braintree"},     {"4007000000027", "Authorize.net"},  {"4009348888881881", "Braintree"},
    {"4012000033330026", "Braintree"},     {"4012000077777777", "Braintree"},   {"4012888818888", "Authorize.net"},
    {"4012888888881881", "PayPal"},        {"4111111111111111", "PayPal"},      {"4217651111111119", "Braintree"},
    {"4222222222222", "PayPal"},           {"4242424242424242", "Stripe"},      {"4500600000000061", "Braintree"},
    {"5019717010103742", "PayPal"},        {"5105105105105100", "Stripe"},      {"5123450000000008", "MPGS"},
    {"5149612222222229", "MPGS"},          {"5200828282828210", "Stripe"},      {"5555555555554444", "Stripe"},
    {"5610591081018250", "PayPal"},        {"6011000000000012", "Authorize.net"}, {"6011000990139424", "Stripe"},
    {"6011111111111117", "Stripe"},        {"6011981111111113", "Stripe"},      {"6200000000000005", "Stripe"},
    {"6200000000000047", "Stripe"},        {"6205500000000000004", "Stripe"},   {"6304000000000000", "Braintree"},
    {"6331101999990016", "PayPal"},        {"6555900000604105", "Stripe"},
};

constexpr bool Before(const TestNumber& a, const TestNumber& b) { return a.digits < b.digits; }

static_assert(std::ranges::is_sorted(kTestNumbers, Before), "listed in order, to be read by eye");

// Each number as its value (19 digits fit in 64 bits) and length, in the
// order of the values, so that a look-up compares integers.
struct Value {
  uint64_t value;
  std::size_t length;
};

constexpr uint64_t ValueOf(Text digits) {
  uint64_t value = 0;
  for (char c : digits) value = value * 10 + static_cast<uint64_t>(c - '0');
  return value;
}

constexpr auto kValues = [] {
  std::array<Value, std::size(kTestNumbers)> values{};
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = {ValueOf(kTestNumbers[i].digits), kTestNumbers[i].digits.size()};
  std::ranges::sort(values, {}, &Value::value);
  return values;
}();

}  // namespace

std::span<const TestNumber> TestNumbers() { return kTestNumbers; }

bool IsTestNumber(uint64_t value, std::size_t length) {
  const auto* at = std::ranges::lower_bound(kValues, value, {}, &Value::value);
  return at != kValues.end() && at->value == value && at->length == length;
}

bool IsTestNumber(Text digits) {
  if (digits.size() < 13 || digits.size() > 19 || !std::ranges::all_of(digits, IsDigit)) return false;
  return IsTestNumber(ValueOf(digits), digits.size());
}

}  // namespace tessera
