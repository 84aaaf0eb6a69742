// The video players: texture sizes and draw rectangles, WMV frame selection on the frame clock,
// the AVI player's opening, restarting and key times, the WMA decoder, screen
// capture, and the media layer underneath. GL calls go to the recording dispatch table.
#include <gtest/gtest.h>

// Test video specs name only the fields they change.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "platform/media_ffmpeg.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/video.h"
#include "support/test_support.h"
#include "tools/media_writer.h"
#include "world/game.h"

using tw_test::CountOccurrences;
using tw_test::FileExists;
using tw_test::ReadBytes;
using tw_test::ReadFile;
using tw_test::TempDir;

namespace {

// Frame number shown by a bottom-up BGRA buffer (its centre colour).
int ShownFrame(const uint8_t* px, uint32_t w, uint32_t h) {
  const uint8_t* p = px + (size_t(h / 2) * w + w / 2 + w / 8) * 4;
  uint8_t rgb[3] = {p[2], p[1], p[0]};
  return Tools_MatchTestFrame(rgb);
}

// Runs with the recording GL table as the OpenGL back end, frame clock and time scale reset.
class VideoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GlDispatch_InstallRecording();
    RenderApi = RENDER_API_OPENGL;
    GlExtFlags = GlExtFlagSet{};
    TimeScale = 1.0f;
    Timer_FrameDelta = 0;
    Log_Open();
  }
  void TearDown() override {
    Movie_PlayAvi("", 0, 0, nullptr);
    Log_Close();
    RenderApi = RENDER_API_NONE;
    GlDispatch_Clear();
  }
  static int Count(const std::string& prefix) {
    int n = 0;
    for (const auto& c : GlRecord_Calls())
      if (c.rfind(prefix, 0) == 0) n++;
    return n;
  }
  // The texture coordinates of the last drawn picture's top-right corner.
  static std::string TopRightTexCoord() {
    std::vector<std::string> tc;
    for (const auto& c : GlRecord_Calls())
      if (c.rfind("glTexCoord2fv", 0) == 0) tc.push_back(c);
    return tc.size() == 6 ? tc[2] : "not two triangles";
  }
  TempDir dir_;
};

bool WriteWmv(const char* path, int w, int h, int frames, int gop = 6) {
  return Tools_WriteTestVideo(path, {.container = "asf", .codec = "wmv2", .width = w, .height = h, .frames = frames, .gop = gop});
}

bool WriteAvi(const char* path, int frames, int gop) {
  return Tools_WriteTestVideo(path, {.codec = "mpeg4", .frames = frames, .gop = gop});
}

}  // namespace

TEST(VideoSizes, TextureSizesAndFittedRectangles) {
  // Power-of-two textures (the frame scaled to fit 1024), or the picture's own size.
  const uint32_t sizes[][5] = {{320, 240, 1, 512, 256}, {320, 240, 0, 320, 240}, {1, 1024, 1, 1, 1024},
                               {1600, 1025, 1, 1024, 1024}};
  for (const auto& c : sizes) {
    uint32_t w = 0, h = 0;
    Movie_GetTextureSize(c[0], c[1], int(c[2]), &w, &h);
    EXPECT_EQ(std::vector<uint32_t>({w, h}), std::vector<uint32_t>({c[3], c[4]})) << c[0] << "x" << c[1];
  }
  // On the 640 x 480 screen: whole, letterboxed, pillarboxed.
  const float rects[][6] = {{320, 240, 0, 0, 640, 480}, {640, 272, 0, 104, 640, 376}, {240, 480, 200, 0, 440, 480}};
  for (const auto& c : rects) {
    float r[4];
    ASSERT_EQ(Movie_FitRect(int(c[0]), int(c[1]), r), 1);
    for (int i = 0; i < 4; i++) EXPECT_NEAR(r[i], c[2 + i], 1e-3) << c[0] << "x" << c[1] << " " << i;
  }
  float r[4];
  EXPECT_EQ(Movie_FitRect(0, 240, r) + Movie_FitRect(320, 0, r), 0);
}

