#include "platform/dynlib.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

static char g_lastError[512];

void* PlatLib_Open(const char* path) {
  g_lastError[0] = 0;
  if (!path || !path[0]) {
    std::snprintf(g_lastError, sizeof g_lastError, "no file name");
    return nullptr;
  }
  // A file named by its path is handed to the loader only when it is a regular file: the loader's
  // open of a named pipe would wait until a writer came, and a device would be read as a library.
  struct stat st;
  if (std::strchr(path, '/') && stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
    std::snprintf(g_lastError, sizeof g_lastError, "%s is not a regular file", path);
    return nullptr;
  }
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    std::snprintf(g_lastError, sizeof g_lastError, "%s", why ? why : "cannot be opened");
  }
  return library;
}

void* PlatLib_Symbol(void* library, const char* name) {
  if (!library || !name) return nullptr;
  return dlsym(library, name);
}

void PlatLib_Close(void* library) {
  if (library) dlclose(library);
}

const char* PlatLib_LastError() { return g_lastError; }
