#include "tools/def_writer.h"

std::string Tool_DefFile(const std::string& word, const std::vector<DefToolEntry>& entries) {
  std::string out;
  for (const DefToolEntry& e : entries) {
    out += "[" + word + "] [" + e.name + "]\n";
    for (const auto& [key, value] : e.values) out += "  [" + key + "] [" + value + "]\n";
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> Tool_SampleDefFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  files.emplace_back("weapons.txt", Tool_DefFile("weapon", {
      {"hands", {{"text", "weapon_hands"}, {"bullet_damage", "5"}, {"shottime", "0.5"}, {"skill", "0"}}},
      {"pi", {{"text", "weapon_pi"}, {"kind", "5"}, {"bullet_damage", "25"}, {"shottime", "0.25"}, {"ammo", "9MM"},
              {"magazine", "12"}, {"firesound", "sound\\shot_pi"}, {"skill", "1"}, {"fov_offset", "2"},
              {"fov_period", "0.2"}, {"fov_cycles", "1"}, {"fov_delta", "0 -3 0"}, {"fov_deltatime", "0.2"},
              {"fov_delta2time", "0.05"}}},
      {"grenade", {{"text", "weapon_grenade"}, {"kind", "2"}, {"bullet_damage", "80"}, {"bullet_explod", "200"},
                   {"bullet_explodtime", "2.5"}, {"gravity", "1"}, {"bounce", "0.4"}, {"ammo", "GRENADE"},
                   {"magazine", "1"}, {"explodsound", "sound\\blast"}, {"smoke", "1"}, {"physics", "15000"},
                   {"skill", "3"}}},
      // The shots of every kind: pellets (1), a rocket (4) and bullets (5), and a proximity mine.
      {"shotgun", {{"text", "weapon_shotgun"}, {"kind", "1"}, {"bullet_damage", "12"}, {"pellets", "6"},
                   {"spread", "0.12"}, {"shottime", "0.8"}, {"ammo", "16MM"}, {"magazine", "6"}, {"skill", "2"}}},
      {"rocket", {{"text", "weapon_rocket"}, {"kind", "4"}, {"bullet_damage", "120"}, {"bullet_explod", "250"},
                  {"flysound", "sound\\rocket"}, {"explodsound", "sound\\blast"}, {"smoke", "1"},
                  {"ammo", "ROCKET"}, {"magazine", "1"}, {"physics", "20000"}, {"skill", "2"}}},
      {"smg", {{"text", "weapon_smg"}, {"kind", "5"}, {"bullet_damage", "15"}, {"shottime", "0.1"}, {"ammo", "9MM"},
               {"magazine", "30"}, {"physics", "5000"}, {"skill", "1"}}},
      {"mine", {{"text", "weapon_mine"}, {"kind", "2"}, {"bullet_damage", "100"}, {"bullet_explod", "200"},
                {"sensor_dist", "100"}, {"bullet_lifetime", "120"}, {"gravity", "1"}, {"ammo", "MINE"},
                {"magazine", "1"}, {"explodsound", "sound\\blast"}, {"physics", "15000"}, {"skill", "4"}}},
  }));
  files.emplace_back("armors.txt", Tool_DefFile("armor", {{"LA Carissima", {{"text", "armor_carissima"}}},
                                                          {"vest", {{"text", "armor_vest"}}}}));
  files.emplace_back("items.txt", Tool_DefFile("item", {{"gate key", {{"text", "item_gate_key"}}},
                                                        {"medkit", {{"text", "item_medkit"}}}}));
  files.emplace_back("goods.txt", Tool_DefFile("good", {{"bread", {{"text", "good_bread"}}}}));
  files.emplace_back("tatus.txt", Tool_DefFile("tatu", {{"raven", {{"text", "tatu_raven"}}},
                                                        {"serpent", {{"text", "tatu_serpent"}}}}));
  files.emplace_back("transs.txt", Tool_DefFile("trans", {{"tram pass", {{"text", "trans_tram"}}}}));
  files.emplace_back("magazines.txt", Tool_DefFile("magazine", {{"9MM clip", {{"text", "magazine_9mm"}}}}));
  files.emplace_back("cars.txt", Tool_DefFile("car", {
      {"none", {}},
      {"runabout", {{"text", "car_runabout"}, {"body", "cars\\runabout\\body"}, {"body2", "cars\\runabout\\wheels"},
                    {"model", "scenes\\templates\\runabout"}, {"key", "gate key"},
                    {"origin", "120 40 0"}, {"angles", "90 0 0"}, {"word", "1"}, {"health", "500"}}},
  }));
  files.emplace_back("shops.txt", Tool_DefFile("shop", {{"corner shop", {{"text", "shop_corner"}}}}));
  return files;
}
