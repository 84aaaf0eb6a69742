// Name_Hash: reflected CRC-32 over lower-cased bytes, no final inversion.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

constexpr uint32_t kNameHashSeed = 0xFFFFFFFFu;
uint32_t Name_Hash(const void* bytes, size_t length, uint32_t seed);
inline uint32_t Name_HashStr(const char* name) {
  return Name_Hash(name, name ? std::strlen(name) : 0, kNameHashSeed);
}
