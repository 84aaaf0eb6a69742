#include "platform/gl_context_sdl.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdio>
#include <cstdlib>

#include "platform/window.h"

namespace {

SDL_Window* Window() { return static_cast<SDL_Window*>(Plat_GetWindow()); }

int SdlLoadLibrary() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) {
    SDL_SetError("video is not started");
    return -1;
  }
  return SDL_GL_LoadLibrary(nullptr) == 0 ? 0 : -1;
}

void SdlUnloadLibrary() {
  if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_GL_UnloadLibrary();
}

void* SdlGetProcAddress(const char* name) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
  return SDL_GL_GetProcAddress(name);
}

void* SdlCreateContext() {
  SDL_Window* w = Window();
  if (!w) {
    SDL_SetError("no window");
    return nullptr;
  }
  if (!(SDL_GetWindowFlags(w) & SDL_WINDOW_OPENGL)) {
    SDL_SetError("the window was created without OpenGL");
    return nullptr;
  }
  return SDL_GL_CreateContext(w);
}

int SdlMakeCurrent(void* context) {
  SDL_Window* w = Window();
  if (!w) return -1;
  return SDL_GL_MakeCurrent(w, static_cast<SDL_GLContext>(context)) == 0 ? 0 : -1;
}

void SdlDeleteContext(void* context) {
  if (context) SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context));
}

void SdlSwapWindow() {
  if (SDL_Window* w = Window()) SDL_GL_SwapWindow(w);
}

int SdlSetSwapInterval(int interval) { return SDL_GL_SetSwapInterval(interval) == 0 ? 0 : -1; }

int SdlIsIndirect(void* context) {
#if defined(SDL_VIDEO_DRIVER_X11)
  SDL_Window* w = Window();
  if (!w || !context) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(w, &info) || info.subsystem != SDL_SYSWM_X11) return 0;
  // The GLX context is what SDL hands out on X11.
  using IsDirectFn = int (*)(Display*, void*);
  auto isDirect = reinterpret_cast<IsDirectFn>(SDL_GL_GetProcAddress("glXIsDirect"));
  if (!isDirect) return 0;
  return isDirect(info.info.x11.display, context) ? 0 : 1;
#else
  (void)context;
  return 0;
#endif
}

void SdlDescribeFormat(PlatGlFormat* out) {
  *out = PlatGlFormat{};
  SDL_GL_GetAttribute(SDL_GL_RED_SIZE, &out->redBits);
  SDL_GL_GetAttribute(SDL_GL_GREEN_SIZE, &out->greenBits);
  SDL_GL_GetAttribute(SDL_GL_BLUE_SIZE, &out->blueBits);
  SDL_GL_GetAttribute(SDL_GL_ALPHA_SIZE, &out->alphaBits);
  SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &out->depthBits);
  SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &out->stencilBits);
  SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &out->doubleBuffer);
  SDL_GL_GetAttribute(SDL_GL_ACCELERATED_VISUAL, &out->accelerated);
}

unsigned ReadHexFile(const char* path) {
  FILE* f = std::fopen(path, "r");
  if (!f) return 0;
  char buf[32] = {};
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  buf[n] = 0;
  return static_cast<unsigned>(std::strtoul(buf, nullptr, 16));
}

int SysfsPrimaryPciIds(unsigned* vendor, unsigned* device) {
  *vendor = ReadHexFile("/sys/class/drm/card0/device/vendor");
  *device = ReadHexFile("/sys/class/drm/card0/device/device");
  return *vendor != 0;
}

const char* SdlLastError() { return SDL_GetError(); }

constexpr PlatGlOps kSdlOps = {
    SdlLoadLibrary,     SdlUnloadLibrary, SdlGetProcAddress, SdlCreateContext,  SdlMakeCurrent,
    SdlDeleteContext,   SdlSwapWindow,    SdlSetSwapInterval, SdlIsIndirect,    SdlDescribeFormat,
    SysfsPrimaryPciIds, SdlLastError,
};

}  // namespace

PlatGlOps Plat_Gl = kSdlOps;

void Plat_GlRestoreDefaults() { Plat_Gl = kSdlOps; }
