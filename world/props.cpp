#include "world/props.h"

#include <cmath>
#include <string>
#include <utility>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "characters/defs.h"
#include "characters/inventory.h"
#include "characters/player.h"
#include "foundation/log.h"
#include "foundation/partoken.h"
#include "foundation/random.h"
#include "foundation/text.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "physics/physics.h"
#include "quests/quest.h"
#include "render/material.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "world/fx.h"
#include "world/game.h"
#include "world/gamevars.h"
#include "world/level.h"
#include "world/net.h"
#include "world/speech.h"
#include "world/trace.h"

float Player_HackSkill;

void Ctf_Reset() {
  for (TeamFlag& f : NET_Flags) f = TeamFlag{};
}

// The pose at the place given, unscaled and without offset.
static void Prop_PoseAt(PropState& p, const vec3& origin, const vec3& angles) {
  p.poseOrigin = origin;
  p.poseAngles = angles;
  p.poseScale = vec3{1, 1, 1};
  p.poseOffset = vec3{0, 0, 0};
}

// The models of the three names (none for an empty name) and, for a new record (its scale still
// zero), the pose block at the object; a record read from a saved game keeps its pose.
void Prop_InitModels(GameObject* o) {
  PropState& p = o->prop;
  o->drawModel = p.modelName[0] ? Model_Get(p.modelName) : nullptr;
  o->clipModel = p.clipName[0] ? Model_Get(p.clipName) : nullptr;
  o->clipModel2 = p.clip2Name[0] ? Model_Get(p.clip2Name) : nullptr;
  if (p.poseScale.x != 0 || p.poseScale.y != 0 || p.poseScale.z != 0) return;
  Prop_PoseAt(p, o->origin, o->angles);
}

void Prop_Animate(GameObject* o) {
  if (o->flags & OBJ_ACTIVE) Prop_PoseAt(o->prop, o->origin, o->angles);
}

// One record for the draws and traces of props (the model reads it during the call only).
static ModelDrawParams g_propParams;

static ModelDrawParams* Prop_Params(const GameObject* o) {
  ModelDrawParams& p = g_propParams;
  p.skeleton = nullptr;
  p.poseA = p.poseB = nullptr;
  p.position = o->prop.poseOrigin;
  p.angles = o->prop.poseAngles;
  p.scale = o->prop.poseScale;
  p.offset = o->prop.poseOffset;
  // The object's own morph weights: a speaking prop's lips and face, 1 then zeros at rest.
  static_assert(sizeof p.drawValues == sizeof o->drawValues, "the model takes the object's draw values whole");
  std::memcpy(p.drawValues, o->drawValues, sizeof p.drawValues);
  p.farDistance = 0;
  p.texSubstitutionCount = 0;
  p.instances = nullptr;
  p.instanceCount = 0;
  return &p;
}

// Props and doors: solid objects when the mask asks for them; their clip box or their clip model.
static void Prop_Clip(GameObject* o, TraceRequest* tr) {
  if (o->prop.solid == 0 || !Obj_ClipAllowed(o, tr, TRACE_ANIMS)) return;
  tr->candidate = o;
  if (o->hasClipBox) {
    if (o->classNum == WORLD && (tr->mask & TRACE_COLLISION_MODEL) && o->prop.solid != 1) return;
    Obj_ClipOwnBox(o, tr);
    return;
  }
  ModelObject* model = (tr->mask & TRACE_COLLISION_MODEL) ? o->clipModel2 : o->clipModel;
  if (model) model->Trace(model, Prop_Params(o), tr);
}

// ---- shared rules -------------------------------------------------------------------------

