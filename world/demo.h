// Demo recordings: "demo\<name>.dem" holds a saved-game snapshot, then the step record of every
// tick in tick order, then the end record (a chaining record, the demo's own 256-byte name, an
// ending record). Playback rebuilds the game from the snapshot and feeds the records to the tick.
#pragma once
#include <cstdint>

struct DemoFrame;

constexpr uint32_t kDemoNameSize = 256;
constexpr uint32_t kDemoEndRecordSize = 16 + kDemoNameSize + 16;
// A step above this (or negative, or not a number) is damage: playback ends.
constexpr float kDemoMaxStep = 1.0f;
// No mouse turns a frame by more than this (radians, turn or pitch); a record that does is damaged.
constexpr float kDemoMaxTurn = 64.0f;

// Starts recording "demo\<name>.dem" (the name kept whole, extension and all): the previous
// recording ends, the snapshot is written. Refused in a network game, with no game running, for
// a name with "..", and during a playback (with a message line for the player). 1 when recording.
int StartDemo(const char* name);
// Ends the recording: writes the end record and puts the file in place. 1 when a recording was
// ended and its file written whole.
int StartRecord();
// A message line for the player: the text of `key`, or `fallback` when the game has none. Saves
// and recordings report themselves with it.
void Demo_ShowMessage(const char* key, const char16_t* fallback);
// Appends a tick's record while recording.
void Demo_WriteFrame(const DemoFrame* frame);

// Starts playing "demo\<name>.dem": the previous playback ends, the snapshot is checked whole and
// rebuilds the game (a demo of the loaded level keeps the level's geometry). 1 when playing.
int Demo_StartPlayback(const char* name);
// Reads the next record of the playing demo into `frame`; at the end, or for a damaged record,
// playback ends (the playback bit is cleared).
void Demo_ReadFrame(DemoFrame* frame);
// Follows a chaining record: plays `next`, else (its file missing or refused) the demo being
// played from its start again, else releases the level; a playback never turns into live play.
// 1 when a playback runs. A chain to a name already chained to since the playback was started
// (from outside a chain) writes no lines: a loop that restarts every frame does not fill the log.
int Demo_Chain(const char* next);
// The name in the slot after a chaining record ("" when none, or a name that is not plain).
const char* Demo_NextName();
// Ends playback.
void EndDemo();

// The name being played or recorded ("" when none).
const char* Demo_PlaybackName();
const char* Demo_RecordingName();

// Tests replace the record source of Demo_ReadFrame; null reads the demo file.
extern void (*Demo_ReadSource)(DemoFrame* frame);
