// Image preparation: reduction, tone curve, sharpening, enlargement and the
// adaptive threshold, all in place on the workspace's grey image.
#pragma once

#include "engine/workspace.h"

namespace cordavex {

// Runs the preparation for `mode` on the grey image of imageWidth x imageHeight.
// Returns 1, or 0 when the workspace holds no grey image.
int PrepareImage(Recognizer& r, int mode);

}  // namespace cordavex
