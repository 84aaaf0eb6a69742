// DU levels on the GPU: the lighting path, the programs taken from the shared table, the buffers
// and the vertex copies in GPU layout.
#include <strings.h>

#include <cstring>

#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/render.h"
#include "render/vertexarray.h"
#include "scene/model_draw.h"
#include "scene/du_lighting.h"

DuShaderSet DuShaders;

namespace {

bool On(const VarRecord& v) { return v.value != 0.0f; }
bool Gl() { return RenderApi == RENDER_API_OPENGL; }
constexpr LightProgramSet Bit(int p) { return LightProgramSet(1) << p; }

template <typename Fn>
void ForEachSurface(DuLevel* level, Fn fn) {
  DuHeader* h = level->header;
  for (int m = 0; h->models && m < h->modelCount; ++m)
    for (int s = 0; h->models[m].surfaces && s < h->models[m].surfaceCount; ++s) fn(h->models[m].surfaces[s]);
}

uint32_t NewArbBuffer(GLenum target, int64_t bytes) {
  GLuint name = 0;
  gl.glGenBuffersARB(1, &name);
  if (!name) return 0;
  gl.glBindBufferARB(target, name);
  gl.glBufferDataARB(target, GLsizeiptrARB(bytes), nullptr, GL_STATIC_DRAW_ARB);
  gl.glBindBufferARB(target, 0);
  return name;
}

void DeleteArbBuffer(uint32_t* name) {
  if (*name && Gl()) {
    GLuint n = *name;
    gl.glDeleteBuffersARB(1, &n);
  }
  *name = 0;
}

void FreeAtiObject(uint32_t* name) {
  if (*name && Gl()) gl.glFreeObjectBufferATI(*name);
  *name = 0;
}

// A fresh vertex-array-memory copy of `count` vertices in GPU layout; null when it does not fit.
DuVertex* CopyVertices(const DuVertex* from, int count, DuVertex* to) {
  if (!to) return nullptr;
  for (int i = 0; i < count; ++i) du_GpuVertex(from[i], &to[i]);
  return to;
}

void UploadIndices(DuLevel* level, const DuSurface& s, bool ati) {
  if (s.indexCount <= 0) return;
  if (level->indexBuffer) {
    gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, level->indexBuffer);
    gl.glBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GLintptrARB(s.firstIndex) * 2, s.indexCount * 2, s.indices);
    gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
  }
  if (ati && level->atiIndexObject)
    gl.glUpdateObjectBufferATI(level->atiIndexObject, GLuint(s.firstIndex * 2), s.indexCount * 2, s.indices,
                               GL_PRESERVE_ATI);
}

// Vertex-array memory for the level's copies; a refusal is logged and not asked again until the
// memory is made anew.
void* Carve(DuLevel* level, int bytes) {
  return Model_CarveStatic(bytes, &level->loggedVarGeneration, &level->loggedVar, "du_Draw",
                           "the level is not drawn");
}

void Upload(DuLevel* level, bool ati) {
  if (!level || !level->header || !Gl()) return;
  const uint32_t generation = OPENGL_GetVarGeneration();
  if (!level->surfaceRelative) {
    if (!level->gpuVertices || level->gpuGeneration != generation) {
      const int V = level->vertexTotal;
      auto* copy = static_cast<DuVertex*>(V > 0 ? Carve(level, V * kDuVertexSize) : nullptr);
      level->gpuVertices = copy;
      if (copy) {
        level->gpuGeneration = generation;
        ForEachSurface(level, [&](DuSurface& s) {
          CopyVertices(s.vertices, s.vertexCount, copy + s.firstVertex);
          UploadIndices(level, s, ati);
        });
        if (ati && level->atiVertexObject)
          gl.glUpdateObjectBufferATI(level->atiVertexObject, 0, V * kDuVertexSize, copy, GL_PRESERVE_ATI);
        if (level->vertexBuffer) {
          gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, level->vertexBuffer);
          gl.glBufferSubDataARB(GL_ARRAY_BUFFER_ARB, 0, V * kDuVertexSize, copy);
          gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
        }
      }
    }
  } else {
    ForEachSurface(level, [&](DuSurface& s) {
      if (s.gpuVertices && s.gpuGeneration == generation) return;
      s.gpuVertices = CopyVertices(s.vertices, s.vertexCount,
                                   static_cast<DuVertex*>(Carve(level, s.vertexCount * kDuVertexSize)));
      if (!s.gpuVertices) return;
      s.gpuGeneration = generation;
      if (ati && s.atiVertexObject)
        gl.glUpdateObjectBufferATI(s.atiVertexObject, 0, s.vertexCount * kDuVertexSize, s.gpuVertices,
                                   GL_PRESERVE_ATI);
      UploadIndices(level, s, ati);
    });
  }
  level->uploadNeeded = 0;
}

}  // namespace

void du_GpuVertex(const DuVertex& in, DuVertex* out) {
  *out = in;
  out->uv0[1] = 1.0f - in.uv0[1];
  out->uv1[1] = 1.0f - in.uv1[1];
}

