// The camera graph: the capture size it chooses for a device, the picture
// properties, zoom and focus with their device rules, its life cycle (build,
// run, stop, not built, built twice), frames reaching the filter, starts and
// stops racing, and the power-notification thread.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera_graph.h"
#include "camera/power_notifications.h"
#include "camera/y4m_source.h"
#include "camera/camera_fixture.h"
#include "platform/device_fixture.h"

namespace cordavex::camera {
namespace {

using Call = SimulatedCameraController::Call;
using Interface = SimulatedCameraController::Interface;
using filter::E_FAIL;
using filter::S_OK;

constexpr int64_t k15Fps = kTicksPerSecond / 15;

// A camera that lists the given sizes and delivers plain grey YUY2 frames at
// its own pace (about 500 a second).
class ScriptedSource final : public FrameSource {
 public:
  explicit ScriptedSource(std::vector<std::pair<int, int>> sizes) {
    for (const auto& [w, h] : sizes) formats_.push_back({w, h, kFourccYuyv, k15Fps});
    if (!formats_.empty()) format_ = formats_.front();
  }
  std::string Name() const override { return "scripted"; }
  platform::Status Open() override { return openStatus; }
  std::vector<CaptureFormat> Formats() const override { return formats_; }
  platform::Status SetFormat(const CaptureFormat& format) override {
    applied.push_back({format.width, format.height});
    format_ = format;
    return platform::Status::Ok();
  }
  CaptureFormat Format() const override { return format_; }
  platform::Status Start() override {
    sequence_ = 0;
    return startStatus;
  }
  ReadResult Read(CameraFrame& frame, std::chrono::milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    frame.width = format_.width;
    frame.height = format_.height;
    frame.yuy2.resize(static_cast<size_t>(frame.width) * frame.height * 2);
    for (size_t i = 0; i < frame.yuy2.size(); i += 2) {
      frame.yuy2[i] = 90;
      frame.yuy2[i + 1] = 128;
    }
    frame.sequence = sequence_;
    frame.timestamp = sequence_ * k15Fps;
    ++sequence_;
    return ReadResult::Frame();
  }
  void Stop() override {}
  bool Live() const override { return true; }

  platform::Status openStatus;
  platform::Status startStatus;
  std::vector<std::pair<int, int>> applied;  // SetFormat calls, during Build only

 private:
  std::vector<CaptureFormat> formats_;
  CaptureFormat format_;
  int64_t sequence_ = 0;
};

// A graph over a scripted camera, a recording controller and a filter state
// of its own, with the host's calls counted.
struct Rig {
  filter::FilterState state;
  ScriptedSource* source = nullptr;
  SimulatedCameraController* controller = nullptr;
  std::vector<std::string> reports;
  std::atomic<int> repaints{0};
  std::unique_ptr<CameraGraph> graph;

  Rig(std::vector<std::pair<int, int>> sizes, DeviceTraits device, int32_t zoomValue,
      const std::function<void(SimulatedCameraController&)>& configure = {}) {
    auto made = std::make_unique<ScriptedSource>(std::move(sizes));
    source = made.get();
    GraphParts parts;
    parts.makeSource = [made = std::shared_ptr<ScriptedSource>(std::move(made))]() mutable {
      return std::unique_ptr<FrameSource>(new ScriptedSourceHandle(made));
    };
    parts.makeFilter = StateFilterFactory(state);
    parts.makeController = [this, configure](FrameSource&) {
      auto c = std::make_unique<SimulatedCameraController>();
      if (configure) configure(*c);
      controller = c.get();
      return std::unique_ptr<CameraController>(std::move(c));
    };
    graph = std::make_unique<CameraGraph>(std::move(parts));
    GraphHost host;
    host.postFailure = [this](const FailureReport& r) {
      EXPECT_EQ(r.code, 1);
      reports.push_back(r.text);
    };
    host.repaint = [this] { ++repaints; };
    EXPECT_EQ(graph->Initialise(std::move(host), std::move(device), zoomValue), S_OK);
  }

