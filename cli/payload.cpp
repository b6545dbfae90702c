#include <cstdio>

#include "cli/commands.h"

namespace cordavex::cli {

int PayloadCommand(int, char**) {
  std::fputs("cordavex payload: not available in this build yet\n", stderr);
  return 2;
}

}  // namespace cordavex::cli
