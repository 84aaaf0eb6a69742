// ".mp" models: loading, textures and release.
#include <cstdio>
#include <cstring>
#include <string>
#include <strings.h>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "scene/mdlbytes.h"
#include "scene/model.h"
#include "scene/model_kernels.h"
#include "scene/mp.h"

namespace {

// Checks a bad file reports: the fault goes to the log with the file name.
bool Refuse(const char* fileName, const char* fault) {
  Log_Printf("mp_Load: %s: %s.\n", fileName, fault);
  return false;
}

bool ReadMat(ByteReader* r, mat3* m) { return MdlReader_Floats(r, &m->m[0][0], 9); }
bool ReadVec(ByteReader* r, vec3* v) { return MdlReader_Floats(r, &v->x, 3); }

bool ReadShader(ByteReader* r, MpShader* s, const char* file) {
  bool named = MdlReader_Name(r, s->name, 56);
  s->twoSided = r->I32();
  r->I32();  // run-time blend word
  for (MpSlot& slot : s->slots) {
    if (!MdlReader_Name(r, slot.name, 48)) named = false;
    r->U32();  // run-time hash
    slot.clampU = r->I32();
    slot.clampV = r->I32();
    r->I32();  // run-time material
  }
  r->Skip(192);
  return named || Refuse(file, "shader name not ended within its field");
}

bool ReadFrame(ByteReader* r, MpFrame* f, const char* file) {
  bool named = MdlReader_Name(r, f->bone, 64);
  r->Skip(4 + 36 + 12);  // run-time bone index, rotation, position
  f->boneIndex = -2;
  Mat_Identity(&f->rot);
  f->pos = vec3{0, 0, 0};
  bool finite = ReadMat(r, &f->relRot) & ReadVec(r, &f->relPos);
  if (!named) return Refuse(file, "frame bone name not ended within its field");
  return finite || Refuse(file, "frame transform not finite");
}

bool ReadInfluences(ByteReader* r, int32_t count, MpInfluence* inf, int32_t frameCount, const char* file) {
  bool good = true;
  for (int i = 0; i < kMpMaxInfluences; i++) {
    inf[i].frame = r->I32();
    inf[i].weight = r->F32();
    if (i >= count) {
      inf[i].frame = 0;
      inf[i].weight = 0.0f;
    } else if (inf[i].frame < 0 || inf[i].frame >= frameCount || !std::isfinite(inf[i].weight)) {
      good = false;
    }
  }
  return good || Refuse(file, "influence frame out of range or weight not finite");
}

// What both vertex kinds end with: the influences, the texture coordinates and 28 unused bytes.
// `finite` says whether the positions and normals read before were all finite.
template <typename V>
bool ReadVertexTail(ByteReader* r, V* v, bool finite, int32_t frameCount, const char* file) {
  v->influenceCount = r->I32();
  if (v->influenceCount < 0 || v->influenceCount > kMpMaxInfluences) return Refuse(file, "influence count outside 0..8");
  if (!ReadInfluences(r, v->influenceCount, v->influences, frameCount, file)) return false;
  v->u = r->F32();
  v->v = r->F32();
  r->Skip(28);
  if (!finite || !std::isfinite(v->u) || !std::isfinite(v->v)) return Refuse(file, "vertex not finite");
  return true;
}

bool ReadObjectData(ByteReader* r, MpObject* o, int32_t frameCount, const char* file) {
  if (o->kind == 0) {
    if (!MdlReader_Holds(r, o->vertexCount, kMpWeightedVertexSize)) return Refuse(file, "vertex count beyond the file");
    if (!MdlReader_Alloc(&o->vertices, o->vertexCount, "MPVERT")) return Refuse(file, "out of memory");
    for (int i = 0; i < o->vertexCount; i++) {
      MpWeightedVertex* v = &o->vertices[i];
      bool finite = ReadVec(r, &v->pos) & ReadVec(r, &v->normal);
      if (!ReadVertexTail(r, v, finite, frameCount, file)) return false;
    }
  } else {
    if (!MdlReader_Holds(r, o->vertexCount, kMpMorphVertexSize)) return Refuse(file, "vertex count beyond the file");
    if (!MdlReader_Alloc(&o->morphVertices, o->vertexCount, "MPBLEND")) return Refuse(file, "out of memory");
    for (int i = 0; i < o->vertexCount; i++) {
      MpMorphVertex* v = &o->morphVertices[i];
      v->shapeCount = r->I32();
      if (v->shapeCount < 1 || v->shapeCount > kMpMaxShapes) return Refuse(file, "shape count outside 1..16");
      bool finite = true;
      for (int s = 0; s < kMpMaxShapes; s++) {
        bool f = ReadVec(r, &v->shapes[s].pos) & ReadVec(r, &v->shapes[s].normal);
        if (s >= v->shapeCount) v->shapes[s] = MpShape{};
        else finite = finite && f;
      }
      if (!ReadVertexTail(r, v, finite, frameCount, file)) return false;
    }
  }
  if (!MdlReader_Holds(r, o->pieCount, kMpPieSize)) return Refuse(file, "pie count beyond the file");
  if (!MdlReader_Alloc(&o->pies, o->pieCount, "MPPIE")) return Refuse(file, "out of memory");
  for (int i = 0; i < o->pieCount; i++) {
    MpPie* p = &o->pies[i];
    p->kind = r->I32();
    p->frame = r->I32();
    r->I32();
    p->morphs = r->I32();
    r->Skip(8);
    p->firstVertex = r->I32();
    p->vertexCount = r->I32();
    p->firstIndex = r->I32();
    p->indexCount = r->I32();
    p->firstStrip = r->I32();
    p->stripCount = r->I32();
    r->Skip(40);
    if (p->kind < 1 || p->kind > 3) return Refuse(file, "pie kind outside 1..3");
    if (p->kind == 1 && (p->frame < 0 || p->frame >= frameCount)) return Refuse(file, "pie frame out of range");
    if (!Model_RangeFits(p->firstVertex, p->vertexCount, o->vertexCount) ||
        !Model_RangeFits(p->firstIndex, p->indexCount, o->indexCount) ||
        !Model_RangeFits(p->firstStrip, p->stripCount, o->stripCount))
      return Refuse(file, "pie range outside its object");
    if (p->indexCount % 3 != 0) return Refuse(file, "pie index count not a multiple of 3");
  }
  for (int pass = 0; pass < 2; pass++) {
    int32_t count = pass == 0 ? o->indexCount : o->stripCount;
    if (!MdlReader_Holds(r, count, 2)) return Refuse(file, "index count beyond the file");
    if (count <= 0) continue;
    auto* idx = static_cast<uint16_t*>(Global_Malloc(2 * size_t(count), pass == 0 ? "MPIND" : "MPSTPIP"));
    if (!idx) return Refuse(file, "out of memory");
    (pass == 0 ? o->indices : o->strips) = idx;
    for (int i = 0; i < count; i++) {
      idx[i] = MdlReader_U16(r);
      if (idx[i] >= o->vertexCount) return Refuse(file, "index beyond the vertex count");
    }
  }
  return r->ok || Refuse(file, "file ends early");
}

bool ParseModel(MpModel* m, const uint8_t* data, size_t size, const char* file) {
  ByteReader r(data, size);
  uint32_t magic = r.U32();
  int32_t version = r.I32();
  if (!r.ok || magic != kMpMagic || version != kMpVersion) {
    Log_Printf("mp_Load: wrong id %s.\n", file);
    return false;
  }
  if (!MdlReader_Name(&r, m->name, 64)) return Refuse(file, "model name not ended within its field");
  m->shaderCount = r.I32();
  r.U32();
  m->frameCount = r.I32();
  r.U32();
  m->objectCount = r.I32();
  r.U32();
  if (!r.ok) return Refuse(file, "file ends early");
  if (!MdlReader_Holds(&r, m->shaderCount, kMpShaderSize)) return Refuse(file, "shader count beyond the file");
  if (!MdlReader_Alloc(&m->shaders, m->shaderCount, "MPSHA")) return Refuse(file, "out of memory");
  for (int i = 0; i < m->shaderCount; i++)
    if (!ReadShader(&r, &m->shaders[i], file)) return false;
  if (!MdlReader_Holds(&r, m->frameCount, kMpFrameSize)) return Refuse(file, "frame count beyond the file");
  if (!MdlReader_Alloc(&m->frames, m->frameCount, "MPNAM")) return Refuse(file, "out of memory");
  for (int i = 0; i < m->frameCount; i++)
    if (!ReadFrame(&r, &m->frames[i], file)) return false;
  if (!MdlReader_Holds(&r, m->objectCount, kMpObjectSize)) return Refuse(file, "object count beyond the file");
  if (!MdlReader_Alloc(&m->objects, m->objectCount, "MPOBJ")) return Refuse(file, "out of memory");
  for (int i = 0; i < m->objectCount; i++) {
    MpObject* o = &m->objects[i];
    r.Skip(32);
    o->shader = r.I32();
    o->kind = r.I32();
    o->pieCount = r.I32();
    r.U32();
    o->vertexCount = r.I32();
    r.Skip(8);
    o->indexCount = r.I32();
    r.U32();
    o->stripCount = r.I32();
    r.Skip(12);
  }
  for (int i = 0; i < m->objectCount; i++)
    if (!ReadObjectData(&r, &m->objects[i], m->frameCount, file)) return false;
  return r.ok || Refuse(file, "file ends early");
}

// The influence histogram of one pie's vertices: counts[n] = vertices with n influences.
void CountInfluences(const MpObject* o, const MpPie* p, int counts[9]) {
  for (int i = p->firstVertex; i < p->firstVertex + p->vertexCount; i++)
    counts[o->kind == 0 ? o->vertices[i].influenceCount : o->morphVertices[i].influenceCount]++;
}

void LogHistogram(const char* head, int index, const int counts[9]) {
  int last = 0;
  for (int n = 1; n <= 8; n++)
    if (counts[n]) last = n;
  std::string line;
  char buf[32];
  for (int n = 1; n <= last; n++) {
    std::snprintf(buf, sizeof buf, "%i,", counts[n]);
    line += buf;
  }
  if (index >= 0) Log_Printf(head, index);
  else Log_Printf(head, "");
  Log_Printf("%s\n", line.c_str());
}

void DumpModel(const MpModel* m) {
  int model[9] = {};
  Log_Printf("   Model[%s]:", m->name);
  std::string pieLines;
  for (int i = 0; i < m->objectCount; i++) {
    const MpObject* o = &m->objects[i];
    int object[9] = {};
    for (int p = 0; p < o->pieCount; p++) CountInfluences(o, &o->pies[p], object);
    for (int n = 0; n < 9; n++) model[n] += object[n];
  }
  LogHistogram("%s", -1, model);
  for (int i = 0; i < m->objectCount; i++) {
    const MpObject* o = &m->objects[i];
    int object[9] = {};
    for (int p = 0; p < o->pieCount; p++) CountInfluences(o, &o->pies[p], object);
    LogHistogram("      Object[%i]:", i, object);
    for (int p = 0; p < o->pieCount; p++) {
      int pie[9] = {};
      CountInfluences(o, &o->pies[p], pie);
      LogHistogram("         Pie[%i]:", p, pie);
    }
  }
}

bool WantsVbo() {
  return RenderApi == RENDER_API_OPENGL && GlExtFlags.ARB_vertex_buffer_object &&
         strcasecmp(render_var_type.text, "VBO") == 0;
}

}  // namespace

