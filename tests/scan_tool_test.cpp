// scan_tool_test.cpp -- tessera scan as a user runs it: findings, formats, gzip, directories, memory
#include <fcntl.h>
#include <fnmatch.h>
#include <poll.h>
#include <pty.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "make_files.h"
#include "process.h"
#include "tool/allowlist.h"
#include "tool/escape.h"
#include "tool/glob.h"
#include "tool/sha256.h"
#include "tool/threads.h"

namespace {

using tessera_test::Outcome;
using tessera_test::Slurp;

using tessera_test::Gzip;

class ScanToolTest : public tessera_test::ScratchTest {
 protected:
  ScanToolTest() : ScratchTest("tessera-scan-") {}

  void SetUp() override {
    ScratchTest::SetUp();
    // Walked as nobody in some tests.
    chmod(dir_.c_str(), 0755);
  }
  std::string Dir(const std::string& name) {
    const std::string path = dir_ + "/" + name;
    mkdir(path.c_str(), 0755);
    return path;
  }

  Outcome Scan(const std::vector<std::string>& args, const std::string& input = "", bool as_nobody = false) {
    std::vector<std::string> words = {TESSERA_TOOL, "scan"};
    words.insert(words.end(), args.begin(), args.end());
    // Root reads every file, so an unreadable one needs another user.
    if (as_nobody && geteuid() == 0) words.insert(words.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    return Execute(words, input);
  }

  Outcome Execute(std::vector<std::string> words, const std::string& input = "") {
    const std::string in = dir_ + "/.stdin", out = dir_ + "/.stdout", err = dir_ + "/.stderr";
    std::ofstream(in, std::ios::binary) << input;
    const Outcome outcome = tessera_test::Execute(std::move(words), in, out, err);
    unlink(in.c_str());
    unlink(out.c_str());
    unlink(err.c_str());
    return outcome;
  }
};

TEST_F(ScanToolTest, FindingsMaskedWithPositions) {
  const std::string path = File("app.log",
                                "2024-05-01 12:00:01 order 9945391488034364679 ok\n"
                                "payment card=4539148803436467; amount 12.00\n"
                                "\n"
                                "  x 3742 821946 21233 and 4539-1488-0343-6467 2024\n");
  const Outcome run = Scan({path});
  EXPECT_EQ(run.out, path + ":2:14: Visa 453914******6467\n" +
                         path + ":4:5: American Express 3742 82**** *1233\n" +
                         path + ":4:27: Visa 4539-14**-****-6467\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 1);
}

TEST_F(ScanToolTest, NothingFoundIsStatusZero) {
  const Outcome run = Scan({File("clean", "4539.1488.0343.6467\n4539148803436468\n356938035643809\n")});
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.status, 0);
}

// At most the first six and the last four digits show; separators stay.
TEST_F(ScanToolTest, MaskingOfThirteenToNineteenDigits) {
  const std::string input =
      "4222222222222\n"
      "3056 930902 5904\n"
      "3782-822463-10005\n"
      "4111 1111 1111 1111\n"
      "41111111111111113\n"
      "4111 1111 1111 1111 18\n"
      "4111-1111-1111-1111-110\n";
  const Outcome masked = Scan({"--brands", "seed", "--luhn-only", "-"}, input);
  EXPECT_EQ(masked.out,
            "(standard input):1:1: Visa 422222***2222\n"
            "(standard input):2:1: Diners Club 3056 93**** 5904\n"
            "(standard input):3:1: American Express 3782-82****-*0005\n"
            "(standard input):4:1: Visa 4111 11** **** 1111\n"
            "(standard input):5:1: unknown 411111*******1113\n"
            "(standard input):6:1: unknown 4111 11** **** **11 18\n"
            "(standard input):7:1: unknown 4111-11**-****-***1-110\n");
  const Outcome whole = Scan({"--brands", "seed", "--luhn-only", "--unmasked"}, input);
  EXPECT_EQ(whole.out.substr(0, 41), "(standard input):1:1: Visa 4222222222222\n");
  EXPECT_NE(whole.out.find(":7:1: unknown 4111-1111-1111-1111-110\n"), std::string::npos);
}

TEST_F(ScanToolTest, JsonAndTsv) {
  const std::string path = File("f", "ab\ncard 4539 1488 0343 6467\n");
  const Outcome json = Scan({"--format", "json", path});
  // The digest is sha256sum's of the digits alone.
  EXPECT_EQ(json.out, "{\"type\":\"card\",\"path\":\"" + path +
                          "\",\"line\":2,\"column\":6,\"offset\":8,\"length\":19,\"brand\":\"Visa\","
                          "\"number\":\"4539 14** **** 6467\",\"reason\":\"key\",\"key\":\"card\",\"track\":null,"
                          "\"test\":false,\"kept\":null,"
                          "\"sha256\":\"dc7acdd68b5a737fa73186e9a5b6f892c6a9f80f7e72d3d12d5afaea09e36860\"}\n");
  const Outcome tsv = Scan({"--format=tsv", "--unmasked", path});
  EXPECT_EQ(tsv.out, path + "\t2\t6\t8\t19\tVisa\t4539 1488 0343 6467\tkey\tcard\t\t\t\n");
}

// Today's table by default; the seed table and the rule before it on request.
TEST_F(ScanToolTest, BrandTables) {
  const std::string path = File("b", "2221000000000009\n356938035643809\n3600000000000008\n");
  EXPECT_EQ(Scan({path}).out, path + ":1:1: Mastercard 222100******0009\n" + path + ":3:1: Diners Club 360000******0008\n");
  EXPECT_EQ(Scan({"--brands", "seed", path}).out,
            path + ":2:1: JCB 356938*****3809\n" + path + ":3:1: JCB 360000******0008\n")
      << "the IMEI was a JCB card";
  EXPECT_EQ(Scan({"--brands", "other", path}).status, 2);
  const Outcome card = Execute({TESSERA_TOOL, "card", "2221000000000009"});
  EXPECT_EQ(card.out, "2221000000000009: invalid (no brand, checksum ok)\n") << "tessera card keeps the seed table";
  const Outcome current = Execute({TESSERA_TOOL, "card", "--brands", "current", "2221000000000009", "6205500000000000004"});
  EXPECT_EQ(current.out, "2221000000000009: valid (Mastercard, checksum ok)\n"
                         "6205500000000000004: valid (UnionPay, checksum ok)\n");
}

TEST_F(ScanToolTest, KeptBackAndTestNumbers) {
  const std::string path = File("k", "order_id=4539148803436467\n"
                                     "4111 1111 1111 1111\n"
                                     "BE36123456780103\n"
                                     "card=5397583029816274\n");
  const Outcome plain = Scan({path});
  EXPECT_EQ(plain.out, path + ":4:6: Mastercard 539758******6274\n");
  const Outcome tests = Scan({"--test-numbers", path});
  EXPECT_EQ(tests.out, path + ":2:1: Visa 4111 11** **** 1111 (test number)\n" + path + ":4:6: Mastercard 539758******6274\n");
  const Outcome all = Scan({"--all-numbers", path});
  EXPECT_EQ(all.out, path + ":1:10: Visa 453914******6467 (kept back: value of order_id)\n" +
                         path + ":2:1: Visa 4111 11** **** 1111 (test number, kept back)\n" +
                         path + ":3:3: Diners Club 361234****0103 (kept back: part of an IBAN)\n" +
                         path + ":4:6: Mastercard 539758******6274\n");
  const Outcome json = Scan({"--all-numbers", "--format", "json", path});
  EXPECT_NE(json.out.find("\"reason\":\"plain\",\"key\":\"order_id\",\"track\":null,\"test\":false,\"kept\":\"key\""),
            std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"test\":true,\"kept\":\"test\""), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"kept\":\"iban\""), std::string::npos) << json.out;
  const Outcome summary = Scan({"--summary", "-c", path});
  EXPECT_NE(summary.err.find("\ntessera: 1 finding: Mastercard 1\n"
                             "tessera: not reported: 1 test numbers (--test-numbers), 1 values of keys that name "
                             "other numbers, 1 parts of IBANs (--all-numbers shows them)\n"),
            std::string::npos)
      << summary.err;
  EXPECT_EQ(Scan({File("only-tests", "4111111111111111\n")}).status, 0) << "a test number alone is no finding";
}

