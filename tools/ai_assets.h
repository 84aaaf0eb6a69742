// The sample street's AI content: a hostile character of the "gang" team who follows the hero
// once it sees him, and the slow-motion overlay picture.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/entity_writer.h"

// Files by name below the game's data folder: the template "scenes/templates/thug.scn" and the
// overlay "sprites/galahaste.tga" (32-bit, clear in the middle, blue towards the edges).
std::vector<std::pair<std::string, std::vector<uint8_t>>> AiAssets_Files();
// The street's blocks (added to "scenes\street.scn"): "thug_1" at the east end of the street.
std::vector<EntityToolPairs> AiAssets_StreetBlocks();
// Writes the files below `stage`; false when one cannot be written.
bool AiAssets_Write(const std::string& stage);
