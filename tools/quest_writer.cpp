#include "tools/quest_writer.h"

#include "tools/hud_writer.h"

std::string QuestWriter_Condition(const std::vector<std::vector<std::string>>& tests) {
  return QuestWriter_Script(tests);
}

std::string QuestWriter_TextPath(const std::string& key, const std::string& language) {
  std::string path = "data/text/" + language + "/" + key + ".txt";
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}
