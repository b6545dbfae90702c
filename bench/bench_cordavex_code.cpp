// The Cordavex code generator and grid decoder: a contact card (keywords, text,
// digits) at a few sizes, and a full symbol of bytes at the largest size.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "content/decode_summary.h"
#include "cordavex/cordavex_code.h"
#include "decode/cv_decoder.h"

namespace cordavex {
namespace {

const std::u16string kCard = u"MECARD:N:Doe,John;TEL:0955667788;EMAIL:john@example.com;ADR:台北市;;";

struct Made {
  std::unique_ptr<CordavexGenerator> work = std::make_unique<CordavexGenerator>();
  std::vector<char> map = std::vector<char>(kCordavexMapBytes);
  std::vector<uint8_t> bytes;
  CordavexInput input;
  int kind = kCordavexText;
  int side = 0;
};

// range(0): the smallest side; range(1): 0 the card, 1 bytes filling a 57 at level 0.
void Prepare(Made& m, int side, bool bytes) {
  if (bytes) {
    m.bytes.assign(320, 0);
    for (size_t i = 0; i < m.bytes.size(); ++i) m.bytes[i] = static_cast<uint8_t>(i * 31);
    m.input.data = m.bytes;
    m.kind = kCordavexBytes;
  } else {
    m.input.text = kCard;
  }
  m.side = side;
}

void BM_GenerateCordavexCode(benchmark::State& state) {
  Made m;
  Prepare(m, static_cast<int>(state.range(0)), state.range(1) != 0);
  for (auto _ : state) {
    int size = m.side;
    int parts = 1;
    benchmark::DoNotOptimize(
        GenerateCordavexCode(*m.work, m.map, m.kind, size, 0, m.input, parts));
  }
}

void BM_CvDecodeGrid(benchmark::State& state) {
  Made m;
  Prepare(m, static_cast<int>(state.range(0)), state.range(1) != 0);
  int size = m.side;
  int parts = 1;
  if (GenerateCordavexCode(*m.work, m.map, m.kind, size, 0, m.input, parts) != 1) {
    state.SkipWithError("generation failed");
    return;
  }
  ModuleMatrix grid;
  grid.Clear();
  for (int r = 0; r < size; ++r) {
    for (int c = 0; c < size; ++c) grid.Set(r, c, m.map[static_cast<size_t>(r * kCordavexMapSide + 4 + c)] == '1');
  }
  auto decoder = std::make_unique<CvDecoder>();
  std::array<uint8_t, kDecodedTextBytes> output{};
  std::array<uint8_t, kSecondStringBytes> second{};
  std::array<CvFieldSpan, kCvKeywordCount> fields{};
  for (auto _ : state) {
    benchmark::DoNotOptimize(CvDecodeGrid(*decoder, grid, size, output, second, fields));
  }
  state.counters["side"] = size;
}

BENCHMARK(BM_GenerateCordavexCode)->Args({13, 0})->Args({33, 0})->Args({57, 0})->Args({13, 1});
BENCHMARK(BM_CvDecodeGrid)->Args({13, 0})->Args({33, 0})->Args({57, 0})->Args({13, 1});

}  // namespace
}  // namespace cordavex
