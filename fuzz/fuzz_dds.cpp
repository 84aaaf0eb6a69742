// Fuzz target: the dds picture loader on arbitrary bytes.
#include "fuzz.h"
#include "render/image.h"
#include "render/glext.h"
#include "render/image_internal.h"
#include "tools/image_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Both driver paths: the size's low bits choose the abilities.
  GlExtFlags.ARB_texture_compression = (size & 1) != 0;
  GlExtFlags.SGIS_generate_mipmap = (size & 2) != 0;
  Image_LoadMemory(kImageDDS, data, size);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(ImageTool_MakeDDS(ImageTool_Pattern(16, 8, 1, false), 0x83F0, 5));
  seeds.push_back(ImageTool_MakeDDS(ImageTool_Pattern(8, 8, 2, true), 0x83F2, 0));
  seeds.push_back(ImageTool_MakeDDS(ImageTool_Pattern(6, 6, 3, true), 0x83F3, 3));
}
