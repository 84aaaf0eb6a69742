#include "world/save.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "ai/bot.h"
#include "characters/defs.h"
#include "characters/npc.h"
#include "characters/player.h"
#include "foundation/bytereader.h"
#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/random.h"
#include "foundation/sound.h"
#include "foundation/timer.h"
#include "foundation/zip.h"
#include "physics/physics.h"
#include "quests/state.h"
#include "ui/ui.h"
#include "world/demo.h"
#include "world/entity.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/image.h"
#include "world/level.h"
#include "world/net.h"
#include "world/object.h"
#include "world/personage.h"
#include "world/props.h"
#include "world/start.h"
#include "world/tick.h"

MusicChannel Game_MusicChannels[kMusicChannels];

namespace {

// The header's scalar fields.
struct SaveHead {
  uint32_t id, version;
  uint16_t date[8];
  char level[256];
  float gameTime;
  int32_t mode, god;
  uint32_t randIndex, nextId, objectCount, playerId, personageCount, emitterCount;
  int32_t hero;
};

// The level-wide tables of the header besides the quest state.
struct SaveTables {
  char (*sky)[kLevelSkyNameSize];
  PlaceRecord* places;
  CarPosRecord* cars;
};

// Header bytes out: each field in turn, texts cut to their slot less one with zeros behind.
struct HeaderOut {
  ByteWriter w;
  void U32(const uint32_t& v) { w.U32(v); }
  void I32(const int32_t& v) { w.I32(v); }
  void F32(const float& f) { w.F32(f); }
  void U16(const uint16_t& v) {
    const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    w.Put(b, 2);
  }
  void Text(const char* s, size_t n) {
    w.Text(s, n - 1);
    w.Zeros(1);
  }
  void Bytes(const uint8_t* b, size_t n) { w.Put(b, n); }
};

// Header bytes in: the first unterminated text is remembered as the fault.
struct HeaderIn {
  ByteReader r;
  const char* badText = nullptr;
  void U32(uint32_t& v) { v = r.U32(); }
  void I32(int32_t& v) { v = r.I32(); }
  void F32(float& f) { f = r.F32(); }
  void U16(uint16_t& v) {
    uint8_t b[2];
    r.Take(b, 2);
    v = uint16_t(b[0] | b[1] << 8);
  }
  void Text(char* s, size_t n) {
    r.Take(s, n);
    if (!std::memchr(s, 0, n) && !badText) badText = "a text of the header";
    s[n - 1] = 0;
    size_t len = strnlen(s, n);
    std::memset(s + len, 0, n - len);
  }
  void Bytes(uint8_t* b, size_t n) { r.Take(b, n); }
};

template <class IO, size_t N>
void Ints(IO& io, int32_t (&a)[N]) {
  for (int32_t& v : a) io.I32(v);
}

// Every field of the header in its order: writing and reading share the one list.
template <class IO>
void Header_Visit(IO& io, SaveHead& h, QuestState& q, SaveTables t) {
  io.U32(h.id);
  io.U32(h.version);
  for (uint16_t& w : h.date) io.U16(w);
  io.Text(h.level, sizeof h.level);
  io.F32(h.gameTime);
  io.I32(h.mode);
  io.I32(h.god);
  io.U32(h.randIndex);
  io.U32(h.nextId);
  io.U32(h.objectCount);
  io.U32(h.playerId);
  io.U32(h.personageCount);
  io.Text(q.mission.name, kQuestNameSize);
  io.I32(q.mission.state);
  io.I32(q.mission.value);
  for (MissionRow& row : q.mission.rows) {
    io.Text(row.name, kQuestNameSize);
    io.I32(row.state);
    io.I32(row.value);
  }
  for (auto& c : q.objectives.conditions) io.Text(c, kQuestNameSize);
  for (auto& s : q.objectives.scripts) io.Text(s, kQuestNameSize);
  for (float& f : q.objectives.times) io.F32(f);
  for (uint32_t& d : q.districts) io.U32(d);
  io.Text(t.sky[0], kLevelSkyNameSize);
  io.Text(t.sky[1], kLevelSkyNameSize);
  Ints(io, q.stash.words);
  for (auto& pair : q.stash.pairs) Ints(io, pair);
  Ints(io, q.stash.ammo);
  Ints(io, q.stash.magazines);
  io.I32(q.stash.full);
  for (int i = 0; i < kPlaces; i++) {
    PlaceRecord& p = t.places[i];
    io.Text(p.name, sizeof p.name);
    io.I32(p.police);
    io.I32(p.flag);
    io.I32(p.lock);
  }
  for (QuestTimer& x : q.timers) {
    io.Text(x.name, sizeof x.name);
    io.Text(x.script, sizeof x.script);
    io.F32(x.left);
    io.Bytes(x.reserved, sizeof x.reserved);
  }
  for (QuestFlag& x : q.flags) io.Text(x.name, sizeof x.name);
  for (SpiedNpc& x : q.spied) {
    io.Text(x.name, sizeof x.name);
    io.Bytes(x.reserved, sizeof x.reserved);
  }
  for (TrackedName& x : q.tracked) io.Text(x.name, sizeof x.name);
  for (TrackedLocation& x : q.locations) {
    io.Text(x.name, sizeof x.name);
    io.Text(x.level, sizeof x.level);
    for (float& f : x.origin) io.F32(f);
    io.Bytes(x.reserved, sizeof x.reserved);
  }
  for (NpcPlacement& x : q.placements) {
    io.Text(x.name, sizeof x.name);
    io.Bytes(x.reserved, sizeof x.reserved);
  }
  for (int i = 0; i < kCarPositions; i++) {
    CarPosRecord& c = t.cars[i];
    io.Text(c.level, sizeof c.level);
    for (float* v : {&c.origin.x, &c.origin.y, &c.origin.z, &c.angles.x, &c.angles.y, &c.angles.z}) io.F32(*v);
    io.I32(c.health);
  }
  for (LockedExit& x : q.lockedExits) io.Text(x.name, sizeof x.name);
  for (LevelStartRecord& x : q.levelStarts) {
    io.Text(x.level, sizeof x.level);
    io.Text(x.redirect, sizeof x.redirect);
    for (float& f : x.origin) io.F32(f);
    for (float& f : x.angles) io.F32(f);
  }
  io.U32(h.emitterCount);
  io.I32(h.hero);
  io.I32(q.questMode);
  Ints(io, q.showFlags);
  for (KillCount& x : q.killCounts) {
    io.Text(x.name, sizeof x.name);
    io.Text(x.name2, sizeof x.name2);
    io.I32(x.count);
    io.I32(x.killed);
    io.Bytes(x.reserved, sizeof x.reserved);
  }
}

void LocalDate(uint16_t out[8]) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm t{};
  localtime_r(&now.tv_sec, &t);
  const int words[8] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_wday, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                        int(now.tv_nsec / 1000000)};
  for (int i = 0; i < 8; i++) out[i] = uint16_t(words[i]);
}

