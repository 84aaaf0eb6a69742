// BU models lit per pixel on the R200 and R300 paths: path choice and GPU buffers, vertex
// arrays, the draw dispatch, the depth pass with light gathering, and the light passes.
#include "scene/bu_lighting.h"

#include <strings.h>

#include <cmath>
#include <cstring>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "scene/model.h"
#include "scene/model_draw.h"
#include "scene/skeleton.h"
#include "scene/view.h"

int bu_ShowBounds;

namespace {

bool On(const VarRecord& v) { return v.value != 0.0f; }
bool Gl() { return RenderApi == RENDER_API_OPENGL; }

// Model-space position of a world point for an instance (rotation from its angles).
vec3 ToModel(const vec3& world, const ModelDrawParams* params) {
  mat3 r, inv;
  vec3 origin;
  Mat_FromAngles(&r, &params->angles);
  Mat_InvertTransform(&r, &params->position, &inv, &origin);
  vec3 out;
  Vec_Transform(&world, &inv, &origin, &out);
  return out;
}

void EnvParam(int index, float x, float y, float z, float w) {
  const float v[4] = {x, y, z, w};
  gl.glProgramEnvParameter4fvARB(GL_VERTEX_PROGRAM_ARB, GLuint(index), v);
}

int SurfaceDrawable(const BuModel* model, int surface) {
  const BuHeader* h = model->header;
  if (surface < 0 || surface >= h->objectCount) return 0;
  int s = h->objects[surface].shader;
  if (s < 0 || s >= h->shaderCount) return 0;
  const BuShader& sh = h->shaders[s];
  return sh.blend == 0 && (sh.slots[0].material || sh.slots[1].material);
}

// The bone rows of the surface's bones into parameters 16 + 3k.
void LoadBoneRows(const BuModel* model, const BuObject& obj) {
  float rows[3 * kBuMaxObjectBones][4];
  int n = bu_BoneRows(model, obj, rows);
  for (int r = 0; r < n; ++r) EnvParam(16 + r, rows[r][0], rows[r][1], rows[r][2], rows[r][3]);
}

void DrawSurfaceIndices(const BuModel* model, const BuObject& obj) {
  GLenum mode = obj.stripCount ? GL_TRIANGLE_STRIP : GL_TRIANGLES;
  GLsizei count = obj.stripCount ? obj.stripCount : obj.indexCount;
  const uint16_t* own = obj.stripCount ? obj.strips : obj.indices;
  size_t offset = size_t(obj.firstStrip) * 2;
  if (model->atiIndexBuffer) {
    gl.glArrayObjectATI(GL_ELEMENT_ARRAY_ATI, 1, GL_UNSIGNED_SHORT, 0, model->atiIndexBuffer, GLuint(offset));
    gl.glDrawElementArrayATI(mode, count);
  } else if (model->indexBuffer) {
    gl.glDrawElements(mode, count, GL_UNSIGNED_SHORT, reinterpret_cast<const void*>(offset));
  } else {
    gl.glDrawElements(mode, count, GL_UNSIGNED_SHORT, own);
  }
}

// ---- Vertex arrays ------------------------------------------------------------------------------

struct Attrib {
  int index, size, offset;
};

// Points the attributes at the lit-mesh array (or its buffer) and enables them; returns how many.
int BindArrays(const void* base, uint32_t atiBuffer, uint32_t vbo, int stride, const Attrib* attribs, int count) {
  if (!base) return 0;
  if (!atiBuffer && vbo) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, vbo);
  for (int i = 0; i < count; ++i) {
    const Attrib& a = attribs[i];
    if (atiBuffer)
      gl.glVertexAttribArrayObjectATI(GLuint(a.index), a.size, GL_FLOAT, GL_FALSE, stride, atiBuffer, GLuint(a.offset));
    else
      gl.glVertexAttribPointerARB(GLuint(a.index), a.size, GL_FLOAT, GL_FALSE, stride,
                                  vbo ? reinterpret_cast<const void*>(size_t(a.offset))
                                      : static_cast<const uint8_t*>(base) + a.offset);
    gl.glEnableVertexAttribArrayARB(GLuint(a.index));
  }
  return count;
}

void DisableArrays(const Attrib* attribs, int count) {
  for (int i = 0; i < count; ++i) gl.glDisableVertexAttribArrayARB(GLuint(attribs[i].index));
}

const Attrib kDepthAttribs[] = {{0, 3, 0}, {4, 3, 0}, {5, 4, 64}, {6, 4, 80}};
const Attrib kLightAttribs[] = {{0, 3, 0}, {1, 3, 12}, {2, 3, 24}, {3, 3, 36}, {4, 2, 48}, {5, 4, 64}, {6, 4, 80}};
const Attrib kVolumeAttribs[] = {{0, 4, 0}, {4, 4, 0}, {5, 4, 16}, {6, 4, 32}};

void FillGpuVertex(const BuVertex& v, BuGpuVertex* out) {
  std::memcpy(out->position, v.position, sizeof out->position);
  std::memcpy(out->frame, v.frame, sizeof out->frame);
  std::memcpy(out->tex, v.uv, sizeof out->tex);
  for (int k = 0; k < 4; ++k) {
    out->bones[k] = float(3 * v.influences[k].slot + 16);
    out->weights[k] = v.influences[k].weight;
  }
}

// Vertex-array memory for the model's copies; a refusal is logged and not asked again until the
// memory is made anew.
void* Carve(BuModel* model, int bytes) {
  return Model_CarveStatic(bytes, &model->loggedVarGeneration, &model->loggedVar, "bu_Draw",
                           "the model is not lit");
}

