// tool_test.cpp -- the tessera tool as its users run it: bytes in, options, output and exit status
//
// Every table runs the built program as a process. Expected outputs come
// from the rules of the checks and the tool's documented formats: the Luhn
// sums of the numbers used are worked out in the comments where they are
// not the well-known test numbers.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "make_files.h"
#include "process.h"

namespace {

using tessera_test::Outcome;
using tessera_test::Slurp;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size()) text.replace(at, from.size(), to);
  return text;
}

// A row of a table: the files it needs, the command line after "tessera"
// ({dir} stands for the folder of the files), standard input, and what
// must come out.
struct Row {
  const char* why;
  std::vector<std::string> args;
  std::string input;
  std::string out;
  int status;
  std::string err = "";
  std::vector<std::pair<std::string, std::string>> files = {};
};

class Tool : public tessera_test::ScratchTest {
 protected:
  Tool() : ScratchTest("tessera-tool-") {}

  // Runs the tool with standard input from `input` and the outputs in files.
  Outcome Run(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> words = {TESSERA_TOOL};
    for (const std::string& a : args) words.push_back(Replace(a, "{dir}", dir_));
    return Execute(words, File("stdin", input));
  }

  Outcome Execute(std::vector<std::string> words, const std::string& in_path) {
    return tessera_test::Execute(std::move(words), in_path, dir_ + "/stdout", dir_ + "/stderr");
  }

  void Expect(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      for (const auto& [name, content] : row.files) File(name, content);
      const Outcome run = Run(row.args, row.input);
      EXPECT_EQ(run.out, Replace(row.out, "{dir}", dir_)) << row.why;
      EXPECT_EQ(run.status, row.status) << row.why;
      EXPECT_EQ(run.err, Replace(row.err, "{dir}", dir_)) << row.why;
    }
  }
};

const std::string kUsageHint = "try 'tessera card --help'\n";

#if defined(TESSERA_SANITIZED)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// ---- verdicts and formats ----

TEST_F(Tool, CardVerdictsInEveryFormat) {
  Expect({
      {"text: a valid Visa, a checksum failure, a number of no brand",
       {"card", "4111111111111111", "4111111111111112", "34000000000000"},
       "",
       "4111111111111111: valid (Visa, checksum ok)\n"
       "4111111111111112: invalid (Visa, checksum fails)\n"
       // 14 characters beginning 34: no rule; 4 plain + 3 doubled = 10
       "34000000000000: invalid (no brand, checksum ok)\n",
       1},
      {"tsv",
       {"card", "--format", "tsv", "378282246310005", "4111111111111", "34000000000000"},
       "",
       "378282246310005\tvalid\tAmerican Express\tpass\tnone\n"
       // the worked example: 13 characters, sum 22
       "4111111111111\tinvalid\tVisa\tfail\tnone\n"
       "34000000000000\tinvalid\tnone\tpass\tnone\n",
       1},
      {"json: file and line always there, brand \"none\" when judged and there is none",
       {"card", "--format=json", "5555555555554444", "34000000000000"},
       "",
       "{\"path\":\"(argument)\",\"line\":1,\"record\":1,\"number\":\"5555555555554444\",\"valid\":true,\"brand\":\"MasterCard\","
       "\"checksum\":true,\"hint\":null}\n"
       "{\"path\":\"(argument)\",\"line\":2,\"record\":2,\"number\":\"34000000000000\",\"valid\":false,\"brand\":\"none\","
       "\"checksum\":true,\"hint\":null}\n",
       1},
      {"every number valid: status 0",
       {"card", "6011111111111117", "5555555555554444"},
       "",
       "6011111111111117: valid (Discover, checksum ok)\n5555555555554444: valid (MasterCard, checksum ok)\n",
       0},
  });
}

TEST_F(Tool, BrandRangesAreTheTablesOnly) {
  Expect({
      // 2-series MasterCard: Luhn 9 + 1 + 2*2 + 2 + 2*2 = 20
      {"a 2-series MasterCard number is no brand", {"card", "2221000000000009"}, "",
       "2221000000000009: invalid (no brand, checksum ok)\n", 1},
      // 19 digits: 4 and eighteen 0s... the sum of a 4 at an even place from the right is 4
      {"a 19-digit number is no brand", {"card", "--format", "tsv", "4000000000000000000"}, "",
       "4000000000000000000\tinvalid\tnone\tfail\tnone\n", 1},
  });
  const Outcome help = Run({"card", "--help"});
  EXPECT_NE(help.out.find("2221000000000009 is \"no brand\""), std::string::npos);
}

TEST_F(Tool, IdVerdictsAsOfAGivenDay) {
  const std::string gpa = "12345678970-7506154-0909309-0";  // the worked example: expires 2009-09-30, born 75
  Expect({
      {"the expiry day itself is still valid; 09 - 75 + 100 = 34", {"id", "--today", "2009-09-30", gpa}, "",
       gpa + ": valid (check digits ok, not expired, age 34)\n", 0},
      {"the next day it has expired", {"id", "--today=2009-10-01", gpa}, "",
       gpa + ": invalid (check digits ok, expired, age 34)\n", 1},
      {"wrong check digits: expiry and age not judged", {"id", "--today", "2009-09-30", "--format", "tsv",
       "12345678970-7506154-0909309-5"}, "", "12345678970-7506154-0909309-5\tinvalid\tfail\tn/a\tn/a\tnone\n", 1},
      {"json: null where not judged", {"id", "--today", "2009-09-30", "--format", "json", "x"}, "",
       "{\"path\":\"(argument)\",\"line\":1,\"record\":1,\"number\":\"x\",\"valid\":false,\"check_digits\":false,"
       "\"unexpired\":null,\"age\":null,\"hint\":null}\n", 1},
      {"json, valid", {"id", "--today", "2004-01-01", "--format", "json", gpa}, "",
       "{\"path\":\"(argument)\",\"line\":1,\"record\":1,\"number\":\"" + gpa +
           "\",\"valid\":true,\"check_digits\":true,\"unexpired\":true,\"age\":29,\"hint\":null}\n", 0},
  });
}

TEST_F(Tool, EmptyRecordsHaveTheSameColumns) {
  Expect({
      {"text", {"card"}, "\n  \n", ": empty (brand n/a, checksum n/a)\n  : empty (brand n/a, checksum n/a)\n", 0},
      {"tsv", {"card", "--format", "tsv"}, "\t\n", "\\x09\tempty\tn/a\tn/a\tn/a\n", 0},
      {"json", {"card", "--format", "json"}, "\n",
       "{\"path\":\"(standard input)\",\"line\":1,\"record\":1,\"number\":\"\",\"valid\":null,\"brand\":null,\"checksum\":null,\"hint\":null}\n", 0},
      {"id text", {"id", "--today", "2009-09-30"}, " \n", " : empty (check digits n/a, expiry n/a, age n/a)\n", 0},
      {"id tsv", {"id", "--today", "2009-09-30", "--format", "tsv"}, "\n", "\tempty\tn/a\tn/a\tn/a\tn/a\n", 0},
      {"id json", {"id", "--today", "2009-09-30", "--format", "json"}, "\n",
       "{\"path\":\"(standard input)\",\"line\":1,\"record\":1,\"number\":\"\",\"valid\":null,\"check_digits\":null,"
       "\"unexpired\":null,\"age\":null,\"hint\":null}\n", 0},
      {"a trailing blank line does not fail a clean file", {"card", "--format", "tsv"}, "4111111111111111\n\n",
       "4111111111111111\tvalid\tVisa\tpass\tnone\n\tempty\tn/a\tn/a\tn/a\n", 0},
  });
}

