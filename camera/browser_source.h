// Frames pushed from outside as a frame source: "browser". The web front end
// posts the browser's webcam pictures into a FrameMailbox; the BrowserSource
// of each capture start reads them from it. Every posted picture is fitted
// into a 320 × 240 YUY2 frame when it is posted.
//
// The mailbox holds at most `capacity` frames: a camera shows what is in front
// of it now, so when the reader falls behind the oldest waiting frame is
// dropped (and counted), never the newest.
//
// Threads: FrameMailbox is safe from any thread. It outlives the sources made
// on it (they share it).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "camera/frame_source.h"
#include "camera/yuv_convert.h"

namespace cordavex::camera {

class FrameMailbox {
 public:
  static constexpr int32_t kFrameWidth = 320;
  static constexpr int32_t kFrameHeight = 240;

  explicit FrameMailbox(size_t capacity = 3);

  // Posts one picture; false (nothing posted) when its size or stride is
  // unusable. The picture is converted before the call returns.
  bool Post(const Picture& picture);
  // Waits at most `timeout` for a posted frame; false when none came or
  // Interrupt was called.
  bool Take(CameraFrame& frame, std::chrono::milliseconds timeout);
  // Wakes a waiting Take; the next Take waits again.
  void Interrupt();
  // Drops every waiting frame (a new capture start sees only new pictures).
  void Clear();

  int64_t posted() const;
  int64_t dropped() const;

 private:
  const size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<std::vector<uint8_t>> frames_;
  std::vector<std::vector<uint8_t>> spare_;  // buffers of taken frames, reused by Post
  bool interrupted_ = false;
  int64_t posted_ = 0;
  int64_t dropped_ = 0;
};

class BrowserSource : public FrameSource {
 public:
  // A null mailbox: Open reports that nothing posts frames.
  explicit BrowserSource(std::shared_ptr<FrameMailbox> mailbox);

  std::string Name() const override { return "browser"; }
  platform::Status Open() override;
  std::vector<CaptureFormat> Formats() const override;
  platform::Status SetFormat(const CaptureFormat& format) override;
  CaptureFormat Format() const override { return format_; }
  platform::Status Start() override;
  ReadResult Read(CameraFrame& frame, std::chrono::milliseconds timeout) override;
  void Stop() override;
  bool Live() const override { return true; }

 private:
  std::shared_ptr<FrameMailbox> mailbox_;
  CaptureFormat format_{FrameMailbox::kFrameWidth, FrameMailbox::kFrameHeight, kFourccYuyv,
                        kTicksPerSecond / 15};
  std::chrono::steady_clock::time_point started_;
  int64_t sequence_ = 0;
};

}  // namespace cordavex::camera
