// The program's start and exit in this process, against a stand-in filter
// library that records the calls it receives: the rotation set-up per device
// and the order of the exit.
#include <gtest/gtest.h>

#include "app/program.h"
#include "platform/library_loader.h"
#include "platform/memory_device.h"
#include "ui/clock.h"

namespace cordavex::app {
namespace {

using StandInCallsFunction = int(char*, int);
using StandInRecordFunction = void(const char*);

// Captures that write their steps into the stand-in's record, so that their
// order against the filter's calls shows.
class RecordingCapture : public CaptureControl {
 public:
  explicit RecordingCapture(StandInRecordFunction* record) : record_(record) {}
  int StartCapture(ui::Window) override {
    record_("StartCapture");
    running_ = true;
    return 1;
  }
  int StopCapture() override {
    record_("StopCapture");
    running_ = false;
    return 1;
  }
  bool IsCapturing() const override { return running_; }
  bool EngineIdle() const override { return true; }
  void RebuildPreview() override {}
  void PaintPreview(ui::Canvas&) override {}
  void TriggerFocus() override { record_("TriggerFocus"); }
  void ZoomStep(int32_t direction) override { record_(direction > 0 ? "ZoomUp" : "ZoomDown"); }
  void SetFocusMode(int32_t) override {}
  int32_t FocusMode() const override { return focusMode; }
  int32_t ZoomPosition() const override { return zoomPosition; }
  int32_t ZoomSteps() const override { return zoomSteps; }

  int32_t focusMode = 0, zoomPosition = 0, zoomSteps = 0;

 private:
  StandInRecordFunction* record_;
  bool running_ = false;
};

class ProgramStart : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::SetLibraryFolder(CORDAVEX_STANDIN_FILTER_DIR);
    // Held for the whole test, so that the record survives the program's
    // own load and free.
    standIn_ = platform::LoadLibrary("CordavexDSFilter.dll");
    ASSERT_NE(standIn_, nullptr);
    calls_ = platform::GetProcAddressAs<StandInCallsFunction>(standIn_, "StandInCalls");
    record_ = platform::GetProcAddressAs<StandInRecordFunction>(standIn_, "StandInRecord");
    ASSERT_NE(calls_, nullptr);
    Calls();
  }
  void TearDown() override {
    platform::FreeLibrary(standIn_);
    platform::SetLibraryFolder("");
  }

  std::string Calls() {
    std::string text(static_cast<size_t>(calls_(nullptr, 0)) + 1, '\0');
    text.resize(static_cast<size_t>(calls_(text.data(), static_cast<int>(text.size()))));
    return text;
  }

  platform::LibraryHandle standIn_ = nullptr;
  StandInCallsFunction* calls_ = nullptr;
  StandInRecordFunction* record_ = nullptr;
};

struct ProgramRun {
  platform::MemoryDevice device;
  ui::WindowSystem windows;
  platform::Launcher launcher;
  Program program;
  explicit ProgramRun(const platform::DeviceProfile& profile)
      : windows(profile.screenWidth, profile.screenHeight, std::make_shared<ui::ManualClock>()),
        launcher(device, false),
        program(Services(device, windows, launcher, profile)) {}
  static Program::Services Services(platform::Device& device, ui::WindowSystem& windows,
                                    platform::Launcher& launcher, const platform::DeviceProfile& profile) {
    Program::Services services;
    services.device = &device;
    services.windows = &windows;
    services.launcher = &launcher;
    services.profile = profile;
    services.modulePath = u"/opt/cordavex/Cordavex";
    return services;
  }
};

TEST_F(ProgramStart, RotationSetUpByDeviceReachesTheFilter) {
  struct Case {
    std::string model;
    std::string platform;
    std::string calls;  // after registration and the screen size
  };
  const Case cases[] = {
      {"Linux", "PocketPC", "SetAutoDetectRotate(1);"},
      {"Linux", "Smartphone", "SetAutoDetectRotate(0);"},
      {"HTC S310", "PocketPC", "SetAutoDetectRotate(1);SetAutoDetectRotate(0);SetGlobalRotate(2);"},
      {"ASUS P305", "Smartphone", "SetAutoDetectRotate(0);setRxy(320,240);"},
      {"Asus P735", "PocketPC", "SetAutoDetectRotate(1);SetAutoDetectRotate(0);"},
      {"HERA10000", "PocketPC", "SetAutoDetectRotate(1);SetAutoDetectRotate(0);"},
  };
  for (const Case& c : cases) {
    platform::DeviceProfile profile;
    profile.model = c.model;
    profile.platform = c.platform;
    profile.ceMinor = 1;  // keeps the CE 5.2 rows out of the way
    ProgramRun run(profile);
    Calls();  // the previous case's program unregistering as it went
    ASSERT_TRUE(run.program.Start(""));
    EXPECT_EQ(Calls(), "DllRegisterServer;setScreenXY(240,320);" + c.calls) << c.model << " " << c.platform;
  }
}

