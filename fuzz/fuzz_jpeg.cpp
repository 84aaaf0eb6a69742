// Fuzz target: the jpeg picture loader on arbitrary bytes.
#include "fuzz.h"
#include "render/image.h"
#include "render/glext.h"
#include "render/image_internal.h"
#include "tools/image_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Both driver paths: the size's low bits choose the abilities.
  GlExtFlags.ARB_texture_compression = (size & 1) != 0;
  GlExtFlags.SGIS_generate_mipmap = (size & 2) != 0;
  Image_LoadMemory(kImageJPEG, data, size);
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(ImageTool_WriteJPEG(ImageTool_Pattern(16, 16, 1, false), 75));
  seeds.push_back(ImageTool_WriteJPEG(ImageTool_Pattern(9, 7, 2, false), 90, true));
}
