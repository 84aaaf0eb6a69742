// The sample's weapon sounds: the pistol's shot, the click of an empty magazine, the reload and
// the change of weapon ("sound\shot_pi", "sound\weapon_empty", "sound\weapon_reload",
// "sound\weapon_switch").
#pragma once
#include <string>

// Writes the sounds below `stage`; false (with a message on stderr) on failure.
bool WeaponAssets_Write(const std::string& stage);
