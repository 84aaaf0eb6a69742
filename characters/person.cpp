#include "characters/person.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "characters/inventory.h"
#include "characters/player.h"
#include "foundation/log.h"
#include "foundation/partoken.h"
#include "foundation/sound.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "physics/physics.h"
#include "world/game.h"
#include "world/object.h"

int32_t Game_NetGameType;

void Person_ApplyPickup(GameObject* pickup, GameObject* user) {
  if (!pickup || !user || !(pickup->flags & OBJ_ACTIVE)) return;
  std::memcpy(user->person.itemText, pickup->person.itemText, sizeof user->person.itemText);
  user->person.itemText[kPersonTextSize - 1] = 0;
  Person_CollectPickup(user);
  if (user == Obj_Player) Sound_Play("sound\\pickup", 1.0f, 100.0f, &user->origin.x, 0, SOUND_CAT_EFFECTS);
  if (pickup->person.respawnTime > 0) {
    pickup->flags &= ~OBJ_ACTIVE;
    pickup->person.hiddenUntil = float(Game_Time) + pickup->person.respawnTime;
  } else {
    Obj_RequestDelete(pickup);
  }
}

void Person_RespawnPickups() {
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);
  for (int i = 0; i < count; i++) {
    GameObject* o = all[i];
    if (o->classNum != WORLD || (o->flags & OBJ_ACTIVE) || o->deleteQueued || o->person.hiddenUntil <= 0) continue;
    if (float(Game_Time) < o->person.hiddenUntil) continue;
    o->person.hiddenUntil = 0;
    o->flags |= OBJ_ACTIVE;
  }
}

namespace {

void Person_AppendAscii(std::u16string* line, const char* text) {
  for (const char* c = text; *c; c++) *line += char16_t(uint8_t(*c));
}

// The text of the key when the game has it, else the fallback as it stands.
void Person_AppendText(std::u16string* line, const char* key, const char* fallback) {
  const char16_t* t = key && key[0] ? Text_Get("data\\text\\", key) : nullptr;
  if (t && *t == kTextMark) t++;
  if (t && *t) *line += t;
  else Person_AppendAscii(line, fallback);
}

// A whole amount of the text: at most a billion either way (0 for no number).
int Person_Amount(const char* text) {
  long n = std::strtol(text, nullptr, 10);
  return n > 1000000000L ? 1000000000 : n < -1000000000L ? -1000000000 : int(n);
}

}  // namespace

