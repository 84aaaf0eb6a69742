// Entity text: the reader, the key table and value forms, includes, the classes with their level
// tables and objects, the player bodies, starts and pickups.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>

#include "characters/defs.h"
#include "characters/npc.h"
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
#include "world/start.h"
#include "world/trace.h"
#include "world/world_fixture.h"

namespace {

using namespace tw_test;

std::string g_out;
void Capture(const char* text, size_t length, void*) { g_out.append(text, length); }

class EntityTest : public WorldTest {
 protected:
  void SetUp() override {
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
  }
  static void Read(const std::string& text) { read_ent(text.data(), uint32_t(text.size())); }
  // One block's pairs applied to a fresh template (a block without a class spawns nothing).
  static const SpawnTemplate& Apply(const std::string& pairs) {
    Read("{" + pairs + "}");
    return Ent_Template;
  }
  static GameObject* Find(const char* name) {
    for (GameObject* o = Obj_ListHead; o; o = o->next)
      if (std::strcmp(o->person.name, name) == 0) return o;
    return nullptr;
  }
};

TEST_F(EntityTest, ValueFormsBytesAbove127AndLongTokens) {
  const float kDeg = kMathPi * 0.0055555557f;
  struct Case {
    const char* pairs;
    std::function<void(const SpawnTemplate&)> check;
  };
  const Case cases[] = {
      {R"("spawnflags" "010")", [](auto& t) { EXPECT_EQ(t.spawnflags, 8); }},
      {R"("SPAWNFLAGS" "0x1F")", [](auto& t) { EXPECT_EQ(t.spawnflags, 31); }},
      {R"("origin" "1 2 3" "origin" "7")", [](auto& t) { EXPECT_EQ(t.origin.x, 7); EXPECT_EQ(t.origin.z, 3); }},
      {R"("particlescolor" "1 2")", [](auto& t) { EXPECT_EQ(t.particlescolor[1], 2); EXPECT_EQ(t.particlescolor[2], 255); }},
      {R"("model" "*12" "target" "t7" "targetname" "7")", [](auto& t) { EXPECT_EQ(t.model, 12); EXPECT_EQ(t.target, 7); EXPECT_EQ(t.targetname, 0); }},
      {R"("angle" "10 20 30" "angle" "90")", [=](auto& t) { EXPECT_FLOAT_EQ(t.angle.x, 90 * kDeg); EXPECT_FLOAT_EQ(t.angle.y, 20 * kDeg); }},
      {R"("fogstart" "100" "fogstart2" "50")", [](auto& t) { EXPECT_EQ(t.fogstart[0], 100); EXPECT_EQ(t.fogstart[1], 50); }},
      {R"("aiorigin" "4 5 6" "origin" "1 2 3")", [](auto& t) { EXPECT_EQ(t.aiorigin.x, 1); }},
      {R"("team" "BLUE")", [](auto& t) { EXPECT_EQ(t.team, 2); }},
      {R"("aistate" "patrol_origin" "agressive_on" "sometimes")", [](auto& t) { EXPECT_EQ(t.aistate, 5); EXPECT_EQ(t.agressive_on, 1); }},
      {R"("name" "a b c")", [](auto& t) { EXPECT_STREQ(t.name[0], "a b c"); EXPECT_STREQ(t.shadowname, "anim\\shadow"); }},
      {R"("speedframe31" "4" "anim31" "z")", [](auto& t) { EXPECT_EQ(t.speedframe[31], 4); EXPECT_STREQ(t.anim[31], "z"); EXPECT_EQ(t.speedframe[30], 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pairs);
    c.check(Apply(c.pairs));
  }
  Apply("\"bogus\" \"1\"");
  EXPECT_NE(g_out.find("block_support: wrning, unknown bogus\n"), std::string::npos);
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
}

// A model loader that reads entity text, as a spawner's Init might.
ModelObject* NestingLoader(const char*) {
  const char text[] = "{\"classname\" \"light\"}";
  read_ent(text, sizeof text - 1);
  return nullptr;
}

TEST_F(EntityTest, ReaderSyntax) {
  struct Case {
    std::string text;
    int lights;
    const char* line;  // expected on the output, or null
  };
  const std::string light = R"("classname" "light" "light_light" "300")";
  const Case cases[] = {
      {"{\"classname\",\n\"light\" \"light_light\"\"300\"}", 1, nullptr},
      {"junk \"{ not a block }\" more { " + light + " }", 1, nullptr},
      {"} {" + light + "}", 1, "read_ent: missing {\n"},
      {"{ \"light_light\" \"300\" }", 0, nullptr},
      {"{ " + light, 0, nullptr},
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
  EXPECT_EQ(Light_Count, 1);
  EXPECT_NE(g_out.find("read_ent: multiply blocks\n"), std::string::npos);
  EXPECT_STREQ(Light_Table[0].id, "inner");
  EXPECT_STREQ(Light_Table[0].texture, "");
  // A read started from inside a read (a spawner's model loader) is refused.
  Model_AddLoader(NestingLoader);
  Light_Count = 0;
  Read(R"({"classname" "light" "precache_model" "x" "id" "outer"})");
  EXPECT_EQ(Light_Count, 1);
  EXPECT_STREQ(Light_Table[0].id, "outer");
  EXPECT_NE(g_out.find("read_ent: refused, a read is already running\n"), std::string::npos);
}

TEST_F(EntityTest, IncludesSpliceTemplateFiles) {
  WriteFile("t/inner.scn", R"("id" "from_inner" "light_light" "11")");
  WriteFile("t/a.scn", R"("call" "t\b" "light_texture" "a")");
  WriteFile("t/b.scn", R"("call" "t\c")");
  WriteFile("t/c.scn", R"("call" "t\inner" "light_model" "c")");
  // Pairs before the call lose against the template's, pairs after it win.
  Read(R"({"classname" "light" "id" "before" "call" "t\inner" "light_light" "22"})");
  ASSERT_EQ(Light_Count, 1);
  EXPECT_STREQ(Light_Table[0].id, "from_inner");
  EXPECT_EQ(Light_Table[0].light, 22);
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
  LoadObjects("nowhere.scn");
  EXPECT_NE(Log().find("LoadObjects: not found nowhere.scn\n"), std::string::npos);
  // A template that calls itself a thousand times: the read's budget stops the nested including
  // (one line) and the block still spawns with the pairs read before. A call in the read's own
  // text still includes; the budget holds for the nested calls of the whole read.
  std::string fan = "\"light_light\" \"7\"";
  for (int i = 0; i < 1000; i++) fan += " \"call\" \"t\\fan\"";
  WriteFile("t/fan.scn", fan);
  Light_Count = 0;
  Read(R"({"classname" "light" "call" "t\fan" "id" "fanned"} {"classname" "light" "call" "t\inner"})"
       R"({"classname" "light" "call" "t\c"})");
  ASSERT_EQ(Light_Count, 3);
  EXPECT_EQ(Light_Table[0].light, 7);
  EXPECT_STREQ(Light_Table[1].id, "from_inner");
  EXPECT_STREQ(Light_Table[2].model, "c");
  EXPECT_STREQ(Light_Table[2].id, "");  // c's own call of inner is nested: past the budget
  EXPECT_EQ(CountOccurrences(Log(), "read_ent: included texts reach"), 1);
  Light_Count = 0;
  Read(R"({"classname" "light" "call" "t\c"})");  // a new read has a new budget
  EXPECT_STREQ(Light_Table[0].id, "from_inner");
}

// A level file of thousands of blocks that each call a 2 KB template keeps every block: its own
// calls do not spend the budget that bounds nested including.
TEST_F(EntityTest, ALargeLevelFileKeepsEveryCalledBlock) {
  WriteFile("t/big.scn", "\"classname\" \"world\"" + std::string(2048, ' ') + "\"solidbox\" \"0\"");
  std::string level;
  constexpr int kBlocks = 3000;
  for (int i = 0; i < kBlocks; i++) level += "{ \"call\" \"t\\big\" \"id\" \"w" + std::to_string(i) + "\" }\n";
  Read(level);
  EXPECT_EQ(Obj_Count(), kBlocks);
  EXPECT_NE(Find("w2999"), nullptr);
  EXPECT_EQ(CountOccurrences(Log(), "read_ent: included texts reach"), 0);
}

// Every call of a read spends one budget: a level text whose blocks each call a large template
// includes it until 32 MB are read, then its blocks go on without it (one line).
TEST_F(EntityTest, AllTheIncludesOfOneReadShareOneBudget) {
  const std::string mb = "\"light_light\" \"5\"" + std::string(1u << 20, ' ');
  WriteFile("t/mb.scn", mb);
  std::string level;
  for (int i = 0; i < 40; i++) level += "{ \"classname\" \"light\" \"call\" \"t\\mb\" }\n";
  Light_Count = 0;
  Read(level);
  ASSERT_EQ(Light_Count, 40);
  const int fit = int(kEntReadIncludeBudget / (mb.size() + kEntCallCost));
  EXPECT_EQ(Light_Table[fit - 1].light, 5);
  EXPECT_EQ(Light_Table[fit].light, 256);
  EXPECT_EQ(Light_Table[39].light, 256);
  EXPECT_EQ(CountOccurrences(Log(), "read_ent: includes reach"), 1);
}

// Each call costs its share of the read's budget whatever its file holds: a text of calls of a
// missing or a tiny template stops including once the calls alone reach the budget.
TEST_F(EntityTest, CallsOfAMissingOrTinyTemplateSpendTheReadBudget) {
  WriteFile("t/tiny.scn", "\"id\" \"t\"");
  const int calls = int(kEntReadIncludeBudget / kEntCallCost) + 4000;
  for (const char* name : {"t\\tiny", "t\\none"}) {
    std::string level = "{ \"classname\" \"light\"";
    for (int i = 0; i < calls; i++) level += std::string(" \"call\" \"") + name + "\"";
    level += " }";
    const size_t logged = Log().size();
    const EntIncludeCount before = Ent_Included;
    Light_Count = 0;
    Read(level);
    EXPECT_EQ(Light_Count, 1) << name;
    EXPECT_EQ(CountOccurrences(Log().substr(logged), "read_ent: includes reach"), 1) << name;
    EXPECT_LE(Ent_Included.calls - before.calls, kEntReadIncludeBudget / kEntCallCost) << name;
  }
}

// A caller's outer budget bounds the includes of several reads together and says its own refusal.
TEST_F(EntityTest, AnOuterBudgetBoundsTheIncludesOfSeveralReads) {
  WriteFile("t/kb.scn", "\"light_light\" \"4\"" + std::string(1000, ' '));
  static uint32_t left;
  static int refused;
  left = 3 * (kEntCallCost + 1017) + 100;
  refused = 0;
  const EntSpendFn before = Ent_SetOuterBudget([](uint32_t bytes, const char*) {
    if (bytes > left) return refused++, 0;
    left -= bytes;
    return 1;
  });
  Light_Count = 0;
  for (int i = 0; i < 5; i++) Read(R"({"classname" "light" "call" "t\kb" "call" "t\kb"})");
  Ent_SetOuterBudget(before);
  ASSERT_EQ(Light_Count, 5);
  EXPECT_EQ(Light_Table[1].light, 4);
  EXPECT_EQ(Light_Table[2].light, 256);  // the fourth include is refused, and so all after it
  EXPECT_EQ(refused, 4);                 // once in each read that asks
  Read(R"({"classname" "light" "call" "t\kb"})");  // without the outer budget again
  EXPECT_EQ(Light_Table[5].light, 4);
}

TEST_F(EntityTest, SpawnflagsFilterAndTableLimits) {
  Game_NetMode = 1;
  EXPECT_EQ(Ent_SpawnflagsAllow(2048), 0);
  EXPECT_EQ(Ent_SpawnflagsAllow(1792), 1);
  Game_NetMode = 0;
  Read(R"({"classname" "world" "id" "out" "spawnflags" "1792"} {"classname" "light" "spawnflags" "1792"})");
  EXPECT_EQ(Find("out"), nullptr);
  EXPECT_EQ(Light_Count, 1);
  // The level tables keep their sizes.
  std::string text;
  for (int i = 0; i < 130; i++) text += R"({"classname" "info_player_deathmatch"} {"classname" "sound" "name" "s"} )";
  for (int i = 0; i < 514; i++) text += R"({"classname" "light"} )";
  text += R"({"classname" "sound"})";  // no name: nothing
  Read(text);
  EXPECT_EQ(Level_DmStartCount, kDeathmatchStarts);
  EXPECT_EQ(Level_EmitterCount, kSoundEmitters);
  EXPECT_EQ(Light_Count, kLightRecords);
}

// Values joined by single blanks: texts as they are, numbers as "%g".
std::string Part(const char* text) { return text; }
std::string Part(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}
template <typename... T>
std::string Join(const T&... values) {
  std::string out;
  ((out += (out.empty() ? "" : " ") + Part(values)), ...);
  return out;
}

TEST_F(EntityTest, KitchenSinkFillsTablesAndObjects) {
  std::string text;
  ASSERT_TRUE(Tool_EntityText(Tool_KitchenSinkBlocks(), &text));
  Read(text);
  EXPECT_EQ(Level_PlayerStart.origin.z, 30);
  EXPECT_STREQ(Level_SkyName[1], "maps\\sky\\suns");
  ASSERT_EQ(Light_Count, 1);
  EXPECT_EQ(Light_Table[0].rotation[3], -1);
  const struct {
    const char* name;
    int classNum;
  } objects[] = {{"crate", WORLD}, {"sun", AREOL}, {"lamp", ANIM}, {"gate", FUNC_DOOR}, {"guard", NPC}};
  for (const auto& o : objects) {
    ASSERT_NE(Find(o.name), nullptr) << o.name;
    EXPECT_EQ(Find(o.name)->classNum, o.classNum) << o.name;
  }
  EXPECT_GT(Find("crate")->useGroupIndex, 0);
  // Every key lands in its field, class by class (values joined by blanks, numbers as "%g").
  for (const char* name : {"crate", "post", "sun", "lamp", "gate", "guard"}) ASSERT_NE(Find(name), nullptr) << name;
  const GameObject &crate = *Find("crate"), &post = *Find("post"), &sun = *Find("sun"), &lamp = *Find("lamp");
  const GameObject &gate = *Find("gate"), &guard = *Find("guard");
  const PropState &c = crate.prop, &l = lamp.prop;
  const struct {
    const char* keys;
    std::string got, want;
  } fields[] = {
      {"world name solid shot", Join(c.modelName, c.clipName, c.clip2Name), "anim\\props\\crate maps\\cube maps\\cube2"},
      {"world dialog command", Join(crate.person.dialogueCue, crate.person.itemText), "crate_cue [weapon] [pi]"},
      {"world blocked drawed solidbox", Join(c.solid, c.visible, crate.hasClipBox), "2 0 1"},
      {"world clipbox (twice)", Join(crate.clipBox[0], crate.clipBox2[5]), "-8 16"},
      {"world physics friction stepsound", Join(c.physicsName, c.friction, c.stepSound), "phys\\crate 0.5 steps\\wood"},
      {"world damage_on_touch project_map", Join(c.damageOnTouch, c.projectMap, c.projectOrigin.z), "3 textures\\grid 3"},
      {"world fog (bytes clamped)", Join(c.fogColor[0][0], c.fogColor[0][1], c.fogColor[0][2], c.fogStart[0], c.fogEnd[0]), "255 0 128 100 900"},
      {"world fog 2", Join(c.fogColor[1][0], c.fogStart[1], c.fogEnd[1]), "1 50 60"},
      {"world trigger", Join(crate.useGroupName, c.triggerCommand, c.triggerCommandText), "crates [door] [1] opened"},
      {"world drawon drawoff sound", Join(c.drawOn, c.drawOff, c.sound), "[lamp] [sun] sound\\hum"},
      {"world inventorys viewbox viewfar", Join(crate.person.money, crate.viewBox[5], crate.viewFar), "5 6 500"},
      {"world origin angle (mrad)", Join(crate.origin.y, std::round(crate.angles.x * 1000)), "200 1571"},
      {"world respawntime 0 dinamiclight 2.9", Join(crate.person.respawnTime, c.dynamicLight), "20 2"},
      {"world respawntime 5 dinamiclight -2.9", Join(post.person.respawnTime, post.prop.dynamicLight), "5 -2"},
      {"areol name lens glare", Join(sun.prop.modelName, sun.prop.lens, sun.prop.glare), "maps\\sky\\suns flares\\lens flares\\glare"},
      {"areol scale angles solid visible", Join(sun.prop.poseScale.z, sun.angles.x, sun.prop.clipName, sun.prop.solid, sun.prop.visible), "2 0  0 1"},
      {"anim solid shot dialog skel", Join(l.clipName, l.clip2Name, lamp.person.dialogueCue, l.skelName), "maps\\pole maps\\pole2 lamp_cue anim\\lamp"},
      {"anim anims speedframes", Join(l.anims[0], l.anims[1], l.speedFrames[0], l.speedFrames[1], l.speedFrames[31]), "anim\\lamp_sway anim\\lamp_off 2 1 9"},
      {"anim emitter", Join(l.particlesTexture, l.particlesParent, l.particlesOrigin.z, l.particlesScale, l.particlesFade), "textures\\spark Bip01 Head 3 10 0"},
      {"anim particlescolor", Join(l.particlesColor[0], l.particlesColor[1], l.particlesColor[2], l.particlesColor[3]), "1 2 3 4"},
      {"anim sound friction stepsound igv", Join(l.sound, l.friction, l.stepSound, lamp.removeRequest), "sound\\buzz 0.25 steps\\metal 1"},
      {"door points", Join(gate.prop.doorA[1].z, gate.prop.doorB[0].z), "50 100"},
      {"npc health name3", Join(guard.person.health, guard.person.lodModels[3]), "70 npc\\townsman\\body3"},
      {"npc solid shot physics", Join(guard.prop.clipName, guard.prop.clip2Name, guard.prop.physicsName), "maps\\guard maps\\guard_shot phys\\guard"},
      {"npc clipbox solidbox", Join(guard.clipBox[3], guard.clipBox2[5], guard.hasClipBox), "10 60 1"},
      {"npc group noBlood sex", Join(guard.person.group, guard.person.noBlood, guard.gender), "7 1 1"},
  };
  for (const auto& f : fields) EXPECT_EQ(f.got, f.want) << f.keys;
  // What the npc block hands to Npc_Spawn, beyond what the character keeps.
  const SpawnTemplate& t = Apply(R"("classname" "npc" "secondname2" "c2" "secondname3" "c3" "particlescolor" "9 8 7 6" "group" "7" "solid" "s" "shot" "h" "physics" "p" "solidbox" "1" "noBlood" "1" "deadname3" "d3" "sound_pain2" "o2")");
  NpcSpawnValues v;
  Ent_NpcValues(&t, &v);
  EXPECT_STREQ(v.names[6], "c2");
  EXPECT_STREQ(v.names[7], "c3");
  EXPECT_EQ(v.particlescolor[3], 6);
  EXPECT_EQ(v.group, 7);
  EXPECT_STREQ(v.solid, "s");
  EXPECT_STREQ(v.shot, "h");
  EXPECT_STREQ(v.physics, "p");
  EXPECT_EQ(v.solidbox, 1);
  EXPECT_EQ(v.noBlood, 1);
  EXPECT_STREQ(v.deadname[3], "d3");
  EXPECT_STREQ(v.sound_pain[1], "o2");
}

TEST_F(EntityTest, PlayerBodiesStartsAndPickups) {
  Game_HeroChoice = 1;
  GameObject* p = Player_CreateForLevel();
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p->prop.modelName, "npc\\mirasolvek\\body");
  EXPECT_EQ(p->person.equippedIndex, Def_FindWeaponByName("pi"));
  EXPECT_EQ(p->prop.action, 7);
  // The starting statistics, and the stash: weapons, armours, then tattoos as kind 5.
  const PersonStats& ps = p->person;
  EXPECT_EQ(ps.energy, 100);
  EXPECT_EQ(ps.maxEnergy, 100);
  EXPECT_EQ(ps.experience + ps.level, 0);
  for (float f : ps.furtherStats) EXPECT_EQ(f, 100);
  for (float f : ps.factors) EXPECT_EQ(f, 1.0f);
  for (const auto& triple : ps.attributeTriples)
    for (int32_t a : triple) EXPECT_EQ(a, 5);
  int last = 0;
  while (last < kInvStash && ps.stash[last].kind) last++;
  ASSERT_GT(last, 0);
  EXPECT_EQ(ps.stash[last - 1].kind, 5);
  EXPECT_EQ(ps.stash[last - 1].index, Def_TatuCount - 1);
  Var_SetText(&game_name, "ThornHelm");
  EXPECT_EQ(Player_CreateForLevel()->prop.action, 0);
  Var_SetText(&game_name, "");
  // A team game's body; a roster name without its NUL is cut inside the copy.
  Game_NetMode = Game_NetGameType = 1;
  char roster[64];
  std::memset(roster, 'n', sizeof roster);
  GameObject* n = NetPlayer_Spawn("", 7, 1, roster, nullptr, nullptr, nullptr);
  ASSERT_NE(n, nullptr);
  EXPECT_STREQ(n->person.lodModels[0], "anim\\jaxtorvin\\jaxtorvin_0b");
  EXPECT_EQ(n->person.energy, 100);
  EXPECT_EQ(n->person.furtherStats[0], 100);
  EXPECT_EQ(std::strlen(n->prop.playerName), 63u);
  Game_NetMode = Game_NetGameType = 0;
  // Starts and pickups.
  p = Player_CreateForLevel();
  ASSERT_NE(p, nullptr);
  Read(R"({"classname" "info_player_start" "origin" "10 20 0" "angle" "90 0 0"}
{"classname" "info_player_deathmatch" "origin" "500 0 0"}
{"classname" "info_player_deathmatch" "origin" "900 0 0"}
{"classname" "npc" "id" "bot" "origin" "-50 0 0" "aistate" "BOT"}
{"classname" "world" "id" "w" "command" "[weapon] [pi]" "origin" "1 2 3"}
{"classname" "world" "id" "m" "command" "[medic] [25] [model] [1000000]"}
{"classname" "world" "id" "nothing" "command" "[weapon] [no such]"}
{"classname" "world" "id" "plain"})");
  Level_SetupStartsAndPickups();
  // Single play without the respawn switch: the player takes the player start, the bot stays.
  EXPECT_EQ(p->origin.x, 10);
  EXPECT_EQ(Find("bot")->origin.x, -50);
  ASSERT_EQ(Level_PickupCount, 2);  // an unknown weapon and a plain prop give none
  EXPECT_EQ(Level_Pickups[1].index, 25);
  EXPECT_NE(Log().find("0 [1.000000 2.000000 3.000000] area=-1 weapon [pi]\n"), std::string::npos) << Log();
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

// Every key of the table is found by its name and taken without a warning; names match in any
// case, and an unknown key is named.
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

// The value forms the other table leaves out: octal that stops at a bad digit, a number before
// letters, any text as 1, the first word of a class name, one fog start filling both sets, the
// default draw distances.
TEST_F(EntityTest, ValueFormsOfEveryKind) {
  const float kDeg = kMathPi * 0.0055555557f;
  struct Case {
    const char* pairs;
    std::function<void(const SpawnTemplate&)> check;
  };
  const Case cases[] = {
      {R"("spawnflags" "08")", [](auto& t) { EXPECT_EQ(t.spawnflags, 0); }},
      {R"("style" "-12abc")", [](auto& t) { EXPECT_EQ(t.style, -12); }},
      {R"("blocked" "x")", [](auto& t) { EXPECT_EQ(t.blocked, 1); }},
      {R"("wait" "2.5")", [](auto& t) { EXPECT_EQ(t.wait, 2.5f); }},
      {R"("light_rotation" "1 2 3 4 5 6 7 8 9")", [](auto& t) { EXPECT_EQ(t.light_rotation[8], 9); }},
      {R"("classname" "  light   more")", [](auto& t) { EXPECT_STREQ(t.classname, "light"); }},
      {R"("angle" "90 0 0")", [=](auto& t) { EXPECT_FLOAT_EQ(t.angle.x, 90 * kDeg); }},
      {R"("fogstart" "100")", [](auto& t) { EXPECT_EQ(t.fogstart[0], 100); EXPECT_EQ(t.fogstart[1], 100); }},
      {R"("fogstart2" "50" "fogstart" "100")", [](auto& t) { EXPECT_EQ(t.fogstart[1], 100); }},
      {R"("fogcolor" "1 2 3")", [](auto& t) { EXPECT_EQ(t.fogcolor[1].z, 3); }},
      {R"("origin" "1 2 3" "aiorigin" "4 5 6")", [](auto& t) { EXPECT_EQ(t.aiorigin.x, 4); }},
      {R"("team" "green")", [](auto& t) { EXPECT_EQ(t.team, 0); }},
      {R"("agressive_on" "AGRESSIVE_ON_NONE")", [](auto& t) { EXPECT_EQ(t.agressive_on, 0); }},
      {R"("sound_pain2" "ow")", [](auto& t) { EXPECT_STREQ(t.sound_pain[1], "ow"); }},
      {R"("lodmaxdist3" "9")", [](auto& t) { EXPECT_EQ(t.lodmaxdist[3], 9); EXPECT_EQ(t.lodmaxdist[0], 1000000); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pairs);
    c.check(Apply(c.pairs));
  }
}

// A solid world prop is hit through its Clip slot by traces of its state's bits, at its own clip
// box or the default one; the collision-model mask finds only a solid word of 1.
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

}  // namespace
