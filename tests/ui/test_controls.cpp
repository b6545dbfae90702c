// Dialog controls, softkeys and menus as the user works them, and the screen
// snapshot that shows them.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <set>

#include "tests/ui/ui_test_support.h"
#include "ui/snapshot.h"
#include "ui/window_system.h"

namespace cordavex::ui {
namespace {

using nlohmann::json;
using namespace testing;  // NOLINT: the test support's names

std::set<std::string> Keys(const json& object) {
  std::set<std::string> keys;
  for (const auto& [key, value] : object.items()) keys.insert(key);
  return keys;
}

// A program of one main window (menu bar of the program's shape) that opens
// the settings dialog on 40133 and logs what reaches it.
class UiProgram : public ::testing::Test {
 protected:
  UiProgram() : system_(240, 320, std::make_shared<ManualClock>()) {
    main_ = system_.CreateWindow({"main", u"Cordavex 3.6", u"Cordavex 3.6", true},
                                 [this](Window self, uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
      log_.Add(self, message, wParam, lParam);
      if (message == kMsgCommand && wParam == 40133) return OpenDialog(self, kTestDialogs[0]);
      // From the tests' other threads: a dialog of their own, a message box.
      if (message == kMsgApp) return OpenDialog(self, *reinterpret_cast<const resources::DialogTemplate*>(lParam));
      if (message == kMsgApp + 1) {
        return system_.MessageBox(self, u"Question", u"Caption", static_cast<uint32_t>(wParam));
      }
      if (message == kMsgApp + 2) return static_cast<intptr_t>(OpenList());
      return 0;
    });
    system_.SetMenuBar(main_, TestMainMenuBar());
    system_.ShowWindow(main_);
    errors_ = system_.AddEventListener([this](const Event& event) {
      if (event.name == "error") ++errorCount_;
    });
    loop_ = std::make_unique<LoopThread>(system_);
  }
  ~UiProgram() override {
    loop_.reset();
    system_.RemoveListener(errors_);
  }

  // A dialog that logs what reaches it, scrolls a tenth of a page per line,
  // and ends on Cancel.
  int OpenDialog(Window owner, const resources::DialogTemplate& dialog) {
    return system_.DialogBox(dialog, kTestModule, owner, "settings",
                             [this](Window self, uint32_t m, uintptr_t w, intptr_t l) {
      log_.Add(self, m, w, l);
      dialog_ = self;
      if (m == kMsgSize) system_.SetScroll(self, 0, 400, static_cast<int32_t>((l >> 16) & 0xFFFF), 0);
      if (m == kMsgVScroll && (w & 0xFFFF) == kScrollLineDown) {
        system_.SetScroll(self, 0, 400, 320, system_.ScrollPosition(self) + 32);
      }
      if (m == kMsgCommand && (w == kCancelCommand || w == static_cast<uintptr_t>(kIdCancel))) {
        system_.EndDialog(self, 0);
      }
      return true;
    });
  }

  // A list screen over the main window: three rows, the second without a command.
  Window OpenList() {
    Window list = system_.CreateWindow({"history", u"", u"History", false},
                                       [this](Window self, uint32_t m, uintptr_t w, intptr_t l) -> intptr_t {
      log_.Add(self, m, w, l);
      return 0;
    });
    system_.SetRows(list, {{u"QR Code", u"http://example.com", 1, 50001}, {u"Text", u"abc", 2, 0},
                           {u"名片", u"王", 3, 50003}}, 0);
    system_.ShowWindow(list);
    return list;
  }

  // Inputs are queued: a message sent from this thread after them is handled
  // once they have been (or, when one opened a modal window, by its loop).
  void Settle() { system_.SendMessage(main_, kMsgUser + 50, 0, 0); }
  json Snapshot() { return json::parse(system_.Snapshot()); }
  void OpenSettings() {
    system_.ChooseCommand(40133);
    ASSERT_TRUE(WaitFor(system_, [&] { return system_.TopKind() == "settings"; }));
  }

