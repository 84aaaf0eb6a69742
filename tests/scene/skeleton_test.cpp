// Skeletons and animations: loading and refusing files, sampling, quaternions, poses, matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "scene/model.h"
#include "scene/skeleton.h"
#include "support/render_support.h"
#include "tools/scene_writer.h"

namespace {

using tw_test::WriteFile;

class SkeletonTest : public tw_test::LoggedTest {
 protected:
  void TearDown() override {
    Model_FreeAll();
    LoggedTest::TearDown();
  }
};

void AxisAngle(float* q, float x, float y, float z, float angle) {
  float s = std::sin(angle / 2), len = std::sqrt(x * x + y * y + z * z);
  q[0] = x / len * s, q[1] = y / len * s, q[2] = z / len * s, q[3] = std::cos(angle / 2);
}

// A chain with a branch: root, pelvis, spine, a camera bone and a bone whose parent is unknown.
std::vector<SceneToolBone> Chain() {
  std::vector<SceneToolBone> b(6);
  b[0].name = "Bip01";
  b[1] = {"Bip01 Pelvis", "Bip01", {}, {0, 0, 10}};
  b[2] = {"Bip01 Spine", "Bip01 Pelvis", {}, {0, 5, 3}};
  b[3] = {"Bip01 Head", "Bip01 Spine", {}, {1, 2, 20}};
  b[4] = {"Camera01", "Bip01", {}, {4, 0, 0}};
  b[5] = {"Prop", "Nowhere", {}, {7, 8, 9}};
  AxisAngle(b[1].rotation, 0, 0, 1, 0.4f);
  AxisAngle(b[2].rotation, 1, 0, 0, -0.7f);
  AxisAngle(b[3].rotation, 1, 1, 0, 1.1f);
  return b;
}

void ExpectMatNear(const mat3& a, const mat3& b, float tol) {
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << r << "," << c;
}

TEST_F(SkeletonTest, LoadsBonesFlagsParentsAndMasks) {
  WriteFile("man.sk", SceneTool_SkBytes(Chain(), 7, 9));
  Skeleton* s = Skel_Get("man");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(Skel_Get("MAN"), s);  // cached, any case
  EXPECT_EQ(s->word0, 7u);
  EXPECT_EQ(s->boneCount, 6);
  const int parents[6] = {-1, 0, 1, 2, 0, -1};
  const int flags[6] = {1, 0, 0, 0, 1, 0};
  const uint32_t masks[6] = {3, 3, 3, 2, 0, 0};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(s->bones[i].parent, parents[i]) << i;
    EXPECT_EQ(s->bones[i].positionFlag, flags[i]) << i;
    EXPECT_EQ(s->info->masks[i], masks[i]) << i;
  }
  EXPECT_EQ(s->info->bones[2].index, 2);
  EXPECT_EQ(s->info->spineDepth, 1);
  EXPECT_FLOAT_EQ(s->bindPose[3].position[2], 20.0f);
  WriteFile("other.sk", SceneTool_SkBytes(Chain()));
  Skeleton* t = Skel_Get("other");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->number, s->number + 1);
  EXPECT_EQ(Skel_CacheCount(), 2);
  Model_FreeAll();
  EXPECT_EQ(Skel_CacheCount(), 0);
}

SceneToolAnim Anim(int bones, int last, bool allBones) {
  SceneToolAnim a;
  a.boneCount = bones;
  a.lastFrame = last;
  a.allBonesPositions = allBones;
  int tracks = allBones ? bones : 1;
  for (int t = 0; t < tracks; ++t)
    for (int f = 0; f <= last; ++f) a.positions.insert(a.positions.end(), {float(f), float(t), 1});
  for (int b = 0; b < bones; ++b)
    for (int f = 0; f <= last; ++f) {
      float q[4];
      AxisAngle(q, 0, 0, 1, 0.1f * float(f) + float(b));
      a.rotations.insert(a.rotations.end(), q, q + 4);
    }
  return a;
}

