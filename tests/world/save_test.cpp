// Saved games: the header's places, the bodies by mode, a round trip, damaged files refused
// without a change, and saves that survive a killed or failing writer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "foundation/file.h"
#include "foundation/random.h"
#include "foundation/zip.h"
#include "hud/hud.h"
#include "quests/state.h"
#include "tools/save_maker.h"
#include "world/entity.h"
#include "world/image.h"
#include "world/net.h"
#include "world/personage.h"
#include "world/save.h"
#include "world/start.h"
#include "world_fixture.h"

namespace {

using tw_test::Get32;
using tw_test::Put32;
using tw_test::ReadBytes;
using tw_test::WorldTest;

// The place of a field in the object image.
uint32_t At(const char* field) {
  for (int i = 0; i < ObjImage_FieldCount; i++)
    if (std::strcmp(ObjImage_Fields[i].name, field) == 0) return ObjImage_Fields[i].offset;
  ADD_FAILURE() << "no field " << field;
  return 0;
}

// The snapshot without its date: what must not change when a load is refused.
std::vector<uint8_t> State() {
  std::vector<uint8_t> s = Save_SnapshotBytes();
  std::fill(s.begin() + kSaveOfsDate, s.begin() + kSaveOfsLevel, 0);
  return s;
}

class SaveTest : public WorldTest {
 protected:
  void SetUp() override {
    WorldTest::SetUp();
    Math_RandInit();
    Que_ResetState();
    Que_State.stash = InventoryStash{};
    Game_PersonageCount = 0;
    Level_EmitterCount = 0;
    Game_HeroChoice = 0;
    ASSERT_TRUE(Tool_WriteSmallLevel());  // the level "yard" of the small game
  }
  void TearDown() override {
    Level_EmitterCount = 0;
    Game_PersonageCount = 0;
    WorldTest::TearDown();
  }
  // The tools' small game on level "yard" (the player, one object of each other class, a
  // personage "Mara", two emitters) with marked fields and tables.
  static void MakeGame(int extraObjects = 0) {
    Tool_MakeSmallGame(0);
    Obj_Player->person.health = 77;
    Obj_Player->person.carIndex = 3;
    Obj_Player->person.carReentry = 1;  // a load sets it for a player with a car
    Obj_Player->person.thinkStamp = 123.5f;  // and the think stamp to the game time
    for (GameObject* o = Obj_Player->next; o; o = o->next) {
      o->angles.y = 0.25f * float(o->classNum);
      o->frags = o->classNum;
    }
    for (int i = 0; i < extraObjects; i++) Spawn(WORLD, float(i), float(i));
    Game_Personages[0].restoreBody = 1;
    std::snprintf(Que_State.mission.name, kQuestNameSize, "%s", "harbour");
    std::snprintf(Que_State.flags[3].name, sizeof Que_State.flags[3].name, "%s", "met_mara");
    Que_State.questMode = 2;
    Game_Time = 123.5;
    Math_RandSetIndex(77);
  }
};

TEST_F(SaveTest, HeaderFieldsStandAtTheirPlacesAndBodiesByMode) {
  MakeGame();
  Game_GodMode = 1;
  Game_HeroChoice = 1;
  Que_State.objectives.times[0] = 2.0f;
  Que_State.districts[0] = 0xD1;
  Que_State.stash.words[0] = 11;
  Que_State.stash.pairs[0][0] = INV_WEAPON;
  Que_State.stash.pairs[0][1] = 12;
  Que_State.stash.ammo[0] = 13;
  Que_State.stash.magazines[0] = 14;
  Que_State.stash.full = 1;
  Que_State.showFlags[3] = 1;
  // Texts: each written into its table (none: set by MakeGame), then read at its offset.
  struct Text {
    char* field;
    size_t size, at;
    const char* text;
  };
  const Text texts[] = {{nullptr, 0, 24, "yard"}, {nullptr, 0, 312, "harbour"}, {nullptr, 0, 40920 + 3 * 128, "met_mara"},
                        {Que_State.objectives.conditions[0], kQuestNameSize, 9024, "cond"},
                        {Que_State.objectives.scripts[0], kQuestNameSize, 13120, "scr"},
                        {Level_SkyName[0], kLevelSkyNameSize, 17360, "sky1"}, {Level_SkyName[1], kLevelSkyNameSize, 17872, "sky2"},
                        {Game_Places[0].name, 128, 20552, "place0"}, {Que_State.timers[0].name, 64, 35672, "timer"},
                        {Que_State.spied[0].name, 64, 45016, "spied"}, {Que_State.tracked[0].name, 64, 45592, "tracked"},
                        {Que_State.locations[0].name, 64, 46104, "loc"}, {Que_State.placements[0].name, 64, 67352, "placed"},
                        {Game_CarPositions[0].level, 128, 101752, "carlevel"}, {Que_State.lockedExits[0].name, 64, 106120, "exit"},
                        {Que_State.levelStarts[0].level, 128, 110216, "start"}, {Que_State.killCounts[0].name2, 64, 119204 + 64, "kc2"}};
  for (const Text& t : texts)
    if (t.field) std::snprintf(t.field, t.size, "%s", t.text);
  std::vector<uint8_t> b = Save_SnapshotBytes();
  for (const Text& t : texts) EXPECT_STREQ(reinterpret_cast<const char*>(&b[t.at]), t.text) << t.at;
  struct Word {
    size_t at;
    uint32_t value;
  };
  float t = 123.5f, two = 2.0f;
  uint32_t tBits, twoBits;
  std::memcpy(&tBits, &t, 4);
  std::memcpy(&twoBits, &two, 4);
  for (Word w : {Word{0, kSaveId}, {4, 75}, {280, tBits}, {284, 0}, {288, 1}, {292, 77}, {296, 9}, {300, 9},
                 {304, Obj_Player->id}, {308, 1}, {17216, twoBits}, {17280, 0xD1}, {18384, 11}, {18404, 1}, {18408, 12},
                 {20452, 13}, {20500, 14}, {20548, 1}, {119176, 2}, {119180, 1}, {119184, 2}, {119200, 1}})
    EXPECT_EQ(Get32(b, w.at), w.value) << w.at;
  EXPECT_GE(b[8] | b[9] << 8, 2000);  // the year of the local date
  // The body: emitters, personages, objects, then the AI block.
  size_t body = kSaveHeaderSize;
  EXPECT_STREQ(reinterpret_cast<const char*>(&b[body]), "rain");
  EXPECT_STREQ(reinterpret_cast<const char*>(&b[body + 2 * 148 + 16]), "Mara");
  EXPECT_EQ(Get32(b, body + 2 * 148 + 5920 + 5960), Obj_Player->id);
  EXPECT_GT(b.size(), body + 2 * 148 + 5920 + 9 * size_t(kObjectImageSize));
  // The bodies by mode, and the name of the file.
  Game_NetMode = 2;
  ASSERT_EQ(Save("client.x"), 1);
  EXPECT_EQ(ReadBytes("save/client.sav").size(), size_t(kSaveHeaderSize));
  Game_NetMode = 1;
  NET_LocalAddress = 0x0100007F;
  Obj_Player->frags = 4;
  ASSERT_EQ(Save("alone"), 1);
  EXPECT_EQ(ReadBytes("save/alone.sav").size(), size_t(kSaveHeaderSize) + 4 + 8);
  NET_FragTable[5] = FragRow{1, 0x0200007F, "guest", 6, 0};
  ASSERT_EQ(Save("server"), 1);
  std::vector<uint8_t> s = ReadBytes("save/server.sav");
  ASSERT_EQ(s.size(), size_t(kSaveHeaderSize) + 4 + 16);
  EXPECT_EQ(Get32(s, kSaveHeaderSize), 2u);
  EXPECT_EQ(Get32(s, kSaveHeaderSize + 4), 0x0100007Fu);
  EXPECT_EQ(Get32(s, kSaveHeaderSize + 8), 4u);
  EXPECT_EQ(Get32(s, kSaveHeaderSize + 16), 6u);
  // Read back by the same server: the frags return; on a client or another level nothing moves.
  Obj_Player->frags = 0;
  NET_FragTable[5].frags = 0;
  EXPECT_EQ(Save_LoadSlot("server"), 1);
  EXPECT_EQ(Obj_Player->frags, 4);
  EXPECT_EQ(NET_FragTable[5].frags, 6);
  Obj_Player->frags = 9;
  std::vector<uint8_t> before = State();
  Game_NetMode = 2;
  EXPECT_EQ(Save_LoadSlot("server"), 0);
  Game_NetMode = 1;
  std::snprintf(Level_Name, sizeof Level_Name, "%s", "docks");
  EXPECT_EQ(Save_LoadSlot("server"), 0);
  std::snprintf(Level_Name, sizeof Level_Name, "%s", "yard");
  EXPECT_EQ(State(), before);
  NET_FragTable[5] = FragRow{};
  Game_NetMode = 0;
  // Names with ".." are refused; nothing is written when no game runs.
  EXPECT_EQ(Save("..\\escape"), 0);
  EXPECT_NE(Log().find("Save:refused name"), std::string::npos);
  Game_Running = 0;
  EXPECT_EQ(Save("idle"), 0);
  EXPECT_FALSE(tw_test::FileExists("save/idle.sav"));
}

TEST_F(SaveTest, ARoundTripKeepsEveryByteOrderAndIdsAndWithoutAGameOnlyTheTablesLoad) {
  MakeGame();
  Obj_RequestDelete(Obj_ListHead->next);  // a gap in the ids
  Obj_FlushDeleted();
  Spawn(WORLD, 1, 1);
  std::vector<uint8_t> saved = State();
  std::vector<uint32_t> ids;
  for (GameObject* o = Obj_ListHead; o; o = o->next) ids.push_back(o->id);
  uint32_t lastId = Obj_LastId();
  ASSERT_EQ(Save("round"), 1);
  EXPECT_NE(Log().find("Save:game saved."), std::string::npos);
  Obj_Player->origin.x = 900;  // play goes on, then the save is loaded
  Spawn(NPC, 5, 5, "Late");
  Tick_AiStarted = 0;
  ASSERT_EQ(Save_LoadSlot("round"), 1);
  const std::vector<uint8_t> loaded = State();
  EXPECT_TRUE(loaded == saved) << "first difference at byte "
                               << std::mismatch(loaded.begin(), loaded.end(), saved.begin(), saved.end()).first - loaded.begin();
  std::vector<uint32_t> back;
  for (GameObject* o = Obj_ListHead; o; o = o->next) back.push_back(o->id);
  EXPECT_EQ(back, ids);
  EXPECT_EQ(Obj_LastId(), lastId);
  EXPECT_EQ(Obj_Player->person.carReentry, 1);
  EXPECT_EQ(Obj_Player->person.thinkStamp, 123.5f);
  EXPECT_EQ(Tick_AiStarted, 1u);  // the AI is not started again
  EXPECT_EQ(Game_SettleFrames, kSettleFrames);
  EXPECT_EQ(Game_DemoFlags, 1u);
  EXPECT_EQ(Obj_Alloc()->id, lastId + 1);
  // A save ends with a check word; one written before it existed loads the same.
  std::vector<uint8_t> file = ReadBytes("save/round.sav");
  ASSERT_EQ(file.size(), saved.size() + 8);
  file.resize(saved.size());
  tw_test::WriteBytes("save/older.sav", file);
  Obj_Player->origin.x = 900;
  ASSERT_EQ(Save_LoadSlot("older"), 1);
  EXPECT_TRUE(State() == saved);
  // Without a running game only the level, the emitters and the personages load.
  ASSERT_EQ(Save("idle"), 1);
  Obj_ClearAll();
  Game_Running = 0;
  Level_EmitterCount = 0;
  Game_PersonageCount = 0;
  ASSERT_EQ(Save_LoadSlot("idle"), 1);
  EXPECT_EQ(Level_EmitterCount, 2);
  EXPECT_EQ(Game_PersonageCount, 1);
  EXPECT_EQ(Obj_Count(), 0);
  EXPECT_STREQ(Level_Name, "yard");
}

// Every damage is refused with its own line, the running game unchanged and still ticking.
TEST_F(SaveTest, DamagedFilesAreRefusedAndChangeNothing) {
  MakeGame();
  ASSERT_EQ(Save("good"), 1);
  const std::vector<uint8_t> good = ReadBytes("save/good.sav");
  const size_t objects = kSaveHeaderSize + 2 * 148 + 5920;
  const size_t aiBlock = objects + 9 * size_t(kObjectImageSize);
  struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;
    const char* line;
  };
  std::vector<Damage> cases = {
      {"bad id", [](auto& b) { Put32(b, 0, 1); }, "Load:wrong id."},
      {"bad version", [](auto& b) { Put32(b, 4, 74); }, "Load:wrong version."},
      {"huge object count", [](auto& b) { Put32(b, 300, 0x7fffffff); }, "Load:the file is shorter"},
      {"512 personages", [](auto& b) { Put32(b, 308, 512); }, "Load:512 personages"},
      {"129 emitters", [](auto& b) { Put32(b, 119176, 129); }, "Load:129 sound emitters"},
      {"hero 7", [](auto& b) { Put32(b, 119180, 7); }, "Load:no hero 7"},
      {"mode 5", [](auto& b) { Put32(b, 284, 5); }, "Load:unknown game mode 5"},
      {"unterminated level", [](auto& b) { std::memset(&b[24], 'a', 256); }, "Load:the header has an unterminated"},
      {"unterminated quest flag", [](auto& b) { std::memset(&b[40920], 'f', 128); }, "Load:the header has an"},
      {"level with a separator", [](auto& b) { std::memcpy(&b[24], "a\\b", 4); }, "is not a plain name"},
      {"level with a colon", [](auto& b) { std::memcpy(&b[24], "c:x", 4); }, "is not a plain name"},
      {"level with ..", [](auto& b) { std::memcpy(&b[24], "..x", 4); }, "is not a plain name"},
      {"unterminated emitter", [](auto& b) { std::memset(&b[kSaveHeaderSize], 'e', 64); }, "Load:sound emitter 0"},
      {"unterminated personage", [](auto& b) { std::memset(&b[kSaveHeaderSize + 296 + 16], 'p', 64); }, "Load:personage 0"},
      {"unterminated object name", [=](auto& b) { std::memset(&b[objects + 56], 'o', 64); }, "Load:object 0 has an unterminated"},
      {"class 0", [=](auto& b) { Put32(b, objects + 5964, 0); }, "Load:object 0 has class 0"},
      {"class 10", [=](auto& b) { Put32(b, objects + kObjectImageSize + 5964, 10); }, "Load:object 1 has class 10"},
      {"class -1", [=](auto& b) { Put32(b, objects + 5964, 0xffffffff); }, "Load:object 0 has class -1"},
      {"id 0", [=](auto& b) { Put32(b, objects + 2 * kObjectImageSize + 5960, 0); }, "Load:object 2 has id 0"},
      {"ids shared", [=](auto& b) { Put32(b, objects + 2 * kObjectImageSize + 5960, Get32(b, objects + 5960 + kObjectImageSize)); },
       "Load:two objects share an id"},
      {"missing player", [](auto& b) { Put32(b, 304, 999); }, "Load:no player object 999"},
      {"AI block byte", [=](auto& b) { b[aiBlock + 5] ^= 1; }, "Load:the AI block is damaged"},
      {"trailing byte", [](auto& b) { b.push_back(0); }, "Load:the AI block is damaged"},
      // Numbers no game holds, and damage only the check word sees.
      {"NaN player origin", [=](auto& b) { Put32(b, objects + At("origin"), 0x7fc00000); },
       "Load:object 0 has a number that is not finite in origin"},
      {"3e38 origin", [=](auto& b) { Put32(b, objects + kObjectImageSize + At("origin") + 4, 0x7f61b1e6); },
       "Load:object 1 has a place or speed beyond the world in origin"},
      {"infinite velocity", [=](auto& b) { Put32(b, objects + At("person.velocity"), 0xff800000); },
       "in person.velocity"},
      {"NaN angle", [=](auto& b) { Put32(b, objects + At("angles") + 4, 0xffc00001); }, "not finite in angles"},
      {"NaN clock", [=](auto& b) { Put32(b, objects + At("person.clock") + 4, 0x7ff80000); }, "in person.clock"},
      {"weapon 99",
       [=](auto& b) {
         Put32(b, objects + At("person.equippedKind"), 1);
         Put32(b, objects + At("person.equippedIndex"), 99);
       },
       "Load:object 0 has an item outside its table in person.equippedKind"},
      {"item kind 9", [=](auto& b) { Put32(b, objects + At("person.items") + 8, 9); }, "an item outside its table in person.items"},
      {"car 40", [=](auto& b) { Put32(b, objects + At("person.carIndex"), 40); }, "a car outside its table"},
      {"NaN personage health", [](auto& b) { Put32(b, kSaveHeaderSize + 296 + 16 + At("person.health") - 56, 0x7fc00000); },
       "Load:personage 0 has a number that is not finite in person.health"},
      {"NaN emitter volume", [](auto& b) { Put32(b, kSaveHeaderSize + 64, 0x7fc00000); }, "Load:sound emitter 0 has a number"},
      {"NaN game time", [](auto& b) { Put32(b, 280, 0x7fc00000); }, "Load:the game time"},
      {"negative game time", [](auto& b) { Put32(b, 280, 0xbf800000); }, "Load:the game time -1"},
      {"NaN objective time", [](auto& b) { Put32(b, 17216 + 8, 0x7fc00000); }, "Load:an objective time"},
      {"car position beyond", [](auto& b) { Put32(b, 101752 + 156 + 128, 0x7f000000); }, "Load:car position 1"},
      {"random index 5000", [](auto& b) { Put32(b, 292, 5000); }, "Load:random index 5000"},
      {"quest mode 3", [](auto& b) { Put32(b, 119184, 3); }, "Load:quest mode 3"},
      {"money +1", [=](auto& b) { b[objects + At("person.money")] ^= 1; }, "Load:the file does not match its check word"},
      {"check word", [](auto& b) { b.back() ^= 0x80; }, "Load:the file does not match its check word"},
  };
  // Random bit flips anywhere in the object images.
  std::mt19937 rng(37);
  for (int run = 0; run < 8; run++) {
    std::vector<size_t> bits;
    for (int i = 0; i < 200; i++) bits.push_back(objects * 8 + rng() % (9 * size_t(kObjectImageSize) * 8));
    cases.push_back({"bit flips", [bits](auto& b) {
                       for (size_t bit : bits) b[bit / 8] ^= uint8_t(1u << (bit % 8));
                     },
                     "Load:"});
  }
  // Cut at and inside every record.
  std::vector<size_t> cuts = {0, 4, kSaveHeaderSize - 1, kSaveHeaderSize, kSaveHeaderSize + 100, kSaveHeaderSize + 148,
                              kSaveHeaderSize + 296, objects - 1, objects, aiBlock - 1, aiBlock, good.size() - 1};
  for (int i = 1; i < 9; i++) cuts.push_back(objects + i * size_t(kObjectImageSize) + (i % 2 ? 0 : 777));
  for (size_t cut : cuts)
    cases.push_back({"cut", [cut](auto& b) { b.resize(cut); }, cut < kSaveHeaderSize ? "Load:the file is shorter than its header" : "Load:"});
  Spawn(WORLD, 3, 3);  // the running game differs from the save
  const std::vector<uint8_t> before = State();
  for (const Damage& d : cases) {
    std::vector<uint8_t> bad = good;
    d.change(bad);
    tw_test::WriteBytes("save/bad.sav", bad);
    size_t logBefore = Log().size();
    EXPECT_EQ(Save_LoadSlot("bad"), 0) << d.what;
    std::string added = Log().substr(logBefore);
    EXPECT_NE(added.find(d.line), std::string::npos) << d.what << ": " << added;
    EXPECT_EQ(tw_test::CountOccurrences(added, "Load:"), 1) << d.what << ": " << added;
    Game_SettleFrames = 0;
    EXPECT_EQ(State(), before) << d.what;
  }
  Game_TickFrame = DemoFrame{0.05f, 0, 0, 0};
  Game_Tick();
  EXPECT_GT(Game_Time, 123.5);
}

