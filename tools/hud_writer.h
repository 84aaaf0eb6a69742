// Writers of the HUD file ("sprites\ui\ui.txt") and of quest scripts ("scripts\que\<name>.txt"),
// both bracketed words: the HUD file key and value pairs, a quest script one command a line.
#pragma once
#include <map>
#include <string>
#include <vector>

struct HudWriterFile {
  float daytime = 60.0f;
  std::map<std::string, float> damage;  // "player_melee_weapon_10" and the like
  float dayButton[4] = {60, 400, 160, 440};
  float nightButton[4] = {180, 400, 280, 440};
};
std::string HudWriter_Text(const HudWriterFile& file);

// Each command: its word, then its arguments.
std::string QuestWriter_Script(const std::vector<std::vector<std::string>>& commands);