void Obj_InfoReply(GameObject* o, const void* request, void* reply, const char* className, bool withPlace) {
  if (!o || !request || !reply) return;
  int32_t kind;
  std::memcpy(&kind, request, 4);
  if (kind == 1) {
    if (o->drawModel) o->drawModel->Query(o->drawModel, Prop_Params(o), request, reply);
    return;
  }
  if (kind != 0) return;
  int32_t one = 1;
  std::memcpy(reply, &one, 4);
  char* text = static_cast<char*>(reply) + 28;
  constexpr size_t kRoom = kObjInfoReplyBytes - 28;
  if (!withPlace) {
    std::snprintf(text, kRoom, "%i:%s[%s]", int(o->id), o->person.name, className);
    return;
  }
  constexpr double kDeg = 180.0 / 3.14159265358979323846;
  std::snprintf(text, kRoom, "%i:%s[%s]:[%i,%i,%i][%i,%i,%i]", int(o->id), o->person.name, className, int(o->origin.x),
                int(o->origin.y), int(o->origin.z), int(o->angles.x * kDeg), int(o->angles.y * kDeg),
                int(o->angles.z * kDeg));
}

bool Obj_BoxCulled(const GameObject* o, const ViewParams* view) {
  if (o->viewFar == 0 || !view) return false;
  for (int i = 0; i < 5; i++)
    if (View_BoxOutside(&view->planes[i], o->viewBox, &o->origin)) return true;
  vec3 forward, right, up;
  Mat_AxesFromAngles(&view->angles, &forward, &right, &up);
  const float* f = &forward.x;
  const float* org = &o->origin.x;
  const float* cam = &view->position.x;
  float ahead = 0;
  for (int k = 0; k < 3; k++) {
    float corner = f[k] > 0 ? o->viewBox[k] : o->viewBox[3 + k];
    ahead += (org[k] + corner - cam[k]) * f[k];
  }
  return ahead >= o->viewFar;
}

// ---- WORLD --------------------------------------------------------------------------------

static void World_DrawModel(ModelObject* model, const GameObject* o, ViewParams* view) {
  if (!model) return;
  ModelDrawParams* p = Prop_Params(o);
  p->lightingMode = o->prop.dynamicLight ? 3 : 1;
  model->Draw(model, p, view);
}

static const char* const kCtfBaseModels[2] = {"anim\\items\\ctf\\basered", "anim\\items\\ctf\\baseblu"};
static const char* const kCtfFlagModels[2] = {"anim\\items\\ctf\\flagred", "anim\\items\\ctf\\flagblu"};

static int Ctf_Team(const GameObject* o) { return o->person.team == 1 ? 1 : 0; }

void World_Draw(GameObject* o, ViewParams* view) {
  if (!(o->flags & OBJ_ACTIVE) || !o->prop.visible || o->person.state != 1) return;
  // Animated models run on the player's clock for this draw.
  float time = view ? view->time : 0;
  if (view && Obj_Player) view->time = float(Obj_Player->person.clock);
  int car = o->person.carIndex;
  if (car > 0 && car < kCarDefs) {
    ModelDrawParams* p = Prop_Params(o);
    p->lightingMode = o->prop.dynamicLight ? 3 : 1;
    Def_DrawCar(car, p, view);
  } else if (Game_NetMode != 0 && Game_NetGameType == 2 && o->person.ctfRole != 0) {
    int team = Ctf_Team(o);
    if (o->person.ctfRole == CTF_BASE) {
      World_DrawModel(Model_Find(kCtfBaseModels[team]), o, view);
      if (NET_Flags[team].state == 0) World_DrawModel(Model_Find(kCtfFlagModels[team]), o, view);
    } else if (o->person.state == 1) {
      World_DrawModel(Model_Find(kCtfFlagModels[team]), o, view);
    }
  } else {
    World_DrawModel(o->drawModel, o, view);
  }
  if (view) view->time = time;
}

void World_Clip(GameObject* o, TraceRequest* tr) { Prop_Clip(o, tr); }

void World_Think(GameObject* o) {
  if (Game_NetMode == 2 || o->person.state != 2) return;
  if (o->person.hiddenUntil < float(Game_Time)) o->person.state = 1;
}

