// The six register-combiner set-ups of the NV20 passes and the interpreter that loads them.
#include "scene/nv_combiners.h"

#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "scene/lighting.h"
#include "foundation/vecmath.h"

namespace {

constexpr NvInput In(uint8_t reg, uint8_t use = kNvRgb, uint8_t map = kNvIdentity) { return {reg, use, map}; }
constexpr NvInput X(uint8_t reg, uint8_t use = kNvRgb) { return {reg, use, kNvExpand}; }
constexpr NvInput Z(uint8_t use = kNvRgb) { return {kNvZero, use, kNvIdentity}; }
constexpr NvInput One(uint8_t use = kNvRgb) { return {kNvZero, use, kNvInvert}; }

struct Out {
  uint8_t ab = kNvDiscard, cd = kNvDiscard, sum = kNvDiscard;
  uint8_t abDot = 0, cdDot = 0, mux = 0, scale4 = 0;
};
constexpr NvPortion P(int stage, int alpha, NvInput a, NvInput b, NvInput c, NvInput d, Out o = {}) {
  return {uint8_t(stage), uint8_t(alpha), {a, b, c, d}, o.ab, o.cd, o.sum, o.abDot, o.cdDot, o.mux, o.scale4};
}
// A portion that reads nothing and writes nothing.
constexpr NvPortion Idle(int stage, int alpha) {
  uint8_t u = alpha ? kNvAlpha : kNvRgb;
  return P(stage, alpha, Z(u), Z(u), Z(u), Z(u));
}
constexpr uint8_t kAtoD_G = 0x4f, kAll = 0x7f;

// Stage 0 of the diffuse and specular set-ups: N . L, and the self-shadow factor
// 4 x 2 x expand(L.b) into spare0 alpha.
constexpr NvPortion kDotNL = P(0, 0, X(kNvTex0), X(kNvTex1), Z(), Z(), {.ab = kNvSpare0, .abDot = 1});
constexpr NvPortion kSelfShadow = P(0, 1, One(kNvAlpha), X(kNvTex1, kNvBlue), One(kNvAlpha), X(kNvTex1, kNvBlue),
                                    {.sum = kNvSpare0, .scale4 = 1});
// Stage 1 alpha and stage 2 alpha of the one-pass set-up: one half-bias normalisation step of the
// dot product in spare0.b by the squared length in spare1.b.
constexpr NvInput kRenorm[4] = {In(kNvSpare0, kNvBlue), One(kNvAlpha), In(kNvSpare0, kNvBlue, kNvHalfBias),
                                In(kNvSpare1, kNvBlue, kNvInvert)};

constexpr NvSetup kSetups[] = {
    {6, 1, 0, 1, {Idle(0, 0)}, {{Z(), Z(), Z(), Z(), Z(), Z(), One(kNvAlpha)}, kAll}, 0},
    {7, 1, 0, 0, {}, {{In(kNvTex0, kNvAlpha), In(kNvTex3), Z(), Z(), {}, {}, One(kNvAlpha)}, kAtoD_G}, 0},
    {8, 1, 0, 2,
     {P(0, 0, In(kNvTex0), One(), In(kNvTex1), One(), {.sum = kNvSpare0}), Idle(0, 1)},
     {{In(kNvSpare0, kNvRgb, kNvInvert), One(), Z(), Z(), {}, {}, In(kNvSpare0, kNvBlue, kNvInvert)}, kAtoD_G},
     0},
    {9, 2, 1, 4,
     {kDotNL, kSelfShadow, P(1, 0, In(kNvSpare0), In(kNvConst0), Z(), Z(), {.ab = kNvSpare0, .mux = 1}), Idle(1, 1)},
     {{In(kNvEtimesF), In(kNvSpare0, kNvAlpha), Z(), Z(), In(kNvSpare0), In(kNvTex2), One(kNvAlpha)}, kAll},
     0},
    // Stages 2 and 3 alpha discard everything, so spare0 alpha keeps the self-shadow factor
    // whatever an earlier set-up left in those portions.
    {10, 4, 1, 8,
     {kDotNL, kSelfShadow,
      P(1, 0, In(kNvSpare0), In(kNvSpare0, kNvRgb, kNvSigned), Z(), Z(), {.ab = kNvSpare0, .mux = 1}), Idle(1, 1),
      P(2, 0, In(kNvSpare0), In(kNvSpare0), Z(), Z(), {.ab = kNvSpare0, .mux = 1}), Idle(2, 1),
      P(3, 0, In(kNvSpare0), In(kNvSpare0), In(kNvTex2), In(kNvConst0), {.ab = kNvSpare0, .cd = kNvSpare1}),
      Idle(3, 1)},
     {{In(kNvEtimesF), In(kNvSpare0, kNvAlpha), Z(), Z(), In(kNvSpare0), In(kNvSpare1), One(kNvAlpha)}, kAll},
     0},
    {11, 4, 2, 8,
     {P(0, 0, X(kNvTex0), X(kNvSecondary), X(kNvSecondary), X(kNvSecondary),
        {.ab = kNvSpare0, .cd = kNvSpare1, .abDot = 1, .cdDot = 1}),
      Idle(0, 1),
      P(1, 0, X(kNvTex0), X(kNvPrimary), X(kNvPrimary), X(kNvPrimary),
        {.ab = kNvSpare0, .cd = kNvSpare1, .abDot = 1, .cdDot = 1}),
      P(1, 1, kRenorm[0], kRenorm[1], kRenorm[2], kRenorm[3], {.sum = kNvSpare0}),
      P(2, 0, One(), In(kNvConst0), X(kNvTex3), X(kNvTex3), {.ab = kNvSpare0, .cd = kNvSpare1, .cdDot = 1}),
      P(2, 1, kRenorm[0], kRenorm[1], kRenorm[2], kRenorm[3], {.sum = kNvSpare1}),
      P(3, 0, In(kNvTex1), In(kNvSpare0), In(kNvTex2), In(kNvSpare0), {.ab = kNvTex1, .cd = kNvTex2}),
      P(3, 1, In(kNvSpare0, kNvAlpha), In(kNvSpare0, kNvAlpha), In(kNvConst1, kNvAlpha, kNvNegate), One(kNvAlpha),
        {.sum = kNvSpare0, .scale4 = 1})},
     {{In(kNvSpare0, kNvAlpha), In(kNvTex2), Z(), In(kNvEtimesF), In(kNvSpare1, kNvAlpha), In(kNvTex1),
       In(kNvSpare1, kNvBlue, kNvInvert)},
      kAll},
     1},
};

GLenum Reg(uint8_t r) {
  static const GLenum kRegs[] = {GL_ZERO, GL_TEXTURE0_ARB, GL_TEXTURE1_ARB, GL_TEXTURE2_ARB, GL_TEXTURE3_ARB,
                                 GL_PRIMARY_COLOR_NV, GL_SECONDARY_COLOR_NV, GL_SPARE0_NV, GL_SPARE1_NV,
                                 GL_CONSTANT_COLOR0_NV, GL_CONSTANT_COLOR1_NV, GL_E_TIMES_F_NV, GL_DISCARD_NV};
  return kRegs[r];
}
GLenum Use(uint8_t u) { return u == kNvAlpha ? GL_ALPHA : u == kNvBlue ? GL_BLUE : GL_RGB; }
GLenum Map(uint8_t m) {
  static const GLenum kMaps[] = {GL_UNSIGNED_IDENTITY_NV, GL_UNSIGNED_INVERT_NV, GL_EXPAND_NORMAL_NV,
                                 GL_SIGNED_IDENTITY_NV, GL_HALF_BIAS_NORMAL_NV, GL_SIGNED_NEGATE_NV};
  return kMaps[m];
}

}  // namespace

