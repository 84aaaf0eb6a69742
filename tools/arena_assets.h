// The sample game's arena for local-network matches, "arenas\duel": the street block as its
// ground, the player start, two deathmatch starts facing each other across the road a little to
// the side (each sees the other to the right of its own body; the red team's start on the south
// one, the blue team's on the north one), the pickups "#0" to "#3" and a base
// and flag of each team for capture the flag ("#4" to "#7"), the weapon crates "#8" (the
// submachine gun), "#9" (the shotgun) and "#10" (the grenade launcher), each with rounds for its
// gun; and the capture-the-flag models
// "anim\items\ctf\basered", "baseblu", "flagred" and "flagblu".
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "foundation/vecmath.h"

// Places of the arena that tests look at.
struct SampleArenaPlaces {
  vec3 playerStart;
  vec3 south, north;  // the two deathmatch starts (south faces +y, north faces -y)
  vec3 redBase, blueBase;
};
extern const SampleArenaPlaces kSampleArena;
constexpr const char kSampleArenaName[] = "duel";

// The arena's entity files by name below the game's data folder ("arenas/duel.scn", ".items").
std::vector<std::pair<std::string, std::string>> Tool_SampleArenaFiles();
// Writes the entity files and the capture-the-flag models below `stage`. False (with a message on
// stderr) on failure.
bool ArenaAssets_Write(const std::string& stage);
