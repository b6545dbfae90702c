// Classifying a decoded symbol's text into the content record: a vCard, a
// MECARD, text the parser does not take (the path every plain-text scan runs),
// an iCalendar event, an sms: URI, a quoted-printable Big5 vCard and plain
// text that the parser reads up to three times.
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
    "BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART:20240301T170000Z\nDTEND:20240301T190000Z\n"
    "LOCATION:Main Hall\nEND:VEVENT",
    "sms:+15105550101;via=x,+15105550102?body=Meet%20at%2010%3A30",
    // Quoted-printable Big5 name: the whole text looks ASCII, the value is
    // guessed on its decoded bytes.
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:=A4=FD;=A4=70=A9=FA\r\n"
    "TEL;CELL:0955667788\r\nEND:VCARD\r\n",
    // Plain text with a trailing line break: the parser's retries all fail.
    "Meet at the station at nine,\r\nbring the tickets and a map of the old town.\r\n",
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
BENCHMARK(BM_ClassifyResult)->DenseRange(0, 6)->ArgNames({"text"});

}  // namespace
