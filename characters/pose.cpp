#include "characters/pose.h"

#include <cmath>
#include <cstring>

#include "characters/person.h"
#include "foundation/mem.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "world/object.h"

namespace {

// The object's pose pointer points at the block's first member.
struct PoseBlock {
  BonePose pose[kSkelMaxBones];
  Animation* anims[kPersonAnims];
  ModelDrawParams params;
};

PoseBlock* Block(GameObject* obj) { return reinterpret_cast<PoseBlock*>(obj->pose); }

PoseBlock* MakeBlock(GameObject* obj) {
  if (!obj->pose) {
    auto* b = static_cast<PoseBlock*>(Global_MallocZero(sizeof(PoseBlock), "CHRPOSE"));
    if (!b) return nullptr;
    obj->pose = b->pose;
  }
  return Block(obj);
}

}  // namespace

void Pose_LoadSkeleton(GameObject* obj, const char* name) {
  obj->skeleton = name && name[0] ? Skel_Get(name) : nullptr;
  PoseBlock* b = MakeBlock(obj);
  if (b && obj->skeleton)
    std::memcpy(b->pose, obj->skeleton->bindPose, sizeof(BonePose) * size_t(obj->skeleton->boneCount));
}

void Pose_LoadAnim(GameObject* obj, int slot, const char* name) {
  PoseBlock* b = MakeBlock(obj);
  if (!b || slot < 0 || slot >= kPersonAnims) return;
  b->anims[slot] = name && name[0] ? Anim_Get(name) : nullptr;
}

void Pose_Update(GameObject* obj, int slot, float time, bool loop, float duration) {
  PoseBlock* b = Block(obj);
  if (!b || !obj->skeleton || slot < 0 || slot >= kPersonAnims) return;
  const Animation* anim = b->anims[slot];
  if (!anim || anim->boneCount != obj->skeleton->boneCount) {
    std::memcpy(b->pose, obj->skeleton->bindPose, sizeof(BonePose) * size_t(obj->skeleton->boneCount));
    return;
  }
  if (!(duration > 0)) duration = float(anim->lastFrame > 0 ? anim->lastFrame : 1) / 30.0f;
  float phase = time / duration;
  phase = loop ? phase - std::floor(phase) : std::fmin(phase, 1.0f);
  // A cycle whose root travels (a run) keeps the root over the body's origin.
  float offset[3] = {0, 0, 0};
  if (loop) {
    float first[3], last[3];
    Anim_GetKeyPosition(anim, 0, 0, first);
    Anim_GetKeyPosition(anim, 0, anim->lastFrame, last);
    for (int k = 0; k < 3; k++) offset[k] = -phase * (last[k] - first[k]);
  }
  Anim_EvalPose(obj->skeleton, anim, phase, offset, b->pose, loop ? 1 : 0);
}

void Pose_Draw(GameObject* obj, ViewParams* view, ModelObject* model) {
  if (!model) model = obj->drawModel;
  PoseBlock* b = Block(obj);
  if (!model || !b) return;
  ModelDrawParams& p = b->params;
  p.skeleton = obj->skeleton;
  p.poseA = obj->skeleton ? b->pose : nullptr;
  p.poseB = nullptr;
  p.position = obj->origin;
  // A body that physics moves (or moved, before it was let go far away) lies as its box lies; a
  // standing character turns by its yaw alone, its pitch being where it looks.
  const bool physical = obj->physicsBody || obj->bodyReleased;
  p.angles = physical ? obj->angles : vec3{obj->angles.x, 0, 0};
  p.scale = vec3{1, 1, 1};
  p.lightingMode = 1;
  p.drawValues[0] = 1.0f;
  model->Draw(model, &p, view);
}

void Pose_Free(GameObject* obj) {
  if (!obj->pose) return;
  Global_Free(Block(obj));
  obj->pose = nullptr;
  Model_Release(&obj->skeleton);
}
