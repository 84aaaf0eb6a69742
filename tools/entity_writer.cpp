#include "tools/entity_writer.h"

#include <cstdio>

#include "tools/street_props.h"

static bool Tool_EntityPairs(const EntityToolPairs& pairs, std::string* out) {
  for (const auto& [key, value] : pairs) {
    if (key.find('"') != std::string::npos || value.find('"') != std::string::npos) {
      std::fprintf(stderr, "entity_writer: a double quote in the pair \"%s\" cannot be written\n", key.c_str());
      return false;
    }
    *out += "  \"" + key + "\" \"" + value + "\"\n";
  }
  return true;
}

bool Tool_EntityBlock(const EntityToolPairs& pairs, std::string* out) {
  std::string text = "{\n";
  if (!Tool_EntityPairs(pairs, &text)) return false;
  *out += text + "}\n";
  return true;
}

bool Tool_EntityText(const std::vector<EntityToolPairs>& blocks, std::string* out) {
  std::string text;
  for (const auto& b : blocks)
    if (!Tool_EntityBlock(b, &text)) return false;
  *out = text;
  return true;
}

bool Tool_EntityTemplate(const EntityToolPairs& pairs, std::string* out) {
  std::string text;
  if (!Tool_EntityPairs(pairs, &text)) return false;
  *out = text;
  return true;
}

std::vector<std::pair<std::string, std::string>> Tool_SampleEntityFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  auto add = [&](const std::string& name, const std::vector<EntityToolPairs>& blocks) {
    std::string text;
    if (Tool_EntityText(blocks, &text)) files.emplace_back(name, text);
  };
  auto addTemplate = [&](const std::string& name, const EntityToolPairs& pairs) {
    std::string text;
    if (Tool_EntityTemplate(pairs, &text)) files.emplace_back(name, text);
  };
  add("scenes/street.scn",
      {{{"classname", "world"}, {"id", "street"}, {"name", "maps\\street\\street"}, {"solid", "maps\\street\\street"},
        {"shot", "maps\\street\\street"}, {"blocked", "1"}, {"physics", "maps\\street\\street"}},
       {{"classname", "sky"}, {"name", "maps\\sky\\street"}, {"secondname", "maps\\sky\\suns"}},
       {{"classname", "light"}, {"id", "lamp_light"}, {"light_origin", "-300 300 150"}, {"light_light", "300"},
        {"light__color", "1 0.9 0.7"}},
       {{"classname", "sound"}, {"id", "traffic"}, {"name", "sound\\traffic"}, {"volume", "0.5"},
        {"mindist", "200"}, {"origin", "0 400 50"}},
       {{"classname", "info_player_start"}, {"origin", "0 0 0"}, {"angle", "90 0 0"}},
       {{"classname", "info_player_deathmatch"}, {"origin", "-400 -200 0"}, {"angle", "0 0 0"}, {"team", "red"}},
       {{"classname", "info_player_deathmatch"}, {"origin", "400 -200 0"}, {"angle", "180 0 0"}, {"team", "blue"}},
       {{"classname", "world"}, {"id", "crate_1"}, {"name", "anim\\props\\crate"}, {"solid", "anim\\props\\crate"},
        {"origin", "0 300 0"}, {"angle", "30 0 0"}},
       {{"classname", "anim"}, {"id", "lamp_1"}, {"name", "anim\\props\\lamp"}, {"origin", "-300 300 0"},
        {"speedframe", "2"}},
       // Behind the start: a door that slides up out of sight on Use and closes after three seconds.
       {{"classname", "func_door"}, {"id", "street_door"}, {"name", "anim\\props\\door"}, {"begin", "0 -400 0"},
        {"end", "0 -400 400"}, {"wait", "0.5"}, {"pause", "3"}, {"blocked", "1"}, {"drawed", "1"},
        {"solidbox", "1"}, {"clipbox", "-48 -4 0 48 4 128"}}});
  // The pickups: solid crates that the use key takes (their use script hands the use to the crate).
  auto pickup = [](const char* id, const char* origin, const char* command) {
    return EntityToolPairs{{"classname", "world"},       {"id", id},          {"name", "anim\\props\\pickup"},
                           {"origin", origin},           {"command", command}, {"use_quest", "pickup"},
                           {"clipbox", "-16 -16 0 16 16 76"}, {"solidbox", "1"}};
  };
  add("scenes/street.items",
      {pickup("pistol", "100 -100 0", "[weapon] [pi]"), pickup("medkit", "-100 -100 0", "[medic] [25] [model] [1000000]"),
       pickup("bullets", "200 -100 0", "[ammo] [9MM] [30]"), pickup("vest", "-200 -100 0", "[armor] [vest]"),
       pickup("gate_key", "-1080 -450 0", "[item] [gate key]"),
       pickup("grenades", "300 -100 0", "[weapon] [grenade] [ammo] [GRENADE] [4]"),
       pickup("clips", "-300 -100 0", "[ammo] [9MM] [60]")});
  add("scenes/street.bot",
      {{{"call", "scenes\\templates\\townsman"}, {"id", "townsman_1"}, {"origin", "300 200 0"}, {"angle", "270 0 0"},
        {"dialog", "greeter"}}});
  add("scenes/street.civ", {{{"call", "scenes\\templates\\walker"}, {"id", "walker_1"}, {"origin", "-500 150 0"}}});
  addTemplate("scenes/templates/townsman.scn",
              {{"classname", "npc"}, {"id", "townsman"}, {"name", "npc\\townsman\\body"},
               {"skel", "anim\\jaxtorvin\\jaxtorvin_stand"}, {"anim", "anim\\jaxtorvin\\jaxtorvin_idle"},
               {"speedframe", "2"}, {"health", "80"}, {"aistate", "STAY"}});
  // The runabout as the player leaves it: a parked car character of the car table's row.
  addTemplate("scenes/templates/runabout.scn",
              {{"classname", "npc"}, {"name", "cars\\runabout\\body"}, {"car", "runabout"}, {"health", "500"},
               {"clipbox", kStreetCarClipBox}});
  addTemplate("scenes/templates/walker.scn",
              {{"classname", "npc"}, {"name", "npc\\townsman\\body"}, {"skel", "anim\\jaxtorvin\\jaxtorvin_stand"},
               {"anim", "anim\\jaxtorvin\\jaxtorvin_walk"}, {"aistate", "WALK_CIVILIAN"}});
  return files;
}

