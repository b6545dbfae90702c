#include "support/realworld.h"

#include <fstream>
#include <sstream>

#include "support/paths.h"

namespace cordavex::test {
namespace {

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

}  // namespace

std::string RealWorldDir() { return SharedDir() + "/testdata/realworld"; }

std::vector<RealWorldPhoto> RealWorldPhotos(std::string_view symbology) {
  std::vector<RealWorldPhoto> photos;
  std::ifstream in(RealWorldDir() + "/manifest.tsv");
  std::string line;
  std::getline(in, line);  // file, symbology, version_or_size, source_folder, scope, expected_hex
  while (std::getline(in, line)) {
    std::vector<std::string> cols;
    std::stringstream ss(line);
    std::string col;
    while (std::getline(ss, col, '\t')) cols.push_back(col);
    if (cols.size() >= 6 && cols[1] == symbology) {
      photos.push_back({cols[0], cols[2], cols[4], FromHex(cols[5])});
    }
  }
  return photos;
}

std::string LowerHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

}  // namespace cordavex::test
