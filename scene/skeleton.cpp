// Skeletons and animations: file loading, caches, sampling, poses and bone matrices.
#include "scene/skeleton.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/bytereader.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/var.h"
#include "scene/cache.h"
#include "world/level.h"

namespace {

ModelCache g_skeletons;
ModelCache g_animations;
int32_t g_skeletonCounter;  // never reset: skeleton numbers stay unique for the run

const char* const kInfoBones[kSkelInfoBones] = {"Bip01",        "Bip01 Pelvis", "Bip01 Spine",
                                                "Bip01 Spine1", "Bip01 Spine2", "Bip01 Spine3",
                                                "Bip01 Spine4"};

const char* const kLowerBody[] = {
    "Bip01", "Bip01 Pelvis", "Bip01 Spine", "Bip01 Spine1", "Bip01 Spine2", "Bip01 Spine3",
    "Bip01 Spine4", "Bip01 L Thigh", "Bip01 L Calf", "Bip01 L HorseLink", "Bip01 L Foot",
    "Bip01 L Toe0", "Bip01 L Toe01", "Bip01 L Toe02", "Bip01 L Toe1", "Bip01 L Toe11",
    "Bip01 L Toe12", "Bip01 L Toe2", "Bip01 L Toe21", "Bip01 L Toe22", "Bip01 L Toe3",
    "Bip01 L Toe31", "Bip01 L Toe32", "Bip01 L Toe4", "Bip01 L Toe41", "Bip01 L Toe42",
    "Bip01 R Thigh", "Bip01 R Calf", "Bip01 R HorseLink", "Bip01 R Foot", "Bip01 R Toe0",
    "Bip01 R Toe01", "Bip01 R Toe02", "Bip01 R Toe1", "Bip01 R Toe11", "Bip01 R Toe12",
    "Bip01 R Toe2", "Bip01 R Toe21", "Bip01 R Toe22", "Bip01 R Toe3", "Bip01 R Toe31",
    "Bip01 R Toe32", "Bip01 R Toe4", "Bip01 R Toe41", "Bip01 R Toe42", "Bip01 Tail",
    "Bip01 Tail1", "Bip01 Tail2", "Bip01 Tail3", "Bip01 Tail4"};

const char* const kUpperBody[] = {
    "Bip01", "Bip01 Pelvis", "Bip01 Spine", "Bip01 Spine1", "Bip01 Spine2", "Bip01 Spine3",
    "Bip01 Spine4", "Bip01 Neck", "Bip01 Neck1", "Bip01 Neck2", "Bip01 Neck3", "Bip01 Neck4",
    "Bip01 Head", "Bip01 EyeL", "Bip01 EyeR", "Bip01 Ponytail1", "Bip01 Ponytail11",
    "Bip01 Ponytail12", "Bip01 Ponytail13", "Bip01 Ponytail14", "Bip01 Ponytail2",
    "Bip01 Ponytail21", "Bip01 Ponytail22", "Bip01 Ponytail23", "Bip01 Ponytail24",
    "Bip01 L Clavicle", "Bip01 L UpperArm", "Bip01 L Forearm", "Bip01 L Hand", "Bip01 L Finger0",
    "Bip01 L Finger01", "Bip01 L Finger02", "Bip01 L Finger1", "Bip01 L Finger11",
    "Bip01 L Finger12", "Bip01 L Finger2", "Bip01 L Finger21", "Bip01 L Finger22",
    "Bip01 L Finger3", "Bip01 L Finger31", "Bip01 L Finger32", "Bip01 L Finger4",
    "Bip01 L Finger41", "Bip01 L Finger42", "Bip01 R Clavicle", "Bip01 R UpperArm",
    "Bip01 R Forearm", "Bip01 R Hand", "Bip01 R Finger0", "Bip01 R Finger01", "Bip01 R Finger02",
    "Bip01 R Finger1", "Bip01 R Finger11", "Bip01 R Finger12", "Bip01 R Finger2",
    "Bip01 R Finger21", "Bip01 R Finger22", "Bip01 R Finger3", "Bip01 R Finger31",
    "Bip01 R Finger32", "Bip01 R Finger4", "Bip01 R Finger41", "Bip01 R Finger42", "Bip01 Jaw01",
    "Bip01 Jaw02", "Bip01 Jaw03"};

template <size_t N>
bool InList(const char* name, const char* const (&list)[N]) {
  for (const char* n : list)
    if (!strcasecmp(name, n)) return true;
  return false;
}

void ReadName(ByteReader& r, char* out) {
  r.Take(out, kSkelNameSize);
  out[kSkelNameSize - 1] = '\0';
}

void ReadPose(ByteReader& r, BonePose* p) {
  r.F32s(p->rotation, 4);
  r.F32s(p->position, 3);
  p->unused = r.F32();
}

void Quat(float* q, float x, float y, float z, float w) { q[0] = x, q[1] = y, q[2] = z, q[3] = w; }

void* LoadSkeletonEntry(const char* name) { return Skel_Load(name); }
void* LoadAnimationEntry(const char* name) { return Anim_Load(name); }

// The whole file name + extension; null when the name does not fit.
bool FileName(char (&out)[kModelNameSize + 8], const char* name, const char* ext) {
  return std::snprintf(out, sizeof out, "%s%s", name, ext) < static_cast<int>(sizeof out);
}

}  // namespace

