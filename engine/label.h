// Labelling of the binarised image: contour tracing, the component table, the
// hole table and the contour-point buffer.
//
// Works in place on the workspace's grey image (0 dark, 255 light on entry).
// Afterwards a dark pixel holds its component's label 1..253 and a light pixel
// that a trace probed holds 254 (IsDark(v) is v < 254). The component table,
// the hole table and the contour buffer are the workspace's own arrays; nothing
// is allocated. Single-threaded per workspace.
#pragma once

#include <cstdint>

#include "engine/workspace.h"

namespace cordavex {

// Labels every dark region; 1, or 0 when more than 253 components would be
// needed (or when a side of the image exceeds the 16-bit coordinate range).
int LabelComponents(Recognizer& r);

// The 8-neighbour contour tracer, following the boundary clockwise on screen
// from the dark pixel (column, row) and labelling every contour pixel with
// `label`. startDirection (0 east, clockwise to 7 north-east) is the first
// neighbour probed. Record mode 0: labels only; 1: labels, records the points
// into the contour buffer and fills `record`'s point count, centroid and corners
// (both the start pixel); 2: labels, records the points and fills `record`'s
// point count. The recorded contour is closed: its last point repeats the
// first. Returns 1, or 0 on failure: a start pixel that is not dark or lies
// outside the image, no dark neighbour, a probe that would leave the image, or
// more than 5000 points (the trace still completes its labelling then).
// `record` may be null.
int TraceContour(Recognizer& r, ComponentRecord* record, int row, int column, int label,
                 int startDirection, int recordMode);

}  // namespace cordavex
