#include "world/gamevars.h"

#include "ai/bot.h"
#include "characters/actions.h"
#include "characters/defs.h"
#include "foundation/input.h"
#include "foundation/log.h"
#include "world/beam.h"

// "set": written to the settings file only when the file set it; "always": always written.
static VarRecord cl_jumpspeed = {"cl_jumpspeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 270.0f, "270", 0, nullptr};
static VarRecord cl_upspeed = {"cl_upspeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 200.0f, "200", 0, nullptr};
static VarRecord cl_forwardspeed = {"cl_forwardspeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 200.0f, "200", 0, nullptr};
static VarRecord cl_forwardspeed2 = {"cl_forwardspeed2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 200.0f, "200", 0, nullptr};
static VarRecord cl_backspeed = {"cl_backspeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 200.0f, "200", 0, nullptr};
static VarRecord cl_backspeed2 = {"cl_backspeed2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 200.0f, "200", 0, nullptr};
static VarRecord cl_sidespeed = {"cl_sidespeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 175.0f, "175", 0, nullptr};
static VarRecord cl_sidespeed2 = {"cl_sidespeed2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 175.0f, "175", 0, nullptr};
static VarRecord cl_rotatespeed = {"cl_rotatespeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 2.4434609f, "2.4434609", 0, nullptr};
static VarRecord cl_rotatespeed2 = {"cl_rotatespeed2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 2.4434609f, "2.4434609", 0, nullptr};
static VarRecord cl_movespeedkey = {"cl_movespeedkey", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 2.0f, "2", 0, nullptr};
static VarRecord cl_rotatespeedkey = {"cl_rotatespeedkey", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 1.5f, "1.5", 0, nullptr};
static VarRecord cl_flyfriction = {"cl_flyfriction", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 6.0f, "6", 0, nullptr};
static VarRecord cl_flyfriction2 = {"cl_flyfriction2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 6.0f, "6", 0, nullptr};
static VarRecord cl_alwaysrun = {"cl_alwaysrun", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 1.0f, "1", 0, nullptr};
static VarRecord sv_gravity = {"sv_gravity", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 800.0f, "800", 0, nullptr};
static VarRecord sv_gravity2 = {"sv_gravity2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 800.0f, "800", 0, nullptr};
static VarRecord sv_friction = {"sv_friction", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 4.0f, "4", 0, nullptr};
static VarRecord sv_stopspeed = {"sv_stopspeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 100.0f, "100", 0, nullptr};
static VarRecord sv_stopspeed2 = {"sv_stopspeed2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 100.0f, "100", 0, nullptr};
static VarRecord sv_maxvelocity = {"sv_maxvelocity", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 2000.0f, "2000", 0, nullptr};
static VarRecord sv_maxvelocity2 = {"sv_maxvelocity2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 2000.0f, "2000", 0, nullptr};
static VarRecord sv_edgefriction = {"sv_edgefriction", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 2.0f, "2", 0, nullptr};
static VarRecord sv_maxspeed = {"sv_maxspeed", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 320.0f, "320", 0, nullptr};
static VarRecord sv_maxspeed2 = {"sv_maxspeed2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 320.0f, "320", 0, nullptr};
static VarRecord sv_accelerate = {"sv_accelerate", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 10.0f, "10", 0, nullptr};
static VarRecord sv_accelerate2 = {"sv_accelerate2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 10.0f, "10", 0, nullptr};
static VarRecord render_drawweapon = {"render_drawweapon", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 1.0f, "1", 0, nullptr};
static VarRecord render_eyeheight = {"render_eyeheight", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 1.8f, "1.8", 0, nullptr};
static VarRecord render_thirdviewdisp = {"render_thirdviewdisp", 0, VAR_SETTABLE | VAR_ALWAYS, 0, "0 -80 64", 0, nullptr};
VarRecord render_drawavi = {"render_drawavi", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 0, "0", 0, nullptr};
static VarRecord game_autoweaponswitch = {"game_autoweaponswitch", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 0, "0", 0, nullptr};
VarRecord game_playername = {"game_playername", 0, VAR_SETTABLE | VAR_ALWAYS, 0, "Wren", 0, nullptr};
static VarRecord game_gore = {"game_gore", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 1.0f, "1", 0, nullptr};
static VarRecord game_crosshair = {"game_crosshair", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 1.0f, "1", 0, nullptr};
static VarRecord game_npcdetail = {"game_npcdetail", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 1.0f, "1", 0, nullptr};
static VarRecord game_texturedetail = {"game_texturedetail", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 2.0f, "2", 0, nullptr};
static VarRecord game_physics = {"game_physics", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 0.2f, "0.2", 0, nullptr};
VarRecord game_name = {"game_name", 0, VAR_SETTABLE | VAR_ALWAYS, 0, "", 0, nullptr};
// Kept beside sv_friction for the second movement set, but never registered: the settings file
// neither reads nor writes it.
static VarRecord sv_friction2 = {"sv_friction2", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 4, "4", 0, nullptr};

VarRecord* const GameVars_Table[kGameSettings] = {
    &cl_jumpspeed,
    &cl_upspeed,
    &cl_forwardspeed,
    &cl_forwardspeed2,
    &cl_backspeed,
    &cl_backspeed2,
    &cl_sidespeed,
    &cl_sidespeed2,
    &cl_rotatespeed,
    &cl_rotatespeed2,
    &cl_movespeedkey,
    &cl_rotatespeedkey,
    &cl_flyfriction,
    &cl_flyfriction2,
    &cl_alwaysrun,
    &sv_gravity,
    &sv_gravity2,
    &sv_friction,
    &sv_stopspeed,
    &sv_stopspeed2,
    &sv_maxvelocity,
    &sv_maxvelocity2,
    &sv_edgefriction,
    &sv_maxspeed,
    &sv_maxspeed2,
    &sv_accelerate,
    &sv_accelerate2,
    &render_drawweapon,
    &render_eyeheight,
    &render_thirdviewdisp,
    &render_drawavi,
    &game_autoweaponswitch,
    &game_playername,
    &game_gore,
    &game_crosshair,
    &game_npcdetail,
    &game_texturedetail,
    &game_physics,
    &game_name,
};

// Experience where each level starts: the first eleven, then steps that keep growing by about 70
// a level, up to the last real level and the cap behind it. Integers below 2^24, exact in f32.
struct ExperienceValues {
  float e[kExperienceLevels + 1];
};
static constexpr ExperienceValues Game_MakeExperience() {
  ExperienceValues v{};
  constexpr int first[11] = {0, 1370, 2807, 4311, 5882, 7522, 9229, 11006, 12851, 14765, 16749};
  int e = 0;
  for (int i = 0; i < 11; i++) v.e[i] = float(e = first[i]);
  for (int k = 1; k <= 288; k++) {
    e += 1984 + 70 * k + (k * k * 2590) / 10000;
    v.e[10 + k] = float(e);
  }
  v.e[299] = 5617930.0f;
  v.e[300] = 100000000.0f;
  return v;
}
static constexpr ExperienceValues kExperience = Game_MakeExperience();
static constexpr bool Game_ExperienceIncreases() {
  for (int i = 0; i < kExperienceLevels; i++)
    if (!(kExperience.e[i] < kExperience.e[i + 1])) return false;
  return true;
}
static_assert(Game_ExperienceIncreases(), "experience values strictly increase");
static_assert(kExperience.e[298] < 5617930.0f && kExperience.e[299] == 5617930.0f);

float Game_ExperienceTable[kExperienceLevels][4];

int Game_ExperienceLevel(float experience) {
  for (int i = 0; i < kExperienceLevels; i++)
    if (experience < Game_ExperienceTable[i][3]) return i;
  return kExperienceLevels;
}

int GameVars_Init(int stage) {
  if (stage == 0) {
    for (VarRecord* v : GameVars_Table) Var_Register(v);
    ai_RegisterVars();
    (void)sv_friction2;
    return 0;
  }
  if (stage != 1) return stage - 1;
  // Added in table order, so the list runs from the last action to the first.
  Input_ClearCommands();
  for (InputCommand& action : PlayerActionTable) Input_AddCommand(&action);
  Def_LoadWeapons();
  Def_LoadArmors();
  Def_LoadItems();
  Def_LoadGoods();
  Def_LoadTatus();
  Def_LoadTranss();
  Def_LoadMagazines();
  Def_LoadCars();
  Def_LoadShops();
  for (int i = 0; i < kExperienceLevels; i++) {
    float* row = Game_ExperienceTable[i];
    row[0] = kExperience.e[i];
    row[1] = row[2] = 1.0f;
    row[3] = kExperience.e[i + 1];
    Log_Printf("%i [%f %f]\n", i, double(row[0]), double(row[3]));
  }
  Beam_CreateAll();
  return 0;
}

void GameVars_Free() { Beam_FreeAll(); }
