// ParseContent and ScanTokens: set up the generated scanner over a copy of the
// text in the pool and run the generated parser; the pool; and the transfer
// decodings of property values.
#include "content/parser.h"

#include <csetjmp>
#include <cstring>

#include "content/content_parser.h"
#include "content/content_scanner.h"
#include "content/parse_state.h"
#include "decode/text_routines.h"

namespace cordavex {
namespace {

// Copies the text into the pool with the scanner's two end markers and makes
// it the scanner's only buffer. Returns null when the pool cannot hold it.
char* PrepareScanner(std::string_view text, ParserState& state, yyscan_t* scanner) {
  const size_t size = text.size() + 2;
  char* buffer = static_cast<char*>(state.pool->Allocate(size, 1));
  if (buffer == nullptr) return nullptr;
  std::memcpy(buffer, text.data(), text.size());
  buffer[size - 2] = 0;
  buffer[size - 1] = 0;
  state.input = buffer;
  if (cvxlex_init_extra(&state, scanner) != 0) return nullptr;
  if (cvx_scan_buffer(buffer, size, *scanner) == nullptr) return nullptr;
  return buffer;
}

std::string_view UpToZero(std::string_view text) {
  size_t zero = text.find('\0');
  return zero == std::string_view::npos ? text : text.substr(0, zero);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

void* ParsePool::Allocate(size_t size, size_t align) {
  size_t start = (static_cast<size_t>(used) + align - 1) & ~(align - 1);
  if (start > kBytes || size > kBytes - start) {
    exhausted = true;
    return nullptr;
  }
  used = static_cast<uint32_t>(start + size);
  return bytes + start;
}

const ContentParam* ContentItem::FindParam(std::string_view text) const {
  for (const ContentParam* p = params; p != nullptr; p = p->next) {
    if (EqualsNoCase(p->text.View(), text)) return p;
  }
  return nullptr;
}

// One run of the generated parser over `text`, starting with `startToken`
// when it is not 0.
static int ParseOnce(std::string_view text, ParsePool& pool, const ContentObject** objects,
              int startToken) {
  *objects = nullptr;
  pool.used = 0;
  pool.exhausted = false;
  ParserState state{};
  state.pool = &pool;
  state.startToken = startToken;
  yyscan_t scanner = nullptr;
  // Nothing with a destructor lives between here and the scanner and parser
  // frames that a fatal scanner error unwinds.
  if (setjmp(state.fatal) != 0) return 0;
  if (PrepareScanner(text, state, &scanner) == nullptr) return 0;
  // The scanner's and parser's memory belongs to the pool; there is nothing to
  // destroy when the parse ends.
  if (cvxparse(scanner, &state) != 0 || state.firstObject == nullptr) return 0;
  *objects = state.firstObject;
  return 1;
}

static bool IsTrailingSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int ParseContent(std::string_view text, ParsePool& pool, const ContentObject** objects) {
  *objects = nullptr;
  text = UpToZero(text);
  if (text.empty() || text.size() > static_cast<size_t>(kMaxParseTextBytes)) return 0;
  // A text the grammar takes as it is keeps that reading.
  if (ParseOnce(text, pool, objects, 0) == 1) return 1;
  // Generators and editors leave spaces and line breaks behind the content.
  std::string_view trimmed = text;
  while (!trimmed.empty() && IsTrailingSpace(trimmed.back())) trimmed.remove_suffix(1);
  if (trimmed.empty()) return 0;
  if (trimmed.size() != text.size() && ParseOnce(trimmed, pool, objects, 0) == 1) return 1;
  // A title and an address on the next line, whatever the title begins with.
  if (trimmed.find_first_of("\r\n") == std::string_view::npos) return 0;
  return ParseOnce(trimmed, pool, objects, S_TITLED_BOOKMARK);
}

int ScanTokens(std::string_view text, ParsePool& pool, std::span<int> codes) {
  pool.used = 0;
  pool.exhausted = false;
  text = UpToZero(text);
  if (text.empty() || text.size() > static_cast<size_t>(kMaxParseTextBytes)) return 0;
  ParserState state{};
  state.pool = &pool;
  yyscan_t scanner = nullptr;
  if (setjmp(state.fatal) != 0) return 0;
  if (PrepareScanner(text, state, &scanner) == nullptr) return 0;
  int count = 0;
  CVXSTYPE value;
  for (int code; (code = cvxlex(&value, scanner)) != 0; ++count) {
    if (static_cast<size_t>(count) < codes.size()) codes[static_cast<size_t>(count)] = code;
  }
  return count;
}

int DecodeTransferEncoding(std::string_view encoded, std::span<char> output, int mode) {
  if (output.empty()) return -1;
  const size_t room = output.size() - 1;  // one byte stays for the terminator
  size_t n = 0;
  if (mode == 0) {
    // 6 bits per Base64 character; anything else (line breaks, "=") is skipped
    // and a byte leaves as soon as 8 bits are in hand.
    uint32_t bits = 0;
    int count = 0;
    for (char c : encoded) {
      int v = Base64Value(c);
      if (v < 0) continue;
      bits = ((bits << 6) | static_cast<uint32_t>(v)) & 0xFFFF;
      count += 6;
      if (count >= 8) {
        count -= 8;
        if (n >= room) return -1;
        output[n++] = static_cast<char>((bits >> count) & 0xFF);
      }
    }
  } else if (mode == 1) {
    for (size_t i = 0; i < encoded.size();) {
      char c = encoded[i];
      if (c != '=') {
        if (n >= room) return -1;
        output[n++] = c;
        ++i;
        continue;
      }
      // A soft line break ("=" CR LF or "=" LF) gives nothing.
      if (i + 2 < encoded.size() && encoded[i + 1] == '\r' && encoded[i + 2] == '\n') {
        i += 3;
        continue;
      }
      if (i + 1 < encoded.size() && encoded[i + 1] == '\n') {
        i += 2;
        continue;
      }
      int high = i + 1 < encoded.size() ? HexValue(encoded[i + 1]) : -1;
      int low = i + 2 < encoded.size() ? HexValue(encoded[i + 2]) : -1;
      if (high < 0 || low < 0) return -1;
      if (n >= room) return -1;
      output[n++] = static_cast<char>(high * 16 + low);
      i += 3;
    }
  } else {
    return -1;
  }
  output[n] = 0;
  return static_cast<int>(n);
}

}  // namespace cordavex
