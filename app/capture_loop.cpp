#include "app/capture_loop.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "cordavex/recognizer.h"

namespace cordavex::app {

namespace {

bool InSet(int32_t value, std::initializer_list<int32_t> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}
bool SetA(int32_t c) { return InSet(c, {5, 6, 7, 8, 10, 11, 13, 17, 18}); }
bool SetR(int32_t c) { return InSet(c, {1, 2, 4, 9, 12, 16}); }
bool SetR4(int32_t c) { return InSet(c, {4, 9, 12, 16}); }

// Bytes a frame of the format takes: one per pixel for the grey codes 0 and 7.
size_t FrameBytes(const filter::FrameFormat& format) {
  const size_t pixels = static_cast<size_t>(std::max(0, format.outputWidth)) *
                        static_cast<size_t>(std::max(0, format.outputHeight));
  if (format.formatCode == 0 || format.formatCode == 7) return pixels;
  return pixels * static_cast<size_t>(std::max(0, format.bitsPerPixel)) / 8;
}

uint32_t PixelOf(const uint8_t* p, int32_t formatCode) {
  if (formatCode == kFormatRgb24) return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
  const uint32_t v = uint32_t{p[0]} | uint32_t{p[1]} << 8;
  const uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
  return (r * 255 / 31) << 16 | (g * 255 / 63) << 8 | (b * 255 / 31);
}

// The eight strokes of the aim marks: the corners of a 100 x 100 square
// around the picture's centre, each two 15-pixel strokes, 2 pixels wide.
void DrawAimMarks(std::vector<uint32_t>& picture, int32_t width, int32_t height) {
  const int32_t cx = width / 2, cy = height / 2;
  auto plot = [&](int32_t x, int32_t y) {
    for (int32_t dy = 0; dy < 2; ++dy) {
      for (int32_t dx = 0; dx < 2; ++dx) {
        const int32_t px = x + dx, py = y + dy;
        if (px >= 0 && py >= 0 && px < width && py < height) {
          picture[static_cast<size_t>(py) * width + px] = 0xFF0000;
        }
      }
    }
  };
  for (int32_t sx : {-1, 1}) {
    for (int32_t sy : {-1, 1}) {
      const int32_t x = cx + sx * 50, y = cy + sy * 50;
      for (int32_t i = 0; i <= 15; ++i) {
        plot(x - sx * i, y);
        plot(x, y - sy * i);
      }
    }
  }
}

}  // namespace

Turn TurnFor(int32_t c, int32_t orientation) {
  const bool a = SetA(c);
  const bool rare = c == 11 || c == 13;
  if (a && orientation != 4) return {rare ? Turn::kTurn180 : Turn::kUpsideDown, true};
  if (a) return {rare ? Turn::kPlain : Turn::kMirror, true};
  if (orientation == 0) {
    if (SetR4(c)) return {Turn::kClockwise, false};
    if (c == 1 || c == 2) return {Turn::kAnticlockwise, false};
    return {Turn::kPlain, false};
  }
  if (orientation == 4) return {SetR4(c) ? Turn::kPlain : Turn::kTurn180, true};
  if (SetR4(c)) return {Turn::kTurn180, true};
  return {Turn::kPlain, false};
}

void TurnFrame(const uint8_t* frame, int32_t w, int32_t h, int32_t bytes, Turn turn, std::vector<uint8_t>* out) {
  out->resize(static_cast<size_t>(w) * h * bytes);
  const bool sideways = turn.kind == Turn::kClockwise || turn.kind == Turn::kAnticlockwise;
  const int32_t outWidth = sideways ? h : w;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      int32_t ox = x, oy = y;
      switch (turn.kind) {
        case Turn::kPlain: break;
        case Turn::kTurn180: ox = w - 1 - x; oy = h - 1 - y; break;
        case Turn::kUpsideDown: oy = h - 1 - y; break;
        case Turn::kMirror: ox = w - 1 - x; break;
        case Turn::kClockwise: ox = h - 1 - y; oy = x; break;
        case Turn::kAnticlockwise: ox = y; oy = w - 1 - x; break;
      }
      std::memcpy(out->data() + (static_cast<size_t>(oy) * outWidth + ox) * bytes,
                  frame + (static_cast<size_t>(y) * w + x) * bytes, static_cast<size_t>(bytes));
    }
  }
}

