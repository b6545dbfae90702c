// Internal to the content parser: the state the generated scanner and parser
// share for one parse, and the actions the grammar calls to build objects.
//
// Every semantic value is a Span of the scanner's input: the tokens of a value
// are contiguous in the text, so concatenating token texts is widening a span,
// and the escapes are resolved once when the value is copied into the pool.
// One ParserState per parse, on the stack of ParseContent; not shared.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <string_view>

#include "content/parser.h"

namespace cordavex {

struct Span {
  int32_t begin;  // byte offsets into the scanner input; begin < 0 means empty
  int32_t end;
};

inline constexpr Span kEmptySpan = {-1, -1};

inline Span Join(Span a, Span b) {
  if (a.begin < 0) return b;
  if (b.begin < 0) return a;
  return {a.begin, b.end};
}

// The forms whose fields are KEY:value pairs; each has its own key table.
enum class FormKind : uint8_t { vcard, mecard, mebkm, matmsg, bizcard, card, memory, addressBook };

struct ParserState {
  ParsePool* pool;
  const char* input;  // the scanner's buffer
  ContentItem* firstItem;  // items of the object being built, name still missing
  ContentItem* lastItem;
  ContentParam* pendingParams;  // parameters of the vCard property being read
  ContentParam* lastParam;
  ContentObject* firstObject;
  ContentObject* lastObject;
  FormKind form;  // key table of the KEY:value form being read
  const char* objectName;  // name of the object being read, set by its head
  int32_t wtaiParams;  // WTAI parameters seen so far
  // The vCard property being read is quoted-printable: the scanner then takes
  // "=" and a line break as one soft-break token.
  bool quotedPrintable;
  // Where a scanner failure returns to (see ScannerFatalError).
  std::jmp_buf fatal;
};

// Reports a scanner failure on the error stream and abandons the parse.
[[noreturn]] void ScannerFatalError(const char* message, void* scanner);

std::string_view SpanText(const ParserState& s, Span span);

// Each action returns false when the text must be rejected: an unknown key, a
// malformed form-specific field, or the pool running out.
bool AddItem(ParserState& s, PropKind kind, Span value);
bool AddKeyedItem(ParserState& s, Span key, Span value);
bool AddParam(ParserState& s, Span name, Span value);
bool AddWtaiParam(ParserState& s, Span value);
bool AddCallto(ParserState& s, Span value);
bool AddNumberedField(ParserState& s, Span code, Span value);
bool IsDash(const ParserState& s, Span token);
bool FinishObject(ParserState& s, const char* name);

}  // namespace cordavex
