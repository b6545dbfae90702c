// The platform's code-page conversion (the phone's MultiByteToWideChar for the
// East Asian code pages), here through iconv.
//
// Code pages 932 (Shift-JIS, iconv "CP932"), 936 (GBK, "CP936") and 950 (Big5,
// "CP950", else "BIG5"). A converter that cannot be opened behaves as "no such
// code page". Converters are opened once per thread and kept for that thread's
// life, so a call allocates nothing after the first; safe from any thread.
#pragma once

#include <cstdint>
#include <span>

namespace cordavex::platform {

// Converts `bytes` in `codePage` to UTF-16 in `out` and returns the units written
// (stopping quietly when `out` is full), or -1 when the code page is unknown or the
// bytes are not valid in it (an invalid or incomplete sequence). Nothing past the
// returned count is written on success; on failure every unit it had written is
// zero again.
int MultiByteToWideChar(uint32_t codePage, std::span<const uint8_t> bytes,
                        std::span<char16_t> out);

}  // namespace cordavex::platform
