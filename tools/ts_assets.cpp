#include "tools/ts_assets.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "tools/entity_writer.h"
#include "tools/image_writer.h"
#include "tools/sound_files.h"
#include "tools/ts_writer.h"

namespace fs = std::filesystem;

namespace {

std::string Xyz(const vec3& v) {
  char text[96];
  std::snprintf(text, sizeof text, "%g %g %g", double(v.x), double(v.y), double(v.z));
  return text;
}

vec3 Add(const vec3& a, const vec3& b) { return vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }

EntityToolPairs PointBlock(const char* id, const vec3& at, const char* command) {
  return {{"classname", "world"}, {"id", id},           {"name", "anim\\props\\crate"}, {"origin", Xyz(at)},
          {"command", command},   {"solidbox", "1"},    {"clipbox", "-20 -8 0 20 8 128"}};
}

// ---- A 5 x 7 font for the help pictures --------------------------------------------------------------

struct Glyph {
  char c;
  uint8_t rows[7];  // bit 4 = leftmost column
};
constexpr Glyph kGlyphs[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}}, {'B', {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'D', {0x1E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1E}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}}, {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}}, {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'J', {0x07, 0x02, 0x02, 0x02, 0x02, 0x12, 0x0C}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}}, {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'P', {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10}},
    {'Q', {0x0E, 0x11, 0x11, 0x11, 0x15, 0x12, 0x0D}}, {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'U', {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x15, 0x0A}}, {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {'Y', {0x11, 0x11, 0x0A, 0x04, 0x04, 0x04, 0x04}}, {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}},
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}}, {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}}, {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}}, {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}}, {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}}, {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}}, {',', {0x00, 0x00, 0x00, 0x00, 0x0C, 0x04, 0x08}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}}, {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}}, {'\'', {0x04, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00}},
};

