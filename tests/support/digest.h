// FNV-1a, 64 bits, for tests that pin what a piece of the system returns on a
// fixed corpus: stable across builds and machines.
//
// Test-only code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace cordavex::test {

class Digest {
 public:
  void Add(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (size_t i = 0; i < size; ++i) {
      hash_ ^= p[i];
      hash_ *= 0x100000001b3ULL;
    }
  }
  void AddInt(int64_t v) { Add(&v, sizeof v); }
  void AddText(std::u16string_view s) {
    AddInt(static_cast<int64_t>(s.size()));
    Add(s.data(), s.size() * sizeof(char16_t));
  }
  void AddBytes(std::span<const uint8_t> s) {
    AddInt(static_cast<int64_t>(s.size()));
    Add(s.data(), s.size());
  }
  uint64_t value() const { return hash_; }

 private:
  uint64_t hash_ = 0xcbf29ce484222325ULL;
};

}  // namespace cordavex::test
