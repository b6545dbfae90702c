#include "app/program.h"

#include <chrono>
#include <thread>

#include "app/graph_camera.h"
#include "app/payload_handler.h"
#include "resources/resource_ids.h"

namespace cordavex::app {

namespace ids = resources;
using ui::Window;

namespace {

// The zoom bar's geometry on the screen.
constexpr int32_t kZoomBarHeight = 9;
constexpr int32_t kIndicatorLeft = 250, kIndicatorTop = 160, kIndicatorSide = 25;

}  // namespace

Program::Program(Services services)
    : deviceServices_(*services.device),
      windows_(*services.windows),
      launcher_(*services.launcher),
      profile_(std::move(services.profile)),
      modulePath_(std::move(services.modulePath)),
      device_(IdentifyDevice(profile_)),
      cameraSource_(std::move(services.camera)),
      mailbox_(std::move(services.mailbox)) {
  language_.resources = &resources::OwnModule();
  capture_ = std::make_unique<PendingCapture>(windows_);
}

Program::~Program() {
  power_.reset();
  if (!exited_) {
    FreeLanguageLibrary(&language_);
    FreeFilterLibrary(&filter_);
  }
}

void Program::SetCapture(std::unique_ptr<CaptureControl> capture) {
  capture_ = std::move(capture);
  captureGiven_ = true;
}

std::u16string Program::String(uint32_t id) const {
  const char16_t* text = resources::FindString(*language_.resources, id);
  if (text == nullptr) text = resources::FindString(resources::OwnModule(), id);
  return text != nullptr ? text : u"";
}

void Program::LoadLibraries() {
  language_ = LoadLanguageLibrary(profile_.uiLanguage);
  if (!LoadFilterLibrary(device_.screenWidth, device_.screenHeight, &filter_)) {
    windows_.MessageBox(windows_.ForegroundWindow(), u"Can't load the CordavexDSFilter.dll!", u"Error",
                        ui::kMbOk | ui::kMbIconInformation | ui::kMbSetForeground);
  }
}

bool Program::Start(const std::string& commandLine) {
  LoadLibraries();
  if (filter_.setAutoDetectRotate != nullptr) filter_.setAutoDetectRotate(device_.smartphone ? 0 : 1);
  if (!captureGiven_ && cameraSource_) MakeCaptureLoop();

  // The instance start. Another running program was found before the libraries
  // were loaded (single instance is a lock in the device root); here the window
  // class and title come from the program's own module.
  const std::u16string title = resources::FindString(resources::OwnModule(), ids::kStringWindowTitle);
  const std::u16string className = resources::FindString(resources::OwnModule(), ids::kStringWindowClass);
  WriteSettingsDefaults(deviceServices_, modulePath_, &settings_);
  ui::WindowDescription description{"main", className, title, true};
  mainWindow_ = windows_.CreateWindow(
      description, [this](Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
        return MainWindowProc(window, message, wParam, lParam);
      });
  if (mainWindow_ == ui::kNoWindow) return false;
  windows_.ShowWindow(mainWindow_);
  windows_.InvalidateWindow(mainWindow_);
  if (!commandLine.empty()) HandlePayloadCommandLine(*this, windows_, commandLine, mainWindow_);
  RunHandOvers();
  return true;
}

int Program::Run(const std::string& commandLine) {
  if (!Start(commandLine)) return 0;
  return windows_.RunMessageLoop();
}

void Program::HandOver(std::string commandLine) {
  {
    std::lock_guard lock(handOverMutex_);
    handOvers_.push_back(std::move(commandLine));
  }
  if (mainWindow_ != ui::kNoWindow) windows_.PostMessage(mainWindow_, kMsgHandOver, 0, 0);
}

void Program::RunHandOvers() {
  std::vector<std::string> pending;
  {
    std::lock_guard lock(handOverMutex_);
    pending.swap(handOvers_);
  }
  for (const std::string& commandLine : pending) {
    windows_.SetForegroundWindow(mainWindow_);
    if (!commandLine.empty()) HandlePayloadCommandLine(*this, windows_, commandLine, mainWindow_);
  }
}

// ------------------------------------------------------------ main window

bool Program::PreHandle(Window window, uint32_t message, uintptr_t wParam, intptr_t /*lParam*/) {
  if (message == ui::kMsgCreate) {
    // Re-read the settings, creating the key with the current values when it
    // is missing; the push listener starts with the window.
    WriteSettingsDefaults(deviceServices_, modulePath_, &settings_);
    Pending(ui::kNoWindow, "push listener", u"");
    return false;
  }
  if (message == ui::kMsgCommand) {
    const uint32_t command = static_cast<uint32_t>(wParam & 0xFFFF);
    if (command == ids::kCommandBrowseHistory) {
      Pending(window, "history list", u"瀏覽紀錄");
      return true;
    }
    if (command == ids::kCommandReopenHistory) {
      Pending(window, "history record", u"瀏覽紀錄");
      return true;
    }
  }
  if (message == ui::kMsgTimer && wParam == kTimerPushAccept) {
    windows_.KillTimer(window, kTimerPushAccept);
    Pending(window, "push accept", u"");
    return true;
  }
  return false;
}

intptr_t Program::MainWindowProc(Window window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  bool taken;
  if (message == ui::kMsgCommand && !uiBusy_) {
    uiBusy_ = true;
    taken = PreHandle(window, message, wParam, lParam);
    uiBusy_ = false;
  } else {
    taken = PreHandle(window, message, wParam, lParam);
  }
  if (taken) return 1;

  switch (message) {
    case ui::kMsgCreate:
      OnCreate(window);
      return 0;
    case ui::kMsgPaint:
      OnPaint(window);
      return 0;
    case ui::kMsgActivate:
      OnActivate(window, static_cast<uint32_t>(wParam & 0xFFFF));
      return 0;
    case ui::kMsgSettingChange:
      device_.orientation = profile_.orientation;
      if (capture_->IsCapturing()) capture_->RebuildPreview();
      return 0;
    case ui::kMsgTimer:
      OnTimer(window, static_cast<uint32_t>(wParam));
      return 0;
    case ui::kMsgKeyDown:
      if (!restartPending_) OnKey(window, static_cast<uint32_t>(wParam));
      return 0;
    case ui::kMsgSize:
      if (wParam == ui::kSizeMinimized) Exit(window);
      return 0;
    case ui::kMsgCommand:
      if (OnCommand(window, static_cast<uint32_t>(wParam & 0xFFFF))) return 0;
      break;
    case ui::kMsgSysCommand:
      if ((wParam & 0xFFF0) == ui::kSysCommandClose) {
        Exit(window);
        return 0;
      }
      break;
    case ui::kMsgClose:
      windows_.DestroyWindow(window);
      return 0;
    case ui::kMsgDestroy:
      Exit(window);
      return 0;
    case kMsgHandOver:
      RunHandOvers();
      return 0;
    case kMsgShowResult:
      ShowResultStandIn(window);
      return 0;
    case kMsgCameraMessage:
      ShowCameraMessage(window);
      return 0;
    case kMsgPowerStop:
      capture_->StopCapture();
      return 0;
    default:
      break;
  }
  return 0;
}

void Program::OnCreate(Window window) {
  mainWindow_ = window;
  device_ = IdentifyDevice(profile_);
  skin_ = LoadSkin(device_);
  // The temporary-file folder the web and file actions use.
  (void)deviceServices_.MakeFolders("Temp/Cordavex");

  if (!device_.smartphone) StartPowerNotifications();

  for (const RotationCall& call : RotationCallsFor(device_)) {
    switch (call.kind) {
      case RotationCall::kSetAutoDetectRotate:
        if (filter_.setAutoDetectRotate != nullptr) filter_.setAutoDetectRotate(call.first);
        break;
      case RotationCall::kSetGlobalRotate:
        if (filter_.setGlobalRotate != nullptr) filter_.setGlobalRotate(call.first);
        break;
      case RotationCall::kSetRxy:
        if (filter_.setRxy != nullptr) filter_.setRxy(call.first, call.second);
        break;
    }
  }

  if (const auto* menuBar = resources::FindMenuBar(*language_.resources, ids::kMenuBarMain)) {
    windows_.SetMenuBar(window, ui::MenuBarFrom(*menuBar));
  }
  mainWindow_ = window;
}

void Program::OnPaint(Window window) {
  if (!alive_) return;
  ui::Canvas canvas = windows_.BeginPaint(window);
  if (canvas.valid()) {
    PaintSkin(skin_, canvas);
    if (capture_->ZoomSteps() >= 1) {
      const bool wide = device_.smartphone && !SameModel(device_.model, u"ASUS ARIES") &&
                        device_.deviceClass != 15;
      const int32_t width = wide ? 152 : 102;
      PaintZoomBar(canvas, (canvas.width() - width) / 2, canvas.height() - kZoomBarHeight - 8, width,
                   capture_->ZoomPosition(), capture_->ZoomSteps());
    }
    if (SameModel(device_.model, u"ASUS ARIES")) {
      const SkinPicture& indicator = capture_->FocusMode() == 1 ? skin_.focusOn : skin_.focusOff;
      canvas.DrawPicture(indicator.view(), kIndicatorLeft, kIndicatorTop);
    }
    capture_->PaintPreview(canvas);
    if (cameraInUseShown_) {
      // The camera could not be started: say so in the middle of the screen.
      const ui::Font font{18, true};
      const std::u16string text = String(resources::kStringCameraInUse);
      int32_t y = (canvas.height() + 18) / 2 - 43;
      size_t start = 0;
      while (start <= text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        const std::u16string_view line = std::u16string_view(text).substr(start, end - start);
        const int32_t lineWidth = ui::Canvas::MeasureText(line, font);
        canvas.DrawText(line, canvas.width() / 2 - lineWidth / 2, y, font, 0x000000);
        y += 21;
        start = end + 1;
      }
    }
  }
  windows_.EndPaint(window);
}

void Program::OnActivate(Window window, uint32_t state) {
  active_ = state != ui::kInactive;
  if (active_) {
    if (!uiBusy_ || restartPending_) {
      windows_.SetTimer(window, kTimerRestart, 500);
      restartPending_ = false;
    }
    return;
  }
  if (!uiBusy_ && windows_.ForegroundWindow() != mainWindow_) {
    capture_->StopCapture();
    windows_.InvalidateWindow(window);
  }
}

void Program::OnTimer(Window window, uint32_t id) {
  switch (id) {
    case kTimerRestart:
      if (active_ && windows_.ForegroundWindow() == window && !uiBusy_) {
        windows_.KillTimer(window, kTimerRestart);
        if (capture_->IsCapturing()) capture_->StopCapture();
        cameraInUseShown_ = capture_->StartCapture(window) == 0;
        windows_.InvalidateWindow(window);
      }
      break;
    case kTimerStandbyPause:
      windows_.KillTimer(window, kTimerStandbyPause);
      standbyPause_ = false;
      break;
    case kTimerStandby:
      windows_.KillTimer(window, kTimerStandby);
      Standby(window);
      break;
    default:
      break;
  }
}

void Program::Standby(Window window) {
  if (uiBusy_) return;
  uiBusy_ = true;
  restartPending_ = true;
  if (capture_->IsCapturing()) capture_->StopCapture();
  ui::Canvas canvas = windows_.BeginPaint(window);
  if (canvas.valid()) canvas.FillRect({0, 0, canvas.width(), canvas.height()}, 0xFFFFFF);
  windows_.EndPaint(window);
  windows_.MessageBox(window, String(resources::kStringStandby), u"Information",
                      ui::kMbOk | ui::kMbIconInformation | ui::kMbSetForeground);
  uiBusy_ = false;
  standbyPause_ = true;
  windows_.SetTimer(window, kTimerStandbyPause, 30000);
}

void Program::OnKey(Window window, uint32_t key) {
  const bool aries = SameModel(device_.model, u"ASUS ARIES");
  const bool class12 = device_.deviceClass == 12;
  auto repaintIndicator = [&] { windows_.InvalidateWindow(window); };
  switch (key) {
    case ui::kKeyReturn:
      capture_->TriggerFocus();
      break;
    case ui::kKeyLeft:
      capture_->ZoomStep(-1);
      windows_.InvalidateWindow(window);
      break;
    case ui::kKeyRight:
      capture_->ZoomStep(+1);
      windows_.InvalidateWindow(window);
      break;
    case ui::kKeyUp:
      if (class12) {
        capture_->ZoomStep(+1);
        windows_.InvalidateWindow(window);
      } else if (aries) {
        capture_->SetFocusMode(1);
        repaintIndicator();
      }
      break;
    case ui::kKeyDown:
      if (class12) {
        capture_->ZoomStep(-1);
        windows_.InvalidateWindow(window);
      } else if (aries) {
        capture_->SetFocusMode(0);
        repaintIndicator();
      }
      break;
    case 199:
      if (class12) capture_->TriggerFocus();
      break;
    default:
      break;
  }
}

bool Program::OnCommand(Window window, uint32_t command) {
  switch (command) {
    case ids::kCommandOk:
      windows_.PostMessage(window, ui::kMsgClose, 0, 0);
      return true;
    case ids::kCommandExit:
      Exit(window);
      return true;
    case ids::kCommandAbout:
      ShowAbout(window);
      return true;
    case ids::kCommandHelp:
      ShowHelp();
      return true;
    case ids::kCommandOnlineUpdate:
      Pending(window, "online update", u"線上更新");
      return true;
    case ids::kCommandPersonalInfo: {
      const bool wasBusy = uiBusy_.exchange(true);
      Pending(window, "personal information", u"個人資訊");
      if (!wasBusy) uiBusy_ = false;
      return true;
    }
    case ids::kCommandSettings: {
      const bool wasBusy = uiBusy_.exchange(true);
      ShowSettings(window);
      if (!wasBusy) uiBusy_ = false;
      return true;
    }
    default:
      return false;
  }
}

void Program::ShowAbout(Window window) {
  const resources::DialogTemplate* dialog =
      resources::FindDialog(resources::OwnModule(), ids::kDialogAbout);
  if (dialog == nullptr) return;
  windows_.DialogBox(*dialog, resources::OwnModule(), window, "about",
                     [this](Window about, uint32_t message, uintptr_t wParam, intptr_t) {
                       if (message == ui::kMsgCommand) {
                         const uint32_t command = static_cast<uint32_t>(wParam & 0xFFFF);
                         if (command == ids::kCommandOk || command == ids::kCommandCancel) {
                           windows_.EndDialog(about, static_cast<int>(command));
                           return true;
                         }
                       }
                       if (message == ui::kMsgInitDialog) {
                         windows_.SetDoneButton(about, !device_.smartphone);
                         return true;
                       }
                       return false;
                     });
}

void Program::ShowHelp() {
  if (device_.smartphone) {
    // The keypad platform opens help in its web browser.
    (void)launcher_.Launch(u"iexplore.exe", language_.helpAddress);
  } else {
    (void)launcher_.Launch(u"peghelp.exe", language_.helpAddress);
  }
  windows_.Emit({"launch", {{"program", device_.smartphone ? "iexplore.exe" : "peghelp.exe"},
                            {"commandLine", platform::Utf8(language_.helpAddress)}}});
}

void Program::Pending(Window owner, std::string_view name, std::u16string_view what) {
  windows_.Emit({"stub", {{"name", std::string(name)}}});
  if (owner == ui::kNoWindow) return;
  std::u16string text = what.empty() ? platform::Utf16(name) : std::u16string(what);
  text += u": not available in this build yet";
  windows_.MessageBox(owner, text, u"Cordavex", ui::kMbOk | ui::kMbIconInformation);
}

// ------------------------------------------------------------ exit

void Program::Exit(Window window) {
  if (exited_) return;
  exited_ = true;
  alive_ = false;
  if (!uiBusy_) {
    while (!capture_->EngineIdle()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  capture_->StopCapture();
  skin_ = Skin{};
  FreeLanguageLibrary(&language_);
  FreeFilterLibrary(&filter_);
  (void)window;
  windows_.PostQuitMessage(0);
}

// ------------------------------------------------------------ live scanning

void Program::MakeCaptureLoop() {
  // Without the filter's exports no frame reaches the engine: the stand-in
  // stays, as on a phone without the filter library.
  if (filter_.getVideoFormat == nullptr || filter_.getVideoBuffer == nullptr) return;
  const camera::SourceChoice choice = *cameraSource_;
  auto mailbox = mailbox_;
  camera::GraphHost host;
  host.repaint = [this] {
    if (mainWindow_ != ui::kNoWindow) windows_.InvalidateWindow(mainWindow_);
  };
  // A camera that cannot start fails again at every activation: its message
  // is said once, not each time the person closes it.
  auto said = std::make_shared<std::u16string>();
  auto say = [this, said](std::u16string text) {
    {
      std::lock_guard lock(resultMutex_);
      if (text == *said) return;
      *said = text;
      cameraMessages_.push_back(std::move(text));
    }
    windows_.PostMessage(mainWindow_, kMsgCameraMessage, 0, 0);
  };
  // The main window takes no failure reports of its own (message 1024): the
  // camera says its failures with their reasons below.
  host.postFailure = [](const camera::FailureReport&) {};
  host.streamEnded = [say](const std::string& line) { say(platform::Utf16(line)); };
  host.streamFailed = [say](const platform::Status& status) {
    say(u"The camera failed: " + platform::Utf16(status.message()));
  };
  camera::DeviceTraits traits{device_.deviceClass, platform::Utf8(device_.model), device_.smartphone};

  CaptureLoop::Parts parts;
  parts.windows = &windows_;
  parts.device = &device_;
  parts.settings = &settings_;
  parts.uiBusy = &uiBusy_;
  parts.frames = {filter_.getVideoFormat, filter_.getVideoBuffer};
  parts.makeCamera = [choice, mailbox, host, traits, say]() -> std::unique_ptr<CaptureCamera> {
    camera::GraphParts graph;
    graph.makeSource = [choice, mailbox] { return camera::MakeFrameSource(choice, mailbox); };
    graph.makeFilter = camera::LibraryFilterFactory();
    return std::make_unique<GraphCamera>(std::move(graph), host, traits,
                                         [say](const std::string& text) { say(platform::Utf16(text)); });
  };
  parts.sink = [this](const ScanResult& result) { ResultStandIn(result); };
  parts.cancelSink = [this] {
    std::lock_guard lock(resultMutex_);
    resultClosed_.notify_all();
  };
  capture_ = std::make_unique<CaptureLoop>(std::move(parts));
}

// The result screen is not part of this build yet: the stand-in shows the
// text in a message box, and the decode thread waits until it is closed, as
// it would wait for the person to leave the result screen.
void Program::ResultStandIn(const ScanResult& result) {
  std::u16string text(result.RawText());
  windows_.Emit({"stub", {{"name", "result screen"}, {"text", ToUtf8(text)}}});
  if (settings_.decodeSound == 1) windows_.Emit({"sound", {}});
  std::unique_lock lock(resultMutex_);
  results_.push_back(std::move(text));
  resultOpen_ = true;
  windows_.PostMessage(mainWindow_, kMsgShowResult, 0, 0);
  resultClosed_.wait(lock, [this] { return !resultOpen_ || !capture_->IsCapturing() || !alive_; });
}

void Program::ShowResultStandIn(ui::Window window) {
  std::u16string text;
  {
    std::lock_guard lock(resultMutex_);
    if (results_.empty()) return;
    text = std::move(results_.front());
    results_.pop_front();
  }
  windows_.MessageBox(window, text, u"Cordavex", ui::kMbOk | ui::kMbIconInformation);
  {
    std::lock_guard lock(resultMutex_);
    resultOpen_ = false;
  }
  resultClosed_.notify_all();
}

void Program::ShowCameraMessage(ui::Window window) {
  std::u16string text;
  {
    std::lock_guard lock(resultMutex_);
    if (cameraMessages_.empty()) return;
    text = std::move(cameraMessages_.front());
    cameraMessages_.pop_front();
  }
  const bool wasBusy = uiBusy_.exchange(true);
  windows_.MessageBox(window, text, u"Cordavex", ui::kMbOk | ui::kMbIconInformation);
  if (!wasBusy) uiBusy_ = false;
}

// The host's suspend and resume (SIGTSTP and SIGCONT) stop the camera and
// restart it through the main window, as the device's power manager would.
void Program::StartPowerNotifications() {
  std::unique_ptr<camera::SignalPowerEvents> events;
  if (!camera::SignalPowerEvents::Create(&events).ok()) return;  // one per process
  camera::PowerHandlers handlers;
  handlers.clearStandbyPause = [this] { standbyPause_ = false; };
  handlers.destroyMainWindow = [this] { windows_.SendMessage(mainWindow_, ui::kMsgDestroy, 0, 0); };
  handlers.setRestartPending = [this] { restartPending_ = true; };
  handlers.uiBusyOrStandbyPaused = [this] { return uiBusy_ || standbyPause_; };
  // The capture is started and stopped on the window thread only.
  handlers.stopCapture = [this] { windows_.SendMessage(mainWindow_, kMsgPowerStop, 0, 0); };
  handlers.waitStopEvent = [](std::chrono::milliseconds) { return true; };  // the stop above is whole
  handlers.reactivateMainWindow = [this] {
    windows_.InvalidateWindow(mainWindow_);
    windows_.SendMessage(mainWindow_, ui::kMsgActivate, ui::kActive, 0);
  };
  handlers.triggerFocus = [this] { capture_->TriggerFocus(); };
  power_ = std::make_unique<camera::PowerNotifications>(std::move(events), std::move(handlers),
                                                        device_.deviceClass, platform::Utf8(device_.model));
}

}  // namespace cordavex::app
