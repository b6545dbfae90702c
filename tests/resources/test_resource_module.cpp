// The resource tables as the program meets them: the three language libraries
// loaded by their logical names through the platform loader, and the
// program's own module. Every module must hold every resource the program
// asks for, with the same ids, kinds and flags; the stock Traditional Chinese
// text is pinned word for word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform/device.h"
#include "platform/library_loader.h"
#include "resources/resource_ids.h"
#include "resources/resource_module.h"

namespace cordavex::resources {
namespace {

std::string Text(const char16_t* text) {
  return text == nullptr ? "(null)" : platform::Utf8(text);
}

// One language library, loaded and bound as the program does it.
struct LanguageLibrary {
  platform::LibraryHandle handle = nullptr;
  const ResourceModule* module = nullptr;
  std::string error;

  explicit LanguageLibrary(const std::string& logicalName) {
    platform::SetLibraryFolder(CORDAVEX_RESOURCE_LIBRARY_DIR);
    handle = platform::LoadLibrary(logicalName, &error);
    platform::SetLibraryFolder("");
    if (handle == nullptr) return;
    auto* function = platform::GetProcAddressAs<ResourceModuleFunction>(handle, kResourceModuleExport);
    if (function != nullptr) module = function();
  }
  ~LanguageLibrary() { platform::FreeLibrary(handle); }
  LanguageLibrary(const LanguageLibrary&) = delete;
  LanguageLibrary& operator=(const LanguageLibrary&) = delete;
};

struct Language {
  const char* library;
  uint16_t id;
};
constexpr Language kLanguages[] = {
    {"Cordavex.0404.dll", 0x0404},
    {"Cordavex.0409.dll", 0x0409},
    {"Cordavex.0804.dll", 0x0804},
};

// What the program asks every module for, whatever its language.
void ExpectCompleteModule(const ResourceModule& module, const std::string& name) {
  SCOPED_TRACE(name);
  for (uint32_t id : {kStringWindowTitle, kStringWindowClass}) {
    EXPECT_EQ(Text(FindString(module, id)), "Cordavex 3.6") << "string " << id;
  }

  const MenuBarTemplate* main = FindMenuBar(module, kMenuBarMain);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->leftCommand, kCommandExit);
  const std::vector<uint32_t> mainCommands = {kCommandAbout,         kCommandHelp,
                                              kCommandOnlineUpdate,  0,
                                              kCommandBrowseHistory, kCommandSettings,
                                              kCommandPersonalInfo};
  ASSERT_EQ(main->itemCount, mainCommands.size());
  for (uint32_t i = 0; i < main->itemCount; ++i) {
    EXPECT_EQ(main->items[i].command, mainCommands[i]) << "item " << i;
    // A separator has no text; every command has one.
    EXPECT_EQ(std::u16string(main->items[i].text).empty(), mainCommands[i] == 0) << "item " << i;
  }

  const MenuBarTemplate* settingsBar = FindMenuBar(module, kMenuBarSettings);
  ASSERT_NE(settingsBar, nullptr);
  EXPECT_EQ(settingsBar->leftCommand, kCommandSettingsOk);
  EXPECT_EQ(settingsBar->rightCommand, kCommandSettingsCancel);
  EXPECT_EQ(settingsBar->itemCount, 0u);

  const MenuBarTemplate* aboutBar = FindMenuBar(module, kMenuBarAbout);
  ASSERT_NE(aboutBar, nullptr);
  EXPECT_EQ(aboutBar->leftCommand, kCommandOk);
  EXPECT_NE(Text(aboutBar->leftText), "");
  EXPECT_EQ(aboutBar->itemCount, 0u);

  const DialogTemplate* about = FindDialog(module, kDialogAbout);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->menuBar, kMenuBarAbout);
  bool namesTheProgram = false;
  for (uint32_t i = 0; i < about->controlCount; ++i) {
    namesTheProgram |= Text(about->controls[i].text) == "Cordavex 3.6";
  }
  EXPECT_TRUE(namesTheProgram);

  const DialogTemplate* settings = FindDialog(module, kDialogSettings);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(settings->menuBar, kMenuBarSettings);

  // Every text is present (u"" at least) and every control fits a 240-wide screen.
  for (const DialogTemplate* dialog : {about, settings}) {
    EXPECT_NE(Text(dialog->caption), "");
    for (uint32_t i = 0; i < dialog->controlCount; ++i) {
      const ControlTemplate& c = dialog->controls[i];
      EXPECT_NE(c.text, nullptr) << c.id;
      EXPECT_GE(c.x, 0) << c.id;
      EXPECT_LE(c.x + c.width, 240) << c.id;
      EXPECT_GT(c.height, 0) << c.id;
    }
  }
}

TEST(ResourceModule, EveryLanguageLibraryHoldsEveryResource) {
  for (const Language& language : kLanguages) {
    LanguageLibrary library(language.library);
    ASSERT_NE(library.handle, nullptr) << library.error;
    ASSERT_NE(library.module, nullptr) << language.library;
    EXPECT_EQ(library.module->language, language.id) << language.library;
    ExpectCompleteModule(*library.module, language.library);
  }
  ExpectCompleteModule(OwnModule(), "own module");
  EXPECT_EQ(OwnModule().language, 0x0404);
}

TEST(ResourceModule, LanguageLibrariesExportOnlyTheirTable) {
  LanguageLibrary library("Cordavex.0409.dll");
  ASSERT_NE(library.handle, nullptr) << library.error;
  // The lookups and the tables live inside, hidden.
  for (const char* name : {"_ZN8cordavex9resources10FindStringERKNS0_14ResourceModuleEj",
                           "_ZN8cordavex9resources9OwnModuleEv",
                           "_ZN8cordavex9resources14kEnglishModuleE"}) {
    EXPECT_EQ(platform::GetProcAddress(library.handle, name), nullptr) << name;
  }
}

