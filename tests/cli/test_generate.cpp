#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/image_io.h"
#include "cli/image_write.h"
#include "cordavex/qr_encoder.h"
#include "support/zxing_qr_oracle.h"

namespace cordavex {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Our own image reader: the files the command writes are what users scan.
cli::Image ReadGrey(const fs::path& path) {
  cli::Image image;
  std::string error;
  EXPECT_TRUE(cli::ReadImage(path, image, error)) << error;
  EXPECT_EQ(image.bitsPerPixel, 8) << path;
  return image;
}

class GenerateCommandTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(testing::TempDir()) /
           ("cordavex_generate_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the built tool with `arguments` (already shell-quoted) and optional
  // standard input; returns the exit status, stderr in `errors_`.
  int Run(const std::string& arguments, const std::string* input = nullptr) {
    const fs::path errors = dir_ / "stderr";
    // Appended piece by piece: GCC 12 at -O2 warns (-Warray-bounds, wrongly) on
    // a temporary built from a literal as long as some checkout paths.
    std::string command = "'";
    command += CORDAVEX_CLI_PATH;
    command += "' ";
    command += arguments;
    if (input != nullptr) {
      const fs::path in = dir_ / "stdin";
      std::ofstream(in, std::ios::binary) << *input;
      command += " < '" + in.string() + "'";
    } else {
      command += " < /dev/null";
    }
    command += " 2> '" + errors.string() + "'";
    const int status = std::system(command.c_str());
    errors_ = ReadFile(errors);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Out(const std::string& name) const { return (dir_ / name).string(); }

  fs::path dir_;
  std::string errors_;
};

// The text form is the encoder's matrix, row by row.
TEST_F(GenerateCommandTest, TextMatrixMatchesEncoder) {
  ASSERT_EQ(Run("generate qr --level Q --mask 3 'HELLO WORLD' -o '" + Out("s.txt") + "'"), 0)
      << errors_;
  auto context = std::make_unique<QrEncoder>();
  ASSERT_EQ(QrEncode(*context, kQrLevelQ, 0, 0, 3, "HELLO WORLD", 0), 1);
  std::string expected;
  for (int row = 0; row < context->side; ++row) {
    for (int column = 0; column < context->side; ++column) {
      expected += QrModule(*context, row, column) ? '1' : '0';
    }
    expected += '\n';
  }
  EXPECT_EQ(ReadFile(Out("s.txt")), expected);
}

// Each picture kind has the requested geometry and zxing-cpp reads it back.
TEST_F(GenerateCommandTest, PicturesReadBack) {
  const std::string url = "https://example.com/cordavex?id=42";
  ASSERT_EQ(Run("generate qr --version 4 --scale 3 --border 2 '" + url + "' -o '" +
                Out("s.png") + "'"),
            0)
      << errors_;
  const cli::Image png = ReadGrey(Out("s.png"));
  EXPECT_EQ(png.width, (33 + 4) * 3);
  EXPECT_EQ(png.height, png.width);
  // The border is light and the top-left finder corner dark.
  EXPECT_EQ(png.pixels[0], 255);
  EXPECT_EQ(png.pixels[static_cast<size_t>(6 * png.width + 6)], 0);
  EXPECT_EQ(test::ZxingReadQrImage(png.pixels.data(), png.width, png.height),
            Bytes(url.begin(), url.end()));

  ASSERT_EQ(Run("generate qr --level H '" + url + "' -o '" + Out("s.pgm") + "'"), 0) << errors_;
  const cli::Image pgm = ReadGrey(Out("s.pgm"));
  ASSERT_EQ(pgm.pixels.size(), static_cast<size_t>(pgm.width) * pgm.height);
  EXPECT_EQ(pgm.width % 8, 0);  // default scale 8
  EXPECT_EQ(test::ZxingReadQrImage(pgm.pixels.data(), pgm.width, pgm.height),
            Bytes(url.begin(), url.end()));
}

// The SVG's rectangles cover exactly the dark modules, offset by the border.
TEST_F(GenerateCommandTest, SvgCoversDarkModules) {
  ASSERT_EQ(Run("generate qr --mask 0 --scale 5 ABC -o '" + Out("s.svg") + "'"), 0) << errors_;
  const std::string svg = ReadFile(Out("s.svg"));
  EXPECT_NE(svg.find("viewBox=\"0 0 29 29\""), std::string::npos);
  EXPECT_NE(svg.find("width=\"145\""), std::string::npos);
  auto context = std::make_unique<QrEncoder>();
  ASSERT_EQ(QrEncode(*context, kQrLevelM, 0, 0, 0, "ABC", 0), 1);
  std::vector<uint8_t> drawn(21 * 21, 0);
  size_t at = svg.find(" d=\"");
  ASSERT_NE(at, std::string::npos);
  int x = 0, y = 0, run = 0;
  for (const char* p = svg.c_str() + at + 4;
       std::sscanf(p, "M%d,%dh%dv1h-%*dz", &x, &y, &run) == 3;) {
    for (int k = 0; k < run; ++k) drawn[(y - 4) * 21 + (x - 4 + k)] = 1;
    p = std::strchr(p, 'z') + 1;
  }
  Bytes modules;
  for (int row = 0; row < 21; ++row) {
    for (int column = 0; column < 21; ++column) modules.push_back(QrModule(*context, row, column));
  }
  EXPECT_EQ(drawn, modules);
}

// Standard input is taken byte for byte, NUL and newline included.
TEST_F(GenerateCommandTest, StandardInputBytes) {
  const std::string input("line one\n\0\xff\xfe end\n", 17);
  ASSERT_EQ(Run("generate qr - -o '" + Out("s.txt") + "'", &input), 0) << errors_;
  auto context = std::make_unique<QrEncoder>();
  ASSERT_EQ(QrEncode(*context, kQrLevelM, 0, 0, -1, input.data(), static_cast<int>(input.size())),
            1);
  const std::string text = ReadFile(Out("s.txt"));
  ASSERT_EQ(text.size(), static_cast<size_t>(context->side * (context->side + 1)));
  Bytes modules;
  for (char ch : text) {
    if (ch != '\n') modules.push_back(ch == '1');
  }
  EXPECT_EQ(test::ZxingReadQr(modules.data(), context->side, context->side),
            Bytes(input.begin(), input.end()));
}

TEST_F(GenerateCommandTest, VersionRequest) {
  const std::string text(50, 'x');  // needs version 3 at L
  EXPECT_EQ(Run("generate qr --level L --version 2 " + text + " -o '" + Out("s.txt") + "'"), 1);
  EXPECT_EQ(errors_,
            "cordavex generate qr: the text does not fit version 2-L (it needs version 3; add "
            "--allow-larger)\n");
  EXPECT_FALSE(fs::exists(Out("s.txt")));
  ASSERT_EQ(Run("generate qr --level L --version 2 --allow-larger " + text + " -o '" +
                Out("s.txt") + "'"),
            0)
      << errors_;
  EXPECT_EQ(ReadFile(Out("s.txt")).size(), static_cast<size_t>(29 * 30));
}

// Usage and file errors exit 2, text that fits no symbol exits 1; no file is
// left behind either way.
TEST_F(GenerateCommandTest, Failures) {
  struct Case {
    std::string arguments;
    int status;
    std::string error;
  };
  const std::string out = " -o '" + Out("s.png") + "'";
  const Case cases[] = {
      {"generate cordavex --kind nonsense ABC" + out, 2,
       "cordavex generate cordavex: --kind must be text, bytes, split, encrypted or "
       "text+encrypted, not 'nonsense'\n"},
      {"generate qr --level X ABC" + out, 2,
       "cordavex generate qr: --level must be L, M, Q or H, not 'X'\n"},
      {"generate qr ABC -o '" + Out("s.bmp") + "'", 2,
       "cordavex generate qr: cannot tell the image format of '" + Out("s.bmp") +
           "' (use .png, .svg, .pgm or .txt)\n"},
      {"generate qr ''" + out, 2, "cordavex generate qr: nothing to encode: the text is empty\n"},
      {"generate qr ABC -o '" + Out("missing/s.png") + "'", 2,
       "cordavex generate qr: cannot write '" + Out("missing/s.png") +
           "': No such file or directory\n"},
      {"generate qr --level H " + std::string(1300, 'a') + out, 1,
       "cordavex generate qr: the text (1300 bytes) does not fit any QR code at level H\n"},
      {"generate qr --scale 100 --border 100 ABC" + out, 2,
       "cordavex generate qr: the picture would be 22100 pixels wide; lower --scale or --border\n"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.arguments.substr(0, 60));
    EXPECT_EQ(Run(test.arguments), test.status);
    EXPECT_EQ(errors_, test.error);
  }
  EXPECT_EQ(Run("generate qr --mask 9 ABC" + out), 2);
  EXPECT_EQ(Run("generate qr --version 41 ABC" + out), 2);
  EXPECT_EQ(Run("generate qr ABC"), 2);
  EXPECT_EQ(Run("generate"), 2);
  EXPECT_FALSE(fs::exists(Out("s.png")));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);  // stderr
}

}  // namespace
}  // namespace cordavex
