// Paths the tests read fixtures from.
#pragma once

#include <string>

namespace cordavex::test {

// The source tree's root (from CORDAVEX_SOURCE_DIR, else the build's own).
std::string SourceDir();
// ../shared beside the checkout: real photos and data files.
std::string SharedDir();

}  // namespace cordavex::test
