// The device layer on OpenGL: state kept the device's way, translated into GL calls through the
// dispatch table at each draw and clear. A copy of what GL was last given is kept, so a draw sends
// only the state that changed since the previous one.
#include "platform/d3d8dev.h"

#include <SDL.h>

#include <cmath>
#include <cstring>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "platform/gl_context_sdl.h"
#include "platform/gl_dispatch.h"
#include "platform/window.h"
#include "render/image.h"

namespace {

// ---- Objects -----------------------------------------------------------------------------------

enum ObjKind { OBJ_TEXTURE = 1, OBJ_SURFACE, OBJ_VERTEXBUFFER, OBJ_INDEXBUFFER };
constexpr int kMaxLevels = 14;
constexpr int kMaxObjects = 16384;

struct DevObject {
  int kind;
  int refs;
  // textures and surfaces
  int width, height, levels;
  uint32_t format;
  uint8_t* level[kMaxLevels];
  int pitch[kMaxLevels];
  int rows[kMaxLevels];  // rows of texels (or of blocks)
  GLuint glName;
  bool dirty[kMaxLevels];
  // Sampler parameters GL's texture object holds (mag, min, anisotropy bits, wrap s, wrap t);
  // samplerKnown false until first set.
  bool samplerKnown;
  GLint sampler[5];
  // buffers
  uint8_t* data;
  int bytes;
  uint32_t fvf;
};

DevObject* g_objects[kMaxObjects];
// A handle is the slot number (1 up) in its low 15 bits and the slot's generation above them, so
// a handle kept after its object was released (or after the device was made again) finds nothing.
uint32_t g_generation[kMaxObjects];
int g_objectCount;
constexpr uint32_t kSlotBits = 15;
constexpr uint32_t kSlotMask = (1u << kSlotBits) - 1;

int Slot(uint32_t h) {
  uint32_t s = h & kSlotMask;
  if (s == 0 || s > uint32_t(kMaxObjects)) return -1;
  return g_generation[s - 1] == (h >> kSlotBits) ? int(s - 1) : -1;
}

DevObject* Obj(uint32_t h, int kind) {
  int s = Slot(h);
  DevObject* o = s >= 0 ? g_objects[s] : nullptr;
  if (!o || (kind && o->kind != kind)) return nullptr;
  return o;
}

uint32_t AddObject(DevObject* o) {
  for (int i = 0; i < kMaxObjects; ++i) {
    if (!g_objects[i]) {
      g_objects[i] = o;
      ++g_objectCount;
      g_generation[i] = (g_generation[i] + 1) & ((1u << (32 - kSlotBits)) - 1);
      if (g_generation[i] == 0) g_generation[i] = 1;
      return g_generation[i] << kSlotBits | uint32_t(i + 1);
    }
  }
  return 0;
}

// ---- Device --------------------------------------------------------------------------------------

struct Stage {
  uint32_t state[DEVTSS_COUNT];
  uint32_t texture;
};

struct Device {
  int libraryLoaded;
  int entriesLoaded;
  int adapter;
  void* context;
  int width, height;
  uint32_t rs[DEVRS_COUNT];
  Stage stage[kDevStages];
  DevMatrix transform[DEVTS_COUNT];
  DevViewport viewport;
  DevLight light[8];
  int lightOn[8];
  DevMaterial material;
  uint32_t fvf;
  uint32_t stream;
  int streamStride;
  uint32_t indices;
  int baseVertex;
  int inScene;
  int followWindow;  // the back buffer takes the window's size
  int lost;
  int resets;
};
Device g_dev;

// What GL was last given. A part whose `known` flag is clear is sent whole at the next draw.
struct Applied {
  bool known;  // viewport, transforms, lights and the fixed switches
  uint32_t rs[DEVRS_COUNT];
  bool rsKnown[DEVRS_COUNT];
  DevViewport viewport;
  int height;
  DevMatrix transform[DEVTS_COUNT];
  DevLight light[8];
  int lightOn[8];
  DevMaterial material;
  bool stageKnown[kDevStages];
  bool stageTextured[kDevStages];
  uint32_t stageTexture[kDevStages];
  uint32_t stageState[kDevStages][DEVTSS_COUNT];
  int activeUnit;  // -1 unknown
};
Applied g_applied;

void ForgetApplied() {
  g_applied.known = false;
  for (bool& k : g_applied.rsKnown) k = false;
  for (bool& k : g_applied.stageKnown) k = false;
  g_applied.activeUnit = -1;
}

bool Ready() { return g_dev.context != nullptr; }

void DefaultState() {
  std::memset(g_dev.rs, 0, sizeof g_dev.rs);
  g_dev.rs[DEVRS_ZENABLE] = 1;
  g_dev.rs[DEVRS_ZWRITEENABLE] = 1;
  g_dev.rs[DEVRS_ZFUNC] = DEVCMP_LESSEQUAL;
  g_dev.rs[DEVRS_CULLMODE] = DEVCULL_CCW;
  g_dev.rs[DEVRS_LIGHTING] = 1;
  g_dev.rs[DEVRS_FOGVERTEXMODE] = DEVFOG_NONE;
  g_dev.rs[DEVRS_FOGSTART] = Dev_FloatBits(0.0f);
  g_dev.rs[DEVRS_FOGEND] = Dev_FloatBits(1.0f);
  g_dev.rs[DEVRS_SRCBLEND] = DEVBLEND_ONE;
  g_dev.rs[DEVRS_DESTBLEND] = DEVBLEND_ZERO;
  g_dev.rs[DEVRS_ALPHAFUNC] = DEVCMP_ALWAYS;
  g_dev.rs[DEVRS_POINTSIZE] = Dev_FloatBits(1.0f);
  g_dev.rs[DEVRS_COLORWRITEENABLE] = 0xF;
  g_dev.rs[DEVRS_FILLMODE] = DEVFILL_SOLID;
  for (int i = 0; i < kDevStages; ++i) {
    Stage& s = g_dev.stage[i];
    std::memset(s.state, 0, sizeof s.state);
    s.state[DEVTSS_COLOROP] = i == 0 ? DEVTOP_MODULATE : DEVTOP_DISABLE;
    s.state[DEVTSS_COLORARG1] = DEVTA_TEXTURE;
    s.state[DEVTSS_COLORARG2] = DEVTA_CURRENT;
    s.state[DEVTSS_ALPHAOP] = i == 0 ? DEVTOP_SELECTARG1 : DEVTOP_DISABLE;
    s.state[DEVTSS_ALPHAARG1] = DEVTA_TEXTURE;
    s.state[DEVTSS_ALPHAARG2] = DEVTA_CURRENT;
    s.state[DEVTSS_TEXCOORDINDEX] = uint32_t(i);
    s.state[DEVTSS_ADDRESSU] = DEVTADDRESS_WRAP;
    s.state[DEVTSS_ADDRESSV] = DEVTADDRESS_WRAP;
    s.state[DEVTSS_MAGFILTER] = DEVTEXF_POINT;
    s.state[DEVTSS_MINFILTER] = DEVTEXF_POINT;
    s.state[DEVTSS_MIPFILTER] = DEVTEXF_NONE;
    s.state[DEVTSS_MAXANISOTROPY] = 1;
    s.texture = 0;
  }
  for (DevMatrix& m : g_dev.transform) Dev_MatrixIdentity(&m);
  g_dev.viewport = {0, 0, g_dev.width, g_dev.height, 0.0f, 1.0f};
  std::memset(g_dev.light, 0, sizeof g_dev.light);
  for (DevLight& l : g_dev.light) {
    l.type = DEVLIGHT_DIRECTIONAL;
    l.diffuse = {1, 1, 1, 0};
    l.direction[2] = 1.0f;
  }
  std::memset(g_dev.lightOn, 0, sizeof g_dev.lightOn);
  g_dev.material = {};
  g_dev.fvf = 0;
  g_dev.stream = 0;
  g_dev.streamStride = 0;
  g_dev.indices = 0;
  g_dev.baseVertex = 0;
}

// ---- Formats -------------------------------------------------------------------------------------

bool Compressed(uint32_t f) { return f == DEVFMT_DXT1 || f == DEVFMT_DXT3 || f == DEVFMT_DXT5; }
int BlockBytes(uint32_t f) { return f == DEVFMT_DXT1 ? 8 : 16; }
int TexelBytes(uint32_t f) {
  switch (f) {
    case DEVFMT_L8: return 1;
    case DEVFMT_A8L8: return 2;
    case DEVFMT_A8R8G8B8:
    case DEVFMT_X8R8G8B8: return 4;
    default: return 0;
  }
}
bool TextureFormat(uint32_t f) { return Compressed(f) || TexelBytes(f) > 0; }

void FreeObject(DevObject* o) {
  if (o->glName && gl.glDeleteTextures && Ready()) gl.glDeleteTextures(1, &o->glName);
  for (uint8_t*& p : o->level) {
    if (p) Global_Free(p);
    p = nullptr;
  }
  if (o->data) Global_Free(o->data);
  Global_Free(o);
}

// ---- GL translation --------------------------------------------------------------------------

GLenum GlCmp(uint32_t c) {
  switch (c) {
    case DEVCMP_NEVER: return GL_NEVER;
    case DEVCMP_LESS: return GL_LESS;
    case DEVCMP_EQUAL: return GL_EQUAL;
    case DEVCMP_LESSEQUAL: return GL_LEQUAL;
    case DEVCMP_GREATER: return GL_GREATER;
    case DEVCMP_NOTEQUAL: return GL_NOTEQUAL;
    case DEVCMP_GREATEREQUAL: return GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum GlBlend(uint32_t b) {
  switch (b) {
    case DEVBLEND_ZERO: return GL_ZERO;
    case DEVBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case DEVBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case DEVBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case DEVBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case DEVBLEND_DESTALPHA: return GL_DST_ALPHA;
    case DEVBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case DEVBLEND_DESTCOLOR: return GL_DST_COLOR;
    case DEVBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    default: return GL_ONE;
  }
}

void ColourFloats(uint32_t c, float out[4]) {
  out[0] = float((c >> 16) & 0xFF) / 255.0f;
  out[1] = float((c >> 8) & 0xFF) / 255.0f;
  out[2] = float(c & 0xFF) / 255.0f;
  out[3] = float((c >> 24) & 0xFF) / 255.0f;
}

void SetEnabled(GLenum cap, bool on) {
  if (on) gl.glEnable(cap);
  else gl.glDisable(cap);
}

// GL viewport and depth range of the device viewport (top-left origin).
void ApplyViewport() {
  const DevViewport& v = g_dev.viewport;
  gl.glViewport(v.x, g_dev.height - v.y - v.height, v.width, v.height);
  gl.glDepthRange(v.minZ, v.maxZ);
}

// Projection for GL: the device's depth 0..1 becomes GL's -1..1, and the picture moves by half a
// pixel right and down so that pixel centres fall where the device puts them.
void ApplyProjection() {
  const DevViewport& v = g_dev.viewport;
  float dx = v.width > 0 ? 1.0f / float(v.width) : 0.0f;
  float dy = v.height > 0 ? 1.0f / float(v.height) : 0.0f;
  // Column-major: x' = x + dx w, y' = y - dy w, z' = 2 z - w.
  const GLfloat fix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 0, dx, -dy, -1, 1};
  gl.glMatrixMode(GL_PROJECTION);
  gl.glLoadMatrixf(fix);
  // A row-major matrix of row vectors has the same 16 floats as the column-major GL matrix.
  gl.glMultMatrixf(g_dev.transform[DEVTS_PROJECTION].m);
  gl.glMatrixMode(GL_MODELVIEW);
}

// Positions and directions are in world space: they are given to GL under the view matrix, which
// the caller has loaded.
void ApplyLights() {
  bool lighting = g_dev.rs[DEVRS_LIGHTING] != 0;
  SetEnabled(GL_LIGHTING, lighting);
  if (!lighting) return;
  float amb[4];
  ColourFloats(g_dev.rs[DEVRS_AMBIENT], amb);
  gl.glLightModelfv(GL_LIGHT_MODEL_AMBIENT, amb);
  for (int i = 0; i < 8; ++i) {
    GLenum id = GL_LIGHT0 + i;
    SetEnabled(id, g_dev.lightOn[i] != 0);
    if (!g_dev.lightOn[i]) continue;
    const DevLight& l = g_dev.light[i];
    GLfloat pos[4];
    if (l.type == DEVLIGHT_DIRECTIONAL) {
      pos[0] = -l.direction[0];
      pos[1] = -l.direction[1];
      pos[2] = -l.direction[2];
      pos[3] = 0.0f;
    } else {
      pos[0] = l.position[0];
      pos[1] = l.position[1];
      pos[2] = l.position[2];
      pos[3] = 1.0f;
    }
    gl.glLightfv(id, GL_POSITION, pos);
    gl.glLightfv(id, GL_AMBIENT, &l.ambient.r);
    gl.glLightfv(id, GL_DIFFUSE, &l.diffuse.r);
    gl.glLightfv(id, GL_SPECULAR, &l.specular.r);
    float a0 = l.attenuation0, a1 = l.attenuation1, a2 = l.attenuation2;
    if (a0 == 0.0f && a1 == 0.0f && a2 == 0.0f) a0 = 1.0f;
    gl.glLightf(id, GL_CONSTANT_ATTENUATION, l.type == DEVLIGHT_DIRECTIONAL ? 1.0f : a0);
    gl.glLightf(id, GL_LINEAR_ATTENUATION, l.type == DEVLIGHT_DIRECTIONAL ? 0.0f : a1);
    gl.glLightf(id, GL_QUADRATIC_ATTENUATION, l.type == DEVLIGHT_DIRECTIONAL ? 0.0f : a2);
  }
  const DevMaterial& m = g_dev.material;
  gl.glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &m.ambient.r);
  gl.glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &m.diffuse.r);
  gl.glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, &m.specular.r);
  gl.glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &m.emissive.r);
  gl.glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.power < 0 ? 0 : (m.power > 128 ? 128 : m.power));
}

