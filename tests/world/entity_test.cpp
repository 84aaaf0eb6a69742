// Entity text: the reader, the key table and value forms, includes, the classes with their level
// tables and objects, the player bodies, starts and pickups.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "characters/defs.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "foundation/var.h"
#include "scene/model.h"
#include "tools/def_writer.h"
#include "tools/entity_writer.h"
#include "world/entity.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/props.h"
#include "world/trace.h"
#include "world/start.h"
#include "world/world_fixture.h"

namespace {

using namespace tw_test;

std::string g_out;
void Capture(const char* text, size_t length, void*) { g_out.append(text, length); }

class EntityTest : public WorldTest {
 protected:
  void SetUp() override {
    dir_ = std::make_unique<TempDir>();
    WorldTest::SetUp();
    g_out.clear();
    Ent_SetOutput(Capture, nullptr);
    TextFile_Flush();
    GameVars_Init(0);
    for (const auto& [file, text] : Tool_SampleDefFiles()) WriteFile("scripts/" + file, text);
    for (const DefTable& t : Def_Tables) Def_LoadTable(t);
    Model_Reset();
    Level_PlayerStart = PlayerStartRecord{};
    Level_DmStartCount = Level_EmitterCount = Light_Count = 0;
    Level_SkyName[0][0] = Level_SkyName[1][0] = 0;
    Game_HeroChoice = 0;
    Game_NetGameType = 0;
  }
  void TearDown() override {
    Obj_ClearAll();
    Ent_SetOutput(nullptr, nullptr);
    Model_Reset();
    TextFile_Flush();
    WorldTest::TearDown();
    dir_.reset();
  }
  static void Read(const std::string& text) { read_ent(text.data(), uint32_t(text.size())); }
  // One block's pairs applied to a fresh template (a block without a class spawns nothing).
  static const SpawnTemplate& Apply(const std::string& pairs) {
    Read("{" + pairs + "}");
    return Ent_Template;
  }
  static std::string Blocks(const std::vector<EntityToolPairs>& blocks) {
    std::string text;
    EXPECT_TRUE(Tool_EntityText(blocks, &text));
    return text;
  }
  static GameObject* Find(const char* name) {
    for (GameObject* o = Obj_ListHead; o; o = o->next)
      if (std::strcmp(o->person.name, name) == 0) return o;
    return nullptr;
  }
  std::unique_ptr<TempDir> dir_;
};

TEST_F(EntityTest, KeyTableHas250RowsAllAcceptedSilently) {
  std::string pairs;
  int rows = 0;
  for (int r = 1; Ent_KeyName(r); r++, rows++) {
    EXPECT_EQ(Ent_FindKey(Ent_KeyName(r)), r) << Ent_KeyName(r);
    if (std::strcmp(Ent_KeyName(r), "call") != 0) pairs += "\"" + std::string(Ent_KeyName(r)) + "\" \"1\"";
  }
  EXPECT_EQ(rows + 1, kEntKeyCount);
  EXPECT_STREQ(Ent_KeyName(kEntKeyCount - 1), "noBlood");
  EXPECT_STREQ(Ent_KeyName(247), "light_shaderparm7");
  Apply(pairs);
  EXPECT_EQ(g_out.find("unknown"), std::string::npos) << g_out;
  Apply("\"ORIGIN\" \"1 2 3\" \"bogus\" \"1\"");
  EXPECT_EQ(Ent_Template.origin.y, 2.0f);
  EXPECT_NE(g_out.find("block_support: wrning, unknown bogus\n"), std::string::npos);
}

TEST_F(EntityTest, ValueForms) {
  const float kDeg = kMathPi * 0.0055555557f;
  struct Case {
    const char* pairs;
    std::function<void(const SpawnTemplate&)> check;
  };
  const Case cases[] = {
      {R"("spawnflags" "010")", [](auto& t) { EXPECT_EQ(t.spawnflags, 8); }},
      {R"("spawnflags" "08")", [](auto& t) { EXPECT_EQ(t.spawnflags, 0); }},
      {R"("spawnflags" "0x1F")", [](auto& t) { EXPECT_EQ(t.spawnflags, 31); }},
      {R"("style" "-12abc")", [](auto& t) { EXPECT_EQ(t.style, -12); }},
      {R"("blocked" "x")", [](auto& t) { EXPECT_EQ(t.blocked, 1); }},
      {R"("wait" "2.5")", [](auto& t) { EXPECT_EQ(t.wait, 2.5f); }},
      {R"("origin" "1 2 3" "origin" "7")", [](auto& t) { EXPECT_EQ(t.origin.x, 7); EXPECT_EQ(t.origin.z, 3); }},
      {R"("particlescolor" "1 2")", [](auto& t) { EXPECT_EQ(t.particlescolor[1], 2); EXPECT_EQ(t.particlescolor[2], 255); }},
      {R"("light_rotation" "1 2 3 4 5 6 7 8 9")", [](auto& t) { EXPECT_EQ(t.light_rotation[8], 9); }},
      {R"("model" "*12" "target" "t7" "targetname" "7")", [](auto& t) { EXPECT_EQ(t.model, 12); EXPECT_EQ(t.target, 7); EXPECT_EQ(t.targetname, 0); }},
      {R"("classname" "  light   more")", [](auto& t) { EXPECT_STREQ(t.classname, "light"); }},
      {R"("angle" "90 0 0")", [=](auto& t) { EXPECT_FLOAT_EQ(t.angle.x, 90 * kDeg); }},
      {R"("angle" "10 20 30" "angle" "90")", [=](auto& t) { EXPECT_FLOAT_EQ(t.angle.x, 90 * kDeg); EXPECT_FLOAT_EQ(t.angle.y, 20 * kDeg); }},
      {R"("fogstart" "100")", [](auto& t) { EXPECT_EQ(t.fogstart[0], 100); EXPECT_EQ(t.fogstart[1], 100); }},
      {R"("fogstart2" "50" "fogstart" "100")", [](auto& t) { EXPECT_EQ(t.fogstart[1], 100); }},
      {R"("fogstart" "100" "fogstart2" "50")", [](auto& t) { EXPECT_EQ(t.fogstart[0], 100); EXPECT_EQ(t.fogstart[1], 50); }},
      {R"("fogcolor" "1 2 3")", [](auto& t) { EXPECT_EQ(t.fogcolor[1].z, 3); }},
      {R"("origin" "1 2 3" "aiorigin" "4 5 6")", [](auto& t) { EXPECT_EQ(t.aiorigin.x, 4); }},
      {R"("aiorigin" "4 5 6" "origin" "1 2 3")", [](auto& t) { EXPECT_EQ(t.aiorigin.x, 1); }},
      {R"("team" "BLUE")", [](auto& t) { EXPECT_EQ(t.team, 2); }},
      {R"("team" "green")", [](auto& t) { EXPECT_EQ(t.team, 0); }},
      {R"("aistate" "patrol_origin")", [](auto& t) { EXPECT_EQ(t.aistate, 5); }},
      {R"("agressive_on" "AGRESSIVE_ON_NONE")", [](auto& t) { EXPECT_EQ(t.agressive_on, 0); }},
      {R"("agressive_on" "sometimes")", [](auto& t) { EXPECT_EQ(t.agressive_on, 1); }},
      {R"("name" "a b c")", [](auto& t) { EXPECT_STREQ(t.name[0], "a b c"); EXPECT_STREQ(t.shadowname, "anim\\shadow"); }},
      {R"("speedframe31" "4" "anim31" "z")", [](auto& t) { EXPECT_EQ(t.speedframe[31], 4); EXPECT_STREQ(t.anim[31], "z"); EXPECT_EQ(t.speedframe[30], 1); }},
      {R"("sound_pain2" "ow")", [](auto& t) { EXPECT_STREQ(t.sound_pain[1], "ow"); }},
      {R"("lodmaxdist3" "9")", [](auto& t) { EXPECT_EQ(t.lodmaxdist[3], 9); EXPECT_EQ(t.lodmaxdist[0], 1000000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pairs);
    c.check(Apply(c.pairs));
  }
  // Floats read the same whatever the process locale says.
  const char* old = setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  if (setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
    EXPECT_EQ(Apply(R"("wait" "2.5")").wait, 2.5f);
    setlocale(LC_NUMERIC, saved.c_str());
  }
}

TEST_F(EntityTest, ReaderSyntax) {
  struct Case {
    std::string text;
    int lights;
    const char* line;  // expected on the output, or null
  };
  const std::string light = R"("classname" "light" "light_light" "300")";
  const Case cases[] = {
      {"{ " + light + " }", 1, nullptr},
      {"{\"classname\",\n\"light\" \"light_light\"\"300\"}", 1, nullptr},
      {"junk \"{ not a block }\" more { " + light + " }", 1, nullptr},
      {"} {" + light + "}", 1, "read_ent: missing {\n"},
      {"{ " + light + " { \"id\" \"x\" }", 1, "read_ent: multiply blocks\n"},
      {"{ \"light_light\" \"300\" }", 0, nullptr},
      {"{ \"classname\" \"\" }", 0, nullptr},
      {"{ " + light, 0, nullptr},
      {"{ " + light + " \"id\" \"tail\" \"dangling\" }", 1, nullptr},
      {"{ \"classname\" \"mystery\" }", 0, "class_support: unkonwn class mystery\n"},
      {"{ \"classname\" \"LIGHT\" }", 1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    g_out.clear();
    Light_Count = 0;
    Read(c.text);
    EXPECT_EQ(Light_Count, c.lights);
    if (c.line) {
      EXPECT_NE(g_out.find(c.line), std::string::npos) << g_out;
    }
  }
  // The multiply-blocks pair belongs to the first block; a dangling key is dropped.
  Light_Count = 0;
  Read("{ " + light + " { \"id\" \"inner\" \"light_texture\" }");
  EXPECT_STREQ(Light_Table[0].id, "inner");
  EXPECT_STREQ(Light_Table[0].texture, "");
}

TEST_F(EntityTest, BytesAbove127AreDataAndLongTokensAreCut) {
  // A byte of 255 between blocks does not end the read.
  Read("{\"classname\" \"light\" \"id\" \"a\xff\"}\xff{\"classname\" \"light\"}");
  EXPECT_EQ(Light_Count, 2);
  EXPECT_STREQ(Light_Table[0].id, "a\xff");
  // A 2,000-character token: cut to 1,023 with one line, the scan goes on to its quote.
  g_out.clear();
  std::string big(2000, 'k');
  Read("{\"classname\" \"light\" \"id\" \"" + big + "\" \"light_light\" \"5\" \"" + big + "\" \"1\"}");
  EXPECT_EQ(Light_Count, 3);
  EXPECT_EQ(Light_Table[2].light, 5.0f);
  EXPECT_EQ(std::strlen(Light_Table[2].id), 255u);
  EXPECT_EQ(CountOccurrences(g_out, "read_ent: token cut to 1023 characters\n"), 1);
  EXPECT_EQ(CountOccurrences(g_out, "block_support: value of id cut to 255 characters\n"), 1);
  // A word over its field.
  Apply("\"classname\" \"" + std::string(300, 'w') + "\"");
  EXPECT_EQ(std::strlen(Ent_Template.classname), 127u);
}

TEST_F(EntityTest, IncludesSpliceTemplateFiles) {
  WriteFile("t/inner.scn", R"("id" "from_inner" "light_light" "11")");
  WriteFile("t/a.scn", R"("call" "t\b" "light_texture" "a")");
  WriteFile("t/b.scn", R"("call" "t\c")");
  WriteFile("t/c.scn", R"("call" "t\inner" "light_model" "c")");
  struct Case {
    std::string block;
    const char* id;
    float light;
  };
  const Case cases[] = {
      // Pairs before the call lose against the template's, pairs after it win.
      {R"("id" "before" "call" "t\inner" "light_light" "22")", "from_inner", 22},
      {R"("call" "t\inner" "id" "given")", "given", 11},
      {R"("call" "t/missing" "id" "x")", "x", 256},
  };
  for (const Case& c : cases) {
    Light_Count = 0;
    Read("{\"classname\" \"light\" " + c.block + "}");
    ASSERT_EQ(Light_Count, 1) << c.block;
    EXPECT_STREQ(Light_Table[0].id, c.id);
    EXPECT_EQ(Light_Table[0].light, c.light);
  }
  // Three files deep: a, b, c; the fourth (inner) is ignored.
  Light_Count = 0;
  Read(R"({"classname" "light" "call" "t\a"})");
  ASSERT_EQ(Light_Count, 1);
  EXPECT_STREQ(Light_Table[0].model, "c");
  EXPECT_STREQ(Light_Table[0].texture, "a");
  EXPECT_EQ(Light_Table[0].light, 256.0f);
  // A text that ends inside an include releases it (the sanitizer build checks the leak).
  WriteFile("t/open.scn", R"("id" "x" "light_light)");
  Read(R"({"classname" "light" "call" "t\open" })");
  EXPECT_EQ(Ent_Includes.top, 0);
  // LoadObjects: a missing file is logged.
  LoadObjects("nowhere.scn");
  EXPECT_NE(Log().find("LoadObjects: not found nowhere.scn\n"), std::string::npos);
}

// A model loader that reads entity text, as a spawner's Init might.
ModelObject* NestingLoader(const char*) {
  const char text[] = "{\"classname\" \"light\"}";
  read_ent(text, sizeof text - 1);
  return nullptr;
}

TEST_F(EntityTest, NestedReadIsRefused) {
  Model_AddLoader(NestingLoader);
  Read(R"({"classname" "light" "precache_model" "x" "id" "outer"})");
  EXPECT_EQ(Light_Count, 1);
  EXPECT_STREQ(Light_Table[0].id, "outer");
  EXPECT_NE(g_out.find("read_ent: refused, a read is already running\n"), std::string::npos);
}

TEST_F(EntityTest, SpawnflagsFilter) {
  struct Case {
    int net;
    int32_t flags;
    int allowed;
  };
  const Case cases[] = {{0, 1792, 0}, {0, 256, 1}, {0, 2048, 1}, {1, 2048, 0}, {2, 1792, 1}, {1, 0, 1}};
  for (const Case& c : cases) {
    Game_NetMode = c.net;
    EXPECT_EQ(Ent_SpawnflagsAllow(c.flags), c.allowed) << c.net << " " << c.flags;
  }
  Game_NetMode = 0;
  Read(R"({"classname" "world" "id" "out" "spawnflags" "1792"} {"classname" "light" "spawnflags" "1792"})");
  EXPECT_EQ(Find("out"), nullptr);
  EXPECT_EQ(Light_Count, 1);
}

TEST_F(EntityTest, KitchenSinkFillsTablesAndObjects) {
  Read(Blocks(Tool_KitchenSinkBlocks()));
  EXPECT_EQ(Level_PlayerStart.count, 1);
  EXPECT_EQ(Level_PlayerStart.origin.z, 30);
  ASSERT_EQ(Level_DmStartCount, 1);
  EXPECT_EQ(Level_DmStarts[0].team, 2);
  ASSERT_EQ(Level_EmitterCount, 1);
  EXPECT_STREQ(Level_Emitters[0].name, "sound\\hum");
  EXPECT_EQ(Level_Emitters[0].volume, 0.25f);
  EXPECT_STREQ(Level_SkyName[1], "maps\\sky\\suns");
  ASSERT_EQ(Light_Count, 1);
  EXPECT_EQ(Light_Table[0].radius.y, 20);
  EXPECT_EQ(Light_Table[0].rotation[3], -1);
  EXPECT_EQ(Light_Table[0].shaderParms[7], 7);
  EXPECT_EQ(Light_Table[0].up.z, 1);

  GameObject* crate = Find("crate");
  ASSERT_NE(crate, nullptr);
  EXPECT_EQ(crate->classNum, WORLD);
  EXPECT_EQ(crate->flags, 33u);
  EXPECT_EQ(crate->owner, crate->id);
  EXPECT_STREQ(crate->person.itemText, "[weapon] [pi]");
  EXPECT_EQ(crate->prop.solid, 2);
  EXPECT_EQ(crate->prop.visible, 0);
  EXPECT_EQ(crate->hasClipBox, 1);
  EXPECT_EQ(crate->clipBox2[5], 16);
  EXPECT_EQ(crate->person.respawnTime, 20.0f);
  EXPECT_EQ(crate->prop.fogColor[0][0], 255);
  EXPECT_EQ(crate->prop.fogColor[0][1], 0);
  EXPECT_EQ(crate->prop.fogColor[1][2], 128);
  EXPECT_EQ(crate->prop.fogStart[1], 50);
  EXPECT_EQ(crate->prop.dynamicLight, 2);
  EXPECT_EQ(crate->viewBox[5], 6);
  EXPECT_EQ(crate->viewFar, 500);
  EXPECT_EQ(crate->origin.y, 200);
  EXPECT_EQ(crate->prop.poseOrigin.y, 200);
  EXPECT_STREQ(crate->prop.drawOn, "[lamp]");
  EXPECT_GT(crate->useGroupIndex, 0);
  EXPECT_EQ(Level_FogSets[0].end, 900);

  GameObject* sun = Find("sun");
  ASSERT_NE(sun, nullptr);
  EXPECT_EQ(sun->classNum, AREOL);
  EXPECT_EQ(sun->prop.poseScale.x, 2);
  EXPECT_STREQ(sun->prop.glare, "flares\\glare");
  EXPECT_EQ(sun->prop.solid, 0);

  GameObject* lamp = Find("lamp");
  ASSERT_NE(lamp, nullptr);
  EXPECT_EQ(lamp->classNum, ANIM);
  EXPECT_STREQ(lamp->prop.anims[1], "anim\\lamp_off");
  EXPECT_EQ(lamp->prop.speedFrames[0], 2);
  EXPECT_EQ(lamp->prop.particlesScale, 10);
  EXPECT_EQ(lamp->prop.particlesColor[3], 4);
  EXPECT_EQ(lamp->removeRequest, 1);

  GameObject* gate = Find("gate");
  ASSERT_NE(gate, nullptr);
  EXPECT_EQ(gate->classNum, FUNC_DOOR);
  EXPECT_EQ(gate->prop.doorA[1].z, 50);
  EXPECT_EQ(gate->prop.doorB[0].z, 100);
  EXPECT_EQ(gate->prop.wait, 2);
  EXPECT_EQ(gate->prop.pause, 4);
  EXPECT_STREQ(gate->prop.conditions, "[item] [gate key]");
  EXPECT_STREQ(gate->useGroup2Name, "gate_buttons");
  EXPECT_STREQ(gate->prop.triggerCommand, "[door] [100]");

  GameObject* guard = Find("guard");
  ASSERT_NE(guard, nullptr);
  EXPECT_EQ(guard->classNum, NPC);
  EXPECT_EQ(guard->origin.x, 50);
  EXPECT_EQ(guard->person.health, 70);
}

TEST_F(EntityTest, SpawnedPropsAreHitThroughTheirClipOperation) {
  Read(R"({"classname" "world" "id" "box" "origin" "0 100 0" "solidbox" "1" "clipbox" "-10 -10 0 10 10 20"}
{"classname" "world" "id" "ghost" "origin" "0 200 0" "solidbox" "1" "blocked" "2"})");
  struct Case {
    const char* name;
    uint32_t mask;
    float fraction;
  };
  const Case cases[] = {
      {"box", TRACE_ANIMS | TRACE_STATE1, (90 - 1 / 32.0f) / 200},  // stopped 1/32 before the face
      {"box", TRACE_ANIMS | TRACE_OTHER_STATES, 1.0f},  // state 1 needs its own bit
      {"box", TRACE_STATE1, 1.0f},
      {"ghost", TRACE_ANIMS | TRACE_STATE1, (184 - 1 / 32.0f) / 200},  // the default clip box
      {"ghost", TRACE_ANIMS | TRACE_STATE1 | TRACE_COLLISION_MODEL, 1.0f},  // only a solid word of 1
  };
  for (const Case& c : cases) {
    GameObject* o = Find(c.name);
    ASSERT_NE(o, nullptr);
    o->slots.Animate(o);
    TraceRequest tr{};
    tr.start = vec3{0, 0, 10};
    tr.end = vec3{0, 200, 10};
    tr.delta = vec3{0, 200, 10 - 10};
    tr.fraction = 1.0f;
    tr.mask = c.mask;
    o->slots.Clip(o, &tr);
    EXPECT_NEAR(tr.fraction, c.fraction, 1e-4f) << c.name << " " << c.mask;
    if (c.fraction < 1) {
      EXPECT_EQ(tr.hitObject, o);
      EXPECT_EQ(tr.normal.y, -1.0f);
    }
  }
}

TEST_F(EntityTest, TableLimitsAndEmitterImage) {
  std::string text;
  for (int i = 0; i < 130; i++) text += R"({"classname" "info_player_deathmatch"} {"classname" "sound" "name" "s"} )";
  for (int i = 0; i < 514; i++) text += R"({"classname" "light"} )";
  text += R"({"classname" "sound"})";  // no name: nothing
  Read(text);
  EXPECT_EQ(Level_DmStartCount, kDeathmatchStarts);
  EXPECT_EQ(Level_EmitterCount, kSoundEmitters);
  EXPECT_EQ(Light_Count, kLightRecords);
  Read(R"({"classname" "info_player_start" "origin" "1 1 1"} {"classname" "info_player_start" "origin" "2 2 2"})");
  EXPECT_EQ(Level_PlayerStart.count, 2);
  EXPECT_EQ(Level_PlayerStart.origin.x, 2);

  SoundEmitter e{};
  std::snprintf(e.name, sizeof e.name, "sound\\hum");
  std::snprintf(e.id, sizeof e.id, "emitter");
  e.volume = 0.5f;
  e.origin = vec3{1, -2, 3};
  uint8_t image[kSoundEmitterImageSize];
  SoundEmitter_Write(&e, image);
  EXPECT_EQ(image[64 + 3], 0x3F);  // 0.5f little-endian
  EXPECT_EQ(image[84], 'e');
  SoundEmitter back{};
  SoundEmitter_Read(&back, image);
  EXPECT_EQ(std::memcmp(&back, &e, sizeof e), 0);
}

TEST_F(EntityTest, PlayerBodies) {
  Game_HeroChoice = 1;
  GameObject* p = Player_CreateForLevel();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Obj_Player, p);
  EXPECT_STREQ(p->person.name, "MiraSolvek");
  EXPECT_STREQ(p->prop.modelName, "npc\\mirasolvek\\body");
  EXPECT_EQ(p->flags, 29u);
  EXPECT_EQ(p->person.equippedIndex, Def_FindWeaponByName("pi"));
  EXPECT_EQ(p->person.ammo[2], 30);
  EXPECT_EQ(p->person.equipped2Index, Def_FindArmor("LA Carissima"));
  int stash = 0;
  for (const InvPair& s : p->person.stash) stash += s.kind != 0;
  // Sample definitions: weapons 1 and 2, two armors, two tattoos.
  EXPECT_EQ(stash, 6);

  EXPECT_EQ(p->prop.action, 7);

  Game_NetMode = 1;
  Game_HeroChoice = 0;
  Var_SetText(&game_name, "ThornHelm");
  p = Player_CreateForLevel();
  Var_SetText(&game_name, "");
  EXPECT_EQ(p->prop.action, 0);
  EXPECT_STREQ(p->person.name, "JaxTorvin");
  EXPECT_EQ(p->person.equippedKind, 0);
  EXPECT_EQ(p->person.stash[0].kind, 0);

  struct Case {
    int net, type, team;
    const char* model;
  };
  const Case cases[] = {{1, 1, 1, "anim\\jaxtorvin\\jaxtorvin_0b"},
                        {1, 2, 0, "anim\\jaxtorvin\\jaxtorvin_0r"},
                        {1, 0, 1, "anim\\jaxtorvin\\jaxtorvin_0"},
                        {0, 1, 1, "anim\\jaxtorvin\\jaxtorvin_0"}};
  char roster[64];
  std::memset(roster, 'n', sizeof roster);  // not terminated
  for (const Case& c : cases) {
    Game_NetMode = c.net;
    Game_NetGameType = c.type;
    GameObject* n = NetPlayer_Spawn("", 7, c.team, roster, nullptr, nullptr, nullptr);
    ASSERT_NE(n, nullptr);
    EXPECT_STREQ(n->person.lodModels[0], c.model);
    EXPECT_EQ(n->person.lodMax[2], 800);
    EXPECT_EQ(std::strlen(n->prop.playerName), 63u);
  }
  Game_NetMode = 0;
  Game_NetGameType = 0;
}

TEST_F(EntityTest, StartsAndPickups) {
  GameObject* p = Player_CreateForLevel();
  ASSERT_NE(p, nullptr);
  Read(R"({"classname" "info_player_start" "origin" "10 20 0" "angle" "90 0 0"}
{"classname" "info_player_deathmatch" "origin" "500 0 0"}
{"classname" "info_player_deathmatch" "origin" "900 0 0"}
{"classname" "npc" "id" "bot" "origin" "-50 0 0" "aistate" "BOT"}
{"classname" "world" "id" "w" "command" "[weapon] [pi]" "origin" "1 2 3"}
{"classname" "world" "id" "m" "command" "[medic] [25] [model] [1000000]"}
{"classname" "world" "id" "g" "command" "[ammo] [grenade]"}
{"classname" "world" "id" "a" "command" "[armor] [vest]"}
{"classname" "world" "id" "nothing" "command" "[weapon] [no such]"}
{"classname" "world" "id" "plain"})");
  Level_SetupStartsAndPickups();
  // Single play without the respawn switch: the player takes the player start, the bot stays.
  EXPECT_EQ(p->origin.x, 10);
  EXPECT_EQ(Find("bot")->origin.x, -50);
  ASSERT_EQ(Level_PickupCount, 4);
  EXPECT_EQ(Level_Pickups[0].kind, PICKUP_WEAPON);
  EXPECT_EQ(Level_Pickups[0].index, Def_FindWeaponByName("pi"));
  EXPECT_EQ(Level_Pickups[0].origin.z, 3);
  EXPECT_EQ(Level_Pickups[0].area, -1);
  EXPECT_EQ(Level_Pickups[1].kind, PICKUP_MEDIC);
  EXPECT_EQ(Level_Pickups[1].index, 25);
  EXPECT_EQ(Level_Pickups[2].kind, PICKUP_AMMO);
  EXPECT_EQ(Level_Pickups[2].index, 9);
  EXPECT_EQ(Level_Pickups[3].kind, PICKUP_ARMOR);
  std::string log = Log();
  EXPECT_NE(log.find("0 [1.000000 2.000000 3.000000] area=-1 weapon [pi]\n"), std::string::npos) << log;
  EXPECT_NE(log.find("area=-1 medic [25]\n"), std::string::npos);
  EXPECT_NE(log.find("area=-1 ammo [GRENADE]\n"), std::string::npos);
  // A deleted pickup is never read through its record.
  Obj_RequestDelete(Find("w"));
  Obj_FlushDeleted();
  EXPECT_EQ(Pickup_Object(&Level_Pickups[0]), nullptr);
  EXPECT_NE(Pickup_Object(&Level_Pickups[1]), nullptr);

  // A server: starts near a living character are taken; a generator value of 1.0 stays in range.
  Game_NetMode = 1;
  Find("bot")->origin = vec3{540, 30, 20};  // within 63 units of the first start
  int one = -1;
  for (int i = 0; i < kRandTableSize && one < 0; i++) {
    Math_RandSetIndex(i);
    if (Math_RandNext() >= 1.0f) one = i;
  }
  for (int pass = 0; pass < 2; pass++) {
    Math_RandSetIndex(pass == 0 && one >= 0 ? one : 0);
    Level_SetupStartsAndPickups();
    EXPECT_EQ(p->origin.x, 900);
  }
  Game_NetMode = 0;
}

}  // namespace
