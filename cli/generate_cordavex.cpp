// cordavex generate cordavex: a text, bytes, split data or password-protected
// content as Cordavex code symbols.
#include "cli/generate_cordavex.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/image_write.h"
#include "cordavex/cordavex_code.h"

namespace cordavex::cli {

namespace {

constexpr int kMaxPictureSide = 16384;

int Fail(const std::string& message, int status) {
  std::fprintf(stderr, "cordavex generate cordavex: %s\n", message.c_str());
  return status;
}

// UTF-8 to UTF-16; false for a malformed sequence.
bool Utf8ToUtf16(const std::string& in, std::u16string& out) {
  out.clear();
  for (size_t i = 0; i < in.size();) {
    const auto b = static_cast<unsigned char>(in[i]);
    int extra = 0;
    uint32_t cp = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + static_cast<size_t>(extra) >= in.size() && extra > 0) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(in[i + static_cast<size_t>(k)]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr uint32_t kLeast[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

// "name.png" -> "name-3.png" for part 3.
std::string PartPath(const std::string& path, int part) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  const size_t at = dot == std::string::npos || (slash != std::string::npos && dot < slash) ? path.size() : dot;
  return path.substr(0, at) + "-" + std::to_string(part) + path.substr(at);
}

// The map cut to its S rows of S + 4 characters, finder included.
bool WriteMapText(const std::string& path, const char* map, int side, std::string& error) {
  const std::string temporary = path + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  bool written = true;
  for (int r = 0; r < side && written; ++r) {
    written = std::fwrite(map + r * kCordavexMapSide, 1, static_cast<size_t>(side + 4), file) ==
                  static_cast<size_t>(side + 4) &&
              std::fputc('\n', file) != EOF;
  }
  if (std::fclose(file) != 0) written = false;
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::remove(temporary.c_str());
    error = "cannot write '" + path + "'";
    return false;
  }
  return true;
}

// A picture of the map: its S + 4 columns and S rows in a square of side
// S + 4 (the rows below the symbol light, as the border is).
bool WriteMapImage(const std::string& path, const char* map, int side, int scale, int border,
                   std::string& error) {
  if (ImageKindOf(path) == ImageKind::kText) return WriteMapText(path, map, side, error);
  const int width = side + 4;
  std::vector<uint8_t> modules(static_cast<size_t>(width * width), 0);
  for (int r = 0; r < side; ++r) {
    for (int c = 0; c < width; ++c) {
      modules[static_cast<size_t>(r * width + c)] = map[r * kCordavexMapSide + c] == '1' ? 1 : 0;
    }
  }
  return WriteSymbolImage(path, ModuleView{modules.data(), width, width}, scale, border, error);
}

}  // namespace

int GenerateCordavex(int argc, char** argv) {
  GenerateCordavexOptions options;
  if (const int status = ParseGenerateCordavexArguments(argc, argv, options); status != kParsed) {
    return status;
  }
  const int level = options.level;
  const std::string& kindName = options.kindName;
  const std::string& password = options.password;
  const std::string& secret = options.secret;
  int parts = options.parts;
  const int scale = options.scale;
  const int border = options.border;
  std::string& text = options.text;
  const std::string& output = options.output;

  static const std::map<std::string, int> kKinds = {
      {"text", kCordavexText},           {"bytes", kCordavexBytes},
      {"split", kCordavexSplit},         {"encrypted", kCordavexEncrypted},
      {"text+encrypted", kCordavexTextEncrypted},
  };
  const auto found = kKinds.find(kindName);
  if (found == kKinds.end()) {
    return Fail("--kind must be text, bytes, split, encrypted or text+encrypted, not '" +
                    kindName + "'",
                2);
  }
  const int kind = found->second;
  if (ImageKindOf(output) == ImageKind::kUnknown) {
    return Fail("cannot tell the image format of '" + output + "' (use .png, .svg, .pgm or .txt)",
                2);
  }
  const bool encrypted = kind == kCordavexEncrypted || kind == kCordavexTextEncrypted;
  if (encrypted && (password.empty() || password.size() > kCordavexMaxPasswordBytes)) {
    return Fail("--kind " + kindName + " needs a --password of 1 to 32 bytes", 2);
  }
  if (!encrypted && !password.empty()) return Fail("--password is for the encrypted kinds", 2);
  if (kind == kCordavexTextEncrypted && secret.empty()) {
    return Fail("--kind text+encrypted needs the --secret to encipher", 2);
  }
  if (kind != kCordavexTextEncrypted && !secret.empty()) {
    return Fail("--secret is for --kind text+encrypted", 2);
  }
  if (text == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) return Fail("cannot read standard input", 2);
  }
  if (text.empty()) return Fail("nothing to encode: the text is empty", 2);

  CordavexInput input;
  std::u16string wide;
  const auto bytesOf = [](const std::string& s) {
    return std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size());
  };
  if (kind == kCordavexText || kind == kCordavexTextEncrypted) {
    if (!Utf8ToUtf16(text, wide)) return Fail("the text is not valid UTF-8", 2);
    if (wide.size() > static_cast<size_t>(kCordavexMaxTextUnits)) {
      return Fail("the text is too long for a Cordavex code (" + std::to_string(wide.size()) +
                      " UTF-16 units; at most " + std::to_string(kCordavexMaxTextUnits) + ")",
                  1);
    }
    input.text = wide;
    input.secondData = bytesOf(secret);
  } else {
    input.data = bytesOf(text);
  }
  input.key = bytesOf(password);

  auto work = std::make_unique<CordavexGenerator>();
  std::vector<char> maps(static_cast<size_t>(kCordavexMaxParts) * kCordavexMapBytes);
  int size = kCordavexMinSide;
  if (GenerateCordavexCode(*work, maps, kind, size, level, input, parts) != 1) {
    if (kind == kCordavexSplit) {
      return Fail("the data (" + std::to_string(text.size()) + " bytes) needs more than " +
                      std::to_string(kCordavexMaxParts) + " symbols at level " +
                      std::to_string(level),
                  1);
    }
    return Fail("the content does not fit a Cordavex code at level " + std::to_string(level) +
                    " (or has more than " + std::to_string(kCordavexMaxSegments) + " segments)",
                1);
  }

  for (int i = 0; i < work->partCount; ++i) {
    const int side = work->partSides[i];
    const int pictureSide = (side + 4 + 2 * border) * scale;
    if (ImageKindOf(output) != ImageKind::kText && pictureSide > kMaxPictureSide) {
      return Fail("the picture would be " + std::to_string(pictureSide) +
                      " pixels wide; lower --scale or --border",
                  2);
    }
    const std::string path = kind == kCordavexSplit ? PartPath(output, i + 1) : output;
    std::string error;
    if (!WriteMapImage(path, maps.data() + static_cast<size_t>(i) * kCordavexMapBytes, side,
                       scale, border, error)) {
      return Fail(error, 2);
    }
    if (kind == kCordavexSplit) std::printf("%s\n", path.c_str());
  }
  return 0;
}

}  // namespace cordavex::cli
