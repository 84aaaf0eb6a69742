// make_sample <sample source folder> <game folder>: builds the sample game. Everything below
// the source's "data" folder (its "text" folder as "data/text", where the game reads texts), plus the generated intro movie "video/logos.wmv" and its sound
// "video/logos.wav" and the generated models and levels (tools/sample_assets.h), is packed into "<game folder>/main/data00.twk"; the source's loose files and
// the DejaVu Sans font are copied beside it.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/media_ffmpeg.h"
#include "tools/ui_assets.h"
#include "tools/weapon_assets.h"
#include "tools/image_writer.h"
#include "tools/settings_writer.h"
#include "tools/nav_writer.h"
#include "tools/ai_assets.h"
#include "tools/arena_assets.h"
#include "tools/character_assets.h"
#include "tools/effect_assets.h"
#include "tools/entity_writer.h"
#include "tools/physics_assets.h"
#include "tools/hud_writer.h"
#include "tools/lit_sample.h"
#include "tools/nav_writer.h"
#include "tools/personage_writer.h"
#include "tools/population_assets.h"
#include "tools/quest_assets.h"
#include "tools/sample_assets.h"
#include "tools/sound_files.h"
#include "tools/street_props.h"
#include "tools/ts_assets.h"
#include "tools/zipwriter.h"

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 640, kHeight = 480, kFps = 24, kSeconds = 4;
constexpr double kPi = 3.14159265358979323846;

// 5 x 7 capitals of the title, one row a byte (bit 4 = leftmost column).
struct Glyph {
  char c;
  uint8_t rows[7];
};
constexpr Glyph kGlyphs[] = {
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}}, {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}}, {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'W', {0x11, 0x11, 0x11, 0x15, 0x15, 0x1B, 0x11}}, {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'C', {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E}}, {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
};

const Glyph* FindGlyph(char c) {
  for (const Glyph& g : kGlyphs)
    if (g.c == c) return &g;
  return nullptr;
}

// One frame of the intro, top row first: a dusk gradient, the title fading in, and a light
// sweeping across it.
void DrawFrame(int frame, std::vector<uint8_t>& bgra) {
  double t = double(frame) / kFps;
  double fade = std::min(1.0, t / 1.2) * std::min(1.0, (kSeconds - t) / 0.6);
  if (fade < 0) fade = 0;
  for (int y = 0; y < kHeight; y++) {
    for (int x = 0; x < kWidth; x++) {
      uint8_t* p = &bgra[(size_t(y) * kWidth + x) * 4];
      double v = double(y) / kHeight;
      p[0] = uint8_t(40 + 60 * v);   // blue
      p[1] = uint8_t(10 + 30 * v);   // green
      p[2] = uint8_t(30 + 90 * v);   // red
      p[3] = 255;
    }
  }
  const char* title = "TARNWICK";
  const int scale = 10, advance = 6 * scale;
  int len = int(std::strlen(title));
  int x0 = (kWidth - (len * advance - scale)) / 2, y0 = (kHeight - 7 * scale) / 2;
  double sweep = -100 + (kWidth + 200) * (t / kSeconds);
  for (int i = 0; i < len; i++) {
    const Glyph* g = FindGlyph(title[i]);
    if (!g) continue;
    for (int row = 0; row < 7; row++)
      for (int col = 0; col < 5; col++) {
        if (!(g->rows[row] & (0x10 >> col))) continue;
        for (int dy = 0; dy < scale; dy++)
          for (int dx = 0; dx < scale; dx++) {
            int x = x0 + i * advance + col * scale + dx, y = y0 + row * scale + dy;
            double glow = std::exp(-std::pow((x - sweep) / 60.0, 2));
            uint8_t* p = &bgra[(size_t(y) * kWidth + x) * 4];
            double r = 230 + 25 * glow, gr = 190 + 65 * glow, b = 120 + 135 * glow;
            p[2] = uint8_t(p[2] + (std::min(255.0, r) - p[2]) * fade);
            p[1] = uint8_t(p[1] + (std::min(255.0, gr) - p[1]) * fade);
            p[0] = uint8_t(p[0] + (std::min(255.0, b) - p[0]) * fade);
          }
      }
  }
}

bool WriteIntroMovie(const std::string& path) {
  MediaEncodeParams params{};
  params.container = "asf";
  params.videoCodec = "wmv2";
  params.width = kWidth;
  params.height = kHeight;
  params.frameRate = kFps;
  params.gop = 12;
  params.quality = 3;
  MediaEncoder* enc = MediaEnc_Open(path.c_str(), &params);
  if (!enc) return false;
  std::vector<uint8_t> bgra(size_t(kWidth) * kHeight * 4);
  for (int f = 0; f < kFps * kSeconds; f++) {
    DrawFrame(f, bgra);
    if (!MediaEnc_WriteVideo(enc, bgra.data(), 0)) {
      MediaEnc_Close(enc);
      return false;
    }
  }
  return MediaEnc_Close(enc) == 1;
}

