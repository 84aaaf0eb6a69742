// Reading a DU level file into its native records, with every count, size and index checked.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/vecmath.h"
#include "scene/du.h"
#include "scene/du_lighting.h"
#include "scene/loadbuf.h"
#include "scene/tritree.h"

int32_t DuLightPath;

namespace {

struct DuReader {
  ByteReader in{nullptr, 0};
  const char* path;
  DuHeader* header;
};

// Logs the first fault; always 0 so callers can return it.
int Refuse(DuReader* r, const char* what) {
  if (!r->in.ok)
    Log_Printf("du_Load: %s runs past the end of %s.\n", what, r->path);
  else
    Log_Printf("du_Load: bad %s in %s.\n", what, r->path);
  return 0;
}

// A count from the file that must not be negative and whose records must fit in the bytes left.
int CheckCount(DuReader* r, int32_t count, size_t recordSize, const char* what) {
  if (count < 0) return Refuse(r, what);
  if (!Reader_Fits(r->in, count, recordSize)) {
    r->in.ok = false;
    return Refuse(r, what);
  }
  return 1;
}

// A zero-filled array of count records; a failed allocation is logged and refuses the file.
template <typename T>
int Alloc(DuReader* r, T** out, int64_t count, const char* tag) {
  *out = static_cast<T*>(Global_MallocZero(size_t(count) * sizeof(T), tag));
  if (*out || count == 0) return 1;
  Log_Printf("du_Load: Global_Malloc in %s %s.\n", tag, r->path);
  return 0;
}

int ReadShaders(DuReader* r) {
  DuHeader* h = r->header;
  if (!CheckCount(r, h->shaderCount, kDuShaderSize, "shader count")) return 0;
  if (!Alloc(r, &h->shaders, h->shaderCount, "DUSLSHA")) return 0;
  for (int i = 0; i < h->shaderCount; ++i) {
    DuShader& s = h->shaders[i];
    r->in.Take(s.data, sizeof s.data);
    for (DuTextureSlot& slot : s.slots) {
      Reader_Name(r->in, slot.name, sizeof slot.name);
      for (int32_t& w : slot.settings) w = r->in.I32();
      r->in.Skip(4);
      slot.material = 0;
    }
    r->in.Take(s.tail, sizeof s.tail);
  }
  return 1;
}

int ReadSurface(DuReader* r, DuSurface* s) {
  ByteReader* b = &r->in;
  if (!Reader_Fits(*b, 1, kDuSurfaceSize)) return CheckCount(r, 1, kDuSurfaceSize, "surface");
  s->shader = b->I32();
  s->vertexCount = b->I32();
  s->indexCount = b->I32();
  b->Skip(24);  // run-time slots
  b->F32s(s->bounds, 6);
  b->Skip(4);
  s->rendererWord = b->I32();
  b->Skip(4);
  if (!CheckCount(r, s->vertexCount, kDuVertexSize, "surface vertex count")) return 0;
  if (!Alloc(r, &s->vertices, s->vertexCount, "DUSLVRT")) return 0;
  for (int i = 0; i < s->vertexCount; ++i) {
    DuVertex& v = s->vertices[i];
    b->F32s(v.position, 3);
    b->F32s(v.frame, 9);
    b->F32s(v.uv0, 2);
    b->F32s(v.uv1, 2);
  }
  if (!CheckCount(r, s->indexCount, 2, "surface index count")) return 0;
  if (!Alloc(r, &s->indices, s->indexCount, "DUSLIND")) return 0;
  for (int i = 0; i < s->indexCount; ++i) {
    s->indices[i] = Reader_U16(*b);
    if (s->indices[i] >= s->vertexCount) return Refuse(r, "surface index");
  }
  return 1;
}

int ReadModels(DuReader* r) {
  DuHeader* h = r->header;
  if (!CheckCount(r, h->modelCount, kDuModelSize, "model count")) return 0;
  if (!Alloc(r, &h->models, h->modelCount, "DUSLMDL")) return 0;
  for (int i = 0; i < h->modelCount; ++i) {
    DuModel& m = h->models[i];
    if (!CheckCount(r, 1, kDuModelSize, "model")) return 0;
    r->in.Take(m.data, sizeof m.data);
    m.surfaceCount = r->in.I32();
    r->in.Skip(4);
    m.rendererWord136 = r->in.I32();
    r->in.Skip(4);
    m.rendererWord144 = r->in.I32();
    if (!CheckCount(r, m.surfaceCount, kDuSurfaceSize, "model surface count")) return 0;
    if (!Alloc(r, &m.surfaces, m.surfaceCount, "DUSLSRF")) return 0;
    for (int j = 0; j < m.surfaceCount; ++j)
      if (!ReadSurface(r, &m.surfaces[j])) return 0;
  }
  return 1;
}

int ReadPortals(DuReader* r) {
  DuHeader* h = r->header;
  if (!CheckCount(r, h->portalCount, kDuPortalSize, "portal count")) return 0;
  if (!Alloc(r, &h->portals, h->portalCount, "DUSLPRT")) return 0;
  for (int i = 0; i < h->portalCount; ++i) {
    DuPortal& p = h->portals[i];
    if (!CheckCount(r, 1, kDuPortalSize, "portal")) return 0;
    p.pointCount = r->in.I32();
    p.areas[0] = r->in.I32();
    p.areas[1] = r->in.I32();
    r->in.Skip(28);  // point slot, plane, eye-side and visited slots
    if (!CheckCount(r, p.pointCount, 12, "portal point count")) return 0;
    if (p.pointCount < 3) return Refuse(r, "portal point count");
    if (!Alloc(r, &p.points, p.pointCount * 3, "DUSLPNT")) return 0;
    r->in.F32s(p.points, size_t(p.pointCount) * 3);
  }
  return 1;
}

int ReadNodesAndAreas(DuReader* r) {
  DuHeader* h = r->header;
  if (!CheckCount(r, h->nodeCount, kDuNodeSize, "node count")) return 0;
  if (!Alloc(r, &h->nodes, h->nodeCount, "DUSLNOD")) return 0;
  for (int i = 0; i < h->nodeCount; ++i) {
    DuNode& n = h->nodes[i];
    r->in.F32s(n.normal, 3);
    n.term = r->in.F32();
    n.children[0] = r->in.I32();
    n.children[1] = r->in.I32();
  }
  if (!CheckCount(r, h->areaCount, kDuAreaSize, "area count")) return 0;
  if (!Alloc(r, &h->areas, h->areaCount, "DUSLARE")) return 0;
  for (int i = 0; i < h->areaCount; ++i) {
    DuArea& a = h->areas[i];
    a.model = r->in.I32();
    r->in.Skip(4);
    a.rendererWord = r->in.I32();
  }
  return 1;
}

// Indices between the records, checked once everything is read: portal areas, area models, node
// children and leaves, and a node tree that reaches no node twice from the root (so a walk down
// it always ends).
int CheckLinks(DuReader* r) {
  DuHeader* h = r->header;
  for (int i = 0; i < h->portalCount; ++i)
    for (int32_t a : h->portals[i].areas)
      if (a < 0 || a >= h->areaCount) return Refuse(r, "portal area");
  for (int i = 0; i < h->areaCount; ++i) {
    int32_t m = h->areas[i].model;
    if (m < -1 || m >= h->modelCount) return Refuse(r, "area model");
  }
  for (int i = 0; i < h->nodeCount; ++i)
    for (int32_t c : h->nodes[i].children) {
      if (c > 0 && c >= h->nodeCount) return Refuse(r, "node child");
      if (c < 0 && int64_t(-1) - c >= h->areaCount) return Refuse(r, "node leaf area");
    }
  if (h->nodeCount == 0) return 1;
  std::vector<uint8_t> seen(size_t(h->nodeCount), 0);
  std::vector<int32_t> stack{0};
  seen[0] = 1;
  while (!stack.empty()) {
    int32_t n = stack.back();
    stack.pop_back();
    for (int32_t c : h->nodes[n].children) {
      if (c <= 0) continue;
      if (seen[size_t(c)]) return Refuse(r, "node tree (a node is reached twice)");
      seen[size_t(c)] = 1;
      stack.push_back(c);
    }
  }
  return 1;
}

int ReadHeader(DuReader* r) {
  DuHeader* h = r->header;
  ByteReader* b = &r->in;
  h->magic = b->U32();
  h->version = b->U32();
  if (h->magic != kDuMagic || h->version != kDuVersion) {
    Log_Printf("du_Load: wrong version in du_header %s.\n", r->path);
    return 0;
  }
  b->Take(h->unread8, sizeof h->unread8);
  Reader_Name(*b, h->textureFolder, sizeof h->textureFolder);
  h->shaderCount = b->I32();
  b->Skip(4);
  h->modelCount = b->I32();
  b->Skip(4);
  h->portalCount = b->I32();
  b->Skip(4);
  h->nodeCount = b->I32();
  b->Skip(4);
  h->areaCount = b->I32();
  b->Skip(4);
  b->Take(h->unread112, sizeof h->unread112);
  if (!b->ok) return Refuse(r, "du_header");
  return 1;
}

}  // namespace

