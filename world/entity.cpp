#include "world/entity.h"

#include <locale.h>
#include <strings.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "foundation/file.h"
#include "foundation/inthash.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "world/game.h"
#include "world/level.h"

EntIncludeStack Ent_Includes;
SpawnTemplate Ent_Template;

// ---- Output ---------------------------------------------------------------------------------------

static EntOutputFn g_outFn;
static void* g_outUser;

void Ent_SetOutput(EntOutputFn fn, void* user) {
  g_outFn = fn;
  g_outUser = user;
}

void Ent_Write(const char* text, size_t length) {
  if (g_outFn)
    g_outFn(text, length, g_outUser);
  else
    std::fwrite(text, 1, length, stdout);
}

void Ent_Printf(const char* format, ...) {
  char line[2048];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (n < 0) return;
  Ent_Write(line, size_t(n) < sizeof line ? size_t(n) : sizeof line - 1);
}

// ---- Reader ---------------------------------------------------------------------------------------

static char g_key[kEntTokenSize];
static char g_value[kEntTokenSize];
static int g_reading;     // non-zero while read_ent runs
static int g_tokenCutSaid;  // the "token cut" line is written once per read
// Bytes a read may still include: one budget for what included texts include, one for all.
struct EntBudget {
  uint64_t left;
  int spent;  // ran out: no more includes of its kind this read
};
static EntBudget g_nestedBudget, g_readBudget;
// The outer budget of a caller's several reads (null: none) and whether it refused this read.
static EntSpendFn g_outerSpend;
static int g_outerRefused;
EntIncludeCount Ent_Included;

EntSpendFn Ent_SetOuterBudget(EntSpendFn fn) {
  EntSpendFn before = g_outerSpend;
  g_outerSpend = fn;
  return before;
}

static bool Ent_PopLevel(EntIncludeStack* stack);

int Ent_ReadChar(EntIncludeStack* stack) {
  for (;;) {
    EntIncludeLevel& level = stack->levels[stack->top];
    if (level.pos < level.length) return level.text[level.pos++];
    if (!Ent_PopLevel(stack)) return -1;
  }
}

// Drops the exhausted top level; false when the outermost text is exhausted.
static bool Ent_PopLevel(EntIncludeStack* stack) {
  if (stack->top == 0) return false;
  EntIncludeLevel& level = stack->levels[stack->top];
  Global_Free(const_cast<uint8_t*>(level.text));
  level = EntIncludeLevel{};
  stack->top--;
  return true;
}

// Reads one token up to its closing quote into buffer; false at the end of the text. A token may
// run on from an included text into the one that called it.
static bool Ent_ReadToken(char* buffer) {
  uint32_t n = 0;
  bool cut = false;
  for (;;) {
    EntIncludeLevel& level = Ent_Includes.levels[Ent_Includes.top];
    if (level.pos >= level.length) {
      if (!Ent_PopLevel(&Ent_Includes)) return false;
      continue;
    }
    const uint8_t* from = level.text + level.pos;
    uint32_t avail = level.length - level.pos;
    const void* quote = std::memchr(from, '"', avail);
    uint32_t take = quote ? uint32_t(static_cast<const uint8_t*>(quote) - from) : avail;
    uint32_t room = uint32_t(kEntTokenSize - 1) - n;
    uint32_t copy = take < room ? take : room;
    if (copy < take) cut = true;
    std::memcpy(buffer + n, from, copy);
    n += copy;
    level.pos += take + (quote ? 1 : 0);
    if (quote) break;
  }
  buffer[n] = 0;
  if (cut && !g_tokenCutSaid) {
    g_tokenCutSaid = 1;
    Ent_Printf("read_ent: token cut to %i characters\n", kEntTokenSize - 1);
  }
  return true;
}

