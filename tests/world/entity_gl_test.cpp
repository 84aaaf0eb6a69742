// The sample street after its entity files are read: one world pass from the player start shows
// the level and the props in the read-back pixels.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "characters/defs.h"
#include "foundation/file.h"
#include "foundation/var.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/model.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "world/entity.h"
#include "world/level.h"
#include "world/object.h"
#include "world/start.h"
#include "world/world_fixture.h"

namespace {

bool g_ready;
std::string g_game;
void Discard(const char*, size_t, void*) {}

class StreetEntities : public tw_test::WorldTest {
 protected:
  static void SetUpTestSuite() {
    setenv("TW_UNATTENDED", "1", 1);
    char dir[] = "/tmp/tw_street_entities_XXXXXX";
    if (!tw_test::HaveDisplay() || !mkdtemp(dir)) return;
    g_game = dir;
    g_ready = tw_test::MakeSampleGame(g_game) && Plat_WindowCreate("street entities test");
  }
  static void TearDownTestSuite() {
    if (g_ready) Plat_WindowDestroy();
    if (!g_game.empty()) std::system(("rm -rf " + g_game).c_str());
  }
  void SetUp() override {
    if (!g_ready) GTEST_SKIP() << "no display or no sample game";
    ASSERT_EQ(getcwd(previous_, sizeof previous_), previous_);
    ASSERT_EQ(chdir(g_game.c_str()), 0);
    File_Init();
    WorldTest::SetUp();
    Model_Init(0);
    Model_Init(1);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Var_SetText(&render_api, "OPENGL");
    Render_Start();
    ASSERT_EQ(RenderApi, RENDER_API_OPENGL);
    Render_SetScreenSize(Plat_WindowWidth(), Plat_WindowHeight());
    Tex_FreeAll();
    OPENGL_AllocVar();
    Ent_SetOutput(Discard, nullptr);
  }
  void TearDown() override {
    if (!g_ready) return;
    Ent_SetOutput(nullptr, nullptr);
    Obj_ClearAll();
    Model_Reset();
    Tex_FreeAll();
    Render_Stop();
    Material_ResetTable();
    WorldTest::TearDown();
    File_Shutdown();
    if (chdir(previous_) != 0) ADD_FAILURE();
  }
  static tw_test::Picture Pass(vec3 eye, vec3 at) {
    ViewParams v{};
    v.position = eye;
    vec3 dir;
    Vec_Subtract(&at, &eye, &dir);
    Vec_ToAngles(&dir, &v.angles);
    v.zoom = 1.5f;
    Render_BeginFrame(0, 0, Render_ScreenWidth, Render_ScreenHeight);
    Render_Clear(1, 0.2f, 0.3f, 0.4f);
    View_RenderWorld(&v);
    tw_test::Picture p{Render_ScreenWidth, Render_ScreenHeight, {}};
    p.bgra.resize(size_t(p.width) * p.height * 4);
    Render_ReadPixels(0, 0, p.width, p.height, p.bgra.data());
    Render_EndFrame(1, 1);
    return p;
  }
  static int Differing(const tw_test::Picture& a, const tw_test::Picture& b) {
    int n = 0;
    for (size_t k = 0; k + 3 < a.bgra.size(); k += 4)
      n += std::abs(a.bgra[k] - b.bgra[k]) + std::abs(a.bgra[k + 1] - b.bgra[k + 1]) + std::abs(a.bgra[k + 2] - b.bgra[k + 2]) > 30;
    return n;
  }
  static void Show(const char* name, int visible) {
    GameObject* o = Person_FindByName(name);
    ASSERT_NE(o, nullptr) << name;
    o->prop.visible = visible;
  }
  char previous_[4096];
};

TEST_F(StreetEntities, WorldPassFromThePlayerStartShowsLevelAndProps) {
  GameObject* player = Player_CreateForLevel();
  ASSERT_NE(player, nullptr);
  for (const char* ext : {".scn", ".civ", ".bot", ".items"}) LoadObjects((std::string("scenes\\street") + ext).c_str());
  Level_SetupStartsAndPickups();
  player->flags &= ~OBJ_ACTIVE;  // the camera stands in the player's place
  ASSERT_NE(Person_FindByName("street")->drawModel, nullptr);
  ASSERT_NE(Person_FindByName("crate_1")->drawModel, nullptr);

  vec3 eye{player->origin.x, player->origin.y, player->origin.z + 48};
  vec3 crate{0, 300, 16};
  tw_test::Picture all = Pass(eye, crate);
  Show("crate_1", 0);
  tw_test::Picture noCrate = Pass(eye, crate);
  Show("street", 0);
  tw_test::Picture noStreet = Pass(eye, crate);
  Show("crate_1", 1);
  Show("street", 1);

  int pixels = all.width * all.height;
  EXPECT_GT(Differing(all, noCrate), pixels / 500) << "the crate covers part of the view";
  EXPECT_GT(Differing(noCrate, noStreet), pixels / 5) << "the street fills the lower half";
}

}  // namespace
