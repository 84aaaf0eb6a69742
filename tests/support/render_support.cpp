#include "support/render_support.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/model.h"
#include "world/object.h"

namespace tw_test {

void LoggedTest::SetUp() {
  savedDebug_ = Sys_Debug;
  Sys_Debug.openLog = 1;
  Log_Open();
}

void LoggedTest::TearDown() {
  Log_Close();
  Sys_Debug = savedDebug_;
}

std::string LoggedTest::Log() { return ReadFile("log"); }  // every line is flushed

// What the game logged since `from` bytes, the last part of it (a suite without a directory of
// its own shares the log with others).
static std::string LogSince(size_t from) {
  std::string log = ReadFile("log");
  log = log.size() > from ? log.substr(from) : "";
  return log.size() > 2000 ? log.substr(log.size() - 2000) : log;
}

bool StartGlWindow(const char* title) {
  if (!HaveDisplay()) return false;
  setenv("TW_UNATTENDED", "1", 1);
  const size_t logBefore = ReadFile("log").size();
  if (!Plat_WindowCreate(title)) {
    std::fprintf(stderr, "no window on the display; the log ends:\n%s\n", LogSince(logBefore).c_str());
    return false;
  }
  Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
  for (int attempt = 0; attempt < 3 && RenderApi != RENDER_API_OPENGL; attempt++) Render_Start();
  if (RenderApi == RENDER_API_OPENGL) return true;
  std::fprintf(stderr, "OpenGL did not start; the log ends:\n%s\n", LogSince(logBefore).c_str());
  return false;
}

void StopGlWindow() {
  if (RenderApi) Render_Stop();
  Plat_WindowDestroy();
}

bool GlWindowTest::up_ = false;

void GlWindowTest::TearDownTestSuite() {
  if (RenderApi) Tex_FreeAll();
  StopGlWindow();
}

void GlWindowTest::SetUp() {
  if (!up_) GTEST_SKIP() << "no OpenGL";
  LoggedTest::SetUp();
  Tex_FreeAll();
}

void GlWindowTest::TearDown() {
  if (!up_) return;
  Tex_FreeAll();
  LoggedTest::TearDown();
}

int PictureDisagreements(const Picture& a, const Picture& b, int tol, std::string* where, double* meanDiff) {
  if (a.width != b.width || a.height != b.height) return -1;
  int bad = 0;
  double sum = 0;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x) {
      const uint8_t *c = a.At(x, y), *d = b.At(x, y);
      bool inside = true;
      for (int ch = 0; ch < 3; ++ch) {
        sum += std::abs(c[ch] - d[ch]);
        int lo = 255, hi = 0;
        for (int qy = std::max(y - 1, 0); qy <= std::min(y + 1, a.height - 1); ++qy)
          for (int qx = std::max(x - 1, 0); qx <= std::min(x + 1, a.width - 1); ++qx) {
            lo = std::min<int>(lo, a.At(qx, qy)[ch]);
            hi = std::max<int>(hi, a.At(qx, qy)[ch]);
          }
        inside = inside && d[ch] >= lo - tol && d[ch] <= hi + tol;
      }
      if (!inside && bad++ < 5) {
        char line[160];
        std::snprintf(line, sizeof line, "(%d,%d) gl %d,%d,%d d3d8 %d,%d,%d\n", x, y, c[2], c[1], c[0], d[2], d[1], d[0]);
        *where += line;
      }
    }
  if (meanDiff) *meanDiff = sum / (3.0 * a.width * a.height);
  return bad;
}

Picture ReadScreenAndEndFrame() {
  Picture p{Render_ScreenWidth, Render_ScreenHeight, {}};
  p.bgra.resize(size_t(p.width) * p.height * 4);
  Render_ReadPixels(0, 0, p.width, p.height, p.bgra.data());
  Render_EndFrame(1, 1);
  return p;
}

bool VideoScreenTest::up_, VideoScreenTest::haveFont_;
TempDir* VideoScreenTest::dir_;

void VideoScreenTest::SetUpTestSuite() {
  if (!HaveDisplay()) return;
  setenv("TW_UNATTENDED", "1", 1);  // no message box may wait for a click
  dir_ = new TempDir();
  haveFont_ = PutTestFont("Face.ttf");
  File_Init();
  up_ = Plat_WindowCreate("display test") != 0;
  if (!up_) return;
  Video_EnumDisplayModes(1);
  Video_Init(0);
  std::snprintf(Var_Find("video_font")->text, sizeof Var_Find("video_font")->text, "Face");
  Var_Find("video_windowed")->value = 1;
  Video_Init(1);
}

void VideoScreenTest::TearDownTestSuite() {
  if (up_) {
    Video_Shutdown();
    Video_RestoreDisplayMode();
    Plat_WindowDestroy();
  }
  up_ = false;
  if (dir_) File_Shutdown();
  delete dir_;
  dir_ = nullptr;
}

void VideoScreenTest::SetUp() {
  if (!up_ || RenderApi != RENDER_API_OPENGL) GTEST_SKIP() << "no display or no OpenGL";
  Begin();
}

void VideoScreenTest::Begin() {
  Render_BeginFrame(0, 0, Video_ScreenWidth, Video_ScreenHeight);
  Render_Clear(1, 0, 0, 0);
  Render_SetDepthTest(0);
  Render_SetCull(0);
  Render_SetBlend(5);
}

std::vector<uint8_t> VideoScreenTest::Read() {
  std::vector<uint8_t> px(size_t(Video_ScreenWidth) * Video_ScreenHeight * 4);
  Render_ReadPixels(0, 0, Video_ScreenWidth, Video_ScreenHeight, px.data());
  return px;
}

static bool g_sampleReady;
static std::string g_sampleGame;

void SampleGameGlTest::SetUpTestSuite() {
  setenv("TW_UNATTENDED", "1", 1);
  char dir[] = "/tmp/tw_sample_game_XXXXXX";
  if (!HaveDisplay() || !mkdtemp(dir)) return;
  g_sampleGame = dir;
  g_sampleReady = MakeSampleGame(g_sampleGame) && Plat_WindowCreate("sample game test");
}

void SampleGameGlTest::TearDownTestSuite() {
  if (g_sampleReady) Plat_WindowDestroy();
  if (!g_sampleGame.empty()) std::system(("rm -rf " + g_sampleGame).c_str());
  g_sampleReady = false;
  g_sampleGame.clear();
}

void SampleGameGlTest::SetUp() {
  if (!g_sampleReady) GTEST_SKIP() << "no display or no sample game";
  ASSERT_EQ(getcwd(previous_, sizeof previous_), previous_);
  ASSERT_EQ(chdir(g_sampleGame.c_str()), 0);
  File_Init();
  Model_Init(0);
  Model_Init(1);
}

void SampleGameGlTest::TearDown() {
  if (!g_sampleReady) return;
  Obj_ClearAll();
  Model_Reset();
  if (RenderApi) {
    Tex_FreeAll();
    Render_Stop();
  }
  Material_ResetTable();
  Var_SetText(&render_api, "OPENGL");
  File_Shutdown();
  if (chdir(previous_) != 0) ADD_FAILURE();
}

void SampleGameGlTest::StartOpenGl() {
  Var_SetText(&render_api, "OPENGL");
  Render_Start();
  ASSERT_EQ(RenderApi, RENDER_API_OPENGL);
  Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
  Tex_FreeAll();
}

}  // namespace tw_test
