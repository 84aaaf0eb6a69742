#include "render/texture.h"

#include <cstring>
#include <strings.h>

#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/image.h"
#include "render/material.h"
#include "render/render.h"
#include "render/render_d3d8.h"

TextureRecord Tex_Table[kMaxTextures];
int32_t Tex_Count;

static uint32_t g_texGeneration;
static int32_t g_texBytes;  // uploaded bytes since the last Tex_FreeAll ("fullsize")

static bool IsDxt(uint32_t format) { return format >= kImgDXT1 && format <= kImgDXT5; }
static bool IsCubeFace(uint32_t target) {
  return target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z_ARB;
}

TextureRecord* Tex_Get(int index) {
  if (index < 0 || index >= Tex_Count) return nullptr;
  return &Tex_Table[index];
}

int Tex_GetBindInfo(int texture, uint32_t* handle, int32_t* fromDds) {
  TextureRecord* r = Tex_Get(texture);
  if (handle) *handle = r ? r->handle : 0;
  if (fromDds) *fromDds = r ? r->fromDds : 0;
  return r ? 1 : 0;
}

int Tex_FindByName(const char* name) {
  if (!name || !*name) return 0;
  uint32_t hash = Name_HashStr(name);
  for (int i = 0; i < Tex_Count; i++)
    if (Tex_Table[i].nameHash == hash && strcasecmp(Tex_Table[i].name, name) == 0) return i;
  return 0;
}

uint32_t Tex_GetGeneration() { return g_texGeneration; }

int Tex_Create(const char* name, uint32_t target) {
  if (!name) name = "";
  if (Tex_Count == 0) Tex_FreeAll();  // entry 0 must be the empty texture
  if (std::strlen(name) >= sizeof Tex_Table[0].name) {
    Log_Printf("Tex_Create: name too long: %.64s...\n", name);
    return 0;
  }
  if (Tex_Count >= kMaxTextures) {
    Log_Printf("Tex_Create: no room for %s (%d textures).\n", name, kMaxTextures);
    return 0;
  }
  int index = Tex_Count++;
  TextureRecord* r = &Tex_Table[index];
  std::memset(r, 0, sizeof *r);
  r->target = target;
  r->scaleU = r->scaleV = 1.0f;
  if (RenderApi == RENDER_API_OPENGL && gl.glGenTextures) {
    GLuint h = 0;
    gl.glGenTextures(1, &h);
    r->handle = h;
    if (target == GL_TEXTURE_2D)
      Tex_Bind(0, index, 1);
    else if (target == GL_TEXTURE_CUBE_MAP_ARB)
      Tex_BindCube(0, index, 1);
  }
  r->nameHash = Name_HashStr(name);
  std::memcpy(r->name, name, std::strlen(name) + 1);
  return index;
}

void Tex_FreeAll() {
  for (int i = 0; i < Tex_Count; i++) {
    TextureRecord* r = &Tex_Table[i];
    if (!r->handle) continue;
    if (RenderApi == RENDER_API_OPENGL && gl.glDeleteTextures) {
      GLuint h = r->handle;
      gl.glDeleteTextures(1, &h);
    } else if (RenderApi == RENDER_API_D3D8) {
      D3D8_ReleaseObject(r->handle);
    }
    r->handle = 0;
  }
  g_texGeneration++;
  g_texBytes = 0;
  TextureRecord* e = &Tex_Table[0];
  std::memset(e, 0, sizeof *e);
  e->texWidth = e->texHeight = 32;
  e->scaleU = e->scaleV = 1.0f;
  e->target = GL_TEXTURE_2D;
  Tex_Count = 1;
  Material_ResetTable();
}

int OPENGL_Log2Ceil(int n) {
  if (n < 2) return 0;
  if (n > 4096) return 13;
  int k = 0;
  while ((1 << k) < n) k++;
  return k;
}

void OPENGL_LogError(const char* tag) {
  if (!gl.glGetError) return;
  GLenum e = gl.glGetError();
  if (e != 0) Log_Printf("glGetError=%d : %s\n", int(e), tag ? tag : "");
}

// ---- Picture arithmetic --------------------------------------------------------------------------

int Tex_BytesPerTexel(uint32_t format) {
  switch (format) {
    case GL_LUMINANCE: return 1;
    case GL_LUMINANCE_ALPHA: return 2;
    case kImgBGR: return 3;
    default: return 4;
  }
}

