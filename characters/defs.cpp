#include "characters/defs.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <strings.h>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/partoken.h"
#include "scene/model.h"

WeaponDef Def_Weapons[kWeaponDefs];
ArmorDef Def_Armors[kArmorDefs];
ItemDef Def_Items[kItemDefs];
GoodDef Def_Goods[kGoodDefs];
TatuDef Def_Tatus[kTatuDefs];
TransDef Def_Transs[kTransDefs];
MagazineDef Def_Magazines[kMagazineDefs];
CarDef Def_Cars[kCarDefs];
ShopDef Def_Shops[kShopDefs];
int32_t Def_WeaponCount, Def_ArmorCount, Def_ItemCount, Def_GoodCount, Def_TatuCount, Def_TransCount,
    Def_MagazineCount, Def_CarCount, Def_ShopCount;

const char* const Def_AmmoNames[kAmmoKinds] = {"",       "7MM",    "9MM",         "16MM",
                                               "NAPALM", "NITROGEN", "SMALLROCKET", "ROCKET",
                                               "BATTERY", "GRENADE", "MINE",       "TIMEBOMB"};

int Def_FindAmmo(const char* name) {
  if (!name || !name[0]) return -1;
  for (int i = 1; i < kAmmoKinds; i++)
    if (strcasecmp(Def_AmmoNames[i], name) == 0) return i;
  return -1;
}

namespace {

#define TEXT_KEY(rec, key, field) {key, DEF_TEXT, uint16_t(offsetof(rec, field)), uint16_t(sizeof(rec::field)), 0, 0}
#define F32_KEY(rec, key, field) {key, DEF_F32, uint16_t(offsetof(rec, field)), 4, 0, 0}
#define I32_KEY(rec, key, field, lo, hi) {key, DEF_I32, uint16_t(offsetof(rec, field)), 4, lo, hi}
#define VEC3_KEY(rec, key, field) {key, DEF_VEC3, uint16_t(offsetof(rec, field)), 12, 0, 0}

const DefKey kWeaponKeys[] = {
    TEXT_KEY(WeaponDef, "text", text),
    I32_KEY(WeaponDef, "kind", kind, 0, 15),
    F32_KEY(WeaponDef, "bullet_damage", bulletDamage),
    F32_KEY(WeaponDef, "bullet_explod", bulletExplod),
    F32_KEY(WeaponDef, "bullet_explodtime", bulletExplodTime),
    TEXT_KEY(WeaponDef, "bulletmodelname", bulletModelName),
    TEXT_KEY(WeaponDef, "bulletmodel2name", bulletModel2Name),
    TEXT_KEY(WeaponDef, "explodmodelname", explodModelName),
    TEXT_KEY(WeaponDef, "explodmodel2name", explodModel2Name),
    TEXT_KEY(WeaponDef, "explodsound", explodSound),
    TEXT_KEY(WeaponDef, "flysound", flySound),
    TEXT_KEY(WeaponDef, "firesound", fireSound),
    I32_KEY(WeaponDef, "smoke", smoke, 0, 1),
    F32_KEY(WeaponDef, "gravity", gravity),
    F32_KEY(WeaponDef, "bounce", bounce),
    F32_KEY(WeaponDef, "removetime", removeTime),
    F32_KEY(WeaponDef, "bullet_lifetime", bulletLifetime),
    F32_KEY(WeaponDef, "sensor_dist", sensorDist),
    F32_KEY(WeaponDef, "physics", physics),
    I32_KEY(WeaponDef, "skill", skill, 0, 5),
    F32_KEY(WeaponDef, "size", size),
    F32_KEY(WeaponDef, "shottime", shotTime),
    I32_KEY(WeaponDef, "pellets", pellets, 1, 64),
    F32_KEY(WeaponDef, "spread", spread),
    I32_KEY(WeaponDef, "hidden", hidden, 0, 1),
    {"ammo", DEF_AMMO, uint16_t(offsetof(WeaponDef, ammo)), 4, 0, kAmmoKinds - 1},
    I32_KEY(WeaponDef, "magazine", magazine, 0, 100000),
    F32_KEY(WeaponDef, "fov_offset", fovOffset),
    F32_KEY(WeaponDef, "fov_period", fovPeriod),
    F32_KEY(WeaponDef, "fov_cycles", fovCycles),
    VEC3_KEY(WeaponDef, "fov_delta", fovDelta),
    F32_KEY(WeaponDef, "fov_deltatime", fovDeltaTime),
    F32_KEY(WeaponDef, "fov_delta2time", fovDelta2Time),
};
const DefKey kNamedKeys[] = {TEXT_KEY(NamedDef, "text", text)};
const DefKey kCarKeys[] = {
    TEXT_KEY(CarDef, "text", text),   TEXT_KEY(CarDef, "body", body),     TEXT_KEY(CarDef, "body2", body2),
    TEXT_KEY(CarDef, "model", model), TEXT_KEY(CarDef, "key", key),       TEXT_KEY(CarDef, "level", level),
    VEC3_KEY(CarDef, "origin", origin), VEC3_KEY(CarDef, "angles", angles),
    I32_KEY(CarDef, "word", word, INT32_MIN, INT32_MAX), I32_KEY(CarDef, "health", health, 0, 1000000),
};

#undef TEXT_KEY
#undef F32_KEY
#undef I32_KEY
#undef VEC3_KEY

void Weapon_Reset(void* record) {
  auto* w = static_cast<WeaponDef*>(record);
  w->bulletExplodTime = 100.0f;
  w->physics = 5000.0f;
  w->pellets = 1;
}
void NoReset(void*) {}

template <size_t N>
constexpr int Count(const DefKey (&)[N]) {
  return int(N);
}

}  // namespace