// The seal of a save made again over changed bytes: "TWCK" and the CRC-32 of all before the CRC.
void Reseal(std::vector<uint8_t>& b) {
  ASSERT_GE(b.size(), 8u);
  ASSERT_EQ(Get32(b, b.size() - 8), 0x4B435754u);
  Put32(b, b.size() - 4, Zip_Crc32(0, b.data(), b.size() - 4));
}

// A save crafted with values no game holds, sealed again (or with its seal cut off, as an older
// save), is refused whole with its line, the running game untouched; a save without its hero is
// neither written nor loaded.
TEST_F(SaveTest, CraftedSavesSealedAgainOrUnsealedAreRefusedAndChangeNothing) {
  MakeGame();
  ASSERT_EQ(Save("good"), 1);
  const std::vector<uint8_t> good = ReadBytes("save/good.sav");
  const size_t personage = kSaveHeaderSize + 2 * 148;
  const size_t objects = personage + 5920;
  auto object = [=](int index, const char* field) { return objects + size_t(index) * kObjectImageSize + At(field); };
  // The small game's objects in list order: one of each class 1..9.
  const int door = FUNC_DOOR - 1, npc = NPC - 1, shot = PULKA - 1;
  struct Lie {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> change;
    const char* line;
  };
  const std::vector<Lie> lies = {
      {"id counter at its end", [](auto& b) { Put32(b, 296, 0xFFFFFFFFu); }, "Load:id counter 4294967295 leaves no ids."},
      {"id counter 2^31", [](auto& b) { Put32(b, 296, 0x80000000u); }, "Load:id counter 2147483648 leaves no ids."},
      {"object id past 2^31", [=](auto& b) { Put32(b, object(2, "id"), 0x80000001u); }, "Load:object 2 has id 2147483649."},
      {"object id 2^31", [=](auto& b) { Put32(b, object(2, "id"), 0x80000000u); }, "Load:object 2 has id 2147483648."},
      {"player id of a character", [=](auto& b) { Put32(b, 304, Get32(b, object(npc, "id"))); }, "Load:no player object 9."},
      {"hero inactive", [=](auto& b) { Put32(b, object(0, "flags"), 0); }, "Load:the hero (object 1) is not active."},
      {"hero dead", [=](auto& b) { Put32(b, object(0, "person.state"), 2); }, "Load:the hero is dead."},
      // The header's rows of places, times and items that play reads later.
      {"level start NaN", [](auto& b) { Put32(b, 110216 + 256, 0x7fc00000); }, "Load:level start 0 lies beyond the world."},
      {"level start angle 3e38", [](auto& b) { Put32(b, 110216 + 5 * 280 + 272, 0x7f61b1e6); },
       "Load:level start 5 lies beyond the world."},
      {"tracked location NaN", [](auto& b) { Put32(b, 46104 + 2 * 332 + 192 + 8, 0xffc00000); },
       "Load:tracked location 2 lies beyond the world."},
      {"placement 3e38", [](auto& b) { Put32(b, 67352 + 7 * 344 + 64 + 256, 0x7f61b1e6); },
       "Load:placement 7 lies beyond the world."},
      {"placement angle inf", [](auto& b) { Put32(b, 67352 + 99 * 344 + 64 + 256 + 20, 0x7f800000); },
       "Load:placement 99 lies beyond the world."},
      {"timer NaN", [](auto& b) { Put32(b, 35672 + 3 * 164 + 128, 0x7fc00000); }, "Load:timer 3 has a time that is not a time."},
      {"stash weapon 999",
       [](auto& b) {
         Put32(b, 18404 + 5 * 8, INV_WEAPON);
         Put32(b, 18404 + 5 * 8 + 4, 999);
       },
       "Load:inventory stash pair 5 holds an item outside its table."},
      {"stash kind 9", [](auto& b) { Put32(b, 18404 + 255 * 8, 9); }, "Load:inventory stash pair 255 holds"},
      {"owner past the counter", [=](auto& b) { Put32(b, object(3, "owner"), 5000); }, "Load:object 3 names owner 5000"},
      {"player id 0", [](auto& b) { Put32(b, 304, 0); }, "Load:no player object 0."},
      {"game time 3.4e38", [](auto& b) { Put32(b, 280, 0x7f7fffff); }, "Load:the game time 3.40282e+38 is not a time."},
      {"game time 1e9", [](auto& b) { Put32(b, 280, 0x4e6e6b28); }, "Load:the game time 1e+09 is not a time."},
      {"god 7", [](auto& b) { Put32(b, 288, 7); }, "Load:god mode 7 is neither on nor off."},
      {"god -1", [](auto& b) { Put32(b, 288, 0xFFFFFFFFu); }, "Load:god mode -1"},
      {"stash word 2", [](auto& b) { Put32(b, 20548, 2); }, "Load:inventory stash word 2"},
      {"show flag 5", [](auto& b) { Put32(b, 119196, 5); }, "Load:a show flag is 5."},
      {"restore word -1", [=](auto& b) { Put32(b, personage, 0xFFFFFFFFu); }, "Load:personage 0 has a restore word"},
      {"personage state 9", [=](auto& b) { Put32(b, personage + 16 + At("person.state") - 56, 9); },
       "Load:personage 0 has a word outside its values in person.state."},
      {"hero state 77", [=](auto& b) { Put32(b, object(0, "person.state"), 77); },
       "Load:object 0 has a word outside its values in person.state."},
      {"hero anim 6", [=](auto& b) { Put32(b, object(0, "person.anim"), 6); }, "outside its values in person.anim."},
      {"run word 2", [=](auto& b) { Put32(b, object(0, "person.moveMode") + 4, 2); }, "in person.moveMode."},
      {"camera mode 9", [=](auto& b) { Put32(b, object(0, "camera.mode"), 9); }, "in camera.mode."},
      {"vehicle state 3", [=](auto& b) { Put32(b, object(npc, "person.vehicleState"), 3); }, "object 8 has a word outside its values in person.vehicleState."},
      {"ai state 14", [=](auto& b) { Put32(b, object(npc, "person.aiState"), 14); }, "in person.aiState."},
      {"npc control 5", [=](auto& b) { Put32(b, object(npc, "npcControl"), 5); }, "object 8 has a word outside its values in npcControl."},
      {"engaged 2^31-1", [=](auto& b) { Put32(b, object(npc, "bot.engaged"), 0x7FFFFFFF); }, "in bot.engaged."},
      {"gender 2", [=](auto& b) { Put32(b, object(npc, "gender"), 2); }, "in gender."},
      {"use group 128", [=](auto& b) { Put32(b, object(2, "useGroupIndex"), 128); }, "in useGroupIndex."},
      {"shot weapon 36", [=](auto& b) { Put32(b, object(shot, "prop.weapon"), 36); }, "object 5 has a word outside its values in prop.weapon."},
      {"door point 2^31-1", [=](auto& b) { Put32(b, object(door, "prop.point"), 0x7FFFFFFF); },
       "Load:object 7 has a door point that is none in prop.point."},
      {"door target -1", [=](auto& b) { Put32(b, object(door, "prop.targetPoint"), 0xFFFFFFFFu); }, "in prop.targetPoint."},
      {"door point 8", [=](auto& b) { Put32(b, object(door, "prop.nextPoint"), 8); }, "in prop.nextPoint."},
      {"box beyond the world", [=](auto& b) { Put32(b, object(2, "maxs") + 8, 0x7f7fffff); }, "beyond the world in maxs."},
  };
  Spawn(WORLD, 3, 3);  // the running game differs from the save
  const std::vector<uint8_t> before = State();
  auto refused = [&](const std::vector<uint8_t>& bad, const std::string& what, const char* line) {
    tw_test::WriteBytes("save/quicksave/quick.sav", bad);
    size_t logBefore = Log().size();
    EXPECT_EQ(Save_LoadSlot("quicksave\\quick"), 0) << what;
    std::string added = Log().substr(logBefore);
    EXPECT_NE(added.find(line), std::string::npos) << what << ": " << added;
    EXPECT_EQ(tw_test::CountOccurrences(added, "Load:"), 1) << what << ": " << added;
    Game_SettleFrames = 0;
    EXPECT_EQ(State(), before) << what;
  };
  for (const Lie& l : lies) {
    std::vector<uint8_t> bad = good;
    l.change(bad);
    Reseal(bad);
    refused(bad, l.what, l.line);
    if (&l == &lies[0]) {  // the quick load says so
      Menu_QuickLoad();
      EXPECT_EQ(tw_test::LastConsoleLine(), "The quick save could not be loaded");
      Game_SettleFrames = 0;
    }
    // The seal cut off, the file passes for an older save: the same values are refused the same.
    bad.resize(bad.size() - 8);
    refused(bad, std::string(l.what) + ", unsealed", l.line);
  }
  // The real save still loads, and the game goes on with ids after the saved ones.
  tw_test::WriteBytes("save/quicksave/quick.sav", good);
  ASSERT_EQ(Save_LoadSlot("quicksave\\quick"), 1);
  const uint32_t last = Obj_LastId();
  EXPECT_EQ(Spawn(WORLD)->id, last + 1);
  // No hero, no save: the file on the disk stays as it was.
  Obj_Player = nullptr;
  EXPECT_EQ(Save("quicksave\\quick"), 0);
  EXPECT_NE(Log().find("Save:no hero in the game; nothing saved."), std::string::npos);
  EXPECT_EQ(ReadBytes("save/quicksave/quick.sav"), good);
}

