// The video players: texture sizes and draw rectangles, WMV frame selection on the frame clock,
// the AVI player's opening, restarting and key times, the WMA decoder, archive playback and the
// raw-stream dump. GL calls go to the recording dispatch table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/video.h"
#include "support/test_support.h"
#include "tools/media_writer.h"
#include "tools/zipwriter.h"
#include "world/game.h"

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
  // The start of a recorded call with these first arguments (the rest not compared).
  template <typename... A>
  static std::string Head(const char* name, A... args) {
    std::string f = GlRecord_Format(name, args...);
    f.pop_back();
    return f + ", ";
  }
  static std::vector<std::string> Calls(const std::string& prefix) {
    std::vector<std::string> out;
    for (const auto& c : GlRecord_Calls())
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }
  TempDir dir_;
};

bool WriteWmv(const char* path, int w, int h, int frames, int gop = 6) {
  TestVideoSpec s;
  s.container = "asf";
  s.codec = "wmv2";
  s.width = w;
  s.height = h;
  s.frames = frames;
  s.gop = gop;
  return Tools_WriteTestVideo(path, s);
}

bool WriteAvi(const char* path, int frames, int gop, const char* codec = "mpeg4", int w = 64, int h = 48) {
  TestVideoSpec s;
  s.codec = codec;
  s.width = w;
  s.height = h;
  s.frames = frames;
  s.gop = gop;
  return Tools_WriteTestVideo(path, s);
}

}  // namespace

TEST(VideoSizes, TextureSizesOfThePowerOfTwoPath) {
  uint32_t w, h;
  Movie_GetTextureSize(320, 240, 1, &w, &h);
  EXPECT_EQ(w, 512u);
  EXPECT_EQ(h, 256u);
  Movie_GetTextureSize(320, 240, 0, &w, &h);
  EXPECT_EQ(w, 320u);
  EXPECT_EQ(h, 240u);
  Movie_GetTextureSize(1, 1024, 1, &w, &h);
  EXPECT_EQ(w, 1u);
  EXPECT_EQ(h, 1024u);
  Movie_GetTextureSize(1600, 1025, 1, &w, &h);  // the frame is scaled to fit 1024
  EXPECT_EQ(w, 1024u);
  EXPECT_EQ(h, 1024u);
}

TEST(VideoSizes, FittedRectangles) {
  float r[4];
  ASSERT_EQ(Movie_FitRect(320, 240, r), 1);
  EXPECT_FLOAT_EQ(r[0], 0);
  EXPECT_FLOAT_EQ(r[1], 0);
  EXPECT_FLOAT_EQ(r[2], 640);
  EXPECT_FLOAT_EQ(r[3], 480);
  ASSERT_EQ(Movie_FitRect(640, 272, r), 1);  // letterboxed
  EXPECT_FLOAT_EQ(r[0], 0);
  EXPECT_NEAR(r[1], 104, 1e-3);
  EXPECT_FLOAT_EQ(r[2], 640);
  EXPECT_NEAR(r[3], 376, 1e-3);
  ASSERT_EQ(Movie_FitRect(240, 480, r), 1);  // pillarboxed
  EXPECT_NEAR(r[0], 200, 1e-3);
  EXPECT_NEAR(r[2], 440, 1e-3);
  EXPECT_FLOAT_EQ(r[1], 0);
  EXPECT_FLOAT_EQ(r[3], 480);
  EXPECT_EQ(Movie_FitRect(0, 240, r), 0);
  EXPECT_EQ(Movie_FitRect(320, 0, r), 0);
}

