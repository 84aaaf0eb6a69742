// ".mp" models: drawing one instance (OpenGL and Direct3D 8).
#include <cmath>
#include <cstring>
#include <vector>

#include "foundation/input.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/material.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "scene/model.h"
#include "scene/model_draw.h"
#include "scene/mp.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "world/level.h"

namespace {

constexpr int kStride = int(kMpDrawVertexSize);

bool Gl() { return RenderApi == RENDER_API_OPENGL; }
bool D3d() { return RenderApi == RENDER_API_D3D8; }

// The bind-pose drawing vertices of an object (shape 0 for morph vertices).
void FillStatic(const MpObject& o, uint8_t* out) {
  for (int i = 0; i < o.vertexCount; i++, out += kStride) {
    float v[8];
    if (o.kind == 0) {
      const MpWeightedVertex& w = o.vertices[i];
      float f[8] = {w.pos.x, w.pos.y, w.pos.z, w.normal.x, w.normal.y, w.normal.z, w.u, w.v};
      std::memcpy(v, f, sizeof v);
    } else {
      const MpMorphVertex& w = o.morphVertices[i];
      float f[8] = {w.shapes[0].pos.x,    w.shapes[0].pos.y,    w.shapes[0].pos.z, w.shapes[0].normal.x,
                    w.shapes[0].normal.y, w.shapes[0].normal.z, w.u,               w.v};
      std::memcpy(v, f, sizeof v);
    }
    std::memcpy(out, v, sizeof v);
  }
}

void StaticUpload(MpModel* m) {
  uint32_t generation = OPENGL_GetVarGeneration();
  for (int i = 0; i < m->objectCount; i++) {
    MpObject& o = m->objects[i];
    if (o.vertexCount <= 0) continue;
    if (o.varCopy && o.varGeneration == generation) continue;
    int bytes = o.vertexCount * kStride;
    // Direct3D 8 keeps its vertices in the object's buffer; the copy only fills it.
    o.varCopy = D3d() ? nullptr
                      : static_cast<uint8_t*>(
                            Model_CarveStatic(bytes, &m->loggedVarGeneration, &m->loggedVar, "mp_Draw"));
    if (!o.varCopy) {
      // Vertex-array memory ran out: the object keeps a copy of its own.
      if (!o.ownCopy) o.ownCopy = static_cast<uint8_t*>(Global_Malloc(size_t(bytes), "MPVCOPY"));
      o.varCopy = o.ownCopy;
      if (!o.varCopy) continue;
    }
    o.varGeneration = generation;
    FillStatic(o, o.varCopy);
    if (Gl() && m->staticBuffers && m->staticBuffers[i]) {
      gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, m->staticBuffers[i]);
      gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, bytes, o.varCopy, GL_STATIC_DRAW_ARB);
      gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    } else if (D3d()) {
      Render_FillVertexBuffer(o.d3dVertexBuffer, 0, 0, bytes, o.varCopy);
      if (o.indexCount > 0) Render_FillIndexBuffer(o.d3dIndexBuffer, 0, o.indexCount * 2, o.indices);
    }
  }
  m->uploadPending = 0;
}

void UpdateMorphWeights(MpModel* m, const float* in) {
  bool morph = in[0] != 1.0f || m->morphWeights[0] != 1.0f;
  for (int i = 1; i < kMpMaxShapes && !morph; i++) morph = in[i] != 0.0f || m->morphWeights[i] != 0.0f;
  m->morphing = morph ? 1 : 0;
  if (morph) std::memcpy(m->morphWeights, in, sizeof m->morphWeights);
}

void ResolveFrames(MpModel* m, const Skeleton* skel, const ModelDrawParams* p) {
  if (!skel) {
    for (int i = 0; i < m->frameCount; i++) {
      Mat_Identity(&m->frames[i].rot);
      m->frames[i].pos = vec3{0, 0, 0};
    }
    return;
  }
  bool all = skel->number != m->skeletonNumber;
  m->skeletonNumber = skel->number;
  int bones = skel->boneCount < kModelMaxBones ? skel->boneCount : kModelMaxBones;
  for (int i = 0; i < m->frameCount; i++) {
    MpFrame& f = m->frames[i];
    if (all || f.boneIndex == -2) {
      f.boneIndex = -1;
      for (int b = 0; b < bones; b++)
        if (std::strcmp(skel->bones[b].name, f.bone) == 0) {
          f.boneIndex = b;
          break;
        }
    }
    if (f.boneIndex < 0 || f.boneIndex >= bones) {
      Mat_Identity(&f.rot);
      f.pos = vec3{0, 0, 0};
      continue;
    }
    Mat_Multiply(&f.relRot, &p->boneRotations[f.boneIndex], &f.rot);
    Vec_Transform(&f.relPos, &p->boneRotations[f.boneIndex], &p->bonePositions[f.boneIndex], &f.pos);
  }
}