std::u16string Person_PickupLine(const char* text) {
  static char kind[kParTokenSize], value[kParTokenSize], amount[kParTokenSize];
  // The things in the order the text names them; the rounds of one ammunition kind, those a
  // weapon brings in its magazine and those given loose, are one thing, told where first named.
  struct Thing {
    std::u16string name;
    int ammo;       // an ammunition kind, or -1 for a named thing
    int64_t count;  // its rounds
  };
  std::vector<Thing> things;
  if (!text) return std::u16string();
  auto rounds = [&things](int a, int64_t n) {
    if (n <= 0) return;
    for (Thing& t : things)
      if (t.ammo == a) {
        t.count += n;
        return;
      }
    things.push_back(Thing{std::u16string(), a, n});
  };
  auto named = [&things](const char* key, const char* fallback) {
    things.push_back(Thing{std::u16string(), -1, 0});
    Person_AppendText(&things.back().name, key, fallback);
  };
  const char* p = text;
  while (p && Par_NextBracketTokenTo(p, &p, kind, sizeof kind)) {
    if (!p || !Par_NextBracketTokenTo(p, &p, value, sizeof value)) break;
    const NamedDef* def = nullptr;
    char key[kDefNameSize + 8];
    if (strcasecmp(kind, "weapon") == 0) {
      int w = Def_FindWeaponByName(value);
      if (w < 0) continue;
      std::snprintf(key, sizeof key, "items\\%s", Def_Weapons[w].text);
      named(Def_Weapons[w].text[0] ? key : nullptr, Def_Weapons[w].name);
      // A weapon comes with a magazine of its rounds (Inv_AddFromText).
      const WeaponDef& wd = Def_Weapons[w];
      if (wd.ammo > 0 && wd.ammo < kAmmoKinds) rounds(wd.ammo, wd.magazine);
      continue;
    }
    if (strcasecmp(kind, "armor") == 0) {
      int i = Def_FindArmor(value);
      def = i >= 0 ? &Def_Armors[i] : nullptr;
    } else if (strcasecmp(kind, "item") == 0) {
      int i = Def_FindItem(value);
      def = i >= 0 ? &Def_Items[i] : nullptr;
    } else if (strcasecmp(kind, "tatu") == 0) {
      int i = Def_FindTatu(value);
      def = i >= 0 ? &Def_Tatus[i] : nullptr;
    } else if (strcasecmp(kind, "trans") == 0) {
      int i = Def_FindTrans(value);
      def = i >= 0 ? &Def_Transs[i] : nullptr;
    } else if (strcasecmp(kind, "good") == 0) {
      int i = Def_FindGood(value);
      def = i >= 0 ? &Def_Goods[i] : nullptr;
    } else if (strcasecmp(kind, "money") == 0 || strcasecmp(kind, "medic") == 0) {
      const bool money = kind[0] == 'm' && kind[1] == 'o';
      if (!money)
        for (int k = 0; k < 2 && p; k++) Par_NextBracketTokenTo(p, &p, amount, sizeof amount);
      int n = Person_Amount(value);
      if (n <= 0) continue;
      things.push_back(Thing{std::u16string(), -1, 0});
      std::snprintf(amount, sizeof amount, "%d ", n);
      Person_AppendAscii(&things.back().name, amount);
      Person_AppendText(&things.back().name, money ? "consol\\money" : "consol\\health", money ? "money" : "health");
      continue;
    } else if (strcasecmp(kind, "ammo") == 0) {
      int a = Def_FindAmmo(value);
      if (!p || !Par_NextBracketTokenTo(p, &p, amount, sizeof amount) || a < 0) continue;
      rounds(a, Person_Amount(amount));
      continue;
    } else {
      continue;
    }
    if (!def) continue;
    std::snprintf(key, sizeof key, "items\\%s", def->text);
    named(def->text[0] ? key : nullptr, def->name);
  }
  if (things.empty()) return std::u16string();
  std::u16string line;
  Person_AppendText(&line, "consol\\You got", "You got");
  line += u' ';
  for (size_t i = 0; i < things.size(); i++) {
    if (i > 0) line += u", ";
    const Thing& t = things[i];
    if (t.ammo < 0) {
      line += t.name;
      continue;
    }
    // "<n> <kind>": the kind's text "items\ammo_<kind in lower case>", else its name as it stands.
    char key[kDefNameSize + 16];
    std::snprintf(amount, sizeof amount, "%lld ", static_cast<long long>(std::min<int64_t>(t.count, 1000000000)));
    Person_AppendAscii(&line, amount);
    std::snprintf(key, sizeof key, "items\\ammo_%s", Def_AmmoNames[t.ammo]);
    for (char* c = key; *c; c++) *c = char(std::tolower(uint8_t(*c)));
    Person_AppendText(&line, key, Def_AmmoNames[t.ammo]);
  }
  return line;
}

void Person_CollectPickup(GameObject* person) {
  if (!person) return;
  // The player hears what it took as a message line.
  if (person == Obj_Player) {
    std::u16string line = Person_PickupLine(person->person.itemText);
    if (!line.empty()) Console_AddMessage(line.c_str(), Timer_FrameTime + kConsoleMessageSeconds);
  }
  Inv_AddFromText(&person->person, person->person.itemText);
  person->person.itemText[0] = 0;
}

GameObject* Person_FindByName(const char* name) {
  if (!name || !name[0]) return nullptr;
  if (strcasecmp(name, "player") == 0) return Obj_Player;
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if ((o->flags & OBJ_ACTIVE) && strcasecmp(o->person.name, name) == 0) return o;
  return nullptr;
}

GameObject* Obj_FindActiveById(uint32_t id) {
  for (GameObject* o = Obj_ListHead; o; o = o->next)
    if (o->id == id && (o->flags & OBJ_ACTIVE)) return o;
  return nullptr;
}

static vec3 Person_Centre(const GameObject* o) {
  return vec3{o->origin.x + (o->mins.x + o->maxs.x) * 0.5f, o->origin.y + (o->mins.y + o->maxs.y) * 0.5f,
              o->origin.z + (o->mins.z + o->maxs.z) * 0.5f};
}

// Where a blast's lines of sight start: a little above the spot, up to what is over it. A shot
// lying on the ground would otherwise hide from everyone behind the least kerb.
constexpr float kSplashLift = 16.0f;

static vec3 Splash_Centre(GameObject* source) {
  const vec3 at = source->origin, zero{0, 0, 0};
  vec3 up{at.x, at.y, at.z + kSplashLift};
  TraceResult r;
  Player_TraceMove(&at, &up, &zero, &zero, source, &r);
  up.z = at.z + std::fmax(0.0f, kSplashLift * r.fraction - (r.fraction < 1.0f ? 1.0f : 0.0f));
  return up;
}

void Person_PushBodyHigh(GameObject* o, const vec3& impulse, vec3 at) {
  const int body = Physics_ObjectBody(o);
  float box[6];
  if (body < 0 || !Physics_ObjectBounds(o, box)) return;
  at.z = std::fmax(at.z, o->origin.z + box[2] + (box[5] - box[2]) * 0.875f);
  Physics_PushObjectBody(body, &impulse.x, &at.x, 0);
}

