#include "foundation/var.h"

#include <locale.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/file.h"
#include "foundation/inthash.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"

// The table maps name hash -> 1 + position in g_records; 0 is the empty value.
static IntHash* g_table;
static VarRecord** g_records;
static int g_recordCount;
static int g_recordCapacity;
static VarRecord* g_head;

// Numbers are read and written in the C locale whatever locale the process runs in.
static locale_t CLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return c;
}

static int ParseNumber(const char* text, float* out) {
  char* end = nullptr;
  float v = strtof_l(text, &end, CLocale());
  if (end == text) return 0;
  *out = v;
  return 1;
}

static void PrintNumber(VarRecord* r) {
  locale_t old = uselocale(CLocale());
  std::snprintf(r->text, sizeof r->text, "%f", double(r->value));
  uselocale(old);
}

static void CopyText(char* out, const char* text) {
  size_t n = std::strlen(text);
  if (n > kVarTextSize - 1) n = kVarTextSize - 1;
  std::memcpy(out, text, n);
  out[n] = 0;
}

void Var_InitTable() {
  if (g_table) return;
  g_table = IntHash_Create(32, 0);
  if (!g_table) Log_Printf("Var_InitTable: no memory for the variable table\n");
}

void Var_ResetTable() {
  IntHash_Destroy(&g_table);
  if (g_records) Global_Free(g_records);
  g_records = nullptr;
  g_recordCount = g_recordCapacity = 0;
  g_head = nullptr;
}

static VarRecord* Lookup(uint32_t hash) {
  if (g_table) {
    uint32_t slot = IntHash_Get(g_table, int32_t(hash));
    return (slot >= 1 && int(slot) <= g_recordCount) ? g_records[slot - 1] : nullptr;
  }
  // Without a table (no memory for it) the list is searched; its newest record wins as well.
  for (VarRecord* r = g_head; r; r = r->next)
    if (r->hash == hash) return r;
  return nullptr;
}

int Var_Add(VarRecord* record) {
  if (!record || !record->name) return 0;
  Var_InitTable();
  uint32_t hash = Name_HashStr(record->name);
  // Adding the record that already stands for its name again would loop the list.
  if (Lookup(hash) == record) return 0;
  record->hash = hash;
  record->text[kVarTextSize - 1] = 0;
  if (std::strchr(record->text, '"'))
    Log_Printf("Var_Add: the default of %s holds a double quote and cannot be written back\n", record->name);
  record->next = g_head;
  g_head = record;
  if (!g_table) return 0;
  if (g_recordCount == g_recordCapacity) {
    int capacity = g_recordCapacity ? g_recordCapacity * 2 : 64;
    auto* grown = static_cast<VarRecord**>(Global_Malloc(sizeof(VarRecord*) * size_t(capacity), "Var_Add"));
    if (!grown) {
      Log_Printf("Var_Add: no memory for %s\n", record->name);
      return 0;
    }
    if (g_records) {
      std::memcpy(grown, g_records, sizeof(VarRecord*) * size_t(g_recordCount));
      Global_Free(g_records);
    }
    g_records = grown;
    g_recordCapacity = capacity;
  }
  g_records[g_recordCount++] = record;
  IntHash_Insert(g_table, int32_t(hash), uint32_t(g_recordCount));
  return 0;
}

VarRecord* Var_Find(const char* name) {
  if (!name || !*name) return nullptr;
  return Lookup(Name_HashStr(name));
}

VarRecord* Var_Register(VarRecord* record) {
  if (!record || !record->name) {
    Log_Printf("Var_Register: a variable without a name\n");
    return nullptr;
  }
  if (VarRecord* old = Var_Find(record->name)) return old;
  Var_Add(record);
  return record;
}

uint32_t Var_TextChanges;

int Var_SetText(VarRecord* record, const char* text) {
  if (!record || !text) return 0;
  if (std::strchr(text, '"')) {
    Log_Printf("Var_SetText: %s: a value with a double quote cannot be saved; refused\n", record->name);
    return 0;
  }
  CopyText(record->text, text);
  if (record->flags & VAR_NUMERIC) ParseNumber(record->text, &record->value);
  Var_TextChanges++;
  return 1;
}

void Var_SetValue(VarRecord* record, float value) {
  if (!record) return;
  record->value = value;
  PrintNumber(record);
}