void BuildArrays(BuModel* model, bool ati) {
  BuHeader* h = model ? model->header : nullptr;
  if (!h || h->objectCount <= 0 || model->vertexTotal <= 0 || !Gl()) return;
  const int V = model->vertexTotal;
  const uint32_t generation = OPENGL_GetVarGeneration();
  BuObject& first = h->objects[0];
  if (!first.gpuVertices || first.gpuGeneration != generation) {
    auto* array = static_cast<BuGpuVertex*>(Carve(model, V * int(sizeof(BuGpuVertex))));
    first.gpuVertices = array;
    first.gpuGeneration = generation;
    if (array) {
      for (int o = 0; o < h->objectCount; ++o) {
        const BuObject& obj = h->objects[o];
        for (int i = 0; i < obj.vertexCount; ++i) FillGpuVertex(obj.vertices[i], &array[obj.firstVertex + i]);
      }
      if (ati && model->atiIndexBuffer) {
        for (int o = 0; o < h->objectCount; ++o) {
          const BuObject& obj = h->objects[o];
          int n = obj.stripCount ? obj.stripCount : obj.indexCount;
          gl.glUpdateObjectBufferATI(model->atiIndexBuffer, GLuint(obj.firstStrip * 2), n * 2,
                                     obj.stripCount ? obj.strips : obj.indices, GL_PRESERVE_ATI);
        }
      } else if (model->indexBuffer) {
        gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, model->indexBuffer);
        for (int o = 0; o < h->objectCount; ++o) {
          const BuObject& obj = h->objects[o];
          int n = obj.stripCount ? obj.stripCount : obj.indexCount;
          gl.glBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GLintptrARB(obj.firstStrip * 2), n * 2,
                                obj.stripCount ? obj.strips : obj.indices);
        }
        gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
      }
      if (ati && model->atiVertexBuffer) {
        gl.glUpdateObjectBufferATI(model->atiVertexBuffer, 0, V * 96, array, GL_PRESERVE_ATI);
      } else if (model->vertexBuffer) {
        gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, model->vertexBuffer);
        gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, V * 96, array, GL_STATIC_DRAW_ARB);
        gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
      }
    }
  }
  BuVolume* vol = h->volume;
  if (vol && (!vol->drawVertices || vol->drawGeneration != generation)) {
    auto* array = static_cast<BuVolumeVertex*>(Carve(model, V * 2 * int(sizeof(BuVolumeVertex))));
    vol->drawVertices = array;
    vol->drawGeneration = generation;
    if (array) {
      for (int o = 0; o < h->objectCount; ++o) {
        const BuObject& obj = h->objects[o];
        for (int i = 0; i < obj.vertexCount; ++i) {
          BuGpuVertex g;
          FillGpuVertex(obj.vertices[i], &g);
          for (int w = 0; w < 2; ++w) {
            BuVolumeVertex& out = array[2 * (obj.firstVertex + i) + w];
            std::memcpy(out.position, g.position, sizeof g.position);
            out.position[3] = float(w);
            std::memcpy(out.bones, g.bones, sizeof out.bones);
            std::memcpy(out.weights, g.weights, sizeof out.weights);
          }
        }
      }
      if (ati && model->atiVolumeBuffer) {
        gl.glUpdateObjectBufferATI(model->atiVolumeBuffer, 0, V * 96, array, GL_PRESERVE_ATI);
      } else if (model->volumeBuffer) {
        gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, model->volumeBuffer);
        gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, V * 96, array, GL_STATIC_DRAW_ARB);
        gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
      }
    }
  }
  model->uploadNeeded = 0;
}

// Shared by the depth and light passes: the arrays and index buffers of the lit mesh.
int BindLitMesh(BuModel* model, bool skinned, const Attrib* attribs, int count) {
  const BuHeader* h = model->header;
  const void* base = h->objectCount > 0 ? h->objects[0].gpuVertices : nullptr;
  if (!skinned) count -= 2;  // attributes 5 and 6 stand last
  int bound = BindArrays(base, model->atiVertexBuffer, model->vertexBuffer, 96, attribs, count);
  if (model->atiIndexBuffer) gl.glEnableClientState(GL_ELEMENT_ARRAY_ATI);
  if (model->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, model->indexBuffer);
  return bound;
}

void UnbindLitMesh(BuModel* model, const Attrib* attribs, int bound) {
  if (model->indexBuffer) gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  if (model->vertexBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  if (model->atiIndexBuffer) gl.glDisableClientState(GL_ELEMENT_ARRAY_ATI);
  DisableArrays(attribs, bound);
}

int Skinned(const ModelDrawParams* params) { return params->skeleton != nullptr; }

// The "_4bones" twin of a program for a skinned instance.
int ProgramFor(int program, const ModelDrawParams* params) { return program + Skinned(params); }

}  // namespace

// ---- Pieces shared with the NV passes -----------------------------------------------------------

vec3 bu_ToModel(const vec3& world, const ModelDrawParams* params) { return ToModel(world, params); }
int bu_ObjectDrawable(const BuModel* model, int object) { return SurfaceDrawable(model, object); }
void bu_DrawObjectIndices(const BuModel* model, const BuObject& obj) { DrawSurfaceIndices(model, obj); }

int bu_BoneRows(const BuModel* model, const BuObject& obj, float rows[][4]) {
  const BuHeader* h = model->header;
  int n = 0;
  for (int k = 0; k < obj.boneCount && k < kBuMaxObjectBones; ++k) {
    const BuBone& b = h->bones[obj.bones[k]];
    // Row c: column c of the current rotation and component c of the current position.
    for (int c = 0; c < 3; ++c, ++n) {
      rows[n][0] = b.rotation[c], rows[n][1] = b.rotation[3 + c], rows[n][2] = b.rotation[6 + c];
      rows[n][3] = b.position[c];
    }
  }
  return n;
}

void bu_LightFrameRows(const ModelDrawParams* params, const ViewLight* light, float rows[3][4]) {
  mat3 inst, lightRot, lightInv, m;
  Mat_FromAngles(&inst, &params->angles);
  Mat_FromAngles(&lightRot, &light->angles);
  Mat_Inverse(&lightRot, &lightInv);
  Mat_Multiply(&inst, &lightInv, &m);
  vec3 rel{params->position.x - light->position.x, params->position.y - light->position.y,
           params->position.z - light->position.z}, t;
  Vec_Rotate(&rel, &lightInv, &t);
  const float tv[3] = {t.x, t.y, t.z};
  for (int k = 0; k < 3; ++k) rows[k][0] = m.m[0][k], rows[k][1] = m.m[1][k], rows[k][2] = m.m[2][k], rows[k][3] = tv[k];
}

// ---- Path choice, buffers, release --------------------------------------------------------------

