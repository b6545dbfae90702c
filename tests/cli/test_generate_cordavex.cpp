#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/cv_symbols.h"

namespace cordavex {
namespace {

namespace fs = std::filesystem;
using test::RunCli;

class GenerateCordavexTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("cordavex_cv_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Out(const std::string& name) const { return (dir_ / name).string(); }

  static std::vector<std::string> Lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The matrix part of a .txt map (columns 4..).
  static ModuleMatrix MatrixOf(const std::vector<std::string>& lines) {
    ModuleMatrix m;
    m.Clear();
    for (size_t r = 0; r < lines.size(); ++r) {
      for (size_t c = 4; c < lines[r].size(); ++c) m.Set(static_cast<int>(r), static_cast<int>(c - 4), lines[r][c] == '1');
    }
    return m;
  }

  fs::path dir_;
};

TEST_F(GenerateCordavexTest, TextMapIsTheGeneratorsMapCut) {
  const auto run = RunCli("generate cordavex --level 2 'Hello 中文 TEL:0912345678' -o '" + Out("s.txt") + "'");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::vector<std::string> lines = Lines(Out("s.txt"));
  const test::CvSymbol s = test::GenerateCvText(u"Hello 中文 TEL:0912345678", 13, 2);
  ASSERT_EQ(s.status, 1);
  ASSERT_EQ(lines.size(), static_cast<size_t>(s.side));
  for (int r = 0; r < s.side; ++r) {
    EXPECT_EQ(lines[static_cast<size_t>(r)],
              std::string(s.maps.data() + r * kCordavexMapSide, static_cast<size_t>(s.side + 4)));
  }
  const test::CvDecoded d = test::DecodeCv(MatrixOf(lines), s.side);
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.text, u"Hello 中文 TEL:0912345678");
}

TEST_F(GenerateCordavexTest, SplitWritesOneNumberedFilePerPart) {
  const std::string data(500, 'q');
  const auto run = RunCli("generate cordavex --kind split --level 0 " + data + " -o '" + Out("p.txt") + "'");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::string joined;
  for (int i = 1; i <= 2; ++i) {
    const std::string path = Out("p-" + std::to_string(i) + ".txt");
    ASSERT_TRUE(fs::exists(path)) << path;
    const std::vector<std::string> lines = Lines(path);
    const test::CvDecoded d = test::DecodeCv(MatrixOf(lines), static_cast<int>(lines.size()));
    ASSERT_EQ(d.status, 1);
    joined.append(d.bytes.begin(), d.bytes.end());
  }
  EXPECT_FALSE(fs::exists(Out("p-3.txt")));
  EXPECT_EQ(joined, data);
}

TEST_F(GenerateCordavexTest, EncryptedKindsAndPictures) {
  auto run = RunCli("generate cordavex --kind text+encrypted --password pw --secret 'the code is 42' "
                    "'Door:' -o '" + Out("e.txt") + "'");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const std::vector<std::string> lines = Lines(Out("e.txt"));
  const test::CvDecoded d = test::DecodeCv(MatrixOf(lines), static_cast<int>(lines.size()));
  ASSERT_EQ(d.status, 1);
  EXPECT_EQ(d.information.hasFunction, 1);
  ASSERT_GE(d.record.size(), 2u);
  EXPECT_EQ(d.record[0], 'D');

  run = RunCli("generate cordavex --scale 2 --border 1 12345 -o '" + Out("p.pgm") + "'");
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  std::ifstream in(Out("p.pgm"), std::ios::binary);
  std::string magic;
  int width = 0, height = 0;
  in >> magic >> width >> height;
  EXPECT_EQ(magic, "P5");
  EXPECT_EQ(width, (13 + 4 + 2) * 2);  // the finder's four columns beside the matrix
  EXPECT_EQ(height, width);
}

TEST_F(GenerateCordavexTest, Refusals) {
  struct Case {
    std::string arguments;
    int status;
  };
  const Case cases[] = {
      {"--kind encrypted secret", 2},                 // no password
      {"--kind text --password pw x", 2},              // password on a plain kind
      {"--kind text+encrypted --password pw x", 2},    // nothing to encipher
      {"--kind nonsense x", 2},
      {"--level 4 x", 2},
      {"''", 2},
      {std::string("--kind bytes ") + std::string(400, 'z'), 1},  // beyond 57 x 57
      {"--kind split --level 3 " + std::string(4000, 'z'), 1},      // beyond 16 parts
  };
  for (const Case& c : cases) {
    const auto run = RunCli("generate cordavex " + c.arguments + " -o '" + Out("r.png") + "'");
    EXPECT_EQ(run.exitStatus, c.status) << c.arguments.substr(0, 60);
    EXPECT_FALSE(run.err.empty());
    EXPECT_FALSE(fs::exists(Out("r.png")));
  }
}

TEST(PayloadCommand, EncipherAndDecipher) {
  const auto enciphered = RunCli("payload encipher 'BEGIN:VCARD'");
  ASSERT_EQ(enciphered.exitStatus, 0) << enciphered.err;
  // 12 bytes with the zero: 3 words of data and the length word, 16 bytes.
  ASSERT_EQ(enciphered.out.size(), 16u * 3 + 1);
  const auto back = RunCli("payload decipher '" + enciphered.out.substr(0, 48) + "'");
  EXPECT_EQ(back.exitStatus, 0) << back.err;
  EXPECT_EQ(back.out, "BEGIN:VCARD\n");
  // One byte: 8 bytes enciphered, 24 characters.
  EXPECT_EQ(RunCli("payload encipher ''").out.size(), 25u);
}

TEST(PayloadCommand, DecipherFailures) {
  for (const char* text : {"'   '", "'00 11 22 33 44 55 66 77'", "'12 34 56 78 9a bc de f0'", "zz"}) {
    const auto run = RunCli(std::string("payload decipher ") + text);
    EXPECT_EQ(run.exitStatus, 1) << text;
    EXPECT_TRUE(run.out.empty()) << text;
  }
  EXPECT_EQ(RunCli("payload scramble x").exitStatus, 2);
  EXPECT_EQ(RunCli("payload decipher").exitStatus, 2);
}

}  // namespace
}  // namespace cordavex
