// A recorded V4L2 camera for the V4L2 source's tests: it answers the requests
// the source makes as a webcam's driver does — capabilities, its pixel formats
// and frame sizes, format setting (with the driver's own row padding, or an
// adjusted size), mapped buffers, queueing, streaming, controls — and plays
// back recorded frames. Every request is logged by name; any request can be
// made to fail with an errno value.
//
// Safe from any thread (the controls may be used while frames stream).
#pragma once

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "camera/video_device.h"

namespace cordavex::test {

class RecordedVideoDevice : public camera::VideoDevice {
 public:
  struct Format {
    uint32_t pixelformat;
    std::vector<std::pair<uint32_t, uint32_t>> sizes;  // discrete sizes
    bool stepwise = false;                              // then min, max, step below
    v4l2_frmsize_stepwise range{};
  };
  struct RecordedFrame {
    std::vector<uint8_t> bytes;
    uint32_t flags = 0;       // V4L2_BUF_FLAG_ERROR for a damaged frame
    int64_t microseconds = 0;  // driver time
  };

  // What the camera is.
  uint32_t capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
  std::vector<Format> formats;
  uint32_t padding = 0;           // bytes the driver adds to every row
  int adjustWidth = 0;            // a driver that cannot do the size asked gives this much more
  uint32_t grantedBuffers = 4;
  std::map<uint32_t, v4l2_queryctrl> controls;  // by id
  // Failures: the errno a request fails with.
  int openError = 0;
  std::map<unsigned long, int> failures;
  int waitError = 0;

  void Record(RecordedFrame frame) {
    std::lock_guard lock(mutex_);
    frames_.push_back(std::move(frame));
  }
  std::vector<std::string> log() const {
    std::lock_guard lock(mutex_);
    return log_;
  }
  std::map<uint32_t, int32_t> values() const {
    std::lock_guard lock(mutex_);
    return values_;
  }
  v4l2_pix_format format() const {
    std::lock_guard lock(mutex_);
    return format_;
  }
  size_t mapped() const {
    std::lock_guard lock(mutex_);
    return mapped_;
  }

  int Open(const std::string& path, int* error) override {
    std::lock_guard lock(mutex_);
    log_.push_back("open " + path);
    if (openError != 0) {
      *error = openError;
      return -1;
    }
    return 0;
  }
  void Close() override {
    std::lock_guard lock(mutex_);
    log_.push_back("close");
  }

  int Ioctl(unsigned long request, void* argument, int* error) override {
    std::lock_guard lock(mutex_);
    log_.push_back(Name(request));
    const auto failing = failures.find(request);
    if (failing != failures.end()) {
      *error = failing->second;
      return -1;
    }
    const int result = Answer(request, argument);
    if (result < 0) *error = errno_;
    return result;
  }

  void* Map(size_t length, int64_t offset, int* error) override {
    std::lock_guard lock(mutex_);
    const size_t index = static_cast<size_t>(offset / kOffsetStep);
    if (offset % kOffsetStep != 0 || index >= buffers_.size() || length != buffers_[index].size()) {
      *error = EINVAL;
      return nullptr;
    }
    ++mapped_;
    return buffers_[index].data();
  }
  void Unmap(void*, size_t) override {
    std::lock_guard lock(mutex_);
    --mapped_;
  }
  int WaitReadable(int, int* error) override {
    std::lock_guard lock(mutex_);
    if (waitError != 0) {
      *error = waitError;
      return -1;
    }
    return streaming_ && !frames_.empty() && !queued_.empty() ? 1 : 0;
  }

 private:
  static constexpr int64_t kOffsetStep = 0x10000;

  static std::string Name(unsigned long request) {
    switch (request) {
      case VIDIOC_QUERYCAP: return "QUERYCAP";
      case VIDIOC_ENUM_FMT: return "ENUM_FMT";
      case VIDIOC_ENUM_FRAMESIZES: return "ENUM_FRAMESIZES";
      case VIDIOC_S_FMT: return "S_FMT";
      case VIDIOC_REQBUFS: return "REQBUFS";
      case VIDIOC_QUERYBUF: return "QUERYBUF";
      case VIDIOC_QBUF: return "QBUF";
      case VIDIOC_DQBUF: return "DQBUF";
      case VIDIOC_STREAMON: return "STREAMON";
      case VIDIOC_STREAMOFF: return "STREAMOFF";
      case VIDIOC_QUERYCTRL: return "QUERYCTRL";
      case VIDIOC_G_CTRL: return "G_CTRL";
      case VIDIOC_S_CTRL: return "S_CTRL";
      default: return "?";
    }
  }

  int Refuse(int error) {
    errno_ = error;
    return -1;
  }

