// The game's one window and its event queue (SDL2 underneath). Only platform/ sees SDL.
#pragma once
#include <cstdint>

enum PlatEventKind {
  PLATEV_NONE = 0,
  PLATEV_QUIT,          // the process was asked to end (signal, session end)
  PLATEV_CLOSE,         // the window's close request
  PLATEV_FOCUS_GAINED,
  PLATEV_FOCUS_LOST,
  PLATEV_KEY_DOWN,      // scancode = platform scancode; repeat = 1 for the system's own key repeat
  PLATEV_KEY_UP,
  PLATEV_MOUSE_MOTION,  // dx, dy
  PLATEV_MOUSE_DOWN,    // button 1..5
  PLATEV_MOUSE_UP,
  PLATEV_MOUSE_WHEEL,   // wheel in whole notches, positive away from the user
  PLATEV_RESIZED,       // x, y = new size
  PLATEV_OTHER,
};

struct PlatEvent {
  int kind;
  int scancode;
  int repeat;
  int button;
  int dx, dy;
  int x, y;
  int wheel;
  uint32_t timeMs;
};

// Starts the video system, sets the OpenGL attributes (they fix the X visual, so they come before
// the window), and opens a borderless window at the desktop's size. 0 on failure.
int Plat_WindowCreate(const char* title);
void Plat_WindowDestroy();
void* Plat_GetWindow();  // the SDL_Window, for the other platform layers
int Plat_WindowWidth();
int Plat_WindowHeight();
void Plat_ShowCursor(int show);

// 1 and the next event when one waits, else 0.
int Plat_PollEvent(PlatEvent* ev);
// Blocks until an event arrives (at most timeoutMs; <0 waits forever). 1 with the event, 0 on timeout.
int Plat_WaitEvent(PlatEvent* ev, int timeoutMs);
// Asks the loop to end as a window-manager quit would.
void Plat_PushQuit();

// Milliseconds since the platform started.
uint32_t Plat_Ticks();

// Message boxes. Unattended runs (TW_UNATTENDED set in the environment, or no display) log the
// question and take the default answer instead of blocking.
enum { PLAT_MB_OK = 0, PLAT_MB_YESNO = 1 };
enum { PLAT_ID_OK = 1, PLAT_ID_YES = 6, PLAT_ID_NO = 7 };
int Plat_MessageBox(const char* title, const char* text, int buttons, int defaultAnswer);
int Plat_IsUnattended();