TEST_F(VideoTest, AWmvWiderThanTheLargestTextureIsScaledIntoItOneWithoutPictureDrawsNothing) {
  // A picture wider than the largest texture is scaled into it, and drawn whole, never beyond.
  ASSERT_TRUE(WriteWmv("wide.wmv", 1600, 32, 2));
  MovieWmv* m = Movie_OpenWmv("wide");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->frameWidth + m->textureWidth, 2048u);
  Timer_FrameDelta = 0.01;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(Count(GlRecord_Format("glTexSubImage2D", GL_TEXTURE_2D, 0, 0, 0, 1024, 32, GL_BGRA, GL_UNSIGNED_BYTE,
                                  static_cast<const void*>(m->sampleBuffer))),
            1);
  GlRecord_Clear();
  Movie_DrawWmv(m, nullptr);
  EXPECT_EQ(TopRightTexCoord(), "glTexCoord2fv([1, 1])");
  Movie_CloseWmv(&m);
  EXPECT_EQ(m, nullptr);
  // A WMV without a picture: the record exists, there is nothing to show.
  ASSERT_TRUE(Tools_WriteTestSound("mute.wmv", "asf", "wmav2", 22050, 1, 0.3));
  m = Movie_OpenWmv("mute");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->texture, 0u);
  Timer_FrameDelta = 0.1;
  EXPECT_EQ(Movie_UpdateWmv(m), 0);
  GlRecord_Clear();
  Movie_DrawWmv(m, nullptr);
  EXPECT_TRUE(GlRecord_Calls().empty());
  Movie_CloseWmv(&m);
  EXPECT_EQ(Movie_OpenWmv("missing"), nullptr);
  EXPECT_EQ(Movie_UpdateWmv(nullptr), 0);
}

// A frame goes up with rows aligned to 4 bytes; the alignment is put back to 1 after it, since
// every other upload has byte-aligned rows.
TEST_F(VideoTest, AFrameUploadPutsTheRowAlignmentBack) {
  ASSERT_TRUE(WriteWmv("small.wmv", 64, 32, 2));
  MovieWmv* m = Movie_OpenWmv("small");
  ASSERT_NE(m, nullptr);
  Timer_FrameDelta = 0.01;
  GlRecord_Clear();
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  const auto& calls = GlRecord_Calls();
  auto upload = std::find_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("glTexSubImage2D", 0) == 0; });
  ASSERT_NE(upload, calls.end());
  EXPECT_EQ(*(upload - 1), GlRecord_Format("glPixelStorei", GL_UNPACK_ALIGNMENT, 4));
  EXPECT_EQ(calls.back(), GlRecord_Format("glPixelStorei", GL_UNPACK_ALIGNMENT, 1));
  Movie_CloseWmv(&m);
}

TEST_F(VideoTest, WmvFollowsTheFrameClockAndRewindsAtTheEnd) {
  ASSERT_TRUE(WriteWmv("c.wmv", 64, 48, 8, 4));
  MovieWmv* m = Movie_OpenWmv("c");
  ASSERT_NE(m, nullptr);
  // Each update reads the frames due by the clock and shows the last one read (the first one
  // beyond the clock). Steps of 0.05 s against frames every 1/24 s:
  Timer_FrameDelta = 0.05;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);  // clock 0.05: frames 0, 1, 2
  ASSERT_EQ(Movie_UpdateWmv(m), 1);  // clock 0.10: frame 3
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 3);
  // The time scale shortens the step: nothing new is due.
  TimeScale = 0.2f;
  GlRecord_Clear();
  ASSERT_EQ(Movie_UpdateWmv(m), 1);  // clock 0.11
  ASSERT_EQ(Movie_UpdateWmv(m), 1);  // clock 0.12
  EXPECT_EQ(Count("glTexSubImage2D"), 0);
  TimeScale = 1.0f;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);  // clock 0.17: frames 4, 5
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 5);
  EXPECT_EQ(Count("glTexSubImage2D"), 1);
  // A long step runs into the end: 0 and rewound.
  Timer_FrameDelta = 10.0;
  EXPECT_EQ(Movie_UpdateWmv(m), 0);
  // The next call plays from the start.
  Timer_FrameDelta = 0.0;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 1);
  // Five frames at most per update, however many are due.
  Timer_FrameDelta = 1.0;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 6);
  Movie_CloseWmv(&m);
}

