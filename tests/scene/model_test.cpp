// The model registry with fake loaders, and the surface list.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scene/model.h"
#include "scene/skeleton.h"
#include "support/render_support.h"
#include "tools/scene_writer.h"
#include "world/fx.h"
#include "world/level.h"

namespace {

std::vector<std::string> g_calls;  // "A:name", "B:name", "free:<tag>"
std::vector<ModelObject*> g_freedSlots;

void FakeFree(ModelObject** model) {
  g_calls.push_back("free:" + std::string(static_cast<const char*>((*model)->data)));
  g_freedSlots.push_back(reinterpret_cast<ModelObject*>(model));
  delete[] static_cast<char*>((*model)->data);
  delete *model;
  *model = nullptr;
}

ModelObject* Make(const char* name) {
  auto* m = new ModelObject{Model_NoQuery, Model_NoDraw, Model_NoTrace, FakeFree, nullptr};
  std::string tag(name);
  auto* data = new char[tag.size() + 1];
  tag.copy(data, tag.size());
  data[tag.size()] = 0;
  m->data = data;
  return m;
}

// A takes names beginning with "a"; B takes names beginning with "a" or "b".
ModelObject* LoaderA(const char* name) {
  g_calls.push_back(std::string("A:") + name);
  return (name[0] == 'a' || name[0] == 'A') ? Make(name) : nullptr;
}
ModelObject* LoaderB(const char* name) {
  g_calls.push_back(std::string("B:") + name);
  return (name[0] == 'a' || name[0] == 'b') ? Make((std::string("B") + name).c_str()) : nullptr;
}

class ModelRegistryTest : public tw_test::LoggedTest {
 protected:
  void SetUp() override {
    LoggedTest::SetUp();
    Model_Reset();
    Model_AddLoader(LoaderA);
    Model_AddLoader(LoaderB);
    g_calls.clear();
    g_freedSlots.clear();
  }
  void TearDown() override {
    Model_Reset();
    LoggedTest::TearDown();
  }
};

TEST_F(ModelRegistryTest, CachesByNameInAnyCaseAndRetriesMisses) {
  ModelObject* a = Model_Get("apple");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(Model_Get("APPLE"), a);
  EXPECT_EQ(Model_CacheEntries()[0].refCount, 2);
  EXPECT_STREQ(static_cast<const char*>(a->data), "apple");  // the first loader wins
  EXPECT_EQ(Model_Get("zebra"), nullptr);
  EXPECT_EQ(Model_Get("zebra"), nullptr);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"A:apple", "A:zebra", "B:zebra", "A:zebra", "B:zebra"}));
  EXPECT_EQ(Model_Get(""), nullptr);
  EXPECT_EQ(Model_Get(nullptr), nullptr);
  // 128 characters or more: refused with one line, no loader asked.
  g_calls.clear();
  std::string longName(128, 'a');
  EXPECT_EQ(Model_Get(longName.c_str()), nullptr);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_NE(Log().find("Model_Get: name too long"), std::string::npos);
  EXPECT_NE(Model_Get(std::string(127, 'a').c_str()), nullptr);
  ModelObject* held = a;
  Model_Release(&held);
  EXPECT_EQ(held, nullptr);
  EXPECT_EQ(Model_Get("apple"), a);  // still cached
}

// What is drawn every frame asks through Model_Find: a name no loader takes is tried once until
// the level ends or the loader table changes; found names come from the same cache as Model_Get.
TEST_F(ModelRegistryTest, FindTriesAMissingNameOnceALevel) {
  for (int frame = 0; frame < 3; ++frame) {
    EXPECT_EQ(Model_Find("zebra"), nullptr);
    EXPECT_EQ(Model_Find("ZEBRA"), nullptr);
  }
  EXPECT_EQ(g_calls, (std::vector<std::string>{"A:zebra", "B:zebra"}));
  ModelObject* a = Model_Find("apple");
  EXPECT_EQ(Model_Find("apple"), a);
  EXPECT_EQ(Model_Get("apple"), a);
  EXPECT_EQ(Model_Find(""), nullptr);
  EXPECT_EQ(Model_Find(nullptr), nullptr);
  g_calls.clear();
  Model_FreeAll();  // the next level asks again
  EXPECT_EQ(Model_Find("zebra"), nullptr);
  Model_AddLoader(LoaderA);  // so does a new loader
  EXPECT_EQ(Model_Find("zebra"), nullptr);
  EXPECT_EQ(Model_Find("zebra"), nullptr);
  EXPECT_EQ(g_calls, (std::vector<std::string>{"free:apple", "A:zebra", "B:zebra", "A:zebra", "B:zebra", "A:zebra"}));
}

