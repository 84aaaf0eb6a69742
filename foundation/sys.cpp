#include "foundation/sys.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "foundation/file.h"
#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "foundation/video.h"
#include "platform/input.h"
#include "platform/window.h"
#include "world/game.h"

char Sys_StartDirectory[kStartDirectorySize];
int Sys_ShowCommand = 1;
void* Sys_MainWindow;
uint8_t Sys_QuitRequested;
uint8_t Sys_AppInactive;
int Sys_WinPlatform = 1;
void (*Sys_TraceHook)(const char* step);

static std::string g_commandLine;

const char* Sys_CommandLine() { return g_commandLine.c_str(); }

void Sys_NoOp() {}

void Sys_InitDevices(int stage) {
  Sys_Trace(stage == 0 ? "Sys_InitDevices(0)" : "Sys_InitDevices(1)");
  DI_Init(stage);
  Video_EnumDisplayModes(stage);
  DSInit(stage);
  Timer_Init(stage);
}

void Sys_ShutdownDevices() {
  Sys_Trace("Sys_ShutdownDevices");
  Timer_Shutdown();
  DS_Shutdown();
  Video_RestoreDisplayMode();
  DI_Shutdown();
}

void Sys_WndProc(const PlatEvent* ev) {
  switch (ev->kind) {
    case PLATEV_CLOSE: Sys_QuitRequested = 1; break;
    case PLATEV_QUIT: Sys_QuitRequested = 1; break;
    case PLATEV_FOCUS_GAINED:
      if (Sys_AppInactive) Sound_ResumeFromBackground();
      Sys_AppInactive = 0;
      DI_Acquire();
      break;
    case PLATEV_FOCUS_LOST:
      // Time, sound and drawing stand still in the background. Unattended runs (tests, CI
      // without a window manager) keep running frames.
      if (!Plat_IsUnattended() && !Sys_AppInactive) {
        Sys_AppInactive = 1;
        Sound_PauseInBackground();
      }
      PlatInput_QueueEvent(ev);  // held keys are forgotten: their key-ups go elsewhere
      DI_Acquire();
      break;
    case PLATEV_RESIZED: Video_WindowResized(ev->x, ev->y); break;
    default:
      // Keyboard and mouse events go to the device layer, which buffers them per frame.
      PlatInput_QueueEvent(ev);
      break;
  }
}

int WinMain(int argc, char** argv) {
  // One line as a command shell shows it: words holding a blank are quoted, so the program's
  // path (the first word) ends where its quotes do.
  g_commandLine.clear();
  for (int i = 0; i < argc; i++) {
    if (i) g_commandLine += ' ';
    const bool quote = !*argv[i] || std::strpbrk(argv[i], " \t");
    if (quote) g_commandLine += '"';
    g_commandLine += argv[i];
    if (quote) g_commandLine += '"';
  }
  if (!getcwd(Sys_StartDirectory, sizeof Sys_StartDirectory)) Sys_StartDirectory[0] = 0;
  Sys_QuitRequested = 0;
  Sys_AppInactive = 0;

  Sys_Trace("Plat_WindowCreate");
  if (!Plat_WindowCreate("Tarnwick")) {
    std::fprintf(stderr, "Tarnwick: cannot open the window\n");
    return 0;
  }
  Sys_MainWindow = Plat_GetWindow();
  Plat_ShowCursor(0);

  File_Init();
  Sys_InitDevices(0);
  Game_Init(0);
  Sys_Trace("Var_Rd");
  Var_Rd("settings");

  if (!Sys_QuitRequested) {
    Sys_InitDevices(1);
    Sys_AppInactive = 0;
    DI_Acquire();
    Game_Init(1);
    if (!Sys_QuitRequested) {
      Sys_Trace("MessageLoop");
      while (!Sys_QuitRequested) {
        // Drain every waiting event, so that floods of mouse motion never starve the frames.
        PlatEvent ev;
        while (Plat_PollEvent(&ev)) Sys_WndProc(&ev);
        if (Sys_QuitRequested) break;
        if (Sys_AppInactive) {
          if (Plat_WaitEvent(&ev, 100)) Sys_WndProc(&ev);
          continue;
        }
        Game_Frame();
      }
    }
  }

  Game_Shutdown();
  Sys_ShutdownDevices();
  File_Shutdown();
  Sys_Trace("Plat_WindowDestroy");
  Plat_ShowCursor(1);
  Plat_WindowDestroy();
  Sys_MainWindow = nullptr;
  return 0;
}

void Sys_GetLocalTime(SysTime* t) {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm lt{};
  localtime_r(&ts.tv_sec, &lt);
  t->year = lt.tm_year + 1900;
  t->month = lt.tm_mon + 1;
  t->dayOfWeek = lt.tm_wday;
  t->day = lt.tm_mday;
  t->hour = lt.tm_hour;
  t->minute = lt.tm_min;
  t->second = lt.tm_sec;
  t->milliseconds = int(ts.tv_nsec / 1000000);
}

void Sys_FormatDateTime(const SysTime* t, char* out, int style) {
  static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  out[0] = 0;
  char month[8];
  if (t->month >= 1 && t->month <= 12)
    std::snprintf(month, sizeof month, "%02d", t->month);
  else
    std::strcpy(month, "???");
  char body[64];
  std::snprintf(body, sizeof body, "%02d-%s-%04d %02d:%02d:%02d", t->day % 100, month, t->year % 10000,
                t->hour % 100, t->minute % 100, t->second % 100);
  if (style) {
    std::strcpy(out, body);
    return;
  }
  const char* day = (t->dayOfWeek >= 0 && t->dayOfWeek <= 6) ? kDays[t->dayOfWeek] : "???";
  std::sprintf(out, "%s %s", day, body);
}