// The game never writes a save its own load would refuse: such a game is not saved, the file
// on the disk stays byte for byte, the log names the fault and the player is told.
TEST_F(SaveTest, AGameItsLoadWouldRefuseIsNotSavedAndTheOldSaveStays) {
  MakeGame();
  ASSERT_EQ(Save("keep"), 1);
  const std::vector<uint8_t> old = ReadBytes("save/keep.sav");
  GameObject* hero = Obj_Player;
  struct Fault {
    const char* what;
    std::function<void()> make, undo;
    const char* line;
  };
  const vec3 at = hero->origin;
  const uint32_t lastId = Obj_LastId();
  const std::vector<Fault> faults = {
      {"hero at NaN", [&] { hero->origin.x = std::nanf(""); }, [&] { hero->origin = at; },
       "Save:object 0 has a number that is not finite in origin."},
      {"hero beyond the world", [&] { hero->origin.z = -2.0e8f; }, [&] { hero->origin = at; },
       "Save:object 0 has a place or speed beyond the world in origin."},
      {"stash pair out of table", [] { Que_State.stash.pairs[3][0] = INV_WEAPON, Que_State.stash.pairs[3][1] = 999; },
       [] { Que_State.stash.pairs[3][0] = Que_State.stash.pairs[3][1] = 0; },
       "Save:inventory stash pair 3 holds an item outside its table."},
      {"id counter 2^31", [] { Obj_SetLastId(0x80000000u); }, [&] { Obj_SetLastId(lastId); },
       "Save:id counter 2147483648 leaves no ids."},
      {"level start NaN", [] { Que_State.levelStarts[4].angles[1] = std::nanf(""); },
       [] { Que_State.levelStarts[4].angles[1] = 0; }, "Save:level start 4 lies beyond the world."},
      {"hero dead", [&] { hero->person.state = 2; }, [&] { hero->person.state = 1; }, "Save:the hero is dead."},
      {"hero inactive", [&] { hero->flags &= ~OBJ_ACTIVE; }, [&] { hero->flags |= OBJ_ACTIVE; },
       "Save:the hero (object 1) is not active."},
      {"level without files", [] { std::snprintf(Level_Name, sizeof Level_Name, "%s", "nowhere"); },
       [] { std::snprintf(Level_Name, sizeof Level_Name, "%s", "yard"); }, "Save:no level \"nowhere\""},
  };
  for (const Fault& f : faults) {
    f.make();
    Game_SettleFrames = 0;
    size_t logBefore = Log().size();
    EXPECT_EQ(Save("keep"), 0) << f.what;
    std::string added = Log().substr(logBefore);
    EXPECT_NE(added.find(f.line), std::string::npos) << f.what << ": " << added;
    EXPECT_NE(added.find("Save:keep not saved; its load would refuse it."), std::string::npos) << f.what;
    EXPECT_EQ(added.find("Save:game saved."), std::string::npos) << f.what;
    EXPECT_EQ(tw_test::LastConsoleLine(), "The game was not saved") << f.what;
    EXPECT_EQ(Game_SettleFrames, 0) << f.what;
    EXPECT_EQ(ReadBytes("save/keep.sav"), old) << f.what;
    f.undo();
  }
  // Mended, the game saves again, and what it wrote loads.
  ASSERT_EQ(Save("keep"), 1);
  EXPECT_EQ(tw_test::LastConsoleLine(), "Game saved");
  EXPECT_EQ(Save_LoadSlot("keep"), 1);
  // The id counter may reach 2^31 - 1: that loads, and the id after it is one no save holds.
  std::vector<uint8_t> high = ReadBytes("save/keep.sav");
  Put32(high, 296, 0x7FFFFFFFu);
  Reseal(high);
  tw_test::WriteBytes("save/high.sav", high);
  ASSERT_EQ(Save_LoadSlot("high"), 1);
  EXPECT_EQ(Obj_LastId(), 0x7FFFFFFFu);
  EXPECT_EQ(Save("high"), 1);
  EXPECT_EQ(Spawn(WORLD)->id, 0x80000000u);
  EXPECT_EQ(Save("high"), 0);
  EXPECT_NE(Log().find("Save:id counter 2147483648 leaves no ids."), std::string::npos);
}

