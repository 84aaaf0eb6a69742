#include "tools/lit_sample.h"

#include <filesystem>

#include "tools/bu_writer.h"
#include "tools/du_writer.h"
#include "tools/image_writer.h"

namespace fs = std::filesystem;

namespace {

bool SaveTga(const fs::path& path, const ToolImage& img) {
  return ImageTool_Save(path.string(), ImageTool_WriteTGA(img, 24));
}

// Colour, specular, normal map and multiply layer of one material set.
bool WriteTextures(const fs::path& folder, const std::string& base, uint32_t seed) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  return SaveTga(folder / (base + ".tga"), ImageTool_Pattern(64, 64, seed, false)) &&
         SaveTga(folder / (base + "_s.tga"), ImageTool_Solid(64, 64, 96, 96, 96, 255)) &&
         SaveTga(folder / (base + "_n.tga"), ImageTool_Solid(64, 64, 255, 128, 128, 255)) &&
         SaveTga(folder / (base + "_m.tga"), ImageTool_Pattern(32, 32, seed + 1, false));
}

}  // namespace

bool LitSample_Write(const std::string& stage) {
  fs::path root(stage);
  std::error_code ec;
  fs::create_directories(root / "maps" / "litroom", ec);
  fs::create_directories(root / "models" / "lit", ec);
  const std::string roomTextures[6] = {"wall", "wall_s", "", "wall_n", "", "wall_m"};
  const std::string hmp = DuTool_HmpText(128, 16);
  const std::string figureTextures[4] = {"figure", "figure_s", "", "figure_n"};
  return WriteTextures(root / "textures" / "litroom", "wall", 7) &&
         WriteTextures(root / "textures" / "lit", "figure", 11) &&
         DuTool_Save((root / "maps" / "litroom" / "litroom").string(),
                     DuTool_TwoRooms("textures\\litroom\\", roomTextures), &hmp) &&
         BuTool_Save((root / "models" / "lit" / "figure.bu").string(), BuTool_Bar(64, "lit\\", figureTextures));
}
