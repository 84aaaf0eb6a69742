// Fuzz target: the settings file reader (quoted tokens, comments, CR/LF lines) applied to a few
// registered variables, then the writer's number and text forms.
#include <cstring>
#include <string>

#include "foundation/var.h"
#include "fuzz.h"

static VarRecord g_vars[] = {
    {"render_gamma", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ALWAYS, 1.0f, "", 0, nullptr},
    {"video_lang", 0, VAR_SETTABLE | VAR_ALWAYS, 0.0f, "Eng", 0, nullptr},
    {"game_lastoriginx", 0, VAR_NUMERIC | VAR_SETTABLE | VAR_ONCESET, 0.0f, "", 0, nullptr},
    {"render_drawavi", 0, VAR_NUMERIC, 0.0f, "", 0, nullptr},
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool registered = false;
  if (!registered) {
    for (VarRecord& v : g_vars) Var_Register(&v);
    registered = true;
  }
  Var_ApplyText(reinterpret_cast<const char*>(data), size);
  for (VarRecord& v : g_vars) {
    if (strnlen(v.text, sizeof v.text) >= sizeof v.text) __builtin_trap();
    if (v.flags & VAR_NUMERIC) Var_SetValue(&v, v.value);
  }
  // The single-line reader on its own, over the raw bytes.
  std::string line(reinterpret_cast<const char*>(data), size);
  Var_ApplyLine(line.c_str());
  char token[kVarQuotedTokenSize];
  const char* rest = line.c_str();
  for (int i = 0; rest && i < 64; i++) {
    Var_NextQuotedToken(rest, token, &rest);
    if (std::strlen(token) >= sizeof token) __builtin_trap();
  }
  return 0;
}

static std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void Fuzz_MakeSeeds(std::vector<std::vector<uint8_t>>& seeds) {
  seeds.push_back(Bytes("\"render_gamma\" \"1.300000\"\n\"video_lang\" \"Rus\"\n\"game_lastoriginx\" \"-12.5\"\n"));
  seeds.push_back(Bytes("// comment\r\n\"RENDER_GAMMA\" junk \"2\" // tail\r\"render_drawavi\" \"1\"\n\"video_lang\" \"\"\n"));
  seeds.push_back(Bytes("\"video_lang\" \"" + std::string(300, 'x') + "\"\n\"render_gamma\" \"1e38\"\n\"render_gamma\" \"nan\"\n"));
}
