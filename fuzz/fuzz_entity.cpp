// Fuzz target: entity text through read_ent, with two template files that "call" can reach and
// the sample definitions loaded; the world is cleared after each input.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "characters/defs.h"
#include "foundation/file.h"
#include "fuzz.h"
#include "scene/model.h"
#include "tools/def_writer.h"
#include "tools/entity_writer.h"
#include "world/entity.h"
#include "world/level.h"
#include "world/object.h"
#include "world/start.h"

static void Discard(const char*, size_t, void*) {}

static void WriteText(const std::string& name, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(name).parent_path());
  FILE* f = std::fopen(name.c_str(), "wb");
  if (!f) return;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
}

// A template that calls itself a thousand times (about 20 KB): without a budget on what one read
// includes, the work grows with the cube of its size.
static std::string FanText() {
  std::string text;
  for (int i = 0; i < 1000; i++) text += "\"call\" \"fuzz\\fan\"\n";
  return text;
}

static bool Setup() {
  Fuzz_EnterPrivateFolder("fuzz_entity");
  for (const auto& [file, text] : Tool_SampleDefFiles()) WriteText("scripts/" + file, text);
  for (const DefTable& t : Def_Tables) Def_LoadTable(t);
  for (const auto& [name, text] : Tool_SampleEntityFiles())
    if (name.find("templates") != std::string::npos) WriteText(name, text);
  WriteText("fuzz/fan.scn", FanText());
  Model_Reset();
  Ent_SetOutput(Discard, nullptr);
  return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = Setup();
  if (!ready) return 0;
  Player_CreateForLevel();
  read_ent(reinterpret_cast<const char*>(data), uint32_t(size));
  Level_SetupStartsAndPickups();
  if (Ent_Includes.top != 0) __builtin_trap();
  if (Level_DmStartCount > kDeathmatchStarts || Light_Count > kLightRecords || Level_EmitterCount > kSoundEmitters ||
      Level_PickupCount > kPickupRecords)
    __builtin_trap();
  if (strnlen(Ent_Template.classname, sizeof Ent_Template.classname) >= sizeof Ent_Template.classname) __builtin_trap();
  Obj_ClearAll();
  Light_Count = Level_EmitterCount = 0;
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  for (const auto& [name, text] : Tool_SampleEntityFiles()) seeds.emplace_back(text.begin(), text.end());
  std::string sink;
  if (Tool_EntityText(Tool_KitchenSinkBlocks(), &sink)) seeds.emplace_back(sink.begin(), sink.end());
  std::string odd = "}{\"classname\" \"light\" \"id\" \"" + std::string(1500, 'x') + "\"{\xff\"call\" \"scenes\\templates\\walker\"";
  seeds.emplace_back(odd.begin(), odd.end());
  // Hostile texts: totals past the 32-bit range, and the thousand-fold self-include.
  std::string money = "[money] [1000000000] [money] [1000000000] [money] [1000000000] [ammo] [9MM] [1000000000]";
  for (const char* cls : {"world", "npc"}) {
    std::string rich = "{\"classname\" \"" + std::string(cls) + "\" \"inventorys\" \"" + money + " " + money + "\"}";
    seeds.emplace_back(rich.begin(), rich.end());
  }
  std::string fan = "{\"classname\" \"light\" \"call\" \"fuzz\\fan\"}";
  seeds.emplace_back(fan.begin(), fan.end());
}
