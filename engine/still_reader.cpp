// ReadStillImage: the engine run on several views of one still image, cheapest
// gain first, stopping at the first decode.
#include "cordavex/still_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "cordavex/recognizer.h"
#include "decode/failure.h"
#include "engine/dispatch.h"
#include "engine/prepare.h"
#include "engine/still_reader.h"
#include "engine/workspace.h"

namespace cordavex {
namespace {

constexpr int kCropCount = 5;
// Added to a preparation mode (0..5): the same preparation with the locators'
// extra readings.
constexpr int kExtraReadingModes = 6;
// A crop keeps two thirds of each side: five of them (four corners and the
// centre) overlap so that any symbol smaller than a third of the frame lies
// wholly inside at least one.
constexpr int kCropNumerator = 2;
constexpr int kCropDenominator = 3;
// Below this many pixels per side a view cannot hold even a version 1 symbol
// with its finders resolved.
constexpr int kSmallestViewSide = 32;
// Frames of at most a third of 320 x 240 (QCIF's 176 x 144 and smaller) have
// plans of their own: what reads a symbol of a pixel or two per module is not
// what reads the photos just above that size, and one plan for both paid on
// each for the views that serve the other.
constexpr int64_t kTinyFramePixels = kSmallFramePixels / 3;
// The border of a padded view: paper white.
constexpr uint8_t kPadGrey = 255;

struct Plan {
  std::span<const StillView> views;
  // The first views look at every part of the frame in several ways: when no
  // call on them found even one component passing the QR finder test (or, on
  // a few more, two), no later view read a QR code on the corpus either. No
  // probe speaks before a view has held the whole frame (SeesWholeFrame).
  int finderProbeViews;
  int twoFinderProbeViews;
  // Likewise for the other symbologies: views after which one that no call
  // placed is given up.
  int dmProbeViews;
  int cvProbeViews;
  // Views after which a QR code (a Data Matrix) that every one of them placed
  // and none read is given up: damaged beyond what other views of the same
  // pixels mend.
  int qrPlacedViews;
  int dmPlacedViews;
  // Views after which a Cordavex code is given up when no call on them found
  // even a group of bars such as its finder is made of: that symbology's
  // finder probe. Its locator marks no symbol placed, so the probe above
  // speaks on every image, after as many views as the one read last needs;
  // this one lets the images without any bars go sooner.
  int cvBarProbeViews;
};

// The plans, in the order their views are tried: one for tiny frames (see
// kTinyFramePixels), one for the other frames the engine keeps as they are
// (below 4 x 76800 pixels) and one for the larger frames it reduces, which
// need other views; such a set of three for any mix of symbologies (what
// `cordavex scan` asks for unless told otherwise) and one for each symbology
// asked for alone, which spends nothing on views that serve only the others.
// Each view was first chosen greedily for the images it added per millisecond
// spent on the images the views before it had not read, over the real photos
// and camera-like frames of the corpus benchmark of that size
// (cordavex_bench_corpus --views-tsv | bench/plan_views.py).
//
// Small frames: the greedy list (with two views added for Data Matrix photos
// and one for small Cordavex code frames that no other view read), then
// refined together with its probes (bench/plan_views.py --refine, each
// set's milliseconds weighed by zxing-cpp's on it, bench/plan_weights.tsv,
// and last that ratio cubed, --power 3, so that the sets furthest above
// zxing-cpp's cost come down first):
// views moved, dropped, replaced by or joined by any candidate view, and the
// probes' lengths chosen, wherever the corpus cost less, no image read before
// was lost and no reading was wrong. Most views start with the threshold one
// to three adaptation steps below the engine's midpoint: blur, ink spread and
// small modules swell the dark, and a single call there reads what two or
// three calls read as the engine adapts (which made most multi-call views
// redundant). The local threshold comes first: it finds the finders of
// photos under uneven light, and costs less than the centre crop at native
// resolution after it; reduced copies merge the noise of small photos into
// clean modules; a light border moves the threshold towards the paper's white
// and gives a symbol cut by the frame's edge a margin to trace around. Refined
// last on a table made looking for every symbology in every image, with the
// reader narrowing to a symbology's own plan once it has placed that one alone,
// and again once tiny frames had plans of their own.
constexpr StillView kMixedViews[] = {
    {ViewKind::kLocalThreshold, 100, 0, 4, 1, 0},
    {ViewKind::kCrop, 100, 4, 2, 1, 48},
    {ViewKind::kScale, 33, 0, 2, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 16},
    {ViewKind::kPad, 8, 0, 4, 1, 0},
    {ViewKind::kCrop, 100, 4, 0, 1, 32},
    {ViewKind::kScale, 85, 0, 0, 1, 32},
    {ViewKind::kScale, 33, 0, 3, 1, 0},
    {ViewKind::kCrop, 100, 4, 0, 1, 0},
    {ViewKind::kScale, 50, 0, 0, 1, 32},
    {ViewKind::kScale, 33, 0, 4, 1, 48},
    {ViewKind::kScale, 40, 0, 0, 1, 0},
    {ViewKind::kScale, 50, 0, 3, 1, 24},
    {ViewKind::kCrop, 100, 4, 3, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 24},
    {ViewKind::kCrop, 100, 2, 2, 1, 48},
    {ViewKind::kFull, 100, 0, 0, 1, 0},
    {ViewKind::kPad, 8, 0, 2, 1, 0},
    {ViewKind::kScale, 40, 0, 0, 1, 32},
};
constexpr Plan kPlan{kMixedViews, 5, 5, 3, 7, 4, 4, 3};
// Large frames: rebuilt (bench/plan_views.py --rebuild) and refined on a table
// made looking for every symbology in every image, as the reader does for a
// mix (--every-symbology), with what each closer look reads after each view,
// and refined again with the narrowing to a symbology's own plan, and with the
// 640 x 480 Data Matrix frames it reads weighed again as the QR code's are.
// The whole frame, reduced by the engine, reads symbols with large modules;
// the centre crop keeps small modules at twice the resolution the reduction
// leaves; the closer look at a placed symbol does the rest.
constexpr StillView kMixedLargeFrameViews[] = {
    {ViewKind::kFull, 100, 0, 4, 1, 24},
    {ViewKind::kCrop, 100, 4, 2, 1, 32},
    {ViewKind::kCrop, 100, 2, 4, 1, 48},
    {ViewKind::kCrop, 100, 4, 2, 1, 24},
    {ViewKind::kCrop, 100, 0, 4, 1, 32},
    {ViewKind::kCrop, 100, 4, 4, 4, 16},
    {ViewKind::kCrop, 100, 4, 4, 1, 24},
    {ViewKind::kCrop, 100, 0, 0, 1, 24},
    {ViewKind::kCrop, 100, 4, 3, 1, 0},
    {ViewKind::kPad, 8, 0, 3, 1, 16},
    {ViewKind::kCrop, 100, 4, 0, 4, 48},
};
constexpr Plan kLargeFramePlan{kMixedLargeFrameViews, 3, 4, 3, 7, 2, 2, 3};

// One symbology alone: the plans above, refined the same way (with the
// weights) on that symbology's images only; the large-frame plans rebuilt first
// (--rebuild) from a table that holds what each closer look reads after each
// view, and the QR code's weighing again what the 640 x 480 frames it reads
// cost. A plan's probes for the symbologies it does not serve are never
// consulted. The small frames' plans for a mix, for QR codes and for Data
// Matrix were last refined together (bench/plan_views.py --together), on the
// table made for each image's own symbology and the one made for every
// symbology: the plan for a mix narrows to the other two, so that a view moved
// in one of them changes what the mix costs as well.
constexpr StillView kQrViews[] = {
    {ViewKind::kLocalThreshold, 100, 0, 4, 1, 0},
    {ViewKind::kPad, 8, 0, 4, 1, 0},
    {ViewKind::kTurn, 100, 2, 2, 1, 48},
    {ViewKind::kScale, 40, 0, 2, 1, 24},
    {ViewKind::kCrop, 100, 4, 2, 1, 0},
    {ViewKind::kScale, 33, 0, 3, 1, 0},
    {ViewKind::kPad, 3, 0, 0, 1, 0},
    {ViewKind::kCrop, 100, 4, 4, 1, 24},
    {ViewKind::kScale, 50, 0, 0, 1, 32},
};
constexpr Plan kQrPlan{kQrViews, 3, 4, 1, 1, 4, 1, 1};
constexpr StillView kQrLargeFrameViews[] = {
    {ViewKind::kCrop, 100, 4, 2, 1, 24},
    {ViewKind::kFull, 100, 0, 2, 1, 0},
    {ViewKind::kCrop, 100, 4, 2, 1, 32},
    {ViewKind::kCrop, 100, 2, 2, 1, 48},
    {ViewKind::kCrop, 100, 4, 2, 4, 0},
    {ViewKind::kCrop, 100, 4, 4, 4, 24},
};
constexpr Plan kQrLargeFramePlan{kQrLargeFrameViews, 4, 4, 1, 1, 2, 1, 1};

// The Data Matrix plan for small frames refined again on a table of those
// frames alone (cordavex_bench_corpus --views-tsv --tier small): a copy at two
// thirds comes first, whose averaging merges the noise of small photos into
// clean modules, and the local threshold third. The plan for a mix narrows to
// it, and gives up on a Data Matrix placed and unread after five views rather
// than four, so that it still reads what it read with the plan before.
constexpr StillView kDmViews[] = {
    {ViewKind::kScale, 66, 0, 2, 1, 24},
    {ViewKind::kCrop, 100, 4, 3, 1, 48},
    {ViewKind::kLocalThreshold, 100, 0, 4, 1, 0},
    {ViewKind::kCrop, 100, 4, 3, 1, 32},
    {ViewKind::kCrop, 100, 2, 2, 1, 24},
    {ViewKind::kCrop, 100, 4, 4, 1, 32},
    {ViewKind::kScale, 66, 0, 4, 1, 24},
    {ViewKind::kCrop, 100, 4, 2, 1, 0},
    {ViewKind::kPad, 8, 0, 2, 1, 0},
    {ViewKind::kCrop, 100, 3, 3, 1, 48},
    {ViewKind::kCrop, 100, 4, 4, 1, 48},
};
constexpr Plan kDmPlan{kDmViews, 1, 1, 3, 1, 1, 3, 1};
// Refined again with the 640 x 480 Data Matrix frames it reads weighed again
// against a third of zxing-cpp's ms on them, as the QR code's are: a light
// border at mode 4 first, which reads most of them in one call.
constexpr StillView kDmLargeFrameViews[] = {
    {ViewKind::kPad, 3, 0, 4, 1, 48},
    {ViewKind::kCrop, 100, 2, 4, 1, 48},
    {ViewKind::kCrop, 100, 4, 2, 1, 32},
};
constexpr Plan kDmLargeFramePlan{kDmLargeFrameViews, 1, 1, 2, 1, 1, 1, 1};

constexpr StillView kCvViews[] = {
    {ViewKind::kCrop, 100, 4, 0, 1, 32},
    {ViewKind::kCrop, 100, 4, 0, 1, 0},
    {ViewKind::kFull, 100, 0, 2, 1, 48},
    {ViewKind::kPad, 3, 0, 0, 1, 48},
    {ViewKind::kScale, 33, 0, 2, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 16},
    {ViewKind::kScale, 33, 0, 4, 1, 32},
    {ViewKind::kScale, 40, 0, 4, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 48},
    {ViewKind::kCrop, 100, 4, 0, 1, 16},
    {ViewKind::kScale, 50, 0, 3, 1, 24},
    {ViewKind::kScale, 33, 0, 3, 1, 0},
    {ViewKind::kCrop, 100, 4, 3, 1, 48},
    {ViewKind::kPad, 8, 0, 2, 1, 0},
    {ViewKind::kPad, 3, 0, 4, 1, 0},
    {ViewKind::kScale, 50, 0, 0, 1, 32},
};
constexpr Plan kCvPlan{kCvViews, 1, 1, 1, 1, 1, 1, 1};
constexpr StillView kCvLargeFrameViews[] = {
    {ViewKind::kCrop, 100, 4, 2, 1, 32},
    {ViewKind::kCrop, 100, 4, 4, 4, 16},
    {ViewKind::kCrop, 100, 4, 4, 1, 24},
    {ViewKind::kCrop, 100, 0, 4, 1, 32},
    {ViewKind::kFull, 100, 0, 2, 1, 48},
    {ViewKind::kPad, 8, 0, 3, 1, 0},
    {ViewKind::kFull, 100, 0, 1, 2, 16},
    {ViewKind::kCrop, 100, 4, 2, 1, 16},
    {ViewKind::kCrop, 100, 4, 3, 4, 0},
};
constexpr Plan kCvLargeFramePlan{kCvLargeFrameViews, 1, 1, 1, 1, 1, 1, 1};

// Tiny frames: each plan refined from the small frames' plan of the same
// symbologies on the images of at most kTinyFramePixels, weighed the same way.
// Most begin with the centre crop: a symbol held up to a low-resolution camera
// fills the middle of the frame, the crop has fewer pixels to label, and in
// modes 0 and 1 the engine doubles it, which gives modules of a pixel or two
// room to trace. The give-ups then wait for a view of the whole frame, which
// finds a symbol off centre.
constexpr StillView kMixedTinyFrameViews[] = {
    {ViewKind::kCrop, 100, 4, 0, 1, 32},
    {ViewKind::kTurn, 100, 1, 2, 1, 24},
    {ViewKind::kScale, 85, 0, 4, 1, 24},
    {ViewKind::kScale, 33, 0, 2, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 32},
    {ViewKind::kScale, 33, 0, 4, 1, 48},
    {ViewKind::kFull, 100, 0, 1, 1, 48},
    {ViewKind::kCrop, 100, 4, 0, 1, 16},
    {ViewKind::kTurn, 100, 1, 0, 1, 16},
    {ViewKind::kScale, 50, 0, 3, 1, 24},
    {ViewKind::kCrop, 100, 4, 3, 1, 48},
    {ViewKind::kCrop, 100, 4, 2, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 24},
    {ViewKind::kCrop, 100, 2, 2, 1, 48},
    {ViewKind::kFull, 100, 0, 0, 1, 0},
    {ViewKind::kPad, 8, 0, 2, 1, 0},
    {ViewKind::kScale, 40, 0, 0, 1, 32},
    {ViewKind::kScale, 33, 0, 3, 1, 0},
    {ViewKind::kScale, 50, 0, 0, 1, 32},
};
constexpr Plan kTinyFramePlan{kMixedTinyFrameViews, 1, 1, 1, 8, 2, 2, 1};
constexpr StillView kQrTinyFrameViews[] = {
    {ViewKind::kTurn, 100, 1, 2, 1, 24},
    {ViewKind::kCrop, 100, 4, 3, 1, 48},
};
constexpr Plan kQrTinyFramePlan{kQrTinyFrameViews, 2, 2, 1, 1, 1, 1, 1};
// The Data Matrix plan was refined again against two tables of tiny frames at
// once, one made looking for Data Matrix alone and one looking for every
// symbology, so that the plan for a mix, which narrows to it, keeps every
// image it read. Its second view is the mix's second, which a mix that has
// narrowed has already taken; the whole frame in mode 5 after it reads the
// frames that the three-quarter turn in mode 2 read as second view before.
constexpr StillView kDmTinyFrameViews[] = {
    {ViewKind::kCrop, 100, 4, 0, 1, 32},
    {ViewKind::kTurn, 100, 1, 2, 1, 24},
    {ViewKind::kFull, 100, 0, 5, 1, 24},
    {ViewKind::kCrop, 100, 4, 4, 1, 24},
    {ViewKind::kScale, 66, 0, 0, 1, 48},
    {ViewKind::kCrop, 100, 4, 3, 1, 48},
    {ViewKind::kTurn, 100, 2, 4, 1, 24},
    {ViewKind::kFull, 100, 0, 0, 1, 16},
    {ViewKind::kScale, 50, 0, 3, 1, 24},
    {ViewKind::kCrop, 100, 4, 3, 1, 24},
    {ViewKind::kPad, 8, 0, 2, 1, 0},
    {ViewKind::kCrop, 100, 4, 4, 1, 48},
};
constexpr Plan kDmTinyFramePlan{kDmTinyFrameViews, 1, 1, 1, 1, 1, 2, 1};
constexpr StillView kCvTinyFrameViews[] = {
    {ViewKind::kCrop, 100, 4, 0, 1, 16},
    {ViewKind::kTurn, 100, 1, 0, 1, 16},
    {ViewKind::kScale, 40, 0, 2, 1, 48},
    {ViewKind::kPad, 3, 0, 0, 1, 48},
    {ViewKind::kScale, 33, 0, 2, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 16},
    {ViewKind::kScale, 33, 0, 4, 1, 32},
    {ViewKind::kScale, 40, 0, 4, 1, 48},
    {ViewKind::kScale, 33, 0, 4, 1, 48},
    {ViewKind::kScale, 50, 0, 3, 1, 24},
    {ViewKind::kScale, 33, 0, 3, 1, 0},
    {ViewKind::kCrop, 100, 4, 3, 1, 48},
    {ViewKind::kPad, 8, 0, 2, 1, 0},
    {ViewKind::kPad, 3, 0, 4, 1, 0},
    {ViewKind::kScale, 50, 0, 0, 1, 32},
};
constexpr Plan kCvTinyFramePlan{kCvTinyFrameViews, 1, 1, 1, 2, 1, 1, 1};

struct PlanSet {
  uint32_t mask;
  const Plan* tiny;
  const Plan* small;
  const Plan* large;
};
constexpr PlanSet kPlans[] = {
    {kMaskAll, &kTinyFramePlan, &kPlan, &kLargeFramePlan},
    {kMaskQr, &kQrTinyFramePlan, &kQrPlan, &kQrLargeFramePlan},
    {kMaskDataMatrix, &kDmTinyFramePlan, &kDmPlan, &kDmLargeFramePlan},
    {kMaskCordavex, &kCvTinyFramePlan, &kCvPlan, &kCvLargeFramePlan},
};

// The set for exactly this mask, or the one for any mix, and in it the plan
// for frames of this size.
Plan PlanFor(int width, int height, uint32_t mask) {
  const PlanSet* set = &kPlans[0];
  for (const PlanSet& p : kPlans) {
    if (p.mask == mask) set = &p;
  }
  const int64_t pixels = int64_t{width} * height;
  if (ReductionFactor(pixels) > 1) return *set->large;
  return pixels <= kTinyFramePixels ? *set->tiny : *set->small;
}

// The closer looks at a symbol placed on a reduced frame, one after each of the
// first views that place one: the thorough mode, its threshold starting 32
// grey levels low (on the corpus that read one more QR code at 640 x 480 and
// cost the large Data Matrix frames less), then the 5 x 5 sharpening.
constexpr StillView kCloserLooks[] = {
    {ViewKind::kLocated, 100, 0, 4, 4, 32},
    {ViewKind::kLocated, 100, 0, 3, 4, 0},
};

// Bilinear sample with 8-bit fixed-point weights.
constexpr int kWeightOne = 256;

// The source position of output pixel i's centre, in 1/256 pixel, clamped at
// the first pixel: (i + 1/2) in / out - 1/2.
int64_t SourcePosition(int i, int in, int out) {
  return std::max<int64_t>(
      0, ((2 * int64_t{i} + 1) * in * kWeightOne) / (2 * int64_t{out}) - kWeightOne / 2);
}

void Rescale(std::span<const uint8_t> grey, int width, int height, int outWidth,
             int outHeight, std::vector<uint8_t>& out) {
  out.resize(static_cast<size_t>(outWidth) * outHeight);
  // Every row samples the same columns: their pixels and weights once. A
  // pixel's right column is the one after its left, or the left itself at the
  // frame's right edge, where the blended row below repeats its last level.
  std::vector<int32_t> left(static_cast<size_t>(outWidth)), weight(left.size());
  for (int x = 0; x < outWidth; ++x) {
    const int64_t sx = SourcePosition(x, width, outWidth);
    left[x] = std::min(static_cast<int>(sx / kWeightOne), width - 1);
    weight[x] = static_cast<int32_t>(sx % kWeightOne);
  }
  // Each output row blends its two source rows first, every column at once
  // (which the vectorizer takes 16 at a time), and then the two columns of
  // each pixel: the same products summed in another order, so the same value.
  // A blended level is at most 255 x 256, within 16 bits; it is kept less
  // 32768, as a signed 16-bit value, so that the two columns of four pixels
  // at a time take one multiply-add of 16-bit pairs.
  static_assert(255 * kWeightOne <= UINT16_MAX);
  constexpr int kBias = 32768;
  std::vector<int16_t> blended(static_cast<size_t>(width) + 1);
  for (int y = 0; y < outHeight; ++y) {
    const int64_t sy = SourcePosition(y, height, outHeight);
    const int y0 = std::min(static_cast<int>(sy / kWeightOne), height - 1);
    const int y1 = std::min(y0 + 1, height - 1);
    const int fy = static_cast<int>(sy % kWeightOne);
    const uint8_t* row0 = grey.data() + static_cast<size_t>(y0) * width;
    const uint8_t* row1 = grey.data() + static_cast<size_t>(y1) * width;
    const auto w0 = static_cast<uint16_t>(kWeightOne - fy), w1 = static_cast<uint16_t>(fy);
    for (int x = 0; x < width; ++x) {
      blended[x] = static_cast<int16_t>(static_cast<uint16_t>(row0[x] * w0 + row1[x] * w1) ^ kBias);
    }
    blended[static_cast<size_t>(width)] = blended[static_cast<size_t>(width) - 1];
    uint8_t* dst = out.data() + static_cast<size_t>(y) * outWidth;
    // value = b0 (256 - fx) + b1 fx, in units of 1/65536 grey level, rounded:
    // with the bias, b0' (256 - fx) + b1' fx + 32768 x 256.
    constexpr int kRounded = kBias * kWeightOne + kWeightOne * kWeightOne / 2;
    const auto pairAt = [&](int x) {
      int32_t pair;
      std::memcpy(&pair, blended.data() + left[static_cast<size_t>(x)], sizeof pair);
      return pair;
    };
    int x = 0;
#if defined(__SSE2__)
    const __m128i rounded = _mm_set1_epi32(kRounded);
    const auto four = [&](int at) {
      const __m128i pairs = _mm_set_epi32(pairAt(at + 3), pairAt(at + 2), pairAt(at + 1), pairAt(at));
      // (256 - fx, fx) in each 32-bit lane.
      const __m128i fx = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weight.data() + at));
      const __m128i weights = _mm_or_si128(_mm_sub_epi32(_mm_set1_epi32(kWeightOne), fx),
                                           _mm_slli_epi32(fx, 16));
      return _mm_srli_epi32(_mm_add_epi32(_mm_madd_epi16(pairs, weights), rounded), 16);
    };
    for (; x + 8 <= outWidth; x += 8) {
      const __m128i levels = _mm_packs_epi32(four(x), four(x + 4));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + x), _mm_packus_epi16(levels, levels));
    }
