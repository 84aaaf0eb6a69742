// The game definitions (weapons, armours, items, goods, tattoos, transports, magazines, cars),
// each table reset to defaults and read from its text files once at start.
#pragma once
#include <cstdint>

void Def_LoadWeapons();
void Def_LoadArmors();
void Def_LoadItems();
void Def_LoadGoods();
void Def_LoadTatus();
void Def_LoadTranss();
void Def_LoadMagazines();
void Def_LoadCars();

// A car definition's start place, copied into the car-position table at a new game.
constexpr int kCarDefs = 28;
struct CarStart {
  char level[128];
  float origin[3];
  float angles[3];  // degrees
  int32_t health;
};
void Def_GetCarStart(int car, CarStart* out);
