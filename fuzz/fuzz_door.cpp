// Doors with arbitrary requirement and trigger texts: used by the hero and by triggers, then
// ticked. The target point stays a point of the tables and the door stays between its points.
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/text.h"
#include "fuzz.h"
#include "world/game.h"
#include "world/object.h"
#include "world/props.h"
#include "world/tick.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Obj_ClearAll();
  Console_Clear();
  std::string text(reinterpret_cast<const char*>(data), size);
  size_t cut = text.find('|');
  std::string conditions = text.substr(0, cut);
  std::string command = cut == std::string::npos ? std::string() : text.substr(cut + 1);
  Game_Running = 1;
  Obj_Player = Obj_Alloc();
  Obj_Player->classNum = MACHINEPLAYER;
  Load_ObjectX(Obj_Player);
  Obj_Player->flags |= OBJ_ACTIVE;
  Obj_Player->person.state = 1;
  GameObject* d = Obj_Alloc();
  d->classNum = FUNC_DOOR;
  PropState& p = d->prop;
  std::snprintf(p.conditions, sizeof p.conditions, "%s", conditions.c_str());
  std::snprintf(p.command, sizeof p.command, "%s", command.c_str());
  for (int i = 0; i < kPropDoorPoints; i++) {
    p.doorA[i] = vec3{float(i * 10), 0, 0};
    p.doorB[i] = vec3{float(i * 10), 0, 100};
  }
  p.wait = 0.5f;
  p.pause = 0.3f;
  p.solid = 1;
  d->hasClipBox = 1;
  Load_ObjectX(d);
  d->flags = 33;
  d->person.state = 1;
  Player_HackSkill = float(size % 80);
  Door_Use(d, Obj_Player, nullptr);
  Door_Use(d, Obj_Player, command.c_str());
  for (int i = 0; i < 20; i++) {
    Game_TickFrame = DemoFrame{};
    Game_TickFrame.step = 0.1f;
    Game_Tick();
    if (!Door_Point(d, p.targetPoint) || !std::isfinite(d->origin.z) || d->origin.z < -1 || d->origin.z > 101)
      std::abort();
  }
  Obj_ClearAll();
  Game_Running = 0;
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  const char* texts[] = {"[skill_hack] [50]|[door] [3]", "[item] [keycard]|[door] [107]",
                         "|[objective] [c] [s] [10] [door] [100]", "[skill_hack] [-5]|[door] [-3]",
                         "[item]|[door]", "[skill_hack] [99999999999999]|[door] [2147483648]"};
  for (const char* t : texts) seeds.emplace_back(t, t + std::strlen(t));
}
