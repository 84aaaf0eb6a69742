// ".may" levels: loading, textures, queries and release.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/may.h"
#include "scene/may_internal.h"
#include "scene/mdlbytes.h"

namespace {

bool Refuse(const char* file, const char* fault) {
  Log_Printf("mayb_Load: %s: %s.\n", file, fault);
  return false;
}

bool ReadShader(ByteReader* r, MaylShader* s, const char* file) {
  bool named = MdlReader_Name(r, s->name, 56);
  if (!named) Log_Printf("!!!!!!!!!!!!!!!!!!!!!!! error [%s]\n", s->name);
  s->layerCount = r->I32();
  r->I32();  // run-time surface type
  bool good = true;
  for (MaylSlot& slot : s->slots) {
    if (!MdlReader_Name(r, slot.name, 40)) good = false;
    slot.stretchU = r->F32();
    slot.stretchV = r->F32();
    slot.opacity = r->F32();
    slot.combine = r->I32();
    r->Skip(8);
    if (!std::isfinite(slot.stretchU) || !std::isfinite(slot.stretchV) || !std::isfinite(slot.opacity)) good = false;
  }
  s->twoSided = r->I32();
  r->I32();  // run-time blend
  s->firstSet = r->I32();
  s->setCount = r->I32();
  if (!named) s->layerCount = 0;  // a name that fills its field: drawn as a standard shader
  if (!good) return Refuse(file, "texture slot name not ended or stretch not finite");
  if (s->layerCount < 0 || s->layerCount > kMayMaxLayers) return Refuse(file, "layer count outside 0..7");
  return true;
}

bool ReadKey(ByteReader* r, MaylKey* k) {
  bool finite = MdlReader_Floats(r, k->rot, 12);
  r->Skip(24 + 24);
  for (float& b : k->bounds) b = 0.0f;
  return finite;
}

bool ReadObject(ByteReader* r, MaylObject* o, const char* file) {
  bool named = MdlReader_Name(r, o->name, 256);
  r->Skip(32 + 4);
  o->firstKey = r->I32();
  o->keyCount = r->I32();
  o->start = r->F32();
  o->end = r->F32();
  r->Skip(24 + 16);
  if (!named) return Refuse(file, "object name not ended within its field");
  if (!std::isfinite(o->start) || !std::isfinite(o->end)) return Refuse(file, "object motion times not finite");
  return true;
}

bool ReadSet(ByteReader* r, MaylSet* s) {
  s->shader = r->I32();
  s->object = r->I32();
  r->I32();
  s->moving = r->I32();
  bool finite = MdlReader_Floats(r, s->bounds, 6);
  r->Skip(16);
  s->surface = r->I32();
  s->firstIndex = r->I32();
  s->indexCount = r->I32();
  return finite;
}

// Every index, range and count the level's users follow, checked once.
bool CheckRefs(const MaylLevel* l, const char* file) {
  for (int i = 0; i < l->shaderCount; i++)
    if (!Model_RangeFits(l->shaders[i].firstSet, l->shaders[i].setCount, l->setCount))
      return Refuse(file, "shader set range outside the sets");
  for (int i = 0; i < l->objectCount; i++) {
    const MaylObject& o = l->objects[i];
    if (o.keyCount > 0 && !Model_RangeFits(o.firstKey, o.keyCount, l->keyCount))
      return Refuse(file, "object key range outside the keys");
  }
  for (int i = 0; i < l->setCount; i++) {
    const MaylSet& s = l->sets[i];
    if (s.shader < 0 || s.shader >= l->shaderCount) return Refuse(file, "set shader out of range");
    if (s.object < 0 || s.object >= l->objectCount) return Refuse(file, "set object out of range");
    if (s.surface < 0 || s.surface >= l->surfaceCount) return Refuse(file, "set surface out of range");
    if (!Model_RangeFits(s.firstIndex, s.indexCount, l->surfaces[s.surface].indexCount))
      return Refuse(file, "set index range outside its surface");
    if (s.indexCount % 3 != 0) return Refuse(file, "set index count not a multiple of 3");
    if (s.moving && l->objects[s.object].keyCount < 1) return Refuse(file, "moving set of an object without keys");
  }
  if ((l->spotTexture[0] || l->spotKeyCount != 0) &&
      (l->spotKeyCount < 1 || !Model_RangeFits(l->spotFirstKey, l->spotKeyCount, l->keyCount)))
    return Refuse(file, "spotlight key range outside the keys");
  return true;
}

bool ParseLevel(MaylLevel* l, const uint8_t* data, size_t size, const char* file) {
  ByteReader r(data, size);
  uint32_t magic = r.U32();
  int32_t version = r.I32();
  Model_LoadingTick();
  if (!r.ok || magic != kMayMagic || version != kMayVersion || size < kMayHeaderSize) {
    Log_Printf("mayb_Load: wrong id %s.\n", file);
    return false;
  }
  r.Skip(32);
  bool named = MdlReader_Name(&r, l->folder, 32);
  l->shaderCount = r.I32();
  r.U32();
  l->surfaceCount = r.I32();
  r.U32();
  l->keyCount = r.I32();
  r.U32();
  l->objectCount = r.I32();
  r.U32();
  l->setCount = r.I32();
  r.U32();
  named = MdlReader_Name(&r, l->spotShader, 224) && named;
  r.Skip(4 + 24 + 4);  // key-bounds word (always recomputed), level bounds, blend
  named = MdlReader_Name(&r, l->spotTexture, 60) && named;
  r.Skip(4 + 8);
  l->spotFirstKey = r.I32();
  l->spotKeyCount = r.I32();
  l->spotStart = r.F32();
  l->spotEnd = r.F32();
  if (!named) return Refuse(file, "header name not ended within its field");
  if (!std::isfinite(l->spotStart) || !std::isfinite(l->spotEnd)) return Refuse(file, "spotlight times not finite");

  Model_LoadingTick();
  if (!MdlReader_Holds(&r, l->shaderCount, kMayShaderSize)) return Refuse(file, "shader count beyond the file");
  if (!MdlReader_Alloc(&l->shaders, l->shaderCount, "MAYLSHA")) return Refuse(file, "out of memory");
  for (int i = 0; i < l->shaderCount; i++)
    if (!ReadShader(&r, &l->shaders[i], file)) return false;

  Model_LoadingTick();
  if (!MdlReader_Holds(&r, l->surfaceCount, kMaySurfaceSize)) return Refuse(file, "surface count beyond the file");
  if (!MdlReader_Alloc(&l->surfaces, l->surfaceCount, "MAYLSHA")) return Refuse(file, "out of memory");
  for (int i = 0; i < l->surfaceCount; i++) {
    MaylSurface* s = &l->surfaces[i];
    s->vertexCount = r.I32();
    r.U32();
    s->indexCount = r.I32();
    r.Skip(4 + 16);
  }
  for (int i = 0; i < l->surfaceCount; i++) {
    MaylSurface* s = &l->surfaces[i];
    Model_LoadingTick();
    if (!MdlReader_Holds(&r, s->vertexCount, kMayVertexSize)) return Refuse(file, "vertex count beyond the file");
    if (!MdlReader_Alloc(&s->vertices, s->vertexCount, "MAYLVRT")) return Refuse(file, "out of memory");
    for (int v = 0; v < s->vertexCount; v++) {
      MaylVertex* vx = &s->vertices[v];
      bool finite = MdlReader_Floats(&r, vx->pos, 3);
      if (const uint8_t* c = MdlReader_Take(&r, 4)) std::memcpy(vx->color, c, 4);
      finite = MdlReader_Floats(&r, &vx->uv[0][0], 8) && finite;
      finite = MdlReader_Floats(&r, vx->normal, 3) && finite;
      if (!finite) return Refuse(file, "vertex not finite");
    }
    if (!MdlReader_Holds(&r, s->indexCount, 2)) return Refuse(file, "index count beyond the file");
    if (!MdlReader_Alloc(&s->indices, s->indexCount, "MAYLIND")) return Refuse(file, "out of memory");
    for (int k = 0; k < s->indexCount; k++) {
      s->indices[k] = MdlReader_U16(&r);
      if (s->indices[k] >= s->vertexCount) return Refuse(file, "index beyond its surface's vertex count");
    }
  }

  Model_LoadingTick();
  if (!MdlReader_Holds(&r, l->keyCount, kMayKeySize)) return Refuse(file, "key count beyond the file");
  if (!MdlReader_Alloc(&l->keys, l->keyCount, "MAYLTRA")) return Refuse(file, "out of memory");
  for (int i = 0; i < l->keyCount; i++)
    if (!ReadKey(&r, &l->keys[i])) return Refuse(file, "key not finite");

  Model_LoadingTick();
  if (!MdlReader_Holds(&r, l->objectCount, kMayObjectSize)) return Refuse(file, "object count beyond the file");
  if (!MdlReader_Alloc(&l->objects, l->objectCount, "MAYLOBJ")) return Refuse(file, "out of memory");
  for (int i = 0; i < l->objectCount; i++)
    if (!ReadObject(&r, &l->objects[i], file)) return false;

  Model_LoadingTick();
  if (!MdlReader_Holds(&r, l->setCount, kMaySetSize)) return Refuse(file, "set count beyond the file");
  if (!MdlReader_Alloc(&l->sets, l->setCount, "MAYLSET")) return Refuse(file, "out of memory");
  for (int i = 0; i < l->setCount; i++)
    if (!ReadSet(&r, &l->sets[i])) return Refuse(file, "set bounds not finite");
  if (!r.ok) return Refuse(file, "file ends early");
  return CheckRefs(l, file);
}

void GrowBox(float* box, const float* by) {
  for (int k = 0; k < 3; k++) {
    if (by[k] < box[k]) box[k] = by[k];
    if (by[3 + k] > box[3 + k]) box[3 + k] = by[3 + k];
  }
}

void GrowPoint(float* box, const float* p) {
  for (int k = 0; k < 3; k++) {
    if (p[k] < box[k]) box[k] = p[k];
    if (p[k] > box[3 + k]) box[3 + k] = p[k];
  }
}

void ResetBox(float* box, float v) {
  for (int k = 0; k < 3; k++) {
    box[k] = v;
    box[3 + k] = -v;
  }
}

void ComputeBounds(MaylLevel* l) {
  ResetBox(l->bounds, 1e8f);
  for (int i = 0; i < l->objectCount; i++) ResetBox(l->objects[i].bounds, 1e8f);
  for (int i = 0; i < l->setCount; i++) {
    GrowBox(l->objects[l->sets[i].object].bounds, l->sets[i].bounds);
    GrowBox(l->bounds, l->sets[i].bounds);
  }
  // Key bounds: what an object covers under each of its keys, its moving sets moved by the key
  // and its sets at rest where they stand, so an object whose keys move none of its sets is
  // still tested against its own geometry.
  for (int i = 0; i < l->objectCount; i++) {
    const MaylObject& o = l->objects[i];
    for (int k = 0; k < o.keyCount; k++) ResetBox(l->keys[o.firstKey + k].bounds, 1e7f);
  }
  for (int i = 0; i < l->setCount; i++) {
    const MaylSet& s = l->sets[i];
    const MaylObject& o = l->objects[s.object];
    const MaylSurface& surf = l->surfaces[s.surface];
    for (int k = 0; k < o.keyCount; k++) {
      MaylKey* key = &l->keys[o.firstKey + k];
      if (!s.moving) {
        GrowBox(key->bounds, s.bounds);
        continue;
      }
      for (int n = 0; n < s.indexCount; n++) {
        float p[3];
        Model_KeyTransform(key, surf.vertices[surf.indices[s.firstIndex + n]].pos, p);
        GrowPoint(key->bounds, p);
      }
    }
  }
}

bool WantsVbo() {
  return RenderApi == RENDER_API_OPENGL && GlExtFlags.ARB_vertex_buffer_object &&
         strcasecmp(render_var_type.text, "VBO") == 0;
}

}  // namespace

