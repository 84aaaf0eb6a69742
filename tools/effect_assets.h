// The pictures and sounds of the world's effects, for the sample game and the tests: lens flares
// ("<lens>0".."<lens>8") and a glare, the beam and bolt textures, a voiced line with its speech
// and emotion tracks, and the sun's entity blocks.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/entity_writer.h"

// Files by name below the game's data folder: "sprites/sun/lens0.tga".."lens8.tga",
// "sprites/sun/glare.tga", "uitextures/laser.tga", "uitextures/lasertube.tga",
// "uitextures/lightning.tga", "sound/lines/greeting.wav", ".txt" and ".emo".
std::vector<std::pair<std::string, std::vector<uint8_t>>> EffectAssets_Files();
// The sun of the street (lens "sprites\sun\lens", glare "sprites\sun\glare") and a crate wall on
// the line from the player start to the sun at the horizon, which hides it there.
std::vector<EntityToolPairs> EffectAssets_SunBlocks();
// Writes the files below `stage`; false when one cannot be written.
bool EffectAssets_Write(const std::string& stage);