  // The source is shared so that a test can look at it while the graph owns it.
  class ScriptedSourceHandle final : public FrameSource {
   public:
    explicit ScriptedSourceHandle(std::shared_ptr<ScriptedSource> s) : s_(std::move(s)) {}
    std::string Name() const override { return s_->Name(); }
    platform::Status Open() override { return s_->Open(); }
    std::vector<CaptureFormat> Formats() const override { return s_->Formats(); }
    platform::Status SetFormat(const CaptureFormat& f) override { return s_->SetFormat(f); }
    CaptureFormat Format() const override { return s_->Format(); }
    platform::Status Start() override { return s_->Start(); }
    ReadResult Read(CameraFrame& frame, std::chrono::milliseconds t) override { return s_->Read(frame, t); }
    void Stop() override { s_->Stop(); }
    bool Live() const override { return s_->Live(); }

   private:
    std::shared_ptr<ScriptedSource> s_;
  };

  std::vector<Call> ZoomSets() const {
    std::vector<Call> out;
    for (const Call& c : controller->sets()) {
      if (c.interface == Interface::kCamera && c.property == kCameraZoom) out.push_back(c);
    }
    return out;
  }
};

void ZoomRange(SimulatedCameraController& c, int32_t min, int32_t max, int32_t step, int32_t value) {
  c.SetCameraRange(kCameraZoom, {min, max, step, value, kFlagsManual});
}

TEST(CameraGraph, ChoosesTheCaptureSizeTheDeviceWants) {
  struct Case {
    int32_t deviceClass;
    const char* model;
    std::vector<std::pair<int, int>> listed;
    std::vector<std::pair<int, int>> applied;  // every match, in list order; the last is in force
    std::pair<int, int> inForce;
  };
  const Case cases[] = {
      // An unlisted device wants every phone size: the later 176 × 144 wins.
      {0, "Linux", {{320, 240}, {176, 144}}, {{320, 240}, {176, 144}}, {176, 144}},
      {3, "Linux", {{640, 480}, {320, 240}, {352, 288}, {120, 160}}, {{320, 240}, {120, 160}}, {120, 160}},
      {2, "Linux", {{176, 144}, {320, 240}, {240, 320}, {640, 480}}, {{320, 240}, {240, 320}}, {240, 320}},
      {12, "Linux", {{320, 240}, {160, 120}}, {{320, 240}}, {320, 240}},
      {9, "Linux", {{640, 480}, {320, 240}, {176, 144}}, {{320, 240}}, {320, 240}},
      {16, "Linux", {{240, 320}, {320, 240}}, {{320, 240}}, {320, 240}},
      {0, "ASUS ARIES", {{240, 320}, {320, 240}, {160, 120}}, {{320, 240}}, {320, 240}},
      {6, "Linux", {{320, 240}, {240, 180}, {160, 120}, {640, 480}}, {{240, 180}, {160, 120}}, {160, 120}},
      // Nothing wanted is listed: the camera's own first format stays.
      {14, "Linux", {{640, 480}, {352, 288}}, {}, {640, 480}},
  };
  for (const Case& c : cases) {
    Rig rig(c.listed, {c.deviceClass, c.model, false}, 0);
    ASSERT_EQ(rig.graph->Build(), S_OK) << c.deviceClass << " " << c.model;
    EXPECT_EQ(rig.source->applied, c.applied) << c.deviceClass << " " << c.model;
    const CaptureFormat inForce = rig.graph->captureFormat();
    EXPECT_EQ(std::make_pair(inForce.width, inForce.height), c.inForce) << c.deviceClass << " " << c.model;
    // The filter was connected at that size.
    filter::FrameFormat format{};
    rig.state.GetVideoFormat(&format);
    EXPECT_EQ(std::make_pair(format.sourceWidth, format.sourceHeight), c.inForce);
  }
}

TEST(CameraGraph, ZoomStepsWithinTheLimits) {
  Rig rig({{320, 240}}, {0, "Linux", false}, 0, [](SimulatedCameraController& c) { ZoomRange(c, 100, 400, 100, 100); });
  ASSERT_EQ(rig.graph->Build(), S_OK);
  // No remembered value: the camera's default is remembered, zoom set to the minimum.
  EXPECT_EQ(rig.graph->zoomValue(), 100);
  EXPECT_EQ(rig.ZoomSets(), (std::vector<Call>{{Interface::kCamera, true, kCameraZoom, 100, kFlagsManual}}));

  EXPECT_EQ(rig.graph->Zoom(0), E_FAIL);  // already at the minimum
  EXPECT_EQ(rig.ZoomSets().size(), 1u);
  for (int32_t expected : {200, 300, 400}) {
    ASSERT_EQ(rig.graph->Zoom(1), S_OK);
    EXPECT_EQ(rig.graph->zoomValue(), expected);
  }
  EXPECT_EQ(rig.graph->Zoom(1), E_FAIL);  // at the maximum
  EXPECT_EQ(rig.graph->zoomValue(), 400);
  EXPECT_EQ(rig.ZoomSets().size(), 4u);
  EXPECT_EQ(rig.repaints, 3);
  ASSERT_EQ(rig.graph->Zoom(0), S_OK);
  EXPECT_EQ(rig.controller->CameraValue(kCameraZoom), 300);

  // A camera refusing the value leaves the zoom where it was, unpainted.
  rig.controller->FailSets(kCameraZoom, filter::E_INVALIDARG);
  EXPECT_EQ(rig.graph->Zoom(1), filter::E_INVALIDARG);
  EXPECT_EQ(rig.graph->zoomValue(), 300);
  EXPECT_EQ(rig.repaints, 4);
}

TEST(CameraGraph, DeviceClassSevenDoublesAndHalves) {
  Rig rig({{320, 240}}, {7, "Linux", false}, 100, [](SimulatedCameraController& c) { ZoomRange(c, 100, 800, 50, 100); });
  ASSERT_EQ(rig.graph->Build(), S_OK);
  ZoomBar bar = rig.graph->ApplyZoomTable();
  EXPECT_EQ(bar.count, 3);
  EXPECT_EQ(bar.position, 0);
  for (int32_t position = 1; position <= 3; ++position) {
    ASSERT_EQ(rig.graph->Zoom(1), S_OK);
    bar = rig.graph->ApplyZoomTable();
    EXPECT_EQ(bar.position, position);
    EXPECT_EQ(bar.remembered, rig.graph->zoomValue());
  }
  EXPECT_EQ(rig.graph->zoomValue(), 800);
  EXPECT_EQ(rig.graph->Zoom(1), E_FAIL);
  std::vector<int32_t> values;
  for (const Call& c : rig.ZoomSets()) values.push_back(c.value);
  EXPECT_EQ(values, (std::vector<int32_t>{100, 200, 400, 800}));
  ASSERT_EQ(rig.graph->Zoom(0), S_OK);
  EXPECT_EQ(rig.graph->zoomValue(), 400);
}

TEST(CameraGraph, ARememberedZoomIsAppliedAnd220Becomes200) {
  struct Case {
    int32_t remembered, applied;
  };
  for (const Case c : {Case{220, 200}, Case{300, 300}, Case{200, 200}}) {
    Rig rig({{320, 240}}, {0, "Linux", false}, c.remembered,
            [](SimulatedCameraController& s) { ZoomRange(s, 100, 400, 10, 150); });
    ASSERT_EQ(rig.graph->Build(), S_OK);
    EXPECT_EQ(rig.graph->zoomValue(), c.applied) << c.remembered;
    EXPECT_EQ(rig.ZoomSets(), (std::vector<Call>{{Interface::kCamera, true, kCameraZoom, c.applied, kFlagsManual}}));
  }
  // A camera without camera control: no zoom at all.
  Rig bare({{320, 240}}, {0, "Linux", false}, 220, [](SimulatedCameraController& s) { s.SetHasCameraControl(false); });
  ASSERT_EQ(bare.graph->Build(), S_OK);
  EXPECT_TRUE(bare.ZoomSets().empty());
  EXPECT_EQ(bare.graph->zoomMax(), 0);
}

TEST(CameraGraph, TheZoomTableOverridesTheCamerasRange) {
  struct Case {
    int32_t deviceClass;
    const char* model;
    int32_t cameraStep;
    int32_t max, step, min;
    ZoomBar bar;
  };
  // The camera: 100 to 400, value 100, in steps of `cameraStep`.
  const Case cases[] = {
      {0, "Linux", 1, 400, 60, 100, {5, 0, 100}},  // single units become a fifth of the range
      {0, "Linux", 100, 400, 100, 100, {3, 0, 100}},
      {0, "ASUS P305", 100, 400, 100, 100, {3, 0, 100}},
      {0, "HERM100", 100, 0, 100, 100, {0, 0, 100}},
      {6, "Linux", 100, 0, 100, 100, {0, 0, 100}},
      {6, "Linux", 0, 0, 0, 100, {1, 0, 0}},  // no step: no position, a one-step bar
      {0, "Linux", 0, 400, 0, 100, {0, 0, 0}},
      {5, "Linux", 1, 250, 150, 100, {1, 0, 100}},
      {12, "Linux", 1, 600, 100, 100, {5, 0, 100}},
      {0, "ASUS ARIES", 1, 250, 50, 100, {3, 0, 100}},
      {0, "LIBR100", 1, 400, 100, 100, {3, 0, 100}},
      {13, "Linux", 1, 200, 20, 100, {5, 0, 100}},
      {7, "Linux", 1, 800, 140, 100, {3, 0, 100}},
  };
  for (const Case& c : cases) {
    Rig rig({{320, 240}}, {c.deviceClass, c.model, false}, 100,
            [&](SimulatedCameraController& s) { ZoomRange(s, 100, 400, c.cameraStep, 100); });
    ASSERT_EQ(rig.graph->Build(), S_OK);
    const ZoomBar bar = rig.graph->ApplyZoomTable();
    const std::string what = std::to_string(c.deviceClass) + " " + c.model + " step " + std::to_string(c.cameraStep);
    EXPECT_EQ(rig.graph->zoomMax(), c.max) << what;
    EXPECT_EQ(rig.graph->zoomStep(), c.step) << what;
    EXPECT_EQ(rig.graph->zoomMin(), c.min) << what;
    EXPECT_EQ(bar.count, c.bar.count) << what;
    EXPECT_EQ(bar.position, c.bar.position) << what;
    EXPECT_EQ(bar.remembered, c.bar.remembered) << what;
  }
  // With no range left, zooming is refused rather than clamped into nothing.
  Rig herm({{320, 240}}, {0, "HERM100", false}, 100, [](SimulatedCameraController& s) { ZoomRange(s, 100, 400, 100, 100); });
  ASSERT_EQ(herm.graph->Build(), S_OK);
  herm.graph->ApplyZoomTable();
  EXPECT_EQ(herm.graph->Zoom(1), E_FAIL);
  EXPECT_EQ(herm.graph->Zoom(0), E_FAIL);
}

TEST(CameraGraph, SetsTheDevicesPictureProperties) {
  struct Case {
    int32_t deviceClass;
    const char* model;
    bool smartphone;
    int32_t brightness;  // the camera's before
    std::vector<std::pair<int32_t, int32_t>> sets;  // (property, value), all manual
  };
  const Case cases[] = {
      {6, "Linux", false, 0,
       {{kBrightness, 750}, {kContrast, 100}, {kSaturation, 0}, {kSharpness, 50}, {kGamma, 100}, {kWhiteBalance, 298}}},
      {5, "Linux", false, 1, {{kBrightness, 2}, {kBrightness, 3}}},
      {5, "Linux", false, 3, {{kBrightness, 2}, {kBrightness, 4}}},
      {5, "Linux", false, 7, {}},
      {0, "Asus P535", false, 0, {{kBrightness, 4500}}},
      {0, "Asus Mars", false, 0, {{kBrightness, 65}}},
      {0, "Asus P735", false, 0, {{kBrightness, 65}}},
      {0, "Texas Instruments Inc", true, 0, {{kBrightness, 4}}},
      {0, "Texas Instruments Inc", false, 0, {}},
      {0, "Linux", false, 0, {}},
  };
  for (const Case& c : cases) {
    Rig rig({{320, 240}}, {c.deviceClass, c.model, c.smartphone}, 100,
            [&](SimulatedCameraController& s) { s.SetProcAmpValue(kBrightness, c.brightness); });
    ASSERT_EQ(rig.graph->Build(), S_OK);
    std::vector<std::pair<int32_t, int32_t>> sets;
    for (const Call& call : rig.controller->sets()) {
      if (call.interface != Interface::kProcAmp) continue;
      EXPECT_EQ(call.flags, kFlagsManual);
      sets.emplace_back(call.property, call.value);
    }
    EXPECT_EQ(sets, c.sets) << c.deviceClass << " " << c.model;
  }
}

TEST(CameraGraph, FocusByDevice) {
  struct Case {
    int32_t deviceClass;
    const char* model;
    Call trigger;
  };
  const Case cases[] = {
      {5, "Linux", {Interface::kCamera, true, kCameraFocus, 2, kFlagsManual}},
      {12, "Linux", {Interface::kCamera, true, kCameraFocus, 2, kFlagsManual}},
      {0, "ASUS ARIES", {Interface::kCamera, true, kCameraFocus, 2, kFlagsManual}},
      {0, "Linux", {Interface::kCamera, true, kCameraFocus, 0, kFlagsAuto}},
  };
  for (const Case& c : cases) {
    Rig rig({{320, 240}}, {c.deviceClass, c.model, false}, 100);
    EXPECT_EQ(rig.graph->Focus(1), E_FAIL);  // not built
    ASSERT_EQ(rig.graph->Build(), S_OK);
    const size_t before = rig.controller->sets().size();
    ASSERT_EQ(rig.graph->Focus(1), S_OK);
    ASSERT_EQ(rig.graph->Focus(0), S_OK);
    const std::vector<Call> sets = rig.controller->sets();
    ASSERT_EQ(sets.size(), before + 2);
    EXPECT_EQ(sets[before], c.trigger) << c.deviceClass << " " << c.model;
    EXPECT_EQ(sets[before + 1], (Call{Interface::kCamera, true, kCameraFocus, 1, kFlagsManual}));
  }
}

TEST(CameraGraph, FocusModeSetsOrPulses) {
  Rig rig({{320, 240}}, {0, "ASUS ARIES", false}, 100);
  ASSERT_EQ(rig.graph->Build(), S_OK);
  auto focusModeSets = [&] {
    std::vector<int32_t> values;
    for (const Call& c : rig.controller->sets()) {
      if (c.property == kCameraFocusMode) values.push_back(c.value);
    }
    return values;
  };
  // Starting the preview on this model turns the focus mode on.
  ASSERT_EQ(rig.graph->StartPreview(192, 144, 0, 0), S_OK);
  EXPECT_EQ(focusModeSets(), (std::vector<int32_t>{1}));
  // Already on: pulsed.
  ASSERT_EQ(rig.graph->FocusMode(1), S_OK);
  EXPECT_EQ(focusModeSets(), (std::vector<int32_t>{1, 2, 1, 2, 1}));
  ASSERT_EQ(rig.graph->FocusMode(0), S_OK);
  EXPECT_EQ(focusModeSets(), (std::vector<int32_t>{1, 2, 1, 2, 1, 2}));

  // A camera without the property: the preview start fails and says so.
  Rig plain({{320, 240}}, {2, "Linux", false}, 100,
            [](SimulatedCameraController& s) { s.RemoveCameraProperty(kCameraFocusMode); });
  ASSERT_EQ(plain.graph->Build(), S_OK);
  EXPECT_EQ(plain.graph->StartPreview(192, 144, 0, 1), E_PROP_ID_UNSUPPORTED);
  EXPECT_EQ(plain.reports, (std::vector<std::string>{"Starting preview failed"}));
  EXPECT_TRUE(plain.graph->useVideoWindow());
  // Other classes do not touch the focus mode.
  Rig other({{320, 240}}, {3, "Linux", false}, 100,
            [](SimulatedCameraController& s) { s.RemoveCameraProperty(kCameraFocusMode); });
  ASSERT_EQ(other.graph->Build(), S_OK);
  EXPECT_EQ(other.graph->StartPreview(192, 144, 0, 0), S_OK);
}

TEST(CameraGraph, NothingButStopAndBuildWorksBeforeABuild) {
  Rig rig({{320, 240}}, {0, "Linux", false}, 100);
  EXPECT_EQ(rig.graph->Stop(), S_OK);
  EXPECT_EQ(rig.graph->Run(), E_FAIL);
  EXPECT_EQ(rig.graph->StartPreview(192, 144, 0, 0), E_FAIL);
  EXPECT_EQ(rig.graph->Zoom(1), E_FAIL);
  EXPECT_EQ(rig.graph->Focus(0), E_FAIL);
  EXPECT_EQ(rig.graph->FocusMode(1), E_FAIL);
  EXPECT_TRUE(rig.reports.empty());
  ASSERT_EQ(rig.graph->Build(), S_OK);
  // Built, never run.
  EXPECT_EQ(rig.graph->Stop(), S_OK);
  EXPECT_EQ(rig.graph->Stop(), S_OK);
}

TEST(CameraGraph, FramesReachTheFilterWhileRunning) {
  Rig rig({{320, 240}}, {0, "Linux", false}, 100);
  ASSERT_EQ(rig.graph->Build(), S_OK);
  // Built twice: refused, and the first graph stays whole.
  EXPECT_EQ(rig.graph->Build(), filter::E_UNEXPECTED);
  EXPECT_EQ(rig.reports, (std::vector<std::string>{"Builing the graph failed"}));
  EXPECT_EQ(rig.graph->lastError(), "the graph is already built");

  ASSERT_EQ(rig.graph->Run(), S_OK);
  EXPECT_EQ(rig.graph->Run(), S_OK);  // already running
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (rig.graph->counts().frames < 3 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_GE(rig.graph->counts().frames, 3);
  EXPECT_EQ(rig.graph->counts().transformFailures, 0);
  // What the capture loop reads: the default 192 × 144 window, converted.
  filter::FrameFormat format{};
  rig.state.GetVideoFormat(&format);
  EXPECT_EQ(format.formatCode, 9);
  EXPECT_EQ(format.bitsPerPixel, 24);
  EXPECT_EQ(format.outputWidth, 192);
  EXPECT_EQ(format.outputHeight, 144);
  std::vector<uint8_t> copied(192 * 144 * 3, 0);
  rig.state.GetVideoBuffer(copied.data(), static_cast<int32_t>(copied.size()));
  EXPECT_EQ(copied, std::vector<uint8_t>(192 * 144 * 3, 90));

  EXPECT_EQ(rig.graph->Stop(), S_OK);
  EXPECT_FALSE(rig.graph->running());
  // The frame lay in the graph's buffer: withdrawn.
  EXPECT_FALSE(rig.state.HasFrame());
  const int64_t frames = rig.graph->counts().frames;
  EXPECT_EQ(rig.graph->Stop(), S_OK);
  // And it runs again.
  ASSERT_EQ(rig.graph->Run(), S_OK);
  while (rig.graph->counts().frames < 1 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_GE(rig.graph->counts().frames, 1);
  EXPECT_LT(rig.graph->counts().frames, frames + 1000);
}

TEST(CameraGraph, FailuresArePostedWithTheirReason) {
  // No camera.
  {
    filter::FilterState state;
    GraphParts parts;
    parts.makeSource = [] { return MakeFrameSource({SourceKind::kNone, {}}); };
    parts.makeFilter = StateFilterFactory(state);
    CameraGraph graph(std::move(parts));
    std::vector<std::string> reports;
    graph.Initialise({[&](const FailureReport& r) { reports.push_back(r.text); }, {}, {}, {}}, {}, 0);
    EXPECT_EQ(graph.Build(), filter::HresultFromWin32(2));  // ERROR_FILE_NOT_FOUND
    EXPECT_EQ(reports, (std::vector<std::string>{"Builing the graph failed"}));
    EXPECT_EQ(graph.lastError(), "none: no camera (--camera none)");
    EXPECT_FALSE(graph.built());
    EXPECT_EQ(graph.Run(), E_FAIL);
  }
  // The camera will not start.
  Rig rig({{320, 240}}, {0, "Linux", false}, 100);
  rig.source->startStatus = platform::Status::IoError("scripted: busy");
  ASSERT_EQ(rig.graph->Build(), S_OK);
  EXPECT_LT(rig.graph->Run(), 0);
  EXPECT_EQ(rig.reports, (std::vector<std::string>{"Runing the capture graph failed"}));
  EXPECT_EQ(rig.graph->lastError(), "scripted: busy");
  EXPECT_FALSE(rig.graph->running());
  // The filter refuses the camera's frames (an odd width cannot be YUY2).
  Rig odd({{321, 240}}, {0, "Linux", false}, 100);
  EXPECT_LT(odd.graph->Build(), 0);
  EXPECT_EQ(odd.graph->lastError(), "the frame filter refuses 321x240 YUYV 15 fps frames");
}

TEST(CameraGraph, AFileThatEndsOrBreaksIsReported) {
  test::TemporaryFolder folder;
  const std::string path = folder.path() + "/short.y4m";
  for (bool truncated : {false, true}) {
    test::WriteFile(path, "YUV4MPEG2 W2 H2 F1000:1 Cmono\nFRAME\n" + std::string(4, 'x') + "FRAME\n" +
                              std::string(4, 'y') + (truncated ? "FRAME\n" + std::string(3, 'z') : ""));
    filter::FilterState state;
    GraphParts parts;
    parts.makeSource = [&] { return std::make_unique<Y4mSource>(path, false, "y4m:short"); };
    parts.makeFilter = StateFilterFactory(state);
    std::mutex mutex;
    std::condition_variable done;
    std::string ended, failed;
    GraphHost host;
    host.streamEnded = [&](const std::string& message) {
      std::lock_guard lock(mutex);
      ended = message;
      done.notify_all();
    };
    host.streamFailed = [&](const platform::Status& status) {
      std::lock_guard lock(mutex);
      failed = status.message();
      done.notify_all();
    };
    CameraGraph graph(std::move(parts));
    graph.Initialise(std::move(host), {}, 0);
    ASSERT_EQ(graph.Build(), S_OK);
    ASSERT_EQ(graph.Run(), S_OK);
    {
      std::unique_lock lock(mutex);
      done.wait_for(lock, std::chrono::seconds(20), [&] { return !ended.empty() || !failed.empty(); });
    }
    graph.Stop();
    if (truncated) {
      EXPECT_EQ(failed, "y4m:short: the file ends inside frame 2 (3 of 4 bytes)");
    } else {
      EXPECT_EQ(ended, "y4m:short: end of " + path + " after 2 frames");
    }
  }
}

// Starts, stops, zooms and focuses from several threads at once while frames
// stream, as the window, preview and power threads may: nothing crashes,
// deadlocks or races (run under the sanitizers).
TEST(CameraGraph, StartsAndStopsRaceCleanly) {
  Rig rig({{320, 240}}, {0, "Linux", false}, 100, [](SimulatedCameraController& s) { ZoomRange(s, 100, 400, 50, 100); });
  ASSERT_EQ(rig.graph->Build(), S_OK);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      while (!go) std::this_thread::yield();
      for (int i = 0; i < 40; ++i) {
        switch ((t + i) % 4) {
          case 0: rig.graph->Run(); break;
          case 1: rig.graph->Stop(); break;
          case 2: rig.graph->Zoom(i % 2); break;
          case 3: rig.graph->Focus(i % 2); break;
        }
        std::vector<uint8_t> frame(192 * 144 * 3);
        rig.state.GetVideoBuffer(frame.data(), static_cast<int32_t>(frame.size()));
      }
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(rig.graph->Stop(), S_OK);
  EXPECT_FALSE(rig.graph->running());
  EXPECT_FALSE(rig.state.HasFrame());
  // Destroyed while running, too.
  ASSERT_EQ(rig.graph->Run(), S_OK);
  rig.graph.reset();
  EXPECT_FALSE(rig.state.HasFrame());
}

// The power-notification thread: what each notification makes the program do.
TEST(PowerNotifications, SuspendResumeAndFocusButtons) {
  struct Case {
    int32_t deviceClass;
    const char* model;
    bool busy;
    PowerEvent event;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {3, "Linux", false, PowerEvent::kSuspend, {"clearStandbyPause"}},
      {3, "Linux", false, PowerEvent::kResume,
       {"setRestartPending", "uiBusyOrStandbyPaused", "stopCapture", "waitStopEvent 5000", "reactivate"}},
      {3, "Linux", true, PowerEvent::kResume, {"setRestartPending", "uiBusyOrStandbyPaused"}},
      {5, "Linux", false, PowerEvent::kResume, {"destroyMainWindow"}},
      {3, "Asus P735", false, PowerEvent::kFocusButton, {"triggerFocus"}},
      {3, "Linux", false, PowerEvent::kFocusButton, {}},
  };
  for (const Case& c : cases) {
    std::mutex mutex;
    std::vector<std::string> calls;
    auto record = [&](std::string what) {
      std::lock_guard lock(mutex);
      calls.push_back(std::move(what));
    };
    PowerHandlers handlers;
    handlers.clearStandbyPause = [&] { record("clearStandbyPause"); };
    handlers.destroyMainWindow = [&] { record("destroyMainWindow"); };
    handlers.setRestartPending = [&] { record("setRestartPending"); };
    handlers.uiBusyOrStandbyPaused = [&] {
      record("uiBusyOrStandbyPaused");
      return c.busy;
    };
    handlers.stopCapture = [&] { record("stopCapture"); };
    handlers.waitStopEvent = [&](std::chrono::milliseconds wait) {
      record("waitStopEvent " + std::to_string(wait.count()));
      return true;
    };
    handlers.reactivateMainWindow = [&] { record("reactivate"); };
    handlers.triggerFocus = [&] { record("triggerFocus"); };
    auto events = std::make_unique<QueuedPowerEvents>();
    QueuedPowerEvents* queue = events.get();
    {
      PowerNotifications thread(std::move(events), std::move(handlers), c.deviceClass, c.model);
      queue->Push(c.event);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (thread.handled() < 1 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      EXPECT_EQ(thread.handled(), 1);
    }
    EXPECT_EQ(calls, c.calls) << c.deviceClass << " " << c.model;
  }
}

TEST(PowerNotifications, SignalsStandForTheHostsPowerEvents) {
  std::unique_ptr<SignalPowerEvents> events;
  ASSERT_TRUE(SignalPowerEvents::Create(&events).ok());
  std::unique_ptr<SignalPowerEvents> second;
  EXPECT_EQ(SignalPowerEvents::Create(&second).message(),
            "power notifications: the signal handlers are already taken");
  EXPECT_EQ(events->Wait(std::chrono::milliseconds(0)), std::nullopt);
  // A resume (SIGCONT to a running process changes nothing else).
  ASSERT_EQ(::raise(SIGCONT), 0);
  EXPECT_EQ(events->Wait(std::chrono::milliseconds(1000)), PowerEvent::kResume);
  events.reset();
  EXPECT_TRUE(SignalPowerEvents::Create(&second).ok());
}

}  // namespace
}  // namespace cordavex::camera
