#include "tools/material_writer.h"

#include <cstdio>

std::string MaterialTool_MatText(const std::vector<std::string>& frames, float framesPerSecond) {
  std::string text;
  for (const std::string& f : frames) text += f + "\n";
  if (framesPerSecond > 0.0f) text += "#speed " + std::to_string(framesPerSecond) + "\n";
  return text;
}

std::string MaterialTool_MaText(float cycleSeconds, const std::vector<MaterialToolFrame>& frames, bool ma3) {
  char line[512];
  std::snprintf(line, sizeof line, "[%g]\n", double(cycleSeconds));
  std::string text = line;
  for (const MaterialToolFrame& f : frames) {
    std::snprintf(line, sizeof line, "[%s] [%g]", f.name.c_str(), double(f.duration));
    text += line;
    if (ma3) {
      std::snprintf(line, sizeof line, " [%g %g %g %g]", double(f.rotationDegrees), double(f.offsetU),
                    double(f.offsetV), double(f.scale));
      text += line;
    }
    text += "\n";
  }
  return text;
}

bool MaterialTool_WriteCube(const std::string& base, const ToolImage faces[6]) {
  static const char* const kFaces[6] = {"_PX", "_NX", "_PY", "_NY", "_PZ", "_NZ"};
  for (int i = 0; i < 6; i++)
    if (!ImageTool_Save(base + kFaces[i] + ".tga", ImageTool_WriteTGA(faces[i], 24))) return false;
  return ImageTool_Save(base + ".cub", {});
}