const Glyph* FindGlyph(char c) {
  if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

void Fill(ToolImage& img, int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
  // y counts from the top; the picture's rows are stored bottom first.
  for (int y = y0; y < y1; y++)
    for (int x = x0; x < x1; x++) {
      if (x < 0 || y < 0 || x >= img.width || y >= img.height) continue;
      uint8_t* p = img.At(x, img.height - 1 - y);
      p[0] = b, p[1] = g, p[2] = r, p[3] = 255;
    }
}

void Print(ToolImage& img, int x, int y, int scale, const std::string& text, uint8_t r, uint8_t g, uint8_t b) {
  for (char c : text) {
    if (const Glyph* glyph = FindGlyph(c))
      for (int row = 0; row < 7; row++)
        for (int col = 0; col < 5; col++)
          if (glyph->rows[row] & (0x10 >> col))
            Fill(img, x + col * scale, y + row * scale, x + (col + 1) * scale, y + (row + 1) * scale, r, g, b);
    x += 6 * scale;
  }
}

// A help page: a dark blue board, a title and rows of "key" boxes with what they do.
ToolImage HelpPage(const std::string& title, const std::vector<TsHelpRow>& rows) {
  ToolImage img = ImageTool_Solid(512, 256, 90, 40, 16, 255);  // B, G, R: dark blue
  Fill(img, 0, 0, 512, 4, 230, 190, 60);
  Print(img, 16, 12, 2, title, 230, 190, 60);
  int y = 36;
  for (const TsHelpRow& row : rows) {
    if (!row.label.empty()) Fill(img, 16, y - 2, 16 + 6 * 2 * int(row.label.size()) + 6, y + 16, 200, 200, 210);
    Print(img, 19, y + 1, 2, row.label, 20, 20, 30);
    Print(img, 164, y + 1, 2, row.what, 240, 240, 240);
    y += 19;
  }
  return img;
}

// A level's map: ground, a road along x, and the place of the Transport System point.
ToolImage LevelMap(bool road, uint8_t r, uint8_t g, uint8_t b) {
  ToolImage img = ImageTool_Solid(256, 256, b, g, r, 255);
  if (road) Fill(img, 0, 98, 256, 158, 70, 70, 75);
  for (int i = 0; i <= 256; i += 32) {
    Fill(img, i, 0, i + 1, 256, 255, 255, 255);
    Fill(img, 0, i, 256, i + 1, 255, 255, 255);
  }
  return img;
}

bool PutText(const std::string& stage, const std::string& name, const std::string& text) {
  return Tool_PutStaged(stage, name, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace

std::string TsAssets_HelpKeyLabel(const std::string& binding) {
  if (binding == "Mouse Left Button") return "CLICK";
  std::string label = binding.rfind("Keyboard ", 0) == 0 ? binding.substr(9) : binding;
  const std::string arrow = " Arrow";
  if (label.size() > arrow.size() && label.compare(label.size() - arrow.size(), arrow.size(), arrow) == 0)
    label.resize(label.size() - arrow.size());
  for (char& c : label) c = char(std::toupper(uint8_t(c)));
  return label;
}

std::vector<TsHelpRow> TsAssets_HelpRows(int page) {
  using Keys = std::vector<std::pair<std::string, std::string>>;
  std::vector<TsHelpRow> rows;
  auto bound = [&rows](Keys keys, std::string what) {
    std::string label;
    for (const auto& key : keys) label += (label.empty() ? "" : " ") + TsAssets_HelpKeyLabel(key.first);
    rows.push_back(TsHelpRow{std::move(keys), label, std::move(what)});
  };
  auto fixed = [&rows](std::string label, std::string what) { rows.push_back(TsHelpRow{{}, label, what}); };
  if (page == 0) {
    bound({{"Keyboard W", "Forward"}, {"Keyboard S", "Back"}, {"Keyboard Up Arrow", "Forward"},
           {"Keyboard Down Arrow", "Back"}},
          "WALK FORWARD, BACK");
    bound({{"Keyboard A", "Strafe Left"}, {"Keyboard D", "Strafe Right"}}, "STEP LEFT, RIGHT");
    bound({{"Keyboard Left Arrow", "Left"}, {"Keyboard Right Arrow", "Right"}}, "TURN. THE MOUSE LOOKS");
    bound({{"Mouse Left Button", "Fire"}}, "FIRE");
    bound({{"Keyboard Space", "Jump"}, {"Keyboard C", "Crouch"}}, "JUMP, CROUCH");
    bound({{"Keyboard E", "Use"}}, "USE, TALK, DRIVE");
    bound({{"Keyboard Q", "Leave Car"}}, "LEAVE THE CAR");
    bound({{"Keyboard R", "Reload Weapon"}, {"Keyboard X", "Next Weapon"}, {"Keyboard Z", "Prev Weapon"}},
          "RELOAD, NEXT, LAST WEAPON");
    bound({{"Keyboard Tab", "Inventory"}, {"Keyboard J", "Quests"}}, "INVENTORY, GOALS ON, OFF");
    bound({{"Keyboard F", "Map"}, {"Keyboard G", "Galahaste"}}, "MAP ON, OFF. SLOW MOTION");
    bound({{"Keyboard F5", "QuickSave"}, {"Keyboard F6", "QuickLoad"}}, "QUICK SAVE, QUICK LOAD");
  } else {
    fixed("ESC", "MENU");
    fixed("F1", "HELP ON AND OFF");
    bound({{"Keyboard F10", "Camera Sequence"}}, "CAMERA SEQUENCE ON, OFF");
    fixed("F12", "SCREENSHOT");
    fixed("NUMLOCK", "PAUSE");
    fixed("TRANSPORT", "CLICK DISTRICT, PLACE, GO");
    fixed("", "RIGHT BUTTON OR ESC LEAVES");
    fixed("TERMINAL", "CLICK THE KEY'S CODES");
    fixed("", "IN ORDER. ESC GIVES UP");
  }
  return rows;
}

bool TsAssets_Write(const std::string& stage, const std::string& game) {
  // The Transport System file and its map models.
  TsToolFile file;
  TsToolDistrict city{"ts\\city", "city", 0, {}, -1};
  const char* names[3] = {"ts\\street", "ts\\arena", "ts\\rooms"};
  for (int i = 0; i < 3; i++)
    city.places.push_back(TsToolPlace{names[i], kTsSampleLevels[i].level, kTsSampleLevels[i].start, {90, 0, 0}});
  file.districts.push_back(city);
  file.maps = {{"street", "sprites\\maps\\street", -1200, -1200, 1200, 1200},
               {"arena", "sprites\\maps\\arena", -1200, -1200, 1200, 1200},
               {"rooms", "sprites\\maps\\rooms", -256, -256, 256, 256}};
  bool ok = Tool_PutStaged(stage, "scripts/transport.tsd", TsTool_Write(file)) &&
            TsTool_PutMapModel(stage, "city", -1200, -900, 1200, 900, 0, 60, 90, 70);
  const uint8_t colours[3][3] = {{200, 120, 40}, {40, 120, 200}, {180, 60, 160}};
  for (int i = 0; i < 3 && ok; i++) {
    const float cx = kTsSampleEntryCentres[i][0], cy = kTsSampleEntryCentres[i][1];
    ok = TsTool_PutMapModel(stage, "city_" + std::to_string(i + 1), cx - 250, cy - 250, cx + 250, cy + 250, 2,
                            colours[i][0], colours[i][1], colours[i][2]);
  }
  // The arena and the rooms as levels, each with its point back.
  std::string arena, rooms, street;
  ok = ok && Tool_EntityText({{{"classname", "world"}, {"id", "arena"}, {"name", "maps\\street\\street"},
                               {"solid", "maps\\street\\street"}, {"shot", "maps\\street\\street"}, {"blocked", "1"}},
                              {{"classname", "sky"}, {"name", "maps\\sky\\street"}, {"secondname", "maps\\sky\\suns"}},
                              {{"classname", "info_player_start"}, {"origin", Xyz(kTsSampleLevels[1].start)},
                               {"angle", "90 0 0"}},
                              PointBlock("ts_point", Add(kTsSampleLevels[1].start, kTsSamplePointOffset),
                                         "[changelevel] [TransportSystem]")},
                             &arena);
  ok = ok && Tool_EntityText({{{"classname", "world"}, {"id", "rooms"}, {"name", "maps\\rooms\\rooms"},
                               {"solid", "maps\\rooms\\rooms"}, {"shot", "maps\\rooms\\rooms"}, {"blocked", "1"}},
                              {{"classname", "info_player_start"}, {"origin", Xyz(kTsSampleLevels[2].start)},
                               {"angle", "90 0 0"}},
                              PointBlock("ts_point", Add(kTsSampleLevels[2].start, kTsSamplePointOffset),
                                         "[changelevel] [TransportSystem]")},
                             &rooms);
  ok = ok && Tool_EntityText({PointBlock("ts_point", Add(kTsSampleLevels[0].start, kTsSamplePointOffset),
                                         "[changelevel] [TransportSystem]"),
                              PointBlock("terminal", Add(kTsSampleLevels[0].start, kTsSampleTerminalOffset),
                                         "[minigame] [1]")},
                             &street);
  ok = ok && PutText(stage, "scenes/arena.scn", arena) && PutText(stage, "scenes/rooms.scn", rooms);
  {
    std::ofstream scn(fs::path(stage) / "scenes" / "street.scn", std::ios::binary | std::ios::app);
    ok = ok && scn && (scn << street);
  }
  // The terminal's prize, the help pictures and the level maps.
  ok = ok && PutText(stage, "data/scripts/minigame/prize01.cfg", "[money] [" + std::to_string(kTsSamplePrize) + "]\n");
  ToolImage keys = HelpPage("KEYS", TsAssets_HelpRows(0));
  ToolImage play = HelpPage("PLAY", TsAssets_HelpRows(1));
  ok = ok && Tool_PutStaged(stage, "sprites/help/keys.tga", ImageTool_WriteTGA(keys, 24)) &&
       Tool_PutStaged(stage, "sprites/help/play.tga", ImageTool_WriteTGA(play, 24)) &&
       Tool_PutStaged(stage, "sprites/maps/street.tga", ImageTool_WriteTGA(LevelMap(true, 60, 110, 60), 24)) &&
       Tool_PutStaged(stage, "sprites/maps/arena.tga", ImageTool_WriteTGA(LevelMap(true, 110, 90, 50), 24)) &&
       Tool_PutStaged(stage, "sprites/maps/rooms.tga", ImageTool_WriteTGA(LevelMap(false, 90, 80, 110), 24)) &&
       Tool_PutStaged(stage, "scenes/arena.tga", ImageTool_WriteTGA(ImageTool_Pattern(256, 256, 22, false), 24)) &&
       Tool_PutStaged(stage, "scenes/rooms.tga", ImageTool_WriteTGA(ImageTool_Pattern(256, 256, 23, false), 24));
  // Short tones: the day and night buttons, the terminal's good pick, wrong pick and open lock.
  const std::pair<const char*, double> tones[] = {{"sound/day.wav", 660},         {"sound/night.wav", 220},
                                                  {"sound/hacking_ok.wav", 880},  {"sound/hacking_wrong.wav", 140},
                                                  {"sound/hacking_done.wav", 1320}};
  for (const auto& [name, hz] : tones)
    ok = ok && Tool_PutStaged(stage, name, Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 4410, hz, 0.3)));
  if (!ok) {
    std::fprintf(stderr, "TsAssets_Write: cannot write the Transport System's files\n");
    return false;
  }
  // The mini-game library, built next to this tool.
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    self[n] = 0;
    fs::path library = fs::path(self).parent_path() / "minigame.so";
    std::error_code ec;
    if (fs::exists(library, ec) &&
        !fs::copy_file(library, fs::path(game) / "minigame.so", fs::copy_options::overwrite_existing, ec)) {
      std::fprintf(stderr, "TsAssets_Write: cannot copy %s\n", library.c_str());
      return false;
    }
  }
  return true;
}