bool RsChanged(int first, int count) {
  for (int i = first; i < first + count; ++i)
    if (!g_applied.rsKnown[i] || g_applied.rs[i] != g_dev.rs[i]) return true;
  return false;
}

void RsTake(int first, int count) {
  for (int i = first; i < first + count; ++i) {
    g_applied.rs[i] = g_dev.rs[i];
    g_applied.rsKnown[i] = true;
  }
}

// The render states (lighting aside) whose group changed since the last draw.
void ApplyRenderStates() {
  const uint32_t* rs = g_dev.rs;
  if (!g_applied.known) {
    gl.glFrontFace(GL_CCW);
    gl.glDisable(GL_SCISSOR_TEST);
    gl.glDisable(GL_STENCIL_TEST);
    gl.glShadeModel(GL_SMOOTH);
  }
  if (RsChanged(DEVRS_ZENABLE, 3)) {
    SetEnabled(GL_DEPTH_TEST, rs[DEVRS_ZENABLE] != 0);
    gl.glDepthMask(rs[DEVRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    gl.glDepthFunc(GlCmp(rs[DEVRS_ZFUNC]));
    RsTake(DEVRS_ZENABLE, 3);
  }
  if (RsChanged(DEVRS_CULLMODE, 1)) {
    if (rs[DEVRS_CULLMODE] == DEVCULL_CW) {
      gl.glEnable(GL_CULL_FACE);
      gl.glCullFace(GL_BACK);  // clockwise on screen is GL's back face
    } else if (rs[DEVRS_CULLMODE] == DEVCULL_CCW) {
      gl.glEnable(GL_CULL_FACE);
      gl.glCullFace(GL_FRONT);
    } else {
      gl.glDisable(GL_CULL_FACE);
    }
    RsTake(DEVRS_CULLMODE, 1);
  }
  if (RsChanged(DEVRS_NORMALIZENORMALS, 1)) {
    SetEnabled(GL_NORMALIZE, rs[DEVRS_NORMALIZENORMALS] != 0);
    RsTake(DEVRS_NORMALIZENORMALS, 1);
  }
  if (RsChanged(DEVRS_FOGENABLE, 5)) {
    bool fog = rs[DEVRS_FOGENABLE] != 0 && rs[DEVRS_FOGVERTEXMODE] == DEVFOG_LINEAR;
    SetEnabled(GL_FOG, fog);
    if (fog) {
      float c[4];
      ColourFloats(rs[DEVRS_FOGCOLOR], c);
      gl.glFogi(GL_FOG_MODE, GL_LINEAR);
      gl.glFogf(GL_FOG_START, Dev_BitsFloat(rs[DEVRS_FOGSTART]));
      gl.glFogf(GL_FOG_END, Dev_BitsFloat(rs[DEVRS_FOGEND]));
      gl.glFogfv(GL_FOG_COLOR, c);
    }
    RsTake(DEVRS_FOGENABLE, 5);
  }
  if (RsChanged(DEVRS_ALPHABLENDENABLE, 3)) {
    SetEnabled(GL_BLEND, rs[DEVRS_ALPHABLENDENABLE] != 0);
    gl.glBlendFunc(GlBlend(rs[DEVRS_SRCBLEND]), GlBlend(rs[DEVRS_DESTBLEND]));
    RsTake(DEVRS_ALPHABLENDENABLE, 3);
  }
  if (RsChanged(DEVRS_ALPHATESTENABLE, 3)) {
    SetEnabled(GL_ALPHA_TEST, rs[DEVRS_ALPHATESTENABLE] != 0);
    gl.glAlphaFunc(GlCmp(rs[DEVRS_ALPHAFUNC]), float(rs[DEVRS_ALPHAREF] & 0xFF) / 255.0f);
    RsTake(DEVRS_ALPHATESTENABLE, 3);
  }
  if (RsChanged(DEVRS_POINTSIZE, 1)) {
    float size = Dev_BitsFloat(rs[DEVRS_POINTSIZE]);
    gl.glPointSize(size > 0 ? size : 1.0f);
    RsTake(DEVRS_POINTSIZE, 1);
  }
  if (RsChanged(DEVRS_ZBIAS, 1)) {
    if (rs[DEVRS_ZBIAS]) {
      float b = float(rs[DEVRS_ZBIAS] > 16 ? 16 : rs[DEVRS_ZBIAS]);
      gl.glPolygonOffset(-0.5f * b, -b);
      gl.glEnable(GL_POLYGON_OFFSET_FILL);
      gl.glEnable(GL_POLYGON_OFFSET_LINE);
      gl.glEnable(GL_POLYGON_OFFSET_POINT);
    } else {
      gl.glDisable(GL_POLYGON_OFFSET_FILL);
      gl.glDisable(GL_POLYGON_OFFSET_LINE);
      gl.glDisable(GL_POLYGON_OFFSET_POINT);
    }
    RsTake(DEVRS_ZBIAS, 1);
  }
  if (RsChanged(DEVRS_COLORWRITEENABLE, 1)) {
    uint32_t mask = rs[DEVRS_COLORWRITEENABLE];
    gl.glColorMask((mask & 1) != 0, (mask & 2) != 0, (mask & 4) != 0, (mask & 8) != 0);
    RsTake(DEVRS_COLORWRITEENABLE, 1);
  }
  if (RsChanged(DEVRS_FILLMODE, 1)) {
    GLenum fill = rs[DEVRS_FILLMODE] == DEVFILL_POINT       ? GL_POINT
                  : rs[DEVRS_FILLMODE] == DEVFILL_WIREFRAME ? GL_LINE
                                                            : GL_FILL;
    gl.glPolygonMode(GL_FRONT_AND_BACK, fill);
    RsTake(DEVRS_FILLMODE, 1);
  }
}

bool HasDirtyLevel(const DevObject* t) {
  for (int l = 0; l < t->levels; ++l)
    if (t->dirty[l]) return true;
  return false;
}

// Binds a texture on the active unit and uploads the levels that changed since the last draw.
void UploadTexture(DevObject* t) {
  if (!t->glName) gl.glGenTextures(1, &t->glName);
  gl.glBindTexture(GL_TEXTURE_2D, t->glName);
  if (!HasDirtyLevel(t)) return;
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl.glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, t->levels - 1);
  int w = t->width, h = t->height;
  for (int l = 0; l < t->levels; ++l) {
    if (t->dirty[l]) {
      switch (t->format) {
        case DEVFMT_A8R8G8B8:
          gl.glTexImage2D(GL_TEXTURE_2D, l, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, t->level[l]);
          break;
        case DEVFMT_X8R8G8B8:
          gl.glTexImage2D(GL_TEXTURE_2D, l, GL_RGB8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE, t->level[l]);
          break;
        case DEVFMT_L8:
          gl.glTexImage2D(GL_TEXTURE_2D, l, GL_LUMINANCE8, w, h, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, t->level[l]);
          break;
        case DEVFMT_A8L8:
          gl.glTexImage2D(GL_TEXTURE_2D, l, GL_LUMINANCE8_ALPHA8, w, h, 0, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE,
                          t->level[l]);
          break;
        default: {
          GLenum f = t->format == DEVFMT_DXT1   ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
                     : t->format == DEVFMT_DXT3 ? GL_COMPRESSED_RGBA_S3TC_DXT3_EXT
                                                : GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
          if (gl.glCompressedTexImage2DARB)
            gl.glCompressedTexImage2DARB(GL_TEXTURE_2D, l, f, w, h, 0, t->pitch[l] * t->rows[l], t->level[l]);
          break;
        }
      }
      t->dirty[l] = false;
    }
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
}

GLenum CombineOp(uint32_t op, GLfloat* scale) {
  *scale = 1.0f;
  switch (op) {
    case DEVTOP_SELECTARG1:
    case DEVTOP_SELECTARG2: return GL_REPLACE;
    case DEVTOP_MODULATE2X: *scale = 2.0f; return GL_MODULATE;
    case DEVTOP_MODULATE4X: *scale = 4.0f; return GL_MODULATE;
    case DEVTOP_ADD: return GL_ADD;
    case DEVTOP_LERP: return GL_INTERPOLATE;
    default: return GL_MODULATE;
  }
}

// One argument as a GL combine source and operand.
void CombineArg(uint32_t arg, int stageIndex, bool alpha, GLenum* source, GLenum* operand) {
  switch (arg & DEVTA_SELECTMASK) {
    case DEVTA_TEXTURE: *source = GL_TEXTURE; break;
    case DEVTA_CURRENT: *source = stageIndex == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS; break;
    default: *source = GL_PRIMARY_COLOR; break;
  }
  bool comp = (arg & DEVTA_COMPLEMENT) != 0;
  bool rep = alpha || (arg & DEVTA_ALPHAREPLICATE) != 0;
  if (rep) *operand = comp ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
  else *operand = comp ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
}

// Sets GL's combiner for the colour (alpha = false) or alpha half of a stage.
void ApplyCombiner(const Stage& s, int stageIndex, bool alpha) {
  uint32_t op = s.state[alpha ? DEVTSS_ALPHAOP : DEVTSS_COLOROP];
  uint32_t a0 = s.state[alpha ? DEVTSS_ALPHAARG0 : DEVTSS_COLORARG0];
  uint32_t a1 = s.state[alpha ? DEVTSS_ALPHAARG1 : DEVTSS_COLORARG1];
  uint32_t a2 = s.state[alpha ? DEVTSS_ALPHAARG2 : DEVTSS_COLORARG2];
  if (op == DEVTOP_DISABLE) {  // alpha of a working colour stage: pass the current alpha on
    op = DEVTOP_SELECTARG1;
    a1 = DEVTA_CURRENT;
  }
  GLfloat scale = 1.0f;
  GLenum mode = CombineOp(op, &scale);
  // GL_INTERPOLATE is source0 x source2 + source1 x (1 - source2); the device's blend is
  // arg1 x arg0 + arg2 x (1 - arg0).
  uint32_t src[3] = {a1, a2, a0};
  if (op == DEVTOP_SELECTARG2) src[0] = a2;
  int n = mode == GL_REPLACE ? 1 : mode == GL_INTERPOLATE ? 3 : 2;
  gl.glTexEnvi(GL_TEXTURE_ENV, alpha ? GL_COMBINE_ALPHA : GL_COMBINE_RGB, GLint(mode));
  static const GLenum kSrc[2][3] = {{GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB},
                                    {GL_SOURCE0_ALPHA, GL_SOURCE1_ALPHA, GL_SOURCE2_ALPHA}};
  static const GLenum kOp[2][3] = {{GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB},
                                   {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA}};
  for (int i = 0; i < n; ++i) {
    GLenum source, operand;
    CombineArg(src[i], stageIndex, alpha, &source, &operand);
    gl.glTexEnvi(GL_TEXTURE_ENV, kSrc[alpha][i], GLint(source));
    gl.glTexEnvi(GL_TEXTURE_ENV, kOp[alpha][i], GLint(operand));
  }
  gl.glTexEnvf(GL_TEXTURE_ENV, alpha ? GL_ALPHA_SCALE : GL_RGB_SCALE, scale);
}

GLint MinFilter(uint32_t min, uint32_t mip, int levels) {
  bool lin = min == DEVTEXF_LINEAR || min == DEVTEXF_ANISOTROPIC;
  if (mip == DEVTEXF_NONE || levels <= 1) return lin ? GL_LINEAR : GL_NEAREST;
  if (mip == DEVTEXF_POINT) return lin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  return lin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

// The GL texture matrix of a stage: the device's matrix, with the output count and the projective
// divide mapped onto GL's s, t, r, q.
void ApplyTextureMatrix(int stageIndex) {
  const Stage& s = g_dev.stage[stageIndex];
  uint32_t flags = s.state[DEVTSS_TEXTURETRANSFORMFLAGS];
  int count = int(flags & 0xFF);
  gl.glMatrixMode(GL_TEXTURE);
  if (count == 0) {
    gl.glLoadIdentity();
  } else {
    const float* m = g_dev.transform[DEVTS_TEXTURE0 + stageIndex].m;
    // Output component c of a row vector is column c: m[4 r + c]. GL column-major: a[4 c + r] is
    // row r (output) column c (input); output r takes the device's column r.
    GLfloat a[16] = {};
    int qCol = (flags & DEVTTFF_PROJECTED) ? count - 1 : -1;
    for (int out = 0; out < 4; ++out) {
      int col = out;
      if (out == 3) col = qCol;
      else if (out >= count || out == qCol) col = -2;
      for (int in = 0; in < 4; ++in) {
        float v = 0.0f;
        if (col >= 0) v = m[4 * in + col];
        else if (out == 3 && in == 3) v = 1.0f;  // no divide
        a[4 * in + out] = v;
      }
    }
    gl.glLoadMatrixf(a);
  }
  gl.glMatrixMode(GL_MODELVIEW);
}

void ApplyTexGen(int stageIndex) {
  uint32_t tci = g_dev.stage[stageIndex].state[DEVTSS_TEXCOORDINDEX] & 0xFFFF0000u;
  if (tci == DEVTCI_PASSTHRU) {
    gl.glDisable(GL_TEXTURE_GEN_S);
    gl.glDisable(GL_TEXTURE_GEN_T);
    gl.glDisable(GL_TEXTURE_GEN_R);
    gl.glDisable(GL_TEXTURE_GEN_Q);
    return;
  }
  if (tci == DEVTCI_CAMERASPACEPOSITION) {
    // Eye-linear planes given under an identity model-view are eye space itself.
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPushMatrix();
    gl.glLoadIdentity();
    static const GLfloat kPlanes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    static const GLenum kCoord[4] = {GL_S, GL_T, GL_R, GL_Q};
    for (int i = 0; i < 4; ++i) {
      gl.glTexGeni(kCoord[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
      gl.glTexGenfv(kCoord[i], GL_EYE_PLANE, kPlanes[i]);
    }
    gl.glPopMatrix();
    gl.glEnable(GL_TEXTURE_GEN_Q);
  } else {
    GLint mode = tci == DEVTCI_CAMERASPACENORMAL ? GL_NORMAL_MAP : GL_REFLECTION_MAP;
    gl.glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, mode);
    gl.glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, mode);
    gl.glTexGeni(GL_R, GL_TEXTURE_GEN_MODE, mode);
    gl.glDisable(GL_TEXTURE_GEN_Q);
  }
  gl.glEnable(GL_TEXTURE_GEN_S);
  gl.glEnable(GL_TEXTURE_GEN_T);
  gl.glEnable(GL_TEXTURE_GEN_R);
}

void ActiveUnit(int unit) {
  if (g_applied.activeUnit == unit) return;
  gl.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  g_applied.activeUnit = unit;
}

// Filters, anisotropy and wrap modes belong to GL's texture object (bound on the active unit):
// they are set when they differ from what that texture last took.
void ApplySampler(DevObject* t, const Stage& s) {
  float aniso = 1.0f;
  if (s.state[DEVTSS_MINFILTER] == DEVTEXF_ANISOTROPIC || s.state[DEVTSS_MAGFILTER] == DEVTEXF_ANISOTROPIC)
    aniso = float(s.state[DEVTSS_MAXANISOTROPY] < 1 ? 1 : s.state[DEVTSS_MAXANISOTROPY]);
  const GLint want[5] = {
      s.state[DEVTSS_MAGFILTER] == DEVTEXF_POINT ? GL_NEAREST : GL_LINEAR,
      MinFilter(s.state[DEVTSS_MINFILTER], s.state[DEVTSS_MIPFILTER], t->levels),
      GLint(aniso),
      s.state[DEVTSS_ADDRESSU] == DEVTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT,
      s.state[DEVTSS_ADDRESSV] == DEVTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT,
  };
  if (t->samplerKnown && std::memcmp(want, t->sampler, sizeof want) == 0) return;
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, want[0]);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, want[1]);
  gl.glGetError();
  gl.glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, aniso);
  gl.glGetError();  // a driver without anisotropic filtering refuses the parameter
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, want[3]);
  gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, want[4]);
  std::memcpy(t->sampler, want, sizeof want);
  t->samplerKnown = true;
}

