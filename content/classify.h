// Content classification: decides what a decoded symbol holds and fills the
// content record.
//
// Pure functions of their inputs; re-entrant with distinct records.
#pragma once

#include "content/decode_summary.h"
#include "content/scan_result.h"

namespace cordavex {

// Builds the content record for one decoded symbol.
void ClassifyResult(const ClassifyInput& input, ScanResult& result);

}  // namespace cordavex
