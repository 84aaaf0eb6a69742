// The sample game's characters: the definition files, the animations the first hero lacks
// (run, jump, crouch, dead), the body other players of a network game show (the models
// "anim\jaxtorvin\jaxtorvin_0" to "_3", each also with the suffix "r" and "b" in the red and blue
// team's colour, and the muzzle flash "anim\jaxtorvin\jaxtorvin_fire"), the second hero
// "npc\mirasolvek\body" with its skeleton and animations, a townsman's body on the first hero's bones, and the pain and death sounds.
#pragma once
#include <string>

// How far the root of the heroes' run animation moves (along +y, units) over one cycle: from its
// first frame to its last.
constexpr float kSampleRunCycleLength = 96.0f;

// Writes below `stage`, after the first hero is there (its skeleton is read back by the
// engine). False (with a message on stderr) on failure.
bool CharacterAssets_Write(const std::string& stage);