int du_ChooseLightingPath() {
  const GlExtFlagSet& f = GlExtFlags;
  if (f.ATI_fragment_shader && f.ARB_vertex_program && (On(render_bump_r300) || On(render_bump_r200)))
    return f.ARB_fragment_program && On(render_bump_r300) ? kPathR300 : kPathR200;
  if (f.NV_fragment_program && f.NV_vertex_program && On(render_bump_nv30)) return kPathNV30;
  if (f.NV_texture_shader && f.NV_vertex_program && On(render_bump_nv20)) return kPathNV20;
  if (f.NV_texture_env_combine4 && On(render_bump_nv10)) return kPathNV10;
  return kPathNone;
}

LightProgramSet Lighting_DuPathPrograms(int path) {
  const LightProgramSet ati = Bit(kProgAtiZ) | Bit(kProgAtiLight) | Bit(kProgAtiLightFast) | Bit(kProgAtiLightFastest);
  const LightProgramSet arb = Bit(kProgR200Z) | Bit(kProgR200Mul) | Bit(kProgR200Volume);
  const LightProgramSet nv = Bit(kProgNV20Z) | Bit(kProgNV20Mul) | Bit(kProgNV20Volume) | Bit(kProgNV20Reflect);
  switch (path) {
    case kPathR300: return arb | ati | Bit(kProgR300Fragment) | Bit(kProgR300Light);
    case kPathR200: return arb | ati | Bit(kProgR200Light) | Bit(kProgR200LightFast) | Bit(kProgR200LightFastest);
    case kPathNV30: return nv | Bit(kProgNV30Fragment) | Bit(kProgNV30);
    case kPathNV20:
      return nv | Bit(kProgNV20Attenuation) | Bit(kProgNV20Diffuse) | Bit(kProgNV20Specular) |
             Bit(kProgNV20DiffuseSpecular);
    default: return 0;
  }
}

void du_InitLighting(DuLevel* level) {
  if (!level || !level->header) return;
  level->cameraArea = -1;
  const int path = Gl() ? du_ChooseLightingPath() : kPathNone;
  level->lightPath = DuLightPath = path;
  if (path < kPathNV20) return;
  level->programs = Lighting_DuPathPrograms(path);
  Lighting_AcquirePrograms(level->programs);
  DuShaders = {level->programs, path};
  const char* type = render_var_type.text;
  const int64_t V = level->vertexTotal, I = level->indexTotal;
  if (path >= kPathR200 && GlExtFlags.ATI_vertex_array_object) {
    GLenum usage = strcasecmp(type, "AGP") == 0 ? GL_DYNAMIC_ATI : strcasecmp(type, "VIDEO") == 0 ? GL_STATIC_ATI : 0;
    if (usage) {
      if (!level->surfaceRelative) {
        if (V > 0) level->atiVertexObject = gl.glNewObjectBufferATI(GLsizei(V * kDuVertexSize), nullptr, usage);
      } else {
        ForEachSurface(level, [&](DuSurface& s) {
          if (s.vertexCount > 0)
            s.atiVertexObject = gl.glNewObjectBufferATI(GLsizei(s.vertexCount * kDuVertexSize), nullptr, usage);
        });
      }
      if (GlExtFlags.ATI_element_array && I > 0)
        level->atiIndexObject = gl.glNewObjectBufferATI(GLsizei(I * 2), nullptr, usage);
    }
  }
  if (GlExtFlags.ARB_vertex_buffer_object && strcasecmp(type, "VBO") == 0) {
    if (!level->surfaceRelative && V > 0) level->vertexBuffer = NewArbBuffer(GL_ARRAY_BUFFER_ARB, V * kDuVertexSize);
    if (I > 0) level->indexBuffer = NewArbBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, I * 2);
    level->dynamicIndexBuffer = NewArbBuffer(GL_ELEMENT_ARRAY_BUFFER_ARB, int64_t(kDuDynamicIndices) * 2);
  }
}

void du_UploadVerticesNV(DuLevel* level) { Upload(level, false); }
void du_UploadVerticesATI(DuLevel* level) { Upload(level, true); }

void du_FreeShaders(DuLevel* level) {
  if (!level) return;
  DeleteArbBuffer(&level->dynamicIndexBuffer);
  DeleteArbBuffer(&level->vertexBuffer);
  DeleteArbBuffer(&level->indexBuffer);
  FreeAtiObject(&level->atiVertexObject);
  FreeAtiObject(&level->atiIndexObject);
  if (level->header) ForEachSurface(level, [](DuSurface& s) { FreeAtiObject(&s.atiVertexObject); });
  if (level->programs) {
    Lighting_ReleasePrograms(level->programs);
    if (DuShaders.programs == level->programs) DuShaders = {};
  }
  level->programs = 0;
  level->lightIndexFill = 0;
}

void du_FreeLighting(DuLevel* level) {
  if (!level) return;
  if (level->header)
    for (int i = 0; i < kDuLightSlots; ++i) du_FreeLightSlot(level, i);
  du_FreeShaders(level);
}
