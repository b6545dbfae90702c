// The corpus of the content parser's differential test: the texts the tests and
// the fuzz seeds classify, and cards generated from a fixed seed, each with a
// digest of the content record that ClassifyText makes of it under every
// character-set code and two UI languages.
//
// The recorded file (tests/content/data/accepted_records.tsv) holds these
// digests as the parser gave them before it learnt the newer real-world forms;
// the test recomputes them, so that a text the grammar accepted then still
// gives exactly the same record.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cordavex::test {

// Character-set codes and UI languages each text is classified under.
inline constexpr uint32_t kCorpusCharsets[] = {1, 2, 4, 8, 32};
inline constexpr uint16_t kCorpusLanguages[] = {0x0404, 0x0409};
inline constexpr int kCorpusVariants = 10;

struct CorpusRecord {
  std::string text;
  bool accepted = false;  // ParseContent took the text
  uint64_t digests[kCorpusVariants] = {};
  // The same record without its twelve address fields (home and company
  // street, extended address, office location, city, postal code, country).
  uint64_t outsideAddress[kCorpusVariants] = {};
};

// Cards, messages and links in the forms the parser has always accepted,
// with values drawn from ASCII, UTF-8, Big5 and Shift-JIS samples, escapes,
// parameters and quoted-printable encodings.
std::vector<std::string> GeneratedContentTexts(int count, uint32_t seed);

// Classifies `text` under every variant. Sets CORDAVEX_UI_LANGUAGE while it
// runs and restores it afterwards.
CorpusRecord RecordContentText(const std::string& text);

// One line of the recorded file: hex text, accepted flag, ten digests, ten
// digests outside the address fields.
std::string FormatCorpusLine(const CorpusRecord& record);
bool ParseCorpusLine(const std::string& line, CorpusRecord& record);

}  // namespace cordavex::test