// A parsed, checked snapshot: the header's tables and where each part of the body lies.
struct Snapshot {
  SaveHead h{};
  std::unique_ptr<QuestState> quest = std::make_unique<QuestState>();
  char sky[2][kLevelSkyNameSize]{};
  PlaceRecord places[kPlaces]{};
  CarPosRecord cars[kCarPositions]{};
  const uint8_t* emitters = nullptr;
  const uint8_t* personages = nullptr;
  const uint8_t* objects = nullptr;
  const uint8_t* ai = nullptr;
  size_t aiSize = 0;
  size_t length = 0;  // of the whole snapshot
};

uint32_t Get32(const uint8_t* p) { return ByteReader(p, 4).U32(); }
float GetF32(const uint8_t* p) { return ByteReader(p, 4).F32(); }

// Positions and velocities beyond this (world units, per second) are no game's: the arithmetic
// of the world overflows long before.
constexpr float kSaveCoordLimit = 1.0e8f;
// The end of a saved game (not of a demo): a mark and the CRC-32 of every byte before the CRC.
// A save without it (written before it existed) loads as before.
constexpr uint32_t kSaveSealMark = 0x4B435754;  // "TWCK"
constexpr size_t kSaveSealSize = 8;

// A game clock beyond this (about 30 years of play) is no game's; above it an f32 clock stops.
constexpr float kSaveTimeLimit = 1.0e9f;
// Ids and the id counter stay below this: a game that made 2^31 objects would have run for weeks.
constexpr uint32_t kSaveIdLimit = 0x80000000u;

bool FiniteWithin(float v, float limit) { return std::isfinite(v) && std::fabs(v) <= limit; }

const ImageField* ImageFieldNamed(const char* name) {
  for (int i = 0; i < ObjImage_FieldCount; i++)
    if (std::strcmp(ObjImage_Fields[i].name, name) == 0) return &ObjImage_Fields[i];
  return nullptr;
}

// An inventory pair of a kind's definition table (kind 0 is an empty place).
bool PairInTable(int32_t kind, int32_t index) {
  static const int kRows[] = {0, kWeaponDefs, kArmorDefs, kItemDefs, kTatuDefs, kTransDefs, kGoodDefs};
  if (kind == INV_NONE) return true;
  return kind > 0 && kind < int32_t(std::size(kRows)) && index >= 0 && index < kRows[kind];
}

// The words that hold a state, a mode, a flag or an index: the values the game gives them.
struct IntDomain {
  const char* field;
  int32_t low, high;
};
constexpr IntDomain kIntDomains[] = {
    {"person.state", 0, 2},
    {"person.actionState", 0, 2},
    {"person.carReentry", 0, 1},
    {"person.parked", 0, 1},
    {"person.moveMode", 0, 1},
    {"person.vehicleState", 0, 1},
    {"person.onGround", 0, 1},
    {"person.crouched", 0, 1},
    {"person.jumpHeld", 0, 1},
    {"person.anim", 0, kPersonAnims - 1},
    {"person.aiState", 0, kNpcStartStates - 1},
    {"person.ctfRole", 0, CTF_BASE},
    {"person.team", 0, 2},
    {"person.noBlood", 0, 1},
    {"drawZone", 0, 1},
    {"camera.mode", 0, 2},
    {"camera.zoomLevel", 0, 2},
    {"useGroup2Index", 0, kObjGroups - 1},
    {"useGroupIndex", 0, kObjGroups - 1},
    {"bot.engaged", BOT_ENGAGE_NONE, BOT_ENGAGE_FLEE},
    {"prop.action", 0, 7},
    {"prop.weapon", 0, kWeaponDefs - 1},
    {"prop.fireWeapon", 0, kWeaponDefs - 1},
    {"prop.backwards", 0, 1},
    {"bodyReleased", 0, 1},
    {"gender", 0, 1},
    {"voiceSet", 0, kVoiceSets - 1},
};

// A door's point: one of table A (0..7) or of table B (100..107).
bool DoorPointValid(int32_t n) {
  return (n >= 0 && n < kPropDoorPoints) || (n >= kDoorOpen && n < kDoorOpen + kPropDoorPoints);
}

