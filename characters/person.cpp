#include "characters/person.h"

WeaponDef Def_Weapons[kWeaponDefs];