// Texture units: stage i is unit i; stages after the first disabled one, and stages without a
// texture (which pass the current colour on), are off. Only stages whose texture, states or
// texture matrix changed since the last draw are sent again.
void ApplyStages() {
  Applied& a = g_applied;
  bool on = true;
  for (int i = 0; i < kDevStages; ++i) {
    const Stage& s = g_dev.stage[i];
    if (s.state[DEVTSS_COLOROP] == DEVTOP_DISABLE) on = false;
    DevObject* t = on ? Obj(s.texture, OBJ_TEXTURE) : nullptr;
    bool wasTextured = a.stageKnown[i] && a.stageTextured[i];
    if (!t) {
      if (a.stageKnown[i] && !a.stageTextured[i]) continue;
      ActiveUnit(i);
      gl.glDisable(GL_TEXTURE_2D);
      gl.glDisable(GL_TEXTURE_GEN_S);
      gl.glDisable(GL_TEXTURE_GEN_T);
      gl.glDisable(GL_TEXTURE_GEN_R);
      gl.glDisable(GL_TEXTURE_GEN_Q);
      a.stageKnown[i] = true;
      a.stageTextured[i] = false;
      continue;
    }
    const DevMatrix& matrix = g_dev.transform[DEVTS_TEXTURE0 + i];
    bool textureChanged = !wasTextured || a.stageTexture[i] != s.texture || HasDirtyLevel(t);
    bool stateChanged = !wasTextured || std::memcmp(a.stageState[i], s.state, sizeof s.state) != 0;
    bool matrixChanged = stateChanged || std::memcmp(&a.transform[DEVTS_TEXTURE0 + i], &matrix, sizeof matrix) != 0;
    if (!textureChanged && !stateChanged && !matrixChanged) continue;
    ActiveUnit(i);
    if (!wasTextured) gl.glEnable(GL_TEXTURE_2D);
    if (textureChanged) UploadTexture(t);
    if (textureChanged || stateChanged) ApplySampler(t, s);
    if (stateChanged) {
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
      ApplyCombiner(s, i, false);
      ApplyCombiner(s, i, true);
      ApplyTexGen(i);
    }
    if (matrixChanged) ApplyTextureMatrix(i);
    a.stageKnown[i] = true;
    a.stageTextured[i] = true;
    a.stageTexture[i] = s.texture;
    std::memcpy(a.stageState[i], s.state, sizeof s.state);
    a.transform[DEVTS_TEXTURE0 + i] = matrix;
  }
}