#endif
    for (; x < outWidth; ++x) {
      const int32_t pair = pairAt(x);
      const int b0 = static_cast<int16_t>(pair & 0xFFFF), b1 = static_cast<int16_t>(pair >> 16);
      const int fx = weight[x];
      dst[x] = static_cast<uint8_t>((b0 * (kWeightOne - fx) + b1 * fx + kRounded) >> 16);
    }
  }
}

#if defined(__SSE2__)
// The 16 bytes of v in reverse order: the bytes swapped within each 16-bit
// word, the words reversed within each half, then the halves swapped.
__m128i ReverseBytes(__m128i v) {
  v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
  v = _mm_shufflelo_epi16(v, 0x1B);
  v = _mm_shufflehi_epi16(v, 0x1B);
  return _mm_shuffle_epi32(v, 0x4E);
}
#endif

// A row of n pixels into `out` in reverse order.
void ReverseRow(const uint8_t* row, size_t n, uint8_t* out) {
  size_t k = 0;
#if defined(__SSE2__)
  // 16 pixels a step, from the row's far end.
  for (; k + 16 <= n; k += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + n - k - 16));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), ReverseBytes(v));
  }
#endif
  for (; k < n; ++k) out[k] = row[n - 1 - k];
}

#if defined(__SSE2__)
// Rows r[0..15] of 16 bytes transposed into 16 rows of `out`, `stride` apart:
// byte j of r[i] becomes byte i of output row j. Interleaving bytes, then
// 16-, 32- and 64-bit units of row pairs doubles at each stage the run of one
// column's bytes that a unit holds.
void Transpose16(const __m128i r[16], uint8_t* out, size_t stride) {
  __m128i t[16], u[16], v[16];
  for (int i = 0; i < 8; ++i) {
    t[i] = _mm_unpacklo_epi8(r[2 * i], r[2 * i + 1]);      // columns 0..7
    t[i + 8] = _mm_unpackhi_epi8(r[2 * i], r[2 * i + 1]);  // columns 8..15
  }
  for (int half = 0; half < 16; half += 8) {
    for (int i = 0; i < 4; ++i) {
      u[half + i] = _mm_unpacklo_epi16(t[half + 2 * i], t[half + 2 * i + 1]);
      u[half + i + 4] = _mm_unpackhi_epi16(t[half + 2 * i], t[half + 2 * i + 1]);
    }
  }
  // u[g + i]: four columns from 4 * (g / 4) on, of rows 4i..4i + 3.
  for (int g = 0; g < 16; g += 4) {
    v[g] = _mm_unpacklo_epi32(u[g], u[g + 1]);
    v[g + 1] = _mm_unpackhi_epi32(u[g], u[g + 1]);
    v[g + 2] = _mm_unpacklo_epi32(u[g + 2], u[g + 3]);
    v[g + 3] = _mm_unpackhi_epi32(u[g + 2], u[g + 3]);
    uint8_t* row = out + static_cast<size_t>(g) * stride;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), _mm_unpacklo_epi64(v[g], v[g + 2]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + stride), _mm_unpackhi_epi64(v[g], v[g + 2]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 2 * stride),
                     _mm_unpacklo_epi64(v[g + 1], v[g + 3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + 3 * stride),
                     _mm_unpackhi_epi64(v[g + 1], v[g + 3]));
  }
}
#endif

