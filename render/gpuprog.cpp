#include "render/gpuprog.h"

#include <cstring>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"

namespace {

enum ProgramKind { kNvVertex = 0, kNvFragment = 1, kArbVertex = 2, kArbFragment = 3 };

struct ProgramKindInfo {
  GLenum target;
  bool arb;
  const char* errorFormat;
  const char* okFormat;
};

const ProgramKindInfo kKinds[4] = {
    {GL_VERTEX_PROGRAM_NV, false, "Init NV_VERTEX_PROGRAM error %i [%s]\n", "Init NV_VERTEX_PROGRAM Ok\n\n%s\n"},
    {GL_FRAGMENT_PROGRAM_NV, false, "Init NV_FRAGMENT_PROGRAM error %i [%s]\n", "Init NV_FRAGMENT_PROGRAM Ok\n\n%s\n"},
    {GL_VERTEX_PROGRAM_ARB, true, "Init ARB_VERTEX_PROGRAM error %i [%s]\n", "Init ARB_VERTEX_PROGRAM Ok\n\n%s\n\n"},
    {GL_FRAGMENT_PROGRAM_ARB, true, "Init ARB_FRAGMENT_PROGRAM error %i [%s]\n", "Init ARB_FRAGMENT_PROGRAM Ok\n\n%s\n\n"},
};

uint32_t g_programIds[4][kMaxProgramsPerKind];
int g_programCount[4];
char g_readBack[kProgramReadBackSize];

bool KindEnabled(int kind) {
  if (RenderApi != RENDER_API_OPENGL) return false;
  switch (kind) {
    case kNvVertex: return GlExtFlags.NV_vertex_program && gl.glGenProgramsNV;
    case kNvFragment: return GlExtFlags.NV_fragment_program && gl.glGenProgramsNV;
    case kArbVertex: return GlExtFlags.ARB_vertex_program && gl.glGenProgramsARB;
    default: return GlExtFlags.ARB_fragment_program && gl.glGenProgramsARB;
  }
}

void SelectProgram(int kind, GLuint id) {
  if (kKinds[kind].arb)
    gl.glBindProgramARB(kKinds[kind].target, id);
  else
    gl.glBindProgramNV(kKinds[kind].target, id);
}

void DeleteId(int kind, GLuint id) {
  if (kKinds[kind].arb)
    gl.glDeleteProgramsARB(1, &id);
  else
    gl.glDeleteProgramsNV(1, &id);
}

// Logs the compiled text; a text longer than the read-back buffer gets a buffer of its own.
void LogCompiled(int kind, GLuint id) {
  const ProgramKindInfo& k = kKinds[kind];
  GLint length = 0;
  if (k.arb)
    gl.glGetProgramivARB(k.target, GL_PROGRAM_LENGTH_ARB, &length);
  else if (gl.glGetProgramivNV)
    gl.glGetProgramivNV(id, GL_PROGRAM_LENGTH_NV, &length);
  char* text = g_readBack;
  bool own = length >= kProgramReadBackSize;
  if (own) {
    text = static_cast<char*>(Global_MallocZero(size_t(length) + 1, "GLPROG"));
    if (!text) {
      Log_Printf(k.okFormat, "(text not shown)");
      return;
    }
  } else {
    std::memset(g_readBack, 0, sizeof g_readBack);
  }
  if (length > 0) {
    if (k.arb)
      gl.glGetProgramStringARB(k.target, GL_PROGRAM_STRING_ARB, text);
    else if (gl.glGetProgramStringNV)
      gl.glGetProgramStringNV(id, GL_PROGRAM_STRING_NV, reinterpret_cast<GLubyte*>(text));
  }
  Log_Printf(k.okFormat, text);
  if (own) Global_Free(text);
}

ProgramHandle Compile(int kind, int length, const char* text) {
  if (!KindEnabled(kind) || length <= 0 || !text || g_programCount[kind] >= kMaxProgramsPerKind - 1)
    return nullptr;
  const ProgramKindInfo& k = kKinds[kind];
  // A slot emptied by OPENGL_DeleteProgram is taken again before a new one.
  uint32_t* slot = &g_programIds[kind][g_programCount[kind]];
  for (int i = 0; i < g_programCount[kind]; ++i)
    if (g_programIds[kind][i] == 0) {
      slot = &g_programIds[kind][i];
      break;
    }
  bool reused = slot != &g_programIds[kind][g_programCount[kind]];
  GLuint id = 0;
  if (k.arb)
    gl.glGenProgramsARB(1, &id);
  else
    gl.glGenProgramsNV(1, &id);
  *slot = id;
  if (id == 0) return nullptr;
  SelectProgram(kind, id);
  if (k.arb)
    gl.glProgramStringARB(k.target, GL_PROGRAM_FORMAT_ASCII_ARB, length, text);
  else
    gl.glLoadProgramNV(k.target, id, length, reinterpret_cast<const GLubyte*>(text));
  GLint errorPos = 0, native = 1;
  gl.glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &errorPos);
  if (k.arb) gl.glGetProgramivARB(k.target, GL_PROGRAM_UNDER_NATIVE_LIMITS_ARB, &native);
  if (errorPos == -1 && native == 1) {
    LogCompiled(kind, id);
    if (!reused) g_programCount[kind]++;
    return slot;
  }
  const GLubyte* message = gl.glGetString(GL_PROGRAM_ERROR_STRING_ARB);
  Log_Printf(k.errorFormat, int(errorPos), message ? reinterpret_cast<const char*>(message) : "");
  DeleteId(kind, id);
  *slot = 0;
  return nullptr;
}

