// The game definitions: weapons, armours, items, goods, tattoos, transports, magazines, cars and
// shops. Each table is reset to its defaults and read from its text file once at start.
//
// A definition file is a list of bracketed tokens: the file's kind word and a name open the next
// entry (`[weapon] [pi]`; entries are numbered in file order), then `[key] [value]` pairs fill
// it. A bad key, number or name, or an entry beyond the table, is logged with the file and the
// entry and refused; the rest of the file still loads.
#pragma once
#include <cstddef>
#include <cstdint>

#include "foundation/vecmath.h"

struct ModelObject;
struct ModelDrawParams;
struct ViewParams;

constexpr int kDefNameSize = 64;
constexpr int kDefModelNameSize = 128;

// Ammunition kinds 1..11 ("7MM" .. "TIMEBOMB"); 0 is none. Persons keep 12 reserves.
constexpr int kAmmoKinds = 12;
extern const char* const Def_AmmoNames[kAmmoKinds];
// The kind of an ammunition name (any case), or -1.
int Def_FindAmmo(const char* name);

struct WeaponDef {
  char name[kDefNameSize];
  char text[kDefNameSize];       // "text": the key of its localized name
  int32_t kind;                  // "kind": projectile kind, 0 = instant hit
  float bulletDamage;            // "bullet_damage"
  float bulletExplod;            // "bullet_explod": blast radius, 0 = none
  float bulletExplodTime;        // "bullet_explodtime" (default 100)
  char bulletModelName[kDefModelNameSize];   // "bulletmodelname"
  char bulletModel2Name[kDefModelNameSize];  // "bulletmodel2name"
  char explodModelName[kDefModelNameSize];   // "explodmodelname"
  char explodModel2Name[kDefModelNameSize];  // "explodmodel2name"
  char explodSound[kDefNameSize];  // "explodsound"
  char flySound[kDefNameSize];     // "flysound"
  char fireSound[kDefNameSize];    // "firesound"
  int32_t smoke;                 // "smoke": 1 = leaves a smoke trail
  float gravity;                 // "gravity": factor of sv_gravity on the projectile
  float bounce;                  // "bounce": velocity kept on a bounce
  float removeTime;              // "removetime": seconds a spent projectile stays
  float bulletLifetime;          // "bullet_lifetime"
  float sensorDist;              // "sensor_dist"
  float physics;                 // "physics": impulse on bodies (default 5000)
  int32_t skill;                 // "skill": skill class 0..5
  float size;                    // "size"
  float shotTime;                // "shottime": seconds between shots
  int32_t pellets;               // "pellets": projectiles a shot (default 1)
  float spread;                  // "spread": sideways and upward scatter of each pellet
  int32_t hidden;                // "hidden": not offered by shops and the all-weapons command
  int32_t ammo;                  // "ammo": ammunition kind 0..11
  int32_t magazine;              // "magazine": rounds a magazine holds
  float fovOffset;               // "fov_offset"
  float fovPeriod;               // "fov_period"
  float fovCycles;               // "fov_cycles"
  float fovDelta[3];             // "fov_delta": three angles in degrees
  float fovDeltaTime;            // "fov_deltatime": the fall time
  float fovDelta2Time;           // "fov_delta2time": the rise time
  // Cached model handles of the four model names (fetched when first needed).
  ModelObject* bulletModel;
  ModelObject* bulletModel2;
  ModelObject* explodModel;
  ModelObject* explodModel2;
};

// Armours, items, goods, tattoos, transports, magazines and shops: a name and a text key.
struct NamedDef {
  char name[kDefNameSize];
  char text[kDefNameSize];  // "text"
};
using ArmorDef = NamedDef;
using ItemDef = NamedDef;
using GoodDef = NamedDef;
using TatuDef = NamedDef;
using TransDef = NamedDef;
using MagazineDef = NamedDef;
using ShopDef = NamedDef;

struct CarDef {
  char name[kDefNameSize];
  char text[kDefNameSize];
  char body[kDefModelNameSize];   // "body": model drawn for the parked car
  char body2[kDefModelNameSize];  // "body2": its second model
  char model[kDefModelNameSize];  // "model": the entity template of the driven car
  char key[kDefNameSize];         // "key": the item that opens it
  char level[128];                // "level": start level
  float origin[3];                // "origin"
  float angles[3];                // "angles", degrees
  int32_t word;                   // "word"
  int32_t health;                 // "health": copied into the car-position table
};

