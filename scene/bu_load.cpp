// Reading a BU model file into its native records, with every count, size and index checked, and
// the steps after the read.
#include <strings.h>

#include <cstring>
#include <string>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "scene/bu.h"
#include "scene/bu_lighting.h"
#include "scene/loadbuf.h"

int32_t BuLightingPath;

namespace {

struct BuReader : SceneReader {
  BuHeader* header = nullptr;
};

int ReadHeader(BuReader* r) {
  BuHeader* h = r->header;
  ByteReader* b = &r->in;
  h->magic = b->U32();
  h->version = b->U32();
  if (h->magic != kBuMagic || h->version != kBuVersion) {
    Log_Printf("bu_Load: wrong version in d_header %s.\n", r->path);
    return 0;
  }
  b->Take(h->unread8, sizeof h->unread8);
  b->Skip(4);  // volume slot
  Reader_Name(*b, h->textureFolder, sizeof h->textureFolder);
  h->shaderCount = b->I32();
  b->Skip(4);
  h->boneCount = b->I32();
  b->Skip(4);
  h->objectCount = b->I32();
  b->Skip(8);  // object and volume weight slots
  h->volumeWeightCount = b->I32();
  b->Skip(4);
  h->volumeRefCount = b->I32();
  b->Skip(4);
  h->volumeIndexCount = b->I32();
  b->Skip(4);
  h->volumeVertexCount = b->I32();
  b->Skip(4);  // planes slot
  if (!b->ok) return Reader_Refuse(r, "d_header");
  return 1;
}

int ReadShadersAndBones(BuReader* r) {
  BuHeader* h = r->header;
  ByteReader* b = &r->in;
  if (!Reader_CheckCount(r, h->shaderCount, kBuShaderSize, "shader count")) return 0;
  if (!Reader_Alloc(r, &h->shaders, h->shaderCount, "BUSLSHA")) return 0;
  for (int i = 0; i < h->shaderCount; ++i) {
    BuShader& s = h->shaders[i];
    Reader_Name(*b, s.name, sizeof s.name);
    b->Skip(4);  // blend kind, made from the name
    for (BuTextureSlot& slot : s.slots) {
      Reader_Name(*b, slot.name, sizeof slot.name);
      b->Skip(4);
    }
    b->Take(s.passData, sizeof s.passData);
  }
  if (!Reader_CheckCount(r, h->boneCount, kBuBoneSize, "bone count")) return 0;
  if (!Reader_Alloc(r, &h->bones, h->boneCount, "BUSLNAM")) return 0;
  for (int i = 0; i < h->boneCount; ++i) {
    BuBone& bone = h->bones[i];
    Reader_Name(*b, bone.name, sizeof bone.name);
    bone.skelBone = b->I32();
    b->F32s(bone.rotation, 9);
    b->F32s(bone.position, 3);
    b->F32s(bone.bindRotation, 9);
    b->F32s(bone.bindPosition, 3);
  }
  return 1;
}

int ReadObjectRecords(BuReader* r) {
  BuHeader* h = r->header;
  ByteReader* b = &r->in;
  if (!Reader_CheckCount(r, h->objectCount, kBuObjectSize, "object count")) return 0;
  if (!Reader_Alloc(r, &h->objects, h->objectCount, "BUSLOBJ")) return 0;
  for (int i = 0; i < h->objectCount; ++i) {
    BuObject& o = h->objects[i];
    b->Take(o.passData, sizeof o.passData);
    b->Skip(20);  // volume and first-element slots
    o.shader = b->I32();
    o.blendVertices = b->I32();
    o.vertexCount = b->I32();
    b->Skip(8);
    o.indexCount = b->I32();
    b->Skip(4);
    o.stripCount = b->I32();
    b->Skip(12);  // strip slot, vertex-array copy and generation
    o.boneCount = b->I32();
    for (int32_t& bone : o.bones) bone = b->I32();
    if (o.boneCount < 0 || o.boneCount > kBuMaxObjectBones) return Reader_Refuse(r, "object bone count");
    for (int k = 0; k < o.boneCount; ++k)
      if (o.bones[k] < 0 || o.bones[k] >= h->boneCount) return Reader_Refuse(r, "object bone list");
    for (int k = o.boneCount; k < kBuMaxObjectBones; ++k) o.bones[k] = 0;
  }
  return 1;
}

void ReadVertex(ByteReader* b, BuVertex* v, bool blend) {
  if (blend) b->Skip(4);
  b->F32s(v->position, 3);
  b->F32s(v->frame, 9);
  b->Skip(blend ? 724 : 4);
  for (BuInfluence& in : v->influences) {
    in.slot = b->I32();
    in.weight = b->F32();
  }
  b->Skip(32);
  b->F32s(v->uv, 4);
  b->Skip(20);
}

int ReadIndexList(BuReader* r, int32_t count, int32_t vertexCount, const char* tag,
                  const char* what, uint16_t** out) {
  if (!Reader_CheckCount(r, count, 2, what)) return 0;
  if (!Reader_Alloc(r, out, count, tag)) return 0;
  for (int i = 0; i < count; ++i) {
    (*out)[i] = Reader_U16(r->in);
    if ((*out)[i] >= vertexCount) return Reader_Refuse(r, what);
  }
  return 1;
}

int ReadObjectData(BuReader* r) {
  BuHeader* h = r->header;
  int64_t vertexTotal = 0;
  for (int i = 0; i < h->objectCount; ++i) {
    BuObject& o = h->objects[i];
    bool blend = o.blendVertices != 0;
    size_t vertexSize = blend ? kBuBlendVertexSize : kBuVertexSize;
    if (!Reader_CheckCount(r, o.vertexCount, vertexSize, "object vertex count")) return 0;
    vertexTotal += o.vertexCount;
    if (vertexTotal > kBuMaxVertices) return Reader_Refuse(r, "vertex total (more than 32768)");
    if (!Reader_Alloc(r, &o.vertices, o.vertexCount, blend ? "BUSLBLE" : "BUSLVTX")) return 0;
    for (int k = 0; k < o.vertexCount; ++k) {
      ReadVertex(&r->in, &o.vertices[k], blend);
      for (const BuInfluence& in : o.vertices[k].influences)
        if (in.slot < 0 || in.slot >= kBuMaxObjectBones || (in.weight != 0.0f && in.slot >= o.boneCount))
          return Reader_Refuse(r, "vertex influence slot");
    }
    if (!ReadIndexList(r, o.indexCount, o.vertexCount, "BUSLIND", "object index", &o.indices)) return 0;
    if (!ReadIndexList(r, o.stripCount, o.vertexCount, "BUSLSTR", "object strip index", &o.strips))
      return 0;
  }
  return 1;
}

int ReadVolume(BuReader* r) {
  BuHeader* h = r->header;
  ByteReader* b = &r->in;
  if (!Reader_CheckCount(r, h->volumeWeightCount, 16, "volume weight count")) return 0;
  if (!Reader_Alloc(r, &h->volumeWeights, int64_t(h->volumeWeightCount) * 4, "BUVWEI")) return 0;
  b->F32s(h->volumeWeights, size_t(h->volumeWeightCount) * 4);
  if (!Reader_CheckCount(r, h->volumeRefCount, 4, "volume bone reference count")) return 0;
  if (!Reader_Alloc(r, &h->volumeRefs, h->volumeRefCount, "BUVMAT")) return 0;
  for (int i = 0; i < h->volumeRefCount; ++i) {
    h->volumeRefs[i] = b->I32();
    if (h->volumeRefs[i] < -1 || h->volumeRefs[i] >= h->boneCount)
      return Reader_Refuse(r, "volume bone reference");
  }
  if (!Reader_CheckCount(r, h->volumeIndexCount, 4, "volume index count")) return 0;
  if (!Reader_Alloc(r, &h->volumeIndices, h->volumeIndexCount, "BUVIND")) return 0;
  for (int i = 0; i < h->volumeIndexCount; ++i) h->volumeIndices[i] = b->U32();
  if (!Reader_CheckCount(r, h->volumeVertexCount, 16, "volume vertex count")) return 0;
  for (int i = 0; i < h->volumeIndexCount; ++i)
    if (h->volumeIndices[i] >= uint32_t(h->volumeVertexCount)) return Reader_Refuse(r, "volume index");
  if (!Reader_Alloc(r, &h->volumeVertices, int64_t(h->volumeVertexCount) * 8, "BUVVRT")) return 0;
  b->F32s(h->volumeVertices, size_t(h->volumeVertexCount) * 4);
  return 1;
}

void FreeVolumeArrays(BuHeader* h) {
  for (void** p : {(void**)&h->volumeWeights, (void**)&h->volumeRefs, (void**)&h->volumeRefBones,
                   (void**)&h->volumeIndices, (void**)&h->volumeVertices, (void**)&h->volumePlanes}) {
    if (*p) Global_Free(*p);
    *p = nullptr;
  }
  h->volumeWeightCount = h->volumeRefCount = h->volumeIndexCount = h->volumeVertexCount = 0;
}

// The volume mesh must list the objects' triangles (three indices each) and give every volume
// vertex its run of bone references, with one weight per reference. A mesh that does not is
// dropped: the model loads without shadows.
bool CheckVolumeMatches(BuModel* model, const char* path) {
  BuHeader* h = model->header;
  const char* fault = nullptr;
  if (int64_t(h->volumeIndexCount) != int64_t(model->triangleTotal) * 3) {
    fault = "index count is not three per triangle";
  } else if (h->volumeWeightCount != h->volumeRefCount) {
    fault = "weight count differs from the bone reference count";
  } else {
    int32_t at = 0;
    for (int v = 0; v < h->volumeVertexCount && !fault; ++v) {
      while (at < h->volumeRefCount && h->volumeRefs[at] != -1) ++at;
      if (at >= h->volumeRefCount) fault = "bone references end before the vertices";
      ++at;
    }
  }
  if (!fault) return true;
  Log_Printf("bu_Load: volume mesh of %s dropped (%s); no shadows.\n", path, fault);
  FreeVolumeArrays(h);
  return false;
}

}  // namespace