// The image turned clockwise by `turns` quarter turns (0..3). Half a turn
// reverses each row into the mirrored row. A quarter turn reads source columns
// into output rows: one turn is the transpose of the image upside down, three
// the transpose of its mirror image, which the vector unit does 16 x 16 pixels
// at a time (a turned view is the second of most tiny-frame plans, and a byte
// at a time the copy cost a third of what the engine then spent on it).
void Turn(const uint8_t* grey, int width, int height, int turns, uint8_t* out) {
  const size_t w = static_cast<size_t>(width);
  if (turns == 0) {
    std::memcpy(out, grey, w * static_cast<size_t>(height));
    return;
  }
  if (turns == 2) {
    for (int y = 0; y < height; ++y) {
      ReverseRow(grey + static_cast<size_t>(height - 1 - y) * w, w, out + static_cast<size_t>(y) * w);
    }
    return;
  }
  // The turned image is `height` wide and `width` high; its pixel (x, y) comes
  // from source (y, height - 1 - x) after one turn, (width - 1 - y, x) after three.
  const size_t outWidth = static_cast<size_t>(height);
  const auto source = [&](int x, int y) {
    return turns == 1 ? grey[static_cast<size_t>(height - 1 - x) * w + y]
                      : grey[static_cast<size_t>(x) * w + (width - 1 - y)];
  };
  int blockedWidth = 0, blockedHeight = 0;  // the output covered by whole blocks
#if defined(__SSE2__)
  blockedWidth = height / 16 * 16;
  blockedHeight = width / 16 * 16;
  __m128i rows[16];
  for (int y0 = 0; y0 < blockedHeight; y0 += 16) {
    for (int x0 = 0; x0 < blockedWidth; x0 += 16) {
      for (int i = 0; i < 16; ++i) {
        if (turns == 1) {
          rows[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(
              grey + static_cast<size_t>(height - 1 - x0 - i) * w + y0));
        } else {
          rows[i] = ReverseBytes(_mm_loadu_si128(reinterpret_cast<const __m128i*>(
              grey + static_cast<size_t>(x0 + i) * w + (width - 16 - y0))));
        }
      }
      Transpose16(rows, out + static_cast<size_t>(y0) * outWidth + x0, outWidth);
    }
  }
#endif
  // What the blocks leave: the right-hand columns of their rows, then the rows
  // below them, a tile at a time so that the rows read stay in cache.
  for (int y = 0; y < blockedHeight; ++y) {
    uint8_t* dst = out + static_cast<size_t>(y) * outWidth;
    for (int x = blockedWidth; x < height; ++x) dst[x] = source(x, y);
  }
  constexpr int kTile = 32;
  for (int y0 = blockedHeight; y0 < width; y0 += kTile) {
    const int y1 = std::min(y0 + kTile, width);
    for (int x0 = 0; x0 < height; x0 += kTile) {
      const int x1 = std::min(x0 + kTile, height);
      for (int y = y0; y < y1; ++y) {
        uint8_t* dst = out + static_cast<size_t>(y) * outWidth;
        for (int x = x0; x < x1; ++x) dst[x] = source(x, y);
      }
    }
  }
}

