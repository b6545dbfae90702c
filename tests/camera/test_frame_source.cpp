// The frame sources that read files and take pushed frames: the SOURCE forms,
// YUV4MPEG2 files good and hostile, a folder of pictures, and the browser's
// mailbox.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "camera/browser_source.h"
#include "camera/frame_source.h"
#include "camera/images_source.h"
#include "camera/y4m_source.h"
#include "camera/yuv_convert.h"
#include "camera/camera_fixture.h"
#include "platform/device_fixture.h"

namespace cordavex::camera {
namespace {

using test::Bytes;
using test::Play;
using test::WriteFile;

TEST(CameraSource, ParsesEveryForm) {
  struct Case {
    const char* text;
    SourceKind kind;
    const char* argument;
  };
  const Case cases[] = {
      {"clip", SourceKind::kClip, ""},
      {"v4l2:/dev/video0", SourceKind::kV4l2, "/dev/video0"},
      {"y4m:/tmp/a:b.y4m", SourceKind::kY4m, "/tmp/a:b.y4m"},  // only the first colon splits
      {"images:shots", SourceKind::kImages, "shots"},
      {"browser", SourceKind::kBrowser, ""},
      {"none", SourceKind::kNone, ""},
  };
  for (const Case& c : cases) {
    SourceChoice choice;
    ASSERT_TRUE(ParseCameraSource(c.text, &choice).ok()) << c.text;
    EXPECT_EQ(choice.kind, c.kind) << c.text;
    EXPECT_EQ(choice.argument, c.argument) << c.text;
  }
}

TEST(CameraSource, RefusesBadFormsSayingWhy) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const Case cases[] = {
      {"", "empty"},
      {"webcam", "unknown kind \"webcam\""},
      {"CLIP", "unknown kind \"CLIP\""},
      {"v4l2", "needs a device after the colon"},
      {"v4l2:", "needs a device after the colon"},
      {"y4m:", "needs a file after the colon"},
      {"images", "needs a folder after the colon"},
      {"clip:x", "\"clip\" takes no argument"},
      {"none:", "\"none\" takes no argument"},
  };
  for (const Case& c : cases) {
    SourceChoice choice;
    const platform::Status status = ParseCameraSource(c.text, &choice);
    ASSERT_FALSE(status.ok()) << c.text;
    EXPECT_EQ(status.code(), platform::Status::Code::kInvalidArgument);
    EXPECT_NE(status.message().find(c.reason), std::string::npos) << status.message();
    EXPECT_NE(status.message().find("v4l2:/dev/videoN"), std::string::npos) << status.message();
  }
}

TEST(CameraSource, NoneHasNoCamera) {
  auto source = MakeFrameSource({SourceKind::kNone, {}});
  const platform::Status status = source->Open();
  EXPECT_TRUE(status.IsNotFound());
  EXPECT_EQ(status.message(), "none: no camera (--camera none)");
}

// A 4 × 2 picture: luma 10..17, chroma planes as the layout has them.
struct Y4mCase {
  const char* colour;
  std::string planes;
  std::vector<uint8_t> yuy2;  // the expected first frame
};

TEST(Y4mSource, ConvertsEachChromaLayoutToYuy2) {
  const std::string luma = Bytes({10, 11, 12, 13, 14, 15, 16, 17});
  const Y4mCase cases[] = {
      // 4:2:0: one chroma pair per 2 × 2 block, shared by both rows.
      {"C420jpeg", luma + Bytes({100, 101}) + Bytes({200, 201}),
       {10, 100, 11, 200, 12, 101, 13, 201, 14, 100, 15, 200, 16, 101, 17, 201}},
      // 4:2:2: one pair per two pixels of each row.
      {"C422", luma + Bytes({100, 101, 102, 103}) + Bytes({200, 201, 202, 203}),
       {10, 100, 11, 200, 12, 101, 13, 201, 14, 102, 15, 202, 16, 103, 17, 203}},
      // 4:4:4: the pair's two samples averaged (rounding up).
      {"C444", luma + Bytes({100, 101, 110, 110, 1, 2, 3, 4}) + Bytes({200, 200, 50, 51, 9, 9, 0, 255}),
       {10, 101, 11, 200, 12, 110, 13, 51, 14, 2, 15, 9, 16, 4, 17, 128}},
      {"Cmono", luma, {10, 128, 11, 128, 12, 128, 13, 128, 14, 128, 15, 128, 16, 128, 17, 128}},
      // No colour space: 4:2:0, as the format's default.
      {"XNOTE=none", luma + Bytes({100, 101}) + Bytes({200, 201}),
       {10, 100, 11, 200, 12, 101, 13, 201, 14, 100, 15, 200, 16, 101, 17, 201}},
  };
  test::TemporaryFolder folder;
  for (const Y4mCase& c : cases) {
    const std::string path = folder.path() + "/a.y4m";
    WriteFile(path, std::string("YUV4MPEG2 W4 H2 F30000:1001 It A1:1 ") + c.colour + "\nFRAME\n" + c.planes +
                        "FRAME Ixyz\n" + c.planes);
    Y4mSource source(path, false, "y4m:a");
    ASSERT_TRUE(source.Open().ok()) << c.colour;
    ASSERT_EQ(source.Formats().size(), 1u);
    EXPECT_EQ(source.Format().width, 4);
    EXPECT_EQ(source.Format().timePerFrame, 333666);  // 1001 / 30000 s
    ASSERT_TRUE(source.SetFormat(source.Format()).ok());
    ASSERT_TRUE(source.Start().ok());
    const test::Played played = Play(source);
    ASSERT_EQ(played.frames.size(), 2u) << c.colour;
    EXPECT_EQ(played.frames[0].yuy2, c.yuy2) << c.colour;
    EXPECT_EQ(played.frames[1].timestamp, 333666);
    EXPECT_EQ(played.frames[1].sequence, 1);
    EXPECT_EQ(played.last.outcome, ReadOutcome::kEndOfStream);
    EXPECT_EQ(played.last.message, "y4m:a: end of " + path + " after 2 frames");
  }
}

TEST(Y4mSource, LoopsWhenAskedWithTimestampsRunningOn) {
  test::TemporaryFolder folder;
  const std::string path = folder.path() + "/loop.y4m";
  WriteFile(path, "YUV4MPEG2 W2 H2 F10:1 Cmono\nFRAME\n" + Bytes({1, 2, 3, 4}) + "FRAME\n" + Bytes({5, 6, 7, 8}));
  Y4mSource source(path, true, "clip");
  ASSERT_TRUE(source.Open().ok());
  ASSERT_TRUE(source.Start().ok());
  const test::Played played = Play(source, 5);
  ASSERT_EQ(played.frames.size(), 5u);
  EXPECT_EQ(played.frames[2].yuy2, (std::vector<uint8_t>{1, 128, 2, 128, 3, 128, 4, 128}));
  EXPECT_EQ(played.frames[4].timestamp, 4'000'000);
  EXPECT_EQ(played.frames[4].sequence, 4);
  // A new start begins at the first frame again.
  ASSERT_TRUE(source.Start().ok());
  EXPECT_EQ(Play(source, 1).frames[0].sequence, 0);
}

TEST(Y4mSource, RefusesHostileFilesWithAClearMessage) {
  struct Case {
    std::string bytes;
    const char* message;
  };
  const std::string frame = "FRAME\n" + std::string(6, 'x');  // 2 × 2 4:2:0
  const Case cases[] = {
      {"", "the file is empty or has no header line"},
      {"YUV4MPEG W2 H2\n" + frame, "not a YUV4MPEG2 file"},
      {"GIF89a W2 H2\n", "not a YUV4MPEG2 file"},
      {"YUV4MPEG2  W2 H2\n", "separated by single spaces"},
      {"YUV4MPEG2 W2 H2 \n", "separated by single spaces"},
      {"YUV4MPEG2W2 H2\n", "separated by single spaces"},
      {"YUV4MPEG2 W2\n" + frame, "no width or no height"},
      {"YUV4MPEG2 W0 H2\n", "width \"0\" is not a number from 1 to 4096"},
      {"YUV4MPEG2 W-2 H2\n", "width \"-2\" is not a number"},
      {"YUV4MPEG2 W+2 H2\n", "width \"+2\" is not a number"},
      {"YUV4MPEG2 W99999999999999999999 H2\n", "is not a number"},
      {"YUV4MPEG2 W2 H4097\n", "height \"4097\" is not a number from 1 to 4096"},
      {"YUV4MPEG2 W2 H2 W4\n", "the width is given twice"},
      {"YUV4MPEG2 W3 H2\n", "width 3 is odd"},
      {"YUV4MPEG2 W2 H2 F0:1\n", "frame rate \"0:1\" is not N:D"},
      {"YUV4MPEG2 W2 H2 F30\n", "frame rate \"30\" is not N:D"},
      {"YUV4MPEG2 W2 H2 Ix\n", "interlacing \"x\""},
      {"YUV4MPEG2 W2 H2 C420p10\n", "colour space \"420p10\" is not supported"},
      {"YUV4MPEG2 W2 H2 C444alpha\n", "colour space \"444alpha\" is not supported"},
      {"YUV4MPEG2 W2 H2 Z9\n", "unknown header parameter 'Z'"},
      {"YUV4MPEG2 W2 H2 X" + std::string(2000, 'a') + "\n", "longer than 1024 bytes"},
  };
  test::TemporaryFolder folder;
  const std::string path = folder.path() + "/bad.y4m";
  for (const Case& c : cases) {
    WriteFile(path, c.bytes);
    Y4mSource source(path, false, "y4m:bad");
    const platform::Status status = source.Open();
    ASSERT_FALSE(status.ok()) << c.message;
    EXPECT_NE(status.message().find(c.message), std::string::npos) << status.message();
    EXPECT_EQ(status.message().rfind("y4m:bad: ", 0), 0u) << status.message();
    EXPECT_TRUE(source.Formats().empty());
  }
}

TEST(Y4mSource, BrokenFramesFailTheStreamAndEmptyFilesEndIt) {
  struct Case {
    std::string body;
    ReadOutcome outcome;
    const char* message;
    size_t frames;
  };
  const std::string pixels(6, 'x');
  const Case cases[] = {
      {"", ReadOutcome::kEndOfStream, "holds no frames", 0},
      {"FRAME\n" + pixels + "FRAME\n" + pixels.substr(0, 5), ReadOutcome::kFailed,
       "the file ends inside frame 1 (5 of 6 bytes)", 1},
      {"FRAME\n" + pixels + "FRAMES\n" + pixels, ReadOutcome::kFailed, "frame 1 does not start with \"FRAME\"", 1},
      {"JUNK\n" + pixels, ReadOutcome::kFailed, "frame 0 does not start with \"FRAME\"", 0},
      {"FRAME " + std::string(300, 'p') + "\n" + pixels, ReadOutcome::kFailed,
       "frame 0 has a header longer than 256 bytes", 0},
  };
  test::TemporaryFolder folder;
  const std::string path = folder.path() + "/frames.y4m";
  for (const Case& c : cases) {
    WriteFile(path, "YUV4MPEG2 W2 H2\n" + c.body);
    for (bool loop : {false, true}) {
      Y4mSource source(path, loop, "y4m:f");
      ASSERT_TRUE(source.Open().ok());
      ASSERT_TRUE(source.Start().ok());
      const test::Played played = Play(source, 10);
      EXPECT_EQ(played.last.outcome, c.outcome) << c.message;
      const std::string& text = c.outcome == ReadOutcome::kFailed ? played.last.error.message() : played.last.message;
      EXPECT_NE(text.find(c.message), std::string::npos) << text;
      if (!loop) {
        EXPECT_EQ(played.frames.size(), c.frames) << c.message;
      }
    }
  }
}

TEST(Y4mSource, AMissingFileIsNotFound) {
  Y4mSource source("/nonexistent/clip.y4m", true, "clip");
  const platform::Status status = source.Open();
  EXPECT_TRUE(status.IsNotFound());
  EXPECT_EQ(status.message(), "clip: cannot open /nonexistent/clip.y4m: No such file or directory");
}

TEST(FitPicture, ScalesKeepingProportionsAndCentres) {
  // A 4 × 2 picture, left half black, right half white, into an 8 × 8 frame:
  // shown 8 × 4 from row 2, the margins mid-grey.
  const std::vector<uint8_t> grey = {0, 0, 255, 255, 0, 0, 255, 255};
  std::vector<uint8_t> frame(8 * 8 * 2);
  FitPictureToYuy2({grey.data(), 4, 2, 4, PictureLayout::kGrey}, 8, 8, frame);
  auto luma = [&](int x, int y) { return frame[static_cast<size_t>((y * 8 + x) * 2)]; };
  EXPECT_EQ(luma(0, 0), 128);
  EXPECT_EQ(luma(7, 1), 128);
  EXPECT_EQ(luma(0, 2), 0);
  EXPECT_EQ(luma(3, 5), 0);
  EXPECT_EQ(luma(4, 2), 255);
  EXPECT_EQ(luma(7, 5), 255);
  EXPECT_EQ(luma(0, 6), 128);
  EXPECT_EQ(frame[1], 128);  // grey has no colour
  EXPECT_EQ(frame[static_cast<size_t>((2 * 8 + 0) * 2 + 1)], 128);

  // Shrinking averages: a 4 × 4 checkerboard into 2 × 2 is mid-grey; pure red
  // (RGBA) gives the BT.601 luma and chroma of red.
  const std::vector<uint8_t> checker = {0, 255, 0, 255, 255, 0, 255, 0, 0, 255, 0, 255, 255, 0, 255, 0};
  std::vector<uint8_t> small(2 * 2 * 2);
  FitPictureToYuy2({checker.data(), 4, 4, 4, PictureLayout::kGrey}, 2, 2, small);
  EXPECT_EQ(small, (std::vector<uint8_t>{127, 128, 127, 128, 127, 128, 127, 128}));
  const std::vector<uint8_t> red = {255, 0, 0, 255, 255, 0, 0, 255};
  std::vector<uint8_t> pair(4);
  FitPictureToYuy2({red.data(), 2, 1, 8, PictureLayout::kRgba}, 2, 1, pair);
  EXPECT_EQ(pair, (std::vector<uint8_t>{76, 85, 76, 255}));
}

TEST(ImagesSource, ShowsPicturesInNameOrderThenEnds) {
  test::TemporaryFolder folder;
  WriteFile(folder.path() + "/b.PGM", test::Pgm(64, 48, 200));
  WriteFile(folder.path() + "/a.pgm", test::Pgm(32, 24, 50));
  WriteFile(folder.path() + "/notes.txt", "not a picture");
  std::filesystem::create_directory(folder.path() + "/c.png");  // a folder, not a file
  ImagesSource source(folder.path(), 2);
  ASSERT_TRUE(source.Open().ok());
  ASSERT_EQ(source.files().size(), 2u);
  EXPECT_EQ(source.Formats(), (std::vector<CaptureFormat>{{320, 240, kFourccYuyv, kTicksPerSecond / 15}}));
  ASSERT_TRUE(source.Start().ok());
  const test::Played played = Play(source);
  ASSERT_EQ(played.frames.size(), 4u);
  EXPECT_EQ(played.frames[0].yuy2[0], 50);
  EXPECT_EQ(played.frames[1].yuy2[0], 50);
  EXPECT_EQ(played.frames[2].yuy2[0], 200);
  EXPECT_EQ(played.frames[3].timestamp, 3 * (kTicksPerSecond / 15));
  EXPECT_EQ(played.last.outcome, ReadOutcome::kEndOfStream);
  EXPECT_EQ(played.last.message, "images:" + folder.path() + ": shown all 2 pictures");
}

TEST(ImagesSource, AnUnreadableOrVanishedPictureFailsNamingIt) {
  test::TemporaryFolder folder;
  WriteFile(folder.path() + "/1.pgm", test::Pgm(8, 8, 90));
  WriteFile(folder.path() + "/2.png", "\x89PNG\r\n\x1a\n truncated");
  WriteFile(folder.path() + "/3.jpg", test::Pgm(8, 8, 90));
  ImagesSource source(folder.path(), 1);
  ASSERT_TRUE(source.Open().ok());
  ASSERT_TRUE(source.Start().ok());
  test::Played played = Play(source);
  EXPECT_EQ(played.frames.size(), 1u);
  ASSERT_EQ(played.last.outcome, ReadOutcome::kFailed);
  EXPECT_NE(played.last.error.message().find(folder.path() + "/2.png: "), std::string::npos)
      << played.last.error.message();

  std::filesystem::remove(folder.path() + "/2.png");
  std::filesystem::remove(folder.path() + "/3.jpg");
  WriteFile(folder.path() + "/2.pgm", test::Pgm(8, 8, 90));
  ImagesSource again(folder.path(), 1);
  ASSERT_TRUE(again.Open().ok());
  ASSERT_TRUE(again.Start().ok());
  std::filesystem::remove(folder.path() + "/2.pgm");
  played = Play(again);
  EXPECT_EQ(played.frames.size(), 1u);
  ASSERT_EQ(played.last.outcome, ReadOutcome::kFailed);
  EXPECT_TRUE(played.last.error.IsNotFound());
  EXPECT_EQ(played.last.error.message(),
            "images:" + folder.path() + ": " + folder.path() + "/2.pgm: the file has vanished");
}

TEST(ImagesSource, AFolderWithoutPicturesIsRefused) {
  test::TemporaryFolder folder;
  WriteFile(folder.path() + "/readme.txt", "x");
  ImagesSource empty(folder.path());
  EXPECT_NE(empty.Open().message().find("holds no PNG, JPEG, PGM or PPM files"), std::string::npos);
  ImagesSource missing(folder.path() + "/gone");
  EXPECT_TRUE(missing.Open().IsNotFound());
}

TEST(BrowserSource, KeepsTheNewestFramesAndDropsTheOldest) {
  auto mailbox = std::make_shared<FrameMailbox>(2);
  BrowserSource source(mailbox);
  ASSERT_TRUE(source.Open().ok());
  ASSERT_TRUE(source.Start().ok());
  CameraFrame frame;
  EXPECT_EQ(source.Read(frame, std::chrono::milliseconds(1)).outcome, ReadOutcome::kTimedOut);
  for (uint8_t grey : {10, 20, 30}) {
    const std::vector<uint8_t> picture(4 * 3, grey);
    EXPECT_TRUE(mailbox->Post({picture.data(), 4, 3, 4, PictureLayout::kGrey}));
  }
  EXPECT_EQ(mailbox->posted(), 3);
  EXPECT_EQ(mailbox->dropped(), 1);
  ASSERT_EQ(source.Read(frame, std::chrono::milliseconds(0)).outcome, ReadOutcome::kFrame);
  EXPECT_EQ(frame.yuy2[static_cast<size_t>(120 * 320 * 2 + 160 * 2)], 20);
  EXPECT_EQ(frame.width, 320);
  ASSERT_EQ(source.Read(frame, std::chrono::milliseconds(0)).outcome, ReadOutcome::kFrame);
  EXPECT_EQ(frame.sequence, 1);
  EXPECT_EQ(frame.yuy2[static_cast<size_t>(120 * 320 * 2 + 160 * 2)], 30);

  // Pictures that cannot be fitted are refused, not posted.
  const std::vector<uint8_t> pixels(16, 0);
  EXPECT_FALSE(mailbox->Post({nullptr, 2, 2, 2, PictureLayout::kGrey}));
  EXPECT_FALSE(mailbox->Post({pixels.data(), 0, 2, 2, PictureLayout::kGrey}));
  EXPECT_FALSE(mailbox->Post({pixels.data(), 2, 2, 7, PictureLayout::kRgba}));
  EXPECT_EQ(mailbox->posted(), 3);

  // Without a front end there is nothing to read.
  BrowserSource alone(nullptr);
  EXPECT_NE(alone.Open().message().find("no web front end posts camera frames"), std::string::npos);
}

}  // namespace
}  // namespace cordavex::camera