TEST_F(VideoTest, AviKeepsItsFileKnowsItsKeyTimesRestartsPastTheEndAndFailedOpensAreNotRetried) {
  ASSERT_TRUE(WriteAvi("menu.avi", 40, 12));
  const MovieAviState* s = Movie_GetAviState();
  const int base = s->opens;
  uint32_t tex = Movie_PlayAvi("menu", 0.0f, 0, nullptr);
  EXPECT_NE(tex, 0u);
  EXPECT_EQ(s->frameCount, 40);
  EXPECT_EQ(Movie_PlayAvi("MENU", 0.5f, 0, nullptr), tex);  // the name compares without case
  EXPECT_EQ(s->opens, base + 1);
  EXPECT_EQ(ShownFrame(s->frameBuffer, s->frameWidth, s->frameHeight), 12);
  // The same frame is not decoded or uploaded again.
  GlRecord_Clear();
  Movie_PlayAvi("menu", 0.52f, 0, nullptr);
  EXPECT_EQ(Count("glTexSubImage2D"), 0);
  Movie_PlayAvi("menu", 0.3f, 0, nullptr);  // backwards
  EXPECT_EQ(Count("glTexSubImage2D"), 1);
  EXPECT_EQ(ShownFrame(s->frameBuffer, s->frameWidth, s->frameHeight), 7);
  EXPECT_NEAR(Movie_GetAviPosition(0.625f), 0.375f, 1e-6);
  // 24 frames a second, a key frame every 12: frames 0, 12, 24, 36 at 0, 500, 1000, 1500 ms.
  for (auto [t, key] : {std::pair{0.45f, 0.001f}, {0.5f, 0.501f}, {0.99f, 0.501f}, {1.6f, 1.501f}})
    EXPECT_NEAR(Movie_GetAviKeyTime(t), key, 1e-6) << t;
  // Past the last frame: reopened and back at frame 0.
  Movie_PlayAvi("menu", 5.0f, 0, nullptr);
  EXPECT_EQ(s->opens, base + 2);
  EXPECT_EQ(ShownFrame(s->frameBuffer, s->frameWidth, s->frameHeight), 0);
  Movie_PlayAvi("menu", 0.1f, 1, nullptr);  // the reopen flag
  EXPECT_EQ(s->opens, base + 3);
  EXPECT_EQ(Movie_PlayAvi("", 0.0f, 0, nullptr), 0u);  // an empty name closes
  EXPECT_EQ(s->reader, nullptr);
  // A failed open stops and is not retried.
  EXPECT_EQ(Movie_PlayAvi("nothere", 0.0f, 0, nullptr), 0u);
  EXPECT_EQ(s->opens, base + 4);
  Movie_PlayAvi("nothere", 0.1f, 0, nullptr);
  EXPECT_EQ(s->opens, base + 4);  // the name stays current
  EXPECT_NE(ReadFile("log").find("AVIFileOpen error["), std::string::npos);
  // Not a video; a sound without pictures; an empty stream: no decoder, no endless reopening.
  tw_test::WriteFile("junk.avi", std::string(3000, 'x'));
  EXPECT_EQ(Movie_PlayAvi("junk", 0.0f, 0, nullptr), 0u);
  EXPECT_EQ(s->reader, nullptr);
  ASSERT_TRUE(Tools_WriteTestSound("sound.avi", "avi", "pcm_s16le", 22050, 1, 0.2));
  EXPECT_EQ(Movie_PlayAvi("sound", 0.0f, 0, nullptr), 0u);
  ASSERT_TRUE(WriteAvi("empty.avi", 0, 0));
  int before = s->opens;
  Movie_PlayAvi("empty", 3.0f, 0, nullptr);
  EXPECT_EQ(s->opens, before + 1);
  EXPECT_EQ(s->reader, nullptr);
  EXPECT_EQ(Movie_GetAviPosition(1.0f), 0.0f);
  // A name too long for the state is refused.
  std::string longName(300, 'a');
  EXPECT_EQ(Movie_PlayAvi(longName.c_str(), 0.0f, 0, nullptr), 0u);
  EXPECT_STREQ(s->name, "empty");
}

