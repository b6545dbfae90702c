// What the main window asks of live scanning: the capture start and stop, the
// preview it paints, and the camera's focus and zoom. The capture loop
// implements it over the camera graph; until that loop is built into the
// program, PendingCapture stands in — capture "starts" and no frame ever
// arrives, as on a phone without its camera filter.
#pragma once

#include <atomic>
#include <cstdint>

#include "ui/canvas.h"
#include "ui/window_system.h"

namespace cordavex::app {

class CaptureControl {
 public:
  virtual ~CaptureControl() = default;

  // 1 started, 0 not started.
  virtual int StartCapture(ui::Window window) = 0;
  // 1 stopped cleanly, 0 the camera refused to stop. Signals the stop when it
  // returns, so the caller never waits for it separately.
  virtual int StopCapture() = 0;
  virtual bool IsCapturing() const = 0;
  // False while the decode thread is inside the engine.
  virtual bool EngineIdle() const = 0;
  // The display settings changed: rebuild the preview picture.
  virtual void RebuildPreview() = 0;
  // Draws the last preview frame with its aim marks into the client area.
  virtual void PaintPreview(ui::Canvas& canvas) = 0;

  // Camera controls.
  virtual void TriggerFocus() = 0;
  virtual void ZoomStep(int32_t direction) = 0;  // +1 up, -1 down
  virtual void SetFocusMode(int32_t mode) = 0;
  virtual int32_t FocusMode() const = 0;
  virtual int32_t ZoomPosition() const = 0;
  virtual int32_t ZoomSteps() const = 0;  // 0: the camera has no zoom
};

// Reports {"event": "stub", "name": "capture loop"} on the first start and
// otherwise does nothing.
class PendingCapture : public CaptureControl {
 public:
  explicit PendingCapture(ui::WindowSystem& windows) : windows_(windows) {}

  int StartCapture(ui::Window window) override;
  int StopCapture() override;
  bool IsCapturing() const override { return running_; }
  bool EngineIdle() const override { return true; }
  void RebuildPreview() override {}
  void PaintPreview(ui::Canvas&) override {}
  void TriggerFocus() override;
  void ZoomStep(int32_t direction) override;
  void SetFocusMode(int32_t mode) override { focusMode_ = mode; }
  int32_t FocusMode() const override { return focusMode_; }
  int32_t ZoomPosition() const override { return 0; }
  int32_t ZoomSteps() const override { return 0; }

 private:
  ui::WindowSystem& windows_;
  std::atomic<bool> running_{false};
  std::atomic<int32_t> focusMode_{0};
  bool reported_ = false;
};

}  // namespace cordavex::app
