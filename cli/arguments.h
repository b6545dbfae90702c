// The commands' options and their parsing. CLI11 is a large header-only
// library whose code is compiled into every file that uses it, so arguments.cpp
// is the only file that includes it; the commands get plain option records.
//
// Each Parse* call reads argv (argv[0] is the command's name) and returns
// kParsed when the command should go on, otherwise its exit status: 0 after
// printing the help on stdout, 2 after one line on stderr naming the problem.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cordavex::cli {

inline constexpr int kParsed = -1;

struct ScanOptions {
  int mode = 0;
  std::string symbologies = "qr,cv,dm";
  int frames = 8;
  bool json = false;
  std::vector<std::string> files;
};
int ParseScanArguments(int argc, char** argv, ScanOptions& options);

struct ClassifyOptions {
  uint32_t charset = 32;
  bool json = false;
  std::string text;
};
int ParseClassifyArguments(int argc, char** argv, ClassifyOptions& options);

inline constexpr const char* kGenerateUsage =
    "usage: cordavex generate qr [--level L|M|Q|H] [--version V] [--allow-larger] [--mask M]\n"
    "                            [--scale S] [--border B] TEXT|- -o OUT.{png,svg,pgm,txt}\n"
    "       cordavex generate cordavex [--level 0-3] [--kind K] [--password P] [--secret S]\n"
    "                            [--parts N] [--scale S] [--border B] TEXT|- -o OUT\n";

struct GenerateQrOptions {
  std::string levelName = "M";
  int version = 0;  // 0: the smallest that fits
  bool allowLarger = false;
  int mask = -1;    // -1: the lowest penalty
  int scale = 8;
  int border = 4;
  std::string text;
  std::string output;
};
// An error is followed by kGenerateUsage on stderr.
int ParseGenerateQrArguments(int argc, char** argv, GenerateQrOptions& options);

struct GenerateCordavexOptions {
  int level = 1;
  std::string kindName = "text";  // text, bytes, split, encrypted, text+encrypted
  std::string password;
  std::string secret;  // text+encrypted: the part to encipher
  int parts = 1;       // split: the number of parts to start from
  int scale = 8;
  int border = 4;
  std::string text;
  std::string output;
};
// An error is followed by kGenerateUsage on stderr.
int ParseGenerateCordavexArguments(int argc, char** argv, GenerateCordavexOptions& options);

}  // namespace cordavex::cli