// The engine keeps a frame of fewer than 4 x 76800 pixels as it is and averages
// larger ones in blocks of 2 x 2 or more, which halves small modules; just below
// that size every module keeps most of its pixels. The size of such a copy of a
// larger frame, or false for a frame the engine keeps anyway (or a copy too
// narrow to hold a symbol).
bool LargestUnreducedSize(int width, int height, int& outWidth, int& outHeight) {
  const int64_t pixels = int64_t{width} * height;
  if (ReductionFactor(pixels) <= 1) return false;
  const int64_t limit = 4 * int64_t{kSmallFramePixels} - 1;
  const double s = std::sqrt(static_cast<double>(limit) / static_cast<double>(pixels));
  outWidth = static_cast<int>(width * s);
  outHeight = static_cast<int>(height * s);
  while (int64_t{outWidth} * outHeight > limit) --outWidth;
  return outWidth >= kSmallestViewSide && outHeight >= kSmallestViewSide;
}

// sums[x + 1] = 94 (values[0] + ... + values[x]) for x < n (sums[0] is left as
// it is), wrapping like the sums of unsigned values they are: the running sum
// that gives 94 times a square's sum as a difference of two entries. Four at a
// time where the vector unit allows.
void RunningSum94(const uint16_t* values, int n, uint32_t* sums) {
  uint32_t total = 0;
  int x = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i factor = _mm_set1_epi32(94);  // (94, 0) pairs
  __m128i carry = zero;
  const auto four = [&](__m128i v, int at) {
    v = _mm_madd_epi16(v, factor);
    v = _mm_add_epi32(v, _mm_slli_si128(v, 4));
    v = _mm_add_epi32(v, _mm_slli_si128(v, 8));
    v = _mm_add_epi32(v, carry);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + at + 1), v);
    carry = _mm_shuffle_epi32(v, 0xFF);
  };
  for (; x + 8 <= n; x += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + x));
    four(_mm_unpacklo_epi16(v, zero), x);
    four(_mm_unpackhi_epi16(v, zero), x + 4);
  }
  total = static_cast<uint32_t>(_mm_cvtsi128_si32(carry));
#endif
  for (; x < n; ++x) {
    total += 94 * uint32_t{values[x]};
    sums[x + 1] = total;
  }
}