CaptureLoop::CaptureLoop(Parts parts) : parts_(std::move(parts)) {}

CaptureLoop::~CaptureLoop() { StopCapture(); }

bool CaptureLoop::SleepUnlessStopped(uint32_t milliseconds) {
  std::unique_lock lock(sleepMutex_);
  sleepWake_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return !running_; });
  return running_;
}

int CaptureLoop::StartCapture(ui::Window window) {
  if (!startAllowed_ || running_) return 0;
  running_ = true;
  started_ = false;
  window_ = window;
  {
    std::lock_guard lock(cameraMutex_);
    if (camera_ != nullptr || !parts_.makeCamera) {
      running_ = false;
      return 0;
    }
    camera_ = parts_.makeCamera();
    const int32_t deviceClass = parts_.device->deviceClass;
    const int32_t zoomValue = deviceClass == 7 || deviceClass == 13 ? 100 : zoomValue_;
    // A camera that cannot be set up or run is released at once, so that the
    // next activation tries again once the person has freed the camera.
    if (camera_ == nullptr || camera_->Initialise(window, zoomValue) < 0 || camera_->Build() < 0 ||
        camera_->Run() < 0) {
      if (camera_ != nullptr) camera_->Stop();
      camera_.reset();
      running_ = false;
      return 0;
    }
  }
  if (parts_.threads) {
    previewThread_ = std::thread([this] { PreviewThread(); });
    decodeThread_ = std::thread([this] { DecodeThread(); });
  }
  started_ = true;
  return 1;
}

int CaptureLoop::StopCapture() {
  if (!(started_ && running_)) {
    return 1;
  }
  startAllowed_ = false;
  {
    std::lock_guard lock(sleepMutex_);
    running_ = false;
  }
  sleepWake_.notify_all();
  if (parts_.cancelSink) parts_.cancelSink();
  if (decodeThread_.joinable()) decodeThread_.join();
  if (previewThread_.joinable()) previewThread_.join();
  int stopped = 1;
  {
    std::lock_guard lock(cameraMutex_);
    if (camera_ != nullptr && camera_->Stop() < 0) {
      stopped = 0;
    } else {
      camera_.reset();
    }
  }
  {
    std::lock_guard lock(frameMutex_);
    haveFormat_ = false;
    format_ = {};
  }
  started_ = false;
  startAllowed_ = true;
  return stopped;
}

bool CaptureLoop::ReadFormat() {
  if (parts_.frames.getVideoFormat == nullptr) return false;
  filter::FrameFormat format{};
  format.rotation = -1;
  parts_.frames.getVideoFormat(&format);
  std::lock_guard lock(frameMutex_);
  format_ = format;
  haveFormat_ = format.outputWidth > 0 && format.outputHeight > 0 && format.bitsPerPixel > 0;
  return haveFormat_;
}

void CaptureLoop::PreparePreview() {
  // The filter knows its format once the first frame has passed; until then
  // the passes skip, and the next pass asks again.
  if (!ReadFormat()) return;
  std::lock_guard lock(frameMutex_);
  bitsPerPixel_ = format_.bitsPerPixel;
  const size_t bytes = FrameBytes(format_);
  if (frameBuffer_.size() != bytes) frameBuffer_.assign(bytes, 0);
  const size_t words =
      static_cast<size_t>(GetRecognizerSize(format_.outputWidth, format_.outputHeight) + 7) / 8;
  if (workspace_.size() != words) workspace_.assign(words, 0);
  if (result_ == nullptr) result_ = std::make_unique<ScanResult>();
  preview_.clear();
  previewWidth_ = previewHeight_ = 0;
}

