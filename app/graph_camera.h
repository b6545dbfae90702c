// The camera graph as the capture loop drives it, with its reports turned
// into messages to the main window.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/capture_loop.h"
#include "camera/camera_graph.h"

namespace cordavex::app {

// Posted to the main window when the camera source ended or failed; the text
// waits in the program's queue of camera messages.
inline constexpr uint32_t kMsgCameraMessage = ui::kMsgApp + 2;

// The failures of building, running and previewing are said to the person
// with their reason ("Builing the graph failed: images: cannot open ..."),
// through `say`; the graph's own failure report carries only the first half.
class GraphCamera : public CaptureCamera {
 public:
  using Say = std::function<void(const std::string& text)>;
  GraphCamera(camera::GraphParts parts, camera::GraphHost host, camera::DeviceTraits device, Say say)
      : graph_(std::move(parts)), host_(std::move(host)), device_(std::move(device)), say_(std::move(say)) {}

  filter::HRESULT Initialise(ui::Window, int32_t zoomValue) override {
    return graph_.Initialise(host_, device_, zoomValue);
  }
  filter::HRESULT Build() override { return Said(graph_.Build(), "Builing the graph failed"); }
  filter::HRESULT Run() override { return Said(graph_.Run(), "Runing the capture graph failed"); }
  filter::HRESULT StartPreview(int32_t width, int32_t height, int32_t smartphone, int32_t useVideoWindow) override {
    return Said(graph_.StartPreview(width, height, smartphone, useVideoWindow), "Starting preview failed");
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
  filter::HRESULT Said(filter::HRESULT hr, const char* report) {
    if (hr < 0 && say_) {
      const std::string why = graph_.lastError();
      say_(why.empty() ? std::string(report) : std::string(report) + ": " + why);
    }
    return hr;
  }

  camera::CameraGraph graph_;
  camera::GraphHost host_;
  camera::DeviceTraits device_;
  Say say_;
};

}  // namespace cordavex::app
