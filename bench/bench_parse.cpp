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

constexpr std::string_view kICalendar =
    "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Example//EN\r\nBEGIN:VEVENT\r\n"
    "UID:1@example.com\r\nDTSTART;TZID=Europe/Berlin:20240115T090000\r\n"
    "DTEND;TZID=Europe/Berlin:20240115T100000\r\nSUMMARY:Team meeting\r\n"
    "LOCATION:Room 4\\, Floor 2\r\nDESCRIPTION:Agenda:\\n1. Budget\\n2. Plans on a line "
    "that is fo\r\n lded here\r\nBEGIN:VALARM\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\n"
    "END:VEVENT\r\nEND:VCALENDAR\r\n";

constexpr std::string_view kMailto =
    "mailto:jane@example.com?cc=team@example.com&subject=Quarterly%20report&"
    "body=Please%20find%20the%20figures%20attached.%0D%0ARegards";

// Taken only on the third reading (trailing line break, then the titled-bookmark
// marker): the cost of the retries.
constexpr std::string_view kTitledBookmark = "2024 News and more\r\nhttps://news.example.com/2024\r\n";

// A feature phone's export: quoted-printable Big5 values, each guessed on its
// decoded bytes.
constexpr std::string_view kQuotedPrintableCard =
    "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE:=A4=FD;=A4=70=A9=FA\r\n"
    "ADR;HOME;ENCODING=QUOTED-PRINTABLE:=A5=78=A5=5F=A5=AB\r\nTEL;CELL:0955667788\r\n"
    "END:VCARD\r\n";

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
    ContentFill fill{record.get(), 2, 0, true};
    FillContentRecord(objects, fill, *pool);
    benchmark::DoNotOptimize(record->fields);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}

BENCHMARK_CAPTURE(ParseOnly, VCard, kVCard);
BENCHMARK_CAPTURE(ParseOnly, MeCard, kMeCard);
BENCHMARK_CAPTURE(ParseAndFill, VCard, kVCard);
BENCHMARK_CAPTURE(ParseAndFill, MeCard, kMeCard);
BENCHMARK_CAPTURE(ParseOnly, ICalendar, kICalendar);
BENCHMARK_CAPTURE(ParseOnly, MailtoUri, kMailto);
BENCHMARK_CAPTURE(ParseOnly, TitledBookmark, kTitledBookmark);
BENCHMARK_CAPTURE(ParseAndFill, ICalendar, kICalendar);
BENCHMARK_CAPTURE(ParseAndFill, MailtoUri, kMailto);
BENCHMARK_CAPTURE(ParseAndFill, QuotedPrintableCard, kQuotedPrintableCard);

}  // namespace
}  // namespace cordavex
