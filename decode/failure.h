// Why a read failed. The system's interfaces keep their 1/0 results; beside
// them the stage that gave up records its cause here (in the decoder state, the
// Reed-Solomon context and the engine workspace), so that a miss can be traced
// to where it was lost and misses can be tallied by cause.
//
// One row per cause: the stage it belongs to and a short name. Constant data;
// safe from any thread.
#pragma once

#include <cstdint>
#include <iterator>
#include <string_view>

namespace cordavex {

enum class Failure : uint8_t {
  kNone = 0,
  // The frame as a whole.
  kPreparation,  // preparation refused the frame
  kLabelling,    // labelling refused the frame
  kLocked,       // another symbology holds the lock
  // QR code location.
  kQrFinderCount,     // not exactly three finder candidates
  kQrDimension,       // timing count outside 19..69
  kQrAlignment,       // the alignment pattern or its estimate did not refine
  kQrFourthCorner,    // the fourth corner fell off the image
  kQrSampling,        // a sampling corner off the image, or degenerate corners
  // Grid decoding, any symbology.
  kGridDimension,     // a dimension the decoder does not take
  kFormat,            // format information beyond correction
  kCodewordCount,     // the grid yields too few codewords
  kUncorrectable,     // a Reed-Solomon block beyond correction
  kMalformedStream,   // the corrected stream does not parse
  kEmptyText,         // the symbol decodes to nothing
  // Reed-Solomon, why a block is beyond correction.
  kRsArguments,       // block or check length, codeword value or variant out of range
  kRsTooManyErrors,   // the error locator's degree exceeds what the check codewords correct
  kRsLocatorRoots,    // the locator's roots do not all fall inside the block
  kRsResidual,        // corrections applied, still not a codeword
  // Data Matrix location, in the order of its stages: the locator records the
  // furthest stage any candidate reached.
  kDmNoCandidate,     // no unclassified component with a long enough outline
  kDmOutline,         // the outline did not trace or has fewer than 4 pieces
  kDmArms,            // no two straight runs meeting as the finder's arms
  kDmOppositeCorner,  // no opposite corner, or no timing edges crossed from it
  kDmShape,           // the four corners do not form a plausible square
  kDmInset,           // a corner moved to its module centre fell off the image
  kDmCornerDark,      // the module at the opposite corner is dark
  kDmDimension,       // the timing counts give no square size of 10..48
  kDmSampling,        // a sampling corner off the image, or degenerate corners
  // Data Matrix decoding.
  kDmFunctionCodeword,  // FNC1, structured append, reader programming, macro or ECI
  // Cordavex code grid decoding.
  kCvCornerMarks,     // a corner area differs from its marks in more than k modules
  kCvFunctionType,    // an older-layout function type the reader does not take
  kCvOutputFull,      // the payload is longer than the output buffer
  // Cordavex code location.
  kCvBars,            // too few elongated components, or no group of two bar pairs
  kCvRing,            // no ring marker beside a group
  kCvFirstMark,       // no corner mark beyond the pair away from the ring
  kCvSecondMark,      // no corner mark beside the ring
  kCvFarMarks,        // the two corner marks away from the bars not found
  kCvCorners,         // an outer corner or sample point off the image
  kCvDimension,       // the left column gives no size
  kCvSampling,        // a sampling corner off the image, or degenerate corners
};

struct FailureRow {
  Failure failure;
  std::string_view stage;
  std::string_view cause;
};

inline constexpr FailureRow kFailures[] = {
    {Failure::kNone, "none", "none"},
    {Failure::kPreparation, "frame", "preparation"},
    {Failure::kLabelling, "frame", "labelling"},
    {Failure::kLocked, "frame", "locked by another symbology"},
    {Failure::kQrFinderCount, "finders", "not three finder candidates"},
    {Failure::kQrDimension, "dimension", "timing count out of range"},
    {Failure::kQrAlignment, "fourth corner", "alignment not refined"},
    {Failure::kQrFourthCorner, "fourth corner", "off the image"},
    {Failure::kQrSampling, "sampling", "corner off the image or degenerate"},
    {Failure::kGridDimension, "decoding", "dimension not taken"},
    {Failure::kFormat, "format", "format information uncorrectable"},
    {Failure::kCodewordCount, "decoding", "too few codewords"},
    {Failure::kUncorrectable, "correction", "block uncorrectable"},
    {Failure::kMalformedStream, "stream", "malformed data stream"},
    {Failure::kEmptyText, "stream", "empty text"},
    {Failure::kRsArguments, "correction", "block out of range"},
    {Failure::kRsTooManyErrors, "correction", "too many errors"},
    {Failure::kRsLocatorRoots, "correction", "error positions outside the block"},
    {Failure::kRsResidual, "correction", "still not a codeword"},
    {Failure::kDmNoCandidate, "outline", "no component large enough"},
    {Failure::kDmOutline, "outline", "outline not traced or too short"},
    {Failure::kDmArms, "finder arms", "no pair of arms"},
    {Failure::kDmOppositeCorner, "opposite corner", "not found"},
    {Failure::kDmShape, "shape", "corners not a plausible square"},
    {Failure::kDmInset, "inset", "module centre off the image"},
    {Failure::kDmCornerDark, "inset", "opposite corner module dark"},
    {Failure::kDmDimension, "dimension", "timing counts give no square size 10..48"},
    {Failure::kDmSampling, "sampling", "corner off the image or degenerate"},
    {Failure::kDmFunctionCodeword, "stream", "function codeword"},
    {Failure::kCvCornerMarks, "corner marks", "corner area damaged"},
    {Failure::kCvFunctionType, "format", "function type not taken"},
    {Failure::kCvOutputFull, "stream", "payload longer than the output"},
    {Failure::kCvBars, "bars", "no group of two bar pairs"},
    {Failure::kCvRing, "ring", "no ring marker"},
    {Failure::kCvFirstMark, "corner marks", "no mark beyond the bars"},
    {Failure::kCvSecondMark, "corner marks", "no mark beside the ring"},
    {Failure::kCvFarMarks, "corner marks", "far marks not found"},
    {Failure::kCvCorners, "corner marks", "outer corner off the image"},
    {Failure::kCvDimension, "dimension", "left column gives no size"},
    {Failure::kCvSampling, "sampling", "corner off the image or degenerate"},
};

constexpr bool FailureRowsInOrder() {
  for (size_t i = 0; i < std::size(kFailures); ++i) {
    if (static_cast<size_t>(kFailures[i].failure) != i) return false;
  }
  return true;
}
static_assert(FailureRowsInOrder(), "one row per failure, in enum order");

constexpr const FailureRow& FailureInfo(Failure f) {
  const auto i = static_cast<size_t>(f);
  return i < std::size(kFailures) ? kFailures[i] : kFailures[0];
}

}  // namespace cordavex