bool MatrixChanged(int which) {
  return std::memcmp(&g_applied.transform[which], &g_dev.transform[which], sizeof(DevMatrix)) != 0;
}

// Sends GL what changed since the last draw: viewport, projection, lights, render states,
// stages, and last the model-view matrix (view x world).
void ApplyAll() {
  Applied& a = g_applied;
  bool all = !a.known;
  bool viewportChanged = all || a.height != g_dev.height ||
                         std::memcmp(&a.viewport, &g_dev.viewport, sizeof(DevViewport)) != 0;
  if (viewportChanged) ApplyViewport();
  if (viewportChanged || MatrixChanged(DEVTS_PROJECTION)) ApplyProjection();
  bool viewChanged = all || MatrixChanged(DEVTS_VIEW);
  bool modelViewChanged = viewChanged || MatrixChanged(DEVTS_WORLD);
  bool lighting = g_dev.rs[DEVRS_LIGHTING] != 0;
  bool lightsChanged = RsChanged(DEVRS_LIGHTING, 1) ||
                       (lighting && (viewChanged || RsChanged(DEVRS_AMBIENT, 1) ||
                                     std::memcmp(a.light, g_dev.light, sizeof a.light) != 0 ||
                                     std::memcmp(a.lightOn, g_dev.lightOn, sizeof a.lightOn) != 0 ||
                                     std::memcmp(&a.material, &g_dev.material, sizeof a.material) != 0));
  if (lightsChanged) {
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadMatrixf(g_dev.transform[DEVTS_VIEW].m);
    ApplyLights();
    RsTake(DEVRS_LIGHTING, 1);
    RsTake(DEVRS_AMBIENT, 1);
    std::memcpy(a.light, g_dev.light, sizeof a.light);
    std::memcpy(a.lightOn, g_dev.lightOn, sizeof a.lightOn);
    a.material = g_dev.material;
    modelViewChanged = true;
  }
  ApplyRenderStates();
  ApplyStages();
  if (modelViewChanged) {
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadMatrixf(g_dev.transform[DEVTS_VIEW].m);
    gl.glMultMatrixf(g_dev.transform[DEVTS_WORLD].m);
  }
  a.viewport = g_dev.viewport;
  a.height = g_dev.height;
  a.transform[DEVTS_VIEW] = g_dev.transform[DEVTS_VIEW];
  a.transform[DEVTS_PROJECTION] = g_dev.transform[DEVTS_PROJECTION];
  a.transform[DEVTS_WORLD] = g_dev.transform[DEVTS_WORLD];
  a.known = true;
}

// ---- Vertices ----------------------------------------------------------------------------------

struct FvfLayout {
  int stride;
  int normal;      // byte offsets; -1 when absent
  int diffuse;
  int texCount;
  int tex[8];
  int texFloats[8];
};

bool Layout(uint32_t fvf, FvfLayout* out) {
  out->normal = out->diffuse = -1;
  int off = 0;
  if (fvf & DEVFVF_XYZ) off += 12;
  else return false;
  if (fvf & DEVFVF_NORMAL) {
    out->normal = off;
    off += 12;
  }
  if (fvf & DEVFVF_PSIZE) off += 4;
  if (fvf & DEVFVF_DIFFUSE) {
    out->diffuse = off;
    off += 4;
  }
  if (fvf & DEVFVF_SPECULAR) off += 4;
  int n = int((fvf >> DEVFVF_TEXCOUNT_SHIFT) & 0xF);
  if (n > 8) n = 8;
  out->texCount = n;
  for (int i = 0; i < n; ++i) {
    static const int kFloats[4] = {2, 3, 4, 1};
    out->tex[i] = off;
    out->texFloats[i] = kFloats[(fvf >> (16 + 2 * i)) & 3];
    off += 4 * out->texFloats[i];
  }
  out->stride = off;
  return true;
}

float ReadF(const uint8_t* p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}

void EmitVertex(const uint8_t* v, const FvfLayout& l, int stages) {
  if (l.normal >= 0) gl.glNormal3f(ReadF(v + l.normal), ReadF(v + l.normal + 4), ReadF(v + l.normal + 8));
  if (l.diffuse >= 0) gl.glColor4ub(v[l.diffuse + 2], v[l.diffuse + 1], v[l.diffuse], v[l.diffuse + 3]);
  else gl.glColor4ub(255, 255, 255, 255);
  for (int i = 0; i < stages; ++i) {
    int set = int(g_dev.stage[i].state[DEVTSS_TEXCOORDINDEX] & 0xFFFF);
    if (set >= l.texCount) {
      gl.glMultiTexCoord4fARB(GL_TEXTURE0_ARB + i, 0, 0, 0, 1);
      continue;
    }
    const uint8_t* t = v + l.tex[set];
    float c[4] = {0, 0, 0, 1};
    for (int k = 0; k < l.texFloats[set]; ++k) c[k] = ReadF(t + 4 * k);
    gl.glMultiTexCoord4fARB(GL_TEXTURE0_ARB + i, c[0], c[1], c[2], c[3]);
  }
  gl.glVertex3f(ReadF(v), ReadF(v + 4), ReadF(v + 8));
}

