#include "app/settings.h"

namespace cordavex::app {

using platform::RegistryRoot;
using platform::RegistryValue;
using platform::Status;

const std::array<DwordSetting, 5> kDwordSettings{{
    {kDecodeSoundValue, 1, &Settings::decodeSound},
    {kFocusScreenValue, 1, &Settings::focusScreen},
    {kAutoSaveValue, 0, &Settings::autoSave},
    {kChoiceBrowserValue, 1, &Settings::choiceBrowser},
    {kCvItemValue, 7, &Settings::cvItem},
}};

void DeriveSymbologyBoxes(uint32_t cvItem, Settings* settings) {
  auto set = [settings](bool qr, bool cordavex, bool dataMatrix) {
    settings->symbology[0] = qr;
    settings->symbology[1] = cordavex;
    settings->symbology[2] = dataMatrix;
  };
  switch (cvItem) {
    case 0:
    case 7: set(true, true, true); break;
    case 6: set(false, true, true); break;
    case 3: set(true, true, false); break;
    case 2: set(false, true, false); break;
    default: break;
  }
}

namespace {

void WritePushRegistration(platform::Device& device) {
  for (const PushRegistration& push : kPushRegistrations) {
    const RegistryRoot root = RegistryRoot::kLocalMachine;
    const bool opened = device.OpenKey(root, push.key).ok();
    const bool created = !opened && device.CreateKey(root, push.key).ok();
    if (!opened && !created) continue;
    RegistryValue notify;
    uint32_t ignored = 0;
    if (created || !device.GetValue(root, push.key, u"NotifyOnLaunch", &notify).ok() ||
        !notify.AsDword(&ignored)) {
      // Missing (or unreadable as a DWORD, which the router cannot use either).
      (void)device.SetValue(root, push.key, u"NotifyOnLaunch", RegistryValue::Dword(1));
    }
    (void)device.SetValue(root, push.key, push.portValue, RegistryValue::Dword(kPushPortData));
    (void)device.SetValue(root, push.key, u"Command", RegistryValue::String(kPushCommand));
    (void)device.SetValue(root, push.key, u"Class", RegistryValue::String(kPushClass));
  }
}

}  // namespace

void WriteSettingsDefaults(platform::Device& device, std::u16string_view modulePath, Settings* settings) {
  WritePushRegistration(device);

  const RegistryRoot root = RegistryRoot::kCurrentUser;
  if (!device.OpenKey(root, kSettingsKey).ok()) {
    if (!device.CreateKey(root, kSettingsKey).ok()) return;
    (void)device.SetValue(root, kSettingsKey, kAppPathValue, RegistryValue::String(modulePath));
    for (const DwordSetting& value : kDwordSettings) {
      (void)device.SetValue(root, kSettingsKey, value.name,
                            RegistryValue::Dword((settings->*value.field).load()));
    }
    for (auto& box : settings->symbology) box = true;
    return;
  }
  (void)device.SetValue(root, kSettingsKey, kAppPathValue, RegistryValue::String(modulePath));
  for (const DwordSetting& value : kDwordSettings) {
    RegistryValue stored;
    uint32_t number = 0;
    if (device.GetValue(root, kSettingsKey, value.name, &stored).ok() && stored.AsDword(&number)) {
      (settings->*value.field).store(number);
    } else {
      (void)device.SetValue(root, kSettingsKey, value.name,
                            RegistryValue::Dword((settings->*value.field).load()));
    }
  }
  DeriveSymbologyBoxes(settings->cvItem.load(), settings);
}

Status StoreSettings(platform::Device& device, const Settings& settings) {
  const RegistryRoot root = RegistryRoot::kCurrentUser;
  Status status = device.CreateKey(root, kSettingsKey);
  for (const DwordSetting& value : kDwordSettings) {
    if (!status.ok()) break;
    status = device.SetValue(root, kSettingsKey, value.name,
                             RegistryValue::Dword((settings.*value.field).load()));
  }
  return status;
}

}  // namespace cordavex::app
