// The capture and decode loop with a synthetic frame source and a recording
// camera, its passes run by hand on a manual clock.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <tuple>
#include <string>
#include <vector>

#include "app/capture_loop.h"
#include "support/qr_symbols.h"
#include "support/render.h"
#include "ui/clock.h"

namespace cordavex::app {
namespace {

// The synthetic frame source behind the two filter exports.
struct SyntheticSource {
  filter::FrameFormat format{};
  std::vector<uint8_t> frame;
  int copies = 0;
};
SyntheticSource* source = nullptr;

filter::FrameFormat* SyntheticFormat(filter::FrameFormat* format) {
  *format = source->format;
  return format;
}
void* SyntheticBuffer(void* destination, int32_t size) {
  ++source->copies;
  std::memcpy(destination, source->frame.data(), std::min<size_t>(source->frame.size(), static_cast<size_t>(size)));
  return destination;
}

class RecordingCamera : public CaptureCamera {
 public:
  explicit RecordingCamera(std::vector<std::string>* calls, bool failRun = false)
      : calls_(calls), failRun_(failRun) {}
  filter::HRESULT Initialise(ui::Window, int32_t zoomValue) override {
    calls_->push_back("Initialise(" + std::to_string(zoomValue) + ")");
    return 0;
  }
  filter::HRESULT Build() override { return Record("Build", 0); }
  filter::HRESULT Run() override { return Record("Run", failRun_ ? -1 : 0); }
  filter::HRESULT StartPreview(int32_t, int32_t, int32_t, int32_t) override { return Record("StartPreview", 0); }
  filter::HRESULT Stop() override { return Record("Stop", 0); }
  filter::HRESULT Zoom(int32_t up) override { return Record(up ? "ZoomUp" : "ZoomDown", 0); }
  filter::HRESULT Focus(int32_t) override { return Record("Focus", 0); }
  filter::HRESULT FocusMode(int32_t) override { return Record("FocusMode", 0); }
  ZoomState ApplyZoomTable() override { return {3, 1, 200}; }

 private:
  filter::HRESULT Record(const char* call, filter::HRESULT hr) {
    calls_->push_back(call);
    return hr;
  }
  std::vector<std::string>* calls_;
  bool failRun_;
};

std::vector<uint8_t> QrFrameBgr(const std::string& text, int width, int height) {
  const auto symbol =
      test::EncodeQrBytes({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, 2, test::kLevelM);
  EXPECT_TRUE(symbol.has_value());
  test::RenderOptions o;
  o.width = width;
  o.height = height;
  o.bitsPerPixel = 24;
  o.moduleSize = 5.0;
  return test::RenderModules(symbol->modules, symbol->size, o).pixels;
}

class CaptureLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source = &source_;
    source_.format = {320, 240, kFormatRgb24, 24, 320, 240, 0};
    source_.frame = QrFrameBgr("http://example.com/capture", 320, 240);
    window_ = windows_.CreateWindow({"main", u"Cordavex 3.6", u"Cordavex 3.6", true},
                                    [this](ui::Window w, uint32_t message, uintptr_t wParam, intptr_t lParam) {
                                      if (message == ui::kMsgTimer) timers_.push_back(static_cast<uint32_t>(wParam));
                                      return windows_.DefWindowProc(w, message, wParam, lParam);
                                    });
    windows_.ShowWindow(window_);
  }
  void TearDown() override { source = nullptr; }

  // The synthetic source, a recording camera and this fixture's window and flags.
  CaptureLoop::Parts Parts(bool failRun = false) {
    CaptureLoop::Parts parts;
    parts.windows = &windows_;
    parts.device = &device_;
    parts.settings = &settings_;
    parts.uiBusy = &uiBusy_;
    parts.frames = {SyntheticFormat, SyntheticBuffer};
    parts.makeCamera = [this, failRun] { return std::make_unique<RecordingCamera>(&calls_, failRun); };
    return parts;
  }

  std::unique_ptr<CaptureLoop> MakeLoop(bool failRun = false) {
    CaptureLoop::Parts parts = Parts(failRun);
    parts.sink = [this](const ScanResult& result) {
      results_.push_back(result.RawText().empty() ? u"" : std::u16string(result.RawText()));
      EXPECT_TRUE(uiBusy_);  // the result screen keeps the loop paused
    };
    parts.threads = false;
    return std::make_unique<CaptureLoop>(parts);
  }

