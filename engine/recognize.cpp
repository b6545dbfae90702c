// RecognizeImage: argument checks, workspace set-up, pixel conversion, the
// dispatch over the locators and the adaptive-state updates.
#include <algorithm>
#include <cstring>

#include "content/classify.h"
#include "engine/dispatch.h"
#include "engine/label.h"
#include "engine/locators.h"
#include "engine/prepare.h"
#include "cordavex/recognizer.h"

namespace cordavex {
namespace {

// Modes 0..5 choose the preparation; 6..11 are the same six preparations with
// the still-image reader's extra readings (see LocateQrCodeWith).
constexpr int kPreparationModes = 6;
constexpr int kModeCount = 2 * kPreparationModes;
constexpr int kThoroughMode = 4;

bool ValidMode(int32_t mode) { return mode >= 0 && mode < kModeCount; }

// Runs the locators that the mask and mode select, in their fixed order. A symbol
// counts as found when a locator returns non-zero.
bool RunLocators(Recognizer& r, int32_t mode, uint32_t mask, const EngineStages& s) {
  bool found = false;
  if (mask & kMaskQr) found = s.locateQr(r) != 0;
  if (mode != kThoroughMode) {
    if (mask & kMaskCordavex) found = (s.locateCordavex(r) != 0) || found;
    if (mask & kMaskDataMatrix) found = (s.locateDataMatrix(r) != 0) || found;
    return found;
  }
  // Thorough: the Cordavex locator gets a second pass that admits the older
  // layout, and Data Matrix runs only when nothing was found.
  if (mask & kMaskCordavex) {
    r.skipVersion2 = 1;
    if (s.locateCordavex(r) != 0) return true;
    r.skipVersion2 = 0;
    found = (s.locateCordavex(r) != 0) || found;
  }
  if ((mask & kMaskDataMatrix) && !found) found = s.locateDataMatrix(r) != 0;
  return found;
}

// The locker of the last finder seen runs alone; success is exactly 1.
bool RunLockedLocator(Recognizer& r, const EngineStages& s) {
  switch (r.lockedKind) {
    case kLockQr:
      return s.locateQr(r) == 1;
    case kLockCordavex2:
    case kLockCordavex3:
      return s.locateCordavex(r) == 1;
    case kLockDataMatrix:
      return s.locateDataMatrix(r) == 1;
    default:
      return false;
  }
}

bool IsLocked(int32_t lockedKind) { return lockedKind >= kLockQr && lockedKind <= kLockDataMatrix; }

bool Aligned(const void* p) {
  return reinterpret_cast<uintptr_t>(p) % alignof(Recognizer) == 0;
}

}  // namespace

int64_t ImageAreaBytes(int64_t pixels) {
  if (pixels <= kSmallFramePixels) return 4 * pixels;
  return std::max<int64_t>(pixels, kLargeImageBytes);
}

int32_t GetRecognizerSize(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) return 0;
  const int64_t size = ImageAreaBytes(int64_t{width} * height) + kWorkspaceHeaderBytes;
  if (size > INT32_MAX) return 0;
  return static_cast<int32_t>(size);
}

void RepairPersistentState(Recognizer& r) {
  const bool stateBroken = r.meanGrey < -255 || r.meanGrey > 255 || r.thresholdOffset < 0 ||
                           r.thresholdOffset > 128 || r.sharpenPhase < 0 || r.sharpenPhase > 3;
  // Written as "not within" so that a NaN left in uninitialised memory is repaired.
  const bool exponentBroken = !(r.toneExponent >= 0.4 && r.toneExponent <= 1.6);
  if (stateBroken) {
    r.thresholdOffset = 0;
    r.sharpenPhase = 0;
    r.toneExponent = 1.0;
  } else if (exponentBroken) {
    r.toneExponent = 1.0;
  }
  if (r.lockedKind < 0 || r.lockedKind > 7) r.lockedKind = kLockNone;
}

void ConvertToGrey(const uint8_t* image, int32_t width, int32_t height, int32_t bitsPerPixel,
                   uint8_t* grey) {
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  switch (bitsPerPixel) {
    case 8:
      std::memcpy(grey, image, n);
      break;
    case 16:
      // RGB 5-6-5, little-endian: 2*R5 + 2*G6 + 2*B5, so pure white is 250.
      for (size_t i = 0; i < n; ++i) {
        const unsigned word = image[2 * i] | (unsigned{image[2 * i + 1]} << 8);
        const unsigned r5 = word >> 11, g6 = (word >> 5) & 0x3F, b5 = word & 0x1F;
        grey[i] = static_cast<uint8_t>(2 * r5 + 2 * g6 + 2 * b5);
      }
      break;
    case 24:
      for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = image + 3 * i;
        grey[i] = static_cast<uint8_t>((p[0] + 2 * p[1] + p[2]) >> 2);
      }
      break;
    case 32:
      // The first byte of each pixel is ignored.
      for (size_t i = 0; i < n; ++i) {
        const uint8_t* p = image + 4 * i;
        grey[i] = static_cast<uint8_t>((p[1] + 2 * p[2] + p[3]) >> 2);
      }
      break;
    default:
      // Any other format stays black: nothing will be found on it.
      break;
  }
}

