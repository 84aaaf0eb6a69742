// The view: camera set-up with frustum planes, the world pass of each frame, the effect sprites
// and the render state the 2D layer expects after them.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"

struct ViewLight;  // a light of the per-pixel lighting passes (owned by the lighting code)

// A point p is inside when normal . p - dist > 0. corner[0..2] pick, from a box given as
// minimum x, y, z, maximum x, y, z, the corner nearest along the normal, corner[3..5] the
// farthest; a box is outside when its farthest corner has distance <= 0.
struct ViewPlane {
  vec3 normal;
  float dist;
  uint32_t unused;
  int32_t corner[6];
};

struct ViewParams {
  vec3 position;
  vec3 angles;           // yaw, pitch, roll in radians (Mat_FromAngles)
  float zoom;            // multiplies "render_fov"
  ViewPlane planes[6];   // left, right, bottom, top, near (through the eye), far
  float fov;             // horizontal, degrees
  float farDistance;
  float time;            // game time of the frame, seconds
  float frameTime;       // frame step, seconds
  float poseBlend;       // the sky view sets 1.0
  int32_t statVertices;
  int32_t statTriangles;
  int32_t statDrawCalls;
  int32_t pass;          // 0..3 in the world pass; the lighting passes use 4 + 2i and 5 + 2i
  ViewLight* lights;     // left null and 0 by the world pass
  int32_t lightCount;
};

// Fills the derived fields (times, field of view, weapon kick, frustum) from position, angles
// and zoom; useFov takes "render_fov" x zoom as the field of view.
void View_Setup(ViewParams* view, int useFov);
// 1 when the box (minimum x, y, z, maximum x, y, z relative to origin) lies outside the plane.
int View_BoxOutside(const ViewPlane* plane, const float box[6], const vec3* origin);
// The world pass: dialogue camera, sky, objects and street props in four passes, effects.
void View_RenderWorld(ViewParams* view);
void View_DrawEffects(ViewParams* view);
// Material 0 on units 1 and 0, filled polygons, culling, lighting and fog off (the level's fog
// flag too), the 90-degree projection (near 1, far 32000) with the camera at the origin, blend 5.
void View_ResetRenderState();

// What the world pass stores for the dialogue partner's eye and head animation.
struct ViewDialogueEyes {
  vec3 viewPosition;
  vec3 eyeToView[2];  // left, right
  mat3 headInverse;   // inverse of the head's world rotation
};
extern ViewDialogueEyes View_DialogueEyes;