void CaptureLoop::RebuildPreview() {
  std::lock_guard lock(frameMutex_);
  preview_.clear();
  previewWidth_ = previewHeight_ = 0;
}

void CaptureLoop::PreviewThread() {
  PreparePreview();
  {
    std::lock_guard lock(cameraMutex_);
    const bool draws = format_.formatCode == kFormatRgb24 || format_.formatCode == kFormatRgb565;
    if (camera_ != nullptr) {
      camera_->StartPreview(format_.outputWidth, format_.outputHeight, parts_.device->smartphone ? 1 : 0,
                            draws ? 0 : 1);
    }
  }
  const int32_t deviceClass = parts_.device->deviceClass;
  if (deviceClass == 12 || SameModel(parts_.device->model, u"ASUS ARIES")) {
    if (!SleepUnlessStopped(1500)) return;
    if (deviceClass == 12) TriggerFocus();
  }
  while (SleepUnlessStopped(1)) PreviewPass();
}

void CaptureLoop::PreviewPass() {
  if (*parts_.uiBusy) return;
  bool ready;
  {
    std::lock_guard lock(frameMutex_);
    ready = haveFormat_ && !frameBuffer_.empty();
  }
  if (!ready) {
    PreparePreview();
    return;
  }
  if (parts_.frames.getVideoBuffer == nullptr) return;
  bool drew = false;
  {
    std::lock_guard lock(frameMutex_);
    parts_.frames.getVideoBuffer(frameBuffer_.data(), static_cast<int32_t>(FrameBytes(format_)));
    const int32_t code = format_.formatCode;
    if (code == kFormatRgb24 || code == kFormatRgb565) {
      const int32_t w = format_.outputWidth, h = format_.outputHeight;
      const int32_t bytes = code == kFormatRgb24 ? 3 : 2;
      if (frameBuffer_.size() >= static_cast<size_t>(w) * h * bytes) {
        const Turn turn = TurnFor(parts_.device->deviceClass, parts_.device->orientation);
        TurnFrame(frameBuffer_.data(), w, h, bytes, turn, &turned_);
        const bool sideways = turn.kind == Turn::kClockwise || turn.kind == Turn::kAnticlockwise;
        previewWidth_ = sideways ? h : w;
        previewHeight_ = sideways ? w : h;
        preview_.resize(static_cast<size_t>(w) * h);
        for (size_t i = 0; i < preview_.size(); ++i) preview_[i] = PixelOf(turned_.data() + i * bytes, code);
        if (parts_.settings->focusScreen == 1 && previewWidth_ >= 1) {
          DrawAimMarks(preview_, previewWidth_, previewHeight_);
        }
        if (turn.copyBack) std::memcpy(frameBuffer_.data(), turned_.data(), static_cast<size_t>(w) * h * bytes);
        ++previewVersion_;
        ++previewFrames_;
        drew = true;
      }
    }
  }
  if (drew && window_ != ui::kNoWindow) parts_.windows->InvalidateWindow(window_);
}

void CaptureLoop::DecodeThread() {
  while (running_) {
    DecodePass();
    if (!SleepUnlessStopped(kDecodePeriodMs)) break;
  }
  parts_.windows->KillTimer(window_, 3);
  standbyArmed_ = false;
}

