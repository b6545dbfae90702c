// The scripted driver end to end: a small program of one main window and a
// settings dialog, driven by a script through string streams.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <sstream>

#include "tests/ui/ui_test_support.h"
#include "ui/scripted_driver.h"
#include "ui/window_system.h"

namespace cordavex::ui {
namespace {

using nlohmann::json;
using namespace testing;  // NOLINT: the test support's names

// Enter plays the decode sound; 40133 opens the settings, whose OK asks
// before it ends; the system's close destroys the window and ends the loop.
class FakeProgram {
 public:
  FakeProgram() : system_(240, 320, std::make_shared<ManualClock>()) {
    main_ = system_.CreateWindow({"main", u"Cordavex 3.6", u"Cordavex 3.6", true},
                                 [this](Window self, uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
      if (message == kMsgKeyDown && wParam == kKeyReturn) system_.Emit({"sound", {{"name", "Decode"}}});
      if (message == kMsgCommand && wParam == 40133) {
        return system_.DialogBox(kTestDialogs[0], kTestModule, self, "settings",
                                 [this](Window dialog, uint32_t m, uintptr_t w, intptr_t) {
          if (m == kMsgCommand && w == kOkCommand &&
              system_.MessageBox(dialog, u"Save?", u"Settings", kMbYesNo) == kIdYes) {
            system_.EndDialog(dialog, 1);
          }
          if (m == kMsgCommand && w == kCancelCommand) system_.EndDialog(dialog, 0);
          return true;
        });
      }
      if (message == kMsgDestroy) system_.PostQuitMessage(0);
      return system_.DefWindowProc(self, message, wParam, lParam);
    });
    system_.SetMenuBar(main_, TestMainMenuBar());
    system_.ShowWindow(main_);
  }

  // Runs the script beside the loop; the lines printed, parsed.
  std::vector<json> Run(const std::string& script, int* failures) {
    LoopThread loop(system_);
    std::istringstream input(script);
    std::ostringstream output;
    *failures = RunScript(system_, input, output);
    EXPECT_TRUE(system_.HasQuit());
    std::vector<json> lines;
    std::istringstream printed(output.str());
    for (std::string line; std::getline(printed, line);) lines.push_back(json::parse(line));
    return lines;
  }

  WindowSystem system_;
  Window main_ = kNoWindow;
};

// A line in short: "event:NAME" or "screen:KIND".
std::vector<std::string> Summary(const std::vector<json>& lines) {
  std::vector<std::string> out;
  for (const json& line : lines) {
    out.push_back(line.contains("event") ? "event:" + line["event"].get<std::string>()
                                         : "screen:" + line["window"].get<std::string>());
  }
  return out;
}

TEST(UiScriptedDriver, RunsAScriptAndCountsWhatFailed) {
  FakeProgram program;
  int failures = -1;
  auto lines = program.Run(R"(# a comment, then a blank line

key enter
wait sound 2000
command 40133
wait settings 2000
check 1022 on
check 40178 off
command 40005
wait message-box 2000
answer yes
wait main 2000
frobnicate now
key sideways
wait settings 20
snapshot
quit
command 40133
)",
                           &failures);
  EXPECT_EQ(failures, 4);
  EXPECT_EQ(Summary(lines),
            (std::vector<std::string>{"event:sound", "screen:settings", "event:error", "screen:message-box",
                                      "screen:main", "event:error", "event:error", "event:error", "screen:main"}));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[0], json({{"event", "sound"}, {"name", "Decode"}}));
  EXPECT_EQ(lines[2]["input"], "click");
  EXPECT_EQ(lines[2]["control"], "40178");
  EXPECT_EQ(lines[3]["message"]["buttons"], json({"yes", "no"}));
  EXPECT_EQ(lines[5]["line"], "13");
  EXPECT_EQ(lines[5]["message"], "unknown command");
  EXPECT_EQ(lines[6]["command"], "key sideways");
  EXPECT_EQ(lines[7]["message"], "timed out after 20 ms");
}

TEST(UiScriptedDriver, TheEndOfTheInputClosesTheProgram) {
  FakeProgram program;
  int failures = -1;
  auto lines = program.Run("key enter\n", &failures);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(Summary(lines), std::vector<std::string>{"event:sound"});
  EXPECT_FALSE(program.system_.IsWindow(program.main_));
}

TEST(UiScriptedDriver, AnInputThatOpensAModalWindowDoesNotHoldTheScript) {
  FakeProgram program;
  int failures = -1;
  // Cancel reaches the dialog's nested loop while 40133's handler waits in it.
  auto lines = program.Run("command 40133\ncommand 40006\nwait main 2000\nwait settings 50\n", &failures);
  EXPECT_EQ(failures, 1);
  EXPECT_EQ(Summary(lines), (std::vector<std::string>{"screen:main", "event:error"}));
}

TEST(UiScriptedDriver, StopsWhenTheProgramHasEndedByItself) {
  FakeProgram program;
  program.system_.PostQuitMessage(0);
  program.system_.PumpPending();
  std::istringstream input("key enter\nwait main\n");
  std::ostringstream output;
  EXPECT_EQ(RunScript(program.system_, input, output), 0);
  EXPECT_EQ(output.str(), "");
}

}  // namespace
}  // namespace cordavex::ui
