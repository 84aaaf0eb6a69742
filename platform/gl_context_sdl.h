// The OpenGL context on the game window (SDL2): library, entry points, context, swap, and what
// the chosen framebuffer format offers. The GL attributes (RGBA 8 each, depth 24, stencil 8,
// double buffer, compatibility profile) are set before the window is created (platform/window).
//
// Every operation goes through the table Plat_Gl, so tests can replace single entries (a failing
// context, a missing entry point, a refused swap interval).
#pragma once

struct PlatGlFormat {
  int redBits, greenBits, blueBits, alphaBits;
  int depthBits, stencilBits;
  int doubleBuffer;
  int accelerated;  // what the window system reports (1 for direct rendering)
};

struct PlatGlOps {
  // 0 on success: makes the OpenGL library usable for the game window.
  int (*loadLibrary)();
  void (*unloadLibrary)();
  // Entry point by name, or null.
  void* (*getProcAddress)(const char* name);
  // A GL context on the game window, or null.
  void* (*createContext)();
  // 0 on success; a null context makes no context current.
  int (*makeCurrent)(void* context);
  void (*deleteContext)(void* context);
  // Presents the back buffer of the game window.
  void (*swapWindow)();
  // 0 when the swap interval was accepted.
  int (*setSwapInterval)(int interval);
  // 1 when the current context renders indirectly (through the X server).
  int (*isIndirect)(void* context);
  // The format of the game window's framebuffer, read from the current context.
  void (*describeFormat)(PlatGlFormat* out);
  // PCI vendor and device id of the primary display adapter; 0 when unknown.
  int (*primaryPciIds)(unsigned* vendor, unsigned* device);
  // Text of the last failure of the layer (for the log).
  const char* (*lastError)();
};

extern PlatGlOps Plat_Gl;
// Puts the SDL implementations back into every entry of Plat_Gl.
void Plat_GlRestoreDefaults();
