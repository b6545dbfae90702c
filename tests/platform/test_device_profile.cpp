// The device profile in device.json: its defaults written on first start,
// strict reading with messages that name the key, the language override, and
// the device root's standard folders.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/device_fixture.h"
#include "platform/device_profile.h"
#include "platform/linux_device.h"
#include "platform/memory_device.h"

namespace cordavex::platform {
namespace {

// Sets or clears CORDAVEX_UI_LANGUAGE for one test, restoring it afterwards.
class ScopedLanguageVariable {
 public:
  explicit ScopedLanguageVariable(const char* value) {
    if (const char* old = std::getenv(kName)) saved_ = old, had_ = true;
    if (value != nullptr) {
      ::setenv(kName, value, 1);
    } else {
      ::unsetenv(kName);
    }
  }
  ~ScopedLanguageVariable() {
    if (had_) {
      ::setenv(kName, saved_.c_str(), 1);
    } else {
      ::unsetenv(kName);
    }
  }

 private:
  static constexpr const char* kName = "CORDAVEX_UI_LANGUAGE";
  std::string saved_;
  bool had_ = false;
};

TEST(DeviceProfile, ReadsEveryKey) {
  DeviceProfile profile;
  const Status s = ParseDeviceProfile(
      R"({"model": "O2 Xda Zinc", "platform": "smartphone", "ceVersion": "5.1",
          "screen": {"width": 480, "height": 640}, "orientation": 4, "uiLanguage": "804"})",
      &profile);
  ASSERT_TRUE(s.ok()) << s.ToString();
  EXPECT_EQ(profile.model, "O2 Xda Zinc");
  EXPECT_TRUE(profile.smartphone());  // compared without case
  EXPECT_EQ(profile.ceMajor, 5u);
  EXPECT_EQ(profile.ceMinor, 1u);
  EXPECT_EQ(profile.screenWidth, 480);
  EXPECT_EQ(profile.screenHeight, 640);
  EXPECT_EQ(profile.orientation, 4);
  EXPECT_EQ(profile.uiLanguage, 0x0804);
}

TEST(DeviceProfile, MissingKeysKeepTheirDefaults) {
  DeviceProfile profile;
  ASSERT_TRUE(ParseDeviceProfile(R"({"screen": {"height": 480}})", &profile).ok());
  EXPECT_EQ(profile.model, "Linux");
  EXPECT_FALSE(profile.smartphone());
  EXPECT_EQ(profile.screenWidth, 240);
  EXPECT_EQ(profile.screenHeight, 480);
  EXPECT_EQ(profile.uiLanguage, 0x0404);
  EXPECT_EQ(profile.ceMajor * 10 + profile.ceMinor, 52u);
}

TEST(DeviceProfile, FormatReadsBackTheSame) {
  DeviceProfile profile;
  profile.model = "HTC_S710 \"quoted\" 中文";
  profile.platform = "Smartphone";
  profile.ceMinor = 1;
  profile.screenWidth = 320;
  profile.screenHeight = 240;
  profile.orientation = 1;
  profile.uiLanguage = 0x040c;
  const std::string text = FormatDeviceProfile(profile);
  EXPECT_NE(text.find("\"uiLanguage\": \"040c\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"ceVersion\": \"5.1\""), std::string::npos) << text;
  DeviceProfile back;
  ASSERT_TRUE(ParseDeviceProfile(text, &back).ok()) << text;
  EXPECT_EQ(FormatDeviceProfile(back), text);
  EXPECT_EQ(back.model, profile.model);
}

