#include "tools/nav_writer.h"

#include <cstdio>

#include "tools/population_assets.h"

namespace {

std::string Numbers(std::initializer_list<float> values) {
  std::string out;
  char buf[48];
  for (float v : values) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%g" : " %g", double(v));
    out += buf;
  }
  return out;
}

void Pair(std::string& out, const char* key, const std::string& value) {
  out += "[";
  out += key;
  out += "] [";
  out += value;
  out += "]\n";
}

// Two rectangles side by side in x, sharing the segment at x = split.
void TwoAreas(NavWriterSet& set, float x0, float split, float x1, float y0, float y1, float z) {
  int base = int(set.vertices.size());
  for (float x : {x0, split, x1}) {
    set.vertices.push_back({x, y0, z});
    set.vertices.push_back({x, y1, z});
  }
  set.areas.push_back({base + 0, base + 2, base + 3, base + 1});
  set.areas.push_back({base + 2, base + 4, base + 5, base + 3});
}

}  // namespace

std::string NavWriter_Text(const NavWriterFile& file) {
  std::string out = "// navigation areas\n";
  const char* setNames[2] = {"civilian", "car"};
  for (int s = 0; s < 2; s++) {
    const NavWriterSet& set = file.sets[s];
    if (set.vertices.empty() && set.areas.empty()) continue;
    Pair(out, "set", setNames[s]);
    for (const auto& v : set.vertices) Pair(out, "vertex", Numbers({v[0], v[1], v[2]}));
    for (const auto& area : set.areas) {
      std::string list;
      for (int i : area) list += (list.empty() ? "" : " ") + std::to_string(i);
      Pair(out, "area", list);
    }
  }
  const char* templateKeys[3] = {"cartemplate", "daytemplate", "nighttemplate"};
  for (int t = 0; t < 3; t++)
    for (const std::string& name : file.templates[t]) Pair(out, templateKeys[t], name);
  Pair(out, "caps", std::to_string(file.caps[0]) + " " + std::to_string(file.caps[1]) + " " + std::to_string(file.caps[2]));
  for (const std::string& kind : file.propKinds) Pair(out, "propkind", kind);
  if (file.haveGrid) Pair(out, "propgrid", Numbers({file.grid[0], file.grid[1], file.grid[2], file.grid[3]}));
  for (const NavWriterProp& p : file.props)
    Pair(out, "prop", std::to_string(p.kind) + " " + Numbers({p.x, p.y, p.z, p.yaw}));
  return out;
}

void NavWriter_AddGrid(NavWriterSet& set, float x0, float y0, float w, float h, int nx, int ny, float z) {
  int base = int(set.vertices.size());
  for (int j = 0; j <= ny; j++)
    for (int i = 0; i <= nx; i++) set.vertices.push_back({x0 + w * float(i), y0 + h * float(j), z});
  auto at = [&](int i, int j) { return base + j * (nx + 1) + i; };
  for (int j = 0; j < ny; j++)
    for (int i = 0; i < nx; i++) set.areas.push_back({at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)});
}

NavWriterFile NavWriter_SampleStreet() {
  NavWriterFile f;
  TwoAreas(f.sets[0], -2560, 0, 2560, 600, 800, 8);    // north pavement
  TwoAreas(f.sets[0], -2560, 0, 2560, -800, -600, 8);  // south pavement
  // The road: a chain of pieces across its width, so that each inner piece (two portals) carries a
  // lane each way; the ring where traffic appears (2,280 units) crosses the pieces at 1800..2400.
  NavWriterSet& road = f.sets[1];
  const float cuts[] = {-2560, -2400, -1800, -600, 600, 1800, 2400, 2560};
  for (float x : cuts) {
    road.vertices.push_back({x, -600, 0});
    road.vertices.push_back({x, 600, 0});
  }
  for (int i = 0; i + 1 < int(sizeof cuts / sizeof cuts[0]); i++)
    road.areas.push_back({2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1});
  f.templates[0] = {kPopulationSampleCar};
  f.templates[1] = {kPopulationSampleDay[0], kPopulationSampleDay[1]};
  f.templates[2] = {kPopulationSampleDay[1]};
  f.caps[0] = 2;
  f.caps[1] = 4;
  f.caps[2] = 3;
  f.propKinds = {"anim\\props\\lamp", "anim\\props\\crate"};
  f.haveGrid = true;
  f.grid[0] = -2560;
  f.grid[1] = -2560;
  f.grid[2] = 11;
  f.grid[3] = 11;
  // Yaw in radians, like every angle of the game: the south lamps turn about (180 degrees), the
  // crates stand at 30 and 75 degrees.
  const float kDegrees = 3.14159265f / 180.0f;
  for (float x = -2000; x <= 2000; x += 800) {
    f.props.push_back({0, x, 680, 8, 0});
    f.props.push_back({0, x, -680, 8, 180 * kDegrees});
  }
  f.props.push_back({1, 400, 720, 8, 30 * kDegrees});
  f.props.push_back({1, -1200, -720, 8, 75 * kDegrees});
  return f;
}
