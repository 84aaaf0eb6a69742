#include "characters/npc.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "ai/bot.h"
#include "characters/inventory.h"
#include "characters/person.h"
#include "characters/pose.h"
#include "foundation/log.h"
#include "foundation/sound.h"
#include "physics/physics.h"
#include "world/trace.h"
#include "quests/dialog.h"
#include "quests/quest.h"
#include "scene/model.h"
#include "scene/view.h"
#include "world/game.h"
#include "world/gameinput.h"
#include "world/props.h"
#include "world/tick.h"

namespace {

void CopyText(char* out, size_t size, const char* text) {
  std::snprintf(out, size, "%s", text ? text : "");
}

// The band whose distances hold the viewer's distance; band 0 when none does.
int LodBand(const GameObject* npc, float distance) {
  const PersonStats& ps = npc->person;
  for (int i = 0; i < kNpcLodBands; i++) {
    if (!ps.lodModels[i][0]) continue;
    if (distance >= ps.lodMin[i] && (ps.lodMax[i] <= 0 || distance < ps.lodMax[i])) return i;
  }
  return 0;
}

// Shows the model left behind once the death animation has run.
bool ShowsDeadModel(const GameObject* npc) {
  const PersonStats& ps = npc->person;
  return ps.state == 2 && ps.deadName[0] && ps.animTime >= (ps.deathSpeedFrame > 0 ? ps.deathSpeedFrame : 1.0f);
}

}  // namespace

int Npc_StateFromName(const char* name) {
  static const char* const kStates[kNpcStartStates] = {
      "STAY",        "WALK_ORIGIN", "WALK_OBJECT", "RUN_ORIGIN",  "RUN_OBJECT",    "PATROL_ORIGIN", "PATROL_OBJECT",
      "PANIC",       "AWAY_ORIGIN", "AWAY_OBJECT", "WALK_RANDOM", "WALK_CIVILIAN", "CAR",           "BOT"};
  if (!name) return 0;
  for (int i = 0; i < kNpcStartStates; i++)
    if (strcasecmp(name, kStates[i]) == 0) return i;
  return 0;
}

// The AI of a new character: its template's values, how its start state walks, and whether its
// body may be searched.
static void Npc_SetupAi(GameObject* o, const NpcSpawnValues* v) {
  bot_Setup(o, v->aiscript);
  bot_SetTemplate(o, v->agressive_on, v->ai_detect_fov, v->ai_detect_dist, v->mindist);
  BotState& b = o->bot;
  switch (o->person.aiState) {
    case NPC_WALK_RANDOM:
    case NPC_WALK_CIVILIAN: bot_SetWalk(o, BOT_WALK_CIVILIAN); break;
    case NPC_CAR:
      if (o->person.vehicleState) bot_SetWalk(o, BOT_WALK_CAR);
      break;
    case NPC_RUN_ORIGIN:
    case NPC_WALK_ORIGIN:
    case NPC_PATROL_ORIGIN:
      if (std::isfinite(v->aiorigin.x) && std::isfinite(v->aiorigin.y) && std::isfinite(v->aiorigin.z)) {
        b.goals[0] = v->aiorigin;
        b.goals[1] = o->origin;
        if (o->person.aiState == NPC_RUN_ORIGIN) b.aiFlags |= BOT_RUN;
        if (o->person.aiState == NPC_PATROL_ORIGIN) b.aiFlags |= BOT_PATROL;
        bot_SetWalk(o, BOT_WALK_POINTS);
      }
      break;
    default: break;
  }
  // A car is entered with the use key, never searched.
  if (o->person.carIndex || o->person.vehicleState) b.aiFlags |= BOT_NO_SEARCH;
}

