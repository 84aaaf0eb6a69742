#include "tools/arena_assets.h"

#include <cstdio>
#include <filesystem>

#include "tools/entity_writer.h"
#include "tools/image_writer.h"
#include "tools/model_writer.h"
#include "tools/sound_files.h"

namespace fs = std::filesystem;

const SampleArenaPlaces kSampleArena = {
    {-450, 0, 0}, {-100, -300, 0}, {100, 300, 0}, {-400, -450, 0}, {400, 450, 0},
};

namespace {

std::string Xyz(const vec3& v) {
  char text[96];
  std::snprintf(text, sizeof text, "%g %g %g", double(v.x), double(v.y), double(v.z));
  return text;
}

bool Put(const std::string& stage, const std::string& name, const std::vector<uint8_t>& bytes) {
  return Tool_PutStaged(stage, name, bytes);
}

// A rigid model of one box in one solid colour ("items\ctf\<name>").
bool PutBoxModel(const std::string& stage, const std::string& name, vec3 lo, vec3 hi, uint8_t b, uint8_t g, uint8_t r) {
  MpToolModel m;
  m.name = name;
  m.frames.push_back(MpToolFrame{"root", {}, {0, 0, 0}});
  m.shaders.resize(1);
  m.shaders[0].name = name;
  m.shaders[0].slots[0].name = "items\\ctf\\" + name;
  m.objects.resize(1);
  std::vector<MpToolVertex> v;
  std::vector<uint16_t> t;
  MpTool_Box(lo, hi, v, t);
  MpTool_AddPie(m.objects[0], 1, 0, v, t);
  return Put(stage, "anim/items/ctf/" + name + ".mp", MpTool_Write(m)) &&
         Put(stage, "textures/items/ctf/" + name + ".tga", ImageTool_WriteTGA(ImageTool_Solid(8, 8, b, g, r, 255), 24));
}

}  // namespace

std::vector<std::pair<std::string, std::string>> Tool_SampleArenaFiles() {
  const SampleArenaPlaces& a = kSampleArena;
  std::vector<std::pair<std::string, std::string>> files;
  std::string scn, items;
  bool ok = Tool_EntityText(
      {{{"classname", "world"}, {"id", "arena"}, {"name", "maps\\street\\street"}, {"solid", "maps\\street\\street"},
        {"shot", "maps\\street\\street"}, {"blocked", "1"}},
       {{"classname", "sky"}, {"name", "maps\\sky\\street"}, {"secondname", "maps\\sky\\suns"}},
       {{"classname", "info_player_start"}, {"origin", Xyz(a.playerStart)}, {"angle", "90 0 0"}},
       {{"classname", "info_player_deathmatch"}, {"origin", Xyz(a.south)}, {"angle", "0 0 0"}},
       {{"classname", "info_player_deathmatch"}, {"origin", Xyz(a.north)}, {"angle", "180 0 0"}},
       {{"classname", "info_player_deathmatch"}, {"origin", Xyz(a.south)}, {"angle", "0 0 0"}, {"team", "red"}},
       {{"classname", "info_player_deathmatch"}, {"origin", Xyz(a.north)}, {"angle", "180 0 0"}, {"team", "blue"}}},
      &scn);
  // Pickups to the sides of the road between the starts; the bases behind each team's start.
  ok = ok && Tool_EntityText(
                 {{{"classname", "world"}, {"id", "#0"}, {"name", "anim\\props\\crate"}, {"origin", "250 -100 0"},
                   {"command", "[weapon] [pi]"}, {"respawntime", "10"}},
                  {{"classname", "world"}, {"id", "#1"}, {"name", "anim\\props\\crate"}, {"origin", "-250 -100 0"},
                   {"command", "[medic] [25] [model] [1000000]"}, {"respawntime", "10"}},
                  {{"classname", "world"}, {"id", "#2"}, {"name", "anim\\props\\crate"}, {"origin", "250 100 0"},
                   {"command", "[ammo] [9MM] [30]"}, {"respawntime", "10"}},
                  {{"classname", "world"}, {"id", "#3"}, {"name", "anim\\props\\crate"}, {"origin", "-250 100 0"},
                   {"command", "[armor] [vest]"}, {"respawntime", "10"}},
                  {{"classname", "world"}, {"id", "#4"}, {"name", "anim\\items\\ctf\\basered"},
                   {"origin", Xyz(a.redBase)}, {"command", "[ctfbase] [red]"}},
                  {{"classname", "world"}, {"id", "#5"}, {"name", "anim\\items\\ctf\\flagred"},
                   {"origin", Xyz(a.redBase)}, {"command", "[ctfflag] [red]"}},
                  {{"classname", "world"}, {"id", "#6"}, {"name", "anim\\items\\ctf\\baseblu"},
                   {"origin", Xyz(a.blueBase)}, {"command", "[ctfbase] [blue]"}},
                  {{"classname", "world"}, {"id", "#7"}, {"name", "anim\\items\\ctf\\flagblu"},
                   {"origin", Xyz(a.blueBase)}, {"command", "[ctfflag] [blue]"}},
                  // The arena's arms: a gun with rounds for it on each side of the road.
                  {{"classname", "world"}, {"id", "#8"}, {"name", "anim\\props\\crate"}, {"origin", "150 -150 0"},
                   {"command", "[weapon] [smg] [ammo] [9MM] [60]"}, {"respawntime", "10"}},
                  {{"classname", "world"}, {"id", "#9"}, {"name", "anim\\props\\crate"}, {"origin", "-150 150 0"},
                   {"command", "[weapon] [shotgun] [ammo] [16MM] [12]"}, {"respawntime", "10"}},
                  {{"classname", "world"}, {"id", "#10"}, {"name", "anim\\props\\crate"}, {"origin", "-150 -150 0"},
                   {"command", "[weapon] [grenade] [ammo] [GRENADE] [4]"}, {"respawntime", "10"}}},
                 &items);
  if (!ok) return files;
  files.emplace_back("arenas/duel.scn", scn);
  files.emplace_back("arenas/duel.items", items);
  return files;
}

bool ArenaAssets_Write(const std::string& stage) {
  auto files = Tool_SampleArenaFiles();
  if (files.empty()) return false;
  for (const auto& [name, text] : files)
    if (!Put(stage, name, std::vector<uint8_t>(text.begin(), text.end()))) return false;
  // Bases: flat plinths; flags: a pole with its cloth, both in the team's colour.
  return PutBoxModel(stage, "basered", {-32, -32, 0}, {32, 32, 6}, 40, 40, 200) &&
         PutBoxModel(stage, "baseblu", {-32, -32, 0}, {32, 32, 6}, 200, 60, 40) &&
         PutBoxModel(stage, "flagred", {-2, -2, 6}, {26, 2, 80}, 30, 30, 240) &&
         PutBoxModel(stage, "flagblu", {-2, -2, 6}, {26, 2, 80}, 240, 60, 30);
}
