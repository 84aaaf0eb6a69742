// ".may" levels: drawing (OpenGL texture combiners, Direct3D 8 texture stages).
#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>
#include <vector>

#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "render/video.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/model_draw.h"
#include "scene/view.h"

namespace {

constexpr float kDeg = 57.295779513f;
constexpr int kMaxUnits = 4;
constexpr int kD3dVertexSize = 44;

bool Gl() { return RenderApi == RENDER_API_OPENGL; }
bool D3d() { return RenderApi == RENDER_API_D3D8; }

int UnitCount() {
  if (D3d()) return 2;
  int n = GlLimits.maxTextureUnits > 0 ? GlLimits.maxTextureUnits : 1;
  return n < kMaxUnits ? n : kMaxUnits;
}

// Direct3D 8: the 44-byte vertices (position, normal, colour, texture pairs 0 and 1) and the
// indices into the surfaces' buffers.
void UploadD3d(MaylLevel* l) {
  for (int i = 0; i < l->surfaceCount; i++) {
    MaylSurface& s = l->surfaces[i];
    if (s.vertexCount <= 0) continue;
    auto* fvf = static_cast<uint8_t*>(Global_Malloc(size_t(s.vertexCount) * kD3dVertexSize, "MAYBFVF"));
    if (!fvf) continue;
    for (int v = 0; v < s.vertexCount; v++) {
      const MaylVertex& x = s.vertices[v];
      uint8_t* o = fvf + size_t(v) * kD3dVertexSize;
      std::memcpy(o, x.pos, 12);
      std::memcpy(o + 12, x.normal, 12);
      std::memcpy(o + 24, x.color, 4);
      std::memcpy(o + 28, x.uv, 16);
    }
    Render_FillVertexBuffer(s.buffer, 1, 0, s.vertexCount * kD3dVertexSize, fvf);
    Global_Free(fvf);
    if (s.indexCount > 0) Render_FillIndexBuffer(s.d3dIndexBuffer, 0, s.indexCount * 2, s.indices);
  }
}

void Upload(MaylLevel* l) {
  if (D3d()) {
    if (l->uploadPending) UploadD3d(l);
    l->uploadPending = 0;
    return;
  }
  uint32_t generation = OPENGL_GetVarGeneration();
  int vertices = 0, bytes = 0;
  for (int i = 0; i < l->surfaceCount; i++) {
    MaylSurface& s = l->surfaces[i];
    if (s.vertexCount <= 0) continue;
    if (s.varGeneration == generation && (s.varCopy || l->loggedVar)) continue;
    int size = s.vertexCount * int(kMayDrawVertexSize);
    Log_Printf("vtxs=%i,mem=%i,nv_array_t=%i,vertexs=%i,size=%i\n", vertices, bytes, int(kMayDrawVertexSize),
               s.vertexCount, size);
    vertices += s.vertexCount;
    bytes += size;
    s.varCopy = static_cast<uint8_t*>(Model_CarveStatic(size, &l->loggedVarGeneration, &l->loggedVar, "mayb_Draw"));
    s.varGeneration = generation;
    if (s.varCopy)
      for (int v = 0; v < s.vertexCount; v++)
        std::memcpy(s.varCopy + size_t(v) * kMayDrawVertexSize, &s.vertices[v], sizeof(MaylVertex));
    if (Gl() && s.buffer) {
      gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, s.buffer);
      if (s.varCopy) gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, size, s.varCopy, GL_STATIC_DRAW_ARB);
      else gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, s.vertexCount * int(sizeof(MaylVertex)), s.vertices, GL_STATIC_DRAW_ARB);
      gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    }
  }
  l->uploadPending = 0;
}

struct Frame {
  MaylLevel* l;
  ModelDrawParams* p;
  ViewParams* view;
  int units;
  int boundSurface;
  int lastLightmap;     // texture index on the lightmap unit, -1 for none
  int lightmapUnit;     // -1: the shader takes no lightmap
  uint32_t videoTexture;
  bool video;
};

// The key-blended transform of an object at the view's time.
MaylKey ObjectKey(const MaylLevel* l, const MaylObject& o, double time) {
  MaylKey k;
  Model_BlendKeys(&l->keys[o.firstKey], o.keyCount, o.start, o.end, time, &k);
  return k;
}

