#include "characters/defs.h"

#include <cstring>

// The definition files arrive with the characters; the tables keep their zero defaults.
void Def_LoadWeapons() {}
void Def_LoadArmors() {}
void Def_LoadItems() {}
void Def_LoadGoods() {}
void Def_LoadTatus() {}
void Def_LoadTranss() {}
void Def_LoadMagazines() {}
void Def_LoadCars() {}
void Def_GetCarStart(int, CarStart* out) { std::memset(out, 0, sizeof *out); }
