#include "world/netplayer.h"

#include <cmath>
#include <cstring>

#include "characters/defs.h"
#include "characters/person.h"
#include "foundation/mem.h"
#include "foundation/sound.h"
#include "render/render.h"
#include "scene/model.h"
#include "scene/skeleton.h"
#include "scene/view.h"
#include "world/game.h"
#include "world/net.h"
#include "world/props.h"
#include "world/speech.h"
#include "world/trace.h"

namespace {

const char* const kFireModel = "anim\\jaxtorvin\\jaxtorvin_fire";
const char* const kRunAnim = "anim\\jaxtorvin\\jaxtorvin_run";
const char* const kDeathAnim = "anim\\jaxtorvin\\jaxtorvin_dead";
const char* const kSkeleton = "anim\\jaxtorvin\\jaxtorvin_stand";
const char* const kFlagModels[2] = {"anim\\items\\ctf\\flagred", "anim\\items\\ctf\\flagblu"};

// What a body holds beside its object: the pose the draw uses (first, so the object's pose
// pointer is the block), the death pose it blends toward, its models and animations.
struct NetBody {
  BonePose pose[kSkelMaxBones];
  BonePose dead[kSkelMaxBones];
  ModelObject* lods[kNpcLodBands];
  ModelObject* fire;
  Animation* run;
  Animation* death;
  ModelObject* flags[2];  // looked up at the first draw that carries a flag
  bool flagsLooked;
  ModelDrawParams params;
};

NetBody* Body(GameObject* o) { return reinterpret_cast<NetBody*>(o->pose); }

bool Active(const GameObject* o) { return (o->flags & OBJ_ACTIVE) != 0; }

// The root's travel over one run cycle; (0, 1, 0) without a run animation.
vec3 RunCycle(const NetBody* b) {
  if (!b || !b->run) return vec3{0, 1, 0};
  float first[3], last[3];
  Anim_GetKeyPosition(b->run, 0, 0, first);
  Anim_GetKeyPosition(b->run, 0, b->run->lastFrame, last);
  return vec3{last[0] - first[0], last[1] - first[1], last[2] - first[2]};
}

ModelObject* Named(const char* name) { return name && name[0] ? Model_Get(name) : nullptr; }

}  // namespace

void NetPlayer_Init(GameObject* o) {
  PersonStats& ps = o->person;
  if (!o->pose) {
    auto* b = static_cast<NetBody*>(Global_MallocZero(sizeof(NetBody), "NETBODY"));
    if (b) o->pose = b->pose;
  }
  o->clipModel = Named(o->prop.clipName);
  o->clipModel2 = Named(o->prop.clip2Name);
  o->skeleton = Skel_Get(kSkeleton);
  Speech_FreeTracks(o);
  std::memset(&o->speech, 0, sizeof o->speech);
  ps.voices[0] = 0;
  Speech_ResetValues(o->drawValues);
  NetBody* b = Body(o);
  if (!b) return;
  for (int i = 0; i < kNpcLodBands; i++) b->lods[i] = Named(ps.lodModels[i]);
  o->drawModel = b->lods[0];
  b->fire = Model_Get(kFireModel);
  b->run = Anim_Get(kRunAnim);
  b->death = Anim_Get(kDeathAnim);
  b->flagsLooked = false;
  if (o->skeleton) {
    size_t bytes = sizeof(BonePose) * size_t(o->skeleton->boneCount);
    std::memcpy(b->pose, o->skeleton->bindPose, bytes);
    std::memcpy(b->dead, o->skeleton->bindPose, bytes);
  }
}

void NetPlayer_Free(GameObject* o) {
  Person_StopSounds(o);
  Global_Free(Body(o));
  o->pose = nullptr;
  Model_Release(&o->skeleton);
}

void NetPlayer_Animate(GameObject* o) {
  if (!Active(o)) return;
  NetBody* b = Body(o);
  PropState& p = o->prop;
  vec3 cycle = RunCycle(b);
  p.backwards = cycle.y < 0;
  // The motion since the last animate, in the body's own frame (y forward).
  vec3 moved{o->origin.x - o->prevOrigin.x, o->origin.y - o->prevOrigin.y, o->origin.z - o->prevOrigin.z};
  vec3 turn{-o->angles.x, 0, 0}, local;
  mat3 m;
  Mat_FromAngles(&m, &turn);
  Vec_Rotate(&moved, &m, &local);
  // The legs cycle exactly as far as the body moved.
  p.prevPhase = p.phase;
  if (cycle.y != 0) {
    float phase = p.phase + local.y / std::fabs(cycle.y);
    phase -= std::floor(phase);
    p.phase = std::isfinite(phase) && phase >= 0 && phase < 1 ? phase : 0;
  }
  if (b && o->skeleton) {
    // The root stays at the origin: the cycle's own travel is taken back out.
    const float root[3] = {-cycle.x, -p.phase * cycle.y, -cycle.z};
    Anim_EvalPose(o->skeleton, b->run, p.phase, root, b->pose, 1);
    if (o->person.state == 2) {
      // The fall is blended in over half a second and plays over two.
      float dead = float(Game_Time) - o->deathTime;
      if (!(dead > 0)) dead = 0;
      float weight = std::fmin(2 * dead, 1.0f);
      Anim_EvalPose(o->skeleton, b->death, std::fmin(dead / 2, 1.0f), nullptr, b->dead, 0);
      Anim_BlendPoses(o->skeleton, b->pose, b->dead, weight, b->pose);
    }
  }
  o->prevOrigin = o->origin;
  p.prevAngles = o->angles;
}