// A game larger than a load reads is not written either: the old save stays.
TEST_F(SaveTest, AGameLargerThanALoadReadsIsNotSaved) {
  const size_t fit = (kFileMaxWhole - kSaveHeaderSize - 2 * 148 - 5920) / kObjectImageSize;
  MakeGame(int(fit) - 9 + 1);
  ASSERT_EQ(Save("big"), 0);
  EXPECT_FALSE(tw_test::FileExists("save/big.sav"));
  EXPECT_NE(Log().find("Save:the game is larger than 268435456 bytes."), std::string::npos);
  EXPECT_EQ(tw_test::LastConsoleLine(), "The game was not saved");
}

// The quick slot tells a save that is not there from one that is there and does not open (a
// folder, a named pipe, a device): only the first is "No quick save yet".
TEST_F(SaveTest, AQuickSlotThatDoesNotOpenIsNotCalledMissing) {
  MakeGame();
  Menu_QuickLoad();
  EXPECT_EQ(tw_test::LastConsoleLine(), "No quick save yet");
  const std::string slot = "save/quicksave/quick.sav";
  std::filesystem::create_directories("save/quicksave");
  const std::vector<std::function<bool()>> kinds = {
      [&] { return mkdir(slot.c_str(), 0755) == 0; },
      [&] { return mkfifo(slot.c_str(), 0644) == 0; },
      [&] { return symlink("/dev/null", slot.c_str()) == 0; },
  };
  for (size_t k = 0; k < kinds.size(); k++) {
    ASSERT_TRUE(kinds[k]()) << k;
    bool missing = true;
    EXPECT_EQ(Save_LoadSlot(kQuickSaveName, &missing), 0) << k;
    EXPECT_FALSE(missing) << k;
    Menu_QuickLoad();
    EXPECT_EQ(tw_test::LastConsoleLine(), "The quick save could not be loaded") << k;
    std::remove(slot.c_str());
  }
  Game_SettleFrames = 0;
}

