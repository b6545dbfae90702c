// `cordavex scan`: reads each image, converts it to one of the engine's pixel
// formats and calls RecognizeImage with a fresh workspace up to --frames times,
// as consecutive camera frames of the same scene would reach it.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/image_io.h"
#include "cli/result_json.h"
#include "cordavex/recognizer.h"
#include "cordavex/symbology.h"

namespace cordavex::cli {
namespace {

struct ScanOutcome {
  int32_t status = 0;
  int frames = 0;
};

ScanOutcome ScanImage(const Image& image, const ScanOptions& options, int32_t mask,
                      std::vector<uint64_t>& workspace, ScanResult& result) {
  // A fresh, zeroed workspace for every image: no adaptive state carries over
  // from one file to the next.
  const auto size = static_cast<size_t>(GetRecognizerSize(image.width, image.height));
  workspace.assign(size / sizeof(uint64_t) + 1, 0);
  ScanOutcome outcome;
  for (int i = 0; i < options.frames; ++i) {
    // A success overwrites the input words, so they are set before every call.
    result.mode() = options.mode;
    result.symbologyMask() = mask;
    outcome.status = RecognizeImage(image.pixels.data(), workspace.data(), image.width,
                                    image.height, image.bitsPerPixel, &result);
    outcome.frames = i + 1;
    if (outcome.status == 1) break;
  }
  return outcome;
}

void PrintText(const std::string& file, const ScanOutcome& outcome, const DecodedSymbol& symbol,
               const ScanResult& result) {
  if (outcome.status != 1) {
    std::printf("%s: nothing found (status %d after %d frames)\n", file.c_str(), outcome.status,
                outcome.frames);
    return;
  }
  const SymbologyRow* row = FindSymbology(symbol.symbology);
  const std::string symbology(row != nullptr ? row->jsonName : "unknown");
  std::printf("%s: %s, type %d: %s\n", file.c_str(), symbology.c_str(), result.contentType,
              Utf16ToUtf8(result.RawText()).c_str());
}

void PrintJson(const std::string& file, const ScanOutcome* outcome, const DecodedSymbol& symbol,
               const ScanResult& result, const std::string& error) {
  ScanLine line;
  line.file = file;
  line.unreadable = outcome == nullptr;
  line.error = error;
  if (outcome != nullptr) {
    line.status = outcome->status;
    line.frames = outcome->frames;
  }
  line.symbol = symbol;
  line.result = &result;
  std::cout << ScanLineJson(line) << '\n';
}

}  // namespace

int ScanCommand(int argc, char** argv) {
  ScanOptions options;
  if (const int status = ParseScanArguments(argc, argv, options); status != kParsed) return status;
  const int32_t mask = static_cast<int32_t>(SymbologyMaskOfList(options.symbologies));
  if (mask == 0) {
    std::fprintf(stderr, "cordavex scan: unknown symbology in '%s' (use qr, cv, dm)\n",
                 options.symbologies.c_str());
    return 2;
  }

  int exitStatus = 0;
  std::vector<uint64_t> workspace;
  ScanResult result{};
  for (const std::string& file : options.files) {
    Image image;
    std::string error;
    if (!ReadImage(file, image, error)) {
      std::fprintf(stderr, "cordavex scan: %s: %s\n", file.c_str(), error.c_str());
      if (options.json) PrintJson(file, nullptr, {}, result, error);
      exitStatus = 2;
      continue;
    }
    const ScanOutcome outcome = ScanImage(image, options, mask, workspace, result);
    const DecodedSymbol symbol = LastDecodedSymbol(workspace.data());
    if (options.json) {
      PrintJson(file, &outcome, symbol, result, {});
    } else {
      PrintText(file, outcome, symbol, result);
    }
    if (outcome.status != 1 && exitStatus == 0) exitStatus = 1;
  }
  std::fflush(stdout);
  return exitStatus;
}

}  // namespace cordavex::cli
