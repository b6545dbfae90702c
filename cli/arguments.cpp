#include "cli/arguments.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>

#include "cordavex/qr_code.h"

namespace cordavex::cli {

namespace {

// Parses, turning CLI11's help request and parse errors into the exit status.
int Parse(CLI::App& app, int argc, char** argv, const char* command, const char* usage = "") {
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << app.help();
    std::cout.flush();
    return 0;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "%s: %s\n%s", command, e.what(), usage);
    return 2;
  }
  return kParsed;
}

}  // namespace

int ParseScanArguments(int argc, char** argv, ScanOptions& options) {
  CLI::App app("Scan images for QR code, Cordavex code and Data Matrix symbols", "cordavex scan");
  CLI::Option* mode = app.add_option("--mode", options.mode,
                                     "processing mode 0..11 (implies --plain)")
                          ->check(CLI::Range(0, 11));
  app.add_option("--symbologies", options.symbologies, "comma-separated: qr, cv, dm");
  CLI::Option* frames =
      app.add_option("--frames", options.frames,
                     "engine calls per image, stopping at the first success (implies --plain)")
          ->check(CLI::Range(1, 1000));
  app.add_flag("--plain", options.plain,
               "plain engine calls as camera frames (default: the still-image reader)");
  app.add_flag("--json", options.json, "one JSON object per image");
  app.add_option("IMAGE", options.files, "PNG, JPEG, PGM or PPM files")->required();
  const int status = Parse(app, argc, argv, "cordavex scan");
  // Scripts that chose a mode or a number of frames asked for the engine's own
  // behaviour, so they keep getting it.
  if (mode->count() > 0 || frames->count() > 0) options.plain = true;
  return status;
}

int ParseClassifyArguments(int argc, char** argv, ClassifyOptions& options) {
  CLI::App app("Classify a text as the content of a scanned QR code", "cordavex classify");
  app.add_option("--charset", options.charset,
                 "character set of the text: 1 Shift-JIS, 2 UTF-8, 4 Big5, 8 GB2312, 32 guess")
      ->check(CLI::IsMember({1, 2, 4, 8, 32}));
  app.add_flag("--json", options.json, "print one JSON object");
  app.add_option("TEXT", options.text, "the text, or - to read the bytes of standard input")
      ->required();
  return Parse(app, argc, argv, "cordavex classify");
}

int ParseGenerateQrArguments(int argc, char** argv, GenerateQrOptions& options) {
  CLI::App app{"Generate a QR code", "cordavex generate qr"};
  app.add_option("--level", options.levelName, "error correction level L, M, Q or H (default M)");
  app.add_option("--version", options.version,
                 "symbol version 1-40 (default: the smallest that fits)")
      ->check(CLI::Range(0, kQrMaxVersion));
  app.add_flag("--allow-larger", options.allowLarger, "use a larger version when the text needs one");
  app.add_option("--mask", options.mask, "mask pattern 0-7 (default: the lowest penalty)")
      ->check(CLI::Range(-1, 7));
  app.add_option("--scale", options.scale, "pixels per module (default 8; SVG: size of a module)")
      ->check(CLI::Range(1, 256));
  app.add_option("--border", options.border, "light modules around the symbol (default 4)")
      ->check(CLI::Range(0, 256));
  app.add_option("TEXT", options.text, "the text to encode, or - for standard input")->required();
  app.add_option("-o,--output", options.output, "output file: .png, .svg, .pgm or .txt")->required();
  return Parse(app, argc, argv, "cordavex generate qr", kGenerateUsage);
}

int ParseGenerateCordavexArguments(int argc, char** argv, GenerateCordavexOptions& options) {
  CLI::App app{"Generate a Cordavex code", "cordavex generate cordavex"};
  app.add_option("--level", options.level, "error level 0-3 (default 1)")->check(CLI::Range(0, 3));
  app.add_option("--kind", options.kindName,
                 "text, bytes, split, encrypted or text+encrypted (default text)");
  app.add_option("--password", options.password, "password for the encrypted kinds (1-32 bytes)");
  app.add_option("--secret", options.secret, "text+encrypted: the part to encipher");
  app.add_option("--parts", options.parts, "split: the number of parts to start from (1-16)")
      ->check(CLI::Range(1, 16));
  app.add_option("--scale", options.scale, "pixels per module (default 8; SVG: size of a module)")
      ->check(CLI::Range(1, 256));
  app.add_option("--border", options.border, "light modules around the symbol (default 4)")
      ->check(CLI::Range(0, 256));
  app.add_option("TEXT", options.text, "the text or bytes to encode, or - for standard input")
      ->required();
  app.add_option("-o,--output", options.output, "output file: .png, .svg, .pgm or .txt")->required();
  return Parse(app, argc, argv, "cordavex generate cordavex", kGenerateUsage);
}

int ParseRegArguments(int argc, char** argv, RegOptions& options) {
  CLI::App app{"Show and edit the registry of a device root", "cordavex reg"};
  app.add_option("--device-root", options.deviceRoot,
                 "the device root (default: $CORDAVEX_DEVICE_ROOT or ~/.local/share/cordavex/device)");
  app.require_subcommand(1);
  CLI::App* dump = app.add_subcommand("dump", "print every key and value, sorted");
  CLI::App* get = app.add_subcommand("get", "print one value alone");
  get->add_option("KEY", options.key, "HKCU\\path, HKLM\\path or HKCR\\path")->required();
  get->add_option("VALUE", options.value, "value name (\"\" for the default value)")->required();
  CLI::App* set = app.add_subcommand("set", "write one value, making the key when missing");
  set->add_option("KEY", options.key, "HKCU\\path, HKLM\\path or HKCR\\path")->required();
  set->add_option("VALUE", options.value, "value name (\"\" for the default value)")->required();
  set->add_option("TYPE", options.type, "dword, sz, binary or multi_sz")->required();
  set->add_option("DATA", options.data,
                  "dword: decimal or 0x hex; sz: the text; binary: hex bytes; multi_sz: one "
                  "argument per string");
  for (CLI::App* sub : {dump, get, set}) sub->fallthrough();
  const int status = Parse(app, argc, argv, "cordavex reg", kRegUsage);
  if (status != kParsed) return status;
  options.action = dump->parsed() ? "dump" : get->parsed() ? "get" : "set";
  return kParsed;
}

}  // namespace cordavex::cli
