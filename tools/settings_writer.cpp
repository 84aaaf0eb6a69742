#include "tools/settings_writer.h"

std::vector<std::pair<std::string, std::string>> Tool_DefaultBindings() {
  return {
      {"Keyboard W", "Forward"},
      {"Keyboard Up Arrow", "Forward"},
      {"Keyboard S", "Back"},
      {"Keyboard Down Arrow", "Back"},
      {"Keyboard A", "Strafe Left"},
      {"Keyboard D", "Strafe Right"},
      {"Keyboard Left Arrow", "Left"},
      {"Keyboard Right Arrow", "Right"},
      {"Keyboard Space", "Jump"},
      {"Keyboard C", "Crouch"},
      {"Mouse Left Button", "Fire"},
      {"Keyboard E", "Use"},
      {"Keyboard Q", "Leave Car"},
      {"Keyboard G", "Galahaste"},
      {"Keyboard R", "Reload Weapon"},
      {"Keyboard X", "Next Weapon"},
      {"Keyboard Z", "Prev Weapon"},
      {"Keyboard F10", "Camera Sequence"},
      {"Keyboard Tab", "Inventory"},
      {"Keyboard F", "Map"},
      {"Keyboard J", "Quests"},
      {"Keyboard F5", "QuickSave"},
      {"Keyboard F6", "QuickLoad"},
  };
}

std::string Tool_DefaultSettingsText() {
  std::string text;
  for (const auto& [key, command] : Tool_DefaultBindings()) text += "\"" + key + "\" \"" + command + "\"\n";
  return text;
}
