// Writer of the Transport System file (layout in quests/README.md) and of flat map models for
// its screen, for tests, fuzz seeds and the sample game. Counts default to the sizes of the
// vectors; a count set to anything but -1 is written instead (tests use it to write bad files).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/vecmath.h"
#include "tools/model_writer.h"

struct TsToolPlace {
  std::string name, level;
  vec3 origin{0, 0, 0};
  vec3 angles{0, 0, 0};  // degrees
};
struct TsToolDistrict {
  std::string name, model;
  uint32_t access = 0;
  std::vector<TsToolPlace> places;
  int placeCount = -1;
};
struct TsToolMap {
  std::string level, picture;
  float minX = 0, minY = 0, maxX = 0, maxY = 0;
};
struct TsToolFile {
  std::vector<TsToolDistrict> districts;
  std::vector<TsToolMap> maps;
  int districtCount = -1, mapCount = -1;
  uint32_t version = 1;
};

std::vector<uint8_t> TsTool_Write(const TsToolFile& file);
// A flat map model: the rectangle x0..x1 x y0..y1 at height z, facing up, in one shader whose
// diffuse texture is "textures\TS\<texture>".
MayToolLevel TsTool_MapModel(const std::string& texture, float x0, float y0, float x1, float y1, float z);
// Writes "maps/TS/<name>.may" with its ".hmp" and the one-colour texture "textures/TS/<name>.tga"
// below `root`; false on a write error.
bool TsTool_PutMapModel(const std::string& root, const std::string& name, float x0, float y0, float x1, float y1,
                        float z, uint8_t r, uint8_t g, uint8_t b);