int32_t RunDispatch(Recognizer& r, int32_t requestedMode, int32_t symbologyMask,
                    const EngineStages& stages) {
  const int32_t mode = requestedMode % kPreparationModes;
  r.extraReadings = requestedMode >= kPreparationModes ? 1 : 0;
  const uint32_t mask = static_cast<uint32_t>(
      symbologyMask >= 1 && symbologyMask <= static_cast<int32_t>(kMaskAll) ? symbologyMask
                                                                       : kMaskAll);
  bool found = false;
  std::fill(std::begin(r.miss), std::end(r.miss), Failure::kNone);
  r.finderCandidates = 0;
  ClearLocated(r);
  if (!stages.prepare(r, mode)) {
    r.miss[0] = Failure::kPreparation;
  } else if (!stages.label(r)) {
    r.miss[0] = Failure::kLabelling;
  } else {
    found = IsLocked(r.lockedKind) ? RunLockedLocator(r, stages) : RunLocators(r, mode, mask, stages);
  }
  if (found) {
    r.toneExponent = 1.0;
    r.thresholdOffset = 0;
    r.sharpenPhase = 3;
    return 1;
  }
  if (r.sharpenPhase < 3) {
    // Computed wide: a threshold left over from a damaged workspace must not
    // overflow; the next call's repair catches an offset out of range.
    r.thresholdOffset = static_cast<int32_t>(int64_t{r.thresholdOffset} + (r.thresholdMid >> 3));
  }
  return r.meanGrey;
}

namespace {

// RecognizeImage with the given stages; an 8-bit frame's rows start `stride`
// bytes apart.
int32_t Recognize(const EngineStages& stages, const uint8_t* image, size_t stride,
                  void* recognizer, int32_t width, int32_t height, int32_t bitsPerPixel,
                  ScanResult* result) {
  if (result != nullptr && !ValidMode(result->mode())) result->mode() = 0;
  if (image == nullptr || recognizer == nullptr || result == nullptr || width <= 0 ||
      height <= 0 || bitsPerPixel < 8 || GetRecognizerSize(width, height) == 0 ||
      !Aligned(recognizer)) {
    return 0;
  }
  const int32_t mode = result->mode();
  const int32_t preparation = mode % kPreparationModes;
  const int32_t symbologyMask = result->symbologyMask();
  // The caller's block holds an arbitrary bit pattern; Recognizer is an
  // implicit-lifetime type, so it is read in place and repaired.
  Recognizer& r = *static_cast<Recognizer*>(recognizer);

  const int64_t n = int64_t{width} * height;
  RepairPersistentState(r);
  r.skipVersion2 = 1;
  r.decodeSummary = DecodeSummary{};
  r.imageWidth = width;
  r.imageHeight = height;
  r.imageCapacity = static_cast<int32_t>(ImageAreaBytes(n));
  const int64_t cleared = (n <= kSmallFramePixels && (preparation == 0 || preparation == 1)) ? 4 * n : n;
  const bool knownFormat =
      bitsPerPixel == 8 || bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
  // A known format writes every one of the n pixels, so only the rest is cleared.
  const int64_t written = knownFormat ? n : 0;
  std::memset(r.image() + written, 0, static_cast<size_t>(cleared - written));
  if (bitsPerPixel == 8) {
    // A grey frame is reduced on its way in, when it is large enough to be
    // reduced at all, instead of being copied whole first; the preparation
    // then finds it at its working size.
    ReduceImageFrom(r, image, stride);
  } else {
    ConvertToGrey(image, width, height, bitsPerPixel, r.image());
  }
  r.resultMarker = -1;
  r.decodedLength = 0;
  r.decodedSymbology = kLockNone;

  const int32_t status = RunDispatch(r, mode, symbologyMask, stages);
  if (status != 1) return status;

  ClassifyResult(ClassifyInput{r.decodeSummary, r.textFlag, r.lockedKind}, *result);
  result->resultMarker = r.resultMarker;
  r.decodedSymbology = r.lockedKind;
  r.lockedKind = kLockNone;
  return 1;
}

}  // namespace

int32_t RecognizeImageWith(const EngineStages& stages, const uint8_t* image, void* recognizer,
                           int32_t width, int32_t height, int32_t bitsPerPixel,
                           ScanResult* result) {
  return Recognize(stages, image, static_cast<size_t>(std::max(width, 0)), recognizer, width,
                   height, bitsPerPixel, result);
}

int32_t RecognizeGreyRows(const uint8_t* origin, size_t stride, void* recognizer, int32_t width,
                          int32_t height, ScanResult* result) {
  if (width > 0 && stride < static_cast<size_t>(width)) return 0;
  return Recognize(kDefaultStages, origin, stride, recognizer, width, height, 8, result);
}

int32_t RecognizeImage(const uint8_t* image, void* recognizer, int32_t width, int32_t height,
                       int32_t bitsPerPixel, ScanResult* result) {
  return RecognizeImageWith(kDefaultStages, image, recognizer, width, height, bitsPerPixel,
                            result);
}

const EngineStages kDefaultStages = {PrepareImage, LabelComponents, LocateQrCode,
                                     LocateCordavexCode, LocateDataMatrix};

DecodedSymbol LastDecodedSymbol(const void* recognizer) {
  if (recognizer == nullptr) return {};
  const Recognizer& r = *static_cast<const Recognizer*>(recognizer);
  if (r.decodedSymbology < kLockQr || r.decodedSymbology > kLockDataMatrix) return {};
  size_t length = 0;
  if (r.decodedLength > 0 && r.decodedLength <= kDecodedTextBytes) {
    length = static_cast<size_t>(r.decodedLength);
  } else {
    while (length < kDecodedTextBytes && r.decodedText[length] != 0) ++length;
  }
  return {r.decodedSymbology, {r.decodedText, length}};
}

void Recognizer::FillDecodeSummary() {
  decodeSummary.contentKind = contentKind;
  decodeSummary.text = decodedText;
  decodeSummary.secondString = secondString;
  decodeSummary.further[0] = further0;
  decodeSummary.further[1] = further1;
  decodeSummary.further[2] = further2;
}

}  // namespace cordavex
