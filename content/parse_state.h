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
enum class FormKind : uint8_t {
  vcard, mecard, mebkm, matmsg, bizcard, card, memory, addressBook, vcalendar,
};

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
  // The message head was an RFC 5724 scheme ("sms:", "mms:"), whose recipient
  // may carry parameters and a query.
  bool smsUri;
  // Marker token the scanner hands out first (0: none): set for the parse
  // that reads the text as a titled bookmark whatever its title.
  int startToken;
  // Components of an iCalendar text: how deep the line being read is nested
  // below the outermost one, the depth of the event whose properties count
  // (-1 while none is open), and whether that event has been read.
  Span calendarName;
  int32_t calendarDepth;
  int32_t eventDepth;
  bool eventRead;
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
// A bracket or dash between the digits of a telephone number.
bool IsPhoneSeparator(const ParserState& s, Span token);
// SMTP:address[:subject[:body]].
bool AddSmtp(ParserState& s, Span address, Span subject, Span body);
// SMSTO/SMS/MMSTO/MMS number and message; the message span is empty when the
// text has none.
bool AddShortMessage(ParserState& s, Span recipient, Span message);
// mailto:addresses[?hfields] (RFC 6068).
bool AddMailtoUri(ParserState& s, Span uri);
// The number of a tel: text, without its parameters.
bool AddTelNumber(ParserState& s, Span number);
// iCalendar: the outermost component, one property line, the end of a nested
// component, and the end of the outermost one.
void BeginCalendar(ParserState& s, Span name);
bool AddCalendarItem(ParserState& s, Span key, Span value);
bool EndCalendarComponent(ParserState& s, Span name);
bool FinishCalendar(ParserState& s, Span name);
bool FinishObject(ParserState& s, const char* name);
// Ends a MECARD, MEBKM, MATMSG or BIZCARD object; one whose keys were all
// skipped is no object of its kind.
bool FinishKeyedObject(ParserState& s);

}  // namespace cordavex
