#include "camera/y4m_source.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string_view>

#include "camera/yuv_convert.h"

namespace cordavex::camera {

namespace {

constexpr std::string_view kSignature = "YUV4MPEG2";
// Longer headers exist only in files made to hurt the reader.
constexpr size_t kMaxHeaderBytes = 1024;
constexpr size_t kMaxFrameHeaderBytes = 256;

// Reads one line up to '\n' (not kept). False at end of file before any byte,
// or when the line is longer than `limit` (then *tooLong is set).
bool ReadLine(std::FILE* file, size_t limit, std::string* line, bool* tooLong) {
  line->clear();
  *tooLong = false;
  for (;;) {
    const int c = std::fgetc(file);
    if (c == EOF) return !line->empty();
    if (c == '\n') return true;
    if (line->size() >= limit) {
      *tooLong = true;
      return false;
    }
    line->push_back(static_cast<char>(c));
  }
}

// A positive decimal number without sign, at most `max`.
bool ParsePositive(std::string_view text, int64_t max, int64_t* value) {
  if (text.empty() || text.size() > 12) return false;
  int64_t parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (error != std::errc() || end != text.data() + text.size() || parsed <= 0 || parsed > max) {
    return false;
  }
  *value = parsed;
  return true;
}

// "N:D" with N and D positive (0:0 means unknown and is accepted as such).
bool ParseRatio(std::string_view text, int64_t* numerator, int64_t* denominator) {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos) return false;
  if (text == "0:0") {
    *numerator = *denominator = 0;
    return true;
  }
  return ParsePositive(text.substr(0, colon), 1'000'000'000, numerator) &&
         ParsePositive(text.substr(colon + 1), 1'000'000'000, denominator);
}

}  // namespace

Y4mSource::Y4mSource(std::string path, bool loop, std::string name)
    : path_(std::move(path)), loop_(loop), name_(std::move(name)) {}

Y4mSource::~Y4mSource() = default;

platform::Status Y4mSource::Fail(const std::string& what) const {
  return platform::Status::InvalidArgument(name_ + ": " + what);
}

platform::Status Y4mSource::ParseHeader(const std::string& header) {
  std::string_view rest(header);
  if (rest.substr(0, kSignature.size()) != kSignature) {
    return Fail("not a YUV4MPEG2 file (no \"YUV4MPEG2\" signature)");
  }
  rest.remove_prefix(kSignature.size());
  int64_t width = 0, height = 0, rateN = 15, rateD = 1;
  bool sawWidth = false, sawHeight = false, sawRate = false, sawInterlace = false,
       sawAspect = false, sawColour = false;
  while (!rest.empty()) {
    if (rest.front() != ' ') return Fail("header parameters must be separated by single spaces");
    rest.remove_prefix(1);
    const size_t end = rest.find(' ');
    const std::string_view token = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
    if (token.empty()) return Fail("header parameters must be separated by single spaces");
    const char tag = token.front();
    const std::string_view value = token.substr(1);
    auto twice = [&](bool& seen) {
      const bool again = seen;
      seen = true;
      return again;
    };
    switch (tag) {
      case 'W':
        if (twice(sawWidth)) return Fail("the width is given twice");
        if (!ParsePositive(value, kMaxSourceSide, &width)) {
          return Fail("width \"" + std::string(value) + "\" is not a number from 1 to " +
                      std::to_string(kMaxSourceSide));
        }
        break;
      case 'H':
        if (twice(sawHeight)) return Fail("the height is given twice");
        if (!ParsePositive(value, kMaxSourceSide, &height)) {
          return Fail("height \"" + std::string(value) + "\" is not a number from 1 to " +
                      std::to_string(kMaxSourceSide));
        }
        break;
      case 'F':
        if (twice(sawRate)) return Fail("the frame rate is given twice");
        if (!ParseRatio(value, &rateN, &rateD) || rateN == 0) {
          return Fail("frame rate \"" + std::string(value) + "\" is not N:D");
        }
        break;
      case 'I':
        if (twice(sawInterlace)) return Fail("the interlacing is given twice");
        // Frames are taken whole whatever the field order.
        if (value != "p" && value != "t" && value != "b" && value != "m" && value != "?") {
          return Fail("interlacing \"" + std::string(value) + "\" is not p, t, b, m or ?");
        }
        break;
      case 'A': {
        if (twice(sawAspect)) return Fail("the pixel aspect is given twice");
        int64_t n = 0, d = 0;
        if (!ParseRatio(value, &n, &d)) return Fail("pixel aspect \"" + std::string(value) + "\" is not N:D");
        break;
      }
      case 'C':
        if (twice(sawColour)) return Fail("the colour space is given twice");
        if (value == "420jpeg" || value == "420paldv" || value == "420mpeg2" || value == "420") {
          chroma_ = 420;
        } else if (value == "422") {
          chroma_ = 422;
        } else if (value == "444") {
          chroma_ = 444;
        } else if (value == "mono") {
          chroma_ = 0;
        } else {
          return Fail("colour space \"" + std::string(value) +
                      "\" is not supported (8-bit 420, 422, 444 or mono)");
        }
        break;
      case 'X':  // comments and extensions
        break;
      default:
        return Fail(std::string("unknown header parameter '") + tag + "'");
    }
  }
  if (!sawWidth || !sawHeight) return Fail("the header gives no width or no height");
  if (width % 2 != 0) return Fail("width " + std::to_string(width) + " is odd (YUY2 needs pixel pairs)");

  format_.width = static_cast<int32_t>(width);
  format_.height = static_cast<int32_t>(height);
  format_.fourcc = chroma_ == 420   ? Fourcc('I', '4', '2', '0')
                   : chroma_ == 422 ? Fourcc('4', '2', '2', 'P')
                   : chroma_ == 444 ? Fourcc('4', '4', '4', 'P')
                                    : Fourcc('G', 'R', 'E', 'Y');
  // At most 10^9 × 10^7: within 64 bits.
  format_.timePerFrame = rateD * kTicksPerSecond / rateN;
  const size_t luma = static_cast<size_t>(width) * static_cast<size_t>(height);
  const size_t chromaWidth = chroma_ == 444 ? static_cast<size_t>(width) : static_cast<size_t>(width + 1) / 2;
  const size_t chromaHeight = chroma_ == 420 ? static_cast<size_t>(height + 1) / 2 : static_cast<size_t>(height);
  frameBytes_ = luma + (chroma_ == 0 ? 0 : 2 * chromaWidth * chromaHeight);
  return platform::Status::Ok();
}

platform::Status Y4mSource::Open() {
  file_.reset(std::fopen(path_.c_str(), "rb"));
  if (!file_) {
    const int error = errno;
    const std::string text = name_ + ": cannot open " + path_ + ": " + std::strerror(error);
    return error == ENOENT ? platform::Status::NotFound(text) : platform::Status::IoError(text);
  }
  std::string header;
  bool tooLong = false;
  if (!ReadLine(file_.get(), kMaxHeaderBytes, &header, &tooLong)) {
    file_.reset();
    return Fail(tooLong ? "the header line is longer than " + std::to_string(kMaxHeaderBytes) + " bytes"
                        : "the file is empty or has no header line");
  }
  platform::Status status = ParseHeader(header);
  if (!status.ok()) {
    file_.reset();
    return status;
  }
  dataStart_ = std::ftell(file_.get());
  raw_.assign(frameBytes_, 0);
  return platform::Status::Ok();
}

std::vector<CaptureFormat> Y4mSource::Formats() const {
  if (!file_) return {};
  return {format_};
}

platform::Status Y4mSource::SetFormat(const CaptureFormat& format) {
  if (!file_) return platform::Status::InvalidArgument(name_ + ": not open");
  if (!(format == format_)) {
    return platform::Status::InvalidArgument(name_ + ": the file holds " + Describe(format_) +
                                             " frames only, not " + Describe(format));
  }
  return platform::Status::Ok();
}

platform::Status Y4mSource::Start() {
  if (!file_) return platform::Status::InvalidArgument(name_ + ": not open");
  if (std::fseek(file_.get(), dataStart_, SEEK_SET) != 0) {
    return platform::Status::IoError(name_ + ": cannot seek in " + path_ + ": " + std::strerror(errno));
  }
  sequence_ = 0;
  framesInFile_ = 0;
  return platform::Status::Ok();
}

ReadResult Y4mSource::Read(CameraFrame& frame, std::chrono::milliseconds) {
  if (!file_) return ReadResult::Failed(platform::Status::InvalidArgument(name_ + ": not open"));
  std::string line;
  bool tooLong = false;
  if (!ReadLine(file_.get(), kMaxFrameHeaderBytes, &line, &tooLong)) {
    if (std::ferror(file_.get())) {
      return ReadResult::Failed(
          platform::Status::IoError(name_ + ": reading " + path_ + " failed: " + std::strerror(errno)));
    }
    if (tooLong) {
      return ReadResult::Failed(Fail("frame " + std::to_string(framesInFile_) + " has a header longer than " +
                                     std::to_string(kMaxFrameHeaderBytes) + " bytes"));
    }
    if (framesInFile_ == 0) return ReadResult::End(name_ + ": " + path_ + " holds no frames");
    if (!loop_) {
      return ReadResult::End(name_ + ": end of " + path_ + " after " + std::to_string(framesInFile_) +
                             " frames");
    }
    // Round again from the first frame.
    std::clearerr(file_.get());
    if (std::fseek(file_.get(), dataStart_, SEEK_SET) != 0) {
      return ReadResult::Failed(
          platform::Status::IoError(name_ + ": cannot seek in " + path_ + ": " + std::strerror(errno)));
    }
    framesInFile_ = 0;
    return Read(frame, std::chrono::milliseconds(0));
  }
  if (line.compare(0, 5, "FRAME") != 0 || (line.size() > 5 && line[5] != ' ')) {
    return ReadResult::Failed(Fail("frame " + std::to_string(framesInFile_) + " does not start with \"FRAME\""));
  }
  const size_t got = std::fread(raw_.data(), 1, raw_.size(), file_.get());
  if (got != raw_.size()) {
    if (std::ferror(file_.get())) {
      return ReadResult::Failed(
          platform::Status::IoError(name_ + ": reading " + path_ + " failed: " + std::strerror(errno)));
    }
    return ReadResult::Failed(Fail("the file ends inside frame " + std::to_string(framesInFile_) + " (" +
                                   std::to_string(got) + " of " + std::to_string(raw_.size()) + " bytes)"));
  }

  const int32_t w = format_.width, h = format_.height;
  PlanarYuv planes;
  planes.y = raw_.data();
  planes.width = w;
  planes.height = h;
  if (chroma_ != 0) {
    planes.chromaWidth = chroma_ == 444 ? w : (w + 1) / 2;
    planes.chromaHeight = chroma_ == 420 ? (h + 1) / 2 : h;
    const size_t luma = static_cast<size_t>(w) * static_cast<size_t>(h);
    const size_t plane = static_cast<size_t>(planes.chromaWidth) * static_cast<size_t>(planes.chromaHeight);
    planes.u = raw_.data() + luma;
    planes.v = raw_.data() + luma + plane;
  }
  frame.width = w;
  frame.height = h;
  frame.yuy2.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 2);
  PlanarToYuy2(planes, frame.yuy2.data());
  frame.sequence = sequence_;
  frame.timestamp = sequence_ * format_.timePerFrame;
  ++sequence_;
  ++framesInFile_;
  return ReadResult::Frame();
}

}  // namespace cordavex::camera
