// The settings defaults written at every start and the symbology boxes that
// follow from `cv_item`.
#include <gtest/gtest.h>

#include "app/settings.h"
#include "platform/fault_device.h"
#include "platform/memory_device.h"

namespace cordavex::app {
namespace {

using platform::RegistryRoot;
using platform::RegistryValue;

constexpr std::u16string_view kPath = u"/opt/cordavex/Cordavex";

RegistryValue Get(platform::Device& device, RegistryRoot root, std::u16string_view key,
                  std::u16string_view name) {
  RegistryValue value;
  EXPECT_TRUE(device.GetValue(root, key, name, &value).ok()) << platform::Utf8(name);
  return value;
}

std::array<bool, 3> Boxes(const Settings& settings) {
  return {settings.symbology[0].load(), settings.symbology[1].load(), settings.symbology[2].load()};
}

TEST(SettingsDefaults, FirstStartWritesEveryValueAndBothPushKeys) {
  platform::MemoryDevice device;
  Settings settings;
  settings.symbology[0] = false;
  WriteSettingsDefaults(device, kPath, &settings);

  const RegistryRoot user = RegistryRoot::kCurrentUser;
  EXPECT_EQ(Get(device, user, kSettingsKey, kAppPathValue), RegistryValue::String(kPath));
  const std::pair<std::u16string_view, uint32_t> defaults[] = {
      {u"Decode_Sound", 1}, {u"Focus_Screen", 1}, {u"Auto_Save", 0}, {u"Choice_Browser", 1}, {u"cv_item", 7}};
  for (const auto& [name, value] : defaults) {
    EXPECT_EQ(Get(device, user, kSettingsKey, name), RegistryValue::Dword(value)) << platform::Utf8(name);
  }
  std::vector<std::u16string> names;
  ASSERT_TRUE(device.ListValues(user, kSettingsKey, &names).ok());
  EXPECT_EQ(names.size(), 6u);
  EXPECT_EQ(Boxes(settings), (std::array{true, true, true}));

  const RegistryRoot machine = RegistryRoot::kLocalMachine;
  for (const auto& [key, port] :
       {std::pair{u"Software\\Microsoft\\Shell\\Event\\Network\\WDP\\16999\\Cordavex", u"16999"},
        std::pair{u"SOFTWARE\\Microsoft\\Shell\\Event\\Network\\WDP\\17999\\Cordavex", u"17999"}}) {
    EXPECT_EQ(Get(device, machine, key, u"NotifyOnLaunch"), RegistryValue::Dword(1));
    EXPECT_EQ(Get(device, machine, key, port), RegistryValue::Dword(0x8001));
    EXPECT_EQ(Get(device, machine, key, u"Command"),
              RegistryValue::String(u"\\Progra~1\\Cordavex\\Cordavex.exe"));
    EXPECT_EQ(Get(device, machine, key, u"Class"), RegistryValue::String(u"Cordavex"));
    ASSERT_TRUE(device.ListValues(machine, key, &names).ok());
    EXPECT_EQ(names.size(), 4u);
  }
}

TEST(SettingsDefaults, LaterStartReadsStoredValuesAndRepairsBadOnes) {
  platform::MemoryDevice device;
  const RegistryRoot user = RegistryRoot::kCurrentUser;
  ASSERT_TRUE(device.CreateKey(user, kSettingsKey).ok());
  ASSERT_TRUE(device.SetValue(user, kSettingsKey, u"CordavexAppPath", RegistryValue::String(u"old")).ok());
  ASSERT_TRUE(device.SetValue(user, kSettingsKey, u"decode_sound", RegistryValue::Dword(0)).ok());
  ASSERT_TRUE(device.SetValue(user, kSettingsKey, u"Focus_Screen", RegistryValue::String(u"0")).ok());
  ASSERT_TRUE(device.SetValue(user, kSettingsKey, u"Auto_Save", RegistryValue::Binary({1, 0})).ok());
  ASSERT_TRUE(device.SetValue(user, kSettingsKey, u"cv_item", RegistryValue::Dword(3)).ok());
  // The push router's own choice is kept.
  const std::u16string_view push = kPushRegistrations[0].key;
  ASSERT_TRUE(device.CreateKey(RegistryRoot::kLocalMachine, push).ok());
  ASSERT_TRUE(device.SetValue(RegistryRoot::kLocalMachine, push, u"NotifyOnLaunch", RegistryValue::Dword(0)).ok());

  Settings settings;
  WriteSettingsDefaults(device, kPath, &settings);
  EXPECT_EQ(Get(device, user, kSettingsKey, kAppPathValue), RegistryValue::String(kPath));
  EXPECT_EQ(settings.decodeSound, 0u);
  EXPECT_EQ(settings.focusScreen, 1u);  // a string is no DWORD: the default replaces it
  EXPECT_EQ(Get(device, user, kSettingsKey, u"Focus_Screen"), RegistryValue::Dword(1));
  EXPECT_EQ(Get(device, user, kSettingsKey, u"Auto_Save"), RegistryValue::Dword(0));
  EXPECT_EQ(Get(device, user, kSettingsKey, u"Choice_Browser"), RegistryValue::Dword(1));  // was missing
  EXPECT_EQ(settings.cvItem, 3u);
  EXPECT_EQ(Boxes(settings), (std::array{true, true, false}));
  EXPECT_EQ(Get(device, RegistryRoot::kLocalMachine, push, u"NotifyOnLaunch"), RegistryValue::Dword(0));
}

TEST(SettingsDefaults, CvItemDerivesTheSymbologyBoxes) {
  struct Case {
    uint32_t cvItem;
    std::array<bool, 3> boxes;
  };
  // The boxes start as {true, false, true}; values outside the rule keep them.
  const Case cases[] = {{7, {true, true, true}},  {0, {true, true, true}},    {6, {false, true, true}},
                        {3, {true, true, false}}, {2, {false, true, false}}, {1, {true, false, true}},
                        {4, {true, false, true}}, {5, {true, false, true}},  {99, {true, false, true}}};
  for (const Case& c : cases) {
    Settings settings;
    settings.symbology[1] = false;
    DeriveSymbologyBoxes(c.cvItem, &settings);
    EXPECT_EQ(Boxes(settings), c.boxes) << c.cvItem;
  }
}

TEST(SettingsDefaults, RegistryThatFailsLeavesTheDefaultsInMemory) {
  platform::MemoryDevice target;
  platform::FaultInjectingDevice device(&target);
  device.FailUnder(platform::kFaultRegistryRead | platform::kFaultRegistryWrite, "");
  Settings settings;
  WriteSettingsDefaults(device, kPath, &settings);
  EXPECT_EQ(settings.decodeSound, 1u);
  EXPECT_EQ(settings.cvItem, 7u);
  EXPECT_FALSE(StoreSettings(device, settings).ok());
}

}  // namespace
}  // namespace cordavex::app
