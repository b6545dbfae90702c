// Live scanning: while the main window is in front, a preview thread copies
// the newest camera frame out of the filter library, turns it upright for the
// device and keeps it for painting, and a decode thread hands the frame to
// the engine every 150 ms, stopping at a symbol to pass the result on. A
// three-minute standby timer (id 3 on the main window) stops the camera when
// nothing has been read for that long.
//
// The loop reads frames through the filter's two exports and drives the
// camera through CaptureCamera, so that it runs against the camera graph in
// the program and against recording stand-ins in tests.
//
// Threads: StartCapture, StopCapture, RebuildPreview, PaintPreview and the
// camera controls come from the window thread; the flags are atomics read by
// all. The frame the preview thread writes and the engine reads is handed
// over under a lock: the decode thread copies it before the engine call, so
// the engine never reads a frame being written.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/capture_control.h"
#include "app/device_identity.h"
#include "app/settings.h"
#include "cordavex/scan_result.h"
#include "filter/exports.h"
#include "filter/hresult.h"

namespace cordavex::app {

// The zoom bar after the device's zoom table.
struct ZoomState {
  int32_t count = 0;
  int32_t position = 0;
  int32_t remembered = 0;
};

// The camera as the loop drives it (the camera graph's operations).
class CaptureCamera {
 public:
  virtual ~CaptureCamera() = default;
  virtual filter::HRESULT Initialise(ui::Window window, int32_t zoomValue) = 0;
  virtual filter::HRESULT Build() = 0;
  virtual filter::HRESULT Run() = 0;
  virtual filter::HRESULT StartPreview(int32_t width, int32_t height, int32_t smartphone,
                                       int32_t useVideoWindow) = 0;
  virtual filter::HRESULT Stop() = 0;
  virtual filter::HRESULT Zoom(int32_t up) = 0;
  virtual filter::HRESULT Focus(int32_t trigger) = 0;
  virtual filter::HRESULT FocusMode(int32_t mode) = 0;
  virtual ZoomState ApplyZoomTable() = 0;
};
using CameraFactory = std::function<std::unique_ptr<CaptureCamera>()>;

// The two filter exports the loop reads frames through.
struct FrameCalls {
  filter::GetVideoFormatFunction* getVideoFormat = nullptr;
  filter::GetVideoBufferFunction* getVideoBuffer = nullptr;
};

// The engine entry the decode thread calls (RecognizeImage; a recording
// stand-in in tests).
using EngineCall = int32_t (*)(const uint8_t* image, void* workspace, int32_t width, int32_t height,
                               int32_t bitsPerPixel, ScanResult* result);

// Receives each decoded record on the decode thread; returns when the person
// has left the result.
using ResultSink = std::function<void(const ScanResult& result)>;

// Format codes the preview draws: 24-bit RGB (B, G, R bytes) and 16-bit 5-6-5.
inline constexpr int32_t kFormatRgb24 = 9;
inline constexpr int32_t kFormatRgb565 = 13;
inline constexpr uint32_t kDecodePeriodMs = 150;
inline constexpr uint32_t kStandbyMs = 180000;

// Where a frame pixel goes in the preview picture for a device class and
// display orientation, and whether the turned picture goes back to the engine.
struct Turn {
  enum Kind : uint8_t { kPlain, kTurn180, kUpsideDown, kMirror, kClockwise, kAnticlockwise } kind = kPlain;
  bool copyBack = false;
};
Turn TurnFor(int32_t deviceClass, int32_t orientation);
// Turns a w x h frame of `bytesPerPixel` into `out` (resized); a clockwise or
// anticlockwise turn makes it h wide.
void TurnFrame(const uint8_t* frame, int32_t width, int32_t height, int32_t bytesPerPixel, Turn turn,
               std::vector<uint8_t>* out);

class CaptureLoop : public CaptureControl {
 public:
  struct Parts {
    ui::WindowSystem* windows = nullptr;
    const DeviceIdentity* device = nullptr;
    const Settings* settings = nullptr;
    std::atomic<bool>* uiBusy = nullptr;
    FrameCalls frames;
    CameraFactory makeCamera;
    ResultSink sink;
    EngineCall engine = nullptr;  // null: RecognizeImage
    // Called once the loop has stopped running, so that a sink still waiting
    // for the person returns and the decode thread can end.
    std::function<void()> cancelSink;
    // Off in tests that run the passes by hand (DecodePass, PreviewPass).
    bool threads = true;
  };
  explicit CaptureLoop(Parts parts);
  ~CaptureLoop() override;

  int StartCapture(ui::Window window) override;
  int StopCapture() override;
  bool IsCapturing() const override { return running_; }
  bool EngineIdle() const override { return engineIdle_; }
  void RebuildPreview() override;
  void PaintPreview(ui::Canvas& canvas) override;
  void TriggerFocus() override;
  void ZoomStep(int32_t direction) override;
  void SetFocusMode(int32_t mode) override;
  int32_t FocusMode() const override { return focusMode_; }
  int32_t ZoomPosition() const override;
  int32_t ZoomSteps() const override;

  // One pass of each thread's loop, without its sleep (tests with threads off).
  void PreparePreview();  // the preview thread's set-up
  void PreviewPass();
  void DecodePass();
  int32_t lastResult() const { return lastResult_; }
  // Counts since construction: preview frames turned and kept for painting,
  // engine calls made.
  uint64_t previewFrames() const { return previewFrames_; }
  uint64_t engineCalls() const { return engineCalls_; }
  bool started() const { return started_; }

 private:
  void PreviewThread();
  void DecodeThread();
  bool ReadFormat();
  void RebuildPreviewLocked();
  bool SleepUnlessStopped(uint32_t milliseconds);

  Parts parts_;
  std::atomic<bool> running_{false};
  std::atomic<bool> started_{false};
  std::atomic<bool> startAllowed_{true};
  std::atomic<bool> engineIdle_{true};
  std::atomic<bool> standbyArmed_{false};
  std::atomic<int32_t> lastResult_{0};
  std::atomic<uint64_t> previewFrames_{0};
  std::atomic<uint64_t> engineCalls_{0};
  std::atomic<int32_t> focusMode_{0};
  ui::Window window_ = ui::kNoWindow;

  std::unique_ptr<CaptureCamera> camera_;
  std::mutex cameraMutex_;  // the camera object between window and worker threads
  int32_t zoomValue_ = 0;   // remembered for the next start
  ZoomState zoom_;

  // The frame: format, the buffer the preview thread fills, the preview picture.
  mutable std::mutex frameMutex_;
  filter::FrameFormat format_{};
  bool haveFormat_ = false;
  int32_t bitsPerPixel_ = 24;
  std::vector<uint8_t> frameBuffer_;
  std::vector<uint8_t> turned_;
  std::vector<uint32_t> preview_;  // 0xRRGGBB
  int32_t previewWidth_ = 0, previewHeight_ = 0;
  uint64_t previewVersion_ = 0;

  // The engine's own copy of the frame, its workspace and record.
  std::vector<uint8_t> engineFrame_;
  std::vector<uint64_t> workspace_;
  std::unique_ptr<ScanResult> result_;

  std::thread previewThread_;
  std::thread decodeThread_;
  std::mutex sleepMutex_;
  std::condition_variable sleepWake_;
};

}  // namespace cordavex::app
