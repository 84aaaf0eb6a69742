// The pictures of the menus and the play screen for the sample game and the tests: the menus'
// mouse pointer, the markers of what the use key would do (talk, search, hack) and the crosshairs
// that "render_crosshair" 1 to 3 choose.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Files by name below the game's data folder: "sprites/Menu/cursor.tga", "sprites/SBar/talkplace.tga",
// "search.tga", "hack.tga", "cross00.tga", "cross000.tga" and "cross0000.tga" (32-bit TGA).
std::vector<std::pair<std::string, std::vector<uint8_t>>> UiAssets_Files();
// Writes the files below `stage`; false when one cannot be written.
bool UiAssets_Write(const std::string& stage);