MaylLevel* mayb_LoadBytes(const uint8_t* data, size_t size, const char* name, int withTree) {
  std::string file = std::string(name) + ".may";
  auto* l = static_cast<MaylLevel*>(Global_MallocZero(sizeof(MaylLevel), "MAYLM"));
  if (!l) {
    Log_Printf("mayb_Load: Global_Malloc error %s.\n", name);
    return nullptr;
  }
  if (!ParseLevel(l, data, size, file.c_str())) {
    mayb_FreeLevel(l);
    return nullptr;
  }
  l->uploadPending = 1;
  l->texturesPending = 1;
  if (WantsVbo()) {
    for (int i = 0; i < l->surfaceCount; i++) gl.glGenBuffersARB(1, &l->surfaces[i].buffer);
  } else if (RenderApi == RENDER_API_D3D8) {
    for (int i = 0; i < l->surfaceCount; i++) {
      MaylSurface* s = &l->surfaces[i];
      if (s->vertexCount > 0) s->buffer = Render_CreateVertexBuffer(s->vertexCount * 64, 1);
      if (s->indexCount > 0) s->d3dIndexBuffer = Render_CreateIndexBuffer(s->indexCount * 2);
    }
  }
  ComputeBounds(l);
  for (int i = 0; i < l->shaderCount; i++) {
    MaylShader* s = &l->shaders[i];
    s->blend = Model_BlendFromName(s->name, 0);
    s->surfaceType = s->name[0] ? Maya_SurfaceType(s->name) : 0;
  }
  l->spotBlend = Model_BlendFromName(l->spotShader, 1);
  for (int i = 0; i < l->setCount; i++) l->triangleCount += l->sets[i].indexCount / 3;
  for (int i = 0; i < l->objectCount; i++) {
    char before[257];
    std::memcpy(before, l->objects[i].name, sizeof before);
    Model_TrimObjectName(l->objects[i].name);
    Log_Printf("%s->%s\n", before, l->objects[i].name);
  }
  Model_LoadingTick();
  if (withTree) Maya_BuildTree(l, name);
  if (Model_PrecacheTextures()) mayb_LoadTextures(l);
  return l;
}

