#include "render/material.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "foundation/file.h"
#include "foundation/inthash.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/namehash.h"
#include "foundation/partoken.h"
#include "platform/gl_dispatch.h"
#include "render/glext.h"
#include "render/image.h"
#include "render/render.h"
#include "render/render_d3d8.h"
#include "render/texture.h"

MaterialRecord Material_Table[kMaxMaterials];
int32_t Material_Count;

static IntHash* g_materialNames;
static int (*g_frameLoader)(const char* name, int mipmap);

constexpr float kPi = 3.14159265358979323846f;
constexpr uint32_t kMaxMaterialFile = 16u << 20;

void Material_SetFrameLoader(int (*loader)(const char*, int)) { g_frameLoader = loader; }

static void IdentityFrame(MaterialRecord* m, int i) {
  m->frameTexture[i] = 0;
  m->frameDuration[i] = 0.0f;
  m->frameRotation[i] = 0.0f;
  m->frameScale[i] = 1.0f;
  m->frameOffsetU[i] = 0.0f;
  m->frameOffsetV[i] = 0.0f;
}

void Material_ResetTable() {
  MaterialRecord* m = &Material_Table[0];
  m->name[0] = 0;
  m->nameHash = 0;
  m->frameCount = 1;
  IdentityFrame(m, 0);
  m->speed = 0.0f;
  m->timingMode = 0;
  Material_Count = 1;
  IntHash_Destroy(&g_materialNames);
  g_materialNames = IntHash_Create(1024, 0);
}

void Material_ReleaseNameTable() { IntHash_Destroy(&g_materialNames); }

int Material_FindByName(const char* name) {
  if (!name || !*name || !g_materialNames) return 0;
  int index = int(IntHash_Get(g_materialNames, int32_t(Name_HashStr(name))));
  if (index <= 0 || index >= Material_Count) return 0;
  if (strcasecmp(Material_Table[index].name, name) == 0) return index;
  // Another name with the same hash holds the slot: look for this name itself.
  for (int i = 1; i < Material_Count; i++)
    if (strcasecmp(Material_Table[i].name, name) == 0) return i;
  return 0;
}

// The texture of one frame: shared by name, else loaded from its picture.
static uint32_t LoadFrameTexture(const char* name, int mipmap) {
  if (g_frameLoader) return uint32_t(g_frameLoader(name, mipmap));
  int tex = Tex_FindByName(name);
  if (tex) return uint32_t(tex);
  if (RenderApi == RENDER_API_OPENGL) {
    ImageDesc* img = Image_Load(name);
    if (!img) return 0;
    tex = Tex_Create(name, GL_TEXTURE_2D);
    if (tex)
      OPENGL_LoadTexture(tex, GL_TEXTURE_2D, img->width, img->height, img->format, img->pixels,
                         img->hasAlpha, mipmap, img->mipCount);
    return uint32_t(tex);
  }
  if (RenderApi == RENDER_API_D3D8 && D3D8_TextureFileExists(name)) {
    tex = Tex_Create(name, GL_TEXTURE_2D);
    if (tex) D3D8_LoadTexture(tex, name, mipmap);
    return uint32_t(tex);
  }
  return 0;
}

static bool AddFrame(MaterialRecord* m, const char* texName, int mipmap) {
  if (m->frameCount >= kMaxMaterialFrames) {
    Log_Printf("Material_Load: %s has more than %d frames; the rest are ignored.\n", m->name,
               kMaxMaterialFrames);
    return false;
  }
  int i = m->frameCount++;
  IdentityFrame(m, i);
  m->frameTexture[i] = LoadFrameTexture(texName, mipmap);
  return true;
}

// Reads a whole material file into a zero-terminated buffer; null when it cannot.
static char* ReadWhole(FileHandle* f, const char* tag, const char* fileName) {
  uint32_t size = File_Size(f);
  if (size > kMaxMaterialFile) {
    Log_Printf("Material_Load: %s is too large (%u bytes).\n", fileName, size);
    return nullptr;
  }
  char* text = static_cast<char*>(Global_Malloc(size_t(size) + 1, tag));
  if (!text) return nullptr;
  size_t got = File_Read(text, 1, size, f);
  text[got] = 0;
  return text;
}

static bool ParseFloat(const char* text, float* out) {
  float v = 0.0f;
  if (std::sscanf(text, "%f", &v) != 1 || !std::isfinite(v)) return false;
  *out = v;
  return true;
}