int bu_ShaderBlendFromName(const char* name) {
  if (!name) return 0;
  size_t n = std::strlen(name);
  auto endsWith = [&](const char* end) {
    size_t e = std::strlen(end);
    return n > e && strcasecmp(name + n - e, end) == 0;
  };
  int mode = 0;
  if (endsWith("_ADD")) mode = 1;
  if (endsWith("_MUL")) mode = 2;
  if (endsWith("_MUL2")) mode = 4;
  if (endsWith("_ALPHA")) mode = 5;
  return mode;
}

void bu_ParseShaderBlend(BuModel* model) {
  BuHeader* h = model->header;
  for (int i = 0; i < h->shaderCount; ++i) h->shaders[i].blend = bu_ShaderBlendFromName(h->shaders[i].name);
}

void bu_PrepareMeshes(BuModel* model) {
  BuHeader* h = model->header;
  if (h->volumeRefCount > 0) {
    h->volumeRefBones =
        static_cast<BuBone**>(Global_MallocZero(size_t(h->volumeRefCount) * sizeof(BuBone*), "BUVMATP"));
    for (int i = 0; h->volumeRefBones && i < h->volumeRefCount; ++i)
      h->volumeRefBones[i] = h->volumeRefs[i] < 0 ? nullptr : &h->bones[h->volumeRefs[i]];
  }
  int32_t vertex = 0, triangle = 0, strip = 0;
  for (int i = 0; i < h->objectCount; ++i) {
    BuObject& o = h->objects[i];
    o.firstVertex = vertex;
    o.firstTriangle = triangle;
    o.firstStrip = strip;
    for (int k = 0; k < o.indexCount; ++k) o.indices[k] = uint16_t(o.indices[k] + vertex);
    for (int k = 0; k < o.stripCount; ++k) o.strips[k] = uint16_t(o.strips[k] + vertex);
    vertex += o.vertexCount;
    triangle += o.indexCount / 3;
    strip += o.stripCount ? o.stripCount : o.indexCount;
  }
  model->vertexTotal = vertex;
  model->triangleTotal = triangle;
}

