#include "foundation/video.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/log.h"
#include "foundation/text.h"
#include "foundation/var.h"
#include "platform/display_sdl.h"
#include "render/font.h"
#include "render/material.h"
#include "render/render.h"
#include "render/texture.h"
#include "render/vertexarray.h"
#include "render/text.h"

int Video_ScreenLeft, Video_ScreenTop, Video_ScreenWidth = 640, Video_ScreenHeight = 480;
float Video_BitmapCells[256][4][2];

static DisplayMode g_modes[kMaxDisplayModes];
static int g_modeCount;
static int g_currentMode;
static uint16_t g_savedRamp[3][256];
static int g_gammaSaved;
static int g_modeSet;  // a mode was set since the start

constexpr uint32_t kNumericFlags = VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS;
constexpr uint32_t kTextFlags = VAR_SETTABLE | VAR_ALWAYS;

static VarRecord g_varGamma = {"render_gamma", 0, kNumericFlags, 1.0f, "1", 0, nullptr};
static VarRecord g_varMode = {"video_mode", 0, kTextFlags, 0, "800 600 60", 0, nullptr};
static VarRecord g_varWindowed = {"video_windowed", 0, kNumericFlags, 0, "0", 0, nullptr};
static VarRecord g_varFont = {"video_font", 0, kTextFlags, 0, "Courier New", 0, nullptr};
static VarRecord g_varUnicode = {"video_unicode", 0, kNumericFlags, 0, "0", 0, nullptr};
static VarRecord g_varScaleX = {"video_scalex", 0, kNumericFlags, 1.0f, "1", 0, nullptr};
static VarRecord g_varScaleY = {"video_scaley", 0, kNumericFlags, 1.0f, "1", 0, nullptr};
static VarRecord g_varLang = {"video_lang", 0, kTextFlags, 0, "Eng", 0, nullptr};
static VarRecord g_varShadow = {"video_text_shadow", 0, kNumericFlags, 0, "0", 0, nullptr};

// The records in use (the first registration of a name wins).
static VarRecord* g_gamma = &g_varGamma;
static VarRecord* g_mode = &g_varMode;
static VarRecord* g_windowed = &g_varWindowed;
static VarRecord* g_font = &g_varFont;
static VarRecord* g_unicode = &g_varUnicode;
static VarRecord* g_scaleX = &g_varScaleX;
static VarRecord* g_scaleY = &g_varScaleY;
static VarRecord* g_shadow = &g_varShadow;

const char* Video_GetFontName() { return g_font->text; }
int Video_GetUnicode() { return g_unicode->value != 0; }
float Video_GetScaleX() { return g_scaleX->value; }
float Video_GetScaleY() { return g_scaleY->value; }
float Video_GetTextShadow() { return g_shadow->value; }

// ---------------------------------------------------------------------------------------------
// Mode list

static const uint32_t kAllowedSizes[6][2] = {{640, 480}, {800, 600}, {1024, 768},
                                            {512, 384}, {1280, 960}, {1600, 1200}};

static int AddMode(const DisplayMode& m) {
  if (m.bitsPerPixel != 24 && m.bitsPerPixel != 32) return 1;
  if (m.width > 1600 || m.height > 1200) return 1;
  int allowed = 0;
  for (auto& s : kAllowedSizes) allowed |= s[0] == m.width && s[1] == m.height;
  if (!allowed) return 1;
  for (int i = 0; i < g_modeCount; i++) {
    const DisplayMode& o = g_modes[i];
    if (o.bitsPerPixel == m.bitsPerPixel && o.width == m.width && o.height == m.height &&
        o.refresh == m.refresh)
      return 1;
  }
  g_modes[g_modeCount] = m;
  Log_Printf("mode[%d]=%dx%dx%d[%d]\n", g_modeCount, m.width, m.height, m.bitsPerPixel, m.refresh);
  g_modeCount++;
  return g_modeCount < kMaxDisplayModes;
}

void Video_SetModeList(const DisplayMode* rows, int count) {
  g_modeCount = 0;
  for (int i = 0; i < count; i++)
    if (!AddMode(rows[i])) break;
  g_currentMode = 0;
}

int Video_EnumDisplayModes(int stage) {
  if (stage != 1) return stage - 1;
  g_modeCount = 0;
  const int n = PlatDisplay_GetModeCount();
  for (int i = 0; i < n; i++) {
    DisplayMode m{};
    if (!PlatDisplay_GetMode(i, &m.bitsPerPixel, &m.width, &m.height, &m.refresh)) break;
    if (!AddMode(m)) break;
  }
  g_currentMode = 0;
  return 0;
}

