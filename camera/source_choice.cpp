// Choosing a frame source by its command-line name and making it.
#include "camera/frame_source.h"

#include <cstdlib>

#include "camera/browser_source.h"
#include "camera/images_source.h"
#include "camera/v4l2_source.h"
#include "camera/y4m_source.h"
#include "platform/platform.h"

namespace cordavex::camera {

namespace {

constexpr std::string_view kForms =
    "clip, v4l2:/dev/videoN, y4m:FILE, images:DIR, browser or none";

// The source of a program run without a camera: the search for one finds none.
class NoCamera final : public FrameSource {
 public:
  std::string Name() const override { return "none"; }
  platform::Status Open() override { return platform::Status::NotFound("none: no camera (--camera none)"); }
  std::vector<CaptureFormat> Formats() const override { return {}; }
  platform::Status SetFormat(const CaptureFormat&) override { return Open(); }
  CaptureFormat Format() const override { return {}; }
  platform::Status Start() override { return Open(); }
  ReadResult Read(CameraFrame&, std::chrono::milliseconds) override { return ReadResult::Failed(Open()); }
  void Stop() override {}
  bool Live() const override { return true; }
};

}  // namespace

platform::Status ParseCameraSource(std::string_view text, SourceChoice* choice) {
  auto bad = [&](const std::string& why) {
    return platform::Status::InvalidArgument("camera source \"" + std::string(text) + "\": " + why +
                                             " (use " + std::string(kForms) + ")");
  };
  struct Form {
    std::string_view name;
    SourceKind kind;
    bool argument;  // NAME:ARGUMENT, or the bare name
  };
  constexpr Form kFormsTable[] = {
      {"clip", SourceKind::kClip, false},     {"browser", SourceKind::kBrowser, false},
      {"none", SourceKind::kNone, false},     {"v4l2", SourceKind::kV4l2, true},
      {"y4m", SourceKind::kY4m, true},        {"images", SourceKind::kImages, true},
  };
  const size_t colon = text.find(':');
  const std::string_view name = text.substr(0, colon);
  for (const Form& form : kFormsTable) {
    if (form.name != name) continue;
    if (!form.argument) {
      if (colon != std::string_view::npos) return bad("\"" + std::string(name) + "\" takes no argument");
      *choice = {form.kind, {}};
      return platform::Status::Ok();
    }
    if (colon == std::string_view::npos || colon + 1 == text.size()) {
      return bad("\"" + std::string(name) + "\" needs a " +
                 (form.kind == SourceKind::kV4l2 ? "device" : form.kind == SourceKind::kY4m ? "file" : "folder") +
                 " after the colon");
    }
    *choice = {form.kind, std::string(text.substr(colon + 1))};
    return platform::Status::Ok();
  }
  return bad(text.empty() ? "empty" : "unknown kind \"" + std::string(name) + "\"");
}

std::string BundledClipPath() {
  const char* overridden = std::getenv("CORDAVEX_CLIP");
  if (overridden != nullptr && *overridden != '\0') return overridden;
  return platform::ProgramFolder() + "/cordavex_clip.y4m";
}

std::unique_ptr<FrameSource> MakeFrameSource(const SourceChoice& choice, std::shared_ptr<FrameMailbox> mailbox) {
  switch (choice.kind) {
    case SourceKind::kClip:
      return std::make_unique<Y4mSource>(choice.argument.empty() ? BundledClipPath() : choice.argument, true, "clip");
    case SourceKind::kY4m:
      return std::make_unique<Y4mSource>(choice.argument, false, "y4m:" + choice.argument);
    case SourceKind::kImages:
      return std::make_unique<ImagesSource>(choice.argument);
    case SourceKind::kV4l2:
      return std::make_unique<V4l2Source>(choice.argument, MakeLinuxVideoDevice());
    case SourceKind::kBrowser:
      return std::make_unique<BrowserSource>(std::move(mailbox));
    case SourceKind::kNone:
      break;
  }
  return std::make_unique<NoCamera>();
}

}  // namespace cordavex::camera
