#include "platform/display_sdl.h"

#include <SDL.h>

#include "platform/window.h"

static SDL_Window* Window() { return static_cast<SDL_Window*>(Plat_GetWindow()); }

static int DisplayIndex() {
  SDL_Window* w = Window();
  int i = w ? SDL_GetWindowDisplayIndex(w) : 0;
  return i < 0 ? 0 : i;
}

int PlatDisplay_GetModeCount() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  int n = SDL_GetNumDisplayModes(DisplayIndex());
  return n < 0 ? 0 : n;
}

int PlatDisplay_GetMode(int index, uint32_t* bitsPerPixel, uint32_t* width, uint32_t* height,
                        uint32_t* refresh) {
  SDL_DisplayMode m{};
  if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDisplayMode(DisplayIndex(), index, &m) != 0) return 0;
  *bitsPerPixel = SDL_BITSPERPIXEL(m.format);
  *width = static_cast<uint32_t>(m.w);
  *height = static_cast<uint32_t>(m.h);
  *refresh = static_cast<uint32_t>(m.refresh_rate);
  return 1;
}

int PlatDisplay_GetDesktopSize(int* width, int* height) {
  SDL_DisplayMode m{};
  if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(DisplayIndex(), &m) != 0) return 0;
  *width = m.w;
  *height = m.h;
  return m.w > 0 && m.h > 0;
}

int PlatDisplay_SetFullscreenMode(uint32_t bitsPerPixel, uint32_t width, uint32_t height,
                                  uint32_t refresh) {
  SDL_Window* w = Window();
  if (!w) return 0;
  const int display = DisplayIndex();
  // The desktop already in that mode: a window over the whole screen is all it takes.
  SDL_DisplayMode desktop{};
  if (SDL_GetDesktopDisplayMode(display, &desktop) == 0 && SDL_BITSPERPIXEL(desktop.format) == bitsPerPixel &&
      static_cast<uint32_t>(desktop.w) == width && static_cast<uint32_t>(desktop.h) == height &&
      static_cast<uint32_t>(desktop.refresh_rate) == refresh) {
    if (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(w, 0);
    return 1;
  }
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; i++) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(display, i, &m) != 0) continue;
    if (SDL_BITSPERPIXEL(m.format) != bitsPerPixel || static_cast<uint32_t>(m.w) != width ||
        static_cast<uint32_t>(m.h) != height || static_cast<uint32_t>(m.refresh_rate) != refresh)
      continue;
    if (SDL_SetWindowDisplayMode(w, &m) != 0) return 0;
    if (SDL_SetWindowFullscreen(w, SDL_WINDOW_FULLSCREEN) != 0) return 0;
    return 1;
  }
  return 0;
}

void PlatDisplay_RestoreDesktop() {
  SDL_Window* w = Window();
  if (w && (SDL_GetWindowFlags(w) & SDL_WINDOW_FULLSCREEN)) SDL_SetWindowFullscreen(w, 0);
}

void PlatDisplay_SetWindowRect(int x, int y, int width, int height) {
  SDL_Window* w = Window();
  if (!w || width <= 0 || height <= 0) return;
  SDL_SetWindowSize(w, width, height);
  SDL_SetWindowPosition(w, x, y);
  SDL_PumpEvents();
}

int PlatDisplay_GetGammaRamp(uint16_t red[256], uint16_t green[256], uint16_t blue[256]) {
  SDL_Window* w = Window();
  return w && SDL_GetWindowGammaRamp(w, red, green, blue) == 0;
}

int PlatDisplay_SetGammaRamp(const uint16_t red[256], const uint16_t green[256],
                             const uint16_t blue[256]) {
  SDL_Window* w = Window();
  return w && SDL_SetWindowGammaRamp(w, red, green, blue) == 0;
}