TEST_F(SkeletonTest, RefusesDamagedSkeletonsAndAnimations) {
  auto bones = Chain();
  std::string good = SceneTool_SkBytes(bones), goodAm = SceneTool_AmBytes(Anim(2, 3, true));
  auto selfParent = bones;
  selfParent[2].parent = "Bip01 Spine";
  auto cycle = bones;
  cycle[1].parent = "Bip01 Spine";  // pelvis under spine, spine under pelvis
  std::vector<SceneToolBone> many(151, bones[0]);
  SceneToolAnim noBones = Anim(1, 3, false), badLast = Anim(1, 3, false), huge = Anim(1, 1, true);
  noBones.boneCount = 0;
  badLast.lastFrame = -2;
  huge.boneCount = 0x7fffffff;
  huge.lastFrame = 0x7ffffffe;
  struct Case {
    const char* file;
    std::string bytes;
  } cases[] = {
      {"none.sk", SceneTool_SkBytes(bones, 0, 0, 0)},
      {"negative.sk", SceneTool_SkBytes(bones, 0, 0, -3)},
      {"toomany.sk", SceneTool_SkBytes(many)},
      {"short.sk", good.substr(0, good.size() - 1)},
      {"header.sk", good.substr(0, 20)},
      {"self.sk", SceneTool_SkBytes(selfParent)},
      {"cycle.sk", SceneTool_SkBytes(cycle)},
      {"nobones.am", SceneTool_AmBytes(noBones)},
      {"badlast.am", SceneTool_AmBytes(badLast)},
      {"huge.am", SceneTool_AmBytes(huge)},
      {"short.am", goodAm.substr(0, goodAm.size() - 4)},
      {"header.am", goodAm.substr(0, 12)},
  };
  for (const Case& c : cases) {
    WriteFile(c.file, c.bytes);
    const std::string name(c.file, std::strlen(c.file) - 3);
    const bool sk = std::strstr(c.file, ".sk") != nullptr;
    EXPECT_TRUE(sk ? Skel_Get(name.c_str()) == nullptr : Anim_Get(name.c_str()) == nullptr) << c.file;
    if (std::strcmp(c.file, "header.sk")) {
      EXPECT_NE(Log().find(c.file), std::string::npos) << c.file;
    }
  }
  EXPECT_EQ(Skel_CacheCount(), 0);
  WriteFile("good.am", goodAm);
  EXPECT_NE(Anim_Get("good"), nullptr);
  EXPECT_EQ(Anim_CacheCount(), 1);
  // 150 bones load; a name filling all 28 bytes ends within them.
  std::vector<SceneToolBone> full(150, bones[0]);
  full[0].name = std::string(40, 'x');
  WriteFile("full.sk", SceneTool_SkBytes(full));
  Skeleton* s = Skel_Get("full");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(std::strlen(s->bones[0].name), 27u);
}

TEST_F(SkeletonTest, SamplingPinsKeysWrapAndInterpolation) {
  WriteFile("walk.am", SceneTool_AmBytes(Anim(2, 4, true)));
  WriteFile("still.am", SceneTool_AmBytes(Anim(2, 0, false)));
  Animation* a = Anim_Get("walk");
  ASSERT_NE(a, nullptr);
  float q[4], k[4], p[3];
  // One frame: identity and zero whatever the phase.
  Animation* still = Anim_Get("still");
  ASSERT_NE(still, nullptr);
  Anim_SampleRotation(still, 1, 0.7f, q, 1);
  EXPECT_EQ(q[3], 1.0f);
  Anim_SamplePosition(still, 0, 0.3f, p);
  EXPECT_EQ(p[0] + p[1] + p[2], 0.0f);
  // Phase 1: key 0 with wrap, key L without.
  Anim_SampleRotation(a, 1, 1.0f, q, 1);
  Anim_GetKeyRotation(a, 1, 0, k, 0);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(q[i], k[i], 1e-6f);
  Anim_SampleRotation(a, 1, 1.0f, q, 0);
  Anim_GetKeyRotation(a, 1, 4, k, 0);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(q[i], k[i], 1e-6f);
  // Phase 0.5 of L = 4 is key 2; 0.6 lies 0.4 of the way to key 3.
  Anim_SamplePosition(a, 1, 0.5f, p);
  EXPECT_FLOAT_EQ(p[0], 2.0f);
  EXPECT_FLOAT_EQ(p[1], 1.0f);
  Anim_SamplePosition(a, 1, 0.6f, p);
  EXPECT_NEAR(p[0], 2.4f, 1e-5f);
  // Out-of-range bones: identity and zero.
  Anim_SampleRotation(a, 5, 0.5f, q, 0);
  EXPECT_EQ(q[3], 1.0f);
  Anim_GetKeyPosition(a, -1, 2, p);
  EXPECT_EQ(p[0], 0.0f);
  // Negative phases count as 0.
  Anim_SamplePosition(a, 0, -3.0f, p);
  EXPECT_EQ(p[0], 0.0f);
}

