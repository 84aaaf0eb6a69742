#include "foundation/namehash.h"

#include <array>

static constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> t{};
  for (uint32_t i = 0; i < 256; i++) {
    uint32_t c = i;
    for (int k = 0; k < 8; k++) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
static constexpr std::array<uint32_t, 256> kCrcTable = MakeCrcTable();

uint32_t Name_Hash(const void* bytes, size_t length, uint32_t seed) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  uint32_t reg = seed;
  for (size_t i = 0; i < length; i++) {
    unsigned char b = p[i];
    if (b >= 'A' && b <= 'Z') b = b - 'A' + 'a';
    reg = (reg >> 8) ^ kCrcTable[(b ^ reg) & 0xFF];
  }
  return reg;
}