TEST_F(Tool, NulBytesAreCharactersLikeAnyOther) {
  Expect({
      // 17 characters: no brand; the NUL counts 0 and shifts the doubling: 8 ones doubled (16), 7 plain, 4 = 27
      {"a NUL after a Visa number", {"card", "--format", "tsv"}, std::string("4111111111111111\0\n", 18),
       "4111111111111111\\x00\tinvalid\tnone\tfail\tnone\n", 1},
      {"the same columns in JSON", {"card", "--format", "json"}, std::string("\0\n", 2),
       "{\"path\":\"(standard input)\",\"line\":1,\"record\":1,\"number\":\"\\u0000\",\"valid\":false,\"brand\":\"none\","
       "\"checksum\":true,\"hint\":null}\n", 1},
      {"id: no special shape", {"id", "--today", "2009-09-30", "--format", "tsv"}, std::string("\0\n", 2),
       "\\x00\tinvalid\tfail\tn/a\tn/a\tnone\n", 1},
  });
}

// ---- input: lines ----

TEST_F(Tool, LineEndings) {
  const std::string tsv_visa = "4111111111111111\tvalid\tVisa\tpass\tnone\n", tsv_amex = "378282246310005\tvalid\tAmerican Express\tpass\tnone\n";
  Expect({
      {"LF", {"card", "--format", "tsv"}, "4111111111111111\n378282246310005\n", tsv_visa + tsv_amex, 0},
      {"CR LF", {"card", "--format", "tsv"}, "4111111111111111\r\n378282246310005\r\n", tsv_visa + tsv_amex, 0},
      {"CR alone, as old Mac files", {"card", "--format", "tsv"}, "4111111111111111\r378282246310005\r", tsv_visa + tsv_amex, 0},
      {"no final line ending", {"card", "--format", "tsv"}, "4111111111111111\n378282246310005", tsv_visa + tsv_amex, 0},
      {"CR CR LF: an empty line between", {"card", "--format", "tsv", "-n"}, "4111111111111111\r\r\n378282246310005",
       "(standard input)\t1\t1\t" + tsv_visa + "(standard input)\t2\t2\t\tempty\tn/a\tn/a\tn/a\n(standard input)\t3\t3\t" + tsv_amex, 0},
      {"LF CR: two line ends", {"card", "--format", "tsv", "-n"}, "4111111111111111\n\r378282246310005",
       "(standard input)\t1\t1\t" + tsv_visa + "(standard input)\t2\t2\t\tempty\tn/a\tn/a\tn/a\n(standard input)\t3\t3\t" + tsv_amex, 0},
      {"empty input", {"card"}, "", "", 0},
  });
}

TEST_F(Tool, CrLfSplitAcrossReads) {
  // The CR ends one read buffer and the LF begins the next: one line end.
  std::string input;
  while (input.size() < (256u << 10) - 18) input += "4111111111111111\n";
  input += std::string((256u << 10) - 1 - input.size(), '9') + "\r\n4111111111111111\n";
  const Outcome run = Run({"card", "--format", "tsv", "--summary", "--invalid"}, input);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.find("empty               0\n") != std::string::npos, true) << run.err;
  EXPECT_NE(run.err.find("records             "), std::string::npos);
}

TEST_F(Tool, ByteOrderMarkIsSkippedAtTheStartOfEachInput) {
  const std::string bom = "\xef\xbb\xbf";
  Expect({
      {"standard input", {"card"}, bom + "4111111111111111\n", "4111111111111111: valid (Visa, checksum ok)\n", 0},
      {"each file", {"card", "-f", "{dir}/a", "-f", "{dir}/b"}, "",
       "4111111111111111: valid (Visa, checksum ok)\n378282246310005: valid (American Express, checksum ok)\n", 0, "",
       {{"a", bom + "4111111111111111\n"}, {"b", bom + "378282246310005"}}},
      {"only at the start: elsewhere it is data", {"card", "--format", "tsv"}, "1\n" + bom + "2\n",
       "1\tinvalid\tnone\tfail\tnone\n\xef\xbb\xbf" "2\tinvalid\tnone\tfail\tnone\n", 1},
      {"before a CSV header", {"card", "--column", "card"}, bom + "card\n4111111111111111\n",
       "4111111111111111: valid (Visa, checksum ok)\n", 0},
  });
}

TEST_F(Tool, InputsInTheOrderGiven) {
  Expect({
      {"files, standard input and arguments", {"card", "--format", "tsv", "-f", "{dir}/b", "-", "4111111111111111", "--file", "-"},
       "5555555555554444\n",
       "378282246310005\tvalid\tAmerican Express\tpass\tnone\n5555555555554444\tvalid\tMasterCard\tpass\tnone\n"
       "4111111111111111\tvalid\tVisa\tpass\tnone\n",
       0, "", {{"b", "378282246310005\n"}}},
      {"--file - is standard input", {"card", "--file", "-"}, "4111111111111111", "4111111111111111: valid (Visa, checksum ok)\n", 0},
      {"a missing file: status 2, the rest still checked", {"card", "-f", "{dir}/missing", "4111111111111111"}, "",
       "4111111111111111: valid (Visa, checksum ok)\n", 2, "tessera: cannot open {dir}/missing: No such file or directory\n"},
      {"a folder cannot be read", {"card", "-f", "{dir}"}, "", "", 2, "tessera: cannot read {dir}: Is a directory\n"},
  });
}

// ---- input: CSV and TSV ----