// A save names its level; the level's own ground (the named world props with a clip model that
// its entity text makes) must stand among the saved objects. A save of another level under its
// name is refused, however it is sealed; one holding that ground loads.
TEST_F(SaveTest, ASaveOfAnotherLevelUnderALevelsNameIsRefused) {
  tw_test::WriteBytes("scenes/court.nav", ReadBytes("scenes/yard.nav"));
  tw_test::WriteFile("scenes/court.scn",
                     "{ \"classname\" \"world\" \"id\" \"court\" \"name\" \"maps\\court\" \"solid\" \"maps\\court\" }\n"
                     // Neither a pickup, nor a block that takes its values from a template, nor a
                     // prop without a clip model is asked for.
                     "{ \"classname\" \"world\" \"id\" \"gift\" \"solid\" \"maps\\box\" \"command\" \"[money] [5]\" }\n"
                     "{ \"call\" \"scenes\\templates\\wall\" \"classname\" \"world\" \"id\" \"wall\" \"solid\" \"w\" }\n"
                     "{ \"classname\" \"world\" \"id\" \"post\" }\n");
  MakeGame();
  ASSERT_EQ(Save("yard"), 1);
  std::vector<uint8_t> swapped = ReadBytes("save/yard.sav");
  std::memcpy(&swapped[kSaveOfsLevel], "court", 6);
  Reseal(swapped);
  tw_test::WriteBytes("save/swapped.sav", swapped);
  // The court's own game: its ground among the objects.
  std::snprintf(Level_Name, sizeof Level_Name, "%s", "court");
  GameObject* ground = Spawn(WORLD, 0, 0, "court");
  std::snprintf(ground->prop.clipName, sizeof ground->prop.clipName, "%s", "maps\\court");
  ASSERT_EQ(Save("court"), 1);
  // The same ground with another clip model, or inactive (neither drawn nor solid): the game
  // writes neither, and the load refuses both.
  const std::vector<uint8_t> court = ReadBytes("save/court.sav");
  const size_t image = kSaveHeaderSize + 2 * 148 + 5920 + 9 * size_t(kObjectImageSize);
  ASSERT_STREQ(reinterpret_cast<const char*>(&court[image + At("prop.clipName")]), "maps\\court");
  std::vector<uint8_t> other = court, inactive = court;
  std::memcpy(&other[image + At("prop.clipName")], "maps\\yard", 10);
  Put32(inactive, image + At("flags"), Get32(court, image + At("flags")) & ~OBJ_ACTIVE);
  for (auto* b : {&other, &inactive}) Reseal(*b);
  tw_test::WriteBytes("save/othermodel.sav", other);
  tw_test::WriteBytes("save/inactive.sav", inactive);
  ground->flags &= ~OBJ_ACTIVE;
  EXPECT_EQ(Save("court"), 0);
  EXPECT_NE(Log().find("Save:\"court\" of level \"court\" is not active."), std::string::npos);
  EXPECT_EQ(ReadBytes("save/court.sav"), court);
  ground->flags |= OBJ_ACTIVE;
  const std::vector<uint8_t> before = State();
  for (const char* name : {"swapped", "othermodel", "inactive"}) {
    size_t logBefore = Log().size();
    EXPECT_EQ(Save_LoadSlot(name), 0) << name;
    std::string added = Log().substr(logBefore);
    EXPECT_NE(added.find(name == std::string("inactive") ? "Load:\"court\" of level \"court\" is not active."
                                                         : "Load:no \"court\" of level \"court\" among the objects"),
              std::string::npos)
        << added;
    EXPECT_EQ(tw_test::CountOccurrences(added, "Load:"), 1) << added;
    Game_SettleFrames = 0;
    EXPECT_EQ(State(), before) << name;
  }
  ASSERT_EQ(Save_LoadSlot("court"), 1);
  EXPECT_STREQ(Level_Name, "court");
  ASSERT_EQ(Save_LoadSlot("yard"), 1);
  EXPECT_STREQ(Level_Name, "yard");
}

