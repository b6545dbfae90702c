#include <cstdio>

#include "cli/commands.h"

namespace cordavex::cli {

int GenerateCommand(int, char**) {
  std::fputs("cordavex generate: not available in this build yet\n", stderr);
  return 2;
}

}  // namespace cordavex::cli
