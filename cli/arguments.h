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
  // Plain engine calls (--plain, or --mode or --frames given): up to `frames`
  // RecognizeImage calls in `mode`, as camera frames would reach the engine.
  // Otherwise each image goes through the still-image reader.
  bool plain = false;
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

inline constexpr const char* kRegUsage =
    "usage: cordavex reg [--device-root DIR] dump\n"
    "       cordavex reg [--device-root DIR] get KEY VALUE\n"
    "       cordavex reg [--device-root DIR] set KEY VALUE dword|sz|binary|multi_sz DATA...\n";

// `cordavex reg [--device-root DIR] dump | get KEY VALUE | set KEY VALUE TYPE DATA...`
struct RegOptions {
  std::string deviceRoot;  // "": the default device root
  std::string action;      // "dump", "get" or "set"
  std::string key;         // ROOT\path, ROOT one of HKEY_CURRENT_USER / HKCU, ...
  std::string value;       // "" is the key's default value
  std::string type;        // set: dword, sz, binary, multi_sz
  std::vector<std::string> data;  // set: one DATA, or one per string of a multi_sz
};
// An error is followed by kRegUsage on stderr.
int ParseRegArguments(int argc, char** argv, RegOptions& options);

}  // namespace cordavex::cli
