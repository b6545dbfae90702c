#include "camera/frame_source.h"

#include "camera/camera_controller.h"

namespace cordavex::camera {

std::string Describe(const CaptureFormat& format) {
  std::string fourcc;
  for (int i = 0; i < 4; ++i) fourcc.push_back(static_cast<char>((format.fourcc >> (8 * i)) & 0xFF));
  std::string text = std::to_string(format.width) + "x" + std::to_string(format.height) + " " + fourcc;
  if (format.timePerFrame > 0) {
    const int64_t centiFps = kTicksPerSecond * 100 / format.timePerFrame;
    text += " " + std::to_string(centiFps / 100);
    if (centiFps % 100 != 0) text += "." + std::to_string(centiFps % 100 / 10) + std::to_string(centiFps % 10);
    text += " fps";
  }
  return text;
}

std::unique_ptr<CameraController> FrameSource::MakeController() {
  return std::make_unique<SimulatedCameraController>();
}

}  // namespace cordavex::camera