TEST_F(ModelRegistryTest, FreeAllReleasesEverythingLastToFirstAndAFullCacheResolvesCachedNames) {
  SceneToolBone bone;
  bone.name = "Bip01";
  tw_test::WriteFile("s.sk", SceneTool_SkBytes({bone}));
  SceneToolAnim anim;
  anim.positions = {0, 0, 0};
  anim.rotations = {0, 0, 0, 1};
  tw_test::WriteFile("s.am", SceneTool_AmBytes(anim));
  ASSERT_NE(Skel_Get("s"), nullptr);
  ASSERT_NE(Anim_Get("s"), nullptr);
  Model_Get("a1");
  Model_Get("b2");
  Model_Get("a3");
  Fx_Alloc();
  Light_Count = 9;
  const ModelCacheEntry* entries = Model_CacheEntries();
  Model_FreeAll();
  EXPECT_EQ(g_calls, (std::vector<std::string>{"A:a1", "A:b2", "B:b2", "A:a3", "free:a3", "free:Bb2", "free:a1"}));
  for (ModelObject* slot : g_freedSlots)  // each Free got a local copy, never the cache's entry
    for (int i = 0; i < 3; ++i) EXPECT_NE(static_cast<void*>(slot), static_cast<const void*>(&entries[i].object));
  EXPECT_EQ(Model_CacheCount(), 0);
  EXPECT_EQ(Skel_CacheCount(), 0);
  EXPECT_EQ(Anim_CacheCount(), 0);
  EXPECT_EQ(Fx_ActiveList, nullptr);
  EXPECT_EQ(Light_Count, 0);
  g_calls.clear();
  EXPECT_NE(Model_Get("a1"), nullptr);  // loaded again
  EXPECT_EQ(g_calls, std::vector<std::string>{"A:a1"});
  // A full cache still resolves cached names.
  for (int i = 0; i < kModelCacheSize; ++i) ASSERT_NE(Model_Get(("a" + std::to_string(i)).c_str()), nullptr);
  g_calls.clear();
  EXPECT_EQ(Model_Get("anew"), nullptr);
  EXPECT_TRUE(g_calls.empty());
  EXPECT_NE(Model_Get("A7"), nullptr);
}

TEST_F(ModelRegistryTest, SurfaceList) {
  Model_LoadSurfaceList();
  EXPECT_EQ(Model_SurfaceCount, 0);
  EXPECT_NE(Log().find("maxsurfaces=0\n"), std::string::npos);
  std::vector<SceneToolSurface> list(130);
  for (size_t i = 0; i < list.size(); ++i) list[i] = {"s" + std::to_string(i), "step", "shot", "ric", 0.5f, 0.25f, float(i)};
  list[0].step = std::string(300, 'x');
  std::string text = "[soft] [7] [unknown] [skipped] " + SceneTool_SurfaceList(list);
  tw_test::WriteFile("scripts/surfaces/list", text);
  Model_LoadSurfaceList();
  EXPECT_EQ(Model_SurfaceCount, 127);
  EXPECT_FLOAT_EQ(Model_Surfaces[0].soft, 7.0f);  // before the first id: record 0
  EXPECT_STREQ(Model_Surfaces[1].id, "s0");
  EXPECT_EQ(std::string(Model_Surfaces[1].soundStep), std::string(63, 'x'));
  EXPECT_FLOAT_EQ(Model_Surfaces[1].ricochet, 0.5f);
  EXPECT_STREQ(Model_Surfaces[126].id, "s125");
  EXPECT_STREQ(Model_Surfaces[127].id, "s129");  // ids 128..130 overwrite record 127
  EXPECT_FLOAT_EQ(Model_Surfaces[127].glass, 129.0f);
  EXPECT_NE(Log().find("maxsurfaces=127\n"), std::string::npos);
}

}  // namespace