// What a save needs of its level is checked before the running game is touched: a level that is
// gone, or a ".nav" that lost the areas the AI block names, is refused and play goes on.
TEST_F(SaveTest, ASaveWhoseLevelLostItsAreasIsRefusedAndPlayGoesOn) {
  MakeGame();
  GameObject* npc = Obj_ListTail;
  ASSERT_EQ(npc->classNum, NPC);
  bot_Setup(npc, "*");
  npc->bot.civilianArea = 1;  // the second civilian area of "yard"
  npc->bot.carArea = 0;
  ASSERT_EQ(Save("areas"), 1);
  std::vector<uint8_t> gone = ReadBytes("save/areas.sav");  // the same game on a level without files
  std::memcpy(&gone[kSaveOfsLevel], "nowhere", 8);
  Reseal(gone);
  tw_test::WriteBytes("save/gone.sav", gone);
  ASSERT_TRUE(Tool_WriteSmallLevel(1));  // the level changed since: one civilian area left
  Spawn(WORLD, 3, 3);
  const std::vector<uint8_t> before = State();
  const struct {
    const char* name;
    const char* line;
  } cases[] = {{"areas", "Load:the AI block names areas that level \"yard\" does not have."},
               {"gone", "Load:no level \"nowhere\""}};
  for (const auto& c : cases) {
    size_t logBefore = Log().size();
    EXPECT_EQ(Save_LoadSlot(c.name), 0) << c.name;
    std::string added = Log().substr(logBefore);
    EXPECT_NE(added.find(c.line), std::string::npos) << added;
    EXPECT_EQ(tw_test::CountOccurrences(added, "Load:"), 1) << added;
    EXPECT_EQ(Game_Running, 1u);
    EXPECT_STREQ(Level_Name, "yard");
    Game_SettleFrames = 0;
    EXPECT_EQ(State(), before) << c.name;
  }
  // With its areas back the same save loads, the character in its area.
  ASSERT_TRUE(Tool_WriteSmallLevel(2));
  ASSERT_EQ(Save_LoadSlot("areas"), 1);
  EXPECT_EQ(Obj_ListTail->bot.civilianArea, 1);
  EXPECT_EQ(Nav_Level.sets[NAV_CIVILIAN].areas.size(), 2u);
}

