// Placeholder entries until the display module exists. Video_Init carries the renderer.
#include "foundation/video.h"
#include "platform/window.h"
#include "render/render.h"
void Video_EnumDisplayModes(int) {}
void Video_RestoreDisplayMode() {}
void Video_Init(int stage) {
  if (stage == 1) Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
  Render_Init(stage);
}
void Video_Shutdown() { Render_Shutdown(); }
