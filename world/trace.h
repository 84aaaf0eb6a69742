// The trace request that an object's Clip operation hands to a model's Trace operation.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct GameObject;

// Trace mask bits.
constexpr uint32_t TRACE_COLLISION_MODEL = 1;  // the second (collision) model instead of the draw model
constexpr uint32_t TRACE_ANIMS = 2;            // animated props and doors
constexpr uint32_t TRACE_CHARACTERS = 4;
constexpr uint32_t TRACE_STATE1 = 8;           // objects whose person state is 1
constexpr uint32_t TRACE_OTHER_STATES = 16;

struct TraceRequest {
  vec3 start, end;    // restored by the Trace operation after use
  vec3 delta;         // end - start
  vec3 moment;        // start x end
  vec3 mins, maxs;    // box relative to the moving point; all zero for a ray
  int32_t rotated;    // 1 when the model has non-zero angles
  mat3 rotation;
  mat3 inverseRotation;
  vec3 localStart, localEnd, localDelta, localMoment, localMins, localMaxs;
  float fraction;  // 1.0 on entry: the nearest hit so far along start..end
  vec3 normal;
  GameObject* candidate;  // the object whose shape is being tested
  GameObject* hitObject;
  uint32_t mask;
  float factor;  // 1.0 on entry; 1.0 on a triangle hit
  int32_t part;  // 0 on entry; the surface word of the triangle hit
};

struct TraceResult {
  float fraction;  // 1.0 = nothing hit
  vec3 end;
  vec3 normal;
  int32_t zero;
  GameObject* candidate;
  GameObject* hitObject;
  float factor;
  int32_t part;
};

// Which objects a trace may hit: an active object, when the mask holds its kind bit (0 = none
// needed) and the bit of its person state (8 for state 1, 16 for any other). The Clip operations
// of every class ask this before they test.
bool Obj_ClipAllowed(const GameObject* obj, const TraceRequest* rq, uint32_t kindBit);

// Clips the request's swept box against the object's box (mins then maxs, relative to its
// origin). A path is stopped 1/32 unit before the face it enters; one that starts inside never
// hits. Returns 1 when the request's fraction improved (hit object = the request's candidate).
int Obj_ClipBox(GameObject* obj, const float box[6], TraceRequest* rq, float factor);

// The object's own clip box against the request: Obj_ClipBox with the first or, when the mask
// asks for collision models, the second clip box. Returns 1 on an improved hit.
int Obj_ClipOwnBox(GameObject* obj, TraceRequest* rq);

// Sweeps the box from start to end against the objects of the last tick and keeps the nearest
// hit. The mover is never hit by its own trace, nor is the object whose id it carries as owner.
void Obj_TraceAll(TraceResult* out, GameObject* mover, const vec3* start, const vec3* mins, const vec3* maxs,
                  const vec3* end, uint32_t mask);
TraceResult* Obj_Trace(TraceResult* out, GameObject* mover, const vec3* start, const vec3* mins, const vec3* maxs,
                       const vec3* end, uint32_t mask);
// Traces the object's own box along the displacement and moves it to the end point (characters
// also set their position history and previous origin there).
TraceResult* Obj_TraceMove(TraceResult* out, GameObject* obj, const vec3* displacement, uint32_t mask);
// Which other object the object's shape would meet if it moved by the displacement; the result's
// end point is the displacement allowed. Only objects that can be pushed count: standing
// characters (a character that is not solid only when the mask asks for collision models), and
// solid world and animated props with a box.
TraceResult* Obj_TraceBlocker(TraceResult* out, GameObject* obj, const vec3* displacement, uint32_t mask);
// The Clip operation of characters (players, remote players, NPCs): with mask bit 4 and the state
// bit, their clip box (their own box when they have none) is clipped.
void Obj_ClipCharacter(GameObject* obj, TraceRequest* rq);
