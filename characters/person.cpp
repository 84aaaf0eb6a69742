#include "characters/person.h"

WeaponDef Def_Weapons[kWeaponDefs];

// The weapons' model cache arrives with the definitions.
void Weapon_ReleaseModels() {}
