#include "camera/browser_source.h"

namespace cordavex::camera {

FrameMailbox::FrameMailbox(size_t capacity) : capacity_(capacity > 0 ? capacity : 1) {}

bool FrameMailbox::Post(const Picture& picture) {
  const int32_t bytesPerPixel = picture.layout == PictureLayout::kGrey ? 1
                                : picture.layout == PictureLayout::kBgr ? 3
                                                                        : 4;
  if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0 ||
      picture.width > kMaxSourceSide || picture.height > kMaxSourceSide ||
      picture.stride < picture.width * bytesPerPixel) {
    return false;
  }
  std::vector<uint8_t> frame;
  {
    std::lock_guard lock(mutex_);
    if (!spare_.empty()) {
      frame = std::move(spare_.back());
      spare_.pop_back();
    }
  }
  frame.resize(static_cast<size_t>(kFrameWidth) * kFrameHeight * 2);
  FitPictureToYuy2(picture, kFrameWidth, kFrameHeight, frame);
  {
    std::lock_guard lock(mutex_);
    if (frames_.size() >= capacity_) {
      spare_.push_back(std::move(frames_.front()));
      frames_.pop_front();
      ++dropped_;
    }
    frames_.push_back(std::move(frame));
    ++posted_;
  }
  ready_.notify_one();
  return true;
}

bool FrameMailbox::Take(CameraFrame& frame, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  ready_.wait_for(lock, timeout, [&] { return !frames_.empty() || interrupted_; });
  if (interrupted_) {
    interrupted_ = false;
    return false;
  }
  if (frames_.empty()) return false;
  // The frame's buffer goes to the reader; the reader's old one becomes a spare.
  std::vector<uint8_t> old = std::move(frame.yuy2);
  frame.yuy2 = std::move(frames_.front());
  frames_.pop_front();
  if (old.capacity() > 0 && spare_.size() < capacity_) spare_.push_back(std::move(old));
  frame.width = kFrameWidth;
  frame.height = kFrameHeight;
  return true;
}

void FrameMailbox::Interrupt() {
  {
    std::lock_guard lock(mutex_);
    interrupted_ = true;
  }
  ready_.notify_all();
}

void FrameMailbox::Clear() {
  std::lock_guard lock(mutex_);
  while (!frames_.empty()) {
    spare_.push_back(std::move(frames_.front()));
    frames_.pop_front();
  }
  interrupted_ = false;
}

int64_t FrameMailbox::posted() const {
  std::lock_guard lock(mutex_);
  return posted_;
}

int64_t FrameMailbox::dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

BrowserSource::BrowserSource(std::shared_ptr<FrameMailbox> mailbox) : mailbox_(std::move(mailbox)) {}

platform::Status BrowserSource::Open() {
  if (!mailbox_) {
    return platform::Status::NotFound("browser: no web front end posts camera frames (use --ui web)");
  }
  return platform::Status::Ok();
}

std::vector<CaptureFormat> BrowserSource::Formats() const {
  if (!mailbox_) return {};
  return {format_};
}

platform::Status BrowserSource::SetFormat(const CaptureFormat& format) {
  if (!(format == format_)) {
    return platform::Status::InvalidArgument("browser: delivers " + Describe(format_) + " only, not " +
                                             Describe(format));
  }
  return platform::Status::Ok();
}

platform::Status BrowserSource::Start() {
  if (!mailbox_) return platform::Status::InvalidArgument("browser: not open");
  mailbox_->Clear();
  started_ = std::chrono::steady_clock::now();
  sequence_ = 0;
  return platform::Status::Ok();
}

ReadResult BrowserSource::Read(CameraFrame& frame, std::chrono::milliseconds timeout) {
  if (!mailbox_) return ReadResult::Failed(platform::Status::InvalidArgument("browser: not open"));
  if (!mailbox_->Take(frame, timeout)) return ReadResult::TimedOut();
  // Pushed frames carry the time they were read, as a live camera's do.
  const auto elapsed = std::chrono::steady_clock::now() - started_;
  frame.timestamp = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count() / 100;
  frame.sequence = sequence_++;
  return ReadResult::Frame();
}

void BrowserSource::Stop() {
  if (mailbox_) mailbox_->Interrupt();
}

}  // namespace cordavex::camera