TEST_F(Tool, CsvRecords) {
  const std::string pay =
      "id,name,card,amount\r\n"
      "1,\"Smith, J\",4111111111111111,10.00\r\n"
      "2,\"Say \"\"hi\"\"\",\"5555555555554444\",3\r\n"
      "3,\"two\r\nlines\",4111111111111112,1\r\n"
      "\r\n"
      "4,short\r\n";
  Expect({
      {"column by header name; delimiters, doubled quotes and line breaks inside quotes; CRLF; lines where records start",
       {"card", "-n", "--column", "card", "-f", "{dir}/pay.csv"}, "",
       "{dir}/pay.csv:2: 4111111111111111: valid (Visa, checksum ok)\n"
       "{dir}/pay.csv:3: 5555555555554444: valid (MasterCard, checksum ok)\n"
       "{dir}/pay.csv:4: 4111111111111112: invalid (Visa, checksum fails)\n"
       "{dir}/pay.csv:6: : empty (brand n/a, checksum n/a)\n"
       "{dir}/pay.csv:7: : empty (brand n/a, checksum n/a)\n",
       1, "tessera: {dir}/pay.csv: 1 record has no field 'card', reported empty (the first at line 7)\n",
       {{"pay.csv", pay}}},
      {"semicolons", {"card", "-d", ";", "-c", "2", "--no-header"}, "1;4111111111111111;x\n2;\"5555 5555\";y\n",
       "4111111111111111: valid (Visa, checksum ok)\n5555 5555: invalid (no brand, checksum fails)\n", 1},
      {"quoted, grouped, stripped: valid", {"card", "--csv", "--no-header", "--strip", "--mask"}, "\"5555 5555 5555 4444\"\n",
       "5555 55** **** 4444: valid (MasterCard, checksum ok)\n", 0},
      {"TSV", {"card", "--tsv", "--column", "card"}, "name\tcard\nJ\t378282246310005\n",
       "378282246310005: valid (American Express, checksum ok)\n", 0},
      {"a delimiter inside quotes in TSV", {"card", "-t", "-c", "2", "--no-header", "--format", "tsv"}, "\"a\tb\"\t1\n",
       "1\tinvalid\tnone\tfail\tnone\n", 1},
      {"text after a closing quote is kept", {"card", "--csv", "--no-header"}, "\"4111\"111111111111\n",
       "4111111111111111: valid (Visa, checksum ok)\n", 0},
      {"a quote inside an unquoted field is a character", {"card", "--csv", "--no-header", "-c", "2", "--format", "tsv"},
       "a\"b,4111111111111111\n", "4111111111111111\tvalid\tVisa\tpass\tnone\n", 0},
      {"a quote left open: the rest is the field, and status 2", {"card", "--csv", "--no-header", "--format", "tsv"},
       // "2\n3\n": 3 and 2 doubled, 6 + 4 = 10
       "1\n\"2\n3\n", "1\tinvalid\tnone\tfail\tnone\n2\\x0a3\\x0a\tinvalid\tnone\tpass\tnone\n", 2,
       "tessera: (standard input):2: a quoted field runs to the end of the input without its closing quote\n"},
      {"no such column", {"card", "-c", "pan", "-f", "{dir}/h.csv"}, "", "", 2,
       "tessera: {dir}/h.csv: no column 'pan' in the header ('id', 'card')\n", {{"h.csv", "id,card\n1,2\n"}}},
      {"a CR-only CSV", {"card", "--csv", "--no-header", "-c", "2"}, "a,4111111111111111\rb,378282246310005\r",
       "4111111111111111: valid (Visa, checksum ok)\n378282246310005: valid (American Express, checksum ok)\n", 0},
  });
}

TEST_F(Tool, CsvHasAHeaderUnlessToldOtherwise) {
  const std::string visa = "4111111111111111: valid (Visa, checksum ok)\n";
  // "card": no digits, sum 0; "4111111111111112" fails
  const std::string header_checked = "card\tinvalid\tnone\tpass\tnone\n4111111111111111\tvalid\tVisa\tpass\tnone\n";
  Expect({
      {"--csv", {"card", "--csv"}, "card\n4111111111111111\n", visa, 0},
      {"--column by number", {"card", "-c", "2"}, "id,card\n1,4111111111111111\n", visa, 0},
      {"--tsv", {"card", "--tsv", "-c", "2"}, "id\tcard\n1\t4111111111111111\n", visa, 0},
      {"--delimiter", {"card", "-d", ";", "-c", "2"}, "id;card\n1;4111111111111111\n", visa, 0},
      {"--header is still accepted", {"card", "--csv", "--header"}, "card\n4111111111111111\n", visa, 0},
      {"every input has its own", {"card", "-c", "1", "-f", "{dir}/a", "-"}, "card\n4111111111111111\n", visa + visa, 0, "",
       {{"a", "card\n4111111111111111\n"}}},
      {"--no-header: the first record is checked", {"card", "--csv", "--no-header", "--format", "tsv"},
       "card\n4111111111111111\n", header_checked, 1},
      {"lines have none", {"card", "--format", "tsv"}, "card\n4111111111111111\n", header_checked, 1},
      {"--header skips the first line", {"card", "--header"}, "card\n4111111111111111\n", visa, 0},
      {"both", {"card", "--csv", "--header", "--no-header"}, "", "", 2,
       "tessera: --header and --no-header exclude each other\n" + kUsageHint},
      {"a name without a header", {"card", "-c", "card", "--no-header"}, "", "", 2,
       "tessera: --column 'card' is a name of the header, and --no-header says there is none\n" + kUsageHint},
  });
}

// A column is a field that the records have: one that the header does not
// have, or (without a header) that no record has, is an error rather than a
// run of empty records that passes a gate.
TEST_F(Tool, AColumnNoRecordHasIsAnError) {
  const std::string five = "a,b,c,d,e\n1,2,3,4,4111111111111111\n";
  Expect({
      {"field 5 of 5", {"card", "-q", "-f", "{dir}/five.csv", "-c", "5"}, "", "", 0, "", {{"five.csv", five}}},
      {"field 6 of 5", {"card", "-q", "-f", "{dir}/five.csv", "-c", "6"}, "", "", 2,
       "tessera: {dir}/five.csv: column 6 is invalid: the header has 5 fields\n"},
      {"the other inputs are still read", {"card", "-c", "2", "-f", "{dir}/one.csv", "-"}, "id,card\n1,4111111111111111\n",
       "4111111111111111: valid (Visa, checksum ok)\n", 2, "tessera: {dir}/one.csv: column 2 is invalid: the header has 1 field\n",
       {{"one.csv", "a\n4111111111111111\n"}}},
      {"no header, and no record has it", {"card", "--no-header", "-c", "9", "--format", "tsv"}, "1,2\n1,2,3\n",
       "\tempty\tn/a\tn/a\tn/a\n\tempty\tn/a\tn/a\tn/a\n", 2, "tessera: (standard input): column 9 is invalid: no record has more than 3 fields\n"},
      {"no header, and one record has it", {"card", "--no-header", "-c", "3", "--format", "tsv"}, "1,2\n1,2,3\n",
       "\tempty\tn/a\tn/a\tn/a\n3\tinvalid\tnone\tfail\tnone\n", 1,
       "tessera: (standard input): 1 record has no field 3, reported empty (the first at line 1)\n"},
      {"given twice", {"card", "-c", "a", "-c", "b"}, "", "", 2,
       "tessera: --column is given twice, 'a' and 'b': one field is checked\n" + kUsageHint},
      {"a name twice in the header: the first is checked, and a message says so", {"card", "-c", "card"},
       "card,x,card\n4111111111111111,1,4111111111111112\n", "4111111111111111: valid (Visa, checksum ok)\n", 0,
       "tessera: (standard input): the header names 'card' 2 times: the first, field 1, is checked\n"},
  });
}

