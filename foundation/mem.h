// Tracked allocation with tags, guard bytes and a live-memory report, and the "_debug" switches.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>

struct DebugSwitches {
  int debugMem;         // every allocation is tracked and gets guard bytes
  int printMem;         // with debugMem: every allocation and release is logged
  int boundsCheckSize;  // guard bytes behind every tracked block (0..4096)
  int boundsCheckChar;  // value of each guard byte (low byte)
  int openLog;          // the log stays open for the run
};
extern DebugSwitches Sys_Debug;

constexpr int kAllocRecords = 65536;

// The tracked paths, taken while "debugMem" is on.
void* Global_MallocTracked(size_t size, const char* tag, bool zero);

// With "debugMem" off the allocators are malloc and free and nothing more.
inline void* Global_Malloc(size_t size, const char* tag) {
  if (size == 0) return nullptr;
  if (Sys_Debug.debugMem) return Global_MallocTracked(size, tag, false);
  return std::malloc(size);
}
inline void* Global_MallocZero(size_t size, const char* tag) {
  if (size == 0) return nullptr;
  if (Sys_Debug.debugMem) return Global_MallocTracked(size, tag, true);
  return std::calloc(1, size);
}
void Global_Free(void* p);

void Global_GetSystemMemory(uint64_t* totalPhys, uint64_t* availPhys, uint64_t* totalPageFile,
                            uint64_t* availPageFile);
void Global_MemoryStatus();

// Live tracked blocks and bytes (only counted while debugMem is on).
int Global_LiveBlocks();
uint64_t Global_LiveBytes();
// Releases the tracking table's bookkeeping; blocks still live stay allocated.
void Global_ResetTracking();
