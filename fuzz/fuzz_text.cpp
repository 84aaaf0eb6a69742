// Fuzz target: text file bytes (UTF-16 with the mark, or byte text, damaged either way) turned
// into wide text, and the result added to the message lines.
#include <string>

#include "foundation/text.h"
#include "fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static char16_t out[kTextBufferUnits];
  // The file as the reader hands it over: its bytes and two zero bytes behind.
  std::string file(reinterpret_cast<const char*>(data), size);
  file.push_back(0);
  file.push_back(0);
  size_t limits[] = {kTextBufferUnits, 1, 2, 3, 17};
  for (size_t limit : limits) {
    size_t n = Text_ToWide(file.data(), size, out, limit);
    if (n >= limit || out[n] != 0) __builtin_trap();
  }
  Console_AddMessage(out, 1.0e9);
  if (Console_GetLineCount() > 1000) Console_Clear();
  return 0;
}

static std::vector<uint8_t> Utf16(const std::u16string& s) {
  std::vector<uint8_t> v = {0xFF, 0xFE};
  for (char16_t c : s) {
    v.push_back(uint8_t(c));
    v.push_back(uint8_t(c >> 8));
  }
  return v;
}

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Utf16(u"\x041F\x0430\x0443\x0437\x0430 paused"));
  std::string bytes = "You need the key to open this door \xC0\xFF";
  seeds.push_back(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  std::vector<uint8_t> odd = Utf16(u"odd");
  odd.push_back('x');
  seeds.push_back(odd);
}
