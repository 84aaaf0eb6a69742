#include "foundation/mem.h"

#include <sys/sysinfo.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <queue>
#include <unordered_map>
#include <vector>

#include "foundation/log.h"

DebugSwitches Sys_Debug = {0, 0, 8, 24, 1};

namespace {

struct AllocRecord {
  void* address;  // null = free record
  uint32_t size;
  char tag[8];
};

// The tracking table, with an address index and a heap of free record numbers so that both
// allocation ("first free record") and release stay cheap with tens of thousands of live blocks.
struct Tracking {
  std::vector<AllocRecord> records;
  std::unordered_map<void*, int> byAddress;
  std::priority_queue<int, std::vector<int>, std::greater<int>> freed;
  int highWater = 0;
  int liveBlocks = 0;
  uint64_t liveBytes = 0;

  int TakeRecord() {
    if (!freed.empty()) {
      int i = freed.top();
      freed.pop();
      return i;
    }
    if (highWater >= kAllocRecords) return -1;
    if (records.empty()) records.resize(kAllocRecords);
    return highWater++;
  }
};

Tracking& Track() {
  static Tracking t;
  return t;
}

int GuardSize() {
  int n = Sys_Debug.boundsCheckSize;
  if (n < 0) n = 0;
  if (n > 4096) n = 4096;
  return n;
}

void* TrackedAlloc(size_t size, const char* tag, bool zero) {
  if (size == 0) return nullptr;
  if (size > 0xFFFFFFFFu) return nullptr;
  Tracking& t = Track();
  int index = t.TakeRecord();
  if (index < 0) return nullptr;
  int guard = GuardSize();
  auto* block = static_cast<unsigned char*>(std::malloc(size + guard));
  if (!block) {
    t.freed.push(index);
    return nullptr;
  }
  if (zero) std::memset(block, 0, size);
  std::memset(block + size, Sys_Debug.boundsCheckChar & 0xFF, guard);
  AllocRecord& r = t.records[index];
  r.address = block;
  r.size = uint32_t(size);
  std::memset(r.tag, 0, sizeof r.tag);
  if (tag) std::strncpy(r.tag, tag, 7);
  t.byAddress[block] = index;
  if (Sys_Debug.printMem) Log_Printf("GlobalMalloc: %llx [%s].\n", (unsigned long long)(uintptr_t)block, r.tag);
  t.liveBlocks++;
  t.liveBytes += size;
  return block;
}

}  // namespace

void* Global_MallocTracked(size_t size, const char* tag, bool zero) {
  if (size == 0) return nullptr;
  return TrackedAlloc(size, tag, zero);
}

void Global_Free(void* p) {
  if (!Sys_Debug.debugMem) {
    std::free(p);
    return;
  }
  Tracking& t = Track();
  auto it = p ? t.byAddress.find(p) : t.byAddress.end();
  if (it == t.byAddress.end()) {
    Log_Printf("GlobalError: Trying Global_Free unknown pointer %llx.\n", (unsigned long long)(uintptr_t)p);
    return;
  }
  int index = it->second;
  AllocRecord& r = t.records[index];
  if (Sys_Debug.printMem) Log_Printf("GlobalFree: %llx [%s].\n", (unsigned long long)(uintptr_t)p, r.tag);
  auto* block = static_cast<unsigned char*>(p);
  int guard = GuardSize();
  unsigned char mark = Sys_Debug.boundsCheckChar & 0xFF;
  for (int i = 0; i < guard; i++)
    if (block[r.size + i] != mark)
      Log_Printf("GlobalBoundCheckError: %llx [%s].\n", (unsigned long long)(uintptr_t)p, r.tag);
  std::free(p);
  t.liveBlocks--;
  t.liveBytes -= r.size;
  r = AllocRecord{};
  t.byAddress.erase(it);
  t.freed.push(index);
}

void Global_GetSystemMemory(uint64_t* totalPhys, uint64_t* availPhys, uint64_t* totalPageFile,
                            uint64_t* availPageFile) {
  struct sysinfo si {};
  if (sysinfo(&si) != 0) std::memset(&si, 0, sizeof si);
  uint64_t unit = si.mem_unit ? si.mem_unit : 1;
  if (totalPhys) *totalPhys = uint64_t(si.totalram) * unit;
  if (availPhys) *availPhys = uint64_t(si.freeram + si.bufferram) * unit;
  if (totalPageFile) *totalPageFile = uint64_t(si.totalram + si.totalswap) * unit;
  if (availPageFile) *availPageFile = uint64_t(si.freeram + si.bufferram + si.freeswap) * unit;
}

void Global_MemoryStatus() {
  uint64_t tp, ap, tf, af;
  Global_GetSystemMemory(&tp, &ap, &tf, &af);
  Log_Printf("Total physical memory: %llu bytes\n", (unsigned long long)tp);
  Log_Printf("Avail physical memory: %llu bytes\n", (unsigned long long)ap);
  Log_Printf("Total pagefile memory: %llu bytes\n", (unsigned long long)tf);
  Log_Printf("Avail pagefile memory: %llu bytes\n", (unsigned long long)af);
  Tracking& t = Track();
  Log_Printf("Global_MemoryStatus: %i prt %llu bytes\n", t.liveBlocks, (unsigned long long)t.liveBytes);
  if (!Sys_Debug.debugMem) return;
  for (int i = 0; i < t.highWater; i++) {
    const AllocRecord& r = t.records[i];
    if (r.address)
      Log_Printf("\tp[%s]=[0x%llx]=%u\n", r.tag, (unsigned long long)(uintptr_t)r.address, r.size);
  }
}

int Global_LiveBlocks() { return Track().liveBlocks; }
uint64_t Global_LiveBytes() { return Track().liveBytes; }

void Global_ResetTracking() {
  Tracking& t = Track();
  t.records.clear();
  t.byAddress.clear();
  t.freed = {};
  t.highWater = 0;
  t.liveBlocks = 0;
  t.liveBytes = 0;
}