void MultKey(const MaylKey& k) {
  // Keys turn column vectors; the render matrix takes rows.
  float rows[9] = {k.rot[0], k.rot[3], k.rot[6], k.rot[1], k.rot[4], k.rot[7], k.rot[2], k.rot[5], k.rot[8]};
  Render_MultMatrix(rows, k.t);
}

void ComputeVisibility(Frame& f) {
  MaylLevel* l = f.l;
  const ModelDrawParams* p = f.p;
  mat3 rot, inv;
  Mat_FromAngles(&rot, &p->angles);
  Mat_Inverse(&rot, &inv);
  vec3 offset;
  Vec_Subtract(&f.view->position, &p->position, &offset);
  Vec_Rotate(&offset, &inv, &offset);
  ViewPlane planes[6];
  for (int i = 0; i < 6; i++) {
    planes[i] = f.view->planes[i];
    Vec_Rotate(&f.view->planes[i].normal, &inv, &planes[i].normal);
    planes[i].dist = float(Vec_Dot(&planes[i].normal, &offset));
    if (i == 5) planes[i].dist -= p->farDistance != 0 ? p->farDistance : f.view->farDistance;
    const float* n = &planes[i].normal.x;
    for (int k = 0; k < 3; k++) {
      planes[i].corner[k] = n[k] >= 0 ? k : 3 + k;
      planes[i].corner[3 + k] = n[k] >= 0 ? 3 + k : k;
    }
  }
  static const vec3 kOrigin{0, 0, 0};
  for (int i = 0; i < l->objectCount; i++) {
    MaylObject& o = l->objects[i];
    const float* box = o.bounds;
    MaylKey k;
    if (o.keyCount > 1) {
      k = ObjectKey(l, o, f.view->time);
      box = k.bounds;
    }
    o.visible = 1;
    for (int pl = 0; pl < 6 && o.visible; pl++)
      if (View_BoxOutside(&planes[pl], box, &kOrigin)) o.visible = 0;
  }
}

void PointSurface(Frame& f, int index) {
  if (f.boundSurface == index) return;
  f.boundSurface = index;
  const MaylSurface& s = f.l->surfaces[index];
  if (D3d()) {
    Render_SetVertexBuffer(s.buffer, 1);
    Render_SetIndexBuffer(s.d3dIndexBuffer, 0);
    return;
  }
  const uint8_t* base = s.varCopy ? s.varCopy : reinterpret_cast<const uint8_t*>(s.vertices);
  int stride = s.varCopy ? int(kMayDrawVertexSize) : int(sizeof(MaylVertex));
  if (s.buffer) {
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, s.buffer);
    base = nullptr;
  }
  gl.glVertexPointer(3, GL_FLOAT, stride, base);
  gl.glColorPointer(4, GL_UNSIGNED_BYTE, stride, base + 12);
  gl.glNormalPointer(GL_FLOAT, stride, base + 48);
  for (int u = 0; u < f.units; u++) {
    Render_SelectClientTexUnit(u);
    gl.glTexCoordPointer(2, GL_FLOAT, stride, base + 16 + 8 * u);
  }
  Render_SelectClientTexUnit(0);
  if (s.buffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

void SetLightmapScale(int unit, float scale) {
  if (Gl()) {
    Render_SelectTexUnit(unit);
    gl.glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, scale);
  }
}