TEST(ResourceModule, UnknownIdsAreNotFound) {
  const ResourceModule& own = OwnModule();
  EXPECT_EQ(FindString(own, 0), nullptr);
  EXPECT_EQ(FindString(own, kDialogSettings), nullptr);
  EXPECT_EQ(FindMenuBar(own, kMenuBarMain + 1), nullptr);
  EXPECT_EQ(FindDialog(own, kMenuBarMain), nullptr);
}

// The settings dialog's controls in dialog order, the same in every language:
// the order is the keyboard's order on the phone, the kinds and flags are what
// the settings screen reads and writes.
TEST(ResourceModule, SettingsDialogControlsInDialogOrder) {
  struct Expected {
    uint32_t id;
    ControlKind kind;
    uint32_t flags;
  };
  const Expected expected[] = {
      {kControlDecodeSound, ControlKind::kCheckBox, kControlChecked},
      {kControlFocusScreen, ControlKind::kCheckBox, kControlChecked},
      {kControlAutoSave, ControlKind::kCheckBox, kControlMultiline},
      {kControlBrowserLabel, ControlKind::kLabel, 0},
      {kControlInternetExplorer, ControlKind::kRadioButton, kControlGroup | kControlChecked},
      {kControlOpera, ControlKind::kRadioButton, 0},
      {kControlSymbologiesLabel, ControlKind::kLabel, 0},
      {kControlCordavexCode, ControlKind::kCheckBox, kControlDisabled | kControlChecked},
      {kControlQrCode, ControlKind::kCheckBox, kControlChecked},
      {kControlDataMatrix, ControlKind::kCheckBox, kControlChecked},
      {kControlCordavexCodeLabel, ControlKind::kLabel, 0},
  };
  for (const Language& language : kLanguages) {
    SCOPED_TRACE(language.library);
    LanguageLibrary library(language.library);
    ASSERT_NE(library.module, nullptr) << library.error;
    const DialogTemplate* settings = FindDialog(*library.module, kDialogSettings);
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(settings->controlCount, std::size(expected));
    int lowest = 0;
    for (uint32_t i = 0; i < settings->controlCount; ++i) {
      const ControlTemplate& c = settings->controls[i];
      EXPECT_EQ(c.id, expected[i].id) << "control " << i;
      EXPECT_EQ(c.kind, expected[i].kind) << c.id;
      EXPECT_EQ(c.flags, expected[i].flags) << c.id;
      lowest = std::max(lowest, c.y + c.height);
      // Multi-line text, and only that, holds line breaks.
      EXPECT_EQ(Text(c.text).find('\n') != std::string::npos, (c.flags & kControlMultiline) != 0)
          << c.id;
    }
    // Taller than a 320-line screen, within the scroll range of 400.
    EXPECT_GT(lowest, 320);
    EXPECT_LE(lowest, 400);
    // The texts that are names stay as they are in every language.
    const struct {
      uint32_t id;
      const char* text;
    } names[] = {{kControlInternetExplorer, "Internet Explorer"},
                 {kControlOpera, "Opera"},
                 {kControlCordavexCode, ""},
                 {kControlQrCode, " QR Code"},
                 {kControlDataMatrix, " Data Matrix"},
                 {kControlCordavexCodeLabel, " Cordavex Code (default)"}};
    for (const auto& name : names) {
      for (uint32_t i = 0; i < settings->controlCount; ++i) {
        if (settings->controls[i].id == name.id) {
          EXPECT_EQ(Text(settings->controls[i].text), name.text) << name.id;
        }
      }
    }
  }
}

// The stock text, word for word, in the library and in the program's own module.
TEST(ResourceModule, TraditionalChineseTextsAreTheStockOnes) {
  LanguageLibrary library("Cordavex.0404.dll");
  ASSERT_NE(library.module, nullptr) << library.error;
  for (const ResourceModule* module : {library.module, &OwnModule()}) {
    const MenuBarTemplate* main = FindMenuBar(*module, kMenuBarMain);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(Text(main->leftText), "離開");
    EXPECT_EQ(Text(main->rightText), "功能表");
    const char* items[] = {"關於", "說明", "線上更新", "", "瀏覽紀錄", "設定", "個人資訊"};
    ASSERT_EQ(main->itemCount, std::size(items));
    for (uint32_t i = 0; i < main->itemCount; ++i) EXPECT_EQ(Text(main->items[i].text), items[i]);

    const MenuBarTemplate* settingsBar = FindMenuBar(*module, kMenuBarSettings);
    ASSERT_NE(settingsBar, nullptr);
    EXPECT_EQ(Text(settingsBar->leftText), "確認");
    EXPECT_EQ(Text(settingsBar->rightText), "取消");

    const DialogTemplate* about = FindDialog(*module, kDialogAbout);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(Text(about->caption), "關於");

    const DialogTemplate* settings = FindDialog(*module, kDialogSettings);
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(Text(settings->caption), "設定");
    const char* texts[] = {"解碼聲音", "瞄準框", "自動紀錄\n(最多30筆)", "網頁瀏覽器",
                           "Internet Explorer", "Opera", "可辨識的條碼種類", "", " QR Code",
                           " Data Matrix", " Cordavex Code (default)"};
    ASSERT_EQ(settings->controlCount, std::size(texts));
    for (uint32_t i = 0; i < settings->controlCount; ++i) {
      EXPECT_EQ(Text(settings->controls[i].text), texts[i]) << settings->controls[i].id;
    }
  }
}

}  // namespace
}  // namespace cordavex::resources
