#include "app/capture_control.h"

namespace cordavex::app {

int PendingCapture::StartCapture(ui::Window /*window*/) {
  if (running_) return 0;
  running_ = true;
  if (!reported_) {
    reported_ = true;
    windows_.Emit({"stub", {{"name", "capture loop"}}});
  }
  return 1;
}

int PendingCapture::StopCapture() {
  running_ = false;
  return 1;
}

void PendingCapture::TriggerFocus() { windows_.Emit({"stub", {{"name", "camera focus"}}}); }

void PendingCapture::ZoomStep(int32_t direction) {
  windows_.Emit({"stub", {{"name", direction > 0 ? "camera zoom up" : "camera zoom down"}}});
}

}  // namespace cordavex::app
