// The bundled clip: every frame as the camera delivers it, through the frame
// filter as the capture loop copies it, into the engine — the QR code, the
// Data Matrix symbol and the Cordavex code are each read in their second of
// the clip. And the whole path of the program: the clip source in the camera
// graph with the filter library loaded by name, read through the library's
// exports while the graph runs in real time.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "camera/camera_graph.h"
#include "camera/y4m_source.h"
#include "cordavex/recognizer.h"
#include "cordavex/symbology.h"
#include "filter/exports.h"
#include "filter/frame_filter.h"
#include "platform/library_loader.h"
#include "support/workspace.h"
#include "tools/camera_clip.h"

namespace cordavex::camera {
namespace {

struct Read {
  int32_t symbology = 0;
  std::string bytes;
};

// What the decode thread does with one copied frame.
Read Recognize(test::Workspace& workspace, ScanResult& result, std::vector<uint8_t>& frame, int32_t width,
               int32_t height) {
  result.mode() = 0;
  result.symbologyMask() = 7;
  if (RecognizeImage(frame.data(), workspace.data(), width, height, 24, &result) != 1) return {};
  const DecodedSymbol decoded = LastDecodedSymbol(workspace.data());
  return {decoded.symbology, std::string(decoded.bytes.begin(), decoded.bytes.end())};
}

bool IsCordavex(int32_t symbology) {
  return symbology == static_cast<int32_t>(Symbology::kCordavex2) ||
         symbology == static_cast<int32_t>(Symbology::kCordavex3);
}

TEST(CameraClip, EverySymbolReadsThroughTheFilter) {
  Y4mSource clip(CORDAVEX_CAMERA_CLIP, true, "clip");
  ASSERT_TRUE(clip.Open().ok()) << CORDAVEX_CAMERA_CLIP;
  const CaptureFormat format = clip.Format();
  EXPECT_EQ(format.width, clip::kWidth);
  EXPECT_EQ(format.height, clip::kHeight);
  EXPECT_EQ(format.timePerFrame, kTicksPerSecond / clip::kFramesPerSecond);
  EXPECT_EQ(clip.chroma(), 422);
  ASSERT_TRUE(clip.Start().ok());

  // The filter as the graph connects it, at the program's default limits.
  filter::FilterState state;
  filter::FrameFilter frameFilter(state);
  filter::MediaType in;
  in.majorType = filter::kMediaTypeVideo;
  in.subType = filter::kSubtypeYUY2;
  filter::VideoInfoHeader info;
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = format.width;
  info.bmiHeader.biHeight = format.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 16;
  filter::WriteVideoInfo(&in, info);
  filter::MediaType out;
  ASSERT_EQ(frameFilter.SetInputType(in), filter::S_OK);
  ASSERT_EQ(frameFilter.GetMediaType(0, &out), filter::S_OK);
  std::vector<uint8_t> output(192 * 144 * 3);
  std::vector<uint8_t> copied(output.size());

  test::Workspace workspace(192, 144);
  auto result = std::make_unique<ScanResult>();
  int reads[clip::kSymbols] = {};
  CameraFrame frame;
  for (int index = 0; index < clip::kSymbols * clip::kFramesPerSymbol; ++index) {
    ASSERT_EQ(clip.Read(frame, std::chrono::milliseconds(0)).outcome, ReadOutcome::kFrame);
    filter::MediaSample sample{frame.yuy2.data(), static_cast<int32_t>(frame.yuy2.size()),
                               static_cast<int32_t>(frame.yuy2.size())};
    filter::MediaSample result_sample{output.data(), static_cast<int32_t>(output.size()), 0};
    ASSERT_EQ(frameFilter.Transform(sample, &result_sample), filter::S_OK);
    state.GetVideoBuffer(copied.data(), static_cast<int32_t>(copied.size()));
    const Read read = Recognize(workspace, *result, copied, 192, 144);
    const int shown = index / clip::kFramesPerSymbol;
    if (shown == 0 && read.symbology == static_cast<int32_t>(Symbology::kQr)) {
      EXPECT_EQ(read.bytes, clip::kQrText);
      ++reads[0];
    } else if (shown == 1 && read.symbology == static_cast<int32_t>(Symbology::kDataMatrix)) {
      EXPECT_EQ(read.bytes, clip::kDmText);
      ++reads[1];
    } else if (shown == 2 && IsCordavex(read.symbology)) {
      ++reads[2];
    } else {
      EXPECT_EQ(read.symbology, 0) << "frame " << index << " read a symbol it does not show";
    }
  }
  // A hand-held camera: most frames of each second read, not necessarily all.
  for (int s = 0; s < clip::kSymbols; ++s) {
    EXPECT_GE(reads[s], clip::kFramesPerSymbol * 3 / 4) << "symbol " << s;
  }
  std::printf("[ clip     ] frames read: QR %d, Data Matrix %d, Cordavex %d of %d each\n", reads[0], reads[1],
              reads[2], clip::kFramesPerSymbol);
  // The clip loops.
  ASSERT_EQ(clip.Read(frame, std::chrono::milliseconds(0)).outcome, ReadOutcome::kFrame);
  EXPECT_EQ(frame.sequence, clip::kSymbols * clip::kFramesPerSymbol);
}

TEST(CameraClip, TheProgramsPathReadsAllThreeSymbols) {
  platform::SetLibraryFolder(CORDAVEX_FILTER_LIBRARY_DIR);
  platform::LibraryHandle library = platform::LoadLibrary("CordavexDSFilter.dll");
  ASSERT_NE(library, nullptr);
  using namespace filter;
  auto* getFormat = platform::GetProcAddressAs<GetVideoFormatFunction>(library, "getVideoFormat");
  auto* getBuffer = platform::GetProcAddressAs<GetVideoBufferFunction>(library, "getVideoBuffer");
  auto* setRotate = platform::GetProcAddressAs<SetGlobalRotateFunction>(library, "SetGlobalRotate");
  auto* setAuto = platform::GetProcAddressAs<SetAutoDetectRotateFunction>(library, "SetAutoDetectRotate");
  auto* setLimits = platform::GetProcAddressAs<SetRxyFunction>(library, "setRxy");
  ASSERT_TRUE(getFormat && getBuffer && setRotate && setAuto && setLimits);
  setAuto(0);
  setRotate(0);
  setLimits(192, 144);

  ::setenv("CORDAVEX_CLIP", CORDAVEX_CAMERA_CLIP, 1);
  GraphParts parts;
  parts.makeSource = [] { return MakeFrameSource({SourceKind::kClip, {}}); };
  parts.makeFilter = LibraryFilterFactory();
  auto graph = std::make_unique<CameraGraph>(std::move(parts));
  graph->Initialise({}, {0, "Linux", false}, 0);
  ASSERT_EQ(graph->Build(), S_OK) << graph->lastError();
  ::unsetenv("CORDAVEX_CLIP");
  ASSERT_EQ(graph->Run(), S_OK);

  // The capture loop's two threads, folded into one: copy the newest frame,
  // and every 150 ms hand it to the engine.
  FrameFormat format{};
  getFormat(&format);
  ASSERT_EQ(format.outputWidth, 192);
  ASSERT_EQ(format.outputHeight, 144);
  ASSERT_EQ(format.bitsPerPixel, 24);
  std::vector<uint8_t> frame(192 * 144 * 3);
  test::Workspace workspace(192, 144);
  auto result = std::make_unique<ScanResult>();
  bool seen[3] = {};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!(seen[0] && seen[1] && seen[2]) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    getBuffer(frame.data(), static_cast<int32_t>(frame.size()));
    const Read read = Recognize(workspace, *result, frame, 192, 144);
    if (read.symbology == static_cast<int32_t>(Symbology::kQr)) seen[0] = read.bytes == clip::kQrText;
    if (read.symbology == static_cast<int32_t>(Symbology::kDataMatrix)) seen[1] = read.bytes == clip::kDmText;
    if (IsCordavex(read.symbology)) seen[2] = true;
  }
  EXPECT_TRUE(seen[0]);
  EXPECT_TRUE(seen[1]);
  EXPECT_TRUE(seen[2]);
  EXPECT_GT(graph->counts().frames, 0);
  EXPECT_EQ(graph->Stop(), S_OK);
  graph.reset();
  platform::FreeLibrary(library);
  platform::SetLibraryFolder("");
}

}  // namespace
}  // namespace cordavex::camera
