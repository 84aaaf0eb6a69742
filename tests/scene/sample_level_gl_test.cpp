// The sample game's street as a player sees it: loaded from the sample's archive through the file
// layer and the model registry, drawn by the world pass (with the street's sky) from the camera
// that sample/README.md lists, by OpenGL and by Direct3D 8; plus the hero, which walks unlike its
// bind pose, the see-through window glass on both back ends, the sky down to the street's edge
// from the top of the lift, and the hero as bright in the lightmapped rooms as on his own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/var.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/may.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "tools/sample_assets.h"
#include "tools/ts_assets.h"
#include "world/level.h"
#include "world/object.h"

namespace {

ModelDrawParams* g_params;
ModelObject* g_level;
ModelDrawParams* g_levelParams;

class SampleLevel : public tw_test::SampleGameGlTest {
 protected:
  void SetUp() override {
    SampleGameGlTest::SetUp();
    if (Stopped()) return;
    params_ = std::make_unique<ModelDrawParams>();
    params_->scale = {1, 1, 1};
    params_->drawValues[0] = 1.0f;
  }
  void TearDown() override {
    SampleGameGlTest::TearDown();
    Var_SetText(&render_var_type, "AGP");
    Var_SetValue(&model_draw_lightmap, 1);
  }
  bool Start(const char* api) {
    Var_SetText(&render_api, api);
    // A context may be refused while the display is busy: try again, as the renderer tests do.
    for (int attempt = 0; attempt < 3 && RenderApi == RENDER_API_NONE; attempt++) Render_Start();
    if (RenderApi == RENDER_API_NONE) return false;
    Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
    Tex_FreeAll();
    OPENGL_AllocVar();
    return true;
  }
  static void Stop() {
    Model_FreeAll();
    Tex_FreeAll();
    Render_Stop();
    Material_ResetTable();
  }
  // The frame's clear colour (red, green, blue) under the world pass.
  static constexpr float kClear[3] = {0.2f, 0.3f, 0.4f};
  // Whether a read-back pixel (blue, green, red) shows the clear colour.
  static bool Cleared(const uint8_t* c) {
    for (int k = 0; k < 3; k++)
      if (std::abs(c[2 - k] - int(std::lround(kClear[k] * 255))) >= 4) return false;
    return true;
  }
  // The world pass from `eye` towards `at`, with the sky of the street (while `sky_`) and one object
  // that draws `model` with the test's parameters (as the world's own classes draw theirs); with
  // `level`, an object that draws it (with g_levelParams) comes first, as a level's world object does.
  tw_test::Picture Draw(ModelObject* model, vec3 eye, vec3 at, ModelObject* level = nullptr) {
    if (level) {
      GameObject* w = Obj_Alloc();
      w->classNum = WORLD;
      w->flags = OBJ_ACTIVE;
      w->drawModel = level;
      w->slots.Draw = DrawObject;
    }
    GameObject* o = Obj_Alloc();
    o->classNum = WORLD;
    o->flags = OBJ_ACTIVE;
    o->drawModel = model;
    o->slots.Draw = DrawObject;
    g_params = params_.get();
    if (sky_) std::snprintf(Level_SkyName[0], kLevelSkyNameSize, "%s", "maps\\sky\\street");
    ViewParams v{};
    v.position = eye;
    vec3 dir;
    Vec_Subtract(&at, &eye, &dir);
    Vec_ToAngles(&dir, &v.angles);
    v.zoom = 1.5f;  // 90 degrees
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, kClear[0], kClear[1], kClear[2]);
    View_RenderWorld(&v);
    tw_test::Picture p = tw_test::ReadScreenAndEndFrame();
    Obj_ClearAll();
    Level_SkyName[0][0] = 0;
    return p;
  }
  static void DrawObject(GameObject* self, ViewParams* view) {
    ModelDrawParams* p = self->drawModel == g_level ? g_levelParams : g_params;
    self->drawModel->Draw(self->drawModel, p, view);
  }
  // Mean brightness of the 9 x 9 pixels around the centre.
  static double CentreLight(const tw_test::Picture& p) {
    double sum = 0;
    for (int y = p.height / 2 - 4; y <= p.height / 2 + 4; y++)
      for (int x = p.width / 2 - 4; x <= p.width / 2 + 4; x++) {
        const uint8_t* c = p.At(x, y);
        sum += c[0] + c[1] + c[2];
      }
    return sum / (81 * 3);
  }
  std::unique_ptr<ModelDrawParams> params_;
  bool sky_ = true;  // the street's sky behind the frame
};

