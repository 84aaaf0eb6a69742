#include "tools/model_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "foundation/bytereader.h"

namespace {

struct Out : ByteWriter {
  void U16(uint16_t v) {
    const char b[2] = {char(v), char(v >> 8)};
    bytes.append(b, 2);
  }
  void Byte(uint8_t v) { bytes.push_back(char(v)); }
  void Zero(size_t n) { Zeros(n); }
  // A text field of n bytes, cut to fit when longer (tests that want an unended name write n
  // characters exactly).
  void Name(const std::string& s, size_t n) { Text(s.c_str(), n); }
  void Vec(const vec3& v) {
    F32(v.x);
    F32(v.y);
    F32(v.z);
  }
  void Mat(const mat3& m) {
    for (auto& row : m.m)
      for (float f : row) F32(f);
  }
  std::vector<uint8_t> Done() const { return std::vector<uint8_t>(bytes.begin(), bytes.end()); }
};

int Count(int forced, size_t size) { return forced != -1 ? forced : int(size); }

void Influences(Out& o, const MpToolVertex& v) {
  o.I32(Count(v.influenceCount, v.influences.size()));
  for (size_t i = 0; i < 8; i++) {
    if (i < v.influences.size()) {
      o.I32(v.influences[i].frame);
      o.F32(v.influences[i].weight);
    } else {
      o.Zero(8);
    }
  }
}

}  // namespace

std::vector<uint8_t> MpTool_Write(const MpToolModel& m) {
  Out o;
  o.U32(0x18181818u);
  o.I32(m.version);
  o.Name(m.name, 64);
  o.I32(Count(m.shaderCount, m.shaders.size()));
  o.U32(0);
  o.I32(Count(m.frameCount, m.frames.size()));
  o.U32(0);
  o.I32(Count(m.objectCount, m.objects.size()));
  o.U32(0);
  for (const MpToolShader& s : m.shaders) {
    o.Name(s.name, 56);
    o.I32(s.twoSided);
    o.I32(0);
    for (const MpToolSlot& slot : s.slots) {
      o.Name(slot.name, 48);
      o.U32(0);
      o.I32(slot.clampU);
      o.I32(slot.clampV);
      o.I32(0);
    }
    o.Zero(192);
  }
  for (const MpToolFrame& f : m.frames) {
    o.Name(f.bone, 64);
    o.I32(-2);
    o.Zero(36 + 12);
    o.Mat(f.rot);
    o.Vec(f.pos);
  }
  for (const MpToolObject& ob : m.objects) {
    o.Zero(32);
    o.I32(ob.shader);
    o.I32(ob.kind);
    o.I32(Count(ob.pieCount, ob.pies.size()));
    o.U32(0);
    o.I32(Count(ob.vertexCount, ob.vertices.size()));
    o.Zero(8);
    o.I32(Count(ob.indexCount, ob.indices.size()));
    o.U32(0);
    o.I32(Count(ob.stripCount, ob.strips.size()));
    o.Zero(12);
  }
  for (const MpToolObject& ob : m.objects) {
    for (const MpToolVertex& v : ob.vertices) {
      // A morph vertex adds its shape count before and up to 15 more shapes after the first.
      if (ob.kind != 0) o.I32(Count(v.shapeCount, v.shapes.size() + 1));
      o.Vec(v.pos);
      o.Vec(v.normal);
      for (size_t s = 0; ob.kind != 0 && s < 15; s++) {
        if (s < v.shapes.size()) {
          o.Vec(v.shapes[s].pos);
          o.Vec(v.shapes[s].normal);
        } else {
          o.Zero(24);
        }
      }
      Influences(o, v);
      o.F32(v.u);
      o.F32(v.v);
      o.Zero(28);
    }
    for (const MpToolPie& p : ob.pies) {
      o.I32(p.kind);
      o.I32(p.frame);
      o.I32(0);
      o.I32(p.morphs);
      o.Zero(8);
      o.I32(p.firstVertex);
      o.I32(p.vertexCount);
      o.I32(p.firstIndex);
      o.I32(p.indexCount);
      o.I32(p.firstStrip);
      o.I32(p.stripCount);
      o.Zero(40);
    }
    for (uint16_t i : ob.indices) o.U16(i);
    for (uint16_t i : ob.strips) o.U16(i);
  }
  return o.Done();
}

MpToolFrame MpTool_BindFrame(const std::string& bone, const mat3& rot, const vec3& pos) {
  MpToolFrame f;
  f.bone = bone;
  Mat_InvertTransform(&rot, &pos, &f.rot, &f.pos);
  return f;
}

