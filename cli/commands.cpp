#include "cli/commands.h"

#include <cstdio>

namespace cordavex::cli {

int Main(int, char**) {
  std::fputs("usage: cordavex scan|generate|classify|payload ...\n", stderr);
  return 2;
}

}  // namespace cordavex::cli
