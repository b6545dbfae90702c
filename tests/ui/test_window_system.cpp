// The message queue across threads, quitting, timers on a manual clock,
// activation around modal windows, painting and closing.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/ui/ui_test_support.h"
#include "ui/window_system.h"

namespace cordavex::ui {
namespace {

using testing::kCancelCommand;
using testing::kOkCommand;
using testing::kTestDialogs;
using testing::kTestModule;
using testing::Logged;
using testing::LoopThread;
using testing::MessageLog;
using testing::WaitFor;

constexpr int32_t kWidth = 240, kHeight = 320;
constexpr uint32_t kMsgA = kMsgUser + 1, kMsgB = kMsgUser + 2, kMsgC = kMsgUser + 3;

// A window whose procedure logs everything and answers 40 + the message's
// offset from kMsgUser to user messages.
Window LoggingWindow(WindowSystem& system, MessageLog& log, std::string kind = "main") {
  return system.CreateWindow({kind, u"Test", u"Test", false},
                             [&log](Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
                               log.Add(window, message, wParam, lParam);
                               return message > kMsgUser ? 40 + (message - kMsgUser) : 0;
                             });
}

TEST(UiMessages, ThreadsPostsAndSendsAreHandledInTheOrderMade) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  MessageLog log;
  Window window = LoggingWindow(system, log);
  LoopThread loop(system);
  std::vector<uint32_t> seenAtReply;
  intptr_t answer = 0;
  std::thread worker([&] {
    EXPECT_TRUE(system.PostMessage(window, kMsgA, 1, 0));
    answer = system.SendMessage(window, kMsgB, 2, 0);
    // The send returns once handled: what came before it has been handled too.
    seenAtReply = log.MessagesOf(window);
    EXPECT_TRUE(system.PostMessage(window, kMsgC, 3, 0));
  });
  worker.join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(seenAtReply, (std::vector<uint32_t>{kMsgCreate, kMsgA, kMsgB}));
  ASSERT_TRUE(log.WaitForCount(window, kMsgC, 1));
  EXPECT_EQ(log.Of(window, {kMsgA, kMsgB, kMsgC}),
            (std::vector<Logged>{{window, kMsgA, 1, 0}, {window, kMsgB, 2, 0}, {window, kMsgC, 3, 0}}));
}

TEST(UiMessages, SendingOnTheUiThreadCallsTheProcedureAtOnce) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  MessageLog log;
  Window window = LoggingWindow(system, log);
  EXPECT_EQ(system.SendMessage(window, kMsgC, 0, 0), 43);
  EXPECT_EQ(log.MessagesOf(window), (std::vector<uint32_t>{kMsgCreate, kMsgC}));
  EXPECT_EQ(system.SendMessage(window + 100, kMsgC, 0, 0), 0);
  EXPECT_FALSE(system.PostMessage(window + 100, kMsgC, 0, 0));
}

TEST(UiMessages, SendingFromAnotherThreadDuringTheExitNeverWaits) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  std::atomic<intptr_t> sentDuringExit = -1;
  Window window = system.CreateWindow({"main", u"", u"", false},
                                      [&](Window self, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message == kMsgA) {
      // The exit path: quit, then wait for a thread that sends to this window
      // (as the power thread does). The UI thread is busy here, so a send that
      // waited for it would never return.
      system.PostQuitMessage(3);
      std::thread power([&] { sentDuringExit = system.SendMessage(self, kMsgB, 0, 0); });
      power.join();
    }
    return message == kMsgB ? 7 : 0;
  });
  LoopThread loop(system);
  ASSERT_TRUE(system.PostMessage(window, kMsgA, 0, 0));
  EXPECT_EQ(loop.Join(), 3);
  EXPECT_EQ(sentDuringExit, 0);
  EXPECT_TRUE(system.HasQuit());
  std::thread late([&] {
    EXPECT_EQ(system.SendMessage(window, kMsgB, 0, 0), 0);
    EXPECT_FALSE(system.PostMessage(window, kMsgB, 0, 0));
  });
  late.join();
}