// Temporary files of writers that were killed go when the folder is next written; those of a
// writer that still runs (alive, or holding the file) and files of other names stay.
TEST_F(SaveTest, StaleTemporaryFilesGoWhenTheFolderIsNextWritten) {
  MakeGame();
  pid_t killed = fork();
  if (killed == 0) {
    FileHandle* f = File_Open("save/quicksave/quick.sav", "wb");
    File_Write("part", 1, 4, f);
    std::fflush(nullptr);
    raise(SIGKILL);
  }
  ASSERT_EQ(waitpid(killed, nullptr, 0), killed);
  pid_t alive = fork();
  if (alive == 0) {
    pause();
    _exit(0);
  }
  const std::string dead = "save/quicksave/quick.sav.~tw" + std::to_string(killed);
  const std::string living = "save/quicksave/quick.sav.~tw" + std::to_string(alive);
  const std::string held = "save/quicksave/old.sav.~tw2147483000";  // a writer of another pid space
  const std::string other = "save/quicksave/notes.~twx";
  ASSERT_TRUE(tw_test::FileExists(dead));
  for (const std::string& name : {living, held, other}) tw_test::WriteFile(name, "x");
  int fd = open(held.c_str(), O_RDONLY);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  ASSERT_EQ(Save(kQuickSaveName), 1);
  EXPECT_FALSE(tw_test::FileExists(dead));
  for (const std::string& name : {living, held, other}) EXPECT_TRUE(tw_test::FileExists(name)) << name;
  EXPECT_NE(Log().find("File_Open: removed quick.sav.~tw" + std::to_string(killed)), std::string::npos);
  close(fd);
  kill(alive, SIGKILL);
  waitpid(alive, nullptr, 0);
  EXPECT_EQ(Save_LoadSlot(kQuickSaveName), 1);
}

