#include "tools/ai_assets.h"

#include <cmath>

#include "tools/image_writer.h"
#include "tools/sound_files.h"

namespace {

// A screen overlay: clear in the middle, the colour (blue, green, red) growing towards the edges
// up to the given alpha.
ToolImage EdgeOverlay(uint8_t b, uint8_t g, uint8_t r, int alpha) {
  ToolImage img = ImageTool_Solid(64, 64, 0, 0, 0, 0);
  for (int y = 0; y < img.height; y++)
    for (int x = 0; x < img.width; x++) {
      double u = (x + 0.5) / img.width * 2 - 1, v = (y + 0.5) / img.height * 2 - 1;
      double edge = std::fmin(1.0, std::fmax(0.0, (std::sqrt(u * u + v * v) - 0.55) / 0.6));
      uint8_t* p = img.At(x, y);
      p[0] = b;
      p[1] = g;
      p[2] = r;
      p[3] = uint8_t(std::lround(edge * alpha));
    }
  return img;
}

}  // namespace

std::vector<std::pair<std::string, std::vector<uint8_t>>> AiAssets_Files() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  // A gang member: stands at his post until he sees the hero within 800 units in a 120-degree
  // cone, then follows him to 120 units.
  std::string thug;
  if (Tool_EntityTemplate({{"classname", "npc"},
                        {"name", "npc\\townsman\\body"},
                        {"skel", "anim\\jaxtorvin\\jaxtorvin_stand"},
                        {"anim", "anim\\jaxtorvin\\jaxtorvin_idle"},
                        {"speedframe", "2"},
                        {"health", "120"},
                        {"teamname", "gang"},
                        {"agressive_on", "AGRESSIVE_ON_PLAYER_VISIBLE"},
                        {"ai_detect_dist", "800"},
                        {"ai_detect_fov", "120"},
                        {"mindist", "120"}},
                      &thug))
    files.emplace_back("scenes/templates/thug.scn", std::vector<uint8_t>(thug.begin(), thug.end()));
  // The slow-motion overlay (blue), drawn over the whole screen at the hero's slow-motion level,
  // and the damage flash (red) while the hero is hurt.
  files.emplace_back("sprites/galahaste.tga", ImageTool_WriteTGA(EdgeOverlay(255, 160, 60, 160), 32));
  files.emplace_back("sprites/damage.tga", ImageTool_WriteTGA(EdgeOverlay(40, 40, 255, 220), 32));
  return files;
}

// The gang member keeps watch over the road's east end from the south pavement beyond the last
// house, facing north-west. He stands more than 1,000 units from where the westbound cars come
// in while the hero is at the start (the north lane, about 2,250 units east): the street brings
// in no car that near anyone.
std::vector<EntityToolPairs> AiAssets_StreetBlocks() {
  return {{{"call", "scenes\\templates\\thug"}, {"id", "thug_1"}, {"origin", "2100 -900 8"}, {"angle", "315 0 0"}}};
}

bool AiAssets_Write(const std::string& stage) {
  for (const auto& [name, bytes] : AiAssets_Files())
    if (!Tool_PutStaged(stage, name, bytes)) return false;
  return true;
}