std::vector<EntityToolPairs> Tool_KitchenSinkBlocks() {
  return {
      {{"classname", "info_player_start"}, {"origin", "10 20 30"}, {"angle", "90 0 0"}},
      {{"classname", "info_player_deathmatch"}, {"origin", "1 2 3"}, {"angle", "180 0 0"}, {"team", "BLUE"}},
      {{"classname", "sound"}, {"id", "hum"}, {"name", "sound\\hum"}, {"volume", "0.25"}, {"mindist", "64"},
       {"origin", "5 6 7"}},
      {{"classname", "sky"}, {"name", "maps\\sky\\street"}, {"secondname", "maps\\sky\\suns"}},
      {{"classname", "light"}, {"id", "l1"}, {"light_light", "300"}, {"light_origin", "1 2 3"},
       {"light_light_radius", "10 20 30"}, {"light__color", "0.5 0.25 1"}, {"light_noshadows", "1"},
       {"light_texture", "lights\\round"}, {"light_rotation", "0 1 0 -1 0 0 0 0 1"}, {"light_shaderparm7", "7"}},
      {{"classname", "world"}, {"id", "crate"}, {"name", "anim\\props\\crate"}, {"solid", "maps\\cube"},
       {"shot", "maps\\cube2"}, {"origin", "100 200 0"}, {"angle", "90 0 0"}, {"command", "[weapon] [pi]"},
       {"blocked", "2"}, {"drawed", "0"}, {"clipbox", "-8 -8 0 8 8 16"}, {"solidbox", "1"},
       {"respawntime", "0"}, {"fogcolor", "255.7 -3 128"}, {"fogstart", "100"}, {"fogend", "900"},
       {"fogstart2", "50"}, {"fogcolor2", "1.9 2 3"}, {"fogend2", "60"}, {"dinamiclight", "2.9"},
       {"trigger", "crates"}, {"triggercommand", "[door] [1]"}, {"triggercommandtext", "opened"},
       {"drawon", "[lamp]"}, {"drawoff", "[sun]"}, {"viewbox", "-1 -2 -3 4 5 6"}, {"viewfar", "500"},
       {"friction", "0.5"}, {"stepsound", "steps\\wood"}, {"physics", "phys\\crate"}, {"dialog", "crate_cue"},
       {"damage_on_touch", "3"}, {"project_map", "textures\\grid"}, {"project_origin", "1 2 3"},
       {"sound", "sound\\hum"}, {"inventorys", "[money] [5]"}},
      {{"classname", "world"}, {"id", "post"}, {"respawntime", "5"}, {"dinamiclight", "-2.9"}},
      {{"classname", "areol"}, {"id", "sun"}, {"name", "maps\\sky\\suns"}, {"lens", "flares\\lens"},
       {"glare", "flares\\glare"}, {"scale", "2 2 2"}, {"origin", "0 0 3000"}, {"angle", "90 0 0"},
       {"solid", "maps\\cube"}, {"blocked", "1"}, {"drawed", "0"}},
      {{"classname", "anim"}, {"id", "lamp"}, {"name", "anim\\props\\lamp"}, {"skel", "anim\\lamp"},
       {"anim", "anim\\lamp_sway"}, {"anim1", "anim\\lamp_off"}, {"speedframe", "2"}, {"speedframe31", "9"},
       {"igv", "1"}, {"particlestexture", "textures\\spark"}, {"particlesparent", "Bip01 Head"},
       {"particlesorigin", "1 2 3"}, {"particlesscale", "10"}, {"particlesfade", "0"},
       {"particlescolor", "1 2 3 4"}, {"origin", "-5 -6 0"}, {"angle", "0 45 0"}, {"solid", "maps\\pole"},
       {"shot", "maps\\pole2"}, {"dialog", "lamp_cue"}, {"sound", "sound\\buzz"}, {"friction", "0.25"},
       {"stepsound", "steps\\metal"}},
      {{"classname", "func_door"}, {"id", "gate"}, {"name", "maps\\cube"}, {"begin", "0 0 0"}, {"begin1", "0 0 50"},
       {"end", "0 0 100"}, {"wait", "2"}, {"pause", "4"}, {"conditions", "[item] [gate key]"},
       {"trigger", "gates"}, {"door_trigger", "gate_buttons"}, {"triggercommand", "[door] [100]"}},
      {{"classname", "npc"}, {"id", "guard"}, {"name", "npc\\townsman\\body"}, {"origin", "50 60 0"},
       {"angle", "180 0 0"}, {"health", "70"}, {"aistate", "PATROL_ORIGIN"}, {"teamname", "watch"},
       {"name1", "npc\\townsman\\body1"}, {"name2", "npc\\townsman\\body2"}, {"name3", "npc\\townsman\\body3"},
       {"secondname", "npc\\townsman\\coat"}, {"secondname1", "npc\\townsman\\coat1"},
       {"secondname2", "npc\\townsman\\coat2"}, {"secondname3", "npc\\townsman\\coat3"},
       {"solid", "maps\\guard"}, {"shot", "maps\\guard_shot"}, {"physics", "phys\\guard"}, {"solidbox", "1"},
       {"clipbox", "-10 -10 0 10 10 60"}, {"group", "7"}, {"particlescolor", "9 8 7 6"}, {"noBlood", "1"},
       {"sound_pain", "sound\\ouch"}, {"sound_pain2", "sound\\ouch2"}, {"use_quest", "guard_talk"},
       {"sex", "1"}, {"lodmindist3", "800"}, {"deadname3", "npc\\townsman\\dead3"}},
  };
}
