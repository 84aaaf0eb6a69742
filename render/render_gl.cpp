// The render operations: every one tests RenderApi and issues OpenGL calls (1), calls its
// Direct3D 8 twin (2) or does nothing (0). Only the blend mode and the active texture unit are
// cached; Render_BeginFrame forgets both.
#include <cmath>

#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/render_d3d8.h"

int32_t ActiveTexUnit = -1;
int32_t CurrentBlendMode = -1;
int32_t UnitFromDds[8];

namespace {

constexpr int kTexUnits = 8;

bool Gl() { return RenderApi == RENDER_API_OPENGL; }
bool D3d() { return RenderApi == RENDER_API_D3D8; }


void SetFilters(GLenum target, int filterKind) {
  switch (filterKind) {
    case 0:
      gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
      gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      break;
    case 1:
      gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      break;
    case 2: {
      float f = render_filter.value;
      gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      if (f == 0.0f) {
        gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
      } else {
        gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        if (GlExtFlags.EXT_texture_filter_anisotropic && f > 1.0f && f <= 2.0f)
          gl.glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, (GlLimits.maxAnisotropy - 1.0f) * (f - 1.0f) + 1.0f);
      }
      break;
    }
    default:
      break;
  }
}

// Binds the texture on the active unit unless it is bound there already; a new binding sets
// the filters (and, for cube maps, clamps all three coordinates).
void BindWithFilter(GLenum target, GLenum bindingQuery, int texture, int filterKind) {
  uint32_t handle = 0;
  int32_t fromDds = 0;
  Tex_GetBindInfo(texture, &handle, &fromDds);
  GLint bound = 0;
  gl.glGetIntegerv(bindingQuery, &bound);
  if (static_cast<GLuint>(bound) == handle) return;
  gl.glBindTexture(target, handle);
  if (target == GL_TEXTURE_CUBE_MAP_ARB) {
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
  }
  SetFilters(target, filterKind);
}

void BindAny(int unit, int texture, int filterKind, bool cube) {
  if (unit < 0 || unit >= kTexUnits) return;  // only eight units exist
  if (Gl()) {
    if (GlExtFlags.ARB_multitexture) {
      Render_SelectTexUnit(unit);
    } else if (unit != 0) {
      return;  // a single texture unit: nothing to bind beyond unit 0
    }
    if (cube)
      OPENGL_SetTexFilterCube(texture, filterKind);
    else
      OPENGL_SetTexFilter2D(texture, filterKind);
  } else if (D3d()) {
    D3D8_BindTexture(unit, texture, filterKind);
  } else {
    return;
  }
  uint32_t handle = 0;
  int32_t fromDds = 0;
  Tex_GetBindInfo(texture, &handle, &fromDds);
  UnitFromDds[unit] = fromDds;
}

void Vertex(const ImmVertex* v) {
  gl.glColor4ubv(&v->r);
  gl.glTexCoord2fv(&v->u);
  gl.glVertex3fv(&v->x);
}

}  // namespace

// Rotation from yaw, pitch, roll (rows right, forward, up), computed in double precision.
static void Render_MatFromAngles(const float* angles, double m[3][3]) {
  double cy = std::cos(angles[0]), sy = std::sin(angles[0]);
  double cp = std::cos(angles[1]), sp = std::sin(angles[1]);
  double cr = std::cos(angles[2]), sr = std::sin(angles[2]);
  m[0][0] = cr * cy - sr * sp * sy;
  m[0][1] = -cr * sy - sr * sp * cy;
  m[0][2] = sr * cp;
  m[1][0] = cp * sy;
  m[1][1] = cp * cy;
  m[1][2] = sp;
  m[2][0] = -sr * cy - cr * sp * sy;
  m[2][1] = sr * sy - cr * sp * cy;
  m[2][2] = cr * cp;
}