MpModel* mp_LoadBytes(const uint8_t* data, size_t size, const char* fileName) {
  auto* m = static_cast<MpModel*>(Global_MallocZero(sizeof(MpModel), "MPLD"));
  if (!m) {
    Log_Printf("mp_Load: Global_Malloc error %s.\n", fileName);
    return nullptr;
  }
  if (!ParseModel(m, data, size, fileName)) {
    mp_FreeModel(m);
    return nullptr;
  }
  if (m->objectCount > 0) {
    m->staticBuffers = static_cast<uint32_t*>(Global_MallocZero(4 * size_t(m->objectCount), "MPVO"));
    m->streamBuffers = static_cast<uint32_t*>(Global_MallocZero(4 * size_t(m->objectCount), "MPVO"));
    if (!m->staticBuffers || !m->streamBuffers) {
      Log_Printf("mp_Load: Global_Malloc error %s.\n", fileName);
      mp_FreeModel(m);
      return nullptr;
    }
  }
  if (WantsVbo()) {
    for (int i = 0; i < m->objectCount; i++) {
      gl.glGenBuffersARB(1, &m->staticBuffers[i]);
      gl.glGenBuffersARB(1, &m->streamBuffers[i]);
    }
  } else if (RenderApi == RENDER_API_D3D8) {
    for (int i = 0; i < m->objectCount; i++) {
      MpObject* o = &m->objects[i];
      if (o->vertexCount > 0) o->d3dVertexBuffer = Render_CreateVertexBuffer(o->vertexCount * int(kMpDrawVertexSize), 0);
      if (o->indexCount > 0) o->d3dIndexBuffer = Render_CreateIndexBuffer(o->indexCount * 2);
    }
  }
  Model_LoadingTick();
  for (int i = 0; i < m->shaderCount; i++) m->shaders[i].blend = Model_BlendFromName(m->shaders[i].name, 0);
  if (Sys_Debug.debugMem) DumpModel(m);
  m->morphWeights[0] = 1.0f;
  m->skeletonNumber = -1;
  m->uploadPending = 1;
  m->texturesPending = 1;
  if (Model_PrecacheTextures()) mp_LoadTextures(m);
  return m;
}

