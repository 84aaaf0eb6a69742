#include "tools/ui_assets.h"

#include <cmath>
#include <filesystem>
#include <functional>

#include "tools/image_writer.h"
#include "tools/sound_files.h"

namespace {

// A picture of `size` x `size` texels from a shape: (x, y) with y downwards from the top-left
// corner, as a picture is seen; `shape` gives B, G, R, A (A 0 for a clear texel).
ToolImage Draw(int size, const std::function<void(int x, int y, uint8_t* bgra)>& shape) {
  ToolImage img;
  img.width = img.height = size;
  img.bgra.assign(size_t(size) * size_t(size) * 4, 0);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) shape(x, y, img.At(x, size - 1 - y));  // rows stored bottom first
  return img;
}

void Put(uint8_t* p, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  p[0] = b;
  p[1] = g;
  p[2] = r;
  p[3] = a;
}

// The pointer: an arrow whose tip is the top-left texel, warm yellow with a black rim.
ToolImage Cursor() {
  return Draw(16, [](int x, int y, uint8_t* p) {
    // Inside the arrow: left of the slanted edge (x <= y * 0.6) and above the tail's cut, plus
    // the tail running down and right.
    auto inside = [](int ix, int iy) {
      if (ix < 0 || iy < 0) return false;
      bool head = iy <= 11 && ix <= iy * 6 / 10 + 1;
      bool tail = iy >= 8 && iy <= 15 && ix >= (iy - 8) / 2 + 2 && ix <= (iy - 8) / 2 + 4;
      return head || tail;
    };
    if (!inside(x, y)) return;
    bool rim = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
    if (rim)
      Put(p, 0, 0, 0, 255);
    else
      Put(p, 90, 225, 255, 255);
  });
}

double Distance(int x, int y, double cx, double cy) { return std::hypot(x + 0.5 - cx, y + 0.5 - cy); }

// Talk: a pale yellow speech bubble with a point at its lower left and three dots.
ToolImage TalkMarker() {
  return Draw(32, [](int x, int y, uint8_t* p) {
    const double dx = (x + 0.5 - 16) / 14, dy = (y + 0.5 - 13) / 10;
    const bool bubble = dx * dx + dy * dy <= 1;
    const bool point = y >= 20 && y <= 29 && x >= 7 && x <= 7 + (29 - y) / 2 + 2;
    if (!bubble && !point) return;
    const bool dot = y >= 12 && y <= 14 && (x % 7 >= 1 && x % 7 <= 3) && x >= 8 && x <= 24;
    if (dot)
      Put(p, 40, 40, 40, 255);
    else
      Put(p, 120, 230, 250, 230);
  });
}

// Search: a green magnifying glass, ring and handle.
ToolImage SearchMarker() {
  return Draw(32, [](int x, int y, uint8_t* p) {
    const double d = Distance(x, y, 13, 13);
    const bool ring = d >= 7 && d <= 10;
    const bool handle = x >= 19 && y >= 19 && x <= 29 && y <= 29 && std::abs(x - y) <= 2;
    if (ring || handle) Put(p, 60, 220, 60, 240);
  });
}

// Hack: a cyan screen with two rows of code marks.
ToolImage HackMarker() {
  return Draw(32, [](int x, int y, uint8_t* p) {
    const bool frame = x >= 3 && x <= 28 && y >= 5 && y <= 24 && (x <= 4 || x >= 27 || y <= 6 || y >= 23);
    const bool code = ((y >= 10 && y <= 11) || (y >= 16 && y <= 17)) && x >= 8 && x <= 23 && (x / 3) % 2 == 0;
    const bool stand = y >= 25 && y <= 27 && x >= 12 && x <= 19;
    if (frame || code || stand) Put(p, 230, 210, 40, 240);
  });
}

// The crosshairs of "render_crosshair" 1 to 3: a plus, a ring with a centre dot, an X.
ToolImage CrossPlus() {
  return Draw(16, [](int x, int y, uint8_t* p) {
    const bool arm = (x >= 7 && x <= 8 && (y <= 5 || y >= 10)) || (y >= 7 && y <= 8 && (x <= 5 || x >= 10));
    if (arm) Put(p, 255, 255, 255, 200);
  });
}
ToolImage CrossRing() {
  return Draw(16, [](int x, int y, uint8_t* p) {
    const double d = Distance(x, y, 8, 8);
    if ((d >= 5.5 && d <= 7) || d <= 1.2) Put(p, 120, 255, 120, 200);
  });
}
ToolImage CrossX() {
  return Draw(16, [](int x, int y, uint8_t* p) {
    const bool diagonal = std::abs(x - y) <= 0 || std::abs(x + y - 15) <= 0;
    const bool centre = x >= 5 && x <= 10 && y >= 5 && y <= 10;
    if (diagonal && !centre) Put(p, 80, 200, 255, 220);
  });
}

}  // namespace

std::vector<std::pair<std::string, std::vector<uint8_t>>> UiAssets_Files() {
  return {
      {"sprites/Menu/cursor.tga", ImageTool_WriteTGA(Cursor(), 32)},
      {"sprites/SBar/talkplace.tga", ImageTool_WriteTGA(TalkMarker(), 32)},
      {"sprites/SBar/search.tga", ImageTool_WriteTGA(SearchMarker(), 32)},
      {"sprites/SBar/hack.tga", ImageTool_WriteTGA(HackMarker(), 32)},
      {"sprites/SBar/cross00.tga", ImageTool_WriteTGA(CrossPlus(), 32)},
      {"sprites/SBar/cross000.tga", ImageTool_WriteTGA(CrossRing(), 32)},
      {"sprites/SBar/cross0000.tga", ImageTool_WriteTGA(CrossX(), 32)},
  };
}

bool UiAssets_Write(const std::string& stage) {
  namespace fs = std::filesystem;
  for (const auto& [name, bytes] : UiAssets_Files()) {
    const fs::path path = fs::path(stage) / name;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (!Tool_WriteBytes(path.string(), bytes)) return false;
  }
  return true;
}