// Capture the flag on a server: taking, returning and capturing flags by touching flags and bases.
static void World_UseCtf(GameObject* o, GameObject* user) {
  int team = Ctf_Team(o);
  int userTeam = user->person.team == 1 ? 1 : 0;
  if (o->person.ctfRole == CTF_FLAG) {
    if (NET_Flags[team].state != 2) return;
    if (userTeam != team) {
      NET_Flags[team].state = 1;
      NET_Flags[team].carrier = NET_LocalAddress;
    } else {
      NET_Flags[team].state = 0;
    }
    o->person.state = 2;
    o->person.hiddenUntil = float(Game_Time + 1e6);
  } else if (o->person.ctfRole == CTF_BASE) {
    if (userTeam != team) {
      if (NET_Flags[team].state == 0) {
        NET_Flags[team].state = 1;
        NET_Flags[team].carrier = NET_LocalAddress;
      }
    } else if (NET_Flags[team].state == 0) {
      for (int other = 0; other < 2; other++) {
        if (other == team || NET_Flags[other].state != 1 || NET_Flags[other].carrier != NET_LocalAddress) continue;
        NET_Flags[other].state = 0;
        NET_Flags[userTeam].score++;
      }
    }
  }
}

// Sets the visible word of every active object named in a bracketed list.
static void World_ShowList(const char* list, int32_t visible) {
  char name[kPersonNameSize];
  const char* rest = list;
  while (rest && Par_NextBracketTokenTo(rest, &rest, name, sizeof name)) {
    GameObject* target = Person_FindByName(name);
    if (target) target->prop.visible = visible;
  }
}

void World_Use(GameObject* o, GameObject* user, const char*) {
  if (!user || !(o->flags & OBJ_ACTIVE) || o->person.state != 1) return;
  bool character = user == Obj_Player || user->classNum == NPC;
  bool alive = user->person.state == 1;
  if (Game_NetMode == 1 && Game_NetGameType == 2 && character && alive) World_UseCtf(o, user);
  bool picker = user == Obj_Player || (user->classNum == NPC && user->npcControl == 13);
  if (picker && alive && o->person.itemText[0]) {
    int number = 0;
    if (Game_NetMode == 2) {
      if (o->person.name[0] == '#' && std::sscanf(o->person.name + 1, "%d", &number) == 1)
        NET_SendTouchRequest(number);
    } else {
      Person_ApplyPickup(o, user);
    }
  }
  if (user == Obj_Player) {
    World_ShowList(o->prop.drawOn, 1);
    World_ShowList(o->prop.drawOff, 0);
  }
}

void World_Info(GameObject* o, const void* rq, void* reply) { Obj_InfoReply(o, rq, reply, "WORLD", true); }

void World_InitPhysics(GameObject* o) {
  const PropState& p = o->prop;
  if (!p.physicsName[0] || !Physics_Enabled() || o->physicsBody) return;
  ModelObject* model = Model_Get(p.physicsName);
  if (!model) {
    Log_Printf("World_InitPhysics: no model %s for the physics of [%s]; no body\n", p.physicsName, o->person.name);
    return;
  }
  if (Physics_IsLevelModel(model)) {
    Physics_InitLevel(model);
    return;
  }
  if (!o->hasClipBox) {
    Log_Printf("World_InitPhysics: [%s] has no clip box (\"solidbox\"); no body\n", o->person.name);
    return;
  }
  Physics_AddBoxBody(o, o->clipBox, 0);
}