const DefTable Def_Tables[kDefTables] = {
    {"weapon", "scripts\\weapons.txt", Def_Weapons, sizeof(WeaponDef), kWeaponDefs, &Def_WeaponCount, kWeaponKeys, Count(kWeaponKeys), Weapon_Reset},
    {"armor", "scripts\\armors.txt", Def_Armors, sizeof(ArmorDef), kArmorDefs, &Def_ArmorCount, kNamedKeys, 1, NoReset},
    {"item", "scripts\\items.txt", Def_Items, sizeof(ItemDef), kItemDefs, &Def_ItemCount, kNamedKeys, 1, NoReset},
    {"good", "scripts\\goods.txt", Def_Goods, sizeof(GoodDef), kGoodDefs, &Def_GoodCount, kNamedKeys, 1, NoReset},
    {"tatu", "scripts\\tatus.txt", Def_Tatus, sizeof(TatuDef), kTatuDefs, &Def_TatuCount, kNamedKeys, 1, NoReset},
    {"trans", "scripts\\transs.txt", Def_Transs, sizeof(TransDef), kTransDefs, &Def_TransCount, kNamedKeys, 1, NoReset},
    {"magazine", "scripts\\magazines.txt", Def_Magazines, sizeof(MagazineDef), kMagazineDefs, &Def_MagazineCount, kNamedKeys, 1, NoReset},
    {"car", "scripts\\cars.txt", Def_Cars, sizeof(CarDef), kCarDefs, &Def_CarCount, kCarKeys, Count(kCarKeys), NoReset},
    {"shop", "scripts\\shops.txt", Def_Shops, sizeof(ShopDef), kShopDefs, &Def_ShopCount, kNamedKeys, 1, NoReset},
};

