// Display modes and the gamma ramp of the game window's display (SDL2 underneath).
#pragma once
#include <cstdint>

// The display's modes in the order the system lists them.
int PlatDisplay_GetModeCount();
int PlatDisplay_GetMode(int index, uint32_t* bitsPerPixel, uint32_t* width, uint32_t* height,
                        uint32_t* refresh);
// The desktop's size; 0 without a display.
int PlatDisplay_GetDesktopSize(int* width, int* height);
// Switches the display to the mode and makes the window full-screen on it; 0 when refused.
int PlatDisplay_SetFullscreenMode(uint32_t bitsPerPixel, uint32_t width, uint32_t height,
                                  uint32_t refresh);
// Leaves a full-screen mode: the desktop gets its own mode back.
void PlatDisplay_RestoreDesktop();
// Places and sizes the game window.
void PlatDisplay_SetWindowRect(int x, int y, int width, int height);
// The window's gamma ramp; 0 when the driver has none or refuses.
int PlatDisplay_GetGammaRamp(uint16_t red[256], uint16_t green[256], uint16_t blue[256]);
int PlatDisplay_SetGammaRamp(const uint16_t red[256], const uint16_t green[256],
                             const uint16_t blue[256]);