int bu_ChooseLightingPath() {
  const GlExtFlagSet& f = GlExtFlags;
  if (f.ATI_fragment_shader && f.ARB_vertex_program && (On(render_bump_r300) || On(render_bump_r200)))
    return f.ARB_fragment_program && On(render_bump_r300) ? kPathR300 : kPathR200;
  if (f.NV_fragment_program && f.NV_vertex_program && On(render_bump_nv30)) return kPathNV30;
  if (f.NV_texture_env_combine4) {
    if (f.NV_vertex_program && On(render_bump_nv20)) return kPathNV20;
    if (On(render_bump_nv10)) return kPathNV10;
  }
  return kPathNone;
}

void bu_SelectLightingPath(BuModel* model) {
  BuHeader* h = model ? model->header : nullptr;
  if (!h) return;
  int64_t V = 0, I = 0;
  for (int i = 0; i < h->objectCount; ++i) {
    V += h->objects[i].vertexCount;
    I += h->objects[i].stripCount ? h->objects[i].stripCount : h->objects[i].indexCount;
  }
  int path = bu_ChooseLightingPath();
  BuLightingPath = path;
  model->lightingPath = path;
  model->programs = Lighting_BuPathPrograms(path);
  Lighting_AcquirePrograms(model->programs);
  if (path < kPathNV20 || !Gl() || V == 0) return;
  const char* type = render_var_type.text;
  if (path >= kPathR200 && GlExtFlags.ATI_vertex_array_object) {
    GLenum usage = strcasecmp(type, "AGP") == 0 ? GL_DYNAMIC_ATI : strcasecmp(type, "VIDEO") == 0 ? GL_STATIC_ATI : 0;
    if (usage) {
      model->atiVertexBuffer = gl.glNewObjectBufferATI(GLsizei(V * 96), nullptr, usage);
      model->atiVolumeBuffer = gl.glNewObjectBufferATI(GLsizei(V * 96), nullptr, usage);
      if (GlExtFlags.ATI_element_array) model->atiIndexBuffer = gl.glNewObjectBufferATI(GLsizei(I * 2), nullptr, usage);
    }
  }
  if (GlExtFlags.ARB_vertex_buffer_object && strcasecmp(type, "VBO") == 0) {
    struct {
      uint32_t* name;
      GLenum target;
      int64_t bytes;
    } buffers[3] = {{&model->vertexBuffer, GL_ARRAY_BUFFER_ARB, V * 96},
                    {&model->indexBuffer, GL_ELEMENT_ARRAY_BUFFER_ARB, I * 2},
                    {&model->volumeBuffer, GL_ARRAY_BUFFER_ARB, V * 96}};
    for (auto& b : buffers) {
      GLuint name = 0;
      gl.glGenBuffersARB(1, &name);
      if (!name) continue;
      *b.name = name;
      gl.glBindBufferARB(b.target, name);
      gl.glBufferDataARB(b.target, GLsizeiptrARB(b.bytes), nullptr, GL_STATIC_DRAW_ARB);
      gl.glBindBufferARB(b.target, 0);
    }
  }
}

void bu_BuildGpuVertices(BuModel* model) { BuildArrays(model, true); }
void bu_BuildGpuVerticesVbo(BuModel* model) { BuildArrays(model, false); }

void bu_FreeLightingResources(BuModel* model) {
  if (!model) return;
  if (Gl()) {
    for (uint32_t* b : {&model->vertexBuffer, &model->indexBuffer, &model->volumeBuffer})
      if (*b) {
        GLuint name = *b;
        gl.glDeleteBuffersARB(1, &name);
      }
    for (uint32_t* b : {&model->atiVertexBuffer, &model->atiVolumeBuffer, &model->atiIndexBuffer})
      if (*b) gl.glFreeObjectBufferATI(*b);
  }
  model->vertexBuffer = model->indexBuffer = model->volumeBuffer = 0;
  model->atiVertexBuffer = model->atiVolumeBuffer = model->atiIndexBuffer = 0;
  Lighting_ReleasePrograms(model->programs);
  model->programs = 0;
  if (model->instances) {
    for (int i = 0; i < model->instanceCount; ++i)
      if (model->instances[i].facing) Global_Free(model->instances[i].facing);
    Global_Free(model->instances);
  }
  model->instances = nullptr;
  model->instanceCount = model->instanceCapacity = 0;
  if (model->volumeList) Global_Free(model->volumeList);
  model->volumeList = nullptr;
}

BuInstanceState* bu_FindInstanceState(const BuModel* model, const ModelDrawParams* params) {
  if (!model || !params) return nullptr;
  for (int i = 0; i < model->instanceCount; ++i)
    if (model->instances[i].params == params) return &model->instances[i];
  return nullptr;
}

BuInstanceState* bu_InstanceState(BuModel* model, const ModelDrawParams* params, const ViewParams* view) {
  if (!model || !params || !model->header) return nullptr;
  BuInstanceState* s = bu_FindInstanceState(model, params);
  if (view && (view->time != model->instanceTime || (s && s->frame == model->instanceFrame))) {
    ++model->instanceFrame;
    model->instanceTime = view->time;
  }
  if (s) {
    s->frame = model->instanceFrame;
    return s;
  }
  for (int i = 0; i < model->instanceCount && !s; ++i)
    if (model->instances[i].frame != model->instanceFrame) s = &model->instances[i];
  if (!s) {
    if (model->instanceCount == model->instanceCapacity) {
      int capacity = std::max(8, 2 * model->instanceCapacity);
      auto* grown = static_cast<BuInstanceState*>(Global_MallocZero(sizeof(BuInstanceState) * size_t(capacity), "BUINST"));
      if (!grown) return nullptr;
      if (model->instances) {
        std::memcpy(grown, model->instances, sizeof(BuInstanceState) * size_t(model->instanceCount));
        Global_Free(model->instances);
      }
      model->instances = grown;
      model->instanceCapacity = capacity;
    }
    s = &model->instances[model->instanceCount++];
  }
  uint8_t* facing = s->facing;
  *s = BuInstanceState{};
  s->params = params;
  s->frame = model->instanceFrame;
  int triangles = model->header->volumeIndexCount / 3;
  s->facing = facing ? facing : triangles > 0 ? static_cast<uint8_t*>(Global_MallocZero(size_t(triangles), "BUVFRO")) : nullptr;
  if (s->facing) std::memset(s->facing, 0, size_t(triangles));
  return s;
}

// ---- Per-surface draws --------------------------------------------------------------------------

