// Named settings variables and the settings file.
#pragma once
#include <cstdint>

enum VarFlags : uint32_t {
  VAR_SET = 0x1,       // the value was given by the settings file
  VAR_NUMERIC = 0x2,   // the text is parsed into the value on reading, printed from it on writing
  VAR_SETTABLE = 0x4,  // settable from the settings file
  VAR_ALWAYS = 0x8,    // always written to the settings file
  VAR_ONCESET = 0x10,  // written only when the set bit is on
};

struct VarRecord {
  const char* name;
  uint32_t hash;
  uint32_t flags;
  float value;
  char text[256];
  uint32_t reserved;
  VarRecord* next;
};

// Registers a module's variable at stage 0; returns the effective record (the earlier one when
// the name is already registered).
VarRecord* Var_Register(VarRecord* record);
int Var_Add(VarRecord* record);
VarRecord* Var_Find(const char* name);
void Var_Rd(const char* fileName);
void Var_WriteFile(const char* path);
// Empties the table and the registration list (File_Shutdown).
void Var_ResetTable();