void DrawSet(Frame& f, const MaylSet& set, bool reflection) {
  MaylLevel* l = f.l;
  const MaylObject& o = l->objects[set.object];
  int pass = f.view->pass;
  double time = f.view->time;
  if (Gl() && pass != 1 && l->lightmapsOn && f.lightmapUnit >= 0) {
    int tex = Material_Table[o.lightmap].frameTexture[Material_GetFrame(o.lightmap, time)];
    if (tex != f.lastLightmap) {
      Material_Bind(f.lightmapUnit, o.lightmap, time, 2);
      if ((tex != 0) != (f.lastLightmap > 0)) SetLightmapScale(f.lightmapUnit, tex ? 2.0f : 1.0f);
      f.lastLightmap = tex;
    }
  }
  const MaylSurface& surf = l->surfaces[set.surface];
  if (Gl() && !surf.varCopy && !surf.vertices) return;
  PointSurface(f, set.surface);
  bool d3dLightmap = false;
  if (D3d() && !reflection && !l->spotMaterial) {
    int tex = l->lightmapsOn && o.lightmap ? Material_Table[o.lightmap].frameTexture[0] : 0;
    Material_Bind(1, l->lightmapsOn ? o.lightmap : 0, time, 2);
    Render_SetStageModulate(1, tex ? 2.0f : 1.0f);
    d3dLightmap = tex != 0;
    if (!UnitFromDds[1]) {
      Render_SetTextureMatrix(1, kModelFlipV, kModelFlipVOffset, 2, 0);
    }
  }
  auto draw = [&](const ModelInstance* inst) {
    bool push = inst || set.moving;
    if (push) Render_PushMatrix();
    if (inst) Render_MultMatrix(&inst->rotation.m[0][0], &inst->origin.x);
    if (set.moving) MultKey(ObjectKey(l, o, time));
    if (Gl()) {
      const uint16_t* idx = surf.indices + set.firstIndex;
      gl.glDrawElements(GL_TRIANGLES, set.indexCount, GL_UNSIGNED_SHORT, idx);
    } else {
      Render_DrawIndexedTriangles(surf.vertexCount, set.firstIndex, set.indexCount / 3);
    }
    if (push) Render_PopMatrix();
    f.view->statDrawCalls += 1;
    f.view->statTriangles += set.indexCount / 3;
  };
  if (f.p->instanceCount > 0 && f.p->instances) {
    for (int i = 0; i < f.p->instanceCount; i++) draw(&f.p->instances[i]);
  } else {
    draw(nullptr);
  }
  if (D3d() && !reflection && !l->spotMaterial) {
    if (d3dLightmap) Render_SetStageModulate(1, 1.0f);
    Render_SetTextureMatrix(1, kModelIdentity, kModelZero, 0, 0);
  }
}

// Unit `unit` in GL_COMBINE_ARB: out = combine(previous, texture).
void Combine(int unit, GLenum rgb, float opacity, bool byTextureAlpha) {
  Render_SelectTexUnit(unit);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, rgb);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, rgb == GL_REPLACE ? GL_REPLACE : GL_MODULATE);
  if (rgb == GL_REPLACE) {
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_TEXTURE);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_TEXTURE);
  } else if (rgb == GL_INTERPOLATE_ARB) {
    // previous x (1 - a) + texture x a
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_TEXTURE);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_PREVIOUS_ARB);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB_ARB, byTextureAlpha ? GL_TEXTURE : GL_CONSTANT_ARB);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB_ARB, GL_SRC_ALPHA);
    float constant[4] = {1, 1, 1, opacity};
    gl.glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, constant);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_PREVIOUS_ARB);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA_ARB, GL_TEXTURE);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
  } else {
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_PREVIOUS_ARB);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_ALPHA_ARB, GL_TEXTURE);
  }
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
  gl.glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 1.0f);
}

void UnitModulate(int unit, bool texturing) {
  Render_SelectTexUnit(unit);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  gl.glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 1.0f);
  if (texturing) gl.glEnable(GL_TEXTURE_2D);
  else gl.glDisable(GL_TEXTURE_2D);
}

void PushTextureMatrix(int unit) {
  Render_SelectTexUnit(unit);
  gl.glMatrixMode(GL_TEXTURE);
  gl.glPushMatrix();
}

void PopTextureMatrix(int unit) {
  Render_SelectTexUnit(unit);
  gl.glMatrixMode(GL_TEXTURE);
  gl.glPopMatrix();
  gl.glMatrixMode(GL_MODELVIEW);
}

// A shader's blend (the spotlight's while one is on) and cull state; blended surfaces draw without
// depth writes, offset towards the eye. Returns the blend for EndShaderState.
int BeginShaderState(const MaylLevel* l, const MaylShader& sh) {
  int mode = l->spotMaterial ? l->spotBlend : sh.blend;
  Render_SetBlend(mode);
  if (mode) {
    Render_SetDepthWrite(0);
    Render_SetPolygonOffset(1);
  }
  Render_SetCull(sh.twoSided ? 0 : 2);
  return mode;
}

void EndShaderState(int mode) {
  Render_SetCull(0);
  if (mode) {
    Render_SetDepthWrite(1);
    Render_SetPolygonOffset(0);
  }
  Render_SetBlend(0);
}