GLenum GlPrimitive(uint32_t type, int count, int* vertices) {
  switch (type) {
    case DEVPT_POINTLIST: *vertices = count; return GL_POINTS;
    case DEVPT_LINELIST: *vertices = 2 * count; return GL_LINES;
    case DEVPT_TRIANGLELIST: *vertices = 3 * count; return GL_TRIANGLES;
    default: *vertices = 0; return GL_POINTS;
  }
}

int ActiveStages() {
  int n = 0;
  for (int i = 0; i < kDevStages; ++i) {
    if (g_dev.stage[i].state[DEVTSS_COLOROP] == DEVTOP_DISABLE) break;
    n = i + 1;
  }
  return n;
}

int DefaultHaveVideo() { return Plat_GetWindow() != nullptr; }
int DefaultDisplayMode(DevDisplayMode* out) {
  SDL_DisplayMode dm;
  if (SDL_GetDesktopDisplayMode(0, &dm) != 0) return -1;
  out->width = dm.w;
  out->height = dm.h;
  out->refreshRate = dm.refresh_rate;
  out->format = SDL_BITSPERPIXEL(dm.format) >= 24 ? DEVFMT_X8R8G8B8 : DEVFMT_UNKNOWN;
  return 0;
}

}  // namespace

DevPlatformOps Dev_Platform = {DefaultHaveVideo, DefaultDisplayMode};
void Dev_RestorePlatformDefaults() { Dev_Platform = {DefaultHaveVideo, DefaultDisplayMode}; }

uint32_t Dev_FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}
float Dev_BitsFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

int Dev_VertexSize(uint32_t fvf) {
  FvfLayout l;
  return Layout(fvf, &l) ? l.stride : 0;
}

// ---- Start-up --------------------------------------------------------------------------------

int32_t Dev_LoadLibrary() {
  if (g_dev.libraryLoaded) return DEV_OK;
  if (!Plat_Gl.loadLibrary || Plat_Gl.loadLibrary() != 0) return DEV_ERR_NOTFOUND;
  g_dev.libraryLoaded = 1;
  return DEV_OK;
}

void Dev_UnloadLibrary() {
  if (!g_dev.libraryLoaded) return;
  if (g_dev.context) Dev_ReleaseDevice();
  Plat_Gl.unloadLibrary();
  g_dev.libraryLoaded = 0;
  g_dev.entriesLoaded = 0;
  GlDispatch_Clear();
}

int32_t Dev_FindEntryPoints() {
  if (!g_dev.libraryLoaded) return DEV_ERR_INVALIDCALL;
  if (GlDispatch_Load(Plat_Gl.getProcAddress, 0, kGlCoreSlotCount) != 0) {
    GlDispatch_Clear();
    return DEV_ERR_NOTFOUND;
  }
  g_dev.entriesLoaded = 1;
  return DEV_OK;
}

int32_t Dev_CreateAdapter() {
  if (!g_dev.entriesLoaded) return DEV_ERR_INVALIDCALL;
  if (!Dev_Platform.haveVideo || !Dev_Platform.haveVideo()) return DEV_ERR_NOTAVAILABLE;
  g_dev.adapter = 1;
  return DEV_OK;
}

void Dev_ReleaseAdapter() { g_dev.adapter = 0; }

int32_t Dev_GetAdapterDisplayMode(DevDisplayMode* out) {
  if (!g_dev.adapter || !out) return DEV_ERR_INVALIDCALL;
  DevDisplayMode m{};
  if (!Dev_Platform.displayMode || Dev_Platform.displayMode(&m) != 0 || m.format == DEVFMT_UNKNOWN)
    return DEV_ERR_NOTAVAILABLE;
  *out = m;
  return DEV_OK;
}

int32_t Dev_CreateDevice(const DevPresentParams* p) {
  if (!g_dev.adapter || !p || g_dev.context) return DEV_ERR_INVALIDCALL;
  if (!p->windowed || p->backBufferFormat == DEVFMT_UNKNOWN) return DEV_ERR_INVALIDCALL;
  void* ctx = Plat_Gl.createContext ? Plat_Gl.createContext() : nullptr;
  if (!ctx) return DEV_ERR_NOTAVAILABLE;
  if (Plat_Gl.makeCurrent(ctx) != 0) {
    Plat_Gl.deleteContext(ctx);
    return DEV_ERR_NOTAVAILABLE;
  }
  GlDispatch_Load(Plat_Gl.getProcAddress, kGlCoreSlotCount, GL_SLOT_COUNT);
  // The stages need multitexture, the compressed formats their upload call.
  if (!gl.glActiveTextureARB || !gl.glMultiTexCoord4fARB || !gl.glCompressedTexImage2DARB) {
    Plat_Gl.makeCurrent(nullptr);
    Plat_Gl.deleteContext(ctx);
    return DEV_ERR_NOTAVAILABLE;
  }
  g_dev.context = ctx;
  g_dev.followWindow = p->backBufferWidth <= 0 && p->backBufferHeight <= 0;
  g_dev.width = p->backBufferWidth > 0 ? p->backBufferWidth : Plat_WindowWidth();
  g_dev.height = p->backBufferHeight > 0 ? p->backBufferHeight : Plat_WindowHeight();
  g_dev.lost = 0;
  g_dev.inScene = 0;
  if (Plat_Gl.setSwapInterval) Plat_Gl.setSwapInterval(p->presentationInterval > 0 ? 1 : 0);
  DefaultState();
  ForgetApplied();
  return DEV_OK;
}

void Dev_ReleaseDevice() {
  if (!g_dev.context) return;
  for (int i = 0; i < kMaxObjects; ++i) {
    if (g_objects[i]) {
      FreeObject(g_objects[i]);
      g_objects[i] = nullptr;
    }
  }
  g_objectCount = 0;
  Plat_Gl.makeCurrent(nullptr);
  Plat_Gl.deleteContext(g_dev.context);
  g_dev.context = nullptr;
  g_dev.inScene = 0;
  g_dev.lost = 0;
}

int Dev_HaveDevice() { return Ready() ? 1 : 0; }

int Dev_MaxAnisotropy() {
  if (!Ready()) return 1;
  GLfloat v = 0.0f;
  gl.glGetError();
  gl.glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &v);
  if (gl.glGetError() != GL_NO_ERROR || v < 1.0f) return 1;
  return int(v);
}
int32_t Dev_BackBufferWidth() { return Ready() ? g_dev.width : 0; }
int32_t Dev_BackBufferHeight() { return Ready() ? g_dev.height : 0; }

// ---- Frame -------------------------------------------------------------------------------------

int32_t Dev_BeginScene() {
  if (!Ready() || g_dev.inScene) return DEV_ERR_INVALIDCALL;
  // A windowed back buffer follows the window (a display-mode change resizes it).
  int w = Plat_WindowWidth(), h = Plat_WindowHeight();
  if (g_dev.followWindow && w > 0 && h > 0 && (w != g_dev.width || h != g_dev.height)) {
    g_dev.width = w;
    g_dev.height = h;
    g_dev.viewport = {0, 0, w, h, 0.0f, 1.0f};
  }
  g_dev.inScene = 1;
  return DEV_OK;
}

int32_t Dev_EndScene() {
  if (!Ready() || !g_dev.inScene) return DEV_ERR_INVALIDCALL;
  g_dev.inScene = 0;
  return DEV_OK;
}

int Dev_InScene() { return g_dev.inScene; }

int32_t Dev_Present() {
  if (!Ready()) return DEV_ERR_INVALIDCALL;
  if (g_dev.lost) return DEV_ERR_DEVICELOST;
  Plat_Gl.swapWindow();
  return DEV_OK;
}

int32_t Dev_TestCooperativeLevel() {
  if (!Ready()) return DEV_ERR_INVALIDCALL;
  if (g_dev.lost == 1) return DEV_ERR_DEVICELOST;
  if (g_dev.lost == 2) return DEV_ERR_DEVICENOTRESET;
  return DEV_OK;
}

int32_t Dev_Reset(const DevPresentParams* p) {
  if (!Ready() || !p || g_dev.lost == 1) return DEV_ERR_INVALIDCALL;
  g_dev.lost = 0;
  g_dev.inScene = 0;
  g_dev.followWindow = p->backBufferWidth <= 0 && p->backBufferHeight <= 0;
  g_dev.width = p->backBufferWidth > 0 ? p->backBufferWidth : Plat_WindowWidth();
  g_dev.height = p->backBufferHeight > 0 ? p->backBufferHeight : Plat_WindowHeight();
  DefaultState();
  ForgetApplied();
  ++g_dev.resets;
  return DEV_OK;
}

void Dev_SetLostState(int state) { g_dev.lost = state < 0 || state > 2 ? 0 : state; }
int Dev_ResetCount() { return g_dev.resets; }

// ---- State ---------------------------------------------------------------------------------------

int32_t Dev_SetRenderState(int state, uint32_t value) {
  if (!Ready() || state < 0 || state >= DEVRS_COUNT) return DEV_ERR_INVALIDCALL;
  g_dev.rs[state] = value;
  return DEV_OK;
}

uint32_t Dev_GetRenderState(int state) { return state >= 0 && state < DEVRS_COUNT ? g_dev.rs[state] : 0; }

int32_t Dev_SetTextureStageState(int stage, int state, uint32_t value) {
  if (!Ready() || stage < 0 || stage >= kDevStages || state < 0 || state >= DEVTSS_COUNT) return DEV_ERR_INVALIDCALL;
  g_dev.stage[stage].state[state] = value;
  return DEV_OK;
}

