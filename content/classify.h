// Content classification: decides what a decoded symbol holds and fills the
// content record (type code, sub-type, number, raw text, fields, display text).
//
// Text from QR code, Data Matrix and the current Cordavex code generation goes
// through the content parser; the older Cordavex code generation carries a
// function type that picks the type directly; split-data parts and encrypted
// content are recognised from the decoder's content kind before any parsing.
// Classification never fails: whatever is not recognised is plain text (type 0)
// with the whole text as display text.
//
// Buffers: the record is the caller's and is cleared and refilled; every string
// lands in its own text area, so a record copied whole reads the same. The parser
// needs a 32768-byte ParsePool per classification: the overloads without one
// keep it on the stack; callers that watch their stack pass their own. Nothing
// is heap-allocated. Re-entrant with distinct records and pools.
#pragma once

#include <cstdint>
#include <string_view>

#include "content/decode_summary.h"
#include "content/parser.h"
#include "cordavex/scan_result.h"

namespace cordavex {

// Builds the content record for one decoded symbol (the engine calls it after
// every successful decode).
void ClassifyResult(const ClassifyInput& input, ScanResult& result);
void ClassifyResult(const ClassifyInput& input, ScanResult& result, ParsePool& pool);

// Clears the record, converts `text` (up to its first zero byte) to UTF-16 in
// the character set `charset` (a code 32 is resolved once for the whole text)
// into the raw text, parses it and fills the fields and the type from the parsed
// objects. Returns the type code; 0 when nothing was parsed. Types 6 and 256 are
// left for the caller to settle (ClassifyResult does).
int32_t ClassifyText(std::string_view text, ScanResult& record, uint32_t charset);
int32_t ClassifyText(std::string_view text, ScanResult& record, uint32_t charset,
                     ParsePool& pool);

// UTF-16 text (the current Cordavex code generation): converted to UTF-8 and
// classified as ClassifyText does, then types 6 and 256 are settled with a space
// also ending the at-sign scan. Returns the final type code.
int32_t ClassifyWideText(std::u16string_view text, ScanResult& record);
int32_t ClassifyWideText(std::u16string_view text, ScanResult& record, ParsePool& pool);

// A text kept in the history: ClassifyText with the guessed character set,
// then types 6 and 256 settled as for wide text. Returns the final type code.
int32_t ClassifyStoredText(std::string_view text, ScanResult& record, ParsePool& pool);

}  // namespace cordavex