// The models, the physics level or body, the group name and, when the object sets a fog end, the
// level's fog.
void World_Init(GameObject* o) {
  Prop_InitModels(o);
  const PropState& p = o->prop;
  // A spawned object is placed after its Init (its spawner calls World_InitPhysics); a loaded
  // one comes placed and active.
  if (o->flags & OBJ_ACTIVE) World_InitPhysics(o);
  if (o->useGroupName[0]) o->useGroupIndex = ObjGroup_Add(o->useGroupName, o);
  if (p.fogEnd[0] != 0) {
    for (int s = 0; s < 2; s++) {
      for (int i = 0; i < 3; i++) Level_FogSets[s].color[i] = p.fogColor[s][i] / 255.0f;
      Level_FogSets[s].color[3] = 1.0f;
      Level_FogSets[s].start = p.fogStart[s];
      Level_FogSets[s].end = p.fogEnd[s];
    }
    Level_FogFlag = 1;
  }
}

// ---- ANIM ---------------------------------------------------------------------------------

// The first animation's seconds per cycle; 0 or less (or not a number) counts as one.
static float AnimObj_Duration(const GameObject* o) {
  float d = o->prop.speedFrames[0];
  return d > 0 && std::isfinite(d) ? d : 1.0f;
}

void AnimObj_Animate(GameObject* o) {
  PropState& p = o->prop;
  float duration = AnimObj_Duration(o);
  float phase;
  if (Obj_Player && Obj_Player->person.vehicleState == 2)
    phase = float(Game_Time / duration);
  else
    phase = p.phase + float(Game_Step) / duration;
  p.phase = phase - std::floor(phase);
  if (!(p.phase >= 0 && p.phase < 1)) p.phase = 0;
  Prop_PoseAt(p, o->origin, o->angles);
  if (o->skeleton && o->pose && p.anims[0][0]) {
    Animation* anim = Anim_Get(p.anims[0]);
    if (anim) Anim_EvalPose(o->skeleton, anim, p.phase, nullptr, o->pose, 1);
  }
}

void AnimObj_Draw(GameObject* o, ViewParams* view) {
  if (!(o->flags & OBJ_ACTIVE) || !o->prop.visible || !o->drawModel || Obj_BoxCulled(o, view)) return;
  ModelDrawParams* p = Prop_Params(o);
  p->lightingMode = 1;
  p->farDistance = o->viewFar;
  p->skeleton = o->skeleton;
  p->poseA = p->poseB = o->pose;
  o->drawModel->Draw(o->drawModel, p, view);
}

void AnimObj_Clip(GameObject* o, TraceRequest* tr) { Prop_Clip(o, tr); }

void AnimObj_Free(GameObject* o) {
  Speech_Free(o);
  delete[] o->pose;
  o->pose = nullptr;
}

static float Rand() { return Math_RandNext() - 0.5f; }

// The emitter: one particle every tenth of a second at most.
void AnimObj_Think(GameObject* o) {
  PropState& p = o->prop;
  Speech_Find(o, o->drawValues);  // animated props may speak lines
  if (Game_Step <= 0 || !p.particlesTexture[0] || float(Game_Time) - p.lastEmission < 0.1f) return;
  p.lastEmission = float(Game_Time);
  FxRecord* fx = Fx_Alloc();
  if (!fx) return;
  float size = p.particlesScale;
  vec3 base{o->origin.x + p.particlesOrigin.x, o->origin.y + p.particlesOrigin.y, o->origin.z + p.particlesOrigin.z};
  int bone = -1;
  if (p.particlesParent[0] && o->skeleton)
    for (int i = 0; i < o->skeleton->boneCount; i++)
      if (std::strcmp(o->skeleton->bones[i].name, p.particlesParent) == 0) bone = i;
  if (bone < 0) {
    fx->position = vec3{base.x + Rand() * size * 0.4f, base.y + Rand() * size * 0.4f, base.z + Rand() * size * 0.4f};
    fx->blendMode = 0;
  } else {
    mat3 rot;
    vec3 pos{};
    Skel_GetBoneTransform(o->skeleton, o->pose, o->pose, 1.0f, bone, &rot, &pos);
    fx->position = vec3{base.x + pos.x + Rand() * size, base.y + pos.y + Rand() * size, base.z + pos.z + Rand() * size};
    fx->blendMode = 1;
  }
  fx->velocity = vec3{Rand() * size * 0.1f, Rand() * size * 0.1f, Rand() * size * 0.1f};
  const float root5 = std::sqrt(5.0f);
  fx->acceleration = vec3{Rand() * size * root5 * 0.1f, Rand() * size * root5 * 0.1f, size * root5 * 0.2f};
  fx->size = size;
  fx->startTime = float(Game_Time);
  fx->duration = 5.0f;
  for (int i = 0; i < 4; i++) fx->color[i] = p.particlesColor[i];
  fx->fade = p.particlesFade;
  fx->material = uint32_t(Material_Load(p.particlesTexture));
  fx->active = 1;
}