const NvSetup* Bump_NvSetup(int mode) {
  for (const NvSetup& s : kSetups)
    if (s.mode == mode) return &s;
  return nullptr;
}

void Bump_SetNvState(int mode, const ViewLight* light) {
  const NvSetup* s = Bump_NvSetup(mode);
  if (!s || !GlExtFlags.NV_register_combiners) return;
  gl.glCombinerParameteriNV(GL_NUM_GENERAL_COMBINERS_NV, s->generalCount);
  if (s->constants >= 1) {
    const float c0[4] = {light ? light->colour[0] : 0.0f, light ? light->colour[1] : 0.0f,
                         light ? light->colour[2] : 0.0f, 1.0f};
    gl.glCombinerParameterfvNV(GL_CONSTANT_COLOR0_NV, c0);
  }
  if (s->constants >= 2) {
    const float c1[4] = {1.0f, 1.0f, 1.0f, 0.75f};
    gl.glCombinerParameterfvNV(GL_CONSTANT_COLOR1_NV, c1);
  }
  for (int i = 0; i < s->portionCount; ++i) {
    const NvPortion& p = s->portions[i];
    GLenum stage = GL_COMBINER0_NV + p.stage, portion = p.alpha ? GL_ALPHA : GL_RGB;
    for (int v = 0; v < 4; ++v)
      gl.glCombinerInputNV(stage, portion, GL_VARIABLE_A_NV + v, Reg(p.in[v].reg), Map(p.in[v].map), Use(p.in[v].use));
    gl.glCombinerOutputNV(stage, portion, Reg(p.ab), Reg(p.cd), Reg(p.sum), p.scale4 ? GL_SCALE_BY_FOUR_NV : GL_NONE,
                          GL_NONE, p.abDot, p.cdDot, p.mux);
  }
  for (int v = 0; v < 7; ++v)
    if (s->final.set & (1 << v)) {
      const NvInput& in = s->final.in[v];
      gl.glFinalCombinerInputNV(GL_VARIABLE_A_NV + v, Reg(in.reg), Map(in.map), Use(in.use));
    }
  gl.glEnable(GL_REGISTER_COMBINERS_NV);
  if (s->textureShader && GlExtFlags.NV_texture_shader) {
    for (int unit = 3; unit >= 0; --unit) {
      Render_SelectTexUnit(unit);
      gl.glTexEnvi(GL_TEXTURE_SHADER_NV, GL_SHADER_OPERATION_NV, unit == 3 ? GL_PASS_THROUGH_NV : GL_TEXTURE_2D);
    }
    gl.glEnable(GL_TEXTURE_SHADER_NV);
  }
}