TEST(UiMessages, QuitEndsNestedLoopsAndModalCallsReturnZero) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  std::atomic<int> boxAnswer = -1;
  Window window = system.CreateWindow({"main", u"", u"", false},
                                      [&](Window self, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message == kMsgA) boxAnswer = system.MessageBox(self, u"Waiting", u"Information", kMbOk);
    return 0;
  });
  system.ShowWindow(window);
  LoopThread loop(system);
  ASSERT_TRUE(system.PostMessage(window, kMsgA, 0, 0));
  ASSERT_TRUE(WaitFor(system, [&] { return system.TopKind() == "message-box"; }));
  system.PostQuitMessage(5);
  EXPECT_EQ(loop.Join(), 5);
  EXPECT_EQ(boxAnswer, 0);
  // Once quitting, nothing modal shows any more and inputs are refused.
  EXPECT_EQ(system.MessageBox(window, u"Late", u"", kMbOk), 0);
  std::vector<std::string> errors;
  int listener = system.AddEventListener([&](const Event& event) { errors.push_back(event.name); });
  system.PressKey(kKeyReturn);
  system.RemoveListener(listener);
  EXPECT_EQ(errors, std::vector<std::string>{"error"});
}

TEST(UiTimers, ManualClockFiresDueTimersOncePerAdvanceInDeadlineOrder) {
  auto clock = std::make_shared<ManualClock>();
  WindowSystem system(kWidth, kHeight, clock);
  MessageLog log;
  Window window = LoggingWindow(system, log);
  system.SetTimer(window, 3, 180000);  // the standby timer
  system.SetTimer(window, 1, 500);
  struct Step {
    int64_t advanceMs;
    std::function<void()> before;
    std::vector<uintptr_t> fired;
  };
  const Step steps[] = {
      {499, nullptr, {}},
      {1, nullptr, {1}},
      // Three minutes in one step: each due timer once, the earlier deadline first.
      {179500, nullptr, {1, 3}},
      {180000, [&] { system.KillTimer(window, 3); }, {1}},
      // Setting an id again restarts its period from now.
      {179999, [&] { system.SetTimer(window, 3, 180000); }, {1}},
      {1, nullptr, {3}},
      {100, [&] { system.SetTimer(window, 1, 100); }, {1}},
  };
  size_t handled = 0;
  for (const Step& step : steps) {
    if (step.before) step.before();
    clock->Advance(step.advanceMs * 1000);
    system.PumpPending();
    std::vector<uintptr_t> fired;
    auto timers = log.Of(window, {kMsgTimer});
    for (size_t i = handled; i < timers.size(); ++i) fired.push_back(timers[i].wParam);
    handled = timers.size();
    EXPECT_EQ(fired, step.fired) << "after advancing " << step.advanceMs << " ms";
  }
}

TEST(UiTimers, AdvanceWakesARunningLoopAndWorkersArmTimers) {
  auto clock = std::make_shared<ManualClock>();
  WindowSystem system(kWidth, kHeight, clock);
  MessageLog log;
  Window window = LoggingWindow(system, log);
  LoopThread loop(system);
  std::thread decodeThread([&] { system.SetTimer(window, 3, 180000); });
  decodeThread.join();
  clock->Advance(179999000);
  clock->Advance(1000);
  ASSERT_TRUE(log.WaitForCount(window, kMsgTimer, 1));
  EXPECT_EQ(log.Of(window, {kMsgTimer}), (std::vector<Logged>{{window, kMsgTimer, 3, 0}}));
  std::thread([&] { system.KillTimer(window, 3); }).join();
  clock->Advance(360000000);
  // A message sent after the advance is handled after any timer it made due.
  std::thread([&] { system.SendMessage(window, kMsgA, 0, 0); }).join();
  EXPECT_EQ(log.Of(window, {kMsgTimer}).size(), 1u);
}

TEST(UiTimers, DestroyingAWindowEndsItsTimers) {
  auto clock = std::make_shared<ManualClock>();
  WindowSystem system(kWidth, kHeight, clock);
  MessageLog log;
  Window window = LoggingWindow(system, log);
  system.SetTimer(window, 1, 500);
  system.DestroyWindow(window);
  clock->Advance(1000000);
  system.PumpPending();
  EXPECT_TRUE(log.Of(window, {kMsgTimer}).empty());
  EXPECT_FALSE(system.IsWindow(window));
}