int read_ent(const char* text, uint32_t length) {
  if (g_reading) {
    Ent_Printf("read_ent: refused, a read is already running\n");
    return -1;
  }
  g_reading = 1;
  g_tokenCutSaid = 0;
  g_nestedBudget = EntBudget{kEntIncludeBudget, 0};
  g_readBudget = EntBudget{kEntReadIncludeBudget, 0};
  g_outerRefused = 0;
  Ent_Includes.levels[0] = EntIncludeLevel{reinterpret_cast<const uint8_t*>(text), 0, text ? length : 0};
  Ent_Includes.top = 0;
  bool inBlock = false;
  int counter = 0;
  for (;;) {
    int c = Ent_ReadChar(&Ent_Includes);
    if (c < 0) break;
    if (c == '{') {
      if (inBlock) {
        Ent_Printf("read_ent: multiply blocks\n");
        continue;
      }
      SpawnTemplate_Reset();
      counter = 0;
      inBlock = true;
    } else if (c == '}') {
      if (!inBlock) {
        Ent_Printf("read_ent: missing {\n");
        continue;
      }
      Level_DrawLoadingProgress();
      if (Ent_Template.classname[0]) class_support();
      inBlock = false;
    } else if (c == '"' && inBlock) {
      if (!Ent_ReadToken(counter == 0 ? g_key : g_value)) break;
      if (++counter == 2) {
        counter = 0;
        block_support(g_key, g_value);
      }
    }
  }
  while (Ent_PopLevel(&Ent_Includes)) {
  }
  Ent_Includes.levels[0] = EntIncludeLevel{};
  g_reading = 0;
  return -1;
}

// The whole file into a block of the given tag; only the bytes actually read count. Null for a
// missing (*found = false), empty or unreadable file.
static uint8_t* Ent_ReadFile(const char* name, uint32_t* got, const char* tag, bool* found) {
  *got = 0;
  FileHandle* f = File_Open(name, "rb");
  *found = f != nullptr;
  if (!f) return nullptr;
  uint32_t size = File_Size(f);
  uint8_t* buffer = size ? static_cast<uint8_t*>(Global_Malloc(size, tag)) : nullptr;
  if (buffer) *got = uint32_t(File_Read(buffer, 1, size, f));
  File_Close(f);
  if (buffer && *got == 0) {
    Global_Free(buffer);
    buffer = nullptr;
  }
  return buffer;
}

void LoadObjects(const char* fileName) {
  if (!fileName) return;
  uint32_t got = 0;
  bool found = false;
  uint8_t* buffer = Ent_ReadFile(fileName, &got, "LOADOBJ", &found);
  if (!found) Log_Printf("LoadObjects: not found %s\n", fileName);
  if (!buffer) return;
  read_ent(reinterpret_cast<const char*>(buffer), got);
  Global_Free(buffer);
}

// Takes `bytes` from one of the read's include budgets; false (said once) when it does not hold them.
static bool Ent_Spend(EntBudget* budget, uint64_t bytes, const char* name) {
  if (!budget->spent && bytes <= budget->left) {
    budget->left -= bytes;
    return true;
  }
  if (!budget->spent) {
    if (budget == &g_nestedBudget)
      Log_Printf("read_ent: included texts reach %u bytes at %s; what they call is not included\n",
                 unsigned(kEntIncludeBudget), name);
    else
      Log_Printf("read_ent: includes reach %u bytes in all at %s; the rest of the read includes nothing\n",
                 unsigned(kEntReadIncludeBudget), name);
  }
  budget->spent = 1;
  return false;
}

// The caller's outer budget, when one is set, grants `bytes` too; after one refusal nothing more.
static bool Ent_SpendOuter(uint32_t bytes, const char* name) {
  if (!g_outerSpend) return true;
  if (!g_outerRefused && !g_outerSpend(bytes, name)) g_outerRefused = 1;
  return !g_outerRefused;
}

// "call": the named template (".scn" added) continues the text at once, three files deep at most.
// Every call costs kEntCallCost bytes and then the bytes of its file from the read's budget, so
// the work of one read is bounded whatever it includes; a large level file's own calls of
// ordinary templates fit it whole. A call made from an included text also costs the smaller
// budget of nested including, so a template that calls itself many times is stopped early and
// leaves the rest of the read's budget to the level file's own blocks. A caller's outer budget
// bounds the includes of all its reads together.
static void Ent_Call(const char* value) {
  if (Ent_Includes.top >= kEntIncludeLevels - 1) return;
  const bool nested = Ent_Includes.top > 0;
  char name[kEntTokenSize + 8];
  std::snprintf(name, sizeof name, "%s.scn", value);
  if (nested && !Ent_Spend(&g_nestedBudget, kEntCallCost, name)) return;
  if (!Ent_Spend(&g_readBudget, kEntCallCost, name)) return;
  if (!Ent_SpendOuter(kEntCallCost, name)) return;
  uint32_t got = 0;
  bool found = false;
  uint8_t* buffer = Ent_ReadFile(name, &got, "entfc", &found);
  if (!buffer) return;
  Ent_Included.calls++;
  Ent_Included.bytes += got;
  if ((nested && !Ent_Spend(&g_nestedBudget, got, name)) || !Ent_Spend(&g_readBudget, got, name) ||
      !Ent_SpendOuter(got, name)) {
    Global_Free(buffer);
    return;
  }
  Ent_Includes.levels[++Ent_Includes.top] = EntIncludeLevel{buffer, 0, got};
}

