// QrEncode beside libqrencode on the same inputs: a short URL (the usual
// generated card or link) and a full version 40-L byte symbol (the worst case:
// 3706 codewords placed and scored under eight masks).
#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <memory>
#include <random>
#include <string>

#include "cordavex/qr_encoder.h"

namespace cordavex {
namespace {

const std::string kShortUrl = "https://www.example.com/cordavex?item=12345";

std::string FullVersion40Bytes() {
  std::mt19937 rng(40);
  std::string text(2953, '\0');  // 40-L byte capacity
  for (char& ch : text) ch = static_cast<char>(rng() & 0xFF);
  return text;
}

void RunCordavex(benchmark::State& state, const std::string& text, int level, int mask) {
  auto context = std::make_unique<QrEncoder>();
  for (auto _ : state) {
    const int ok = QrEncode(*context, level, 0, 0, mask, text.data(), static_cast<int>(text.size()));
    benchmark::DoNotOptimize(ok);
    benchmark::DoNotOptimize(context->matrix);
  }
  state.counters["version"] = context->version;
  state.counters["contextBytes"] = sizeof(QrEncoder);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void RunLibqrencode(benchmark::State& state, const std::string& text, QRecLevel level) {
  int width = 0;
  for (auto _ : state) {
    QRcode* code = QRcode_encodeData(static_cast<int>(text.size()),
                                     reinterpret_cast<const unsigned char*>(text.data()), 0, level);
    benchmark::DoNotOptimize(code);
    width = code != nullptr ? code->width : 0;
    QRcode_free(code);
  }
  state.counters["version"] = (width - 17) / 4;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_QrEncodeShortUrl(benchmark::State& state) { RunCordavex(state, kShortUrl, kQrLevelM, -1); }
void BM_QrEncodeShortUrlFixedMask(benchmark::State& state) {
  RunCordavex(state, kShortUrl, kQrLevelM, 0);
}
void BM_LibqrencodeShortUrl(benchmark::State& state) {
  RunLibqrencode(state, kShortUrl, QR_ECLEVEL_M);
}
void BM_QrEncodeVersion40(benchmark::State& state) {
  RunCordavex(state, FullVersion40Bytes(), kQrLevelL, -1);
}
void BM_QrEncodeVersion40FixedMask(benchmark::State& state) {
  RunCordavex(state, FullVersion40Bytes(), kQrLevelL, 0);
}
void BM_LibqrencodeVersion40(benchmark::State& state) {
  RunLibqrencode(state, FullVersion40Bytes(), QR_ECLEVEL_L);
}

BENCHMARK(BM_QrEncodeShortUrl);
BENCHMARK(BM_QrEncodeShortUrlFixedMask);
BENCHMARK(BM_LibqrencodeShortUrl);
BENCHMARK(BM_QrEncodeVersion40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QrEncodeVersion40FixedMask)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibqrencodeVersion40)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace cordavex