// ---- Loading --------------------------------------------------------------------------------------

Skeleton* Skel_Load(const char* name) {
  char path[kModelNameSize + 8];
  if (!name || !FileName(path, name, ".sk")) return nullptr;
  uint32_t size = 0;
  void* bytes = File_LoadWhole(path, &size, "ANMLdS");
  if (!bytes) return nullptr;
  ByteReader r(bytes, size);
  uint32_t word0 = r.U32(), word1 = r.U32();
  int32_t n = r.I32();
  if (!r.ok || n < 1 || n > kSkelMaxBones) {
    Log_Printf("Skel_Load: %s: bone count %i outside 1..%i\n", path, r.ok ? n : 0, kSkelMaxBones);
    Global_Free(bytes);
    return nullptr;
  }
  if (size < 32u + 128u * uint32_t(n)) {
    Log_Printf("Skel_Load: %s: %u bytes are too few for %i bones\n", path, size, n);
    Global_Free(bytes);
    return nullptr;
  }
  r.Skip(20);
  auto* s = static_cast<Skeleton*>(Global_MallocZero(sizeof(Skeleton), "ANMLdS"));
  s->word0 = word0;
  s->word1 = word1;
  s->boneCount = n;
  s->bones = static_cast<SkeletonBone*>(Global_MallocZero(sizeof(SkeletonBone) * n, "ANMLdS1"));
  s->bindPose = static_cast<BonePose*>(Global_MallocZero(sizeof(BonePose) * n, "ANMLdS2"));
  s->pose2 = static_cast<BonePose*>(Global_MallocZero(sizeof(BonePose) * n, "ANMLdS3"));
  s->info = static_cast<SkeletonInfo*>(Global_MallocZero(sizeof(SkeletonInfo), "ANMBNHD"));
  s->info->masks = static_cast<uint32_t*>(Global_MallocZero(sizeof(uint32_t) * n, "ANMBN"));
  for (int i = 0; i < n; ++i) {
    SkeletonBone& b = s->bones[i];
    ReadName(r, b.name);
    r.Skip(4);
    ReadName(r, b.parentName);
    r.Skip(4);
  }
  for (int i = 0; i < n; ++i) ReadPose(r, &s->bindPose[i]);
  for (int i = 0; i < n; ++i) ReadPose(r, &s->pose2[i]);
  Global_Free(bytes);

  for (int i = 0; i < n; ++i) {
    const char* bn = s->bones[i].name;
    for (int k = 0; k < kSkelInfoBones; ++k) {
      if (strcasecmp(bn, kInfoBones[k])) continue;
      s->info->bones[k].index = i;
      if (k >= 2) s->info->spineDepth = k - 1;
    }
    uint32_t mask = 0;
    if (InList(bn, kLowerBody)) mask |= kSkelMaskLower;
    if (InList(bn, kUpperBody)) mask |= kSkelMaskUpper;
    s->info->masks[i] = mask;
  }
  s->number = ++g_skeletonCounter;
  for (int i = 0; i < n; ++i) {
    SkeletonBone& b = s->bones[i];
    b.parent = -1;
    b.positionFlag = (std::strlen(b.name) == 5 && !std::strncmp(b.name, "Bip", 3)) ||
                     !std::strncmp(b.name, "Mov", 3) || !std::strncmp(b.name, "Camera", 6);
    for (int j = 0; j < n; ++j)
      if (!std::strcmp(b.parentName, s->bones[j].name)) b.parent = j;
    if (b.parent >= i) {
      // Parents come first; anything else is a self-parent or a cycle.
      Log_Printf("Skel_Load: %s: bone %i (%s) has its parent at %i, not before it\n", path, i,
                 b.name, b.parent);
      Skel_Free(&s);
      return nullptr;
    }
  }
  return s;
}