int Video_GetDisplayModeCount() { return g_modeCount; }
int Video_GetModeCount() { return g_modeCount; }

int Video_GetDisplayMode(int index, uint32_t* bitsPerPixel, uint32_t* width, uint32_t* height,
                         uint32_t* refresh) {
  if (index < 0 || index >= g_modeCount) return 0;
  const DisplayMode& m = g_modes[index];
  *bitsPerPixel = m.bitsPerPixel;
  *width = m.width;
  *height = m.height;
  *refresh = m.refresh;
  return 1;
}

int Video_GetMode(int index, uint32_t* bitsPerPixel, uint32_t* width, uint32_t* height,
                  uint32_t* refresh) {
  return Video_GetDisplayMode(index, bitsPerPixel, width, height, refresh);
}

int Video_GetCurrentDisplayMode() { return g_currentMode; }

int Video_FindMode(const char* text) {
  int w = 800, h = 600, hz = 60;
  if (text && *text) std::sscanf(text, "%i %i %i", &w, &h, &hz);
  auto is = [](const DisplayMode& m, int w, int h) {
    return static_cast<int64_t>(m.width) == w && static_cast<int64_t>(m.height) == h;
  };
  for (int i = 0; i < g_modeCount; i++)
    if (is(g_modes[i], w, h) && static_cast<int64_t>(g_modes[i].refresh) == hz) return i;
  for (int i = 0; i < g_modeCount; i++)
    if (is(g_modes[i], w, h)) return i;
  for (int i = 0; i < g_modeCount; i++)
    if (is(g_modes[i], 800, 600) && g_modes[i].refresh == 60) return i;
  return 0;
}

int Video_ChangeDisplayMode(int index) {
  if (g_modeCount == 0) return 0;
  if (index < 0) index = 0;
  if (index >= g_modeCount) index = g_modeCount - 1;
  const DisplayMode& m = g_modes[index];
  if (g_windowed->value == 0 &&
      !PlatDisplay_SetFullscreenMode(m.bitsPerPixel, m.width, m.height, m.refresh)) {
    Log_Printf("Video_ChangeDisplayMode: %dx%dx%d[%d] refused\n", m.width, m.height, m.bitsPerPixel,
               m.refresh);
    return 0;
  }
  g_currentMode = index;
  PlatDisplay_SetWindowRect(0, 0, static_cast<int>(m.width), static_cast<int>(m.height));
  return 1;
}

void Video_RestoreDisplayMode() { PlatDisplay_RestoreDesktop(); }

static void SetScreenSize(int width, int height) {
  Video_ScreenLeft = 0;
  Video_ScreenTop = 0;
  Video_ScreenWidth = width;
  Video_ScreenHeight = height;
  Render_SetScreenSize(width, height);
  OPENGL_AllocVar();
}

void Video_WindowResized(int width, int height) {
  if (width <= 0 || height <= 0 || (width == Video_ScreenWidth && height == Video_ScreenHeight)) return;
  Log_Printf("Video_WindowResized: %dx%d\n", width, height);
  Video_ScreenLeft = Video_ScreenTop = 0;
  Video_ScreenWidth = width;
  Video_ScreenHeight = height;
  Render_SetScreenSize(width, height);
}

void Video_SetMode(int index) {
  if (g_modeCount == 0) {
    // No mode of an allowed size: stay on the desktop's size and leave the setting as it is.
    int w = 0, h = 0;
    if (!PlatDisplay_GetDesktopSize(&w, &h)) {
      w = 640;
      h = 480;
    }
    Log_Printf("Video_SetMode: no display mode listed, keeping %dx%d\n", w, h);
    SetScreenSize(w, h);
    return;
  }
  if (!Video_ChangeDisplayMode(index) && !g_modeSet) {
    // The first switch was refused: the window takes the mode's size on the desktop instead, so
    // the screen size matches the window.
    g_currentMode = std::clamp(index, 0, g_modeCount - 1);
    const DisplayMode& m = g_modes[g_currentMode];
    PlatDisplay_SetWindowRect(0, 0, static_cast<int>(m.width), static_cast<int>(m.height));
  }
  g_modeSet = 1;
  const DisplayMode& m = g_modes[g_currentMode];
  char text[64];
  std::snprintf(text, sizeof text, "%i %i %i", static_cast<int>(m.width), static_cast<int>(m.height),
                static_cast<int>(m.refresh));
  Var_SetText(g_mode, text);
  Log_Printf("video_mode[%d]=%dx%dx%d[%d]\n", static_cast<int>(g_mode->value), m.width, m.height,
             m.bitsPerPixel, m.refresh);
  SetScreenSize(static_cast<int>(m.width), static_cast<int>(m.height));
}

