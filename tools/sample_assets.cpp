#include "tools/sample_assets.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "scene/may.h"
#include "scene/model.h"
#include "tools/image_writer.h"
#include "tools/model_writer.h"
#include "tools/scene_writer.h"
#include "world/trace.h"

namespace fs = std::filesystem;

const SampleStreetPlaces kSampleStreet = {
    {0, 0, 0}, 512.0f, {300, -500, 200}, {700, 400, 0}, {-300, 300, 0}, {0.4157f, 0.6532f, 0.6326f}};

namespace {

constexpr float kHalf = 2560;        // the block runs from -2560 to 2560 on x and y
constexpr float kRoad = 600;         // the road: |y| < 600, at z = 0
constexpr float kKerb = 8;           // the pavements beyond stand 8 units high
constexpr float kEdgeWall = 256;     // the walls round the block: far higher than a jump
constexpr float kEdgeThick = 32;     // standing outside the block, their inner faces on its edge
constexpr float kTexel = 128;        // diffuse textures repeat every 128 units
constexpr float kAmbient = 0.38f;
constexpr float kSun = 0.85f;

std::string g_stage;

bool Save(const std::string& name, const std::vector<uint8_t>& bytes) {
  fs::path p = fs::path(g_stage) / name;
  std::error_code ec;
  fs::create_directories(p.parent_path(), ec);
  if (!ImageTool_Save(p.string(), bytes)) {
    std::fprintf(stderr, "make_sample: cannot write %s\n", p.c_str());
    return false;
  }
  return true;
}

bool SaveText(const std::string& name, const std::string& text) {
  return Save(name, std::vector<uint8_t>(text.begin(), text.end()));
}

// ---- Pictures -------------------------------------------------------------------------------------

uint8_t Clamp(double v) { return uint8_t(std::max(0.0, std::min(255.0, v))); }

// A picture from a colour function of (x, y) in 0..1, (b, g, r, a).
template <typename F>
ToolImage Paint(int size, F f) {
  ToolImage img = ImageTool_Solid(size, size, 0, 0, 0, 255);
  for (int y = 0; y < size; y++)
    for (int x = 0; x < size; x++) {
      double c[4];
      f((x + 0.5) / size, (y + 0.5) / size, x, y, c);
      uint8_t* p = img.At(x, y);
      for (int k = 0; k < 4; k++) p[k] = Clamp(c[k]);
    }
  return img;
}

double Noise(int x, int y, int seed) {
  uint32_t h = uint32_t(x) * 73856093u ^ uint32_t(y) * 19349663u ^ uint32_t(seed) * 83492791u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return double(h & 1023) / 1023.0;
}

bool WritePictures() {
  // Every picture has a gradient along v and a corner mark, so a flipped copy shows.
  ToolImage asphalt = Paint(128, [](double, double v, int x, int y, double* c) {
    double n = 62 + 26 * Noise(x, y, 1) + 10 * v;
    c[0] = n + 4;
    c[1] = n;
    c[2] = n - 2;
    c[3] = 255;
    if (x < 8 && y < 8) c[0] = c[1] = c[2] = 200;
  });
  ToolImage stone = Paint(128, [](double u, double v, int x, int y, double* c) {
    bool joint = (x % 64) < 2 || (y % 64) < 2;
    double n = joint ? 110 : 170 + 30 * Noise(x / 4, y / 4, 2) + 20 * v - 10 * u;
    c[0] = n - 6;
    c[1] = n;
    c[2] = n + 4;
    c[3] = 255;
  });
  ToolImage brick = Paint(128, [](double, double v, int x, int y, double* c) {
    int row = y / 16;
    bool joint = (y % 16) < 2 || ((x + (row % 2) * 16) % 32) < 2;
    double n = 30 * Noise(x / 2, y / 2, 3);
    c[0] = joint ? 150 : 50 + n;
    c[1] = joint ? 160 : 60 + n + 30 * v;
    c[2] = joint ? 170 : 150 + n;
    c[3] = 255;
  });
  ToolImage roof = Paint(64, [](double u, double, int x, int y, double* c) {
    double n = 50 + 25 * Noise(x, y, 4) + 20 * u;
    c[0] = n;
    c[1] = n + 8;
    c[2] = n + 25;
    c[3] = 255;
  });
  ToolImage metal = Paint(64, [](double u, double v, int, int, double* c) {
    c[0] = 150 + 60 * v;
    c[1] = 120 + 40 * u;
    c[2] = 90;
    c[3] = 150 + 100 * u;  // the reflection shows where the alpha is low
  });
  ToolImage glass = Paint(64, [](double u, double v, int x, int y, double* c) {
    bool frame = x < 4 || y < 4 || x >= 60 || y >= 60 || (x >= 30 && x < 34);
    c[0] = frame ? 60 : 190 + 50 * v;
    c[1] = frame ? 60 : 150 + 30 * u;
    c[2] = frame ? 70 : 90;
    c[3] = frame ? 255 : 110;
  });
  ToolImage env = Paint(64, [](double, double v, int, int, double* c) {
    c[0] = 230;
    c[1] = 150 + 90 * v;
    c[2] = 90 + 120 * v;
    c[3] = 255;
  });
  ToolImage sky = Paint(64, [](double, double v, int, int, double* c) {
    c[0] = 250 - 60 * v;
    c[1] = 200 - 80 * v;
    c[2] = 150 - 90 * v;
    c[3] = 255;
  });
  ToolImage glow = Paint(64, [](double u, double v, int, int, double* c) {
    double d = std::hypot(u - 0.5, v - 0.5) * 2;
    double g = std::max(0.0, 1 - d);
    c[0] = 120 * g;
    c[1] = 220 * g;
    c[2] = 255 * g;
    c[3] = 255;
  });
  ToolImage crate = Paint(64, [](double u, double v, int x, int y, double* c) {
    bool plank = (y % 16) < 2 || x < 4 || x >= 60 || std::abs(x - y) < 3;
    double n = 20 * Noise(x, y / 8, 5);
    c[0] = plank ? 30 : 50 + n;
    c[1] = plank ? 60 : 100 + n + 20 * v;
    c[2] = plank ? 90 : 150 + n + 10 * u;
    c[3] = 255;
  });
  ToolImage skin = Paint(64, [](double u, double v, int, int, double* c) {
    c[0] = 90 + 40 * v;
    c[1] = 120 + 30 * u;
    c[2] = 170 + 40 * v;
    c[3] = 255;
  });
  // The rooms: oak planks, pale plaster with a dado line, a white ceiling and the lamps' panels.
  ToolImage planks = Paint(128, [](double, double, int x, int y, double* c) {
    bool joint = (x % 32) < 1 || ((y + (x / 32) * 40) % 128) < 1;
    double n = 18 * Noise(x / 3, y, 6) + 10 * std::sin(y * 0.3 + x);
    c[0] = joint ? 40 : 60 + n;
    c[1] = joint ? 60 : 105 + n;
    c[2] = joint ? 80 : 150 + n;
    c[3] = 255;
  });
  ToolImage plaster = Paint(64, [](double, double v, int x, int y, double* c) {
    double n = 12 * Noise(x, y, 7);
    bool dado = v > 0.30 && v < 0.34;
    c[0] = dado ? 70 : 175 + n;
    c[1] = dado ? 90 : 200 + n;
    c[2] = dado ? 120 : 215 + n;
    c[3] = 255;
  });
  ToolImage ceiling = Paint(32, [](double, double, int x, int y, double* c) {
    c[0] = c[1] = c[2] = 215 + 15 * Noise(x, y, 8);
    c[3] = 255;
  });
  ToolImage panel = Paint(16, [](double u, double v, int, int, double* c) {
    double edge = (u < 0.1 || u > 0.9 || v < 0.1 || v > 0.9) ? 0.6 : 1.0;
    c[0] = 200 * edge;
    c[1] = 245 * edge;
    c[2] = 255 * edge;
    c[3] = 255;
  });
  return Save("textures/rooms/floor.tga", ImageTool_WriteTGA(planks, 24)) &&
         Save("textures/rooms/wall.tga", ImageTool_WriteTGA(plaster, 24)) &&
         Save("textures/rooms/ceiling.tga", ImageTool_WriteTGA(ceiling, 24)) &&
         Save("textures/rooms/lamp.tga", ImageTool_WriteTGA(panel, 24)) &&
         Save("textures/street/asphalt.dds", ImageTool_MakeDDS(asphalt, 0x83F0, 0)) &&
         Save("textures/street/brick.dds", ImageTool_MakeDDS(brick, 0x83F0, 0)) &&
         Save("textures/street/stone.tga", ImageTool_WriteTGA(stone, 24)) &&
         Save("textures/street/roof.tga", ImageTool_WriteTGA(roof, 24)) &&
         Save("textures/street/metal.tga", ImageTool_WriteTGA(metal, 32)) &&
         Save("textures/street/glass.tga", ImageTool_WriteTGA(glass, 32)) &&
         Save("textures/street/env.tga", ImageTool_WriteTGA(env, 24)) &&
         Save("textures/sky/street.tga", ImageTool_WriteTGA(sky, 24)) &&
         Save("textures/sky/sun.tga", ImageTool_WriteTGA(glow, 24)) &&
         Save("textures/props/glow.tga", ImageTool_WriteTGA(glow, 24)) &&
         Save("textures/props/crate.dds", ImageTool_MakeDDS(crate, 0x83F0, 0)) &&
         Save("textures/props/metal.tga", ImageTool_WriteTGA(metal, 24)) &&
         Save("textures/npc/jaxtorvin/skin.tga", ImageTool_WriteTGA(skin, 24));
}

// ---- The street ---------------------------------------------------------------------------------

struct Quad {
  vec3 c[4];  // counter-clockwise seen from the front
};

struct LevelObject {
  std::string name;  // distinct after the "_N" trim
  int shader;
  int lightSize;     // lightmap side in texels
  std::vector<Quad> quads;
};

enum Shader { kAsphalt, kStone, kBrick, kRoof, kMetal, kGlass, kShaderCount };

vec3 V(float x, float y, float z) { return vec3{x, y, z}; }

vec3 QuadNormal(const Quad& q) {
  vec3 a, b, n;
  Vec_Subtract(&q.c[1], &q.c[0], &a);
  Vec_Subtract(&q.c[3], &q.c[0], &b);
  Vec_Cross(&a, &b, &n);
  Vec_Normalize(&n);
  return n;
}

// Four sides (facing out) and the top of a box; the bottom is left out.
void AddBox(std::vector<Quad>& q, vec3 a, vec3 b, bool top = true) {
  q.push_back({{V(a.x, a.y, a.z), V(b.x, a.y, a.z), V(b.x, a.y, b.z), V(a.x, a.y, b.z)}});  // -y
  q.push_back({{V(b.x, b.y, a.z), V(a.x, b.y, a.z), V(a.x, b.y, b.z), V(b.x, b.y, b.z)}});  // +y
  q.push_back({{V(a.x, b.y, a.z), V(a.x, a.y, a.z), V(a.x, a.y, b.z), V(a.x, b.y, b.z)}});  // -x
  q.push_back({{V(b.x, a.y, a.z), V(b.x, b.y, a.z), V(b.x, b.y, b.z), V(b.x, a.y, b.z)}});  // +x
  if (top) q.push_back({{V(a.x, a.y, b.z), V(b.x, a.y, b.z), V(b.x, b.y, b.z), V(a.x, b.y, b.z)}});
}

struct House {
  const char* name;
  float x0, x1, y0, y1, height;
};
const House kHouses[4] = {{"house_nw", -1900, -700, 800, 1600, 520},
                          {"house_ne", 300, 1500, 800, 1600, 720},
                          {"house_sw", -1500, -300, -1600, -800, 440},
                          {"house_se", 700, 1900, -1600, -800, 600}};

std::vector<LevelObject> StreetObjects() {
  std::vector<LevelObject> objs;
  objs.push_back({"road", kAsphalt, 256, {}});
  objs.back().quads.push_back({{V(-kHalf, -kRoad, 0), V(kHalf, -kRoad, 0), V(kHalf, kRoad, 0), V(-kHalf, kRoad, 0)}});
  objs.push_back({"walk_north", kStone, 256, {}});
  objs.back().quads.push_back(
      {{V(-kHalf, kRoad, kKerb), V(kHalf, kRoad, kKerb), V(kHalf, kHalf, kKerb), V(-kHalf, kHalf, kKerb)}});
  objs.push_back({"walk_south", kStone, 256, {}});
  objs.back().quads.push_back(
      {{V(-kHalf, -kHalf, kKerb), V(kHalf, -kHalf, kKerb), V(kHalf, -kRoad, kKerb), V(-kHalf, -kRoad, kKerb)}});
  objs.push_back({"kerb", kStone, 64, {}});
  objs.back().quads.push_back({{V(kHalf, -kRoad, 0), V(-kHalf, -kRoad, 0), V(-kHalf, -kRoad, kKerb), V(kHalf, -kRoad, kKerb)}});
  objs.back().quads.push_back({{V(-kHalf, kRoad, 0), V(kHalf, kRoad, 0), V(kHalf, kRoad, kKerb), V(-kHalf, kRoad, kKerb)}});
  for (const House& h : kHouses) {
    objs.push_back({h.name, kBrick, 128, {}});
    AddBox(objs.back().quads, V(h.x0, h.y0, kKerb), V(h.x1, h.y1, h.height), false);
    objs.push_back({std::string(h.name) + "_roof", kRoof, 64, {}});
    objs.back().quads.push_back(
        {{V(h.x0, h.y0, h.height), V(h.x1, h.y0, h.height), V(h.x1, h.y1, h.height), V(h.x0, h.y1, h.height)}});
  }
  // Windows: panes half a unit in front of each house's street side, two rows.
  objs.push_back({"windows", kGlass, 128, {}});
  for (const House& h : kHouses) {
    bool north = h.y0 > 0;
    float y = north ? h.y0 - 0.5f : h.y1 + 0.5f;
    for (float x = h.x0 + 120; x + 140 < h.x1; x += 240)
      for (float z : {200.0f, 360.0f}) {
        float a = north ? x : x + 100, b = north ? x + 100 : x;
        objs.back().quads.push_back({{V(a, y, z), V(b, y, z), V(b, y, z + 110), V(a, y, z + 110)}});
      }
  }
  // The door of house_nw, a metal slab standing out of its street side.
  objs.push_back({"door_1", kMetal, 32, {}});
  AddBox(objs.back().quads, V(-1350, 790, kKerb), V(-1250, 800, 190));
  // Brick walls all round the block, so that no one walks or falls off its edge.
  const float out = kHalf + kEdgeThick;
  objs.push_back({"edge_walls", kBrick, 256, {}});
  AddBox(objs.back().quads, V(-out, kHalf, 0), V(out, out, kEdgeWall));    // north
  AddBox(objs.back().quads, V(-out, -out, 0), V(out, -kHalf, kEdgeWall));  // south
  AddBox(objs.back().quads, V(kHalf, -kHalf, 0), V(out, kHalf, kEdgeWall));  // east
  AddBox(objs.back().quads, V(-out, -kHalf, 0), V(-kHalf, kHalf, kEdgeWall));  // west
  return objs;
}

// Planar diffuse coordinates by the face's main axis.
void DiffuseUv(const vec3& p, const vec3& n, float* uv) {
  float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
  if (az >= ax && az >= ay) {
    uv[0] = p.x / kTexel;
    uv[1] = p.y / kTexel;
  } else if (ax >= ay) {
    uv[0] = p.y / kTexel;
    uv[1] = p.z / kTexel;
  } else {
    uv[0] = p.x / kTexel;
    uv[1] = p.z / kTexel;
  }
}

// The lightmap cell of quad i of an object: corners of its texel range in 0..1.
struct Cell {
  float u0, v0, u1, v1;
};
Cell LightCell(const LevelObject& o, int i) {
  int grid = int(std::ceil(std::sqrt(double(o.quads.size()))));
  int cell = o.lightSize / grid;
  int cx = i % grid, cy = i / grid;
  float s = float(o.lightSize);
  return {(cx * cell + 0.5f) / s, (cy * cell + 0.5f) / s, ((cx + 1) * cell - 0.5f) / s, ((cy + 1) * cell - 0.5f) / s};
}

// A level of quads: per object one set of its shader, the lightmap cells laid out by LightCell.
// Shaders marked `stretched` take their picture once over each quad instead of by position.
MayToolLevel QuadLevel(const std::vector<LevelObject>& objs, const char* folder, const std::vector<MayToolShader>& shaders,
                       const std::vector<bool>& stretched) {
  MayToolLevel l;
  l.folder = folder;
  l.shaders = shaders;
  for (size_t oi = 0; oi < objs.size(); oi++) {
    const LevelObject& o = objs[oi];
    l.objects.push_back({o.name});
    std::vector<MayToolVertex> v;
    std::vector<uint16_t> t;
    for (size_t qi = 0; qi < o.quads.size(); qi++) {
      const Quad& q = o.quads[qi];
      vec3 n = QuadNormal(q);
      Cell c = LightCell(o, int(qi));
      const float lu[4] = {c.u0, c.u1, c.u1, c.u0}, lv[4] = {c.v0, c.v0, c.v1, c.v1};
      uint16_t base = uint16_t(v.size());
      for (int k = 0; k < 4; k++) {
        MayToolVertex x;
        std::memcpy(x.pos, &q.c[k], 12);
        DiffuseUv(q.c[k], n, x.uv[0]);
        if (stretched[size_t(o.shader)]) {
          x.uv[0][0] = (k == 1 || k == 2) ? 1.0f : 0.0f;
          x.uv[0][1] = (k >= 2) ? 1.0f : 0.0f;
        }
        x.uv[1][0] = lu[k];
        x.uv[1][1] = lv[k];
        std::memcpy(x.normal, &n, 12);
        v.push_back(x);
      }
      for (int k : {0, 1, 2, 0, 2, 3}) t.push_back(uint16_t(base + k));
    }
    MayTool_AddTriangles(l, o.shader, int(oi), v, t);
  }
  MayTool_GroupSets(l);
  return l;
}

MayToolLevel StreetLevel(const std::vector<LevelObject>& objs) {
  const char* names[kShaderCount] = {"asphalt", "stone", "brick", "roof", "metal", "glass_ALPHA"};
  const char* textures[kShaderCount] = {"asphalt", "stone", "brick", "roof", "metal", "glass"};
  std::vector<MayToolShader> shaders;
  for (int s = 0; s < kShaderCount; s++) {
    MayToolShader sh;
    sh.name = names[s];
    sh.slots[0].name = textures[s];
    if (s == kMetal) sh.slots[2].name = "env";
    if (s == kGlass) sh.twoSided = 1;
    shaders.push_back(sh);
  }
  std::vector<bool> stretched(kShaderCount, false);
  stretched[kMetal] = stretched[kGlass] = true;
  return QuadLevel(objs, "street\\", shaders, stretched);
}

// Whether the straight way from a point of a face (lifted off it along its normal) to `to` is
// clear of the level.
bool Clear(ModelObject* level, const vec3& p, const vec3& n, const vec3& to) {
  static const std::unique_ptr<ModelDrawParams> params = [] {
    auto made = std::make_unique<ModelDrawParams>();
    made->scale = {1, 1, 1};
    return made;
  }();
  TraceRequest rq{};
  rq.start = {p.x + n.x * 1.5f, p.y + n.y * 1.5f, p.z + n.z * 1.5f};
  rq.end = to;
  rq.fraction = 1.0f;
  rq.factor = 1.0f;
  level->Trace(level, params.get(), &rq);
  return rq.fraction >= 1.0f;
}

// Bakes each object's lightmap "textures\<folder>light\<object>" (the "_N" trim applied):
// `light`(point, normal, shader, rgb) gives the light of a texel, stored halved (the draw
// doubles lightmaps).
template <typename Light>
bool BakeLightmaps(const std::vector<LevelObject>& objs, const std::string& folder, Light light) {
  for (const LevelObject& o : objs) {
    ToolImage img = ImageTool_Solid(o.lightSize, o.lightSize, 90, 90, 90, 255);
    for (size_t qi = 0; qi < o.quads.size(); qi++) {
      const Quad& q = o.quads[qi];
      vec3 n = QuadNormal(q);
      Cell c = LightCell(o, int(qi));
      int x0 = int(std::floor(c.u0 * o.lightSize)), x1 = int(std::ceil(c.u1 * o.lightSize));
      int y0 = int(std::floor(c.v0 * o.lightSize)), y1 = int(std::ceil(c.v1 * o.lightSize));
      for (int y = y0; y < y1; y++)
        for (int x = x0; x < x1; x++) {
          float s = std::clamp(((x + 0.5f) / o.lightSize - c.u0) / (c.u1 - c.u0), 0.0f, 1.0f);
          float t = std::clamp(((y + 0.5f) / o.lightSize - c.v0) / (c.v1 - c.v0), 0.0f, 1.0f);
          vec3 p;
          for (int k = 0; k < 3; k++) {
            float a = (&q.c[0].x)[k] + s * ((&q.c[1].x)[k] - (&q.c[0].x)[k]);
            float b = (&q.c[3].x)[k] + s * ((&q.c[2].x)[k] - (&q.c[3].x)[k]);
            (&p.x)[k] = a + t * (b - a);
          }
          double rgb[3];
          light(p, n, o.shader, rgb);
          uint8_t* px = img.At(x, y);
          for (int k = 0; k < 3; k++) px[2 - k] = Clamp(255 * rgb[k] / 2);
        }
    }
    char trimmed[257];
    std::snprintf(trimmed, sizeof trimmed, "%s", o.name.c_str());
    Model_TrimObjectName(trimmed);
    if (!Save("textures/" + folder + "light/" + trimmed + ".tga", ImageTool_WriteTGA(img, 24))) return false;
  }
  return true;
}

// Writes "maps/<name>/<name>" (".may", ".hmp"); the engine's own loader then builds the tree and
// writes its cache beside the level, and the lightmaps are baked against that tree.
template <typename Light>
bool WriteLitLevel(const std::string& name, const std::vector<LevelObject>& objs, const MayToolLevel& level,
                   Light light) {
  const std::string path = "maps/" + name + "/" + name;
  if (!Save(path + ".may", MayTool_Write(level)) || !SaveText(path + ".hmp", MayTool_HmpText(256, 16))) return false;
  char previous[4096];
  if (!getcwd(previous, sizeof previous) || chdir(g_stage.c_str()) != 0) return false;
  ModelObject* m = mayb_CreateModel(("maps\\" + name + "\\" + name).c_str());
  std::string folder = level.folder;
  std::replace(folder.begin(), folder.end(), '\\', '/');
  bool ok = m && static_cast<MaylLevel*>(m->data)->tree &&
            BakeLightmaps(objs, folder, [&](const vec3& p, const vec3& n, int shader, double* rgb) {
              light(m, p, n, shader, rgb);
            });
  if (m) m->Free(&m);
  std::remove("log");
  if (chdir(previous) != 0) return false;
  if (!ok) std::fprintf(stderr, "make_sample: the level %s does not load\n", name.c_str());
  return ok && fs::exists(fs::path(g_stage) / (path + ".hmp_cache"));
}

// Ambient plus sun, shadowed where a ray to the sun meets the level's own tree.
bool WriteStreet() {
  std::vector<LevelObject> objs = StreetObjects();
  const vec3 sun = kSampleStreet.sunDirection;
  return WriteLitLevel("street", objs, StreetLevel(objs),
                       [&](ModelObject* level, const vec3& p, const vec3& n, int shader, double* rgb) {
                         double facing = std::max(0.0, Vec_Dot(&n, &sun)), light = 0;
                         if (shader == kGlass) light = 0.5;  // panes take a flat daylight
                         else if (facing > 0 && Clear(level, p, n, vec3{p.x + sun.x * 6000, p.y + sun.y * 6000,
                                                                         p.z + sun.z * 6000}))
                           light = kSun * facing;
                         rgb[0] = kAmbient * 0.90 + light * 1.00;
                         rgb[1] = kAmbient * 1.00 + light * 0.95;
                         rgb[2] = kAmbient * 1.15 + light * 0.80;
                       });
}

// ---- The rooms ------------------------------------------------------------------------------------

enum RoomShader { kRoomFloor, kRoomWall, kRoomCeiling, kRoomLamp, kRoomShaderCount };

// A wall in the plane x = `x` over [y0, y1] x [z0, z1], its front towards +x or -x.
Quad XWall(float x, float y0, float y1, float z0, float z1, bool towardsPlusX) {
  if (towardsPlusX) return {{V(x, y0, z0), V(x, y1, z0), V(x, y1, z1), V(x, y0, z1)}};
  return {{V(x, y1, z0), V(x, y0, z0), V(x, y0, z1), V(x, y1, z1)}};
}
// A wall in the plane y = `y`, its front towards +y or -y.
Quad YWall(float y, float x0, float x1, float z0, float z1, bool towardsPlusY) {
  if (towardsPlusY) return {{V(x1, y, z0), V(x0, y, z0), V(x0, y, z1), V(x1, y, z1)}};
  return {{V(x0, y, z0), V(x1, y, z0), V(x1, y, z1), V(x0, y, z1)}};
}
// A horizontal quad at height z, its front up or down.
Quad Flat(float x0, float y0, float x1, float y1, float z, bool up) {
  if (up) return {{V(x0, y0, z), V(x1, y0, z), V(x1, y1, z), V(x0, y1, z)}};
  return {{V(x0, y0, z), V(x0, y1, z), V(x1, y1, z), V(x1, y0, z)}};
}

// The two rooms of the lit-room sample as a lightmapped level: x -256..0 ("_a") and 0..256
// ("_b"), y -128..128, 128 high, joined by a doorway at x = 0 (y -32..32, 96 high) where the DU
// level has its portal; a ceiling lamp in each room and a block in the second.
std::vector<LevelObject> RoomObjects() {
  std::vector<LevelObject> objs;
  const float kSide = 256, kHalfWidth = 128, kHeight = 128, kDoorHalf = 32, kDoorTop = 96;
  for (int room = 0; room < 2; room++) {
    const std::string tag = room == 0 ? "_a" : "_b";
    const float x0 = room == 0 ? -kSide : 0, x1 = room == 0 ? 0 : kSide;
    objs.push_back({"floor" + tag, kRoomFloor, 128, {Flat(x0, -kHalfWidth, x1, kHalfWidth, 0, true)}});
    objs.push_back({"ceiling" + tag, kRoomCeiling, 64, {Flat(x0, -kHalfWidth, x1, kHalfWidth, kHeight, false)}});
    LevelObject walls{"walls" + tag, kRoomWall, 256, {}};
    walls.quads.push_back(YWall(-kHalfWidth, x0, x1, 0, kHeight, true));
    walls.quads.push_back(YWall(kHalfWidth, x0, x1, 0, kHeight, false));
    const float outer = room == 0 ? x0 : x1;
    walls.quads.push_back(XWall(outer, -kHalfWidth, kHalfWidth, 0, kHeight, room == 0));
    // The wall at x = 0 around the doorway, facing into this room.
    walls.quads.push_back(XWall(0, -kHalfWidth, -kDoorHalf, 0, kHeight, room == 1));
    walls.quads.push_back(XWall(0, kDoorHalf, kHalfWidth, 0, kHeight, room == 1));
    walls.quads.push_back(XWall(0, -kDoorHalf, kDoorHalf, kDoorTop, kHeight, room == 1));
    objs.push_back(walls);
  }
  LevelObject block{"block", kRoomWall, 64, {}};
  AddBox(block.quads, V(120, -90, 0), V(170, -40, 50));
  objs.push_back(block);
  objs.push_back({"lamps", kRoomLamp, 16, {Flat(-144, -16, -112, 16, 126, false), Flat(112, -16, 144, 16, 126, false)}});
  return objs;
}

const vec3 kRoomLamps[2] = {{-128, 0, 118}, {128, 0, 118}};
const double kRoomLampColours[2][3] = {{1.0, 0.85, 0.6}, {0.6, 0.78, 1.0}};

// A warm lamp in the first room and a cool one in the second, each shadowed by the level's own
// tree and fading out over 420 units, over a dim ambient; the lamps' panels glow.
bool WriteRooms() {
  std::vector<MayToolShader> shaders(kRoomShaderCount);
  const char* names[kRoomShaderCount] = {"floor", "wall", "ceiling", "lamp"};
  for (int i = 0; i < kRoomShaderCount; i++) shaders[size_t(i)].name = shaders[size_t(i)].slots[0].name = names[i];
  std::vector<LevelObject> objs = RoomObjects();
  return WriteLitLevel("rooms", objs, QuadLevel(objs, "rooms\\", shaders, {false, false, false, true}),
                       [](ModelObject* level, const vec3& p, const vec3& n, int shader, double* rgb) {
                         // The ceiling takes the light the floor and walls throw back.
                         const double ambient = shader == kRoomLamp ? 1.0 : shader == kRoomCeiling ? 0.4 : 0.16;
                         for (int k = 0; k < 3; k++) rgb[k] = ambient;
                         if (shader == kRoomLamp) return;
                         for (int i = 0; i < 2; i++) {
                           vec3 d;
                           Vec_Subtract(&kRoomLamps[i], &p, &d);
                           const double distance = Vec_Length(&d);
                           const double fade = 1.0 - distance / 420.0;
                           if (fade <= 0 || distance <= 0) continue;
                           const double facing = Vec_Dot(&n, &d) / distance;
                           if (facing <= 0 || !Clear(level, p, n, kRoomLamps[i])) continue;
                           for (int k = 0; k < 3; k++) rgb[k] += 1.3 * kRoomLampColours[i][k] * facing * fade;
                         }
                       });
}

bool WriteCube() {
  MayToolLevel l;
  MayToolShader sh;
  sh.name = "default";
  l.shaders.push_back(sh);
  l.objects.push_back({"cube"});
  MayTool_Box(l, 0, 0, {-16, -16, 0}, {16, 16, 64});
  MayTool_GroupSets(l);
  return Save("maps/cube.may", MayTool_Write(l));
}

// ---- Models -----------------------------------------------------------------------------------------

std::vector<MpToolVertex> BoxVertices(vec3 a, vec3 b, std::vector<uint16_t>& tris) {
  std::vector<MpToolVertex> v;
  MpTool_Box(a, b, v, tris);
  return v;
}

MpToolModel RigidModel(const char* name) {
  MpToolModel m;
  m.name = name;
  m.frames.push_back(MpToolFrame{"root", {}, {0, 0, 0}});
  return m;
}

bool WriteProps() {
  MpToolModel crate = RigidModel("crate");
  crate.shaders.resize(1);
  crate.shaders[0].name = "crate";
  crate.shaders[0].slots[0].name = "props\\crate";
  crate.objects.resize(1);
  std::vector<uint16_t> t;
  auto v = BoxVertices({-16, -16, 0}, {16, 16, 32}, t);
  MpTool_AddPie(crate.objects[0], 1, 0, v, t);

  MpToolModel lamp = RigidModel("lamp");
  lamp.shaders.resize(2);
  lamp.shaders[0].name = "lamp";
  lamp.shaders[0].slots[0].name = "props\\metal";
  lamp.shaders[1].name = "lamp_glow_ADD";
  lamp.shaders[1].twoSided = 1;
  lamp.shaders[1].slots[0].name = "props\\glow";
  lamp.objects.resize(2);
  t.clear();
  v = BoxVertices({-3, -3, 0}, {3, 3, 160}, t);
  MpTool_AddPie(lamp.objects[0], 1, 0, v, t);
  lamp.objects[1].shader = 1;
  std::vector<MpToolVertex> glow(4);
  const float c[4][2] = {{-24, 136}, {24, 136}, {24, 184}, {-24, 184}};
  for (int i = 0; i < 4; i++) {
    glow[i].pos = {c[i][0], 0, c[i][1]};
    glow[i].normal = {0, -1, 0};
    glow[i].u = i == 1 || i == 2 ? 1.0f : 0.0f;
    glow[i].v = i >= 2 ? 1.0f : 0.0f;
  }
  MpTool_AddPie(lamp.objects[1], 1, 0, glow, {0, 1, 2, 0, 2, 3});

  // The sky dome: a sphere of radius 4000 seen from inside. Its lower half keeps the horizon's
  // colour, so that from high up (the lift's top) the sky meets the street's edge below the horizon.
  MpToolModel dome = RigidModel("sky");
  dome.shaders.resize(1);
  dome.shaders[0].name = "sky";
  dome.shaders[0].twoSided = 1;
  dome.shaders[0].slots[0].name = "sky\\street";
  dome.objects.resize(1);
  std::vector<MpToolVertex> dv;
  std::vector<uint16_t> dt;
  const int rings = 6, segments = 16;
  for (int r = -rings; r <= rings; r++)
    for (int s = 0; s <= segments; s++) {
      double el = (kMathPi / 2) * r / rings, az = 2 * kMathPi * s / segments;
      MpToolVertex x;
      x.pos = {float(4000 * std::cos(el) * std::cos(az)), float(4000 * std::cos(el) * std::sin(az)),
               float(4000 * std::sin(el) - 200)};
      x.normal = {float(-std::cos(el) * std::cos(az)), float(-std::cos(el) * std::sin(az)), float(-std::sin(el))};
      x.u = float(s) / segments;
      x.v = float(std::max(r, 0)) / rings;
      dv.push_back(x);
    }
  for (int r = 0; r < 2 * rings; r++)
    for (int s = 0; s < segments; s++) {
      uint16_t a = uint16_t(r * (segments + 1) + s), b = uint16_t(a + 1), c2 = uint16_t(a + segments + 1),
               d = uint16_t(c2 + 1);
      for (uint16_t i : {a, c2, b, b, c2, d}) dt.push_back(i);
    }
  MpTool_AddPie(dome.objects[0], 1, 0, dv, dt);

  MpToolModel suns = RigidModel("suns");
  suns.shaders.resize(1);
  suns.shaders[0].name = "sun_ADD";
  suns.shaders[0].twoSided = 1;
  suns.shaders[0].slots[0].name = "sky\\sun";
  suns.objects.resize(1);
  std::vector<MpToolVertex> sv(4);
  for (int i = 0; i < 4; i++) {
    float x = (i == 1 || i == 2) ? 300.0f : -300.0f, y = i >= 2 ? 300.0f : -300.0f;
    sv[i].pos = {x, y, 3500};
    sv[i].normal = {0, 0, -1};
    sv[i].u = x > 0 ? 1.0f : 0.0f;
    sv[i].v = y > 0 ? 1.0f : 0.0f;
  }
  MpTool_AddPie(suns.objects[0], 1, 0, sv, {0, 1, 2, 0, 2, 3});
  return Save("anim/props/crate.mp", MpTool_Write(crate)) && Save("anim/props/lamp.mp", MpTool_Write(lamp)) &&
         Save("maps/sky/street.mp", MpTool_Write(dome)) && Save("maps/sky/suns.mp", MpTool_Write(suns));
}

// The hero's skeleton: bind pose without rotations, so model-space bone positions are sums.
struct HeroBone {
  const char* name;
  const char* parent;
  vec3 offset;                  // from the parent
  vec3 boxMin, boxMax;          // its part of the body, model space (empty box: none)
};
const HeroBone kHero[] = {
    {"Bip01", "", {0, 0, 34}, {}, {}},
    {"Bip01 Pelvis", "Bip01", {0, 0, 0}, {-5, -3, 29}, {5, 3, 37}},
    {"Bip01 Spine", "Bip01 Pelvis", {0, 0, 4}, {-5.5f, -3.2f, 37}, {5.5f, 3.2f, 45}},
    {"Bip01 Spine1", "Bip01 Spine", {0, 0, 8}, {-6, -3.5f, 45}, {6, 3.5f, 54}},
    {"Bip01 Neck", "Bip01 Spine1", {0, 0, 8}, {-1.5f, -1.5f, 54}, {1.5f, 1.5f, 57}},
    {"Bip01 Head", "Bip01 Neck", {0, 0, 3}, {-3.5f, -4, 57}, {3.5f, 3.5f, 64}},
    {"Bip01 EyeL", "Bip01 Head", {-1.5f, 3.5f, 3}, {-2.3f, 3.5f, 59.5f}, {-0.7f, 4.2f, 60.8f}},
    {"Bip01 EyeR", "Bip01 Head", {1.5f, 3.5f, 3}, {0.7f, 3.5f, 59.5f}, {2.3f, 4.2f, 60.8f}},
    {"Bip01 L Clavicle", "Bip01 Neck", {-3, 0, -1}, {}, {}},
    {"Bip01 L UpperArm", "Bip01 L Clavicle", {-5, 0, 0}, {-9.8f, -1.8f, 42}, {-6.2f, 1.8f, 53}},
    {"Bip01 L Forearm", "Bip01 L UpperArm", {0, 0, -11}, {-9.6f, -1.6f, 32}, {-6.4f, 1.6f, 42}},
    {"Bip01 L Hand", "Bip01 L Forearm", {0, 0, -10}, {-9.4f, -1.4f, 28}, {-6.6f, 1.4f, 32}},
    {"Bip01 R Clavicle", "Bip01 Neck", {3, 0, -1}, {}, {}},
    {"Bip01 R UpperArm", "Bip01 R Clavicle", {5, 0, 0}, {6.2f, -1.8f, 42}, {9.8f, 1.8f, 53}},
    {"Bip01 R Forearm", "Bip01 R UpperArm", {0, 0, -11}, {6.4f, -1.6f, 32}, {9.6f, 1.6f, 42}},
    {"Bip01 R Hand", "Bip01 R Forearm", {0, 0, -10}, {6.6f, -1.4f, 28}, {9.4f, 1.4f, 32}},
    {"Bip01 L Thigh", "Bip01 Pelvis", {-3, 0, -2}, {-5.5f, -2.5f, 17}, {-0.5f, 2.5f, 32}},
    {"Bip01 L Calf", "Bip01 L Thigh", {0, 0, -15}, {-5, -2.2f, 3}, {-1, 2.2f, 17}},
    {"Bip01 L Foot", "Bip01 L Calf", {0, 0, -14}, {-5, -2, 0}, {-1, 6, 3}},
    {"Bip01 R Thigh", "Bip01 Pelvis", {3, 0, -2}, {0.5f, -2.5f, 17}, {5.5f, 2.5f, 32}},
    {"Bip01 R Calf", "Bip01 R Thigh", {0, 0, -15}, {1, -2.2f, 3}, {5, 2.2f, 17}},
    {"Bip01 R Foot", "Bip01 R Calf", {0, 0, -14}, {1, -2, 0}, {5, 6, 3}},
};
constexpr int kHeroBones = int(sizeof kHero / sizeof kHero[0]);

int HeroIndex(const char* name) {
  for (int i = 0; i < kHeroBones; i++)
    if (std::strcmp(kHero[i].name, name) == 0) return i;
  return -1;
}

vec3 HeroBonePosition(int i) {
  vec3 p{0, 0, 0};
  for (int b = i; b >= 0; b = HeroIndex(kHero[b].parent)) Vec_Add(&p, &kHero[b].offset, &p);
  return p;
}

// Quaternion of a turn by `a` radians about x.
void TurnX(float a, float* q) {
  q[0] = std::sin(a / 2);
  q[1] = 0;
  q[2] = 0;
  q[3] = std::cos(a / 2);
}

SceneToolAnim HeroAnimation(int frames, float (*turn)(int bone, double phase)) {
  SceneToolAnim a;
  a.boneCount = kHeroBones;
  a.lastFrame = frames - 1;
  for (int f = 0; f < frames; f++) {
    // Walking in place: the root track stays where the bind pose has it.
    a.positions.insert(a.positions.end(), {kHero[0].offset.x, kHero[0].offset.y, kHero[0].offset.z});
  }
  for (int b = 0; b < kHeroBones; b++)
    for (int f = 0; f < frames; f++) {
      float q[4];
      TurnX(turn(b, double(f) / frames), q);
      a.rotations.insert(a.rotations.end(), q, q + 4);
    }
  return a;
}

float IdleTurn(int bone, double phase) {
  return bone == HeroIndex("Bip01 Spine1") ? 0.04f * float(std::sin(2 * kMathPi * phase)) : 0.0f;
}

float WalkTurn(int bone, double phase) {
  double s = std::sin(2 * kMathPi * phase);
  std::string n = kHero[bone].name;
  if (n == "Bip01 L Thigh") return float(0.5 * s);
  if (n == "Bip01 R Thigh") return float(-0.5 * s);
  if (n == "Bip01 L Calf") return float(-0.4 * std::max(0.0, -s));
  if (n == "Bip01 R Calf") return float(-0.4 * std::max(0.0, s));
  if (n == "Bip01 L UpperArm") return float(-0.4 * s);
  if (n == "Bip01 R UpperArm") return float(0.4 * s);
  return 0.0f;
}

bool WriteHero() {
  std::vector<SceneToolBone> bones;
  for (const HeroBone& b : kHero) {
    SceneToolBone s;
    s.name = b.name;
    s.parent = b.parent;
    s.position[0] = b.offset.x;
    s.position[1] = b.offset.y;
    s.position[2] = b.offset.z;
    bones.push_back(s);
  }
  MpToolModel body;
  body.name = "body";
  body.shaders.resize(1);
  body.shaders[0].name = "skin";
  body.shaders[0].slots[0].name = "npc\\jaxtorvin\\skin";
  mat3 identity;
  Mat_Identity(&identity);
  body.objects.resize(1);
  for (int i = 0; i < kHeroBones; i++) {
    body.frames.push_back(MpTool_BindFrame(kHero[i].name, identity, HeroBonePosition(i)));
    const HeroBone& b = kHero[i];
    if (b.boxMax.z <= b.boxMin.z) continue;
    std::vector<uint16_t> t;
    auto v = BoxVertices(b.boxMin, b.boxMax, t);
    for (auto& x : v) x.influences = {MpToolInfluence{i, 1.0f}};
    MpTool_AddPie(body.objects[0], 2, 0, v, t);
  }
  return Save("npc/jaxtorvin/body.mp", MpTool_Write(body)) &&
         SaveText("anim/jaxtorvin/jaxtorvin_stand.sk", SceneTool_SkBytes(bones)) &&
         SaveText("anim/jaxtorvin/jaxtorvin_idle.am", SceneTool_AmBytes(HeroAnimation(8, IdleTurn))) &&
         SaveText("anim/jaxtorvin/jaxtorvin_walk.am", SceneTool_AmBytes(HeroAnimation(16, WalkTurn)));
}

bool WriteSurfaceList() {
  if (fs::exists(fs::path(g_stage) / "scripts/surfaces/list")) return true;
  std::vector<SceneToolSurface> list = {{"default", "", "", "", 0, 0, 0},      {"asphalt", "", "", "", 0.2f, 0, 0},
                                        {"stone", "", "", "", 0.3f, 0, 0},     {"brick", "", "", "", 0.3f, 0, 0},
                                        {"roof", "", "", "", 0.2f, 0, 0},      {"metal", "", "", "", 0.8f, 0, 0},
                                        {"glass_ALPHA", "", "", "", 0, 0, 1}};
  return SaveText("scripts/surfaces/list", SceneTool_SurfaceList(list));
}

}  // namespace

bool SampleAssets_Write(const std::string& stage) {
  g_stage = fs::absolute(stage).string();
  return WriteSurfaceList() && WritePictures() && WriteStreet() && WriteRooms() && WriteCube() && WriteProps() &&
         WriteHero();
}