// Messages go to logs: a digit run in them shows no more of itself than
// --mask shows of a card number, whether it comes from a record, a header
// or the command line.
TEST_F(Tool, MessagesShowNoCardNumberWhole) {
  Expect({
      {"a file without a header, under --mask", {"card", "-f", "{dir}/nohdr.csv", "-c", "card_number", "--mask", "-q"}, "", "", 2,
       "tessera: {dir}/nohdr.csv: no column 'card_number' in the header ('411111******1112', 'x')\n",
       {{"nohdr.csv", "4111111111111112,x\n"}}},
      {"and without it", {"card", "-f", "{dir}/nohdr.csv", "-c", "card_number"}, "", "", 2,
       "tessera: {dir}/nohdr.csv: no column 'card_number' in the header ('411111******1112', 'x')\n"},
      {"grouped", {"card", "-c", "card"}, "\"4111 1111 1111 1112\",x\n", "", 2,
       "tessera: (standard input): no column 'card' in the header ('4111 11** **** 1112', 'x')\n"},
      {"a file name", {"card", "-f", "{dir}/4111-1111-1111-1111.csv"}, "", "", 2,
       "tessera: cannot open {dir}/4111-11**-****-1111.csv: No such file or directory\n"},
      {"a column number", {"card", "-c", "4111111111111111"}, "a,b\n", "", 2,
       "tessera: (standard input): column 411111******1111 is invalid: the header has 2 fields\n"},
      {"ten digits or fewer stay", {"card", "-c", "1234567890"}, "a,b\n", "", 2,
       "tessera: (standard input): column 1234567890 is invalid: the header has 2 fields\n"},
      {"an unknown option", {"card", "-4111111111111111"}, "", "", 2,
       "tessera: unknown option '-411111******1111' (a number that begins with '-' goes after '--')\n" + kUsageHint},
  });
}

// The header is matched as it streams by: neither many names nor a long
// one is held whole.
TEST_F(Tool, AHeaderOfAnySizeInLittleMemory) {
  {
    // Written in pieces: the tool's peak size starts from this process's size at the fork.
    std::ofstream many(dir_ + "/many.csv", std::ios::binary);
    const std::string mib(1u << 20, ',');
    for (int i = 0; i < 50; ++i) many << mib;  // 52,428,801 empty names
    many << "\n,,4111111111111111\n";
  }
  File("long.csv", std::string(300000, 'x') + ",card\n1,4111111111111111\n");
  const std::string visa = "4111111111111111: valid (Visa, checksum ok)\n";
  const std::vector<Row> rows = {
      {"many names, one wanted by number", {"card", "-f", "{dir}/many.csv", "-c", "3"}, "", visa, 0},
      {"many names, none of them the one", {"card", "-f", "{dir}/many.csv", "-c", "card"}, "", "", 2,
       "tessera: {dir}/many.csv: no column 'card' in the header ('', '', '', '', '', '', '', '' and 52428793 more)\n"},
      {"a name longer than the buffer before it", {"card", "-f", "{dir}/long.csv", "-c", "card"}, "", visa, 0},
      {"shown by its first bytes", {"card", "-f", "{dir}/long.csv", "-c", "id"}, "", "", 2,
       "tessera: {dir}/long.csv: no column 'id' in the header ('" + std::string(32, 'x') + "...', 'card')\n"},
  };
  for (const Row& row : rows) {
    const Outcome run = Run(row.args);
    EXPECT_EQ(run.out, Replace(row.out, "{dir}", dir_)) << row.why;
    EXPECT_EQ(run.status, row.status) << row.why;
    EXPECT_EQ(run.err, Replace(row.err, "{dir}", dir_)) << row.why;
    if (!kSanitized) {
      EXPECT_LT(run.peak_kib, 16 << 10) << row.why << ": KiB at the peak";
    }
  }
}

// The reader takes 64 bytes at a time: quotes, doubled quotes and line
// breaks inside quotes are put at every place of a block, and the field
// after them is always read whole, on the line where its record starts,
// and numbered as the records are.
TEST_F(Tool, CsvQuotesAtEveryPlaceOfABlock) {
  std::string input, expected;
  uint64_t line = 1, record = 0;
  auto where = [&] { return "(standard input)\t" + std::to_string(line) + "\t" + std::to_string(++record); };
  for (int pad = 0; pad < 140; ++pad) {
    const std::string filler(static_cast<std::size_t>(pad), 'x');
    input += "\"" + filler + "q\"\"u,o\r\nte\",4111111111111111\r\n";  // two lines
    expected += where() + "\t4111111111111111\tvalid\tVisa\tpass\tnone\n";
    line += 2;
    input += filler + "a\"b,4111111111111112\n";  // a quote inside an unquoted field is a character
    expected += where() + "\t4111111111111112\tinvalid\tVisa\tfail\tnone\n";
    line += 1;
    input += "\"" + filler + "\"\"\",378282246310005\n";  // a doubled quote at the end of a quoted field
    expected += where() + "\t378282246310005\tvalid\tAmerican Express\tpass\tnone\n";
    line += 1;
  }
  const Outcome run = Run({"card", "--csv", "--no-header", "-c", "2", "-n", "--format", "tsv"}, input);
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "");
}


// A quoted field is unquoted alike whatever its length: held whole, or
// streamed past the 256 KiB buffer over one refill or several.
TEST_F(Tool, AQuotedFieldOfAnyLength) {
  auto row = [](std::size_t blanks) {
    const std::string field = "\"" + std::string(blanks, ' ') + "4111111111111111\"";
    // A streamed field shows its first 32 bytes and its length unquoted.
    const std::string shown = blanks + 16 <= (256u << 10) ? std::string(blanks, ' ') + "4111111111111111"
                                                          : std::string(32, ' ') + "\\[..." + std::to_string(blanks + 16) + " bytes]";
    return Row{"blanks inside quotes before the number, under --strip", {"card", "--strip", "-c", "card"},
               "card\n" + field + "\n" + field + ",x\n", shown + ": valid (Visa, checksum ok)\n" + shown + ": valid (Visa, checksum ok)\n", 0};
  };
  Expect({row(10), row(300000), row(600000), row(1200000)});
}
// ---- options ----

TEST_F(Tool, OptionsAsPeopleTypeThem) {
  const std::string visa_n = "(standard input):1: 4111111111111111: valid (Visa, checksum ok)\n";
  Expect({
      {"short options after the command", {"card", "-n", "-f", "-"}, "4111111111111111\n", visa_n, 0},
      {"grouped", {"card", "-nf", "-"}, "4111111111111111\n", visa_n, 0},
      {"a value attached", {"card", "-nf-"}, "4111111111111111\n", visa_n, 0},
      {"--name=value", {"card", "--file=-", "--line-number"}, "4111111111111111\n", visa_n, 0},
      {"options after numbers", {"card", "4111111111111111", "--format", "tsv"}, "", "4111111111111111\tvalid\tVisa\tpass\tnone\n", 0},
      {"-- ends the options", {"card", "--", "-4111"}, "", "-4111: invalid (no brand, checksum fails)\n", 1},
      {"-q: the status only", {"card", "-q", "4111111111111112"}, "", "", 1},
      {"-qn grouped", {"card", "-qn", "4111111111111111"}, "", "", 0},
  });
}

