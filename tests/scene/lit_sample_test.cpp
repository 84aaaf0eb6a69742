// The sample game's per-pixel-lit level and figure, loaded through the registry from the archive
// that make_sample builds.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "foundation/file.h"
#include "scene/bu.h"
#include "scene/bu_lighting.h"
#include "scene/du.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "support/test_support.h"

TEST(LitSample, LevelAndFigureLoadFromTheArchive) {
  tw_test::TempDir dir;
  ASSERT_TRUE(tw_test::MakeSampleGame(dir.Path()));
  File_Init();
  Model_Init(1);
  ModelObject* level = Model_Get("maps\\litroom\\litroom");
  ModelObject* figure = Model_Get("models\\lit\\figure");
  ASSERT_NE(level, nullptr);
  ASSERT_NE(figure, nullptr);
  auto* du = static_cast<DuLevel*>(level->data);
  EXPECT_EQ(du->header->portalCount, 1);
  EXPECT_NE(du->tree, nullptr);
  auto* bu = static_cast<BuModel*>(figure->data);
  EXPECT_EQ(bu->header->objectCount, 2);
  EXPECT_NE(bu->header->volume, nullptr);
  // Its bones are the skeleton's, bound by the inverse of the skeleton's bind pose.
  Skeleton* skel = Skel_Get("anim\\lit\\figure");
  ASSERT_NE(skel, nullptr);
  ASSERT_EQ(skel->boneCount, bu->header->boneCount);
  for (int i = 0; i < skel->boneCount; ++i) EXPECT_STREQ(skel->bones[i].name, bu->header->bones[i].name);
  EXPECT_EQ(bu->header->bones[1].bindPosition[2], -32.0f);
  EXPECT_EQ(bu->header->bones[1].skelBone, -2);
  bu_BindBones(bu, skel);
  EXPECT_EQ(bu->header->bones[0].skelBone, 0);
  EXPECT_EQ(bu->header->bones[1].skelBone, 1);
  std::strcpy(skel->bones[1].name, "Tip");  // names match exactly, case included
  skel->number += 100;
  bu_BindBones(bu, skel);
  EXPECT_EQ(bu->header->bones[1].skelBone, -1);
  EXPECT_NE(Anim_Get("anim\\lit\\figure_bend"), nullptr);
  // Every lighting program of both ATI paths and the two lighting textures.
  LightProgramSet both = Lighting_BuPathPrograms(kPathR200) | Lighting_BuPathPrograms(kPathR300);
  for (int p = 0; p < kProgAtiZ; ++p)
    EXPECT_TRUE(!(both & (LightProgramSet(1) << p)) || TextFile_Get((std::string("scripts\\shaders\\") + Lighting_ProgramFile(p)).c_str()))
        << Lighting_ProgramFile(p);
  for (const char* name : {"textures\\flat.tga", "textures\\normalization.cub", "textures\\normalization_PX.tga"}) {
    FileHandle* f = File_Open(name, "rb");
    EXPECT_NE(f, nullptr) << name;
    if (f) File_Close(f);
  }
  // Nothing of it is loose in the game folder: it all came from the archive.
  EXPECT_FALSE(std::filesystem::exists("maps/litroom/litroom.du"));
  EXPECT_FALSE(std::filesystem::exists("scripts/shaders"));
  Model_Reset();
  File_Shutdown();
}
