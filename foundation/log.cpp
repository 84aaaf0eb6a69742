#include "foundation/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/mem.h"
#include "foundation/sys.h"

static FILE* g_log;

void Log_Open() {
  if (Sys_Debug.openLog) {
    if (!g_log) g_log = std::fopen("log", "wt");
  } else {
    FILE* f = std::fopen("log", "w");
    if (f) std::fclose(f);
  }
}

void Log_Close() {
  if (g_log) {
    std::fflush(g_log);
    std::fclose(g_log);
    g_log = nullptr;
  }
}

void Log_VPrintf(const char* format, va_list args) {
  if (Sys_Debug.openLog) {
    if (!g_log) return;
    std::vfprintf(g_log, format, args);
    std::fflush(g_log);
    return;
  }
  FILE* f = std::fopen("log", "a+");
  if (!f) return;
  std::vfprintf(f, format, args);
  std::fclose(f);
}

void Log_Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  Log_VPrintf(format, args);
  va_end(args);
}

void Log_Banner() { Log_Printf("3d-engine test WINNT build %i.\n", 927); }

void Log_CommandLine() {
  const char* cmd = Sys_CommandLine();
  Log_Printf("CommandLine=%s\n", cmd);
  Log_Printf("Directory=%s\n", Sys_StartDirectory);
  const char* p = cmd;
  if (*p == '"') {
    const char* close = std::strchr(p + 1, '"');
    p = close ? close + 1 : p + std::strlen(p);
  } else {
    const char* blank = std::strchr(p, ' ');
    p = blank ? blank : p + std::strlen(p);
  }
  while (*p == ' ') p++;
  Log_Printf("CommandParameters={%s}\n", p);
}