TEST_F(Tool, UsageErrorsExitTwo) {
  Expect({
      {"no command", {}, "", "", 2, "tessera: missing command: card, id, scan or redact\ntry 'tessera --help'\n"},
      {"unknown command", {"check"}, "", "", 2, "tessera: unknown command 'check': use card, id, scan or redact\ntry 'tessera --help'\n"},
      {"a dash that is no option", {"card", "-4111"}, "", "", 2,
       "tessera: unknown option '-4111' (a number that begins with '-' goes after '--')\n" + kUsageHint},
      {"an unknown short option in a group", {"card", "-nx"}, "", "", 2,
       "tessera: unknown option '-x' (a number that begins with '-' goes after '--')\n" + kUsageHint},
      {"an unknown long option", {"card", "--bogus=1"}, "", "", 2,
       "tessera: unknown option '--bogus' (a number that begins with '-' goes after '--')\n" + kUsageHint},
      {"a switch given a value", {"card", "--mask=yes"}, "", "", 2, "tessera: option --mask takes no value\n" + kUsageHint},
      {"a value missing", {"card", "--format"}, "", "", 2, "tessera: option --format needs a value (FORMAT)\n" + kUsageHint},
      {"a short value missing", {"card", "-f"}, "", "", 2, "tessera: option -f needs a value (PATH)\n" + kUsageHint},
      {"an option of the other command", {"id", "--mask"}, "", "", 2,
       "tessera: option --mask does not apply to this command\ntry 'tessera id --help'\n"},
      {"unknown format", {"card", "--format", "xml"}, "", "", 2, "tessera: unknown format 'xml': use text, tsv, csv or json\n" + kUsageHint},
      {"both filters", {"card", "--valid", "--invalid"}, "", "", 2, "tessera: --valid and --invalid exclude each other\n" + kUsageHint},
      {"header row without TSV", {"card", "--header-row"}, "", "", 2, "tessera: --header-row is for --format tsv or csv\n" + kUsageHint},
      {"column 0", {"card", "-c", "0"}, "", "", 2, "tessera: --column counts from 1\n" + kUsageHint},
      {"a delimiter of two characters", {"card", "-d", ";;"}, "", "", 2,
       "tessera: --delimiter wants one character other than a quote or a line break, not ';;'\n" + kUsageHint},
  });
}

TEST_F(Tool, TodayIsACalendarDayOfTheYearsOneTo9999) {
  const std::string gpa = "12345678970-7506154-0909309-0";
  auto rejected = [](const std::string& day) {
    return "tessera: --today wants a day YYYY-MM-DD of the years 1 to 9999, not '" + day + "'\ntry 'tessera id --help'\n";
  };
  Expect({
      {"a negative year", {"id", "--today", "-999-01-01", gpa}, "", "", 2, rejected("-999-01-01")},
      {"a sign", {"id", "--today", "+999-01-01", gpa}, "", "", 2, rejected("+999-01-01")},
      {"year 0", {"id", "--today", "0000-01-01", gpa}, "", "", 2, rejected("0000-01-01")},
      {"February 29 of a common year", {"id", "--today", "2023-02-29", gpa}, "", "", 2, rejected("2023-02-29")},
      {"February 29 of 2000, a leap year", {"id", "--today", "2000-02-29", gpa}, "",
       gpa + ": valid (check digits ok, not expired, age 25)\n", 0},
      // year 1: two-digit year 1, 1 - 75 + 100 = 26
      {"year 1", {"id", "--today", "0001-01-01", gpa}, "", gpa + ": valid (check digits ok, not expired, age 26)\n", 0},
      // 9999: two-digit year 99, 99 - 75 = 24
      {"year 9999", {"id", "--today", "9999-12-31", gpa}, "", gpa + ": invalid (check digits ok, expired, age 24)\n", 1},
  });
}

TEST_F(Tool, HelpVersionAndTheManualComeFromOneTable) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--help"}, {"-h"}, {"card", "-h"}, {"id", "--help"}}) {
    const Outcome help = Run(args);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tessera ", 0), 0u) << help.out;
  }
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"--version"}, {"-V"}, {"card", "-V"}}) {
    const Outcome version = Run(args);
    EXPECT_EQ(version.out, std::string("tessera ") + TESSERA_VERSION + "\n");
    EXPECT_EQ(version.status, 0);
  }
  const Outcome card = Run({"card", "--help"});
  EXPECT_EQ(card.out.find("--today"), std::string::npos) << "card's help shows card's options only";
  EXPECT_NE(card.out.find("--mask"), std::string::npos);
}

// ---- output ----

TEST_F(Tool, FiltersQuietAndSummary) {
  const std::string input = "4111111111111111\n4111111111111112\n\n2221000000000009\n";
  Expect({
      {"--invalid", {"card", "--invalid", "-n"}, input,
       "(standard input):2: 4111111111111112: invalid (Visa, checksum fails)\n"
       "(standard input):4: 2221000000000009: invalid (no brand, checksum ok)\n", 1},
      {"--valid", {"card", "--valid", "--format", "tsv"}, input, "4111111111111111\tvalid\tVisa\tpass\tnone\n", 1},
      {"-q", {"card", "-q"}, input, "", 1},
      {"--summary on standard error", {"card", "-q", "--summary"}, input, "", 1,
       "records             4\nvalid               1\ninvalid             2\nempty               1\n"
       "Visa                2\nno brand            1\nchecksum fails      1\n"},
      {"--summary of ids, per reason", {"id", "--today", "2009-10-01", "--summary", "--valid"},
       "12345678970-7506154-0909309-0\n12345678970-7506154-0909309-1\n\n", "", 1,
       "records             3\nvalid               0\ninvalid             2\nempty               1\n"
       "check digits wrong  1\nexpired             1\n"},
      {"-q stops at the first invalid record", {"card", "-q", "-f", "-", "-f", "{dir}/missing"}, "1\n", "", 1},
  });
}

// An invalid number whose text tells why says so: blanks around it, or a
// spreadsheet's scientific notation. Verdicts stay what the checks answer.
TEST_F(Tool, InvalidNumbersGetAHintWhereTheTextTellsWhy) {
  const std::string gpa = " 12345678970-7506154-0909309-0";
  Expect({
      // 17 characters: no brand; the blank is worth 0 at the far left, the digits keep their places: 30
      {"a blank before", {"card", " 4111111111111111"}, "",
       " 4111111111111111: invalid (no brand, checksum ok; blanks around the number: remove them)\n", 1},
      // the blank takes place 1: eight 1s doubled (16), seven plain (7) and the 4 plain: 27
      {"a blank after, in tsv", {"card", "--format", "tsv", "4111111111111111 "}, "",
       "4111111111111111 \tinvalid\tnone\tfail\tblanks\n", 1},
      {"a tab that --strip leaves", {"card", "--strip", "--format", "json", "\t4111 1111 1111 1111"}, "",
       "{\"path\":\"(argument)\",\"line\":1,\"record\":1,\"number\":\"\\u00094111 1111 1111 1111\",\"valid\":false,"
       "\"brand\":\"none\",\"checksum\":true,\"hint\":\"blanks\"}\n", 1},
      {"blanks that --strip removes: valid, no hint", {"card", "--strip", "--format", "tsv", " 4111 1111 1111 1111 "}, "",
       " 4111 1111 1111 1111 \tvalid\tVisa\tpass\tnone\n", 0},
      // 5 + 1*2 + 0 + 0 + 1 + 1*2 + 1 + 1*2 + 1 + 0 + 4 = 18
      {"scientific notation", {"card", "4.11111E+15"}, "",
       "4.11111E+15: invalid (no brand, checksum fails; scientific notation, digits lost: export the column as text)\n", 1},
      {"with a decimal comma, and blanks", {"card", "--csv", "--no-header", "--format", "tsv"}, "\" 4,11111e+15\"\n",
       " 4,11111e+15\tinvalid\tnone\tfail\tscientific\n", 1},
      // 13 characters from a 4: Visa's shape; from the right 4 + 0 + 2 + 2 + 0 + 0 + 1 + 2 + 1 + 2 + 1 + 0 + 4 = 19
      {"an exponent of four digits is no spreadsheet's", {"card", "--format", "tsv", "4.11111E+1204"}, "",
       "4.11111E+1204\tinvalid\tVisa\tfail\tnone\n", 1},
      {"a number simply wrong has none", {"card", "--format", "json", "4111111111111112"}, "",
       "{\"path\":\"(argument)\",\"line\":1,\"record\":1,\"number\":\"4111111111111112\",\"valid\":false,"
       "\"brand\":\"Visa\",\"checksum\":false,\"hint\":null}\n", 1},
      {"shown masked, hinted all the same", {"card", "--mask", "4111111111111111 "}, "",
       "411111******1111 : invalid (no brand, checksum fails; blanks around the number: remove them)\n", 1},
      {"id", {"id", "--today", "2009-09-30", "--format", "tsv", gpa}, "", gpa + "\tinvalid\tfail\tn/a\tn/a\tblanks\n", 1},
      {"id text", {"id", "--today", "2009-09-30", gpa}, "",
       gpa + ": invalid (check digits wrong, expiry n/a, age n/a; blanks around the number: remove them)\n", 1},
      // as above: the blanks lie to the left of every digit, 30
      {"a field too long to hold", {"card", "--format", "tsv"}, std::string(300000, ' ') + "4111111111111111\n",
       std::string(32, ' ') + "\\[...300016 bytes]\tinvalid\tnone\tpass\tblanks\n", 1},
  });
}

