#include "foundation/var.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"

static VarRecord* g_head;

int Var_Add(VarRecord* record) {
  record->hash = Name_HashStr(record->name);
  record->next = g_head;
  g_head = record;
  return 0;
}

VarRecord* Var_Find(const char* name) {
  if (!name || !*name) return nullptr;
  uint32_t h = Name_HashStr(name);
  for (VarRecord* r = g_head; r; r = r->next)
    if (r->hash == h) return r;
  return nullptr;
}

VarRecord* Var_Register(VarRecord* record) {
  if (VarRecord* old = Var_Find(record->name)) return old;
  Var_Add(record);
  return record;
}

void Var_ResetTable() { g_head = nullptr; }

static int NextQuoted(const char*& p, char* out) {
  while (*p && *p != '"') {
    if (p[0] == '/' && p[1] == '/') return 0;
    p++;
  }
  if (!*p) return 0;
  p++;
  int n = 0;
  while (*p && *p != '"') {
    if (n < 255) out[n++] = *p;
    p++;
  }
  out[n] = 0;
  if (*p) p++;
  return n > 0;
}

void Var_Rd(const char* fileName) {
  FileHandle* f = File_Open(fileName, "rb");
  if (!f) return;
  uint32_t size = File_Size(f);
  std::string text(size, '\0');
  if (size) File_Read(text.data(), 1, size, f);
  File_Close(f);
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    const char* p = line.c_str();
    char name[256], value[256];
    if (NextQuoted(p, name) && NextQuoted(p, value)) {
      VarRecord* r = Var_Find(name);
      if (r && (r->flags & VAR_SETTABLE)) {
        std::strcpy(r->text, value);
        if (r->flags & VAR_NUMERIC) std::sscanf(r->text, "%f", &r->value);
        r->flags |= VAR_SET;
        Log_Printf("[%s]=%s\n", r->name, r->text);
      }
    }
    start = end + 1;
  }
}

void Var_WriteFile(const char* path) {
  std::string tmp = std::string(path) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) return;
  for (VarRecord* r = g_head; r; r = r->next) {
    if (!((r->flags & VAR_ALWAYS) || ((r->flags & VAR_ONCESET) && (r->flags & VAR_SET)))) continue;
    if (r->flags & VAR_NUMERIC) std::snprintf(r->text, sizeof r->text, "%f", r->value);
    std::fprintf(f, "%c%s%c %c%s%c\n", '"', r->name, '"', '"', r->text, '"');
  }
  if (std::fclose(f) != 0) {
    std::remove(tmp.c_str());
    return;
  }
  std::rename(tmp.c_str(), path);
}