MpModel* mp_Load(const char* name) {
  std::string file = std::string(name) + ".mp";
  uint32_t size = 0;
  // A missing file and an unreadable one are told apart for the log.
  FileHandle* f = File_Open(file.c_str(), "rb");
  if (!f) {
    Log_Printf("mp_Load: not found %s.\n", file.c_str());
    return nullptr;
  }
  File_Close(f);
  auto* data = static_cast<uint8_t*>(File_LoadWhole(file.c_str(), &size, "MPFILE"));
  if (!data) {
    Log_Printf("mp_Load: cannot read %s.\n", file.c_str());
    return nullptr;
  }
  MpModel* m = mp_LoadBytes(data, size, file.c_str());
  Global_Free(data);
  return m;
}

void mp_LoadTextures(MpModel* m) {
  uint32_t generation = Tex_GetGeneration();
  if (!m->texturesPending && generation == m->textureGeneration) return;
  m->textureGeneration = generation;
  for (int i = 0; i < m->shaderCount; i++) {
    for (MpSlot& slot : m->shaders[i].slots) {
      if (!slot.name[0]) {
        slot.hash = 0;
        slot.material = 0;
        continue;
      }
      std::string path = std::string("textures\\") + slot.name;
      slot.hash = Name_HashStr(path.c_str());
      slot.material = Material_Load(path.c_str());
    }
  }
  m->texturesPending = 0;
}

