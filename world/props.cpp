#include "world/props.h"

#include <cmath>
#include <utility>

#include "scene/model.h"
#include "scene/view.h"
#include "world/level.h"
#include "world/trace.h"

// The models of the three names (none for an empty name) and the pose block at the object.
void Prop_InitModels(GameObject* o) {
  PropState& p = o->prop;
  o->drawModel = p.modelName[0] ? Model_Get(p.modelName) : nullptr;
  o->clipModel = p.clipName[0] ? Model_Get(p.clipName) : nullptr;
  o->clipModel2 = p.clip2Name[0] ? Model_Get(p.clip2Name) : nullptr;
  p.poseOrigin = o->origin;
  p.poseAngles = o->angles;
  p.poseScale = vec3{1, 1, 1};
  p.poseOffset = vec3{0, 0, 0};
}

void Prop_Animate(GameObject* o) {
  if (!(o->flags & OBJ_ACTIVE)) return;
  o->prop.poseOrigin = o->origin;
  o->prop.poseAngles = o->angles;
  o->prop.poseScale = vec3{1, 1, 1};
  o->prop.poseOffset = vec3{0, 0, 0};
}

// One record for the draws and traces of props (the model reads it during the call only).
static ModelDrawParams g_propParams;

static ModelDrawParams* Prop_Params(const GameObject* o) {
  ModelDrawParams& p = g_propParams;
  p.skeleton = nullptr;
  p.poseA = p.poseB = nullptr;
  p.position = o->prop.poseOrigin;
  p.angles = o->prop.poseAngles;
  p.scale = o->prop.poseScale;
  p.offset = o->prop.poseOffset;
  p.drawValues[0] = 1.0f;
  for (int i = 1; i < kModelMorphWeights; i++) p.drawValues[i] = 0;
  p.farDistance = 0;
  p.texSubstitutionCount = 0;
  p.instances = nullptr;
  p.instanceCount = 0;
  return &p;
}

// The plain world prop: its own model with the pose block.
void World_Draw(GameObject* o, ViewParams* view) {
  if (!(o->flags & OBJ_ACTIVE) || !o->prop.visible || o->person.state != 1 || !o->drawModel) return;
  ModelDrawParams* p = Prop_Params(o);
  p->lightingMode = o->prop.dynamicLight ? 3 : 1;
  // Animated models run on the player's clock for this draw.
  float time = view ? view->time : 0;
  if (view && Obj_Player) view->time = float(Obj_Player->person.clock);
  o->drawModel->Draw(o->drawModel, p, view);
  if (view) view->time = time;
}

// Props and doors: solid objects when the mask asks for them; their clip box or their clip model.
static void Prop_Clip(GameObject* o, TraceRequest* tr) {
  if (o->prop.solid == 0 || !Obj_ClipAllowed(o, tr, TRACE_ANIMS)) return;
  tr->candidate = o;
  if (o->hasClipBox) {
    if (o->classNum == WORLD && (tr->mask & TRACE_COLLISION_MODEL) && o->prop.solid != 1) return;
    Obj_ClipOwnBox(o, tr);
    return;
  }
  ModelObject* model = (tr->mask & TRACE_COLLISION_MODEL) ? o->clipModel2 : o->clipModel;
  if (model) model->Trace(model, Prop_Params(o), tr);
}

void World_Clip(GameObject* o, TraceRequest* tr) { Prop_Clip(o, tr); }

void World_Think(GameObject*) {}
void World_Use(GameObject*, GameObject*, int32_t) {}
void World_Info(GameObject*, const void*, void*) {}

// The models, the group name and, when the object sets a fog end, the level's fog.
void World_Init(GameObject* o) {
  Prop_InitModels(o);
  if (o->useGroupName[0]) o->useGroupIndex = ObjGroup_Add(o->useGroupName, o);
  const PropState& p = o->prop;
  if (p.fogEnd[0] != 0) {
    for (int s = 0; s < 2; s++) {
      for (int i = 0; i < 3; i++) Level_FogSets[s].color[i] = p.fogColor[s][i] / 255.0f;
      Level_FogSets[s].color[3] = 1.0f;
      Level_FogSets[s].start = p.fogStart[s];
      Level_FogSets[s].end = p.fogEnd[s];
    }
    Level_FogFlag = 1;
  }
}
void AnimObj_Animate(GameObject*) {}
void AnimObj_Draw(GameObject*, ViewParams*) {}
void AnimObj_Clip(GameObject* o, TraceRequest* tr) { Prop_Clip(o, tr); }
void AnimObj_Free(GameObject*) {}
void AnimObj_Think(GameObject*) {}
void AnimObj_Info(GameObject*, const void*, void*) {}
void AnimObj_Init(GameObject* o) { Prop_InitModels(o); }
void Door_Animate(GameObject*) {}
void Door_Draw(GameObject*, ViewParams*) {}
void Door_Think(GameObject*) {}
void Door_Use(GameObject*, GameObject*, int32_t) {}
void Door_Info(GameObject*, const void*, void*) {}
void Door_Init(GameObject* o) {
  Prop_InitModels(o);
  if (o->useGroupName[0]) o->useGroupIndex = ObjGroup_Add(o->useGroupName, o);
  if (o->useGroup2Name[0]) o->useGroup2Index = ObjGroup_Add(o->useGroup2Name, o);
}
