// `cordavex classify` as a user runs it: the content keys, standard input as
// raw bytes, the character-set option and the exit codes.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/cli_runner.h"

namespace cordavex {
namespace {

using test::CliRun;
using test::RunCli;

// Parsed in the order printed.
nlohmann::ordered_json ClassifyJson(const std::string& arguments) {
  const CliRun run = RunCli("classify --json " + arguments);
  EXPECT_EQ(run.exitStatus, 0) << run.err;
  return nlohmann::ordered_json::parse(run.out, nullptr, false);
}

std::string WriteTemp(const std::string& name, const std::string& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TEST(ClassifyCommand, PrintsTheContentKeys) {
  struct Case {
    const char* arguments;
    int type;
    nlohmann::json fields;
    const char* display;
  } cases[] = {
      {"'MECARD:N:Doe,John;TEL:0955667788;;'", 14,
       {{"keyword", "MECARD"}, {"shortName", "DoeJohn"}, {"phones", "0955667788"},
        {"namePart1", "Doe"}, {"namePart2", "John"}},
       "MECARD"},
      {"'Hello world'", 0, nlohmann::json::object(), "Hello world"},
      {"anna@example.com", 7, {{"emails", "anna@example.com"}, {"recipient", "anna@example.com"}},
       "anna@example.com"},
      {"'wtai://wp/sd;0955667788'", 0, {{"keyword", "WTAI"}, {"phones", "0955667788"}},
       "wtai://wp/sd;0955667788"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const nlohmann::ordered_json json = ClassifyJson(c.arguments);
    ASSERT_TRUE(json.is_object());
    EXPECT_EQ(json["contentType"], c.type);
    EXPECT_EQ(json["subType"], 0);
    EXPECT_EQ(json["number"], 0);
    EXPECT_EQ(nlohmann::json(json["fields"]), c.fields);
    EXPECT_EQ(json["displayText"], c.display);
    // Exactly the keys `scan` prints for a record.
    std::string keys;
    for (const auto& [key, value] : json.items()) keys += key + " ";
    EXPECT_EQ(keys, "contentType subType number rawText displayText fields ");
  }
}

TEST(ClassifyCommand, ReadsStandardInputAsBytesInTheNamedSet) {
  // 王 in GB2312 (0xCD 0xF5) with --charset 8; the trailing line break is part
  // of the bytes, as a symbol would hold it: the raw text keeps it, the fields
  // do not.
  const std::string gb = WriteTemp("cordavex_gb.txt", "MECARD:N:\xCD\xF5;;");
  nlohmann::ordered_json json = ClassifyJson("--charset 8 - < " + gb);
  EXPECT_EQ(json["contentType"], 14);
  EXPECT_EQ(json["fields"]["shortName"], "\xE7\x8E\x8B");
  const std::string withNewline = WriteTemp("cordavex_nl.txt", "MECARD:N:Doe;;\n");
  json = ClassifyJson("- < " + withNewline);
  EXPECT_EQ(json["contentType"], 14);
  EXPECT_EQ(json["rawText"], "MECARD:N:Doe;;\n");
  EXPECT_EQ(json["fields"]["shortName"], "Doe");
  // "PE:" content is enciphered: type 23 and no fields.
  const std::string pe = WriteTemp("cordavex_pe.bin", std::string("PE:\x5A\x01\x00\x02", 7));
  json = ClassifyJson("- < " + pe);
  EXPECT_EQ(json["contentType"], 23);
  EXPECT_TRUE(json["fields"].empty());
  for (const std::string& path : {gb, withNewline, pe}) std::remove(path.c_str());
}

TEST(ClassifyCommand, PlainOutputListsTheFields) {
  const CliRun run = RunCli("classify 'TEL:0955667788'");
  EXPECT_EQ(run.exitStatus, 0);
  EXPECT_EQ(run.out,
            "contentType: 3\nsubType: 0\nnumber: 0\nrawText: TEL:0955667788\n"
            "displayText: TEL\nkeyword: TEL\nphones: 0955667788\n");
}

TEST(ClassifyCommand, UnusableArgumentsExitWithTwo) {
  struct Case {
    std::string arguments;
    const char* message;
  } cases[] = {
      {"", "TEXT is required"},
      {"--charset 3 x", "--charset: 3 not in {1,2,4,8,32}"},
      {std::string("'") + std::string(1600, 'a') + "'", "text of 1600 bytes is longer than a symbol holds (1599)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    const CliRun run = RunCli("classify " + c.arguments);
    EXPECT_EQ(run.exitStatus, 2);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace cordavex
