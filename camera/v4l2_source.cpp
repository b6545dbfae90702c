#include "camera/v4l2_source.h"

#include <jpeglib.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "camera/camera_controller.h"

namespace cordavex::camera {

namespace {

// Sizes offered from a device that gives a range instead of a list: the ones
// a camera of the phone would have.
constexpr std::pair<uint32_t, uint32_t> kRangeSizes[] = {
    {640, 480}, {320, 240}, {240, 320}, {240, 180}, {176, 144}, {144, 176}, {160, 120}, {120, 160}};

constexpr int64_t kNominalTimePerFrame = kTicksPerSecond / 30;

std::string FourccText(uint32_t fourcc) {
  std::string text;
  for (int i = 0; i < 4; ++i) text.push_back(static_cast<char>((fourcc >> (8 * i)) & 0xFF));
  return text;
}

bool InRange(uint32_t value, uint32_t min, uint32_t max, uint32_t step) {
  return value >= min && value <= max && (step <= 1 || (value - min) % step == 0);
}

// libjpeg reports errors by calling error_exit, which must not return: it
// jumps back to the decoder with the message.
struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

// Warnings (a webcam's extra bytes before a marker) are not worth a line each.
void JpegQuiet(j_common_ptr) {}

// Kept free of objects with destructors between setjmp and longjmp.
bool DecodeJpeg(const uint8_t* data, size_t size, int32_t width, int32_t height, uint8_t* out, uint8_t* row,
                char* message) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = JpegErrorExit;
  error.manager.output_message = JpegQuiet;
  error.message[0] = '\0';
  if (setjmp(error.jump)) {
    std::memcpy(message, error.message, JMSG_LENGTH_MAX);
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
  jpeg_read_header(&info, TRUE);
  if (info.image_width != static_cast<JDIMENSION>(width) || info.image_height != static_cast<JDIMENSION>(height) ||
      info.num_components != 3) {
    std::snprintf(message, JMSG_LENGTH_MAX, "a %ux%u picture of %d components, not %dx%d colour",
                  info.image_width, info.image_height, info.num_components, width, height);
    jpeg_destroy_decompress(&info);
    return false;
  }
  // Straight to Y, Cb, Cr: no round trip through RGB.
  info.out_color_space = JCS_YCbCr;
  jpeg_start_decompress(&info);
  while (info.output_scanline < info.output_height) {
    const JDIMENSION line = info.output_scanline;
    JSAMPROW rows[1] = {row};
    if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
    uint8_t* o = out + static_cast<size_t>(line) * static_cast<size_t>(width) * 2;
    for (int32_t pair = 0; pair < width / 2; ++pair) {
      const uint8_t* a = row + 6 * pair;
      o[4 * pair] = a[0];
      o[4 * pair + 1] = static_cast<uint8_t>((a[1] + a[4] + 1) / 2);
      o[4 * pair + 2] = a[3];
      o[4 * pair + 3] = static_cast<uint8_t>((a[2] + a[5] + 1) / 2);
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

HRESULT HresultFromErrno(int error) {
  if (error == EINVAL || error == ERANGE) return filter::E_INVALIDARG;
  if (error == ENOTTY) return E_PROP_ID_UNSUPPORTED;
  constexpr uint32_t kErrorGenFailure = 31;
  return filter::HresultFromWin32(kErrorGenFailure);
}

// The device's own controls behind the camera-control and amplifier calls.
class V4l2Controller final : public CameraController {
 public:
  explicit V4l2Controller(VideoDevice* device) : device_(device) {}

  bool HasCameraControl() override {
    ControlRange range;
    return Query(V4L2_CID_ZOOM_ABSOLUTE, &range) == filter::S_OK ||
           Query(V4L2_CID_FOCUS_ABSOLUTE, &range) == filter::S_OK;
  }
  HRESULT GetCameraRange(int32_t property, ControlRange* range) override {
    if (range == nullptr) return filter::E_POINTER;
    const uint32_t id = CameraId(property);
    if (id == 0) return E_PROP_ID_UNSUPPORTED;
    return Query(id, range);
  }
  HRESULT GetCamera(int32_t property, int32_t* value, int32_t* flags) override {
    if (value == nullptr || flags == nullptr) return filter::E_POINTER;
    const uint32_t id = CameraId(property);
    if (id == 0) return E_PROP_ID_UNSUPPORTED;
    *flags = kFlagsManual;
    if (property == kCameraFocus) {
      int32_t automatic = 0;
      if (GetControl(V4L2_CID_FOCUS_AUTO, &automatic) == filter::S_OK && automatic != 0) *flags = kFlagsAuto;
    }
    return GetControl(id, value);
  }
  HRESULT SetCamera(int32_t property, int32_t value, int32_t flags) override {
    const uint32_t id = CameraId(property);
    if (id == 0) return E_PROP_ID_UNSUPPORTED;
    if (property == kCameraFocus) {
      const bool automatic = (flags & kFlagsAuto) != 0;
      const HRESULT hr = SetControl(V4L2_CID_FOCUS_AUTO, automatic ? 1 : 0);
      if (automatic) return hr;
    }
    return SetControl(id, value);
  }
  bool HasProcAmp() override {
    ControlRange range;
    return Query(V4L2_CID_BRIGHTNESS, &range) == filter::S_OK;
  }
  HRESULT GetProcAmp(int32_t property, int32_t* value, int32_t* flags) override {
    if (value == nullptr || flags == nullptr) return filter::E_POINTER;
    const uint32_t id = ProcAmpId(property);
    if (id == 0) return E_PROP_ID_UNSUPPORTED;
    *flags = kFlagsManual;
    return GetControl(id, value);
  }
  HRESULT SetProcAmp(int32_t property, int32_t value, int32_t flags) override {
    const uint32_t id = ProcAmpId(property);
    if (id == 0) return E_PROP_ID_UNSUPPORTED;
    if (property == kWhiteBalance) {
      const bool automatic = (flags & kFlagsAuto) != 0;
      const HRESULT hr = SetControl(V4L2_CID_AUTO_WHITE_BALANCE, automatic ? 1 : 0);
      if (automatic) return hr;
    }
    return SetControl(id, value);
  }

 private:
  static uint32_t CameraId(int32_t property) {
    switch (property) {
      case kCameraZoom: return V4L2_CID_ZOOM_ABSOLUTE;
      case kCameraFocus: return V4L2_CID_FOCUS_ABSOLUTE;
      case kCameraPan: return V4L2_CID_PAN_ABSOLUTE;
      case kCameraTilt: return V4L2_CID_TILT_ABSOLUTE;
      case kCameraExposure: return V4L2_CID_EXPOSURE_ABSOLUTE;
      case kCameraIris: return V4L2_CID_IRIS_ABSOLUTE;
      default: return 0;  // roll and the vendor focus mode have no V4L2 control
    }
  }
  static uint32_t ProcAmpId(int32_t property) {
    switch (property) {
      case kBrightness: return V4L2_CID_BRIGHTNESS;
      case kContrast: return V4L2_CID_CONTRAST;
      case kHue: return V4L2_CID_HUE;
      case kSaturation: return V4L2_CID_SATURATION;
      case kSharpness: return V4L2_CID_SHARPNESS;
      case kGamma: return V4L2_CID_GAMMA;
      case kWhiteBalance: return V4L2_CID_WHITE_BALANCE_TEMPERATURE;
      case kBacklightCompensation: return V4L2_CID_BACKLIGHT_COMPENSATION;
      case kGain: return V4L2_CID_GAIN;
      default: return 0;
    }
  }
  HRESULT Query(uint32_t id, ControlRange* range) {
    v4l2_queryctrl query{};
    query.id = id;
    int error = 0;
    if (device_->Ioctl(VIDIOC_QUERYCTRL, &query, &error) < 0) {
      return error == EINVAL ? E_PROP_ID_UNSUPPORTED : HresultFromErrno(error);
    }
    if ((query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) return E_PROP_ID_UNSUPPORTED;
    range->min = query.minimum;
    range->max = query.maximum;
    range->step = query.step;
    range->defaultValue = query.default_value;
    range->flags = kFlagsManual;
    return filter::S_OK;
  }
  HRESULT GetControl(uint32_t id, int32_t* value) {
    v4l2_control control{};
    control.id = id;
    int error = 0;
    // Reading a control the device lacks is refused as an invalid argument.
    if (device_->Ioctl(VIDIOC_G_CTRL, &control, &error) < 0) {
      return error == EINVAL ? E_PROP_ID_UNSUPPORTED : HresultFromErrno(error);
    }
    *value = control.value;
    return filter::S_OK;
  }
  HRESULT SetControl(uint32_t id, int32_t value) {
    v4l2_control control{};
    control.id = id;
    control.value = value;
    int error = 0;
    if (device_->Ioctl(VIDIOC_S_CTRL, &control, &error) < 0) return HresultFromErrno(error);
    return filter::S_OK;
  }

  VideoDevice* device_;
};

}  // namespace

bool DecodeMjpegToYuy2(const uint8_t* data, size_t size, int32_t width, int32_t height, uint8_t* out,
                       std::vector<uint8_t>& row, std::string* error) {
  if (data == nullptr || size < 4 || data[0] != 0xFF || data[1] != 0xD8) {
    *error = "not a JPEG picture";
    return false;
  }
  row.resize(static_cast<size_t>(width) * 3);
  char message[JMSG_LENGTH_MAX] = {};
  if (!DecodeJpeg(data, size, width, height, out, row.data(), message)) {
    *error = message;
    return false;
  }
  return true;
}

V4l2Source::V4l2Source(std::string path, std::unique_ptr<VideoDevice> device)
    : path_(std::move(path)), device_(std::move(device)) {}

V4l2Source::~V4l2Source() {
  Stop();
  if (open_) device_->Close();
}

platform::Status V4l2Source::DeviceError(const std::string& what, int error) const {
  std::string text = Name() + ": " + what + ": " + std::strerror(error);
  if (error == EACCES || error == EPERM) text += " (is the user in the video group?)";
  if (error == ENOENT || error == ENODEV || error == ENXIO) return platform::Status::NotFound(text);
  return platform::Status::IoError(text);
}

platform::Status V4l2Source::Open() {
  int error = 0;
  if (device_->Open(path_, &error) < 0) return DeviceError("cannot open the device", error);
  open_ = true;
  v4l2_capability capability{};
  if (device_->Ioctl(VIDIOC_QUERYCAP, &capability, &error) < 0) {
    return DeviceError("not a V4L2 device", error);
  }
  const uint32_t caps = (capability.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? capability.device_caps
                                                                                : capability.capabilities;
  if ((caps & V4L2_CAP_VIDEO_CAPTURE) == 0) {
    return platform::Status::InvalidArgument(Name() + ": the device does not capture video");
  }
  if ((caps & V4L2_CAP_STREAMING) == 0) {
    return platform::Status::InvalidArgument(Name() + ": the device cannot stream through mapped buffers");
  }

  formats_.clear();
  for (uint32_t index = 0; index < 64; ++index) {
    v4l2_fmtdesc description{};
    description.index = index;
    description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (device_->Ioctl(VIDIOC_ENUM_FMT, &description, &error) < 0) {
      if (error == EINVAL) break;  // the end of the list
      return DeviceError("listing the pixel formats failed", error);
    }
    const uint32_t pixel = description.pixelformat;
    if (pixel != V4L2_PIX_FMT_YUYV && pixel != V4L2_PIX_FMT_MJPEG) continue;
    const uint32_t fourcc = pixel == V4L2_PIX_FMT_YUYV ? kFourccYuyv : kFourccMjpeg;
    auto add = [&](uint32_t width, uint32_t height) {
      if (width == 0 || height == 0 || width % 2 != 0 || width > kMaxSourceSide || height > kMaxSourceSide) return;
      formats_.push_back({static_cast<int32_t>(width), static_cast<int32_t>(height), fourcc, kNominalTimePerFrame});
    };
    for (uint32_t sizeIndex = 0; sizeIndex < 256; ++sizeIndex) {
      v4l2_frmsizeenum size{};
      size.index = sizeIndex;
      size.pixel_format = pixel;
      if (device_->Ioctl(VIDIOC_ENUM_FRAMESIZES, &size, &error) < 0) break;
      if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
        add(size.discrete.width, size.discrete.height);
      } else {
        const v4l2_frmsize_stepwise& range = size.stepwise;
        for (const auto& [width, height] : kRangeSizes) {
          if (InRange(width, range.min_width, range.max_width, range.step_width) &&
              InRange(height, range.min_height, range.max_height, range.step_height)) {
            add(width, height);
          }
        }
        break;  // a range is the only entry
      }
    }
  }
  if (formats_.empty()) {
    return platform::Status::InvalidArgument(Name() + ": the device offers no YUYV or MJPEG frame size");
  }
  format_ = formats_.front();
  formatApplied_ = false;
  return platform::Status::Ok();
}

platform::Status V4l2Source::Apply(const CaptureFormat& format) {
  v4l2_format request{};
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.fmt.pix.width = static_cast<uint32_t>(format.width);
  request.fmt.pix.height = static_cast<uint32_t>(format.height);
  request.fmt.pix.pixelformat = format.fourcc == kFourccYuyv ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_MJPEG;
  request.fmt.pix.field = V4L2_FIELD_ANY;
  int error = 0;
  if (device_->Ioctl(VIDIOC_S_FMT, &request, &error) < 0) {
    return DeviceError("setting " + Describe(format) + " failed", error);
  }
  // Drivers adjust what they cannot do: only the very format asked for will do.
  const v4l2_pix_format& got = request.fmt.pix;
  if (got.width != static_cast<uint32_t>(format.width) || got.height != static_cast<uint32_t>(format.height) ||
      got.pixelformat != (format.fourcc == kFourccYuyv ? V4L2_PIX_FMT_YUYV : V4L2_PIX_FMT_MJPEG)) {
    return platform::Status::InvalidArgument(Name() + ": asked for " + Describe(format) + ", the driver gave " +
                                             std::to_string(got.width) + "x" + std::to_string(got.height) + " " +
                                             FourccText(got.pixelformat));
  }
  bytesPerLine_ = std::max<uint32_t>(got.bytesperline, static_cast<uint32_t>(format.width) * 2);
  format_ = format;
  formatApplied_ = true;
  return platform::Status::Ok();
}

platform::Status V4l2Source::SetFormat(const CaptureFormat& format) {
  if (!open_) return platform::Status::InvalidArgument(Name() + ": not open");
  if (streaming_) return platform::Status::InvalidArgument(Name() + ": the format cannot change while streaming");
  if (std::find(formats_.begin(), formats_.end(), format) == formats_.end()) {
    return platform::Status::InvalidArgument(Name() + ": " + Describe(format) + " is not one of the device's formats");
  }
  return Apply(format);
}

platform::Status V4l2Source::Start() {
  if (!open_) return platform::Status::InvalidArgument(Name() + ": not open");
  if (streaming_) return platform::Status::Ok();
  if (!formatApplied_) {
    platform::Status status = Apply(format_);
    if (!status.ok()) return status;
  }
  int error = 0;
  v4l2_requestbuffers request{};
  request.count = kBufferCount;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  if (device_->Ioctl(VIDIOC_REQBUFS, &request, &error) < 0) {
    return DeviceError("asking for mapped buffers failed", error);
  }
  if (request.count < 2) {
    ReleaseBuffers();
    return platform::Status::IoError(Name() + ": the driver gave " + std::to_string(request.count) +
                                     " buffer(s); streaming needs two");
  }
  for (uint32_t index = 0; index < request.count; ++index) {
    v4l2_buffer buffer{};
    buffer.index = index;
    buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    buffer.memory = V4L2_MEMORY_MMAP;
    if (device_->Ioctl(VIDIOC_QUERYBUF, &buffer, &error) < 0) {
      ReleaseBuffers();
      return DeviceError("querying buffer " + std::to_string(index) + " failed", error);
    }
    void* address = device_->Map(buffer.length, buffer.m.offset, &error);
    if (address == nullptr) {
      ReleaseBuffers();
      return DeviceError("mapping buffer " + std::to_string(index) + " failed", error);
    }
    buffers_.push_back({address, buffer.length});
    if (device_->Ioctl(VIDIOC_QBUF, &buffer, &error) < 0) {
      ReleaseBuffers();
      return DeviceError("queueing buffer " + std::to_string(index) + " failed", error);
    }
  }
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  if (device_->Ioctl(VIDIOC_STREAMON, &type, &error) < 0) {
    ReleaseBuffers();
    return DeviceError("starting the stream failed", error);
  }
  streaming_ = true;
  haveFirstTime_ = false;
  sequence_ = 0;
  skipped_ = 0;
  return platform::Status::Ok();
}

ReadResult V4l2Source::Read(CameraFrame& frame, std::chrono::milliseconds timeout) {
  if (!streaming_) return ReadResult::Failed(platform::Status::InvalidArgument(Name() + ": not streaming"));
  int error = 0;
  const int ready = device_->WaitReadable(static_cast<int>(std::clamp<int64_t>(timeout.count(), 0, 60'000)), &error);
  if (ready < 0) return ReadResult::Failed(DeviceError("waiting for a frame failed", error));
  if (ready == 0) return ReadResult::TimedOut();
  v4l2_buffer buffer{};
  buffer.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  buffer.memory = V4L2_MEMORY_MMAP;
  if (device_->Ioctl(VIDIOC_DQBUF, &buffer, &error) < 0) {
    if (error == EAGAIN) return ReadResult::TimedOut();
    return ReadResult::Failed(DeviceError("taking a frame failed", error));
  }
  if (buffer.index >= buffers_.size()) {
    return ReadResult::Failed(platform::Status::IoError(Name() + ": the driver returned an unknown buffer " +
                                                        std::to_string(buffer.index)));
  }
  const Buffer& mapped = buffers_[buffer.index];
  const auto* bytes = static_cast<const uint8_t*>(mapped.address);
  const size_t used = std::min<size_t>(buffer.bytesused, mapped.length);
  const int32_t w = format_.width, h = format_.height;
  frame.yuy2.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 2);
  bool good = (buffer.flags & V4L2_BUF_FLAG_ERROR) == 0;
  if (good && format_.fourcc == kFourccYuyv) {
    const size_t rowBytes = static_cast<size_t>(w) * 2;
    good = used >= static_cast<size_t>(bytesPerLine_) * static_cast<size_t>(h - 1) + rowBytes;
    for (int32_t row = 0; good && row < h; ++row) {
      std::memcpy(frame.yuy2.data() + static_cast<size_t>(row) * rowBytes,
                  bytes + static_cast<size_t>(row) * bytesPerLine_, rowBytes);
    }
  } else if (good) {
    std::string ignored;
    good = DecodeMjpegToYuy2(bytes, used, w, h, frame.yuy2.data(), jpegRow_, &ignored);
  }
  const int64_t time = int64_t{buffer.timestamp.tv_sec} * kTicksPerSecond + int64_t{buffer.timestamp.tv_usec} * 10;
  if (device_->Ioctl(VIDIOC_QBUF, &buffer, &error) < 0) {
    return ReadResult::Failed(DeviceError("giving a buffer back failed", error));
  }
  if (!good) {
    ++skipped_;
    return ReadResult::TimedOut();
  }
  if (!haveFirstTime_) {
    firstTime_ = time;
    haveFirstTime_ = true;
  }
  frame.width = w;
  frame.height = h;
  frame.timestamp = time - firstTime_;
  frame.sequence = sequence_++;
  return ReadResult::Frame();
}

void V4l2Source::ReleaseBuffers() {
  for (const Buffer& buffer : buffers_) device_->Unmap(buffer.address, buffer.length);
  buffers_.clear();
  v4l2_requestbuffers request{};
  request.count = 0;
  request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  request.memory = V4L2_MEMORY_MMAP;
  int error = 0;
  device_->Ioctl(VIDIOC_REQBUFS, &request, &error);
}

void V4l2Source::Stop() {
  if (!streaming_) return;
  int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
  int error = 0;
  device_->Ioctl(VIDIOC_STREAMOFF, &type, &error);
  ReleaseBuffers();
  streaming_ = false;
}

std::unique_ptr<CameraController> V4l2Source::MakeController() {
  return std::make_unique<V4l2Controller>(device_.get());
}

}  // namespace cordavex::camera
