// tool_test.cpp -- the tessera tool as a user runs it: output, messages, exit status
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessera-tool-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  std::string File(const std::string& name, const std::string& content) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  Outcome Tessera(const std::vector<std::string>& args, const std::string& input = "") {
    std::vector<std::string> words = {TESSERA_TOOL};
    words.insert(words.end(), args.begin(), args.end());
    return Execute(words, input);
  }

  Outcome Execute(std::vector<std::string> words, const std::string& input = "") {
    const std::string in = File("stdin", input), out = dir_ + "/stdout", err = dir_ + "/stderr";
    const pid_t child = fork();
    if (child == 0) {
      std::freopen(in.c_str(), "rb", stdin);
      std::freopen(out.c_str(), "wb", stdout);
      std::freopen(err.c_str(), "wb", stderr);
      std::vector<char*> argv;
      for (std::string& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
  }

  std::string dir_;
};

// The Luhn rule restated for plain digit strings, to label generated lines.
bool CheckNumberOf(const std::string& digits) {
  int sum = 0;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    int d = digits[digits.size() - 1 - i] - '0';
    if (i % 2 == 1) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
    sum += d;
  }
  return sum % 10 == 0;
}

constexpr const char* kVisa = "4111111111111111";
constexpr const char* kGpa = "12345678970-7506154-0909309-0";

TEST_F(ToolTest, CardFormats) {
  struct Row {
    const char* format;
    const char* expected;
  } const rows[] = {
      {"text",
       "4111111111111111: valid (Visa, checksum ok)\n"
       "4111111111111: invalid (Visa, checksum fails)\n"
       "34000000000000: invalid (no brand, checksum ok)\n"},
      {"tsv",
       "4111111111111111\tvalid\tVisa\tpass\n"
       "4111111111111\tinvalid\tVisa\tfail\n"
       "34000000000000\tinvalid\tnone\tpass\n"},
      {"json",
       "{\"number\":\"4111111111111111\",\"valid\":true,\"brand\":\"Visa\",\"checksum\":true}\n"
       "{\"number\":\"4111111111111\",\"valid\":false,\"brand\":\"Visa\",\"checksum\":false}\n"
       "{\"number\":\"34000000000000\",\"valid\":false,\"brand\":null,\"checksum\":true}\n"},
  };
  for (const Row& row : rows) {
    const Outcome run = Tessera({"card", "--format", row.format, kVisa, "4111111111111", "34000000000000"});
    EXPECT_EQ(run.out, row.expected) << row.format;
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "");
  }
}

