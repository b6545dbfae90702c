// Content records in tests: the non-empty fields of a record as a map, so that
// a case states exactly the fields it expects and nothing else passes, and the
// device's UI language set for one scope.
//
// Test-only code; the UI language is a process-wide environment variable, so
// tests that set it must not run in parallel threads of one process.
#pragma once

#include <cstdlib>
#include <map>
#include <string>

#include "cordavex/scan_result.h"

namespace cordavex::test {

using Fields = std::map<Field, std::u16string>;

inline Fields NonEmptyFields(const ScanResult& r) {
  Fields out;
  for (int i = 0; i < kFieldCount; ++i) {
    const auto f = static_cast<Field>(i);
    if (!r.Get(f).empty()) out[f] = std::u16string(r.Get(f));
  }
  return out;
}

// Sets CORDAVEX_UI_LANGUAGE ("0409") for one scope and restores it after.
class ScopedUiLanguage {
 public:
  explicit ScopedUiLanguage(const char* value) {
    if (const char* old = std::getenv("CORDAVEX_UI_LANGUAGE")) {
      saved_ = old;
      hadValue_ = true;
    }
    setenv("CORDAVEX_UI_LANGUAGE", value, 1);
  }
  ~ScopedUiLanguage() {
    if (hadValue_) {
      setenv("CORDAVEX_UI_LANGUAGE", saved_.c_str(), 1);
    } else {
      unsetenv("CORDAVEX_UI_LANGUAGE");
    }
  }
  ScopedUiLanguage(const ScopedUiLanguage&) = delete;
  ScopedUiLanguage& operator=(const ScopedUiLanguage&) = delete;

 private:
  std::string saved_;
  bool hadValue_ = false;
};

}  // namespace cordavex::test