void DrawShaderGl(Frame& f, int index) {
  MaylLevel* l = f.l;
  const MaylShader& sh = l->shaders[index];
  int pass = f.view->pass;
  double time = f.view->time;
  const int mode = BeginShaderState(l, sh);
  bool pushed[kMaxUnits] = {};
  bool reflection = false;
  f.lightmapUnit = -1;
  int layerTop = -1;  // the highest unit a layer took
  if (sh.layerCount >= 1) {
    int top = sh.layerCount - 1 < kMaxUnits - 1 ? sh.layerCount - 1 : kMaxUnits - 1;
    layerTop = std::min(top, f.units - 1);
    for (int k = top; k >= 0; k--) {
      if (k >= f.units) continue;
      const MaylSlot& slot = sh.slots[k];
      Material_Bind(k, slot.material, time, 2);
      Render_SelectTexUnit(k);
      gl.glEnable(GL_TEXTURE_2D);
      if (k == 0) Combine(0, GL_REPLACE, 1, false);
      else if (slot.combine == 4) Combine(k, GL_ADD, 1, false);
      else if (slot.combine == 6) Combine(k, GL_MODULATE, 1, false);
      else Combine(k, GL_INTERPOLATE_ARB, slot.opacity, slot.opacity == 1.0f);
      Render_SetTexWrap(k, 1);
      if (slot.stretchU != 0 || slot.stretchV != 0) {
        PushTextureMatrix(k);
        gl.glScalef(1 + slot.stretchU, 1 + slot.stretchV, 1);
        gl.glMatrixMode(GL_MODELVIEW);
        pushed[k] = true;
      }
    }
    if (sh.layerCount < f.units && pass != 1) {
      f.lightmapUnit = sh.layerCount;
      Material_Bind(f.lightmapUnit, 0, time, 2);
      Combine(f.lightmapUnit, GL_MODULATE, 1, false);
      Render_SelectTexUnit(f.lightmapUnit);
      gl.glEnable(GL_TEXTURE_2D);
    }
  } else {
    const MaylSlot& diffuse = sh.slots[0];
    Material_Bind(0, diffuse.material, time, 2);
    Render_SelectTexUnit(0);
    gl.glEnable(GL_TEXTURE_2D);
    float rot = 0, ou = 0, ov = 0, scale = 1;
    if (diffuse.material) Material_GetFrameLerp(diffuse.material, time, &rot, &ou, &ov, &scale);
    if (scale == 0.0f || !std::isfinite(scale)) scale = 1.0f;
    if (rot != 0 || ou != 0 || ov != 0 || scale != 1 || diffuse.stretchU != 0 || diffuse.stretchV != 0) {
      PushTextureMatrix(0);
      gl.glTranslatef(ou, ov, 0);
      gl.glRotatef(rot * kDeg, 0, 0, 1);
      gl.glScalef(1 / scale, 1 / scale, 1 / scale);
      gl.glScalef(1 + diffuse.stretchU, 1 + diffuse.stretchV, 1);
      gl.glMatrixMode(GL_MODELVIEW);
      pushed[0] = true;
    }
    Render_SelectTexUnit(0);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, l->colorsOn ? GL_MODULATE : GL_REPLACE);
    Render_SetTexWrap(0, 1);
    if (f.video && f.videoTexture) {
      const MovieAviState* avi = Movie_GetAviState();
      gl.glBindTexture(avi->textureTarget, f.videoTexture);
      gl.glTexParameteri(avi->textureTarget, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      gl.glTexParameteri(avi->textureTarget, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
      if (avi->textureTarget != GL_TEXTURE_2D) {
        gl.glDisable(GL_TEXTURE_2D);
        gl.glEnable(avi->textureTarget);
      }
      if (!pushed[0]) PushTextureMatrix(0);
      else gl.glMatrixMode(GL_TEXTURE);
      pushed[0] = true;
      if (avi->textureTarget == GL_TEXTURE_2D && avi->textureWidth && avi->textureHeight)
        gl.glScalef(float(avi->frameWidth) / float(avi->textureWidth), float(avi->frameHeight) / float(avi->textureHeight), 1);
      else
        gl.glScalef(float(avi->frameWidth), float(avi->frameHeight), 1);
      gl.glMatrixMode(GL_MODELVIEW);
    }
    if (pass != 1) {
      const MaylSlot& refl = sh.slots[2];
      if (refl.material && f.units > 1) {
        reflection = true;
        Material_Bind(1, refl.material, time, 2);
        Render_SelectTexUnit(1);
        gl.glEnable(GL_TEXTURE_2D);
        gl.glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        gl.glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
        gl.glEnable(GL_TEXTURE_GEN_S);
        gl.glEnable(GL_TEXTURE_GEN_T);
        gl.glDisable(GL_ALPHA_TEST);
        // reflection x (1 - a) + previous x a, a the diffuse alpha
        Combine(1, GL_INTERPOLATE_ARB, 1, false);
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB);
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB_ARB, GL_PREVIOUS_ARB);
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB_ARB, GL_SRC_ALPHA);
        Render_SelectTexUnit(0);
        gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      } else if (f.units > 1) {
        f.lightmapUnit = 1;
        Material_Bind(1, 0, time, 2);
        Combine(1, GL_MODULATE, 1, false);
        Render_SelectTexUnit(1);
        gl.glEnable(GL_TEXTURE_2D);
      }
    }
  }
  f.lastLightmap = 0;
  for (int i = sh.firstSet; i < sh.firstSet + sh.setCount; i++) {
    const MaylSet& set = l->sets[i];
    if (l->objects[set.object].visible || f.p->instanceCount > 0) DrawSet(f, set, reflection);
  }
  // Restore.
  if (f.video && f.videoTexture) {
    const MovieAviState* avi = Movie_GetAviState();
    Render_SelectTexUnit(0);
    gl.glBindTexture(avi->textureTarget, 0);
    if (avi->textureTarget != GL_TEXTURE_2D) {
      gl.glDisable(avi->textureTarget);
      gl.glEnable(GL_TEXTURE_2D);
    }
    Material_Bind(0, 0, 0, 2);
  }
  if (reflection) {
    Render_SelectTexUnit(1);
    gl.glDisable(GL_TEXTURE_GEN_S);
    gl.glDisable(GL_TEXTURE_GEN_T);
    UnitModulate(1, false);
    Render_SelectTexUnit(0);
    gl.glEnable(GL_ALPHA_TEST);
  }
  if (pass != 1) {
    Material_Bind(1, 0, time, 2);
    if (f.lightmapUnit == 1) SetLightmapScale(1, 1.0f);
  }
  // Units 2 and up that this shader's layers or lightmap took go back to plain and off, so the
  // next shader does not combine with them.
  for (int k = std::max(layerTop, f.lightmapUnit); k >= 2; k--) {
    Material_Bind(k, 0, time, 2);
    UnitModulate(k, false);
  }
  for (int k = kMaxUnits - 1; k >= 0; k--)
    if (pushed[k]) PopTextureMatrix(k);
  EndShaderState(mode);
}