// A failing or killed writer never costs the save that was there.
TEST_F(SaveTest, AFailingWriterLeavesTheOldSaveWhole) {
  MakeGame();
  ASSERT_EQ(Save("keep"), 1);
  const std::vector<uint8_t> old = ReadBytes("save/keep.sav");
  for (int i = 0; i < 40; i++) Spawn(WORLD, float(i), 0);
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{200000, 200000};
    setrlimit(RLIMIT_FSIZE, &limit);
    int saved = Save("keep");
    std::string log = Log();
    bool said = log.find("Save:unable write keep.") != std::string::npos;
    bool claimed = log.find("Save:game saved.", log.find("Save:unable")) != std::string::npos;
    _exit(saved == 0 && said && !claimed ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(ReadBytes("save/keep.sav"), old);
  int count = 0;
  char names[8][64];
  File_ListFiles("save\\", ".sav", &count, &names[0][0], 8, 64);
  EXPECT_EQ(count, 1);
}

TEST_F(SaveTest, AWriterKilledAnywhereLeavesASaveThatLoadsWhole) {
  MakeGame(1000);
  ASSERT_EQ(Save("crash"), 1);
  std::mt19937 rng(7);
  for (int run = 0; run < 20; run++) {
    pid_t child = fork();
    if (child == 0) {
      for (int i = 0;; i++) {
        Obj_Player->origin.x = float(i);
        Save("crash");
      }
    }
    usleep(useconds_t(rng() % 300000));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    int count = 0;
    char names[8][64];
    File_ListFiles("save\\", ".sav", &count, &names[0][0], 8, 64);
    EXPECT_EQ(count, 1) << run;
    EXPECT_EQ(Save_LoadSlot("crash"), 1) << run;
    EXPECT_EQ(Obj_Count(), 1009) << run;
  }
}

}  // namespace
