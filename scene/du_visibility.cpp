// What a DU level shows each frame: the area holding the camera, a flood through the portals
// with the view window clipped portal by portal, or the view frustum when there is no area to
// start from. Everything seen carries the level's frame stamp; the visible light interactions are
// strung onto their slots' draw lists.
#include <cmath>
#include <cstring>

#include "foundation/log.h"
#include "render/render.h"
#include "foundation/var.h"
#include "scene/du_lighting.h"
#include "scene/model.h"
#include "scene/view.h"

namespace {

struct ClipPlane {
  float n[4];    // normal, distance
  int far[3];    // box coordinate farthest along the normal, per axis
};

ClipPlane MakePlane(const float plane[4]) {
  ClipPlane p;
  std::memcpy(p.n, plane, sizeof p.n);
  for (int k = 0; k < 3; ++k) p.far[k] = plane[k] < 0 ? k : k + 3;
  return p;
}

// A box is outside when even its farthest corner lies at or behind the plane.
bool BoxOutside(const ClipPlane& p, const float box[6]) {
  return p.n[0] * box[p.far[0]] + p.n[1] * box[p.far[1]] + p.n[2] * box[p.far[2]] - p.n[3] <= 0;
}

bool BoxInside(const ClipPlane* planes, int count, const float box[6]) {
  for (int i = 0; i < count; ++i)
    if (BoxOutside(planes[i], box)) return false;
  return true;
}

// Only lists of this frame's view lights take interactions: a slot whose light is not in view
// keeps its list as it was, never pushed onto without being emptied first.
void PushVisible(DuLevel* level, DuLightInteraction* ia) {
  DuLightSlot& slot = level->lightSlots[ia->slot];
  if (slot.listStamp != level->frameStamp) return;
  ia->visibleStamp = level->frameStamp;
  ia->drawNext = slot.drawList;
  slot.drawList = ia;
}

ClipPlane PlaneThrough(const vec3& a, const vec3& b, const vec3& c) {
  const float pts[9] = {a.x, a.y, a.z, b.x, b.y, b.z, c.x, c.y, c.z};
  float plane[4];
  du_PlaneFromPoints(pts, plane);
  return MakePlane(plane);
}

struct Flood {
  vec3 eye;
  int entries;
  int depth;
  bool stopped;
};
Flood g_flood;

void FrustumFallback(DuLevel* level, const ModelDrawParams* params, const ViewParams* view) {
  const vec3 origin = params ? params->position : vec3{0, 0, 0};
  ClipPlane planes[6];
  for (int i = 0; i < 6; ++i) {
    const ViewPlane& vp = view->planes[i];
    float plane[4] = {vp.normal.x, vp.normal.y, vp.normal.z, vp.dist - float(Vec_Dot(&vp.normal, &origin))};
    if (i == 5 && params && params->farDistance != 0.0f)
      plane[3] = float(Vec_Dot(&vp.normal, &view->position)) - params->farDistance -
                 float(Vec_Dot(&vp.normal, &origin));
    planes[i] = MakePlane(plane);
  }
  DuHeader* h = level->header;
  for (int m = 0; m < h->modelCount; ++m) {
    DuModel& model = h->models[m];
    model.visibleStamp = level->frameStamp;
    for (int s = 0; s < model.surfaceCount; ++s)
      if (BoxInside(planes, 6, model.surfaces[s].bounds)) model.surfaces[s].visibleStamp = level->frameStamp;
  }
  for (int i = 0; i < view->lightCount; ++i) {
    const ViewLight* light = &view->lights[i];
    if (!du_LightUsable(light)) continue;
    DuLightSlot& slot = level->lightSlots[light->slot];
    for (int k = 0; k < slot.interactionCount; ++k)
      if (slot.interactions[k]->visibleStamp != level->frameStamp) PushVisible(level, slot.interactions[k]);
  }
}

}  // namespace

void du_ClipPolygon(vec3* points, int* count, const float plane[4]) {
  const int n = *count;
  if (n <= 0) return;
  vec3 in[kDuWindowMax];
  const int kept = n < kDuWindowMax ? n : kDuWindowMax;
  std::memcpy(in, points, sizeof(vec3) * size_t(kept));
  auto dist = [&](const vec3& p) { return plane[0] * p.x + plane[1] * p.y + plane[2] * p.z - plane[3]; };
  int out = 0;
  vec3 prev = in[kept - 1];
  float dPrev = dist(prev);
  for (int i = 0; i < kept; ++i) {
    const vec3 cur = in[i];
    const float dCur = dist(cur);
    if ((dPrev < 0) != (dCur < 0) && out < kDuWindowMax) {
      float t = dCur / (dCur - dPrev);
      points[out++] = vec3{cur.x + (prev.x - cur.x) * t, cur.y + (prev.y - cur.y) * t, cur.z + (prev.z - cur.z) * t};
    }
    if (dCur <= 0 && out < kDuWindowMax) points[out++] = cur;
    prev = cur;
    dPrev = dCur;
  }
  *count = out;
}

