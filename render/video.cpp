// The WMV and AVI players, their textures and draws, and the WMA decoder of the sound module.
#include "render/video.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/file.h"
#include "foundation/log.h"
#include "foundation/mem.h"
#include "foundation/sound.h"
#include "foundation/timer.h"
#include "foundation/var.h"
#include "platform/gl_dispatch.h"
#include "platform/media_ffmpeg.h"
#include "render/glext.h"
#include "render/material.h"
#include "render/render.h"
#include "render/render_d3d8.h"
#include "render/texture.h"
#include "world/game.h"

// ---------------------------------------------------------------------------------------------
// Shared pieces

// Reads name + ext whole through the file layer into a zero-filled block tagged "rostrx".
static bool Movie_ReadFile(const char* name, const char* ext, uint8_t** data, uint32_t* size) {
  *data = nullptr;
  *size = 0;
  if (!name || !*name) return false;
  char path[300];
  size_t n1 = std::strlen(name), n2 = std::strlen(ext);
  if (n1 + n2 >= sizeof path) return false;
  std::memcpy(path, name, n1);
  std::memcpy(path + n1, ext, n2 + 1);
  FileHandle* f = File_Open(path, "rb");
  if (!f) return false;
  uint32_t n = File_Size(f);
  uint8_t* block = n ? static_cast<uint8_t*>(Global_MallocZero(n, "rostrx")) : nullptr;
  if (!block || File_Read(block, 1, n, f) != n) {
    if (block) Global_Free(block);
    File_Close(f);
    return false;
  }
  File_Close(f);
  *data = block;
  *size = n;
  return true;
}

static bool PowerOfTwoPath() { return RenderApi == RENDER_API_OPENGL && !GlExtFlags.NV_texture_rectangle; }

void Movie_GetTextureSize(int width, int height, int powerOfTwo, uint32_t* texWidth, uint32_t* texHeight) {
  auto side = [powerOfTwo](int v) -> uint32_t {
    if (v < 1) v = 1;
    if (!powerOfTwo) return uint32_t(v);
    uint32_t p = 1;
    while (p < uint32_t(v) && p < uint32_t(kMovieMaxPow2Texture)) p <<= 1;
    return p;
  };
  *texWidth = side(width);
  *texHeight = side(height);
}

int Movie_FitRect(uint32_t width, uint32_t height, float rect[4]) {
  if (width == 0 || height == 0) return 0;
  float a = (float(height) / 480.0f) / (float(width) / 640.0f);
  if (!std::isfinite(a) || a <= 0) return 0;
  if (a >= 1) {
    rect[0] = 320 - 320 / a;
    rect[1] = 0;
    rect[2] = 320 + 320 / a;
    rect[3] = 480;
  } else {
    rect[0] = 0;
    rect[1] = 240 - 240 * a;
    rect[2] = 640;
    rect[3] = 240 + 240 * a;
  }
  return 1;
}

// Picture size that the texture takes: the picture fitted into the power-of-two limit.
static int FrameLimit() { return PowerOfTwoPath() ? kMovieMaxPow2Texture : 0; }