TEST_F(ScanToolTest, TrackDataIsAlwaysReported) {
  const std::string path =
      File("t", "%B4539148803436467^DOE/JOHN^25121010000000000000?\norder_id=4111111111111111=25121010000?\n");
  const Outcome run = Scan({"--summary", path});
  EXPECT_EQ(run.out, path + ":1:3: Visa 453914******6467 (track 1)\n" + path +
                         ":2:10: Visa 411111******1111 (track 2, test number)\n");
  EXPECT_NE(run.err.find("tessera: 2 of them track data"), std::string::npos) << run.err;
  EXPECT_NE(Scan({"--format", "json", path}).out.find("\"reason\":\"track\",\"key\":\"order_id\",\"track\":2"),
            std::string::npos);
}

// --ignore lists numbers, digests and prefixes; nothing that names a card
// number is written, whichever way it is listed.
TEST_F(ScanToolTest, IgnoreLists) {
  const std::string path = File("i", "4539148803436467\n5397583029816274\n374282194621233\n4917612345678904\n");
  const std::string list = File("accepted",
                                "# accepted findings\n"
                                "\n"
                                "sha256:DC7ACDD68B5A737FA73186E9A5B6F892C6A9F80F7E72D3D12D5AFAEA09E36860\n"
                                "prefix:5397   # a loyalty range\n"
                                "3742 821946 21233\n");
  const Outcome run = Scan({"--ignore", list, "--summary", path});
  EXPECT_EQ(run.out, path + ":4:1: Visa 491761******8904\n");
  EXPECT_NE(run.err.find("tessera: suppressed: 3 by --ignore\n"), std::string::npos) << run.err;
  EXPECT_EQ(Scan({"--ignore", list, "--ignore", File("more", "4917-6123-4567-8904\n"), path}).status, 0);
  for (const char* bad : {"sha256:1234\n", "prefix:12a\n", "4539x\n"}) {
    const Outcome trouble = Scan({"--ignore", File("bad", bad), path});
    EXPECT_EQ(trouble.status, 2) << bad;
    EXPECT_NE(trouble.err.find(dir_ + "/bad:1: "), std::string::npos) << trouble.err;
  }
  EXPECT_EQ(Scan({"--ignore", dir_ + "/none", path}).status, 2);
}

// A baseline is an earlier JSON output: what it holds is matched by path
// and digest, so lines added above a finding do not bring it back.
TEST_F(ScanToolTest, BaselineOfAnEarlierScan) {
  const std::string path = File("app.log", "a 4539148803436467\nb 5397583029816274\n");
  const Outcome earlier = Scan({"--format", "json", path});
  ASSERT_EQ(earlier.status, 1);
  EXPECT_EQ(earlier.out.find("4539148803436467"), std::string::npos) << "no number whole in a file Tessera writes";
  const std::string baseline = File("baseline.json", earlier.out);
  File("app.log", "new line\n\nx 374282194621233\na 4539148803436467\nb 5397583029816274\n");
  const Outcome later = Scan({"--baseline", baseline, "--summary", path});
  EXPECT_EQ(later.out, path + ":3:3: American Express 374282*****1233\n");
  EXPECT_NE(later.err.find("tessera: suppressed: 2 by --baseline\n"), std::string::npos) << later.err;
  const std::string other = File("other.log", "a 4539148803436467\n");
  EXPECT_EQ(Scan({"--baseline", baseline, other}).out, other + ":1:3: Visa 453914******6467\n")
      << "another path is another finding";
  EXPECT_EQ(Scan({"--baseline", File("bad.json", "{\"path\":\"x\"}\n"), path}).status, 2) << "no digest";
}

// A baseline names a path that is not UTF-8 by its bytes, as the JSON
// output does, and passes over the objects that are no findings.
TEST_F(ScanToolTest, BaselineOfPathsThatAreNotUtf8) {
  const std::string path = File("caf\xe9.log", "a 4539148803436467\n");
  const Outcome earlier = Scan({"--format", "json", path});
  ASSERT_NE(earlier.out.find("\"path\":{\"bytes\":"), std::string::npos) << earlier.out;
  const std::string baseline =
      File("baseline.json", earlier.out + "{\"type\":\"skipped\",\"path\":\"x.zip\",\"reason\":\"encrypted\",\"detail\":\"\"}\n");
  const Outcome later = Scan({"--baseline", baseline, path});
  EXPECT_EQ(later.out, "");
  EXPECT_EQ(later.status, 0) << later.err;
  const std::string other = File("caf\xe8.log", "a 4539148803436467\n");
  EXPECT_EQ(Scan({"--baseline", baseline, other}).status, 1) << "another byte is another path";
}

