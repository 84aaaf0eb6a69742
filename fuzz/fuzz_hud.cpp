// Fuzz target: the HUD file's reader and the quest script reader on the same text.
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz.h"
#include "hud/hud.h"
#include "quests/quest.h"
#include "tools/hud_writer.h"
#include "world/game.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  Hud_ReadSettings(text, size, "fuzz.txt");
  if (!(Hud_DayLength() > 0) || !std::isfinite(Hud_DayLength())) __builtin_trap();
  Game_PendingLevel[0] = 0;
  Que_RunText(text, size, "fuzz.txt");
  if (strnlen(Game_PendingLevel, sizeof Game_PendingLevel) >= sizeof Game_PendingLevel) __builtin_trap();
  return 0;
}

static std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  HudWriterFile hud;
  hud.damage["player_melee_weapon_10"] = 2;
  hud.damage["player_explosives_300"] = 0.5f;
  seeds.push_back(Bytes(HudWriter_Text(hud)));
  seeds.push_back(Bytes(QuestWriter_Script({{"level", "endgame"}, {"give", "pi", "30"}, {"level", "street"}})));
  seeds.push_back(Bytes("[daytime] [-1][daybutton] [1 2 3 4 5][level] [" + std::string(300, 'x') + "]\n[level]"));
}
