#include "world/trace.h"

#include "physics/physics.h"
#include "world/object.h"
#include "world/tick.h"

bool Obj_ClipAllowed(const GameObject* obj, const TraceRequest* rq, uint32_t kindBit) {
  if (!(obj->flags & OBJ_ACTIVE)) return false;
  if (kindBit && !(rq->mask & kindBit)) return false;
  return (rq->mask & (obj->person.state == 1 ? TRACE_STATE1 : TRACE_OTHER_STATES)) != 0;
}

int Obj_ClipBox(GameObject* obj, const float box[6], TraceRequest* rq, float factor) {
  constexpr float kEpsilon = 1.0f / 32.0f;
  const float* o = &obj->origin.x;
  const float* m = &rq->mins.x;
  const float* M = &rq->maxs.x;
  float p[3] = {rq->start.x, rq->start.y, rq->start.z};
  float q[3] = {rq->end.x, rq->end.y, rq->end.z};
  float enter = 0, leave = 1;
  int enterPlane = -1;
  for (int plane = 0; plane < 6; plane++) {
    int axis = plane % 3;
    float sign = plane < 3 ? -1.0f : 1.0f;
    float dist = plane < 3 ? -(box[axis] + o[axis] - M[axis]) : box[3 + axis] + o[axis] - m[axis];
    float d1 = sign * p[axis] - dist, d2 = sign * q[axis] - dist;
    if (d1 >= 0 && d2 >= 0) return 0;
    if (d1 >= 0) {  // entering
      float f = (d1 - kEpsilon) / (d1 - d2);
      f = f < 0 ? 0 : (f > 1 ? 1 : f);
      for (int k = 0; k < 3; k++) p[k] += (q[k] - p[k]) * f;
      enter += (leave - enter) * f;
      enterPlane = plane;
    } else if (d2 >= 0) {  // leaving
      float f = (d1 + kEpsilon) / (d1 - d2);
      f = f < 0 ? 0 : (f > 1 ? 1 : f);
      for (int k = 0; k < 3; k++) q[k] = p[k] + (q[k] - p[k]) * f;
      leave = enter + (leave - enter) * f;
    }
  }
  if (enterPlane < 0 || !(enter < rq->fraction)) return 0;
  rq->fraction = enter;
  rq->normal = vec3{0, 0, 0};
  (&rq->normal.x)[enterPlane % 3] = enterPlane < 3 ? -1.0f : 1.0f;
  rq->hitObject = rq->candidate;
  rq->factor = factor;
  rq->part = 0;
  return 1;
}

// The object's own box for a trace: the box around its physics body as the body lies now (a
// tumbled crate's clip box would stand where the crate no longer is), else the clip box the mask
// asks for.
static const float* Obj_OwnBox(const GameObject* obj, uint32_t mask, float scratch[6]) {
  if (obj->physicsBody && Physics_ObjectBounds(obj, scratch)) return scratch;
  return (mask & TRACE_COLLISION_MODEL) ? obj->clipBox2 : obj->clipBox;
}

int Obj_ClipOwnBox(GameObject* obj, TraceRequest* rq) {
  float scratch[6];
  return Obj_ClipBox(obj, Obj_OwnBox(obj, rq->mask, scratch), rq, 1.0f);
}

namespace {

struct SweptBox {
  float lo[3], hi[3];
};

bool Trace_Skip(const GameObject* c, const GameObject* mover, const SweptBox& swept, uint32_t mask) {
  if (c == mover || (mover->owner && c->id == mover->owner) || !(c->flags & OBJ_ACTIVE) || c->notTraceable)
    return true;
  if (!c->hasClipBox) return false;
  float scratch[6];
  const float* box = Obj_OwnBox(c, mask, scratch);
  const float* o = &c->origin.x;
  for (int k = 0; k < 3; k++)
    if (o[k] + box[k] > swept.hi[k] || o[k] + box[3 + k] < swept.lo[k]) return true;
  return false;
}

void Trace_Test(GameObject* c, TraceRequest* rq, TraceResult* best, const TraceRequest& fresh) {
  *rq = fresh;
  c->slots.Clip(c, rq);
  if (rq->fraction < best->fraction) {
    best->fraction = rq->fraction;
    best->normal = rq->normal;
    best->candidate = rq->candidate;
    best->hitObject = rq->hitObject;
    best->factor = rq->factor;
    best->part = rq->part;
  }
}

}  // namespace

