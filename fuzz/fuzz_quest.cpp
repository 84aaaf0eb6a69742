// Fuzz target: quest scripts and conditions. The input's first byte splits it: the bytes before
// the split are run as a script on the player (with the sample definitions, the townsman's
// template and a script "self" that runs itself), the bytes after it are tested as a condition
// text and, written as the condition file "fuzz", by name (it may name itself). Then the
// objectives and timers tick once, and the dialogue screen takes one answer.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "characters/defs.h"
#include "fuzz.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "quests/state.h"
#include "tools/def_writer.h"
#include "tools/entity_writer.h"
#include "tools/hud_writer.h"
#include "tools/quest_assets.h"
#include "tools/quest_writer.h"
#include "world/entity.h"
#include "world/frame2d.h"
#include "world/game.h"
#include "world/level.h"
#include "world/object.h"
#include "world/start.h"

static void Discard(const char*, size_t, void*) {}

static void WriteText(const std::string& name, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(name).parent_path());
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

static bool Setup() {
  Fuzz_EnterPrivateFolder("fuzz_quest");
  for (const auto& [file, text] : Tool_SampleDefFiles()) WriteText("scripts/" + file, text);
  for (const DefTable& t : Def_Tables) Def_LoadTable(t);
  for (const auto& [name, text] : Tool_SampleEntityFiles())
    if (name.find("templates") != std::string::npos) WriteText(name, text);
  WriteText("scripts/que/self.txt", "[flag_set] [deep]\n[run] [self]\n");
  WriteText("scripts/cond/loop.txt", "[cond] [loop]\n");
  Ent_SetOutput(Discard, nullptr);
  std::snprintf(Level_Name, sizeof Level_Name, "street");
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  if (!ready || size == 0) return 0;
  const size_t split = size_t(data[0]) * (size - 1) / 255 + 1;
  const char* text = reinterpret_cast<const char*>(data);
  Game_Running = 1;
  Player_CreateForLevel();
  Que_RunTextOn(Obj_Player, text + 1, split - 1, "fuzz", "arg", 0);
  Que_TestConditionText(text + split, size - split, "fuzz");
  WriteText("scripts/cond/fuzz.txt", std::string(text + split, size - split));
  Que_ForgetConditions();
  Que_TestCondition("fuzz");
  Game_Step = 0.1;
  Que_Tick();
  Dialog_Choose(0);
  // Nothing runs past its table.
  if (Dialog_Screen.answerCount < 0 || Dialog_Screen.answerCount > kDialogAnswers) __builtin_trap();
  if (strnlen(Game_PendingLevel, sizeof Game_PendingLevel) >= sizeof Game_PendingLevel) __builtin_trap();
  if (strnlen(Game_PlayScreen.statusKey, sizeof Game_PlayScreen.statusKey) >= sizeof Game_PlayScreen.statusKey)
    __builtin_trap();
  for (const QuestFlag& f : Que_State.flags)
    if (strnlen(f.name, sizeof f.name) >= sizeof f.name) __builtin_trap();
  Dialog_StartWithNpc(nullptr);
  Game_FullScreenMode = FULLSCREEN_NONE;
  Game_PendingLevel[0] = Game_MovieScript[0] = Game_MovieLevel[0] = 0;
  Obj_ClearAll();
  Obj_Player = nullptr;
  Que_ResetState();
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  auto add = [&](const std::string& script, const std::string& condition) {
    std::string s(1, char(script.size() * 255 / (script.size() + condition.size() + 1)));
    s += script + condition;
    seeds.emplace_back(s.begin(), s.end());
  };
  for (const auto& [name, bytes] : QuestAssets_Files()) {
    if (name.rfind("scripts/que/", 0) == 0)
      add(std::string(bytes.begin(), bytes.end()), QuestWriter_Condition({{"item", "gate key"}, {"cond", "fuzz"}}));
  }
  add(QuestWriter_Script({{"level", "docks", "1", "2", "3", "90", "0", "0"},
                          {"objective", "loop", "self", "0.05"},
                          {"place_npc", "bram", "street", "scenes\\templates\\townsman", "1", "2", "3", "0", "0", "0"},
                          {"respawn_npc", "kel", "street", "scenes\\templates\\townsman"},
                          {"inv_push"},
                          {"give", "weapon", "pi", "money", "1000000000", "money", "1000000000"},
                          {"inv_pop"},
                          {"take", "money", "nan"},
                          {"timer", "t", "0.01", "self"},
                          {"kill_count", "guard", "self", "1"},
                          {"status", "k", "1", "300", "-4", "1e9", "0"},
                          {"spawn", "classname", "anim", "id", "x", "origin", "1 2 3"},
                          {"movie", "none", "self", "docks"},
                          {"run", "self"},
                          {"answer", "a", "self"},
                          {"district", "19", "4294967295"}}),
      QuestWriter_Condition({{"flag", "deep"}, {"hour", "22", "6"}, {"near", "kel", "1e30"}, {"cond", "loop"}}));
  add(std::string(5000, '[') + "\n[" + std::string(400, 'x') + "]", "[money] [inf]\n[dead]\n");
}