static void ParseMat(MaterialRecord* m, char* text, int mipmap) {
  static const char* const kBlanks = " \t\n\r";
  float fpsBeforeFrames = 0.0f;  // a "#speed" ahead of every frame: applied once frames are known
  char* save = nullptr;
  for (char* w = strtok_r(text, kBlanks, &save); w; w = strtok_r(nullptr, kBlanks, &save)) {
    bool isSpeed = strcasecmp(w, "#speed") == 0, isTime = strcasecmp(w, "#time") == 0;
    if (isSpeed || isTime) {
      char* value = strtok_r(nullptr, kBlanks, &save);
      if (!value) break;
      float v;
      if (!ParseFloat(value, &v) || v <= 0.0f) continue;  // a zero or unreadable rate is ignored
      if (isTime) {
        m->speed = 1.0f / v;
      } else if (m->frameCount > 0) {
        m->speed = v / float(m->frameCount);
      } else {
        fpsBeforeFrames = v;
      }
      continue;
    }
    AddFrame(m, w, mipmap);
  }
  if (m->speed == 0.0f && fpsBeforeFrames > 0.0f && m->frameCount > 0)
    m->speed = fpsBeforeFrames / float(m->frameCount);
  if (m->speed == 0.0f && m->frameCount > 0) m->speed = 30.0f / float(m->frameCount);
}

static void ParseMa(MaterialRecord* m, const char* text, bool ma3, int mipmap) {
  char token[256];
  const char* rest = text;
  const char* t = Par_NextBracketTokenTo(rest, &rest, token, sizeof token);
  if (!t) return;
  float cycle = 0.0f;
  m->speed = ParseFloat(token, &cycle) && cycle > 0.0f ? 1.0f / cycle : 0.0f;
  char name[256], duration[256];
  while (rest) {
    if (!Par_NextBracketTokenTo(rest, &rest, name, sizeof name) || !rest) break;
    if (!Par_NextBracketTokenTo(rest, &rest, duration, sizeof duration)) break;
    float rot = 0.0f, offU = 0.0f, offV = 0.0f, scale = 1.0f;
    if (ma3) {
      if (!rest || !Par_NextBracketTokenTo(rest, &rest, token, sizeof token)) break;
      float v[4] = {0.0f, 0.0f, 0.0f, 1.0f};
      int n = std::sscanf(token, "%f %f %f %f", &v[0], &v[1], &v[2], &v[3]);
      for (int k = 0; k < n && k < 4; k++)
        if (!std::isfinite(v[k])) v[k] = k == 3 ? 1.0f : 0.0f;
      rot = v[0] * kPi / 180.0f;
      if (!std::isfinite(rot)) rot = 0.0f;
      offU = v[1];
      offV = v[2];
      scale = v[3];
    }
    if (!AddFrame(m, name, mipmap)) break;
    int i = m->frameCount - 1;
    float d = 0.0f;
    if (!ParseFloat(duration, &d) || d < 0.0f) d = 0.0f;
    m->frameDuration[i] = d;
    m->frameRotation[i] = rot;
    m->frameOffsetU[i] = offU;
    m->frameOffsetV[i] = offV;
    m->frameScale[i] = scale;
  }
  double sum = 0.0;
  for (int i = 0; i < m->frameCount; i++) sum += m->frameDuration[i];
  if (m->frameCount >= 1 && sum > 0.0 && std::isfinite(sum)) {
    float k = float(1.0 / sum);
    for (int i = 0; i < m->frameCount; i++) m->frameDuration[i] *= k;
    m->timingMode = 1;
  }
}

static void LoadCube(MaterialRecord* m, const char* name, int mipmap) {
  static const char* const kFaces[6] = {"_PX", "_NX", "_PY", "_NY", "_PZ", "_NZ"};
  int tex = Tex_FindByName(name);
  if (!tex) tex = Tex_Create(name, GL_TEXTURE_CUBE_MAP_ARB);
  m->frameCount = 1;
  IdentityFrame(m, 0);
  m->frameTexture[0] = uint32_t(tex);
  if (!tex || RenderApi != RENDER_API_OPENGL) return;
  char face[264];
  for (int i = 0; i < 6; i++) {
    std::snprintf(face, sizeof face, "%s%s", name, kFaces[i]);
    ImageDesc* img = Image_Load(face);
    if (!img) continue;
    gl.glEnable(GL_TEXTURE_CUBE_MAP_ARB);
    OPENGL_LoadTexture(tex, GL_TEXTURE_CUBE_MAP_POSITIVE_X_ARB + uint32_t(i), img->width, img->height,
                       img->format, img->pixels, img->hasAlpha, mipmap, img->mipCount);
    gl.glDisable(GL_TEXTURE_CUBE_MAP_ARB);
  }
}

