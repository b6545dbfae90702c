#include <cstdio>

#include "cli/commands.h"

namespace cordavex::cli {

int ScanCommand(int, char**) {
  std::fputs("cordavex scan: not available in this build yet\n", stderr);
  return 2;
}

}  // namespace cordavex::cli