GameObject* Npc_Spawn(const NpcSpawnValues* v) {
  if (!v) return nullptr;
  GameObject* o = Obj_Alloc();
  if (!o) {
    Log_Printf("Npc_Spawn: no object for [%s]\n", v->names[0] ? v->names[0] : "");
    return nullptr;
  }
  o->classNum = NPC;
  PersonStats& ps = o->person;
  // The "name" keys are models; the spawner names the character from its entity id, and one
  // without an id stays unnamed (a passer-by the tick may release when far).
  CopyText(ps.dialogueCue, sizeof ps.dialogueCue, v->dialog);
  o->origin = v->origin;
  o->prevOrigin = v->origin;
  o->angles = vec3{v->angle * kMathPi / 180.0f, 0, 0};
  if (v->viewbox) std::memcpy(o->viewBox, v->viewbox, sizeof o->viewBox);
  o->viewFar = v->viewfar;
  // The clip box serves both tests; "solidbox" says whether traces clip it or the own box.
  if (v->clipbox) {
    std::memcpy(o->clipBox, v->clipbox, sizeof o->clipBox);
    std::memcpy(o->clipBox2, v->clipbox, sizeof o->clipBox2);
    o->hasClipBox = v->solidbox ? 1 : 0;
  }
  CopyText(o->prop.clipName, sizeof o->prop.clipName, v->solid);
  CopyText(o->prop.clip2Name, sizeof o->prop.clip2Name, v->shot);
  CopyText(o->prop.physicsName, sizeof o->prop.physicsName, v->physics);
  CopyText(ps.skelName, sizeof ps.skelName, v->skel);
  CopyText(ps.animName, sizeof ps.animName, v->anim[0]);
  CopyText(ps.deathAnimName, sizeof ps.deathAnimName, v->anim[1]);
  ps.speedFrame = v->speedframe[0];
  ps.deathSpeedFrame = v->speedframe[1];
  CopyText(ps.deadName, sizeof ps.deadName, v->deadname[0]);
  for (int i = 0; i < kNpcLodBands; i++) {
    ps.lodMin[i] = v->lodmindist[i];
    ps.lodMax[i] = v->lodmaxdist[i];
  }
  // The first four names are the models of the four distance bands.
  for (int i = 0; i < kNpcLodBands; i++) CopyText(ps.lodModels[i], sizeof ps.lodModels[i], v->names[i]);
  CopyText(ps.soundPain, sizeof ps.soundPain, v->sound_pain[0]);
  CopyText(ps.soundDead, sizeof ps.soundDead, v->sound_dead);
  ps.maxHealth = ps.health = v->health > 0 ? v->health : 100.0f;
  ps.state = 1;
  ps.aiState = Npc_StateFromName(v->aistate);
  o->npcControl = ps.aiState == NPC_CAR || ps.aiState == NPC_BOT ? ps.aiState : 0;
  if (v->teamname && std::strlen(v->teamname) >= sizeof o->teamName)
    Log_Printf("Npc_Spawn: the team name \"%.40s...\" is too long; the character joins no team\n", v->teamname);
  else
    CopyText(o->teamName, sizeof o->teamName, v->teamname);
  // The entity's "blocked" and "drawed": a character that is not solid does not block walkers,
  // a hidden one is not drawn.
  o->prop.solid = v->blocked;
  o->prop.visible = v->drawed;
  CopyText(o->useScript, sizeof o->useScript, v->use_quest);
  CopyText(o->useArgument, sizeof o->useArgument, v->use_text);
  o->gender = v->sex ? 1 : 0;
  ps.group = v->group;
  ps.noBlood = v->noBlood ? 1 : 0;
  if (v->inventorys) Inv_AddFromText(&ps, v->inventorys);
  // A character with a "car" drives it; its definition row when there is one.
  if (v->car && v->car[0]) {
    int car = Def_FindCar(v->car);
    if (car > 0) {
      ps.carIndex = car;
      ps.vehicleState = 1;
    } else {
      Log_Printf("Npc_Spawn: no car [%s]; the character goes on foot\n", v->car);
    }
  }
  Load_ObjectX(o);
  o->flags |= OBJ_ACTIVE;
  Npc_SetupAi(o, v);
  return o;
}

// A dead character falls and rests as one flesh body of its box.
static void Npc_MakeFleshBody(GameObject* o) {
  if (!Physics_Enabled() || o->physicsBody || o->bodyReleased) return;
  const float box[6] = {o->mins.x, o->mins.y, o->mins.z, o->maxs.x, o->maxs.y, o->maxs.z};
  Physics_AddBoxBody(o, box, PHYS_FLESH);
}

// The least push a new body takes when its character dies, high on the body: enough to topple a
// man standing still, so that the dead fall whatever killed them. A killing bullet's or blast's own
// push comes on top and, being stronger, decides how far and how hard he falls.
constexpr float kDeathTipImpulse = 6000.0f;

// Tips a dead character's new body over away from the killing hit: from where the hit was, else
// from the attacker; a death with neither, or with a hit straight above him or at his own place
// (the key that kills every enemy), falls backwards.
static void Npc_TipBody(GameObject* o, GameObject* attacker, const vec3* at) {
  const int body = Physics_ObjectBody(o);
  if (body < 0) return;
  const vec3 mid = Physics_Bodies[body].position;
  if (!at && attacker && attacker != o) at = &attacker->origin;
  vec3 dir{0, 0, 0};
  if (at) dir = vec3{mid.x - at->x, mid.y - at->y, 0};
  if (!(Vec_Normalize(&dir) > 1.0)) {
    vec3 forward;
    Mat_AxesFromAngles(&o->angles, &forward, nullptr, nullptr);
    dir = vec3{-forward.x, -forward.y, 0};
    if (!(Vec_Normalize(&dir) > 0.01)) dir = vec3{0, -1, 0};
  }
  Person_PushBodyHigh(o, vec3{dir.x * kDeathTipImpulse, dir.y * kDeathTipImpulse, 0}, mid);
}