TEST(VideoWma, DecoderDeliversWhatIsAskedToTheEndOrLoops) {
  TempDir dir;
  ASSERT_TRUE(Tools_WriteTestSound("tone.wma", "asf", "wmav2", 22050, 2, 0.5));
  EXPECT_EQ(Movie_WmaLoader("nothere", 0), nullptr);
  for (int loop = 0; loop < 2; loop++) {
    SoundDecoder* d = loop ? Movie_OpenWma("tone", 1) : Movie_WmaLoader("tone", 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->format->samplesPerSec * d->format->blockAlign, 22050u * 4);
    // Reads of 1000 bytes, far below a packet: each served whole until the end; when looping,
    // reads go on well past the 0.5 s of one pass.
    int64_t total = 0;
    int r = 0, shortReads = 0;
    const uint8_t* p = nullptr;
    for (int i = 0; i < 200 && (r = d->read(d, &p, 1000)) > 0; i++) {
      ASSERT_NE(p, nullptr);
      total += r;
      shortReads += r != 1000;
    }
    if (loop) {
      EXPECT_GT(r, 0);
      EXPECT_GT(total, 4 * 22050 * 4 * 0.5);
    } else {
      EXPECT_LE(shortReads, 1);
      EXPECT_NEAR(double(total), 22050 * 4 * 0.5, 2048.0 * 4 * 2);
    }
    d->free(&d);
    EXPECT_EQ(d, nullptr);
  }
}

// Frame memory from the driver: "render_NV_pixel_data_range" 2 asks for video memory, 1 for AGP
// memory, announced as the write pixel-data range and given back with it; otherwise, or when the
// driver refuses, ordinary memory.
std::vector<float> g_priorities;
bool g_refuseVideo;
void* FakeAllocateMemoryNV(GLsizei size, GLfloat, GLfloat, GLfloat priority) {
  g_priorities.push_back(priority);
  return priority == 1.0f && g_refuseVideo ? nullptr : std::calloc(size_t(size), 1);
}
void FakeFreeMemoryNV(void* p) { std::free(p); }

TEST_F(VideoTest, FrameMemoryFollowsThePixelDataRangeSetting) {
  ASSERT_TRUE(WriteWmv("p.wmv", 32, 16, 2));
  GlExtFlags.NV_pixel_data_range = 1;
  gl.glXAllocateMemoryNV = FakeAllocateMemoryNV;
  gl.glXFreeMemoryNV = FakeFreeMemoryNV;
  const struct {
    float setting;
    bool refuseVideo;
    int kind;
    std::vector<float> asked;
  } cases[] = {{2, false, 3, {1.0f}}, {1, false, 2, {0.5f}}, {0, false, 1, {}}, {2, true, 1, {1.0f}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.setting);
    render_NV_pixel_data_range.value = c.setting;
    g_refuseVideo = c.refuseVideo;
    g_priorities.clear();
    GlRecord_Clear();
    MovieWmv* m = Movie_OpenWmv("p");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->sampleBufferKind, c.kind);
    EXPECT_EQ(g_priorities, c.asked);
    int ranged = c.kind > 1;
    EXPECT_EQ(Count(GlRecord_Format("glPixelDataRangeNV", GL_WRITE_PIXEL_DATA_RANGE_NV, 32 * 16 * 4,
                                    static_cast<const void*>(m->sampleBuffer))),
              ranged);
    EXPECT_EQ(Count(GlRecord_Format("glEnableClientState", GL_WRITE_PIXEL_DATA_RANGE_NV)), ranged);
    Timer_FrameDelta = 0.01;
    EXPECT_EQ(Movie_UpdateWmv(m), 1);  // frames decode into it
    Movie_CloseWmv(&m);
    EXPECT_EQ(Count(GlRecord_Format("glDisableClientState", GL_WRITE_PIXEL_DATA_RANGE_NV)), ranged);
  }
  render_NV_pixel_data_range.value = 0;
}

// ---- Screen capture into "demo.avi" without a display: the frames come from the read-back of
// the renderer (zeros here); the file, its rate and frame count, and every way a capture can fail.

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

// Frames in a video file (-1 when it does not open); the GL test checks their pictures.
int64_t FramesOf(const std::string& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  MediaVideo* v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), 0, 0);
  if (!v) return -1;
  int64_t n = 0;
  while (MediaVideo_DecodeNext(v, nullptr, nullptr) == 1) n++;
  MediaVideo_Close(v);
  return n;
}

}  // namespace