// For joining the verdicts back to the records: CSV out, the record's
// number beside its line, and other fields of the record carried along.
TEST_F(Tool, OutputForJoiningBack) {
  const std::string pay =
      "order,card,name\n"
      "A1,4111111111111111,\"Smith, J\"\n"
      "A2,\"4111111111111112\",\"two\nlines\"\n"
      "A3\n";
  const auto file = std::vector<std::pair<std::string, std::string>>{{"pay.csv", pay}};
  Expect({
      // x and the comma are worth 0 in places 1 and 2: eight 1s plain, seven doubled, and the 4 doubled: 30
      {"csv: a header row, then RFC 4180 quoting where a field needs it", {"card", "--format", "csv"},
       "4111111111111111,x\nsay \"hi\"\n",
       "number,verdict,brand,checksum,hint\n\"4111111111111111,x\",invalid,none,pass,none\n"
       // no digits: sum 0
       "\"say \"\"hi\"\"\",invalid,none,pass,none\n", 1},
      {"csv with -n: path, line and record; the line is where the record starts", {"card", "-f", "{dir}/pay.csv", "-c", "card",
       "--format", "csv", "-n"}, "",
       "path,line,record,number,verdict,brand,checksum,hint\n{dir}/pay.csv,2,1,4111111111111111,valid,Visa,pass,none\n"
       "{dir}/pay.csv,3,2,4111111111111112,invalid,Visa,fail,none\n{dir}/pay.csv,5,3,,empty,n/a,n/a,n/a\n", 1,
       "tessera: {dir}/pay.csv: 1 record has no field 'card', reported empty (the first at line 5)\n", file},
      {"--keep by name and number, in csv", {"card", "-f", "{dir}/pay.csv", "-c", "card", "--format", "csv", "--keep", "order",
       "--keep", "3"}, "",
       "number,verdict,brand,checksum,hint,order,3\n4111111111111111,valid,Visa,pass,none,A1,\"Smith, J\"\n"
       "4111111111111112,invalid,Visa,fail,none,A2,two\\x0alines\n,empty,n/a,n/a,n/a,A3,\n", 1,
       "tessera: {dir}/pay.csv: 1 record has no field 'card', reported empty (the first at line 5)\n"},
      {"in tsv", {"card", "-f", "{dir}/pay.csv", "-c", "2", "--format", "tsv", "--keep", "order", "--header-row", "--invalid"}, "",
       "number\tverdict\tbrand\tchecksum\thint\torder\n4111111111111112\tinvalid\tVisa\tfail\tnone\tA2\n", 1,
       "tessera: {dir}/pay.csv: 1 record has no field 2, reported empty (the first at line 5)\n"},
      // "A1": the letter is worth 0, so the sum is the digit: fails
      {"in json, null for a record without the field", {"card", "-f", "{dir}/pay.csv", "-c", "order", "--format", "json",
       "--keep", "name"}, "",
       "{\"path\":\"{dir}/pay.csv\",\"line\":2,\"record\":1,\"number\":\"A1\",\"valid\":false,\"brand\":\"none\","
       "\"checksum\":false,\"hint\":null,\"keep\":{\"name\":\"Smith, J\"}}\n"
       "{\"path\":\"{dir}/pay.csv\",\"line\":3,\"record\":2,\"number\":\"A2\",\"valid\":false,\"brand\":\"none\","
       "\"checksum\":false,\"hint\":null,\"keep\":{\"name\":\"two\\u000alines\"}}\n"
       "{\"path\":\"{dir}/pay.csv\",\"line\":5,\"record\":3,\"number\":\"A3\",\"valid\":false,\"brand\":\"none\","
       "\"checksum\":false,\"hint\":null,\"keep\":{\"name\":null}}\n", 1},
      {"a key of \"keep\"", {"id", "--today", "2009-09-30", "--format", "json", "--keep", "2"}, "x,A1\ny\n",
       "{\"path\":\"(standard input)\",\"line\":2,\"record\":1,\"number\":\"y\",\"valid\":false,\"check_digits\":false,"
       "\"unexpired\":null,\"age\":null,\"hint\":null,\"keep\":{\"2\":null}}\n", 1},
      {"a field longer than the buffer is shortened as a number is", {"card", "--format", "csv", "--keep", "2"},
       "card,note\n4111111111111111,\"" + std::string(300000, 'n') + "\"\n",
       "number,verdict,brand,checksum,hint,2\n4111111111111111,valid,Visa,pass,none," + std::string(32, 'n') +
           "\\[...300000 bytes]\n", 0},
      {"the field to check after a long one kept", {"card", "--format", "csv", "--keep", "1", "-c", "2", "--no-header"},
       "\"" + std::string(600000, 'n') + "\",4111111111111111\n",
       "number,verdict,brand,checksum,hint,1\n4111111111111111,valid,Visa,pass,none," + std::string(32, 'n') +
           "\\[...600000 bytes]\n", 0},
      {"a name not in the header", {"card", "-c", "card", "--keep", "id", "--format", "tsv"}, "card\n1\n", "", 2,
       "tessera: (standard input): no column 'id' in the header ('card')\n"},
      {"not with text", {"card", "--keep", "order"}, "", "", 2, "tessera: --keep is for --format tsv, csv or json\n" + kUsageHint},
      {"not the column checked", {"card", "-c", "2", "--keep", "2", "--format", "csv"}, "", "", 2,
       "tessera: --keep '2' is the column checked\n" + kUsageHint},
      {"not twice", {"card", "--keep", "a", "--keep", "a", "--format", "csv"}, "", "", 2,
       "tessera: --keep 'a' is given twice\n" + kUsageHint},
      {"a name needs the header", {"card", "--keep", "a", "--no-header", "--format", "csv"}, "", "", 2,
       "tessera: --keep 'a' is a name of the header, and --no-header says there is none\n" + kUsageHint},
  });
}