// ---- Value forms ----------------------------------------------------------------------------------

static locale_t Ent_CLocale() {
  static locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  return c;
}

// One float as strtof reads it in the C locale. Short plain decimals ("-12.5") take a fast path
// that gives the same, correctly rounded value: an integer below 2^24 and a power of ten up to
// 10^10 are both exact floats, so one division rounds once.
static float Ent_ParseFloat(const char* s, char** end) {
  static const float kPow10[11] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
  const char* p = s;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') p++;
  bool negative = *p == '-';
  if (*p == '-' || *p == '+') p++;
  uint32_t mantissa = 0;
  int digits = 0, fraction = 0;
  const char* start = p;
  for (; *p >= '0' && *p <= '9'; p++, digits++) mantissa = mantissa * 10 + uint32_t(*p - '0');
  if (*p == '.') {
    for (p++; *p >= '0' && *p <= '9'; p++, digits++, fraction++) mantissa = mantissa * 10 + uint32_t(*p - '0');
  }
  bool plain = digits > 0 && digits <= 7 && fraction <= 10 && p != start && *p != 'e' && *p != 'E' &&
               *p != 'x' && *p != 'X' && !(*p >= 'a' && *p <= 'z') && !(*p >= 'A' && *p <= 'Z');
  if (!plain || (start[0] == '0' && (start[1] == 'x' || start[1] == 'X'))) return strtof_l(s, end, Ent_CLocale());
  float v = float(mantissa) / kPow10[fraction];
  *end = const_cast<char*>(p);
  return negative ? -v : v;
}

// Up to n floats separated by white space; returns how many were read. The fields not read keep
// their contents.
static int Ent_ParseFloats(const char* s, float* out, int n) {
  int i = 0;
  for (; i < n; i++) {
    char* end = nullptr;
    float v = Ent_ParseFloat(s, &end);
    if (end == s) break;
    out[i] = v;
    s = end;
  }
  return i;
}

// "%i": decimal, 0x-hexadecimal or 0-octal with a sign; false when nothing converts.
static bool Ent_ParseInt(const char* s, int32_t* out) {
  char* end = nullptr;
  errno = 0;
  long long v = std::strtoll(s, &end, 0);
  if (end == s) return false;
  if (v > INT32_MAX) v = INT32_MAX;
  if (v < INT32_MIN) v = INT32_MIN;
  *out = int32_t(v);
  return true;
}

static void Ent_CopyText(char* field, size_t size, const char* value, const char* key) {
  size_t n = std::strlen(value);
  if (n >= size) {
    Ent_Printf("block_support: value of %s cut to %i characters\n", key, int(size - 1));
    n = size - 1;
  }
  std::memcpy(field, value, n);
  field[n] = 0;
}

static void Ent_CopyWord(char* field, size_t size, const char* value, const char* key) {
  while (*value && std::isspace(uint8_t(*value))) value++;
  if (!*value) return;
  size_t n = 0;
  while (value[n] && !std::isspace(uint8_t(value[n]))) n++;
  if (n >= size) {
    Ent_Printf("block_support: value of %s cut to %i characters\n", key, int(size - 1));
    n = size - 1;
  }
  std::memcpy(field, value, n);
  field[n] = 0;
}

// ---- Key table ------------------------------------------------------------------------------------

enum EntForm : uint8_t {
  FORM_NONE,    // accepted; nothing stored
  FORM_TEXT,    // n = field size
  FORM_WORD,    // n = field size
  FORM_INT,
  FORM_FLOAT,   // n floats
  FORM_BRUSH,   // "*%i"
  FORM_TARGET,  // "t%i"
  FORM_TEAM,
  FORM_AISTATE,
  FORM_AGGRESSION,
  FORM_CALL,
  FORM_ANGLE,
  FORM_PRECACHE_MODEL,
  FORM_PRECACHE_SKEL,
  FORM_PRECACHE_ANIM,
};

struct EntKeyRow {
  const char* key;
  EntForm form;
  uint16_t n;
  int32_t offset;  // in SpawnTemplate; -1 none
  int32_t twin;    // also copied here after parsing; -1 none
  uint32_t hash;
  int32_t nextSameHash;  // the next row with this hash, 0 = none
};