TEST_F(SampleLevel, StreetIsLitAndShadowedOnBothBackEnds) {
  const SampleStreetPlaces& s = kSampleStreet;
  tw_test::Picture lit[2];
  const char* apis[2] = {"OPENGL", "D3D8"};
  for (int i = 0; i < 2; i++) {
    ASSERT_TRUE(Start(apis[i])) << apis[i];
    ModelObject* street = Model_Get("maps\\street\\street");
    ASSERT_NE(street, nullptr) << apis[i];
    EXPECT_EQ(street->Trace, mayb_Trace);
    lit[i] = Draw(street, s.camera, s.shadowPoint);
    tw_test::Picture sunny = Draw(street, s.camera, s.litPoint);
    Var_SetValue(&model_draw_lightmap, 0);
    tw_test::Picture flat = Draw(street, s.camera, s.shadowPoint);
    Var_SetValue(&model_draw_lightmap, 1);
    // Not one colour: the picture shows the street.
    int differing = 0;
    for (int k = 0; k < lit[i].width * lit[i].height; k += 97)
      differing += std::abs(lit[i].bgra[size_t(k) * 4 + 1] - lit[i].bgra[1]) > 12;
    EXPECT_GT(differing, 100) << apis[i];
    // The house's shadow darkens the road; the sunny road is brighter than the shadowed one.
    EXPECT_LT(CentreLight(lit[i]), 0.7 * CentreLight(flat)) << apis[i];
    EXPECT_GT(CentreLight(sunny), 1.4 * CentreLight(lit[i])) << apis[i];
    Stop();
  }
  std::string where;
  double mean = 0;
  // Minified, mipmapped textures are filtered a little differently by the two back ends: a few
  // per cent of the pixels may leave the neighbourhood range, the mean difference stays small.
  int bad = tw_test::PictureDisagreements(lit[0], lit[1], 12, &where, &mean);
  EXPECT_LT(bad, lit[0].width * lit[0].height / 25) << where;
  EXPECT_LT(mean, 4.0) << where;
  std::string log = tw_test::ReadFile("log");
  EXPECT_EQ(log.find(".may: "), std::string::npos) << "a refused level";
  EXPECT_EQ(log.find(".mp: "), std::string::npos) << "a refused model";
  EXPECT_EQ(log.find("wrong id"), std::string::npos);
  // The archive's tree cache fits the level: nothing is rebuilt or written beside the archive.
  EXPECT_FALSE(tw_test::FileExists("maps/street/street.hmp_cache"));
}