TEST_F(ProgramStart, FailedRegistrationLeavesTheEntryPointsOut) {
  ::setenv("CORDAVEX_STANDIN_REGISTER", "-2147467259", 1);  // E_FAIL
  {
    platform::DeviceProfile profile;
    profile.model = "HTC S310";
    ProgramRun run(profile);
    ASSERT_TRUE(run.program.Start(""));
    EXPECT_EQ(run.program.filter().setGlobalRotate, nullptr);
    EXPECT_EQ(Calls(), "DllRegisterServer;");
  }
  ::unsetenv("CORDAVEX_STANDIN_REGISTER");
}

TEST_F(ProgramStart, ExitStopsCaptureThenReleasesTheFilter) {
  platform::DeviceProfile profile;
  ProgramRun run(profile);
  run.program.SetCapture(std::make_unique<RecordingCapture>(record_));
  ASSERT_TRUE(run.program.Start(""));
  run.windows.PumpPending();
  // Activation arms the restart timer; half a second later capture starts.
  static_cast<ui::ManualClock&>(run.windows.clock()).Advance(500'000);
  run.windows.PumpPending();
  Calls();
  run.windows.RequestClose();
  run.windows.PumpPending();
  EXPECT_FALSE(run.program.alive());
  EXPECT_EQ(Calls(), "StopCapture;DllUnregisterServer;");
}

TEST_F(ProgramStart, KeysDriveTheCameraAndMenuCommandsAreTaken) {
  platform::DeviceProfile profile;
  profile.model = "IAC K868";  // class 12: up and down zoom, key 199 focuses
  ProgramRun run(profile);
  run.program.SetCapture(std::make_unique<RecordingCapture>(record_));
  ASSERT_TRUE(run.program.Start(""));
  run.windows.PumpPending();
  Calls();
  for (uint32_t key : {uint32_t{ui::kKeyReturn}, uint32_t{ui::kKeyLeft}, uint32_t{ui::kKeyRight}, uint32_t{ui::kKeyUp}, uint32_t{ui::kKeyDown}, 199u}) {
    run.windows.PressKey(key);
  }
  run.windows.PumpPending();
  EXPECT_EQ(Calls(), "TriggerFocus;ZoomDown;ZoomUp;ZoomUp;ZoomDown;TriggerFocus;");
}

TEST_F(ProgramStart, PaintsTheSkinZoomBarAndFocusIndicator) {
  platform::DeviceProfile profile;
  profile.model = "ASUS ARIES";  // the one model with the focus-mode indicator
  profile.screenWidth = 320;
  profile.screenHeight = 240;
  ProgramRun run(profile);
  auto capture = std::make_unique<RecordingCapture>(record_);
  capture->zoomSteps = 4;
  capture->zoomPosition = 2;
  capture->focusMode = 1;
  run.program.SetCapture(std::move(capture));
  ASSERT_TRUE(run.program.Start(""));
  run.windows.PumpPending();

  std::vector<uint32_t> frame;
  ASSERT_GT(run.windows.ReadFrame(&frame), 0u);
  ASSERT_EQ(frame.size(), 320u * 240u);
  auto at = [&frame](int x, int y) { return frame[static_cast<size_t>(y) * 320 + x]; };
  // Skin strips down both edges, white between them.
  EXPECT_NE(at(0, 100), 0xFFFFFFu);
  EXPECT_NE(at(319, 100), 0xFFFFFFu);
  EXPECT_EQ(at(160, 20), 0xFFFFFFu);
  // The zoom bar: 102 wide, centred near the bottom; the first half of its
  // inside light (position 2 of 4), the rest darker.
  int top = -1;
  for (int y = 239; y >= 0 && top < 0; --y) {
    if (at(160 - 51, y) == 0xDCDCDCu && at(160 - 51, y - 8) == 0xDCDCDCu) top = y - 8;
  }
  ASSERT_GE(top, 0);
  EXPECT_EQ(at(160 - 51 + 10, top + 4), 0xDCDCDCu);
  EXPECT_EQ(at(160 + 51 - 10, top + 4), 0xA0A0A0u);
  // The focus indicator, filled while focus mode 1 is on, at (250, 160).
  EXPECT_EQ(at(250 + 12, 160 + 12), 0x3C8CE6u);
}

}  // namespace
}  // namespace cordavex::app