static EntKeyRow g_keys[kEntKeyCount];
static char g_keyNames[kEntKeyCount][32];
static int g_keyRows;
static IntHash* g_keyHash;

#define TOFF(field) int32_t(offsetof(SpawnTemplate, field))

static void AddKey(const char* key, EntForm form, int n, int32_t offset, int32_t twin = -1) {
  if (g_keyRows >= kEntKeyCount) return;
  std::snprintf(g_keyNames[g_keyRows], sizeof g_keyNames[0], "%s", key);
  g_keys[g_keyRows] = EntKeyRow{g_keyNames[g_keyRows], form, uint16_t(n), offset, twin, 0, 0};
  g_keyRows++;
}
static void AddText(const char* key, int32_t offset, int size) { AddKey(key, FORM_TEXT, size, offset); }
static void AddFloat(const char* key, int32_t offset, int n = 1) { AddKey(key, FORM_FLOAT, n, offset); }
static void AddInt(const char* key, int32_t offset) { AddKey(key, FORM_INT, 1, offset); }
// key, key<first>, key<first + 1>, ... each into its element; first < 0: key0, key1, ...
static void AddNumbered(const char* key, int count, EntForm form, int n, int32_t offset, int32_t stride,
                        int first = 1) {
  char name[32];
  for (int i = 0; i < count; i++) {
    if (first < 0)
      std::snprintf(name, sizeof name, "%s%i", key, i);
    else if (i == 0)
      std::snprintf(name, sizeof name, "%s", key);
    else
      std::snprintf(name, sizeof name, "%s%i", key, i - 1 + first);
    AddKey(name, form, n, offset + i * stride);
  }
}

