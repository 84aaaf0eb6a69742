// Named settings variables and the settings file "settings".
//
// Each module owns its variables as static records with their defaults and registers them at
// stage 0; the settings file is applied once after registration and written back at exit.
// Names are matched by Name_Hash alone, so names that differ only in case are one variable.
#pragma once
#include <cstddef>
#include <cstdint>

enum VarFlags : uint32_t {
  VAR_SET = 0x1,       // the value was given by the settings file
  VAR_NUMERIC = 0x2,   // the text is parsed into the value on reading, printed from it on writing
  VAR_SETTABLE = 0x4,  // settable from the settings file
  VAR_ALWAYS = 0x8,    // always written to the settings file
  VAR_ONCESET = 0x10,  // written only when the set bit is on
};

constexpr int kVarTextSize = 256;        // the text keeps at most 255 characters and its zero
constexpr int kVarQuotedTokenSize = 257;  // output of Var_NextQuotedToken

struct VarRecord {
  const char* name;
  uint32_t hash;   // Name_Hash of the name, filled at registration
  uint32_t flags;  // VarFlags
  float value;     // the number, for numeric variables (the truth for them)
  char text[kVarTextSize];
  uint32_t reserved;
  VarRecord* next;  // registration list, newest first
};

// Creates the empty table (done by the first registration when not called).
void Var_InitTable();
// Empties the table and the registration list (File_Shutdown).
void Var_ResetTable();

// Registers a module's variable at stage 0 and returns the effective record: the given one, or
// the earlier record of the same name, which then wins (read through the result). Null only for
// a record without a name.
VarRecord* Var_Register(VarRecord* record);
// Hashes the name, pushes the record at the head of the list and makes it the table's record
// for its name. Returns 0.
int Var_Add(VarRecord* record);
// The record of that name, or null (also for a null or empty name).
VarRecord* Var_Find(const char* name);

// Stores a text value (numeric variables also take its number). A text holding a double quote
// could not be written back to the settings file and is refused (0, logged); a longer text than
// 255 characters is cut. Returns 1 when stored.
int Var_SetText(VarRecord* record, const char* text);
// Counts the texts set through Var_SetText and the settings file (readers of bindings cache what
// they found until it moves).
extern uint32_t Var_TextChanges;
// Stores a number and its "%f" text.
void Var_SetValue(VarRecord* record, float value);

// Applies a settings file read through the file layer; a missing file does nothing.
void Var_Rd(const char* fileName);
// Applies settings text of the given size (lines split at CR and LF; stops at a zero byte).
void Var_ApplyText(const char* text, size_t size);
// Applies one line: a quoted name and a quoted value.
void Var_ApplyLine(const char* line);
// The next double-quoted token of text into out (257 bytes, at most 256 characters kept);
// rest points behind the closing quote, or is null when the text or the line ended first.
void Var_NextQuotedToken(const char* text, char* out, const char** rest);
// Writes every variable to be saved as a line "name" "value", newest registration first, to a
// temporary file that then replaces path. Numbers are written with "%f" in the C locale.
void Var_WriteFile(const char* path);
