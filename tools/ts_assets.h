// The sample game's Transport System, terminal, help pictures and level maps:
// - "scripts\transport.tsd": one district, "The city" (map model "maps\TS\city"), whose places
//   are the street, the arena and the rooms (entry models "city_1" to "city_3"), each with
//   its start; the map pictures of the three levels;
// - "scenes\arena.scn" and "scenes\rooms.scn": the arena's ground and the lightmapped rooms as
//   levels of their own, each with a Transport System point beside its start;
// - in the street, the Transport System point "ts_point" and the terminal "terminal", whose use
//   text starts the mini-game "1" with the prize file "data\scripts\minigame\prize01.cfg";
// - "sprites\help\keys" and "sprites\help\play": the help pictures;
// - the mini-game library "minigame.so", copied beside the archive from the tool's own folder.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "foundation/vecmath.h"

// A level's start (where the Transport System puts the player) and its point: the player stands
// at `start` facing +x (yaw 90 degrees); the point stands at `start` + kTsSamplePointOffset and
// the street's terminal at the street's start + kTsSampleTerminalOffset.
struct TsSampleLevel {
  const char* level;
  vec3 start;
};
constexpr TsSampleLevel kTsSampleLevels[3] = {{"street", {0, 0, 0}}, {"arena", {-450, 0, 0}}, {"rooms", {-150, 0, 0}}};
constexpr vec3 kTsSamplePointOffset{-45, 70, 0};
constexpr vec3 kTsSampleTerminalOffset{45, 70, 0};
constexpr int kTsSamplePrize = 500;
// The district's map model spans x -1200..1200, y -900..900 (screen 200..440 x 150..330); the
// entries are 400 x 300 boxes centred on these points.
constexpr float kTsSampleEntryCentres[3][2] = {{-700, 0}, {0, 0}, {700, 0}};

// A row of the help pictures: the sample's key bindings it explains (binding name, action; none
// for a fixed key), the label of its key box and what the keys do.
struct TsHelpRow {
  std::vector<std::pair<std::string, std::string>> keys;
  std::string label;
  std::string what;
};
// The rows of "sprites\help\keys" (page 0) and "sprites\help\play" (page 1). A bound row's label
// names its keys as TsAssets_HelpKeyLabel shortens them ("Keyboard Up Arrow" shows "UP").
std::vector<TsHelpRow> TsAssets_HelpRows(int page);
std::string TsAssets_HelpKeyLabel(const std::string& binding);

// Writes everything below `stage` (the folder packed into the archive), appends the two street
// objects to "scenes/street.scn" there, and copies the library into `game`. False (with a message
// on standard error) on failure.
bool TsAssets_Write(const std::string& stage, const std::string& game);
