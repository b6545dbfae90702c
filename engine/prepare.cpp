// Stand-in preparation until the real one lands: measures the mean grey of the
// converted frame, which is what a frame with nothing found reports.
#include "engine/prepare.h"

namespace cordavex {

int PrepareImage(Recognizer& r, int /*mode*/) {
  const int64_t n = int64_t{r.imageWidth} * r.imageHeight;
  if (n <= 0) return 0;
  int64_t sum = 0;
  const uint8_t* grey = r.image();
  for (int64_t i = 0; i < n; ++i) sum += grey[i];
  r.meanGrey = static_cast<int32_t>(-(sum / n));
  r.thresholdMid = 1;
  return 1;
}

}  // namespace cordavex
