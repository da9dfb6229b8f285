// process.h -- runs the tool as a separate process for the tests that watch it from outside, in a scratch folder
#pragma once

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tessera_test {

struct Outcome {
  int status;  // the exit status, or -1 when a signal ended the process
  std::string out;
  std::string err;
  long peak_kib;  // peak resident size of the process
};

inline std::string Slurp(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs `words` (the first looked up on PATH) with standard input from the
// file `in_path`; standard output and error go to the files `out_path` and
// `err_path`, read back once it ends. Files rather than pipes, so that the
// program sees what it sees when a user redirects.
inline Outcome Execute(std::vector<std::string> words, const std::string& in_path, const std::string& out_path,
                       const std::string& err_path) {
  const pid_t child = fork();
  if (child == 0) {
    if (!std::freopen(in_path.c_str(), "rb", stdin) || !std::freopen(out_path.c_str(), "wb", stdout) ||
        !std::freopen(err_path.c_str(), "wb", stderr))
      _exit(126);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out_path), Slurp(err_path), usage.ru_maxrss};
}

// A program started with a pipe on each of standard input and output; pid
// is -1 if it could not be started.
struct Piped {
  pid_t pid = -1;
  int in = -1;   // written to: the program's standard input
  int out = -1;  // read from: the program's standard output
};

// Starts `words` (the first a path) with `environment` added to its own;
// standard error is the test's.
inline Piped Spawn(std::vector<std::string> words, const std::vector<std::pair<std::string, std::string>>& environment = {}) {
  int in[2], out[2];
  if (pipe(in) != 0) return {};
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return {};
  }
  const pid_t child = fork();
  if (child == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    for (const auto& [name, value] : environment) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (child < 0) {
    close(in[1]);
    close(out[0]);
    return {};
  }
  return {child, in[1], out[0]};
}

// What the program has written to `fd` within five seconds, until `want`
// bytes came: for output that must leave before the input ends.
inline std::string ReadSoon(int fd, std::size_t want) {
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

// A fresh folder under /tmp for each test, removed afterwards with all in
// it, even what a test made unreadable.
class ScratchTest : public ::testing::Test {
 protected:
  explicit ScratchTest(std::string prefix) : prefix_(std::move(prefix)) {}

  void SetUp() override {
    std::string pattern = "/tmp/" + prefix_ + "XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::system(("chmod -R u+rwX '" + dir_ + "' 2>/dev/null; rm -rf '" + dir_ + "'").c_str()); }

  std::string File(const std::string& name, const std::string& content) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }

  std::string dir_;

 private:
  std::string prefix_;
};

}  // namespace tessera_test
