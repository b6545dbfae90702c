// The device-class table and the filter's rotation set-up by device.
#include <gtest/gtest.h>

#include "app/device_identity.h"

namespace cordavex::app {
namespace {

constexpr CeVersion kCe52{5, 2};
constexpr CeVersion kCe51{5, 1};

struct ClassCase {
  std::u16string_view model;
  std::optional<CeVersion> version;
  int32_t deviceClass;
};

TEST(DeviceClass, EveryRowOfTheTable) {
  const ClassCase cases[] = {
      {u"ASUS P305", kCe52, 3},
      {u"asus aries", kCe52, 3},  // whole-string matches ignore case
      {u"Asus P535", kCe52, 1},
      {u"Asus Corp", kCe52, 1},
      {u"Asus P526", kCe52, 1},
      {u"Asus P525", kCe52, 1},
      {u"ASUS P750", kCe52, 4},
      {u"Asus Mars", kCe52, 2},
      {u"Asus P735", kCe52, 2},          // contains "Asus P73"
      {u"My ASUS P739 phone", kCe52, 2},  // anywhere, any case
      {u"O2 Xda Atom Exec", kCe52, 6},
      {u"ELF010000", kCe52, 6},
      {u"O2 Xda Atom Life", kCe51, 7},
      {u"O2 Xda Atom Life", kCe52, 8},
      {u"O2 Xda Atom Life", std::nullopt, 7},
      {u"O2 Xda Zinc", kCe52, 9},
      {u"O2 Xda Zinc", kCe51, 0},
      {u"O2 Xda Zinc", std::nullopt, 9},
      {u"Mio Technology Limited", kCe52, 5},
      {u"Kaiser", kCe52, 5},
      {u"TITA100", kCe52, 6},
      {u"Xda Graphite", kCe51, 7},
      {u"Xda Graphite", kCe52, 8},
      {u"IAC K868", kCe52, 12},
      {u"IAC S868", kCe52, 12},
      {u"Texas Instruments Inc", kCe52, 10},
      {u"PU10", kCe52, 11},
      {u"VOGU100", kCe52, 11},
      {u"LIBR100", kCe52, 1},
      {u"QINGDAO", kCe52, 13},
      {u"BenQ P21", kCe52, 10},
      {u"HTC S310", kCe52, 14},
      {u"HP iPAQ 514 Voice Messenger", kCe52, 18},
      {u"MotoQ", kCe52, 15},
      {u"SGH-i607", kCe52, 15},
      {u"SGH-i600", kCe52, 15},
      {u"PPC Phone Device", kCe52, 16},
      {u"HISYS", kCe52, 17},
      {u"HTC_S710", kCe52, 10},
      {u"HTC_S730", kCe52, 10},
      {u"Linux", kCe52, 0},
      {u"Kaiser ", kCe52, 0},    // whole-string rows need the whole string
      {u"ASUS P3050", kCe52, 0},
      {u"", kCe52, 0},
  };
  for (const ClassCase& c : cases) {
    EXPECT_EQ(DeviceClassOf(c.model, c.version), c.deviceClass) << std::string(c.model.begin(), c.model.end());
  }
}

TEST(DeviceClass, ProfileModelIsCutAt64Characters) {
  platform::DeviceProfile profile;
  profile.model = std::string(80, 'x');
  profile.platform = "smartphone";
  EXPECT_EQ(IdentifyDevice(profile).model.size(), kModelMaxLength);
  EXPECT_TRUE(IdentifyDevice(profile).smartphone);
}

TEST(DeviceClass, RotationSetUpByDevice) {
  using Kind = RotationCall::Kind;
  struct Case {
    std::u16string_view model;
    bool smartphone;
    std::vector<RotationCall> calls;
  };
  const RotationCall autoOff{Kind::kSetAutoDetectRotate, 0};
  const Case cases[] = {
      {u"HERM100", false, {autoOff}},
      {u"TRIN100", false, {autoOff}},
      {u"HERA10000", false, {autoOff}},
      {u"ASUS P305", true, {{Kind::kSetRxy, 320, 240}}},
      {u"ASUS P305", false, {}},  // class 3 off the keypad platform: nothing
      {u"HP iPAQ 514 Voice Messenger", false, {autoOff}},
      {u"HTC S310", false, {autoOff, {Kind::kSetGlobalRotate, 2}}},
      {u"Asus P535", false, {autoOff}},
      {u"Asus P735", false, {autoOff}},
      {u"ASUS P750", false, {autoOff}},
      {u"IAC K868", false, {autoOff}},
      {u"HISYS", false, {autoOff}},
      {u"O2 Xda Zinc", false, {autoOff}},         // class 9 on CE 5.2
      {u"O2 Xda Atom Life", false, {autoOff}},    // class 8 on CE 5.2
      {u"Xda Graphite", false, {autoOff}},        // class 8, before the class-7 row
      {u"Kaiser", false, {}},
      {u"Linux", false, {}},
  };
  for (const Case& c : cases) {
    platform::DeviceProfile profile;
    profile.model = std::string(c.model.begin(), c.model.end());
    profile.platform = c.smartphone ? "Smartphone" : "PocketPC";
    EXPECT_EQ(RotationCallsFor(IdentifyDevice(profile)), c.calls) << profile.model;
  }
  // Class 7 (CE 5.1) turns the picture by one step.
  platform::DeviceProfile graphite;
  graphite.model = "Xda Graphite";
  graphite.ceMinor = 1;
  EXPECT_EQ(RotationCallsFor(IdentifyDevice(graphite)),
            (std::vector<RotationCall>{autoOff, {Kind::kSetGlobalRotate, 1}}));
}

}  // namespace
}  // namespace cordavex::app
