// Skeletons (".sk"), animations (".am"), their caches, pose evaluation and bone matrices.
//
// Quaternions are four floats x, y, z, w. Rotation matrices are mat3 (rows right, forward, up).
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

// One bone's pose relative to its parent (32 bytes, the layout of a bind-pose record).
struct BonePose {
  float rotation[4];
  float position[3];
  float unused;
};

constexpr int kSkelNameSize = 28;
constexpr int kSkelMaxBones = 150;  // the draw arrays hold 150 bones

struct SkeletonBone {
  char name[kSkelNameSize];        // always zero-terminated
  int32_t positionFlag;            // 1: the animation's position keys move this bone
  char parentName[kSkelNameSize];  // always zero-terminated
  int32_t parent;                  // -1 for a root; always before the bone itself
};

// Per-bone mask bits.
constexpr uint32_t kSkelMaskLower = 1;
constexpr uint32_t kSkelMaskUpper = 2;

// The bones the character code follows, in this order: "Bip01", "Bip01 Pelvis", "Bip01 Spine",
// "Bip01 Spine1" .. "Bip01 Spine4".
constexpr int kSkelInfoBones = 7;
struct SkeletonInfoBone {
  int32_t index;       // 0 when the skeleton has no such bone
  float scratch[24];   // kept by the character code between frames
};
struct SkeletonInfo {
  uint32_t* masks;     // one word per bone
  int32_t spineDepth;  // 1 .. 5 by the deepest spine bone, 0 without one
  SkeletonInfoBone bones[kSkelInfoBones];
};

struct Skeleton {
  uint32_t word0, word1;  // stored unchanged
  int32_t boneCount;      // 1 .. 150
  SkeletonBone* bones;
  BonePose* bindPose;
  BonePose* pose2;        // the file's second pose array, kept unread
  int32_t number;         // run-wide load counter, starts at 1
  SkeletonInfo* info;
};

struct Animation {
  uint32_t word0, word1;       // stored unchanged
  int32_t boneCount;           // >= 1
  int32_t lastFrame;           // L >= 0 (frame count - 1)
  uint32_t word4;              // stored unchanged
  int32_t allBonesPositions;   // 0: one root track stands for every bone
  float* rotationKeys;         // (L + 1) x bones quaternions, key (L + 1) b + f
  float* positionKeys;         // L + 1 or (L + 1) x bones positions
};

// Caches (1,024 each), loading on a miss; null for a missing or refused file.
Skeleton* Skel_Get(const char* name);
Animation* Anim_Get(const char* name);
Skeleton* Skel_Load(const char* name);
Animation* Anim_Load(const char* name);
void Skel_Free(Skeleton** skeleton);
void Anim_Free(Animation** animation);
void Skel_FreeAll();
void Anim_FreeAll();
int Skel_CacheCount();
int Anim_CacheCount();

// Sampling.
void Anim_GetKeyPosition(const Animation* anim, int bone, int frame, float out[3]);
void Anim_GetKeyRotation(const Animation* anim, int bone, int frame, float out[4], int wrap);
void Anim_SamplePosition(const Animation* anim, int bone, float phase, float out[3]);
void Anim_SampleRotation(const Animation* anim, int bone, float phase, float out[4], int wrap);

// Poses (caller-owned arrays of bone-count records).
void Anim_EvalPose(const Skeleton* skel, const Animation* anim, float phase,
                   const float rootOffset[3], BonePose* out, int wrap);
void Anim_EvalPoseMasked(const Skeleton* skel, const Animation* anim, float phase,
                         const float rootOffset[3], BonePose* out, int wrap, uint32_t mask);
// w = 0 gives A.
void Anim_BlendPoses(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                     BonePose* out);
void Anim_BlendPosesMasked(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                           BonePose* out, uint32_t mask);

// Model-space bone matrices; here w = 1 gives A and w = 0 gives B.
void Skel_BuildMatrices(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                        mat3* outRot, vec3* outPos);
void Skel_GetBoneTransform(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                           int bone, mat3* outRot, vec3* outPos);
void Skel_AccumulateBone(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                         int bone, mat3* rot, vec3* pos);
void Skel_PoseFromWorld(const Skeleton* skel, const mat3* rot, const vec3* pos, BonePose* out);

// Quaternion helpers.
void Anim_QuatNormalize(float q[4]);
void Anim_QuatToMatrix(const float q[4], mat3* m);
void Anim_MatrixToQuat(const mat3* m, float q[4]);
void Anim_LerpVec3(const float a[3], const float b[3], float t, float out[3]);
void Anim_QuatSlerp(const float a[4], const float b[4], float t, float out[4]);
void Anim_QuatLerp(const float a[4], const float b[4], float t, float out[4]);
void Anim_CopyQuat(float dst[4], const float src[4]);
void Anim_QuatConjugate(const float q[4], float out[4]);
void Anim_QuatMultiply(const float a[4], const float b[4], float out[4]);
