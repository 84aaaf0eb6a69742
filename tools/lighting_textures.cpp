#include "tools/lighting_textures.h"

#include <cmath>
#include <filesystem>

#include "tools/material_writer.h"

bool LightingTool_WriteTextures(const std::string& root) {
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::create_directories(fs::path(root) / "textures", ec);
  const int n = 64;
  ToolImage faces[6];
  // Faces +X, -X, +Y, -Y, +Z, -Z; s runs along a row, t down the picture.
  for (int f = 0; f < 6; ++f) {
    faces[f] = ImageTool_Solid(n, n, 0, 0, 0, 255);
    for (int row = 0; row < n; ++row)
      for (int col = 0; col < n; ++col) {
        double s = 2.0 * (col + 0.5) / n - 1.0, t = 2.0 * (row + 0.5) / n - 1.0;
        double d[3];
        switch (f) {
          case 0: d[0] = 1, d[1] = -t, d[2] = -s; break;
          case 1: d[0] = -1, d[1] = -t, d[2] = s; break;
          case 2: d[0] = s, d[1] = 1, d[2] = t; break;
          case 3: d[0] = s, d[1] = -1, d[2] = -t; break;
          case 4: d[0] = s, d[1] = -t, d[2] = 1; break;
          default: d[0] = -s, d[1] = -t, d[2] = -1; break;
        }
        double len = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        uint8_t* p = &faces[f].bgra[4 * (size_t(row) * n + col)];
        for (int k = 0; k < 3; ++k) p[2 - k] = uint8_t(std::lround((d[k] / len * 0.5 + 0.5) * 255.0));
      }
  }
  // The attenuation picture: min(1, (2s - 1)^2 + (2t - 1)^2) in every channel. Two lookups of it
  // through the attenuation pass's texture matrices sum to the squared distance over the squared
  // radius.
  ToolImage attenuation = ImageTool_Solid(n, n, 0, 0, 0, 0);
  for (int row = 0; row < n; ++row)
    for (int col = 0; col < n; ++col) {
      double s = 2.0 * (col + 0.5) / n - 1.0, t = 2.0 * (row + 0.5) / n - 1.0;
      uint8_t v = uint8_t(std::lround(std::fmin(1.0, s * s + t * t) * 255.0));
      uint8_t* p = &attenuation.bgra[4 * (size_t(row) * n + col)];
      p[0] = p[1] = p[2] = p[3] = v;
    }
  return ImageTool_Save((fs::path(root) / "textures" / "attenuation_dst.tga").string(),
                        ImageTool_WriteTGA(attenuation, 32)) &&
         ImageTool_Save((fs::path(root) / "textures" / "flat.tga").string(),
                        ImageTool_WriteTGA(ImageTool_Solid(4, 4, 255, 128, 128, 255), 24)) &&
         MaterialTool_WriteCube((fs::path(root) / "textures" / "normalization").string(), faces) &&
         // A marker with a byte in it: an empty archive member does not open.
         ImageTool_Save((fs::path(root) / "textures" / "normalization.cub").string(), {'\n'});
}
