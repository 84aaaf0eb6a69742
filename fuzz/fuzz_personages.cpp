// Fuzz target: the personage list of a new game, read from a file through Game_NewSession.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz.h"
#include "tools/personage_writer.h"
#include "world/personage.h"

static std::string g_path;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_path.empty()) {
    g_path = std::string(Fuzz_EnterPrivateFolder("fuzz_personages")) + "/personages";
  }
  const std::string& path = g_path;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  Game_NewSession(path.c_str());
  if (Game_PersonageCount < 0 || Game_PersonageCount > kPersonages) __builtin_trap();
  for (int i = 0; i < Game_PersonageCount; i++) {
    const char* name = Game_Personages[i].person.name;
    size_t n = strnlen(name, kPersonNameSize);
    if (n == 0 || n >= size_t(kPersonNameSize)) __builtin_trap();
  }
  return 0;
}

static std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Bytes(Tool_PersonageList(Tool_SamplePersonages())));
  std::vector<std::string> many;
  for (int i = 0; i < 520; i++) many.push_back("n" + std::to_string(i));
  many.push_back(std::string(80, 'w'));
  seeds.push_back(Bytes(Tool_PersonageList(many)));
  seeds.push_back(Bytes(std::string("a\tb\r\rc\0d e", 11)));
}