void Video_SetModeFromText(const char* text) { Video_SetMode(Video_FindMode(text)); }

// ---------------------------------------------------------------------------------------------
// Gamma

void Video_BuildGammaRamp(float gamma, uint16_t ramp[256]) {
  for (int i = 0; i < 256; i++) {
    double v = std::pow((i + 0.5) * 0.0039138943, static_cast<double>(gamma)) * 65535.0 + 0.5;
    if (!(v >= 0)) v = 0;  // NaN too
    if (v > 65535) v = 65535;
    ramp[i] = static_cast<uint16_t>(v);
  }
}

void Video_SaveGamma() {
  g_gammaSaved = PlatDisplay_GetGammaRamp(g_savedRamp[0], g_savedRamp[1], g_savedRamp[2]);
}

int Video_ApplyGamma() {
  const float gamma = g_gamma->value;
  if (!(gamma > 0) || !std::isfinite(gamma)) {
    // 0 or less would turn every entry white until exit.
    Log_Printf("Video_ApplyGamma: render_gamma %f ignored (must be above 0)\n", static_cast<double>(gamma));
    return 0;
  }
  uint16_t ramp[256];
  Video_BuildGammaRamp(gamma, ramp);
  if (PlatDisplay_SetGammaRamp(ramp, ramp, ramp)) return 1;
  static int refusalLogged;
  if (!refusalLogged)
    Log_Printf("Video_ApplyGamma: the display refused the gamma ramp; render_gamma has no effect\n");
  refusalLogged = 1;
  return 0;
}

void Video_RestoreGamma() {
  if (g_gammaSaved) PlatDisplay_SetGammaRamp(g_savedRamp[0], g_savedRamp[1], g_savedRamp[2]);
}

// ---------------------------------------------------------------------------------------------
// Fonts and the module entry

void Video_BuildBitmapCells() {
  for (int i = 0; i < 256; i++) {
    const int c = i % 32, r = i / 32;
    const float left = 8.0f * c / 256.0f, right = 8.0f * (c + 1) / 256.0f;
    const float top = 1.0f - 16.0f * r / 128.0f, bottom = 1.0f - 16.0f * (r + 1) / 128.0f;
    const float uv[4][2] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
    std::memcpy(Video_BitmapCells[i], uv, sizeof uv);
  }
}

void Video_ResetFonts() {
  Font_InvalidateGlyphs();
  Print_BitmapPage = static_cast<uint32_t>(Material_LoadPicture("sprites\\win866"));
  OPENGL_AllocVar();
}

void Video_BlackFrame() {
  Render_BeginFrame(0, 0, Video_ScreenWidth, Video_ScreenHeight);
  Render_Clear(1, 0, 0, 0);
  Render_EndFrame(1, 1);
}

void Video_Init(int stage) {
  if (stage == 0) {
    g_gamma = Var_Register(&g_varGamma);
    g_mode = Var_Register(&g_varMode);
    g_windowed = Var_Register(&g_varWindowed);
    g_font = Var_Register(&g_varFont);
    g_unicode = Var_Register(&g_varUnicode);
    g_scaleX = Var_Register(&g_varScaleX);
    g_scaleY = Var_Register(&g_varScaleY);
    Var_Register(&g_varLang);
    g_shadow = Var_Register(&g_varShadow);
    Render_Init(0);
    return;
  }
  if (stage != 1) return;
  Video_SaveGamma();
  Video_ApplyGamma();
  Font_Init();
  Video_BuildBitmapCells();
  Video_SetModeFromText(g_mode->text);
  Render_Init(1);
  Tex_FreeAll();
  Video_ResetFonts();
  Text_PrintBox = Print_TextBoxBottom;
  Text_PrintBoxW = Print_TextBoxBottomW;
  for (int i = 0; i < 3; i++) Video_BlackFrame();
  Video_ApplyGamma();
}

void Video_Shutdown() {
  for (int i = 0; i < 2; i++) Video_BlackFrame();
  Tex_FreeAll();
  OPENGL_FreeVar();
  Render_Shutdown();
  Font_Shutdown();
  Text_PrintBox = nullptr;
  Text_PrintBoxW = nullptr;
  Video_RestoreGamma();
}