TEST_F(SampleLevel, HeroWalksUnlikeItsBindPoseOnBothBackEnds) {
  tw_test::Picture walking[3];
  const char* apis[3] = {"OPENGL", "D3D8", "OPENGL"};
  for (int i = 0; i < 3; i++) {
    Var_SetText(&render_var_type, i == 2 ? "VBO" : "AGP");  // the last run streams through buffers
    ASSERT_TRUE(Start(apis[i]));
    ModelObject* body = Model_Get("npc\\jaxtorvin\\body");
    Skeleton* skel = Skel_Get("anim\\jaxtorvin\\jaxtorvin_stand");
    Animation* walk = Anim_Get("anim\\jaxtorvin\\jaxtorvin_walk");
    ASSERT_TRUE(body && skel && walk);
    EXPECT_GE(skel->boneCount, 20);
    std::vector<BonePose> bind(skel->bindPose, skel->bindPose + skel->boneCount), pose(size_t(skel->boneCount));
    Anim_EvalPose(skel, walk, 0.25f, nullptr, pose.data(), 1);
    params_->skeleton = skel;
    vec3 eye{80, 0, 32}, at{0, 0, 32};
    params_->poseA = params_->poseB = bind.data();
    tw_test::Picture still = Draw(body, eye, at);
    params_->poseA = params_->poseB = pose.data();
    walking[i] = Draw(body, eye, at);
    int covered = 0, changed = 0;
    for (size_t k = 0; k < still.bgra.size(); k += 4) {
      covered += still.bgra[k + 1] != still.bgra[1] || still.bgra[k] != still.bgra[0];
      changed += std::abs(still.bgra[k + 1] - walking[i].bgra[k + 1]) > 30;
    }
    EXPECT_GT(covered, 2000) << apis[i] << ": the hero fills part of the view";
    EXPECT_GT(changed, 300) << apis[i] << ": legs and arms swing";
    Stop();
  }
  std::string where;
  double mean = 0;
  EXPECT_LT(tw_test::PictureDisagreements(walking[0], walking[1], 12, &where, &mean), walking[0].width * walking[0].height / 100)
      << where;
  EXPECT_LT(mean, 3.0);
  EXPECT_EQ(tw_test::PictureDisagreements(walking[0], walking[2], 0, &where), 0) << where;
}

// A pane of "house_ne" looked at straight on, the rest of the level left out so that the sky stands
// behind it, once with the pane and once without: the glass (alpha 110 of 255) tints the sky by
// the same amount on both back ends.
TEST_F(SampleLevel, WindowGlassIsSeeThroughOnBothBackEnds) {
  const vec3 eye{445, 300, 255}, pane{445, 799.5f, 255};  // the first pane's left half, clear of its bars
  const char* apis[2] = {"OPENGL", "D3D8"};
  int glassed[2][3], bare[2][3];
  for (int i = 0; i < 2; i++) {
    ASSERT_TRUE(Start(apis[i])) << apis[i];
    ModelObject* street = Model_Get("maps\\street\\street");
    ASSERT_NE(street, nullptr);
    auto* level = static_cast<MaylLevel*>(street->data);
    std::vector<int> sets;
    for (int k = 0; k < level->shaderCount; k++) {
      sets.push_back(level->shaders[k].setCount);
      if (std::string(level->shaders[k].name) != "glass_ALPHA") level->shaders[k].setCount = 0;
    }
    tw_test::Picture with = Draw(street, eye, pane);
    for (int k = 0; k < level->shaderCount; k++) level->shaders[k].setCount = 0;
    tw_test::Picture without = Draw(street, eye, pane);
    for (int k = 0; k < level->shaderCount; k++) level->shaders[k].setCount = sets[size_t(k)];
    for (int c = 0; c < 3; c++) {
      glassed[i][c] = with.At(with.width / 2, with.height / 2)[c];
      bare[i][c] = without.At(with.width / 2, with.height / 2)[c];
    }
    Stop();
  }
  int shown = 0;
  for (int c = 0; c < 3; c++) {
    shown = std::max(shown, std::abs(glassed[0][c] - bare[0][c]));
    EXPECT_NEAR(bare[1][c], bare[0][c], 4) << "channel " << c << ": the sky differs";
    EXPECT_NEAR(glassed[1][c], glassed[0][c], 6) << "channel " << c << ": Direct3D 8 " << glassed[1][c] << " (sky "
                                                 << bare[1][c] << "), OpenGL " << glassed[0][c] << " (sky " << bare[0][c]
                                                 << ")";
  }
  EXPECT_GT(shown, 20) << "no glass drawn";
}

