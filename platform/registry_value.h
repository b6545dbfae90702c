// A typed registry value, held as the phone's registry holds it: the type code
// and the data bytes exactly as RegQueryValueEx would return them (a DWORD as
// four little-endian bytes, a string as UTF-16LE with its terminating zero, a
// multi-string as zero-terminated UTF-16LE strings followed by one more zero).
// Keeping the bytes lets a reader ask for a type other than the stored one and
// be told so, as the system's own code does, and lets a store keep them as is.
//
// A plain value; no shared state.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cordavex::platform {

// The Win32 type codes.
enum class RegistryType : uint32_t {
  kString = 1,       // REG_SZ
  kBinary = 3,       // REG_BINARY
  kDword = 4,        // REG_DWORD
  kMultiString = 7,  // REG_MULTI_SZ
};

// True for the four types above.
bool IsRegistryType(uint32_t code);
// "REG_SZ", "REG_BINARY", "REG_DWORD", "REG_MULTI_SZ".
const char* RegistryTypeName(RegistryType type);

struct RegistryValue {
  RegistryType type = RegistryType::kBinary;
  std::vector<uint8_t> data;

  static RegistryValue Dword(uint32_t value);
  static RegistryValue String(std::u16string_view text);
  static RegistryValue Binary(std::vector<uint8_t> bytes);
  static RegistryValue MultiString(const std::vector<std::u16string>& strings);

  // Each reader returns false (and leaves *out alone) when the value is of
  // another type or its bytes do not hold one (a DWORD of other than 4 bytes).
  // A string without its terminating zero is read up to its end, and one with
  // an odd byte count loses the last byte, as lenient readers do.
  bool AsDword(uint32_t* out) const;
  bool AsString(std::u16string* out) const;
  bool AsMultiString(std::vector<std::u16string>* out) const;

  friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

}  // namespace cordavex::platform
