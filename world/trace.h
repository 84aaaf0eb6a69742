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
