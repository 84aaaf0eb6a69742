#include "render/vertexarray.h"

#include <cmath>
#include <strings.h>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"

VertexArrayMemory OPENGL_Var;

void OPENGL_FreeVar() {
  VertexArrayMemory& v = OPENGL_Var;
  if (v.block) {
    if ((v.kind == kVarAgp || v.kind == kVarVideo) && GlExtFlags.NV_vertex_array_range) {
      if (gl.glDisableClientState) gl.glDisableClientState(GL_VERTEX_ARRAY_RANGE_NV);
      if (gl.glXFreeMemoryNV) gl.glXFreeMemoryNV(v.block);
    } else if (v.kind == kVarSystem) {
      Global_Free(v.block);
    }
  }
  v.block = nullptr;
  v.kind = kVarOff;
}

uint32_t OPENGL_AllocVar() {
  OPENGL_FreeVar();
  VertexArrayMemory& v = OPENGL_Var;
  const char* type = render_var_type.text;
  int wanted = strcasecmp(type, "VIDEO") == 0 ? kVarVideo : strcasecmp(type, "AGP") == 0 ? kVarAgp : kVarSystem;
  float sizeValue = render_var_size.value;
  int size = std::isfinite(sizeValue) && sizeValue > 0.0f && sizeValue < 2147483520.0f ? int(sizeValue) : 0;
  v.size = size;
  if (size > 0 && GlExtFlags.NV_vertex_array_range && gl.glXAllocateMemoryNV) {
    if (wanted == kVarVideo) {
      v.block = static_cast<uint8_t*>(gl.glXAllocateMemoryNV(size, 0.0f, 0.0f, 1.0f));
      if (v.block) v.kind = kVarVideo;
    }
    if (!v.block && wanted >= kVarAgp) {
      v.block = static_cast<uint8_t*>(gl.glXAllocateMemoryNV(size, 0.0f, 0.0f, 0.5f));
      if (v.block) v.kind = kVarAgp;
    }
    if (v.block) {
      gl.glVertexArrayRangeNV(size, v.block);
      gl.glEnableClientState(GL_VERTEX_ARRAY_RANGE_NV);
    }
  }
  if (!v.block && size > 0) {
    v.block = static_cast<uint8_t*>(Global_Malloc(size_t(size), "NVVAR"));
    if (v.block) v.kind = kVarSystem;
  }
  if (!v.block) {
    v.kind = kVarOff;
    v.size = 0;
    Log_Printf("VAR=OFF\n");
  } else if (v.kind == kVarSystem) {
    Log_Printf("VAR[%i]=SYS\n", v.size);
  } else if (v.kind == kVarAgp) {
    Log_Printf("VAR[%i]=AGP\n", v.size);
  } else {
    Log_Printf("VAR[%i]=VID\n", v.size);
  }
  v.staticOffset = 0;
  v.dynamicOffset = 0;
  v.generation++;
  return v.generation;
}

void* OPENGL_GetStaticVar(int bytes) {
  VertexArrayMemory& v = OPENGL_Var;
  if (!v.block) {
    Log_Printf("NULLVAR\n");
    return nullptr;
  }
  // The bottom part never reaches into what this frame already took from the top.
  if (bytes <= 0 || int64_t(v.staticOffset) + bytes >= int64_t(v.size) - v.dynamicOffset) {
    Log_Printf("BigVAR\n");
    return nullptr;
  }
  Log_Printf("Get VAR[%i..]=%i\n", v.staticOffset, bytes);
  void* p = v.block + v.staticOffset;
  v.staticOffset += bytes;
  return p;
}

void* OPENGL_GetDynamicVar(int bytes) {
  VertexArrayMemory& v = OPENGL_Var;
  if (!v.block) {
    Log_Printf("NULLVAR\n");
    return nullptr;
  }
  if (bytes <= 0 || int64_t(v.dynamicOffset) + bytes >= int64_t(v.size) - v.staticOffset) {
    Log_Printf("BigDinamicVAR\n");
    return nullptr;
  }
  v.dynamicOffset += bytes;
  return v.block + v.size - v.dynamicOffset;
}

uint32_t OPENGL_GetVarGeneration() { return OPENGL_Var.generation; }

void OPENGL_ResetDynamicVar() { OPENGL_Var.dynamicOffset = 0; }