static void Ent_BuildKeys() {
  using T = SpawnTemplate;
  AddKey("", FORM_NONE, 0, -1);
  AddKey("call", FORM_CALL, 0, -1);
  AddKey("classname", FORM_WORD, sizeof T::classname, TOFF(classname));
  AddKey("origin", FORM_FLOAT, 3, TOFF(origin), TOFF(aiorigin));
  AddFloat("start", TOFF(start), 3);
  AddKey("angle", FORM_ANGLE, 3, TOFF(angle));
  AddInt("spawnflags", TOFF(spawnflags));
  AddText("map", TOFF(map), sizeof T::map);
  AddKey("model", FORM_BRUSH, 1, TOFF(model));
  AddKey("targetname", FORM_TARGET, 1, TOFF(targetname));
  AddKey("target", FORM_TARGET, 1, TOFF(target));
  AddFloat("speed", TOFF(speed));
  AddFloat("wait", TOFF(wait));
  AddFloat("pause", TOFF(pause));
  AddFloat("dmg", TOFF(dmg));
  AddFloat("lip", TOFF(lip));
  AddInt("style", TOFF(style));
  AddFloat("RGB", TOFF(rgb), 3);
  AddNumbered("begin", kEntDoorPoints, FORM_FLOAT, 3, TOFF(begin), sizeof(vec3));
  AddNumbered("end", kEntDoorPoints, FORM_FLOAT, 3, TOFF(end), sizeof(vec3));
  AddNumbered("name", kEntLods, FORM_TEXT, 64, TOFF(name), 64);
  AddNumbered("secondname", kEntLods, FORM_TEXT, 64, TOFF(secondname), 64);
  AddNumbered("deadname", kEntLods, FORM_TEXT, 64, TOFF(deadname), 64);
  AddText("shadowname", TOFF(shadowname), 64);
  AddFloat("lodmindist", TOFF(lodmindist[0]));
  AddFloat("lodmaxdist", TOFF(lodmaxdist[0]));
  for (int i = 1; i < kEntLods; i++) {
    char name[32];
    std::snprintf(name, sizeof name, "lodmindist%i", i);
    AddFloat(name, TOFF(lodmindist) + i * 4);
    std::snprintf(name, sizeof name, "lodmaxdist%i", i);
    AddFloat(name, TOFF(lodmaxdist) + i * 4);
  }
  AddText("weaponmodelname", TOFF(weaponmodelname), 64);
  AddText("firemodelname", TOFF(firemodelname), 64);
  AddText("changetextures", TOFF(changetextures), sizeof T::changetextures);
  AddFloat("volume", TOFF(volume));
  AddFloat("scale", TOFF(scale), 3);
  AddText("id", TOFF(id), sizeof T::id);
  AddInt("blocked", TOFF(blocked));
  AddInt("drawed", TOFF(drawed));
  AddInt("startframe", TOFF(startframe));
  AddInt("endframe", TOFF(endframe));
  AddNumbered("speedframe", kEntAnims, FORM_FLOAT, 1, TOFF(speedframe), 4);
  AddText("skel", TOFF(skel), 64);
  AddNumbered("anim", kEntAnims, FORM_TEXT, 64, TOFF(anim), 64);
  AddText("particlestexture", TOFF(particlestexture), 64);
  AddText("particlesparent", TOFF(particlesparent), 64);
  AddFloat("particlesorigin", TOFF(particlesorigin), 3);
  AddFloat("particlesscale", TOFF(particlesscale));
  AddInt("particlesfade", TOFF(particlesfade));
  AddFloat("particlescolor", TOFF(particlescolor), 4);
  AddText("solid", TOFF(solid), 64);
  AddText("shot", TOFF(shot), 64);
  AddText("physics", TOFF(physics), 64);
  AddText("sound", TOFF(sound), 64);
  AddText("sound2", TOFF(sound2), 64);
  AddText("sound_walk", TOFF(sound_walk), 64);
  AddNumbered("sound_taunt", 2, FORM_TEXT, 64, TOFF(sound_taunt), 64, 2);
  AddNumbered("sound_alarm", 2, FORM_TEXT, 64, TOFF(sound_alarm), 64, 2);
  AddNumbered("sound_pain", 2, FORM_TEXT, 64, TOFF(sound_pain), 64, 2);
  AddNumbered("sound_panic", 2, FORM_TEXT, 64, TOFF(sound_panic), 64, 2);
  AddNumbered("sound_idle", 2, FORM_TEXT, 64, TOFF(sound_idle), 64, 2);
  AddText("sound_dead", TOFF(sound_dead), 64);
  AddFloat("soundorigin", TOFF(soundorigin), 3);
  AddText("dialog", TOFF(dialog), 64);
  AddText("killog", TOFF(killog), 64);
  AddFloat("mindist", TOFF(mindist));
  AddText("command", TOFF(command), 256);
  AddText("use_quest", TOFF(use_quest), 256);
  AddText("use_text", TOFF(use_text), 256);
  AddFloat("friction", TOFF(friction));
  AddFloat("damage_on_touch", TOFF(damage_on_touch));
  AddText("stepsound", TOFF(stepsound), 256);
  AddText("project_map", TOFF(project_map), 256);
  AddFloat("project_origin", TOFF(project_origin), 3);
  AddText("lens", TOFF(lens), 256);
  AddText("glare", TOFF(glare), 256);
  AddFloat("dinamiclight", TOFF(dinamiclight));
  AddFloat("viewbox", TOFF(viewbox), 6);
  AddFloat("viewfar", TOFF(viewfar));
  AddKey("fogcolor", FORM_FLOAT, 3, TOFF(fogcolor[0]), TOFF(fogcolor[1]));
  AddKey("fogstart", FORM_FLOAT, 1, TOFF(fogstart[0]), TOFF(fogstart[1]));
  AddKey("fogend", FORM_FLOAT, 1, TOFF(fogend[0]), TOFF(fogend[1]));
  AddFloat("fogcolor2", TOFF(fogcolor[1]), 3);
  AddFloat("fogstart2", TOFF(fogstart[1]));
  AddFloat("fogend2", TOFF(fogend[1]));
  AddFloat("respawntime", TOFF(respawntime));
  AddText("inventorys", TOFF(inventorys), sizeof T::inventorys);
  AddText("conditions", TOFF(conditions), 256);
  AddText("drawon", TOFF(drawon), 512);
  AddText("drawoff", TOFF(drawoff), 512);
  AddText("path", TOFF(path), 64);
  AddText("pathend", TOFF(pathend), 64);
  AddFloat("kicktime", TOFF(kicktime));
  AddFloat("kicktime2", TOFF(kicktime2));
  AddText("deadexplodweaponname", TOFF(deadexplodweaponname), 64);
  AddFloat("deadexplodeorigin", TOFF(deadexplodeorigin), 3);
  AddFloat("deadexplodetime", TOFF(deadexplodetime));
  AddInt("drawmove", TOFF(drawmove));
  AddFloat("clipbox", TOFF(clipbox), 6);
  AddInt("solidbox", TOFF(solidbox));
  AddKey("team", FORM_TEAM, 1, TOFF(team));
  AddFloat("health", TOFF(health));
  AddFloat("panichealth", TOFF(panichealth));
  AddFloat("awayhealth", TOFF(awayhealth));
  AddKey("aistate", FORM_AISTATE, 1, TOFF(aistate));
  AddFloat("aiorigin", TOFF(aiorigin), 3);
  AddText("aiobject", TOFF(aiobject), 64);
  AddKey("agressive_on", FORM_AGGRESSION, 1, TOFF(agressive_on));
  AddFloat("ai_detect_fov", TOFF(ai_detect_fov));
  AddFloat("ai_detect_dist", TOFF(ai_detect_dist));
  AddFloat("ai_detect_step", TOFF(ai_detect_step));
  AddFloat("ai_hear", TOFF(ai_hear));
  AddFloat("ai_agressive", TOFF(ai_agressive));
  AddText("trigger", TOFF(trigger), 64);
  AddText("triggercommand", TOFF(triggercommand), 256);
  AddText("triggercommandtext", TOFF(triggercommandtext), 256);
  AddText("door_trigger", TOFF(door_trigger), 64);
  AddInt("igv", TOFF(igv));
  AddInt("holdweapon", TOFF(holdweapon));
  AddKey("precache_model", FORM_PRECACHE_MODEL, 0, -1);
  AddKey("precache_skel", FORM_PRECACHE_SKEL, 0, -1);
  AddKey("precache_anim", FORM_PRECACHE_ANIM, 0, -1);
  AddKey("precache_sound", FORM_NONE, 0, -1);
  AddText("teamname", TOFF(teamname), sizeof T::teamname);
  AddText("aiscript", TOFF(aiscript), sizeof T::aiscript);
  AddText("car", TOFF(car), sizeof T::car);
  AddFloat("weight", TOFF(weight));
  AddInt("sex", TOFF(sex));
  AddInt("group", TOFF(group));
  AddFloat("light_light", TOFF(light_light));
  AddFloat("light_origin", TOFF(light_origin), 3);
  AddFloat("light_light_radius", TOFF(light_light_radius), 3);
  AddFloat("light_light_origin", TOFF(light_light_origin), 3);
  AddFloat("light_light_center", TOFF(light_light_center), 3);
  AddFloat("light__color", TOFF(light_color), 3);
  AddInt("light_noshadows", TOFF(light_noshadows));
  AddInt("light_nodiffuse", TOFF(light_nodiffuse));
  AddInt("light_nospecular", TOFF(light_nospecular));
  AddFloat("light_falloff", TOFF(light_falloff));
  AddText("light_texture", TOFF(light_texture), 256);
  AddText("light_model", TOFF(light_model), 256);
  AddText("light_s_shader", TOFF(light_s_shader), 256);
  AddFloat("light_s_volume", TOFF(light_s_volume));
  AddFloat("light_light_target", TOFF(light_light_target), 3);
  AddFloat("light_light_up", TOFF(light_light_up), 3);
  AddFloat("light_light_right", TOFF(light_light_right), 3);
  AddFloat("light_light_start", TOFF(light_light_start), 3);
  AddFloat("light_light_end", TOFF(light_light_end), 3);
  AddFloat("light_rotation", TOFF(light_rotation), 9);
  AddNumbered("light_shaderparm", 8, FORM_FLOAT, 1, TOFF(light_shaderparm), 4, -1);
  AddInt("car_usable", TOFF(car_usable));
  AddInt("noBlood", TOFF(noBlood));
}