void DrawShaderD3d(Frame& f, int index) {
  MaylLevel* l = f.l;
  const MaylShader& sh = l->shaders[index];
  double time = f.view->time;
  const int mode = BeginShaderState(l, sh);
  Material_Bind(0, sh.slots[0].material, time, 2);
  Render_SetTexWrap(0, 1);
  bool reflection = sh.layerCount == 0 && sh.slots[2].material && f.view->pass != 1;
  if (reflection) {
    Material_Bind(1, sh.slots[2].material, time, 2);
    Render_BeginEnvMapStages(1);
    static const float kRot[9] = {-0.5f, 0, 0, 0, -0.5f, 0, 0, 0, 1}, kOff[3] = {0.5f, 0.5f, 0};
    Render_SetTextureMatrix(1, kRot, kOff, 3, 0);
  }
  if (!UnitFromDds[0]) Render_SetTextureMatrix(0, kModelFlipV, kModelFlipVOffset, 2, 0);
  for (int i = sh.firstSet; i < sh.firstSet + sh.setCount; i++) {
    const MaylSet& set = l->sets[i];
    if (l->objects[set.object].visible || f.p->instanceCount > 0) DrawSet(f, set, reflection);
  }
  Render_SetTextureMatrix(0, kModelIdentity, kModelZero, 0, 0);
  if (reflection) {
    Render_SetTextureMatrix(1, kModelIdentity, kModelZero, 0, 0);
    Render_EndEnvMapStages(1);
    Material_Bind(1, 0, time, 2);
  }
  EndShaderState(mode);
}

MaylKey SpotKey(const MaylLevel* l, double time) {
  MaylKey k;
  Model_BlendKeys(&l->keys[l->spotFirstKey], l->spotKeyCount, l->spotStart, l->spotEnd, time, &k);
  return k;
}