Animation* Anim_Load(const char* name) {
  char path[kModelNameSize + 8];
  if (!name || !FileName(path, name, ".am")) return nullptr;
  uint32_t size = 0;
  void* bytes = File_LoadWhole(path, &size, "ANMLdA");
  if (!bytes) return nullptr;
  ByteReader r(bytes, size);
  Animation header{};
  header.word0 = r.U32();
  header.word1 = r.U32();
  header.boneCount = r.I32();
  header.lastFrame = r.I32();
  header.word4 = r.U32();
  header.allBonesPositions = r.I32();
  r.Skip(8);
  const char* fault = nullptr;
  uint64_t frames = uint64_t(int64_t(header.lastFrame) + 1);
  uint64_t bones = uint64_t(int64_t(header.boneCount));
  uint64_t positions = 0, rotations = 0;
  if (!r.ok) {
    fault = "shorter than its header";
  } else if (header.boneCount < 1) {
    fault = "bone count below 1";
  } else if (header.lastFrame < 0) {
    fault = "last frame below 0";
  } else if (frames > size || bones > size) {
    fault = "more keys than bytes";
  } else {
    positions = header.allBonesPositions ? frames * bones : frames;
    rotations = frames * bones;
    if (32 + 12 * positions + 16 * rotations > size) fault = "shorter than its keys";
  }
  if (fault) {
    Log_Printf("Anim_Load: %s: %s\n", path, fault);
    Global_Free(bytes);
    return nullptr;
  }
  auto* a = static_cast<Animation*>(Global_MallocZero(sizeof(Animation), "ANMLdA"));
  *a = header;
  a->positionKeys = static_cast<float*>(Global_Malloc(12 * positions, "ANMLdA0"));
  a->rotationKeys = static_cast<float*>(Global_Malloc(16 * rotations, "ANMLdA1"));
  r.F32s(a->positionKeys, 3 * positions);
  r.F32s(a->rotationKeys, 4 * rotations);
  Global_Free(bytes);
  return a;
}

void Skel_Free(Skeleton** skeleton) {
  if (!skeleton || !*skeleton) return;
  Skeleton* s = *skeleton;
  if (s->info) Global_Free(s->info->masks);
  Global_Free(s->info);
  Global_Free(s->bindPose);
  Global_Free(s->pose2);
  Global_Free(s->bones);
  Global_Free(s);
  *skeleton = nullptr;
}

