// The font's "cmap" reader on arbitrary tables: every code of a loaded table maps without reading
// outside it.
#include "fuzz.h"
#include "render/font.h"
#include "tools/cmap_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (Font_LoadCmap(data, size)) {
    volatile uint32_t sum = 0;
    for (uint32_t code = 0; code < 65536; code += 7) sum = sum + Font_CharToGlyph(static_cast<uint16_t>(code));
    Font_CharToGlyph(0xFFFF);
    Font_FreeCmap();
  }
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  auto simple = CmapWriter_Format4({{0x20, 0x7E, 3, {}}, {0xFFFF, 0xFFFF, 1, {}}});
  auto arrays = CmapWriter_Format4({{0x41, 0x44, 100, {7, 0, 9, 2}},
                                    {0x400, 0x410, 0, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
                                    {0xFFFF, 0xFFFF, 1, {}}});
  seeds.push_back(CmapWriter_Table({{3, 1, simple}}));
  seeds.push_back(CmapWriter_Table({{0, 3, simple}, {1, 0, arrays}, {3, 1, arrays}}));
  seeds.push_back(CmapWriter_Table({{3, 0, simple}, {3, 1, arrays}}));
}
