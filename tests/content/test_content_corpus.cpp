// The differential test of the content parser: every text of the recorded
// corpus that the grammar accepted before it learnt the newer real-world forms
// must still give exactly the recorded content record, under every
// character-set code and UI language (see support/content_corpus.h; the record
// is made by record_content_corpus).
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/content_corpus.h"
#include "support/paths.h"

namespace cordavex {
namespace {

TEST(ContentCorpus, AcceptedTextsKeepTheirRecords) {
  std::ifstream file(test::SourceDir() + "/tests/content/data/accepted_records.tsv");
  ASSERT_TRUE(file.good());
  int accepted = 0;
  int lines = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.empty() || line[0] == '#') continue;
    test::CorpusRecord recorded;
    ASSERT_TRUE(test::ParseCorpusLine(line, recorded)) << line;
    ++lines;
    if (!recorded.accepted) continue;
    ++accepted;
    const test::CorpusRecord now = test::RecordContentText(recorded.text);
    EXPECT_TRUE(now.accepted) << recorded.text;
    for (int v = 0; v < test::kCorpusVariants; ++v) {
      EXPECT_EQ(now.digests[v], recorded.digests[v]) << "variant " << v << ": " << recorded.text;
    }
  }
  // The corpus must not silently shrink.
  EXPECT_GE(lines, 900);
  EXPECT_GE(accepted, 500);
}

}  // namespace
}  // namespace cordavex
