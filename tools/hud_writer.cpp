#include "tools/hud_writer.h"

#include <cstdio>

namespace {

std::string Box(const float b[4]) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%g %g %g %g", double(b[0]), double(b[1]), double(b[2]), double(b[3]));
  return buf;
}

}  // namespace

std::string HudWriter_Text(const HudWriterFile& file) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g", double(file.daytime));
  std::string out = "[daytime] [" + std::string(buf) + "]\n";
  for (const auto& [key, value] : file.damage) {
    std::snprintf(buf, sizeof buf, "%g", double(value));
    out += "[" + key + "] [" + buf + "]\n";
  }
  out += "[daybutton] [" + Box(file.dayButton) + "]\n";
  out += "[nightbutton] [" + Box(file.nightButton) + "]\n";
  return out;
}

std::string QuestWriter_Script(const std::vector<std::vector<std::string>>& commands) {
  std::string out;
  for (const auto& words : commands) {
    std::string line;
    for (const std::string& w : words) line += (line.empty() ? "[" : " [") + w + "]";
    out += line + "\n";
  }
  return out;
}
