// The lighting paths' program table (loaded once per file, counted by users) and the built-in
// ATI fragment shaders.
#include "scene/lighting.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"

namespace {

enum : int { kNvVertex, kNvFragment, kArbVertex, kArbFragment, kAti };

struct ProgramSlot {
  const char* file;
  int kind;
  ProgramHandle handle = nullptr;
  uint32_t ati = 0;
  int users = 0;
};

ProgramSlot g_programs[kLightProgramCount] = {
    {"NV30.fp", kNvFragment},
    {"NV30.vp", kNvVertex}, {"NV30_4bones.vp", kNvVertex},
    {"NV20_z.vp", kNvVertex}, {"NV20_z_4bones.vp", kNvVertex},
    {"NV20_reflect.vp", kNvVertex}, {"NV20_reflect_4bones.vp", kNvVertex},
    {"NV20_attenuation.vp", kNvVertex}, {"NV20_attenuation_4bones.vp", kNvVertex},
    {"NV20_diffuse.vp", kNvVertex}, {"NV20_diffuse_4bones.vp", kNvVertex},
    {"NV20_specular.vp", kNvVertex}, {"NV20_specular_4bones.vp", kNvVertex},
    {"NV20_diffuse_specular.vp", kNvVertex}, {"NV20_diffuse_specular_4bones.vp", kNvVertex},
    {"NV20_volume.vp", kNvVertex}, {"NV20_volume_4bones.vp", kNvVertex},
    {"R300_diffuse_specular.arbfp", kArbFragment},
    {"R200_z.arbvp", kArbVertex}, {"R200_z_4bones.arbvp", kArbVertex},
    {"R200_volume.arbvp", kArbVertex}, {"R200_volume_4bones.arbvp", kArbVertex},
    {"R300_diffuse_specular.arbvp", kArbVertex}, {"R300_diffuse_specular_4bones.arbvp", kArbVertex},
    {"R200_diffuse_specular.arbvp", kArbVertex}, {"R200_diffuse_specular_4bones.arbvp", kArbVertex},
    {"R200_diffuse_specular_fast.arbvp", kArbVertex}, {"R200_diffuse_specular_fast_4bones.arbvp", kArbVertex},
    {"R200_diffuse_specular_fastest.arbvp", kArbVertex},
    {"R200_diffuse_specular_fastest_4bones.arbvp", kArbVertex},
    {"R200_z.atifs", kAti}, {"R200_diffuse_specular.atifs", kAti},
    {"R200_diffuse_specular_fast.atifs", kAti}, {"R200_diffuse_specular_fastest.atifs", kAti},
    {"NV20_mul.vp", kNvVertex}, {"R200_mul.arbvp", kArbVertex},
};

constexpr LightProgramSet Bit(int p) { return LightProgramSet(1) << p; }
constexpr LightProgramSet Pair(int p) { return Bit(p) | Bit(p + 1); }

constexpr LightProgramSet kNvVertexSet =
    Pair(kProgNV20Z) | Pair(kProgNV20Reflect) | Pair(kProgNV20Attenuation) | Pair(kProgNV20Diffuse) |
    Pair(kProgNV20Specular) | Pair(kProgNV20DiffuseSpecular) | Pair(kProgNV20Volume);
constexpr LightProgramSet kArbShared = Pair(kProgR200Z) | Pair(kProgR200Volume);
constexpr LightProgramSet kAtiShared = Bit(kProgAtiZ) | Bit(kProgAtiLight) | Bit(kProgAtiLightFast);

std::string ProgramPath(int program) { return std::string("scripts\\shaders\\") + g_programs[program].file; }

void LoadSlot(int p) {
  ProgramSlot& s = g_programs[p];
  std::string path = ProgramPath(p);
  switch (s.kind) {
    case kNvVertex: s.handle = OPENGL_LoadVertexProgramNV(path.c_str()); break;
    case kNvFragment: s.handle = OPENGL_LoadFragmentProgramNV(path.c_str()); break;
    case kArbVertex: s.handle = OPENGL_LoadVertexProgramARB(path.c_str()); break;
    case kArbFragment: s.handle = OPENGL_LoadFragmentProgramARB(path.c_str()); break;
    default: s.ati = ATIFS_Load(path.c_str()); break;
  }
}

void DeleteSlot(int p) {
  ProgramSlot& s = g_programs[p];
  if (s.kind == kAti) {
    ATIFS_Delete(s.ati);
  } else if (s.handle) {
    OPENGL_DeleteProgram(s.kind, s.handle);
  }
  s.handle = nullptr;
  s.ati = 0;
}

}  // namespace

