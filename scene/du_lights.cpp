// The lights' interaction lists of a DU level: per light slot, the lit triangles of every surface
// its sphere reaches, built once per light key and kept until another key takes the slot.
#include <cstring>

#include "foundation/mem.h"
#include "platform/gl_dispatch.h"
#include "render/render.h"
#include "scene/du_lighting.h"

namespace {

int SurfaceTotal(const DuHeader* h) {
  int n = 0;
  for (int m = 0; m < h->modelCount; ++m) n += h->models[m].surfaceCount;
  return n;
}

void Widen(float box[6], const float p[3]) {
  for (int c = 0; c < 3; ++c) {
    if (p[c] < box[c]) box[c] = p[c];
    if (p[c] > box[c + 3]) box[c + 3] = p[c];
  }
}

bool ShaderLit(const DuHeader* h, int shader) {
  if (shader < 0 || shader >= h->shaderCount) return false;
  const DuShader& s = h->shaders[shader];
  return s.slots[0].material || s.slots[1].material;
}

// The lit triangles of a surface into ia's own list; their count of indices.
int CollectTriangles(const DuLevel* level, const DuSurface& s, const vec3& c, float r, DuLightInteraction* ia) {
  // Rebased indices count from the surface's first vertex; surface-relative ones from 0.
  const int base = level->surfaceRelative ? 0 : s.firstVertex;
  int n = 0;
  for (int i = 0; i < 6; ++i) ia->bounds[i] = i < 3 ? 10000000.0f : -10000000.0f;
  for (int t = 0; t + 3 <= s.indexCount; t += 3) {
    float pts[9];
    float box[6] = {1000000.0f, 1000000.0f, 1000000.0f, -1000000.0f, -1000000.0f, -1000000.0f};
    bool inside = true;
    for (int k = 0; k < 3; ++k) {
      int v = int(s.indices[t + k]) - base;
      if (v < 0 || v >= s.vertexCount) inside = false;
      if (!inside) break;
      std::memcpy(pts + 3 * k, s.vertices[v].position, sizeof(float) * 3);
      Widen(box, pts + 3 * k);
    }
    if (!inside || !du_SphereTouchesBox(box, &c, r)) continue;
    float plane[4];
    du_PlaneFromPoints(pts, plane);
    if (plane[0] * c.x + plane[1] * c.y + plane[2] * c.z - plane[3] < 0) continue;
    for (int k = 0; k < 3; ++k) {
      Widen(ia->bounds, pts + 3 * k);
      ia->ownIndices[n++] = s.indices[t + k];
    }
  }
  return n;
}

}  // namespace

bool du_LightUsable(const ViewLight* light) {
  return light && light->slot >= 0 && light->slot < kDuLightSlots && light->key != 0 && light->radius > 0.0f;
}

DuLightInteraction* du_NewInteraction() {
  return static_cast<DuLightInteraction*>(Global_MallocZero(sizeof(DuLightInteraction), "DUINEW"));
}

void du_FreeInteraction(DuLevel* level, DuLightInteraction* ia) {
  if (!ia) return;
  DuHeader* h = level ? level->header : nullptr;
  if (h && ia->model >= 0 && ia->model < h->modelCount && ia->surface >= 0 &&
      ia->surface < h->models[ia->model].surfaceCount) {
    DuLightInteraction** link = &h->models[ia->model].surfaces[ia->surface].interactions;
    while (*link && *link != ia) link = &(*link)->next;
    if (*link) *link = ia->next;
  }
  if (ia->ownIndices) Global_Free(ia->ownIndices);
  Global_Free(ia);
}

void du_FreeLightSlot(DuLevel* level, int slotId) {
  if (!level || slotId < 0 || slotId >= kDuLightSlots) return;
  DuLightSlot& slot = level->lightSlots[slotId];
  if (slot.key == 0) return;
  if (slot.interactions) {
    for (int i = 0; i < slot.interactionCount; ++i) du_FreeInteraction(level, slot.interactions[i]);
    Global_Free(slot.interactions);
  }
  if (slot.volumeVertices) Global_Free(slot.volumeVertices);
  if (slot.volumeIndices) Global_Free(slot.volumeIndices);
  if (slot.volumeBuffer && RenderApi == RENDER_API_OPENGL) {
    GLuint name = slot.volumeBuffer;
    gl.glDeleteBuffersARB(1, &name);
  }
  slot = DuLightSlot{};
}

