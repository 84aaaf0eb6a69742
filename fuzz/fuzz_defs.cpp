// Fuzz target: every definition loader, the inventory text and its pickup message line. The
// first byte picks the table; the rest is the file's text.
#include <cstring>
#include <string>

#include "characters/defs.h"
#include "characters/inventory.h"
#include "characters/person.h"
#include "fuzz.h"
#include "tools/def_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const DefTable& t = Def_Tables[data[0] % kDefTables];
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  Def_ResetTable(t);
  int n = Def_ParseText(t, text.c_str(), t.file);
  if (n < 0 || n > t.capacity || n != *t.count) __builtin_trap();
  for (int i = 0; i < n; i++) {
    const char* name = static_cast<const char*>(t.records) + size_t(i) * t.recordSize;
    size_t len = strnlen(name, kDefNameSize);
    if (len == 0 || len >= size_t(kDefNameSize)) __builtin_trap();
  }
  for (int i = 0; i < Def_WeaponCount; i++)
    if (Def_Weapons[i].ammo < 0 || Def_Weapons[i].ammo >= kAmmoKinds) __builtin_trap();
  static PersonStats person;
  std::memset(&person, 0, sizeof person);
  Inv_AddFromText(&person, text.c_str());
  for (const InvPair& p : person.items)
    if (p.kind < INV_NONE || p.kind > INV_GOOD) __builtin_trap();
  // The pickup's message line reads the same text.
  (void)Person_PickupLine(text.c_str());
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  const auto files = Tool_SampleDefFiles();
  for (size_t i = 0; i < files.size(); i++) {
    std::vector<uint8_t> seed{uint8_t(i)};
    seed.insert(seed.end(), files[i].second.begin(), files[i].second.end());
    seeds.push_back(seed);
  }
  std::string odd = "[weapon] [a] [fov_delta] [1 2 3 4] [skill] [-1] [ammo] [9mm] [weapon] [" + std::string(70, 'x') +
                    "] [money] [12] [ammo] [rocket] [5] [medic] [3] [";
  seeds.push_back(std::vector<uint8_t>{0});
  seeds.back().insert(seeds.back().end(), odd.begin(), odd.end());
}
