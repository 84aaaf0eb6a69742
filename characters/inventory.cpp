#include "characters/inventory.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "characters/person.h"
#include "foundation/log.h"
#include "foundation/partoken.h"

namespace {

int Inv_KindCount(int kind) {
  switch (kind) {
    case INV_WEAPON: return Def_WeaponCount;
    case INV_ARMOR: return Def_ArmorCount;
    case INV_ITEM: return Def_ItemCount;
    case INV_TATU: return Def_TatuCount;
    case INV_TRANS: return Def_TransCount;
    case INV_GOOD: return Def_GoodCount;
    default: return 0;
  }
}

bool Inv_Valid(int kind, int index) { return index >= 0 && index < Inv_KindCount(kind); }

// A whole token as an integer amount.
bool Inv_Amount(const char* s, int32_t* out) {
  if (!s) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (end == s || errno == ERANGE || !std::isfinite(v) || v < -1e9 || v > 1e9) return false;
  *out = int32_t(v);
  return true;
}

// A total that stays within the 32-bit range: many large amounts stop at the largest value.
int32_t Inv_Total(int32_t total, int64_t amount) {
  int64_t sum = int64_t(total) + amount;
  if (sum > INT32_MAX) return INT32_MAX;
  if (sum < INT32_MIN) return INT32_MIN;
  return int32_t(sum);
}

}  // namespace

namespace {

// A pair's definition name, or (`text`) the key of its shown name; "" for an empty place.
const char* Inv_PairField(int kind, int index, bool text) {
  if (!Inv_Valid(kind, index)) return "";
  const NamedDef* def = nullptr;
  switch (kind) {
    case INV_WEAPON: return text ? Def_Weapons[index].text : Def_Weapons[index].name;
    case INV_ARMOR: def = &Def_Armors[index]; break;
    case INV_ITEM: def = &Def_Items[index]; break;
    case INV_TATU: def = &Def_Tatus[index]; break;
    case INV_TRANS: def = &Def_Transs[index]; break;
    case INV_GOOD: def = &Def_Goods[index]; break;
    default: return "";
  }
  return text ? def->text : def->name;
}

}  // namespace

const char* Inv_PairName(int kind, int index) { return Inv_PairField(kind, index, false); }

const char* Inv_PairText(int kind, int index) { return Inv_PairField(kind, index, true); }

int Inv_AddItem(PersonStats* person, int kind, int index) {
  if (!person || !Inv_Valid(kind, index)) {
    Log_Printf("Inv_AddItem: no definition %d of kind %d\n", index, kind);
    return -1;
  }
  for (int i = 0; i < kInvCarried; i++) {
    if (person->items[i].kind != INV_NONE) continue;
    person->items[i] = InvPair{kind, index};
    return i;
  }
  Log_Printf("Inv_AddItem: %s carries %d pairs; kind %d index %d not added\n", person->name, kInvCarried, kind, index);
  return -1;
}

int Inv_FindWeapon(const PersonStats* person, int weapon) {
  if (!person) return -1;
  for (int i = 0; i < kInvCarried; i++)
    if (person->items[i].kind == INV_WEAPON && person->items[i].index == weapon) return i;
  return -1;
}

int Inv_HasItem(const PersonStats* person, int kind, int index) {
  if (!person || kind == INV_NONE) return 0;
  if ((person->equippedKind == kind && person->equippedIndex == index) ||
      (person->equipped2Kind == kind && person->equipped2Index == index))
    return 1;
  for (const InvPair& p : person->items)
    if (p.kind == kind && p.index == index) return 1;
  return 0;
}

int Inv_AddToStash(PersonStats* person, int kind, int index) {
  if (!person || kind == INV_NONE) return -1;
  for (int i = 0; i < kInvStash; i++) {
    if (person->stash[i].kind != INV_NONE) continue;
    person->stash[i] = InvPair{kind, index};
    return i;
  }
  return -1;
}

int Inv_AddFromText(PersonStats* person, const char* text) {
  if (!person || !text) return 0;
  static char kind[kParTokenSize], value[kParTokenSize], amount[kParTokenSize];
  int applied = 0;
  const char* p = text;
  while (p && Par_NextBracketTokenTo(p, &p, kind, sizeof kind)) {
    if (!p || !Par_NextBracketTokenTo(p, &p, value, sizeof value)) {
      Log_Printf("Inv_AddFromText: [%s] without a value\n", kind);
      break;
    }
    struct Named {
      const char* word;
      int kind;
      int (*find)(const char*);
    };
    static const Named kNamed[] = {{"weapon", INV_WEAPON, Def_FindWeaponByName}, {"armor", INV_ARMOR, Def_FindArmor},
                                   {"item", INV_ITEM, Def_FindItem},             {"tatu", INV_TATU, Def_FindTatu},
                                   {"trans", INV_TRANS, Def_FindTrans},          {"good", INV_GOOD, Def_FindGood}};
    const Named* named = nullptr;
    for (const Named& n : kNamed)
      if (strcasecmp(kind, n.word) == 0) named = &n;
    if (named) {
      int index = named->find(value);
      if (index < 0) {
        Log_Printf("Inv_AddFromText: no %s named [%s]\n", named->word, value);
        continue;
      }
      if (named->kind == INV_WEAPON) {
        if (Inv_FindWeapon(person, index) < 0 && Inv_AddItem(person, INV_WEAPON, index) < 0) continue;
        const WeaponDef& w = Def_Weapons[index];
        if (w.ammo > 0 && w.ammo < kAmmoKinds) person->ammo[w.ammo] = Inv_Total(person->ammo[w.ammo], w.magazine);
        if (person->equippedKind == INV_NONE) {
          person->equippedKind = INV_WEAPON;
          person->equippedIndex = index;
        }
      } else if (Inv_AddItem(person, named->kind, index) < 0) {
        continue;
      }
      applied++;
    } else if (strcasecmp(kind, "money") == 0) {
      int32_t n;
      if (!Inv_Amount(value, &n)) {
        Log_Printf("Inv_AddFromText: bad amount [%s] of money\n", value);
        continue;
      }
      person->money = Inv_Total(person->money, n);
      applied++;
    } else if (strcasecmp(kind, "ammo") == 0) {
      int a = Def_FindAmmo(value);
      bool hasAmount = p && Par_NextBracketTokenTo(p, &p, amount, sizeof amount);
      int32_t n = 0;
      if (a < 0 || !hasAmount || !Inv_Amount(amount, &n) || n < 0) {
        Log_Printf("Inv_AddFromText: bad ammunition [%s] [%s]\n", value, hasAmount ? amount : "");
        continue;
      }
      person->ammo[a] = Inv_Total(person->ammo[a], n);
      applied++;
    } else if (strcasecmp(kind, "medic") == 0) {
      // A medical kit: an amount, then two words the pickup list reads past.
      for (int k = 0; k < 2 && p; k++) Par_NextBracketTokenTo(p, &p, amount, sizeof amount);
      int32_t n;
      if (!Inv_Amount(value, &n) || n < 0) {
        Log_Printf("Inv_AddFromText: bad amount [%s] of medic\n", value);
        continue;
      }
      float top = person->maxHealth > 0 ? person->maxHealth : 100.0f;
      if (person->health < top) person->health = std::fmin(top, person->health + float(n));
      applied++;
    } else if (strcasecmp(kind, "ctfflag") == 0 || strcasecmp(kind, "ctfbase") == 0) {
      // Capture-the-flag roles, read by World_SetCtfRole.
    } else {
      Log_Printf("Inv_AddFromText: unknown kind [%s]\n", kind);
    }
  }
  return applied;
}