void BeginSpotGl(Frame& f) {
  const MaylLevel* l = f.l;
  double time = f.view->time;
  Render_SelectTexUnit(1);
  static const GLfloat kPlanes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  gl.glTexGenfv(GL_S, GL_EYE_PLANE, kPlanes[0]);
  gl.glTexGenfv(GL_T, GL_EYE_PLANE, kPlanes[1]);
  gl.glTexGenfv(GL_R, GL_EYE_PLANE, kPlanes[2]);
  gl.glTexGenfv(GL_Q, GL_EYE_PLANE, kPlanes[3]);
  UnitModulate(0, true);
  Render_SelectTexUnit(1);
  gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  bool cube = Material_GetTarget(l->spotMaterial, time) == GL_TEXTURE_CUBE_MAP_ARB;
  GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
  GLenum gens[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
  int n = cube ? 3 : 4;
  if (cube) {
    Material_BindCube(1, l->spotMaterial, time, 2);
    Render_SelectTexUnit(1);
    gl.glEnable(GL_TEXTURE_CUBE_MAP_ARB);
  } else {
    Material_Bind(1, l->spotMaterial, time, 2);
    Render_SelectTexUnit(1);
    gl.glEnable(GL_TEXTURE_2D);
    Render_SetTexWrap(1, 0);
  }
  for (int i = 0; i < n; i++) {
    gl.glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
    gl.glEnable(gens[i]);
  }
  gl.glMatrixMode(GL_TEXTURE);
  gl.glLoadIdentity();
  if (!cube) {
    gl.glTranslatef(0.5f, 0.5f, 0);
    gl.glScalef(0.5f, 0.5f, 1);
    gl.glFrustum(-1, 1, -1, 1, 1, 1000);
  }
  MaylKey k = SpotKey(l, time);
  GLfloat m[16] = {k.rot[0], k.rot[1], k.rot[2], 0, k.rot[3], k.rot[4], k.rot[5], 0,
                   k.rot[6], k.rot[7], k.rot[8], 0, k.t[0],   k.t[2],   k.t[1],   1};
  gl.glMultMatrixf(m);
  gl.glMatrixMode(GL_MODELVIEW);
}

void EndSpotGl(const MaylLevel* l, double time) {
  Render_SelectTexUnit(1);
  bool cube = Material_GetTarget(l->spotMaterial, time) == GL_TEXTURE_CUBE_MAP_ARB;
  gl.glDisable(cube ? GL_TEXTURE_CUBE_MAP_ARB : GL_TEXTURE_2D);
  gl.glDisable(GL_TEXTURE_GEN_S);
  gl.glDisable(GL_TEXTURE_GEN_T);
  gl.glDisable(GL_TEXTURE_GEN_R);
  gl.glDisable(GL_TEXTURE_GEN_Q);
  if (!cube) Render_SetTexWrap(1, 1);
  gl.glMatrixMode(GL_TEXTURE);
  gl.glLoadIdentity();
  gl.glMatrixMode(GL_MODELVIEW);
  Material_Bind(1, 0, time, 2);
  UnitModulate(0, true);
}

void BeginSpotD3d(Frame& f) {
  const MaylLevel* l = f.l;
  MaylKey k = SpotKey(l, f.view->time);
  Material_Bind(1, l->spotMaterial, f.view->time, 2);
  Render_SetTexWrap(1, 0);
  // The projector's frame in the camera's: key rotation and (-x, z, y), then the camera.
  mat3 cam, camInv;
  Mat_FromAngles(&cam, &f.view->angles);
  Mat_Inverse(&cam, &camInv);
  float rot[9];
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++) {
      double s = 0;
      for (int i = 0; i < 3; i++) s += double(camInv.m[r][i]) * k.rot[c * 3 + i];
      rot[r * 3 + c] = float(s);
    }
  vec3 t{-k.t[0], k.t[2], k.t[1]}, rel;
  Vec_Subtract(&t, &f.view->position, &rel);
  Render_SetTextureMatrix(1, rot, &rel.x, 3, 1);
  Render_BeginEnvMapStages(3);
}

void EndSpotD3d(double time) {
  Material_Bind(1, 0, time, 2);
  Render_SetTexWrap(1, 1);
  Render_SetTextureMatrix(1, kModelIdentity, kModelZero, 0, 0);
  Render_EndEnvMapStages(3);
}

}  // namespace