void CaptureLoop::DecodePass() {
  if (!standbyArmed_) {
    parts_.windows->SetTimer(window_, 3, kStandbyMs);
    standbyArmed_ = true;
  }
  if (*parts_.uiBusy || !engineIdle_) {
    // While a result screen is up the engine sees nothing.
    std::lock_guard lock(frameMutex_);
    std::fill(frameBuffer_.begin(), frameBuffer_.end(), 0);
    return;
  }
  engineIdle_ = false;
  int32_t width = 0, height = 0, bits = 0;
  {
    std::lock_guard lock(frameMutex_);
    if (haveFormat_ && !frameBuffer_.empty() && !workspace_.empty() && result_ != nullptr) {
      engineFrame_ = frameBuffer_;
      width = format_.outputWidth;
      height = format_.outputHeight;
      bits = bitsPerPixel_;
    }
  }
  if (width > 0) {
    result_->mode() = parts_.device->deviceClass == 6 ? 1 : 0;
    result_->symbologyMask() = static_cast<int32_t>(parts_.settings->cvItem.load());
    const EngineCall engine = parts_.engine != nullptr ? parts_.engine : &RecognizeImage;
    const int32_t status = engine(engineFrame_.data(), workspace_.data(), width, height, bits, result_.get());
    lastResult_ = status;
    ++engineCalls_;
    if (status > 0) {
      parts_.windows->KillTimer(window_, 3);
      *parts_.uiBusy = true;
      standbyArmed_ = false;
      if (parts_.sink) parts_.sink(*result_);
      if (parts_.threads) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      *parts_.uiBusy = false;
    }
  }
  engineIdle_ = true;
}

void CaptureLoop::PaintPreview(ui::Canvas& canvas) {
  {
    std::lock_guard lock(cameraMutex_);
    if (camera_ != nullptr && started_) {
      zoom_ = camera_->ApplyZoomTable();
      zoomValue_ = zoom_.remembered;
    }
  }
  std::lock_guard lock(frameMutex_);
  if (preview_.empty() || previewWidth_ <= 0) return;
  const DeviceIdentity& device = *parts_.device;
  const int32_t cw = canvas.width(), ch = canvas.height();
  int32_t w = previewWidth_, h = previewHeight_;
  int32_t left, top;
  if (SameModel(device.model, u"ASUS ARIES") || device.deviceClass == 15) {
    left = (cw - w + 45) / 2;
    top = (ch - h - 14) / 2;
  } else if (device.deviceClass == 14) {
    left = (cw - 120) / 2, top = 10, w = 120, h = 160;
  } else if (device.deviceClass == 18) {
    left = (cw - 160) / 2, top = 52, w = 160, h = 120;
  } else if (device.smartphone) {
    const int32_t frameHeight = h;
    w = w > cw ? 176 : w;
    h = frameHeight > ch - 80 ? 144 : h;
    left = (cw - w) / 2;
    top = 80;
  } else {
    left = (cw - w - 60) / 2;
    top = (ch - h - 26) / 2;
  }
  left = std::max(0, left);
  top = std::max(0, top);
  if (SameModel(device.model, u"LIBR100")) {
    if (SetR(device.deviceClass) && device.orientation == 0) {
      left -= 25, top /= 2;
    } else {
      left = left * 3 / 2, top = top / 3 - 10;
    }
  }
  canvas.StretchPicture({previewWidth_, previewHeight_, preview_}, {left, top, left + w, top + h});
}

void CaptureLoop::TriggerFocus() {
  std::lock_guard lock(cameraMutex_);
  if (camera_ != nullptr) camera_->Focus(1);
}

void CaptureLoop::ZoomStep(int32_t direction) {
  std::lock_guard lock(cameraMutex_);
  if (camera_ == nullptr) return;
  camera_->Zoom(direction > 0 ? 1 : 0);
  zoom_ = camera_->ApplyZoomTable();
  zoomValue_ = zoom_.remembered;
}

void CaptureLoop::SetFocusMode(int32_t mode) {
  focusMode_ = mode;
  std::lock_guard lock(cameraMutex_);
  if (camera_ != nullptr) camera_->FocusMode(mode);
}

int32_t CaptureLoop::ZoomPosition() const { return zoom_.position; }
int32_t CaptureLoop::ZoomSteps() const { return zoom_.count; }

}  // namespace cordavex::app
