#include "cli/commands.h"

#include <cstdio>
#include <string_view>

namespace cordavex::cli {

namespace {

constexpr const char* kUsage =
    "usage:\n"
    "  cordavex scan [--mode N] [--symbologies qr,cv,dm] [--frames N] [--json] IMAGE...\n"
    "  cordavex generate (qr|cordavex) [options] TEXT|- -o OUT.{png,svg,pgm,txt}\n"
    "  cordavex classify [--charset CODE] [--json] TEXT|-\n"
    "  cordavex payload (encipher|decipher) TEXT|-\n"
    "  cordavex reg [--device-root DIR] dump | get KEY VALUE | set KEY VALUE TYPE DATA...\n";

}  // namespace

int Main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string_view command = argv[1];
  if (command == "-h" || command == "--help" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  // The command sees its own name as argv[0].
  if (command == "scan") return ScanCommand(argc - 1, argv + 1);
  if (command == "generate") return GenerateCommand(argc - 1, argv + 1);
  if (command == "classify") return ClassifyCommand(argc - 1, argv + 1);
  if (command == "payload") return PayloadCommand(argc - 1, argv + 1);
  if (command == "reg") return RegCommand(argc - 1, argv + 1);
  std::fprintf(stderr, "cordavex: unknown command '%s'\n", argv[1]);
  std::fputs(kUsage, stderr);
  return 2;
}

}  // namespace cordavex::cli