// columns[x] += entering[x] - leaving[x] for x < n, with the row entering the
// square, the row leaving it, or both; 16 columns a step where the vector unit
// allows.
template <bool kEnter, bool kLeave>
void MoveColumns(uint16_t* columns, const uint8_t* entering, const uint8_t* leaving, size_t n) {
  size_t x = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const auto load = [](const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); };
  for (; x + 16 <= n; x += 16) {
    __m128i low = load(columns + x), high = load(columns + x + 8);
    if constexpr (kEnter) {
      const __m128i e = load(entering + x);
      low = _mm_add_epi16(low, _mm_unpacklo_epi8(e, zero));
      high = _mm_add_epi16(high, _mm_unpackhi_epi8(e, zero));
    }
    if constexpr (kLeave) {
      const __m128i l = load(leaving + x);
      low = _mm_sub_epi16(low, _mm_unpacklo_epi8(l, zero));
      high = _mm_sub_epi16(high, _mm_unpackhi_epi8(l, zero));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + x), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(columns + x + 8), high);
  }
#endif
  for (; x < n; ++x) {
    if constexpr (kEnter) columns[x] = static_cast<uint16_t>(columns[x] + entering[x]);
    if constexpr (kLeave) columns[x] = static_cast<uint16_t>(columns[x] - leaving[x]);
  }
}

// The n pixels of one row against their squares: dark when 100 v area < 94
// sum, below 94 % of the mean of the square. Pixel x's square covers area[x]
// pixels, and 94 times their sum is window94[x + reach] - window94[x].
void LocalLevels(const uint8_t* in, const uint32_t* window94, const int32_t* area, int reach,
                 int n, uint8_t* dst) {
  int x = 0;
#if defined(__SSE2__)
  // Sixteen pixels a step. 100 v fits 16 bits, and so does an area below
  // 32768 pixels (the views' squares are below 80 x 80); then both products
  // fit 31 bits and compare as they do unsigned.
  if (int64_t{reach} * reach < 32768) {
    const __m128i hundred = _mm_set1_epi16(100);
    const __m128i zero = _mm_setzero_si128();
    const __m128i allSet = _mm_set1_epi8(-1);
    const auto load = [](const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); };
    // Four pixels' darkness from their 100 v in the low halves of 32-bit
    // lanes; areas sit there too: (value, 0) pairs.
    const auto dark = [&](__m128i v100, int at) {
      const __m128i sums94 = _mm_sub_epi32(load(window94 + at + reach), load(window94 + at));
      return _mm_cmplt_epi32(_mm_madd_epi16(v100, load(area + at)), sums94);
    };
    for (; x + 16 <= n; x += 16) {
      const __m128i pixels = load(in + x);
      const __m128i low = _mm_mullo_epi16(_mm_unpacklo_epi8(pixels, zero), hundred);
      const __m128i high = _mm_mullo_epi16(_mm_unpackhi_epi8(pixels, zero), hundred);
      const __m128i darkLow = _mm_packs_epi32(dark(_mm_unpacklo_epi16(low, zero), x),
                                              dark(_mm_unpackhi_epi16(low, zero), x + 4));
      const __m128i darkHigh = _mm_packs_epi32(dark(_mm_unpacklo_epi16(high, zero), x + 8),
                                               dark(_mm_unpackhi_epi16(high, zero), x + 12));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x),
                       _mm_xor_si128(_mm_packs_epi16(darkLow, darkHigh), allSet));
    }
  }
#endif
  for (; x < n; ++x) {
    const uint32_t sum94 = window94[x + reach] - window94[x];
    dst[x] = 100 * uint32_t{in[x]} * static_cast<uint32_t>(area[x]) < sum94 ? 0 : 255;
  }
}

// Each pixel against the mean of the square around it (a side of about an
// eighth of the shorter image side), clipped at the image's edges: dark when
// clearly below it. Uneven light and a dark table around the paper move a
// global threshold; a local one follows them. Row by row: the columns' sums
// over the square's rows move down with it, and their running sum along the
// row gives each square's sum.
void LocalThreshold(std::span<const uint8_t> grey, int width, int height,
                    std::vector<uint8_t>& out) {
  // A column of the square sums at most 2 x 128 + 1 rows of 255: 16 bits. The
  // views are far smaller (at most 4 x 76800 pixels: a radius of 34 at most).
  constexpr int kLargestRadius = 128;
  const int radius = std::clamp(std::min(width, height) / 16, 4, kLargestRadius);
  const auto w = static_cast<size_t>(width);
  const auto r = static_cast<size_t>(radius);
  std::vector<uint16_t> columns(w, 0);
  // The running sum after `radius` zeros and followed by `radius` copies of
  // its total, so that a square clipped at the left or right edge sums like
  // any other.
  std::vector<uint32_t> window94(w + 2 * r + 1, 0);
  // How many pixels each pixel's square covers, for the rows it spans now.
  std::vector<int32_t> area(w);
  out.resize(w * static_cast<size_t>(height));
  const auto row = [&](int y) { return grey.data() + static_cast<size_t>(y) * w; };
  int top = 0, bottom = 0;  // the rows summed in `columns`: [top, bottom)
  for (int y = 0; y < height; ++y) {
    const int end = std::min(height, y + radius + 1), begin = std::max(0, y - radius);
    const int rows = bottom - top;
    // Away from the top and bottom one row enters as one leaves: one pass.
    for (; bottom < end && top < begin; ++bottom, ++top) {
      MoveColumns<true, true>(columns.data(), row(bottom), row(top), w);
    }
    for (; bottom < end; ++bottom) MoveColumns<true, false>(columns.data(), row(bottom), nullptr, w);
    for (; top < begin; ++top) MoveColumns<false, true>(columns.data(), nullptr, row(top), w);
    if (bottom - top != rows) {
      for (int x = 0; x < width; ++x) {
        area[static_cast<size_t>(x)] =
            (bottom - top) * (std::min(width, x + radius + 1) - std::max(0, x - radius));
      }
    }
    RunningSum94(columns.data(), width, window94.data() + r);
    std::fill(window94.begin() + static_cast<ptrdiff_t>(r + w + 1), window94.end(), window94[r + w]);
    LocalLevels(row(y), window94.data(), area.data(), 2 * radius + 1, width,
                out.data() + static_cast<size_t>(y) * w);
  }
}

int PadBorder(const StillView& view, int width, int height) {
  return std::max(1, std::min(width, height) * view.scalePercent / 100);
}

// Where pixel (0, 0) of a view that keeps the frame's scale lies in the frame;
// false for the views that rescale or turn it.
bool ViewOrigin(const StillView& view, int width, int height, int& x0, int& y0) {
  switch (view.kind) {
    case ViewKind::kFull:
      x0 = y0 = 0;
      return true;
    case ViewKind::kPad:
      x0 = y0 = -PadBorder(view, width, height);
      return true;
    case ViewKind::kCrop: {
      const int right = width - width * kCropNumerator / kCropDenominator;
      const int bottom = height - height * kCropNumerator / kCropDenominator;
      static constexpr int kLeft[kCropCount] = {0, 2, 0, 2, 1};  // in halves of the free width
      static constexpr int kTop[kCropCount] = {0, 0, 2, 2, 1};
      const int crop = std::clamp<int>(view.crop, 0, kCropCount - 1);
      x0 = right * kLeft[crop] / 2;
      y0 = bottom * kTop[crop] / 2;
      return true;
    }
    default:
      return false;
  }
}

// Where a crop view lies in the frame and its size; false when it is too
// small to hold a symbol.
bool CropRegion(const StillView& view, int width, int height, int& x0, int& y0, int& cropWidth,
                int& cropHeight) {
  cropWidth = width * kCropNumerator / kCropDenominator;
  cropHeight = height * kCropNumerator / kCropDenominator;
  if (cropWidth < kSmallestViewSide || cropHeight < kSmallestViewSide) return false;
  return ViewOrigin(view, width, height, x0, y0);
}

