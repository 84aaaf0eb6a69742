#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/log.h"
#include "platform/window.h"

static SDL_Window* g_window;
static int g_videoUp;

// A busy X server may refuse a connection for a moment. SDL then quietly settles for its offscreen
// driver, which shows nothing and gives the renderer no OpenGL. With a display named and no driver
// asked for, the connection is tried again for a while before settling for that.
static int StartVideo() {
  const char* display = std::getenv("DISPLAY");
  const char* asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
  const bool wantDisplay = display && *display && !(asked && *asked);
  for (int attempt = 1;; attempt++) {
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      Log_Printf("Plat_WindowCreate: %s\n", SDL_GetError());
      return 0;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!wantDisplay || !driver || std::strcmp(driver, "offscreen") != 0) return 1;
    if (attempt == 50) {
      Log_Printf("Plat_WindowCreate: the display %s cannot be reached; the window is offscreen\n", display);
      return 1;
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    SDL_Delay(100);
  }
}

int Plat_WindowCreate(const char* title) {
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
  if (!StartVideo()) return 0;
  g_videoUp = 1;
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_DisplayMode dm{};
  int w = 640, h = 480;
  if (SDL_GetDesktopDisplayMode(0, &dm) == 0 && dm.w > 0 && dm.h > 0) {
    w = dm.w;
    h = dm.h;
  }
  g_window = SDL_CreateWindow(title, 0, 0, w, h, SDL_WINDOW_BORDERLESS | SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN);
  if (!g_window) {
    // A video driver without OpenGL (the dummy driver) still gets its window; the renderer
    // reports its own failure later.
    g_window = SDL_CreateWindow(title, 0, 0, w, h, SDL_WINDOW_BORDERLESS | SDL_WINDOW_SHOWN);
  }
  if (!g_window) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    g_videoUp = 0;
    return 0;
  }
  return 1;
}

void Plat_WindowDestroy() {
  if (g_window) {
    SDL_DestroyWindow(g_window);
    g_window = nullptr;
  }
  if (g_videoUp) {
    SDL_Quit();
    g_videoUp = 0;
  }
}

void* Plat_GetWindow() { return g_window; }

int Plat_WindowWidth() {
  int w = 0, h = 0;
  if (g_window) SDL_GetWindowSize(g_window, &w, &h);
  return w;
}

int Plat_WindowHeight() {
  int w = 0, h = 0;
  if (g_window) SDL_GetWindowSize(g_window, &w, &h);
  return h;
}

void Plat_ShowCursor(int show) {
  if (g_videoUp) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
}

static void Translate(const SDL_Event& e, PlatEvent* ev) {
  *ev = PlatEvent{};
  ev->kind = PLATEV_OTHER;
  ev->timeMs = e.common.timestamp;
  switch (e.type) {
    case SDL_QUIT: ev->kind = PLATEV_QUIT; break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: ev->kind = PLATEV_CLOSE; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: ev->kind = PLATEV_FOCUS_GAINED; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: ev->kind = PLATEV_FOCUS_LOST; break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          ev->kind = PLATEV_RESIZED;
          ev->x = e.window.data1;
          ev->y = e.window.data2;
          break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      ev->kind = e.type == SDL_KEYDOWN ? PLATEV_KEY_DOWN : PLATEV_KEY_UP;
      ev->scancode = e.key.keysym.scancode;
      ev->repeat = e.key.repeat;
      break;
    case SDL_MOUSEMOTION:
      ev->kind = PLATEV_MOUSE_MOTION;
      ev->dx = e.motion.xrel;
      ev->dy = e.motion.yrel;
      ev->x = e.motion.x;
      ev->y = e.motion.y;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      ev->kind = e.type == SDL_MOUSEBUTTONDOWN ? PLATEV_MOUSE_DOWN : PLATEV_MOUSE_UP;
      ev->button = e.button.button;
      ev->x = e.button.x;
      ev->y = e.button.y;
      break;
    case SDL_MOUSEWHEEL:
      ev->kind = PLATEV_MOUSE_WHEEL;
      ev->wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      break;
    default: break;
  }
}

int Plat_PollEvent(PlatEvent* ev) {
  if (!g_videoUp) return 0;
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return 0;
  Translate(e, ev);
  return 1;
}

int Plat_WaitEvent(PlatEvent* ev, int timeoutMs) {
  if (!g_videoUp) return 0;
  SDL_Event e;
  int got = timeoutMs < 0 ? SDL_WaitEvent(&e) : SDL_WaitEventTimeout(&e, timeoutMs);
  if (!got) return 0;
  Translate(e, ev);
  return 1;
}

void Plat_PushQuit() {
  if (!g_videoUp) return;
  SDL_Event e{};
  e.type = SDL_QUIT;
  SDL_PushEvent(&e);
}

uint32_t Plat_Ticks() { return SDL_GetTicks(); }

int Plat_IsUnattended() {
  const char* u = std::getenv("TW_UNATTENDED");
  if (u && *u && *u != '0') return 1;
  return 0;
}

int Plat_MessageBox(const char* title, const char* text, int buttons, int defaultAnswer) {
  if (Plat_IsUnattended() || !g_videoUp) {
    Log_Printf("MessageBox[%s]: %s -> default answer %i (unattended)\n", title, text, defaultAnswer);
    return defaultAnswer;
  }
  SDL_MessageBoxButtonData yesNo[2] = {
      {defaultAnswer == PLAT_ID_YES ? Uint32(SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT) : 0u, PLAT_ID_YES, "Yes"},
      {defaultAnswer == PLAT_ID_NO ? Uint32(SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT) : 0u, PLAT_ID_NO, "No"},
  };
  SDL_MessageBoxButtonData ok[1] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, PLAT_ID_OK, "OK"}};
  SDL_MessageBoxData data{};
  data.flags = SDL_MESSAGEBOX_WARNING;
  data.window = g_window;
  data.title = title;
  data.message = text;
  data.numbuttons = buttons == PLAT_MB_YESNO ? 2 : 1;
  data.buttons = buttons == PLAT_MB_YESNO ? yesNo : ok;
  int answer = 0;
  const int shown = SDL_ShowMessageBox(&data, &answer) == 0;
  const std::string error = shown ? "" : SDL_GetError();
  if (g_window) {
    // The box took the focus; the game's window takes it back, or it stays inactive and draws
    // nothing until the user clicks it.
    SDL_RaiseWindow(g_window);
    SDL_SetWindowInputFocus(g_window);
  }
  if (!shown || answer < 0) {
    Log_Printf("MessageBox[%s]: cannot be shown (%s) -> default answer %i\n", title, error.c_str(), defaultAnswer);
    return defaultAnswer;
  }
  return answer;
}