void AnimObj_Info(GameObject* o, const void* rq, void* reply) { Obj_InfoReply(o, rq, reply, "ANIM", true); }

void AnimObj_Init(GameObject* o) {
  Prop_InitModels(o);
  PropState& p = o->prop;
  o->skeleton = p.skelName[0] ? Skel_Get(p.skelName) : nullptr;
  if (o->skeleton && !o->pose) o->pose = new BonePose[o->skeleton->boneCount]();
}

// ---- FUNC_DOOR ----------------------------------------------------------------------------

const vec3* Door_Point(const GameObject* door, int n) {
  if (n >= 0 && n < kPropDoorPoints) return &door->prop.doorA[n];
  if (n >= kDoorOpen && n < kDoorOpen + kPropDoorPoints) return &door->prop.doorB[n - kDoorOpen];
  return nullptr;
}

static int Door_NextPoint(int current, int target) {
  if (current >= kDoorOpen) return current % kDoorOpen;
  int g = target % kDoorOpen;
  return g > current ? current + 1 : g < current ? current - 1 : target;
}

static vec3 Lerp(const vec3& a, const vec3& b, float t) {
  return vec3{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.z + (b.z - a.z) * t};
}

void Door_Animate(GameObject* o) {
  PropState& p = o->prop;
  const vec3* a = Door_Point(o, p.point);
  const vec3* b = Door_Point(o, p.nextPoint);
  if (a && b) p.poseOrigin = Lerp(*a, *b, p.t);
  p.poseAngles = o->angles;
  p.poseScale = vec3{1, 1, 1};
  p.poseOffset = vec3{0, 0, 0};
}

void Door_Draw(GameObject* o, ViewParams* view) {
  if (!(o->flags & OBJ_ACTIVE) || !o->prop.visible || !o->drawModel) return;
  ModelDrawParams* p = Prop_Params(o);
  p->lightingMode = 1;
  p->farDistance = o->viewFar;
  float time = view ? view->time : 0;
  if (view) view->time = o->prop.t * o->prop.wait;
  o->drawModel->Draw(o->drawModel, p, view);
  if (view) view->time = time;
}

// Moves the player standing on the door along with it; a rising door lifts a little more.
static void Door_CarryRider(GameObject* o, const vec3& d, float lift) {
  GameObject* player = Obj_Player;
  if (!player || player->person.groundId != o->id) return;
  vec3 move{d.x, d.y, d.z + lift};
  Vec_Add(&player->origin, &move, &player->origin);
  Vec_Add(&player->prevOrigin, &move, &player->prevOrigin);
  for (int k = 0; k < 3; k++) player->person.eye[k] += (&move.x)[k];
  Player_ViewHeight += move.z;
}