// Cofactor inverse divided by the determinant (1/determinant taken once, as f32).
static void Render_MatInverse(const float m[3][3], float out[3][3]) {
  double c00 = double(m[1][1]) * m[2][2] - double(m[1][2]) * m[2][1];
  double c01 = double(m[1][2]) * m[2][0] - double(m[1][0]) * m[2][2];
  double c02 = double(m[1][0]) * m[2][1] - double(m[1][1]) * m[2][0];
  double det = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
  float inv = static_cast<float>(1.0 / det);
  out[0][0] = static_cast<float>(c00 * inv);
  out[0][1] = static_cast<float>((double(m[0][2]) * m[2][1] - double(m[0][1]) * m[2][2]) * inv);
  out[0][2] = static_cast<float>((double(m[0][1]) * m[1][2] - double(m[0][2]) * m[1][1]) * inv);
  out[1][0] = static_cast<float>(c01 * inv);
  out[1][1] = static_cast<float>((double(m[0][0]) * m[2][2] - double(m[0][2]) * m[2][0]) * inv);
  out[1][2] = static_cast<float>((double(m[0][2]) * m[1][0] - double(m[0][0]) * m[1][2]) * inv);
  out[2][0] = static_cast<float>(c02 * inv);
  out[2][1] = static_cast<float>((double(m[0][1]) * m[2][0] - double(m[0][0]) * m[2][1]) * inv);
  out[2][2] = static_cast<float>((double(m[0][0]) * m[1][1] - double(m[0][1]) * m[1][0]) * inv);
}

void Render_ViewMatrix(const float* angles, const float* origin, float out[16]) {
  // Rotation of the view: the fixed axis matrix (x right, y up, z back) times the angles' matrix.
  double m[3][3];
  Render_MatFromAngles(angles, m);
  float r[3][3];
  for (int j = 0; j < 3; ++j) {
    r[0][j] = static_cast<float>(m[0][j]);
    r[1][j] = static_cast<float>(m[2][j]);
    r[2][j] = static_cast<float>(-m[1][j]);
  }
  float inv[3][3];
  Render_MatInverse(r, inv);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) out[4 * i + j] = inv[i][j];
    out[4 * i + 3] = 0.0f;
  }
  for (int j = 0; j < 3; ++j)
    out[12 + j] = static_cast<float>(-(double(origin[0]) * inv[0][j] + double(origin[1]) * inv[1][j] +
                                       double(origin[2]) * inv[2][j]));
  out[15] = 1.0f;
}

// ---- Texture units and binding ------------------------------------------------------------------

void Render_SelectTexUnit(int unit) {
  if (!Gl() || !GlExtFlags.ARB_multitexture || unit == ActiveTexUnit) return;
  gl.glActiveTextureARB(GL_TEXTURE0_ARB + unit);
  ActiveTexUnit = unit;
}

void Render_SelectClientTexUnit(int unit) {
  if (!Gl() || !GlExtFlags.ARB_multitexture) return;
  gl.glClientActiveTextureARB(GL_TEXTURE0_ARB + unit);
}

void Tex_Bind(int unit, int texture, int filterKind) { BindAny(unit, texture, filterKind, false); }
void Tex_BindCube(int unit, int texture, int filterKind) { BindAny(unit, texture, filterKind, true); }

void OPENGL_SetTexFilter2D(int texture, int filterKind) {
  if (!Gl()) return;
  BindWithFilter(GL_TEXTURE_2D, GL_TEXTURE_BINDING_2D, texture, filterKind);
}

void OPENGL_SetTexFilterCube(int texture, int filterKind) {
  if (!Gl()) return;
  BindWithFilter(GL_TEXTURE_CUBE_MAP_ARB, GL_TEXTURE_BINDING_CUBE_MAP_ARB, texture, filterKind);
}

void Render_SetTexWrap(int unit, int mode) {
  if (Gl()) {
    Render_SelectTexUnit(unit);
    if (mode == 0) {
      gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
      gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    } else if (mode == 1) {
      gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
      gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    }
  } else if (D3d()) {
    D3D8_SetTexWrap(unit, mode);
  }
}

// ---- Depth and raster state ---------------------------------------------------------------------

void Render_SetDepthTest(int on) {
  if (Gl()) {
    if (on == 0) gl.glDisable(GL_DEPTH_TEST);
    else if (on == 1) gl.glEnable(GL_DEPTH_TEST);
  } else if (D3d()) {
    D3D8_SetDepthTest(on);
  }
}

void Render_SetDepthWrite(int on) {
  if (Gl()) {
    if (on == 0 || on == 1) gl.glDepthMask(static_cast<GLboolean>(on));
  } else if (D3d()) {
    D3D8_SetDepthWrite(on);
  }
}