// The first fault of an image's fields inside the image span [from, to) (the span's bytes start at
// `image` + from - shift): an unterminated text, a number that is not finite, a position, velocity
// or box beyond the world, an inventory pair or car outside its table, a state, mode, flag, index
// or door point outside its values. Names the field in
// *field; null when the span is sound.
const char* Image_Fault(const uint8_t* image, uint32_t from, uint32_t to, uint32_t shift, const char** field) {
  // The fields the checks name, looked up once.
  static const std::vector<bool> bounded = [] {
    static const char* const kNames[] = {"origin", "prevOrigin", "camera.origin", "camera.prevOrigin", "person.eye",
                                         "person.velocity", "mins", "maxs"};
    std::vector<bool> out(static_cast<size_t>(ObjImage_FieldCount));
    for (int i = 0; i < ObjImage_FieldCount; i++)
      out[size_t(i)] = std::any_of(std::begin(kNames), std::end(kNames),
                                   [i](const char* n) { return std::strcmp(n, ObjImage_Fields[i].name) == 0; });
    return out;
  }();
  static const ImageField* const kPairLists[] = {ImageFieldNamed("person.items"), ImageFieldNamed("person.stash")};
  static const ImageField* const kPairs[][2] = {
      {ImageFieldNamed("person.equippedKind"), ImageFieldNamed("person.equippedIndex")},
      {ImageFieldNamed("person.equipped2Kind"), ImageFieldNamed("person.equipped2Index")}};
  static const ImageField* const kCar = ImageFieldNamed("person.carIndex");
  static const ImageField* const kDoorPoints[] = {ImageFieldNamed("prop.point"), ImageFieldNamed("prop.nextPoint"),
                                                  ImageFieldNamed("prop.targetPoint")};
  static const ImageField* const kControl = ImageFieldNamed("npcControl");
  static const std::vector<const ImageField*> domainFields = [] {
    std::vector<const ImageField*> out;
    for (const IntDomain& d : kIntDomains) out.push_back(ImageFieldNamed(d.field));
    return out;
  }();
  auto inSpan = [&](const ImageField* f) { return f && f->offset >= from && f->offset < to; };
  auto at = [&](const ImageField& f) { return image + f.offset - shift; };
  for (int i = 0; i < ObjImage_FieldCount; i++) {
    const ImageField& f = ObjImage_Fields[i];
    if (!inSpan(&f)) continue;
    *field = f.name;
    const uint8_t* p = at(f);
    if (f.kind == IMG_TEXT && !std::memchr(p, 0, f.size)) return "an unterminated text";
    if (f.kind == IMG_F64) {
      ByteReader r(p, 8);
      uint64_t bits = uint64_t(r.U32());
      bits |= uint64_t(r.U32()) << 32;
      double v;
      std::memcpy(&v, &bits, 8);
      if (!std::isfinite(v)) return "a number that is not finite";
    }
    if (f.kind == IMG_F32)
      for (uint32_t k = 0; k < f.size; k += 4) {
        float v = GetF32(p + k);
        if (!std::isfinite(v)) return "a number that is not finite";
        if (bounded[size_t(i)] && std::fabs(v) > kSaveCoordLimit) return "a place or speed beyond the world";
      }
  }
  for (const ImageField* f : kPairLists) {
    if (!inSpan(f)) continue;
    *field = f->name;
    for (uint32_t k = 0; k + 8 <= f->size; k += 8)
      if (!PairInTable(int32_t(Get32(at(*f) + k)), int32_t(Get32(at(*f) + k + 4))))
        return "an item outside its table";
  }
  for (const auto& pair : kPairs) {
    if (!inSpan(pair[0]) || !pair[1]) continue;
    *field = pair[0]->name;
    if (!PairInTable(int32_t(Get32(at(*pair[0]))), int32_t(Get32(at(*pair[1]))))) return "an item outside its table";
  }
  if (inSpan(kCar) && Get32(at(*kCar)) >= uint32_t(kCarDefs)) {
    *field = kCar->name;
    return "a car outside its table";
  }
  for (size_t n = 0; n < std::size(kIntDomains); n++) {
    const IntDomain& d = kIntDomains[n];
    const ImageField* f = domainFields[n];
    if (!inSpan(f)) continue;
    *field = f->name;
    for (uint32_t k = 0; k + 4 <= f->size; k += 4) {
      int32_t v = int32_t(Get32(at(*f) + k));
      if (v < d.low || v > d.high) return "a word outside its values";
    }
  }
  for (const ImageField* f : kDoorPoints) {
    if (!inSpan(f)) continue;
    *field = f->name;
    if (!DoorPointValid(int32_t(Get32(at(*f))))) return "a door point that is none";
  }
  if (inSpan(kControl)) {
    int32_t v = int32_t(Get32(at(*kControl)));
    *field = kControl->name;
    if (v != 0 && v != NPC_CAR && v != NPC_BOT) return "a word outside its values";
  }
  return nullptr;
}

bool LevelNameAllowed(const char* name) {
  return !std::strpbrk(name, "\\/:") && !std::strstr(name, "..");
}

// A row of places and angles the game may send the hero or a character to: finite, inside the world.
template <size_t N>
bool PlaceWithin(const float (&v)[N]) {
  return std::all_of(std::begin(v), std::end(v), [](float f) { return FiniteWithin(f, kSaveCoordLimit); });
}

// The header's numbers that a game never holds: a game time, objective or timer time that is not a
// time, a car position, level start, tracked location or placement beyond the world, a stash pair
// outside its table, a random index or quest mode outside its table, god mode, the stash word or a
// show flag other than 0 or 1, an id counter that leaves no ids.
int Header_Check(const Snapshot& s, const char* caller) {
  if (!std::isfinite(s.h.gameTime) || s.h.gameTime < 0 || s.h.gameTime >= kSaveTimeLimit) {
    Log_Printf("%s:the game time %g is not a time.\n", caller, double(s.h.gameTime));
    return 0;
  }
  for (float t : s.quest->objectives.times)
    if (!std::isfinite(t)) {
      Log_Printf("%s:an objective time is not a number.\n", caller);
      return 0;
    }
  const QuestState& q = *s.quest;
  for (int i = 0; i < int(std::size(q.timers)); i++)
    if (!FiniteWithin(q.timers[i].left, kSaveTimeLimit)) {
      Log_Printf("%s:timer %i has a time that is not a time.\n", caller, i);
      return 0;
    }
  for (int i = 0; i < int(std::size(q.stash.pairs)); i++)
    if (!PairInTable(q.stash.pairs[i][0], q.stash.pairs[i][1])) {
      Log_Printf("%s:inventory stash pair %i holds an item outside its table.\n", caller, i);
      return 0;
    }
  for (int i = 0; i < int(std::size(q.levelStarts)); i++)
    if (!PlaceWithin(q.levelStarts[i].origin) || !PlaceWithin(q.levelStarts[i].angles)) {
      Log_Printf("%s:level start %i lies beyond the world.\n", caller, i);
      return 0;
    }
  for (int i = 0; i < int(std::size(q.locations)); i++)
    if (!PlaceWithin(q.locations[i].origin)) {
      Log_Printf("%s:tracked location %i lies beyond the world.\n", caller, i);
      return 0;
    }
  for (int i = 0; i < int(std::size(q.placements)); i++) {
    float place[6];  // origin and angles behind the level and template names
    for (int k = 0; k < 6; k++) place[k] = GetF32(q.placements[i].reserved + 256 + 4 * k);
    if (!PlaceWithin(place)) {
      Log_Printf("%s:placement %i lies beyond the world.\n", caller, i);
      return 0;
    }
  }
  for (int i = 0; i < kCarPositions; i++) {
    const CarPosRecord& c = s.cars[i];
    for (float v : {c.origin.x, c.origin.y, c.origin.z, c.angles.x, c.angles.y, c.angles.z})
      if (!FiniteWithin(v, kSaveCoordLimit)) {
        Log_Printf("%s:car position %i lies beyond the world.\n", caller, i);
        return 0;
      }
  }
  if (s.h.randIndex >= uint32_t(kRandTableSize)) {
    Log_Printf("%s:random index %u outside its table of %i.\n", caller, s.h.randIndex, kRandTableSize);
    return 0;
  }
  if (s.quest->questMode < 0 || s.quest->questMode > 2) {
    Log_Printf("%s:quest mode %i.\n", caller, s.quest->questMode);
    return 0;
  }
  if (s.h.god != 0 && s.h.god != 1) {
    Log_Printf("%s:god mode %i is neither on nor off.\n", caller, s.h.god);
    return 0;
  }
  if (s.quest->stash.full != 0 && s.quest->stash.full != 1) {
    Log_Printf("%s:inventory stash word %i is neither full nor empty.\n", caller, s.quest->stash.full);
    return 0;
  }
  for (int32_t v : s.quest->showFlags)
    if (v != 0 && v != 1) {
      Log_Printf("%s:a show flag is %i.\n", caller, v);
      return 0;
    }
  if (s.h.nextId >= kSaveIdLimit) {
    Log_Printf("%s:id counter %u leaves no ids.\n", caller, s.h.nextId);
    return 0;
  }
  return 1;
}

