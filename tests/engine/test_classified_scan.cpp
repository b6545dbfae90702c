// End to end: a camera-like frame of a QR code comes out of RecognizeImage as
// a fully classified record, without a heap allocation, and the same frame
// through `cordavex scan --json`.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "content/content_types.h"
#include "cordavex/recognizer.h"
#include "support/alloc_counter.h"
#include "support/cli_runner.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "support/workspace.h"

namespace cordavex {
namespace {

constexpr char kMecard[] = "MECARD:N:Doe,John;TEL:0955667788;EMAIL:john@example.com;;";

test::Frame MecardFrame(int bitsPerPixel) {
  const std::string text = kMecard;
  const auto symbol = test::EncodeQrBytes(
      {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 4, test::kLevelM);
  EXPECT_TRUE(symbol.has_value());
  test::RenderOptions o;
  o.bitsPerPixel = bitsPerPixel;
  o.moduleSize = 5.0;
  o.rotation = 8.0;
  o.blur = 0.7;
  o.noise = 4.0;
  o.unevenLight = 0.2;
  o.seed = 7;
  return test::RenderModules(symbol ? symbol->modules : std::vector<uint8_t>{},
                             symbol ? symbol->size : 0, o);
}

TEST(ClassifiedScan, MecardFrameComesOutAsAContactWithoutAllocating) {
  for (int bits : {8, 24}) {
    SCOPED_TRACE(bits);
    const test::Frame frame = MecardFrame(bits);
    test::Workspace workspace(frame.width, frame.height);
    auto result = std::make_unique<ScanResult>();
    int32_t status = 0;
    size_t allocations = 0;
    for (int call = 0; call < 8 && status != 1; ++call) {
      result->mode() = 0;
      result->symbologyMask() = 7;
      const size_t before = test::AllocationCount();
      status = RecognizeImage(frame.pixels.data(), workspace.data(), frame.width, frame.height,
                              bits, result.get());
      allocations += test::AllocationCount() - before;
    }
    ASSERT_EQ(status, 1);
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(result->contentType, kTypeMecard);
    EXPECT_EQ(result->resultMarker, -1);
    EXPECT_EQ(result->RawText(), u"MECARD:N:Doe,John;TEL:0955667788;EMAIL:john@example.com;;");
    EXPECT_EQ(result->Get(Field::keyword), u"MECARD");
    EXPECT_EQ(result->Get(Field::shortName), u"DoeJohn");
    EXPECT_EQ(result->Get(Field::namePart1), u"Doe");
    EXPECT_EQ(result->Get(Field::namePart2), u"John");
    EXPECT_EQ(result->Get(Field::phones), u"0955667788");
    EXPECT_EQ(result->Get(Field::emails), u"john@example.com");
  }
}

// Writes the frame's grey image as a binary PGM.
std::string WritePgm(const test::Frame& frame, const std::string& name) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream out(path, std::ios::binary);
  out << "P5\n" << frame.width << " " << frame.height << "\n255\n";
  out.write(reinterpret_cast<const char*>(frame.grey.data()),
            static_cast<std::streamsize>(frame.grey.size()));
  return path;
}

TEST(ClassifiedScan, ScanCommandPrintsTheClassifiedContact) {
  const std::string path = WritePgm(MecardFrame(8), "cordavex_mecard.pgm");
  const test::CliRun run = test::RunCli("scan --json " + path);
  std::remove(path.c_str());
  ASSERT_EQ(run.exitStatus, 0) << run.err;
  const auto json = nlohmann::json::parse(run.out);
  EXPECT_EQ(json["symbology"], "qr");
  EXPECT_EQ(json["contentType"], 14);
  EXPECT_EQ(json["subType"], 0);
  EXPECT_EQ(json["rawText"], kMecard);
  EXPECT_EQ(json["displayText"], "MECARD");
  EXPECT_EQ(json["fields"], (nlohmann::json{{"keyword", "MECARD"},
                                            {"shortName", "DoeJohn"},
                                            {"phones", "0955667788"},
                                            {"emails", "john@example.com"},
                                            {"namePart1", "Doe"},
                                            {"namePart2", "John"}}));
}

}  // namespace
}  // namespace cordavex
