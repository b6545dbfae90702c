#include <cctype>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/generate_cordavex.h"
#include "cli/image_write.h"
#include "cordavex/qr_encoder.h"

namespace cordavex::cli {

namespace {

// A picture side beyond this many pixels is almost surely a mistyped scale.
constexpr int kMaxPictureSide = 16384;

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "cordavex generate qr: %s\n", message.c_str());
  return status;
}

bool ReadStandardInput(std::string& text) {
  text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  return !std::cin.bad();
}

int LevelFromName(const std::string& name) {
  if (name.size() != 1) return -1;
  switch (std::toupper(static_cast<unsigned char>(name[0]))) {
    case 'L': return kQrLevelL;
    case 'M': return kQrLevelM;
    case 'Q': return kQrLevelQ;
    case 'H': return kQrLevelH;
    default: return -1;
  }
}

int GenerateQr(int argc, char** argv) {
  GenerateQrOptions options;
  if (const int status = ParseGenerateQrArguments(argc, argv, options); status != kParsed) {
    return status;
  }
  const std::string& levelName = options.levelName;
  const std::string& output = options.output;
  std::string& text = options.text;
  const int version = options.version;
  const int mask = options.mask;
  const bool allowLarger = options.allowLarger;

  const int level = LevelFromName(levelName);
  if (level < 0) return Fail("--level must be L, M, Q or H, not '" + levelName + "'", 2);
  if (ImageKindOf(output) == ImageKind::kUnknown) {
    return Fail("cannot tell the image format of '" + output + "' (use .png, .svg, .pgm or .txt)",
                2);
  }
  if (text == "-" && !ReadStandardInput(text)) return Fail("cannot read standard input", 2);
  if (text.empty()) return Fail("nothing to encode: the text is empty", 2);
  if (text.size() > static_cast<size_t>(kQrMaxTextLength)) {
    return Fail("the text is too long for any QR code (" + std::to_string(text.size()) +
                    " bytes)",
                1);
  }

  auto context = std::make_unique<QrEncoder>();
  if (QrEncode(*context, level, version, allowLarger ? 1 : 0, mask, text.data(),
               static_cast<int>(text.size())) != 1) {
    const std::string levelText(1, "LMQH"[level]);
    if (version != 0 && !allowLarger &&
        QrEncode(*context, level, version, 1, mask, text.data(), static_cast<int>(text.size())) ==
            1) {
      return Fail("the text does not fit version " + std::to_string(version) + "-" + levelText +
                      " (it needs version " + std::to_string(context->version) +
                      "; add --allow-larger)",
                  1);
    }
    return Fail("the text (" + std::to_string(text.size()) +
                    " bytes) does not fit any QR code at level " + levelText,
                1);
  }

  const int pictureSide = (context->side + 2 * options.border) * options.scale;
  if (ImageKindOf(output) != ImageKind::kText && pictureSide > kMaxPictureSide) {
    return Fail("the picture would be " + std::to_string(pictureSide) +
                    " pixels wide; lower --scale or --border",
                2);
  }
  const ModuleView view{context->matrix, context->side, kQrMatrixStride};
  std::string error;
  if (!WriteSymbolImage(output, view, options.scale, options.border, error)) return Fail(error, 2);
  return 0;
}

}  // namespace

int GenerateCommand(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kGenerateUsage, stderr);
    return 2;
  }
  const std::string_view symbology = argv[1];
  // The command's own name for CLI11 is the symbology.
  if (symbology == "qr") return GenerateQr(argc - 1, argv + 1);
  if (symbology == "cordavex") return GenerateCordavex(argc - 1, argv + 1);
  if (symbology == "-h" || symbology == "--help") {
    std::fputs(kGenerateUsage, stdout);
    return 0;
  }
  std::fprintf(stderr, "cordavex generate: unknown symbology '%s' (use qr or cordavex)\n",
               argv[1]);
  return 2;
}

}  // namespace cordavex::cli
