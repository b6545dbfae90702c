// The real photographs beside the checkout (../shared/testdata/realworld): its
// manifest, one row per photo, with the bytes each symbol holds.
//
// Test-only code.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cordavex::test {

struct RealWorldPhoto {
  std::string file;      // under RealWorldDir()/images
  std::string size;      // the QR version or the Data Matrix size
  std::string scope;     // "in", or why the symbol is outside what the system reads
  std::string expected;  // the bytes the symbol holds
};

std::string RealWorldDir();
// The photos of one symbology ("qr", "dm") in manifest order; empty when the
// manifest is missing.
std::vector<RealWorldPhoto> RealWorldPhotos(std::string_view symbology);
// Lower-case hexadecimal, as `cordavex scan --json` prints "bytes".
std::string LowerHex(std::string_view bytes);

}  // namespace cordavex::test
