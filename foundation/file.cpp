#include "foundation/file.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <string>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/partoken.h"
#include "foundation/random.h"
#include "foundation/var.h"

struct FileHandle {
  uint32_t kind;  // 2 disk file
  FILE* stream;
};

// Reads the "_debug" switch file: bracketed key and value tokens, keys compared without regard
// to case; an unknown token is skipped by itself. A file of 4095 bytes or more is ignored.
static void ReadDebugSwitches() {
  FILE* f = std::fopen("_debug", "rb");
  if (!f) return;
  static char text[4096];
  size_t n = std::fread(text, 1, sizeof text, f);
  std::fclose(f);
  if (n >= 4095) return;
  text[n] = 0;
  struct {
    const char* key;
    int* value;
  } const keys[] = {{"debugMem", &Sys_Debug.debugMem},
                    {"printMem", &Sys_Debug.printMem},
                    {"boundsCheckSize", &Sys_Debug.boundsCheckSize},
                    {"boundsCheckChar", &Sys_Debug.boundsCheckChar},
                    {"openLog", &Sys_Debug.openLog}};
  const char* rest = text;
  while (const char* tok = Par_NextBracketToken(rest, &rest)) {
    for (const auto& k : keys) {
      if (strcasecmp(tok, k.key) != 0) continue;
      const char* value = Par_NextBracketToken(rest, &rest);
      if (!value) return;
      int v = 0;
      if (std::sscanf(value, "%i", &v) == 1) *k.value = v;
      break;
    }
  }
}

void File_Init() {
  ReadDebugSwitches();
  if (Sys_Debug.boundsCheckSize < 0) Sys_Debug.boundsCheckSize = 0;
  if (Sys_Debug.boundsCheckSize > 4096) Sys_Debug.boundsCheckSize = 4096;
  Sys_Debug.boundsCheckChar &= 0xFF;
  Log_Open();
  Log_Banner();
  Log_CommandLine();
  Global_MemoryStatus();
  Math_RandInit();
}

void File_Shutdown() {
  Var_ResetTable();
  Global_MemoryStatus();
  Log_Close();
}

FileHandle* File_Open(const char* name, const char* mode) {
  if (!name || !*name || !mode) return nullptr;
  char m[4] = {0};
  if (std::strlen(mode) != 2) return nullptr;
  m[0] = char(std::tolower((unsigned char)mode[0]));
  m[1] = char(std::tolower((unsigned char)mode[1]));
  if (std::strcmp(m, "rb") != 0 && std::strcmp(m, "wb") != 0) return nullptr;
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  FILE* stream = std::fopen(path.c_str(), m);
  if (!stream) return nullptr;
  auto* h = static_cast<FileHandle*>(Global_MallocZero(sizeof(FileHandle), "xfl"));
  if (!h) {
    std::fclose(stream);
    return nullptr;
  }
  h->kind = 2;
  h->stream = stream;
  return h;
}

size_t File_Read(void* buffer, size_t itemSize, size_t itemCount, FileHandle* f) {
  if (!buffer || !itemSize || !itemCount || !f) return 0;
  return std::fread(buffer, itemSize, itemCount, f->stream);
}

size_t File_Write(const void* buffer, size_t itemSize, size_t itemCount, FileHandle* f) {
  if (!buffer || !itemSize || !itemCount || !f || f->kind != 2) return 0;
  return std::fwrite(buffer, itemSize, itemCount, f->stream);
}

uint32_t File_Size(FileHandle* f) {
  if (!f) return 0;
  long here = std::ftell(f->stream);
  std::fseek(f->stream, 0, SEEK_END);
  long end = std::ftell(f->stream);
  std::fseek(f->stream, here, SEEK_SET);
  return end < 0 ? 0 : uint32_t(end);
}

void File_Close(FileHandle* f) {
  if (!f) return;
  if (f->stream) std::fclose(f->stream);
  Global_Free(f);
}
