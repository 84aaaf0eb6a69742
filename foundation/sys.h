// Start-up, the message loop and shutdown: process-wide state of the one window.
#pragma once
#include <cstdint>

struct PlatEvent;

constexpr int kStartDirectorySize = 4096;
extern char Sys_StartDirectory[kStartDirectorySize];
extern int Sys_ShowCommand;
extern void* Sys_MainWindow;        // the platform window
extern uint8_t Sys_QuitRequested;   // set to end the program; never cleared
extern uint8_t Sys_AppInactive;     // 1 while another application has the focus
extern int Sys_WinPlatform;         // 1: the NT form of the banner

// The whole life of the program. Returns 0.
int WinMain(int argc, char** argv);
// Window events: close, activation. Input events go to the input layer.
void Sys_WndProc(const PlatEvent* ev);
void Sys_InitDevices(int stage);
void Sys_ShutdownDevices();

// The command line as one text (program path first, arguments after blanks).
const char* Sys_CommandLine();

struct SysTime {
  int year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};
void Sys_GetLocalTime(SysTime* t);
// Style non-zero: "DD-MM-YYYY HH:MM:SS"; style 0: "Sun DD-MM-YYYY HH:MM:SS".
void Sys_FormatDateTime(const SysTime* t, char* out, int style);

// Does nothing; the callback slot that has no work to do.
void Sys_NoOp();

// Observer of the start-up and shutdown steps (tests record the order through it).
extern void (*Sys_TraceHook)(const char* step);
inline void Sys_Trace(const char* step) {
  if (Sys_TraceHook) Sys_TraceHook(step);
}