uint32_t Dev_GetTextureStageState(int stage, int state) {
  if (stage < 0 || stage >= kDevStages || state < 0 || state >= DEVTSS_COUNT) return 0;
  return g_dev.stage[stage].state[state];
}

int32_t Dev_SetTransform(int which, const DevMatrix* m) {
  if (!Ready() || !m || which < 0 || which >= DEVTS_COUNT) return DEV_ERR_INVALIDCALL;
  g_dev.transform[which] = *m;
  return DEV_OK;
}

int32_t Dev_GetTransform(int which, DevMatrix* out) {
  if (!out || which < 0 || which >= DEVTS_COUNT) return DEV_ERR_INVALIDCALL;
  *out = g_dev.transform[which];
  return DEV_OK;
}

int32_t Dev_SetViewport(const DevViewport* v) {
  if (!Ready() || !v) return DEV_ERR_INVALIDCALL;
  // The viewport must lie inside the back buffer.
  if (v->x < 0 || v->y < 0 || v->width < 0 || v->height < 0 || v->x + v->width > g_dev.width ||
      v->y + v->height > g_dev.height || v->minZ < 0 || v->maxZ > 1 || v->minZ > v->maxZ)
    return DEV_ERR_INVALIDCALL;
  g_dev.viewport = *v;
  return DEV_OK;
}

int32_t Dev_GetViewport(DevViewport* out) {
  if (!Ready() || !out) return DEV_ERR_INVALIDCALL;
  *out = g_dev.viewport;
  return DEV_OK;
}

int32_t Dev_SetLight(int index, const DevLight* l) {
  if (!Ready() || !l || index < 0 || index >= 8) return DEV_ERR_INVALIDCALL;
  if (l->type < DEVLIGHT_POINT || l->type > DEVLIGHT_DIRECTIONAL) return DEV_ERR_INVALIDCALL;
  g_dev.light[index] = *l;
  return DEV_OK;
}

int32_t Dev_LightEnable(int index, int on) {
  if (!Ready() || index < 0 || index >= 8) return DEV_ERR_INVALIDCALL;
  g_dev.lightOn[index] = on != 0;
  return DEV_OK;
}

int32_t Dev_SetMaterial(const DevMaterial* m) {
  if (!Ready() || !m) return DEV_ERR_INVALIDCALL;
  g_dev.material = *m;
  return DEV_OK;
}

int32_t Dev_Clear(uint32_t flags, uint32_t colour, float z, uint32_t stencil) {
  if (!Ready() || (flags & ~7u) || !flags) return DEV_ERR_INVALIDCALL;
  // The clear covers the viewport and ignores the write masks.
  const DevViewport& v = g_dev.viewport;
  gl.glEnable(GL_SCISSOR_TEST);
  gl.glScissor(v.x, g_dev.height - v.y - v.height, v.width, v.height);
  GLbitfield bits = 0;
  if (flags & DEVCLEAR_TARGET) {
    float c[4];
    ColourFloats(colour, c);
    gl.glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    g_applied.rsKnown[DEVRS_COLORWRITEENABLE] = false;
    gl.glClearColor(c[0], c[1], c[2], c[3]);
    bits |= GL_COLOR_BUFFER_BIT;
  }
  if (flags & DEVCLEAR_ZBUFFER) {
    gl.glDepthMask(GL_TRUE);
    g_applied.rsKnown[DEVRS_ZWRITEENABLE] = false;
    gl.glClearDepth(z);
    bits |= GL_DEPTH_BUFFER_BIT;
  }
  if (flags & DEVCLEAR_STENCIL) {
    gl.glStencilMask(0xFF);
    gl.glClearStencil(GLint(stencil & 0xFF));
    bits |= GL_STENCIL_BUFFER_BIT;
  }
  gl.glClear(bits);
  gl.glDisable(GL_SCISSOR_TEST);
  return DEV_OK;
}

// ---- Textures ----------------------------------------------------------------------------------