namespace {

uint8_t* Def_Record(const DefTable& t, int i) { return static_cast<uint8_t*>(t.records) + size_t(i) * t.recordSize; }

// A whole token as a finite float.
bool Def_ParseFloat(const char* s, float* out, const char** rest) {
  errno = 0;
  char* end = nullptr;
  float v = std::strtof(s, &end);
  if (end == s || errno == ERANGE || !std::isfinite(v)) return false;
  *out = v;
  if (rest) *rest = end;
  return true;
}

bool Def_AllSpace(const char* s) {
  while (*s == ' ' || *s == '\t') s++;
  return *s == 0;
}

// Stores one value; false when it is refused.
bool Def_Store(const DefKey& k, uint8_t* rec, const char* value) {
  switch (k.kind) {
    case DEF_TEXT: {
      size_t n = std::strlen(value);
      if (n >= k.size) return false;
      std::memcpy(rec + k.offset, value, n + 1);
      return true;
    }
    case DEF_F32: {
      float v;
      const char* rest;
      if (!Def_ParseFloat(value, &v, &rest) || !Def_AllSpace(rest)) return false;
      std::memcpy(rec + k.offset, &v, 4);
      return true;
    }
    case DEF_I32: {
      errno = 0;
      char* end = nullptr;
      long long v = std::strtoll(value, &end, 10);
      if (end == value || errno == ERANGE || !Def_AllSpace(end) || v < k.min || v > k.max) return false;
      int32_t i = int32_t(v);
      std::memcpy(rec + k.offset, &i, 4);
      return true;
    }
    case DEF_VEC3: {
      float v[3];
      const char* p = value;
      for (float& f : v)
        if (!Def_ParseFloat(p, &f, &p)) return false;
      if (!Def_AllSpace(p)) return false;
      std::memcpy(rec + k.offset, v, 12);
      return true;
    }
    case DEF_AMMO: {
      int kind = value[0] ? Def_FindAmmo(value) : 0;
      if (kind < 0) return false;
      int32_t i = kind;
      std::memcpy(rec + k.offset, &i, 4);
      return true;
    }
  }
  return false;
}

const DefKey* Def_FindKey(const DefTable& t, const char* key) {
  for (int i = 0; i < t.keyCount; i++)
    if (strcasecmp(t.keys[i].key, key) == 0) return &t.keys[i];
  return nullptr;
}

int Def_Find(const DefTable& t, const char* name) {
  if (!name || !name[0]) return -1;
  for (int i = 0; i < *t.count; i++)
    if (strcasecmp(reinterpret_cast<const char*>(Def_Record(t, i)), name) == 0) return i;
  return -1;
}

}  // namespace

void Def_ResetTable(const DefTable& t) {
  std::memset(t.records, 0, t.recordSize * size_t(t.capacity));
  for (int i = 0; i < t.capacity; i++) t.reset(Def_Record(t, i));
  *t.count = 0;
}

int Def_ParseText(const DefTable& t, const char* text, const char* fileName) {
  static char key[kParTokenSize], value[kParTokenSize];
  uint8_t* rec = nullptr;  // the entry being filled; null while keys are skipped
  char entry[kDefNameSize + 16] = "(none)";
  const char* p = text;
  while (p) {
    if (!Par_NextBracketTokenTo(p, &p, key, sizeof key)) break;
    bool hasValue = p && Par_NextBracketTokenTo(p, &p, value, sizeof value);
    if (!hasValue) {
      Log_Printf("Def_Load: %s: entry %s: key [%s] has no value\n", fileName, entry, key);
      break;
    }
    if (strcasecmp(key, t.word) == 0) {
      rec = nullptr;
      std::snprintf(entry, sizeof entry, "%d", *t.count);
      if (std::strlen(value) >= size_t(kDefNameSize) || !value[0]) {
        Log_Printf("Def_Load: %s: entry %s: a name must have 1 to %d characters; entry refused\n", fileName, entry,
                   kDefNameSize - 1);
      } else if (*t.count >= t.capacity) {
        Log_Printf("Def_Load: %s: entry %s [%s]: the table holds %d; entry refused\n", fileName, entry, value, t.capacity);
      } else {
        rec = Def_Record(t, (*t.count)++);
        std::memcpy(rec, value, std::strlen(value) + 1);
        std::snprintf(entry, sizeof entry, "%d [%.63s]", *t.count - 1, value);
      }
      continue;
    }
    if (!rec) {
      if (*t.count == 0 && std::strcmp(entry, "(none)") == 0)
        Log_Printf("Def_Load: %s: key [%s] before the first [%s]; refused\n", fileName, key, t.word);
      continue;
    }
    const DefKey* k = Def_FindKey(t, key);
    if (!k) {
      Log_Printf("Def_Load: %s: entry %s: unknown key [%s]; refused\n", fileName, entry, key);
      continue;
    }
    if (!Def_Store(*k, rec, value))
      Log_Printf("Def_Load: %s: entry %s: bad value [%s] of [%s]; refused\n", fileName, entry, value, key);
  }
  return *t.count;
}

