// `cordavex classify`: classifies a text exactly as a QR code holding those
// bytes would be classified after a scan: the QR locator's preliminary content
// kind, then ClassifyResult with the chosen character set as the text's code.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/result_json.h"
#include "cordavex/content.h"

namespace cordavex::cli {
namespace {

struct ClassifyOptions {
  uint32_t charset = 32;
  bool json = false;
  std::string text;
};

bool ReadStandardInput(std::string& bytes) {
  std::ios::sync_with_stdio(false);
  std::cin >> std::noskipws;
  bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  return !std::cin.bad();
}

void PrintText(const ScanResult& result) {
  nlohmann::ordered_json content;
  AddContent(result, content);
  std::printf("contentType: %d\n", result.contentType);
  std::printf("subType: %u\n", result.subType);
  std::printf("number: %u\n", result.number);
  std::printf("rawText: %s\n", content["rawText"].get<std::string>().c_str());
  std::printf("displayText: %s\n", content["displayText"].get<std::string>().c_str());
  for (const auto& [role, value] : content["fields"].items()) {
    std::printf("%s: %s\n", role.c_str(), value.get<std::string>().c_str());
  }
}

}  // namespace

int ClassifyCommand(int argc, char** argv) {
  ClassifyOptions options;
  CLI::App app("Classify a text as the content of a scanned QR code", "cordavex classify");
  app.add_option("--charset", options.charset,
                 "character set of the text: 1 Shift-JIS, 2 UTF-8, 4 Big5, 8 GB2312, 32 guess")
      ->check(CLI::IsMember({1, 2, 4, 8, 32}));
  app.add_flag("--json", options.json, "print one JSON object");
  app.add_option("TEXT", options.text, "the text, or - to read the bytes of standard input")
      ->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    return 0;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "cordavex classify: %s\n", e.what());
    return 2;
  }

  std::string bytes = options.text;
  if (options.text == "-" && !ReadStandardInput(bytes)) {
    std::fputs("cordavex classify: cannot read standard input\n", stderr);
    return 2;
  }
  // The decoder's text buffer ends with a zero byte: no QR code read here
  // holds more.
  if (bytes.size() >= static_cast<size_t>(kDecodedTextBytes)) {
    std::fprintf(stderr, "cordavex classify: text of %zu bytes is longer than a symbol holds (%d)\n",
                 bytes.size(), kDecodedTextBytes - 1);
    return 2;
  }

  auto result = std::make_unique<ScanResult>();
  ClassifyQrBytes({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, options.charset,
                  *result);

  if (options.json) {
    nlohmann::ordered_json out;
    AddContent(*result, out);
    std::cout << out.dump() << '\n';
  } else {
    PrintText(*result);
  }
  std::cout.flush();
  return 0;
}

}  // namespace cordavex::cli
