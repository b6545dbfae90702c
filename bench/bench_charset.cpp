// Converting a decoded symbol's text (up to 800 bytes) to UTF-16 in each set,
// through the platform conversion and through the fallbacks.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "decode/charset.h"

namespace {

using cordavex::CharsetOptions;

// About 780 bytes of mixed ASCII and double-byte text in the given set.
std::vector<uint8_t> SampleText(uint32_t charset) {
  std::vector<uint8_t> pair;
  switch (charset) {
    case cordavex::kCharsetShiftJis: pair = {0x82, 0xA0, 0x88, 0x9F}; break;  // hiragana, kanji
    case cordavex::kCharsetBig5: pair = {0xA4, 0x40, 0xB0, 0xA1}; break;
    case cordavex::kCharsetGb2312: pair = {0xB0, 0xA1, 0xD6, 0xD0}; break;
    default: pair = {0xE4, 0xB8, 0xAD, 0xC3, 0xA9}; break;
  }
  std::vector<uint8_t> text;
  while (text.size() < 780) {
    for (uint8_t b : {'N', ':', 'x', ' '}) text.push_back(b);
    text.insert(text.end(), pair.begin(), pair.end());
  }
  return text;
}

void BM_DecodeToUnicode(benchmark::State& state) {
  const auto charset = static_cast<uint32_t>(state.range(0));
  CharsetOptions options;
  options.platformConversion = state.range(1) != 0;
  options.uiLanguage = 0x0409;
  const std::vector<uint8_t> text = SampleText(charset);
  std::vector<char16_t> out(text.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(cordavex::DecodeToUnicode(charset, text, out, options));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_DecodeToUnicode)
    ->ArgNames({"charset", "platform"})
    ->ArgsProduct({{1, 2, 4, 8, 32}, {1, 0}});

}  // namespace