void Render_SetDepthFunc(int mode) {
  if (Gl()) {
    switch (mode) {
      case 0: gl.glDepthFunc(GL_NEVER); break;
      case 1:
        if (render_draworder.value == 0.0f) {
          gl.glClearDepth(1.0);
          gl.glDepthFunc(GL_LEQUAL);
        } else {
          gl.glClearDepth(0.0);
          gl.glDepthFunc(GL_GEQUAL);
        }
        break;
      case 2: gl.glDepthFunc(GL_ALWAYS); break;
      case 3: gl.glDepthFunc(GL_EQUAL); break;
      default: break;
    }
  } else if (D3d()) {
    D3D8_SetDepthFunc(mode);
  }
}

void Render_SetLineWidth(float width) {
  if (Gl()) gl.glLineWidth(width);
}

void Render_SetPointSize(float size) {
  if (Gl()) gl.glPointSize(size);
  else if (D3d()) D3D8_SetPointSize(size);
}

void Render_SetCull(int mode) {
  if (Gl()) {
    if (mode == 2) {
      gl.glEnable(GL_CULL_FACE);
      gl.glCullFace(GL_BACK);
    } else if (mode == 1) {
      gl.glEnable(GL_CULL_FACE);
      gl.glCullFace(GL_FRONT);
    } else {
      gl.glDisable(GL_CULL_FACE);
    }
  } else if (D3d()) {
    D3D8_SetCull(mode);
  }
}

void Render_GetTexelOffset(int width, int height, float* out) {
  if (!out) return;
  if (D3d()) {
    D3D8_GetTexelOffset(width, height, out);
    return;
  }
  out[0] = 0;
  out[1] = 0;
}

// ---- Lighting and fog ---------------------------------------------------------------------------

void Render_SetLighting(int on) {
  if (Gl()) {
    if (on) gl.glEnable(GL_LIGHTING);
    else gl.glDisable(GL_LIGHTING);
  } else if (D3d()) {
    D3D8_SetLighting(on);
  }
}

void Render_EnableLight(int index, int on) {
  if (Gl()) {
    if (on) gl.glEnable(GL_LIGHT0 + index);
    else gl.glDisable(GL_LIGHT0 + index);
  } else if (D3d()) {
    D3D8_EnableLight(index, on);
  }
}

void Render_SetLight(int index, const float* position, const float* ambient, const float* diffuse,
                     const float* specular) {
  if (Gl()) {
    gl.glLightfv(GL_LIGHT0 + index, GL_POSITION, position);
    gl.glLightfv(GL_LIGHT0 + index, GL_AMBIENT, ambient);
    gl.glLightfv(GL_LIGHT0 + index, GL_DIFFUSE, diffuse);
    gl.glLightfv(GL_LIGHT0 + index, GL_SPECULAR, specular);
  } else if (D3d()) {
    D3D8_SetLight(index, position, ambient, diffuse, specular);
  }
}

void Render_SetMaterialColor(const float* ambient, const float* diffuse, const float* specular) {
  if (Gl()) {
    gl.glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    gl.glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    gl.glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
  } else if (D3d()) {
    D3D8_SetMaterialColor(ambient, diffuse, specular);
  }
}

void Render_SetPolygonOffset(int on) {
  if (Gl()) {
    if (on) {
      gl.glPolygonOffset(-2.0f, -4.0f);
      gl.glEnable(GL_POLYGON_OFFSET_FILL);
    } else {
      gl.glDisable(GL_POLYGON_OFFSET_FILL);
    }
  } else if (D3d()) {
    D3D8_SetPolygonOffset(on);
  }
}

void Render_SetFogEnable(int on) {
  if (Gl()) {
    if (on) gl.glEnable(GL_FOG);
    else gl.glDisable(GL_FOG);
  } else if (D3d()) {
    D3D8_SetFogEnable(on);
  }
}

void Render_SetColorMask(int r, int g, int b, int a) {
  if (Gl()) gl.glColorMask(r != 0, g != 0, b != 0, a != 0);
  else if (D3d()) D3D8_SetColorMask(r, g, b, a);
}

void Render_SetPolygonMode(int mode) {
  if (Gl()) {
    static const GLenum kModes[3] = {GL_POINT, GL_LINE, GL_FILL};
    if (mode >= 0 && mode <= 2) gl.glPolygonMode(GL_FRONT_AND_BACK, kModes[mode]);
  } else if (D3d()) {
    D3D8_SetPolygonMode(mode);
  }
}