// Creates the frame texture from zeros. Returns the GL texture name or the material index.
static uint32_t Movie_CreateTexture(const char* logName, const char* materialPrefix, int* counter, uint32_t videoW,
                                    uint32_t videoH, uint32_t frameW, uint32_t frameH, uint32_t* texW,
                                    uint32_t* texH, uint32_t* target, const char* zeroTag) {
  *texW = *texH = 0;
  *target = 0;
  if (frameW == 0 || frameH == 0 || RenderApi == RENDER_API_NONE) return 0;
  Movie_GetTextureSize(int(frameW), int(frameH), PowerOfTwoPath(), texW, texH);
  uint64_t bytes = uint64_t(*texW) * *texH * 4;
  if (bytes > kMediaMaxFrameBytes) return 0;
  void* zeros = Global_MallocZero(size_t(bytes), zeroTag);
  if (!zeros) return 0;
  uint32_t texture = 0;
  if (RenderApi == RENDER_API_OPENGL) {
    *target = GlExtFlags.NV_texture_rectangle ? GL_TEXTURE_RECTANGLE_NV : GL_TEXTURE_2D;
    GLuint name = 0;
    gl.glGenTextures(1, &name);
    gl.glBindTexture(*target, name);
    gl.glTexParameteri(*target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(*target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.glTexImage2D(*target, 0, GL_RGB8, GLsizei(*texW), GLsizei(*texH), 0, GL_BGRA, GL_UNSIGNED_BYTE, zeros);
    Log_Printf("%s %ix%i -> %ix%i\n", logName, int(videoW), int(videoH), int(*texW), int(*texH));
    texture = name;
  } else if (RenderApi == RENDER_API_D3D8) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%i", materialPrefix, (*counter)++);
    int m = Material_CreateFromPixels(name, int(frameW), int(frameH), 32, zeros, 0, 0, 0);
    texture = m > 0 ? uint32_t(m) : 0;
  }
  Global_Free(zeros);
  return texture;
}

static void Movie_DeleteTexture(uint32_t* texture) {
  if (*texture && RenderApi == RENDER_API_OPENGL) {
    GLuint name = *texture;
    gl.glDeleteTextures(1, &name);
  }
  *texture = 0;  // Direct3D 8: the material stays; only the index is forgotten
}

// Frame memory: with GL_NV_pixel_data_range (on only with "render_NV_pixel_data_range"), 2 asks
// for video memory and 1 for AGP memory, announced as the write pixel-data range so that uploads
// from it avoid a copy; otherwise (or when refused) a zero-filled block. `kind` gets 3 video,
// 2 AGP, 1 ordinary memory.
static uint8_t* Movie_AllocFrameMemory(uint64_t bytes, const char* tag, int32_t* kind) {
  *kind = 0;
  if (bytes == 0 || bytes > kMediaMaxFrameBytes) return nullptr;
  void* p = nullptr;
  if (RenderApi == RENDER_API_OPENGL && GlExtFlags.NV_pixel_data_range && gl.glXAllocateMemoryNV) {
    float wanted = render_NV_pixel_data_range.value;
    if (wanted == 2.0f && (p = gl.glXAllocateMemoryNV(GLsizei(bytes), 0.0f, 0.0f, 1.0f))) *kind = 3;
    if (!p && wanted == 1.0f && (p = gl.glXAllocateMemoryNV(GLsizei(bytes), 0.0f, 1.0f, 0.5f))) *kind = 2;
    if (p) {
      gl.glPixelDataRangeNV(GL_WRITE_PIXEL_DATA_RANGE_NV, GLsizei(bytes), p);
      gl.glEnableClientState(GL_WRITE_PIXEL_DATA_RANGE_NV);
      return static_cast<uint8_t*>(p);
    }
  }
  p = Global_MallocZero(size_t(bytes), tag);
  if (p) *kind = 1;
  return static_cast<uint8_t*>(p);
}

static void Movie_FreeFrameMemory(uint8_t** p, int32_t* kind) {
  if (*p && *kind == 1) {
    Global_Free(*p);
  } else if (*p && GlExtFlags.NV_pixel_data_range && gl.glXFreeMemoryNV) {
    gl.glDisableClientState(GL_WRITE_PIXEL_DATA_RANGE_NV);
    gl.glXFreeMemoryNV(*p);
  }
  *p = nullptr;
  *kind = 0;
}

// Direct3D 8: a movie's texture is a material index, valid only while the texture table has not
// been emptied since it was made (Tex_FreeAll raises the generation and resets the materials).
static bool Movie_TextureLive(uint32_t texture, uint32_t generation) {
  if (RenderApi != RENDER_API_D3D8) return texture != 0;
  return texture != 0 && texture < uint32_t(Material_Count) && generation == Tex_GetGeneration();
}

// Uploads a converted frame of width x height BGRA rows (bottom row first).
static void Movie_Upload(uint32_t texture, uint32_t generation, uint32_t target, uint32_t width, uint32_t height,
                         const uint8_t* bytes) {
  if (!Movie_TextureLive(texture, generation) || !bytes) return;
  if (RenderApi == RENDER_API_OPENGL) {
    gl.glBindTexture(target, texture);
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl.glTexSubImage2D(target, 0, 0, 0, GLsizei(width), GLsizei(height), GL_BGRA, GL_UNSIGNED_BYTE, bytes);
    gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);  // every other upload has byte-aligned rows
  } else if (RenderApi == RENDER_API_D3D8) {
    uint32_t first = Material_Table[texture].frameTexture[0];
    if (first) Render_UpdateTexSubImage(int(first), 0, 0, int(width), int(height), 32, bytes);
  }
}

