#include "platform/device_profile.h"

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>

namespace cordavex::platform {

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kProfileFile = "device.json";
constexpr int32_t kLargestScreenSide = 2048;
// The OEM information buffer of the phone holds 64 UTF-16 characters.
constexpr size_t kModelUnits = 64;

constexpr const char* kStandardFolders[] = {
    "Windows", "Program Files/Cordavex", "Temp", "Storage Card", "My Documents",
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

Status Invalid(std::string_view key, std::string_view problem) {
  return Status::InvalidArgument(std::string(key) + ": " + std::string(problem));
}

// 1 to 4 hexadecimal digits, not all zero.
bool ParseLanguageDigits(std::string_view text, uint16_t* language) {
  if (text.empty() || text.size() > 4) return false;
  uint32_t value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  if (value == 0) return false;
  *language = static_cast<uint16_t>(value);
  return true;
}

// "MAJOR.MINOR", each a number of one to three digits.
bool ParseCeVersion(std::string_view text, uint32_t* major, uint32_t* minor) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return false;
  const auto number = [](std::string_view digits, uint32_t* out) {
    if (digits.empty() || digits.size() > 3) return false;
    uint32_t value = 0;
    for (char c : digits) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    *out = value;
    return true;
  };
  return number(text.substr(0, dot), major) && number(text.substr(dot + 1), minor);
}

// The model cut to what the phone's buffer holds, never inside a surrogate pair.
std::string CutModel(const std::string& model) {
  std::u16string units = Utf16(model);
  if (units.size() <= kModelUnits) return model;
  size_t keep = kModelUnits;
  if (units[keep - 1] >= 0xD800 && units[keep - 1] <= 0xDBFF) --keep;
  units.resize(keep);
  return Utf8(units);
}

Status ReadInteger(const Json& value, std::string_view key, int32_t low, int32_t high,
                   int32_t* out) {
  if (!value.is_number_integer()) return Invalid(key, "expected a whole number");
  const int64_t number = value.get<int64_t>();
  if (number < low || number > high) {
    return Invalid(key, std::to_string(number) + " is outside " + std::to_string(low) + ".." +
                            std::to_string(high));
  }
  *out = static_cast<int32_t>(number);
  return Status::Ok();
}

Status ReadScreen(const Json& screen, DeviceProfile* profile) {
  if (!screen.is_object()) return Invalid("screen", "expected an object {\"width\": W, \"height\": H}");
  for (const auto& [key, value] : screen.items()) {
    if (key == "width") {
      if (Status s = ReadInteger(value, "screen.width", 1, kLargestScreenSide,
                                 &profile->screenWidth);
          !s.ok()) {
        return s;
      }
    } else if (key == "height") {
      if (Status s = ReadInteger(value, "screen.height", 1, kLargestScreenSide,
                                 &profile->screenHeight);
          !s.ok()) {
        return s;
      }
    } else {
      return Invalid("screen." + key, "unknown key (screen has width and height)");
    }
  }
  return Status::Ok();
}

// The same failure with a prefix saying what it stopped.
Status Prefixed(const Status& status, const std::string& prefix) {
  const std::string message = prefix + status.message();
  switch (status.code()) {
    case Status::Code::kOk: return status;
    case Status::Code::kNotFound: return Status::NotFound(message);
    case Status::Code::kInvalidArgument: return Status::InvalidArgument(message);
    case Status::Code::kIoError: return Status::IoError(message);
    case Status::Code::kInjectedFault: return Status::InjectedFault(message);
  }
  return Status::IoError(message);
}

}  // namespace

bool DeviceProfile::smartphone() const { return EqualsIgnoringCase(platform, "Smartphone"); }

bool ParseUiLanguage(std::string_view text, uint16_t* language) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
  return ParseLanguageDigits(text, language);
}

bool UiLanguageFromEnvironment(uint16_t* language) {
  const char* value = std::getenv("CORDAVEX_UI_LANGUAGE");
  return value != nullptr && ParseUiLanguage(value, language);
}

