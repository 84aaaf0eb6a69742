#include "platform/dynlib.h"

#include <dlfcn.h>

#include "foundation/log.h"

void* PlatLib_Open(const char* path) {
  if (!path || !path[0]) return nullptr;
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    const char* why = dlerror();
    Log_Printf("PlatLib_Open: %s: %s\n", path, why ? why : "cannot be opened");
  }
  return library;
}

void* PlatLib_Symbol(void* library, const char* name) {
  if (!library || !name) return nullptr;
  dlerror();
  void* address = dlsym(library, name);
  if (!address) Log_Printf("PlatLib_Symbol: no %s in the library\n", name);
  return address;
}

void PlatLib_Close(void* library) {
  if (library) dlclose(library);
}