const char* Lighting_ProgramFile(int program) {
  return program >= 0 && program < kLightProgramCount ? g_programs[program].file : "";
}

LightProgramSet Lighting_BuPathPrograms(int path) {
  switch (path) {
    case kPathR300:
      return Bit(kProgR300Fragment) | kArbShared | Pair(kProgR300Light) | kAtiShared;
    case kPathR200:
      return kArbShared | Pair(kProgR200Light) | Pair(kProgR200LightFast) | Pair(kProgR200LightFastest) |
             kAtiShared | Bit(kProgAtiLightFastest);
    case kPathNV30:
      return Bit(kProgNV30Fragment) | Pair(kProgNV30) | kNvVertexSet;
    case kPathNV20:
      return kNvVertexSet;
    default:
      return 0;
  }
}

void Lighting_AcquirePrograms(LightProgramSet set) {
  for (int p = 0; p < kLightProgramCount; ++p)
    if (set & Bit(p) && g_programs[p].users++ == 0) LoadSlot(p);
}

void Lighting_ReleasePrograms(LightProgramSet set) {
  for (int p = 0; p < kLightProgramCount; ++p)
    if (set & Bit(p) && g_programs[p].users > 0 && --g_programs[p].users == 0) DeleteSlot(p);
}

int Lighting_ProgramUsers(int program) {
  return program >= 0 && program < kLightProgramCount ? g_programs[program].users : 0;
}

ProgramHandle Lighting_Program(int program) {
  return program >= 0 && program < kLightProgramCount ? g_programs[program].handle : nullptr;
}

uint32_t Lighting_AtiShader(int program) {
  return program >= 0 && program < kLightProgramCount ? g_programs[program].ati : 0;
}

// ---- Built-in ATI fragment shaders --------------------------------------------------------------

