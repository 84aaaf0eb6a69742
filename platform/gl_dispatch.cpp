#include "platform/gl_dispatch.h"

#include <cstdio>
#include <cstring>
#include <map>

GlDispatch gl;

namespace {

struct SlotInfo {
  const char* name;
  std::ptrdiff_t offset;
};

constexpr SlotInfo kSlots[GL_SLOT_COUNT] = {
#define TW_GL_INFO(name) {#name, offsetof(GlDispatch, name)},
    TW_GL_ALL_FUNCS(TW_GL_INFO)
#undef TW_GL_INFO
    {"glXAllocateMemoryNV", offsetof(GlDispatch, glXAllocateMemoryNV)},
    {"glXFreeMemoryNV", offsetof(GlDispatch, glXFreeMemoryNV)},
};

void** SlotAddress(int slot) {
  return reinterpret_cast<void**>(reinterpret_cast<char*>(&gl) + kSlots[slot].offset);
}

}  // namespace

const char* GlDispatch_SlotName(int slot) {
  if (slot < 0 || slot >= GL_SLOT_COUNT) return "";
  return kSlots[slot].name;
}

std::ptrdiff_t GlDispatch_SlotOffset(int slot) {
  if (slot < 0 || slot >= GL_SLOT_COUNT) return -1;
  return kSlots[slot].offset;
}

void* GlDispatch_SlotValue(int slot) {
  if (slot < 0 || slot >= GL_SLOT_COUNT) return nullptr;
  return *SlotAddress(slot);
}

int GlDispatch_Load(void* (*getProc)(const char* name), int first, int last) {
  if (first < 0) first = 0;
  if (last > GL_SLOT_COUNT) last = GL_SLOT_COUNT;
  int missing = 0;
  for (int i = first; i < last; ++i) {
    void* p = getProc ? getProc(kSlots[i].name) : nullptr;
    *SlotAddress(i) = p;
    if (!p) ++missing;
  }
  return missing;
}

void GlDispatch_Clear() { std::memset(static_cast<void*>(&gl), 0, sizeof gl); }

// ---- Recording table ---------------------------------------------------------------------------