TEST_F(VideoTest, WmvTextureAndDrawOnThePowerOfTwoPath) {
  ASSERT_TRUE(WriteWmv("clip.wmv", 320, 240, 3));
  MovieWmv* m = Movie_OpenWmv("clip");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->videoWidth, 320u);
  EXPECT_EQ(m->frameRate, 24u);
  EXPECT_EQ(m->textureWidth, 512u);
  EXPECT_EQ(m->textureHeight, 256u);
  EXPECT_EQ(Count(Head("glTexImage2D", GL_TEXTURE_2D, 0, GL_RGB8, 512, 256, 0, GL_BGRA, GL_UNSIGNED_BYTE)),
            1);
  EXPECT_NE(ReadFile("log").find("WMVGenTexture 320x240 -> 512x256\n"), std::string::npos);
  GlRecord_Clear();
  Movie_DrawWmv(m, nullptr);
  // Two triangles: top-left, bottom-left, top-right and bottom-right, top-right, bottom-left.
  std::vector<std::string> tc = Calls("glTexCoord2fv"), vx = Calls("glVertex3fv");
  ASSERT_EQ(tc.size(), 6u);
  ASSERT_EQ(vx.size(), 6u);
  EXPECT_EQ(tc[0], "glTexCoord2fv([0, 0.9375])");
  EXPECT_EQ(tc[1], "glTexCoord2fv([0, 0])");
  EXPECT_EQ(tc[2], "glTexCoord2fv([0.625, 0.9375])");
  EXPECT_EQ(tc[3], "glTexCoord2fv([0.625, 0])");
  EXPECT_EQ(vx[0], "glVertex3fv([-320, 320, 240])");
  EXPECT_EQ(vx[1], "glVertex3fv([-320, 320, -240])");
  EXPECT_EQ(vx[2], "glVertex3fv([320, 320, 240])");
  EXPECT_EQ(vx[3], "glVertex3fv([320, 320, -240])");
  Movie_CloseWmv(&m);
  EXPECT_EQ(m, nullptr);
  Movie_CloseWmv(&m);  // nothing for NULL
}

TEST_F(VideoTest, RectangleTexturesUseTheVideoSizeAndTexelCoordinates) {
  GlExtFlags.NV_texture_rectangle = 1;
  ASSERT_TRUE(WriteWmv("r.wmv", 96, 64, 2));
  MovieWmv* m = Movie_OpenWmv("r");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->textureWidth, 96u);
  EXPECT_EQ(m->textureHeight, 64u);
  EXPECT_EQ(Count(Head("glTexImage2D", GL_TEXTURE_RECTANGLE_NV, 0, GL_RGB8, 96, 64, 0, GL_BGRA, GL_UNSIGNED_BYTE)),
            1);
  GlRecord_Clear();
  const float rect[4] = {10, 20, 110, 220};
  Movie_DrawWmv(m, rect);
  std::vector<std::string> tc = Calls("glTexCoord2fv"), vx = Calls("glVertex3fv");
  ASSERT_EQ(tc.size(), 6u);
  EXPECT_EQ(tc[2], "glTexCoord2fv([96, 64])");
  EXPECT_EQ(vx[0], "glVertex3fv([-310, 320, 220])");
  EXPECT_EQ(vx[3], "glVertex3fv([-210, 320, 20])");
  EXPECT_EQ(Count(GlRecord_Format("glEnable", GL_TEXTURE_RECTANGLE_NV)), 1);
  EXPECT_EQ(Count(GlRecord_Format("glDisable", GL_TEXTURE_RECTANGLE_NV)), 1);
  Movie_CloseWmv(&m);
}

TEST_F(VideoTest, WidePictureIsScaledIntoTheLargestTexture) {
  TestVideoSpec s;
  s.width = 1600;
  s.height = 32;
  s.frames = 2;
  s.container = "asf";
  s.codec = "wmv2";
  ASSERT_TRUE(Tools_WriteTestVideo("wide.wmv", s));
  MovieWmv* m = Movie_OpenWmv("wide");
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->videoWidth, 1600u);
  EXPECT_EQ(m->frameWidth, 1024u);
  EXPECT_EQ(m->textureWidth, 1024u);
  Timer_FrameDelta = 0.01;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(Count(GlRecord_Format("glTexSubImage2D", GL_TEXTURE_2D, 0, 0, 0, 1024, 32, GL_BGRA, GL_UNSIGNED_BYTE,
                                  static_cast<const void*>(m->sampleBuffer))),
            1);
  GlRecord_Clear();
  Movie_DrawWmv(m, nullptr);
  std::vector<std::string> tc = Calls("glTexCoord2fv");
  ASSERT_EQ(tc.size(), 6u);
  EXPECT_EQ(tc[2], "glTexCoord2fv([1, 1])");  // the whole texture, never beyond
  Movie_CloseWmv(&m);
}