namespace {

constexpr int8_t T(int unit) { return int8_t(unit); }
constexpr AtiArg A(int reg, int rep = kAtiRepNone, int mods = 0) { return {int8_t(reg), int8_t(rep), int8_t(mods)}; }
constexpr AtiStep Sample(int dst, int coord) { return {0, 0, int8_t(dst), 0, T(coord), {}}; }
constexpr AtiStep Pass(int dst, int coord) { return {1, 0, int8_t(dst), 0, T(coord), {}}; }
constexpr AtiStep C(int op, int dst, int dstMods, AtiArg a, AtiArg b = {}, AtiArg c = {}) {
  return {2, int8_t(op), int8_t(dst), int8_t(dstMods), 0, {a, b, c}};
}
constexpr AtiStep Al(int op, int dst, int dstMods, AtiArg a, AtiArg b = {}, AtiArg c = {}) {
  return {3, int8_t(op), int8_t(dst), int8_t(dstMods), 0, {a, b, c}};
}

constexpr int kC0 = kAtiSrcConst0, kPri = kAtiSrcPrimary, kSec = kAtiSrcSecondary;
constexpr int kR = kAtiRepRed, kG = kAtiRepGreen, kB = kAtiRepBlue, kA = kAtiRepAlpha;
constexpr int kBx2 = kAtiArgBx2, kComp = kAtiArgComp, kNeg = kAtiArgNeg;
constexpr int kSat = kAtiDstSat;

const AtiStep kShaderZ[] = {
    C(kAtiMov, 0, 0, A(kC0)),
    Al(kAtiMov, 0, 0, A(kC0)),
};

const AtiStep kShaderLight[] = {
    Sample(0, 0), Sample(1, 1), Sample(2, 0), Sample(3, 0), Sample(4, 4), Pass(5, 5),
    C(kAtiDot3, 4, kSat, A(0, 0, kBx2), A(4, 0, kBx2)),
    C(kAtiDot3, 1, kSat, A(0, 0, kBx2), A(1, 0, kBx2)),
    Al(kAtiMul, 0, 0, A(4, kB), A(4, kB)),
    C(kAtiMul, 1, 0, A(1), A(2)),
    Al(kAtiMul, 0, 0, A(0), A(0)),
    C(kAtiDot3, 5, kSat, A(5), A(5)),
    Al(kAtiMul, 0, 0, A(0), A(0)),
    Al(kAtiMul, 0, 0, A(0), A(0)),
    C(kAtiMul, 0, 0, A(0, kA), A(3)),
    C(kAtiAdd, 0, 0, A(0), A(1)),
    C(kAtiMul, 0, 0, A(0), A(kSec)),
    Al(kAtiMov, 0, 0, A(5, kB, kComp)),
};

const AtiStep kShaderFast[] = {
    Sample(0, 0), Sample(1, 0), Sample(2, 0), Pass(3, 3), Sample(4, 4), Sample(5, 5),
    C(kAtiDot3, 4, kSat, A(0, 0, kBx2), A(4, 0, kBx2)),
    Al(kAtiMul, 3, kSat, A(3, kR), A(3, kR)),
    C(kAtiDot3, 0, kSat, A(0, 0, kBx2), A(kPri, 0, kBx2)),
    Al(kAtiMul, 4, 0, A(4, kB), A(4, kB)),
    C(kAtiDot3, 4, 0, A(kPri, 0, kBx2), A(kPri, 0, kBx2)),
    Al(kAtiMul, 4, 0, A(4, kA), A(4, kA)),
    C(kAtiMul, 5, 0, A(5, 0, kComp), A(kSec)),
    Al(kAtiMul, 0, kAtiDst2x, A(4, kB, kComp | kNeg), A(4, kB, kComp)),
    C(kAtiMul, 0, 0, A(0), A(0, kA, kComp)),
    Al(kAtiMul, 4, 0, A(4, kA), A(4, kA)),
    C(kAtiMul, 0, 0, A(0), A(1)),
    Al(kAtiMul, 4, 0, A(4, kA), A(4, kA)),
    C(kAtiMad, 0, 0, A(4, kA), A(2), A(0)),
    Al(kAtiMad, 3, kSat, A(3, kG), A(3, kG), A(3, kA)),
    C(kAtiMul, 0, 0, A(0), A(5)),
    Al(kAtiMad, 0, kSat, A(3, kB), A(3, kB, kNeg), A(3, kA, kComp)),
};

const AtiStep kShaderFastest[] = {
    Sample(0, 0), Sample(1, 0), Sample(2, 0), Pass(3, 3), Sample(4, 4),
    C(kAtiDot3, 5, 0, A(kSec, 0, kBx2), A(kSec, 0, kBx2)),
    Al(kAtiMul, 3, kSat, A(3, kR), A(3, kR)),
    C(kAtiDot3, 5, kSat, A(0, 0, kBx2), A(kSec, 0, kBx2)),
    Al(kAtiMul, 5, kAtiDst2x, A(5, kB, kComp | kNeg), A(5, kB, kComp)),
    C(kAtiDot3, 5, 0, A(kPri, 0, kBx2), A(kPri, 0, kBx2)),
    Al(kAtiMul, 5, 0, A(5, kB), A(5, kA, kComp)),
    C(kAtiDot3, 5, kSat, A(0, 0, kBx2), A(kPri, 0, kBx2)),
    Al(kAtiMul, 0, kAtiDst2x, A(5, kB, kComp | kNeg), A(5, kB, kComp)),
    C(kAtiMul, 4, 0, A(4, 0, kComp), A(kC0)),
    Al(kAtiMul, 0, 0, A(5, kB), A(0, kA, kComp)),
    C(kAtiMul, 0, 0, A(0, kA), A(1)),
    Al(kAtiMad, 5, kAtiDst4x | kSat, A(5, kA), A(5, kA), A(kC0, kA, kNeg)),
    C(kAtiMad, 0, 0, A(5, kA), A(2), A(0)),
    Al(kAtiMad, 3, kSat, A(3, kG), A(3, kG), A(3, kA)),
    C(kAtiMul, 0, 0, A(0), A(4)),
    Al(kAtiMad, 0, kSat, A(3, kB), A(3, kB, kNeg), A(3, kA, kComp)),
};

const char* const kAtiNames[4] = {
    "scripts\\shaders\\R200_z.atifs", "scripts\\shaders\\R200_diffuse_specular.atifs",
    "scripts\\shaders\\R200_diffuse_specular_fast.atifs", "scripts\\shaders\\R200_diffuse_specular_fastest.atifs"};

GLuint SrcReg(int reg) {
  switch (reg) {
    case kAtiSrcConst0: return GL_CON_0_ATI;
    case kAtiSrcPrimary: return GL_PRIMARY_COLOR_ARB;
    case kAtiSrcSecondary: return GL_SECONDARY_INTERPOLATOR_ATI;
    default: return GL_REG_0_ATI + GLuint(reg);
  }
}

GLuint Rep(int rep) {
  static const GLuint k[] = {GL_NONE, GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
  return k[rep];
}

GLuint ArgMods(int mods) {
  GLuint m = 0;
  if (mods & kAtiArgBx2) m |= GL_2X_BIT_ATI | GL_BIAS_BIT_ATI;
  if (mods & kAtiArgComp) m |= GL_COMP_BIT_ATI;
  if (mods & kAtiArgNeg) m |= GL_NEGATE_BIT_ATI;
  return m;
}

GLuint DstMods(int mods) {
  GLuint m = 0;
  if (mods & kAtiDst2x) m |= GL_2X_BIT_ATI;
  if (mods & kAtiDst4x) m |= GL_4X_BIT_ATI;
  if (mods & kAtiDstSat) m |= GL_SATURATE_BIT_ATI;
  return m;
}

int ArgCount(int op) { return op == kAtiMov ? 1 : op == kAtiMad ? 3 : 2; }

GLenum OpEnum(int op) {
  static const GLenum k[] = {GL_MOV_ATI, GL_ADD_ATI, GL_MUL_ATI, GL_MAD_ATI, GL_DOT3_ATI};
  return k[op];
}

void Record(const AtiStep& s) {
  GLuint dst = GL_REG_0_ATI + GLuint(s.dst);
  const AtiArg* a = s.args;
  switch (s.kind) {
    case 0: gl.glSampleMapATI(dst, GL_TEXTURE0_ARB + GLuint(s.coord), GL_SWIZZLE_STR_ATI); return;
    case 1: gl.glPassTexCoordATI(dst, GL_TEXTURE0_ARB + GLuint(s.coord), GL_SWIZZLE_STR_ATI); return;
    default: break;
  }
  GLenum op = OpEnum(s.op);
  GLuint dm = DstMods(s.dstMods);
  auto r = [&](int i) { return SrcReg(a[i].reg); };
  auto p = [&](int i) { return Rep(a[i].rep); };
  auto m = [&](int i) { return ArgMods(a[i].mods); };
  if (s.kind == 2) {
    switch (ArgCount(s.op)) {
      case 1: gl.glColorFragmentOp1ATI(op, dst, GL_NONE, dm, r(0), p(0), m(0)); break;
      case 2: gl.glColorFragmentOp2ATI(op, dst, GL_NONE, dm, r(0), p(0), m(0), r(1), p(1), m(1)); break;
      default:
        gl.glColorFragmentOp3ATI(op, dst, GL_NONE, dm, r(0), p(0), m(0), r(1), p(1), m(1), r(2), p(2), m(2));
    }
  } else {
    switch (ArgCount(s.op)) {
      case 1: gl.glAlphaFragmentOp1ATI(op, dst, dm, r(0), p(0), m(0)); break;
      case 2: gl.glAlphaFragmentOp2ATI(op, dst, dm, r(0), p(0), m(0), r(1), p(1), m(1)); break;
      default: gl.glAlphaFragmentOp3ATI(op, dst, dm, r(0), p(0), m(0), r(1), p(1), m(1), r(2), p(2), m(2));
    }
  }
}

bool AtiUsable() {
  return RenderApi == RENDER_API_OPENGL && GlExtFlags.ATI_fragment_shader && gl.glGenFragmentShadersATI;
}

}  // namespace

const AtiStep* ATIFS_Steps(int number, int* count) {
  const AtiStep* steps = nullptr;
  int n = 0;
  switch (number) {
    case 12: steps = kShaderZ, n = int(std::size(kShaderZ)); break;
    case 13: steps = kShaderLight, n = int(std::size(kShaderLight)); break;
    case 14: steps = kShaderFast, n = int(std::size(kShaderFast)); break;
    case 15: steps = kShaderFastest, n = int(std::size(kShaderFastest)); break;
    default: break;
  }
  if (count) *count = n;
  return steps;
}

int ATIFS_Number(const char* name) {
  if (!name || !*name) return 0;
  for (int i = 0; i < 4; ++i)
    if (strcasecmp(name, kAtiNames[i]) == 0) return 12 + i;
  return 0;
}

uint32_t ATIFS_Load(const char* name) {
  int number = ATIFS_Number(name);
  return number ? ATIFS_Build(number) : 0;
}

uint32_t ATIFS_Build(int number) {
  int count = 0;
  const AtiStep* steps = ATIFS_Steps(number, &count);
  if (!steps || !AtiUsable()) return 0;
  GLuint id = gl.glGenFragmentShadersATI(1);
  if (id == 0) {
    Log_Printf("ATIFS_Build: no shader id for shader %i\n", number);
    return 0;
  }
  gl.glBindFragmentShaderATI(id);
  gl.glBeginFragmentShaderATI();
  for (int i = 0; i < count; ++i) Record(steps[i]);
  gl.glEndFragmentShaderATI();
  gl.glBindFragmentShaderATI(0);
  return id;
}

void ATIFS_Bind(uint32_t id) {
  if (!id || !AtiUsable()) return;
  gl.glBindFragmentShaderATI(id);
  gl.glEnable(GL_FRAGMENT_SHADER_ATI);
}

void ATIFS_Unbind() {
  if (!AtiUsable()) return;
  gl.glDisable(GL_FRAGMENT_SHADER_ATI);
  gl.glBindFragmentShaderATI(0);
}

void ATIFS_Delete(uint32_t id) {
  if (id && AtiUsable()) gl.glDeleteFragmentShaderATI(id);
}

int du_SphereTouchesBox(const float box[6], const vec3* centre, float radius) {
  const float c[3] = {centre->x, centre->y, centre->z};
  double d2 = 0;
  for (int k = 0; k < 3; ++k) {
    double e = c[k] < box[k] ? box[k] - c[k] : c[k] > box[k + 3] ? c[k] - box[k + 3] : 0.0;
    d2 += e * e;
  }
  return d2 <= double(radius) * radius;
}

void Lighting_SetTexTarget(int unit, unsigned target, bool on) {
  Render_SelectTexUnit(unit);
  if (on)
    gl.glEnable(target);
  else
    gl.glDisable(target);
}

void Lighting_BeginVolumeStencil() {
  if (render_bump_fast.value != 0.0f) {
    Render_SetBlend(0);
    Render_SetColorMask(0, 0, 0, 0);
  } else {
    Render_SetBlend(1);
  }
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(0);
  gl.glStencilMask(255);
  gl.glStencilFunc(GL_ALWAYS, 0, 255);
  gl.glEnable(GL_STENCIL_TEST);
}

void Lighting_EndVolumeStencil() {
  gl.glDisable(GL_STENCIL_TEST);
  Render_SetDepthWrite(1);
  Render_SetColorMask(1, 1, 1, 0);
  Render_SetCull(2);
  gl.glEnable(GL_ALPHA_TEST);
}

void Lighting_BeginLitStencil() {
  gl.glEnable(GL_STENCIL_TEST);
  gl.glStencilFunc(GL_EQUAL, 128, 255);
  gl.glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
  gl.glStencilMask(255);
}
