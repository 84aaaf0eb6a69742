// Saved games: one file holding a snapshot of the whole game (a fixed header with every game-state
// table, then a body by game mode). The same snapshot opens every demo (world/demo).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

struct FileHandle;

constexpr uint32_t kSaveId = 0x18030303;
constexpr uint32_t kSaveVersion = 75;
constexpr uint32_t kSaveHeaderSize = 120740;
constexpr uint32_t kSaveEmitterSize = 148;
constexpr size_t kSaveNameSize = 256;

// Places of the header's fields that other code reads without parsing the whole header.
constexpr uint32_t kSaveOfsDate = 8;
constexpr uint32_t kSaveOfsLevel = 24;
constexpr uint32_t kSaveOfsMode = 284;
constexpr uint32_t kSaveOfsObjectCount = 300;
constexpr uint32_t kSaveOfsPersonageCount = 308;
constexpr uint32_t kSaveOfsEmitterCount = 119176;
constexpr uint32_t kSaveOfsHero = 119180;

// The snapshot of the running game: header and body.
std::vector<uint8_t> Save_SnapshotBytes();
// Writes the snapshot to an open file; 1 when every byte was written.
int Save_WriteSnapshot(FileHandle* file);

// Makes the running game what a load of its snapshot rebuilds (the game time narrowed as the
// header holds it, the player's think stamp and car re-entry, bodies at rest), so that a
// recording goes on from the state its playback starts from.
void Save_MatchLoadedGame();

// "save\<name without extension>.sav". Does nothing unless a game runs. The file replaces the
// old one only when complete and on the disk; 1 when saved. A snapshot that the load would refuse
// (its checks, its size) is not written: the old file stays, and a message line says so.
int Save(const char* name);
// Loads "save\<name without extension>.sav"; 1 when loaded. The settle counter is 5 afterwards.
// `missing` (when given) is true only when there is no such file: one that is there but does not
// open (a folder, a pipe, unreadable) or that was refused leaves it false.
int Save_LoadSlot(const char* name, bool* missing = nullptr);
// Loads the snapshot of an open file (read whole from its position); 1 when loaded.
int Load(FileHandle* file);

// How a snapshot is applied.
enum SnapshotUse {
  SNAPSHOT_LOAD,      // a saved game: the body ends the file
  SNAPSHOT_PLAYBACK,  // a demo: step records follow the body; a level already loaded is kept
};
// Checks the whole snapshot at the start of `bytes` and only then rebuilds the game from it. A
// damaged snapshot gets one log line beginning with `caller` and changes nothing. Returns the
// snapshot's length (0 when refused; the header's length for a saved game of another mode).
size_t Save_ApplySnapshot(const uint8_t* bytes, size_t size, SnapshotUse use, const char* caller);

// The file name of a save or demo: `folder` + name (+ `extension`, the name's own extension
// dropped when `dropExtension`). 0 with a log line for an empty name or one with "..".
int Save_BuildName(const char* caller, const char* folder, const char* name, const char* extension,
                   bool dropExtension, char* out, size_t outSize);

// Starts the sound of every level sound emitter (after a load).
void Emitters_Restart();

// The music channels (1 ambient, 2 weapon, 3 combat; 0 unused): the voice and its times.
struct MusicChannel {
  uint32_t voice;
  float firstTime;
  float word;
  float secondTime;
  float level;
};
constexpr int kMusicChannels = 4;
extern MusicChannel Game_MusicChannels[kMusicChannels];

// Quick save and quick load use this name.
constexpr const char* kQuickSaveName = "quicksave\\quick";