static const char* const kClassNames[kEntClassCount] = {
    "", "info_player_start", "info_player_deathmatch", "sound", "world", "sky", "areol", "anim", "func_door",
    "npc", "light"};
static uint32_t g_classHash[kEntClassCount];
static bool g_hashesReady;

static void Ent_FillHashes() {
  if (g_hashesReady) return;
  g_hashesReady = true;
  g_keyRows = 0;
  Ent_BuildKeys();
  g_keyHash = IntHash_Create(2 * kEntKeyCount, 0);
  for (int r = g_keyRows - 1; r >= 1; r--) {  // backwards, so the first row of a hash is kept
    g_keys[r].hash = Name_HashStr(g_keys[r].key);
    int32_t key = int32_t(g_keys[r].hash);
    if (g_keyHash && key >= kIntHashLowestKey) {
      uint32_t first = IntHash_Get(g_keyHash, key);
      g_keys[r].nextSameHash = int32_t(first);
      IntHash_Set(g_keyHash, key, uint32_t(r));
    }
  }
  for (int i = 0; i < kEntClassCount; i++) g_classHash[i] = Name_HashStr(kClassNames[i]);
}

const char* Ent_KeyName(int row) {
  Ent_FillHashes();
  return row >= 0 && row < g_keyRows ? g_keys[row].key : nullptr;
}