void Anim_Free(Animation** animation) {
  if (!animation || !*animation) return;
  Global_Free((*animation)->rotationKeys);
  Global_Free((*animation)->positionKeys);
  Global_Free(*animation);
  *animation = nullptr;
}

Skeleton* Skel_Get(const char* name) {
  return static_cast<Skeleton*>(Cache_Get(&g_skeletons, name, LoadSkeletonEntry, "Skel_Get"));
}

Animation* Anim_Get(const char* name) {
  return static_cast<Animation*>(Cache_Get(&g_animations, name, LoadAnimationEntry, "Anim_Get"));
}

void Skel_FreeAll() {
  while (g_skeletons.count > 0) {
    ModelCacheEntry& e = g_skeletons.entries[--g_skeletons.count];
    Skeleton* local = static_cast<Skeleton*>(e.object);
    Skel_Free(&local);
    e.object = nullptr;
  }
}

void Anim_FreeAll() {
  while (g_animations.count > 0) {
    ModelCacheEntry& e = g_animations.entries[--g_animations.count];
    Animation* local = static_cast<Animation*>(e.object);
    Anim_Free(&local);
    e.object = nullptr;
  }
}

int Skel_CacheCount() { return g_skeletons.count; }
int Anim_CacheCount() { return g_animations.count; }

// ---- Quaternions ----------------------------------------------------------------------------------

void Anim_QuatNormalize(float q[4]) {
  double len = std::sqrt(double(q[0]) * q[0] + double(q[1]) * q[1] + double(q[2]) * q[2] +
                         double(q[3]) * q[3]);
  if (len == 0) return;
  for (int k = 0; k < 4; ++k) q[k] = float(q[k] / len);
}

void Anim_QuatToMatrix(const float q[4], mat3* m) {
  float x = q[0], y = q[1], z = q[2], w = q[3];
  m->m[0][0] = 1 - 2 * (y * y + z * z);
  m->m[0][1] = 2 * (x * y - w * z);
  m->m[0][2] = 2 * (x * z + w * y);
  m->m[1][0] = 2 * (x * y + w * z);
  m->m[1][1] = 1 - 2 * (x * x + z * z);
  m->m[1][2] = 2 * (y * z - w * x);
  m->m[2][0] = 2 * (x * z - w * y);
  m->m[2][1] = 2 * (y * z + w * x);
  m->m[2][2] = 1 - 2 * (x * x + y * y);
}

void Anim_MatrixToQuat(const mat3* mat, float q[4]) {
  const float* m = &mat->m[0][0];
  float w2 = (m[0] + m[4] + m[8] + 1) / 4;
  float x2 = w2 - (m[4] + m[8]) / 2;
  float y2 = w2 - (m[0] + m[8]) / 2;
  float z2 = w2 - (m[0] + m[4]) / 2;
  float x, y, z, w;
  if (w2 > x2 && w2 > y2 && w2 > z2) {
    w = std::sqrt(w2);
    float s = 0.25f / w;
    x = (m[7] - m[5]) * s, y = (m[2] - m[6]) * s, z = (m[3] - m[1]) * s;
  } else if (x2 > y2 && x2 > z2) {
    x = std::sqrt(x2);
    float s = 0.25f / x;
    w = (m[7] - m[5]) * s, y = (m[3] + m[1]) * s, z = (m[6] + m[2]) * s;
  } else if (y2 > z2) {
    y = std::sqrt(y2);
    float s = 0.25f / y;
    w = (m[2] - m[6]) * s, x = (m[3] + m[1]) * s, z = (m[7] + m[5]) * s;
  } else {
    z = std::sqrt(z2);
    float s = 0.25f / z;
    w = (m[3] - m[1]) * s, x = (m[6] + m[2]) * s, y = (m[7] + m[5]) * s;
  }
  if (w < 0) x = -x, y = -y, z = -z, w = -w;
  Quat(q, x, y, z, w);
  Anim_QuatNormalize(q);
}