// Draws the frame texture on the 640 x 480 screen.
static void Movie_DrawQuad(uint32_t texture, uint32_t generation, uint32_t target, uint32_t videoW, uint32_t videoH, uint32_t frameW,
                           uint32_t frameH, uint32_t texW, uint32_t texH, const float* rect) {
  if (!Movie_TextureLive(texture, generation) || texW == 0 || texH == 0 || RenderApi == RENDER_API_NONE) return;
  float r[4];
  if (rect) {
    std::memcpy(r, rect, sizeof r);
  } else if (!Movie_FitRect(videoW, videoH, r)) {
    return;
  }
  for (float v : r)
    if (!std::isfinite(v)) return;
  float umax = float(frameW) / float(texW), vmax = float(frameH) / float(texH);
  bool rectangle = RenderApi == RENDER_API_OPENGL && target == GL_TEXTURE_RECTANGLE_NV;
  if (rectangle) {
    umax *= float(texW);
    vmax *= float(texH);
  }
  auto vertex = [](float x, float y, float u, float v) {
    return ImmVertex{x - 320.0f, 320.0f, 240.0f - y, 255, 255, 255, 255, u, v};
  };
  ImmVertex tl = vertex(r[0], r[1], 0, vmax), bl = vertex(r[0], r[3], 0, 0);
  ImmVertex tr = vertex(r[2], r[1], umax, vmax), br = vertex(r[2], r[3], umax, 0);
  Render_SetBlend(5);
  if (RenderApi == RENDER_API_OPENGL) {
    Render_SelectTexUnit(0);
    if (rectangle) gl.glEnable(GL_TEXTURE_RECTANGLE_NV);
    gl.glBindTexture(target, texture);
    gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  } else {
    Material_Bind(0, int(texture), 0.0, 1);
  }
  Render_SetTexWrap(0, 0);
  Render_DrawTriangle(&tl, &bl, &tr);
  Render_DrawTriangle(&br, &tr, &bl);
  Render_SetTexWrap(0, 1);
  if (rectangle) gl.glDisable(GL_TEXTURE_RECTANGLE_NV);
}

// Clock from the sound's play position: the sound follows the time scale. 0 when it cannot tell.
static int Movie_SoundClock(uint32_t sound, double* seconds) {
  if (!sound) return 0;
  int64_t written = 0, played = 0;
  uint32_t length = 0, bits = 0, channels = 0, rate = 0;
  if (!Sound_GetPlayPosition(sound, &written, &played, &length, &bits, &channels, &rate)) return 0;
  double bytesPerSecond = double(bits / 8) * channels * rate;
  if (!(bytesPerSecond > 0)) return 0;
  double freq = double(rate) * TimeScale;
  Sound_SetFrequency(sound, freq >= 1.0 ? (freq < 4.0e9 ? uint32_t(freq) : 4000000000u) : 1u);
  *seconds = double(played) / bytesPerSecond;
  return 1;
}

// ---------------------------------------------------------------------------------------------
// WMV

// One counter for both players' Direct3D 8 material names, so a WMV and an AVI never share one.
static int g_videoMaterialCounter;

MovieWmv* Movie_OpenWmv(const char* name) {
  if (!name || !*name) return nullptr;
  uint8_t* data;
  uint32_t size;
  if (!Movie_ReadFile(name, ".wmv", &data, &size)) return nullptr;
  auto* m = static_cast<MovieWmv*>(Global_MallocZero(sizeof(MovieWmv), "wmv"));
  if (!m) {
    Global_Free(data);
    return nullptr;
  }
  m->fileData = data;
  m->fileSize = size;
  m->reader = MediaVideo_Open(data, size, FrameLimit(), FrameLimit());
  if (m->reader) {
    MediaVideoInfo info;
    MediaVideo_GetInfo(m->reader, &info);
    m->videoWidth = uint32_t(info.srcWidth);
    m->videoHeight = uint32_t(info.srcHeight);
    m->frameWidth = uint32_t(info.width);
    m->frameHeight = uint32_t(info.height);
    double fps = info.frameRate;
    m->frameRate = fps >= 1.0 ? uint32_t(fps + 0.5) : 24;
    uint64_t bytes = uint64_t(m->frameWidth) * m->frameHeight * 4;
    m->sampleBuffer = Movie_AllocFrameMemory(bytes, "INSSB", &m->sampleBufferKind);
    if (m->sampleBuffer) m->bufferSize = uint32_t(bytes);
  }
  m->texture = WMVGenTexture(m);
  m->textureGeneration = Tex_GetGeneration();
  Sound_Unmute();
  m->sound = Sound_Play(name, 1.0f, 2.0f, nullptr, 0, 0);
  return m;
}

