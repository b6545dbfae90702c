// Writes the record file of the content parser's differential test:
//
//   record_content_corpus TEXTS.hex FUZZ_SEED_DIR > accepted_records.tsv
//
// TEXTS.hex holds one text per line in hexadecimal (scripts/collect_content_texts.py
// makes it from the test sources); every file of FUZZ_SEED_DIR is a seed of the
// parse fuzzer, whose first byte picks a character set and whose rest is the
// text; then 400 cards from a fixed seed. Each text is written once, with the
// digests of its records (support/content_corpus.h).
//
// The committed file was written by this program linked against the content
// and character-set sources as they stood before the real-world forms
// (commit b3899e7), run from the build's tests folder so that the Big5 and
// GB2312 table files lie beside it as they do beside the test binary.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "support/content_corpus.h"

int main(int argc, char** argv) {
  using namespace cordavex::test;
  if (argc != 3) {
    std::fprintf(stderr, "usage: record_content_corpus TEXTS.hex FUZZ_SEED_DIR\n");
    return 2;
  }
  std::vector<std::string> texts;
  std::ifstream list(argv[1]);
  for (std::string line; std::getline(list, line);) {
    std::string text;
    for (size_t i = 0; i + 1 < line.size(); i += 2) {
      text += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    }
    texts.push_back(text);
  }
  std::vector<std::filesystem::path> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(argv[2])) seeds.push_back(entry.path());
  std::sort(seeds.begin(), seeds.end());
  for (const auto& path : seeds) {
    std::ifstream file(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.size() > 1) texts.push_back(bytes.substr(1));
  }
  for (const std::string& card : GeneratedContentTexts(400, 20261210)) texts.push_back(card);

  std::cout << "# text (hex)\taccepted\tdigests: charsets 1 2 4 8 32 under UI language 0404, then 0409;"
               " then the same without the address fields\n";
  std::set<std::string> seen;
  for (const std::string& text : texts) {
    const std::string cut = text.substr(0, text.find('\0'));
    if (cut.empty() || !seen.insert(cut).second) continue;
    std::cout << FormatCorpusLine(RecordContentText(cut)) << '\n';
  }
  return 0;
}