void du_PlaneFromPoints(const float points[9], float plane[4]) {
  vec3 p0{points[0], points[1], points[2]};
  vec3 p1{points[3], points[4], points[5]};
  vec3 p2{points[6], points[7], points[8]};
  vec3 e1, e2, n;
  Vec_Subtract(&p1, &p0, &e1);
  Vec_Subtract(&p2, &p0, &e2);
  Vec_Cross(&e1, &e2, &n);
  plane[0] = n.x;
  plane[1] = n.y;
  plane[2] = n.z;
  plane[3] = float(Vec_Dot(&n, &p0));
}

void du_InitShaders(DuLevel* level) {
  if (!level || !level->header) return;
  DuHeader* h = level->header;
  level->lightPath = 0;
  DuLightPath = 0;
  level->surfaceRelative = level->vertexTotal >= kDuLevelWideVertexLimit;
  int32_t firstVertex = 0, firstIndex = 0;
  for (int m = 0; m < h->modelCount; ++m)
    for (int s = 0; s < h->models[m].surfaceCount; ++s) {
      DuSurface& surf = h->models[m].surfaces[s];
      surf.firstVertex = firstVertex;
      surf.firstIndex = firstIndex;
      if (!level->surfaceRelative)
        for (int i = 0; i < surf.indexCount; ++i) surf.indices[i] = uint16_t(surf.indices[i] + firstVertex);
      firstVertex += surf.vertexCount;
      firstIndex += surf.indexCount;
    }
  du_InitLighting(level);
}