TEST(SceneQuaternion, SlerpAndMatrixConversions) {
  float a[4], b[4], out[4];
  // Opposite signs: the shorter arc (a rotation of 0.2 about z, halfway = 0.1).
  AxisAngle(a, 0, 0, 1, 0.0f);
  AxisAngle(b, 0, 0, 1, 0.2f);
  float nb[4] = {-b[0], -b[1], -b[2], -b[3]};
  Anim_QuatSlerp(a, nb, 0.5f, out);
  EXPECT_NEAR(std::fabs(out[2]), std::sin(0.05f), 1e-3f);
  // Near keys take the sine weights: at t = 0.5 both weigh the same.
  Anim_QuatSlerp(a, b, 0.5f, out);
  float mid[4];
  for (int k = 0; k < 4; ++k) mid[k] = a[k] + b[k];
  Anim_QuatNormalize(mid);
  for (int k = 0; k < 4; ++k) EXPECT_NEAR(out[k], mid[k], 1e-6f);
  // Identity and a half turn about z.
  mat3 m;
  Mat_Identity(&m);
  Anim_MatrixToQuat(&m, out);
  EXPECT_EQ(out[3], 1.0f);
  m = {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}};
  Anim_MatrixToQuat(&m, out);
  EXPECT_NEAR(out[2], 1.0f, 1e-6f);
  EXPECT_NEAR(out[3], 0.0f, 1e-6f);
  // Random rotations: matrix round trip and products.
  for (int i = 0; i < 200; ++i) {
    float q1[4], q2[4], q12[4];
    AxisAngle(q1, std::sin(float(i)), std::cos(float(i) * 1.3f), 0.5f, float(i) * 0.37f);
    AxisAngle(q2, 0.2f, std::sin(float(i) * 0.7f), 1, float(i) * -0.21f);
    mat3 m1, m2, m12, prod, back;
    Anim_QuatToMatrix(q1, &m1);
    Anim_MatrixToQuat(&m1, out);
    Anim_QuatToMatrix(out, &back);
    ExpectMatNear(back, m1, 2e-5f);
    Anim_QuatToMatrix(q2, &m2);
    Anim_QuatMultiply(q1, q2, q12);
    Anim_QuatToMatrix(q12, &m12);
    Mat_Multiply(&m1, &m2, &prod);
    ExpectMatNear(m12, prod, 2e-5f);
  }
}

TEST_F(SkeletonTest, MatricesAgreeWithBoneTransformsAndPoseRoundTrips) {
  WriteFile("man.sk", SceneTool_SkBytes(Chain()));
  WriteFile("wave.am", SceneTool_AmBytes(Anim(6, 4, false)));
  Skeleton* s = Skel_Get("man");
  Animation* a = Anim_Get("wave");
  ASSERT_TRUE(s && a);
  std::vector<BonePose> pa(6), pb(6), blend(6), back(6);
  const float offset[3] = {100, 200, 300};
  Anim_EvalPose(s, a, 0.3f, offset, pa.data(), 1);
  // Bone 1 (no position flag) keeps its bind position; roots with the flag take the offset.
  EXPECT_FLOAT_EQ(pa[1].position[2], 10.0f);
  EXPECT_NEAR(pa[0].position[0], 1.2f + 100, 1e-4f);
  EXPECT_NEAR(pa[5].position[2], 9.0f, 1e-6f);  // no flag: bind pose, no offset
  Anim_EvalPose(s, nullptr, 0, nullptr, pb.data(), 0);
  // Masked: the lower body only; the head keeps what it held.
  blend = pb;
  Anim_EvalPoseMasked(s, a, 0.3f, offset, blend.data(), 1, kSkelMaskLower);
  EXPECT_EQ(0, std::memcmp(&blend[3], &pb[3], sizeof(BonePose)));
  EXPECT_NE(0, std::memcmp(&blend[2], &pb[2], sizeof(BonePose)));
  for (float w : {0.0f, 0.35f, 1.0f}) {
    mat3 rot[6];
    vec3 pos[6];
    Skel_BuildMatrices(s, pa.data(), pb.data(), w, rot, pos);
    for (int i = 0; i < 6; ++i) {
      mat3 r;
      vec3 p;
      Skel_GetBoneTransform(s, pa.data(), pb.data(), w, i, &r, &p);
      ExpectMatNear(r, rot[i], 1e-5f);
      EXPECT_NEAR(p.x, pos[i].x, 1e-3f);
      EXPECT_NEAR(p.y, pos[i].y, 1e-3f);
      EXPECT_NEAR(p.z, pos[i].z, 1e-3f);
    }
    if (w != 1.0f) continue;
    Skel_PoseFromWorld(s, rot, pos, back.data());
    for (int i = 0; i < 6; ++i) {
      float dot = 0;
      for (int k = 0; k < 4; ++k) dot += back[i].rotation[k] * pa[i].rotation[k];
      EXPECT_NEAR(std::fabs(dot), 1.0f, 1e-5f) << i;
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[i].position[k], pa[i].position[k], 1e-3f) << i;
    }
  }
  // Blending: w = 0 gives A.
  Anim_BlendPoses(s, pa.data(), pb.data(), 0.0f, blend.data());
  for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(blend[0].position[k], pa[0].position[k]);
}

}  // namespace
