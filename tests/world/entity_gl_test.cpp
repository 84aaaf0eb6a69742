// The sample street after its entity files are read from the archive as the level loader reads
// them: the starts, props, characters and pickups they place, world passes that show the level,
// the props and the street door in the read-back pixels, and the use key on the street's props.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "characters/actions.h"
#include "characters/defs.h"
#include "characters/npc.h"
#include "characters/player.h"
#include "foundation/file.h"
#include "foundation/text.h"
#include "foundation/var.h"
#include "hud/hud.h"
#include "physics/physics.h"
#include "platform/window.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "scene/model.h"
#include "scene/view.h"
#include "support/render_support.h"
#include "world/entity.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"
#include "world/projectile.h"
#include "world/props.h"
#include "world/start.h"
#include "world/tick.h"
#include "world/world_fixture.h"

namespace {

bool g_ready;
std::string g_game;
std::string g_out;
void Capture(const char* text, size_t length, void*) { g_out.append(text, length); }

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
    g_out.clear();
    Ent_SetOutput(Capture, nullptr);
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
  // The player and the street's four entity files, as a level load reads them.
  static GameObject* LoadStreet() {
    GameObject* player = Player_CreateForLevel();
    EXPECT_NE(player, nullptr);
    if (!player) return nullptr;
    Light_Count = Level_EmitterCount = 0;
    for (const char* ext : {".scn", ".civ", ".bot", ".items"}) LoadObjects((std::string("scenes\\street") + ext).c_str());
    Level_SetupStartsAndPickups();
    player->flags &= ~OBJ_ACTIVE;  // the camera stands in the player's place
    return player;
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
    return tw_test::ReadScreenAndEndFrame();
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

// The street's files place the player start, two deathmatch starts, the props and characters
// (ids given win over the templates', the rest from the template) and four pickups with their
// lines (the fifth pickup, the gate key, is an item); one world pass from the player start shows
// the level and the props, another the street door closed and then open after its use.
TEST_F(StreetEntities, StreetFilesPlaceTheirObjectsAndTheWorldPassShowsLevelPropsAndTheDoor) {
  GameObject* player = LoadStreet();
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(g_out.find("unknown"), std::string::npos) << g_out;
  EXPECT_EQ(Log().find("LoadObjects: not found"), std::string::npos);
  EXPECT_FLOAT_EQ(player->angles.x, kMathPi / 2);
  EXPECT_EQ(Level_DmStartCount, 2);
  int count[NPC + 1] = {};
  for (GameObject* o = Obj_ListHead; o; o = o->next) count[o->classNum]++;
  // The street, the crate, seven pickups, the sun's wall, three levers, the shop's door, a car,
  // three loose crates, the Transport System point and the terminal; the sun; two animated props;
  // five doors; three characters (the gang member among them).
  EXPECT_EQ((std::vector<int>{count[WORLD], count[AREOL], count[ANIM], count[FUNC_DOOR], count[NPC]}),
            (std::vector<int>{20, 1, 2, 5, 3}));
  ASSERT_NE(Person_FindByName("townsman_1"), nullptr);
  EXPECT_EQ(Person_FindByName("townsman_1")->person.health, 80);
  ASSERT_EQ(Level_PickupCount, 7);
  for (const char* line : {"area=-1 weapon [pi]\n", "area=-1 medic [25]\n", "area=-1 ammo [9MM]\n", "area=-1 armor [vest]\n",
                           "area=-1 item [gate key]\n", "area=-1 weapon [grenade]\n"})
    EXPECT_NE(Log().find(line), std::string::npos) << line;
  ASSERT_NE(Person_FindByName("bullets"), nullptr);
  EXPECT_STREQ(Person_FindByName("bullets")->useScript, "pickup");  // the use key reaches the crate
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

  // The street door: drawn closed, then slid out of view after its use.
  GameObject* door = Person_FindByName("street_door");
  ASSERT_NE(door, nullptr);
  ASSERT_NE(door->drawModel, nullptr);
  Door_Animate(door);

  eye = vec3{0, 0, 48};
  const vec3 at{0, -400, 16};
  tw_test::Picture closed = Pass(eye, at);
  Show("street_door", 0);
  tw_test::Picture none = Pass(eye, at);
  Show("street_door", 1);
  Door_Use(door, player, nullptr);
  for (int i = 0; i < 20; i++) {
    Game_Step = 0.1;
    Game_Time += 0.1;
    Door_Think(door);
    Door_Animate(door);
  }
  EXPECT_EQ(door->prop.point, kDoorOpen);
  tw_test::Picture open = Pass(eye, at);
  EXPECT_GT(Differing(closed, none), pixels / 500) << "the closed door stands in view";
  EXPECT_LT(Differing(open, none), pixels / 2000) << "the open door has slid out of view";
}

// The use key on the gate's lever, the gate and the hacker's door.
TEST_F(StreetEntities, TheUseKeyOpensTheGateByItsLeverAndTheHackDoorRefuses) {
  GameObject* player = LoadStreet();
  ASSERT_NE(player, nullptr);
  // The use key with the player 40 units before an object, facing it.
  player->flags |= OBJ_ACTIVE;
  auto useFacing = [&](const char* name) {
    GameObject* o = Person_FindByName(name);
    player->origin = vec3{o->origin.x, o->origin.y + 40, 0};
    player->angles = vec3{kMathPi, 0, 0};  // facing -y
    Game_TickFrame = DemoFrame{0.01f, 0, 0, 0};
    Player_Think(player);
    Player_CommandWord = CMD_USE;
    Game_PlayInput();
    return player->useTargetObject == o;
  };
  GameObject* gate = Person_FindByName("gate_1");
  EXPECT_TRUE(useFacing("gate_1"));
  EXPECT_EQ(gate->prop.targetPoint, 0) << "the gate opens only by its lever";
  EXPECT_TRUE(useFacing("gate_lever"));
  EXPECT_EQ(gate->prop.targetPoint, kDoorOpen);
  EXPECT_NE(Log().find("incoming triggercommand [door] [100]"), std::string::npos);
  Console_Clear();
  EXPECT_TRUE(useFacing("hack_door"));
  EXPECT_EQ(Person_FindByName("hack_door")->prop.targetPoint, 0);
  ASSERT_EQ(Console_GetLineCount(), 1);
  EXPECT_EQ(std::u16string(Console_GetLine(0, nullptr)), u"You need 50 hack skill to open this door");
}

// A townsman shot dead by one bullet falls as a body the bullet knocks over; it comes to rest lying
// on the road within three seconds, and the world pass draws it as its body lies: seen from its
// side, its pixels that rose tall and narrow while it stood spread low and wide.
TEST_F(StreetEntities, AShotCharacterIsDrawnLyingAsItsBodyLies) {
  GameObject* player = LoadStreet();
  ASSERT_NE(player, nullptr);
  ASSERT_GT(Physics_LevelTriangles.size(), 0u) << "no physics level";
  GameObject* npc = Person_FindByName("townsman_1");
  ASSERT_NE(npc, nullptr);
  npc->slots.Animate(npc);
  struct Extent {
    int width, height, top;
  };
  // The character's pixels (against the pass without it) seen level from 200 units off `side`.
  auto extent = [&](vec3 side) {
    const vec3 at{npc->origin.x, npc->origin.y, 30};
    const vec3 eye{at.x + 200 * side.x, at.y + 200 * side.y, 30};
    tw_test::Picture with = Pass(eye, at);
    Show("townsman_1", 0);
    tw_test::Picture without = Pass(eye, at);
    Show("townsman_1", 1);
    int left = with.width, right = -1, low = with.height, high = -1;
    for (int y = 0; y < with.height; y++)
      for (int x = 0; x < with.width; x++) {
        const uint8_t *a = with.At(x, y), *b = without.At(x, y);
        if (std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) <= 30) continue;
        left = std::min(left, x), right = std::max(right, x), low = std::min(low, y), high = std::max(high, y);
      }
    return Extent{right - left, high - low, high};  // rows count from the bottom
  };
  const Extent standing = extent(vec3{1, 0, 0});
  EXPECT_GT(standing.height, 2 * standing.width) << "standing, it rises tall";

  // One pistol bullet of the player's, level at eye height from 200 units off, kills him; nothing
  // else pushes the body it makes.
  player->flags |= OBJ_ACTIVE;
  player->origin = vec3{npc->origin.x + 400, npc->origin.y, 0};  // near: the body stays in the world
  Game_Running = 1;
  Hud_Shutdown();  // the skill factors at 1.0
  npc->person.health = 20;
  const int pi = Def_FindWeaponByName("pi");
  ASSERT_GE(pi, 0);
  vec3 from{npc->origin.x - 200, npc->origin.y, 56}, velocity{1500, 0, 0}, angles{0, 0, 0};
  ASSERT_NE(Pulka_Spawn("shot", nullptr, 0, "", player->id, &from, 0, &velocity, &angles, pi), nullptr);
  for (int i = 0; i < 50 && npc->person.state != 2; i++) Ticks(1, 0.02f);
  ASSERT_EQ(npc->person.state, 2) << "the bullet killed him";
  ASSERT_NE(npc->physicsBody, nullptr);
  Ticks(150, 0.02f);
  ASSERT_NE(npc->physicsBody, nullptr);
  EXPECT_GT(std::fabs(npc->angles.y) + std::fabs(npc->angles.z), 1.2f) << "the body did not fall over";
  player->flags &= ~OBJ_ACTIVE;
  // Seen across the length it lies along (its own up axis, now level).
  vec3 up;
  Mat_AxesFromAngles(&npc->angles, nullptr, nullptr, &up);
  vec3 side{-up.y, up.x, 0};
  Vec_Normalize(&side);
  const Extent lying = extent(side);
  EXPECT_GT(lying.width, 2 * lying.height) << "lying, it spreads wide and low";
  EXPECT_LT(lying.top, standing.top - standing.height / 2) << "lying, its highest point is low";
  Game_Running = 0;
  Physics_FreeLevel();
}

}  // namespace
