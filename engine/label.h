// Labelling of the binarised image: contour tracing, the component table, the
// hole table and the contour-point buffer.
#pragma once

#include "engine/workspace.h"

namespace cordavex {

// Labels every dark region; 1, or 0 when more than 253 components would be needed.
int LabelComponents(Recognizer& r);

// The 8-neighbour contour tracer. Record mode 0: labels only; 1: labels, records
// points into the contour buffer and fills `record`'s centroid, corners and
// point count; 2: labels and records points. Returns 1, or 0 on failure.
int TraceContour(Recognizer& r, ComponentRecord* record, int row, int column, int label,
                 int startDirection, int recordMode);

}  // namespace cordavex