// Written under a temporary name until stopped; a new capture replaces the file; starting again
// or a mode change finishes the capture; a failed start leaves nothing.
TEST_F(CaptureTest, WritesTheFileWhenStoppedRestartedOrTheModeChangesAndAFailedStartLeavesNothing) {
  Movie_CaptureFrame();  // nothing while not recording
  Movie_StartCapture();
  ASSERT_EQ(Movie_IsCapturing(), 1);
  for (int i = 0; i < 7; i++) Movie_CaptureFrame();
  EXPECT_FALSE(FileExists("demo.avi"));
  Movie_StopCapture();
  EXPECT_EQ(Movie_IsCapturing(), 0);
  EXPECT_FALSE(FileExists("demo.avi.tmp"));
  EXPECT_EQ(FramesOf("demo.avi"), 7);
  Movie_StartCapture();
  Movie_CaptureFrame();
  Movie_CaptureFrame();
  Movie_StartCapture();
  ASSERT_EQ(Movie_IsCapturing(), 1);
  EXPECT_EQ(FramesOf("demo.avi"), 2);
  Movie_CaptureFrame();
  Render_SetScreenSize(128, 96);
  Movie_CaptureFrame();
  EXPECT_EQ(Movie_IsCapturing(), 0);
  EXPECT_EQ(FramesOf("demo.avi"), 1);
  EXPECT_NE(ReadFile("log").find("display mode changed"), std::string::npos);
  // A failed start leaves nothing.
  std::remove("demo.avi");
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

// ---- The media layer underneath: memory stream bounds, decoding of the videos our writers make,
// frame selection and key frames, refusals, and the raw-stream dump.

namespace {

struct Video {
  std::vector<uint8_t> bytes;
  MediaVideo* v = nullptr;
  explicit Video(const std::string& path, int maxW = 0, int maxH = 0) : bytes(ReadBytes(path)) {
    v = MediaVideo_Open(bytes.data(), uint32_t(bytes.size()), maxW, maxH);
  }
  ~Video() { MediaVideo_Close(v); }
};

TEST_F(VideoTest, Direct3D8PlayersMakeMaterialsOfTheirOwn) {
  RenderApi = RENDER_API_D3D8;
  ASSERT_TRUE(WriteWmv("d.wmv", 96, 64, 3));
  ASSERT_TRUE(WriteAvi("d.avi", 3, 0));
  MovieWmv* m = Movie_OpenWmv("d");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->textureWidth, 96u);  // the picture size: no power-of-two texture
  uint32_t avi = Movie_PlayAvi("d", 0.0f, 0, nullptr);
  EXPECT_NE(avi * m->texture, 0u);
  EXPECT_NE(avi, m->texture);  // a WMV and an AVI never share a material
  Timer_FrameDelta = 0.05;
  EXPECT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(Count("glTexSubImage2D"), 0);
  Movie_CloseWmv(&m);
}

TEST(MediaVideo, RefusesWhatIsNoPictureAndAudioWhatIsNoSound) {
  TempDir dir;
  ASSERT_TRUE(Tools_WriteTestSound("s.wma", "asf", "wmav2", 22050, 1, 0.5));
  Video sound("s.wma");
  EXPECT_EQ(sound.v, nullptr);
  std::vector<uint8_t> junk(5000, 0x41);
  EXPECT_EQ(MediaVideo_Open(junk.data(), uint32_t(junk.size()), 0, 0), nullptr);
  EXPECT_EQ(MediaVideo_Open(nullptr, 0, 0, 0), nullptr);
  // And a video is no sound.
  ASSERT_TRUE(Tools_WriteTestVideo("v.avi", {}));
  std::vector<uint8_t> bytes = ReadBytes("v.avi");
  EXPECT_EQ(MediaAudio_Open(bytes.data(), uint32_t(bytes.size())), nullptr);
}

}  // namespace

