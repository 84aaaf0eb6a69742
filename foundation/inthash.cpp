#include "foundation/inthash.h"

#include <cstdlib>

#include "foundation/log.h"
#include "foundation/mem.h"

const int32_t kIntHashPrimes[kIntHashPrimeCount] = {
    11,         37,        71,        127,       179,        257,        359,        491,
    661,        887,       1181,      1553,      2053,       2683,       3517,       4591,
    6007,       7817,      10193,     13291,     17291,      22481,      29251,      38053,
    49499,      64373,     83701,     108863,    141511,     184003,     239231,     310997,
    404321,     525649,    683377,    888397,    1154947,    1501447,    1951949,    2537501,
    3298807,    4288439,   5575001,   7247533,   9421793,    12248389,   15922903,   20699753,
    26909713,   34982639,  45477503,  59120749,  76856959,   99914123,   129888349,  168854831,
    219511301,  285364721, 370974151, 482266423, 626946367,  815030309,  1059539417, 1377401287,
    1790621681, 2147483647};

// The load factor is the single-precision 0.4 multiplied in double precision.
static const double kLoad = double(0.4f);

static void FreeArray(void* p) {
  if (p) Global_Free(p);
}

static bool IsReserved(int32_t key) { return key < kIntHashLowestKey; }

static void ReportReserved() {
  Log_Printf("ERROR: IntHash: key can't be less than %i\n", kIntHashLowestKey);
}

int IntHash_PrimeIndex(int64_t n) {
  for (int i = 0; i < kIntHashPrimeCount; i++)
    if (kIntHashPrimes[i] > n) return i;
  return kIntHashPrimeCount - 1;
}

int IntHash_Alloc(IntHash* table, int index) {
  if (!table) return 0;
  if (index < 0) index = 0;
  if (index > kIntHashPrimeCount - 1) index = kIntHashPrimeCount - 1;
  int32_t size = kIntHashPrimes[index];
  auto* values = static_cast<uint32_t*>(Global_Malloc(size_t(size) * sizeof(uint32_t), "hashtv"));
  auto* keys = static_cast<int32_t*>(Global_Malloc(size_t(size) * sizeof(int32_t), "hashtk"));
  if (!values || !keys) {
    FreeArray(values);
    FreeArray(keys);
    Log_Printf("IntHash_Alloc: no memory for %i slots\n", size);
    return 0;
  }
  for (int32_t i = 0; i < size; i++) {
    keys[i] = kIntHashEmptyKey;
    values[i] = table->emptyValue;
  }
  table->values = values;
  table->keys = keys;
  table->primeIndex = index;
  table->count = table->reservedUsed[0] + table->reservedUsed[1];
  table->deletedCount = 0;
  table->growLimit = int32_t(double(size) * kLoad);
  table->shrinkLimit = int32_t(double(size) * 0.0);
  table->rehashLimit = int32_t(double(size) * kLoad);
  return 1;
}

int IntHash_Init(IntHash* table, int capacity, uint32_t emptyValue) {
  if (!table) return 0;
  table->emptyValue = emptyValue;
  FreeArray(table->values);
  FreeArray(table->keys);
  table->values = nullptr;
  table->keys = nullptr;
  table->reservedUsed[0] = table->reservedUsed[1] = 0;
  table->count = 0;
  table->deletedCount = 0;
  if (capacity < 0) capacity = 0;
  return IntHash_Alloc(table, IntHash_PrimeIndex(int64_t(double(capacity) / kLoad)));
}

IntHash* IntHash_Create(int capacity, uint32_t emptyValue) {
  auto* table = static_cast<IntHash*>(Global_MallocZero(sizeof(IntHash), "inthash"));
  if (!table) {
    Log_Printf("IntHash_Create: no memory\n");
    return nullptr;
  }
  if (!IntHash_Init(table, capacity, emptyValue)) {
    Global_Free(table);
    return nullptr;
  }
  return table;
}