void bu_DrawSurfaceARB(BuModel* model, int surface, ModelDrawParams* params, ViewParams* view) {
  if (!SurfaceDrawable(model, surface)) return;
  const BuObject& obj = model->header->objects[surface];
  if (Skinned(params)) LoadBoneRows(model, obj);
  DrawSurfaceIndices(model, obj);
  view->statDrawCalls++;
  view->statTriangles += obj.indexCount / 3;
  view->statVertices += obj.vertexCount;
}

namespace {

int FlatMaterial() { return Material_Load("textures\\flat"); }

// Lit: normal map (slot 3) on unit 0, colour on unit 2, specular on unit 3. LitFast: normal map on
// unit 0, colour on unit 1, specular on unit 2.
void DrawSurfaceLitAny(BuModel* model, int surface, ModelDrawParams* params, ViewParams* view, bool fast) {
  if (!SurfaceDrawable(model, surface)) return;
  const BuObject& obj = model->header->objects[surface];
  const BuShader& sh = model->header->shaders[obj.shader];
  double t = view->time;
  int colour = On(model_draw_lightmap) ? sh.slots[kBuSlotDiffuse].material : FlatMaterial();
  int normal = sh.slots[kBuSlotNormalMap].material ? sh.slots[kBuSlotNormalMap].material : FlatMaterial();
  Material_Bind(fast ? 2 : 3, sh.slots[kBuSlotSpecular].material, t, 2);
  Material_Bind(fast ? 1 : 2, colour, t, 2);
  Material_Bind(0, normal, t, 2);
  if (Skinned(params)) LoadBoneRows(model, obj);
  DrawSurfaceIndices(model, obj);
  view->statDrawCalls++;
  view->statTriangles += obj.indexCount / 3;
}

}  // namespace

// ---- Depth pass ---------------------------------------------------------------------------------

const float* bu_PosedVolumePoints(const BuModel* model) {
  const BuHeader* h = model ? model->header : nullptr;
  return h && h->volumeVertices ? h->volumeVertices + 4 * int64_t(h->volumeVertexCount) : nullptr;
}

namespace {

// Without a volume mesh (dropped at load) the instance's box comes from its drawing vertices,
// skinned by their influences with the bones' current transforms (a vertex without weights keeps
// its position).
void BoxOfDrawingVertices(const BuHeader* h, float box[6]) {
  for (int o = 0; o < h->objectCount; ++o) {
    const BuObject& obj = h->objects[o];
    for (int i = 0; i < obj.vertexCount; ++i) {
      const BuVertex& v = obj.vertices[i];
      double s[3] = {0, 0, 0};
      bool any = false;
      for (const BuInfluence& in : v.influences) {
        if (in.weight == 0.0f || in.slot < 0 || in.slot >= obj.boneCount) continue;
        const BuBone& b = h->bones[obj.bones[in.slot]];
        for (int c = 0; c < 3; ++c)
          s[c] += double(in.weight) * (double(v.position[0]) * b.rotation[c] + double(v.position[1]) * b.rotation[3 + c] +
                                       double(v.position[2]) * b.rotation[6 + c] + b.position[c]);
        any = true;
      }
      for (int c = 0; c < 3; ++c) {
        float p = any ? float(s[c]) : v.position[c];
        box[c] = std::fmin(box[c], p);
        box[c + 3] = std::fmax(box[c + 3], p);
      }
    }
  }
}

}  // namespace

void bu_PoseVolume(BuModel* model, float box[6]) {
  box[0] = box[1] = box[2] = 1000000.0f;
  box[3] = box[4] = box[5] = -1000000.0f;
  BuHeader* h = model->header;
  if (!h->volumeVertices || !h->volumeRefBones) {
    BoxOfDrawingVertices(h, box);
    return;
  }
  float* posed = h->volumeVertices + 4 * int64_t(h->volumeVertexCount);
  int32_t ref = 0;
  for (int v = 0; v < h->volumeVertexCount; ++v) {
    double s[3] = {0, 0, 0};
    bool any = false;
    for (; ref < h->volumeRefCount && h->volumeRefBones[ref]; ++ref) {
      const BuBone* b = h->volumeRefBones[ref];
      const float* p = h->volumeWeights + 4 * int64_t(ref);
      for (int c = 0; c < 3; ++c)
        s[c] += double(p[0]) * b->rotation[c] + double(p[1]) * b->rotation[3 + c] +
                double(p[2]) * b->rotation[6 + c] + double(p[3]) * b->position[c];
      any = true;
    }
    ++ref;  // the run's end
    const float* file = h->volumeVertices + 4 * int64_t(v);
    for (int c = 0; c < 3; ++c) {
      posed[4 * v + c] = any ? float(s[c]) : file[c];
      box[c] = std::fmin(box[c], posed[4 * v + c]);
      box[c + 3] = std::fmax(box[c + 3], posed[4 * v + c]);
    }
    posed[4 * v + 3] = 1.0f;
  }
}

void bu_GatherLights(BuModel* model, ModelDrawParams* params, ViewParams* view, BuInstanceState* state) {
  state->litCount = 0;
  for (int i = 0; i < view->lightCount && view->lights; ++i) {
    ViewLight& light = view->lights[i];
    if (!(light.radius > 0.0f) || light.litCount >= kLightMaxInstances) continue;
    vec3 local = ToModel(light.position, params);
    if (!du_SphereTouchesBox(state->box, &local, light.radius)) continue;
    light.lit[light.litCount].model = model->owner;
    light.lit[light.litCount].params = params;
    light.litCount++;
    state->litPosition[state->litCount] = local;
    state->lit[state->litCount++] = i;
    if (state->litCount >= kInstanceMaxLights || light.litCount >= kLightMaxInstances) break;
  }
}

