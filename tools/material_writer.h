// Writers of material files (".mat", ".ma2", ".ma3" and the ".cub" marker with its six faces),
// for tests, fuzz seeds and the sample game.
#pragma once
#include <string>
#include <vector>

#include "tools/image_writer.h"

// ".mat": frame names, then "#speed" with the frames per second (none when fps <= 0).
std::string MaterialTool_MatText(const std::vector<std::string>& frames, float framesPerSecond);

struct MaterialToolFrame {
  std::string name;
  float duration = 1.0f;         // share of the cycle before normalising
  float rotationDegrees = 0.0f;  // ".ma3" only
  float offsetU = 0.0f;
  float offsetV = 0.0f;
  float scale = 1.0f;
};
// ".ma2" ([cycle] then [name] [duration] per frame) or ".ma3" (with [rotation u v scale]).
std::string MaterialTool_MaText(float cycleSeconds, const std::vector<MaterialToolFrame>& frames, bool ma3);

// Writes base + ".cub" and the six 24-bit TGA faces base + "_PX", "_NX", "_PY", "_NY", "_PZ", "_NZ".
bool MaterialTool_WriteCube(const std::string& base, const ToolImage faces[6]);
