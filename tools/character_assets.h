// The sample game's characters: the definition files, the animations the first hero lacks
// (run, jump, crouch, dead), the second hero "npc\mirasolvek\body" with its skeleton and
// animations, a townsman's body on the first hero's bones, and the pain and death sounds.
#pragma once
#include <string>

// Writes below `stage`, after the first hero is there (its skeleton is read back by the
// engine). False (with a message on stderr) on failure.
bool CharacterAssets_Write(const std::string& stage);