int Def_LoadTable(const DefTable& t) {
  Def_ResetTable(t);
  const char* text = TextFile_Get(t.file);
  if (!text) {
    Log_Printf("Def_Load: %s is missing: no %s definitions\n", t.file, t.word);
    return 0;
  }
  Def_ParseText(t, text, t.file);
  Log_Printf("Def_Load: %s: %d %s definitions\n", t.file, *t.count, t.word);
  return *t.count;
}

void Def_LoadWeapons() {
  Weapon_ReleaseModels();
  Def_LoadTable(Def_Tables[0]);
}
void Def_LoadArmors() { Def_LoadTable(Def_Tables[1]); }
void Def_LoadItems() { Def_LoadTable(Def_Tables[2]); }
void Def_LoadGoods() { Def_LoadTable(Def_Tables[3]); }
void Def_LoadTatus() { Def_LoadTable(Def_Tables[4]); }
void Def_LoadTranss() { Def_LoadTable(Def_Tables[5]); }
void Def_LoadMagazines() { Def_LoadTable(Def_Tables[6]); }
void Def_LoadCars() { Def_LoadTable(Def_Tables[7]); }
void Def_LoadShops() { Def_LoadTable(Def_Tables[8]); }

int Def_FindWeaponByName(const char* name) { return Def_Find(Def_Tables[0], name); }
int Def_FindArmor(const char* name) { return Def_Find(Def_Tables[1], name); }
int Def_FindItem(const char* name) { return Def_Find(Def_Tables[2], name); }
int Def_FindGood(const char* name) { return Def_Find(Def_Tables[3], name); }
int Def_FindTatu(const char* name) { return Def_Find(Def_Tables[4], name); }
int Def_FindTrans(const char* name) { return Def_Find(Def_Tables[5], name); }
int Def_FindCar(const char* name) { return Def_Find(Def_Tables[7], name); }
int Def_FindShop(const char* name) { return Def_Find(Def_Tables[8], name); }

void Def_GetCarStart(int car, CarStart* out) {
  std::memset(out, 0, sizeof *out);
  if (car < 0 || car >= Def_CarCount) return;
  const CarDef& c = Def_Cars[car];
  std::memcpy(out->level, c.level, sizeof out->level);
  std::memcpy(out->origin, c.origin, sizeof out->origin);
  std::memcpy(out->angles, c.angles, sizeof out->angles);
  out->health = c.health;
}

void Def_DrawCar(int car, ModelDrawParams* params, ViewParams* view) {
  if (car <= 0 || car >= kCarDefs) return;
  for (const char* name : {Def_Cars[car].body, Def_Cars[car].body2})
    if (ModelObject* model = Model_Find(name)) model->Draw(model, params, view);
}

void Def_DrawCarAt(int car, const vec3& origin, float yaw, ViewParams* view) {
  static ModelDrawParams params;
  std::memset(&params, 0, sizeof params);
  params.position = origin;
  params.angles = vec3{yaw, 0, 0};
  params.scale = vec3{1, 1, 1};
  params.drawValues[0] = 1.0f;
  params.lightingMode = 1;
  Def_DrawCar(car, &params, view);
}

ModelObject* Weapon_GetModel(int weapon, int slot) {
  if (weapon < 0 || weapon >= kWeaponDefs || slot < 0 || slot > 3) return nullptr;
  WeaponDef& w = Def_Weapons[weapon];
  ModelObject** cache[4] = {&w.bulletModel, &w.bulletModel2, &w.explodModel, &w.explodModel2};
  const char* names[4] = {w.bulletModelName, w.bulletModel2Name, w.explodModelName, w.explodModel2Name};
  if (!*cache[slot] && names[slot][0]) *cache[slot] = Model_Find(names[slot]);
  return *cache[slot];
}

void Weapon_ReleaseModels() {
  for (WeaponDef& w : Def_Weapons) w.bulletModel = w.bulletModel2 = w.explodModel = w.explodModel2 = nullptr;
}
