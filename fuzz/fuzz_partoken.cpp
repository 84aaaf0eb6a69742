// Bracket tokens over arbitrary text: every call terminates, tokens stay inside the buffer and
// the rest pointer stays inside the text.
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/partoken.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  const char* begin = text.c_str();
  const char* end = begin + std::strlen(begin);
  const char* rest = begin;
  int tokens = 0;
  while (const char* t = Par_NextBracketToken(rest, &rest)) {
    if (std::strlen(t) >= kParTokenSize) std::abort();
    if (!rest || rest < begin || rest > end) std::abort();
    if (++tokens > int(size) + 1) std::abort();
  }
  if (rest) std::abort();
  return 0;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  const char* texts[] = {"[debugMem][1]\r\n[openLog][0]\n", "xx [a] yy [b c]", "[a[b]", "]]][[[",
                         "// comment\n[name]  [ value with blanks ]\n[x]"};
  for (const char* t : texts) seeds.emplace_back(t, t + std::strlen(t));
  std::string longToken = "[" + std::string(5000, 'z') + "][v]";
  seeds.emplace_back(longToken.begin(), longToken.end());
}
