// Display modes, gamma, and the display module's entry that carries the renderer.
#pragma once
#include <cstdint>

struct DisplayMode {
  uint32_t bitsPerPixel;
  uint32_t width;
  uint32_t height;
  uint32_t refresh;  // Hz
};

constexpr int kMaxDisplayModes = 1024;

// The screen rectangle of the current mode (read by the 2D code).
extern int Video_ScreenLeft, Video_ScreenTop, Video_ScreenWidth, Video_ScreenHeight;

// Bitmap-font cells: four texture-coordinate pairs each, (left, top), (right, top),
// (right, bottom), (left, bottom).
extern float Video_BitmapCells[256][4][2];
void Video_BuildBitmapCells();

// Stage 1 lists the display's modes (other stages return stage - 1).
int Video_EnumDisplayModes(int stage);
// Builds the list from the given rows, as the enumeration does from the display's.
void Video_SetModeList(const DisplayMode* rows, int count);
int Video_GetDisplayModeCount();
int Video_GetModeCount();
int Video_GetDisplayMode(int index, uint32_t* bitsPerPixel, uint32_t* width, uint32_t* height,
                         uint32_t* refresh);
int Video_GetMode(int index, uint32_t* bitsPerPixel, uint32_t* width, uint32_t* height,
                  uint32_t* refresh);
int Video_GetCurrentDisplayMode();
// 1 when the mode was set (or only the window sized); 0 when the display refused it.
int Video_ChangeDisplayMode(int index);
void Video_RestoreDisplayMode();
int Video_FindMode(const char* text);
void Video_SetMode(int index);
void Video_SetModeFromText(const char* text);
// The window was given another size (by the window manager): the frame's viewport and the 2D
// screen follow it. Sizes of 0 or less are ignored.
void Video_WindowResized(int width, int height);

// The ramp "render_gamma" asks for (same for red, green and blue).
void Video_BuildGammaRamp(float gamma, uint16_t ramp[256]);
void Video_SaveGamma();
// Sets the ramp of "render_gamma"; 0 (with a log line) when the value is 0 or less, or when the
// display refuses the ramp (logged once a run).
int Video_ApplyGamma();
void Video_RestoreGamma();

void Video_ResetFonts();
void Video_Init(int stage);
void Video_Shutdown();
// One black frame on the whole screen (colour and depth cleared, presented): three end the start-up,
// two begin the shutdown.
void Video_BlackFrame();

// The display settings as the text and font code read them.
const char* Video_GetFontName();
int Video_GetUnicode();
float Video_GetScaleX();
float Video_GetScaleY();
float Video_GetTextShadow();