// The intro's sound: a major chord that swells and dies away.
bool WriteIntroSound(const std::string& path) {
  const int rate = 22050;
  const int frames = rate * kSeconds;
  std::vector<int16_t> pcm(frames);
  const double notes[] = {220.0, 277.18, 329.63, 440.0};
  for (int i = 0; i < frames; i++) {
    double t = double(i) / rate;
    double env = std::min(1.0, t / 0.4) * std::exp(-1.1 * t);
    double s = 0;
    for (double hz : notes) s += std::sin(2 * kPi * hz * t);
    pcm[i] = int16_t(std::lround(7000.0 * env * s));
  }
  return Tool_WriteBytes(path, Tool_WavBytes(1, rate, 16, pcm));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_sample <sample source folder> <game folder>\n");
    return 2;
  }
  fs::path source(argv[1]), game(argv[2]);
  std::error_code ec;
  fs::path stage = game / "main" / "data00.stage";
  fs::remove_all(stage, ec);
  fs::create_directories(stage / "video", ec);
  if (fs::exists(source / "data")) fs::copy(source / "data", stage, fs::copy_options::recursive, ec);
  // The game reads its texts from "data\text\<language>\": the source's "text" folder goes there.
  if (!ec && fs::exists(stage / "text")) {
    fs::create_directories(stage / "data", ec);
    if (!ec) fs::rename(stage / "text", stage / "data" / "text", ec);
  }
  if (ec) {
    std::fprintf(stderr, "make_sample: cannot copy %s: %s\n", (source / "data").c_str(), ec.message().c_str());
    return 1;
  }
  if (!SampleAssets_Write(stage.string())) {
    std::fprintf(stderr, "make_sample: cannot write the models and levels\n");
    return 1;
  }
  // The characters: definitions, the second hero, the townsman, the heroes' animations, cries.
  if (!CharacterAssets_Write(stage.string())) {
    std::fprintf(stderr, "make_sample: cannot write the characters\n");
    return 1;
  }
  // The arena of local-network matches and its capture-the-flag models.
  if (!ArenaAssets_Write(stage.string())) {
    std::fprintf(stderr, "make_sample: cannot write the arena\n");
    return 1;
  }
  if (!WriteIntroMovie((stage / "video" / "logos.wmv").string()) ||
      !WriteIntroSound((stage / "video" / "logos.wav").string())) {
    std::fprintf(stderr, "make_sample: cannot write the intro movie\n");
    return 1;
  }
  if (!WeaponAssets_Write(stage.string())) return 1;  // the weapons' shot, click, reload and change
  // The townsman's dialogue, its scripts, condition, texts and voiced greeting.
  if (!QuestAssets_Write(stage.string())) {
    std::fprintf(stderr, "make_sample: cannot write the quest scripts\n");
    return 1;
  }
  // The per-pixel-lit level and figure (loaded, never lit).
  if (!LitSample_Write(stage.string())) {
    std::fprintf(stderr, "make_sample: cannot write the lit level and figure\n");
    return 1;
  }
  // The characters a game carries between levels.
  fs::create_directories(stage / "scripts", ec);
  std::string personages = Tool_PersonageList(Tool_SamplePersonages());
  if (!Tool_WriteBytes((stage / "scripts" / "personages").string(),
                       std::vector<uint8_t>(personages.begin(), personages.end()))) {
    std::fprintf(stderr, "make_sample: cannot write scripts/personages\n");
    return 1;
  }
  // The street's entity files, the templates they call and the street's looping traffic hum.
  if (!Tool_WriteBytes((stage / "sound" / "traffic.wav").string(),
                       Tool_WavBytes(1, 22050, 16, Tool_Sine(1, 22050, 44100, 90, 0.3)))) {
    std::fprintf(stderr, "make_sample: cannot write sound/traffic.wav\n");
    return 1;
  }
  for (const auto& [name, text] : Tool_SampleEntityFiles()) {
    fs::create_directories((stage / name).parent_path(), ec);
    if (!Tool_WriteBytes((stage / name).string(), std::vector<uint8_t>(text.begin(), text.end()))) {
      std::fprintf(stderr, "make_sample: cannot write %s\n", name.c_str());
      return 1;
    }
  }
  // The street's passers-by and drivers.
  for (const auto& [name, text] : PopulationAssets_Files()) {
    fs::create_directories((stage / name).parent_path(), ec);
    if (!Tool_WriteBytes((stage / name).string(), std::vector<uint8_t>(text.begin(), text.end()))) {
      std::fprintf(stderr, "make_sample: cannot write %s\n", name.c_str());
      return 1;
    }
  }
  // The world's effects: flare, glare, beam and bolt pictures, a voiced line, and the street's
  // sun with the crate wall that hides it from the player start.
  {
    std::string sun;
    std::ofstream scn(stage / "scenes" / "street.scn", std::ios::binary | std::ios::app);
    if (!EffectAssets_Write(stage.string()) || !Tool_EntityText(EffectAssets_SunBlocks(), &sun) || !(scn << sun)) {
      std::fprintf(stderr, "make_sample: cannot write the effects\n");
      return 1;
    }
  }
  // The street's doors, lift, levers, smoking lamp and parked car, and the shots' pictures and sounds.
  {
    std::string props;
    std::ofstream scn(stage / "scenes" / "street.scn", std::ios::binary | std::ios::app);
    if (!StreetProps_Write(stage.string()) || !Tool_EntityText(StreetProps_Blocks(), &props) || !(scn << props) ||
        !Tool_EntityText(PhysicsAssets_Blocks(), &props) || !(scn << props)) {
      std::fprintf(stderr, "make_sample: cannot write the street's props\n");
      return 1;
    }
  }
  // The street's gang member and the slow-motion overlay.
  {
    std::string blocks;
    std::ofstream scn(stage / "scenes" / "street.scn", std::ios::binary | std::ios::app);
    if (!AiAssets_Write(stage.string()) || !Tool_EntityText(AiAssets_StreetBlocks(), &blocks) || !(scn << blocks)) {
      std::fprintf(stderr, "make_sample: cannot write the street's AI content\n");
      return 1;
    }
  }
  // The Transport System, the terminal's mini-game and prize, the help pictures, the level maps.
  if (!TsAssets_Write(stage.string(), game.string())) return 1;
  // The front end and the HUD: the street's areas, the intro's script, the HUD file.
  {
    HudWriterFile hud;
    const char* prefixes[] = {"player_melee_weapon", "player_light_weapon", "player_heavy_weapon",
                              "player_energy_weapon", "player_explosives", "player_unarmed"};
    const char* bands[] = {"_10", "_99", "_199", "_299", "_300"};
    for (const char* prefix : prefixes)
      for (int b = 0; b < 5; b++) hud.damage[std::string(prefix) + bands[b]] = 1.0f + 0.25f * float(b);
    const std::pair<const char*, std::string> files[] = {
        {"scenes/street.nav", NavWriter_Text(NavWriter_SampleStreet())},
        {"scripts/que/logos.txt", QuestWriter_Script({{"level", "endgame"}})},
        {"sprites/ui/ui.txt", HudWriter_Text(hud)},
    };
    for (const auto& [name, text] : files) {
      fs::create_directories((stage / name).parent_path(), ec);
      if (!Tool_WriteBytes((stage / name).string(), std::vector<uint8_t>(text.begin(), text.end()))) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", name);
        return 1;
      }
    }
  }
  // The loading picture of the street and the four crosshairs.
  {
    const std::pair<std::string, ToolImage> pictures[] = {
        {"scenes/street.tga", ImageTool_Pattern(256, 256, 21, false)},
        {"sprites/SBar/cross0.tga", ImageTool_Solid(16, 16, 255, 255, 255, 160)},
        {"sprites/SBar/cross1.tga", ImageTool_Solid(16, 16, 80, 255, 80, 160)},
        {"sprites/SBar/cross2.tga", ImageTool_Solid(16, 16, 80, 80, 255, 160)},
        {"sprites/SBar/cross3.tga", ImageTool_Solid(16, 16, 255, 200, 80, 160)},
    };
    for (const auto& [name, img] : pictures) {
      fs::create_directories((stage / name).parent_path(), ec);
      if (!Tool_WriteBytes((stage / name).string(), ImageTool_WriteTGA(img, 32))) {
        std::fprintf(stderr, "make_sample: cannot write %s\n", name.c_str());
        return 1;
      }
    }
  }
  // The menus' pointer, the play screen's markers and the crosshairs of "render_crosshair" 1 to 3.
  if (!UiAssets_Write(stage.string())) {
    std::fprintf(stderr, "make_sample: cannot write the pointer, markers and crosshairs\n");
    return 1;
  }
  int members = ZipWriter_PackFolder(stage.c_str(), (game / "main" / "data00.twk").c_str());
  fs::remove_all(stage, ec);
  if (members < 0) {
    std::fprintf(stderr, "make_sample: cannot write %s\n", (game / "main" / "data00.twk").c_str());
    return 1;
  }
  // Loose files of the sample (its fonts) sit beside the archives.
  for (const auto& entry : fs::directory_iterator(source, ec)) {
    if (!entry.is_regular_file() || entry.path().filename() == "README.md") continue;
    fs::copy_file(entry.path(), game / entry.path().filename(), fs::copy_options::overwrite_existing, ec);
  }
  // A new player's key bindings; a player's own settings are never replaced.
  if (!fs::exists(game / "settings", ec)) {
    std::string settings = Tool_DefaultSettingsText();
    if (!Tool_WriteBytes((game / "settings").string(), std::vector<uint8_t>(settings.begin(), settings.end()))) {
      std::fprintf(stderr, "make_sample: cannot write the settings\n");
      return 1;
    }
  }
  // The sample ships the font its texts are drawn with (from the system's DejaVu package).
  const char* font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
  if (fs::exists(font)) fs::copy_file(font, game / "DejaVuSans.ttf", fs::copy_options::overwrite_existing, ec);
  std::printf("make_sample: %s/main/data00.twk with %d members\n", game.c_str(), members);
  return 0;
}
