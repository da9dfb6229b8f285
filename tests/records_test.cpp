// records_test.cpp -- the record reader and its reference against a table of
// cases, each read whole and in reads of every size up to its length
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/records_support.h"

namespace tessera {
namespace {

using tool::Field;
using tool::RecordLayout;

struct Want {
  uint64_t line;
  Field::Kind kind;
  std::string value;
};

RecordLayout Lines(bool header = false) { return {false, ',', {}, header}; }
RecordLayout Csv(std::size_t column, bool header = false, char delimiter = ',') {
  return {true, delimiter, {column, {}}, header};
}

struct Case {
  const char* name;
  std::string input;
  RecordLayout layout;
  std::vector<Want> records;
};

const Field::Kind W = Field::kWhole, M = Field::kMissing;

const std::vector<Case> kCases = {
    // Line ends.
    {"lf", "a\nb\n", Lines(), {{1, W, "a"}, {2, W, "b"}}},
    {"no_final_end", "a\nb", Lines(), {{1, W, "a"}, {2, W, "b"}}},
    {"cr_lf", "a\r\nb\r\n", Lines(), {{1, W, "a"}, {2, W, "b"}}},
    {"lone_cr", "a\rb\r", Lines(), {{1, W, "a"}, {2, W, "b"}}},
    {"lf_cr_is_two", "a\n\rb", Lines(), {{1, W, "a"}, {2, W, ""}, {3, W, "b"}}},
    {"empty_lines", "\n\r\n\r", Lines(), {{1, W, ""}, {2, W, ""}, {3, W, ""}}},
    {"nothing", "", Lines(), {}},
    {"bom_skipped", "\xef\xbb\xbf" "a\n", Lines(), {{1, W, "a"}}},
    {"bom_only_at_start", "a\n\xef\xbb\xbf" "b", Lines(), {{1, W, "a"}, {2, W, "\xef\xbb\xbf" "b"}}},
    {"line_header", "name\na\n", Lines(true), {{2, W, "a"}}},
    {"quotes_mean_nothing_in_lines", "\"a\nb\"\n", Lines(), {{1, W, "\"a"}, {2, W, "b\""}}},
    // CSV fields.
    {"column", "a,b,c\nd,e,f\n", Csv(1), {{1, W, "b"}, {2, W, "e"}}},
    {"last_column_no_end", "a,b", Csv(1), {{1, W, "b"}}},
    {"empty_field", "a,,c\n", Csv(1), {{1, W, ""}}},
    {"trailing_delimiter", "a,\n", Csv(1), {{1, W, ""}}},
    {"missing", "a\nb,c\n", Csv(1), {{1, M, ""}, {2, W, "c"}}},
    {"quoted", "\"a,b\",c\n", Csv(0), {{1, W, "a,b"}}},
    {"doubled_quote", "\"a\"\"b\"\n", Csv(0), {{1, W, "a\"b"}}},
    {"empty_quoted", "\"\",x\n", Csv(0), {{1, W, ""}}},
    {"quote_inside_plain", "a\"b,c\n", Csv(0), {{1, W, "a\"b"}}},
    {"bytes_after_closing_quote", "\"a\"b\"c,d\n", Csv(0), {{1, W, "ab\"c"}}},
    {"line_ends_inside_quotes", "\"a\nb\r\nc\rd\",x\ny,z\n", Csv(1), {{1, W, "x"}, {5, W, "z"}}},
    {"quoted_line_end_kept", "\"a\r\nb\"\n", Csv(0), {{1, W, "a\r\nb"}}},
    {"csv_cr_lf", "a,b\r\nc,d\r\n", Csv(1), {{1, W, "b"}, {2, W, "d"}}},
    {"csv_lone_cr", "a,b\rc,d", Csv(1), {{1, W, "b"}, {2, W, "d"}}},
    {"tab_delimiter", "a\tb,c\n", Csv(1, false, '\t'), {{1, W, "b,c"}}},
    // An empty line is one record of one empty field; so is a blank one.
    {"empty_line", "a,b\n\nc,d\n", Csv(1), {{1, W, "b"}, {2, W, ""}, {3, W, "d"}}},
    {"blank_line", "a,b\n \t\n", Csv(1), {{1, W, "b"}, {2, W, ""}}},
    {"blank_then_empty_field", " ,\n", Csv(1), {{1, W, ""}}},
    {"one_plain_field_is_missing", "x\n", Csv(1), {{1, M, ""}}},
    {"csv_header", "h1,h2\na,b\n", Csv(1, true), {{2, W, "b"}}},
    {"csv_bom_header", "\xef\xbb\xbfh\nv\n", Csv(0, true), {{2, W, "v"}}},
    {"unclosed_quote_runs_to_end", "a,\"b\nc", Csv(1), {{1, W, "b\nc"}}},
};

class RecordCase : public ::testing::TestWithParam<Case> {};

TEST_P(RecordCase, ReadAsTheRulesSay) {
  const Case& c = GetParam();
  std::vector<reference::Record> want;
  for (const Want& w : c.records) {
    reference::Record r{w.line, w.kind, w.value, {}};
    want.push_back(r);
  }
  EXPECT_EQ(reference::ReadRecords(c.input, c.layout).records, want) << "the reference";
  EXPECT_EQ(testing::FastRecords(c.input, c.layout).records, want) << "the fast reader";
  for (std::size_t size = 1; size < c.input.size(); ++size)
    EXPECT_EQ(testing::FastRecords(c.input, c.layout, {size}).records, want) << "in reads of " << size;
}

INSTANTIATE_TEST_SUITE_P(Table, RecordCase, ::testing::ValuesIn(kCases),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(Records, HeaderNamesKeptColumnsAndCounts) {
  RecordLayout layout = Csv(2, true);
  layout.columns.kept = {0, 3};
  const std::string input = "\"na,me\",id,card,x\nann,1,4111,y\nbob\n";
  reference::Records want;
  want.header = {"na,me", "id", "card", "x"};
  want.records = {{2, W, "4111", {"ann", "y"}}, {3, M, "", {"bob", std::nullopt}}};
  want.found = 1;
  want.missing = 1;
  want.first_missing_line = 3;
  want.widest_missing = 1;
  EXPECT_EQ(reference::ReadRecords(input, layout), want);
  EXPECT_EQ(testing::FastRecords(input, layout), want);
  EXPECT_EQ(testing::FastRecords(input, layout, {3, 1, 7}), want);
}

TEST(Records, UnclosedQuoteIsReportedAtItsRecord) {
  const std::string input = "a\nb,\"c\n";
  EXPECT_EQ(reference::ReadRecords(input, Csv(0)).unclosed_quote_line, 2u);
  EXPECT_EQ(testing::FastRecords(input, Csv(0)).unclosed_quote_line, 2u);
}

// A field longer than the reader's buffer streams past in pieces.
TEST(Records, LongFieldsStream) {
  const std::string big(tool::kReadBlock + 100, '4');
  const std::string input = "a,\"" + big + "\"\n" + big + "\nb,c\n";
  const reference::Records want = reference::ReadRecords(input, Csv(1));
  ASSERT_EQ(want.records.size(), 3u);
  EXPECT_EQ(want.records[0].value, big);
  EXPECT_EQ(testing::FastRecords(input, Csv(1)), want);
  EXPECT_EQ(testing::FastRecords(input, Csv(1), {4093}), want);
  EXPECT_EQ(testing::FastRecords(input, Lines()), reference::ReadRecords(input, Lines()));
}

}  // namespace
}  // namespace tessera
