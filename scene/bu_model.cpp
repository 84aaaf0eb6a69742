// A BU model as a registry model: its shader materials and the handle.
#include <cstdio>
#include <cstring>

#include "foundation/mem.h"
#include "render/material.h"
#include "render/texture.h"
#include "scene/bu.h"
#include "scene/model.h"
#include "scene/skeleton.h"

void bu_RefreshMaterials(BuModel* model) {
  if (!model || !model->header) return;
  uint32_t generation = Tex_GetGeneration();
  if (!model->texturesNeeded && model->textureGeneration == generation) return;
  model->textureGeneration = generation;
  BuHeader* h = model->header;
  for (int i = 0; i < h->shaderCount; ++i)
    for (BuTextureSlot& slot : h->shaders[i].slots) {
      if (!slot.name[0]) {
        slot.material = 0;
        continue;
      }
      char path[16 + sizeof h->textureFolder + sizeof slot.name];
      std::snprintf(path, sizeof path, "textures\\%s%s", h->textureFolder, slot.name);
      slot.material = Material_Load(path);
    }
  model->texturesNeeded = 0;
}

void bu_BindBones(BuModel* model, const Skeleton* skeleton) {
  if (!model || !model->header || !skeleton) return;
  BuHeader* h = model->header;
  bool other = model->skeletonId != skeleton->number;
  for (int i = 0; i < h->boneCount; ++i) {
    BuBone& bone = h->bones[i];
    if (!other && bone.skelBone != -2) continue;
    bone.skelBone = -1;
    for (int k = 0; k < skeleton->boneCount; ++k)
      if (std::strncmp(bone.name, skeleton->bones[k].name, sizeof bone.name) == 0) {
        bone.skelBone = k;
        break;
      }
  }
  model->skeletonId = skeleton->number;
}

ModelObject* bu_CreateModel(const char* name) {
  auto* m = static_cast<ModelObject*>(Global_MallocZero(sizeof(ModelObject), "BUS"));
  if (!m) return nullptr;
  BuModel* model = bu_Load(name);
  if (!model) {
    Global_Free(m);
    return nullptr;
  }
  model->owner = m;
  m->Query = Model_NoQuery;
  m->Draw = bu_Draw;
  m->Trace = Model_NoTrace;
  m->Free = bu_Free;
  m->data = model;
  return m;
}

void bu_Free(ModelObject** pm) {
  if (!pm || !*pm) return;
  bu_FreeModel(static_cast<BuModel*>((*pm)->data));
  Global_Free(*pm);
  *pm = nullptr;
}
