// Uses the installed library through its umbrella header only: a blank frame
// finds nothing and reports its mean grey, a web address classifies as one, and
// the encoder writes a symbol. Prints one line per failed check; exit status 1
// when any failed.
#include <cordavex/cordavex.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("consumer: %s\n", what);
    ++failures;
  }
}

}  // namespace

int main() {
  using namespace cordavex;
  Check(std::string_view(CORDAVEX_VERSION_STRING).size() >= 5, "version string");

  constexpr int kWidth = 320;
  constexpr int kHeight = 240;
  const int32_t size = GetRecognizerSize(kWidth, kHeight);
  Check(size > 0, "workspace size");
  std::vector<uint64_t> workspace(static_cast<size_t>(size) / 8 + 1, 0);
  const std::vector<uint8_t> frame(kWidth * kHeight, 200);
  auto result = std::make_unique<ScanResult>();
  result->mode() = 4;  // thorough: leaves tones alone, so the mean grey is the frame's
  result->symbologyMask() = static_cast<int32_t>(kMaskAll);
  const int32_t status = RecognizeImage(frame.data(), workspace.data(), kWidth, kHeight, 8, result.get());
  if (status != -200) std::printf("consumer: blank frame gave %d\n", status);
  Check(status == -200, "a blank grey-200 frame returns minus its mean grey");
  Check(LastDecodedSymbol(workspace.data()).symbology == 0, "nothing decoded");

  const char* url = "http://www.example.com/";
  const int32_t type = ClassifyQrBytes({reinterpret_cast<const uint8_t*>(url), std::strlen(url)},
                                       kCharsetGuess, *result);
  Check(type == kTypeWebAddress && result->contentType == kTypeWebAddress, "web address");
  Check(result->RawText() == u"http://www.example.com/", "raw text");

  auto encoder = std::make_unique<QrEncoder>();
  Check(QrEncode(*encoder, kQrLevelM, 0, 0, -1, url, 0) == 1, "encoder");
  Check(encoder->version == 2 && encoder->side == 25, "encoder version");

  if (failures == 0) std::printf("consumer: all checks passed (Cordavex %s)\n", CORDAVEX_VERSION_STRING);
  return failures == 0 ? 0 : 1;
}
