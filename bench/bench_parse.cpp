#include <benchmark/benchmark.h>

#include <memory>
#include <string_view>

#include "content/parser.h"
#include "content/record_fill.h"

namespace cordavex {
namespace {

constexpr std::string_view kVCard =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN:Doe;John;;Mr.;\r\nFN:John Doe\r\n"
    "ORG:Acme Corporation;Sales\r\nTITLE:Sales Manager\r\n"
    "TEL;WORK;VOICE:+886-2-2345-6789\r\nTEL;CELL:0955667788\r\nTEL;WORK;FAX:+886-2-2345-6790\r\n"
    "ADR;WORK:;;No. 1, Sec. 5, Xinyi Rd.;Xinyi District;Taipei;110;Taiwan\r\n"
    "EMAIL;INTERNET:john.doe@acme.example\r\nURL:http://www.acme.example\r\n"
    "NOTE;ENCODING=QUOTED-PRINTABLE:Met at the trade fair =E2=80=94 call back\r\n"
    "END:VCARD\r\n";

constexpr std::string_view kMeCard =
    "MECARD:N:Doe,John;TEL:0955667788;EMAIL:john.doe@acme.example;"
    "ADR:,,No. 1 Xinyi Rd.,Taipei,,110,Taiwan;URL:http://www.acme.example;NOTE:Sales;;";

void ParseOnly(benchmark::State& state, std::string_view text) {
  auto pool = std::make_unique<ParsePool>();
  const ContentObject* objects = nullptr;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseContent(text, *pool, &objects));
    benchmark::DoNotOptimize(objects);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.counters["poolBytes"] = pool->used;
}

void ParseAndFill(benchmark::State& state, std::string_view text) {
  auto pool = std::make_unique<ParsePool>();
  auto record = std::make_unique<ScanResult>();
  const ContentObject* objects = nullptr;
  for (auto _ : state) {
    ParseContent(text, *pool, &objects);
    record->Clear();
    ContentFill fill{record.get(), 2, 0};
    FillContentRecord(objects, fill, *pool);
    benchmark::DoNotOptimize(record->fields);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK_CAPTURE(ParseOnly, VCard, kVCard);
BENCHMARK_CAPTURE(ParseOnly, MeCard, kMeCard);
BENCHMARK_CAPTURE(ParseAndFill, VCard, kVCard);
BENCHMARK_CAPTURE(ParseAndFill, MeCard, kMeCard);

}  // namespace
}  // namespace cordavex