void Obj_TraceAll(TraceResult* out, GameObject* mover, const vec3* start, const vec3* mins, const vec3* maxs,
                  const vec3* end, uint32_t mask) {
  *out = TraceResult{};
  out->fraction = 1.0f;
  SweptBox swept;
  const float *s = &start->x, *e = &end->x, *m = &mins->x, *M = &maxs->x;
  for (int k = 0; k < 3; k++) {
    swept.lo[k] = (s[k] < e[k] ? s[k] : e[k]) + m[k] - 0.1f;
    swept.hi[k] = (s[k] > e[k] ? s[k] : e[k]) + M[k] + 0.1f;
  }
  TraceRequest fresh{};
  fresh.start = *start;
  fresh.end = *end;
  fresh.delta = vec3{end->x - start->x, end->y - start->y, end->z - start->z};
  Vec_Cross(start, end, &fresh.moment);
  fresh.mins = *mins;
  fresh.maxs = *maxs;
  fresh.fraction = 1.0f;
  fresh.candidate = mover;
  fresh.mask = mask;
  fresh.factor = 1.0f;
  TraceRequest rq;
  for (int i = 0; i < Tick_TraceList.count; i++) {
    GameObject* c = Tick_TraceList.items[i];
    if (!Trace_Skip(c, mover, swept, mask)) Trace_Test(c, &rq, out, fresh);
  }
  if (mover->classNum == MACHINEPLAYER || mover->classNum == NPC) {
    static GameObject* found[kGridCells * kGridCellObjects];
    vec3 lo{swept.lo[0], swept.lo[1], swept.lo[2]}, hi{swept.hi[0], swept.hi[1], swept.hi[2]};
    int n = Tick_GridCollect(&lo, &hi, found, int(sizeof found / sizeof found[0]));
    for (int i = 0; i < n; i++)
      if (!Trace_Skip(found[i], mover, swept, mask)) Trace_Test(found[i], &rq, out, fresh);
  } else {
    for (int i = 0; i < Tick_NearList.count; i++) {
      GameObject* c = Tick_NearList.items[i];
      if (!Trace_Skip(c, mover, swept, mask)) Trace_Test(c, &rq, out, fresh);
    }
  }
  if (out->fraction >= 1.0f) {
    out->end = *end;
  } else {
    float f = out->fraction;
    out->end = vec3{s[0] + (e[0] - s[0]) * f, s[1] + (e[1] - s[1]) * f, s[2] + (e[2] - s[2]) * f};
  }
}

TraceResult* Obj_Trace(TraceResult* out, GameObject* mover, const vec3* start, const vec3* mins, const vec3* maxs,
                       const vec3* end, uint32_t mask) {
  TraceResult r;
  Obj_TraceAll(&r, mover, start, mins, maxs, end, mask);
  *out = r;
  return out;
}

// The box an object sweeps with when it is moved or met by a mover: a prop's clip box when it
// clips by box, else its own mins and maxs.
static void Obj_SweepBox(const GameObject* o, vec3* mins, vec3* maxs) {
  if ((o->classNum == WORLD || o->classNum == ANIM) && o->hasClipBox) {
    float scratch[6];
    const float* box = Obj_OwnBox(o, 0, scratch);
    *mins = vec3{box[0], box[1], box[2]};
    *maxs = vec3{box[3], box[4], box[5]};
    return;
  }
  *mins = o->mins;
  *maxs = o->maxs;
}

TraceResult* Obj_TraceMove(TraceResult* out, GameObject* obj, const vec3* displacement, uint32_t mask) {
  vec3 start = obj->origin;
  vec3 end{start.x + displacement->x, start.y + displacement->y, start.z + displacement->z};
  vec3 mins, maxs;
  Obj_SweepBox(obj, &mins, &maxs);
  Obj_Trace(out, obj, &start, &mins, &maxs, &end, mask);
  obj->origin = out->end;
  if (obj->classNum == NPC) {
    for (vec3& h : obj->history) h = out->end;
    obj->prevOrigin = out->end;
  }
  return out;
}

// What a moving door may meet and push: standing characters (state 1), and world or animated
// props in state 1 with a non-zero solid word and a box. A character that is not solid is met
// only by traces that ask for collision models, as its own Clip slot says. Anything else (a dead
// character, an effect, a shot, a prop without a box, which would count as a point however large
// its model) is left where it is.
static bool Obj_Pushable(const GameObject* o, uint32_t mask) {
  if (o->person.state != 1) return false;
  if (o->classNum == MACHINEPLAYER || o->classNum == NETPLAYER) return true;
  if (o->classNum == NPC) return o->prop.solid != 0 || (mask & TRACE_COLLISION_MODEL);
  if (o->classNum != WORLD && o->classNum != ANIM) return false;
  if (o->prop.solid == 0) return false;
  vec3 mins, maxs;
  Obj_SweepBox(o, &mins, &maxs);
  return mins.x < maxs.x || mins.y < maxs.y || mins.z < maxs.z;
}

TraceResult* Obj_TraceBlocker(TraceResult* out, GameObject* obj, const vec3* displacement, uint32_t mask) {
  *out = TraceResult{};
  out->fraction = 1.0f;
  int count = 0;
  GameObject* const* all = Obj_ListArray(&count);
  for (int i = 0; i < count; i++) {
    GameObject* other = all[i];
    if (other == obj || !(other->flags & OBJ_ACTIVE) || !Obj_Pushable(other, mask)) continue;
    TraceRequest rq{};
    rq.start = other->origin;
    rq.end = vec3{other->origin.x - displacement->x, other->origin.y - displacement->y,
                  other->origin.z - displacement->z};
    rq.delta = vec3{-displacement->x, -displacement->y, -displacement->z};
    Vec_Cross(&rq.start, &rq.end, &rq.moment);
    Obj_SweepBox(other, &rq.mins, &rq.maxs);
    rq.fraction = 1.0f;
    rq.candidate = other;
    rq.mask = mask;
    rq.factor = 1.0f;
    obj->slots.Clip(obj, &rq);
    if (rq.fraction < out->fraction) {
      out->fraction = rq.fraction;
      out->hitObject = other;
      out->part = rq.part;
    }
  }
  out->end = vec3{displacement->x * out->fraction, displacement->y * out->fraction, displacement->z * out->fraction};
  return out;
}

void Obj_ClipCharacter(GameObject* obj, TraceRequest* rq) {
  if (!Obj_ClipAllowed(obj, rq, TRACE_CHARACTERS)) return;
  rq->candidate = obj;
  if (obj->hasClipBox) {
    Obj_ClipOwnBox(obj, rq);
    return;
  }
  const float box[6] = {obj->mins.x, obj->mins.y, obj->mins.z, obj->maxs.x, obj->maxs.y, obj->maxs.z};
  Obj_ClipBox(obj, box, rq, 1.0f);
}