void bu_FreeModel(BuModel* model) {
  if (!model) return;
  bu_FreeLightingResources(model);
  if (BuHeader* h = model->header) {
    if (model->frontFacing) Global_Free(model->frontFacing);
    model->frontFacing = nullptr;
    FreeVolumeArrays(h);
    bu_FreeShadowVolume(model);
    for (int i = 0; h->objects && i < h->objectCount; ++i) {
      BuObject& o = h->objects[i];
      if (o.vertices) Global_Free(o.vertices);
      if (o.indices) Global_Free(o.indices);
      if (o.strips) Global_Free(o.strips);
    }
    if (h->objects) Global_Free(h->objects);
    if (h->shaders) Global_Free(h->shaders);
    if (h->bones) Global_Free(h->bones);
    Global_Free(h);
    model->header = nullptr;
  }
  Global_Free(model);
}

BuModel* bu_Load(const char* name) {
  if (!name) return nullptr;
  std::string path = std::string(name) + ".bu";
  auto* model = static_cast<BuModel*>(Global_MallocZero(sizeof(BuModel), "BUSLM"));
  if (!model) {
    Log_Printf("bu_Load: Global_Malloc error %s.\n", path.c_str());
    return nullptr;
  }
  BuReader r{};
  r.who = "bu_Load";
  r.path = path.c_str();
  uint8_t* bytes = Reader_OpenFile(&r, "BUSLFIL");
  if (!bytes) {
    Global_Free(model);
    return nullptr;
  }
  r.header = model->header = static_cast<BuHeader*>(Global_MallocZero(sizeof(BuHeader), "BUSLHDR"));
  if (!r.header) {
    Log_Printf("bu_Load: Global_Malloc in d_header %s.\n", r.path);
    Global_Free(bytes);
    Global_Free(model);
    return nullptr;
  }
  int ok = ReadHeader(&r) && ReadShadersAndBones(&r) && ReadObjectRecords(&r) && ReadObjectData(&r) &&
           ReadVolume(&r);
  Global_Free(bytes);
  if (!ok) {
    bu_FreeModel(model);
    return nullptr;
  }
  bu_ParseShaderBlend(model);
  bu_SelectLightingPath(model);
  bu_PrepareMeshes(model);
  bool volumeUsable = CheckVolumeMatches(model, r.path);
  BuHeader* h = model->header;
  int32_t volumeTriangles = h->volumeIndexCount / 3;
  if (volumeTriangles > 0) {
    if (!Reader_Alloc(&r, &h->volumePlanes, int64_t(volumeTriangles) * 4, "BUVPLA") ||
        !Reader_Alloc(&r, &model->frontFacing, volumeTriangles, "BUVFRO")) {
      bu_FreeModel(model);
      return nullptr;
    }
  }
  if (volumeUsable) bu_BuildShadowVolume(model);
  model->texturesNeeded = 1;
  model->uploadNeeded = 1;
  return model;
}