// The main window opens the settings dialog on 40133; the dialog asks a
// question on OK and ends with 1 after "yes".
TEST(UiModal, ActivationMovesToDialogsAndMessageBoxesAndBack) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  MessageLog log;
  std::atomic<Window> dialogWindow = kNoWindow;
  std::atomic<int> dialogResult = -1, boxAnswer = -1;
  Window main = system.CreateWindow({"main", u"", u"", false},
                                    [&](Window self, uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    log.Add(self, message, wParam, lParam);
    if (message == kMsgCommand && wParam == 40133) {
      dialogResult = system.DialogBox(kTestDialogs[0], kTestModule, self, "settings",
                                       [&](Window dialog, uint32_t m, uintptr_t w, intptr_t l) {
        log.Add(dialog, m, w, l);
        dialogWindow = dialog;
        if (m == kMsgCommand && w == kOkCommand) {
          boxAnswer = system.MessageBox(dialog, u"Save?", u"Settings", kMbYesNo | kMbIconQuestion);
          if (boxAnswer == kIdYes) system.EndDialog(dialog, 1);
        }
        return true;
      });
    }
    return 0;
  });
  system.SetMenuBar(main, testing::TestMainMenuBar());
  system.ShowWindow(main);
  LoopThread loop(system);
  system.ChooseCommand(40133);
  ASSERT_TRUE(WaitFor(system, [&] { return system.TopKind() == "settings"; }));
  system.ChooseCommand(kOkCommand);
  ASSERT_TRUE(WaitFor(system, [&] { return system.TopKind() == "message-box"; }));
  // A worker's send is answered while the nested loop waits for the user.
  intptr_t sent = 0;
  std::thread([&] { sent = system.SendMessage(main, kMsgA, 0, 0); }).join();
  system.Answer(kIdYes);
  ASSERT_TRUE(WaitFor(system, [&] { return system.TopKind() == "main"; }));
  system.SendMessage(main, kMsgUser + 9, 0, 0);  // handled once the command that opened the dialog returned
  EXPECT_EQ(dialogResult, 1);
  EXPECT_EQ(boxAnswer, kIdYes);
  EXPECT_EQ(sent, 0);  // the procedure answered 0, but it was called:
  EXPECT_EQ(log.Of(main, {kMsgA}).size(), 1u);

  const Window dialog = dialogWindow;
  EXPECT_EQ(log.Of(main, {kMsgActivate}),
            (std::vector<Logged>{{main, kMsgActivate, kActive, 0},
                                 {main, kMsgActivate, kInactive, static_cast<intptr_t>(dialog)},
                                 {main, kMsgActivate, kActive, static_cast<intptr_t>(dialog)}}));
  EXPECT_EQ(log.MessagesOf(dialog),
            (std::vector<uint32_t>{kMsgInitDialog, kMsgSize, kMsgActivate, kMsgCommand, kMsgActivate, kMsgActivate,
                                   kMsgActivate, kMsgDestroy}));
  auto activations = log.Of(dialog, {kMsgActivate});
  ASSERT_EQ(activations.size(), 4u);
  EXPECT_EQ((std::vector<uintptr_t>{activations[0].wParam, activations[1].wParam, activations[2].wParam,
                                    activations[3].wParam}),
            (std::vector<uintptr_t>{kActive, kInactive, kActive, kInactive}));
  EXPECT_EQ(system.TopKind(), "main");
  EXPECT_FALSE(system.IsWindow(dialog));
}

TEST(UiModal, CancelEndsTheDialogWithoutTheBox) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  std::atomic<int> result = -1;
  Window main = system.CreateWindow({"main", u"", u"", false},
                                    [&](Window self, uint32_t message, uintptr_t wParam, intptr_t) -> intptr_t {
    if (message == kMsgCommand && wParam == 40133) {
      result = system.DialogBox(kTestDialogs[0], kTestModule, self, "settings",
                                [&](Window dialog, uint32_t m, uintptr_t w, intptr_t) {
        if (m == kMsgCommand && (w == kCancelCommand || w == static_cast<uintptr_t>(kIdCancel))) {
          system.EndDialog(dialog, 2);
        }
        return true;
      });
    }
    return 0;
  });
  system.SetMenuBar(main, testing::TestMainMenuBar());
  system.ShowWindow(main);
  LoopThread loop(system);
  for (uint32_t key : {kKeySoftRight, kKeyEscape}) {  // the right softkey's Cancel, then Escape
    result = -1;
    system.ChooseCommand(40133);
    ASSERT_TRUE(WaitFor(system, [&] { return system.TopKind() == "settings"; }));
    system.PressKey(key);
    ASSERT_TRUE(WaitFor(system, [&] { return system.TopKind() == "main"; })) << key;
    system.SendMessage(main, kMsgUser + 9, 0, 0);
    EXPECT_EQ(result, 2) << key;
  }
}