void MpTool_AddPie(MpToolObject& ob, int kind, int frame, const std::vector<MpToolVertex>& vertices,
                   const std::vector<uint16_t>& triangles) {
  MpToolPie p;
  p.kind = kind;
  p.frame = frame;
  p.firstVertex = int(ob.vertices.size());
  p.vertexCount = int(vertices.size());
  p.firstIndex = int(ob.indices.size());
  p.indexCount = int(triangles.size());
  for (uint16_t t : triangles) ob.indices.push_back(uint16_t(t + p.firstVertex));
  ob.vertices.insert(ob.vertices.end(), vertices.begin(), vertices.end());
  ob.pies.push_back(p);
}

void MpTool_Box(const vec3& a, const vec3& b, std::vector<MpToolVertex>& vertices, std::vector<uint16_t>& triangles) {
  // Each face: normal axis, sign, and its four corners counter-clockwise from outside.
  struct Face {
    vec3 n;
    vec3 c[4];
  };
  const Face faces[6] = {
      {{1, 0, 0}, {{b.x, a.y, a.z}, {b.x, b.y, a.z}, {b.x, b.y, b.z}, {b.x, a.y, b.z}}},
      {{-1, 0, 0}, {{a.x, b.y, a.z}, {a.x, a.y, a.z}, {a.x, a.y, b.z}, {a.x, b.y, b.z}}},
      {{0, 1, 0}, {{b.x, b.y, a.z}, {a.x, b.y, a.z}, {a.x, b.y, b.z}, {b.x, b.y, b.z}}},
      {{0, -1, 0}, {{a.x, a.y, a.z}, {b.x, a.y, a.z}, {b.x, a.y, b.z}, {a.x, a.y, b.z}}},
      {{0, 0, 1}, {{a.x, a.y, b.z}, {b.x, a.y, b.z}, {b.x, b.y, b.z}, {a.x, b.y, b.z}}},
      {{0, 0, -1}, {{a.x, b.y, a.z}, {b.x, b.y, a.z}, {b.x, a.y, a.z}, {a.x, a.y, a.z}}},
  };
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (const Face& f : faces) {
    uint16_t base = uint16_t(vertices.size());
    for (int k = 0; k < 4; k++) {
      MpToolVertex v;
      v.pos = f.c[k];
      v.normal = f.n;
      v.u = uv[k][0];
      v.v = uv[k][1];
      vertices.push_back(v);
    }
    for (int k : {0, 1, 2, 0, 2, 3}) triangles.push_back(uint16_t(base + k));
  }
}

std::vector<uint8_t> MayTool_Write(const MayToolLevel& l) {
  Out o;
  o.U32(0x18181818u);
  o.I32(l.version);
  o.Zero(32);
  o.Name(l.folder, 32);
  o.I32(Count(l.shaderCount, l.shaders.size()));
  o.U32(0);
  o.I32(Count(l.surfaceCount, l.surfaces.size()));
  o.U32(0);
  o.I32(Count(l.keyCount, l.keys.size()));
  o.U32(0);
  o.I32(Count(l.objectCount, l.objects.size()));
  o.U32(0);
  o.I32(Count(l.setCount, l.sets.size()));
  o.U32(0);
  o.Name(l.spotShader, 224);
  o.I32(0);
  o.Zero(24 + 4);
  o.Name(l.spotTexture, 60);
  o.I32(0);
  o.Zero(8);
  o.I32(l.spotFirstKey);
  o.I32(l.spotKeyCount);
  o.F32(l.spotStart);
  o.F32(l.spotEnd);
  for (const MayToolShader& s : l.shaders) {
    o.Name(s.name, 56);
    o.I32(s.layerCount);
    o.I32(0);
    for (const MayToolSlot& slot : s.slots) {
      o.Name(slot.name, 40);
      o.F32(slot.stretchU);
      o.F32(slot.stretchV);
      o.F32(slot.opacity);
      o.I32(slot.combine);
      o.Zero(8);
    }
    o.I32(s.twoSided);
    o.I32(0);
    o.I32(s.firstSet);
    o.I32(s.setCount);
  }
  for (const MayToolSurface& s : l.surfaces) {
    o.I32(Count(s.vertexCount, s.vertices.size()));
    o.U32(0);
    o.I32(Count(s.indexCount, s.indices.size()));
    o.Zero(4 + 16);
  }
  for (const MayToolSurface& s : l.surfaces) {
    for (const MayToolVertex& v : s.vertices) {
      for (float f : v.pos) o.F32(f);
      for (uint8_t c : v.color) o.Byte(c);
      for (auto& uv : v.uv) {
        o.F32(uv[0]);
        o.F32(uv[1]);
      }
      for (float f : v.normal) o.F32(f);
    }
    for (uint16_t i : s.indices) o.U16(i);
  }
  for (const MayToolKey& k : l.keys) {
    for (float f : k.rot) o.F32(f);
    for (float f : k.t) o.F32(f);
    o.Zero(24 + 24);
  }
  for (const MayToolObject& ob : l.objects) {
    o.Name(ob.name, 256);
    o.Zero(32 + 4);
    o.I32(ob.firstKey);
    o.I32(ob.keyCount);
    o.F32(ob.start);
    o.F32(ob.end);
    o.Zero(24 + 16);
  }
  for (const MayToolSet& s : l.sets) {
    o.I32(s.shader);
    o.I32(s.object);
    o.I32(0);
    o.I32(s.moving);
    for (float f : s.bounds) o.F32(f);
    o.Zero(16);
    o.I32(s.surface);
    o.I32(s.firstIndex);
    o.I32(s.indexCount);
  }
  return o.Done();
}