// Registers the prepared record at index Material_Count when a frame got a texture.
static int KeepOrDrop(MaterialRecord* m) {
  bool any = false;
  for (int i = 0; i < m->frameCount; i++) any |= m->frameTexture[i] != 0;
  if (!any) return 0;
  int index = Material_Count++;
  if (IntHash_Get(g_materialNames, int32_t(m->nameHash)) == 0)
    IntHash_Insert(g_materialNames, int32_t(m->nameHash), uint32_t(index));
  return index;
}

// Prepares the record at index Material_Count; null when the name or the table has no room.
static MaterialRecord* Prepare(const char* name, const char* who) {
  if (!g_materialNames) Material_ResetTable();
  if (std::strlen(name) + 4 >= 256) {
    Log_Printf("%s: name too long: %.64s...\n", who, name);
    return nullptr;
  }
  if (Material_Count >= kMaxMaterials) {
    Log_Printf("%s: no room for %s (%d materials).\n", who, name, kMaxMaterials);
    return nullptr;
  }
  MaterialRecord* m = &Material_Table[Material_Count];
  std::memset(m, 0, sizeof *m);
  m->nameHash = Name_HashStr(name);
  std::memcpy(m->name, name, std::strlen(name) + 1);
  return m;
}

static int LoadMaterial(const char* name, int mipmap) {
  if (!name || !*name) return 0;
  if (int found = Material_FindByName(name)) return found;
  MaterialRecord* m = Prepare(name, "Material_Load");
  if (!m) return 0;
  static const char* const kExt[4] = {".cub", ".ma3", ".ma2", ".mat"};
  static const char* const kTag[4] = {"", "MA3BUFF", "MA2BUFF", "MATBUFF"};
  char fileName[256];
  for (int kind = 0; kind < 4; kind++) {
    if (kind == 0 && !GlExtFlags.ARB_texture_cube_map) continue;
    std::snprintf(fileName, sizeof fileName, "%s%s", name, kExt[kind]);
    FileHandle* f = File_Open(fileName, "rb");
    if (!f) continue;
    File_CopyToCopyDirectory(fileName);
    if (kind == 0) {
      File_Close(f);
      LoadCube(m, name, mipmap);
      return KeepOrDrop(m);
    }
    char* text = ReadWhole(f, kTag[kind], fileName);
    File_Close(f);
    if (text) {
      if (kind == 3)
        ParseMat(m, text, mipmap);
      else
        ParseMa(m, text, kind == 1, mipmap);
      Global_Free(text);
    }
    return KeepOrDrop(m);
  }
  AddFrame(m, name, mipmap);
  return KeepOrDrop(m);
}

int Material_Load(const char* name) { return LoadMaterial(name, 1); }
int Material_LoadPicture(const char* name) { return LoadMaterial(name, 0); }

int Material_CreateFromPixels(const char* name, int width, int height, int bits, const void* pixels,
                              int hasAlpha, int mipmap, int mipCount) {
  if (!name || !*name) return 0;
  if (int found = Material_FindByName(name)) return found;
  uint32_t format = bits == 8 ? GL_LUMINANCE : bits == 16 ? GL_LUMINANCE_ALPHA : bits == 24 ? kImgBGR
                  : bits == 32 ? kImgBGRA : 0;
  if (!format || width <= 0 || height <= 0 || !pixels) {
    Log_Printf("Material_CreateFromPixels: %s: bad picture %dx%d, %d bits.\n", name, width, height, bits);
    return 0;
  }
  MaterialRecord* m = Prepare(name, "Material_CreateFromPixels");
  if (!m) return 0;
  int tex = Tex_FindByName(name);
  if (!tex) {
    tex = Tex_Create(name, GL_TEXTURE_2D);
    if (tex && RenderApi == RENDER_API_OPENGL) {
      OPENGL_LoadTexture(tex, GL_TEXTURE_2D, width, height, format, pixels, hasAlpha, mipmap, mipCount);
    } else if (tex && RenderApi == RENDER_API_D3D8) {
      TextureRecord* r = Tex_Get(tex);
      r->handle = D3D8_CreateTexture(width, height, format, pixels, hasAlpha);
      r->hasAlpha = hasAlpha;
      r->width = r->texWidth = width;
      r->height = r->texHeight = height;
      r->scaleU = r->scaleV = 1.0f;
      r->fromDds = 0;
    }
  }
  m->frameCount = 1;
  IdentityFrame(m, 0);
  m->frameTexture[0] = uint32_t(tex);
  return KeepOrDrop(m);
}

// ---- Frames by time ------------------------------------------------------------------------------