void Render_SetBlend(int mode) {
  if (RenderApi == RENDER_API_NONE || mode == CurrentBlendMode) return;
  if (Gl()) {
    static const GLenum kFuncs[8][2] = {{0, 0},
                                        {GL_ONE, GL_ONE},
                                        {GL_ZERO, GL_SRC_COLOR},
                                        {GL_ZERO, GL_ONE_MINUS_SRC_COLOR},
                                        {GL_DST_COLOR, GL_SRC_COLOR},
                                        {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA},
                                        {GL_SRC_ALPHA, GL_ONE},
                                        {GL_ONE_MINUS_SRC_ALPHA, GL_ONE}};
    if (mode == 0) {
      gl.glDisable(GL_BLEND);
      gl.glAlphaFunc(GL_GREATER, 0.0f);
      gl.glEnable(GL_ALPHA_TEST);
      Render_SetFogEnable(RenderFogWanted != 0);
    } else if (mode >= 1 && mode <= 7) {
      gl.glEnable(GL_BLEND);
      gl.glBlendFunc(kFuncs[mode][0], kFuncs[mode][1]);
      Render_SetFogEnable(0);
    }
  } else {
    D3D8_SetBlend(mode);
  }
  CurrentBlendMode = mode;
}

// ---- Immediate draws ----------------------------------------------------------------------------

void Render_DrawPoint(const ImmVertex* v) {
  if (Gl()) {
    gl.glBegin(GL_POINTS);
    Vertex(v);
    gl.glEnd();
  } else if (D3d()) {
    D3D8_DrawPoint(v);
  }
}

void Render_DrawLine(const ImmVertex* a, const ImmVertex* b) {
  if (Gl()) {
    gl.glBegin(GL_LINES);
    Vertex(a);
    Vertex(b);
    gl.glEnd();
  } else if (D3d()) {
    D3D8_DrawLine(a, b);
  }
}

void Render_DrawTriangle(const ImmVertex* a, const ImmVertex* b, const ImmVertex* c) {
  if (Gl()) {
    gl.glBegin(GL_TRIANGLES);
    Vertex(a);
    Vertex(b);
    Vertex(c);
    gl.glEnd();
  } else if (D3d()) {
    D3D8_DrawTriangle(a, b, c);
  }
}

// ---- Matrices -----------------------------------------------------------------------------------

void Render_SetPerspective(float fovDegrees, float farFactor, float nearDist) {
  if (Gl()) {
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    // Before the screen size is known there is no frustum to make.
    if (Render_ScreenWidth != 0) {
      double x = nearDist * std::tan(fovDegrees * M_PI / 360.0);
      double y = x * Render_ScreenHeight / Render_ScreenWidth;
      gl.glFrustum(-x, x, -y, y, nearDist, double(farFactor) * nearDist);
    }
    gl.glMatrixMode(GL_MODELVIEW);
  } else if (D3d()) {
    float aspect = Render_ScreenWidth != 0 ? float(Render_ScreenHeight) / float(Render_ScreenWidth) : 0.0f;
    D3D8_SetPerspective(fovDegrees, aspect, farFactor, nearDist);
  }
}

void Render_SetCamera(const float* angles, const float* origin) {
  if (Gl()) {
    GLfloat out[16];
    Render_ViewMatrix(angles, origin, out);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glMultMatrixf(out);
  } else if (D3d()) {
    D3D8_SetCamera(angles, origin);
  }
}

void Render_PushMatrix() {
  if (Gl()) gl.glPushMatrix();
  else if (D3d()) D3D8_PushMatrix();
}

void Render_PopMatrix() {
  if (Gl()) gl.glPopMatrix();
  else if (D3d()) D3D8_PopMatrix();
}

void Render_MultMatrix(const float* rotation, const float* origin) {
  if (Gl()) {
    GLfloat m[16] = {rotation[0], rotation[1], rotation[2], 0, rotation[3], rotation[4], rotation[5], 0,
                     rotation[6], rotation[7], rotation[8], 0, origin[0],   origin[1],   origin[2],   1};
    gl.glMultMatrixf(m);
  } else if (D3d()) {
    D3D8_MultMatrix(rotation, origin);
  }
}

void Render_Translate(float x, float y, float z) {
  if (Gl()) gl.glTranslatef(x, y, z);
  else if (D3d()) D3D8_Translate(x, y, z);
}

void Render_Rotate(float degrees, float x, float y, float z) {
  if (Gl()) gl.glRotatef(degrees, x, y, z);
  else if (D3d()) D3D8_Rotate(degrees, x, y, z);
}

