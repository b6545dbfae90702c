#include "camera/camera_graph.h"

#include <algorithm>
#include <chrono>
#include <span>
#include <system_error>
#include <utility>

#include "filter/exports.h"

namespace cordavex::camera {

namespace {

using filter::E_FAIL;
using filter::E_POINTER;
using filter::E_UNEXPECTED;
using filter::Failed;
using filter::HRESULT;
using filter::S_OK;

// Win32 errors the graph reports as HRESULTs.
constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;

constexpr auto kReadTimeout = std::chrono::milliseconds(50);

struct Size {
  int32_t width, height;
};

constexpr Size kAllSizes[] = {{320, 240}, {240, 320}, {240, 180}, {176, 144},
                              {144, 176}, {160, 120}, {120, 160}};
constexpr Size kClass6Sizes[] = {{240, 180}, {176, 144}, {144, 176}, {160, 120}, {120, 160}};
constexpr Size kPortraitAndLandscape[] = {{320, 240}, {240, 320}};
constexpr Size kLandscapeOnly[] = {{320, 240}};

bool OneOf(int32_t value, std::initializer_list<int32_t> set) {
  return std::find(set.begin(), set.end(), value) != set.end();
}

// The capture sizes a device wants, applied wherever the camera lists them.
std::span<const Size> WantedSizes(const DeviceTraits& device) {
  if (OneOf(device.deviceClass, {2, 4, 12})) return kPortraitAndLandscape;
  if (device.model == "ASUS ARIES") return kLandscapeOnly;
  if (OneOf(device.deviceClass, {9, 14, 16})) return kLandscapeOnly;
  if (device.deviceClass == 6) return kClass6Sizes;
  return kAllSizes;
}

HRESULT FromStatus(const platform::Status& status) {
  return filter::HresultFromWin32(static_cast<uint32_t>(platform::Win32ErrorOf(status)));
}

// The camera's media type for a capture format: the frames as the sources
// deliver them, YUY2 at 16 bits per pixel.
filter::MediaType CaptureMediaType(const CaptureFormat& format) {
  filter::MediaType type;
  type.majorType = filter::kMediaTypeVideo;
  type.subType = filter::kSubtypeYUY2;
  type.fixedSizeSamples = true;
  filter::VideoInfoHeader info;
  info.rcSource = {0, 0, format.width, format.height};
  info.rcTarget = info.rcSource;
  info.AvgTimePerFrame = format.timePerFrame;
  info.bmiHeader.biSize = sizeof(filter::BitmapInfoHeader);
  info.bmiHeader.biWidth = format.width;
  info.bmiHeader.biHeight = format.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 16;
  info.bmiHeader.biCompression = filter::kSubtypeYUY2.data1;
  info.bmiHeader.biSizeImage = static_cast<uint32_t>(int64_t{format.width} * format.height * 2);
  filter::WriteVideoInfo(&type, info);
  type.sampleSize = info.bmiHeader.biSizeImage;
  return type;
}

// The graph's allocator: grants what the filter asks; the graph then makes the
// buffer of the granted size.
class OutputAllocator final : public filter::MemoryAllocator {
 public:
  virtual ~OutputAllocator() = default;
  HRESULT SetProperties(const filter::AllocatorProperties& request, filter::AllocatorProperties* actual) override {
    *actual = request;
    if (actual->buffers < 1) actual->buffers = 1;
    return S_OK;
  }
};

}  // namespace

FrameFilterRef& FrameFilterRef::operator=(FrameFilterRef&& other) noexcept {
  if (this != &other) {
    Reset();
    filter_ = std::exchange(other.filter_, nullptr);
    library_ = std::exchange(other.library_, nullptr);
  }
  return *this;
}

void FrameFilterRef::Reset() {
  if (filter_ != nullptr) filter_->Release();
  filter_ = nullptr;
  if (library_ != nullptr) platform::FreeLibrary(library_);
  library_ = nullptr;
}

FilterFactory LibraryFilterFactory() {
  return [](FrameFilterRef* out) -> HRESULT {
    if (out == nullptr) return E_POINTER;
    platform::LibraryHandle library = platform::LoadLibrary("CordavexDSFilter.dll");
    if (library == nullptr) return filter::HresultFromWin32(kErrorModNotFound);
    auto* getClassObject =
        platform::GetProcAddressAs<filter::DllGetClassObjectFunction>(library, "DllGetClassObject");
    if (getClassObject == nullptr) {
      platform::FreeLibrary(library);
      return filter::HresultFromWin32(kErrorProcNotFound);
    }
    void* object = nullptr;
    HRESULT hr = getClassObject(filter::kClsidCvDSFilter, filter::kIidIClassFactory, &object);
    if (Failed(hr)) {
      platform::FreeLibrary(library);
      return hr;
    }
    auto* factory = static_cast<filter::IClassFactory*>(object);
    object = nullptr;
    hr = factory->CreateInstance(nullptr, filter::kIidIBaseFilter, &object);
    factory->Release();
    if (Failed(hr)) {
      platform::FreeLibrary(library);
      return hr;
    }
    *out = FrameFilterRef(static_cast<filter::IFrameTransformFilter*>(object), library);
    return S_OK;
  };
}

FilterFactory StateFilterFactory(filter::FilterState& state) {
  return [&state](FrameFilterRef* out) -> HRESULT {
    if (out == nullptr) return E_POINTER;
    void* object = nullptr;
    const HRESULT hr = filter::CreateFilterObject(state, filter::kIidIBaseFilter, &object);
    if (Failed(hr)) return hr;
    *out = FrameFilterRef(static_cast<filter::IFrameTransformFilter*>(object), nullptr);
    return S_OK;
  };
}

CameraGraph::CameraGraph(GraphParts parts) : parts_(std::move(parts)) {}

CameraGraph::~CameraGraph() {
  {
    std::lock_guard lock(mutex_);
    StopLocked();
  }
  controller_.reset();
  source_.reset();
  filter_.Reset();
}

HRESULT CameraGraph::Initialise(GraphHost host, DeviceTraits device, int32_t zoomValue) {
  std::lock_guard lock(mutex_);
  host_ = std::move(host);
  device_ = std::move(device);
  zoomValue_ = zoomValue;
  return S_OK;
}

HRESULT CameraGraph::PostFailure(const std::string& text) {
  if (text.empty()) return E_POINTER;
  if (host_.postFailure) host_.postFailure(FailureReport{1, text});
  return S_OK;
}

HRESULT CameraGraph::Fail(const char* report, HRESULT hr, std::string why) {
  lastError_ = std::move(why);
  PostFailure(report);
  return hr;
}

HRESULT CameraGraph::Build() {
  std::lock_guard lock(mutex_);
  // A graph is built once: its camera is already connected to the filter.
  if (built_) return Fail("Builing the graph failed", E_UNEXPECTED, "the graph is already built");
  const HRESULT hr = BuildSteps();
  if (Failed(hr)) {
    // Nothing half-made stays behind; a later Build starts afresh.
    controller_.reset();
    source_.reset();
    filter_.Reset();
    PostFailure("Builing the graph failed");
  }
  return hr;
}

HRESULT CameraGraph::BuildSteps() {
  // The camera.
  source_ = parts_.makeSource ? parts_.makeSource() : nullptr;
  if (!source_) {
    lastError_ = "no camera source";
    return E_FAIL;
  }
  const platform::Status opened = source_->Open();
  if (!opened.ok()) {
    lastError_ = opened.message();
    return FromStatus(opened);
  }
  // The frame filter, and the camera's controls.
  if (!parts_.makeFilter) {
    lastError_ = "no frame filter";
    return E_FAIL;
  }
  HRESULT hr = parts_.makeFilter(&filter_);
  if (Failed(hr) || !filter_) {
    lastError_ = "the frame filter cannot be created";
    return Failed(hr) ? hr : E_FAIL;
  }
  controller_ = parts_.makeController ? parts_.makeController(*source_) : source_->MakeController();

  ChooseCaptureSize();
  if (controller_ && controller_->HasProcAmp()) SetPictureProperties();
  if (controller_ && controller_->HasCameraControl()) SetZoomRange();
  hr = RenderStream();
  if (Failed(hr)) return hr;
  built_ = true;
  return S_OK;
}

void CameraGraph::ChooseCaptureSize() {
  const std::span<const Size> wanted = WantedSizes(device_);
  // Every match is applied, so the last one the camera lists is in force.
  for (const CaptureFormat& format : source_->Formats()) {
    const bool match = std::any_of(wanted.begin(), wanted.end(), [&](const Size& size) {
      return size.width == format.width && size.height == format.height;
    });
    if (match) source_->SetFormat(format);
  }
}

void CameraGraph::SetPictureProperties() {
  CameraController& c = *controller_;
  int32_t value = 0, flags = 0;
  const std::string& model = device_.model;
  if (device_.deviceClass == 6) {
    c.SetProcAmp(kBrightness, 750, kFlagsManual);
    c.SetProcAmp(kContrast, 100, kFlagsManual);
    c.SetProcAmp(kSaturation, 0, kFlagsManual);
    c.SetProcAmp(kSharpness, 50, kFlagsManual);
    c.SetProcAmp(kGamma, 100, kFlagsManual);
    c.SetProcAmp(kWhiteBalance, 298, kFlagsManual);
  } else if (device_.deviceClass == 5) {
    if (Failed(c.GetProcAmp(kBrightness, &value, &flags))) return;
    if (value < 3) {
      while (value < 3) c.SetProcAmp(kBrightness, ++value, kFlagsManual);
    } else if (value == 3) {
      // The same value again would not take: step off it and onto 4.
      c.SetProcAmp(kBrightness, 2, kFlagsManual);
      c.SetProcAmp(kBrightness, 4, kFlagsManual);
    }
  } else if (model == "Asus P535") {
    if (!Failed(c.GetProcAmp(kBrightness, &value, &flags))) c.SetProcAmp(kBrightness, 4500, kFlagsManual);
  } else if (model == "Asus Mars" || model.find("Asus P73") != std::string::npos) {
    if (!Failed(c.GetProcAmp(kBrightness, &value, &flags))) c.SetProcAmp(kBrightness, 65, kFlagsManual);
  } else if (model == "Texas Instruments Inc" && device_.smartphone) {
    if (!Failed(c.GetProcAmp(kBrightness, &value, &flags))) c.SetProcAmp(kBrightness, 4, kFlagsManual);
  }
}

void CameraGraph::SetZoomRange() {
  ControlRange range;
  if (Failed(controller_->GetCameraRange(kCameraZoom, &range))) return;
  zoomMin_ = range.min;
  zoomMax_ = range.max;
  zoomStep_ = range.step;
  if (zoomValue_ != 0) {
    // A remembered 220 is a step some cameras cannot take; 200 is.
    const int32_t value = zoomValue_ == 220 ? 200 : zoomValue_;
    controller_->SetCamera(kCameraZoom, value, kFlagsManual);
    zoomValue_ = value;
  } else {
    zoomValue_ = range.defaultValue;
    controller_->SetCamera(kCameraZoom, zoomMin_, kFlagsManual);
  }
}

HRESULT CameraGraph::RenderStream() {
  const CaptureFormat format = source_->Format();
  inputType_ = CaptureMediaType(format);
  HRESULT hr = filter_->CheckInputType(inputType_);
  if (!Failed(hr)) hr = filter_->SetInputType(inputType_);
  filter::MediaType outputType;
  if (!Failed(hr)) hr = filter_->GetMediaType(0, &outputType);
  if (!Failed(hr)) hr = filter_->CheckTransform(inputType_, outputType);
  filter::AllocatorProperties properties;
  OutputAllocator allocator;
  if (!Failed(hr)) hr = filter_->DecideBufferSize(&allocator, &properties);
  if (Failed(hr)) {
    lastError_ = "the frame filter refuses " + Describe(format) + " frames";
    return hr;
  }
  output_.assign(static_cast<size_t>(properties.bufferSize), 0);
  return S_OK;
}

HRESULT CameraGraph::Run() {
  std::lock_guard lock(mutex_);
  if (!built_) {
    lastError_ = "the graph is not built";
    return E_FAIL;
  }
  if (running_) return S_OK;
  const platform::Status started = source_->Start();
  if (!started.ok()) return Fail("Runing the capture graph failed", FromStatus(started), started.message());
  stopStreaming_ = false;
  frames_ = 0;
  transformFailures_ = 0;
  wrongSize_ = 0;
  try {
    streamer_ = std::thread(&CameraGraph::Stream, this);
  } catch (const std::system_error& error) {
    source_->Stop();
    return Fail("Runing the capture graph failed", E_FAIL, error.what());
  }
  running_ = true;
  return S_OK;
}

void CameraGraph::Stream() {
  // Only the source's Read, the filter's Transform and the output buffer are
  // touched here; the control operations leave them alone until joined.
  const filter::VideoInfoHeader info = *filter::ReadVideoInfo(inputType_);
  const int32_t width = info.bmiHeader.biWidth;
  const int32_t height = info.bmiHeader.biHeight;
  const int64_t timePerFrame = info.AvgTimePerFrame;
  const bool pace = parts_.paceFileSources && !source_->Live();
  const auto startedAt = std::chrono::steady_clock::now();
  CameraFrame frame;
  while (!stopStreaming_) {
    const ReadResult read = source_->Read(frame, kReadTimeout);
    if (read.outcome == ReadOutcome::kTimedOut) continue;
    if (read.outcome == ReadOutcome::kEndOfStream) {
      if (host_.streamEnded) host_.streamEnded(read.message);
      break;
    }
    if (read.outcome == ReadOutcome::kFailed) {
      if (host_.streamFailed) host_.streamFailed(read.error);
      break;
    }
    if (pace) {
      const auto due = startedAt + std::chrono::nanoseconds(frame.timestamp * 100);
      std::unique_lock lock(streamMutex_);
      if (wake_.wait_until(lock, due, [&] { return stopStreaming_.load(); })) break;
    }
    if (frame.width != width || frame.height != height ||
        frame.yuy2.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 2) {
      ++wrongSize_;
      continue;
    }
    // The media sample as the capture pin delivers it.
    filter::MediaSample in;
    in.buffer = frame.yuy2.data();
    in.size = static_cast<int32_t>(frame.yuy2.size());
    in.actualLength = in.size;
    in.timeValid = true;
    in.start = frame.timestamp;
    in.stop = frame.timestamp + timePerFrame;
    in.syncPoint = true;
    in.discontinuity = frame.sequence == 0;
    filter::MediaSample out;
    out.buffer = output_.data();
    out.size = static_cast<int32_t>(output_.size());
    if (Failed(filter_->Transform(in, &out))) {
      ++transformFailures_;
    } else {
      ++frames_;
    }
  }
}

HRESULT CameraGraph::StartPreview(int32_t width, int32_t height, int32_t smartphone, int32_t useVideoWindow) {
  std::lock_guard lock(mutex_);
  previewWidth_ = width;
  previewHeight_ = height;
  smartphone_ = smartphone;
  useVideoWindow_ = useVideoWindow != 0;
  if (!built_) {
    lastError_ = "the graph is not built";
    return E_FAIL;
  }
  // There is no renderer window here: frames the program does not draw
  // itself are not shown, only decoded.
  if (OneOf(device_.deviceClass, {1, 2, 4}) || device_.model == "ASUS ARIES") {
    const HRESULT hr = FocusModeLocked(1);
    if (Failed(hr)) return Fail("Starting preview failed", hr, "the camera refuses the focus mode");
  }
  return S_OK;
}

void CameraGraph::StopLocked() {
  if (!built_) return;
  if (running_) {
    {
      std::lock_guard lock(streamMutex_);
      stopStreaming_ = true;
    }
    wake_.notify_all();
    // From the streaming thread itself (a host callback): it ends at once;
    // the next Stop from another thread joins it.
    if (streamer_.get_id() == std::this_thread::get_id()) return;
    if (streamer_.joinable()) streamer_.join();
    running_ = false;
    source_->Stop();
  }
  // The published frame lies in our output buffer: withdrawn before anything
  // else may happen to it.
  filter_->Stop();
}

HRESULT CameraGraph::Stop() {
  std::lock_guard lock(mutex_);
  StopLocked();
  return S_OK;
}

HRESULT CameraGraph::SetZoomLocked(int32_t value) {
  if (!controller_) return E_FAIL;
  return controller_->SetCamera(kCameraZoom, value, kFlagsManual);
}

HRESULT CameraGraph::Zoom(int32_t up) {
  {
    std::lock_guard lock(mutex_);
    if (!built_) return E_FAIL;
    if ((!up && zoomValue_ == zoomMin_) || (up && zoomValue_ == zoomMax_)) return E_FAIL;
    // A camera without a zoom range (or a device whose table removed it).
    if (zoomMax_ < zoomMin_) return E_FAIL;
    zoomUp_ = up != 0;
    // Device class 7 doubles and halves: 100, 200, 400, 800.
    const int64_t step = device_.deviceClass == 7 ? (up ? zoomValue_ : zoomValue_ / 2) : zoomStep_;
    const int64_t wanted = up ? int64_t{zoomValue_} + step : int64_t{zoomValue_} - step;
    const auto value = static_cast<int32_t>(std::clamp<int64_t>(wanted, zoomMin_, zoomMax_));
    const HRESULT hr = SetZoomLocked(value);
    if (Failed(hr)) return hr;
    zoomValue_ = value;
  }
  if (host_.repaint) host_.repaint();
  return S_OK;
}

HRESULT CameraGraph::Focus(int32_t trigger) {
  std::lock_guard lock(mutex_);
  if (!built_ || !controller_) return E_FAIL;
  if (trigger == 0) return controller_->SetCamera(kCameraFocus, 1, kFlagsManual);
  if (OneOf(device_.deviceClass, {5, 12}) || device_.model == "ASUS ARIES") {
    return controller_->SetCamera(kCameraFocus, 2, kFlagsManual);
  }
  return controller_->SetCamera(kCameraFocus, 0, kFlagsAuto);
}

HRESULT CameraGraph::FocusMode(int32_t mode) {
  std::lock_guard lock(mutex_);
  if (!built_) return E_FAIL;
  return FocusModeLocked(mode);
}

HRESULT CameraGraph::FocusModeLocked(int32_t mode) {
  if (!controller_) return E_FAIL;
  CameraController& c = *controller_;
  if (mode != 1) return c.SetCamera(kCameraFocusMode, 2, kFlagsManual);
  int32_t value = 0, flags = 0;
  HRESULT hr = c.GetCamera(kCameraFocusMode, &value, &flags);
  if (Failed(hr)) return hr;
  if (value != 1) return c.SetCamera(kCameraFocusMode, 1, kFlagsManual);
  // Already on: pulse it so that the camera focuses again.
  hr = c.SetCamera(kCameraFocusMode, 2, kFlagsManual);
  if (!Failed(hr)) hr = c.SetCamera(kCameraFocusMode, 1, kFlagsManual);
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  if (!Failed(hr)) hr = c.SetCamera(kCameraFocusMode, 2, kFlagsManual);
  if (!Failed(hr)) hr = c.SetCamera(kCameraFocusMode, 1, kFlagsManual);
  return hr;
}

ZoomBar CameraGraph::ApplyZoomTable() {
  std::lock_guard lock(mutex_);
  const std::string& model = device_.model;
  const int32_t deviceClass = device_.deviceClass;
  // The device's own limits; the first row that matches.
  if (model == "ASUS P305") {
    zoomMax_ = 400;
  } else if (model == "HERM100" || deviceClass == 6) {
    zoomMax_ = 0;
  } else if (deviceClass == 5) {
    zoomMax_ = 250, zoomStep_ = 150, zoomMin_ = 100;
  } else if (deviceClass == 12) {
    zoomMax_ = 600, zoomStep_ = 100, zoomMin_ = 100;
  } else if (model == "ASUS ARIES") {
    zoomMax_ = 250, zoomStep_ = 50, zoomMin_ = 100;
  } else if (model == "LIBR100") {
    zoomMax_ = 400, zoomStep_ = 100, zoomMin_ = 100;
  } else if (deviceClass == 13) {
    zoomMax_ = 200, zoomStep_ = 20, zoomMin_ = 100;
  } else if (deviceClass == 7) {
    zoomMax_ = 800, zoomMin_ = 100;
  }
  ZoomBar bar;
  if (zoomStep_ == 0) {
    if (deviceClass == 6) bar.count = 1;
    return bar;
  }
  const int64_t span = int64_t{zoomMax_} - zoomMin_;
  // A camera that zooms in single units would make a bar of hundreds of steps.
  if (zoomStep_ == 1 && span > 5) zoomStep_ = static_cast<int32_t>(span / 5);
  if (deviceClass == 7) {
    bar.count = 3;
    bar.position = zoomValue_ == 200 ? 1 : zoomValue_ == 400 ? 2 : zoomValue_ == 800 ? 3 : 0;
  } else {
    // A device whose table leaves no range (zoomMax 0) has no bar.
    bar.count = static_cast<int32_t>(std::max<int64_t>(span / zoomStep_, 0));
    bar.position = static_cast<int32_t>((int64_t{zoomValue_} - zoomMin_) / zoomStep_);
  }
  bar.remembered = zoomValue_;
  return bar;
}

int32_t CameraGraph::zoomMax() const {
  std::lock_guard lock(mutex_);
  return zoomMax_;
}
int32_t CameraGraph::zoomMin() const {
  std::lock_guard lock(mutex_);
  return zoomMin_;
}
int32_t CameraGraph::zoomStep() const {
  std::lock_guard lock(mutex_);
  return zoomStep_;
}
int32_t CameraGraph::zoomValue() const {
  std::lock_guard lock(mutex_);
  return zoomValue_;
}
bool CameraGraph::built() const {
  std::lock_guard lock(mutex_);
  return built_;
}
bool CameraGraph::running() const { return running_; }
bool CameraGraph::useVideoWindow() const {
  std::lock_guard lock(mutex_);
  return useVideoWindow_;
}
CaptureFormat CameraGraph::captureFormat() const {
  std::lock_guard lock(mutex_);
  return source_ ? source_->Format() : CaptureFormat{};
}
std::string CameraGraph::lastError() const {
  std::lock_guard lock(mutex_);
  return lastError_;
}
StreamCounts CameraGraph::counts() const { return {frames_, transformFailures_, wrongSize_}; }

}  // namespace cordavex::camera
