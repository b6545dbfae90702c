// `cordavex scan` as a user runs it: exit codes, the one-line message for each
// unusable file, and the JSON contract.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/cli_runner.h"
#include "support/paths.h"

namespace cordavex {
namespace {

using test::CliRun;
using test::RunCli;

std::string Fixture(const std::string& name) {
  return test::SourceDir() + "/tests/cli/fixtures/" + name;
}

TEST(ScanCommand, UnusableFilesGiveOneLineNamingTheFile) {
  struct Case {
    const char* file;
    const char* message;
  } cases[] = {
      {"empty.png", "file too short to be an image"},
      {"not-an-image.txt", "not a PNG, JPEG, PGM or PPM file"},
      {"corrupt.png", "corrupt PNG: IDAT: incorrect header check"},
      {"truncated.png", "truncated PNG"},
      {"huge.png", "image too large (100000 x 100000)"},
      {"truncated.jpg", "truncated JPEG"},
      {"huge.jpg", "image too large (60000 x 60000)"},
      {"truncated.pgm", "truncated PNM pixel data"},
      {"malformed.pgm", "malformed PNM header"},
      {"huge.ppm", "image too large (40000 x 40000)"},
      {"no-such-file.png", "cannot open file"},
  };
  for (const Case& c : cases) {
    const CliRun run = RunCli("scan " + Fixture(c.file));
    EXPECT_EQ(run.exitStatus, 2) << c.file;
    EXPECT_EQ(run.err, "cordavex scan: " + Fixture(c.file) + ": " + c.message + "\n") << c.file;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.file;
  }
}

TEST(ScanCommand, OtherFilesAreStillScannedAfterABadOne) {
  const CliRun run =
      RunCli("scan --json --plain " + Fixture("corrupt.png") + " " + Fixture("plain.png") + " " +
             Fixture("plain.pgm"));
  EXPECT_EQ(run.exitStatus, 2);
  std::istringstream lines(run.out);
  std::vector<nlohmann::json> objects;
  for (std::string line; std::getline(lines, line);) objects.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objects.size(), 3u);
  EXPECT_EQ(objects[0]["file"], Fixture("corrupt.png"));
  EXPECT_TRUE(objects[0]["status"].is_null());
  for (int i : {1, 2}) {
    const nlohmann::json& o = objects[static_cast<size_t>(i)];
    // A 16 x 16 ramp: nothing to find, all 8 frames tried, minus its mean grey.
    EXPECT_EQ(o["frames"], 8);
    EXPECT_LT(o["status"].get<int>(), 0);
    for (const char* key : {"symbology", "bytes", "contentType", "subType", "number", "rawText",
                            "displayText", "fields"}) {
      EXPECT_TRUE(o[key].is_null()) << key;
    }
  }
  EXPECT_EQ(objects[1]["status"], objects[2]["status"]) << "PNG and PGM of one picture agree";
}

TEST(ScanCommand, ExitStatusOneWhenNothingDecodes) {
  EXPECT_EQ(RunCli("scan " + Fixture("plain.pgm")).exitStatus, 1);
  const CliRun frames = RunCli("scan --json --frames 3 " + Fixture("plain.pgm"));
  EXPECT_EQ(nlohmann::json::parse(frames.out)["frames"], 3);
}

TEST(ScanCommand, RejectsBadArguments) {
  for (const char* arguments : {"scan", "scan --mode 12 x.png", "scan --frames 0 x.png",
                                "scan --symbologies qr,xx x.png", "scan --bogus x.png", "frobnicate"}) {
    const CliRun run = RunCli(arguments);
    EXPECT_EQ(run.exitStatus, 2) << arguments;
    EXPECT_FALSE(run.err.empty()) << arguments;
  }
}

}  // namespace
}  // namespace cordavex
