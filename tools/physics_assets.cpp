#include "tools/physics_assets.h"

std::vector<EntityToolPairs> PhysicsAssets_Blocks() {
  auto crate = [](const char* id, const char* origin, const char* angle) {
    return EntityToolPairs{{"classname", "world"},
                           {"id", id},
                           {"name", "anim\\props\\crate"},
                           {"physics", "anim\\props\\crate"},
                           {"origin", origin},
                           {"angle", angle},
                           {"clipbox", "-16 -16 0 16 16 32"},
                           {"solidbox", "1"},
                           {"blocked", "1"},
                           {"drawed", "1"}};
  };
  return {crate("loose_crate_1", "560 0 0", "0 0 0"), crate("loose_crate_2", "560 0 32", "20 0 0"),
          crate("loose_crate_3", "610 50 0", "45 0 0"),
          {{"classname", "func_door"}, {"id", "crate_door"}, {"name", "anim\\props\\door"}, {"begin", "560 -150 0"},
           {"end", "560 40 0"}, {"wait", "1"}, {"pause", "4"}, {"blocked", "1"}, {"drawed", "1"},
           {"solidbox", "1"}, {"clipbox", "-48 -4 0 48 4 128"}}};
}
