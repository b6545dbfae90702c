#include <cstdio>

#include "cli/commands.h"

namespace cordavex::cli {

int ClassifyCommand(int, char**) {
  std::fputs("cordavex classify: not available in this build yet\n", stderr);
  return 2;
}

}  // namespace cordavex::cli
