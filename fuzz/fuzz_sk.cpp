// Fuzz target: a ".sk" skeleton on arbitrary bytes; a loaded skeleton is posed and turned into
// bone matrices and back.
#include <vector>

#include "fuzz.h"
#include "scene/skeleton.h"
#include "scene_fuzz.h"
#include "tools/scene_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SceneFuzz_EnterPrivateFolder();
  SceneFuzz_Write("f.sk", data, size);
  Skeleton* s = Skel_Load("f");
  if (!s) return 0;
  std::vector<BonePose> pose(size_t(s->boneCount)), back(size_t(s->boneCount));
  std::vector<mat3> rot(size_t(s->boneCount));
  std::vector<vec3> pos(size_t(s->boneCount));
  const float offset[3] = {1, 2, 3};
  Anim_EvalPose(s, nullptr, 0.5f, offset, pose.data(), 1);
  Anim_BlendPosesMasked(s, pose.data(), s->bindPose, 0.3f, pose.data(), kSkelMaskUpper);
  Skel_BuildMatrices(s, pose.data(), s->bindPose, 0.7f, rot.data(), pos.data());
  for (int b = -1; b <= s->boneCount; ++b) {
    mat3 r;
    vec3 p;
    Skel_GetBoneTransform(s, pose.data(), s->bindPose, 0.5f, b, &r, &p);
  }
  Skel_PoseFromWorld(s, rot.data(), pos.data(), back.data());
  Skel_Free(&s);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<SceneToolBone> bones(4);
  bones[0].name = "Bip01";
  bones[1] = {"Bip01 Pelvis", "Bip01", {0, 0, 0.3f, 0.95f}, {0, 0, 10}};
  bones[2] = {"Bip01 Spine", "Bip01 Pelvis", {0.2f, 0, 0, 0.98f}, {0, 5, 3}};
  bones[3] = {"Camera01", "Nowhere", {0, 0, 0, 1}, {4, 0, 0}};
  seeds.push_back(SceneFuzz_Bytes(SceneTool_SkBytes(bones, 1, 2)));
  seeds.push_back(SceneFuzz_Bytes(SceneTool_SkBytes({bones[0]})));
}