// One world prop the level's entity text makes whatever happens in play: its name and clip model.
struct LevelGround {
  std::string name, solid;
};

// The level's own ground in its entity text: every "world" block that names a clip model
// ("solid"), has a name and carries no use command (pickups, parked cars and such may be gone in
// play). Blocks whose values may come from elsewhere ("call", "spawnflags") are left out; the
// scan reads the text as the entity reader does, without its includes.
std::vector<LevelGround> Level_Ground(const char* text, uint32_t length) {
  std::vector<LevelGround> out;
  bool inBlock = false;
  int counter = 0;
  std::string key, value, classname, id, solid;
  bool command = false, unsure = false;
  for (uint32_t i = 0; i < length; i++) {
    char c = text[i];
    if (c == '{' && !inBlock) {
      inBlock = true;
      counter = 0;
      classname.clear();
      id.clear();
      solid.clear();
      command = unsure = false;
    } else if (c == '}' && inBlock) {
      inBlock = false;
      if (strcasecmp(classname.c_str(), "world") == 0 && !id.empty() && !solid.empty() && !command && !unsure)
        out.push_back(LevelGround{id, solid});
    } else if (c == '"' && inBlock) {
      uint32_t end = i + 1;
      while (end < length && text[end] != '"') end++;
      if (end >= length) break;
      std::string token(text + i + 1, std::min<uint32_t>(end - i - 1, kEntTokenSize - 1));
      i = end;
      if (counter++ == 0) {
        key = token;
        continue;
      }
      counter = 0;
      value = token;
      const char* k = key.c_str();
      if (strcasecmp(k, "classname") == 0) classname = value;
      else if (strcasecmp(k, "id") == 0) id = value.substr(0, kPersonNameSize - 1);
      else if (strcasecmp(k, "solid") == 0) solid = value.substr(0, sizeof(PropState{}.clipName) - 1);
      else if (strcasecmp(k, "command") == 0) command = !value.empty();
      else if (strcasecmp(k, "call") == 0 || strcasecmp(k, "spawnflags") == 0) unsure = true;
    }
  }
  return out;
}

// The snapshot holds the ground of the level it names (a save of one level under another's name
// would put its objects over a level without its solid world).
int Level_GroundCheck(const Snapshot& s, const std::string& path, const char* caller) {
  uint32_t size = 0;
  auto* text = static_cast<char*>(File_LoadWhole((path + ".scn").c_str(), &size, "LOADSCN"));
  if (!text) return 1;  // no entity text: nothing the level itself makes
  std::vector<LevelGround> ground = Level_Ground(text, size);
  Global_Free(text);
  static const ImageField* const kName = ImageFieldNamed("person.name");
  static const ImageField* const kClip = ImageFieldNamed("prop.clipName");
  static const ImageField* const kClass = ImageFieldNamed("classNum");
  static const ImageField* const kFlags = ImageFieldNamed("flags");
  for (const LevelGround& g : ground) {
    bool found = false, active = false;
    for (uint32_t i = 0; i < s.h.objectCount && !active; i++) {
      const uint8_t* o = s.objects + size_t(i) * kObjectImageSize;
      const char* name = reinterpret_cast<const char*>(o + kName->offset);
      const char* clip = reinterpret_cast<const char*>(o + kClip->offset);
      bool match = int32_t(Get32(o + kClass->offset)) == WORLD && strnlen(name, kName->size) == g.name.size() &&
                   std::memcmp(name, g.name.data(), g.name.size()) == 0 &&
                   strnlen(clip, kClip->size) == g.solid.size() && std::memcmp(clip, g.solid.data(), g.solid.size()) == 0;
      found |= match;
      active = match && (Get32(o + kFlags->offset) & OBJ_ACTIVE);
    }
    if (!found) {
      Log_Printf("%s:no \"%s\" of level \"%s\" among the objects; the save is of another level.\n", caller,
                 g.name.c_str(), s.h.level);
      return 0;
    }
    if (!active) {  // the ground would be neither drawn nor solid
      Log_Printf("%s:\"%s\" of level \"%s\" is not active.\n", caller, g.name.c_str(), s.h.level);
      return 0;
    }
  }
  return 1;
}

