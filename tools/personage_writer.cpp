#include "tools/personage_writer.h"

std::string Tool_PersonageList(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\r\n";
  return text;
}

std::vector<std::string> Tool_SamplePersonages() {
  return {"Mara", "Oswin", "Hedda", "Corvin", "Tamsin", "Brannock", "Isolde", "Fenwick"};
}