void NetPlayer_Draw(GameObject* o, ViewParams* view) {
  NetBody* b = Body(o);
  if (!Active(o) || !o->prop.visible || !b || !view) return;
  // The band of the viewer's distance, measured as on a screen 1024 pixels wide.
  vec3 d;
  Vec_Subtract(&o->origin, &view->position, &d);
  float distance = float(Vec_Length(&d));
  if (Render_ScreenWidth > 0) distance *= 1024.0f / float(Render_ScreenWidth);
  const PersonStats& ps = o->person;
  int band = 0;
  for (int k = 0; k < kNpcLodBands; k++)
    if (ps.lodMin[k] < distance && distance < ps.lodMax[k]) {
      band = k;
      break;
    }
  ModelObject* model = b->lods[band];
  if (!model || Obj_BoxCulled(o, view)) return;

  const float f = Game_ViewBlend;
  ModelDrawParams& p = b->params;
  p.position = vec3{o->prevOrigin.x + (o->origin.x - o->prevOrigin.x) * f,
                    o->prevOrigin.y + (o->origin.y - o->prevOrigin.y) * f,
                    o->prevOrigin.z + (o->origin.z - o->prevOrigin.z) * f};
  float yaw = 0;
  Math_LerpAngle(o->prop.prevAngles.x, o->angles.x, f, &yaw);
  if (o->prop.backwards) yaw += kMathPi;
  p.angles = vec3{yaw, 0, 0};
  p.scale = vec3{1, 1, 1};
  p.offset = vec3{0, 0, 0};
  p.farDistance = o->viewFar;
  p.lightingMode = 1;
  std::memcpy(p.drawValues, o->drawValues, sizeof p.drawValues);
  p.skeleton = o->skeleton;
  p.poseA = p.poseB = o->skeleton ? b->pose : nullptr;
  p.texSubstitutionCount = 0;
  p.instances = nullptr;
  p.instanceCount = 0;
  model->Draw(model, &p, view);

  // The muzzle flash over the first fifth of the shot interval; a weapon outside the table (it
  // came off the network) shows none.
  int weapon = o->prop.fireWeapon;
  if (b->fire && weapon >= 0 && weapon < kWeaponDefs && Def_Weapons[weapon].shotTime > 0) {
    float k = 1.0f - (float(Game_Time) - o->prop.fireTime) / Def_Weapons[weapon].shotTime;
    if (k > 0.8f && k < 1.0f) b->fire->Draw(b->fire, &p, view);
  }
  // The flags this body carries.
  if (Game_NetMode != 0 && Game_NetGameType == 2)
    for (int t = 0; t < 2; t++) {
      if (NET_Flags[t].state != 1 || NET_Flags[t].carrier != uint32_t(o->prop.netId)) continue;
      if (!b->flagsLooked) {
        for (int k = 0; k < 2; k++) b->flags[k] = Model_Get(kFlagModels[k]);
        b->flagsLooked = true;
      }
      if (ModelObject* flag = b->flags[t]) flag->Draw(flag, &p, view);
    }
}

void NetPlayer_Clip(GameObject* o, TraceRequest* tr) {
  if (!Obj_ClipAllowed(o, tr, TRACE_CHARACTERS)) return;
  tr->candidate = o;
  if (o->hasClipBox) {
    Obj_ClipBox(o, o->clipBox, tr, 1.0f);
    return;
  }
  ModelObject* model = (tr->mask & TRACE_COLLISION_MODEL) ? o->clipModel2 : o->clipModel;
  if (!model) return;
  static ModelDrawParams params;
  params.position = o->origin;
  params.angles = vec3{0, 0, 0};
  params.scale = vec3{1, 1, 1};
  model->Trace(model, &params, tr);
}

// A remote player's body only cries out: its health belongs to its own machine.
void NetPlayer_Damage(GameObject* self, GameObject*, float, float, const vec3*, int32_t, int32_t) {
  if (!(self->flags & OBJ_ACTIVE) || Game_NetMode != 0) return;
  const char* cry = self->person.soundPain[0] ? self->person.soundPain : "sound\\pain1";
  self->person.voices[0] = Sound_Play(cry, 1.0f, 100.0f, &self->origin.x, 0, SOUND_CAT_VOICES);
}

void NetPlayer_Info(GameObject* o, const void* request, void* reply) {
  Obj_InfoReply(o, request, reply, "NETPLAYER", true);
}