int du_FindArea(const DuLevel* level, const vec3* p) {
  const DuHeader* h = level ? level->header : nullptr;
  if (!h || h->nodeCount <= 0 || !h->nodes) return -1;
  // The loader made sure every walk ends within nodeCount steps and at a valid leaf.
  int node = 0;
  for (int steps = 0; steps <= h->nodeCount; ++steps) {
    const DuNode& n = h->nodes[node];
    int child = n.normal[0] * p->x + n.normal[1] * p->y + n.normal[2] * p->z + n.term > 0 ? n.children[0] : n.children[1];
    if (child <= 0) {
      int area = -1 - child;
      return area < h->areaCount ? area : -1;
    }
    node = child;
  }
  return -1;
}

void du_FloodPortals(DuLevel* level, ModelDrawParams* params, ViewParams* view, vec3* window, int* windowCount,
                     int area) {
  DuHeader* h = level->header;
  if (area < 0 || area >= h->areaCount) return;
  const int n = *windowCount;
  const vec3& eye = g_flood.eye;
  h->areas[area].visibleStamp = level->frameStamp;
  if (int m = h->areas[area].model; m >= 0 && m < h->modelCount) {
    DuModel& model = h->models[m];
    model.visibleStamp = level->frameStamp;
    ClipPlane planes[kDuWindowMax];
    for (int i = 0; i < n; ++i) planes[i] = PlaneThrough(eye, window[i], window[(i + 1) % n]);
    for (int s = 0; s < model.surfaceCount; ++s) {
      DuSurface& surf = model.surfaces[s];
      if (!BoxInside(planes, n, surf.bounds)) continue;
      surf.visibleStamp = level->frameStamp;
      for (DuLightInteraction* ia = surf.interactions; ia; ia = ia->next)
        if (ia->visibleStamp != level->frameStamp && BoxInside(planes, n, ia->bounds)) PushVisible(level, ia);
    }
  }
  for (int i = 0; i < h->portalCount; ++i) {
    DuPortal& portal = h->portals[i];
    if (portal.visited || (portal.areas[0] != area && portal.areas[1] != area)) continue;
    if (g_flood.entries >= kDuFloodBudget || g_flood.depth >= kDuFloodDepth) {
      g_flood.stopped = true;
      return;
    }
    vec3 poly[kDuWindowMax];
    int count = n;
    std::memcpy(poly, window, sizeof(vec3) * size_t(n));
    const int k = portal.pointCount;
    const vec3* P = reinterpret_cast<const vec3*>(portal.points);
    for (int j = 0; j < k && count >= 3; ++j) {
      // Each edge plane has the portal's inside on its negative side, the side the clip keeps.
      const vec3& a = P[j];
      const vec3& b = P[(j + 1) % k];
      ClipPlane edge = portal.eyeSide ? PlaneThrough(eye, a, b) : PlaneThrough(eye, b, a);
      du_ClipPolygon(poly, &count, edge.n);
    }
    if (count <= 2) continue;
    portal.visited = 1;
    g_flood.entries++;
    g_flood.depth++;
    du_FloodPortals(level, params, view, poly, &count, portal.areas[0] + portal.areas[1] - area);
    g_flood.depth--;
    portal.visited = 0;
  }
}

void du_MarkVisible(DuLevel* level, ModelDrawParams* params, ViewParams* view) {
  DuHeader* h = level ? level->header : nullptr;
  if (!h || !view) return;
  level->frameStamp++;
  for (int i = 0; i < view->lightCount && view->lights; ++i) {
    const ViewLight* light = &view->lights[i];
    if (!du_LightUsable(light)) continue;
    du_RefreshLightSlot(level, light);
    level->lightSlots[light->slot].drawList = nullptr;
    level->lightSlots[light->slot].listStamp = level->frameStamp;
  }
  if (h->nodeCount <= 0 || h->areaCount <= 0 || level->cameraArea < 0 || level->cameraArea >= h->areaCount) {
    FrustumFallback(level, params, view);
    return;
  }
  mat3 camera;
  Mat_FromAngles(&camera, &view->angles);
  const vec3 eye = view->position;
  // The view's field of view ("render_fov" times the zoom), as the projection uses it.
  const float fov = view->fov > 0.0f ? view->fov : render_fov.value;
  const float d = 320.0f / std::tan(fov * kMathPi / 360.0f);
  const vec3 corners[4] = {{-320, d, -240}, {-320, d, 240}, {320, d, 240}, {320, d, -240}};
  vec3 window[kDuWindowMax];
  for (int i = 0; i < 4; ++i) Vec_Transform(&corners[i], &camera, &eye, &window[i]);
  for (int i = 0; i < h->portalCount; ++i) {
    DuPortal& p = h->portals[i];
    p.eyeSide = p.plane[0] * eye.x + p.plane[1] * eye.y + p.plane[2] * eye.z - p.plane[3] > 0;
    p.visited = 0;
  }
  g_flood = Flood{eye, 0, 0, false};
  int count = 4;
  du_FloodPortals(level, params, view, window, &count, level->cameraArea);
  if (g_flood.stopped && !level->floodLogged) {
    level->floodLogged = 1;
    Log_Printf("du_MarkVisible: the portal flood stopped after %i portals.\n", g_flood.entries);
  }
}