void Npc_Init(GameObject* o) {
  Person_UpdateBBox(o);
  Npc_PostLoad(o);
  // A loaded dead character gets its body back (a spawned one is not yet dead).
  if (o->person.state == 2 && (o->flags & OBJ_ACTIVE)) Npc_MakeFleshBody(o);
}

// The models of the distance bands, the skeleton and the two animations.
void Npc_PostLoad(GameObject* o) {
  PersonStats& ps = o->person;
  o->drawModel = ps.lodModels[0][0] ? Model_Get(ps.lodModels[0]) : nullptr;
  Pose_LoadSkeleton(o, ps.skelName);
  Pose_LoadAnim(o, ANIM_IDLE, ps.animName);
  Pose_LoadAnim(o, ANIM_DEAD, ps.deathAnimName);
}

void Npc_Think(GameObject* o) {
  if (Game_TickFrame.step > 0) o->person.animTime += Game_TickFrame.step;
}

void Npc_Animate(GameObject* o) {
  const PersonStats& ps = o->person;
  if (ps.state == 2) Pose_Update(o, ANIM_DEAD, ps.animTime, false, ps.deathSpeedFrame);
  else Pose_Update(o, ANIM_IDLE, ps.animTime, true, ps.speedFrame);
}

void Npc_Draw(GameObject* o, ViewParams* view) {
  if (!o->prop.visible) return;
  if (ShowsDeadModel(o)) {
    Pose_Draw(o, view, Model_Find(o->person.deadName));
    return;
  }
  // A car character is its car: the car definition's two models.
  if (o->person.carIndex > 0) {
    Def_DrawCarAt(o->person.carIndex, o->origin, o->angles.x, view);
    return;
  }
  ModelObject* model = o->drawModel;
  if (view) {
    vec3 d;
    Vec_Subtract(&o->origin, &view->position, &d);
    int band = LodBand(o, float(Vec_Length(&d)));
    if (band > 0) model = Model_Find(o->person.lodModels[band]);
    if (!model) model = o->drawModel;
  }
  Pose_Draw(o, view, model);
}

// A character that is not solid lets walkers through (their sweeps ask for no collision
// model); shots still hit it.
void Npc_Clip(GameObject* o, TraceRequest* tr) {
  if (!o->prop.solid && !(tr->mask & TRACE_COLLISION_MODEL)) return;
  Obj_ClipCharacter(o, tr);
}

void Npc_Free(GameObject* o) {
  Person_StopSounds(o);
  if (Dialog_Open && Dialog_Partner == o) Dialog_StartWithNpc(nullptr);
  Pose_Free(o);
}

void Npc_Damage(GameObject* o, GameObject* attacker, float amount, float, const vec3* at, int32_t, int32_t) {
  PersonStats& ps = o->person;
  if (ps.state == 2 || !(amount > 0)) return;
  bot_Hurt(o, attacker);
  ps.health -= amount;
  if (ps.health > 0) {
    if (ps.soundPain[0]) ps.voices[0] = Sound_Play(ps.soundPain, 1.0f, 100.0f, &o->origin.x, 0, SOUND_CAT_VOICES);
    return;
  }
  ps.health = 0;
  ps.state = 2;
  o->deathTime = float(Game_Time);
  if (Dialog_Open && Dialog_Partner == o) Dialog_End();  // the dead say nothing more, nor pay
  Que_CharacterDied(o);
  ps.animTime = 0;
  if (Physics_ObjectBody(o) < 0) {
    Npc_MakeFleshBody(o);
    Npc_TipBody(o, attacker, at);
  }
  if (ps.soundDead[0]) ps.voices[0] = Sound_Play(ps.soundDead, 1.0f, 100.0f, &o->origin.x, 0, SOUND_CAT_VOICES);
}

// Used by the local player's use key (a touch passes no argument and does nothing).
void Npc_Use(GameObject* o, GameObject* user, const char* argument) {
  if (!argument || !user || user != Obj_Player) return;
  Game_Use.characterTaken = Game_UseCharacter(user, o);
}

void Npc_Info(GameObject* o, const void* request, void* reply) { Obj_InfoReply(o, request, reply, "NPC", true); }
// The record takes the body's pose as it lies now: a push or a settle since the tick copied it
// would otherwise save the place it left, and the load builds the body anew from the record. The
// body itself is left as it is; the next tick copies the same pose.
void Npc_PreSave(GameObject* o) {
  Physics_SyncObject(o);
}