TEST_F(ToolTest, IdFormatsAtAGivenDate) {
  struct Row {
    std::vector<std::string> args;
    int status;
    const char* expected;
  } const rows[] = {
      {{"--today", "2009-09-30"}, 0, "12345678970-7506154-0909309-0: valid (check digits ok, not expired, age 34)\n"},
      {{"--today", "2009-10-01"}, 1, "12345678970-7506154-0909309-0: invalid (check digits ok, expired, age 34)\n"},
      {{"--today=2009-10-01", "--format=tsv"}, 1, "12345678970-7506154-0909309-0\tinvalid\tpass\texpired\t34\n"},
      {{"--today", "2004-01-01", "--format", "json"},
       0,
       "{\"number\":\"12345678970-7506154-0909309-0\",\"valid\":true,\"check_digits\":true,\"unexpired\":true,"
       "\"age\":29}\n"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> args = {"id"};
    args.insert(args.end(), row.args.begin(), row.args.end());
    args.push_back(kGpa);
    const Outcome run = Tessera(args);
    EXPECT_EQ(run.out, row.expected);
    EXPECT_EQ(run.status, row.status);
  }
  const Outcome wrong = Tessera({"id", "12345678970-7506154-0909309-5"});
  EXPECT_EQ(wrong.out, "12345678970-7506154-0909309-5: invalid (check digits wrong)\n");
  EXPECT_EQ(wrong.status, 1);
}

TEST_F(ToolTest, ReadsLinesFromStandardInputAndFiles) {
  const Outcome piped = Tessera({"card", "--format", "tsv"}, "4111111111111111\r\n\n378282246310005");
  EXPECT_EQ(piped.out,
            "4111111111111111\tvalid\tVisa\tpass\n"
            "\tinvalid\tnone\tpass\n"
            "378282246310005\tvalid\tAmerican Express\tpass\n");
  EXPECT_EQ(piped.status, 1) << "the empty line is no card";

  const std::string a = File("a", "4111111111111111\n"), b = File("b", "378282246310005\n");
  const Outcome files = Tessera({"card", "--format", "tsv", "--file", b, "-", "--file", a}, "5555555555554444\n");
  EXPECT_EQ(files.out,
            "378282246310005\tvalid\tAmerican Express\tpass\n"
            "5555555555554444\tvalid\tMasterCard\tpass\n"
            "4111111111111111\tvalid\tVisa\tpass\n");
  EXPECT_EQ(files.status, 0);
}

TEST_F(ToolTest, StripRemovesGroupingOnlyWhenAsked) {
  EXPECT_EQ(Tessera({"card", "4111 1111-1111 1111"}).status, 1);
  const Outcome stripped = Tessera({"card", "--strip", "4111 1111-1111 1111"});
  EXPECT_EQ(stripped.out, "4111 1111-1111 1111: valid (Visa, checksum ok)\n");
  EXPECT_EQ(stripped.status, 0);
}

TEST_F(ToolTest, UsageErrorsExitTwoWithOneLine) {
  struct Row {
    std::vector<std::string> args;
    const char* message;
  } const rows[] = {
      {{}, "tessera: missing command: card or id\n"},
      {{"check"}, "tessera: unknown command 'check': use card or id\n"},
      {{"card", "--bogus"}, "tessera: unknown option '--bogus'\n"},
      {{"card", "--format", "xml"}, "tessera: unknown format 'xml': use text, tsv or json\n"},
      {{"card", "--format"}, "tessera: option --format needs a value\n"},
      {{"card", "--strip=yes"}, "tessera: option --strip takes no value\n"},
      {{"id", "--today", "2026-02-30"}, "tessera: --today wants a calendar date YYYY-MM-DD, not '2026-02-30'\n"},
      {{"id", "--strip"}, "tessera: --strip is for card numbers: the dashes of a GPA number are part of it\n"},
  };
  for (const Row& row : rows) {
    const Outcome run = Tessera(row.args);
    EXPECT_EQ(run.status, 2) << row.message;
    EXPECT_EQ(run.err, std::string(row.message) + "try 'tessera --help'\n");
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(ToolTest, InputErrorsNameTheFileAndTheRestIsChecked) {
  const std::string missing = dir_ + "/missing";
  const Outcome run = Tessera({"card", "--file", missing, kVisa});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "tessera: cannot open " + missing + ": No such file or directory\n");
  EXPECT_EQ(run.out, "4111111111111111: valid (Visa, checksum ok)\n");

  const Outcome directory = Tessera({"card", "--file", dir_});
  EXPECT_EQ(directory.status, 2);
  EXPECT_EQ(directory.err, "tessera: cannot read " + dir_ + ": Is a directory\n");
}

TEST_F(ToolTest, NulInALineIsReportedNotCheckedAsAnotherNumber) {
  const std::string input = std::string("4111111111111111\n4111111111111111\0" "99\n", 37) + "378282246310005\n";
  const std::string path = File("nul", input);
  const Outcome run = Tessera({"card", "--format", "tsv", "--file", path});
  EXPECT_EQ(run.out,
            "4111111111111111\tvalid\tVisa\tpass\n"
            "4111111111111111\\x0099\tinvalid\tcontains a NUL byte\n"
            "378282246310005\tvalid\tAmerican Express\tpass\n");
  EXPECT_EQ(run.err, "tessera: " + path + ":2: line holds a NUL byte; reported invalid\n");
  EXPECT_EQ(run.status, 1);
}

TEST_F(ToolTest, UnreadableFile) {
  const std::string path = File("locked", "4111111111111111\n");
  chmod(path.c_str(), 0);
  std::vector<std::string> words = {TESSERA_TOOL, "card", "--file", path};
  // Root reads every file, so the tool runs as nobody there.
  if (geteuid() == 0) words.insert(words.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
  const Outcome run = Execute(words);
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "tessera: cannot open " + path + ": Permission denied\n");
  EXPECT_EQ(run.out, "");
}

TEST_F(ToolTest, EmptyFileAndMissingFinalNewline) {
  const Outcome empty = Tessera({"card", "--file", File("empty", "")});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "");
  const Outcome unterminated = Tessera({"card", "--format", "tsv", "--file", File("last", "378282246310005\n4111111111111111")});
  EXPECT_EQ(unterminated.out, "378282246310005\tvalid\tAmerican Express\tpass\n4111111111111111\tvalid\tVisa\tpass\n");
  EXPECT_EQ(unterminated.status, 0);
}

TEST_F(ToolTest, AHundredMebibyteLineIsOneNumber) {
  const std::string path = File("long", std::string(100 << 20, '9') + "\n4111111111111111\n");
  const Outcome run = Tessera({"card", "--format", "tsv", "--file", path});
  ASSERT_EQ(run.out.size(), (100u << 20) + 19 + 33);
  // 9 for each of 100 * 2^20 characters wraps the 16-bit sum to exactly 0.
  EXPECT_EQ(run.out.substr(100u << 20), "\tinvalid\tnone\tpass\n4111111111111111\tvalid\tVisa\tpass\n");
  EXPECT_EQ(run.status, 1);
}

TEST_F(ToolTest, EveryLineGetsOneOutputLineInOrder) {
  std::string input, expected;
  for (int i = 0; i < 200000; ++i) {
    const std::string line = i % 3 ? "4111111111111111" : std::to_string(i);
    input += line + (i % 2 ? "\r\n" : "\n");
    expected += line + (i % 3 ? "\tvalid\tVisa\tpass\n" : "\tinvalid\tnone\t");
    if (i % 3 == 0) expected += (CheckNumberOf(line) ? "pass\n" : "fail\n");
  }
  const Outcome run = Tessera({"card", "--format", "tsv"}, input);
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.status, 1);
}