void Door_Think(GameObject* o) {
  PropState& p = o->prop;
  float dt = float(Game_Step);
  float step = dt / p.wait;
  if (!(step > 0)) return;
  bool atTarget = false;
  for (int pass = 0; pass < kDoorMaxSubSteps && step > 0; pass++) {
    if (p.t >= 1) {
      if (p.point == p.targetPoint && !p.triggerCommand[0]) {
        atTarget = true;
        break;
      }
      p.point = p.nextPoint;
      p.t = 0;
      if (p.point != p.targetPoint) p.nextPoint = Door_NextPoint(p.point, p.targetPoint);
    }
    float f = std::min(p.t + step, 1.0f);
    const vec3* P = Door_Point(o, p.point);
    const vec3* Q = Door_Point(o, p.nextPoint);
    if (!P || !Q) return;
    if (P->x == Q->x && P->y == Q->y && P->z == Q->z) {
      p.t = f;
      return;
    }
    vec3 A = Lerp(*P, *Q, p.t), B = Lerp(*P, *Q, f);
    p.poseOrigin = o->origin = A;
    vec3 d{B.x - A.x, B.y - A.y, B.z - A.z};
    float lift = d.z > 0 ? dt * 0.1f : 0.0f;
    Door_CarryRider(o, d, lift);

    TraceResult hit;
    Obj_TraceBlocker(&hit, o, &d, 14);
    float reached = 1.0f;
    if (hit.fraction < 1.0f && hit.hitObject) {
      float c = hit.fraction;
      GameObject* blocker = hit.hitObject;
      if (blocker == Obj_Player && d.z > 0) blocker->person.groundId = o->id;
      vec3 rest{d.x * (1 - c), d.y * (1 - c), d.z * (1 - c)};
      vec3 before = blocker->origin;
      TraceResult pushed;
      Obj_TraceMove(&pushed, blocker, &rest, 14);
      reached = c + (1 - c) * pushed.fraction;
      o->origin = vec3{A.x + d.x * reached, A.y + d.y * reached, A.z + d.z * reached};
      vec3 moved{blocker->origin.x - before.x, blocker->origin.y - before.y, blocker->origin.z - before.z};
      if (blocker->physicsBody) {
        // A loose body goes on at the door's speed; the world's gravity and friction take over.
        float inv = dt > 0 ? 1.0f / dt : 0.0f;
        vec3 speed{moved.x * inv, moved.y * inv, moved.z * inv};
        Physics_PlaceObjectBody(blocker, &speed);
      }
      if (Vec_Length(&moved) < 1e-6) return;
    } else {
      o->origin = B;
    }
    if (f == p.t || reached == 0) return;
    float advance = (f - p.t) * reached;
    p.t += advance;
    step -= advance;
  }
  if (!atTarget || p.point != kDoorOpen || p.pause == 0) return;
  if (p.pauseTimer > 0) {
    p.pauseTimer -= dt;
    if (p.pauseTimer <= 0) {
      p.targetPoint = 0;
      p.pauseTimer = 0;
    }
  } else {
    p.pauseTimer = p.pause;
  }
}

// The text of a key, or the key itself when there is none, appended to a wide line.
static void Door_AppendText(std::u16string* line, const char* key) {
  const char16_t* text = Text_Get("data\\text\\", key);
  if (text && text[0] == kTextMark) text++;
  if (text) {
    *line += text;
  } else {
    for (const char* c = key; *c; c++) line->push_back(char16_t(uint8_t(*c)));
  }
}

static void Door_AppendAscii(std::u16string* line, const char* s) {
  for (; *s; s++) line->push_back(char16_t(uint8_t(*s)));
}

