// The camera controller of the capture loop: the camera graph in which the
// camera (a FrameSource) feeds the program's frame filter, as a stand-in for
// the platform's capture graph. It chooses a capture size that suits the
// device, sets the device's picture properties, runs and stops the stream,
// and offers zoom and focus. While it runs, a streaming thread reads each
// frame from the source and hands it to the filter's Transform as the
// camera's capture pin delivers a media sample, so that the filter library's
// getVideoFormat and getVideoBuffer give the newest frame to the capture loop.
//
// The program's side is reached through GraphHost callbacks (the failure
// reports posted to the main window as message 1024, the repaint after a
// zoom, the end or failure of the stream); device facts come in as plain
// values (DeviceTraits), the device-class table being the program's.
//
// Threads: Build and Run come from the window thread, StartPreview from the
// preview thread, Zoom, Focus and FocusMode from the window and power
// threads, Stop from any of them: every operation takes the graph's lock, so
// they may overlap safely. The host callbacks for the stream's end and
// failure run on the streaming thread and must not call Stop there (post a
// message instead); the others run on the calling thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera_controller.h"
#include "camera/frame_source.h"
#include "filter/com_objects.h"
#include "filter/filter_state.h"
#include "filter/hresult.h"
#include "filter/media_type.h"
#include "platform/library_loader.h"

namespace cordavex::camera {

// The device facts the graph's choices depend on.
struct DeviceTraits {
  int32_t deviceClass = 0;   // 0 to 18, from the program's device table
  std::string model;         // the OEM model string ("ASUS ARIES", "Asus P535"...)
  bool smartphone = false;   // the Smartphone platform
};

// The failure report posted to the main window.
constexpr uint32_t kMsgGraphFailure = 1024;  // WM_USER
struct FailureReport {
  int32_t code = 1;
  std::string text;
};

struct GraphHost {
  // Posts a failure report to the window (the program's PostMessage of 1024).
  std::function<void(const FailureReport&)> postFailure;
  // Repaints the main window (after a zoom change).
  std::function<void()> repaint;
  // The source played to its end: a line for a person ("y4m: end of FILE
  // after 45 frames").
  std::function<void(const std::string&)> streamEnded;
  // The source broke (file vanished, device error).
  std::function<void(const platform::Status&)> streamFailed;
};

// A frame filter held by the graph: one reference to it, and the library its
// code lives in (null when linked in), released in that order.
class FrameFilterRef {
 public:
  FrameFilterRef() = default;
  FrameFilterRef(filter::IFrameTransformFilter* filter, platform::LibraryHandle library)
      : filter_(filter), library_(library) {}
  ~FrameFilterRef() { Reset(); }
  FrameFilterRef(FrameFilterRef&& other) noexcept { *this = std::move(other); }
  FrameFilterRef& operator=(FrameFilterRef&& other) noexcept;
  void Reset();
  filter::IFrameTransformFilter* get() const { return filter_; }
  filter::IFrameTransformFilter* operator->() const { return filter_; }
  explicit operator bool() const { return filter_ != nullptr; }

