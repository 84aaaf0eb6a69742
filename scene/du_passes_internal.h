// Shared by the DU level's ATI and NV light passes.
#pragma once
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "scene/du_lighting.h"
#include "scene/view.h"

// Fixed-function state of the depth and multiply-layer passes on every path. Base: no blending,
// back faces culled, no alpha test, depth writes on, texture units 0-3 off and colour writes only
// with "render_bump_clear". MulLayer: polygon offset, blend kind 2, back faces culled, no alpha test
// or depth writes, only unit 0 on. Restore: unit 0 on, no blending, back faces culled, no alpha
// test, depth writes on.
void du_BeginBaseState();
void du_BeginMulLayerState();
void du_RestoreBaseState();

// A world point in the level's own space (the level placed by `params`; at the origin, unturned,
// without them).
vec3 du_ToLevel(const vec3& world, const ModelDrawParams* params);

// The slot's draw list when this frame's visibility made it (its light was in the view then);
// null for a light the view gained after pass 0.
inline DuLightInteraction* du_FrameDrawList(const DuLevel* level, const DuLightSlot& slot) {
  return slot.listStamp == level->frameStamp ? slot.drawList : nullptr;
}

// Draws a light slot's draw list. For each interaction with vertices uploaded: bind(ia) binds its
// textures; the index and vertex buffers are bound when they change and point(vertices) when the
// vertices move; then its triangles are drawn and counted in the view. The buffers are unbound
// after.
template <typename Bind, typename Point>
void du_DrawInteractionList(DuLevel* level, const DuLightSlot& slot, ViewParams* view, Bind bind, Point point) {
  // A level whose copy never reached vertex-array memory has nothing in its buffer either: its
  // light passes skip like its base pass.
  if (!level->surfaceRelative && !level->gpuVertices) return;
  uint32_t lastElements = ~0u, lastArray = ~0u;
  const void* lastVertices = nullptr;
  bool anyVertices = false;
  for (DuLightInteraction* ia = du_FrameDrawList(level, slot); ia; ia = ia->drawNext) {
    const void* vertices = du_InteractionVertices(level, ia);
    if (!ia->arrayBuffer && !vertices) continue;  // not uploaded yet
    bind(ia);
    if (ia->elementBuffer != lastElements) {
      gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, ia->elementBuffer);
      lastElements = ia->elementBuffer;
    }
    if (ia->arrayBuffer != lastArray) {
      gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, ia->arrayBuffer);
      lastArray = ia->arrayBuffer;
      anyVertices = false;
    }
    if (!anyVertices || vertices != lastVertices) {
      point(vertices);
      lastVertices = vertices;
      anyVertices = true;
    }
    const void* at = ia->elementBuffer ? reinterpret_cast<const void*>(ia->indexOffset) : ia->indices;
    gl.glDrawElements(GL_TRIANGLES, ia->indexCount, GL_UNSIGNED_SHORT, at);
    view->statDrawCalls++;
    view->statTriangles += ia->indexCount / 3;
  }
  if (lastElements != ~0u || lastArray != ~0u) {
    gl.glBindBufferARB(GL_ELEMENT_ARRAY_BUFFER_ARB, 0);
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  }
}

// The steps every light pass takes around its own texture and program set-up.
// Begin: with shadows on, scissors the viewport to the light's reach, clears the stencil and
// draws the lit models' shadow volumes (pass 4 + 2 * lightIndex); the level's own volume is the
// caller's. Lit: draws the lit models' lighting (pass 5 + 2 * lightIndex), opens the lit stencil
// with shadows on and sets the additive state (the given blend, back faces culled, no alpha test
// or depth writes). End: restores that state, the stencil and the full-view scissor.
void du_BeginLightShadows(const DuLightSlot& slot, ViewLight& light, int lightIndex, ViewParams* view, float fov);
void du_DrawLitModels(ViewLight& light, int lightIndex, ViewParams* view, bool shadows, int blend);
void du_EndLightPass(bool shadows);