  int Answer(unsigned long request, void* argument) {
    switch (request) {
      case VIDIOC_QUERYCAP: {
        auto* cap = static_cast<v4l2_capability*>(argument);
        std::memset(cap, 0, sizeof *cap);
        std::strcpy(reinterpret_cast<char*>(cap->driver), "recorded");
        cap->capabilities = capabilities | V4L2_CAP_DEVICE_CAPS;
        cap->device_caps = capabilities;
        return 0;
      }
      case VIDIOC_ENUM_FMT: {
        auto* description = static_cast<v4l2_fmtdesc*>(argument);
        if (description->type != V4L2_BUF_TYPE_VIDEO_CAPTURE || description->index >= formats.size()) {
          return Refuse(EINVAL);
        }
        description->pixelformat = formats[description->index].pixelformat;
        return 0;
      }
      case VIDIOC_ENUM_FRAMESIZES: {
        auto* size = static_cast<v4l2_frmsizeenum*>(argument);
        for (const Format& f : formats) {
          if (f.pixelformat != size->pixel_format) continue;
          if (f.stepwise) {
            if (size->index != 0) return Refuse(EINVAL);
            size->type = V4L2_FRMSIZE_TYPE_STEPWISE;
            size->stepwise = f.range;
            return 0;
          }
          if (size->index >= f.sizes.size()) return Refuse(EINVAL);
          size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
          size->discrete.width = f.sizes[size->index].first;
          size->discrete.height = f.sizes[size->index].second;
          return 0;
        }
        return Refuse(EINVAL);
      }
      case VIDIOC_S_FMT: {
        auto* f = static_cast<v4l2_format*>(argument);
        if (streaming_ || !buffers_.empty()) return Refuse(EBUSY);
        v4l2_pix_format& pix = f->fmt.pix;
        pix.width += static_cast<uint32_t>(adjustWidth);
        pix.field = V4L2_FIELD_NONE;
        const bool yuyv = pix.pixelformat == V4L2_PIX_FMT_YUYV;
        pix.bytesperline = yuyv ? pix.width * 2 + padding : 0;
        pix.sizeimage = yuyv ? pix.bytesperline * pix.height : pix.width * pix.height * 2;
        format_ = pix;
        return 0;
      }
      case VIDIOC_REQBUFS: {
        auto* r = static_cast<v4l2_requestbuffers*>(argument);
        if (r->memory != V4L2_MEMORY_MMAP) return Refuse(EINVAL);
        if (r->count == 0) {
          if (mapped_ != 0) return Refuse(EBUSY);
          buffers_.clear();
          queued_.clear();
          return 0;
        }
        r->count = std::min(r->count, grantedBuffers);
        buffers_.assign(r->count, std::vector<uint8_t>(format_.sizeimage));
        return 0;
      }
      case VIDIOC_QUERYBUF: {
        auto* b = static_cast<v4l2_buffer*>(argument);
        if (b->index >= buffers_.size()) return Refuse(EINVAL);
        b->length = static_cast<uint32_t>(buffers_[b->index].size());
        b->m.offset = static_cast<uint32_t>(b->index * kOffsetStep);
        return 0;
      }
      case VIDIOC_QBUF: {
        auto* b = static_cast<v4l2_buffer*>(argument);
        if (b->index >= buffers_.size()) return Refuse(EINVAL);
        queued_.push_back(b->index);
        return 0;
      }
      case VIDIOC_DQBUF: {
        auto* b = static_cast<v4l2_buffer*>(argument);
        if (!streaming_) return Refuse(EINVAL);
        if (frames_.empty() || queued_.empty()) return Refuse(EAGAIN);
        const RecordedFrame frame = std::move(frames_.front());
        frames_.pop_front();
        b->index = queued_.front();
        queued_.pop_front();
        std::vector<uint8_t>& buffer = buffers_[b->index];
        const size_t n = std::min(buffer.size(), frame.bytes.size());
        std::memcpy(buffer.data(), frame.bytes.data(), n);
        b->bytesused = static_cast<uint32_t>(n);
        b->flags = frame.flags;
        b->timestamp.tv_sec = frame.microseconds / 1'000'000;
        b->timestamp.tv_usec = frame.microseconds % 1'000'000;
        return 0;
      }
      case VIDIOC_STREAMON:
        if (queued_.empty()) return Refuse(EINVAL);
        streaming_ = true;
        return 0;
      case VIDIOC_STREAMOFF:
        streaming_ = false;
        queued_.clear();
        return 0;
      case VIDIOC_QUERYCTRL: {
        auto* query = static_cast<v4l2_queryctrl*>(argument);
        const auto it = controls.find(query->id);
        if (it == controls.end()) return Refuse(EINVAL);
        *query = it->second;
        return 0;
      }
      case VIDIOC_G_CTRL: {
        auto* control = static_cast<v4l2_control*>(argument);
        const auto it = controls.find(control->id);
        if (it == controls.end()) return Refuse(EINVAL);
        const auto value = values_.find(control->id);
        control->value = value != values_.end() ? value->second : it->second.default_value;
        return 0;
      }
      case VIDIOC_S_CTRL: {
        auto* control = static_cast<v4l2_control*>(argument);
        const auto it = controls.find(control->id);
        if (it == controls.end()) return Refuse(EINVAL);
        if (control->value < it->second.minimum || control->value > it->second.maximum) return Refuse(ERANGE);
        values_[control->id] = control->value;
        return 0;
      }
      default:
        return Refuse(ENOTTY);
    }
  }

  mutable std::mutex mutex_;
  std::vector<std::string> log_;
  std::deque<RecordedFrame> frames_;
  std::vector<std::vector<uint8_t>> buffers_;
  std::deque<uint32_t> queued_;
  std::map<uint32_t, int32_t> values_;
  v4l2_pix_format format_{};
  size_t mapped_ = 0;
  bool streaming_ = false;
  int errno_ = 0;
};

}  // namespace cordavex::test