// The closer look: after a view on which the engine reduced the frame placed a
// symbol and did not read it, the frame's own pixels around that symbol (a
// quarter of its size again on every side, for the quiet zone and a misplaced
// corner, up to the whole frame), which the engine then reduces less or not at
// all. False when the view cannot say where in the frame the symbol is, or when
// the engine kept the view's pixels as they were.
constexpr double kLocatedMargin = 0.25;

bool LocatedCrop(const Recognizer& r, const StillView& view, int viewWidth, int viewHeight,
                 int width, int height, int& x0, int& y0, int& x1, int& y1) {
  if (r.locatedMin.x > r.locatedMax.x || r.imageWidth <= 0 || r.imageHeight <= 0) return false;
  if (ReductionFactor(int64_t{viewWidth} * viewHeight) <= 1) return false;
  int ox = 0, oy = 0;
  if (!ViewOrigin(view, width, height, ox, oy)) return false;
  // Prepared pixels to view pixels (the engine's reduction, and its enlargement
  // of small frames in modes 0 and 1).
  const double sx = static_cast<double>(viewWidth) / r.imageWidth;
  const double sy = static_cast<double>(viewHeight) / r.imageHeight;
  const double left = ox + r.locatedMin.x * sx, right = ox + (r.locatedMax.x + 1) * sx;
  const double top = oy + r.locatedMin.y * sy, bottom = oy + (r.locatedMax.y + 1) * sy;
  const double margin = kLocatedMargin * std::max(right - left, bottom - top);
  x0 = std::max(0, static_cast<int>(left - margin));
  y0 = std::max(0, static_cast<int>(top - margin));
  x1 = std::min(width, static_cast<int>(right + margin) + 1);
  y1 = std::min(height, static_cast<int>(bottom + margin) + 1);
  return x1 - x0 >= kSmallestViewSide && y1 - y0 >= kSmallestViewSide;
}

// How far a failure got: the frame, then location (each symbology's stages in
// their order), then decoding. The causes behind an uncorrectable block count
// as that block.
int StageRank(Failure why) {
  constexpr int kLocation = 10, kDecoding = 50;
  const auto at = [](Failure f) { return static_cast<int>(f); };
  const int v = at(why);
  if (why == Failure::kNone) return 0;
  if (why <= Failure::kLocked) return v;
  if (why >= Failure::kQrFinderCount && why <= Failure::kQrSampling) {
    return kLocation + v - at(Failure::kQrFinderCount);
  }
  if (why >= Failure::kDmNoCandidate && why <= Failure::kDmSampling) {
    return kLocation + v - at(Failure::kDmNoCandidate);
  }
  if (why >= Failure::kCvBars && why <= Failure::kCvSampling) return kLocation + v - at(Failure::kCvBars);
  if (why >= Failure::kGridDimension && why <= Failure::kEmptyText) {
    return kDecoding + v - at(Failure::kGridDimension);
  }
  if (why >= Failure::kRsArguments && why <= Failure::kRsResidual) {
    return kDecoding + at(Failure::kUncorrectable) - at(Failure::kGridDimension);
  }
  // A function codeword, corner marks, an older function type, a full output:
  // the stream was read.
  return kDecoding + at(Failure::kMalformedStream) - at(Failure::kGridDimension);
}


// The codewords corrected and the decoder refused what they say.
bool ContentRefused(Failure why) {
  return why == Failure::kMalformedStream || why == Failure::kEmptyText ||
         why == Failure::kDmFunctionCodeword;
}

}  // namespace

// A crop or a reduced copy can miss a symbol off centre or with small modules,
// so that nothing placed in it says little about the frame.
bool SeesWholeFrame(const StillView& view) {
  switch (view.kind) {
    case ViewKind::kFull:
    case ViewKind::kTurn:
    case ViewKind::kPad:
    case ViewKind::kLargestUnreduced:
    case ViewKind::kLocalThreshold:
      return true;
    case ViewKind::kScale:
      return view.scalePercent >= 100;
    case ViewKind::kCrop:
    case ViewKind::kLocated:
      return false;
  }
  return false;
}

std::span<const StillView> StillPlan(int width, int height, uint32_t mask) {
  return PlanFor(width, height, mask).views;
}

StillProbes StillPlanProbes(int width, int height, uint32_t mask) {
  const Plan plan = PlanFor(width, height, mask);
  return {plan.finderProbeViews, plan.twoFinderProbeViews, plan.dmProbeViews, plan.cvProbeViews,
          plan.qrPlacedViews, plan.dmPlacedViews, plan.cvBarProbeViews};
}

std::vector<StillView> CandidateViews() {
  std::vector<StillView> views;

  for (int8_t mode : {0, 2, 3, 4, 5}) {
    for (int8_t calls : {1, 4}) views.push_back({ViewKind::kLargestUnreduced, 100, 0, mode, calls, 0});
  }
  for (int8_t mode : {0, 3, 4}) {
    for (int8_t calls : {1, 2}) views.push_back({ViewKind::kLocalThreshold, 100, 0, mode, calls, 0});
  }
  for (int8_t mode = 0; mode <= 5; ++mode) {
    for (int8_t calls : {1, 2, 4, 8}) views.push_back({ViewKind::kFull, 100, 0, mode, calls, 0});
  }
  for (int16_t pad : {3, 8}) {
    for (int8_t mode : {0, 2, 3, 4}) {
      for (int8_t calls : {1, 4}) views.push_back({ViewKind::kPad, pad, 0, mode, calls, 0});
    }
  }
  for (int8_t turns = 1; turns <= 3; ++turns) {
    for (int8_t mode : {0, 2, 3, 4}) views.push_back({ViewKind::kTurn, 100, turns, mode, 1, 0});
  }
  for (int16_t scale : {33, 40, 60, 66, 85, 90, 110, 125}) {
    for (int8_t mode : {0, 2, 3, 4}) views.push_back({ViewKind::kScale, scale, 0, mode, 1, 0});
  }
  for (int16_t scale : {50, 75, 150, 200}) {
    for (int8_t mode : {0, 2, 3, 4}) {
      for (int8_t calls : {1, 4}) views.push_back({ViewKind::kScale, scale, 0, mode, calls, 0});
    }
  }
  for (int8_t crop = 0; crop < kCropCount; ++crop) {
    for (int8_t mode : {0, 2, 3, 4}) {
      for (int8_t calls : {1, 4}) views.push_back({ViewKind::kCrop, 100, crop, mode, calls, 0});
    }
  }
  // Each view of grey levels again, its threshold starting two to six steps
  // of the engine's own adaptation lower (at a mid-grey midpoint). The local
  // threshold is black and white already.
  const size_t plain = views.size();
  for (const uint8_t offset : {16, 24, 32, 48}) {
    for (size_t i = 0; i < plain; ++i) {
      if (views[i].kind == ViewKind::kLocalThreshold) continue;
      StillView view = views[i];
      view.thresholdOffset = offset;
      views.push_back(view);
    }
  }
  return views;
}

std::string ViewName(const StillView& view) {
  std::string name;
  switch (view.kind) {
    case ViewKind::kFull:
      name = "full";
      break;
    case ViewKind::kScale:
      name = "scale " + std::to_string(view.scalePercent) + "%";
      break;
    case ViewKind::kCrop:
      name = "crop " + std::to_string(view.crop);
      break;
    case ViewKind::kTurn:
      name = "turn " + std::to_string(90 * view.crop);
      break;
    case ViewKind::kPad:
      name = "pad " + std::to_string(view.scalePercent) + "%";
      break;
    case ViewKind::kLargestUnreduced:
      name = "unreduced";
      break;
    case ViewKind::kLocalThreshold:
      name = "local threshold";
      break;
    case ViewKind::kLocated:
      name = "located";
      break;
  }
  name += " mode " + std::to_string(view.mode);
  if (view.calls > 1) name += " x" + std::to_string(view.calls);
  if (view.thresholdOffset != 0) name += " offset " + std::to_string(view.thresholdOffset);
  return name;
}

std::vector<uint8_t> GreyOfFrame(const uint8_t* image, int32_t width, int32_t height,
                                 int32_t bitsPerPixel) {
  const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
  // The engine's own conversion; a format it does not take stays black.
  std::vector<uint8_t> grey(n, 0);
  ConvertToGrey(image, width, height, bitsPerPixel, grey.data());
  return grey;
}

