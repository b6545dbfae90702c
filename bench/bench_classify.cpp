// Classifying a decoded symbol's text into the content record: a vCard, a
// MECARD and text the parser does not take (the path every plain-text scan runs).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>

#include "content/classify.h"

namespace {

const char* const kTexts[] = {
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John\r\nFN:John Doe\r\nTEL;CELL:0955667788\r\n"
    "TEL;WORK;FAX:0222334455\r\nEMAIL:john@example.com\r\nADR;WORK:;;1 Main St;Taipei;;100;TW\r\n"
    "ORG:Acme;R&D\r\nEND:VCARD",
    "MECARD:N:Doe,John;TEL:0955667788;EMAIL:john@example.com;ADR:1 Main St;;",
    "Meet at the station at nine, bring the tickets and a map of the old town.",
};

void BM_ClassifyResult(benchmark::State& state) {
  const std::string text = kTexts[state.range(0)];
  auto buffer = std::make_unique<uint8_t[]>(cordavex::kDecodedTextBytes);
  std::memcpy(buffer.get(), text.data(), text.size());
  cordavex::ClassifyInput input;
  input.summary.contentKind = 16;  // the QR locator's kind for text with ":" or " "
  input.summary.text = buffer.get();
  input.lockedKind = cordavex::kLockQr;
  auto pool = std::make_unique<cordavex::ParsePool>();
  auto result = std::make_unique<cordavex::ScanResult>();
  for (auto _ : state) {
    cordavex::ClassifyResult(input, *result, *pool);
    benchmark::DoNotOptimize(result->contentType);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ClassifyResult)->DenseRange(0, 2)->ArgNames({"text"});

}  // namespace
