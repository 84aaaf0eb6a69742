// Beam and lightning effects of energy weapons: six beam records and one lightning bolt, created
// at start-up and reused for every shot. The weapon code starts, aims, updates and draws them.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"
#include "render/render.h"

// ---- Drawing shared by the beams and the bolt ----------------------------------------------------

// Draws the vertices as a triangle list (strip 0) or one strip (strip 1) through vertex arrays on
// OpenGL, triangle by triangle on the other back end.
void FxDraw_Arrays(const ImmVertex* v, int count, int strip);
// The additive, unlit, two-sided, depth-write-free state of beams and bolts, and back.
void FxDraw_Begin();
void FxDraw_End();

// ---- Laser beams ---------------------------------------------------------------------------------

constexpr int kBeamRecords = 6;
constexpr int kBeamPlanes = 3;
constexpr int kBeamPlaneRows = 4;  // end point, end of the start cap, start of the end cap, end point
constexpr int kBeamTubePieces = 3;
constexpr int kBeamTubeSides = 16;
constexpr int kBeamTubeRing = kBeamTubeSides + 1;  // the seam repeats

struct BeamVertex {
  vec3 position;
  float u, v;
  float alpha;
};

struct BeamRecord {
  vec3 planeColor;
  vec3 tubeColor;
  float planeWidth;
  vec3 start, end;
  vec3 up;
  vec3 direction;  // unit, start to end
  float fadeInTime;
  float planeFadeTime;
  float capLength;
  float texLengthScale;
  float planeTexOffset[kBeamPlanes];
  float planeScroll[kBeamPlanes];
  float tubeRadius;
  float tubeLength;
  float tubeCapLength;
  float lifetime;
  float tubeScroll[2];  // along, around
  float tubeTexFactor[2];
  uint32_t built;
  float lastUpdate;
  float length;
  const char* planeTexture;
  const char* tubeTexture;  // null for the plain laser
  float startTime;
  uint32_t active;
  uint32_t tube;
  // Set when the ends and the up vector give a beam at all (a length and a side direction).
  uint32_t drawable;
  // Each plane: rows of two vertices (one either side of the axis), from the start point.
  BeamVertex planes[kBeamPlanes][kBeamPlaneRows][2];
  // Each tube piece: a ring at its near end and one at its far end.
  BeamVertex tubeRings[kBeamTubePieces][2][kBeamTubeRing];
};

extern BeamRecord* Beam_Records[kBeamRecords];

void Beam_StartTube(BeamRecord* b, float time);
void Beam_StartLaser(BeamRecord* b, float time);
void Beam_Aim(BeamRecord* b, const vec3* start, const vec3* end, const vec3* up);
void Beam_Update(BeamRecord* b, float time);
void Beam_Stop(BeamRecord* b);
void Beam_Render(BeamRecord* b);
// Brightness of the planes and of the tube at age `a` (0 once gone).
float Beam_PlaneBrightness(const BeamRecord* b, float a);
float Beam_TubeBrightness(const BeamRecord* b, float a);

// ---- Lightning bolt ------------------------------------------------------------------------------

constexpr int kLtnPoints = 2000;
constexpr int kLtnWaves = 6;
constexpr int kLtnRibbons = 3;

struct LtnVertex {
  vec3 position;
  float u, v;
  float weight;
};

struct LtnPoint {
  vec3 line;       // on the straight line
  vec3 displaced;  // pushed by the waves, smoothed and pinned
  // The quads from this point to the next (the last point's to the end point): near left, near
  // right, far right, far left, for each ribbon.
  LtnVertex quads[kLtnRibbons][4];
};

struct LightningRecord {
  vec3 color;
  float halfWidth;
  float displaceBase;
  float displaceScale;
  vec3 start, end, up;
  const char* texture;
  float waves[kLtnWaves][2];  // frequency, amplitude
  float segmentLength;
  float waveSpeed;
  uint32_t active;
  uint32_t stepBuilt;
  uint32_t lineBuilt;
  double timeOrigin;
  double stepTime;
  double lastUpdate;
  vec3 direction, side;
  float length;
  vec3 upAxis;  // the up vector made square to the direction, unit length
  float segmentUsed;  // the segment length of the current line (longer for very long bolts)
  LtnPoint points[kLtnPoints];
  int32_t count;
};

extern LightningRecord* Ltn_Record;

void Ltn_Start(LightningRecord* b, float time);
void Ltn_SetEnds(LightningRecord* b, const vec3* start, const vec3* end, const vec3* up);
void Ltn_SetTime(LightningRecord* b, float seconds);
void Ltn_Update(LightningRecord* b, float time);
void Ltn_Render(LightningRecord* b);
// The number of quads drawn this frame.
int Ltn_DrawnSegments(const LightningRecord* b);
// Fills `out` (room for count x 3 x 6 vertices) with the triangles Ltn_Render draws; returns the
// vertex count.
int Ltn_FillTriangles(const LightningRecord* b, ImmVertex* out);

// Creates the six beam records and the lightning record; releases them.
void Beam_CreateAll();
void Beam_FreeAll();
// Switches every beam and the bolt off (the level is released).
void Beam_StopAll();