bool MakeView(std::span<const uint8_t> grey, int width, int height, const StillView& view,
              std::vector<uint8_t>& out, int& viewWidth, int& viewHeight) {
  switch (view.kind) {
    case ViewKind::kFull:
      viewWidth = width;
      viewHeight = height;
      out.assign(grey.begin(), grey.end());
      return true;
    case ViewKind::kScale: {
      // The engine reduces large frames by block averaging itself; a reduced
      // copy of one would only repeat that.
      if (view.scalePercent < 100 && ReductionFactor(int64_t{width} * height) > 1) return false;
      viewWidth = static_cast<int>((int64_t{width} * view.scalePercent + 50) / 100);
      viewHeight = static_cast<int>((int64_t{height} * view.scalePercent + 50) / 100);
      if (viewWidth < kSmallestViewSide || viewHeight < kSmallestViewSide) return false;
      Rescale(grey, width, height, viewWidth, viewHeight, out);
      return true;
    }
    case ViewKind::kCrop: {
      int x0 = 0, y0 = 0;
      if (!CropRegion(view, width, height, x0, y0, viewWidth, viewHeight)) return false;
      out.resize(static_cast<size_t>(viewWidth) * viewHeight);
      for (int y = 0; y < viewHeight; ++y) {
        std::memcpy(out.data() + static_cast<size_t>(y) * viewWidth,
                    grey.data() + static_cast<size_t>(y0 + y) * width + x0,
                    static_cast<size_t>(viewWidth));
      }
      return true;
    }
    case ViewKind::kPad: {
      const int border = PadBorder(view, width, height);
      viewWidth = width + 2 * border;
      viewHeight = height + 2 * border;
      out.assign(static_cast<size_t>(viewWidth) * viewHeight, kPadGrey);
      for (int y = 0; y < height; ++y) {
        std::memcpy(out.data() + static_cast<size_t>(y + border) * viewWidth + border,
                    grey.data() + static_cast<size_t>(y) * width, static_cast<size_t>(width));
      }
      return true;
    }
    case ViewKind::kLargestUnreduced:
      if (!LargestUnreducedSize(width, height, viewWidth, viewHeight)) return false;
      Rescale(grey, width, height, viewWidth, viewHeight, out);
      return true;
    case ViewKind::kLocalThreshold:
      if (!LargestUnreducedSize(width, height, viewWidth, viewHeight)) {
        viewWidth = width;
        viewHeight = height;
        LocalThreshold(grey, width, height, out);
        return true;
      }
      {
        std::vector<uint8_t> scaled;
        Rescale(grey, width, height, viewWidth, viewHeight, scaled);
        LocalThreshold(scaled, viewWidth, viewHeight, out);
      }
      return true;
    case ViewKind::kTurn: {
      const int turns = ((view.crop % 4) + 4) % 4;
      viewWidth = turns % 2 == 0 ? width : height;
      viewHeight = turns % 2 == 0 ? height : width;
      out.resize(static_cast<size_t>(width) * height);
      Turn(grey.data(), width, height, turns, out.data());
      return true;
    }
    case ViewKind::kLocated:
      return false;
  }
  return false;
}

bool ViewPixels(std::span<const uint8_t> grey, int width, int height, const StillView& view,
                std::vector<uint8_t>& scratch, std::span<const uint8_t>& pixels, int& viewWidth,
                int& viewHeight, size_t& stride) {
  // The whole frame and a crop of it need no copy of their own: the engine
  // copies their rows in.
  stride = 0;
  if (view.kind == ViewKind::kFull) {
    pixels = grey;
    viewWidth = width;
    viewHeight = height;
    return true;
  }
  if (view.kind == ViewKind::kCrop) {
    int x0 = 0, y0 = 0;
    if (!CropRegion(view, width, height, x0, y0, viewWidth, viewHeight)) return false;
    pixels = grey.subspan(static_cast<size_t>(y0) * width + x0);
    stride = static_cast<size_t>(width);
    return true;
  }
  if (!MakeView(grey, width, height, view, scratch, viewWidth, viewHeight)) return false;
  pixels = scratch;
  return true;
}

ViewRun RunView(std::span<const uint8_t> viewGrey, int viewWidth, int viewHeight,
                const StillView& view, uint32_t mask, StillWorkspace& workspace,
                ScanResult& result, size_t stride) {
  ViewRun run;
  const auto size = static_cast<size_t>(GetRecognizerSize(viewWidth, viewHeight));
  if (size == 0) return run;
  if (stride == 0) stride = static_cast<size_t>(viewWidth);
  if (stride < static_cast<size_t>(viewWidth) ||
      viewGrey.size() < (static_cast<size_t>(viewHeight) - 1) * stride + static_cast<size_t>(viewWidth)) {
    return run;
  }
  // A fresh workspace for every view: no adaptive state leaks from one view
  // into the next. Only the persistent header fields matter; the engine clears
  // what it uses of the rest.
  if (workspace.size() < size / sizeof(uint64_t) + 1) {
    // What the last view left is of no use to this one: grow without copying it.
    workspace.clear();
    workspace.resize(size / sizeof(uint64_t) + 1);
  }
  std::memset(workspace.data(), 0, sizeof(Recognizer));
  // Nothing placed until a call says so (a zeroed box would be one pixel).
  ClearLocated(*reinterpret_cast<Recognizer*>(workspace.data()));
  // The offset that a run of calls which read nothing would have reached:
  // blur and ink spread swell dark modules, and a lower threshold thins them
  // back, on the first call instead of the third.
  reinterpret_cast<Recognizer*>(workspace.data())->thresholdOffset = view.thresholdOffset;
  const auto& r = *reinterpret_cast<const Recognizer*>(workspace.data());
  for (int call = 0; call < view.calls; ++call) {
    // The extra readings of modes 6..11 cost nothing until a located symbol
    // fails to decode, and that is where a still image has time to spare.
    result.mode() = view.mode + kExtraReadingModes;
    result.symbologyMask() = static_cast<int32_t>(mask);
    run.status = RecognizeGreyRows(viewGrey.data(), stride, workspace.data(), viewWidth,
                                   viewHeight, &result);
    ++run.calls;
    run.placed |= r.locatedMask;
    if (run.status == 1) break;
    // Only where Reed-Solomon stands behind the codewords: a Cordavex code's
    // stream can be refused for a misplaced grid.
    for (const SymbologyRow& row : kSymbologies) {
      if (row.maskBit != kMaskCordavex && ContentRefused(r.miss[static_cast<int>(row.id)])) {
        run.refused |= row.maskBit;
      }
    }
    run.finders = std::max(run.finders, r.finderCandidates);
    for (const Symbology id : {Symbology::kCordavex2, Symbology::kCordavex3}) {
      run.cvGroups = run.cvGroups || StageRank(r.miss[static_cast<int>(id)]) > StageRank(Failure::kCvBars);
    }
  }
  return run;
}

std::span<const StillView> CloserLooks() { return kCloserLooks; }

bool MakeCloserLook(const StillWorkspace& workspace, const StillView& view, int viewWidth,
                    int viewHeight, std::span<const uint8_t> grey, int width, int height,
                    std::vector<uint8_t>& out, int& outWidth, int& outHeight) {
  if (workspace.size() * sizeof(uint64_t) < sizeof(Recognizer)) return false;
  const auto& r = *reinterpret_cast<const Recognizer*>(workspace.data());
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  if (!LocatedCrop(r, view, viewWidth, viewHeight, width, height, x0, y0, x1, y1)) return false;
  // The frame's pixels in [x0, x1) x [y0, y1), at the largest size the engine
  // keeps unreduced when it would reduce them.
  outWidth = x1 - x0;
  outHeight = y1 - y0;
  out.resize(static_cast<size_t>(outWidth) * outHeight);
  for (int y = 0; y < outHeight; ++y) {
    std::memcpy(out.data() + static_cast<size_t>(y) * outWidth,
                grey.data() + static_cast<size_t>(y0 + y) * width + x0, static_cast<size_t>(outWidth));
  }
  int w = 0, h = 0;
  if (LargestUnreducedSize(outWidth, outHeight, w, h)) {
    std::vector<uint8_t> scaled;
    Rescale(out, outWidth, outHeight, w, h, scaled);
    out.swap(scaled);
    outWidth = w;
    outHeight = h;
  }
  return true;
}

