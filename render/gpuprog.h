// Vertex and fragment programs of the NV and ARB extension families: program texts compiled into
// program objects whose ids sit in one fixed array per kind; callers hold a ProgramHandle.
#pragma once
#include <cstdint>

// Pointer to the id slot of a loaded program; null (0) when the program failed to load.
typedef uint32_t* ProgramHandle;

constexpr int kMaxProgramsPerKind = 1024;
constexpr int kProgramReadBackSize = 16384;

ProgramHandle OPENGL_CompileVertexProgramNV(int length, const char* text);
ProgramHandle OPENGL_CompileFragmentProgramNV(int length, const char* text);
ProgramHandle OPENGL_CompileVertexProgramARB(int length, const char* text);
ProgramHandle OPENGL_CompileFragmentProgramARB(int length, const char* text);

ProgramHandle OPENGL_LoadVertexProgramNV(const char* fileName);
ProgramHandle OPENGL_LoadFragmentProgramNV(const char* fileName);
ProgramHandle OPENGL_LoadVertexProgramARB(const char* fileName);
ProgramHandle OPENGL_LoadFragmentProgramARB(const char* fileName);

void OPENGL_BindVertexProgramNV(ProgramHandle program);
void OPENGL_BindFragmentProgramNV(ProgramHandle program);
void OPENGL_BindVertexProgramARB(ProgramHandle program);
void OPENGL_BindFragmentProgramARB(ProgramHandle program);

void OPENGL_DisableVertexProgramNV();
void OPENGL_DisableFragmentProgramNV();
void OPENGL_DisableVertexProgramARB();
void OPENGL_DisableFragmentProgramARB();

void OPENGL_DeleteVertexProgramsNV();
void OPENGL_DeleteFragmentProgramsNV();
void OPENGL_DeleteVertexProgramsARB();
void OPENGL_DeleteFragmentProgramsARB();

// Deletes one program of a kind (0 NV vertex, 1 NV fragment, 2 ARB vertex, 3 ARB fragment) and
// empties its slot, which a later load takes again.
void OPENGL_DeleteProgram(int kind, ProgramHandle program);

// Programs of a kind currently loaded (0 NV vertex, 1 NV fragment, 2 ARB vertex, 3 ARB fragment).
int OPENGL_ProgramCount(int kind);
