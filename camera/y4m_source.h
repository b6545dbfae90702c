// YUV4MPEG2 files as a frame source: "y4m:FILE", and the bundled clip (the
// same reader, looping). 8-bit 4:2:0 (any chroma siting), 4:2:2, 4:4:4 and
// mono files are converted to YUY2; anything else is refused when the file is
// opened, with a message that says why.
//
// The header is parsed strictly: the signature, single spaces between
// parameters, positive decimal sizes up to kMaxSourceSide with an even width,
// ratios as N:D, known parameter letters only, and a bounded header length.
// Frame headers are bounded too, and a file that ends inside a frame is an
// error, not an end of stream.
//
// Threads: as FrameSource.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "camera/frame_source.h"

namespace cordavex::camera {

class Y4mSource : public FrameSource {
 public:
  // `name` is how the source is reported ("y4m:FILE", "clip"). A looping
  // source starts again at the first frame after the last, with timestamps
  // running on.
  Y4mSource(std::string path, bool loop, std::string name);
  ~Y4mSource() override;
  Y4mSource(const Y4mSource&) = delete;
  Y4mSource& operator=(const Y4mSource&) = delete;

  std::string Name() const override { return name_; }
  platform::Status Open() override;
  std::vector<CaptureFormat> Formats() const override;
  platform::Status SetFormat(const CaptureFormat& format) override;
  CaptureFormat Format() const override { return format_; }
  platform::Status Start() override;
  ReadResult Read(CameraFrame& frame, std::chrono::milliseconds timeout) override;
  void Stop() override {}
  bool Live() const override { return false; }

  // The chroma layout the file declared: 420, 422, 444 or 0 for mono.
  int chroma() const { return chroma_; }

 private:
  struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  platform::Status ParseHeader(const std::string& header);
  platform::Status Fail(const std::string& what) const;

  std::string path_;
  bool loop_;
  std::string name_;
  std::unique_ptr<std::FILE, FileCloser> file_;
  long dataStart_ = 0;      // file offset of the first frame header
  CaptureFormat format_;
  int chroma_ = 420;
  size_t frameBytes_ = 0;   // payload bytes of one frame
  std::vector<uint8_t> raw_;
  int64_t sequence_ = 0;    // frames delivered since Start
  int64_t framesInFile_ = 0;  // frames read in the current pass through the file
};

}  // namespace cordavex::camera
