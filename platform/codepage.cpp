#include "platform/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace cordavex::platform {

namespace {

// One row per code page: the iconv names to try, in order.
struct CodePage {
  uint32_t id;
  const char* names[2];
};
constexpr CodePage kCodePages[] = {
    {932, {"CP932", nullptr}},
    {936, {"CP936", "GBK"}},
    {950, {"CP950", "BIG5"}},
};
constexpr int kCodePageCount = static_cast<int>(std::size(kCodePages));

const iconv_t kNotOpened = reinterpret_cast<iconv_t>(-2);
const iconv_t kUnavailable = reinterpret_cast<iconv_t>(-1);

// The converters of one thread, opened on first use and closed with the thread:
// an iconv descriptor carries shift state and may not be shared between threads.
class ConverterCache {
 public:
  ConverterCache() { std::fill(std::begin(handles_), std::end(handles_), kNotOpened); }
  ~ConverterCache() {
    for (iconv_t handle : handles_) {
      if (handle != kNotOpened && handle != kUnavailable) iconv_close(handle);
    }
  }
  ConverterCache(const ConverterCache&) = delete;
  ConverterCache& operator=(const ConverterCache&) = delete;

  iconv_t Get(int slot) {
    iconv_t& handle = handles_[slot];
    if (handle == kNotOpened) {
      handle = kUnavailable;
      for (const char* name : kCodePages[slot].names) {
        if (name == nullptr) break;
        handle = iconv_open("UTF-16LE", name);
        if (handle != kUnavailable) break;
      }
    }
    return handle;
  }

 private:
  iconv_t handles_[kCodePageCount];
};

thread_local ConverterCache converters;

}  // namespace

int MultiByteToWideChar(uint32_t codePage, std::span<const uint8_t> bytes, std::span<char16_t> out) {
  const auto* row = std::find_if(std::begin(kCodePages), std::end(kCodePages),
                                 [codePage](const CodePage& p) { return p.id == codePage; });
  if (row == std::end(kCodePages)) return -1;
  // Seven-bit text reads the same in all three code pages. Most decoded
  // symbols hold nothing else, and opening a converter loads a module (about
  // 0.4 ms, once per process), then each conversion is a library call.
  if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b < 0x80; })) {
    const size_t n = std::min(bytes.size(), out.size());
    std::copy_n(bytes.begin(), n, out.begin());
    return static_cast<int>(n);
  }
  const iconv_t cd = converters.Get(static_cast<int>(row - std::begin(kCodePages)));
  if (cd == kUnavailable) return -1;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state

  // iconv wants a mutable input pointer but never writes through it.
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  size_t inLeft = bytes.size();
  size_t written = 0;
  while (inLeft > 0 && written < out.size()) {
    char chunk[512];
    char* chunkEnd = chunk;
    size_t chunkLeft = std::min(sizeof chunk, (out.size() - written) * 2);
    const size_t result = iconv(cd, &in, &inLeft, &chunkEnd, &chunkLeft);
    const int error = errno;
    const size_t produced = static_cast<size_t>(chunkEnd - chunk) / 2;
    for (size_t k = 0; k < produced; ++k) {
      const auto lo = static_cast<uint8_t>(chunk[2 * k]);
      const auto hi = static_cast<uint8_t>(chunk[2 * k + 1]);
      out[written++] = static_cast<char16_t>(lo | hi << 8);
    }
    if (result != static_cast<size_t>(-1)) continue;
    if (error == E2BIG && produced > 0) continue;  // the chunk was full
    if (error == E2BIG) break;                     // `out` cannot take the next character
    // EILSEQ (not valid in the code page) or EINVAL (cut off by the end).
    std::fill_n(out.begin(), written, u'\0');
    return -1;
  }
  return static_cast<int>(written);
}

}  // namespace cordavex::platform
