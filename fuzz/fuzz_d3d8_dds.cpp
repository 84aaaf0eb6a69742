// Fuzz target: the device layer's reading of a DDS header and its block sizes on arbitrary bytes.
#include <cstring>

#include "fuzz.h"
#include "platform/d3d8dev.h"
#include "tools/image_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int levels : {0, 1}) {
    DevDdsInfo info;
    if (Dev_ReadDdsHeader(data, size, levels, &info) != DEV_OK) continue;
    // What it accepts lies inside the bytes given.
    if (info.dataOffset + info.dataBytes > size || info.levels < 1 || info.width < 1 || info.height < 1)
      __builtin_trap();
    volatile uint8_t last = data[info.dataOffset + info.dataBytes - 1];
    (void)last;
  }
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(ImageTool_MakeDDS(ImageTool_Pattern(16, 8, 1, false), 0x83F0, 5));
  seeds.push_back(ImageTool_MakeDDS(ImageTool_Pattern(8, 8, 2, true), 0x83F2, 0));
  seeds.push_back(ImageTool_MakeDDS(ImageTool_Pattern(64, 4, 3, true), 0x83F3, 9));
}
