// Where camera frames come from on a system without the phone's camera: a
// frame source stands for the device camera's capture filter. It lists the
// capture sizes it can deliver (the camera's capability list), takes the one
// the graph chooses, and then hands out frames one at a time, always as YUY2
// (4:2:2, bytes Y0 U Y1 V per pixel pair, rows top-down, width × 2 bytes per
// row), whatever it reads underneath (a YUV4MPEG2 file, still images, a V4L2
// device in YUYV or MJPEG, frames pushed by the web page).
//
// Threads: Open, Formats, SetFormat, Start and Stop are called from one
// control thread while no Read runs; Read is called from one streaming thread
// between Start and Stop. Sources that take frames from outside (the browser
// source) say which of their calls are safe from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"

namespace cordavex::camera {

class CameraController;

// Four-character codes of the pixel formats a source receives frames in.
constexpr uint32_t Fourcc(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
         static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
constexpr uint32_t kFourccYuyv = Fourcc('Y', 'U', 'Y', 'V');  // the same bytes as YUY2
constexpr uint32_t kFourccMjpeg = Fourcc('M', 'J', 'P', 'G');

// 100-nanosecond units, as media sample times count.
constexpr int64_t kTicksPerSecond = 10'000'000;

// Largest frame side a source accepts: cameras deliver far less, and a hostile
// header must not make the program allocate gigabytes.
constexpr int32_t kMaxSourceSide = 4096;

// One entry of a source's capability list.
struct CaptureFormat {
  int32_t width = 0;
  int32_t height = 0;
  uint32_t fourcc = kFourccYuyv;    // what the source receives; frames are delivered as YUY2
  int64_t timePerFrame = kTicksPerSecond / 15;

  friend bool operator==(const CaptureFormat&, const CaptureFormat&) = default;
};

// "320x240 YUYV 15 fps".
std::string Describe(const CaptureFormat& format);

// One delivered frame. The byte buffer is reused from read to read: a source
// resizes it once per format and then only writes into it.
struct CameraFrame {
  int32_t width = 0;
  int32_t height = 0;
  int64_t timestamp = 0;  // ticks since the first frame of the stream
  int64_t sequence = 0;   // 0 for the first frame of the stream
  std::vector<uint8_t> yuy2;  // width × height × 2 bytes
};

enum class ReadOutcome {
  kFrame,        // `frame` holds the next frame
  kTimedOut,     // nothing arrived in time; read again
  kEndOfStream,  // the source has no more frames (a file played to its end)
  kFailed,       // the source broke (file vanished, device error): see `error`
};

struct ReadResult {
  ReadOutcome outcome = ReadOutcome::kFrame;
  platform::Status error;  // for kFailed
  std::string message;     // for kEndOfStream, a line for a person

  static ReadResult Frame() { return {}; }
  static ReadResult TimedOut() { return {ReadOutcome::kTimedOut, {}, {}}; }
  static ReadResult End(std::string text) { return {ReadOutcome::kEndOfStream, {}, std::move(text)}; }
  static ReadResult Failed(platform::Status status) {
    return {ReadOutcome::kFailed, std::move(status), {}};
  }
};

class FrameSource {
 public:
  virtual ~FrameSource() = default;

  // The source as the user named it: "clip", "y4m:FILE", "v4l2:/dev/video0".
  virtual std::string Name() const = 0;
  // Opens the file, folder or device and learns what it can deliver.
  virtual platform::Status Open() = 0;
  // The capability list, in the source's own order (after Open).
  virtual std::vector<CaptureFormat> Formats() const = 0;
  // Chooses one entry of Formats(); any other is refused.
  virtual platform::Status SetFormat(const CaptureFormat& format) = 0;
  // The format in force: the first listed until SetFormat chooses another.
  virtual CaptureFormat Format() const = 0;
  virtual platform::Status Start() = 0;
  // Waits at most `timeout` for the next frame.
  virtual ReadResult Read(CameraFrame& frame, std::chrono::milliseconds timeout) = 0;
  virtual void Stop() = 0;
  // True when frames arrive at their own pace (a device, pushed frames); a
  // file-backed source hands them out at once and the graph paces them by
  // their timestamps.
  virtual bool Live() const = 0;
  // The camera's controls (zoom, focus, picture). A source without controls
  // of its own gives a SimulatedCameraController; the V4L2 source gives the
  // device's. The controller may use the source and must not outlive it.
  virtual std::unique_ptr<CameraController> MakeController();
};

// The SOURCE forms of the program's --camera option.
enum class SourceKind { kClip, kV4l2, kY4m, kImages, kBrowser, kNone };

struct SourceChoice {
  SourceKind kind = SourceKind::kClip;
  std::string argument;  // the device, file or folder; empty for the others
};

// Parses "clip", "v4l2:/dev/video0", "y4m:FILE", "images:DIR", "browser" or
// "none". A bad form gives an InvalidArgument status naming the accepted forms.
platform::Status ParseCameraSource(std::string_view text, SourceChoice* choice);

// Where the bundled clip is read from: $CORDAVEX_CLIP when set, else
// "cordavex_clip.y4m" in the program folder.
std::string BundledClipPath();

// A new source of the choice's kind, not yet opened. `none` gives a source whose
// Open reports that there is no camera.
// `mailbox` is where the web front end posts frames for "browser" (null: the
// browser source reports that nothing posts frames).
class FrameMailbox;
std::unique_ptr<FrameSource> MakeFrameSource(const SourceChoice& choice,
                                             std::shared_ptr<FrameMailbox> mailbox = nullptr);

}  // namespace cordavex::camera