uint32_t WMVGenTexture(MovieWmv* m) {
  if (!m || !m->sampleBuffer) return 0;
  return Movie_CreateTexture("WMVGenTexture", "##VIDEOWMV##", &g_videoMaterialCounter, m->videoWidth, m->videoHeight,
                             m->frameWidth, m->frameHeight, &m->textureWidth, &m->textureHeight, &m->textureTarget,
                             "wmvbuf");
}

int Movie_UpdateWmv(MovieWmv* m) {
  if (!m) return 0;
  double soundClock;
  if (Movie_SoundClock(m->sound, &soundClock))
    m->clock = float(soundClock);
  else
    m->clock += float(double(TimeScale) * Timer_FrameDelta);
  if (!m->reader || !m->sampleBuffer) return 0;
  if (m->clock < m->nextSampleTime) return 1;
  for (int i = 0; i < 5; i++) {
    double t = 0;
    int r = MediaVideo_DecodeNext(m->reader, &t, nullptr);
    if (r == 0) {
      MediaVideo_Rewind(m->reader);
      m->clock = 0;
      m->nextSampleTime = 0;
      return 0;
    }
    if (r < 0) return 0;
    m->nextSampleTime = float(t);
    if (m->nextSampleTime > m->clock) break;
  }
  if (!MediaVideo_ConvertLast(m->reader, m->sampleBuffer)) return 0;
  Movie_CopyWmvSample(m, m->sampleBuffer);
  return 1;
}

void Movie_CopyWmvSample(MovieWmv* m, const uint8_t* bytes) {
  if (!m || !bytes || !m->texture) return;
  Movie_Upload(m->texture, m->textureGeneration, m->textureTarget, m->frameWidth, m->frameHeight, bytes);
}

void Movie_DrawWmv(MovieWmv* m, const float* rect) {
  if (!m) return;
  Movie_DrawQuad(m->texture, m->textureGeneration, m->textureTarget, m->videoWidth, m->videoHeight, m->frameWidth, m->frameHeight,
                 m->textureWidth, m->textureHeight, rect);
}

void Movie_CloseWmv(MovieWmv** pm) {
  if (!pm || !*pm) return;
  MovieWmv* m = *pm;
  Movie_DeleteTexture(&m->texture);
  if (m->sound) Sound_Stop(m->sound);
  MediaVideo_Close(m->reader);
  Movie_FreeFrameMemory(&m->sampleBuffer, &m->sampleBufferKind);
  if (m->fileData) Global_Free(m->fileData);
  Global_Free(m);
  *pm = nullptr;
}

// ---------------------------------------------------------------------------------------------
// AVI

static MovieAviState g_avi;

const MovieAviState* Movie_GetAviState() { return &g_avi; }

const char* Movie_GetAviErrorName(int error) {
  switch (uint32_t(error)) {
    case AVIERR_UNSUPPORTED: return "AVIERR_UNSUPPORTED";
    case AVIERR_BADFORMAT: return "AVIERR_BADFORMAT";
    case AVIERR_MEMORY: return "AVIERR_MEMORY";
    case AVIERR_INTERNAL: return "AVIERR_INTERNAL";
    case AVIERR_BADFLAGS: return "AVIERR_BADFLAGS";
    case AVIERR_BADPARAM: return "AVIERR_BADPARAM";
    case AVIERR_BADSIZE: return "AVIERR_BADSIZE";
    case AVIERR_BADHANDLE: return "AVIERR_BADHANDLE";
    case AVIERR_FILEREAD: return "AVIERR_FILEREAD";
    case AVIERR_FILEWRITE: return "AVIERR_FILEWRITE";
    case AVIERR_FILEOPEN: return "AVIERR_FILEOPEN";
    case AVIERR_COMPRESSOR: return "AVIERR_COMPRESSOR";
    case AVIERR_NOCOMPRESSOR: return "AVIERR_NOCOMPRESSOR";
    case AVIERR_READONLY: return "AVIERR_READONLY";
    case AVIERR_NODATA: return "AVIERR_NODATA";
    case AVIERR_BUFFERTOOSMALL: return "AVIERR_BUFFERTOOSMALL";
    case AVIERR_CANTCOMPRESS: return "AVIERR_CANTCOMPRESS";
    case AVIERR_USERABORT: return "AVIERR_USERABORT";
    case AVIERR_ERROR: return "AVIERR_ERROR";
    default: return "Unknown AVIERR";
  }
}

