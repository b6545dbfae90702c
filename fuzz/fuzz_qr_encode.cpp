// QrEncode on arbitrary text and arguments: it must return 0 or 1 without
// touching memory outside its context, and a symbol it makes must have a
// side that matches its version and only 0/1 modules.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "cordavex/qr_encoder.h"
#include "decode/qr_tables.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static auto* context = new cordavex::QrEncoder();
  const int level = data[0] & 3;
  const int version = (data[0] >> 2) % 41;
  const int allowLarger = (data[0] >> 7) & 1;
  const int mask = static_cast<int>(data[1] % 9) - 1;
  const int length = static_cast<int>(size - 2 > 8000 ? 8000 : size - 2);
  // Copied so that the encoder sees exactly `length` bytes with no terminator.
  auto text = std::make_unique<char[]>(static_cast<size_t>(length) + 1);
  for (int i = 0; i < length; ++i) text[i] = static_cast<char>(data[2 + i]);
  if (length == 0) return 0;
  const int ok = cordavex::QrEncode(*context, level, version, allowLarger, mask, text.get(), length);
  if (ok != 0 && ok != 1) std::abort();
  if (ok == 1) {
    if (context->side != cordavex::QrSide(context->version)) std::abort();
    if (version != 0 && !allowLarger && context->version != version) std::abort();
    for (int row = 0; row < context->side; ++row) {
      for (int column = 0; column < context->side; ++column) {
        if (context->matrix[row * cordavex::kQrMatrixStride + column] > 1) std::abort();
      }
    }
  }
  return 0;
}