  std::shared_ptr<ui::ManualClock> clock_ = std::make_shared<ui::ManualClock>();
  ui::WindowSystem windows_{240, 320, clock_};
  ui::Window window_ = ui::kNoWindow;
  SyntheticSource source_;
  DeviceIdentity device_;
  Settings settings_;
  std::atomic<bool> uiBusy_{false};
  std::vector<std::string> calls_;
  std::vector<uint32_t> timers_;
  std::vector<std::u16string> results_;
};

TEST_F(CaptureLoopTest, StartStopAndTheirRepeats) {
  auto loop = MakeLoop();
  EXPECT_EQ(loop->StopCapture(), 1);  // nothing runs
  EXPECT_TRUE(calls_.empty());
  EXPECT_EQ(loop->StartCapture(window_), 1);
  EXPECT_EQ(loop->StartCapture(window_), 0);  // a second start changes nothing
  EXPECT_EQ(calls_, (std::vector<std::string>{"Initialise(0)", "Build", "Run"}));
  EXPECT_EQ(loop->StopCapture(), 1);
  EXPECT_EQ(calls_.back(), "Stop");
  EXPECT_FALSE(loop->IsCapturing());
  EXPECT_EQ(loop->StartCapture(window_), 1);  // and starts again afterwards
}

TEST_F(CaptureLoopTest, FailedRunReleasesTheCameraSoALaterStartTriesAgain) {
  auto loop = MakeLoop(/*failRun=*/true);
  EXPECT_EQ(loop->StartCapture(window_), 0);
  EXPECT_FALSE(loop->IsCapturing());
  EXPECT_EQ(loop->StartCapture(window_), 0);
  EXPECT_EQ(std::count(calls_.begin(), calls_.end(), "Build"), 2);
}

TEST_F(CaptureLoopTest, DecodesTheFrameAndHandsTheResultOn) {
  auto loop = MakeLoop();
  ASSERT_EQ(loop->StartCapture(window_), 1);
  loop->PreparePreview();
  loop->PreviewPass();
  EXPECT_EQ(source_.copies, 1);
  loop->DecodePass();
  EXPECT_GT(loop->lastResult(), 0);
  ASSERT_EQ(results_.size(), 1u);
  EXPECT_EQ(results_[0], u"http://example.com/capture");
  EXPECT_FALSE(uiBusy_);
}

TEST_F(CaptureLoopTest, WhileAResultIsUpTheEngineSeesNothing) {
  auto loop = MakeLoop();
  ASSERT_EQ(loop->StartCapture(window_), 1);
  loop->PreparePreview();
  loop->PreviewPass();
  uiBusy_ = true;
  loop->PreviewPass();  // paused: no copy
  EXPECT_EQ(source_.copies, 1);
  loop->DecodePass();
  EXPECT_EQ(loop->lastResult(), 0);  // no engine call
  uiBusy_ = false;
  loop->DecodePass();  // the frame was zeroed: nothing to read
  EXPECT_LE(loop->lastResult(), 0);
  EXPECT_TRUE(results_.empty());
}

TEST_F(CaptureLoopTest, StandbyThreeMinutesAfterTheFirstPassReArmedByADecode) {
  source_.frame.assign(source_.frame.size(), 0x80);  // nothing to read
  auto loop = MakeLoop();
  ASSERT_EQ(loop->StartCapture(window_), 1);
  loop->PreparePreview();
  loop->PreviewPass();
  loop->DecodePass();
  clock_->Advance(int64_t{kStandbyMs} * 1000 - 1000);
  windows_.PumpPending();
  EXPECT_TRUE(timers_.empty());
  clock_->Advance(1000);
  windows_.PumpPending();
  EXPECT_EQ(timers_, (std::vector<uint32_t>{3}));

  // A decode kills the timer; the next pass arms a fresh three minutes.
  timers_.clear();
  source_.frame = QrFrameBgr("re-armed", 320, 240);
  loop->PreviewPass();
  clock_->Advance(60'000'000);
  loop->DecodePass();
  ASSERT_EQ(results_.size(), 1u);
  source_.frame.assign(source_.frame.size(), 0x80);  // the symbol leaves the view
  loop->PreviewPass();
  loop->DecodePass();
  clock_->Advance(int64_t{kStandbyMs} * 1000 - 1000);
  windows_.PumpPending();
  EXPECT_TRUE(timers_.empty());
  clock_->Advance(1000);
  windows_.PumpPending();
  EXPECT_EQ(timers_, (std::vector<uint32_t>{3}));
}

// What the engine was asked for, call by call.
std::vector<std::pair<int32_t, int32_t>> engineCalls;  // mode, symbology mask
int32_t RecordingEngine(const uint8_t*, void*, int32_t, int32_t, int32_t, ScanResult* result) {
  engineCalls.emplace_back(result->mode(), result->symbologyMask());
  return -128;
}

TEST_F(CaptureLoopTest, EngineModeByDeviceClassAndMaskFromTheSettings) {
  for (const auto& [deviceClass, cvItem, mode] : {std::tuple{0, 7u, 0}, {6, 3u, 1}, {12, 2u, 0}}) {
    device_.deviceClass = deviceClass;
    settings_.cvItem = cvItem;
    engineCalls.clear();
    CaptureLoop::Parts parts = Parts();
    parts.engine = RecordingEngine;
    parts.threads = false;
    CaptureLoop loop(parts);
    ASSERT_EQ(loop.StartCapture(window_), 1);
    loop.PreparePreview();
    loop.PreviewPass();
    loop.DecodePass();
    ASSERT_EQ(engineCalls.size(), 1u);
    EXPECT_EQ(engineCalls[0], (std::pair<int32_t, int32_t>{mode, static_cast<int32_t>(cvItem)})) << deviceClass;
  }
}

TEST_F(CaptureLoopTest, FormatsTheLoopDoesNotDrawAreStillDecoded) {
  // A 16-bit YUV-like code (not 9 or 13): copied and decoded, nothing drawn.
  source_.format = {320, 240, 4, 16, 320, 240, 0};
  source_.frame.assign(320 * 240 * 2, 0x40);
  engineCalls.clear();
  CaptureLoop::Parts parts = Parts();
  parts.engine = RecordingEngine;
  parts.threads = false;
  CaptureLoop loop(parts);
  ASSERT_EQ(loop.StartCapture(window_), 1);
  loop.PreparePreview();
  loop.PreviewPass();
  EXPECT_EQ(source_.copies, 1);
  loop.DecodePass();
  EXPECT_EQ(engineCalls.size(), 1u);
  ui::Canvas canvas = windows_.BeginPaint(window_);
  const uint32_t before = canvas.PixelAt(120, 160);
  loop.PaintPreview(canvas);
  EXPECT_EQ(canvas.PixelAt(120, 160), before);
  windows_.EndPaint(window_);
}

// A slow engine, so that a stop comes while the decode thread is inside it.
std::atomic<int> slowCalls{0};
int32_t SlowEngine(const uint8_t*, void*, int32_t, int32_t, int32_t, ScanResult*) {
  ++slowCalls;
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  return -100;
}

TEST_F(CaptureLoopTest, ThreadsDecodeThenStopAndRestartCleanly) {
  CaptureLoop::Parts parts = Parts();
  std::atomic<int> decoded{0};
  parts.sink = [&decoded](const ScanResult&) { ++decoded; };
  CaptureLoop loop(parts);

  // Both threads run: the preview copies frames, the decode thread reads one.
  ASSERT_EQ(loop.StartCapture(window_), 1);
  for (int i = 0; i < 200 && decoded == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GT(decoded, 0);
  EXPECT_EQ(loop.StopCapture(), 1);
  EXPECT_TRUE(loop.EngineIdle());

  // Starts and stops in quick succession, some before a thread got going.
  for (int round = 0; round < 20; ++round) {
    ASSERT_EQ(loop.StartCapture(window_), 1) << round;
    if (round % 2 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(loop.StopCapture(), 1) << round;
    EXPECT_FALSE(loop.IsCapturing());
  }
}

TEST_F(CaptureLoopTest, ThreadsStopWhileTheEngineRuns) {
  CaptureLoop::Parts parts = Parts();
  parts.engine = SlowEngine;
  slowCalls = 0;
  {
    CaptureLoop loop(parts);
    ASSERT_EQ(loop.StartCapture(window_), 1);
    for (int i = 0; i < 300 && loop.EngineIdle(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(loop.StopCapture(), 1);  // waits for the engine call to return
    EXPECT_TRUE(loop.EngineIdle());
    ASSERT_EQ(loop.StartCapture(window_), 1);
  }  // destroyed while running: stops first
  EXPECT_GT(slowCalls, 0);
}

TEST(CaptureTurn, TurnByDeviceClassAndOrientation) {
  struct Case {
    int32_t deviceClass, orientation;
    Turn::Kind kind;
    bool copyBack;
  };
  const Case cases[] = {
      {11, 0, Turn::kTurn180, true},     {13, 1, Turn::kTurn180, true},   {5, 0, Turn::kUpsideDown, true},
      {11, 4, Turn::kPlain, true},       {6, 4, Turn::kMirror, true},     {9, 0, Turn::kClockwise, false},
      {1, 0, Turn::kAnticlockwise, false}, {2, 0, Turn::kAnticlockwise, false}, {0, 0, Turn::kPlain, false},
      {16, 4, Turn::kPlain, true},       {0, 4, Turn::kTurn180, true},    {4, 2, Turn::kTurn180, true},
      {0, 1, Turn::kPlain, false},       {1, 2, Turn::kPlain, false},
  };
  for (const Case& c : cases) {
    const Turn turn = TurnFor(c.deviceClass, c.orientation);
    EXPECT_EQ(turn.kind, c.kind) << c.deviceClass << "/" << c.orientation;
    EXPECT_EQ(turn.copyBack, c.copyBack) << c.deviceClass << "/" << c.orientation;
  }
  // A 3 x 2 frame of one-byte pixels turned clockwise is 2 wide: (x, y) goes
  // to column h-1-y, row x.
  const uint8_t frame[] = {1, 2, 3, 4, 5, 6};
  std::vector<uint8_t> out;
  TurnFrame(frame, 3, 2, 1, {Turn::kClockwise, false}, &out);
  EXPECT_EQ(out, (std::vector<uint8_t>{4, 1, 5, 2, 6, 3}));
  TurnFrame(frame, 3, 2, 1, {Turn::kAnticlockwise, false}, &out);
  EXPECT_EQ(out, (std::vector<uint8_t>{3, 6, 2, 5, 1, 4}));
  TurnFrame(frame, 3, 2, 1, {Turn::kTurn180, true}, &out);
  EXPECT_EQ(out, (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
}

}  // namespace
}  // namespace cordavex::app