static const MaterialRecord* Get(int index) {
  if (index < 0 || index >= Material_Count) return nullptr;
  return &Material_Table[index];
}

// The fraction of the current cycle, 0 <= f < 1.
static double CycleFraction(const MaterialRecord* m, double seconds) {
  double t = seconds * double(m->speed);
  double f = t - std::floor(t);
  if (!std::isfinite(f) || f < 0.0 || f >= 1.0) f = 0.0;
  return f;
}

int Material_GetFrame(int index, double seconds) {
  const MaterialRecord* m = Get(index);
  if (!m || m->frameCount <= 1) return 0;
  double f = CycleFraction(m, seconds);
  if (m->timingMode == 0) {
    int frame = int(std::floor(f * m->frameCount));
    return frame < 0 ? 0 : frame >= m->frameCount ? m->frameCount - 1 : frame;
  }
  for (int i = 0; i < m->frameCount; i++) {
    f -= m->frameDuration[i];
    if (f < 0.0) return i;
  }
  return 0;
}

// d brought into [-half, half] by whole turns. fmod rather than repeated steps: a step of one turn
// no longer changes a very large difference, and an infinite one never gets there.
static float WrapInto(float d, float half) {
  if (!std::isfinite(d)) return 0.0f;
  float full = 2.0f * half;
  d = std::fmod(d, full);
  if (d > half) d -= full;
  else if (d < -half) d += full;
  return d;
}

void Material_GetFrameLerp(int index, double seconds, float* rotation, float* offsetU,
                           float* offsetV, float* scale) {
  const MaterialRecord* m = Get(index);
  int cur = 0, next = 0;
  double blend = 0.0;
  if (m && m->frameCount > 0) {
    double f = CycleFraction(m, seconds);
    if (m->timingMode == 0) {
      double g = f * m->frameCount;
      cur = int(std::floor(g));
      if (cur >= m->frameCount) cur = m->frameCount - 1;
      next = (cur + 1) % m->frameCount;
      blend = g - std::floor(g);
    } else {
      double s = 0.0;
      for (int i = 0; i < m->frameCount; i++) {
        double d = m->frameDuration[i];
        if (s <= f && f <= s + d) {
          cur = i;
          next = (i + 1) % m->frameCount;
          blend = d > 0.0 ? (f - s) / d : 0.0;
          break;
        }
        s += d;
      }
    }
  }
  if (!m) {
    if (rotation) *rotation = 0.0f;
    if (offsetU) *offsetU = 0.0f;
    if (offsetV) *offsetV = 0.0f;
    if (scale) *scale = 1.0f;
    return;
  }
  float b = float(blend);
  if (rotation)
    *rotation = m->frameRotation[cur] + WrapInto(m->frameRotation[next] - m->frameRotation[cur], kPi) * b;
  if (offsetU)
    *offsetU = m->frameOffsetU[cur] + WrapInto(m->frameOffsetU[next] - m->frameOffsetU[cur], 0.5f) * b;
  if (offsetV)
    *offsetV = m->frameOffsetV[cur] + WrapInto(m->frameOffsetV[next] - m->frameOffsetV[cur], 0.5f) * b;
  if (scale) *scale = m->frameScale[cur] + (m->frameScale[next] - m->frameScale[cur]) * b;
}

static int CurrentTexture(int index, double seconds) {
  const MaterialRecord* m = Get(index);
  if (!m) return 0;
  return int(m->frameTexture[Material_GetFrame(index, seconds)]);
}

int Material_GetWidth(int index, double seconds) {
  const TextureRecord* r = Tex_Get(CurrentTexture(index, seconds));
  return r ? r->width : 0;
}

int Material_GetHeight(int index, double seconds) {
  const TextureRecord* r = Tex_Get(CurrentTexture(index, seconds));
  return r ? r->height : 0;
}

int Material_GetTexScale(int index, double seconds, float* u, float* v) {
  const TextureRecord* r = Tex_Get(CurrentTexture(index, seconds));
  if (u) *u = r ? r->scaleU : 1.0f;
  if (v) *v = r ? r->scaleV : 1.0f;
  return r ? r->hasAlpha : 0;
}

uint32_t Material_GetTarget(int index, double seconds) {
  const TextureRecord* r = Tex_Get(CurrentTexture(index, seconds));
  return r ? r->target : uint32_t(GL_TEXTURE_2D);
}

void Material_Bind(int unit, int index, double seconds, int filterKind) {
  Tex_Bind(unit, CurrentTexture(index, seconds), filterKind);
}

void Material_BindCube(int unit, int index, double seconds, int filterKind) {
  Tex_BindCube(unit, CurrentTexture(index, seconds), filterKind);
}
