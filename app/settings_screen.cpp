// The settings screen: the four switches, the browser choice and the
// symbology boxes, read from and written to the settings key.
#include <algorithm>

#include "app/program.h"
#include "resources/resource_ids.h"

namespace cordavex::app {

namespace ids = resources;
using platform::RegistryRoot;
using platform::RegistryValue;
using ui::Window;

namespace {

// The scroll range: the screen's content is taller than the screen.
int32_t ScrollRangeFor(int32_t width, int32_t height) {
  const bool large = (width == 640 && height == 480) || (width == 480 && height == 640);
  return large ? 620 : 400;
}

struct SwitchControl {
  uint32_t control;
  std::u16string_view value;
  std::atomic<uint32_t> Settings::*field;
};
constexpr SwitchControl kSwitches[] = {
    {ids::kControlDecodeSound, kDecodeSoundValue, &Settings::decodeSound},
    {ids::kControlFocusScreen, kFocusScreenValue, &Settings::focusScreen},
    {ids::kControlAutoSave, kAutoSaveValue, &Settings::autoSave},
};

}  // namespace

void Program::ShowSettings(Window owner) {
  const resources::DialogTemplate* dialog = resources::FindDialog(*language_.resources, ids::kDialogSettings);
  const resources::ResourceModule* module = language_.resources;
  if (dialog == nullptr) {
    dialog = resources::FindDialog(resources::OwnModule(), ids::kDialogSettings);
    module = &resources::OwnModule();
  }
  if (dialog == nullptr) return;

  platform::Device& device = deviceServices_;
  const RegistryRoot root = RegistryRoot::kCurrentUser;
  const int32_t range = ScrollRangeFor(device_.screenWidth, device_.screenHeight);

  auto initialise = [&](Window screen) {
    // Full screen, with a Done button except on the keypad platform.
    windows_.SetDoneButton(screen, !device_.smartphone);
    (void)device.CreateKey(root, kSettingsKey);
    const uint32_t cvItem = settings_.cvItem;
    if (cvItem == 0) {
      for (auto& box : settings_.symbology) box = true;
    } else {
      windows_.CheckButton(screen, ids::kControlQrCode, (cvItem & 1) != 0);
      windows_.CheckButton(screen, ids::kControlCordavexCode, (cvItem & 2) != 0);
      windows_.CheckButton(screen, ids::kControlDataMatrix, (cvItem & 4) != 0);
    }
    for (const SwitchControl& item : kSwitches) {
      RegistryValue stored;
      uint32_t number = 0;
      if (!device.GetValue(root, kSettingsKey, item.value, &stored).ok()) {
        (void)device.SetValue(root, kSettingsKey, item.value,
                              RegistryValue::Dword((settings_.*item.field).load()));
        continue;
      }
      const bool on = stored.AsDword(&number) && number == 1;
      windows_.CheckButton(screen, item.control, on);
      if (!on) (settings_.*item.field) = 0;
    }
    RegistryValue browser;
    uint32_t choice = 0;
    if (!device.GetValue(root, kSettingsKey, kChoiceBrowserValue, &browser).ok()) {
      (void)device.SetValue(root, kSettingsKey, kChoiceBrowserValue,
                            RegistryValue::Dword(settings_.choiceBrowser.load()));
    } else {
      const bool explorer = browser.AsDword(&choice) && choice == 1;
      windows_.CheckRadioButton(screen, ids::kControlInternetExplorer, ids::kControlOpera,
                                explorer ? ids::kControlInternetExplorer : ids::kControlOpera);
      if (!explorer) settings_.choiceBrowser = 0;
    }
    windows_.SetScroll(screen, 0, range, device_.screenHeight, 0);
  };

  auto accept = [&](Window screen) {
    for (const SwitchControl& item : kSwitches) {
      (settings_.*item.field) = windows_.IsButtonChecked(screen, item.control) ? 1 : 0;
    }
    settings_.choiceBrowser = windows_.IsButtonChecked(screen, ids::kControlInternetExplorer) ? 1 : 0;
    const bool qr = windows_.IsButtonChecked(screen, ids::kControlQrCode);
    const bool cordavex = windows_.IsButtonChecked(screen, ids::kControlCordavexCode);
    const bool dataMatrix = windows_.IsButtonChecked(screen, ids::kControlDataMatrix);
    settings_.symbology[0] = qr;
    settings_.symbology[1] = cordavex;
    settings_.symbology[2] = dataMatrix;
    settings_.cvItem = (qr ? 1u : 0u) + 2u * (cordavex ? 1u : 0u) + 4u * (dataMatrix ? 1u : 0u);
    (void)StoreSettings(device, settings_);
    windows_.EndDialog(screen, ids::kCommandSettingsOk);
  };

  auto scroll = [&](Window screen, uint32_t code, int32_t thumb) {
    const int32_t page = device_.screenHeight;
    const int32_t position = windows_.ScrollPosition(screen);
    int32_t next = position;
    switch (code) {
      case ui::kScrollLineUp: next -= page / 10; break;
      case ui::kScrollLineDown: next += page / 10; break;
      case ui::kScrollPageUp: next -= page; break;
      case ui::kScrollPageDown: next += page; break;
      case ui::kScrollThumbTrack: next = thumb; break;
      default: break;
    }
    next = std::clamp(next, 0, std::max(0, range - page + 1));
    windows_.SetScroll(screen, 0, range, page, next);
  };

  windows_.DialogBox(
      *dialog, *module, owner, "settings",
      [&](Window screen, uint32_t message, uintptr_t wParam, intptr_t) -> bool {
        switch (message) {
          case ui::kMsgInitDialog:
            initialise(screen);
            return true;
          case ui::kMsgCommand: {
            const uint32_t id = static_cast<uint32_t>(wParam & 0xFFFF);
            if (id == ids::kCommandSettingsOk || id == ids::kCommandOk) {
              accept(screen);
              return true;
            }
            if (id == ids::kCommandSettingsCancel || id == ids::kCommandCancel) {
              windows_.EndDialog(screen, ids::kCommandSettingsCancel);
              return true;
            }
            // Any click: the Cordavex code cannot be switched off.
            windows_.CheckButton(screen, ids::kControlCordavexCode, true);
            settings_.cvItem = settings_.cvItem | 2u;
            return true;
          }
          case ui::kMsgVScroll:
            scroll(screen, static_cast<uint32_t>(wParam & 0xFFFF), static_cast<int32_t>(wParam >> 16));
            return true;
          default:
            return false;
        }
      });
}

}  // namespace cordavex::app