// The level the snapshot brings: a name that may be loaded, files that are there, and the area
// counts of its ".nav" in `counts` (a level already loaded that a playback keeps gives its own).
int Level_Check(const Snapshot& s, bool keepLevel, const char* caller, int32_t counts[kNavSets]) {
  if (keepLevel) {
    for (int i = 0; i < kNavSets; i++) counts[i] = int32_t(Nav_Level.sets[i].areas.size());
    return 1;
  }
  char path[sizeof s.h.level + 16];
  if (!Level_FilesPath(s.h.level, path, sizeof path - 4)) {
    Log_Printf("%s:level name \"%s\" is refused.\n", caller, s.h.level);
    return 0;
  }
  if (!Level_FilesThere(s.h.level, counts)) {
    Log_Printf("%s:no level \"%s\" (neither its \".nav\" nor its \".scn\" is there).\n", caller, s.h.level);
    return 0;
  }
  return Level_GroundCheck(s, path, caller);
}

// Reads and checks everything of a single-player snapshot; logs the fault and returns 0 when
// something is wrong. Nothing of the game is touched.
int Snapshot_Check(const uint8_t* bytes, size_t size, SnapshotUse use, bool keepLevel, const char* caller,
                   Snapshot& s) {
  const uint8_t* end = bytes + size;
  if (s.h.emitterCount > uint32_t(kSoundEmitters)) {
    Log_Printf("%s:%u sound emitters, more than %i.\n", caller, s.h.emitterCount, kSoundEmitters);
    return 0;
  }
  if (s.h.personageCount > uint32_t(kPersonages)) {
    Log_Printf("%s:%u personages, more than %i.\n", caller, s.h.personageCount, kPersonages);
    return 0;
  }
  if (s.h.hero < 0 || s.h.hero > 1) {
    Log_Printf("%s:no hero %i.\n", caller, s.h.hero);
    return 0;
  }
  if (!LevelNameAllowed(s.h.level)) {
    Log_Printf("%s:level name \"%s\" is not a plain name.\n", caller, s.h.level);
    return 0;
  }
  if (!Header_Check(s, caller)) return 0;
  uint64_t left = size - kSaveHeaderSize;
  uint64_t fixed = uint64_t(s.h.emitterCount) * kSaveEmitterSize + uint64_t(s.h.personageCount) * kPersonageImageSize;
  if (fixed > left || uint64_t(s.h.objectCount) > (left - fixed) / kObjectImageSize) {
    Log_Printf("%s:the file is shorter than its %u emitters, %u personages and %u objects.\n", caller, s.h.emitterCount,
               s.h.personageCount, s.h.objectCount);
    return 0;
  }
  s.emitters = bytes + kSaveHeaderSize;
  s.personages = s.emitters + size_t(s.h.emitterCount) * kSaveEmitterSize;
  s.objects = s.personages + size_t(s.h.personageCount) * kPersonageImageSize;
  s.ai = s.objects + size_t(s.h.objectCount) * kObjectImageSize;
  for (uint32_t i = 0; i < s.h.emitterCount; i++) {
    const uint8_t* e = s.emitters + size_t(i) * kSaveEmitterSize;
    if (!std::memchr(e, 0, 64) || !std::memchr(e + 84, 0, 64)) {
      Log_Printf("%s:sound emitter %u has an unterminated name.\n", caller, i);
      return 0;
    }
    for (uint32_t at = 64; at < 84; at += 4)
      if (!FiniteWithin(GetF32(e + at), kSaveCoordLimit)) {
        Log_Printf("%s:sound emitter %u has a number out of range.\n", caller, i);
        return 0;
      }
  }
  const char* field = nullptr;
  for (uint32_t i = 0; i < s.h.personageCount; i++) {
    const uint8_t* words = s.personages + size_t(i) * kPersonageImageSize;
    if (Get32(words) > 1 || Get32(words + 4) > 1) {
      Log_Printf("%s:personage %u has a restore word other than 0 or 1.\n", caller, i);
      return 0;
    }
    const uint8_t* p = words + 16;
    if (const char* fault = Image_Fault(p, kPersonBlockOffset, kPersonBlockOffset + kPersonBlockSize,
                                        kPersonBlockOffset, &field)) {
      Log_Printf("%s:personage %u has %s in %s.\n", caller, i, fault, field);
      return 0;
    }
  }
  std::vector<uint32_t> ids(s.h.objectCount);
  const uint8_t* player = nullptr;  // a single-player game always has its hero
  for (uint32_t i = 0; i < s.h.objectCount; i++) {
    const uint8_t* o = s.objects + size_t(i) * kObjectImageSize;
    uint32_t id = Get32(o + 5960);
    int32_t classNum = int32_t(Get32(o + 5964));
    if (classNum < MACHINEPLAYER || classNum > NPC) {
      Log_Printf("%s:object %u has class %i.\n", caller, i, classNum);
      return 0;
    }
    if (id == 0 || id >= kSaveIdLimit) {
      Log_Printf("%s:object %u has id %u.\n", caller, i, id);
      return 0;
    }
    if (const char* fault = Image_Fault(o, 0, kObjectImageSize, 0, &field)) {
      Log_Printf("%s:object %u has %s in %s.\n", caller, i, fault, field);
      return 0;
    }
    if (id == s.h.playerId && classNum == MACHINEPLAYER) player = o;
    ids[i] = id;
  }
  std::vector<uint32_t> sorted = ids;
  std::sort(sorted.begin(), sorted.end());
  if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end()) {
    Log_Printf("%s:two objects share an id.\n", caller);
    return 0;
  }
  if (!player) {
    Log_Printf("%s:no player object %u.\n", caller, s.h.playerId);
    return 0;
  }
  // The game writes its hero in play: an inactive one neither moves nor is drawn, and a dead one
  // (never saved) leaves nothing to play. A recording may start at any moment of play.
  static const ImageField* const kFlags = ImageFieldNamed("flags");
  static const ImageField* const kState = ImageFieldNamed("person.state");
  if (!(Get32(player + kFlags->offset) & OBJ_ACTIVE)) {
    Log_Printf("%s:the hero (object %u) is not active.\n", caller, s.h.playerId);
    return 0;
  }
  if (use == SNAPSHOT_LOAD && Get32(player + kState->offset) == 2) {
    Log_Printf("%s:the hero is dead.\n", caller);
    return 0;
  }
  // Every object was made by a game whose counter the save holds (a lower counter is raised to
  // the largest id), so no object names an owner beyond it.
  const uint32_t counter = std::max(s.h.nextId, sorted.empty() ? 0u : sorted.back());
  static const ImageField* const kOwner = ImageFieldNamed("owner");
  for (uint32_t i = 0; i < s.h.objectCount; i++) {
    uint32_t owner = Get32(s.objects + size_t(i) * kObjectImageSize + kOwner->offset);
    if (owner > counter) {
      Log_Printf("%s:object %u names owner %u, beyond the id counter %u.\n", caller, i, owner, counter);
      return 0;
    }
  }
  // A saved game's AI block runs to the end of the file, or to the seal behind it.
  size_t aiLeft = size_t(end - s.ai);
  size_t aiLength = ai_BlockLength(s.ai, aiLeft);
  bool sealed = use == SNAPSHOT_LOAD && aiLength && aiLeft == aiLength + kSaveSealSize &&
                Get32(s.ai + aiLength) == kSaveSealMark;
  s.aiSize = use == SNAPSHOT_LOAD && !sealed ? aiLeft : aiLength;
  if (!s.aiSize || !ai_CheckBlock(s.ai, s.aiSize, ids.data(), ids.size(), nullptr)) {
    Log_Printf("%s:the AI block is damaged.\n", caller);
    return 0;
  }
  s.length = size_t(s.ai - bytes) + s.aiSize + (sealed ? kSaveSealSize : 0);
  if (sealed && Zip_Crc32(0, bytes, s.length - 4) != Get32(bytes + s.length - 4)) {
    Log_Printf("%s:the file does not match its check word; it is damaged.\n", caller);
    return 0;
  }
  // Last, what lies outside the file: the level it names.
  int32_t counts[kNavSets];
  if (!Level_Check(s, keepLevel, caller, counts)) return 0;
  if (!ai_CheckBlock(s.ai, s.aiSize, ids.data(), ids.size(), counts)) {
    Log_Printf("%s:the AI block names areas that level \"%s\" does not have.\n", caller, s.h.level);
    return 0;
  }
  return 1;
}