// A blast's push on an object's body: the impulse away from the blast's centre, in high on the
// body. Nothing for an object without a body.
static void Splash_PushBody(GameObject* o, const vec3& centre, float impulse) {
  const int body = Physics_ObjectBody(o);
  if (body < 0 || !(impulse > 0)) return;
  const vec3 mid = Physics_Bodies[body].position;
  vec3 dir;
  Vec_Subtract(&mid, &centre, &dir);
  if (!(Vec_Normalize(&dir) > 0)) dir = vec3{0, 0, 1};
  Person_PushBodyHigh(o, vec3{dir.x * impulse, dir.y * impulse, dir.z * impulse}, mid);
}

void Person_SplashDamage(GameObject* source, float damage, float radius, int weapon) {
  if (!source || !(radius > 0) || !(damage > 0)) return;
  const vec3 centre = Splash_Centre(source);
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);
  // Damage operations may make objects: walk a copy of the targets taken first, however many.
  struct Hit {
    GameObject* target;
    float amount;
  };
  std::vector<Hit> hits;
  for (int i = 0; i < count; i++) {
    GameObject* o = all[i];
    if (o == source || !(o->flags & OBJ_ACTIVE) || o->notTraceable) continue;
    vec3 c = Person_Centre(o), d;
    Vec_Subtract(&c, &source->origin, &d);
    float dist = float(Vec_Length(&d));
    if (!(dist < radius)) continue;
    if (!Person_ClearLine(&centre, &c, o)) continue;
    hits.push_back(Hit{o, (1.0f - dist / radius) * damage});
  }
  const float push = weapon >= 0 && weapon < kWeaponDefs ? Def_Weapons[weapon].physics : 0.0f;
  for (const Hit& h : hits) {
    if (!(h.target->flags & OBJ_ACTIVE)) continue;
    h.target->slots.Damage(h.target, source, h.amount, 1.0f, &source->origin, weapon, 0);
    // The body of what the blast hurt, one the hurt just made too, is thrown away from the blast.
    Splash_PushBody(h.target, centre, push * h.amount / damage);
  }
}

void Person_StopSounds(GameObject* person) {
  if (!person) return;
  for (uint32_t& v : person->person.voices) {
    if (v) Sound_Stop(v);
    v = 0;
  }
}

void Person_UpdateBBox(GameObject* obj) {
  if (!obj) return;
  Vec_Set(&obj->mins, -16, -16, 0);
  Vec_Set(&obj->maxs, 16, 16, obj->person.crouched ? 40.0f : 64.0f);
}

void Player_PlaceOutsideCar(GameObject* player, const vec3* place) {
  if (!player || !place) return;
  Person_UpdateBBox(player);
  const float yaw = player->angles.x;
  const float s = std::sin(yaw), c = std::cos(yaw);
  // Right, left, behind, in front of the car, 100 units out, a little above the ground.
  const float offsets[4][2] = {{100, 0}, {-100, 0}, {0, -140}, {0, 140}};
  vec3 start{place->x, place->y, place->z + 2};
  for (const auto& off : offsets) {
    vec3 spot{start.x + off[0] * c + off[1] * s, start.y - off[0] * s + off[1] * c, start.z};
    TraceResult r;
    if (!Player_TraceMove(&start, &spot, &player->mins, &player->maxs, player, &r) || r.fraction < 1.0f) continue;
    player->origin = spot;
    player->prevOrigin = spot;
    return;
  }
  player->origin = vec3{place->x, place->y, place->z + 80};
  player->prevOrigin = player->origin;
}

void World_SetCtfRole(GameObject* obj) {
  if (!obj || Game_NetMode == 0 || Game_NetGameType != 2) return;
  static char word[kParTokenSize], team[kParTokenSize];
  const char* p = obj->person.itemText;
  while (p && Par_NextBracketTokenTo(p, &p, word, sizeof word)) {
    int role = strcasecmp(word, "ctfflag") == 0 ? CTF_FLAG : strcasecmp(word, "ctfbase") == 0 ? CTF_BASE : 0;
    if (!role) continue;
    if (!p || !Par_NextBracketTokenTo(p, &p, team, sizeof team)) break;
    // The players' team numbers, which are also the rows of the team flag table: 0 red, 1 blue.
    int t = strcasecmp(team, "red") == 0 ? 0 : strcasecmp(team, "blue") == 0 ? 1 : -1;
    if (t < 0) {
      Log_Printf("World_SetCtfRole: unknown team [%s]\n", team);
      return;
    }
    obj->person.ctfRole = role;
    obj->person.team = t;
    return;
  }
}

bool Person_ClearLine(const vec3* from, const vec3* to, const GameObject* ignore) {
  vec3 zero{0, 0, 0};
  TraceResult r;
  Player_TraceMove(from, to, &zero, &zero, ignore, &r);
  return r.fraction >= 1.0f;
}