static int DumpWrite(const void* bytes, size_t size, void* user) {
  return File_Write(bytes, 1, size, static_cast<FileHandle*>(user)) == size;
}

// "render_drawavi" 1 or 2: the raw picture (1) or sound (2) stream of the AVI into "out.out".
static void Movie_DumpAvi(const char* name, int kind) {
  uint8_t* data;
  uint32_t size;
  if (!Movie_ReadFile(name, ".avi", &data, &size)) {
    Log_Printf("AVIFileOpen error: [%s]\n", Movie_GetAviErrorName(int(AVIERR_FILEOPEN)));
    return;
  }
  MediaVideo* v = MediaVideo_Open(data, size, 0, 0);
  if (v) {
    MediaVideoInfo info;
    MediaVideo_GetInfo(v, &info);
    Log_Printf("AVIStreamLength=%i\n", int(info.frameCount));
    MediaVideo_Close(v);
  }
  if (FileHandle* out = File_Open("out.out", "wb")) {
    Media_DumpStream(data, size, kind, 1048576, DumpWrite, out);
    File_Close(out);
  }
  Global_Free(data);
}

static void Movie_CloseAvi() {
  if (g_avi.sound) Sound_Stop(g_avi.sound);
  g_avi.sound = 0;
  Movie_DeleteTexture(&g_avi.texture);
  Movie_FreeFrameMemory(&g_avi.frameBuffer, &g_avi.frameBufferKind);
  MediaVideo_Close(g_avi.reader);
  g_avi.reader = nullptr;
  if (g_avi.fileData) Global_Free(g_avi.fileData);
  g_avi.fileData = nullptr;
  g_avi.fileSize = 0;
  g_avi.frameCount = 0;
  g_avi.paused = 0;
}

// Opens name + ".avi" as the current AVI; every failure stops at once, logged.
static void Movie_OpenAvi(const char* name, const float* soundPosition) {
  VarRecord* drawAvi = Var_Find("render_drawavi");
  if (drawAvi && (drawAvi->value == 1 || drawAvi->value == 2)) Movie_DumpAvi(name, int(drawAvi->value));
  g_avi.sound = Sound_Play(name, 1.0f, 2.0f, soundPosition, 1, 0);
  g_avi.opens++;
  if (!Movie_ReadFile(name, ".avi", &g_avi.fileData, &g_avi.fileSize)) {
    Log_Printf("AVIFileOpen error[%i]\n", int(AVIERR_FILEOPEN));
    return;
  }
  g_avi.reader = MediaVideo_Open(g_avi.fileData, g_avi.fileSize, FrameLimit(), FrameLimit());
  if (!g_avi.reader) {
    Log_Printf("AVIStreamGetFrameOpen error\n");
    return;
  }
  MediaVideoInfo info;
  MediaVideo_GetInfo(g_avi.reader, &info);
  if (info.frameCount <= 0) {
    Log_Printf("AVIFileInfo error[%i]\n", int(AVIERR_NODATA));
    MediaVideo_Close(g_avi.reader);
    g_avi.reader = nullptr;
    return;
  }
  g_avi.frameRate = float(info.frameRate);
  g_avi.frameCount = info.frameCount;
  g_avi.videoWidth = uint32_t(info.srcWidth);
  g_avi.videoHeight = uint32_t(info.srcHeight);
  g_avi.frameWidth = uint32_t(info.width);
  g_avi.frameHeight = uint32_t(info.height);
  uint64_t bytes = uint64_t(info.width) * uint64_t(info.height) * 4;
  g_avi.frameBuffer = Movie_AllocFrameMemory(bytes, "avipdr", &g_avi.frameBufferKind);
  if (!g_avi.frameBuffer) {
    Log_Printf("AVIStreamGetFrameOpen error\n");
    MediaVideo_Close(g_avi.reader);
    g_avi.reader = nullptr;
    return;
  }
  g_avi.lastFrame = -1;
  g_avi.currentFrame = -1;
  if (!Movie_TextureLive(g_avi.texture, g_avi.textureGeneration)) {
    g_avi.textureGeneration = Tex_GetGeneration();
    g_avi.texture = Movie_CreateTexture("AVIStreamGenTexture", "##VIDEOWMV##", &g_videoMaterialCounter,
                                        g_avi.videoWidth, g_avi.videoHeight, g_avi.frameWidth, g_avi.frameHeight,
                                        &g_avi.textureWidth, &g_avi.textureHeight, &g_avi.textureTarget, "AVIDATA");
  }
}

