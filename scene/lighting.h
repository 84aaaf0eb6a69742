// Per-pixel lighting shared by BU models and DU levels: the view's lights, the GPU programs of the
// lighting paths (loaded once per file and counted by their users), and the four built-in ATI
// fragment shaders.
#pragma once
#include <cstdint>

#include "foundation/vecmath.h"
#include "render/gpuprog.h"

struct ModelObject;
struct ModelDrawParams;

constexpr int kLightMaxInstances = 8;  // instances one light lights in a frame
constexpr int kInstanceMaxLights = 8;  // lights that light one instance

// One light of a view's light list (ViewParams::lights). The owner fills everything up to the
// instance list and empties litCount before each frame; the BU depth passes append the instances.
struct ViewLight {
  int32_t slot;          // the DU level's light slot, 0..511
  int32_t key;           // identity of the light; 0 is never valid
  vec3 position;         // world units
  vec3 angles;           // radians: orientation of the projected cube
  float colour[3];
  float radius;          // a light of radius 0 or less lights nothing
  int32_t cubeMaterial;  // projected cube map (material index), 0 none: filters by 1 - cube colour
  int32_t wholeSurface;
  int32_t litCount;      // 0..8
  struct {
    ModelObject* model;
    ModelDrawParams* params;
  } lit[kLightMaxInstances];
};

// Lighting paths (BU models and DU levels each keep their own).
enum : int32_t { kPathNone = 0, kPathNV10 = 1, kPathNV20 = 2, kPathNV30 = 3, kPathR200 = 4, kPathR300 = 5 };

// ---- GPU programs -------------------------------------------------------------------------------
// Every program file of the lighting paths, with "_4bones" twins next to each other (the twin of
// program p is p + 1). Each is loaded on its first user and deleted after its last; BU models and
// DU levels count as users alike.
enum LightProgram : int {
  kProgNV30Fragment,
  kProgNV30, kProgNV30Skinned,
  kProgNV20Z, kProgNV20ZSkinned,
  kProgNV20Reflect, kProgNV20ReflectSkinned,
  kProgNV20Attenuation, kProgNV20AttenuationSkinned,
  kProgNV20Diffuse, kProgNV20DiffuseSkinned,
  kProgNV20Specular, kProgNV20SpecularSkinned,
  kProgNV20DiffuseSpecular, kProgNV20DiffuseSpecularSkinned,
  kProgNV20Volume, kProgNV20VolumeSkinned,
  kProgR300Fragment,
  kProgR200Z, kProgR200ZSkinned,
  kProgR200Volume, kProgR200VolumeSkinned,
  kProgR300Light, kProgR300LightSkinned,
  kProgR200Light, kProgR200LightSkinned,
  kProgR200LightFast, kProgR200LightFastSkinned,
  kProgR200LightFastest, kProgR200LightFastestSkinned,
  kProgAtiZ, kProgAtiLight, kProgAtiLightFast, kProgAtiLightFastest,
  kProgNV20Mul, kProgR200Mul,  // DU levels' multiply layer
  kLightProgramCount
};
using LightProgramSet = uint64_t;  // bit p for program p
static_assert(kLightProgramCount <= 64);

// File name under "scripts\shaders\" of a program ("R200_z.arbvp").
const char* Lighting_ProgramFile(int program);
// The programs BU models load on a path.
LightProgramSet Lighting_BuPathPrograms(int path);
// Counts one more user of each program of the set, loading those that have none; the matching
// Release counts one less and deletes those left without users.
void Lighting_AcquirePrograms(LightProgramSet set);
void Lighting_ReleasePrograms(LightProgramSet set);
int Lighting_ProgramUsers(int program);
// The program's handle (null when not loaded or failed) / the ATI shader's GL id (0 likewise).
ProgramHandle Lighting_Program(int program);
uint32_t Lighting_AtiShader(int program);

// ---- Built-in ATI fragment shaders --------------------------------------------------------------
// "scripts\shaders\R200_z.atifs" (12), "..._diffuse_specular" (13), "..._fast" (14), "..._fastest"
// (15), compared without regard to case; the shader's GL id, or 0 for any other name.
uint32_t ATIFS_Load(const char* name);
// Records shader 12..15 through GL_ATI_fragment_shader; its GL id, 0 for another number.
uint32_t ATIFS_Build(int number);
void ATIFS_Bind(uint32_t id);  // nothing for 0
void ATIFS_Unbind();
void ATIFS_Delete(uint32_t id);
// The shader number a name selects (12..15), 0 for another name.
int ATIFS_Number(const char* name);

// One step of a built-in shader, as recorded: kind 0 sample (dst from texture unit dst at the
// coordinates of unit `coord`), 1 pass coordinates, 2 colour op, 3 alpha op. Registers and units
// count from 0; source registers >= 0 are R0..R5, else the kAtiSrc* values.
enum : int { kAtiSrcConst0 = -1, kAtiSrcPrimary = -2, kAtiSrcSecondary = -3 };
enum : int { kAtiRepNone, kAtiRepRed, kAtiRepGreen, kAtiRepBlue, kAtiRepAlpha };
enum : int { kAtiArgBx2 = 1, kAtiArgComp = 2, kAtiArgNeg = 4 };
enum : int { kAtiDstSat = 1, kAtiDst2x = 2, kAtiDst4x = 4 };
enum : int { kAtiMov, kAtiAdd, kAtiMul, kAtiMad, kAtiDot3 };
struct AtiArg {
  int8_t reg;
  int8_t rep;
  int8_t mods;
};
struct AtiStep {
  int8_t kind;
  int8_t op;
  int8_t dst;
  int8_t dstMods;
  int8_t coord;  // sample and pass
  AtiArg args[3];
};
// The steps of shader 12..15 and their count (0 for another number).
const AtiStep* ATIFS_Steps(int number, int* count);

// Selects texture unit `unit` and enables or disables `target` (a GL texture target) on it.
void Lighting_SetTexTarget(int unit, unsigned target, bool on);

// ---- Shadow volumes -------------------------------------------------------------------------
// The state a light's volume pass counts into the stencil with: no colour writes with
// "render_bump_fast" (else blend kind 1), no alpha test or depth writes, stencil test on with an
// always-passing function. End puts back the state the light passes expect.
void Lighting_BeginVolumeStencil();
void Lighting_EndVolumeStencil();
// A light pass after the volumes: draws only where the stencil is still 128, outside every volume.
void Lighting_BeginLitStencil();

// ---- Shared geometry ------------------------------------------------------------------------
// 1 when the sphere touches the box (minimum x, y, z, maximum x, y, z): squared distance from the
// centre to the box at most radius squared.
int du_SphereTouchesBox(const float box[6], const vec3* centre, float radius);