void Anim_LerpVec3(const float a[3], const float b[3], float t, float out[3]) {
  for (int k = 0; k < 3; ++k) out[k] = (1 - t) * a[k] + t * b[k];
}

void Anim_QuatSlerp(const float a[4], const float b[4], float t, float out[4]) {
  float d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  float sign = 1;
  if (d < 0) d = -d, sign = -1;
  float wa, wb;
  if (d >= 0.99f) {
    wa = std::sin(1 - t);
    wb = std::sin(t);
  } else {
    float angle = std::acos(d), s = std::sin(angle);
    wa = std::sin((1 - t) * angle) / s;
    wb = std::sin(t * angle) / s;
  }
  wb *= sign;
  float r[4];
  for (int k = 0; k < 4; ++k) r[k] = wa * a[k] + wb * b[k];
  Anim_QuatNormalize(r);
  Anim_CopyQuat(out, r);
}

void Anim_QuatLerp(const float a[4], const float b[4], float t, float out[4]) {
  float d = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
  float wa = 1 - t, wb = d < 0 ? -t : t;
  float r[4];
  for (int k = 0; k < 4; ++k) r[k] = wa * a[k] + wb * b[k];
  Anim_QuatNormalize(r);
  Anim_CopyQuat(out, r);
}

void Anim_CopyQuat(float dst[4], const float src[4]) { std::memmove(dst, src, 4 * sizeof(float)); }

void Anim_QuatConjugate(const float q[4], float out[4]) { Quat(out, -q[0], -q[1], -q[2], q[3]); }

void Anim_QuatMultiply(const float a[4], const float b[4], float out[4]) {
  float ax = a[0], ay = a[1], az = a[2], aw = a[3];
  float bx = b[0], by = b[1], bz = b[2], bw = b[3];
  Quat(out, aw * bx + ax * bw + ay * bz - az * by, aw * by - ax * bz + ay * bw + az * bx,
       aw * bz + ax * by - ay * bx + az * bw, aw * bw - ax * bx - ay * by - az * bz);
}

// ---- Sampling -------------------------------------------------------------------------------------

void Anim_GetKeyPosition(const Animation* anim, int bone, int frame, float out[3]) {
  out[0] = out[1] = out[2] = 0;
  if (!anim || anim->lastFrame <= 0 || anim->boneCount <= 0 || bone < 0) return;
  int last = anim->lastFrame;
  if (frame > last) frame = last;
  if (frame < 0) frame = 0;
  const float* key;
  if (!anim->allBonesPositions) {
    key = anim->positionKeys + 3 * size_t(frame);
  } else {
    if (bone >= anim->boneCount) return;
    key = anim->positionKeys + 3 * (size_t(last + 1) * bone + frame);
  }
  std::memcpy(out, key, 3 * sizeof(float));
}

void Anim_GetKeyRotation(const Animation* anim, int bone, int frame, float out[4], int wrap) {
  Quat(out, 0, 0, 0, 1);
  if (!anim || anim->lastFrame <= 0 || anim->boneCount <= 0) return;
  int last = anim->lastFrame;
  if (wrap ? frame >= last : frame > last) frame = wrap ? 0 : last;
  if (frame < 0) frame = 0;
  if (bone < 0 || bone >= anim->boneCount) return;
  std::memcpy(out, anim->rotationKeys + 4 * (size_t(last + 1) * bone + frame), 4 * sizeof(float));
}

// The frame below t = L x phase and the fraction beyond it; phases below 0 or not finite count
// as 0, and phases far beyond 1 stop one frame past the end.
static void Anim_Phase(const Animation* anim, float phase, int* frame, float* frac) {
  if (!(phase > 0) || !std::isfinite(phase)) phase = 0;
  float t = float(anim->lastFrame) * phase;
  float f = std::floor(t);
  if (f > float(anim->lastFrame) + 1) {
    *frame = anim->lastFrame + 1;
    *frac = 0;
    return;
  }
  *frame = int(f);
  *frac = t - f;
}

