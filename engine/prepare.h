// Image preparation: reduction, tone curve, sharpening, enlargement and the
// adaptive threshold, all in place on the workspace's grey image.
//
// Every stage works on r.image() (imageWidth x imageHeight, row-major, no row
// padding) within r.imageCapacity bytes, and updates imageWidth/imageHeight when
// it changes the size. The sharpening filters keep their working rows in the
// spare part of the image area or in PreparationScratch(r); nothing is
// allocated. The adaptive state (thresholdOffset, toneExponent, sharpenPhase,
// thresholdMid, meanGrey) lives in the workspace.
//
// Single-threaded per workspace, like the rest of the engine.
#pragma once

#include <cstdint>

#include "engine/workspace.h"

namespace cordavex {

// Runs the preparation for `mode` on the grey image of imageWidth x imageHeight.
// Returns 1, or 0 when the workspace holds no grey image.
int PrepareImage(Recognizer& r, int mode);

// The stages of PrepareImage, in their order, for tests and benchmarks. Each
// expects a valid grey image (imageWidth * imageHeight <= imageCapacity).

// Block-averaging factor for a frame of `pixels` pixels: floor(sqrt(pixels /
// 76800)) above 76800 pixels, else 1.
int ReductionFactor(int64_t pixels);
// Reduces frames above 76800 pixels by ReductionFactor (a factor of 1 changes
// nothing). The factor is capped at the smaller side so that a very thin frame
// keeps at least one row and one column.
void ReduceImage(Recognizer& r);
// ReduceImage reading the imageWidth x imageHeight grey pixels from `source`,
// whose rows start `stride` bytes apart (at least imageWidth; source may be
// r.image() itself with a stride of imageWidth): a frame, or a part of a larger
// one, is reduced on its way into the workspace, or copied as it is when the
// factor is 1.
void ReduceImageFrom(Recognizer& r, const uint8_t* source, size_t stride);

// The 256-entry tone table for an exponent (1.0 exactly: a fixed contrast
// stretch about 128; otherwise a gamma of 1 / exponent blended in).
void BuildToneTable(double toneExponent, uint8_t table[256]);
// Applies the tone table of r.toneExponent; an exponent outside 0.4..1.6 is
// then reset to 1.0 for the next frame.
void ApplyToneCurve(Recognizer& r);

// The alternating filter with horizontal reach `d` (1..3): sharpens against the
// pixels 3 rows above and below and d columns left and right. Returns false
// when no working rows can be placed in the workspace (the image is left as
// it is; this happens only for frames more than ~7000 pixels wide).
bool SharpenAlternating(Recognizer& r, int d);
// The 5 x 5 filter: (17 P + 2 S3 - S5) / 8 from the 3 x 3 and 5 x 5 block sums.
// Same return convention as SharpenAlternating.
bool SharpenFiveByFive(Recognizer& r);
// Picks and runs the filter that `mode` and r.sharpenPhase select, and advances
// the phase.
void Sharpen(Recognizer& r, int mode);

// Doubles both sides with linear interpolation. Needs 4n <= imageCapacity;
// returns false (image unchanged) otherwise.
bool EnlargeImage(Recognizer& r);

// Histogram threshold with the offset and tone-exponent feedback: sets meanGrey
// and thresholdMid and binarises to 0 (dark) and 255 (light). Returns the
// threshold t that was applied.
int ApplyThreshold(Recognizer& r);

}  // namespace cordavex
