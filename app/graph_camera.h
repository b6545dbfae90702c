// The camera graph as the capture loop drives it, with its reports turned
// into messages to the main window.
#pragma once

#include <memory>

#include "app/capture_loop.h"
#include "camera/camera_graph.h"

namespace cordavex::app {

// Posted to the main window when the camera source ended or failed; the text
// waits in the program's queue of camera messages.
inline constexpr uint32_t kMsgCameraMessage = ui::kMsgApp + 2;

class GraphCamera : public CaptureCamera {
 public:
  GraphCamera(camera::GraphParts parts, camera::GraphHost host, camera::DeviceTraits device)
      : graph_(std::move(parts)), host_(std::move(host)), device_(std::move(device)) {}

  filter::HRESULT Initialise(ui::Window, int32_t zoomValue) override {
    return graph_.Initialise(host_, device_, zoomValue);
  }
  filter::HRESULT Build() override { return graph_.Build(); }
  filter::HRESULT Run() override { return graph_.Run(); }
  filter::HRESULT StartPreview(int32_t width, int32_t height, int32_t smartphone, int32_t useVideoWindow) override {
    return graph_.StartPreview(width, height, smartphone, useVideoWindow);
  }
  filter::HRESULT Stop() override { return graph_.Stop(); }
  filter::HRESULT Zoom(int32_t up) override { return graph_.Zoom(up); }
  filter::HRESULT Focus(int32_t trigger) override { return graph_.Focus(trigger); }
  filter::HRESULT FocusMode(int32_t mode) override { return graph_.FocusMode(mode); }
  ZoomState ApplyZoomTable() override {
    const camera::ZoomBar bar = graph_.ApplyZoomTable();
    return {bar.count, bar.position, bar.remembered};
  }

 private:
  camera::CameraGraph graph_;
  camera::GraphHost host_;
  camera::DeviceTraits device_;
};

}  // namespace cordavex::app