Status ParseDeviceProfile(std::string_view json, DeviceProfile* profile) {
  Json document;
  try {
    document = Json::parse(json.begin(), json.end());
  } catch (const Json::exception& e) {
    // A syntax error, or a number too large for a double ("1E774"):
    // "[json.exception.parse_error.101] parse error at line 1, ..." without its tag.
    std::string what = e.what();
    if (const size_t tag = what.find("] "); tag != std::string::npos) what.erase(0, tag + 2);
    return Status::InvalidArgument(what);
  }
  if (!document.is_object()) return Status::InvalidArgument("expected a JSON object {...}");

  // Parsed into a copy, so that a failure leaves *profile as it was.
  DeviceProfile parsed = *profile;
  for (const auto& [key, value] : document.items()) {
    if (key == "model") {
      if (!value.is_string()) return Invalid(key, "expected a string");
      parsed.model = CutModel(value.get<std::string>());
    } else if (key == "platform") {
      if (!value.is_string()) return Invalid(key, "expected a string such as \"PocketPC\"");
      parsed.platform = value.get<std::string>();
    } else if (key == "ceVersion") {
      // A string, not a number: as a number 5.10 would read as 5.1.
      if (!value.is_string() ||
          !ParseCeVersion(value.get<std::string>(), &parsed.ceMajor, &parsed.ceMinor)) {
        return Invalid(key, "expected a version string such as \"5.2\"");
      }
    } else if (key == "screen") {
      if (Status s = ReadScreen(value, &parsed); !s.ok()) return s;
    } else if (key == "orientation") {
      if (!value.is_number_integer()) return Invalid(key, "expected 0, 1, 2 or 4");
      const int64_t orientation = value.get<int64_t>();
      if (orientation != 0 && orientation != 1 && orientation != 2 && orientation != 4) {
        return Invalid(key, std::to_string(orientation) + " is not one of 0, 1, 2, 4");
      }
      parsed.orientation = static_cast<int32_t>(orientation);
    } else if (key == "uiLanguage") {
      if (!value.is_string() || !ParseLanguageDigits(value.get<std::string>(), &parsed.uiLanguage)) {
        return Invalid(key, "expected 1 to 4 hexadecimal digits such as \"0404\"");
      }
    } else {
      return Invalid(key,
                     "unknown key (known: model, platform, ceVersion, screen, orientation, "
                     "uiLanguage)");
    }
  }
  *profile = std::move(parsed);
  return Status::Ok();
}

std::string FormatDeviceProfile(const DeviceProfile& profile) {
  char language[8];
  std::snprintf(language, sizeof language, "%04x", static_cast<unsigned>(profile.uiLanguage));
  Json document;
  document["model"] = profile.model;
  document["platform"] = profile.platform;
  document["ceVersion"] = std::to_string(profile.ceMajor) + "." + std::to_string(profile.ceMinor);
  document["screen"] = Json{{"width", profile.screenWidth}, {"height", profile.screenHeight}};
  document["orientation"] = profile.orientation;
  document["uiLanguage"] = language;
  // Replacing invalid UTF-8 rather than throwing: the model may come from anywhere.
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

Status LoadDeviceProfile(Device& device, DeviceProfile* profile) {
  *profile = DeviceProfile();
  Status status;
  std::string text;
  const Status read = device.ReadFile(kProfileFile, &text);
  if (read.IsNotFound()) {
    const Status written = device.WriteFile(kProfileFile, FormatDeviceProfile(*profile));
    if (!written.ok()) status = Prefixed(written, "cannot write the default profile: ");
  } else if (!read.ok()) {
    status = read;
  } else if (Status parsed = ParseDeviceProfile(text, profile); !parsed.ok()) {
    // The file stays as the person wrote it, to be mended; the program runs
    // on the defaults meanwhile.
    *profile = DeviceProfile();
    status = Status::InvalidArgument(std::string(kProfileFile) + ": " + parsed.message());
  }
  if (uint16_t language = 0; UiLanguageFromEnvironment(&language)) {
    profile->uiLanguage = language;
  } else if (const char* value = std::getenv("CORDAVEX_UI_LANGUAGE"); value != nullptr && status.ok()) {
    // Said once, so that a mistyped language is not silently the default.
    status = Status::InvalidArgument(std::string("CORDAVEX_UI_LANGUAGE is no language id (hexadecimal, "
                                                 "such as 0404): ") + value);
  }
  return status;
}

Status PrepareDeviceRoot(Device& device) {
  for (const char* folder : kStandardFolders) {
    if (Status s = device.MakeFolders(folder); !s.ok()) {
      return Prefixed(s, "device root unusable: ");
    }
  }
  return Status::Ok();
}

}  // namespace cordavex::platform