  WindowSystem system_;
  Window main_ = kNoWindow;
  std::atomic<Window> dialog_ = kNoWindow;
  MessageLog log_;
  std::atomic<int> errorCount_ = 0;
  int errors_ = 0;
  std::unique_ptr<LoopThread> loop_;
};

TEST_F(UiProgram, ClicksToggleCheckBoxesMoveRadioButtonsAndSkipDisabledControls) {
  OpenSettings();
  struct Case {
    uint32_t id;
    std::optional<bool> check;
    bool reachesDialog;
    bool refused;
  };
  const Case cases[] = {
      {kSound, std::nullopt, true, false},   // off -> on
      {kAutoSave, true, false, false},       // already on: nothing happens
      {kAutoSave, false, true, false},       // on -> off
      {kOpera, std::nullopt, true, false},   // Opera on, Internet Explorer off
      {kOpera, false, false, true},          // a radio button cannot be switched off itself
      {kFixedCode, false, false, true},      // disabled
      {kFixedCode, std::nullopt, false, true},
      {kBrowserLabel, std::nullopt, false, true},  // labels do not click
      {kQr, true, true, false},
      {4242, std::nullopt, false, true},
  };
  for (const Case& c : cases) {
    const size_t commandsBefore = log_.Of(dialog_, {kMsgCommand}).size();
    const int errorsBefore = errorCount_;
    system_.ClickControl(c.id, c.check);
    Settle();
    auto commands = log_.Of(dialog_, {kMsgCommand});
    ASSERT_EQ(commands.size(), commandsBefore + (c.reachesDialog ? 1 : 0)) << c.id;
    if (c.reachesDialog) {
      EXPECT_EQ(commands.back().wParam, c.id | (kButtonClicked << 16));
    }
    EXPECT_EQ(errorCount_ - errorsBefore, c.refused ? 1 : 0) << c.id;
  }
  std::map<uint32_t, bool> checked;
  const json screen = Snapshot();
  for (const json& control : screen["controls"]) checked[control["id"]] = control["checked"];
  EXPECT_EQ(checked, (std::map<uint32_t, bool>{{kSound, true}, {kAim, false}, {kAutoSave, false},
                                               {kBrowserLabel, false}, {kExplorer, false}, {kOpera, true},
                                               {kFixedCode, true}, {kQr, true}, {kMatrix, false}}));
}

TEST_F(UiProgram, RadioGroupsEndAtTheNextGroupOrAtAnotherKindOfControl) {
  static constexpr resources::ControlTemplate kControls[] = {
      {101, resources::ControlKind::kRadioButton, u"a", 0, 0, 1, 1, resources::kControlGroup | resources::kControlChecked},
      {102, resources::ControlKind::kRadioButton, u"b", 0, 0, 1, 1, 0},
      {103, resources::ControlKind::kRadioButton, u"c", 0, 0, 1, 1, resources::kControlGroup | resources::kControlChecked},
      {104, resources::ControlKind::kRadioButton, u"d", 0, 0, 1, 1, 0},
      {105, resources::ControlKind::kLabel, u"-", 0, 0, 1, 1, 0},
      {106, resources::ControlKind::kRadioButton, u"e", 0, 0, 1, 1, resources::kControlChecked},
  };
  static constexpr resources::DialogTemplate kDialog = {9, u"Radios", kControls, std::size(kControls), 0};
  std::thread opener([&] { system_.SendMessage(main_, kMsgApp, 0, reinterpret_cast<intptr_t>(&kDialog)); });
  ASSERT_TRUE(WaitFor(system_, [&] { return system_.TopKind() == "settings"; }));
  std::map<uint32_t, bool> expected = {{101, false}, {102, true}, {103, false},
                                       {104, true},  {105, false}, {106, true}};
  for (uint32_t id : {102u, 104u, 106u}) system_.ClickControl(id);
  Settle();
  std::map<uint32_t, bool> checked;
  const json screen = Snapshot();
  for (const json& control : screen["controls"]) checked[control["id"]] = control["checked"];
  EXPECT_EQ(checked, expected);
  system_.PressKey(kKeyEscape);
  opener.join();
  EXPECT_EQ(errorCount_, 0);
}

TEST_F(UiProgram, SelectingARowRunsItsCommand) {
  const auto list = static_cast<Window>(system_.SendMessage(main_, kMsgApp + 2, 0, 0));
  const json screen = Snapshot();
  EXPECT_EQ(screen["window"], "history");
  EXPECT_EQ(screen["selected"], 0);
  EXPECT_EQ(screen["rows"][2], json({{"label", "名片"}, {"value", "王"}, {"command", 50003}, {"icon", 3}}));
  struct Case {
    int row;
    int selected;
    std::vector<uintptr_t> commands;
    int errors;
  };
  const Case cases[] = {{2, 2, {50003}, 0}, {1, 1, {50003}, 0}, {3, 1, {50003}, 1}, {-1, 1, {50003}, 2},
                        {0, 0, {50003, 50001}, 2}};
  for (const Case& c : cases) {
    system_.SelectRow(c.row);
    Settle();
    EXPECT_EQ(system_.CurrentScreen().selected, c.selected) << c.row;
    std::vector<uintptr_t> commands;
    for (const Logged& command : log_.Of(list, {kMsgCommand})) commands.push_back(command.wParam);
    EXPECT_EQ(commands, c.commands) << c.row;
    EXPECT_EQ(errorCount_, c.errors) << c.row;
  }
}

TEST_F(UiProgram, SoftkeysRunTheLeftCommandAndOpenTheRightMenu) {
  system_.PressKey(kKeySoftRight);
  Settle();
  json screen = Snapshot();
  EXPECT_TRUE(screen["menuOpen"]);
  EXPECT_EQ(screen["menuSelected"], 0);
  system_.PressKey(kKeyDown);  // Help
  system_.PressKey(kKeyDown);  // past the separator and the disabled History: Settings
  system_.PressKey(kKeyUp);    // back to Help
  Settle();
  EXPECT_EQ(Snapshot()["menuSelected"], 1);
  system_.PressKey(kKeyReturn);
  system_.PressKey(kKeySoftLeft);
  system_.ChooseCommand(40002);  // a menu item, chosen directly
  system_.ChooseCommand(40113);  // disabled
  system_.ChooseCommand(77);     // not offered
  system_.PressKey(kKeyLeft);    // an ordinary key reaches the window
  Settle();
  EXPECT_FALSE(Snapshot()["menuOpen"]);
  auto commands = log_.Of(main_, {kMsgCommand});
  std::vector<uintptr_t> chosen;
  for (const Logged& command : commands) chosen.push_back(command.wParam);
  EXPECT_EQ(chosen, (std::vector<uintptr_t>{40009, 1010, 40002}));
  EXPECT_EQ(errorCount_, 2);
  EXPECT_EQ(log_.Of(main_, {kMsgKeyDown, kMsgKeyUp}).size(), 2u);
  EXPECT_EQ(log_.Of(main_, {kMsgKeyDown})[0].wParam, kKeyLeft);

  // Escape closes an open menu without a command.
  system_.PressKey(kKeySoftRight);
  system_.PressKey(kKeyEscape);
  Settle();
  EXPECT_FALSE(Snapshot()["menuOpen"]);
  EXPECT_EQ(log_.Of(main_, {kMsgCommand}).size(), 3u);
}

TEST_F(UiProgram, SnapshotHasTheFixedKeysAndShowsTheTopWindow) {
  const std::set<std::string> screenKeys = {"window", "dialog", "title", "rows", "selected", "controls",
                                            "softkeys", "message", "menuOpen", "menuSelected", "scroll",
                                            "frame", "stack", "done"};
  json screen = Snapshot();
  EXPECT_EQ(Keys(screen), screenKeys);
  EXPECT_EQ(screen["window"], "main");
  EXPECT_TRUE(screen["dialog"].is_null());
  EXPECT_TRUE(screen["message"].is_null());
  EXPECT_EQ(screen["title"], "Cordavex 3.6");
  EXPECT_EQ(screen["softkeys"]["left"], json({{"text", "Exit"}, {"command", 1010}}));
  json right = screen["softkeys"]["right"];
  EXPECT_EQ(Keys(right), (std::set<std::string>{"text", "command", "menu"}));
  ASSERT_EQ(right["menu"].size(), 5u);
  EXPECT_EQ(right["menu"][3], json({{"text", "History"}, {"command", 40113}, {"enabled", false}}));
  EXPECT_EQ(right["menu"][2]["command"], 0);  // the separator

  OpenSettings();
  screen = Snapshot();
  EXPECT_EQ(Keys(screen), screenKeys);
  EXPECT_EQ(screen["window"], "settings");
  EXPECT_EQ(screen["dialog"], kTestDialog);
  EXPECT_EQ(screen["title"], "設定");
  EXPECT_EQ(screen["stack"], json({"main", "settings"}));
  ASSERT_EQ(screen["controls"].size(), std::size(kTestControls));
  EXPECT_EQ(Keys(screen["controls"][0]), (std::set<std::string>{"id", "kind", "text", "checked", "enabled"}));
  EXPECT_EQ(screen["controls"][2],
            json({{"id", kAutoSave}, {"kind", "check-box"}, {"text", "自動紀錄\n(最多30筆)"}, {"checked", true},
                  {"enabled", true}}));
  EXPECT_EQ(screen["controls"][4]["kind"], "radio-button");
  EXPECT_EQ(screen["controls"][6]["enabled"], false);
  EXPECT_EQ(screen["softkeys"]["left"], json({{"text", "確認"}, {"command", kOkCommand}}));
  EXPECT_EQ(screen["softkeys"]["right"],
            json({{"text", "取消"}, {"command", kCancelCommand}, {"menu", json::array()}}));

  // The scroll state the dialog keeps: a range of 0..400, the screen's height
  // as its page, a tenth of a page per line.
  EXPECT_EQ(screen["scroll"], json({{"minimum", 0}, {"maximum", 400}, {"page", 320}, {"position", 0}}));
  system_.Scroll(kScrollLineDown);
  Settle();
  EXPECT_EQ(Snapshot()["scroll"]["position"], 32);
  system_.ChooseCommand(kCancelCommand);
  ASSERT_TRUE(WaitFor(system_, [&] { return system_.TopKind() == "main"; }));
  system_.Scroll(kScrollLineDown);  // the main window does not scroll
  Settle();
  EXPECT_EQ(errorCount_, 1);
}

TEST_F(UiProgram, MessageBoxesShowTheirButtonsAndAnswerBySoftkeysAndKeys) {
  struct Case {
    uint32_t flags;
    std::function<void()> answer;
    json buttons;
    int expected;
  };
  const Case cases[] = {
      {kMbOk | kMbIconInformation, [&] { system_.PressKey(kKeyReturn); }, {"ok"}, kIdOk},
      {kMbOk, [&] { system_.PressKey(kKeyBack); }, {"ok"}, kIdOk},
      {kMbOkCancel, [&] { system_.PressKey(kKeySoftRight); }, {"ok", "cancel"}, kIdCancel},
      {kMbYesNo, [&] { system_.ChooseCommand(kIdNo); }, {"yes", "no"}, kIdNo},
      {kMbYesNoCancel, [&] { system_.PressKey(kKeyEscape); }, {"yes", "no", "cancel"}, kIdCancel},
      {kMbYesNoCancel, [&] { system_.Answer(kIdNo); }, {"yes", "no", "cancel"}, kIdNo},
  };
  for (const Case& c : cases) {
    std::atomic<int> answer = -1;
    std::thread asker([&] { answer = static_cast<int>(system_.SendMessage(main_, kMsgApp + 1, c.flags, 0)); });
    ASSERT_TRUE(WaitFor(system_, [&] { return system_.TopKind() == "message-box"; }));
    json screen = Snapshot();
    EXPECT_TRUE(screen["dialog"].is_null());
    EXPECT_EQ(screen["title"], "Caption");
    EXPECT_EQ(screen["message"]["text"], "Question");
    EXPECT_EQ(screen["message"]["caption"], "Caption");
    EXPECT_EQ(screen["message"]["buttons"], c.buttons);
    system_.Answer(kIdYes + 100);  // no such button: refused, the box stays
    c.answer();
    asker.join();
    EXPECT_EQ(answer, c.expected) << c.flags;
  }
  EXPECT_EQ(errorCount_, static_cast<int>(std::size(cases)));
}

}  // namespace
}  // namespace cordavex::ui