TEST_F(VideoTest, WmvFollowsTheFrameClockAndRewindsAtTheEnd) {
  ASSERT_TRUE(WriteWmv("c.wmv", 64, 48, 8, 4));
  MovieWmv* m = Movie_OpenWmv("c");
  ASSERT_NE(m, nullptr);
  ASSERT_NE(m->sampleBuffer, nullptr);
  // Each update reads the frames due by the clock and shows the last one read (the first one
  // beyond the clock). Steps of 0.05 s against frames every 1/24 s:
  Timer_FrameDelta = 0.05;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);  // clock 0.05: frames 0, 1, 2
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 2);
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
  EXPECT_EQ(m->clock, 0.0f);
  EXPECT_EQ(m->nextSampleTime, 0.0f);
  // The next call plays from the start.
  Timer_FrameDelta = 0.0;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 1);
  Movie_CloseWmv(&m);
}

TEST_F(VideoTest, FiveFramesAtMostPerUpdate) {
  ASSERT_TRUE(WriteWmv("f.wmv", 64, 48, 12, 12));
  MovieWmv* m = Movie_OpenWmv("f");
  ASSERT_NE(m, nullptr);
  Timer_FrameDelta = 1.0;  // 24 frames are due
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 4);
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 9);
  Movie_CloseWmv(&m);
}

TEST_F(VideoTest, WmvWithoutPictureDrawsNothing) {
  ASSERT_TRUE(Tools_WriteTestSound("mute.wmv", "asf", "wmav2", 22050, 1, 0.3));
  MovieWmv* m = Movie_OpenWmv("mute");
  ASSERT_NE(m, nullptr);  // the record exists; there is nothing to show
  EXPECT_EQ(m->texture, 0u);
  Timer_FrameDelta = 0.1;
  EXPECT_EQ(Movie_UpdateWmv(m), 0);
  GlRecord_Clear();
  Movie_DrawWmv(m, nullptr);
  EXPECT_TRUE(GlRecord_Calls().empty());
  Movie_CloseWmv(&m);
  EXPECT_EQ(Movie_OpenWmv("missing"), nullptr);
  EXPECT_EQ(Movie_OpenWmv(""), nullptr);
  EXPECT_EQ(Movie_UpdateWmv(nullptr), 0);
}

TEST_F(VideoTest, WmvPlaysFromAnArchiveMember) {
  TestVideoSpec spec;
  spec.container = "asf";
  spec.codec = "wmv2";
  spec.frames = 3;
  ASSERT_TRUE(Tools_WriteVideoArchive("main/data00.twk", "video/packed.wmv", spec));
  File_Init();
  MovieWmv* m = Movie_OpenWmv("video\\packed");
  ASSERT_NE(m, nullptr);
  Timer_FrameDelta = 0.05;
  ASSERT_EQ(Movie_UpdateWmv(m), 1);
  EXPECT_EQ(ShownFrame(m->sampleBuffer, m->frameWidth, m->frameHeight), 2);
  Movie_CloseWmv(&m);
  File_Shutdown();
}

