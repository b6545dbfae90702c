// The differential test of the content parser: every text of the recorded
// corpus that the grammar accepted before it learnt the newer real-world forms
// must still give exactly the recorded content record, under every
// character-set code and UI language (see support/content_corpus.h; the record
// is made by record_content_corpus).
//
// Four deliberate changes of the record walk may move an accepted text's
// record, and only where the text shows the cause:
// - an address written as one piece (a vCard or MECARD ADR without separators,
//   a MECARD ADR whose commas are not the positional form) is now the street;
// - a CHARSET parameter naming a known set decides its value's set;
// - under a guessed set (code 32), a value whose own bytes (transfer encoding
//   undone) the whole-text guess does not fit is guessed on its own, and a
//   well-formed four-byte UTF-8 sequence no longer fails the UTF-8 test;
// - after "sms:" and "mms:" a number with parameters or a query is a URI.
// A text whose only cause is the address must keep every other field.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <span>
#include <string>

#include "content/parser.h"
#include "decode/charset.h"
#include "support/content_corpus.h"
#include "support/paths.h"

namespace cordavex {
namespace {

struct Cause {
  bool anyVariant = false;     // may move the record under every code
  bool guessVariants = false;  // may move it under code 32
  std::string reason;
};

std::span<const uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

bool HasHighByte(std::string_view text) {
  for (char c : text) {
    if (static_cast<uint8_t>(c) >= 0x80) return true;
  }
  return false;
}

bool HasFourByteUtf8(std::string_view text) {
  const auto b = Bytes(text);
  for (size_t i = 0; i + 3 < b.size(); ++i) {
    if (b[i] >= 0xF0 && b[i] <= 0xF4 && (b[i + 1] & 0xC0) == 0x80 && (b[i + 2] & 0xC0) == 0x80 &&
        (b[i + 3] & 0xC0) == 0x80) {
      return true;
    }
  }
  return false;
}

void Note(Cause& cause, bool any, const char* reason) {
  (any ? cause.anyVariant : cause.guessVariants) = true;
  if (cause.reason.find(reason) == std::string::npos) cause.reason += std::string(reason) + "; ";
}

// What in `text` may have moved its record.
Cause CauseIn(const std::string& text) {
  Cause cause;
  if (HasFourByteUtf8(text)) Note(cause, false, "four-byte UTF-8");
  std::string head = text.substr(0, 4);
  for (char& c : head) c = static_cast<char>(c | 0x20);
  if ((head == "sms:" || head == "mms:") && text.find_first_of("?;") != std::string::npos) {
    Note(cause, true, "sms URI");
  }
  auto pool = std::make_unique<ParsePool>();
  const ContentObject* objects = nullptr;
  if (ParseContent(text, *pool, &objects) != 1) return cause;
  for (const ContentObject* o = objects; o != nullptr; o = o->next) {
    const bool card = o->Name() == "VCARD" || o->Name() == "MECARD";
    for (const ContentItem* item = o->items; item != nullptr; item = item->next) {
      if (item->kind == PropKind::adr && (card || item->params != nullptr)) {
        const bool freeForm =
            item->componentCount <= 1 ||
            (o->Name() == "MECARD" && item->componentCount < kMaxComponents &&
             !item->components[0].View().empty());
        if (freeForm) Note(cause, true, "free-form address");
      }
      bool encoded = false;
      for (const ContentParam* p = item->params; p != nullptr; p = p->next) {
        if (p->kind == ParamKind::charset && CharsetOfName(p->text.View()) != 0) {
          Note(cause, true, "CHARSET parameter");
        }
        if (p->kind == ParamKind::encoding) encoded = true;
      }
      if (encoded) Note(cause, false, "transfer-encoded value");
      // A raw value that the whole text's guess does not fit.
      for (uint16_t language : test::kCorpusLanguages) {
        const uint32_t whole = GuessCharset(Bytes(text), language);
        if (whole == kCharsetGuess) continue;
        auto misfit = [&](std::string_view v) {
          return HasHighByte(v) && !CharsetAccepts(whole, Bytes(v));
        };
        bool any = misfit(item->value.View());
        for (int c = 0; c < item->componentCount; ++c) any = any || misfit(item->components[c].View());
        if (any) Note(cause, false, "value guessed alone");
      }
    }
  }
  return cause;
}

TEST(ContentCorpus, AcceptedTextsKeepTheirRecords) {
  std::ifstream file(test::SourceDir() + "/tests/content/data/accepted_records.tsv");
  ASSERT_TRUE(file.good());
  int accepted = 0;
  int lines = 0;
  std::map<std::string, int> moved;  // reason -> texts
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    test::CorpusRecord recorded;
    ASSERT_TRUE(test::ParseCorpusLine(line, recorded)) << line;
    ++lines;
    if (!recorded.accepted) continue;
    ++accepted;
    const test::CorpusRecord now = test::RecordContentText(recorded.text);
    EXPECT_TRUE(now.accepted) << recorded.text;
    bool changed = false;
    Cause cause;
    for (int v = 0; v < test::kCorpusVariants; ++v) {
      if (now.digests[v] == recorded.digests[v]) continue;
      if (!changed) cause = CauseIn(recorded.text);
      changed = true;
      const bool guess = test::kCorpusCharsets[v % 5] == kCharsetGuess;
      EXPECT_TRUE(cause.anyVariant || (guess && cause.guessVariants))
          << "variant " << v << " moved without a cause: " << recorded.text;
      // An address read as one street moves the address fields and nothing else.
      if (cause.reason == "free-form address; ") {
        EXPECT_EQ(now.outsideAddress[v], recorded.outsideAddress[v])
            << "variant " << v << " moved outside the address: " << recorded.text;
      }
    }
    if (changed) ++moved[cause.reason];
  }
  for (const auto& [reason, count] : moved) {
    std::printf("moved by %s%d texts\n", reason.c_str(), count);
  }
  // The corpus must not silently shrink.
  EXPECT_GE(lines, 900);
  EXPECT_GE(accepted, 500);
}

}  // namespace
}  // namespace cordavex