TEST_F(ScanToolTest, CountsAndFilesWithFindings) {
  const std::string a = File("a", "4539148803436467 5397583029816274\n"), b = File("b", "nothing\n"),
                    c = File("c", "374282194621233\n");
  EXPECT_EQ(Scan({"-c", a, b, c}).out, a + ":2\n" + c + ":1\n");
  EXPECT_EQ(Scan({"--count", "--format", "json", a}).out, "{\"path\":\"" + a + "\",\"count\":2}\n");
  const Outcome files = Scan({"-l", a, b, c});
  EXPECT_EQ(files.out, a + "\n" + c + "\n");
  EXPECT_EQ(files.status, 1);
  EXPECT_EQ(Scan({"-l", b}).status, 0);
}

TEST_F(ScanToolTest, GzipIsReadDecompressedWithItsMembersAsOneText) {
  const std::string plain = "x\ncard 4539 1488 0343 6467\n";
  const Outcome one = Scan({File("one.log.gz", Gzip(plain))});
  EXPECT_EQ(one.out, dir_ + "/one.log.gz:2:6: Visa 4539 14** **** 6467\n");
  // A number cut in two by the end of a member, and positions that run on.
  const std::string two = Gzip("x\ncard 4539 14") + Gzip("88 0343 6467\n5397583029816274\n");
  const Outcome members = Scan({"--format", "tsv", File("two", two)});
  EXPECT_EQ(members.out, dir_ + "/two\t2\t6\t7\t19\tVisa\t4539 14** **** 6467\tkey\tcard\t\t\t\n" + dir_ +
                             "/two\t3\t1\t27\t16\tMastercard\t539758******6274\tplain\t\t\t\t\n");
  EXPECT_EQ(Scan({"-"}, Gzip(plain)).out, "(standard input):2:6: Visa 4539 14** **** 6467\n") << "from a pipe";
  EXPECT_EQ(Scan({File("not.gz", plain)}).out, dir_ + "/not.gz:2:6: Visa 4539 14** **** 6467\n")
      << "the name does not matter, the magic bytes do";
}

TEST_F(ScanToolTest, DamagedGzipIsNamedAfterWhatCameBefore) {
  std::string lines;
  for (int i = 0; i < 20000; ++i) lines += "line " + std::to_string(i) + " 4539148803436467\n";
  const std::string gz = Gzip(lines);
  const std::string path = File("cut.gz", gz.substr(0, gz.size() / 2));
  const Outcome run = Scan({"-c", path});
  EXPECT_EQ(run.status, 1) << "not seen into, without --strict";
  EXPECT_EQ(run.err, "tessera: " + path + ": not seen into (damaged): the gzip data ends early: the file is cut short\n");
  ASSERT_EQ(run.out.rfind(path + ":", 0), 0u);
  const long found = std::stol(run.out.substr(path.size() + 1));
  EXPECT_GT(found, 0);
  EXPECT_LT(found, 20000);
  EXPECT_EQ(Scan({"--strict", "-c", path}).status, 2) << "2 wins over 1";
  // Bytes after the gzip data are scanned as they are, and named.
  const Outcome garbage = Scan({File("garbage.gz", gz + "trailing 5555556595554444")});
  EXPECT_EQ(garbage.status, 1);
  EXPECT_NE(garbage.out.find(":20001:10: Mastercard 555555******4444\n"), std::string::npos) << garbage.out;
  EXPECT_NE(garbage.err.find("not seen into (damaged): bytes after the end of the gzip data"), std::string::npos) << garbage.err;
}

// Members are named ARCHIVE!/MEMBER in every format; UTF-16 positions are
// those of the file (columns in code units); Office text is found whole.
TEST_F(ScanToolTest, InsideArchivesUtf16AndOfficeFiles) {
  const std::string zip = File("a.zip", tessera_test::Zip({
      {"u.txt", tessera_test::Utf16(u"\u00e9\nx 4111 1121 0111 1111\n", false, true)},
      {"r.docx", tessera_test::Docx({{"Card: 5555 5565", " 9555 4444"}})},
      {"h.gz", Gzip("\x1f\x8b text that is no gzip 4111112101111111\n") + std::string(64, '\0'), false},
  }));
  const Outcome text = Scan({zip});
  EXPECT_EQ(text.out, zip + "!/u.txt:2:3: Visa 4111 11** **** 1111\n" + zip +
                          "!/r.docx!/word/document.xml:1:7: Mastercard 5555 55** **** 4444\n" + zip +
                          "!/h.gz:1:25: Visa 411111******1111\n");
  EXPECT_EQ(text.err, "") << "gzip of a text that begins like gzip, with trailing zeros: nothing to say";
  const Outcome tsv = Scan({"--format", "tsv", zip});
  EXPECT_EQ(tsv.out.substr(0, tsv.out.find('\n')), zip + "!/u.txt\t2\t3\t10\t19\tVisa\t4111 11** **** 1111\tlayout\t\t\t\t");
  const Outcome json = Scan({"--format", "json", "-c", zip});
  EXPECT_EQ(json.out.substr(0, json.out.find('\n')), "{\"path\":\"" + zip + "!/u.txt\",\"count\":1}");
}

// A spreadsheet's number cell that rounded a card number away is a
// finding of its own kind.
TEST_F(ScanToolTest, NumbersASpreadsheetRounded) {
  const std::string sheet = "<worksheet xmlns=\"" + std::string(tessera_test::kSheetNamespace) +
                            "\"><sheetData><row><c><v>4.11111111111111E+15</v></c><c><v>1.23456789012345E+15</v></c>"
                            "</row></sheetData></worksheet>";
  const std::string book = File("b.xlsx", tessera_test::Zip({{"xl/worksheets/sheet1.xml", sheet}}));
  const Outcome text = Scan({book});
  EXPECT_EQ(text.out, book + "!/xl/worksheets/sheet1.xml:1:1: Visa (rounded) 4.11111*********E+15\n")
      << "1.23456789012345E+15 has no brand";
  EXPECT_EQ(text.status, 1);
  const Outcome json = Scan({"--format", "json", "--unmasked", book});
  EXPECT_EQ(json.out, "{\"type\":\"rounded\",\"path\":\"" + book +
                          "!/xl/worksheets/sheet1.xml\",\"line\":1,\"column\":1,\"offset\":0,\"length\":20,"
                          "\"brand\":\"Visa\",\"number\":\"4.11111111111111E+15\"}\n");
}

