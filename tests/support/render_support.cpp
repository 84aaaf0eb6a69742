#include "support/render_support.h"

#include <cstdio>
#include <cstdlib>

#include "foundation/log.h"
#include "platform/window.h"
#include "render/render.h"

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

bool StartGlWindow(const char* title) {
  if (!HaveDisplay()) return false;
  setenv("TW_UNATTENDED", "1", 1);
  if (!Plat_WindowCreate(title)) {
    std::fprintf(stderr, "no window on the display\n");
    return false;
  }
  Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
  for (int attempt = 0; attempt < 3 && RenderApi != RENDER_API_OPENGL; attempt++) Render_Start();
  if (RenderApi != RENDER_API_OPENGL) std::fprintf(stderr, "OpenGL did not start\n");
  return RenderApi == RENDER_API_OPENGL;
}

void StopGlWindow() {
  if (RenderApi) Render_Stop();
  Plat_WindowDestroy();
}

}  // namespace tw_test