namespace {

std::vector<std::string> g_calls;
std::map<GLenum, std::string> g_strings;
std::map<GLenum, std::vector<GLint>> g_integers;
std::map<GLenum, std::vector<GLfloat>> g_floats;
GLuint g_nextName = 1;
GlDispatch g_recordingTable;

void Append(const char* name, std::initializer_list<std::string> args) {
  std::string s = name;
  s += '(';
  bool first = true;
  for (const auto& a : args) {
    if (!first) s += ", ";
    s += a;
    first = false;
  }
  s += ')';
  g_calls.push_back(std::move(s));
}

template <int I, typename F>
struct Recorder;

template <int I, typename R, typename... A>
struct Recorder<I, R (*)(A...)> {
  static R Call(A... args) {
    Append(kSlots[I].name, {GlRecord_AnyArg(args)...});
    if constexpr (!std::is_void_v<R>) return R{};
  }
};

template <typename T>
std::string Values(const T* p, int n) {
  if (!p) return "null";
  std::string s = "[";
  for (int i = 0; i < n; ++i) {
    if (i) s += ", ";
    s += GlRecord_AnyArg(p[i]);
  }
  return s + "]";
}

int ColourCount(GLenum pname) {
  switch (pname) {
    case GL_AMBIENT: case GL_DIFFUSE: case GL_SPECULAR: case GL_POSITION: case GL_EMISSION:
    case GL_AMBIENT_AND_DIFFUSE: case GL_FOG_COLOR: case GL_LIGHT_MODEL_AMBIENT:
      return 4;
    case GL_SPOT_DIRECTION:
      return 3;
    default:
      return 1;
  }
}

const GLubyte* RecGetString(GLenum name) {
  Append("glGetString", {GlRecord_AnyArg(name)});
  auto it = g_strings.find(name);
  return it == g_strings.end() ? nullptr : reinterpret_cast<const GLubyte*>(it->second.c_str());
}
void RecGetIntegerv(GLenum pname, GLint* out) {
  Append("glGetIntegerv", {GlRecord_AnyArg(pname), GlRecord_AnyArg(out)});
  auto it = g_integers.find(pname);
  if (it != g_integers.end() && out)
    for (size_t i = 0; i < it->second.size(); ++i) out[i] = it->second[i];
}
void RecGetFloatv(GLenum pname, GLfloat* out) {
  Append("glGetFloatv", {GlRecord_AnyArg(pname), GlRecord_AnyArg(out)});
  auto it = g_floats.find(pname);
  if (it != g_floats.end() && out)
    for (size_t i = 0; i < it->second.size(); ++i) out[i] = it->second[i];
}
void RecMultMatrixf(const GLfloat* m) { Append("glMultMatrixf", {Values(m, 16)}); }
void RecLoadMatrixf(const GLfloat* m) { Append("glLoadMatrixf", {Values(m, 16)}); }
void RecLightfv(GLenum light, GLenum pname, const GLfloat* v) {
  Append("glLightfv", {GlRecord_AnyArg(light), GlRecord_AnyArg(pname), Values(v, ColourCount(pname))});
}
void RecMaterialfv(GLenum face, GLenum pname, const GLfloat* v) {
  Append("glMaterialfv", {GlRecord_AnyArg(face), GlRecord_AnyArg(pname), Values(v, ColourCount(pname))});
}
void RecFogfv(GLenum pname, const GLfloat* v) {
  Append("glFogfv", {GlRecord_AnyArg(pname), Values(v, ColourCount(pname))});
}
void RecLightModelfv(GLenum pname, const GLfloat* v) {
  Append("glLightModelfv", {GlRecord_AnyArg(pname), Values(v, ColourCount(pname))});
}
void RecColor4ubv(const GLubyte* v) { Append("glColor4ubv", {Values(v, 4)}); }
void RecTexCoord2fv(const GLfloat* v) { Append("glTexCoord2fv", {Values(v, 2)}); }
void RecVertex3fv(const GLfloat* v) { Append("glVertex3fv", {Values(v, 3)}); }
void GenNames(GLsizei n, GLuint* out);
// Lighting: buffer and shader names handed out, program constants recorded with their values.
void RecGenBuffersARB(GLsizei n, GLuint* out) {
  Append("glGenBuffersARB", {GlRecord_AnyArg(n), GlRecord_AnyArg(out)});
  GenNames(n, out);
}
GLuint RecGenFragmentShadersATI(GLuint range) {
  Append("glGenFragmentShadersATI", {GlRecord_AnyArg(range)});
  GLuint first = g_nextName;
  g_nextName += range;
  return first;
}
GLuint RecNewObjectBufferATI(GLsizei size, const void* pointer, GLenum usage) {
  Append("glNewObjectBufferATI", {GlRecord_AnyArg(size), GlRecord_AnyArg(pointer), GlRecord_AnyArg(usage)});
  return g_nextName++;
}
void RecProgramEnvParameter4fvARB(GLenum target, GLuint index, const GLfloat* v) {
  Append("glProgramEnvParameter4fvARB", {GlRecord_AnyArg(target), GlRecord_AnyArg(index), Values(v, 4)});
}
void RecProgramParameters4fvNV(GLenum target, GLuint index, GLsizei count, const GLfloat* v) {
  Append("glProgramParameters4fvNV",
         {GlRecord_AnyArg(target), GlRecord_AnyArg(index), GlRecord_AnyArg(count), Values(v, 4 * count)});
}
void RecSetFragmentShaderConstantATI(GLuint dst, const GLfloat* v) {
  Append("glSetFragmentShaderConstantATI", {GlRecord_AnyArg(dst), Values(v, 4)});
}
void RecCombinerParameterfvNV(GLenum pname, const GLfloat* v) {
  bool colour = pname == GL_CONSTANT_COLOR0_NV || pname == GL_CONSTANT_COLOR1_NV;
  Append("glCombinerParameterfvNV", {GlRecord_AnyArg(pname), Values(v, colour ? 4 : 1)});
}
void GenNames(GLsizei n, GLuint* out) {
  for (GLsizei i = 0; out && i < n; ++i) out[i] = g_nextName++;
}
void RecGenTextures(GLsizei n, GLuint* out) {
  Append("glGenTextures", {GlRecord_AnyArg(n), GlRecord_AnyArg(out)});
  GenNames(n, out);
}
void RecGenFramebuffers(GLsizei n, GLuint* out) {
  Append("glGenFramebuffers", {GlRecord_AnyArg(n), GlRecord_AnyArg(out)});
  GenNames(n, out);
}
void RecGenRenderbuffers(GLsizei n, GLuint* out) {
  Append("glGenRenderbuffers", {GlRecord_AnyArg(n), GlRecord_AnyArg(out)});
  GenNames(n, out);
}
void RecDeleteTextures(GLsizei n, const GLuint* ids) {
  Append("glDeleteTextures", {GlRecord_AnyArg(n), Values(ids, n)});
}
void RecDeleteFramebuffers(GLsizei n, const GLuint* ids) {
  Append("glDeleteFramebuffers", {GlRecord_AnyArg(n), Values(ids, n)});
}
void RecDeleteRenderbuffers(GLsizei n, const GLuint* ids) {
  Append("glDeleteRenderbuffers", {GlRecord_AnyArg(n), Values(ids, n)});
}
void RecDeleteOcclusionQueriesNV(GLsizei n, const GLuint* ids) {
  Append("glDeleteOcclusionQueriesNV", {GlRecord_AnyArg(n), Values(ids, n)});
}
void RecGenProgramsNV(GLsizei n, GLuint* out) {
  Append("glGenProgramsNV", {GlRecord_AnyArg(n), GlRecord_AnyArg(out)});
  GenNames(n, out);
}
void RecGenProgramsARB(GLsizei n, GLuint* out) {
  Append("glGenProgramsARB", {GlRecord_AnyArg(n), GlRecord_AnyArg(out)});
  GenNames(n, out);
}
// Program queries answer from the integer and string answers, by parameter name.
void AnswerIntegers(GLenum pname, GLint* out) {
  auto it = g_integers.find(pname);
  if (it != g_integers.end() && out)
    for (size_t i = 0; i < it->second.size(); ++i) out[i] = it->second[i];
}
void AnswerString(GLenum pname, void* out) {
  auto it = g_strings.find(pname);
  if (it != g_strings.end() && out) std::memcpy(out, it->second.data(), it->second.size());
}
void RecGetProgramivNV(GLuint id, GLenum pname, GLint* out) {
  Append("glGetProgramivNV", {GlRecord_AnyArg(id), GlRecord_AnyArg(pname), GlRecord_AnyArg(out)});
  AnswerIntegers(pname, out);
}
void RecGetProgramivARB(GLenum target, GLenum pname, GLint* out) {
  Append("glGetProgramivARB", {GlRecord_AnyArg(target), GlRecord_AnyArg(pname), GlRecord_AnyArg(out)});
  AnswerIntegers(pname, out);
}
void RecGetProgramStringNV(GLuint id, GLenum pname, GLubyte* out) {
  Append("glGetProgramStringNV", {GlRecord_AnyArg(id), GlRecord_AnyArg(pname), GlRecord_AnyArg(out)});
  AnswerString(pname, out);
}
void RecGetProgramStringARB(GLenum target, GLenum pname, void* out) {
  Append("glGetProgramStringARB", {GlRecord_AnyArg(target), GlRecord_AnyArg(pname), GlRecord_AnyArg(out)});
  AnswerString(pname, out);
}
GLenum RecCheckFramebufferStatus(GLenum target) {
  Append("glCheckFramebufferStatus", {GlRecord_AnyArg(target)});
  return GL_FRAMEBUFFER_COMPLETE;
}

}  // namespace