int MayTool_AddTriangles(MayToolLevel& l, int shader, int object, const std::vector<MayToolVertex>& vertices,
                         const std::vector<uint16_t>& triangles, int moving) {
  if (l.surfaces.empty() || l.surfaces.back().vertices.size() + vertices.size() > 65536) l.surfaces.emplace_back();
  MayToolSurface& s = l.surfaces.back();
  MayToolSet set;
  set.shader = shader;
  set.object = object;
  set.moving = moving;
  set.surface = int(l.surfaces.size()) - 1;
  set.firstIndex = int(s.indices.size());
  set.indexCount = int(triangles.size());
  uint16_t base = uint16_t(s.vertices.size());
  for (int k = 0; k < 3; k++) {
    set.bounds[k] = 1e30f;
    set.bounds[3 + k] = -1e30f;
  }
  for (uint16_t t : triangles) {
    s.indices.push_back(uint16_t(base + t));
    for (int k = 0; k < 3; k++) {
      set.bounds[k] = std::min(set.bounds[k], vertices[t].pos[k]);
      set.bounds[3 + k] = std::max(set.bounds[3 + k], vertices[t].pos[k]);
    }
  }
  s.vertices.insert(s.vertices.end(), vertices.begin(), vertices.end());
  l.sets.push_back(set);
  return int(l.sets.size()) - 1;
}

void MayTool_GroupSets(MayToolLevel& l) {
  std::stable_sort(l.sets.begin(), l.sets.end(), [](const MayToolSet& a, const MayToolSet& b) { return a.shader < b.shader; });
  for (size_t i = 0; i < l.shaders.size(); i++) {
    l.shaders[i].firstSet = 0;
    l.shaders[i].setCount = 0;
  }
  for (size_t i = 0; i < l.sets.size(); i++) {
    int s = l.sets[i].shader;
    if (s < 0 || size_t(s) >= l.shaders.size()) continue;
    if (l.shaders[size_t(s)].setCount == 0) l.shaders[size_t(s)].firstSet = int(i);
    l.shaders[size_t(s)].setCount++;
  }
}

void MayTool_Quad(const vec3& a, const vec3& b, const vec3& c, const vec3& d, float repeatU, float repeatV,
                  std::vector<MayToolVertex>& vertices, std::vector<uint16_t>& triangles) {
  vec3 e1, e2, n;
  Vec_Subtract(&b, &a, &e1);
  Vec_Subtract(&d, &a, &e2);
  Vec_Cross(&e1, &e2, &n);
  Vec_Normalize(&n);
  const vec3* corners[4] = {&a, &b, &c, &d};
  const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  uint16_t base = uint16_t(vertices.size());
  for (int k = 0; k < 4; k++) {
    MayToolVertex v;
    v.pos[0] = corners[k]->x;
    v.pos[1] = corners[k]->y;
    v.pos[2] = corners[k]->z;
    v.uv[0][0] = uv[k][0] * repeatU;
    v.uv[0][1] = uv[k][1] * repeatV;
    v.uv[1][0] = uv[k][0];
    v.uv[1][1] = uv[k][1];
    v.normal[0] = n.x;
    v.normal[1] = n.y;
    v.normal[2] = n.z;
    vertices.push_back(v);
  }
  for (int k : {0, 1, 2, 0, 2, 3}) triangles.push_back(uint16_t(base + k));
}