// Reads the header of the snapshot at the start of `bytes`: 0 with a line when it is short, of
// another kind or version, or holds an unterminated text.
int ReadHeader(const uint8_t* bytes, size_t size, const char* caller, Snapshot& s) {
  if (!bytes || size < kSaveHeaderSize) {
    Log_Printf("%s:the file is shorter than its header (%zu bytes).\n", caller, size);
    return 0;
  }
  if (Get32(bytes) != kSaveId) {
    Log_Printf("%s:wrong id.\n", caller);
    return 0;
  }
  if (Get32(bytes + 4) != kSaveVersion) {
    Log_Printf("%s:wrong version.\n", caller);
    return 0;
  }
  HeaderIn in{ByteReader(bytes, kSaveHeaderSize)};
  Header_Visit(in, s.h, *s.quest, SaveTables{s.sky, s.places, s.cars});
  if (in.badText) {
    Log_Printf("%s:the header has an unterminated text.\n", caller);
    return 0;
  }
  return 1;
}

}  // namespace

namespace {
// Writes the snapshot in pieces to `put` (bytes, length), which returns false to stop. Everything
// but the objects is built whole; the objects go one image at a time.
template <class Put>
bool Snapshot_Write(Put put) {
  SaveHead h{};
  h.id = kSaveId;
  h.version = kSaveVersion;
  LocalDate(h.date);
  std::snprintf(h.level, sizeof h.level, "%s", Level_Name);
  h.gameTime = float(Game_Time);
  h.mode = Game_NetMode;
  h.god = int32_t(Game_GodMode);
  h.randIndex = uint32_t(Math_RandGetIndex());
  h.nextId = Obj_LastId();
  h.objectCount = uint32_t(Obj_Count());
  h.playerId = Obj_Player ? Obj_Player->id : 0;
  h.personageCount = uint32_t(std::clamp(Game_PersonageCount, 0, kPersonages));
  h.emitterCount = uint32_t(std::clamp(Level_EmitterCount, 0, kSoundEmitters));
  h.hero = Game_HeroChoice;
  HeaderOut w;
  Header_Visit(w, h, Que_State, SaveTables{Level_SkyName, Game_Places, Game_CarPositions});
  std::vector<uint8_t> out(w.w.bytes.begin(), w.w.bytes.end());
  if (h.mode == 1) NET_WriteFrags(out);
  if (h.mode != 0) return put(out.data(), out.size());
  size_t at = out.size();
  out.resize(at + size_t(h.emitterCount) * kSaveEmitterSize + size_t(h.personageCount) * kPersonageImageSize);
  for (uint32_t i = 0; i < h.emitterCount; i++, at += kSaveEmitterSize) SoundEmitter_Write(&Level_Emitters[i], &out[at]);
  for (uint32_t i = 0; i < h.personageCount; i++, at += kPersonageImageSize)
    PersonageImage_Write(&Game_Personages[i], &out[at]);
  if (!put(out.data(), out.size())) return false;
  // Every PreSave runs before the first object is written.
  for (GameObject* o = Obj_ListHead; o; o = o->next) o->slots.PreSave(o);
  std::vector<uint8_t> image(kObjectImageSize);
  for (GameObject* o = Obj_ListHead; o; o = o->next) {
    ObjImage_Write(o, image.data());
    if (!put(image.data(), image.size())) return false;
  }
  std::vector<uint8_t> ai = ai_BlockBytes();
  return put(ai.data(), ai.size());
}
}  // namespace

std::vector<uint8_t> Save_SnapshotBytes() {
  std::vector<uint8_t> out;
  Snapshot_Write([&out](const uint8_t* b, size_t n) {
    out.insert(out.end(), b, b + n);
    return true;
  });
  return out;
}

void Save_MatchLoadedGame() {
  Game_Time = double(float(Game_Time));
  Tick_AiStarted = 1;
  // The recording's world starts as its playback's will: made anew from the saved objects.
  Physics_RebuildWorld();
  Physics_Settle();
  Player_EndSlowMotion(Obj_Player);
  if (Obj_Player && Obj_Player->person.carIndex) Obj_Player->person.carReentry = 1;
  if (Obj_Player) Obj_Player->person.thinkStamp = float(Game_Time);
}

int Save_WriteSnapshot(FileHandle* file) {
  if (!file) return 0;
  return Snapshot_Write([file](const uint8_t* b, size_t n) { return File_Write(b, 1, n, file) == n; }) ? 1 : 0;
}