const float kAmbient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
const float kDiffuse[4] = {0.7f, 0.7f, 0.7f, 1.0f};
const float kBlack[4] = {0, 0, 0, 1};
const float kWhite[4] = {1, 1, 1, 1};

void SetLighting(const MpModel* m, const ModelDrawParams* p, const ViewParams* view) {
  int mode = p->lightingMode;
  if ((mode != 1 && mode != 2) || !m->drawLight) {
    Render_SetLighting(0);
    return;
  }
  float pos[4] = {view->position.x, view->position.y, view->position.z, 0.0f};
  if (mode == 1) {
    if (m->drawColor) {
      pos[3] = 1.0f;
    } else {
      pos[0] -= p->position.x;
      pos[1] -= p->position.y;
      pos[2] -= p->position.z;
    }
  }
  Render_SetLighting(1);
  Render_EnableLight(0, 1);
  Render_SetLight(0, pos, kAmbient, kDiffuse, kBlack);
}

int SubstituteMaterial(const MpSlot& slot, const ModelDrawParams* p) {
  int n = p->texSubstitutionCount;
  if (n > kModelTexSubstitutions) n = kModelTexSubstitutions;
  for (int i = 0; i < n; i++)
    if (slot.hash && p->texSubstitutions[i].hash == slot.hash) return p->texSubstitutions[i].material;
  return slot.material;
}

// Points the OpenGL arrays at drawing vertices (a client pointer, or offsets into a buffer).
void PointArrays(const uint8_t* base, uint32_t buffer) {
  if (buffer) {
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffer);
    base = nullptr;
  }
  gl.glVertexPointer(3, GL_FLOAT, kStride, base);
  gl.glNormalPointer(GL_FLOAT, kStride, base + 12);
  Render_SelectClientTexUnit(0);
  gl.glTexCoordPointer(2, GL_FLOAT, kStride, base + 24);
  if (buffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
}

struct DrawState {
  MpModel* m;
  ModelDrawParams* p;
  ViewParams* view;
  int hasSkeleton;
};

void DrawPie(const DrawState& s, const MpObject& o, const MpPie& pie, bool underFrame) {
  if (pie.indexCount <= 0 && !(pie.stripCount > 0 && s.m->drawDetail)) return;
  if (underFrame) {
    const MpFrame& f = s.m->frames[pie.frame];
    Render_PushMatrix();
    Render_MultMatrix(&f.rot.m[0][0], &f.pos.x);
  }
  if (Gl()) {
    if (pie.stripCount > 0 && s.m->drawDetail)
      gl.glDrawElements(GL_TRIANGLE_STRIP, pie.stripCount, GL_UNSIGNED_SHORT, o.strips + pie.firstStrip);
    else
      gl.glDrawElements(GL_TRIANGLES, pie.indexCount, GL_UNSIGNED_SHORT, o.indices + pie.firstIndex);
  } else {
    Render_DrawIndexedTriangles(o.vertexCount, pie.firstIndex, pie.indexCount / 3);
  }
  if (underFrame) Render_PopMatrix();
  s.view->statDrawCalls += 1;
  s.view->statTriangles += pie.indexCount / 3;
}

bool MorphingPie(const MpModel* m, const MpObject& o, const MpPie& pie) {
  return o.kind != 0 && m->morphing && pie.morphs;
}

