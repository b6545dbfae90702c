// Writes the table files "Cordavex.BIG5.PLUGIN" and "Cordavex.GB2312.PLUGIN" from
// iconv's BIG5 and GB2312 mappings into each folder given, in the index order and
// with the XOR constants of decode/charset_tables.h. Where two codes share an
// index the later code wins (the hanzi over the undefined tail of the row before
// them); positions no code defines hold U+FFFD.
//
// Usage: make_charset_files FOLDER...
#include <cstdio>
#include <string>
#include <vector>

#include "decode/charset_tables.h"
#include "tools/iconv_code.h"

namespace tables = cordavex::charset_tables;

namespace {

struct TrailRange {
  uint8_t first;
  uint8_t last;
};

std::vector<uint16_t> BuildTable(const tables::TableFile& file, const char* charset, uint8_t firstLead,
                                 uint8_t lastLead, std::vector<TrailRange> trails,
                                 uint32_t (*indexOf)(uint8_t, uint8_t)) {
  cordavex::tools::IconvCode converter(charset);
  std::vector<int32_t> values(static_cast<size_t>(file.entries), -1);
  for (int lead = firstLead; lead <= lastLead; ++lead) {
    for (const TrailRange& range : trails) {
      for (int trail = range.first; trail <= range.last; ++trail) {
        const int32_t value = converter.Convert(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
        const uint32_t index = indexOf(static_cast<uint8_t>(lead), static_cast<uint8_t>(trail));
        if (value >= 0 && index < values.size()) values[index] = value;
      }
    }
  }
  std::vector<uint16_t> table(values.size());
  for (size_t i = 0; i < values.size(); ++i) {
    table[i] = static_cast<uint16_t>(values[i] >= 0 ? values[i] : tables::kTableUndefined);
  }
  return table;
}

bool WriteFile(const std::string& folder, const tables::TableFile& file, const std::vector<uint16_t>& table) {
  const std::string path = folder + "/" + file.name;
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) {
    std::perror(path.c_str());
    return false;
  }
  std::vector<unsigned char> bytes;
  bytes.reserve(table.size() * 2);
  for (size_t i = 0; i < table.size(); ++i) {
    const uint16_t stored = tables::XorEntry(file, static_cast<uint32_t>(i), table[i]);
    bytes.push_back(static_cast<unsigned char>(stored & 0xFF));
    bytes.push_back(static_cast<unsigned char>(stored >> 8));
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (std::fclose(out) != 0 || !ok) {
    std::fprintf(stderr, "%s: write failed\n", path.c_str());
    std::remove(path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER...\n", argv[0]);
    return 2;
  }
  const std::vector<uint16_t> big5 =
      BuildTable(tables::kBig5File, "BIG5", 0xA1, 0xF9, {{0x40, 0x7E}, {0xA1, 0xFE}}, tables::Big5Index);
  const std::vector<uint16_t> gb2312 =
      BuildTable(tables::kGb2312File, "GB2312", 0xA1, 0xF7, {{0xA1, 0xFE}}, tables::Gb2312Index);
  for (int i = 1; i < argc; ++i) {
    if (!WriteFile(argv[i], tables::kBig5File, big5) || !WriteFile(argv[i], tables::kGb2312File, gb2312)) return 1;
  }
  return 0;
}
