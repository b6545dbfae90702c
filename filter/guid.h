// Globally unique identifiers of the COM classes, interfaces and DirectShow
// media types the camera filter deals in, with their public values.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace cordavex::filter {

struct Guid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  std::array<uint8_t, 8> data4{};

  friend bool operator==(const Guid&, const Guid&) = default;
};

// "{45C247BA-D8C4-4894-91A1-0C62F025FB40}": upper-case, braced, as the
// registry spells class identifiers.
std::string ToString(const Guid& guid);

// A media subtype made from a four-character code, {XXXXXXXX-0000-0010-8000-00AA00389B71}.
constexpr Guid FourccGuid(char a, char b, char c, char d) {
  return {static_cast<uint32_t>(static_cast<uint8_t>(a)) |
              static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
              static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
              static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24,
          0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

// The RGB subtypes {E436EB7x-524F-11CE-9F53-0020AF0BA770}.
constexpr Guid RgbGuid(uint32_t data1) {
  return {data1, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
}

constexpr Guid kGuidNull{};

// The filter's class and its private rotation interface.
constexpr Guid kClsidCvDSFilter{0x45C247BA, 0xD8C4, 0x4894,
                                {0x91, 0xA1, 0x0C, 0x62, 0xF0, 0x25, 0xFB, 0x40}};
constexpr Guid kIidCvRotation{0x6C074C34, 0xDD74, 0x4D7D,
                              {0xB7, 0x7A, 0xDD, 0x4B, 0x5E, 0x31, 0x42, 0x13}};

// COM and DirectShow interfaces.
constexpr Guid kIidIUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid kIidIClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr Guid kIidIBaseFilter{0x56A86895, 0x0AD4, 0x11CE,
                               {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

// Media major type and format type.
constexpr Guid kMediaTypeVideo = FourccGuid('v', 'i', 'd', 's');
constexpr Guid kFormatVideoInfo{0x05589F80, 0xC356, 0x11CE,
                                {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// Media subtypes.
constexpr Guid kSubtypeYV12 = FourccGuid('Y', 'V', '1', '2');
constexpr Guid kSubtypeYuv420 = {0xDBC52D66, 0x2B95, 0x4370,
                                 {0x9F, 0xF0, 0x3C, 0x41, 0xCC, 0xAE, 0xE8, 0x38}};
constexpr Guid kSubtypeYVU9 = FourccGuid('Y', 'V', 'U', '9');
constexpr Guid kSubtypeY411 = FourccGuid('Y', '4', '1', '1');
constexpr Guid kSubtypeY41P = FourccGuid('Y', '4', '1', 'P');
constexpr Guid kSubtypeYUY2 = FourccGuid('Y', 'U', 'Y', '2');
constexpr Guid kSubtypeYVYU = FourccGuid('Y', 'V', 'Y', 'U');
constexpr Guid kSubtypeUYVY = FourccGuid('U', 'Y', 'V', 'Y');
constexpr Guid kSubtypeY211 = FourccGuid('Y', '2', '1', '1');
constexpr Guid kSubtypeRGB1 = RgbGuid(0xE436EB78);
constexpr Guid kSubtypeRGB4 = RgbGuid(0xE436EB79);
constexpr Guid kSubtypeRGB8 = RgbGuid(0xE436EB7A);
constexpr Guid kSubtypeRGB565 = RgbGuid(0xE436EB7B);
constexpr Guid kSubtypeRGB555 = RgbGuid(0xE436EB7C);
constexpr Guid kSubtypeRGB24 = RgbGuid(0xE436EB7D);
constexpr Guid kSubtypeRGB32 = RgbGuid(0xE436EB7E);

}  // namespace cordavex::filter
