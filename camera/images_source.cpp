#include "camera/images_source.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "camera/yuv_convert.h"
#include "cli/image_io.h"

namespace cordavex::camera {

namespace {

bool IsPictureName(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".png" || extension == ".jpg" || extension == ".jpeg" || extension == ".pgm" ||
         extension == ".ppm";
}

}  // namespace

ImagesSource::ImagesSource(std::string folder, int framesPerImage)
    : folder_(std::move(folder)), framesPerImage_(std::max(framesPerImage, 1)) {}

platform::Status ImagesSource::Open() {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(folder_, error)) {
    return platform::Status::NotFound(Name() + ": " + folder_ + " is not a folder");
  }
  files_.clear();
  fs::directory_iterator it(folder_, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    std::error_code kindError;
    if (it->is_regular_file(kindError) && IsPictureName(it->path())) files_.push_back(it->path().string());
  }
  if (error) return platform::Status::IoError(Name() + ": cannot list " + folder_ + ": " + error.message());
  if (files_.empty()) {
    return platform::Status::NotFound(Name() + ": " + folder_ + " holds no PNG, JPEG, PGM or PPM files");
  }
  std::sort(files_.begin(), files_.end());
  open_ = true;
  return platform::Status::Ok();
}

std::vector<CaptureFormat> ImagesSource::Formats() const {
  if (!open_) return {};
  return {format_};
}

platform::Status ImagesSource::SetFormat(const CaptureFormat& format) {
  if (!(format == format_)) {
    return platform::Status::InvalidArgument(Name() + ": delivers " + Describe(format_) + " only, not " +
                                             Describe(format));
  }
  return platform::Status::Ok();
}

platform::Status ImagesSource::Start() {
  if (!open_) return platform::Status::InvalidArgument(Name() + ": not open");
  next_ = 0;
  shown_ = 0;
  sequence_ = 0;
  current_.clear();
  return platform::Status::Ok();
}

ReadResult ImagesSource::Read(CameraFrame& frame, std::chrono::milliseconds) {
  if (!open_) return ReadResult::Failed(platform::Status::InvalidArgument(Name() + ": not open"));
  if (current_.empty() || shown_ >= framesPerImage_) {
    if (!current_.empty()) ++next_;
    if (next_ >= files_.size()) {
      return ReadResult::End(Name() + ": shown all " + std::to_string(files_.size()) + " pictures");
    }
    const std::string& path = files_[next_];
    cli::Image image;
    std::string error;
    if (!cli::ReadImage(path, image, error)) {
      std::error_code exists;
      const bool vanished = !std::filesystem::exists(path, exists);
      const std::string text = Name() + ": " + path + (vanished ? ": the file has vanished" : ": " + error);
      current_.clear();
      return ReadResult::Failed(vanished ? platform::Status::NotFound(text) : platform::Status::IoError(text));
    }
    Picture picture;
    picture.pixels = image.pixels.data();
    picture.width = image.width;
    picture.height = image.height;
    picture.layout = image.bitsPerPixel == 8 ? PictureLayout::kGrey : PictureLayout::kBgr;
    picture.stride = image.width * (image.bitsPerPixel / 8);
    current_.resize(static_cast<size_t>(kFrameWidth) * kFrameHeight * 2);
    FitPictureToYuy2(picture, kFrameWidth, kFrameHeight, current_);
    shown_ = 0;
  }
  frame.width = kFrameWidth;
  frame.height = kFrameHeight;
  frame.yuy2 = current_;  // same size every frame: the buffer is reused
  frame.sequence = sequence_;
  frame.timestamp = sequence_ * format_.timePerFrame;
  ++sequence_;
  ++shown_;
  return ReadResult::Frame();
}

}  // namespace cordavex::camera
