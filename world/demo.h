// Demo recordings: the frames of a session written after a saved-game snapshot, and played back.
#pragma once
#include <cstdint>

struct DemoFrame;

// Reads the next record of the playing demo into `frame`; clears the playback bit at the end.
void Demo_ReadFrame(DemoFrame* frame);
// The name of the demo a chaining record asks for ("" when none).
const char* Demo_NextName();
void Demo_StartPlayback(const char* name);
void Demo_WriteFrame(const DemoFrame* frame);

// Tests replace the record source of Demo_ReadFrame; null reads the demo file.
extern void (*Demo_ReadSource)(DemoFrame* frame);