TEST(DeviceProfile, ErrorsNameTheKey) {
  const struct {
    const char* json;
    const char* expected;  // part of the message
  } cases[] = {
      {R"({"model": 5})", "model: expected a string"},
      {R"({"platform": null})", "platform: expected a string"},
      {R"({"ceVersion": 5.2})", "ceVersion: expected a version string"},
      {R"({"ceVersion": "5"})", "ceVersion"},
      {R"({"ceVersion": "5.x"})", "ceVersion"},
      {R"({"screen": [240, 320]})", "screen: expected an object"},
      {R"({"screen": {"width": 0}})", "screen.width: 0 is outside 1..2048"},
      {R"({"screen": {"height": 4096}})", "screen.height: 4096 is outside 1..2048"},
      {R"({"screen": {"width": 240.5}})", "screen.width: expected a whole number"},
      {R"({"screen": {"depth": 16}})", "screen.depth: unknown key"},
      {R"({"orientation": 3})", "orientation: 3 is not one of 0, 1, 2, 4"},
      {R"({"orientation": "90"})", "orientation: expected 0, 1, 2 or 4"},
      {R"({"uiLanguage": "04040"})", "uiLanguage: expected 1 to 4 hexadecimal digits"},
      {R"({"uiLanguage": "zz"})", "uiLanguage"},
      {R"({"uiLanguage": 404})", "uiLanguage"},
      {R"({"uiLanguage": "0000"})", "uiLanguage"},
      {R"({"uiLangauge": "0404"})", "uiLangauge: unknown key"},
      {R"([1, 2])", "expected a JSON object"},
      {R"({"model": "x",})", "parse error"},
      {"", "parse error"},
      {R"({"orientation": 1E774})", "number overflow"},  // past a double's range
      {"{\"model\": \"\xff\"}", "parse error"},  // not UTF-8
  };
  for (const auto& c : cases) {
    DeviceProfile profile;
    profile.model = "kept";
    const Status s = ParseDeviceProfile(c.json, &profile);
    EXPECT_EQ(s.code(), Status::Code::kInvalidArgument) << c.json;
    EXPECT_NE(s.message().find(c.expected), std::string::npos) << c.json << " -> " << s.message();
    EXPECT_EQ(profile.model, "kept") << c.json;  // a failed parse changes nothing
  }
}

TEST(DeviceProfile, LongModelIsCutAsThePhoneBufferWould) {
  const struct {
    std::string model;
    std::string expected;
  } cases[] = {
      {std::string(64, 'a'), std::string(64, 'a')},
      {std::string(70, 'b'), std::string(64, 'b')},
      // Characters, not bytes: 70 CJK characters keep 64.
      {[] { std::string s; for (int i = 0; i < 70; ++i) s += "中"; return s; }(),
       [] { std::string s; for (int i = 0; i < 64; ++i) s += "中"; return s; }()},
      // A pair of UTF-16 units that would be split at the 64th is dropped whole.
      {std::string(63, 'c') + "😀x", std::string(63, 'c')},
  };
  for (const auto& c : cases) {
    DeviceProfile profile;
    ASSERT_TRUE(ParseDeviceProfile("{\"model\": \"" + c.model + "\"}", &profile).ok());
    EXPECT_EQ(profile.model, c.expected);
  }
}

TEST(DeviceProfile, LanguageOverrideReadsHex) {
  const struct {
    const char* text;
    bool ok;
    uint16_t language;
  } cases[] = {
      {"0404", true, 0x0404}, {"0x0409", true, 0x0409}, {"804", true, 0x0804},
      {"0X0411", true, 0x0411}, {"", false, 0},         {"0", false, 0},
      {"12345", false, 0},     {"04 04", false, 0},    {"0x", false, 0},
  };
  for (const auto& c : cases) {
    uint16_t language = 0;
    EXPECT_EQ(ParseUiLanguage(c.text, &language), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(language, c.language) << c.text;
    }
  }
}

TEST(DeviceProfile, FirstLoadWritesTheDefaults) {
  ScopedLanguageVariable unset(nullptr);
  MemoryDevice device;
  DeviceProfile profile;
  profile.model = "stale";
  ASSERT_TRUE(LoadDeviceProfile(device, &profile).ok());
  EXPECT_EQ(profile.model, "Linux");
  std::string text;
  ASSERT_TRUE(device.ReadFile("device.json", &text).ok());
  EXPECT_EQ(text, FormatDeviceProfile(DeviceProfile()));
  // A person's edit is what the next start reads.
  ASSERT_TRUE(device.WriteFile("device.json", R"({"model": "ASUS P305", "uiLanguage": "0409"})").ok());
  ASSERT_TRUE(LoadDeviceProfile(device, &profile).ok());
  EXPECT_EQ(profile.model, "ASUS P305");
  EXPECT_EQ(profile.uiLanguage, 0x0409);
}