static bool Anim_TakeEarlierKey() {
  if (!Game_SpecialFlag) return false;
  VarRecord* v = Var_Find("render_drawavi");
  return v && v->value != 0;
}

void Anim_SampleRotation(const Animation* anim, int bone, float phase, float out[4], int wrap) {
  if (!anim) {
    Quat(out, 0, 0, 0, 1);
    return;
  }
  int f;
  float frac;
  Anim_Phase(anim, phase, &f, &frac);
  float k0[4], k1[4];
  Anim_GetKeyRotation(anim, bone, f, k0, wrap);
  Anim_GetKeyRotation(anim, bone, f + 1, k1, wrap);
  if (Anim_TakeEarlierKey())
    Anim_CopyQuat(out, k0);
  else
    Anim_QuatSlerp(k0, k1, frac, out);
}

void Anim_SamplePosition(const Animation* anim, int bone, float phase, float out[3]) {
  if (!anim) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  int f;
  float frac;
  Anim_Phase(anim, phase, &f, &frac);
  float k0[3], k1[3];
  Anim_GetKeyPosition(anim, bone, f, k0);
  Anim_GetKeyPosition(anim, bone, f + 1, k1);
  if (Anim_TakeEarlierKey())
    std::memcpy(out, k0, sizeof k0);
  else
    Anim_LerpVec3(k0, k1, frac, out);
}

// ---- Poses ----------------------------------------------------------------------------------------

static void Anim_SampleBone(const Skeleton* skel, const Animation* anim, int i, float phase,
                            int wrap, BonePose* out) {
  Anim_SampleRotation(anim, i, phase, out->rotation, wrap);
  if (!skel->bones[i].positionFlag && !anim->allBonesPositions)
    std::memcpy(out->position, skel->bindPose[i].position, sizeof out->position);
  else
    Anim_SamplePosition(anim, i, phase, out->position);
}

static void Anim_AddOffset(BonePose* p, const float rootOffset[3]) {
  if (!rootOffset) return;
  for (int k = 0; k < 3; ++k) p->position[k] += rootOffset[k];
}

void Anim_EvalPose(const Skeleton* skel, const Animation* anim, float phase,
                   const float rootOffset[3], BonePose* out, int wrap) {
  if (!skel || !out) return;
  if (!anim) {
    std::memcpy(out, skel->bindPose, sizeof(BonePose) * skel->boneCount);
    return;
  }
  for (int i = 0; i < skel->boneCount; ++i) {
    Anim_SampleBone(skel, anim, i, phase, wrap, &out[i]);
    if ((skel->bones[i].positionFlag || anim->allBonesPositions) && skel->bones[i].parent == -1)
      Anim_AddOffset(&out[i], rootOffset);
  }
}

void Anim_EvalPoseMasked(const Skeleton* skel, const Animation* anim, float phase,
                         const float rootOffset[3], BonePose* out, int wrap, uint32_t mask) {
  if (!skel || !out) return;
  if (!anim) {
    std::memcpy(out, skel->bindPose, sizeof(BonePose) * skel->boneCount);
    return;
  }
  for (int i = 0; i < skel->boneCount; ++i) {
    if (!(skel->info->masks[i] & mask)) continue;
    Anim_SampleBone(skel, anim, i, phase, wrap, &out[i]);
    if (skel->bones[i].positionFlag) Anim_AddOffset(&out[i], rootOffset);
  }
}

static void Anim_Blend(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                       BonePose* out, bool masked, uint32_t mask) {
  if (!skel || !a || !b || !out) return;
  for (int i = 0; i < skel->boneCount; ++i) {
    if (masked && !(skel->info->masks[i] & mask)) continue;
    Anim_QuatSlerp(a[i].rotation, b[i].rotation, w, out[i].rotation);
    Anim_LerpVec3(a[i].position, b[i].position, w, out[i].position);
  }
}

