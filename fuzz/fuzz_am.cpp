// Fuzz target: a ".am" animation on arbitrary bytes, sampled and evaluated on a fixed skeleton.
#include <vector>

#include "fuzz.h"
#include "scene/skeleton.h"
#include "scene_fuzz.h"
#include "tools/scene_writer.h"

static std::vector<SceneToolBone> Bones() {
  std::vector<SceneToolBone> bones(3);
  bones[0].name = "Bip01";
  bones[1] = {"Bip01 Pelvis", "Bip01", {0, 0, 0, 1}, {0, 0, 10}};
  bones[2] = {"Bip01 Head", "Bip01 Pelvis", {0, 0, 0, 1}, {0, 0, 20}};
  return bones;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SceneFuzz_EnterPrivateFolder();
  static Skeleton* skel = [] {
    std::string sk = SceneTool_SkBytes(Bones());
    SceneFuzz_Write("s.sk", reinterpret_cast<const uint8_t*>(sk.data()), sk.size());
    return Skel_Load("s");
  }();
  SceneFuzz_Write("f.am", data, size);
  Animation* a = Anim_Load("f");
  if (!a) return 0;
  float q[4], p[3];
  for (float phase : {-1.0f, 0.0f, 0.33f, 0.999f, 1.0f, 7.5f, 3e9f})
    for (int bone : {-1, 0, 1, 2, 1000}) {
      Anim_SampleRotation(a, bone, phase, q, 1);
      Anim_SampleRotation(a, bone, phase, q, 0);
      Anim_SamplePosition(a, bone, phase, p);
    }
  BonePose pose[3];
  const float offset[3] = {1, 2, 3};
  Anim_EvalPose(skel, a, 0.4f, offset, pose, 1);
  Anim_EvalPoseMasked(skel, a, 0.8f, offset, pose, 0, kSkelMaskLower);
  Anim_Free(&a);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (int allBones : {0, 1}) {
    SceneToolAnim a;
    a.boneCount = 3;
    a.lastFrame = 3;
    a.allBonesPositions = allBones;
    for (int i = 0; i < 4 * (allBones ? 3 : 1); ++i) a.positions.insert(a.positions.end(), {float(i), 0, 1});
    for (int i = 0; i < 4 * 3; ++i) a.rotations.insert(a.rotations.end(), {0, 0, 0.1f * float(i), 1});
    seeds.push_back(SceneFuzz_Bytes(SceneTool_AmBytes(a)));
  }
}
