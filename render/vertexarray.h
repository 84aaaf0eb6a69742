// Vertex-array memory: one block for the whole program; models carve static vertex copies from
// its bottom once per load and per-frame vertices from its top every frame.
#pragma once
#include <cstdint>

enum VarKind : int32_t { kVarOff = 0, kVarSystem = 1, kVarAgp = 2, kVarVideo = 3 };

struct VertexArrayMemory {
  uint8_t* block;          // null when there is none
  int32_t kind;            // VarKind
  int32_t size;            // bytes
  int32_t staticOffset;    // bytes handed out from the bottom since the block was allocated
  int32_t dynamicOffset;   // bytes handed out from the top since the frame began
  uint32_t generation;     // +1 per allocation of the block
};
extern VertexArrayMemory OPENGL_Var;

// (Re)creates the block from "render_var_type" and "render_var_size"; returns the new generation.
uint32_t OPENGL_AllocVar();
void OPENGL_FreeVar();
// Bytes from the bottom (static) or the top (dynamic, emptied every frame); null when they do
// not fit.
void* OPENGL_GetStaticVar(int bytes);
void* OPENGL_GetDynamicVar(int bytes);
uint32_t OPENGL_GetVarGeneration();
