// The three symbol locators. Each reads the labelled image and component table,
// samples a symbol into the module matrix, decodes it and, on success, leaves the
// decoded text, contentKind and decodeSummary in the workspace.
#pragma once

#include "engine/workspace.h"

namespace cordavex {

// Each returns 1 when a symbol was decoded, 0 otherwise.
int LocateQrCode(Recognizer& r);
int LocateCordavexCode(Recognizer& r);
int LocateDataMatrix(Recognizer& r);

// The lock rule every locator starts with: under another symbology's lock it
// returns not found at once. `own` and `alsoOwn` are the lock values the locator
// itself sets (the Cordavex code locator has two).
inline bool LockPermits(const Recognizer& r, int32_t own, int32_t alsoOwn = kLockNone) {
  return r.lockedKind == kLockNone || r.lockedKind == own || r.lockedKind == alsoOwn ||
         r.lockedKind > kLockDataMatrix;
}

// Records why a locator gave up on this frame and returns 0, its "not found".
inline int MissAs(Recognizer& r, Symbology symbology, Failure why) {
  r.miss[static_cast<int>(symbology)] = why;
  return 0;
}

}  // namespace cordavex