void Var_NextQuotedToken(const char* text, char* out, const char** rest) {
  const char* ignored;
  if (!rest) rest = &ignored;
  out[0] = 0;
  *rest = nullptr;
  if (!text || !*text) return;
  const char* p = text;
  while (*p && *p != '"') {
    if (p[0] == '/' && p[1] == '/') return;
    p++;
  }
  if (!*p) return;
  p++;
  int n = 0;
  while (*p && *p != '"') {
    if (p[0] == '/' && p[1] == '/') break;
    if (n < kVarQuotedTokenSize - 1) out[n++] = *p;
    p++;
  }
  out[n] = 0;
  if (*p == '"') *rest = p + 1;
}

void Var_ApplyLine(const char* line) {
  char name[kVarQuotedTokenSize], value[kVarQuotedTokenSize];
  const char* rest = nullptr;
  Var_NextQuotedToken(line, name, &rest);
  if (!name[0] || !rest || !*rest) return;
  Var_NextQuotedToken(rest, value, &rest);
  if (!value[0]) return;
  VarRecord* r = Var_Find(name);
  if (!r || !(r->flags & VAR_SETTABLE)) return;
  // The record keeps 255 characters of a longer value.
  CopyText(r->text, value);
  if (r->flags & VAR_NUMERIC) ParseNumber(r->text, &r->value);
  r->flags |= VAR_SET;
  Var_TextChanges++;
  Log_Printf("[%s]=%s\n", r->name, r->text);
}

// Applies every line of a zero-terminated buffer, splitting it in place.
static void ApplyBuffer(char* text) {
  char* save = nullptr;
  for (char* line = strtok_r(text, "\r\n", &save); line; line = strtok_r(nullptr, "\r\n", &save))
    Var_ApplyLine(line);
}

void Var_ApplyText(const char* text, size_t size) {
  if (!text) return;
  size_t n = strnlen(text, size);
  auto* copy = static_cast<char*>(Global_Malloc(n + 1, "Var_Rd"));
  if (!copy) return;
  std::memcpy(copy, text, n);
  copy[n] = 0;
  ApplyBuffer(copy);
  Global_Free(copy);
}

void Var_Rd(const char* fileName) {
  FileHandle* f = File_Open(fileName, "rb");
  if (!f) return;
  size_t size = File_Size(f);
  if (!File_WholeSizeAllowed("Var_Rd", fileName, size)) {
    File_Close(f);
    return;
  }
  auto* text = static_cast<char*>(Global_Malloc(size + 1, "Var_Rd"));
  if (!text) {
    Log_Printf("Var_Rd: no memory for %s\n", fileName);
    File_Close(f);
    return;
  }
  size_t got = size ? File_Read(text, 1, size, f) : 0;
  text[got] = 0;
  File_Close(f);
  ApplyBuffer(text);
  Global_Free(text);
}

void Var_WriteFile(const char* path) {
  if (!path || !*path) return;
  std::string tmp = std::string(path) + ".tmp";
  FILE* f = std::fopen(tmp.c_str(), "w");
  if (!f) {
    Log_Printf("Var_WriteFile: cannot write %s\n", tmp.c_str());
    return;
  }
  bool ok = true;
  for (VarRecord* r = g_head; r; r = r->next) {
    if (!((r->flags & VAR_ALWAYS) || ((r->flags & VAR_ONCESET) && (r->flags & VAR_SET)))) continue;
    if (r->flags & VAR_NUMERIC) PrintNumber(r);
    r->text[kVarTextSize - 1] = 0;
    if (std::strchr(r->text, '"')) {
      Log_Printf("Var_WriteFile: %s holds a double quote; not written\n", r->name);
      continue;
    }
    if (std::strstr(r->text, "//"))
      Log_Printf("Var_WriteFile: the value of %s holds \"//\"; it will be cut there when read\n", r->name);
    if (std::fprintf(f, "%c%s%c %c%s%c\n", '"', r->name, '"', '"', r->text, '"') < 0) ok = false;
  }
  if (std::fflush(f) != 0 || fsync(fileno(f)) != 0) ok = false;
  if (std::fclose(f) != 0) ok = false;
  if (!ok || std::rename(tmp.c_str(), path) != 0) {
    Log_Printf("Var_WriteFile: cannot write %s\n", path);
    std::remove(tmp.c_str());
  }
}
