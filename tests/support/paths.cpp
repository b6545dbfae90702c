#include "support/paths.h"

#include <cstdlib>

namespace cordavex::test {

std::string SourceDir() {
  if (const char* dir = std::getenv("CORDAVEX_SOURCE_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
#ifdef CORDAVEX_SOURCE_DIR
  return CORDAVEX_SOURCE_DIR;
#else
  return ".";
#endif
}

std::string SharedDir() {
  if (const char* dir = std::getenv("CORDAVEX_SHARED_DIR"); dir != nullptr && *dir != '\0') {
    return dir;
  }
  return SourceDir() + "/../shared";
}

}  // namespace cordavex::test