void du_FreeLevel(DuLevel* level) {
  if (!level) return;
  du_FreeLighting(level);
  if (DuHeader* h = level->header) {
    if (h->shaders) Global_Free(h->shaders);
    for (int m = 0; h->models && m < h->modelCount; ++m) {
      DuModel& model = h->models[m];
      for (int s = 0; model.surfaces && s < model.surfaceCount; ++s) {
        if (model.surfaces[s].vertices) Global_Free(model.surfaces[s].vertices);
        if (model.surfaces[s].indices) Global_Free(model.surfaces[s].indices);
      }
      if (model.surfaces) Global_Free(model.surfaces);
    }
    if (h->models) Global_Free(h->models);
    for (int p = 0; h->portals && p < h->portalCount; ++p)
      if (h->portals[p].points) Global_Free(h->portals[p].points);
    if (h->portals) Global_Free(h->portals);
    if (h->nodes) Global_Free(h->nodes);
    if (h->areas) Global_Free(h->areas);
    Global_Free(h);
    level->header = nullptr;
  }
  du_FreeTree(level);
  Global_Free(level);
}

DuLevel* du_Load(const char* name) {
  if (!name) return nullptr;
  std::string path = std::string(name) + ".du";
  auto* level = static_cast<DuLevel*>(Global_MallocZero(sizeof(DuLevel), "DUSLM"));
  if (!level) {
    Log_Printf("du_Load: Global_Malloc error %s.\n", path.c_str());
    return nullptr;
  }
  DuReader r{};
  r.path = path.c_str();
  int missing = 0;
  uint32_t size = 0;
  uint8_t* bytes = Scene_ReadWholeFile(r.path, "DUSLFIL", &size, &missing);
  if (!bytes) {
    if (missing)
      Log_Printf("du_Load: not found %s.\n", r.path);
    else
      Log_Printf("du_Load: cannot read %s.\n", r.path);
    Global_Free(level);
    return nullptr;
  }
  r.header = level->header = static_cast<DuHeader*>(Global_MallocZero(sizeof(DuHeader), "DUSLHDR"));
  if (!r.header) {
    Log_Printf("du_Load: Global_Malloc in du_header %s.\n", r.path);
    Global_Free(bytes);
    Global_Free(level);
    return nullptr;
  }
  r.in = ByteReader(bytes, size);
  int ok = ReadHeader(&r) && ReadShaders(&r) && ReadModels(&r) && ReadPortals(&r) &&
           ReadNodesAndAreas(&r) && CheckLinks(&r);
  Global_Free(bytes);
  if (!ok) {
    du_FreeLevel(level);
    return nullptr;
  }
  DuHeader* h = level->header;
  for (int i = 0; i < h->portalCount; ++i)
    du_PlaneFromPoints(h->portals[i].points, h->portals[i].plane);

  int64_t vertices = 0, indices = 0, triangles = 0;
  for (int m = 0; m < h->modelCount; ++m)
    for (int s = 0; s < h->models[m].surfaceCount; ++s) {
      const DuSurface& surf = h->models[m].surfaces[s];
      vertices += surf.vertexCount;
      indices += surf.indexCount;
      triangles += surf.indexCount / 3;
    }
  level->vertexTotal = int32_t(vertices);
  level->indexTotal = int32_t(indices);
  level->triangleTotal = int32_t(triangles);
  Log_Printf("du_verts=%i, du_indexes=%i\n", level->vertexTotal, level->indexTotal);

  float maxBox = 0.0f;
  int maxTriangles = 0;
  if (TriTree_ReadHmp(name, &maxBox, &maxTriangles)) du_CreateTree(level, name, maxBox, maxTriangles);

  du_InitShaders(level);
  level->texturesNeeded = 1;
  level->uploadNeeded = 1;
  return level;
}
