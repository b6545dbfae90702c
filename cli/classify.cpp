// `cordavex classify`: classifies a text exactly as a QR code holding those
// bytes would be classified after a scan: the QR locator's preliminary content
// kind, then ClassifyResult with the chosen character set as the text's code.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/result_json.h"
#include "cordavex/content.h"

namespace cordavex::cli {
namespace {

bool ReadStandardInput(std::string& bytes) {
  std::ios::sync_with_stdio(false);
  std::cin >> std::noskipws;
  bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  return !std::cin.bad();
}

void PrintText(const ScanResult& result) {
  std::printf("contentType: %d\n", result.contentType);
  std::printf("subType: %u\n", result.subType);
  std::printf("number: %u\n", result.number);
  std::printf("rawText: %s\n", Utf16ToUtf8(result.RawText()).c_str());
  std::printf("displayText: %s\n", Utf16ToUtf8(result.DisplayText()).c_str());
  for (int i = 0; i < kFieldCount; ++i) {
    const std::u16string_view value = result.Get(static_cast<Field>(i));
    if (value.empty()) continue;
    std::printf("%s: %s\n", std::string(FieldName(static_cast<Field>(i))).c_str(),
                Utf16ToUtf8(value).c_str());
  }
}

}  // namespace

int ClassifyCommand(int argc, char** argv) {
  ClassifyOptions options;
  if (const int status = ParseClassifyArguments(argc, argv, options); status != kParsed) {
    return status;
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
    std::cout << ContentJson(*result) << '\n';
  } else {
    PrintText(*result);
  }
  std::cout.flush();
  return 0;
}

}  // namespace cordavex::cli
