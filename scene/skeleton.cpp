#include "scene/skeleton.h"
Skeleton* Skel_Get(const char*) { return nullptr; }
Animation* Anim_Get(const char*) { return nullptr; }
Skeleton* Skel_Load(const char*) { return nullptr; }
Animation* Anim_Load(const char*) { return nullptr; }
void Skel_Free(Skeleton** s) { if (s) *s = nullptr; }
void Anim_Free(Animation** a) { if (a) *a = nullptr; }
void Skel_FreeAll() {}
void Anim_FreeAll() {}
int Skel_CacheCount() { return 0; }
int Anim_CacheCount() { return 0; }
void Anim_GetKeyPosition(const Animation*, int, int, float out[3]) { out[0] = out[1] = out[2] = 0; }
void Anim_GetKeyRotation(const Animation*, int, int, float out[4], int) { out[0] = out[1] = out[2] = 0; out[3] = 1; }
void Anim_SamplePosition(const Animation*, int, float, float out[3]) { out[0] = out[1] = out[2] = 0; }
void Anim_SampleRotation(const Animation*, int, float, float out[4], int) { out[0] = out[1] = out[2] = 0; out[3] = 1; }
void Anim_EvalPose(const Skeleton*, const Animation*, float, const float[3], BonePose*, int) {}
void Anim_EvalPoseMasked(const Skeleton*, const Animation*, float, const float[3], BonePose*, int, uint32_t) {}
void Anim_BlendPoses(const Skeleton*, const BonePose*, const BonePose*, float, BonePose*) {}
void Anim_BlendPosesMasked(const Skeleton*, const BonePose*, const BonePose*, float, BonePose*, uint32_t) {}
void Skel_BuildMatrices(const Skeleton*, const BonePose*, const BonePose*, float, mat3*, vec3*) {}
void Skel_GetBoneTransform(const Skeleton*, const BonePose*, const BonePose*, float, int, mat3* r, vec3* p) { Mat_Identity(r); Vec_Set(p, 0, 0, 0); }
void Skel_AccumulateBone(const Skeleton*, const BonePose*, const BonePose*, float, int, mat3*, vec3*) {}
void Skel_PoseFromWorld(const Skeleton*, const mat3*, const vec3*, BonePose*) {}
void Anim_QuatNormalize(float[4]) {}
void Anim_QuatToMatrix(const float[4], mat3* m) { Mat_Identity(m); }
void Anim_MatrixToQuat(const mat3*, float q[4]) { q[0] = q[1] = q[2] = 0; q[3] = 1; }
void Anim_LerpVec3(const float[3], const float[3], float, float[3]) {}
void Anim_QuatSlerp(const float[4], const float[4], float, float[4]) {}
void Anim_QuatLerp(const float[4], const float[4], float, float[4]) {}
void Anim_CopyQuat(float[4], const float[4]) {}
void Anim_QuatConjugate(const float[4], float[4]) {}
void Anim_QuatMultiply(const float[4], const float[4], float[4]) {}