void bu_ComputeFacing(BuModel* model, BuInstanceState* state) {
  const BuHeader* h = model->header;
  const float* posed = bu_PosedVolumePoints(model);
  int triangles = h->volumeIndexCount / 3;
  if (!posed || !state->facing) return;
  for (int t = 0; t < triangles; ++t) {
    const float* p[3];
    for (int k = 0; k < 3; ++k) p[k] = posed + 4 * int64_t(h->volumeIndices[3 * t + k]);
    vec3 a{p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
    vec3 b{p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
    vec3 n;
    Vec_Cross(&a, &b, &n);
    vec3 p0{p[0][0], p[0][1], p[0][2]};
    double d = Vec_Dot(&n, &p0);
    uint8_t mask = 0;
    for (int i = 0; i < state->litCount; ++i)
      if (Vec_Dot(&n, &state->litPosition[i]) - d < 0) mask |= uint8_t(1 << i);
    state->facing[t] = mask;
  }
}

int bu_InstanceVisible(const float box[6], const ModelDrawParams* params, const ViewParams* view) {
  mat3 r;
  Mat_FromAngles(&r, &params->angles);
  vec3 eye = ToModel(view->position, params);
  for (int i = 0; i < 6; ++i) {
    const vec3& wn = view->planes[i].normal;
    vec3 n{float(Vec_Dot(&wn, reinterpret_cast<const vec3*>(r.m[0]))), float(Vec_Dot(&wn, reinterpret_cast<const vec3*>(r.m[1]))),
           float(Vec_Dot(&wn, reinterpret_cast<const vec3*>(r.m[2])))};
    double d = Vec_Dot(&n, &eye);
    if (i == 5) d -= params->farDistance != 0.0f ? params->farDistance : view->farDistance;
    vec3 corner{n.x >= 0 ? box[3] : box[0], n.y >= 0 ? box[4] : box[1], n.z >= 0 ? box[5] : box[2]};
    if (Vec_Dot(&n, &corner) - d <= 0) return 0;
  }
  return 1;
}

int bu_PrepareDepthPass(BuModel* model, ModelDrawParams* params, ViewParams* view, BuInstanceState* state) {
  view->statVertices += model->header->volumeVertexCount;
  bu_PoseVolume(model, state->box);
  bu_GatherLights(model, params, view, state);
  if (render_bump_shadows.value > 1.0f) bu_ComputeFacing(model, state);
  state->visible = bu_InstanceVisible(state->box, params, view);
  return state->visible;
}

void bu_DepthPassR200(BuModel* model, ModelDrawParams* params, ViewParams* view) {
  BuInstanceState* state = bu_InstanceState(model, params, view);
  if (!state) return;
  BuHeader* h = model->header;
  if (!bu_PrepareDepthPass(model, params, view, state)) return;
  if (bu_ShowBounds) bu_DrawBounds(model, params, view);

  bool skinned = Skinned(params);
  int bound = BindLitMesh(model, skinned, kDepthAttribs, 4);
  Render_SetBlend(0);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
  for (int unit : {3, 2, 1, 0}) Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
  int c = On(render_bump_clear);
  Render_SetColorMask(c, c, c, 0);
  OPENGL_BindVertexProgramARB(Lighting_Program(ProgramFor(kProgR200Z, params)));
  const float zero[4] = {0, 0, 0, 0};
  if (Lighting_AtiShader(kProgAtiZ)) gl.glSetFragmentShaderConstantATI(GL_CON_0_ATI, zero);
  ATIFS_Bind(Lighting_AtiShader(kProgAtiZ));
  for (int s = 0; s < h->objectCount; ++s) bu_DrawSurfaceARB(model, s, params, view);
  UnbindLitMesh(model, kDepthAttribs, bound);
  ATIFS_Unbind();
  OPENGL_DisableVertexProgramARB();
  Render_SetColorMask(1, 1, 1, 0);
  for (int unit : {3, 2, 1}) Lighting_SetTexTarget(unit, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Material_Bind(0, 0, 0, 2);
  Render_SetBlend(0);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
}

void bu_DrawBounds(BuModel* model, ModelDrawParams* params, ViewParams* view) {
  BuInstanceState* s = bu_FindInstanceState(model, params);
  if (!s || !Gl()) return;
  vec3 forward{};
  Mat_AxesFromAngles(&view->angles, &forward, nullptr, nullptr);
  vec3 eye = ToModel(view->position, params);
  vec3 f = ToModel(vec3{view->position.x + forward.x, view->position.y + forward.y, view->position.z + forward.z}, params);
  vec3 d{f.x - eye.x, f.y - eye.y, f.z - eye.z};
  vec3 near{d.x > 0 ? s->box[0] : s->box[3], d.y > 0 ? s->box[1] : s->box[4], d.z > 0 ? s->box[2] : s->box[5]};
  vec3 rel{near.x - eye.x, near.y - eye.y, near.z - eye.z};
  bool ahead = Vec_Dot(&rel, &d) >= 5.0;
  Material_Bind(0, 0, 0, 2);
  Render_SetDepthTest(0);
  Render_SetDepthWrite(0);
  Render_SetLineWidth(2);
  for (int e = 0; e < 12; ++e) {
    int axis = e / 4, a = e % 4;
    ImmVertex v[2];
    for (int k = 0; k < 2; ++k) {
      int bits[3];
      bits[axis] = k;
      bits[(axis + 1) % 3] = a & 1;
      bits[(axis + 2) % 3] = a >> 1;
      v[k] = ImmVertex{s->box[bits[0] ? 3 : 0], s->box[bits[1] ? 4 : 1], s->box[bits[2] ? 5 : 2],
                       uint8_t(ahead ? 0 : 255), uint8_t(ahead ? 0 : 255), 255, 255, 0, 0};
    }
    Render_DrawLine(&v[0], &v[1]);
  }
  Render_SetLineWidth(1);
  Render_SetDepthTest(1);
  Render_SetDepthWrite(1);
}

// ---- Light passes -------------------------------------------------------------------------------

namespace {

enum LightMember { kFastest, kFast, kFull, kR300 };

void LightPass(BuModel* model, ModelDrawParams* params, ViewParams* view, ViewLight* light, LightMember member) {
  BuInstanceState* state = bu_FindInstanceState(model, params);
  if (!state || !state->visible || !light || !(light->radius > 0.0f)) return;
  BuHeader* h = model->header;
  bool skinned = Skinned(params);
  int bound = BindLitMesh(model, skinned, kLightAttribs, 7);
  if (On(render_bump_attenuation))
    Render_SetBlend(member == kR300 ? 7 : 6);
  else
    Render_SetBlend(1);
  Render_SetCull(2);
  gl.glDisable(GL_ALPHA_TEST);
  Render_SetDepthWrite(0);

  vec3 L = ToModel(light->position, params);
  vec3 E = ToModel(view->position, params);
  float frame[3][4];
  bu_LightFrameRows(params, light, frame);

  static const int kPrograms[] = {kProgR200LightFastest, kProgR200LightFast, kProgR200Light, kProgR300Light};
  OPENGL_BindVertexProgramARB(Lighting_Program(ProgramFor(kPrograms[member], params)));
  EnvParam(8, L.x, L.y, L.z, 1.0f / light->radius);
  EnvParam(9, E.x, E.y, E.z, member <= kFast ? 0.5f : 1.0f);
  if (member != kFastest) EnvParam(10, light->colour[0], light->colour[1], light->colour[2], 1.0f);
  if (member != kFull)
    for (int k = 0; k < 3; ++k) EnvParam(11 + k, frame[k][0], frame[k][1], frame[k][2], frame[k][3]);
  if (member == kFastest) {
    const float c0[4] = {light->colour[0], light->colour[1], light->colour[2], 0.75f};
    if (Lighting_AtiShader(kProgAtiLightFastest)) gl.glSetFragmentShaderConstantATI(GL_CON_0_ATI, c0);
  }
  static const int kShaders[] = {kProgAtiLightFastest, kProgAtiLightFast, kProgAtiLight};
  if (member == kR300)
    OPENGL_BindFragmentProgramARB(Lighting_Program(kProgR300Fragment));
  else
    ATIFS_Bind(Lighting_AtiShader(kShaders[member]));

  double time = view->time;
  // The normalization cube is filtered without mipmaps: across a face seam the derivatives would
  // pick a coarse level of shortened, averaged directions.
  int normalization = Material_Load("textures\\normalization");
  int cubeUnits[2] = {-1, -1};  // units holding cube maps
  switch (member) {
    case kFastest:
      Material_BindCube(4, light->cubeMaterial, time, 2);
      cubeUnits[0] = 4;
      break;
    case kFast:
      Material_BindCube(5, light->cubeMaterial, time, 2);
      Material_BindCube(4, normalization, time, 1);
      cubeUnits[0] = 5, cubeUnits[1] = 4;
      break;
    case kFull:
      Material_BindCube(1, normalization, time, 1);
      Material_BindCube(4, normalization, time, 1);
      cubeUnits[0] = 1, cubeUnits[1] = 4;
      break;
    case kR300:
      Material_BindCube(4, light->cubeMaterial, time, 2);
      Material_BindCube(3, normalization, time, 1);
      cubeUnits[0] = 4, cubeUnits[1] = 3;
      break;
  }
  for (int u : cubeUnits)
    if (u >= 0) {
      Lighting_SetTexTarget(u, GL_TEXTURE_2D, false);
      Lighting_SetTexTarget(u, GL_TEXTURE_CUBE_MAP_ARB, true);
    }
  if (member <= kFast)
    for (int u : {2, 1, 0}) Material_Bind(u, FlatMaterial(), time, 2);
  static const int kFastUnits[3] = {2, 1, 0}, kFullUnits[3] = {3, 2, 0};
  const int* units2D = member == kFull ? kFullUnits : kFastUnits;
  for (int i = 0; i < 3; ++i) Lighting_SetTexTarget(units2D[i], GL_TEXTURE_2D, true);

  for (int s = 0; s < h->objectCount; ++s) DrawSurfaceLitAny(model, s, params, view, member != kFull);

  Render_SetBlend(0);
  for (int u : cubeUnits)
    if (u >= 0) {
      Material_BindCube(u, 0, 0, 2);
      Lighting_SetTexTarget(u, GL_TEXTURE_CUBE_MAP_ARB, false);
    }
  for (int i = 0; i < 3; ++i) {
    Material_Bind(units2D[i], 0, 0, 2);
    Lighting_SetTexTarget(units2D[i], GL_TEXTURE_2D, false);
  }
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Material_Bind(0, 0, 0, 2);
  if (member == kR300)
    OPENGL_DisableFragmentProgramARB();
  else
    ATIFS_Unbind();
  UnbindLitMesh(model, kLightAttribs, bound);
  OPENGL_DisableVertexProgramARB();
  Render_SetCull(2);
  gl.glEnable(GL_ALPHA_TEST);
  Render_SetDepthWrite(1);
}

}  // namespace

void bu_LightPassR200(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) { LightPass(m, p, v, l, kFull); }
void bu_LightPassR200Fast(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) { LightPass(m, p, v, l, kFast); }
void bu_LightPassR200Fastest(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) {
  LightPass(m, p, v, l, kFastest);
}
void bu_LightPassR300(BuModel* m, ModelDrawParams* p, ViewParams* v, ViewLight* l) { LightPass(m, p, v, l, kR300); }

// ---- Shadow volumes -----------------------------------------------------------------------------

int bu_VolumeListCapacity(const BuModel* model) {
  int most = 0;
  for (int i = 0; model && model->header && i < model->header->objectCount; ++i)
    most = std::max(most, model->header->objects[i].indexCount / 3);
  return 24 * most;
}

int bu_VolumeZPass(const float box[6], const vec3* light, const vec3* eye, const vec3* forward) {
  vec3 p{forward->x > 0 ? box[0] : box[3], forward->y > 0 ? box[1] : box[4], forward->z > 0 ? box[2] : box[5]};
  vec3 lp{light->x - p.x, light->y - p.y, light->z - p.z}, ep{eye->x - p.x, eye->y - p.y, eye->z - p.z};
  return Vec_Dot(&lp, forward) <= -5.0 && Vec_Dot(&ep, forward) <= -5.0;
}

int bu_BuildVolumeList(const BuModel* model, int object, const uint8_t* facing, int bit, int zFail,
                       int visible, uint16_t* out) {
  const BuHeader* h = model->header;
  const BuVolume* vol = h ? h->volume : nullptr;
  if (!vol || !facing || object < 0 || object >= h->objectCount) return 0;
  const BuObject& obj = h->objects[object];
  const int triangles = obj.indexCount / 3;
  const uint16_t* block = vol->indices + 24 * int64_t(obj.firstTriangle);
  int n = 0;
  if (zFail)
    for (int i = 0; i < triangles; ++i) {
      if (!(facing[obj.firstTriangle + i] & bit)) continue;
      const uint16_t* cap = block + 6 * i;
      for (int k = visible ? 0 : 3; k < 6; ++k) out[n++] = cap[k];
    }
  for (int e = 0; e < obj.quadCount; ++e) {
    const BuEdge& edge = vol->edges[obj.firstEdge + e];
    const uint16_t* q = block + 6 * triangles + 6 * e;
    bool a = facing[edge.triangle] & bit;
    bool b = edge.neighbour >= 0 && (facing[edge.neighbour] & bit);
    if (edge.neighbour < 0 ? !a : a == b) continue;
    if (a) {
      for (int k = 0; k < 6; ++k) out[n++] = q[k];
    } else {
      const uint16_t r[6] = {q[1], q[0], q[2], q[3], q[5], q[4]};
      for (int k = 0; k < 6; ++k) out[n++] = r[k];
    }
  }
  return n;
}

namespace {

// The volume list of each object drawn with wrapping stencil counts: the ARB family's bone rows
// and separate stencil, or the NV family's bone rows, two-sided stencil and depth clamp.
void StencilVolume(BuModel* model, ModelDrawParams* params, ViewParams* view, int light, bool nv) {
  BuInstanceState* state = bu_FindInstanceState(model, params);
  Lighting_BeginVolumeStencil();
  int slot = -1;
  for (int i = 0; state && i < state->litCount; ++i)
    if (state->lit[i] == light) slot = i;
  const BuHeader* h = model->header;
  int capacity = bu_VolumeListCapacity(model);
  if (slot >= 0 && !model->volumeList && capacity > 0)
    model->volumeList = static_cast<uint16_t*>(Global_Malloc(size_t(capacity) * 2, "BUVLIST"));
  if (slot >= 0 && model->volumeList) {
    vec3 eye = ToModel(view->position, params);
    vec3 ahead;
    Mat_AxesFromAngles(&view->angles, &ahead, nullptr, nullptr);
    vec3 tip = ToModel(vec3{view->position.x + ahead.x, view->position.y + ahead.y, view->position.z + ahead.z}, params);
    vec3 forward{tip.x - eye.x, tip.y - eye.y, tip.z - eye.z};
    const vec3& L = state->litPosition[slot];
    int zFail = !bu_VolumeZPass(state->box, &L, &eye, &forward);
    const GLenum incr = GL_INCR_WRAP_EXT, decr = GL_DECR_WRAP_EXT;
    for (int o = 0; o < h->objectCount; ++o) {
      const BuObject& obj = h->objects[o];
      if (Skinned(params)) {
        if (nv)
          bu_LoadBoneRowsNV(model, obj);
        else
          LoadBoneRows(model, obj);
      }
      int n = bu_BuildVolumeList(model, o, state->facing, 1 << slot, zFail, state->visible, model->volumeList);
      if (n == 0) continue;
      const GLenum backOps[3] = {GL_KEEP, zFail ? incr : GL_KEEP, zFail ? GL_KEEP : decr};
      const GLenum frontOps[3] = {GL_KEEP, zFail ? decr : GL_KEEP, zFail ? GL_KEEP : incr};
      if (nv && GlExtFlags.EXT_stencil_two_side) {
        Render_SetCull(0);
        gl.glEnable(GL_STENCIL_TEST_TWO_SIDE_EXT);
        for (GLenum face : {GL_BACK, GL_FRONT}) {
          const GLenum* ops = face == GL_BACK ? backOps : frontOps;
          gl.glActiveStencilFaceEXT(face);
          gl.glStencilOp(ops[0], ops[1], ops[2]);
          gl.glStencilMask(~0u);
          gl.glStencilFunc(GL_ALWAYS, 0, ~0u);
        }
        gl.glDrawElements(GL_TRIANGLES, n, GL_UNSIGNED_SHORT, model->volumeList);
        gl.glDisable(GL_STENCIL_TEST_TWO_SIDE_EXT);
        view->statDrawCalls++;
        view->statTriangles += n / 3;
      } else if (!nv && GlExtFlags.ATI_separate_stencil) {
        Render_SetCull(0);
        if (zFail) {
          gl.glStencilOpSeparateATI(GL_BACK, GL_KEEP, incr, GL_KEEP);
          gl.glStencilOpSeparateATI(GL_FRONT, GL_KEEP, decr, GL_KEEP);
        } else {
          gl.glStencilOpSeparateATI(GL_BACK, GL_KEEP, GL_KEEP, decr);
          gl.glStencilOpSeparateATI(GL_FRONT, GL_KEEP, GL_KEEP, incr);
        }
        gl.glStencilMask(~0u);
        gl.glStencilFunc(GL_ALWAYS, 0, ~0u);
        gl.glDrawElements(GL_TRIANGLES, n, GL_UNSIGNED_SHORT, model->volumeList);
        view->statDrawCalls++;
        view->statTriangles += n / 3;
      } else {
        // Depth clamp on the NV family only, and only when the setting asks for exactly 2.
        const bool clamp = nv && GlExtFlags.NV_depth_clamp && render_bump_shadows.value == 2.0f;
        if (clamp) gl.glEnable(GL_DEPTH_CLAMP_NV);
        Render_SetCull(2);
        gl.glStencilOp(backOps[0], backOps[1], backOps[2]);
        gl.glDrawElements(GL_TRIANGLES, n, GL_UNSIGNED_SHORT, model->volumeList);
        Render_SetCull(1);
        gl.glStencilOp(frontOps[0], frontOps[1], frontOps[2]);
        gl.glDrawElements(GL_TRIANGLES, n, GL_UNSIGNED_SHORT, model->volumeList);
        if (clamp) gl.glDisable(GL_DEPTH_CLAMP_NV);
        view->statDrawCalls += 2;
        view->statTriangles += 2 * (n / 3);
      }
    }
  }
  Lighting_EndVolumeStencil();
}

}  // namespace

void bu_StencilVolumeARB(BuModel* model, ModelDrawParams* params, ViewParams* view, int light) {
  StencilVolume(model, params, view, light, false);
}
void bu_StencilVolumeNV(BuModel* model, ModelDrawParams* params, ViewParams* view, int light) {
  StencilVolume(model, params, view, light, true);
}

void bu_DrawVolumeARB(BuModel* model, ModelDrawParams* params, ViewParams* view, int light) {
  if (render_bump_shadows.value < 2.0f || light < 0 || light >= view->lightCount) return;
  const ViewLight& l = view->lights[light];
  if (!(l.radius > 0.0f)) return;
  vec3 L = ToModel(l.position, params);
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, false);
  Render_SetBlend(0);
  bool skinned = Skinned(params);
  BuVolume* vol = model->header->volume;
  const void* base = vol ? vol->drawVertices : nullptr;
  int count = skinned ? 4 : 2;
  int bound = BindArrays(base, model->atiVolumeBuffer, model->volumeBuffer, 48, kVolumeAttribs, count);
  OPENGL_BindVertexProgramARB(Lighting_Program(ProgramFor(kProgR200Volume, params)));
  EnvParam(8, L.x, L.y, L.z, 1.0f);
  EnvParam(10, l.radius, l.radius, l.radius, 1.0f);
  EnvParam(13, 0.0078125f, 0.0078125f, 0.0078125f, 1.0f);
  if (base) bu_StencilVolumeARB(model, params, view, light);
  if (model->volumeBuffer) gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  OPENGL_DisableVertexProgramARB();
  DisableArrays(kVolumeAttribs, bound);
  Lighting_SetTexTarget(1, GL_TEXTURE_2D, false);
  Lighting_SetTexTarget(0, GL_TEXTURE_2D, true);
  Render_SetCull(0);
}

// ---- The draw slot ------------------------------------------------------------------------------

void bu_Draw(ModelObject* object, ModelDrawParams* params, ViewParams* view) {
  if (!view || !params || (view->pass >= 1 && view->pass <= 3) || view->pass < 0) return;
  if (!view->lights || view->lightCount <= 0 || !Gl() || render_bump_shadows.value == 0.0f) return;
  BuModel* model = object ? static_cast<BuModel*>(object->data) : nullptr;
  if (!model || !model->header) return;
  int light = view->pass >= 4 ? (view->pass - 4) / 2 : -1;
  if (light >= view->lightCount) return;
  BuHeader* h = model->header;
  const int path = model->lightingPath;

  bu_RefreshMaterials(model);
  if (path == kPathR200 || path == kPathR300)
    bu_BuildGpuVertices(model);
  else if (path == kPathNV20 || path == kPathNV30)
    bu_BuildGpuVerticesVbo(model);

  bool changed = params->drawValues[0] != 1.0f || model->drawValues[0] != 1.0f;
  for (int i = 1; i < 16 && !changed; ++i) changed = params->drawValues[i] != 0.0f || model->drawValues[i] != 0.0f;
  model->drawValuesDiffer = changed;
  if (changed) std::memcpy(model->drawValues, params->drawValues, sizeof model->drawValues);

  Skeleton* skel = params->skeleton;
  if (skel && view->pass == 0)
    Skel_BuildMatrices(skel, params->poseA, params->poseB, view->poseBlend, params->boneRotations, params->bonePositions);
  if (skel) bu_BindBones(model, skel);
  // Current bone transforms: the bind transform (from the model's space into the bone's) followed
  // by the instance's posed bone, identity for a bone the skeleton lacks; a rigid instance leaves
  // every bone at the identity.
  const int boneLimit = skel ? std::min(skel->boneCount, kModelMaxBones) : 0;
  for (int i = 0; i < h->boneCount; ++i) {
    BuBone& b = h->bones[i];
    mat3 current;
    vec3 position{0, 0, 0};
    if (!skel) {
      Mat_Identity(&current);
    } else {
      mat3 bind, R;
      vec3 P{0, 0, 0};
      Mat_Identity(&R);
      if (b.skelBone >= 0 && b.skelBone < boneLimit) {
        R = params->boneRotations[b.skelBone];
        P = params->bonePositions[b.skelBone];
      }
      std::memcpy(bind.m, b.bindRotation, sizeof bind.m);
      const vec3 bindPosition{b.bindPosition[0], b.bindPosition[1], b.bindPosition[2]};
      Mat_Multiply(&bind, &R, &current);
      Vec_Transform(&bindPosition, &R, &P, &position);
    }
    std::memcpy(b.rotation, current.m, sizeof b.rotation);
    b.position[0] = position.x, b.position[1] = position.y, b.position[2] = position.z;
  }

  gl.glMatrixMode(GL_MODELVIEW);
  Model_PushInstanceMatrix(params);
  uint32_t fog = RenderFogWanted;
  RenderFogWanted = 0;
  Render_SetBlend(1);
  Render_SetBlend(0);

  const bool shadows = render_bump_shadows.value > 1.0f;
  if (path == kPathR200 || path == kPathR300) {
    if (view->pass == 0) {
      bu_DepthPassR200(model, params, view);
    } else if (view->pass % 2 == 1) {
      if (shadows) Lighting_BeginLitStencil();
      ViewLight* l = &view->lights[light];
      float fast = render_bump_fast.value;
      if (path == kPathR300)
        bu_LightPassR300(model, params, view, l);
      else if (fast == 2.0f)
        bu_LightPassR200Fastest(model, params, view, l);
      else if (fast == 1.0f)
        bu_LightPassR200Fast(model, params, view, l);
      else
        bu_LightPassR200(model, params, view, l);
      if (shadows) gl.glDisable(GL_STENCIL_TEST);
    } else if (shadows) {
      bu_DrawVolumeARB(model, params, view, light);
    }
  } else if (path == kPathNV20 || path == kPathNV30) {
    if (view->pass == 0) {
      bu_DrawDepthNV(model, params, view);
    } else if (view->pass % 2 == 0) {
      if (path == kPathNV20 && light == 0 && On(render_bump_reflect)) bu_DrawReflectNV20(model, params, view);
      if (shadows) bu_DrawVolumeNV(model, params, view, light);
    } else {
      if (shadows) Lighting_BeginLitStencil();
      ViewLight* l = &view->lights[light];
      if (path == kPathNV30) {
        bu_DrawLightNV30(model, params, view, l);
      } else if (On(render_bump_fast)) {
        bu_DrawFastNV20(model, params, view, l);
      } else {
        if (On(render_bump_attenuation)) bu_DrawAttenuationNV20(model, params, view, l);
        if (On(render_bump_diffuse)) bu_DrawDiffuseNV20(model, params, view, l);
        if (On(render_bump_specular)) bu_DrawSpecularNV20(model, params, view, l);
      }
      if (shadows) gl.glDisable(GL_STENCIL_TEST);
    }
  }

  RenderFogWanted = fog;
  Render_SetBlend(1);
  Render_SetBlend(0);
  gl.glMatrixMode(GL_MODELVIEW);
  gl.glPopMatrix();
}