void Tex_StretchPicture(const uint8_t* src, int w, int h, uint8_t* dst, int dw, int dh, int bpp) {
  for (int y = 0; y < dh; y++) {
    const uint8_t* row = src + size_t(int64_t(y) * h / dh) * size_t(w) * size_t(bpp);
    uint8_t* out = dst + size_t(y) * size_t(dw) * size_t(bpp);
    for (int x = 0; x < dw; x++)
      std::memcpy(out + size_t(x) * size_t(bpp), row + size_t(int64_t(x) * w / dw) * size_t(bpp),
                  size_t(bpp));
  }
}

void Tex_PadPicture(const uint8_t* src, int w, int h, uint8_t* dst, int dw, int dh, int bpp) {
  size_t rowIn = size_t(w) * size_t(bpp), rowOut = size_t(dw) * size_t(bpp);
  for (int y = 0; y < dh; y++) {
    const uint8_t* in = src + size_t(y < h ? y : h - 1) * rowIn;
    uint8_t* out = dst + size_t(y) * rowOut;
    std::memcpy(out, in, rowIn);
    const uint8_t* last = in + rowIn - size_t(bpp);
    for (int x = w; x < dw; x++) std::memcpy(out + size_t(x) * size_t(bpp), last, size_t(bpp));
  }
}

void Tex_BoxFilter(const uint8_t* src, int w, int h, uint8_t* dst, int bpp) {
  int nw = w > 1 ? w / 2 : w, nh = h > 1 ? h / 2 : h;
  size_t row = size_t(w) * size_t(bpp);
  for (int y = 0; y < nh; y++)
    for (int x = 0; x < nw; x++) {
      uint8_t* out = dst + (size_t(y) * size_t(nw) + size_t(x)) * size_t(bpp);
      if (w > 1 && h > 1) {
        const uint8_t* a = src + size_t(2 * y) * row + size_t(2 * x) * size_t(bpp);
        for (int k = 0; k < bpp; k++)
          out[k] = uint8_t((a[k] + a[bpp + k] + a[row + k] + a[row + size_t(bpp) + k]) / 4);
      } else if (w > 1) {
        const uint8_t* a = src + size_t(y) * row + size_t(2 * x) * size_t(bpp);
        for (int k = 0; k < bpp; k++) out[k] = uint8_t((a[k] + a[bpp + k]) / 2);
      } else {
        const uint8_t* a = src + size_t(2 * y) * row + size_t(x) * size_t(bpp);
        for (int k = 0; k < bpp; k++) out[k] = uint8_t((a[k] + a[row + k]) / 2);
      }
    }
}

bool Tex_Dxt1AllFourColour(const uint8_t* blocks, int64_t blockCount) {
  for (int64_t i = 0; i < blockCount; i++, blocks += 8) {
    unsigned c0 = blocks[0] | (blocks[1] << 8), c1 = blocks[2] | (blocks[3] << 8);
    if (c0 <= c1) return false;
  }
  return true;
}

void Tex_Dxt1ToDxt3(const uint8_t* blocks, int64_t blockCount, uint8_t* out) {
  for (int64_t i = 0; i < blockCount; i++, blocks += 8, out += 16) {
    std::memset(out, 0xFF, 8);
    std::memcpy(out + 8, blocks, 8);
  }
}

// ---- Upload ---------------------------------------------------------------------------------------

static int MaxTextureSize() { return GlLimits.maxTextureSize > 0 ? GlLimits.maxTextureSize : 2048; }

// A rough size of a texel of an internal format, for the diagnostic byte total.
static int InternalBytes(GLint internal) {
  switch (internal) {
    case GL_RGBA8: case GL_RGBA: return 4;
    case GL_RGB8: case GL_RGB: return 3;
    case GL_RGB5: case GL_RGBA4: case GL_RGB5_A1: case GL_LUMINANCE8_ALPHA8: case GL_LUMINANCE_ALPHA: return 2;
    case GL_LUMINANCE8: case GL_LUMINANCE: case GL_ALPHA8: return 1;
    default: return 1;  // compressed formats: a byte or less
  }
}

static void AddLevelBytes(GLenum target) {
  if (!gl.glGetTexLevelParameteriv) return;
  GLint w = 0, h = 0, f = 0;
  gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &w);
  gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &h);
  gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_INTERNAL_FORMAT, &f);
  g_texBytes += w * h * InternalBytes(f);
}