void mp_FreeModel(MpModel* m) {
  if (!m) return;
  for (int i = 0; i < m->objectCount && m->objects; i++) {
    MpObject* o = &m->objects[i];
    if (RenderApi == RENDER_API_OPENGL && GlExtFlags.ARB_vertex_buffer_object && m->staticBuffers) {
      if (m->staticBuffers[i]) gl.glDeleteBuffersARB(1, &m->staticBuffers[i]);
      if (m->streamBuffers[i]) gl.glDeleteBuffersARB(1, &m->streamBuffers[i]);
    }
    if (o->d3dVertexBuffer) Render_ReleaseBuffer(o->d3dVertexBuffer);
    if (o->d3dIndexBuffer) Render_ReleaseBuffer(o->d3dIndexBuffer);
    Global_Free(o->vertices);
    Global_Free(o->morphVertices);
    Global_Free(o->pies);
    Global_Free(o->indices);
    Global_Free(o->strips);
    Global_Free(o->ownCopy);
  }
  Global_Free(m->staticBuffers);
  Global_Free(m->streamBuffers);
  Global_Free(m->objects);
  Global_Free(m->frames);
  Global_Free(m->shaders);
  Global_Free(m);
}

ModelObject* mp_CreateModel(const char* name) {
  auto* model = static_cast<ModelObject*>(Global_MallocZero(sizeof(ModelObject), "MPL"));
  if (!model) return nullptr;
  MpModel* m = mp_Load(name);
  if (!m) {
    Global_Free(model);
    return nullptr;
  }
  model->Query = Model_NoQuery;
  model->Draw = mp_Draw;
  model->Trace = Model_NoTrace;
  model->Free = mp_Free;
  model->data = m;
  return model;
}

void mp_Free(ModelObject** model) {
  if (!model || !*model) return;
  mp_FreeModel(static_cast<MpModel*>((*model)->data));
  Global_Free(*model);
  *model = nullptr;
}
