// Fuzz target: the whole load of a saved game over a small running game.
#include <cstdlib>
#include <string>

#include "ai/bot.h"
#include "fuzz.h"
#include "tools/save_maker.h"
#include "world/game.h"
#include "world/object.h"
#include "world/save.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = false;
  if (!ready) {
    Fuzz_EnterPrivateFolder("fuzz_save");
    Tool_WriteSmallLevel();  // the level the seeds name
    ready = true;
  }
  Tool_MakeSmallGame(0);
  size_t used = Save_ApplySnapshot(data, size, SNAPSHOT_LOAD, "Load");
  if (used > size) __builtin_trap();
  if (used && Obj_Player && Obj_Player->classNum != MACHINEPLAYER) __builtin_trap();
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->classNum < MACHINEPLAYER || o->classNum > NPC) __builtin_trap();
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (int mode = 0; mode < 3; mode++) seeds.push_back(Tool_SmallSave(mode));
  // A game whose characters carry AI state: a walker and one engaged with the player.
  Tool_MakeSmallGame(0);
  bot_Setup(Obj_Player, "*");
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    if (o->classNum != NPC) continue;
    bot_Setup(o, "guard");
    bot_SetWalk(o, BOT_WALK_CIVILIAN);
    o->bot.engaged = BOT_ENGAGE_FOLLOW;
    o->bot.target = Obj_Player->id;
  }
  seeds.push_back(Save_SnapshotBytes());
}
