// IntHash: 32-bit signed keys (name hashes) to 32-bit values, open addressing with double
// hashing over prime table sizes. Keys are added or overwritten, never removed.
#pragma once
#include <cstdint>

constexpr int kIntHashPrimeCount = 66;
extern const int32_t kIntHashPrimes[kIntHashPrimeCount];

constexpr int32_t kIntHashEmptyKey = INT32_MIN;        // 0x80000000 marks an empty slot
constexpr int32_t kIntHashDeletedKey = INT32_MIN + 1;  // 0x80000001 marks a deleted slot
constexpr int32_t kIntHashLowestKey = -0x7FFFFFFE;

struct IntHash {
  uint32_t emptyValue;   // what a lookup of an absent key returns
  int32_t primeIndex;    // the table size is kIntHashPrimes[primeIndex]
  int32_t growLimit;     // trunc(size x 0.4)
  int32_t shrinkLimit;   // 0
  int32_t rehashLimit;   // trunc(size x 0.4)
  int32_t count;         // keys stored (the two reserved keys included)
  int32_t deletedCount;  // slots holding the deleted marker
  uint32_t* values;      // "hashtv"
  int32_t* keys;         // "hashtk"
  // The two marker values cannot live in the slots; as keys they are kept here instead.
  uint8_t reservedUsed[2];
  uint32_t reservedValue[2];
};

IntHash* IntHash_Create(int capacity, uint32_t emptyValue);
// Returns 1, or 0 when the arrays could not be allocated (the table then has none).
int IntHash_Init(IntHash* table, int capacity, uint32_t emptyValue);
int IntHash_PrimeIndex(int64_t n);
// Returns 1, or 0 when the arrays could not be allocated (the table is then left unchanged).
int IntHash_Alloc(IntHash* table, int index);
uint32_t IntHash_Get(const IntHash* table, int32_t key);
void IntHash_Insert(IntHash* table, int32_t key, uint32_t value);
void IntHash_Set(IntHash* table, int32_t key, uint32_t value);
void IntHash_Destroy(IntHash** table);
// The slot of the key, or of the place it would go; -1 when the table has no arrays or no room.
int32_t IntHash_FindSlot(const IntHash* table, int32_t key);
void IntHash_Resize(IntHash* table);
void IntHash_Rehash(IntHash* table);
inline int32_t IntHash_Size(const IntHash* table) {
  return table && table->keys ? kIntHashPrimes[table->primeIndex] : 0;
}