void Anim_BlendPoses(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                     BonePose* out) {
  Anim_Blend(skel, a, b, w, out, false, 0);
}

void Anim_BlendPosesMasked(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                           BonePose* out, uint32_t mask) {
  Anim_Blend(skel, a, b, w, out, true, mask);
}

// ---- Bone matrices --------------------------------------------------------------------------------

// The bone's local rotation and position, w = 1 giving A and w = 0 giving B.
static void Skel_LocalBone(const BonePose* a, const BonePose* b, float w, int i, float q[4],
                           vec3* p) {
  Anim_QuatLerp(b[i].rotation, a[i].rotation, w, q);
  float pos[3];
  Anim_LerpVec3(b[i].position, a[i].position, w, pos);
  Vec_Set(p, pos[0], pos[1], pos[2]);
}

void Skel_BuildMatrices(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                        mat3* outRot, vec3* outPos) {
  if (!skel || !a || !b || !outRot || !outPos) return;
  for (int i = 0; i < skel->boneCount; ++i) {
    float q[4];
    vec3 p;
    Skel_LocalBone(a, b, w, i, q, &p);
    int parent = skel->bones[i].parent;
    if (parent < 0 || parent >= i) {
      Anim_QuatToMatrix(q, &outRot[i]);
      outPos[i] = p;
      continue;
    }
    float pq[4], cq[4];
    Anim_MatrixToQuat(&outRot[parent], pq);
    Anim_QuatMultiply(q, pq, cq);
    Anim_QuatToMatrix(cq, &outRot[i]);
    Vec_Transform(&p, &outRot[parent], &outPos[parent], &outPos[i]);
  }
}

void Skel_AccumulateBone(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                         int bone, mat3* rot, vec3* pos) {
  if (!skel || !a || !b) return;
  // Up the chain to the root; parents stand before their bones, so this ends.
  for (int steps = 0; bone >= 0 && bone < skel->boneCount && steps < skel->boneCount; ++steps) {
    float q[4];
    vec3 p;
    Skel_LocalBone(a, b, w, bone, q, &p);
    mat3 r, product;
    Anim_QuatToMatrix(q, &r);
    Mat_Multiply(rot, &r, &product);
    *rot = product;
    vec3 moved;
    Vec_Transform(pos, &r, &p, &moved);
    *pos = moved;
    bone = skel->bones[bone].parent;
  }
}

void Skel_GetBoneTransform(const Skeleton* skel, const BonePose* a, const BonePose* b, float w,
                           int bone, mat3* outRot, vec3* outPos) {
  Mat_Identity(outRot);
  Vec_Set(outPos, 0, 0, 0);
  if (skel && bone >= 0 && bone < skel->boneCount)
    Skel_AccumulateBone(skel, a, b, w, bone, outRot, outPos);
}

void Skel_PoseFromWorld(const Skeleton* skel, const mat3* rot, const vec3* pos, BonePose* out) {
  if (!skel || !rot || !pos || !out) return;
  for (int i = 0; i < skel->boneCount; ++i) {
    int parent = skel->bones[i].parent;
    if (parent < 0 || parent >= skel->boneCount) {
      Anim_MatrixToQuat(&rot[i], out[i].rotation);
      out[i].position[0] = pos[i].x, out[i].position[1] = pos[i].y, out[i].position[2] = pos[i].z;
      continue;
    }
    mat3 inv, local;
    vec3 tinv, p;
    Mat_InvertTransform(&rot[parent], &pos[parent], &inv, &tinv);
    Mat_Multiply(&rot[i], &inv, &local);
    Anim_MatrixToQuat(&local, out[i].rotation);
    Vec_Rotate(&pos[i], &inv, &p);
    out[i].position[0] = p.x + tinv.x, out[i].position[1] = p.y + tinv.y,
    out[i].position[2] = p.z + tinv.z;
  }
}