std::string GlRecord_Arg(long long v) { return std::to_string(v); }
std::string GlRecord_Arg(double v) {
  if (v == 0) return "0";  // -0 and 0 read the same
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}
std::string GlRecord_Arg(const void* p) { return p ? "ptr" : "null"; }

void GlDispatch_InstallRecording() {
  g_calls.clear();
  g_strings.clear();
  g_integers.clear();
  g_floats.clear();
  g_nextName = 1;
#define TW_GL_REC(name) gl.name = &Recorder<GL_SLOT_##name, decltype(gl.name)>::Call;
  TW_GL_ALL_FUNCS(TW_GL_REC)
#undef TW_GL_REC
  gl.glXAllocateMemoryNV = nullptr;
  gl.glXFreeMemoryNV = nullptr;
  gl.glGetString = RecGetString;
  gl.glGetIntegerv = RecGetIntegerv;
  gl.glGetFloatv = RecGetFloatv;
  gl.glMultMatrixf = RecMultMatrixf;
  gl.glLoadMatrixf = RecLoadMatrixf;
  gl.glLightfv = RecLightfv;
  gl.glMaterialfv = RecMaterialfv;
  gl.glFogfv = RecFogfv;
  gl.glLightModelfv = RecLightModelfv;
  gl.glColor4ubv = RecColor4ubv;
  gl.glTexCoord2fv = RecTexCoord2fv;
  gl.glVertex3fv = RecVertex3fv;
  gl.glGenBuffersARB = RecGenBuffersARB;
  gl.glGenFragmentShadersATI = RecGenFragmentShadersATI;
  gl.glNewObjectBufferATI = RecNewObjectBufferATI;
  gl.glProgramEnvParameter4fvARB = RecProgramEnvParameter4fvARB;
  gl.glProgramParameters4fvNV = RecProgramParameters4fvNV;
  gl.glSetFragmentShaderConstantATI = RecSetFragmentShaderConstantATI;
  gl.glCombinerParameterfvNV = RecCombinerParameterfvNV;
  g_integers[GL_PROGRAM_ERROR_POSITION_ARB] = {-1};  // program loads compile
  gl.glGenTextures = RecGenTextures;
  gl.glGenFramebuffers = RecGenFramebuffers;
  gl.glGenRenderbuffers = RecGenRenderbuffers;
  gl.glDeleteTextures = RecDeleteTextures;
  gl.glDeleteFramebuffers = RecDeleteFramebuffers;
  gl.glDeleteRenderbuffers = RecDeleteRenderbuffers;
  gl.glDeleteOcclusionQueriesNV = RecDeleteOcclusionQueriesNV;
  gl.glCheckFramebufferStatus = RecCheckFramebufferStatus;
  gl.glGenProgramsNV = RecGenProgramsNV;
  gl.glGenProgramsARB = RecGenProgramsARB;
  gl.glGetProgramivNV = RecGetProgramivNV;
  gl.glGetProgramivARB = RecGetProgramivARB;
  gl.glGetProgramStringNV = RecGetProgramStringNV;
  gl.glGetProgramStringARB = RecGetProgramStringARB;
  g_recordingTable = gl;
}

void* GlRecord_ProcAddress(const char* name) {
  if (!name) return nullptr;
  for (int i = 0; i < GL_SLOT_COUNT; ++i)
    if (std::strcmp(kSlots[i].name, name) == 0)
      return *reinterpret_cast<void**>(reinterpret_cast<char*>(&g_recordingTable) + kSlots[i].offset);
  return nullptr;
}

const std::vector<std::string>& GlRecord_Calls() { return g_calls; }
void GlRecord_Clear() { g_calls.clear(); }
void GlRecord_SetString(GLenum name, const char* value) {
  if (value)
    g_strings[name] = value;
  else
    g_strings.erase(name);
}
void GlRecord_SetIntegers(GLenum pname, std::vector<GLint> values) { g_integers[pname] = std::move(values); }
void GlRecord_SetFloats(GLenum pname, std::vector<GLfloat> values) { g_floats[pname] = std::move(values); }
void GlRecord_ResetNames() { g_nextName = 1; }