TEST(UiWindows, DestroyingTheTopWindowActivatesTheOneBelow) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  MessageLog log;
  Window main = LoggingWindow(system, log, "main");
  Window result = LoggingWindow(system, log, "result");
  system.ShowWindow(main);
  system.ShowWindow(result);
  EXPECT_EQ(system.ForegroundWindow(), result);
  system.DestroyWindow(result);
  EXPECT_EQ(log.MessagesOf(result),
            (std::vector<uint32_t>{kMsgCreate, kMsgActivate, kMsgSize, kMsgActivate, kMsgDestroy}));
  EXPECT_EQ(log.Of(main, {kMsgActivate}),
            (std::vector<Logged>{{main, kMsgActivate, kActive, 0},
                                 {main, kMsgActivate, kInactive, static_cast<intptr_t>(result)},
                                 {main, kMsgActivate, kActive, static_cast<intptr_t>(result)}}));
  EXPECT_EQ(system.ForegroundWindow(), main);
  EXPECT_EQ(system.FindWindow(u"Test", u"Test"), main);
}

TEST(UiWindows, ACreationRefusedByTheProcedureMakesNoWindow) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  Window refused = system.CreateWindow({"main", u"C", u"T", true},
                                       [](Window, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
                                         return message == kMsgCreate ? -1 : 0;
                                       });
  EXPECT_EQ(refused, kNoWindow);
  EXPECT_EQ(system.FindWindow(u"C", u"T"), kNoWindow);
}

TEST(UiWindows, CloseRequestReachesTheMainWindowAndEndsTheLoop) {
  WindowSystem system(kWidth, kHeight, SteadyClock());
  MessageLog log;
  Window main = system.CreateWindow({"main", u"", u"", false},
                                    [&](Window self, uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    log.Add(self, message, wParam, lParam);
    if (message == kMsgDestroy) system.PostQuitMessage(0);
    return system.DefWindowProc(self, message, wParam, lParam);
  });
  Window other = LoggingWindow(system, log, "history");
  system.ShowWindow(main);
  system.ShowWindow(other);
  LoopThread loop(system);
  system.RequestClose();
  EXPECT_EQ(loop.Join(), 0);
  EXPECT_EQ(log.Of(main, {kMsgSysCommand, kMsgClose, kMsgDestroy}),
            (std::vector<Logged>{{main, kMsgSysCommand, kSysCommandClose, 0},
                                 {main, kMsgClose, 0, 0},
                                 {main, kMsgDestroy, 0, 0}}));
}

TEST(UiPaint, InvalidationsCoalesceAndEndPaintPublishesTheFrame) {
  WindowSystem system(4, 3, SteadyClock());
  int paints = 0;
  Window main = system.CreateWindow({"main", u"", u"", true},
                                    [&](Window self, uint32_t message, uintptr_t, intptr_t) -> intptr_t {
    if (message == kMsgPaint) {
      ++paints;
      Canvas canvas = system.BeginPaint(self);
      canvas.FillRect({1, 1, 3, 2}, 0x123456);
      system.EndPaint(self);
    }
    return 0;
  });
  std::vector<uint32_t> pixels;
  EXPECT_EQ(system.ReadFrame(&pixels), 0u);
  EXPECT_EQ(pixels, std::vector<uint32_t>(12, 0xFFFFFF));
  for (int i = 0; i < 3; ++i) system.InvalidateWindow(main);
  std::thread([&] { system.InvalidateWindow(main); }).join();
  system.PumpPending();
  EXPECT_EQ(paints, 1);
  EXPECT_EQ(system.ReadFrame(&pixels), 1u);
  constexpr uint32_t W = 0xFFFFFF, P = 0x123456;
  EXPECT_EQ(pixels, (std::vector<uint32_t>{W, W, W, W, W, P, P, W, W, W, W, W}));
  // A window without a frame buffer paints nowhere.
  Window plain = system.CreateWindow({"result", u"", u"", false}, [](Window, uint32_t, uintptr_t, intptr_t) -> intptr_t {
    return 0;
  });
  EXPECT_FALSE(system.BeginPaint(plain).valid());
}

}  // namespace
}  // namespace cordavex::ui
