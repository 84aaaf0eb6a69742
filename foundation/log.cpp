#include "foundation/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/mem.h"
#include "foundation/sys.h"

static FILE* g_log;

// Opens "log" to be emptied or appended to, when it is a regular file or missing. A named pipe, a
// device or a folder in its place is never written and never waited on (the open of a pipe would
// block until a reader came): null then, and the game goes on without a log.
static FILE* OpenLogFile(bool append) {
  struct stat st;
  if (stat("log", &st) == 0 && !S_ISREG(st.st_mode)) return nullptr;
  int fd = open("log", O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | (append ? O_APPEND : O_TRUNC), 0666);
  if (fd < 0) return nullptr;
  int flags = 0;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (flags = fcntl(fd, F_GETFL)) < 0 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* f = fdopen(fd, append ? "a" : "w");
  if (!f) close(fd);
  return f;
}

void Log_Open() {
  if (Sys_Debug.openLog) {
    if (!g_log) g_log = OpenLogFile(false);
  } else {
    FILE* f = OpenLogFile(false);
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
  FILE* f = OpenLogFile(true);
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