 private:
  filter::IFrameTransformFilter* filter_ = nullptr;
  platform::LibraryHandle library_ = nullptr;
};

// Makes the frame filter.
using FilterFactory = std::function<filter::HRESULT(FrameFilterRef* filter)>;
// The frame filter of the loaded "CordavexDSFilter.dll", made by its class
// factory as the platform creates a filter by its class identifier: the
// filter the program's bound getVideoBuffer reads from (the same library, the
// same process-wide state).
FilterFactory LibraryFilterFactory();
// The filter logic linked in, on a given state (tests, benchmarks).
FilterFactory StateFilterFactory(filter::FilterState& state);

using SourceFactory = std::function<std::unique_ptr<FrameSource>()>;
// Gives the controller for an opened source; the default asks the source.
using ControllerFactory = std::function<std::unique_ptr<CameraController>(FrameSource& source)>;

struct GraphParts {
  SourceFactory makeSource;
  FilterFactory makeFilter;
  ControllerFactory makeController;  // may be empty
  // File sources hand out frames as fast as they are read; the graph paces
  // them by their timestamps like a camera. Off for benchmarks.
  bool paceFileSources = true;
};

// The zoom bar's state after the device's zoom table (below).
struct ZoomBar {
  int32_t count = 0;       // zoom steps; the bar is drawn when at least 1
  int32_t position = 0;    // the current step
  int32_t remembered = 0;  // the zoom value kept for the next start
};

// Counts of the streaming thread, for tests and the benchmark.
struct StreamCounts {
  int64_t frames = 0;           // frames transformed
  int64_t transformFailures = 0;
  int64_t wrongSize = 0;        // frames not of the negotiated size, dropped
};

class CameraGraph {
 public:
  // create: every field 0.
  explicit CameraGraph(GraphParts parts);
  // destroy: stops, then releases the source's controller, the source and the filter.
  ~CameraGraph();
  CameraGraph(const CameraGraph&) = delete;
  CameraGraph& operator=(const CameraGraph&) = delete;

  // Stores the host, the device and the zoom value; returns 0.
  filter::HRESULT Initialise(GraphHost host, DeviceTraits device, int32_t zoomValue);
  filter::HRESULT Build();
  filter::HRESULT Run();
  filter::HRESULT StartPreview(int32_t width, int32_t height, int32_t smartphone, int32_t useVideoWindow);
  // Always 0.
  filter::HRESULT Stop();
  filter::HRESULT Zoom(int32_t up);
  filter::HRESULT Focus(int32_t trigger);
  filter::HRESULT FocusMode(int32_t mode);

  // The device's zoom table, applied before each paint while capturing: the
  // device's own limits override the camera's, then the bar's step count and
  // position are worked out and the zoom value is remembered.
  ZoomBar ApplyZoomTable();

  int32_t zoomMax() const;
  int32_t zoomMin() const;
  int32_t zoomStep() const;
  int32_t zoomValue() const;
  bool built() const;
  bool running() const;
  bool useVideoWindow() const;
  // The capture format in force after Build.
  CaptureFormat captureFormat() const;
  // Why the last Build, Run or StartPreview failed, for a person.
  std::string lastError() const;
  StreamCounts counts() const;
  // The source's controller (after Build), for tests.
  CameraController* controller() { return controller_.get(); }

 private:
  filter::HRESULT PostFailure(const std::string& text);
  filter::HRESULT Fail(const char* report, filter::HRESULT hr, std::string why);
  filter::HRESULT BuildSteps();
  void ChooseCaptureSize();
  void SetPictureProperties();
  void SetZoomRange();
  filter::HRESULT RenderStream();
  void StopLocked();
  filter::HRESULT FocusModeLocked(int32_t mode);
  filter::HRESULT SetZoomLocked(int32_t value);
  void Stream();

  GraphParts parts_;
  GraphHost host_;
  DeviceTraits device_;

  mutable std::mutex mutex_;  // every operation; never held by the streaming thread
  int32_t zoomMax_ = 0;
  int32_t zoomMin_ = 0;
  int32_t zoomStep_ = 0;
  int32_t zoomValue_ = 0;
  bool built_ = false;
  int32_t previewWidth_ = 0;
  int32_t previewHeight_ = 0;
  int32_t smartphone_ = 0;
  bool zoomUp_ = false;
  bool useVideoWindow_ = false;
  std::string lastError_;

  std::unique_ptr<FrameSource> source_;
  std::unique_ptr<CameraController> controller_;
  FrameFilterRef filter_;
  filter::MediaType inputType_;
  std::vector<uint8_t> output_;  // the filter's one output buffer

  // The streaming thread.
  std::thread streamer_;
  std::mutex streamMutex_;
  std::condition_variable wake_;
  std::atomic<bool> stopStreaming_{false};
  std::atomic<bool> running_{false};
  std::atomic<int64_t> frames_{0};
  std::atomic<int64_t> transformFailures_{0};
  std::atomic<int64_t> wrongSize_{0};
};

}  // namespace cordavex::camera