int Ent_FindKey(const char* key) {
  Ent_FillHashes();
  if (!key || !*key) return 0;
  uint32_t hash = Name_HashStr(key);
  int32_t k = int32_t(hash);
  if (g_keyHash && k >= kIntHashLowestKey) {
    for (int r = int(IntHash_Get(g_keyHash, k)); r > 0; r = g_keys[r].nextSameHash)
      if (strcasecmp(g_keys[r].key, key) == 0) return r;
    return 0;
  }
  for (int r = 1; r < g_keyRows; r++)
    if (g_keys[r].hash == hash && strcasecmp(g_keys[r].key, key) == 0) return r;
  return 0;
}

const char* Ent_ClassName(int row) { return row >= 0 && row < kEntClassCount ? kClassNames[row] : nullptr; }

int Ent_FindClass(const char* name) {
  Ent_FillHashes();
  if (!name) return 0;
  uint32_t hash = Name_HashStr(name);
  for (int r = 1; r < kEntClassCount; r++)
    if (g_classHash[r] == hash && strcasecmp(kClassNames[r], name) == 0) return r;
  return 0;
}

// ---- The template ---------------------------------------------------------------------------------

const char* const Ent_AiStateNames[14] = {
    "STAY",         "WALK_ORIGIN",   "WALK_OBJECT", "RUN_ORIGIN",  "RUN_OBJECT",  "PATROL_ORIGIN", "PATROL_OBJECT",
    "PANIC",        "AWAY_ORIGIN",   "AWAY_OBJECT", "WALK_RANDOM", "WALK_CIVILIAN", "CAR",         "BOT"};
const char* const Ent_AggressionNames[5] = {"AGRESSIVE_ON_NONE", "AGRESSIVE_ON_PLAYER_SHOTED",
                                            "AGRESSIVE_ON_PLAYER_NEAR_SHOT", "AGRESSIVE_ON_PLAYER_VISIBLE",
                                            "AGRESSIVE_ON_PLAYER_IN_ZONE"};

static SpawnTemplate Ent_MakeDefaults() {
  SpawnTemplate t{};
  t.speed = 100;
  t.wait = 3;
  t.lip = 8;
  t.rgb = vec3{1, 1, 1};
  std::snprintf(t.shadowname, sizeof t.shadowname, "anim\\shadow");
  t.lodmindist[0] = -1000000.0f;
  t.lodmaxdist[0] = 1000000.0f;
  t.volume = 1;
  t.scale = vec3{1, 1, 1};
  t.blocked = t.drawed = 1;
  for (float& s : t.speedframe) s = 1;
  t.particlesscale = 1;
  t.particlesfade = 1;
  for (float& c : t.particlescolor) c = 255;
  t.drawmove = 1;
  const float box[6] = {-16, -16, 0, 16, 16, 64};
  std::memcpy(t.clipbox, box, sizeof box);
  t.health = 100;
  t.agressive_on = 1;
  t.ai_detect_fov = 90;
  t.ai_detect_dist = 1600;
  t.ai_detect_step = 300;
  t.ai_hear = 1;
  t.ai_agressive = 0.5f;
  t.holdweapon = 1;
  t.weight = 100;
  t.light_light = 256;
  t.light_light_radius = vec3{256, 256, 256};
  t.light_color = vec3{1, 1, 1};
  t.light_s_volume = 1;
  t.light_light_target = vec3{0, 1, 0};
  t.light_light_up = vec3{0, 0, 1};
  t.light_light_right = vec3{1, 0, 0};
  t.light_rotation[0] = t.light_rotation[4] = t.light_rotation[8] = 1;
  return t;
}

// The rows applied since the last reset: only their fields differ from the defaults.
static uint8_t g_rowDirty[kEntKeyCount];
static int16_t g_dirtyRows[kEntKeyCount];
static int g_dirtyCount;
static bool g_templateFresh;

// The bytes a row writes at its field (and as many at its twin).
static size_t Ent_RowBytes(const EntKeyRow& k) {
  switch (k.form) {
    case FORM_TEXT:
    case FORM_WORD: return k.n;
    case FORM_FLOAT:
    case FORM_ANGLE: return size_t(k.n) * 4;
    case FORM_INT:
    case FORM_BRUSH:
    case FORM_TARGET:
    case FORM_TEAM:
    case FORM_AISTATE:
    case FORM_AGGRESSION: return 4;
    default: return 0;
  }
}