TEST_F(VideoTest, AviKeepsItsFileAndRestartsPastTheEnd) {
  ASSERT_TRUE(WriteAvi("menu.avi", 30, 12));
  const MovieAviState* s = Movie_GetAviState();
  const int base = s->opens;
  uint32_t tex = Movie_PlayAvi("menu", 0.0f, 0, nullptr);
  EXPECT_NE(tex, 0u);
  EXPECT_EQ(s->opens, base + 1);
  EXPECT_EQ(s->currentFrame, 0);
  EXPECT_EQ(s->frameCount, 30);
  EXPECT_EQ(ShownFrame(s->frameBuffer, s->frameWidth, s->frameHeight), 0);
  EXPECT_EQ(Movie_PlayAvi("MENU", 0.5f, 0, nullptr), tex);  // the name compares without case
  EXPECT_EQ(s->opens, base + 1);
  EXPECT_EQ(s->currentFrame, 12);
  EXPECT_EQ(ShownFrame(s->frameBuffer, s->frameWidth, s->frameHeight), 12);
  // The same frame is not decoded or uploaded again.
  GlRecord_Clear();
  Movie_PlayAvi("menu", 0.52f, 0, nullptr);
  EXPECT_EQ(Count("glTexSubImage2D"), 0);
  Movie_PlayAvi("menu", 0.3f, 0, nullptr);  // backwards
  EXPECT_EQ(Count("glTexSubImage2D"), 1);
  EXPECT_EQ(ShownFrame(s->frameBuffer, s->frameWidth, s->frameHeight), 7);
  EXPECT_NEAR(Movie_GetAviPosition(0.625f), 0.5f, 1e-6);
  // Past the last frame: reopened and back at frame 0.
  Movie_PlayAvi("menu", 5.0f, 0, nullptr);
  EXPECT_EQ(s->opens, base + 2);
  EXPECT_EQ(s->currentFrame, 0);
  EXPECT_EQ(ShownFrame(s->frameBuffer, s->frameWidth, s->frameHeight), 0);
  // The reopen flag opens again.
  Movie_PlayAvi("menu", 0.1f, 1, nullptr);
  EXPECT_EQ(s->opens, base + 3);
  // An empty name closes.
  EXPECT_EQ(Movie_PlayAvi("", 0.0f, 0, nullptr), 0u);
  EXPECT_EQ(s->name[0], 0);
  EXPECT_EQ(s->reader, nullptr);
  EXPECT_EQ(Movie_GetAviPosition(1.0f), 0.0f);
  EXPECT_EQ(Movie_GetAviKeyTime(1.0f), 0.0f);
}

TEST_F(VideoTest, AviKeyTimesFollowTheKeyFrameSpacing) {
  ASSERT_TRUE(WriteAvi("keys.avi", 40, 12));
  Movie_PlayAvi("keys", 0.0f, 0, nullptr);
  // 24 frames a second, a key frame every 12: frames 0, 12, 24, 36 at 0, 500, 1000, 1500 ms.
  EXPECT_NEAR(Movie_GetAviKeyTime(0.0f), 0.001f, 1e-6);
  EXPECT_NEAR(Movie_GetAviKeyTime(0.45f), 0.001f, 1e-6);
  EXPECT_NEAR(Movie_GetAviKeyTime(0.5f), 0.501f, 1e-6);
  EXPECT_NEAR(Movie_GetAviKeyTime(0.99f), 0.501f, 1e-6);
  EXPECT_NEAR(Movie_GetAviKeyTime(1.2f), 1.001f, 1e-6);
  EXPECT_NEAR(Movie_GetAviKeyTime(1.6f), 1.501f, 1e-6);
}