static void UploadDxt(GLenum target, GLenum paramTarget, int width, int height, uint32_t format,
                      const uint8_t* data, int mipCount) {
  if (!gl.glCompressedTexImage2DARB) return;
  int levels = mipCount > 0 ? mipCount : 1;
  bool dxt1 = format == kImgDXT1 || format == kImgDXT1A;
  int64_t blockBytes = dxt1 ? 8 : 16;
  // Re-packing DXT1 as DXT3 only when no block of any level is a three-colour block: those would
  // lose their transparent texels and change their midpoint colour. All levels keep one format.
  uint8_t* repack = nullptr;
  if (dxt1 && render_dxt1_as_dxt3.value != 0) {
    bool allFour = true;
    const uint8_t* p = data;
    for (int i = 0, w = width, h = height; i < levels && allFour; i++, w /= 2, h /= 2) {
      int64_t blocks = Image_DxtLevelBytes(format, w, h) / 8;
      allFour = Tex_Dxt1AllFourColour(p, blocks);
      p += blocks * 8;
    }
    if (allFour) repack = static_cast<uint8_t*>(Global_Malloc(size_t(Image_DxtLevelBytes(format, width, height) * 2), "GLDXT3"));
  }
  const uint8_t* p = data;
  for (int i = 0, w = width, h = height; i < levels; i++, w /= 2, h /= 2) {
    int lw = w > 1 ? w : 1, lh = h > 1 ? h : 1;
    int64_t blocks = ((lw + 3) / 4) * int64_t((lh + 3) / 4);
    if (repack) {
      Tex_Dxt1ToDxt3(p, blocks, repack);
      gl.glCompressedTexImage2DARB(target, i, kImgDXT3, lw, lh, 0, GLsizei(blocks * 16), repack);
    } else {
      gl.glCompressedTexImage2DARB(target, i, format, lw, lh, 0, GLsizei(blocks * blockBytes), p);
    }
    p += blocks * blockBytes;
  }
  if (repack) Global_Free(repack);
  // The texture ends at the last level the data supplied, so it is complete for mipmapped drawing
  // whatever the number of levels.
  gl.glTexParameteri(paramTarget, GL_TEXTURE_MAX_LEVEL, levels - 1);
  AddLevelBytes(target);
}

void OPENGL_UploadMips(uint32_t target, int width, int height, uint32_t format, const void* pixels,
                       int hasAlpha, int mipmap, int mipCount) {
  if (RenderApi != RENDER_API_OPENGL || !gl.glTexImage2D || !pixels || width <= 0 || height <= 0) return;
  GLenum T = IsCubeFace(target) ? GL_TEXTURE_CUBE_MAP_ARB : target;
  gl.glTexParameteri(T, GL_TEXTURE_MIN_FILTER, mipmap ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST);
  gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (IsDxt(format)) {
    UploadDxt(target, T, width, height, format, static_cast<const uint8_t*>(pixels), mipCount);
    return;
  }
  GLint internal;
  bool compress = render_arb_tc.value != 0 && GlExtFlags.ARB_texture_compression;
  bool low = render_16bit_textures.value != 0;
  if (hasAlpha)
    internal = compress ? GL_COMPRESSED_RGBA_ARB : low ? GL_RGBA4 : GL_RGBA8;
  else
    internal = compress ? GL_COMPRESSED_RGB_ARB : low ? GL_RGB5 : GL_RGB8;
  bool driverMips = GlExtFlags.SGIS_generate_mipmap != 0;
  int bpp = Tex_BytesPerTexel(format);
  // Work buffers for our own mipmaps; without them only level 0 goes up.
  uint8_t* work[2] = {nullptr, nullptr};
  bool ownMips = mipmap && !driverMips;
  if (ownMips) {
    size_t bytes = size_t(width) * size_t(height) * size_t(bpp);
    work[0] = static_cast<uint8_t*>(Global_Malloc(bytes, "GLBMIP0"));
    work[1] = static_cast<uint8_t*>(Global_Malloc(bytes, "GLBMIP1"));
    if (!work[0] || !work[1]) {
      Log_Printf("OPENGL_UploadMips: no memory for mipmaps of %dx%d.\n", width, height);
      ownMips = false;
      gl.glTexParameteri(T, GL_TEXTURE_MAX_LEVEL, 0);
    }
  }
  const uint8_t* data = static_cast<const uint8_t*>(pixels);
  int w = width, h = height;
  int lastLevel = OPENGL_Log2Ceil(MaxTextureSize());
  for (int level = 0; level <= lastLevel; level++) {
    if (mipmap) {
      gl.glTexParameteri(T, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
      if (driverMips) {
        gl.glTexParameteri(T, GL_GENERATE_MIPMAP_SGIS, 1);
        gl.glTexParameteri(T, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_NEAREST);
      }
    }
    gl.glTexImage2D(target, level, internal, w, h, 0, format, GL_UNSIGNED_BYTE, data);
    if (gl.glGetTexLevelParameteriv) {
      GLint rw = 0, rh = 0, f = 0;
      gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_WIDTH, &rw);
      gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_HEIGHT, &rh);
      gl.glGetTexLevelParameteriv(target, level, GL_TEXTURE_INTERNAL_FORMAT, &f);
      g_texBytes += rw * rh * InternalBytes(f);
    }
    if (!mipmap) {
      gl.glTexParameteri(T, GL_TEXTURE_MAX_LEVEL, 0);
      break;
    }
    if (driverMips) {
      gl.glTexParameteri(T, GL_GENERATE_MIPMAP_SGIS, 0);
      break;
    }
    if (!ownMips || (w == 1 && h == 1)) break;
    uint8_t* next = work[level & 1];
    Tex_BoxFilter(data, w, h, next, bpp);
    data = next;
    if (w > 1) w /= 2;
    if (h > 1) h /= 2;
  }
  if (work[0]) Global_Free(work[0]);
  if (work[1]) Global_Free(work[1]);
}

