// redact_tool_test.cpp -- tessera redact, run as users run it: the forms, files replaced in place, failures that keep the original
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fnmatch.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "make_files.h"
#include "process.h"

namespace {

using namespace std::string_literals;
using tessera_test::Outcome;
using tessera_test::Slurp;

const std::string kLog = "a 4111 1111 1111 1111\r\nb 5555555555554444 x\n\xff\0end 378282246310005"s;

class RedactToolTest : public tessera_test::ScratchTest {
 protected:
  RedactToolTest() : ScratchTest("tessera-redact-") {}

  Outcome Redact(const std::vector<std::string>& args, const std::string& input = "", bool as_nobody = false) {
    std::vector<std::string> words = {TESSERA_TOOL, "redact"};
    words.insert(words.end(), args.begin(), args.end());
    // Root writes into any folder, so a read-only one needs another user.
    if (as_nobody && geteuid() == 0) words.insert(words.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    const std::string in = dir_ + "/.stdin", out = dir_ + "/.stdout", err = dir_ + "/.stderr";
    std::ofstream(in, std::ios::binary) << input;
    const Outcome outcome = tessera_test::Execute(std::move(words), in, out, err);
    unlink(in.c_str());
    unlink(out.c_str());
    unlink(err.c_str());
    return outcome;
  }

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) names.push_back(entry.path().filename());
    return names;
  }
};

struct FormCase {
  std::vector<std::string> args;
  std::string redacted;
};

TEST_F(RedactToolTest, EachFormKeepsEveryOtherByte) {
  const std::string& log = kLog;
  const std::vector<FormCase> rows = {
      {{}, "a **** **** **** 1111\r\nb ************4444 x\n\xff\0end ***********0005"s},
      {{"--mask", "last4"}, "a **** **** **** 1111\r\nb ************4444 x\n\xff\0end ***********0005"s},
      {{"--mask", "first6last4"}, "a 4111 11** **** 1111\r\nb 555555******4444 x\n\xff\0end 378282*****0005"s},
      {{"--replace", "[PAN]"}, "a [PAN]\r\nb [PAN] x\n\xff\0end [PAN]"s},
  };
  for (const FormCase& row : rows) {
    const Outcome run = Redact(row.args, log);
    EXPECT_EQ(run.out, row.redacted) << testing::PrintToString(row.args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
  }
}

TEST_F(RedactToolTest, HashTagsTheSameCardAlike) {
  const std::string key = File("key", "a secret kept elsewhere");
  const Outcome run = Redact({"--hash", key}, "4111 1111 1111 1111;4111111111111111;5555555555554444\n");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(run.out.size(), 3 * 19 + 2 + 1);
  const std::string first = run.out.substr(0, 19), second = run.out.substr(20, 19), third = run.out.substr(40, 19);
  EXPECT_EQ(fnmatch("[[]card:[0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f][0-9a-f]]",
                    first.c_str(), 0), 0) << first;
  EXPECT_EQ(first, second) << "separators do not change the tag";
  EXPECT_NE(first, third);
  const std::string other = File("other", "another key");
  EXPECT_NE(Redact({"--hash", other}, "4111111111111111").out, second) << "the key decides the tag";
}

TEST_F(RedactToolTest, CompressedInputIsWrittenDecoded) {
  const std::string path = File("app.log.gz", tessera_test::Gzip("pan 4111111111111111\n"));
  const Outcome run = Redact({path});
  EXPECT_EQ(run.out, "pan ************1111\n");
  EXPECT_EQ(run.status, 0);
}

TEST_F(RedactToolTest, InPlaceKeepsTheMode) {
  const std::string path = File("app.log", "pan 4111111111111111\nok\n");
  chmod(path.c_str(), 0640);
  const Outcome run = Redact({"--in-place", "--summary", path});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "tessera: 1 number redacted in 1 input (24 bytes)\n");
  EXPECT_EQ(Slurp(path), "pan ************1111\nok\n");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(), std::vector<std::string>{"app.log"});
}

struct FailureCase {
  std::string name;
  std::string content;
  std::vector<std::string> args;  // the file's path goes last
  bool as_nobody;
  bool read_only_dir;
  const char* message;
};

TEST_F(RedactToolTest, FailuresLeaveTheOriginal) {
  const std::vector<FailureCase> rows = {
      {"app.log", "pan 4111111111111111\n", {"--in-place"}, true, true, "cannot write beside"},
      {"app.log", "pan 4111111111111111\n", {"-o", "/dev/full"}, false, false, "No space left on device"},
      {"app.log.gz", tessera_test::Gzip("pan 4111111111111111\n"), {"--in-place"}, false, false, "not redacted in place"},
  };
  for (const FailureCase& row : rows) {
    const std::string path = File(row.name, row.content);
    chmod(path.c_str(), 0644);
    chmod(dir_.c_str(), row.read_only_dir ? 0555 : 0755);
    std::vector<std::string> args = row.args;
    args.push_back(path);
    const Outcome run = Redact(args, "", row.as_nobody);
    chmod(dir_.c_str(), 0755);
    EXPECT_EQ(run.status, 2) << row.message;
    EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
    EXPECT_EQ(Slurp(path), row.content) << row.message;
    EXPECT_EQ(Names(), std::vector<std::string>{row.name}) << "nothing left beside";
    unlink(path.c_str());
  }
}

TEST_F(RedactToolTest, OutputFileIsWholeOrUntouched) {
  const std::string out = File("out.txt", "old");
  const Outcome run = Redact({"-o", out, dir_ + "/missing"}, "");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(Redact({"-o", out}, "4111111111111111\n").status, 0);
  EXPECT_EQ(Slurp(out), "************1111\n");
}

// `tail -f app.log | tessera redact --line-buffered | ...`: each line leaves
// before the input ends.
TEST_F(RedactToolTest, LinesLeaveBeforeTheInputEnds) {
  const tessera_test::Piped tool = tessera_test::Spawn({TESSERA_TOOL, "redact", "--line-buffered"});
  ASSERT_GT(tool.pid, 0);
  const std::string first = "x ************1111\n", second = "y 5555 5555 5555 4444 5\n";
  ASSERT_EQ(write(tool.in, "x 4111111111111111\n", 19), 19);
  EXPECT_EQ(tessera_test::ReadSoon(tool.out, first.size()), first);
  ASSERT_EQ(write(tool.in, second.data(), second.size()), static_cast<ssize_t>(second.size()));
  EXPECT_EQ(tessera_test::ReadSoon(tool.out, second.size()), "y **** **** **** **** 5\n");
  close(tool.in);
  close(tool.out);
  int status = 0;
  waitpid(tool.pid, &status, 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
