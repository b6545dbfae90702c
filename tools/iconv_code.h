// Build-tool helper: the Unicode value of one double-byte code in an iconv
// character set, or -1 when the set leaves the code undefined (or maps it outside
// the Basic Multilingual Plane, which a 16-bit table cannot hold).
#pragma once

#include <iconv.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace cordavex::tools {

class IconvCode {
 public:
  explicit IconvCode(const char* charset) : cd_(iconv_open("UTF-16LE", charset)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      std::fprintf(stderr, "cannot open iconv converter from %s\n", charset);
      std::exit(1);
    }
  }
  ~IconvCode() { iconv_close(cd_); }
  IconvCode(const IconvCode&) = delete;
  IconvCode& operator=(const IconvCode&) = delete;

  int32_t Convert(uint8_t lead, uint8_t trail) {
    char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    char out[8];
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = sizeof in;
    size_t outLeft = sizeof out;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0 ||
        outPtr - out != 2) {
      return -1;
    }
    return static_cast<uint8_t>(out[0]) | static_cast<uint8_t>(out[1]) << 8;
  }

 private:
  iconv_t cd_;
};

}  // namespace cordavex::tools