namespace {

int32_t NewTexture(int kind, int width, int height, int levels, uint32_t format, uint32_t* out) {
  if (!out) return DEV_ERR_INVALIDCALL;
  *out = 0;
  if (!Ready() || width <= 0 || height <= 0 || width > 8192 || height > 8192 || levels < 0) return DEV_ERR_INVALIDCALL;
  if (!TextureFormat(format)) return DEV_ERR_WRONGTEXTUREFORMAT;
  int full = 1;
  for (int w = width, h = height; w > 1 || h > 1; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) ++full;
  if (levels == 0 || levels > full) levels = full;
  if (levels > kMaxLevels) levels = kMaxLevels;
  auto* o = static_cast<DevObject*>(Global_MallocZero(sizeof(DevObject), "D3DOBJ"));
  if (!o) return DEV_ERR_OUTOFVIDEOMEMORY;
  o->kind = kind;
  o->refs = 1;
  o->width = width;
  o->height = height;
  o->levels = levels;
  o->format = format;
  int w = width, h = height;
  for (int l = 0; l < levels; ++l) {
    if (Compressed(format)) {
      o->pitch[l] = ((w + 3) / 4) * BlockBytes(format);
      o->rows[l] = (h + 3) / 4;
    } else {
      o->pitch[l] = w * TexelBytes(format);
      o->rows[l] = h;
    }
    o->level[l] = static_cast<uint8_t*>(Global_MallocZero(size_t(o->pitch[l]) * size_t(o->rows[l]), "D3DTEX"));
    if (!o->level[l]) {
      FreeObject(o);
      return DEV_ERR_OUTOFVIDEOMEMORY;
    }
    o->dirty[l] = true;
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  uint32_t handle = AddObject(o);
  if (!handle) {
    FreeObject(o);
    return DEV_ERR_OUTOFVIDEOMEMORY;
  }
  *out = handle;
  return DEV_OK;
}

DevObject* Texel(uint32_t h) {
  DevObject* o = Obj(h, 0);
  return o && (o->kind == OBJ_TEXTURE || o->kind == OBJ_SURFACE) ? o : nullptr;
}

}  // namespace

int32_t Dev_CreateTexture(int width, int height, int levels, uint32_t format, uint32_t* out) {
  return NewTexture(OBJ_TEXTURE, width, height, levels, format, out);
}

int32_t Dev_CreateImageSurface(int width, int height, uint32_t format, uint32_t* out) {
  if (format != DEVFMT_X8R8G8B8 && format != DEVFMT_A8R8G8B8) {
    if (out) *out = 0;
    return DEV_ERR_WRONGTEXTUREFORMAT;
  }
  return NewTexture(OBJ_SURFACE, width, height, 1, format, out);
}

int Dev_TextureLevelCount(uint32_t texture) {
  DevObject* o = Texel(texture);
  return o ? o->levels : 0;
}

int32_t Dev_GetLevelDesc(uint32_t texture, int level, int* width, int* height, uint32_t* format) {
  DevObject* o = Texel(texture);
  if (!o || level < 0 || level >= o->levels) return DEV_ERR_INVALIDCALL;
  int w = o->width, h = o->height;
  for (int l = 0; l < level; ++l) {
    w = w > 1 ? w / 2 : 1;
    h = h > 1 ? h / 2 : 1;
  }
  if (width) *width = w;
  if (height) *height = h;
  if (format) *format = o->format;
  return DEV_OK;
}

int32_t Dev_LockRect(uint32_t texture, int level, uint8_t** bits, int* pitch, uint32_t flags) {
  DevObject* o = Texel(texture);
  if (!o || !bits || !pitch || level < 0 || level >= o->levels) return DEV_ERR_INVALIDCALL;
  *bits = o->level[level];
  *pitch = o->pitch[level];
  if (!(flags & DEVLOCK_READONLY)) o->dirty[level] = true;
  return DEV_OK;
}

int32_t Dev_UnlockRect(uint32_t texture, int level) {
  DevObject* o = Texel(texture);
  if (!o || level < 0 || level >= o->levels) return DEV_ERR_INVALIDCALL;
  return DEV_OK;
}

int32_t Dev_SetTexture(int stage, uint32_t texture) {
  if (!Ready() || stage < 0 || stage >= kDevStages) return DEV_ERR_INVALIDCALL;
  if (texture && !Obj(texture, OBJ_TEXTURE)) return DEV_ERR_INVALIDCALL;
  g_dev.stage[stage].texture = texture;
  return DEV_OK;
}

int32_t Dev_CopyBackBuffer(uint32_t surface) {
  DevObject* o = Obj(surface, OBJ_SURFACE);
  if (!Ready() || !o || o->width != g_dev.width || o->height != g_dev.height) return DEV_ERR_INVALIDCALL;
  gl.glReadBuffer(GL_BACK);
  gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
  gl.glPixelStorei(GL_PACK_ROW_LENGTH, 0);
  gl.glReadPixels(0, 0, o->width, o->height, GL_BGRA, GL_UNSIGNED_BYTE, o->level[0]);
  // GL reads bottom row first; the surface holds the top row first.
  int pitch = o->pitch[0];
  auto* row = static_cast<uint8_t*>(Global_Malloc(size_t(pitch), "D3DTMP"));
  if (!row) return DEV_ERR_OUTOFVIDEOMEMORY;
  for (int r = 0; r < o->height / 2; ++r) {
    uint8_t* a = o->level[0] + size_t(r) * size_t(pitch);
    uint8_t* b = o->level[0] + size_t(o->height - 1 - r) * size_t(pitch);
    std::memcpy(row, a, size_t(pitch));
    std::memcpy(a, b, size_t(pitch));
    std::memcpy(b, row, size_t(pitch));
  }
  Global_Free(row);
  if (o->format == DEVFMT_X8R8G8B8)
    for (int i = 0; i < o->width * o->height; ++i) o->level[0][4 * i + 3] = 0xFF;
  return DEV_OK;
}

// ---- Textures from picture files ---------------------------------------------------------------

namespace {

uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

int RoundPow2(int n) {
  int p = 1;
  while (p < n && p < 4096) p <<= 1;
  return p;
}

// DXT blocks straight into a compressed texture; the file's levels, up to what is asked.
int32_t TextureFromDds(const uint8_t* d, size_t size, int levels, uint32_t* out, DevImageInfo* info) {
  DevDdsInfo dds;
  int32_t r = Dev_ReadDdsHeader(d, size, levels, &dds);
  if (r != DEV_OK) return r;
  r = Dev_CreateTexture(dds.width, dds.height, dds.levels, dds.format, out);
  if (r != DEV_OK) return r;
  DevObject* o = Obj(*out, OBJ_TEXTURE);
  const uint8_t* p = d + dds.dataOffset;
  for (int l = 0; l < o->levels; ++l) {
    size_t n = size_t(o->pitch[l]) * size_t(o->rows[l]);
    std::memcpy(o->level[l], p, n);
    p += n;
  }
  if (info) *info = {dds.width, dds.height, o->levels, dds.format, 0};
  return DEV_OK;
}

// Each level from the one above by 2 x 2 averages (4 bytes a texel).
void BuildMips(DevObject* o) {
  int w = o->width, h = o->height;
  for (int l = 1; l < o->levels; ++l) {
    int nw = w > 1 ? w / 2 : 1, nh = h > 1 ? h / 2 : 1;
    const uint8_t* s = o->level[l - 1];
    uint8_t* t = o->level[l];
    for (int y = 0; y < nh; ++y) {
      int y0 = h > 1 ? 2 * y : 0, y1 = h > 1 ? 2 * y + 1 : 0;
      for (int x = 0; x < nw; ++x) {
        int x0 = w > 1 ? 2 * x : 0, x1 = w > 1 ? 2 * x + 1 : 0;
        for (int c = 0; c < 4; ++c) {
          int sum = s[(size_t(y0) * w + x0) * 4 + c] + s[(size_t(y0) * w + x1) * 4 + c] +
                    s[(size_t(y1) * w + x0) * 4 + c] + s[(size_t(y1) * w + x1) * 4 + c];
          t[(size_t(y) * nw + x) * 4 + c] = uint8_t(sum / 4);
        }
      }
    }
    w = nw;
    h = nh;
  }
}

}  // namespace

int32_t Dev_ReadDdsHeader(const void* data, size_t size, int levels, DevDdsInfo* out) {
  const auto* d = static_cast<const uint8_t*>(data);
  if (!d || !out || size < 128 || std::memcmp(d, "DDS ", 4) != 0) return DEV_ERR_INVALIDCALL;
  uint32_t height = U32(d + 12), width = U32(d + 16);
  uint32_t mips = U32(d + 28);
  const uint8_t* cc = d + 84;
  uint32_t format = std::memcmp(cc, "DXT1", 4) == 0   ? DEVFMT_DXT1
                    : std::memcmp(cc, "DXT3", 4) == 0 ? DEVFMT_DXT3
                    : std::memcmp(cc, "DXT5", 4) == 0 ? DEVFMT_DXT5
                                                      : DEVFMT_UNKNOWN;
  if (format == DEVFMT_UNKNOWN || width == 0 || height == 0 || width > 8192 || height > 8192)
    return DEV_ERR_INVALIDCALL;
  int want = 1;
  if (levels != 1 && mips > 1) want = int(mips > kMaxLevels ? kMaxLevels : mips);
  // No more levels than the chain down to 1 x 1 has.
  int full = 1;
  for (uint32_t w = width, h = height; w > 1 || h > 1; w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) ++full;
  if (want > full) want = full;
  // Every wanted level must be in the file.
  size_t need = 0;
  for (uint32_t l = 0, w = width, h = height; l < uint32_t(want); ++l, w = w > 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
    need += size_t((w + 3) / 4) * size_t((h + 3) / 4) * size_t(BlockBytes(format));
  if (need > size - 128) return DEV_ERR_INVALIDCALL;
  *out = {int32_t(width), int32_t(height), want, format, 128, need};
  return DEV_OK;
}

int32_t Dev_CreateTextureFromFileInMemory(const void* data, size_t size, int levels, uint32_t* out,
                                          DevImageInfo* info) {
  if (!out) return DEV_ERR_INVALIDCALL;
  *out = 0;
  if (!Ready() || !data || size < 4) return DEV_ERR_INVALIDCALL;
  const auto* d = static_cast<const uint8_t*>(data);
  if (std::memcmp(d, "DDS ", 4) == 0) return TextureFromDds(d, size, levels, out, info);
  int kind;
  if (d[0] == 'B' && d[1] == 'M') kind = kImageBMP;
  else if (d[0] == 0xFF && d[1] == 0xD8) kind = kImageJPEG;
  else kind = kImageTGA;
  ImageDesc* img = Image_LoadMemory(kind, d, size);
  if (!img || img->format != kImgBGRA || img->width <= 0 || img->height <= 0) return DEV_ERR_INVALIDCALL;
  int tw = RoundPow2(img->width), th = RoundPow2(img->height);
  uint32_t format = img->hasAlpha ? DEVFMT_A8R8G8B8 : DEVFMT_X8R8G8B8;
  int32_t r = Dev_CreateTexture(tw, th, levels, format, out);
  if (r != DEV_OK) return r;
  DevObject* o = Obj(*out, OBJ_TEXTURE);
  // The loaders deliver the bottom row first; the texture holds the top row first, stretched
  // (nearest texel) to the power-of-two size.
  for (int y = 0; y < th; ++y) {
    int sy = img->height - 1 - int(int64_t(y) * img->height / th);
    for (int x = 0; x < tw; ++x) {
      int sx = int(int64_t(x) * img->width / tw);
      std::memcpy(o->level[0] + (size_t(y) * tw + x) * 4, img->pixels + (size_t(sy) * img->width + sx) * 4, 4);
    }
  }
  BuildMips(o);
  if (info) *info = {img->width, img->height, o->levels, format, kind};
  return DEV_OK;
}

// ---- Buffers -------------------------------------------------------------------------------------

namespace {
int32_t NewBuffer(int kind, int bytes, uint32_t fvf, uint32_t* out) {
  if (!out) return DEV_ERR_INVALIDCALL;
  *out = 0;
  if (!Ready() || bytes <= 0) return DEV_ERR_INVALIDCALL;
  auto* o = static_cast<DevObject*>(Global_MallocZero(sizeof(DevObject), "D3DOBJ"));
  if (!o) return DEV_ERR_OUTOFVIDEOMEMORY;
  o->kind = kind;
  o->refs = 1;
  o->bytes = bytes;
  o->fvf = fvf;
  o->data = static_cast<uint8_t*>(Global_MallocZero(size_t(bytes), "D3DBUF"));
  uint32_t h = o->data ? AddObject(o) : 0;
  if (!h) {
    FreeObject(o);
    return DEV_ERR_OUTOFVIDEOMEMORY;
  }
  *out = h;
  return DEV_OK;
}
}  // namespace

int32_t Dev_CreateVertexBuffer(int bytes, uint32_t fvf, uint32_t* out) { return NewBuffer(OBJ_VERTEXBUFFER, bytes, fvf, out); }
int32_t Dev_CreateIndexBuffer(int bytes, uint32_t* out) { return NewBuffer(OBJ_INDEXBUFFER, bytes, 0, out); }

int32_t Dev_LockBuffer(uint32_t buffer, int offset, int bytes, uint8_t** out) {
  DevObject* o = Obj(buffer, 0);
  if (!out) return DEV_ERR_INVALIDCALL;
  *out = nullptr;
  if (!o || (o->kind != OBJ_VERTEXBUFFER && o->kind != OBJ_INDEXBUFFER)) return DEV_ERR_INVALIDCALL;
  if (offset < 0 || bytes < 0 || offset > o->bytes || bytes > o->bytes - offset) return DEV_ERR_INVALIDCALL;
  *out = o->data + offset;
  return DEV_OK;
}

int32_t Dev_UnlockBuffer(uint32_t buffer) {
  DevObject* o = Obj(buffer, 0);
  if (!o || (o->kind != OBJ_VERTEXBUFFER && o->kind != OBJ_INDEXBUFFER)) return DEV_ERR_INVALIDCALL;
  return DEV_OK;
}

int32_t Dev_SetVertexShader(uint32_t fvf) {
  if (!Ready()) return DEV_ERR_INVALIDCALL;
  g_dev.fvf = fvf;
  return DEV_OK;
}

int32_t Dev_SetStreamSource(uint32_t buffer, int stride) {
  if (!Ready() || stride < 0 || (buffer && !Obj(buffer, OBJ_VERTEXBUFFER))) return DEV_ERR_INVALIDCALL;
  g_dev.stream = buffer;
  g_dev.streamStride = stride;
  return DEV_OK;
}

int32_t Dev_SetIndices(uint32_t buffer, int baseVertex) {
  if (!Ready() || baseVertex < 0 || (buffer && !Obj(buffer, OBJ_INDEXBUFFER))) return DEV_ERR_INVALIDCALL;
  g_dev.indices = buffer;
  g_dev.baseVertex = baseVertex;
  return DEV_OK;
}

int32_t Dev_DrawPrimitiveUP(uint32_t type, int primitiveCount, const void* vertices, int stride) {
  FvfLayout l;
  if (!Ready() || !vertices || primitiveCount <= 0 || !Layout(g_dev.fvf, &l) || stride < l.stride)
    return DEV_ERR_INVALIDCALL;
  int n = 0;
  GLenum prim = GlPrimitive(type, primitiveCount, &n);
  if (n == 0) return DEV_ERR_INVALIDCALL;
  ApplyAll();
  int stages = ActiveStages();
  const auto* v = static_cast<const uint8_t*>(vertices);
  gl.glBegin(prim);
  for (int i = 0; i < n; ++i) EmitVertex(v + size_t(i) * size_t(stride), l, stages);
  gl.glEnd();
  return DEV_OK;
}

int32_t Dev_DrawIndexedPrimitive(uint32_t type, int minIndex, int vertexCount, int startIndex, int primitiveCount) {
  FvfLayout l;
  DevObject* vb = Obj(g_dev.stream, OBJ_VERTEXBUFFER);
  DevObject* ib = Obj(g_dev.indices, OBJ_INDEXBUFFER);
  if (!Ready() || !vb || !ib || primitiveCount <= 0 || startIndex < 0 || minIndex < 0 || vertexCount <= 0 ||
      !Layout(g_dev.fvf, &l) || g_dev.streamStride < l.stride)
    return DEV_ERR_INVALIDCALL;
  int n = 0;
  GLenum prim = GlPrimitive(type, primitiveCount, &n);
  if (n == 0 || int64_t(startIndex + n) * 2 > ib->bytes) return DEV_ERR_INVALIDCALL;
  const uint8_t* idx = ib->data + size_t(startIndex) * 2;
  // Every index must fall in the given range and inside the vertex buffer.
  int64_t vbVerts = vb->bytes / g_dev.streamStride;
  for (int i = 0; i < n; ++i) {
    int64_t k = int64_t(idx[2 * i] | idx[2 * i + 1] << 8);
    if (k < minIndex || k >= int64_t(minIndex) + vertexCount || g_dev.baseVertex + k >= vbVerts)
      return DEV_ERR_INVALIDCALL;
  }
  ApplyAll();
  int stages = ActiveStages();
  gl.glBegin(prim);
  for (int i = 0; i < n; ++i) {
    int64_t k = g_dev.baseVertex + int64_t(idx[2 * i] | idx[2 * i + 1] << 8);
    EmitVertex(vb->data + size_t(k) * size_t(g_dev.streamStride), l, stages);
  }
  gl.glEnd();
  return DEV_OK;
}

// ---- Objects -------------------------------------------------------------------------------------

void Dev_Release(uint32_t object) {
  DevObject* o = Obj(object, 0);
  if (!o) return;
  if (--o->refs > 0) return;
  for (Stage& s : g_dev.stage)
    if (s.texture == object) s.texture = 0;
  for (int i = 0; i < kDevStages; ++i)
    if (g_applied.stageTexture[i] == object) g_applied.stageKnown[i] = false;  // its GL name goes
  if (g_dev.stream == object) g_dev.stream = 0;
  if (g_dev.indices == object) g_dev.indices = 0;
  FreeObject(o);
  g_objects[Slot(object)] = nullptr;
  --g_objectCount;
}

void Dev_AddRef(uint32_t object) {
  if (DevObject* o = Obj(object, 0)) ++o->refs;
}

int Dev_IsObject(uint32_t object) { return Obj(object, 0) ? 1 : 0; }
int Dev_ObjectCount() { return g_objectCount; }

// ---- Matrices ------------------------------------------------------------------------------------

void Dev_MatrixIdentity(DevMatrix* out) {
  std::memset(out->m, 0, sizeof out->m);
  out->m[0] = out->m[5] = out->m[10] = out->m[15] = 1.0f;
}

void Dev_MatrixMultiply(DevMatrix* out, const DevMatrix* a, const DevMatrix* b) {
  DevMatrix r;
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a->m[4 * i + k] * b->m[4 * k + j];
      r.m[4 * i + j] = s;
    }
  *out = r;
}

void Dev_MatrixPerspectiveFovRH(DevMatrix* out, float fovY, float aspect, float zNear, float zFar) {
  std::memset(out->m, 0, sizeof out->m);
  float yScale = 1.0f / std::tan(fovY / 2.0f);
  float xScale = yScale / aspect;
  out->m[0] = xScale;
  out->m[5] = yScale;
  out->m[10] = zFar / (zNear - zFar);
  out->m[11] = -1.0f;
  out->m[14] = zNear * zFar / (zNear - zFar);
}

void Dev_MatrixTranslation(DevMatrix* out, float x, float y, float z) {
  Dev_MatrixIdentity(out);
  out->m[12] = x;
  out->m[13] = y;
  out->m[14] = z;
}

void Dev_MatrixScaling(DevMatrix* out, float x, float y, float z) {
  Dev_MatrixIdentity(out);
  out->m[0] = x;
  out->m[5] = y;
  out->m[10] = z;
}

void Dev_MatrixRotationAxis(DevMatrix* out, const float axis[3], float angle) {
  Dev_MatrixIdentity(out);
  double x = axis[0], y = axis[1], z = axis[2];
  double len = std::sqrt(x * x + y * y + z * z);
  if (len == 0.0) return;
  x /= len;
  y /= len;
  z /= len;
  double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
  // Row vectors: v' = v x M, so M holds the column-vector rotation transposed.
  out->m[0] = float(t * x * x + c);
  out->m[1] = float(t * x * y + s * z);
  out->m[2] = float(t * x * z - s * y);
  out->m[4] = float(t * x * y - s * z);
  out->m[5] = float(t * y * y + c);
  out->m[6] = float(t * y * z + s * x);
  out->m[8] = float(t * x * z + s * y);
  out->m[9] = float(t * y * z - s * x);
  out->m[10] = float(t * z * z + c);
}

struct DevMatrixStack {
  DevMatrix* items;
  int count;  // matrices on the stack (the top is items[count - 1])
  int room;
};

int32_t Dev_CreateMatrixStack(DevMatrixStack** out) {
  if (!out) return DEV_ERR_INVALIDCALL;
  auto* s = static_cast<DevMatrixStack*>(Global_MallocZero(sizeof(DevMatrixStack), "D3DMST"));
  if (s) s->items = static_cast<DevMatrix*>(Global_Malloc(sizeof(DevMatrix) * 16, "D3DMST"));
  if (!s || !s->items) {
    if (s) Global_Free(s);
    *out = nullptr;
    return DEV_ERR_OUTOFVIDEOMEMORY;
  }
  s->room = 16;
  s->count = 1;
  Dev_MatrixIdentity(&s->items[0]);
  *out = s;
  return DEV_OK;
}

void Dev_ReleaseMatrixStack(DevMatrixStack* s) {
  if (!s) return;
  Global_Free(s->items);
  Global_Free(s);
}

int32_t Dev_StackPush(DevMatrixStack* s) {
  if (!s) return DEV_ERR_INVALIDCALL;
  if (s->count == s->room) {
    if (s->room >= 4096) return DEV_ERR_OUTOFVIDEOMEMORY;
    auto* more = static_cast<DevMatrix*>(Global_Malloc(sizeof(DevMatrix) * size_t(s->room) * 2, "D3DMST"));
    if (!more) return DEV_ERR_OUTOFVIDEOMEMORY;
    std::memcpy(more, s->items, sizeof(DevMatrix) * size_t(s->count));
    Global_Free(s->items);
    s->items = more;
    s->room *= 2;
  }
  s->items[s->count] = s->items[s->count - 1];
  ++s->count;
  return DEV_OK;
}

int32_t Dev_StackPop(DevMatrixStack* s) {
  if (!s || s->count <= 1) return DEV_ERR_INVALIDCALL;  // the last matrix stays
  --s->count;
  return DEV_OK;
}

int32_t Dev_StackLoadIdentity(DevMatrixStack* s) {
  if (!s) return DEV_ERR_INVALIDCALL;
  Dev_MatrixIdentity(&s->items[s->count - 1]);
  return DEV_OK;
}

int32_t Dev_StackMultMatrixLocal(DevMatrixStack* s, const DevMatrix* m) {
  if (!s || !m) return DEV_ERR_INVALIDCALL;
  Dev_MatrixMultiply(&s->items[s->count - 1], m, &s->items[s->count - 1]);
  return DEV_OK;
}

int32_t Dev_StackTranslateLocal(DevMatrixStack* s, float x, float y, float z) {
  DevMatrix t;
  Dev_MatrixTranslation(&t, x, y, z);
  return Dev_StackMultMatrixLocal(s, &t);
}

int32_t Dev_StackRotateAxisLocal(DevMatrixStack* s, const float axis[3], float angle) {
  DevMatrix t;
  Dev_MatrixRotationAxis(&t, axis, angle);
  return Dev_StackMultMatrixLocal(s, &t);
}

int32_t Dev_StackScaleLocal(DevMatrixStack* s, float x, float y, float z) {
  DevMatrix t;
  Dev_MatrixScaling(&t, x, y, z);
  return Dev_StackMultMatrixLocal(s, &t);
}

const DevMatrix* Dev_StackGetTop(DevMatrixStack* s) { return s ? &s->items[s->count - 1] : nullptr; }