TEST_F(Tool, MaskShowsTheFirstSixAndLastFourDigits) {
  Expect({
      {"16 digits", {"card", "--mask", "4111111111111111"}, "", "411111******1111: valid (Visa, checksum ok)\n", 0},
      {"separators kept", {"card", "--mask", "--strip", "4111 1111-1111 1111"}, "",
       "4111 11**-**** 1111: valid (Visa, checksum ok)\n", 0},
      {"15 digits", {"card", "--mask", "--format", "tsv", "378282246310005"}, "",
       "378282*****0005\tvalid\tAmerican Express\tpass\tnone\n", 0},
      {"ten digits or fewer show whole", {"card", "--mask", "--format", "tsv", "1234567890"}, "",
       "1234567890\tinvalid\tnone\tfail\tnone\n", 1},
  });
}

TEST_F(Tool, LineNumbersAndHeaderRow) {
  Expect({
      {"tsv with -n and a header row", {"card", "-n", "--format", "tsv", "--header-row", "-f", "{dir}/a"}, "",
       "path\tline\trecord\tnumber\tverdict\tbrand\tchecksum\thint\n{dir}/a\t1\t1\t4111111111111111\tvalid\tVisa\tpass\tnone\n"
       "{dir}/a\t2\t2\t\tempty\tn/a\tn/a\tn/a\n", 0, "", {{"a", "4111111111111111\n\n"}}},
      {"id header row", {"id", "--today", "2009-09-30", "--format", "tsv", "--header-row"}, "",
       "number\tverdict\tcheck_digits\texpiry\tage\thint\n", 0},
      {"arguments are numbered in order", {"card", "-n", "1", "2"}, "",
       "(argument):1: 1: invalid (no brand, checksum fails)\n(argument):2: 2: invalid (no brand, checksum fails)\n", 1},
  });
}

TEST_F(Tool, NothingFromTheInputActsOnATerminal) {
  Expect({
      {"C0 controls, DEL and the backslash", {"card", "--format", "tsv"}, "\x1b[2J\x07\x7f\\\n",
       // one digit, 2, at an even place from the right: sum 2
       "\\x1b[2J\\x07\\x7f\\\\\tinvalid\tnone\tfail\tnone\n", 1},
      {"C1 as a raw byte and in UTF-8", {"card", "--format", "tsv"}, "\x9b" "31m\xc2\x9b" "1\n",
       "\\x9b31m\\xc2\\x9b1\tinvalid\tnone\tfail\tnone\n", 1},
      {"bidirectional overrides and isolates", {"card"}, "\xe2\x80\xae" "1\xe2\x81\xa6\n",
       "\\xe2\\x80\\xae1\\xe2\\x81\\xa6: invalid (no brand, checksum fails)\n", 1},
      {"other UTF-8 shows as it is", {"card"}, "M\xc3\xbcller\n", "M\xc3\xbcller: invalid (no brand, checksum ok)\n", 1},
      {"a lone byte above 0x7f is escaped", {"card"}, "\xff\n", "\\xff: invalid (no brand, checksum ok)\n", 1},
      {"JSON: \\u escapes, invalid UTF-8 read as Latin-1", {"card", "--format", "json"}, "\"\\\x01\xc2\x9b\xe2\x80\xae\xff\xc3\xa9\n",
       "{\"path\":\"(standard input)\",\"line\":1,\"record\":1,\"number\":\"\\\"\\\\\\u0001\\u009b\\u202e\\u00ff\xc3\xa9\",\"valid\":false,"
       "\"brand\":\"none\",\"checksum\":true,\"hint\":null}\n", 1},
      {"file names in messages", {"card", "-f", "{dir}/\x1b]0;x\x07"}, "", "", 2,
       "tessera: cannot open {dir}/\\x1b]0;x\\x07: No such file or directory\n"},
      {"option values in messages", {"card", "--format", "\xe2\x80\xae"}, "", "", 2,
       "tessera: unknown format '\\xe2\\x80\\xae': use text, tsv, csv or json\n" + kUsageHint},
  });
}

// ---- streams and memory ----

TEST_F(Tool, EveryRecordGetsOneOutputRowInOrder) {
  std::string input, expected;
  for (int i = 0; i < 200000; ++i) {
    const bool visa = i % 3 != 0;
    input += (visa ? "4111111111111111" : "") + std::string(i % 2 ? "\r\n" : "\n");
    expected += visa ? "4111111111111111\tvalid\tVisa\tpass\tnone\n" : "\tempty\tn/a\tn/a\tn/a\n";
  }
  const Outcome run = Run({"card", "--format", "tsv"}, input);
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.status, 0);
}

// 2^30 nines: each counts 9 doubled or not, and 9 * 2^30 wraps the 16-bit sum to 0.
// Records are read through the input layer: compressed, archived and UTF-16
// inputs alike, each member on its own, lines counted in the decoded text.
TEST_F(Tool, RecordsOfEveryKindOfInput) {
  using tessera_test::Gzip;
  const std::string csv = "id,card\n1,4111111111111111\n2,4111111111111112\n";
  const std::string judged = ":2: 4111111111111111: valid (Visa, checksum ok)\n";
  Expect({
      {"a gzip'd export", {"card", "-f", "{dir}/p.csv.gz", "-c", "card", "-n", "--valid"}, "", "{dir}/p.csv.gz" + judged, 1,
       "", {{"p.csv.gz", Gzip(csv)}}},
      {"gzip on standard input", {"card", "-c", "card", "-n", "--valid"}, Gzip(csv), "(standard input)" + judged, 1},
      {"Unicode Text from a spreadsheet: UTF-16 with tabs", {"card", "--tsv", "-c", "card", "-n", "-f", "{dir}/u.txt"}, "",
       "{dir}/u.txt" + judged, 0, "",
       {{"u.txt", tessera_test::Utf16(u"id\tcard\r\n1\t4111111111111111\r\n", false, true)}}},
      {"each member of a zip on its own, with its header",
       {"card", "-c", "card", "-n", "-f", "{dir}/e.zip"}, "",
       "{dir}/e.zip!/a.csv" + judged + "{dir}/e.zip!/b.csv:2: 5555555555554444: valid (MasterCard, checksum ok)\n", 0, "",
       {{"e.zip", tessera_test::Zip({{"a.csv", "card\n4111111111111111\n"}, {"b.csv", "card\n5555555555554444\n"}})}}},
      {"what cannot be seen into fails the run", {"card", "-f", "{dir}/x.zip"}, "",
       "4111111111111111: valid (Visa, checksum ok)\n", 2,
       "tessera: {dir}/x.zip!/s: not seen into (encrypted): an encrypted member: a password is needed\n",
       {{"x.zip", tessera_test::Zip({{"a", "4111111111111111\n"}, {"s", "x", false, true}})}}},
  });
}