void Render_Scale(float x, float y, float z) {
  if (Gl()) gl.glScalef(x, y, z);
  else if (D3d()) D3D8_Scale(x, y, z);
}

// ---- Viewport, scissor, read-back, texture update -----------------------------------------------

void Render_GetViewport(int* x, int* y, int* width, int* height) {
  if (Gl()) {
    GLint v[4] = {0, 0, 0, 0};
    gl.glGetIntegerv(GL_VIEWPORT, v);
    if (x) *x = v[0];
    if (y) *y = v[1];
    if (width) *width = v[2];
    if (height) *height = v[3];
  } else if (D3d()) {
    D3D8_GetViewport(x, y, width, height);
  } else {
    if (x) *x = 0;
    if (y) *y = 0;
    if (width) *width = 0;
    if (height) *height = 0;
  }
}

void Render_SetViewport(int x, int y, int width, int height) {
  if (Gl()) gl.glViewport(x, y, width, height);
  else if (D3d()) D3D8_SetViewport(x, y, width, height);
}

void Render_SetScissor(int x, int y, int width, int height) {
  if (Gl()) gl.glScissor(x, y, width, height);
}

void Render_ReadPixels(int x, int y, int width, int height, void* out) {
  if (!out || width <= 0 || height <= 0) return;
  if (Gl()) {
    gl.glReadBuffer(GL_BACK);
    gl.glReadPixels(x, y, width, height, GL_BGRA, GL_UNSIGNED_BYTE, out);
  } else if (D3d()) {
    D3D8_ReadPixels(x, y, width, height, out);
  }
}

void Render_UpdateTexSubImage(int texture, int x, int y, int width, int height, int bits, const void* pixels) {
  if (Gl()) {
    Tex_Bind(0, texture, 1);
    GLenum format;
    switch (bits) {
      case 8: format = GL_LUMINANCE; break;
      case 16: format = GL_LUMINANCE_ALPHA; break;
      case 24: format = GL_BGR; break;
      case 32: format = GL_BGRA; break;
      default: return;
    }
    gl.glTexSubImage2D(GL_TEXTURE_2D, 0, x, y, width, height, format, GL_UNSIGNED_BYTE, pixels);
  } else if (D3d()) {
    D3D8_UpdateTexSubImage(texture, x, y, width, height, bits, pixels);
  }
}

// ---- Direct3D 8 only ----------------------------------------------------------------------------

void Render_SetTextureMatrix(int stage, const float* rotation, const float* offset, int coordCount, int projected) {
  if (D3d()) D3D8_SetTextureMatrix(stage, rotation, offset, coordCount, projected);
}
void Render_DrawIndexedTriangles(int vertexCount, int firstIndex, int triangleCount) {
  if (D3d()) D3D8_DrawIndexedTriangles(vertexCount, firstIndex, triangleCount);
}
uint32_t Render_CreateVertexBuffer(int bytes, int layout) {
  return D3d() ? D3D8_CreateVertexBuffer(bytes, layout) : 0;
}
uint32_t Render_CreateIndexBuffer(int bytes) { return D3d() ? D3D8_CreateIndexBuffer(bytes) : 0; }
void Render_ReleaseBuffer(uint32_t handle) {
  if (D3d()) D3D8_ReleaseObject(handle);
}
void Render_SetVertexBuffer(uint32_t handle, int layout) {
  if (D3d()) D3D8_SetVertexBuffer(handle, layout);
}
void Render_SetIndexBuffer(uint32_t handle, int baseVertex) {
  if (D3d()) D3D8_SetIndexBuffer(handle, baseVertex);
}
void Render_FillVertexBuffer(uint32_t handle, int layout, int byteOffset, int bytes, const void* data) {
  if (D3d()) D3D8_FillVertexBuffer(handle, layout, byteOffset, bytes, data);
}
void Render_FillIndexBuffer(uint32_t handle, int byteOffset, int bytes, const void* data) {
  if (D3d()) D3D8_FillIndexBuffer(handle, byteOffset, bytes, data);
}
void Render_BeginEnvMapStages(int mode) {
  if (D3d()) D3D8_BeginEnvMapStages(mode);
}
void Render_EndEnvMapStages(int mode) {
  if (D3d()) D3D8_EndEnvMapStages(mode);
}
void Render_SetStageModulate(int stage, float factor) {
  if (D3d()) D3D8_SetStageModulate(stage, factor);
}
