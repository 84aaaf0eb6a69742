// The benchmarks' window: opened once per run, unattended, with the renderer started at its size.
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/window.h"
#include "render/render.h"

// True when the window is open with the OpenGL renderer. Tried once: later calls give the first
// answer. Without a display nothing is opened; a renderer other than OpenGL stays started.
inline bool BenchWindow_Open(const char* title) {
  static int state = 0;  // 0 not tried, 1 running, -1 failed
  if (state) return state == 1;
  state = -1;
  if (!std::getenv("DISPLAY")) return false;
  setenv("TW_UNATTENDED", "1", 1);
  if (Plat_WindowCreate(title) != 1) return false;
  Render_Init(0);
  Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
  Render_Init(1);
  if (RenderApi != RENDER_API_OPENGL) return false;
  state = 1;
  return true;
}

// A private folder "/tmp/<prefix>_XXXXXX", made once for the whole run and made the current
// folder (the file layer reads relative to it).
inline const std::string& Bench_Folder(const char* prefix) {
  static std::string dir;
  if (dir.empty()) {
    std::string t = std::string("/tmp/") + prefix + "_XXXXXX";
    if (!mkdtemp(t.data()) || chdir(t.c_str()) != 0) std::abort();
    dir = t;
  }
  return dir;
}
