#include "tools/personage_writer.h"

std::string Tool_PersonageList(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\r\n";
  return text;
}

std::vector<std::string> Tool_SamplePersonages() {
  // The two heroes first: the hero a player chose is carried from level to level.
  return {"JaxTorvin", "MiraSolvek", "Mara", "Oswin", "Hedda", "Corvin", "Tamsin", "Brannock", "Isolde", "Fenwick"};
}
