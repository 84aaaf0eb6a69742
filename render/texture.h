// The texture table: every texture the game draws with, addressed by index (0 = no texture),
// emptied only as a whole; and the OpenGL upload path (power-of-two sizing, mipmaps, DXT data).
#pragma once
#include <cstdint>

constexpr int kMaxTextures = 2048;

struct TextureRecord {
  char name[256];
  uint32_t nameHash;
  uint32_t handle;     // OpenGL texture name or Direct3D 8 texture; 0 = none
  int32_t texWidth;    // level 0 as uploaded
  int32_t texHeight;
  int32_t width;       // the picture as callers should see it
  int32_t height;
  float scaleU;        // picture size / texture size for a padded picture, else 1
  float scaleV;
  int32_t hasAlpha;
  uint32_t target;     // GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP_ARB
  int32_t fromDds;     // Direct3D 8: the texture came from a ".dds" file
};

extern TextureRecord Tex_Table[kMaxTextures];
extern int32_t Tex_Count;

// The record of an index, or null outside the used part of the table.
TextureRecord* Tex_Get(int index);
// Lowest index with that name (case-insensitive); 0 for none.
int Tex_FindByName(const char* name);
// Appends a record; on OpenGL makes and binds (unit 0, filter kind 1) a texture object. Returns 0
// when the table is full or the name does not fit.
int Tex_Create(const char* name, uint32_t target);
uint32_t Tex_GetGeneration();
// Releases every texture, raises the generation, leaves entry 0 (the empty texture) and resets
// the material table.
void Tex_FreeAll();

// Uploads a picture into the bound texture `index` (target GL_TEXTURE_2D or a cube face).
void OPENGL_LoadTexture(int index, uint32_t target, int width, int height, uint32_t format,
                        const void* pixels, int hasAlpha, int mipmap, int mipCount);
// The glTexImage2D part of it, sizes already final.
void OPENGL_UploadMips(uint32_t target, int width, int height, uint32_t format,
                       const void* pixels, int hasAlpha, int mipmap, int mipCount);
int OPENGL_Log2Ceil(int n);
void OPENGL_LogError(const char* tag);

// ---- Picture arithmetic of the upload path (no OpenGL) -----------------------------------------
// Bytes per texel of an upload format (GL_LUMINANCE 1, GL_LUMINANCE_ALPHA 2, GL_BGR_EXT 3, else 4).
int Tex_BytesPerTexel(uint32_t format);
// Nearest-sampled stretch of a w x h picture over dw x dh texels of bpp bytes.
void Tex_StretchPicture(const uint8_t* src, int w, int h, uint8_t* dst, int dw, int dh, int bpp);
// The picture in the lower-left corner of dw x dh (dw >= w, dh >= h), edges repeated beyond it.
void Tex_PadPicture(const uint8_t* src, int w, int h, uint8_t* dst, int dw, int dh, int bpp);
// The next mipmap level of a w x h level: 2 x 2, 2 x 1 or 1 x 2 truncating averages.
void Tex_BoxFilter(const uint8_t* src, int w, int h, uint8_t* dst, int bpp);
// True when every DXT1 block of `blocks` is a four-colour block (colour 0 above colour 1), so
// that it decodes the same as the DXT3 block made of it.
bool Tex_Dxt1AllFourColour(const uint8_t* blocks, int64_t blockCount);
// A DXT3 block of full alpha ahead of each 8-byte DXT1 block.
void Tex_Dxt1ToDxt3(const uint8_t* blocks, int64_t blockCount, uint8_t* out);