void DrawObject(const DrawState& s, int index) {
  MpModel* m = s.m;
  const MpObject& o = m->objects[index];
  if (!o.varCopy) return;
  const MpShader* sh = (o.shader >= 0 && o.shader < m->shaderCount) ? &m->shaders[o.shader] : nullptr;
  int blend = sh ? sh->blend : 0;
  int pass = s.view->pass;
  if ((blend == 0) != (pass == 0)) return;
  Render_SetCull(sh && sh->twoSided ? 0 : 2);
  int diffuse = sh ? SubstituteMaterial(sh->slots[0], s.p) : 0;
  int reflection = sh ? SubstituteMaterial(sh->slots[2], s.p) : 0;
  double time = s.view->time;
  Material_Bind(0, diffuse, time, 2);
  if (Gl()) {
    Render_SelectTexUnit(0);
    gl.glEnable(GL_TEXTURE_2D);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, sh && sh->slots[0].clampU ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, sh && sh->slots[0].clampV ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, pass == 3 ? GL_REPLACE : GL_MODULATE);
  } else {
    Render_SetTexWrap(0, sh && sh->slots[0].clampU && sh->slots[0].clampV ? 0 : 1);
    // Pictures not from ".dds" lie upside down on this back end: v -> 1 - v, as the level does.
    if (!UnitFromDds[0]) Render_SetTextureMatrix(0, kModelFlipV, kModelFlipVOffset, 2, 0);
  }
  if (reflection) {
    if (Gl()) {
      Material_Bind(1, reflection, time, 2);
      Render_SelectTexUnit(1);
      gl.glEnable(GL_TEXTURE_2D);
      gl.glTexGeni(GL_S, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
      gl.glTexGeni(GL_T, GL_TEXTURE_GEN_MODE, GL_SPHERE_MAP);
      gl.glEnable(GL_TEXTURE_GEN_S);
      gl.glEnable(GL_TEXTURE_GEN_T);
      // Diffuse where its alpha is 1, the reflection where it is 0.
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB_ARB, GL_INTERPOLATE_ARB);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB_ARB, GL_PREVIOUS_ARB);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB_ARB, GL_SRC_COLOR);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB_ARB, GL_TEXTURE);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB_ARB, GL_SRC_COLOR);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE2_RGB_ARB, GL_PREVIOUS_ARB);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND2_RGB_ARB, GL_SRC_ALPHA);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA_ARB, GL_REPLACE);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA_ARB, GL_PREVIOUS_ARB);
      gl.glTexEnvf(GL_TEXTURE_ENV, GL_RGB_SCALE_ARB, 1.0f);
      Render_SelectTexUnit(0);
    } else {
      Material_Bind(1, reflection, time, 2);
      Render_BeginEnvMapStages(2);
    }
  }
  int drawBlend = blend;
  bool lit = s.p->lightingMode == 1 || s.p->lightingMode == 2;
  if (Gl() && Game_SpecialFlag == 0) {
    vec3 d;
    Vec_Subtract(&s.view->position, &s.p->position, &d);
    float alpha = Model_FadeAlpha(float(Vec_Length(&d)));
    if (alpha < 1.0f) {
      float fade[4] = {1, 1, 1, alpha};
      gl.glColor4f(1, 1, 1, alpha);  // unlit draws take the current colour
      if (blend == 0) {
        drawBlend = 5;
        Render_SetMaterialColor(fade, fade, kBlack);
      } else if (blend == 1) {
        drawBlend = 6;
        float ambient[4] = {alpha, alpha, alpha, 1};
        Render_SetMaterialColor(kWhite, fade, kBlack);
        Render_SetLighting(1);
        Render_EnableLight(0, 1);
        float pos[4] = {0, 0, 1, 0};
        Render_SetLight(0, pos, ambient, kBlack, kBlack);
      }
    }
  }
  Render_SetBlend(drawBlend);
  if (blend != 0) Render_SetDepthWrite(0);
  if (pass == 3 && blend != 5) Render_SetLighting(0);
  // Phase one: rigid pies from the static copy.
  if (Gl()) PointArrays(o.varCopy, m->staticBuffers ? m->staticBuffers[index] : 0);
  else {
    Render_SetVertexBuffer(o.d3dVertexBuffer, 0);
    Render_SetIndexBuffer(o.d3dIndexBuffer, 0);
  }
  bool anyBlended = false;
  for (int i = 0; i < o.pieCount; i++) {
    const MpPie& pie = o.pies[i];
    if (pie.kind != 1 || MorphingPie(m, o, pie)) {
      anyBlended = true;
      continue;
    }
    DrawPie(s, o, pie, s.hasSkeleton);
  }
  // Phase two: weighted and morphing pies into per-frame vertices.
  if (anyBlended) {
    int bytes = o.vertexCount * kStride;
    uint8_t* dyn = static_cast<uint8_t*>(Model_CarveDynamic(bytes));
    for (int i = 0; i < o.pieCount; i++) {
      const MpPie& pie = o.pies[i];
      if (pie.kind == 1 && !MorphingPie(m, o, pie)) continue;
      uint8_t* out = dyn + size_t(pie.firstVertex) * kStride;
      bool skin = pie.kind != 1;
      if (o.kind == 0) Model_SkinVertices(o.vertices + pie.firstVertex, pie.vertexCount, m->frames, out);
      else Model_MorphVertices(o.morphVertices + pie.firstVertex, pie.vertexCount, m->morphWeights, m->frames, skin, out);
      if (D3d()) Render_FillVertexBuffer(o.d3dVertexBuffer, 0, pie.firstVertex * kStride, pie.vertexCount * kStride, out);
      s.view->statVertices += pie.vertexCount;
    }
    uint32_t stream = m->streamBuffers ? m->streamBuffers[index] : 0;
    if (Gl()) {
      if (stream) {
        gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, stream);
        gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, bytes, dyn, GL_STREAM_DRAW_ARB);
        gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
      }
      PointArrays(dyn, stream);
    }
    for (int i = 0; i < o.pieCount; i++) {
      const MpPie& pie = o.pies[i];
      if (pie.kind == 1 && !MorphingPie(m, o, pie)) continue;
      DrawPie(s, o, pie, pie.kind == 1 && s.hasSkeleton);
    }
  }
  // Restore.
  if (reflection) {
    if (Gl()) {
      Render_SelectTexUnit(1);
      gl.glDisable(GL_TEXTURE_GEN_S);
      gl.glDisable(GL_TEXTURE_GEN_T);
      gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
      gl.glDisable(GL_TEXTURE_2D);
      Material_Bind(1, 0, 0, 2);
    } else {
      Render_EndEnvMapStages(2);
      Material_Bind(1, 0, 0, 2);
    }
  }
  if (Gl()) {
    Render_SelectTexUnit(0);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  }
  if (D3d()) Render_SetTextureMatrix(0, kModelIdentity, kModelZero, 0, 0);
  Render_SetTexWrap(0, 1);
  Render_SetDepthWrite(1);
  Render_SetCull(0);
  Render_SetBlend(0);
  if (lit && m->drawLight) {
    Render_SetLighting(1);
  }
  if (Game_SpecialFlag == 0 && drawBlend != blend) {
    if (Gl()) gl.glColor4f(1, 1, 1, 1);
    Render_SetMaterialColor(kWhite, kWhite, kBlack);
    if (blend == 1) {
      float pos[4] = {s.view->position.x, s.view->position.y, s.view->position.z, 1};
      Render_SetLight(0, pos, kAmbient, kDiffuse, kBlack);
      if (!(lit && m->drawLight)) Render_SetLighting(0);
    }
  }
}

}  // namespace

