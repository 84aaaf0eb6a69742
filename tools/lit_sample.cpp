#include "tools/lit_sample.h"

#include <cmath>
#include <filesystem>

#include "tools/bu_writer.h"
#include "tools/du_writer.h"
#include "tools/image_writer.h"
#include "tools/lighting_textures.h"
#include "tools/scene_writer.h"

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

// The figure's two bones: "tip" half-way up the bar, bending about X by up to 60 degrees.
bool WriteFigure(const fs::path& models, const fs::path& anim, const std::string textures[4]) {
  const float length = 64;
  std::vector<SceneToolBone> skeleton(2);
  skeleton[0].name = "root";
  skeleton[1].name = "tip";
  skeleton[1].parent = "root";
  skeleton[1].position[2] = length / 2;
  BuToolModel figure = BuTool_Bar(length, "lit\\", textures);
  BuTool_BindToSkeleton(figure, skeleton);
  SceneToolAnim bend;
  bend.boneCount = 2;
  bend.lastFrame = 8;
  bend.allBonesPositions = 1;
  for (int bone = 0; bone < 2; ++bone)
    for (int f = 0; f <= bend.lastFrame; ++f) {
      double half = bone ? 0.5 * (3.14159265358979 / 3) * f / bend.lastFrame : 0.0;
      bend.rotations.insert(bend.rotations.end(), {float(std::sin(half)), 0, 0, float(std::cos(half))});
      bend.positions.insert(bend.positions.end(), {0, 0, bone ? length / 2 : 0});
    }
  std::error_code ec;
  fs::create_directories(anim, ec);
  const std::string sk = SceneTool_SkBytes(skeleton), am = SceneTool_AmBytes(bend);
  return ImageTool_Save((anim / "figure.sk").string(), std::vector<uint8_t>(sk.begin(), sk.end())) &&
         ImageTool_Save((anim / "figure_bend.am").string(), std::vector<uint8_t>(am.begin(), am.end())) &&
         BuTool_Save((models / "figure.bu").string(), figure);
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
  return LightingTool_WriteTextures(root.string()) && WriteTextures(root / "textures" / "litroom", "wall", 7) &&
         WriteTextures(root / "textures" / "lit", "figure", 11) &&
         DuTool_Save((root / "maps" / "litroom" / "litroom").string(),
                     DuTool_TwoRooms("textures\\litroom\\", roomTextures), &hmp) &&
         WriteFigure(root / "models" / "lit", root / "anim" / "lit", figureTextures);
}