uint32_t Movie_PlayAvi(const char* name, float time, int reopen, const float* soundPosition) {
  if (!name) name = "";
  if (std::strlen(name) >= sizeof g_avi.name - 4) {
    Log_Printf("Movie_PlayAvi: name too long\n");
    return 0;
  }
  for (int pass = 0; pass < 2; pass++) {
    if (reopen || strcasecmp(name, g_avi.name) != 0) {
      if (g_avi.name[0]) Movie_CloseAvi();
      if (*name) Movie_OpenAvi(name, soundPosition);
      std::snprintf(g_avi.name, sizeof g_avi.name, "%s", name);
      reopen = 0;
    }
    if (!g_avi.reader) return g_avi.texture;
    double t = time;
    double soundClock;
    if (!g_avi.paused && Movie_SoundClock(g_avi.sound, &soundClock)) t = soundClock;
    double f = std::floor(double(g_avi.frameRate) * t);
    if (!(f >= 0)) f = 0;
    if (f > double(g_avi.frameCount - 1)) {
      if (pass == 0) {
        // Past the last frame: the video and its sound start again from the beginning.
        reopen = 1;
        time = 0;
        continue;
      }
      f = double(g_avi.frameCount - 1);
    }
    g_avi.currentFrame = int64_t(f);
    break;
  }
  if (!g_avi.reader) return g_avi.texture;
  if (g_avi.currentFrame != g_avi.lastFrame) {
    g_avi.lastFrame = g_avi.currentFrame;
    if (MediaVideo_DecodeFrame(g_avi.reader, g_avi.currentFrame) &&
        MediaVideo_ConvertLast(g_avi.reader, g_avi.frameBuffer))
      Movie_Upload(g_avi.texture, g_avi.textureGeneration, g_avi.textureTarget, g_avi.frameWidth,
                   g_avi.frameHeight, g_avi.frameBuffer);
  }
  return g_avi.texture;
}

void Movie_DrawAvi(const float* rect) {
  Movie_DrawQuad(g_avi.texture, g_avi.textureGeneration, g_avi.textureTarget, g_avi.videoWidth,
                 g_avi.videoHeight, g_avi.frameWidth, g_avi.frameHeight, g_avi.textureWidth, g_avi.textureHeight, rect);
}

void Movie_SetAviPaused(const char* name, float time, int paused) {
  paused = paused ? 1 : 0;
  if (!g_avi.sound || paused == g_avi.paused) return;
  if (paused) {
    Sound_StopVoice(g_avi.sound);
    g_avi.paused = 1;
    return;
  }
  g_avi.paused = 0;
  uint32_t a = 0, b = 0, bytesPerSecond = 0, d = 0;
  if (Sound_GetDecoderInfo(g_avi.sound, &a, &b, &bytesPerSecond, &d)) {
    double pos = double(time) * bytesPerSecond;
    Sound_Seek(g_avi.sound, pos > 0 && pos < 2.0e9 ? int(pos) : 0);
    Movie_PlayAvi(name, time, 0, nullptr);
  }
  Sound_PlayVoice(g_avi.sound);
}

