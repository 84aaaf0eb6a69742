// The keyboard and mouse devices: window events buffered per device and drained once per frame
// as key events (code in bits 0..30, bit 31 set on a key-down) and mouse sums.
#pragma once
#include <cstdint>

struct PlatEvent;

constexpr int kDeviceBufferSize = 64;  // events buffered per device between two reads
constexpr uint32_t kKeyEventDown = 0x80000000u;

// Error codes reported through DIError; 0 and unknown values print as "Unknown Error".
enum DIErrorCode : int {
  DIERR_NONE = 0,
  DIERR_OLDDIRECTINPUTVERSION = 1,
  DIERR_BETADIRECTINPUTVERSION,
  DIERR_BADDRIVERVER,
  DIERR_DEVICENOTREG,
  DIERR_NOTFOUND,
  DIERR_INVALIDPARAM,
  DIERR_NOINTERFACE,
  DIERR_GENERIC,
  DIERR_OUTOFMEMORY,
  DIERR_UNSUPPORTED,
  DIERR_NOTINITIALIZED,
  DIERR_ALREADYINITIALIZED,
  DIERR_NOAGGREGATION,
  DIERR_OTHERAPPHASPRIO,
  DIERR_INPUTLOST,
  DIERR_ACQUIRED,
  DIERR_NOTACQUIRED,
  DIERR_INSUFFICIENTPRIVS,
  DIERR_DEVICEFULL,
  DIERR_MOREDATA,
  DIERR_NOTDOWNLOADED,
  DIERR_HASEFFECTS,
  DIERR_NOTEXCLUSIVEACQUIRED,
  DIERR_INCOMPLETEEFFECT,
  DIERR_NOTBUFFERED,
  DIERR_EFFECTPLAYING,
};

// Stage 1: starts both devices for the game window (they are acquired by DI_Acquire).
void DI_Init(int stage);
int DIKInit();
int DIMInit();
// Acquires both devices while the window is active, releases them while it is not. The mouse
// is exclusive: acquired, it is in relative mode with the pointer hidden and held.
void DI_Acquire();
// Drains both device buffers: the keyboard's events first, then the mouse buttons' (256..259);
// at most `capacity` events in all. Mouse movement and wheel notches (positive away from the
// user) come as sums. `lost` is set to 1 when the devices lost their events since the last
// read (focus loss), so held keys can be forgotten.
void DI_ReadEvents(int32_t* mouseX, int32_t* mouseY, int32_t* wheel, uint32_t* events, int capacity, int* count,
                   int* lost);
void DI_Shutdown();
void DIError(int code, const char* text);
// The start hook of the input module; there is nothing to start.
void DI_StartHook();

// Routes one keyboard, mouse or focus event of the window into the device buffers.
void PlatInput_QueueEvent(const PlatEvent* ev);
// The key code (1..255) of a platform scancode, 0 when the key has none.
int PlatInput_ScancodeToKey(int scancode);
// The key code (256..259) of a platform mouse button, 0 when it has none.
int PlatInput_ButtonToKey(int button);