TEST(DeviceProfile, MalformedFileIsReportedAndLeftAlone) {
  ScopedLanguageVariable unset(nullptr);
  MemoryDevice device;
  const std::string broken = R"({"model": "Kaiser", "orientation": 3})";
  ASSERT_TRUE(device.WriteFile("device.json", broken).ok());
  DeviceProfile profile;
  const Status s = LoadDeviceProfile(device, &profile);
  EXPECT_EQ(s.code(), Status::Code::kInvalidArgument);
  EXPECT_EQ(s.message(), "device.json: orientation: 3 is not one of 0, 1, 2, 4");
  EXPECT_EQ(profile.model, "Linux");  // the defaults, not half of the file
  std::string text;
  ASSERT_TRUE(device.ReadFile("device.json", &text).ok());
  EXPECT_EQ(text, broken);
}

TEST(DeviceProfile, EnvironmentOverridesTheLanguage) {
  MemoryDevice device;
  ASSERT_TRUE(device.WriteFile("device.json", R"({"uiLanguage": "0409"})").ok());
  DeviceProfile profile;
  {
    ScopedLanguageVariable language("0804");
    ASSERT_TRUE(LoadDeviceProfile(device, &profile).ok());
    EXPECT_EQ(profile.uiLanguage, 0x0804);
  }
  {
    ScopedLanguageVariable language("not hex");  // unreadable: the file's language stands, and it is said
    const Status status = LoadDeviceProfile(device, &profile);
    EXPECT_FALSE(status.ok());
    EXPECT_NE(status.message().find("CORDAVEX_UI_LANGUAGE"), std::string::npos) << status.message();
    EXPECT_EQ(profile.uiLanguage, 0x0409);
  }
}

TEST(DeviceProfile, LinuxDeviceLanguageAgreesWithTheProfile) {
  test::TemporaryFolder folder;
  const std::string root = folder.path() + "/device";
  {
    ScopedLanguageVariable unset(nullptr);
    std::unique_ptr<LinuxDevice> device;
    ASSERT_TRUE(LinuxDevice::Open(root, &device).ok());
    EXPECT_EQ(device->UiLanguage(), 0x0404);  // no device.json yet
  }
  std::ofstream(root + "/device.json") << R"({"uiLanguage": "0804"})";
  std::unique_ptr<LinuxDevice> device;
  ASSERT_TRUE(LinuxDevice::Open(root, &device).ok());
  {
    ScopedLanguageVariable unset(nullptr);
    EXPECT_EQ(device->UiLanguage(), 0x0804);
  }
  {
    ScopedLanguageVariable language("0x0409");
    EXPECT_EQ(device->UiLanguage(), 0x0409);
  }
}

TEST(DeviceProfile, PrepareDeviceRootMakesTheStandardFolders) {
  test::TemporaryFolder folder;
  std::unique_ptr<LinuxDevice> device;
  ASSERT_TRUE(LinuxDevice::Open(folder.path() + "/device", &device).ok());
  ASSERT_TRUE(PrepareDeviceRoot(*device).ok());
  ASSERT_TRUE(PrepareDeviceRoot(*device).ok());  // again: nothing to do
  for (const char* name :
       {"Windows", "Program Files/Cordavex", "Temp", "Storage Card", "My Documents"}) {
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() + "/device/" + name)) << name;
  }
}

TEST(DeviceProfile, UnusableDeviceRootSaysWhy) {
  test::TemporaryFolder folder;
  // A file where the root should be.
  std::ofstream(folder.path() + "/file") << "x";
  std::unique_ptr<LinuxDevice> device;
  Status s = LinuxDevice::Open(folder.path() + "/file", &device);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find("not a folder"), std::string::npos) << s.message();
  s = LinuxDevice::Open(folder.path() + "/file/device", &device);
  EXPECT_FALSE(s.ok());
  EXPECT_NE(s.message().find(folder.path() + "/file"), std::string::npos) << s.message();

  // A file where one of the standard folders should be.
  ASSERT_TRUE(LinuxDevice::Open(folder.path() + "/device", &device).ok());
  std::ofstream(folder.path() + "/device/Temp") << "x";
  s = PrepareDeviceRoot(*device);
  EXPECT_EQ(s.message(), "device root unusable: Temp is a file");
}

}  // namespace
}  // namespace cordavex::platform
