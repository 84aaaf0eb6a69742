#include "tools/population_assets.h"

#include "tools/entity_writer.h"

const char* const kPopulationSampleDay[2] = {"scenes\\templates\\passerby_a", "scenes\\templates\\passerby_b"};
const char* const kPopulationSampleCar = "scenes\\templates\\runabout_driver";

std::vector<std::pair<std::string, std::string>> PopulationAssets_Files() {
  // No "id": the street's people and drivers are unnamed, so the tick lets them go when far.
  const std::pair<std::string, EntityToolPairs> templates[] = {
      {"scenes/templates/passerby_a.scn",
       {{"classname", "npc"}, {"name", "npc\\townsman\\body"}, {"skel", "anim\\jaxtorvin\\jaxtorvin_stand"},
        {"anim", "anim\\jaxtorvin\\jaxtorvin_walk"}, {"speedframe", "1"}, {"health", "40"}}},
      {"scenes/templates/passerby_b.scn",
       {{"classname", "npc"}, {"name", "npc\\mirasolvek\\body"}, {"skel", "anim\\mirasolvek\\mirasolvek_stand"},
        {"anim", "anim\\mirasolvek\\mirasolvek_walk"}, {"speedframe", "1.2"}, {"health", "40"}, {"sex", "1"}}},
      {"scenes/templates/runabout_driver.scn",
       {{"classname", "npc"}, {"name", "cars\\runabout\\body"}, {"car", "runabout"}, {"health", "500"}}},
  };
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& [name, pairs] : templates) {
    std::string text;
    if (Tool_EntityText({pairs}, &text)) files.emplace_back(name, text);
  }
  return files;
}