constexpr int kWeaponDefs = 36;
constexpr int kArmorDefs = 12;
constexpr int kItemDefs = 256;
constexpr int kGoodDefs = 128;
constexpr int kTatuDefs = 64;
constexpr int kTransDefs = 32;
constexpr int kMagazineDefs = 32;
constexpr int kCarDefs = 28;
constexpr int kShopDefs = 28;

extern WeaponDef Def_Weapons[kWeaponDefs];
extern ArmorDef Def_Armors[kArmorDefs];
extern ItemDef Def_Items[kItemDefs];
extern GoodDef Def_Goods[kGoodDefs];
extern TatuDef Def_Tatus[kTatuDefs];
extern TransDef Def_Transs[kTransDefs];
extern MagazineDef Def_Magazines[kMagazineDefs];
extern CarDef Def_Cars[kCarDefs];
extern ShopDef Def_Shops[kShopDefs];
// Entries loaded into each table.
extern int32_t Def_WeaponCount, Def_ArmorCount, Def_ItemCount, Def_GoodCount, Def_TatuCount,
    Def_TransCount, Def_MagazineCount, Def_CarCount, Def_ShopCount;

// Each resets its table and reads "scripts\<kind>s.txt"; called once at start in this order.
void Def_LoadWeapons();
void Def_LoadArmors();
void Def_LoadItems();
void Def_LoadGoods();
void Def_LoadTatus();
void Def_LoadTranss();
void Def_LoadMagazines();
void Def_LoadCars();
void Def_LoadShops();

// Index of the entry of that name (any case) among the loaded ones, or -1.
int Def_FindWeaponByName(const char* name);
int Def_FindArmor(const char* name);
int Def_FindItem(const char* name);
int Def_FindGood(const char* name);
int Def_FindTatu(const char* name);
int Def_FindTrans(const char* name);
int Def_FindCar(const char* name);
int Def_FindShop(const char* name);

// A car definition's start place, copied into the car-position table at a new game.
struct CarStart {
  char level[128];
  float origin[3];
  float angles[3];  // degrees
  int32_t health;
};
void Def_GetCarStart(int car, CarStart* out);

// Draws car `car`'s "body" and "body2" models with `params` (nothing for car 0 or a bad index).
// A model name that does not load is tried and logged once a level (Model_Find).
void Def_DrawCar(int car, ModelDrawParams* params, ViewParams* view);
// The same at a place, turned by a yaw (radians), lighting mode 1: the player's and the
// characters' cars.
void Def_DrawCarAt(int car, const vec3& origin, float yaw, ViewParams* view);

// The model of a weapon's cached slot (0 bullet, 1 second bullet, 2 explosion, 3 second
// explosion), fetched by name on first use; null when the name is empty or does not load.
ModelObject* Weapon_GetModel(int weapon, int slot);
// Drops the weapon definitions' cached models; they are fetched again by name when next needed.
void Weapon_ReleaseModels();

// The key table of a definition kind, shared by the loader and its tools.
enum DefValueKind : uint8_t { DEF_TEXT, DEF_F32, DEF_I32, DEF_VEC3, DEF_AMMO };
struct DefKey {
  const char* key;
  DefValueKind kind;
  uint16_t offset;  // in the record
  uint16_t size;    // text: its buffer
  int32_t min, max; // i32: allowed range
};
struct DefTable {
  const char* word;  // the kind word that opens an entry
  const char* file;
  void* records;
  size_t recordSize;
  int capacity;
  int32_t* count;
  const DefKey* keys;
  int keyCount;
  void (*reset)(void* record);  // defaults of one record (zero-filled before)
};
// The tables in load order: weapons, armours, items, goods, tattoos, transports, magazines,
// cars, shops.
constexpr int kDefTables = 9;
extern const DefTable Def_Tables[kDefTables];
// Empties a table and gives each record its defaults.
void Def_ResetTable(const DefTable& table);
// Resets a table and reads its file; returns the count loaded.
int Def_LoadTable(const DefTable& table);
// Reads definition text into a reset table (`fileName` names it in the log).
int Def_ParseText(const DefTable& table, const char* text, const char* fileName);
