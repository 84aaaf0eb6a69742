// Materials: named, possibly animated sequences of textures that everything draws with, loaded
// from ".cub" markers, ".ma3", ".ma2" and ".mat" files or single pictures, bound by index and time.
#pragma once
#include <cstdint>

constexpr int kMaxMaterials = 2048;
constexpr int kMaxMaterialFrames = 256;

struct MaterialRecord {
  char name[264];
  uint32_t nameHash;
  int32_t frameCount;
  uint32_t frameTexture[kMaxMaterialFrames];   // texture index per frame (0 = none)
  float frameDuration[kMaxMaterialFrames];     // timed mode: share of one cycle
  float frameRotation[kMaxMaterialFrames];     // radians
  float frameScale[kMaxMaterialFrames];
  float frameOffsetU[kMaxMaterialFrames];
  float frameOffsetV[kMaxMaterialFrames];
  float speed;                                 // cycles per second
  int32_t timingMode;                          // 0 uniform, 1 timed
};

extern MaterialRecord Material_Table[kMaxMaterials];
extern int32_t Material_Count;

int Material_FindByName(const char* name);
// 3D use: mipmapped, pictures stretched to power-of-two sizes. 0 when no frame got a texture.
int Material_Load(const char* name);
// 2D use: no mipmaps, pictures padded so that their pixel sizes stay exact.
int Material_LoadPicture(const char* name);
// A one-frame material from raw pixels: bits 8, 16, 24, 32 (luminance, luminance-alpha, B G R,
// B G R A), rows bottom first.
int Material_CreateFromPixels(const char* name, int width, int height, int bits, const void* pixels,
                              int hasAlpha, int mipmap, int mipCount);

int Material_GetFrame(int index, double seconds);
void Material_GetFrameLerp(int index, double seconds, float* rotation, float* offsetU,
                           float* offsetV, float* scale);
int Material_GetWidth(int index, double seconds);
int Material_GetHeight(int index, double seconds);
// Writes the texture-coordinate scales of the current frame's texture; returns its hasAlpha.
int Material_GetTexScale(int index, double seconds, float* u, float* v);
uint32_t Material_GetTarget(int index, double seconds);
void Material_Bind(int unit, int index, double seconds, int filterKind);
void Material_BindCube(int unit, int index, double seconds, int filterKind);

// Entry 0 (the empty material) only, a new empty name table (part of Tex_FreeAll).
void Material_ResetTable();

// Tests: replaces the loading of one frame's texture (name, mipmap flag) -> texture index; null
// restores the normal loader.
void Material_SetFrameLoader(int (*loader)(const char* name, int mipmap));