void OPENGL_LoadTexture(int index, uint32_t target, int width, int height, uint32_t format,
                        const void* pixels, int hasAlpha, int mipmap, int mipCount) {
  TextureRecord* r = Tex_Get(index);
  if (!r || index == 0 || RenderApi != RENDER_API_OPENGL || !pixels || width <= 0 || height <= 0) {
    Log_Printf("OPENGL_LoadTexture: nothing to load into texture %d.\n", index);
    return;
  }
  uint8_t* temp = nullptr;
  if (IsDxt(format)) {
    r->scaleU = r->scaleV = 1.0f;
    r->width = width;
    r->height = height;
    r->fromDds = 0;
    OPENGL_UploadMips(target, width, height, format, pixels, hasAlpha, mipmap, mipCount);
  } else {
    int maxSize = MaxTextureSize();
    int rw = Image_RoundPow2(width, maxSize), rh = Image_RoundPow2(height, maxSize);
    if (rw == width && rh == height) {
      r->width = width;
      r->height = height;
      r->scaleU = r->scaleV = 1.0f;
      r->fromDds = 0;
      OPENGL_UploadMips(target, width, height, format, pixels, hasAlpha, mipmap, 0);
    } else {
      int bpp = Tex_BytesPerTexel(format);
      temp = static_cast<uint8_t*>(Global_Malloc(size_t(rw) * size_t(rh) * size_t(bpp), "GLLOTEX"));
      if (!temp) {
        Log_Printf("OPENGL_LoadTexture:Global_Malloc error\n");
        return;
      }
      const uint8_t* src = static_cast<const uint8_t*>(pixels);
      if (mipmap || width > rw || height > rh) {
        // Stretched over the whole texture; a picture larger than the texture can be is shrunk.
        Tex_StretchPicture(src, width, height, temp, rw, rh, bpp);
        r->width = mipmap ? rw : width;
        r->height = mipmap ? rh : height;
        r->scaleU = r->scaleV = 1.0f;
      } else {
        Tex_PadPicture(src, width, height, temp, rw, rh, bpp);
        r->width = width;
        r->height = height;
        r->scaleU = float(width) / float(rw);
        r->scaleV = float(height) / float(rh);
      }
      r->fromDds = 0;
      OPENGL_UploadMips(target, rw, rh, format, temp, hasAlpha, mipmap, 0);
    }
  }
  OPENGL_LogError("OPENGL_LoadTexture");
  GLint tw = 0, th = 0, f = 0;
  if (gl.glGetTexLevelParameteriv) {
    gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &tw);
    gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &th);
    gl.glGetTexLevelParameteriv(target, 0, GL_TEXTURE_INTERNAL_FORMAT, &f);
  }
  Log_Printf("OPENGL_LoadTexture:OK=%dx%d->%dx%dx%d\n", width, height, tw, th, InternalBytes(f));
  Log_Printf("OPENGL_LoadTexture:fullsize=%d\n", g_texBytes);
  r->texWidth = tw;
  r->texHeight = th;
  r->hasAlpha = hasAlpha;
  if (temp) Global_Free(temp);
}
