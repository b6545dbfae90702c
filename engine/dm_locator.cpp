// Stand-in until this locator lands: it keeps the lock rules and finds nothing.
#include "engine/locators.h"

namespace cordavex {

int LocateDataMatrix(Recognizer& r) {
  if (!LockPermits(r, kLockDataMatrix)) return 0;
  r.lockedKind = kLockNone;  // nothing found in this frame
  return 0;
}

}  // namespace cordavex