int32_t IntHash_FindSlot(const IntHash* table, int32_t key) {
  if (!table || !table->keys) return -1;
  if (IsReserved(key)) ReportReserved();
  const int32_t size = kIntHashPrimes[table->primeIndex];
  int32_t h = std::abs(int32_t(uint32_t(key) ^ 0x4000000u) % size);
  if (table->keys[h] == key) return h;
  const int32_t step = std::abs(key % (size - 1)) + 1;
  int32_t firstDeleted = -1;
  // With a prime size every step visits each slot once; a full table ends the walk.
  for (int32_t visited = 0; visited < size; visited++) {
    int32_t k = table->keys[h];
    if (k == key) return h;
    if (k == kIntHashEmptyKey) return firstDeleted >= 0 ? firstDeleted : h;
    if (k == kIntHashDeletedKey && firstDeleted < 0) firstDeleted = h;
    h = int32_t((int64_t(h) + step) % size);
  }
  return firstDeleted;
}

uint32_t IntHash_Get(const IntHash* table, int32_t key) {
  if (!table) return 0;
  if (IsReserved(key)) {
    ReportReserved();
    int r = key - kIntHashEmptyKey;
    return table->reservedUsed[r] ? table->reservedValue[r] : table->emptyValue;
  }
  int32_t slot = IntHash_FindSlot(table, key);
  if (slot < 0) return table->emptyValue;
  return table->values[slot];
}

static void Store(IntHash* table, int32_t key, uint32_t value, bool countDeleted) {
  if (IsReserved(key)) {
    ReportReserved();
    int r = key - kIntHashEmptyKey;
    if (!table->reservedUsed[r]) {
      table->reservedUsed[r] = 1;
      table->count++;
    }
    table->reservedValue[r] = value;
    return;
  }
  int32_t slot = IntHash_FindSlot(table, key);
  if (slot < 0) {
    Log_Printf("IntHash_Insert: table full, key %i not stored\n", key);
    return;
  }
  int32_t k = table->keys[slot];
  if (k == kIntHashEmptyKey || k == kIntHashDeletedKey) {
    if (k == kIntHashDeletedKey && countDeleted) table->deletedCount--;
    table->keys[slot] = key;
    table->count++;
  }
  table->values[slot] = value;
}

static void Rebuild(IntHash* table, int index) {
  uint32_t* oldValues = table->values;
  int32_t* oldKeys = table->keys;
  int32_t oldSize = kIntHashPrimes[table->primeIndex];
  // A failed allocation keeps the old arrays: the table stays valid and simply fills further.
  if (!IntHash_Alloc(table, index)) return;
  for (int32_t i = oldSize - 1; i >= 0; i--)
    if (oldKeys[i] > kIntHashDeletedKey) IntHash_Set(table, oldKeys[i], oldValues[i]);
  FreeArray(oldValues);
  FreeArray(oldKeys);
}

void IntHash_Resize(IntHash* table) {
  if (!table || !table->keys) return;
  int index = table->primeIndex;
  if (table->count > table->growLimit)
    index++;
  else if (table->count < table->shrinkLimit)
    index -= 2;
  Rebuild(table, index);
}

void IntHash_Rehash(IntHash* table) {
  if (!table || !table->keys) return;
  Rebuild(table, table->primeIndex);
}

void IntHash_Insert(IntHash* table, int32_t key, uint32_t value) {
  if (!table) return;
  if (table->count > table->growLimit) IntHash_Resize(table);
  if (table->deletedCount > table->rehashLimit) IntHash_Rehash(table);
  Store(table, key, value, true);
}

void IntHash_Set(IntHash* table, int32_t key, uint32_t value) {
  if (!table) return;
  Store(table, key, value, false);
}

void IntHash_Destroy(IntHash** table) {
  if (!table || !*table) return;
  FreeArray((*table)->values);
  FreeArray((*table)->keys);
  Global_Free(*table);
  *table = nullptr;
}