void SpawnTemplate_Reset() {
  static const SpawnTemplate defaults = Ent_MakeDefaults();
  Ent_FillHashes();
  auto* to = reinterpret_cast<uint8_t*>(&Ent_Template);
  const auto* from = reinterpret_cast<const uint8_t*>(&defaults);
  if (!g_templateFresh) {
    std::memcpy(&Ent_Template, &defaults, sizeof defaults);
    g_templateFresh = true;
  } else {
    for (int i = 0; i < g_dirtyCount; i++) {
      const EntKeyRow& k = g_keys[g_dirtyRows[i]];
      size_t bytes = Ent_RowBytes(k);
      if (k.offset >= 0) std::memcpy(to + k.offset, from + k.offset, bytes);
      if (k.twin >= 0) std::memcpy(to + k.twin, from + k.twin, bytes);
    }
  }
  for (int i = 0; i < g_dirtyCount; i++) g_rowDirty[g_dirtyRows[i]] = 0;
  g_dirtyCount = 0;
}

static int Ent_ListIndex(const char* const* list, int count, const char* value) {
  for (int i = 0; i < count; i++)
    if (strcasecmp(list[i], value) == 0) return i;
  return -1;
}

void block_support(const char* key, const char* value) {
  if (!key || !value) return;
  int row = Ent_FindKey(key);
  if (row == 0) {
    Ent_Printf("block_support: wrning, unknown %s\n", key);
    return;
  }
  const EntKeyRow& k = g_keys[row];
  if (!g_rowDirty[row]) {
    g_rowDirty[row] = 1;
    g_dirtyRows[g_dirtyCount++] = int16_t(row);
  }
  auto* base = reinterpret_cast<uint8_t*>(&Ent_Template);
  void* field = k.offset >= 0 ? base + k.offset : nullptr;
  switch (k.form) {
    case FORM_NONE:
      return;
    case FORM_TEXT:
      Ent_CopyText(static_cast<char*>(field), k.n, value, k.key);
      break;
    case FORM_WORD:
      Ent_CopyWord(static_cast<char*>(field), k.n, value, k.key);
      break;
    case FORM_INT: {
      int32_t v;
      if (Ent_ParseInt(value, &v)) std::memcpy(field, &v, 4);
      break;
    }
    case FORM_FLOAT:
      if (Ent_ParseFloats(value, static_cast<float*>(field), k.n) == 0) return;
      break;
    case FORM_BRUSH:
    case FORM_TARGET: {
      int32_t v;
      if (value[0] == (k.form == FORM_BRUSH ? '*' : 't') && Ent_ParseInt(value + 1, &v)) std::memcpy(field, &v, 4);
      break;
    }
    case FORM_TEAM:
      if (strcasecmp(value, "red") == 0) Ent_Template.team = 1;
      else if (strcasecmp(value, "blue") == 0) Ent_Template.team = 2;
      break;
    case FORM_AISTATE: {
      int i = Ent_ListIndex(Ent_AiStateNames, 14, value);
      if (i >= 0) Ent_Template.aistate = i;
      break;
    }
    case FORM_AGGRESSION: {
      int i = Ent_ListIndex(Ent_AggressionNames, 5, value);
      if (i >= 0) Ent_Template.agressive_on = i;
      break;
    }
    case FORM_CALL:
      Ent_Call(value);
      break;
    case FORM_ANGLE: {
      // Degrees in the text; only the numbers given are converted.
      float degrees[3];
      int n = Ent_ParseFloats(value, degrees, 3);
      float* angle = &Ent_Template.angle.x;
      for (int i = 0; i < n; i++) angle[i] = degrees[i] * kMathPi * 0.0055555557f;
      break;
    }
    case FORM_PRECACHE_MODEL:
      Model_Get(value);
      break;
    case FORM_PRECACHE_SKEL:
      Skel_Get(value);
      break;
    case FORM_PRECACHE_ANIM:
      Anim_Get(value);
      break;
  }
  if (k.twin >= 0 && field) std::memcpy(base + k.twin, field, size_t(k.n) * 4);
}

int Ent_SpawnflagsAllow(int32_t flags) {
  if (Game_NetMode != 0) return (flags & 0x800) ? 0 : 1;
  return (flags & 0x700) == 0x700 ? 0 : 1;
}