// From the top of the lift (its floor 248 units up, the hero's eye 56 above it) the street's edge lies
// about 9 degrees below the horizon: the sky reaches down to it, and no row between shows the
// frame's clear colour.
TEST_F(SampleLevel, FromTheLiftTopTheSkyMeetsTheStreetsEdge) {
  ASSERT_TRUE(Start("OPENGL"));
  ModelObject* street = Model_Get("maps\\street\\street");
  ASSERT_NE(street, nullptr);
  for (const vec3 toward : {vec3{1, 0, 0}, vec3{0, 1, 0}, vec3{-1, 0, 0}}) {
    const vec3 eye{700, -450, 248 + 56};
    tw_test::Picture p = Draw(street, eye, vec3{eye.x + toward.x, eye.y + toward.y, eye.z});
    int cleared = 0;
    for (int y = 0; y < p.height; y++)
      for (int x = 0; x < p.width; x += 4) cleared += Cleared(p.At(x, y));
    EXPECT_EQ(cleared, 0) << "toward " << toward.x << " " << toward.y << ": the clear colour shows";
  }
  Stop();
}

// The hero standing in the lightmapped rooms, drawn by the world pass after the level, takes the
// light of the view as he does on his own: the level's stages are not left to tint him, on either
// back end, and the two back ends agree.
TEST_F(SampleLevel, HeroInTheLitRoomsIsAsBrightAsOnHisOwnOnBothBackEnds) {
  const vec3 hero = kTsSampleLevels[2].start, eye{hero.x + 80, hero.y, 40}, at{hero.x, hero.y, 32};
  const char* apis[2] = {"OPENGL", "D3D8"};
  double alone[2] = {}, inRoom[2] = {};
  for (int i = 0; i < 2; i++) {
    ASSERT_TRUE(Start(apis[i])) << apis[i];
    ModelObject* rooms = Model_Get("maps\\rooms\\rooms");
    ModelObject* body = Model_Get("npc\\jaxtorvin\\body");
    Skeleton* skel = Skel_Get("anim\\jaxtorvin\\jaxtorvin_stand");
    ASSERT_TRUE(rooms && body && skel) << apis[i];
    ModelDrawParams* heroParams = params_.get();
    heroParams->skeleton = skel;
    heroParams->position = hero;
    heroParams->lightingMode = 1;  // as characters are drawn
    auto levelParams = std::make_unique<ModelDrawParams>();
    levelParams->scale = {1, 1, 1};
    g_level = rooms;
    g_levelParams = levelParams.get();
    sky_ = false;  // the rooms have none
    // The hero over the clear colour marks his pixels; the same pixels are then read with the
    // rooms drawn first.
    tw_test::Picture own = Draw(body, eye, at);
    tw_test::Picture room = Draw(body, eye, at, rooms);
    g_level = nullptr;
    int n = 0;
    for (int y = 1; y < own.height - 1; y++)
      for (int x = 1; x < own.width - 1; x++) {
        // Inner pixels only: the hero's edge mixes with whatever lies behind him.
        if (Cleared(own.At(x, y)) || Cleared(own.At(x - 1, y)) || Cleared(own.At(x + 1, y)) ||
            Cleared(own.At(x, y - 1)) || Cleared(own.At(x, y + 1)))
          continue;
        for (int k = 0; k < 3; k++) {
          alone[i] += own.At(x, y)[k];
          inRoom[i] += room.At(x, y)[k];
        }
        n++;
      }
    ASSERT_GT(n, 2000) << apis[i] << ": the hero fills part of the view";
    alone[i] /= 3.0 * n * 255;
    inRoom[i] /= 3.0 * n * 255;
    EXPECT_NEAR(inRoom[i], alone[i], 0.03) << apis[i] << ": the hero's mean grey in the rooms " << inRoom[i]
                                           << ", on his own " << alone[i];
    Stop();
  }
  EXPECT_NEAR(inRoom[1], inRoom[0], 0.03) << "the hero's mean grey in the rooms: Direct3D 8 " << inRoom[1]
                                          << ", OpenGL " << inRoom[0];
}

}  // namespace
