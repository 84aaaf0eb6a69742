// Pictures of the screen: screenshots by the hot key and the numbered pictures of a capture.
#pragma once
#include <cstdint>

// Writes the current frame (the back buffer, the whole screen) as an uncompressed 32-bit TGA:
// blue, green, red, alpha, bottom row first. The file appears complete or not at all. Returns 1
// on success; 0 with a log line otherwise.
int Screenshot_WriteTga(const char* name);

// The screenshot hot key: the first of "scr000.tga" to "scr999.tga" (from the run's counter up)
// that no disk file holds. The picture is published under its name only while that name is free,
// so no screenshot is ever overwritten. Returns the number written, or -1 (none free, or a write
// failed).
int Screenshot_Take();
extern int32_t Screenshot_Counter;  // 0 at start, never above 1000

// The capture: "video\<level>\scr.NNNNN.tga" for each call numbered within "igv_first_frame" ..
// "igv_last_frame" (every call when they are not both set with first < last).
void Game_CaptureFrame();
extern int32_t Capture_Counter;