ProgramHandle Load(int kind, const char* fileName) {
  if (!KindEnabled(kind) || !fileName) return nullptr;
  const char* text = TextFile_Get(fileName);
  if (!text) return nullptr;
  return Compile(kind, int(std::strlen(text)), text);
}

void Bind(int kind, ProgramHandle program) {
  if (!KindEnabled(kind) || !program || *program == 0) return;
  SelectProgram(kind, *program);
  gl.glEnable(kKinds[kind].target);
}

void Disable(int kind) {
  if (!KindEnabled(kind)) return;
  gl.glDisable(kKinds[kind].target);
  SelectProgram(kind, 0);
}

void DeleteAll(int kind) {
  if (!KindEnabled(kind)) return;
  SelectProgram(kind, 0);
  while (g_programCount[kind] > 0) {
    uint32_t* slot = &g_programIds[kind][--g_programCount[kind]];
    if (*slot) DeleteId(kind, *slot);
    *slot = 0;
  }
}

}  // namespace

ProgramHandle OPENGL_CompileVertexProgramNV(int length, const char* text) { return Compile(kNvVertex, length, text); }
ProgramHandle OPENGL_CompileFragmentProgramNV(int length, const char* text) { return Compile(kNvFragment, length, text); }
ProgramHandle OPENGL_CompileVertexProgramARB(int length, const char* text) { return Compile(kArbVertex, length, text); }
ProgramHandle OPENGL_CompileFragmentProgramARB(int length, const char* text) { return Compile(kArbFragment, length, text); }

ProgramHandle OPENGL_LoadVertexProgramNV(const char* fileName) { return Load(kNvVertex, fileName); }
ProgramHandle OPENGL_LoadFragmentProgramNV(const char* fileName) { return Load(kNvFragment, fileName); }
ProgramHandle OPENGL_LoadVertexProgramARB(const char* fileName) { return Load(kArbVertex, fileName); }
ProgramHandle OPENGL_LoadFragmentProgramARB(const char* fileName) { return Load(kArbFragment, fileName); }

void OPENGL_BindVertexProgramNV(ProgramHandle program) { Bind(kNvVertex, program); }
void OPENGL_BindFragmentProgramNV(ProgramHandle program) { Bind(kNvFragment, program); }
void OPENGL_BindVertexProgramARB(ProgramHandle program) { Bind(kArbVertex, program); }
void OPENGL_BindFragmentProgramARB(ProgramHandle program) { Bind(kArbFragment, program); }

void OPENGL_DisableVertexProgramNV() { Disable(kNvVertex); }
void OPENGL_DisableFragmentProgramNV() { Disable(kNvFragment); }
void OPENGL_DisableVertexProgramARB() { Disable(kArbVertex); }
void OPENGL_DisableFragmentProgramARB() { Disable(kArbFragment); }

void OPENGL_DeleteVertexProgramsNV() { DeleteAll(kNvVertex); }
void OPENGL_DeleteFragmentProgramsNV() { DeleteAll(kNvFragment); }
void OPENGL_DeleteVertexProgramsARB() { DeleteAll(kArbVertex); }
void OPENGL_DeleteFragmentProgramsARB() { DeleteAll(kArbFragment); }

void OPENGL_DeleteProgram(int kind, ProgramHandle program) {
  if (kind < 0 || kind > 3 || !program || !KindEnabled(kind)) return;
  if (program < &g_programIds[kind][0] || program >= &g_programIds[kind][g_programCount[kind]]) return;
  if (*program) DeleteId(kind, *program);
  *program = 0;
  while (g_programCount[kind] > 0 && g_programIds[kind][g_programCount[kind] - 1] == 0) --g_programCount[kind];
}

int OPENGL_ProgramCount(int kind) { return kind >= 0 && kind < 4 ? g_programCount[kind] : 0; }