TEST_F(ToolTest, AClosedPipeEndsQuietly) {
  std::string input;
  for (int i = 0; i < 300000; ++i) input += "4111111111111111\n";
  const std::string big = File("big", input);
  const Outcome run = Execute({"/bin/sh", "-c", "\"$0\" card < \"$1\" | head -n 1", TESSERA_TOOL, big});
  EXPECT_EQ(run.out, "4111111111111111: valid (Visa, checksum ok)\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 0);
}

TEST_F(ToolTest, NumbersAreEscapedSoEachStaysOnItsLine) {
  struct Row {
    const char* format;
    std::string number;
    const char* shown;
  } const rows[] = {
      {"tsv", "4111\t1111\\1111", "4111\\x091111\\\\1111"},
      {"tsv", "41111111\x7f", "41111111\\x7f"},
      {"tsv", "4\xe9", "4\xe9"},
      {"json", "4\xe9\"1", "\"4\\u00e9\\\"1\""},
      {"json", "12345678901234\"", "\"12345678901234\\\"\""},
      {"json", "1234567890123456", "\"1234567890123456\""},
  };
  for (const Row& row : rows) {
    const Outcome run = Tessera({"card", "--format", row.format, row.number});
    EXPECT_EQ(run.out.substr(0, run.out.find(row.format == std::string("tsv") ? '\t' : ',')),
              row.format == std::string("tsv") ? std::string(row.shown) : "{\"number\":" + std::string(row.shown))
        << row.number;
  }
}

TEST_F(ToolTest, HelpAndVersion) {
  const Outcome help = Tessera({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("usage: tessera card", 0), 0u);
  const Outcome version = Tessera({"--version"});
  EXPECT_EQ(version.out, std::string("tessera ") + TESSERA_VERSION + "\n");
  EXPECT_EQ(version.status, 0);
}

TEST_F(ToolTest, EmptyInputIsAllValid) {
  const Outcome run = Tessera({"card"}, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
}

}  // namespace