namespace {

void RecordRead(const StillWorkspace& workspace, const StillView& view, StillReadOutcome& out) {
  const DecodedSymbol symbol = LastDecodedSymbol(workspace.data());
  out.symbology = symbol.symbology;
  out.bytes.assign(symbol.bytes.begin(), symbol.bytes.end());
  out.view = ViewName(view);
  out.missCause.clear();
}

}  // namespace

int32_t ReadStillImage(const uint8_t* image, int32_t width, int32_t height, int32_t bitsPerPixel,
                       ScanResult* result, const StillReadOptions& options,
                       StillReadOutcome* outcome) {
  StillReadOutcome local;
  StillReadOutcome& out = outcome != nullptr ? *outcome : local;
  out = StillReadOutcome{};
  if (image == nullptr || result == nullptr || width <= 0 || height <= 0 || bitsPerPixel < 8 ||
      GetRecognizerSize(width, height) == 0) {
    return 0;
  }
  // As the engine reads the mask: a value outside 1..7 means all three.
  uint32_t mask = options.symbologyMask >= 1 && options.symbologyMask <= kMaskAll
                            ? options.symbologyMask
                            : kMaskAll;
  // Grey frames are read where they lie; other formats are converted once.
  std::vector<uint8_t> converted;
  std::span<const uint8_t> grey;
  if (bitsPerPixel == 8) {
    grey = {image, static_cast<size_t>(width) * static_cast<size_t>(height)};
  } else {
    converted = GreyOfFrame(image, width, height, bitsPerPixel);
    grey = converted;
  }
  std::vector<uint8_t> viewGrey;
  StillWorkspace workspace;
  int finders = 0;  // the most QR finder candidates any call found
  int closerLooks = 0;
  int qrPlacedUnread = 0;  // views that placed a QR code and read nothing
  int dmPlacedUnread = 0;  // likewise for a Data Matrix
  uint32_t placed = 0;     // the symbologies of which any view placed a symbol
  int32_t status = 0;
  Failure furthest = Failure::kNone;
  int viewsRun = 0;
  bool cvGroups = false;   // a call grouped bars as a Cordavex code's finder
  bool wholeSeen = false;  // a view so far saw the whole frame (SeesWholeFrame)
  Plan plan = PlanFor(width, height, mask);
  const bool mixed = !std::has_single_bit(mask);
  // The views once narrowed to one symbology (none until then), and the views
  // taken, which the narrowed ones skip.
  std::vector<StillView> narrowed;
  std::vector<StillView> taken;
  for (size_t next = 0; next < plan.views.size(); ++next) {
    const StillView view = plan.views[next];
    if (!narrowed.empty() && std::find(taken.begin(), taken.end(), view) != taken.end()) continue;
    if (options.maxEngineCalls > 0 && out.engineCalls + view.calls > options.maxEngineCalls) break;
    int vw = 0, vh = 0;
    std::span<const uint8_t> pixels;
    size_t stride = 0;
    if (!ViewPixels(grey, width, height, view, viewGrey, pixels, vw, vh, stride)) continue;
    const ViewRun run = RunView(pixels, vw, vh, view, mask, workspace, *result, stride);
    taken.push_back(view);
    uint32_t refused = run.refused;
    out.engineCalls += run.calls;
    status = run.status;
    finders = std::max(finders, run.finders);
    placed |= run.placed;
    cvGroups = cvGroups || run.cvGroups;
    const auto& r = *reinterpret_cast<const Recognizer*>(workspace.data());
    if (status == 1) {
      RecordRead(workspace, view, out);
      break;
    }
    // The furthest stage any view reached says most about why the image was
    // lost.
    for (const Failure why : r.miss) {
      if (StageRank(why) > StageRank(furthest)) furthest = why;
    }
    int cw = 0, ch = 0;
    if (closerLooks < static_cast<int>(std::size(kCloserLooks)) &&
        MakeCloserLook(workspace, view, vw, vh, grey, width, height, viewGrey, cw, ch)) {
      const StillView& look = kCloserLooks[closerLooks++];
      if (options.maxEngineCalls > 0 && out.engineCalls + look.calls > options.maxEngineCalls) break;
      const ViewRun closer = RunView(viewGrey, cw, ch, look, mask, workspace, *result);
      out.engineCalls += closer.calls;
      status = closer.status;
      finders = std::max(finders, closer.finders);
      placed |= closer.placed;
      refused |= closer.refused;
      cvGroups = cvGroups || closer.cvGroups;
      if (status == 1) {
        RecordRead(workspace, look, out);
        break;
      }
      for (const Failure why : reinterpret_cast<const Recognizer*>(workspace.data())->miss) {
        if (StageRank(why) > StageRank(furthest)) furthest = why;
      }
    }
    out.missCause = std::string(FailureInfo(furthest).stage) + ": " + std::string(FailureInfo(furthest).cause);
    ++viewsRun;
    wholeSeen = wholeSeen || SeesWholeFrame(view);
    // Nothing finder-like in the probe views: no QR code in view, and the other
    // views would only look closer at the same pixels. The probe speaks for QR
    // code alone, so the other symbologies asked for still get the views. It
    // speaks only once a view has seen the whole frame: crops and reduced
    // copies miss a symbol off centre or with small modules.
    if (options.giveUpEarly && wholeSeen && (mask & kMaskQr) != 0 &&
        ((viewsRun >= plan.finderProbeViews && finders < 1) ||
         (viewsRun >= plan.twoFinderProbeViews && finders < 2))) {
      mask &= ~kMaskQr;
      if (mask == 0) break;
    }
    // No Data Matrix or Cordavex code placed on the first views: none in view
    // that the others would place either.
    if (options.giveUpEarly && wholeSeen) {
      if (viewsRun >= plan.dmProbeViews && (placed & kMaskDataMatrix) == 0) mask &= ~kMaskDataMatrix;
      if (viewsRun >= plan.cvProbeViews && (placed & kMaskCordavex) == 0) mask &= ~kMaskCordavex;
      if (viewsRun >= plan.cvBarProbeViews && !cvGroups) mask &= ~kMaskCordavex;
      if (mask == 0) break;
    }
    // A symbol whose content the decoder refused reads the same in every view.
    if (options.giveUpEarly) mask &= ~refused;
    if (mask == 0) break;
    // A QR code placed again and again without a reading is damaged beyond
    // what other views of the same pixels mend.
    if ((run.placed & kMaskQr) != 0) ++qrPlacedUnread;
    if ((run.placed & kMaskDataMatrix) != 0) ++dmPlacedUnread;
    if (options.giveUpEarly && qrPlacedUnread >= plan.qrPlacedViews) mask &= ~kMaskQr;
    if (options.giveUpEarly && dmPlacedUnread >= plan.dmPlacedViews) mask &= ~kMaskDataMatrix;
    if (mask == 0) break;
    // Looking for a mix, once the views have placed symbols of one symbology
    // alone, the image most likely holds that one, and its own plan reads it
    // in fewer calls: its views come next, then the mixed plan's others. The
    // give-ups stay the mixed plan's, so the other symbologies are still
    // looked for as long as they would have been.
    if (mixed && narrowed.empty() && std::has_single_bit(placed & mask)) {
      const std::span<const StillView> own = PlanFor(width, height, placed & mask).views;
      narrowed.assign(own.begin(), own.end());
      narrowed.insert(narrowed.end(), plan.views.begin() + static_cast<ptrdiff_t>(next) + 1,
                      plan.views.end());
      plan.views = narrowed;
      next = static_cast<size_t>(-1);  // the loop's increment starts them at 0
    }
  }
  out.status = status;
  return status;
}

}  // namespace cordavex