TEST_F(VideoTest, AviOpenFailuresStopAndAreNotRetried) {
  const MovieAviState* s = Movie_GetAviState();
  const int base = s->opens;
  EXPECT_EQ(Movie_PlayAvi("nothere", 0.0f, 0, nullptr), 0u);
  EXPECT_EQ(s->opens, base + 1);
  Movie_PlayAvi("nothere", 0.1f, 0, nullptr);
  EXPECT_EQ(s->opens, base + 1);  // the name stays current
  std::string log = ReadFile("log");
  EXPECT_NE(log.find("AVIFileOpen error["), std::string::npos) << log;
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

TEST_F(VideoTest, AviStreamDumpWritesTheRawPictures) {
  ASSERT_TRUE(WriteAvi("dump.avi", 4, 0, "mjpeg"));
  static VarRecord drawAvi = {"render_drawavi", 0, VAR_NUMERIC, 1, "", 0, nullptr};
  Var_Register(&drawAvi);
  VarRecord* v = Var_Find("render_drawavi");
  ASSERT_NE(v, nullptr);
  float old = v->value;
  v->value = 1;
  Movie_PlayAvi("dump", 0.0f, 0, nullptr);
  v->value = old;
  std::vector<uint8_t> out = ReadBytes("out.out");
  ASSERT_GT(out.size(), 4u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xD8);
  EXPECT_NE(ReadFile("log").find("AVIStreamLength=4\n"), std::string::npos);
  Var_ResetTable();
}

TEST(VideoErrors, AviErrorNames) {
  EXPECT_STREQ(Movie_GetAviErrorName(int(AVIERR_UNSUPPORTED)), "AVIERR_UNSUPPORTED");
  EXPECT_STREQ(Movie_GetAviErrorName(int(AVIERR_FILEOPEN)), "AVIERR_FILEOPEN");
  EXPECT_STREQ(Movie_GetAviErrorName(int(AVIERR_ERROR)), "AVIERR_ERROR");
  EXPECT_STREQ(Movie_GetAviErrorName(0), "Unknown AVIERR");
}

TEST(VideoWma, DecoderDeliversWhatIsAskedAndEndsAtTheEnd) {
  TempDir dir;
  ASSERT_TRUE(Tools_WriteTestSound("tone.wma", "asf", "wmav2", 22050, 2, 0.5));
  SoundDecoder* d = Movie_WmaLoader("tone", 0);
  ASSERT_NE(d, nullptr);
  ASSERT_NE(d->format, nullptr);
  EXPECT_EQ(d->formatSize, 18u);
  EXPECT_EQ(d->format->formatTag, 1);
  EXPECT_EQ(d->format->channels, 2);
  EXPECT_EQ(d->format->samplesPerSec, 22050u);
  EXPECT_EQ(d->format->bitsPerSample, 16);
  EXPECT_EQ(d->format->blockAlign, 4);
  EXPECT_EQ(d->data, nullptr);
  EXPECT_EQ(d->dataSize, 0u);
  EXPECT_STREQ(d->name, "tone");
  uint32_t a, b, c, e;
  EXPECT_EQ(d->info(d, &a, &b, &c, &e), 0);
  // Reads of 1000 bytes, far below a packet: each served whole until the end.
  int64_t total = 0;
  int r, shortReads = 0;
  const uint8_t* p = nullptr;
  while ((r = d->read(d, &p, 1000)) > 0) {
    ASSERT_NE(p, nullptr);
    total += r;
    if (r != 1000) shortReads++;
  }
  EXPECT_LT(r, 0);
  EXPECT_LE(shortReads, 1);
  EXPECT_NEAR(double(total), 22050 * 4 * 0.5, 2048.0 * 4 * 2);
  d->free(&d);
  EXPECT_EQ(d, nullptr);
  EXPECT_EQ(Movie_WmaLoader("nothere", 0), nullptr);
}

TEST(VideoWma, LoopingDecoderStartsAgain) {
  TempDir dir;
  ASSERT_TRUE(Tools_WriteTestSound("loop.wma", "asf", "wmav2", 22050, 1, 0.2));
  SoundDecoder* d = Movie_OpenWma("loop", 1);
  ASSERT_NE(d, nullptr);
  int64_t total = 0;
  const uint8_t* p;
  for (int i = 0; i < 100; i++) {
    int r = d->read(d, &p, 4096);
    ASSERT_GT(r, 0) << i;
    total += r;
  }
  EXPECT_EQ(total, 100 * 4096);  // well past the 0.2 s of one pass
  d->free(&d);
}

TEST_F(VideoTest, Direct3D8PlayersMakeMaterialsOfTheirOwn) {
  RenderApi = RENDER_API_D3D8;
  ASSERT_TRUE(WriteWmv("d.wmv", 96, 64, 3));
  ASSERT_TRUE(WriteAvi("d.avi", 3, 0));
  MovieWmv* m = Movie_OpenWmv("d");
  ASSERT_NE(m, nullptr);
  EXPECT_NE(m->texture, 0u);
  EXPECT_EQ(m->textureWidth, 96u);  // the picture size: no power-of-two texture
  EXPECT_EQ(m->textureHeight, 64u);
  uint32_t avi = Movie_PlayAvi("d", 0.0f, 0, nullptr);
  EXPECT_NE(avi, 0u);
  EXPECT_NE(avi, m->texture);  // a WMV and an AVI never share a material
  Timer_FrameDelta = 0.05;
  EXPECT_EQ(Movie_UpdateWmv(m), 1);
  Movie_DrawWmv(m, nullptr);
  Movie_DrawAvi(nullptr);
  EXPECT_TRUE(GlRecord_Calls().empty() || Count("glTexSubImage2D") == 0);
  Movie_CloseWmv(&m);
}
