// ClassifyQrBytes: the bytes of a QR code classified without a frame, through
// the same first look and classification as a scan.
#include <algorithm>
#include <cstring>

#include "content/classify.h"
#include "cordavex/content.h"
#include "engine/qr_locator.h"

namespace cordavex {
namespace {

// The further buffers carry nothing for QR code; classification reads them as
// empty strings.
constexpr uint8_t kEmptyBuffer[kFurtherBufferBytes[1]] = {};

}  // namespace

int32_t ClassifyQrBytes(std::span<const uint8_t> bytes, uint32_t charset, ScanResult& result) {
  uint8_t text[kDecodedTextBytes] = {};
  uint8_t secondString[kSecondStringBytes] = {};
  // The decoder keeps one byte of its text buffer for the terminating zero.
  const size_t length = std::min(bytes.size(), static_cast<size_t>(kDecodedTextBytes - 1));
  if (length > 0) std::memcpy(text, bytes.data(), length);
  QrTextBuffers buffers{text, secondString, static_cast<int32_t>(length)};
  DecodeSummary summary;
  summary.contentKind = QrPreliminaryKind(buffers);
  summary.text = text;
  summary.secondString = secondString;
  for (const uint8_t*& further : summary.further) further = kEmptyBuffer;
  ClassifyResult(ClassifyInput{summary, charset, kLockQr}, result);
  return result.contentType;
}

}  // namespace cordavex
