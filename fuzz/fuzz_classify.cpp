// Classifies arbitrary decoder output: the first bytes pick the located
// symbology, the content kind and the character set, the rest fills the text
// and the second string. Checks that every reference stays inside the record
// and that the text areas keep their terminators.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "content/classify.h"

namespace {

struct Buffers {
  uint8_t text[cordavex::kDecodedTextBytes];
  uint8_t second[cordavex::kSecondStringBytes];
  uint8_t further0[cordavex::kFurtherBufferBytes[0]];
  uint8_t further1[cordavex::kFurtherBufferBytes[1]];
  uint8_t further2[cordavex::kFurtherBufferBytes[2]];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cordavex;
  static auto pool = std::make_unique<ParsePool>();
  static auto record = std::make_unique<ScanResult>();
  static auto buffers = std::make_unique<Buffers>();
  if (size < 3) return 0;
  // Content kinds that lead somewhere, and a few that do not.
  static constexpr int32_t kKinds[] = {0, 1, 2, 3, 5, 8, 10, 11, 16, 19, 27, 28, 63, 99};
  static constexpr uint32_t kCharsets[] = {1, 2, 4, 8, 32, 0};
  const int32_t lockedKind = data[0] % 5;
  const int32_t contentKind = kKinds[data[1] % (sizeof kKinds / sizeof kKinds[0])];
  const uint32_t charset = kCharsets[(data[2] & 0x7F) % 6];
  // A guess follows the UI language; values are guessed again on their own.
  setenv("CORDAVEX_UI_LANGUAGE", (data[2] & 0x80) ? "0409" : "0404", 1);
  data += 3;
  size -= 3;

  // Filled without terminators where the input is long enough: a decoder's
  // buffer may be full.
  std::memset(buffers.get(), 0, sizeof(Buffers));
  uint8_t* areas[] = {buffers->text, buffers->second, buffers->further0, buffers->further1,
                      buffers->further2};
  const size_t sizes[] = {sizeof buffers->text, sizeof buffers->second, sizeof buffers->further0,
                          sizeof buffers->further1, sizeof buffers->further2};
  // The text takes the input up to a 0xFF byte; each further area the next run.
  size_t at = 0;
  for (int i = 0; i < 5 && at < size; ++i) {
    size_t n = 0;
    while (at + n < size && data[at + n] != 0xFF && n < sizes[i]) ++n;
    std::memcpy(areas[i], data + at, n);
    at += n + 1;
  }

  ClassifyInput input;
  input.summary = {contentKind, buffers->text, buffers->second,
                   {buffers->further0, buffers->further1, buffers->further2}};
  input.textFlag = charset;
  input.lockedKind = lockedKind;
  ClassifyResult(input, *record, *pool);

  if (record->displayText >= ScanResult::kTextUnits) std::abort();
  for (uint16_t offset : record->fields) {
    if (offset >= ScanResult::kTextUnits) std::abort();
  }
  if (record->text[ScanResult::kRawTextUnits - 1] != 0) std::abort();
  if (record->text[ScanResult::kEmptyString] != 0) std::abort();
  return 0;
}