// Checks the requirement text; shows the first unmet one to the player at most once per message
// duration. Returns true when all are met.
static bool Door_RequirementsMet(GameObject* o, GameObject* user) {
  PropState& p = o->prop;
  if (!p.conditions[0] || Game_AllWeaponsFlag) return true;
  char word[64], value[64];
  const char* rest = p.conditions;
  while (rest && Par_NextBracketTokenTo(rest, &rest, word, sizeof word)) {
    std::u16string line;
    if (strcasecmp(word, "item") == 0) {
      if (!rest || !Par_NextBracketTokenTo(rest, &rest, value, sizeof value)) break;
      int item = Def_FindItem(value);
      if (item < 0 || Inv_HasItem(&user->person, INV_ITEM, item)) continue;
      Door_AppendText(&line, "consol\\You need");
      line += u' ';
      Door_AppendText(&line, Def_Items[item].text);
      line += u' ';
      Door_AppendText(&line, "consol\\to open this door");
    } else if (strcasecmp(word, "skill_hack") == 0) {
      if (!rest || !Par_NextBracketTokenTo(rest, &rest, value, sizeof value)) break;
      int need = std::atoi(value);
      if (need <= 0 || Player_HackSkill >= float(need)) continue;
      char number[16];
      std::snprintf(number, sizeof number, "%i", need);
      Door_AppendText(&line, "consol\\You need");
      line += u' ';
      Door_AppendAscii(&line, number);
      line += u' ';
      Door_AppendText(&line, "consol\\hack skill to open this door");
    } else {
      continue;
    }
    if (user == Obj_Player && (p.lastRefusal == 0 || Game_Time - p.lastRefusal > kConsoleMessageSeconds)) {
      // The line shows on the screen's clock; nothing in the world reads it back.
      Console_AddMessage(line.c_str(), Timer_FrameTime + kConsoleMessageSeconds);
      p.lastRefusal = Game_Time;
    }
    return false;
  }
  return true;
}

// Gives every "[objective] [condition] [script] [time]" entry of a text to the quest log.
static void Door_AddObjectives(const char* text) {
  char word[64], condition[128], script[128], limit[64];
  const char* rest = text;
  while (rest && Par_NextBracketTokenTo(rest, &rest, word, sizeof word)) {
    if (strcasecmp(word, "objective") != 0) continue;
    if (!rest || !Par_NextBracketTokenTo(rest, &rest, condition, sizeof condition)) return;
    if (!rest || !Par_NextBracketTokenTo(rest, &rest, script, sizeof script)) return;
    if (!rest || !Par_NextBracketTokenTo(rest, &rest, limit, sizeof limit)) return;
    float time = float(std::atof(limit));
    Que_AddObjective(condition, script, time);
    Log_Printf("incoming objective[%s][%s][%f] to player\n", condition, script, time);
  }
}

// A trigger's text: "[door] [n]" sets the target point (0..7 or 100..107), objectives are added.
static void Door_Obey(GameObject* o, const char* command) {
  char word[64], value[64];
  const char* rest = command;
  while (rest && Par_NextBracketTokenTo(rest, &rest, word, sizeof word)) {
    if (strcasecmp(word, "door") != 0) continue;
    if (!rest || !Par_NextBracketTokenTo(rest, &rest, value, sizeof value)) break;
    char* end = nullptr;
    long n = std::strtol(value, &end, 10);
    if (end == value || *end || !Door_Point(o, int(n)) || n != int(n)) {
      Log_Printf("Door_Use: point [%s] of door [%s] is not 0..7 or 100..107\n", value, o->person.name);
      continue;
    }
    o->prop.targetPoint = int(n);
    Log_Printf("incoming triggercommand [door] [%i]\n", int(n));
  }
  Door_AddObjectives(command);
}

void Door_Use(GameObject* o, GameObject* user, const char* command) {
  if (!(o->flags & OBJ_ACTIVE) || !user) return;
  if (!Door_RequirementsMet(o, user)) return;
  if (user == Obj_Player && user->person.state == 1) Door_AddObjectives(o->prop.command);
  if (command && command[0]) {
    Door_Obey(o, command);
    return;
  }
  if (!o->prop.triggerCommandText[0]) o->prop.targetPoint = kDoorOpen;
}

void Door_Info(GameObject* o, const void* rq, void* reply) { Obj_InfoReply(o, rq, reply, "FUNC_DOOR", false); }

void Door_Init(GameObject* o) {
  Prop_InitModels(o);
  if (o->useGroupName[0]) o->useGroupIndex = ObjGroup_Add(o->useGroupName, o);
  if (o->useGroup2Name[0]) o->useGroup2Index = ObjGroup_Add(o->useGroup2Name, o);
}