TEST_F(Tool, AGibibyteLineInLittleMemory) {
  int feed[2];
  ASSERT_EQ(pipe(feed), 0);
  const std::string out = dir_ + "/out";
  const pid_t child = fork();
  if (child == 0) {
    dup2(feed[0], 0);
    close(feed[0]);
    close(feed[1]);
    std::freopen(out.c_str(), "wb", stdout);
    execl(TESSERA_TOOL, TESSERA_TOOL, "card", "--format", "tsv", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(feed[0]);
  const std::string block(1 << 20, '9');
  for (int i = 0; i < 1024; ++i) ASSERT_EQ(write(feed[1], block.data(), block.size()), static_cast<ssize_t>(block.size()));
  ASSERT_EQ(write(feed[1], "\n4111111111111111\n", 18), 18);
  close(feed[1]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  EXPECT_EQ(Slurp(out), std::string(32, '9') + "\\[...1073741824 bytes]\tinvalid\tnone\tpass\tnone\n4111111111111111\tvalid\tVisa\tpass\tnone\n");
  EXPECT_EQ(WEXITSTATUS(status), 1);
  if (!kSanitized) {
    EXPECT_LT(usage.ru_maxrss, 16 << 10) << "KiB at the peak";
  }
}

TEST_F(Tool, DevZeroInLittleMemory) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer's runtime has a peak size of its own";
  const pid_t child = fork();
  if (child == 0) {
    std::freopen("/dev/null", "wb", stdout);
    execl(TESSERA_TOOL, TESSERA_TOOL, "card", "--file", "/dev/zero", static_cast<char*>(nullptr));
    _exit(127);
  }
  sleep(2);
  const std::string status = Slurp("/proc/" + std::to_string(child) + "/status");
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  const std::size_t at = status.find("VmHWM:");
  ASSERT_NE(at, std::string::npos);
  EXPECT_LT(std::stol(status.substr(at + 6)), 16 << 10) << "KiB at the peak, still reading";
}

TEST_F(Tool, ANonBlockingOutputIsWaitedOn) {
  std::string input, expected;
  for (int i = 0; i < 200000; ++i) input += "4111111111111111\n", expected += "4111111111111111\tvalid\tVisa\tpass\tnone\n";
  const std::string in = File("in", input);
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t child = fork();
  if (child == 0) {
    std::freopen(in.c_str(), "rb", stdin);
    dup2(out[1], 1);
    close(out[0]);
    close(out[1]);
    fcntl(1, F_SETFL, fcntl(1, F_GETFL) | O_NONBLOCK);
    execl(TESSERA_TOOL, TESSERA_TOOL, "card", "--format", "tsv", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  usleep(300000);  // the pipe fills while nobody reads
  std::string got;
  char buffer[1 << 16];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) != 0;) {
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
    else if (errno != EINTR && errno != EAGAIN) break;
  }
  close(out[0]);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(got.size(), expected.size());
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Tool, AClosedPipeEndsQuietly) {
  std::string input;
  for (int i = 0; i < 300000; ++i) input += "4111111111111111\n";
  const std::string big = File("big", input);
  const Outcome run = Execute({"/bin/sh", "-c", "\"$0\" card < \"$1\" | head -n 1", TESSERA_TOOL, big}, File("empty", ""));
  EXPECT_EQ(run.out, "4111111111111111: valid (Visa, checksum ok)\n");
  EXPECT_EQ(run.err.find("tessera"), std::string::npos) << run.err;
}

// Reads what the tool has written to `fd` within five seconds, until `want` bytes came.
std::string ReadSoon(int fd, std::size_t want) {
  std::string got;
  char buffer[4096];
  while (got.size() < want) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

TEST_F(Tool, RecordsAreShownAsTheyArrive) {
  // `tail -f log | tessera card | ...`: each verdict leaves before the input ends.
  const tessera_test::Piped tool = tessera_test::Spawn({TESSERA_TOOL, "card"});
  ASSERT_GT(tool.pid, 0);
  const std::string line = "4111111111111111: valid (Visa, checksum ok)\n";
  ASSERT_EQ(write(tool.in, "4111111111111111\n", 17), 17);
  EXPECT_EQ(ReadSoon(tool.out, line.size()), line);
  ASSERT_EQ(write(tool.in, "4111111111111111\n", 17), 17);
  EXPECT_EQ(ReadSoon(tool.out, line.size()), line);
  close(tool.in);
  close(tool.out);
  waitpid(tool.pid, nullptr, 0);
}

TEST_F(Tool, ATerminalGetsAHintAndEveryLineAtOnce) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  const std::string err = dir_ + "/err";
  int in[2];
  ASSERT_EQ(pipe(in), 0);
  const pid_t child = fork();
  if (child == 0) {
    setsid();
    const int slave = open(terminal.c_str(), O_RDWR);
    dup2(slave, 0);
    dup2(slave, 1);
    std::freopen(err.c_str(), "wb", stderr);
    execl(TESSERA_TOOL, TESSERA_TOOL, "card", static_cast<char*>(nullptr));
    _exit(127);
  }
  // The terminal echoes the typed line, then shows the verdict (LF as CR LF).
  ASSERT_EQ(write(master, "4111111111111111\n", 17), 17);
  const std::string shown = "4111111111111111\r\n4111111111111111: valid (Visa, checksum ok)\r\n";
  EXPECT_EQ(ReadSoon(master, shown.size()), shown);
  ASSERT_EQ(write(master, "\x04", 1), 1);  // end of input
  int status = 0;
  waitpid(child, &status, 0);
  close(master);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Slurp(err), "tessera: reading numbers from the terminal, one per line; end with Ctrl-D (see --help)\n");
}

// With libfaketime, the clock starts two seconds before midnight: a number
// that expires that day is valid at first and expired after midnight.
TEST_F(Tool, TodayFollowsTheClockAsRecordsStream) {
  const char* faketime = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1";
  if (access(faketime, R_OK) != 0) GTEST_SKIP() << "needs libfaketime (Debian package faketime)";
  const tessera_test::Piped tool = tessera_test::Spawn(
      {TESSERA_TOOL, "id", "--format", "tsv"},
      {{"LD_PRELOAD", faketime}, {"FAKETIME", "@2009-09-30 23:59:58"}, {"TZ", "UTC"}});
  ASSERT_GT(tool.pid, 0);
  const std::string gpa = "12345678970-7506154-0909309-0\n";
  ASSERT_EQ(write(tool.in, gpa.data(), gpa.size()), static_cast<ssize_t>(gpa.size()));
  const std::string before = "12345678970-7506154-0909309-0\tvalid\tpass\tcurrent\t34\tnone\n";
  EXPECT_EQ(ReadSoon(tool.out, before.size()), before);
  sleep(3);
  ASSERT_EQ(write(tool.in, gpa.data(), gpa.size()), static_cast<ssize_t>(gpa.size()));
  const std::string after = "12345678970-7506154-0909309-0\tinvalid\tpass\texpired\t34\tnone\n";
  EXPECT_EQ(ReadSoon(tool.out, after.size()), after);
  close(tool.in);
  close(tool.out);
  waitpid(tool.pid, nullptr, 0);
}

}  // namespace