void du_BuildLightSlot(DuLevel* level, const ViewLight* light) {
  DuHeader* h = level->header;
  DuLightSlot& slot = level->lightSlots[light->slot];
  slot = DuLightSlot{};
  const int total = SurfaceTotal(h);
  if (total > 0) {
    slot.interactions =
        static_cast<DuLightInteraction**>(Global_MallocZero(size_t(total) * sizeof(DuLightInteraction*), "DULIS"));
    if (!slot.interactions) return;  // stays empty
  }
  slot.key = light->key;
  const vec3 c = light->position;
  const float r = light->radius;
  for (int m = 0; m < h->modelCount; ++m)
    for (int si = 0; si < h->models[m].surfaceCount; ++si) {
      DuSurface& s = h->models[m].surfaces[si];
      if (!du_SphereTouchesBox(s.bounds, &c, r) || !ShaderLit(h, s.shader)) continue;
      DuLightInteraction* ia = du_NewInteraction();
      if (!ia) continue;
      ia->model = m;
      ia->surface = si;
      if (light->wholeSurface) {
        std::memcpy(ia->bounds, s.bounds, sizeof ia->bounds);
        ia->indexCount = s.indexCount;
      } else if (s.indexCount > 0) {
        ia->ownIndices = static_cast<uint16_t*>(Global_Malloc(size_t(s.indexCount) * 2, "DULII"));
        if (!ia->ownIndices) {
          du_FreeInteraction(level, ia);
          continue;
        }
        ia->indexCount = CollectTriangles(level, s, c, r, ia);
      }
      if (ia->indexCount == 0) {
        du_FreeInteraction(level, ia);
        continue;
      }
      // The list goes into the dynamic index buffer while it has room; otherwise it is drawn from
      // the client-side list.
      if (level->dynamicIndexBuffer && !light->wholeSurface &&
          level->lightIndexFill <= kDuDynamicIndices - ia->indexCount) {
        gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, level->dynamicIndexBuffer);
        gl.glBufferSubDataARB(GL_ELEMENT_ARRAY_BUFFER_ARB, GLintptrARB(level->lightIndexFill) * 2,
                              ia->indexCount * 2, ia->ownIndices);
        gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
        ia->elementBuffer = level->dynamicIndexBuffer;
        ia->indexOffset = size_t(level->lightIndexFill) * 2;
        level->lightIndexFill += ia->indexCount;
      } else {
        ia->indices = light->wholeSurface ? s.indices : ia->ownIndices;
      }
      ia->arrayBuffer = level->vertexBuffer;
      DuShader& shader = h->shaders[s.shader];
      ia->normalMap = shader.slots[3].material;
      ia->colour = shader.slots[0].material;
      ia->specular = shader.slots[1].material;
      ia->next = s.interactions;
      s.interactions = ia;
      ia->slot = light->slot;
      ia->shader = &shader;
      slot.interactions[slot.interactionCount++] = ia;
    }
  slot.wholeSurface = light->wholeSurface;
  const float p[3] = {c.x, c.y, c.z};
  for (int k = 0; k < 3; ++k) {
    slot.position[k] = slot.positionBlock[k] = p[k];
    slot.colour[k] = slot.colourBlock[k] = light->colour[k];
  }
  slot.radius = r;
  slot.positionBlock[3] = 1.0f / r;
  slot.colourBlock[3] = 1.0f;
}

void du_RefreshLightSlot(DuLevel* level, const ViewLight* light) {
  if (!level || !level->header || !du_LightUsable(light)) return;
  DuLightSlot& slot = level->lightSlots[light->slot];
  if (slot.key != 0 && slot.key != light->key) du_FreeLightSlot(level, light->slot);
  if (slot.key == 0) du_BuildLightSlot(level, light);
}

const void* du_InteractionVertices(const DuLevel* level, const DuLightInteraction* ia) {
  if (ia->arrayBuffer) return nullptr;  // offset 0 into the buffer
  if (!level->surfaceRelative) return level->gpuVertices;
  return level->header->models[ia->model].surfaces[ia->surface].gpuVertices;
}