namespace {
// A saved game's bytes: the snapshot, and behind a single-player one its seal. False when they
// would pass the size a load reads.
bool Save_SealedBytes(std::vector<uint8_t>& out) {
  const size_t seal = Game_NetMode == 0 ? kSaveSealSize : 0;
  out.clear();
  // Room for the header, the records and the objects at once (the AI block is small).
  uint64_t room = kSaveHeaderSize + uint64_t(kSaveEmitterSize) * kSoundEmitters + (uint64_t(1) << 16) +
                  uint64_t(std::clamp(Game_PersonageCount, 0, kPersonages)) * kPersonageImageSize +
                  uint64_t(Obj_Count()) * kObjectImageSize;
  out.reserve(size_t(std::min<uint64_t>(room, kFileMaxWhole)));
  bool ok = Snapshot_Write([&out, seal](const uint8_t* b, size_t n) {
    if (n > kFileMaxWhole - seal - out.size()) return false;
    out.insert(out.end(), b, b + n);
    return true;
  });
  if (!ok || !seal) return ok;
  ByteWriter w;
  w.U32(kSaveSealMark);
  out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  w.bytes.clear();
  w.U32(Zip_Crc32(0, out.data(), out.size()));
  out.insert(out.end(), w.bytes.begin(), w.bytes.end());
  return true;
}

// A single-player save passes the checks of its own load (a network game's save holds no objects).
int Save_LoadWouldTake(const std::vector<uint8_t>& bytes) {
  Snapshot s;
  if (!ReadHeader(bytes.data(), bytes.size(), "Save", s)) return 0;
  return s.h.mode != 0 || Snapshot_Check(bytes.data(), bytes.size(), SNAPSHOT_LOAD, false, "Save", s);
}
}  // namespace

int Save_BuildName(const char* caller, const char* folder, const char* name, const char* extension,
                   bool dropExtension, char* out, size_t outSize) {
  if (!name || !*name || std::strstr(name, "..")) {
    Log_Printf("%s:refused name \"%s\".\n", caller, name ? name : "");
    return 0;
  }
  std::string base(name);
  if (dropExtension) {
    size_t dot = base.find_last_of('.');
    size_t sep = base.find_last_of("\\/");
    if (dot != std::string::npos && (sep == std::string::npos || dot > sep)) base.resize(dot);
  }
  int n = std::snprintf(out, outSize, "%s%s%s", folder, base.c_str(), extension);
  if (n < 0 || size_t(n) >= outSize) {
    Log_Printf("%s:refused name \"%s\" (too long).\n", caller, name);
    return 0;
  }
  return 1;
}