std::string MayTool_HmpText(float maxBox, int maxTris) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%f %i\n", double(maxBox), maxTris);
  return buf;
}

static MpToolVertex Vertex(float x, float y, float z, std::vector<MpToolInfluence> inf = {}) {
  MpToolVertex v;
  v.pos = {x, y, z};
  v.influences = std::move(inf);
  v.u = x;
  v.v = y;
  return v;
}

// Rigid box on frame 0, a weighted strip over two frames (1 to 3 influences), a morph quad with
// three shapes, and shaders with suffixes and a reflection.
MpToolModel MpTool_SampleModel() {
  MpToolModel m;
  m.name = "sample";
  m.shaders.resize(3);
  m.shaders[0].name = "metal";
  m.shaders[0].slots[0].name = "props\\metal";
  m.shaders[0].slots[2].name = "env\\sky";
  m.shaders[1].name = "glow_ADD";
  m.shaders[2].name = "glass_alpha";
  m.shaders[2].twoSided = 1;
  m.frames.push_back(MpToolFrame{"Bip01", {}, {0, 0, 0}});
  m.frames.push_back(MpToolFrame{"Bip01 Head", {}, {0, 0, 10}});
  MpToolObject box;
  std::vector<MpToolVertex> v;
  std::vector<uint16_t> t;
  MpTool_Box({-1, -1, -1}, {1, 1, 1}, v, t);
  MpTool_AddPie(box, 1, 0, v, t);
  m.objects.push_back(box);
  MpToolObject strip;
  strip.shader = -1;
  MpTool_AddPie(strip, 2, 0,
                {Vertex(0, 0, 0, {{0, 1}}), Vertex(1, 0, 0, {{0, 0.5f}, {1, 0.5f}}),
                 Vertex(1, 1, 0, {{0, 0.2f}, {1, 0.3f}, {0, 0.5f}})},
                {0, 1, 2});
  strip.strips = {0, 1, 2};
  strip.pies[0].stripCount = 3;
  m.objects.push_back(strip);
  MpToolObject morph;
  morph.kind = 1;
  morph.shader = 1;
  std::vector<MpToolVertex> mv = {Vertex(0, 0, 0), Vertex(1, 0, 0), Vertex(0, 1, 0)};
  for (auto& x : mv) x.shapes = {MpToolShape{{0, 0, 1}, {}}, MpToolShape{{0, 0, 2}, {}}};
  MpTool_AddPie(morph, 1, 1, mv, {0, 1, 2});
  morph.pies[0].morphs = 1;
  m.objects.push_back(morph);
  return m;
}

void MayTool_Box(MayToolLevel& l, int shader, int object, vec3 a, vec3 b, int moving) {
  std::vector<MpToolVertex> mv;
  std::vector<uint16_t> t;
  MpTool_Box(a, b, mv, t);
  std::vector<MayToolVertex> v(mv.size());
  for (size_t i = 0; i < mv.size(); i++) {
    std::memcpy(v[i].pos, &mv[i].pos, 12);
    std::memcpy(v[i].normal, &mv[i].normal, 12);
  }
  MayTool_AddTriangles(l, shader, object, v, t, moving);
}

// Ground, two walls, a door moving over three keys; standard, alpha and layered shaders.
MayToolLevel MayTool_SampleLevel() {
  MayToolLevel l;
  l.folder = "street\\";
  l.shaders.resize(3);
  l.shaders[0].name = "concrete";
  l.shaders[0].slots[0].name = "ground";
  l.shaders[1].name = "glass_ALPHA";
  l.shaders[2].name = "brick";
  l.shaders[2].layerCount = 2;
  l.shaders[2].slots[1].opacity = 0.5f;
  l.objects = {{"ground_1"}, {"wall_"}, {"1234"}, {"door_12", 0, 3, 0.0f, 2.0f}};
  l.keys.resize(3);
  l.keys[1].t[0] = 10;
  l.keys[2].t[0] = 20;
  std::vector<MayToolVertex> v;
  std::vector<uint16_t> t;
  MayTool_Quad({-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}, 4, 4, v, t);
  MayTool_AddTriangles(l, 0, 0, v, t);
  MayTool_Box(l, 2, 1, {-100, 50, 0}, {100, 60, 40});
  MayTool_Box(l, 1, 2, {-100, -60, 0}, {100, -50, 40});
  MayTool_Box(l, 0, 3, {0, 0, 0}, {4, 2, 30}, 1);
  MayTool_GroupSets(l);
  return l;
}