// What it cannot see into: a line on standard error, an object in JSON,
// counts in --summary; --strict makes it status 2. Bombs and deep nesting
// stop early, in little memory.
TEST_F(ScanToolTest, WhatItCannotSeeIntoIsNamed) {
  Dir("t");
  File("t/a.log", "4111112101111111\n");
  File("t/b.zip", tessera_test::Zip({{"secret", "x", false, true}}));
  File("t/c.zip", tessera_test::ZipBomb(10240));
  std::string nested = "5555556595554444\n";
  for (int i = 0; i < 100; ++i) nested = Gzip(nested);
  File("t/d.gz", nested);
  const std::string t = dir_ + "/t";
  const Outcome run = Scan({"--format", "json", "--summary", t});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("{\"type\":\"skipped\",\"path\":\"" + t + "/b.zip!/secret\",\"reason\":\"encrypted\",\"detail\":"),
            std::string::npos) << run.out;
  EXPECT_NE(run.out.find("{\"type\":\"skipped\",\"path\":\"" + t + "/c.zip!/zeros.txt\",\"reason\":\"too-large\","),
            std::string::npos) << run.out;
  EXPECT_NE(run.out.find("{\"type\":\"skipped\",\"path\":\"" + t + "/d.gz\",\"reason\":\"too-deep\","), std::string::npos)
      << run.out;
  EXPECT_NE(run.err.find("tessera: " + t + "/b.zip!/secret: not seen into (encrypted): "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("\ntessera: decoded: gzip 12, zip 2; 2 members opened\n"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("\ntessera: not seen into: 3 (encrypted 1, too-deep 1, too-large 1)\n"), std::string::npos) << run.err;
  EXPECT_EQ(Scan({"--strict", "-q", "-l", t}).status, 2);
  if (access("/usr/bin/time", X_OK) != 0) GTEST_SKIP() << "peak memory needs /usr/bin/time (Debian: time)";
  for (const char* file : {"t/c.zip", "t/d.gz"}) {
    const std::string peak = dir_ + "/.peak";
    Execute({"/usr/bin/time", "-f", "%M", "-o", peak, TESSERA_TOOL, "scan", "-c", dir_ + "/" + file});
    std::string report = Slurp(peak);
    while (!report.empty() && report.back() == '\n') report.pop_back();
    EXPECT_LT(std::stol(report.substr(report.rfind('\n') + 1)), 32 * 1024) << file << ": peak resident size in KiB";
  }
}

TEST_F(ScanToolTest, DirectoriesInNameOrderWithExcludes) {
  Dir("tree");
  Dir("tree/b");
  Dir("tree/a");
  Dir("tree/skip.d");
  File("tree/z.log", "4539148803436467\n");
  File("tree/b/2.log", "5397583029816274\n");
  File("tree/b/10.log", "374282194621233\n");
  File("tree/a/x.png", "4539148803436467\n");
  File("tree/a/y.txt", "none\n");
  File("tree/skip.d/s.log", "4539148803436467\n");
  const std::string tree = dir_ + "/tree";
  const Outcome run = Scan({"-l", "--exclude", "*.png", "--exclude=skip.?", tree});
  EXPECT_EQ(run.out, tree + "/b/10.log\n" + tree + "/b/2.log\n" + tree + "/z.log\n") << "byte order of names";
  EXPECT_EQ(run.status, 1);
  const Outcome by_path = Scan({"-l", "--exclude", tree + "/b/*", tree});
  EXPECT_EQ(by_path.out, tree + "/a/x.png\n" + tree + "/skip.d/s.log\n" + tree + "/z.log\n");
}

TEST_F(ScanToolTest, UnreadableFileIsNamedAndTheWalkGoesOn) {
  Dir("d");
  File("d/1.log", "4539148803436467\n");
  const std::string locked = File("d/2.log", "5397583029816274\n");
  File("d/3.log", "374282194621233\n");
  chmod(locked.c_str(), 0);
  const Outcome run = Scan({"-l", dir_ + "/d"}, "", true);
  EXPECT_EQ(run.out, dir_ + "/d/1.log\n" + dir_ + "/d/3.log\n");
  EXPECT_EQ(run.err, "tessera: cannot open " + locked + ": Permission denied\n");
  EXPECT_EQ(run.status, 2) << "2 wins over 1";
  const std::string sub = Dir("d/sub");
  chmod(sub.c_str(), 0);
  const Outcome dir_run = Scan({"-c", dir_ + "/d/sub"}, "", true);
  EXPECT_EQ(dir_run.err, "tessera: " + sub + ": cannot read the directory: Permission denied\n");
  EXPECT_EQ(dir_run.status, 2);
}

TEST_F(ScanToolTest, SymbolicLinksAndLoops) {
  Dir("top");
  Dir("top/in");
  File("top/in/card.log", "4539148803436467\n");
  const std::string outside = File("outside.log", "5397583029816274\n");
  ASSERT_EQ(symlink("..", (dir_ + "/top/in/up").c_str()), 0);
  ASSERT_EQ(symlink(outside.c_str(), (dir_ + "/top/link.log").c_str()), 0);
  const std::string top = dir_ + "/top";
  const Outcome plain = Scan({"-l", "--summary", top});
  EXPECT_EQ(plain.out, top + "/in/card.log\n") << "links are not followed";
  EXPECT_NE(plain.err.find("tessera: 2 symbolic links not followed (--follow)\n"), std::string::npos) << plain.err;
  const Outcome followed = Scan({"-l", "--follow", top});
  EXPECT_EQ(followed.out, top + "/in/card.log\n" + top + "/link.log\n");
  EXPECT_EQ(followed.err, "tessera: " + top + "/in/up: not followed: a link back to a directory being walked\n");
  EXPECT_EQ(followed.status, 1) << "a loop leaves nothing unread";
  EXPECT_EQ(Scan({"-l", dir_ + "/top/link.log"}).out, top + "/link.log\n") << "a path given is followed";
}

// Deeper than any path the system takes whole: the walk goes from each
// directory to the next, never by the whole path.
TEST_F(ScanToolTest, AFileTenThousandDirectoriesDeepIsReached) {
  // In memory where there is a tmpfs: ten thousand directories take long
  // to make and remove on a busy disk.
  std::string top = "/dev/shm/tessera-deep-XXXXXX";
  if (access("/dev/shm", W_OK) != 0 || mkdtemp(top.data()) == nullptr) top = Dir("deep");
  int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
  std::string path = top;
  for (int depth = 0; depth < 10000; ++depth) {
    ASSERT_EQ(mkdirat(fd, "d", 0755), 0);
    const int next = openat(fd, "d", O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    ASSERT_GE(fd, 0);
    path += "/d";
  }
  const int file = openat(fd, "card.log", O_WRONLY | O_CREAT, 0644);
  ASSERT_EQ(write(file, "4111112101111111\n", 17), 17);
  close(file);
  close(fd);
  const Outcome run = Scan({"-c", top});
  EXPECT_EQ(run.out, path + "/card.log:1\n");
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, 1);
  if (top.rfind(dir_, 0) != 0) std::system(("rm -rf '" + top + "'").c_str());

  // A file after each of a hundred nested directories, reached on the way
  // back up, when the walk no longer holds most of them open.
  std::string nested = Dir("nested"), expected;
  for (int depth = 0; depth < 100; ++depth) {
    File(nested.substr(dir_.size() + 1) + "/z.log", "4111112101111111\n");
    expected = nested + "/z.log:1\n" + expected;
    nested = Dir(nested.substr(dir_.size() + 1) + "/d");
  }
  EXPECT_EQ(Scan({"-c", dir_ + "/nested"}).out, expected);
}

// An entry exchanged, again and again, for a link that leads out of the tree
// or for a pipe: whatever the walk catches, it never reads outside the tree
// and never waits on the pipe.
TEST_F(ScanToolTest, EntriesReplacedDuringTheWalkAreNotFollowed) {
  const std::string outside = File("outside.log", "4111112101111111\n");
  Dir("outside.d");
  File("outside.d/x.log", "4111112101111111\n");
  struct Row {
    const char* what;
    bool directory;  // the real entry
    std::function<void(const std::string&)> make_impostor;
  } const rows[] = {
      {"a file for a link out", false, [&](const std::string& at) { symlink(outside.c_str(), at.c_str()); }},
      {"a file for a pipe", false, [&](const std::string& at) { mkfifo(at.c_str(), 0644); }},
      {"a directory for a link out", true,
       [&](const std::string& at) { symlink((dir_ + "/outside.d").c_str(), at.c_str()); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string top = Dir("top"), entry = top + "/a", impostor = dir_ + "/impostor";
    if (row.directory) {
      Dir("top/a");
      File("top/a/x.log", "nothing\n");
    } else {
      File("top/a", "nothing\n");
    }
    row.make_impostor(impostor);
    std::atomic<bool> done{false};
    std::thread swapper([&] {
      while (!done) renameat2(AT_FDCWD, entry.c_str(), AT_FDCWD, impostor.c_str(), RENAME_EXCHANGE);
    });
    int outside_read = 0, stuck = 0;
    for (int run = 0; run < 150; ++run) {
      const Outcome scan = Execute({"timeout", "10", TESSERA_TOOL, "scan", "-l", top});
      outside_read += scan.out.empty() ? 0 : 1;
      stuck += scan.status == 124 ? 1 : 0;
    }
    done = true;
    swapper.join();
    EXPECT_EQ(outside_read, 0);
    EXPECT_EQ(stuck, 0);
    std::system(("rm -rf '" + top + "' '" + impostor + "'").c_str());
  }
}

// With --follow, a directory is walked once, however many links lead to it:
// forty directories each with two links to the next are not 2^40 paths.
TEST_F(ScanToolTest, FollowedLinksWalkEachDirectoryOnce) {
  Dir("chain");
  for (int i = 0; i <= 40; ++i) Dir("chain/" + std::to_string(i));
  for (int i = 0; i < 40; ++i) {
    const std::string next = "../" + std::to_string(i + 1), here = dir_ + "/chain/" + std::to_string(i);
    ASSERT_EQ(symlink(next.c_str(), (here + "/a").c_str()), 0);
    ASSERT_EQ(symlink(next.c_str(), (here + "/b").c_str()), 0);
  }
  File("chain/40/card.log", "4111112101111111\n");
  Dir("top");
  ASSERT_EQ(symlink("../chain/0", (dir_ + "/top/start").c_str()), 0);
  std::string path = dir_ + "/top/start";
  for (int i = 0; i < 40; ++i) path += "/a";
  const Outcome run = Execute({"timeout", "60", TESSERA_TOOL, "scan", "-l", "--follow", "--summary", dir_ + "/top"});
  EXPECT_EQ(run.out, path + "/card.log\n");
  EXPECT_NE(run.err.find("\ntessera: 40 directories reached again through links, not walked again\n"),
            std::string::npos) << run.err;
  EXPECT_EQ(run.status, 1);
}

// /proc/self/environ holds a card number here, in the tool's environment:
// it is read when named, never when a walk comes upon it.
TEST_F(ScanToolTest, PseudoFileSystemsAreReadOnlyWhenNamed) {
  Dir("top");
  ASSERT_EQ(symlink("/proc/self/environ", (dir_ + "/top/environ").c_str()), 0);
  ASSERT_EQ(symlink("/proc/self", (dir_ + "/top/self").c_str()), 0);
  auto scan = [&](const std::vector<std::string>& args) {
    std::vector<std::string> words = {"env", "CARD=4111112101111111", TESSERA_TOOL, "scan", "-l"};
    words.insert(words.end(), args.begin(), args.end());
    return Execute(words);
  };
  const Outcome walked = scan({"--follow", dir_ + "/top"});
  EXPECT_EQ(walked.out, "");
  EXPECT_EQ(walked.err, "tessera: " + dir_ + "/top/environ: on a pseudo file system (proc): not read\n" +
                            "tessera: " + dir_ + "/top/self: on a pseudo file system (proc): not read\n");
  EXPECT_EQ(walked.status, 0);
  const Outcome named = scan({dir_ + "/top/environ", "/proc/self/environ"});
  EXPECT_EQ(named.out, dir_ + "/top/environ\n/proc/self/environ\n");
  EXPECT_EQ(named.status, 1);
}

TEST_F(ScanToolTest, OtherFilesInADirectoryAreNamedNotRead) {
  Dir("p");
  ASSERT_EQ(mkfifo((dir_ + "/p/fifo").c_str(), 0644), 0);
  File("p/x", "4539148803436467\n");
  const Outcome run = Scan({"-l", dir_ + "/p"});
  EXPECT_EQ(run.out, dir_ + "/p/x\n");
  EXPECT_EQ(run.err, "tessera: " + dir_ + "/p/fifo: not a regular file: not read\n");
  EXPECT_EQ(run.status, 1);
}

TEST_F(ScanToolTest, MissingFileAndUsageErrors) {
  const Outcome missing = Scan({dir_ + "/none", File("a", "4539148803436467\n")});
  EXPECT_EQ(missing.err, "tessera: cannot open " + dir_ + "/none: No such file or directory\n");
  EXPECT_EQ(missing.out, dir_ + "/a:1:1: Visa 453914******6467\n");
  EXPECT_EQ(missing.status, 2);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-j", "0"}, {"--jobs=x"}, {"--format", "xml"}, {"--column", "1"}}) {
    const Outcome run = Scan(args);
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(ScanToolTest, PathsAreShownEscaped) {
  const std::string path = File("evil\x1b[31m\x07name", "4539148803436467\n");
  const std::string shown = dir_ + "/evil\\x1b[31m\\x07name";
  EXPECT_EQ(Scan({path}).out, shown + ":1:1: Visa 453914******6467\n");
  EXPECT_EQ(Scan({"--format", "json", "-l", path}).out, "{\"path\":\"" + dir_ + "/evil\\u001b[31m\\u0007name\"}\n");
}

// Two names that differ only in being UTF-8 or not must not read back the
// same: a name that is not UTF-8 is given as its bytes, in base64.
TEST(JsonPath, NamesEveryPathExactly) {
  struct Row {
    const char* path;
    const char* value;
  } const rows[] = {
      {"caf\xc3\xa9", "\"caf\xc3\xa9\""},
      {"caf\xe9", "{\"bytes\":\"Y2Fm6Q==\"}"},
      {"./caf\xe9", "{\"bytes\":\"Li9jYWbp\"}"},
      {"\xff\xfe", "{\"bytes\":\"//4=\"}"},
      {"a\xc3", "{\"bytes\":\"YcM=\"}"},
      {"\xed\xa0\x80", "{\"bytes\":\"7aCA\"}"},  // a surrogate is not UTF-8
      {"a\x1b\"", "\"a\\u001b\\\"\""},
  };
  for (const Row& row : rows) EXPECT_EQ(tessera::tool::JsonPath(row.path), row.value) << row.value;
}

TEST_F(ScanToolTest, JsonPathsThatAreNotUtf8AreGivenAsBytes) {
  File("caf\xe9", "4111112101111111\n");
  File("caf\xc3\xa9", "4111112101111111\n");
  auto in_dir = [&](const std::string& args) {
    return Execute({"/bin/sh", "-c", "cd \"$0\" && exec \"$1\" " + args, dir_, TESSERA_TOOL}).out;
  };
  EXPECT_EQ(in_dir("scan --format json -l ."), "{\"path\":\"./caf\xc3\xa9\"}\n{\"path\":{\"bytes\":\"Li9jYWbp\"}}\n")
      << "byte order: c3 before e9";
  EXPECT_EQ(in_dir("card --format json -f \"$(printf 'caf\\351')\""),
            "{\"path\":{\"bytes\":\"Y2Fm6Q==\"},\"line\":1,\"record\":1,\"number\":\"4111112101111111\","
            "\"valid\":true,\"brand\":\"Visa\",\"checksum\":true,\"hint\":null}\n");
}

TEST_F(ScanToolTest, JobsKeepTheOrderOfTheInputs) {
  Dir("many");
  for (int i = 0; i < 40; ++i) {
    std::string text;
    // Some inputs write far more than an input holds before its turn.
    const int lines = i % 7 == 3 ? 20000 : i % 3;
    for (int k = 0; k < lines; ++k) text += "n " + std::to_string(k) + ": 4539 1488 0343 6467\n";
    File("many/" + std::to_string(100 + i), text);
  }
  const Outcome one = Scan({"-j1", dir_ + "/many"});
  const Outcome four = Scan({"-j", "4", dir_ + "/many"});
  EXPECT_GT(one.out.size(), 1000000u);
  EXPECT_EQ(four.out, one.out);
  EXPECT_EQ(four.status, 1);
}

// `tail -f app.log | tessera scan | alert`: each finding leaves before the
// input ends, once the 64 bytes of context after it have come, from
// standard input and from a named pipe, with -j1 and more.
TEST_F(ScanToolTest, FindingsLeaveBeforeTheInputEnds) {
  const std::string fifo = dir_ + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  struct Row {
    std::vector<std::string> args;
    std::string shown;
  } const rows[] = {
      {{"scan"}, "(standard input)"},
      {{"scan", "-j1", "-"}, "(standard input)"},
      {{"scan", "-j4", fifo}, fifo},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.back());
    std::vector<std::string> words = {TESSERA_TOOL};
    words.insert(words.end(), row.args.begin(), row.args.end());
    const tessera_test::Piped tool = tessera_test::Spawn(words);
    ASSERT_GT(tool.pid, 0);
    const int in = row.shown == fifo ? open(fifo.c_str(), O_WRONLY) : tool.in;
    const std::string first = row.shown + ":1:3: Visa 411111******1111\n",
                      second = row.shown + ":3:3: Mastercard 555555******4444\n";
    const std::string context = std::string(64, '.') + "\n";
    const std::string lines[] = {"x 4111112101111111\n" + context, "y 5555556595554444\n" + context};
    ASSERT_EQ(write(in, lines[0].data(), lines[0].size()), static_cast<ssize_t>(lines[0].size()));
    EXPECT_EQ(tessera_test::ReadSoon(tool.out, first.size()), first);
    ASSERT_EQ(write(in, lines[1].data(), lines[1].size()), static_cast<ssize_t>(lines[1].size()));
    EXPECT_EQ(tessera_test::ReadSoon(tool.out, second.size()), second);
    if (in != tool.in) close(in);
    close(tool.in);
    close(tool.out);
    int status = 0;
    waitpid(tool.pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 1);
  }
}

// A parent may start the tool with a standard stream closed: the files it
// opens must not take that descriptor's place, in any command.
TEST_F(ScanToolTest, ClosedStandardStreamsAreEmpty) {
  std::vector<std::string> files;
  for (int i = 1; i <= 6; ++i) files.push_back(File("f" + std::to_string(i), "4111112101111111\n"));
  const std::string visa = ":1:1: Visa 411111******1111\n";
  std::string all_six;
  for (const std::string& f : files) all_six += f + visa;
  struct Row {
    int closed;
    std::vector<std::string> args;
    std::string out;  // of standard output, when it is open
    int status;
  } const rows[] = {
      {0, {"scan", "-j1", files[0], "-", files[1]}, files[0] + visa + files[1] + visa, 1},
      {0, {"scan", "-j4", files[0], "-", files[1], files[2], files[3], files[4], files[5]}, all_six, 1},
      {0, {"card", "-f", files[0], "-f", "-"}, "4111112101111111: valid (Visa, checksum ok)\n", 0},
      {1, {"scan", files[0]}, "", 1},
      {1, {"card", "-f", files[0]}, "", 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("descriptor " + std::to_string(row.closed) + " closed: " + row.args[0] + " " + row.args[1]);
    const std::string out = dir_ + "/.out", err = dir_ + "/.err";
    const pid_t child = fork();
    if (child == 0) {
      if (!std::freopen(out.c_str(), "wb", stdout) || !std::freopen(err.c_str(), "wb", stderr)) _exit(126);
      close(row.closed);
      std::vector<std::string> words = {TESSERA_TOOL};
      words.insert(words.end(), row.args.begin(), row.args.end());
      std::vector<char*> argv;
      for (std::string& w : words) argv.push_back(w.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, row.status);
    EXPECT_EQ(Slurp(err), "");
    if (row.closed != 1) {
      EXPECT_EQ(Slurp(out), row.out);
    }
    EXPECT_EQ(Slurp(files[0]), "4111112101111111\n") << "no output into an input";
  }
}

// Tickets finished in any order by several threads, some waiting for their
// turn as an input with much output does, are written in ticket order, and
// none is given out a whole window ahead of the writing.
TEST(InOrder, WritesInTicketOrderWhateverFinishesFirst) {
  constexpr uint64_t kTickets = 20000;
  constexpr std::size_t kWindow = 32;
  tessera::tool::InOrder<uint64_t> order(kWindow);
  tessera::tool::WorkQueue<uint64_t> queue;
  std::vector<uint64_t> written;  // only by the thread whose turn it is
  std::atomic<uint64_t> done{0};
  std::vector<std::thread> workers;
  for (int w = 0; w < 8; ++w) {
    workers.emplace_back([&] {
      uint64_t ticket = 0;
      while (queue.Pop(ticket)) {
        if (ticket % 7 == 3) order.WaitTurn(ticket);
        if (ticket % 5 == 0) std::this_thread::yield();
        order.Finish(ticket, ticket, [&](uint64_t t) {
          written.push_back(t);
          ++done;
        });
      }
    });
  }
  uint64_t too_far = 0;
  for (uint64_t t = 0; t < kTickets; ++t) {
    if (!order.HasRoom(t)) order.WaitForRoom(t, 5);
    if (t >= done.load() + kWindow) ++too_far;
    queue.Push(t);
  }
  queue.Close();
  for (std::thread& worker : workers) worker.join();
  EXPECT_EQ(too_far, 0u);
  ASSERT_EQ(written.size(), kTickets);
  for (uint64_t t = 0; t < kTickets; ++t) ASSERT_EQ(written[t], t);
}

// One line of 1 GiB, sparse so that it costs no disk: NUL bytes with card
// numbers at the start, across the first read-block end, in the middle and
// at the end. Peak memory stays small whatever the line length.
TEST_F(ScanToolTest, OneGibibyteLineInBoundedMemory) {
  const std::string path = dir_ + "/huge";
  const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const off_t size = off_t{1} << 30;
  ASSERT_EQ(ftruncate(fd, size), 0);
  const std::string card = "4539 1488 0343 6467";
  const off_t offsets[] = {0, (off_t{256} << 10) - 7, size / 2, size - static_cast<off_t>(card.size())};
  for (off_t at : offsets) ASSERT_EQ(pwrite(fd, card.data(), card.size(), at), static_cast<ssize_t>(card.size()));
  close(fd);
  const Outcome run = Scan({"--format", "tsv", path});
  std::string expected;
  for (off_t at : offsets)
    expected += path + "\t1\t" + std::to_string(at + 1) + "\t" + std::to_string(at) +
                "\t19\tVisa\t4539 14** **** 6467\tlayout\t\t\t\t\n";
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(run.status, 1);
  // The peak of the forked test process counts towards the child's own
  // (exec keeps it), so the tool is measured by time(1), whose child it is.
  if (access("/usr/bin/time", X_OK) != 0) GTEST_SKIP() << "peak memory needs /usr/bin/time (Debian: time)";
  const std::string peak = dir_ + "/.peak";
  Execute({"/usr/bin/time", "-f", "%M", "-o", peak, TESSERA_TOOL, "scan", "-c", path});
  // The last line: time(1) puts the tool's exit status (1: found) first.
  std::string report = Slurp(peak);
  while (!report.empty() && report.back() == '\n') report.pop_back();
  const long kib = std::stol(report.substr(report.rfind('\n') + 1));
  EXPECT_LT(kib, 32 * 1024) << "peak resident size in KiB";
}

TEST_F(ScanToolTest, SummaryOnStandardError) {
  const Outcome run = Scan({"--summary", File("s", "4539148803436467 5397583029816274 4917612345678904\n")});
  EXPECT_EQ(run.err.rfind("tessera: scanned 1 file, 51 bytes in ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find("\ntessera: 3 findings: Mastercard 1, Visa 2\n"), std::string::npos) << run.err;
}

// Standard error on a terminal shows how far the scan is, and the line is
// erased at the end; the input arrives in parts, with pauses longer than
// the progress line's interval.
TEST_F(ScanToolTest, ProgressOnlyOnATerminal) {
  int feed[2];
  ASSERT_EQ(pipe(feed), 0);
  const std::string out = dir_ + "/.out";
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(feed[0], STDIN_FILENO);
    close(feed[1]);
    if (!std::freopen(out.c_str(), "wb", stdout)) _exit(126);
    execl(TESSERA_TOOL, TESSERA_TOOL, "scan", "-", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(feed[0]);
  // A finding is judged once the bytes after it have come: a line of them.
  const std::string first = "4539148803436467\n" + std::string(70, '-') + "\n";
  ASSERT_EQ(write(feed[1], first.data(), first.size()), static_cast<ssize_t>(first.size()));
  // Two pauses, so that one of them falls after the program has started.
  for (int part = 0; part < 2; ++part) {
    usleep(300000);
    ASSERT_EQ(write(feed[1], "x\n", 2), 2);
  }
  close(feed[1]);
  std::string shown;
  char buffer[512];
  for (;;) {
    pollfd p{terminal, POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) break;
    const ssize_t n = read(terminal, buffer, sizeof buffer);
    if (n <= 0) break;
    shown.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(terminal);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(Slurp(out), "(standard input):1:1: Visa 453914******6467\n");
  EXPECT_NE(shown.find("\rtessera: 0 files, 0.0 MB, 1 findings\x1b[K"), std::string::npos) << shown;
  ASSERT_GE(shown.size(), 4u);
  EXPECT_EQ(shown.substr(shown.size() - 4), "\r\x1b[K") << "erased at the end";
}

// With no path and standard input a terminal, the current directory is
// scanned, its paths shown from it; the terminal is not read.
TEST_F(ScanToolTest, NoPathAtATerminalScansTheCurrentDirectory) {
  const std::string here = Dir("here");
  Dir("here/sub");
  File("here/card.log", "4111112101111111\n");
  File("here/sub/x.log", "x 5555556595554444\n");
  const std::string out = dir_ + "/.out";
  int terminal = -1;
  const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (chdir(here.c_str()) != 0 || !std::freopen(out.c_str(), "wb", stdout)) _exit(126);
    alarm(20);  // rather than wait for the terminal forever
    execl(TESSERA_TOOL, TESSERA_TOOL, "scan", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  close(terminal);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1);
  EXPECT_EQ(Slurp(out), "card.log:1:1: Visa 411111******1111\nsub/x.log:1:3: Mastercard 555555******4444\n");
}

// --exclude reads its GLOB as a line of .gitignore. Rows: the GLOB and what
// is left of the tree below.
TEST_F(ScanToolTest, ExcludesFollowGitignoreRules) {
  for (const char* dir : {"top", "top/build", "top/build/out", "top/lib", "top/node_modules", "top/src",
                          "top/src/node_modules"})
    Dir(dir);
  for (const char* file : {"top/build/out/c.log", "top/build.log", "top/lib/node_modules", "top/node_modules/a.js",
                           "top/src/app.js", "top/src/node_modules/b.js"})
    File(file, "4111112101111111\n");
  struct Row {
    const char* glob;
    std::vector<std::string> left;
    const char* why;
  } const rows[] = {
      {"node_modules/", {"build/out/c.log", "build.log", "lib/node_modules", "src/app.js"}, "directories only, any depth"},
      {"node_modules/*",
       {"build/out/c.log", "build.log", "lib/node_modules", "src/app.js", "src/node_modules/b.js"},
       "a slash inside: from the top, the contents"},
      {"**/node_modules/*", {"build/out/c.log", "build.log", "lib/node_modules", "src/app.js"}, "at any depth"},
      {"node_modules", {"build/out/c.log", "build.log", "src/app.js"}, "a name: files and directories"},
      {"/build", {"build.log", "lib/node_modules", "node_modules/a.js", "src/app.js", "src/node_modules/b.js"},
       "a leading slash: from the top"},
      {"build/**", {"build.log", "lib/node_modules", "node_modules/a.js", "src/app.js", "src/node_modules/b.js"},
       "everything inside"},
      {"src/**/*.js", {"build/out/c.log", "build.log", "lib/node_modules", "node_modules/a.js"},
       "** for no directory or several"},
      {"*.log", {"lib/node_modules", "node_modules/a.js", "src/app.js", "src/node_modules/b.js"}, "a name pattern"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.glob) + ": " + row.why);
    std::string expected;
    for (const std::string& path : row.left) expected += dir_ + "/top/" + path + "\n";
    EXPECT_EQ(Scan({"-l", "--exclude", row.glob, dir_ + "/top"}).out, expected);
  }
}

// Paths matched part by part, as .gitignore does.
TEST(Glob, PathsMatchPartByPart) {
  struct Row {
    const char* glob;
    const char* path;
    bool matches;
  } const rows[] = {
      {"**/foo", "foo", true},       {"**/foo", "a/b/foo", true},   {"**/foo", "a/foox", false},
      {"a/**/b", "a/b", true},       {"a/**/b", "a/x/y/b", true},   {"a/**/b", "a/x/y/c", false},
      {"a/**", "a", false},          {"a/**", "a/x/y", true},       {"a**b", "axyb", true},
      {"a**b", "a/b", false},        {"*/y", "x/y", true},          {"*/y", "w/x/y", false},
  };
  for (const Row& row : rows)
    EXPECT_EQ(tessera::tool::PathGlobMatches(row.glob, row.path), row.matches) << row.glob << " on " << row.path;
}

// FIPS 180-4's examples, and lengths on both sides of the padding's edges.
TEST(Sha256, Vectors) {
  struct Row {
    std::string message;
    const char* digest;
  } const rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(tessera::tool::Hex(tessera::tool::Sha256(row.message)), row.digest) << row.message.size() << " bytes";
}

// The strings of a baseline's JSON, escapes undone.
TEST(Baseline, JsonStrings) {
  using tessera::tool::DecodeJsonString;
  EXPECT_EQ(DecodeJsonString(R"(a\/b\\c\u00e9\ud83d\ude00\n)"), "a/b\\c\xc3\xa9\xf0\x9f\x98\x80\n");
  EXPECT_EQ(DecodeJsonString("\\u001b[31m"), "\x1b[31m");
  EXPECT_FALSE(DecodeJsonString("\\x41"));
  EXPECT_FALSE(DecodeJsonString("\\u12"));
  EXPECT_FALSE(DecodeJsonString("a\nb")) << "a raw control character";
}

// The globs of --exclude, as fnmatch(3) with FNM_PATHNAME for whole paths.
TEST(Glob, MatchesAsFnmatch) {
  struct Row {
    const char* glob;
    const char* text;
    bool whole_path;
    bool matches;
    const char* why;
  } const rows[] = {
      {"*.png", "a.png", false, true, "star then a suffix"},
      {"*.png", "a.png.txt", false, false, "the suffix must end the name"},
      {"*", ".hidden", false, true, "a leading dot needs no literal match"},
      {"a?c", "abc", false, true, "question mark: one byte"},
      {"a?c", "ac", false, false, "question mark: exactly one"},
      {"[a-c]x", "bx", false, true, "a range"},
      {"[!a-c]x", "bx", false, false, "a negated range"},
      {"[^a-c]x", "dx", false, true, "caret negates too"},
      {"[]]", "]", false, true, "a bracket first in the set is literal"},
      {"\\*", "*", false, true, "backslash takes the next byte literally"},
      {"\\*", "x", false, false, "an escaped star is no star"},
      {"[ab", "[ab", false, true, "an unclosed bracket is literal"},
      {"*a*b", "xaybzb", false, true, "two stars, the last tried again"},
      {"skip.?", "skip.d", false, true, "a directory name"},
      {"dir/*", "dir/x", true, true, "star within a part of the path"},
      {"dir/*", "dir/x/y", true, false, "star does not cross a slash"},
      {"*/y", "dir/x/y", true, false, "star does not cross a slash, before either"},
      {"d?r/x", "d/r/x", true, false, "question mark is no slash"},
      {"*", "a/b", false, true, "without whole paths a slash is a byte"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.glob) + " on " + row.text + ": " + row.why);
    EXPECT_EQ(tessera::tool::GlobMatches(row.glob, row.text, row.whole_path), row.matches);
    EXPECT_EQ(fnmatch(row.glob, row.text, row.whole_path ? FNM_PATHNAME : 0) == 0, row.matches) << "fnmatch agrees";
  }
}

}  // namespace