void mayb_Draw(ModelObject* model, ModelDrawParams* p, ViewParams* view) {
  if (!Gl() && !D3d()) return;  // no renderer: the game runs on without drawing
  if (render_bump_shadows.value != 0.0f && !Input_KeyDown(0x9D)) return;
  if (!view || (view->pass != 0 && view->pass != 1 && view->pass != 3)) return;
  if (!model || !model->data || !p) return;
  MaylLevel* l = static_cast<MaylLevel*>(model->data);
  l->lightmapsOn = model_draw_lightmap.value != 0.0f;
  l->colorsOn = model_draw_color.value != 0.0f;
  mayb_LoadTextures(l);
  Upload(l);
  int pass = view->pass;
  if (pass == 1 && (!l->spotMaterial || !l->lightmapsOn)) return;
  Frame f{l, p, view, UnitCount(), -1, -1, -1, 0, false};
  double time = view->time;
  if (pass == 1) {
    if (Gl()) BeginSpotGl(f);
    else BeginSpotD3d(f);
  }
  if (p->lightingMode == 3) {
    Render_SetLighting(1);
    Render_EnableLight(0, 1);
    static const float kAmbient[4] = {0.3f, 0.3f, 0.3f, 1}, kDiffuse[4] = {0.7f, 0.7f, 0.7f, 1}, kBlack[4] = {0, 0, 0, 1};
    float pos[4] = {view->position.x, view->position.y, view->position.z, 1};
    Render_SetLight(0, pos, kAmbient, kDiffuse, kBlack);
    if (Gl()) gl.glEnable(GL_COLOR_MATERIAL);
  } else {
    Render_SetLighting(0);
  }
  bool instanced = p->instanceCount > 0 && p->instances;
  if (instanced) Render_PushMatrix();
  else Model_PushInstanceMatrix(p);
  if (Gl() && pass == 0 && l->shaderCount > 0 && strcasecmp(l->shaders[0].name, "video") == 0) {
    f.video = true;
    f.videoTexture = Movie_PlayAvi(l->shaders[0].slots[0].name, 0.0f, 0, &p->position.x);
  }
  Render_SetCull(2);
  if (Gl()) {
    gl.glDisableClientState(GL_COLOR_ARRAY);
    gl.glEnableClientState(GL_VERTEX_ARRAY);
    gl.glEnableClientState(GL_NORMAL_ARRAY);
    if (l->colorsOn) gl.glEnableClientState(GL_COLOR_ARRAY);
    for (int u = 0; u < f.units; u++) {
      Render_SelectClientTexUnit(u);
      gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    Render_SelectClientTexUnit(0);
  }
  if (!instanced) {
    bool compute = pass == 0;
    if (pass == 0) {
      l->mainDraws++;
    } else if (l->mainDraws) {
      l->lastMainDraws = l->mainDraws;
      l->mainDraws = 0;
    }
    if (pass != 0 && l->lastMainDraws > 1) compute = true;
    if (compute) ComputeVisibility(f);
  }
  for (int i = 0; i < l->shaderCount; i++) {
    const MaylShader& sh = l->shaders[i];
    if (l->spotMaterial) {
      if (pass != 1) continue;
    } else if (pass == 1 || (sh.blend == 0) != (pass == 0)) {
      continue;
    }
    if (Gl()) DrawShaderGl(f, i);
    else DrawShaderD3d(f, i);
  }
  if (D3d()) {
    Render_SetVertexBuffer(0, 1);
    Render_SetIndexBuffer(0, 0);
    // Stage 1 gives back the last set's lightmap: models drawn after the level would otherwise
    // be modulated by it (their vertices carry no second coordinate pair, so one texel of it).
    if (pass != 1) Material_Bind(1, 0, time, 2);
  } else if (Gl()) {
    gl.glDisableClientState(GL_VERTEX_ARRAY);
    gl.glDisableClientState(GL_NORMAL_ARRAY);
    gl.glDisableClientState(GL_COLOR_ARRAY);
    for (int u = 0; u < f.units; u++) {
      Render_SelectClientTexUnit(u);
      gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    Render_SelectClientTexUnit(0);
  }
  Render_SetCull(0);
  Render_PopMatrix();
  if (Gl()) gl.glDisable(GL_COLOR_MATERIAL);
  Render_SetLighting(0);
  if (pass == 1) {
    if (Gl()) EndSpotGl(l, time);
    else EndSpotD3d(time);
  }
  if (Gl()) {
    for (int u = f.units - 1; u >= 1; u--) UnitModulate(u, false);
    UnitModulate(0, true);
  }
}