void Bump_DisableNvState(int mode) {
  if (mode < 1 || mode > 11) return;
  if (GlExtFlags.NV_register_combiners) gl.glDisable(GL_REGISTER_COMBINERS_NV);
  if (mode == 11 && GlExtFlags.NV_texture_shader) gl.glDisable(GL_TEXTURE_SHADER_NV);
}

// The attenuation texture matrices: unit u maps a model-space point p to 0.5 + S (p - L) / (2r),
// S = scale (1, sqrt(2)/2, 1), unit 1 turned 90 degrees about y first; tracked into c[88 + 4u].
void Bump_SetAttenuationMatrices(const vec3& L, float radius) {
  const float s = 1.0f / (2.0f * radius), q = 0.70710677f;
  for (int unit : {1, 0}) {
    Render_SelectTexUnit(unit);
    gl.glMatrixMode(GL_TEXTURE);
    gl.glLoadIdentity();
    gl.glTranslatef(0.5f, 0.5f, 0.5f);
    if (unit == 1) gl.glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    gl.glScalef(1.0f, q, 1.0f);
    gl.glScalef(s, s, s);
    gl.glTranslatef(-L.x, -L.y, -L.z);
    gl.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, GLuint(88 + 4 * unit), GL_TEXTURE, GL_IDENTITY_NV);
  }
  gl.glMatrixMode(GL_MODELVIEW);
}

void Bump_TrackViewMatrices() {
  gl.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, 0, GL_MODELVIEW_PROJECTION_NV, GL_IDENTITY_NV);
  gl.glTrackMatrixNV(GL_VERTEX_PROGRAM_NV, 4, GL_MODELVIEW_PROJECTION_NV, GL_INVERSE_NV);
}

void Bump_ResetAttenuationMatrices() {
  for (int unit : {1, 0}) {
    Render_SelectTexUnit(unit);
    gl.glMatrixMode(GL_TEXTURE);
    gl.glLoadIdentity();
    Render_SetTexWrap(unit, 1);
  }
  gl.glMatrixMode(GL_MODELVIEW);
}