int Save(const char* name) {
  if (!Game_Running) return 0;
  if (Game_NetMode == 0 && !Obj_Player) {
    // A load refuses a single-player game without its hero, so none is written.
    Log_Printf("Save:no hero in the game; nothing saved.\n");
    return 0;
  }
  char path[kSaveNameSize + 16];
  if (!Save_BuildName("Save", "save\\", name, ".sav", true, path, sizeof path)) return 0;
  // The game never writes what its load refuses: the old file stays and the player is told.
  std::vector<uint8_t> bytes;
  const bool fits = Save_SealedBytes(bytes);
  if (!fits) Log_Printf("Save:the game is larger than %llu bytes.\n", (unsigned long long)kFileMaxWhole);
  if (!fits || !Save_LoadWouldTake(bytes)) {
    Log_Printf("Save:%s not saved; its load would refuse it.\n", name);
    Demo_ShowMessage("consol\\not saved", u"The game was not saved");
    return 0;
  }
  FileHandle* f = File_Open(path, "wb");
  if (!f) {
    Log_Printf("Save:unable open %s.\n", name);
    return 0;
  }
  if (File_Write(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
    File_Discard(f);
    Log_Printf("Save:unable write %s.\n", name);
    return 0;
  }
  if (!File_Close(f)) {
    Log_Printf("Save:unable write %s.\n", name);
    return 0;
  }
  Log_Printf("Save:game saved.\n");
  Demo_ShowMessage("consol\\game saved", u"Game saved");
  Game_SettleFrames = kSettleFrames;
  return 1;
}

int Save_LoadSlot(const char* name, bool* missing) {
  if (missing) *missing = false;
  char path[kSaveNameSize + 16];
  if (!Save_BuildName("Load", "save\\", name, ".sav", true, path, sizeof path)) return 0;
  FileHandle* f = File_Open(path, "rb");
  if (!f) {
    Log_Printf("Load:unable open %s.\n", name);
    // None there, or one that is there and does not open (a folder, a pipe, a device, unreadable).
    char found[kSaveNameSize + 64];
    if (missing) *missing = !File_ResolveDiskPath(path, found, sizeof found);
    return 0;
  }
  int ok = Load(f);
  File_Close(f);
  Game_SettleFrames = kSettleFrames;
  return ok;
}

int Load(FileHandle* file) {
  if (!file) return 0;
  // The whole rest of the file, in one read where its size is known.
  std::vector<uint8_t> bytes(std::min<uint64_t>(File_Size(file), kFileMaxWhole + 1));
  bytes.resize(bytes.empty() ? 0 : File_Read(bytes.data(), 1, bytes.size(), file));
  uint8_t chunk[65536];
  for (;;) {
    size_t n = File_Read(chunk, 1, sizeof chunk, file);
    bytes.insert(bytes.end(), chunk, chunk + n);
    if (bytes.size() > kFileMaxWhole) {
      Log_Printf("Load:the file is larger than %llu bytes.\n", (unsigned long long)kFileMaxWhole);
      return 0;
    }
    if (n < sizeof chunk) break;
  }
  return Save_ApplySnapshot(bytes.data(), bytes.size(), SNAPSHOT_LOAD, "Load") != 0;
}

size_t Save_ApplySnapshot(const uint8_t* bytes, size_t size, SnapshotUse use, const char* caller) {
  const bool running = Game_Running != 0;  // as the load begins: the geometry starts a game
  Snapshot s;
  if (!ReadHeader(bytes, size, caller, s)) return 0;
  if (s.h.mode == 1 || s.h.mode == 2) {
    if (use == SNAPSHOT_PLAYBACK) {
      Log_Printf("%s:a network game's snapshot cannot be played back.\n", caller);
      return 0;
    }
    if (s.h.mode == 2) {
      Log_Printf("%s:a client's save holds no game; nothing changed.\n", caller);
      return 0;
    }
    if (Game_NetMode != 1 || !running || strcasecmp(s.h.level, Level_Name) != 0) {
      Log_Printf("%s:a server's save of another game; nothing changed.\n", caller);
      return 0;
    }
    return NET_ReadFrags(bytes + kSaveHeaderSize, size - kSaveHeaderSize) ? size : 0;
  }
  if (s.h.mode != 0) {
    Log_Printf("%s:unknown game mode %i.\n", caller, s.h.mode);
    return 0;
  }
  const bool keepLevel = use == SNAPSHOT_PLAYBACK && running && strcasecmp(s.h.level, Level_Name) == 0;
  if (!Snapshot_Check(bytes, size, use, keepLevel, caller, s)) return 0;

  // Checked whole, the level's files too: from here the running level is replaced, and nothing
  // but a lack of memory stops the load.
  if (keepLevel) {
    Obj_ClearAll();
  } else if (!Level_LoadGeometry(s.h.level)) {
    Log_Printf("%s:level \"%s\" refused.\n", caller, s.h.level);
    return 0;
  }
  UI_ClearMenuStack(UI_System);
  Fx_Reset();
  Level_EmitterCount = int32_t(s.h.emitterCount);
  for (uint32_t i = 0; i < s.h.emitterCount; i++)
    SoundEmitter_Read(&Level_Emitters[i], s.emitters + size_t(i) * kSaveEmitterSize);
  Game_PersonageCount = int32_t(s.h.personageCount);
  for (uint32_t i = 0; i < s.h.personageCount; i++)
    PersonageImage_Read(&Game_Personages[i], s.personages + size_t(i) * kPersonageImageSize);
  Game_HeroChoice = s.h.hero;
  Que_State.mission = s.quest->mission;
  Tick_AiStarted = 1;  // the AI block brings the AI's own state
  if (!running) return s.length;

  if (use == SNAPSHOT_LOAD) {
    char title[sizeof s.h.level + 16];
    std::snprintf(title, sizeof title, "%s%s", Game_NetMode ? "arenas\\" : "scenes\\", s.h.level);
    Level_SetLoadingTitle(title);
    Level_DrawLoadingProgress();
  }
  MissionTable mission = Que_State.mission;
  Que_State = *s.quest;
  Que_State.mission = mission;
  std::memcpy(Level_SkyName, s.sky, sizeof s.sky);
  std::memcpy(Game_Places, s.places, sizeof s.places);
  std::memcpy(Game_CarPositions, s.cars, sizeof s.cars);
  Game_NetMode = s.h.mode;
  Game_GodMode = uint32_t(s.h.god);
  Math_RandSetIndex(int(s.h.randIndex));
  uint32_t largest = 0;
  for (uint32_t i = 0; i < s.h.objectCount; i++) {
    GameObject* o = Obj_Alloc();
    if (!o) {
      Log_Printf("%s:no memory for object %u of %u; the level is released.\n", caller, i, s.h.objectCount);
      Level_Free();
      return 0;
    }
    ObjImage_Read(o, s.objects + size_t(i) * kObjectImageSize);
    largest = std::max(largest, o->id);
    Load_ObjectX(o);
  }
  for (GameObject* o = Obj_ListHead; o; o = o->next) o->slots.PostLoad(o);
  // The bodies the objects' Init made, made anew in list order on a fresh world, then settled.
  Physics_RebuildWorld();
  Physics_Settle();
  Obj_SetLastId(std::max(s.h.nextId, largest));
  Obj_Player = s.h.playerId ? Obj_FindById(s.h.playerId) : nullptr;
  if (!ai_ApplyBlock(s.ai, s.aiSize)) {
    // Only when the level's ".nav" changed since it was checked: the characters start afresh.
    Log_Printf("%s:the AI block does not fit the level's areas now; the AI starts afresh.\n", caller);
    Tick_AiStarted = 0;
  }
  if (ai_BlockVersion(s.ai, s.aiSize) == 1) {
    // Saved before characters kept their entity's solid and visible words: all were both.
    for (GameObject* o = Obj_ListHead; o; o = o->next)
      if (o->classNum == NPC) o->prop.solid = o->prop.visible = 1;
  }
  // A loaded game runs at normal speed.
  Player_EndSlowMotion(Obj_Player);
  if (Obj_Player && Obj_Player->person.carIndex) Obj_Player->person.carReentry = 1;
  Game_Time = double(s.h.gameTime);
  if (Obj_Player) Obj_Player->person.thinkStamp = s.h.gameTime;
  if (use == SNAPSHOT_LOAD) {
    Game_DemoFlags = 1;
    Emitters_Restart();
    Level_ClearLoadingScreen();
  }
  return s.length;
}

void Emitters_Restart() {
  static const char* const kMusic[kMusicChannels] = {nullptr, "music_ambient", "music_weapon", "music_combat"};
  const float now = float(Timer_FrameTime);
  for (int i = 0; i < Level_EmitterCount && i < kSoundEmitters; i++) {
    const SoundEmitter& e = Level_Emitters[i];
    if (e.mindist != 0) {
      const float at[3] = {e.origin.x, e.origin.y, e.origin.z};
      Sound_Play(e.name, e.volume, e.mindist, at, SOUND_LOOP, SOUND_CAT_EFFECTS);
      continue;
    }
    int channel = 1;
    while (channel < kMusicChannels && strcasecmp(e.id, kMusic[channel]) != 0) channel++;
    if (channel < kMusicChannels) {
      uint32_t voice = Sound_Play(e.name, 0, 0, nullptr, SOUND_LOOP, SOUND_CAT_MUSIC);
      if (voice) {
        MusicChannel& m = Game_MusicChannels[channel];
        m = MusicChannel{voice, now + 1000000.0f, 0, now + 1100000.0f, 1.0f};
        if (channel == 1) {
          m.firstTime = now + 5.0f;
          m.secondTime = now + 10.0f;
        }
        continue;
      }
    }
    Sound_Play(e.name, e.volume, 0, nullptr, SOUND_LOOP, SOUND_CAT_EFFECTS);
  }
}
