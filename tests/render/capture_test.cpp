// Screen capture into "demo.avi" without a display: the frames come from the read-back of the
// renderer (zeros here); the file, its rate and frame count, and every way a capture can fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "foundation/log.h"
#include "platform/media_ffmpeg.h"
#include "render/render.h"
#include "render/video.h"
#include "support/test_support.h"

using tw_test::CountOccurrences;
using tw_test::FileExists;
using tw_test::ReadBytes;
using tw_test::ReadFile;

namespace {

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RenderApi = RENDER_API_NONE;
    Render_SetScreenSize(64, 48);
    Log_Open();
  }
  void TearDown() override {
    Movie_StopCapture();
    Log_Close();
  }
  tw_test::TempDir dir_;
};

int64_t FramesOf(const std::string& path, double* rate, int* width) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  MediaVideo* v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), 0, 0);
  if (!v) return -1;
  MediaVideoInfo info;
  MediaVideo_GetInfo(v, &info);
  int64_t n = 0;
  while (MediaVideo_DecodeNext(v, nullptr, nullptr) == 1) n++;
  MediaVideo_Close(v);
  if (rate) *rate = info.frameRate;
  if (width) *width = info.width;
  return n;
}

}  // namespace

TEST_F(CaptureTest, FramesAndStopDoNothingWhileNotRecording) {
  Movie_CaptureFrame();
  Movie_StopCapture();
  EXPECT_EQ(Movie_IsCapturing(), 0);
  EXPECT_FALSE(FileExists("demo.avi"));
}

TEST_F(CaptureTest, WritesTheFileWhenStopped) {
  Movie_StartCapture();
  ASSERT_EQ(Movie_IsCapturing(), 1);
  for (int i = 0; i < 7; i++) Movie_CaptureFrame();
  EXPECT_FALSE(FileExists("demo.avi"));  // still under its temporary name
  Movie_StopCapture();
  EXPECT_EQ(Movie_IsCapturing(), 0);
  EXPECT_FALSE(FileExists("demo.avi.tmp"));
  double rate = 0;
  int width = 0;
  EXPECT_EQ(FramesOf("demo.avi", &rate, &width), 7);
  EXPECT_DOUBLE_EQ(rate, 24.0);
  EXPECT_EQ(width, 64);
  // A new capture replaces the old file.
  Movie_StartCapture();
  Movie_CaptureFrame();
  Movie_StopCapture();
  EXPECT_EQ(FramesOf("demo.avi", nullptr, nullptr), 1);
}

TEST_F(CaptureTest, RepeatedStartFinishesTheFirstCapture) {
  Movie_StartCapture();
  Movie_CaptureFrame();
  Movie_CaptureFrame();
  Movie_StartCapture();
  ASSERT_EQ(Movie_IsCapturing(), 1);
  EXPECT_EQ(FramesOf("demo.avi", nullptr, nullptr), 2);
  Movie_CaptureFrame();
  Movie_StopCapture();
  EXPECT_EQ(FramesOf("demo.avi", nullptr, nullptr), 1);
}

TEST_F(CaptureTest, ModeChangeStopsTheCapture) {
  Movie_StartCapture();
  Movie_CaptureFrame();
  Render_SetScreenSize(128, 96);
  Movie_CaptureFrame();
  EXPECT_EQ(Movie_IsCapturing(), 0);
  EXPECT_EQ(FramesOf("demo.avi", nullptr, nullptr), 1);
  EXPECT_NE(ReadFile("log").find("display mode changed"), std::string::npos);
}

TEST_F(CaptureTest, FailedStartLeavesNothing) {
  ASSERT_EQ(mkdir("demo.avi.tmp", 0755), 0);  // the temporary name cannot be created
  Movie_StartCapture();
  EXPECT_EQ(Movie_IsCapturing(), 0);
  Movie_CaptureFrame();
  EXPECT_EQ(CountOccurrences(ReadFile("log"), "Can't open avi.avi AVIERR_FILEOPEN\n"), 1);
  EXPECT_FALSE(FileExists("demo.avi"));
  rmdir("demo.avi.tmp");
  Render_SetScreenSize(0, 0);
  Movie_StartCapture();
  EXPECT_EQ(Movie_IsCapturing(), 0);
}

TEST_F(CaptureTest, FailedWriteLogsOnceAndStops) {
  if (!FileExists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  ASSERT_EQ(symlink("/dev/full", "demo.avi.tmp"), 0);
  Render_SetScreenSize(320, 240);
  Movie_StartCapture();
  if (!Movie_IsCapturing()) GTEST_SKIP() << "the header write already failed";
  for (int i = 0; i < 5000 && Movie_IsCapturing(); i++) Movie_CaptureFrame();
  EXPECT_EQ(Movie_IsCapturing(), 0);
  EXPECT_EQ(CountOccurrences(ReadFile("log"), "Movie_CaptureFrame: write failed"), 1);
  EXPECT_FALSE(FileExists("demo.avi"));
}