float Movie_GetAviPosition(float time) {
  if (!g_avi.reader || g_avi.frameCount <= 0) return 0;
  return float(double(g_avi.frameRate) * time / double(g_avi.frameCount));
}

float Movie_GetAviKeyTime(float time) {
  if (!g_avi.reader || !(g_avi.frameRate > 0)) return 0;
  double ms = std::trunc(double(time) * 1000.0);
  if (!(ms >= 0)) ms = 0;
  int64_t sample = int64_t(std::floor(ms * g_avi.frameRate / 1000.0 + 1e-9));
  if (sample >= g_avi.frameCount) sample = g_avi.frameCount - 1;
  int64_t key = MediaVideo_FindKeyFrame(g_avi.reader, sample);
  double keyMs = std::floor(double(key) * 1000.0 / g_avi.frameRate + 1e-9);
  return float((keyMs + 1) * 0.001);
}

// ---------------------------------------------------------------------------------------------
// WMA decoder

namespace {
struct WmaDecoder {
  SoundDecoder head;
  SoundFormat format;
  MediaAudio* reader;
  uint8_t* fileData;  // "rostrx"
  uint32_t fileSize;
  uint8_t* buffer;    // "wmabuf": the bytes handed out by the last read
  uint32_t bufferSize;
  int loop;
};
constexpr uint32_t kWmaBuffer = 65536;
}  // namespace

static int Wma_Info(SoundDecoder*, uint32_t*, uint32_t*, uint32_t*, uint32_t*) { return 0; }
static int Wma_Seek(SoundDecoder*, int) { return 0; }

static int Wma_Read(SoundDecoder* d, const uint8_t** out, int maximum) {
  auto* w = reinterpret_cast<WmaDecoder*>(d);
  if (!w || !out || maximum <= 0) return 0;
  uint32_t want = uint32_t(maximum) < w->bufferSize ? uint32_t(maximum) : w->bufferSize;
  int64_t n = MediaAudio_Read(w->reader, w->buffer, want);
  if (n == 0 && w->loop) {
    MediaAudio_Rewind(w->reader);
    n = MediaAudio_Read(w->reader, w->buffer, want);
  }
  if (n <= 0) return -1;
  *out = w->buffer;
  return int(n);
}

static void Wma_Free(SoundDecoder** pd) {
  if (!pd || !*pd) return;
  auto* w = reinterpret_cast<WmaDecoder*>(*pd);
  MediaAudio_Close(w->reader);
  if (w->buffer) Global_Free(w->buffer);
  if (w->fileData) Global_Free(w->fileData);
  Global_Free(w);
  *pd = nullptr;
}

SoundDecoder* Movie_OpenWma(const char* name, int loop) {
  if (!name || std::strlen(name) >= size_t(kSoundNameSize)) return nullptr;
  uint8_t* data;
  uint32_t size;
  if (!Movie_ReadFile(name, ".wma", &data, &size)) return nullptr;
  MediaAudio* reader = MediaAudio_Open(data, size);
  auto* w = reader ? static_cast<WmaDecoder*>(Global_MallocZero(sizeof(WmaDecoder), "wma")) : nullptr;
  uint8_t* buffer = w ? static_cast<uint8_t*>(Global_MallocZero(kWmaBuffer, "wmabuf")) : nullptr;
  if (!buffer) {
    if (w) Global_Free(w);
    MediaAudio_Close(reader);
    Global_Free(data);
    return nullptr;
  }
  MediaAudioInfo info;
  MediaAudio_GetInfo(reader, &info);
  w->format = Sound_PcmFormat(info.channels, uint32_t(info.rate), info.bits);
  std::snprintf(w->head.name, sizeof w->head.name, "%s", name);
  w->head.format = &w->format;
  w->head.formatSize = kSoundFormatSize;
  w->head.data = nullptr;
  w->head.dataSize = 0;
  w->head.info = Wma_Info;
  w->head.seek = Wma_Seek;
  w->head.read = Wma_Read;
  w->head.free = Wma_Free;
  w->reader = reader;
  w->fileData = data;
  w->fileSize = size;
  w->buffer = buffer;
  w->bufferSize = kWmaBuffer;
  w->loop = loop ? 1 : 0;
  return &w->head;
}

SoundDecoder* Movie_WmaLoader(const char* name, int loop) { return Movie_OpenWma(name, loop); }
