// Fuzz target: the script tokenizer over arbitrary text (comments, quotes, "$def" macros).
#include <cstring>
#include <string>

#include "foundation/parser.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  Parser* p = Par_CreateFromText(text.c_str());
  if (!p) return 0;
  int n = 0;
  while (Par_Next(p)) {
    // Exercise push-back and the compares on the way.
    if (++n % 7 == 0) {
      Par_Unget(p);
      if (!Par_Next(p)) break;
    }
    if (Par_TokenIsNot(p, "$def") == 0) Par_SetUnknownKeyword(p);
    if (std::strlen(Par_Token(p)) >= kParserTokenSize) __builtin_trap();
  }
  for (int i = 0; i < p->macroCount; i++)
    if (std::strlen(p->macroNames[i]) >= kParserMacroSize || std::strlen(p->macroValues[i]) >= kParserMacroSize)
      __builtin_trap();
  Par_Free(p);
  return 0;
}

static std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Bytes("menu { item \"Start Game\" ; }\n"));
  seeds.push_back(Bytes("$def RED 1 0 0\n$def GONE \"\"\n// comment\nRED GONE <a> [b]\n/* block\n */ x\n$def RED 2\n"));
  seeds.push_back(Bytes("ai {\n  node \"walk\" { speed 1.5 ; target player ; }\n  /* nested /* */ end\n}\n"));
}
