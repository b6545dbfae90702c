// Parses arbitrary bytes and walks the result into a content record, in every
// character set, with the per-value guess on and off; checks that every field
// reference stays inside the record and that the key area stays clear.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "content/parser.h"
#include "content/record_fill.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cordavex;
  static auto pool = std::make_unique<ParsePool>();
  static auto record = std::make_unique<ScanResult>();
  if (size == 0) return 0;
  // The first byte picks the character set, whether that set was a guess over
  // the whole text (values are then guessed again on their own bytes), the UI
  // language such a guess follows, and whether the record is a web address.
  static constexpr uint32_t kCharsets[] = {1, 2, 4, 8, 32, 0};
  uint32_t charset = kCharsets[(data[0] & 0x1F) % 6];
  const bool guessed = (data[0] & 0x40) != 0;
  setenv("CORDAVEX_UI_LANGUAGE", (data[0] & 0x20) ? "0409" : "0404", 1);
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const ContentObject* objects = nullptr;
  if (ParseContent(text, *pool, &objects) != 1) return 0;
  record->Clear();
  record->contentType = (data[0] & 0x80) ? 1 : 0;
  ContentFill fill{record.get(), charset, 0, guessed};
  FillContentRecord(objects, fill, *pool);
  if (fill.poolFill > kFieldPoolUnits) std::abort();
  for (uint16_t offset : record->fields) {
    if (offset >= ScanResult::kTextUnits) std::abort();
  }
  for (int i = 0; i < ScanResult::kKeyAreaUnits; ++i) {
    if (record->keyArea()[i] != 0) std::abort();
  }
  char scratch[64];
  for (int mode = 0; mode < 2; ++mode) DecodeTransferEncoding(text.substr(0, 60), scratch, mode);
  return 0;
}