TEST(MediaStream, ReadAndSeekStayInsideTheData) {
  uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
  MediaMemStream s;
  MediaStream_Init(&s, data, 10);
  uint8_t buf[32];
  EXPECT_EQ(MediaStream_Read(&s, buf, 4) + MediaStream_Read(&s, buf, 32), 10u);
  EXPECT_EQ(buf[5], 9);
  EXPECT_EQ(MediaStream_Read(&s, buf, 32), 0u);  // at the end: nothing
  // Offset, origin, position: past either end is clamped.
  const int64_t seeks[][3] = {{0, 2, 10}, {1000, 2, 10}, {int64_t(1) << 40, 1, 10}, {-1000, 1, 0}};
  for (const auto& k : seeks) {
    uint32_t pos = 99;
    ASSERT_EQ(MediaStream_Seek(&s, k[0], int(k[1]), &pos), 1);
    EXPECT_EQ(pos, uint32_t(k[2])) << k[0];
  }
  uint32_t pos = 0;
  ASSERT_EQ(MediaStream_Seek(&s, 7, 0, &pos), 1);
  EXPECT_EQ(MediaStream_Read(&s, buf, 32), 3u);
  EXPECT_EQ(buf[0], 7);
  EXPECT_EQ(MediaStream_Seek(&s, 0, 3, &pos), 0);  // unknown origin
  EXPECT_EQ(s.position, 10u);
}

TEST(MediaVideo, AviFrameSelectionAndKeyFrames) {
  TempDir dir;
  ASSERT_TRUE(WriteAvi("b.avi", 30, 12));
  Video v("b.avi");
  ASSERT_NE(v.v, nullptr);
  MediaVideoInfo info;
  MediaVideo_GetInfo(v.v, &info);
  EXPECT_EQ(info.frameCount, 30);
  std::vector<uint8_t> px(size_t(info.width) * info.height * 4);
  // Out of order: forward jumps, backward jumps, repeats.
  for (int f : {0, 1, 5, 20, 3, 29, 29, 12, 13}) {
    ASSERT_EQ(MediaVideo_DecodeFrame(v.v, f), 1) << f;
    ASSERT_EQ(MediaVideo_ConvertLast(v.v, px.data()), 1);
    EXPECT_EQ(ShownFrame(px.data(), info.width, info.height), f);
  }
  EXPECT_EQ(MediaVideo_DecodeFrame(v.v, 30), 0);
  EXPECT_EQ(MediaVideo_DecodeFrame(v.v, -1), 0);
  for (auto [frame, key] : {std::pair{0, 0}, {11, 0}, {12, 12}, {23, 12}, {25, 24}})
    EXPECT_EQ(MediaVideo_FindKeyFrame(v.v, frame), key) << frame;
}

TEST(MediaDump, CopiesTheRawStream) {
  TempDir dir;
  ASSERT_TRUE(Tools_WriteTestVideo("d.avi", {.frames = 6, .audioCodec = "pcm_s16le"}));
  std::vector<uint8_t> bytes = ReadBytes("d.avi");
  std::vector<uint8_t> out;
  auto write = [](const void* b, size_t n, void* user) -> int {
    auto* o = static_cast<std::vector<uint8_t>*>(user);
    o->insert(o->end(), static_cast<const uint8_t*>(b), static_cast<const uint8_t*>(b) + n);
    return 1;
  };
  int64_t audio = Media_DumpStream(bytes.data(), uint32_t(bytes.size()), 2, 1 << 20, write, &out);
  EXPECT_EQ(audio, int64_t(out.size()));
  EXPECT_EQ(audio, int64_t(22050 / 24) * 6 * 2);
  out.clear();
  int64_t video = Media_DumpStream(bytes.data(), uint32_t(bytes.size()), 1, 1 << 20, write, &out);
  ASSERT_GT(video, 1);
  EXPECT_EQ(out[0] << 8 | out[1], 0xFFD8);  // a JPEG start marker
}

// The encoder refuses a picture of no width, a folder that is not there and a codec it does not
// know, and makes no file for any of them.
TEST(MediaEncoder, RefusesBadParametersAndPaths) {
  tw_test::TempDir dir;
  MediaEncodeParams p{};
  p.container = "avi";
  p.videoCodec = "mjpeg";
  p.width = 0;
  p.height = 64;
  p.frameRate = 24;
  EXPECT_EQ(MediaEnc_Open("x.avi", &p), nullptr);
  p.width = 64;
  EXPECT_EQ(MediaEnc_Open("no/such/dir/x.avi", &p), nullptr);
  p.videoCodec = "nosuchcodec";
  EXPECT_EQ(MediaEnc_Open("x.avi", &p), nullptr);
  EXPECT_FALSE(tw_test::FileExists("x.avi"));
}
