// The views behind ReadStillImage, open to the benchmarks and tests that weigh
// one view against another. A view is a grey image made from the still (the
// whole frame, a rescaled copy or a crop) and the processing mode and number of
// consecutive engine calls it gets.
//
// Test and benchmark code may allocate; the reader allocates its buffers once
// per ReadStillImage call. Calls are independent.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "cordavex/scan_result.h"
#include "cordavex/symbology.h"

namespace cordavex {

// The engine's workspace for the views. It grows without being cleared: the
// engine takes a workspace as an arbitrary bit pattern, repairs its header and
// writes every byte of the image area before reading it, and RunView clears
// the header for each view itself.
template <class T>
struct UnclearedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UnclearedAllocator<U>;
  };
  UnclearedAllocator() = default;
  template <class U>
  UnclearedAllocator(const UnclearedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
using StillWorkspace = std::vector<uint64_t, UnclearedAllocator<uint64_t>>;

enum class ViewKind : uint8_t {
  kFull,   // the frame as it is
  kScale,  // bilinear rescale by scalePercent / 100
  kCrop,   // a crop of two thirds of each side, at native resolution
  kTurn,   // the frame turned clockwise by crop quarter turns (1..3)
  kPad,    // the frame inside a light border of scalePercent / 100 of its shorter side
  kLargestUnreduced,  // a frame the engine would reduce, rescaled to the largest
                      // size it takes as it is
  kLocalThreshold,    // black and white against the mean of a window around each
                      // pixel, at the largest size the engine takes unreduced
  kLocated,           // the pixels around a symbol that a view of a reduced frame
                      // placed but did not read, at native resolution (made by
                      // the reader from what the engine reports, not by MakeView)
};

struct StillView {
  ViewKind kind;
  int16_t scalePercent;  // kScale only
  int8_t crop;           // kCrop: 0 top left, 1 top right, 2 bottom left, 3 bottom right,
                         // 4 centre; kTurn: quarter turns
  int8_t mode;           // preparation (0..5) for every call on this view, asked for
                         // with the extra readings (mode + 6)
  int8_t calls;          // consecutive engine calls with one workspace
  uint8_t thresholdOffset;  // grey levels the engine's threshold starts away from the
                            // midpoint of the darkest and brightest fifths (0..128;
                            // each call that reads nothing moves it further)

  friend bool operator==(const StillView&, const StillView&) = default;
};

// The order in which ReadStillImage tries its views on a frame of this size
// when it looks for these symbologies (a mask of 1..7).
std::span<const StillView> StillPlan(int width, int height, uint32_t mask = kMaskAll);
// After how many views of that plan it gives up early on a symbology: a QR code
// when no call found a component passing the finder test, or two such; a Data
// Matrix or Cordavex code when no call placed one; a QR code or a Data Matrix
// when that many views placed one and none read it; a Cordavex code when no
// call grouped bars as its finder.
struct StillProbes {
  int finderViews;
  int twoFinderViews;
  int dmViews;
  int cvViews;
  int qrPlacedViews;
  int dmPlacedViews;
  int cvBarViews;
};
StillProbes StillPlanProbes(int width, int height, uint32_t mask = kMaskAll);
// A wider set of views than the plan, for benchmarks that weigh what each would
// add.
std::vector<StillView> CandidateViews();
std::string ViewName(const StillView& view);
// The view holds the whole frame at its own resolution or more; the give-ups on
// a symbology that no view found wait for one such view.
bool SeesWholeFrame(const StillView& view);

// The frame in the engine's grey levels (the conversion RecognizeImage applies).
std::vector<uint8_t> GreyOfFrame(const uint8_t* image, int32_t width, int32_t height,
                                 int32_t bitsPerPixel);

// Renders `view` of a grey image into `out` (resized as needed) and reports its
// size; false when the view would be empty or too small to hold a symbol.
bool MakeView(std::span<const uint8_t> grey, int width, int height, const StillView& view,
              std::vector<uint8_t>& out, int& viewWidth, int& viewHeight);

// The pixels of `view` as the reader hands them to the engine: the whole frame
// and its crops where they lie (rows `stride` bytes apart, 0 for the view's
// width), the other views rendered into `scratch` by MakeView. False when the
// view cannot be made of the frame.
bool ViewPixels(std::span<const uint8_t> grey, int width, int height, const StillView& view,
                std::vector<uint8_t>& scratch, std::span<const uint8_t>& pixels, int& viewWidth,
                int& viewHeight, size_t& stride);

// The closer looks ReadStillImage takes, one after each of the first views of a
// frame the engine reduces that place a symbol without reading it.
std::span<const StillView> CloserLooks();
// Renders the closer look at the symbol that the calls in `workspace` placed
// on `view` (viewWidth x viewHeight, made of a width x height grey frame): the
// frame's own pixels around it. False when the engine kept the view as it was,
// placed nothing, or the view cannot say where in the frame the symbol lies.
bool MakeCloserLook(const StillWorkspace& workspace, const StillView& view, int viewWidth,
                    int viewHeight, std::span<const uint8_t> grey, int width, int height,
                    std::vector<uint8_t>& out, int& outWidth, int& outHeight);

// Runs the engine on one view with a workspace cleared first. Returns the last
// status; `calls` counts the engine calls made, `finders` is the most
// components passing the QR finder test that any call found (counting stops at
// four) and `placed` holds the mask bits of the symbologies of which any call
// placed a symbol (decoded or not). The view's rows start `stride` bytes apart
// in viewGrey (0: viewWidth), so that a crop can be read where it lies.
struct ViewRun {
  int32_t status = 0;
  int32_t calls = 0;
  int32_t finders = 0;
  uint32_t placed = 0;
  // Symbologies of which a call corrected a symbol's codewords and then
  // refused its content: every other view reads the same codewords.
  uint32_t refused = 0;
  // A call grouped bars as the finder of a Cordavex code is made of.
  bool cvGroups = false;
};
ViewRun RunView(std::span<const uint8_t> viewGrey, int viewWidth, int viewHeight,
                const StillView& view, uint32_t mask, StillWorkspace& workspace,
                ScanResult& result, size_t stride = 0);

}  // namespace cordavex