void mp_Draw(ModelObject* model, ModelDrawParams* p, ViewParams* view) {
  if (!Gl() && !D3d()) return;  // no renderer: the game runs on without drawing
  if (render_bump_shadows.value != 0.0f && !Input_KeyDown(0x9D)) return;
  if (!view || (view->pass != 0 && view->pass != 3)) return;
  if (!model || !model->data || !p) return;
  MpModel* m = static_cast<MpModel*>(model->data);
  m->drawDetail = model_draw_detail.value != 0.0f;
  m->drawColor = model_draw_color.value != 0.0f;
  m->drawLight = model_draw_light.value != 0.0f;
  mp_LoadTextures(m);
  StaticUpload(m);
  UpdateMorphWeights(m, p->drawValues);
  const Skeleton* skel = p->skeleton;
  if (skel && skel->boneCount > kModelMaxBones) skel = nullptr;
  if (view->pass == 0 && skel) {
    const BonePose* a = p->poseA ? p->poseA : skel->bindPose;
    const BonePose* b = p->poseB ? p->poseB : a;
    Skel_BuildMatrices(skel, a, b, view->poseBlend, p->boneRotations, p->bonePositions);
  }
  ResolveFrames(m, skel, p);
  SetLighting(m, p, view);
  Model_PushInstanceMatrix(p);
  if (Gl()) {
    gl.glEnableClientState(GL_VERTEX_ARRAY);
    gl.glEnableClientState(GL_NORMAL_ARRAY);
    Render_SelectClientTexUnit(0);
    gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  DrawState s{m, p, view, skel != nullptr};
  for (int i = 0; i < m->objectCount; i++) DrawObject(s, i);
  if (D3d()) {
    Render_SetVertexBuffer(0, 0);
  } else if (Gl()) {
    gl.glDisableClientState(GL_VERTEX_ARRAY);
    gl.glDisableClientState(GL_NORMAL_ARRAY);
    gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  }
  Render_PopMatrix();
  Render_SetLighting(0);
  if (m->drawColor && m->drawLight) {
    float pos[4] = {view->position.x, view->position.y, view->position.z, 1};
    Render_SetLight(0, pos, kAmbient, kDiffuse, kBlack);
  }
}