MaylLevel* mayb_Load(const char* name) {
  std::string file = std::string(name) + ".may";
  FileHandle* f = File_Open(file.c_str(), "rb");
  if (!f) {
    Log_Printf("mayb_Load: not found %s.\n", file.c_str());
    return nullptr;
  }
  File_Close(f);
  uint32_t size = 0;
  auto* data = static_cast<uint8_t*>(File_LoadWhole(file.c_str(), &size, "MAYLFILE"));
  if (!data) {
    Log_Printf("mayb_Load: cannot read %s.\n", file.c_str());
    return nullptr;
  }
  MaylLevel* l = mayb_LoadBytes(data, size, name, 1);
  Global_Free(data);
  return l;
}

namespace {

int LoadLevelTexture(const MaylLevel* l, const char* name) {
  if (!name[0]) return 0;
  std::string path = std::string("textures\\") + l->folder + name;
  if (path.size() >= sizeof(MaterialRecord::name)) return 0;
  int m = Material_FindByName(path.c_str());
  return m ? m : Material_Load(path.c_str());
}

std::string LevelPath(const MaylLevel* l, const char* name) {
  return name[0] ? std::string("textures\\") + l->folder + name : std::string();
}

}  // namespace

void mayb_LoadTextures(MaylLevel* l) {
  uint32_t generation = Tex_GetGeneration();
  if (!l->texturesPending && generation == l->textureGeneration) return;
  l->textureGeneration = generation;
  l->spotMaterial = LoadLevelTexture(l, l->spotTexture);
  Log_Printf("SPOTLIGHT \"%s\" %i\n", l->spotTexture, l->spotMaterial);
  for (int i = 0; i < l->objectCount; i++) {
    MaylObject* o = &l->objects[i];
    std::string light = std::string("light\\") + o->name;
    o->lightmap = LoadLevelTexture(l, light.c_str());
    Log_Printf("mayb_load:LoadTexture:light[%i][%i]:%s\n", 0, i, LevelPath(l, light.c_str()).c_str());
  }
  static const char* const kStandardKinds[5] = {"diffuse", nullptr, "reflected", "bump", "detail"};
  for (int i = 0; i < l->shaderCount; i++) {
    MaylShader* s = &l->shaders[i];
    if (s->layerCount == 0) {
      for (int k = 0; k < 5; k++) {
        if (!kStandardKinds[k]) continue;
        s->slots[k].material = LoadLevelTexture(l, s->slots[k].name);
        Log_Printf("mayb_load:LoadTexture:%s[%i]:%s\n", kStandardKinds[k], i, LevelPath(l, s->slots[k].name).c_str());
      }
    } else {
      for (int k = 0; k < s->layerCount; k++) {
        s->slots[k].material = LoadLevelTexture(l, s->slots[k].name);
        Log_Printf("mayb_load:LoadTexture:layer[%i][%i]:%s\n", i, k, LevelPath(l, s->slots[k].name).c_str());
      }
    }
  }
  l->texturesPending = 0;
}

void mayb_FreeLevel(MaylLevel* l) {
  if (!l) return;
  Maya_FreeTree(l);
  for (int i = 0; i < l->surfaceCount && l->surfaces; i++) {
    MaylSurface* s = &l->surfaces[i];
    Global_Free(s->vertices);
    Global_Free(s->indices);
    if (RenderApi == RENDER_API_OPENGL && GlExtFlags.ARB_vertex_buffer_object && s->buffer) {
      gl.glDeleteBuffersARB(1, &s->buffer);
    } else if (RenderApi == RENDER_API_D3D8) {
      if (s->buffer) Render_ReleaseBuffer(s->buffer);
      if (s->d3dIndexBuffer) Render_ReleaseBuffer(s->d3dIndexBuffer);
    }
  }
  Global_Free(l->shaders);
  Global_Free(l->surfaces);
  Global_Free(l->keys);
  Global_Free(l->objects);
  Global_Free(l->sets);
  Global_Free(l);
}
