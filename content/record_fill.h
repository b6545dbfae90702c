// The walk that copies parsed items into the content record: each value is
// transfer-decoded when its ENCODING says so, converted to UTF-16 in the
// result's character set and appended to the record's string pool, and the
// field that the item's role names is pointed at it.
//
// The record and the parse pool are the caller's; the walk allocates nothing
// else (decoded bytes go to the parse pool's free space). One walk per record
// at a time; distinct records and pools may be filled concurrently.
#pragma once

#include <cstdint>
#include <string_view>

#include "content/parser.h"
#include "cordavex/scan_result.h"

namespace cordavex {

// Units of the string pool that field values may use: the last 64 units are
// the key area of encrypted content and stay untouched.
inline constexpr int kFieldPoolUnits = ScanResult::kKeyAreaStart - ScanResult::kPoolStart;

// The state of one record's filling.
//
// Character sets are chosen value by value: a CHARSET parameter that names a
// known set decides; otherwise `charset`, the code the whole text was read
// in. When that code was a guess (`guessed`), a value whose own bytes -- after
// its transfer encoding is undone -- fail the guessed set's test is guessed
// again on its own: quoted-printable and Base64 values hide their bytes from
// the guess over the whole text.
struct ContentFill {
  ScanResult* record;
  uint32_t charset = 32;  // character-set code of the decoded text
  uint16_t poolFill = 0;  // units of the string pool in use
  bool guessed = false;   // `charset` was guessed from the whole text
};

// Copies `text` and a terminating zero to the end of the record's string pool
// and advances `poolFill`. Returns the text offset of the copy, or the shared
// empty string when `text` is empty or does not fit whole (a value is dropped
// rather than cut, so that no field holds a shortened number or address).
uint16_t PoolAppend(ScanResult& record, uint16_t& poolFill, std::u16string_view text);

// Fills the fields of one object's items, in order. A field set twice keeps
// the later value, except mobiles (first TEL;CELL), label and instant-messaging
// address, which keep the first. The URL of a record whose type is already 1
// (web address) is the whole raw text.
void FillObjectFields(const ContentObject& object, ContentFill& fill, ParsePool& pool);

// Fills the fields of every object, in the order the parser produced them.
void FillContentRecord(const ContentObject* objects, ContentFill& fill, ParsePool& pool);

}  // namespace cordavex
